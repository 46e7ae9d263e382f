#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "file_io.h"
#include "gameglobals.h"
#include "gametime.h"
#include "script.h"
#include "test_support.h"

namespace {

class Scripts : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        std::strcpy(game_globals.script_pathname, (dir.path() + "/Script").c_str());
        log.clear();
    }
    // A script in the running list, as a start puts it there.
    running_script* run(const char* name)
    {
        std::string path = std::string(game_globals.script_pathname) + "\\" + name + ".scw";
        running_script* script = malloc_running_script(path.c_str());
        int32_t size = 0;
        add_to_running_script_list(&script_global_running_script_list, &size, script);
        return script;
    }
    // A compiled-script file with its header and nothing else.
    void write_script(const char* name)
    {
        std::string path = std::string(game_globals.script_pathname) + "/" + name + ".scw";
        dir.write("Script/" + std::string(name) + ".scw", "");
        FILE* file = file_open_write_version_bin(path.c_str(), FILE_TYPE_SCRIPT,
                                                 FILE_VERSION_SCRIPT);
        ASSERT_NE(file, nullptr);
        file_close(file);
    }
    std::vector<std::string> names()
    {
        std::vector<std::string> out;
        running_script* head = script_global_running_script_list;
        for (running_script* s = head; s; s = s->next == head ? nullptr : s->next)
            out.push_back(get_base_filename(s->running_script_name));
        return out;
    }

    TempDir dir;
    LogCapture log;
};

TEST_F(Scripts, AnEmptyListTakesNoTime)
{
    game_time = 50.0f;
    EXPECT_EQ(script_update_script(), 0.0f);
    EXPECT_EQ(script_cleanup_script_list(), 1);
    EXPECT_EQ(script_abort_all_scripts(), 1);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Scripts, StartsThatCannotHappenFailWithTheirLines)
{
    running_script* out = (running_script*)&out;
    EXPECT_EQ(script_initiate_script(nullptr, &out), -1.0f);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(log.errors()[0], "Null file name passed to script_initiate_script");

    log.clear();
    EXPECT_EQ(script_initiate_script("missing", nullptr), -1.0f);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Couldn't open the script file " +
                                                     std::string(game_globals.script_pathname) +
                                                     "\\missing.scw for reading"});
    EXPECT_EQ(script_global_running_script_list, nullptr);
}

TEST_F(Scripts, ARunningScriptOfTheSamePathCountsAsStarted)
{
    running_script* running = run("Intro");
    running_script* out = (running_script*)&out;
    game_time = 10.0f;
    EXPECT_EQ(script_initiate_script("INTRO", &out), 0.0f);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(names(), std::vector<std::string>{"Intro"});
    EXPECT_EQ(script_global_running_script_list, running);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Scripts, TheWalkStopsWhenTheHeadEnds)
{
    // Every script here has reached the end of its code: its slice ends it.
    run("a");
    run("b");
    run("c");
    script_update_script();
    EXPECT_EQ(names(), (std::vector<std::string>{"b", "c"}));
    script_update_script();
    script_update_script();
    EXPECT_EQ(script_global_running_script_list, nullptr);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Scripts, EndingAndUnloading)
{
    run("a");
    run("b");
    EXPECT_EQ(script_unload_script("B"), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"})) << "names are compared exactly";
    EXPECT_EQ(log.notices(), std::vector<std::string>{"Didn't find script B to remove"});
    EXPECT_EQ(script_unload_script("b"), 1);
    EXPECT_EQ(names(), std::vector<std::string>{"a"});
    run("c");
    EXPECT_EQ(script_cleanup_script_list(), 1);
    EXPECT_EQ(script_global_running_script_list, nullptr);
}

TEST_F(Scripts, OnlyScriptsWithAnAbortCompanionAreReplaced)
{
    write_script("b_abort");
    run("a");
    run("b");
    run("c");
    EXPECT_EQ(script_abort_all_scripts(), 1);
    // The companion's own start fails until compiled scripts can be run;
    // the script it replaces ends all the same.
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "c"}));
    EXPECT_TRUE(log.contains("b_abort.scw' in script_initiate_script"));
}

}  // namespace
