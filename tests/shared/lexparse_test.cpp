#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "file_io.h"
#include "lexparse.h"
#include "test_support.h"
#include "token.h"

namespace {

const lex_token_trans keywords[] = {
    {259, "collision_joint_table"},
    {260, "spaz_model_name"},
    {261, ".."},
    {0, ""},
};

const lex_token_trans keywords_without_dots[] = {
    {260, "spaz_model_name"},
    {0, ""},
};

class Lex : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        log_.emplace();
    }
    void TearDown() override
    {
        if (lex_token_file)
            file_close(lex_token_file);
        log_.reset();
        test_reset_state();
    }

    // Starts a parse of `content` as a grammar's reader does.
    void start(const std::string& content)
    {
        if (lex_token_file)
            file_close(lex_token_file);
        lex_token_trans_tab = keywords;
        token_reset();
        lex_reset();
        std::string path = dir_.write("input.txt", content);
        lex_token_file = file_open(path.c_str(), FILE_MODE_READ_TEXT);
        ASSERT_NE(lex_token_file, nullptr);
        std::snprintf(lex_file_name, sizeof lex_file_name, "%s", "input.txt");
    }

    std::vector<int32_t> all_tokens()
    {
        std::vector<int32_t> tokens;
        for (int32_t token; (token = lex_yymlex()) != 0 && tokens.size() < 200;)
            tokens.push_back(token);
        return tokens;
    }

    std::string ring(int32_t k) const { return lex_history_ring[lex_token_history(k)]; }

    TempDir dir_;
    std::optional<LogCapture> log_;
};

using Numbers = std::vector<int32_t>;

TEST_F(Lex, TokenNumbersOfKeywordsClassesAndCharacters)
{
    start("Spaz_Model_Name Arms { 12 , 1.5 } ; \\path \"any text\" 1..2 x%y\n");
    EXPECT_EQ(all_tokens(),
              (Numbers{260, 257, 123, 258, ',', 258, '}', ';', 257, 259, 258, 261, 258, 257}));
    // The ring keeps the texts as written.
    EXPECT_EQ(ring(0), "Spaz_Model_Name");
    EXPECT_EQ(ring(1), "Arms");
    EXPECT_EQ(ring(9), "\"any text\"");
    EXPECT_TRUE(log_->errors().empty());

    lex_set_number_tokens(300, 301);
    start("12 1.5\n");
    EXPECT_EQ(all_tokens(), (Numbers{300, 301}));
}

TEST_F(Lex, BadTokensAreErrors)
{
    start("%% .. _x\n");
    lex_token_trans_tab = keywords_without_dots;
    EXPECT_EQ(all_tokens(), (Numbers{256, 256, 256}));
    EXPECT_EQ(log_->errors(), (std::vector<std::string>{"Bad token '%%' at input.txt(1)",
                                                        "Bad token '..' at input.txt(1)",
                                                        "Bad token '_x' at input.txt(1)"}));
}

TEST_F(Lex, EndOfInputAndUnterminatedComment)
{
    start("a\n");
    EXPECT_EQ(lex_yymlex(), 257);
    EXPECT_EQ(lex_yymlex(), 0);
    EXPECT_EQ(lex_yymlex(), 0);
    EXPECT_TRUE(log_->errors().empty());

    // Reported once, then the input has ended: repeating the error token kept
    // the parser's error recovery discarding it forever.
    start("a /* b\n/* c */\nd\n");
    EXPECT_EQ(lex_yymlex(), 257);
    EXPECT_EQ(lex_yymlex(), 256);
    EXPECT_EQ(lex_yymlex(), 0);
    EXPECT_EQ(lex_yymlex(), 0);
    std::string message = "Nesting comment never terminated.  Last nested comment start was at "
                          "input.txt(2)";
    EXPECT_EQ(log_->errors(), (std::vector<std::string>{message}));
}

TEST_F(Lex, ReadFailureAndParseStoppedByTheGrammar)
{
    start("a \"open\n");
    EXPECT_EQ(lex_yymlex(), 256);
    EXPECT_TRUE(log_->contains("Error while reading next text line near input.txt(1)"));

    // A parse the grammar has stopped gets the error token once, then its end.
    start("a b\n");
    lex_parse_ok = 0;
    EXPECT_EQ(lex_yymlex(), 256);
    EXPECT_EQ(lex_yymlex(), 0);
    EXPECT_TRUE(log_->contains("lex_error near input.txt(0)"));
    lex_parse_ok = 1;

    lex_token_trans_tab = nullptr;
    EXPECT_EQ(lex_yymlex(), 256);
    EXPECT_TRUE(log_->contains("Cannot lex_yymlex with NULL lex_token_trans_tab."));
}

TEST_F(Lex, HistoryRingWrapsAndTheReadPositionFollowsTheActions)
{
    std::string text;
    for (int i = 0; i < 65; ++i)
        text += "w" + std::to_string(i) + "\n";
    start(text);
    EXPECT_EQ(lex_token_history(-1), 63);
    EXPECT_EQ(lex_token_history(-192), 0);
    EXPECT_EQ(all_tokens().size(), 65u);
    EXPECT_EQ(std::string(lex_history_ring[0]), "w64");
    EXPECT_EQ(std::string(lex_history_ring[63]), "w63");
    EXPECT_EQ(lex_history_write_pos, 1);
    // An action that consumed 3 tokens moves the mark on by 3.
    lex_history_pos = lex_token_history(3);
    EXPECT_EQ(ring(0), "w3");
    lex_history_pos = 62;
    EXPECT_EQ(lex_token_history(2), 0);
}

TEST_F(Lex, DefinesReplaceTokens)
{
    start("x NEG plain\n");
    lex_line_cnt = 7;
    ASSERT_EQ(lex_define_add("Neg", 1, "5"), 1);
    ASSERT_EQ(lex_define_add("plain", 0, "SPAZ_MODEL_NAME"), 1);
    lex_define* define = lex_define_list;
    EXPECT_STREQ(define->lex_define_name, "neg");
    EXPECT_EQ(define->lex_define_line, 7);
    EXPECT_EQ(define->lex_define_line2, 7);
    EXPECT_EQ(define->lex_define_negative, 1);

    EXPECT_EQ(all_tokens(), (Numbers{257, '-', 258, 260}));
    EXPECT_EQ(ring(1), "-");
    EXPECT_EQ(ring(2), "5");
    EXPECT_EQ(ring(3), "SPAZ_MODEL_NAME");

    lex_define_suppress = 1;
    EXPECT_EQ(lex_define_add("other", 0, "y"), 1);
    EXPECT_EQ(dlink_count((dlink*)lex_define_list), 2u);
    EXPECT_EQ(free_lex_define_list(), 1);
    EXPECT_EQ(lex_define_list, nullptr);
    EXPECT_EQ(free_lex_define_list(), 0);
    EXPECT_EQ(lex_define_add(nullptr, 0, "y"), 0);
    EXPECT_EQ(log_->errors(),
              (std::vector<std::string>{"Cannot free_lex_define_list with NULL lex_define_list.",
                                        "Cannot lex_define_add with NULL lex_define_name."}));
}

TEST_F(Lex, ADefineThatCannotBeMadeLeavesNothingBehind)
{
    // The define, its name, its text.
    int swept = heap_failure_sweep(
        [] { return lex_define_add("name", 0, "text") == 1 && free_lex_define_list() == 1; });
    EXPECT_EQ(swept, 3);
    EXPECT_EQ(lex_define_list, nullptr);
}

TEST_F(Lex, ANegativeDefineDoesNotCarryIntoTheNextParse)
{
    start("neg\n");
    ASSERT_EQ(lex_define_add("neg", 1, "5"), 1);
    EXPECT_EQ(lex_yymlex(), '-');
    free_lex_define_list();
    start("a\n");
    EXPECT_EQ(all_tokens(), (Numbers{257}));
}

}  // namespace
