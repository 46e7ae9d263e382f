// Drawing the live entities: two passes over the entity ring, the second for
// the entities flagged to come after all others (see-through parts,
// effects). Each drawn entity sets lighting, texture filtering and depth
// writes from its flags; characters draw their posed model, and the debug
// switches add collision shapes and the navigation map's nodes. Rendering
// reads only what the update left: matrices, poses, spheres, life spans.
#pragma once

#include <cstdint>

struct win_entity;

// Both passes over the ring: 1, or 0 for an empty ring.
int entity_render_all(void);
// Draws `entity` when it belongs to `pass` (0 or 1), then its sub-entities,
// each by its own flags. 1, or 0 after an error line for a NULL entity.
int entity_render_entity(win_entity* entity, int32_t pass);
// With the debug switch on, a sphere at every node of the current
// environment's navigation map: 1, or 0 when it has no map.
int entity_draw_map_nodes(void);
