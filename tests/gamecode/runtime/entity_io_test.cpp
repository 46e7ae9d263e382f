#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ai.h"
#include "ai_move.h"
#include "anim_io.h"
#include "d3dtextr_dx7.h"
#include "debug.h"
#include "demo_ai.h"
#include "demo_anim.h"
#include "demo_ast.h"
#include "demo_entity.h"
#include "demo_model.h"
#include "demo_shader.h"
#include "demo_sounds.h"
#include "entity.h"
#include "entity_io.h"
#include "entity_weapon.h"
#include "file_io.h"
#include "gameglobals.h"
#include "heap.h"
#include "model_io.h"
#include "platform/ail_test.h"
#include "platform/win32_test.h"
#include "script.h"
#include "scriptasm.h"
#include "sound.h"
#include "str_util.h"
#include "test_support.h"
#include "texture_container.h"
#include "texture_support.h"
#include "vk_auto_aim.h"
#include "win_collision.h"

namespace {

// A data tree in a temporary directory, written with the project's own
// writers, and the game's directories pointed at it, with the render frame up
// for the textures of the shaders.
class EntityIo : public TextureFrameTest {
protected:
    void SetUp() override
    {
        TextureFrameTest::SetUp();
        struct {
            char* field;
            const char* folder;
        } directories[] = {
            {game_globals.entity_pathname, "entity"},
            {game_globals.model_pathname, "model"},
            {game_globals.animation_pathname, "anim"},
            {game_globals.anim_table_pathname, "animtab"},
            {game_globals.ai_pathname, "ai"},
            {game_globals.collision_pathname, "collision"},
            {game_globals.shaders_pathname, "shader"},
            {game_globals.bitmaps_pathname, "bitmap"},
            {game_globals.sound_pathname, "sound"},
        };
        for (const auto& directory : directories) {
            dir.write(std::string(directory.folder) + "/.keep", "");
            snprintf(directory.field, GAMEGLOBALS_PATH_SIZE, "%s",
                     dir.file(directory.folder).c_str());
        }
    }
    void TearDown() override
    {
        entity_unload_all(1);
        d3dtextr_cleanup();
        TextureFrameTest::TearDown();
        test_reset_state();
    }

    // The entity file of `entity`, which is released.
    void write_entity(win_entity* entity)
    {
        ASSERT_NE(entity, nullptr);
        std::string path = dir.file("entity/" + std::string(entity->win_entity_name) + ".enw");
        EXPECT_EQ(demo_entity_write_file(path.c_str(), entity), 1);
        free_win_entity(entity);
    }

    // An entity with no payload that names `sub_entities` as its sub-entity
    // files.
    void write_bare(const char* name, std::vector<const char*> sub_entities = {},
                    int32_t type = WIN_ENTITY_TYPE_LIGHT)
    {
        win_entity* entity = malloc_win_entity(name);
        entity->win_entity_type = type;
        if (!sub_entities.empty()) {
            int32_t count = (int32_t)sub_entities.size();
            entity->win_child_name_ptr_array = malloc_win_filename_ptr_array(count);
            entity->win_child_name_ptr_array_size = count;
            for (int32_t i = 0; i < count; ++i)
                entity->win_child_name_ptr_array[i] = STRDUP(sub_entities[i]);
        }
        write_entity(entity);
    }

    // The hero with its model, state table, animation and AI file, and the
    // torch it names.
    void write_hero(mow_anim* wave = nullptr, const char* sound = nullptr)
    {
        win_entity* hero = demo_entity_make_hero();
        ASSERT_NE(hero, nullptr);
        if (sound) {
            win_ast* table = hero->win_ast;
            table->sound_fx_filename_array = malloc_win_filename_ptr_array(1);
            table->sound_fx_filename_array[0] = STRDUP(sound);
            table->sound_fx_filename_array_size = 1;
        }
        EXPECT_EQ(demo_ast_write(dir.file("animtab/hero.ast").c_str(), hero->win_ast), 1);
        write_entity(hero);
        EXPECT_EQ(demo_model_write(dir.file("model/demo_figure.mow").c_str(), model_key().c_str()),
                  1);
        // The figure's one shader, flipping between two textures.
        win_shader* skin = demo_shader_make(demo_model_shader_name, nullptr, "skin_a", "skin_b");
        std::string shader_path = dir.file("shader/" + std::string(demo_model_shader_name) +
                                           ".shw");
        EXPECT_EQ(demo_shader_write_file(shader_path.c_str(), skin), 1);
        free_win_shader(skin);
        for (const char* texture : {"skin_a", "skin_b"})
            dir.write("bitmap/" + std::string(texture) + ".tga",
                      tga_image(2, 2, 32, false, 0x28, Pixels(4, 0xff00ff00)));
        if (!wave)
            wave = demo_anim_make_wave("demo_wave");
        EXPECT_EQ(demo_anim_write_file(dir.file("anim/demo_wave.trw").c_str(), wave), 1);
        free_mow_anim(wave);
        win_ai* ai = demo_ai_make_guard();
        EXPECT_EQ(demo_ai_write(dir.file("ai/hero.int").c_str(), ai), 1);
        free_win_ai(ai);
        write_bare("torch");
    }

    // The courtyard with its hulls (the wall and the zone of its trigger and
    // explore camera) and its navigation map.
    void write_courtyard()
    {
        win_entity* courtyard = demo_entity_make_courtyard();
        ASSERT_NE(courtyard, nullptr);
        win_collision* hull = courtyard->u.win_environment->win_collision_ptr_array[0];
        for (const char* name : {"courtyard_wall", "gate_zone"}) {
            FREE(hull->win_collision_name);
            hull->win_collision_name = STRDUP(name);
            std::string path = dir.file("collision/" + std::string(name) + ".cow");
            EXPECT_EQ(demo_write_record_file(path.c_str(), FILE_TYPE_COLLISION,
                                             FILE_VERSION_COLLISION, &win_collision_desc, hull),
                      1);
        }
        write_entity(courtyard);
        win_map* map = demo_ai_make_map("courtyard");
        EXPECT_EQ(demo_ai_write_map(dir.file("ai/courtyard.map").c_str(), map), 1);
        free_win_map(map);
    }

    void write_level()
    {
        write_hero();
        write_courtyard();
        write_entity(demo_entity_make_lamp());
        write_entity(demo_entity_make_camera());
        write_entity(demo_entity_make_sparks());
        write_bare("spark", {}, WIN_ENTITY_TYPE_CHARACTER);
    }

    // The name the game lists the demo figure by: the path it loads it from.
    std::string model_key()
    {
        std::string key = std::string(game_globals.model_pathname) + "\\demo_figure.mow";
        std::vector<char> lower(key.begin(), key.end());
        lower.push_back('\0');
        to_lower_case(lower.data());
        return lower.data();
    }

    win_entity* load(const char* name)
    {
        const game_globals_record& g = game_globals;
        return entity_io_load(name, g.entity_pathname, g.model_pathname, g.shaders_pathname,
                              g.bitmaps_pathname, g.animation_pathname, g.anim_table_pathname,
                              g.ai_pathname, g.sound_pathname, g.gravity, g.x_wind, g.z_wind);
    }

    // Loads `name` into the global ring, as a script start does.
    win_entity* load_into_ring(const char* name)
    {
        win_entity* entity = load(name);
        if (entity) {
            EXPECT_EQ(entity_io_add_to_ring(entity), 1);
        }
        return entity;
    }

    // Takes `entity` out of whatever ring holds it and unloads it, as the
    // script command does; the result of the unload.
    int unlink_and_unload(win_entity* entity, int32_t unload_all)
    {
        EXPECT_EQ(entity_io_remove_from_ring(entity), 1);
        return entity_unload(entity, unload_all);
    }

    void load_level()
    {
        for (const char* name : {"hero", "courtyard", "lamp", "camera", "sparks"})
            EXPECT_NE(load_into_ring(name), nullptr) << name;
    }

    // The counts of everything shared: listed models, the references of the
    // listed animations, listed hulls and cached textures.
    struct shared_counts {
        int32_t models, anim_references, hulls, textures;
        bool operator==(const shared_counts&) const = default;
    };
    shared_counts counts()
    {
        shared_counts now = {model_io_global_mow_model_list_size, 0,
                             game_globals.win_collision_list_size,
                             d3dtexr_texture_container_list_size};
        mow_anim* head = anim_io_global_mow_anim_list;
        for (mow_anim* anim = head; anim; anim = anim->next == head ? nullptr : anim->next)
            now.anim_references += anim->mow_anim_ref_cnt;
        return now;
    }

    // The errors logged since the log was cleared, but for the one every
    // load of the demo level gives: the camera's fixed target is no entity.
    std::vector<std::string> errors()
    {
        std::vector<std::string> out;
        for (const std::string& error : log->errors())
            if (error.find("camera_target entity 'gate'") == std::string::npos)
                out.push_back(error);
        return out;
    }

    static bool has(const std::vector<std::string>& lines, const std::string& text)
    {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    }
};

}  // namespace

// ---- Loading ----

TEST_F(EntityIo, TheCharacterGetsItsModelTableAnimationsAndSubEntities)
{
    write_hero();
    log->clear();
    win_entity* hero = load("hero");
    ASSERT_NE(hero, nullptr);
    EXPECT_TRUE(errors().empty()) << errors().front();
    win_character* character = win_entity_character(hero);
    ASSERT_NE(character, nullptr);
    ASSERT_NE(character->mow_model, nullptr);
    EXPECT_EQ(character->mow_model->mow_model_ref_cnt, 2);  // the list's and the hero's
    EXPECT_EQ(character->mow_track_augment_array_size, DEMO_MODEL_JOINTS);
    ASSERT_EQ(character->win_shader_array_size, 1);
    EXPECT_STREQ(character->win_shader_array[0].win_shader_name, demo_model_shader_name);
    EXPECT_EQ(d3dtexr_texture_container_list_size, 2);
    EXPECT_NE(character->win_ai, nullptr);
    EXPECT_EQ(character->current_appendage_sphere_keys_size, 1);
    ASSERT_NE(hero->win_ast, nullptr);
    EXPECT_EQ(hero->win_ast->current_anim_index, 0);
    ASSERT_NE(hero->win_ast->current_mow_anim, nullptr);
    EXPECT_STREQ(hero->win_ast->current_mow_anim->mow_anim_name, "demo_wave");
    // One zeroed value per state name, whatever the file held.
    ASSERT_EQ(hero->win_state_array_size, 2);
    EXPECT_EQ(hero->win_state_array[1], 0.0f);
    EXPECT_EQ(hero->local_matrix.attrib, 0);  // placed later
    EXPECT_EQ(hero->acceleration.y, game_globals.gravity * hero->gravity_factor.y);
    // The sword of the file first, then the torch the file names.
    ASSERT_EQ(hero->child_entity_list_size, 2);
    EXPECT_STREQ(hero->child_entity_list->win_entity_name, "sword");
    EXPECT_STREQ(hero->child_entity_list->next->win_entity_name, "torch");
    EXPECT_TRUE(log->contains("Reading ENW '"));

    // A second character of the same model shares it.
    win_entity* twin = load("hero");
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(win_entity_character(twin)->mow_model, character->mow_model);
    EXPECT_EQ(character->mow_model->mow_model_ref_cnt, 3);
    EXPECT_EQ(entity_unload(twin, 1), 1);
    EXPECT_EQ(character->mow_model->mow_model_ref_cnt, 2);

    add_to_win_entity_list(&entity_io_global_win_entity_list,
                           &entity_io_global_win_entity_list_size, hero);
    EXPECT_EQ(entity_io_find_entity(entity_io_global_win_entity_list, "torch"),
              hero->child_entity_list->next);
    EXPECT_EQ(entity_io_find_entity(entity_io_global_win_entity_list, "Torch"), nullptr);
}

// A character's radius scale is its own: the model it shares keeps the
// radius of its file, so every load of a level gives the same sizes, also
// while a character of an earlier level holds the model.
TEST_F(EntityIo, ACharactersRadiusScaleIsItsOwn)
{
    write_hero();
    const struct {
        const char* name;
        float scale;
    } characters[] = {{"hero", 2.0f}, {"twin", 3.0f}};
    for (const auto& c : characters) {
        win_entity* entity = demo_entity_make_hero();
        ASSERT_NE(entity, nullptr);
        FREE(entity->win_entity_name);
        entity->win_entity_name = STRDUP(c.name);
        free_win_filename_ptr_array(entity->win_child_name_ptr_array,
                                    entity->win_child_name_ptr_array_size);
        entity->win_child_name_ptr_array = nullptr;
        entity->win_child_name_ptr_array_size = 0;
        win_entity_character(entity)->radius_scale = c.scale;
        write_entity(entity);
    }
    mow_model* figure = demo_model_make("figure");
    ASSERT_NE(figure, nullptr);
    const float radius = figure->mow_model_sphere_radius;
    EXPECT_EQ(free_mow_model(figure), 1);
    ASSERT_GT(radius, 0.0f);

    for (int level = 0; level < 2; ++level) {
        SCOPED_TRACE(level);
        // The level's characters, but for those an earlier level kept.
        for (const auto& c : characters) {
            if (!entity_io_find_entity(entity_io_global_win_entity_list, c.name)) {
                ASSERT_NE(load_into_ring(c.name), nullptr);
            }
        }
        for (const auto& c : characters) {
            win_entity* entity = entity_io_find_entity(entity_io_global_win_entity_list, c.name);
            EXPECT_EQ(ai_model_radius(entity), radius * c.scale) << c.name;
            EXPECT_EQ(win_entity_character(entity)->mow_model->mow_model_sphere_radius, radius);
        }
        // The hero stays for the next level.
        entity_io_find_entity(entity_io_global_win_entity_list, "hero")->win_entity_flag |=
            ENTITY_FLAG_PERSISTENT;
        EXPECT_EQ(entity_unload_all(0), 1);
    }
}

// A sub-entity already loaded anywhere is not loaded again.
TEST_F(EntityIo, ASubEntityThatIsLoadedAlreadyIsRefused)
{
    write_hero();
    write_bare("shelf", {"torch"});
    ASSERT_NE(load_into_ring("shelf"), nullptr);
    log->clear();
    win_entity* hero = load_into_ring("hero");
    ASSERT_NE(hero, nullptr);
    EXPECT_EQ(hero->child_entity_list_size, 1);  // the sword of its file alone
    EXPECT_TRUE(has(log->errors(), "Attempting to to load a sub entity that's already loaded, "
                                   "sub_entity name 'torch'"));
}

TEST_F(EntityIo, EachPayloadIsCompleted)
{
    write_level();
    load_level();
    win_entity* courtyard = entity_io_find_entity(entity_io_global_win_entity_list, "courtyard");
    win_environment* env = win_entity_environment(courtyard);
    ASSERT_NE(env, nullptr);
    ASSERT_EQ(env->win_collision_ptr_array_size, 1);
    ASSERT_NE(env->win_collision_ptr_array[0], nullptr);
    EXPECT_STREQ(env->win_collision_ptr_array[0]->win_collision_name, "courtyard_wall");
    win_collision* zone = env->win_trigger_array[0].win_trigger_collision;
    ASSERT_NE(zone, nullptr);
    EXPECT_EQ(env->win_explore_cam_array[0].explore_cam_zone, zone);  // shared by name
    EXPECT_EQ(zone->win_collision_ref_cnt, 3);  // the list's, trigger's, camera's
    EXPECT_NE(env->win_map, nullptr);

    win_light* lamp = win_entity_light(
        entity_io_find_entity(entity_io_global_win_entity_list, "lamp"));
    ASSERT_NE(lamp, nullptr);
    EXPECT_FLOAT_EQ(lamp->d3d_light.dcvDiffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(lamp->d3d_light.dcvDiffuse.g, 200.0f / 255.0f);

    win_entity* camera_entity = entity_io_find_entity(entity_io_global_win_entity_list, "camera");
    win_camera* camera = win_entity_camera(camera_entity);
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->win_camera_target_list->target_entity,
              entity_io_find_entity(entity_io_global_win_entity_list, "hero"));
    EXPECT_EQ(camera->win_camera_target_list->next_ptr->target_entity, nullptr);
    EXPECT_TRUE(log->contains("Could not find camera_target entity 'gate'"));
    EXPECT_NE(camera->win_ai, nullptr);

    // The template was not loaded: it is the first particle.
    win_entity* sparks = entity_io_find_entity(entity_io_global_win_entity_list, "sparks");
    ASSERT_NE(sparks, nullptr);
    EXPECT_EQ(sparks->child_entity_list_size, 12);
    EXPECT_STREQ(sparks->child_entity_list->win_entity_name, "spark");
    EXPECT_TRUE(errors().empty()) << errors().front();
}

TEST_F(EntityIo, MissingAndForeignFilesAreRefused)
{
    EXPECT_EQ(load("nobody"), nullptr);
    EXPECT_TRUE(has(log->errors(), "Could not find '"));

    write_bare("old");
    std::string path = dir.file("entity/old.enw");
    std::string bytes = read_host_file(path);
    bytes[68] = (char)154;  // the version word
    dir.write("entity/old.enw", bytes);
    log->clear();
    EXPECT_EQ(load("old"), nullptr);
    EXPECT_TRUE(has(log->errors(), "version found 154, expected 155"));
}

// A sub-entity or particle template that is being loaded already would be
// loaded forever: it is refused, and the rest of the entity loads.
TEST_F(EntityIo, CyclesOfSubEntitiesAndTemplatesAreRefused)
{
    write_bare("a", {"b"});
    write_bare("b", {"a", "c"});
    write_bare("c");
    win_entity* a = load("a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->child_entity_list_size, 1);
    win_entity* b = a->child_entity_list;
    ASSERT_EQ(b->child_entity_list_size, 1);
    EXPECT_STREQ(b->child_entity_list->win_entity_name, "c");
    EXPECT_TRUE(has(log->errors(), "Refusing to load entity 'a' inside its own load"));
    EXPECT_TRUE(has(log->errors(), "Could not load sub entity 'a'"));
    EXPECT_EQ(entity_unload(a, 1), 1);

    win_entity* emitter = malloc_win_entity("fountain");
    emitter->win_entity_type = WIN_ENTITY_TYPE_EMITTER;
    emitter->u.win_emitter = malloc_win_emitter();
    emitter->u.win_emitter->particle_template = STRDUP("fountain");
    emitter->u.win_emitter->particle_count = 3;
    write_entity(emitter);
    log->clear();
    win_entity* fountain = load("fountain");
    ASSERT_NE(fountain, nullptr);
    EXPECT_EQ(fountain->child_entity_list_size, 0);
    EXPECT_TRUE(has(log->errors(), "Could not load particle_template 'fountain'"));
    EXPECT_EQ(entity_unload(fountain, 1), 1);
}

// One damaged byte in an emitter's particle count asked for tens of
// thousands of particles, or billions: a count beyond what a level holds is
// refused with a line naming the emitter, which loads without particles.
TEST_F(EntityIo, AnEmitterMakesNoMoreParticlesThanALevelHolds)
{
    write_bare("spark");
    const struct {
        int32_t count;
        int32_t particles;
    } cases[] = {{1024, 1024}, {1025, 0}, {32776, 0}, {0x7fffffff, 0}};
    for (const auto& c : cases) {
        win_entity* emitter = malloc_win_entity("sparks");
        emitter->win_entity_type = WIN_ENTITY_TYPE_EMITTER;
        emitter->u.win_emitter = malloc_win_emitter();
        emitter->u.win_emitter->particle_template = STRDUP("spark");
        emitter->u.win_emitter->particle_count = c.count;
        write_entity(emitter);
        log->clear();
        win_entity* sparks = load("sparks");
        ASSERT_NE(sparks, nullptr) << c.count;
        EXPECT_EQ(sparks->child_entity_list_size, c.particles) << c.count;
        if (c.particles == 0)
            EXPECT_EQ(log->errors(), std::vector<std::string>{
                                         "Emitter 'sparks' asks for " + std::to_string(c.count) +
                                         " particles, more than the 1024 a level holds: it "
                                         "makes none."});
        else
            EXPECT_TRUE(log->errors().empty()) << log->errors().front();
        EXPECT_EQ(entity_unload(sparks, 1), 1);
    }
}

// A level loads within one frame: a termination request that comes while it
// loads stops the loading, so the game ends at once.
TEST_F(EntityIo, ATerminationRequestStopsTheLoading)
{
    write_bare("a", {"b"});
    write_bare("b");
    platform_event quit = {};
    quit.kind = PLATFORM_EVENT_QUIT;
    ASSERT_EQ(win32_feed_event(window, &quit), 1);
    EXPECT_EQ(load("a"), nullptr);
    EXPECT_TRUE(log->contains("Not loading entity 'a': the game is ending."));
    win32_reset();
    win_entity* a = load("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->child_entity_list_size, 1);
    EXPECT_EQ(entity_unload(a, 1), 1);
}

// What the file holds where the loader makes its own (appendage spheres of
// a character without a model, state values, a camera's AI record) is
// released, not lost.
TEST_F(EntityIo, ItemsTheLoaderReplacesAreReleased)
{
    win_entity* ghost = malloc_win_entity("ghost");
    ghost->win_entity_type = WIN_ENTITY_TYPE_CHARACTER;
    win_character* character = ghost->u.win_character = malloc_win_character();
    character->current_appendage_sphere_keys = malloc_mow_appendage_sphere_key_array(1);
    character->current_appendage_sphere_keys_size = 1;
    character->current_appendage_sphere_keys[0].mow_segment_key_array =
        malloc_mow_segment_key_array(2);
    character->current_appendage_sphere_keys[0].mow_segment_key_array_size = 2;
    ghost->win_state_array = (float*)MALLOC(3 * sizeof(float));
    ghost->win_state_array_size = 3;
    std::fill_n(ghost->win_state_array, 3, 7.0f);
    write_entity(ghost);
    win_entity* camera = demo_entity_make_camera();
    camera->u.win_camera->win_ai = demo_ai_make_guard();
    write_entity(camera);

    int64_t blocks = heap_live_blocks();
    ghost = load("ghost");
    ASSERT_NE(ghost, nullptr);
    EXPECT_EQ(ghost->u.win_character->current_appendage_sphere_keys, nullptr);
    EXPECT_EQ(ghost->u.win_character->current_appendage_sphere_keys_size, 0);
    EXPECT_EQ(ghost->win_state_array, nullptr);  // no state names
    EXPECT_EQ(ghost->win_state_array_size, 0);
    camera = load("camera");
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->u.win_camera->win_ai->attack_sector_list, nullptr);  // made afresh
    EXPECT_EQ(entity_unload(ghost, 1), 1);
    EXPECT_EQ(entity_unload(camera, 1), 1);
    EXPECT_EQ(heap_live_blocks(), blocks);
}

// An animation that gives fewer appendage spheres than the model has
// appendages leaves the others without segments instead of reading past it.
// Its second key is the one read, also when it is the last.
TEST_F(EntityIo, AppendageKeysAreReadOnlyAsFarAsTheAnimationGoes)
{
    mow_anim* wave = demo_anim_make_wave("demo_wave");
    ASSERT_NE(wave, nullptr);
    ASSERT_EQ(wave->mow_appendage_key_array_size, 3);
    for (int32_t k : {1, 2}) {
        mow_appendage_key& key = wave->mow_appendage_key_array[k];
        free_mow_appendage_sphere_key_array(key.mow_appendage_sphere_key_array,
                                            key.mow_appendage_sphere_key_array_size);
        key.mow_appendage_sphere_key_array = nullptr;
        key.mow_appendage_sphere_key_array_size = 0;
    }
    wave->mow_appendage_key_array_size = 2;
    write_hero(wave);
    win_entity* hero = load("hero");
    ASSERT_NE(hero, nullptr);
    win_character* character = win_entity_character(hero);
    ASSERT_EQ(character->current_appendage_sphere_keys_size, 1);
    EXPECT_EQ(character->current_appendage_sphere_keys[0].mow_segment_key_array, nullptr);
    EXPECT_EQ(entity_unload(hero, 1), 1);
}

// ---- Unloading ----

TEST_F(EntityIo, LoadingAndUnloadingTheLevelLeavesEveryCountAsItWas)
{
    write_level();
    shared_counts before = counts();
    int64_t blocks = heap_live_blocks();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        load_level();
        EXPECT_EQ(counts().models, 1);
        EXPECT_GT(counts().hulls, 0);
        EXPECT_EQ(counts().textures, 2);
        EXPECT_EQ(entity_unload_all(1), 1);
        EXPECT_EQ(entity_io_global_win_entity_list, nullptr);
        EXPECT_EQ(entity_io_global_win_entity_list_size, 0);
        shared_counts after = counts();
        EXPECT_EQ(after.models, before.models);
        EXPECT_EQ(after.hulls, before.hulls);
        EXPECT_EQ(after.textures, before.textures);
        // The animations stay listed for the session, each with the list's
        // reference alone.
        EXPECT_EQ(after.anim_references, anim_io_global_mow_anim_list_size);
        if (round == 0)
            blocks = heap_live_blocks();
        else
            EXPECT_EQ(heap_live_blocks(), blocks);
    }
}

TEST_F(EntityIo, AFailedAllocationWhileLoadingLeaksNothing)
{
    write_level();
    // A first round lists the animations, which stay for the session.
    load_level();
    entity_unload_all(1);
    log->clear();
    load_level();
    entity_unload_all(1);
    int32_t clean_errors = debug_log.error_count;
    log->clear();
    int swept = heap_failure_sweep([&] {
        int32_t errors_before = debug_log.error_count;
        for (const char* name : {"hero", "courtyard", "lamp", "camera", "sparks"})
            load_into_ring(name);
        entity_unload_all(1);
        return debug_log.error_count - errors_before == clean_errors;
    });
    EXPECT_GT(swept, 100);
}

TEST_F(EntityIo, UnloadAllKeepsPersistentEntitiesUnlessAllIsAsked)
{
    write_bare("keeper");
    write_bare("passer");
    win_entity* keeper = load_into_ring("keeper");
    ASSERT_NE(load_into_ring("passer"), nullptr);
    keeper->win_entity_flag |= ENTITY_FLAG_PERSISTENT;
    EXPECT_EQ(entity_unload_all(0), 1);
    EXPECT_EQ(entity_io_global_win_entity_list, keeper);
    EXPECT_EQ(entity_io_global_win_entity_list_size, 1);
    EXPECT_EQ(entity_unload_all(1), 1);
    EXPECT_EQ(entity_io_global_win_entity_list_size, 0);
}

// The player's weapons and items wait for the next player; a ring parked
// earlier is unloaded rather than lost, and unloading everything takes the
// parked ring too.
TEST_F(EntityIo, ThePlayersSubEntitiesAreParked)
{
    write_hero();
    win_entity* hero = load_into_ring("hero");
    ASSERT_NE(hero, nullptr);
    game_globals.player_character = hero;
    win_entity* sword = hero->child_entity_list;
    game_globals.current_weapon = sword;
    EXPECT_EQ(unlink_and_unload(hero, 0), 1);
    EXPECT_EQ(game_globals.player_character, nullptr);
    EXPECT_EQ(game_globals.parked_child_list, sword);
    EXPECT_EQ(game_globals.parked_child_list_size, 2);
    EXPECT_EQ(game_globals.current_weapon, sword);  // it lives on, parked
    EXPECT_EQ(game_globals.parked_acceleration.y, game_globals.gravity);

    hero = load_into_ring("hero");
    ASSERT_NE(hero, nullptr);
    game_globals.player_character = hero;
    EXPECT_EQ(unlink_and_unload(hero, 0), 1);
    EXPECT_EQ(game_globals.parked_child_list_size, 2);
    EXPECT_EQ(game_globals.current_weapon, nullptr);  // the first sword is gone

    EXPECT_EQ(entity_unload_all(1), 1);
    EXPECT_EQ(game_globals.parked_child_list, nullptr);
    EXPECT_EQ(game_globals.parked_child_list_size, 0);
    EXPECT_EQ(model_io_global_mow_model_list_size, 0);
}

TEST_F(EntityIo, UnloadingClearsEveryReference)
{
    write_level();
    load_level();
    win_entity* courtyard = entity_io_find_entity(entity_io_global_win_entity_list, "courtyard");
    win_entity* camera = entity_io_find_entity(entity_io_global_win_entity_list, "camera");
    game_globals.current_environment = courtyard;
    game_globals.current_camera = camera;
    entity_update_cursor = courtyard;
    entity_update_next = camera;
    for (win_entity* entity : {courtyard, camera}) {
        EXPECT_EQ(unlink_and_unload(entity, 1), 1);
    }
    EXPECT_EQ(game_globals.current_environment, nullptr);
    EXPECT_EQ(game_globals.current_camera, nullptr);
    EXPECT_EQ(entity_update_cursor, nullptr);
    EXPECT_EQ(entity_update_next, nullptr);
    EXPECT_EQ(game_globals.win_collision_list_size, 0);  // the courtyard's hulls went with it
}

// Every module that keeps a pointer of its own to an entity hears of its
// unload, outside a walk and inside one (where its memory outlives the
// unload): the AI that hunts it, a camera that follows it, a running script
// that names it, the auto-aim that holds it and a character that carries it.
TEST_F(EntityIo, UnloadingTellsEveryModuleThatHoldsTheEntity)
{
    write_level();
    std::snprintf(game_globals.script_pathname, GAMEGLOBALS_PATH_SIZE, "%s",
                  dir.file("script").c_str());
    dir.write("script/watch.scw", "");
    std::string error;
    ASSERT_EQ(scriptasm_write(".entity \"lamp\", \"lamp\", 1\nwait 100000\n",
                              dir.file("script/watch.scw").c_str(), &error),
              1)
        << error;
    for (bool in_walk : {false, true}) {
        SCOPED_TRACE(in_walk ? "inside a walk" : "outside a walk");
        load_level();
        win_entity* hero = entity_io_find_in_ring("hero");
        win_entity* camera = entity_io_find_in_ring("camera");
        win_entity* lamp = entity_io_find_in_ring("lamp");
        ASSERT_TRUE(hero && camera && lamp);
        win_ai* ai = ai_entity_ai(hero);
        ASSERT_NE(ai, nullptr);
        ASSERT_EQ(ai_add_goal(hero, AI_GOAL_HUNT_TARGET, lamp, 0, 0, 0, -1), 1);
        ASSERT_EQ(ai->current_goal->target_entity, lamp);
        win_camera* view = win_entity_camera(camera);
        ASSERT_TRUE(view && view->win_camera_target_list);
        view->win_camera_target_list->target_entity = lamp;
        running_script* watch = nullptr;
        ASSERT_GE(script_initiate_script("watch", &watch), 0.0f);
        ASSERT_NE(watch, nullptr);
        ASSERT_EQ(watch->parsed_entity_list->entity, lamp);
        vk_auto_aim_state.auto_aim_target = lamp;
        win_entity_character(hero)->current_item = lamp;

        if (in_walk)
            entity_io_begin_walk();
        EXPECT_EQ(unlink_and_unload(lamp, 1), 1);
        EXPECT_EQ(ai->current_goal->target_entity, nullptr) << "the hunting AI";
        EXPECT_EQ(view->win_camera_target_list->target_entity, nullptr) << "the camera";
        EXPECT_EQ(watch->parsed_entity_list->entity, nullptr) << "the running script";
        EXPECT_EQ(vk_auto_aim_state.auto_aim_target, nullptr) << "the auto-aim";
        EXPECT_EQ(win_entity_character(hero)->current_item, nullptr) << "the carrier";
        if (in_walk)
            entity_io_end_walk();
        script_reset();
        EXPECT_EQ(entity_unload_all(1), 1);
    }
}

TEST_F(EntityIo, AnEntityStillInARingIsNotUnloaded)
{
    write_bare("lone");
    win_entity* lone = load_into_ring("lone");
    ASSERT_NE(lone, nullptr);
    EXPECT_EQ(entity_unload(lone, 1), 0);
    EXPECT_TRUE(has(log->errors(), "it is still in a ring or unloaded already"));
    EXPECT_EQ(entity_io_global_win_entity_list, lone);
    EXPECT_EQ(entity_unload(nullptr, 1), 0);
}

// Sub-entities are searched depth first and unlinked by identity from the
// ring that holds them, through the ring operations the script engine uses.
TEST_F(EntityIo, UnlinkFindsTheEntityInAnyRing)
{
    write_hero();
    win_entity* hero = load_into_ring("hero");
    ASSERT_NE(hero, nullptr);
    EXPECT_EQ(entity_io_ring_head(), hero);
    win_entity* torch = entity_io_find_in_ring("torch");
    ASSERT_NE(torch, nullptr);
    EXPECT_EQ(entity_io_remove_from_ring(torch), 1);
    EXPECT_EQ(hero->child_entity_list_size, 1);
    EXPECT_EQ(entity_io_find_in_ring("torch"), nullptr);
    EXPECT_EQ(entity_io_remove_from_ring(torch), 0);
    EXPECT_EQ(entity_unload(torch, 1), 1);
}

// Finding by name and unlinking in one call: the first entity of the name,
// searched as entity_io_find_entity searches, leaves the ring that holds it.
TEST_F(EntityIo, FindAndUnlinkTakesTheFirstOfTheNameOutOfItsRing)
{
    win_entity* ring = nullptr;
    int32_t ring_size = 0;
    auto add = [](win_entity** to, int32_t* size, const char* name) {
        win_entity* entity = malloc_win_entity(name);
        add_to_win_entity_list(to, size, entity);
        return entity;
    };
    add(&ring, &ring_size, "gate");
    win_entity* shelf = add(&ring, &ring_size, "shelf");
    win_entity* nested = add(&shelf->child_entity_list, &shelf->child_entity_list_size, "torch");
    add(&shelf->child_entity_list, &shelf->child_entity_list_size, "book");
    win_entity* top = add(&ring, &ring_size, "torch");

    // Depth first: the shelf's torch comes before the ring's own.
    EXPECT_EQ(entity_find_and_unlink(&ring, &ring_size, "torch"), nested);
    EXPECT_EQ(shelf->child_entity_list_size, 1);
    EXPECT_EQ(ring_size, 3);
    EXPECT_EQ(nested->next, nested);  // in no ring
    EXPECT_EQ(entity_find_and_unlink(&ring, &ring_size, "torch"), top);
    EXPECT_EQ(ring_size, 2);
    EXPECT_EQ(entity_find_and_unlink(&ring, &ring_size, "torch"), nullptr);
    EXPECT_EQ(entity_find_and_unlink(&ring, &ring_size, "Gate"), nullptr);  // case counts
    // The head itself: the ring goes on from the next.
    win_entity* gate = entity_find_and_unlink(&ring, &ring_size, "gate");
    ASSERT_NE(gate, nullptr);
    EXPECT_EQ(ring, shelf);
    EXPECT_EQ(ring_size, 1);

    win_entity* empty = nullptr;
    int32_t empty_size = 0;
    EXPECT_EQ(entity_find_and_unlink(&empty, &empty_size, "gate"), nullptr);
    EXPECT_TRUE(log->errors().empty());
    for (win_entity* entity : {nested, top, gate})
        EXPECT_EQ(free_win_entity(entity), 1);
    EXPECT_EQ(free_win_entity_list(ring), 1);
}

// The sounds of the state table are the entity's: they stop and go with it.
TEST_F(EntityIo, TheStateTablesSoundsGoWithTheEntity)
{
    ail_test_set_output(AIL_TEST_OUTPUT_LOOPBACK);
    sound_set_enabled();
    ASSERT_EQ(sound_init(), 1);
    dir.write("sound/step.wav", sound_wav_pcm(sound_tone(AIL_TEST_LOOPBACK_RATE, 1,
                                                         AIL_TEST_LOOPBACK_RATE, 441.0, 0.5),
                                              1, AIL_TEST_LOOPBACK_RATE));
    write_hero(nullptr, "step.wav");
    win_entity* hero = load("hero");
    ASSERT_NE(hero, nullptr);
    ASSERT_EQ(hero->win_ast->sound_fx_array_size, 1);
    win_sound_container* step = hero->win_ast->sound_fx_array[0];
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(sound_find("step.wav"), step);
    EXPECT_EQ(sound_play(step, nullptr, nullptr, 0), 1);
    EXPECT_EQ(entity_unload(hero, 1), 1);
    EXPECT_EQ(sound_find("step.wav"), nullptr);
    EXPECT_TRUE(errors().empty()) << errors().front();
}

// ---- Walks ----

// An entity unloaded inside a walk (its own update, a script slice inside
// the update, a walk over its parent's sub-entities) is gone from every
// reference at once, but its memory stays until the outermost walk ends.
TEST_F(EntityIo, MemoryOfAnEntityUnloadedInAWalkOutlivesTheWalk)
{
    write_hero();
    enum { OWN_UPDATE, SCRIPT_SLICE, CHILD_WALK };
    for (int situation : {OWN_UPDATE, SCRIPT_SLICE, CHILD_WALK}) {
        SCOPED_TRACE(situation);
        win_entity* hero = load_into_ring("hero");
        ASSERT_NE(hero, nullptr);
        game_globals.player_character = hero;
        win_entity* victim = situation == CHILD_WALK ? hero->child_entity_list : hero;
        game_globals.current_weapon = hero->child_entity_list;

        entity_io_begin_walk();  // the update
        if (situation == SCRIPT_SLICE)
            entity_io_begin_walk();  // a state's play script, run inside it
        EXPECT_EQ(unlink_and_unload(victim, 1), 1);
        EXPECT_EQ(game_globals.current_weapon, nullptr);
        if (situation == SCRIPT_SLICE)
            entity_io_end_walk();
        // Still readable, and linked to nothing: the walk goes on over it.
        EXPECT_STREQ(victim->win_entity_name, situation == CHILD_WALK ? "sword" : "hero");
        EXPECT_EQ(victim->next, victim);
        EXPECT_EQ(model_io_global_mow_model_list_size, 1);
        entity_io_end_walk();
        if (situation == CHILD_WALK) {
            EXPECT_EQ(game_globals.player_character, hero);
            EXPECT_EQ(hero->child_entity_list_size, 1);
        } else {
            EXPECT_EQ(game_globals.player_character, nullptr);
            EXPECT_EQ(model_io_global_mow_model_list_size, 0);  // released at the end
        }
        entity_unload_all(1);
        EXPECT_EQ(model_io_global_mow_model_list_size, 0);
    }
    log->clear();
    entity_io_end_walk();
    EXPECT_TRUE(has(log->errors(), "entity_io_end_walk without a walk open."));
}

// ---- Textures that game_globals keeps ----

// The level's reset gives back the references the icon slots hold, so the
// sweep can let their textures go.
TEST_F(EntityIo, TheLevelResetGivesBackTheIconReferences)
{
    texture_container* icon = malloc_texture_container("icon");
    ASSERT_NE(icon, nullptr);
    add_to_texture_container_list(&d3dtexr_texture_container_list,
                                  &d3dtexr_texture_container_list_size, icon);
    // The list's reference alone, as the cache keeps a texture it loaded.
    if (icon->texture_container_ref_cnt > 1)
        free_texture_container(icon);
    int32_t listed = icon->texture_container_ref_cnt;
    ASSERT_EQ(listed, 1);
    entity_weapon_hold_texture(&game_globals.weapon_icon_texture, icon);
    entity_weapon_hold_texture(&game_globals.item_icon_texture, icon);
    EXPECT_EQ(icon->texture_container_ref_cnt, listed + 2);
    // The sweep after an unload leaves a texture that a slot shows.
    EXPECT_EQ(d3dtextr_clean_texture_container_list(), 1);
    EXPECT_EQ(d3dtexr_texture_container_list, icon);
    gameglobals_reset_level_state();
    EXPECT_EQ(game_globals.weapon_icon_texture, nullptr);
    EXPECT_EQ(game_globals.item_icon_texture, nullptr);
    EXPECT_EQ(icon->texture_container_ref_cnt, listed);
    // Given back, it goes with the next sweep.
    EXPECT_EQ(d3dtextr_clean_texture_container_list(), 1);
    EXPECT_EQ(d3dtexr_texture_container_list, nullptr);
}
