// Presenting in the GL back-end: the frame to the window (scaled to fit from
// the frame object, or drawn there directly), paced, and a frame that
// repeats the last shown again without being drawn (d3d_gl_repeat.h).
#include <SDL2/SDL.h>

#include "platform/d3d_gl_internal.h"

namespace d3d_gl {

// A held frame that repeats the last is not drawn where the buffer the swap
// shows holds its picture, or can be given it for less than drawing it.
HRESULT gl_backend::present()
{
    SDL_Window* sdl = sdl_window();
    if (!make_current()) {
        forget_frames();
        return DDERR_SURFACELOST;
    }
    bool again = repeat.holding && gl_repeat_same(repeat) && show_again();
    if (!again) {
        flush_held();
        // The frames after this one are to be held, and a swap leaves the
        // window's back buffer undefined: a copy keeps their picture.
        if (direct && !kept_copy && gl_repeat_run(repeat, true) >= GL_REPEAT_FRAMES) {
            copy_picture(0, framebuffer);
            kept_copy = true;
        }
    }
    if (!direct)
        show_frame();
    SDL_GL_SwapWindow(sdl);
    limit_frames_in_flight();
    if (paced)
        frame_pacer_pace(&pacer, refresh_rate);
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
    gl_repeat_presented(&repeat, !again);
    kept_copy = kept_copy && repeat.holding;
    return D3D_OK;
}

// Whether the buffer this present shows holds the picture of the frames
// before, or was given it: the frame object keeps it; the window's back
// buffer is given the kept copy.
bool gl_backend::show_again()
{
    if (!direct)
        return true;
    if (!kept_copy)
        return false;
    copy_picture(framebuffer, 0);
    return true;
}

// The colour of one framebuffer into the other, row for row.
void gl_backend::copy_picture(GLuint from, GLuint to)
{
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, from);
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    gl.BlitFramebuffer(0, 0, (GLint)width, (GLint)height, 0, 0, (GLint)width, (GLint)height,
                       GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl.BindFramebuffer(GL_FRAMEBUFFER, draw_framebuffer());
}

void gl_backend::forget_frames()
{
    gl_repeat_forget(&repeat);
    kept_copy = false;
}

// Until the frame's first call, nothing is held.
void gl_backend::flush_held()
{
    if (!repeat.holding || repeat.frame.empty())
        return;
    repeat.holding = false;
    size_t at = 0;
    gl_repeat_call call;
    while (gl_repeat_next(repeat, &at, &call))
        if (call.is_draw)
            draw_now(call.state, call.draw);
        else
            clear_now(call.clear_flags, call.clear_colour, call.clear_depth);
}

void gl_backend::limit_frames_in_flight()
{
    const GLuint64 one_second = 1000000000u;  // a stalled driver does not stall the game
    earlier_frame_done = false;
    if (earlier_frame) {
        GLenum waited = gl.ClientWaitSync(earlier_frame, GL_SYNC_FLUSH_COMMANDS_BIT, one_second);
        earlier_frame_done = waited == GL_ALREADY_SIGNALED || waited == GL_CONDITION_SATISFIED;
        gl.DeleteSync(earlier_frame);
    }
    earlier_frame = gl.FenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    // The next frame writes into the other stream buffer, which the frame
    // before the last used: finished, unless the wait timed out.
    stream_switch = true;
    stream_safe = earlier_frame_done;
}

void gl_backend::show_frame()
{
    int drawable_width = 0, drawable_height = 0;
    SDL_GL_GetDrawableSize(sdl_window(), &drawable_width, &drawable_height);
    // The window's rows run bottom up: y is the picture's lowest row.
    RECT shown = d3dx_frame_rect(width, height, drawable_width, drawable_height);
    int x = shown.left, y = drawable_height - shown.bottom;
    int w = shown.right - shown.left, h = shown.bottom - shown.top;
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    if (w != drawable_width || h != drawable_height) {
        gl.ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        gl.Clear(GL_COLOR_BUFFER_BIT);
    }
    // The frame is kept top row first; the window's rows run bottom up.
    bool same_size = (DWORD)w == width && (DWORD)h == height;
    gl.BlitFramebuffer(0, 0, (GLint)width, (GLint)height, x, y + h, x + w, y, GL_COLOR_BUFFER_BIT,
                       same_size ? GL_NEAREST : GL_LINEAR);
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
}

void gl_backend::draw_image(GLuint texture, const float rect[4])
{
    gl.UseProgram(image_program);
    gl.BindVertexArray(empty_vertex_array);
    gl.BindTexture(GL_TEXTURE_2D, texture);
    gl.BindSampler(0, sampler_for(0, 0, 2, 2));
    gl.Enable(GL_BLEND);
    gl.BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl.Disable(GL_DEPTH_TEST);
    gl.Disable(GL_CULL_FACE);
    gl.PolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    gl.Uniform4fv(image_rect, 1, rect);
    gl.DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    cache.valid = false;
}

}  // namespace d3d_gl
