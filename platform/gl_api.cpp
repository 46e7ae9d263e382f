// Loading the GL entry points through SDL, and building shader programs.
#include "platform/gl_api.h"

#include <SDL2/SDL.h>

#include <cstdio>

gl_api gl;

namespace {

GLuint compile(GLenum kind, const char* source, char* log, int log_size)
{
    GLuint shader = gl.CreateShader(kind);
    gl.ShaderSource(shader, 1, &source, nullptr);
    gl.CompileShader(shader);
    GLint ok = GL_FALSE;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE)
        return shader;
    if (log && log_size > 0)
        gl.GetShaderInfoLog(shader, log_size, nullptr, log);
    gl.DeleteShader(shader);
    return 0;
}

}  // namespace

int gl_api_load(void)
{
    bool complete = true;
#define GL_API_LOAD(type, name)                        \
    gl.name = (type)SDL_GL_GetProcAddress("gl" #name); \
    complete = complete && gl.name != nullptr;
    GL_API_FUNCTIONS(GL_API_LOAD)
#undef GL_API_LOAD
    return complete ? 1 : 0;
}

GLuint gl_api_build_program(const char* vertex_source, const char* fragment_source, char* log,
                            int log_size)
{
    if (log && log_size > 0)
        log[0] = '\0';
    GLuint vertex = compile(GL_VERTEX_SHADER, vertex_source, log, log_size);
    if (!vertex)
        return 0;
    GLuint fragment = compile(GL_FRAGMENT_SHADER, fragment_source, log, log_size);
    if (!fragment) {
        gl.DeleteShader(vertex);
        return 0;
    }
    GLuint program = gl.CreateProgram();
    gl.AttachShader(program, vertex);
    gl.AttachShader(program, fragment);
    gl.LinkProgram(program);
    gl.DeleteShader(vertex);
    gl.DeleteShader(fragment);
    GLint ok = GL_FALSE;
    gl.GetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        if (log && log_size > 0)
            gl.GetProgramInfoLog(program, log_size, nullptr, log);
        gl.DeleteProgram(program);
        return 0;
    }
    return program;
}
