#include "dxinput.h"

#include <cstring>

#include "debug.h"
#include "file_io.h"
#include "text_io.h"

// In every row the token is the display string. Keypad keys that repeat a
// main-keyboard name come after it, so a token always finds the main key.
const dxinput_key dxinput_key_table[DXINPUT_KEY_COUNT] = {
    {0x02, "1", "1"},
    {0x03, "2", "2"},
    {0x04, "3", "3"},
    {0x05, "4", "4"},
    {0x06, "5", "5"},
    {0x07, "6", "6"},
    {0x08, "7", "7"},
    {0x09, "8", "8"},
    {0x0A, "9", "9"},
    {0x0B, "0", "0"},
    {0x0C, "-", "-"},
    {0x0D, "=", "="},
    {0x0E, "BACKSPACE", "BACKSPACE"},
    {0x0F, "TAB", "TAB"},
    {0x10, "Q", "Q"},
    {0x11, "W", "W"},
    {0x12, "E", "E"},
    {0x13, "R", "R"},
    {0x14, "T", "T"},
    {0x15, "Y", "Y"},
    {0x16, "U", "U"},
    {0x17, "I", "I"},
    {0x18, "O", "O"},
    {0x19, "P", "P"},
    {0x1A, "[", "["},
    {0x1B, "]", "]"},
    {0x1C, "ENTER", "ENTER"},
    {0x1D, "LEFT CONTROL", "LEFT CONTROL"},
    {0x1E, "A", "A"},
    {0x1F, "S", "S"},
    {0x20, "D", "D"},
    {0x21, "F", "F"},
    {0x22, "G", "G"},
    {0x23, "H", "H"},
    {0x24, "J", "J"},
    {0x25, "K", "K"},
    {0x26, "L", "L"},
    {0x27, ";", ";"},
    {0x28, "'", "'"},
    {0x29, "`", "`"},
    {0x2A, "LEFT SHIFT", "LEFT SHIFT"},
    {0x2B, "BACKSLASH", "BACKSLASH"},
    {0x2C, "Z", "Z"},
    {0x2D, "X", "X"},
    {0x2E, "C", "C"},
    {0x2F, "V", "V"},
    {0x30, "B", "B"},
    {0x31, "N", "N"},
    {0x32, "M", "M"},
    {0x33, ",", ","},
    {0x34, ".", "."},
    {0x35, "/", "/"},
    {0x36, "RIGHT SHIFT", "RIGHT SHIFT"},
    {0x37, "*", "*"},
    {0x38, "LEFT ALT", "LEFT ALT"},
    {0x39, "SPACE", "SPACE"},
    {0x3A, "CAPS LOCK", "CAPS LOCK"},
    {0x3B, "F1", "F1"},
    {0x3C, "F2", "F2"},
    {0x3D, "F3", "F3"},
    {0x3E, "F4", "F4"},
    {0x3F, "F5", "F5"},
    {0x40, "F6", "F6"},
    {0x41, "F7", "F7"},
    {0x42, "F8", "F8"},
    {0x43, "F9", "F9"},
    {0x44, "F10", "F10"},
    {0x45, "NUMLOCK", "NUMLOCK"},
    {0x46, "SCROLL LOCK", "SCROLL LOCK"},
    {0x47, "7", "7"},
    {0x48, "8", "8"},
    {0x49, "9", "9"},
    {0x4A, "-", "-"},
    {0x4B, "4", "4"},
    {0x4C, "5", "5"},
    {0x4D, "6", "6"},
    {0x4E, "+", "+"},
    {0x4F, "1", "1"},
    {0x50, "2", "2"},
    {0x51, "3", "3"},
    {0x52, "0", "0"},
    {0x53, ".", "."},
    {0x56, "|", "|"},
    {0x57, "F11", "F11"},
    {0x58, "F12", "F12"},
    {0x9C, "ENTER", "ENTER"},
    {0x9D, "RIGHT CONTROL", "RIGHT CONTROL"},
    {0xB3, ",", ","},
    {0xB5, "/", "/"},
    {0xB7, "SYSRQ", "SYSRQ"},
    {0xB8, "RIGHT ALT", "RIGHT ALT"},
    {0xC5, "PAUSE", "PAUSE"},
    {0xC7, "HOME", "HOME"},
    {0xC8, "UP", "UP"},
    {0xC9, "PGUP", "PGUP"},
    {0xCB, "LEFT", "LEFT"},
    {0xCD, "RIGHT", "RIGHT"},
    {0xCF, "END", "END"},
    {0xD0, "DOWN", "DOWN"},
    {0xD1, "PGDOWN", "PGDOWN"},
    {0xD2, "INSERT", "INSERT"},
    {0xD3, "DELETE", "DELETE"},
    {0xDB, "LEFT WIN", "LEFT WIN"},
    {0xDC, "RIGHT WIN", "RIGHT WIN"},
};

// DOWN, LEFT, RIGHT, UP, A, B, C, X, Y, Z, L, R, M, ENTER.
const int32_t dxinput_default_key_bindings[DXINPUT_BINDING_COUNT] = {
    0xD0, 0xCB, 0xCD, 0xC8, 0x1E, 0x30, 0x2E, 0x2D, 0x15, 0x2C, 0x26, 0x13, 0x32, 0x1C};

int32_t dxinput_key_bindings[DXINPUT_BINDING_COUNT] = {0xD0, 0xCB, 0xCD, 0xC8, 0x1E, 0x30, 0x2E,
                                                       0x2D, 0x15, 0x2C, 0x26, 0x13, 0x32, 0x1C};

dxinput_globals_record dxinput_globals = {};

namespace {

const char* const binding_keys[DXINPUT_BINDING_COUNT] = {"down_key",
                                                         "left_key",
                                                         "right_key",
                                                         "up_key",
                                                         "run_key",
                                                         "action_key",
                                                         "attack_key",
                                                         "aim_key",
                                                         "use_item_key",
                                                         "button_z_key",
                                                         "scroll_inventory_up",
                                                         "scroll_inventory_down",
                                                         "toggle_weapons_items",
                                                         "start_key"};

const dxinput_key* find_code(int32_t code)
{
    for (const dxinput_key& key : dxinput_key_table)
        if (key.code == code)
            return &key;
    return nullptr;
}

// The action of each joystick button 0 .. 9: 8 is start, 9 is toggle.
const int32_t joystick_button_actions[10] = {
    ACTION_A_BUTTON, ACTION_B_BUTTON,  ACTION_C_BUTTON,  ACTION_X_BUTTON,     ACTION_Y_BUTTON,
    ACTION_Z_BUTTON, ACTION_L1_BUTTON, ACTION_R1_BUTTON, ACTION_START_BUTTON, ACTION_M_BUTTON};
// The mouse's buttons 0 .. 2.
const int32_t mouse_button_actions[3] = {ACTION_A_BUTTON, ACTION_B_BUTTON, ACTION_C_BUTTON};

bool held(BYTE state)
{
    return (state & 0x80) != 0;
}

// The directions of relative or axis motion: x < 0 left, x > 0 right, y < 0
// up (away from the player), y > 0 down.
int32_t direction_mask(LONG x, LONG y)
{
    return (x < 0 ? ACTION_LEFT : 0) | (x > 0 ? ACTION_RIGHT : 0) | (y < 0 ? ACTION_UP : 0) |
           (y > 0 ? ACTION_DOWN : 0);
}

int32_t button_mask(const BYTE* buttons, const int32_t* actions, int count)
{
    int32_t mask = 0;
    for (int i = 0; i < count; ++i)
        if (held(buttons[i]))
            mask |= actions[i];
    return mask;
}

// A failed read gives an empty mask; a lost device is acquired again for the
// next frame.
bool read_state(LPDIRECTINPUTDEVICE2 device, DWORD size, void* data)
{
    HRESULT result = device->GetDeviceState(size, data);
    if (SUCCEEDED(result))
        return true;
    if (result == DIERR_INPUTLOST)
        dxinput_reacquire_current_device();
    return false;
}

int32_t read_keyboard(LPDIRECTINPUTDEVICE2 device)
{
    BYTE keys[256];
    if (!read_state(device, sizeof keys, keys))
        return 0;
    int32_t& mask = dxinput_globals.keyboard_action_mask;
    for (int i = 0; i < DXINPUT_BINDING_COUNT; ++i) {
        // Binding i is bit i. An unbound action (-1) is never held.
        int32_t code = dxinput_key_bindings[i];
        if (code >= 0 && code < 256 && held(keys[code]))
            mask |= 1 << i;
        else
            mask &= ~(1 << i);
    }
    return mask;
}

int32_t read_mouse(LPDIRECTINPUTDEVICE2 device)
{
    DIMOUSESTATE mouse;
    if (!read_state(device, sizeof mouse, &mouse))
        return 0;
    return direction_mask(mouse.lX, mouse.lY) |
           button_mask(mouse.rgbButtons, mouse_button_actions, 3);
}

int32_t read_joystick(LPDIRECTINPUTDEVICE2 device)
{
    device->Poll();
    DIJOYSTATE joy;
    if (!read_state(device, sizeof joy, &joy))
        return 0;
    return direction_mask(joy.lX, joy.lY) |
           button_mask(joy.rgbButtons, joystick_button_actions, 10);
}

// The keyboard and the mouse: make the device, set it up, list it. Every
// failure is an error and gives 0.
struct system_device {
    const char* creator;  // names the messages
    const GUID* guid;
    const DIDATAFORMAT* format;
    DWORD cooperative_level;
    bool buffered;
};
const system_device keyboard_device = {"dxinput_init_keyboard", &GUID_SysKeyboard, &c_dfDIKeyboard,
                                       DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, true};
const system_device mouse_device = {"dxinput_init_mouse", &GUID_SysMouse, &c_dfDIMouse,
                                    DISCL_EXCLUSIVE | DISCL_FOREGROUND, false};

int create_system_device(LPDIRECTINPUT direct_input, const system_device& made)
{
    LPDIRECTINPUTDEVICE device = nullptr;
    if (FAILED(direct_input->CreateDevice(*made.guid, &device, nullptr))) {
        LOG_ERROR("%s - CreateDevice FAILED.\n", made.creator);
        return 0;
    }
    DIPROPDWORD buffer = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 256};
    DIDEVICEINSTANCE instance = {};
    instance.dwSize = sizeof instance;
    const char* failed = nullptr;
    if (FAILED(device->SetDataFormat(made.format)))
        failed = "SetDataFormat";
    else if (FAILED(device->SetCooperativeLevel(dxinput_globals.hwnd, made.cooperative_level)))
        failed = "SetCooperativeLevel";
    else if (made.buffered && FAILED(device->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph)))
        failed = "SetProperty(DIPH_DEVICE)";
    else if (FAILED(device->GetDeviceInfo(&instance)))
        failed = "GetDeviceInfo";
    if (failed) {
        LOG_ERROR("%s - %s FAILED.\n", made.creator, failed);
        device->Release();
        return 0;
    }
    dxinput_add_device(device, instance.dwDevType);
    device->Release();
    return 1;
}

HRESULT set_axis_property(LPDIRECTINPUTDEVICE device, DIPROPERTY property, DWORD axis)
{
    if (property == DIPROP_RANGE) {
        DIPROPRANGE range = {
            {sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, -1000, 1000};
        return device->SetProperty(DIPROP_RANGE, &range.diph);
    }
    // Half the range: a stick counts only when it is pushed past the middle.
    DIPROPDWORD zone = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, 5000};
    return device->SetProperty(DIPROP_DEADZONE, &zone.diph);
}

// The enumeration callback for each attached joystick. A joystick that cannot
// be made or set up is skipped; one whose axes cannot be set ends the
// enumeration.
BOOL dxinput_init_joystick(LPCDIDEVICEINSTANCE instance, void* ref)
{
    LPDIRECTINPUT direct_input = static_cast<LPDIRECTINPUT>(ref);
    LPDIRECTINPUTDEVICE device = nullptr;
    if (FAILED(direct_input->CreateDevice(instance->guidInstance, &device, nullptr))) {
        LOG_NOTICE("%s", "dxinput_init_joystick - CreateDevice FAILED.\n");
        return DIENUM_CONTINUE;
    }
    const char* skipped = nullptr;
    if (FAILED(device->SetDataFormat(&c_dfDIJoystick)))
        skipped = "SetDataFormat";
    else if (FAILED(device->SetCooperativeLevel(dxinput_globals.hwnd,
                                                DISCL_NONEXCLUSIVE | DISCL_FOREGROUND)))
        skipped = "SetCooperativeLevel";
    if (skipped) {
        LOG_NOTICE("dxinput_init_joystick - %s FAILED.\n", skipped);
        device->Release();
        return DIENUM_CONTINUE;
    }
    const struct {
        DIPROPERTY property;
        DWORD axis;
        const char* name;
    } axis_steps[] = {
        {DIPROP_RANGE, DIJOFS_X, "SetProperty(DIPH_RANGE X)"},
        {DIPROP_RANGE, DIJOFS_Y, "SetProperty(DIPH_RANGE Y)"},
        {DIPROP_DEADZONE, DIJOFS_X, "SetProperty(DIPH_DEADZONE X)"},
        {DIPROP_DEADZONE, DIJOFS_Y, "SetProperty(DIPH_DEADZONE Y)"},
    };
    for (const auto& step : axis_steps) {
        if (FAILED(set_axis_property(device, step.property, step.axis))) {
            LOG_ERROR("dxinput_init_joystick - %s FAILED.\n", step.name);
            device->Release();
            return DIENUM_STOP;
        }
    }
    dxinput_add_device(device, instance->dwDevType);
    device->Release();
    return DIENUM_CONTINUE;
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
    REFUSE_NULL(session_file, "dxinput_write_config", "session_file", 0);
    int ok = fprintf(session_file, "\n//  [dxinput]\n") >= 0;
    for (int i = 0; i < DXINPUT_BINDING_COUNT; ++i) {
        // An unbound action (its key name was not known) keeps its default
        // key in the file, so the file always reads back.
        const dxinput_key* key = find_code(dxinput_key_bindings[i]);
        if (!key)
            key = find_code(dxinput_default_key_bindings[i]);
        // Every default key is a key of the table.
        INVARIANT(key != nullptr);
        ok = file_write_value_line(session_file, key->token_str, binding_keys[i]) && ok;
    }
    return ok ? 1 : 0;
}

int dxinput_read_config(FILE* session_file, int16_t* line_cnt)
{
    REFUSE_NULL(session_file, "dxinput_read_config", "session_file", 0);
    REFUSE_NULL(line_cnt, "dxinput_read_config", "line_cnt", 0);
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

// ---- devices

int dxinput_init(HINSTANCE instance, HWND window)
{
    dxinput_globals.hwnd = window;
    LOG_NOTICE("%s", "Initializing Direct Input.\n");
    LPDIRECTINPUT direct_input = nullptr;
    if (FAILED(DirectInputCreate(instance, 0x0300, &direct_input, nullptr))) {
        LOG_ERROR("%s", "dxinput_init - DirectInputCreate 3.0 FAILED.\n");
        return 0;
    }
    int keyboard = create_system_device(direct_input, keyboard_device);
    direct_input->Release();
    if (!keyboard) {
        dxinput_release_devices();
        LOG_ERROR("%s", "dxinput_init - Keyboard Initialization FAILED.\n");
        return 0;
    }
    if (FAILED(DirectInputCreate(instance, 0x0700, &direct_input, nullptr))) {
        LOG_NOTICE("%s", "dxinput_init - DirectInputCreate 5.0 FAILED. No joystick support.\n");
    } else {
        create_system_device(direct_input, mouse_device);
        direct_input->EnumDevices(DIDEVTYPE_JOYSTICK, dxinput_init_joystick, direct_input,
                                  DIEDFL_ATTACHEDONLY);
        direct_input->Release();
    }
    dxinput_pick_device(dxinput_globals.current_device_index);
    return 1;
}

int dxinput_add_device(LPDIRECTINPUTDEVICE device, DWORD device_type)
{
    dxinput_globals_record& g = dxinput_globals;
    if (!device || g.device_count >= DXINPUT_MAX_DEVICES)
        return 0;
    void* second = nullptr;
    if (FAILED(device->QueryInterface(IID_IDirectInputDevice2A, &second)))
        return 0;
    g.device_list[g.device_count] = static_cast<LPDIRECTINPUTDEVICE2>(second);
    g.device_type[g.device_count] = device_type & 0xFF;
    LOG_NOTICE("%s", "Input Device Found and added to list of available devices.\n");
    g.device_count += 1;
    return 1;
}

int dxinput_pick_device(int index)
{
    dxinput_globals_record& g = dxinput_globals;
    if (index < 0 || index >= g.device_count) {
        LOG_NOTICE("dxinput_pick_device - failed input device pick %d.(>%d)\n", index,
                   (int)g.device_count);
        g.current_device_index = 0;
        // Without any device there is nothing to fall back to.
        if (g.device_count > 0)
            dxinput_pick_device(0);
        return 0;
    }
    if (g.current_device)
        g.current_device->Unacquire();
    g.current_device = g.device_list[index];
    dxinput_reacquire_device(g.current_device);
    g.current_device_index = index;
    return 1;
}

int dxinput_reacquire_device(LPDIRECTINPUTDEVICE2 device)
{
    if (!device) {
        LOG_NOTICE("%s", "dxinput_reacquire_device - no current device for re-acquiring.\n");
        return 0;
    }
    if (device->Acquire() != DI_OK) {
        LOG_NOTICE("%s", "dxinput_reacquire_device - input device re-acquisition failed or device "
                         "already acquired.\n");
        return 0;
    }
    LOG_NOTICE("%s", "dxinput_reacquire_device - input device re-acquired.\n");
    return 1;
}

int dxinput_reacquire_current_device(void)
{
    return dxinput_reacquire_device(dxinput_globals.current_device);
}

int dxinput_reacquire_device_by_index(int index)
{
    if (index < 0 || index >= dxinput_globals.device_count)
        return dxinput_reacquire_device(nullptr);
    return dxinput_reacquire_device(dxinput_globals.device_list[index]);
}

int dxinput_is_current_device(int index)
{
    const dxinput_globals_record& g = dxinput_globals;
    return index >= 0 && index < g.device_count && g.current_device &&
                   g.device_list[index] == g.current_device
               ? 1
               : 0;
}

int32_t dxinput_read_current_device(void)
{
    const dxinput_globals_record& g = dxinput_globals;
    LPDIRECTINPUTDEVICE2 device = g.current_device;
    if (!device)
        return 0;
    switch (g.device_type[g.current_device_index]) {
    case DIDEVTYPE_KEYBOARD:
        return read_keyboard(device);
    case DIDEVTYPE_MOUSE:
        return read_mouse(device);
    default:
        return read_joystick(device);
    }
}

void dxinput_release_devices(void)
{
    dxinput_globals_record& g = dxinput_globals;
    if (g.current_device) {
        g.current_device->Unacquire();
        g.current_device = nullptr;
    }
    for (int i = 0; i < g.device_count; ++i) {
        g.device_list[i]->Release();
        g.device_list[i] = nullptr;
        g.device_type[i] = 0;
    }
    g.device_count = 0;
}

void dxinput_reset(void)
{
    dxinput_release_devices();
    dxinput_globals = {};
    std::memcpy(dxinput_key_bindings, dxinput_default_key_bindings, sizeof dxinput_key_bindings);
}
