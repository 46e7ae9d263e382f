// The GL back-end of the device object model: OpenGL 3.3 core through SDL's
// GL context for the context's window.
//
// A window whose framebuffer has the context's buffer size is drawn into
// directly. Otherwise (full screen, or a window of another size) the frame
// is drawn into a framebuffer object of the buffer size, kept top row first
// (see d3d_gl_shader.h), and presenting copies it to the window scaled to
// fit, keeping its shape (d3dx_frame_rect), in a window as on the display.
//
// Surfaces keep their pixels in the objects; a GL texture follows a
// surface's pixels when it is next drawn with after a change. Each draw
// sends the vertices its indices use, and the indices, from client memory
// in one upload through a stream buffer (see stream_map), and picks the
// program compiled for its discrete states. A screen-space draw sure to pass
// the depth test is drawn without it (d3d_gl_depth.h). A frame that repeats
// the frames before it is not drawn again (d3d_gl_repeat.h).
#include <SDL2/SDL.h>

#include <algorithm>

#include "platform/d3d_gl_internal.h"
#include "platform/d3d_gl_shader.h"
#include "platform/report.h"

namespace d3d_gl {

// The stream buffer's first size; it doubles for a draw that does not fit.
const size_t stream_start_size = 4u << 20;

bool gl_backend::make_current()
{
    SDL_Window* sdl = sdl_window();
    return sdl && context && SDL_GL_MakeCurrent(sdl, context) == 0;
}

HRESULT gl_backend::start(const d3d_context_params& params)
{
    window = params.window;
    fullscreen = params.fullscreen != FALSE;
    width = params.width;
    height = params.height;
    has_depth = params.depth_bits != 0;
    SDL_Window* sdl = sdl_window();
    if (!sdl)
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    if (fullscreen) {
        if (SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            return D3DXERR_INVALIDMODE;
        made_fullscreen = true;
    }
    // SDL unloads the GL library with the last GL window; one load of our
    // own keeps it (and the driver's state) for the whole run.
    static bool library_held = SDL_GL_LoadLibrary(nullptr) == 0;
    (void)library_held;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    context = SDL_GL_CreateContext(sdl);
    if (!context) {
        PLATFORM_ERROR("No OpenGL 3.3 context: %s", SDL_GetError());
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    }
    if (!gl_api_load()) {
        PLATFORM_ERROR("%s", "The OpenGL library lacks functions the game draws with.");
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    }
    d3dx_set_renderer_name((const char*)gl.GetString(GL_RENDERER));
    // Where the swap cannot wait for the vertical blank, present waits as
    // long as it would (see present).
    paced = d3d_vertical_blank_wait() != 0;
    SDL_GL_SetSwapInterval(paced ? 1 : 0);
    SDL_DisplayMode mode;
    if (SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(sdl), &mode) == 0)
        refresh_rate = mode.refresh_rate;
    if (!make_buffers())
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    choose_framebuffer();
    gl_repeat_start(&repeat);
    kept_copy = false;
    return D3D_OK;
}

// The window's own framebuffer when it has the buffer size (and a depth
// buffer if one is wanted), else the back-end's.
void gl_backend::choose_framebuffer()
{
    int drawable_width = 0, drawable_height = 0;
    SDL_GL_GetDrawableSize(sdl_window(), &drawable_width, &drawable_height);
    bool fits = !fullscreen && (DWORD)drawable_width == width && (DWORD)drawable_height == height;
    if (fits && has_depth) {
        GLint depth_bits = 0;
        gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
        gl.GetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH,
                                               GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depth_bits);
        fits = depth_bits > 0;
    }
    direct = fits;
    gl_depth_forget(&depth);  // a depth buffer new or of another size
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    // Direct3D's fronts are clockwise on the screen, which GL sees as
    // counter-clockwise once the rows run top first.
    gl.FrontFace(direct ? GL_CW : GL_CCW);
    cache.valid = false;
}

GLuint gl_backend::build_rect_program(const char* fragment, const char* what)
{
    char log[1024];
    GLuint program = gl_api_build_program(d3d_gl_shader::text_vertex, fragment, log,
                                          (int)sizeof log);
    if (!program)
        PLATFORM_ERROR("GL back-end: the %s program did not build: %s", what, log);
    return program;
}

bool gl_backend::make_buffers()
{
    gl.GenFramebuffers(1, &framebuffer);
    gl.GenRenderbuffers(1, &colour_buffer);
    gl.GenRenderbuffers(1, &depth_buffer);
    gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl.BindRenderbuffer(GL_RENDERBUFFER, colour_buffer);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, (GLsizei)width, (GLsizei)height);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                               colour_buffer);
    if (has_depth) {
        gl.BindRenderbuffer(GL_RENDERBUFFER, depth_buffer);
        gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, (GLsizei)width,
                               (GLsizei)height);
        gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                   depth_buffer);
    }
    if (gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return false;

    gl.GenVertexArrays(1, &vertex_array);
    gl.GenVertexArrays(1, &empty_vertex_array);
    gl.GenBuffers(2, stream_buffers);
    gl.GenBuffers(1, &uniform_buffer);
    // Vertices and indices share a stream buffer; this frame's stays bound.
    gl.BindVertexArray(vertex_array);
    for (int i = 1; i >= 0; --i) {
        gl.BindBuffer(GL_ARRAY_BUFFER, stream_buffers[i]);
        stream_sizes[i] = stream_start_size;
        gl.BufferData(GL_ARRAY_BUFFER, (GLsizeiptr)stream_sizes[i], nullptr, GL_STREAM_DRAW);
    }
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, stream_buffers[0]);
    stream = 0;
    stream_used = 0;
    gl.BindBuffer(GL_UNIFORM_BUFFER, uniform_buffer);
    gl.BufferData(GL_UNIFORM_BUFFER, sizeof block, nullptr, GL_STREAM_DRAW);
    gl.BindBufferBase(GL_UNIFORM_BUFFER, 0, uniform_buffer);
    gl.ActiveTexture(GL_TEXTURE0);
    gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.PixelStorei(GL_PACK_ALIGNMENT, 4);

    // Screen rectangles of one texture: text coverage, and dialog pictures.
    text_program = build_rect_program(d3d_gl_shader::text_fragment, "text");
    image_program = build_rect_program(d3d_gl_shader::image_fragment, "image");
    if (!text_program || !image_program)
        return false;
    text_rect = gl.GetUniformLocation(text_program, "rect");
    text_colour = gl.GetUniformLocation(text_program, "colour");
    image_rect = gl.GetUniformLocation(image_program, "rect");
    gl.GenTextures(1, &text_texture);
    gl.GenTextures(1, &overlay_texture);
    cache.valid = false;
    return true;
}

gl_backend::~gl_backend()
{
    if (context && make_current()) {
        if (earlier_frame)
            gl.DeleteSync(earlier_frame);
        for (const compiled_program& made : programs)
            gl.DeleteProgram(made.program);
        if (text_program)
            gl.DeleteProgram(text_program);
        if (image_program)
            gl.DeleteProgram(image_program);
        gl.DeleteTextures(1, &text_texture);
        gl.DeleteTextures(1, &overlay_texture);
        gl.DeleteSamplers((GLsizei)(sizeof samplers / sizeof samplers[0]), samplers);
        gl.DeleteBuffers(2, stream_buffers);
        gl.DeleteBuffers(1, &uniform_buffer);
        gl.DeleteVertexArrays(1, &vertex_array);
        gl.DeleteVertexArrays(1, &empty_vertex_array);
        gl.DeleteRenderbuffers(1, &colour_buffer);
        gl.DeleteRenderbuffers(1, &depth_buffer);
        gl.DeleteFramebuffers(1, &framebuffer);
    }
    if (context)
        SDL_GL_DeleteContext(context);
    SDL_Window* sdl = sdl_window();
    if (made_fullscreen && sdl)
        SDL_SetWindowFullscreen(sdl, 0);
}

HRESULT gl_backend::resize(DWORD new_width, DWORD new_height)
{
    if (!make_current())
        return DDERR_SURFACELOST;
    flush_held();
    forget_frames();
    width = new_width;
    height = new_height;
    gl.BindRenderbuffer(GL_RENDERBUFFER, colour_buffer);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, (GLsizei)width, (GLsizei)height);
    if (has_depth) {
        gl.BindRenderbuffer(GL_RENDERBUFFER, depth_buffer);
        gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, (GLsizei)width,
                               (GLsizei)height);
    }
    choose_framebuffer();
    return D3D_OK;
}

// Drawn into the frame object, the last frame is there. Drawn straight into
// the window, it is taken from the window's back buffer: where the swap
// copies (software rendering, most windowed drivers) that is the last frame;
// where it flips, the one before, which for the menu and between frames of
// the game looks the same. Keeping a copy at every present would cost every
// frame as much as the frame itself.
HRESULT gl_backend::overlay_begin()
{
    if (!make_current())
        return DDERR_SURFACELOST;
    // The dialog's pictures go through the buffers the frames are shown in.
    flush_held();
    forget_frames();
    if (direct) {
        gl.BindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
        gl.BlitFramebuffer(0, 0, (GLint)width, (GLint)height, 0, (GLint)height, (GLint)width, 0,
                           GL_COLOR_BUFFER_BIT, GL_NEAREST);
        gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    }
    cache.valid = false;
    return D3D_OK;
}

HRESULT gl_backend::overlay_show(int w, int h, const DWORD* argb)
{
    if (w <= 0 || h <= 0 || !argb)
        return DDERR_INVALIDPARAMS;
    if (!make_current())
        return DDERR_SURFACELOST;
    show_frame();
    int drawable_width = 0, drawable_height = 0;
    SDL_GL_GetDrawableSize(sdl_window(), &drawable_width, &drawable_height);
    gl.Viewport(0, 0, drawable_width, drawable_height);
    gl.BindTexture(GL_TEXTURE_2D, overlay_texture);
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, argb);
    // The picture's top row first: its first corner is the window's top left.
    const float whole[4] = {-1.0f, 1.0f, 1.0f, -1.0f};
    draw_image(overlay_texture, whole);
    SDL_GL_SwapWindow(sdl_window());
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    return D3D_OK;
}

void gl_backend::overlay_end()
{
    if (!make_current())
        return;
    forget_frames();
    // The next present shows the window as it was before the dialog.
    show_frame();
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    cache.valid = false;
}

HRESULT gl_backend::read_pixels(DWORD x, DWORD y, DWORD w, DWORD h, DWORD* argb)
{
    if (!make_current())
        return DDERR_SURFACELOST;
    flush_held();
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    gl.ReadPixels((GLint)x, gl_row((GLint)y, (GLint)h), (GLsizei)w, (GLsizei)h, GL_BGRA,
                  GL_UNSIGNED_BYTE, argb);
    if (direct)  // GL gave the bottom row first
        for (DWORD top = 0, bottom = h - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(argb + (size_t)top * w, argb + (size_t)(top + 1) * w,
                             argb + (size_t)bottom * w);
    return D3D_OK;
}

}  // namespace d3d_gl

d3d_backend* d3d_gl_backend_make(void)
{
    return new d3d_gl::gl_backend();
}
