// Sound playback: sound files ("wav" holding PCM or ADPCM, and "mp3") are
// loaded into memory, kept in one list of loaded sounds, and played on the
// sound library's fixed table of channels: as plain stereo samples (2D mode)
// or as positioned samples of a 3D provider (3D mode, the "[sound]" section's
// enable_3d). The mode is fixed for the session when sound_init runs.
//
// While the module is disabled (sound_enable off in the configuration) it
// does nothing but write its notices, and loads nothing. When no audio output
// (or, in 3D mode, no 3D provider) opens, sound_init says so in one error
// line and one line on stderr and disables the module: the session goes on
// as with sound off, and no play fails.
//
// Channels: a sound keeps the channel it was last given and plays there again
// when that channel is free, else on the first free one. Music (a name of at
// least 10 characters ending in "music.wav" or "music.mp3", in any case)
// takes the last channel on its first play and is spared by stop-all and
// unload-all unless everything is asked for. Each channel remembers the
// sound whose data it holds, so stopping or unloading a sound touches its
// own channels only, wherever it plays, and a sound's data is never freed
// while a channel plays it.
//
// Positions are world units (inches); the listener is the current camera.
#pragma once

#include <cstdint>
#include <cstdio>

#include "runtime_services.h"
#include "script_imports.h"
#include "win_geo.h"
#include "win_sound.h"

struct ail_driver;
struct ail_provider;
struct ail_listener;
struct ail_sample;
struct ail_3d_sample;

enum {
    SOUND_MAX_CHANNELS = 128,      // of each table; the library may offer fewer
    SOUND_MAX_3D_PROVIDERS = 256,  // enumerated at most
    SOUND_MAX_PATH = 128,          // directory, "\" and name, with the zero
};

struct sound_module_record {
    int32_t sound_enabled;      // 1 when sound is on
    int32_t enable_3d;          // 1: 3D mode through a 3D provider; 0: 2D
    int32_t sound_initialized;  // 1 after sound_init succeeded
    ail_driver* sound_digital_driver;
    ail_provider* sound_3d_provider_table[SOUND_MAX_3D_PROVIDERS];
    int32_t sound_3d_provider_index = -1;  // the provider last asked for; -1 for none
    ail_provider* sound_3d_provider;       // the open one, NULL for none
    ail_listener* sound_3d_listener;
    ail_sample* sound_2d_sample_table[SOUND_MAX_CHANNELS];  // slot i is channel i
    int32_t sound_2d_channel_count;
    ail_3d_sample* sound_3d_sample_table[SOUND_MAX_CHANNELS];
    int32_t sound_3d_channel_count;
    // The sound whose data each channel was last given; NULL for none.
    win_sound_container* sound_2d_channel_owner[SOUND_MAX_CHANNELS];
    win_sound_container* sound_3d_channel_owner[SOUND_MAX_CHANNELS];
    // Every loaded sound, in load order.
    win_sound_container* sound_container_list;
    int32_t sound_container_list_size;
};

extern sound_module_record sound_module;

// sound_set_enabled, sound_init, the configuration section, loading and
// playing sounds and the registration of the holders of sound pointers are
// in runtime_services.h; finding, unloading, stopping sounds and their
// volume in script_imports.h.
int sound_set_disabled(void);
ail_driver* sound_get_digital_driver(void);

// Opens provider `index` of the provider table with its listener and 3D
// channels, after releasing the channels held; -1 opens none. 1 when open.
int sound_open_3d_provider(int32_t index);
// Releases every channel and closes the 3D provider; 1.
int sound_release_channels(void);
// Unloads every sound and closes the library; disabled: a notice and 1.
int sound_term(void);

// Unloads every sound (all: also the music); the AND of the single results.
int sound_unload_all(int32_t all);

// Places 3D channel `channel` (positions in world units) and the listener,
// who faces along `facing`.
int sound_set_sample_values(int32_t channel, const win_vect3* sound_position,
                            const win_vect3* listener_position, const win_vect3* facing,
                            const win_vect3* sound_velocity);
// Stops every sound (all: also the music, and every channel of both tables).
int sound_stop_all(int32_t all);
// The progress callback of MP3 decompression: goes on.
int32_t sound_null_callback(uint32_t a, uint32_t b);

// Lets go of every sound and channel and closes the library without a
// message, then back to the start values; for tests.
void sound_reset(void);
