#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "heap.h"
#include "test_support.h"
#include "texture_container.h"

namespace {

// A 2 x 1 bitmap without alpha whose pixels hold zero bytes (a string form
// would cut them off).
vk_bitmap* small_bitmap(const char* name)
{
    vk_bitmap* bitmap = malloc_vk_bitmap(name);
    bitmap->vk_bitmap_width = 2;
    bitmap->vk_bitmap_height = 1;
    bitmap->vk_bitmap_pitch = 6;
    bitmap->vk_bitmap_has_alpha = 0;
    bitmap->vk_bitmap_pixels = (uint8_t*)MALLOC(6);
    const uint8_t pixels[6] = {1, 0, 2, 0, 0, 3};
    std::memcpy(bitmap->vk_bitmap_pixels, pixels, 6);
    return bitmap;
}

std::string bitmap_image(const char* name)
{
    return ImageBytes()
        .word(1)
        .word(2)
        .word(1)
        .word(6)
        .word(0)
        .word(1)
        .str(name)
        .word(6)
        .raw(std::string("\x01\x00\x02\x00\x00\x03\x00\x00", 8))
        .bytes();
}

}  // namespace

TEST(TextureContainer, NewRecordsAndCounts)
{
    LogCapture log;
    texture_container* container = malloc_texture_container("wall");
    ASSERT_NE(container, nullptr);
    EXPECT_STREQ(container->texture_container_name, "wall");
    EXPECT_EQ(container->texture_container_ref_cnt, 1);
    EXPECT_EQ(container->prev_ptr, container);
    EXPECT_EQ(container->texture_container_user_value, -1);
    EXPECT_EQ(container->texture_container_id, -1);
    EXPECT_EQ(container->texture_container_transparent, 0);

    texture_container* array = malloc_texture_container_array(2);
    EXPECT_EQ(array[1].texture_container_ref_cnt, 0);
    EXPECT_EQ(array[1].next_ptr, &array[1]);
    free_texture_container_array(array, 2);

    // Three holders of one container: dropping them leaves the creator's.
    container->texture_container_ref_cnt += 3;
    texture_container_ptr* holders = malloc_texture_container_ptr_array(4);
    holders[0] = holders[1] = holders[3] = container;
    EXPECT_EQ(free_texture_container_ptr_array(holders, 4), 1);
    EXPECT_EQ(container->texture_container_ref_cnt, 1);

    transparent_texture* entry = malloc_transparent_texture("skull");
    EXPECT_EQ(entry->transparent_texture_reserved, 0);
    EXPECT_EQ(entry->next_ptr, entry);
    free_transparent_texture(entry);

    EXPECT_EQ(free_texture_container(container), 1);
    EXPECT_TRUE(log.errors().empty());

    // A count already at 0 is refused and left alone.
    texture_container* unowned = malloc_texture_container_array(1);
    EXPECT_EQ(free_texture_container(unowned), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"texture_container_ref_cnt is less than 0"});
    EXPECT_EQ(unowned->texture_container_ref_cnt, 0);
    free_texture_container_array(unowned, 1);
}

TEST(TextureContainer, AContainerReadBackHasNoSurfaceAndKeepsItsIdAndFlags)
{
    LogCapture log;
    texture_container* container = malloc_texture_container("skull");
    container->texture_container_ref_cnt = 4;
    container->texture_container_surface = (IDirectDrawSurface7*)&log;  // never touched
    container->texture_container_user_value = 0x1234;
    container->texture_container_id = 7;
    container->texture_container_transparent = 1;
    container->texture_container_has_alpha = 1;
    container->texture_container_bitmap = small_bitmap("skull_bits");

    std::string expected = ImageBytes()
                               .word(1)
                               .word(1)
                               .word(1)
                               .word(4)  // links, name, count
                               .word(0)
                               .word(1)
                               .word(0)
                               .word(0)
                               .word(0)  // run-time words, bitmap
                               .word(0x1234)
                               .word(7)
                               .word(1)
                               .word(1)
                               .word(0)
                               .str("skull")
                               .raw(bitmap_image("skull_bits"))
                               .bytes();
    std::string bytes = written_bytes(
        [&](FILE* f) { return write_texture_container_bin(f, container); });
    EXPECT_EQ(bytes, expected);

    FILE* file = file_with_bytes(bytes);
    texture_container* read = read_texture_container_bin(file);
    std::fclose(file);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->texture_container_ref_cnt, 1);
    EXPECT_EQ(read->texture_container_surface, nullptr);
    EXPECT_EQ(read->texture_container_id, 7);
    EXPECT_EQ(read->texture_container_transparent, 1);
    EXPECT_EQ(read->texture_container_has_alpha, 1);
    EXPECT_EQ(read->texture_container_user_value, 0x1234);
    ASSERT_NE(read->texture_container_bitmap, nullptr);
    EXPECT_EQ(std::memcmp(read->texture_container_bitmap->vk_bitmap_pixels,
                          container->texture_container_bitmap->vk_bitmap_pixels, 6),
              0);

    LinkImage image(bytes);
    texture_container* linked = link_texture_container(&image.cursor);
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(image.consumed(), (long)bytes.size());
    EXPECT_EQ(linked->texture_container_ref_cnt, 1);
    EXPECT_EQ(linked->texture_container_bitmap->vk_bitmap_pixels[5], 3);

    container->texture_container_surface = nullptr;
    container->texture_container_ref_cnt = 1;
    free_texture_container(container);
    free_texture_container(read);
    EXPECT_TRUE(log.errors().empty());
}

TEST(TextureContainer, ListsAndHolderArraysCountTheirReferences)
{
    LogCapture log;
    texture_container* list = nullptr;
    int32_t size = 0;
    for (const char* name : {"a", "b"}) {
        texture_container* container = malloc_texture_container(name);
        add_to_texture_container_list(&list, &size, container);
        --container->texture_container_ref_cnt;
    }
    std::string list_bytes = written_bytes(
        [&](FILE* f) { return write_texture_container_list_bin(f, list, 2); });
    FILE* file = file_with_bytes(list_bytes);
    texture_container* read_list = read_texture_container_list_bin(file, 2);
    std::fclose(file);
    ASSERT_NE(read_list, nullptr);
    EXPECT_EQ(read_list->texture_container_ref_cnt, 1);
    EXPECT_STREQ(read_list->next_ptr->texture_container_name, "b");
    free_texture_container_list(read_list);
    free_texture_container_list(list);

    // Presence words first, then one container stream for each present one.
    texture_container_ptr holders[3] = {malloc_texture_container("x"), nullptr,
                                        malloc_texture_container("y")};
    std::string bytes = written_bytes(
        [&](FILE* f) { return write_texture_container_ptr_array_bin(f, holders, 3); });
    EXPECT_EQ(bytes.substr(0, 12), ImageBytes().word(1).word(0).word(1).bytes());
    file = file_with_bytes(bytes);
    texture_container_ptr* read = read_texture_container_ptr_array_bin(file, 3);
    std::fclose(file);
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read[0]->texture_container_name, "x");
    EXPECT_EQ(read[1], nullptr);
    EXPECT_EQ(read[2]->texture_container_ref_cnt, 1);
    EXPECT_EQ(free_texture_container_ptr_array(read, 3), 1);
    free_texture_container(holders[0]);
    free_texture_container(holders[2]);

    texture_container* array = malloc_texture_container_array(2);
    bytes = written_bytes([&](FILE* f) { return write_texture_container_array_bin(f, array, 2); });
    file = file_with_bytes(bytes);
    texture_container* read_array = read_texture_container_array_bin(file, 2);
    std::fclose(file);
    ASSERT_NE(read_array, nullptr);
    EXPECT_EQ(read_array[0].texture_container_ref_cnt, 0);
    free_texture_container_array(read_array, 2);
    free_texture_container_array(array, 2);
}

TEST(TextureContainer, BitmapPixelsTravelWholeAndBadLengthsAreRefused)
{
    LogCapture log;
    vk_bitmap* bitmap = small_bitmap("pic");
    std::string bytes = written_bytes([&](FILE* f) { return write_vk_bitmap_bin(f, bitmap); });
    EXPECT_EQ(bytes, bitmap_image("pic"));
    free_vk_bitmap(bitmap);

    struct Case {
        const char* what;
        std::string bytes;
    } refused[] = {
        // The header words say 6 bytes; the stored length says 8.
        {"length other than the header's", ImageBytes()
                                               .word(1)
                                               .word(2)
                                               .word(1)
                                               .word(6)
                                               .word(0)
                                               .word(1)
                                               .str("p")
                                               .word(8)
                                               .raw(std::string(8, 'x'))
                                               .bytes()},
        // Pitch 4 x width but no alpha.
        {"pitch that does not fit the width", ImageBytes()
                                                  .word(1)
                                                  .word(2)
                                                  .word(1)
                                                  .word(8)
                                                  .word(0)
                                                  .word(1)
                                                  .str("p")
                                                  .word(8)
                                                  .raw(std::string(8, 'x'))
                                                  .bytes()},
        {"pixels cut short", bitmap_image("p").substr(0, bitmap_image("p").size() - 4)},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        log.clear();
        FILE* file = file_with_bytes(c.bytes);
        EXPECT_EQ(read_vk_bitmap_bin(file), nullptr);
        std::fclose(file);
        LinkImage image(c.bytes);
        EXPECT_EQ(link_vk_bitmap(&image.cursor), nullptr);
        EXPECT_FALSE(log.errors().empty());
    }

    // A bitmap without pixels, and one without a name, which warns when freed.
    vk_bitmap* empty = malloc_vk_bitmap_array(1);
    EXPECT_EQ(written_bytes([&](FILE* f) { return write_vk_bitmap_bin(f, empty); }),
              ImageBytes().word(0).word(-1).word(-1).word(-1).word(-1).word(0).bytes());
    log.clear();
    vk_bitmap* nameless = malloc_vk_bitmap(nullptr);
    free_vk_bitmap(nameless);
    EXPECT_EQ(log.warnings().size(), 2u);  // at malloc and at free
    free_vk_bitmap_array(empty, 1);
}
