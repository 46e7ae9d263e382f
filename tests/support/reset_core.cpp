#include "file_io.h"
#include "gametime.h"
#include "lexparse.h"
#include "mouse.h"
#include "rand_util.h"
#include "test_support.h"
#include "token.h"
#include "yym/yym.h"

TEST_RESET(core)
{
    gametime_reset();
    file_io_reset();
    rand_util_srand(1);
    token_reset_module();
    lexparse_reset();
    mouse_reset();
    mouse_button_funct = def_mouse_button_funct;
    mouse_move_funct = def_mouse_move_funct;
    yymtrace_reset();
}
