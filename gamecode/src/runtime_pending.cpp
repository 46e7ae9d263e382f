// Neutral placeholders of runtime calls whose own module has not landed yet
// (see runtime_pending.h).
#include "runtime_pending.h"

// entity_weapon's: until weapons land, no entity has a hit emitter.
int entity_fire_emitter(win_entity*, int32_t, win_vect3*)
{
    return 0;
}

// collide's: until the environment test lands, nothing stands in the way.
int collide_check_entity(win_matrix43*, win_entity*, win_entity*)
{
    return 0;
}
