// The recording font back-end: no glyphs, every call through the gate.
#include "platform/font.h"

#include "platform/d3d_internal.h"

namespace {

struct recorded_face {
    int height;
    int weight;
};

int add_resource(const char* file_name)
{
    return SUCCEEDED(d3d_call("Font.AddResource", "%s", file_name)) ? 1 : 0;
}

int remove_resource(const char* file_name)
{
    return SUCCEEDED(d3d_call("Font.RemoveResource", "%s", file_name)) ? 1 : 0;
}

void* create(const char* face, int height, int weight)
{
    if (FAILED(d3d_call("Font.Create", "%s %d %d", face, height, weight)))
        return nullptr;
    return new recorded_face{height, weight};
}

void destroy(void* font)
{
    d3d_call("Font.Destroy", "%s", "");
    delete (recorded_face*)font;
}

// Without a face the context's own font is 16 pixels high.
int metrics(void* font, TEXTMETRIC* metrics)
{
    if (FAILED(d3d_call("Font.Metrics", "%s", "")))
        return 0;
    const recorded_face* face = (const recorded_face*)font;
    int height = face ? face->height : 16;
    *metrics = {};
    metrics->tmHeight = height;
    metrics->tmAscent = height - height / 5;
    metrics->tmDescent = height / 5;
    metrics->tmAveCharWidth = height / 2;
    metrics->tmMaxCharWidth = height;
    metrics->tmWeight = face ? face->weight : 400;
    return 1;
}

int draw(IDirectDrawSurface7*, void* font, int x, int y, const char* text, int count,
         COLORREF colour)
{
    const recorded_face* face = (const recorded_face*)font;
    return SUCCEEDED(d3d_call("Font.Draw", "%d %d %d 0x%06x %.*s", face ? face->height : 0, x, y,
                              colour, count, text))
               ? 1
               : 0;
}

// Every character is as wide as the face's average.
int text_width(void* font, const char*, int count)
{
    const recorded_face* face = (const recorded_face*)font;
    return (face ? face->height : 16) / 2 * count;
}

}  // namespace

const platform_font_ops platform_font_recording_ops = {
    add_resource, remove_resource, create, destroy, metrics, draw, text_width};
