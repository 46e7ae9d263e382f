#include "test_support.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include <gtest/gtest.h>

#include "d3dxframe.h"
#include "debug.h"
#include "heap.h"
#include "platform/d3d_record.h"
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

ImageBytes& ImageBytes::word(uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes_.push_back((char)(value >> shift & 0xff));
    return *this;
}

ImageBytes& ImageBytes::real(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return word(bits);
}

ImageBytes& ImageBytes::half(uint16_t value)
{
    bytes_.push_back((char)(value & 0xff));
    bytes_.push_back((char)(value >> 8));
    return *this;
}

ImageBytes& ImageBytes::str(const std::string& text)
{
    word((uint32_t)text.size() + 1);
    bytes_ += text;
    bytes_.push_back('\0');
    // The padding counts from the string's own length, not from its offset.
    for (size_t length = text.size() + 1; length % 4 != 0; ++length)
        bytes_.push_back('\0');
    return *this;
}

ImageBytes& ImageBytes::raw(const std::string& bytes)
{
    bytes_ += bytes;
    return *this;
}

std::string zero_words(int words)
{
    return std::string(4 * (size_t)words, '\0');
}

FILE* file_with_bytes(const std::string& bytes)
{
    FILE* file = std::tmpfile();
    if (file && !bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), file);
    if (file)
        std::rewind(file);
    return file;
}

std::string file_contents(FILE* file)
{
    std::string bytes;
    long position = std::ftell(file);
    std::rewind(file);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    std::fseek(file, position, SEEK_SET);
    return bytes;
}

std::string written_bytes(const std::function<int(FILE*)>& write)
{
    FILE* file = std::tmpfile();
    EXPECT_EQ(write(file), 1);
    std::string bytes = file_contents(file);
    std::fclose(file);
    return bytes;
}

LinkImage::LinkImage(const std::string& bytes)
{
    block = (char*)MALLOC(bytes.empty() ? 1 : bytes.size());
    std::memcpy(block, bytes.data(), bytes.size());
    cursor = link_arena_begin(&arena, block, (int32_t)bytes.size(), 0);
}

LinkImage::~LinkImage()
{
    link_arena_free(&arena);
}

void expect_every_prefix_refused(const record_type* type, const std::string& bytes)
{
    for (size_t length = 0; length < bytes.size(); ++length) {
        SCOPED_TRACE(length);
        std::string prefix = bytes.substr(0, length);
        LogCapture log;
        FILE* file = file_with_bytes(prefix);
        EXPECT_EQ(record_read_bin(type, file), nullptr);
        std::fclose(file);
        size_t read_errors = log.errors().size();
        EXPECT_GE(read_errors, 1u);

        LinkImage image(prefix);
        EXPECT_EQ(record_link(type, &image.cursor), nullptr);
        EXPECT_GT(log.errors().size(), read_errors);
    }
}

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

namespace {

// The resets registered by TEST_RESET, in registration order.
std::vector<test_reset_funct>& test_resets()
{
    static std::vector<test_reset_funct> resets;
    return resets;
}

}  // namespace

test_reset_registrar::test_reset_registrar(test_reset_funct reset)
{
    test_resets().push_back(reset);
}

void test_reset_state()
{
    for (test_reset_funct reset : test_resets())
        reset();
}

HWND test_make_window(const char* class_name, WNDPROC procedure, int x, int y)
{
    WNDCLASS window_class = {};
    window_class.lpfnWndProc = procedure;
    window_class.lpszClassName = class_name;
    RegisterClass(&window_class);
    return CreateWindow(class_name, "test", WS_OVERLAPPEDWINDOW, x, y, 640, 480, nullptr, nullptr,
                        nullptr, nullptr);
}

HWND test_open_game_window(const char* class_name, WNDPROC procedure)
{
    HWND window = test_make_window(class_name, procedure);
    if (!window)
        return nullptr;
    d3dxframe_set_defaults();
    d3dxframe_set_hwnd(window);
    ShowWindow(window, SW_SHOW);
    return SUCCEEDED(d3dxframe_initialize(window)) ? window : nullptr;
}

void test_use_gl_backend()
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    win32_set_headless(0);
    d3d_select_backend(D3D_BACKEND_GL);
}
