// The texture cache: every texture of the game is a texture_container in one
// list, keyed by the base name of its file (lower case, after the last
// backslash, cut at the first dot), so "Wall", "wall.tga" and
// "textures\wall.png" share one container.
//
// d3dtextr_load_texture returns the cached container, or loads the image from
// the directory trying ".png", ".tga", ".bmp" and ".dds" in that order. It
// adds no reference for its caller: a holder that keeps a container adds 1 to
// texture_container_ref_cnt itself and gives it back with
// free_texture_container (or through texture_container_ptr). The list holds
// one reference, so d3dtextr_clean_texture_container_list drops every
// container nobody else counts. Ids run from 1 and are never reused; a
// restored container keeps its id.
//
// Names listed in the transparent-texture list ("transtex.ttw", text file
// type 47, version 101, one base name a line up to "end_of_entries") get a
// source colour key for black.
//
// Device loss: d3dtextr_attach_to_frame hands the frame the two steps it runs
// around every re-creation of the device: d3dtextr_invalidate_all_textures
// before the device goes (every surface released, the containers stay) and
// d3dtextr_restore_all_textures from the bitmap directory after it came back
// (every container reloaded under its name, with its id and colour key). No
// caller reloads after a lost device or a full-screen switch: the frame does.
//
// d3dtextr_current_texture is the container whose surface the model
// renderer last bound to texture stage 0; the renderer writes it and binds
// only when a container differs from it. It is cleared whenever stage 0 is
// unbound or set to another surface (d3dxframe_set_texture) and whenever the
// cache releases surfaces or containers, so nothing is drawn with a stale
// texture after a device re-creation or a level change.
#pragma once

#include <cstdint>

#include "platform/d3d.h"
#include "platform/gdi.h"
#include "texture_container.h"

enum { D3DTEXTR_PATH_SIZE = 260 };

extern texture_container* d3dtexr_texture_container_list;
extern int32_t d3dtexr_texture_container_list_size;
extern transparent_texture* d3dtextr_transparent_texture_list;
extern int32_t d3dtextr_transparent_texture_list_size;
extern int32_t d3dtextr_texture_id_counter;  // the last id handed out
extern texture_container* d3dtextr_current_texture;

// `texture_name` is lower-cased in place. NULL when no file of the name loads:
// nothing is cached then, and the failure is logged once; the files of the
// name are not tried again until the cache is cleaned or emptied.
texture_container* d3dtextr_load_texture(char* texture_name, const char* directory,
                                         void* user_value);
// Loads directory\name into the container's surface (replacing the surface it
// had only when the load succeeds). A name with no dot in the joined path
// tries the four extensions; one with a dot is loaded as it stands.
int d3dtextr_dx7_load_texture_image(const char* texture_name, const char* directory,
                                    texture_container* container);
int d3dtextr_load_transparent_texture_list(const char* filename);

// Makes d3dtextr_invalidate_all_textures and a restore from
// `bitmap_directory` (copied) the frame's texture steps.
int d3dtextr_attach_to_frame(const char* bitmap_directory);
int d3dtextr_restore_all_textures(const char* directory);  // 0
int d3dtextr_invalidate_all_textures(void);                // 0
// 0, or DDERR_NOTFOUND for a NULL container.
HRESULT d3dtextr_invalidate_texture(texture_container* container);
// 1 when every dropped container was released.
int d3dtextr_clean_texture_container_list(void);
// Empties the cache (a container a holder still counts leaves it without its
// surface and stays the holder's) and the transparent list.
void d3dtextr_cleanup(void);

// The surface's own pixel value for a GDI colour, or 0xFFFFFFFF.
DWORD d3dtextr_get_surface_pixel(IDirectDrawSurface7* surface, COLORREF colour);
// A zeroed system-memory surface of 3 (R8G8B8) or 4 (A8R8G8B8) bytes a pixel;
// released with Release, which frees its memory too.
IDirectDrawSurface7* d3dtextr_create_surface_from_memory(int32_t height, int32_t width,
                                                         int32_t bytes_per_pixel);

// Forgets every list and counter without releasing anything: for tests.
void d3dtextr_reset(void);
