#include <gtest/gtest.h>

#include "debug.h"
#include "test_support.h"

TEST(Debug, ErrorEntryCarriesSourceAndLine)
{
    LogCapture log;
    LOG_ERROR("something %d\n", 7);
    auto lines = log.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 8), "ERROR   ");
    EXPECT_NE(lines[0].find("   debug_test.cpp("), std::string::npos);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"something 7"});
}
