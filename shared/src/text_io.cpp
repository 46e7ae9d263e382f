#include "text_io.h"

#include <cctype>
#include <cstring>
#include <type_traits>

#include "debug.h"
#include "str_util.h"

char* std_file_gets(FILE* file, char* buffer, int length)
{
    return std::fgets(buffer, length, file);
}

int std_file_eof(FILE* file)
{
    if (!file) {
        LOG_ERROR("%s\n", "Cannot get std_file_eof a NULL file");
        return 0;
    }
    return std::feof(file);
}

namespace {

enum physical_line { LINE_READ, LINE_END_OF_FILE, LINE_TOO_LONG, LINE_HOLDS_NUL };

// Reads one physical line up to its "\n" (which is consumed, not stored) into
// `buffer`, at most `length` - 1 characters and a terminator. A line that does
// not fit, or that holds a NUL byte (which would cut the text where it stands),
// is consumed whole and refused. A "\r" that ends a line does not count
// against its length.
physical_line read_physical_line(FILE* file, char* buffer, int length, size_t* count)
{
    size_t n = 0, beyond = 0;
    bool holds_nul = false;
    int c, last = EOF;
    while ((c = std::getc(file)) != EOF && c != '\n') {
        holds_nul = holds_nul || c == '\0';
        if (n + 1 < (size_t)length)
            buffer[n++] = (char)c;
        else
            ++beyond, last = c;
    }
    buffer[n] = '\0';
    *count = n;
    if (c == EOF && n == 0 && beyond == 0 && !holds_nul)
        return LINE_END_OF_FILE;
    if (beyond > 1 || (beyond == 1 && last != '\r'))
        return LINE_TOO_LONG;
    return holds_nul ? LINE_HOLDS_NUL : LINE_READ;
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

int get_text_line(FILE* text_file, int16_t* line_cnt, char* the_line, size_t line_size)
{
    if (!text_file) {
        LOG_ERROR("%s\n", "text_file is NULL");
        return 0;
    }
    if (!line_cnt) {
        LOG_ERROR("%s\n", "line_cnt is NULL");
        return 0;
    }
    if (!the_line) {
        LOG_ERROR("%s\n", "the_line is NULL");
        return 0;
    }
    if (line_size < 2) {
        LOG_ERROR("Cannot get_text_line into %ld bytes\n", (long)line_size);
        return 0;
    }
    int length = line_size < TEXT_LINE_SIZE ? (int)line_size : TEXT_LINE_SIZE;
    for (;;) {
        size_t n = 0;
        physical_line read = read_physical_line(text_file, the_line, length, &n);
        if (read == LINE_END_OF_FILE) {
            if (std::ferror(text_file))
                LOG_ERROR("Unable able to get string at line %d\n", (int)*line_cnt);
            return 0;
        }
        *line_cnt = (int16_t)(*line_cnt + 1);
        if (read == LINE_TOO_LONG) {
            LOG_ERROR("Line %d is longer than %d characters\n", (int)*line_cnt, length - 1);
            return 0;
        }
        if (read == LINE_HOLDS_NUL) {
            LOG_ERROR("Line %d holds a NUL character\n", (int)*line_cnt);
            return 0;
        }
        if (n > 0 && the_line[n - 1] == '\r')
            the_line[--n] = '\0';
        if (char* comment = std::strstr(the_line, "//")) {
            *comment = '\0';
            n = (size_t)(comment - the_line);
        }
        while (n > 0 && is_blank(the_line[n - 1]))
            the_line[--n] = '\0';
        size_t lead = 0;
        while (is_blank(the_line[lead]))
            ++lead;
        if (lead > 0)
            std::memmove(the_line, the_line + lead, n - lead + 1);
        if (the_line[0])
            return 1;
    }
}

namespace {

// The messages of one number reader; each is logged followed by
// " at line %d\n" with the line count.
struct number_reader_messages {
    const char* read;           // the line could not be read
    const char* no_conversion;  // nothing but blanks to scan
    const char* too_few;        // fewer values than wanted
};

int scan_value(const char** cursor, int16_t* value)
{
    int32_t wide;
    if (!scan_decimal_long(cursor, &wide) || wide < INT16_MIN || wide > INT16_MAX)
        return 0;
    *value = (int16_t)wide;
    return 1;
}

int scan_value(const char** cursor, int32_t* value)
{
    return scan_decimal_long(cursor, value);
}

int scan_value(const char** cursor, double* value)
{
    return scan_decimal_double(cursor, value);
}

int scan_value(const char** cursor, float* value)
{
    return scan_decimal_float(cursor, value);
}

// Reads one line and scans it into `values`, as every number reader does:
// the characters are checked first, so exponents, commas and trailing text
// are refused before anything is scanned.
template <typename T, size_t N>
int read_numbers(FILE* text_file, int16_t* line_cnt, const number_reader_messages& messages,
                 T* const (&values)[N])
{
    constexpr bool real = std::is_floating_point_v<T>;
    char the_line[TEXT_LINE_SIZE];
    if (!get_text_line(text_file, line_cnt, the_line, sizeof the_line)) {
        LOG_ERROR("%s at line %d\n", messages.read, line_cnt ? (int)*line_cnt : 0);
        return 0;
    }
    for (int i = 0; the_line[i]; ++i) {
        char c = the_line[i];
        if ((c >= '0' && c <= '9') || c == '+' || c == '-' || is_blank(c) || (real && c == '.'))
            continue;
        if (real)
            LOG_ERROR("Invalid character %d in '%s' at line %d\n", i, the_line, (int)*line_cnt);
        else
            LOG_ERROR("Invalid character in line %d\n", (int)*line_cnt);
        return 0;
    }
    const char* cursor = the_line;
    for (size_t i = 0; i < N; ++i) {
        if (!scan_value(&cursor, values[i])) {
            LOG_ERROR("%s at line %d\n",
                      i == 0 && the_line[0] == '\0' ? messages.no_conversion : messages.too_few,
                      (int)*line_cnt);
            return 0;
        }
    }
    return 1;
}

}  // namespace

#define NUMBER_READER_1(name, type, read, none, few)                      \
    int name(FILE* text_file, int16_t* line_cnt, type* a)                 \
    {                                                                     \
        static const number_reader_messages messages = {read, none, few}; \
        return read_numbers<type, 1>(text_file, line_cnt, messages, {a}); \
    }
#define NUMBER_READER_2(name, type, read, none, few)                         \
    int name(FILE* text_file, int16_t* line_cnt, type* a, type* b)           \
    {                                                                        \
        static const number_reader_messages messages = {read, none, few};    \
        return read_numbers<type, 2>(text_file, line_cnt, messages, {a, b}); \
    }
#define NUMBER_READER_3(name, type, read, none, few)                            \
    int name(FILE* text_file, int16_t* line_cnt, type* a, type* b, type* c)     \
    {                                                                           \
        static const number_reader_messages messages = {read, none, few};       \
        return read_numbers<type, 3>(text_file, line_cnt, messages, {a, b, c}); \
    }
#define NUMBER_READER_4(name, type, read, none, few)                                 \
    int name(FILE* text_file, int16_t* line_cnt, type* a, type* b, type* c, type* d) \
    {                                                                                \
        static const number_reader_messages messages = {read, none, few};            \
        return read_numbers<type, 4>(text_file, line_cnt, messages, {a, b, c, d});   \
    }

// clang-format off
NUMBER_READER_1(read_short_text, int16_t, "Unable to read an int",
    "Unable to scan the_short", "Unable to scan the_short")
NUMBER_READER_2(read_2_shorts_text, int16_t, "Unable to read a two shorts",
    "Unable to scan both shorts", "Unable to scan both shorts")
NUMBER_READER_3(read_3_shorts_text, int16_t, "Unable to read a three shorts",
    "Unable to scan 3 shorts", "Unable to scan 3 shorts")
NUMBER_READER_4(read_4_shorts_text, int16_t, "Unable to read four shorts",
    "Unable to scan 4 shorts", "Unable to scan 4 shorts")
NUMBER_READER_1(read_int_text, int32_t, "Unable to read an int",
    "Unable to scan the_int", "Unable to scan the_int")
NUMBER_READER_2(read_2_ints_text, int32_t, "Unable to read a two ints",
    "Unable to scan both ints", "Unable to scan both ints")
NUMBER_READER_3(read_3_ints_text, int32_t, "Unable to read a three ints",
    "Unable to scan 3 ints", "Unable to scan 3 ints")
NUMBER_READER_4(read_4_ints_text, int32_t, "Unable to read four ints",
    "Unable to scan 4 ints", "Unable to scan 4 ints")
NUMBER_READER_1(read_long_text, int32_t, "Unable to read an int",
    "Unable to scan the_long", "Unable to scan the_long")
NUMBER_READER_2(read_2_longs_text, int32_t, "Unable to read a two longs",
    "Unable to scan both longs", "Unable to scan both longs")
NUMBER_READER_3(read_3_longs_text, int32_t, "Unable to read a three longs",
    "Unable to scan 3 longs", "Unable to scan 3 longs")
NUMBER_READER_4(read_4_longs_text, int32_t, "Unable to read four longs",
    "Unable to scan 4 longs", "Unable to scan 4 longs")
NUMBER_READER_1(read_double_text, double, "Unable to read a three doubles",
    "Unable to scan the double", "Unable to scan the double")
NUMBER_READER_2(read_2_doubles_text, double, "Unable to read a three doubles",
    "Unable to scan all three numbers", "Unable to scan both numbers")
NUMBER_READER_3(read_3_doubles_text, double, "Unable to read a three doubles",
    "Unable to scan all three numbers", "Unable to scan all three numbers")
NUMBER_READER_4(read_4_doubles_text, double, "Unable to read four doubles",
    "Unable to scan all four numbers", "Unable to scan all four numbers")
NUMBER_READER_1(read_float_text, float, "Unable to read a three floats",
    "Unable to scan the float", "Unable to scan the float")
NUMBER_READER_2(read_2_floats_text, float, "Unable to read a three floats",
    "Unable to scan all three numbers", "Unable to scan both numbers")
NUMBER_READER_3(read_3_floats_text, float, "Unable to read a three floats",
    "Unable to scan all three numbers", "Unable to scan all three numbers")
NUMBER_READER_4(read_4_floats_text, float, "Unable to read a three floats",
    "Unable to scan all four numbers", "Unable to scan all four numbers")
// clang-format on

int read_key_text(FILE* text_file, int16_t* line_cnt, const char* const* key_table,
                  int16_t key_count, int16_t* key_index, char* the_line, size_t line_size)
{
    if (!key_table || !key_index || !line_cnt) {
        LOG_ERROR("%s\n", "Cannot read_key_text with NULL arguments.");
        return 0;
    }
    if (!get_text_line(text_file, line_cnt, the_line, line_size)) {
        if (!text_file || !the_line || !std_file_eof(text_file))
            LOG_ERROR("Unable to read a key at line #%d\n", (int)*line_cnt);
        return 0;
    }
    size_t keyword_length = std::strcspn(the_line, " \t");
    char keyword[TEXT_LINE_SIZE];
    if (keyword_length >= sizeof keyword)
        keyword_length = sizeof keyword - 1;
    std::memcpy(keyword, the_line, keyword_length);
    keyword[keyword_length] = '\0';
    to_upper_case(keyword);

    std::memset(the_line, ' ', keyword_length);
    size_t lead = std::strspn(the_line, " \t");
    std::memmove(the_line, the_line + lead, std::strlen(the_line + lead) + 1);

    for (int16_t i = 0; i < key_count; ++i) {
        if (key_table[i] && std::strcmp(keyword, key_table[i]) == 0) {
            *key_index = i;
            return 1;
        }
    }
    LOG_ERROR("No key found at line #%d\n", (int)*line_cnt);
    return 0;
}
