// The look of the dialogs: a raised grey frame with a blue caption and a
// close box, 3D push buttons, check boxes, etched group boxes, text, the
// program's emblem, and combo boxes with their open lists; text through the
// font interface (font.h) into the picture.
#include <algorithm>
#include <cstring>

#include "platform/d3d_internal.h"
#include "platform/dialog_internal.h"
#include "platform/font.h"

namespace {

constexpr DWORD FACE = 0xFFD4D0C8;
constexpr DWORD LIGHT = 0xFFFFFFFF;
constexpr DWORD SHADOW = 0xFF808080;
constexpr DWORD DARK = 0xFF404040;
constexpr DWORD BLACK = 0xFF000000;
constexpr DWORD FIELD = 0xFFFFFFFF;
constexpr DWORD TEXT = 0xFF000000;
constexpr DWORD GREYED = 0xFF808080;
constexpr DWORD SELECTED = 0xFF0A246A;
constexpr DWORD SELECTED_TEXT = 0xFFFFFFFF;
constexpr DWORD CAPTION_LEFT = 0xFF0A246A;
constexpr DWORD CAPTION_RIGHT = 0xFF3A6EA5;
constexpr DWORD CAPTION_TEXT = 0xFFFFFFFF;
constexpr DWORD DROP_SHADOW = 0x60000000;
constexpr DWORD EMBLEM_TOP = 0xFFB02020;
constexpr DWORD EMBLEM_BOTTOM = 0xFF501010;

// The picture, and a surface over its pixels for the font interface.
struct canvas {
    DWORD* pixels;
    int width, height;
    d3d_ddraw* ddraw;
    d3d_surface* surface;
};

DWORD mix(DWORD from, DWORD to, int step, int steps)
{
    DWORD out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int a = (int)((from >> shift) & 0xFF), b = (int)((to >> shift) & 0xFF);
        out |= (DWORD)(a + (b - a) * step / std::max(1, steps)) << shift;
    }
    return out;
}

// `colour` over the pixel, by the colour's alpha.
DWORD over(DWORD pixel, DWORD colour)
{
    DWORD alpha = colour >> 24;
    if (alpha == 0xFF)
        return colour;
    DWORD out_alpha = alpha + ((pixel >> 24) * (255 - alpha) + 127) / 255;
    DWORD out = out_alpha << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        DWORD a = (colour >> shift) & 0xFF, b = (pixel >> shift) & 0xFF;
        out |= ((a * alpha + b * (255 - alpha) + 127) / 255) << shift;
    }
    return out;
}

void fill(canvas& c, RECT r, DWORD colour)
{
    int left = std::max(0, (int)r.left), right = std::min(c.width, (int)r.right);
    int top = std::max(0, (int)r.top), bottom = std::min(c.height, (int)r.bottom);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            DWORD& pixel = c.pixels[(size_t)y * c.width + x];
            pixel = over(pixel, colour);
        }
}

void dot(canvas& c, int x, int y, DWORD colour)
{
    fill(c, {x, y, x + 1, y + 1}, colour);
}

// A one-pixel frame: top and left in one colour, bottom and right in another.
void frame(canvas& c, RECT r, DWORD top_left, DWORD bottom_right)
{
    fill(c, {r.left, r.top, r.right - 1, r.top + 1}, top_left);
    fill(c, {r.left, r.top, r.left + 1, r.bottom - 1}, top_left);
    fill(c, {r.left, r.bottom - 1, r.right, r.bottom}, bottom_right);
    fill(c, {r.right - 1, r.top, r.right, r.bottom}, bottom_right);
}

RECT inset(RECT r, int by)
{
    return {r.left + by, r.top + by, r.right - by, r.bottom - by};
}

void raised(canvas& c, RECT r)
{
    frame(c, r, LIGHT, DARK);
    frame(c, inset(r, 1), FACE, SHADOW);
}

void sunken(canvas& c, RECT r)
{
    frame(c, r, SHADOW, LIGHT);
    frame(c, inset(r, 1), DARK, FACE);
}

void focus_frame(canvas& c, RECT r)
{
    for (int x = r.left; x < r.right; x += 2) {
        dot(c, x, r.top, BLACK);
        dot(c, x, r.bottom - 1, BLACK);
    }
    for (int y = r.top; y < r.bottom; y += 2) {
        dot(c, r.left, y, BLACK);
        dot(c, r.right - 1, y, BLACK);
    }
}

int text_width(void* font, const std::string& text)
{
    return platform_font_current()->text_width(font, text.c_str(), (int)text.size());
}

// The text cut to `width` pixels, with "..." where it was cut.
std::string fit(void* font, const std::string& text, int width)
{
    if (text_width(font, text) <= width)
        return text;
    std::string cut = text;
    while (!cut.empty() && text_width(font, cut + "...") > width)
        cut.pop_back();
    return cut + "...";
}

void text(canvas& c, void* font, int x, int y, const std::string& text, DWORD colour)
{
    if (text.empty())
        return;
    COLORREF gdi = RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
    platform_font_current()->draw(c.surface, font, x, y, text.c_str(), (int)text.size(), gdi);
}

int font_height(const dialog_record& dialog)
{
    return dialog.font_height;
}

// Text in the middle of a rectangle.
void centred_text(canvas& c, const dialog_record& dialog, void* font, RECT r,
                  const std::string& label, DWORD colour)
{
    int width = text_width(font, label);
    text(c, font, (r.left + r.right - width) / 2, (r.top + r.bottom - font_height(dialog)) / 2,
         label, colour);
}

void arrow(canvas& c, RECT r, bool down, DWORD colour)
{
    int middle_x = (r.left + r.right) / 2, middle_y = (r.top + r.bottom) / 2;
    for (int row = 0; row < 4; ++row) {
        int y = down ? middle_y - 2 + row : middle_y + 1 - row;
        fill(c, {middle_x - 3 + row, y, middle_x + 4 - row, y + 1}, colour);
    }
}

void paint_push(canvas& c, const dialog_record& dialog, const dialog_control& control,
                bool has_focus)
{
    RECT r = dialog_control_box(control);
    bool is_default = control.is_default || has_focus ||
                      (control.id == IDOK &&
                       !(dialog.focus >= 0 &&
                         dialog.controls[(size_t)dialog.focus]->kind == DIALOG_PUSH));
    fill(c, r, FACE);
    RECT edge = r;
    if (is_default) {
        frame(c, r, BLACK, BLACK);
        edge = inset(r, 1);
    }
    if (control.pressed) {
        frame(c, edge, SHADOW, SHADOW);
    } else {
        raised(c, edge);
    }
    RECT label = control.pressed ? RECT{r.left + 1, r.top + 1, r.right + 1, r.bottom + 1} : r;
    centred_text(c, dialog, dialog.font, label, control.text, TEXT);
    if (has_focus)
        focus_frame(c, inset(r, 4));
}

void check_mark(canvas& c, RECT box)
{
    // A tick of three pixels' thickness across the box.
    static const int rise[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int i = 0; i < 7; ++i) {
        int x = box.left + 3 + i;
        int y = box.top + 3 + rise[i];
        fill(c, {x, y, x + 1, y + 3}, TEXT);
    }
}

void paint_check(canvas& c, const dialog_record& dialog, const dialog_control& control,
                 bool has_focus)
{
    RECT r = dialog_control_box(control);
    int top = (r.top + r.bottom - DIALOG_CHECK_BOX) / 2;
    RECT box = {r.left, top, r.left + DIALOG_CHECK_BOX, top + DIALOG_CHECK_BOX};
    fill(c, box, control.pressed ? FACE : FIELD);
    sunken(c, box);
    if (control.checked)
        check_mark(c, box);
    int x = box.right + 5;
    int y = (r.top + r.bottom - font_height(dialog)) / 2;
    std::string label = fit(dialog.font, control.text, std::max(0, (int)r.right - x));
    text(c, dialog.font, x, y, label, IsWindowEnabled(control.hwnd) ? TEXT : GREYED);
    if (has_focus && !label.empty())
        focus_frame(c, {x - 2, y, x + text_width(dialog.font, label) + 2, y + font_height(dialog)});
}

void paint_group(canvas& c, const dialog_record& dialog, const dialog_control& control)
{
    RECT r = dialog_control_box(control);
    RECT line = {r.left, r.top + font_height(dialog) / 2, r.right, r.bottom};
    frame(c, line, SHADOW, LIGHT);
    frame(c, inset(line, 1), LIGHT, SHADOW);
    if (control.text.empty())
        return;
    int width = text_width(dialog.font, control.text);
    fill(c, {r.left + 6, r.top, r.left + 10 + width, r.top + font_height(dialog)}, FACE);
    text(c, dialog.font, r.left + 8, r.top, control.text, TEXT);
}

void paint_text(canvas& c, const dialog_record& dialog, const dialog_control& control)
{
    RECT r = dialog_control_box(control);
    int width = text_width(dialog.font, control.text);
    int x = r.left;
    DWORD align = control.style & 0xF;
    if (align == SS_CENTER)
        x = (r.left + r.right - width) / 2;
    else if (align == SS_RIGHT)
        x = r.right - width;
    text(c, dialog.font, x, r.top, control.text, TEXT);
}

// The program's emblem: a red tile with its initial.
void paint_icon(canvas& c, const dialog_record& dialog, const dialog_control& control)
{
    RECT r = dialog_control_box(control);
    RECT tile = {r.left, r.top, r.left + 32, r.top + 32};
    for (int y = tile.top; y < tile.bottom; ++y)
        fill(c, {tile.left, y, tile.right, y + 1},
             mix(EMBLEM_TOP, EMBLEM_BOTTOM, y - tile.top, 32));
    frame(c, tile, 0xFFE08080, 0xFF300808);
    centred_text(c, dialog, dialog.bold_font, tile, "V", 0xFFFFFFFF);
}

void paint_combo(canvas& c, const dialog_record& dialog, const dialog_control& control,
                 bool has_focus)
{
    RECT r = dialog_control_box(control);
    fill(c, r, FIELD);
    sunken(c, r);
    RECT button = {r.right - 2 - DIALOG_SCROLL_WIDTH, r.top + 2, r.right - 2, r.bottom - 2};
    fill(c, button, FACE);
    if (control.dropped)
        frame(c, button, SHADOW, SHADOW);
    else
        raised(c, button);
    arrow(c, button, true, TEXT);
    RECT field = {r.left + 3, r.top + 3, button.left - 1, r.bottom - 3};
    std::string shown = fit(
        dialog.font,
        control.editable ? control.text
                         : (control.selection >= 0 && control.selection < (int)control.items.size()
                                ? control.items[(size_t)control.selection].text
                                : std::string()),
        field.right - field.left - 4);
    DWORD colour = TEXT;
    if (has_focus && !control.editable) {
        fill(c, field, SELECTED);
        colour = SELECTED_TEXT;
    }
    int y = (field.top + field.bottom - font_height(dialog)) / 2;
    text(c, dialog.font, field.left + 2, y, shown, colour);
    if (has_focus && control.editable) {
        int x = field.left + 2 + text_width(dialog.font, shown);
        fill(c, {x, field.top + 1, x + 1, field.bottom - 1}, TEXT);
    }
}

void paint_list(canvas& c, const dialog_record& dialog, const dialog_control& control)
{
    RECT list = dialog_list_rect(control);
    fill(c, list, FIELD);
    frame(c, list, BLACK, BLACK);
    int rows = dialog_list_rows(control);
    int right = list.right - 1;
    if (dialog_list_scrolls(control)) {
        RECT strip = {list.right - 1 - DIALOG_SCROLL_WIDTH, list.top + 1, list.right - 1,
                      list.bottom - 1};
        right = strip.left;
        fill(c, strip, 0xFFE8E6E0);
        RECT up = {strip.left, strip.top, strip.right, strip.top + DIALOG_SCROLL_WIDTH};
        RECT down = {strip.left, strip.bottom - DIALOG_SCROLL_WIDTH, strip.right, strip.bottom};
        for (RECT* button : {&up, &down}) {
            fill(c, *button, FACE);
            raised(c, *button);
        }
        arrow(c, up, false, TEXT);
        arrow(c, down, true, TEXT);
        // The thumb: where the rows shown lie in the whole list.
        int track_top = up.bottom, track = down.top - up.bottom;
        int count = (int)control.items.size();
        int thumb_top = track_top + track * control.top / count;
        int thumb_height = std::max(6, track * rows / count);
        RECT thumb = {strip.left, thumb_top, strip.right,
                      std::min((int)down.top, thumb_top + thumb_height)};
        fill(c, thumb, FACE);
        raised(c, thumb);
    }
    for (int row = 0; row < rows && control.top + row < (int)control.items.size(); ++row) {
        int item = control.top + row;
        RECT line = {list.left + 1, list.top + 1 + row * DIALOG_ROW, right,
                     list.top + 1 + (row + 1) * DIALOG_ROW};
        DWORD colour = TEXT;
        if (item == control.hot) {
            fill(c, line, SELECTED);
            colour = SELECTED_TEXT;
        }
        std::string label = fit(dialog.font, control.items[(size_t)item].text,
                                line.right - line.left - 6);
        text(c, dialog.font, line.left + 3, (line.top + line.bottom - font_height(dialog)) / 2,
             label, colour);
    }
}

void paint_dialog(canvas& c, const dialog_record& dialog)
{
    RECT outer = dialog_frame_rect(dialog);
    fill(c, {outer.left + 5, outer.top + 5, outer.right + 5, outer.bottom + 5}, DROP_SHADOW);
    fill(c, outer, FACE);
    raised(c, outer);
    RECT caption = dialog_caption_rect(dialog);
    int width = caption.right - caption.left;
    for (int x = caption.left; x < caption.right; ++x)
        fill(c, {x, caption.top, x + 1, caption.bottom},
             mix(CAPTION_LEFT, CAPTION_RIGHT, x - caption.left, width));
    RECT close = dialog_close_box(dialog);
    std::string title = fit(dialog.bold_font, dialog.caption, close.left - caption.left - 8);
    text(c, dialog.bold_font, caption.left + 4,
         (caption.top + caption.bottom - font_height(dialog)) / 2, title, CAPTION_TEXT);
    fill(c, close, FACE);
    if (dialog.close_pressed)
        frame(c, close, SHADOW, SHADOW);
    else
        raised(c, close);
    // The cross of the close box.
    for (int i = 0; i < 7; ++i) {
        int x = (close.left + close.right) / 2 - 4 + i, y = (close.top + close.bottom) / 2 - 3 + i;
        fill(c, {x, y, x + 2, y + 1}, TEXT);
        fill(c,
             {x, (close.top + close.bottom) / 2 + 3 - i, x + 2,
              (close.top + close.bottom) / 2 + 4 - i},
             TEXT);
    }

    const dialog_control* open_combo = nullptr;
    for (size_t i = 0; i < dialog.controls.size(); ++i) {
        const dialog_control& control = *dialog.controls[i];
        bool has_focus = (int)i == dialog.focus;
        switch (control.kind) {
        case DIALOG_PUSH:
            paint_push(c, dialog, control, has_focus);
            break;
        case DIALOG_CHECK:
            paint_check(c, dialog, control, has_focus);
            break;
        case DIALOG_GROUP:
            paint_group(c, dialog, control);
            break;
        case DIALOG_TEXT:
            paint_text(c, dialog, control);
            break;
        case DIALOG_ICON:
            paint_icon(c, dialog, control);
            break;
        case DIALOG_COMBO:
            paint_combo(c, dialog, control, has_focus);
            if (control.dropped)
                open_combo = &control;
            break;
        default:
            break;
        }
    }
    // An open list lies over everything else.
    if (open_combo)
        paint_list(c, dialog, *open_combo);
}

}  // namespace

void dialog_paint_all(const std::vector<dialog_record*>& dialogs, DWORD* argb, int width,
                      int height)
{
    memset(argb, 0, (size_t)width * (size_t)height * sizeof *argb);
    canvas c = {argb, width, height, d3d_make_ddraw(nullptr), nullptr};
    c.surface = d3d_make_surface(c.ddraw, (DWORD)width, (DWORD)height, DDSCAPS_SYSTEMMEMORY,
                                 d3d_pixel_format(D3DX_SF_A8R8G8B8), argb, width * 4);
    for (const dialog_record* dialog : dialogs)
        paint_dialog(c, *dialog);
    c.surface->Release();
    c.ddraw->Release();
}
