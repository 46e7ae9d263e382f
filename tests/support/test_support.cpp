#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "d3dxframe.h"
#include "debug.h"
#include "file_io.h"
#include "gametime.h"
#include "platform/d3d_record.h"
#include "platform/font.h"
#include "platform/timer.h"
#include "platform/win32_test.h"

namespace fs = std::filesystem;

namespace {

std::string make_temp_dir()
{
    std::string pattern = (fs::temp_directory_path() / "varnock-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    return made ? std::string(made) : std::string();
}

}  // namespace

std::string read_host_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
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

TempDir::TempDir() : path_(make_temp_dir()) {}

TempDir::~TempDir()
{
    std::error_code ignored;
    if (!path_.empty())
        fs::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& relative) const
{
    return path_ + "/" + relative;
}

std::string TempDir::write(const std::string& relative, const std::string& content) const
{
    std::string full = file(relative);
    fs::create_directories(fs::path(full).parent_path());
    std::ofstream out(full, std::ios::binary);
    out << content;
    return full;
}

std::string TempDir::read(const std::string& relative) const
{
    return read_host_file(file(relative));
}

void test_reset_state()
{
    debug_close();
    game_time = 0.0f;
    file_hdr_type_found = 0;
    file_hdr_version_found = 0;
    platform_timer_set_source(nullptr);
    win32_reset();
    win32_set_headless(1);
    d3d_record_reset();
    platform_font_use(nullptr);
    d3dxframe_reset();
}
