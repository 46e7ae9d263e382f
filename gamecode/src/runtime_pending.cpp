// Neutral placeholders of runtime calls whose own module has not landed yet
// (see runtime_pending.h).
#include "runtime_pending.h"

// entity_io
void entity_io_begin_walk(void) {}
void entity_io_end_walk(void) {}

// collide
int32_t collide_check_count = 0;

int collide_check_entity(win_matrix43*, win_entity*, win_entity*)
{
    return 0;
}

int collide_check_triggers(win_entity*, win_entity*)
{
    return 0;
}

int collide_draw_collision_data(win_entity*)
{
    return 1;
}

// ai
int ai_update_character(win_entity*, float)
{
    return 1;
}

int ai_update_camera(win_entity*)
{
    return 0;
}

// vk_auto_aim
int vk_auto_aim_setup(win_entity*)
{
    return 1;
}

int vk_auto_aim_undo_setup(win_entity*)
{
    return 1;
}

int vk_auto_aim_clear(win_entity*)
{
    return 1;
}

// vk_tail
int vk_tail_update_transition_state(win_entity*)
{
    return 1;
}

// shader
int shader_interpret_input(win_shader*, win_ast*)
{
    return 0;
}

int shader_update_anim(win_shader*, win_ast*)
{
    return 1;
}

// entity_weapon
int entity_fire_current_weapon(win_entity*)
{
    return 0;
}
