#include "lexparse.h"
#include "test_support.h"
#include "token.h"
#include "yym/yym.h"

TEST_RESET(parse)
{
    token_reset();
    token_delim_tab = token_default_delim_tab;
    if (lex_define_list)
        free_lex_define_list();
    lex_reset();
    lex_token_file = nullptr;
    lex_file_name[0] = '\0';
    lex_token_trans_tab = nullptr;
    lex_ident_token = 257;
    lex_number_token = 258;
    lex_quoted_string_token = 259;
    lex_integer_token = -1;
    lex_real_token = -1;
    lex_parse_ok = 1;
    lex_define_suppress = 0;
    lex_define_add_level = 0;
    yymdebug_all = 0;
}
