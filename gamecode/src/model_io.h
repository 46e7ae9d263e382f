// Model loading: the global list of loaded models, shared by name with a
// reference count. The model files ("mow") and their loader are added with
// the model records.
#pragma once

struct mow_model;

// Head of the circular list of loaded models; NULL when empty.
extern mow_model* model_io_global_mow_model_list;
