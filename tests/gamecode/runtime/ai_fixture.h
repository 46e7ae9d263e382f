// Entities, maps and walls built in memory for the AI suites: characters
// with a model radius, a state table and an AI; an environment with a
// navigation map and wall hulls; a scene that owns them and releases them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ai.h"
#include "ai_camera.h"
#include "ai_io.h"
#include "ai_move.h"
#include "anim.h"
#include "entity_io.h"
#include "gameglobals.h"
#include "heap.h"
#include "mow_geo.h"
#include "runtime_services.h"
#include "test_support.h"
#include "win_ast.h"
#include "win_collision.h"
#include "win_entity.h"
#include "win_math.h"

// Angles about y: model space faces -z, and a positive turn swings the
// facing from -z toward -x.
constexpr float AI_PI = 3.14159265f;
constexpr float AI_FACE_POS_X = -AI_PI / 2;
constexpr float AI_FACE_NEG_X = AI_PI / 2;
constexpr float AI_FACE_NEG_Z = 0.0f;

// Puts the entity at `position`, turned by `yaw` about y.
inline void ai_place(win_entity* entity, win_vect3 position, float yaw)
{
    win_math_set_rotate_y_matrix43(&entity->local_matrix, yaw);
    entity->local_matrix.m[3][0] = position.x;
    entity->local_matrix.m[3][1] = position.y;
    entity->local_matrix.m[3][2] = position.z;
    entity->local_matrix.attrib |= WIN_ATTRIB_TRANSLATE;
    entity->world_matrix = entity->local_matrix;
}

// A wall from a to b (x and z), standing at any height.
struct AiWall {
    win_vect3 a, b;
};

inline win_collision* ai_make_wall_hull(const AiWall& wall)
{
    win_collision* hull = malloc_win_collision("wall");
    hull->win_vtx_array_size = 2;
    hull->win_vtx_array = malloc_win_vect3_array(2);
    hull->win_vtx_array[0] = wall.a;
    hull->win_vtx_array[1] = wall.b;
    hull->win_block_array_size = 1;
    hull->win_block_array = malloc_win_block_array(1);
    win_line_block* line = malloc_win_line_block();
    line->win_vtx_idx_array_size = 2;
    line->win_vtx_idx_array = (uint16_t*)MALLOC(2 * sizeof(uint16_t));
    line->win_vtx_idx_array[0] = 0;
    line->win_vtx_idx_array[1] = 1;
    hull->win_block_array[0].win_block_type = WIN_BLOCK_TYPE_LINE;
    hull->win_block_array[0].win_block_data = line;
    return hull;
}

// Owns what a case builds; releases it, and takes it off the globals and
// the entity ring, when the case ends.
class AiScene {
public:
    ~AiScene()
    {
        for (win_entity* entity : ringed_)
            remove_from_win_entity_list(&entity_io_global_win_entity_list,
                                        &entity_io_global_win_entity_list_size, entity);
        for (win_entity* entity : entities_) {
            if (ai_entity_ai(entity))
                ai_clear_goals(entity);
            free_win_entity(entity);
        }
        game_globals.player_character = NULL;
        game_globals.current_environment = NULL;
        game_globals.current_camera = NULL;
    }

    // A character with a model of `radius` (none for 0), a state table of
    // `states` states in state 0, 100 hit points, its brain on, and `ai`
    // (owned from now on; NULL for none).
    win_entity* character(const char* name, win_vect3 position, float yaw, float radius,
                          win_ai* ai = NULL, int32_t states = 1)
    {
        win_entity* entity = malloc_win_entity(name);
        entity->win_entity_type = WIN_ENTITY_TYPE_CHARACTER;
        win_character* payload = malloc_win_character();
        entity->u.win_character = payload;
        if (radius > 0.0f) {
            payload->mow_model = malloc_mow_model(name);
            payload->mow_model->mow_model_sphere_radius = radius;
        }
        payload->win_ai = ai;
        payload->hitpoints = 100.0f;
        win_ast* table = malloc_win_ast(name);
        table->win_anim_table_base_array = malloc_win_anim_table_base_array(states);
        table->win_anim_table_base_array_size = states;
        table->current_anim_index = 0;
        entity->win_ast = table;
        ai_place(entity, position, yaw);
        entities_.push_back(entity);
        return entity;
    }

    // A new AI record of the default personality with these attack sectors
    // (distances, then angles in radians) of these kinds (standard 1 for the
    // sectors without one).
    win_ai* ai(std::initializer_list<win_sector> sectors = {}, std::vector<int32_t> kinds = {})
    {
        win_ai* record = malloc_win_ai();
        size_t k = 0;
        for (const win_sector& s : sectors) {
            win_hot_sector* sector = malloc_win_hot_sector();
            sector->sector = s;
            sector->sector_kind = k < kinds.size() ? kinds[k] : AI_ATTACK_STANDARD_1;
            ++k;
            add_to_win_hot_sector_list(&record->attack_sector_list,
                                       &record->attack_sector_list_size, sector);
        }
        return record;
    }

    // The current environment: `map` (owned; NULL for none) and one hull per
    // wall.
    win_entity* environment(win_map* map, const std::vector<AiWall>& walls = {})
    {
        win_entity* entity = malloc_win_entity("courtyard");
        entity->win_entity_type = WIN_ENTITY_TYPE_ENVIRONMENT;
        win_environment* payload = malloc_win_environment();
        entity->u.win_environment = payload;
        payload->win_map = map;
        if (!walls.empty()) {
            payload->win_collision_ptr_array_size = (int32_t)walls.size();
            payload->win_collision_ptr_array = malloc_win_collision_ptr_array(
                (int32_t)walls.size());
            for (size_t i = 0; i < walls.size(); ++i)
                payload->win_collision_ptr_array[i] = ai_make_wall_hull(walls[i]);
        }
        entities_.push_back(entity);
        game_globals.current_environment = entity;
        return entity;
    }

    // Puts an entity made here on the ring of loaded entities.
    void ring(win_entity* entity)
    {
        add_to_win_entity_list(&entity_io_global_win_entity_list,
                               &entity_io_global_win_entity_list_size, entity);
        ringed_.push_back(entity);
    }

    void adopt(win_entity* entity) { entities_.push_back(entity); }

private:
    std::vector<win_entity*> entities_;
    std::vector<win_entity*> ringed_;
};

// The entity's input word (the action mask the AI wrote).
inline int32_t ai_input(const win_entity* entity)
{
    return entity->win_ast->anim_input_flags;
}

// The goal types of the entity's goal ring, oldest first.
inline std::vector<int32_t> ai_goal_types(const win_entity* entity)
{
    std::vector<int32_t> types;
    const win_ai* ai = ai_entity_ai(entity);
    const win_goal_entry* goal = ai->win_goal_entry_list;
    for (int32_t i = 0; goal && i < ai->win_goal_entry_list_size; ++i, goal = goal->next_ptr)
        types.push_back(goal->ai_goal_type);
    return types;
}

inline const win_goal_entry* ai_current(const win_entity* entity)
{
    return ai_entity_ai(entity)->current_goal;
}

// The suites start each case from a fresh program state.
class AiTest : public ::testing::Test {
protected:
    void SetUp() override { test_reset_state(); }
};
