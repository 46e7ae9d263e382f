#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config_section.h"
#include "test_support.h"

namespace {

// One field of every kind, with the rows that describe them.
struct fields {
    int32_t number = -12;
    int32_t exact_switch = 1;
    int32_t flag = 7;
    float real = 2.5f;
    float gravity = -386.4f;
    char text[8] = "c:\\a";
};

struct section {
    fields f;
    config_row rows[6] = {
        {CONFIG_LONG, &f.number, "number"},
        {CONFIG_SWITCH, &f.exact_switch, "switch"},
        {CONFIG_FLAG, &f.flag, "flag"},
        {CONFIG_FLOAT, &f.real, "real"},
        {CONFIG_FLOAT_SWITCH, &f.gravity, "gravity", 0, -386.4f},
        {CONFIG_STRING, f.text, "text", sizeof f.text},
    };
};

std::string written(const section& s)
{
    char* text = nullptr;
    size_t size = 0;
    FILE* memory = open_memstream(&text, &size);
    EXPECT_EQ(config_write_section(memory, "kinds", s.rows), 1);
    std::fclose(memory);
    std::string result(text, size);
    free(text);
    return result;
}

// Reads `text` into the section; the reader's answer.
int read_back(section* s, const std::string& text)
{
    std::string copy = text;
    FILE* memory = fmemopen(copy.data(), copy.size(), "r");
    int16_t line_cnt = 0;
    int ok = config_read_section(memory, &line_cnt, s->rows);
    std::fclose(memory);
    return ok;
}

std::string line(const char* value, const char* key)
{
    char text[128];
    snprintf(text, sizeof text, "%-44s//  %s\n", value, key);
    return text;
}

}  // namespace

// The marker, then one value line per row as the row's kind writes it:
// switches and flags as 0 or 1, a float switch as 1 when it holds its value.
TEST(ConfigSection, WritesTheMarkerAndOneValueLinePerRow)
{
    section s;
    EXPECT_EQ(written(s), "\n//  [kinds]\n" + line("-12", "number") + line("1", "switch") +
                              line("1", "flag") + line("2.500000", "real") + line("1", "gravity") +
                              line("c:\\a", "text"));
    s.f.exact_switch = 2;
    s.f.flag = 0;
    s.f.gravity = 0.5f;
    EXPECT_NE(written(s).find(line("0", "switch") + line("0", "flag")), std::string::npos);
    EXPECT_NE(written(s).find(line("0", "gravity")), std::string::npos);
}

TEST(ConfigSection, ReadsEveryKindBackByPosition)
{
    section s;
    s.f = {3, 0, 0, 1.0f, 0.0f, ""};
    section written_from;
    EXPECT_EQ(read_back(&s, written(written_from)), 1);
    EXPECT_EQ(s.f.number, -12);
    EXPECT_EQ(s.f.exact_switch, 1);
    EXPECT_EQ(s.f.flag, 1);
    EXPECT_EQ(s.f.real, 2.5f);
    EXPECT_EQ(s.f.gravity, -386.4f);
    EXPECT_STREQ(s.f.text, "c:\\a");
    // Switches and flags are on only for 1.
    EXPECT_EQ(read_back(&s, "0\n2\n5\n0.0\n3\nd:\\b\n"), 1);
    EXPECT_EQ(s.f.number, 0);
    EXPECT_EQ(s.f.exact_switch, 0);
    EXPECT_EQ(s.f.flag, 0);
    EXPECT_EQ(s.f.gravity, 0.0f);
    EXPECT_STREQ(s.f.text, "d:\\b");
}

// A value that cannot be read, or a text longer than its field, leaves the
// field as it was and the reading goes on with the next line.
TEST(ConfigSection, AnUnreadableValueKeepsItsFieldAndTheRestAreRead)
{
    LogCapture log;
    section s;
    EXPECT_EQ(read_back(&s, "many\n0\n0\nhalf\n0\nmuch too long\n"), 0);
    EXPECT_EQ(s.f.number, -12);
    EXPECT_EQ(s.f.exact_switch, 0);
    EXPECT_EQ(s.f.flag, 0);
    EXPECT_EQ(s.f.real, 2.5f);
    EXPECT_EQ(s.f.gravity, 0.0f);
    EXPECT_STREQ(s.f.text, "c:\\a");
    EXPECT_TRUE(log.contains("Cannot str_cpy 13 characters into 8 bytes")) << log.lines().size();
}
