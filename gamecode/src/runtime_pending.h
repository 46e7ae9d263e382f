// Runtime calls whose own module has not landed yet, each with a neutral
// placeholder in runtime_pending.cpp. A module that lands takes its
// declarations and placeholders out of here into its own files.
#pragma once

#include <cstdint>

#include "runtime_services.h"

struct win_entity;
struct win_vect3;
