#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "test_support.h"
#include "text_io.h"

namespace {

// An open text stream over `content`, closed with the object.
struct TextFile {
    TempDir dir;
    FILE* file;
    int16_t line_cnt = 0;
    explicit TextFile(const std::string& content)
    {
        file = std::fopen(dir.write("t.txt", content).c_str(), "r");
    }
    ~TextFile() { std::fclose(file); }
};

}  // namespace

TEST(TextLines, CommentsBlanksAndLineEndsAreRemovedAndCounted)
{
    LogCapture log;
    TextFile text("\n  // comment\n\t first  // rest\r\n\r\nsecond \"//\" x\nlast");
    char line[TEXT_LINE_SIZE];
    ASSERT_EQ(get_text_line(text.file, &text.line_cnt, line), 1);
    EXPECT_STREQ(line, "first");
    EXPECT_EQ(text.line_cnt, 3);
    ASSERT_EQ(get_text_line(text.file, &text.line_cnt, line), 1);
    EXPECT_STREQ(line, "second \"");  // cut at "//" even inside quotes
    EXPECT_EQ(text.line_cnt, 5);
    ASSERT_EQ(get_text_line(text.file, &text.line_cnt, line), 1);
    EXPECT_STREQ(line, "last");
    EXPECT_EQ(get_text_line(text.file, &text.line_cnt, line), 0);
    EXPECT_EQ(text.line_cnt, 6);
    EXPECT_TRUE(log.errors().empty());
}

TEST(TextLines, OnlyCommentsGiveNothingButCountEveryLine)
{
    LogCapture log;
    TextFile text("// a\n\n   \n// b\n");
    char line[TEXT_LINE_SIZE];
    EXPECT_EQ(get_text_line(text.file, &text.line_cnt, line), 0);
    EXPECT_EQ(text.line_cnt, 4);
    EXPECT_TRUE(log.errors().empty());
}

TEST(TextLines, ALineLongerThanTheBufferIsRefusedWhole)
{
    LogCapture log;
    std::string fits(299, 'a');
    std::string too_long(300, 'b');
    TextFile text(fits + "\r\n" + too_long + "\nnext\n");
    char line[TEXT_LINE_SIZE];
    ASSERT_EQ(get_text_line(text.file, &text.line_cnt, line), 1);
    EXPECT_EQ(std::string(line), fits);
    EXPECT_EQ(get_text_line(text.file, &text.line_cnt, line), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Line 2 is longer than 299 characters"});
    ASSERT_EQ(get_text_line(text.file, &text.line_cnt, line), 1);
    EXPECT_STREQ(line, "next");
    EXPECT_EQ(text.line_cnt, 3);

    // A smaller buffer bounds the line the same way.
    TextFile small("12345\n");
    char little[4];
    EXPECT_EQ(get_text_line(small.file, &small.line_cnt, little, sizeof little), 0);
}

TEST(TextLines, ALineHoldingANulByteIsRefusedWhole)
{
    // A NUL used to cut the text where it stood: a long line came back in
    // pieces (two physical lines gave three values), a short one cut short.
    LogCapture log;
    std::string long_line = std::string(200, '1') + '\0' + std::string(200, '2');
    std::string short_line = std::string("ab") + '\0' + "cd";
    TextFile text(long_line + "\n" + short_line + "\n" + std::string(299, 'x') + "\nlast\n");
    char line[TEXT_LINE_SIZE];
    EXPECT_EQ(get_text_line(text.file, &text.line_cnt, line), 0);
    EXPECT_EQ(get_text_line(text.file, &text.line_cnt, line), 0);
    ASSERT_EQ(get_text_line(text.file, &text.line_cnt, line), 1);
    EXPECT_EQ(std::string(line), std::string(299, 'x'));
    ASSERT_EQ(get_text_line(text.file, &text.line_cnt, line), 1);
    EXPECT_STREQ(line, "last");
    EXPECT_EQ(text.line_cnt, 4);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Line 1 is longer than 299 characters",
                                                      "Line 2 holds a NUL character"}));
}

TEST(TextLines, NullArgumentsAreRefused)
{
    LogCapture log;
    char line[TEXT_LINE_SIZE];
    int16_t count = 0;
    TextFile text("x\n");
    EXPECT_EQ(get_text_line(nullptr, &count, line), 0);
    EXPECT_EQ(get_text_line(text.file, nullptr, line), 0);
    EXPECT_EQ(get_text_line(text.file, &count, nullptr), 0);
    EXPECT_EQ(std_file_eof(nullptr), 0);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"text_file is NULL", "line_cnt is NULL", "the_line is NULL",
                                        "Cannot get std_file_eof a NULL file"}));
}

TEST(NumberReaders, IntegersAndShorts)
{
    LogCapture log;
    TextFile text("12   // twelve\n"
                  "12;\n"
                  "1 2 3 4\n"
                  "7.5\n"
                  "-32768\n"
                  "40000\n"
                  "5\n"
                  "0x10\n");
    int32_t a = 0, b = 0, c = 0;
    int16_t s = 0;
    EXPECT_EQ(read_long_text(text.file, &text.line_cnt, &a), 1);
    EXPECT_EQ(a, 12);
    EXPECT_EQ(read_long_text(text.file, &text.line_cnt, &a), 0);
    EXPECT_EQ(read_3_ints_text(text.file, &text.line_cnt, &a, &b, &c), 1);
    EXPECT_EQ(c, 3);
    EXPECT_EQ(read_short_text(text.file, &text.line_cnt, &s), 0);
    EXPECT_EQ(read_short_text(text.file, &text.line_cnt, &s), 1);
    EXPECT_EQ(s, -32768);
    EXPECT_EQ(read_short_text(text.file, &text.line_cnt, &s), 0);
    EXPECT_EQ(read_2_longs_text(text.file, &text.line_cnt, &a, &b), 0);
    EXPECT_EQ(a, 5);  // values scanned before the shortfall stay stored
    EXPECT_EQ(read_int_text(text.file, &text.line_cnt, &a), 0);
    EXPECT_EQ(read_int_text(text.file, &text.line_cnt, &a), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Invalid character in line 2",
                                "Invalid character in line 4",
                                "Unable to scan the_short at line 6",
                                "Unable to scan both longs at line 7",
                                "Invalid character in line 8",
                                "Unable to read an int at line 8",
                            }));
}

TEST(NumberReaders, Reals)
{
    LogCapture log;
    TextFile text("1.5e3\n"
                  "-.5\n"
                  "1.25 2.5\n"
                  "7\n"
                  "1, 2, 3\n"
                  "0.5 1 1.5 2\n"
                  "inf\n"
                  "1" +
                  std::string(39, '0') + "\n");
    double d = 0, e = 0, f = 0, g = 0;
    float x = 0, y = 0;
    EXPECT_EQ(read_double_text(text.file, &text.line_cnt, &d), 0);
    EXPECT_EQ(read_double_text(text.file, &text.line_cnt, &d), 1);
    EXPECT_EQ(d, -0.5);
    EXPECT_EQ(read_2_floats_text(text.file, &text.line_cnt, &x, &y), 1);
    EXPECT_EQ(y, 2.5f);
    EXPECT_EQ(read_2_floats_text(text.file, &text.line_cnt, &x, &y), 0);
    EXPECT_EQ(read_3_doubles_text(text.file, &text.line_cnt, &d, &e, &f), 0);
    EXPECT_EQ(read_4_doubles_text(text.file, &text.line_cnt, &d, &e, &f, &g), 1);
    EXPECT_EQ(g, 2.0);
    EXPECT_EQ(read_float_text(text.file, &text.line_cnt, &x), 0);
    // Beyond the float range: refused, not infinity.
    x = 1.0f;
    EXPECT_EQ(read_float_text(text.file, &text.line_cnt, &x), 0);
    EXPECT_EQ(x, 1.0f);
    EXPECT_EQ(read_float_text(text.file, &text.line_cnt, &x), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Invalid character 3 in '1.5e3' at line 1",
                                "Unable to scan both numbers at line 4",
                                "Invalid character 1 in '1, 2, 3' at line 5",
                                "Invalid character 0 in 'inf' at line 7",
                                "Unable to scan the float at line 8",
                                "Unable to read a three floats at line 8",
                            }));
}

TEST(KeyLines, KeywordIndexAndArguments)
{
    LogCapture log;
    TextFile text("scale  1 2\nbogus 3\n");
    const char* keys[] = {"ROTATE", "SCALE"};
    char line[TEXT_LINE_SIZE];
    int16_t index = -1;
    ASSERT_EQ(read_key_text(text.file, &text.line_cnt, keys, 2, &index, line), 1);
    EXPECT_EQ(index, 1);
    EXPECT_STREQ(line, "1 2");
    EXPECT_EQ(read_key_text(text.file, &text.line_cnt, keys, 2, &index, line), 0);
    EXPECT_EQ(read_key_text(text.file, &text.line_cnt, keys, 2, &index, line), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"No key found at line #2"});

    log.clear();
    EXPECT_EQ(read_key_text(text.file, nullptr, keys, 2, &index, line), 0);
    EXPECT_EQ(read_key_text(text.file, &text.line_cnt, nullptr, 2, &index, line), 0);
    EXPECT_EQ(read_key_text(text.file, &text.line_cnt, keys, 2, nullptr, line), 0);
    EXPECT_EQ(log.errors(),
              std::vector<std::string>(3, "Cannot read_key_text with NULL arguments."));

    // Only the first key_count keys of the table are looked at.
    TextFile more("rotate\nextra\n");
    const char* three[] = {"ROTATE", "SCALE", "EXTRA"};
    ASSERT_EQ(read_key_text(more.file, &more.line_cnt, three, 2, &index, line), 1);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(read_key_text(more.file, &more.line_cnt, three, 2, &index, line), 0);
    EXPECT_EQ(log.errors().back(), "No key found at line #2");
}
