#include "config.h"
#include "d3dtextr_dx7.h"
#include "d3dxenum.h"
#include "d3dxframe.h"
#include "dxinput.h"
#include "gameglobals.h"
#include "input.h"
#include "menu.h"
#include "png_io.h"
#include "test_support.h"
#include "winmain2.h"

TEST_RESET(frame)
{
    d3dxframe_reset();
    d3dxenum_reset();
    dxinput_reset();
    input_reset();
    // The screens' texture references outlive the cache (it leaves counted
    // containers to their holders), so this is safe after any test.
    menu_free_all_screens();
    d3dtextr_reset();
    png_io_free_rows();
    gameglobals_reset();
    winmain_reset();
    config_reset();
}
