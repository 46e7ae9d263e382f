#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "d3dxenum.h"
#include "d3dxframe.h"
#include "heap.h"
#include "platform/d3d_record.h"
#include "platform/dialog_test.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "test_support.h"

namespace {

// The part of the game's window procedure that reaches the frame.
LRESULT plain_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_SIZE)
        d3dxframe_on_size((int32_t)wparam, (int32_t)lparam);
    if (message == WM_MOVE)
        d3dxframe_on_move(LOWORD(lparam), HIWORD(lparam));
    return DefWindowProc(window, message, wparam, lparam);
}

std::string mode_text(const D3DX_VIDMODEDESC& mode)
{
    return std::to_string(mode.width) + "x" + std::to_string(mode.height) + "x" +
           std::to_string(mode.bpp) + "@" + std::to_string(mode.refreshRate);
}

std::vector<std::string> stored_modes(uint32_t device = 0)
{
    std::vector<std::string> modes;
    for (uint32_t i = 0; i < device_list[device].num_vid_modes; ++i)
        modes.push_back(mode_text(device_list[device].vid_modes[i]));
    return modes;
}

// The game in full screen, where the display's mode is the game's own.
class Enumeration : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        d3dx_globals.m_bIsFullscreen = 1;
        log = std::make_unique<LogCapture>();
    }
    std::unique_ptr<LogCapture> log;
};

TEST_F(Enumeration, ModesOfOneSizeAndDepthBecomeOneWithTheHighestRefreshRate)
{
    const D3DX_VIDMODEDESC modes[] = {{640, 480, 16, 60}, {640, 480, 16, 75}, {640, 480, 16, 85},
                                      {640, 480, 32, 60}, {800, 600, 32, 60}, {800, 600, 32, 75}};
    const D3DX_VIDMODEDESC current = {800, 600, 32, 60};
    d3dx_set_display_modes(modes, 6, &current);
    ASSERT_EQ(d3dxenum_enum_devices(), 1);
    EXPECT_EQ(device_list_count, 1u);
    EXPECT_EQ(stored_modes(),
              (std::vector<std::string>{"640x480x16@85", "640x480x32@60", "800x600x32@75"}));
    EXPECT_EQ(current_mode_index, 2);
    EXPECT_EQ(mode_text(current_video_mode), "800x600x32@60");
    EXPECT_STREQ(device_list[0].device_desc.driverDesc, "Recording device");
}

TEST_F(Enumeration, AFailedModeQueryIsLoggedAndTheListStopsAtFiftyModes)
{
    std::vector<D3DX_VIDMODEDESC> modes;
    for (DWORD i = 0; i < 60; ++i)
        modes.push_back({640 + 8 * i, 480, 32, 60});
    const D3DX_VIDMODEDESC current = modes[55];
    d3dx_set_display_modes(modes.data(), (int)modes.size(), &current);
    current_mode_index = 7;
    d3d_inject("D3DXGetVideoMode", E_FAIL, 2, 1);  // the third query
    d3dxenum_enum_devices();
    EXPECT_EQ(log->errors(), std::vector<std::string>{"Failed D3DXGetVideoMod."});
    ASSERT_EQ(device_list[0].num_vid_modes, 50u);
    EXPECT_EQ(device_list[0].vid_modes[1].width, 648u);
    EXPECT_EQ(device_list[0].vid_modes[2].width, 664u) << "the failed query kept the one before";
    EXPECT_EQ(device_list[0].vid_modes[49].width, 640u + 8 * 50);
    EXPECT_EQ(current_mode_index, 7) << "the current mode did not fit in the list";
}

// Reads the strings of the template back.
std::string wide_text(const WORD*& cursor)
{
    std::string text;
    while (*cursor)
        text += (char)*cursor++;
    ++cursor;
    return text;
}

TEST_F(Enumeration, TheDialogTemplateIsBuiltInMemory)
{
    DLGTEMPLATE* made = d3dxenum_build_driver_select_template();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->style, 0x90C80BC4u);
    EXPECT_EQ(made->cdit, 8);
    EXPECT_EQ(made->cx, 299);
    EXPECT_EQ(made->cy, 84);
    const WORD* cursor = (const WORD*)((const uint8_t*)made + sizeof(DLGTEMPLATE));
    EXPECT_EQ(*cursor++, 0);
    EXPECT_EQ(*cursor++, 0);
    EXPECT_EQ(wide_text(cursor), "Select New Direct3D Driver");
    EXPECT_EQ(*cursor++, 8);
    EXPECT_EQ(wide_text(cursor), "Arial");
    struct {
        WORD id;
        const char* class_name;
        const char* text;
        short x, y;
    } expected[] = {{IDOK, "BUTTON", "OK", 65, 65},       {IDCANCEL, "BUTTON", "Cancel", 123, 65},
                    {1000, "BUTTON", "", 45, 5},          {1001, "COMBOBOX", "", 36, 24},
                    {1002, "COMBOBOX", "", 36, 44},       {0xFFFF, "STATIC", "Windowed:", 5, 5},
                    {0xFFFF, "STATIC", "Device:", 5, 24}, {0xFFFF, "STATIC", "Mode:", 5, 44}};
    for (const auto& control : expected) {
        uintptr_t at = ((uintptr_t)cursor + 3) & ~(uintptr_t)3;
        DLGITEMTEMPLATE item;
        memcpy(&item, (const void*)at, sizeof item);
        EXPECT_EQ(item.id, control.id);
        EXPECT_EQ(item.x, control.x);
        EXPECT_EQ(item.y, control.y);
        EXPECT_EQ(item.style & 0x50000000u, 0x50000000u) << "child and visible";
        cursor = (const WORD*)(at + sizeof item);
        EXPECT_EQ(wide_text(cursor), control.class_name);
        EXPECT_EQ(wide_text(cursor), control.text);
        EXPECT_EQ(*cursor++, 0) << "no creation data";
    }
    EXPECT_LE((const uint8_t*)cursor - (const uint8_t*)made, D3DXENUM_TEMPLATE_SIZE);
    FREE(made);
    EXPECT_EQ(log->notices().front(), "Building driver select template.");
    EXPECT_EQ(log->notices().back(), "Finished building driver select template.");
}

// The dialog on the recording back-end, answered by a script; the
// headless display has the seven default modes, six after collapsing:
// 640x480x16, 640x480x32, 800x600x16, 800x600x32, 1024x768x16, 1024x768x32.
class DriverDialog : public Enumeration {
protected:
    void SetUp() override
    {
        Enumeration::SetUp();
        window = test_open_game_window("Driver Test Window", plain_proc);
        ASSERT_NE(window, nullptr);
        dialog_script_begin();
        d3d_record_start();
        log->clear();
    }
    void TearDown() override
    {
        dialog_script_end();
        d3dxframe_unitialize();
        win32_reset();
    }
    HWND window = nullptr;
};

struct lists {
    LRESULT devices = -2, device_choice = -2, modes = -2, mode_choice = -2;
    UINT windowed = 9;
    std::string mode_name;
};
void look(HWND dialog, void* data)
{
    lists* seen = (lists*)data;
    seen->devices = SendDlgItemMessage(dialog, 1001, CB_GETCOUNT, 0, 0);
    seen->device_choice = SendDlgItemMessage(dialog, 1001, CB_GETCURSEL, 0, 0);
    seen->modes = SendDlgItemMessage(dialog, 1002, CB_GETCOUNT, 0, 0);
    seen->mode_choice = SendDlgItemMessage(dialog, 1002, CB_GETCURSEL, 0, 0);
    seen->windowed = IsDlgButtonChecked(dialog, 1000);
    char text[64] = "";
    GetDlgItemText(dialog, 1002, text, sizeof text);
    seen->mode_name = text;
}

// The dialog opens on what the game runs with: D3DX's default device (-1
// configured) and, in a window, the mode of the window's buffers at the
// display's depth, not the display's own mode (1024 x 768 x 32).
TEST_F(DriverDialog, OpensOnTheDeviceAndModeInUse)
{
    lists at_start;
    dialog_script_call(look, &at_start);
    dialog_script_key("Escape", 0);
    EXPECT_EQ(d3dxenum_user_dlg_select_driver(window, 1), 2);
    EXPECT_EQ(at_start.devices, 1);
    EXPECT_EQ(at_start.device_choice, 0);
    EXPECT_EQ(at_start.modes, 6);
    EXPECT_EQ(at_start.mode_choice, 1) << "the window's mode";
    EXPECT_EQ(at_start.mode_name, "640 x 480 x 32");
    EXPECT_EQ(at_start.windowed, (UINT)BST_CHECKED);
    EXPECT_EQ(selected_device, 0);
    EXPECT_EQ(d3dx_globals.device_index, -1) << "cancelled";
    EXPECT_TRUE(log->contains("d3dxenum_user_dlg_select_driver called."));
}

TEST_F(DriverDialog, OkWithoutAChangeRecreatesNothing)
{
    // The first time too: the mode shown chosen is the one the game is in.
    dialog_script_click(IDOK);
    d3dxframe_change_device(window);
    EXPECT_FALSE(log->contains("Changing 3d environment."));
    EXPECT_EQ(d3d_record_count_of("D3DXCreateContextEx"), 0);
    EXPECT_EQ(d3dx_globals.bActive, 1);
}

TEST_F(DriverDialog, StayingWindowedWithAModeRecreatesTheDeviceOnTheSameDevice)
{
    win32_set_window_frame(window, 4, 24, 4, 4);  // a frame around the client area
    dialog_script_click(1001);
    dialog_script_click_item(1001, 0);
    dialog_script_click(1002);
    dialog_script_click_item(1002, 3);  // 800 x 600 x 32
    dialog_script_click(IDOK);
    d3dxframe_change_device(window);
    EXPECT_TRUE(log->contains("Changing 3d environment."));
    EXPECT_EQ(d3dx_globals.device_index, 0);
    EXPECT_EQ(current_mode_index, 3);
    EXPECT_EQ(d3dx_globals.m_bIsFullscreen, 0);
    EXPECT_EQ(d3d_record_count_of("D3DXCreateContextEx 0 0x0 16 -1 -1 0 -1 800 600"), 1)
        << "the buffers take the mode's size";
    EXPECT_EQ(d3dx_globals.bActive, 1);
    // The window takes it too, and the mode stays the windowed size, which
    // the configuration keeps.
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
    EXPECT_EQ(d3dx_globals.windowed_width, 800);
    EXPECT_EQ(d3dx_globals.windowed_height, 600);
    EXPECT_EQ(d3dxframe_get_render_width(), 800);

    // Opened again, it shows the window's new mode, and OK on it changes
    // nothing.
    lists again;
    dialog_script_call(look, &again);
    dialog_script_click(IDOK);
    d3dxframe_change_device(window);
    EXPECT_EQ(again.mode_name, "800 x 600 x 32");
    EXPECT_EQ(d3d_record_count_of("D3DXCreateContextEx"), 1) << "not created again";
}

// A window of a size the display has no mode of (a configuration's) shows
// no mode chosen rather than one the game is not in, and OK on it changes
// nothing.
TEST_F(DriverDialog, AWindowOfASizeWithoutAModeShowsNoModeChosen)
{
    d3dxframe_unitialize();
    d3dx_globals.windowed_width = 700;
    d3dx_globals.windowed_height = 500;
    ASSERT_TRUE(SUCCEEDED(d3dxframe_initialize(window)));
    const int made = d3d_record_count_of("D3DXCreateContextEx");
    lists seen;
    dialog_script_call(look, &seen);
    dialog_script_click(IDOK);
    d3dxframe_change_device(window);
    EXPECT_EQ(seen.modes, 6);
    EXPECT_EQ(seen.mode_choice, CB_ERR);
    EXPECT_EQ(seen.mode_name, "");
    EXPECT_EQ(d3d_record_count_of("D3DXCreateContextEx"), made) << "not created again";
    EXPECT_EQ(d3dxframe_get_render_width(), 700);
}

// Full screen with another mode, the box left clear: the full-screen mode
// changes, and the windowed size, which the configuration keeps for the
// window, stays as it was.
TEST_F(DriverDialog, StayingFullScreenWithAModeKeepsTheWindowedSize)
{
    d3dx_globals.m_bIsFullscreen = 1;
    d3dx_globals.windowed_width = 700;
    d3dx_globals.windowed_height = 500;
    dialog_script_click(1001);
    dialog_script_click_item(1001, 0);
    dialog_script_click(1002);
    dialog_script_click_item(1002, 3);  // 800 x 600 x 32
    dialog_script_click(IDOK);
    d3dxframe_change_device(window);
    EXPECT_EQ(d3dx_globals.m_bIsFullscreen, 1);
    EXPECT_EQ(d3dx_globals.fullscreen_width, 800);
    EXPECT_EQ(d3dx_globals.fullscreen_height, 600);
    EXPECT_EQ(d3dx_globals.windowed_width, 700);
    EXPECT_EQ(d3dx_globals.windowed_height, 500);
}

TEST_F(DriverDialog, ClearingTheWindowedBoxGoesFullScreenInTheChosenMode)
{
    lists cleared;
    dialog_script_click(1001);
    dialog_script_click_item(1001, 0);
    dialog_script_click(1002);
    dialog_script_click_item(1002, 3);
    dialog_script_click(1000);
    dialog_script_call(look, &cleared);
    dialog_script_key("Return", 0);
    d3dxframe_change_device(window);
    EXPECT_EQ(cleared.windowed, (UINT)BST_UNCHECKED);
    EXPECT_EQ(cleared.mode_choice, 3) << "the lists are filled again";
    EXPECT_EQ(d3dx_globals.m_bIsFullscreen, 1);
    EXPECT_EQ(d3dx_globals.fullscreen_width, 800);
    EXPECT_EQ(d3dx_globals.fullscreen_height, 600);
    EXPECT_EQ(d3dx_globals.fullscreen_bitdepth, 32);
    EXPECT_EQ(d3d_record_count_of("D3DXCreateContextEx 0 0x1 32 -1 -1 0 -1 800 600"), 1);

    // Opened again in full screen, it shows the full-screen mode, and OK on
    // it changes nothing.
    lists again;
    dialog_script_call(look, &again);
    dialog_script_click(IDOK);
    d3dxframe_change_device(window);
    EXPECT_EQ(again.mode_name, "800 x 600 x 32");
    EXPECT_EQ(again.windowed, (UINT)BST_UNCHECKED);
    EXPECT_EQ(d3d_record_count_of("D3DXCreateContextEx"), 1) << "not created again";
}

TEST_F(DriverDialog, ClearingOnlyTheBoxGoesFullScreenInTheModeShown)
{
    dialog_script_click(1000);
    dialog_script_click(IDOK);
    EXPECT_EQ(d3dxenum_user_dlg_select_driver(window, 1), 1);
    EXPECT_EQ(d3dx_globals.device_index, 0);
    EXPECT_EQ(d3dx_globals.fullscreen_width, 640);
    EXPECT_EQ(d3dx_globals.fullscreen_height, 480);
    EXPECT_EQ(d3dx_globals.fullscreen_bitdepth, 32);
}

TEST_F(DriverDialog, NothingHappensUnlessTheFrameIsActive)
{
    d3dxframe_deactivate();
    EXPECT_EQ(d3dxframe_change_device(window), 1);
    EXPECT_EQ(dialog_shown_count(), 0);
    EXPECT_FALSE(log->contains("d3dxenum_user_dlg_select_driver called."));
}

}  // namespace
