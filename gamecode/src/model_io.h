// Model loading: the global list of loaded models (declared in
// models_services.h), shared by name with a reference count. The model files
// ("mow") and their loader are added with the model records.
#pragma once

#include "models_services.h"

// An empty list again, without releasing anything; for tests.
void model_io_reset(void);
