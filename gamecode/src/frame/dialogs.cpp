#include "dialogs.h"

#include <cstdio>
#include <cstring>

#include "d3dxframe.h"
#include "debug.h"
#include "dlink.h"
#include "file_io.h"
#include "gameglobals.h"
#include "runtime_services.h"
#include "script_services.h"
#include "str_util.h"
#include "token.h"

win_load_script* dialogs_load_script_list = nullptr;
int32_t dialogs_load_script_list_size = 0;

namespace {

constexpr DWORD DIALOG_STYLE = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION |
                               WS_SYSMENU;
constexpr DWORD CHECK_BOX = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD DEFAULT_BUTTON = BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr int NO_ID = -1;
constexpr int LOAD_SCRIPT_TEXT_SIZE = 150;

// ---- IDD_ABOUT: the emblem, two lines, OK, and every key the game acts on
// in two groups (F3, F6, F8 and F9 act on nothing and are not listed).

#define KEY_ROW(group_x, row, key, meaning)                                                  \
    {"STATIC", key, NO_ID, (short)((group_x) + 6), (short)(44 + 9 * (row)), 50, 8, SS_LEFT}, \
    {                                                                                        \
        "STATIC", meaning, NO_ID, (short)((group_x) + 58), (short)(44 + 9 * (row)), 100, 8,  \
            SS_LEFT                                                                          \
    }

const platform_dialog_item about_items[] = {
    {"STATIC", "", NO_ID, 7, 7, 21, 20, SS_ICON},
    {"STATIC", "Varnock, version 0.7", NO_ID, 36, 8, 200, 8, SS_LEFT},
    {"STATIC", "A single-player 3D action game. The keys of the game:", NO_ID, 36, 19, 240, 8,
     SS_LEFT},
    {"BUTTON", "OK", IDOK, 282, 7, 50, 14, DEFAULT_BUTTON},
    {"BUTTON", "Options", NO_ID, 7, 32, 160, 118, BS_GROUPBOX},
    KEY_ROW(7, 0, "<F1>", "About/Help"),
    KEY_ROW(7, 1, "<F2>", "Select Driver / Device / Mode"),
    KEY_ROW(7, 2, "<F4>", "Keyboard/Mouse/Joystick"),
    KEY_ROW(7, 3, "<F5>", "Statistics Line On/Off"),
    KEY_ROW(7, 4, "<F7>", "Hints"),
    KEY_ROW(7, 5, "<Alt+Enter>", "Toggle Fullscreen / Windowed"),
    KEY_ROW(7, 6, "<Esc>", "Menu / Back to the Level"),
    KEY_ROW(7, 7, "<Alt+X>", "Menu / Back to the Level"),
    {"BUTTON", "Controls", NO_ID, 172, 32, 160, 118, BS_GROUPBOX},
    KEY_ROW(172, 0, "<Arrow Keys>", "Forward/back/left/right"),
    KEY_ROW(172, 1, "<A>", "Run"),
    KEY_ROW(172, 2, "<B>", "Action"),
    KEY_ROW(172, 3, "<C>", "Attack/Shoot"),
    KEY_ROW(172, 4, "<L>", "Scroll Up Weapons/Items"),
    KEY_ROW(172, 5, "<M>", "Toggle Weapons/Items"),
    KEY_ROW(172, 6, "<R>", "Scroll Down Weapons/Items"),
    KEY_ROW(172, 7, "<X>", "Aim"),
    KEY_ROW(172, 8, "<Y>", "Use Item"),
    KEY_ROW(172, 9, "<Z>", "Camera Position in the F5 Line"),
    KEY_ROW(172, 10, "<Enter>", "Stand Up Whole / Menu Choice"),
};
#undef KEY_ROW

// ---- IDD_OPTIONS: eleven check boxes and OK.

#define OPTION_ROW(row, id, text)                                          \
    {                                                                      \
        "BUTTON", text, id, 7, (short)(7 + 11 * (row)), 108, 10, CHECK_BOX \
    }

const platform_dialog_item options_items[] = {
    OPTION_ROW(0, IDC_BILINEAR, "Bi-linear Filtering"),
    OPTION_ROW(1, IDC_ANTI_ALIAS, "Anti-Aliasing"),
    OPTION_ROW(2, IDC_OLD_COLLISION, "Use Old Collision Algorithm"),
    OPTION_ROW(3, IDC_NOT_USED_1, "Not Used"),
    OPTION_ROW(4, IDC_NOT_USED_2, "Not Used"),
    OPTION_ROW(5, IDC_DYNAMIC_LIGHTING, "Real-Time Lighting"),
    OPTION_ROW(6, IDC_COLLISION_DATA, "Display Collision Data"),
    OPTION_ROW(7, IDC_TRIPLE_BUFFER, "Enable Triple Buffering "),
    OPTION_ROW(8, IDC_WIREFRAME, "WireFrame Mode"),
    OPTION_ROW(9, IDC_MAP_NODES, "Display Map Nodes"),
    OPTION_ROW(10, IDC_HIDE_GUI, "Hide GUI"),
    {"BUTTON", "OK", IDOK, 36, 128, 50, 14, DEFAULT_BUTTON},
};
#undef OPTION_ROW

// ---- IDD_LOAD_SCRIPT: the list, the remember box, OK and Cancel.

const platform_dialog_item load_script_items[] = {
    {"STATIC", "Select a load script:", NO_ID, 7, 7, 150, 8, SS_LEFT},
    {"COMBOBOX", "", IDC_LOAD_SCRIPT_LIST, 7, 18, 230, 80, CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP},
    {"BUTTON", "Use this script the next time game starts", IDC_LOAD_SCRIPT_REMEMBER, 7, 44, 230,
     10, CHECK_BOX},
    {"BUTTON", "OK", IDOK, 253, 7, 50, 14, DEFAULT_BUTTON},
    {"BUTTON", "Cancel", IDCANCEL, 253, 24, 50, 14, WS_TABSTOP},
};

template <size_t count>
constexpr platform_dialog_resource resource(const char* caption, short width, short height,
                                            const platform_dialog_item (&items)[count])
{
    return {DIALOG_STYLE, 0, 0, width, height, caption, "MS Sans Serif", 8, items, (int)count};
}

}  // namespace

const platform_dialog_resource dialogs_about_dialog = resource("About/Help", 339, 157, about_items);

namespace {

const platform_dialog_resource options_dialog = resource("Rendering Options", 122, 146,
                                                         options_items);
const platform_dialog_resource load_script_dialog = resource("Dialog", 310, 92, load_script_items);

// ---- the options

// A setting the options dialog turns over: one of the frame's, through its
// setter, or a switch of game_globals. The two "Not Used" boxes have none.
struct option {
    int id;
    int32_t (*get)(void);
    int (*set)(int32_t);
    int32_t* flag;
};

const option* options(void)
{
    static const option table[] = {
        {IDC_BILINEAR, d3dxframe_get_bilinear_filtering, d3dxframe_set_bilinear_filtering, nullptr},
        {IDC_ANTI_ALIAS, d3dxframe_get_anti_alias, d3dxframe_set_anti_alias, nullptr},
        {IDC_OLD_COLLISION, nullptr, nullptr, &game_globals.bUseOldCollisionAlgorithm},
        {IDC_NOT_USED_1, nullptr, nullptr, nullptr},
        {IDC_NOT_USED_2, nullptr, nullptr, nullptr},
        {IDC_DYNAMIC_LIGHTING, d3dxframe_get_dynamic_lighting, d3dxframe_set_dynamic_lighting,
         nullptr},
        {IDC_COLLISION_DATA, nullptr, nullptr, &game_globals.bDisplayCollisionData},
        {IDC_TRIPLE_BUFFER, d3dxframe_get_triple_buffer, d3dxframe_set_triple_buffer, nullptr},
        {IDC_WIREFRAME, nullptr, nullptr, &game_globals.wireframe_mode},
        {IDC_MAP_NODES, nullptr, nullptr, &game_globals.display_map_nodes},
        {IDC_HIDE_GUI, nullptr, nullptr, &game_globals.hide_gui},
        {0, nullptr, nullptr, nullptr},
    };
    return table;
}

int32_t option_value(const option& entry)
{
    if (entry.get)
        return entry.get();
    return entry.flag ? *entry.flag : 0;
}

// ---- the load-script list

int32_t remember_script = 0;

void free_load_script_list(void)
{
    if (dialogs_load_script_list)
        free_win_load_script_list(dialogs_load_script_list);
    dialogs_load_script_list = nullptr;
    dialogs_load_script_list_size = 0;
}

bool init_load_script_dialog(HWND dialog)
{
    char path[4 * GAMEGLOBALS_PATH_SIZE];
    snprintf(path, sizeof path, "%s\\..\\..\\%s\\%s.%s", game_globals.script_pathname,
             "win\\script", "load_script", "slt");
    free_load_script_list();
    dialogs_load_script_list = read_win_load_script_text_file(path);
    if (!dialogs_load_script_list) {
        char text[sizeof path + 32];
        snprintf(text, sizeof text, "Could not open '%s'", path);
        LOG_NOTICE("%s", text);
        MessageBox(nullptr, text, "Load Script List Not Loaded", MB_ICONWARNING);
        EndDialog(dialog, 0);
        return false;
    }
    dialogs_load_script_list_size = (int32_t)dlink_count((const dlink*)dialogs_load_script_list);
    win_load_script* node = dialogs_load_script_list;
    LRESULT chosen = 0;
    int position = 0;
    do {
        LRESULT index = SendDlgItemMessage(dialog, IDC_LOAD_SCRIPT_LIST, CB_ADDSTRING, 0,
                                           (LPARAM)node->win_load_script_name);
        SendDlgItemMessage(dialog, IDC_LOAD_SCRIPT_LIST, CB_SETITEMDATA, (WPARAM)index, position);
        if (index != dlink_pos((const dlink*)dialogs_load_script_list, (const dlink*)node))
            LOG_ERROR("item_idx mismatch for '%s'...continuing\n", node->win_load_script_name);
        if (strcmp(node->win_load_script_name, game_globals.startup_script_filename) == 0)
            chosen = index;
        node = node->next_ptr;
        ++position;
    } while (node != dialogs_load_script_list);
    SendDlgItemMessage(dialog, IDC_LOAD_SCRIPT_LIST, CB_SETCURSEL, (WPARAM)chosen, 0);
    SendDlgItemMessage(dialog, IDC_LOAD_SCRIPT_LIST, CB_SETEXTENDEDUI, TRUE, 0);
    remember_script = 1;
    CheckDlgButton(dialog, IDC_LOAD_SCRIPT_REMEMBER, BST_CHECKED);
    return true;
}

// Clears the running level and starts the chosen script.
void load_chosen_script(HWND dialog)
{
    char name[LOAD_SCRIPT_TEXT_SIZE];
    GetDlgItemText(dialog, IDC_LOAD_SCRIPT_LIST, name, sizeof name);
    to_lower_case(name);
    if (!dialogs_load_script_list || !dlink_find((dlink*)dialogs_load_script_list, name))
        return;
    if (remember_script)
        STR_CPY(game_globals.startup_script_filename, sizeof game_globals.startup_script_filename,
                name);
    if (!script_cleanup_script_list())
        LOG_ERROR("Could not script_cleanup_script_list to load '%s'\n", name);
    if (!entity_unload_all(1))
        LOG_ERROR("Could not entity_unload_all to load '%s'\n", name);
    varnock_set_action_button_script("none");
    varnock_set_letterbox(0);
    varnock_clear_display_text();
    gameglobals_reset_level_state();
    script_initiate_script(name, nullptr);
}

}  // namespace

void dialogs_register_resources(void)
{
    platform_register_dialog("IDD_ABOUT", &dialogs_about_dialog);
    platform_register_dialog("IDD_OPTIONS", &options_dialog);
    platform_register_dialog("IDD_LOAD_SCRIPT", &load_script_dialog);
}

INT_PTR about_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

INT_PTR options_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        for (const option* entry = options(); entry->id; ++entry)
            CheckDlgButton(dialog, entry->id, option_value(*entry) ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    int id = LOWORD(wparam);
    if (id == IDOK) {
        EndDialog(dialog, 1);
        return FALSE;
    }
    for (const option* entry = options(); entry->id; ++entry) {
        if (entry->id != id)
            continue;
        int32_t turned = option_value(*entry) ? 0 : 1;
        if (entry->set)
            entry->set(turned);
        else if (entry->flag)
            *entry->flag = turned;
        else  // "Not Used" stays unchecked
            CheckDlgButton(dialog, id, BST_UNCHECKED);
    }
    return FALSE;
}

INT_PTR load_script_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        init_load_script_dialog(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    int id = LOWORD(wparam);
    switch (id) {
    case IDC_LOAD_SCRIPT_REMEMBER:
        remember_script = !remember_script;
        return TRUE;
    case IDC_LOAD_SCRIPT_LIST:
        return FALSE;
    case IDOK:
        load_chosen_script(dialog);
        free_load_script_list();
        EndDialog(dialog, IDOK);
        return TRUE;
    case IDCANCEL:
        free_load_script_list();
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        LOG_NOTICE("unknown command = %ld\n", (long)id);
        return FALSE;
    }
}

win_load_script* read_win_load_script_text_file(const char* win_load_script_filename)
{
    const char* name = win_load_script_filename;
    if (!name) {
        LOG_ERROR("%s\n",
                  "Cannot read_win_load_script_text_file with NULL win_load_script_filename.");
        return nullptr;
    }
    if (!file_exists(name)) {
        LOG_WARNING("Could not find '%s'\n", name);
        return nullptr;
    }
    LOG_NOTICE("Reading SLT '%s'\n", name);
    int16_t line_cnt = 0;
    int found = 0;
    FILE* file = file_open_search_verify_version_text(
        name, &line_cnt, nullptr, FILE_TYPE_LOAD_SCRIPT, FILE_VERSION_LOAD_SCRIPT, &found);
    if (!file) {
        if (found)
            LOG_ERROR("Bad file_type or file_version, found version %ld, expected %ld for '%s'\n",
                      (long)file_hdr_version_found, (long)FILE_VERSION_LOAD_SCRIPT, name);
        else
            LOG_ERROR("File not found '%s'\n", name);
        return nullptr;
    }
    win_load_script* list = nullptr;
    int32_t size = 0;
    token_reset();
    while (char* token = get_next_token(file, &line_cnt)) {
        to_lower_case(token);
        win_load_script* node = malloc_win_load_script(token);
        if (!node) {
            LOG_ERROR("Could not malloc_win_load_script for '%s' at %s(%d)\n", token, name,
                      (int)line_cnt);
            if (list)
                free_win_load_script_list(list);
            file_close(file);
            return nullptr;
        }
        add_to_win_load_script_list(&list, &size, node);
    }
    file_close(file);
    return list;
}
