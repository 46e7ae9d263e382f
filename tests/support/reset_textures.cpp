#include "d3dtextr_dx7.h"
#include "png_io.h"
#include "test_support.h"

TEST_RESET(textures)
{
    d3dtextr_reset();
    png_io_free_rows();
}
