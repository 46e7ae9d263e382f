// Collision of entities against the environment and each other, triggers
// and the collision switches.
#include "runtime_services.h"

// The runtime completes this with the trigger tests; until then no entity is
// loaded to face anywhere.
int collide_check_facing_arc(win_entity*, const win_vect3*, const win_vect3*)
{
    return 0;
}
