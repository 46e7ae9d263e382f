// The Prologue played in this process as a player plays it from the splash
// and a click on the first menu button: walking north over the flask, which
// he takes, into the gate's trigger; browsing his items; shooting the guard
// with the sling, then striking him down with the sword; drinking the flask;
// walking on into the exit, until the end of the episode brings the menu
// back. Played twice, the second play must leave the heap as the first left
// it: a level loaded, played and unloaded leaks nothing. Started with Enter
// (held into the level's first frames), the level plays the same. A hero
// who stands and lets the guard come loses, and his end script closes the
// level. The Hints key (F7) helps wherever he stands and whichever way he
// faces.
//
// The game runs as WinMain runs it, on the recording device, with the frame
// clock driven by hand at 60 frames a second and the one random generator
// seeded anew at each start, so the play is the same on every machine and at
// any load. No play logs an error or a warning.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>

#include "d3dxframe.h"
#include "debug.h"
#include "demo_ast.h"
#include "demo_level.h"
#include "demo_tree_files.h"
#include "dlink.h"
#include "entity_io.h"
#include "file_io.h"
#include "game_session.h"
#include "gameglobals.h"
#include "heap.h"
#include "menu.h"
#include "platform/ail_test.h"
#include "platform/dinput_test.h"
#include "platform/path.h"
#include "platform/timer.h"
#include "platform/win32_test.h"
#include "rand_util.h"
#include "runtime_services.h"
#include "sound.h"
#include "test_support.h"
#include "varnock.h"
#include "vk_auto_aim.h"
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

win_character* character_of(const char* name)
{
    return win_entity_character(level_entity(name));
}

float hitpoints_of(const char* name)
{
    const win_character* character = character_of(name);
    return character ? character->hitpoints : -1.0f;
}

int32_t state_of(const char* name)
{
    const win_entity* entity = level_entity(name);
    return entity && entity->win_ast ? entity->win_ast->current_anim_index : -1;
}

// The weapon in the hero's hand, by name ("" for none).
std::string hero_weapon(void)
{
    const win_character* hero = character_of("hero");
    const win_entity* weapon = hero ? hero->current_weapon : nullptr;
    return weapon && weapon->win_entity_name ? weapon->win_entity_name : "";
}

int32_t sling_stones(void)
{
    const win_character* sling = character_of("sling");
    return sling ? sling->weapon_data.ammo_count : -1;
}

// Gives the setting `key` of varnock.cfg another value, as the game writes
// it (the value left-aligned in 44 columns before the key's comment).
bool set_setting(const char* key, const char* value)
{
    std::ifstream in("varnock.cfg");
    std::string text, line;
    bool found = false;
    while (std::getline(in, line)) {
        const std::string tail = std::string("//  ") + key;
        if (!found && line.size() >= tail.size() &&
            line.compare(line.size() - tail.size(), tail.size(), tail) == 0 &&
            line.rfind("//", 0) != 0) {
            char set[128];
            snprintf(set, sizeof set, "%-44s%s", value, tail.c_str());
            line = set;
            found = true;
        }
        text += line + "\n";
    }
    in.close();
    std::ofstream("varnock.cfg") << text;
    return found;
}

float distance_between(const char* a, const char* b)
{
    const win_entity* first = level_entity(a);
    const win_entity* second = level_entity(b);
    if (!first || !second)
        return -1.0f;
    const float dx = first->local_matrix.m[3][0] - second->local_matrix.m[3][0];
    const float dz = first->local_matrix.m[3][2] - second->local_matrix.m[3][2];
    return std::sqrt(dx * dx + dz * dz);
}

float hero_z(void)
{
    const win_entity* hero = level_entity("hero");
    return hero ? hero->local_matrix.m[3][2] : 0.0f;
}

const LPARAM PROLOGUE_BUTTON = MAKELPARAM(93, 121);

std::string console_line(void)
{
    return varnock_scene.text_lines[0];
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
        menu_build_main_menu();  // as WinMain builds it once the frame is up
    }
    void TearDown() override
    {
        if (window)
            game_session_close(window);
        platform_timer_set_source(nullptr);
        EXPECT_EQ(chdir(home), 0);
        EXPECT_EQ(log.errors(), std::vector<std::string>{});
        EXPECT_EQ(log.warnings(), std::vector<std::string>{});
    }

    void frame()
    {
        clock_ms += FRAME_MS;
        MSG message;
        while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&message);
        winmain_run_frame();
        ail_test_render(mix, MIX_FRAMES);
    }

    // Frames with exactly the keys given held, until `done` holds or
    // `seconds` of game time have gone by; whether it held.
    bool play(std::initializer_list<int32_t> keys, double seconds,
              const std::function<bool()>& done)
    {
        dinput_test_release_all();
        for (int32_t key : keys)
            dinput_test_set_key(key, 1);
        for (int f = 0; f < seconds * FRAMES_A_SECOND; ++f) {
            if (done())
                return true;
            frame();
        }
        return done();
    }

    // A key pressed for a frame and let go.
    void tap(int32_t key)
    {
        play({key}, 1.0 / FRAMES_A_SECOND, [] { return false; });
        play({}, 1.0 / FRAMES_A_SECOND, [] { return false; });
    }

    // What the Hints key sends.
    void hints()
    {
        PostMessage(window, WM_COMMAND, IDM_TEST_SCRIPT, 0);
        play({}, 0.1, [] { return false; });
    }

    // The game opens on its splash, which Enter leaves for the menu.
    void past_the_splash()
    {
        for (int press = 0; press < 5 && game_globals.game_state == GAME_MODE_SPLASH; ++press) {
            play({}, 0.5, [] { return false; });
            tap(DIK_RETURN);
        }
        ASSERT_EQ(game_globals.game_state, GAME_MODE_MENU);
    }

    // A click on the menu at `at`, the pointer moved there first.
    void click_menu(LPARAM at)
    {
        PostMessage(window, WM_MOUSEMOVE, 0, at);
        PostMessage(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessage(window, WM_LBUTTONUP, 0, at);
    }

    // A click on the menu's first button, "Prologue" (its middle on the
    // 640 x 480 screen), which starts the level.
    void start_the_prologue()
    {
        past_the_splash();
        ASSERT_FALSE(HasFatalFailure());
        rand_util_srand(1);
        click_menu(PROLOGUE_BUTTON);
        ASSERT_TRUE(play({}, 5.0, [] { return level_entity("gate") != nullptr; }))
            << "the level loads with its gate";
    }

    // Walking north over the flask, which he takes, into the gate's trigger,
    // which opens the gate.
    void walk_to_the_gate()
    {
        ASSERT_TRUE(play({DIK_UP}, 30.0, [] { return level_entity("gate") == nullptr; }))
            << "walking north reaches the gate's trigger, which opens the gate";
        const win_character* hero = character_of("hero");
        ASSERT_TRUE(hero && hero->current_item && game_globals.current_item == hero->current_item);
        EXPECT_STREQ(hero->current_item->win_entity_name, "flask") << "the flask, taken";
    }

    // M turns the choosing keys to the items, whose only one is the flask:
    // L or R puts it back in the pack, and again takes it out; M turns them
    // back to the weapons.
    void browse_the_items()
    {
        tap(DIK_M);
        EXPECT_EQ(game_globals.weapon_item_toggle, 1);
        for (int32_t key : {DIK_L, DIK_R}) {
            tap(key);
            EXPECT_EQ(game_globals.current_item, nullptr);
            tap(key);
            EXPECT_STREQ(game_globals.current_item ? game_globals.current_item->win_entity_name
                                                   : "",
                         "flask");
        }
        tap(DIK_M);
        EXPECT_EQ(game_globals.weapon_item_toggle, 0);
    }

    // The next weapon chosen (L), drawn (X held) in place of the one in hand.
    void change_weapon(const char* name)
    {
        // Weapons are chosen while the hands are free of drawing and
        // holstering.
        play({}, 2.0, [] { return state_of("hero") == DEMO_AST_STAND; });
        tap(DIK_L);
        ASSERT_STREQ(
            game_globals.current_weapon ? game_globals.current_weapon->win_entity_name : "", name);
        // Holding X puts the weapon in hand away and draws the one chosen; a
        // blow that staggers the hero cuts that short: X again.
        for (int press = 0; press < 5 && hero_weapon() != name; ++press) {
            play({DIK_X}, 1.5, [name] { return hero_weapon() == name; });
            play({}, 0.1, [] { return false; });
            play({}, 2.0, [] { return state_of("hero") == DEMO_AST_STAND; });
        }
        ASSERT_EQ(hero_weapon(), name);
    }

    // Three stones and a reload, each aimed at the guard by the auto-aim.
    void shoot_the_guard()
    {
        change_weapon("sling");
        const float whole = hitpoints_of("guard");
        ASSERT_TRUE(play({DIK_C}, 20.0, [] {
            return sling_stones() <= DEMO_LEVEL_SLING_STONES - 4 &&
                   state_of("hero") == DEMO_AST_AIM_SLING;
        })) << "holding C raises the sling and shoots";
        EXPECT_EQ(vk_auto_aim_state.auto_aim_target, level_entity("guard"));
        EXPECT_EQ(vk_auto_aim_state.arm_slerp_fraction, 1.0f);
        play({}, 1.0, [] { return false; });
        EXPECT_LT(hitpoints_of("guard"), whole) << "the stones hit the guard";
        ASSERT_TRUE(play({DIK_X}, 5.0, [] { return hero_weapon().empty(); }))
            << "X lowers the sling and puts it away";
    }

    void strike_the_guard_down()
    {
        change_weapon("sword");
        ASSERT_TRUE(play({DIK_C}, 60.0, [] { return !(hitpoints_of("guard") > 0.0f); }))
            << "striking beats the guard";
        ASSERT_TRUE(play({}, 5.0, [] { return state_of("guard") == DEMO_AST_LIE; }))
            << "the beaten guard falls and lies on the ground";
        const win_matrix43 lying = level_entity("guard")->local_matrix;
        play({}, 1.0, [] { return false; });
        EXPECT_EQ(std::memcmp(&lying, &level_entity("guard")->local_matrix, sizeof lying), 0)
            << "and lies still";
    }

    // Once the fight is over and the hero stands with his weapon away.
    void drink_the_flask()
    {
        ASSERT_TRUE(play({}, 10.0, [] {
            return hero_weapon().empty() && state_of("hero") == DEMO_AST_STAND;
        })) << "the hero puts his weapon away after the fight";
        const float before = hitpoints_of("hero");
        tap(DIK_Y);
        ASSERT_TRUE(play({}, 1.0, [] { return game_globals.display_closeup == 1; }))
            << "Y drinks the flask, which the hero looks at close up";
        EXPECT_EQ(hitpoints_of("hero"),
                  std::min(before + DEMO_LEVEL_FLASK_MEAD, DEMO_LEVEL_HERO_HITPOINTS));
        play({}, 1.0, [] { return false; });
        EXPECT_EQ(game_globals.display_closeup, 1) << "until a key is pressed";
        EXPECT_EQ(game_globals.current_item, level_entity("flask"));
        tap(DIK_DOWN);
        ASSERT_TRUE(play({}, 1.0, [] { return game_globals.current_item == nullptr; }))
            << "then he puts it out of his hands";
        win_entity* flask = level_entity("flask");
        ASSERT_NE(flask, nullptr);
        ASSERT_TRUE(play({}, 2.0, [flask] { return flask->local_matrix.m[3][1] < 0.01f; }))
            << "the empty flask drops to the ground";
        EXPECT_NE(entity_io_global_win_entity_list, nullptr);
    }

    void walk_out()
    {
        ASSERT_TRUE(play({DIK_UP}, 40.0, [] { return game_globals.game_state == GAME_MODE_MENU; }))
            << "walking on reaches the exit, and the end of the episode brings the menu back";
    }

    // The menu's second button, "The Harbour", which is not in the demo: its
    // card says so on a black screen, with nothing of the level played
    // before behind its words (the overlay over the scene and its heads-up
    // display is opaque), and the menu comes back.
    void visit_an_episode_not_in_the_demo()
    {
        click_menu(MAKELPARAM(135, 172));
        ASSERT_TRUE(play({}, 2.0, [] {
            return console_line() == "The Harbour is not in the demo." &&
                   game_globals.game_state == GAME_MODE_EXPLORATION;
        }));
        play({}, 0.1, [] { return false; });
        EXPECT_EQ(game_globals.overlay_alpha, 1.0f) << "the level's screen shows behind the card";
        ASSERT_TRUE(play({}, 6.0, [] { return game_globals.game_state == GAME_MODE_MENU; }));
    }

    // The Prologue won, from its start to the menu again.
    void win_the_started_prologue()
    {
        walk_to_the_gate();
        ASSERT_FALSE(HasFatalFailure());
        browse_the_items();
        shoot_the_guard();
        ASSERT_FALSE(HasFatalFailure());
        strike_the_guard_down();
        ASSERT_FALSE(HasFatalFailure());
        drink_the_flask();
        ASSERT_FALSE(HasFatalFailure());
        walk_out();
    }

    TempDir dir;
    char home[4096] = {};
    LogCapture log;
    HWND window = nullptr;
};

TEST_F(DemoPlay, TheProloguePlaysThroughTwiceAndTheSecondTimeLeaksNothing)
{
    start_the_prologue();
    ASSERT_FALSE(HasFatalFailure());
    win_the_started_prologue();
    ASSERT_FALSE(HasFatalFailure());
    for (const char* script : {"guard_hurt", "guard_beaten", "prologue_end"})
        EXPECT_TRUE(log.contains(std::string(script) + ".scw up and running")) << script;
    // Each start unloads the level before and loads its own: a fresh level
    // after a whole play holds the heap as the one after the next play does.
    start_the_prologue();
    ASSERT_FALSE(HasFatalFailure());
    const int64_t blocks = heap_live_blocks();
    win_the_started_prologue();
    ASSERT_FALSE(HasFatalFailure());
    start_the_prologue();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(heap_live_blocks(), blocks);
}

// One flipped byte of the embers' glow (an emitter) stores a child count of
// 0x26000000 beside no child list. The entity reads with its count at 0 and
// a line, its particles fly, and the level plays to its end and unloads.
TEST_F(DemoPlay, AChildCountWithoutItsListLoadsTheLevelWithALineAndPlaysToTheEnd)
{
    uint32_t at = FILE_HDR_SIZE;
    for (uint32_t i = 0;
         i < win_entity_desc.n_fields &&
         std::strcmp(win_entity_desc.fields[i].count_name, "child_entity_list_size");
         ++i)
        at += record_image_bytes(win_entity_desc.fields[i]);
    char path[1024];
    ASSERT_EQ(
        platform_resolve_path((std::string(game_globals.entity_pathname) + "\\glow.enw").c_str(),
                              path, sizeof path),
        1);
    std::fstream glow(path, std::ios::in | std::ios::out | std::ios::binary);
    char count[4] = {};
    glow.seekg(at);
    ASSERT_TRUE(glow.read(count, 4));
    ASSERT_EQ(std::string(count, 4), std::string(4, '\0')) << "the glow stores no children";
    glow.seekp(at + 3);
    glow.put('\x26');
    glow.close();

    start_the_prologue();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(log.errors(), std::vector<std::string>{"win_entity child_entity_list_size = "
                                                     "637534208 with no child_entity_list "
                                                     "stored; taken as 0."});
    log.clear();
    const win_entity* emitter = level_entity("glow");
    ASSERT_NE(emitter, nullptr);
    play({}, 2.0, [] { return false; });
    EXPECT_EQ((int64_t)emitter->child_entity_list_size,
              (int64_t)dlink_count((const dlink*)emitter->child_entity_list))
        << "the particles it threw are what it counts";
    win_the_started_prologue();
}

TEST_F(DemoPlay, StartedWithEnterThePrologueIsWonAndTheStartKeyLeavesTheHeroOnTheFloor)
{
    past_the_splash();
    ASSERT_FALSE(HasFatalFailure());
    rand_util_srand(1);
    // The menu takes Enter as it goes down; the key may still be down in
    // the level's first frames.
    PostMessage(window, WM_KEYDOWN, VK_RETURN, 0);
    play({DIK_RETURN}, 0.5, [] { return false; });
    ASSERT_NE(level_entity("gate"), nullptr) << "Enter starts the Prologue";
    const auto on_the_floor = [] {
        const win_entity* hero = level_entity("hero");
        return hero && hero->local_matrix.m[3][1] < 0.01f;
    };
    ASSERT_TRUE(play({}, 2.0, on_the_floor)) << "the hero stands on the yard's floor";
    // In the level Enter is the start key, which puts the player back on
    // his feet, lifted a little; the hero's weight holds him to the floor.
    play({DIK_RETURN}, 0.2, [] { return false; });
    ASSERT_TRUE(play({}, 2.0, on_the_floor)) << "he stands on the floor again";
    win_the_started_prologue();
}

// Left with Esc once it has faded in, the level's screen stays as it was
// drawn last: an episode that is not in the demo says so on black.
TEST_F(DemoPlay, AnEpisodeNotInTheDemoSaysSoOnBlackAfterALevelWasLeft)
{
    start_the_prologue();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(play({}, 5.0, [] { return game_globals.overlay_alpha == 0.0f; }))
        << "the level fades in";
    PostMessage(window, WM_COMMAND, IDM_EXIT, 0);
    ASSERT_TRUE(play({}, 1.0, [] { return game_globals.game_state == GAME_MODE_MENU; }));
    visit_an_episode_not_in_the_demo();
}

// The hero's model cut to half its length: the Prologue cannot make its
// player. A box says so and where the details are, and the menu comes back.
// Every later try does the same, and a try after a try leaves the heap as
// the one before left it.
TEST_F(DemoPlay, ALevelWhosePlayerCannotBeMadeSaysSoAndGoesBackToTheMenu)
{
    char path[1024];
    ASSERT_EQ(
        platform_resolve_path((std::string(game_globals.model_pathname) + "\\hero.mow").c_str(),
                              path, sizeof path),
        1);
    std::string model;
    {
        std::ifstream in(path, std::ios::binary);
        model.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_GT(model.size(), 2u);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << model.substr(0, model.size() / 2);
    win32_message_box_script(1, IDOK);
    past_the_splash();
    ASSERT_FALSE(HasFatalFailure());
    int64_t blocks = -1;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        SCOPED_TRACE(attempt);
        click_menu(PROLOGUE_BUTTON);
        ASSERT_TRUE(play({}, 5.0, [attempt] { return win32_message_box_count() == attempt; }))
            << "a box says that the level cannot be played";
        ASSERT_TRUE(play({}, 1.0, [] { return game_globals.game_state == GAME_MODE_MENU; }));
        play({}, 0.5, [] { return false; });
        EXPECT_EQ(win32_message_box_count(), attempt) << "once";
        EXPECT_EQ(game_globals.game_state, GAME_MODE_MENU) << "the menu stays";
        const char* text = nullptr;
        const char* caption = nullptr;
        win32_message_box_get(attempt - 1, nullptr, &text, &caption, nullptr);
        EXPECT_STREQ(caption, "Level Cannot Be Played");
        EXPECT_STREQ(text, "This level cannot be played.\n\nThe player 'hero' could not be "
                           "made,\nas the model 'hero' did not load.\n\nCheck the debug file "
                           "for the details.");
        if (attempt == 3) {
            EXPECT_EQ(heap_live_blocks(), blocks) << "each try unloads what the one before loaded";
        }
        blocks = heap_live_blocks();
    }
    EXPECT_TRUE(log.contains("Could not read-to-verify mow_model file"));
    log.clear();  // the errors of the broken model and of the level given up

    // Nothing of the levels given up stays in the way: with its model whole
    // again, the Prologue plays.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << model;
    rand_util_srand(1);
    click_menu(PROLOGUE_BUTTON);
    ASSERT_TRUE(play({}, 5.0, [] {
        return game_globals.player_character &&
               game_globals.player_character == level_entity("hero");
    })) << "the hero is the player";
    win_the_started_prologue();
    EXPECT_EQ(win32_message_box_count(), 3);
    win32_message_box_script(0, 0);
}

TEST_F(DemoPlay, AHeroWhoLetsTheGuardComeFallsAndHisEndScriptClosesTheLevel)
{
    // This player's configuration asks for plain stereo sound.
    game_session_close(window);
    window = nullptr;
    ASSERT_TRUE(set_setting("enable_3d", "0"));
    log.clear();  // the game's end closed its log
    window = game_session_open(false);
    ASSERT_NE(window, nullptr);
    menu_build_main_menu();
    ASSERT_EQ(sound_module.enable_3d, 0);
    start_the_prologue();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(play({DIK_UP}, 30.0, [] { return level_entity("gate") == nullptr; }));
    ASSERT_TRUE(play({}, 90.0, [] { return game_globals.game_state == GAME_MODE_MENU; }))
        << "the guard beats the hero, and the level ends";
    EXPECT_FALSE(hitpoints_of("hero") > 0.0f);
    EXPECT_EQ(state_of("hero"), DEMO_AST_LIE) << "the hero fell";
    EXPECT_TRUE(log.contains("hero_hurt.scw up and running"));
    EXPECT_TRUE(log.contains("hero_falls.scw up and running"));
    EXPECT_FALSE(log.contains("prologue_end.scw"));
}

TEST_F(DemoPlay, TheHintsKeySaysWhatToDoNextAndMakesTheHeroWhole)
{
    start_the_prologue();
    ASSERT_FALSE(HasFatalFailure());
    character_of("hero")->hitpoints = 40.0f;
    character_of("sling")->weapon_data.ammo_count = 1;
    hints();
    EXPECT_EQ(console_line().rfind("Hint: a flask lies before you", 0), 0u) << console_line();
    EXPECT_EQ(hitpoints_of("hero"), DEMO_LEVEL_HERO_HITPOINTS);
    EXPECT_EQ(sling_stones(), 12);

    walk_to_the_gate();
    ASSERT_FALSE(HasFatalFailure());
    hints();
    EXPECT_EQ(console_line().rfind("Hint: L picks the sling", 0), 0u) << console_line();

    // The hero turns his back on the guard, who comes up behind him.
    const double half_turn = 3.1415927 / DEMO_AST_TURN_PACE;
    play({DIK_LEFT}, half_turn, [] { return false; });
    ASSERT_TRUE(play({}, 20.0, [] { return distance_between("hero", "guard") < 6.0f; }));
    hints();
    EXPECT_EQ(console_line().rfind("Hint: he is close: turn to face him", 0), 0u) << console_line();
    play({DIK_LEFT}, half_turn, [] { return false; });

    character_of("guard")->hitpoints = 1.0f;
    ASSERT_TRUE(play({DIK_C}, 60.0, [] { return !(hitpoints_of("guard") > 0.0f); }));
    play({}, 0.5, [] { return false; });
    hints();
    EXPECT_EQ(console_line().rfind("Hint: walk north through the gate", 0), 0u) << console_line();
    ASSERT_TRUE(
        play({DIK_UP}, 10.0, [] { return hitpoints_of("hero") < 0.0f || hero_z() < -2.0f; }));
    // Through the gate, he looks back; then turns north again.
    play({DIK_LEFT}, half_turn, [] { return false; });
    hints();
    EXPECT_EQ(console_line().rfind("Hint: turn north", 0), 0u) << console_line();
    ASSERT_TRUE(play({DIK_LEFT}, 2 * half_turn,
                     [] { return entity_is_facing_neg_z_dir(level_entity("hero")) == 1; }));
    hints();
    EXPECT_EQ(console_line().rfind("Hint: the way out", 0), 0u) << console_line();
}

}  // namespace
