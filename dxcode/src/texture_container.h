// A cached texture: one Direct3D texture surface under the base name of its
// file, with the flags the renderers read (colour key, alpha).
#pragma once

#include <cstdint>

#include "platform/d3d.h"

struct vk_bitmap;

struct texture_container {
    texture_container* prev_ptr;
    texture_container* next_ptr;
    char* texture_container_name;  // the cache key: base file name, lower case
    int32_t texture_container_ref_cnt;
    void* texture_container_reserved_a;
    vk_bitmap* texture_container_bitmap;
    void* texture_container_reserved_b;
    IDirectDrawSurface7* texture_container_surface;  // NULL while invalidated
    void* texture_container_reserved_c;
    void* texture_container_user_value;
    int32_t texture_container_id;
    int32_t texture_container_transparent;  // 1: black is the source colour key
    int32_t texture_container_has_alpha;    // 1: the format carries alpha
    int32_t texture_container_reserved_d;
};
