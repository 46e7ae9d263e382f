// Runtime calls whose own module has not landed yet, each with a neutral
// placeholder in runtime_pending.cpp. A module that lands takes its
// declarations and placeholders out of here into its own files.
#pragma once

#include <cstdint>

#include "runtime_services.h"

struct win_entity;
struct win_vect3;

// entity (entity.h): launches the next particle of `particle_ring_head` from
// `emitter`, remembering `owner` as who fired it; 1 launched, 0 none.
int entity_emit_particle(win_entity* particle_ring_head, win_entity* emitter, win_entity* owner);
