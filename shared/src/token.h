// The line tokenizer: turns a text file into a stream of tokens, one text
// line at a time. Lines come from get_text_line, so "//" comments, blank
// lines and surrounding blanks never reach it; on top of that it knows
// nesting "/*" ... "*/" comments (which may span lines), quoted strings with
// escaped quotes, numbers, and a replaceable table of delimiters.
//
// There is one tokenizer state for the whole program, shared by every reader
// that works token by token; one file is tokenized at a time. A reader calls
// token_reset before its file, may point token_delim_tab at a table of its
// own, and puts the previous table back when it is done.
//
// The state belongs to the stream it was read from: a reader operation given
// another stream, or closing the stream with file_close, drops whatever was
// left of the previous file (tokens of its last line, the end flag, an open
// comment), so a reader that forgets token_reset still starts clean.
#pragma once

#include <cstdint>
#include <cstdio>

enum {
    TOKEN_SLOT_COUNT = 64,  // tokens one line may hold
    TOKEN_SLOT_SIZE = 300,  // characters of one token with its terminator
};

// How many "/*" comments are open, and the line of the last "/*" met.
extern int16_t token_comment_depth;
extern int16_t token_comment_line;
// Set when get_next_token finds no further token.
extern int32_t token_end_flag;
// The current delimiter table: strings ended by a NULL entry, matched in
// order (the first entry that is a prefix of the rest of the line wins).
extern const char* const* token_delim_tab;
// The default table (34 entries): " " separates and is no token; a double
// quote starts a quoted string; every other entry is a token of its own.
extern const char* const token_default_delim_tab[];

// Starts a fresh file: comment depth and line, the tokens of the current
// line and the end flag are cleared. token_delim_tab is left alone. Returns 1.
int token_reset(void);
// token_reset, and the default delimiter table back in place; for tests.
void token_reset_module(void);

// Every reader operation takes the open text stream and the caller's line
// counter, which get_text_line advances and the messages quote.

// Reads the next text line and splits it into tokens; 1, or 0 at the end of
// the file (silently) or on an error (a refused line keeps the tokens made
// before the fault, to be delivered next).
int read_next_token_line(FILE* token_file, int16_t* line_cnt);
// 1 when a token is left on the current line, else the result of reading
// the next one.
int token_avail(FILE* token_file, int16_t* line_cnt);
// The next token, comments skipped; the text lives in the tokenizer and stays
// valid until the next line is read. NULL at the end of the input or after an
// error, with token_end_flag set.
char* get_next_token(FILE* token_file, int16_t* line_cnt);
// Steps back over the token just got from the current line; 1, or 0 when no
// token of this line has been got.
int unget_token(void);
// Drops the next n tokens; 1 when token_end_flag is clear afterwards.
int skip_tokens(FILE* token_file, int16_t* line_cnt, int32_t n);
// The next token as a number (a "-" token before it negates it).
int get_next_token_val(FILE* token_file, int16_t* line_cnt, double* the_val);
// The next token's text; when it is a number (optionally after a "-" token)
// also its value into `the_val`, and 1 into `is_val`, else 0.
char* get_token_or_token_val(FILE* token_file, int16_t* line_cnt, double* the_val, int32_t* is_val);

// Strict conversions of a whole token text (blanks around it are allowed);
// the result is negated when `negate` is set. 1, or 0 with the result left
// alone.
int token_to_double(int32_t negate, const char* numeric_str, double* result_double);
int token_to_float(int32_t negate, const char* numeric_str, float* result_float);
int token_to_long(int32_t negate, const char* numeric_str, int32_t* result_long);
int token_to_unsigned_long(const char* numeric_str, uint32_t* result_unsigned_long);

// The first entry of token_delim_tab that is a prefix of `text`, else NULL.
const char* token_delim_lookup(const char* text);

// Called by file_close: drops the tokenizer state that came from `file`.
void token_file_closed(FILE* file);
