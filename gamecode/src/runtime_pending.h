// Runtime calls whose own module has not landed yet, each with a neutral
// placeholder in runtime_pending.cpp. A module that lands takes its
// declarations and placeholders out of here into its own files.
#pragma once

#include <cstdint>

#include "runtime_services.h"

struct win_entity;
struct win_vect3;

// ---- Deferred destruction (entity_io) ----

// Brackets a walk over entities (the update, the render). While a walk is
// open an unloaded entity is gone from every ring and reference at once, but
// its memory is released only when the outermost walk ends.
void entity_io_begin_walk(void);
void entity_io_end_walk(void);
