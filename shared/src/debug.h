// The run's debug log: three kinds of entry (error, warning, notice), each with
// its own level, a master level over all of them, and counters of the errors
// and warnings of the run.
//
// Every logging site writes one entry through the log gate, LOG_ERROR,
// LOG_WARNING or LOG_NOTICE, with a printf format. The entry's prefix carries
// the base name of the source file and the line of the site:
//     "ERROR   %18s(%4ld): " message
// A message ends with its own "\n"; one that does not leaves the next entry on
// the same line.
#pragma once

#include <cstdint>
#include <cstdio>

struct debug_log_record {
    FILE* debug_file;            // NULL while no log is open
    int32_t debug_master_level;  // entries are written only while >= 0
    int32_t error_count;
    int32_t warning_count;
    int32_t error_level;    // errors are counted and written only while >= 0
    int32_t warning_level;  // likewise warnings
    int32_t notice_level;   // notices are written only while >= 0
};

extern debug_log_record debug_log;

// Closes an open log, sets every level and count to 0 and opens `filename`
// ("at+" when `append_flag` is set, else "wt"). A NULL name turns writing off
// and keeps counting; returns 1. A failed open returns 0 and counts one error.
int debug_open(const char* filename, int append_flag);

// Writes the closing block (counts, "Terminating at ...") and closes the file.
// The counts keep their values. Returns 1.
int debug_close(void);

// 1 while a log file is open and every entry so far reached it; 0 when none
// could be opened (its reason went to stderr) or a write failed.
int debug_log_written(void);

// The current local time, 24 characters, in a static buffer.
const char* debug_time_str(void);

// The part of `path` after its last "/" and then after the last "\".
const char* debug_base_filename(const char* path);

// The log gate. Use through the macros below.
void debug_error(const char* source_path, long line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void debug_warning(const char* source_path, long line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void debug_notice(const char* source_path, long line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

#define LOG_ERROR(...) debug_error(__FILE__, __LINE__, __VA_ARGS__)
#define LOG_WARNING(...) debug_warning(__FILE__, __LINE__, __VA_ARGS__)
#define LOG_NOTICE(...) debug_notice(__FILE__, __LINE__, __VA_ARGS__)

// The one way to refuse a NULL argument: the ERROR "Cannot <operation> with
// NULL <argument>." and a return of the failure value that follows (none in a
// function without a result). `operation` and `argument` are string literals.
//     REFUSE_NULL(list_ptr, "dlink_add", "list_ptr", 0);
#define REFUSE_NULL(ptr, operation, argument, ...)                             \
    do {                                                                       \
        if ((ptr) == NULL) {                                                   \
            LOG_ERROR("%s\n", "Cannot " operation " with NULL " argument "."); \
            return __VA_ARGS__;                                                \
        }                                                                      \
    } while (0)

// An invariant of the program itself, never of data from outside (those are
// refused with a log line): when it does not hold, the log gets the ERROR
// "Invariant failed: <condition>", standard error gets the same, and the
// program stops, because what follows would work on a broken state.
#define INVARIANT(condition)                                        \
    do {                                                            \
        if (!(condition))                                           \
            debug_invariant_failed(__FILE__, __LINE__, #condition); \
    } while (0)
[[noreturn]] void debug_invariant_failed(const char* source_path, long line, const char* condition);

// The quiet idiom, for a caller that expects a call to fail: errors in
// between are neither counted nor written.
void debug_quiet_begin(void);
void debug_quiet_end(void);

// Muting, for a caller that repeats an attempt whose failure it has logged
// already (a texture a frame asks for every frame): errors, warnings and
// notices in between are neither counted nor written. Pairs nest.
void debug_mute_begin(void);
void debug_mute_end(void);
