#include "platform/ail.h"
#include "platform/ail_test.h"
#include "sound.h"
#include "test_support.h"

// The sound module lets go of its sounds and channels before the library
// goes. Tests never open the machine's own audio device: a test that wants
// sound asks for the loopback output.
TEST_RESET(sound)
{
    sound_reset();
    AIL_shutdown();
    ail_test_set_output(AIL_TEST_OUTPUT_NONE);
    ail_test_set_channel_count(0);
}
