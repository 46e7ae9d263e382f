#include <cstdarg>
#include <cstdlib>

#include "yym.h"

int32_t yymdebug_all = 0;

void yym_require(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "parser engine: broken invariant: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

int yym_tracing(const yym_parser* yy)
{
    return yymdebug_all != 0 || yy->yymdebug != 0;
}

void yym_trace(const yym_parser* yy, const char* format, ...)
{
    if (!yym_tracing(yy))
        return;
    yym_require(yy->yymdebugout != nullptr, "trace stream present");
    std::fprintf(yy->yymdebugout, "%p: ", (const void*)yy);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(yy->yymdebugout, format, arguments);
    va_end(arguments);
}

void yym_trace_token(const yym_parser* yy, const char* what, int32_t token)
{
    if (!yym_tracing(yy))
        return;
    yym_require(token >= 0, "traced token is 0 or more");
    const char* name = "illegal-token";
    for (const yym_token_name* entry = yy->yymtokenname; entry && entry->name; ++entry) {
        if (entry->token == token) {
            name = entry->name;
            break;
        }
    }
    yym_trace(yy, "%s token %s (%d)\n", what, name, (int)token);
}

void yymtrace_reset(void)
{
    yymdebug_all = 0;
}
