// Entity loading: the one global ring of loaded top-level entities (declared
// in runtime_services.h), which the per-frame update, the rendering, the
// script engine and the player-character module walk. Loading an entity from
// its entity file ("enw") with all it names is added with the entity records.
#pragma once

#include "runtime_services.h"

// An empty ring again, without releasing anything; for tests.
void entity_io_reset(void);
