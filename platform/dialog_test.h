// The scripted mode of the dialog host, for tests: the steps a player would
// take in the dialogs that open, given before they open.
//
// While the script is on (and always without a video driver) a dialog does
// not wait: once its procedure has answered WM_INITDIALOG it takes the
// queued steps, one after the other, each as real input through the window
// system (key presses, and clicks at the place where the control is at that
// moment); when the steps run out it is cancelled as by Esc, and ended with
// IDCANCEL if its procedure keeps it open. Steps are shared by every dialog
// that opens, in order.
#pragma once

#include "platform/dialog.h"

void dialog_script_begin(void);
// Ends the scripted mode and forgets the steps left and what was shown.
void dialog_script_end(void);

// A key press and release; `key` is an SDL key name ("Return", "Escape",
// "Tab", "Down", "Space", "A"), `mod` PLATFORM_MOD_* of win32_test.h.
void dialog_script_key(const char* key, int mod);
// Typed text.
void dialog_script_text(const char* text);
// A left click at the middle of control `id` of the dialog on top.
void dialog_script_click(int id);
// A left click on item `item` of the open list of combo box `id` (open it
// with a click first).
void dialog_script_click_item(int id, int item);
// Calls `check(dialog, data)` with the dialog on top, to look at it.
typedef void (*dialog_script_funct)(HWND dialog, void* data);
void dialog_script_call(dialog_script_funct check, void* data);

// Dialogs opened since the script began, their captions in order.
int dialog_shown_count(void);
const char* dialog_shown_caption(int index);

// Paints the dialogs open over `owner` into `argb` (the owner's client size,
// top row first, transparent where no dialog is), as the window shows them.
// Returns 0 when no dialog is open over it.
int dialog_paint(HWND owner, DWORD* argb, int width, int height);
// A control's rectangle in the owner's client pixels; 0 when there is none.
int dialog_control_rect(HWND dialog, int id, RECT* rect);

// Forgets every dialog without messages (after win32_reset destroyed their
// windows) and ends the scripted mode.
void dialog_reset(void);
