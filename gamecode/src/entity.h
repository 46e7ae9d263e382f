// The live entities: the per-frame update of the entity ring and unloading.
// The per-type update (characters, environments, lights, cameras, emitters)
// is added with the entity records; until then nothing can load an entity
// and the ring stays empty.
#pragma once

#include <cstdint>

struct win_entity;

// The walk position of entity_update_all; unloading an entity clears the one
// that names it, so the walk survives removals during an update.
extern win_entity* entity_update_cursor;
extern win_entity* entity_update_next;

// Updates every entity of the ring once: 1 after a walk, 0 for an empty ring.
int entity_update_all(void);
// Unloads every entity of the ring (with 0 those flagged persistent stay)
// and stops and unloads the sounds; 1 when every unload succeeded.
int entity_unload_all(int32_t unload_all);
// Switches the entity's animation state table to `state` (an index); 1, or
// 0 for a NULL entity.
int entity_play_anim(win_entity* entity, int32_t state);
