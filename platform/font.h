// The font interface behind the GDI text calls of gdi.h. A font back-end
// loads font files, makes sized faces, measures them and draws text into a
// surface. Both back-ends pass their calls through the gate of d3d_record.h
// (names "Font.*"), so failures can be injected.
//   FreeType (the default): font files found through the path resolver,
//     faces by file or family name with a free system face when none
//     matches, antialiased text into a surface's pixels or, for the render
//     target, through the device back-end.
//   Recording (for tests): no glyphs; every face measures half as wide as
//     it is high.
#pragma once

#include "platform/gdi.h"
#include "platform/win_types.h"

struct IDirectDrawSurface7;

struct platform_font_ops {
    // Makes the faces of a font file available by name; returns the number of
    // faces added (0 on failure).
    int (*add_resource)(const char* file_name);
    int (*remove_resource)(const char* file_name);
    // A face of `height` pixels and `weight` (400 normal, 700 bold); NULL on
    // failure. `face` names a face or a font file added before.
    void* (*create)(const char* face, int height, int weight);
    void (*destroy)(void* font);
    // Returns 1 and fills the metrics of a face made by `create`.
    int (*metrics)(void* font, TEXTMETRIC* metrics);
    // Draws `count` bytes of `text` with its top left at (x, y) in the
    // colour (GDI layout) into `target`; returns 1 on success.
    int (*draw)(IDirectDrawSurface7* target, void* font, int x, int y, const char* text, int count,
                COLORREF colour);
    // How far `count` bytes of `text` advance the pen, in pixels.
    int (*text_width)(void* font, const char* text, int count);
};

// Chooses the font back-end; NULL chooses the recording one. Fonts made
// before the change must be deleted before it.
void platform_font_use(const platform_font_ops* ops);
const platform_font_ops* platform_font_current(void);
extern const platform_font_ops platform_font_recording_ops;
extern const platform_font_ops platform_font_freetype_ops;
