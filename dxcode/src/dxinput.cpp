#include "dxinput.h"

#include <cstring>

#include "debug.h"
#include "text_io.h"

// In every row the token is the display string. Keypad keys that repeat a
// main-keyboard name come after it, so a token always finds the main key.
const dxinput_key dxinput_key_table[DXINPUT_KEY_COUNT] = {
    {0x02, "1", "1"}, {0x03, "2", "2"}, {0x04, "3", "3"}, {0x05, "4", "4"},
    {0x06, "5", "5"}, {0x07, "6", "6"}, {0x08, "7", "7"}, {0x09, "8", "8"},
    {0x0A, "9", "9"}, {0x0B, "0", "0"}, {0x0C, "-", "-"}, {0x0D, "=", "="},
    {0x0E, "BACKSPACE", "BACKSPACE"}, {0x0F, "TAB", "TAB"},
    {0x10, "Q", "Q"}, {0x11, "W", "W"}, {0x12, "E", "E"}, {0x13, "R", "R"},
    {0x14, "T", "T"}, {0x15, "Y", "Y"}, {0x16, "U", "U"}, {0x17, "I", "I"},
    {0x18, "O", "O"}, {0x19, "P", "P"}, {0x1A, "[", "["}, {0x1B, "]", "]"},
    {0x1C, "ENTER", "ENTER"}, {0x1D, "LEFT CONTROL", "LEFT CONTROL"},
    {0x1E, "A", "A"}, {0x1F, "S", "S"}, {0x20, "D", "D"}, {0x21, "F", "F"},
    {0x22, "G", "G"}, {0x23, "H", "H"}, {0x24, "J", "J"}, {0x25, "K", "K"},
    {0x26, "L", "L"}, {0x27, ";", ";"}, {0x28, "'", "'"}, {0x29, "`", "`"},
    {0x2A, "LEFT SHIFT", "LEFT SHIFT"}, {0x2B, "BACKSLASH", "BACKSLASH"},
    {0x2C, "Z", "Z"}, {0x2D, "X", "X"}, {0x2E, "C", "C"}, {0x2F, "V", "V"},
    {0x30, "B", "B"}, {0x31, "N", "N"}, {0x32, "M", "M"}, {0x33, ",", ","},
    {0x34, ".", "."}, {0x35, "/", "/"}, {0x36, "RIGHT SHIFT", "RIGHT SHIFT"},
    {0x37, "*", "*"}, {0x38, "LEFT ALT", "LEFT ALT"}, {0x39, "SPACE", "SPACE"},
    {0x3A, "CAPS LOCK", "CAPS LOCK"},
    {0x3B, "F1", "F1"}, {0x3C, "F2", "F2"}, {0x3D, "F3", "F3"}, {0x3E, "F4", "F4"},
    {0x3F, "F5", "F5"}, {0x40, "F6", "F6"}, {0x41, "F7", "F7"}, {0x42, "F8", "F8"},
    {0x43, "F9", "F9"}, {0x44, "F10", "F10"},
    {0x45, "NUMLOCK", "NUMLOCK"}, {0x46, "SCROLL LOCK", "SCROLL LOCK"},
    {0x47, "7", "7"}, {0x48, "8", "8"}, {0x49, "9", "9"}, {0x4A, "-", "-"},
    {0x4B, "4", "4"}, {0x4C, "5", "5"}, {0x4D, "6", "6"}, {0x4E, "+", "+"},
    {0x4F, "1", "1"}, {0x50, "2", "2"}, {0x51, "3", "3"}, {0x52, "0", "0"},
    {0x53, ".", "."}, {0x56, "|", "|"}, {0x57, "F11", "F11"}, {0x58, "F12", "F12"},
    {0x9C, "ENTER", "ENTER"}, {0x9D, "RIGHT CONTROL", "RIGHT CONTROL"},
    {0xB3, ",", ","}, {0xB5, "/", "/"}, {0xB7, "SYSRQ", "SYSRQ"},
    {0xB8, "RIGHT ALT", "RIGHT ALT"}, {0xC5, "PAUSE", "PAUSE"}, {0xC7, "HOME", "HOME"},
    {0xC8, "UP", "UP"}, {0xC9, "PGUP", "PGUP"}, {0xCB, "LEFT", "LEFT"},
    {0xCD, "RIGHT", "RIGHT"}, {0xCF, "END", "END"}, {0xD0, "DOWN", "DOWN"},
    {0xD1, "PGDOWN", "PGDOWN"}, {0xD2, "INSERT", "INSERT"}, {0xD3, "DELETE", "DELETE"},
    {0xDB, "LEFT WIN", "LEFT WIN"}, {0xDC, "RIGHT WIN", "RIGHT WIN"},
};

// DOWN, LEFT, RIGHT, UP, A, B, C, X, Y, Z, L, R, M, ENTER.
const int32_t dxinput_default_key_bindings[DXINPUT_BINDING_COUNT] = {
    0xD0, 0xCB, 0xCD, 0xC8, 0x1E, 0x30, 0x2E, 0x2D, 0x15, 0x2C, 0x26, 0x13, 0x32, 0x1C};

int32_t dxinput_key_bindings[DXINPUT_BINDING_COUNT] = {
    0xD0, 0xCB, 0xCD, 0xC8, 0x1E, 0x30, 0x2E, 0x2D, 0x15, 0x2C, 0x26, 0x13, 0x32, 0x1C};

namespace {

const char* const binding_keys[DXINPUT_BINDING_COUNT] = {
    "down_key",    "left_key",     "right_key",           "up_key",
    "run_key",     "action_key",   "attack_key",          "aim_key",
    "use_item_key", "button_z_key", "scroll_inventory_up", "scroll_inventory_down",
    "toggle_weapons_items", "start_key"};

const dxinput_key* find_code(int32_t code)
{
    for (const dxinput_key& key : dxinput_key_table)
        if (key.code == code)
            return &key;
    return nullptr;
}

}  // namespace

int32_t dxinput_get_code_from_token(const char* token)
{
    if (token)
        for (const dxinput_key& key : dxinput_key_table)
            if (std::strcmp(key.token_str, token) == 0)
                return key.code;
    LOG_ERROR("Could not find directx constant for string %s.\n", token ? token : "(null)");
    return -1;
}

const char* dxinput_get_display_string(int32_t code)
{
    if (const dxinput_key* key = find_code(code))
        return key->display_str;
    LOG_ERROR("Could not find display string for code %ld.\n", (long)code);
    return nullptr;
}

const char* dxinput_get_token_string(int32_t code)
{
    if (const dxinput_key* key = find_code(code))
        return key->token_str;
    LOG_ERROR("Could not find token string for code %ld.\n", (long)code);
    return nullptr;
}

int dxinput_write_config(FILE* session_file)
{
    if (!session_file) {
        LOG_ERROR("%s\n", "Cannot dxinput_write_config with NULL session_file.");
        return 0;
    }
    int ok = fprintf(session_file, "\n//  [dxinput]\n") >= 0;
    for (int i = 0; i < DXINPUT_BINDING_COUNT; ++i) {
        // An unbound action (its key name was not known) keeps its default
        // key in the file, so the file always reads back.
        const dxinput_key* key = find_code(dxinput_key_bindings[i]);
        if (!key)
            key = find_code(dxinput_default_key_bindings[i]);
        ok = fprintf(session_file, "%-44s//  %s\n", key->token_str, binding_keys[i]) >= 0 && ok;
    }
    return ok ? 1 : 0;
}

int dxinput_read_config(FILE* session_file, int16_t* line_cnt)
{
    if (!session_file) {
        LOG_ERROR("%s\n", "Cannot dxinput_read_config with NULL session_file.");
        return 0;
    }
    if (!line_cnt) {
        LOG_ERROR("%s\n", "Cannot dxinput_read_config with NULL line_cnt.");
        return 0;
    }
    int ok = 1;
    for (int i = 0; i < DXINPUT_BINDING_COUNT; ++i) {
        char line[TEXT_LINE_SIZE];
        if (get_text_line(session_file, line_cnt, line, sizeof line))
            dxinput_key_bindings[i] = dxinput_get_code_from_token(line);
        else
            ok = 0;
    }
    return ok;
}

void dxinput_reset(void)
{
    std::memcpy(dxinput_key_bindings, dxinput_default_key_bindings, sizeof dxinput_key_bindings);
}
