// Runtime calls whose own module has not landed yet, each with a neutral
// placeholder in runtime_pending.cpp. A module that lands takes its
// declarations and placeholders out of here into its own files.
#pragma once

#include <cstdint>

#include "runtime_services.h"

struct win_ast;
struct win_matrix43;

// ---- entity_io: deferred destruction ----

// Brackets a walk over entities (the update, the render). While a walk is
// open an unloaded entity is gone from every ring and reference at once, but
// its memory is released only when the outermost walk ends.
void entity_io_begin_walk(void);
void entity_io_end_walk(void);

// ---- collide: the environment and the triggers ----

// Working checks made since the start of the current entity's update; the
// update sets it back to 0 for every entity, and the check answers 0 once
// its budget is spent.
extern int32_t collide_check_count;
// Corrects the translation of `desired_spatial_matrix` of `movable_entity`
// against the hulls of the environment `entity`: 1 while it still collides
// (the matrix or the velocity changed), else 0.
int collide_check_entity(win_matrix43* desired_spatial_matrix, win_entity* movable_entity,
                         win_entity* entity);
// Fires the triggers of `trigger_entity` that `entity` stands in: 1 when one
// fired.
int collide_check_triggers(win_entity* entity, win_entity* trigger_entity);
// Draws the hulls, camera zones and triggers of an environment.
int collide_draw_collision_data(win_entity* environment_entity);

// ---- ai: the goal machine and the cameras ----

// One step of the character's goal machine; 1.
int ai_update_character(win_entity* entity, float delta_ms);
// One frame of a camera's AI; 0 when it did nothing.
int ai_update_camera(win_entity* camera);

// ---- vk_auto_aim and vk_tail: the player's arm and tail ----

int vk_auto_aim_setup(win_entity* entity);
int vk_auto_aim_undo_setup(win_entity* entity);
int vk_auto_aim_clear(win_entity* entity);
int vk_tail_update_transition_state(win_entity* entity);

// ---- shader: the state tables of a character's shaders ----

int shader_interpret_input(win_shader* shader, win_ast* table);
int shader_update_anim(win_shader* shader, win_ast* table);

// ---- entity_weapon: weapons ----

// Fires the character's current projectile weapon: 1, 0 when it has none.
int entity_fire_current_weapon(win_entity* entity);
