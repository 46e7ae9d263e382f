// What the GL back-end knows of its depth buffer, so that a draw sure to
// pass the depth test everywhere is drawn without it.
//
// Testing and writing depth is a large share of what a software rasteriser
// spends on a screen-space rectangle, and the game draws its screens and
// its interface as such rectangles with the depth test on (at depth 0, over
// a buffer just cleared or a scene already drawn). The back-end keeps a
// floor of the depth buffer: no value in it, as the draws so far would have
// left it, is nearer. A screen-space draw whose every fragment passes the
// test against the floor is drawn without the test. Its depth writes cannot
// be left out, as a later draw may test against them, so they wait: the
// draw's vertices, and what decides which of its fragments are written (the
// texture of a colour key), are kept in a list. A clear of the buffer waits
// too, and drops the list. Before the first draw that tests or writes depth
// in GL, the back-end makes what waits (the clear, then the kept draws in
// their order, into the depth buffer alone): so the buffer holds what the
// draws would have left in it whenever a test reads it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d_internal.h"

// A screen-space draw's depth: the nearest and farthest window depth of its
// vertices, after the depth offset of its z bias.
struct gl_depth_span {
    double nearest, farthest;
    // Every vertex at depth 0 with 1/w of 1 and no bias: every fragment's
    // depth is exactly 0, which no value in the buffer is below.
    bool at_zero;
};

// A kept draw whose depth writes wait.
struct gl_depth_write {
    DWORD primitive_type;
    DWORD fill_mode;        // D3DRENDERSTATE_FILLMODE
    DWORD cull_mode;        // D3DRENDERSTATE_CULLMODE
    float bias;             // the depth offset of the program's block (clip units)
    unsigned texture;       // of a colour-keyed draw, the texture and sampler
    unsigned sampler;       // that decide which fragments are written; 0 otherwise
    int colour_key;         // the program key's colour-key value; 0 none
    uint32_t first_vertex;  // in gl_depth_record::vertices, GL_DEPTH_VERTEX_FLOATS each
    uint32_t vertex_count;
    uint32_t first_index;  // in gl_depth_record::indices, counted from first_vertex
    uint32_t index_count;  // 0: the vertices in order
};

// Floats of a kept vertex: x, y, z, 1/w, u, v.
enum { GL_DEPTH_VERTEX_FLOATS = 6 };
// Kept draws past this many are made at once, so that a program that never
// clears the depth buffer keeps no more.
enum { GL_DEPTH_MAX_WRITES = 256 };

struct gl_depth_record {
    double floor;      // no value in the buffer is nearer
    bool clear_waits;  // a clear to `clear_value` is not made yet
    float clear_value;
    std::vector<gl_depth_write> writes;
    std::vector<float> vertices;
    std::vector<WORD> indices;
};

// The buffer's content is unknown (a new or resized buffer): floor 0, and
// nothing waits.
void gl_depth_forget(gl_depth_record* record);

// The buffer is cleared to `value`: the clear waits, and the kept draws go.
void gl_depth_clear(gl_depth_record* record, float value);

// The depth of a screen-space draw's vertices; `bias` as in gl_depth_write.
gl_depth_span gl_depth_span_of(const d3d_draw_call& call, float bias);

// Whether every fragment of a draw with this span passes the comparison
// `func` (D3DCMP_*; others compare as LESSEQUAL, as the back-end draws them)
// against a buffer whose values are all at `floor` or farther. Depths
// within a small margin of the floor count as failing: the rasteriser
// interpolates and rounds them, and the buffer holds them in fixed point.
bool gl_depth_passes(DWORD func, const gl_depth_span& span, double floor);

// A draw wrote depth: a screen-space one of this span, or (NULL) one whose
// depth is not known, which may have written anything from 0 on.
void gl_depth_lower(gl_depth_record* record, const gl_depth_span* span);

// Keeps a screen-space draw drawn without the test, whose depth writes wait
// (`how`: everything but the vertex and index places, which are filled in).
void gl_depth_keep(gl_depth_record* record, const d3d_draw_call& call, gl_depth_write how);

// Whether a kept draw reads `texture`.
bool gl_depth_uses_texture(const gl_depth_record& record, unsigned texture);
