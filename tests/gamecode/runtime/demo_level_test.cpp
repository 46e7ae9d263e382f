// The demo level as the game reads it: every file that demo_level_write
// puts down reads back with the game's own readers, and every name one file
// gives another (entity files in script tables, hulls, scripts started by
// triggers and by the guard's AI, sounds, state tables, AI files) is there.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "ai_io.h"
#include "anim_io.h"
#include "collide.h"
#include "demo_level.h"
#include "demo_model.h"
#include "dxinput.h"
#include "file_io.h"
#include "gameglobals.h"
#include "menu.h"
#include "model_io.h"
#include "parsestr.h"
#include "str_util.h"
#include "test_support.h"
#include "win_entity.h"
#include "win_shader.h"

namespace {

class DemoLevel : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        gameglobals_init();
        for (auto [field, name] : {std::pair{game_globals.entity_pathname, "entity"},
                                   {game_globals.collision_pathname, "collision"},
                                   {game_globals.anim_table_pathname, "animtab"},
                                   {game_globals.animation_pathname, "anim"},
                                   {game_globals.shaders_pathname, "shader"},
                                   {game_globals.ai_pathname, "ai"},
                                   {game_globals.sound_pathname, "sound"},
                                   {game_globals.script_pathname, "script"},
                                   {game_globals.model_pathname, "model"},
                                   {game_globals.bitmaps_pathname, "bitmap"}}) {
            std::filesystem::create_directories(dir.file(name));
            STR_CPY(field, GAMEGLOBALS_PATH_SIZE, dir.file(name).c_str());
        }
        ASSERT_EQ(demo_level_write(), 1);
    }

    static std::string path(const char* directory, const std::string& name, const char* extension)
    {
        return std::string(directory) + "/" + name + "." + extension;
    }
    static bool exists(const char* directory, const std::string& name, const char* extension)
    {
        return std::filesystem::exists(path(directory, name, extension));
    }

    // The entity file `name`, read whole; NULL when it does not read.
    static win_entity* read_entity(const std::string& name)
    {
        int found = 0;
        FILE* file = file_open_search_verify_version_bin(
            path(game_globals.entity_pathname, name, "enw").c_str(), nullptr, FILE_TYPE_ENTITY,
            FILE_VERSION_ENTITY, &found);
        if (!file)
            return nullptr;
        win_entity* entity = read_win_entity_bin(file);
        file_close(file);
        return entity;
    }

    // Whether the state named `state` has a transition for the input word
    // `input` to another state or to itself.
    static bool leads_on(const win_ast* table, const char* state, int32_t input)
    {
        for (int32_t i = 0; i < table->win_anim_state_filename_array_size; ++i) {
            if (strcmp(table->win_anim_state_filename_array[i], state) != 0)
                continue;
            const win_anim_table_base& from = table->win_anim_table_base_array[i];
            const win_anim_table_entry* entry = from.win_anim_table_entry_list;
            for (int32_t e = 0; entry && e < from.win_anim_table_entry_list_size; ++e) {
                if (entry->condition_mask == input)
                    return true;
                entry = entry->next_ptr;
            }
        }
        return false;
    }

    // What the compiled script `name` names: its entity files (loaded ones
    // only, id above 0) and its sound files. False when it does not link.
    static bool read_script(const std::string& name, std::set<std::string>* entities,
                            std::set<std::string>* sounds)
    {
        std::string file = path(game_globals.script_pathname, name, "scw");
        int found = 0;
        int32_t size = 0;
        char* image = file_mem_load_search_verify_version_bin(
            file.c_str(), nullptr, FILE_TYPE_SCRIPT, FILE_VERSION_SCRIPT, &found, &size);
        running_script* script = image ? malloc_running_script(file.c_str()) : nullptr;
        if (!script || !parse_link_script(script, image, size)) {
            if (script)
                free_running_script(script);
            return false;
        }
        for (parsed_entity* e = script->parsed_entity_list; e;
             e = parse_ring_next(script->parsed_entity_list, e))
            if (e->id > 0)
                entities->insert(e->entity_filename);
        for (parsed_sound* s = script->parsed_sound_list; s;
             s = parse_ring_next(script->parsed_sound_list, s))
            sounds->insert(s->sound_filename);
        parse_release_script_code(script);
        free_running_script(script);
        return true;
    }

    TempDir dir;
    LogCapture log;
};

TEST_F(DemoLevel, EveryFileReadsBackAndEveryNameItGivesIsThere)
{
    // The scripts that the game starts by name: the menu's, and the Hints
    // key's.
    std::set<std::string> scripts = {demo_level_start_script, demo_level_cheat_script};
    for (const char* episode : menu_episode_scripts)
        scripts.insert(episode);
    std::set<std::string> hulls, tables, ai_files, maps, models;

    // The entities the scripts load, and what each of them names, with the
    // scripts that those start in turn.
    std::set<std::string> entities, sounds, read, scripts_read;
    while (entities.size() > read.size() || scripts.size() > scripts_read.size()) {
        for (const std::string& script : std::set<std::string>(scripts)) {
            if (scripts_read.insert(script).second) {
                ASSERT_TRUE(read_script(script, &entities, &sounds)) << script;
            }
        }
        for (const std::string& name : std::set<std::string>(entities)) {
            if (!read.insert(name).second)
                continue;
            SCOPED_TRACE(name);
            win_entity* entity = read_entity(name);
            ASSERT_NE(entity, nullptr);
            if (entity->win_ast_filename)
                tables.insert(entity->win_ast_filename);
            for (int32_t i = 0; i < entity->win_child_name_ptr_array_size; ++i)
                entities.insert(entity->win_child_name_ptr_array[i]);
            // An item is used through its script "<item>_use".
            if (entity->win_entity_flag & ENTITY_FLAG_ITEM)
                scripts.insert(name + "_use");
            if (const win_character* character = win_entity_character(entity)) {
                if (character->mow_model_filename)
                    models.insert(character->mow_model_filename);
                if (character->ai_filename)
                    ai_files.insert(character->ai_filename);
            }
            if (const win_environment* env = win_entity_environment(entity)) {
                for (int32_t i = 0; i < env->win_collision_filename_array_size; ++i)
                    hulls.insert(env->win_collision_filename_array[i]);
                for (int32_t i = 0; i < env->win_trigger_array_size; ++i) {
                    hulls.insert(env->win_trigger_array[i].win_trigger_collision_name);
                    scripts.insert(env->win_trigger_array[i].win_trigger_script_name);
                }
                for (int32_t i = 0; i < env->win_explore_cam_array_size; ++i)
                    hulls.insert(env->win_explore_cam_array[i].explore_cam_zone_filename);
                if (env->win_map_filename)
                    maps.insert(env->win_map_filename);
            }
            if (const win_emitter* emitter = win_entity_emitter(entity))
                entities.insert(emitter->particle_template);
            free_win_entity(entity);
        }
    }
    EXPECT_EQ(read, (std::set<std::string>{"courtyard",  "yard",        "gate",         "hero",
                                           "guard",      "lamp",        "camera",       "embers",
                                           "ember",      "sling",       "sling_shot",   "stone",
                                           "flask",      "hero_sparks", "guard_sparks", "spark",
                                           "title_card", "narrator",    "stone_trail",  "hound",
                                           "crane_rig",  "crane",       "watch",        "dusk",
                                           "moon",       "glow",        "glimmer"}));

    for (const std::string& name : hulls) {
        SCOPED_TRACE(name);
        win_collision* hull = collide_load_win_collision(name.c_str());
        EXPECT_NE(hull, nullptr);
        if (hull)
            free_win_collision(hull);  // the list's reference stays until the sweep
    }
    for (std::string name : ai_files) {
        win_ai* ai = ai_load_file(name.data(), game_globals.ai_pathname);
        ASSERT_NE(ai, nullptr) << name;
        for (const char* script : {ai->end_script, ai->give_hit_script, ai->receive_hit_script})
            if (script)
                scripts.insert(script);
        free_win_ai(ai);
    }
    for (std::string name : maps) {
        win_map* map = ai_load_map_file(name.data(), game_globals.ai_pathname);
        EXPECT_NE(map, nullptr) << name;
        if (map)
            free_win_map(map);
    }
    for (const std::string& name : tables) {
        SCOPED_TRACE(name);
        win_ast* table = malloc_win_ast(name.c_str());
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(anim_io_load_ast(path(game_globals.anim_table_pathname, name, "ast").c_str(),
                                   table, game_globals.model_pathname, game_globals.sound_pathname),
                  1);
        EXPECT_EQ(anim_io_load_ast_anims(table,
                                         name == "hero" ? (int32_t)DEMO_MODEL_HERO_JOINTS
                                                        : (int32_t)DEMO_MODEL_JOINTS,
                                         game_globals.animation_pathname),
                  1);
        // The scripts its states play (its hits') are there too.
        for (int32_t i = 0; i < table->win_anim_table_base_array_size; ++i)
            if (const char* script = table->win_anim_table_base_array[i].play_script)
                scripts.insert(script);
        // Every input word that the player's keys or the AI's movement give
        // a fighter moves it on from standing or walking: transitions match
        // the whole word, so a word without one (walking while turning, say)
        // leaves the fighter standing where it is.
        for (const char* state : {"stand", "walk"})
            for (int32_t input : {(int32_t)ACTION_UP, (int32_t)ACTION_LEFT, (int32_t)ACTION_RIGHT,
                                  ACTION_UP | ACTION_LEFT, ACTION_UP | ACTION_RIGHT})
                EXPECT_TRUE(leads_on(table, state, input)) << state << " with input " << input;
        EXPECT_TRUE(leads_on(table, "stand", ACTION_C_BUTTON)) << "a strike";
        free_win_ast(table);
    }
    EXPECT_EQ(tables, (std::set<std::string>{"hero", "guard", "hound"}));

    // Every script that something starts is there and names only what is.
    for (const std::string& script : scripts) {
        SCOPED_TRACE(script);
        std::set<std::string> more;
        ASSERT_TRUE(read_script(script, &more, &sounds));
        for (const std::string& entity : more)
            EXPECT_TRUE(read.count(entity)) << entity;
    }
    for (const char* script :
         {demo_level_gate_script, demo_level_flask_script, demo_level_flask_use_script,
          demo_level_guard_end_script, demo_level_hero_end_script, demo_level_end_script,
          "guard_hurt", "hero_hurt"})
        EXPECT_TRUE(scripts.count(script)) << script;
    for (const std::string& sound : sounds)
        EXPECT_TRUE(std::filesystem::exists(std::string(game_globals.sound_pathname) + "/" + sound))
            << sound;

    // The models, each checked for drawing as it loads, their shaders and
    // the shaders' textures (the figure's own is the tree's, written with
    // the figure).
    EXPECT_EQ(models, (std::set<std::string>{"hero", "foe", "yard", "gate", "ember", "stone",
                                             "sling", "flask", "hound"}));
    for (const std::string& name : models) {
        SCOPED_TRACE(name);
        std::string file = path(game_globals.model_pathname, name, "mow");
        to_lower_case(file.data());
        mow_model* model = model_io_load(file.c_str());
        ASSERT_NE(model, nullptr);
        for (int32_t i = 0; i < model->mow_shader_filename_array_size; ++i) {
            const char* shader_name = model->mow_shader_filename_array[i];
            int found = 0;
            FILE* shader_file = file_open_search_verify_version_bin(
                path(game_globals.shaders_pathname, shader_name, "shw").c_str(), nullptr,
                FILE_TYPE_SHADER, FILE_VERSION_SHADER, &found);
            ASSERT_NE(shader_file, nullptr) << shader_name;
            win_shader* shader = read_win_shader_bin(shader_file);
            file_close(shader_file);
            ASSERT_NE(shader, nullptr) << shader_name;
            ASSERT_GE(shader->win_texture_filename_array_size, 1);
            for (int32_t t = 0; t < shader->win_texture_filename_array_size; ++t) {
                const char* texture = shader->win_texture_filename_array[t];
                EXPECT_TRUE(exists(game_globals.bitmaps_pathname, texture, "tga") ||
                            std::string(texture) == demo_model_shader_name)
                    << texture;
            }
            // An animated shader's state table, with its animation.
            if (shader->win_ast_filename) {
                win_ast* table = malloc_win_ast(shader->win_ast_filename);
                EXPECT_EQ(anim_io_load_ast(path(game_globals.anim_table_pathname,
                                                shader->win_ast_filename, "ast")
                                               .c_str(),
                                           table, game_globals.model_pathname,
                                           game_globals.sound_pathname),
                          1);
                EXPECT_EQ(anim_io_load_ast_anims(table, 0, game_globals.animation_pathname), 1);
                free_win_ast(table);
            }
            free_win_shader(shader);
        }
    }
    model_io_reset();

    collide_remove_win_collision();
    EXPECT_EQ(log.errors(), std::vector<std::string>{});
}

}  // namespace
