// The per-frame update over entities built in memory, on a frame of the
// recording back-end: characters in time slices with root motion and poses,
// sub-entities under their parents' joints, lights in device slots, the
// camera's view and shake, emitters and their particles.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "anim.h"
#include "d3dxframe.h"
#include "demo_anim.h"
#include "demo_ast.h"
#include "demo_entity.h"
#include "demo_model.h"
#include "entity.h"
#include "entity_fixture.h"
#include "entity_io.h"
#include "entity_ops.h"
#include "entity_weapon.h"
#include "gameglobals.h"
#include "platform/d3d_record.h"
#include "rand_util.h"
#include "texture_support.h"
#include "win_math.h"
#include "winmain2.h"

namespace {

constexpr float EPS = 1e-3f;

class Update : public TextureFrameTest {
protected:
    void SetUp() override
    {
        TextureFrameTest::SetUp();
        frame_delta_time = 100.0f;
    }
    // `frames` walks of the ring of `ms` milliseconds each.
    void run(int frames, float ms)
    {
        frame_delta_time = ms;
        for (int i = 0; i < frames; ++i)
            ASSERT_EQ(entity_update_all(), 1);
    }
    FixtureRing ring;
};

void expect_near(const win_vect3& got, const win_vect3& want, const char* what)
{
    EXPECT_NEAR(got.x, want.x, EPS) << what;
    EXPECT_NEAR(got.y, want.y, EPS) << what;
    EXPECT_NEAR(got.z, want.z, EPS) << what;
}

TEST_F(Update, AnEmptyRingIsNoWalk)
{
    EXPECT_EQ(entity_update_all(), 0);
}

TEST_F(Update, ACharacterWalksByItsRootMotionAndAStateEndingMidFrameHandsOnTheRest)
{
    win_entity* hero = ring.add(fixture_character("hero", true, true, 5.0f, 0.0f, 0.0f));
    const win_ast* table = hero->win_ast;
    // 1200 ms: the whole long state (1000 ms, 2 units), then 200 ms of the
    // short one from its beginning.
    run(4, 300.0f);
    EXPECT_EQ(table->current_anim_index, DEMO_RELAY_SHORT);
    EXPECT_NEAR(table->anim_progress, 200.0f / 500.0f, EPS);
    expect_near(fixture_position(hero->local_matrix), {5.0f, 0.0f, 1200.0f * WAVE_WALK_PER_MS},
                "position");
    expect_near(fixture_position(hero->world_matrix), fixture_position(hero->local_matrix),
                "a top-level entity stands in the world where it stands locally");
    EXPECT_NEAR(hero->u.win_character->mow_track_augment_array[0].mow_augment_matrix.m[3][2],
                1200.0f * WAVE_WALK_PER_MS, EPS)
        << "the pose follows the entity";
    EXPECT_EQ(table->anim_input_flags, 0) << "the input word is cleared after the frame";

    // A frame of 0 ms runs no slice but poses the figure where it now stands.
    hero->local_matrix.m[3][0] = 9.0f;
    run(1, 0.0f);
    EXPECT_NEAR(table->anim_progress, 200.0f / 500.0f, EPS);
    EXPECT_NEAR(hero->u.win_character->mow_track_augment_array[0].mow_augment_matrix.m[3][0], 9.0f,
                EPS);
}

TEST_F(Update, ThePlayerWalksUnderItsInputAsTheOthersUnderTheirAi)
{
    win_entity* player = ring.add(fixture_character("player", true, true));
    win_entity* other = ring.add(fixture_character("other", true, true, 10.0f, 0.0f, 0.0f));
    game_globals.player_character = player;
    run(5, 100.0f);
    for (const win_entity* e : {player, other})
        EXPECT_NEAR(e->local_matrix.m[3][2], 500.0f * WAVE_WALK_PER_MS, EPS) << e->win_entity_name;
    EXPECT_TRUE(log->errors().empty());
    game_globals.player_character = nullptr;
}

TEST_F(Update, TheLatchKeepsTheInputWord)
{
    win_entity* hero = ring.add(fixture_character("hero", true, true));
    hero->win_ast->anim_input_flags = WIN_AST_INPUT_HOLD | 0x1;
    run(1, 10.0f);
    EXPECT_EQ(hero->win_ast->anim_input_flags, WIN_AST_INPUT_HOLD | 0x1);
}

TEST_F(Update, AnEntityLivesOutItsLastFrameAndItsSubEntitiesStopWithIt)
{
    win_entity* runner = ring.add(fixture_character("runner", false, false));
    runner->life_span = 0.15f;
    runner->velocity = {10.0f, 0.0f, 0.0f};
    win_entity* child = fixture_attach(runner, fixture_character("child", false, false, 0, 1, 0));
    run(1, 100.0f);
    EXPECT_NEAR(runner->local_matrix.m[3][0], 1.0f, EPS);
    EXPECT_NEAR(child->world_matrix.m[3][1], 1.0f, EPS);

    // 0.05 s left of a 0.1 s frame: one more update, after which it is dead
    // and its sub-entities stay where they were.
    child->world_matrix.m[3][1] = -7.0f;
    run(1, 100.0f);
    EXPECT_LT(runner->life_span, 0.0f);
    EXPECT_NEAR(runner->local_matrix.m[3][0], 2.0f, EPS);
    EXPECT_EQ(child->world_matrix.m[3][1], -7.0f);
    run(1, 100.0f);
    EXPECT_NEAR(runner->local_matrix.m[3][0], 2.0f, EPS) << "dead from the next frame on";
}

TEST_F(Update, SubEntitiesFollowTheirParentsFrameOrOneOfItsJoints)
{
    win_entity* hero = ring.add(fixture_character("hero", true, true, 0.0f, 0.0f, 3.0f));
    struct {
        int32_t joint;
        const win_matrix43* (*frame)(const win_entity* hero);
    } cases[] = {
        {1,
         [](const win_entity* h) -> const win_matrix43* {
             return &h->u.win_character->mow_track_augment_array[1].mow_augment_matrix;
         }},
        {-1, [](const win_entity* h) { return &h->world_matrix; }},
        {-2, [](const win_entity*) { return &win_math_identity_matrix43; }},
        // A joint the figure does not have: the parent's world matrix.
        {7, [](const win_entity* h) { return &h->world_matrix; }},
    };
    std::vector<win_entity*> children;
    for (const auto& c : cases)
        children.push_back(
            fixture_attach(hero, fixture_character("held", false, false, 0, 0, 1), c.joint));
    run(2, 250.0f);
    for (size_t i = 0; i < children.size(); ++i) {
        win_matrix43 want;
        win_math_multiply_matrix43(&want, &children[i]->local_matrix, cases[i].frame(hero));
        expect_near(fixture_position(children[i]->world_matrix), fixture_position(want),
                    ("joint " + std::to_string(cases[i].joint)).c_str());
    }
}

TEST_F(Update, OnlyTheCurrentEnvironmentLeadsItsSubEntities)
{
    win_entity* place = ring.add(fixture_character("place", false, false));
    place->win_entity_type = WIN_ENTITY_TYPE_ENVIRONMENT;
    win_character* payload = place->u.win_character;
    place->u.win_environment = malloc_win_environment();
    win_entity* lamp = fixture_attach(place, fixture_light("lamp", D3DLIGHT_POINT));
    lamp->velocity = {1.0f, 0.0f, 0.0f};

    run(1, 100.0f);
    EXPECT_EQ(lamp->local_matrix.m[3][0], 0.0f) << "a level not in play stands still";
    game_globals.current_environment = place;
    run(1, 100.0f);
    EXPECT_NEAR(lamp->local_matrix.m[3][0], 0.1f, EPS);
    game_globals.current_environment = nullptr;
    free_win_character(payload);
}

TEST_F(Update, LightsMoveAndHoldTheirDeviceSlots)
{
    win_entity* lamp = ring.add(fixture_light("lamp", D3DLIGHT_POINT));
    lamp->velocity = {10.0f, 0.0f, 0.0f};
    win_entity* torch = ring.add(fixture_light("torch", D3DLIGHT_SPOT));
    torch->rot_velocity = {0.0f, (float)M_PI / 2.0f, 0.0f};
    torch->life_span = 0.15f;
    d3d_record_start();
    run(3, 100.0f);
    const win_light* lamp_light = lamp->u.win_light;
    EXPECT_EQ(lamp_light->light_slot, 0);
    EXPECT_NEAR(lamp_light->d3d_light.dvPosition.x, 3.0f, EPS);
    EXPECT_NEAR(lamp->world_matrix.m[3][0], 3.0f, EPS);
    EXPECT_EQ(d3d_record_count_of("Device.LightEnable 0 1"), 1) << "the slot is taken once";

    // The torch turned a quarter of a turn in its two live frames, its beam
    // with it; in the third it died and gave its slot back.
    const win_light* torch_light = torch->u.win_light;
    EXPECT_EQ(torch_light->light_slot, -1);
    EXPECT_EQ(d3d_record_count_of("Device.LightEnable 1 0"), 1);
    win_matrix43 turned;
    win_math_set_rotate_y_matrix43(&turned, (float)M_PI / 2.0f * 0.3f);
    win_norm forward = {0.0f, 0.0f, -1.0f}, want;
    win_math_multiply_norm_by_matrix43(&want, &forward, &turned);
    EXPECT_NEAR(torch_light->d3d_light.dvDirection.x, want.x, EPS);
    EXPECT_NEAR(torch_light->d3d_light.dvDirection.z, want.z, EPS);
}

TEST_F(Update, TheAmbientLightTakesItsColourWithinTheDevicesRange)
{
    win_entity* sky = ring.add(fixture_light("sky", 0));
    sky->u.win_light->d3d_light.dcvDiffuse = {300.0f, 128.0f, -5.0f, 1.0f};
    d3d_record_start();
    run(1, 100.0f);
    DWORD ambient = 0;
    ASSERT_EQ(d3dxframe_get_render_state(D3DRENDERSTATE_AMBIENT, &ambient), 1);
    EXPECT_EQ(ambient & 0xFFFFFF, 0xFF8000u);
}

TEST_F(Update, TheCurrentCameraSetsTheView)
{
    win_entity* camera = ring.add(fixture_camera("camera"));
    win_math_set_translate_matrix43(&camera->local_matrix, 0.0f, 10.0f, -50.0f);
    game_globals.current_camera = camera;
    game_globals.camera_eye_point = {0.0f, 20.0f, -40.0f};
    game_globals.camera_look_at_point = {0.0f, 0.0f, 0.0f};
    const win_vect3 up = {0.0f, 1.0f, 0.0f};

    struct {
        int32_t game_state;
        win_vect3 eye, at;
    } cases[] = {
        // Exploring, the camera AI places the eye where the camera stands.
        {GAME_MODE_EXPLORATION, {0.0f, 10.0f, -50.0f}, {0.0f, 0.0f, 0.0f}},
        // Looking, the eye is the camera and the target lies at the offset.
        {GAME_MODE_CAMERA_LOOK, {0.0f, 10.0f, -50.0f}, {0.0f, 11.0f, -48.0f}},
    };
    game_globals.camera_look_offset = {0.0f, 1.0f, 2.0f};
    for (const auto& c : cases) {
        game_globals.game_state = c.game_state;
        run(1, 100.0f);
        // The device's own look-at builds the view that the scene sets.
        win_matrix44 want;
        ASSERT_EQ(d3dxframe_matrix_look_at(&want, &c.eye, &c.at, &up), 1);
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                EXPECT_NEAR(game_globals.view_matrix.m[r][k], want.m[r][k], EPS)
                    << "state " << c.game_state << " [" << r << "][" << k << "]";
    }
    game_globals.current_camera = nullptr;
}

TEST_F(Update, CameraShakeDecaysAndEnds)
{
    game_globals.current_camera = ring.add(fixture_camera("camera"));
    game_globals.camera_eye_point = {0.0f, 0.0f, -10.0f};
    game_globals.camera_shake_amplitude = {0.5f, 0.0f, 1.0f};
    game_globals.camera_shake_time = 0.1f;
    const float x[] = {0.45f, 0.405f, 0.3645f, 0.0f};
    for (float want : x) {
        run(1, 30.0f);
        EXPECT_NEAR(game_globals.camera_shake_amplitude.x, want, 1e-5f);
        EXPECT_NEAR(game_globals.camera_shake_amplitude.z, want * 2.0f, 1e-5f);
        EXPECT_EQ(game_globals.camera_shake_amplitude.y, 0.0f);
    }
    EXPECT_LE(game_globals.camera_shake_time, 0.0f);
    game_globals.current_camera = nullptr;
}

int live_particles(const win_entity* emitter)
{
    int live = 0;
    for (const win_entity* p : fixture_children(emitter))
        live += p->life_span > 0.0f;
    return live;
}

TEST_F(Update, AnEmitterFiresAtItsRate)
{
    struct {
        float frame_ms;
        int frames;
        int live;
    } cases[] = {{100.0f, 1, 1}, {100.0f, 3, 3}, {30.0f, 3, 0}, {30.0f, 4, 1}, {30.0f, 8, 2}};
    for (const auto& c : cases) {
        FixtureRing own;
        win_entity* sparks = own.add(fixture_emitter("sparks", 5, 10.0f));
        run(c.frames, c.frame_ms);
        EXPECT_EQ(live_particles(sparks), c.live) << c.frames << " frames of " << c.frame_ms;
    }
}

TEST_F(Update, AParticleLeavesTheEmitterAtTwiceItsSpeedAndFliesOn)
{
    win_entity* sparks = ring.add(fixture_emitter("sparks", 2, 10.0f));
    win_math_set_translate_matrix43(&sparks->local_matrix, 1.0f, 2.0f, 3.0f);
    run(1, 100.0f);
    win_entity* first = fixture_children(sparks)[0];
    EXPECT_NEAR(first->life_span, 1.0f - 0.1f, EPS) << "launched, then aged with the frame";
    EXPECT_EQ(first->parent_joint_idx, -2);
    expect_near(first->velocity, {0.0f, 0.0f, -100.0f}, "velocity");
    expect_near(fixture_position(first->local_matrix), {1.0f, 2.0f, 3.0f - 10.0f}, "position");

    // A dead emitter's particles fly on.
    sparks->life_span = 0.0f;
    run(1, 100.0f);
    EXPECT_NEAR(first->local_matrix.m[3][2], 3.0f - 20.0f, EPS);
    EXPECT_EQ(live_particles(sparks), 1) << "and it launches no more";
}

TEST_F(Update, WithEveryParticleAliveTheFirstYoungerThanTheHeadIsReused)
{
    win_entity* sparks = ring.add(fixture_emitter("sparks", 3, 10.0f));
    std::vector<win_entity*> p = fixture_children(sparks);
    struct {
        float lives[3];
        size_t reused;
    } cases[] = {{{0.5f, 0.7f, 0.3f}, 2},
                 {{0.5f, 0.5f, 0.6f}, 0},
                 {{0.5f, 0.0f, 0.3f}, 1},
                 {{0.5f, 0.3f, 0.0f}, 2}};  // a spent particle before a younger one
    for (const auto& c : cases) {
        for (int i = 0; i < 3; ++i)
            p[i]->life_span = c.lives[i];
        ASSERT_EQ(entity_emit_particle(sparks->child_entity_list, sparks, nullptr), 1);
        EXPECT_EQ(p[c.reused]->life_span, 1.0f) << c.reused;
    }
}

TEST_F(Update, ParticleSpreadsDrawInTheirOrder)
{
    win_entity* sparks = ring.add(fixture_emitter("sparks", 1, 10.0f));
    win_emitter* emitter = sparks->u.win_emitter;
    emitter->angle_spread = 30.0f;
    emitter->particle_speed_variance = 10;
    emitter->particle_life_span_variance = 0.5f;
    rand_util_srand(7);
    int draws[5];
    for (int& d : draws)
        d = rand_util_rand();
    rand_util_srand(7);
    ASSERT_EQ(entity_emit_particle(sparks->child_entity_list, sparks, nullptr), 1);

    const float deg = 0.017453292f;
    win_matrix43 rotation;
    win_math_set_rot_trans_matrix43(&rotation, (float)(draws[0] % 30 - 15) * deg,
                                    (float)(draws[1] % 30 - 15) * deg,
                                    (float)(draws[2] % 30 - 15) * deg, 0.0f, 0.0f, 0.0f);
    win_norm forward = {0.0f, 0.0f, -1.0f}, direction;
    win_math_multiply_norm_by_matrix43(&direction, &forward, &rotation);
    const float speed = 2.0f * (50.0f + (float)(draws[3] % 10) - 5.0f);
    const win_entity* particle = sparks->child_entity_list;
    expect_near(particle->velocity, {direction.x * speed, direction.y * speed, direction.z * speed},
                "velocity");
    EXPECT_NEAR(particle->life_span, 1.0f + (float)(draws[4] % 500) / 1000.0f - 0.25f, 1e-5f);
}

TEST_F(Update, ASpreadBelowOneStillDrawsAndAddsNothing)
{
    win_entity* sparks = ring.add(fixture_emitter("sparks", 1, 10.0f));
    sparks->u.win_emitter->angle_spread = 0.5f;  // truncates to 0
    sparks->u.win_emitter->particle_speed_variance = 10;
    rand_util_srand(3);
    int draws[4];
    for (int& d : draws)
        d = rand_util_rand();
    rand_util_srand(3);
    ASSERT_EQ(entity_emit_particle(sparks->child_entity_list, sparks, nullptr), 1);
    // Every angle is -0.25 degrees; the fourth draw is the speed's.
    win_matrix43 rotation;
    const float a = -0.25f * 0.017453292f;
    win_math_set_rot_trans_matrix43(&rotation, a, a, a, 0.0f, 0.0f, 0.0f);
    win_norm forward = {0.0f, 0.0f, -1.0f}, direction;
    win_math_multiply_norm_by_matrix43(&direction, &forward, &rotation);
    const float speed = 2.0f * (50.0f + (float)(draws[3] % 10) - 5.0f);
    EXPECT_NEAR(sparks->child_entity_list->velocity.z, direction.z * speed, EPS);
}

TEST_F(Update, AProjectileRemembersWhoFiredIt)
{
    win_entity* hero = ring.add(fixture_character("hero", false, false));
    win_entity* gun = fixture_attach(hero, fixture_emitter("gun", 1, 0.0f), -1);
    win_entity* bullet = gun->child_entity_list;
    bullet->win_entity_flag |= ENTITY_FLAG_PROJECTILE;
    ASSERT_EQ(entity_emit_particle(gun->child_entity_list, gun, hero), 1);
    EXPECT_EQ(bullet->u.win_character->current_weapon, hero);
    bullet->u.win_character->current_weapon = nullptr;
}

TEST_F(Update, ShotsStartedByTheAttackInputCountTowardTheReload)
{
    // The player aims a bow of two shots to a loading: holding attack shoots
    // twice, then reloads.
    win_entity* hero = ring.add(fixture_character("hero", false, false));
    hero->win_entity_flag &= ~ENTITY_FLAG_BRAIN;  // each state starts afresh
    win_entity* bow = fixture_attach(hero, fixture_character("bow", false, false), -1);
    bow->win_entity_flag = ENTITY_FLAG_WEAPON | ENTITY_FLAG_PROJECTILE_1;
    win_weapon_data& pouch = bow->u.win_character->weapon_data;
    pouch = {2, 0, 0, 0.0f, 0.0f, 0.0f, 9, 9};
    enum { AIM, SHOOT, RELOAD };
    win_ast* table = hero->win_ast = malloc_win_ast("bowman");
    table->win_anim_table_base_array = malloc_win_anim_table_base_array(3);
    table->win_anim_table_base_array_size = 3;
    const int32_t types[3] = {ANIM_TYPE_AIMING, ANIM_TYPE_ATTACKING, ANIM_TYPE_RELOAD};
    for (int32_t i = 0; i < 3; ++i) {
        win_anim_table_base& state = table->win_anim_table_base_array[i];
        state.anim_index = i;
        state.mow_anim_index = -1;
        state.next_anim_index = AIM;
        state.anim_type_flags = types[i];
        state.reaction_flags = ANIM_REACTION_PROJECTILE_1;
    }
    win_anim_table_entry* walk = malloc_win_anim_table_entry();
    walk->condition_mask = ACTION_UP;
    walk->target_anim_index = AIM;
    win_anim_table_base& aim = table->win_anim_table_base_array[AIM];
    add_to_win_anim_table_entry_list(&aim.win_anim_table_entry_list,
                                     &aim.win_anim_table_entry_list_size, walk);
    table->current_anim_index = AIM;
    game_globals.player_character = hero;
    game_globals.attack_enabled = 1;
    ASSERT_EQ(entity_set_current_weapon(hero, bow), 1);

    const struct {
        int32_t shots, ammo_count;
    } after[] = {{1, 8}, {2, 7}, {0, 7}, {1, 6}};
    for (const auto& frame : after) {
        table->current_anim_index = AIM;  // the shot or the reload is over
        table->anim_input_flags = ACTION_C_BUTTON;
        run(1, 10.0f);
        EXPECT_EQ(pouch.shots_fired, frame.shots);
        EXPECT_EQ(pouch.ammo_count, frame.ammo_count);
    }
    fixture_release_hud_textures();
    game_globals.player_character = nullptr;
    game_globals.current_weapon = nullptr;
}

TEST_F(Update, NullArgumentsAreRefused)
{
    EXPECT_EQ(update_entity(nullptr, &win_math_identity_matrix43, nullptr), 0);
    win_entity* hero = ring.add(fixture_character("hero", false, false));
    EXPECT_EQ(update_entity(hero, nullptr, nullptr), 0);
    EXPECT_EQ(entity_emit_particle(nullptr, hero, nullptr), 0) << "not an emitter";
    win_entity* empty = ring.add(fixture_emitter("empty", 0, 10.0f));
    EXPECT_EQ(entity_emit_particle(nullptr, empty, nullptr), 0);
    EXPECT_EQ(log->errors(),
              (std::vector<std::string>{"Tried to update a NULL entity.",
                                        "Tried to update_entity, NULL parent_matrix.",
                                        "emitter empty has no sub-entities available to emit!."}));
}

// The demo level as the loader completes it (the hero's figure, pose and
// state table, the sparks' particles), run for a second and a half with the
// courtyard as the environment and its camera as the game's.
TEST_F(Update, TheDemoLevelRunsForFifteenFrames)
{
    win_entity* courtyard = ring.add(demo_entity_make_level());
    ASSERT_NE(courtyard, nullptr);
    std::vector<win_entity*> members = fixture_children(courtyard);
    ASSERT_EQ(members.size(), 4u);
    win_entity *hero = members[0], *lamp = members[1], *camera = members[2], *sparks = members[3];
    win_character* figure = hero->u.win_character;
    figure->mow_model = demo_model_make("figure");
    figure->mow_track_augment_array = malloc_mow_track_augment_array(DEMO_MODEL_JOINTS);
    figure->mow_track_augment_array_size = DEMO_MODEL_JOINTS;
    // The loader's animations for the hero's table, here those of the relay.
    free_win_ast(hero->win_ast);
    hero->win_ast = demo_ast_make_relay("hero", demo_anim_make_wave("wave"));
    ASSERT_EQ(start_next_anim_state(hero, hero->win_ast, &hero->last_win_xform, &hero->rot_velocity,
                                    &hero->velocity, DEMO_RELAY_LONG, 1, 1),
              1);
    win_entity* sword = hero->child_entity_list;
    for (int i = 0; i < 3; ++i)
        fixture_attach(sparks, fixture_character("spark", false, false), -2)->life_span = 0.0f;
    game_globals.current_environment = courtyard;
    game_globals.current_camera = camera;
    game_globals.camera_eye_point = {0.0f, 40.0f, -120.0f};
    game_globals.camera_look_at_point = fixture_position(hero->local_matrix);
    const win_vect3 hero_start = fixture_position(hero->local_matrix);

    run(15, 100.0f);
    // 1500 ms: the long state, then the whole short one, from where it stood.
    EXPECT_EQ(hero->win_ast->current_anim_index, DEMO_RELAY_LONG);
    EXPECT_NEAR(hero->win_ast->anim_progress, 0.0f, EPS);
    expect_near(fixture_position(hero->world_matrix),
                {hero_start.x, hero_start.y, hero_start.z + 1500.0f * WAVE_WALK_PER_MS}, "hero");
    win_matrix43 held;
    win_math_multiply_matrix43(&held, &sword->local_matrix,
                               &figure->mow_track_augment_array[1].mow_augment_matrix);
    expect_near(fixture_position(sword->world_matrix), fixture_position(held), "sword in hand");
    EXPECT_EQ(lamp->u.win_light->light_slot, 0);
    expect_near({lamp->u.win_light->d3d_light.dvPosition.x,
                 lamp->u.win_light->d3d_light.dvPosition.y,
                 lamp->u.win_light->d3d_light.dvPosition.z},
                fixture_position(lamp->world_matrix), "the lamp shines from where it stands");
    win_matrix44 view;
    const win_vect3 up = {0.0f, 1.0f, 0.0f};
    d3dxframe_matrix_look_at(&view, &game_globals.camera_eye_point,
                             &game_globals.camera_look_at_point, &up);
    EXPECT_EQ(std::memcmp(&view, &game_globals.view_matrix, sizeof view), 0);
    EXPECT_GE(live_particles(sparks), 1);
    game_globals.current_environment = nullptr;
    game_globals.current_camera = nullptr;
}

// What an unload does that the walks see: the entity leaves its ring, and
// the walk position that names it is cleared. Its memory stays until the
// walk ends (here: until the test ends).
void unlink_as_unloading_does(win_entity** head, int32_t* size, win_entity* entity)
{
    ASSERT_EQ(remove_from_win_entity_list(head, size, entity), 1);
    if (entity_update_cursor == entity)
        entity_update_cursor = nullptr;
    if (entity_update_next == entity)
        entity_update_next = nullptr;
}

// A pose callback is the one hook a test has inside an entity's update; the
// game's own come from the scripts that animation states and triggers start.
struct Unloader {
    static Unloader* active;
    win_entity** head = nullptr;
    int32_t* size = nullptr;
    win_entity* victim = nullptr;
    static int hook(mow_track_augment*, const win_matrix43*)
    {
        if (active && active->victim) {
            unlink_as_unloading_does(active->head, active->size, active->victim);
            active->victim = nullptr;
        }
        return 1;
    }
};
Unloader* Unloader::active = nullptr;

TEST_F(Update, AnEntityUnloadedDuringTheWalkIsPassedOverAndTheWalkGoesOn)
{
    win_entity* first = ring.add(fixture_character("first", true, false));
    win_entity* second = ring.add(fixture_character("second", false, false));
    win_entity* third = ring.add(fixture_character("third", false, false));
    for (win_entity* e : {first, second, third})
        e->velocity = {1.0f, 0.0f, 0.0f};
    Unloader unloader{&entity_io_global_win_entity_list, &entity_io_global_win_entity_list_size,
                      second};
    Unloader::active = &unloader;
    first->u.win_character->mow_track_augment_array[0].mow_augment_callback = Unloader::hook;
    run(1, 1000.0f);
    Unloader::active = nullptr;
    EXPECT_NEAR(first->local_matrix.m[3][0], 1.0f, EPS);
    EXPECT_NEAR(second->local_matrix.m[3][0], 0.0f, EPS) << "unloaded before its turn";
    EXPECT_NEAR(third->local_matrix.m[3][0], 1.0f, EPS);
    EXPECT_EQ(entity_update_cursor, nullptr);
    free_win_entity(second);
}

TEST_F(Update, ASubEntityUnloadingASiblingEndsItsParentsWalkForTheFrame)
{
    win_entity* parent = ring.add(fixture_character("parent", false, false));
    win_entity* first = fixture_attach(parent, fixture_character("first", true, false, 0, 1, 0));
    win_entity* second = fixture_attach(parent, fixture_character("second", false, false, 0, 2));
    win_entity* third = fixture_attach(parent, fixture_character("third", false, false, 0, 3));
    (void)first;
    Unloader unloader{&parent->child_entity_list, &parent->child_entity_list_size, second};
    Unloader::active = &unloader;
    first->u.win_character->mow_track_augment_array[0].mow_augment_callback = Unloader::hook;
    run(1, 100.0f);
    Unloader::active = nullptr;
    EXPECT_EQ(third->world_matrix.m[3][1], 0.0f) << "its turn comes next frame";
    run(1, 100.0f);
    EXPECT_NEAR(third->world_matrix.m[3][1], 3.0f, EPS);
    free_win_entity(second);
}

// Ends the program with a failure when a walk never ends: a hang would
// otherwise stop the whole run instead of failing this test.
class WalkDeadline {
public:
    WalkDeadline()
    {
        std::signal(SIGALRM, [](int) {
            static const char text[] = "a walk over the entities never ended\n";
            (void)!write(2, text, sizeof text - 1);
            _exit(1);
        });
        alarm(30);
    }
    ~WalkDeadline()
    {
        alarm(0);
        std::signal(SIGALRM, SIG_DFL);
    }
};

// A script that a sub-entity's update starts may send a sibling away and
// bring another in, leaving the first child and the number of children as
// they were. The sibling gone is either unloaded (out of every ring, its
// memory kept until the walk ends) or detached (now a member of the top
// ring). Either way the walk ends, the sibling that left is not updated as a
// child, and the members passed over have their turn next frame.
struct Reshuffle {
    static Reshuffle* active;
    win_entity* parent = nullptr;
    win_entity* leaving = nullptr;
    win_entity* joining = nullptr;
    bool unload = false;
    static int hook(mow_track_augment*, const win_matrix43*)
    {
        Reshuffle* r = active;
        if (!r || !r->leaving)
            return 1;
        if (r->unload)
            unlink_as_unloading_does(&r->parent->child_entity_list,
                                     &r->parent->child_entity_list_size, r->leaving);
        else
            EXPECT_EQ(entity_detach_from_parent(r->parent, r->leaving), 1);
        win_matrix43 place;
        win_math_set_translate_matrix43(&place, 0.0f, 4.0f, 0.0f);
        EXPECT_EQ(entity_attach_to_joint(r->parent, r->joining, -1, &place), 1);
        r->leaving = nullptr;
        return 1;
    }
};
Reshuffle* Reshuffle::active = nullptr;

// Counts the updates of the entity whose pose it is called for.
int leaver_updates = 0;
int count_update(mow_track_augment*, const win_matrix43*)
{
    ++leaver_updates;
    return 1;
}

TEST_F(Update, ASiblingSwappedForAnotherDuringTheChildWalkEndsTheWalk)
{
    for (bool unload : {true, false}) {
        SCOPED_TRACE(unload ? "unloaded, another attached" : "detached, another attached");
        FixtureRing ring;  // each case on a ring of its own, released as the case ends
        win_entity* parent = ring.add(fixture_character("parent", false, false));
        win_entity* first = fixture_attach(parent, fixture_character("first", true, false, 0, 1));
        win_entity* second = fixture_attach(parent, fixture_character("second", true, false, 0, 2));
        win_entity* third = fixture_attach(parent, fixture_character("third", false, false, 0, 3));
        win_entity* joining = fixture_character("joining", false, false);
        Reshuffle reshuffle{parent, second, joining, unload};
        Reshuffle::active = &reshuffle;
        first->u.win_character->mow_track_augment_array[0].mow_augment_callback = Reshuffle::hook;
        second->u.win_character->mow_track_augment_array[0].mow_augment_callback = count_update;
        leaver_updates = 0;
        {
            WalkDeadline deadline;
            run(1, 100.0f);
        }
        Reshuffle::active = nullptr;
        EXPECT_EQ(leaver_updates, 0) << "the sibling that left is no child of the walk any more";
        EXPECT_EQ(third->world_matrix.m[3][1], 0.0f) << "its turn comes next frame";
        run(1, 100.0f);
        EXPECT_NEAR(third->world_matrix.m[3][1], 3.0f, EPS);
        EXPECT_NEAR(joining->world_matrix.m[3][1], 4.0f, EPS);
        EXPECT_EQ(leaver_updates, unload ? 0 : 1) << "a detached entity is updated at the top";
        if (unload)
            free_win_entity(second);  // out of every ring: the ring's release misses it
    }
}

// A sub-entity whose every update sends itself away and brings in a new one
// like itself: each step of the walk finds the next member still in the ring,
// and the ring keeps its head and size, yet new members keep coming. The walk
// takes no more steps than the ring had members.
struct Relay {
    static Relay* active;
    win_entity* parent = nullptr;
    std::vector<win_entity*> made;  // every relay, in the ring or gone from it
    win_entity* make()
    {
        win_entity* relay = fixture_character("relay", true, false);
        relay->u.win_character->mow_track_augment_array[0].mow_augment_callback = hook;
        made.push_back(relay);
        return relay;
    }
    static int hook(mow_track_augment* poses, const win_matrix43*)
    {
        Relay* r = active;
        for (win_entity* relay : r->made)
            if (relay->u.win_character->mow_track_augment_array == poses &&
                entity_ring_holds(r->parent->child_entity_list, relay)) {
                unlink_as_unloading_does(&r->parent->child_entity_list,
                                         &r->parent->child_entity_list_size, relay);
                add_to_win_entity_list(&r->parent->child_entity_list,
                                       &r->parent->child_entity_list_size, r->make());
                break;
            }
        return 1;
    }
};
Relay* Relay::active = nullptr;

TEST_F(Update, AChildWalkEndsWhenEveryUpdateBringsInANewMember)
{
    win_entity* parent = ring.add(fixture_character("parent", false, false));
    fixture_attach(parent, fixture_character("anchor", false, false));
    Relay relay{parent, {}};
    Relay::active = &relay;
    fixture_attach(parent, relay.make());
    fixture_attach(parent, relay.make());
    {
        WalkDeadline deadline;
        run(1, 100.0f);
    }
    Relay::active = nullptr;
    EXPECT_EQ(relay.made.size(), 4u) << "the two relays of the frame's start, and one each";
    EXPECT_EQ(parent->child_entity_list_size, 3);
    for (win_entity* gone : relay.made)
        if (!entity_ring_holds(parent->child_entity_list, gone))
            free_win_entity(gone);
}

// An update at the top that attaches the next top-level entity to another:
// the walk does not follow it into its new parent's ring (where it would go
// round, updating those children as top-level entities, until its bound).
struct Adopt {
    static Adopt* active;
    win_entity* parent = nullptr;
    win_entity* child = nullptr;
    static int hook(mow_track_augment*, const win_matrix43*)
    {
        Adopt* a = active;
        if (a && a->child) {
            EXPECT_EQ(entity_attach_to_joint(a->parent, a->child, -1, &win_math_identity_matrix43),
                      1);
            a->child = nullptr;
        }
        return 1;
    }
};
Adopt* Adopt::active = nullptr;

TEST_F(Update, AnEntityAttachedDuringTheTopWalkIsUpdatedOnceUnderItsNewParent)
{
    win_entity* first = ring.add(fixture_character("first", true, false));
    win_entity* second = ring.add(fixture_character("second", true, false));
    win_entity* third = ring.add(fixture_character("third", false, false, 0, 3));
    Adopt adopt{third, second};
    Adopt::active = &adopt;
    first->u.win_character->mow_track_augment_array[0].mow_augment_callback = Adopt::hook;
    second->u.win_character->mow_track_augment_array[0].mow_augment_callback = count_update;
    leaver_updates = 0;
    run(1, 100.0f);
    Adopt::active = nullptr;
    EXPECT_EQ(leaver_updates, 1);
    EXPECT_NEAR(second->world_matrix.m[3][1], 3.0f, EPS) << "under its new parent";
    EXPECT_EQ(entity_update_next, nullptr);
}

}  // namespace
