// The player's tail: three tail animations loaded once at start-up, one of
// them playing at a time on the tail joints (21 to 25 of the player's pose),
// and blended over the body's animation with a weight that fades in and out
// over 250 ms as the player's animation state asks for the tail (state type
// bit 0x8000). The pose evaluation calls the hooks that
// vk_tail_set_anim_hook puts on the tail joints; the player's update steps the
// tail and its blend with vk_tail_update_transition_state. vk_tail_load and
// vk_tail_free are declared in runtime_services.h.
//
// A tail animation that cannot be read, has fewer tracks than the tail
// joints need or lasts less than a millisecond is left out with one error
// line; with none loaded the tail stays off and its calls do nothing.
#pragma once

#include <cstdint>

#include "mow_geo.h"
#include "runtime_services.h"

struct mow_anim;

struct vk_tail_row {
    const char* filename;  // in the animation directory, extension "trw"
    mow_anim* anim;        // NULL until loaded
    float duration;        // milliseconds
    float threshold;       // the random draw below which this row is chosen
};
enum { VK_TAIL_ROW_COUNT = 3 };
extern vk_tail_row vk_tail_data[VK_TAIL_ROW_COUNT];

// The tail joints of the player's pose, each played by the track of its own
// index; a tail animation has a track for each.
enum {
    VK_TAIL_FIRST_JOINT = 21,
    VK_TAIL_LAST_JOINT = 25,
};
// The length of a fade in or out, milliseconds.
constexpr float VK_TAIL_TRANSITION_TIME = 250.0f;
// The bit of a state's anim_type_flags that asks for the tail.
enum { VK_TAIL_STATE_FLAG = 0x8000 };

struct vk_tail_state_record {
    vk_tail_row* cur_vk_tail_data;  // the row playing; NULL when none loaded
    float tail_anim_time;           // milliseconds into the row's animation
    float tail_blend_weight;        // 0 to 1: share of the tail animation
    float tail_transition_timer;    // milliseconds left of a fade
    float tail_last_time;           // game_time at the previous update
    int32_t vk_tail_state;          // 0 off, 1 fading in, 2 on, 3 fading out
};
extern vk_tail_state_record vk_tail_state;

// Puts vk_tail_1_funct ... vk_tail_5_funct on joints 21 to 25 of the player's
// pose. 1; 0 after an error line for a NULL pose or no tail loaded, or after
// a WARNING for a pose without the tail joints (nothing is written then).
int vk_tail_set_anim_hook(mow_track_augment* mow_track_augment_array,
                          int32_t mow_track_augment_array_size);

// The hooks of joints 21 to 25: transition_vk_tail of the joint's own track
// and record. 0 after an error line for a NULL argument.
int vk_tail_1_funct(mow_track_augment* mow_track_augment_array, const win_matrix43* parent_matrix);
int vk_tail_2_funct(mow_track_augment* mow_track_augment_array, const win_matrix43* parent_matrix);
int vk_tail_3_funct(mow_track_augment* mow_track_augment_array, const win_matrix43* parent_matrix);
int vk_tail_4_funct(mow_track_augment* mow_track_augment_array, const win_matrix43* parent_matrix);
int vk_tail_5_funct(mow_track_augment* mow_track_augment_array, const win_matrix43* parent_matrix);

// Blends the joint's three rotation angles toward track `track` of the
// playing tail animation by tail_blend_weight (translation and scale stay)
// and rebuilds its world matrix from the local transform and the parent's
// matrix at the joint. 1 when that succeeded (and when the tail is off, the
// joint then as animated); 0 after an error line.
int transition_vk_tail(int32_t track, mow_track_augment* joint);

// Advances the tail by the game time since the last call: a tail animation
// that has run through gives way to one drawn at random, and the blend fades
// toward what the player's current state asks for. 1; 0 after an error line
// for a NULL entity, and (without a line) while no tail is loaded.
int vk_tail_update_transition_state(win_entity* entity);
