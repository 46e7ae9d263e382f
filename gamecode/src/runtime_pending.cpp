// Neutral placeholders of runtime calls whose own module has not landed yet
// (see runtime_pending.h).
#include "runtime_pending.h"

// entity_io: until deferred destruction lands, nothing is unloaded during a
// walk.
void entity_io_begin_walk(void) {}
void entity_io_end_walk(void) {}
