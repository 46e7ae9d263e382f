// The executable's three dialogs and their procedures: About/Help (IDD_ABOUT,
// the keys of the game), Rendering Options (IDD_OPTIONS, eleven switches that
// act as they are clicked) and Load Script (IDD_LOAD_SCRIPT, a script from
// the load-script list started in a fresh level, optionally remembered as
// the start-up script); and the reader of the load-script list, the text
// file "load_script.slt" (type 54, version 100) of script names in
// "win\script" two levels above the script directory.
#pragma once

#include <cstdint>

#include "platform/dialog.h"
#include "win_geo.h"

// The controls the procedures address.
enum {
    IDC_BILINEAR = 1004,
    IDC_ANTI_ALIAS = 1005,
    IDC_OLD_COLLISION = 1006,
    IDC_NOT_USED_1 = 1007,
    IDC_NOT_USED_2 = 1008,
    IDC_DYNAMIC_LIGHTING = 1009,
    IDC_COLLISION_DATA = 1012,
    IDC_TRIPLE_BUFFER = 1013,
    IDC_WIREFRAME = 1019,
    IDC_MAP_NODES = 1020,
    IDC_HIDE_GUI = 1021,
    IDC_LOAD_SCRIPT_LIST = 1013,
    IDC_LOAD_SCRIPT_REMEMBER = 1014,
};

// The About/Help dialog (F1): its key rows name, as "<key>", every key the
// game acts on (the accelerators and the keyboard bindings), each followed
// by what it does.
extern const platform_dialog_resource dialogs_about_dialog;

// Registers IDD_ABOUT, IDD_OPTIONS and IDD_LOAD_SCRIPT under those names,
// as the executable's resources.
void dialogs_register_resources(void);

// OK or Cancel end it with 1.
INT_PTR about_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Each box turns its setting over as it is clicked; OK ends it.
INT_PTR options_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR load_script_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The names of the list file, lower-cased, in file order; NULL on failure or
// for a file without names.
win_load_script* read_win_load_script_text_file(const char* win_load_script_filename);

// The load-script list the dialog holds while it is open.
extern win_load_script* dialogs_load_script_list;
extern int32_t dialogs_load_script_list_size;
