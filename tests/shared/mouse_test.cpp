#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mouse.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "test_support.h"

namespace {

std::vector<std::string> events;

int record_button(int button, int state, int32_t x, int32_t y)
{
    events.push_back(std::to_string(button) + (state ? " press " : " release ") +
                     std::to_string(x) + "," + std::to_string(y));
    return 1;
}

LRESULT plain_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return DefWindowProc(window, message, wparam, lparam);
}

class Mouse : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        mouse_reset();
        window = test_make_window("Mouse Test Window", plain_proc, 30, 40);
        ASSERT_NE(window, nullptr);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        origin_x = origin.x;
        origin_y = origin.y;
        events.clear();
        mouse_button_funct = record_button;
    }
    void TearDown() override
    {
        mouse_button_funct = def_mouse_button_funct;
        mouse_move_funct = def_mouse_move_funct;
        mouse_reset();
        win32_reset();
    }
    // Clears the queue of what window creation left in it.
    void drain()
    {
        MSG msg;
        while (PeekMessage(&msg, window, 0, 0, PM_REMOVE)) {
        }
    }
    std::string at(int x, int y) const
    {
        return std::to_string(origin_x + x) + "," + std::to_string(origin_y + y);
    }

    HWND window = nullptr;
    int32_t origin_x = 0, origin_y = 0;
};

}  // namespace

TEST_F(Mouse, QuickSecondLeftPressIsAMiddleButton)
{
    drain();
    PostMessage(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 6));
    PostMessage(window, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 6));
    EXPECT_EQ(mouse_translate_msg(window, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 6)), 1);
    MSG msg;
    EXPECT_EQ(PeekMessage(&msg, window, 0, 0, PM_NOREMOVE), 0);  // both taken
    EXPECT_EQ(GetCapture(), window);
    // The release comes with the left flag clear: it is the middle one's.
    mouse_translate_msg(window, WM_LBUTTONUP, 0, MAKELPARAM(7, 8));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"1 press " + at(5, 6), "1 release " + at(7, 8)}));
}

TEST_F(Mouse, DoubleClicksBecomePresses)
{
    drain();
    mouse_translate_msg(window, WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
    PostMessage(window, WM_LBUTTONUP, 0, 0);
    PostMessage(window, WM_LBUTTONDOWN, 0, 0);
    mouse_translate_msg(window, WM_LBUTTONDBLCLK, 0, MAKELPARAM(1, 1));
    MSG msg;
    EXPECT_EQ(PeekMessage(&msg, window, 0, 0, PM_NOREMOVE), 0);
    mouse_translate_msg(window, WM_RBUTTONDBLCLK, 0, MAKELPARAM(2, 3));
    mouse_translate_msg(window, WM_RBUTTONUP, 0, MAKELPARAM(2, 3));
    mouse_translate_msg(window, WM_MBUTTONDBLCLK, 0, MAKELPARAM(4, 4));
    EXPECT_EQ(events, (std::vector<std::string>{"0 press " + at(1, 1), "1 press " + at(1, 1),
                                                "2 press " + at(2, 3), "2 release " + at(2, 3),
                                                "1 press " + at(4, 4)}));
}

TEST_F(Mouse, NegativeClientCoordinatesComeOutRight)
{
    mouse_translate_msg(window, WM_RBUTTONDOWN, 0, MAKELPARAM((WORD)-5, (WORD)-7));
    EXPECT_EQ(events, std::vector<std::string>{"2 press " + at(-5, -7)});
}

TEST_F(Mouse, DefaultsAndUnexpectedMessages)
{
    LogCapture log;
    EXPECT_EQ(mouse_reset(), 1);
    // A message that is no press or release reaches no callback.
    EXPECT_EQ(mouse_button_event(window, WM_MOUSEMOVE, 1, 2), 0);
    EXPECT_TRUE(events.empty());
    mouse_button_funct = def_mouse_button_funct;
    EXPECT_EQ(mouse_translate_msg(window, WM_RBUTTONDOWN, 0, 0), 0);
    EXPECT_EQ(mouse_translate_msg(window, WM_MOUSEMOVE, 0, 0), 0);
    EXPECT_EQ(mouse_translate_msg(window, WM_KEYDOWN, 0, 0), 0);
    EXPECT_EQ(log.warnings(), std::vector<std::string>{"def_mouse_button_funct"});
    EXPECT_EQ(log.errors(),
              std::vector<std::string>{"Unexpected mouse msg = " + std::to_string(WM_KEYDOWN)});
}
