#include "game_session.h"

#include <cstdio>
#include <cstdlib>

#include "config.h"
#include "d3dxframe.h"
#include "gameglobals.h"
#include "platform/d3d_record.h"
#include "platform/dinput_test.h"
#include "platform/win32_test.h"
#include "winmain2.h"

HWND game_session_open(bool gl)
{
    if (gl) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    }
    win32_set_headless(gl ? 0 : 1);
    setenv("ALSOFT_DRIVERS", "null", 0);
    d3d_select_backend(gl ? D3D_BACKEND_GL : D3D_BACKEND_RECORDING);
    d3d_set_vertical_blank_wait(0);
    win32_message_box_script(1, IDOK);  // the session report waits for no one

    gameglobals_init();
    d3dxframe_set_defaults();
    if (!config_read_engine_config_file(winmain_session_name)) {
        fprintf(stderr, "no readable varnock.cfg; is this a demo tree?\n");
        return nullptr;
    }
    WNDCLASS window_class = {};
    window_class.lpfnWndProc = winmain_explore_wnd_proc;
    window_class.lpszClassName = winmain_class_name;
    RegisterClass(&window_class);
    HWND window = CreateWindowEx(0, winmain_class_name, game_globals.title, WS_OVERLAPPEDWINDOW, 0,
                                 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    if (!window) {
        fprintf(stderr, "cannot open the game window: %s\n", platform_window_failure());
        return nullptr;
    }
    d3dxframe_set_hwnd(window);
    ShowWindow(window, SW_SHOW);
    if (!winmain_initialize(nullptr, window)) {
        fprintf(stderr, "the frame did not start (see the log)\n");
        return nullptr;
    }
    dinput_set_test_mode(1);
    return window;
}

void game_session_close(HWND window)
{
    dinput_set_test_mode(0);
    winmain_cleanup(window);
}
