#include "platform/gl_buffer_age.h"

#include <SDL2/SDL.h>

#include <cstring>

namespace {

// The attributes and names of the two interfaces' headers, which the
// platform does not include.
enum {
    GLX_SCREEN = 0x800C,
    GLX_BACK_BUFFER_AGE_EXT = 0x20F4,
    EGL_EXTENSIONS = 0x3055,
    EGL_DRAW = 0x3059,
    EGL_BUFFER_AGE_EXT = 0x313D,
};

// Whether `name` is a whole word of the space-separated `list`.
bool has_word(const char* list, const char* name)
{
    size_t length = strlen(name);
    for (const char* at = list; at && (at = strstr(at, name)); at += length)
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0'))
            return true;
    return false;
}

template <typename F>
bool load(F* function, const char* name)
{
    *function = (F)SDL_GL_GetProcAddress(name);
    return *function != nullptr;
}

int glx_age(const gl_buffer_age* age)
{
    unsigned int value = 0;
    age->glx_query(age->current_display(), age->glx_drawable(), GLX_BACK_BUFFER_AGE_EXT, &value);
    return (int)value;
}

int egl_age(const gl_buffer_age* age)
{
    int value = 0;
    if (!age->egl_query(age->current_display(), age->egl_surface(EGL_DRAW), EGL_BUFFER_AGE_EXT,
                        &value))
        return 0;
    return value;
}

bool start_glx(gl_buffer_age* age)
{
    void* (*current_context)(void);
    int (*query_context)(void*, void*, int, int*);
    const char* (*extensions)(void*, int);
    if (!load(&age->current_display, "glXGetCurrentDisplay") ||
        !load(&current_context, "glXGetCurrentContext") ||
        !load(&query_context, "glXQueryContext") ||
        !load(&extensions, "glXQueryExtensionsString") ||
        !load(&age->glx_drawable, "glXGetCurrentDrawable") ||
        !load(&age->glx_query, "glXQueryDrawable"))
        return false;
    void* display = age->current_display();
    void* context = current_context();
    int screen = 0;
    if (!display || !context || query_context(display, context, GLX_SCREEN, &screen) != 0 ||
        !has_word(extensions(display, screen), "GLX_EXT_buffer_age"))
        return false;
    age->query = glx_age;
    return true;
}

bool start_egl(gl_buffer_age* age)
{
    const char* (*query_string)(void*, int);
    if (!load(&age->current_display, "eglGetCurrentDisplay") ||
        !load(&query_string, "eglQueryString") ||
        !load(&age->egl_surface, "eglGetCurrentSurface") ||
        !load(&age->egl_query, "eglQuerySurface"))
        return false;
    void* display = age->current_display();
    if (!display || !has_word(query_string(display, EGL_EXTENSIONS), "EGL_EXT_buffer_age"))
        return false;
    age->query = egl_age;
    return true;
}

}  // namespace

// A name of the other interface may come back as a stub that calls nowhere,
// so only the interface SDL uses for the window's video driver is asked.
bool gl_buffer_age_start(gl_buffer_age* age)
{
    *age = {};
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver)
        return false;
    bool x11 = strcmp(driver, "x11") == 0;
    bool egl = (x11 && SDL_GetHintBoolean(SDL_HINT_VIDEO_X11_FORCE_EGL, SDL_FALSE)) ||
               strcmp(driver, "wayland") == 0 || strcmp(driver, "offscreen") == 0 ||
               strcmp(driver, "kmsdrm") == 0;
    bool found = egl ? start_egl(age) : x11 ? start_glx(age) : false;
    if (!found)
        *age = {};
    return found;
}

int gl_buffer_age_now(const gl_buffer_age& age)
{
    return age.query ? age.query(&age) : 0;
}
