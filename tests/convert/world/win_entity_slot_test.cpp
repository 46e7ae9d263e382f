#include <gtest/gtest.h>

#include "record_support.h"
#include "test_support.h"
#include "win_entity.h"

namespace {

// A small hull: one corner, an outline block that names it, no planes.
win_collision* post_hull(const char* name)
{
    win_collision* hull = malloc_win_collision(name);
    hull->win_vtx_array_size = 1;
    hull->win_vtx_array = malloc_win_vect3_array(1);
    hull->win_block_array_size = 1;
    hull->win_block_array = malloc_win_block_array(1);
    win_line_block* line = malloc_win_line_block();
    line->win_vtx_idx_array_size = 1;
    line->win_vtx_idx_array = heap_numbers<uint16_t>({0});
    hull->win_block_array[0].win_block_data = line;
    return hull;
}

std::string hull_bytes(const win_collision* hull)
{
    return written_bytes([&](FILE* file) { return write_win_collision_bin(file, hull); });
}

std::string collision_slot_bytes(const win_collision_ptr* slots, int32_t n)
{
    return written_bytes(
        [&](FILE* file) { return write_win_collision_ptr_array_bin(file, slots, n); });
}

}  // namespace

TEST(WinStateNamePtr, PresenceWordsThenTheNamesOfThePresentSlots)
{
    win_state_name_ptr* names = malloc_win_state_name_ptr_array(3);
    names[0] = STRDUP("open");
    names[2] = STRDUP("broken");
    std::string bytes = written_bytes(
        [&](FILE* file) { return write_win_state_name_ptr_array_bin(file, names, 3); });
    EXPECT_EQ(bytes, ImageBytes().words({1, 0, 1}).str("open").str("broken").bytes());
    expect_record_round_trip(&win_state_name_ptr_desc, bytes, RecordForm::array, 3);

    FILE* file = file_with_bytes(bytes);
    win_state_name_ptr* read = read_win_state_name_ptr_array_bin(file, 3);
    std::fclose(file);
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read[0], "open");
    EXPECT_EQ(read[1], nullptr);
    EXPECT_STREQ(read[2], "broken");
    EXPECT_EQ(free_win_state_name_ptr_array(read, 3), 1);

    // A size of 0 is refused and releases nothing.
    LogCapture log;
    EXPECT_EQ(free_win_state_name_ptr_array(names, 0), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Bad win_state_name_ptr_array_size = 0"});
    EXPECT_STREQ(names[2], "broken");
    EXPECT_EQ(free_win_state_name_ptr_array(names, 3), 1);

    win_state_name_ptr* empty = malloc_win_state_name_ptr_array(3);
    bytes = written_bytes(
        [&](FILE* file) { return write_win_state_name_ptr_array_bin(file, empty, 3); });
    EXPECT_EQ(bytes, std::string(12, '\0'));
    free_win_state_name_ptr_array(empty, 3);
}

TEST(WinCollisionPtr, AHullIsReleasedWhenItsLastHolderLetsGo)
{
    // The runtime's list holds the hull, and so do two slots.
    win_collision* list = nullptr;
    int32_t list_size = 0;
    win_collision* hull = post_hull("post");  // the creator's reference goes to slot 0
    ASSERT_EQ(add_to_win_collision_list(&list, &list_size, hull), 1);
    win_collision_ptr* slots = malloc_win_collision_ptr_array(2);
    slots[0] = hull;
    slots[1] = hull;
    ++hull->win_collision_ref_cnt;
    EXPECT_EQ(hull->win_collision_ref_cnt, 3);

    EXPECT_EQ(free_win_collision_ptr_array(slots, 2), 1);
    EXPECT_EQ(hull->win_collision_ref_cnt, 1);  // still alive: the list holds it
    win_collision_ptr* slot = malloc_win_collision_ptr();
    *slot = hull;
    ++hull->win_collision_ref_cnt;
    EXPECT_EQ(free_win_collision_list(list), 1);
    EXPECT_EQ(hull->win_collision_ref_cnt, 1);
    EXPECT_EQ(hull->next_ptr, hull);             // off the list, held by the last slot
    EXPECT_EQ(free_win_collision_ptr(slot), 1);  // the hull goes with it (LeakSanitizer)
}

TEST(WinCollisionPtr, EachPresentSlotStoresItsHullWhole)
{
    win_collision* post = post_hull("post");
    win_collision* pole = post_hull("pole");
    win_collision_ptr* slots = malloc_win_collision_ptr_array(3);
    slots[0] = post;
    slots[2] = pole;
    std::string bytes = collision_slot_bytes(slots, 3);
    EXPECT_EQ(bytes, ImageBytes().words({1, 0, 1}).bytes() + hull_bytes(post) + hull_bytes(pole));
    expect_record_round_trip(&win_collision_ptr_desc, bytes, RecordForm::array, 3);
    expect_every_prefix_refused(&win_collision_ptr_desc, bytes, RecordForm::array, 3);

    FILE* file = file_with_bytes(bytes);
    win_collision_ptr* read = read_win_collision_ptr_array_bin(file, 3);
    std::fclose(file);
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read[2]->win_collision_name, "pole");
    EXPECT_EQ(read[2]->win_collision_ref_cnt, 1);  // the slot's own reference
    EXPECT_EQ(read[1], nullptr);
    free_win_collision_ptr_array(read, 3);

    // A hull that cannot be written fails its slot in the slot's words.
    pole->win_block_array[0].win_block_type = 5;
    LogCapture log;
    FILE* out = std::tmpfile();
    EXPECT_EQ(write_win_collision_ptr_array_bin(out, slots, 3), 0);
    std::fclose(out);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Unknown win_block_type = 5",
                                                      "Could not write_win_block_array_array_bin.",
                                                      "Could not write_win_collision_ptr_bin."}));
    pole->win_block_array[0].win_block_type = WIN_BLOCK_TYPE_LINE;
    free_win_collision_ptr_array(slots, 3);
}

TEST(WinCollisionPtr, CorruptSlotStreamsAreRefusedWithTheirText)
{
    win_collision* post = post_hull("post");
    std::string post_bytes = hull_bytes(post);
    free_win_collision(post);
    // The second hull's outline names a corner it does not have.
    std::string stray = with_half(post_bytes, post_bytes.size() - 2, 1);
    struct Case {
        const char* what;
        const record_type* type;
        std::string bytes;
        int32_t n;
        std::vector<std::string> errors;
    };
    const Case cases[] = {
        {"a hull naming a corner it lacks",
         &win_collision_ptr_desc,
         ImageBytes().words({1, 1}).bytes() + post_bytes + stray,
         2,
         {"Bad vtx_idx = 1 in win_block 0 of win_collision post with win_vtx_array_size = 1",
          "Could not read_win_collision_bin."}},
        {"a slot count beyond the bytes",
         &win_collision_ptr_desc,
         ImageBytes().words({0, 0}).bytes(),
         3,
         {"Bad win_collision_ptr_array_size = 3 with 8 bytes left"}},
        {"a state name of length 0",
         &win_state_name_ptr_desc,
         ImageBytes().words({1, 0}).bytes(),
         1,
         {"Could not read_str_bin."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(record_refusal(c.type, c.bytes, RecordForm::array, c.n), c.errors);
    }
}
