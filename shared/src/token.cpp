#include "token.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "debug.h"
#include "str_util.h"
#include "text_io.h"

int16_t token_comment_depth = 0;
int16_t token_comment_line = 0;
int32_t token_end_flag = 0;

// Longer entries stand before their prefixes ("/*" before "/", ".." before
// "."). A lone "%", "?", "{", "&" or backslash is no delimiter and so stays
// part of a word.
const char* const token_default_delim_tab[] = {
    " ", "/*", "*/", "..", "\\\"", "\\\\", ":", ";",  ".", ",",  "'",     "~",
    "`", "!",  "@",  "#",  "$",    "%%",   "^", "\"", "|", "?{", "}",     "[",
    "]", "(",  ")",  "<",  ">",    "=",    "+", "*",  "/", "-",  nullptr,
};

const char* const* token_delim_tab = token_default_delim_tab;

namespace {

char token_slot[TOKEN_SLOT_COUNT][TOKEN_SLOT_SIZE];
int16_t token_count = 0;  // tokens on the current line
int16_t token_index = 0;  // the next token to deliver
char token_line[TEXT_LINE_SIZE];
// The stream the state above was read from; NULL after a reset.
FILE* token_state_file = nullptr;

void token_clear_state(void)
{
    token_comment_depth = 0;
    token_comment_line = 0;
    token_count = 0;
    token_index = 0;
    token_end_flag = 0;
}

// What is left of another stream's tokens must never reach this one.
void token_use_file(FILE* token_file)
{
    if (token_file != token_state_file) {
        token_clear_state();
        token_state_file = token_file;
    }
}

// Counts the token in the slot being filled and opens the next slot; 0 when
// the line already holds as many tokens as there are slots.
int token_close(const int16_t* line_cnt)
{
    token_count = (int16_t)(token_count + 1);
    if (token_count >= TOKEN_SLOT_COUNT) {
        LOG_ERROR("Too many tokens at line %d\n", (int)*line_cnt);
        return 0;
    }
    token_slot[token_count][0] = '\0';
    return 1;
}

// Puts `length` characters of `text` into the slot being filled and closes it.
int token_close_text(const char* text, size_t length, const int16_t* line_cnt)
{
    char* slot = token_slot[token_count];
    std::memcpy(slot, text, length);
    slot[length] = '\0';
    return token_close(line_cnt);
}

// The closing quote of the string that opens at `open`: the first double
// quote after it that does not follow a backslash. NULL when there is none.
const char* token_closing_quote(const char* open)
{
    const char* quote = open + 1;
    while ((quote = std::strchr(quote, '"')) != nullptr) {
        if (quote[-1] != '\\')
            return quote;
        ++quote;
    }
    return nullptr;
}

int token_rest_is_blank(const char* cursor)
{
    while (std::isspace((unsigned char)*cursor))
        ++cursor;
    return *cursor == '\0';
}

int token_illegal_number(const char* numeric_str)
{
    LOG_ERROR("Illegal numeric string value '%s'\n", numeric_str);
    return 0;
}

// The next token after an optional "-" token; NULL when either is missing.
char* token_get_signed(FILE* token_file, int16_t* line_cnt, int* negate)
{
    char* token = get_next_token(token_file, line_cnt);
    *negate = 0;
    if (token && std::strcmp(token, "-") == 0) {
        *negate = 1;
        token = get_next_token(token_file, line_cnt);
    }
    return token;
}

}  // namespace

int token_reset(void)
{
    token_clear_state();
    token_state_file = nullptr;
    return 1;
}

void token_file_closed(FILE* file)
{
    if (file && file == token_state_file)
        token_reset();
}

const char* token_delim_lookup(const char* text)
{
    if (!text || !token_delim_tab)
        return nullptr;
    for (const char* const* entry = token_delim_tab; *entry; ++entry) {
        size_t length = std::strlen(*entry);
        if (length > 0 && std::strncmp(text, *entry, length) == 0)
            return *entry;
    }
    return nullptr;
}

int read_next_token_line(FILE* token_file, int16_t* line_cnt)
{
    REFUSE_NULL(token_file, "read_next_token_line", "token_file", 0);
    REFUSE_NULL(line_cnt, "read_next_token_line", "line_cnt", 0);
    token_use_file(token_file);
    if (!get_text_line(token_file, line_cnt, token_line, sizeof token_line)) {
        if (!std_file_eof(token_file))
            LOG_ERROR("Unable to read_next_token_line at line %d\n", (int)*line_cnt);
        return 0;
    }
    token_count = 0;
    token_index = 0;
    token_slot[0][0] = '\0';

    char* cursor = token_line;
    while (*cursor) {
        if (*cursor == '\t')
            *cursor = ' ';
        char* slot = token_slot[token_count];
        size_t used = std::strlen(slot);
        if (used == 0 && *cursor >= '0' && *cursor <= '9') {
            // A number is exactly what the scanner takes, exponent included,
            // less a final "." (so 1..5 is 1, ".." and 5, 2. is 2 and ".",
            // and 1e+5 is one token).
            const char* end = cursor;
            double ignored;
            if (scan_decimal_double_exponent(&end, &ignored)) {
                size_t length = (size_t)(end - cursor);
                if (cursor[length - 1] == '.')
                    --length;
                if (!token_close_text(cursor, length, line_cnt))
                    return 0;
                cursor += length;
                continue;
            }
        }
        const char* delim = token_delim_lookup(cursor);
        if (!delim) {
            slot[used] = *cursor++;
            slot[used + 1] = '\0';
            continue;
        }
        if (used > 0 && !token_close(line_cnt))
            return 0;
        if (std::strcmp(delim, "\"") == 0) {
            // The quoted string is kept as written, quotes and escapes included.
            const char* quote = token_closing_quote(cursor);
            if (!quote) {
                LOG_ERROR("Missing closing double-quote at line %d\n", (int)*line_cnt);
                return 0;
            }
            size_t length = (size_t)(quote - cursor) + 1;
            if (!token_close_text(cursor, length, line_cnt))
                return 0;
            cursor += length;
        } else if (std::strcmp(delim, " ") == 0) {
            ++cursor;
        } else {
            size_t length = std::strlen(delim);
            if (!token_close_text(delim, length, line_cnt))
                return 0;
            cursor += length;
        }
    }
    // A word that ends the line may be the last slot's token.
    if (token_slot[token_count][0])
        token_count = (int16_t)(token_count + 1);
    return 1;
}

int token_avail(FILE* token_file, int16_t* line_cnt)
{
    REFUSE_NULL(token_file, "get token_avail", "token_file", 0);
    REFUSE_NULL(line_cnt, "get token_avail", "line_cnt", 0);
    token_use_file(token_file);
    while (token_index >= token_count) {
        if (!read_next_token_line(token_file, line_cnt))
            return 0;
    }
    return 1;
}

char* get_next_token(FILE* token_file, int16_t* line_cnt)
{
    REFUSE_NULL(token_file, "get get_next_token", "token_file", nullptr);
    REFUSE_NULL(line_cnt, "get get_next_token", "line_cnt", nullptr);
    for (;;) {
        if (!token_avail(token_file, line_cnt)) {
            token_end_flag = 1;
            return nullptr;
        }
        char* token = token_slot[token_index];
        token_index = (int16_t)(token_index + 1);
        // Comments nest, and are skipped also when an earlier call ended
        // inside one.
        if (std::strcmp(token, "/*") == 0) {
            token_comment_depth = (int16_t)(token_comment_depth + 1);
            token_comment_line = *line_cnt;
            continue;
        }
        if (token_comment_depth > 0) {
            if (std::strcmp(token, "*/") == 0)
                token_comment_depth = (int16_t)(token_comment_depth - 1);
            continue;
        }
        return token;
    }
}

int unget_token(void)
{
    if (token_index <= 0) {
        LOG_ERROR("%s\n", "Cannot unget_token before the first token of the line.");
        return 0;
    }
    token_index = (int16_t)(token_index - 1);
    return 1;
}

int skip_tokens(FILE* token_file, int16_t* line_cnt, int32_t n)
{
    REFUSE_NULL(token_file, "skip_tokens", "token_file", 0);
    REFUSE_NULL(line_cnt, "skip_tokens", "line_cnt", 0);
    token_use_file(token_file);
    for (int32_t i = 0; i < n; ++i)
        get_next_token(token_file, line_cnt);
    return token_end_flag ? 0 : 1;
}

int get_next_token_val(FILE* token_file, int16_t* line_cnt, double* the_val)
{
    REFUSE_NULL(token_file, "get get_next_token_val", "token_file", 0);
    REFUSE_NULL(line_cnt, "get get_next_token_val", "line_cnt", 0);
    REFUSE_NULL(the_val, "get get_next_token_val", "the_val", 0);
    int negate;
    char* token = token_get_signed(token_file, line_cnt, &negate);
    if (!token) {
        LOG_ERROR("Could not get_next_token_val at line %d\n", (int)*line_cnt);
        return 0;
    }
    const char* cursor = token;
    double value = 0.0;
    if (!scan_decimal_double_exponent(&cursor, &value)) {
        *the_val = 0.0;
        LOG_ERROR("Could not convert '%s' to value at line %d\n", token, (int)*line_cnt);
        return 0;
    }
    *the_val = negate ? -value : value;
    return 1;
}

char* get_token_or_token_val(FILE* token_file, int16_t* line_cnt, double* the_val, int32_t* is_val)
{
    REFUSE_NULL(token_file, "get get_token_or_token_val", "token_file", nullptr);
    REFUSE_NULL(line_cnt, "get get_token_or_token_val", "line_cnt", nullptr);
    REFUSE_NULL(the_val, "get get_token_or_token_val", "the_val", nullptr);
    REFUSE_NULL(is_val, "get get_token_or_token_val", "is_val", nullptr);
    int negate;
    char* token = token_get_signed(token_file, line_cnt, &negate);
    if (!token) {
        LOG_ERROR("Could not get_token_or_token_val at line %d\n", (int)*line_cnt);
        return nullptr;
    }
    const char* cursor = token;
    double value = 0.0;
    if (!scan_decimal_double_exponent(&cursor, &value)) {
        if (negate) {
            LOG_ERROR("Negative token was missed at line %d\n", (int)*line_cnt);
            return nullptr;
        }
        *is_val = 0;
        return token;
    }
    *the_val = negate ? -value : value;
    *is_val = 1;
    return token;
}

int token_to_double(int32_t negate, const char* numeric_str, double* result_double)
{
    REFUSE_NULL(numeric_str, "token_to_double", "numeric_str", 0);
    REFUSE_NULL(result_double, "token_to_double", "result_double", 0);
    const char* cursor = numeric_str;
    double value;
    if (!scan_decimal_double_exponent(&cursor, &value) || !token_rest_is_blank(cursor))
        return token_illegal_number(numeric_str);
    *result_double = negate ? -value : value;
    return 1;
}

int token_to_float(int32_t negate, const char* numeric_str, float* result_float)
{
    REFUSE_NULL(numeric_str, "token_to_float", "numeric_str", 0);
    REFUSE_NULL(result_float, "token_to_float", "result_float", 0);
    double value;
    if (!token_to_double(negate, numeric_str, &value))
        return 0;
    if (std::fabs(value) > (double)FLT_MAX)  // no float: it would become infinity
        return token_illegal_number(numeric_str);
    *result_float = (float)value;
    return 1;
}

int token_to_long(int32_t negate, const char* numeric_str, int32_t* result_long)
{
    REFUSE_NULL(numeric_str, "token_to_long", "numeric_str", 0);
    REFUSE_NULL(result_long, "token_to_long", "result_long", 0);
    const char* cursor = numeric_str;
    int32_t value;
    if (!scan_decimal_long(&cursor, &value) || !token_rest_is_blank(cursor))
        return token_illegal_number(numeric_str);
    if (negate && value == INT32_MIN)  // its negation is no int32
        return token_illegal_number(numeric_str);
    *result_long = negate ? -value : value;
    return 1;
}

int token_to_unsigned_long(const char* numeric_str, uint32_t* result_unsigned_long)
{
    REFUSE_NULL(numeric_str, "token_to_unsigned_long", "numeric_str", 0);
    REFUSE_NULL(result_unsigned_long, "token_to_unsigned_long", "result_unsigned_long", 0);
    // The integer scanner stops at the int32 range, so whole numbers up to
    // the uint32 range are taken through the real scanner; a negative number
    // is refused rather than wrapped around.
    const char* cursor = numeric_str;
    double value;
    if (std::strchr(numeric_str, '.') || !scan_decimal_double(&cursor, &value) ||
        !token_rest_is_blank(cursor) || value < 0.0 || value > (double)UINT32_MAX)
        return token_illegal_number(numeric_str);
    *result_unsigned_long = (uint32_t)value;
    return 1;
}

void token_reset_module(void)
{
    token_reset();
    token_delim_tab = token_default_delim_tab;
}
