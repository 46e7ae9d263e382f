#include "debug.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "platform/path.h"
#include "platform/report.h"
#include "str_util.h"

debug_log_record debug_log = {nullptr, -1, 0, 0, 0, 0, 0};

namespace {

void write_entry(const char* tag, const char* source_path, long line, const char* format,
                 va_list args)
{
    FILE* file = debug_log.debug_file;
    std::fprintf(file, "%s%18s(%4ld): ", tag, debug_base_filename(source_path), line);
    std::vfprintf(file, format, args);
    std::fflush(file);
}

// Errors and warnings: counted whenever their own level allows, written
// only while a log is open.
void counted_entry(int32_t level, int32_t* count, const char* tag, const char* source_path,
                   long line, const char* format, va_list args)
{
    if (level < 0)
        return;
    *count += 1;
    if (debug_log.debug_master_level < 0 || !debug_log.debug_file)
        return;
    write_entry(tag, source_path, line, format, args);
}

}  // namespace

namespace {

// The platform's reports, written as the log's own entries.
void platform_report_to_log(platform_report_kind kind, const char* source_path, long line,
                            const char* text)
{
    if (kind == PLATFORM_REPORT_ERROR)
        debug_error(source_path, line, "%s\n", text);
    else if (kind == PLATFORM_REPORT_WARNING)
        debug_warning(source_path, line, "%s\n", text);
    else
        debug_notice(source_path, line, "%s\n", text);
}

}  // namespace

int debug_open(const char* filename, int append_flag)
{
    platform_set_report_sink(nullptr);
    if (debug_log.debug_file) {
        std::fclose(debug_log.debug_file);
        debug_log.debug_file = nullptr;
    }
    debug_log.debug_master_level = 0;
    debug_log.error_count = 0;
    debug_log.warning_count = 0;
    debug_log.error_level = 0;
    debug_log.warning_level = 0;
    debug_log.notice_level = 0;

    if (!filename) {
        debug_log.debug_master_level = -1;
        return 1;
    }
    debug_log.debug_file = platform_fopen(filename, append_flag ? "at+" : "wt");
    if (!debug_log.debug_file) {
        // Nothing will be written where a user looks for it, so the reason
        // goes where a user starting the program sees it.
        std::fprintf(stderr, "Could not open debugging file '%s': %s\n", filename,
                     std::strerror(errno));
        debug_log.debug_master_level = -1;
        LOG_ERROR("Could not open debugging file '%s'\n", filename);
        return 0;
    }
    platform_set_report_sink(platform_report_to_log);
    LOG_NOTICE("%s opened at %s\n", filename, debug_time_str());
    LOG_NOTICE("\n");
    return 1;
}

int debug_close(void)
{
    if (debug_log.warning_count + debug_log.error_count > 0)
        LOG_NOTICE("\n");
    if (debug_log.warning_count > 0)
        LOG_NOTICE("Warning(s): %ld\n", (long)debug_log.warning_count);
    if (debug_log.error_count > 0)
        LOG_NOTICE("Error(s): %ld\n", (long)debug_log.error_count);
    LOG_NOTICE("\n");
    LOG_NOTICE("Terminating at %s\n", debug_time_str());
    if (debug_log.debug_file)
        std::fclose(debug_log.debug_file);
    debug_log.debug_file = nullptr;
    debug_log.debug_master_level = -1;
    platform_set_report_sink(nullptr);
    return 1;
}

int debug_log_written(void)
{
    return debug_log.debug_file && !std::ferror(debug_log.debug_file) ? 1 : 0;
}

const char* debug_time_str(void)
{
    static char buffer[32];
    return format_local_time(std::time(nullptr), buffer, sizeof buffer);
}

const char* debug_base_filename(const char* path)
{
    if (!path)
        return nullptr;
    if (const char* slash = std::strrchr(path, '/'))
        path = slash + 1;
    if (const char* backslash = std::strrchr(path, '\\'))
        path = backslash + 1;
    return path;
}

void debug_error(const char* source_path, long line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    counted_entry(debug_log.error_level, &debug_log.error_count, "ERROR   ", source_path, line,
                  format, args);
    va_end(args);
}

void debug_warning(const char* source_path, long line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    counted_entry(debug_log.warning_level, &debug_log.warning_count, "WARNING ", source_path, line,
                  format, args);
    va_end(args);
}

void debug_notice(const char* source_path, long line, const char* format, ...)
{
    if (debug_log.notice_level < 0 || debug_log.debug_master_level < 0 || !debug_log.debug_file)
        return;
    va_list args;
    va_start(args, format);
    write_entry("NOTICE  ", source_path, line, format, args);
    va_end(args);
}

void debug_invariant_failed(const char* source_path, long line, const char* condition)
{
    debug_error(source_path, line, "Invariant failed: %s\n", condition);
    std::fprintf(stderr, "%s(%ld): Invariant failed: %s\n", debug_base_filename(source_path), line,
                 condition);
    debug_close();
    std::abort();
}

void debug_quiet_begin(void)
{
    debug_log.error_level -= 1;
}

void debug_quiet_end(void)
{
    if (debug_log.error_level < 0)
        debug_log.error_level += 1;
}

void debug_mute_begin(void)
{
    debug_log.error_level -= 1;
    debug_log.warning_level -= 1;
    debug_log.notice_level -= 1;
}

void debug_mute_end(void)
{
    for (int32_t* level :
         {&debug_log.error_level, &debug_log.warning_level, &debug_log.notice_level})
        if (*level < 0)
            *level += 1;
}
