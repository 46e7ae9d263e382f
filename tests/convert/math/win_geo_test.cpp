#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "heap.h"
#include "test_support.h"
#include "win_geo.h"

namespace {

struct TypeCase {
    const record_type* type;
    std::string defaults;  // the image of a new record
};

ImageBytes reals(std::initializer_list<float> values)
{
    ImageBytes bytes;
    for (float value : values)
        bytes.real(value);
    return bytes;
}

std::string zeros(int words)
{
    return std::string(4 * words, '\0');
}

// Every type of the module with the image of its default template.
const TypeCase all_types[] = {
    {&win_vect3_desc, zeros(3)},
    {&win_vect3_ptr_desc, zeros(1)},
    {&win_vect4_desc, zeros(4)},
    {&win_quat_desc, reals({-1, -1, -1, -1}).bytes()},
    {&win_norm_desc, zeros(3)},
    {&win_norm_ptr_desc, zeros(1)},
    {&win_plane_desc, reals({0, 0, 0, -1}).bytes()},
    {&win_rot_desc, zeros(3)},
    {&win_scale_desc, reals({1, 1, 1}).bytes()},
    {&win_uv_desc, reals({-1, -1}).bytes()},
    {&win_rgba_desc, reals({-1, -1, -1, -1}).bytes()},
    {&win_diffuse_desc, zeros(1)},
    {&win_xform_desc, reals({0, 0, 0, 0, 0, 0, 1, 1, 1}).word(0).bytes()},
    {&win_matrix33_desc, zeros(9)},
    {&win_matrix43_desc, zeros(13)},
    {&win_matrix44_desc, zeros(16)},
    {&win_bbox_desc, zeros(6)},
    {&win_spatial_desc, zeros(25)},
    {&win_sector_desc, reals({-1, -1, -1, -1}).bytes()},
    {&win_vtx_diffuse_desc, zeros(4)},
    {&win_vtx_norm_diffuse_desc, zeros(7)},
    {&win_vtx_norm_uv_desc, reals({0, 0, 0, 0, 0, 0, -1, -1}).bytes()},
    {&win_vtx_norm_diffuse_uv_desc, reals({0, 0, 0, 0, 0, 0}).word(0).real(-1).real(-1).bytes()},
    {&win_vtx_rhw_diffuse_uv_desc, reals({0, 0, 0, -1}).word(0).real(-1).real(-1).bytes()},
    {&win_filename_ptr_desc, zeros(1)},
    {&win_load_script_desc, ImageBytes().word(1).word(1).word(0).bytes()},  // linked to itself
};

std::string image_of(const record_type* type, const void* rec)
{
    return written_bytes([&](FILE* file) { return record_write_bin(type, file, rec); });
}

std::string array_image_of(const record_type* type, const void* array, int32_t n)
{
    return written_bytes([&](FILE* file) { return record_write_array_bin(type, file, array, n); });
}

// Gives every element of an array of any type distinct contents: value words
// from a counter, slot words, file names, script names.
void fill(const record_type* type, void* array, int32_t n)
{
    uint32_t counter = 0x3f000001;
    for (int32_t i = 0; i < n; ++i) {
        char* rec = (char*)array + (size_t)i * type->size;
        if (type->flat) {
            for (uint32_t offset = 0; offset < type->size; offset += 4, counter += 0x10001)
                std::memcpy(rec + offset, &counter, 4);
        } else if (type == &win_vect3_ptr_desc || type == &win_norm_ptr_desc) {
            *(void**)rec = (void*)(uintptr_t)(0xfffffff0u + (uint32_t)i);
        } else if (type == &win_filename_ptr_desc) {
            *(char**)rec = i == 1 ? nullptr : STRDUP(i ? "c:\\data\\win\\model\\b.mow" : "a");
        } else {
            ((win_load_script*)rec)->win_load_script_name = STRDUP(i ? "intro" : "startup");
        }
    }
}

}  // namespace

TEST(WinGeo, NewRecordsHoldTheDefaultTemplate)
{
    for (const TypeCase& c : all_types) {
        SCOPED_TRACE(c.type->name);
        LogCapture log;
        void* rec = record_malloc(c.type, nullptr);
        void* array = record_malloc_array(c.type, 3);
        EXPECT_EQ(image_of(c.type, rec), c.defaults);
        EXPECT_EQ(array_image_of(c.type, array, 3), c.defaults + c.defaults + c.defaults);
        if (c.type->flat) {
            EXPECT_EQ(std::memcmp(rec, c.defaults.data(), c.defaults.size()), 0);
        }
        EXPECT_EQ(record_free(c.type, rec), 1);
        EXPECT_EQ(record_free_array(c.type, array, 3), 1);
        EXPECT_TRUE(log.errors().empty());
    }
    win_load_script* script = malloc_win_load_script_array(2);
    EXPECT_EQ(script[1].next_ptr, &script[1]);
    EXPECT_EQ(script[1].prev_ptr, &script[1]);
    free_win_load_script_array(script, 2);
}

TEST(WinGeo, EveryTypeReadsAndLinksBackWhatWasWritten)
{
    for (const TypeCase& c : all_types) {
        SCOPED_TRACE(c.type->name);
        LogCapture log;
        void* array = record_malloc_array(c.type, 3);
        fill(c.type, array, 3);
        std::string single = image_of(c.type, array);
        std::string bytes = array_image_of(c.type, array, 3);

        FILE* file = file_with_bytes(single + bytes);
        void* one = record_read_bin(c.type, file);
        void* three = record_read_array_bin(c.type, file, 3);
        EXPECT_EQ(std::ftell(file), (long)(single.size() + bytes.size()));
        std::fclose(file);
        ASSERT_NE(one, nullptr);
        ASSERT_NE(three, nullptr);
        EXPECT_EQ(image_of(c.type, one), single);
        EXPECT_EQ(array_image_of(c.type, three, 3), bytes);
        if (c.type->flat) {
            EXPECT_EQ(std::memcmp(three, array, 3 * c.type->size), 0);
        }

        LinkImage image(single + bytes);
        void* linked_one = record_link(c.type, &image.cursor);
        void* linked_three = record_link_array(c.type, &image.cursor, 3);
        ASSERT_NE(linked_three, nullptr);
        EXPECT_EQ(image.consumed(), (long)(single.size() + bytes.size()));
        EXPECT_EQ(image_of(c.type, linked_one), single);
        EXPECT_EQ(array_image_of(c.type, linked_three, 3), bytes);
        EXPECT_TRUE(log.errors().empty());

        record_free(c.type, one);
        record_free_array(c.type, three, 3);
        record_free_array(c.type, array, 3);
    }
}

TEST(WinGeo, OwnedAndPassThroughWordsComeBackAsTheyWere)
{
    win_vect3_ptr slots[3] = {nullptr, (win_vect3*)(uintptr_t)7, (win_vect3*)(uintptr_t)0xffffffff};
    std::string slot_bytes = ImageBytes().word(0).word(7).word(0xffffffff).bytes();
    EXPECT_EQ(written_bytes([&](FILE* f) { return write_win_vect3_ptr_array_bin(f, slots, 3); }),
              slot_bytes);
    FILE* file = file_with_bytes(slot_bytes);
    win_vect3_ptr* read = read_win_vect3_ptr_array_bin(file, 3);
    std::fclose(file);
    EXPECT_EQ(std::memcmp(read, slots, sizeof slots), 0);
    free_win_vect3_ptr_array(read, 3);

    win_filename_ptr* names = malloc_win_filename_ptr_array(3);
    names[0] = STRDUP("c:\\data\\a.mow");
    names[2] = STRDUP("b");
    file = file_with_bytes(
        written_bytes([&](FILE* f) { return write_win_filename_ptr_array_bin(f, names, 3); }));
    win_filename_ptr* names_read = read_win_filename_ptr_array_bin(file, 3);
    std::fclose(file);
    ASSERT_NE(names_read, nullptr);
    EXPECT_STREQ(names_read[0], "c:\\data\\a.mow");
    EXPECT_EQ(names_read[1], nullptr);
    EXPECT_STREQ(names_read[2], "b");
    EXPECT_NE(names_read[0], names[0]);
    free_win_filename_ptr_array(names, 3);
    free_win_filename_ptr_array(names_read, 3);
}

TEST(WinGeo, GoldenBytes)
{
    win_vect3 points[3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9.5f}};
    EXPECT_EQ(written_bytes([&](FILE* f) { return write_win_vect3_array_bin(f, points, 3); }),
              reals({1, 2, 3, 4, 5, 6, 7, 8, 9.5f}).bytes());

    win_xform xform = {1, 2, 3, 0.5f, 0, 0, 2, 1, 1, WIN_ATTRIB_ROTATE_X | WIN_ATTRIB_SCALE_X};
    EXPECT_EQ(written_bytes([&](FILE* f) { return write_win_xform_bin(f, &xform); }),
              reals({1, 2, 3, 0.5f, 0, 0, 2, 1, 1}).word(0x41).bytes());

    // Presence words first (1, 0, 1), then the strings of the present entries.
    win_filename_ptr* names = malloc_win_filename_ptr_array(3);
    names[0] = STRDUP("abcde");
    names[2] = STRDUP("xy");
    EXPECT_EQ(written_bytes([&](FILE* f) { return write_win_filename_ptr_array_bin(f, names, 3); }),
              ImageBytes().word(1).word(0).word(1).str("abcde").str("xy").bytes());
    free_win_filename_ptr_array(names, 3);

    // Each node whole, image then name, from the head on.
    win_load_script* list = nullptr;
    int32_t size = 0;
    for (const char* name : {"startup", "a", "level2"})
        add_to_win_load_script_list(&list, &size, malloc_win_load_script(name));
    EXPECT_EQ(written_bytes([&](FILE* f) { return write_win_load_script_list_bin(f, list, size); }),
              ImageBytes()
                  .word(1)
                  .word(1)
                  .word(1)
                  .str("startup")
                  .word(1)
                  .word(1)
                  .word(1)
                  .str("a")
                  .word(1)
                  .word(1)
                  .word(1)
                  .str("level2")
                  .bytes());
    free_win_load_script_list(list);
}

TEST(WinGeo, LoadScriptListKeepsFileOrderAndItsSize)
{
    LogCapture log;
    win_load_script* list = nullptr;
    int32_t size = 0;
    win_load_script* nodes[3];
    const char* names[3] = {"one", "two", "three"};
    for (int i = 0; i < 3; ++i) {
        nodes[i] = malloc_win_load_script(names[i]);
        EXPECT_EQ(add_to_win_load_script_list(&list, &size, nodes[i]), 1);
    }
    EXPECT_EQ(size, 3);
    EXPECT_EQ(list, nodes[0]);
    EXPECT_EQ(list->prev_ptr, nodes[2]);
    EXPECT_EQ((win_load_script*)dlink_find((dlink*)list, "two"), nodes[1]);

    // Not the head: the head stays.
    EXPECT_EQ(remove_from_win_load_script_list(&list, &size, nodes[1]), 1);
    EXPECT_EQ(list, nodes[0]);
    EXPECT_EQ(nodes[1]->next_ptr, nodes[1]);
    // The head of two: the other becomes the head, linked to itself.
    EXPECT_EQ(remove_from_win_load_script_list(&list, &size, nodes[0]), 1);
    EXPECT_EQ(list, nodes[2]);
    EXPECT_EQ(list->next_ptr, nodes[2]);
    EXPECT_EQ(size, 1);
    // Not a member: nothing changes.
    EXPECT_EQ(remove_from_win_load_script_list(&list, &size, nodes[0]), 0);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(log.errors(), std::vector<std::string>{
                                "win_load_script_ptr is not a member of win_load_script_list."});

    add_to_win_load_script_list(&list, &size, nodes[0]);
    add_to_win_load_script_list(&list, &size, nodes[1]);
    win_load_script* head = list;
    EXPECT_EQ(free_win_load_script_list(list), 1);
    EXPECT_EQ(list, head);  // the caller's head and size are its own to clear
    EXPECT_EQ(size, 3);
    EXPECT_TRUE(log.warnings().empty());
}

TEST(WinGeo, FamilyMessagesInTheTypesWords)
{
    LogCapture log;
    win_load_script* list = nullptr;
    int32_t size = 0;
    win_load_script* script = malloc_win_load_script("");
    EXPECT_EQ(add_to_win_load_script_list(nullptr, &size, script), 0);
    EXPECT_EQ(add_to_win_load_script_list(&list, nullptr, script), 0);
    EXPECT_EQ(remove_from_win_load_script_list(&list, &size, nullptr), 0);
    EXPECT_EQ(free_win_load_script_list(nullptr), 0);
    EXPECT_EQ(malloc_win_load_script_array(0), nullptr);
    win_filename_ptr* names = malloc_win_filename_ptr_array(4);
    EXPECT_EQ(free_win_filename_ptr_array(names, -1), 0);  // refused: the array stays
    EXPECT_EQ(free_win_vect3_ptr(nullptr), 0);
    EXPECT_EQ(write_win_vect3_ptr_bin(nullptr, nullptr), 0);
    FILE* file = std::tmpfile();
    EXPECT_EQ(write_win_vect3_ptr_bin(file, nullptr), 0);
    EXPECT_EQ(read_win_matrix43_array_bin(file, -4), nullptr);
    std::fclose(file);
    EXPECT_EQ(free_win_load_script(script), 1);
    EXPECT_EQ(free_win_filename_ptr_array(names, 4), 1);

    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{
                  "Cannot add_to_win_load_script_list with NULL win_load_script_list.",
                  "Cannot add_to_win_load_script_list with NULL win_load_script_list_size.",
                  "Cannot remove_from_win_load_script_list with NULL win_load_script_ptr.",
                  "Cannot free_win_load_script_list with NULL win_load_script_list.",
                  "Bad win_load_script_array_size = 0",
                  "Bad win_filename_ptr_array_size = -1",
                  "Cannot free_win_vect3_ptr with NULL win_vect3_ptr_ptr.",
                  "Cannot write_win_vect3_ptr_bin with NULL bin_file.",
                  "Cannot write_win_vect3_ptr_bin with NULL win_vect3_ptr_ptr.",
                  "Bad win_matrix43_array_size = -4",
              }));
    EXPECT_EQ(log.warnings(),
              (std::vector<std::string>{
                  "win_load_script_name is NULL (or 0 length) in malloc_win_load_script "
                  "win_load_script_struct",
                  "win_load_script_ptr did not have win_load_script_name to free.",
              }));
}

TEST(WinGeo, HoldersReleaseOnlyWhatTheyOwn)
{
    win_vect3* point = malloc_win_vect3();
    win_vect3_ptr* holder = malloc_win_vect3_ptr();
    *holder = point;
    EXPECT_EQ(free_win_vect3_ptr(holder), 1);
    point->x = 1.0f;  // still allocated
    free_win_vect3(point);

    LogCapture log;
    win_filename_ptr* names = malloc_win_filename_ptr_array(4);
    names[1] = STRDUP("kept");
    EXPECT_EQ(free_win_filename_ptr_array(names, 4), 1);
    EXPECT_TRUE(log.lines().empty());
}

TEST(WinGeo, StoredNamesAndStringsThatCannotStand)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::function<void*(FILE*)> read;
        std::vector<std::string> errors;
        int warnings;
    };
    std::string nameless = ImageBytes().word(7).word(7).word(0).bytes();
    std::string empty_name = ImageBytes().word(7).word(7).word(1).str("").bytes();
    const Case cases[] = {
        {"announced file name of length 0",
         ImageBytes().word(1).word(0).bytes(),
         [](FILE* f) { return (void*)read_win_filename_ptr_bin(f); },
         {"Could not read_str_bin."},
         0},
        {"announced script name of length 0",
         ImageBytes().word(0).word(0).word(1).word(0).bytes(),
         [](FILE* f) { return (void*)read_win_load_script_bin(f); },
         {"Could not read_str_bin win_load_script_name."},
         0},
        {"first node of a list",
         ImageBytes().word(0).word(0).word(9).word(0).bytes(),
         [](FILE* f) { return (void*)read_win_load_script_list_bin(f, 1); },
         {"Could not read_str_bin win_load_script_name.",
          "Could not read_win_load_script_list_bin."},
         0},
        {"no name word",
         nameless,
         [](FILE* f) { return (void*)read_win_load_script_bin(f); },
         {},
         1},
        {"stored empty name",
         empty_name,
         [](FILE* f) { return (void*)read_win_load_script_bin(f); },
         {},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        FILE* file = file_with_bytes(c.bytes);
        win_load_script* rec = (win_load_script*)c.read(file);
        std::fclose(file);
        EXPECT_EQ(log.errors(), c.errors);
        EXPECT_EQ((int)log.warnings().size(), c.warnings);
        if (c.errors.empty()) {
            ASSERT_NE(rec, nullptr);
            EXPECT_EQ(rec->win_load_script_name, nullptr);
            EXPECT_EQ(rec->next_ptr, rec);
            free_win_load_script(rec);
        } else {
            EXPECT_EQ(rec, nullptr);
        }
    }
}

TEST(WinGeo, LinkFormsTakeTheImageInPlace)
{
    // Three points: the cursor moves by 36.
    LinkImage points(reals({1, 2, 3, 4, 5, 6, 7, 8, 9}).bytes());
    win_vect3* linked = link_win_vect3_array(&points.cursor, 3);
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(points.consumed(), 36);
    EXPECT_EQ(linked[2].z, 9.0f);

    // Holders 1, 0, 1: past the words, then the two strings (5 and 7
    // characters: 12 bytes each); the names point into the image.
    LinkImage names(ImageBytes().word(1).word(0).word(1).str("abcde").str("abcdefg").bytes());
    win_filename_ptr* held = link_win_filename_ptr_array(&names.cursor, 3);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(names.consumed(), 12 + 12 + 12);
    EXPECT_EQ(held[0], names.block + 16);
    EXPECT_EQ(held[1], nullptr);
    EXPECT_STREQ(held[2], "abcdefg");

    // A list of three in file order, a circle of its own.
    std::string list_bytes = ImageBytes()
                                 .word(1)
                                 .word(1)
                                 .word(1)
                                 .str("a")
                                 .word(1)
                                 .word(1)
                                 .word(1)
                                 .str("b")
                                 .word(1)
                                 .word(1)
                                 .word(1)
                                 .str("c")
                                 .bytes();
    LinkImage scripts(list_bytes);
    win_load_script* list = link_win_load_script_list(&scripts.cursor, 3);
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list->win_load_script_name, "a");
    EXPECT_STREQ(list->next_ptr->win_load_script_name, "b");
    EXPECT_STREQ(list->prev_ptr->win_load_script_name, "c");
    EXPECT_EQ(list->next_ptr->next_ptr->next_ptr, list);
    EXPECT_EQ(list->win_load_script_name, scripts.block + 16);

    // A count of 0: refused, the cursor stays.
    LogCapture log;
    LinkImage empty(reals({1, 2, 3}).bytes());
    EXPECT_EQ(link_win_vect3_array(&empty.cursor, 0), nullptr);
    EXPECT_EQ(link_win_filename_ptr(&empty.cursor), nullptr);  // announced, no string
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Bad win_vect3_array_size = 0",
                                                      "Bad string length 1073741824 with 4 "
                                                      "bytes left",
                                                      "Could not link_str."}));
}
