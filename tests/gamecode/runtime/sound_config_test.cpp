// The sound module's section of the configuration file.
#include <gtest/gtest.h>

#include <string>

#include "sound.h"
#include "test_support.h"

namespace {

class SoundConfig : public ::testing::Test {
protected:
    void SetUp() override { test_reset_state(); }
    LogCapture log;
};

TEST_F(SoundConfig, TheSectionReadsBackAndOnlyOneSwitchesOn)
{
    struct {
        int32_t written;  // enable_3d when written; -1: the line given below
        const char* line;
        int32_t read;
    } cases[] = {{1, nullptr, 1}, {0, nullptr, 0}, {-1, "3", 0}, {-1, "-1", 0}};
    for (const auto& c : cases) {
        FILE* file = tmpfile();
        ASSERT_NE(file, nullptr);
        if (c.written >= 0) {
            sound_module.enable_3d = c.written;
            ASSERT_EQ(sound_write_config(file), 1);
        } else {
            std::fprintf(file, "\n//  [sound]\n%-44s//  enable_3d\n", c.line);
        }
        std::string text = file_contents(file);
        EXPECT_NE(text.find("//  [sound]\n"), std::string::npos);
        rewind(file);
        sound_module.enable_3d = 7;
        int16_t line_cnt = 0;
        EXPECT_EQ(sound_read_config(file, &line_cnt), 1) << text;
        EXPECT_EQ(sound_module.enable_3d, c.read) << text;
        fclose(file);
    }
}

TEST_F(SoundConfig, NullArgumentsAreRefusedWithTheirLines)
{
    int16_t line_cnt = 0;
    FILE* file = tmpfile();
    EXPECT_EQ(sound_write_config(nullptr), 0);
    EXPECT_EQ(sound_read_config(nullptr, &line_cnt), 0);
    EXPECT_EQ(sound_read_config(file, nullptr), 0);
    fclose(file);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Cannot sound_write_config with NULL session_file.",
                                        "Cannot sound_read_config with NULL session_file.",
                                        "Cannot sound_read_config with NULL line_cnt."}));
}

}  // namespace
