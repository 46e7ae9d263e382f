#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "anim_io.h"
#include "ast_files_test.h"
#include "demo_anim.h"
#include "demo_ast.h"
#include "demo_model.h"
#include "file_io.h"
#include "heap.h"
#include "model_io.h"
#include "record_support.h"
#include "service_doubles.h"
#include "test_support.h"

namespace {

class AnimIoAst : public AstFilesTest {
protected:
    void SetUp() override
    {
        AstFilesTest::SetUp();
        EXPECT_EQ(demo_model_write(dir.file("figure.mow").c_str(), "figure"), 1);
        log.clear();
    }

    // Loads `path` into a new table named "guard"; the result in *loaded.
    win_ast* load(const std::string& path, int* loaded)
    {
        win_ast* table = malloc_win_ast("guard");
        *loaded = anim_io_load_ast(path.c_str(), table, dir.path().c_str(), "sounds");
        return table;
    }
};

// A table of two states: "stand" (animation "idle", the keywords and
// transitions given on lines 12 and 13) and "walk" (no animation).
std::string two_states(const std::string& keywords, const std::string& transitions = "")
{
    return "end\n"      // line 3: no sounds
           "idle\n"     // 4
           "End\n"      // 5
           "stand\n"    // 6
           "walk\n"     // 7
           "END\n"      // 8
           "stand\n"    // 9
           "idle\n"     // 10
           "stand\n" +  // 11
           keywords +   // 12
           "\n" +
           transitions + "\n" +  // 13
           "end_of_entries\n"    // 14
           "walk\n"
           "NONE\n"
           "stand\n"
           "end_of_entries\n";
}

// The masks and targets of a state's transitions, in list order.
std::vector<std::pair<int32_t, int32_t>> transitions_of(const win_anim_table_base& state)
{
    std::vector<std::pair<int32_t, int32_t>> entries;
    const win_anim_table_entry* entry = state.win_anim_table_entry_list;
    for (int32_t e = 0; e < state.win_anim_table_entry_list_size; ++e, entry = entry->next_ptr)
        entries.push_back({entry->condition_mask, entry->target_anim_index});
    return entries;
}

std::string stream_of(const win_ast* table)
{
    return written_bytes([&](FILE* file) { return write_win_ast_bin(file, table); });
}

}  // namespace

TEST_F(AnimIoAst, TheGuardLoadsFieldByField)
{
    win_ast* guard = demo_ast_make_guard("guard", "figure");
    ASSERT_NE(guard, nullptr);
    std::string path = dir.file("guard.ast");
    ASSERT_EQ(demo_ast_write(path.c_str(), guard), 1);

    int loaded = 0;
    win_ast* table = load(path, &loaded);
    EXPECT_EQ(loaded, 1);
    EXPECT_TRUE(log.errors().empty());
    EXPECT_TRUE(log.warnings().empty());
    EXPECT_EQ(log.notices().back(), "Reading AST '" + path + "'");
    EXPECT_EQ(model_io_global_mow_model_list, nullptr) << "held for the grammar pass only";

    // The table.
    EXPECT_STREQ(table->win_ast_name, "guard");
    EXPECT_STREQ(table->spaz_model_name, "figure");
    ASSERT_EQ(table->win_joint_table_list_size, 2);
    EXPECT_STREQ(table->win_joint_table_list->win_joint_table_name, "body");
    EXPECT_EQ(table->win_joint_table_list->win_joint_pair_list->first_joint_idx, 0);
    EXPECT_EQ(table->win_joint_table_list->win_joint_pair_list->last_joint_idx, 1);
    EXPECT_STREQ(table->win_joint_table_list->next_ptr->win_joint_table_name, "arm");
    ASSERT_EQ(table->sound_fx_filename_array_size, 1);
    EXPECT_STREQ(table->sound_fx_filename_array[0], "step.wav");
    ASSERT_EQ(table->sound_fx_array_size, 1);
    EXPECT_EQ(service_double_sound_name(table->sound_fx_array[0]), "step.wav");
    EXPECT_EQ(service_calls_of("sound_load"),
              std::vector<std::string>{"sound_load(step.wav, 1, sounds)"});
    ASSERT_EQ(table->mow_anim_filename_array_size, 2);
    EXPECT_STREQ(table->mow_anim_filename_array[1], "wave");
    ASSERT_EQ(table->mow_anim_ptr_array_size, 2);
    EXPECT_EQ(table->mow_anim_ptr_array[0], nullptr);
    EXPECT_EQ(table->mow_anim_ptr_array[1], nullptr);
    ASSERT_EQ(table->win_anim_table_base_array_size, 4);
    EXPECT_STREQ(table->win_anim_state_filename_array[3], "hurt");
    EXPECT_EQ(table->current_anim_index, 0);
    EXPECT_EQ(table->anim_input_flags, 0);

    // The states.
    const win_anim_table_base* s = table->win_anim_table_base_array;
    EXPECT_EQ(s[0].anim_index, 0);
    EXPECT_EQ(s[0].mow_anim_index, 0);
    EXPECT_EQ(s[0].next_anim_index, 0);
    EXPECT_EQ(s[0].anim_time_multiplier, 1.5f);
    EXPECT_EQ(s[0].rotation_multiplier.x, 0.0f);
    EXPECT_EQ(s[0].rotation_multiplier.y, 1.0f);
    EXPECT_EQ(s[0].translation_multiplier.z, 1.0f);
    EXPECT_EQ(s[0].anim_type_flags, 0x18000);  // use_tail_idle, idle_anim
    EXPECT_EQ(s[0].reaction_flags, 0);
    EXPECT_EQ(s[0].win_joint_table_idx, 0);
    EXPECT_EQ(s[0].begin_time, -1.0f);
    EXPECT_EQ(transitions_of(s[0]),
              (std::vector<std::pair<int32_t, int32_t>>{{0x8, 1}, {0x40, 2}}));

    EXPECT_EQ(s[1].mow_anim_index, 1);
    EXPECT_EQ(s[1].begin_time, 250.0f);
    EXPECT_EQ(s[1].end_time, 1000.0f);
    EXPECT_EQ(s[1].translation_multiplier.y, 0.0f);
    EXPECT_EQ(s[1].translation_multiplier.z, 2.0f);
    EXPECT_EQ(s[1].extra_translation_velocity.z, 10.0f);
    EXPECT_EQ(s[1].sound_effect, 0);
    EXPECT_STREQ(s[1].play_script, "guard_walks");
    EXPECT_EQ(s[1].anim_type_flags, 0x6000);  // turn, side_step
    EXPECT_EQ(transitions_of(s[1]),
              (std::vector<std::pair<int32_t, int32_t>>{{0x8, 1}, {0x4000, 0}}));

    EXPECT_EQ(s[2].anim_type_flags, 0x80080);  // attack, force_reset
    EXPECT_EQ(s[2].attack_value, 12);
    EXPECT_EQ(s[2].reaction_flags, 0x2808);  // melee_1, hard, front
    EXPECT_EQ(s[2].extra_rotation_velocity.y, 0.5f);
    EXPECT_EQ(s[2].combat_win_joint_table_idx, 1);
    EXPECT_EQ(s[2].vulnerable_win_joint_table_idx, 0);
    EXPECT_EQ(s[2].block_to_anim_index, 3);
    EXPECT_EQ(s[2].block_to_value, 40);
    EXPECT_EQ(transitions_of(s[2]), (std::vector<std::pair<int32_t, int32_t>>{{0x28, 2}}));

    EXPECT_EQ(s[3].anim_type_flags, 0x5);    // hit, impervious_to_projectile
    EXPECT_EQ(s[3].reaction_flags, 0x5000);  // back, fatal
    EXPECT_EQ(s[3].win_anim_table_entry_list, nullptr);
    EXPECT_EQ(s[3].play_script, nullptr);

    // Everything else as made: the two streams differ only in the slots'
    // counts, which the loader sets.
    guard->mow_anim_ptr_array_size = 2;
    guard->sound_fx_array_size = 1;
    EXPECT_EQ(stream_of(table), stream_of(guard));

    // The animations load into the slots, the states' stretches within them.
    for (const char* name : {"idle", "wave"}) {
        mow_anim* anim = demo_anim_make_wave(name);
        EXPECT_EQ(demo_anim_write_file(dir.file(std::string(name) + ".trw").c_str(), anim), 1);
        free_mow_anim(anim);
    }
    EXPECT_EQ(anim_io_load_ast_anims(table, DEMO_MODEL_JOINTS, dir.path().c_str()), 1);
    EXPECT_EQ(s[0].end_time, (float)DEMO_ANIM_LENGTH);
    EXPECT_EQ(s[1].begin_time, 250.0f);

    // A sound the sound module unloads leaves the table's slot.
    service_double_unload_sound(table->sound_fx_array[0]);
    EXPECT_EQ(table->sound_fx_array[0], nullptr);
    EXPECT_EQ(free_win_ast(table), 1);
    EXPECT_EQ(free_win_ast(guard), 1);
}

TEST_F(AnimIoAst, KeywordsAndTransitionsFillTheState)
{
    struct Case {
        const char* what;
        std::string keywords, transitions;
        std::function<void(const win_anim_table_base&)> check;
        std::vector<std::string> messages = {};  // errors, warnings and notices, in order
    };
    const std::string at = " at " + dir.file("test.ast") + "(12)";
    const Case cases[] = {
        {"keywords in any case; a second play_script replaces the first",
         "ANIM_TIME_MULTIPLIER 2 Play_Script first play_script second", "",
         [](const win_anim_table_base& s) {
             EXPECT_EQ(s.anim_time_multiplier, 2.0f);
             EXPECT_STREQ(s.play_script, "second");
         }},
        {"a stretch in frames may run backwards",
         "begin_end_frame 30 15",
         "",
         [](const win_anim_table_base& s) {
             EXPECT_EQ(s.begin_time, 999.99994f);
             EXPECT_EQ(s.end_time, 499.99997f);
         },
         {"end_time before begin_time" + at}},
        {"a stretch in seconds", "begin_end_time 2 2", "",
         [](const win_anim_table_base& s) {
             EXPECT_EQ(s.begin_time, 2000.0f);
             EXPECT_EQ(s.end_time, 2000.0f);
         }},
        {"values truncated toward zero", "sound_effect 2.9 attack -1.5", "",
         [](const win_anim_table_base& s) {
             EXPECT_EQ(s.sound_effect, 2);
             EXPECT_EQ(s.attack_value, -1);
             EXPECT_EQ(s.anim_type_flags, 0x80);
         }},
        {"joint tables of a table without any",
         "joint_table 7 combat_joint_table 7 vulnerable_joint_table arms", "",
         [](const win_anim_table_base& s) {
             EXPECT_EQ(s.win_joint_table_idx, 7);
             EXPECT_EQ(s.combat_win_joint_table_idx, -1);
             EXPECT_EQ(s.vulnerable_win_joint_table_idx, -1);
         }},
        {"vectors",
         "translation_multiplier 1 2 3 rotation_multiplier 0 -1 0 extra_rotation_velocity 0 0.5 0 "
         "extra_translation_velocity 0 0 -10",
         "",
         [](const win_anim_table_base& s) {
             EXPECT_EQ(s.translation_multiplier.z, 3.0f);
             EXPECT_EQ(s.rotation_multiplier.y, -1.0f);
             EXPECT_EQ(s.rotation_multiplier.z, 0.0f);
             EXPECT_EQ(s.extra_rotation_velocity.y, 0.5f);
             EXPECT_EQ(s.extra_translation_velocity.z, -10.0f);
         }},
        {"flags",
         "hit Impervious reload force_reset impervious_to_standard_3 standard_1 FATAL right "
         "react_projectile_1",
         "",
         [](const win_anim_table_base& s) {
             EXPECT_EQ(s.anim_type_flags, 0x1 | 0x2 | 0x1000 | 0x80000 | 0x400000);
             EXPECT_EQ(s.reaction_flags, 0x1 | 0x1000 | 0x10000 | 0x200000);
         }},
        {"blocked into a state", "block_to walk 40", "",
         [](const win_anim_table_base& s) {
             EXPECT_EQ(s.block_to_anim_index, 1);
             EXPECT_EQ(s.block_to_value, 40);
         }},
        {"blocked into no state",
         "block_to nobody 40",
         "",
         [](const win_anim_table_base& s) {
             EXPECT_EQ(s.block_to_anim_index, -1);
             EXPECT_EQ(s.block_to_value, 40);
         },
         {"Could not find resolve anim nobody to index.",
          "Couldn't find blocking animation state index for state 0"}},
        {"masks combine; long and short spellings are one action; \";\" alone is mask 0",
         "",
         "u b ; walk up u ; stand ; walk e ; walk u ; nowhere d",
         [](const win_anim_table_base& s) {
             EXPECT_EQ(transitions_of(s),
                       (std::vector<std::pair<int32_t, int32_t>>{
                           {0x28, 1}, {0x8, 0}, {0, 1}, {0x4000, 1}, {0x8, -1}}));
         },
         {"Could not find resolve anim nowhere to index."}},
        {"a first transition token that is a keyword", "", "left ; walk l ; walk",
         [](const win_anim_table_base& s) {
             EXPECT_EQ(s.reaction_flags, 0x8000);
             EXPECT_EQ(transitions_of(s),
                       (std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {0x2, 1}}));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = ast(two_states(c.keywords, c.transitions));
        int loaded = 0;
        log.clear();
        win_ast* table = load(path, &loaded);
        EXPECT_EQ(loaded, 1);
        std::vector<std::string> messages;
        for (const std::string& line : log.lines())
            if (line.rfind("NOTICE", 0) != 0 || line.find("AST '") == std::string::npos)
                messages.push_back(line.substr(line.find("): ") + 3));
        EXPECT_EQ(messages, c.messages);
        ASSERT_EQ(table->win_anim_table_base_array_size, 2);
        const win_anim_table_base& walk = table->win_anim_table_base_array[1];
        EXPECT_EQ(walk.mow_anim_index, -1);
        EXPECT_EQ(walk.next_anim_index, 0);
        EXPECT_EQ(walk.translation_multiplier.x, 1.0f);
        c.check(table->win_anim_table_base_array[0]);
        EXPECT_EQ(free_win_ast(table), 1);
    }
}

TEST_F(AnimIoAst, BrokenFilesFailWithTheirLineAndLeakNothing)
{
    const std::string file = dir.file("test.ast");
    const std::string at = " at " + file + "(12)";
    const std::string head =
        "end\nidle\nend\nstand\nwalk\nend\nstand\nidle\nstand\n";  // to line 11
    auto names = [](const char* prefix, int count) {
        std::string list;
        for (int i = 0; i < count; ++i)
            list += prefix + std::to_string(i) + "\n";
        return list;
    };
    const std::string collision =
        "spaz_model_name figure\ncollision_joint_table body { 0 .. 1\n} ;\n";  // lines 3 to 5
    struct Case {
        const char* what;
        std::string body;
        std::string error;  // one of the errors logged
    };
    const Case cases[] = {
        // Each keyword's error; the load reads on to the end.
        {"not a number", two_states("anim_time_multiplier fast"),
         "Could not convert 'fast' to value at line 12"},
        {"a stretch in seconds backwards", two_states("begin_end_time 1.5 0.5"),
         "end_time before begin_time" + at},
        {"a bad input token", two_states("", "u ; walk q ; walk"),
         "Bad input token 'q' in AST table at line 13"},
        {"a combat joint table out of range",
         collision + "end\nidle\nend\nstand\nend\nstand\nidle\nstand\ncombat_joint_table 7\n"
                     "end_of_entries\n",
         "combat_win_joint_table_idx = 7 out-of-range at " + file + "(14)"},
        {"an unknown joint table",
         collision + "end\nidle\nend\nstand\nend\nstand\nidle\nstand\nvulnerable_joint_table arms\n"
                     "end_of_entries\n",
         "Unknown win_joint_table 'arms' at " + file + "(14)"},
        {"a bad grammar", "idle , walk\n" + two_states(""),
         "Could not parse_ast_for_collision_tables from '" + file + "'"},
        // The file ends early anywhere.
        {"in the sounds", "step.wav\n", "Unexpected end of '" + file + "' at line 3"},
        {"in the animations", "end\nidle\n", "Unexpected end of '" + file + "' at line 4"},
        {"in the states", "end\nidle\nend\nstand\n", "Unexpected end of '" + file + "' at line 6"},
        {"in a state's names", "end\nidle\nend\nstand\nend\nstand\nidle\n",
         "Unexpected end of '" + file + "' at line 9"},
        {"in the keywords", head + "anim_time_multiplier\n",
         "Unexpected end of '" + file + "' at line 12"},
        {"after a transition's input", head + "u\n", "Unexpected end of '" + file + "' at line 12"},
        {"before a transition's target", head + "u ;\n",
         "Unexpected end of '" + file + "' at line 12"},
        {"before end_of_entries", head + "u ; walk\n",
         "Unexpected end of '" + file + "' at line 12"},
        {"before the second state", head + "end_of_entries\n",
         "Unexpected end of '" + file + "' at line 12"},
        // Lists beyond the scratch table, and no states.
        {"too many names", "end\nidle\nend\n" + names("s", ANIM_IO_MAX_NAMES + 1) + "end\n",
         "More than 499 names in the state list of '" + file + "' at line " +
             std::to_string(6 + ANIM_IO_MAX_NAMES)},
        {"a name too long", "end\n" + std::string(ANIM_IO_NAME_SIZE, 'n') + "\nend\n",
         "Name longer than 127 characters in the animation list of '" + file + "' at line 4"},
        {"no states", "end\nidle\nend\nend\n", "'" + file + "' has no states at line 6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = ast(c.body);
        int64_t live = heap_live_blocks();
        int loaded = 1;
        log.clear();
        win_ast* table = load(path, &loaded);
        EXPECT_EQ(loaded, 0);
        std::vector<std::string> errors = log.errors();
        EXPECT_NE(std::find(errors.begin(), errors.end(), c.error), errors.end())
            << testing::PrintToString(errors);
        // What was read holds together: a table without states has no
        // current state either.
        log.clear();
        EXPECT_EQ(win_ast_check_indexes(table), 1) << testing::PrintToString(log.errors());
        EXPECT_EQ(free_win_ast(table), 1);
        EXPECT_EQ(model_io_global_mow_model_list, nullptr);
        EXPECT_EQ(heap_live_blocks(), live);
    }

    // A file the loader cannot open: the grammar pass says so first.
    int loaded = 1;
    log.clear();
    win_ast* table = load(dir.file("none.ast"), &loaded);
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Could not parse_ast_for_collision_tables "
                                                     "from '" +
                                                     dir.file("none.ast") + "'"});
    EXPECT_EQ(free_win_ast(table), 1);
    log.clear();
    EXPECT_EQ(anim_io_load_ast(nullptr, table, nullptr, nullptr), 0);
    EXPECT_EQ(anim_io_load_ast("guard.ast", nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Cannot anim_io_load_ast with NULL filename.",
                                        "Cannot anim_io_load_ast with NULL win_ast."}));
}

TEST_F(AnimIoAst, ATableWithoutAnimationsLoadsWithoutSlots)
{
    int loaded = 0;
    win_ast* table = load(ast("end\nend\nstand\nend\nstand\nnone\nstand\nend_of_entries\n"),
                          &loaded);
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"mow_anim_filename_array_size is < 1."});
    EXPECT_EQ(table->mow_anim_filename_array, nullptr);
    EXPECT_EQ(table->mow_anim_ptr_array, nullptr);
    EXPECT_EQ(table->mow_anim_ptr_array_size, 0);
    EXPECT_EQ(table->win_anim_table_base_array[0].mow_anim_index, -1);
    EXPECT_EQ(free_win_ast(table), 1);
}

TEST_F(AnimIoAst, EachFailingAllocationOfALoadIsRefusedWithoutALeak)
{
    win_ast* guard = demo_ast_make_guard("guard", "figure");
    std::string path = dir.file("guard.ast");
    ASSERT_EQ(demo_ast_write(path.c_str(), guard), 1);
    EXPECT_EQ(free_win_ast(guard), 1);
    int swept = heap_failure_sweep([&] {
        int loaded = 0;
        win_ast* table = load(path, &loaded);
        if (table)
            free_win_ast(table);
        return loaded == 1;
    });
    EXPECT_GT(swept, 30);
}

TEST_F(AnimIoAst, TheBinaryFormLoadsIntoTheCallersTable)
{
    win_ast* guard = demo_ast_make_guard("guard", "figure");
    guard->mow_anim_ptr_array_size = 7;  // stored, and made again from the names
    std::string path = dir.file("guard.asb");
    FILE* file = file_open_write_version_bin(path.c_str(), FILE_TYPE_AST_BIN, FILE_VERSION_AST_BIN);
    ASSERT_EQ(write_win_ast_bin(file, guard), 1);
    EXPECT_EQ(file_close(file), 1);

    // The caller's name stays; a nameless caller takes the file's.
    for (const char* name : {"sentry", ""}) {
        SCOPED_TRACE(name);
        win_ast* table = malloc_win_ast(name);
        log.clear();
        EXPECT_EQ(anim_io_load_ast_bin(path.c_str(), table, nullptr, "sounds"), 1);
        EXPECT_EQ(log.notices().front(), "Reading AST '" + path + "'");
        EXPECT_STREQ(table->win_ast_name, name[0] ? name : "guard");
        EXPECT_EQ(table->current_anim_index, 0);
        ASSERT_EQ(table->win_anim_table_base_array_size, 4);
        EXPECT_EQ(table->win_anim_table_base_array[2].block_to_value, 40);
        EXPECT_EQ(table->mow_anim_ptr_array_size, 2);
        EXPECT_EQ(table->mow_anim_ptr_array[1], nullptr);
        ASSERT_EQ(table->sound_fx_array_size, 1);
        EXPECT_EQ(service_double_sound_name(table->sound_fx_array[0]), "step.wav");
        service_double_unload_sound(table->sound_fx_array[0]);
        EXPECT_EQ(table->sound_fx_array[0], nullptr);
        EXPECT_EQ(free_win_ast(table), 1);
    }
    EXPECT_EQ(free_win_ast(guard), 1);

    struct Case {
        const char* what;
        std::string bytes;  // NULL: no file
        std::vector<std::string> errors;
    };
    const std::string header = read_host_file(path).substr(0, FILE_HDR_SIZE);
    win_ast* empty = malloc_win_ast("empty");
    std::string stateless = header +
                            written_bytes([&](FILE* out) { return write_win_ast_bin(out, empty); });
    EXPECT_EQ(free_win_ast(empty), 1);
    const std::string bad = dir.file("bad.asb");
    const Case cases[] = {
        {"no file", "", {"Could not find '" + bad + "'"}},
        {"another file type",
         with_word(header, 64, 61),
         {"Wrong file type in '" + bad + "', found 61 expected 67",
          "'" + bad + "' found, but bad file type or file version"}},
        {"a stream cut short",
         header + zero_words(3),
         {"Unable to read 88 bytes", "Could not read_win_ast_bin.",
          "Failed to read_win_ast_bin " + bad + "."}},
        {"a table without states", stateless, {"'" + bad + "' has no states"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        remove_file(bad.c_str());
        if (!c.bytes.empty())
            dir.write("bad.asb", c.bytes);
        int64_t live = heap_live_blocks();
        win_ast* table = malloc_win_ast("guard");
        log.clear();
        EXPECT_EQ(anim_io_load_ast_bin(bad.c_str(), table, nullptr, "sounds"), 0);
        EXPECT_EQ(log.errors(), c.errors);
        EXPECT_EQ(free_win_ast(table), 1);
        EXPECT_EQ(heap_live_blocks(), live);
    }
}
