// How the platform stand-ins tell the game what went wrong inside them.
//
// A stand-in reports through PLATFORM_ERROR, PLATFORM_WARNING or
// PLATFORM_NOTICE (printf formats). The reports go to the sink the game
// registers, which is its log ("debug.txt"): the log registers itself when it
// opens. Without a sink reports are dropped; the platform never writes to the
// terminal.
#pragma once

enum platform_report_kind {
    PLATFORM_REPORT_ERROR,
    PLATFORM_REPORT_WARNING,
    PLATFORM_REPORT_NOTICE,
};

// Receives one report: its kind, the reporting source file and line, and the
// formatted text (with its own "\n").
typedef void (*platform_report_funct)(int kind, const char* source_path, long line,
                                      const char* text);
// Makes `report` the sink; NULL drops reports from now on.
void platform_set_report_funct(platform_report_funct report);

void platform_report(int kind, const char* source_path, long line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

#define PLATFORM_ERROR(...) platform_report(PLATFORM_REPORT_ERROR, __FILE__, __LINE__, __VA_ARGS__)
#define PLATFORM_WARNING(...) \
    platform_report(PLATFORM_REPORT_WARNING, __FILE__, __LINE__, __VA_ARGS__)
#define PLATFORM_NOTICE(...) \
    platform_report(PLATFORM_REPORT_NOTICE, __FILE__, __LINE__, __VA_ARGS__)
