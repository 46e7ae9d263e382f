// The fields of the entity record and of its character payload: the part
// of the world's records that the frame and the models read and write
// (world_services.h), namely an entity's flags, type, matrices, velocities,
// state table and payload, and a character's pose, weapons and hit points.
// The records themselves, with their families and the records of the other
// payloads, are in win_entity.h. It stands among the services headers so
// that the frame sees it, and so it includes nothing above the math: the
// models' and the world's records it points to are only declared.
#pragma once

#include <cstdint>

#include "win_geo.h"

struct mow_appendage_sphere_key;
struct mow_model;
struct mow_track_augment;
struct win_ai;
struct win_ast;
struct win_camera;
struct win_emitter;
struct win_entity;
struct win_environment;
struct win_light;
struct win_shader;

// An owned heap string, the name of one of an entity's states.
typedef char* win_state_name_ptr;

// ---- Character payload ----
//
// A character is posed from a model: the player, the other characters,
// weapons and items (flagged ENTITY_FLAG_WEAPON or ENTITY_FLAG_ITEM) and the
// particles that emitters launch. The runtime completes a character when it
// loads it: the model's reference, the pose array, the shaders, the
// appendage spheres and the AI. The stream carries the arrays but never the
// model or the AI.

// A weapon's rounds and charge. On a weapon the hit-point operations act on
// ammo, clamped to max_ammo.
struct win_weapon_data {
    int32_t clip_size;    // shots between two reloads
    int32_t shots_fired;  // reaching clip_size picks the reload and starts again at 0
    int32_t weapon_data_reserved;
    float charge_rate;  // charge gained per second while charging
    float max_charge;
    float charge;
    int32_t max_ammo_count;
    int32_t ammo_count;
};

struct win_character {
    char* mow_model_filename;     // loaded with the extension "mow" from the model directory
    struct mow_model* mow_model;  // one reference to the shared model, taken at load
    int32_t mow_track_augment_array_size;
    mow_track_augment* mow_track_augment_array;  // the pose: one record per joint of the model
    int32_t win_shader_array_size;
    win_shader* win_shader_array;  // one per shader file of the model
    int32_t current_appendage_sphere_keys_size;
    // The appendage spheres of the current pose, one per appendage.
    mow_appendage_sphere_key* current_appendage_sphere_keys;
    win_vect3 world_sphere_center;  // as last placed or launched; character collision reads it
    char* ai_filename;              // loaded with the extension ".int" from the AI directory
    struct win_ai* win_ai;          // its own, made at load or by duplication; never stored
    // The weapon and item sub-entities in use (NULL: the standard ones),
    // owned by the entity tree. A projectile particle keeps the entity that
    // fired it in current_weapon.
    win_entity* current_weapon;
    win_entity* current_item;
    float bounce_factor;  // of the velocity that a collision with the environment reflects
    float radius_scale;   // of the model's sphere radius, for this character alone
    float hitpoints;      // -1.0: not given
    float max_hitpoints;  // adding or setting hit points clamps to it
    float mass;           // for character-to-character collision
    win_weapon_data weapon_data;
};

// ---- Entity ----

// Bits of win_entity_flag. The default, 0x0018003d, is visible, with a
// brain, colliding with the environment and with characters, and three
// bits that nothing reads (0x8, 0x10, 0x20).
enum : uint32_t {
    ENTITY_FLAG_VISIBLE = 0x1,
    ENTITY_FLAG_SECOND_PASS = 0x2,
    ENTITY_FLAG_BRAIN = 0x4,  // driven: by the player's input or by its AI
    ENTITY_FLAG_BILLBOARD = 0x40,
    ENTITY_FLAG_NO_LIGHTING = 0x80,
    ENTITY_FLAG_MELEE_1 = 0x100,  // the weapon's kind: melee 1 to 3, projectile 1 to 3
    ENTITY_FLAG_MELEE_2 = 0x200,
    ENTITY_FLAG_MELEE_3 = 0x400,
    ENTITY_FLAG_PROJECTILE_1 = 0x800,
    ENTITY_FLAG_PROJECTILE_2 = 0x1000,
    ENTITY_FLAG_PROJECTILE_3 = 0x2000,
    ENTITY_FLAG_WEAPON = 0x4000,
    ENTITY_FLAG_PROJECTILE = 0x8000,  // a particle that remembers who fired it
    ENTITY_FLAG_ITEM = 0x10000,
    ENTITY_FLAG_PERSISTENT = 0x20000,  // kept when the level is unloaded, not when everything is
    ENTITY_FLAG_ENVIRONMENT_COLLISION = 0x80000,
    ENTITY_FLAG_CHARACTER_COLLISION = 0x100000,
    ENTITY_FLAG_UPRIGHT_BILLBOARD = 0x200000,
    ENTITY_FLAG_NO_FILTERING = 0x800000,
    ENTITY_FLAG_TARGET = 0x2000000,
    ENTITY_FLAG_WEAPON_EMITTER = 0x4000000,
    ENTITY_FLAG_NO_ZWRITE = 0x8000000,
};

// win_entity_type: the kind of entity and of its payload `u`. No other type
// is read, written or linked, and freeing an entity of another type fails
// (the entity is released all the same, but for a payload it may hold).
enum : int32_t {
    WIN_ENTITY_TYPE_CHARACTER = 1,
    WIN_ENTITY_TYPE_ENVIRONMENT = 2,
    WIN_ENTITY_TYPE_LIGHT = 3,
    WIN_ENTITY_TYPE_CAMERA = 4,
    WIN_ENTITY_TYPE_EMITTER = 5,
};

// A life_span that never runs out (-2^31 seconds).
constexpr float ETERNAL_LIFE_SPAN = -2147483648.0f;

// A list node (links, then the name as its key).
struct win_entity {
    win_entity* prev;
    win_entity* next;
    char* win_entity_name;
    uint32_t win_entity_flag;  // ENTITY_FLAG_*
    int32_t win_entity_reserved1;
    win_vect3 rot_velocity;  // radians per second about x, y, z
    int32_t win_entity_reserved2[3];
    win_vect3 velocity;      // world units per second
    win_vect3 acceleration;  // the runtime's: gravity times gravity_factor
    // Relative to the parent's world matrix, to a joint of the parent or to
    // the identity, as parent_joint_idx says; the translation row is the
    // position.
    win_matrix43 local_matrix;
    float life_span;  // seconds left; ETERNAL_LIFE_SPAN: never ends
    // -1: relative to the parent's world matrix; -2: to the identity; n: to
    // joint n of the parent character.
    int32_t parent_joint_idx;
    win_xform last_win_xform;  // the root track's transform of the last frame (root motion)
    win_matrix43 world_matrix;
    win_matrix43 last_world_matrix;
    win_vect3 gravity_factor;      // per axis
    float bounce_speed_threshold;  // the speed threshold of a collision's bounce
    // The runtime's: the next entity waiting for its memory to be released
    // after an unload inside a walk; NULL otherwise.
    void* win_entity_spare_ptr;
    char* win_ast_filename;
    struct win_ast* win_ast;  // its own state table, never shared
    int32_t win_child_name_ptr_array_size;
    win_filename_ptr* win_child_name_ptr_array;  // the entity files of the sub-entities
    int32_t child_entity_list_size;
    win_entity* child_entity_list;  // the child entities, in file order
    int32_t win_state_name_ptr_array_size;
    win_state_name_ptr* win_state_name_ptr_array;
    int32_t win_state_array_size;
    float* win_state_array;   // the state values, one per state name
    int32_t win_entity_type;  // WIN_ENTITY_TYPE_*
    union {
        struct win_character* win_character;
        struct win_environment* win_environment;
        struct win_light* win_light;
        struct win_camera* win_camera;
        struct win_emitter* win_emitter;
    } u;  // the payload of the type; NULL: none
};

// The payload of an entity as its type: NULL for a NULL entity, an entity of
// another type or one without a payload. Scripts and goals can point the
// player character, the camera or the environment at an entity of any type,
// so every reader of a payload goes through these instead of reading `u`.
inline win_character* win_entity_character(const win_entity* entity)
{
    return entity && entity->win_entity_type == WIN_ENTITY_TYPE_CHARACTER ? entity->u.win_character
                                                                          : nullptr;
}

inline win_environment* win_entity_environment(const win_entity* entity)
{
    return entity && entity->win_entity_type == WIN_ENTITY_TYPE_ENVIRONMENT
               ? entity->u.win_environment
               : nullptr;
}

inline win_light* win_entity_light(const win_entity* entity)
{
    return entity && entity->win_entity_type == WIN_ENTITY_TYPE_LIGHT ? entity->u.win_light
                                                                      : nullptr;
}

inline win_camera* win_entity_camera(const win_entity* entity)
{
    return entity && entity->win_entity_type == WIN_ENTITY_TYPE_CAMERA ? entity->u.win_camera
                                                                       : nullptr;
}

inline win_emitter* win_entity_emitter(const win_entity* entity)
{
    return entity && entity->win_entity_type == WIN_ENTITY_TYPE_EMITTER ? entity->u.win_emitter
                                                                        : nullptr;
}
