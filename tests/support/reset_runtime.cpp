#include "entity_io.h"
#include "model_io.h"
#include "sound.h"
#include "test_support.h"
#include "varnock.h"

TEST_RESET(runtime)
{
    sound_reset();
    varnock_reset();
    entity_io_reset();
    model_io_reset();
}
