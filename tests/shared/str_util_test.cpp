#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "debug.h"
#include "gametime.h"
#include "heap.h"
#include "platform/timer.h"
#include "str_util.h"
#include "test_support.h"

TEST(Heap, RefusesZeroSizeNullFreeAndNullDuplicate)
{
    LogCapture log;
    EXPECT_EQ(heap_malloc(0, "caller.cpp", 12), nullptr);
    heap_free(nullptr, "caller.cpp", 13);
    EXPECT_EQ(heap_strdup(nullptr, "caller.cpp", 14), nullptr);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Attempting to malloc 0 bytes at caller.cpp(12)",
                                "Attempting to free data_ptr which is NULL at caller.cpp(13)",
                                "Attempting to strdup with a NULL char_ptr at caller.cpp(14)",
                            }));
    char* copy = STRDUP("abc");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "abc");
    FREE(copy);
}

TEST(Heap, ExhaustionGivesNullWithoutEntry)
{
    LogCapture log;
    EXPECT_EQ(heap_malloc(SIZE_MAX / 2, "caller.cpp", 1), nullptr);
    EXPECT_TRUE(log.lines().empty());
}

TEST(StrCpy, CopiesWhatFitsAndRefusesTheRest)
{
    LogCapture log;
    char dest[8] = "old";
    EXPECT_EQ(str_cpy(dest, sizeof dest, "1234567", "f.cpp", 1), 1);
    EXPECT_STREQ(dest, "1234567");
    EXPECT_EQ(str_cpy(dest, sizeof dest, "12345678", "f.cpp", 2), 0);
    EXPECT_STREQ(dest, "1234567");  // left as it was
    EXPECT_EQ(log.errors().size(), 1u);
}

TEST(StrCpy, NullSourceWritesTheErrorTextCutToTheDestination)
{
    LogCapture log;
    char dest[64];
    EXPECT_EQ(str_cpy(dest, sizeof dest, nullptr, "c:\\src\\caller.c", 42), 0);
    EXPECT_STREQ(dest, "STRCPY error at c:\\src\\caller.c(  42)");
    EXPECT_EQ(log.errors().at(0), "Cannot str_cpy with NULL src_str in c:\\src\\caller.c(  42)");

    char small[10];
    str_cpy(small, sizeof small, nullptr, "caller.c", 42);
    EXPECT_STREQ(small, "STRCPY er");

    // The text is written even when the log gate suppresses the entry.
    debug_quiet_begin();
    str_cat(dest, sizeof dest, nullptr, "x.c", 7);
    debug_quiet_end();
    EXPECT_STREQ(dest, "STRCAT error at x.c(   7)");
}

TEST(StrCat, AppendsWhatFits)
{
    LogCapture log;
    char dest[8] = "abc";
    EXPECT_EQ(STR_CAT(dest, sizeof dest, "defg"), 1);
    EXPECT_STREQ(dest, "abcdefg");
    EXPECT_EQ(STR_CAT(dest, sizeof dest, "h"), 0);
    EXPECT_STREQ(dest, "abcdefg");
    EXPECT_EQ(STR_CAT(nullptr, 8, "h"), 0);
    EXPECT_EQ(log.errors().size(), 2u);
    // A single byte holds the empty text.
    char one[1] = "";
    EXPECT_EQ(STR_CAT(one, sizeof one, ""), 1);
    EXPECT_EQ(STR_CPY(one, sizeof one, ""), 1);
    EXPECT_EQ(log.errors().size(), 2u);
}

TEST(StrUtil, CaseConversionTouchesOnlyLetters)
{
    char text[] = "aZ09 _-\xe9";
    to_upper_case(text);
    EXPECT_STREQ(text, "AZ09 _-\xe9");
    to_lower_case(text);
    EXPECT_STREQ(text, "az09 _-\xe9");
}

TEST(StrUtil, RemoveQuotes)
{
    struct Case {
        const char* in;
        int result;
        const char* out;
        const char* error;
    } cases[] = {
        {"\"abc\"", 1, "abc", nullptr},
        {"\"\"", 1, "", nullptr},
        {"\"", 0, "", "No trailing double-quote in ''"},
        {"\"abc", 0, "abc", "No trailing double-quote in 'abc'"},
        {"abc\"", 0, "abc\"", "No leading double-quote in 'abc\"'"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        char text[16];
        std::strcpy(text, c.in);
        EXPECT_EQ(remove_quotes(text), c.result) << c.in;
        EXPECT_STREQ(text, c.out) << c.in;
        if (c.error) {
            EXPECT_EQ(log.errors(), std::vector<std::string>{c.error});
        } else {
            EXPECT_TRUE(log.errors().empty());
        }
    }
}

TEST(StrUtil, TimeToStrHasTheCalendarForm)
{
    EXPECT_EQ(std::strlen(time_to_str(0)), 24u);
}

TEST(DecimalScanner, TakesAnExponentOnlyWhereAsked)
{
    // Reals, and reals with an exponent in the standard conversion's form
    // (nothing wider).
    const auto plain = scan_decimal_double, exponent = scan_decimal_double_exponent;
    struct Case {
        int (*scan)(const char**, double*);
        const char* text;
        int ok;
        double value;
        const char* rest;
    } reals[] = {
        {plain, "12", 1, 12.0, ""},          {plain, "  -.5 x", 1, -0.5, " x"},
        {plain, "+3.25", 1, 3.25, ""},       {plain, "7.", 1, 7.0, ""},
        {plain, "1.5e3", 1, 1.5, "e3"},      {plain, "inf", 0, 0, nullptr},
        {plain, "nan", 0, 0, nullptr},       {plain, "Infantry", 0, 0, nullptr},
        {plain, "0x10", 1, 0.0, "x10"},      {plain, "-", 0, 0, nullptr},
        {plain, ".", 0, 0, nullptr},         {plain, "", 0, 0, nullptr},
        {exponent, "1.5e3", 1, 1500.0, ""},  {exponent, "-2E-2x", 1, -0.02, "x"},
        {exponent, "7e+0", 1, 7.0, ""},      {exponent, "1e", 1, 1.0, "e"},
        {exponent, "1e+", 1, 1.0, "e+"},     {exponent, "e5", 0, 0, nullptr},
        {exponent, "1e999", 0, 0, nullptr},  {exponent, "inf", 0, 0, nullptr},
        {exponent, "0x1p3", 1, 0.0, "x1p3"},
    };
    for (const auto& c : reals) {
        const char* cursor = c.text;
        double value = -99.0;
        EXPECT_EQ(c.scan(&cursor, &value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(value, c.value) << c.text;
            EXPECT_STREQ(cursor, c.rest) << c.text;
        } else {
            EXPECT_EQ(cursor, c.text) << c.text;
        }
    }

    struct IntCase {
        const char* text;
        int ok;
        int32_t value;
    } ints[] = {
        {"42", 1, 42},
        {"-2147483648", 1, INT32_MIN},
        {"2147483647", 1, INT32_MAX},
        {"2147483648", 0, 0},
        {"99999999999999999999", 0, 0},
        {"+7", 1, 7},
        {"1.5", 1, 1},
        {"abc", 0, 0},
    };
    for (const auto& c : ints) {
        const char* cursor = c.text;
        int32_t value = -99;
        EXPECT_EQ(scan_decimal_long(&cursor, &value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(DecimalScanner, RefusesMissingArgumentsAndLeavesTheCursor)
{
    const char* text = "1";
    const char* none = nullptr;
    double d = 0;
    float f = 0;
    int32_t l = 0;
    const bool refused[] = {
        !scan_decimal_long(nullptr, &l),
        !scan_decimal_long(&none, &l),
        !scan_decimal_long(&text, nullptr),
        !scan_decimal_double(nullptr, &d),
        !scan_decimal_double(&none, &d),
        !scan_decimal_double(&text, nullptr),
        !scan_decimal_float(nullptr, &f),
        !scan_decimal_float(&text, nullptr),
        !scan_decimal_double_exponent(&text, nullptr),
    };
    for (size_t i = 0; i < std::size(refused); ++i)
        EXPECT_TRUE(refused[i]) << i;
    EXPECT_STREQ(text, "1");
}

namespace {
DWORD late_clock()
{
    return 0x80000010u;
}
}  // namespace

TEST(GameTime, ClockAbove2To31StaysPositiveAndResetClearsGameTime)
{
    platform_timer_set_source(late_clock);
    EXPECT_EQ(gametime_get_time(), 2147483664.0);
    platform_timer_set_source(nullptr);
    game_time = 12.0f;
    EXPECT_EQ(gametime_reset(), 1);
    EXPECT_EQ(game_time, 0.0f);
    EXPECT_EQ(std::strlen(gametime_str()), 24u);
}
