// What the GL back-end keeps to see that a frame repeats the one before,
// so that a screen standing still is not drawn again at every present.
//
// A screen standing still (a menu, a splash picture) draws the same calls
// every frame, and a software rasteriser spends most of such a frame on
// pixels that are already in the buffers. The back-end writes each frame's
// calls into a record: every clear (what it clears, colour and depth) and
// every draw (the device state it reads, the vertex and index bytes it
// uses, and the texture it samples with the version of its texels), in
// order. A frame whose picture follows from its calls alone (it clears the
// colour before it draws, and the depth before a draw that uses it) is the
// same picture as another such frame of the same record.
//
// After GL_REPEAT_FRAMES frames in a row with the same record, the back-end
// holds the next frame's calls back: it records them without drawing. At
// present, a held frame that repeats the last is shown again where the
// back-end can show that picture without drawing it; any other is drawn
// from its record first, and holding stops until frames repeat again.
// Whatever needs the frame's pixels, or changes what they follow from,
// draws the held calls first (the back-end's flush): reading pixels, text
// drawn into the target, a dialog, a resize, a change of texels the held
// calls sample.
//
// Where the picture is when it is not drawn is the back-end's to know: in
// its frame object it stays; the window's back buffer holds nothing defined
// after a swap, so the back-end keeps a copy of the picture to show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3d_internal.h"

// Frames drawn alike in a row before the next is held back.
enum { GL_REPEAT_FRAMES = 3 };
// A frame's record stops growing past this many bytes; such a frame (a
// level's hundreds of draws) is never held, and costs no more to record
// than a screen that stands still.
enum { GL_REPEAT_MAX_BYTES = 64 << 10 };
// Frames after one that outgrew the record that are not recorded at all: a
// level's frames outgrow it one after another, and recording each to its
// room would cost every frame of play for a picture never held.
enum { GL_REPEAT_REST_FRAMES = 30 };

struct gl_repeat_record {
    std::vector<uint8_t> frame;         // this frame's calls
    std::vector<uint8_t> last;          // the last frame's
    std::vector<const void*> textures;  // the surfaces this frame's draws sample
    bool colour_cleared;                // this frame cleared the colour buffer
    bool depth_cleared;                 // and the depth buffer
    // This frame's picture follows from its record alone (so far).
    bool repeatable;
    bool last_repeatable;
    // Frames presented in a row, the last of them, that showed its picture
    // (drawn with the same record, or shown again).
    int same;
    bool holding;  // this frame's calls are recorded, not drawn
    int resting;   // frames left unrecorded after one outgrew the record
};

// A new record: nothing repeats yet.
void gl_repeat_start(gl_repeat_record* record);

// The buffers hold a picture that no record tells (a dialog was shown over
// them, they were made anew): frames must repeat again from none. The held
// calls must have been drawn first.
void gl_repeat_forget(gl_repeat_record* record);

// This frame's picture follows from more than its calls (text drawn into
// the target): it repeats no frame, and no frame repeats it. The held calls
// must have been drawn first.
void gl_repeat_spoil(gl_repeat_record* record);

// Record a clear or a draw; `texture_version` tells the texels of the
// surface the draw samples (state.textures[0]): a number that changes when
// they do and that no other surface has, 0 when the back-end has no copy
// of them. False when the call is not in the record (the frame is not
// repeatable, or its record is full): a held frame must then be drawn.
bool gl_repeat_clear(gl_repeat_record* record, DWORD flags, D3DCOLOR colour, float depth);
bool gl_repeat_draw(gl_repeat_record* record, const d3d_device_state& state,
                    const d3d_draw_call& call, uint64_t texture_version, bool has_depth);

// Whether this frame's calls are those of the last frame, whose picture
// the buffers hold.
bool gl_repeat_same(const gl_repeat_record& record);

// Whether a draw of this frame samples `surface`.
bool gl_repeat_uses(const gl_repeat_record& record, const void* surface);

// One recorded call as the back-end is given it: a clear, or a draw whose
// vertices and indices lie in the record (its first vertex 0, the indices
// counted from it). Of the device state, only what a draw reads is filled
// in: the render states, texture stage 0, the world, view and projection
// transforms, the material, the viewport, and the lights that shine when
// the draw is lit; the rest is zero.
struct gl_repeat_call {
    bool is_draw;
    DWORD clear_flags;
    D3DCOLOR clear_colour;
    float clear_depth;
    d3d_device_state state;
    d3d_draw_call draw;
};

// The call recorded at `*at` (0 for the first) into `out`, moving `*at` to
// the next; false past the last. The record must not change meanwhile.
bool gl_repeat_next(const gl_repeat_record& record, size_t* at, gl_repeat_call* out);

// What `same` becomes when this frame is presented, drawn (`drawn`) or shown
// again: the next frame is held from GL_REPEAT_FRAMES on.
int gl_repeat_run(const gl_repeat_record& record, bool drawn);

// The frame was presented, drawn (`drawn`) or shown again: it becomes the
// last frame, and the next frame is held when frames repeated enough.
void gl_repeat_presented(gl_repeat_record* record, bool drawn);

// Frames presented without being drawn, by every record so far: tests see
// by it that frames were held.
uint64_t gl_repeat_frames_shown_again(void);
