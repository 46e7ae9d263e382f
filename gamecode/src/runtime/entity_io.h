// Entity loading and unloading: the one global ring of loaded top-level
// entities, which the per-frame update, the rendering, the script engine and
// the player-character module walk. Only the runtime changes the ring; the
// script engine adds to it and takes from it through entity_io_add_to_ring
// and entity_io_remove_from_ring (script_imports.h).
//
// entity_io_load reads an entity file ("enw") and completes the tree with all
// it names: the model with its shaders, the state table with its animations
// and sounds, the AI description and navigation map, the collision hulls, the
// particles of emitters and the sub-entities. entity_unload takes an entity
// that is in no ring any more out of the game, and entity_unload_all empties
// the ring (entity_io_load and entity_unload are declared in
// script_imports.h, entity_unload_all in runtime_services.h).
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
#include "script_imports.h"

struct texture_container;
struct win_entity;

// Head of the ring of loaded top-level entities (NULL when empty) and its
// member count.
extern win_entity* entity_io_global_win_entity_list;
extern int32_t entity_io_global_win_entity_list_size;

// The first entity named `name` (exact) in the ring from `ring_head`, each
// entity's sub-entities searched before the next; NULL when none.
win_entity* entity_io_find_entity(win_entity* ring_head, const char* name);
// Takes `entity` itself out of the ring from *ring_head, or out of the
// sub-entity ring that holds it, searched as entity_io_find_entity searches
// but by identity, and lowers that ring's count; 1 when it was in one, else
// 0. Unlike a search by name, it never takes another entity of the same name.
int entity_unlink(win_entity** ring_head, int32_t* ring_size, win_entity* entity);

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
