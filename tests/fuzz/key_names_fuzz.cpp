// The key names of the input devices: the input is a key token as the
// configuration file holds it (and, read as a number, a scan code). A name the
// table knows gives a code whose token is that name again, and a code the
// table knows has a display name and a token that names a code of the same
// token (number-pad keys share their names with the main keys).
#include <cstring>
#include <string>

#include "dxinput.h"
#include "fuzz_support.h"
#include "text_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A token is one line's text: at most a line's length, no NUL.
    std::string token((const char*)data, size < TEXT_LINE_SIZE ? size : TEXT_LINE_SIZE - 1);
    token = token.substr(0, token.find('\0'));
    int32_t code = dxinput_get_code_from_token(token.c_str());
    if (code >= 0) {
        const char* name = dxinput_get_token_string(code);
        FUZZ_CHECK(name && dxinput_get_code_from_token(name) == code);
        FUZZ_CHECK(dxinput_get_display_string(code) != nullptr);
    }
    int32_t raw = 0;
    std::memcpy(&raw, data, size < sizeof raw ? size : sizeof raw);
    if (const char* name = dxinput_get_token_string(raw)) {
        FUZZ_CHECK(dxinput_get_display_string(raw) != nullptr);
        const char* again = dxinput_get_token_string(dxinput_get_code_from_token(name));
        FUZZ_CHECK(again && std::strcmp(again, name) == 0);
    }
    return 0;
}

void fuzz_write_seeds(void)
{
    for (int i = 0; i < DXINPUT_BINDING_COUNT; ++i)
        fuzz_seed("binding_" + std::to_string(i),
                  dxinput_get_token_string(dxinput_default_key_bindings[i]));
    fuzz_seed("two_words", dxinput_key_table[DXINPUT_KEY_COUNT - 1].token_str);
}
