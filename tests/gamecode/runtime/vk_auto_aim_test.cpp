#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "entity_io.h"
#include "gameglobals.h"
#include "mow_geo.h"
#include "test_support.h"
#include "vk_auto_aim.h"
#include "win_entity.h"
#include "win_math.h"

namespace {

// A character entity at `position` (facing -z, as every entity here).
win_entity* make_character(const char* name, win_vect3 position, float hitpoints = 10.0f,
                           int32_t joints = 0)
{
    win_entity* entity = malloc_win_entity(name);
    entity->win_entity_type = WIN_ENTITY_TYPE_CHARACTER;
    entity->win_entity_flag |= ENTITY_FLAG_TARGET;
    entity->local_matrix.m[0][0] = entity->local_matrix.m[1][1] = entity->local_matrix.m[2][2] =
        1.0f;
    entity->local_matrix.m[3][0] = position.x;
    entity->local_matrix.m[3][1] = position.y;
    entity->local_matrix.m[3][2] = position.z;
    entity->local_matrix.attrib = 0x38;
    win_character* character = malloc_win_character();
    character->hitpoints = hitpoints;
    if (joints > 0) {
        character->mow_track_augment_array = malloc_mow_track_augment_array(joints);
        character->mow_track_augment_array_size = joints;
    }
    entity->u.win_character = character;
    return entity;
}

// The player at the origin with a pose of ten joints, in the ring, and the
// candidates given, after it, in ring order.
class AutoAim : public testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        player = make_character("player", {0.0f, 0.0f, 0.0f}, 10.0f, 10);
        add(player);
        game_globals.player_character = player;
        pose = win_entity_character(player)->mow_track_augment_array;
        // Joint 8's sphere lies 10 units beyond the enemy's usual place, so
        // that the aim from there looks along +z.
        pose[VK_AUTO_AIM_HAND_JOINT].mow_augment_sphere_center = {0.0f, 0.0f, -90.0f};
        animate_arm();
    }

    void TearDown() override
    {
        game_globals.player_character = nullptr;
        if (entity_io_global_win_entity_list)
            free_win_entity_list(entity_io_global_win_entity_list);
        entity_io_reset();
        test_reset_state();
    }

    static win_entity* add(win_entity* entity)
    {
        add_to_win_entity_list(&entity_io_global_win_entity_list,
                               &entity_io_global_win_entity_list_size, entity);
        return entity;
    }

    static void unload(win_entity* entity)
    {
        vk_auto_aim_forget_entity(entity);
        remove_from_win_entity_list(&entity_io_global_win_entity_list,
                                    &entity_io_global_win_entity_list_size, entity);
        free_win_entity(entity);
    }

    // Joint 7 as the animation leaves it: unturned, at (1, 2, 3).
    void animate_arm()
    {
        win_matrix43& arm = pose[VK_AUTO_AIM_ARM_JOINT].mow_augment_matrix;
        arm = {};
        arm.m[0][0] = arm.m[1][1] = arm.m[2][2] = 1.0f;
        arm.m[3][0] = 1.0f;
        arm.m[3][1] = 2.0f;
        arm.m[3][2] = 3.0f;
        arm.attrib = 0x38;
    }

    // One evaluation of joint 7 through `callback`, from the animated pose.
    void frame(mow_augment_callback_funct callback = varnock_aim_left_arm_at_closest_enemy)
    {
        animate_arm();
        win_matrix43 parent = {};
        EXPECT_EQ(callback(pose, &parent), 1);
    }

    win_entity* player = nullptr;
    mow_track_augment* pose = nullptr;
    LogCapture log;
};

// The rotation of `angle` times the offset's turn: Rodrigues' formula about
// the axis of the fixed offset of -10, 37 and 7 degrees about x, y and z
// (rotation about x, then y, then z, row vectors), in double precision.
void offset_turned_by(double share, double out[3][3])
{
    auto rx = [](double a, double m[3][3]) {
        double c = std::cos(a), s = std::sin(a);
        double r[3][3] = {{1, 0, 0}, {0, c, s}, {0, -s, c}};
        std::copy(&r[0][0], &r[0][0] + 9, &m[0][0]);
    };
    auto ry = [](double a, double m[3][3]) {
        double c = std::cos(a), s = std::sin(a);
        double r[3][3] = {{c, 0, -s}, {0, 1, 0}, {s, 0, c}};
        std::copy(&r[0][0], &r[0][0] + 9, &m[0][0]);
    };
    auto rz = [](double a, double m[3][3]) {
        double c = std::cos(a), s = std::sin(a);
        double r[3][3] = {{c, s, 0}, {-s, c, 0}, {0, 0, 1}};
        std::copy(&r[0][0], &r[0][0] + 9, &m[0][0]);
    };
    auto mul = [](const double a[3][3], const double b[3][3], double q[3][3]) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                q[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    };
    double x[3][3], y[3][3], z[3][3], xy[3][3], o[3][3];
    rx(-0.17453292, x);
    ry(0.6457718, y);
    rz(0.12217305, z);
    mul(x, y, xy);
    mul(xy, z, o);
    // Axis and angle of o (row-vector form: o is the transpose of the
    // column-vector rotation).
    double angle = std::acos((o[0][0] + o[1][1] + o[2][2] - 1.0) / 2.0);
    double axis[3] = {o[1][2] - o[2][1], o[2][0] - o[0][2], o[0][1] - o[1][0]};
    double len = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    for (double& a : axis)
        a /= len;
    double t = angle * share, c = std::cos(t), s = std::sin(t);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double k = (i == j ? c : 0.0) + (1.0 - c) * axis[i] * axis[j];
            // The skew part, transposed for row vectors.
            double skew[3][3] = {
                {0, axis[2], -axis[1]}, {-axis[2], 0, axis[0]}, {axis[1], -axis[0], 0}};
            out[i][j] = k + s * skew[i][j];
        }
}

}  // namespace

TEST_F(AutoAim, TheNearestVisibleLivingTargetIsChosen)
{
    struct Candidate {
        const char* name;
        win_vect3 position;
        float hitpoints;
    };
    struct Case {
        const char* what;
        std::vector<Candidate> candidates;
        const char* winner;  // NULL: none
        win_vect3 point;
    };
    const float steep = 100.0f * std::tan(1.0471976f);
    const Case cases[] = {
        {"the nearer of two",
         {{"far", {0, 0, -100}, 10}, {"near", {0, 0, -50}, 10}},
         "near",
         {0, 0, -50}},
        {"a tie goes to the later",
         {{"left", {-30, 0, -40}, 10}, {"right", {30, 0, -40}, 10}},
         "right",
         {30, 0, -40}},
        {"the dead are skipped",
         {{"dead", {0, 0, -50}, 0}, {"alive", {0, 0, -90}, 1}},
         "alive",
         {0, 0, -90}},
        {"2000 units from the origin", {{"edge", {0, 0, -2000}, 10}}, "edge", {0, 0, -2000}},
        {"beyond 2000 units", {{"beyond", {0, 0, -2001}, 10}}, nullptr, {}},
        {"behind the player", {{"behind", {0, 0, 50}, 10}}, nullptr, {}},
        {"more than 60 degrees aside", {{"aside", {100, 0, -50}, 10}}, nullptr, {}},
        {"less than 60 degrees aside", {{"ahead", {50, 0, -100}, 10}}, "ahead", {50, 0, -100}},
        {"60 degrees up", {{"up", {0, steep, -100}, 10}}, "up", {0, steep, -100}},
        {"steeper", {{"above", {0, steep + 1.0f, -100}, 10}}, nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        vk_auto_aim_reset();
        std::vector<win_entity*> added;
        for (const Candidate& candidate : c.candidates)
            added.push_back(
                add(make_character(candidate.name, candidate.position, candidate.hitpoints)));
        EXPECT_EQ(find_best_target(), c.winner ? 1 : 0);
        const win_entity* target = vk_auto_aim_state.auto_aim_target;
        EXPECT_STREQ(target ? target->win_entity_name : nullptr, c.winner);
        EXPECT_EQ(vk_auto_aim_state.auto_aim_point.x, c.point.x);
        EXPECT_EQ(vk_auto_aim_state.auto_aim_point.y, c.point.y);
        EXPECT_EQ(vk_auto_aim_state.auto_aim_point.z, c.point.z);
        for (win_entity* entity : added)
            unload(entity);
    }
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(AutoAim, TheAimPointIsTheTargetJointOrAboveThePosition)
{
    // Not a character, no target flag, the player itself: never aimed at.
    win_entity* lamp = add(malloc_win_entity("lamp"));
    lamp->win_entity_type = WIN_ENTITY_TYPE_LIGHT;
    lamp->win_entity_flag |= ENTITY_FLAG_TARGET;
    add(make_character("friend", {0, 0, -10}))->win_entity_flag &= ~ENTITY_FLAG_TARGET;
    player->win_entity_flag |= ENTITY_FLAG_TARGET;
    EXPECT_EQ(find_best_target(), 0);

    // Raised by the model's radius, never above 80.
    win_entity* tall = add(make_character("tall", {0, 70, -100}));
    win_entity_character(tall)->mow_model = malloc_mow_model("tall");
    win_entity_character(tall)->mow_model->mow_model_sphere_radius = 30.0f;
    EXPECT_EQ(find_best_target(), 1);
    EXPECT_EQ(vk_auto_aim_state.auto_aim_point.y, 80.0f);
    win_entity_character(tall)->mow_model->mow_model_sphere_radius = 5.0f;
    EXPECT_EQ(find_best_target(), 1);
    EXPECT_EQ(vk_auto_aim_state.auto_aim_point.y, 75.0f);
    unload(tall);

    // The centre of the AI's target joint, when the pose has that joint.
    win_entity* guard = add(make_character("guard", {0, 0, -100}, 10.0f, 3));
    win_character* character = win_entity_character(guard);
    character->win_ai = malloc_win_ai();
    character->win_ai->target_joint = 2;
    character->mow_track_augment_array[2].mow_augment_sphere_center = {1, 20, -99};
    EXPECT_EQ(find_best_target(), 1);
    EXPECT_EQ(vk_auto_aim_state.auto_aim_point.y, 20.0f);
    character->win_ai->target_joint = 0;  // the first joint is one too
    character->mow_track_augment_array[0].mow_augment_sphere_center = {1, 30, -99};
    EXPECT_EQ(find_best_target(), 1);
    EXPECT_EQ(vk_auto_aim_state.auto_aim_point.y, 30.0f);
    character->win_ai->target_joint = 3;  // beyond the pose: its position
    EXPECT_EQ(find_best_target(), 1);
    EXPECT_EQ(vk_auto_aim_state.auto_aim_point.y, 0.0f);

    win_entity* ring = entity_io_global_win_entity_list;
    entity_io_global_win_entity_list = nullptr;
    EXPECT_EQ(find_best_target(), 0);
    entity_io_global_win_entity_list = ring;
    EXPECT_EQ(log.errors(), std::vector<std::string>{
                                "Cannot find_best_target with NULL entity_io_global_win_list."});
}

TEST_F(AutoAim, TheArmBlendsInOverFiveFramesAndOutAgain)
{
    add(make_character("enemy", {0, 0, -100}));
    vk_auto_aim_setup(player);
    const float fractions[] = {0.2f, 0.4f, 0.6f, 0.8f, 1.0f, 1.0f};
    int n = 0;
    for (float fraction : fractions) {
        SCOPED_TRACE(++n);
        frame();
        EXPECT_NEAR(vk_auto_aim_state.arm_slerp_fraction, fraction, 1e-6);
        // The arm turned by that share of the aim's turn, its place kept.
        double expected[3][3];
        offset_turned_by(fraction, expected);
        const win_matrix43& arm = pose[VK_AUTO_AIM_ARM_JOINT].mow_augment_matrix;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(arm.m[i][j], expected[i][j], 1e-5) << i << "," << j;
        EXPECT_EQ(arm.m[3][0], 1.0f);
        EXPECT_EQ(arm.m[3][1], 2.0f);
        EXPECT_EQ(arm.m[3][2], 3.0f);
        EXPECT_EQ(arm.attrib, 511);
    }
    EXPECT_EQ(log.notices()[1], "arm_slerp_fraction = 0.200000");

    // The enemy falls: the arm goes back 0.2 a frame, still toward the
    // point, and the first frame that finds it at 0 lets the target go.
    win_entity* enemy = vk_auto_aim_state.auto_aim_target;
    win_entity_character(enemy)->hitpoints = 0.0f;
    for (float fraction : {0.8f, 0.6f, 0.4f, 0.2f, 0.0f}) {
        SCOPED_TRACE(fraction);
        frame();
        EXPECT_NEAR(vk_auto_aim_state.arm_slerp_fraction, fraction, 1e-6);
        EXPECT_EQ(vk_auto_aim_state.auto_aim_target, enemy);
    }
    // Five steps of 0.2f down from 1.0 leave a residue above 0, which the
    // next frame takes to 0; the frame after that finds it at 0.
    EXPECT_GT(vk_auto_aim_state.arm_slerp_fraction, 0.0f);
    frame();
    EXPECT_EQ(vk_auto_aim_state.arm_slerp_fraction, 0.0f);
    EXPECT_EQ(vk_auto_aim_state.auto_aim_target, enemy);
    frame();
    EXPECT_EQ(vk_auto_aim_state.auto_aim_target, nullptr);
    EXPECT_EQ(vk_auto_aim_state.auto_aim_point.z, 0.0f);
    EXPECT_EQ(pose[VK_AUTO_AIM_ARM_JOINT].mow_augment_matrix.attrib, 0x38);  // as animated
}

TEST_F(AutoAim, ANewTargetRestartsTheBlendAndTheUndoCallbackTakesTheArmBack)
{
    add(make_character("far", {0, 0, -100}));
    vk_auto_aim_setup(player);
    frame();
    frame();
    EXPECT_NEAR(vk_auto_aim_state.arm_slerp_fraction, 0.4f, 1e-6);
    win_entity* near = add(make_character("near", {0, 0, -50}));
    frame();
    EXPECT_EQ(vk_auto_aim_state.auto_aim_target, near);
    EXPECT_NEAR(vk_auto_aim_state.arm_slerp_fraction, 0.2f, 1e-6);
    frame();
    frame();
    for (float fraction : {0.4f, 0.2f, 0.0f, 0.0f}) {
        frame(varnock_undo_aim_left_arm_at_closest_enemy);
        EXPECT_NEAR(vk_auto_aim_state.arm_slerp_fraction, fraction, 1e-6);
    }
    EXPECT_EQ(vk_auto_aim_state.auto_aim_target, near);  // still chosen
    // Switched off, a found target leaves the fraction where it is.
    vk_auto_aim_clear(player);
    vk_auto_aim_state.arm_slerp_fraction = 0.6f;
    frame();
    EXPECT_NEAR(vk_auto_aim_state.arm_slerp_fraction, 0.6f, 1e-6);
}

TEST_F(AutoAim, SetUpUndoAndClearSwitchJointSevensCallback)
{
    mow_augment_callback_funct& slot = pose[VK_AUTO_AIM_ARM_JOINT].mow_augment_callback;
    vk_auto_aim_state.arm_slerp_fraction = 0.5f;
    EXPECT_EQ(vk_auto_aim_setup(player), 1);
    EXPECT_EQ(vk_auto_aim_state.auto_aim_off, 0);
    EXPECT_EQ(vk_auto_aim_state.arm_slerp_fraction, 0.0f);
    EXPECT_EQ(slot, varnock_aim_left_arm_at_closest_enemy);
    EXPECT_EQ(vk_auto_aim_undo_setup(player), 1);
    EXPECT_EQ(slot, varnock_undo_aim_left_arm_at_closest_enemy);
    EXPECT_EQ(vk_auto_aim_setup(player), 1);  // an undo callback stays
    EXPECT_EQ(slot, varnock_undo_aim_left_arm_at_closest_enemy);
    EXPECT_EQ(vk_auto_aim_clear(player), 1);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(vk_auto_aim_state.auto_aim_off, 1);
    EXPECT_EQ(vk_auto_aim_clear(player), 1);
    EXPECT_EQ(log.notices(), (std::vector<std::string>{"AUTO_AIM: ON", "AUTO_AIM: TURNING OFF"}));

    // A pose without joints 7 and 8 is never written: warned once.
    win_entity* small = make_character("small", {0, 0, 0}, 10.0f, 8);
    EXPECT_EQ(vk_auto_aim_setup(small), 0);
    EXPECT_EQ(vk_auto_aim_undo_setup(small), 0);
    EXPECT_EQ(win_entity_character(small)->mow_track_augment_array[7].mow_augment_callback,
              nullptr);
    EXPECT_EQ(log.warnings(), std::vector<std::string>{
                                  "No auto-aim for small: it has no pose with the joints 7 and 8"});
    free_win_entity(small);

    win_matrix43 parent = {};
    EXPECT_EQ(vk_auto_aim_setup(nullptr), 0);
    EXPECT_EQ(vk_auto_aim_undo_setup(nullptr), 0);
    EXPECT_EQ(vk_auto_aim_clear(nullptr), 0);
    EXPECT_EQ(varnock_aim_left_arm_at_closest_enemy(nullptr, &parent), 0);
    EXPECT_EQ(varnock_aim_left_arm_at_closest_enemy(pose, nullptr), 0);
    EXPECT_EQ(varnock_undo_aim_left_arm_at_closest_enemy(nullptr, &parent), 0);
    EXPECT_EQ(varnock_undo_aim_left_arm_at_closest_enemy(pose, nullptr), 0);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{
                  "Cannot vk_auto_aim_setup with NULL win_entity.",
                  "Cannot vk_auto_aim_setup with NULL win_entity.",
                  "Cannot vk_auto_aim_clear with NULL win_entity.",
                  "Cannot varnock_aim_left_arm_at_closest_enemy with NULL mow_track_augment_array.",
                  "Cannot varnock_aim_left_arm_at_closest_enemy with NULL parent_matrix.",
                  "Cannot varnock_undo_aim_left_arm_at_closest_enemy with NULL "
                  "mow_track_augment_array.",
                  "Cannot varnock_undo_aim_left_arm_at_closest_enemy with NULL parent_matrix.",
              }));
}

// As the forget pass does when the target is unloaded mid-blend: the arm
// blends back from the point it had, and an entity that comes later (in the
// freed one's memory, perhaps) is a new target that starts its own blend.
TEST_F(AutoAim, ATargetUnloadedMidBlendIsDropped)
{
    win_entity* enemy = add(make_character("enemy", {0, 0, -100}));
    vk_auto_aim_setup(player);
    frame();
    frame();
    frame();
    ASSERT_EQ(vk_auto_aim_state.auto_aim_target, enemy);
    vk_auto_aim_forget_entity(player);  // another entity: nothing changes
    EXPECT_EQ(vk_auto_aim_state.auto_aim_target, enemy);
    unload(enemy);
    EXPECT_EQ(vk_auto_aim_state.auto_aim_target, nullptr);
    frame();
    EXPECT_NEAR(vk_auto_aim_state.arm_slerp_fraction, 0.4f, 1e-6);
    EXPECT_EQ(vk_auto_aim_state.auto_aim_point.z, -100.0f);
    EXPECT_NE(pose[VK_AUTO_AIM_ARM_JOINT].mow_augment_matrix.attrib, 0x38);  // still turned

    win_entity* next = add(make_character("next", {0, 0, -100}));
    frame();
    EXPECT_EQ(vk_auto_aim_state.auto_aim_target, next);
    EXPECT_NEAR(vk_auto_aim_state.arm_slerp_fraction, 0.2f, 1e-6);
    vk_auto_aim_forget_entity(nullptr);
    EXPECT_TRUE(log.errors().empty());
}
