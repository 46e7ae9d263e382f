#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "file_io.h"
#include "test_support.h"
#include "token.h"

namespace {

class Token : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        log_.emplace();
    }
    void TearDown() override
    {
        for (FILE* file : open_files_)
            file_close(file);
        log_.reset();
        test_reset_state();
    }

    // Opens a text file holding `content`; closed by the fixture.
    FILE* open_text(const std::string& content)
    {
        std::string path = dir_.write("file" + std::to_string(open_files_.size()) + ".txt",
                                      content);
        FILE* file = file_open(path.c_str(), FILE_MODE_READ_TEXT);
        EXPECT_NE(file, nullptr);
        open_files_.push_back(file);
        return file;
    }

    void close(FILE* file)
    {
        std::erase(open_files_, file);
        file_close(file);
    }

    // Every token up to the end of the input.
    std::vector<std::string> all_tokens(FILE* file)
    {
        std::vector<std::string> tokens;
        while (const char* token = get_next_token(file, &line_cnt_))
            tokens.push_back(token);
        return tokens;
    }

    std::vector<std::string> tokens_of(const std::string& content)
    {
        line_cnt_ = 0;
        return all_tokens(open_text(content));
    }

    TempDir dir_;
    std::optional<LogCapture> log_;
    int16_t line_cnt_ = 0;
    std::vector<FILE*> open_files_;
};

using Tokens = std::vector<std::string>;

TEST_F(Token, SplitsWordsNumbersDelimitersAndStrings)
{
    struct {
        const char* line;
        Tokens tokens;
    } cases[] = {
        {"a;b", {"a", ";", "b"}},
        {"a ; b", {"a", ";", "b"}},
        {"x=-3", {"x", "=", "-", "3"}},
        {"\t a\t\tb ", {"a", "b"}},
        {"1..5", {"1", "..", "5"}},
        {"3.", {"3", "."}},
        {"0.5", {"0.5"}},
        {".5", {".", "5"}},
        {"1.5.3", {"1.5", ".", "3"}},
        {"12abc", {"12", "abc"}},
        {"abc123", {"abc123"}},
        // A number takes its exponent; an "e" without digits stays a word.
        {"1e+5", {"1e+5"}},
        {"2.5E-3;", {"2.5E-3", ";"}},
        {"1e5x", {"1e5", "x"}},
        {"1ex", {"1", "ex"}},
        {"1e+", {"1", "e", "+"}},
        {"3.e2.", {"3.e2", "."}},
        {"50%x", {"50", "%x"}},
        {"a%%b", {"a", "%%", "b"}},
        {"a?b{ ?{x}", {"a?b{", "?{", "x", "}"}},
        {"c:\\data", {"c", ":", "\\data"}},
        {"a\\\\b", {"a", "\\\\", "b"}},
        {"a\\\"b", {"a", "\\\"", "b"}},
        {"x \"a b;\" y", {"x", "\"a b;\"", "y"}},
        {"\"say \\\"hi\\\"\"12", {"\"say \\\"hi\\\"\"", "12"}},
        {"a/*b*/c */", {"a", "c", "*/"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tokens_of(c.line), c.tokens) << c.line;
    EXPECT_TRUE(log_->errors().empty());
}

TEST_F(Token, NestedCommentsSpanLinesAndAnOpenOneEndsTheInput)
{
    FILE* file = open_text("/* a /* b */ c */ d\n"
                           "e /*\n"
                           "f \"g\n"  // a comment's text is still split, and may be refused
                           "*/ h\n"
                           "/* never\n"
                           "i /* j */ k\n");
    EXPECT_EQ(all_tokens(file), (Tokens{"d", "e"}));
    EXPECT_EQ(log_->errors(), (std::vector<std::string>{"Missing closing double-quote at line 3"}));
    // The rest of the refused line is still inside the comment.
    EXPECT_EQ(all_tokens(file), (Tokens{"h"}));
    EXPECT_EQ(token_end_flag, 1);
    EXPECT_EQ(token_comment_depth, 1);
    EXPECT_EQ(token_comment_line, 6);
}

TEST_F(Token, CountsEveryPhysicalLine)
{
    FILE* file = open_text("a\n\n// note\n   b c // d\n\n");
    EXPECT_STREQ(get_next_token(file, &line_cnt_), "a");
    EXPECT_EQ(line_cnt_, 1);
    EXPECT_STREQ(get_next_token(file, &line_cnt_), "b");
    EXPECT_EQ(line_cnt_, 4);
    EXPECT_STREQ(get_next_token(file, &line_cnt_), "c");
    EXPECT_EQ(get_next_token(file, &line_cnt_), nullptr);
    EXPECT_EQ(line_cnt_, 5);
    EXPECT_TRUE(log_->errors().empty());
}

TEST_F(Token, ALineHoldsAtMost64Tokens)
{
    std::string words;
    for (int i = 0; i < 64; ++i)
        words += " w" + std::to_string(i);
    EXPECT_EQ(tokens_of(words).size(), 64u);

    // The 64th token, of each kind, fills the last slot and is refused.
    std::string too_many;
    for (int i = 0; i < 63; ++i)
        too_many += "w" + std::to_string(i) + " ";
    struct {
        const char* last;  // the text after 63 words
        const char* token;
    } cases[] = {{";", ";"}, {"\"s\"", "\"s\""}, {"7", "7"}, {"x;", "x"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.last);
        log_->clear();
        FILE* file = open_text(too_many + c.last + "\nnext\n");
        line_cnt_ = 0;
        EXPECT_EQ(get_next_token(file, &line_cnt_), nullptr);
        EXPECT_EQ(token_end_flag, 1);
        EXPECT_EQ(log_->errors(), (std::vector<std::string>{"Too many tokens at line 1"}));
        // The tokens made before the fault come next, then the next line.
        Tokens rest = all_tokens(file);
        ASSERT_EQ(rest.size(), 65u);
        EXPECT_EQ(rest[0], "w0");
        EXPECT_EQ(rest[63], c.token);
        EXPECT_EQ(rest[64], "next");
    }
}

TEST_F(Token, QuotedStringNeedsItsClosingQuote)
{
    FILE* file = open_text("a \"b\nc\n");
    EXPECT_EQ(get_next_token(file, &line_cnt_), nullptr);
    EXPECT_EQ(all_tokens(file), (Tokens{"a", "c"}));
    // "//" cuts the line before the string's end.
    EXPECT_EQ(tokens_of("\"x // y\"\n"), Tokens{});
    EXPECT_EQ(log_->errors(), (std::vector<std::string>{"Missing closing double-quote at line 1",
                                                        "Missing closing double-quote at line 1"}));
}

TEST_F(Token, DelimiterTableSwapAndRestore)
{
    EXPECT_STREQ(token_delim_lookup("/*x"), "/*");
    EXPECT_STREQ(token_delim_lookup("..x"), "..");
    EXPECT_STREQ(token_delim_lookup("%%"), "%%");
    EXPECT_EQ(token_delim_lookup("%x"), nullptr);
    EXPECT_EQ(token_delim_lookup("{"), nullptr);

    // The default table less "#", as a grammar's reader installs it.
    std::vector<const char*> own;
    for (const char* const* entry = token_default_delim_tab; *entry; ++entry)
        if (std::string(*entry) != "#")
            own.push_back(*entry);
    ASSERT_EQ(own.size(), 33u);
    own.push_back(nullptr);

    EXPECT_EQ(tokens_of("a#b"), (Tokens{"a", "#", "b"}));
    const char* const* saved = token_delim_tab;
    token_delim_tab = own.data();
    EXPECT_EQ(tokens_of("a#b;c"), (Tokens{"a#b", ";", "c"}));
    token_reset();
    EXPECT_EQ(token_delim_tab, own.data());  // a reset leaves the table alone
    token_delim_tab = saved;
    EXPECT_EQ(tokens_of("a#b"), (Tokens{"a", "#", "b"}));
}

TEST_F(Token, UngetStepsBackOnceAndNeverBeforeTheLine)
{
    FILE* file = open_text("a b\n");
    EXPECT_EQ(unget_token(), 0);  // nothing got yet
    EXPECT_EQ(log_->errors(),
              (std::vector<std::string>{"Cannot unget_token before the first token of the line."}));
    EXPECT_STREQ(get_next_token(file, &line_cnt_), "a");
    EXPECT_EQ(unget_token(), 1);
    EXPECT_STREQ(get_next_token(file, &line_cnt_), "a");
    EXPECT_STREQ(get_next_token(file, &line_cnt_), "b");
    EXPECT_EQ(unget_token(), 1);
    EXPECT_EQ(unget_token(), 1);
    EXPECT_EQ(unget_token(), 0);
    EXPECT_EQ(all_tokens(file), (Tokens{"a", "b"}));
}

TEST_F(Token, AReaderWithoutResetNeverSeesThePreviousFile)
{
    // The previous file is closed with tokens left on its line; the next
    // file may well get the same stream.
    FILE* first = open_text("a1 a2 a3\n");
    EXPECT_STREQ(get_next_token(first, &line_cnt_), "a1");
    close(first);
    EXPECT_EQ(tokens_of("b1\n"), (Tokens{"b1"}));

    // Another stream while the first is still open; its end flag and open
    // comment stay behind too.
    FILE* open_one = open_text("c1 c2 /* c3\n");
    EXPECT_EQ(all_tokens(open_one), (Tokens{"c1", "c2"}));
    EXPECT_EQ(token_comment_depth, 1);
    FILE* other = open_text("d1 */ d2\n");
    EXPECT_EQ(skip_tokens(other, &line_cnt_, 0), 1);
    EXPECT_EQ(all_tokens(other), (Tokens{"d1", "*/", "d2"}));
}

TEST_F(Token, SkipTokens)
{
    FILE* file = open_text("a b c\n");
    EXPECT_EQ(skip_tokens(file, &line_cnt_, 2), 1);
    EXPECT_STREQ(get_next_token(file, &line_cnt_), "c");
    EXPECT_EQ(skip_tokens(file, &line_cnt_, 1), 0);
}

TEST_F(Token, NumbersFromTheStream)
{
    FILE* file = open_text("- 2.5 7 1e3 abc - 3 word - word\n");
    double value = 99.0;
    EXPECT_EQ(get_next_token_val(file, &line_cnt_, &value), 1);
    EXPECT_EQ(value, -2.5);
    EXPECT_EQ(get_next_token_val(file, &line_cnt_, &value), 1);
    EXPECT_EQ(value, 7.0);
    EXPECT_EQ(get_next_token_val(file, &line_cnt_, &value), 1);
    EXPECT_EQ(value, 1000.0);
    EXPECT_EQ(get_next_token_val(file, &line_cnt_, &value), 0);
    EXPECT_EQ(value, 0.0);

    int32_t is_val = -1;
    EXPECT_STREQ(get_token_or_token_val(file, &line_cnt_, &value, &is_val), "3");
    EXPECT_EQ(is_val, 1);
    EXPECT_EQ(value, -3.0);
    EXPECT_STREQ(get_token_or_token_val(file, &line_cnt_, &value, &is_val), "word");
    EXPECT_EQ(is_val, 0);
    EXPECT_EQ(get_token_or_token_val(file, &line_cnt_, &value, &is_val), nullptr);
    EXPECT_EQ(get_next_token_val(file, &line_cnt_, &value), 0);
    EXPECT_EQ(get_token_or_token_val(file, &line_cnt_, &value, &is_val), nullptr);
    EXPECT_EQ(log_->errors(), (std::vector<std::string>{
                                  "Could not convert 'abc' to value at line 1",
                                  "Negative token was missed at line 1",
                                  "Could not get_next_token_val at line 1",
                                  "Could not get_token_or_token_val at line 1",
                              }));
}

TEST_F(Token, StrictConversions)
{
    struct {
        const char* text;
        int32_t negate;
        bool ok;
        int32_t value;
    } longs[] = {
        {"12", 0, true, 12},          {"12", 1, true, -12},
        {" 12 ", 0, true, 12},        {"-7", 0, true, -7},
        {"12x", 0, false, 0},         {"", 0, false, 0},
        {"1.5", 0, false, 0},         {"2147483647", 0, true, INT32_MAX},
        {"2147483648", 0, false, 0},  {"-2147483648", 0, true, INT32_MIN},
        {"-2147483648", 1, false, 0},  // its negation is no int32
        {"1e3", 0, false, 0},          // integers take no exponent
    };
    for (const auto& c : longs) {
        int32_t result = 42;
        EXPECT_EQ(token_to_long(c.negate, c.text, &result), c.ok ? 1 : 0) << c.text;
        EXPECT_EQ(result, c.ok ? c.value : 42) << c.text;
    }

    struct {
        const char* text;
        bool ok;
        uint32_t value;
    } unsigneds[] = {
        {"0", true, 0},           {"4294967295", true, UINT32_MAX},
        {"4294967296", false, 0}, {"-1", false, 0},
        {"1.0", false, 0},        {"7 x", false, 0},
        {"1e3", false, 0},
    };
    for (const auto& c : unsigneds) {
        uint32_t result = 42;
        EXPECT_EQ(token_to_unsigned_long(c.text, &result), c.ok ? 1 : 0) << c.text;
        EXPECT_EQ(result, c.ok ? c.value : 42u) << c.text;
    }

    struct {
        const char* text;
        int32_t negate;
        bool ok;
        double value;
    } reals[] = {
        {"1.5", 0, true, 1.5},  {"1.5", 1, true, -1.5},     {"3", 0, true, 3.0},
        {"1e2", 0, true, 100},  {"2.5E-1", 1, true, -0.25}, {"1e", 0, false, 0},
        {"inf", 0, false, 0},   {"nan", 0, false, 0},       {"0x10", 0, false, 0},
        {"1e400", 0, false, 0},
    };
    for (const auto& c : reals) {
        double result = 42.0;
        float result_float = 42.0f;
        EXPECT_EQ(token_to_double(c.negate, c.text, &result), c.ok ? 1 : 0) << c.text;
        EXPECT_EQ(token_to_float(c.negate, c.text, &result_float), c.ok ? 1 : 0) << c.text;
        EXPECT_EQ(result, c.ok ? c.value : 42.0) << c.text;
        EXPECT_EQ(result_float, c.ok ? (float)c.value : 42.0f) << c.text;
    }
    // A real beyond the float range is no float (it used to become infinity).
    std::string huge = "1" + std::string(39, '0');
    float result_float = 42.0f;
    EXPECT_EQ(token_to_float(1, huge.c_str(), &result_float), 0);
    EXPECT_EQ(result_float, 42.0f);
    EXPECT_TRUE(log_->contains("Illegal numeric string value '12x'"));

    // A double beyond the float range is no float (it would be infinity).
    double wide = 0.0;
    float narrow = 42.0f;
    EXPECT_EQ(token_to_double(0, "1e39", &wide), 1);
    EXPECT_EQ(token_to_float(1, "1e39", &narrow), 0);
    EXPECT_EQ(narrow, 42.0f);
}

TEST_F(Token, RefusesNullArguments)
{
    double value;
    FILE* file = open_text("a\n");
    EXPECT_EQ(read_next_token_line(nullptr, &line_cnt_), 0);
    EXPECT_EQ(get_next_token(file, nullptr), nullptr);
    EXPECT_EQ(get_next_token_val(file, &line_cnt_, nullptr), 0);
    EXPECT_EQ(token_to_double(0, nullptr, &value), 0);
    EXPECT_EQ(log_->errors(), (std::vector<std::string>{
                                  "Cannot read_next_token_line with NULL token_file.",
                                  "Cannot get get_next_token with NULL line_cnt.",
                                  "Cannot get get_next_token_val with NULL the_val.",
                                  "Cannot token_to_double with NULL numeric_str.",
                              }));
}

}  // namespace
