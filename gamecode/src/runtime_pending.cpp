// Neutral placeholders of runtime calls whose own module has not landed yet
// (see runtime_pending.h).
#include "runtime_pending.h"

// collide_character
int collide_check_entity_to_entity(win_entity*, win_entity*, win_vect3*)
{
    return 0;
}
