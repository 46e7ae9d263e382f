#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "demo_anim.h"
#include "gameglobals.h"
#include "test_support.h"
#include "vk_tail.h"

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

    void write_tail(const char* name)
    {
        mow_anim* tail = demo_anim_make_tail(name, 0.5f);
        tail->mow_anim_begin_time = 200.0f;
        EXPECT_EQ(demo_anim_write_file(dir.file(std::string(name) + ".trw").c_str(), tail), 1);
        free_mow_anim(tail);
    }

    TempDir dir;
    LogCapture log;
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
