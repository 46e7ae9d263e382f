#include "entity_io.h"

win_entity* entity_io_global_win_entity_list = nullptr;
int32_t entity_io_global_win_entity_list_size = 0;

void entity_io_reset(void)
{
    entity_io_global_win_entity_list = nullptr;
    entity_io_global_win_entity_list_size = 0;
}
