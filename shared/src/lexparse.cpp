#include "lexparse.h"

#include <cstring>

#include "debug.h"
#include "heap.h"
#include "str_util.h"
#include "text_io.h"
#include "token.h"

FILE* lex_token_file = nullptr;
int16_t lex_line_cnt = 0;
char lex_file_name[LEX_FILE_NAME_SIZE];
const lex_token_trans* lex_token_trans_tab = nullptr;

int32_t lex_ident_token = 257;
int32_t lex_number_token = 258;
int32_t lex_quoted_string_token = 259;
int32_t lex_integer_token = -1;
int32_t lex_real_token = -1;

int32_t lex_parse_ok = 1;

lex_define* lex_define_list = nullptr;
int32_t lex_define_suppress = 0;
int32_t lex_define_add_level = 0;

char lex_history_ring[LEX_HISTORY_SIZE][LEX_TOKEN_TEXT_SIZE];
int32_t lex_history_write_pos = 0;
int32_t lex_history_pos = 0;

namespace {

const lex_define lex_define_default = {nullptr, nullptr, nullptr, nullptr, -1, -1, 0, 0};

// A define with the negative flag delivers "-" on one call and its text,
// kept here, on the next.
int32_t lex_negative_pending = 0;
char lex_negative_str[LEX_TOKEN_TEXT_SIZE];

// Set after an error that no further call could get past (a comment open at
// the end of the file, a parse the grammar has stopped): every later call
// gives the end of the input. Repeating the error token instead would keep
// the parser's error recovery discarding it forever.
int32_t lex_input_ended = 0;

int32_t lex_end_input(void)
{
    lex_input_ended = 1;
    return LEX_ERROR_TOKEN;
}

// The class number of a token whose lower-cased text is `text`; 0 when the
// text fits no class.
int32_t lex_token_class(const char* text)
{
    char first = text[0];
    size_t length = std::strlen(text);
    if (first >= 'a' && first <= 'z')
        return lex_ident_token;
    if (first >= '0' && first <= '9') {
        if (lex_number_token >= 0)
            return lex_number_token;
        return std::strchr(text, '.') ? lex_real_token : lex_integer_token;
    }
    if (first == '\\')
        return lex_ident_token;
    if (length == 1)
        return (unsigned char)first;
    if (length >= 2 && first == '"' && text[length - 1] == '"')
        return lex_quoted_string_token;
    return 0;
}

}  // namespace

int lex_reset(void)
{
    lex_line_cnt = 0;
    lex_history_pos = 0;
    lex_history_write_pos = 0;
    // A "-" delivered at the end of the previous parse must not carry its
    // text over into this one.
    lex_negative_pending = 0;
    lex_input_ended = 0;
    return 1;
}

int32_t lex_token_history(int32_t k)
{
    return (k + lex_history_pos + 3 * LEX_HISTORY_SIZE) % LEX_HISTORY_SIZE;
}

int lex_set_number_tokens(int32_t integer_token, int32_t real_token)
{
    lex_integer_token = integer_token;
    lex_real_token = real_token;
    lex_number_token = -1;
    return 1;
}

int32_t lex_yymlex_hook(void* lexer)
{
    (void)lexer;
    return lex_yymlex();
}

int32_t lex_yymlex(void)
{
    REFUSE_NULL(lex_token_trans_tab, "lex_yymlex", "lex_token_trans_tab", LEX_ERROR_TOKEN);
    if (lex_input_ended)
        return 0;
    if (!lex_parse_ok) {
        LOG_ERROR("lex_error near %s(%d)\n", lex_file_name, (int)lex_line_cnt);
        return lex_end_input();
    }

    char text[LEX_TOKEN_TEXT_SIZE];
    if (lex_negative_pending) {
        lex_negative_pending = 0;
        std::memcpy(text, lex_negative_str, sizeof text);
    } else {
        const char* token = get_next_token(lex_token_file, &lex_line_cnt);
        if (!token) {
            if (!std_file_eof(lex_token_file)) {
                LOG_ERROR("Error while reading next text line near %s(%d)\n", lex_file_name,
                          (int)lex_line_cnt);
                return LEX_ERROR_TOKEN;
            }
            if (token_comment_depth > 0) {
                LOG_ERROR("Nesting comment never terminated.  Last nested comment start was "
                          "at %s(%d)\n",
                          lex_file_name, (int)token_comment_line);
                return lex_end_input();
            }
            return 0;
        }
        std::snprintf(text, sizeof text, "%s", token);
        if (lex_define_list) {
            char key[LEX_TOKEN_TEXT_SIZE];
            std::memcpy(key, text, sizeof key);
            to_lower_case(key);
            const lex_define* define = (const lex_define*)dlink_find((dlink*)lex_define_list, key);
            if (define && define->lex_define_negative) {
                std::snprintf(lex_negative_str, sizeof lex_negative_str, "%s",
                              define->lex_define_str);
                lex_negative_pending = 1;
                std::snprintf(text, sizeof text, "%s", "-");
            } else if (define) {
                std::snprintf(text, sizeof text, "%s", define->lex_define_str);
            }
        }
    }

    std::memcpy(lex_history_ring[lex_history_write_pos], text, sizeof text);
    lex_history_write_pos = (lex_history_write_pos + 1) % LEX_HISTORY_SIZE;

    char lower[LEX_TOKEN_TEXT_SIZE];
    std::memcpy(lower, text, sizeof lower);
    to_lower_case(lower);
    for (const lex_token_trans* entry = lex_token_trans_tab;; ++entry) {
        if (std::strcmp(lower, entry->lex_token_str) == 0)
            return entry->lex_token_id;
        if (entry[1].lex_token_id == 0)
            break;
    }
    int32_t token_class = lex_token_class(lower);
    if (token_class == 0) {
        LOG_ERROR("Bad token '%s' at %s(%d)\n", text, lex_file_name, (int)lex_line_cnt);
        return LEX_ERROR_TOKEN;
    }
    return token_class;
}

lex_define* malloc_lex_define(const char* lex_define_name, const char* lex_define_str)
{
    REFUSE_NULL(lex_define_name, "malloc_lex_define", "lex_define_name", nullptr);
    REFUSE_NULL(lex_define_str, "malloc_lex_define", "lex_define_str", nullptr);
    lex_define* define = (lex_define*)MALLOC(sizeof(lex_define));
    if (!define) {
        LOG_ERROR("Could not malloc lex_define at %s(%d)\n", lex_file_name, (int)lex_line_cnt);
        return nullptr;
    }
    *define = lex_define_default;
    dlink_init((dlink*)define);
    define->lex_define_line = lex_line_cnt;
    define->lex_define_line2 = lex_line_cnt;
    define->lex_define_level = lex_define_add_level;
    define->lex_define_name = STRDUP(lex_define_name);
    if (!define->lex_define_name) {
        LOG_ERROR("Unable to STRDUP lex_define_name '%s' at %s(%d)\n", lex_define_name,
                  lex_file_name, (int)lex_line_cnt);
        free_lex_define(define);
        return nullptr;
    }
    to_lower_case(define->lex_define_name);
    define->lex_define_str = STRDUP(lex_define_str);
    if (!define->lex_define_str) {
        LOG_ERROR("Unable to STRDUP lex_define_str '%s' at %s(%d)\n", lex_define_str, lex_file_name,
                  (int)lex_line_cnt);
        free_lex_define(define);
        return nullptr;
    }
    return define;
}

int lex_define_add(const char* lex_define_name, int32_t negative, const char* lex_define_str)
{
    REFUSE_NULL(lex_define_name, "lex_define_add", "lex_define_name", 0);
    REFUSE_NULL(lex_define_str, "lex_define_add", "lex_define_str", 0);
    if (lex_define_suppress)
        return 1;
    lex_define* define = malloc_lex_define(lex_define_name, lex_define_str);
    if (!define) {
        LOG_ERROR("Could not malloc_lex_define for '%s' at %s(%d)\n", lex_define_name,
                  lex_file_name, (int)lex_line_cnt);
        return 0;
    }
    define->lex_define_negative = negative;
    return dlink_add((dlink**)&lex_define_list, (dlink*)define);
}

int free_lex_define(lex_define* define)
{
    REFUSE_NULL(define, "free_lex_define", "lex_define", 0);
    if (define->lex_define_name)
        FREE(define->lex_define_name);
    if (define->lex_define_str)
        FREE(define->lex_define_str);
    *define = lex_define_default;
    FREE(define);
    return 1;
}

int free_lex_define_funct(void* node)
{
    return free_lex_define((lex_define*)node);
}

int free_lex_define_list(void)
{
    REFUSE_NULL(lex_define_list, "free_lex_define_list", "lex_define_list", 0);
    int result = dlink_free_list((dlink*)lex_define_list, free_lex_define_funct);
    lex_define_list = nullptr;
    return result;
}

void lexparse_reset(void)
{
    if (lex_define_list)
        free_lex_define_list();
    lex_reset();
    lex_token_file = nullptr;
    lex_file_name[0] = '\0';
    lex_token_trans_tab = nullptr;
    lex_ident_token = 257;
    lex_number_token = 258;
    lex_quoted_string_token = 259;
    lex_integer_token = -1;
    lex_real_token = -1;
    lex_parse_ok = 1;
    lex_define_suppress = 0;
    lex_define_add_level = 0;
}
