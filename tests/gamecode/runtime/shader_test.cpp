#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "anim_io.h"
#include "d3dtextr_dx7.h"
#include "demo_anim.h"
#include "demo_ast.h"
#include "demo_shader.h"
#include "runtime_services.h"
#include "shader.h"
#include "shader_io.h"
#include "texture_support.h"
#include "win_entity.h"
#include "winmain2.h"

namespace {

// A frame with the shader files of the demo in its directory (shaders,
// textures, state tables and animations alike):
//   "glow"   textures "missing" (no file) and "glow_a", no state table
//   "spark"  textures "glow_a" and "glow_b", the state table "Flicker"
//            (file "flicker.ast"), playing the animation "flicker"
class Shader : public TextureFrameTest {
protected:
    void SetUp() override
    {
        TextureFrameTest::SetUp();
        for (const char* texture : {"glow_a", "glow_b"})
            dir.write(std::string(texture) + ".tga",
                      tga_image(2, 2, 32, false, 0x28, Pixels(4, 0xff00ff00)));
        write_shader(demo_shader_make("glow", nullptr, "missing", "glow_a"));
        write_shader(demo_shader_make("spark", "Flicker", "glow_a", "glow_b"));
        win_ast* table = demo_shader_make_table("flicker", "flicker");
        ASSERT_EQ(demo_ast_write(dir.file("flicker.ast").c_str(), table), 1);
        free_win_ast(table);
        mow_anim* anim = demo_shader_make_flicker("flicker");
        ASSERT_EQ(demo_anim_write_file(dir.file("flicker.trw").c_str(), anim), 1);
        free_mow_anim(anim);
        log->clear();
    }

    void TearDown() override
    {
        d3dtextr_cleanup();
        TextureFrameTest::TearDown();
    }

    void write_shader(win_shader* shader)
    {
        std::string path = dir.file(std::string(shader->win_shader_name) + ".shw");
        EXPECT_EQ(demo_shader_write_file(path.c_str(), shader), 1);
        free_win_shader(shader);
    }

    // The shaders of `names`, loaded from the directory.
    win_shader* load(std::vector<const char*> names)
    {
        std::vector<win_filename_ptr> array;
        for (const char* name : names)
            array.push_back((char*)name);
        const char* d = dir.path().c_str();
        return load_win_shader_array(array.data(), (int32_t)array.size(), d, d, d, d, d);
    }

    static texture_container* cached(const char* name)
    {
        return (texture_container*)dlink_find((dlink*)d3dtexr_texture_container_list, name);
    }

    // The spark shader alone, at the start of its table.
    win_shader* spark()
    {
        win_shader* shader = load({"spark"});
        EXPECT_NE(shader->win_ast, nullptr);
        EXPECT_NE(shader->win_ast->current_mow_anim, nullptr);
        return shader;
    }

    // One frame of `ms` milliseconds.
    static void step(win_shader* shader, float ms)
    {
        frame_delta_time = ms;
        EXPECT_EQ(shader_update_anim(shader, shader->win_ast), 1);
    }
};

}  // namespace

TEST_F(Shader, LoadingCountsOneTextureReferencePerSlotAndFreeingGivesThemBack)
{
    win_shader* shaders = load({"glow", "spark", "nothing"});
    ASSERT_NE(shaders, nullptr);
    texture_container* glow_a = cached("glow_a");
    texture_container* glow_b = cached("glow_b");
    ASSERT_NE(glow_a, nullptr);
    ASSERT_NE(glow_b, nullptr);
    EXPECT_EQ(glow_a->texture_container_ref_cnt, 3);  // the cache's and two slots
    EXPECT_EQ(glow_b->texture_container_ref_cnt, 2);

    const win_shader& glow = shaders[0];
    EXPECT_STREQ(glow.win_shader_name, "glow");
    EXPECT_EQ(glow.texture_container_ptr_array[0], nullptr);
    EXPECT_EQ(glow.texture_container_ptr_array[1], glow_a);
    EXPECT_EQ(glow.current_texture, 1);  // the first that loaded
    EXPECT_EQ(glow.win_ast, nullptr);
    EXPECT_STREQ(glow.win_texture_filename_array[1], "glow_a");

    const win_shader& spark = shaders[1];
    EXPECT_EQ(spark.current_texture, 0);
    ASSERT_NE(spark.win_ast, nullptr);
    EXPECT_STREQ(spark.win_ast->win_ast_name, "Flicker");
    EXPECT_EQ(spark.win_ast->current_anim_index, 0);
    ASSERT_NE(spark.win_ast->current_mow_anim, nullptr);
    EXPECT_STREQ(spark.win_ast->current_mow_anim->mow_anim_name, "flicker");
    EXPECT_EQ(spark.win_ast->current_mow_anim->mow_anim_ref_cnt, 2);  // the list's and the slot's

    EXPECT_EQ(shaders[2].win_shader_name, nullptr);  // its file is missing
    std::string d = dir.path();
    EXPECT_EQ(log->errors(), (std::vector<std::string>{
                                 "Failed to D3DXCreateTextureFromFile missing.",
                                 "Failed d3dtextr_load_texture_image for 'missing'.",
                                 "Could not d3dtextr_dx7_load_texture 'missing'",
                                 "Could not find '" + d + "\\nothing.shw' for reading",
                             }));
    EXPECT_EQ(log->notices().front(), "Reading SHW '" + d + "\\glow.shw'");

    mow_anim* anim = spark.win_ast->current_mow_anim;
    EXPECT_EQ(free_win_shader_array(shaders, 3), 1);
    EXPECT_EQ(glow_a->texture_container_ref_cnt, 1);
    EXPECT_EQ(glow_b->texture_container_ref_cnt, 1);
    EXPECT_EQ(anim->mow_anim_ref_cnt, 1);
}

TEST_F(Shader, LoadingRefusesMissingArgumentsAndReportsBadFiles)
{
    win_filename_ptr names[] = {(char*)"spark"};
    const char* d = dir.path().c_str();
    EXPECT_EQ(load_win_shader_array(nullptr, 1, d, d, d, d, d), nullptr);
    EXPECT_EQ(load_win_shader_array(names, 1, nullptr, d, d, d, d), nullptr);
    EXPECT_EQ(load_win_shader_array(names, 1, d, nullptr, d, d, d), nullptr);
    EXPECT_EQ(load_win_shader_array(names, 1, d, d, nullptr, d, d), nullptr);
    EXPECT_EQ(load_win_shader_array(names, 1, d, d, d, nullptr, d), nullptr);
    EXPECT_EQ(load_win_shader_array(names, 0, d, d, d, d, d), nullptr);
    EXPECT_EQ(log->errors(),
              (std::vector<std::string>{
                  "Cannot load_win_shader_array with NULL win_shader_filename_ptr_array.",
                  "Cannot load_win_shader_array with NULL shader_pathname.",
                  "Cannot load_win_shader_array with NULL texture_pathname.",
                  "Cannot load_win_shader_array with NULL anim_pathname.",
                  "Cannot load_win_shader_array with NULL anim_table_pathname.",
                  "Bad win_shader_filename_ptr_array_size = 0"}));

    // A shader file of another version, and one cut short.
    std::string bytes = read_host_file(dir.file("spark.shw"));
    dir.write("old.shw", bytes.substr(0, 68) + std::string("\x68\0\0\0", 4) + bytes.substr(72));
    dir.write("cut.shw", bytes.substr(0, bytes.size() - 1));
    log->clear();
    win_shader* shaders = load({"old", "cut"});
    ASSERT_NE(shaders, nullptr);
    EXPECT_EQ(shaders[0].win_shader_name, nullptr);
    EXPECT_EQ(shaders[1].win_shader_name, nullptr);
    std::vector<std::string> errors = log->errors();
    EXPECT_NE(std::find(errors.begin(), errors.end(),
                        "Bad file type or file version, found 104, expected 105 for '" +
                            dir.path() + "\\old.shw'"),
              errors.end());
    EXPECT_EQ(errors.back(), "Could not read_win_shader_bin for '" + dir.path() + "\\cut.shw'");
    free_win_shader_array(shaders, 2);
}

TEST_F(Shader, TheTextureFollowsTheAnimationFrameByFrame)
{
    win_shader* shader = spark();
    // Keys: texture 0 from 0 ms, 1 from 100 ms, 0 from 200 ms; the glow
    // state loops over 300 ms.
    struct Frame {
        float ms;
        int32_t texture;
        float progress;
    };
    const Frame frames[] = {
        {50.0f, 0, 50.0f / 300.0f},   {50.0f, 1, 100.0f / 300.0f},
        {50.0f, 1, 150.0f / 300.0f},  {50.0f, 0, 200.0f / 300.0f},
        {50.0f, 0, 250.0f / 300.0f},  {50.0f, 0, 1.0f},  // at the end, not past it
        {100.0f, 1, 100.0f / 300.0f},                    // ended at once: glow again from its start
        {250.0f, 0, 50.0f / 300.0f},                     // through the end into the next pass
    };
    int n = 0;
    for (const Frame& f : frames) {
        SCOPED_TRACE(++n);
        step(shader, f.ms);
        EXPECT_EQ(shader->current_texture, f.texture);
        EXPECT_FLOAT_EQ(shader->win_ast->anim_progress, f.progress);
        EXPECT_EQ(shader->win_ast->current_anim_index, 0);
        EXPECT_EQ(shader->win_ast->anim_input_flags & WIN_AST_END_OF_ANIM, 0);
    }
    EXPECT_TRUE(log->errors().empty());
    free_win_shader_array(shader, 1);
}

TEST_F(Shader, OnlyAnExactInputWordTakesATransition)
{
    win_shader* shader = spark();
    win_ast* table = shader->win_ast;
    table->anim_input_flags = 0x40 | 0x8;  // the attack bit with another
    EXPECT_EQ(shader_interpret_input(shader, table), 0);
    EXPECT_EQ(table->current_anim_index, 0);

    step(shader, 150.0f);  // glow at its middle
    table->anim_input_flags = 0x40;
    EXPECT_EQ(shader_interpret_input(shader, table), 1);
    // flash plays the same animation, unforced: it runs on from the middle,
    // now of flash's stretch 150 to 300 ms.
    EXPECT_EQ(table->current_anim_index, 1);
    EXPECT_FLOAT_EQ(table->anim_progress, 0.5f);
    EXPECT_EQ(shader->current_texture, 0);  // 225 ms

    // An index the table does not have leaves it as it was.
    EXPECT_EQ(shader_start_next_anim_state(shader, table, 2, 1), 0);
    EXPECT_EQ(shader_start_next_anim_state(shader, table, -1, 1), 0);
    EXPECT_EQ(table->current_anim_index, 1);
    EXPECT_EQ(shader_start_next_anim_state(shader, nullptr, 0, 1), 0);
    EXPECT_EQ(shader_interpret_input(shader, nullptr), 0);
    EXPECT_EQ(log->errors(), (std::vector<std::string>{
                                 "Bad new_anim_index = 2 for 'Flicker'",
                                 "Bad new_anim_index = -1 for 'Flicker'",
                                 "Cannot start_next_anim_state with NULL win_ast.",
                                 "Cannot shader_interpret_input with NULL win_ast.",
                             }));
    free_win_shader_array(shader, 1);
}

TEST_F(Shader, APlayThatBlocksFinishesOnceWhenItsAnimationHasEnded)
{
    win_shader* shader = spark();
    win_ast* table = shader->win_ast;
    // flash: 150 ms of animation at twice the pace, 75 ms of frames.
    EXPECT_EQ(shader_play_anim2(shader, 1), 0);
    EXPECT_EQ(table->current_anim_index, 1);
    EXPECT_EQ(table->anim_blocking_state, 1);
    step(shader, 50.0f);
    EXPECT_EQ(shader_play_anim2(shader, 1), 0);
    step(shader, 50.0f);  // ends after 25 ms; glow takes the other 25
    EXPECT_EQ(table->current_anim_index, 0);
    EXPECT_EQ(shader_play_anim2(shader, 1), 1);
    EXPECT_EQ(table->anim_blocking_state, 0);
    EXPECT_EQ(shader_play_anim2(shader, 1), 0);  // and again
    EXPECT_EQ(table->anim_blocking_state, 1);

    table->anim_blocking_state = 7;
    EXPECT_EQ(shader_play_anim2(shader, 1), 0);
    EXPECT_EQ(shader_play_anim(shader, 0), 1);
    EXPECT_EQ(table->current_anim_index, 0);
    EXPECT_EQ(shader_play_anim(nullptr, 0), 0);
    EXPECT_EQ(shader_play_anim2(nullptr, 0), 0);
    shader->win_ast = nullptr;
    EXPECT_EQ(shader_play_anim2(shader, 0), 0);
    shader->win_ast = table;
    EXPECT_EQ(log->errors(), (std::vector<std::string>{
                                 "Unknown anim_blocking_state 7.000000 for 'spark'",
                                 "Cannot shader_play_anim with NULL entity.",
                                 "Cannot shader_play_anim2 with NULL shader.",
                                 "Cannot shader_play_anim2 with NULL shader->win_ast.",
                             }));
    free_win_shader_array(shader, 1);
}

TEST_F(Shader, AKeyBeyondTheTexturesShowsNothing)
{
    win_shader* shader = spark();
    shader->win_ast->current_mow_anim->mow_shader_idx_key_array[1].shader_idx = 2;
    step(shader, 150.0f);
    EXPECT_EQ(shader->current_texture, -1);
    step(shader, 100.0f);
    EXPECT_EQ(shader->current_texture, 0);
    EXPECT_EQ(
        log->warnings(),
        std::vector<std::string>{"Bad texture index 2 for win_shader spark with 2 texture slots"});
    free_win_shader_array(shader, 1);
}

TEST_F(Shader, ACopyOfAShaderArraySharesItsTexturesWithOneMoreReferenceEach)
{
    win_shader* shaders = load({"spark", "glow"});
    texture_container* glow_a = cached("glow_a");
    texture_container* glow_b = cached("glow_b");
    win_shader* copy = shader_duplicate_win_shader_array(shaders, 2);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(glow_a->texture_container_ref_cnt, 5);
    EXPECT_EQ(glow_b->texture_container_ref_cnt, 3);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(copy[i].win_shader_name, shaders[i].win_shader_name);
        EXPECT_NE(copy[i].win_shader_name, shaders[i].win_shader_name);
        EXPECT_EQ(copy[i].current_texture, shaders[i].current_texture);
        EXPECT_STREQ(copy[i].win_texture_filename_array[1],
                     shaders[i].win_texture_filename_array[1]);
        for (int j = 0; j < 2; ++j)
            EXPECT_EQ(copy[i].texture_container_ptr_array[j],
                      shaders[i].texture_container_ptr_array[j]);
    }
    ASSERT_NE(copy[0].win_ast, nullptr);
    EXPECT_NE(copy[0].win_ast, shaders[0].win_ast);
    EXPECT_EQ(copy[1].win_ast, nullptr);
    EXPECT_EQ(free_win_shader_array(copy, 2), 1);
    EXPECT_EQ(glow_a->texture_container_ref_cnt, 3);

    // Whichever allocation fails, nothing is left and no count is raised.
    heap_failure_sweep([&] {
        win_shader* attempt = shader_duplicate_win_shader_array(shaders, 2);
        if (attempt)
            free_win_shader_array(attempt, 2);
        EXPECT_EQ(glow_a->texture_container_ref_cnt, 3);
        return attempt != nullptr;
    });
    EXPECT_EQ(shader_duplicate_win_shader_array(nullptr, 2), nullptr);
    free_win_shader_array(shaders, 2);
    EXPECT_EQ(glow_a->texture_container_ref_cnt, 1);
}

TEST_F(Shader, ATableAndSlotsStoredInTheFileGiveWayToTheLoadedOnes)
{
    win_shader* stored = demo_shader_make("stored", "flicker", "glow_a", "glow_b");
    stored->win_ast = demo_shader_make_table("stale", "flicker");
    stored->texture_container_ptr_array = malloc_texture_container_ptr_array(1);
    stored->texture_container_ptr_array_size = 1;
    stored->texture_container_ptr_array[0] = malloc_texture_container("stale");
    write_shader(stored);
    win_shader* shader = load({"stored"});
    ASSERT_EQ(shader->texture_container_ptr_array_size, 2);
    EXPECT_EQ(shader->texture_container_ptr_array[0], cached("glow_a"));
    EXPECT_STREQ(shader->win_ast->win_ast_name, "flicker");
    EXPECT_TRUE(log->errors().empty());
    free_win_shader_array(shader, 1);  // what the file held is gone (LeakSanitizer)
}

// Script commands reach a character's shaders by slot; anything else, or a
// slot outside the array, finds none.
TEST(EntityShader, ASlotOfACharactersShaderArrayOrNone)
{
    win_entity* entity = malloc_win_entity("hero");
    entity->u.win_character = malloc_win_character();
    entity->u.win_character->win_shader_array = malloc_win_shader_array(2);
    entity->u.win_character->win_shader_array_size = 2;
    EXPECT_EQ(entity_shader(entity, 1), &entity->u.win_character->win_shader_array[1]);
    for (int32_t slot : {-1, 2})
        EXPECT_EQ(entity_shader(entity, slot), nullptr) << slot;
    EXPECT_EQ(entity_shader(nullptr, 0), nullptr);
    entity->win_entity_type = WIN_ENTITY_TYPE_LIGHT;  // the payload read as another type
    EXPECT_EQ(entity_shader(entity, 0), nullptr);
    entity->win_entity_type = WIN_ENTITY_TYPE_CHARACTER;
    free_win_entity(entity);
}
