// Shader animation: the state tables of characters' shaders, stepped each
// frame and started by script commands.
#include "runtime_services.h"

// The runtime completes these with the shader records; until then no
// character has shaders, and each call is done.
int shader_play_anim(win_shader*, int32_t)
{
    return 1;
}

int shader_play_anim2(win_shader*, int32_t)
{
    return 1;
}
