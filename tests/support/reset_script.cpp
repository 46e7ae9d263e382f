#include "script.h"
#include "test_support.h"

TEST_RESET(script)
{
    script_reset();
}
