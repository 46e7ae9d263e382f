#include <gtest/gtest.h>

#include <string>

#include "heap.h"
#include "test_support.h"
#include "win_sound.h"

namespace {

// Makes a container look loaded: run-time words set, and a channel and
// reserved words that the stream keeps.
win_sound_container* fill(win_sound_container* sound, int32_t channel)
{
    sound->win_sound_container_sample_data = sound;  // never followed
    sound->win_sound_container_file_image = sound;
    sound->win_sound_container_is_3d = 1;
    sound->win_sound_container_load_index = 4;
    sound->win_sound_container_channel = channel;
    sound->sound_container_reserved[5] = 0x55;
    return sound;
}

win_sound_container* container(const char* name, int32_t channel)
{
    return fill(malloc_win_sound_container(name), channel);
}

// The 56-byte image of such a container, with its name word.
ImageBytes& image(ImageBytes& bytes, uint32_t name_word, int32_t channel)
{
    bytes.word(1).word(1).word(name_word).word(0).word(0);  // links, name, run-time words
    bytes.word(1).word(4).word((uint32_t)channel);
    for (int i = 0; i < 5; ++i)
        bytes.word(0);
    return bytes.word(0x55);
}

std::string array_bytes(const win_sound_container* array, int32_t size)
{
    return written_bytes(
        [&](FILE* f) { return write_win_sound_container_array_bin(f, array, size); });
}

}  // namespace

TEST(WinSoundContainer, NewContainersHaveNoChannelAndNoLoadIndex)
{
    LogCapture log;
    win_sound_container* sound = malloc_win_sound_container("step.wav");
    ASSERT_NE(sound, nullptr);
    EXPECT_STREQ(sound->win_sound_container_name, "step.wav");
    EXPECT_EQ(sound->next_ptr, sound);
    EXPECT_EQ(sound->win_sound_container_channel, -1);
    EXPECT_EQ(sound->win_sound_container_load_index, -1);
    EXPECT_EQ(sound->win_sound_container_is_3d, 0);
    EXPECT_EQ(sound->win_sound_container_sample_data, nullptr);
    free_win_sound_container(sound);

    win_sound_container* nameless = malloc_win_sound_container("");
    EXPECT_EQ(log.warnings(),
              std::vector<std::string>{"win_sound_container_name is NULL (or 0 length) in "
                                       "malloc_win_sound_container win_sound_container_struct"});
    free_win_sound_container(nameless);
    EXPECT_EQ(log.warnings().back(),
              "win_sound_container_ptr did not have win_sound_container_name to free.");
    EXPECT_TRUE(log.errors().empty());
}

TEST(WinSoundContainer, AnArrayStreamsImagesThenNamesAndReadsBackWithoutSampleData)
{
    LogCapture log;
    win_sound_container* array = malloc_win_sound_container_array(2);
    array[0].win_sound_container_name = STRDUP("door.wav");
    fill(&array[0], 3);
    fill(&array[1], 7);

    ImageBytes expected;
    image(expected, 1, 3);
    image(expected, 0, 7);
    expected.str("door.wav");
    std::string bytes = array_bytes(array, 2);
    EXPECT_EQ(bytes, expected.bytes());

    FILE* file = file_with_bytes(bytes);
    win_sound_container* read = read_win_sound_container_array_bin(file, 2);
    std::fclose(file);
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read[0].win_sound_container_name, "door.wav");
    EXPECT_EQ(read[1].win_sound_container_name, nullptr);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(read[i].win_sound_container_sample_data, nullptr);
        EXPECT_EQ(read[i].win_sound_container_file_image, nullptr);
        EXPECT_EQ(read[i].win_sound_container_is_3d, 1);
        EXPECT_EQ(read[i].win_sound_container_load_index, 4);
        EXPECT_EQ(read[i].sound_container_reserved[5], 0x55);
        EXPECT_EQ(read[i].next_ptr, &read[i]);
    }
    EXPECT_EQ(read[0].win_sound_container_channel, 3);
    EXPECT_EQ(read[1].win_sound_container_channel, 7);
    EXPECT_EQ(array_bytes(read, 2), bytes);

    LinkImage linked(bytes);
    win_sound_container* link = link_win_sound_container_array(&linked.cursor, 2);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(linked.consumed(), (long)bytes.size());
    EXPECT_EQ(link[1].win_sound_container_channel, 7);
    EXPECT_EQ(link[0].win_sound_container_sample_data, nullptr);
    EXPECT_EQ(array_bytes(link, 2), bytes);

    free_win_sound_container_array(read, 2);
    free_win_sound_container_array(array, 2);
    EXPECT_TRUE(log.errors().empty());
}

TEST(WinSoundContainer, EveryProperPrefixIsRefusedWithoutLeaks)
{
    win_sound_container_ptr slots[3] = {container("a.wav", 1), nullptr, container("music.mp3", 2)};
    std::string bytes = written_bytes(
        [&](FILE* f) { return write_win_sound_container_ptr_array_bin(f, slots, 3); });
    free_win_sound_container(slots[0]);
    free_win_sound_container(slots[2]);
    EXPECT_EQ(bytes.substr(0, 12), ImageBytes().word(1).word(0).word(1).bytes());
    for (size_t length = 0; length < bytes.size(); ++length) {
        SCOPED_TRACE(length);
        LogCapture log;
        FILE* file = file_with_bytes(bytes.substr(0, length));
        EXPECT_EQ(read_win_sound_container_ptr_array_bin(file, 3), nullptr);
        std::fclose(file);
        EXPECT_FALSE(log.errors().empty());
        LinkImage linked(bytes.substr(0, length));
        EXPECT_EQ(link_win_sound_container_ptr_array(&linked.cursor, 3), nullptr);
    }
    FILE* file = file_with_bytes(bytes);
    win_sound_container_ptr* read = read_win_sound_container_ptr_array_bin(file, 3);
    std::fclose(file);
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read[2]->win_sound_container_name, "music.mp3");
    EXPECT_EQ(read[1], nullptr);
    EXPECT_EQ(free_win_sound_container_ptr_array(read, 3), 1);
}

TEST(WinSoundContainer, ListsAndSlotsRefuseWhatDoesNotAddUp)
{
    LogCapture log;
    win_sound_container* list = nullptr;
    int32_t size = 0;
    for (const char* name : {"a.wav", "b.wav"})
        add_to_win_sound_container_list(&list, &size, malloc_win_sound_container(name));
    FILE* out = std::tmpfile();
    EXPECT_EQ(write_win_sound_container_list_bin(out, list, 3), 0);
    std::fclose(out);
    EXPECT_EQ(log.errors().back(),
              "Could not write_win_sound_container_list_bin, list_size = 3, elements written = 2.");

    win_sound_container* stranger = malloc_win_sound_container("c.wav");
    EXPECT_EQ(remove_from_win_sound_container_list(&list, &size, stranger), 0);
    EXPECT_EQ(log.errors().back(),
              "win_sound_container_ptr is not a member of win_sound_container_list.");
    EXPECT_EQ(size, 2);
    free_win_sound_container(stranger);
    free_win_sound_container_list(list);

    struct {
        const char* what;
        std::string bytes;
        int32_t count;
        const char* error;
    } cases[] = {
        {"no slots", "", 0, "Bad win_sound_container_ptr_array_size = 0"},
        {"more slots than bytes", ImageBytes().word(0).bytes(), 1000,
         "Bad win_sound_container_ptr_array_size = 1000 with 4 bytes left"},
        {"a name longer than the stream",
         image(ImageBytes().word(1), 1, 0).word(400).raw("abcd").bytes(), 1,
         "Bad string length 400 with 4 bytes left"},
    };
    for (const auto& c : cases) {
        log.clear();
        FILE* file = file_with_bytes(c.bytes);
        EXPECT_EQ(read_win_sound_container_ptr_array_bin(file, c.count), nullptr) << c.what;
        std::fclose(file);
        ASSERT_FALSE(log.errors().empty()) << c.what;
        EXPECT_EQ(log.errors()[0], c.error) << c.what;
    }

    // Slots that point nowhere: freeing them releases the array only.
    win_sound_container_ptr* empty = malloc_win_sound_container_ptr_array(4);
    EXPECT_EQ(free_win_sound_container_ptr_array(empty, 4), 1);
}
