// The character AI's goal machine. Each character with a brain and an AI
// record runs one step per frame: the current goal of its goal stack decides
// what the character does, by writing the action-mask bits of the input word
// of its state table (as the player's input does; see ai_move.h) and by
// pushing sub-goals in front of itself. A pushed goal becomes current at
// once; when it is finished (popped) the goal that was current before it is
// resumed. Attack sectors (hot sectors) decide when, and with which weapon, a
// character attacks.
//
// The stack is the AI record's goal ring in the order added: a goal's
// predecessor in the ring is the goal it was pushed over. A character whose
// stack runs empty idles on a default goal of its own, which belongs to no
// ring and is released when another goal replaces it.
//
// Goals that follow an entity (hunt, attack, turn to, approach, face attack
// sector, attack or roam, attack from node) are dropped with a warning once
// their target is gone: ai_forget_entity clears the target when it is
// unloaded. Node numbers from goals and maps are checked against the map; a
// goal that names no node of it is dropped, and where no node is in sight the
// character wanders.
//
// ai_add_goal, ai_clear_goals and ai_get_relative_direction_flags are
// declared in script_imports.h, ai_find_attack_sector in runtime_services.h.
#pragma once

#include <cstdint>

#include "ai_io.h"
#include "runtime_services.h"
#include "script_imports.h"
#include "win_entity.h"

// How a target stands against one hot sector (ai_check_hot_sector).
enum ai_sector_answer : int32_t {
    AI_SECTOR_INSIDE = 1,
    AI_SECTOR_TOO_FAR = 2,
    AI_SECTOR_TOO_NEAR = 3,
    AI_SECTOR_BEFORE_ANGLE_FROM = 4,
    AI_SECTOR_BEYOND_ANGLE_TO = 5,
};
// The answers of ai_find_attack_sector when no sector holds the target.
enum : int32_t {
    AI_NO_ATTACK_SECTOR = -1,
    AI_TARGET_TOO_NEAR = -2,
};
// Where a target stands around an entity (ai_get_relative_direction_flags):
// the quarters of angles about y from the entity's facing.
enum ai_relative_direction : int32_t {
    AI_DIRECTION_AHEAD = 0x2000,           // -45 to 45 degrees
    AI_DIRECTION_BEHIND = 0x4000,          // 135 round to -135 degrees
    AI_DIRECTION_NEGATIVE_SIDE = 0x8000,   // -135 to -45 degrees
    AI_DIRECTION_POSITIVE_SIDE = 0x10000,  // 45 to 135 degrees
};
// The word of a hot sector's win_sector: distances, then angles in radians
// about the vertical axis from the entity's facing.
enum {
    AI_SECTOR_MIN_DISTANCE,
    AI_SECTOR_MAX_DISTANCE,
    AI_SECTOR_ANGLE_FROM,
    AI_SECTOR_ANGLE_TO,
};

// One step of the character's goal machine, `frame_delta_time` ms after the
// last. A character without ENTITY_FLAG_BRAIN, without an AI record or with
// no hit points left is passed over. Returns 1.
int ai_update_character(win_entity* entity, float frame_delta_time);

// The AI record of a character or a camera; NULL for other entities.
win_ai* ai_entity_ai(const win_entity* entity);

// Finishes the current goal: it leaves the ring and is released, and the
// goal it was pushed over becomes current (a new default goal when none is
// left). For a camera the finished goal's extra is remembered as the last
// explore camera, and resuming a goal toward an explore camera that names a
// script starts it. Returns the new current goal, which is stored too.
win_goal_entry* ai_next_goal(win_entity* entity);
// Makes `goal` current. A default goal it replaces, which no ring holds, is
// released.
void ai_set_current_goal(win_ai* ai, win_goal_entry* goal);
// A new idle goal in no ring, which the caller owns; NULL after an error line
// for an entity without an AI record.
win_goal_entry* ai_create_default_goal(win_entity* entity);

// How `target` stands against `sector` from the entity's place and facing
// (ai_sector_answer); 0 after an error line for a NULL argument.
int32_t ai_check_hot_sector(const win_entity* entity, const win_entity* target,
                            const win_hot_sector* sector);
// 1 when the entity has attack sectors and the target stands, in the xz
// plane, nearer than the maximum distance of one of the ring's sectors.
int ai_is_target_within_sector_range(const win_entity* entity, const win_entity* target,
                                     const win_hot_sector* sector_list);
// The attack sector whose middle direction points most nearly at the target
// (the first on a tie); NULL when the entity has none.
win_hot_sector* ai_find_sector_goal(const win_entity* entity, const win_entity* target);

// A new AI record with the personality of `source` and nothing else: no
// goals, scripts or hot sectors. NULL (after an error line) for a NULL source
// or when memory runs out.
win_ai* ai_create_duplicate(const win_ai* source);

// Called before `entity` is unloaded: no goal of any loaded AI and no camera
// follows it any more (the goals that need a target are then dropped, the
// cameras follow their fixed points), and its own idle default goal is
// released.
void ai_forget_entity(const win_entity* entity);
