#include "d3dxenum.h"
#include "d3dxframe.h"
#include "platform/d3d_record.h"
#include "platform/dialog_test.h"
#include "platform/font.h"
#include "platform/win32_test.h"
#include "test_support.h"

TEST_RESET(frame)
{
    win32_reset();
    dialog_reset();
    win32_set_headless(1);
    d3d_record_reset();
    d3dx_set_display_modes(nullptr, 0, nullptr);
    platform_font_use(nullptr);
    d3dxframe_reset();
    d3dxenum_reset();
}
