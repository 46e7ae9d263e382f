// Inside the dialog host: the records of open dialogs and their controls,
// their layout in pixels, and the painter (dialog_paint.cpp). Only the
// platform folder includes this.
#pragma once

#include <string>
#include <vector>

#include "platform/dialog.h"

enum dialog_control_kind {
    DIALOG_PUSH,
    DIALOG_CHECK,
    DIALOG_GROUP,
    DIALOG_TEXT,
    DIALOG_ICON,
    DIALOG_COMBO,
    DIALOG_INERT,  // a class the host does not know: shown as nothing
};

// Pixel sizes of the look.
enum {
    DIALOG_BORDER = 3,
    DIALOG_CAPTION = 22,
    DIALOG_COMBO_HEIGHT = 21,
    DIALOG_ROW = 17,           // one item of an open list
    DIALOG_MAX_ROWS = 8,       // items an open list shows at once
    DIALOG_SCROLL_WIDTH = 16,  // the scroll strip of a longer list
    DIALOG_CHECK_BOX = 13,
    DIALOG_TEXT_LIMIT = 255,  // characters an editable combo box takes
};

struct dialog_record;

struct dialog_combo_item {
    std::string text;
    LPARAM data;
};

struct dialog_control {
    dialog_record* dialog;
    HWND hwnd;
    int id;
    int kind;
    DWORD style;
    std::string text;  // the caption; an editable combo box's field
    RECT rect;         // in the dialog's client pixels (a combo box: its field)
    int checked;
    bool auto_check;
    bool is_default;
    bool pressed;  // held down by the mouse or the space bar
    // Combo boxes.
    std::vector<dialog_combo_item> items;
    int selection;  // -1: none
    bool editable;
    bool extended_ui;
    bool dropped;
    int hot;  // the item an open list highlights
    int top;  // the first item an open list shows
};

struct dialog_record {
    HWND hwnd;
    HWND owner;  // as given (NULL, a window, or a dialog)
    HWND top;    // the top-level window the dialog is drawn in (NULL: none)
    DLGPROC proc;
    std::string caption;
    std::string face;
    int font_height;
    void* font;
    void* bold_font;
    bool centred;
    int dialog_x, dialog_y;  // the template's position in pixels
    int client_width, client_height;
    POINT origin;  // the client area's top left in the top window's client pixels
    std::vector<dialog_control*> controls;
    int focus;          // index of the focused control, -1 none
    int mouse_control;  // index of the control the left button went down on, -1 none
    bool close_pressed;
    bool ended;
    INT_PTR result;
    bool dirty;
};

// Layout, in the top window's client pixels.
RECT dialog_frame_rect(const dialog_record& dialog);  // caption and border included
RECT dialog_caption_rect(const dialog_record& dialog);
RECT dialog_close_box(const dialog_record& dialog);
RECT dialog_control_box(const dialog_control& control);
// The open list of a combo box: the whole list, its rows, and whether it has
// a scroll strip (more items than rows).
RECT dialog_list_rect(const dialog_control& control);
int dialog_list_rows(const dialog_control& control);
bool dialog_list_scrolls(const dialog_control& control);

bool dialog_rect_has(const RECT& rect, int x, int y);

// Paints `dialogs` (bottom first) into a `width` x `height` picture,
// transparent where no dialog is.
void dialog_paint_all(const std::vector<dialog_record*>& dialogs, DWORD* argb, int width,
                      int height);
