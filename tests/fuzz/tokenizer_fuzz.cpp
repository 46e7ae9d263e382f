// The line tokenizer: the input is a text file taken token by token, as
// tokens, as values and with steps back, each token also through the strict
// conversions. Every token is a non-empty text that fits its slot, every value
// is finite, and the end comes after no more calls than the input has bytes.
#include <cmath>
#include <cstring>

#include "file_io.h"
#include "fuzz_support.h"
#include "token.h"

namespace {

void check_token(const char* token)
{
    size_t length = std::strlen(token);
    FUZZ_CHECK(length > 0 && length < TOKEN_SLOT_SIZE);
    double real;
    float single;
    int32_t whole;
    uint32_t positive;
    if (token_to_double(0, token, &real))
        FUZZ_CHECK(std::isfinite(real));
    if (token_to_float(1, token, &single))
        FUZZ_CHECK(std::isfinite(single));
    token_to_long(1, token, &whole);
    token_to_unsigned_long(token, &positive);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    token_reset();
    token_delim_tab = token_default_delim_tab;
    FILE* file = fuzz_stream(data, size);
    int16_t line_cnt = 0;
    size_t calls = 0;
    for (;; ++calls) {
        FUZZ_CHECK(calls <= size);
        double value = 0.0;
        int32_t is_value = 0;
        char* token = nullptr;
        switch (calls % 4) {
        case 0:
            token = get_next_token(file, &line_cnt);
            break;
        case 1:
            if (get_next_token_val(file, &line_cnt, &value))
                FUZZ_CHECK(std::isfinite(value));
            token = token_end_flag ? nullptr : (char*)"";
            break;
        case 2:
            token = get_token_or_token_val(file, &line_cnt, &value, &is_value);
            if (token && is_value)
                FUZZ_CHECK(std::isfinite(value));
            break;
        case 3:
            token = get_next_token(file, &line_cnt);
            if (token && unget_token()) {
                char* again = get_next_token(file, &line_cnt);
                FUZZ_CHECK(again == token);
            }
            break;
        }
        if (token && token[0])
            check_token(token);
        // A refused line ends no input; only the end of the file does.
        if (!token && std::feof(file))
            break;
    }
    FUZZ_CHECK(token_comment_depth >= 0);
    std::fclose(file);
    token_reset();
    return 0;
}

void fuzz_write_seeds(void)
{
    FILE* file = file_open_write_version_text(fuzz_seed_path("tokens").c_str(), 54, 100);
    std::fprintf(file, "intro \"a \\\"quoted\\\" text\" -2.5 1..5 50%%x %%%% { [a, b] }\n"
                       "/* a comment /* nested */\n spanning */ 12x 0.5 .5 -7;\n"
                       "4294967295 2147483648 -2147483648 x=y+z*(w/v)\n");
    file_close(file);
    fuzz_seed("open_comment", "a /* b\n/* c */\nd\n");
    fuzz_seed("missing_quote", "a \"open\nnext line\n");
}
