#include "str_util.h"

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "debug.h"

void to_upper_case(char* the_str)
{
    REFUSE_NULL(the_str, "to_upper_case", "the_str");
    for (; *the_str; ++the_str)
        *the_str = (char)std::toupper((unsigned char)*the_str);
}

void to_lower_case(char* the_str)
{
    REFUSE_NULL(the_str, "to_lower_case", "the_str");
    for (; *the_str; ++the_str)
        *the_str = (char)std::tolower((unsigned char)*the_str);
}

int str_cpy(char* dest_str, size_t dest_size, const char* src_str, const char* file, long line)
{
    if (!dest_str || dest_size == 0) {
        LOG_ERROR("Cannot str_cpy with NULL dest_str in %s(%4ld)\n", file, line);
        return 0;
    }
    if (!src_str) {
        LOG_ERROR("Cannot str_cpy with NULL src_str in %s(%4ld)\n", file, line);
        std::snprintf(dest_str, dest_size, "STRCPY error at %s(%4ld)", file, line);
        return 0;
    }
    size_t length = std::strlen(src_str);
    if (length + 1 > dest_size) {
        LOG_ERROR("Cannot str_cpy %ld characters into %ld bytes in %s(%4ld)\n", (long)length,
                  (long)dest_size, file, line);
        return 0;
    }
    std::memmove(dest_str, src_str, length + 1);
    return 1;
}

int str_cat(char* dest_str, size_t dest_size, const char* src_str, const char* file, long line)
{
    if (!dest_str || dest_size == 0) {
        LOG_ERROR("Cannot str_cat with NULL dest_str in %s(%4ld)\n", file, line);
        return 0;
    }
    if (!src_str) {
        LOG_ERROR("Cannot str_cat with NULL src_str in %s(%4ld)\n", file, line);
        std::snprintf(dest_str, dest_size, "STRCAT error at %s(%4ld)", file, line);
        return 0;
    }
    size_t used = strnlen(dest_str, dest_size);
    size_t length = std::strlen(src_str);
    if (used == dest_size || used + length + 1 > dest_size) {
        LOG_ERROR("Cannot str_cat %ld characters onto %ld in %ld bytes in %s(%4ld)\n", (long)length,
                  (long)used, (long)dest_size, file, line);
        return 0;
    }
    std::memmove(dest_str + used, src_str, length + 1);
    return 1;
}

int remove_quotes(char* the_str)
{
    REFUSE_NULL(the_str, "remove_quotes", "the_str", 0);
    if (the_str[0] != '"') {
        LOG_ERROR("No leading double-quote in '%s'\n", the_str);
        return 0;
    }
    size_t length = std::strlen(the_str);
    std::memmove(the_str, the_str + 1, length);  // moves the terminator too
    length -= 1;
    if (length > 0 && the_str[length - 1] == '"') {
        the_str[length - 1] = '\0';
        return 1;
    }
    LOG_ERROR("No trailing double-quote in '%s'\n", the_str);
    return 0;
}

char* format_local_time(int64_t time, char* buffer, size_t size)
{
    std::time_t t = (std::time_t)time;
    struct tm local;
    // asctime's form, "Www Mmm dd hh:mm:ss yyyy", in the C locale.
    if (!localtime_r(&t, &local) ||
        std::strftime(buffer, size, "%a %b %e %H:%M:%S %Y", &local) == 0)
        buffer[0] = '\0';
    return buffer;
}

const char* time_to_str(int32_t time)
{
    static char buffer[32];
    return format_local_time(time, buffer, sizeof buffer);
}

namespace {

// The extent of a decimal number at `text` after blanks: sign, digits and,
// when `real`, one "." and, when `exponent`, an exponent ("e" or "E", an
// optional sign and at least one digit; an "e" without digits is left out,
// as the standard conversion leaves it). Returns the position after it, or
// NULL.
const char* decimal_extent(const char* text, bool real, bool exponent, const char** number_start)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    *number_start = text;
    const char* p = text;
    if (*p == '+' || *p == '-')
        ++p;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
        ++p;
        ++digits;
    }
    if (real && *p == '.') {
        ++p;
        while (*p >= '0' && *p <= '9') {
            ++p;
            ++digits;
        }
    }
    if (digits == 0)
        return nullptr;
    if (exponent && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (*q == '+' || *q == '-')
            ++q;
        if (*q >= '0' && *q <= '9') {
            while (*q >= '0' && *q <= '9')
                ++q;
            p = q;
        }
    }
    return p;
}

int scan_real(const char** cursor, double* value, bool exponent)
{
    if (!cursor || !*cursor || !value)
        return 0;
    const char* start;
    const char* end = decimal_extent(*cursor, true, exponent, &start);
    if (!end)
        return 0;
    // from_chars is locale-free and takes no "+"; within the extent it sees
    // only digits, one "." and the exponent. A value beyond the double
    // range (either way) is out of range, and so no number.
    if (*start == '+')
        ++start;
    double result = 0.0;
    auto [last, error] = std::from_chars(start, end, result);
    if (error != std::errc() || last != end)
        return 0;
    *value = result;
    *cursor = end;
    return 1;
}

}  // namespace

int scan_decimal_long(const char** cursor, int32_t* value)
{
    if (!cursor || !*cursor || !value)
        return 0;
    const char* start;
    const char* end = decimal_extent(*cursor, false, false, &start);
    if (!end)
        return 0;
    bool negative = *start == '-';
    if (*start == '+' || *start == '-')
        ++start;
    int64_t magnitude = 0;
    for (const char* p = start; p < end; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > (int64_t)INT32_MAX + 1)
            return 0;
    }
    int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX)
        return 0;
    *value = (int32_t)result;
    *cursor = end;
    return 1;
}

int scan_decimal_double(const char** cursor, double* value)
{
    return scan_real(cursor, value, false);
}

int scan_decimal_double_exponent(const char** cursor, double* value)
{
    return scan_real(cursor, value, true);
}

int scan_decimal_float(const char** cursor, float* value)
{
    if (!cursor || !value)
        return 0;
    const char* end = *cursor;
    double wide;
    // Narrowing a double beyond the float range is no float at all (and would
    // read as infinity, which no writer can write back as a number).
    if (!scan_decimal_double(&end, &wide) || std::fabs(wide) > (double)FLT_MAX)
        return 0;
    *value = (float)wide;
    *cursor = end;
    return 1;
}
