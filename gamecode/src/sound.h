// Sound playback: the sound module's switches, its start and end, and its
// section of the configuration file ("[sound]": whether 3D sound is used).
//
// While the module is disabled (sound_enable off in the configuration) it
// does nothing but write its notices. Loading, playing and the channel tables
// come with the sound library stand-in; until then an enabled module finds
// no digital output and stays with no channels, so every play fails for want
// of a channel, as on a machine without an audio device.
#pragma once

#include <cstdint>
#include <cstdio>

#include "runtime_services.h"

struct sound_module_record {
    int32_t sound_enabled;      // 1 when sound is on
    int32_t enable_3d;          // 1: 3D mode through a 3D provider; 0: 2D
    int32_t sound_initialized;  // 1 after sound_init succeeded
};

extern sound_module_record sound_module;

int sound_set_disabled(void);

// Unloads every sound and closes the output; disabled: a notice and 1.
int sound_term(void);

// Stops every sound (all: also the music).
int sound_stop_all(int32_t all);
// Unloads every sound (all: also the music); the AND of the single results.
int sound_unload_all(int32_t all);

// Back to the start values; for tests.
void sound_reset(void);
