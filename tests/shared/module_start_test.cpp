// The game never resets the core's modules: it runs from the values their
// state starts with. The tests reset them before every case, so each reset
// must put back exactly what the program starts with, or the tests would
// run on values the game never sees.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "file_io.h"
#include "gametime.h"
#include "lexparse.h"
#include "mouse.h"
#include "rand_util.h"
#include "test_support.h"
#include "token.h"
#include "yym/yym.h"

namespace {

using Values = std::vector<std::pair<std::string, long long>>;

// The core's module-wide state that other modules see, by name.
Values core_state()
{
    return {
        {"file_hdr_type_found", file_hdr_type_found},
        {"file_hdr_version_found", file_hdr_version_found},
        {"game_time", (long long)(game_time * 1000.0f)},
        {"lex_token_file", (long long)(intptr_t)lex_token_file},
        {"lex_line_cnt", lex_line_cnt},
        {"lex_file_name[0]", lex_file_name[0]},
        {"lex_token_trans_tab", (long long)(intptr_t)lex_token_trans_tab},
        {"lex_ident_token", lex_ident_token},
        {"lex_number_token", lex_number_token},
        {"lex_quoted_string_token", lex_quoted_string_token},
        {"lex_integer_token", lex_integer_token},
        {"lex_real_token", lex_real_token},
        {"lex_parse_ok", lex_parse_ok},
        {"lex_define_list", (long long)(intptr_t)lex_define_list},
        {"lex_define_suppress", lex_define_suppress},
        {"lex_define_add_level", lex_define_add_level},
        {"lex_history_write_pos", lex_history_write_pos},
        {"lex_history_pos", lex_history_pos},
        {"token_comment_depth", token_comment_depth},
        {"token_comment_line", token_comment_line},
        {"token_end_flag", token_end_flag},
        {"token_delim_tab", (long long)(intptr_t)token_delim_tab},
        {"mouse_button_funct", (long long)(intptr_t)mouse_button_funct},
        {"mouse_move_funct", (long long)(intptr_t)mouse_move_funct},
        {"yymdebug_all", yymdebug_all},
    };
}

// Taken while the program starts, before any test has run: the values above
// are set before any code runs, and the generator has drawn nothing yet.
const Values at_start = core_state();
const int first_draw_at_start = rand_util_rand();

int other_button(int, int, int32_t, int32_t)
{
    return 1;
}

int other_move(int32_t, int32_t)
{
    return 1;
}

}  // namespace

TEST(CoreReset, PutsBackTheStateTheProgramStartsWith)
{
    static const char* const no_delimiters[] = {nullptr};
    static const lex_token_trans keywords[] = {{260, "word"}, {0, ""}};
    file_hdr_type_found = 3;
    file_hdr_version_found = 4;
    game_time = 5.0f;
    lex_line_cnt = 6;
    lex_file_name[0] = 'x';
    lex_token_trans_tab = keywords;
    lex_set_number_tokens(300, 301);
    lex_ident_token = 7;
    lex_quoted_string_token = 8;
    lex_parse_ok = 0;
    ASSERT_EQ(lex_define_add("name", 0, "text"), 1);
    lex_define_suppress = 1;
    lex_define_add_level = 2;
    lex_history_write_pos = 9;
    lex_history_pos = 10;
    token_comment_depth = 11;
    token_comment_line = 12;
    token_end_flag = 1;
    token_delim_tab = no_delimiters;
    mouse_button_funct = other_button;
    mouse_move_funct = other_move;
    yymdebug_all = 1;
    rand_util_srand(99);

    test_reset_state();
    EXPECT_EQ(core_state(), at_start);
    EXPECT_EQ(rand_util_rand(), first_draw_at_start);
    test_reset_state();
}
