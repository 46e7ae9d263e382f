// Helpers shared by the test suites.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "record.h"

// Opens the debug log on a temporary file for the life of the object, so a
// test can assert on the entries it caused. The log is closed (and the counts
// kept) when the object goes.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Every line written since the capture opened (the opening notices are
    // skipped), without line ends.
    std::vector<std::string> lines() const;
    // The entries of one kind ("ERROR", "WARNING", "NOTICE"), prefix removed.
    std::vector<std::string> messages(const std::string& kind) const;
    std::vector<std::string> errors() const { return messages("ERROR"); }
    std::vector<std::string> warnings() const { return messages("WARNING"); }
    std::vector<std::string> notices() const { return messages("NOTICE"); }
    // Starts the log afresh (entries and counts), for the next case of a
    // table. Captures do not nest: the newest open log wins.
    void clear();
    // True when some line contains `text`.
    bool contains(const std::string& text) const;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    size_t skip_ = 0;
};

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

// Binary images built word by word, little-endian, for golden-byte tests.
class ImageBytes {
public:
    ImageBytes& word(uint32_t value);
    ImageBytes& real(float value);
    ImageBytes& half(uint16_t value);
    // A string record: length with the zero, the text, zero padding to 4.
    ImageBytes& str(const std::string& text);
    ImageBytes& raw(const std::string& bytes);
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// `words` zero words of an image.
std::string zero_words(int words);

// A temporary file (removed when closed) holding `bytes`, positioned at 0.
FILE* file_with_bytes(const std::string& bytes);
// Everything in `file` from its start; the position is kept.
std::string file_contents(FILE* file);

// What `write` (expected to succeed) puts into a fresh temporary file.
std::string written_bytes(const std::function<int(FILE*)>& write);

// A heap copy of `bytes`, exactly as long, given to a link arena, with the
// cursor at its start; released with the object.
struct LinkImage {
    link_arena arena = {};
    link_cursor cursor;
    char* block;
    explicit LinkImage(const std::string& bytes);
    ~LinkImage();
    LinkImage(const LinkImage&) = delete;
    LinkImage& operator=(const LinkImage&) = delete;
    // Bytes the cursor has moved past.
    long consumed() const { return (long)(cursor.data - block); }
};

// Reads every proper prefix of a record stream of `type` from a file and
// links it from an image: each must be refused with at least one error line
// (and, in the sanitizer build, leave nothing behind).
void expect_every_prefix_refused(const record_type* type, const std::string& bytes);

// Reads a whole host file; empty when it cannot be read.
std::string read_host_file(const std::string& path);

// Puts the module-wide state that tests touch back to its start values (the
// log is LogCapture's business).
void test_reset_state();

// A 640 x 480 window (not shown) of the class `class_name`, registered here
// with `procedure`, its client origin at x, y.
HWND test_make_window(const char* class_name, WNDPROC procedure, int x = 0, int y = 0);

// A shown 640 x 480 window of the class `class_name`, registered here with
// `procedure`, with the frame's defaults and its device made for it, as
// WinMain leaves them; NULL when either could not be made.
HWND test_open_game_window(const char* class_name, WNDPROC procedure);

// After test_reset_state: the next device is a GL one with a real (hidden)
// window, drawn through SDL's offscreen video driver by Mesa's software
// renderer, so no display server is needed and the pixels are the same on
// every machine.
void test_use_gl_backend();

// A module with module-wide state registers its reset in a file of its own
// under tests/support/ (reset_<module>.cpp), so that test_reset_state runs it:
//     TEST_RESET(token) { token_reset(); ... }
typedef void (*test_reset_funct)(void);
struct test_reset_registrar {
    explicit test_reset_registrar(test_reset_funct reset);
};
#define TEST_RESET(name)                                                              \
    static void test_reset_##name(void);                                              \
    static const test_reset_registrar test_reset_registrar_##name(test_reset_##name); \
    static void test_reset_##name(void)
