#include "entity_weapon.h"
