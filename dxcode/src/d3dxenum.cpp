#include "d3dxenum.h"

#include <cstdio>
#include <cstring>

#include "d3dxframe.h"
#include "debug.h"
#include "heap.h"

d3dxenum_device_entry device_list[D3DXENUM_MAX_DEVICES];
uint32_t device_list_count = 0;
D3DX_VIDMODEDESC current_video_mode = {};
int32_t current_mode_index = 0;
int32_t selected_device = 0;
int32_t selected_mode = 0;
int32_t selected_windowed = 0;

namespace {

constexpr DWORD DIALOG_STYLE = 0x90C80BC4;  // popup, visible, caption, system menu, centred, modal
constexpr DWORD CHILD_STYLE = WS_CHILD | WS_VISIBLE;
constexpr DWORD DEFAULT_FLAGS = 1;  // D3DX's mode flags for the enumeration

// The chosen mode, or NULL when no device or mode is chosen.
const D3DX_VIDMODEDESC* chosen_mode(void)
{
    if (selected_device < 0 || (uint32_t)selected_device >= device_list_count)
        return nullptr;
    const d3dxenum_device_entry& entry = device_list[selected_device];
    if (selected_mode < 0 || (uint32_t)selected_mode >= entry.num_vid_modes)
        return nullptr;
    return &entry.vid_modes[selected_mode];
}

// The device the frame runs on: the one configured, or for -1 the one that
// D3DX chooses by default, so that the dialog opens with it chosen.
int32_t device_in_use(void)
{
    int32_t configured = d3dx_globals.device_index;
    if (configured >= 0)
        return configured;
    D3DX_DEVICEDESC chosen = {};
    if (SUCCEEDED(D3DXGetDeviceDescription(D3DX_DEFAULT, &chosen)) &&
        chosen.deviceIndex < device_list_count)
        return (int32_t)chosen.deviceIndex;
    return configured;
}

bool can_render_windowed(uint32_t device)
{
    DDCAPS hardware = {}, emulation = {};
    hardware.dwSize = emulation.dwSize = sizeof(DDCAPS);
    if (FAILED(D3DXGetDeviceCaps(device, &hardware, &emulation, nullptr, nullptr)))
        return false;
    return ((hardware.dwCaps2 | emulation.dwCaps2) & DDCAPS2_CANRENDERWINDOWED) != 0;
}

// Whether an enumerated mode is the one the game is in. In full screen the
// display's mode is the game's own. A window shows the game's buffers at
// the display's depth, and has no refresh rate of its own: the display's
// mode, often the desktop's, is not the one the game runs in there.
bool is_mode_in_use(const D3DX_VIDMODEDESC& mode)
{
    if (d3dx_globals.m_bIsFullscreen)
        return mode.width == current_video_mode.width && mode.height == current_video_mode.height &&
               mode.bpp == current_video_mode.bpp &&
               mode.refreshRate == current_video_mode.refreshRate;
    return (int32_t)mode.width == d3dxframe_get_render_width() &&
           (int32_t)mode.height == d3dxframe_get_render_height() &&
           mode.bpp == current_video_mode.bpp;
}

LRESULT add_item(HWND dialog, int list, const char* text, LPARAM data)
{
    LRESULT index = SendDlgItemMessage(dialog, list, CB_ADDSTRING, 0, (LPARAM)text);
    SendDlgItemMessage(dialog, list, CB_SETITEMDATA, (WPARAM)index, data);
    return index;
}

}  // namespace

int d3dxframe_change_device(HWND window)
{
    if (!d3dx_globals.bActive || !d3dx_globals.bInitialized)
        return 1;
    d3dxframe_deactivate();
    if (d3dxenum_user_dlg_select_driver(window, d3dx_globals.m_bIsFullscreen ? 0 : 1) == 1) {
        LOG_NOTICE("%s", "Changing 3d environment.\n");
        d3dxframe_toggle_fullscreen();
    }
    d3dxframe_activate();
    return 1;
}

INT_PTR d3dxenum_user_dlg_select_driver(HWND window, int32_t windowed)
{
    LOG_NOTICE("%s", "d3dxenum_user_dlg_select_driver called.\n");
    // The dialog opens on what the game runs with: its device, and the
    // display's current mode, known before it is taken as the chosen one. OK
    // on an untouched dialog then changes nothing, the first time too.
    d3dxenum_enum_devices();
    selected_device = device_in_use();
    selected_mode = current_mode_index;
    selected_windowed = windowed;
    DLGTEMPLATE* dialog_template = d3dxenum_build_driver_select_template();
    if (!dialog_template)
        return -1;
    INT_PTR result = DialogBoxIndirectParam(GetModuleHandle(nullptr), dialog_template, window,
                                            d3dxenum_driver_dlg_proc, 0);
    FREE(dialog_template);
    return result;
}

DLGTEMPLATE* d3dxenum_build_driver_select_template(void)
{
    LOG_NOTICE("%s", "Building driver select template.\n");
    DLGTEMPLATE* dialog_template = (DLGTEMPLATE*)MALLOC(D3DXENUM_TEMPLATE_SIZE);
    if (!dialog_template) {
        LOG_ERROR("%s", "Failed to allocate memory for driver select template.\n");
        return nullptr;
    }
    memset(dialog_template, 0, D3DXENUM_TEMPLATE_SIZE);
    DLGTEMPLATE header = {DIALOG_STYLE, 0, 8, 0, 0, 299, 84};
    memcpy(dialog_template, &header, sizeof header);
    WORD* cursor = (WORD*)((uint8_t*)dialog_template + sizeof header);
    *cursor++ = 0;  // no menu
    *cursor++ = 0;  // the dialog class
    d3dxenum_copy_ansi_to_wide(&cursor, "Select New Direct3D Driver");
    *cursor++ = 8;  // points
    d3dxenum_copy_ansi_to_wide(&cursor, "Arial");

    static const struct {
        DWORD style;
        short x, y, width, height;
        WORD id;
        const char* class_name;
        const char* text;
    } controls[] = {
        {WS_TABSTOP, 65, 65, 51, 14, IDOK, "BUTTON", "OK"},
        {WS_TABSTOP, 123, 65, 51, 14, IDCANCEL, "BUTTON", "Cancel"},
        {WS_TABSTOP | BS_CHECKBOX, 45, 5, 50, 10, D3DXENUM_ID_WINDOWED, "BUTTON", ""},
        {WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, 36, 24, 258, 45, D3DXENUM_ID_DEVICES,
         "COMBOBOX", ""},
        {WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, 36, 44, 258, 45, D3DXENUM_ID_MODES, "COMBOBOX",
         ""},
        {SS_LEFT, 5, 5, 30, 13, 0xFFFF, "STATIC", "Windowed:"},
        {SS_LEFT, 5, 24, 25, 13, 0xFFFF, "STATIC", "Device:"},
        {SS_LEFT, 5, 44, 22, 13, 0xFFFF, "STATIC", "Mode:"},
    };
    for (const auto& control : controls) {
        LOG_NOTICE("%s", "Adding Dialog Control.\n");
        d3dxenum_add_dialog_control(&cursor, control.style, control.x, control.y, control.width,
                                    control.height, control.id, control.class_name, control.text);
    }
    LOG_NOTICE("%s", "Finished building driver select template.\n");
    return dialog_template;
}

int d3dxenum_add_dialog_control(WORD** cursor, DWORD style, short x, short y, short width,
                                short height, WORD id, const char* class_name, const char* text)
{
    uintptr_t at = ((uintptr_t)*cursor + 3) & ~(uintptr_t)3;
    DLGITEMTEMPLATE item = {style | CHILD_STYLE, 0, x, y, width, height, id};
    memcpy((void*)at, &item, sizeof item);
    *cursor = (WORD*)(at + sizeof item);
    d3dxenum_copy_ansi_to_wide(cursor, class_name);
    d3dxenum_copy_ansi_to_wide(cursor, text);
    *(*cursor)++ = 0;  // no creation data
    return 1;
}

int d3dxenum_copy_ansi_to_wide(WORD** cursor, const char* text)
{
    int count = MultiByteToWideChar(CP_ACP, 0, text, -1, *cursor, (int)strlen(text) + 1);
    *cursor += count;
    return count;
}

int d3dxenum_enum_devices(void)
{
    uint32_t count = D3DXGetDeviceCount();
    if (count == 0) {
        device_list_count = 0;
        LOG_ERROR("%s", "no devices available.\n");
        return 0;
    }
    // Devices past the list's room are not offered.
    device_list_count = count < (uint32_t)D3DXENUM_MAX_DEVICES ? count
                                                               : (uint32_t)D3DXENUM_MAX_DEVICES;
    for (uint32_t device = 0; device < device_list_count; ++device) {
        D3DXGetDeviceDescription(device, &device_list[device].device_desc);
        d3dxenum_enum_video_modes(device);
    }
    return 1;
}

int d3dxenum_enum_video_modes(uint32_t device)
{
    d3dxenum_device_entry& entry = device_list[device];
    D3DX_VIDMODEDESC previous = {0, 0, 0, 0};
    int32_t last = -1;
    DWORD count = D3DXGetMaxNumVideoModes(D3DX_DEFAULT, DEFAULT_FLAGS);
    if (FAILED(D3DXGetCurrentVideoMode(device, &current_video_mode)))
        LOG_ERROR("%s", "Failed D3DXGetCurrentVideoMode.\n");
    // A window of a size the display has no mode of shows no mode chosen,
    // rather than one the game is not in.
    if (!d3dx_globals.m_bIsFullscreen)
        current_mode_index = -1;
    D3DX_VIDMODEDESC mode = {};
    for (DWORD m = 0; m < count; ++m) {
        if (FAILED(D3DXGetVideoMode(D3DX_DEFAULT, DEFAULT_FLAGS, m, &mode)))
            LOG_ERROR("%s", "Failed D3DXGetVideoMod.\n");
        bool kept = false;
        if (mode.width > previous.width || mode.height > previous.height ||
            mode.bpp > previous.bpp) {
            // Modes past the list's room are not offered.
            if (last + 1 < D3DXENUM_MAX_VIDEO_MODES) {
                previous = mode;
                entry.vid_modes[++last] = mode;
                kept = true;
            }
        } else if (last >= 0 && mode.refreshRate > previous.refreshRate) {
            previous.refreshRate = mode.refreshRate;
            entry.vid_modes[last].refreshRate = mode.refreshRate;
            kept = true;
        } else {
            kept = last >= 0;  // one of the stored size and depth
        }
        if (kept && is_mode_in_use(mode))
            current_mode_index = last;
    }
    entry.num_vid_modes = (uint32_t)(last + 1);
    return 1;
}

int d3dxenum_fill_dialog_lists(HWND dialog)
{
    CheckDlgButton(dialog, D3DXENUM_ID_WINDOWED, selected_windowed ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessage(dialog, D3DXENUM_ID_DEVICES, CB_RESETCONTENT, 0, 0);
    SendDlgItemMessage(dialog, D3DXENUM_ID_MODES, CB_RESETCONTENT, 0, 0);
    d3dxenum_enum_devices();
    for (uint32_t device = 0; device < device_list_count; ++device) {
        if (selected_windowed && !can_render_windowed(device))
            continue;
        LRESULT index = add_item(dialog, D3DXENUM_ID_DEVICES,
                                 device_list[device].device_desc.driverDesc, (LPARAM)device);
        if ((int32_t)device == selected_device)
            SendDlgItemMessage(dialog, D3DXENUM_ID_DEVICES, CB_SETCURSEL, (WPARAM)index, 0);
    }
    if (selected_device >= 0 && (uint32_t)selected_device < device_list_count) {
        d3dxenum_device_entry& entry = device_list[selected_device];
        for (uint32_t mode = 0; mode < entry.num_vid_modes; ++mode) {
            const D3DX_VIDMODEDESC& vid_mode = entry.vid_modes[mode];
            snprintf(entry.vid_mode_names[mode], D3DXENUM_MODE_NAME_SIZE, "%ld x %ld x %ld",
                     (long)vid_mode.width, (long)vid_mode.height, (long)vid_mode.bpp);
            LRESULT index = add_item(dialog, D3DXENUM_ID_MODES, entry.vid_mode_names[mode],
                                     (LPARAM)mode);
            if ((int32_t)mode == selected_mode)
                SendDlgItemMessage(dialog, D3DXENUM_ID_MODES, CB_SETCURSEL, (WPARAM)index, 0);
        }
    }
    return 1;
}

INT_PTR d3dxenum_driver_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_INITDIALOG) {
        d3dxenum_fill_dialog_lists(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    int id = LOWORD(wparam);
    d3dx_globals_record& g = d3dx_globals;
    if (id == IDOK) {
        if (selected_device == device_in_use() && selected_mode == current_mode_index &&
            selected_windowed != g.m_bIsFullscreen) {
            EndDialog(dialog, 2);
            return TRUE;
        }
        g.device_index = selected_device;
        current_mode_index = selected_mode;
        // The frame's switch that follows negates the full-screen flag: the
        // device comes back full screen exactly when the box is clear.
        const D3DX_VIDMODEDESC* mode = chosen_mode();
        if (selected_windowed != g.m_bIsFullscreen) {
            // Staying windowed: the window takes the mode's size, while it
            // is still windowed. Staying full screen keeps the windowed size.
            if (selected_windowed && mode)
                d3dxframe_set_windowed_size((int32_t)mode->width, (int32_t)mode->height);
            g.m_bIsFullscreen = selected_windowed;
        }
        if (!selected_windowed && mode) {
            g.fullscreen_width = (int32_t)mode->width;
            g.fullscreen_height = (int32_t)mode->height;
            g.fullscreen_bitdepth = (int32_t)mode->bpp;
        }
        EndDialog(dialog, 1);
        return TRUE;
    }
    if (id == IDCANCEL) {
        EndDialog(dialog, 2);
        return TRUE;
    }
    if (id == D3DXENUM_ID_WINDOWED) {
        selected_windowed = !selected_windowed;
        d3dxenum_fill_dialog_lists(dialog);
        return TRUE;
    }
    if (HIWORD(wparam) == CBN_SELCHANGE) {
        HWND list = (HWND)lparam;
        LRESULT index = SendMessage(list, CB_GETCURSEL, 0, 0);
        if (index == CB_ERR)
            return TRUE;
        LRESULT data = SendMessage(list, CB_GETITEMDATA, (WPARAM)index, 0);
        if (id == D3DXENUM_ID_DEVICES)
            selected_device = (int32_t)data;
        else if (id == D3DXENUM_ID_MODES)
            selected_mode = (int32_t)data;
        d3dxenum_fill_dialog_lists(dialog);
        return TRUE;
    }
    return FALSE;
}

void d3dxenum_reset(void)
{
    memset(device_list, 0, sizeof device_list);
    device_list_count = 0;
    current_video_mode = {};
    current_mode_index = 0;
    selected_device = 0;
    selected_mode = 0;
    selected_windowed = 0;
}
