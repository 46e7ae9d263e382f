#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "d3dxframe.h"
#include "dlink.h"
#include "gameglobals.h"
#include "gametime.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "script.h"
#include "script_imports.h"
#include "script_support.h"
#include "service_doubles.h"
#include "test_support.h"
#include "win_entity.h"

namespace {

// The tables every command runs with. The hero, the villain and the sword
// load through the fake host at the start; the guard (file "guard_file") is
// not loaded then. The villain's state value 0 is 7.9 and it has three
// shaders; the hero has none.
const std::string tables = R"(
.entity "hero", "hero", 1
.entity "villain", "villain", 2
.entity "sword", "sword", 3
.entity "guard", "guard_file", 0
.state_variable "pose", 0, 0, 2     # 0: the villain's state value 0
.state_variable "walk", 1, 3, 1     # 1: the constant 3, for the hero
.state_variable "lost", 1, 3, 9     # 2: of an entity the table lacks
# target id, attached id, joint; rows of the matrix; its attrib word
.attach 1, 3, 3, 1, 0, 0, 0, 1, 0, 0, 0, 1, 4, 5, 6, 56     # 0
# as camera target: camera and target by table position
.attach 2, 0, 4, 1, 0, 0, 0, 1, 0, 0, 0, 1, 7, 8, 9, 56     # 1
.attach 0, -1, -1                   # 2: no camera, no target
.attach 1, 3, -3                    # 3: a joint no entity has
.attach 1, 3, -2                    # 4: the identity
.attach 9, 3, -1                    # 5: a target id no record has
.sound "boom", "boom.wav", 5
.shader 1, 2, 6                     # 0: the villain's shader 2, state 6
.shader 3, 0, 1                     # 1: the guard's, not loaded
.shader 1, 3, 1                     # 2: a shader the villain lacks
.shader 0, 0, 1                     # 3: the hero's, who has none
)";

struct Outcome {
    int result;
    std::vector<std::string> calls;
    std::vector<std::string> errors;
    std::vector<std::string> notices;
};

class Commands : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void reset()
    {
        test_reset_state();
        game_globals.sound_enable = 1;
        service_double_host.shader_counts = {{"villain", 3}};
    }

    // Runs `command`, the only command of a script of `table_lines` whose
    // entities and sounds have been resolved, between `prepare` and `after`
    // looking at the linked script; reports the result with the calls and
    // lines it caused. The fake host answers `results` in turn, then 1.
    Outcome run(const std::string& command, std::deque<int> results = {},
                const std::function<void(running_script*)>& prepare = {},
                const std::string& table_lines = tables,
                const std::function<void(running_script*)>& after = {})
    {
        // A command that follows, since the code ends at a command whose
        // code word reaches its last byte.
        LinkedScript script(assemble(table_lines + command + "\nwait 0\n"));
        EXPECT_TRUE(script.linked());
        parse_load_all_entities(script->parsed_entity_list);
        parse_load_all_sounds(script->parsed_sound_list);
        if (win_entity* villain = entity(script.get(), 1))
            service_double_state_values(villain) = {7.9f};
        EXPECT_EQ(parse_decode_command(script.get()), PARSE_COMMAND_READY) << command;
        if (prepare)
            prepare(script.get());
        service_double_host.results = results;
        service_calls.clear();
        log.clear();
        Outcome outcome;
        outcome.result = parse_run_command(script.get());
        outcome.calls = service_calls;
        outcome.errors = log.errors();
        outcome.notices = log.notices();
        if (after)
            after(script.get());
        return outcome;
    }
    // The entity of the record at `position` of the script's entity table.
    static win_entity* entity(running_script* script, int32_t position)
    {
        parsed_entity* record = script->parsed_entity_list;
        for (int32_t i = 0; record && i < position; ++i)
            record = parse_ring_next(script->parsed_entity_list, record);
        return record ? record->entity : nullptr;
    }

    LogCapture log;
};

// Codes that stand for no command of their own: punctuation, operators and
// declarations of the source language and the built-in functions.
const std::vector<int32_t> not_commands = {
    3,  5,  6,  8,  9,  10, 11, 12, 13, 14, 15, 16,  18,  19,  20,  21,  22,  23,  24,  25,
    28, 38, 44, 61, 71, 79, 80, 85, 88, 92, 94, 100, 101, 108, 109, 110, 111, 112, 114,
};

// Every command that calls the game runtime, with operands that differ from
// one another, and the one call (or two) the fake host receives. The host
// answers 0 to each: the command passes the result on, except where the row
// says the command is done (a sound command: a sound that cannot play now is
// skipped, never waited for).
TEST_F(Commands, EachCommandCallsItsOperationWithItsOperandsInOrder)
{
    struct Row {
        std::string command;
        std::vector<std::string> calls;
        int result = 0;
    };
    const Row rows[] = {
        {"place 1, 2.5, -3, 4.25", {"entity_place(hero, 2.5, -3, 4.25)"}},
        {"orient 2, 0.5, 1.5, 2.5", {"entity_orient(villain, 0.5, 1.5, 2.5)"}},
        {"set_player 1", {"entity_set_player_character(hero)"}},
        {"set_environment 2", {"entity_set_environment(villain)"}},
        {"animate 0", {"entity_play_anim2(villain, 7)"}},
        {"animate_loop 1", {"entity_start_next_anim_state(hero, 3, 0, 1)"}, 1},
        {"unload_entity 2", {"entity_io_remove_from_ring(villain)", "entity_unload(villain, 0)"}},
        {"set_speed 1, 4, 5, 6", {"entity_set_velocity(hero, 4, 5, 6)"}},
        {"set_rotation 1, 0.5, -0.5, 0.25", {"entity_set_rot_velocity(hero, 0.5, -0.5, 0.25)"}},
        {"animate_stop 2", {"entity_play_anim2(villain, 0)"}},
        {"enable_brain 2, 1.9", {"entity_enable_brain(villain, 1)"}},
        {"attach_entity 0", {"entity_attach_to_joint(hero, sword, 3, (4 5 6))"}},
        {"attach_entity_id 0, 2", {"entity_attach_to_joint(hero, villain, 3, (4 5 6))"}},
        {"set_camera 2", {"entity_set_game_camera(villain)"}},
        {"clear_goals 1", {"ai_clear_goals(hero)"}},
        {"set_acceleration 1, 0.25, 1, -0.5", {"entity_set_acceleration(hero, 0.25, 1, -0.5)"}},
        {"unload_all -1.5", {"entity_unload_all(-1)"}},
        {"enable_collision 1, 0", {"entity_enable_collision(hero, 0)"}},
        {"add_new_goal 1, 2, 10, 20, 30, 4, 18", {"ai_add_goal(hero, 18, villain, 10, 20, 30, 4)"}},
        {"fade_out_global 1.5", {"varnock_fade_out(1.5)"}},
        {"fade_in_global 2.5", {"varnock_fade_in(2.5)"}},
        {"enable_collision_file 1, \"walls\"", {"collide_enable_collision_data(walls, 1)"}},
        {"set_lifespan 1, 30", {"entity_set_life_span(hero, 30)"}},
        {"detach_child_entity 1, 3", {"entity_detach_from_parent(hero, sword)"}},
        {"play_sound 5, 3", {"sound_play(boom.wav, NULL, NULL, 3)"}, 1},
        {"stop_sound 5", {"sound_stop(boom.wav)"}, 1},
        {"unload_sound 5", {"sound_unload(boom.wav)"}, 1},
        {"set_camera_target 1", {"entity_set_camera_target(hero, sword, 4, 7, 8, 9)"}},
        {"set_current_weapon 1, 3", {"entity_set_current_weapon(hero, sword)"}},
        {"animate_cont 1", {"entity_start_next_anim_state(hero, 3, 0, 1)"}, 1},
        {"shader_animate 0", {"shader_play_anim2(villain:2, 6)"}},
        {"shader_animate_cont 0", {"shader_play_anim(villain:2, 6)"}},
        {"set_current_item 1, 2", {"entity_set_current_item(hero, villain)"}},
        {"display_closeup 2", {"entity_display_closeup(villain)"}},
        {"set_volume 5, 100, 20", {"sound_set_volume(boom.wav, 100, 20)"}, 1},
        {"face_entity 1, 2", {"entity_turn_to_face_entity(hero, villain)"}},
        {"face_entity_now 2, 1", {"entity_face_entity(villain, hero)"}},
        {"enable_trigger_file 1, \"gate\"", {"collide_enable_trigger_data(gate, 1)"}},
        {"enable_camzone_file 0, \"zone\"", {"collide_enable_camzone_data(zone, 0)"}},
        {"display_message 10, 20, 255, 128, 64, 3, \"hi~there\"",
         {"varnock_display_text(10, 20, 255, 128, 64, 3, hi~there)"}},
        {"add_hit_points 1, -12.5", {"entity_add_hitpoints(hero, -12.5)"}},
        {"shake_camera 1, 2, 3, 0.5", {"entity_set_camera_shake(1, 2, 3, 0.5)"}},
        {"fade_out_screen 0.75", {"varnock_overlay_fade_out(0.75)"}},
        {"fade_in_screen 1.25", {"varnock_overlay_fade_in(1.25)"}},
        {"add_rotation 2, 90, 180, 45", {"entity_add_rotation(villain, 90, 180, 45)"}},
        {"add_translation 2, 1, 2, 3", {"entity_add_translation(villain, 1, 2, 3)"}},
        {"load_entity 0", {"entity_io_find_in_ring(guard)"}, 1},  // found in the ring: see below
        {"holster_weapon 1", {"entity_holster_current_weapon(hero)"}},
        {"enable_attack 0", {"varnock_set_attack_enabled(0)"}},
        {"set_fog 1, 0.5, 0.25, 0.125, 100, 900",
         {"varnock_set_fog(1, (0.5 0.25 0.125 0), 100, 900)"}},
        {"set_action_button \"use\"", {"varnock_set_action_button_script(use)"}},
        {"enable_collision_environment 1, 1", {"entity_enable_environment_collision(hero, 1)"}},
        {"enable_collision_character 2, 0", {"entity_enable_character_collision(villain, 0)"}},
        {"set_mass 1, 150", {"entity_set_mass(hero, 150)"}},
        {"letterbox 1", {"varnock_set_letterbox(1)"}},
        {"play_3d_sound 5, 2, 10, 20, 30", {"sound_play(boom.wav, (10 20 30), NULL, 2)"}, 1},
        {"fade_out_screen_color 2, 255, 0, 128",
         {"varnock_overlay_fade_out_color(2, 255, 0, 128)"}},
        {"fade_in_screen_color 3, 1, 2, 3", {"varnock_overlay_fade_in_color(3, 1, 2, 3)"}},
        {"set_player_step_sound \"step.wav\"", {"entity_set_player_step_sound(step.wav)"}},
        {"set_camera_braking_dist 1, 50", {"entity_null_command(hero, 50)"}},
        {"change_game_mode \"menu\"", {"varnock_change_game_mode(menu)"}},
    };
    std::set<int32_t> covered = {COMMAND_SET_AMBIENT_LIGHT};  // needs a device: below
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        reset();
        // load_entity finds the guard in the ring.
        service_double_host.ring = service_double_entity("guard");
        service_double_host.ring_size = 1;
        Outcome outcome = run(row.command, {0, 0});
        EXPECT_EQ(outcome.calls, row.calls);
        EXPECT_EQ(outcome.result, row.result);
        EXPECT_TRUE(outcome.errors.empty());
        covered.insert(parse_command_code(row.command.substr(0, row.command.find(' ')).c_str()));
    }

    // The rows cover every command but those that call nothing of the
    // runtime: flow, script control and the commands of their own below.
    std::set<int32_t> others(not_commands.begin(), not_commands.end());
    others.insert({COMMAND_IF, COMMAND_ELSE, COMMAND_ASSIGN, COMMAND_WAIT, COMMAND_RUN_SCRIPT,
                   COMMAND_RUN_SETUP_SCRIPT, COMMAND_UNLOAD_SCRIPT, COMMAND_MOVE,
                   COMMAND_CHANGE_CAMERA_MODE, COMMAND_LOAD, COMMAND_CAMERA_FOCUS_POINT,
                   COMMAND_CAMERA_BIND, COMMAND_ENTITY_SET_INPUT, COMMAND_LOAD_COLLISION,
                   COMMAND_LOAD_PSX_IMAGE, COMMAND_PSX_SET_PRIORITY});
    for (int32_t code = 0; code < COMPILED_COMMAND_COUNT; ++code)
        EXPECT_NE(covered.count(code), others.count(code)) << compiled_command_table[code].keyword;
}

// set_ambient_light sets the device's ambient light; without a device the
// frame refuses it and the command waits.
TEST_F(Commands, SetAmbientLightReachesTheDevice)
{
    EXPECT_EQ(run("set_ambient_light 16, 32, 48.9").result, 0);

    HWND window = test_open_game_window("Ambient Test Window", DefWindowProc);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(run("set_ambient_light 16, 32, 48.9").result, 1);
    DWORD ambient = 0;
    d3dx_globals.device->GetRenderState(D3DRENDERSTATE_AMBIENT, &ambient);
    EXPECT_EQ(ambient, 0xFF102030u);
    d3dxframe_unitialize();
    win32_reset();
}

// Exactly -999 is how scripts write a life span that never runs out.
TEST_F(Commands, MinusNineNineNineIsTheEternalLifeSpan)
{
    EXPECT_EQ(run("set_lifespan 1, -999").calls,
              std::vector<std::string>{"entity_set_life_span(hero, -2147483648)"});
    EXPECT_EQ(run("set_lifespan 1, -999.5").calls,
              std::vector<std::string>{"entity_set_life_span(hero, -999.5)"});
    EXPECT_EQ(run("set_lifespan 1, 0 - 999").calls,
              std::vector<std::string>{"entity_set_life_span(hero, -2147483648)"});
}

// The player's step sound waits for a player, whom a later frame may bring;
// once there is one, a sound that cannot be set is skipped, not waited for.
TEST_F(Commands, TheStepSoundWaitsForAPlayerOnly)
{
    EXPECT_EQ(run("set_player_step_sound \"step.wav\"", {0}).result, 0);
    win_entity player = {};
    game_globals.player_character = &player;
    Outcome set = run("set_player_step_sound \"step.wav\"", {0});
    game_globals.player_character = nullptr;
    EXPECT_EQ(set.result, 1);
    EXPECT_EQ(set.calls, std::vector<std::string>{"entity_set_player_step_sound(step.wav)"});
}

// A command whose operation has not finished runs again, as it was decoded,
// at the next slice, and the script goes on only once it is done.
TEST_F(Commands, ABlockedCommandRunsAgainUntilItsOperationIsDone)
{
    TempDir dir;
    std::strcpy(game_globals.script_pathname, dir.file("Script").c_str());
    dir.write("Script/face.scw", assemble(tables + "face_entity 1, 2\nenable_attack 5\n"));
    running_script* script = nullptr;
    ASSERT_EQ(script_initiate_script("face", &script), 0.0f);
    service_double_host.results = {0, 0};
    service_calls.clear();
    script_update_script();
    const compiled_info* decoded = script->running_command;
    const char* pc = script->pc;
    script_update_script();
    EXPECT_EQ(script->blocked, 1);
    EXPECT_EQ(script->running_command, decoded);
    EXPECT_EQ(script->pc, pc);
    script_update_script();
    EXPECT_EQ(service_calls, (std::vector<std::string>{
                                 "entity_turn_to_face_entity(hero, villain)",
                                 "entity_turn_to_face_entity(hero, villain)",
                                 "entity_turn_to_face_entity(hero, villain)",
                                 "varnock_set_attack_enabled(5)",
                             }));
    EXPECT_EQ(script_global_running_script_list, nullptr);
}

// `if` goes to its true target, or to its else target (0: none, then to its
// end); `else` goes to the end of the if. A target outside the code ends the
// script with an error when the condition takes it; one it does not take
// does no harm.
TEST_F(Commands, IfAndElseGoWhereTheirOffsetsSay)
{
    // ELSE stands for the else target of each case.
    const std::string code = R"(
if var(1) = 1, yes, ELSE, done
yes: enable_attack 1
else done
no: enable_attack 2
done: enable_attack 3
)";
    struct {
        const char* x;
        const char* else_target;
        std::vector<std::string> calls;
        std::string notice;
    } const cases[] = {
        {"1",
         "no",
         {"varnock_set_attack_enabled(1)", "varnock_set_attack_enabled(3)"},
         "IF eval'd to TRUE"},
        {"0",
         "no",
         {"varnock_set_attack_enabled(2)", "varnock_set_attack_enabled(3)"},
         "IF eval'd to FALSE"},
        {"0", "0", {"varnock_set_attack_enabled(3)"}, "IF eval'd to FALSE"},
        // 92: the offset of `no` from the first command (the if takes 64
        // bytes, then 20 and 8).
        {"0",
         "92",
         {"varnock_set_attack_enabled(2)", "varnock_set_attack_enabled(3)"},
         "IF eval'd to FALSE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.x) + ", else " + c.else_target);
        std::string source = code;
        source.replace(source.find("ELSE"), 4, c.else_target);
        LinkedScript script(assemble(std::string(".variable \"x\", ") + c.x + ", 1\n" + source));
        service_calls.clear();
        log.clear();
        while (parse_decode_command(script.get()) == PARSE_COMMAND_READY)
            EXPECT_EQ(parse_run_command(script.get()), 1);
        EXPECT_EQ(service_calls, c.calls);
        EXPECT_EQ(log.notices(), std::vector<std::string>{c.notice});
        EXPECT_TRUE(log.errors().empty());
    }

    TempDir dir;
    std::strcpy(game_globals.script_pathname, dir.file("Script").c_str());
    struct {
        const char* code;
        std::vector<std::string> calls;
        const char* error;
    } const far_cases[] = {
        {"if 1, 999, 0, end\nenable_attack 1\nend: enable_attack 2\n", {}, "jumps to 999"},
        {"if 0, 999, 0, end\nenable_attack 1\nend: enable_attack 2\n",
         {"varnock_set_attack_enabled(2)"},
         nullptr},
        {"if 0, here, 0, -4\nhere: enable_attack 1\n", {}, "jumps to -4"},
        {"if 1, here, 0, -4\nhere: enable_attack 1\n", {"varnock_set_attack_enabled(1)"}, nullptr},
    };
    for (const auto& c : far_cases) {
        SCOPED_TRACE(c.code);
        dir.write("Script/far.scw", assemble(c.code));
        script_initiate_script("far", nullptr);
        service_calls.clear();
        log.clear();
        script_update_script();
        EXPECT_EQ(service_calls, c.calls);
        EXPECT_EQ(script_global_running_script_list, nullptr);
        if (!c.error) {
            EXPECT_TRUE(log.errors().empty());
            continue;
        }
        ASSERT_EQ(log.errors().size(), 1u);
        EXPECT_NE(log.errors()[0].find(std::string(c.error) + ", outside the code"),
                  std::string::npos);
    }
}

// The codes that are no commands are reported and done; the script goes on.
TEST_F(Commands, CodesThatAreNoCommandsAreReportedAndSkipped)
{
    std::vector<int32_t> codes = not_commands;
    codes.insert(codes.end(), {-5, COMPILED_COMMAND_COUNT, 200});
    for (int32_t code : codes) {
        SCOPED_TRACE(code);
        // The operands the code's shape has, as the compiler writes them.
        command_shape shape = parse_command_shape(code);
        std::string command = ".code " + std::to_string(code);
        for (int32_t i = 0; i < shape.trees + shape.strings + shape.constants; ++i)
            command += (i ? ", " : " ") +
                       std::string(i >= shape.trees && i < shape.trees + shape.strings ? "\"s\""
                                                                                       : "1");
        Outcome outcome = run(command);
        EXPECT_EQ(outcome.result, 1);
        EXPECT_TRUE(outcome.calls.empty());
        EXPECT_EQ(outcome.errors,
                  std::vector<std::string>{"Bad compiled command type in parse_run_command"});
    }
}

// Commands that do their own work and call nothing of the runtime.
TEST_F(Commands, CommandsOfTheirOwn)
{
    struct {
        const char* command;
        int result;
        std::vector<std::string> errors = {};
        std::vector<std::string> notices = {};
    } const cases[] = {
        {"move 0, 1, 2, 3, 4", 0, {}, {"Moving da camera"}},
        {"move 1, 0, 0, 0, 0", 0},
        {"move var(0), 0, 0, 0, 0", 0},
        {"change_camera_mode 1", 0},
        {"load \"intro\"", 0},
        {"camera_focus_point 1, 2, 3", 0},
        {"camera_bind 1", 0},
        {"entity_set_input 1, 2", 0},
        {"load_collision 1, 2, \"old\"",
         0,
         {"collision tables are no longer implemented for 'old'"}},
        {"load_psx_image 1, \"title\"", 1},
        {"psx_set_priority 1, 2", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        Outcome outcome = run(c.command);
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_TRUE(outcome.calls.empty());
        EXPECT_EQ(outcome.errors, c.errors);
        EXPECT_EQ(outcome.notices, c.notices);
    }
}

// What a command refuses is reported and the command is done: the script
// does not wait on what no retry can mend.
TEST_F(Commands, RefusalsAreReportedAndDone)
{
    struct {
        const char* what;
        std::string command;
        std::vector<std::string> errors;
        std::string table_lines = tables;
    } const cases[] = {
        {"no shader table",
         "shader_animate 0",
         {"Cannot dlink_get_nth with NULL list_ptr.",
          "Couldn't retrieve shader information for index 0"},
         ".entity \"hero\", \"hero\", 1\n"},
        {"the shader's entity is not loaded",
         "shader_animate 1",
         {"Couldn't retrieve shader entity information for index 3"}},
        {"a shader beyond the entity's",
         "shader_animate 2",
         {"The entity at index 1 has no shader 3 to animate"}},
        {"an entity without shaders",
         "shader_animate_cont 3",
         {"The entity at index 0 has no shader 0 to animate"}},
        {"animate: no entity for the state variable",
         "animate 2",
         {"Couldn't get the entity pointer in parse_animate_play"}},
        {"animate_loop: no entity for the state variable",
         "animate_loop 2",
         {"Couldn't get the entity pointer in parse_animate_loop"}},
        {"no attach table",
         "attach_entity 0",
         {"Cannot dlink_get_nth with NULL list_ptr.",
          "Couldn't retrieve attach information for index 0"},
         ".entity \"hero\", \"hero\", 1\n"},
        {"attach: an id no record has",
         "attach_entity_id 0, 9",
         {"Bad entity id 9 in parse_get_entity_value",
          "Couldn't retrieve attach entity information for index 9"}},
        {"attach: a target id no record has",
         "attach_entity 5",
         {"Bad entity id 9 in parse_get_entity_value",
          "Couldn't retrieve target entity information for index 9"}},
        // Table positions wrap round the table: only an empty one has none.
        {"set_camera_target without an entity table",
         "set_camera_target 0",
         {"Cannot dlink_get_nth with NULL list_ptr.",
          "Couldn't retrieve attach entity information for index 0"},
         ".attach 0, 0, -1\n"},
        {"set_camera_target: a target without an entity table",
         "set_camera_target 0",
         {"Cannot dlink_get_nth with NULL list_ptr.",
          "Couldn't retrieve target entity information for index 1"},
         ".attach 1, -1, -1\n"},
        {"attach: a joint no entity has",
         "attach_entity 3",
         {"Attach information 3 names joint -3, which no entity has"}},
        {"unload_entity of an entity that is not loaded",
         "unload_entity 0",
         {"Can't remove a unload_entity a NULL entity!"}},
        {"load_entity of an id no record has",
         "load_entity 9",
         {"Couldn't find entity id 9 in script_load_referenced_entity"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome outcome = run(c.command, {}, {}, c.table_lines);
        EXPECT_EQ(outcome.result, 1);
        EXPECT_TRUE(outcome.calls.empty());
        EXPECT_EQ(outcome.errors, c.errors);
    }
}

// The values at the edges of what a command accepts reach the runtime.
TEST_F(Commands, EdgeValuesPass)
{
    struct {
        const char* command;
        std::string call;
    } const cases[] = {
        {"add_new_goal 1, 2, 0, 0, 0, -1, 36", "ai_add_goal(hero, 36, villain, 0, 0, 0, -1)"},
        // Goal types the goal machine does not know are the runtime's to take.
        {"add_new_goal 1, 2, 0, 0, 0, -1, 40", "ai_add_goal(hero, 40, villain, 0, 0, 0, -1)"},
        {"add_new_goal 1, 2, 0, 0, 0, -1, -1", "ai_add_goal(hero, -1, villain, 0, 0, 0, -1)"},
        {"add_new_goal 1, -1, 0, 0, 0, -1, 0", "ai_add_goal(hero, 0, NULL, 0, 0, 0, -1)"},
        {"attach_entity 4", "entity_attach_to_joint(hero, sword, -2, (0 0 0))"},
        // No camera, no target: the runtime refuses the camera.
        {"set_camera_target 2", "entity_set_camera_target(NULL, NULL, -1, 0, 0, 0)"},
        // An entity that is not loaded is passed as none.
        {"set_player 0", "entity_set_player_character(NULL)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        Outcome outcome = run(c.command);
        EXPECT_EQ(outcome.calls, std::vector<std::string>{c.call});
        EXPECT_TRUE(outcome.errors.empty());
    }
}

// unload_entity takes out of the ring the entity it resolved, not the first
// of that name, and no table of a running script resolves it afterwards.
TEST_F(Commands, UnloadEntityUnloadsTheEntityItResolved)
{
    TempDir dir;
    std::strcpy(game_globals.script_pathname, dir.file("Script").c_str());
    dir.write("Script/sparks.scw",
              assemble(".entity \"spark\", \"spark\", -1\nunload_entity -1\nwait 1000\n"));
    // Two particles copied from one template: the script holds the second.
    win_entity* first = service_double_entity("spark");
    win_entity* second = service_double_entity("spark");
    dlink_add((dlink**)&service_double_host.ring, (dlink*)first);
    dlink_add((dlink**)&service_double_host.ring, (dlink*)second);
    service_double_host.ring_size = 2;
    running_script* script = nullptr;
    ASSERT_EQ(script_initiate_script("sparks", &script), 0.0f);
    script->parsed_entity_list->entity = second;
    game_time = 1.0f;
    script_update_script();
    EXPECT_EQ(service_double_host.ring, first);
    EXPECT_EQ(dlink_count((dlink*)first), 1);
    EXPECT_EQ(service_double_host.ring_size, 1);
    EXPECT_TRUE(service_called("entity_unload(spark, 0)"));
    EXPECT_EQ(script->parsed_entity_list->entity, nullptr);
}

// load_entity resolves its record with the entity named by the record (not
// its file name): found in the ring, or loaded and appended to it. A load
// that fails is tried again at the next slice.
TEST_F(Commands, LoadEntityResolvesItsRecord)
{
    std::string load = "entity_io_load(guard, " + std::string(game_globals.entity_pathname) + ", " +
                       game_globals.model_pathname + ", " + game_globals.shaders_pathname + ", " +
                       game_globals.bitmaps_pathname + ", " + game_globals.animation_pathname +
                       ", " + game_globals.anim_table_pathname + ", " + game_globals.ai_pathname +
                       ", " + game_globals.sound_pathname + ", -386.4, 0, 0)";
    struct {
        const char* what;
        bool in_ring;
        bool missing;
        int result;
        std::vector<std::string> calls;
    } const cases[] = {
        {"in the ring", true, false, 1, {"entity_io_find_in_ring(guard)"}},
        {"loaded",
         false,
         false,
         1,
         {"entity_io_find_in_ring(guard)", load, "entity_io_add_to_ring(guard)"}},
        {"not loaded", false, true, 0, {"entity_io_find_in_ring(guard)", load}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reset();
        win_entity* found = nullptr;
        if (c.in_ring) {
            found = service_double_entity("guard");
            service_double_host.ring = found;
            service_double_host.ring_size = 1;
        }
        if (c.missing)
            service_double_host.missing_entities = {"guard"};
        win_entity* guard = nullptr;
        Outcome outcome = run("load_entity 0", {}, {}, tables,
                              [&](running_script* script) { guard = entity(script, 3); });
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(outcome.calls, c.calls);
        if (c.in_ring)
            EXPECT_EQ(guard, found);
        else if (c.missing)
            EXPECT_EQ(guard, nullptr);
        else
            EXPECT_EQ(dlink_pos((dlink*)service_double_host.ring, (dlink*)guard),
                      service_double_host.ring_size - 1)
                << "appended to the ring";
        EXPECT_EQ(guard != nullptr, c.result == 1);
    }
    // Resolved already: done at once, the ring untouched.
    EXPECT_TRUE(run("load_entity 1").calls.empty());
}

}  // namespace
