// Doubles of the services that the higher subsystems offer the lower ones
// (script_services.h, models_services.h, runtime_services.h). A test program
// of a lower subsystem links the doubles of every service above it instead
// of the real modules, so it proves its subsystem needs nothing more, and its
// tests observe the calls the subsystem makes upward.
//
// Every double records its call as "name(arguments)" and answers as the real
// service does when it succeeds with nothing to do (no scripts to run, an
// empty entity ring, a silent sound module).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The calls received since the last test_reset_state, in order.
extern std::vector<std::string> service_calls;
// True when `call` (e.g. "entity_unload_all(1)") was received.
bool service_called(const std::string& call);
// The calls whose name is `name`, in order.
std::vector<std::string> service_calls_of(const std::string& name);

// The one value of the sound double's section of the configuration file.
extern int32_t service_double_sound_enable_3d;
