#include "anim_io.h"
#include "model_io.h"
#include "mow_rend_dx7.h"
#include "test_support.h"

TEST_RESET(models)
{
    model_io_reset();
    anim_io_reset();
    mow_rend_reset();
}
