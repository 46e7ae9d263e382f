// World data records as the lower subsystems see them: the fields of the
// entity record and of its character payload (win_entity_fields.h), which
// the player input, the statistics line and the animation state machine read
// and write, and the fields of the shader record (win_shader_fields.h), whose
// current texture the model renderer draws with. The record families of
// entities and shaders (reading, writing, releasing) and the records of the
// entities' other parts (AI, maps, environments, lights, cameras, emitters)
// stay the world's own, and so do the models' records these fields point to:
// they are only declared. A frame module that includes this header sees the
// structs of the entity, the character (with its weapon data) and the
// shader and the inline accessors of an entity's payload, and no function,
// record description or other record of the models or of the world. The live
// entities belong to the game runtime (runtime_services.h).
#pragma once

#include "win_entity_fields.h"
#include "win_shader_fields.h"
