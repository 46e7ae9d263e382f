// The test helpers that need the core services: the log capture and the
// link images.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "debug.h"
#include "heap.h"
#include "test_support.h"

namespace fs = std::filesystem;

int heap_failure_sweep(const std::function<bool()>& attempt)
{
    for (int32_t nth = 1;; ++nth) {
        int64_t live = heap_live_blocks();
        int32_t errors = debug_log.error_count;
        heap_fail_nth_allocation(nth);
        bool succeeded = attempt();
        bool failed_one = heap_fault_fired();
        heap_fail_nth_allocation(0);
        EXPECT_EQ(heap_live_blocks(), live) << "heap blocks left when allocation " << nth
                                            << " failed (or, after the last, when none did)";
        if (!failed_one) {
            EXPECT_TRUE(succeeded) << "the run with no allocation failing";
            return nth - 1;
        }
        EXPECT_FALSE(succeeded) << "allocation " << nth << " failed unnoticed";
        EXPECT_GT(debug_log.error_count, errors) << "allocation " << nth << " failed silently";
        if (testing::Test::HasFailure())
            return nth;
    }
}

LinkImage::LinkImage(const std::string& bytes)
{
    // Under an allocation-failure sweep the copy may fail: the cursor is then
    // one over no bytes, which every link refuses.
    block = (char*)MALLOC(bytes.empty() ? 1 : bytes.size());
    if (block)
        std::memcpy(block, bytes.data(), bytes.size());
    cursor = link_arena_begin(&arena, block, (int32_t)bytes.size(), 0);
}

LinkImage::~LinkImage()
{
    link_arena_free(&arena);
}

LogCapture::LogCapture()
{
    static int serial = 0;
    path_ = (fs::temp_directory_path() /
             ("varnock-log-" + std::to_string(getpid()) + "-" + std::to_string(serial++) + ".txt"))
                .string();
    debug_open(path_.c_str(), 0);
    skip_ = lines().size();  // the two opening notices
}

LogCapture::~LogCapture()
{
    debug_close();
    std::error_code ignored;
    fs::remove(path_, ignored);
}

void LogCapture::clear()
{
    debug_open(path_.c_str(), 0);
}

std::vector<std::string> LogCapture::lines() const
{
    std::vector<std::string> result;
    std::istringstream in(read_host_file(path_));
    std::string line;
    size_t index = 0;
    while (std::getline(in, line)) {
        if (index++ >= skip_)
            result.push_back(line);
    }
    return result;
}

std::vector<std::string> LogCapture::messages(const std::string& kind) const
{
    std::vector<std::string> result;
    for (const std::string& line : lines()) {
        if (line.compare(0, kind.size(), kind) != 0 || line.size() < 8 || line[kind.size()] != ' ')
            continue;
        size_t end_of_prefix = line.find("): ", 8);
        if (end_of_prefix != std::string::npos)
            result.push_back(line.substr(end_of_prefix + 3));
    }
    return result;
}

bool LogCapture::contains(const std::string& text) const
{
    for (const std::string& line : lines())
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}
