#include "mouse.h"

#include "debug.h"

mouse_button_funct_type mouse_button_funct = def_mouse_button_funct;
mouse_move_funct_type mouse_move_funct = def_mouse_move_funct;

namespace {

int left_down = 0;
int middle_down = 0;
int right_down = 0;
int32_t mouse_x = 0;
int32_t mouse_y = 0;

// Whether a message of this kind waits in the window's queue.
bool queued(HWND window, UINT message)
{
    MSG msg;
    return PeekMessage(&msg, window, message, message, PM_NOREMOVE) != 0;
}

void remove_one(HWND window, UINT message)
{
    MSG msg;
    PeekMessage(&msg, window, message, message, PM_REMOVE);
}

// The message that waits first in the window's queue, or 0.
UINT next_queued(HWND window)
{
    MSG msg;
    return PeekMessage(&msg, window, 0, 0, PM_NOREMOVE) ? msg.message : 0;
}

// Button number, state and flag of a press or release message.
struct button_message {
    UINT message;
    int button;
    int state;
    int* flag;
};

const button_message button_messages[] = {
    {WM_LBUTTONDOWN, 0, 1, &left_down},   {WM_LBUTTONUP, 0, 0, &left_down},
    {WM_MBUTTONDOWN, 1, 1, &middle_down}, {WM_MBUTTONUP, 1, 0, &middle_down},
    {WM_RBUTTONDOWN, 2, 1, &right_down},  {WM_RBUTTONUP, 2, 0, &right_down},
};

}  // namespace

int mouse_translate_msg(HWND window, UINT message, WPARAM /*wparam*/, LPARAM lparam)
{
    POINT point;
    point.x = (LONG)((DWORD)lparam & 0xffff);
    point.y = (LONG)(((DWORD)lparam >> 16) & 0xffff);
    ClientToScreen(window, &point);
    // A client coordinate that stood for a negative 16-bit value comes out
    // 65536 too large.
    if (point.x > 65535)
        point.x -= 65536;
    if (point.y > 65535)
        point.y -= 65536;

    UINT event;
    switch (message) {
    case WM_MOUSEMOVE:
        return mouse_move_funct(point.x, point.y);
    case WM_LBUTTONDOWN:
        if (queued(window, WM_LBUTTONUP) && queued(window, WM_LBUTTONDOWN)) {
            remove_one(window, WM_LBUTTONUP);
            remove_one(window, WM_LBUTTONDOWN);
            event = WM_MBUTTONDOWN;
        } else {
            event = WM_LBUTTONDOWN;
        }
        break;
    case WM_LBUTTONUP:
        event = left_down ? WM_LBUTTONUP : WM_MBUTTONUP;
        break;
    case WM_LBUTTONDBLCLK:
        if (next_queued(window) == WM_LBUTTONUP) {
            remove_one(window, WM_LBUTTONUP);
            if (next_queued(window) == WM_LBUTTONDOWN && left_down)
                remove_one(window, WM_LBUTTONDOWN);
        }
        event = WM_MBUTTONDOWN;
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        event = WM_RBUTTONDOWN;
        break;
    case WM_RBUTTONUP:
        event = WM_RBUTTONUP;
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        event = WM_MBUTTONDOWN;
        break;
    case WM_MBUTTONUP:
        event = WM_MBUTTONUP;
        break;
    default:
        LOG_ERROR("Unexpected mouse msg = %ld\n", (long)message);
        return 0;
    }
    return mouse_button_event(window, event, point.x, point.y);
}

int mouse_button_event(HWND window, UINT message, int32_t x, int32_t y)
{
    mouse_x = x;
    mouse_y = y;
    const button_message* found = nullptr;
    for (const button_message& candidate : button_messages)
        if (candidate.message == message)
            found = &candidate;
    if (found)
        *found->flag = found->state;
    if (left_down || middle_down || right_down)
        SetCapture(window);
    else
        ReleaseCapture();
    if (!found)
        return 0;
    return mouse_button_funct(found->button, found->state, x, y);
}

int def_mouse_button_funct(int /*button*/, int /*state*/, int32_t /*x*/, int32_t /*y*/)
{
    LOG_WARNING("def_mouse_button_funct\n");
    return 0;
}

int def_mouse_move_funct(int32_t /*x*/, int32_t /*y*/)
{
    return 0;
}

int mouse_reset(void)
{
    left_down = 0;
    middle_down = 0;
    right_down = 0;
    return 1;
}
