// The level object (win_entity): every character, environment, light, camera
// and particle emitter of a level, with its payload chosen by its type.
//
// Only the fields that the frame's player input and statistics line use are
// here so far, in their record order; the entity records add the rest of the
// entity and its payloads and the record families.
#pragma once

#include <cstdint>

#include "win_ast.h"
#include "win_geo.h"

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
