// World data records as the frame sees them: the entity record, whose flags,
// position, velocities, state table and character payload the player input
// and the statistics line read and write. The live entities belong to the
// game runtime (runtime_services.h).
#pragma once

#include "win_entity.h"
