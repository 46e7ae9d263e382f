#include <gtest/gtest.h>

#include <vector>

#include "rand_util.h"
#include "test_support.h"

// The first numbers of the sequence, worked out from
// state = state * 214013 + 2531011, result = (state >> 16) & 0x7fff.
TEST(RandUtil, SeededSequencesMatchTheGenerator)
{
    struct Case {
        uint32_t seed;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {1, {41, 18467, 6334, 26500, 19169, 15724}},
        {0, {38, 7719, 21238}},
        {12345, {7584, 19164, 25795}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seed);
        rand_util_srand(c.seed);
        for (int expected : c.expected)
            EXPECT_EQ(rand_util_rand(), expected);
    }
    test_reset_state();
}

TEST(RandUtil, ResetStartsFromSeedOneAndStaysInRange)
{
    test_reset_state();
    EXPECT_EQ(rand_util_rand(), 41);
    // The state wraps modulo 2^32 without leaving the range.
    rand_util_srand(0xffffffffu);
    for (int i = 0; i < 1000; i++) {
        int value = rand_util_rand();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, RAND_UTIL_MAX);
    }
    test_reset_state();
}
