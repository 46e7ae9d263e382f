#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "anim.h"
#include "demo_anim.h"
#include "gameglobals.h"
#include "gametime.h"
#include "heap.h"
#include "rand_util.h"
#include "runtime_services.h"
#include "service_doubles.h"
#include "test_support.h"
#include "winmain2.h"
#include "world_services.h"

namespace {

// The wave's root walks 2 units along z over its 1000 ms.
constexpr float WALK_PER_MS = 2.0f / (float)DEMO_ANIM_LENGTH;
constexpr float EPS = 1e-3f;

const win_vect3 ONES = {1.0f, 1.0f, 1.0f};

// A state table built in memory as its loaders leave it: animation names
// with one animation per slot (each a demo wave of that name), sounds loaded
// through the sound service, and states from the default template.
class Table {
public:
    Table(std::vector<const char*> anims, int32_t states, std::vector<const char*> sounds = {})
    {
        ast = malloc_win_ast("hero");
        int32_t n = (int32_t)anims.size();
        if (n > 0) {
            ast->mow_anim_filename_array = malloc_win_filename_ptr_array(n);
            ast->mow_anim_filename_array_size = n;
            ast->mow_anim_ptr_array = malloc_mow_anim_ptr_array(n);
            ast->mow_anim_ptr_array_size = n;
            for (int32_t i = 0; i < n; ++i) {
                ast->mow_anim_filename_array[i] = STRDUP(anims[i]);
                ast->mow_anim_ptr_array[i] = demo_anim_make_wave(anims[i]);
            }
        }
        if (states > 0) {
            ast->win_anim_table_base_array = malloc_win_anim_table_base_array(states);
            ast->win_anim_table_base_array_size = states;
        }
        int32_t m = (int32_t)sounds.size();
        if (m > 0) {
            ast->sound_fx_array = malloc_win_sound_fx_ptr_array(m);
            ast->sound_fx_array_size = m;
            for (int32_t i = 0; i < m; ++i)
                ast->sound_fx_array[i] = sound_load(sounds[i], 1, "sound");
        }
        ast->current_anim_index = 0;
        service_calls.clear();
    }
    ~Table() { EXPECT_EQ(free_win_ast(ast), 1); }
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // State `i` playing animation `anim` from `begin` to `end`.
    win_anim_table_base& state(int32_t i, int32_t anim = -1, float begin = 0.0f,
                               float end = (float)DEMO_ANIM_LENGTH)
    {
        win_anim_table_base& s = ast->win_anim_table_base_array[i];
        if (anim >= 0) {
            s.mow_anim_index = anim;
            s.begin_time = begin;
            s.end_time = end;
            s.anim_index = i;
        }
        return s;
    }
    void transition(int32_t from, int32_t condition_mask, int32_t target)
    {
        win_anim_table_entry* entry = malloc_win_anim_table_entry();
        entry->condition_mask = condition_mask;
        entry->target_anim_index = target;
        win_anim_table_base& s = state(from);
        add_to_win_anim_table_entry_list(&s.win_anim_table_entry_list,
                                         &s.win_anim_table_entry_list_size, entry);
    }
    mow_anim* anim(int32_t i) const { return ast->mow_anim_ptr_array[i]; }

    win_ast* ast;
};

// A character as the runtime drives it: its entity, the root transform and
// velocities the state machine writes, the payload the driver passes in,
// and the runtime's entity_play_anim and per-frame driver, done as the
// runtime does them.
class Character {
public:
    Character(const char* name, win_ast* table, bool brain = true)
    {
        entity = service_double_entity(name);
        entity->win_ast = table;
        entity->win_entity_flag = brain ? (uint32_t)ENTITY_FLAG_BRAIN : 0u;
        service_double_host.on_call = [this](const std::string& call) {
            const std::string play = "entity_play_anim(";
            if (call.compare(0, play.size(), play) == 0)
                play_anim(std::stoi(call.substr(play.size())));
        };
    }
    ~Character() { service_double_host.on_call = nullptr; }

    // entity_play_anim: a character with a brain restarts a state only at
    // the end of the one before; the others always.
    void play_anim(int32_t state)
    {
        bool brain = entity->win_entity_flag & ENTITY_FLAG_BRAIN;
        start_next_anim_state(entity, entity->win_ast, &last, &rot_velocity, &velocity, state, 0,
                              brain ? (entity->win_ast->anim_input_flags & WIN_AST_END_OF_ANIM)
                                    : 1);
    }

    // One frame: the input word merged in, the interpreters, the transition
    // step, then the frame's time in slices with their root motion. The
    // animation time last sampled and the frame's root motion come back.
    struct frame_result {
        float anim_time = 0.0f;
        win_xform delta = win_xform_record_desc::templ;
    };
    frame_result frame(int32_t input, float ms)
    {
        win_ast* table = entity->win_ast;
        table->anim_input_flags |= input;
        if (entity == game_globals.player_character)
            anim_interpret_browse_input(entity);
        anim_interpret_reaction_input(entity, &payload);
        anim_interpret_aim_input(entity, &payload);
        anim_interpret_input(entity);
        frame_result result;
        for (float remaining = ms; remaining > 0.0f && table->current_mow_anim;) {
            float consumed = 0.0f;
            anim_calc_time_advance(table, remaining, &consumed, &result.anim_time);
            remaining -= consumed;
            anim_accum_root_motion(table, result.anim_time, &last, &result.delta);
            if (!anim_interpret_input(entity) && (table->anim_input_flags & WIN_AST_END_OF_ANIM)) {
                int32_t next =
                    table->win_anim_table_base_array[table->current_anim_index].next_anim_index;
                start_next_anim_state(entity, table, &last, &rot_velocity, &velocity, next,
                                      !(entity->win_entity_flag & ENTITY_FLAG_BRAIN), 1);
            }
            table->anim_input_flags &= ~WIN_AST_END_OF_ANIM;
        }
        if (!(table->anim_input_flags & WIN_AST_INPUT_HOLD))
            table->anim_input_flags = 0;
        return result;
    }

    win_entity* entity;
    win_xform last = win_xform_record_desc::templ;
    win_vect3 rot_velocity = {};
    win_vect3 velocity = {};
    anim_character payload = {};
};

class Anim : public testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        gameglobals_reset();
        frame_delta_time = 0.0f;
    }
    void TearDown() override
    {
        gameglobals_reset();
        test_reset_state();
    }
    LogCapture log;
};

// Any entity of the doubles, as a weapon of a class.
win_entity* weapon(const char* name, uint32_t class_flag)
{
    win_entity* w = service_double_entity(name);
    w->win_entity_flag = class_flag | 0x4000;
    return w;
}

// ---- The state machine driven frame by frame ----

enum : int32_t {
    IDLE,
    WALK,
    PUNCH,
    FLINCH,
    FALL,
    DRAW_SWORD,
    SWORD_READY,
    SLASH,
    HOLSTER_SWORD,
    STATE_COUNT
};

// The hero's table: idle, walk (twice as fast, with root motion, footsteps
// and an extra velocity), a standard punch with its sound and script and an
// end-of-animation transition to walking, two hit reactions (one fatal) and
// the sword's draw, ready, slash and holster (played backwards).
void build_hero(Table& t)
{
    t.state(IDLE, 0).anim_type_flags = ANIM_TYPE_IDLE_ANIM;
    t.state(IDLE).next_anim_index = IDLE;
    t.transition(IDLE, ACTION_UP, WALK);

    win_anim_table_base& walk = t.state(WALK, 1);
    walk.anim_time_multiplier = 2.0f;
    walk.translation_multiplier = ONES;
    walk.sound_effect = 0;
    walk.extra_translation_velocity = {0.0f, 0.0f, 10.0f};
    walk.next_anim_index = WALK;
    t.transition(WALK, 0, IDLE);

    win_anim_table_base& punch = t.state(PUNCH, 2, 0.0f, 300.0f);
    punch.anim_type_flags = ANIM_TYPE_ATTACKING;
    punch.reaction_flags = ANIM_REACTION_STANDARD_1;
    punch.sound_effect = 1;
    punch.play_script = STRDUP("hero_punch");
    punch.next_anim_index = IDLE;
    t.transition(PUNCH, (int32_t)ACTION_UP | WIN_AST_END_OF_ANIM, WALK);

    for (int32_t hit : {FLINCH, FALL}) {
        t.state(hit, 3, 0.0f, 400.0f).anim_type_flags = 0x1;
        t.state(hit).next_anim_index = IDLE;
    }
    t.state(FLINCH).reaction_flags = 0x200;
    t.state(FALL).reaction_flags = ANIM_REACTION_FATAL;

    const struct {
        int32_t state, anim;
        float begin, end;
        int32_t type, next;
    } sword[] = {
        {DRAW_SWORD, 4, 0.0f, 200.0f, ANIM_TYPE_DRAWING_1, SWORD_READY},
        {SWORD_READY, 4, 200.0f, 1000.0f, ANIM_TYPE_IDLE_ANIM, SWORD_READY},
        {SLASH, 5, 0.0f, 250.0f, ANIM_TYPE_ATTACKING, SWORD_READY},
        {HOLSTER_SWORD, 4, 200.0f, 0.0f, ANIM_TYPE_HOLSTERING_1, IDLE},
    };
    for (const auto& s : sword) {
        win_anim_table_base& state = t.state(s.state, s.anim, s.begin, s.end);
        state.anim_type_flags = s.type;
        state.reaction_flags = ANIM_REACTION_MELEE_1;
        state.next_anim_index = s.next;
        if (s.state != DRAW_SWORD)
            t.transition(s.state, ACTION_UP, WALK);
    }
    t.state(SLASH).sound_effect = 2;
}

TEST_F(Anim, AScriptedSequenceOfInputsAndFrameTimesWalksTheHerosTable)
{
    Table t({"idle", "walk", "punch", "flinch", "sword", "slash"}, STATE_COUNT,
            {"step", "whoosh", "clang"});
    build_hero(t);
    Character hero("hero", t.ast);
    game_globals.player_character = hero.entity;
    hero.entity->local_matrix.m[3][0] = 5.0f;
    hero.entity->local_matrix.m[3][2] = -3.0f;
    win_entity* sword = weapon("sword", 0x100);
    service_double_host.next_weapon = sword;
    running_script* punch_script = (running_script*)&t;
    service_double_new_script = punch_script;
    ASSERT_EQ(start_next_anim_state(hero.entity, t.ast, &hero.last, &hero.rot_velocity,
                                    &hero.velocity, IDLE, 1, 1),
              1);
    service_calls.clear();

    const std::string step = "sound_play(step, (5 0 -3), NULL, 1)";
    const struct {
        int32_t input;
        float ms;
        bool sword_in_hand;
        bool hit;  // the runtime's hit reaction plays first
        int32_t state;
        float anim_time;
        float root_z;  // the frame's root motion along z
        float velocity_z;
        std::vector<std::string> calls;
    } frames[] = {
        {0, 100, false, false, IDLE, 100, 0, 0, {}},
        // Up walks (twice as fast): footstep, extra velocity, root motion.
        {ACTION_UP,
         100,
         false,
         false,
         WALK,
         200,
         200 * WALK_PER_MS,
         10,
         {"entity_play_anim(1)", step}},
        // The walk runs out after 400 ms and starts again for the last 50.
        {ACTION_UP, 450, false, false, WALK, 100, 900 * WALK_PER_MS, 10, {step}},
        // Letting go: the walk's transition on an empty word leads to idle.
        {0, 100, false, false, IDLE, 100, 0, 0, {"entity_play_anim(0)"}},
        // A standard attack: its sound, then its script with a first slice.
        {ACTION_C_BUTTON,
         100,
         false,
         false,
         PUNCH,
         100,
         0,
         0,
         {"entity_play_anim(2)", "sound_play(whoosh, (5 0 -3), NULL, 1)",
          "script_initiate_script(hero_punch)", "parse_run_script(new_script)"}},
        // Held, the attack runs on without a restart.
        {ACTION_C_BUTTON, 100, false, false, PUNCH, 200, 0, 0, {"entity_play_anim(2)"}},
        // The punch ends while up is held: its end transition walks on.
        {ACTION_UP,
         150,
         false,
         false,
         WALK,
         100,
         100 * WALK_PER_MS,
         10,
         {"entity_play_anim(1)", step}},
        // A hit reaction, never the fatal one while alive.
        {0, 100, false, true, FLINCH, 100, 0, 0, {"entity_play_anim(3)"}},
        // Its end falls back on its next state.
        {0, 350, false, false, IDLE, 50, 0, 0, {}},
        // Browsing selects the sword.
        {ACTION_L1_BUTTON,
         100,
         false,
         false,
         IDLE,
         150,
         0,
         0,
         {"entity_find_next_weapon(hero)", "entity_retrieve_icon_texture(sword)"}},
        // Aiming draws the selected sword by its class.
        {ACTION_X_BUTTON, 100, false, false, DRAW_SWORD, 100, 0, 0, {"entity_play_anim(5)"}},
        // The draw ends into the ready state on the same animation.
        {ACTION_X_BUTTON, 150, true, false, SWORD_READY, 250, 0, 0, {}},
        // Attacking with the sword in hand slashes.
        {ACTION_C_BUTTON,
         100,
         true,
         false,
         SLASH,
         100,
         0,
         0,
         {"entity_play_anim(7)", "sound_play(clang, (5 0 -3), NULL, 1)"}},
        // Aiming again holsters it, playing its stretch backwards.
        {ACTION_X_BUTTON, 50, true, false, HOLSTER_SWORD, 150, 0, 0, {"entity_play_anim(8)"}},
        {0, 200, true, false, IDLE, 50, 0, 0, {}},
    };
    int row = 0;
    for (const auto& f : frames) {
        SCOPED_TRACE("frame " + std::to_string(row++));
        service_calls.clear();
        hero.payload.current_weapon = f.sword_in_hand ? sword : nullptr;
        hero.payload.weapon_data = {6, 0, 0.0f, 0.0f, 0.0f, 0};
        if (f.hit)
            entity_play_anim(hero.entity,
                             anim_find_state_by_type(hero.entity, 0x1, ANIM_WANT_ANY_NOT_FATAL));
        Character::frame_result r = hero.frame(f.input, f.ms);
        EXPECT_EQ(t.ast->current_anim_index, f.state);
        EXPECT_NEAR(r.anim_time, f.anim_time, EPS);
        EXPECT_NEAR(r.delta.tz, f.root_z, EPS);
        EXPECT_NEAR(hero.velocity.z, f.velocity_z, EPS);
        EXPECT_EQ(service_calls, f.calls);
    }
    EXPECT_EQ(game_globals.current_weapon, sword);
    EXPECT_TRUE(log.errors().empty());
}

// ---- Time advance ----

TEST_F(Anim, TimeAdvanceConsumesTheStateStretchAtItsSpeed)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* what;
        float begin, end, multiplier, progress, slice;
        float advance, time, progress_after;
        bool ends;
    } cases[] = {
        {"within the stretch", 0, 1000, 1, 0, 250, 250, 250, 0.25f, false},
        {"backwards", 2000, 1000, 1, 0, 250, 250, 1750, 0.25f, false},
        {"a slice of 0 samples where it is", 2000, 1000, 1, 0.25f, 0, 0, 1750, 0.25f, false},
        {"twice as fast, to the end", 0, 1000, 2, 0, 800, 500, 1000, 0, true},
        {"exactly to the end", 0, 1000, 1, 0.5f, 500, 500, 1000, 1, false},
        {"an empty stretch takes the whole slice", 300, 300, 1, 0, 80, 80, 300, 0, true},
        // Multipliers that would stop or reverse time play at 1.0.
        {"multiplier 0", 0, 1000, 0, 0, 250, 250, 250, 0.25f, false},
        {"negative multiplier", 0, 1000, -2, 0.5f, 800, 500, 1000, 0, true},
        {"multiplier NaN", 0, 1000, nan, 0, 100, 100, 100, 0.1f, false},
        {"infinite multiplier", 0, 1000, INFINITY, 0, 100, 100, 100, 0.1f, false},
        // A stored progress out of range is taken at its nearest end.
        {"progress above 1", 0, 1000, 1, 5, 100, 0, 1000, 0, true},
        {"progress below 0", 0, 1000, 1, -3, 100, 100, 100, 0.1f, false},
        {"a negative slice is none", 0, 1000, 1, 0.5f, -100, 0, 500, 0.5f, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Table t({"walk"}, 1);
        t.state(0, 0, c.begin, c.end).anim_time_multiplier = c.multiplier;
        t.ast->anim_progress = c.progress;
        t.ast->anim_blocking_state = 1;
        float advance = -1.0f;
        float time = -1.0f;
        anim_calc_time_advance(t.ast, c.slice, &advance, &time);
        EXPECT_NEAR(advance, c.advance, EPS);
        EXPECT_NEAR(time, c.time, EPS);
        EXPECT_NEAR(t.ast->anim_progress, c.progress_after, 1e-6f);
        EXPECT_EQ((t.ast->anim_input_flags & WIN_AST_END_OF_ANIM) != 0, c.ends);
        EXPECT_EQ(t.ast->anim_blocking_state, c.ends ? 2 : 1);
    }
}

TEST_F(Anim, TimeAdvanceRefusesWhatIsMissingAndConsumesTheSliceOfAStatelessTable)
{
    Table t({}, 0);
    float advance = -1.0f;
    float time = -1.0f;
    anim_calc_time_advance(nullptr, 10.0f, &advance, &time);
    anim_calc_time_advance(t.ast, 10.0f, nullptr, &time);
    anim_calc_time_advance(t.ast, 10.0f, &advance, nullptr);
    EXPECT_EQ(advance, -1.0f);
    anim_calc_time_advance(t.ast, 10.0f, &advance, &time);
    EXPECT_EQ(advance, 10.0f);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Cannot anim_calc_time_advance with NULL win_ast.",
                                "Cannot anim_calc_time_advance with NULL time_advance.",
                                "Cannot anim_calc_time_advance with NULL interpolation_time.",
                                "Bad current_anim_index = 0 for 'hero'",
                            }));
}

// ---- Starting a state ----

TEST_F(Anim, StartingAStateSwitchesVelocitiesAndRestartsOnlyANewAnimationOrWhenForced)
{
    Table t({"walk", "run"}, 4);
    t.state(0, 0).extra_translation_velocity = {1.0f, 0.0f, 4.0f};
    t.state(1, 0).extra_translation_velocity = {0.0f, 2.0f, 0.0f};
    t.state(1).extra_rotation_velocity = {0.0f, 0.5f, 0.0f};
    t.state(2, 0).anim_type_flags = ANIM_TYPE_FORCE_RESET;
    t.state(3, 1);
    win_xform last = {};
    win_vect3 rot = {9.0f, 9.0f, 9.0f};
    win_vect3 vel = {0.0f, -7.0f, 0.0f};  // gravity's share stays
    t.ast->current_anim_index = -1;       // nothing to take back yet
    ASSERT_EQ(start_next_anim_state(nullptr, t.ast, &last, &rot, &vel, 0, 1, 1), 1);
    t.ast->anim_progress = 0.5f;

    const struct {
        int32_t state, force, result;
        float progress;
    } steps[] = {
        {1, 0, 0, 0.5f},  // the same animation runs on
        {0, 1, 1, 0.0f},  // unless forced
        {2, 0, 1, 0.0f},  // or the state forces a reset
        {3, 0, 1, 0.0f},  // another animation starts
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.state);
        t.ast->anim_progress = 0.5f;
        EXPECT_EQ(start_next_anim_state(nullptr, t.ast, &last, &rot, &vel, s.state, 1, s.force),
                  s.result);
        EXPECT_EQ(t.ast->current_anim_index, s.state);
        EXPECT_EQ(t.ast->current_mow_anim, t.anim(t.state(s.state).mow_anim_index));
        EXPECT_EQ(t.ast->anim_progress, s.progress);
        // Velocities follow the state in either case.
        const win_vect3& now = t.state(s.state).extra_translation_velocity;
        EXPECT_FLOAT_EQ(rot.y, t.state(s.state).extra_rotation_velocity.y);
        EXPECT_FLOAT_EQ(vel.x, now.x);
        EXPECT_FLOAT_EQ(vel.y, -7.0f + now.y);
        EXPECT_FLOAT_EQ(vel.z, now.z);
    }
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Anim, StartingAStateRefusesWhatIsMissingAndAStateTheTableLacks)
{
    Table t({"walk"}, 1);
    t.state(0, 0);
    win_xform last = {};
    win_vect3 rot = {}, vel = {};
    EXPECT_EQ(start_next_anim_state(nullptr, nullptr, &last, &rot, &vel, 0, 0, 1), 0);
    EXPECT_EQ(start_next_anim_state(nullptr, t.ast, nullptr, &rot, &vel, 0, 0, 1), 0);
    EXPECT_EQ(start_next_anim_state(nullptr, t.ast, &last, nullptr, &vel, 0, 0, 1), 0);
    EXPECT_EQ(start_next_anim_state(nullptr, t.ast, &last, &rot, nullptr, 0, 0, 1), 0);
    for (int32_t bad : {-1, 1, 1000})
        EXPECT_EQ(start_next_anim_state(nullptr, t.ast, &last, &rot, &vel, bad, 0, 1), 0);
    EXPECT_EQ(t.ast->current_anim_index, 0);
    EXPECT_EQ(t.ast->current_mow_anim, nullptr);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Cannot start_next_anim_state with NULL win_ast.",
                                "Cannot start_next_anim_state with NULL last_win_xform.",
                                "Cannot start_next_anim_state with NULL extra_movement_rot_vel.",
                                "Cannot start_next_anim_state with NULL extra_movement_vel.",
                                "Bad new_anim_index = -1 for 'hero'",
                                "Bad new_anim_index = 1 for 'hero'",
                                "Bad new_anim_index = 1000 for 'hero'",
                            }));
}

TEST_F(Anim, AStateSoundPlaysAtTheEntityUnlessSilentAndABadIndexOnlyCostsTheSound)
{
    Table t({"walk"}, 1, {"step", "bell"});
    t.ast->sound_fx_array[1] = nullptr;  // unloaded since
    win_entity* guard = service_double_entity("guard");
    guard->local_matrix.m[3][1] = 2.5f;
    const struct {
        win_entity* entity;
        int32_t sound_effect, silent;
        std::vector<std::string> calls;
        std::vector<std::string> errors;
    } cases[] = {
        {guard, 0, 0, {"sound_play(step, (0 2.5 0), NULL, 1)"}, {}},
        {nullptr, 0, 0, {"sound_play(step, NULL, NULL, 1)"}, {}},
        {guard, 0, 1, {}, {}},
        {guard, 1, 0, {}, {}},
        {guard, -1, 0, {}, {}},
        {guard, 2, 0, {}, {"Invalid sound_fx_idx: 2."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sound_effect);
        log.clear();
        service_calls.clear();
        t.state(0, 0).sound_effect = c.sound_effect;
        win_xform last = {};
        win_vect3 rot = {}, vel = {};
        EXPECT_EQ(start_next_anim_state(c.entity, t.ast, &last, &rot, &vel, 0, c.silent, 1), 1);
        EXPECT_EQ(service_calls, c.calls);
        EXPECT_EQ(log.errors(), c.errors);
    }
    // Sound slots counted but never made play nothing.
    free_win_sound_fx_ptr_array(t.ast->sound_fx_array, t.ast->sound_fx_array_size);
    t.ast->sound_fx_array = nullptr;
    service_calls.clear();
    win_xform last = {};
    win_vect3 rot = {}, vel = {};
    t.state(0).sound_effect = 1;
    EXPECT_EQ(start_next_anim_state(guard, t.ast, &last, &rot, &vel, 0, 0, 1), 1);
    EXPECT_TRUE(service_calls.empty());
}

TEST_F(Anim, AStateScriptGetsItsFirstSliceOnlyWhenItStartsAnew)
{
    Table t({"walk"}, 1);
    t.state(0, 0).play_script = STRDUP("open_gate");
    win_xform last = {};
    win_vect3 rot = {}, vel = {};
    ASSERT_EQ(start_next_anim_state(nullptr, t.ast, &last, &rot, &vel, 0, 0, 1), 1);
    EXPECT_EQ(service_calls, (std::vector<std::string>{"script_initiate_script(open_gate)"}));

    service_calls.clear();
    service_double_new_script = (running_script*)&t;
    ASSERT_EQ(start_next_anim_state(nullptr, t.ast, &last, &rot, &vel, 0, 0, 1), 1);
    EXPECT_EQ(service_calls, (std::vector<std::string>{"script_initiate_script(open_gate)",
                                                       "parse_run_script(new_script)"}));
}

TEST_F(Anim, AStartingStateRemembersItsFirstRootPoseScaledByItsMultipliers)
{
    Table t({"walk"}, 3);
    win_anim_table_base& half_way = t.state(0, 0, 500.0f, 1000.0f);
    half_way.translation_multiplier = {1.0f, 1.0f, 0.5f};
    t.state(1, -1);                 // no animation: the identity
    t.state(2, 0, 300.0f, 300.0f);  // an empty stretch ends as it starts
    win_xform last = {};
    win_vect3 rot = {}, vel = {};

    ASSERT_EQ(start_next_anim_state(nullptr, t.ast, &last, &rot, &vel, 0, 0, 1), 1);
    EXPECT_NEAR(last.tz, 500 * WALK_PER_MS * 0.5f, EPS);
    // The next half second moves the character by the scaled difference
    // alone, from the first slice on.
    win_xform delta = win_xform_record_desc::templ;
    float advance = 0.0f, time = 0.0f;
    anim_calc_time_advance(t.ast, 250.0f, &advance, &time);
    EXPECT_EQ(anim_accum_root_motion(t.ast, time, &last, &delta), 0);
    EXPECT_NEAR(delta.tz, 250 * WALK_PER_MS * 0.5f, EPS);
    anim_calc_time_advance(t.ast, 300.0f, &advance, &time);
    EXPECT_EQ(advance, 250.0f);
    EXPECT_EQ(anim_accum_root_motion(t.ast, time, &last, &delta), WIN_AST_END_OF_ANIM);
    EXPECT_NEAR(delta.tz, 500 * WALK_PER_MS * 0.5f, EPS);
    // At the end the pose is not taken over: the next state brings its own.
    EXPECT_NEAR(last.tz, 750 * WALK_PER_MS * 0.5f, EPS);
    EXPECT_FLOAT_EQ(delta.sx, 1.0f);

    ASSERT_EQ(start_next_anim_state(nullptr, t.ast, &last, &rot, &vel, 1, 0, 1), 1);
    EXPECT_EQ(std::memcmp(&last, &win_xform_record_desc::templ, sizeof last), 0);
    EXPECT_EQ(anim_accum_root_motion(t.ast, 100.0f, &last, &delta), 0);

    t.ast->anim_input_flags = 0;
    t.ast->anim_blocking_state = 1;
    ASSERT_EQ(start_next_anim_state(nullptr, t.ast, &last, &rot, &vel, 2, 0, 1), 1);
    EXPECT_TRUE(t.ast->anim_input_flags & WIN_AST_END_OF_ANIM);
    EXPECT_EQ(t.ast->anim_blocking_state, 2);
}

// ---- Transitions ----

TEST_F(Anim, ATransitionFiresOnlyWhenItsMaskEqualsTheWholeInputWord)
{
    Table t({"walk"}, 4);
    for (int32_t i = 0; i < 4; ++i)
        t.state(i, 0);
    t.transition(0, ACTION_UP, 1);
    t.transition(0, WIN_AST_END_OF_ANIM, 2);
    t.transition(0, ACTION_UP, 3);  // never reached: the first match wins
    win_entity* guard = service_double_entity("guard");
    guard->win_ast = t.ast;
    const struct {
        int32_t input;
        std::vector<std::string> calls;
    } cases[] = {
        {ACTION_UP, {"entity_play_anim(1)"}},
        {WIN_AST_END_OF_ANIM, {"entity_play_anim(2)"}},
        {ACTION_UP | ACTION_A_BUTTON, {}},
        {(int32_t)ACTION_UP | WIN_AST_END_OF_ANIM, {}},
        {0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        service_calls.clear();
        t.ast->anim_input_flags = c.input;
        EXPECT_EQ(anim_interpret_input(guard), c.calls.empty() ? 0 : 1);
        EXPECT_EQ(service_calls, c.calls);
    }
    guard->win_ast = nullptr;
    EXPECT_EQ(anim_interpret_input(guard), 0);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Cannot anim_interpret_input with NULL win_ast."}));
}

// ---- State pickers ----

TEST_F(Anim, PickersMatchTypeAndReactionAndPreferLaterMatchesAtEvenOdds)
{
    Table t({"walk"}, 5);
    const int32_t flags[5][2] = {
        {0x80, ANIM_REACTION_MELEE_1}, {0x80 | 0x1, ANIM_REACTION_MELEE_1 | ANIM_REACTION_FATAL},
        {0x80, ANIM_REACTION_MELEE_1}, {0x1, ANIM_REACTION_FATAL},
        {0x80, ANIM_REACTION_MELEE_1},
    };
    for (int32_t i = 0; i < 5; ++i) {
        t.state(i, 0).anim_type_flags = flags[i][0];
        t.state(i).reaction_flags = flags[i][1];
    }
    win_entity* guard = service_double_entity("guard");
    guard->win_ast = t.ast;
    const struct {
        bool by_flags;
        int32_t key, want, only;  // the one state that matches, or -2 for 0, 2 and 4
    } cases[] = {
        {false, 0x80, ANIM_REACTION_MELEE_1, -2},
        {false, 0x1, ANIM_WANT_ANY, 3},
        {false, 0x1, ANIM_WANT_ANY_NOT_FATAL, -1},
        {false, 0x80, ANIM_REACTION_MELEE_2, -1},
        {true, 0x1, ANIM_REACTION_FATAL, -3},  // 1 or 3
        {true, 0x81, ANIM_WANT_ANY, 1},
        {true, 0x81, ANIM_WANT_ANY_NOT_FATAL, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.key << " " << c.want);
        std::vector<int> seen(5, 0);
        int none = 0;
        for (int draw = 0; draw < 4000; ++draw) {
            int32_t s = c.by_flags ? anim_find_state_by_flags(guard, c.key, c.want)
                                   : anim_find_state_by_type(guard, c.key, c.want);
            if (s < 0)
                ++none;
            else
                ++seen[s];
        }
        if (c.only == -1) {
            EXPECT_EQ(none, 4000);
        } else if (c.only >= 0) {
            EXPECT_EQ(seen[c.only], 4000);
        } else if (c.only == -2) {
            // Three matches: the last wins half the time, the others a quarter.
            EXPECT_NEAR(seen[0] / 4000.0, 0.25, 0.03);
            EXPECT_NEAR(seen[2] / 4000.0, 0.25, 0.03);
            EXPECT_NEAR(seen[4] / 4000.0, 0.5, 0.03);
        } else {
            EXPECT_NEAR(seen[1] / 4000.0, 0.5, 0.03);
            EXPECT_NEAR(seen[3] / 4000.0, 0.5, 0.03);
        }
    }
    // One match draws no random number.
    rand_util_srand(7);
    int expected = rand_util_rand();
    rand_util_srand(7);
    EXPECT_EQ(anim_find_state_by_type(guard, 0x1, ANIM_WANT_ANY), 3);
    EXPECT_EQ(rand_util_rand(), expected);
    EXPECT_TRUE(log.errors().empty());
}

// ---- Browsing ----

TEST_F(Anim, BrowsingStepsOncePerPressAndUsesAndTogglesByEdges)
{
    Table t({"walk"}, 2);
    t.state(0, 0);
    t.state(1, 0).anim_type_flags = ANIM_TYPE_HOLSTERING_2;
    win_entity* hero = service_double_entity("hero");
    hero->win_ast = t.ast;
    game_globals.player_character = hero;
    win_entity* potion = service_double_entity("potion");
    service_double_host.next_item = potion;
    game_globals.browse_mode = 1;

    const struct {
        int32_t state, input;
        std::vector<std::string> calls;
    } frames[] = {
        {0,
         ACTION_L1_BUTTON,
         {"entity_find_next_item(hero)", "entity_retrieve_icon_texture(potion)",
          "entity_set_current_item(hero, potion)"}},
        {0, ACTION_L1_BUTTON, {}},
        {0, ACTION_L1_BUTTON | ACTION_Y_BUTTON, {"script_initiate_script(potion_use)"}},
        {0, ACTION_Y_BUTTON, {}},
        {0, 0, {}},
        // Nothing while the weapon is put away, not even the latches.
        {1, ACTION_Y_BUTTON | ACTION_L1_BUTTON, {}},
        {0,
         ACTION_Y_BUTTON | ACTION_R1_BUTTON,
         {"entity_find_prev_item(hero)", "entity_retrieve_icon_texture(NULL)",
          "entity_set_current_item(hero, NULL)"}},
        {0, ACTION_M_BUTTON, {}},
        {0,
         ACTION_M_BUTTON | ACTION_L1_BUTTON,
         {"entity_find_next_weapon(hero)", "entity_retrieve_icon_texture(NULL)"}},
    };
    int row = 0;
    for (const auto& f : frames) {
        SCOPED_TRACE(row++);
        service_calls.clear();
        t.ast->current_anim_index = f.state;
        t.ast->anim_input_flags = f.input;
        anim_interpret_browse_input(hero);
        EXPECT_EQ(service_calls, f.calls);
    }
    // The toggle took one press: weapons, as the display shows.
    EXPECT_EQ(game_globals.browse_mode, 0);
    EXPECT_EQ(game_globals.weapon_item_toggle, 0);
    EXPECT_EQ(game_globals.current_item, nullptr);
    EXPECT_EQ(log.notices(), (std::vector<std::string>{"attempting to run script potion_use."}));

    // Start held stops the frame's clock.
    frame_delta_time = 40.0f;
    game_time = -1.0f;
    t.ast->anim_input_flags = ACTION_START_BUTTON;
    anim_interpret_browse_input(hero);
    EXPECT_EQ(frame_delta_time, 0.0f);
    EXPECT_GE(game_time, 0.0f);

    win_entity* guard = service_double_entity("guard");
    guard->win_ast = t.ast;
    anim_interpret_browse_input(guard);
    anim_interpret_browse_input(nullptr);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "anim_interpret_browse_input was called with 'guard'",
                                "Cannot anim_interpret_browse_input with NULL entity.",
                            }));
}

// ---- Weapon use and aim ----

// A table with one state of each kind the weapon choices look for, all
// reachable by a transition so that the interpreters act.
enum : int32_t {
    W_IDLE,
    W_AIMING,
    W_RELEASE_BOW,
    W_RELOAD_BOW,
    W_CHARGE_BOW,
    W_SLASH,
    W_SHOOT,
    W_RAISE_BOW,
    W_KICK,
    W_PUNCH_2,
    W_DRAW_BOW,
    W_HOLSTER_BOW,
    W_HOLSTER_BOW_AIMING,
    W_DRAW_SWORD,
    W_HOLSTER_SWORD,
    W_STATES
};

void build_armoury(Table& t)
{
    const int32_t kinds[W_STATES][2] = {
        {ANIM_TYPE_IDLE_ANIM, 0},
        {ANIM_TYPE_AIMING, ANIM_REACTION_PROJECTILE_1},
        {ANIM_TYPE_ATTACKING, ANIM_REACTION_PROJECTILE_1},
        {ANIM_TYPE_RELOAD, ANIM_REACTION_PROJECTILE_1},
        {ANIM_TYPE_CHARGING, ANIM_REACTION_PROJECTILE_1},
        {ANIM_TYPE_ATTACKING, ANIM_REACTION_MELEE_1},
        {ANIM_TYPE_ATTACKING, ANIM_REACTION_PROJECTILE_2},
        {ANIM_TYPE_RAISING_WEAPON, ANIM_REACTION_PROJECTILE_2},
        {ANIM_TYPE_ATTACKING | 0x4, ANIM_REACTION_STANDARD_1 | 0x2000},
        {ANIM_TYPE_ATTACKING, ANIM_REACTION_STANDARD_2},
        {ANIM_TYPE_DRAWING_1, ANIM_REACTION_PROJECTILE_1},
        {ANIM_TYPE_HOLSTERING_1, ANIM_REACTION_PROJECTILE_1},
        {ANIM_TYPE_HOLSTERING_1, ANIM_REACTION_PROJECTILE_1 | ANIM_REACTION_FROM_AIMING},
        {ANIM_TYPE_DRAWING_1, ANIM_REACTION_MELEE_1},
        {ANIM_TYPE_HOLSTERING_1, ANIM_REACTION_MELEE_1},
    };
    for (int32_t i = 0; i < W_STATES; ++i) {
        t.state(i, 0).anim_type_flags = kinds[i][0];
        t.state(i).reaction_flags = kinds[i][1];
        t.transition(i, ACTION_UP, W_IDLE);
    }
}

TEST_F(Anim, TheAttackInputChoosesByWeaponClassChargeClipAndWhoAttacks)
{
    Table t({"any"}, W_STATES);
    build_armoury(t);
    win_entity* bow = weapon("bow", 0x800);              // projectile 1
    win_entity* crossbow = weapon("crossbow", 0x1000);   // projectile 2
    win_entity* sword = weapon("sword", 0x100 | 0x800);  // melee 1: the first bit wins
    win_entity* hero = service_double_entity("hero");
    win_entity* ogre = service_double_entity("ogre");
    win_entity* rat = service_double_entity("rat");
    hero->win_ast = t.ast;
    ogre->win_ast = t.ast;
    game_globals.player_character = hero;
    frame_delta_time = 100.0f;
    service_double_host.attack_sector = -2;

    const anim_weapon_data plain = {6, 0, 0.0f, 0.0f, 0.0f, 3};
    const anim_weapon_data charging = {6, 0, 20.0f, 5.0f, 4.5f, 3};
    const struct {
        const char* what;
        win_entity* who;
        int32_t state, input;
        win_entity* weapon;
        anim_weapon_data data;
        win_entity* goal_target;
        int32_t attack_enabled;
        int32_t played;  // -1: none
        anim_weapon_data after;
    } cases[] = {
        {"melee strikes", hero, W_IDLE, ACTION_C_BUTTON, sword, plain, nullptr, 1, W_SLASH, plain},
        {"attacks disabled", hero, W_IDLE, ACTION_C_BUTTON, sword, plain, nullptr, 0, -1, plain},
        {"a full clip reloads",
         hero,
         W_IDLE,
         ACTION_C_BUTTON,
         bow,
         {6, 6, 0, 0, 0, 3},
         nullptr,
         1,
         W_RELOAD_BOW,
         {6, 0, 0, 0, 0, 3}},
        {"a bow without reload state keeps its count",
         hero,
         W_IDLE,
         ACTION_C_BUTTON,
         crossbow,
         {6, 6, 0, 0, 0, 3},
         nullptr,
         1,
         -1,
         {6, 6, 0, 0, 0, 3}},
        {"projectile fires while aiming", hero, W_AIMING, ACTION_C_BUTTON, crossbow, plain, nullptr,
         1, W_SHOOT, plain},
        {"no ammunition, no shot",
         hero,
         W_AIMING,
         ACTION_C_BUTTON,
         crossbow,
         {6, 0, 0, 0, 0, 0},
         nullptr,
         1,
         -1,
         {6, 0, 0, 0, 0, 0}},
        {"projectile is raised from idle", hero, W_IDLE, ACTION_C_BUTTON, crossbow, plain, nullptr,
         1, W_RAISE_BOW, plain},
        {"projectile does nothing otherwise", hero, W_SLASH, ACTION_C_BUTTON, crossbow, plain,
         nullptr, 1, -1, plain},
        {"another character's charge grows to its cap",
         ogre,
         W_IDLE,
         ACTION_C_BUTTON,
         bow,
         charging,
         nullptr,
         1,
         W_CHARGE_BOW,
         {6, 0, 20.0f, 5.0f, 5.0f, 3}},
        {"letting go fires the charge", hero, W_IDLE, 0, bow, charging, nullptr, 1, W_RELEASE_BOW,
         charging},
        {"letting go of an empty charge",
         hero,
         W_IDLE,
         0,
         bow,
         {6, 0, 20, 5, 0, 3},
         nullptr,
         1,
         -1,
         {6, 0, 20, 5, 0, 3}},
        {"the player's first standard attack", hero, W_IDLE, ACTION_C_BUTTON, nullptr, plain,
         nullptr, 1, W_PUNCH_2, plain},
        {"another character attacks as its AI says", ogre, W_IDLE, ACTION_C_BUTTON, nullptr, plain,
         rat, 1, -3, plain},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        service_calls.clear();
        anim_reset();
        rand_util_srand(1);
        t.ast->current_anim_index = c.state;
        t.ast->anim_input_flags = c.input;
        game_globals.attack_enabled = c.attack_enabled;
        anim_character character = {c.weapon, c.data, c.goal_target};
        anim_interpret_reaction_input(c.who, &character);
        std::vector<std::string> plays = service_calls_of("entity_play_anim");
        if (c.played == -1) {
            EXPECT_TRUE(plays.empty());
        } else if (c.played >= 0) {
            EXPECT_EQ(plays, (std::vector<std::string>{"entity_play_anim(" +
                                                       std::to_string(c.played) + ")"}));
        } else {
            // Sector -2 means any attack: one of the attacking states.
            ASSERT_EQ(plays.size(), 1u);
            EXPECT_EQ(service_calls_of("ai_find_attack_sector"),
                      (std::vector<std::string>{"ai_find_attack_sector(ogre, rat)"}));
        }
        EXPECT_EQ(character.weapon_data.shots_fired, c.after.shots_fired);
        EXPECT_FLOAT_EQ(character.weapon_data.charge, c.after.charge);
    }
    // Without a goal target the player is the target.
    service_calls.clear();
    service_double_host.attack_sector = ANIM_REACTION_STANDARD_1;
    t.ast->current_anim_index = W_IDLE;
    t.ast->anim_input_flags = ACTION_C_BUTTON;
    anim_interpret_reaction_input(ogre, nullptr);
    EXPECT_EQ(service_calls, (std::vector<std::string>{"ai_find_attack_sector(ogre, hero)",
                                                       "entity_play_anim(8)"}));
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Anim, APlayersHeldChargeStopsPlayingOnceNoChargeStateIsFound)
{
    Table t({"any"}, W_STATES);
    build_armoury(t);
    t.state(W_CHARGE_BOW).anim_type_flags = 0;  // the table has no charging state
    win_entity* hero = service_double_entity("hero");
    hero->win_ast = t.ast;
    game_globals.player_character = hero;
    win_entity* bow = weapon("bow", 0x800);
    frame_delta_time = 100.0f;
    anim_character character = {bow, {6, 0, 10.0f, 5.0f, 0.0f, 3}, nullptr};

    t.ast->anim_input_flags = 0;
    anim_interpret_reaction_input(hero, &character);  // the latch opens
    t.ast->anim_input_flags = ACTION_C_BUTTON;
    anim_interpret_reaction_input(hero, &character);
    EXPECT_FLOAT_EQ(character.weapon_data.charge, 1.0f);
    t.state(W_CHARGE_BOW).anim_type_flags = ANIM_TYPE_CHARGING;
    // The latch closed when nothing was found: held on, nothing plays.
    anim_interpret_reaction_input(hero, &character);
    EXPECT_FLOAT_EQ(character.weapon_data.charge, 2.0f);
    EXPECT_TRUE(service_calls_of("entity_play_anim").empty());
}

TEST_F(Anim, TheAimInputDrawsAndHolstersByClassOncePerPressForThePlayer)
{
    Table t({"any"}, W_STATES);
    build_armoury(t);
    win_entity* bow = weapon("bow", 0x800);
    win_entity* sword = weapon("sword", 0x100);
    win_entity* hero = service_double_entity("hero");
    win_entity* ogre = service_double_entity("ogre");
    hero->win_ast = t.ast;
    ogre->win_ast = t.ast;
    game_globals.player_character = hero;

    const struct {
        const char* what;
        win_entity* who;
        int32_t state, input;
        win_entity* in_hand;
        win_entity* selected;
        int32_t played;
    } frames[] = {
        {"the player draws the selected weapon", hero, W_IDLE, ACTION_X_BUTTON, nullptr, sword,
         W_DRAW_SWORD},
        {"held, nothing more", hero, W_IDLE, ACTION_X_BUTTON, sword, sword, -1},
        {"released", hero, W_IDLE, 0, sword, sword, -1},
        {"pressed again: holster", hero, W_SLASH, ACTION_X_BUTTON, sword, sword, W_HOLSTER_SWORD},
        {"released", hero, W_IDLE, 0, sword, bow, -1},
        // Another weapon chosen: holster, and held on, try again next frame.
        {"a bow holstered from aiming", hero, W_AIMING, ACTION_X_BUTTON, bow, sword,
         W_HOLSTER_BOW_AIMING},
        {"held on", hero, W_IDLE, ACTION_X_BUTTON, bow, sword, W_HOLSTER_BOW},
        {"with nothing in hand, the next draw", hero, W_IDLE, ACTION_X_BUTTON, nullptr, sword,
         W_DRAW_SWORD},
        {"another character draws on aim", ogre, W_IDLE, ACTION_X_BUTTON, bow, nullptr, W_DRAW_BOW},
        {"but not while busy with it", ogre, W_AIMING, ACTION_X_BUTTON, bow, nullptr, -1},
        {"and holsters when aim ends while aiming", ogre, W_AIMING, 0, bow, nullptr, W_HOLSTER_BOW},
        {"not from idle", ogre, W_IDLE, 0, bow, nullptr, -1},
    };
    for (const auto& f : frames) {
        SCOPED_TRACE(f.what);
        service_calls.clear();
        t.ast->current_anim_index = f.state;
        t.ast->anim_input_flags = f.input;
        game_globals.current_weapon = f.selected;
        anim_character character = {f.in_hand, {}, nullptr};
        anim_interpret_aim_input(f.who, &character);
        std::vector<std::string> expected;
        if (f.played >= 0)
            expected.push_back("entity_play_anim(" + std::to_string(f.played) + ")");
        EXPECT_EQ(service_calls, expected);
    }
    // A player who may not attack draws nothing.
    game_globals.attack_enabled = 0;
    game_globals.current_weapon = sword;
    t.ast->anim_input_flags = 0;
    anim_interpret_aim_input(hero, nullptr);
    t.ast->anim_input_flags = ACTION_X_BUTTON;
    service_calls.clear();
    anim_interpret_aim_input(hero, nullptr);
    EXPECT_TRUE(service_calls.empty());
}

// ---- Broken tables ----

TEST_F(Anim, BrokenTablesAreRefusedOrClampedWithoutReadingOutsideThem)
{
    Table t({"walk"}, 3, {"step"});
    t.state(0, 0);
    t.state(1, 7);  // an animation the table does not have
    t.state(2, 0).sound_effect = 5;
    t.transition(0, ACTION_UP, 9);  // a state it does not have
    t.transition(0, ACTION_DOWN, 1);
    t.transition(2, ACTION_UP, 0);
    win_entity* hero = service_double_entity("hero");
    hero->win_ast = t.ast;
    game_globals.player_character = hero;
    Character driven("ogre", t.ast);

    win_xform last = {};
    win_vect3 rot = {}, vel = {};
    ASSERT_EQ(start_next_anim_state(nullptr, t.ast, &last, &rot, &vel, 0, 0, 1), 1);
    driven.frame(ACTION_UP, 100);  // the transition names no state
    EXPECT_EQ(t.ast->current_anim_index, 0);
    driven.frame(ACTION_DOWN, 100);  // a state without its animation
    EXPECT_EQ(t.ast->current_anim_index, 1);
    EXPECT_EQ(t.ast->current_mow_anim, nullptr);
    EXPECT_EQ(start_next_anim_state(hero, t.ast, &last, &rot, &vel, 2, 0, 1), 1);
    EXPECT_EQ(t.ast->current_anim_index, 2);

    // A current state the table lacks: nothing is read, time goes on.
    for (int32_t bad : {-1, 3, 100000}) {
        t.ast->current_anim_index = bad;
        t.ast->anim_input_flags = ACTION_C_BUTTON | ACTION_X_BUTTON | ACTION_L1_BUTTON;
        anim_interpret_browse_input(hero);
        anim_interpret_reaction_input(hero, nullptr);
        anim_interpret_aim_input(hero, nullptr);
        EXPECT_EQ(anim_interpret_input(hero), 0);
        float advance = 0.0f, time = 0.0f;
        anim_calc_time_advance(t.ast, 30.0f, &advance, &time);
        EXPECT_EQ(advance, 30.0f);
        EXPECT_EQ(start_next_anim_state(hero, t.ast, &last, &rot, &vel, 0, 0, 1), 1);
    }
    // An entity without a table, and a table without states.
    win_entity* bare = service_double_entity("bare");
    anim_interpret_reaction_input(bare, nullptr);
    anim_interpret_aim_input(bare, nullptr);
    EXPECT_EQ(anim_find_state_by_type(bare, 0, 0), -1);
    Table empty({}, 0);
    bare->win_ast = empty.ast;
    EXPECT_EQ(anim_find_state_by_flags(bare, 0, ANIM_WANT_ANY), -1);
    anim_interpret_reaction_input(bare, nullptr);

    std::vector<std::string> errors = log.errors();
    for (const char* expected : {
             "Bad new_anim_index = 9 for 'hero'",
             "Bad mow_anim_index = 7 in state 1 of 'hero'",
             "Invalid sound_fx_idx: 5.",
             "Bad current_anim_index = -1 for 'hero'",
             "Bad current_anim_index = 100000 for 'hero'",
             "Cannot anim_interpret_reaction_input with NULL win_ast.",
             "Cannot anim_interpret_aim_input with NULL win_ast.",
             "Cannot anim_find_state_by_type with NULL win_ast.",
         })
        EXPECT_NE(std::find(errors.begin(), errors.end(), expected), errors.end()) << expected;
}

// ---- Duplication ----

TEST_F(Anim, ADuplicateIsDeepAndSharesTheAnimationsAndSounds)
{
    Table t({"walk", "swing"}, 2, {"step"});
    win_anim_table_base& swing = t.state(0, 1, 100.0f, 400.0f);
    swing.anim_type_flags = ANIM_TYPE_ATTACKING;
    swing.reaction_flags = ANIM_REACTION_MELEE_1;
    swing.attack_value = 12;
    swing.sound_effect = 0;
    swing.play_script = STRDUP("swing_hit");
    swing.extra_translation_velocity = {0.0f, 0.0f, 3.0f};
    swing.combat_win_joint_table_idx = 0;
    swing.block_to_anim_index = 1;
    swing.block_to_value = 40;
    swing.next_anim_index = 1;
    t.transition(0, ACTION_UP, 1);
    t.transition(0, WIN_AST_END_OF_ANIM, 1);
    t.state(1, 0);
    t.ast->spaz_model_name = STRDUP("hero_spaz");
    win_joint_table* arm = malloc_win_joint_table("arm");
    win_joint_pair* pair = malloc_win_joint_pair();
    pair->first_joint_idx = 3;
    pair->last_joint_idx = 5;
    add_to_win_joint_pair_list(&arm->win_joint_pair_list, &arm->win_joint_pair_list_size, pair);
    add_to_win_joint_table_list(&t.ast->win_joint_table_list, &t.ast->win_joint_table_list_size,
                                arm);
    t.ast->current_anim_index = 0;
    t.ast->current_mow_anim = t.anim(1);
    t.ast->anim_input_flags = ACTION_UP;
    t.ast->anim_progress = 0.5f;
    t.ast->anim_blocking_state = 1;

    win_ast* copy = anim_create_duplicate_ast(t.ast);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->win_ast_name, "hero");
    ASSERT_EQ(copy->win_anim_table_base_array_size, 2);
    ASSERT_NE(copy->win_anim_table_base_array, t.ast->win_anim_table_base_array);
    const win_anim_table_base& c = copy->win_anim_table_base_array[0];
    // Every property of the state, its script and its transitions in order.
    EXPECT_EQ(std::memcmp(&c.next_anim_index, &swing.next_anim_index,
                          offsetof(win_anim_table_base, play_script) -
                              offsetof(win_anim_table_base, next_anim_index)),
              0);
    EXPECT_STREQ(c.play_script, "swing_hit");
    EXPECT_NE(c.play_script, swing.play_script);
    EXPECT_EQ(c.combat_win_joint_table_idx, 0);
    EXPECT_EQ(c.block_to_value, 40);
    ASSERT_EQ(c.win_anim_table_entry_list_size, 2);
    EXPECT_EQ(c.win_anim_table_entry_list->condition_mask, ACTION_UP);
    EXPECT_EQ(c.win_anim_table_entry_list->next_ptr->condition_mask, WIN_AST_END_OF_ANIM);
    EXPECT_STREQ(copy->mow_anim_filename_array[1], "swing");
    EXPECT_STREQ(copy->spaz_model_name, "hero_spaz");
    ASSERT_EQ(copy->win_joint_table_list_size, 1);
    EXPECT_STREQ(copy->win_joint_table_list->win_joint_table_name, "arm");
    EXPECT_EQ(copy->win_joint_table_list->win_joint_pair_list->last_joint_idx, 5);
    // Shared animations and sounds; its own state, started afresh.
    EXPECT_EQ(copy->mow_anim_ptr_array[0], t.anim(0));
    EXPECT_EQ(t.anim(1)->mow_anim_ref_cnt, 2);
    EXPECT_EQ(copy->current_anim_index, 0);
    EXPECT_EQ(copy->current_mow_anim, t.anim(1));
    EXPECT_EQ(copy->anim_input_flags, 0);
    EXPECT_EQ(copy->anim_progress, 0.0f);
    EXPECT_EQ(copy->anim_blocking_state, 0);
    ASSERT_EQ(copy->sound_fx_array_size, 1);
    win_sound_container* step = t.ast->sound_fx_array[0];
    EXPECT_EQ(copy->sound_fx_array[0], step);
    // An unloaded sound leaves the copy's slot too.
    win_ast_forget_sound(step);
    EXPECT_EQ(copy->sound_fx_array[0], nullptr);

    EXPECT_EQ(free_win_ast(copy), 1);
    EXPECT_EQ(t.anim(1)->mow_anim_ref_cnt, 1);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Anim, DuplicationRefusesAMissingOrBrokenTableAndLeaksNothingWhenMemoryRunsOut)
{
    EXPECT_EQ(anim_create_duplicate_ast(nullptr), nullptr);
    Table t({"walk"}, 2);
    t.state(0, 0).next_anim_index = 5;
    EXPECT_EQ(anim_create_duplicate_ast(t.ast), nullptr);
    std::vector<std::string> errors = log.errors();
    ASSERT_GE(errors.size(), 2u);
    EXPECT_EQ(errors.front(), "Cannot anim_create_duplicate_ast with NULL win_ast.");
    EXPECT_EQ(errors.back(), "Failed to allocate memory to copy win_ast hero.");

    t.state(0).next_anim_index = 1;
    t.transition(0, ACTION_UP, 1);
    t.state(1, 0).play_script = STRDUP("again");
    int swept = heap_failure_sweep([&] {
        win_ast* copy = anim_create_duplicate_ast(t.ast);
        if (!copy)
            return false;
        EXPECT_EQ(t.anim(0)->mow_anim_ref_cnt, 2);
        free_win_ast(copy);
        return true;
    });
    EXPECT_GT(swept, 5);
    EXPECT_EQ(t.anim(0)->mow_anim_ref_cnt, 1);
}

}  // namespace
