#include "anim.h"
#include "anim_io.h"
#include "model_io.h"
#include "test_support.h"
#include "win_ast.h"

TEST_RESET(models)
{
    anim_reset();
    model_io_reset();
    anim_io_reset();
    win_ast_reset();
}
