// Models and animation as the frame sees it: the model renderer's start and
// end, the global model list (counted at shut-down for the leak warning) and
// the fields of the animation state table (win_ast_fields.h), whose input
// word and current state player input touches. The program resolves these
// calls when it links the whole game.
#pragma once

#include "win_ast_fields.h"

struct mow_model;

// Head of the circular list of loaded models; NULL when empty.
extern mow_model* model_io_global_mow_model_list;

// The renderer's one-time set-up (vertex descriptors, debug colours) and its
// clean-up; both return 1.
int mow_rend_init(void);
int mow_rend_cleanup(void);
