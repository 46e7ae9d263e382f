// Neutral placeholders of runtime calls whose own module has not landed yet
// (see runtime_pending.h).
#include "runtime_pending.h"

// collide_character
int collide_check_entity_to_entity(win_entity*, win_entity*, win_vect3*)
{
    return 0;
}

// entity_weapon: until weapons land, every attack uses the standard weapon.
win_entity* entity_find_weapon_by_attack(win_entity*, int32_t)
{
    return NULL;
}
