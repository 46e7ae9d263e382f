// The dialog host: templates, the records of dialogs and controls, their
// messages, the player's keys and mouse, the modal loop and the scripted mode.
// See dialog.h.
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/d3d_internal.h"
#include "platform/dialog_internal.h"
#include "platform/dialog_test.h"
#include "platform/font.h"
#include "platform/timer.h"
#include "platform/win32_test.h"
#include "platform/window_internal.h"

namespace {

// One control of a template, whichever form it came in.
struct item_layout {
    std::string class_name;  // upper case
    std::string text;
    int id;
    short x, y, cx, cy;
    DWORD style;
};
struct dialog_layout {
    DWORD style;
    short x, y, cx, cy;
    std::string caption;
    std::string face;
    int point_size;
    std::vector<item_layout> items;
};

enum step_kind { STEP_KEY, STEP_TEXT, STEP_CLICK, STEP_CLICK_ITEM, STEP_CALL };
struct script_step {
    int kind;
    std::string text;  // key name or typed text
    int mod;
    int id;
    int item;
    dialog_script_funct call;
    void* data;
};

struct named_resource {
    std::string name;
    const platform_dialog_resource* resource;
};

struct host_state {
    std::vector<named_resource> resources;
    std::vector<dialog_record*> open;  // bottom first
    bool scripted = false;
    std::deque<script_step> steps;
    std::vector<std::string> shown;
};

host_state& host()
{
    static host_state* s = new host_state();  // lives for the whole run
    return *s;
}

// ---- layout

int pixels_x(int units)
{
    return units * 7 / 4;
}

int pixels_y(int units)
{
    return units * 14 / 8;
}

dialog_record* dialog_of(HWND window)
{
    for (dialog_record* dialog : host().open)
        if (dialog->hwnd == window)
            return dialog;
    return nullptr;
}

dialog_control* control_of(HWND window)
{
    return (dialog_control*)platform_window_data(window);
}

dialog_control* find_control(const dialog_record* dialog, int id)
{
    if (!dialog)
        return nullptr;
    for (dialog_control* control : dialog->controls)
        if (control->id == id)
            return control;
    return nullptr;
}

HWND top_window(HWND window)
{
    while (window && GetParent(window))
        window = GetParent(window);
    return window;
}

// Puts the dialog in the middle of its window (or at its place), inside it.
void place(dialog_record* dialog)
{
    RECT client = {0, 0, 640, 480};
    if (dialog->top)
        GetClientRect(dialog->top, &client);
    int frame_width = dialog->client_width + 2 * DIALOG_BORDER;
    int frame_height = dialog->client_height + 2 * DIALOG_BORDER + DIALOG_CAPTION;
    int x = dialog->centred ? (client.right - frame_width) / 2 : dialog->dialog_x;
    int y = dialog->centred ? (client.bottom - frame_height) / 2 : dialog->dialog_y;
    x = std::max(0, std::min(x, (int)client.right - frame_width));
    y = std::max(0, std::min(y, (int)client.bottom - frame_height));
    POINT origin = {x + DIALOG_BORDER, y + DIALOG_BORDER + DIALOG_CAPTION};
    if (origin.x != dialog->origin.x || origin.y != dialog->origin.y) {
        dialog->origin = origin;
        dialog->dirty = true;
    }
}

// ---- templates

std::string upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return text;
}

// A zero-terminated UTF-16 string of at most 1024 characters; characters
// beyond Latin-1 become '?'.
std::string read_wide(const WCHAR*& cursor)
{
    std::string text;
    for (int i = 0; i < 1024 && *cursor; ++i, ++cursor)
        text += (char)(*cursor <= 0xFF ? *cursor : '?');
    while (*cursor)
        ++cursor;
    ++cursor;
    return text;
}

// A string or an ordinal (0xFFFF and a number), as menus, classes and texts
// are given.
std::string read_name(const WCHAR*& cursor, int* ordinal)
{
    *ordinal = -1;
    if (*cursor == 0xFFFF) {
        *ordinal = cursor[1];
        cursor += 2;
        return "";
    }
    return read_wide(cursor);
}

std::string class_of_ordinal(int ordinal)
{
    switch (ordinal) {
    case 0x0080:
        return "BUTTON";
    case 0x0082:
        return "STATIC";
    case 0x0085:
        return "COMBOBOX";
    default:
        return "";
    }
}

bool parse_template(const DLGTEMPLATE* dialog_template, dialog_layout* layout)
{
    if (!dialog_template)
        return false;
    const uint8_t* start = (const uint8_t*)dialog_template;
    DLGTEMPLATE header;
    memcpy(&header, start, sizeof header);
    layout->style = header.style;
    layout->x = header.x;
    layout->y = header.y;
    layout->cx = header.cx;
    layout->cy = header.cy;
    const WCHAR* cursor = (const WCHAR*)(start + sizeof header);
    int ordinal = 0;
    read_name(cursor, &ordinal);  // menu: none
    read_name(cursor, &ordinal);  // class: the dialog's own
    layout->caption = read_wide(cursor);
    layout->point_size = 8;
    if (header.style & DS_SETFONT) {
        layout->point_size = *cursor++;
        layout->face = read_wide(cursor);
    }
    for (int i = 0; i < header.cdit; ++i) {
        size_t offset = (size_t)((const uint8_t*)cursor - start);
        offset = (offset + 3) & ~(size_t)3;
        DLGITEMTEMPLATE item;
        memcpy(&item, start + offset, sizeof item);
        cursor = (const WCHAR*)(start + offset + sizeof item);
        item_layout made = {};
        std::string class_name = read_name(cursor, &ordinal);
        made.class_name = ordinal >= 0 ? class_of_ordinal(ordinal) : upper(class_name);
        made.text = read_name(cursor, &ordinal);
        WORD extra = *cursor++;
        cursor = (const WCHAR*)((const uint8_t*)cursor + extra);
        made.id = (int)(short)item.id;
        made.x = item.x;
        made.y = item.y;
        made.cx = item.cx;
        made.cy = item.cy;
        made.style = item.style;
        layout->items.push_back(made);
    }
    return true;
}

void layout_of_resource(const platform_dialog_resource& resource, dialog_layout* layout)
{
    layout->style = resource.style;
    layout->x = resource.x;
    layout->y = resource.y;
    layout->cx = resource.cx;
    layout->cy = resource.cy;
    layout->caption = resource.caption ? resource.caption : "";
    layout->face = resource.font ? resource.font : "";
    layout->point_size = resource.point_size ? resource.point_size : 8;
    for (int i = 0; resource.items && i < resource.item_count; ++i) {
        const platform_dialog_item& item = resource.items[i];
        layout->items.push_back({upper(item.class_name ? item.class_name : ""),
                                 item.text ? item.text : "", item.id, item.x, item.y, item.cx,
                                 item.cy, item.style | WS_CHILD | WS_VISIBLE});
    }
}

// ---- controls

int kind_of(const item_layout& item)
{
    DWORD type = item.style & 0xF;
    if (item.class_name == "BUTTON") {
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX)
            return DIALOG_CHECK;
        if (type == BS_GROUPBOX)
            return DIALOG_GROUP;
        return DIALOG_PUSH;
    }
    if (item.class_name == "STATIC")
        return type == SS_ICON ? DIALOG_ICON : DIALOG_TEXT;
    if (item.class_name == "COMBOBOX")
        return DIALOG_COMBO;
    return DIALOG_INERT;
}

bool takes_focus(const dialog_control* control)
{
    return (control->kind == DIALOG_PUSH || control->kind == DIALOG_CHECK ||
            control->kind == DIALOG_COMBO) &&
           IsWindowEnabled(control->hwnd);
}

void notify(dialog_control* control, WORD code)
{
    SendMessage(control->dialog->hwnd, WM_COMMAND, MAKEWPARAM((WORD)control->id, code),
                (LPARAM)control->hwnd);
}

// The command of a button the player pressed, also when the dialog has no
// such control (Enter and Esc).
void command(dialog_record* dialog, int id)
{
    if (dialog_control* control = find_control(dialog, id))
        notify(control, BN_CLICKED);
    else
        SendMessage(dialog->hwnd, WM_COMMAND, MAKEWPARAM((WORD)id, BN_CLICKED), 0);
}

void click(dialog_control* control)
{
    control->dialog->dirty = true;
    if (control->kind == DIALOG_CHECK && control->auto_check)
        control->checked = control->checked ? BST_UNCHECKED : BST_CHECKED;
    if (control->kind == DIALOG_PUSH || control->kind == DIALOG_CHECK)
        notify(control, BN_CLICKED);
}

const char* combo_text(const dialog_control* control)
{
    if (control->editable)
        return control->text.c_str();
    if (control->selection >= 0 && control->selection < (int)control->items.size())
        return control->items[(size_t)control->selection].text.c_str();
    return "";
}

void clamp_top(dialog_control* control)
{
    int last_top = std::max(0, (int)control->items.size() - dialog_list_rows(*control));
    control->top = std::max(0, std::min(control->top, last_top));
    control->dialog->dirty = true;
}

// Scrolls an open list so that `item` shows.
void scroll_to(dialog_control* control, int item)
{
    int rows = dialog_list_rows(*control);
    if (item < control->top)
        control->top = item;
    if (item >= control->top + rows)
        control->top = item - rows + 1;
    clamp_top(control);
}

void open_list(dialog_control* control, bool open)
{
    if (control->dropped == open || (open && control->items.empty()))
        return;
    control->dropped = open;
    control->hot = std::max(0, control->selection);
    scroll_to(control, control->hot);
    control->dialog->dirty = true;
}

// The player chose an item (from the list, or with the arrow keys).
void choose(dialog_control* control, int item)
{
    if (item < 0 || item >= (int)control->items.size())
        return;
    control->dropped = false;
    control->selection = item;
    if (control->editable)
        control->text = control->items[(size_t)item].text;
    control->dialog->dirty = true;
    notify(control, CBN_SELCHANGE);
}

LRESULT copy_text(const std::string& text, WPARAM size, LPARAM buffer)
{
    char* out = (char*)buffer;
    if (!out || size == 0)
        return 0;
    size_t length = std::min(text.size(), (size_t)size - 1);
    memcpy(out, text.data(), length);
    out[length] = '\0';
    return (LRESULT)length;
}

LRESULT combo_message(dialog_control* control, UINT message, WPARAM wparam, LPARAM lparam)
{
    std::vector<dialog_combo_item>& items = control->items;
    bool in_range = wparam < items.size();
    switch (message) {
    case CB_ADDSTRING:
        items.push_back({lparam ? (const char*)lparam : "", 0});
        return (LRESULT)items.size() - 1;
    case CB_GETCOUNT:
        return (LRESULT)items.size();
    case CB_GETCURSEL:
        return control->selection;
    case CB_SETCURSEL:
        control->selection = in_range ? (int)wparam : -1;
        if (control->editable)
            control->text = in_range ? items[wparam].text : "";
        return in_range ? (LRESULT)wparam : CB_ERR;
    case CB_GETLBTEXT:
        return in_range ? copy_text(items[wparam].text, items[wparam].text.size() + 1, lparam)
                        : CB_ERR;
    case CB_GETLBTEXTLEN:
        return in_range ? (LRESULT)items[wparam].text.size() : CB_ERR;
    case CB_RESETCONTENT:
        items.clear();
        control->selection = -1;
        control->dropped = false;
        control->top = control->hot = 0;
        if (control->editable)
            control->text.clear();
        return 0;
    case CB_GETITEMDATA:
        return in_range ? items[wparam].data : CB_ERR;
    case CB_SETITEMDATA:
        if (!in_range)
            return CB_ERR;
        items[wparam].data = lparam;
        return 1;
    case CB_SETEXTENDEDUI:
        control->extended_ui = wparam != 0;
        return 0;
    case CB_SHOWDROPDOWN:
        open_list(control, wparam != 0);
        return 1;
    case CB_GETDROPPEDSTATE:
        return control->dropped ? 1 : 0;
    default:
        return 0;
    }
}

LRESULT control_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    dialog_control* control = control_of(window);
    if (!control)
        return DefWindowProc(window, message, wparam, lparam);
    control->dialog->dirty = true;
    switch (message) {
    case BM_GETCHECK:
        return control->checked;
    case BM_SETCHECK:
        control->checked = (int)wparam;
        return 0;
    case BM_CLICK:
        click(control);
        return 0;
    case WM_GETTEXT:
        return copy_text(control->kind == DIALOG_COMBO ? combo_text(control) : control->text,
                         wparam, lparam);
    case WM_GETTEXTLENGTH:
        return (LRESULT)strlen(control->kind == DIALOG_COMBO ? combo_text(control)
                                                             : control->text.c_str());
    case WM_SETTEXT:
        control->text = lparam ? (const char*)lparam : "";
        if (control->text.size() > DIALOG_TEXT_LIMIT && control->kind == DIALOG_COMBO)
            control->text.resize(DIALOG_TEXT_LIMIT);
        return TRUE;
    default:
        if (control->kind == DIALOG_COMBO && message >= CB_ADDSTRING &&
            message <= CB_GETDROPPEDSTATE)
            return combo_message(control, message, wparam, lparam);
        return DefWindowProc(window, message, wparam, lparam);
    }
}

// The window procedure of every dialog: its dialog procedure first.
LRESULT dialog_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    dialog_record* dialog = dialog_of(window);
    if (dialog && dialog->proc) {
        INT_PTR handled = dialog->proc(window, message, wparam, lparam);
        if (handled || message == WM_INITDIALOG || message == WM_COMMAND)
            return handled;
    }
    return DefWindowProc(window, message, wparam, lparam);
}

dialog_record* make_dialog(const dialog_layout& layout, HWND owner, DLGPROC procedure)
{
    dialog_record* dialog = new dialog_record();
    dialog->owner = owner;
    dialog->top = top_window(owner);
    dialog->proc = procedure;
    dialog->caption = layout.caption;
    dialog->face = layout.face;
    dialog->font_height = std::max(8, layout.point_size * 13 / 8);
    dialog->centred = (layout.style & DS_CENTER) != 0;
    dialog->dialog_x = pixels_x(layout.x);
    dialog->dialog_y = pixels_y(layout.y);
    dialog->client_width = pixels_x(layout.cx);
    dialog->client_height = pixels_y(layout.cy);
    dialog->origin = {-1, -1};
    dialog->focus = dialog->mouse_control = -1;
    dialog->hwnd = platform_window_make_inner(owner, dialog_window_proc, layout.style,
                                              layout.caption.c_str(), 0, 0, dialog->client_width,
                                              dialog->client_height);
    const platform_font_ops* fonts = platform_font_current();
    dialog->font = fonts->create(layout.face.c_str(), dialog->font_height, FW_NORMAL);
    dialog->bold_font = fonts->create(layout.face.c_str(), dialog->font_height, FW_BOLD);
    for (const item_layout& item : layout.items) {
        dialog_control* control = new dialog_control();
        control->dialog = dialog;
        control->id = item.id;
        control->kind = kind_of(item);
        control->style = item.style;
        control->text = item.text;
        int x = pixels_x(item.x), y = pixels_y(item.y);
        int height = control->kind == DIALOG_COMBO ? DIALOG_COMBO_HEIGHT : pixels_y(item.cy);
        control->rect = {x, y, x + pixels_x(item.cx), y + height};
        DWORD type = item.style & 0xF;
        control->auto_check = type == BS_AUTOCHECKBOX;
        control->is_default = control->kind == DIALOG_PUSH && type == BS_DEFPUSHBUTTON;
        control->editable = control->kind == DIALOG_COMBO && type == CBS_DROPDOWN;
        control->selection = -1;
        control->hwnd = platform_window_make_inner(dialog->hwnd, control_proc, item.style,
                                                   item.text.c_str(), x, y, control->rect.right - x,
                                                   height);
        platform_window_set_data(control->hwnd, control);
        dialog->controls.push_back(control);
    }
    place(dialog);
    return dialog;
}

void free_dialog(dialog_record* dialog)
{
    const platform_font_ops* fonts = platform_font_current();
    if (dialog->font)
        fonts->destroy(dialog->font);
    if (dialog->bold_font)
        fonts->destroy(dialog->bold_font);
    for (dialog_control* control : dialog->controls)
        delete control;
    delete dialog;
}

// ---- the player's input

// The next (step 1) or previous (-1) control that takes the focus with Tab.
void move_focus(dialog_record* dialog, int step)
{
    int count = (int)dialog->controls.size();
    for (int i = 1; i <= count; ++i) {
        int index = dialog->focus < 0 ? (step > 0 ? i - 1 : count - i)
                                      : ((dialog->focus + step * i) % count + count) % count;
        dialog_control* control = dialog->controls[(size_t)index];
        if (takes_focus(control) && (control->style & WS_TABSTOP)) {
            if (dialog->focus >= 0)
                dialog->controls[(size_t)dialog->focus]->dropped = false;
            dialog->focus = index;
            dialog->dirty = true;
            return;
        }
    }
}

dialog_control* focused(dialog_record* dialog)
{
    return dialog->focus >= 0 ? dialog->controls[(size_t)dialog->focus] : nullptr;
}

dialog_control* dropped_combo(dialog_record* dialog)
{
    for (dialog_control* control : dialog->controls)
        if (control->kind == DIALOG_COMBO && control->dropped)
            return control;
    return nullptr;
}

void press_default(dialog_record* dialog)
{
    dialog_control* control = focused(dialog);
    if (control && control->kind == DIALOG_PUSH) {
        click(control);
        return;
    }
    for (dialog_control* button : dialog->controls)
        if (button->is_default) {
            click(button);
            return;
        }
    command(dialog, IDOK);
}

void list_key(dialog_record* dialog, dialog_control* combo, WORD key, bool alt)
{
    int rows = dialog_list_rows(*combo);
    int last = (int)combo->items.size() - 1;
    switch (key) {
    case VK_UP:
    case VK_DOWN:
        if (alt) {
            choose(combo, combo->hot);
            return;
        }
        combo->hot += key == VK_UP ? -1 : 1;
        break;
    case VK_PRIOR:
        combo->hot -= rows;
        break;
    case VK_NEXT:
        combo->hot += rows;
        break;
    case VK_HOME:
        combo->hot = 0;
        break;
    case VK_END:
        combo->hot = last;
        break;
    case VK_RETURN:
    case VK_F4:
        choose(combo, combo->hot);
        return;
    case VK_TAB:
        choose(combo, combo->hot);
        move_focus(dialog, GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
        return;
    case VK_ESCAPE:
        open_list(combo, false);
        return;
    default:
        return;
    }
    combo->hot = std::max(0, std::min(combo->hot, last));
    scroll_to(combo, combo->hot);
    dialog->dirty = true;
}

void combo_key(dialog_control* combo, WORD key, bool alt)
{
    if ((key == VK_DOWN && (alt || combo->extended_ui)) || (key == VK_F4 && !combo->extended_ui)) {
        open_list(combo, true);
        return;
    }
    if (key == VK_BACK && combo->editable && !combo->text.empty()) {
        combo->text.pop_back();
        combo->dialog->dirty = true;
        return;
    }
    if (key != VK_UP && key != VK_DOWN)
        return;
    int item = combo->selection + (key == VK_UP ? -1 : 1);
    if (combo->selection < 0)
        item = 0;
    if (item != combo->selection)
        choose(combo, item);
}

void key_down(dialog_record* dialog, WORD key, LPARAM lparam)
{
    bool alt = (lparam & ((LPARAM)1 << 29)) != 0;
    // With Alt held only the keys of an open list and of closing count (so
    // Alt+Enter, the game's full-screen key, presses nothing here).
    if (alt && key != VK_UP && key != VK_DOWN && key != VK_F4)
        return;
    if (dialog_control* combo = dropped_combo(dialog)) {
        list_key(dialog, combo, key, alt);
        return;
    }
    dialog_control* control = focused(dialog);
    switch (key) {
    case VK_TAB:
        move_focus(dialog, GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
        return;
    case VK_RETURN:
        press_default(dialog);
        return;
    case VK_ESCAPE:
        command(dialog, IDCANCEL);
        return;
    case VK_F4:
        if (alt) {
            command(dialog, IDCANCEL);
            return;
        }
        break;
    case VK_SPACE:
        if (control && (control->kind == DIALOG_PUSH || control->kind == DIALOG_CHECK) &&
            !(lparam & ((LPARAM)1 << 30))) {
            control->pressed = true;
            dialog->dirty = true;
        }
        return;
    default:
        break;
    }
    if (control && control->kind == DIALOG_COMBO) {
        combo_key(control, key, alt);
        return;
    }
    if (key == VK_LEFT || key == VK_UP)
        move_focus(dialog, -1);
    else if (key == VK_RIGHT || key == VK_DOWN)
        move_focus(dialog, 1);
}

void key_up(dialog_record* dialog, WORD key)
{
    dialog_control* control = focused(dialog);
    if (key == VK_SPACE && control && control->pressed) {
        control->pressed = false;
        click(control);
    }
}

void typed(dialog_record* dialog, unsigned code)
{
    dialog_control* control = focused(dialog);
    if (control && control->kind == DIALOG_COMBO && control->editable && !control->dropped &&
        control->text.size() < DIALOG_TEXT_LIMIT) {
        control->text += (char)code;
        dialog->dirty = true;
    }
}

int item_at(const dialog_control& combo, int x, int y)
{
    RECT list = dialog_list_rect(combo);
    if (dialog_list_scrolls(combo))
        list.right -= DIALOG_SCROLL_WIDTH;
    if (!dialog_rect_has(list, x, y))
        return -1;
    int item = combo.top + (y - list.top - 1) / DIALOG_ROW;
    return item < (int)combo.items.size() ? item : -1;
}

// A press in an open list: an item, the scroll strip, or outside (closes).
void list_press(dialog_control* combo, int x, int y)
{
    RECT list = dialog_list_rect(*combo);
    int item = item_at(*combo, x, y);
    if (item >= 0) {
        choose(combo, item);
        return;
    }
    if (dialog_rect_has(list, x, y) && dialog_list_scrolls(*combo)) {
        // The scroll strip: its upper half scrolls up a row, its lower half down.
        combo->top += y < (list.top + list.bottom) / 2 ? -1 : 1;
        clamp_top(combo);
        return;
    }
    open_list(combo, false);
}

void mouse(dialog_record* dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    int x = (short)LOWORD(lparam), y = (short)HIWORD(lparam);
    if (message == WM_MOUSEWHEEL) {
        if (dialog_control* combo = dropped_combo(dialog)) {
            combo->top -= (short)HIWORD(wparam) / WHEEL_DELTA * 3;
            clamp_top(combo);
        }
        return;
    }
    dialog_control* held = dialog->mouse_control >= 0
                               ? dialog->controls[(size_t)dialog->mouse_control]
                               : nullptr;
    if (message == WM_MOUSEMOVE) {
        if (dialog_control* combo = dropped_combo(dialog)) {
            int item = item_at(*combo, x, y);
            if (item >= 0 && item != combo->hot) {
                combo->hot = item;
                dialog->dirty = true;
            }
        }
        if (held && held->pressed != dialog_rect_has(dialog_control_box(*held), x, y)) {
            held->pressed = !held->pressed;
            dialog->dirty = true;
        }
        return;
    }
    if (message == WM_LBUTTONUP) {
        if (held) {
            bool inside = dialog_rect_has(dialog_control_box(*held), x, y);
            held->pressed = false;
            dialog->mouse_control = -1;
            dialog->dirty = true;
            if (inside)
                click(held);
        }
        if (dialog->close_pressed) {
            dialog->close_pressed = false;
            if (dialog_rect_has(dialog_close_box(*dialog), x, y))
                command(dialog, IDCANCEL);
        }
        return;
    }
    if (message != WM_LBUTTONDOWN && message != WM_LBUTTONDBLCLK)
        return;
    if (dialog_control* combo = dropped_combo(dialog)) {
        list_press(combo, x, y);
        return;
    }
    if (dialog_rect_has(dialog_close_box(*dialog), x, y)) {
        dialog->close_pressed = true;
        return;
    }
    for (size_t i = 0; i < dialog->controls.size(); ++i) {
        dialog_control* control = dialog->controls[i];
        if (!takes_focus(control) || !dialog_rect_has(dialog_control_box(*control), x, y))
            continue;
        dialog->focus = (int)i;
        dialog->dirty = true;
        if (control->kind == DIALOG_COMBO) {
            open_list(control, true);
        } else {
            control->pressed = true;
            dialog->mouse_control = (int)i;
        }
        return;
    }
}

bool is_input(UINT message)
{
    return (message >= WM_KEYDOWN && message <= WM_SYSKEYUP) ||
           (message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL);
}

void input(dialog_record* dialog, const MSG& msg)
{
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        key_down(dialog, (WORD)msg.wParam, msg.lParam);
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        key_up(dialog, (WORD)msg.wParam);
        break;
    case WM_CHAR:
        typed(dialog, (unsigned)msg.wParam);
        break;
    default:
        mouse(dialog, msg.message, msg.wParam, msg.lParam);
        break;
    }
}

// ---- the script

bool nobody_answers(void)
{
    return host().scripted || win32_is_headless();
}

void feed(HWND window, int kind, int x, int y, const char* key, int mod)
{
    platform_event event = {};
    event.kind = kind;
    event.data1 = x;
    event.data2 = y;
    event.key = key;
    event.mod = mod;
    event.button = 1;
    event.clicks = 1;
    win32_feed_event(window, &event);
}

void feed_key(HWND window, const char* key, int mod)
{
    static const struct {
        int mod;
        const char* key;
    } modifiers[] = {{PLATFORM_MOD_SHIFT, "Left Shift"},
                     {PLATFORM_MOD_CTRL, "Left Ctrl"},
                     {PLATFORM_MOD_ALT, "Left Alt"}};
    for (const auto& modifier : modifiers)
        if (mod & modifier.mod)
            feed(window, PLATFORM_EVENT_KEY_DOWN, 0, 0, modifier.key, mod);
    feed(window, PLATFORM_EVENT_KEY_DOWN, 0, 0, key, mod);
    feed(window, PLATFORM_EVENT_KEY_UP, 0, 0, key, mod);
    for (const auto& modifier : modifiers)
        if (mod & modifier.mod)
            feed(window, PLATFORM_EVENT_KEY_UP, 0, 0, modifier.key, 0);
}

POINT middle(const RECT& rect)
{
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Gives the next step to the dialog on top; false when none is left.
bool next_step(dialog_record* dialog)
{
    host_state& s = host();
    if (s.steps.empty() || !dialog->top)
        return false;
    script_step step = s.steps.front();
    s.steps.pop_front();
    HWND window = dialog->top;
    dialog_control* control = find_control(dialog, step.id);
    POINT at = control ? middle(dialog_control_box(*control)) : POINT{-1, -1};
    switch (step.kind) {
    case STEP_KEY:
        feed_key(window, step.text.c_str(), step.mod);
        break;
    case STEP_TEXT:
        feed(window, PLATFORM_EVENT_TEXT, 0, 0, step.text.c_str(), 0);
        break;
    case STEP_CLICK_ITEM:
        if (control && control->dropped) {
            RECT list = dialog_list_rect(*control);
            at = {(list.left + list.right) / 2 -
                      (dialog_list_scrolls(*control) ? DIALOG_SCROLL_WIDTH : 0),
                  list.top + 1 + (step.item - control->top) * DIALOG_ROW + DIALOG_ROW / 2};
        }
        [[fallthrough]];
    case STEP_CLICK:
        feed(window, PLATFORM_EVENT_MOUSE_MOTION, at.x, at.y, nullptr, 0);
        feed(window, PLATFORM_EVENT_BUTTON_DOWN, at.x, at.y, nullptr, 0);
        feed(window, PLATFORM_EVENT_BUTTON_UP, at.x, at.y, nullptr, 0);
        break;
    case STEP_CALL:
        if (step.call)
            step.call(dialog->hwnd, step.data);
        break;
    default:
        break;
    }
    return true;
}

void add_step(script_step step)
{
    host().steps.push_back(step);
}

// ---- showing

void show(void)
{
    std::vector<dialog_record*>& open = host().open;
    if (open.empty() || !open.back()->top)
        return;
    HWND window = open.back()->top;
    d3d_backend* backend = d3dx_window_backend(window);
    for (dialog_record* dialog : open)
        dialog->dirty = false;
    if (!backend)
        return;
    RECT client = {};
    GetClientRect(window, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    std::vector<DWORD> picture((size_t)client.right * (size_t)client.bottom);
    dialog_paint_all(open, picture.data(), client.right, client.bottom);
    backend->overlay_show(client.right, client.bottom, picture.data());
}

// Esc and the close box: IDCANCEL; a procedure that keeps the dialog open
// after it is ended with IDCANCEL all the same.
void cancel(dialog_record* dialog)
{
    command(dialog, IDCANCEL);
    if (!dialog->ended) {
        dialog->ended = true;
        dialog->result = IDCANCEL;
    }
}

INT_PTR run(const dialog_layout& layout, HWND owner, DLGPROC procedure, LPARAM init_param)
{
    if (owner && !IsWindow(owner))
        return -1;
    host_state& s = host();
    dialog_record* dialog = make_dialog(layout, owner, procedure);
    if (!dialog->hwnd) {
        free_dialog(dialog);
        return -1;
    }
    s.open.push_back(dialog);
    if (nobody_answers())
        s.shown.push_back(dialog->caption);
    BOOL owner_was_disabled = owner ? EnableWindow(owner, FALSE) : FALSE;
    d3d_backend* backend = dialog->top ? d3dx_window_backend(dialog->top) : nullptr;
    if (backend && s.open.size() == 1)
        backend->overlay_begin();

    // The focus starts on the first control that Tab reaches.
    move_focus(dialog, 1);
    dialog_control* first = focused(dialog);
    SendMessage(dialog->hwnd, WM_INITDIALOG, (WPARAM)(first ? first->hwnd : nullptr), init_param);
    bool close_waiting = false, quit_waiting = false;
    int quit_code = 0;
    uint32_t last_show = 0;
    dialog->dirty = true;
    while (!dialog->ended) {
        MSG msg;
        if (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit_waiting = true;
                quit_code = (int)msg.wParam;
                cancel(dialog);
            } else if (msg.message == WM_CLOSE && msg.hwnd == dialog->top) {
                close_waiting = true;
                cancel(dialog);
            } else if (is_input(msg.message)) {
                if (msg.hwnd == dialog->top)
                    input(dialog, msg);
            } else {
                DispatchMessage(&msg);
            }
            continue;
        }
        place(dialog);
        uint32_t now = timeGetTime();
        if (dialog->dirty || now - last_show > 1000) {
            show();
            last_show = now;
        }
        if (nobody_answers()) {
            if (!next_step(dialog))
                cancel(dialog);
        } else {
            WaitMessage();
        }
    }

    s.open.erase(std::remove(s.open.begin(), s.open.end(), dialog), s.open.end());
    if (owner)
        EnableWindow(owner, owner_was_disabled ? FALSE : TRUE);
    if (backend && s.open.empty() && d3dx_window_backend(dialog->top) == backend)
        backend->overlay_end();
    else if (!s.open.empty())
        show();
    if (IsWindow(dialog->hwnd))
        DestroyWindow(dialog->hwnd);
    INT_PTR result = dialog->result;
    free_dialog(dialog);
    if (close_waiting)
        PostMessage(top_window(owner), WM_CLOSE, 0, 0);
    if (quit_waiting)
        PostQuitMessage(quit_code);
    return result;
}

}  // namespace

// ---- layout

bool dialog_rect_has(const RECT& rect, int x, int y)
{
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

RECT dialog_frame_rect(const dialog_record& dialog)
{
    return {dialog.origin.x - DIALOG_BORDER, dialog.origin.y - DIALOG_BORDER - DIALOG_CAPTION,
            dialog.origin.x + dialog.client_width + DIALOG_BORDER,
            dialog.origin.y + dialog.client_height + DIALOG_BORDER};
}

RECT dialog_caption_rect(const dialog_record& dialog)
{
    RECT frame = dialog_frame_rect(dialog);
    return {frame.left + DIALOG_BORDER, frame.top + DIALOG_BORDER, frame.right - DIALOG_BORDER,
            frame.top + DIALOG_BORDER + DIALOG_CAPTION - 2};
}

RECT dialog_close_box(const dialog_record& dialog)
{
    RECT caption = dialog_caption_rect(dialog);
    int size = caption.bottom - caption.top - 4;
    return {caption.right - 2 - size - 2, caption.top + 2, caption.right - 2,
            caption.top + 2 + size};
}

RECT dialog_control_box(const dialog_control& control)
{
    const POINT& origin = control.dialog->origin;
    return {origin.x + control.rect.left, origin.y + control.rect.top,
            origin.x + control.rect.right, origin.y + control.rect.bottom};
}

int dialog_list_rows(const dialog_control& control)
{
    return std::max(1, std::min((int)control.items.size(), (int)DIALOG_MAX_ROWS));
}

bool dialog_list_scrolls(const dialog_control& control)
{
    return (int)control.items.size() > DIALOG_MAX_ROWS;
}

// Below the field, or above it when the window has no room below.
RECT dialog_list_rect(const dialog_control& control)
{
    RECT box = dialog_control_box(control);
    int height = dialog_list_rows(control) * DIALOG_ROW + 2;
    RECT client = {0, 0, 640, 480};
    if (control.dialog->top)
        GetClientRect(control.dialog->top, &client);
    if (box.bottom + height > client.bottom && box.top - height >= 0)
        return {box.left, box.top - height, box.right, box.top};
    return {box.left, box.bottom, box.right, box.bottom + height};
}

// ---- the Win32 names

int MultiByteToWideChar(UINT, DWORD, const char* text, int length, WCHAR* wide, int wide_size)
{
    if (!text)
        return 0;
    int count = length < 0 ? (int)strlen(text) + 1 : length;
    if (wide_size == 0)
        return count;
    if (!wide || wide_size < count)
        return 0;
    for (int i = 0; i < count; ++i)
        wide[i] = (unsigned char)text[i];
    return count;
}

INT_PTR DialogBoxParam(HINSTANCE, LPCSTR template_name, HWND owner, DLGPROC procedure,
                       LPARAM init_param)
{
    for (const named_resource& known : host().resources) {
        if (template_name && known.name == template_name) {
            dialog_layout layout;
            layout_of_resource(*known.resource, &layout);
            return run(layout, owner, procedure, init_param);
        }
    }
    return -1;
}

INT_PTR DialogBoxIndirectParam(HINSTANCE, const DLGTEMPLATE* dialog_template, HWND owner,
                               DLGPROC procedure, LPARAM init_param)
{
    dialog_layout layout;
    if (!parse_template(dialog_template, &layout))
        return -1;
    return run(layout, owner, procedure, init_param);
}

BOOL EndDialog(HWND window, INT_PTR result)
{
    dialog_record* dialog = dialog_of(window);
    if (!dialog)
        return FALSE;
    dialog->ended = true;
    dialog->result = result;
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    dialog_control* control = find_control(dialog_of(dialog), id);
    return control ? control->hwnd : nullptr;
}

LRESULT SendDlgItemMessage(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessage(control, message, wparam, lparam) : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return FALSE;
    SendMessage(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    return (UINT)SendDlgItemMessage(dialog, id, BM_GETCHECK, 0, 0);
}

UINT GetDlgItemText(HWND dialog, int id, char* text, int size)
{
    if (text && size > 0)
        text[0] = '\0';
    HWND control = GetDlgItem(dialog, id);
    return control ? (UINT)GetWindowText(control, text, size) : 0;
}

void platform_register_dialog(LPCSTR name, const platform_dialog_resource* resource)
{
    if (!name || !resource)
        return;
    for (named_resource& known : host().resources) {
        if (known.name == name) {
            known.resource = resource;
            return;
        }
    }
    host().resources.push_back({name, resource});
}

// ---- the scripted mode

void dialog_script_begin(void)
{
    host().scripted = true;
    host().steps.clear();
    host().shown.clear();
}

void dialog_script_end(void)
{
    host().scripted = false;
    host().steps.clear();
    host().shown.clear();
}

void dialog_script_key(const char* key, int mod)
{
    add_step({STEP_KEY, key ? key : "", mod, 0, 0, nullptr, nullptr});
}

void dialog_script_text(const char* text)
{
    add_step({STEP_TEXT, text ? text : "", 0, 0, 0, nullptr, nullptr});
}

void dialog_script_click(int id)
{
    add_step({STEP_CLICK, "", 0, id, 0, nullptr, nullptr});
}

void dialog_script_click_item(int id, int item)
{
    add_step({STEP_CLICK_ITEM, "", 0, id, item, nullptr, nullptr});
}

void dialog_script_call(dialog_script_funct check, void* data)
{
    add_step({STEP_CALL, "", 0, 0, 0, check, data});
}

int dialog_shown_count(void)
{
    return (int)host().shown.size();
}

const char* dialog_shown_caption(int index)
{
    const std::vector<std::string>& shown = host().shown;
    return index >= 0 && index < (int)shown.size() ? shown[(size_t)index].c_str() : nullptr;
}

int dialog_paint(HWND owner, DWORD* argb, int width, int height)
{
    std::vector<dialog_record*> over;
    for (dialog_record* dialog : host().open)
        if (dialog->top == owner)
            over.push_back(dialog);
    if (over.empty() || !argb || width <= 0 || height <= 0)
        return 0;
    dialog_paint_all(over, argb, width, height);
    return 1;
}

int dialog_control_rect(HWND dialog, int id, RECT* rect)
{
    dialog_control* control = find_control(dialog_of(dialog), id);
    if (!control || !rect)
        return 0;
    *rect = dialog_control_box(*control);
    return 1;
}

void dialog_reset(void)
{
    host_state& s = host();
    for (dialog_record* dialog : s.open)
        free_dialog(dialog);
    s.open.clear();
    dialog_script_end();
}
