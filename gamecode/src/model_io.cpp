#include "model_io.h"

mow_model* model_io_global_mow_model_list = nullptr;

void model_io_reset(void)
{
    model_io_global_mow_model_list = nullptr;
}
