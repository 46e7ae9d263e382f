#include "entity_fixture.h"

#include <gtest/gtest.h>

#include "anim.h"
#include "demo_anim.h"
#include "demo_ast.h"
#include "demo_model.h"
#include "entity_io.h"
#include "gameglobals.h"
#include "heap.h"
#include "runtime_services.h"
#include "win_math.h"

namespace {

win_entity* new_entity(const char* name, int32_t type)
{
    win_entity* entity = malloc_win_entity(name);
    entity->win_entity_type = type;
    entity->local_matrix = win_math_identity_matrix43;
    entity->world_matrix = win_math_identity_matrix43;
    return entity;
}

}  // namespace

win_entity* fixture_character(const char* name, bool with_model, bool with_table, float x, float y,
                              float z)
{
    win_entity* entity = new_entity(name, WIN_ENTITY_TYPE_CHARACTER);
    win_math_set_translate_matrix43(&entity->local_matrix, x, y, z);
    win_character* character = malloc_win_character();
    entity->u.win_character = character;
    if (with_model) {
        character->mow_model = demo_model_make("figure");
        character->mow_track_augment_array = malloc_mow_track_augment_array(DEMO_MODEL_JOINTS);
        character->mow_track_augment_array_size = DEMO_MODEL_JOINTS;
    }
    if (with_table) {
        entity->win_ast = demo_ast_make_relay("figure", demo_anim_make_wave("wave"));
        EXPECT_EQ(start_next_anim_state(entity, entity->win_ast, &entity->last_win_xform,
                                        &entity->rot_velocity, &entity->velocity, 0, 1, 1),
                  1);
    }
    return entity;
}

win_entity* fixture_light(const char* name, uint32_t type)
{
    win_entity* entity = new_entity(name, WIN_ENTITY_TYPE_LIGHT);
    win_light* light = malloc_win_light(name);
    light->d3d_light.dltType = type;
    light->d3d_light.dcvDiffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light->d3d_light.dcvSpecular = {0.0f, 0.0f, 0.0f, 0.0f};
    light->d3d_light.dcvAmbient = {0.0f, 0.0f, 0.0f, 0.0f};
    light->d3d_light.dvRange = 1000.0f;
    light->d3d_light.dvAttenuation0 = 1.0f;
    light->d3d_light.dvAttenuation1 = 0.0f;
    light->d3d_light.dvAttenuation2 = 0.0f;
    entity->u.win_light = light;
    return entity;
}

win_entity* fixture_camera(const char* name)
{
    win_entity* entity = new_entity(name, WIN_ENTITY_TYPE_CAMERA);
    entity->u.win_camera = malloc_win_camera();
    entity->u.win_camera->win_ai = malloc_win_ai();
    // Without a brain its AI pursues no goals: it stays where it is put.
    entity->win_entity_flag &= ~ENTITY_FLAG_BRAIN;
    return entity;
}

win_entity* fixture_emitter(const char* name, int32_t particles, float rate)
{
    win_entity* entity = new_entity(name, WIN_ENTITY_TYPE_EMITTER);
    win_emitter* emitter = malloc_win_emitter();
    emitter->particle_template = STRDUP("spark");
    emitter->particle_count = particles;
    emitter->emit_rate = rate;
    emitter->emit_time = 0.0f;
    emitter->particle_speed = 50.0f;
    emitter->particle_life_span = 1.0f;
    emitter->particle_life_span_variance = 0.0f;
    for (auto& axis : emitter->particle_rot_velocity)
        axis[0] = axis[1] = 0.0f;
    entity->u.win_emitter = emitter;
    for (int32_t i = 0; i < particles; ++i) {
        win_entity* particle = fixture_character("spark", false, false);
        particle->life_span = 0.0f;
        fixture_attach(entity, particle, -2);
    }
    return entity;
}

win_entity* fixture_attach(win_entity* parent, win_entity* child, int32_t joint_idx)
{
    child->parent_joint_idx = joint_idx;
    EXPECT_EQ(
        add_to_win_entity_list(&parent->child_entity_list, &parent->child_entity_list_size, child),
        1);
    return child;
}

win_entity* FixtureRing::add(win_entity* entity)
{
    EXPECT_EQ(add_to_win_entity_list(&entity_io_global_win_entity_list,
                                     &entity_io_global_win_entity_list_size, entity),
              1);
    return entity;
}

FixtureRing::~FixtureRing()
{
    while (win_entity* entity = entity_io_global_win_entity_list) {
        remove_from_win_entity_list(&entity_io_global_win_entity_list,
                                    &entity_io_global_win_entity_list_size, entity);
        free_win_entity(entity);
    }
}

std::vector<win_entity*> fixture_children(const win_entity* entity)
{
    std::vector<win_entity*> children;
    win_entity* child = entity->child_entity_list;
    for (int32_t i = 0; child && i < entity->child_entity_list_size; ++i) {
        children.push_back(child);
        child = child->next;
    }
    return children;
}

win_vect3 fixture_position(const win_matrix43& matrix)
{
    return {matrix.m[3][0], matrix.m[3][1], matrix.m[3][2]};
}

void fixture_release_hud_textures(void)
{
    entity_weapon_hold_texture(&game_globals.weapon_icon_texture, nullptr);
    entity_weapon_hold_texture(&game_globals.item_icon_texture, nullptr);
    entity_weapon_hold_texture(&game_globals.closeup_texture, nullptr);
}
