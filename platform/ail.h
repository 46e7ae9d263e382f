// The sound library the game plays through (the AIL_* calls): one digital
// output with its 2D sample channels (volume, pan, loops), a 3D provider with
// its listener and positioned 3D sample channels, whole-file reading, wave
// type detection, and ADPCM and MP3 decompression into playable samples.
//
// Handles are pointers to the library's own objects; a NULL handle is
// accepted everywhere and does nothing. Every buffer the library gives out
// (file reads, decompressed samples) is given back with AIL_mem_free_lock;
// giving one back first stops and detaches every channel that plays it.
//
// Playable sample data is a wave file image holding PCM samples: a wave file
// as read (its data after the size word of AIL_file_read) or the output of a
// decompressor. A channel decodes it once, when it is first attached, and
// keeps the result with the buffer for every later channel and play.
//
// 3D space: positions and velocities are given in the game world's axes
// (x right, y up, z forward, in metres); the listener's facing and up vectors
// are given with z pointing backward, toward the listener, as the callers
// compute them. Between 10 and 200 metres (the distances the callers set) a
// 3D sample fades linearly to silence.
//
// Failures are told by the result of each call and by AIL_last_error. The
// library keeps no threads of its own on the caller's side; only the main
// thread calls it.
#pragma once

#include <cstdint>

struct ail_driver;     // the digital output
struct ail_provider;   // a 3D provider
struct ail_listener;   // the 3D listener of a provider
struct ail_sample;     // a 2D sample channel
struct ail_3d_sample;  // a 3D sample channel

// Enumeration cursor of AIL_enumerate_3D_providers; starts at 0.
typedef uint32_t ail_provider_cursor;

// Results of AIL_file_type.
enum {
    AIL_FILE_TYPE_UNKNOWN = 0,
    AIL_FILE_TYPE_PCM_WAV = 1,
    AIL_FILE_TYPE_ADPCM_WAV = 2,
    AIL_FILE_TYPE_MP3 = 13,
};

// Results of AIL_sample_status and AIL_3D_sample_status.
enum {
    AIL_SAMPLE_DONE = 2,     // not playing: the channel is free
    AIL_SAMPLE_PLAYING = 4,  // started and not yet at its end
};

// AIL_get_preference numbers.
enum { AIL_PREFERENCE_MIXER_CHANNELS = 1 };

// The `dest` of AIL_file_read that asks for a new buffer whose first 32-bit
// word is the file's size, with the file's bytes after it.
#define AIL_FILE_READ_WITH_SIZE ((void*)-1)

// AIL_open_3D_provider's result when the provider opened.
enum { AIL_3D_NO_ERROR = 0 };

// What AIL_WAV_info tells of a wave file image.
struct ail_sound_info {
    int32_t format;        // the wave format tag (1 PCM, 3 float, 0x11 IMA ADPCM); of an extensible
                           // header its sub-format's, 0xFFFE when that is no standard one
    const void* data_ptr;  // the wave file image
    uint32_t data_len;     // its bytes, to the end of the buffer that holds it
    uint32_t rate;         // frames per second
    int32_t bits;          // per sample as stored
    int32_t channels;
    uint32_t block_size;  // bytes of one block (ADPCM) or one frame (PCM)
};

// Told of a decompression's progress (bytes of output so far, 0); a result of
// 0 abandons the decompression.
typedef int32_t (*ail_progress_funct)(uint32_t progress, uint32_t reserved);

// Starts the library; 0 when it was already started (it stays started).
int32_t AIL_startup(void);
// Releases every channel, provider, output and buffer still held.
void AIL_shutdown(void);

// Opens the digital output: `device_id` -1 and NULL `format` ask for the
// default device in its own format; `wave_out` is not used. 0 on success,
// with *driver set; nonzero when no output could be opened.
int32_t AIL_waveOutOpen(ail_driver** driver, void** wave_out, int32_t device_id,
                        const void* format);
// Closes the output; its channels must have been released.
void AIL_waveOutClose(ail_driver* driver);
// AIL_PREFERENCE_MIXER_CHANNELS: how many channels of each kind to allocate.
int32_t AIL_get_preference(uint32_t number);

// A 2D channel of the output, or NULL when none is left. A new channel and
// AIL_init_sample give: nothing attached, loop count 1, volume 127, pan 64.
ail_sample* AIL_allocate_sample_handle(ail_driver* driver);
void AIL_init_sample(ail_sample* sample);
void AIL_release_sample_handle(ail_sample* sample);

// The providers one after the other: nonzero with *provider and *name (the
// library's text) while one is returned, 0 after the last.
int32_t AIL_enumerate_3D_providers(ail_provider_cursor* next, ail_provider** provider,
                                   const char** name);
// AIL_3D_NO_ERROR when the provider opened (the output must be open).
int32_t AIL_open_3D_provider(ail_provider* provider);
// Closes the provider; its channels must have been released.
void AIL_close_3D_provider(ail_provider* provider);
// A 3D channel of an open provider, or NULL when none is left; a new channel
// has nothing attached, loop count 1 and volume 127.
ail_3d_sample* AIL_allocate_3D_sample_handle(ail_provider* provider);
void AIL_release_3D_sample_handle(ail_3d_sample* sample);
// The provider's listener, at the origin and facing forward; closing it puts
// it back there.
ail_listener* AIL_open_3D_listener(ail_provider* provider);
void AIL_close_3D_listener(ail_listener* listener);

// Reads the whole file `filename` (a path of the program's form, resolved as
// every file open is). `dest` must be AIL_FILE_READ_WITH_SIZE. NULL on
// failure, and AIL_file_error is nonzero until the next read.
void* AIL_file_read(const char* filename, void* dest);
int32_t AIL_file_error(void);
// The kind of the `size` bytes at `data`, from their contents; for
// AIL_FILE_TYPE_UNKNOWN the last error says why.
int32_t AIL_file_type(const void* data, uint32_t size);
// Describes the wave file image at `data` (inside a buffer of the library);
// nonzero on success.
int32_t AIL_WAV_info(const void* data, ail_sound_info* info);
// Decompresses the IMA ADPCM wave that `info` describes into a new buffer of
// playable samples (*out; *out_size when given); nonzero on success, else
// *out is NULL.
int32_t AIL_decompress_ADPCM(const ail_sound_info* info, void** out, uint32_t* out_size);
// The same for compressed audio of the kind `file_ext` names ("mp3").
int32_t AIL_decompress_ASI(const void* data, uint32_t size, const char* file_ext, void** out,
                           uint32_t* out_size, ail_progress_funct callback);
// Gives back a buffer the library gave out; NULL is ignored.
void AIL_mem_free_lock(void* block);
// The text of the last failure; "" when none. Never NULL.
const char* AIL_last_error(void);

// AIL_SAMPLE_PLAYING or AIL_SAMPLE_DONE.
uint32_t AIL_sample_status(ail_sample* sample);
uint32_t AIL_3D_sample_status(ail_3d_sample* sample);
// Stops the channel and attaches the playable sample data at `data`; the
// loop count, volume and pan stay. Nonzero on success. `block` must be 0.
int32_t AIL_set_sample_file(ail_sample* sample, const void* data, int32_t block);
// The same for a 3D channel, which plays the data as mono.
int32_t AIL_set_3D_sample_file(ail_3d_sample* sample, const void* data);
// Plays taken by the next start: 0 repeats until ended; a count below 0
// counts as 1, one above AIL_MAX_LOOP_COUNT as that many.
enum { AIL_MAX_LOOP_COUNT = 10000 };
void AIL_set_sample_loop_count(ail_sample* sample, int32_t loop_count);
void AIL_set_3D_sample_loop_count(ail_3d_sample* sample, int32_t loop_count);
// Volume 0 (silent) .. 127 (full); pan 0 (left) .. 127 (right). Values
// outside are clamped.
void AIL_set_sample_volume(ail_sample* sample, int32_t volume);
void AIL_set_sample_pan(ail_sample* sample, int32_t pan);
void AIL_set_3D_sample_volume(ail_3d_sample* sample, int32_t volume);
// Full volume within `min_front_dist` metres of the listener, silence from
// `max_front_dist` on; the back distances are not used.
void AIL_set_3D_sample_float_distances(ail_3d_sample* sample, float max_front_dist,
                                       float min_front_dist, float max_back_dist,
                                       float min_back_dist);
void AIL_set_3D_position(ail_3d_sample* sample, float x, float y, float z);
void AIL_set_3D_position(ail_listener* listener, float x, float y, float z);
void AIL_set_3D_orientation(ail_listener* listener, float face_x, float face_y, float face_z,
                            float up_x, float up_y, float up_z);
// Metres per second.
void AIL_set_3D_velocity_vector(ail_3d_sample* sample, float x, float y, float z);
// Plays the attached data from its start, as many times as the loop count
// says.
void AIL_start_sample(ail_sample* sample);
void AIL_start_3D_sample(ail_3d_sample* sample);
// Stops the channel; it reports AIL_SAMPLE_DONE afterwards.
void AIL_end_sample(ail_sample* sample);
void AIL_end_3D_sample(ail_3d_sample* sample);
