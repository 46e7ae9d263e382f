#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "demo_model.h"
#include "model_io.h"
#include "test_support.h"

namespace {

class ModelIo : public testing::Test {
protected:
    void SetUp() override { test_reset_state(); }
    void TearDown() override { test_reset_state(); }

    // Writes the demo figure to `file` in the temporary directory, storing
    // `name` (the file's own path when NULL); returns the path.
    std::string write_figure(const std::string& file, const char* name = nullptr)
    {
        std::string path = dir.file(file);
        EXPECT_EQ(demo_model_write(path.c_str(), name ? name : path.c_str()), 1);
        return path;
    }

    TempDir dir;
    LogCapture log;
};

}  // namespace

TEST_F(ModelIo, AFileThatStoresItsOwnPathIsReadOnceAndShared)
{
    std::string path = write_figure("figure.mow");
    mow_model* first = model_io_load(path.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->mow_model_ref_cnt, 1);  // the list's reference
    ++first->mow_model_ref_cnt;

    // Nothing is read again: the file may be gone.
    ASSERT_EQ(std::remove(path.c_str()), 0);
    mow_model* second = model_io_load(path.c_str());
    EXPECT_EQ(second, first);
    ++second->mow_model_ref_cnt;
    EXPECT_EQ(first->mow_model_ref_cnt, 3);
    EXPECT_EQ(model_io_global_mow_model_list_size, 1);
    std::string notice = "Reading MOW '" + path + "'";
    EXPECT_EQ(log.notices(), (std::vector<std::string>{notice, notice}));

    // Each user lets go; the sweep releases the model once the list alone
    // holds it.
    EXPECT_EQ(free_mow_model(first), 1);
    EXPECT_EQ(model_io_remove_mow_model(), 1);
    EXPECT_EQ(model_io_global_mow_model_list, first);
    EXPECT_EQ(free_mow_model(second), 1);
    EXPECT_EQ(model_io_remove_mow_model(), 1);
    EXPECT_EQ(model_io_global_mow_model_list, nullptr);
    EXPECT_EQ(model_io_global_mow_model_list_size, 0);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(ModelIo, AFileThatStoresAnotherNameIsReadAgain)
{
    std::string path = write_figure("figure.mow", "figure");
    mow_model* first = model_io_load(path.c_str());
    mow_model* second = model_io_load(path.c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(model_io_global_mow_model_list_size, 2);
    EXPECT_EQ(model_io_remove_mow_model(), 1);
    EXPECT_EQ(model_io_global_mow_model_list, nullptr);
}

TEST_F(ModelIo, TheSweepKeepsTheModelsInUse)
{
    EXPECT_EQ(model_io_remove_mow_model(), 1);  // an empty list

    mow_model* used = model_io_load(write_figure("used.mow").c_str());
    mow_model* unused = model_io_load(write_figure("unused.mow").c_str());
    mow_model* also_used = model_io_load(write_figure("also_used.mow").c_str());
    ASSERT_NE(also_used, nullptr);
    ++used->mow_model_ref_cnt;
    ++also_used->mow_model_ref_cnt;
    std::string notice = "removing mow_model " + std::string(unused->mow_model_name) +
                         " from list.";
    log.clear();
    EXPECT_EQ(model_io_remove_mow_model(), 1);
    EXPECT_EQ(log.notices(), std::vector<std::string>{notice});
    EXPECT_EQ(model_io_global_mow_model_list_size, 2);
    EXPECT_EQ(model_io_global_mow_model_list, used);
    EXPECT_EQ(used->next, also_used);
    EXPECT_EQ(used->mow_model_ref_cnt, 2);
    free_mow_model(used);
    free_mow_model(also_used);
}

TEST_F(ModelIo, AModelThatCannotBeLoadedLeavesTheListAsItWas)
{
    std::string kept = write_figure("kept.mow");
    std::string figure = write_figure("figure.mow");
    std::string bytes = read_host_file(figure);
    auto with_word = [&](size_t offset, uint32_t value) {
        std::string changed = bytes;
        std::memcpy(&changed[offset], &value, 4);
        return changed;
    };
    std::string path = dir.file("broken.mow");
    struct Case {
        const char* what;
        std::string content;  // of the file; empty: no file
        std::string error;    // the one error, or the last
    };
    // The figure's second joint's parent index: the joint array follows the
    // model image and the model's name.
    size_t joint_array = FILE_HDR_SIZE + 204 + 4 + (figure.size() + 1 + 3) / 4 * 4;
    const Case cases[] = {
        {"no file", "", "Could not find '" + path + "' for reading"},
        {"other version", with_word(68, 104),
         "Bad file type or file version '" + path + "', found version 104, expected 105"},
        {"other type", with_word(64, 61),
         "Bad file type or file version '" + path + "', found version 0, expected 105"},
        {"cut short", bytes.substr(0, bytes.size() - 2),
         "Could not read-to-verify mow_model file '" + path + "'"},
        {"joint outside the model", with_word(joint_array + 100 + 4, 7),
         "Could not mow_rend_init_mow_model '" + figure + "'"},
    };
    mow_model* listed = model_io_load(kept.c_str());
    ASSERT_NE(listed, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove(path.c_str());
        if (!c.content.empty())
            dir.write("broken.mow", c.content);
        log.clear();
        EXPECT_EQ(model_io_load(path.c_str()), nullptr);
        std::vector<std::string> errors = log.errors();
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.back(), c.error);
        if (c.error.starts_with("Could not mow_rend_init_mow_model")) {
            // The preparation said what is wrong, in one line.
            EXPECT_EQ(errors, (std::vector<std::string>{
                                  "Bad mow_model '" + figure +
                                      "': joint 1 has mow_joint_parent_idx = 7 of 2 joints",
                                  c.error}));
        }
        EXPECT_EQ(model_io_global_mow_model_list, listed);
        EXPECT_EQ(model_io_global_mow_model_list_size, 1);
    }
}

TEST_F(ModelIo, AFailedAllocationLeavesNothingListedOrHeld)
{
    std::string path = write_figure("figure.mow");
    int swept = heap_failure_sweep([&] {
        mow_model* model = model_io_load(path.c_str());
        bool listed = model && model_io_global_mow_model_list == model;
        model_io_remove_mow_model();
        return listed && model_io_global_mow_model_list == nullptr;
    });
    EXPECT_GT(swept, 10);
}
