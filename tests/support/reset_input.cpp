#include "dxinput.h"
#include "input.h"
#include "platform/dinput_test.h"
#include "test_support.h"

TEST_RESET(input)
{
    dxinput_reset();
    input_reset();
    // A machine with a keyboard and a mouse, no joystick, nothing held.
    dinput_set_test_mode(1);
}
