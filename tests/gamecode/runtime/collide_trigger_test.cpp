#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "collide_support.h"
#include "collide_trigger.h"
#include "gameglobals.h"
#include "gametime.h"
#include "heap.h"
#include "script.h"
#include "scriptasm.h"
#include "test_support.h"
#include "win_math.h"

namespace {

// Turns the entity about y where it stands at (50, 0, 50), in the room.
void turn(win_entity* entity, float y)
{
    win_math_set_rot_trans_matrix43(&entity->local_matrix, 0, y, 0, 50, 0, 50);
}

// The player in the level "level", whose triggers stand on the square room
// (0 to 100 in x and z); the script "door_open" waits a quarter second.
class Triggers : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        std::strcpy(game_globals.script_pathname, dir.file("Script").c_str());
        std::string error;
        dir.write("Script/door_open.scw", "");
        ASSERT_EQ(scriptasm_write("wait 250\n", dir.file("Script/door_open.scw").c_str(), &error),
                  1)
            << error;
        level = make_environment("level", {});
        player = make_mover("hero", WIN_ENTITY_TYPE_CHARACTER, {50, 0, 50});
        game_globals.current_environment = level;
    }
    void TearDown() override
    {
        script_reset();
        game_globals.current_environment = nullptr;
        free_win_entity(player);
        free_win_entity(level);
    }
    void place(win_vect3 at, float turn_y = 0.0f)
    {
        win_math_set_rot_trans_matrix43(&player->local_matrix, 0.0f, turn_y, 0.0f, at.x, at.y,
                                        at.z);
    }
    static int running_scripts()
    {
        int n = 0;
        for (running_script* s = script_global_running_script_list; s;
             s = parse_ring_next(script_global_running_script_list, s))
            ++n;
        return n;
    }

    TempDir dir;
    win_entity* level = nullptr;
    win_entity* player = nullptr;
};

}  // namespace

TEST_F(Triggers, EachEntryStartsTheScriptOnce)
{
    // The player walks in, stays while the script runs, walks out until it
    // has ended, and comes back. The trigger fires in every frame inside; the
    // running script is not started again while it runs, so each entry
    // starts it once.
    win_trigger* door = give_triggers(level, 1);
    set_trigger(door, "door", room_hull(), "door_open");
    struct Frame {
        float x;
        int fired;
        int running;
    };
    const Frame frames[] = {
        {150, 0, 0}, {50, 1, 1}, {50, 1, 1}, {50, 1, 1}, {150, 0, 1}, {150, 0, 0}, {50, 1, 1},
    };
    LogCapture log;
    int frame = 0;
    for (const Frame& f : frames) {
        SCOPED_TRACE(frame++);
        game_time += 100.0f;
        script_update_script();
        place({f.x, 0, 50});
        EXPECT_EQ(collide_check_triggers(player, level), f.fired);
        EXPECT_EQ(running_scripts(), f.running);
    }
    // Four firings, two starts.
    EXPECT_EQ(door->win_trigger_activation_count, 4);
    std::vector<std::string> notices = log.notices();
    EXPECT_EQ(std::count(notices.begin(), notices.end(), "trigger is being activated."), 4);
    EXPECT_EQ(std::count(notices.begin(), notices.end(),
                         "Script " + std::string(game_globals.script_pathname) +
                             "\\door_open.scw up and running"),
              2);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Triggers, TheRulesOfFiring)
{
    // Each case stands the player in (or beside) one trigger of the room
    // that starts a script, the action button pressed; the player is turned
    // by turn_y, the trigger's heading and tolerance are the y angles given.
    struct Case {
        const char* what;
        void (*arrange)(win_trigger* trigger, win_entity* player);  // NULL: nothing more
        int fired;
        int32_t count_after;
        int32_t button_after;
        float turn_y = 0.0f, heading_y = 0.0f, tolerance_y = 0.0f;
    };
    const Case cases[] = {
        {"inside, facing the heading exactly: the firing clears the button", nullptr, 1, 1, 0},
        {"outside the volume", [](win_trigger*, win_entity* p) { p->local_matrix.m[3][0] = 150; },
         0, 0, 1},
        {"switched off", [](win_trigger* t, win_entity*) { t->win_trigger_enabled = 0; }, 0, 0, 1},
        {"its volume switched off: still fires",
         [](win_trigger* t, win_entity*) { t->win_trigger_collision->win_collision_enabled = 0; },
         1, 1, 0},
        {"no volume",
         [](win_trigger* t, win_entity*) {
             free_win_collision(t->win_trigger_collision);
             t->win_trigger_collision = nullptr;
         },
         0, 0, 1},
        {"gated, the button not pressed",
         [](win_trigger* t, win_entity*) {
             t->win_trigger_gated = 1;
             game_globals.action_button_pressed = 0;
         },
         0, 0, 0},
        {"gated, the button pressed: the press is used up",
         [](win_trigger* t, win_entity*) { t->win_trigger_gated = 1; }, 1, 1, 0},
        {"gated, the button pressed over a closeup",
         [](win_trigger* t, win_entity*) {
             t->win_trigger_gated = 1;
             game_globals.display_closeup = 1;
         },
         0, 0, 1},
        {"used up",
         [](win_trigger* t, win_entity*) {
             t->win_trigger_max_activations = 3;
             t->win_trigger_activation_count = 3;
         },
         0, 3, 1},
        {"one firing left",
         [](win_trigger* t, win_entity*) {
             t->win_trigger_max_activations = 3;
             t->win_trigger_activation_count = 2;
         },
         1, 3, 0},
        {"without a script: fires, counts nothing, leaves the button",
         [](win_trigger* t, win_entity*) {
             FREE(t->win_trigger_script_name);
             t->win_trigger_script_name = nullptr;
             t->win_trigger_max_activations = 1;
         },
         1, 0, 1},
        {"facing sideways, no tolerance", nullptr, 0, 0, 1, 1.5707964f, 0, 0},
        {"facing backwards, tolerance pi", nullptr, 1, 1, 0, 3.1415927f, 0, 3.1415927f},
        {"turned 0.4 one way within a tolerance of 0.5", nullptr, 1, 1, 0, 0.4f, 0, 0.5f},
        {"turned 0.4 the other way", nullptr, 1, 1, 0, -0.4f, 0, 0.5f},
        {"turned 0.6, beyond a tolerance of 0.5", nullptr, 0, 0, 1, -0.6f, 0, 0.5f},
        {"a heading of 1.0 faced from 1.2 with a tolerance of 0.3", nullptr, 1, 1, 0, 1.2f, 1.0f,
         0.3f},
        {"a player who does not collide with the environment",
         [](win_trigger*, win_entity* p) {
             p->win_entity_flag &= ~ENTITY_FLAG_ENVIRONMENT_COLLISION;
         },
         0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        game_globals.display_closeup = 0;
        EntityHolder room(make_environment("room", {}));
        EntityHolder hero(make_mover("hero", WIN_ENTITY_TYPE_CHARACTER, {50, 0, 50}));
        win_trigger* trigger = give_triggers(room.entity, 1);
        set_trigger(trigger, "door", room_hull(), "door_open");
        game_globals.action_button_pressed = 1;
        turn(hero.entity, c.turn_y);
        trigger->win_trigger_facing.y = c.heading_y;
        trigger->win_trigger_facing_tolerance.y = c.tolerance_y;
        if (c.arrange)
            c.arrange(trigger, hero.entity);
        LogCapture log;
        EXPECT_EQ(collide_check_triggers(hero.entity, room.entity), c.fired);
        EXPECT_EQ(trigger->win_trigger_activation_count, c.count_after);
        EXPECT_EQ(game_globals.action_button_pressed, c.button_after);
        EXPECT_TRUE(log.errors().empty());
        script_reset();
    }
}

TEST_F(Triggers, TheFirstOfOverlappingTriggersFires)
{
    win_trigger* triggers = give_triggers(level, 3);
    set_trigger(&triggers[0], "far",
                make_hull("far", {{200, 0, 0}, {300, 0, 0}, {300, 0, 100}}, {},
                          {{WIN_BLOCK_TYPE_LINE, {0, 1, 2, 0}}}),
                "door_open");
    set_trigger(&triggers[1], "first", room_hull(), "door_open");
    set_trigger(&triggers[2], "second", room_hull(), "door_open");
    EXPECT_EQ(collide_check_triggers(player, level), 1);
    EXPECT_EQ(triggers[1].win_trigger_activation_count, 1);
    EXPECT_EQ(triggers[2].win_trigger_activation_count, 0);

    triggers[1].win_trigger_enabled = 0;
    EXPECT_EQ(collide_check_triggers(player, level), 1);
    EXPECT_EQ(triggers[1].win_trigger_activation_count, 1);
    EXPECT_EQ(triggers[2].win_trigger_activation_count, 1);
    EXPECT_EQ(triggers[0].win_trigger_activation_count, 0);
}

TEST_F(Triggers, RefusalsAndEntitiesWithoutTriggers)
{
    LogCapture log;
    EXPECT_EQ(collide_check_triggers(nullptr, level), 0);
    EXPECT_EQ(collide_check_triggers(player, nullptr), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Tried to collide_check_triggers with a NULL entity.",
                                "Tried to collide_check_triggers with a NULL trigger_entity."}));
    log.clear();
    // No triggers yet; the level itself; a character made the environment.
    EXPECT_EQ(collide_check_triggers(player, level), 0);
    set_trigger(give_triggers(level, 1), "door", room_hull(), nullptr);
    EXPECT_EQ(collide_check_triggers(level, level), 0);
    EntityHolder other(make_mover("other", WIN_ENTITY_TYPE_CHARACTER, {50, 0, 50}));
    EXPECT_EQ(collide_check_triggers(player, other.entity), 0);
    EXPECT_EQ(collide_check_triggers(player, level), 1);
    EXPECT_TRUE(log.errors().empty());
}

// ---- Switches by name ----

TEST_F(Triggers, SwitchesFindTheirRecordByBareName)
{
    // The records' names carry directories and extensions; the switches
    // name them bare, case and all.
    win_collision* lobby = make_hull("c:\\data\\win\\collision\\lobby.cow", {}, {}, {});
    win_collision* lobby_again = make_hull("lobby", {}, {}, {});
    free_win_entity(level);
    level = make_environment("level", {nullptr, lobby, lobby_again});
    game_globals.current_environment = level;
    win_trigger* triggers = give_triggers(level, 2);
    set_trigger(&triggers[0], "door", nullptr, nullptr);
    set_trigger(&triggers[1], "triggers\\gate.cow", nullptr, nullptr);
    win_collision* hall_zone = make_hull("hall_zone", {}, {}, {});
    give_explore_cams(level, {{"porch", nullptr}, {"cams\\hall", hall_zone}});

    struct Case {
        int (*operation)(const char*, int32_t);
        const char* name;
        int32_t value;
        int result;
        const int32_t* field;  // what the switch sets
        std::string error;
    };
    const Case cases[] = {
        {collide_enable_collision_data, "lobby", 0, 1, &lobby->win_collision_enabled, ""},
        {collide_enable_collision_data, "Lobby", 0, 0, nullptr,
         "Unable to find specified collision data Lobby to enable or disable."},
        {collide_enable_trigger_data, "gate", 7, 1, &triggers[1].win_trigger_enabled, ""},
        {collide_enable_trigger_data, "lobby", 0, 0, nullptr,
         "Unable to find specified trigger data lobby to enable or disable."},
        {collide_enable_camzone_data, "hall", 0, 1, &hall_zone->win_collision_enabled, ""},
        {collide_enable_camzone_data, "porch", 0, 0, nullptr,
         "Unable to find specified camzone data porch to enable or disable."},
        {collide_enable_trigger_data, nullptr, 0, 0, nullptr,
         "Cannot collide_enable_trigger_data with NULL name."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name ? c.name : "NULL");
        LogCapture log;
        EXPECT_EQ(c.operation(c.name, c.value), c.result);
        if (c.field) {
            EXPECT_EQ(*c.field, c.value);
        }
        EXPECT_EQ(log.errors(),
                  c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.error});
    }
    // The first match only; the others stay as they were.
    EXPECT_EQ(lobby_again->win_collision_enabled, 1);
    EXPECT_EQ(triggers[0].win_trigger_enabled, 1);
    EXPECT_EQ(collide_enable_collision_data("lobby", 1), 1);
    EXPECT_EQ(lobby->win_collision_enabled, 1);

    // Without a current environment, or with another kind of entity as it,
    // nothing is found.
    game_globals.current_environment = player;
    EXPECT_EQ(collide_enable_trigger_data("gate", 1), 0);
    game_globals.current_environment = nullptr;
    LogCapture log;
    EXPECT_EQ(collide_enable_camzone_data("hall", 1), 0);
    EXPECT_EQ(log.errors(),
              std::vector<std::string>{
                  "Unable to find specified camzone data hall to enable or disable."});
}
