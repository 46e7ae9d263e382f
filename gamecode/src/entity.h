// The live entities: the per-frame update of the entity ring and unloading.
// The per-type update (characters, environments, lights, cameras, emitters)
// is added with the entity records; until then nothing can load an entity
// and the ring stays empty.
#pragma once

#include <cstdint>

#include "runtime_services.h"

struct win_entity;

// The walk position of entity_update_all; unloading an entity clears the one
// that names it, so the walk survives removals during an update.
extern win_entity* entity_update_cursor;
extern win_entity* entity_update_next;
