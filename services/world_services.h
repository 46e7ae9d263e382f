// World data records as the lower subsystems see them: the fields of the
// entity record and of its character payload (win_entity_fields.h), which
// the player input, the statistics line and the animation state machine read
// and write, and the shader record, whose current texture the model renderer
// draws with. The record families of entities (reading, writing, releasing)
// and the records of their other parts (AI, maps, environments, lights,
// cameras, emitters) stay the world's own. The live entities belong to the
// game runtime (runtime_services.h).
#pragma once

#include "win_entity_fields.h"
#include "win_shader.h"
