// The lexer bridge: feeds the table-driven parser engine from the line
// tokenizer. It turns each token text into a token number, keeps the texts
// of the last 64 tokens in a history ring from which a grammar's actions read
// what they reduce, applies optional text substitutions (the define table),
// and reports lexical errors with the file name and line.
//
// One parse runs at a time and all bridge state is module-wide. A grammar's
// reader drives one parse like this:
//   1. lex_token_trans_tab := its keyword table, lex_ident_token := 257,
//      lex_number_token := 258, lex_define_suppress := lex_define_add_level := 0;
//   2. token_reset() and lex_reset();
//   3. open the file with its header check into lex_token_file, counting
//      lines in lex_line_cnt;
//   4. save token_delim_tab and install its own delimiter table, if any;
//   5. copy the file name into lex_file_name;
//   6. set the parser record's lexer pointer (any non-NULL value) and run
//      yyparse on it;
//   7. close the file, lex_token_file := NULL, restore token_delim_tab and
//      free lex_define_list when it is not empty.
// The parse failed when yyparse returned non-zero or lex_parse_ok is 0.
//
// Ring protocol for the grammar's actions: lex_history_pos marks the entry
// of the first token no action has accounted for yet. The grammar's first
// action (a reduction before any token is read) sets lex_history_pos to 0
// and lex_parse_ok to 1. An action reads the token k places after the mark
// at lex_history_ring[lex_token_history(k)] and then moves the mark on by
// the c tokens its rule consumed: lex_history_pos = lex_token_history(c). An
// action that finds its input wrong clears lex_parse_ok, which makes the next
// lex_yymlex return the error token.
#pragma once

#include <cstdint>
#include <cstdio>

#include "dlink.h"

enum {
    LEX_TOKEN_TEXT_SIZE = 300,
    LEX_HISTORY_SIZE = 64,
    LEX_FILE_NAME_SIZE = 300,
    LEX_ERROR_TOKEN = 256,  // the parser's error token
};

// One keyword of a grammar; a table ends with an entry whose number is 0 and
// holds at least one keyword. Names are lower case: token texts are
// lower-cased before they are compared.
struct lex_token_trans {
    int32_t lex_token_id;
    char lex_token_str[LEX_TOKEN_TEXT_SIZE];
};

// A text substitution: a token equal (in any case) to the name is replaced
// by the text, or with the negative flag by a "-" token followed by the text.
struct lex_define {
    lex_define* prev_ptr;
    lex_define* next_ptr;
    char* lex_define_name;  // lower-cased; the list key
    char* lex_define_str;
    int16_t lex_define_line;  // both set to lex_line_cnt when made
    int16_t lex_define_line2;
    int32_t lex_define_negative;
    int32_t lex_define_level;
};

extern FILE* lex_token_file;
extern int16_t lex_line_cnt;
extern char lex_file_name[LEX_FILE_NAME_SIZE];
extern const lex_token_trans* lex_token_trans_tab;

// Token numbers of the classes of tokens. lex_number_token below 0 splits
// numbers into lex_integer_token and (with a ".") lex_real_token.
extern int32_t lex_ident_token;          // 257
extern int32_t lex_number_token;         // 258
extern int32_t lex_quoted_string_token;  // 259
extern int32_t lex_integer_token;        // -1
extern int32_t lex_real_token;           // -1

// 1 while the grammar's actions have found nothing wrong; while 0 the bridge
// delivers no tokens: the error token once, then the end of the input.
extern int32_t lex_parse_ok;

extern lex_define* lex_define_list;
extern int32_t lex_define_suppress;   // while set, lex_define_add adds nothing
extern int32_t lex_define_add_level;  // copied into each new lex_define

extern char lex_history_ring[LEX_HISTORY_SIZE][LEX_TOKEN_TEXT_SIZE];
extern int32_t lex_history_write_pos;  // advanced by the bridge
extern int32_t lex_history_pos;        // advanced by the grammar's actions

// The next token number: a keyword's number, a class number, a single
// character's code, 0 at the end of the input, or LEX_ERROR_TOKEN after one
// error entry. A comment still open at the end of the file, or a parse the
// grammar's actions have stopped (lex_parse_ok 0), is reported once with the
// error token; after that the input has ended (0) until the next lex_reset.
int32_t lex_yymlex(void);
// The parser engine's default token source; the argument is not used.
int32_t lex_yymlex_hook(void* lexer);
// lex_line_cnt, lex_history_pos and lex_history_write_pos := 0, and the input
// open again after an error that ended it; returns 1.
int lex_reset(void);
// Every module-wide value of the bridge back to its start (the define table
// freed, the token numbers and tables of no grammar); for tests.
void lexparse_reset(void);
// The ring index k places after lex_history_pos (k from -192 upward).
int32_t lex_token_history(int32_t k);
// Numbers become `integer_token`, or `real_token` when they hold a ".".
int lex_set_number_tokens(int32_t integer_token, int32_t real_token);

lex_define* malloc_lex_define(const char* lex_define_name, const char* lex_define_str);
int lex_define_add(const char* lex_define_name, int32_t negative, const char* lex_define_str);
int free_lex_define(lex_define* define);
int free_lex_define_funct(void* node);
int free_lex_define_list(void);
