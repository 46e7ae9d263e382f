#include "entity_ops.h"
