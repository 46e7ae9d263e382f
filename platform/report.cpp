#include "platform/report.h"

#include <cstdarg>
#include <cstdio>

namespace {
platform_report_funct report_sink = nullptr;
}

void platform_set_report_funct(platform_report_funct report)
{
    report_sink = report;
}

void platform_report(int kind, const char* source_path, long line, const char* format, ...)
{
    if (!report_sink)
        return;
    // A report is one log line; a longer text is cut.
    char text[1024];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length >= (int)sizeof text)
        text[sizeof text - 2] = '\n';
    report_sink(kind, source_path, line, text);
}
