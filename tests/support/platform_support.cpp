#include "platform_support.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <unistd.h>

#include <gtest/gtest.h>

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

// The order in which test_reset_state runs the resets, bottom up as the
// layers are built: the platform, the core services and the frame start
// afresh first, then the doubles of the services above the subsystem under
// test, then the subsystems from the models up. A reset that still calls
// into a lower module (the script engine ending its scripts, the models and
// sounds released) finds that module started afresh. A test program runs
// those of the list it links.
const char* const test_reset_order[] = {
    "platform",        "core",   "frame",  "service_doubles", "script_doubles",
    "runtime_doubles", "models", "script", "runtime",
};

// The resets registered by TEST_RESET, by name.
std::map<std::string, test_reset_funct>& test_resets()
{
    static std::map<std::string, test_reset_funct> resets;
    return resets;
}

}  // namespace

test_reset_registrar::test_reset_registrar(const char* name, test_reset_funct reset)
{
    test_resets()[name] = reset;
}

void test_reset_state()
{
    std::set<std::string> run;
    for (const char* name : test_reset_order) {
        auto found = test_resets().find(name);
        if (found != test_resets().end()) {
            found->second();
            run.insert(name);
        }
    }
    for (const auto& registered : test_resets())
        if (!run.count(registered.first))
            ADD_FAILURE() << "TEST_RESET(" << registered.first
                          << ") is not in test_reset_order (platform_support.cpp)";
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

void test_use_gl_backend()
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    win32_set_headless(0);
    d3d_select_backend(D3D_BACKEND_GL);
}
