// The level objects (win_entity) and the records an entity file carries
// with them, each with its record family (record.h), one section each:
//   reference slots   one-word holders of a hull reference or a state name,
//                     kept in arrays
//   AI                win_ai with its personality, goals and hot sectors
//   navigation maps   win_map with its nodes and their paths
//   payloads          of characters (with their weapon values),
//                     environments (with their explore cameras), lights
//                     (with the device's light description), cameras (with
//                     their targets) and particle emitters
//   entity            every object of a level, with its payload chosen by
//                     its type, and the slot that holds one
#pragma once

#include <cstdint>

#include "mow_anim.h"
#include "mow_geo.h"
#include "platform/d3d.h"
#include "record.h"
#include "win_ast.h"
#include "win_collision.h"
#include "win_entity_fields.h"
#include "win_geo.h"
#include "win_shader.h"
#include "win_trigger.h"

// ---- Reference slots ----
//
// A slot is NULL when empty. Stored, an array of slots is its presence words,
// then the target of each present slot in index order.

// clang-format off
// One counted reference to a shared hull: releasing the slot releases the
// reference (free_win_collision), and the hull with the last one.
typedef win_collision* win_collision_ptr;
RECORD_BEGIN(win_collision_ptr, 4)
    REC_SELF_RECORD(win_collision, "win_collision_ptr")
RECORD_END(win_collision_ptr, PLAIN)

// An owned heap string, the name of one of an entity's states
// (win_entity_fields.h).
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
//
// The record families (record.h) name their operations and arguments after
// the type, so they are found under the records' names without standing
// here: malloc_win_personality and malloc_win_personality_array;
// malloc_win_goal_entry, add_to_win_goal_entry_list,
// remove_from_win_goal_entry_list, free_win_goal_entry and
// free_win_goal_entry_list; malloc_win_hot_sector, add_to_win_hot_sector_list
// and free_win_hot_sector_list; their arguments win_goal_entry_ptr,
// win_personality_array, win_hot_sector_list and so on, which the log lines
// of a refused argument name.

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
    float attack_interval;  // a fresh attack is queued when time_since_attack grows past it
    float time_since_attack;
    // Dealt by an attacking state without flags 2 and 4, with flag 2, with flag 4.
    int32_t damage_1;
    int32_t damage_2;
    int32_t damage_3;
    int32_t armour;             // taken off the damage of an attack
    int32_t melee_armour;       // taken off a melee weapon's damage
    int32_t projectile_armour;  // taken off a projectile's damage
    float flying_speed;
    float fast_flying_speed;
    int32_t mobility_type;  // movement kind 0 to 7
    int32_t demeanor;       // WIN_DEMEANOR_*
};
RECORD_VALUE(win_personality, 56, .personality_long_2 = -1, .attack_interval = 5.0f,
             .damage_1 = 10, .damage_2 = 10, .damage_3 = 10, .flying_speed = 10.0f,
             .fast_flying_speed = 20.0f, .mobility_type = 1, .demeanor = 1)

struct win_entity;

// One goal. Its type decides whether it uses goal_point or target_name.
struct win_goal_entry {
    win_goal_entry* prev_ptr;
    win_goal_entry* next_ptr;
    int32_t ai_goal_type;       // 0: idle
    win_entity* target_entity;  // found by target_name at run time
    char* target_name;
    win_vect3 goal_point;
    int32_t goal_arg;  // such as a node index; -1 for none
};
RECORD_BEGIN(win_goal_entry, 36)
    REC_LINKS(prev_ptr, next_ptr)
    REC_WORDS(ai_goal_type)
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
    char* end_script;  // started when the character, or a goal's target, is beaten
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
// The release step frees a goal in hand that no ring holds (a default goal
// made at run time), which nothing else owns.
RECORD_RELEASE(win_ai, win_ai_release);
RECORD_BEGIN(win_ai, 136)
    REC_WORDS(personality)
    REC_STRING(end_script)
    REC_STRING(give_hit_script)
    REC_STRING(receive_hit_script)
    REC_WORDS(target_joint)
    REC_RUNTIME(current_goal)
    // The default goal's words. Its links and target would be addresses of
    // the program that wrote the file: written as 0 and never read back.
    REC_RUNTIME(default_goal.prev_ptr)
    REC_RUNTIME(default_goal.next_ptr)
    REC_WORDS(default_goal.ai_goal_type)
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

// ---- Character payload ----
// The fields of the character payload and of the entity are in
// win_entity_fields.h.
RECORD_VALUE(win_weapon_data, 32, 6, 0, 0, 0.0f, 1.0f, 1.0f, 99, 99)

// clang-format off
RECORD_BEGIN(win_character, 112)
    REC_STRING(mow_model_filename)
    REC_REFERENCE(mow_model, mow_model)
    REC_ARRAY(mow_track_augment_array_size, mow_track_augment_array, mow_track_augment)
    REC_ARRAY(win_shader_array_size, win_shader_array, win_shader)
    REC_ARRAY(current_appendage_sphere_keys_size, current_appendage_sphere_keys,
              mow_appendage_sphere_key)
    REC_WORDS(world_sphere_center)
    REC_STRING(ai_filename)
    REC_REFERENCE(win_ai, win_ai)
    REC_RUNTIME(current_weapon)
    REC_RUNTIME(current_item)
    REC_WORDS(bounce_factor)
    REC_WORDS(radius_scale)
    REC_WORDS(hitpoints)
    REC_WORDS(max_hitpoints)
    REC_WORDS(mass)
    REC_WORDS(weapon_data)
RECORD_END(win_character, PLAIN, .radius_scale = 1.0f, .hitpoints = -1.0f,
           .max_hitpoints = -1.0f, .mass = 1.0f,
           .weapon_data = win_weapon_data_record_desc::templ)
// clang-format on

// The radius of the character's bounding sphere: its model's, which every
// character of that model shares, scaled by the character's own
// radius_scale; 0 without a model.
inline float win_character_radius(const win_character* character)
{
    return character->mow_model
               ? character->mow_model->mow_model_sphere_radius * character->radius_scale
               : 0.0f;
}

// ---- Environment payload ----
//
// The level's static surroundings: its collision files and their hulls, the
// trigger volumes, the explore cameras and the navigation map. The runtime
// loads the hulls afresh from the file names (slot i for name i); hull slots
// in a stream are read but not what the game uses.

// While the followed entity stands in the explore camera's zone (enabled),
// the camera moves to explore_cam_position. Counted as a hull is: one made
// or read alone has one reference, each list that holds it one more; an
// environment keeps its explore cameras in an array, whose elements hold 0.
struct win_explore_cam {
    win_explore_cam* prev_ptr;
    win_explore_cam* next_ptr;
    // The list key; scripts switch a camera zone by this name without its
    // directory and extension.
    char* win_explore_cam_name;
    int32_t win_explore_cam_ref_cnt;
    win_vect3 explore_cam_position;
    win_vect3 explore_cam_look_at;  // all three within 0.0001 of 0: not set
    char* explore_cam_script;       // started when the camera switches to it; NULL: none
    // -1.0: not given (the runtime's load gives 1000, 200 and 1000). Within
    // explore_cam_slow_distance of explore_cam_position the speed falls with
    // the distance left.
    float explore_cam_acceleration;
    float explore_cam_slow_distance;
    float explore_cam_speed;
    char* explore_cam_zone_filename;  // the collision file of the zone
    win_collision* explore_cam_zone;  // that hull once loaded; its enabled word switches the zone
};
// clang-format off
RECORD_BEGIN(win_explore_cam, 64)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(win_explore_cam_name)
    REC_REF_CNT(win_explore_cam_ref_cnt)
    REC_WORDS(explore_cam_position)
    REC_WORDS(explore_cam_look_at)
    REC_STRING(explore_cam_script)
    REC_WORDS(explore_cam_acceleration)
    REC_WORDS(explore_cam_slow_distance)
    REC_WORDS(explore_cam_speed)
    REC_STRING(explore_cam_zone_filename)
    REC_REFERENCE(explore_cam_zone, win_collision)
RECORD_END(win_explore_cam, NAMED_LIST, .explore_cam_acceleration = -1.0f,
           .explore_cam_slow_distance = -1.0f, .explore_cam_speed = -1.0f)
// clang-format on

struct win_environment {
    int32_t win_collision_filename_array_size;
    win_filename_ptr* win_collision_filename_array;
    int32_t win_collision_ptr_array_size;
    win_collision_ptr* win_collision_ptr_array;  // each slot one reference
    int32_t win_trigger_array_size;
    win_trigger* win_trigger_array;
    int32_t win_explore_cam_array_size;
    win_explore_cam* win_explore_cam_array;
    char* win_map_filename;  // loaded with the extension "map"
    struct win_map* win_map;
};
// clang-format off
RECORD_BEGIN(win_environment, 40)
    REC_ARRAY(win_collision_filename_array_size, win_collision_filename_array, win_filename_ptr)
    REC_ARRAY(win_collision_ptr_array_size, win_collision_ptr_array, win_collision_ptr)
    REC_ARRAY(win_trigger_array_size, win_trigger_array, win_trigger)
    REC_ARRAY(win_explore_cam_array_size, win_explore_cam_array, win_explore_cam)
    REC_STRING(win_map_filename)
    REC_RECORD(win_map, win_map)
RECORD_END(win_environment, PLAIN)
// clang-format on

// ---- Light payload ----
//
// A dynamic light of the level: its description, handed whole to the
// frame's dynamic lights while the light entity lives, and the device light
// slot it holds there. Entity files give the diffuse red, green and blue of
// lights of types 1 to 4 in 0 to 255 (the runtime's load scales them); the
// records keep what they are given.

// The device's light description, held by value.
typedef D3DLIGHT7 d3d_light;
RECORD_VALUE(d3d_light, 104, .dcvDiffuse = {-1.0f, -1.0f, -1.0f, -1.0f},
             .dcvSpecular = {-1.0f, -1.0f, -1.0f, -1.0f},
             .dcvAmbient = {-1.0f, -1.0f, -1.0f, -1.0f}, .dvRange = -1.0f, .dvFalloff = -1.0f,
             .dvAttenuation0 = -1.0f, .dvAttenuation1 = -1.0f, .dvAttenuation2 = -1.0f,
             .dvTheta = -1.0f, .dvPhi = -1.0f)

struct win_light {
    win_light* prev_ptr;
    win_light* next_ptr;
    char* win_light_name;
    D3DLIGHT7 d3d_light;
    // The device light slot it holds, kept by the runtime; -1: none. A
    // stored slot is read back as stored.
    int32_t light_slot;
};
// clang-format off
RECORD_BEGIN(win_light, 120)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(win_light_name)
    REC_WORDS(d3d_light)
    REC_WORDS(light_slot)
RECORD_END(win_light, NAMED_LIST, .d3d_light = d3d_light_record_desc::templ, .light_slot = -1)
// clang-format on

// A new light named as `template_win_light`, with its description: the copy
// a duplicated light entity gets. The copy holds no device light slot (-1),
// whatever the template holds: two lights on one slot would drive one
// device light, and the first to go out would switch it off under the
// other. NULL after a log line.
win_light* duplicate_win_light(const win_light* template_win_light);

// ---- Camera payload ----
//
// A camera driven by its own AI, following the first target of its ring.

// What a camera follows: the entity of its name (at one of its joints, when
// target_joint_idx names one), or a fixed point.
struct win_camera_target {
    win_camera_target* prev_ptr;
    win_camera_target* next_ptr;
    char* win_camera_target_name;  // the entity followed; the list key
    win_entity* target_entity;     // found by the name at load; NULL: none
    // Into the target character's pose array: the joint whose sphere centre
    // is followed; -1: none.
    int32_t target_joint_idx;
    win_vect3 target_point;  // followed while target_entity is NULL
    // Into the environment's explore cameras: the one in use (kept on the
    // ring's head target); -1: none.
    int32_t explore_cam_idx;
};
// clang-format off
RECORD_BEGIN(win_camera_target, 36)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(win_camera_target_name)
    REC_RUNTIME(target_entity)
    REC_WORDS(target_joint_idx)
    REC_WORDS(target_point)
    REC_WORDS(explore_cam_idx)
RECORD_END(win_camera_target, NAMED_LIST, .target_joint_idx = -1, .explore_cam_idx = -1)
// clang-format on

struct win_camera {
    int32_t win_camera_target_list_size;
    win_camera_target* win_camera_target_list;  // the head is the target followed
    struct win_ai* win_ai;                      // its goals
    // The full vertical view angle in radians, from which the game camera's
    // projection is built; -1.0: not given.
    float field_of_view;
};
// clang-format off
RECORD_BEGIN(win_camera, 16)
    REC_LIST(win_camera_target_list_size, win_camera_target_list, win_camera_target,
             "camera_target_list")
    REC_RECORD(win_ai, win_ai)
    REC_WORDS(field_of_view)
RECORD_END(win_camera, PLAIN, .field_of_view = -1.0f)
// clang-format on

// ---- Emitter payload ----
//
// A particle emitter: the runtime keeps particle_count copies of the
// template entity as the emitter's sub-entities and launches them at
// emit_rate. A spread or variance v draws a random offset in about -v/2 to
// v/2 (0 when v is 0).

struct win_emitter {
    // The particle: an entity loaded under that name, else the entity file
    // of that name.
    char* particle_template;
    int32_t particle_count;
    int32_t use_emitter_direction;  // 0: particles leave along (0, 0, -1)
    float emit_rate;                // particles per second; 0 or less: never fires
    float emit_rate_variance;
    float particle_speed;             // half the launch speed
    int32_t particle_speed_variance;  // a whole number, unlike its neighbours
    float emit_time;                  // seconds since the last firing
    float angle_spread;               // degrees about each axis
    float position_spread;            // in the emitter's x and y
    // Given to each particle about x, y and z (radians per second), each
    // value followed by its variance.
    float particle_rot_velocity[3][2];
    float particle_life_span;           // seconds
    float particle_life_span_variance;  // drawn in steps of 0.001
};
// clang-format off
RECORD_BEGIN(win_emitter, 72)
    REC_STRING(particle_template)
    REC_WORDS(particle_count)
    REC_WORDS(use_emitter_direction)
    REC_WORDS(emit_rate)
    REC_WORDS(emit_rate_variance)
    REC_WORDS(particle_speed)
    REC_WORDS(particle_speed_variance)
    REC_WORDS(emit_time)
    REC_WORDS(angle_spread)
    REC_WORDS(position_spread)
    REC_WORDS(particle_rot_velocity)
    REC_WORDS(particle_life_span)
    REC_WORDS(particle_life_span_variance)
RECORD_END(win_emitter, PLAIN, .particle_count = 20, .emit_rate = 10.0f,
           .particle_speed = 50.0f, .emit_time = -1.0f,
           .particle_rot_velocity = {{-1.0f, -1.0f}, {-1.0f, -1.0f}, {-1.0f, -1.0f}},
           .particle_life_span = -1.0f, .particle_life_span_variance = -1.0f)
// clang-format on

// ---- Entity ----
//
// Every object of a level is an entity, with a payload chosen by its type.
// An entity owns its whole tree: its state table, the names of its
// sub-entity files, its child entities (weapons, items, particles, attached
// parts; to any depth the record engine allows), its state names and values
// and its payload. It is a member of at most one ring at a time, the
// runtime's ring of live entities or its parent's child_entity_list, and
// free_win_entity does not take it off: remove it first.
//
// An entity file ("enw", FILE_TYPE_ENTITY / FILE_VERSION_ENTITY) holds the
// binary header and one entity stream (write_win_entity_bin), the whole
// tree; the link form (link_win_entity) decodes the same bytes from a file
// image.

inline constexpr record_variant win_entity_payloads[] = {
    {WIN_ENTITY_TYPE_CHARACTER, &win_character_desc},
    {WIN_ENTITY_TYPE_ENVIRONMENT, &win_environment_desc},
    {WIN_ENTITY_TYPE_LIGHT, &win_light_desc},
    {WIN_ENTITY_TYPE_CAMERA, &win_camera_desc},
    {WIN_ENTITY_TYPE_EMITTER, &win_emitter_desc},
};

// clang-format off
RECORD_BEGIN(win_entity, 340)
    REC_LINKS(prev, next)
    REC_NAME(win_entity_name)
    REC_WORDS(win_entity_flag)
    REC_WORDS(win_entity_reserved1)
    REC_WORDS(rot_velocity)
    REC_WORDS(win_entity_reserved2)
    REC_WORDS(velocity)
    REC_WORDS(acceleration)
    REC_WORDS(local_matrix)
    REC_WORDS(life_span)
    REC_WORDS(parent_joint_idx)
    REC_WORDS(last_win_xform)
    REC_WORDS(world_matrix)
    REC_WORDS(last_world_matrix)
    REC_WORDS(gravity_factor)
    REC_WORDS(bounce_speed_threshold)
    REC_RUNTIME(win_entity_spare_ptr)
    REC_STRING(win_ast_filename)
    REC_RECORD(win_ast, win_ast)
    // The write messages name the three as the entity files always have.
    REC_ARRAY(win_child_name_ptr_array_size, win_child_name_ptr_array, win_filename_ptr,
              "win_entity_filename_array")
    REC_LIST(child_entity_list_size, child_entity_list, win_entity, "win_sub_entity_list")
    REC_ARRAY(win_state_name_ptr_array_size, win_state_name_ptr_array, win_state_name_ptr,
              "win_state_name_array")
    REC_NUMBERS(win_state_array_size, win_state_array, float)
    REC_WORDS(win_entity_type)
    REC_VARIANT(win_entity_type, u, win_entity_payloads)
RECORD_END(win_entity, NAMED_LIST, .win_entity_flag = 0x0018003d,
           .life_span = ETERNAL_LIFE_SPAN, .parent_joint_idx = -1,
           .last_win_xform = win_xform_record_desc::templ, .gravity_factor = {1.0f, 1.0f, 1.0f},
           .bounce_speed_threshold = 1.0f, .win_entity_type = WIN_ENTITY_TYPE_CHARACTER)
// clang-format on

// A slot holding an entity of its own (releasing the slot releases the
// entity); NULL when empty. No record holds such slots.
typedef win_entity* win_entity_ptr;
// clang-format off
RECORD_BEGIN(win_entity_ptr, 4)
    REC_SELF_RECORD(win_entity, "win_entity_ptr")
RECORD_END(win_entity_ptr, PLAIN)
// clang-format on
