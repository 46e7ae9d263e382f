// The player's tail: three tail animations loaded once at start-up, and the
// state of the tail blend. The per-joint hooks that play them on the tail
// joints are added with the player character. vk_tail_load and
// vk_tail_free are declared in runtime_services.h.
#pragma once

#include <cstdint>

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

struct vk_tail_state_record {
    vk_tail_row* cur_vk_tail_data;  // the row playing; NULL when none loaded
    float tail_anim_time;
    float tail_blend_weight;
    float tail_transition_timer;
    float tail_last_time;
    int32_t vk_tail_state;  // 0 off, 1 fading in, 2 on, 3 fading out
};
extern vk_tail_state_record vk_tail_state;
