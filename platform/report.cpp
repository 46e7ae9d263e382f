#include "platform/report.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

platform_report_sink report_sink = nullptr;

const char* base_name(const char* path)
{
    const char* base = path;
    for (const char* c = path; *c; ++c)
        if (*c == '/' || *c == '\\')
            base = c + 1;
    return base;
}

}  // namespace

void platform_set_report_sink(platform_report_sink sink)
{
    report_sink = sink;
}

void platform_report(platform_report_kind kind, const char* source_path, long line,
                     const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (report_sink) {
        report_sink(kind, source_path, line, text);
        return;
    }
    static const char* const kinds[] = {"error", "warning", "notice"};
    fprintf(stderr, "%s(%ld): %s: %s\n", base_name(source_path), line, kinds[kind], text);
}

void platform_invariant_failed(const char* source_path, long line, const char* condition)
{
    platform_report(PLATFORM_REPORT_ERROR, source_path, line, "Invariant failed: %s", condition);
    // Without a sink the report went to standard error already.
    if (report_sink)
        fprintf(stderr, "%s(%ld): Invariant failed: %s\n", base_name(source_path), line, condition);
    abort();
}
