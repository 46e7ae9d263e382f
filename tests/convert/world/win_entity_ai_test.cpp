#include <gtest/gtest.h>

#include "heap.h"
#include "record_support.h"
#include "test_support.h"
#include "win_entity.h"

namespace {

win_goal_entry* goal(int32_t type, const char* target, win_vect3 point, int32_t arg)
{
    win_goal_entry* entry = malloc_win_goal_entry();
    entry->ai_goal_type = type;
    entry->target_name = target ? STRDUP(target) : nullptr;
    entry->goal_point = point;
    entry->goal_arg = arg;
    return entry;
}

void add_sector(win_hot_sector** list, int32_t* size, win_sector sector, int32_t kind)
{
    win_hot_sector* hot = malloc_win_hot_sector();
    hot->sector = sector;
    hot->sector_kind = kind;
    add_to_win_hot_sector_list(list, size, hot);
}

// A guard: its own personality, two scripts, a default goal aimed at "hero",
// two queued goals (the second in hand, aimed at an entity found at run
// time), one attack sector and two hit-reaction sectors.
win_ai* guard_ai()
{
    win_ai* ai = malloc_win_ai();
    ai->personality = {3, 4, 2.5f, 0.25f, 11, 12, 13, 5, 6, 7, 8.5f, 9.5f, 2, 0};
    ai->end_script = STRDUP("die");
    ai->receive_hit_script = STRDUP("ouch");
    ai->target_joint = 7;
    ai->default_goal.ai_goal_type = 4;
    ai->default_goal.target_name = STRDUP("hero");
    ai->default_goal.goal_point = {1, 2, 3};
    ai->default_goal.goal_arg = 9;
    add_to_win_goal_entry_list(&ai->win_goal_entry_list, &ai->win_goal_entry_list_size,
                               goal(12, nullptr, {5, 6, 7}, -1));
    win_goal_entry* door = goal(5, "door", {0, 0, 0}, 2);
    door->target_entity = (win_entity*)ai;  // any address: it is not stored
    add_to_win_goal_entry_list(&ai->win_goal_entry_list, &ai->win_goal_entry_list_size, door);
    ai->current_goal = door;
    add_sector(&ai->attack_sector_list, &ai->attack_sector_list_size, {{10, 200, -0.5f, 0.5f}},
               0x4010);
    add_sector(&ai->hit_reaction_sector_list, &ai->hit_reaction_sector_list_size,
               {{0, 50, -45, 45}}, 1);
    add_sector(&ai->hit_reaction_sector_list, &ai->hit_reaction_sector_list_size,
               {{50, 100, -90, 90}}, 2);
    return ai;
}

// Where things stand in guard_bytes().
enum : size_t {
    SCRIPT_NAME_AT = 56,
    CURRENT_GOAL_AT = 72,
    DEFAULT_LINKS_AT = 76,
    DEFAULT_TARGET_AT = 88,
    GOAL_COUNT_AT = 112,
    ATTACK_COUNT_AT = 120,
    NAMES_AT = 136,  // "die", "ouch", "hero": 8, 12 and 12 bytes
    GOALS_AT = 168,  // the first goal's image, the second's and its name
    SECTORS_AT = 252,
    GUARD_SIZE = 336,
};

std::string guard_image()
{
    return ImageBytes()
        .words({3, 4})
        .reals({2.5f, 0.25f})
        .words({11, 12, 13, 5, 6, 7})
        .reals({8.5f, 9.5f})
        .words({2, 0})        // the personality
        .words({1, 0, 1})     // scripts: on death, none for hits given, hits received
        .word(7)              // target joint
        .word(0)              // the goal in hand: an address, not stored
        .words({0, 0, 4, 0})  // default goal: no links, type, no target entity
        .word(1)              // ... its target's name
        .reals({1, 2, 3})     // ... its point
        .word(9)              // ... its argument
        .words({2, 1})        // goals
        .words({1, 1})        // attack sectors
        .words({2, 1})        // hit-reaction sectors
        .bytes();
}

std::string goal_bytes()
{
    return ImageBytes()
        .words({1, 1, 12, 0, 0})
        .reals({5, 6, 7})
        .word(0xffffffff)
        .words({1, 1, 5, 0, 1})  // the target entity is found by name at run time
        .reals({0, 0, 0})
        .word(2)
        .str("door")
        .bytes();
}

std::string sector_bytes()
{
    return ImageBytes()
        .words({1, 1})
        .reals({10, 200, -0.5f, 0.5f})
        .word(0x4010)
        .words({1, 1})
        .reals({0, 50, -45, 45})
        .word(1)
        .words({1, 1})
        .reals({50, 100, -90, 90})
        .word(2)
        .bytes();
}

std::string guard_bytes()
{
    return guard_image() + ImageBytes().str("die").str("ouch").str("hero").bytes() + goal_bytes() +
           sector_bytes();
}

std::string ai_bytes(const win_ai* ai)
{
    return written_bytes([&](FILE* file) { return write_win_ai_bin(file, ai); });
}

win_ai* read_ai(const std::string& bytes)
{
    FILE* file = file_with_bytes(bytes);
    win_ai* ai = read_win_ai_bin(file);
    std::fclose(file);
    return ai;
}

}  // namespace

TEST(WinAi, NewRecordsHoldTheirDefaults)
{
    win_ai* ai = malloc_win_ai();
    EXPECT_EQ(ai_bytes(ai), ImageBytes()
                                .words({0, 0xffffffff})
                                .reals({5, 0})
                                .words({10, 10, 10, 0, 0, 0})
                                .reals({10, 20})
                                .words({1, 1})  // mobility 1, hostile
                                .words({0, 0, 0})
                                .word(0xffffffff)  // no target joint
                                .words({0, 0, 0, 0, 0, 0})
                                .reals({0, 0, 0})
                                .word(0xffffffff)  // the default goal: idle, no argument
                                .words({0, 0, 0, 0, 0, 0})
                                .bytes());
    EXPECT_EQ(ai->personality.demeanor, WIN_DEMEANOR_HOSTILE);
    free_win_ai(ai);

    win_hot_sector* sector = malloc_win_hot_sector();
    EXPECT_EQ(sector->next_ptr, sector);
    EXPECT_EQ(written_bytes([&](FILE* file) { return write_win_hot_sector_bin(file, sector); }),
              ImageBytes().words({1, 1}).reals({-1, -1, -1, -1}).word(0xffffffff).bytes());
    free_win_hot_sector(sector);
    win_goal_entry* entry = malloc_win_goal_entry();
    EXPECT_EQ(entry->prev_ptr, entry);
    EXPECT_EQ(entry->goal_arg, -1);
    free_win_goal_entry(entry);
}

TEST(WinAi, GoldenBytes)
{
    win_ai* ai = guard_ai();
    std::string bytes = ai_bytes(ai);
    ASSERT_EQ(bytes.size(), (size_t)GUARD_SIZE);
    EXPECT_EQ(bytes.substr(0, 136), guard_image());
    EXPECT_EQ(bytes, guard_bytes());
    EXPECT_EQ(free_win_ai(ai), 1);
}

TEST(WinAi, ReadingKeepsListOrderAndTakesNoAddressFromTheFile)
{
    // Words that held addresses in the program that wrote the file.
    std::string bytes = guard_bytes();
    for (size_t at : std::initializer_list<size_t>{
             CURRENT_GOAL_AT, DEFAULT_LINKS_AT, DEFAULT_LINKS_AT + 4, DEFAULT_TARGET_AT, GOALS_AT,
             GOALS_AT + 12, GOALS_AT + 36 + 12, SECTORS_AT + 4})
        bytes = with_word(bytes, at, 0xdeadbeef);
    win_ai* ai = read_ai(bytes);
    ASSERT_NE(ai, nullptr);
    EXPECT_EQ(ai->current_goal, nullptr);
    EXPECT_EQ(ai->default_goal.prev_ptr, nullptr);
    EXPECT_EQ(ai->default_goal.next_ptr, nullptr);
    EXPECT_EQ(ai->default_goal.target_entity, nullptr);
    EXPECT_STREQ(ai->default_goal.target_name, "hero");
    EXPECT_EQ(ai->give_hit_script, nullptr);
    ASSERT_EQ(ai->win_goal_entry_list_size, 2);
    win_goal_entry* first = ai->win_goal_entry_list;
    EXPECT_EQ(first->ai_goal_type, 12);
    EXPECT_EQ(first->next_ptr->ai_goal_type, 5);
    EXPECT_EQ(first->next_ptr->target_entity, nullptr);
    EXPECT_STREQ(first->next_ptr->target_name, "door");
    EXPECT_EQ(first->next_ptr->next_ptr, first);
    win_hot_sector* attack = ai->attack_sector_list;
    EXPECT_EQ(attack->next_ptr, attack);  // a list of one is a ring of one
    EXPECT_EQ(attack->sector_kind, 0x4010);
    EXPECT_EQ(ai->hit_reaction_sector_list->prev_ptr->sector.f[3], 90.0f);
    EXPECT_EQ(ai_bytes(ai), guard_bytes());
    free_win_ai(ai);

    // Sectors read as an array are linked to themselves, not to stored words.
    std::string sectors = with_word(sector_bytes(), 28, 0x1234);
    FILE* file = file_with_bytes(sectors);
    win_hot_sector* array = read_win_hot_sector_array_bin(file, 3);
    std::fclose(file);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array[1].prev_ptr, &array[1]);
    EXPECT_EQ(array[1].next_ptr, &array[1]);
    free_win_hot_sector_array(array, 3);
}

TEST(WinAi, EveryTypeReadsAndLinksBackWhatWasWritten)
{
    std::string personality = guard_image().substr(0, 56);
    std::string element = with_word(guard_image(), 0, 1);  // of an array of two
    std::string items = guard_bytes().substr(136);
    std::string goals = goal_bytes();
    std::string goal_images = goals.substr(0, 36) + goals.substr(36, 36);
    expect_record_round_trips({
        {&win_ai_desc, guard_bytes(), RecordForm::single, 1},
        {&win_ai_desc, element + guard_image() + items + items, RecordForm::array, 2},
        {&win_personality_desc, personality, RecordForm::single, 1},
        {&win_personality_desc, personality + personality, RecordForm::array, 2},
        {&win_goal_entry_desc, goals.substr(36), RecordForm::single, 1},
        {&win_goal_entry_desc, goals, RecordForm::list, 2},
        {&win_goal_entry_desc, goal_images + goals.substr(72), RecordForm::array, 2},
        {&win_hot_sector_desc, sector_bytes().substr(0, 28), RecordForm::single, 1},
        {&win_hot_sector_desc, sector_bytes(), RecordForm::list, 3},
        {&win_hot_sector_desc, sector_bytes(), RecordForm::array, 3},
    });
}

TEST(WinAi, CorruptStreamsAreRefusedWithTheirText)
{
    std::string guard = guard_bytes();
    expect_record_refusals(
        &win_ai_desc,
        {
            {"present goals counted 0",
             with_word(guard, GOAL_COUNT_AT, 0),
             {"Bad win_goal_entry_list_size = 0", "Could not read_win_goal_entry_list_bin."}},
            {"script name of length 0", with_word(guard, NAMES_AT, 0), {"Could not read_str_bin."}},
            {"a goal's target name of length 0",
             with_word(guard, GOALS_AT + 72, 0),
             {"Could not read_str_bin.", "Could not read_win_goal_entry_list_bin.",
              "Could not read_win_goal_entry_list_bin."}},
            {"huge attack sector count",
             with_word(guard, ATTACK_COUNT_AT, 0x40000000),
             {"Bad win_hot_sector_list_size = 1073741824 with 84 bytes left",
              "Could not read_win_hot_sector_list_bin."}},
            {"hit-reaction sectors cut short, after the goals and attack sectors",
             guard.substr(0, GUARD_SIZE - 1),
             {"Bad win_hot_sector_list_size = 2 with 55 bytes left",
              "Could not read_win_hot_sector_list_bin."}},
        });
}

TEST(WinAi, EveryTruncationAndEveryFailingAllocationIsRefused)
{
    expect_every_prefix_refused(&win_ai_desc, guard_bytes());
    LogCapture log;
    EXPECT_GT(record_failure_sweep(&win_ai_desc, guard_bytes()), 5);
}

TEST(WinAi, ReleasingAnAiReleasesItsQueueAndSectors)
{
    win_ai* ai = guard_ai();
    add_sector(&ai->attack_sector_list, &ai->attack_sector_list_size, {{0, 1, 0, 1}}, 1);
    add_sector(&ai->attack_sector_list, &ai->attack_sector_list_size, {{1, 2, 0, 1}}, 2);
    free_win_hot_sector_list(ai->hit_reaction_sector_list);
    ai->hit_reaction_sector_list = nullptr;
    ai->hit_reaction_sector_list_size = 0;

    // A goal of another queue is no member of this one.
    LogCapture log;
    win_goal_entry* stranger = malloc_win_goal_entry();
    EXPECT_EQ(remove_from_win_goal_entry_list(&ai->win_goal_entry_list,
                                              &ai->win_goal_entry_list_size, stranger),
              0);
    EXPECT_EQ(ai->win_goal_entry_list_size, 2);
    EXPECT_EQ(free_win_goal_entry_list(nullptr), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "win_goal_entry_ptr is not a member of win_goal_entry_list.",
                                "Cannot free_win_goal_entry_list with NULL win_goal_entry_list.",
                            }));
    free_win_goal_entry(stranger);

    log.clear();
    EXPECT_EQ(free_win_ai(ai), 1);  // two goals, three attack sectors, the strings
    EXPECT_TRUE(log.lines().empty());
}

TEST(WinAi, TheCurrentGoalIsReleasedWithTheAiOnceWhereverItStands)
{
    // In the queue (released with it), the default goal (part of the AI), or
    // a goal of its own that left the queue (released alone).
    for (int where : {0, 1, 2}) {
        SCOPED_TRACE(where);
        int64_t live = heap_live_blocks();
        win_ai* ai = guard_ai();
        if (where == 1)
            ai->current_goal = &ai->default_goal;
        if (where == 2)
            ai->current_goal = goal(7, "gate", {0, 0, 0}, 1);
        EXPECT_EQ(free_win_ai(ai), 1);
        EXPECT_EQ(heap_live_blocks(), live);
    }
}
