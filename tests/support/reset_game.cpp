#include "entity_io.h"
#include "gameglobals.h"
#include "gametime.h"
#include "menu.h"
#include "platform/timer.h"
#include "script.h"
#include "sound.h"
#include "test_support.h"
#include "varnock.h"
#include "vk_tail.h"
#include "winmain2.h"

TEST_RESET(game)
{
    script_reset();
    // The screens' texture references outlive the cache (it leaves counted
    // containers to their holders), so this is safe after any test.
    menu_free_all_screens();
    gameglobals_reset();
    sound_reset();
    varnock_reset();
    vk_tail_free();
    winmain_reset();
    entity_io_global_win_entity_list = nullptr;
    entity_io_global_win_entity_list_size = 0;
    platform_timer_set_source(nullptr);
    game_time = 0.0f;
}
