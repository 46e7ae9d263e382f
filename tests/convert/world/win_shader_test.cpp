#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "demo_shader.h"
#include "file_io.h"
#include "record_support.h"
#include "test_support.h"
#include "win_shader.h"

namespace {

// The shader "glow": the state table "flicker" stored with it, the textures
// "glow_a" and "glow_b", a slot holding the container of the first and an
// empty slot for the second, showing texture 1.
win_shader* glow_shader()
{
    return demo_shader_make_whole("glow", "flicker", "glow_a", "glow_b");
}

// The stream of the flicker table; with `next_of_flash`, flash leads there.
std::string table_bytes(int32_t next_of_flash = 0)
{
    win_ast* table = demo_shader_make_table("flicker", "flicker");
    table->win_anim_table_base_array[1].next_anim_index = next_of_flash;
    std::string bytes = written_bytes([&](FILE* file) { return write_win_ast_bin(file, table); });
    free_win_ast(table);
    return bytes;
}

std::string container_bytes()
{
    texture_container* container = malloc_texture_container("glow_a");
    std::string bytes = written_bytes(
        [&](FILE* file) { return write_texture_container_bin(file, container); });
    free_texture_container(container);
    return bytes;
}

// The 52-byte image: presence words and counts as given.
std::string glow_image(uint32_t current_texture = 1, uint32_t names = 2, uint32_t slots = 2)
{
    return ImageBytes()
        .words({1, 1, 1})                 // name, table name, table
        .words({names, names ? 1u : 0u})  // texture names
        .words({slots, slots ? 1u : 0u})  // texture slots
        .word(current_texture)
        .reals({-1.0f, -1.0f, -1.0f, -1.0f, 1.0f})
        .bytes();
}

std::string glow_items()
{
    return ImageBytes()
        .str("glow")
        .str("flicker")
        .raw(table_bytes())
        .words({1, 1})  // both texture names present
        .str("glow_a")
        .str("glow_b")
        .words({1, 0})  // the second slot empty
        .raw(container_bytes())
        .bytes();
}

std::string glow_bytes()
{
    return glow_image() + glow_items();
}

}  // namespace

TEST(WinShader, NewShadersShowNothingAndNamelessOnesAreWarnedAbout)
{
    LogCapture log;
    win_shader* shader = malloc_win_shader("");
    EXPECT_EQ(shader->win_shader_name, nullptr);
    EXPECT_EQ(shader->current_texture, -1);
    EXPECT_EQ(written_bytes([&](FILE* file) { return write_win_shader_bin(file, shader); }),
              ImageBytes()
                  .words({0, 0, 0, 0, 0, 0, 0, 0xffffffff})
                  .reals({-1.0f, -1.0f, -1.0f, -1.0f, 1.0f})
                  .bytes());
    EXPECT_EQ(free_win_shader(shader), 1);
    EXPECT_EQ(log.warnings(),
              (std::vector<std::string>{
                  "win_shader_name is NULL (or 0 length) in malloc_win_shader win_shader_struct",
                  "win_shader_ptr did not have win_shader_name to free."}));
}

TEST(WinShader, AShaderFileHoldsTheHeaderAndOneShaderStream)
{
    TempDir dir;
    LogCapture log;
    win_shader* shader = glow_shader();
    std::string path = dir.file("glow.shw");
    ASSERT_EQ(demo_shader_write_file(path.c_str(), shader), 1);
    EXPECT_EQ(free_win_shader(shader), 1);

    std::string bytes = read_host_file(path);
    ASSERT_EQ(bytes.size(), 100 + glow_bytes().size());
    EXPECT_EQ(bytes.substr(64, 8), ImageBytes().words({44, 105}).bytes());
    EXPECT_EQ(bytes.substr(72, 28), std::string(28, '\0'));
    EXPECT_EQ(bytes.substr(100), glow_bytes());

    int found = 0;
    FILE* file = file_open_search_verify_version_bin(path.c_str(), nullptr, FILE_TYPE_SHADER,
                                                     FILE_VERSION_SHADER, &found);
    ASSERT_NE(file, nullptr);
    win_shader* read = read_win_shader_bin(file);
    file_close(file);
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read->win_shader_name, "glow");
    EXPECT_STREQ(read->win_ast_filename, "flicker");
    ASSERT_NE(read->win_ast, nullptr);
    EXPECT_EQ(read->win_ast->win_anim_table_base_array_size, 2);
    ASSERT_EQ(read->win_texture_filename_array_size, 2);
    EXPECT_STREQ(read->win_texture_filename_array[1], "glow_b");
    ASSERT_EQ(read->texture_container_ptr_array_size, 2);
    EXPECT_STREQ(read->texture_container_ptr_array[0]->texture_container_name, "glow_a");
    EXPECT_EQ(read->texture_container_ptr_array[0]->texture_container_ref_cnt, 1);
    EXPECT_EQ(read->texture_container_ptr_array[1], nullptr);
    EXPECT_EQ(read->current_texture, 1);
    // Freeing releases the one container the slots hold (LeakSanitizer).
    EXPECT_EQ(free_win_shader(read), 1);
    EXPECT_TRUE(log.errors().empty());
}

TEST(WinShaderStream, ShadersReadAndWriteBackInBothForms)
{
    std::string bare = ImageBytes()
                           .words({0, 0, 0, 0, 0, 0, 0})
                           .word(0xffffffff)
                           .reals({0.5f, 0.25f, 2.0f, -3.0f, 7.0f})
                           .bytes();
    std::string named = ImageBytes()
                            .words({1, 0, 0, 1, 1, 0, 0, 0})
                            .reals({-1.0f, -1.0f, -1.0f, -1.0f, 1.0f})
                            .str("plain")
                            .word(0)  // its one texture name empty
                            .bytes();
    expect_record_round_trips({
        {&win_shader_desc, glow_bytes(), RecordForm::single, 1},
        {&win_shader_desc, bare, RecordForm::single, 1},
        {&win_shader_desc, glow_image() + named.substr(0, 52) + glow_items() + named.substr(52),
         RecordForm::array, 2},
    });

    // Every presence word 0: a nameless shader with nothing, as stored.
    LogCapture log;
    win_shader* read = (win_shader*)record_read_bytes(&win_shader_desc, bare);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->win_shader_name, nullptr);
    EXPECT_EQ(read->win_texture_filename_array, nullptr);
    EXPECT_EQ(read->current_texture, -1);
    EXPECT_EQ(read->shader_reserved[4], 7.0f);
    free_win_shader(read);
    EXPECT_EQ(log.warnings().front(),
              "win_shader_name is NULL (or 0 length) in malloc_win_shader win_shader_struct");
}

TEST(WinShaderStream, AnIndexThatNamesNoTextureAndOtherCorruptValuesAreRefused)
{
    const std::string items = glow_items();
    const RecordRefusal cases[] = {
        {"an index past the two textures",
         glow_image(2) + items,
         {"Bad current_texture = 2 for win_shader glow with 2 textures"}},
        {"an index below -1",
         glow_image(0xfffffffe) + items,
         {"Bad current_texture = -2 for win_shader glow with 2 textures"}},
        {"an index with no texture at all",
         ImageBytes()
             .words({0, 0, 0, 3, 0, 0, 0, 0})
             .reals({-1.0f, -1.0f, -1.0f, -1.0f, 1.0f})
             .bytes(),
         {"win_shader win_texture_filename_array_size = 3 with no win_texture_filename_array "
          "stored; taken as 0.",
          "Bad current_texture = 0 for win_shader (null) with 0 textures"}},
        {"a negative texture name count",
         glow_image(1, 0xffffffff) + items,
         {"Bad win_filename_ptr_array_size = -1", "Could not read_win_filename_ptr_array_bin."}},
        {"a state table whose state leads nowhere",
         glow_image() + items.substr(0, 24) + table_bytes(5) +
             items.substr(24 + table_bytes().size()),
         {"Bad next_anim_index = 5 in state 1 of win_ast flicker with "
          "win_anim_table_base_array_size = 2",
          "Could not read_win_ast_bin."}},
    };
    for (const RecordRefusal& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> errors = record_refusal(&win_shader_desc, c.bytes);
        EXPECT_EQ(errors, c.errors);
    }
}

TEST(WinShaderStream, EveryTruncationAndEveryFailingAllocationIsRefused)
{
    expect_every_prefix_refused(&win_shader_desc, glow_bytes());
    expect_every_prefix_refused(&win_shader_desc,
                                glow_image() + glow_image() + glow_items() + glow_items(),
                                RecordForm::array, 2);
    LogCapture log;
    EXPECT_GT(record_failure_sweep(&win_shader_desc, glow_bytes()), 10);
}

TEST(WinShader, TheCurrentTextureIsSetOnlyToASlotTheShaderHas)
{
    LogCapture log;
    win_shader* shader = glow_shader();
    struct Case {
        int32_t index;
        int expected_result;
        int32_t expected_index;
    };
    const Case cases[] = {{0, 1, 0},  {1, 1, 1},  {-1, 1, -1}, {1, 1, 1},
                          {2, 0, -1}, {5, 0, -1}, {0, 1, 0},   {-7, 0, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(win_shader_set_current_texture(shader, c.index), c.expected_result);
        EXPECT_EQ(shader->current_texture, c.expected_index);
    }
    // Warned as it went blank from 1 and from 0, not again at 5.
    EXPECT_EQ(log.warnings(),
              (std::vector<std::string>{
                  "Bad texture index 2 for win_shader glow with 2 texture slots",
                  "Bad texture index -7 for win_shader glow with 2 texture slots"}));
    // Without its slot array a shader has no slot, whatever its count says.
    texture_container_ptr* slots = shader->texture_container_ptr_array;
    shader->texture_container_ptr_array = nullptr;
    EXPECT_EQ(win_shader_set_current_texture(shader, 0), 0);
    EXPECT_EQ(shader->current_texture, -1);
    shader->texture_container_ptr_array = slots;
    free_win_shader(shader);
}
