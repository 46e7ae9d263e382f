#include "demo_text.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "debug.h"
#include "file_io.h"
#include "text_io.h"
#include "token.h"

bool demo_text_open(demo_text_sink* out, const char* path, int32_t type, int32_t version)
{
    out->path = path;
    out->file = file_open_write_version_text(path, type, version);
    out->ok = out->file != nullptr;
    return out->ok;
}

int demo_text_close(demo_text_sink* out)
{
    if (!file_close(out->file))
        demo_text_refuse(out, "the end of the file");
    if (!out->ok)
        remove_file(out->path);
    return out->ok ? 1 : 0;
}

void demo_text_refuse(demo_text_sink* out, const char* what)
{
    if (out->ok)
        LOG_ERROR("Cannot write %s to '%s'\n", what, out->path);
    out->ok = false;
}

void demo_text_put_line(demo_text_sink* out, const char* format, ...)
{
    if (!out->ok)
        return;
    char line[TEXT_LINE_SIZE];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0 || length >= (int)sizeof line) {
        demo_text_refuse(out, "a line longer than a line may be");
        return;
    }
    if (std::fprintf(out->file, "%s\n", line) < 0)
        demo_text_refuse(out, "a line");
}

// A blank always stands between the two: a value ending in "/" would
// otherwise make the comment start one character early.
void demo_text_put_value(demo_text_sink* out, const char* value, const char* comment)
{
    demo_text_put_line(out, "%-43s //  %s", value, comment);
}

demo_text_real demo_text_real_of(demo_text_sink* out, float value)
{
    demo_text_real made = {"0"};
    if (!std::isfinite(value)) {
        demo_text_refuse(out, "a number that is not finite");
        return made;
    }
    std::to_chars_result end = std::to_chars(made.text, made.text + sizeof made.text - 1, value,
                                             std::chars_format::fixed);
    if (end.ec != std::errc()) {
        demo_text_refuse(out, "a number");
        return made;
    }
    *end.ptr = '\0';
    return made;
}

bool demo_text_reads_as_token(const char* name)
{
    size_t length = std::strlen(name);
    if (length == 0 || length >= TOKEN_SLOT_SIZE || (name[0] >= '0' && name[0] <= '9'))
        return false;
    for (size_t i = 0; i < length; ++i)
        if ((unsigned char)name[i] <= ' ' || name[i] == 0x7f || token_delim_lookup(name + i))
            return false;
    return true;
}

bool demo_text_reads_as_line(const char* text)
{
    size_t length = std::strlen(text);
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return length > 0 && !blank(text[0]) && !blank(text[length - 1]) && !std::strstr(text, "//") &&
           !std::strpbrk(text, "\r\n");
}
