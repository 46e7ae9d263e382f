#include "entity_io.h"

win_entity* entity_io_global_win_entity_list = nullptr;
int32_t entity_io_global_win_entity_list_size = 0;

void entity_io_reset(void)
{
    entity_io_global_win_entity_list = nullptr;
    entity_io_global_win_entity_list_size = 0;
}

// The runtime completes these with the entity files: until then no entity
// loads and the ring stays empty.
win_entity* entity_io_find_entity(win_entity*, const char*)
{
    return nullptr;
}

win_entity* entity_io_load(const char*, const char*, const char*, const char*, const char*,
                           const char*, const char*, const char*, const char*, float, float, float)
{
    return nullptr;
}
