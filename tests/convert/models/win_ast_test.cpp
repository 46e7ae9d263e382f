#include <gtest/gtest.h>

#include <cstring>

#include "heap.h"
#include "record_support.h"
#include "test_support.h"
#include "win_ast.h"

namespace {

std::string table_bytes(const win_ast* table)
{
    return written_bytes([&](FILE* file) { return write_win_ast_bin(file, table); });
}

win_filename_ptr* names(std::initializer_list<const char*> list)
{
    win_filename_ptr* array = malloc_win_filename_ptr_array((int32_t)list.size());
    int32_t i = 0;
    for (const char* name : list)
        array[i++] = STRDUP(name);
    return array;
}

win_anim_table_entry* transition(int32_t condition_mask, int32_t target_anim_index)
{
    win_anim_table_entry* entry = malloc_win_anim_table_entry();
    entry->condition_mask = condition_mask;
    entry->target_anim_index = target_anim_index;
    return entry;
}

void add_transition(win_anim_table_base* state, int32_t condition_mask, int32_t target)
{
    add_to_win_anim_table_entry_list(&state->win_anim_table_entry_list,
                                     &state->win_anim_table_entry_list_size,
                                     transition(condition_mask, target));
}

// The table "guard" as its loader leaves it: one animation "idle" with its
// (empty) slot, one state "stand" that plays it whole at its own pace and
// goes to itself on "up".
win_ast* guard_table()
{
    win_ast* table = malloc_win_ast("guard");
    table->mow_anim_filename_array = names({"idle"});
    table->mow_anim_filename_array_size = 1;
    table->mow_anim_ptr_array = malloc_mow_anim_ptr_array(1);
    table->mow_anim_ptr_array_size = 1;
    table->win_anim_table_base_array = malloc_win_anim_table_base_array(1);
    table->win_anim_table_base_array_size = 1;
    win_anim_table_base* stand = table->win_anim_table_base_array;
    stand->next_anim_index = 0;
    stand->anim_index = 0;
    stand->mow_anim_index = 0;
    stand->translation_multiplier = {1.0f, 1.0f, 1.0f};
    stand->rotation_multiplier = {1.0f, 1.0f, 1.0f};
    add_transition(stand, 0x8, 0);
    table->win_anim_state_filename_array = names({"stand"});
    table->win_anim_state_filename_array_size = 1;
    table->current_anim_index = 0;
    return table;
}

// The image of a state with the default template's values but for the
// words given.
std::string stand_image()
{
    return ImageBytes()
        .words({1, 1})                                // one transition
        .words({0, 0, 0})                             // next, own and animation index
        .words({0, 0})                                // type and reaction flags
        .words({0xffffffff, 0xffffffff})              // attack value, sound effect
        .reals({-1.0f, -1.0f, -1.0f})                 // begin, end, reserved
        .reals({1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f})  // multipliers
        .real(1.0f)                                   // time multiplier
        .raw(zero_words(3 + 3 + 3 + 16))  // rotation velocity, reserved, velocity, reserved
        .word(0)                          // no script
        .words({0xffffffff, 0xffffffff, 0xffffffff, 0xffffffff, 0xffffffff})
        .bytes();
}

// A table with something in every item: two animations, a note, two states
// (one with two transitions and a script), a sound, the collision model and a
// joint table of two ranges.
win_ast* full_table()
{
    win_ast* table = guard_table();
    free_win_filename_ptr_array(table->mow_anim_filename_array, 1);
    table->mow_anim_filename_array = names({"idle", "walk"});
    table->mow_anim_filename_array_size = 2;
    table->aux_str = STRDUP("note");
    free_win_anim_table_base_array(table->win_anim_table_base_array, 1);
    table->win_anim_table_base_array = malloc_win_anim_table_base_array(2);
    table->win_anim_table_base_array_size = 2;
    win_anim_table_base* states = table->win_anim_table_base_array;
    states[0].anim_index = 0;
    states[0].next_anim_index = 1;
    states[0].mow_anim_index = 1;
    states[0].anim_type_flags = 0x80;
    states[0].reaction_flags = 0x1001;
    states[0].begin_time = 250.0f;
    states[0].play_script = STRDUP("alert");
    add_transition(&states[0], 0x8, 1);
    add_transition(&states[0], 0x4000, 0);
    states[1].anim_index = 1;
    states[1].block_to_anim_index = 0;
    free_win_filename_ptr_array(table->win_anim_state_filename_array, 1);
    table->win_anim_state_filename_array = names({"stand", "walk"});
    table->win_anim_state_filename_array_size = 2;
    table->sound_fx_filename_array = names({"step.wav"});
    table->sound_fx_filename_array_size = 1;
    table->spaz_model_name = STRDUP("figure");
    win_joint_table* arms = malloc_win_joint_table("arms");
    for (int32_t first : {0, 1}) {
        win_joint_pair* pair = malloc_win_joint_pair();
        pair->first_joint_idx = first;
        pair->last_joint_idx = 1;
        add_to_win_joint_pair_list(&arms->win_joint_pair_list, &arms->win_joint_pair_list_size,
                                   pair);
    }
    add_to_win_joint_table_list(&table->win_joint_table_list, &table->win_joint_table_list_size,
                                arms);
    return table;
}

}  // namespace

TEST(WinAst, NewRecordsHoldTheirDefaults)
{
    const std::string minus_one = ImageBytes().word(0xffffffff).bytes();
    const std::string no_time = ImageBytes().real(-1.0f).bytes();
    expect_default_images({
        {&win_anim_table_entry_desc, ImageBytes().words({1, 1, 0, 0xffffffff}).bytes()},
        {&win_joint_pair_desc, ImageBytes().words({1, 1, 0xffffffff, 0xffffffff}).bytes()},
        {&win_joint_table_desc, ImageBytes().words({1, 1, 0, 0, 0}).bytes()},
        {&win_anim_table_base_desc, zero_words(2) + minus_one + minus_one + minus_one +
                                        zero_words(2) + minus_one + minus_one + no_time + no_time +
                                        no_time + zero_words(6) + ImageBytes().real(1.0f).bytes() +
                                        zero_words(3 + 3 + 3 + 16 + 1) + minus_one + minus_one +
                                        minus_one + minus_one + minus_one},
        {&win_ast_desc, zero_words(12) + minus_one + zero_words(9)},
        {&win_sound_fx_ptr_desc, zero_words(1)},
    });

    LogCapture log;
    win_ast* nameless = malloc_win_ast("");
    EXPECT_EQ(nameless->current_anim_index, -1);
    EXPECT_EQ(free_win_ast(nameless), 1);
    EXPECT_EQ(log.warnings(),
              (std::vector<std::string>{
                  "win_ast_name is NULL (or 0 length) in malloc_win_ast win_ast_struct",
                  "win_ast_ptr did not have win_ast_name to free."}));

    // A transition of another state's list is no member of this one.
    win_anim_table_base* states = malloc_win_anim_table_base_array(2);
    add_transition(&states[0], 0x1, 1);
    add_transition(&states[1], 0x2, 0);
    log.clear();
    EXPECT_EQ(remove_from_win_anim_table_entry_list(&states[0].win_anim_table_entry_list,
                                                    &states[0].win_anim_table_entry_list_size,
                                                    states[1].win_anim_table_entry_list),
              0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"win_anim_table_entry_ptr is not a member of "
                                                     "win_anim_table_entry_list."});
    EXPECT_EQ(states[0].win_anim_table_entry_list_size, 1);
    EXPECT_EQ(free_win_anim_table_base_array(states, 2), 1);
}

TEST(WinAst, TheGuardsStreamIs348BytesAtItsOffsets)
{
    LogCapture log;
    win_ast* guard = guard_table();
    std::string bytes = table_bytes(guard);
    EXPECT_EQ(free_win_ast(guard), 1);

    const std::string image = ImageBytes()
                                  .words({1, 0})  // name; the current animation is not stored
                                  .words({1, 1})  // one animation name
                                  .words({1, 0})  // its slot counted, not stored
                                  .words({0, 0})  // blocking state, progress
                                  .word(0)        // no note
                                  .words({1, 1})  // one state
                                  .words({0, 0})  // input word, current state
                                  .words({1, 1})  // one state name
                                  .raw(zero_words(2 + 2 + 1 + 2))  // no sounds, model, tables
                                  .bytes();
    ASSERT_EQ(image.size(), 88u);
    const std::string expected = image + ImageBytes().str("guard").bytes() +
                                 ImageBytes().word(1).str("idle").bytes() + stand_image() +
                                 ImageBytes().words({1, 1, 0x8, 0}).bytes() +
                                 ImageBytes().word(1).str("stand").bytes();
    ASSERT_EQ(expected.size(), 348u);
    EXPECT_EQ(bytes, expected);
    // Where the Part of the format puts each item.
    EXPECT_EQ(bytes.substr(88, 12),
              ImageBytes().word(6).raw(std::string("guard\0\0\0", 8)).bytes());
    EXPECT_EQ(bytes.substr(100, 16),
              ImageBytes().words({1, 5}).raw(std::string("idle\0\0\0\0", 8)).bytes());
    EXPECT_EQ(bytes.substr(116, 4), ImageBytes().word(1).bytes());  // the state's transitions
    EXPECT_EQ(bytes.substr(316, 16), ImageBytes().words({1, 1, 0x8, 0}).bytes());
    EXPECT_EQ(bytes.substr(332, 4), ImageBytes().word(1).bytes());
    EXPECT_EQ(bytes.substr(336, 12), ImageBytes().word(6).raw(std::string("stand\0\0", 8)).bytes());

    win_ast* read = (win_ast*)record_read_bytes(&win_ast_desc, bytes);
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read->win_ast_name, "guard");
    EXPECT_STREQ(read->mow_anim_filename_array[0], "idle");
    EXPECT_EQ(read->mow_anim_ptr_array_size, 1);
    EXPECT_EQ(read->mow_anim_ptr_array, nullptr);
    const win_anim_table_base& stand = read->win_anim_table_base_array[0];
    EXPECT_EQ(stand.win_anim_table_entry_list_size, 1);
    EXPECT_EQ(stand.win_anim_table_entry_list->next_ptr, stand.win_anim_table_entry_list);
    EXPECT_EQ(stand.win_anim_table_entry_list->condition_mask, 0x8);
    EXPECT_EQ(stand.rotation_multiplier.y, 1.0f);
    EXPECT_EQ(stand.block_to_value, -1);
    EXPECT_STREQ(read->win_anim_state_filename_array[0], "stand");
    EXPECT_EQ(read->current_anim_index, 0);
    EXPECT_EQ(free_win_ast(read), 1);
    expect_record_round_trip(&win_ast_desc, bytes);

    // In the binary state table file the stream follows the header.
    TempDir dir;
    std::string path = dir.file("guard.ast");
    guard = guard_table();
    FILE* file = file_open_write_version_bin(path.c_str(), FILE_TYPE_AST_BIN, FILE_VERSION_AST_BIN);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(write_win_ast_bin(file, guard), 1);
    EXPECT_EQ(file_close(file), 1);
    EXPECT_EQ(free_win_ast(guard), 1);
    EXPECT_EQ(read_host_file(path).substr(FILE_HDR_SIZE), expected);
    EXPECT_TRUE(log.errors().empty());
}

// The current state is kept as stored, whatever the table holds: its users
// check it (a state table without states has none to play).
TEST(WinAst, TheCurrentStateIsKeptAsStored)
{
    LogCapture log;
    win_ast* table = malloc_win_ast("guard");
    table->current_anim_index = 7;
    std::string name_only = table_bytes(table);
    EXPECT_EQ(free_win_ast(table), 1);
    table = full_table();
    table->current_anim_index = 2;  // one past its last state
    std::string past_the_last = table_bytes(table);
    EXPECT_EQ(free_win_ast(table), 1);
    for (const std::string& bytes : {name_only, past_the_last}) {
        win_ast* read = (win_ast*)record_read_bytes(&win_ast_desc, bytes);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->current_anim_index, bytes == name_only ? 7 : 2);
        EXPECT_EQ(win_ast_current_state(read), nullptr);
        EXPECT_EQ(free_win_ast(read), 1);
        expect_record_round_trip(&win_ast_desc, bytes);
    }
    EXPECT_TRUE(log.errors().empty());
}

TEST(WinAst, EveryItemTravelsAndTheRunTimeWordsAreReset)
{
    LogCapture log;
    win_ast* table = full_table();
    // What the table holds at run time: slots, a current animation, sounds,
    // play state.
    mow_anim* idle = malloc_mow_anim("idle");
    ++idle->mow_anim_ref_cnt;  // the slot's
    table->mow_anim_ptr_array[0] = idle;
    table->current_mow_anim = idle;
    table->mow_anim_ptr_array_size = 12;  // a count is stored as it stands
    table->sound_fx_array = malloc_win_sound_fx_ptr_array(1);
    table->sound_fx_array_size = 1;
    table->sound_fx_array[0] = (win_sound_container*)table;
    table->anim_blocking_state = 2;
    table->anim_progress = 0.5f;
    table->anim_input_flags = 0x4008;
    std::string bytes = table_bytes(table);
    table->mow_anim_ptr_array_size = 1;
    EXPECT_EQ(free_win_ast(table), 1);  // and its slot's reference with it
    EXPECT_EQ(idle->mow_anim_ref_cnt, 1);
    EXPECT_EQ(free_mow_anim(idle), 1);
    EXPECT_EQ(bytes.substr(4, 4), zero_words(1));                         // current animation
    EXPECT_EQ(bytes.substr(16, 8), ImageBytes().words({12, 0}).bytes());  // slots
    EXPECT_EQ(bytes.substr(68, 8), ImageBytes().words({1, 0}).bytes());   // sounds

    expect_record_round_trip(&win_ast_desc, bytes);
    win_ast* read = (win_ast*)record_read_bytes(&win_ast_desc, bytes);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->current_mow_anim, nullptr);
    EXPECT_EQ(read->mow_anim_ptr_array_size, 12);
    EXPECT_EQ(read->mow_anim_ptr_array, nullptr);
    EXPECT_EQ(read->sound_fx_array_size, 1);
    EXPECT_EQ(read->sound_fx_array, nullptr);
    EXPECT_EQ(read->anim_blocking_state, 2);
    EXPECT_EQ(read->anim_progress, 0.5f);
    EXPECT_EQ(read->anim_input_flags, 0x4008);
    EXPECT_STREQ(read->aux_str, "note");
    EXPECT_STREQ(read->win_anim_table_base_array[0].play_script, "alert");
    EXPECT_EQ(
        read->win_anim_table_base_array[0].win_anim_table_entry_list->prev_ptr->target_anim_index,
        0);
    EXPECT_STREQ(read->sound_fx_filename_array[0], "step.wav");
    EXPECT_STREQ(read->spaz_model_name, "figure");
    const win_joint_table* arms = read->win_joint_table_list;
    EXPECT_STREQ(arms->win_joint_table_name, "arms");
    EXPECT_EQ(arms->win_joint_pair_list_size, 2);
    EXPECT_EQ(arms->win_joint_pair_list->next_ptr->first_joint_idx, 1);
    EXPECT_EQ(free_win_ast(read), 1);
    EXPECT_TRUE(log.errors().empty());
}

TEST(WinAst, FreeingATableDropsTheReferencesOfItsSlotsOnly)
{
    mow_anim* idle = malloc_mow_anim("idle");
    mow_anim* walk = malloc_mow_anim("walk");
    win_ast* table = malloc_win_ast("guard");
    table->mow_anim_ptr_array = malloc_mow_anim_ptr_array(3);
    table->mow_anim_ptr_array_size = 3;
    table->mow_anim_ptr_array[0] = idle;
    table->mow_anim_ptr_array[2] = walk;
    idle->mow_anim_ref_cnt = walk->mow_anim_ref_cnt = 2;  // a list's and the slot's
    table->current_mow_anim = walk;                       // borrowed
    EXPECT_EQ(free_win_ast(table), 1);
    EXPECT_EQ(idle->mow_anim_ref_cnt, 1);
    EXPECT_EQ(walk->mow_anim_ref_cnt, 1);
    EXPECT_EQ(free_mow_anim(idle), 1);
    EXPECT_EQ(free_mow_anim(walk), 1);
}

TEST(WinAst, AListLongerThanItsSizeIsWrittenWholeThenRefused)
{
    LogCapture log;
    win_ast* table = guard_table();
    win_anim_table_base* stand = table->win_anim_table_base_array;
    add_transition(stand, 0x1, 0);
    add_transition(stand, 0x2, 0);
    stand->win_anim_table_entry_list_size = 2;  // three in the list
    FILE* file = file_with_bytes("");
    EXPECT_EQ(write_win_ast_bin(file, table), 0);
    std::fclose(file);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Could not write_win_anim_table_entry_list_bin, list_size = "
                                "2, elements written = 3.",
                                "Could not write_win_anim_table_entry_list_bin.",
                                "Could not write_anim_table_base_array_array_bin."}));
    stand->win_anim_table_entry_list_size = 3;
    EXPECT_EQ(free_win_ast(table), 1);
}

TEST(WinAst, CorruptStreamsAreRefusedAndLeakNothing)
{
    win_ast* table = full_table();
    std::string bytes = table_bytes(table);
    EXPECT_EQ(free_win_ast(table), 1);
    expect_every_prefix_refused(&win_ast_desc, bytes);
    {
        LogCapture log;
        EXPECT_GT(record_failure_sweep(&win_ast_desc, bytes), 20);
    }

    // Offsets in the full table's stream.
    const size_t states_at = 88 + 12 + (8 + 12 + 12) + 12;  // after name, animation names, note
    const size_t second_state = states_at + 200;
    std::string guard = table_bytes(table = guard_table());
    EXPECT_EQ(free_win_ast(table), 1);
    expect_record_refusals(&win_ast_desc,
                           {
                               {"a state that does not exist",
                                with_word(bytes, second_state + 8, 2),
                                {"Bad next_anim_index = 2 in state 1 of win_ast guard with "
                                 "win_anim_table_base_array_size = 2"}},
                               {"a state below -1",
                                with_word(bytes, second_state + 192, (uint32_t)-2),
                                {"Bad block_to_anim_index = -2 in state 1 of win_ast guard with "
                                 "win_anim_table_base_array_size = 2"}},
                               {"an animation the table does not name",
                                with_word(bytes, states_at + 16, 2),
                                {"Bad mow_anim_index = 2 in state 0 of win_ast guard with "
                                 "mow_anim_filename_array_size = 2"}},
                               {"a transition to nowhere",
                                with_word(bytes, states_at + 400 + 12, 7),
                                {"Bad target_anim_index = 7 in state 0 of win_ast guard with "
                                 "win_anim_table_base_array_size = 2"}},
                               {"states announced without a count",
                                with_word(guard, 36, 0),
                                {"Bad win_anim_table_base_array_size = 0",
                                 "Could not read_win_anim_table_base_array_bin."}},
                               {"an announced name of length 0",
                                with_word(guard, 88, 0),
                                {"Could not read_str_bin win_ast_name."}},
                           });

    // Transitions counted but not stored: the state has none, after a line.
    {
        LogCapture log;
        win_ast* read = (win_ast*)record_read_bytes(&win_ast_desc,
                                                    with_word(guard, 116 + 4, 0).erase(316, 16));
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->win_anim_table_base_array[0].win_anim_table_entry_list_size, 0);
        EXPECT_EQ(log.errors(), std::vector<std::string>{
                                    "win_anim_table_base win_anim_table_entry_list_size = 1 with "
                                    "no win_anim_table_entry_list stored; taken as 0."});
        free_win_ast(read);
    }

    // A name stored empty is no name, as a new table's.
    LogCapture log;
    std::string empty_name = guard.substr(0, 88) + ImageBytes().str("").bytes() + guard.substr(100);
    win_ast* nameless = (win_ast*)record_read_bytes(&win_ast_desc, empty_name);
    ASSERT_NE(nameless, nullptr);
    EXPECT_EQ(nameless->win_ast_name, nullptr);
    EXPECT_EQ(log.warnings(),
              std::vector<std::string>{
                  "win_ast_name is NULL (or 0 length) in malloc_win_ast win_ast_struct"});
    log.clear();
    EXPECT_EQ(free_win_ast(nameless), 1);
}

TEST(WinAst, AnUnloadedSoundLeavesTheSlotsOfEveryTableThatHeldIt)
{
    int sounds[2];
    win_sound_container* step = (win_sound_container*)&sounds[0];
    win_sound_container* shout = (win_sound_container*)&sounds[1];
    win_ast* tables[3];
    for (win_ast*& table : tables) {
        table = malloc_win_ast("guard");
        table->sound_fx_array = malloc_win_sound_fx_ptr_array(2);
        table->sound_fx_array_size = 2;
        table->sound_fx_array[0] = step;
        table->sound_fx_array[1] = shout;
    }
    EXPECT_EQ(win_ast_hold_sounds(tables[0]), 1);
    EXPECT_EQ(win_ast_hold_sounds(tables[1]), 1);
    EXPECT_EQ(win_ast_hold_sounds(tables[1]), 1);  // once is enough
    EXPECT_EQ(win_ast_hold_sounds(tables[2]), 1);

    win_ast_forget_sound(step);
    for (win_ast* table : tables) {
        EXPECT_EQ(table->sound_fx_array[0], nullptr);
        EXPECT_EQ(table->sound_fx_array[1], shout);
    }
    // A released table is off the register; the others still forget.
    EXPECT_EQ(free_win_ast(tables[1]), 1);
    EXPECT_EQ(free_win_ast(tables[0]), 1);
    win_ast_forget_sound(shout);
    EXPECT_EQ(tables[2]->sound_fx_array[1], nullptr);
    EXPECT_EQ(free_win_ast(tables[2]), 1);
    win_ast_forget_sound(shout);  // an empty register

    // Tables released in an array leave it too.
    win_ast* array = malloc_win_ast_array(2);
    EXPECT_EQ(win_ast_hold_sounds(&array[1]), 1);
    EXPECT_EQ(free_win_ast_array(array, 2), 1);
    win_ast_forget_sound(step);
}
