// The lexer bridge and the parser engine on the test grammar (lines of sums,
// tests/shared/yym/sum_grammar.y), driven as a grammar's reader drives a
// parse. The actions follow the history-ring protocol and stop the parse when
// a line holds a number above 999999, as a grammar does with input it finds
// wrong. Every parse ends after no more tokens than the input can hold.
#include <cstring>

#include "../shared/yym/sum_grammar_tables.h"
#include "../shared/yym/sum_grammar_values.h"
#include "file_io.h"
#include "fuzz_support.h"
#include "lexparse.h"
#include "token.h"

namespace {

const lex_token_trans keywords[] = {{260, "let"}, {261, "done"}, {0, ""}};

FILE* nowhere = nullptr;  // the engine's error and trace texts
size_t token_reads = 0;

int32_t counted_token(yym_parser* yy)
{
    ++token_reads;
    return yymgtok(yy);
}

// A line is accounted for: its numbers are checked, the mark moves on.
void line_read(void)
{
    for (int32_t k = 0; lex_token_history(k) != lex_history_write_pos && k < LEX_HISTORY_SIZE;
         ++k) {
        const char* text = lex_history_ring[lex_token_history(k)];
        int32_t number;
        if (token_to_long(0, text, &number) && number > 999999)
            lex_parse_ok = 0;
    }
    lex_history_pos = lex_history_write_pos;
}

}  // namespace

void sum_grammar_action(yym_parser* yy, int32_t action)
{
    if (action == 0) {  // the first action: before any token is read
        lex_history_pos = 0;
        lex_parse_ok = 1;
    } else if (action == 1 || action == 2) {
        line_read();
    } else {
        sum_grammar_value_action(yy, action);  // destructors (6, 7) do nothing
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!nowhere)
        nowhere = std::fopen("/dev/null", "w");
    lex_token_trans_tab = keywords;
    lex_ident_token = 257;
    lex_number_token = 258;
    lex_define_suppress = 0;
    lex_define_add_level = 0;
    token_reset();
    lex_reset();
    std::string path = fuzz_file("sums.txt", data, size);
    lex_token_file = file_open(path.c_str(), FILE_MODE_READ_TEXT);
    FUZZ_CHECK(lex_token_file != nullptr);
    std::snprintf(lex_file_name, sizeof lex_file_name, "%s", "sums.txt");
    // Every tenth input runs with a define, so substitution is covered too.
    if (size % 10 == 0)
        lex_define_add("minus", 1, "7");

    yym_parser* yy = &sum_grammar_parser;
    int lexer = 0;
    yy->yymlexerptr = &lexer;
    yy->yymerr = nowhere;
    yy->yymdebugout = nowhere;
    yy->yymgettoken = counted_token;
    token_reads = 0;
    int32_t result = yyparse(yy);
    // Each token read takes a byte of the input, a define's "-" adds one; an
    // error ends the input, and the parser asks once more after the end.
    FUZZ_CHECK(token_reads <= 2 * size + 2);
    FUZZ_CHECK(result == 0 || result == 1);
    FUZZ_CHECK(yy->yymtop == -1 || result == 0);

    file_close(lex_token_file);
    lex_token_file = nullptr;
    if (lex_define_list)
        free_lex_define_list();
    return 0;
}

void fuzz_write_seeds(void)
{
    FILE* file = file_open_write_version_text(fuzz_seed_path("sums").c_str(), 1, 1);
    std::fprintf(file, "1 + (2 - 3);\n/* 7; */ 4;\noops;\n5 - minus;\n((((8))));\nlet done;\n");
    file_close(file);
    fuzz_seed("stopped_by_an_action", "1;\n1000000 + 2;\n3;\n");
    // A file that ends inside a comment used to hang the parser.
    fuzz_seed("open_comment", "1;\n2 /* open\n3;\n");
}
