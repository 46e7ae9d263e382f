#include "anim.h"
#include "anim_io.h"
#include "anim_io_yacc.h"
#include "model_io.h"
#include "mow_rend_dx7.h"
#include "test_support.h"
#include "win_ast.h"

TEST_RESET(models)
{
    anim_reset();
    // The grammar pass lets go of its model before the model list goes.
    anim_io_yacc_reset_module();
    model_io_reset();
    anim_io_reset();
    win_ast_reset();
    mow_rend_reset();
}
