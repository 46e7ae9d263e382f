// Shaders (win_shader): the animated texture sets that models draw with,
// with their record family (record.h).
//
// A shader names its textures and holds one counted reference to each one
// loaded for them (a slot is NULL when its texture failed to load); the
// animation of its own state table picks the texture shown now. A shader
// lives in an array only (a character keeps one per shader file of its
// model, indexed by a shader group's shader index): it has no links and no
// count of its own.
//
// A shader file ("shw", FILE_TYPE_SHADER / FILE_VERSION_SHADER) holds the
// binary header and one shader stream (write_win_shader_bin); the runtime's
// shader loader reads it and then fills the texture slots and the state table
// from the names.
//
// current_texture indexes the shader's textures: it is -1 or below the number
// of them (the texture names, or the slots when there are more of those). The
// readers and the link forms refuse a record whose stored index is another
// value, and every writer of the index at run time goes through
// win_shader_set_current_texture, so the renderer never reads past the slots.
#pragma once

#include <cstdint>

#include "record.h"
#include "texture_container.h"
#include "win_ast.h"
#include "win_geo.h"
#include "win_shader_fields.h"

// clang-format off
RECORD_CHECK(win_shader, win_shader_check_current_texture);
RECORD_BEGIN(win_shader, 52)
    REC_NAME(win_shader_name)
    REC_STRING(win_ast_filename)
    REC_RECORD(win_ast, win_ast)
    REC_ARRAY(win_texture_filename_array_size, win_texture_filename_array, win_filename_ptr)
    REC_ARRAY(texture_container_ptr_array_size, texture_container_ptr_array,
              texture_container_ptr)
    REC_WORDS(current_texture)
    REC_WORDS(shader_reserved)
RECORD_END(win_shader, NAMED, .current_texture = -1,
           .shader_reserved = {-1.0f, -1.0f, -1.0f, -1.0f, 1.0f})
// clang-format on

// Makes `texture_index` the shader's current texture when it is -1 or names
// one of its texture slots, and answers 1. Another index (an animation key
// beyond the shader's textures) leaves the shader showing nothing (-1) and
// answers 0, with a WARNING when the shader showed something before.
int win_shader_set_current_texture(win_shader* win_shader_ptr, int32_t texture_index);
