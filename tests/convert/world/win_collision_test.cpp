#include <gtest/gtest.h>

#include <cstring>

#include "file_io.h"
#include "heap.h"
#include "record_support.h"
#include "test_support.h"
#include "win_collision.h"

namespace {

// The hull "wall": four corners, three planes, and three blocks: an outline
// of the four corners (five indexes, the last repeating the first), a convex
// block of the three planes and a planar block that names no plane.
win_collision* wall_hull()
{
    win_collision* hull = malloc_win_collision("wall");
    hull->win_vtx_array_size = 4;
    hull->win_vtx_array = malloc_win_vect3_array(4);
    const win_vect3 corners[4] = {{0, 0, 0}, {64, 0, 0}, {64, 0, 32}, {0, 0, 32}};
    std::memcpy(hull->win_vtx_array, corners, sizeof corners);
    hull->win_plane_array_size = 3;
    hull->win_plane_array = malloc_win_plane_array(3);
    const win_plane planes[3] = {{0, 0, -1, 0}, {1, 0, 0, 64}, {0, 0, 1, 32}};
    std::memcpy(hull->win_plane_array, planes, sizeof planes);

    hull->win_block_array_size = 3;
    hull->win_block_array = malloc_win_block_array(3);
    win_line_block* line = malloc_win_line_block();
    line->win_vtx_idx_array_size = 5;
    line->win_vtx_idx_array = heap_numbers<uint16_t>({0, 1, 2, 3, 0});
    hull->win_block_array[0] = {WIN_BLOCK_TYPE_LINE, line};
    win_convex_poly_block* poly = malloc_win_convex_poly_block();
    poly->win_plane_idx_array_size = 3;
    poly->win_plane_idx_array = heap_numbers<int32_t>({0, 1, 2});
    hull->win_block_array[1] = {WIN_BLOCK_TYPE_CONVEX_POLY, poly};
    hull->win_block_array[2] = {WIN_BLOCK_TYPE_PLANAR, malloc_win_planar_block()};
    return hull;
}

// Where things stand in wall_bytes().
enum : size_t {
    REF_CNT_AT = 12,
    VTX_COUNT_AT = 16,
    PLANE_COUNT_AT = 24,
    BLOCK_COUNT_AT = 32,
    ENABLED_AT = 40,
    NAME_AT = 44,
    BLOCKS_AT = 152,  // three 8-byte images
    LINE_AT = 176,    // the line block's image, then its 16-bit indexes
    CONVEX_AT = 194,  // 2 bytes off the 4-byte grid
    PLANAR_AT = 214,
    WALL_SIZE = 218,
};

std::string wall_image()
{
    return ImageBytes()
        .words({1, 1})  // the node's links, stored as present
        .word(1)        // name present
        .word(1)        // reference count, as held
        .words({4, 1})  // corners
        .words({3, 1})  // planes
        .words({3, 1})  // blocks
        .word(1)        // enabled
        .bytes();
}

std::string wall_items()
{
    return ImageBytes()
        .str("wall")
        .reals({0, 0, 0, 64, 0, 0, 64, 0, 32, 0, 0, 32})
        .reals({0, 0, -1, 0, 1, 0, 0, 64, 0, 0, 1, 32})
        .words({0, 1, 2, 1, 1, 1})  // the block images: type, present
        .words({5, 1})              // the line block
        .halves({0, 1, 2, 3, 0})    // ... whose indexes end 2 bytes off the grid
        .words({3, 1})              // the convex block
        .words({0, 1, 2})           // ... and its planes
        .word(0xffffffff)           // the planar block: no plane
        .bytes();
}

std::string wall_bytes()
{
    return wall_image() + wall_items();
}

std::string hull_bytes(const win_collision* hull)
{
    return written_bytes([&](FILE* file) { return write_win_collision_bin(file, hull); });
}

int32_t word_at(const std::string& bytes, size_t offset)
{
    int32_t value;
    std::memcpy(&value, &bytes.at(offset), 4);
    return value;
}

}  // namespace

TEST(WinCollision, NewRecordsHoldTheirDefaults)
{
    LogCapture log;
    for (const char* name : {(const char*)nullptr, ""}) {
        win_collision* hull = malloc_win_collision(name);
        ASSERT_NE(hull, nullptr);
        EXPECT_EQ(hull->win_collision_name, nullptr);
        EXPECT_EQ(hull->win_collision_ref_cnt, 1);
        EXPECT_EQ(hull->win_collision_enabled, 1);
        EXPECT_EQ(hull->next_ptr, hull);
        EXPECT_EQ(hull->win_block_array, nullptr);
        EXPECT_EQ(free_win_collision(hull), 1);
    }
    std::vector<std::string> nameless = {
        "win_collision_name is NULL (or 0 length) in malloc_win_collision win_collision_struct",
        "win_collision_ptr did not have win_collision_name to free."};
    EXPECT_EQ(log.warnings(),
              (std::vector<std::string>{nameless[0], nameless[1], nameless[0], nameless[1]}));

    win_collision* hulls = malloc_win_collision_array(2);
    EXPECT_EQ(hulls[1].win_collision_ref_cnt, 0);  // array elements are not counted
    EXPECT_EQ(hulls[1].prev_ptr, &hulls[1]);
    win_block* blocks = malloc_win_block_array(3);
    EXPECT_EQ(blocks[2].win_block_type, WIN_BLOCK_TYPE_LINE);
    EXPECT_EQ(blocks[2].win_block_data, nullptr);
    win_planar_block* planar = malloc_win_planar_block();
    EXPECT_EQ(planar->plane_idx, -1);

    log.clear();
    EXPECT_EQ(free_win_block_array(blocks, 3), 1);
    EXPECT_EQ(free_win_planar_block(planar), 1);
    EXPECT_EQ(free_win_collision_array(hulls, 2), 1);
    EXPECT_TRUE(log.errors().empty());
}

TEST(WinCollision, BlocksAreReleasedByTheirTypeAndABadTypeLosesNothingElse)
{
    LogCapture log;
    win_block* empty = malloc_win_block();
    empty->win_block_type = WIN_BLOCK_TYPE_CONVEX_POLY;
    EXPECT_EQ(free_win_block(empty), 1);

    // Nothing says what the data of type 7 is: the block is left as it was,
    // so that its holder can free it with the right type, once.
    win_block* odd = malloc_win_block();
    win_line_block* line = malloc_win_line_block();
    line->win_vtx_idx_array = (uint16_t*)MALLOC(2 * sizeof(uint16_t));
    line->win_vtx_idx_array_size = 2;
    *odd = {7, line};
    EXPECT_EQ(free_win_block(odd), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Unknown win_block_type = 7"});
    EXPECT_EQ(odd->win_block_type, 7);
    EXPECT_EQ(odd->win_block_data, line);
    EXPECT_EQ(line->win_vtx_idx_array_size, 2);
    odd->win_block_type = WIN_BLOCK_TYPE_LINE;
    EXPECT_EQ(free_win_block(odd), 1);  // the block and its line, each once

    // An empty block of an unknown type stays as well.
    log.clear();
    win_block* empty_odd = malloc_win_block();
    empty_odd->win_block_type = -3;
    EXPECT_EQ(free_win_block(empty_odd), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Unknown win_block_type = -3"});
    EXPECT_EQ(empty_odd->win_block_type, -3);
    empty_odd->win_block_type = WIN_BLOCK_TYPE_PLANAR;
    EXPECT_EQ(free_win_block(empty_odd), 1);

    // In an array the walk goes on past it: the blocks around it and the
    // array are released, and the result says one could not be.
    log.clear();
    win_collision* hull = wall_hull();
    win_block* blocks = hull->win_block_array;
    auto* poly = (win_convex_poly_block*)blocks[1].win_block_data;
    blocks[1].win_block_type = 9;
    EXPECT_EQ(free_win_collision(hull), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Unknown win_block_type = 9"});
    free_win_convex_poly_block(poly);
}

TEST(WinCollisionFile, GoldenBytes)
{
    win_collision* hull = wall_hull();
    std::string bytes = hull_bytes(hull);
    ASSERT_EQ(bytes.size(), (size_t)WALL_SIZE);
    EXPECT_EQ(bytes.substr(0, 44), wall_image());
    EXPECT_EQ(bytes, wall_bytes());

    // A collision file: the header, then the hull and nothing after it.
    TempDir dir;
    std::string path = dir.file("wall.cow");
    FILE* out = file_open_write_version_bin(path.c_str(), FILE_TYPE_COLLISION,
                                            FILE_VERSION_COLLISION);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(write_win_collision_bin(out, hull), 1);
    file_close(out);
    free_win_collision(hull);
    std::string file = read_host_file(path);
    EXPECT_EQ(word_at(file, 64), 11);
    EXPECT_EQ(word_at(file, 68), 106);
    EXPECT_EQ(file.substr(FILE_HDR_SIZE), wall_bytes());

    int found = 0;
    FILE* in = file_open_search_verify_version_bin(path.c_str(), nullptr, FILE_TYPE_COLLISION,
                                                   FILE_VERSION_COLLISION, &found);
    ASSERT_NE(in, nullptr);
    win_collision* read = read_win_collision_bin(in);
    EXPECT_EQ(file_bytes_left(in), 0);
    file_close(in);
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read->win_collision_name, "wall");
    EXPECT_EQ(read->win_plane_array[1].d, 64.0f);
    const win_line_block* line = (const win_line_block*)read->win_block_array[0].win_block_data;
    EXPECT_EQ(line->win_vtx_idx_array[3], 3);
    const win_convex_poly_block* poly =
        (const win_convex_poly_block*)read->win_block_array[1].win_block_data;
    ASSERT_EQ(poly->win_plane_idx_array_size, 3);
    EXPECT_EQ(poly->win_plane_idx_array[2], 2);
    EXPECT_EQ(((win_planar_block*)read->win_block_array[2].win_block_data)->plane_idx, -1);
    free_win_collision(read);
}

TEST(WinCollisionFile, EveryTypeReadsAndLinksBackWhatWasWritten)
{
    // Array elements are not counted: their stored count is 0.
    std::string element = with_word(wall_image(), REF_CNT_AT, 0);
    std::string blocks = wall_bytes().substr(BLOCKS_AT);
    std::string line = wall_bytes().substr(LINE_AT, CONVEX_AT - LINE_AT);
    std::string convex = wall_bytes().substr(CONVEX_AT, PLANAR_AT - CONVEX_AT);
    std::string planar = wall_bytes().substr(PLANAR_AT);
    expect_record_round_trips({
        {&win_collision_desc, wall_bytes(), RecordForm::single, 1},
        {&win_collision_desc, wall_bytes() + wall_bytes(), RecordForm::list, 2},
        {&win_collision_desc, element + element + wall_items() + wall_items(), RecordForm::array,
         2},
        {&win_block_desc, blocks, RecordForm::array, 3},
        {&win_block_desc, blocks.substr(0, 8) + line, RecordForm::single, 1},
        {&win_line_block_desc, line, RecordForm::single, 1},
        {&win_line_block_desc,
         line.substr(0, 8) + line.substr(0, 8) + line.substr(8) + line.substr(8), RecordForm::array,
         2},
        {&win_convex_poly_block_desc, convex, RecordForm::single, 1},
        {&win_convex_poly_block_desc,
         convex.substr(0, 8) + ImageBytes().words({0, 0}).bytes() + convex.substr(8),
         RecordForm::array, 2},
        {&win_planar_block_desc, planar, RecordForm::single, 1},
        {&win_planar_block_desc, planar + ImageBytes().word(2).bytes(), RecordForm::array, 2},
    });
}

TEST(WinCollisionFile, WordsWithoutMeaningInTheFileAreNotTaken)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::string name;  // "" for none
        int32_t enabled;
        bool planar_data;
        int warnings;
    };
    std::string wall = wall_bytes();
    std::string nameless = with_word(wall_image(), 8, 0) + wall_items().substr(12);
    std::string empty_name = nameless.substr(0, 44) + ImageBytes().str("").bytes() +
                             wall_items().substr(12);
    empty_name = with_word(empty_name, 8, 1);
    const Case cases[] = {
        {"node words and a count of 57",
         with_word(with_word(with_word(wall, 0, 0xdeadbeef), 4, 7), REF_CNT_AT, 57), "wall", 1,
         true, 0},
        {"switched off", with_word(wall, ENABLED_AT, 0), "wall", 0, true, 0},
        {"no name", nameless, "", 1, true, 1},
        {"an empty name", empty_name, "", 1, true, 1},
        {"a planar block stored empty", with_word(wall, BLOCKS_AT + 20, 0).substr(0, PLANAR_AT),
         "wall", 1, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        FILE* file = file_with_bytes(c.bytes);
        win_collision* hull = read_win_collision_bin(file);
        std::fclose(file);
        ASSERT_NE(hull, nullptr);
        EXPECT_EQ(hull->prev_ptr, hull);
        EXPECT_EQ(hull->next_ptr, hull);
        EXPECT_EQ(hull->win_collision_ref_cnt, 1);
        EXPECT_EQ(hull->win_collision_name ? hull->win_collision_name : "", c.name);
        EXPECT_EQ(hull->win_collision_enabled, c.enabled);
        EXPECT_EQ(hull->win_block_array[2].win_block_data != nullptr, c.planar_data);
        EXPECT_EQ((int)log.warnings().size(), c.warnings);
        EXPECT_TRUE(log.errors().empty());
        free_win_collision(hull);
    }
}

TEST(WinCollisionFile, CorruptStreamsAreRefusedWithTheirText)
{
    std::string wall = wall_bytes();
    expect_record_refusals(
        &win_collision_desc,
        {
            {"unknown block type",
             with_word(wall, BLOCKS_AT + 8, 3),
             {"Unknown win_block_type = 3", "Could not read_win_block_array_bin."}},
            {"present corners counted 0",
             with_word(wall, VTX_COUNT_AT, 0),
             {"Bad win_vect3_array_size = 0", "Could not read_win_vect3_array_bin."}},
            {"present planes counted -1",
             with_word(wall, PLANE_COUNT_AT, 0xffffffff),
             {"Bad win_plane_array_size = -1", "Could not read_win_plane_array_bin."}},
            {"name of length 0",
             with_word(wall, NAME_AT, 0),
             {"Could not read_str_bin win_collision_name."}},
            {"a corner index past the corners",
             with_half(wall, LINE_AT + 8 + 2, 4),
             {"Bad vtx_idx = 4 in win_block 0 of win_collision wall with win_vtx_array_size = 4"}},
            {"a convex block's plane past the planes",
             with_word(wall, CONVEX_AT + 8 + 8, 3),
             {"Bad plane_idx = 3 in win_block 1 of win_collision wall with win_plane_array_size = "
              "3"}},
            {"no plane for a convex block",
             with_word(wall, CONVEX_AT + 8, 0xffffffff),
             {"Bad plane_idx = -1 in win_block 1 of win_collision wall with win_plane_array_size = "
              "3"}},
            {"a planar block's plane past the planes",
             with_word(wall, PLANAR_AT, 3),
             {"Bad plane_idx = 3 in win_block 2 of win_collision wall with win_plane_array_size = "
              "3"}},
            {"huge corner count",
             with_word(wall, VTX_COUNT_AT, 0x10000000),
             {"Bad win_vect3_array_size = 268435456 with 162 bytes left",
              "Could not read_win_vect3_array_bin."}},
            {"huge block count",
             with_word(wall, BLOCK_COUNT_AT, 0x7fffffff),
             {"Bad win_block_array_size = 2147483647 with 66 bytes left",
              "Could not read_win_block_array_bin."}},
            {"huge index count",
             with_word(wall, LINE_AT, 0x7fffffff),
             {"Bad win_vtx_idx_array_size = 2147483647 with 34 bytes left",
              "Could not read_win_line_block_bin.", "Could not read_win_block_array_bin."}},
        });
}

TEST(WinCollisionFile, EveryTruncationAndEveryFailingAllocationIsRefused)
{
    expect_every_prefix_refused(&win_collision_desc, wall_bytes());
    LogCapture log;
    EXPECT_GT(record_failure_sweep(&win_collision_desc, wall_bytes()), 5);
}

TEST(WinCollision, IndexesNeedTheArraysTheyIndex)
{
    win_collision* hull = wall_hull();
    EXPECT_EQ(win_collision_check_indexes(hull), 1);
    // Without its corner array a hull has no corners, whatever its count says.
    win_vect3* corners = hull->win_vtx_array;
    hull->win_vtx_array = nullptr;
    LogCapture log;
    EXPECT_EQ(win_collision_check_indexes(hull), 0);
    EXPECT_EQ(
        log.errors(),
        std::vector<std::string>{
            "Bad vtx_idx = 0 in win_block 0 of win_collision wall with win_vtx_array_size = 0"});
    hull->win_vtx_array = corners;
    // A block of a type no hull has cannot be checked.
    log.clear();
    const int32_t type = hull->win_block_array[0].win_block_type;
    hull->win_block_array[0].win_block_type = 99;
    EXPECT_EQ(win_collision_check_indexes(hull), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Unknown win_block_type = 99"});
    hull->win_block_array[0].win_block_type = type;
    free_win_collision(hull);
}
