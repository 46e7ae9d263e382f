// The texture records and their record families (record.h):
//   texture_container      one cached texture: a Direct3D texture surface
//                          under the base name of its file, with the flags
//                          the renderers read (colour key, alpha); counted
//   texture_container_ptr  a holder's reference to a container (arrays of
//                          them are the texture lists of shaders); releasing
//                          the holder drops its reference
//   transparent_texture    one name of the transparent-texture list
//   vk_bitmap              an image held in memory (the VKB file reader's)
//
// The families never touch texture_container_surface: the texture cache
// (d3dtextr_dx7.h) releases surfaces before it frees a container. A container
// read from a file is a new record outside the cache, with its name, id and
// flags but no surface and a count of 1.
#pragma once

#include <cstdint>

#include "platform/d3d.h"
#include "record.h"

// An image in memory: height rows of pitch bytes, 3 or (with alpha) 4 bytes
// a pixel.
struct vk_bitmap {
    char* vk_bitmap_name;
    int32_t vk_bitmap_width;
    int32_t vk_bitmap_height;
    int32_t vk_bitmap_pitch;      // 3 x width, or 4 x width with alpha
    int32_t vk_bitmap_has_alpha;  // 1: each pixel carries a fourth (alpha) byte
    uint8_t* vk_bitmap_pixels;    // height x pitch bytes
};
// The number of pixel bytes the header words give, or -1 when they give none.
int32_t vk_bitmap_pixel_bytes(const void* vk_bitmap_ptr);
RECORD_BEGIN(vk_bitmap, 24)
    REC_NAME(vk_bitmap_name)
    REC_WORDS(vk_bitmap_width)
    REC_WORDS(vk_bitmap_height)
    REC_WORDS(vk_bitmap_pitch)
    REC_WORDS(vk_bitmap_has_alpha)
    REC_BYTES(vk_bitmap_pixels, vk_bitmap_pixel_bytes)
RECORD_END(vk_bitmap, NAMED, nullptr, -1, -1, -1, -1, nullptr)

struct texture_container {
    texture_container* prev_ptr;
    texture_container* next_ptr;
    char* texture_container_name;  // the cache key: base file name, lower case
    int32_t texture_container_ref_cnt;
    void* texture_container_reserved_a;
    vk_bitmap* texture_container_bitmap;  // an in-memory image; NULL for cached textures
    void* texture_container_reserved_b;
    IDirectDrawSurface7* texture_container_surface;  // NULL while invalidated
    void* texture_container_reserved_c;
    // Given by the loader's caller; pointer-sized here, its low 32 bits in
    // the files.
    intptr_t texture_container_user_value;
    int32_t texture_container_id;           // running number from 1, never reused
    int32_t texture_container_transparent;  // 1: black is the source colour key
    int32_t texture_container_has_alpha;    // 1: the format carries alpha
    int32_t texture_container_reserved_d;
};
RECORD_BEGIN(texture_container, 56)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(texture_container_name)
    REC_REF_CNT(texture_container_ref_cnt)
    REC_RUNTIME(texture_container_reserved_a)
    REC_RECORD(texture_container_bitmap, vk_bitmap)
    REC_RUNTIME(texture_container_reserved_b)
    REC_RUNTIME(texture_container_surface)
    REC_RUNTIME(texture_container_reserved_c)
    REC_SLOT(texture_container_user_value)
    REC_WORDS(texture_container_id)
    REC_WORDS(texture_container_transparent)
    REC_WORDS(texture_container_has_alpha)
    REC_WORDS(texture_container_reserved_d)
RECORD_END(texture_container, NAMED_LIST, .texture_container_user_value = -1,
           .texture_container_id = -1)

// A holder's counted reference; NULL for none.
typedef texture_container* texture_container_ptr;
RECORD_BEGIN(texture_container_ptr, 4)
    REC_SELF_RECORD(texture_container)
RECORD_END(texture_container_ptr, PLAIN)

struct transparent_texture {
    transparent_texture* prev_ptr;
    transparent_texture* next_ptr;
    char* transparent_texture_name;  // a texture key (lower case)
    int32_t transparent_texture_reserved;
};
RECORD_BEGIN(transparent_texture, 16)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(transparent_texture_name)
    REC_WORDS(transparent_texture_reserved)
RECORD_END(transparent_texture, NAMED_LIST)
