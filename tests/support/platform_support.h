// The test helpers every test program can use, the platform's own included:
// temporary files and directories, golden bytes (image_writers.h), the registry of module
// resets, windows and the choice of the GL back-end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "image_writers.h"
#include "platform/win32.h"

// A temporary directory, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + relative
    std::string file(const std::string& relative) const;
    // Writes `content` to path()/relative, creating directories on the way.
    std::string write(const std::string& relative, const std::string& content) const;
    std::string read(const std::string& relative) const;

private:
    std::string path_;
};

// `words` zero words of an image.
std::string zero_words(int words);

// A temporary file (removed when closed) holding `bytes`, positioned at 0.
FILE* file_with_bytes(const std::string& bytes);
// Everything in `file` from its start; the position is kept.
std::string file_contents(FILE* file);

// What `write` (expected to succeed) puts into a fresh temporary file.
std::string written_bytes(const std::function<int(FILE*)>& write);

// Puts the module-wide state that tests touch back to its start values (the
// log is LogCapture's business).
void test_reset_state();

// A 640 x 480 window (not shown) of the class `class_name`, registered here
// with `procedure`, its client origin at x, y.
HWND test_make_window(const char* class_name, WNDPROC procedure, int x = 0, int y = 0);

// After test_reset_state: the next device is a GL one with a real (hidden)
// window, drawn through SDL's offscreen video driver by Mesa's software
// renderer, so no display server is needed and the pixels are the same on
// every machine.
void test_use_gl_backend();

// Every module with module-wide state has a reset, which the reset of its
// subsystem calls (tests/support/reset_<subsystem>.cpp); the doubles of the
// services register theirs beside them. test_reset_state runs them in the
// order of one list, test_reset_order (platform_support.cpp), where each
// name must stand:
//     TEST_RESET(core) { token_reset(); ... }
typedef void (*test_reset_funct)(void);
struct test_reset_registrar {
    test_reset_registrar(const char* name, test_reset_funct reset);
};
#define TEST_RESET(name)                                                                     \
    static void test_reset_##name(void);                                                     \
    static const test_reset_registrar test_reset_registrar_##name(#name, test_reset_##name); \
    static void test_reset_##name(void)
