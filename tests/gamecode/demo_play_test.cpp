// The Prologue played through in this process, twice, as a player plays it
// from the first menu button: walking north into the gate's trigger,
// striking until the guard falls, walking on into the exit, until the end
// of the episode brings the menu back. The game runs as WinMain runs it, on
// the recording device, with the frame clock driven by hand at 60 frames a
// second, so the play is the same on every machine and at any load. Each
// play must end, without an error, and the second must leave the heap as
// the first left it: a level loaded, played and unloaded leaks nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "d3dxframe.h"
#include "debug.h"
#include "demo_tree_files.h"
#include "entity_io.h"
#include "game_session.h"
#include "gameglobals.h"
#include "heap.h"
#include "menu.h"
#include "platform/ail_test.h"
#include "platform/dinput_test.h"
#include "platform/timer.h"
#include "runtime_services.h"
#include "test_support.h"
#include "win_entity.h"
#include "winmain2.h"

namespace {

constexpr DWORD FRAME_MS = 16;
constexpr int FRAMES_A_SECOND = 1000 / FRAME_MS;
// The sound a frame lasts, in frames of the loopback output.
constexpr int32_t MIX_FRAMES = AIL_TEST_LOOPBACK_RATE * FRAME_MS / 1000;
float mix[2 * MIX_FRAMES];

DWORD clock_ms = 0;
DWORD test_clock()
{
    return clock_ms;
}

win_entity* level_entity(const char* name)
{
    return entity_io_find_entity(entity_io_global_win_entity_list, name);
}

class DemoPlay : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        ASSERT_NE(getcwd(home, sizeof home), nullptr);
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        gameglobals_init();
        d3dxframe_set_defaults();
        ASSERT_EQ(demo_tree_write(), 1);
        clock_ms = 0;
        platform_timer_set_source(test_clock);
        log.clear();
        // Sounds end in game time: each frame mixes its own span of the
        // output, so the channels free up as they do in the game.
        ail_test_set_output(AIL_TEST_OUTPUT_LOOPBACK);
        window = game_session_open(false);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        if (window)
            game_session_close(window);
        platform_timer_set_source(nullptr);
        EXPECT_EQ(chdir(home), 0);
    }

    // Frames with the keys given held, until `done` holds or `seconds` of
    // game time have gone by; whether it held.
    bool play(bool up, bool strike, double seconds, const std::function<bool()>& done)
    {
        dinput_test_set_key(DIK_UP, up);
        dinput_test_set_key(DIK_C, strike);
        for (int frame = 0; frame < seconds * FRAMES_A_SECOND; ++frame) {
            if (done())
                return true;
            clock_ms += FRAME_MS;
            MSG message;
            while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessage(&message);
            winmain_run_frame();
            ail_test_render(mix, MIX_FRAMES);
        }
        return done();
    }

    // The Prologue from the first menu button to the menu again.
    void play_the_prologue()
    {
        // A key still held from the last play would act only once released.
        dinput_test_release_all();
        menu_main_menu_activate(0);
        ASSERT_TRUE(play(false, false, 5.0, [] { return level_entity("gate") != nullptr; }))
            << "the level loads with its gate";
        ASSERT_TRUE(play(true, false, 30.0, [] { return level_entity("gate") == nullptr; }))
            << "walking north reaches the gate's trigger, which opens the gate";
        ASSERT_TRUE(play(false, true, 60.0, [] {
            const win_character* guard = win_entity_character(level_entity("guard"));
            return guard && !(guard->hitpoints > 0.0f);
        })) << "striking beats the guard";
        ASSERT_TRUE(play(true, false, 40.0, [] {
            return game_globals.game_state == GAME_MODE_MENU;
        })) << "walking on reaches the exit, and the end of the episode brings the menu back";
    }

    TempDir dir;
    char home[4096] = {};
    LogCapture log;
    HWND window = nullptr;
};

TEST_F(DemoPlay, TheProloguePlaysThroughTwiceAndTheSecondTimeLeaksNothing)
{
    play_the_prologue();
    ASSERT_FALSE(HasFatalFailure());
    const int64_t blocks = heap_live_blocks();
    play_the_prologue();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(heap_live_blocks(), blocks);
    EXPECT_EQ(log.errors(), std::vector<std::string>{});
}

}  // namespace
