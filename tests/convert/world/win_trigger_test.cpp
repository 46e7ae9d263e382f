#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "record_support.h"
#include "test_support.h"
#include "win_trigger.h"

namespace {

// The trigger "door": its volume is the hull "door_zone"; it opens the door
// for an entity facing +x (a quarter turn) within half a radian, on a press
// of the action button, at most three times, and has fired once.
win_trigger* door_trigger()
{
    win_trigger* trigger = malloc_win_trigger("door");
    trigger->win_trigger_collision_name = STRDUP("door_zone");
    trigger->win_trigger_facing = {0.0f, 1.5707964f, 0.0f};
    trigger->win_trigger_facing_tolerance = {0.0f, 0.5f, 0.0f};
    trigger->win_trigger_script_name = STRDUP("open_door");
    trigger->win_trigger_gated = 1;
    trigger->win_trigger_max_activations = 3;
    trigger->win_trigger_activation_count = 1;
    return trigger;
}

// Where things stand in door_bytes().
enum : size_t {
    REF_CNT_AT = 12,
    COLLISION_NAME_AT = 16,
    COLLISION_AT = 20,
    SCRIPT_NAME_AT = 48,
    MAX_AT = 60,
    COUNT_AT = 64,
    NAME_AT = 68,
    DOOR_SIZE = 112,
};

std::string door_image(uint32_t ref_cnt = 1)
{
    return ImageBytes()
        .words({1, 1})  // the node's links, stored as present
        .word(1)        // name present
        .word(ref_cnt)  // reference count, as held
        .word(1)        // collision name present
        .word(0)        // the hull: found by name at load, never stored
        .reals({0.0f, 1.5707964f, 0.0f})
        .reals({0.0f, 0.5f, 0.0f})
        .word(1)              // script name present
        .words({1, 1, 3, 1})  // enabled, gated, at most 3 firings, fired once
        .bytes();
}

std::string door_items()
{
    return ImageBytes().str("door").str("door_zone").str("open_door").bytes();
}

std::string door_bytes()
{
    return door_image() + door_items();
}

std::string trigger_bytes(const win_trigger* trigger)
{
    return written_bytes([&](FILE* file) { return write_win_trigger_bin(file, trigger); });
}

// A hull to stand for a trigger's volume.
win_collision* zone_hull()
{
    return malloc_win_collision("door_zone");
}

}  // namespace

TEST(WinTrigger, NewRecordsHoldTheirDefaults)
{
    win_trigger* trigger = malloc_win_trigger("plain");
    EXPECT_EQ(trigger->next_ptr, trigger);
    EXPECT_EQ(trigger->win_trigger_ref_cnt, 1);
    EXPECT_EQ(trigger->win_trigger_enabled, 1);
    EXPECT_EQ(trigger->win_trigger_gated, 0);
    EXPECT_EQ(trigger->win_trigger_max_activations, -1);
    EXPECT_EQ(trigger_bytes(trigger), ImageBytes()
                                          .words({1, 1, 1, 1})  // links, name, count
                                          .words({0, 0})        // no volume
                                          .reals({0, 0, 0, 0, 0, 0})
                                          .word(0)  // no script
                                          .words({1, 0, 0xffffffff, 0})
                                          .str("plain")
                                          .bytes());
    EXPECT_EQ(free_win_trigger(trigger), 1);

    LogCapture log;
    win_trigger* nameless = malloc_win_trigger("");
    EXPECT_EQ(free_win_trigger(nameless), 1);
    EXPECT_EQ(log.warnings(),
              (std::vector<std::string>{
                  "win_trigger_name is NULL (or 0 length) in malloc_win_trigger win_trigger_struct",
                  "win_trigger_ptr did not have win_trigger_name to free."}));

    win_trigger* array = malloc_win_trigger_array(2);
    EXPECT_EQ(array[1].win_trigger_ref_cnt, 0);
    EXPECT_EQ(array[1].prev_ptr, &array[1]);
    EXPECT_EQ(array[1].win_trigger_max_activations, -1);
    EXPECT_EQ(free_win_trigger_array(array, 2), 1);
}

TEST(WinTrigger, HoldersCountAndTheLastReleaseFreesTheTrigger)
{
    struct Case {
        const char* what;
        std::function<int32_t()> steps;  // answer the count they leave
        int32_t expected;
    };
    auto read_from = [](const std::string& bytes, auto reader) {
        FILE* file = file_with_bytes(bytes);
        auto* read = reader(file);
        std::fclose(file);
        return read;
    };
    const Case cases[] = {
        {"read alone",
         [&] {
             win_trigger* trigger = read_from(door_bytes(), read_win_trigger_bin);
             int32_t count = trigger->win_trigger_ref_cnt;
             EXPECT_EQ(free_win_trigger(trigger), 1);  // gone (LeakSanitizer)
             return count;
         },
         1},
        {"held twice, released once",
         [] {
             win_trigger* trigger = door_trigger();
             trigger->win_trigger_ref_cnt = 2;
             EXPECT_EQ(free_win_trigger(trigger), 1);
             int32_t count = trigger->win_trigger_ref_cnt;
             free_win_trigger(trigger);
             return count;
         },
         1},
        {"in a list until removed",
         [] {
             win_trigger* list = nullptr;
             int32_t size = 0;
             win_trigger* trigger = door_trigger();
             add_to_win_trigger_list(&list, &size, trigger);
             int32_t count = trigger->win_trigger_ref_cnt;
             EXPECT_EQ(remove_from_win_trigger_list(&list, &size, trigger), 1);
             EXPECT_EQ(trigger->win_trigger_ref_cnt, 1);
             EXPECT_EQ(list, nullptr);
             EXPECT_EQ(size, 0);
             free_win_trigger(trigger);
             return count;
         },
         2},
        {"read in an array",
         [&] {
             win_trigger* array = read_from(
                 door_image(7) + door_image(7) + door_items() + door_items(),
                 [](FILE* file) { return read_win_trigger_array_bin(file, 2); });
             int32_t count = array[1].win_trigger_ref_cnt;
             LogCapture log;
             EXPECT_EQ(free_win_trigger_array(array, 2), 1);
             EXPECT_TRUE(log.warnings().empty()) << "elements hold no reference";
             return count;
         },
         0},
        {"read in a list",
         [&] {
             win_trigger* list = read_from(door_bytes() + door_bytes(), [](FILE* file) {
                 return read_win_trigger_list_bin(file, 2);
             });
             int32_t count = list->next_ptr->win_trigger_ref_cnt;
             EXPECT_EQ(free_win_trigger_list(list), 1);
             return count;
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        EXPECT_EQ(c.steps(), c.expected);
        EXPECT_TRUE(log.errors().empty());
    }

    // A release below 0 is refused and the count restored.
    LogCapture log;
    win_trigger* trigger = door_trigger();
    trigger->win_trigger_ref_cnt = 0;
    EXPECT_EQ(free_win_trigger(trigger), 0);
    EXPECT_EQ(trigger->win_trigger_ref_cnt, 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"win_trigger_ref_cnt is less than 0"});
    trigger->win_trigger_ref_cnt = 1;
    free_win_trigger(trigger);
}

TEST(WinTrigger, ATriggerLetsGoOfItsVolumeWithItself)
{
    win_collision* hull = zone_hull();  // the creator's reference, kept here
    win_trigger* alone = door_trigger();
    win_trigger* array = malloc_win_trigger_array(2);
    win_trigger* list = nullptr;
    int32_t list_size = 0;
    win_trigger* member = door_trigger();
    add_to_win_trigger_list(&list, &list_size, member);
    free_win_trigger(member);  // the list's reference is left
    for (win_trigger* holder : {alone, &array[0], &array[1], member}) {
        holder->win_trigger_collision = hull;
        ++hull->win_collision_ref_cnt;
    }
    ASSERT_EQ(hull->win_collision_ref_cnt, 5);

    // Written, the volume is a 0 word and nothing after it.
    EXPECT_EQ(trigger_bytes(alone), door_bytes());

    EXPECT_EQ(free_win_trigger(alone), 1);
    EXPECT_EQ(hull->win_collision_ref_cnt, 4);
    EXPECT_EQ(free_win_trigger_array(array, 2), 1);
    EXPECT_EQ(hull->win_collision_ref_cnt, 2);
    EXPECT_EQ(free_win_trigger_list(list), 1);
    EXPECT_EQ(hull->win_collision_ref_cnt, 1);
    EXPECT_EQ(free_win_collision(hull), 1);  // the last one (LeakSanitizer)
}

TEST(WinTriggerStream, GoldenBytes)
{
    win_trigger* trigger = door_trigger();
    std::string bytes = trigger_bytes(trigger);
    ASSERT_EQ(bytes.size(), (size_t)DOOR_SIZE);
    EXPECT_EQ(bytes.substr(0, NAME_AT), door_image());
    EXPECT_EQ(bytes, door_bytes());

    // An array: the images first (the elements' counts are 0), then each
    // element's names in order; a list: whole records back to back.
    win_trigger* array = malloc_win_trigger_array(2);
    array[0].win_trigger_name = STRDUP("first");
    array[1].win_trigger_script_name = STRDUP("second_script");
    EXPECT_EQ(
        written_bytes([&](FILE* file) { return write_win_trigger_array_bin(file, array, 2); }),
        ImageBytes()
            .words({1, 1, 1, 0, 0, 0})
            .reals({0, 0, 0, 0, 0, 0})
            .words({0, 1, 0, 0xffffffff, 0})
            .words({1, 1, 0, 0, 0, 0})
            .reals({0, 0, 0, 0, 0, 0})
            .words({1, 1, 0, 0xffffffff, 0})
            .str("first")
            .str("second_script")
            .bytes());
    free_win_trigger_array(array, 2);

    win_trigger* list = nullptr;
    int32_t size = 0;
    add_to_win_trigger_list(&list, &size, trigger);
    free_win_trigger(trigger);
    EXPECT_EQ(written_bytes([&](FILE* file) { return write_win_trigger_list_bin(file, list, 1); }),
              door_bytes());

    // The size given must be the number of members.
    LogCapture log;
    FILE* out = std::tmpfile();
    EXPECT_EQ(write_win_trigger_list_bin(out, list, 2), 0);
    std::fclose(out);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Could not write_win_trigger_list_bin, "
                                                     "list_size = 2, elements written = 1."});
    free_win_trigger_list(list);
}

TEST(WinTriggerStream, EveryFormReadsAndLinksBackWhatWasWritten)
{
    std::string element = door_image(0);
    expect_record_round_trips({
        {&win_trigger_desc, door_bytes(), RecordForm::single, 1},
        {&win_trigger_desc, door_bytes() + door_bytes(), RecordForm::list, 2},
        {&win_trigger_desc, element + element + door_items() + door_items(), RecordForm::array, 2},
    });
}

TEST(WinTriggerStream, StoredWordsAreKeptAndRunTimeWordsAreNot)
{
    std::string bytes = door_bytes();
    bytes = with_word(with_word(bytes, 0, 0xdeadbeef), 4, 7);  // the writer's addresses
    bytes = with_word(bytes, REF_CNT_AT, 57);
    bytes = with_word(bytes, COLLISION_AT, 0xdeadbeef);
    bytes = with_word(with_word(bytes, MAX_AT, 3), COUNT_AT, 3);  // used up
    FILE* file = file_with_bytes(bytes);
    win_trigger* trigger = read_win_trigger_bin(file);
    std::fclose(file);
    ASSERT_NE(trigger, nullptr);
    EXPECT_EQ(trigger->prev_ptr, trigger);
    EXPECT_EQ(trigger->next_ptr, trigger);
    EXPECT_EQ(trigger->win_trigger_ref_cnt, 1);
    EXPECT_EQ(trigger->win_trigger_collision, nullptr) << "the hull comes only from its name";
    EXPECT_STREQ(trigger->win_trigger_name, "door");
    EXPECT_STREQ(trigger->win_trigger_collision_name, "door_zone");
    EXPECT_STREQ(trigger->win_trigger_script_name, "open_door");
    EXPECT_EQ(trigger->win_trigger_facing.y, 1.5707964f);
    EXPECT_EQ(trigger->win_trigger_facing_tolerance.y, 0.5f);
    EXPECT_EQ(trigger->win_trigger_gated, 1);
    EXPECT_EQ(trigger->win_trigger_max_activations, 3);
    EXPECT_EQ(trigger->win_trigger_activation_count, 3);
    free_win_trigger(trigger);

    // A trigger without names stores no strings and reads back without them.
    std::string bare = with_word(with_word(door_image(), COLLISION_NAME_AT, 0), SCRIPT_NAME_AT, 0) +
                       ImageBytes().str("door").bytes();
    expect_record_round_trip(&win_trigger_desc, bare);
}

TEST(WinTriggerStream, CorruptStreamsAreRefusedWithTheirText)
{
    std::string door = door_bytes();
    size_t zone_at = NAME_AT + 12;  // after "door"
    expect_record_refusals(
        &win_trigger_desc,
        {
            {"name of length 0",
             with_word(door, NAME_AT, 0),
             {"Could not read_str_bin win_trigger_name."}},
            {"collision name of length 0",
             with_word(door, zone_at, 0),
             {"Could not read_str_bin."}},
            {"collision name longer than the stream",
             with_word(door, zone_at, 0x7fffffff),
             {"Bad string length 2147483647 with 28 bytes left", "Could not read_str_bin."}},
            {"collision name without its ending zero",
             with_word(door, zone_at + 4 + 8, 0x41414141),
             {"String of length 10 is not zero-terminated", "Could not read_str_bin."}},
            {"a script name announced but missing",
             door.substr(0, zone_at + 16),
             {"Unable to read actual_len.", "Could not read_str_bin."}},
        });

    struct Case {
        const char* what;
        std::string bytes;
        RecordForm form;
        int32_t n;
        std::vector<std::string> errors;
    };
    std::string element = door_image(0);
    const Case cases[] = {
        {"an array count of 0",
         element + door_items(),
         RecordForm::array,
         0,
         {"Bad win_trigger_array_size = 0"}},
        {"an array count past the bytes",
         element + door_items(),
         RecordForm::array,
         2,
         {"Bad win_trigger_array_size = 2 with 112 bytes left"}},
        {"a list size of -1",
         door_bytes(),
         RecordForm::list,
         -1,
         {"Bad win_trigger_list_size = -1"}},
        {"a list one member short",
         door_bytes() + door_bytes().substr(0, 68),
         RecordForm::list,
         2,
         {"Unable to read actual_len.", "Could not read_str_bin win_trigger_name.",
          "Could not read_win_trigger_list_bin."}},
        {"the second element's script name cut",
         element + element + door_items() + door_items().substr(0, 36),
         RecordForm::array,
         2,
         {"Bad string length 10 with 4 bytes left", "Could not read_str_bin."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(record_refusal(&win_trigger_desc, c.bytes, c.form, c.n), c.errors);
    }
}

TEST(WinTriggerStream, EveryTruncationAndEveryFailingAllocationIsRefused)
{
    std::string element = door_image(0);
    expect_every_prefix_refused(&win_trigger_desc, door_bytes());
    expect_every_prefix_refused(&win_trigger_desc, door_bytes() + door_bytes(), RecordForm::list,
                                2);
    expect_every_prefix_refused(&win_trigger_desc, element + element + door_items() + door_items(),
                                RecordForm::array, 2);
    LogCapture log;
    EXPECT_GT(record_failure_sweep(&win_trigger_desc, door_bytes()), 3);
}
