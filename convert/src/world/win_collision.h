// Collision hulls (win_collision): the static collision geometry of one piece
// of a level, with their record families (record.h).
//
// A hull holds corner points, planes and blocks; each block names the corners
// or planes of one solid shape:
//   line block         a closed outline in the xz plane, given by corner
//                      indexes whose last entry repeats the first; the runtime
//                      raises its edges into walls
//   planar block       one plane of the hull (the runtime's tests pass over it)
//   convex poly block  a convex region bounded by planes of the hull, normals
//                      outward; the first plane is its face
//
// A hull is shared by name and counted: the runtime's list of loaded hulls and
// every slot, trigger and camera zone that points at it hold one reference
// each, and free_win_collision releases it when the last holder lets go. A
// collision file ("cow", FILE_TYPE_COLLISION / FILE_VERSION_COLLISION) holds
// the binary header and one hull stream (write_win_collision_bin).
//
// The stream keeps 16-bit corner indexes unpadded, so whatever follows an odd
// number of them lies 2 bytes off a multiple of 4; the readers take it there.
#pragma once

#include <cstdint>

#include "record.h"
#include "win_geo.h"

// win_block_type: the kind of record behind a block's win_block_data.
enum : int32_t {
    WIN_BLOCK_TYPE_LINE = 0,
    WIN_BLOCK_TYPE_PLANAR = 1,
    WIN_BLOCK_TYPE_CONVEX_POLY = 2,
};

// clang-format off
struct win_line_block {
    int32_t win_vtx_idx_array_size;
    uint16_t* win_vtx_idx_array;  // into the hull's win_vtx_array
};
RECORD_BEGIN(win_line_block, 8)
    REC_NUMBERS(win_vtx_idx_array_size, win_vtx_idx_array, win_vtx_idx)
RECORD_END(win_line_block, PLAIN)

struct win_planar_block {
    int32_t plane_idx;  // into the hull's win_plane_array; -1 for none
};
RECORD_VALUE(win_planar_block, 4, -1)

struct win_convex_poly_block {
    int32_t win_plane_idx_array_size;
    int32_t* win_plane_idx_array;  // into the hull's win_plane_array, the face first
};
RECORD_BEGIN(win_convex_poly_block, 8)
    REC_NUMBERS(win_plane_idx_array_size, win_plane_idx_array, win_plane_idx)
RECORD_END(win_convex_poly_block, PLAIN)

inline constexpr record_variant win_block_kinds[] = {
    {WIN_BLOCK_TYPE_LINE, &win_line_block_desc},
    {WIN_BLOCK_TYPE_PLANAR, &win_planar_block_desc},
    {WIN_BLOCK_TYPE_CONVEX_POLY, &win_convex_poly_block_desc},
};

// A solid shape of a hull; win_block_data is NULL for an empty block.
struct win_block {
    int32_t win_block_type;
    void* win_block_data;
};
RECORD_BEGIN(win_block, 8)
    REC_WORDS(win_block_type)
    REC_VARIANT(win_block_type, win_block_data, win_block_kinds)
RECORD_END(win_block, PLAIN)

// Listable; its name is the key under which the runtime shares it.
struct win_collision {
    win_collision* prev_ptr;
    win_collision* next_ptr;
    char* win_collision_name;
    int32_t win_collision_ref_cnt;
    int32_t win_vtx_array_size;
    win_vect3* win_vtx_array;
    int32_t win_plane_array_size;
    win_plane* win_plane_array;
    int32_t win_block_array_size;
    win_block* win_block_array;
    // 0: the runtime's tests pass over the hull (switched by name at run time).
    int32_t win_collision_enabled;
};
// The runtime indexes the hull's corners and planes with the blocks' indexes
// every frame: a hull that names one it does not have is refused when read.
RECORD_CHECK(win_collision, win_collision_check_indexes);
RECORD_BEGIN(win_collision, 44)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(win_collision_name)
    REC_REF_CNT(win_collision_ref_cnt)
    REC_ARRAY(win_vtx_array_size, win_vtx_array, win_vect3)
    REC_ARRAY(win_plane_array_size, win_plane_array, win_plane)
    REC_ARRAY(win_block_array_size, win_block_array, win_block)
    REC_WORDS(win_collision_enabled)
RECORD_END(win_collision, NAMED_LIST, .win_collision_enabled = 1)
// clang-format on

// Whether every corner index of the hull's line blocks lies in its corner
// array and every plane index of its convex blocks in its plane array (a
// planar block may hold -1, no plane). 1, or 0 after one error line that
// names the hull, the block and the index. The readers and linkers of hulls
// call it; a builder of hulls may too.
int win_collision_check_indexes(const void* win_collision_ptr);
