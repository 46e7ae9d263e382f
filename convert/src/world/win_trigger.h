// Triggers (win_trigger): named volumes of an environment that start a
// script when an entity stands in one facing the right way, with their record
// family (record.h).
//
// The volume is a collision hull shared by name: a trigger stores the hull's
// name, and the entity loader gives it the hull (holding one reference) when
// the environment is loaded; the hull is never taken from a stream. A trigger
// fires while it is enabled, its gate is open, it has fired fewer times than
// its maximum (or the maximum is negative), the entity stands inside the
// volume and faces within the tolerance; a firing that starts a script counts.
//
// Triggers are counted records: one read or made alone has one reference,
// each list that holds it one more; array elements (the environment keeps
// its triggers in an array) are not counted and hold 0.
#pragma once

#include <cstdint>

#include "record.h"
#include "win_collision.h"
#include "win_geo.h"

// clang-format off
struct win_trigger {
    win_trigger* prev_ptr;
    win_trigger* next_ptr;
    char* win_trigger_name;  // the list key; scripts switch the trigger by it
    int32_t win_trigger_ref_cnt;
    char* win_trigger_collision_name;    // the hull that is the volume
    win_collision* win_trigger_collision;  // that hull once loaded, else NULL
    // Only the y angles count: the heading an entity must face, and the
    // half-angle allowed around it (3.1415927 or more: any facing).
    win_rot win_trigger_facing;
    win_rot win_trigger_facing_tolerance;
    char* win_trigger_script_name;  // NULL: the trigger starts nothing
    int32_t win_trigger_enabled;    // 0: never fires
    // Not 0: fires only while the action button is pressed and no close-up
    // picture is shown.
    int32_t win_trigger_gated;
    int32_t win_trigger_max_activations;   // negative: without limit
    int32_t win_trigger_activation_count;  // firings that started its script
};
RECORD_BEGIN(win_trigger, 68)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(win_trigger_name)
    REC_REF_CNT(win_trigger_ref_cnt)
    REC_STRING(win_trigger_collision_name)
    REC_REFERENCE(win_trigger_collision, win_collision)
    REC_WORDS(win_trigger_facing)
    REC_WORDS(win_trigger_facing_tolerance)
    REC_STRING(win_trigger_script_name)
    REC_WORDS(win_trigger_enabled)
    REC_WORDS(win_trigger_gated)
    REC_WORDS(win_trigger_max_activations)
    REC_WORDS(win_trigger_activation_count)
RECORD_END(win_trigger, NAMED_LIST, .win_trigger_enabled = 1, .win_trigger_max_activations = -1)
// clang-format on
