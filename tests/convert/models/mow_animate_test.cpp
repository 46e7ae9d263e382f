#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "demo_anim.h"
#include "demo_model.h"
#include "heap.h"
#include "mow_animate.h"
#include "test_support.h"
#include "win_math.h"

namespace {

const float half_pi = 1.57079637f;

// Rotation keys about x with the values given, at the times given.
mow_track* rot_x_track(std::initializer_list<std::pair<float, float>> keys)
{
    mow_track* track = malloc_mow_track("t");
    track->mow_rot_key_array = malloc_mow_rot_key_array((int32_t)keys.size());
    track->mow_rot_key_array_size = (int32_t)keys.size();
    int i = 0;
    for (const auto& [time, value] : keys)
        track->mow_rot_key_array[i++] = {time, {value, 0.0f, 0.0f}};
    return track;
}

// A model of `n` joints: joint i has parent parents[i] and origin origins[i].
mow_model* chain_model(std::initializer_list<std::pair<int32_t, win_vect3>> joints)
{
    mow_model* model = malloc_mow_model("chain");
    model->mow_joint_array = malloc_mow_joint_array((int32_t)joints.size());
    model->mow_joint_array_size = (int32_t)joints.size();
    int i = 0;
    for (const auto& [parent, origin] : joints) {
        mow_joint* joint = &model->mow_joint_array[i++];
        joint->mow_joint_name = STRDUP("j");
        joint->mow_joint_parent_idx = parent;
        joint->mow_joint_origin = origin;
        joint->mow_joint_attrib = WIN_ATTRIB_TRANSLATE;
    }
    return model;
}

// An animation with an empty track per joint.
mow_anim* empty_anim(int32_t tracks)
{
    mow_anim* anim = malloc_mow_anim("a");
    anim->mow_track_array = malloc_mow_track_array(tracks);
    anim->mow_track_array_size = tracks;
    for (int32_t i = 0; i < tracks; ++i)
        anim->mow_track_array[i].mow_track_name = STRDUP("t");
    return anim;
}

void set_rot_keys(mow_track* track, std::initializer_list<mow_rot_key> keys)
{
    track->mow_rot_key_array = malloc_mow_rot_key_array((int32_t)keys.size());
    track->mow_rot_key_array_size = (int32_t)keys.size();
    std::copy(keys.begin(), keys.end(), track->mow_rot_key_array);
}

void set_trans_keys(mow_track* track, std::initializer_list<mow_trans_key> keys)
{
    track->mow_trans_key_array = malloc_mow_trans_key_array((int32_t)keys.size());
    track->mow_trans_key_array_size = (int32_t)keys.size();
    std::copy(keys.begin(), keys.end(), track->mow_trans_key_array);
}

void expect_point(const float* row, win_vect3 expected)
{
    EXPECT_NEAR(row[0], expected.x, 1e-5f);
    EXPECT_NEAR(row[1], expected.y, 1e-5f);
    EXPECT_NEAR(row[2], expected.z, 1e-5f);
}

void expect_point(const win_vect3& point, win_vect3 expected)
{
    expect_point(&point.x, expected);
}

// The caller's matrix of the pose tests: a quarter turn about y (x goes to
// -z, z to x), then 10 along x.
win_matrix43 turned_parent(void)
{
    win_matrix43 parent;
    win_math_set_rotate_y_matrix43(&parent, half_pi);
    parent.m[3][0] = 10.0f;
    parent.attrib |= WIN_ATTRIB_TRANSLATE_X;
    return parent;
}

}  // namespace

TEST(MowAnimate, KeysAreFoundByTheirTimesAndInterpolatedBetween)
{
    struct Case {
        std::initializer_list<std::pair<float, float>> keys;
        float time;
        float rotate_x;
    };
    const Case cases[] = {
        {{{0, 0}, {100, 1}, {200, 2}}, -5, 0},  // before the first key: the first
        {{{0, 0}, {100, 1}, {200, 2}}, 50, 0.5f},
        {{{0, 0}, {100, 1}, {200, 2}}, 100, 1},
        {{{0, 0}, {100, 1}, {200, 2}}, 250, 2},               // after the last: the last
        {{{0, 0}, {100, 1}, {100, 2}, {200, 3}}, 100, 1},     // of equal times, the first
        {{{0, 0}, {100, 1}, {100, 2}, {200, 3}}, 150, 2.5f},  // and after it the last
        {{{40, 7}}, -1000, 7},
        {{{40, 7}}, 1000, 7},
        {{{0, 0}, {3, 1}}, 1, 0.333333343f},  // single precision: 1.0f / 3.0f
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        mow_track* track = rot_x_track(c.keys);
        win_xform xform;
        EXPECT_EQ(mow_animate_interpolate_single_mow_track(&xform, track, c.time), 1);
        EXPECT_EQ(xform.rx, c.rotate_x);
        EXPECT_EQ(xform.ry, 0.0f);
        EXPECT_EQ(xform.sx, 1.0f);  // the other parts at rest
        EXPECT_EQ(xform.attrib, c.rotate_x != 0.0f ? WIN_ATTRIB_ROTATE_X : 0);
        free_mow_track(track);
    }
}

TEST(MowAnimate, AChainIsPosedUnderItsRotatedParent)
{
    // Joint 0 turns a quarter about z between 0 and 100 ms, joint 1 (2 up
    // from it) moves 2 along z; at 50 ms each is half way.
    mow_model* model = chain_model({{-1, {1, 0, 0}}, {0, {0, 2, 0}}, {1, {1, 0, 0}}});
    model->mow_joint_array[0].mow_joint_sphere_center = {0, 1, 0};
    model->mow_joint_array[0].mow_joint_sphere_radius = 0.75f;
    mow_anim* anim = empty_anim(3);
    set_rot_keys(&anim->mow_track_array[0], {{0, {0, 0, 0}}, {100, {0, 0, 2 * half_pi}}});
    set_trans_keys(&anim->mow_track_array[1], {{0, {0, 0, 0}}, {100, {0, 0, 2}}});
    const win_matrix43 parent = turned_parent();
    mow_track_augment* poses = malloc_mow_track_augment_array(3);
    poses[2].mow_augment_xform.tx = 42.0f;  // a joint without keys keeps it

    ASSERT_EQ(mow_animate_model(model, anim, 50.0f, poses, nullptr, &parent), 1);
    // Joint 0: the origin (1, 0, 0) turned to (0, 0, -1), plus (10, 0, 0);
    // then its own quarter turn about z before the parent's about y.
    const mow_track_augment& p0 = poses[0];
    EXPECT_EQ(p0.mow_augment_no_keys, 0);
    EXPECT_NEAR(p0.mow_augment_xform.rz, half_pi, 1e-6f);
    expect_point(p0.mow_augment_joint_matrix.m[3], {10, 0, -1});
    expect_point(p0.mow_augment_matrix.m[0], {0, 1, 0});
    expect_point(p0.mow_augment_matrix.m[1], {0, 0, 1});
    expect_point(p0.mow_augment_matrix.m[2], {1, 0, 0});
    expect_point(p0.mow_augment_matrix.m[3], {10, 0, -1});
    EXPECT_EQ(p0.mow_augment_sphere_radius, 0.75f);
    expect_point(p0.mow_augment_sphere_center, {10, 0, 0});
    // Joint 1: its origin (0, 2, 0) through joint 0 lands at (10, 0, 1); its
    // own move of 1 along z is x in the world.
    const mow_track_augment& p1 = poses[1];
    expect_point(p1.mow_augment_joint_matrix.m[3], {10, 0, 1});
    EXPECT_EQ(p1.mow_augment_xform.tz, 1.0f);
    EXPECT_EQ(p1.mow_augment_xform.attrib, WIN_ATTRIB_TRANSLATE_Z);
    expect_point(p1.mow_augment_matrix.m[3], {11, 0, 1});
    expect_point(p1.mow_augment_sphere_center, {11, 0, 1});
    // Joint 2 has no keys: joint 1's matrix moved to its origin (1, 0, 0).
    const mow_track_augment& p2 = poses[2];
    EXPECT_EQ(p2.mow_augment_no_keys, 1);
    EXPECT_EQ(p2.mow_augment_xform.tx, 42.0f);
    expect_point(p2.mow_augment_matrix.m[3], {11, 1, 1});
    expect_point(p2.mow_augment_joint_matrix.m[3], {11, 1, 1});

    // Before the first key and after the last the end keys hold.
    ASSERT_EQ(mow_animate_model(model, anim, -30.0f, poses, nullptr, &parent), 1);
    expect_point(poses[0].mow_augment_matrix.m[0], {0, 0, -1});  // not turned
    expect_point(poses[1].mow_augment_matrix.m[3], {10, 2, -1});
    ASSERT_EQ(mow_animate_model(model, anim, 900.0f, poses, nullptr, &parent), 1);
    expect_point(poses[0].mow_augment_matrix.m[0], {0, 0, 1});  // a half turn
    expect_point(poses[1].mow_augment_matrix.m[3], {12, -2, -1});

    free_mow_track_augment_array(poses, 3);
    free_mow_anim(anim);
    free_mow_model(model);
}

TEST(MowAnimate, RootsAndJointsWithoutKeys)
{
    // Under an identity parent (attrib 0) a joint keeps the translation of
    // its origin only through its own translation bits.
    struct Case {
        const char* what;
        bool keyed;              // the root has a (resting) scale key
        int32_t joint_attrib;    // of both joints
        win_vect3 root_sphere;   // world centre of the root's sphere
        win_vect3 child_origin;  // world translation of the child
    };
    const Case cases[] = {
        {"root with keys, bits", true, WIN_ATTRIB_TRANSLATE, {0, 5, 1}, {0, 8, 0}},
        {"root with keys, no bits", true, 0, {0, 0, 1}, {0, 3, 0}},
        {"root without keys", false, WIN_ATTRIB_TRANSLATE, {0, 0, 1}, {0, 3, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mow_model* model = chain_model({{-1, {0, 5, 0}}, {0, {0, 3, 0}}});
        for (int i = 0; i < 2; ++i) {
            model->mow_joint_array[i].mow_joint_attrib = c.joint_attrib;
            model->mow_joint_array[i].mow_joint_sphere_center = {0, 0, 1};
        }
        mow_anim* anim = empty_anim(2);
        if (c.keyed) {
            mow_track* track = &anim->mow_track_array[0];
            track->mow_scale_key_array = malloc_mow_scale_key_array(1);
            track->mow_scale_key_array_size = 1;
        }
        mow_track_augment* poses = malloc_mow_track_augment_array(2);
        EXPECT_EQ(mow_animate_model(model, anim, 0.0f, poses, nullptr, &win_math_identity_matrix43),
                  1);
        EXPECT_EQ(poses[0].mow_augment_no_keys, c.keyed ? 0 : 1);
        expect_point(poses[0].mow_augment_sphere_center, c.root_sphere);
        expect_point(poses[1].mow_augment_matrix.m[3], c.child_origin);
        free_mow_track_augment_array(poses, 2);
        free_mow_anim(anim);
        free_mow_model(model);
    }

    // Without an animation every joint rests under its parent and a root
    // takes the caller's matrix itself.
    mow_model* model = chain_model({{-1, {1, 0, 0}}, {0, {0, 2, 0}}});
    const win_matrix43 parent = turned_parent();
    mow_track_augment* poses = malloc_mow_track_augment_array(2);
    ASSERT_EQ(mow_animate_model(model, nullptr, 0.0f, poses, nullptr, &parent), 1);
    EXPECT_EQ(std::memcmp(&poses[0].mow_augment_matrix, &parent, sizeof parent), 0);
    expect_point(poses[1].mow_augment_matrix.m[3], {10, 2, 0});
    EXPECT_EQ(poses[1].mow_augment_no_keys, 1);
    free_mow_track_augment_array(poses, 2);
    free_mow_model(model);
}

namespace {

// What the pose callback of the test saw, and what it does.
struct callback_record {
    int calls = 0;
    const win_matrix43* built_on = nullptr;
    int result = 1;
};
callback_record callback_seen;

// Lifts joint 0 by 100 along y.
int lift_joint_0(mow_track_augment* poses, const win_matrix43* parent_matrix)
{
    ++callback_seen.calls;
    callback_seen.built_on = parent_matrix;
    poses[0].mow_augment_matrix.m[3][1] += 100.0f;
    poses[0].mow_augment_matrix.attrib |= WIN_ATTRIB_TRANSLATE_Y;
    return callback_seen.result;
}

}  // namespace

TEST(MowAnimate, ACallbackChangesItsJointForEverythingAfterIt)
{
    mow_model* model = chain_model({{-1, {0, 0, 0}}, {0, {0, 2, 0}}});
    model->mow_joint_array[0].mow_joint_sphere_center = {0, 1, 0};
    mow_anim* anim = empty_anim(2);
    set_rot_keys(&anim->mow_track_array[1], {{0, {0, 0, 0}}});
    const win_matrix43 parent = turned_parent();
    for (int result : {1, 2, 0}) {  // bit 0 is the callback's success
        SCOPED_TRACE(result);
        callback_seen = callback_record{};
        callback_seen.result = result;
        mow_track_augment* poses = malloc_mow_track_augment_array(2);
        poses[0].mow_augment_callback = lift_joint_0;
        EXPECT_EQ(mow_animate_model(model, anim, 0.0f, poses, nullptr, &parent), result & 1);
        EXPECT_EQ(callback_seen.calls, 1);
        EXPECT_EQ(callback_seen.built_on, &parent);
        // The joint's own sphere and the joint after it see the lift; the
        // frame the joint was built in does not.
        expect_point(poses[0].mow_augment_joint_matrix.m[3], {10, 0, 0});
        expect_point(poses[0].mow_augment_sphere_center, {10, 101, 0});
        expect_point(poses[1].mow_augment_matrix.m[3], {10, 102, 0});
        free_mow_track_augment_array(poses, 2);
    }
    free_mow_anim(anim);
    free_mow_model(model);
}

TEST(MowAnimate, TracksAndParentsOutsideTheirArraysAreNeverRead)
{
    struct Case {
        const char* what;
        std::function<void(mow_model*, mow_anim*)> change;
        int no_keys_1;  // how joint 1 is posed
    };
    const Case cases[] = {
        {"all tracks", [](mow_model*, mow_anim*) {}, 0},
        {"fewer tracks than joints", [](mow_model*, mow_anim* a) { a->mow_track_array_size = 1; },
         1},
        {"a track count without tracks",
         [](mow_model*, mow_anim* a) {
             free_mow_track_array(a->mow_track_array, 2);
             a->mow_track_array = nullptr;
             a->mow_track_array_size = 5;
         },
         1},
        {"a parent past the joints",
         [](mow_model* m, mow_anim*) { m->mow_joint_array[1].mow_joint_parent_idx = 2; }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mow_model* model = chain_model({{-1, {0, 0, 0}}, {0, {0, 2, 0}}});
        mow_anim* anim = empty_anim(2);
        set_rot_keys(&anim->mow_track_array[0], {{0, {0, 0, 0}}});
        set_rot_keys(&anim->mow_track_array[1], {{0, {0, 0, 0}}});
        int32_t tracks = anim->mow_track_array_size;
        c.change(model, anim);
        mow_track_augment* poses = malloc_mow_track_augment_array(2);
        EXPECT_EQ(mow_animate_model(model, anim, 0.0f, poses, nullptr, &win_math_identity_matrix43),
                  1);
        EXPECT_EQ(poses[1].mow_augment_no_keys, c.no_keys_1);
        free_mow_track_augment_array(poses, 2);
        if (anim->mow_track_array)
            anim->mow_track_array_size = tracks;
        free_mow_anim(anim);
        free_mow_model(model);
    }
}

TEST(MowAnimate, AppendageSpheresFollowTheKeysAndTheParent)
{
    mow_model* figure = demo_model_make("figure");
    mow_anim* wave = demo_anim_make_wave("wave");
    const win_matrix43 parent = turned_parent();
    mow_track_augment* poses = malloc_mow_track_augment_array(DEMO_MODEL_JOINTS);
    mow_appendage_sphere_key* spheres = malloc_mow_appendage_sphere_key_array(1);
    spheres->mow_segment_key_array = malloc_mow_segment_key_array(1);
    spheres->mow_segment_key_array_size = 1;

    // A quarter of the way: half way between the keys at 0 and 500 ms.
    ASSERT_EQ(mow_animate_model(figure, wave, 250.0f, poses, spheres, &parent), 1);
    expect_point(spheres->center, {10 + 0, 2.865f, 0.34f});
    EXPECT_EQ(spheres->radius, 1.0f);
    const mow_segment_key& segment = spheres->mow_segment_key_array[0];
    expect_point(segment.segment_vector, {0, 0.865845f, 0.34082f});  // turned, not moved
    EXPECT_EQ(segment.segment_length, 1.0f);
    EXPECT_EQ(segment.segment_radius, 0.25f);

    // The bounding sphere and the shader index of the same animation.
    win_vect3 center;
    float radius;
    ASSERT_EQ(mow_animate_interpolate_mow_sphere(&center, &radius, wave->mow_sphere_key_array,
                                                 wave->mow_sphere_key_array_size, 250.0f),
              1);
    expect_point(center, {-0.25f, 2.125f, 0});
    EXPECT_EQ(radius, 3.125f);

    // Keys with more appendages and segments than the output holds write
    // only what the output holds; keys with fewer leave the rest alone.
    mow_appendage_key* key = &wave->mow_appendage_key_array[0];
    free_mow_appendage_sphere_key_array(key->mow_appendage_sphere_key_array, 1);
    key->mow_appendage_sphere_key_array = malloc_mow_appendage_sphere_key_array(3);
    key->mow_appendage_sphere_key_array_size = 3;
    for (int i = 0; i < 3; ++i) {
        key->mow_appendage_sphere_key_array[i].radius = 9.0f;
        key->mow_appendage_sphere_key_array[i].mow_segment_key_array = malloc_mow_segment_key_array(
            4);
        key->mow_appendage_sphere_key_array[i].mow_segment_key_array_size = 4;
    }
    ASSERT_EQ(mow_animate_model(figure, wave, 0.0f, poses, spheres, &parent), 1);
    EXPECT_EQ(spheres->radius, 9.0f);
    EXPECT_EQ(segment.segment_radius, -1.0f);
    spheres->radius = 5.0f;
    wave->mow_appendage_key_array[2].mow_appendage_sphere_key_array_size = 0;
    ASSERT_EQ(mow_animate_model(figure, wave, 800.0f, poses, spheres, &parent), 1);
    EXPECT_EQ(spheres->radius, 5.0f);
    wave->mow_appendage_key_array[2].mow_appendage_sphere_key_array_size = 1;

    free_mow_appendage_sphere_key_array(spheres, 1);
    free_mow_track_augment_array(poses, DEMO_MODEL_JOINTS);
    free_mow_anim(wave);
    free_mow_model(figure);
}

TEST(MowAnimate, ShaderIndexKeysAreSteps)
{
    mow_anim* anim = malloc_mow_anim("flicker");
    LogCapture log;
    EXPECT_EQ(mow_animate_mow_shader_idx(anim, 0.0f), -1);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"No mow_shader_idx_keys in 'flicker'"});
    anim->mow_shader_idx_key_array = malloc_mow_shader_idx_key_array(2);
    anim->mow_shader_idx_key_array_size = 2;
    anim->mow_shader_idx_key_array[0] = {0.0f, 3};
    anim->mow_shader_idx_key_array[1] = {500.0f, 7};
    const std::pair<float, int32_t> cases[] = {{-1, 3}, {0, 3}, {499, 3}, {500, 7}, {800, 7}};
    for (const auto& [time, index] : cases)
        EXPECT_EQ(mow_animate_mow_shader_idx(anim, time), index) << time;
    free_mow_anim(anim);
}
