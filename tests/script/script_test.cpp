#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "debug.h"
#include "file_io.h"
#include "gameglobals.h"
#include "gametime.h"
#include "heap.h"
#include "script.h"
#include "script_imports.h"
#include "script_support.h"
#include "service_doubles.h"
#include "test_support.h"

namespace {

// `body` with each line "mark NAME" turned into a command that the fake
// host records as the mark NAME: a call of the built-in in_environment
// "NAME", assigned to a variable (id 1) of its own. Table lines of the body
// come first, so its own function records keep their positions from 0.
std::string with_marks(const std::string& body)
{
    std::string tables;
    std::string marks;
    std::string code;
    int own_functions = 0;
    std::istringstream lines(body);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(".function", 0) == 0)
            ++own_functions;
    lines = std::istringstream(body);
    int position = own_functions;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("mark ", 0) == 0) {
            marks += ".function in_environment \"" + line.substr(5) + "\"\n";
            code += "assign var(1), call(" + std::to_string(position++) + ")\n";
        } else if (line.rfind(".", 0) == 0) {
            tables += line + "\n";
        } else {
            code += line + "\n";
        }
    }
    if (!marks.empty())
        tables += ".variable \"mark\", 0, 1\n";
    return tables + marks + code;
}

class Scripts : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    // Everything as at the start of a test, the script directory ours.
    void reset()
    {
        test_reset_state();
        std::strcpy(game_globals.script_pathname, (dir.path() + "/Script").c_str());
        log.clear();
    }
    // A script in the running list without code, as if its code had ended.
    running_script* run(const char* name)
    {
        std::string path = std::string(game_globals.script_pathname) + "\\" + name + ".scw";
        running_script* script = malloc_running_script(path.c_str());
        int32_t size = 0;
        add_to_running_script_list(&script_global_running_script_list, &size, script);
        return script;
    }
    // The compiled script `name` in the script directory, assembled from
    // `source` (with its marks) and cut to `cut` bytes; returns its full
    // path as the game forms it.
    std::string write_script(const char* name, const std::string& source = "",
                             size_t cut = std::string::npos)
    {
        dir.write("Script/" + std::string(name) + ".scw",
                  assemble(with_marks(source)).substr(0, cut));
        return path_of(name);
    }
    std::string path_of(const char* name)
    {
        return std::string(game_globals.script_pathname) + "\\" + name + ".scw";
    }
    running_script* start(const char* name)
    {
        running_script* script = nullptr;
        EXPECT_EQ(script_initiate_script(name, &script), 0.0f) << name;
        return script;
    }
    // The base names of the running scripts, from the head.
    std::vector<std::string> names()
    {
        std::vector<std::string> out;
        running_script* head = script_global_running_script_list;
        for (running_script* s = head; s; s = parse_ring_next(head, s))
            out.push_back(get_base_filename(s->running_script_name));
        return out;
    }
    // The marks recorded so far, in order.
    std::vector<std::string> marks()
    {
        std::vector<std::string> out;
        for (const std::string& call : service_calls_of("entity_check_environment_name"))
            out.push_back(call.substr(call.find('(') + 1, call.size() - call.find('(') - 2));
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
                                                     path_of("missing") + " for reading"});
    EXPECT_EQ(script_global_running_script_list, nullptr);

    // A script's path holds up to 299 characters: one longer is refused by
    // its name before any file is looked for.
    const size_t room = 299 - path_of("").size();
    for (size_t extra : {0, 1}) {
        const std::string name(room + extra, 'n');
        log.clear();
        EXPECT_EQ(script_initiate_script(name.c_str(), nullptr), -1.0f);
        const std::string shown = extra ? name : path_of(name.c_str());
        EXPECT_EQ(log.errors(), std::vector<std::string>{"Couldn't open the script file " + shown +
                                                         " for reading"});
    }

    // Sounds to resolve need their table.
    log.clear();
    game_globals.sound_enable = 1;
    EXPECT_EQ(parse_load_all_sounds(nullptr), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Null list passed to parse_load_all_sounds"});
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

TEST_F(Scripts, AStartedScriptRunsUntilACommandWaitsAndEndsWithItsCode)
{
    std::string path = write_script("Intro", "mark one\nwait 100\nmark two\n");
    game_time = 1000.0f;
    running_script* out = start("Intro");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(script_global_running_script_list, out);
    EXPECT_EQ(out->wait_end_time, 0.0f);
    EXPECT_EQ(log.notices(), std::vector<std::string>{"Script " + path + " up and running"});

    script_update_script();
    EXPECT_EQ(marks(), std::vector<std::string>{"one"});
    EXPECT_EQ(out->blocked, 1);
    EXPECT_EQ(out->wait_end_time, 1100.0f);
    game_time = 1099.5f;
    script_update_script();
    EXPECT_EQ(marks(), std::vector<std::string>{"one"});
    game_time = 1100.0f;
    script_update_script();
    EXPECT_EQ(marks(), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(script_global_running_script_list, nullptr);
    EXPECT_TRUE(log.errors().empty());
}

// A wait always lasts until a later slice, whatever its time.
TEST_F(Scripts, WaitsFollowTheClock)
{
    struct {
        const char* ms;
        float later;  // game_time at the second slice
        bool done;
    } const cases[] = {
        {"0", 500.0f, true},
        {"-50", 500.0f, true},
        {"100", 599.0f, false},
        {"100", 600.0f, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ms);
        reset();
        write_script("w", std::string("wait ") + c.ms + "\nmark done\n");
        game_time = 500.0f;
        start("w");
        script_update_script();
        EXPECT_TRUE(marks().empty());
        game_time = c.later;
        script_update_script();
        EXPECT_EQ(marks().size(), c.done ? 1u : 0u);
    }
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

// A script started during the walk is appended before the head and gets its
// first slice in the same walk.
TEST_F(Scripts, ScriptsStartedDuringTheWalkRunInIt)
{
    write_script("a", "mark a1\nrun_script \"b\"\nmark a2\n");
    write_script("b", "mark b1\n");
    start("a");
    script_update_script();
    EXPECT_EQ(marks(), (std::vector<std::string>{"a1", "b1"}));
    EXPECT_EQ(names(), std::vector<std::string>{"a"});
    script_update_script();
    EXPECT_EQ(marks(), (std::vector<std::string>{"a1", "b1", "a2"}));
    EXPECT_EQ(script_global_running_script_list, nullptr);
    EXPECT_TRUE(log.errors().empty());
}

// Scripts removed while the walk is under way: the walk goes on from the
// successor each removed script had, and a script ended during its own
// command is never touched again once released (the sanitizer build checks).
TEST_F(Scripts, RemovalsDuringTheWalk)
{
    struct {
        const char* name;
        std::vector<std::pair<const char*, const char*>> scripts;  // name, source
        std::vector<std::string> marks;
        std::vector<std::string> left;
    } const cases[] = {
        {"the current script ends itself",
         {{"h", "wait 1000"},
          {"x", "mark x1\nunload_script \"x\"\nmark x2"},
          {"y", "mark y\nwait 1000"}},
         {"x1", "y"},
         {"h", "y"}},
        {"the current script ends its successor",
         {{"h", "wait 1000"},
          {"x", "mark x\nunload_script \"y\"\nwait 1000"},
          {"y", "mark y"},
          {"z", "mark z\nwait 1000"}},
         {"x", "z"},
         {"h", "x", "z"}},
        {"the current script ends the head",
         {{"h", "wait 1000"},
          {"x", "mark x\nunload_script \"h\"\nwait 1000"},
          {"y", "mark y\nwait 1000"}},
         {"x", "y"},
         {"x", "y"}},
        {"the head ends itself: the others wait for the next frame",
         {{"h", "mark h"}, {"x", "mark x\nwait 1000"}},
         {"h"},
         {"x"}},
        {"the list is emptied",
         {{"h", "wait 1000"},
          {"x", "mark x\nunload_script \"h\"\nunload_script \"y\"\nunload_script \"x\""},
          {"y", "mark y"}},
         {"x"},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        for (const auto& [name, source] : c.scripts)
            write_script(name, source);
        for (const auto& [name, source] : c.scripts)
            start(name);
        script_update_script();
        EXPECT_EQ(marks(), c.marks);
        EXPECT_EQ(names(), c.left);
        script_cleanup_script_list();
    }
}

// The animation path gives a new script a slice inside another script's
// command. Here the nested slice ends the running script and its successor:
// the command in progress finishes on the ended script's own tables, and
// the walk follows the recorded successors to the first script still
// running.
TEST_F(Scripts, ANestedSliceEndsTheRunningScriptAndItsSuccessor)
{
    write_script("h", "wait 1000");
    write_script("x", "mark nest\nmark x2");
    write_script("y", "mark y");
    write_script("z", "mark z\nwait 1000");
    write_script("k", "unload_script \"x\"\nunload_script \"y\"\nmark k");
    service_double_host.on_call = [](const std::string& call) {
        running_script* nested = nullptr;
        if (call == "entity_check_environment_name(nest)" &&
            script_initiate_script("k", &nested) == 0.0f && nested)
            parse_run_script(nested);
    };
    for (const char* name : {"h", "x", "y", "z"})
        start(name);
    script_update_script();
    EXPECT_EQ(marks(), (std::vector<std::string>{"nest", "k", "z"}));
    EXPECT_EQ(names(), (std::vector<std::string>{"h", "z"}));
    EXPECT_TRUE(log.errors().empty());
}

// The walk takes out of the frame the time that passed during it, never
// less than none.
TEST_F(Scripts, TheWalkReportsTheTimeItTook)
{
    write_script("slow", "mark slow\nwait 1000\n");
    float step = 7.5f;
    service_double_host.on_call = [&](const std::string&) { game_time += step; };
    game_time = 100.0f;
    start("slow");
    EXPECT_EQ(script_update_script(), 7.5f);
    script_cleanup_script_list();
    start("slow");
    step = -20.0f;
    EXPECT_EQ(script_update_script(), 0.0f);
}

// The commands of a walk run inside one entity walk, so an entity a command
// unloads stays in memory until the walk has ended.
TEST_F(Scripts, TheWalkIsOneEntityWalk)
{
    write_script("a", "mark a\nwait 1000\n");
    write_script("b", "mark b\nwait 1000\n");
    std::vector<int32_t> depths;
    service_double_host.on_call = [&](const std::string&) {
        depths.push_back(service_double_host.walk_depth);
    };
    start("a");
    start("b");
    script_update_script();
    EXPECT_EQ(marks(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(depths, (std::vector<int32_t>(depths.size(), 1)));
    EXPECT_FALSE(depths.empty());
    EXPECT_EQ(service_double_host.walk_brackets, (std::vector<std::string>{"begin", "end"}));
}

// A slice given from outside any walk (the animation path in the entity
// update) releases a script that ends in it when it returns.
TEST_F(Scripts, ASliceFromOutsideTheWalk)
{
    write_script("play", "mark played\n");
    running_script* script = start("play");
    EXPECT_EQ(parse_run_script(script), 1);
    EXPECT_EQ(marks(), std::vector<std::string>{"played"});
    EXPECT_EQ(script_global_running_script_list, nullptr);
}

// Scripts that end and start each other anew would keep one walk going for
// ever; the walk stops after a bound of slices of the scripts it started,
// and the rest runs next frame.
TEST_F(Scripts, AWalkIsBounded)
{
    write_script("ping", "unload_script \"pong\"\nrun_script \"pong\"\n");
    write_script("pong", "unload_script \"ping\"\nrun_script \"ping\"\n");
    debug_log.notice_level = -1;  // thousands of starts and misses
    start("ping");
    script_update_script();
    EXPECT_EQ(log.errors(),
              std::vector<std::string>{"script_update_script stops after 1024 slices of the "
                                       "scripts it started; the rest run next frame"});
    EXPECT_EQ(names().size(), 2u);
}

// However many scripts wait, each walk gives every one its slice, and the
// scripts started during the walk theirs.
TEST_F(Scripts, NoScriptWaitsBehindManyBlockedOnes)
{
    const std::string blocked = assemble("wait 100000\n");
    for (int i = 0; i < 1100; ++i) {
        std::string name = "blocked" + std::to_string(i);
        dir.write("Script/" + name + ".scw", blocked);
        start(name.c_str());
    }
    // The last in the list starts a child at each of its slices.
    write_script("last", "mark last\nrun_script \"child\"\nelse 0\n");
    write_script("child", "mark child\n");
    start("last");
    debug_log.notice_level = -1;
    script_update_script();
    EXPECT_EQ(marks(), (std::vector<std::string>{"last", "child"}));
    script_update_script();
    EXPECT_EQ(marks(), (std::vector<std::string>{"last", "child", "last", "child"}));
    EXPECT_TRUE(log.errors().empty());
}

// A chain of scripts each started by the one before, longer than the bound:
// the walk that reaches the bound stops, and the next goes on from there.
TEST_F(Scripts, AChainLongerThanTheBoundGoesOnNextFrame)
{
    const int chain = 1100;
    for (int i = 0; i < chain; ++i)
        write_script(("chain" + std::to_string(i)).c_str(),
                     "run_script \"chain" + std::to_string(i + 1) + "\"\n");
    write_script(("chain" + std::to_string(chain)).c_str(), "mark end\n");
    debug_log.notice_level = -1;
    start("chain0");
    script_update_script();
    EXPECT_TRUE(marks().empty());
    EXPECT_EQ(names().size(), 1026u);  // the first, the 1024 it started and the next
    EXPECT_EQ(log.errors().size(), 1u);
    script_update_script();
    EXPECT_EQ(marks(), std::vector<std::string>{"end"});
    EXPECT_EQ(names().size(), (size_t)chain);
}

TEST_F(Scripts, Subscripts)
{
    // A child that cannot be started is reported, and the parent goes on.
    write_script("parent", "run_script \"missing\"\nmark after\n");
    start("parent");
    script_update_script();
    EXPECT_EQ(marks(), std::vector<std::string>{"after"});
    EXPECT_TRUE(log.contains("Couldn't init subscript missing"));
    EXPECT_EQ(script_global_running_script_list, nullptr);

    // A child of a path that runs already: the parent waits for that copy
    // to end, then starts and waits for a fresh one.
    reset();
    write_script("child", "wait 100\nmark child\n");
    write_script("setup", "run_setup_script \"child\"\nmark setup\n");
    game_time = 0.0f;
    start("child");
    start("setup");
    script_update_script();  // the child waits; the parent's start finds it running
    game_time = 100.0f;
    script_update_script();  // the child ends as the head: the walk stops
    EXPECT_EQ(marks(), std::vector<std::string>{"child"});
    EXPECT_EQ(names(), std::vector<std::string>{"setup"});
    script_update_script();  // the parent starts its own copy, which waits
    EXPECT_EQ(names(), (std::vector<std::string>{"setup", "child"}));
    game_time = 200.0f;
    script_update_script();  // the parent still waits; its copy ends
    script_update_script();
    EXPECT_EQ(marks(), (std::vector<std::string>{"child", "child", "setup"}));
    EXPECT_EQ(script_global_running_script_list, nullptr);
    EXPECT_EQ(log.notices().size(), 3u) << "two starts of the child, one of the parent";
    EXPECT_TRUE(log.errors().empty());
}

// The parent knows its child by serial number: another script at the
// address the child had is not the child.
TEST_F(Scripts, AChildIsKnownByItsSerialNumber)
{
    write_script("parent", "wait 1000");
    write_script("child", "wait 1000");
    running_script* parent = start("parent");
    running_script* child = start("child");
    EXPECT_EQ(parse_block_for_script(parent, "child"), 0);  // runs already: no child yet
    EXPECT_EQ(parent->child_script, nullptr);
    script_unload_script("child");
    EXPECT_EQ(parse_block_for_script(parent, "child"), 0);
    child = parent->child_script;
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(parse_block_for_script(parent, "child"), 0);
    // As if the child had ended and a new script had taken its place.
    child->serial += 100;
    EXPECT_EQ(parse_block_for_script(parent, "child"), 1);
    EXPECT_EQ(parent->child_script, nullptr);
    EXPECT_EQ(parent->child_serial, 0u);
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
    // Ended from outside every slice, a script's memory goes at once.
    int64_t live = heap_live_blocks();
    running_script* d = run("d");
    EXPECT_GT(heap_live_blocks(), live);
    EXPECT_EQ(script_terminate_script(d), 1);
    EXPECT_EQ(heap_live_blocks(), live);
}

// Each script that has a companion is ended, and its companion appended;
// the companions are not examined in the same pass.
TEST_F(Scripts, AbortCompanionsReplaceTheirScripts)
{
    struct {
        std::vector<const char*> companions;
        std::vector<std::string> left;
    } const cases[] = {
        {{}, {"a", "b", "c"}},
        {{"b_abort"}, {"a", "c", "b_abort"}},
        {{"a_abort", "b_abort", "c_abort", "a_abort_abort"}, {"a_abort", "b_abort", "c_abort"}},
    };
    for (const auto& c : cases) {
        reset();
        for (const char* companion : c.companions)
            write_script(companion, "wait 1\n");
        run("a");
        run("b");
        run("c");
        EXPECT_EQ(script_abort_all_scripts(), 1);
        EXPECT_EQ(names(), c.left);
        EXPECT_TRUE(log.errors().empty());
        std::filesystem::remove_all(dir.file("Script"));
    }
}

// A start finds the entities of its table in the ring or loads them (ids
// above 0), and the sounds among the loaded ones or loads them (ids 0 and
// above); what does not resolve marks the start as flawed.
TEST_F(Scripts, AStartResolvesItsEntitiesAndSounds)
{
    const char* tables = R"(
.entity "skipped", "never", 0
.entity "hero", "hero", 1
.entity "other", "elsewhere", -1
.sound "step", "step.wav", 0
.sound "echo", "echo.wav", -1
)";
    write_script("level", std::string(tables) + "wait 1\n");
    write_script("again", std::string(tables) + "wait 1\n");
    std::strcpy(game_globals.entity_pathname, "c:\\data\\win\\entity");
    std::strcpy(game_globals.sound_pathname, "c:\\data\\win\\sound");
    game_globals.gravity = -386.0f;
    game_globals.sound_enable = 1;

    running_script* level = start("level");
    const parsed_entity* hero = level->parsed_entity_list->next;
    ASSERT_NE(hero->entity, nullptr);
    EXPECT_EQ(service_double_host.ring, hero->entity);
    EXPECT_EQ(service_double_host.ring_size, 1);
    EXPECT_EQ(level->parsed_entity_list->entity, nullptr);
    EXPECT_EQ(hero->next->entity, nullptr);
    EXPECT_EQ(service_double_sound_name(level->parsed_sound_list->sound_container), "step.wav");
    EXPECT_EQ(level->parsed_sound_list->next->sound_container, nullptr);
    std::string directories = std::string(game_globals.entity_pathname) + ", " +
                              game_globals.model_pathname + ", " + game_globals.shaders_pathname +
                              ", " + game_globals.bitmaps_pathname + ", " +
                              game_globals.animation_pathname + ", " +
                              game_globals.anim_table_pathname + ", " + game_globals.ai_pathname +
                              ", " + game_globals.sound_pathname;
    EXPECT_EQ(service_calls, (std::vector<std::string>{
                                 "entity_io_find_in_ring(hero)",
                                 "entity_io_load(hero, " + directories + ", -386, 0, 0)",
                                 "entity_io_add_to_ring(hero)",
                                 "entity_io_find_in_ring(elsewhere)",
                                 "sound_add_forget_funct()",
                                 "sound_find(step.wav)",
                                 "sound_load(step.wav, 0, c:\\data\\win\\sound)",
                                 "sound_find(echo.wav)",
                             }));
    EXPECT_EQ(log.warnings(),
              std::vector<std::string>{"Script references sound echo.wav that is not loaded"});
    EXPECT_TRUE(log.errors().empty());

    // A second script shares what the first loaded.
    service_calls.clear();
    running_script* again = start("again");
    EXPECT_EQ(again->parsed_entity_list->next->entity, hero->entity);
    EXPECT_EQ(again->parsed_sound_list->sound_container, level->parsed_sound_list->sound_container);
    EXPECT_TRUE(service_calls_of("entity_io_load").empty());
    EXPECT_TRUE(service_calls_of("sound_load").empty());
}

TEST_F(Scripts, AFlawedStartStillStarts)
{
    write_script("entities", R"(
.entity "first", "first", 1
.entity "missing", "missing", 2
.entity "after", "after", 3
wait 1
)");
    write_script("sounds", ".sound \"boom\", \"boom.wav\", 1\nwait 1\n");
    write_script("quiet", "wait 1\n");  // no sounds: nothing to resolve
    service_double_host.missing_entities = {"missing"};
    service_double_host.missing_sounds = {"boom.wav"};
    game_globals.sound_enable = 1;

    running_script* entities = start("entities");
    ASSERT_NE(entities, nullptr);
    EXPECT_NE(entities->parsed_entity_list->entity, nullptr);
    EXPECT_EQ(entities->parsed_entity_list->prev->entity, nullptr) << "resolution stops";
    EXPECT_TRUE(service_calls_of("entity_io_find_in_ring").size() == 2);
    running_script* sounds = start("sounds");
    ASSERT_NE(sounds, nullptr);
    start("quiet");
    std::vector<std::string> errors = log.errors();
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[0], "Could not entity_io_load 'missing' in parse_load_all_entities");
    EXPECT_EQ(errors[1], "There was an error in script_initiate_script for 'entities'");
    // This line has no end of its own: the next entry follows on it.
    EXPECT_EQ(errors[2].rfind("Couldn't find sound boom.wav in parse_load_all_soundsNOTICE", 0),
              0u);
    EXPECT_EQ(errors[3], "There was an error in script_initiate_script for 'sounds'");
    EXPECT_EQ(names(), (std::vector<std::string>{"entities", "sounds", "quiet"}));

    // With sound off (in the configuration, or for want of an output) no
    // sound is looked for.
    service_double_host.sound_enabled = 0;
    service_calls.clear();
    EXPECT_EQ(parse_load_all_sounds(sounds->parsed_sound_list), 1);
    EXPECT_TRUE(service_calls.empty());
}

// An entity or sound the runtime unloads no longer resolves in any script.
TEST_F(Scripts, UnloadedEntitiesAndSoundsAreForgotten)
{
    write_script("a", ".entity \"hero\", \"hero\", 1\n.sound \"step\", \"step.wav\", 0\nwait 1\n");
    write_script("b", ".entity \"hero\", \"hero\", -1\nwait 1\n");
    game_globals.sound_enable = 1;
    running_script* a = start("a");
    running_script* b = start("b");
    win_entity* hero = a->parsed_entity_list->entity;
    ASSERT_NE(hero, nullptr);
    EXPECT_EQ(b->parsed_entity_list->entity, hero);
    win_sound_container* step = a->parsed_sound_list->sound_container;
    ASSERT_NE(step, nullptr);

    script_forget_entity(hero);         // as the entity's unload does
    service_double_unload_sound(step);  // the sound's unload calls what the start registered
    EXPECT_EQ(parse_find_entity_by_id(1.0f, a->parsed_entity_list), nullptr);
    EXPECT_EQ(parse_find_entity_by_id(-1.0f, b->parsed_entity_list), nullptr);
    EXPECT_EQ(parse_find_sound_by_id(0.0f, a->parsed_sound_list), nullptr);
}

// A command that blocks with an error is tried again in every slice, as it
// must (the entity may come), but says so once, not once a frame. Once it
// is done, what the commands after it say is heard again.
TEST_F(Scripts, ABlockedCommandSaysWhyOnce)
{
    write_script("a", ".entity \"lamp\", \"lamp\", -1\nload_entity -1\nmark loaded\n"
                      "wait 1\nload_entity 9\nwait 1000\n");
    service_double_host.missing_entities = {"lamp"};
    running_script* a = start("a");
    ASSERT_NE(a, nullptr);
    for (int frame = 0; frame < 4; ++frame)
        script_update_script();
    EXPECT_EQ(a->blocked, 1);
    EXPECT_EQ(service_calls_of("entity_io_load").size(), 4u) << "tried in every slice";
    EXPECT_EQ(log.errors(), std::vector<std::string>{
                                "Could not entity_io_load 'lamp' in parse_load_all_entities"});

    service_double_host.missing_entities = {};
    log.clear();
    script_update_script();
    EXPECT_EQ(marks(), std::vector<std::string>{"loaded"});
    game_time += 10.0f;
    script_update_script();
    EXPECT_EQ(log.errors(), std::vector<std::string>{
                                "Couldn't find entity id 9 in script_load_referenced_entity"});
}

// `assign` to the state value of an entity that is not loaded waits until
// it is.
TEST_F(Scripts, AnAssignWaitsForItsEntity)
{
    write_script("a", ".entity \"door\", \"door\", -1\n.state_variable \"open\", 0, 0, -1\n"
                      "assign state(0), 4\nmark assigned\n");
    running_script* a = start("a");
    script_update_script();
    script_update_script();
    EXPECT_TRUE(marks().empty());
    EXPECT_EQ(a->blocked, 1);
    win_entity* door = service_double_entity("door");
    service_double_state_values(door) = {0.0f};
    a->parsed_entity_list->entity = door;  // as a load of the entity resolves it
    script_update_script();
    EXPECT_EQ(marks(), std::vector<std::string>{"assigned"});
    EXPECT_EQ(service_double_state_values(door), std::vector<float>{4.0f});
}

// not_running: 1.0 while the script runs alone, else 0.0 (no other running
// script has its name).
TEST_F(Scripts, NotRunningLooksAtTheOtherScripts)
{
    write_script("a", ".variable \"alone\", -1, 1\n.function not_running\n"
                      "assign var(1), call(0)\nwait 1000\n");
    write_script("b", "wait 1000\n");
    running_script* a = start("a");
    script_update_script();
    EXPECT_EQ(parse_get_variable_value(1.0f, a->parsed_variable_list), 1.0f);
    start("b");
    running_script* copy = run("A");  // the same name in another case, as no start would allow
    int success = 1;
    EXPECT_EQ(parse_execute_expression_function(0.0f, a, &success), 1.0f);
    script_terminate_script(copy);
    EXPECT_EQ(parse_execute_expression_function(0.0f, a, &success), 0.0f);
}

TEST_F(Scripts, ABrokenCommandEndsItsScriptWithAnError)
{
    std::string path = write_script("broken", "wait 1\nrun_script \"next\"\n", 128 + 28);
    game_time = 0.0f;
    start("broken");
    script_update_script();
    game_time = 1.0f;
    script_update_script();
    EXPECT_EQ(script_global_running_script_list, nullptr);
    EXPECT_EQ(log.errors(), std::vector<std::string>{
                                "Script " + path +
                                ": the command at code offset 20 runs past the end of the code"});
}

TEST_F(Scripts, AScriptThatCannotBeLoadedDoesNotStart)
{
    write_script("header", "", 100);
    write_script("negative");
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
         {"Wrong file type in '" + path_of("other") + "', found 13 expected 16",
          "Couldn't load compiled script '" + path_of("other") + "' in script_initiate_script"}},
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
if call(0) = 0, yes, 0, done    # the entity stands in no trigger: true
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
