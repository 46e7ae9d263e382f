// How the AI moves a character and what it perceives. Movement is written as
// the player's input is: bits of the action mask ORed into the input word of
// the character's animation state table, whose states then walk, run, turn
// and strafe; fliers (mobility type 7) get velocities instead. Perception is
// the geometry the goal machine asks about: which way a point lies, whether a
// point or an entity can be seen, and which node of the current
// environment's navigation map is the nearest one in sight.
//
// The facing of an entity is the xz direction of its local matrix (model
// space faces -z). A character's arrival radius and eye height are both the
// bounding-sphere radius of its model.
#pragma once

#include <cstdint>

#include "win_entity.h"
#include "win_geo.h"

// One movement request of ai_move_entity. The codes 2 and 4 exist in the
// data and do nothing.
enum ai_movement_subgoal : int32_t {
    MOVE_WALK_TOWARD = 0,
    MOVE_RUN_TOWARD = 1,
    MOVE_BACK_TOWARD = 3,
    MOVE_BACK_AWAY = 5,
    MOVE_TURN_TOWARD = 6,
    MOVE_TURN_AWAY = 7,
    MOVE_SIDESTEP_TOWARD = 8,
    MOVE_WANDER = 9,
    MOVE_SUBGOAL_COUNT = 10,
};

// win_personality.mobility_type: how a character may move.
enum ai_mobility_type : int32_t {
    AI_MOBILITY_NONE = 0,       // stands still
    AI_MOBILITY_WALK_RUN = 1,   // 1, 3 and 6 walk and run
    AI_MOBILITY_WALK = 2,       // 2 and 4 walk only
    AI_MOBILITY_TURN_ONLY = 5,  // turns on the spot
    AI_MOBILITY_FLY = 7,        // gets velocities
};

// The position of an entity: the translation row of its local matrix.
win_vect3 ai_entity_position(const win_entity* entity);
// The bounding-sphere radius of a character's model; 0 for an entity that is
// not a character with a model.
float ai_model_radius(const win_entity* entity);
// The character's AI record; NULL for another entity or none.
win_ai* ai_character_ai(const win_entity* entity);
// ORs `bits` into the input word of the entity's state table; an entity
// without a table takes nothing.
void ai_or_input(win_entity* entity, int32_t bits);

// Applies one movement subgoal toward (or, for MOVE_BACK_AWAY, away from)
// `point`, by the character's mobility type. 1, or 0 after an error line for
// a subgoal outside 0 to 9 or a NULL argument.
int ai_move_entity(win_entity* entity, int32_t movement_subgoal, const win_vect3* point);

// -1 (turn left), 1 (turn right) or 0 (the point lies ahead, within about
// 8.6 degrees). A point straight behind answers -1.
int32_t ai_calc_turn_direction(const win_entity* entity, const win_vect3* point);
// -1, 1 or 0: on which side of the entity's sideways axis the point lies.
int32_t ai_calc_strafe_direction(const win_entity* entity, const win_vect3* point);
// 1 (the point lies above), -1 (below) or 0 (within half the model's radius
// of the entity's height, or within 0.1 without a model).
int32_t ai_calc_vertical_direction(const win_entity* entity, const win_vect3* point);

// 1 when nothing of the current environment stands between the entity's eye
// and the point raised by 32.0, else 0 (also, after an error line, for a
// NULL argument).
int ai_check_location_visibility(const win_entity* looking_entity, const win_vect3* pnt_2);
// 1 when the looking entity sees the target: the target lies within 30
// degrees of its facing and 5000.0 (150.0 with ENTITY_FLAG_SHORT_SIGHTED),
// and the line between their eyes is free. 0 otherwise, and after an error
// line for a NULL argument.
int ai_find_closest_node(const win_entity* looking_entity, const win_entity* target_entity);
// The index of the nearest node of the current environment's map whose
// point can be seen from `location` (both raised by 32.0); -1 when none is in
// sight, and after an error line when there is no location, environment or
// map.
int32_t ai_find_closest_node_to_location(const win_vect3* location);
// The entity's facing as one of eight compass codes, 1 (+z) round to 8; 0
// after an error line.
int32_t ai_get_approximate_entity_direction(const win_entity* entity);

// The bit of win_entity_flag that limits a character's sight to 150.0.
enum : uint32_t { ENTITY_FLAG_SHORT_SIGHTED = 0x400000 };
