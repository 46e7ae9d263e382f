// The platform's invariant: a broken one is reported as an error (through
// the game's sink when one is set), written on standard error, and stops the
// program.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/report.h"

namespace {

void echo_errors(platform_report_kind kind, const char*, long, const char* text)
{
    if (kind == PLATFORM_REPORT_ERROR)
        fprintf(stderr, "sink: %s\n", text);
}

}  // namespace

TEST(PlatformInvariant, ABrokenInvariantIsReportedAndStopsTheProgram)
{
    int held = 1;
    PLATFORM_INVARIANT(held == 1);
    EXPECT_DEATH(PLATFORM_INVARIANT(held == 2),
                 "report_test.cpp\\([0-9]+\\): error: Invariant failed: held == 2");
    EXPECT_DEATH(
        {
            platform_set_report_sink(echo_errors);
            PLATFORM_INVARIANT(held == 2);
        },
        "sink: Invariant failed: held == 2.*report_test.cpp\\([0-9]+\\): Invariant failed: "
        "held == 2");
}
