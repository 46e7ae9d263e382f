// Device selection: the D3DX devices and their display modes in a fixed
// device list, and the modal dialog "Select New Direct3D Driver" (built in
// memory, no resource) in which the player picks a device, a display mode
// and windowed or full-screen operation. A confirmed change goes into
// d3dx_globals and the device is made again through the frame's full-screen
// switch (d3dxframe_change_device).
#pragma once

#include <cstdint>

#include "platform/d3dx.h"
#include "platform/dialog.h"

enum {
    D3DXENUM_MAX_DEVICES = 25,
    D3DXENUM_MAX_VIDEO_MODES = 50,
    D3DXENUM_MODE_NAME_SIZE = 256,
    D3DXENUM_TEMPLATE_SIZE = 900,
};
// The controls of the dialog.
enum {
    D3DXENUM_ID_WINDOWED = 1000,
    D3DXENUM_ID_DEVICES = 1001,
    D3DXENUM_ID_MODES = 1002,
};

struct d3dxenum_device_entry {
    D3DX_DEVICEDESC device_desc;
    // The distinct display modes in enumeration order; modes of one size and
    // depth collapse into one with the highest refresh rate.
    D3DX_VIDMODEDESC vid_modes[D3DXENUM_MAX_VIDEO_MODES];
    char vid_mode_names[D3DXENUM_MAX_VIDEO_MODES][D3DXENUM_MODE_NAME_SIZE];  // "%ld x %ld x %ld"
    uint32_t num_vid_modes;
};

extern d3dxenum_device_entry device_list[D3DXENUM_MAX_DEVICES];
extern uint32_t device_list_count;
// The display's mode as D3DX reports it for the device enumerated last, and
// the index of the stored mode the game is in (after a confirmed choice: the
// chosen mode): in full screen the one equal to the display's mode, in a
// window the one of the buffers' size at the display's depth, -1 when the
// display has no such mode.
extern D3DX_VIDMODEDESC current_video_mode;
extern int32_t current_mode_index;
// What the dialog shows chosen.
extern int32_t selected_device;
extern int32_t selected_mode;
extern int32_t selected_windowed;

// 1 always. Only with the frame active and initialised: runs the selection
// (windowed as the device is now) and, when a change was confirmed, makes
// the device again (NOTICE "Changing 3d environment."); the frame is
// inactive meanwhile.
int d3dxframe_change_device(HWND window);
// 1 when a change was confirmed, 2 when cancelled or nothing changed, -1 when
// the dialog could not be built or run.
INT_PTR d3dxenum_user_dlg_select_driver(HWND window, int32_t windowed);
// The dialog's template in a zeroed block of D3DXENUM_TEMPLATE_SIZE bytes
// (freed with FREE), or NULL.
DLGTEMPLATE* d3dxenum_build_driver_select_template(void);
// Aligns the cursor to 4 bytes and writes one control with its class and
// text, advancing the cursor past it. Returns 1.
int d3dxenum_add_dialog_control(WORD** cursor, DWORD style, short x, short y, short width,
                                short height, WORD id, const char* class_name, const char* text);
// Writes `text` as zero-terminated UTF-16 at the cursor and advances the
// cursor past it; returns the characters written, the terminator included.
int d3dxenum_copy_ansi_to_wide(WORD** cursor, const char* text);
INT_PTR d3dxenum_driver_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
int d3dxenum_fill_dialog_lists(HWND dialog);
// 0 when D3DX has no device (ERROR "no devices available.").
int d3dxenum_enum_devices(void);
int d3dxenum_enum_video_modes(uint32_t device);

// Back to the start values; for tests.
void d3dxenum_reset(void);
