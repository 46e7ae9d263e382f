// World data records as the lower subsystems see them: the entity record,
// whose flags, position, velocities, state table and character payload the
// player input and the statistics line read and write, and the shader
// record, whose current texture the model renderer draws with. The live
// entities belong to the game runtime (runtime_services.h).
#pragma once

#include "win_entity.h"
#include "win_shader.h"
