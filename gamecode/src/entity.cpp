#include "entity.h"

#include "d3dxframe.h"
#include "debug.h"
#include "entity_io.h"
#include "sound.h"

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

int entity_unload_all(int32_t unload_all)
{
    LOG_NOTICE("%s\n", "entity_unload_all called.");
    int ok = sound_stop_all(unload_all);
    // The members of the ring (those flagged persistent stay unless
    // unload_all is 1) are taken out and unloaded here once entities can be
    // loaded, each entity and sub-entity forgotten by the scripts
    // (script_forget_entity) before it is released; until then the ring is
    // always empty.
    ok = sound_unload_all(unload_all) && ok;
    return ok;
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

int entity_set_current_item(win_entity*, win_entity*)
{
    return 0;
}

texture_container* entity_retrieve_icon_texture(win_entity*)
{
    return nullptr;
}
