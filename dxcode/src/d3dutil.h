// Direct3D helper routines: the symbolic names of DirectDraw, Direct3D and
// D3DX results for the log, matrix builders (identity, view, projection,
// rotations), vector helpers, initialisers of description records and a few
// device and display queries.
#pragma once

#include "platform/d3d.h"
#include "win_geo.h"

// The symbolic name of a result, or "Unrecognized D3D error code = %x" in a
// static buffer that the next unrecognised code overwrites. Never fails.
const char* d3dutil_get_error_string(HRESULT hresult);

void d3dutil_set_identity_matrix(D3DMATRIX* matrix);
void d3dutil_set_identity_matrix(win_matrix44* matrix);

float d3dutil_vector_magnitude(const D3DVECTOR* v);
float d3dutil_vector_dot(const D3DVECTOR* a, const D3DVECTOR* b);
void d3dutil_vector_cross(D3DVECTOR* out, const D3DVECTOR* a, const D3DVECTOR* b);  // a x b
void d3dutil_vector_normalize(D3DVECTOR* v);  // in place; a zero vector is not tested

// Left-handed look-at from `from` to `at`, then yaw about y, pitch about x
// and roll about z. E_INVALIDARG (logged) when the view or up vector is
// degenerate; out is then untouched.
HRESULT d3dutil_set_view_matrix(D3DMATRIX* out, const D3DVECTOR* from, const D3DVECTOR* at,
                                const D3DVECTOR* up, float roll, float yaw, float pitch);
// E_INVALIDARG (logged) when far - near is below 0.01.
HRESULT d3dutil_set_projection_matrix(D3DMATRIX* out, float fov, float aspect, float near_plane,
                                      float far_plane);
void d3dutil_set_rotate_x_matrix(D3DMATRIX* out, float angle);
void d3dutil_set_rotate_y_matrix(D3DMATRIX* out, float angle);
void d3dutil_set_rotate_z_matrix(D3DMATRIX* out, float angle);
// Rotation about a unit axis.
void d3dutil_set_rotation_matrix(D3DMATRIX* out, const D3DVECTOR* axis, float angle);

// Description records, zeroed and sized.
void d3dutil_init_device_desc(D3DDEVICEDESC* desc);
void d3dutil_init_surface_desc(DDSURFACEDESC2* desc, DWORD flags, DWORD caps);
void d3dutil_init_viewport(D3DVIEWPORT2* viewport, DWORD width, DWORD height);
void d3dutil_init_material(D3DMATERIAL* material, float red, float green, float blue);
void d3dutil_init_light(D3DLIGHT* light, DWORD type, float x, float y, float z);

// The DirectDraw object behind the device's render target (the caller
// releases it), or NULL.
IDirectDraw7* d3dutil_get_direct_draw_from_device(IDirect3DDevice7* device);
// DDSCAPS_VIDEOMEMORY for a hardware device, else DDSCAPS_SYSTEMMEMORY; 0 on
// failure.
DWORD d3dutil_get_device_memory_type(IDirect3DDevice7* device);
// Bits per pixel of the display mode; `ddraw` NULL uses a DirectDraw object
// of its own. 0 on failure.
DWORD d3dutil_get_display_depth(IDirectDraw7* ddraw);
// 1 when the driver can set a gamma ramp on the primary surface.
int d3dutil_detect_gamma_ramp_support(IDirectDraw7* ddraw);
WORD d3dutil_count_bits(DWORD mask);
