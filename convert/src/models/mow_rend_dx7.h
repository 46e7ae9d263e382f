// The model renderer: posed models skinned on the processor and drawn
// through the device, and the debug shapes that show collision data.
//
// Skinning. Every skinned vertex of a model names a slot (0 to 7999) of two
// buffers shared by all models, one of positions and one of normals; the
// clustered shader groups name the same slots for the vertices they draw.
// Drawing a model first skins each cluster by its joint's pose into those
// slots, in world space, then draws the meshes group by group: a clustered
// group from its slots, gathered into one contiguous stream; a segmented
// group from its own streams under its joint's world matrix. The slots stay
// numbers, in memory as in the files, so a prepared model can be written
// back as it was read.
//
// Preparation. mow_rend_init_mow_model is the one check a model passes
// before it is drawn: everything mow_geo_validate_mow_model checks, and
// every skinning slot and clustered group within the buffers. Drawing then
// reads nothing outside an array, provided the pose array holds
// mow_geo_pose_count(model) records. Preparation also lays the clusters out
// for skinning in the renderer's own form (the model's mow_model_skin,
// released with the model): their positions and normals in rows of floats,
// which skinning reads several vertices at a time, and the runs of vertices
// whose slots follow each other. So a model whose clusters' positions,
// normals or slots change is prepared again; their weights are read from
// the records at every skinning.
//
// Textures. A group draws with the texture its shader shows now: slot
// current_texture of the shader's texture containers, the shader being
// element mow_shader_group_shader_idx of the shader array given with the
// model. A group whose shader or texture is missing, out of range or without
// a surface draws untextured. The renderer binds a container to stage 0 only
// when it is not d3dtextr_current_texture (d3dtextr_dx7.h), and sets the
// colour-key, blending and filtering states the container asks for only
// where the device holds other values.
//
// Device state. Between model draws the world transform is the identity:
// skinned positions are in world space already, and a segmented mesh sets
// its joint's matrix and puts the identity back. Wireframe drawing and the
// debug shapes put back the fill and cull modes (the shapes also the world
// transform) they found.
//
// Results are the AND of the device calls made (1 when all succeeded); a
// failed draw is logged and drawing goes on with the next group.
#pragma once

#include <cstdint>

#include "models_services.h"
#include "mow_anim.h"
#include "mow_geo.h"
#include "platform/d3d.h"

struct win_shader;

// Entries of each skinning buffer: slots run from 0 to 7999, and a clustered
// group draws at most as many vertices.
enum { MOW_REND_BUFFER_SIZE = 8000 };

// mow_rend_init (models_services.h) sets the default colours of the
// wireframe and the debug shapes, once at start-up before any model is
// drawn, and answers the AND of the colour setters; mow_rend_cleanup has
// nothing to release and answers 1.

// Checks and lays out a model, once, right after it is read and before it
// is drawn (see Preparation). 1, or 0 after one ERROR line naming the model
// and its fault (the model is then not prepared). A group whose shader
// index names none of the model's shader files only gets a WARNING: it
// draws untextured. mow_rend_release_mow_model (mow_geo.h), which releasing
// the model calls, lets its skinning form go.
int mow_rend_init_mow_model(mow_model* mow_model_ptr);

// Skins and draws a prepared model posed in `mow_track_augment_array` (one
// record per pose, mow_geo_pose_count), with the `win_shader_array_size`
// shaders of its entity (NULL: untextured). `draw_flags` go to every draw.
int mow_rend_rend_mow_model(const mow_model* mow_model_ptr, const win_shader* win_shader_array,
                            int32_t win_shader_array_size,
                            const mow_track_augment* mow_track_augment_array, DWORD draw_flags);
// The same model as flat-coloured lines: no textures, no normals, every
// vertex in the wireframe colour, culling off. A segmented group of more
// than MOW_REND_BUFFER_SIZE vertices is left out.
int mow_rend_wire_mow_model(const mow_model* mow_model_ptr,
                            const mow_track_augment* mow_track_augment_array, DWORD draw_flags);
// Skinning alone: every cluster of a prepared model into the skinning
// buffers (the first step of mow_rend_rend_mow_model). 1, or 0 after a log
// line for a missing argument or a model that was not prepared (which
// mow_rend_rend_mow_model then draws from the buffers as they are).
int mow_rend_skin_mow_model(const mow_model* mow_model_ptr,
                            const mow_track_augment* mow_track_augment_array);

// The wireframe colour, 0xAARRGGBB (default 0xFFFF0000). 1, 0 on NULL.
int mow_rend_set_wire_diffuse(const DWORD* new_wire_diffuse);

// Binds the current texture of shader `shader_idx` of the model being drawn
// to stage 0, or no texture for -1 or outside a model draw (see Textures).
int mow_rend_set_shader_texture(int32_t shader_idx);

// ---- debug shapes
//
// An axis-aligned box, an upright cylinder of 20 sides and a sphere of 10
// rings of 10, each in one flat colour, placed by `parent_matrix` and drawn
// with the vertex format `fvf_mask` AND D3DFVF_XYZ | D3DFVF_NORMAL |
// D3DFVF_DIFFUSE, the given fill mode (D3DFILL_*) and cull mode (D3DCULL_*),
// untextured. Their normals are not real: draw them with masks without
// D3DFVF_NORMAL, such as 0x42. Each puts back the fill mode, the cull mode
// and the world transform it found.

// Colours of the shapes, 0xAARRGGBB (defaults: box red, cylinder green,
// sphere yellow). 1, 0 on NULL.
int mow_rend_set_bbox_diffuse(const DWORD* new_bbox_diffuse);
int mow_rend_set_cylindar_diffuse(const DWORD* new_cylindar_diffuse);
int mow_rend_dx7_set_sphere_diffuse(const DWORD* new_sphere_diffuse);

// The box from corner (x0, y0, z0) to corner (x1, y1, z1).
int mow_rend_single_bbox(const win_bbox* bbox, const win_matrix43* parent_matrix, DWORD fvf_mask,
                         DWORD fill_mode, DWORD cull_mode);
// The cylinder standing on `cylindar_base_center`, `height` tall.
int mow_rend_single_cylindar(const win_vect3* cylindar_base_center, float radius, float height,
                             const win_matrix43* parent_matrix, DWORD fvf_mask, DWORD fill_mode,
                             DWORD cull_mode);
// A radius not above 0 draws nothing (a WARNING, result 1).
int mow_rend_single_sphere(const win_vect3* sphere_center, float sphere_radius,
                           const win_matrix43* parent_matrix, DWORD fvf_mask, DWORD fill_mode,
                           DWORD cull_mode);
// The collision sphere of each of the `count` pose records that has one
// (radius above 0), in world space.
int mow_rend_track_augment_spheres(int32_t count, const mow_track_augment* mow_track_augment_array,
                                   DWORD fvf_mask, DWORD fill_mode, DWORD cull_mode);
// The capsule ends of a character's appendages: for each of the `count`
// appendages whose current sphere has a radius above 0, two solid spheres
// of each segment's radius, at the segment joint's sphere centre and that
// centre plus the segment's vector. `mow_appendage_info_array` is the
// model's (prepared: its segment joints lie within the pose array) and
// `count` at most its mow_appendage_array_size; a segment that the key or
// the model lacks is not drawn.
int mow_rend_appendage_spheres(int32_t count,
                               const mow_appendage_sphere_key* mow_appendage_sphere_key_array,
                               const mow_track_augment* mow_track_augment_array,
                               const mow_appendage_info* mow_appendage_info_array);

// Puts the module back to its start: default colours, no model being drawn.
// For tests.
void mow_rend_reset(void);
