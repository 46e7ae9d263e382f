// Model loading and sharing: every loaded model is read once and kept in one
// global list (its head declared in models_services.h), keyed by the name
// stored in its file; later loads of that name share it. A sweep releases the
// models that only the list still holds.
#pragma once

#include <cstdint>

#include "models_services.h"
#include "mow_geo.h"

// The number of models in model_io_global_mow_model_list. The list holds one
// reference to each model.
extern int32_t model_io_global_mow_model_list_size;

// The listed model whose stored name equals `path`, or the model read from
// the model file at `path` (a lower-cased Windows path: directory, "\", the
// model name and ".mow"), checked for drawing and listed; NULL on failure,
// the list unchanged. The caller that keeps the model adds 1 to its
// mow_model_ref_cnt at once, before anything else can sweep the list, and
// drops it with free_mow_model when done.
mow_model* model_io_load(const char* path);

// Releases every listed model that nobody but the list holds. 1 when every
// removal and release succeeded.
int model_io_remove_mow_model(void);

// Releases every listed model whatever its count and empties the list; for
// tests, between cases. Nobody may hold a listed model across it.
void model_io_reset(void);
