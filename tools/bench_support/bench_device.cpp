#include "bench_device.h"

#include <cstdio>

#include "d3dxframe.h"
#include "debug.h"
#include "platform/d3d_record.h"
#include "platform/win32_test.h"

HWND bench_open_recording_device(const char* class_name, const char* log_path)
{
    win32_set_headless(1);
    d3d_select_backend(D3D_BACKEND_RECORDING);
    debug_open(log_path, 0);
    WNDCLASS window_class = {};
    window_class.lpfnWndProc = DefWindowProc;
    window_class.lpszClassName = class_name;
    RegisterClass(&window_class);
    HWND window = CreateWindow(class_name, class_name, WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                               nullptr, nullptr, nullptr);
    d3dxframe_set_defaults();
    d3dxframe_set_hwnd(window);
    if (!window || FAILED(d3dxframe_initialize(window))) {
        std::fprintf(stderr, "%s: could not set up the device\n", class_name);
        return nullptr;
    }
    return window;
}

void bench_close_recording_device(HWND window)
{
    d3dxframe_unitialize();
    debug_close();
    DestroyWindow(window);
}
