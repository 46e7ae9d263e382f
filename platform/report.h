// How the platform stand-in says why something failed (a window, a GL
// context, a font, a device that could not be made). The platform stands
// below the game's log, so the game gives it a sink: the log installs itself
// when it opens (debug_open), and every report then lands in "debug.txt" with
// the platform's own file and line. Without a sink (a tool, a test of the
// platform alone) reports go to standard error.
#pragma once

enum platform_report_kind {
    PLATFORM_REPORT_ERROR,
    PLATFORM_REPORT_WARNING,
    PLATFORM_REPORT_NOTICE,
};

// Receives one report: its kind, the source file and line that made it, and
// its text (one line, without a line end).
typedef void (*platform_report_sink)(platform_report_kind kind, const char* source_path, long line,
                                     const char* text);

// NULL sends the reports to standard error again.
void platform_set_report_sink(platform_report_sink sink);

void platform_report(platform_report_kind kind, const char* source_path, long line,
                     const char* format, ...) __attribute__((format(printf, 4, 5)));

#define PLATFORM_ERROR(...) platform_report(PLATFORM_REPORT_ERROR, __FILE__, __LINE__, __VA_ARGS__)
#define PLATFORM_WARNING(...) \
    platform_report(PLATFORM_REPORT_WARNING, __FILE__, __LINE__, __VA_ARGS__)
#define PLATFORM_NOTICE(...) \
    platform_report(PLATFORM_REPORT_NOTICE, __FILE__, __LINE__, __VA_ARGS__)

// An invariant of the platform's own code, never of data from outside: when
// it does not hold, the error report "Invariant failed: <condition>" goes
// out, standard error gets the same, and the program stops, as with the
// game's INVARIANT (debug.h), which the platform stands below.
#define PLATFORM_INVARIANT(condition)                                  \
    do {                                                               \
        if (!(condition))                                              \
            platform_invariant_failed(__FILE__, __LINE__, #condition); \
    } while (0)
[[noreturn]] void platform_invariant_failed(const char* source_path, long line,
                                            const char* condition);
