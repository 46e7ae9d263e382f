// Windows, the message queue and SDL event translation. See win32.h for the
// message orders kept.

#include "platform/win32.h"
#include "platform/report.h"
#include "platform/timer.h"
#include "platform/win32_test.h"
#include "platform/window_internal.h"
#include <SDL.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <signal.h>
#include <string>
#include <vector>

struct platform_window {
    std::string class_name;
    std::string title;
    WNDPROC proc;
    UINT class_style;
    LONG_PTR style;
    LONG_PTR ex_style;
    int x, y, width, height;  // client origin on the screen and client size
    // The frame the window manager puts around a window with a caption
    // (left, top, right, bottom), as it last said; none until it did.
    int frame[4];
    bool visible;
    bool minimized;
    bool maximized;
    // What the procedure was last told, so that repeated SDL events and our
    // own synthesised messages do not report a change twice.
    int reported_kind, reported_width, reported_height;
    int reported_x, reported_y;
    SDL_Window* sdl;
    uint32_t id;
    // Inner windows (dialogs and their controls) are drawn inside the SDL
    // window of their top-level ancestor and have none of their own.
    HWND parent;
    bool enabled;
    void* data;
};

struct platform_accel_table {
    std::vector<ACCEL> entries;
};

namespace {

struct window_class {
    std::string name;
    WNDPROC proc;
    UINT style;
};

struct message_box_record {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

struct named_accel {
    std::string name;
    platform_accel_table* table;
};

struct win32_state {
    bool headless = false;
    bool sdl_events = false;
    bool sdl_video = false;
    std::vector<window_class> classes;
    std::vector<platform_window*> windows;
    std::deque<MSG> queue;
    bool quit_posted = false;
    int quit_code = 0;
    // The program was asked to end (SIGINT, SIGTERM): no box waits for a
    // click any more.
    bool termination_requested = false;
    // Why the last top-level window got no SDL window; empty after one did.
    std::string window_failure;
    bool app_active = false;
    HWND focus = nullptr;
    HWND capture = nullptr;
    int cursor_count = 0;
    // Key and button state: as the window system reported it last (async),
    // and as of the last message taken from the queue (what GetKeyState
    // gives, so that a key message reads the modifiers held with it).
    uint8_t keys[256] = {};
    uint8_t message_keys[256] = {};
    uint32_t next_virtual_id = 0x10000;
    bool boxes_scripted = false;
    int box_answer = IDOK;
    std::vector<message_box_record> boxes;
    std::vector<named_accel> accelerators;
};

win32_state& state()
{
    static win32_state* s = new win32_state();  // lives for the whole run
    return *s;
}

bool ensure_sdl_events()
{
    win32_state& s = state();
    if (!s.sdl_events) {
        // SDL_QUIT then means only a termination request, never "the last
        // window closed", which the window's own close event reports.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        s.sdl_events = SDL_InitSubSystem(SDL_INIT_EVENTS) == 0;
    }
    return s.sdl_events;
}

// SDL's video drivers that show nothing. With no driver asked for, SDL falls
// back to them when it reaches no display, and the game would run in a window
// nobody sees, its frames paced by nothing: they serve only when asked for by
// name (SDL_VIDEODRIVER=offscreen, as the GL tests do).
bool shows_nothing(const char* driver)
{
    static const char* const unseen[] = {"offscreen", "dummy", "evdev"};
    for (const char* name : unseen)
        if (SDL_strcasecmp(driver, name) == 0)
            return true;
    return false;
}

bool start_video(win32_state& s)
{
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");  // the user's choice
    bool chosen_by_name = requested && *requested;
    if (!chosen_by_name) {
        std::string drivers;
        for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
            const char* driver = SDL_GetVideoDriver(i);
            if (!shows_nothing(driver))
                drivers += (drivers.empty() ? "" : ",") + std::string(driver);
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)
        return true;
    s.window_failure = chosen_by_name
                           ? std::string("SDL could not start its video driver: ") + SDL_GetError()
                           : std::string("no display found (SDL: ") + SDL_GetError() +
                                 "); set DISPLAY or WAYLAND_DISPLAY, or name a driver in "
                                 "SDL_VIDEODRIVER";
    PLATFORM_ERROR("No video: %s", s.window_failure.c_str());
    return false;
}

bool ensure_sdl_video()
{
    win32_state& s = state();
    if (s.headless)
        return false;
    if (!s.sdl_video)
        s.sdl_video = start_video(s);
    return s.sdl_video;
}

platform_window* find_window(uint32_t id)
{
    for (platform_window* window : state().windows)
        if (window->id == id)
            return window;
    return nullptr;
}

bool is_window(HWND window)
{
    for (platform_window* w : state().windows)
        if (w == window)
            return true;
    return false;
}

LRESULT send(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (!is_window(window) || !window->proc)
        return 0;
    return window->proc(window, message, wparam, lparam);
}

void post(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    MSG msg = {};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wparam;
    msg.lParam = lparam;
    msg.time = timeGetTime();
    state().queue.push_back(msg);
}

void report_size(HWND window, int kind)
{
    int width = kind == SIZE_MINIMIZED ? 0 : window->width;
    int height = kind == SIZE_MINIMIZED ? 0 : window->height;
    if (kind == window->reported_kind && width == window->reported_width &&
        height == window->reported_height)
        return;
    window->reported_kind = kind;
    window->reported_width = width;
    window->reported_height = height;
    send(window, WM_SIZE, (WPARAM)kind, MAKELPARAM(width, height));
}

void report_move(HWND window)
{
    if (window->x == window->reported_x && window->y == window->reported_y)
        return;
    window->reported_x = window->x;
    window->reported_y = window->y;
    send(window, WM_MOVE, 0, MAKELPARAM(window->x, window->y));
}

int size_kind(HWND window)
{
    return window->minimized ? SIZE_MINIMIZED : window->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
}

void activate(HWND window)
{
    win32_state& s = state();
    if (!s.app_active) {
        s.app_active = true;
        send(window, WM_ACTIVATEAPP, TRUE, 0);
    }
    if (s.focus != window) {
        s.focus = window;
        send(window, WM_ACTIVATE, WA_ACTIVE, 0);
        send(window, WM_SETFOCUS, 0, 0);
    }
}

void deactivate(HWND window)
{
    win32_state& s = state();
    bool had_focus = s.focus == window;
    if (had_focus)
        send(window, WM_ACTIVATE, WA_INACTIVE, 0);
    if (s.app_active) {
        s.app_active = false;
        send(window, WM_ACTIVATEAPP, FALSE, 0);
    }
    if (had_focus) {
        s.focus = nullptr;
        send(window, WM_KILLFOCUS, 0, 0);
    }
}

void show(HWND window, bool minimized, bool maximized)
{
    if (window->sdl) {
        SDL_ShowWindow(window->sdl);
        if (minimized)
            SDL_MinimizeWindow(window->sdl);
        else if (maximized)
            SDL_MaximizeWindow(window->sdl);
    }
    bool was_visible = window->visible;
    window->visible = true;
    window->minimized = minimized;
    window->maximized = maximized;
    if (!was_visible)
        send(window, WM_SHOWWINDOW, TRUE, 0);
    if (!minimized)
        activate(window);
    report_size(window, size_kind(window));
    report_move(window);
}

void hide(HWND window)
{
    if (!window->visible)
        return;
    if (window->sdl)
        SDL_HideWindow(window->sdl);
    window->visible = false;
    send(window, WM_SHOWWINDOW, FALSE, 0);
    if (state().focus == window)
        deactivate(window);
}

struct key_map {
    SDL_Scancode scancode;
    WORD vk;
};

const key_map key_table[] = {
    {SDL_SCANCODE_BACKSPACE, VK_BACK},
    {SDL_SCANCODE_TAB, VK_TAB},
    {SDL_SCANCODE_RETURN, VK_RETURN},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT},
    {SDL_SCANCODE_LCTRL, VK_CONTROL},
    {SDL_SCANCODE_RCTRL, VK_CONTROL},
    {SDL_SCANCODE_LALT, VK_MENU},
    {SDL_SCANCODE_RALT, VK_MENU},
    {SDL_SCANCODE_PAUSE, VK_PAUSE},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
    {SDL_SCANCODE_SPACE, VK_SPACE},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
    {SDL_SCANCODE_END, VK_END},
    {SDL_SCANCODE_HOME, VK_HOME},
    {SDL_SCANCODE_LEFT, VK_LEFT},
    {SDL_SCANCODE_UP, VK_UP},
    {SDL_SCANCODE_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_DOWN, VK_DOWN},
    {SDL_SCANCODE_INSERT, VK_INSERT},
    {SDL_SCANCODE_DELETE, VK_DELETE},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY},
    {SDL_SCANCODE_KP_PLUS, VK_ADD},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE},
};

WORD virtual_key(SDL_Scancode scancode)
{
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return (WORD)('A' + (scancode - SDL_SCANCODE_A));
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return (WORD)('1' + (scancode - SDL_SCANCODE_1));
    if (scancode == SDL_SCANCODE_0)
        return '0';
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
        return (WORD)(VK_F1 + (scancode - SDL_SCANCODE_F1));
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9)
        return (WORD)(VK_NUMPAD0 + 1 + (scancode - SDL_SCANCODE_KP_1));
    if (scancode == SDL_SCANCODE_KP_0)
        return VK_NUMPAD0;
    for (const key_map& entry : key_table)
        if (entry.scancode == scancode)
            return entry.vk;
    return 0;
}

WPARAM mouse_key_flags()
{
    const uint8_t* keys = state().keys;
    WPARAM flags = 0;
    if (keys[VK_LBUTTON])
        flags |= MK_LBUTTON;
    if (keys[VK_RBUTTON])
        flags |= MK_RBUTTON;
    if (keys[VK_MBUTTON])
        flags |= MK_MBUTTON;
    if (keys[VK_SHIFT])
        flags |= MK_SHIFT;
    if (keys[VK_CONTROL])
        flags |= MK_CONTROL;
    return flags;
}

void translate_key(HWND window, const SDL_KeyboardEvent& key)
{
    WORD vk = virtual_key(key.keysym.scancode);
    if (!vk)
        return;
    bool down = key.type == SDL_KEYDOWN;
    bool alt = (key.keysym.mod & KMOD_ALT) != 0 || (vk == VK_MENU && down);
    state().keys[vk] = down ? 1 : 0;
    LPARAM lparam = 1 | ((LPARAM)(key.keysym.scancode & 0xff) << 16);
    if (alt)
        lparam |= (LPARAM)1 << 29;
    if (!down || key.repeat)
        lparam |= (LPARAM)1 << 30;
    if (!down)
        lparam |= (LPARAM)1 << 31;
    bool system = alt || vk == VK_F10;
    UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    post(window, message, vk, lparam);
}

// Typed text (UTF-8) as one character message per character; characters
// beyond Latin-1 have no place in the program's 8-bit texts and are dropped.
void translate_text(HWND window, const char* text)
{
    const unsigned char* c = (const unsigned char*)text;
    while (*c) {
        unsigned code = *c++;
        int more = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
        if (more)
            code &= 0x3Fu >> more;
        for (; more > 0 && (*c & 0xC0) == 0x80; --more)
            code = code << 6 | (*c++ & 0x3Fu);
        if (more == 0 && code >= 0x20 && code <= 0xFF && code != 0x7F)
            post(window, WM_CHAR, code, 1);
    }
}

void translate_button(HWND window, const SDL_MouseButtonEvent& button)
{
    static const struct {
        uint8_t sdl_button;
        WORD vk;
        UINT down, up, double_click;
    } buttons[] = {
        {SDL_BUTTON_LEFT, VK_LBUTTON, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK},
        {SDL_BUTTON_RIGHT, VK_RBUTTON, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK},
        {SDL_BUTTON_MIDDLE, VK_MBUTTON, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK},
    };
    for (const auto& entry : buttons) {
        if (entry.sdl_button != button.button)
            continue;
        bool down = button.type == SDL_MOUSEBUTTONDOWN;
        state().keys[entry.vk] = down ? 1 : 0;
        UINT message = entry.up;
        if (down)
            message = (button.clicks >= 2 && (window->class_style & CS_DBLCLKS))
                          ? entry.double_click
                          : entry.down;
        post(window, message, mouse_key_flags(), MAKELPARAM(button.x, button.y));
    }
}

// The close button's request. A window disabled by a modal dialog gets it
// once the dialog has given it back (the dialog closes first).
void request_close(platform_window* window)
{
    if (window->enabled)
        send(window, WM_CLOSE, 0, 0);
    else
        post(window, WM_CLOSE, 0, 0);
}

void translate_window_event(HWND window, const SDL_WindowEvent& event)
{
    switch (event.event) {
    case SDL_WINDOWEVENT_MOVED:
        window->x = event.data1;
        window->y = event.data2;
        report_move(window);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        window->width = event.data1;
        window->height = event.data2;
        if (!window->minimized)
            report_size(window, size_kind(window));
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        window->minimized = true;
        report_size(window, SIZE_MINIMIZED);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        window->minimized = false;
        window->maximized = true;
        report_size(window, SIZE_MAXIMIZED);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        window->minimized = false;
        window->maximized = false;
        report_size(window, SIZE_RESTORED);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        activate(window);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        deactivate(window);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        request_close(window);
        break;
    default:
        break;
    }
}

void translate(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_QUIT:
        // The program was asked to end (SIGINT, SIGTERM): every top-level
        // window gets the request its close button would give, so the game
        // shuts down in order and writes its configuration and log.
        state().termination_requested = true;
        for (platform_window* window : std::vector<platform_window*>(state().windows))
            if (!window->parent)
                request_close(window);
        break;
    case SDL_WINDOWEVENT:
        if (platform_window* window = find_window(event.window.windowID))
            translate_window_event(window, event.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (platform_window* window = find_window(event.key.windowID))
            translate_key(window, event.key);
        break;
    case SDL_MOUSEMOTION:
        if (platform_window* window = find_window(event.motion.windowID))
            post(window, WM_MOUSEMOVE, mouse_key_flags(),
                 MAKELPARAM(event.motion.x, event.motion.y));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (platform_window* window = find_window(event.button.windowID))
            translate_button(window, event.button);
        break;
    case SDL_MOUSEWHEEL:
        if (platform_window* window = find_window(event.wheel.windowID)) {
            int x = 0, y = 0;
            SDL_GetMouseState(&x, &y);
            WORD delta = (WORD)(int16_t)(event.wheel.y * WHEEL_DELTA);
            post(window, WM_MOUSEWHEEL, MAKEWPARAM(mouse_key_flags(), delta),
                 MAKELPARAM(window->x + x, window->y + y));
        }
        break;
    case SDL_TEXTINPUT:
        if (platform_window* window = find_window(event.text.windowID))
            translate_text(window, event.text.text);
        break;
    default:
        break;
    }
}

void pump()
{
    if (!state().sdl_events)
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event))
        translate(event);
}

// The key and button state that a message taken from the queue carries.
void take_key_state(const MSG& msg)
{
    static const struct {
        UINT message;
        WORD vk;
        uint8_t down;
    } buttons[] = {
        {WM_LBUTTONDOWN, VK_LBUTTON, 1},   {WM_LBUTTONDBLCLK, VK_LBUTTON, 1},
        {WM_LBUTTONUP, VK_LBUTTON, 0},     {WM_RBUTTONDOWN, VK_RBUTTON, 1},
        {WM_RBUTTONDBLCLK, VK_RBUTTON, 1}, {WM_RBUTTONUP, VK_RBUTTON, 0},
        {WM_MBUTTONDOWN, VK_MBUTTON, 1},   {WM_MBUTTONDBLCLK, VK_MBUTTON, 1},
        {WM_MBUTTONUP, VK_MBUTTON, 0},
    };
    uint8_t* keys = state().message_keys;
    if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.wParam < 256)
        keys[msg.wParam] = 1;
    else if ((msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP) && msg.wParam < 256)
        keys[msg.wParam] = 0;
    for (const auto& button : buttons)
        if (button.message == msg.message)
            keys[button.vk] = button.down;
}

bool matches(const MSG& msg, HWND window, UINT min_message, UINT max_message)
{
    if (window && msg.hwnd != window)
        return false;
    if (min_message == 0 && max_message == 0)
        return true;
    return msg.message >= min_message && msg.message <= max_message;
}

void destroy_record(HWND window)
{
    win32_state& s = state();
    if (window->sdl)
        SDL_DestroyWindow(window->sdl);
    for (size_t i = 0; i < s.windows.size(); ++i)
        if (s.windows[i] == window)
            s.windows.erase(s.windows.begin() + (long)i);
    for (auto it = s.queue.begin(); it != s.queue.end();)
        it = it->hwnd == window ? s.queue.erase(it) : it + 1;
    if (s.focus == window)
        s.focus = nullptr;
    if (s.capture == window)
        s.capture = nullptr;
    delete window;
}

}  // namespace

SDL_Window* platform_window_sdl(HWND window)
{
    return is_window(window) ? window->sdl : nullptr;
}

HWND platform_window_make_inner(HWND parent, WNDPROC proc, DWORD style, const char* text, int x,
                                int y, int width, int height)
{
    win32_state& s = state();
    if (parent && !is_window(parent))
        return nullptr;
    platform_window* window = new platform_window();
    window->title = text ? text : "";
    window->proc = proc;
    window->class_style = 0;
    window->style = style & ~(DWORD)WS_VISIBLE;
    window->ex_style = 0;
    window->x = x;
    window->y = y;
    window->width = width;
    window->height = height;
    window->visible = (style & WS_VISIBLE) != 0;
    window->reported_kind = window->reported_width = window->reported_height = -1;
    window->reported_x = window->reported_y = INT32_MIN;
    window->sdl = nullptr;
    window->id = s.next_virtual_id++;
    window->parent = parent;
    window->enabled = true;
    window->data = nullptr;
    s.windows.push_back(window);
    return window;
}

void platform_window_set_data(HWND window, void* data)
{
    if (is_window(window))
        window->data = data;
}

void* platform_window_data(HWND window)
{
    return is_window(window) ? window->data : nullptr;
}

// ---- window classes and windows

ATOM RegisterClass(const WNDCLASS* wanted)
{
    if (!wanted || !wanted->lpszClassName)
        return 0;
    win32_state& s = state();
    for (const window_class& known : s.classes)
        if (known.name == wanted->lpszClassName)
            return 0;
    s.classes.push_back({wanted->lpszClassName, wanted->lpfnWndProc, wanted->style});
    return (ATOM)s.classes.size();
}

BOOL UnregisterClass(LPCSTR class_name, HINSTANCE)
{
    win32_state& s = state();
    for (size_t i = 0; class_name && i < s.classes.size(); ++i) {
        if (s.classes[i].name == class_name) {
            s.classes.erase(s.classes.begin() + (long)i);
            return TRUE;
        }
    }
    return FALSE;
}

HWND CreateWindowEx(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x, int y,
                    int width, int height, HWND, HMENU, HINSTANCE, void*)
{
    win32_state& s = state();
    const window_class* found = nullptr;
    for (const window_class& known : s.classes)
        if (class_name && known.name == class_name)
            found = &known;
    if (!found)
        return nullptr;
    ensure_sdl_events();

    platform_window* window = new platform_window();
    window->class_name = found->name;
    window->title = title ? title : "";
    window->proc = found->proc;
    window->class_style = found->style;
    window->style = style & ~(DWORD)WS_VISIBLE;
    window->ex_style = ex_style;
    window->x = x == CW_USEDEFAULT ? 0 : x;
    window->y = y == CW_USEDEFAULT ? 0 : y;
    window->width = width == CW_USEDEFAULT ? 640 : width;
    window->height = height == CW_USEDEFAULT ? 480 : height;
    window->reported_kind = window->reported_width = window->reported_height = -1;
    window->reported_x = window->reported_y = INT32_MIN;
    window->enabled = true;
    if (ensure_sdl_video()) {
        Uint32 flags = SDL_WINDOW_HIDDEN | ((style & WS_THICKFRAME) ? SDL_WINDOW_RESIZABLE : 0);
        int sdl_x = x == CW_USEDEFAULT ? (int)SDL_WINDOWPOS_UNDEFINED : x;
        int sdl_y = y == CW_USEDEFAULT ? (int)SDL_WINDOWPOS_UNDEFINED : y;
        window->sdl = SDL_CreateWindow(window->title.c_str(), sdl_x, sdl_y, window->width,
                                       window->height, flags | SDL_WINDOW_OPENGL);
        if (!window->sdl)
            window->sdl = SDL_CreateWindow(window->title.c_str(), sdl_x, sdl_y, window->width,
                                           window->height, flags);
        if (!window->sdl) {
            s.window_failure = std::string("SDL could not make the window: ") + SDL_GetError();
            PLATFORM_ERROR("No window \"%s\": %s", window->title.c_str(), SDL_GetError());
        }
    }
    // Only headless is a window without a display right: anywhere else it
    // would be a game nobody can see.
    if (!window->sdl && !s.headless) {
        delete window;
        return nullptr;
    }
    if (window->sdl) {
        s.window_failure.clear();
        window->id = SDL_GetWindowID(window->sdl);
        SDL_GetWindowPosition(window->sdl, &window->x, &window->y);
        SDL_SetWindowBordered(window->sdl, (style & WS_CAPTION) ? SDL_TRUE : SDL_FALSE);
    } else {
        window->id = s.next_virtual_id++;
    }
    s.windows.push_back(window);
    if (send(window, WM_CREATE, 0, 0) == -1) {
        destroy_record(window);
        return nullptr;
    }
    if (style & WS_VISIBLE)
        show(window, false, false);
    return window;
}

HWND CreateWindow(LPCSTR class_name, LPCSTR title, DWORD style, int x, int y, int width, int height,
                  HWND parent, HMENU menu, HINSTANCE instance, void* param)
{
    return CreateWindowEx(0, class_name, title, style, x, y, width, height, parent, menu, instance,
                          param);
}

BOOL DestroyWindow(HWND window)
{
    if (!is_window(window))
        return FALSE;
    // Children first, each with its own WM_DESTROY.
    for (bool found = true; found;) {
        found = false;
        for (platform_window* child : state().windows) {
            if (child->parent == window) {
                DestroyWindow(child);
                found = true;
                break;
            }
        }
    }
    if (!is_window(window))
        return TRUE;
    if (window->visible && !window->parent)
        hide(window);
    send(window, WM_DESTROY, 0, 0);
    if (is_window(window))
        destroy_record(window);
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    return is_window(window) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command)
{
    if (!is_window(window))
        return FALSE;
    BOOL was_visible = window->visible ? TRUE : FALSE;
    switch (command) {
    case SW_HIDE:
        hide(window);
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
        show(window, true, false);
        break;
    case SW_SHOWMAXIMIZED:
        show(window, false, true);
        break;
    default:
        show(window, false, false);
        break;
    }
    return was_visible;
}

BOOL UpdateWindow(HWND window)
{
    return is_window(window) ? TRUE : FALSE;
}

BOOL GetClientRect(HWND window, RECT* rect)
{
    if (!is_window(window) || !rect)
        return FALSE;
    *rect = {0, 0, window->width, window->height};
    return TRUE;
}

namespace {

// The frame around the client of `window` with the style it has now: the
// window manager's frame for a window with a caption, as last known (a frame
// just put back after full screen is not known to SDL at once), none for
// any other.
void frame_of(HWND window, int frame[4])
{
    bool captioned = (window->style & WS_CAPTION) == WS_CAPTION;
    int top = 0, left = 0, bottom = 0, right = 0;
    if (captioned && window->sdl &&
        SDL_GetWindowBordersSize(window->sdl, &top, &left, &bottom, &right) == 0 &&
        (top | left | bottom | right) != 0) {
        const int known[4] = {left, top, right, bottom};
        memcpy(window->frame, known, sizeof window->frame);
    }
    for (int i = 0; i < 4; ++i)
        frame[i] = captioned ? window->frame[i] : 0;
}

}  // namespace

// As on the original platform, the window rectangle is the frame's, and
// SetWindowPos places the frame: a caller that puts a window back where
// GetWindowRect found it moves nothing.
BOOL GetWindowRect(HWND window, RECT* rect)
{
    if (!is_window(window) || !rect)
        return FALSE;
    int frame[4];
    frame_of(window, frame);
    *rect = {window->x - frame[0], window->y - frame[1], window->x + window->width + frame[2],
             window->y + window->height + frame[3]};
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point)
{
    if (!is_window(window) || !point)
        return FALSE;
    point->x += window->x;
    point->y += window->y;
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int width, int height, UINT flags)
{
    if (!is_window(window))
        return FALSE;
    int frame[4];
    frame_of(window, frame);
    if (!(flags & SWP_NOMOVE)) {
        window->x = x + frame[0];
        window->y = y + frame[1];
        // SDL takes the client's origin and puts the frame where it thinks
        // the frame is, by the frame it knows now (none, just after a frame
        // was put back): given that frame's offset, the frame lands at x, y.
        int top = 0, left = 0;
        if (window->sdl) {
            if (SDL_GetWindowBordersSize(window->sdl, &top, &left, nullptr, nullptr) != 0)
                top = left = 0;
            SDL_SetWindowPosition(window->sdl, x + left, y + top);
        }
    }
    if (!(flags & SWP_NOSIZE)) {
        window->width = std::max(width - frame[0] - frame[2], 0);
        window->height = std::max(height - frame[1] - frame[3], 0);
        if (window->sdl)
            SDL_SetWindowSize(window->sdl, window->width, window->height);
    }
    if (flags & SWP_HIDEWINDOW) {
        hide(window);
        return TRUE;
    }
    if ((flags & SWP_SHOWWINDOW) && !window->visible) {
        show(window, false, false);
        return TRUE;
    }
    if (window->visible) {
        report_size(window, size_kind(window));
        report_move(window);
    }
    return TRUE;
}

LONG_PTR SetWindowLong(HWND window, int index, LONG_PTR value)
{
    if (!is_window(window))
        return 0;
    LONG_PTR previous = 0;
    switch (index) {
    case GWL_WNDPROC:
        previous = (LONG_PTR)window->proc;
        window->proc = (WNDPROC)value;
        break;
    case GWL_STYLE:
        previous = window->style;
        window->style = value;
        if (window->sdl) {
            SDL_SetWindowBordered(window->sdl, (value & WS_CAPTION) ? SDL_TRUE : SDL_FALSE);
            SDL_SetWindowResizable(window->sdl, (value & WS_THICKFRAME) ? SDL_TRUE : SDL_FALSE);
        }
        break;
    case GWL_EXSTYLE:
        previous = window->ex_style;
        window->ex_style = value;
        break;
    default:
        break;
    }
    return previous;
}

LONG_PTR GetWindowLong(HWND window, int index)
{
    if (!is_window(window))
        return 0;
    switch (index) {
    case GWL_WNDPROC:
        return (LONG_PTR)window->proc;
    case GWL_STYLE:
        return window->style | (window->visible ? (LONG_PTR)WS_VISIBLE : 0);
    case GWL_EXSTYLE:
        return window->ex_style;
    default:
        return 0;
    }
}

BOOL RedrawWindow(HWND window, const RECT*, void*, UINT)
{
    return window == nullptr || is_window(window) ? TRUE : FALSE;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL)
{
    return window == nullptr || is_window(window) ? TRUE : FALSE;
}

int GetWindowText(HWND window, char* text, int size)
{
    if (!text || size <= 0)
        return 0;
    text[0] = '\0';
    return is_window(window) ? (int)send(window, WM_GETTEXT, (WPARAM)size, (LPARAM)text) : 0;
}

HWND GetParent(HWND window)
{
    return is_window(window) ? window->parent : nullptr;
}

BOOL EnableWindow(HWND window, BOOL enable)
{
    if (!is_window(window))
        return FALSE;
    BOOL was_disabled = window->enabled ? FALSE : TRUE;
    window->enabled = enable != FALSE;
    return was_disabled;
}

BOOL IsWindowEnabled(HWND window)
{
    return is_window(window) && window->enabled ? TRUE : FALSE;
}

HWND SetCapture(HWND window)
{
    HWND previous = state().capture;
    state().capture = is_window(window) ? window : nullptr;
    if (state().sdl_video)
        SDL_CaptureMouse(state().capture ? SDL_TRUE : SDL_FALSE);
    return previous;
}

BOOL ReleaseCapture(void)
{
    state().capture = nullptr;
    if (state().sdl_video)
        SDL_CaptureMouse(SDL_FALSE);
    return TRUE;
}

HWND GetCapture(void)
{
    return state().capture;
}

HWND GetFocus(void)
{
    return state().focus;
}

// ---- messages

LRESULT DefWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_GETTEXT: {
        char* text = (char*)lparam;
        if (!is_window(window) || !text || wparam == 0)
            return 0;
        size_t length = std::min(window->title.size(), (size_t)wparam - 1);
        memcpy(text, window->title.data(), length);
        text[length] = '\0';
        return (LRESULT)length;
    }
    case WM_GETTEXTLENGTH:
        return is_window(window) ? (LRESULT)window->title.size() : 0;
    case WM_SETTEXT:
        if (!is_window(window))
            return FALSE;
        window->title = lparam ? (const char*)lparam : "";
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_SYSKEYDOWN:
        if (wparam == VK_F4 && (lparam & ((LPARAM)1 << 29)))
            send(window, WM_CLOSE, 0, 0);
        return 0;
    default:
        return 0;
    }
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return send(window, message, wparam, lparam);
}

BOOL PostMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (window && !is_window(window))
        return FALSE;
    post(window, message, wparam, lparam);
    return TRUE;
}

void PostQuitMessage(int exit_code)
{
    state().quit_posted = true;
    state().quit_code = exit_code;
}

BOOL PeekMessage(MSG* msg, HWND window, UINT min_message, UINT max_message, UINT remove)
{
    if (!msg)
        return FALSE;
    win32_state& s = state();
    pump();
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
        if (!matches(*it, window, min_message, max_message))
            continue;
        *msg = *it;
        if (remove & PM_REMOVE) {
            s.queue.erase(it);
            take_key_state(*msg);
        }
        return TRUE;
    }
    // The quit message comes when nothing else waits, as on Windows.
    MSG quit = {};
    quit.message = WM_QUIT;
    if (s.quit_posted && matches(quit, nullptr, min_message, max_message)) {
        quit.wParam = (WPARAM)s.quit_code;
        quit.time = timeGetTime();
        *msg = quit;
        if (remove & PM_REMOVE)
            s.quit_posted = false;
        return TRUE;
    }
    return FALSE;
}

BOOL WaitMessage(void)
{
    win32_state& s = state();
    if (!s.queue.empty() || s.quit_posted || !s.sdl_events)
        return TRUE;
    // Headless nothing can arrive but what a test feeds, so do not block.
    if (s.sdl_video)
        SDL_WaitEventTimeout(nullptr, 100);
    return TRUE;
}

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg)
        return FALSE;
    return msg->message >= WM_KEYDOWN && msg->message <= WM_SYSKEYUP ? TRUE : FALSE;
}

LRESULT DispatchMessage(const MSG* msg)
{
    if (!msg || !msg->hwnd)
        return 0;
    return send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

short GetKeyState(int virtual_key)
{
    if (virtual_key < 0 || virtual_key > 255)
        return 0;
    return state().message_keys[virtual_key] ? (short)0x8000 : (short)0;
}

short GetAsyncKeyState(int virtual_key)
{
    if (virtual_key < 0 || virtual_key > 255)
        return 0;
    return state().keys[virtual_key] ? (short)0x8000 : (short)0;
}

// ---- accelerators

void platform_register_accelerators(LPCSTR name, const ACCEL* entries, int count)
{
    if (!name || !entries || count <= 0)
        return;
    HACCEL table = new platform_accel_table();
    table->entries.assign(entries, entries + count);
    for (named_accel& known : state().accelerators) {
        if (known.name == name) {
            delete known.table;
            known.table = table;
            return;
        }
    }
    state().accelerators.push_back({name, table});
}

HACCEL LoadAccelerators(HINSTANCE, LPCSTR name)
{
    for (const named_accel& known : state().accelerators)
        if (name && known.name == name)
            return known.table;
    return nullptr;
}

int TranslateAccelerator(HWND window, HACCEL table, const MSG* msg)
{
    if (!table || !msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
        return 0;
    bool alt = (msg->lParam & ((LPARAM)1 << 29)) != 0;
    bool control = GetKeyState(VK_CONTROL) < 0;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    for (const ACCEL& entry : table->entries) {
        if (!(entry.fVirt & FVIRTKEY) || entry.key != msg->wParam)
            continue;
        if (alt != ((entry.fVirt & FALT) != 0) || control != ((entry.fVirt & FCONTROL) != 0) ||
            shift != ((entry.fVirt & FSHIFT) != 0))
            continue;
        send(window, WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0);
        return 1;
    }
    return 0;
}

// ---- cursor, icons, module

int ShowCursor(BOOL show)
{
    win32_state& s = state();
    s.cursor_count += show ? 1 : -1;
    if (s.sdl_video)
        SDL_ShowCursor(s.cursor_count >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return s.cursor_count;
}

namespace {
int stock_resource;  // the address stands for every stock cursor and icon
}

HCURSOR LoadCursor(HINSTANCE, LPCSTR)
{
    return &stock_resource;
}

HICON LoadIcon(HINSTANCE, LPCSTR)
{
    return &stock_resource;
}

HICON CopyIcon(HICON icon)
{
    return icon;
}

BOOL DestroyCursor(HCURSOR cursor)
{
    return cursor ? TRUE : FALSE;
}

HMODULE GetModuleHandle(LPCSTR)
{
    return &stock_resource;
}

// ---- message boxes

namespace {

// Whether the program has been asked to end, also when the request still
// waits in SDL's queue.
bool termination_requested(win32_state& s)
{
    if (!s.termination_requested && s.sdl_events) {
        SDL_PumpEvents();
        s.termination_requested = SDL_HasEvent(SDL_QUIT) == SDL_TRUE;
    }
    return s.termination_requested;
}

// A native box runs an event loop of its own, which never hands on a
// termination request; while it is up, SIGINT and SIGTERM end the program at
// once, as they do without SDL (an ignored signal stays ignored).
struct signals_while_boxed {
    struct sigaction previous[2];
    static constexpr int numbers[2] = {SIGINT, SIGTERM};

    signals_while_boxed()
    {
        struct sigaction fatal = {};
        fatal.sa_handler = SIG_DFL;
        for (int i = 0; i < 2; ++i) {
            sigaction(numbers[i], nullptr, &previous[i]);
            if (previous[i].sa_handler != SIG_IGN)
                sigaction(numbers[i], &fatal, nullptr);
        }
    }
    ~signals_while_boxed()
    {
        for (int i = 0; i < 2; ++i)
            sigaction(numbers[i], &previous[i], nullptr);
    }
};

}  // namespace

int MessageBoxEx(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD)
{
    win32_state& s = state();
    if (s.boxes_scripted) {
        s.boxes.push_back({owner, text ? text : "", caption ? caption : "", type});
        return s.box_answer;
    }
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((type & 0xF0) == MB_ICONHAND)
        flags = SDL_MESSAGEBOX_ERROR;
    else if ((type & 0xF0) == MB_ICONWARNING)
        flags = SDL_MESSAGEBOX_WARNING;
    SDL_Window* parent = is_window(owner) ? owner->sdl : nullptr;
    // A program asked to end waits for no click: the box goes to stderr.
    bool shown = false;
    if (s.sdl_video && !termination_requested(s)) {
        signals_while_boxed fatal_signals;
        shown = SDL_ShowSimpleMessageBox(flags, caption ? caption : "", text ? text : "", parent) ==
                0;
    }
    if (!shown)
        fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    return IDOK;
}

int platform_termination_requested(void)
{
    return termination_requested(state()) ? 1 : 0;
}

int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    return MessageBoxEx(owner, text, caption, type, 0);
}

const char* platform_window_failure(void)
{
    return state().window_failure.c_str();
}

// ---- test hooks

void win32_set_headless(int headless)
{
    state().headless = headless != 0;
}

int win32_is_headless(void)
{
    return state().headless ? 1 : 0;
}

void win32_reset(void)
{
    win32_state& s = state();
    while (!s.windows.empty())
        destroy_record(s.windows.back());
    s.queue.clear();
    s.quit_posted = false;
    s.quit_code = 0;
    s.termination_requested = false;
    s.window_failure.clear();
    s.app_active = false;
    s.focus = nullptr;
    s.capture = nullptr;
    s.cursor_count = 0;
    memset(s.keys, 0, sizeof s.keys);
    memset(s.message_keys, 0, sizeof s.message_keys);
    s.boxes_scripted = false;
    s.boxes.clear();
    if (s.sdl_events)
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

void win32_set_window_frame(HWND window, int left, int top, int right, int bottom)
{
    if (!is_window(window))
        return;
    const int frame[4] = {left, top, right, bottom};
    memcpy(window->frame, frame, sizeof window->frame);
}

int win32_feed_event(HWND window, const platform_event* event)
{
    if (!is_window(window) || !event || !ensure_sdl_events())
        return 0;
    SDL_Event sdl = {};
    static const struct {
        int kind;
        Uint8 window_event;
    } window_events[] = {
        {PLATFORM_EVENT_MOVED, SDL_WINDOWEVENT_MOVED},
        {PLATFORM_EVENT_SIZE_CHANGED, SDL_WINDOWEVENT_SIZE_CHANGED},
        {PLATFORM_EVENT_MINIMIZED, SDL_WINDOWEVENT_MINIMIZED},
        {PLATFORM_EVENT_MAXIMIZED, SDL_WINDOWEVENT_MAXIMIZED},
        {PLATFORM_EVENT_RESTORED, SDL_WINDOWEVENT_RESTORED},
        {PLATFORM_EVENT_FOCUS_GAINED, SDL_WINDOWEVENT_FOCUS_GAINED},
        {PLATFORM_EVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_LOST},
        {PLATFORM_EVENT_CLOSE, SDL_WINDOWEVENT_CLOSE},
    };
    for (const auto& entry : window_events) {
        if (entry.kind != event->kind)
            continue;
        sdl.type = SDL_WINDOWEVENT;
        sdl.window.windowID = window->id;
        sdl.window.event = entry.window_event;
        sdl.window.data1 = event->data1;
        sdl.window.data2 = event->data2;
    }
    switch (event->kind) {
    case PLATFORM_EVENT_KEY_DOWN:
    case PLATFORM_EVENT_KEY_UP: {
        SDL_Scancode scancode = SDL_GetScancodeFromName(event->key ? event->key : "");
        if (scancode == SDL_SCANCODE_UNKNOWN)
            return 0;
        sdl.type = event->kind == PLATFORM_EVENT_KEY_DOWN ? SDL_KEYDOWN : SDL_KEYUP;
        sdl.key.windowID = window->id;
        sdl.key.state = event->kind == PLATFORM_EVENT_KEY_DOWN ? SDL_PRESSED : SDL_RELEASED;
        sdl.key.repeat = (Uint8)(event->repeat ? 1 : 0);
        sdl.key.keysym.scancode = scancode;
        sdl.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
        Uint16 mod = 0;
        if (event->mod & PLATFORM_MOD_SHIFT)
            mod |= KMOD_LSHIFT;
        if (event->mod & PLATFORM_MOD_CTRL)
            mod |= KMOD_LCTRL;
        if (event->mod & PLATFORM_MOD_ALT)
            mod |= KMOD_LALT;
        sdl.key.keysym.mod = mod;
        break;
    }
    case PLATFORM_EVENT_QUIT:
        sdl.type = SDL_QUIT;
        break;
    case PLATFORM_EVENT_MOUSE_MOTION:
        sdl.type = SDL_MOUSEMOTION;
        sdl.motion.windowID = window->id;
        sdl.motion.x = event->data1;
        sdl.motion.y = event->data2;
        break;
    case PLATFORM_EVENT_TEXT:
        sdl.type = SDL_TEXTINPUT;
        sdl.text.windowID = window->id;
        snprintf(sdl.text.text, sizeof sdl.text.text, "%s", event->key ? event->key : "");
        break;
    case PLATFORM_EVENT_WHEEL:
        sdl.type = SDL_MOUSEWHEEL;
        sdl.wheel.windowID = window->id;
        sdl.wheel.y = event->data1;
        break;
    case PLATFORM_EVENT_BUTTON_DOWN:
    case PLATFORM_EVENT_BUTTON_UP:
        sdl.type = event->kind == PLATFORM_EVENT_BUTTON_DOWN ? SDL_MOUSEBUTTONDOWN
                                                             : SDL_MOUSEBUTTONUP;
        sdl.button.windowID = window->id;
        sdl.button.button = (Uint8)event->button;
        sdl.button.state = event->kind == PLATFORM_EVENT_BUTTON_DOWN ? SDL_PRESSED : SDL_RELEASED;
        sdl.button.clicks = (Uint8)(event->clicks > 0 ? event->clicks : 1);
        sdl.button.x = event->data1;
        sdl.button.y = event->data2;
        break;
    default:
        break;
    }
    if (sdl.type == 0)
        return 0;
    return SDL_PushEvent(&sdl) == 1 ? 1 : 0;
}

void win32_message_box_script(int on, int answer)
{
    state().boxes_scripted = on != 0;
    state().box_answer = answer;
    state().boxes.clear();
}

int win32_message_box_count(void)
{
    return (int)state().boxes.size();
}

int win32_message_box_get(int index, HWND* owner, const char** text, const char** caption,
                          UINT* type)
{
    const std::vector<message_box_record>& boxes = state().boxes;
    if (index < 0 || index >= (int)boxes.size())
        return 0;
    if (owner)
        *owner = boxes[(size_t)index].owner;
    if (text)
        *text = boxes[(size_t)index].text.c_str();
    if (caption)
        *caption = boxes[(size_t)index].caption.c_str();
    if (type)
        *type = boxes[(size_t)index].type;
    return 1;
}
