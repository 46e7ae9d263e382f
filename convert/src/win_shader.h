// The shader record (win_shader): an animated texture set. It names its
// texture files, holds the containers loaded for them and the index of the
// one shown now, which the animation state table it owns selects. A
// character keeps an array of them, one per shader file of its model, and
// the model renderer draws each shader group with the texture its shader
// shows now (mow_rend_dx7.h).
//
// Only the record's words are here so far, in their record order; the shader
// records add the record family and the shader file.
#pragma once

#include <cstdint>

#include "texture_container.h"
#include "win_geo.h"

struct win_ast;

struct win_shader {
    char* win_shader_name;
    char* win_ast_filename;   // base name of the state table file
    struct win_ast* win_ast;  // owned; NULL for none
    int32_t win_texture_filename_array_size;
    win_filename_ptr* win_texture_filename_array;  // in texture index order
    // One counted reference per texture loaded; a slot is NULL when its
    // texture could not be loaded.
    int32_t texture_container_ptr_array_size;
    texture_container_ptr* texture_container_ptr_array;
    int32_t current_texture;  // the texture shown now; -1 none
    float shader_reserved[5];
};
