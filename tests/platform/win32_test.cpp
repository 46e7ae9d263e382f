#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform/win32_test.h"
#include "platform_support.h"

namespace {

struct seen_message {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    bool operator==(const seen_message& other) const
    {
        return message == other.message && wparam == other.wparam && lparam == other.lparam;
    }
};

std::vector<seen_message> seen;

LRESULT recording_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    seen.push_back({message, wparam, lparam});
    return DefWindowProc(window, message, wparam, lparam);
}

LRESULT other_proc(HWND, UINT, WPARAM, LPARAM)
{
    return 7;
}

std::string describe(const std::vector<seen_message>& messages)
{
    std::string text;
    for (const seen_message& m : messages)
        text += std::to_string(m.message) + "(" + std::to_string(m.wparam) + "," +
                std::to_string(m.lparam) + ") ";
    return text;
}

class Messages : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        window = test_make_window("Message Test Window", recording_proc, 30, 40);
        ASSERT_NE(window, nullptr);
        seen.clear();
    }
    void TearDown() override { win32_reset(); }

    void feed(platform_event event) { ASSERT_EQ(win32_feed_event(window, &event), 1); }
    // Runs the message loop until the queue is empty, as the main loop does.
    void pump(HACCEL accelerators = nullptr)
    {
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                break;
            if (!TranslateAccelerator(window, accelerators, &msg)) {
                TranslateMessage(&msg);
                DispatchMessage(&msg);
            }
        }
    }

    HWND window = nullptr;
};

TEST_F(Messages, ShowingTheWindowSendsActivationThenSizeAndMove)
{
    ShowWindow(window, SW_SHOWNORMAL);
    std::vector<seen_message> expected = {
        {WM_SHOWWINDOW, TRUE, 0},
        {WM_ACTIVATEAPP, TRUE, 0},
        {WM_ACTIVATE, WA_ACTIVE, 0},
        {WM_SETFOCUS, 0, 0},
        {WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480)},
        {WM_MOVE, 0, MAKELPARAM(30, 40)},
    };
    EXPECT_EQ(seen, expected) << describe(seen);

    seen.clear();
    ShowWindow(window, SW_SHOW);  // already shown: nothing changes
    EXPECT_TRUE(seen.empty()) << describe(seen);
}

TEST_F(Messages, WindowEventsBecomeMessagesInOrder)
{
    ShowWindow(window, SW_SHOW);
    seen.clear();
    feed({PLATFORM_EVENT_MOVED, 100, 50, nullptr, 0, 0, 0, 0});
    feed({PLATFORM_EVENT_SIZE_CHANGED, 800, 600, nullptr, 0, 0, 0, 0});
    feed({PLATFORM_EVENT_SIZE_CHANGED, 800, 600, nullptr, 0, 0, 0, 0});  // no change: no message
    feed({PLATFORM_EVENT_MINIMIZED, 0, 0, nullptr, 0, 0, 0, 0});
    feed({PLATFORM_EVENT_FOCUS_LOST, 0, 0, nullptr, 0, 0, 0, 0});
    feed({PLATFORM_EVENT_RESTORED, 0, 0, nullptr, 0, 0, 0, 0});
    feed({PLATFORM_EVENT_FOCUS_GAINED, 0, 0, nullptr, 0, 0, 0, 0});
    feed({PLATFORM_EVENT_MAXIMIZED, 0, 0, nullptr, 0, 0, 0, 0});
    pump();
    std::vector<seen_message> expected = {
        {WM_MOVE, 0, MAKELPARAM(100, 50)},
        {WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600)},
        {WM_SIZE, SIZE_MINIMIZED, 0},
        {WM_ACTIVATE, WA_INACTIVE, 0},
        {WM_ACTIVATEAPP, FALSE, 0},
        {WM_KILLFOCUS, 0, 0},
        {WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600)},
        {WM_ACTIVATEAPP, TRUE, 0},
        {WM_ACTIVATE, WA_ACTIVE, 0},
        {WM_SETFOCUS, 0, 0},
        {WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(800, 600)},
    };
    EXPECT_EQ(seen, expected) << describe(seen);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
}

TEST_F(Messages, KeysAndMouseArePostedWithTheirParameters)
{
    feed({PLATFORM_EVENT_KEY_DOWN, 0, 0, "F2", 0, 0, 0, 0});
    feed({PLATFORM_EVENT_KEY_DOWN, 0, 0, "F2", 0, 1, 0, 0});
    feed({PLATFORM_EVENT_KEY_UP, 0, 0, "F2", 0, 0, 0, 0});
    feed({PLATFORM_EVENT_KEY_DOWN, 0, 0, "Return", PLATFORM_MOD_ALT, 0, 0, 0});
    feed({PLATFORM_EVENT_MOUSE_MOTION, 12, 34, nullptr, 0, 0, 0, 0});
    feed({PLATFORM_EVENT_BUTTON_DOWN, 5, 6, nullptr, 0, 0, 1, 1});
    feed(
        {PLATFORM_EVENT_BUTTON_DOWN, 5, 6, nullptr, 0, 0, 1, 2});  // the class has no double clicks
    feed({PLATFORM_EVENT_BUTTON_UP, 5, 6, nullptr, 0, 0, 3, 1});
    pump();
    ASSERT_EQ(seen.size(), 8u) << describe(seen);
    EXPECT_EQ(seen[0].message, (UINT)WM_KEYDOWN);
    EXPECT_EQ(seen[0].wparam, (WPARAM)VK_F2);
    EXPECT_EQ(seen[0].lparam & 0xFFFF, 1);
    EXPECT_EQ(seen[0].lparam & ((LPARAM)1 << 30), 0);
    EXPECT_NE(seen[1].lparam & ((LPARAM)1 << 30), 0);  // auto-repeat: was down before
    EXPECT_EQ(seen[2].message, (UINT)WM_KEYUP);
    EXPECT_NE(seen[2].lparam & ((LPARAM)1 << 31), 0);
    EXPECT_EQ(seen[3].message, (UINT)WM_SYSKEYDOWN);  // Alt held
    EXPECT_EQ(seen[3].wparam, (WPARAM)VK_RETURN);
    EXPECT_NE(seen[3].lparam & ((LPARAM)1 << 29), 0);
    EXPECT_EQ(seen[4], (seen_message{WM_MOUSEMOVE, 0, MAKELPARAM(12, 34)}));
    EXPECT_EQ(seen[5], (seen_message{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6)}));
    EXPECT_EQ(seen[6].message, (UINT)WM_LBUTTONDOWN);
    EXPECT_EQ(seen[7].message, (UINT)WM_RBUTTONUP);
}

TEST_F(Messages, AcceleratorsTurnKeysIntoCommands)
{
    const ACCEL table[] = {
        {FVIRTKEY | FNOINVERT, VK_ESCAPE, 40001},
        {FVIRTKEY | FNOINVERT, VK_F2, 40010},
        {FVIRTKEY | FALT | FNOINVERT, VK_RETURN, 40011},
        {FVIRTKEY | FALT | FNOINVERT, 'X', 40001},
    };
    platform_register_accelerators("TEST_ACCEL", table, 4);
    HACCEL accelerators = LoadAccelerators(nullptr, "TEST_ACCEL");
    ASSERT_NE(accelerators, nullptr);
    feed({PLATFORM_EVENT_KEY_DOWN, 0, 0, "Return", PLATFORM_MOD_ALT, 0, 0, 0});
    feed({PLATFORM_EVENT_KEY_DOWN, 0, 0, "Return", 0, 0, 0, 0});
    feed({PLATFORM_EVENT_KEY_DOWN, 0, 0, "X", 0, 0, 0, 0});
    feed({PLATFORM_EVENT_KEY_DOWN, 0, 0, "X", PLATFORM_MOD_ALT, 0, 0, 0});
    feed({PLATFORM_EVENT_KEY_DOWN, 0, 0, "Escape", 0, 0, 0, 0});
    pump(accelerators);
    std::vector<UINT> messages;
    for (const seen_message& m : seen)
        messages.push_back(m.message == WM_COMMAND ? (UINT)LOWORD(m.wparam) : m.message);
    std::vector<UINT> expected = {40011, WM_KEYDOWN, WM_KEYDOWN, 40001, 40001};
    EXPECT_EQ(messages, expected) << describe(seen);
}

TEST_F(Messages, ATerminationRequestClosesTheWindowAsItsCloseButtonWould)
{
    feed({PLATFORM_EVENT_QUIT, 0, 0, nullptr, 0, 0, 0, 0});
    pump();
    ASSERT_EQ(seen.size(), 2u) << describe(seen);
    EXPECT_EQ(seen[0].message, (UINT)WM_CLOSE);
    EXPECT_EQ(seen[1].message, (UINT)WM_DESTROY);
}

TEST_F(Messages, CloseDestroysTheWindowAndQuitComesAfterQueuedMessages)
{
    feed({PLATFORM_EVENT_CLOSE, 0, 0, nullptr, 0, 0, 0, 0});
    pump();
    ASSERT_EQ(seen.size(), 2u) << describe(seen);
    EXPECT_EQ(seen[0].message, (UINT)WM_CLOSE);
    EXPECT_EQ(seen[1].message, (UINT)WM_DESTROY);
    EXPECT_FALSE(IsWindow(window));

    PostQuitMessage(3);
    PostMessage(nullptr, WM_USER, 1, 2);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_USER);
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, (WPARAM)3);
    EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, PeekFiltersByMessageRange)
{
    PostMessage(window, WM_LBUTTONDOWN, 0, 0);
    PostMessage(window, WM_LBUTTONUP, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, window, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_LBUTTONUP);
    EXPECT_FALSE(PeekMessage(&msg, window, WM_RBUTTONDOWN, WM_RBUTTONDOWN, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessage(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_LBUTTONDOWN);
}

TEST_F(Messages, WindowProcedureSwapAndWindowPlacement)
{
    LONG_PTR previous = SetWindowLong(window, GWL_WNDPROC, (LONG_PTR)other_proc);
    EXPECT_EQ(previous, (LONG_PTR)recording_proc);
    EXPECT_EQ(SendMessage(window, WM_USER, 0, 0), 7);
    SetWindowLong(window, GWL_WNDPROC, previous);

    ShowWindow(window, SW_SHOW);
    seen.clear();
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 320, 200, SWP_FRAMECHANGED);
    std::vector<seen_message> expected = {{WM_SIZE, SIZE_RESTORED, MAKELPARAM(320, 200)},
                                          {WM_MOVE, 0, 0}};
    EXPECT_EQ(seen, expected) << describe(seen);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right, 320);
    POINT point = {5, 6};
    ClientToScreen(window, &point);
    EXPECT_EQ(point.x, 5);
}

// With a window manager the window crept 1 pixel right and 20 down on every
// trip to full screen and back: GetWindowRect gave the client's origin and
// SetWindowPos put the frame there. Both speak of the frame, as on the
// original platform, so that what one gives the other takes unchanged.
TEST_F(Messages, WindowRectsAreTheFrameAroundTheClient)
{
    ShowWindow(window, SW_SHOW);
    win32_set_window_frame(window, 1, 20, 1, 1);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 29);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.right, 30 + 640 + 1);
    EXPECT_EQ(rect.bottom, 40 + 480 + 1);

    // Full screen: a window without a caption has no frame.
    SetWindowLong(window, GWL_STYLE, WS_POPUP | WS_BORDER | WS_SYSMENU);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 640, 480, SWP_FRAMECHANGED);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(client.right, 640);

    // And back, where GetWindowRect found the window.
    SetWindowLong(window, GWL_STYLE, WS_OVERLAPPEDWINDOW);
    SetWindowPos(window, HWND_NOTOPMOST, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_SHOWWINDOW | SWP_FRAMECHANGED | SWP_NOACTIVATE);
    origin = {0, 0};
    ClientToScreen(window, &origin);
    GetClientRect(window, &client);
    EXPECT_EQ(origin.x, 30);
    EXPECT_EQ(origin.y, 40);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    RECT again;
    GetWindowRect(window, &again);
    EXPECT_EQ(again.left, rect.left);
    EXPECT_EQ(again.top, rect.top);
}

TEST(Cursor, CounterShowsWhileNotNegative)
{
    test_reset_state();
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);
}

TEST(MessageBoxes, ScriptedBoxesAnswerAtOnceAndAreKept)
{
    test_reset_state();
    win32_message_box_script(1, IDOK);
    EXPECT_EQ(MessageBoxEx(nullptr, "There was an error", "Error During Session", 0x51010, 0),
              IDOK);
    ASSERT_EQ(win32_message_box_count(), 1);
    const char* text = nullptr;
    const char* caption = nullptr;
    UINT type = 0;
    ASSERT_TRUE(win32_message_box_get(0, nullptr, &text, &caption, &type));
    EXPECT_STREQ(text, "There was an error");
    EXPECT_STREQ(caption, "Error During Session");
    EXPECT_EQ(type, 0x51010u);
    EXPECT_FALSE(win32_message_box_get(1, nullptr, &text, &caption, &type));
    win32_reset();
}

}  // namespace
