#include "file_io.h"
#include "gametime.h"
#include "platform/timer.h"
#include "rand_util.h"
#include "test_support.h"

TEST_RESET(core)
{
    game_time = 0.0f;
    file_hdr_type_found = 0;
    file_hdr_version_found = 0;
    platform_timer_set_source(nullptr);
    rand_util_srand(1);
}
