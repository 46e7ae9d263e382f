#include "entity_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ai_io.h"
#include "anim.h"
#include "demo_entity.h"
#include "entity_fixture.h"
#include "entity_io.h"
#include "entity_weapon.h"
#include "gameglobals.h"
#include "heap.h"
#include "platform/win32_test.h"
#include "sound.h"
#include "test_support.h"
#include "win_entity.h"
#include "win_math.h"

namespace {

constexpr float HALF_PI = 1.5707964f;

win_entity* make_entity(const char* name, int32_t type = WIN_ENTITY_TYPE_CHARACTER)
{
    win_entity* entity = malloc_win_entity(name);
    entity->win_entity_type = type;
    if (type == WIN_ENTITY_TYPE_CHARACTER)
        entity->u.win_character = malloc_win_character();
    return entity;
}

// A character whose model and pose have `joints` joints, joint j's sphere
// centred at (j, 10 j, 0) and its world matrix a translation to (0, 0, j).
win_entity* make_posed(const char* name, int32_t joints)
{
    win_entity* entity = make_entity(name);
    win_character* character = entity->u.win_character;
    character->mow_model = malloc_mow_model(name);
    character->mow_model->mow_joint_array_size = joints;
    character->mow_track_augment_array = malloc_mow_track_augment_array(joints);
    character->mow_track_augment_array_size = joints;
    for (int32_t j = 0; j < joints; ++j) {
        mow_track_augment& pose = character->mow_track_augment_array[j];
        pose.mow_augment_sphere_center = {(float)j, 10.0f * (float)j, 0.0f};
        win_math_set_translate_matrix43_inline(&pose.mow_augment_matrix, 0.0f, 0.0f, (float)j);
    }
    return entity;
}

win_vect3 position(const win_entity* entity)
{
    const float* row = entity->local_matrix.m[3];
    return {row[0], row[1], row[2]};
}

void put_on_ring(win_entity* entity)
{
    add_to_win_entity_list(&entity_io_global_win_entity_list,
                           &entity_io_global_win_entity_list_size, entity);
}

// Empties the ring and frees what was on it.
void free_ring(void)
{
    while (win_entity* entity = entity_io_global_win_entity_list) {
        remove_from_win_entity_list(&entity_io_global_win_entity_list,
                                    &entity_io_global_win_entity_list_size, entity);
        free_win_entity(entity);
    }
}

// A state table of `count` states (animation -1: none), state i with the type
// and reaction flags given.
win_ast* make_table(std::initializer_list<std::pair<int32_t, int32_t>> states)
{
    win_ast* table = malloc_win_ast("table");
    int32_t count = (int32_t)states.size();
    table->win_anim_table_base_array = malloc_win_anim_table_base_array(count);
    table->win_anim_table_base_array_size = count;
    int32_t i = 0;
    for (auto [type_flags, reaction_flags] : states) {
        win_anim_table_base& state = table->win_anim_table_base_array[i];
        state.anim_index = i++;
        state.mow_anim_index = -1;
        state.anim_type_flags = type_flags;
        state.reaction_flags = reaction_flags;
    }
    table->current_anim_index = 0;
    return table;
}

class EntityOps : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        entity_io_global_win_entity_list = nullptr;
        entity_io_global_win_entity_list_size = 0;
        log.clear();
    }
    void TearDown() override { free_ring(); }
    LogCapture log;
};

TEST_F(EntityOps, PlacingRemovesTheRotationAndOrientingKeepsThePosition)
{
    win_entity* hero = make_entity("hero");
    hero->win_ast = make_table({{0, 0}, {0, 0}});
    hero->win_ast->current_anim_index = 1;
    hero->win_entity_flag &= ~ENTITY_FLAG_BRAIN;
    hero->velocity = {1.0f, 1.0f, 1.0f};
    hero->last_win_xform.tx = 5.0f;
    entity_orient(hero, 0.3f, 0.2f, 0.1f);

    ASSERT_EQ(entity_place(hero, 1.0f, 2.0f, 3.0f), 1);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(hero->local_matrix.m[r][c], r == c ? 1.0f : 0.0f) << r << c;
    EXPECT_EQ(position(hero).z, 3.0f);
    EXPECT_EQ(hero->world_matrix.m[3][1], 2.0f);
    EXPECT_EQ(hero->velocity.x, 0.0f);
    EXPECT_EQ(hero->last_win_xform.tx, 0.0f);
    EXPECT_EQ(hero->u.win_character->world_sphere_center.x, 1.0f);
    EXPECT_EQ(hero->win_ast->current_anim_index, 0) << "placed in state 0";
    EXPECT_EQ(log.notices()[1], "Setting entity hero location to 1.000000, 2.000000, 3.000000.");

    ASSERT_EQ(entity_orient(hero, 0.0f, HALF_PI, 0.0f), 1);
    EXPECT_EQ(position(hero).x, 1.0f);
    EXPECT_EQ(position(hero).z, 3.0f);
    EXPECT_NE(hero->local_matrix.attrib & WIN_ATTRIB_ROTATE, 0);
    free_win_entity(hero);
}

TEST_F(EntityOps, PlacingACameraLeavesItsExploreCameraEvenWithoutTargets)
{
    win_entity* camera = demo_entity_make_camera();
    camera->u.win_camera->win_camera_target_list->explore_cam_idx = 2;
    EXPECT_EQ(entity_place(camera, 0.0f, 0.0f, 0.0f), 1);
    EXPECT_EQ(camera->u.win_camera->win_camera_target_list->explore_cam_idx, -1);
    free_win_camera_target_list(camera->u.win_camera->win_camera_target_list);
    camera->u.win_camera->win_camera_target_list = nullptr;
    camera->u.win_camera->win_camera_target_list_size = 0;
    EXPECT_EQ(entity_place(camera, 4.0f, 0.0f, 0.0f), 1);
    EXPECT_EQ(position(camera).x, 4.0f);
    free_win_entity(camera);
}

TEST_F(EntityOps, TurningAndMovingFollowTheEntitysOwnAxes)
{
    win_entity* hero = make_entity("hero");
    entity_place(hero, 1.0f, 0.0f, 0.0f);
    ASSERT_EQ(entity_add_rotation(hero, 0.0f, 45.0f, 0.0f), 1);
    ASSERT_EQ(entity_add_rotation(hero, 0.0f, 45.0f, 0.0f), 1);
    EXPECT_EQ(position(hero).x, 1.0f) << "turned about its own position";
    win_matrix43 quarter;
    win_math_set_rot_trans_matrix43(&quarter, 0.0f, HALF_PI, 0.0f, 1.0f, 0.0f, 0.0f);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(hero->local_matrix.m[r][c], quarter.m[r][c], 1e-5f) << r << c;

    ASSERT_EQ(entity_add_translation(hero, 0.0f, 0.0f, 2.0f), 1);
    win_vect3 expected;
    const win_vect3 step = {0.0f, 0.0f, 2.0f};
    win_matrix43 turn = quarter;
    turn.m[3][0] = 0.0f;
    win_math_multiply_vect3_by_matrix43(&expected, &step, &turn);
    EXPECT_NEAR(position(hero).x, 1.0f + expected.x, 1e-5f);
    EXPECT_NEAR(position(hero).z, expected.z, 1e-5f);
    EXPECT_NEAR(std::fabs(expected.x), 2.0f, 1e-5f) << "the step went sideways in the world";
    free_win_entity(hero);
}

TEST_F(EntityOps, MotionAndLifeSpanSetters)
{
    game_globals.gravity = -10.0f;
    game_globals.x_wind = 2.0f;
    game_globals.z_wind = 3.0f;
    win_entity* hero = make_entity("hero");
    win_entity* sparks = demo_entity_make_sparks();
    win_entity* lamp = demo_entity_make_lamp();

    EXPECT_EQ(entity_set_acceleration(hero, 1.0f, 1.0f, 1.0f), 1);
    EXPECT_EQ(hero->acceleration.x, 2.0f);
    EXPECT_EQ(hero->acceleration.y, -10.0f);
    EXPECT_EQ(hero->acceleration.z, 3.0f);
    EXPECT_EQ(entity_set_velocity(hero, 1.0f, 2.0f, 3.0f), 1);
    EXPECT_EQ(hero->velocity.y, 2.0f);
    EXPECT_EQ(entity_set_rot_velocity(hero, 0.5f, 0.0f, 0.0f), 1);
    EXPECT_EQ(hero->rot_velocity.x, 0.5f);
    EXPECT_EQ(entity_set_mass(hero, 7.0f), 1);
    EXPECT_EQ(hero->u.win_character->mass, 7.0f);
    EXPECT_EQ(entity_set_mass(lamp, 7.0f), 1) << "a light has no mass, and that is fine";

    EXPECT_EQ(entity_set_life_span(hero, -999.0f), 1);
    EXPECT_EQ(hero->life_span, -2147483648.0f);
    EXPECT_EQ(log.warnings(),
              std::vector<std::string>{"entity 'hero' attempting to us -999 instead of "
                                       "ETERNAL_LIFE_SPAN constant"});
    EXPECT_EQ(entity_set_life_span(sparks, -1.0f), 1);
    EXPECT_EQ(sparks->u.win_emitter->emit_time, -1.0f);
    EXPECT_EQ(entity_set_life_span(sparks, 0.0f), 1);
    EXPECT_EQ(sparks->u.win_emitter->emit_time, -1.0f) << "an emitter put out bursts nothing";
    EXPECT_EQ(entity_set_life_span(sparks, 2.0f), 1);
    EXPECT_EQ(sparks->life_span, 2.0f);
    EXPECT_EQ(sparks->u.win_emitter->emit_time, 1.0f) << "a second's worth at once";

    log.clear();
    EXPECT_EQ(entity_set_velocity(nullptr, 0, 0, 0), 0);
    EXPECT_EQ(entity_add_rotation(nullptr, 0, 0, 0), 0);
    EXPECT_EQ(entity_set_life_span(nullptr, 0), 0);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Cannot entity_set_velocity with NULL entity.",
                                        "Cannot entity_add_rotation with a NULL entity.",
                                        "Cannot entity_set_life_span with NULL entity."}));
    for (win_entity* e : {hero, sparks, lamp})
        free_win_entity(e);
}

TEST_F(EntityOps, BrainAndCollisionSwitches)
{
    win_entity* hero = make_entity("hero");
    hero->win_ast = make_table({{0, 0}});
    hero->win_ast->anim_input_flags = 0x10001;
    EXPECT_EQ(entity_enable_brain(hero, 0), 1);
    EXPECT_EQ(hero->win_entity_flag & ENTITY_FLAG_BRAIN, 0u);
    EXPECT_EQ(hero->win_ast->anim_input_flags, 0x10000) << "the input word keeps what it gets";
    hero->win_ast->anim_input_flags |= 0x1;
    EXPECT_EQ(entity_enable_brain(hero, 1), 1);
    EXPECT_NE(hero->win_entity_flag & ENTITY_FLAG_BRAIN, 0u);
    EXPECT_EQ(hero->win_ast->anim_input_flags, 0x1);

    struct {
        int (*operation)(win_entity*, int32_t);
        int32_t enable;
        uint32_t flags;  // the collision bits after it, from both on
        const char* notice;
    } cases[] = {
        {entity_enable_collision, 0, 0, "Disabling all collision for hero."},
        {entity_enable_environment_collision, 1, 0x80000,
         "Enabling environment collision for hero."},
        {entity_enable_character_collision, 1, 0x180000, "Enabling character collision for hero."},
        {entity_enable_character_collision, 0, 0x80000, "Disabling character collision for hero."},
        {entity_enable_collision, 1, 0x180000, "Enabling all collision for hero."},
        {entity_enable_environment_collision, 0, 0x100000,
         "Disabling environment collision for hero."},
    };
    hero->win_entity_flag |= 0x180000;
    for (const auto& c : cases) {
        log.clear();
        EXPECT_EQ(c.operation(hero, c.enable), 1);
        EXPECT_EQ(hero->win_entity_flag & 0x180000u, c.flags) << c.notice;
        EXPECT_EQ(log.notices().back(), c.notice);
    }
    free_win_entity(hero);
}

TEST_F(EntityOps, ThePlayerTakesTheParkedWeaponsAndItems)
{
    struct {
        bool has_own;  // the new player holds a sub-entity of its own
        std::string order;
    } cases[] = {{true, "shield sword key"}, {false, "sword key"}};
    for (const auto& c : cases) {
        win_entity* hero = make_entity("hero");
        if (c.has_own) {
            win_entity* shield = make_entity("shield");
            add_to_win_entity_list(&hero->child_entity_list, &hero->child_entity_list_size, shield);
        }
        for (const char* name : {"sword", "key"})
            add_to_win_entity_list(&game_globals.parked_child_list,
                                   &game_globals.parked_child_list_size, make_entity(name));
        game_globals.parked_acceleration = {0.0f, -5.0f, 0.0f};
        game_globals.parked_entity_flag = (int32_t)ENTITY_FLAG_TARGET;

        EXPECT_EQ(entity_set_player_character(hero), 1) << "also without a tail to hook";
        EXPECT_EQ(game_globals.player_character, hero);
        std::string order;
        win_entity* member = hero->child_entity_list;
        for (int32_t i = 0; i < hero->child_entity_list_size; ++i, member = member->next)
            order += (i ? " " : "") + std::string(member->win_entity_name);
        EXPECT_EQ(order, c.order);
        EXPECT_EQ(member, hero->child_entity_list) << "the ring closes";
        EXPECT_EQ(game_globals.parked_child_list, nullptr);
        EXPECT_EQ(game_globals.parked_child_list_size, 0);
        EXPECT_EQ(hero->acceleration.y, -5.0f);
        EXPECT_NE(hero->win_entity_flag & ENTITY_FLAG_TARGET, 0u);
        game_globals.player_character = nullptr;
        free_win_entity(hero);
    }
}

// A player whose figure was not made whole (his model, or his state table,
// did not load) gives the level up: a box says what failed and where the
// details are, the menu comes back, the level script waits at the command,
// and he becomes no player. One whose parts loaded plays.
TEST_F(EntityOps, APlayerWhoseFigureDidNotLoadGivesTheLevelUp)
{
    struct {
        const char* what;
        bool model_loaded;
        int table_states;   // -1: no table at all
        const char* cause;  // "" for none
    } cases[] = {
        {"no model", false, 1, "the model 'hero_figure' did not load"},
        {"a table without states", true, 0, "the state table 'hero_moves' did not load"},
        {"no table", true, -1, "the state table 'hero_moves' did not load"},
        {"whole", true, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test_reset_state();
        win32_message_box_script(1, IDOK);
        game_globals.game_state = GAME_MODE_EXPLORATION;
        win_entity* hero = make_entity("hero");
        hero->u.win_character->mow_model_filename = STRDUP("hero_figure");
        hero->win_ast_filename = STRDUP("hero_moves");
        if (c.model_loaded)
            hero->u.win_character->mow_model = malloc_mow_model("hero_figure");
        if (c.table_states == 1)
            hero->win_ast = make_table({{0, 0}});
        else if (c.table_states == 0)
            hero->win_ast = malloc_win_ast("hero_moves");
        log.clear();
        const bool whole = c.cause[0] == '\0';
        EXPECT_EQ(entity_set_player_character(hero), whole ? 1 : 0);
        EXPECT_EQ(game_globals.player_character, whole ? hero : nullptr);
        if (whole) {
            EXPECT_EQ(win32_message_box_count(), 0);
            EXPECT_EQ(game_globals.game_state, GAME_MODE_EXPLORATION);
        } else {
            const char* text = nullptr;
            const char* caption = nullptr;
            UINT type = 0;
            ASSERT_EQ(win32_message_box_count(), 1);
            win32_message_box_get(0, nullptr, &text, &caption, &type);
            EXPECT_STREQ(caption, "Level Cannot Be Played");
            EXPECT_EQ(std::string(text), std::string("This level cannot be played.\n\nThe player "
                                                     "'hero' could not be made,\nas ") +
                                             c.cause +
                                             ".\n\nCheck the debug file for the details.");
            EXPECT_EQ(log.errors(), std::vector<std::string>{
                                        std::string("This level cannot be played. The player "
                                                    "'hero' could not be made, as ") +
                                        c.cause + "."});
            EXPECT_EQ(type, (UINT)(MB_OK | MB_ICONHAND));
            EXPECT_EQ(game_globals.game_state, GAME_MODE_MENU);
            EXPECT_EQ(game_globals.previous_game_state, GAME_MODE_MENU)
                << "Esc in the menu does not go back to the level";
        }
        game_globals.player_character = nullptr;
        free_win_entity(hero);
    }
    win32_message_box_script(0, 0);
}

TEST_F(EntityOps, EnvironmentAndItsNameAndTriggers)
{
    win_entity* courtyard = demo_entity_make_courtyard();
    win_environment* env = courtyard->u.win_environment;
    // The gate's volume is the courtyard's wall outline.
    env->win_trigger_array[0].win_trigger_collision = env->win_collision_ptr_array[0];
    ++env->win_collision_ptr_array[0]->win_collision_ref_cnt;
    courtyard->acceleration = {0.0f, -1.0f, 0.0f};
    EXPECT_EQ(entity_check_environment_name("courtyard"), 0);
    ASSERT_EQ(entity_set_environment(courtyard), 1);
    EXPECT_EQ(game_globals.current_environment, courtyard);
    EXPECT_EQ(courtyard->win_entity_flag & ENTITY_FLAG_CHARACTER_COLLISION, 0u);
    EXPECT_EQ(courtyard->acceleration.y, 0.0f);

    win_entity* hero = make_entity("hero");
    struct {
        float x;
        const char* name;
        int answer;
    } cases[] = {{0.0f, "gate", 1},
                 {0.0f, "gate_zone", 1},
                 {0.0f, "open_gate", 0},
                 {500.0f, "gate", 0},
                 {0.0f, "Gate", 0}};
    for (const auto& c : cases) {
        entity_place(hero, c.x, 0.0f, 0.0f);
        EXPECT_EQ(entity_check_trigger_name(hero, c.name), c.answer) << c.name << " " << c.x;
    }
    EXPECT_EQ(entity_check_environment_name("courtyard"), 1);
    EXPECT_EQ(entity_check_environment_name("Courtyard"), 0);
    log.clear();
    game_globals.current_environment = nullptr;
    EXPECT_EQ(entity_check_environment_name("courtyard"), 0);
    EXPECT_EQ(entity_check_trigger_name(hero, "gate"), 0);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{
                  "Cannot entity_check_environment_name because current environment is NULL.",
                  "Cannot entity_check_trigger_name because current environment is NULL."}));
    log.clear();
    EXPECT_EQ(entity_check_trigger_name(nullptr, "gate"), 0);
    EXPECT_EQ(entity_check_trigger_name(hero, nullptr), 0);
    EXPECT_EQ(entity_check_environment_name(nullptr), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Cannot entity_check_trigger_name of a NULL entity.",
                                "Cannot entity_check_trigger_name of a NULL check_name.",
                                "Cannot entity_check_environment_name of a NULL check_name."}));
    free_win_entity(hero);
    free_win_entity(courtyard);
}

TEST_F(EntityOps, CameraTargets)
{
    win_entity* camera = demo_entity_make_camera();
    win_entity* bare = make_entity("bare", WIN_ENTITY_TYPE_CAMERA);
    bare->u.win_camera = malloc_win_camera();
    win_entity* hero = make_posed("hero", 3);
    entity_place(hero, 7.0f, 8.0f, 9.0f);
    win_entity* lamp = demo_entity_make_lamp();
    win_camera_target* target = camera->u.win_camera->win_camera_target_list;
    struct {
        win_entity* camera;
        win_entity* target;
        int32_t joint;
        int result;
        int32_t joint_after;
        win_vect3 point_after;  // game_globals.camera_target_point
        const char* message;    // the last log line
    } cases[] = {
        {camera,
         nullptr,
         4,
         1,
         0,
         {1, 2, 3},
         "Setting 1.000000, 2.000000, 3.000000 as target for camera camera."},
        {camera, hero, 2, 1, 2, {2, 20, 0}, "Setting hero as target for camera camera."},
        {camera, hero, 0, 1, 0, {7, 8, 9}, "Setting hero as target for camera camera."},
        {camera, hero, -1, 1, 0, {7, 8, 9}, "Joint index (-1) specified -> Setting to zero."},
        {camera,
         hero,
         3,
         1,
         0,
         {7, 8, 9},
         "Joint index (3) specified for camera target hero is out of range. Setting to zero."},
        {camera,
         lamp,
         0,
         0,
         0,
         {7, 8, 9},
         "Cannot set a camera target to lamp because lamp is not a character."},
        {hero,
         nullptr,
         0,
         0,
         0,
         {7, 8, 9},
         "Cannot set a camera target for hero because hero is not a camera."},
        {bare,
         nullptr,
         0,
         0,
         0,
         {7, 8, 9},
         "Cannot set a camera target for bare because it has no camera target."},
    };
    for (const auto& c : cases) {
        log.clear();
        EXPECT_EQ(entity_set_camera_target(c.camera, c.target, c.joint, 1.0f, 2.0f, 3.0f), c.result)
            << c.message;
        EXPECT_TRUE(log.contains(c.message)) << c.message;
        if (c.result) {
            EXPECT_EQ(target->target_entity, c.target);
            EXPECT_EQ(target->target_joint_idx, c.joint_after);
            EXPECT_EQ(target->target_point.z, 3.0f);
        }
        EXPECT_EQ(game_globals.camera_target_point.x, c.point_after.x) << c.message;
        EXPECT_EQ(game_globals.camera_target_point.y, c.point_after.y) << c.message;
    }

    // The game camera looks at its target's joint at once.
    target->target_entity = hero;
    target->target_joint_idx = 1;
    ASSERT_EQ(entity_set_game_camera(camera), 1);
    EXPECT_EQ(game_globals.current_camera, camera);
    EXPECT_EQ(game_globals.camera_target_point.y, 10.0f);
    EXPECT_EQ(entity_set_game_camera(lamp), 0);
    EXPECT_EQ(game_globals.current_camera, camera);
    game_globals.current_camera = nullptr;

    EXPECT_EQ(entity_set_camera_shake(1.0f, 2.0f, 3.0f, 0.5f), 1);
    EXPECT_EQ(game_globals.camera_shake_amplitude.y, 2.0f);
    EXPECT_EQ(game_globals.camera_shake_time, 0.5f);
    for (win_entity* e : {camera, bare, hero, lamp})
        free_win_entity(e);
}

TEST_F(EntityOps, AttachingChecksTheJointAndKeepsTheTreeATree)
{
    win_entity* hero = make_posed("hero", 3);
    win_entity* lamp = make_entity("lamp", WIN_ENTITY_TYPE_LIGHT);
    win_entity* sword = make_entity("sword");
    win_entity* helmet = make_entity("helmet");
    win_entity* other = make_entity("other");
    win_entity* held = make_entity("held");
    add_to_win_entity_list(&other->child_entity_list, &other->child_entity_list_size, held);
    put_on_ring(hero);
    put_on_ring(sword);
    put_on_ring(other);
    const win_matrix43 grip = win_math_identity_matrix43;
    struct {
        win_entity* parent;
        win_entity* child;
        int32_t joint;
        const char* error;
    } refused[] = {
        {hero, sword, 3, "Invalid joint_idx 3 specified."},
        {hero, sword, -3, "Invalid joint_idx -3 specified."},
        {lamp, sword, 0, "Invalid joint_idx 0 specified."},
        {hero, hero, -1, "Cannot attach hero to hero because hero holds it."},
        {hero, held, -1,
         "Cannot attach held to hero because it is a sub-entity of another entity."},
        {nullptr, sword, -1, "Cannot entity_attach_to_joint with NULL parent."},
    };
    for (const auto& c : refused) {
        log.clear();
        EXPECT_EQ(entity_attach_to_joint(c.parent, c.child, c.joint, &grip), 0) << c.error;
        EXPECT_EQ(log.errors(), std::vector<std::string>{c.error});
    }
    EXPECT_EQ(entity_io_global_win_entity_list_size, 3);

    sword->velocity = {1.0f, 1.0f, 1.0f};
    win_matrix43 offset;
    win_math_set_translate_matrix43_inline(&offset, 0.0f, 1.0f, 0.0f);
    ASSERT_EQ(entity_attach_to_joint(hero, sword, 2, &offset), 1);
    EXPECT_EQ(entity_io_global_win_entity_list_size, 2) << "no longer top-level";
    EXPECT_EQ(hero->child_entity_list, sword);
    EXPECT_EQ(sword->parent_joint_idx, 2);
    EXPECT_EQ(sword->velocity.x, 0.0f);
    EXPECT_EQ(sword->local_matrix.m[3][1], 1.0f);
    ASSERT_EQ(entity_attach_to_joint(sword, helmet, -2, &grip), 1) << "in no ring: fine";
    log.clear();
    EXPECT_EQ(entity_attach_to_joint(helmet, hero, -1, &grip), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Cannot attach hero to helmet because hero "
                                                     "holds it."});

    // Detached, the sword stays where its joint held it, top-level again.
    game_globals.gravity = -10.0f;
    sword->gravity_factor = {1.0f, 0.5f, 1.0f};
    ASSERT_EQ(entity_detach_from_parent(hero, sword), 1);
    EXPECT_EQ(sword->local_matrix.m[3][2], 2.0f) << "joint 2's world matrix";
    EXPECT_EQ(sword->parent_joint_idx, -1);
    EXPECT_EQ(sword->acceleration.y, -5.0f);
    EXPECT_EQ(hero->child_entity_list_size, 0);
    EXPECT_EQ(entity_io_global_win_entity_list_size, 3);
    log.clear();
    EXPECT_EQ(entity_detach_from_parent(hero, sword), 0) << "not a sub-entity any more";
    EXPECT_EQ(log.errors(), std::vector<std::string>{
                                "Cannot detach sword because it is not a sub-entity of hero."});
    EXPECT_EQ(entity_io_global_win_entity_list_size, 3);
    free_win_entity(lamp);
}

TEST_F(EntityOps, PlayingAStateTwiceBlocksUntilItEnds)
{
    win_entity* hero = make_entity("hero");
    hero->win_ast = make_table({{0, 0}, {0, 0}});
    std::vector<int> results;
    results.push_back(entity_play_anim2(hero, 1));
    EXPECT_EQ(hero->win_ast->current_anim_index, 1);
    results.push_back(entity_play_anim2(hero, 1));
    hero->win_ast->anim_blocking_state = 2;  // the state machine saw it end
    results.push_back(entity_play_anim2(hero, 1));
    results.push_back(entity_play_anim2(hero, 1));
    EXPECT_EQ(results, (std::vector<int>{0, 0, 1, 0}));
    EXPECT_EQ(hero->win_ast->anim_blocking_state, 1) << "started again";

    hero->win_ast->anim_blocking_state = 7;
    log.clear();
    EXPECT_EQ(entity_play_anim2(hero, 1), 0);
    win_entity* lamp = make_entity("lamp", WIN_ENTITY_TYPE_LIGHT);
    EXPECT_EQ(entity_play_anim2(lamp, 0), 0);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Unknown anim_blocking_state 7.000000 for 'hero'",
                                        "Cannot entity_play_anim2 with NULL entity->win_ast."}));
    free_win_entity(hero);
    free_win_entity(lamp);
}

TEST_F(EntityOps, StatesDrawHolsterFireAndReloadWeapons)
{
    win_entity* hero = make_entity("hero");
    hero->win_entity_flag &= ~ENTITY_FLAG_BRAIN;
    win_entity* bow = make_entity("bow");
    bow->win_entity_flag = ENTITY_FLAG_WEAPON | ENTITY_FLAG_PROJECTILE_1;
    add_to_win_entity_list(&hero->child_entity_list, &hero->child_entity_list_size, bow);
    hero->win_ast = make_table({{0, 0},
                                {ANIM_TYPE_DRAWING_2, 0},
                                {ANIM_TYPE_ATTACKING, ANIM_REACTION_PROJECTILE_1},
                                {ANIM_TYPE_RELOAD, 0},
                                {ANIM_TYPE_HOLSTERING_2, 0},
                                {ANIM_TYPE_ATTACKING, ANIM_REACTION_MELEE_1}});
    game_globals.player_character = hero;
    game_globals.current_weapon = bow;
    win_weapon_data& data = bow->u.win_character->weapon_data;
    data.shots_fired = 0;
    struct {
        int32_t state;
        win_entity* in_hand;
        int32_t shots;
    } steps[] = {{1, bow, 0}, {2, bow, 1}, {5, bow, 1},    {2, bow, 2},
                 {3, bow, 0}, {2, bow, 1}, {4, nullptr, 0}};
    for (const auto& s : steps) {
        EXPECT_EQ(entity_play_anim(hero, s.state), 1);
        EXPECT_EQ(hero->u.win_character->current_weapon, s.in_hand) << s.state;
        EXPECT_EQ(data.shots_fired, s.shots) << s.state;
    }
    EXPECT_EQ(game_globals.current_weapon, nullptr);
    EXPECT_TRUE(log.contains("hero playing animstate 4"));
    fixture_release_hud_textures();
    game_globals.player_character = nullptr;
    free_win_entity(hero);
}

TEST_F(EntityOps, AWeaponChosenInPlaceOfTheOneInHandStaysChosenWhileThatIsPutAway)
{
    // The player chooses the bow (browsing) with the sword in hand: holding
    // aim puts the sword away, then draws what is chosen.
    win_entity* hero = make_entity("hero");
    hero->win_entity_flag &= ~ENTITY_FLAG_BRAIN;
    win_entity* sword = make_entity("sword");
    sword->win_entity_flag = ENTITY_FLAG_WEAPON | ENTITY_FLAG_MELEE_1;
    win_entity* bow = make_entity("bow");
    bow->win_entity_flag = ENTITY_FLAG_WEAPON | ENTITY_FLAG_PROJECTILE_1;
    for (win_entity* weapon : {sword, bow})
        add_to_win_entity_list(&hero->child_entity_list, &hero->child_entity_list_size, weapon);
    hero->win_ast = make_table({{0, 0}, {ANIM_TYPE_HOLSTERING_2, 0}, {ANIM_TYPE_DRAWING_2, 0}});
    game_globals.player_character = hero;
    ASSERT_EQ(entity_set_current_weapon(hero, sword), 1);
    game_globals.current_weapon = bow;

    EXPECT_EQ(entity_play_anim(hero, 1), 1);
    EXPECT_EQ(hero->u.win_character->current_weapon, nullptr);
    EXPECT_EQ(sword->life_span, -1.0f) << "put away";
    EXPECT_EQ(game_globals.current_weapon, bow) << "still chosen";
    EXPECT_EQ(entity_play_anim(hero, 2), 1);
    EXPECT_EQ(hero->u.win_character->current_weapon, bow);
    EXPECT_EQ(bow->life_span, ETERNAL_LIFE_SPAN);

    // Put away with nothing else chosen, it leaves nothing chosen.
    EXPECT_EQ(entity_play_anim(hero, 1), 1);
    EXPECT_EQ(game_globals.current_weapon, nullptr);
    fixture_release_hud_textures();
    game_globals.player_character = nullptr;
    free_win_entity(hero);
}

TEST_F(EntityOps, TurningToFaceWaitsForTheTurnGoal)
{
    win_entity* hero = make_entity("hero");
    win_entity* goblin = make_entity("goblin");
    hero->u.win_character->win_ai = malloc_win_ai();
    const win_ai* ai = hero->u.win_character->win_ai;
    EXPECT_EQ(entity_turn_to_face_entity(hero, goblin), 0);
    ASSERT_NE(ai->current_goal, nullptr);
    EXPECT_EQ(ai->current_goal->ai_goal_type, AI_GOAL_TURN_TO_TARGET);
    EXPECT_EQ(ai->current_goal->target_entity, goblin);
    EXPECT_EQ(entity_turn_to_face_entity(hero, goblin), 0);
    EXPECT_EQ(ai->win_goal_entry_list_size, 1) << "queued once";
    ai_clear_goals(hero);  // the turn is over
    EXPECT_EQ(entity_turn_to_face_entity(hero, goblin), 1);
    EXPECT_EQ(entity_turn_state, 1);
    LogCapture log;
    EXPECT_EQ(entity_turn_to_face_entity(hero, nullptr), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{
                                "Cannot entity_turn_to_face_entity of a NULL target_entity."});
    free_win_entity(hero);
    free_win_entity(goblin);
}

TEST_F(EntityOps, FacingQueries)
{
    win_entity* hero = make_entity("hero");
    struct {
        float heading;  // about y
        int pos_z, neg_z, pos_x, neg_x;
    } cases[] = {{0.0f, 0, 1, 0, 0},     {3.1415927f, 1, 0, 0, 0}, {HALF_PI, 0, 0, 0, 1},
                 {-HALF_PI, 0, 0, 1, 0}, {0.3f, 0, 1, 0, 0},  // within 22.5 degrees
                 {0.5f, 0, 0, 0, 0}};                         // beyond it
    for (const auto& c : cases) {
        entity_orient(hero, 0.0f, c.heading, 0.0f);
        EXPECT_EQ(entity_is_facing_pos_z_dir(hero), c.pos_z) << c.heading;
        EXPECT_EQ(entity_is_facing_neg_z_dir(hero), c.neg_z) << c.heading;
        EXPECT_EQ(entity_is_facing_pos_x_dir(hero), c.pos_x) << c.heading;
        EXPECT_EQ(entity_is_facing_neg_x_dir(hero), c.neg_x) << c.heading;
    }
    // Facing another entity turns toward where it stands on the ground.
    win_entity* goblin = make_entity("goblin");
    entity_place(hero, 5.0f, 2.0f, 3.0f);
    entity_place(goblin, 5.0f, 0.0f, 13.0f);
    ASSERT_EQ(entity_face_entity(hero, goblin), 1);
    EXPECT_EQ(entity_is_facing_pos_z_dir(hero), 1);
    entity_place(goblin, -10.0f, 0.0f, 3.0f);
    entity_face_entity(hero, goblin);
    EXPECT_EQ(entity_is_facing_neg_x_dir(hero), 1);
    // It turns where it stands.
    EXPECT_EQ(position(hero).x, 5.0f);
    EXPECT_EQ(position(hero).y, 2.0f);
    EXPECT_EQ(position(hero).z, 3.0f);
    free_win_entity(hero);
    free_win_entity(goblin);
}

TEST_F(EntityOps, ClosestEntityAndDistances)
{
    win_entity* hero = make_entity("hero");
    win_entity* courtyard = make_entity("courtyard", WIN_ENTITY_TYPE_ENVIRONMENT);
    win_entity* near_one = make_entity("near");
    win_entity* tie = make_entity("tie");
    win_entity* far_one = make_entity("far");
    for (win_entity* e : {courtyard, hero, far_one, near_one, tie})
        put_on_ring(e);
    entity_place(hero, 0.0f, 0.0f, 0.0f);
    entity_place(near_one, 3.0f, 0.0f, 4.0f);
    entity_place(tie, 0.0f, -5.0f, 0.0f);
    entity_place(far_one, 100.0f, 0.0f, 0.0f);
    game_globals.current_environment = courtyard;
    struct {
        float max_distance;
        win_entity* closest;
    } cases[] = {{-1.0f, near_one}, {5.0f, near_one}, {4.9f, nullptr}, {1000.0f, near_one}};
    for (const auto& c : cases)
        EXPECT_EQ(entity_find_closest(hero, c.max_distance), c.closest) << c.max_distance;
    EXPECT_EQ(entity_find_closest(far_one, -1.0f), near_one);
    EXPECT_EQ(entity_calc_dist_to_entity(hero, near_one), 5.0f);
    EXPECT_EQ(entity_calc_dist_to_entity(hero, nullptr), -1.0f);
    EXPECT_EQ(log.errors().back(), "Cannot entity_calc_dist_to_entity with a NULL entity_two.");
    game_globals.current_environment = nullptr;
}

TEST_F(EntityOps, PlayerStepSound)
{
    log.clear();
    EXPECT_EQ(entity_set_player_step_sound("steps"), 0);
    win_entity* hero = make_entity("hero");
    game_globals.player_character = hero;
    EXPECT_EQ(entity_set_player_step_sound("steps"), 0) << "no table, no slot";
    hero->win_ast = make_table({{0, 0}});
    hero->win_ast->sound_fx_filename_array = malloc_win_filename_ptr_array(1);
    hero->win_ast->sound_fx_filename_array_size = 1;
    hero->win_ast->sound_fx_filename_array[0] = STRDUP("old_steps");
    hero->win_ast->sound_fx_array = malloc_win_sound_fx_ptr_array(1);
    hero->win_ast->sound_fx_array_size = 1;
    EXPECT_EQ(entity_set_player_step_sound(nullptr), 1);
    EXPECT_EQ(hero->win_ast->sound_fx_filename_array[0], nullptr);
    // Sound is off in tests: nothing to load, nothing to say, and done.
    EXPECT_EQ(entity_set_player_step_sound("steps"), 1);
    EXPECT_STREQ(hero->win_ast->sound_fx_filename_array[0], "steps");
    EXPECT_EQ(hero->win_ast->sound_fx_array[0], nullptr);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Unable to set player step sound because no player character set.",
                                "Unable to set player step sound because the player character "
                                "has no sound slot."}));
    // With sound on, a file that does not load says so and fails (the level
    // script's command goes on all the same: the file will not be there next
    // frame either).
    sound_set_enabled();
    log.clear();
    EXPECT_EQ(entity_set_player_step_sound("steps"), 0);
    EXPECT_EQ(log.errors().back(), "Failed to sound_load steps.");
    EXPECT_EQ(hero->win_ast->sound_fx_array[0], nullptr);
    sound_set_disabled();
    game_globals.player_character = nullptr;
    free_win_entity(hero);
}

TEST_F(EntityOps, StateValuesAndPoseCopies)
{
    win_entity* hero = demo_entity_make_hero();
    int32_t size = -1;
    float* values = entity_state_array(hero, &size);
    ASSERT_EQ(size, 2);
    EXPECT_EQ(values[1], 1.0f);
    win_entity* lamp = demo_entity_make_lamp();
    EXPECT_EQ(entity_state_array(lamp, &size), nullptr);
    EXPECT_EQ(size, 0);

    win_entity* a = make_posed("a", 3);
    win_entity* b = make_posed("b", 3);
    win_entity* c = make_posed("c", 2);
    a->u.win_character->mow_track_augment_array[1].mow_augment_xform.attrib = WIN_ATTRIB_ROTATE_X;
    a->u.win_character->mow_track_augment_array[1].mow_augment_xform.rx = 0.5f;
    a->u.win_character->mow_track_augment_array[0].mow_augment_sphere_center.x = 99.0f;
    b->u.win_character->mow_track_augment_array[2].mow_augment_matrix.m[3][2] = 42.0f;
    EXPECT_EQ(entity_copy_augment_array(b, a), 1);
    const mow_track_augment* pose = b->u.win_character->mow_track_augment_array;
    EXPECT_EQ(pose[1].mow_augment_xform.rx, 0.5f);
    EXPECT_EQ(pose[1].mow_augment_matrix.m[3][2], 1.0f);
    EXPECT_EQ(pose[2].mow_augment_matrix.m[3][2], 42.0f) << "a joint without keys stays";
    EXPECT_EQ(pose[0].mow_augment_sphere_center.x, 0.0f) << "spheres are not copied";
    log.clear();
    EXPECT_EQ(entity_copy_augment_array(c, a), 0);
    EXPECT_EQ(log.errors(),
              std::vector<std::string>{"c and a do not have matching augment array sizes."});
    for (win_entity* e : {hero, lamp, a, b, c})
        free_win_entity(e);
}

}  // namespace
