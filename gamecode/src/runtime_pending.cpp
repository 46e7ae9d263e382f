// Neutral placeholders of runtime calls whose own module has not landed yet
// (see runtime_pending.h).
#include "runtime_pending.h"

// entity: no particle is launched until the emitter update lands.
int entity_emit_particle(win_entity*, win_entity*, win_entity*)
{
    return 0;
}
