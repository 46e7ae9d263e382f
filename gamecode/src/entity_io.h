// Entity loading and unloading: the one global ring of loaded top-level
// entities (declared in runtime_services.h), which the per-frame update, the
// rendering, the script engine and the player-character module walk.
//
// entity_io_load reads an entity file ("enw") and completes the tree with all
// it names: the model with its shaders, the state table with its animations
// and sounds, the AI description and navigation map, the collision hulls, the
// particles of emitters and the sub-entities. entity_unload takes an entity
// that is in no ring any more out of the game, and entity_unload_all empties
// the ring (entity_io_find_entity, entity_unlink, entity_unload and
// entity_unload_all are declared in runtime_services.h).
//
// Walks and deferred release. Scripts run inside the entity update (a state's
// play script, a trigger, a hit), so an entity can be unloaded while some walk
// still holds it: its own update, a walk over a sub-entity ring, a script
// slice. Every such walk is bracketed by entity_io_begin_walk and
// entity_io_end_walk. While one is open, entity_unload does at once all that
// anybody can see (the entity leaves every reference, its sounds stop, its
// light goes out) and only queues the release of its memory; the outermost
// end releases the queue and sweeps the models, textures and hulls nobody
// holds any more.
#pragma once

#include <cstdint>

#include "runtime_services.h"

struct texture_container;
struct win_entity;

// Opens and closes a walk; walks nest. Declared in runtime_services.h too,
// for the script engine.
void entity_io_begin_walk(void);
void entity_io_end_walk(void);
// The number of walks open now.
int32_t entity_io_walk_depth(void);

// Clears every stored pointer to `entity`, which is being unloaded: the
// running scripts' entity tables, the references of game_globals (player
// character, camera, environment, weapon, item), the update walk's cursor and
// the pointers the other runtime modules keep (entity_io_forget_functs).
void entity_io_forget(const win_entity* entity);

// A module that keeps entity pointers clears those to an entity being
// unloaded; entity_io_forget calls each of the table.
typedef void (*entity_io_forget_funct)(const win_entity* entity);

// Finds the first entity named `name` (exactly) in the ring from *ring_head,
// searched as entity_io_find_entity searches, takes it out of the ring that
// holds it (*ring_head's or a sub-entity ring, whose count goes down) and
// returns it; NULL when none has the name. The script commands unlink by
// identity instead (entity_unlink), since names need not be unique.
win_entity* entity_find_and_unlink(win_entity** ring_head, int32_t* ring_size, const char* name);

// An empty ring, an empty release queue and no walk open, without releasing
// anything; for tests.
void entity_io_reset(void);
