// Test and set-up hooks of the window stand-in: headless operation, scripted
// window-system events and scripted message boxes.
#pragma once

#include "platform/win32.h"

// Headless: windows get no SDL window and no video driver is started; every
// message still flows. Set before the first window is made.
void win32_set_headless(int headless);
int win32_is_headless(void);

// Destroys every window (without messages), empties the queue and the quit
// flag, clears key and capture state, sets the cursor counter to 0 and ends
// the scripted message-box mode. For tests.
void win32_reset(void);

// A window-system event described without SDL types. win32_feed_event turns
// it into the SDL event that SDL would deliver for `window` and queues it in
// SDL's event queue; the next PeekMessage translates it like any other.
enum platform_event_kind {
    PLATFORM_EVENT_MOVED,         // data1, data2: new client origin on the screen
    PLATFORM_EVENT_SIZE_CHANGED,  // data1, data2: new client width and height
    PLATFORM_EVENT_MINIMIZED,
    PLATFORM_EVENT_MAXIMIZED,
    PLATFORM_EVENT_RESTORED,
    PLATFORM_EVENT_FOCUS_GAINED,
    PLATFORM_EVENT_FOCUS_LOST,
    PLATFORM_EVENT_CLOSE,
    PLATFORM_EVENT_KEY_DOWN,  // key: the SDL key name ("F2", "Return", "Left Alt", "A")
    PLATFORM_EVENT_KEY_UP,
    PLATFORM_EVENT_MOUSE_MOTION,  // data1, data2: client position
    PLATFORM_EVENT_BUTTON_DOWN,   // button 1 left, 2 middle, 3 right; clicks; data1, data2
    PLATFORM_EVENT_BUTTON_UP,
    PLATFORM_EVENT_TEXT,   // key: the typed text (UTF-8)
    PLATFORM_EVENT_WHEEL,  // data1: notches, away from the user positive
    PLATFORM_EVENT_QUIT,   // a termination request (SIGINT, SIGTERM)
};
enum { PLATFORM_MOD_SHIFT = 1, PLATFORM_MOD_CTRL = 2, PLATFORM_MOD_ALT = 4 };
struct platform_event {
    int kind;
    int data1, data2;
    const char* key;
    int mod;     // PLATFORM_MOD_* held with a key
    int repeat;  // 1 for an auto-repeated key press
    int button;
    int clicks;
};
// Returns 1 when the event was queued.
int win32_feed_event(HWND window, const platform_event* event);

// The frame that a window manager puts around `window` while it has a
// caption, as SDL would report it (headless windows have none otherwise).
void win32_set_window_frame(HWND window, int left, int top, int right, int bottom);

// Scripted message boxes: while on, MessageBox and MessageBoxEx return
// `answer` at once and keep what they were asked to show.
void win32_message_box_script(int on, int answer);
int win32_message_box_count(void);
// The i-th box since the script was switched on; 0 when there is none.
int win32_message_box_get(int index, HWND* owner, const char** text, const char** caption,
                          UINT* type);
