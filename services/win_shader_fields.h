// The fields of a shader: the part of the world's shader record that the
// model renderer reads (world_services.h), its textures and the one shown
// now. The record family and the reading of shader files are in
// win_shader.h. It stands among the services headers so that the frame,
// which includes world_services.h, sees it too, and so it includes nothing
// above the frame: the shader's state table is only declared.
#pragma once

#include <cstdint>

#include "texture_container.h"
#include "win_geo.h"

struct win_ast;

// clang-format off
struct win_shader {
    char* win_shader_name;
    char* win_ast_filename;   // the state table's file, without directory or extension
    struct win_ast* win_ast;  // its own; NULL for none
    int32_t win_texture_filename_array_size;
    win_filename_ptr* win_texture_filename_array;  // in texture index order
    int32_t texture_container_ptr_array_size;
    texture_container_ptr* texture_container_ptr_array;  // slot i: texture file name i
    int32_t current_texture;  // the slot drawn now; -1: none
    float shader_reserved[5];  // carried unchanged between file and memory
};
// clang-format on
