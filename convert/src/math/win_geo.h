// The value and vertex records of the data files, the file-name holder and
// the load-script list node, each with its record family (record.h).
//
// Every field of a value or vertex record is a 32-bit word and there is no
// padding, so its memory layout is also its image in the binary files. The
// defaults are not neutral throughout: a new win_quat is (-1, -1, -1, -1), a
// new win_plane has d = -1, a new win_matrix43 is all zeros with attrib 0
// (which the math treats as the identity).
#pragma once

#include <cstdint>

#include "record.h"

// Bits of the `attrib` mask of win_xform and win_matrix43: which parts of the
// transform are present. 0 marks the identity.
enum {
    WIN_ATTRIB_ROTATE_X = 0x001,
    WIN_ATTRIB_ROTATE_Y = 0x002,
    WIN_ATTRIB_ROTATE_Z = 0x004,
    WIN_ATTRIB_TRANSLATE_X = 0x008,
    WIN_ATTRIB_TRANSLATE_Y = 0x010,
    WIN_ATTRIB_TRANSLATE_Z = 0x020,
    WIN_ATTRIB_SCALE_X = 0x040,
    WIN_ATTRIB_SCALE_Y = 0x080,
    WIN_ATTRIB_SCALE_Z = 0x100,
    WIN_ATTRIB_ROTATE = 0x007,
    WIN_ATTRIB_TRANSLATE = 0x038,
    WIN_ATTRIB_SCALE = 0x1c0,
};

// clang-format off
struct win_vect3 { float x, y, z; };
RECORD_VALUE(win_vect3, 12)
// A win_vect3 held elsewhere; never freed through this type. Stored, it holds
// an element number, which passes through the files unchanged.
typedef win_vect3* win_vect3_ptr;
RECORD_BEGIN(win_vect3_ptr, 4)
    REC_SELF_SLOT()
RECORD_END(win_vect3_ptr, PLAIN)
struct win_vect4 { float x, y, z, w; };
RECORD_VALUE(win_vect4, 16)
struct win_quat { float x, y, z, w; };  // w, the scalar part, last
RECORD_VALUE(win_quat, 16, -1.0f, -1.0f, -1.0f, -1.0f)
struct win_norm { float x, y, z; };
RECORD_VALUE(win_norm, 12)
typedef win_norm* win_norm_ptr;  // as win_vect3_ptr
RECORD_BEGIN(win_norm_ptr, 4)
    REC_SELF_SLOT()
RECORD_END(win_norm_ptr, PLAIN)
// A point p lies on the plane when n.p - d is 0.
struct win_plane { float nx, ny, nz, d; };
RECORD_VALUE(win_plane, 16, .d = -1.0f)
struct win_rot { float x, y, z; };  // radians
RECORD_VALUE(win_rot, 12)
struct win_scale { float x, y, z; };
RECORD_VALUE(win_scale, 12, 1.0f, 1.0f, 1.0f)
struct win_uv { float u, v; };
RECORD_VALUE(win_uv, 8, -1.0f, -1.0f)
struct win_rgba { float r, g, b, a; };
RECORD_VALUE(win_rgba, 16, -1.0f, -1.0f, -1.0f, -1.0f)
// Packed colour: alpha in the high byte, then red, green, blue.
struct win_diffuse { uint32_t color; };
RECORD_VALUE(win_diffuse, 4)
struct win_xform {
    float tx, ty, tz;
    float rx, ry, rz;
    float sx, sy, sz;
    int32_t attrib;
};
RECORD_VALUE(win_xform, 40, .sx = 1.0f, .sy = 1.0f, .sz = 1.0f)
struct win_matrix33 { float m[3][3]; };
RECORD_VALUE(win_matrix33, 36)
// Rows 0 to 2: rotation and scale; row 3: the translation.
struct win_matrix43 {
    float m[4][3];
    int32_t attrib;
};
RECORD_VALUE(win_matrix43, 52)
struct win_matrix44 { float m[4][4]; };
RECORD_VALUE(win_matrix44, 64)
struct win_bbox { float x0, y0, z0, x1, y1, z1; };
RECORD_VALUE(win_bbox, 24)
struct win_spatial { int32_t words[25]; };
RECORD_VALUE(win_spatial, 100)
struct win_sector { float f[4]; };
RECORD_VALUE(win_sector, 16, .f = {-1.0f, -1.0f, -1.0f, -1.0f})
// clang-format on

// Vertices, laid out as the flexible vertex formats of the same components.
struct win_vtx_diffuse {
    float x, y, z;
    uint32_t diffuse;
};
RECORD_VALUE(win_vtx_diffuse, 16)
struct win_vtx_norm_diffuse {
    float x, y, z;
    float nx, ny, nz;
    uint32_t diffuse;
};
RECORD_VALUE(win_vtx_norm_diffuse, 28)
struct win_vtx_norm_uv {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
RECORD_VALUE(win_vtx_norm_uv, 32, .u = -1.0f, .v = -1.0f)
struct win_vtx_norm_diffuse_uv {
    float x, y, z;
    float nx, ny, nz;
    uint32_t diffuse;
    float u, v;
};
RECORD_VALUE(win_vtx_norm_diffuse_uv, 36, .u = -1.0f, .v = -1.0f)
// Transformed: x, y in pixels, z the depth, rhw the reciprocal of w.
struct win_vtx_rhw_diffuse_uv {
    float x, y, z;
    float rhw;
    uint32_t diffuse;
    float u, v;
};
RECORD_VALUE(win_vtx_rhw_diffuse_uv, 28, .rhw = -1.0f, .u = -1.0f, .v = -1.0f)

// A file name on the heap, owned by its holder; NULL for none. Records keep
// arrays of them: whoever fills an element gives it a heap string of its own.
typedef char* win_filename_ptr;
RECORD_BEGIN(win_filename_ptr, 4)
    REC_SELF_STRING()
RECORD_END(win_filename_ptr, PLAIN)

// One script that the load-script dialog offers; its name is its list key.
struct win_load_script {
    win_load_script* prev_ptr;
    win_load_script* next_ptr;
    char* win_load_script_name;
};
RECORD_BEGIN(win_load_script, 12)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(win_load_script_name)
RECORD_END(win_load_script, NAMED_LIST)
