#include "entity.h"

#include "d3dxframe.h"
#include "debug.h"
#include "entity_io.h"
#include "sound.h"

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

int entity_unload_all(int32_t unload_all)
{
    LOG_NOTICE("%s\n", "entity_unload_all called.");
    int ok = sound_stop_all(unload_all);
    // The members of the ring (those flagged persistent stay unless
    // unload_all is 1) are taken out and unloaded here once entities can be
    // loaded, each entity and sub-entity forgotten by the scripts
    // (script_forget_entity) before it is released; until then the ring is
    // always empty.
    ok = sound_unload_all(unload_all) && ok;
    return ok;
}

// The runtime completes these with the entity operations; until then no
// entity is ever loaded, and each operation changes nothing and is done.
int entity_unload(win_entity*, int32_t)
{
    return 1;
}

int entity_unlink(win_entity**, int32_t*, win_entity*)
{
    return 0;
}

win_shader* entity_shader(win_entity*, int32_t)
{
    return nullptr;
}
