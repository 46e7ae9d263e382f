// The level objects (win_entity) and the records an entity file carries
// besides them, each with its record family (record.h), one section each:
//   reference slots   one-word holders of a hull reference or a state name,
//                     kept in arrays
//   AI                win_ai with its personality, goals and hot sectors
//   navigation maps   win_map with its nodes and their paths
//   entity            every character, environment, light, camera and
//                     particle emitter of a level, with its payload chosen by
//                     its type
//
// Only the fields of the entity that the frame's player input and statistics
// line use are here so far, in their record order; the entity records add the
// rest of the entity and its payloads and their families.
#pragma once

#include <cstdint>

#include "record.h"
#include "win_ast.h"
#include "win_collision.h"
#include "win_geo.h"

// ---- Reference slots ----
//
// A slot is NULL when empty. Stored, an array of slots is its presence words,
// then the target of each present slot in index order.

// clang-format off
// One counted reference to a shared hull: releasing the slot releases the
// reference (free_win_collision), and the hull with the last one.
typedef win_collision* win_collision_ptr;
RECORD_BEGIN(win_collision_ptr, 4)
    REC_SELF_RECORD(win_collision, win_collision_ptr)
RECORD_END(win_collision_ptr, PLAIN)

// An owned heap string, the name of one of an entity's states.
typedef char* win_state_name_ptr;
RECORD_BEGIN(win_state_name_ptr, 4)
    REC_SELF_STRING()
RECORD_END(win_state_name_ptr, PLAIN)
// clang-format on

// ---- AI ----
//
// A character's or camera's own thinking: fixed values, the scripts it
// starts, the goal in hand, a default goal, a queue of goals and the sectors
// around it where it attacks or reacts to hits. Goals and sectors are list
// nodes without a name: their lists are walked, never searched by key.

// win_personality.demeanor
enum : int32_t {
    WIN_DEMEANOR_NEUTRAL = 0,
    WIN_DEMEANOR_HOSTILE = 1,
    WIN_DEMEANOR_CHICKEN = 2,
};

// clang-format off
// The fixed values of an AI (times in seconds).
struct win_personality {
    int32_t personality_long_1;
    int32_t personality_long_2;
    float attack_interval;  // a fresh attack is queued when attack_timer grows past it
    float attack_timer;
    // Dealt by an attacking state without flags 2 and 4, with flag 2, with flag 4.
    int32_t attack_damage[3];
    int32_t damage_reduction;             // taken off the attack damage received
    int32_t special_damage_reduction[2];  // taken off the two other kinds of hit
    float flying_speed;
    float fast_flying_speed;
    int32_t mobility_type;  // movement kind 0 to 7
    int32_t demeanor;       // WIN_DEMEANOR_*
};
RECORD_VALUE(win_personality, 56, .personality_long_2 = -1, .attack_interval = 5.0f,
             .attack_damage = {10, 10, 10}, .flying_speed = 10.0f, .fast_flying_speed = 20.0f,
             .mobility_type = 1, .demeanor = 1)

struct win_entity;

// One goal. Its type decides whether it uses goal_point or target_name.
struct win_goal_entry {
    win_goal_entry* prev_ptr;
    win_goal_entry* next_ptr;
    int32_t goal_type;          // 0: idle
    win_entity* target_entity;  // found by target_name at run time
    char* target_name;
    win_vect3 goal_point;
    int32_t goal_arg;  // such as a node index; -1 for none
};
RECORD_BEGIN(win_goal_entry, 36)
    REC_LINKS(prev_ptr, next_ptr)
    REC_WORDS(goal_type)
    REC_RUNTIME(target_entity)
    REC_STRING(target_name)
    REC_WORDS(goal_point)
    REC_WORDS(goal_arg)
RECORD_END(win_goal_entry, LIST, .goal_arg = -1)

// A sector around the AI's character: distances, then angles from and to.
struct win_hot_sector {
    win_hot_sector* prev_ptr;
    win_hot_sector* next_ptr;
    win_sector sector;
    // Attack sectors: the attack kind bits; hit-reaction sectors: the value
    // the AI file gives.
    int32_t sector_kind;
};
RECORD_BEGIN(win_hot_sector, 28)
    REC_LINKS(prev_ptr, next_ptr)
    REC_WORDS(sector)
    REC_WORDS(sector_kind)
RECORD_END(win_hot_sector, LIST, .sector = win_sector_record_desc::templ, .sector_kind = -1)

struct win_ai {
    win_personality personality;
    char* ai_script_name;  // started when the character, or a goal's target, is beaten
    char* give_hit_script;
    char* receive_hit_script;
    int32_t target_joint;          // -1 for none
    win_goal_entry* current_goal;  // the goal in hand, or NULL
    // Held by value: its links and target_entity are never used and stay 0.
    win_goal_entry default_goal;
    int32_t win_goal_entry_list_size;
    win_goal_entry* win_goal_entry_list;  // in the order added
    int32_t attack_sector_list_size;
    win_hot_sector* attack_sector_list;
    int32_t hit_reaction_sector_list_size;
    win_hot_sector* hit_reaction_sector_list;
};
RECORD_BEGIN(win_ai, 136)
    REC_WORDS(personality)
    REC_STRING(ai_script_name)
    REC_STRING(give_hit_script)
    REC_STRING(receive_hit_script)
    REC_WORDS(target_joint)
    REC_RUNTIME(current_goal)
    // The default goal's words. Its links and target would be addresses of
    // the program that wrote the file: written as 0 and never read back.
    REC_RUNTIME(default_goal.prev_ptr)
    REC_RUNTIME(default_goal.next_ptr)
    REC_WORDS(default_goal.goal_type)
    REC_RUNTIME(default_goal.target_entity)
    REC_STRING(default_goal.target_name)
    REC_WORDS(default_goal.goal_point)
    REC_WORDS(default_goal.goal_arg)
    REC_LIST(win_goal_entry_list_size, win_goal_entry_list, win_goal_entry)
    REC_LIST(attack_sector_list_size, attack_sector_list, win_hot_sector)
    REC_LIST(hit_reaction_sector_list_size, hit_reaction_sector_list, win_hot_sector)
RECORD_END(win_ai, PLAIN, .personality = win_personality_record_desc::templ, .target_joint = -1,
           .default_goal = win_goal_entry_record_desc::templ)
// clang-format on

// ---- Navigation maps ----
//
// A map is an array of named points (nodes), each with the paths that leave
// it; a path is a sequence of node numbers (indexes into the map's
// node_array). Path j of node i, when the map is built for the AI, leads from
// node i toward node j, and its first entry is the next node to walk to.

// clang-format off
struct win_path {
    win_path* prev_ptr;
    win_path* next_ptr;
    char* win_path_name;
    int32_t win_path_idx;  // -1 for none
    int32_t node_idx_array_size;
    int32_t* node_idx_array;  // the nodes the path runs through, in order
};
RECORD_BEGIN(win_path, 24)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(win_path_name)
    REC_WORDS(win_path_idx)
    REC_NUMBERS(node_idx_array_size, node_idx_array, long)
RECORD_END(win_path, NAMED_LIST, .win_path_idx = -1)

struct win_path_node {
    char* win_path_node_name;
    int32_t win_path_node_idx;  // its own index in the map's node_array; -1 for none
    win_vect3 node_location;
    int32_t path_array_size;
    win_path* path_array;
    int32_t connecting_node_idx_array_size;
    int32_t* connecting_node_idx_array;
};
RECORD_BEGIN(win_path_node, 36)
    REC_NAME(win_path_node_name)
    REC_WORDS(win_path_node_idx)
    REC_WORDS(node_location)
    REC_ARRAY(path_array_size, path_array, win_path)
    REC_NUMBERS(connecting_node_idx_array_size, connecting_node_idx_array, long)
RECORD_END(win_path_node, NAMED, .win_path_node_idx = -1)

struct win_map {
    char* win_map_name;
    int32_t node_array_size;
    win_path_node* node_array;
};
// The AI walks from node to node by the numbers its paths hold: a map that
// names a node it does not have is refused when read.
RECORD_CHECK(win_map, win_map_check_node_indexes);
RECORD_BEGIN(win_map, 12)
    REC_NAME(win_map_name)
    REC_ARRAY(node_array_size, node_array, win_path_node)
RECORD_END(win_map, NAMED)
// clang-format on

// Whether every node number of the map's paths and connecting-node arrays
// indexes its node_array. 1, or 0 after one error line that names the map,
// the node and the number. The readers and linkers of maps call it; so may
// any other builder of maps.
int win_map_check_node_indexes(const void* win_map_ptr);

// ---- Entity ----

// Bits of win_entity_flag.
enum : uint32_t {
    ENTITY_FLAG_BRAIN = 0x4,  // driven: by the player's input or by its AI
};

// win_entity_type: the kind of entity and of its payload `u`.
enum : int32_t {
    WIN_ENTITY_TYPE_CHARACTER = 1,
    WIN_ENTITY_TYPE_ENVIRONMENT = 2,
    WIN_ENTITY_TYPE_LIGHT = 3,
    WIN_ENTITY_TYPE_CAMERA = 4,
    WIN_ENTITY_TYPE_EMITTER = 5,
};

// The payload of a character entity.
struct win_character {
    float hitpoints;
    float max_hitpoints;  // adding or setting hit points clamps to it
};

// A circular-list node (dlink): links, then the name as its key.
struct win_entity {
    win_entity* prev;
    win_entity* next;
    char* win_entity_name;
    uint32_t win_entity_flag;
    win_vect3 rot_velocity;     // radians per second about x, y, z
    win_vect3 velocity;         // world units per second
    win_matrix43 local_matrix;  // the translation row is the position
    struct win_ast* win_ast;    // owned; NULL for none
    int32_t win_entity_type;
    union {
        struct win_character* win_character;  // WIN_ENTITY_TYPE_CHARACTER
    } u;                                      // NULL: no payload
};
