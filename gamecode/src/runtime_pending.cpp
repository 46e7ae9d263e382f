// Neutral placeholders of runtime calls whose own module has not landed yet
// (see runtime_pending.h).
#include "runtime_pending.h"

// entity_weapon: until weapons land, every attack uses the standard weapon.
win_entity* entity_find_weapon_by_attack(win_entity*, int32_t)
{
    return NULL;
}

// entity_weapon: until weapons land, no entity has a hit emitter.
int entity_fire_emitter(win_entity*, int32_t, win_vect3*)
{
    return 0;
}
