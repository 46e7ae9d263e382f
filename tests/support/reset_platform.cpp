#include "platform/ail.h"
#include "platform/ail_test.h"
#include "platform/d3d_record.h"
#include "platform/d3dx.h"
#include "platform/dialog_test.h"
#include "platform/dinput_test.h"
#include "platform/font.h"
#include "platform/path_test.h"
#include "platform/timer.h"
#include "platform/win32_test.h"
#include "platform_support.h"

TEST_RESET(platform)
{
    win32_reset();
    dialog_reset();
    win32_set_headless(1);
    d3d_record_reset();
    d3dx_set_display_modes(nullptr, 0, nullptr);
    platform_font_use(nullptr);
    platform_timer_set_source(nullptr);
    path_test_deny_access(nullptr, 0);
    // A machine with a keyboard and a mouse, no joystick, nothing held.
    dinput_set_test_mode(1);
    // No sound library left started. Tests never open the machine's own
    // audio device: a test that wants sound asks for the loopback output.
    AIL_shutdown();
    ail_test_set_output(AIL_TEST_OUTPUT_NONE);
    ail_test_set_channel_count(0);
}
