#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "anim_io.h"
#include "demo_anim.h"
#include "heap.h"
#include "test_support.h"

namespace {

// A state table as its loader leaves it: the animation names, as many empty
// slots, and the states with their animation indexes and times.
struct TestTable {
    win_ast* table = nullptr;
    explicit TestTable(std::vector<const char*> names, std::vector<win_anim_table_base> states = {})
    {
        table = malloc_win_ast("guard");
        int32_t n = (int32_t)names.size();
        table->mow_anim_filename_array = malloc_win_filename_ptr_array(n);
        table->mow_anim_filename_array_size = n;
        for (int32_t i = 0; i < n; ++i)
            table->mow_anim_filename_array[i] = names[i] ? STRDUP(names[i]) : nullptr;
        table->mow_anim_ptr_array = malloc_mow_anim_ptr_array(n);
        table->mow_anim_ptr_array_size = n;
        if (!states.empty()) {
            table->win_anim_table_base_array = malloc_win_anim_table_base_array(
                (int32_t)states.size());
            table->win_anim_table_base_array_size = (int32_t)states.size();
            std::copy(states.begin(), states.end(), table->win_anim_table_base_array);
        }
    }
    ~TestTable() { release(); }
    // Frees the table, which drops its references.
    void release()
    {
        if (table) {
            EXPECT_EQ(free_win_ast(table), 1);
        }
        table = nullptr;
    }
    const win_anim_table_base& state(int i) const { return table->win_anim_table_base_array[i]; }
};

// A state of the default template with an animation and a stretch.
win_anim_table_base state_of(int32_t anim_index, float begin_time, float end_time)
{
    win_anim_table_base state = *(const win_anim_table_base*)win_anim_table_base_desc.templ;
    state.mow_anim_index = anim_index;
    state.begin_time = begin_time;
    state.end_time = end_time;
    return state;
}

class AnimIo : public testing::Test {
protected:
    void SetUp() override { test_reset_state(); }
    void TearDown() override { test_reset_state(); }

    // Writes the demo wave (two tracks) as `file`.trw, storing `name` (the
    // file's base name when NULL), stretched to `end_time`, without its
    // tracks when `trackless`.
    void write_anim(const char* file, const char* name = nullptr, float end_time = 1000.0f,
                    bool trackless = false)
    {
        mow_anim* anim = demo_anim_make_wave(name ? name : file);
        anim->mow_anim_end_time = end_time;
        if (trackless) {
            free_mow_track_array(anim->mow_track_array, anim->mow_track_array_size);
            anim->mow_track_array = nullptr;
            anim->mow_track_array_size = 0;
        }
        std::string path = dir.file(std::string(file) + ".trw");
        EXPECT_EQ(demo_anim_write_file(path.c_str(), anim), 1);
        free_mow_anim(anim);
    }

    TempDir dir;
    LogCapture log;
};

}  // namespace

TEST_F(AnimIo, TablesThatNameOneAnimationShareIt)
{
    write_anim("wave");
    TestTable first({"wave"}), second({"wave"});
    ASSERT_EQ(anim_io_load_ast_anims(first.table, 2, dir.path().c_str()), 1);
    ASSERT_EQ(anim_io_load_ast_anims(second.table, 2, dir.path().c_str()), 1);
    mow_anim* wave = first.table->mow_anim_ptr_array[0];
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(second.table->mow_anim_ptr_array[0], wave);
    EXPECT_EQ(wave->mow_anim_ref_cnt, 3);  // the list and each table
    EXPECT_EQ(anim_io_global_mow_anim_list, wave);
    EXPECT_EQ(anim_io_global_mow_anim_list_size, 1);
    EXPECT_EQ(log.notices(),
              std::vector<std::string>{"Reading TRW '" + dir.path() + "\\wave.trw'"});

    // Releasing both tables gives the counts back: the list alone holds it.
    first.release();
    second.release();
    EXPECT_EQ(wave->mow_anim_ref_cnt, 1);
    EXPECT_EQ(anim_io_global_mow_anim_list_size, 1);
    EXPECT_TRUE(log.errors().empty());

    // A file whose stored name is not its base name is read again.
    write_anim("walk", "walk_cycle");
    TestTable third({"walk", "walk"});
    ASSERT_EQ(anim_io_load_ast_anims(third.table, -1, dir.path().c_str()), 1);
    EXPECT_NE(third.table->mow_anim_ptr_array[0], third.table->mow_anim_ptr_array[1]);
    EXPECT_EQ(anim_io_global_mow_anim_list_size, 3);
}

TEST_F(AnimIo, StateTimesAreBroughtIntoTheAnimation)
{
    write_anim("long", nullptr, 2000.0f);
    struct Case {
        const char* what;
        win_anim_table_base state;
        float begin_time, end_time;
        std::vector<std::string> warnings;
    };
    const std::string after = ", 'guard'";
    const Case cases[] = {
        {"no begin time: the whole animation", state_of(0, -1.0f, 500.0f), 0.0f, 2000.0f, {}},
        {"no end time", state_of(0, 300.0f, -1.0f), 0.0f, 2000.0f, {}},
        {"inside", state_of(0, 300.0f, 100.0f), 300.0f, 100.0f, {}},
        {"begin past the end",
         state_of(0, 3000.0f, 1000.0f),
         2000.0f,
         1000.0f,
         {"Anim table's begin time 3000.000000 too large (max = 2000.000000), setting to maximum "
          "time" +
          after}},
        {"both past the end",
         state_of(0, 3000.0f, 3000.0f),
         2000.0f,
         2000.0f,
         {"Anim table's begin time 3000.000000 too large (max = 2000.000000), setting to maximum "
          "time" +
              after,
          "Anim table's end time 3000.000000 too large (max = 2000.000000), setting to maximum "
          "time" +
              after}},
        {"both before the begin",
         state_of(0, -5.0f, -2.0f),
         0.0f,
         0.0f,
         {"Anim table's begin time -5.000000 too small (min = 0.000000), setting to default "
          "minimum time" +
              after,
          "Anim table's end time -2.000000 too small (min = 0.000000), setting to minimum time" +
              after}},
        {"no animation", state_of(-1, -1.0f, -1.0f), -1.0f, -1.0f, {}},
        {"an animation the table does not have",
         state_of(1, 5.0f, 6.0f),
         5.0f,
         6.0f,
         {"State 0 of 'guard' names animation 1 of 1."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestTable table({"long"}, {c.state});
        log.clear();
        ASSERT_EQ(anim_io_load_ast_anims(table.table, -1, dir.path().c_str()), 1);
        EXPECT_EQ(table.state(0).begin_time, c.begin_time);
        EXPECT_EQ(table.state(0).end_time, c.end_time);
        EXPECT_EQ(log.warnings(), c.warnings);
    }
}

TEST_F(AnimIo, EveryNameIsTriedBeforeTheTableFails)
{
    write_anim("wave");
    write_anim("trackless", nullptr, 1000.0f, true);
    const std::string missing = dir.path() + "\\missing.trw";
    std::string long_name(ANIM_IO_PATH_SIZE, 'n');
    struct Case {
        const char* what;
        std::vector<const char*> names;
        int32_t expected_num_tracks;
        std::vector<std::string> errors;  // none: the table loads
    };
    const Case cases[] = {
        {"any track count", {"wave", "trackless"}, -1, {}},
        {"no tracks expected", {"trackless"}, 0, {}},
        {"the joints of the model expected",
         {"wave", "trackless"},
         2,
         {"win_track_array_size (0) from 'guard' does not match expected_num_tracks (2).",
          "Could not load all animations"}},
        {"a missing file",
         {"missing", "wave"},
         2,
         {"Could not find '" + missing + "' for reading", "Could not load all animations"}},
        {"a missing name",
         {"wave", nullptr},
         2,
         {"Animation name 1 of 'guard' is NULL.", "Could not load all animations"}},
        {"a path too long",
         {long_name.c_str()},
         -1,
         {"Animation path '" + dir.path() + "\\" + long_name + ".trw' is too long.",
          "Could not load all animations"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestTable table(c.names, {state_of(0, -1.0f, -1.0f)});
        log.clear();
        EXPECT_EQ(anim_io_load_ast_anims(table.table, c.expected_num_tracks, dir.path().c_str()),
                  c.errors.empty() ? 1 : 0);
        EXPECT_EQ(log.errors(), c.errors);
        // Whatever loaded stays in its slot, counted; on failure the states'
        // times are left alone.
        for (int32_t i = 0; i < table.table->mow_anim_ptr_array_size; ++i) {
            if (c.names[i] && std::string(c.names[i]) == "wave") {
                EXPECT_NE(table.table->mow_anim_ptr_array[i], nullptr);
            }
        }
        EXPECT_EQ(table.state(0).begin_time, c.errors.empty() ? 0.0f : -1.0f);
    }

    // A table with fewer slots than names is refused before anything loads.
    TestTable short_of_slots({"wave", "wave"});
    short_of_slots.table->mow_anim_ptr_array_size = 1;
    log.clear();
    EXPECT_EQ(anim_io_load_ast_anims(short_of_slots.table, -1, dir.path().c_str()), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "win_ast 'guard' has 1 animation slots for 2 animation names.",
                                "Could not load all animations"}));
    short_of_slots.table->mow_anim_ptr_array_size = 2;
}

TEST_F(AnimIo, NamesResolveToIndexes)
{
    TestTable table({"idle", "walk", "Run"});
    const struct {
        const char* name;
        int32_t index;
        bool error;
    } animations[] = {{"walk", 1, false},  {"Run", 2, false},   {"run", -1, true},
                      {"none", -1, false}, {"NONE", -1, false}, {"None", -1, false}};
    for (const auto& c : animations) {
        SCOPED_TRACE(c.name);
        log.clear();
        EXPECT_EQ(anim_io_resolve_mow_anim_index(table.table, c.name), c.index);
        EXPECT_EQ(log.errors().size(), c.error ? 1u : 0u);
    }

    const char states[3][ANIM_IO_NAME_SIZE] = {"stand", "attack", "Attack_2"};
    EXPECT_EQ(anim_io_resolve_anim_index(states, 3, "attack"), 1);
    EXPECT_EQ(anim_io_resolve_anim_index(states, 2, "Attack_2"), -1);  // only the first two
    EXPECT_EQ(anim_io_resolve_anim_index(states, 3, "attack_2"), -1);
    EXPECT_EQ(log.warnings(),
              (std::vector<std::string>{"Could not find resolve anim Attack_2 to index.",
                                        "Could not find resolve anim attack_2 to index."}));
}

TEST_F(AnimIo, AFailedAllocationLeavesTheSlotsEmptyOrCounted)
{
    write_anim("wave");
    write_anim("walk");
    TestTable table({"wave", "walk"}, {state_of(1, -1.0f, -1.0f)});
    int swept = heap_failure_sweep([&] {
        int loaded = anim_io_load_ast_anims(table.table, 2, dir.path().c_str());
        // What loaded is in its slot with one reference for it; dropping
        // them and the list leaves nothing behind.
        for (int32_t i = 0; i < 2; ++i) {
            mow_anim* anim = table.table->mow_anim_ptr_array[i];
            if (anim && anim->mow_anim_ref_cnt != 2)
                loaded = 0;
            if (anim)
                free_mow_anim(anim);
            table.table->mow_anim_ptr_array[i] = nullptr;
        }
        anim_io_reset();
        table.table->win_anim_table_base_array[0] = state_of(1, -1.0f, -1.0f);
        return loaded == 1;
    });
    EXPECT_GT(swept, 10);
}
