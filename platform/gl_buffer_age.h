// What the driver tells of the window's back buffer after a swap: its age.
//
// A swap may hand back a buffer that holds any earlier frame, or nothing
// defined. Drivers that offer GLX_EXT_buffer_age or EGL_EXT_buffer_age say
// which: a back buffer of age N holds the frame presented N swaps ago, and
// one of age 0 holds nothing defined. The entry points come through SDL, from
// the interface (GLX or EGL) SDL made the context with; only the platform
// folder includes this.
#pragma once

struct gl_buffer_age {
    int (*query)(const gl_buffer_age* age);  // NULL: the driver tells no age
    void* (*current_display)(void);
    unsigned long (*glx_drawable)(void);
    void (*glx_query)(void* display, unsigned long drawable, int attribute, unsigned int* value);
    void* (*egl_surface)(int which);
    unsigned (*egl_query)(void* display, void* surface, int attribute, int* value);
};

// Looks for the driver's answer, with the window's context current. False
// when it gives none (the interface lacks the extension, or is not known).
bool gl_buffer_age_start(gl_buffer_age* age);

// The age of the current back buffer: N, it holds the frame presented N swaps
// ago; 0, nothing defined or no answer.
int gl_buffer_age_now(const gl_buffer_age& age);
