// The least a program can do to show a picture that stands still as the game
// shows it: a window of the picture's size, and every frame the picture
// drawn as one textured rectangle, filtered as the game filters (see
// main), with plain SDL and OpenGL 3.3 and presented, at the display's rate
// (60 frames a second where the swap does not wait for the vertical blank,
// paced as the game paces its presents: platform/frame_pacer.h).
// tools/idle_cpu.py measures the idle game's CPU against it.
//
// Usage: idle_plain PICTURE.png   (runs until it is closed or killed)
#include <SDL2/SDL.h>
#include <png.h>

#include <cstdio>
#include <vector>

#include "platform/frame_pacer.h"
#include "platform/gl_api.h"

namespace {

const char vertex_source[] = R"glsl(#version 330 core
out vec2 v_uv;
void main()
{
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    v_uv = vec2(corner.x, 1.0 - corner.y);
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)glsl";

const char fragment_source[] = R"glsl(#version 330 core
in vec2 v_uv;
uniform sampler2D picture;
out vec4 colour;
void main()
{
    colour = texture(picture, v_uv);
}
)glsl";

// The picture's pixels as RGBA rows, top row first; false when it cannot be
// read.
bool read_picture(const char* path, int* width, int* height, std::vector<unsigned char>* rgba)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path))
        return false;
    image.format = PNG_FORMAT_RGBA;
    rgba->resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba->data(), 0, nullptr))
        return false;
    *width = (int)image.width;
    *height = (int)image.height;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
    if (argc != 2 || !read_picture(argv[1], &width, &height, &rgba)) {
        fprintf(stderr, "usage: idle_plain PICTURE.png\n");
        return 2;
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "idle_plain: no video: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow("idle_plain", SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, width, height,
                                          SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    char log[1024];
    GLuint program = 0;
    if (!context || !gl_api_load() ||
        !(program = gl_api_build_program(vertex_source, fragment_source, log, (int)sizeof log))) {
        fprintf(stderr, "idle_plain: no GL 3.3 context or program: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetSwapInterval(1);
    SDL_DisplayMode mode = {};
    int refresh_rate = SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(window), &mode) == 0
                           ? mode.refresh_rate
                           : 0;
    GLuint texture = 0, vertex_array = 0;
    gl.GenTextures(1, &texture);
    gl.BindTexture(GL_TEXTURE_2D, texture);
    gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                  rgba.data());
    // Filtered as the game filters its pictures (bilinear, the rendering
    // options' default): the game draws its screen from a texture through
    // that filter, so the picture shown here is one the filter made, and
    // both programs pay the same sampling for each pixel. At 1:1 with texel
    // centres on pixel centres the filter leaves the picture as it is.
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.GenVertexArrays(1, &vertex_array);
    gl.BindVertexArray(vertex_array);
    gl.UseProgram(program);
    gl.Viewport(0, 0, width, height);
    frame_pacer pacer = {};
    for (bool running = true; running;) {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            running = running && event.type != SDL_QUIT;
        gl.Clear(GL_COLOR_BUFFER_BIT);
        gl.DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        SDL_GL_SwapWindow(window);
        frame_pacer_pace(&pacer, refresh_rate);
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
