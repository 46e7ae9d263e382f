// Modal dialogs, the subset of the Windows dialog manager the game uses,
// under its usual names.
//
// A dialog is drawn inside its owner's window, over the picture the window
// showed when it opened (the device back-end of the window presents it; see
// d3d_internal.h), and answers the mouse and the keyboard as a person
// expects: push buttons, check boxes, static text, group boxes, the program
// icon and combo boxes (a drop-down list, or an edit field with one). Tab
// and Shift+Tab move the focus, Space presses the focused button or check
// box, Enter presses the focused push button or else the default one (IDOK),
// Esc and the close box in the caption send IDCANCEL; in a combo box Up and
// Down change the choice (with the extended interface Down opens the list),
// Alt+Down or F4 open it, and typing edits an editable one.
//
// While a dialog runs its owner is disabled: the owner still gets the
// messages the window system sends (size, focus), but the keyboard and the
// mouse go to the dialog, a close request of the owner cancels the dialog
// and then reaches the owner, and the quit message ends the dialog and
// stays queued. Accelerators are not translated.
//
// Dialogs come from templates in the Win32 in-memory format (DLGTEMPLATE,
// DialogBoxIndirectParam) or from descriptions registered by name at
// start-up (platform_register_dialog, DialogBoxParam), which stand in for
// the executable's dialog resources. Either way the layout is in dialog
// units: 7 pixels make 4 horizontal units and 14 pixels 8 vertical ones.
//
// Without a video driver (headless) and in the scripted mode of tests
// (dialog_test.h) nobody answers a dialog: it takes the scripted steps as
// its input and is then cancelled as by Esc.
#pragma once

#include <cstdint>

#include "platform/win32.h"

typedef intptr_t INT_PTR;
typedef uint16_t WCHAR;
typedef INT_PTR (*DLGPROC)(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Dialog styles (with the window styles of win32.h) and control styles:
// buttons, static controls, combo boxes.
constexpr DWORD DS_3DLOOK = 0x0004;
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_NOIDLEMSG = 0x0100;
constexpr DWORD DS_SETFOREGROUND = 0x0200;
constexpr DWORD DS_CENTER = 0x0800;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD BS_CHECKBOX = 0x2;
constexpr DWORD BS_AUTOCHECKBOX = 0x3;
constexpr DWORD BS_GROUPBOX = 0x7;
constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_CENTER = 0x1;
constexpr DWORD SS_RIGHT = 0x2;
constexpr DWORD SS_ICON = 0x3;
constexpr DWORD CBS_DROPDOWN = 0x2;
constexpr DWORD CBS_DROPDOWNLIST = 0x3;

// Button and combo-box messages, notifications and results.
enum : UINT {
    BM_GETCHECK = 0x00F0,
    BM_SETCHECK = 0x00F1,
    BM_CLICK = 0x00F5,
    CB_ADDSTRING = 0x0143,
    CB_GETCOUNT = 0x0146,
    CB_GETCURSEL = 0x0147,
    CB_GETLBTEXT = 0x0148,
    CB_GETLBTEXTLEN = 0x0149,
    CB_RESETCONTENT = 0x014B,
    CB_SETCURSEL = 0x014E,
    CB_SHOWDROPDOWN = 0x014F,
    CB_GETITEMDATA = 0x0150,
    CB_SETITEMDATA = 0x0151,
    CB_SETEXTENDEDUI = 0x0155,
    CB_GETDROPPEDSTATE = 0x0157,
};
enum { BST_UNCHECKED = 0, BST_CHECKED = 1 };
// Notification codes in the high word of WM_COMMAND's wparam. A combo box
// reports a choice the player made (not one made by CB_SETCURSEL) with
// CBN_SELCHANGE.
enum : WORD { BN_CLICKED = 0, CBN_SELCHANGE = 9 };
constexpr LRESULT CB_ERR = -1;

// The in-memory template: a DLGTEMPLATE, the menu (0), the class (0), the
// caption, with DS_SETFONT the point size and the face name, then per
// control, each on a 4-byte boundary, a DLGITEMTEMPLATE, its class (a name,
// or 0xFFFF and 0x0080 button, 0x0082 static, 0x0085 combo box), its text
// and a 0 word (no creation data). Strings are zero-terminated UTF-16.
#pragma pack(push, 2)
struct DLGTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    WORD cdit;
    short x, y, cx, cy;
};
struct DLGITEMTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    short x, y, cx, cy;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(DLGTEMPLATE) == 18 && sizeof(DLGITEMTEMPLATE) == 18,
              "the templates keep their packed layout");

// The code page of the program's 8-bit texts (Latin-1).
enum { CP_ACP = 0 };
// Characters written including the terminator when `length` is -1; with
// `wide_size` 0 the characters needed. 0 when `wide` is too small.
int MultiByteToWideChar(UINT code_page, DWORD flags, const char* text, int length, WCHAR* wide,
                        int wide_size);

// The dialog's result given to EndDialog, or -1 when the template is bad or
// names no registered dialog.
INT_PTR DialogBoxParam(HINSTANCE instance, LPCSTR template_name, HWND owner, DLGPROC procedure,
                       LPARAM init_param);
INT_PTR DialogBoxIndirectParam(HINSTANCE instance, const DLGTEMPLATE* dialog_template, HWND owner,
                               DLGPROC procedure, LPARAM init_param);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
LRESULT SendDlgItemMessage(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
UINT GetDlgItemText(HWND dialog, int id, char* text, int size);

// A dialog resource: what a resource compiler would make of the script.
struct platform_dialog_item {
    const char* class_name;  // "BUTTON", "STATIC", "COMBOBOX"
    const char* text;
    int id;  // -1 for controls nobody addresses
    short x, y, cx, cy;
    DWORD style;  // WS_CHILD | WS_VISIBLE are added
};
struct platform_dialog_resource {
    DWORD style;
    short x, y, cx, cy;
    const char* caption;
    const char* font;
    WORD point_size;
    const platform_dialog_item* items;
    int item_count;
};
// Registers `resource` (kept by pointer: static data) under `name`.
void platform_register_dialog(LPCSTR name, const platform_dialog_resource* resource);
