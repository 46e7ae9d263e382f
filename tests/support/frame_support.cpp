// The test helpers that need the application frame.
#include <cstdio>

#include "d3dxframe.h"
#include "platform/d3d_record.h"
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

std::vector<test_text_draw> test_text_draws_since(int first)
{
    std::vector<test_text_draw> draws;
    for (int i = first; i < d3d_record_count(); ++i) {
        test_text_draw draw = {};
        char text[256] = {};
        if (std::sscanf(d3d_record_get(i), "Font.Draw %d %d %d 0x%x %255[^\n]", &draw.height,
                        &draw.x, &draw.y, &draw.colour, text) != 5)
            continue;
        draw.text = text;
        draws.push_back(draw);
    }
    return draws;
}
