#include <gtest/gtest.h>

#include "record_support.h"
#include "test_support.h"
#include "win_entity.h"

namespace {

// The map "yard" of two nodes: "gate" with two paths (through 1, 0, 1 and
// through 1, 1) and one connecting node, and a nameless node without paths.
win_map* yard_map()
{
    win_map* map = malloc_win_map("yard");
    map->node_array_size = 2;
    map->node_array = malloc_win_path_node_array(2);
    win_path_node* gate = &map->node_array[0];
    gate->win_path_node_name = STRDUP("gate");
    gate->win_path_node_idx = 0;
    gate->node_location = {1, 2, 3};
    gate->path_array_size = 2;
    gate->path_array = malloc_win_path_array(2);
    const std::initializer_list<int32_t> routes[2] = {{1, 0, 1}, {1, 1}};
    for (int j = 0; j < 2; ++j) {
        win_path* path = &gate->path_array[j];
        path->win_path_name = STRDUP("path");
        path->node_idx_array_size = (int32_t)routes[j].size();
        path->node_idx_array = heap_numbers<int32_t>(routes[j]);
    }
    gate->connecting_node_idx_array_size = 1;
    gate->connecting_node_idx_array = heap_numbers<int32_t>({1});
    map->node_array[1].win_path_node_idx = 1;
    map->node_array[1].node_location = {4, 5, 6};
    return map;
}

// Where things stand in yard_bytes().
enum : size_t {
    NODE_COUNT_AT = 4,
    NAME_AT = 12,
    NODES_AT = 24,  // two 36-byte images
    PATH_COUNT_AT = NODES_AT + 20,
    PATHS_AT = 108,  // after the gate's name: two 24-byte images
    SECOND_ROUTE_AT = 192,
    CONNECTING_AT = 200,
    YARD_SIZE = 204,
};

std::string yard_bytes()
{
    return ImageBytes()
        .words({1, 2, 1})  // name, nodes
        .str("yard")
        .words({1, 0})  // "gate", node 0
        .reals({1, 2, 3})
        .words({2, 1, 1, 1})  // paths, connecting nodes
        .words({0, 1})        // the nameless node 1
        .reals({4, 5, 6})
        .words({0, 0, 0, 0})
        .str("gate")
        .words({1, 1, 1, 0xffffffff, 3, 1})  // the paths' images: links, name, slot, route
        .words({1, 1, 1, 0xffffffff, 2, 1})
        .str("path")
        .words({1, 0, 1})
        .str("path")
        .words({1, 1})
        .word(1)  // the gate's connecting node
        .bytes();
}

std::string map_bytes(const win_map* map)
{
    return written_bytes([&](FILE* file) { return write_win_map_bin(file, map); });
}

}  // namespace

TEST(WinMap, GoldenBytes)
{
    win_map* map = yard_map();
    std::string bytes = map_bytes(map);
    EXPECT_EQ(bytes.size(), (size_t)YARD_SIZE);
    EXPECT_EQ(bytes, yard_bytes());
    LogCapture log;
    EXPECT_EQ(free_win_map(map), 1);
    EXPECT_EQ(log.warnings(), std::vector<std::string>{
                                  "win_path_node_ptr did not have win_path_node_name to free."});

    // A map without nodes is its image and its name.
    map = malloc_win_map("empty");
    EXPECT_EQ(map_bytes(map), ImageBytes().words({1, 0, 0}).str("empty").bytes());
    free_win_map(map);
}

TEST(WinMap, ACountWithoutItsItemsReadsAsNoneAndMissingNamesAreRefused)
{
    // The nameless node's stored path count, without paths, reads as 0 after
    // a line.
    std::string bytes = with_word(yard_bytes(), NODES_AT + 36 + 20, 5);
    FILE* file = file_with_bytes(bytes);
    LogCapture counts;
    win_map* map = read_win_map_bin(file);
    std::fclose(file);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(counts.errors(), std::vector<std::string>{"win_path_node path_array_size = 5 with no "
                                                        "path_array stored; taken as 0."});
    EXPECT_STREQ(map->win_map_name, "yard");
    win_path_node* bare = &map->node_array[1];
    EXPECT_EQ(bare->win_path_node_name, nullptr);
    EXPECT_EQ(bare->path_array, nullptr);
    EXPECT_EQ(bare->path_array_size, 0);
    EXPECT_EQ(bare->connecting_node_idx_array, nullptr);
    win_path* route = &map->node_array[0].path_array[1];
    EXPECT_EQ(route->next_ptr, route);
    EXPECT_EQ(route->win_path_idx, -1);
    EXPECT_EQ(route->node_idx_array[1], 1);
    LogCapture log;
    free_win_map(map);

    // A path stored without a name reads singly as a nameless path.
    std::string path = ImageBytes().words({0, 0, 0, 3, 1, 1}).word(0).bytes();
    file = file_with_bytes(path);
    win_path* nameless = read_win_path_bin(file);
    std::fclose(file);
    ASSERT_NE(nameless, nullptr);
    EXPECT_EQ(nameless->win_path_name, nullptr);
    EXPECT_EQ(nameless->win_path_idx, 3);
    free_win_path(nameless);
    EXPECT_EQ(log.warnings(),
              (std::vector<std::string>{
                  "win_path_node_ptr did not have win_path_node_name to free.",
                  "win_path_name is NULL (or 0 length) in malloc_win_path win_path_struct",
                  "win_path_ptr did not have win_path_name to free.",
              }));
}

TEST(WinMap, EveryTypeReadsAndLinksBackWhatWasWritten)
{
    std::string yard = yard_bytes();
    std::string nodes = yard.substr(NODES_AT);
    std::string gate = nodes.substr(0, 36) + yard.substr(NODES_AT + 72);
    std::string paths = yard.substr(PATHS_AT, CONNECTING_AT - PATHS_AT);
    std::string path = paths.substr(24, 24) + yard.substr(SECOND_ROUTE_AT - 12, 20);
    expect_record_round_trips({
        {&win_map_desc, yard, RecordForm::single, 1},
        {&win_map_desc, yard.substr(0, 12) + yard.substr(0, 12) + yard.substr(12) + yard.substr(12),
         RecordForm::array, 2},
        {&win_path_node_desc, nodes, RecordForm::array, 2},
        {&win_path_node_desc, gate, RecordForm::single, 1},
        {&win_path_desc, paths, RecordForm::array, 2},
        {&win_path_desc, path, RecordForm::single, 1},
        {&win_path_desc, path + path, RecordForm::list, 2},
    });
}

TEST(WinMap, CorruptStreamsAreRefusedWithTheirText)
{
    std::string yard = yard_bytes();
    expect_record_refusals(
        &win_map_desc,
        {
            {"a route through a node the map lacks",
             with_word(yard, SECOND_ROUTE_AT + 4, 5),
             {"Bad node_idx = 5 in win_path 1 of win_path_node 0 of win_map yard with "
              "node_array_size = 2"}},
            {"a route whose first node the map lacks",
             with_word(yard, SECOND_ROUTE_AT, 2),
             {"Bad node_idx = 2 in win_path 1 of win_path_node 0 of win_map yard with "
              "node_array_size = 2"}},
            {"a connecting node -1",
             with_word(yard, CONNECTING_AT, 0xffffffff),
             {"Bad connecting_node_idx = -1 in win_path_node 0 of win_map yard with "
              "node_array_size = 2"}},
            {"present nodes counted 0",
             with_word(yard, NODE_COUNT_AT, 0),
             {"Bad win_path_node_array_size = 0", "Could not read_win_path_node_array_bin."}},
            {"map name of length 0",
             with_word(yard, NAME_AT, 0),
             {"Could not read_str_bin win_map_name."}},
            {"huge path count",
             with_word(yard, PATH_COUNT_AT, 0x7fffffff),
             {"Bad win_path_array_size = 2147483647 with 96 bytes left",
              "Could not read_win_path_array_bin.", "Could not read_win_path_node_array_bin."}},
            {"huge route",
             with_word(yard, PATHS_AT + 16, 0x20000000),
             {"Bad node_idx_array_size = 536870912 with 36 bytes left",
              "Could not read_win_path_array_bin.", "Could not read_win_path_node_array_bin."}},
        });
}

TEST(WinMap, EveryTruncationAndEveryFailingAllocationIsRefused)
{
    expect_every_prefix_refused(&win_map_desc, yard_bytes());
    LogCapture log;
    EXPECT_GT(record_failure_sweep(&win_map_desc, yard_bytes()), 5);
}

TEST(WinMap, PathListsCountWhatTheyHold)
{
    win_path* list = nullptr;
    int32_t size = 0;
    for (int i = 0; i < 3; ++i)
        add_to_win_path_list(&list, &size, malloc_win_path("path"));
    LogCapture log;
    FILE* file = std::tmpfile();
    EXPECT_EQ(write_win_path_list_bin(file, list, 2), 0);
    EXPECT_EQ(file_contents(file).size(), 3u * (24 + 12));
    EXPECT_EQ(read_win_path_list_bin(file, 0), nullptr);
    std::fclose(file);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{
                  "Could not write_win_path_list_bin, list_size = 2, elements written = 3.",
                  "Bad win_path_list_size = 0",
              }));
    EXPECT_EQ(free_win_path_list(list), 1);
}
