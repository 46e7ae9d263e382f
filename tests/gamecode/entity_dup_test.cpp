#include "entity_dup.h"
