#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "dxinput.h"
#include "gameglobals.h"
#include "heap.h"
#include "input.h"
#include "models_services.h"
#include "platform/dinput_test.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "service_doubles.h"
#include "test_support.h"
#include "winmain2.h"
#include "world_services.h"

namespace {

int count_of(const std::vector<std::string>& lines, const std::string& line)
{
    int count = 0;
    for (const std::string& l : lines)
        count += l == line;
    return count;
}

// The keyboard as the current device, and a player character with a state
// table and a character payload. The script engine is a double, whose calls
// show each abort of the running scripts.
class PlayerInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        std::strcpy(game_globals.startup_script_filename, "intro");
        window = test_make_window("Input Test Window", DefWindowProc);
        ShowWindow(window, SW_SHOW);
        ASSERT_EQ(dxinput_init(nullptr, window), 1);

        states[0].extra_rotation_velocity = {0.0f, 1.5f, 0.0f};
        table.win_anim_table_base_array_size = 2;
        table.win_anim_table_base_array = states;
        table.current_anim_index = 1;
        character = {};
        character.hitpoints = 10.0f;
        character.max_hitpoints = 100.0f;
        player.win_entity_flag = ENTITY_FLAG_BRAIN;
        player.win_entity_type = WIN_ENTITY_TYPE_CHARACTER;
        player.u.win_character = &character;
        player.win_ast = &table;
        game_globals.player_character = &player;
        log.clear();
    }
    void TearDown() override
    {
        dxinput_release_devices();
        set_action_button_script(nullptr);
        win32_reset();
    }
    // As the scene module sets it: an owned copy, or NULL.
    void set_action_button_script(const char* name)
    {
        if (game_globals.action_button_script)
            FREE(game_globals.action_button_script);
        game_globals.action_button_script = name ? STRDUP(name) : nullptr;
    }
    // Whether the running scripts were aborted since the last look.
    bool aborted()
    {
        size_t aborts = service_calls_of("script_abort_all_scripts").size();
        bool more = aborts > aborts_seen;
        aborts_seen = aborts;
        return more;
    }
    // One frame with exactly these keys held.
    int32_t frame(std::initializer_list<int32_t> keys = {})
    {
        dinput_test_release_all();
        for (int32_t key : keys)
            dinput_test_set_key(key, 1);
        return input_update();
    }
    int cursor()
    {
        int count = ShowCursor(FALSE) + 1;
        ShowCursor(TRUE);
        return count;
    }

    size_t aborts_seen = 0;
    HWND window = nullptr;
    win_anim_table_base states[2] = {};
    win_ast table = {};
    win_character character = {};
    win_entity player = {};
    LogCapture log;
};

TEST_F(PlayerInput, TheSplashOpensTheMenuOrPlaysTheMovie)
{
    struct {
        int32_t skip_splash;
        std::initializer_list<int32_t> keys;
        int32_t state;
        int cursor_shown;
    } cases[] = {
        {0, {}, GAME_MODE_SPLASH, 0},
        {0, {DIK_M}, GAME_MODE_PLAYING_MOVIE, 0},
        {0, {DIK_RETURN}, GAME_MODE_MENU, 1},
        {0, {DIK_RETURN, DIK_M}, GAME_MODE_SPLASH, 0},  // neither button alone
        {1, {}, GAME_MODE_MENU, 1},
        {1, {DIK_RETURN}, GAME_MODE_MENU, 1},
    };
    for (const auto& c : cases) {
        winmain_set_game_state(GAME_MODE_SPLASH);
        game_globals.skip_splash = c.skip_splash;
        int before = cursor();
        frame(c.keys);
        EXPECT_EQ(game_globals.game_state, c.state) << c.skip_splash << " " << c.keys.size();
        EXPECT_EQ(cursor() - before, c.cursor_shown) << c.skip_splash << " " << c.keys.size();
    }
}

TEST_F(PlayerInput, TheStartKeyInTheMovieStartsTheGameAndResetsNothingUntilReleased)
{
    winmain_set_game_state(GAME_MODE_PLAYING_MOVIE);
    frame({DIK_M});
    EXPECT_EQ(game_globals.game_state, GAME_MODE_PLAYING_MOVIE);
    EXPECT_EQ(game_globals.previous_game_state, GAME_MODE_PLAYING_MOVIE);
    EXPECT_TRUE(log.errors().empty());

    frame({DIK_RETURN});
    EXPECT_EQ(game_globals.game_state, GAME_MODE_EXPLORATION);
    EXPECT_TRUE(service_called("script_initiate_script(intro)"))
        << "the start-up script was started";
    // The start key still held is the same press: no player reset.
    player.local_matrix.m[3][1] = 40.0f;
    frame({DIK_RETURN});
    EXPECT_EQ(player.local_matrix.m[3][1], 40.0f);
    EXPECT_FALSE(aborted());
    frame();
    frame({DIK_RETURN});
    EXPECT_EQ(player.local_matrix.m[3][1], 3.0f);
    EXPECT_TRUE(aborted());
}

// The menu takes Enter as it goes down, and the key is still held in the
// level's first frames, where the start button alone lifts the player (who
// then floated): a key held when a level begins acts once it was released.
TEST_F(PlayerInput, KeysHeldWhenALevelBeginsActOnlyOnceReleased)
{
    winmain_set_game_state(GAME_MODE_MENU);
    dinput_test_set_key(DIK_RETURN, 1);
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    player.local_matrix.m[3][1] = 40.0f;
    EXPECT_EQ(frame({DIK_RETURN}), 0);
    EXPECT_EQ(frame({DIK_RETURN, DIK_UP}), ACTION_UP) << "a key pressed in the level acts";
    EXPECT_EQ(table.anim_input_flags, ACTION_UP);
    EXPECT_EQ(player.local_matrix.m[3][1], 40.0f);
    frame({DIK_RETURN});
    EXPECT_EQ(player.local_matrix.m[3][1], 40.0f);
    frame();
    EXPECT_EQ(frame({DIK_RETURN}), ACTION_START_BUTTON);
    EXPECT_EQ(player.local_matrix.m[3][1], 3.0f);

    // Back from the debug camera the level goes on: nothing is held back.
    winmain_set_game_state(GAME_MODE_CAMERA_LOOK);
    dinput_test_set_key(DIK_UP, 1);
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    EXPECT_EQ(frame({DIK_UP}), ACTION_UP);
}

TEST_F(PlayerInput, ExplorationFeedsTheMaskToThePlayersAnimation)
{
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    frame({DIK_UP, DIK_A});
    EXPECT_EQ(table.anim_input_flags, ACTION_UP | ACTION_A_BUTTON);
    table.anim_input_flags = WIN_AST_INPUT_HOLD;
    frame({DIK_C});
    EXPECT_EQ(table.anim_input_flags, WIN_AST_INPUT_HOLD);

    // Without a player the warning comes once per entry into the state, not
    // once per frame.
    game_globals.player_character = nullptr;
    frame({DIK_UP});
    frame();
    frame({DIK_UP});
    EXPECT_EQ(log.warnings(), (std::vector<std::string>{"No player_character defined"}));
    winmain_set_game_state(GAME_MODE_MENU);
    frame();
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    frame();
    frame();
    EXPECT_EQ(log.warnings(), (std::vector<std::string>{"No player_character defined",
                                                        "No player_character defined"}));
}

TEST_F(PlayerInput, ALevelsFirstFrameWaitsForItsStartScriptToSetThePlayer)
{
    // A level starts without a player: the menu enters exploration and
    // starts the level's script, whose first slice runs after the input of
    // the first frame. That frame is no fault; a second one without a player
    // is.
    game_globals.player_character = nullptr;
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    frame({DIK_RETURN});
    EXPECT_EQ(log.warnings(), std::vector<std::string>{});
    game_globals.player_character = &player;
    frame({DIK_UP});
    EXPECT_EQ(table.anim_input_flags, ACTION_UP);
    EXPECT_EQ(log.warnings(), std::vector<std::string>{});

    game_globals.player_character = nullptr;
    winmain_set_game_state(GAME_MODE_MENU);
    frame();
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    frame();
    frame();
    EXPECT_EQ(log.warnings(), std::vector<std::string>{"No player_character defined"});
}

TEST_F(PlayerInput, OneShotButtonsActOncePerPress)
{
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    set_action_button_script("door");
    const std::string trying = "Trying to initiate action button script: door.";

    for (int held = 0; held < 3; ++held)
        frame({DIK_B});
    EXPECT_EQ(count_of(log.notices(), trying), 1);
    EXPECT_TRUE(aborted());
    EXPECT_EQ(game_globals.action_button_pressed, 1);
    frame({DIK_B});
    EXPECT_FALSE(aborted()) << "still the same press";
    frame();
    EXPECT_EQ(game_globals.action_button_pressed, 0);
    frame({DIK_B});
    EXPECT_EQ(count_of(log.notices(), trying), 2);
    EXPECT_TRUE(aborted());

    // Action with a direction is no action press: scripts are aborted once.
    frame();
    log.clear();
    frame({DIK_B, DIK_LEFT});
    frame({DIK_B, DIK_LEFT});
    EXPECT_EQ(count_of(log.notices(), trying), 0);
    EXPECT_TRUE(aborted());
    EXPECT_FALSE(aborted());
    EXPECT_EQ(game_globals.action_button_pressed, 0);

    // Each one-shot button has its own press: switching from one to another
    // without letting go of everything acts again.
    frame();
    frame({DIK_X});
    EXPECT_TRUE(aborted());
    frame({DIK_L});
    EXPECT_TRUE(aborted());
    frame({DIK_X});
    EXPECT_FALSE(aborted());
}

TEST_F(PlayerInput, TheActionPressCountsOnlyForAPlayerWithABrain)
{
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    player.win_entity_flag = 0;
    frame({DIK_B});
    EXPECT_EQ(game_globals.action_button_pressed, 0);
    EXPECT_TRUE(aborted()) << "the press still aborts";
}

TEST_F(PlayerInput, TheFirstPressClosesTheCloseUp)
{
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    game_globals.display_closeup = 1;
    frame({DIK_UP});
    EXPECT_EQ(game_globals.display_closeup, 0);
    game_globals.display_closeup = 1;
    frame({DIK_UP});
    EXPECT_EQ(game_globals.display_closeup, 1) << "only the first press after a release";
    EXPECT_EQ(log.notices(),
              std::vector<std::string>{"setting game_globals.display_closeup = FALSE "});
}

TEST_F(PlayerInput, TheZButtonSwitchesTheDebugCamera)
{
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    frame({DIK_Z});
    frame({DIK_Z});
    EXPECT_EQ(game_globals.debug_camera, 1);
    frame();
    frame({DIK_Z});
    EXPECT_EQ(game_globals.debug_camera, 0);
}

TEST_F(PlayerInput, TheStartButtonPutsThePlayerBackOnItsFeet)
{
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    float* position = player.local_matrix.m[3];
    position[0] = 5.0f, position[1] = 40.0f, position[2] = 7.0f;
    player.velocity = {1.0f, 2.0f, 3.0f};
    frame({DIK_RETURN});
    EXPECT_EQ(position[0], 5.0f);
    EXPECT_EQ(position[1], 3.0f);
    EXPECT_EQ(position[2], 7.0f);
    EXPECT_EQ(player.velocity.x + player.velocity.y + player.velocity.z, 0.0f);
    EXPECT_EQ(character.hitpoints, 100.0f);
    EXPECT_EQ(table.current_anim_index, 0);
    EXPECT_EQ(player.rot_velocity.y, 1.5f);
    EXPECT_TRUE(aborted());

    // A player without a state table or a payload gets the rest.
    frame();
    player.win_ast = nullptr;
    player.u.win_character = nullptr;
    position[1] = 40.0f;
    frame({DIK_RETURN});
    EXPECT_EQ(position[1], 3.0f);
}

TEST_F(PlayerInput, TheDebugCameraTurnsAndFlies)
{
    winmain_set_game_state(GAME_MODE_CAMERA_LOOK);
    win_entity camera = {};
    game_globals.current_camera = &camera;
    // A view turned a quarter about y: its columns are not its rows.
    win_matrix44& view = game_globals.view_matrix;
    view = {};
    view.m[0][2] = -1.0f, view.m[1][1] = 1.0f, view.m[2][0] = 1.0f, view.m[3][3] = 1.0f;
    frame_delta_time = 500.0f;  // half a second
    game_globals.debug_mouse_speed = 100.0f;
    game_globals.debug_mouse_sensitivity = 2.0f;
    game_globals.debug_camera_direction = {0.0f, 0.0f, -1.0f};
    const float* at = camera.local_matrix.m[3];

    frame({DIK_A, DIK_B, DIK_UP});  // up its own up axis, 50 units
    EXPECT_FLOAT_EQ(at[1], 50.0f);
    frame({DIK_A, DIK_B, DIK_RIGHT});  // along its right axis, column 0: (0, 0, 1)
    EXPECT_FLOAT_EQ(at[2], 50.0f);
    EXPECT_FLOAT_EQ(at[0], 0.0f);
    frame({DIK_A});  // backwards along column 2: (-1, 0, 0)
    EXPECT_FLOAT_EQ(at[0], 50.0f);
    frame({DIK_B});
    EXPECT_FLOAT_EQ(at[0], 0.0f);

    win_vect3& direction = game_globals.debug_camera_direction;
    frame({DIK_UP});
    EXPECT_NEAR(direction.y, std::sin(1.0f), 1e-5f) << "up looks up";
    frame({DIK_DOWN});
    EXPECT_NEAR(direction.y, 0.0f, 1e-5f);
    frame({DIK_LEFT});
    EXPECT_NEAR(std::fabs(direction.x), std::sin(1.0f), 1e-5f);
    EXPECT_NEAR(direction.y, 0.0f, 1e-5f);
    frame({DIK_RIGHT});
    EXPECT_NEAR(direction.x, 0.0f, 1e-5f);
    EXPECT_NEAR(direction.z, -1.0f, 1e-5f);

    // Looking straight up there is no axis to turn up about: nothing turns.
    direction = {0.0f, 1.0f, 0.0f};
    frame({DIK_UP});
    EXPECT_EQ(direction.y, 1.0f);
    EXPECT_TRUE(log.errors().empty());

    // Without a camera there is nothing to fly.
    game_globals.current_camera = nullptr;
    frame({DIK_A, DIK_B, DIK_UP});
    EXPECT_EQ(game_globals.game_state, GAME_MODE_CAMERA_LOOK);
}

TEST_F(PlayerInput, TheMenuOnlyReads)
{
    winmain_set_game_state(GAME_MODE_MENU);
    EXPECT_EQ(frame({DIK_RETURN}), ACTION_START_BUTTON);
    frame({DIK_Z});
    EXPECT_EQ(game_globals.game_state, GAME_MODE_MENU);
    EXPECT_EQ(game_globals.debug_camera, 0);
    EXPECT_FALSE(aborted());
}

TEST_F(PlayerInput, EveryFrameReadsTheInputBeforeTheWorkOfItsState)
{
    game_globals.skip_splash = 1;
    winmain_run_frame();
    EXPECT_EQ(game_globals.game_state, GAME_MODE_MENU);
}

}  // namespace
