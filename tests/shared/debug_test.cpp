#include <gtest/gtest.h>

#include <cstdio>

#include "debug.h"
#include "platform/report.h"
#include "test_support.h"

namespace {

class DebugLog : public ::testing::Test {
protected:
    void SetUp() override { test_reset_state(); }
    void TearDown() override { test_reset_state(); }
    TempDir dir;
};

std::vector<std::string> file_lines(const std::string& path)
{
    std::vector<std::string> lines;
    std::string content = read_host_file(path);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

TEST_F(DebugLog, EntryPrefixCarriesKindBaseNameAndLine)
{
    LogCapture log;
    const int error_line = __LINE__ + 1;
    LOG_ERROR("first %d\n", 7);
    LOG_WARNING("%s\n", "second");
    LOG_NOTICE("third\n");
    auto lines = log.lines();
    ASSERT_EQ(lines.size(), 3u);
    char expected[128];
    std::snprintf(expected, sizeof expected, "ERROR   %18s(%4d): first 7", "debug_test.cpp",
                  error_line);
    EXPECT_EQ(lines[0], expected);
    EXPECT_EQ(lines[1].substr(0, 8), "WARNING ");
    EXPECT_EQ(lines[2].substr(0, 8), "NOTICE  ");
    EXPECT_EQ(debug_log.error_count, 1);
    EXPECT_EQ(debug_log.warning_count, 1);
}

TEST_F(DebugLog, NullNameCountsWithoutWriting)
{
    EXPECT_EQ(debug_open(nullptr, 0), 1);
    EXPECT_EQ(debug_log.debug_master_level, -1);
    LOG_ERROR("counted\n");
    LOG_WARNING("counted\n");
    EXPECT_EQ(debug_log.error_count, 1);
    EXPECT_EQ(debug_log.warning_count, 1);
}

TEST_F(DebugLog, FailedOpenCountsItsOwnError)
{
    EXPECT_EQ(debug_open(dir.file("no/such/dir/debug.txt").c_str(), 0), 0);
    EXPECT_EQ(debug_log.debug_file, nullptr);
    EXPECT_EQ(debug_log.debug_master_level, -1);
    EXPECT_EQ(debug_log.error_count, 1);
}

TEST_F(DebugLog, AppendKeepsEarlierRunAndCloseWritesCounts)
{
    std::string path = dir.write("debug.txt", "earlier run\n");
    ASSERT_EQ(debug_open(path.c_str(), 1), 1);
    LOG_WARNING("w1\n");
    LOG_WARNING("w2\n");
    LOG_ERROR("e1\n");
    EXPECT_EQ(debug_close(), 1);
    auto lines = file_lines(path);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], "earlier run");
    EXPECT_NE(lines[1].find("opened at "), std::string::npos);
    // The closing block: empty notice, the counts (a single error too),
    // empty notice, end time.
    EXPECT_TRUE(lines[6].ends_with("): "));
    EXPECT_TRUE(lines[7].ends_with("): Warning(s): 2"));
    EXPECT_TRUE(lines[8].ends_with("): Error(s): 1"));
    EXPECT_TRUE(lines[9].ends_with("): "));
    EXPECT_NE(lines[10].find("): Terminating at "), std::string::npos);
    // Counts survive the close, and counting goes on without a file.
    LOG_WARNING("w3\n");
    EXPECT_EQ(debug_log.warning_count, 3);
    EXPECT_EQ(file_lines(path).size(), 11u);
}

TEST_F(DebugLog, CleanRunClosesWithEmptyNoticeAndTerminating)
{
    std::string path = dir.file("debug.txt");
    ASSERT_EQ(debug_open(path.c_str(), 0), 1);
    debug_close();
    auto lines = file_lines(path);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(lines[2].ends_with("): "));
    EXPECT_NE(lines[3].find("Terminating at "), std::string::npos);
}

TEST_F(DebugLog, QuietIdiomSuppressesAndRestores)
{
    LogCapture log;
    debug_quiet_begin();
    LOG_ERROR("hidden\n");
    debug_quiet_end();
    EXPECT_EQ(debug_log.error_count, 0);
    EXPECT_EQ(debug_log.error_level, 0);
    EXPECT_TRUE(log.lines().empty());

    // Something resets the level in between: the end leaves it alone.
    debug_quiet_begin();
    debug_log.error_level = 0;
    debug_quiet_end();
    EXPECT_EQ(debug_log.error_level, 0);
}

TEST_F(DebugLog, MutingHidesEveryKindAndNests)
{
    LogCapture log;
    debug_mute_begin();
    debug_mute_begin();
    LOG_ERROR("hidden\n");
    debug_mute_end();
    LOG_WARNING("hidden\n");
    LOG_NOTICE("hidden\n");
    debug_mute_end();
    EXPECT_EQ(debug_log.error_count, 0);
    EXPECT_EQ(debug_log.warning_count, 0);
    EXPECT_TRUE(log.lines().empty());
    // Every kind is back once the last mute ends.
    LOG_ERROR("shown\n");
    LOG_WARNING("shown\n");
    LOG_NOTICE("shown\n");
    EXPECT_EQ(log.errors(), std::vector<std::string>{"shown"});
    EXPECT_EQ(log.warnings(), std::vector<std::string>{"shown"});
    EXPECT_EQ(log.notices(), std::vector<std::string>{"shown"});
}

TEST_F(DebugLog, LongBaseNameAndLineWidenTheirColumns)
{
    LogCapture log;
    debug_error("/src/a_very_long_module_name_indeed.cpp", 123456, "x\n");
    EXPECT_EQ(log.lines().at(0), "ERROR   a_very_long_module_name_indeed.cpp(123456): x");
}

TEST(DebugBaseFilename, CutsAtEitherSeparator)
{
    struct Case {
        const char* path;
        const char* base;
    } cases[] = {
        {"c:\\src\\debug.c", "debug.c"},  {"/src/shared/debug.cpp", "debug.cpp"},
        {"c:\\src/sub/file.c", "file.c"}, {"dir/sub\\file.c", "file.c"},
        {"plain.c", "plain.c"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(debug_base_filename(c.path), c.base) << c.path;
    EXPECT_EQ(debug_base_filename(nullptr), nullptr);
}

TEST(DebugTime, HasTheCalendarForm)
{
    std::string text = debug_time_str();
    EXPECT_EQ(text.size(), 24u) << text;
    EXPECT_EQ(text[3], ' ');
    EXPECT_EQ(text[13], ':');
}

// A broken invariant stops the program after saying which one, in the log
// and on standard error.
TEST(DebugInvariant, ABrokenInvariantIsLoggedAndStopsTheProgram)
{
    TempDir dir;
    std::string path = dir.file("debug.txt");
    int held = 1;
    INVARIANT(held == 1);
    EXPECT_DEATH(
        {
            debug_open(path.c_str(), 0);
            INVARIANT(held == 2);
        },
        "debug_test.cpp\\([0-9]+\\): Invariant failed: held == 2");
    std::string log = read_host_file(path);
    EXPECT_NE(log.find("Invariant failed: held == 2"), std::string::npos) << log;
}

int refuse(const int* value)
{
    REFUSE_NULL(value, "refuse", "value", -1);
    return *value;
}

TEST_F(DebugLog, ANullArgumentIsRefusedWithItsLine)
{
    LogCapture log;
    int seven = 7;
    EXPECT_EQ(refuse(&seven), 7);
    EXPECT_EQ(refuse(nullptr), -1);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Cannot refuse with NULL value."});
}

// The platform has no log of its own: while the log is open its reports are
// the log's entries, with the platform's file and line; otherwise they go to
// standard error.
TEST_F(DebugLog, PlatformReportsLandInTheOpenLogElseOnStandardError)
{
    {
        LogCapture log;
        const int line = __LINE__ + 1;
        PLATFORM_ERROR("No window \"%s\": %s", "Varnock Window", "no display");
        PLATFORM_NOTICE("%s", "a notice");
        ASSERT_EQ(log.lines().size(), 2u);
        char expected[128];
        std::snprintf(expected, sizeof expected,
                      "ERROR   %18s(%4d): No window \"Varnock Window\": no display",
                      "debug_test.cpp", line);
        EXPECT_EQ(log.lines()[0], expected);
        EXPECT_EQ(log.notices(), std::vector<std::string>{"a notice"});
        EXPECT_EQ(debug_log.error_count, 1);
    }
    testing::internal::CaptureStderr();
    PLATFORM_WARNING("%s", "nobody listens");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("debug_test.cpp("), std::string::npos) << err;
    EXPECT_NE(err.find("warning: nobody listens"), std::string::npos) << err;
}
