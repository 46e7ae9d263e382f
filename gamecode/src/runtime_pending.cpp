// Neutral placeholders of runtime calls whose own module has not landed yet
// (see runtime_pending.h).
#include "runtime_pending.h"

#include "debug.h"

// collide_character
int collide_check_entity_to_entity(win_entity*, win_entity*, win_vect3*)
{
    return 0;
}

// shader: no shader can be copied until shader duplication lands.
win_shader* shader_duplicate_win_shader_array(const win_shader*, int32_t)
{
    LOG_ERROR("%s\n", "shader_duplicate_win_shader_array is not available.");
    return nullptr;
}

// vk_tail: no tail is hooked until the tail hooks land.
int vk_tail_set_anim_hook(mow_track_augment*)
{
    return 0;
}

// entity: no particle is launched until the emitter update lands.
int entity_emit_particle(win_entity*, win_entity*, win_entity*)
{
    return 0;
}
