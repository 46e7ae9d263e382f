// Control and inspection of the device object model: the back-end choice,
// the call record, result injection, the live-object count, and what the
// recording back-end kept of the draws it was given.
//
// Every HRESULT method of d3d.h and d3dx.h, the D3DX functions and the font
// calls pass one gate under a name "Object.Method" ("Device.SetRenderState",
// "Context.UpdateFrame", "DirectDraw.TestCooperativeLevel",
// "D3DXCreateContextEx", "Font.AddResource", ...). The gate records the call
// with its arguments (while recording is on) and returns an injected result
// when one waits for that name. An injected failure skips the call's work;
// an injected success code is returned after it.
#pragma once

#include "platform/d3d.h"
#include "platform/d3dx.h"

// Back-ends. Recording: no window output and no GL, for tests. GL: draws
// into the window with OpenGL 3.3; the default.
enum { D3D_BACKEND_RECORDING = 0, D3D_BACKEND_GL = 1 };
// Takes effect at the next context creation.
void d3d_select_backend(int kind);
int d3d_selected_backend(void);

// Whether presents wait for the display's vertical blank, and, where the
// buffer swap does not, as long as it would (frame_pacer.h). On by default;
// off for programs that time frames, such as the device benchmark. Takes
// effect at the next context creation.
void d3d_set_vertical_blank_wait(int on);
int d3d_vertical_blank_wait(void);

// The call record: one line per call, "Name arg arg ...", numbers in decimal,
// flags and colours in hexadecimal as each call formats them.
void d3d_record_start(void);
void d3d_record_stop(void);
int d3d_record_count(void);
const char* d3d_record_get(int index);
// Index of the first line at or after `from` that begins with `prefix`, or -1.
int d3d_record_find(const char* prefix, int from);
// Number of lines that begin with `prefix`.
int d3d_record_count_of(const char* prefix);

// Makes the call `name` return `result`: the first `skip` calls pass, then
// the next `times` calls (every later call when `times` is 0) get `result`.
void d3d_inject(const char* name, HRESULT result, int skip, int times);

// Objects of d3d.h and d3dx.h, fonts and device contexts alive now.
int d3d_live_objects(void);

// Stops recording and clears the record and every injection; the back-end
// choice goes back to recording. Live objects are not touched.
void d3d_record_reset(void);

// A draw as the recording back-end kept it: the first vertices expanded,
// the first indices (as many as the largest debug shape has), and the device
// state at the time of the draw.
enum { D3D_RECORDED_VERTICES = 64, D3D_RECORDED_INDICES = 600 };
struct d3d_recorded_vertex {
    float x, y, z, rhw;  // rhw 1 for untransformed vertices
    float nx, ny, nz;
    DWORD diffuse;
    float u, v;
};
struct d3d_recorded_draw {
    DWORD primitive_type, vertex_format, vertex_count, index_count, flags;
    d3d_recorded_vertex vertices[D3D_RECORDED_VERTICES];
    WORD indices[D3D_RECORDED_INDICES];
    DWORD render_states[D3D_RENDER_STATE_COUNT];
    DWORD stage0_states[D3D_TEXTURE_STAGE_STATE_COUNT];
    IDirectDrawSurface7* texture0;  // identity only; no reference is held
    D3DMATRIX world, view, projection;
};
// Draws since the last reset, and the last of them (NULL before the first).
int d3d_recorded_draw_count(void);
const d3d_recorded_draw* d3d_recorded_last_draw(void);
// Presents since the last reset.
int d3d_recorded_present_count(void);
// Pictures of modal dialogs shown over the window since the last reset.
int d3d_recorded_overlay_count(void);

// Copies a rectangle of the device's render target as the back-end drew it,
// top row first, as 0xAARRGGBB. E_NOTIMPL from the recording back-end;
// DDERR_INVALIDPARAMS when the rectangle leaves the target.
HRESULT d3d_read_render_target(IDirect3DDevice7* device, DWORD x, DWORD y, DWORD width,
                               DWORD height, DWORD* argb);

// The display of a machine without a video driver (headless), which the
// D3DX mode enumeration then reports: `count` modes as listed (D3DX lists
// them in ascending order) and the current mode (kept when NULL). NULL
// modes bring back the default display (seven modes up to 1024 x 768).
void d3dx_set_display_modes(const D3DX_VIDMODEDESC* modes, int count,
                            const D3DX_VIDMODEDESC* current);
