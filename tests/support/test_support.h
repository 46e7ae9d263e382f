// Helpers shared by the test suites: those of platform_support.h, the log
// capture and link images over the core services, and a game window with its
// device for the frame and above.
#pragma once

#include <string>
#include <vector>

#include "platform_support.h"
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

// Runs `attempt` once with each heap allocation it makes failing in turn (the
// first, the second, ...), then once with none failing, and returns how many
// allocations it swept. `attempt` returns true when it succeeded and releases
// whatever it got either way. Each run with a failing allocation must refuse
// (return false) with an ERROR line, and no run may change the number of live
// heap blocks. Needs an open log (LogCapture) to count the errors.
int heap_failure_sweep(const std::function<bool()>& attempt);

// A shown 640 x 480 window of the class `class_name`, registered here with
// `procedure`, with the frame's defaults and its device made for it, as
// WinMain leaves them; NULL when either could not be made.
HWND test_open_game_window(const char* class_name, WNDPROC procedure);

// A line of text the device drew, from its record ("Font.Draw"): the font's
// height, the top left, the colour as GDI orders it (0x00BBGGRR) and the text.
struct test_text_draw {
    int height, x, y;
    unsigned colour;
    std::string text;
};
// The lines of text drawn from the device record `first` on.
std::vector<test_text_draw> test_text_draws_since(int first);
