// The test helpers that need the application frame.
#include "d3dxframe.h"
#include "test_support.h"

HWND test_open_game_window(const char* class_name, WNDPROC procedure)
{
    HWND window = test_make_window(class_name, procedure);
    if (!window)
        return nullptr;
    d3dxframe_set_defaults();
    d3dxframe_set_hwnd(window);
    ShowWindow(window, SW_SHOW);
    return SUCCEEDED(d3dxframe_initialize(window)) ? window : nullptr;
}
