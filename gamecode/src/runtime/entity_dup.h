// Entity duplication: a new entity tree equal to a loaded one, for a
// sub-entity that is loaded already and for the particles of an emitter,
// which are copies of one particle template. The copy owns its strings,
// arrays, state table, payload and child entities; the large shared records
// (models, collision hulls, the animations and sounds of the state table)
// are shared, each with one more reference.
//
// Every operation builds its result completely or releases what it built and
// returns NULL after one error line; the template never changes but for the
// reference counts of the records it shares. A copy belongs to no ring: its
// caller adds it to one, and free_win_entity releases it with every
// reference it took.
#pragma once

#include <cstdint>

#include "win_entity.h"

// A copy of `template_win_entity` with its whole tree. The weapon and item
// pointers of the characters in the copy that named members of the
// template's tree name the matching members of the copy instead. NULL for a
// NULL template or a type other than the five entity types.
win_entity* entity_duplicate_win_entity(const win_entity* template_win_entity);

// Copies of string arrays of `size` entries (each entry its own copy, empty
// entries stay empty); NULL for a NULL array or a size of 0 or less.
win_filename_ptr* duplicate_win_filename_ptr_array(const win_filename_ptr* template_array,
                                                   int32_t size);
win_state_name_ptr* duplicate_win_state_name_ptr_array(const win_state_name_ptr* template_array,
                                                       int32_t size);

// The payload copies. A character shares its model and gets its own pose
// array (the joint callbacks kept), appendage sphere keys, shaders and AI
// record (personality only). An environment shares its hulls and explore
// camera zones and gets its own triggers (without their volumes) and explore
// cameras, but no navigation map. A camera gets its own targets and AI
// record. A light is duplicate_win_light (win_entity.h): it holds no device
// light slot.
win_character* duplicate_win_character(const win_character* template_win_character);
win_environment* duplicate_win_environment(const win_environment* template_win_environment);
win_trigger* duplicate_win_trigger_array(const win_trigger* template_array, int32_t size);
win_explore_cam* duplicate_win_explore_cam_array(const win_explore_cam* template_array,
                                                 int32_t size);
win_camera* duplicate_win_camera(const win_camera* template_win_camera);
win_camera_target* duplicate_win_camera_target(const win_camera_target* template_target);
win_emitter* duplicate_win_emitter(const win_emitter* template_win_emitter);
