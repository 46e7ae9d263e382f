#include "win_shader.h"

#include "debug.h"

namespace {

const char* shader_name(const win_shader* shader)
{
    return shader->win_shader_name ? shader->win_shader_name : "(null)";
}

}  // namespace

int win_shader_check_current_texture(const void* win_shader_ptr)
{
    const win_shader* shader = (const win_shader*)win_shader_ptr;
    REFUSE_NULL(shader, "win_shader_check_current_texture", "win_shader_ptr", 0);
    // A count means nothing without its array. The loader makes one slot per
    // texture name, so either array bounds the index.
    int32_t names = shader->win_texture_filename_array ? shader->win_texture_filename_array_size
                                                       : 0;
    int32_t slots = shader->texture_container_ptr_array ? shader->texture_container_ptr_array_size
                                                        : 0;
    int32_t textures = names > slots ? names : slots;
    if (shader->current_texture == -1 ||
        (shader->current_texture >= 0 && shader->current_texture < textures))
        return 1;
    LOG_ERROR("Bad current_texture = %ld for win_shader %s with %ld textures\n",
              (long)shader->current_texture, shader_name(shader), (long)textures);
    return 0;
}

int win_shader_set_current_texture(win_shader* win_shader_ptr, int32_t texture_index)
{
    REFUSE_NULL(win_shader_ptr, "win_shader_set_current_texture", "win_shader_ptr", 0);
    int32_t slots = win_shader_ptr->texture_container_ptr_array
                        ? win_shader_ptr->texture_container_ptr_array_size
                        : 0;
    if (texture_index == -1 || (texture_index >= 0 && texture_index < slots)) {
        win_shader_ptr->current_texture = texture_index;
        return 1;
    }
    // Warned once as the shader goes blank, not on every frame it stays so.
    if (win_shader_ptr->current_texture != -1)
        LOG_WARNING("Bad texture index %ld for win_shader %s with %ld texture slots\n",
                    (long)texture_index, shader_name(win_shader_ptr), (long)slots);
    win_shader_ptr->current_texture = -1;
    return 0;
}
