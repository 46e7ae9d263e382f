#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "file_io.h"
#include "gameglobals.h"
#include "gametime.h"
#include "script.h"
#include "script_support.h"
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
    // The compiled script `name` in the script directory, assembled from
    // `source` and cut to `cut` bytes; returns its full path as the game
    // forms it.
    std::string write_script(const char* name, const std::string& source = "",
                             size_t cut = std::string::npos)
    {
        dir.write("Script/" + std::string(name) + ".scw", assemble(source).substr(0, cut));
        return std::string(game_globals.script_pathname) + "\\" + name + ".scw";
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
    write_script("b_abort", "wait 1\n");
    run("a");
    run("b");
    run("c");
    EXPECT_EQ(script_abort_all_scripts(), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "c", "b_abort"}));
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Scripts, AStartedScriptRunsItsCommandsAndEndsWithItsCode)
{
    std::string path = write_script("Intro", ".variable \"n\", 0, 1\nwait 100\nassign var(1), 5\n");
    running_script* out = nullptr;
    EXPECT_EQ(script_initiate_script("Intro", &out), 0.0f);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(script_global_running_script_list, out);
    EXPECT_STREQ(out->parsed_variable_list->parsed_variable_name, "n");
    EXPECT_EQ(out->wait_end_time, 0.0f);
    EXPECT_EQ(log.notices(), std::vector<std::string>{"Script " + path + " up and running"});
    // Until the game runtime runs commands, each one is done at once.
    script_update_script();
    EXPECT_EQ(script_global_running_script_list, nullptr);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(Scripts, ABrokenCommandEndsItsScriptWithAnError)
{
    std::string path = write_script("broken", "wait 1\nrun_script \"next\"\n", 128 + 28);
    EXPECT_EQ(script_initiate_script("broken", nullptr), 0.0f);
    script_update_script();
    EXPECT_EQ(script_global_running_script_list, nullptr);
    EXPECT_EQ(log.errors(), std::vector<std::string>{
                                "Script " + path +
                                ": the command at code offset 20 runs past the end of the code"});
}

TEST_F(Scripts, AScriptThatCannotBeLoadedDoesNotStart)
{
    std::string header_only = write_script("header", "", 100);
    std::string negative = write_script("negative");
    dir.write("Script/negative.scw",
              patch_word(read_host_file(dir.file("Script/negative.scw")), 100, 0xffffffff));
    dir.write("Script/other.scw", patch_word(assemble(""), 64, 13));  // an entity file's type
    struct {
        const char* name;
        std::vector<std::string> errors;
    } const cases[] = {
        {"header", {"Could not read entity list from file in script_initiate_script"}},
        {"negative",
         {"Bad parsed_entity_list_size = -1",
          "Could not read entity list from file in script_initiate_script"}},
        {"other",
         {"Wrong file type in '" + std::string(game_globals.script_pathname) +
              "\\other.scw', found 13 expected 16",
          "Couldn't load compiled script '" + std::string(game_globals.script_pathname) +
              "\\other.scw' in script_initiate_script"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        running_script* out = (running_script*)&out;
        EXPECT_EQ(script_initiate_script(c.name, &out), -1.0f);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(log.errors(), c.errors);
        EXPECT_EQ(script_global_running_script_list, nullptr);
    }
}

// Every allocation of a start and of decoding, failing in turn, is reported
// and releases what was made: the start fails, or the slice reports a command
// whose operands could not be copied.
TEST_F(Scripts, ExhaustedMemoryIsReportedAndLeaksNothing)
{
    write_script("memory", R"(
.entity "env", "e2e_env", 1
.variable "n", 0, 1
.state_variable "door", 0, 3, 1
.attach 1, 2, -1
.function in_collision var(1), "trigger", 1, 2, 3, 4, 5, 6
.sound "boom", "boom.wav", 0
.shader 0, 1, 2
if call(0) = 1, yes, 0, done
yes: display_message 10, 10, 255, 255, 255, 3, "ok"
done: orient 1, 0.5, 1.5, 2.5
)");
    int swept = heap_failure_sweep([&] {
        running_script* script = nullptr;
        if (script_initiate_script("memory", &script) == -1.0f)
            return false;
        return parse_run_script(script) == 1;
    });
    EXPECT_GT(swept, 20);
}

}  // namespace
