// Runtime calls whose own module has not landed yet, each with a neutral
// placeholder in runtime_pending.cpp. A module that lands takes its
// declarations and placeholders out of here into its own files.
#pragma once

#include "runtime_services.h"

struct win_hot_sector;

// ---- ai (ai.cpp): perception ----

// How `target` stands against `sector` from the entity's place and facing:
// 1 inside, 2 too far, 3 too near, 4 before the angle from, 5 beyond the
// angle to; 0 after an error line for a NULL argument.
int32_t ai_check_hot_sector(const win_entity* entity, const win_entity* target,
                            const win_hot_sector* sector);
