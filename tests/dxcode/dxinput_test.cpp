#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dxinput.h"
#include "platform/d3d_record.h"
#include "platform/dinput_test.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "test_support.h"

namespace {

TEST(KeyNames, TokensAndCodes)
{
    test_reset_state();
    LogCapture log;
    struct {
        const char* token;
        int32_t code;
    } cases[] = {{"1", 0x02},     {"0", 0x0B},    {"ENTER", 0x1C},     {"-", 0x0C},
                 {"SPACE", 0x39}, {"DOWN", 0xD0}, {"RIGHT WIN", 0xDC}, {"F12", 0x58}};
    for (const auto& c : cases) {
        EXPECT_EQ(dxinput_get_code_from_token(c.token), c.code) << c.token;
        EXPECT_STREQ(dxinput_get_token_string(c.code), c.token);
    }
    // Keypad keys share main-keyboard names: their token reads back as the
    // main key, their own code still has its name.
    EXPECT_STREQ(dxinput_get_display_string(0x9C), "ENTER");
    EXPECT_TRUE(log.errors().empty());

    EXPECT_EQ(dxinput_get_code_from_token("enter"), -1);
    EXPECT_EQ(dxinput_get_display_string(0x54), nullptr);
    EXPECT_EQ(dxinput_get_token_string(-1), nullptr);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Could not find directx constant for string enter.",
                                        "Could not find display string for code 84.",
                                        "Could not find token string for code -1."}));
}

TEST(KeyNames, AnUnknownKeyIsUnboundAndWrittenBackAsItsDefault)
{
    test_reset_state();
    LogCapture log;
    std::string section;
    for (const char* key : {"UP", "LEFT", "RIGHT", "DOWN", "A", "B", "C", "X", "Y", "Z", "L",
                            "NOSUCHKEY", "M", "ENTER"})
        section += std::string(key) + "   //  a key\n";
    FILE* file = file_with_bytes(section);
    int16_t line_cnt = 0;
    EXPECT_EQ(dxinput_read_config(file, &line_cnt), 1);
    fclose(file);
    EXPECT_EQ(dxinput_key_bindings[0], 0xC8);
    EXPECT_EQ(dxinput_key_bindings[11], -1);
    EXPECT_EQ(log.errors().size(), 1u);

    std::string written = written_bytes(dxinput_write_config);
    EXPECT_NE(written.find("R" + std::string(43, ' ') + "//  scroll_inventory_down\n"),
              std::string::npos);
    EXPECT_NE(written.find("UP" + std::string(42, ' ') + "//  down_key\n"), std::string::npos);

    // A section that ends early fails, keeping what it read.
    dxinput_reset();
    file = file_with_bytes("SPACE\n");
    EXPECT_EQ(dxinput_read_config(file, &line_cnt), 0);
    fclose(file);
    EXPECT_EQ(dxinput_key_bindings[0], 0x39);
    EXPECT_EQ(dxinput_key_bindings[1], 0xCB);
}

TEST(KeyNames, EveryKeyAndEveryBindingReadsBackFromItsName)
{
    test_reset_state();
    LogCapture log;
    for (const dxinput_key& key : dxinput_key_table) {
        EXPECT_STREQ(key.display_str, key.token_str);
        // A keypad key named like a main key reads back as the main key,
        // which comes first.
        int32_t code = dxinput_get_code_from_token(key.token_str);
        const dxinput_key* first = nullptr;
        for (const dxinput_key& other : dxinput_key_table)
            if (!first && std::strcmp(other.token_str, key.token_str) == 0)
                first = &other;
        EXPECT_EQ(code, first->code) << key.token_str;
        EXPECT_TRUE(code == key.code || key.code >= 0x47) << key.token_str;
    }
    const int32_t bindings[DXINPUT_BINDING_COUNT] = {
        DIK_S,   DIK_A, DIK_D,     DIK_W,     DIK_LSHIFT, DIK_SPACE, DIK_LCONTROL,
        DIK_F12, DIK_1, DIK_SLASH, DIK_PRIOR, DIK_NEXT,   DIK_TAB,   DIK_RMENU};
    std::memcpy(dxinput_key_bindings, bindings, sizeof bindings);
    std::string written = written_bytes(dxinput_write_config);
    dxinput_reset();
    FILE* file = file_with_bytes(written.substr(written.find("//  [dxinput]\n") + 14));
    int16_t line_cnt = 0;
    EXPECT_EQ(dxinput_read_config(file, &line_cnt), 1);
    fclose(file);
    for (int i = 0; i < DXINPUT_BINDING_COUNT; ++i)
        EXPECT_EQ(dxinput_key_bindings[i], bindings[i]) << i;
    EXPECT_TRUE(log.errors().empty());
}

// A shown window (it has the focus) on the test machine, which has a keyboard
// and a mouse and as many joysticks as a test attaches.
class Devices : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        window = test_make_window("Device Test Window", DefWindowProc);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        live = d3d_live_objects();
        log.clear();
    }
    void TearDown() override
    {
        dxinput_release_devices();
        EXPECT_EQ(d3d_live_objects(), live);
        win32_reset();
    }
    std::vector<DWORD> kinds()
    {
        return std::vector<DWORD>(dxinput_globals.device_type,
                                  dxinput_globals.device_type + dxinput_globals.device_count);
    }
    void focus(int kind)
    {
        platform_event event = {};
        event.kind = kind;
        ASSERT_EQ(win32_feed_event(window, &event), 1);
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&msg);
    }

    HWND window = nullptr;
    int live = 0;
    LogCapture log;
};

TEST_F(Devices, TheKeyboardTheMouseAndEveryJoystickAreListedAndTheKeyboardIsCurrent)
{
    dinput_test_set_joystick_count(2);
    EXPECT_EQ(dxinput_init(nullptr, window), 1);
    EXPECT_EQ(kinds(), (std::vector<DWORD>{DIDEVTYPE_KEYBOARD, DIDEVTYPE_MOUSE, DIDEVTYPE_JOYSTICK,
                                           DIDEVTYPE_JOYSTICK}));
    EXPECT_EQ(dxinput_is_current_device(0), 1);
    EXPECT_EQ(dxinput_is_current_device(1), 0);
    EXPECT_EQ(dxinput_is_current_device(-1), 0);
    EXPECT_EQ(dxinput_is_current_device(DXINPUT_MAX_DEVICES), 0);
    EXPECT_EQ(log.notices(), (std::vector<std::string>{
                                 "Initializing Direct Input.",
                                 "Input Device Found and added to list of available devices.",
                                 "Input Device Found and added to list of available devices.",
                                 "Input Device Found and added to list of available devices.",
                                 "Input Device Found and added to list of available devices.",
                                 "dxinput_reacquire_device - input device re-acquired."}));
    EXPECT_TRUE(log.errors().empty());
    dxinput_release_devices();
    EXPECT_EQ(dxinput_globals.device_count, 0);
    EXPECT_EQ(dxinput_globals.current_device, nullptr);
    EXPECT_EQ(dxinput_read_current_device(), 0);
}

TEST_F(Devices, TheActionMaskOfEachDevice)
{
    dinput_test_set_joystick_count(1);
    ASSERT_EQ(dxinput_init(nullptr, window), 1);
    struct {
        int device;
        std::function<void()> hold;
        int32_t mask;
    } cases[] = {
        {0, [] {}, 0},
        {0, [] { dinput_test_set_key(DIK_UP, 1), dinput_test_set_key(DIK_DOWN, 1); },
         ACTION_UP | ACTION_DOWN},
        {0, [] { dinput_test_set_key(DIK_RETURN, 1); }, ACTION_START_BUTTON},
        {0, [] { dinput_test_set_key(DIK_NUMPADENTER, 1); }, 0},
        {0,
         [] {
             for (int32_t key : {DIK_A, DIK_B, DIK_C, DIK_X, DIK_Y, DIK_Z, DIK_L, DIK_R, DIK_M})
                 dinput_test_set_key(key, 1);
         },
         0x1FF0},
        {1, [] { dinput_test_move_mouse(-1, 0); }, ACTION_LEFT},
        {1, [] { dinput_test_move_mouse(0, 2); }, ACTION_DOWN},
        {1, [] { dinput_test_move_mouse(5, -1); }, ACTION_RIGHT | ACTION_UP},
        {1,
         [] {
             for (int button = 0; button < 4; ++button)
                 dinput_test_set_mouse_button(button, 1);
         },
         ACTION_A_BUTTON | ACTION_B_BUTTON | ACTION_C_BUTTON},
        {2, [] { dinput_test_set_joystick_axes(0, -32768, 0); }, ACTION_LEFT},
        {2, [] { dinput_test_set_joystick_axes(0, 0, 32767); }, ACTION_DOWN},
        {2, [] { dinput_test_set_joystick_axes(0, 12000, -12000); }, 0},  // inside the dead zone
        {2, [] { dinput_test_set_joystick_button(0, 8, 1); }, ACTION_START_BUTTON},
        {2, [] { dinput_test_set_joystick_button(0, 9, 1); }, ACTION_M_BUTTON},
        {2,
         [] {
             for (int button = 0; button < 8; ++button)
                 dinput_test_set_joystick_button(0, button, 1);
             dinput_test_set_joystick_button(0, 10, 1);
         },
         0x0FF0},
    };
    int n = 0;
    for (const auto& c : cases) {
        ASSERT_EQ(dxinput_pick_device(c.device), 1);
        dinput_test_release_all();
        c.hold();
        EXPECT_EQ(dxinput_read_current_device(), c.mask) << "case " << n;
        ++n;
    }
    // Mouse motion is a press for the frame it happened in only.
    dxinput_pick_device(1);
    dinput_test_move_mouse(-1, 0);
    EXPECT_EQ(dxinput_read_current_device(), ACTION_LEFT);
    EXPECT_EQ(dxinput_read_current_device(), 0);
}

TEST_F(Devices, TheKeyboardKeepsItsMaskAndNeverReadsAnUnboundKey)
{
    ASSERT_EQ(dxinput_init(nullptr, window), 1);
    dxinput_globals.keyboard_action_mask = ACTION_END_OF_ANIM | ACTION_STRAFE | ACTION_LEFT;
    dinput_test_set_key(DIK_UP, 1);
    EXPECT_EQ(dxinput_read_current_device(), ACTION_END_OF_ANIM | ACTION_STRAFE | ACTION_UP);
    dxinput_key_bindings[3] = -1;  // up: a key name the table did not know
    dxinput_key_bindings[2] = 4096;
    EXPECT_EQ(dxinput_read_current_device(), ACTION_END_OF_ANIM | ACTION_STRAFE);
}

TEST_F(Devices, WithoutAKeyboardThereAreNoDevicesAndNothingIsRead)
{
    const std::string no_keyboard = "dxinput_init - Keyboard Initialization FAILED.";
    struct {
        const char* call;
        std::vector<std::string> errors;
    } cases[] = {
        {"DirectInputCreate", {"dxinput_init - DirectInputCreate 3.0 FAILED."}},
        {"DirectInput.CreateDevice", {"dxinput_init_keyboard - CreateDevice FAILED.", no_keyboard}},
        {"InputDevice.SetDataFormat",
         {"dxinput_init_keyboard - SetDataFormat FAILED.", no_keyboard}},
        {"InputDevice.SetCooperativeLevel",
         {"dxinput_init_keyboard - SetCooperativeLevel FAILED.", no_keyboard}},
        {"InputDevice.SetProperty",
         {"dxinput_init_keyboard - SetProperty(DIPH_DEVICE) FAILED.", no_keyboard}},
        {"InputDevice.GetDeviceInfo",
         {"dxinput_init_keyboard - GetDeviceInfo FAILED.", no_keyboard}},
    };
    for (const auto& c : cases) {
        log.clear();
        d3d_inject(c.call, E_FAIL, 0, 1);
        EXPECT_EQ(dxinput_init(nullptr, window), 0) << c.call;
        EXPECT_EQ(log.errors(), c.errors) << c.call;
        EXPECT_EQ(dxinput_globals.device_count, 0);
        EXPECT_EQ(d3d_live_objects(), live) << c.call;
    }
    // Nothing to pick, read or re-acquire, and no endless fall-back.
    log.clear();
    EXPECT_EQ(dxinput_pick_device(0), 0);
    EXPECT_EQ(dxinput_read_current_device(), 0);
    EXPECT_EQ(dxinput_reacquire_current_device(), 0);
    EXPECT_EQ(dxinput_reacquire_device_by_index(0), 0);
    const std::string no_device = "dxinput_reacquire_device - no current device for re-acquiring.";
    EXPECT_EQ(log.notices(),
              (std::vector<std::string>{"dxinput_pick_device - failed input device pick 0.(>0)",
                                        no_device, no_device}));
}

TEST_F(Devices, MouseAndJoystickFailuresOnlyLeaveThemOut)
{
    struct {
        const char* call;
        int skip;
        std::vector<DWORD> kinds;
        std::vector<std::string> errors;
        const char* notice;
    } cases[] = {
        // No DirectInput 7: the keyboard alone.
        {"DirectInputCreate",
         1,
         {DIDEVTYPE_KEYBOARD},
         {},
         "dxinput_init - DirectInputCreate 5.0 FAILED. No joystick support."},
        {"InputDevice.SetCooperativeLevel",
         1,
         {DIDEVTYPE_KEYBOARD, DIDEVTYPE_JOYSTICK, DIDEVTYPE_JOYSTICK, DIDEVTYPE_JOYSTICK},
         {"dxinput_init_mouse - SetCooperativeLevel FAILED."},
         nullptr},
        // A joystick that cannot be set up is skipped ...
        {"InputDevice.SetDataFormat",
         2,
         {DIDEVTYPE_KEYBOARD, DIDEVTYPE_MOUSE, DIDEVTYPE_JOYSTICK, DIDEVTYPE_JOYSTICK},
         {},
         "dxinput_init_joystick - SetDataFormat FAILED."},
        // ... one whose axes cannot be set ends the enumeration: the keyboard's
        // buffer, four axis settings of the first joystick, the second's x range.
        {"InputDevice.SetProperty",
         6,
         {DIDEVTYPE_KEYBOARD, DIDEVTYPE_MOUSE, DIDEVTYPE_JOYSTICK},
         {"dxinput_init_joystick - SetProperty(DIPH_RANGE Y) FAILED."},
         nullptr},
    };
    for (const auto& c : cases) {
        dinput_test_set_joystick_count(3);
        log.clear();
        d3d_inject(c.call, E_FAIL, c.skip, 1);
        EXPECT_EQ(dxinput_init(nullptr, window), 1) << c.call;
        EXPECT_EQ(kinds(), c.kinds) << c.call;
        EXPECT_EQ(log.errors(), c.errors) << c.call;
        if (c.notice) {
            EXPECT_TRUE(log.contains(c.notice)) << c.call;
        }
        dxinput_release_devices();
    }
}

TEST_F(Devices, AJoystickInTheMousesSlotIsReadAsAJoystick)
{
    dinput_test_set_joystick_count(1);
    d3d_inject("DirectInput.CreateDevice", E_FAIL, 1, 1);
    ASSERT_EQ(dxinput_init(nullptr, window), 1);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"dxinput_init_mouse - CreateDevice FAILED."});
    ASSERT_EQ(dxinput_pick_device(1), 1);
    dinput_test_move_mouse(-4, 0);
    dinput_test_set_joystick_button(0, 8, 1);
    EXPECT_EQ(dxinput_read_current_device(), ACTION_START_BUTTON);
}

TEST_F(Devices, PickingADeviceMovesTheAcquisition)
{
    ASSERT_EQ(dxinput_init(nullptr, window), 1);
    d3d_record_start();
    EXPECT_EQ(dxinput_pick_device(1), 1);
    EXPECT_EQ(dxinput_globals.current_device_index, 1);
    EXPECT_EQ(dinput_test_mouse_captured(), 1);
    EXPECT_GE(d3d_record_find("InputDevice.Unacquire keyboard", 0), 0);
    log.clear();
    EXPECT_EQ(dxinput_pick_device(2), 0);
    EXPECT_EQ(dxinput_globals.current_device_index, 0);
    EXPECT_EQ(dxinput_is_current_device(0), 1);
    EXPECT_EQ(dinput_test_mouse_captured(), 0);
    EXPECT_EQ(log.notices()[0], "dxinput_pick_device - failed input device pick 2.(>2)");
    EXPECT_EQ(dxinput_pick_device(-1), 0);
    EXPECT_EQ(dxinput_is_current_device(0), 1);
}

TEST_F(Devices, TheListHoldsTenDevices)
{
    dinput_test_set_joystick_count(DINPUT_TEST_MAX_JOYSTICKS);
    ASSERT_EQ(dxinput_init(nullptr, window), 1);
    EXPECT_EQ(dxinput_globals.device_count, DXINPUT_MAX_DEVICES);
    EXPECT_EQ(dxinput_add_device(nullptr, DIDEVTYPE_JOYSTICK), 0);
}

TEST_F(Devices, ALostDeviceReadsEmptyUntilTheFocusBringsItBack)
{
    ASSERT_EQ(dxinput_init(nullptr, window), 1);
    dinput_test_set_key(DIK_LEFT, 1);
    EXPECT_EQ(dxinput_read_current_device(), ACTION_LEFT);
    focus(PLATFORM_EVENT_FOCUS_LOST);
    log.clear();
    EXPECT_EQ(dxinput_read_current_device(), 0);
    EXPECT_EQ(log.notices(), std::vector<std::string>{"dxinput_reacquire_device - input device "
                                                      "re-acquisition failed or device already "
                                                      "acquired."});
    EXPECT_EQ(dxinput_read_current_device(), 0);
    focus(PLATFORM_EVENT_FOCUS_GAINED);
    EXPECT_EQ(dxinput_reacquire_current_device(), 1);  // what the focus message does
    EXPECT_EQ(dxinput_read_current_device(), ACTION_LEFT);
}

}  // namespace
