#include "model_io.h"

mow_model* model_io_global_mow_model_list = nullptr;
