#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "debug.h"
#include "math_util.h"
#include "test_support.h"

TEST(MathUtil, FloatToIntTruncatesAndMarksOutOfRange)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double value;
        int32_t expected;
    };
    const Case cases[] = {
        {0.0, 0},
        {2.9, 2},
        {-2.9, -2},
        {-0.5, 0},
        {2147483647.0, INT32_MAX},
        {2147483647.9, INT32_MAX},
        {-2147483648.0, INT32_MIN},
        {-2147483648.9, INT32_MIN},  // truncates into range
        {2147483648.0, INT32_MIN},
        {-2147483649.0, INT32_MIN},
        {1e10, INT32_MIN},
        {inf, INT32_MIN},
        {-inf, INT32_MIN},
        {std::nan(""), INT32_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(math_util_float_to_int(c.value), c.expected);
    }
    EXPECT_EQ(math_util_float_to_int(-7.75f), -7);  // floats promote exactly
}

TEST(MathUtil, SqrtOfNegativeGivesZeroWithOneWarning)
{
    LogCapture log;
    EXPECT_EQ(math_util_sqrt(-4.0), 0.0);
    EXPECT_EQ(log.warnings(),
              std::vector<std::string>{"Inside _matherr for 'sqrt', arg1 = -4.000000"});
    EXPECT_TRUE(log.errors().empty());
    EXPECT_EQ(debug_log.warning_count, 1);

    EXPECT_EQ(math_util_sqrt(16.0), 4.0);
    EXPECT_EQ(math_util_sqrt(0.0), 0.0);
    EXPECT_EQ(debug_log.warning_count, 1);
}

TEST(MathUtil, AcosOutOfDomainIsAnErrorAndKeepsTheLibraryResult)
{
    LogCapture log;
    EXPECT_TRUE(std::isnan(math_util_acos(2.0)));
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Inside _matherr for 'acos'"});
    EXPECT_EQ(debug_log.warning_count, 0);

    EXPECT_EQ(math_util_acos(1.0), 0.0);
    EXPECT_DOUBLE_EQ(math_util_acos(-1.0), M_PI);
    EXPECT_DOUBLE_EQ(math_util_acos(0.5), M_PI / 3.0);
    EXPECT_EQ(debug_log.error_count, 1);
}

TEST(MathUtil, HookHandlesOnlySqrt)
{
    LogCapture log;
    math_util_error sqrt_error = {MATH_UTIL_DOMAIN, "sqrt", -1.5, 0.0, 99.0};
    EXPECT_EQ(_matherr(&sqrt_error), 1);
    EXPECT_EQ(sqrt_error.retval, 0.0);

    math_util_error log_error = {MATH_UTIL_DOMAIN, "log", -1.0, 0.0, 99.0};
    EXPECT_EQ(_matherr(&log_error), 0);
    EXPECT_EQ(log_error.retval, 99.0);

    EXPECT_EQ(log.warnings(),
              std::vector<std::string>{"Inside _matherr for 'sqrt', arg1 = -1.500000"});
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Inside _matherr for 'log'"});
}
