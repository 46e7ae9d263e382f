// The window and message subset of the Windows user interface that the game
// uses, declared under its usual names and implemented on SDL2.
//
// One window record stands behind each HWND. With a video driver the record
// owns an SDL window; headless (tests) it is a plain record with the same
// messages; without a display a top-level window cannot be made. SDL events
// become the messages a window procedure expects, in the order Windows sends
// them:
//   - showing a window for the first time: WM_SHOWWINDOW, WM_ACTIVATEAPP,
//     WM_ACTIVATE, WM_SETFOCUS, WM_SIZE (SIZE_RESTORED, client size), WM_MOVE;
//   - focus gained: WM_ACTIVATEAPP (TRUE), WM_ACTIVATE (WA_ACTIVE), WM_SETFOCUS;
//   - focus lost: WM_ACTIVATE (WA_INACTIVE), WM_ACTIVATEAPP (FALSE), WM_KILLFOCUS;
//   - size and position changes: WM_SIZE, then WM_MOVE;
//   - minimise: WM_SIZE (SIZE_MINIMIZED, 0); restore: WM_SIZE (SIZE_RESTORED);
//   - close button: WM_CLOSE.
// These are sent (the procedure runs inside PeekMessage, as on Windows);
// keys, typed characters, mouse moves, buttons and the wheel are posted to
// the queue. Window sizes are client sizes: the stand-in window has no frame
// of its own.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct platform_window;
struct platform_accel_table;

typedef platform_window* HWND;
typedef void* HINSTANCE;
typedef void* HMODULE;
typedef void* HICON;
typedef void* HCURSOR;
typedef void* HBRUSH;
typedef void* HMENU;
typedef void* HANDLE;
typedef platform_accel_table* HACCEL;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uint16_t ATOM;
typedef const char* LPCSTR;

#define CALLBACK
#define WINAPI

typedef LRESULT (*WNDPROC)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

struct POINT {
    LONG x, y;
};
struct RECT {
    LONG left, top, right, bottom;
};
struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
struct WNDCLASS {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};
// One accelerator: virtual-key flags, the key and the command id.
struct ACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
};

#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((uintptr_t)(l)) >> 16) & 0xffff))
#define MAKELONG(low, high) ((LONG)(((WORD)(low)) | (((DWORD)((WORD)(high))) << 16)))
#define MAKEWPARAM(low, high) ((WPARAM)(DWORD)MAKELONG(low, high))
#define MAKELPARAM(low, high) ((LPARAM)(DWORD)MAKELONG(low, high))

// Messages.
enum : UINT {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_SETTEXT = 0x000C,
    WM_GETTEXT = 0x000D,
    WM_GETTEXTLENGTH = 0x000E,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_SHOWWINDOW = 0x0018,
    WM_ACTIVATEAPP = 0x001C,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_INITDIALOG = 0x0110,
    WM_COMMAND = 0x0111,
    WM_SYSCOMMAND = 0x0112,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_RBUTTONDBLCLK = 0x0206,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_MBUTTONDBLCLK = 0x0209,
    WM_MOUSEWHEEL = 0x020A,
    WM_USER = 0x0400,
};

// WM_SIZE kinds, WM_ACTIVATE states, mouse-key flags of mouse messages.
enum { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };
enum { WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2 };
enum {
    MK_LBUTTON = 0x01,
    MK_RBUTTON = 0x02,
    MK_SHIFT = 0x04,
    MK_CONTROL = 0x08,
    MK_MBUTTON = 0x10
};
// One notch of the wheel, in the high word of WM_MOUSEWHEEL's wparam.
enum { WHEEL_DELTA = 120 };

// Virtual keys (letters and digits are their upper-case ASCII codes).
enum : WORD {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_MBUTTON = 0x04,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_PAUSE = 0x13,
    VK_CAPITAL = 0x14,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_NUMPAD0 = 0x60,
    VK_MULTIPLY = 0x6A,
    VK_ADD = 0x6B,
    VK_SUBTRACT = 0x6D,
    VK_DECIMAL = 0x6E,
    VK_DIVIDE = 0x6F,
    VK_F1 = 0x70,
    VK_F2,
    VK_F3,
    VK_F4,
    VK_F5,
    VK_F6,
    VK_F7,
    VK_F8,
    VK_F9,
    VK_F10,
    VK_F11,
    VK_F12,
};

// Window styles, class styles, ShowWindow commands, SetWindowPos flags.
enum : DWORD {
    WS_OVERLAPPED = 0x00000000,
    WS_POPUP = 0x80000000,
    WS_CHILD = 0x40000000,
    WS_MINIMIZE = 0x20000000,
    WS_VISIBLE = 0x10000000,
    WS_CAPTION = 0x00C00000,
    WS_BORDER = 0x00800000,
    WS_VSCROLL = 0x00200000,
    WS_SYSMENU = 0x00080000,
    WS_THICKFRAME = 0x00040000,
    WS_MINIMIZEBOX = 0x00020000,
    WS_MAXIMIZEBOX = 0x00010000,
    WS_TABSTOP = 0x00010000,
    WS_OVERLAPPEDWINDOW = 0x00CF0000,
};
enum { CS_DBLCLKS = 0x0008 };
#define CW_USEDEFAULT ((int)0x80000000)
enum {
    SW_HIDE = 0,
    SW_SHOWNORMAL = 1,
    SW_SHOWMINIMIZED = 2,
    SW_SHOWMAXIMIZED = 3,
    SW_SHOW = 5,
    SW_MINIMIZE = 6,
    SW_RESTORE = 9,
    SW_SHOWDEFAULT = 10,
};
enum : UINT {
    SWP_NOSIZE = 0x0001,
    SWP_NOMOVE = 0x0002,
    SWP_NOZORDER = 0x0004,
    SWP_NOACTIVATE = 0x0010,
    SWP_FRAMECHANGED = 0x0020,
    SWP_SHOWWINDOW = 0x0040,
    SWP_HIDEWINDOW = 0x0080,
};
#define HWND_TOP ((HWND)0)
#define HWND_TOPMOST ((HWND)(intptr_t)-1)
#define HWND_NOTOPMOST ((HWND)(intptr_t)-2)
enum { GWL_WNDPROC = -4, GWL_STYLE = -16, GWL_EXSTYLE = -20 };
enum { RDW_INVALIDATE = 0x0001, RDW_FRAME = 0x0400 };
enum { PM_NOREMOVE = 0x0000, PM_REMOVE = 0x0001 };

// Accelerator flags.
enum : BYTE { FVIRTKEY = 0x01, FNOINVERT = 0x02, FSHIFT = 0x04, FCONTROL = 0x08, FALT = 0x10 };

// Message boxes.
enum : UINT {
    MB_OK = 0x00000000,
    MB_OKCANCEL = 0x00000001,
    MB_YESNO = 0x00000004,
    MB_ICONHAND = 0x00000010,
    MB_ICONERROR = 0x00000010,
    MB_ICONWARNING = 0x00000030,
    MB_ICONINFORMATION = 0x00000040,
    MB_SYSTEMMODAL = 0x00001000,
    MB_SETFOREGROUND = 0x00010000,
    MB_TOPMOST = 0x00040000,
};
enum { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Stock resources named by the window class.
#define IDC_ARROW ((LPCSTR)(uintptr_t)32512)
#define IDI_APPLICATION ((LPCSTR)(uintptr_t)32512)
#define MAKEINTRESOURCE(id) ((LPCSTR)(uintptr_t)(WORD)(id))

// Window classes and windows.
ATOM RegisterClass(const WNDCLASS* window_class);
BOOL UnregisterClass(LPCSTR class_name, HINSTANCE instance);
HWND CreateWindowEx(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    void* param);
HWND CreateWindow(LPCSTR class_name, LPCSTR title, DWORD style, int x, int y, int width, int height,
                  HWND parent, HMENU menu, HINSTANCE instance, void* param);
// Why the last window could not be made (no display, or the video driver's
// own reason), for the program to tell its user; "" when it was made.
const char* platform_window_failure(void);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int width, int height, UINT flags);
// The previous value. GWL_WNDPROC takes and gives the procedure as a
// pointer-sized value.
LONG_PTR SetWindowLong(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLong(HWND window, int index);
BOOL RedrawWindow(HWND window, const RECT* update_rect, void* update_region, UINT flags);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
// Through WM_GETTEXT: the text cut to size - 1 characters; its length.
int GetWindowText(HWND window, char* text, int size);
HWND GetParent(HWND window);
// A disabled window (the owner of a modal dialog) keeps getting its
// messages, but a close request waits in the queue. EnableWindow returns
// TRUE when the window was disabled before.
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
HWND SetCapture(HWND window);
BOOL ReleaseCapture(void);
HWND GetCapture(void);
// The window that has the keyboard focus (it got WM_SETFOCUS last and has not
// lost it since), or NULL.
HWND GetFocus(void);

// Messages.
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT SendMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
BOOL PostMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void PostQuitMessage(int exit_code);
// `min_message` and `max_message` both 0 take every message.
BOOL PeekMessage(MSG* msg, HWND window, UINT min_message, UINT max_message, UINT remove);
BOOL WaitMessage(void);
// Reports whether `msg` is a key message. Character messages (WM_CHAR, one
// Latin-1 character each) come from the window system's text input, not
// from here.
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessage(const MSG* msg);
// Bit 15 set while the key is down: as of the last message taken from the
// queue (GetKeyState), or as the window system reported it last
// (GetAsyncKeyState).
short GetKeyState(int virtual_key);
short GetAsyncKeyState(int virtual_key);

// Accelerator tables. The executable's tables are registered by name at
// start-up (they stand in for its resources) and loaded by that name.
void platform_register_accelerators(LPCSTR name, const ACCEL* entries, int count);
HACCEL LoadAccelerators(HINSTANCE instance, LPCSTR name);
// Sends WM_COMMAND (command id in the low word, 1 in the high word) to
// `window` and returns 1 when `msg` is a key press that matches an entry.
int TranslateAccelerator(HWND window, HACCEL table, const MSG* msg);

// Cursor, icons, module.
// The display counter: the cursor shows while it is 0 or more. Returns the
// new value.
int ShowCursor(BOOL show);
HCURSOR LoadCursor(HINSTANCE instance, LPCSTR name);
HICON LoadIcon(HINSTANCE instance, LPCSTR name);
HICON CopyIcon(HICON icon);
BOOL DestroyCursor(HCURSOR cursor);
HMODULE GetModuleHandle(LPCSTR name);

// Message boxes. In the scripted mode (tests) a box does not wait: it is
// recorded and answered at once (see win32_test.h). Without a display, and
// once the program has been asked to end (SIGINT, SIGTERM), a box waits for
// nobody: its caption and text go to stderr and it answers IDOK.
int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
int MessageBoxEx(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD language);

// 1 once the program has been asked to end (SIGINT, SIGTERM), also while the
// request still waits in the window system's queue: work that runs long
// between two turns of the message loop (loading a level) asks, and stops.
int platform_termination_requested(void);
