// The character AI: its goal machine, movement and perception.
#include "runtime_services.h"

// The runtime completes this with the goal machine; until then no entity is
// loaded to stand anywhere.
int32_t ai_get_relative_direction_flags(win_entity*, win_entity*)
{
    return 0;
}
