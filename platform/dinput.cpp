// The input devices on SDL2, and the test machine that stands in for them.

#include "platform/dinput.h"
#include "platform/d3d_internal.h"
#include "platform/dinput_test.h"
#include "platform/report.h"
#include <SDL.h>
#include <cmath>
#include <cstdio>
#include <cstring>

const GUID GUID_SysKeyboard = {
    0x6B657962, 0x6F61, 0x7264, {0x76, 0x61, 0x72, 0x6E, 0x6F, 0x63, 0x6B, 0x01}};
const GUID GUID_SysMouse = {
    0x6D6F7573, 0x6500, 0x0000, {0x76, 0x61, 0x72, 0x6E, 0x6F, 0x63, 0x6B, 0x02}};
const GUID IID_IDirectInputDeviceA = {
    0x69646576, 0x0001, 0x0000, {0x76, 0x61, 0x72, 0x6E, 0x6F, 0x63, 0x6B, 0x03}};
const GUID IID_IDirectInputDevice2A = {
    0x69646576, 0x0002, 0x0000, {0x76, 0x61, 0x72, 0x6E, 0x6F, 0x63, 0x6B, 0x03}};

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 0, 0, 256, 0, nullptr};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), 0, 0, sizeof(DIMOUSESTATE), 0, nullptr};
const DIDATAFORMAT c_dfDIJoystick = {sizeof(DIDATAFORMAT), 0, 0, sizeof(DIJOYSTATE), 0, nullptr};

namespace {

enum { JOYSTICK_AXES = 6 };  // x, y, z, rx, ry, rz: the first six longs of DIJOYSTATE

struct test_joystick {
    int x, y;
    BYTE buttons[32];
};

struct dinput_state {
    bool test_mode = false;
    bool sdl_joysticks = false;  // SDL's game-controller subsystem runs
    // The test machine.
    BYTE keys[256] = {};
    LONG mouse_dx = 0, mouse_dy = 0;
    BYTE mouse_buttons[4] = {};
    bool mouse_captured = false;
    int joystick_count = 0;
    test_joystick joysticks[DINPUT_TEST_MAX_JOYSTICKS] = {};
};

dinput_state& state()
{
    static dinput_state* s = new dinput_state();  // lives for the whole run
    return *s;
}

// Passes the call gate: an injected failure is returned before the call's
// work, an injected success code after it.
struct gate {
    HRESULT injected;
    bool failed() const { return FAILED(injected); }
    HRESULT done(HRESULT result) const
    {
        return injected != S_OK && SUCCEEDED(result) ? injected : result;
    }
};

// Joystick instance GUIDs carry the joystick's index in the last byte.
GUID joystick_guid(int index)
{
    GUID guid = {0x6A6F7973, 0x7469, 0x636B, {0x76, 0x61, 0x72, 0x6E, 0x6F, 0x63, 0x6B, 0x10}};
    guid.Data4[7] = (BYTE)(0x10 + index);
    return guid;
}

bool same_guid(const GUID& a, const GUID& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

int joystick_count(void)
{
    dinput_state& s = state();
    if (s.test_mode)
        return s.joystick_count;
    if (!s.sdl_joysticks)
        return 0;
    int count = SDL_NumJoysticks();
    return count < 0 ? 0 : count > 0xEF ? 0xEF : count;
}

// The joystick index of a joystick instance GUID, or -1.
int joystick_of(const GUID& guid)
{
    for (int i = 0; i < joystick_count(); ++i)
        if (same_guid(guid, joystick_guid(i)))
            return i;
    return -1;
}

// SDL scan codes of the keys that have a DirectInput scan code.
struct key_map {
    SDL_Scancode scancode;
    int32_t dik;
};
// clang-format off
const key_map key_maps[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE}, {SDL_SCANCODE_1, DIK_1}, {SDL_SCANCODE_2, DIK_2},
    {SDL_SCANCODE_3, DIK_3}, {SDL_SCANCODE_4, DIK_4}, {SDL_SCANCODE_5, DIK_5},
    {SDL_SCANCODE_6, DIK_6}, {SDL_SCANCODE_7, DIK_7}, {SDL_SCANCODE_8, DIK_8},
    {SDL_SCANCODE_9, DIK_9}, {SDL_SCANCODE_0, DIK_0}, {SDL_SCANCODE_MINUS, DIK_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS}, {SDL_SCANCODE_BACKSPACE, DIK_BACK},
    {SDL_SCANCODE_TAB, DIK_TAB}, {SDL_SCANCODE_Q, DIK_Q}, {SDL_SCANCODE_W, DIK_W},
    {SDL_SCANCODE_E, DIK_E}, {SDL_SCANCODE_R, DIK_R}, {SDL_SCANCODE_T, DIK_T},
    {SDL_SCANCODE_Y, DIK_Y}, {SDL_SCANCODE_U, DIK_U}, {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_O, DIK_O}, {SDL_SCANCODE_P, DIK_P}, {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET}, {SDL_SCANCODE_RETURN, DIK_RETURN},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL}, {SDL_SCANCODE_A, DIK_A}, {SDL_SCANCODE_S, DIK_S},
    {SDL_SCANCODE_D, DIK_D}, {SDL_SCANCODE_F, DIK_F}, {SDL_SCANCODE_G, DIK_G},
    {SDL_SCANCODE_H, DIK_H}, {SDL_SCANCODE_J, DIK_J}, {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L}, {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE}, {SDL_SCANCODE_GRAVE, DIK_GRAVE},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT}, {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_Z, DIK_Z}, {SDL_SCANCODE_X, DIK_X}, {SDL_SCANCODE_C, DIK_C},
    {SDL_SCANCODE_V, DIK_V}, {SDL_SCANCODE_B, DIK_B}, {SDL_SCANCODE_N, DIK_N},
    {SDL_SCANCODE_M, DIK_M}, {SDL_SCANCODE_COMMA, DIK_COMMA}, {SDL_SCANCODE_PERIOD, DIK_PERIOD},
    {SDL_SCANCODE_SLASH, DIK_SLASH}, {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
    {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY}, {SDL_SCANCODE_LALT, DIK_LMENU},
    {SDL_SCANCODE_SPACE, DIK_SPACE}, {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1}, {SDL_SCANCODE_F2, DIK_F2}, {SDL_SCANCODE_F3, DIK_F3},
    {SDL_SCANCODE_F4, DIK_F4}, {SDL_SCANCODE_F5, DIK_F5}, {SDL_SCANCODE_F6, DIK_F6},
    {SDL_SCANCODE_F7, DIK_F7}, {SDL_SCANCODE_F8, DIK_F8}, {SDL_SCANCODE_F9, DIK_F9},
    {SDL_SCANCODE_F10, DIK_F10}, {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL}, {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8}, {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT}, {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5}, {SDL_SCANCODE_KP_6, DIK_NUMPAD6},
    {SDL_SCANCODE_KP_PLUS, DIK_ADD}, {SDL_SCANCODE_KP_1, DIK_NUMPAD1},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2}, {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0}, {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102}, {SDL_SCANCODE_F11, DIK_F11},
    {SDL_SCANCODE_F12, DIK_F12}, {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL}, {SDL_SCANCODE_KP_COMMA, DIK_NUMPADCOMMA},
    {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE}, {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
    {SDL_SCANCODE_RALT, DIK_RMENU}, {SDL_SCANCODE_PAUSE, DIK_PAUSE},
    {SDL_SCANCODE_HOME, DIK_HOME}, {SDL_SCANCODE_UP, DIK_UP}, {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
    {SDL_SCANCODE_LEFT, DIK_LEFT}, {SDL_SCANCODE_RIGHT, DIK_RIGHT}, {SDL_SCANCODE_END, DIK_END},
    {SDL_SCANCODE_DOWN, DIK_DOWN}, {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
    {SDL_SCANCODE_INSERT, DIK_INSERT}, {SDL_SCANCODE_DELETE, DIK_DELETE},
    {SDL_SCANCODE_LGUI, DIK_LWIN}, {SDL_SCANCODE_RGUI, DIK_RWIN},
    {SDL_SCANCODE_APPLICATION, DIK_APPS},
};
// clang-format on

// A game controller seen as a joystick: the stick is the x and y axes, and
// the buttons are numbered in this order.
const SDL_GameControllerButton controller_buttons[] = {
    SDL_CONTROLLER_BUTTON_A,
    SDL_CONTROLLER_BUTTON_B,
    SDL_CONTROLLER_BUTTON_X,
    SDL_CONTROLLER_BUTTON_Y,
    SDL_CONTROLLER_BUTTON_INVALID,
    SDL_CONTROLLER_BUTTON_INVALID,  // the triggers
    SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
    SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
    SDL_CONTROLLER_BUTTON_START,
    SDL_CONTROLLER_BUTTON_BACK,
    SDL_CONTROLLER_BUTTON_LEFTSTICK,
    SDL_CONTROLLER_BUTTON_RIGHTSTICK,
};
const SDL_GameControllerAxis controller_trigger_buttons[2] = {SDL_CONTROLLER_AXIS_TRIGGERLEFT,
                                                              SDL_CONTROLLER_AXIS_TRIGGERRIGHT};

enum device_kind { KIND_KEYBOARD, KIND_MOUSE, KIND_JOYSTICK };

struct di_device final : IDirectInputDevice2 {
    int kind = KIND_KEYBOARD;
    int joystick = -1;  // index of a joystick device
    const DIDATAFORMAT* format = nullptr;
    HWND window = nullptr;
    DWORD cooperative_level = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    bool acquired = false;
    DWORD buffer_size = 0;
    LONG range_min[JOYSTICK_AXES] = {0, 0, 0, 0, 0, 0};
    LONG range_max[JOYSTICK_AXES] = {65535, 65535, 65535, 65535, 65535, 65535};
    DWORD dead_zone[JOYSTICK_AXES] = {};
    SDL_Joystick* sdl_joystick = nullptr;
    SDL_GameController* sdl_controller = nullptr;

    ~di_device() override
    {
        release_pointer();
        if (sdl_controller)
            SDL_GameControllerClose(sdl_controller);
        else if (sdl_joystick)
            SDL_JoystickClose(sdl_joystick);
    }
    const char* kind_name() const
    {
        return kind == KIND_KEYBOARD ? "keyboard" : kind == KIND_MOUSE ? "mouse" : "joystick";
    }
    bool exclusive_mouse() const
    {
        return kind == KIND_MOUSE && (cooperative_level & DISCL_EXCLUSIVE);
    }
    bool in_foreground() const
    {
        return !(cooperative_level & DISCL_FOREGROUND) || (window && GetFocus() == window);
    }
    void take_pointer()
    {
        if (!exclusive_mouse())
            return;
        state().mouse_captured = true;
        if (state().test_mode) {
            state().mouse_dx = state().mouse_dy = 0;
        } else {
            SDL_SetRelativeMouseMode(SDL_TRUE);
            SDL_GetRelativeMouseState(nullptr, nullptr);  // motion before the acquire is not ours
        }
    }
    void release_pointer()
    {
        if (!acquired || !exclusive_mouse())
            return;
        state().mouse_captured = false;
        if (!state().test_mode)
            SDL_SetRelativeMouseMode(SDL_FALSE);
    }
    void read_keyboard(BYTE* keys) const;
    void read_mouse(DIMOUSESTATE* mouse) const;
    void read_joystick(DIJOYSTATE* joy) const;
    LONG scale_axis(int axis, int raw) const;
};

di_device* self(IDirectInputDevice* device)
{
    return static_cast<di_device*>(device);
}

void di_device::read_keyboard(BYTE* keys) const
{
    dinput_state& s = state();
    if (s.test_mode) {
        std::memcpy(keys, s.keys, sizeof s.keys);
        return;
    }
    std::memset(keys, 0, 256);
    int count = 0;
    const Uint8* held = SDL_GetKeyboardState(&count);
    for (const key_map& map : key_maps)
        if (held && (int)map.scancode < count && held[map.scancode])
            keys[map.dik] = 0x80;
}

void di_device::read_mouse(DIMOUSESTATE* mouse) const
{
    dinput_state& s = state();
    std::memset(mouse, 0, sizeof *mouse);
    if (s.test_mode) {
        mouse->lX = s.mouse_dx;
        mouse->lY = s.mouse_dy;
        s.mouse_dx = s.mouse_dy = 0;
        std::memcpy(mouse->rgbButtons, s.mouse_buttons, sizeof mouse->rgbButtons);
        return;
    }
    int dx = 0, dy = 0;
    Uint32 buttons = SDL_GetRelativeMouseState(&dx, &dy);
    mouse->lX = dx;
    mouse->lY = dy;
    const Uint32 masks[4] = {SDL_BUTTON_LMASK, SDL_BUTTON_RMASK, SDL_BUTTON_MMASK,
                             SDL_BUTTON_X1MASK};
    for (int i = 0; i < 4; ++i)
        mouse->rgbButtons[i] = (buttons & masks[i]) ? 0x80 : 0;
}

// A raw SDL axis (-32768 .. 32767) in the axis's range: the centre within
// the dead zone, the rest of the travel spread over the half range.
LONG di_device::scale_axis(int axis, int raw) const
{
    double value = raw < 0 ? raw / 32768.0 : raw / 32767.0;
    double zone = dead_zone[axis] / 10000.0;
    double centre = (range_min[axis] + (double)range_max[axis]) / 2.0;
    double half = ((double)range_max[axis] - range_min[axis]) / 2.0;
    double magnitude = std::fabs(value);
    if (magnitude <= zone)
        return (LONG)std::lround(centre);
    double travel = (magnitude - zone) / (1.0 - zone);
    return (LONG)std::lround(centre + std::copysign(travel, value) * half);
}

void di_device::read_joystick(DIJOYSTATE* joy) const
{
    dinput_state& s = state();
    std::memset(joy, 0, sizeof *joy);
    for (DWORD& pov : joy->rgdwPOV)
        pov = 0xFFFFFFFF;
    int raw[JOYSTICK_AXES] = {};
    if (s.test_mode) {
        const test_joystick& test = s.joysticks[joystick];
        raw[0] = test.x;
        raw[1] = test.y;
        std::memcpy(joy->rgbButtons, test.buttons, sizeof joy->rgbButtons);
    } else if (sdl_controller) {
        raw[0] = SDL_GameControllerGetAxis(sdl_controller, SDL_CONTROLLER_AXIS_LEFTX);
        raw[1] = SDL_GameControllerGetAxis(sdl_controller, SDL_CONTROLLER_AXIS_LEFTY);
        raw[3] = SDL_GameControllerGetAxis(sdl_controller, SDL_CONTROLLER_AXIS_RIGHTX);
        raw[4] = SDL_GameControllerGetAxis(sdl_controller, SDL_CONTROLLER_AXIS_RIGHTY);
        for (size_t i = 0; i < sizeof controller_buttons / sizeof controller_buttons[0]; ++i)
            if (controller_buttons[i] != SDL_CONTROLLER_BUTTON_INVALID)
                joy->rgbButtons[i] =
                    SDL_GameControllerGetButton(sdl_controller, controller_buttons[i]) ? 0x80 : 0;
        // A trigger pulled past half way is a held button.
        for (int i = 0; i < 2; ++i)
            joy->rgbButtons[4 + i] = SDL_GameControllerGetAxis(
                                         sdl_controller, controller_trigger_buttons[i]) > 16384
                                         ? 0x80
                                         : 0;
    } else if (sdl_joystick) {
        int axes = SDL_JoystickNumAxes(sdl_joystick);
        for (int i = 0; i < JOYSTICK_AXES && i < axes; ++i)
            raw[i] = SDL_JoystickGetAxis(sdl_joystick, i);
        int buttons = SDL_JoystickNumButtons(sdl_joystick);
        for (int i = 0; i < 32 && i < buttons; ++i)
            joy->rgbButtons[i] = SDL_JoystickGetButton(sdl_joystick, i) ? 0x80 : 0;
    }
    LONG* axes = &joy->lX;  // lX .. lRz are six consecutive longs
    for (int i = 0; i < JOYSTICK_AXES; ++i)
        axes[i] = scale_axis(i, raw[i]);
}

struct di_object final : IDirectInput {
    DWORD version = 0;
};

void describe(DIDEVICEINSTANCE* instance, int kind, int joystick)
{
    DWORD size = instance->dwSize;
    std::memset(instance, 0, sizeof *instance);
    instance->dwSize = size;
    if (kind == KIND_KEYBOARD) {
        instance->guidInstance = instance->guidProduct = GUID_SysKeyboard;
        instance->dwDevType = DIDEVTYPE_KEYBOARD;
        std::snprintf(instance->tszInstanceName, sizeof instance->tszInstanceName, "Keyboard");
    } else if (kind == KIND_MOUSE) {
        instance->guidInstance = instance->guidProduct = GUID_SysMouse;
        instance->dwDevType = DIDEVTYPE_MOUSE;
        std::snprintf(instance->tszInstanceName, sizeof instance->tszInstanceName, "Mouse");
    } else {
        instance->guidInstance = instance->guidProduct = joystick_guid(joystick);
        instance->dwDevType = DIDEVTYPE_JOYSTICK;
        const char* name = state().test_mode ? nullptr : SDL_JoystickNameForIndex(joystick);
        if (name)
            std::snprintf(instance->tszInstanceName, sizeof instance->tszInstanceName, "%s", name);
        else
            std::snprintf(instance->tszInstanceName, sizeof instance->tszInstanceName,
                          "Joystick %d", joystick + 1);
    }
    std::memcpy(instance->tszProductName, instance->tszInstanceName,
                sizeof instance->tszProductName);
}

bool valid_axis_offset(DWORD offset, int* axis)
{
    if (offset % sizeof(LONG) != 0 || offset / sizeof(LONG) >= JOYSTICK_AXES)
        return false;
    *axis = (int)(offset / sizeof(LONG));
    return true;
}

}  // namespace

// ---- the DirectInput object

HRESULT DirectInputCreate(HINSTANCE, DWORD version, LPDIRECTINPUT* direct_input, IUnknown* outer)
{
    if (!direct_input)
        return DIERR_INVALIDPARAM;
    *direct_input = nullptr;
    gate g = {d3d_call("DirectInputCreate", "0x%04x", (unsigned)version)};
    if (g.failed())
        return g.injected;
    if (outer)
        return DIERR_INVALIDPARAM;
    if (version < 0x0300)
        return DIERR_BETADIRECTINPUTVERSION;
    if (version > 0x0700)
        return DIERR_OLDDIRECTINPUTVERSION;
    dinput_state& s = state();
    if (!s.test_mode && !s.sdl_joysticks)
        s.sdl_joysticks = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (!s.test_mode && !s.sdl_joysticks)
        PLATFORM_WARNING("No joysticks: %s", SDL_GetError());
    di_object* object = new di_object();
    object->version = version;
    *direct_input = object;
    return g.done(DI_OK);
}

HRESULT IDirectInput::CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE* device, IUnknown* outer)
{
    if (!device)
        return DIERR_INVALIDPARAM;
    *device = nullptr;
    gate g = {d3d_call("DirectInput.CreateDevice", "%08x", (unsigned)guid.Data1)};
    if (g.failed())
        return g.injected;
    if (outer)
        return DIERR_INVALIDPARAM;
    int kind = KIND_KEYBOARD;
    int joystick = -1;
    if (same_guid(guid, GUID_SysKeyboard))
        kind = KIND_KEYBOARD;
    else if (same_guid(guid, GUID_SysMouse))
        kind = KIND_MOUSE;
    else if ((joystick = joystick_of(guid)) >= 0)
        kind = KIND_JOYSTICK;
    else
        return DIERR_DEVICENOTREG;
    di_device* made = new di_device();
    made->kind = kind;
    made->joystick = joystick;
    if (kind == KIND_JOYSTICK && !state().test_mode) {
        if (SDL_IsGameController(joystick))
            made->sdl_controller = SDL_GameControllerOpen(joystick);
        else
            made->sdl_joystick = SDL_JoystickOpen(joystick);
        if (!made->sdl_controller && !made->sdl_joystick) {
            made->Release();
            return DIERR_DEVICENOTREG;
        }
    }
    *device = made;
    return g.done(DI_OK);
}

HRESULT IDirectInput::EnumDevices(DWORD device_type, LPDIENUMDEVICESCALLBACK callback, void* ref,
                                  DWORD flags)
{
    gate g = {
        d3d_call("DirectInput.EnumDevices", "%u 0x%x", (unsigned)device_type, (unsigned)flags)};
    if (g.failed())
        return g.injected;
    if (!callback)
        return DIERR_INVALIDPARAM;
    // Every device of this machine is attached, so the flags change nothing.
    DIDEVICEINSTANCE instance;
    auto offer = [&](int kind, int joystick) {
        instance.dwSize = sizeof instance;
        describe(&instance, kind, joystick);
        return callback(&instance, ref) != DIENUM_STOP;
    };
    bool go_on = true;
    if (device_type == 0 || device_type == DIDEVTYPE_KEYBOARD)
        go_on = offer(KIND_KEYBOARD, -1);
    if (go_on && (device_type == 0 || device_type == DIDEVTYPE_MOUSE))
        go_on = offer(KIND_MOUSE, -1);
    if (device_type == 0 || device_type == DIDEVTYPE_JOYSTICK)
        for (int i = 0; go_on && i < joystick_count(); ++i)
            go_on = offer(KIND_JOYSTICK, i);
    return g.done(DI_OK);
}

// ---- devices

HRESULT IDirectInputDevice::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return DIERR_INVALIDPARAM;
    *out = nullptr;
    gate g = {d3d_call("InputDevice.QueryInterface", "%s", self(this)->kind_name())};
    if (g.failed())
        return g.injected;
    if (!same_guid(iid, IID_IDirectInputDeviceA) && !same_guid(iid, IID_IDirectInputDevice2A))
        return DIERR_NOINTERFACE;
    AddRef();
    *out = static_cast<IDirectInputDevice2*>(self(this));
    return g.done(DI_OK);
}

HRESULT IDirectInputDevice::SetDataFormat(const DIDATAFORMAT* format)
{
    di_device* d = self(this);
    gate g = {d3d_call("InputDevice.SetDataFormat", "%s %u", d->kind_name(),
                       format ? (unsigned)format->dwDataSize : 0u)};
    if (g.failed())
        return g.injected;
    const DIDATAFORMAT* fits[] = {&c_dfDIKeyboard, &c_dfDIMouse, &c_dfDIJoystick};
    if (format != fits[d->kind])
        return DIERR_INVALIDPARAM;
    if (d->acquired)
        return DIERR_ACQUIRED;
    d->format = format;
    return g.done(DI_OK);
}

HRESULT IDirectInputDevice::SetCooperativeLevel(HWND window, DWORD flags)
{
    di_device* d = self(this);
    gate g = {
        d3d_call("InputDevice.SetCooperativeLevel", "%s 0x%x", d->kind_name(), (unsigned)flags)};
    if (g.failed())
        return g.injected;
    bool exclusive = flags & DISCL_EXCLUSIVE, shared = flags & DISCL_NONEXCLUSIVE;
    bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
    if (exclusive == shared || foreground == background || (flags & ~0xFu))
        return DIERR_INVALIDPARAM;
    if ((exclusive || foreground) && !IsWindow(window))
        return DIERR_INVALIDPARAM;
    if (d->acquired)
        return DIERR_ACQUIRED;
    d->window = window;
    d->cooperative_level = flags;
    return g.done(DI_OK);
}

HRESULT IDirectInputDevice::SetProperty(DIPROPERTY property, const DIPROPHEADER* header)
{
    di_device* d = self(this);
    gate g = {d3d_call("InputDevice.SetProperty", "%s %u %u %u", d->kind_name(), (unsigned)property,
                       header ? (unsigned)header->dwHow : 0u,
                       header ? (unsigned)header->dwObj : 0u)};
    if (g.failed())
        return g.injected;
    if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER))
        return DIERR_INVALIDPARAM;
    if (property == DIPROP_BUFFERSIZE) {
        if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE || header->dwObj)
            return DIERR_INVALIDPARAM;
        if (d->acquired)
            return DIERR_ACQUIRED;
        d->buffer_size = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
        return g.done(DI_OK);
    }
    if (property != DIPROP_RANGE && property != DIPROP_DEADZONE)
        return DIERR_UNSUPPORTED;
    if (d->kind != KIND_JOYSTICK)
        return DIERR_UNSUPPORTED;
    int first = 0, last = JOYSTICK_AXES - 1;
    if (header->dwHow == DIPH_BYOFFSET) {
        if (!valid_axis_offset(header->dwObj, &first))
            return DIERR_OBJECTNOTFOUND;
        last = first;
    } else if (header->dwHow != DIPH_DEVICE || header->dwObj) {
        return DIERR_INVALIDPARAM;
    }
    if (property == DIPROP_RANGE) {
        const DIPROPRANGE* range = reinterpret_cast<const DIPROPRANGE*>(header);
        if (header->dwSize != sizeof(DIPROPRANGE) || range->lMin >= range->lMax)
            return DIERR_INVALIDPARAM;
        for (int axis = first; axis <= last; ++axis) {
            d->range_min[axis] = range->lMin;
            d->range_max[axis] = range->lMax;
        }
    } else {
        const DIPROPDWORD* zone = reinterpret_cast<const DIPROPDWORD*>(header);
        if (header->dwSize != sizeof(DIPROPDWORD) || zone->dwData > 10000)
            return DIERR_INVALIDPARAM;
        for (int axis = first; axis <= last; ++axis)
            d->dead_zone[axis] = zone->dwData;
    }
    return g.done(DI_OK);
}

HRESULT IDirectInputDevice::GetDeviceInfo(DIDEVICEINSTANCE* instance)
{
    di_device* d = self(this);
    gate g = {d3d_call("InputDevice.GetDeviceInfo", "%s", d->kind_name())};
    if (g.failed())
        return g.injected;
    if (!instance || instance->dwSize != sizeof(DIDEVICEINSTANCE))
        return DIERR_INVALIDPARAM;
    describe(instance, d->kind, d->joystick);
    return g.done(DI_OK);
}

HRESULT IDirectInputDevice::Acquire()
{
    di_device* d = self(this);
    gate g = {d3d_call("InputDevice.Acquire", "%s", d->kind_name())};
    if (g.failed())
        return g.injected;
    if (!d->format)
        return DIERR_INVALIDPARAM;
    if (!d->in_foreground())
        return DIERR_OTHERAPPHASPRIO;
    if (d->acquired)
        return g.done(DI_NOEFFECT);
    d->acquired = true;
    d->take_pointer();
    return g.done(DI_OK);
}

HRESULT IDirectInputDevice::Unacquire()
{
    di_device* d = self(this);
    gate g = {d3d_call("InputDevice.Unacquire", "%s", d->kind_name())};
    if (g.failed())
        return g.injected;
    if (!d->acquired)
        return g.done(DI_NOEFFECT);
    d->release_pointer();
    d->acquired = false;
    return g.done(DI_OK);
}

HRESULT IDirectInputDevice::GetDeviceState(DWORD size, void* data)
{
    di_device* d = self(this);
    gate g = {d3d_call("InputDevice.GetDeviceState", "%s %u", d->kind_name(), (unsigned)size)};
    if (g.failed())
        return g.injected;
    if (!data || !d->format || size != d->format->dwDataSize)
        return DIERR_INVALIDPARAM;
    if (!d->acquired)
        return DIERR_NOTACQUIRED;
    if (!d->in_foreground()) {
        // The window lost the focus: the device lets go and says so once.
        d->release_pointer();
        d->acquired = false;
        return DIERR_INPUTLOST;
    }
    if (d->kind == KIND_KEYBOARD)
        d->read_keyboard(static_cast<BYTE*>(data));
    else if (d->kind == KIND_MOUSE)
        d->read_mouse(static_cast<DIMOUSESTATE*>(data));
    else
        d->read_joystick(static_cast<DIJOYSTATE*>(data));
    return g.done(DI_OK);
}

HRESULT IDirectInputDevice2::Poll()
{
    di_device* d = self(this);
    gate g = {d3d_call("InputDevice.Poll", "%s", d->kind_name())};
    if (g.failed())
        return g.injected;
    if (!d->acquired)
        return DIERR_NOTACQUIRED;
    if (d->kind != KIND_JOYSTICK)
        return g.done(DI_NOEFFECT);
    if (!state().test_mode)
        SDL_JoystickUpdate();
    return g.done(DI_OK);
}

// ---- the test machine

void dinput_set_test_mode(int on)
{
    dinput_state& s = state();
    bool sdl_joysticks = s.sdl_joysticks;
    s = dinput_state();
    s.sdl_joysticks = sdl_joysticks;
    s.test_mode = on != 0;
}

void dinput_test_set_joystick_count(int count)
{
    state().joystick_count = count < 0                           ? 0
                             : count > DINPUT_TEST_MAX_JOYSTICKS ? DINPUT_TEST_MAX_JOYSTICKS
                                                                 : count;
}

void dinput_test_set_key(int32_t scan_code, int down)
{
    if (scan_code >= 0 && scan_code < 256)
        state().keys[scan_code] = down ? 0x80 : 0;
}

void dinput_test_move_mouse(LONG dx, LONG dy)
{
    state().mouse_dx += dx;
    state().mouse_dy += dy;
}

void dinput_test_set_mouse_button(int button, int down)
{
    if (button >= 0 && button < 4)
        state().mouse_buttons[button] = down ? 0x80 : 0;
}

void dinput_test_set_joystick_axes(int joystick, int x, int y)
{
    if (joystick < 0 || joystick >= DINPUT_TEST_MAX_JOYSTICKS)
        return;
    auto clamp = [](int v) { return v < -32768 ? -32768 : v > 32767 ? 32767 : v; };
    state().joysticks[joystick].x = clamp(x);
    state().joysticks[joystick].y = clamp(y);
}

void dinput_test_set_joystick_button(int joystick, int button, int down)
{
    if (joystick >= 0 && joystick < DINPUT_TEST_MAX_JOYSTICKS && button >= 0 && button < 32)
        state().joysticks[joystick].buttons[button] = down ? 0x80 : 0;
}

void dinput_test_release_all(void)
{
    dinput_state& s = state();
    std::memset(s.keys, 0, sizeof s.keys);
    s.mouse_dx = s.mouse_dy = 0;
    std::memset(s.mouse_buttons, 0, sizeof s.mouse_buttons);
    std::memset(s.joysticks, 0, sizeof s.joysticks);
}

int dinput_test_mouse_captured(void)
{
    return state().mouse_captured ? 1 : 0;
}
