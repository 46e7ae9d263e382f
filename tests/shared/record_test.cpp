#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "debug.h"
#include "heap.h"
#include "record.h"
#include "record_support.h"
#include "test_support.h"

// Test-only record types that use every kind of row: a named, counted list
// node that owns an array of records with owned data of their own, a list of
// its own type, a single record, raw 16- and 32-bit numbers, a run-time
// pointer, a slot, a tagged record and words kept in memory only. The leaf
// has a check: its indexes stay below 1000.
struct rt_leaf {
    int32_t leaf_value;
    char* leaf_label;
    int32_t leaf_idx_array_size;
    uint16_t* leaf_idx_array;
};
RECORD_CHECK(rt_leaf, rt_leaf_check);
RECORD_BEGIN(rt_leaf, 16)
    REC_WORDS(leaf_value)
    REC_STRING(leaf_label)
    REC_NUMBERS(leaf_idx_array_size, leaf_idx_array, rt_idx)
RECORD_END(rt_leaf, PLAIN, .leaf_value = -1)

struct rt_box {
    float half[2];
};
RECORD_VALUE(rt_box, 8, .half = {1.0f, 1.0f})

inline constexpr record_variant rt_shapes[] = {{0, &rt_leaf_desc}, {1, &rt_box_desc}};

struct rt_node {
    rt_node* prev_ptr;
    rt_node* next_ptr;
    char* rt_node_name;
    int32_t rt_node_ref_cnt;
    float pos[3];
    int32_t rt_leaf_array_size;
    rt_leaf* rt_leaf_array;
    int32_t child_list_size;
    rt_node* child_list;
    rt_leaf* single_leaf;
    int32_t weight_array_size;
    float* weight_array;
    void* resolved;
    int32_t* slot;
    int32_t shape_type;
    void* shape;
    int32_t marks[3];
};
RECORD_BEGIN(rt_node, 72)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(rt_node_name)
    REC_REF_CNT(rt_node_ref_cnt)
    REC_WORDS(pos)
    REC_ARRAY(rt_leaf_array_size, rt_leaf_array, rt_leaf)
    REC_LIST(child_list_size, child_list, rt_node, "kid_list")
    REC_RECORD(single_leaf, rt_leaf)
    REC_NUMBERS(weight_array_size, weight_array, float)
    REC_RUNTIME(resolved)
    REC_SLOT(slot)
    REC_WORDS(shape_type)
    REC_VARIANT(shape_type, shape, rt_shapes)
    REC_UNSTORED(marks)
RECORD_END(rt_node, NAMED_LIST, .pos = {0.0f, 0.0f, -1.0f})

// A tree node shaped as a script's expression node: it nests one level for
// each left child.
struct rt_expr {
    rt_expr* left;
    rt_expr* right;
    uint32_t expr_type;
    float expr_value;
};
RECORD_BEGIN(rt_expr, 16)
    REC_RECORD(left, rt_expr)
    REC_RECORD(right, rt_expr)
    REC_WORDS(expr_type)
    REC_WORDS(expr_value)
RECORD_END(rt_expr, PLAIN)

// A holder of one counted reference.
typedef rt_node* rt_node_ptr;
RECORD_BEGIN(rt_node_ptr, 4)
    REC_SELF_RECORD(rt_node)
RECORD_END(rt_node_ptr, PLAIN)

// A user of a shared node: it holds one reference of a node that it is
// given at run time, never stored.
struct rt_user {
    int32_t user_value;
    rt_node* used;
};
RECORD_BEGIN(rt_user, 8)
    REC_WORDS(user_value)
    REC_REFERENCE(used, rt_node)
RECORD_END(rt_user, PLAIN)

// A holder of counted slots made at run time (their count is stored, they
// are not), whose releases are counted by its release step.
struct rt_holder {
    int32_t holder_value;
    int32_t slot_array_size;
    rt_node_ptr* slot_array;
};
RECORD_RELEASE(rt_holder, rt_holder_release);
RECORD_BEGIN(rt_holder, 12)
    REC_WORDS(holder_value)
    REC_RUNTIME_ARRAY(slot_array_size, slot_array, rt_node_ptr)
RECORD_END(rt_holder, PLAIN)

int rt_holders_released = 0;

void rt_holder_release(void*)
{
    ++rt_holders_released;
}

int rt_leaf_check(const void* rec)
{
    const rt_leaf* leaf = (const rt_leaf*)rec;
    for (int32_t i = 0; i < leaf->leaf_idx_array_size; ++i)
        if (leaf->leaf_idx_array[i] >= 1000) {
            LOG_ERROR("Bad rt_idx = %ld\n", (long)leaf->leaf_idx_array[i]);
            return 0;
        }
    return 1;
}

namespace {

char* dup(const char* text)
{
    return STRDUP(text);
}

// A node "ab": one leaf "xyz" with three 16-bit indices, one weight after
// them (so 2 bytes off a multiple of 4), a box shape, a slot word and a
// run-time pointer, and marks that no image holds.
rt_node* small_node()
{
    rt_node* node = malloc_rt_node("ab");
    node->pos[0] = 1.5f;
    node->pos[1] = 2.0f;
    node->rt_leaf_array = malloc_rt_leaf_array(1);
    node->rt_leaf_array_size = 1;
    node->rt_leaf_array[0].leaf_value = 7;
    node->rt_leaf_array[0].leaf_label = dup("xyz");
    node->rt_leaf_array[0].leaf_idx_array = heap_numbers<uint16_t>({1, 2, 3});
    node->rt_leaf_array[0].leaf_idx_array_size = 3;
    node->weight_array = heap_numbers<float>({0.5f});
    node->weight_array_size = 1;
    node->resolved = node;
    node->slot = (int32_t*)(uintptr_t)5;
    node->shape_type = 1;
    node->shape = malloc_rt_box();
    ((rt_box*)node->shape)->half[0] = 2.0f;
    node->marks[2] = 9;
    return node;
}

std::string small_node_bytes()
{
    return ImageBytes()
        .word(1)
        .word(1)
        .word(1)
        .word(1)  // links, name, count
        .real(1.5f)
        .real(2.0f)
        .real(-1.0f)  // pos
        .word(1)
        .word(1)  // leaf array
        .word(0)
        .word(0)  // child list
        .word(0)  // single leaf
        .word(1)
        .word(1)  // weights
        .word(0)  // run-time pointer
        .word(5)  // slot
        .word(1)
        .word(1)  // shape
        .str("ab")
        .word(7)
        .word(1)
        .word(3)
        .word(1)  // the leaf's image
        .str("xyz")
        .half(1)
        .half(2)
        .half(3)
        .real(0.5f)
        .real(2.0f)
        .real(1.0f)  // the box
        .bytes();
}

// A deeper tree: two children in a list (one with a leaf shape of its own and
// a nameless one), a single leaf, leaves with and without owned data.
rt_node* deep_node()
{
    rt_node* root = small_node();
    rt_node* kid = malloc_rt_node("kid");
    kid->shape_type = 0;
    kid->shape = malloc_rt_leaf();
    ((rt_leaf*)kid->shape)->leaf_label = dup("shape");
    kid->rt_leaf_array = malloc_rt_leaf_array(2);
    kid->rt_leaf_array_size = 2;
    kid->rt_leaf_array[1].leaf_idx_array = heap_numbers<uint16_t>({9});
    kid->rt_leaf_array[1].leaf_idx_array_size = 1;
    add_to_rt_node_list(&root->child_list, &root->child_list_size, kid);
    free_rt_node(kid);  // the list holds it now
    rt_node* nameless = malloc_rt_node(nullptr);
    nameless->weight_array = heap_numbers<float>({1.0f, 2.0f});
    nameless->weight_array_size = 2;
    add_to_rt_node_list(&root->child_list, &root->child_list_size, nameless);
    free_rt_node(nameless);
    root->single_leaf = malloc_rt_leaf();
    root->single_leaf->leaf_label = dup("single");
    return root;
}

std::string node_bytes(const rt_node* node)
{
    return written_bytes([&](FILE* file) { return write_rt_node_bin(file, node); });
}

}  // namespace

TEST(RecordStream, WritesTheImageThenTheOwnedItemsInFieldOrder)
{
    rt_node* node = small_node();
    EXPECT_EQ(node_bytes(node), small_node_bytes());
    free_rt_node(node);
}

TEST(RecordStream, ReadsBackEveryStoredFieldAndResetsTheRest)
{
    std::string bytes = small_node_bytes();
    FILE* file = file_with_bytes(bytes);
    rt_node* node = read_rt_node_bin(file);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(std::ftell(file), (long)bytes.size());
    std::fclose(file);

    EXPECT_STREQ(node->rt_node_name, "ab");
    EXPECT_EQ(node->prev_ptr, node);
    EXPECT_EQ(node->next_ptr, node);
    EXPECT_EQ(node->rt_node_ref_cnt, 1);
    EXPECT_EQ(node->pos[0], 1.5f);
    EXPECT_EQ(node->pos[2], -1.0f);
    ASSERT_EQ(node->rt_leaf_array_size, 1);
    EXPECT_EQ(node->rt_leaf_array[0].leaf_value, 7);
    EXPECT_STREQ(node->rt_leaf_array[0].leaf_label, "xyz");
    EXPECT_EQ(node->rt_leaf_array[0].leaf_idx_array[2], 3);
    EXPECT_EQ(node->weight_array[0], 0.5f);
    EXPECT_EQ(node->resolved, nullptr);
    EXPECT_EQ((uintptr_t)node->slot, 5u);
    EXPECT_EQ(((rt_box*)node->shape)->half[0], 2.0f);
    EXPECT_EQ(node->marks[2], 0);
    EXPECT_EQ(node_bytes(node), bytes);
    free_rt_node(node);
}

TEST(RecordStream, DeepTreeSurvivesWriteReadAndLink)
{
    LogCapture log;
    rt_node* tree = deep_node();
    std::string bytes = node_bytes(tree);
    free_rt_node(tree);

    FILE* file = file_with_bytes(bytes);
    rt_node* read = read_rt_node_bin(file);
    std::fclose(file);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(node_bytes(read), bytes);
    ASSERT_EQ(read->child_list_size, 2);
    EXPECT_EQ(read->child_list->next_ptr->next_ptr, read->child_list);
    EXPECT_STREQ(read->child_list->rt_node_name, "kid");
    EXPECT_EQ(read->child_list->rt_node_ref_cnt, 1);
    EXPECT_STREQ(((rt_leaf*)read->child_list->shape)->leaf_label, "shape");
    free_rt_node(read);

    LinkImage linked(bytes);
    rt_node* link = link_rt_node(&linked.cursor);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(linked.consumed(), (long)bytes.size());
    EXPECT_EQ(node_bytes(link), bytes);
    // Strings stay in the image; numbers are copied out of it, aligned.
    EXPECT_GE(link->rt_node_name, linked.block);
    EXPECT_LT(link->rt_node_name, linked.block + bytes.size());
    EXPECT_EQ((uintptr_t)link->weight_array % alignof(float), 0u);
    EXPECT_EQ(link->child_list->prev_ptr->prev_ptr, link->child_list);
    EXPECT_TRUE(log.errors().empty()) << testing::PrintToString(log.errors());
}

TEST(RecordMemory, ANamedRecordMadeWithoutANameIsWarnedAbout)
{
    LogCapture log;
    for (const char* name : {(const char*)nullptr, ""}) {
        log.clear();
        rt_node* node = malloc_rt_node(name);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->rt_node_name, nullptr);
        EXPECT_EQ(log.warnings(),
                  std::vector<std::string>{
                      "rt_node_name is NULL (or 0 length) in malloc_rt_node rt_node_struct"});
        free_rt_node(node);
    }
}

TEST(RecordStream, NullArgumentsAreRefusedWithOneLineEach)
{
    LogCapture log;
    FILE* file = std::tmpfile();
    rt_node* node = malloc_rt_node("n");
    const struct {
        std::function<bool()> refused;
        const char* error;
    } cases[] = {
        {[&] { return !write_rt_node_bin(nullptr, node); },
         "Cannot write_rt_node_bin with NULL bin_file."},
        {[&] { return !write_rt_node_bin(file, nullptr); },
         "Cannot write_rt_node_bin with NULL rt_node_ptr."},
        {[&] { return !write_rt_node_array_bin(nullptr, node, 1); },
         "Cannot write_rt_node_array_bin with NULL bin_file."},
        {[&] { return !write_rt_node_array_bin(file, nullptr, 1); },
         "Cannot write_rt_node_array_bin with NULL rt_node_array."},
        {[&] { return !write_rt_node_array_bin(file, node, 0); }, "Bad rt_node_array_size = 0"},
        {[&] { return !write_rt_node_list_bin(nullptr, node, 1); },
         "Cannot write_rt_node_list_bin with NULL bin_file."},
        {[&] { return !write_rt_node_list_bin(file, nullptr, 1); },
         "Cannot write_rt_node_list_bin with NULL rt_node_list."},
        {[] { return !read_rt_node_bin(nullptr); }, "Cannot read_rt_node_bin with NULL bin_file."},
        {[] { return !read_rt_node_array_bin(nullptr, 1); },
         "Cannot read_rt_node_array_bin with NULL bin_file."},
        {[] { return !read_rt_node_list_bin(nullptr, 1); },
         "Cannot read_rt_node_list_bin with NULL bin_file."},
        {[] { return !free_rt_node(nullptr); }, "Cannot free_rt_node with NULL rt_node_ptr."},
        {[] { return !free_rt_node_array(nullptr, 1); },
         "Cannot free_rt_node_array with NULL rt_node_array."},
        {[] { return !free_rt_node_list(nullptr); },
         "Cannot free_rt_node_list with NULL rt_node_list."},
        {[] { return !malloc_rt_node_array(0); }, "Bad rt_node_array_size = 0"},
    };
    for (const auto& c : cases) {
        log.clear();
        EXPECT_TRUE(c.refused()) << c.error;
        EXPECT_EQ(log.errors(), std::vector<std::string>{c.error});
    }
    EXPECT_EQ(file_contents(file), "");
    std::fclose(file);
    EXPECT_EQ(free_rt_node(node), 1);
}

TEST(RecordStream, EveryProperPrefixOfANestedStreamIsRefused)
{
    rt_node* tree = deep_node();
    std::string bytes = node_bytes(tree);
    free_rt_node(tree);
    expect_every_prefix_refused(&rt_node_desc, bytes);
}

TEST(RecordStream, StoredCountsAreCheckedBeforeAnythingIsAllocated)
{
    struct Case {
        const char* what;
        size_t word;  // index of the word to corrupt in the small node's stream
        uint32_t value;
        const char* error;
    };
    const Case cases[] = {
        {"huge leaf array", 7, 100000000, "Bad rt_leaf_array_size = 100000000 with 42 bytes left"},
        {"negative leaf array", 7, (uint32_t)-2, "Bad rt_leaf_array_size = -2"},
        {"huge number array", 12, 1000000, "Bad weight_array_size = 1000000 with 12 bytes left"},
        {"empty number array", 12, 0, "Could not read_weight_array_bin."},
        {"negative number array", 12, 0x9FFF0002u, "Could not read_weight_array_bin."},
        {"huge child list", 9, 70000, "Bad rt_node_list_size = 70000 with 12 bytes left"},
        {"unknown shape", 16, 7, "Unknown shape_type = 7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = small_node_bytes();
        if (c.word == 9)  // a child list needs its presence word too
            std::memset(&bytes[4 * 10], 1, 1);
        uint32_t value = c.value;
        std::memcpy(&bytes[4 * c.word], &value, 4);
        LogCapture log;
        FILE* file = file_with_bytes(bytes);
        EXPECT_EQ(read_rt_node_bin(file), nullptr);
        std::fclose(file);
        std::vector<std::string> errors = log.errors();
        EXPECT_NE(std::find(errors.begin(), errors.end(), c.error), errors.end())
            << testing::PrintToString(errors);

        LinkImage linked(bytes);
        EXPECT_EQ(link_rt_node(&linked.cursor), nullptr);
    }
}

TEST(RecordStream, FailuresAreReportedInTheWordsOfTheFieldAndType)
{
    // Name announced, but a string record of length 0 follows.
    {
        LogCapture log;
        FILE* file = file_with_bytes(
            ImageBytes().word(1).word(1).word(1).raw(std::string(60, '\0')).word(0).bytes());
        EXPECT_EQ(read_rt_node_bin(file), nullptr);
        std::fclose(file);
        EXPECT_EQ(log.errors(), std::vector<std::string>{"Could not read_str_bin rt_node_name."});
    }
    // A leaf array whose second element's label cannot be read.
    {
        std::string leaves = ImageBytes()
                                 .word(1)
                                 .word(1)
                                 .word(0)
                                 .word(0)
                                 .word(2)
                                 .word(1)
                                 .word(0)
                                 .word(0)
                                 .str("one")
                                 .word(0)
                                 .bytes();
        LogCapture log;
        FILE* file = file_with_bytes(leaves);
        EXPECT_EQ(read_rt_leaf_array_bin(file, 2), nullptr);
        std::fclose(file);
        EXPECT_EQ(log.errors(), std::vector<std::string>{"Could not read_str_bin."});
    }
    // A list of three written with a size of two.
    {
        rt_node* list = nullptr;
        int32_t size = 0;
        for (const char* name : {"a", "b", "c"}) {
            rt_node* node = malloc_rt_node(name);
            add_to_rt_node_list(&list, &size, node);
            free_rt_node(node);
        }
        LogCapture log;
        FILE* file = std::tmpfile();
        EXPECT_EQ(write_rt_node_list_bin(file, list, 2), 0);
        EXPECT_EQ(file_contents(file).size(), 3u * (72 + 8));
        std::fclose(file);
        EXPECT_EQ(log.errors(),
                  std::vector<std::string>{
                      "Could not write_rt_node_list_bin, list_size = 2, elements written = 3."});
        free_rt_node_list(list);
    }
    // A child list of a record that cannot be written names the field's word.
    {
        rt_node* node = malloc_rt_node("n");
        rt_node* kid = malloc_rt_node("k");
        add_to_rt_node_list(&node->child_list, &node->child_list_size, kid);
        free_rt_node(kid);
        node->child_list_size = 5;
        LogCapture log;
        FILE* file = std::tmpfile();
        EXPECT_EQ(write_rt_node_bin(file, node), 0);
        std::fclose(file);
        std::vector<std::string> errors = log.errors();
        ASSERT_EQ(errors.size(), 2u);
        EXPECT_EQ(errors[1], "Could not write_kid_list_bin.");
        free_rt_node(node);
    }
}

TEST(RecordStream, AStoredEmptyNameIsNoNameReadSinglyButKeptInAnArray)
{
    std::string bytes =
        ImageBytes().word(0).word(0).word(1).word(9).raw(std::string(56, '\0')).str("").bytes();
    LogCapture log;
    FILE* file = file_with_bytes(bytes);
    rt_node* node = read_rt_node_bin(file);
    std::rewind(file);
    rt_node* array = read_rt_node_array_bin(file, 1);
    std::fclose(file);
    ASSERT_NE(node, nullptr);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(node->rt_node_name, nullptr);
    EXPECT_STREQ(array[0].rt_node_name, "");
    EXPECT_EQ(log.warnings(),
              std::vector<std::string>{
                  "rt_node_name is NULL (or 0 length) in malloc_rt_node rt_node_struct"});
    free_rt_node(node);
    free_rt_node_array(array, 1);
}

TEST(RecordStream, TaggedRecordsFollowTheirTag)
{
    rt_node* node = malloc_rt_node("v");
    node->shape_type = 0;
    node->shape = malloc_rt_leaf();
    std::string bytes = node_bytes(node);
    EXPECT_EQ(bytes.size(), 72u + 8 + 16);  // image, name, leaf image

    LogCapture log;
    node->shape_type = 3;
    FILE* file = std::tmpfile();
    EXPECT_EQ(write_rt_node_bin(file, node), 0);
    std::fclose(file);
    // Nothing says what the pointer holds: the free fails and lets go of all
    // else, the record too.
    rt_leaf* leaf = (rt_leaf*)node->shape;
    EXPECT_EQ(free_rt_node(node), 0);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"Unknown shape_type = 3", "Unknown shape_type = 3"}));
    free_rt_leaf(leaf);

    // An unknown tag fails a free even without a tagged record.
    log.clear();
    rt_node* bare = malloc_rt_node("bare");
    bare->shape_type = 5;
    EXPECT_EQ(free_rt_node(bare), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Unknown shape_type = 5"});
}

TEST(RecordCounted, ReferenceCountRules)
{
    struct Case {
        const char* what;
        std::function<int32_t(LogCapture&)> count;  // the count that the steps leave
        int32_t expected;
        const char* error;
    };
    std::string stored =
        ImageBytes().word(0).word(0).word(0).word(57).raw(std::string(56, '\0')).bytes();
    auto read = [&](const std::function<rt_node*(FILE*)>& reader, int elements) {
        FILE* file = file_with_bytes(stored + stored);
        rt_node* node = reader(file);
        std::fclose(file);
        int32_t count = node->rt_node_ref_cnt;
        if (elements)
            free_rt_node_array(node, elements);
        else if (node->next_ptr != node)
            free_rt_node_list(node);
        else
            free_rt_node(node);
        return count;
    };
    auto linked = [&](const std::function<rt_node*(link_cursor*)>& linker) {
        LinkImage image(stored + stored);
        int32_t count = linker(&image.cursor)->rt_node_ref_cnt;
        return count;
    };
    const Case cases[] = {
        {"malloc gives the creator's reference",
         [](LogCapture&) {
             rt_node* node = malloc_rt_node("n");
             int32_t count = node->rt_node_ref_cnt;
             free_rt_node(node);
             return count;
         },
         1, ""},
        {"add_to_list adds the list's",
         [](LogCapture&) {
             rt_node* list = nullptr;
             int32_t size = 0;
             rt_node* node = malloc_rt_node("n");
             add_to_rt_node_list(&list, &size, node);
             int32_t count = node->rt_node_ref_cnt;
             free_rt_node(node);
             free_rt_node_list(list);
             return count;
         },
         2, ""},
        {"remove_from_list drops it, free releases at 0",
         [](LogCapture&) {
             rt_node* list = nullptr;
             int32_t size = 0;
             rt_node* node = malloc_rt_node("n");
             add_to_rt_node_list(&list, &size, node);
             remove_from_rt_node_list(&list, &size, node);
             int32_t count = node->rt_node_ref_cnt;
             EXPECT_EQ(free_rt_node(node), 1);  // LeakSanitizer sees it go
             return count;
         },
         1, ""},
        {"free above 1 only counts down",
         [](LogCapture&) {
             rt_node* node = malloc_rt_node("n");
             node->rt_node_ref_cnt = 3;
             EXPECT_EQ(free_rt_node(node), 1);
             int32_t count = node->rt_node_ref_cnt;
             node->rt_node_ref_cnt = 1;
             free_rt_node(node);
             return count;
         },
         2, ""},
        {"free below 0 is refused",
         [](LogCapture&) {
             rt_node* node = malloc_rt_node("n");
             node->rt_node_ref_cnt = 0;
             EXPECT_EQ(free_rt_node(node), 0);
             int32_t count = node->rt_node_ref_cnt;
             node->rt_node_ref_cnt = 1;
             free_rt_node(node);
             return count;
         },
         0, "rt_node_ref_cnt is less than 0"},
        {"array elements are not counted",
         [](LogCapture&) {
             rt_node* array = malloc_rt_node_array(2);
             int32_t count = array[1].rt_node_ref_cnt;
             free_rt_node_array(array, 2);
             return count;
         },
         0, ""},
        {"a holder's release drops one reference",
         [](LogCapture&) {
             rt_node* node = malloc_rt_node("n");
             node->rt_node_ref_cnt = 4;
             rt_node_ptr* holders = malloc_rt_node_ptr_array(3);
             std::fill(holders, holders + 3, node);
             free_rt_node_ptr_array(holders, 3);
             int32_t count = node->rt_node_ref_cnt;
             free_rt_node(node);
             return count;
         },
         1, ""},
        {"read singly", [&](LogCapture&) { return read(read_rt_node_bin, 0); }, 1, ""},
        {"read in a list",
         [&](LogCapture&) { return read([](FILE* f) { return read_rt_node_list_bin(f, 2); }, 0); },
         1, ""},
        {"read in an array",
         [&](LogCapture&) { return read([](FILE* f) { return read_rt_node_array_bin(f, 2); }, 2); },
         0, ""},
        {"linked singly", [&](LogCapture&) { return linked(link_rt_node); }, 1, ""},
        {"linked in a list",
         [&](LogCapture&) {
             return linked([](link_cursor* c) { return link_rt_node_list(c, 2); });
         },
         1, ""},
        {"linked in an array",
         [&](LogCapture&) {
             return linked([](link_cursor* c) { return link_rt_node_array(c, 2); });
         },
         0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        EXPECT_EQ(c.count(log), c.expected);
        std::vector<std::string> expected_errors;
        if (c.error[0])
            expected_errors.push_back(c.error);
        EXPECT_EQ(log.errors(), expected_errors);
    }
}

TEST(RecordCounted, ReleasingAnArrayWarnsForElementsStillHeld)
{
    rt_node* array = malloc_rt_node_array(2);
    array[0].rt_node_name = dup("held");
    array[0].rt_node_ref_cnt = 1;
    array[1].rt_node_name = dup("free");
    LogCapture log;
    EXPECT_EQ(free_rt_node_array(array, 2), 1);
    EXPECT_EQ(log.warnings(), std::vector<std::string>{"rt_node_ref_cnt is not 0 for held"});
}

TEST(RecordCounted, ARunTimeReferenceIsNeitherStoredNorTakenButReleased)
{
    rt_node* node = malloc_rt_node("shared");
    rt_user* user = malloc_rt_user();
    user->user_value = 3;
    user->used = node;
    ++node->rt_node_ref_cnt;
    std::string bytes = written_bytes([&](FILE* file) { return write_rt_user_bin(file, user); });
    EXPECT_EQ(bytes, ImageBytes().words({3, 0}).bytes());

    // Whatever word stands there, readers and linkers leave the reference empty.
    std::string stored = ImageBytes().words({3, 0xdeadbeef}).bytes();
    FILE* file = file_with_bytes(stored + stored);
    rt_user* read = read_rt_user_bin(file);
    rt_user* array = read_rt_user_array_bin(file, 1);
    std::fclose(file);
    ASSERT_NE(read, nullptr);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(read->used, nullptr);
    EXPECT_EQ(array[0].used, nullptr);
    LinkImage image(stored);
    rt_user* linked = link_rt_user(&image.cursor);
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(linked->used, nullptr);
    EXPECT_EQ(free_rt_user(read), 1);

    // Each holder lets its reference go with itself; the node goes with the last.
    array[0].used = node;
    ++node->rt_node_ref_cnt;
    EXPECT_EQ(free_rt_user(user), 1);
    EXPECT_EQ(node->rt_node_ref_cnt, 2);
    EXPECT_EQ(free_rt_user_array(array, 1), 1);
    EXPECT_EQ(node->rt_node_ref_cnt, 1);
    EXPECT_EQ(free_rt_node(node), 1);  // LeakSanitizer sees it go
}

TEST(RecordCounted, ARunTimeArrayKeepsItsCountAndReleasesItsSlots)
{
    rt_node* node = malloc_rt_node("shared");
    rt_holder* holder = malloc_rt_holder();
    holder->holder_value = 3;
    holder->slot_array = malloc_rt_node_ptr_array(2);
    holder->slot_array_size = 2;
    holder->slot_array[1] = node;
    ++node->rt_node_ref_cnt;
    std::string bytes = written_bytes(
        [&](FILE* file) { return write_rt_holder_bin(file, holder); });
    EXPECT_EQ(bytes, ImageBytes().words({3, 2, 0}).bytes());

    // Readers and linkers keep the count and leave the slots to be made.
    std::string stored = ImageBytes().words({3, 2, 0xdeadbeef}).bytes();
    FILE* file = file_with_bytes(stored + stored + stored);
    rt_holder* read = read_rt_holder_bin(file);
    rt_holder* array = read_rt_holder_array_bin(file, 2);
    std::fclose(file);
    ASSERT_NE(read, nullptr);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(read->slot_array_size, 2);
    EXPECT_EQ(read->slot_array, nullptr);
    EXPECT_EQ(array[1].slot_array_size, 2);
    EXPECT_EQ(array[1].slot_array, nullptr);
    LinkImage image(stored);
    rt_holder* linked = link_rt_holder(&image.cursor);
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(linked->slot_array, nullptr);

    // Releasing a holder releases its slots, and the slots their references;
    // the release step runs for every holder released, alone or in an array.
    rt_holders_released = 0;
    EXPECT_EQ(free_rt_holder(holder), 1);
    EXPECT_EQ(node->rt_node_ref_cnt, 1);
    EXPECT_EQ(free_rt_holder(read), 1);
    EXPECT_EQ(free_rt_holder_array(array, 2), 1);
    EXPECT_EQ(rt_holders_released, 4);
    EXPECT_EQ(free_rt_node(node), 1);
}

// A count whose items the image does not announce counts nothing: it reads
// as 0 with a line, in the stream and the link form, for arrays, lists and
// numbers alike. A run-time array's count is data and stays (above).
TEST(RecordStream, ACountWithoutItsItemsReadsAsZeroWithALine)
{
    EXPECT_EQ(expect_counts_follow_items(&rt_node_desc), 3);
    EXPECT_EQ(expect_counts_follow_items(&rt_leaf_desc, 1), 1);
    EXPECT_EQ(expect_counts_follow_items(&rt_holder_desc), 0);
}

TEST(RecordLink, RefusalsLeaveTheCursorWhereItWas)
{
    LinkImage linked(small_node_bytes());
    LogCapture log;
    link_cursor no_data = linked.cursor;
    no_data.data = nullptr;
    link_cursor no_arena = linked.cursor;
    no_arena.arena = nullptr;
    EXPECT_EQ(link_rt_node(nullptr), nullptr);
    EXPECT_EQ(link_rt_node_list(&no_data, 1), nullptr);
    EXPECT_EQ(link_rt_node_array(&no_arena, 1), nullptr);
    EXPECT_EQ(link_rt_node_array(&linked.cursor, 0), nullptr);
    EXPECT_EQ(link_arena_begin(&linked.arena, nullptr, 0, 0).data, nullptr);  // holds an image
    EXPECT_EQ(linked.consumed(), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Cannot link_rt_node with NULL   data_hdl.",
                                "Cannot link_rt_node_list with NULL * data_hdl.",
                                "Cannot link_rt_node_array with NULL link_arena.",
                                "Bad rt_node_array_size = 0",
                                "Cannot link_arena_begin with a link_arena in use.",
                            }));
}

TEST(RecordStream, TheLinkFormsTakeAStoredEmptyNameAsTheStreamFormsDo)
{
    // Read or linked singly (alone or as a list node) the name is none; an
    // array element keeps it.
    std::string bytes =
        ImageBytes().word(0).word(0).word(1).word(9).raw(std::string(56, '\0')).str("").bytes();
    struct Case {
        const char* what;
        std::function<rt_node*(FILE*)> read;
        std::function<rt_node*(link_cursor*)> link;
        const char* name;
    };
    const Case cases[] = {
        {"single", read_rt_node_bin, link_rt_node, nullptr},
        {"list", [](FILE* f) { return read_rt_node_list_bin(f, 1); },
         [](link_cursor* c) { return link_rt_node_list(c, 1); }, nullptr},
        {"array", [](FILE* f) { return read_rt_node_array_bin(f, 1); },
         [](link_cursor* c) { return link_rt_node_array(c, 1); }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        FILE* file = file_with_bytes(bytes);
        rt_node* read = c.read(file);
        std::fclose(file);
        LinkImage linked(bytes);
        rt_node* link = c.link(&linked.cursor);
        ASSERT_NE(read, nullptr);
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(linked.consumed(), (long)bytes.size());
        if (c.name) {
            EXPECT_STREQ(read->rt_node_name, c.name);
            EXPECT_STREQ(link->rt_node_name, c.name);
            free_rt_node_array(read, 1);
        } else {
            EXPECT_EQ(read->rt_node_name, nullptr);
            EXPECT_EQ(link->rt_node_name, nullptr);
            free_rt_node(read);
        }
        EXPECT_TRUE(log.errors().empty());
    }
}

TEST(RecordStream, AReadLeavesTheFileJustAfterItsRecords)
{
    // Records with owned data, a stretch of other bytes longer than any read
    // ahead, and the same records again.
    rt_node* tree = deep_node();
    std::string record = node_bytes(tree);
    free_rt_node(tree);
    std::string other(200000, 'x');
    FILE* file = file_with_bytes(record + other + record);
    for (long at : {0L, (long)(record.size() + other.size())}) {
        ASSERT_EQ(std::fseek(file, at, SEEK_SET), 0);
        rt_node* node = read_rt_node_bin(file);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(std::ftell(file), at + (long)record.size());
        free_rt_node(node);
    }
    std::fclose(file);
}

TEST(RecordStream, LargeArraysReadThroughTheWindowAsWritten)
{
    // Many elements whose labels cross the read-ahead blocks, and one label
    // longer than the largest block.
    const int32_t count = 5000;
    rt_leaf* leaves = malloc_rt_leaf_array(count);
    for (int32_t i = 0; i < count; ++i) {
        leaves[i].leaf_value = i;
        std::string label(i == 4000 ? 100000 : (size_t)(i % 37), (char)('a' + i % 26));
        leaves[i].leaf_label = dup(label.c_str());
        if (i % 3 == 0) {
            leaves[i].leaf_idx_array = heap_numbers<uint16_t>({(uint16_t)(i % 1000)});
            leaves[i].leaf_idx_array_size = 1;
        }
    }
    std::string bytes = written_bytes(
        [&](FILE* f) { return write_rt_leaf_array_bin(f, leaves, count); });
    free_rt_leaf_array(leaves, count);

    FILE* file = file_with_bytes(bytes + "tail");
    rt_leaf* read = read_rt_leaf_array_bin(file, count);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(std::ftell(file), (long)bytes.size());
    std::fclose(file);
    EXPECT_EQ(written_bytes([&](FILE* f) { return write_rt_leaf_array_bin(f, read, count); }),
              bytes);
    EXPECT_EQ(std::strlen(read[4000].leaf_label), 100000u);
    free_rt_leaf_array(read, count);
}

namespace {

// A stream of `depth` expression nodes, each the left child of the one before.
std::string left_chain_bytes(int depth)
{
    ImageBytes bytes;
    for (int i = 0; i < depth; ++i)
        bytes.word(i + 1 < depth).word(0).word(7).real((float)i);
    return bytes.bytes();
}

}  // namespace

TEST(RecordNesting, StreamsDeeperThanTheBoundAreRefusedWithOneLine)
{
    // 7,000 levels (110 KB) once overflowed the stack of a normal build.
    for (int depth : {(int)RECORD_MAX_DEPTH, (int)RECORD_MAX_DEPTH + 1, 7000}) {
        SCOPED_TRACE(depth);
        std::string bytes = left_chain_bytes(depth);
        LogCapture log;
        FILE* file = file_with_bytes(bytes);
        rt_expr* read = read_rt_expr_bin(file);
        std::fclose(file);
        LinkImage linked(bytes);
        rt_expr* link = link_rt_expr(&linked.cursor);
        if (depth <= RECORD_MAX_DEPTH) {
            ASSERT_NE(read, nullptr);
            ASSERT_NE(link, nullptr);
            EXPECT_EQ(written_bytes([&](FILE* f) { return write_rt_expr_bin(f, link); }), bytes);
            EXPECT_EQ(free_rt_expr(read), 1);
            EXPECT_TRUE(log.errors().empty());
        } else {
            EXPECT_EQ(read, nullptr);
            EXPECT_EQ(link, nullptr);
            EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                        "Cannot read_rt_expr_bin nested deeper than 1024 records.",
                                        "Cannot link_rt_expr nested deeper than 1024 records.",
                                    }));
        }
    }
}

TEST(RecordNesting, TreesDeeperThanTheBoundAreNeitherWrittenNorFreedPastIt)
{
    // Built in memory one level too deep: the write is refused; the free
    // releases the levels within the bound, leaves the one below them and
    // says so.
    rt_expr* root = malloc_rt_expr();
    rt_expr* deepest = root;
    for (int level = 1; level <= RECORD_MAX_DEPTH; ++level) {
        deepest->left = malloc_rt_expr();
        deepest = deepest->left;
    }
    LogCapture log;
    FILE* file = std::tmpfile();
    EXPECT_EQ(write_rt_expr_bin(file, root), 0);
    std::fclose(file);
    EXPECT_EQ(free_rt_expr(root), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Cannot write_rt_expr_bin nested deeper than 1024 records.",
                                "Cannot free_rt_expr nested deeper than 1024 records.",
                            }));
    EXPECT_EQ(free_rt_expr(deepest), 1);  // still whole
}

// A model-sized tree: forty children of two kinds under the deep node, each
// with leaves, labels and numbers, read and linked while each allocation of
// the reader fails in turn, and written while each allocation of the writer
// (the image buffer of each array of records) fails in turn.
TEST(RecordStream, EachFailingAllocationOfAReadOrAWriteIsRefusedWithoutALeak)
{
    rt_node* tree = deep_node();
    for (int i = 0; i < 40; ++i) {
        rt_node* kid = i % 2 ? small_node() : deep_node();
        add_to_rt_node_list(&tree->child_list, &tree->child_list_size, kid);
        free_rt_node(kid);
    }
    std::string bytes = node_bytes(tree);

    LogCapture log;
    int written = heap_failure_sweep([&] {
        FILE* file = std::tmpfile();
        int ok = write_rt_node_bin(file, tree);
        std::fclose(file);
        return ok == 1;
    });
    EXPECT_GT(written, 40);
    EXPECT_EQ(node_bytes(tree), bytes) << "the tree is as it was";
    free_rt_node(tree);

    int swept = heap_failure_sweep([&] {
        FILE* file = file_with_bytes(bytes);
        rt_node* read = read_rt_node_bin(file);
        std::fclose(file);
        return read && free_rt_node(read);
    });
    EXPECT_GT(swept, 200);
    swept = heap_failure_sweep([&] {
        LinkImage linked(bytes);
        return link_rt_node(&linked.cursor) != nullptr;
    });
    EXPECT_GT(swept, 1);
    // A new named record: the record, then its name.
    swept = heap_failure_sweep([] {
        rt_node* node = malloc_rt_node("n");
        return node && free_rt_node(node);
    });
    EXPECT_EQ(swept, 2);
}

TEST(RecordCheck, ARecordThatFailsItsTypesCheckIsRefusedInEveryForm)
{
    // The leaf's first index (after the node's image and name, the leaf's
    // image and label) becomes 1000.
    std::string bytes = small_node_bytes();
    size_t leaf_at = 72 + 8;
    bytes[leaf_at + 16 + 8] = (char)0xe8;
    bytes[leaf_at + 16 + 8 + 1] = 0x03;
    std::string leaf_bytes = bytes.substr(leaf_at, 16 + 8 + 6);
    struct Case {
        const char* what;
        std::function<bool(void)> refused;
    };
    const Case cases[] = {{"a node owning it in an array",
                           [&] {
                               FILE* file = file_with_bytes(bytes);
                               rt_node* node = read_rt_node_bin(file);
                               std::fclose(file);
                               return node == nullptr;
                           }},
                          {"the node linked",
                           [&] {
                               LinkImage linked(bytes);
                               return link_rt_node(&linked.cursor) == nullptr;
                           }},
                          {"a list of such nodes",
                           [&] {
                               FILE* file = file_with_bytes(bytes);
                               rt_node* list = read_rt_node_list_bin(file, 1);
                               std::fclose(file);
                               return list == nullptr;
                           }},
                          {"the leaf alone",
                           [&] {
                               FILE* file = file_with_bytes(leaf_bytes);
                               rt_leaf* leaf = read_rt_leaf_bin(file);
                               std::fclose(file);
                               return leaf == nullptr;
                           }},
                          {"an array of leaves", [&] {
                               FILE* file = file_with_bytes(leaf_bytes);
                               rt_leaf* leaves = read_rt_leaf_array_bin(file, 1);
                               std::fclose(file);
                               return leaves == nullptr;
                           }}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        EXPECT_TRUE(c.refused());
        std::vector<std::string> errors = log.errors();
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors[0], "Bad rt_idx = 1000");
    }
}

TEST(RecordRelease, ResultsAreTheAndOfEveryReleaseInsideAndNoElementIsSkipped)
{
    // Holders of three nodes, the middle one already released too often.
    rt_node* spent = malloc_rt_node("spent");
    spent->rt_node_ref_cnt = 0;
    rt_node_ptr* holders = malloc_rt_node_ptr_array(3);
    holders[0] = small_node();
    holders[1] = spent;
    holders[2] = deep_node();
    {
        LogCapture log;
        EXPECT_EQ(free_rt_node_ptr_array(holders, 3), 0);
        EXPECT_EQ(log.errors(), std::vector<std::string>{"rt_node_ref_cnt is less than 0"});
    }
    spent->rt_node_ref_cnt = 1;
    EXPECT_EQ(free_rt_node(spent), 1);

    // An array whose middle element's shape has an unknown tag: the elements
    // around it and its other items are released, its shape cannot be.
    rt_node* nodes = malloc_rt_node_array(3);
    nodes[0].rt_node_name = dup("first");
    nodes[1].rt_node_name = dup("odd");
    nodes[1].weight_array = heap_numbers<float>({1.0f});
    nodes[1].weight_array_size = 1;
    nodes[1].shape_type = 7;
    rt_box* shape = malloc_rt_box();
    nodes[1].shape = shape;
    nodes[2].single_leaf = malloc_rt_leaf();
    {
        LogCapture log;
        EXPECT_EQ(free_rt_node_array(nodes, 3), 0);
        EXPECT_EQ(log.errors(), std::vector<std::string>{"Unknown shape_type = 7"});
    }
    free_rt_box(shape);
}
