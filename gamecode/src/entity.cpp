#include "entity.h"

#include "d3dxframe.h"
#include "debug.h"
#include "entity_io.h"

win_entity* entity_update_cursor = nullptr;
win_entity* entity_update_next = nullptr;

int entity_update_all(void)
{
    if (!entity_io_global_win_entity_list)
        return 0;
    // Each entity is updated here by its type, walking from the head with
    // entity_update_cursor and entity_update_next, once the entity records
    // are in. After a complete pass, lights that took fresh indices after a
    // device re-creation keep them.
    d3dxframe_set_light_allocation(0);
    return 1;
}

int entity_play_anim(win_entity* entity, int32_t)
{
    if (!entity) {
        LOG_ERROR("%s", "Cannot entity_play_anim with NULL entity.\n");
        return 0;
    }
    // The animation state machine (start_next_anim_state, anim.h) enters the
    // state here, with the entity's root transform and velocities, once the
    // entity records are in.
    return 1;
}

// The runtime completes these with the entity records; until then no entity
// is ever loaded, so every query has its neutral answer.
float* entity_state_array(win_entity*, int32_t* size)
{
    if (size)
        *size = 0;
    return nullptr;
}

win_entity* entity_find_closest(win_entity*, float)
{
    return nullptr;
}

float entity_calc_dist_to_entity(win_entity*, win_entity*)
{
    return -1.0f;
}

int entity_check_environment_name(const char*)
{
    return 0;
}

int entity_check_trigger_name(win_entity*, const char*)
{
    return 0;
}

int entity_is_facing_pos_z_dir(win_entity*)
{
    return 0;
}

int entity_is_facing_neg_z_dir(win_entity*)
{
    return 0;
}

int entity_is_facing_pos_x_dir(win_entity*)
{
    return 0;
}

int entity_is_facing_neg_x_dir(win_entity*)
{
    return 0;
}

float entity_get_hitpoints(win_entity*)
{
    return 0.0f;
}

// The weapons and items come with the entity records; until then no
// character holds any.
win_entity* entity_find_next_weapon(win_entity*)
{
    return nullptr;
}

win_entity* entity_find_prev_weapon(win_entity*)
{
    return nullptr;
}

win_entity* entity_find_next_item(win_entity*)
{
    return nullptr;
}

win_entity* entity_find_prev_item(win_entity*)
{
    return nullptr;
}

// The runtime completes these with the entity operations; until then each
// operation changes nothing and is done.
texture_container* entity_retrieve_icon_texture(win_entity*)
{
    return nullptr;
}

int entity_place(win_entity*, float, float, float)
{
    return 1;
}

int entity_orient(win_entity*, float, float, float)
{
    return 1;
}

int entity_add_rotation(win_entity*, float, float, float)
{
    return 1;
}

int entity_add_translation(win_entity*, float, float, float)
{
    return 1;
}

int entity_set_velocity(win_entity*, float, float, float)
{
    return 1;
}

int entity_set_rot_velocity(win_entity*, float, float, float)
{
    return 1;
}

int entity_set_acceleration(win_entity*, float, float, float)
{
    return 1;
}

int entity_set_mass(win_entity*, float)
{
    return 1;
}

int entity_set_life_span(win_entity*, float)
{
    return 1;
}

int entity_enable_brain(win_entity*, int32_t)
{
    return 1;
}

int entity_enable_collision(win_entity*, int32_t)
{
    return 1;
}

int entity_enable_environment_collision(win_entity*, int32_t)
{
    return 1;
}

int entity_enable_character_collision(win_entity*, int32_t)
{
    return 1;
}

int entity_set_player_character(win_entity*)
{
    return 1;
}

int entity_set_environment(win_entity*)
{
    return 1;
}

int entity_set_game_camera(win_entity*)
{
    return 1;
}

int entity_set_camera_target(win_entity*, win_entity*, int32_t, float, float, float)
{
    return 1;
}

int entity_set_camera_shake(float, float, float, float)
{
    return 1;
}

int entity_attach_to_joint(win_entity*, win_entity*, int32_t, const win_matrix43*)
{
    return 1;
}

int entity_detach_from_parent(win_entity*, win_entity*)
{
    return 1;
}

int entity_play_anim2(win_entity*, int32_t)
{
    return 1;
}

int entity_start_next_anim_state(win_entity*, int32_t, int32_t, int32_t)
{
    return 0;
}

win_shader* entity_shader(win_entity*, int32_t)
{
    return nullptr;
}

int entity_turn_to_face_entity(win_entity*, win_entity*)
{
    return 1;
}

int entity_face_entity(win_entity*, win_entity*)
{
    return 1;
}

int entity_set_player_step_sound(const char*)
{
    return 1;
}

int entity_null_command(win_entity*, float)
{
    return 1;
}

int entity_holster_current_weapon(win_entity*)
{
    return 1;
}

int entity_set_current_weapon(win_entity*, win_entity*)
{
    return 1;
}

int entity_set_current_item(win_entity*, win_entity*)
{
    return 1;
}

int entity_add_hitpoints(win_entity*, float)
{
    return 1;
}

int entity_display_closeup(win_entity*)
{
    return 1;
}
