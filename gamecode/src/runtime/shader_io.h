// Loading a character's shaders: one shader file ("shw") per name, then the
// textures the shader names (through the texture cache, one counted
// reference per slot) and the state table it names with its animations.
#pragma once

#include <cstdint>

#include "win_shader.h"

// A new array of `count` shaders, shader i read from
// "<shader_pathname>\<name i>.shw". The array comes back also when some or
// all of the shaders failed: a failed shader is logged and stays (wholly or
// partly) at its default. Textures are looked up in `texture_pathname`; the
// state table in `anim_table_pathname` (lower-cased path, extension "ast")
// with its animations in `anim_pathname`, its models named from
// `model_pathname`. NULL after an error line for a missing argument or
// count, or when the array cannot be made.
win_shader* load_win_shader_array(const win_filename_ptr* win_shader_filename_ptr_array,
                                  int32_t count, const char* shader_pathname,
                                  const char* texture_pathname, const char* anim_pathname,
                                  const char* anim_table_pathname, const char* model_pathname);
