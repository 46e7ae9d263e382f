// The value and vertex records of the data files. Every field is a 32-bit
// word and there is no padding, so each record's memory layout is also its
// image in the binary files.
#pragma once

#include <cstdint>

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

struct win_vect3 { float x, y, z; };
struct win_vect4 { float x, y, z, w; };
struct win_quat { float x, y, z, w; };  // w, the scalar part, last
struct win_norm { float x, y, z; };
// A point p lies on the plane when n.p - d is 0.
struct win_plane { float nx, ny, nz, d; };
struct win_rot { float x, y, z; };  // radians
struct win_scale { float x, y, z; };
struct win_uv { float u, v; };
struct win_rgba { float r, g, b, a; };
// Packed colour: alpha in the high byte, then red, green, blue.
struct win_diffuse { uint32_t color; };
struct win_xform {
    float tx, ty, tz;
    float rx, ry, rz;
    float sx, sy, sz;
    int32_t attrib;
};
struct win_matrix33 { float m[3][3]; };
// Rows 0 to 2: rotation and scale; row 3: the translation.
struct win_matrix43 {
    float m[4][3];
    int32_t attrib;
};
struct win_matrix44 { float m[4][4]; };
struct win_bbox { float x0, y0, z0, x1, y1, z1; };
struct win_spatial { int32_t words[25]; };
struct win_sector { float f[4]; };

// Vertices, laid out as the flexible vertex formats of the same components.
struct win_vtx_diffuse {
    float x, y, z;
    uint32_t diffuse;
};
struct win_vtx_norm_diffuse {
    float x, y, z;
    float nx, ny, nz;
    uint32_t diffuse;
};
struct win_vtx_norm_uv {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
struct win_vtx_norm_diffuse_uv {
    float x, y, z;
    float nx, ny, nz;
    uint32_t diffuse;
    float u, v;
};
// Transformed: x, y in pixels, z the depth, rhw the reciprocal of w.
struct win_vtx_rhw_diffuse_uv {
    float x, y, z;
    float rhw;
    uint32_t diffuse;
    float u, v;
};

static_assert(sizeof(win_xform) == 40 && sizeof(win_matrix43) == 52 &&
              sizeof(win_matrix44) == 64 && sizeof(win_spatial) == 100 &&
              sizeof(win_vtx_norm_diffuse_uv) == 36 && sizeof(win_vtx_rhw_diffuse_uv) == 28);
