// The character AI: its goal machine, movement and perception.
#include "runtime_services.h"

// The runtime completes these with the goal machine; until then no entity is
// loaded to stand anywhere or to attack.
int32_t ai_get_relative_direction_flags(win_entity*, win_entity*)
{
    return 0;
}

int32_t ai_find_attack_sector(win_entity*, win_entity*)
{
    return -1;
}

// The runtime completes these with the goal machine; until then no entity
// has goals.
int ai_add_goal(win_entity*, int32_t, win_entity*, float, float, float, int32_t)
{
    return 1;
}

int ai_clear_goals(win_entity*)
{
    return 1;
}
