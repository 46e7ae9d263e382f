#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d_record.h"
#include "platform/dinput.h"
#include "platform/dinput_test.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "platform_support.h"

namespace {

// A shown window (it has the focus) and a DirectInput object of version 7
// on the test machine.
class InputDevices : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        window = test_make_window("Input Test Window", DefWindowProc);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        live = d3d_live_objects();
        ASSERT_EQ(DirectInputCreate(nullptr, 0x0700, &direct_input, nullptr), DI_OK);
    }
    void TearDown() override
    {
        for (LPDIRECTINPUTDEVICE device : made)
            device->Release();
        direct_input->Release();
        win32_reset();
        EXPECT_EQ(d3d_live_objects(), live);
    }
    // A device ready to read: data format, cooperative level, acquired.
    LPDIRECTINPUTDEVICE open(const GUID& guid, const DIDATAFORMAT* format, DWORD level)
    {
        LPDIRECTINPUTDEVICE device = nullptr;
        EXPECT_EQ(direct_input->CreateDevice(guid, &device, nullptr), DI_OK);
        if (!device)
            return nullptr;
        made.push_back(device);
        EXPECT_EQ(device->SetDataFormat(format), DI_OK);
        EXPECT_EQ(device->SetCooperativeLevel(window, level), DI_OK);
        EXPECT_EQ(device->Acquire(), DI_OK);
        return device;
    }
    void feed(int kind)
    {
        platform_event event = {};
        event.kind = kind;
        ASSERT_EQ(win32_feed_event(window, &event), 1);
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&msg);
    }

    HWND window = nullptr;
    LPDIRECTINPUT direct_input = nullptr;
    std::vector<LPDIRECTINPUTDEVICE> made;
    int live = 0;
};

BOOL collect(LPCDIDEVICEINSTANCE instance, void* ref)
{
    static_cast<std::vector<DIDEVICEINSTANCE>*>(ref)->push_back(*instance);
    return DIENUM_CONTINUE;
}

TEST_F(InputDevices, JoysticksAreEnumeratedAndMadeByTheirInstance)
{
    dinput_test_set_joystick_count(2);
    std::vector<DIDEVICEINSTANCE> found;
    ASSERT_EQ(direct_input->EnumDevices(DIDEVTYPE_JOYSTICK, collect, &found, DIEDFL_ATTACHEDONLY),
              DI_OK);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].dwDevType & 0xFF, (DWORD)DIDEVTYPE_JOYSTICK);
    EXPECT_STREQ(found[1].tszInstanceName, "Joystick 2");
    EXPECT_NE(std::memcmp(&found[0].guidInstance, &found[1].guidInstance, sizeof(GUID)), 0);

    LPDIRECTINPUTDEVICE device = nullptr;
    EXPECT_EQ(direct_input->CreateDevice(found[1].guidInstance, &device, nullptr), DI_OK);
    ASSERT_NE(device, nullptr);
    DIDEVICEINSTANCE info = {};
    info.dwSize = sizeof info;
    EXPECT_EQ(device->GetDeviceInfo(&info), DI_OK);
    EXPECT_EQ(std::memcmp(&info.guidInstance, &found[1].guidInstance, sizeof(GUID)), 0);
    info.dwSize = 100;
    EXPECT_EQ(device->GetDeviceInfo(&info), DIERR_INVALIDPARAM);
    // The second interface is the same device with one more reference.
    void* second = nullptr;
    EXPECT_EQ(device->QueryInterface(IID_IDirectInputDevice2A, &second), DI_OK);
    EXPECT_EQ(second, static_cast<void*>(static_cast<IDirectInputDevice2*>(device)));
    static_cast<IDirectInputDevice2*>(second)->Release();
    device->Release();

    // A joystick that went away, or never was, is not there to be made.
    dinput_test_set_joystick_count(1);
    EXPECT_EQ(direct_input->CreateDevice(found[1].guidInstance, &device, nullptr),
              DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
}

TEST_F(InputDevices, TheDeviceRefusesWhatDoesNotFitIt)
{
    LPDIRECTINPUTDEVICE mouse = nullptr;
    ASSERT_EQ(direct_input->CreateDevice(GUID_SysMouse, &mouse, nullptr), DI_OK);
    made.push_back(mouse);
    EXPECT_EQ(mouse->Acquire(), DIERR_INVALIDPARAM) << "no data format yet";
    EXPECT_EQ(mouse->SetDataFormat(&c_dfDIKeyboard), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DI_OK);
    EXPECT_EQ(mouse->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND),
              DIERR_INVALIDPARAM);
    DIPROPRANGE range = {{sizeof range, sizeof(DIPROPHEADER), DIJOFS_X, DIPH_BYOFFSET}, -10, 10};
    EXPECT_EQ(mouse->SetProperty(DIPROP_RANGE, &range.diph), DIERR_UNSUPPORTED);
    EXPECT_EQ(mouse->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    EXPECT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_EQ(mouse->Acquire(), DI_NOEFFECT);
    DIMOUSESTATE state;
    EXPECT_EQ(mouse->GetDeviceState(sizeof state - 4, &state), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DIERR_ACQUIRED);
}

TEST_F(InputDevices, TheMouseReportsMotionSinceTheLastReadAndHoldsThePointer)
{
    LPDIRECTINPUTDEVICE mouse = open(GUID_SysMouse, &c_dfDIMouse,
                                     DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    ASSERT_NE(mouse, nullptr);
    EXPECT_EQ(dinput_test_mouse_captured(), 1);
    dinput_test_move_mouse(-3, 2);
    dinput_test_move_mouse(1, 0);
    dinput_test_set_mouse_button(1, 1);
    DIMOUSESTATE state;
    ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(state.lX, -2);
    EXPECT_EQ(state.lY, 2);
    EXPECT_EQ(state.rgbButtons[1], 0x80);
    ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(state.lX, 0) << "the motion was taken";
    EXPECT_EQ(mouse->Unacquire(), DI_OK);
    EXPECT_EQ(dinput_test_mouse_captured(), 0);
}

TEST_F(InputDevices, ForegroundDevicesFollowTheFocus)
{
    LPDIRECTINPUTDEVICE keyboard = open(GUID_SysKeyboard, &c_dfDIKeyboard,
                                        DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    LPDIRECTINPUTDEVICE mouse = open(GUID_SysMouse, &c_dfDIMouse,
                                     DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    ASSERT_TRUE(keyboard && mouse);
    dinput_test_set_key(DIK_UP, 1);
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keys[DIK_UP], 0x80);
    EXPECT_EQ(keys[DIK_DOWN], 0);

    feed(PLATFORM_EVENT_FOCUS_LOST);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DIERR_INPUTLOST);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    DIMOUSESTATE state;
    EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DIERR_INPUTLOST);
    EXPECT_EQ(dinput_test_mouse_captured(), 0) << "the pointer is let go";

    feed(PLATFORM_EVENT_FOCUS_GAINED);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
}

TEST_F(InputDevices, JoystickAxesReadInTheirRangeWithTheDeadZoneAtTheCentre)
{
    dinput_test_set_joystick_count(1);
    std::vector<DIDEVICEINSTANCE> found;
    direct_input->EnumDevices(DIDEVTYPE_JOYSTICK, collect, &found, DIEDFL_ATTACHEDONLY);
    ASSERT_EQ(found.size(), 1u);
    LPDIRECTINPUTDEVICE joystick = nullptr;
    ASSERT_EQ(direct_input->CreateDevice(found[0].guidInstance, &joystick, nullptr), DI_OK);
    made.push_back(joystick);
    ASSERT_EQ(joystick->SetDataFormat(&c_dfDIJoystick), DI_OK);
    ASSERT_EQ(joystick->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    for (DWORD axis : {DIJOFS_X, DIJOFS_Y}) {
        DIPROPRANGE range = {
            {sizeof range, sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, -1000, 1000};
        EXPECT_EQ(joystick->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
        DIPROPDWORD zone = {{sizeof zone, sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, 5000};
        EXPECT_EQ(joystick->SetProperty(DIPROP_DEADZONE, &zone.diph), DI_OK);
    }
    DIPROPRANGE bad = {{sizeof bad, sizeof(DIPROPHEADER), 2, DIPH_BYOFFSET}, -1, 1};
    EXPECT_EQ(joystick->SetProperty(DIPROP_RANGE, &bad.diph), DIERR_OBJECTNOTFOUND);
    ASSERT_EQ(joystick->Acquire(), DI_OK);

    struct {
        int raw;
        LONG read;
    } cases[] = {{0, 0},          {16000, 0},   {-16383, 0},   {32767, 1000},
                 {-32768, -1000}, {24575, 500}, {-24576, -500}};
    for (const auto& c : cases) {
        dinput_test_set_joystick_axes(0, c.raw, -c.raw);
        DIJOYSTATE state;
        EXPECT_EQ(static_cast<IDirectInputDevice2*>(joystick)->Poll(), DI_OK);
        ASSERT_EQ(joystick->GetDeviceState(sizeof state, &state), DI_OK);
        EXPECT_EQ(state.lX, c.read) << c.raw;
        EXPECT_NEAR(state.lY, -c.read, 1) << c.raw;
        EXPECT_EQ(state.lZ, 32768) << "an axis left alone keeps the whole range";
    }
}

TEST_F(InputDevices, InjectedFailuresComeBackFromTheCall)
{
    d3d_inject("InputDevice.Acquire", DIERR_OTHERAPPHASPRIO, 0, 1);
    LPDIRECTINPUTDEVICE keyboard = nullptr;
    ASSERT_EQ(direct_input->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    made.push_back(keyboard);
    keyboard->SetDataFormat(&c_dfDIKeyboard);
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    LPDIRECTINPUT old = nullptr;
    EXPECT_EQ(DirectInputCreate(nullptr, 0x0800, &old, nullptr), DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(old, nullptr);
}

}  // namespace
