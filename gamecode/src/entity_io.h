// Entity loading: the one global ring of loaded top-level entities, which the
// per-frame update, the rendering, the script engine and the player-character
// module walk. Loading an entity from its entity file ("enw") with all it
// names is added with the entity records.
#pragma once

#include <cstdint>

struct win_entity;

// Head of the ring (NULL when empty) and its member count.
extern win_entity* entity_io_global_win_entity_list;
extern int32_t entity_io_global_win_entity_list_size;
