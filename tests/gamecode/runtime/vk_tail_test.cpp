#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "demo_anim.h"
#include "gameglobals.h"
#include "gametime.h"
#include "rand_util.h"
#include "test_support.h"
#include "vk_tail.h"
#include "win_entity.h"
#include "win_math.h"

namespace {

class VkTail : public testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        snprintf(game_globals.animation_pathname, sizeof game_globals.animation_pathname, "%s",
                 dir.path().c_str());
    }
    void TearDown() override { test_reset_state(); }

    void write_tail(const char* name, int32_t tracks = 26)
    {
        mow_anim* tail = demo_anim_make_tail(name, 0.5f);
        tail->mow_anim_begin_time = 200.0f;
        const int32_t made = tail->mow_track_array_size;
        tail->mow_track_array_size = tracks;  // the rest go unwritten
        EXPECT_EQ(demo_anim_write_file(dir.file(std::string(name) + ".trw").c_str(), tail), 1);
        tail->mow_track_array_size = made;
        free_mow_anim(tail);
    }

    void write_all_tails()
    {
        for (const vk_tail_row& row : vk_tail_data)
            write_tail(row.filename);
        ASSERT_EQ(vk_tail_load(), 1);
        log.clear();
    }

    TempDir dir;
    LogCapture log;
};

// The player: a character whose state table has a state that asks for the
// tail (0, the first state counts too) and one without it (1), with a pose
// of 26 joints.
struct TailPlayer {
    win_entity* entity = malloc_win_entity("player");
    TailPlayer()
    {
        entity->win_ast = malloc_win_ast("player");
        entity->win_ast->win_anim_table_base_array = malloc_win_anim_table_base_array(2);
        entity->win_ast->win_anim_table_base_array_size = 2;
        entity->win_ast->win_anim_table_base_array[0].anim_type_flags = VK_TAIL_STATE_FLAG;
        wants_tail(false);
    }
    ~TailPlayer() { free_win_entity(entity); }
    void wants_tail(bool on) { entity->win_ast->current_anim_index = on ? 0 : 1; }
};

}  // namespace

TEST_F(VkTail, TheTailAnimationsAreReadAndReleased)
{
    for (const vk_tail_row& row : vk_tail_data)
        write_tail(row.filename);
    EXPECT_EQ(vk_tail_load(), 1);
    for (const vk_tail_row& row : vk_tail_data) {
        SCOPED_TRACE(row.filename);
        ASSERT_NE(row.anim, nullptr);
        EXPECT_EQ(row.anim->mow_track_array_size, 26);
        EXPECT_EQ(row.duration, 800.0f);  // end time less begin time
    }
    EXPECT_EQ(vk_tail_state.cur_vk_tail_data, &vk_tail_data[2]);  // the last one read
    EXPECT_TRUE(log.errors().empty());
    EXPECT_EQ(vk_tail_free(), 1);
    EXPECT_EQ(vk_tail_data[0].anim, nullptr);
    EXPECT_EQ(vk_tail_state.cur_vk_tail_data, nullptr);
}

TEST_F(VkTail, ATailThatCannotBeReadIsLeftOut)
{
    write_tail(vk_tail_data[0].filename);
    write_tail(vk_tail_data[1].filename);
    std::string broken = dir.file(std::string(vk_tail_data[1].filename) + ".trw");
    std::string bytes = read_host_file(broken);
    dir.write(std::string(vk_tail_data[1].filename) + ".trw", bytes.substr(0, bytes.size() - 1));
    EXPECT_EQ(vk_tail_load(), 0);
    EXPECT_NE(vk_tail_data[0].anim, nullptr);
    EXPECT_EQ(vk_tail_data[1].anim, nullptr);
    EXPECT_EQ(vk_tail_data[2].anim, nullptr);
    EXPECT_EQ(vk_tail_state.cur_vk_tail_data, &vk_tail_data[0]);
    std::vector<std::string> errors = log.errors();
    ASSERT_GE(errors.size(), 2u);
    EXPECT_EQ(errors[errors.size() - 2], "Could not read_mow_anim_bin for '" + dir.path() + "\\" +
                                             vk_tail_data[1].filename + ".trw'");
    EXPECT_EQ(errors.back(),
              "Could not find '" + dir.path() + "\\" + vk_tail_data[2].filename + ".trw'");
}

TEST_F(VkTail, ATailWithoutTheTailTracksOrWithoutLengthIsLeftOut)
{
    write_tail(vk_tail_data[0].filename, 25);
    mow_anim* still = demo_anim_make_tail(vk_tail_data[1].filename, 0.5f);
    still->mow_anim_begin_time = still->mow_anim_end_time - 0.5f;
    ASSERT_EQ(demo_anim_write_file(dir.file(std::string(vk_tail_data[1].filename) + ".trw").c_str(),
                                   still),
              1);
    free_mow_anim(still);
    write_tail(vk_tail_data[2].filename);
    EXPECT_EQ(vk_tail_load(), 0);
    EXPECT_EQ(vk_tail_data[0].anim, nullptr);
    EXPECT_EQ(vk_tail_data[1].anim, nullptr);
    EXPECT_NE(vk_tail_data[2].anim, nullptr);
    std::string d = dir.path() + "\\";
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{
                  "Tail animation '" + d +
                      "vk_tail_animation.trw' has 25 tracks and lasts "
                      "800.000000 ms; the tail needs 26 tracks and at least 1 ms",
                  "Tail animation '" + d +
                      "vk_tail_anim_side_to_side.trw' has 26 tracks and "
                      "lasts 0.500000 ms; the tail needs 26 tracks and at least 1 ms"}));
}

TEST_F(VkTail, WithNoTailLoadedTheTailStaysOff)
{
    EXPECT_EQ(vk_tail_load(), 0);
    EXPECT_EQ(log.errors().size(), 3u);  // one line for each missing file
    log.clear();
    TailPlayer player;
    for (int frame = 0; frame < 3; ++frame) {
        game_time += 16.0f;
        EXPECT_EQ(vk_tail_update_transition_state(player.entity), 0);
    }
    EXPECT_TRUE(log.errors().empty());
    mow_track_augment* pose = malloc_mow_track_augment_array(26);
    EXPECT_EQ(vk_tail_set_anim_hook(pose, 26), 0);
    EXPECT_EQ(pose[21].mow_augment_callback, nullptr);
    EXPECT_EQ(log.errors(),
              std::vector<std::string>{"Cannot vk_tail_set_anim_hook with NULL cur_vk_tail_data."});
    free_mow_track_augment_array(pose, 26);
}

TEST_F(VkTail, TheHooksGoOnTheTailJointsOfAPoseThatHasThem)
{
    write_all_tails();
    mow_track_augment* pose = malloc_mow_track_augment_array(26);
    EXPECT_EQ(vk_tail_set_anim_hook(pose, 26), 1);
    const mow_augment_callback_funct hooks[] = {vk_tail_1_funct, vk_tail_2_funct, vk_tail_3_funct,
                                                vk_tail_4_funct, vk_tail_5_funct};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(pose[21 + i].mow_augment_callback, hooks[i]);
    EXPECT_EQ(pose[20].mow_augment_callback, nullptr);
    free_mow_track_augment_array(pose, 26);

    mow_track_augment* short_pose = malloc_mow_track_augment_array(25);
    EXPECT_EQ(vk_tail_set_anim_hook(short_pose, 25), 0);
    EXPECT_EQ(log.warnings(),
              std::vector<std::string>{"No tail hooks on a pose of 25 joints: the tail needs 26"});
    free_mow_track_augment_array(short_pose, 25);

    win_matrix43 parent = {};
    EXPECT_EQ(vk_tail_set_anim_hook(nullptr, 26), 0);
    EXPECT_EQ(vk_tail_1_funct(nullptr, &parent), 0);
    EXPECT_EQ(vk_tail_5_funct(pose, nullptr), 0);
    EXPECT_EQ(transition_vk_tail(21, nullptr), 0);
    EXPECT_EQ(vk_tail_update_transition_state(nullptr), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Cannot vk_tail_set_anim_hook with NULL mow_track_augment_array.",
                                "Cannot vk_tail_1_funct with NULL mow_track_augment_array.",
                                "Cannot vk_tail_5_funct with NULL parent_matrix.",
                                "Cannot transition_vk_tail with NULL mow_track_augment_array.",
                                "Cannot vk_tail_update_transition_state with NULL win_entity."}));
}

TEST_F(VkTail, AHookBlendsTheJointsTurnTowardTheTailAnimation)
{
    write_all_tails();
    // The demo tail's track 21 turns about y to 0.1 at 250 ms of its time
    // line, which begins at 200 ms; track 22 to 0.2 at 300 ms.
    vk_tail_state.tail_anim_time = 50.0f;
    vk_tail_state.tail_blend_weight = 0.25f;
    mow_track_augment* pose = malloc_mow_track_augment_array(26);
    for (int j : {21, 22}) {
        pose[j].mow_augment_xform = {1.0f, 2.0f, 3.0f, 0.2f, 0.4f, 0.0f, 1.0f, 1.0f, 1.0f, 0x3b};
        pose[j].mow_augment_joint_matrix = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {10, 0, 0}}, 0x08};
    }
    win_matrix43 parent = {};
    ASSERT_EQ(vk_tail_1_funct(pose, &parent), 1);
    ASSERT_EQ(vk_tail_2_funct(pose, &parent), 1);
    struct Expected {
        int joint;
        double ry;
    };
    for (const Expected& e : {Expected{21, 0.75 * 0.4 + 0.25 * 0.1},
                              Expected{22, 0.75 * 0.4 + 0.25 * 0.2 * 250.0 / 300.0}}) {
        SCOPED_TRACE(e.joint);
        const win_xform& local = pose[e.joint].mow_augment_xform;
        EXPECT_NEAR(local.rx, 0.15, 1e-6);  // the tail does not turn about x
        EXPECT_NEAR(local.ry, e.ry, 1e-6);
        EXPECT_EQ(local.rz, 0.0f);
        EXPECT_EQ(local.tx, 1.0f);
        EXPECT_EQ(local.attrib, 0x3f);
        // About x by 0.15, then about y, then to (1, 2, 3) and 10 along x.
        double cx = std::cos(0.15), sx = std::sin(0.15), cy = std::cos(e.ry), sy = std::sin(e.ry);
        const double expected[4][3] = {
            {cy, 0.0, -sy}, {sx * sy, cx, sx * cy}, {cx * sy, -sx, cx * cy}, {11.0, 2.0, 3.0}};
        const win_matrix43& world = pose[e.joint].mow_augment_matrix;
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(world.m[i][k], expected[i][k], 1e-5) << i << "," << k;
    }
    free_mow_track_augment_array(pose, 26);
}

TEST_F(VkTail, TheBlendFadesOutAndInOver250Milliseconds)
{
    write_all_tails();
    TailPlayer player;
    struct Frame {
        float ms;
        bool wanted;
        int32_t state;
        float weight;
    };
    const Frame frames[] = {
        {0.0f, false, 3, 1.0f},                             // on at start: the fade out begins
        {100.0f, false, 3, 0.6f}, {100.0f, true, 3, 0.2f},  // a fade runs to its end
        {100.0f, true, 0, 0.0f},  {20.0f, true, 1, 0.0f},   // off, then the fade in begins
        {100.0f, false, 1, 0.4f}, {100.0f, false, 1, 0.8f}, {100.0f, false, 2, 1.0f},
        {10.0f, true, 2, 1.0f},   {10.0f, false, 3, 1.0f},
    };
    game_time = 1000.0f;
    vk_tail_state.tail_last_time = game_time;
    int n = 0;
    for (const Frame& f : frames) {
        SCOPED_TRACE(++n);
        game_time += f.ms;
        player.wants_tail(f.wanted);
        EXPECT_EQ(vk_tail_update_transition_state(player.entity), 1);
        EXPECT_EQ(vk_tail_state.vk_tail_state, f.state);
        EXPECT_NEAR(vk_tail_state.tail_blend_weight, f.weight, 1e-6);
        EXPECT_EQ(vk_tail_state.tail_last_time, game_time);
    }
    vk_tail_state.vk_tail_state = 9;
    EXPECT_EQ(vk_tail_update_transition_state(player.entity), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Unknown vk_tail_state = 9"});
}

TEST_F(VkTail, ARunThroughTailGivesWayToOneDrawnAtRandom)
{
    write_all_tails();
    TailPlayer player;
    // The draws to come, read ahead from the same seed.
    rand_util_srand(77);
    std::vector<float> draws;
    for (int i = 0; i < 12; ++i)
        draws.push_back((float)rand_util_rand() / 32767.0f);
    rand_util_srand(77);
    vk_tail_state.tail_last_time = game_time = 0.0f;
    for (float r : draws) {
        SCOPED_TRACE(r);
        vk_tail_state.tail_anim_time = 700.0f;
        game_time += 350.0f;  // 1050 ms into a tail of 800: 250 into the next
        EXPECT_EQ(vk_tail_update_transition_state(player.entity), 1);
        const int expected = r <= 0.3333f ? 2 : r <= 0.6666f ? 0 : 1;
        EXPECT_EQ(vk_tail_state.cur_vk_tail_data, &vk_tail_data[expected]);
        EXPECT_EQ(vk_tail_state.tail_anim_time, 250.0f);
    }

    // With only the side-to-side tail, every draw picks it.
    free_mow_anim(vk_tail_data[0].anim);
    free_mow_anim(vk_tail_data[2].anim);
    vk_tail_data[0].anim = vk_tail_data[2].anim = nullptr;
    for (int i = 0; i < 6; ++i) {
        vk_tail_state.tail_anim_time = 799.0f;
        game_time += 2.0f;
        EXPECT_EQ(vk_tail_update_transition_state(player.entity), 1);
        EXPECT_EQ(vk_tail_state.cur_vk_tail_data, &vk_tail_data[1]);
        EXPECT_EQ(vk_tail_state.tail_anim_time, 1.0f);
    }
    EXPECT_TRUE(log.errors().empty());
}
