// Triggers: the named volumes of the current environment that start a script
// when the player character stands in one, facing the right way (and, for a
// gated trigger, pressing the action button). The switches by name that
// scripts use on the environment's hulls, triggers and camera zones
// (collide_enable_collision_data and its two siblings) and the facing arc
// are offered to the script engine through script_imports.h.
#pragma once

#include "script_imports.h"
#include "win_entity.h"

// Tests the triggers of the environment `trigger_entity`, in array order,
// for `entity` (which must collide with the environment): the first one it
// stands in that is enabled, open (not gated, or the action button pressed
// with no closeup shown), not used up and faced fires. A firing with a
// script clears the action button, starts the script and counts the
// activation. 1 when a trigger fired, else 0. A trigger fires again in every
// call in which its conditions hold.
int collide_check_triggers(win_entity* entity, win_entity* trigger_entity);
