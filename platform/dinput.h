// The DirectInput subset that the game uses, under its usual names: the
// DirectInput object, keyboard, mouse and joystick devices with their data
// formats, cooperative levels, properties, polling and immediate device
// state.
//
// Devices are read from SDL2: the keyboard from SDL's keyboard state (as
// DIK_* scan codes), the mouse as relative motion and buttons (an exclusive
// mouse puts SDL in relative mouse mode while it is acquired), joysticks and
// game controllers from SDL's joystick and game-controller interfaces. In the
// test mode (dinput_test.h) no SDL device is touched: tests set the states.
//
// Foreground devices follow the keyboard focus of the window stand-in: they
// can be acquired only while their window has the focus, and a read after
// the focus went elsewhere reports DIERR_INPUTLOST once and unacquires.
//
// Every HRESULT method passes the call gate of d3d_record.h under a name
// "DirectInputCreate", "DirectInput.Method" or "InputDevice.Method", so tests
// can inject failures.
#pragma once

#include <cstdint>

#include "platform/d3d.h"
#include "platform/win32.h"
#include "platform/win_types.h"

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
typedef const GUID& REFGUID;
typedef const GUID& REFIID;

extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;
extern const GUID IID_IDirectInputDeviceA;
extern const GUID IID_IDirectInputDevice2A;

// The description of one device; 580 bytes, as the callers size it.
struct DIDEVICEINSTANCE {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;  // DIDEVTYPE_* in the low byte
    CHAR tszInstanceName[260];
    CHAR tszProductName[260];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};
static_assert(sizeof(DIDEVICEINSTANCE) == 580, "DIDEVICEINSTANCE keeps its 580 bytes");
typedef DIDEVICEINSTANCE* LPDIDEVICEINSTANCE;
typedef const DIDEVICEINSTANCE* LPCDIDEVICEINSTANCE;

enum : DWORD {
    DIDEVTYPE_DEVICE = 1,
    DIDEVTYPE_MOUSE = 2,
    DIDEVTYPE_KEYBOARD = 3,
    DIDEVTYPE_JOYSTICK = 4,
};
enum : DWORD { DIEDFL_ALLDEVICES = 0, DIEDFL_ATTACHEDONLY = 1 };
enum : BOOL { DIENUM_STOP = 0, DIENUM_CONTINUE = 1 };
typedef BOOL (*LPDIENUMDEVICESCALLBACK)(LPCDIDEVICEINSTANCE instance, void* ref);

// The data formats: what GetDeviceState fills and how many bytes.
struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    const void* rgodf;
};
extern const DIDATAFORMAT c_dfDIKeyboard;  // 256 bytes, one per scan code
extern const DIDATAFORMAT c_dfDIMouse;     // DIMOUSESTATE
extern const DIDATAFORMAT c_dfDIJoystick;  // DIJOYSTATE

struct DIMOUSESTATE {
    LONG lX, lY, lZ;     // motion since the last read
    BYTE rgbButtons[4];  // 0 left, 1 right, 2 middle; high bit while held
};
static_assert(sizeof(DIMOUSESTATE) == 16, "DIMOUSESTATE keeps its 16 bytes");
struct DIJOYSTATE {
    LONG lX, lY, lZ;
    LONG lRx, lRy, lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];  // 0xFFFFFFFF centred
    BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80, "DIJOYSTATE keeps its 80 bytes");
// Offsets of the joystick axes in DIJOYSTATE, for properties by offset.
enum : DWORD { DIJOFS_X = 0, DIJOFS_Y = 4 };

// Cooperative levels.
enum : DWORD {
    DISCL_EXCLUSIVE = 0x1,
    DISCL_NONEXCLUSIVE = 0x2,
    DISCL_FOREGROUND = 0x4,
    DISCL_BACKGROUND = 0x8,
};

// Properties.
struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin, lMax;
};
enum : DWORD { DIPH_DEVICE = 0, DIPH_BYOFFSET = 1 };
typedef DWORD DIPROPERTY;
enum : DIPROPERTY {
    DIPROP_BUFFERSIZE = 1,  // DIPROPDWORD, whole device
    DIPROP_RANGE = 4,       // DIPROPRANGE, joystick axes
    DIPROP_DEADZONE = 5,    // DIPROPDWORD, 0 .. 10000 of the range, joystick axes
};

// Results.
#define DI_OK S_OK
#define DI_NOEFFECT S_FALSE
#define DIERR_OLDDIRECTINPUTVERSION ((HRESULT)0x8007047E)
#define DIERR_BETADIRECTINPUTVERSION ((HRESULT)0x80070481)
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_NOINTERFACE ((HRESULT)0x80004002)
#define DIERR_DEVICENOTREG ((HRESULT)0x80040154)
#define DIERR_OBJECTNOTFOUND ((HRESULT)0x80070002)
#define DIERR_UNSUPPORTED E_NOTIMPL
#define DIERR_NOTACQUIRED ((HRESULT)0x8007000C)
#define DIERR_INPUTLOST ((HRESULT)0x8007001E)
#define DIERR_ACQUIRED ((HRESULT)0x800700AA)
#define DIERR_OTHERAPPHASPRIO ((HRESULT)0x80070005)

// A device. CreateDevice gives the first interface; QueryInterface with
// IID_IDirectInputDevice2A gives the second, which adds Poll.
struct IDirectInputDevice : IUnknown {
    HRESULT QueryInterface(REFIID iid, void** out);
    HRESULT SetDataFormat(const DIDATAFORMAT* format);
    HRESULT SetCooperativeLevel(HWND window, DWORD flags);
    HRESULT SetProperty(DIPROPERTY property, const DIPROPHEADER* header);
    HRESULT GetDeviceInfo(DIDEVICEINSTANCE* instance);
    // DI_OK when acquired now, DI_NOEFFECT when it already was.
    HRESULT Acquire();
    HRESULT Unacquire();
    // `size` must be the data format's size.
    HRESULT GetDeviceState(DWORD size, void* data);

protected:
    IDirectInputDevice() = default;
};
struct IDirectInputDevice2 : IDirectInputDevice {
    HRESULT Poll();

protected:
    IDirectInputDevice2() = default;
};
typedef IDirectInputDevice* LPDIRECTINPUTDEVICE;
typedef IDirectInputDevice2* LPDIRECTINPUTDEVICE2;

struct IDirectInput : IUnknown {
    HRESULT CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE* device, IUnknown* outer);
    // Calls `callback` for each device of `device_type` (0: all) until it
    // returns DIENUM_STOP.
    HRESULT EnumDevices(DWORD device_type, LPDIENUMDEVICESCALLBACK callback, void* ref,
                        DWORD flags);

protected:
    IDirectInput() = default;
};
typedef IDirectInput* LPDIRECTINPUT;

// Versions 0x0300 to 0x0700.
HRESULT DirectInputCreate(HINSTANCE instance, DWORD version, LPDIRECTINPUT* direct_input,
                          IUnknown* outer);

// Keyboard scan codes.
// clang-format off
enum : int32_t {
    DIK_ESCAPE = 0x01,
    DIK_1 = 0x02, DIK_2 = 0x03, DIK_3 = 0x04, DIK_4 = 0x05, DIK_5 = 0x06,
    DIK_6 = 0x07, DIK_7 = 0x08, DIK_8 = 0x09, DIK_9 = 0x0A, DIK_0 = 0x0B,
    DIK_MINUS = 0x0C, DIK_EQUALS = 0x0D, DIK_BACK = 0x0E, DIK_TAB = 0x0F,
    DIK_Q = 0x10, DIK_W = 0x11, DIK_E = 0x12, DIK_R = 0x13, DIK_T = 0x14,
    DIK_Y = 0x15, DIK_U = 0x16, DIK_I = 0x17, DIK_O = 0x18, DIK_P = 0x19,
    DIK_LBRACKET = 0x1A, DIK_RBRACKET = 0x1B, DIK_RETURN = 0x1C, DIK_LCONTROL = 0x1D,
    DIK_A = 0x1E, DIK_S = 0x1F, DIK_D = 0x20, DIK_F = 0x21, DIK_G = 0x22,
    DIK_H = 0x23, DIK_J = 0x24, DIK_K = 0x25, DIK_L = 0x26,
    DIK_SEMICOLON = 0x27, DIK_APOSTROPHE = 0x28, DIK_GRAVE = 0x29, DIK_LSHIFT = 0x2A,
    DIK_BACKSLASH = 0x2B,
    DIK_Z = 0x2C, DIK_X = 0x2D, DIK_C = 0x2E, DIK_V = 0x2F, DIK_B = 0x30,
    DIK_N = 0x31, DIK_M = 0x32,
    DIK_COMMA = 0x33, DIK_PERIOD = 0x34, DIK_SLASH = 0x35, DIK_RSHIFT = 0x36,
    DIK_MULTIPLY = 0x37, DIK_LMENU = 0x38, DIK_SPACE = 0x39, DIK_CAPITAL = 0x3A,
    DIK_F1 = 0x3B, DIK_F2 = 0x3C, DIK_F3 = 0x3D, DIK_F4 = 0x3E, DIK_F5 = 0x3F,
    DIK_F6 = 0x40, DIK_F7 = 0x41, DIK_F8 = 0x42, DIK_F9 = 0x43, DIK_F10 = 0x44,
    DIK_NUMLOCK = 0x45, DIK_SCROLL = 0x46,
    DIK_NUMPAD7 = 0x47, DIK_NUMPAD8 = 0x48, DIK_NUMPAD9 = 0x49, DIK_SUBTRACT = 0x4A,
    DIK_NUMPAD4 = 0x4B, DIK_NUMPAD5 = 0x4C, DIK_NUMPAD6 = 0x4D, DIK_ADD = 0x4E,
    DIK_NUMPAD1 = 0x4F, DIK_NUMPAD2 = 0x50, DIK_NUMPAD3 = 0x51, DIK_NUMPAD0 = 0x52,
    DIK_DECIMAL = 0x53, DIK_OEM_102 = 0x56, DIK_F11 = 0x57, DIK_F12 = 0x58,
    DIK_NUMPADENTER = 0x9C, DIK_RCONTROL = 0x9D, DIK_NUMPADCOMMA = 0xB3, DIK_DIVIDE = 0xB5,
    DIK_SYSRQ = 0xB7, DIK_RMENU = 0xB8, DIK_PAUSE = 0xC5, DIK_HOME = 0xC7,
    DIK_UP = 0xC8, DIK_PRIOR = 0xC9, DIK_LEFT = 0xCB, DIK_RIGHT = 0xCD,
    DIK_END = 0xCF, DIK_DOWN = 0xD0, DIK_NEXT = 0xD1, DIK_INSERT = 0xD2,
    DIK_DELETE = 0xD3, DIK_LWIN = 0xDB, DIK_RWIN = 0xDC, DIK_APPS = 0xDD,
};
// clang-format on
