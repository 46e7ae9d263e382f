// The sound library's output side on OpenAL Soft: the digital output (a
// device with one context), 2D channels (sources placed around the listener
// for their pan), the 3D provider with its listener and 3D channels, and the
// playable buffers decoded from the library's data.
//
// Every channel is one OpenAL source. A loop count n >= 1 queues the buffer n
// times and 0 loops it, so a channel reports done exactly when its plays are
// over. OpenAL mixes on a thread of its own (on a loopback output, in the
// test's render call); the library itself is only called from the main
// thread.
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/ail.h"
#include "platform/ail_internal.h"
#include "platform/ail_test.h"

// A channel: what 2D and 3D channels have in common.
struct ail_voice {
    ALuint source;  // 0 once the output closed under the channel
    int32_t is_3d;  // the voice begins an ail_3d_sample, else an ail_sample
    int32_t loop_count;
    const ail_block* block;  // holds the attached data; NULL when none
    ALuint buffer;           // the attached buffer
    int32_t stereo;          // the buffer has two channels
};

struct ail_sample {
    ail_voice voice;
    int32_t pan;
};

struct ail_3d_sample {
    ail_voice voice;
};

struct ail_driver {
    ALCdevice* device;
    ALCcontext* context;
    int32_t loopback;
};

struct ail_provider {
    int32_t open;
};

struct ail_listener {
    int32_t open;
};

namespace {

enum { DEFAULT_CHANNEL_COUNT = 32 };

// Playable data decoded into OpenAL buffers, once per data pointer.
struct decoded {
    const ail_block* block;
    const void* data;
    ALuint buffer;  // as decoded
    ALuint mono;    // mixed down for 3D channels; 0 until asked for
    int32_t stereo;
};

struct output_state {
    int32_t started = 0;
    ail_driver* driver = nullptr;  // the one open output
    ail_provider provider = {};
    ail_listener listener = {};
    std::vector<ail_voice*> voices;  // every channel not yet released
    std::vector<decoded> buffers;
    // Test hooks.
    int output = AIL_TEST_OUTPUT_DEVICE;
    int32_t channel_count = 0;
    LPALCRENDERSAMPLESSOFT render = nullptr;
};
output_state out;

// The OpenAL error of the last calls as the last error; 1 when there was one.
int al_failed(const char* what)
{
    ALenum error = alGetError();
    if (error == AL_NO_ERROR)
        return 0;
    ail_set_last_error("%s failed: %s", what, alGetString(error));
    return 1;
}

ALuint make_buffer(const ail_pcm& pcm)
{
    ALuint buffer = 0;
    alGetError();
    alGenBuffers(1, &buffer);
    if (al_failed("making a sound buffer"))
        return 0;
    alBufferData(buffer, pcm.channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16,
                 pcm.samples.data(), (ALsizei)(pcm.samples.size() * sizeof(int16_t)), pcm.rate);
    if (al_failed("filling a sound buffer")) {
        alDeleteBuffers(1, &buffer);
        return 0;
    }
    return buffer;
}

decoded* find_decoded(const void* data)
{
    for (decoded& entry : out.buffers)
        if (entry.data == data)
            return &entry;
    return nullptr;
}

// The buffer that plays `data` (mono for 3D channels); 0 with the last error
// set when the data cannot be played. Data is decoded on its first attach
// only.
ALuint buffer_for(const void* data, int mono, int32_t* stereo)
{
    if (!out.driver) {
        ail_set_last_error("no digital output is open");
        return 0;
    }
    decoded* entry = find_decoded(data);
    ail_pcm pcm;
    if (!entry) {
        if (!ail_decode_playable(data, &pcm))
            return 0;
        ALuint buffer = make_buffer(pcm);
        if (!buffer)
            return 0;
        out.buffers.push_back({ail_find_block(data), data, buffer, 0, pcm.channels == 2});
        entry = &out.buffers.back();
    }
    *stereo = mono ? 0 : entry->stereo;
    if (!mono || !entry->stereo)
        return entry->buffer;
    if (!entry->mono) {
        if (pcm.samples.empty() && !ail_decode_playable(data, &pcm))
            return 0;
        for (size_t i = 0; i < pcm.samples.size() / 2; ++i)
            pcm.samples[i] = (int16_t)((pcm.samples[2 * i] + pcm.samples[2 * i + 1]) / 2);
        pcm.samples.resize(pcm.samples.size() / 2);
        pcm.channels = 1;
        entry->mono = make_buffer(pcm);
    }
    return entry->mono;
}

void delete_buffers(const decoded& entry)
{
    alDeleteBuffers(1, &entry.buffer);
    if (entry.mono)
        alDeleteBuffers(1, &entry.mono);
}

void detach(ail_voice* voice)
{
    if (voice->source) {
        alSourceStop(voice->source);
        alSourcei(voice->source, AL_BUFFER, 0);
    }
    voice->block = nullptr;
    voice->buffer = 0;
    voice->stereo = 0;
}

// Gives the channel its source; 0 when the output has none left.
int open_voice(ail_voice* voice, int is_3d)
{
    alGetError();
    alGenSources(1, &voice->source);
    if (al_failed("making a channel"))
        return 0;
    voice->loop_count = 1;
    voice->is_3d = is_3d;
    // 2D channels sit around the listener for their pan, whatever the
    // distance model says.
    alSourcei(voice->source, AL_SOURCE_RELATIVE, is_3d ? AL_FALSE : AL_TRUE);
    alSourcef(voice->source, AL_ROLLOFF_FACTOR, is_3d ? 1.0f : 0.0f);
    out.voices.push_back(voice);
    return 1;
}

// A new 2D or 3D channel with its source; NULL when the output has none left.
template <class Channel>
Channel* new_channel(int is_3d)
{
    auto* channel = new Channel{};
    if (!open_voice(&channel->voice, is_3d)) {
        delete channel;
        return nullptr;
    }
    return channel;
}

void close_voice(ail_voice* voice)
{
    detach(voice);
    if (voice->source)
        alDeleteSources(1, &voice->source);
    voice->source = 0;
}

void release_voice(ail_voice* voice)
{
    close_voice(voice);
    out.voices.erase(std::find(out.voices.begin(), out.voices.end(), voice));
}

int attach(ail_voice* voice, const void* data, int mono)
{
    detach(voice);
    int32_t stereo = 0;
    ALuint buffer = voice->source ? buffer_for(data, mono, &stereo) : 0;
    if (!buffer)
        return 0;
    voice->block = ail_find_block(data);
    voice->buffer = buffer;
    voice->stereo = stereo;
    return 1;
}

void start(ail_voice* voice)
{
    if (!voice->source || !voice->buffer)
        return;
    alSourceStop(voice->source);
    alSourcei(voice->source, AL_BUFFER, 0);
    if (voice->loop_count == 0) {
        alSourcei(voice->source, AL_LOOPING, AL_TRUE);
        alSourcei(voice->source, AL_BUFFER, (ALint)voice->buffer);
    } else {
        alSourcei(voice->source, AL_LOOPING, AL_FALSE);
        // The same buffer once for each play, queued a batch at a time.
        ALuint batch[64];
        std::fill(std::begin(batch), std::end(batch), voice->buffer);
        for (int32_t left = voice->loop_count; left > 0; left -= 64)
            alSourceQueueBuffers(voice->source, std::min(left, 64), batch);
    }
    alSourcePlay(voice->source);
}

uint32_t status(const ail_voice* voice)
{
    ALint state = AL_STOPPED;
    if (voice && voice->source)
        alGetSourcei(voice->source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING ? AIL_SAMPLE_PLAYING : AIL_SAMPLE_DONE;
}

void set_loop_count(ail_voice* voice, int32_t loop_count)
{
    voice->loop_count = loop_count < 0 ? 1 : std::min<int32_t>(loop_count, AIL_MAX_LOOP_COUNT);
}

void set_volume(ail_voice* voice, int32_t volume)
{
    if (voice->source)
        alSourcef(voice->source, AL_GAIN, (float)std::clamp(volume, 0, 127) / 127.0f);
}

// A 2D channel sounds from a point on the circle around the listener: pan 0
// fully left, 127 fully right, in front between them. A stereo buffer turns
// both its channels that way instead.
void apply_pan(ail_sample* sample)
{
    ALuint source = sample->voice.source;
    if (!source)
        return;
    float x = std::clamp(((float)sample->pan - 63.5f) / 63.5f, -1.0f, 1.0f);
    alSource3f(source, AL_POSITION, x, 0.0f, -std::sqrt(1.0f - x * x));
    if (sample->voice.stereo) {
        // OpenAL's angles run counter-clockwise: positive is to the left.
        const float side = std::numbers::pi_v<float> / 2.0f;
        const float spread = std::numbers::pi_v<float> / 6.0f;
        float centre = -x * side, half = spread * (1.0f - std::fabs(x));
        ALfloat angles[2] = {centre + half, centre - half};
        alSourcefv(source, AL_STEREO_ANGLES, angles);
    }
}

void close_listener(void)
{
    out.listener.open = 0;
    if (!out.driver)
        return;
    const ALfloat forward[6] = {0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f};
    alListener3f(AL_POSITION, 0.0f, 0.0f, 0.0f);
    alListener3f(AL_VELOCITY, 0.0f, 0.0f, 0.0f);
    alListenerfv(AL_ORIENTATION, forward);
}

ALCdevice* open_device(int32_t* loopback)
{
    *loopback = out.output == AIL_TEST_OUTPUT_LOOPBACK;
    if (out.output == AIL_TEST_OUTPUT_NONE)
        return nullptr;
    if (!*loopback)
        return alcOpenDevice(nullptr);
    auto open_loopback = (LPALCLOOPBACKOPENDEVICESOFT)alcGetProcAddress(
        nullptr, "alcLoopbackOpenDeviceSOFT");
    out.render = (LPALCRENDERSAMPLESSOFT)alcGetProcAddress(nullptr, "alcRenderSamplesSOFT");
    return open_loopback && out.render ? open_loopback(nullptr) : nullptr;
}

}  // namespace

int32_t AIL_startup(void)
{
    if (out.started)
        return 0;
    out.started = 1;
    ail_set_last_error("%s", "");
    return 1;
}

void AIL_shutdown(void)
{
    while (!out.voices.empty()) {
        ail_voice* voice = out.voices.back();
        if (voice->is_3d)
            AIL_release_3D_sample_handle(reinterpret_cast<ail_3d_sample*>(voice));
        else
            AIL_release_sample_handle(reinterpret_cast<ail_sample*>(voice));
    }
    if (out.driver)
        AIL_waveOutClose(out.driver);
    ail_release_all_blocks();
    out.provider.open = 0;
    out.listener.open = 0;
    out.started = 0;
}

int32_t AIL_waveOutOpen(ail_driver** driver, void**, int32_t, const void*)
{
    if (!driver)
        return 1;
    *driver = nullptr;
    if (out.driver) {
        ail_set_last_error("the digital output is already open");
        return 1;
    }
    int32_t loopback = 0;
    ALCdevice* device = open_device(&loopback);
    if (!device) {
        ail_set_last_error("no audio output device could be opened");
        return 1;
    }
    // The loopback output mixes stereo floats without head-related filters,
    // so that tests hear plain panning.
    const ALCint loopback_attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                          ALC_STEREO_SOFT,
                                          ALC_FORMAT_TYPE_SOFT,
                                          ALC_FLOAT_SOFT,
                                          ALC_FREQUENCY,
                                          AIL_TEST_LOOPBACK_RATE,
                                          ALC_HRTF_SOFT,
                                          ALC_FALSE,
                                          0};
    ALCcontext* context = alcCreateContext(device, loopback ? loopback_attributes : nullptr);
    if (!context || !alcMakeContextCurrent(context)) {
        ail_set_last_error("the audio output device could not be used");
        if (context)
            alcDestroyContext(context);
        alcCloseDevice(device);
        return 1;
    }
    alDistanceModel(AL_LINEAR_DISTANCE_CLAMPED);
    out.driver = new ail_driver{device, context, loopback};
    *driver = out.driver;
    close_listener();
    return 0;
}

void AIL_waveOutClose(ail_driver* driver)
{
    if (!driver || driver != out.driver)
        return;
    // Channels still held lose their sources but stay valid handles.
    for (ail_voice* voice : out.voices)
        close_voice(voice);
    for (const decoded& entry : out.buffers)
        delete_buffers(entry);
    out.buffers.clear();
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(driver->context);
    alcCloseDevice(driver->device);
    delete driver;
    out.driver = nullptr;
    out.provider.open = 0;
    out.listener.open = 0;
}

int32_t AIL_get_preference(uint32_t number)
{
    if (number != AIL_PREFERENCE_MIXER_CHANNELS)
        return 0;
    return out.channel_count > 0 ? out.channel_count : DEFAULT_CHANNEL_COUNT;
}

ail_sample* AIL_allocate_sample_handle(ail_driver* driver)
{
    if (!driver || driver != out.driver) {
        ail_set_last_error("no digital output is open");
        return nullptr;
    }
    ail_sample* sample = new_channel<ail_sample>(0);
    AIL_init_sample(sample);
    return sample;
}

void AIL_init_sample(ail_sample* sample)
{
    if (!sample)
        return;
    detach(&sample->voice);
    set_loop_count(&sample->voice, 1);
    set_volume(&sample->voice, 127);
    sample->pan = 64;
    apply_pan(sample);
}

void AIL_release_sample_handle(ail_sample* sample)
{
    if (!sample)
        return;
    release_voice(&sample->voice);
    delete sample;
}

int32_t AIL_enumerate_3D_providers(ail_provider_cursor* next, ail_provider** provider,
                                   const char** name)
{
    if (!next || !provider || !name || *next != 0)
        return 0;
    *next = 1;
    *provider = &out.provider;
    *name = "OpenAL positional audio";
    return 1;
}

int32_t AIL_open_3D_provider(ail_provider* provider)
{
    if (provider != &out.provider || !out.driver) {
        ail_set_last_error("the 3D provider needs an open digital output");
        return 1;
    }
    provider->open = 1;
    return AIL_3D_NO_ERROR;
}

void AIL_close_3D_provider(ail_provider* provider)
{
    if (provider == &out.provider)
        provider->open = 0;
}

ail_3d_sample* AIL_allocate_3D_sample_handle(ail_provider* provider)
{
    if (provider != &out.provider || !provider->open || !out.driver) {
        ail_set_last_error("the 3D provider is not open");
        return nullptr;
    }
    return new_channel<ail_3d_sample>(1);
}

void AIL_release_3D_sample_handle(ail_3d_sample* sample)
{
    if (!sample)
        return;
    release_voice(&sample->voice);
    delete sample;
}

ail_listener* AIL_open_3D_listener(ail_provider* provider)
{
    if (provider != &out.provider || !provider->open) {
        ail_set_last_error("the 3D provider is not open");
        return nullptr;
    }
    close_listener();
    out.listener.open = 1;
    return &out.listener;
}

void AIL_close_3D_listener(ail_listener* listener)
{
    if (listener == &out.listener)
        close_listener();
}

uint32_t AIL_sample_status(ail_sample* sample)
{
    return status(sample ? &sample->voice : nullptr);
}

uint32_t AIL_3D_sample_status(ail_3d_sample* sample)
{
    return status(sample ? &sample->voice : nullptr);
}

int32_t AIL_set_sample_file(ail_sample* sample, const void* data, int32_t)
{
    if (!sample)
        return 0;
    int ok = attach(&sample->voice, data, 0);
    // Mono and stereo buffers take their pan differently.
    apply_pan(sample);
    return ok;
}

int32_t AIL_set_3D_sample_file(ail_3d_sample* sample, const void* data)
{
    return sample ? attach(&sample->voice, data, 1) : 0;
}

void AIL_set_sample_loop_count(ail_sample* sample, int32_t loop_count)
{
    if (sample)
        set_loop_count(&sample->voice, loop_count);
}

void AIL_set_3D_sample_loop_count(ail_3d_sample* sample, int32_t loop_count)
{
    if (sample)
        set_loop_count(&sample->voice, loop_count);
}

void AIL_set_sample_volume(ail_sample* sample, int32_t volume)
{
    if (sample)
        set_volume(&sample->voice, volume);
}

void AIL_set_sample_pan(ail_sample* sample, int32_t pan)
{
    if (!sample)
        return;
    sample->pan = std::clamp(pan, 0, 127);
    apply_pan(sample);
}

void AIL_set_3D_sample_volume(ail_3d_sample* sample, int32_t volume)
{
    if (sample)
        set_volume(&sample->voice, volume);
}

void AIL_set_3D_sample_float_distances(ail_3d_sample* sample, float max_front_dist,
                                       float min_front_dist, float, float)
{
    if (!sample || !sample->voice.source)
        return;
    float reference = std::max(min_front_dist, 0.0f);
    alSourcef(sample->voice.source, AL_REFERENCE_DISTANCE, reference);
    alSourcef(sample->voice.source, AL_MAX_DISTANCE, std::max(max_front_dist, reference));
}

// The world's z runs forward; OpenAL's runs toward the listener.
void AIL_set_3D_position(ail_3d_sample* sample, float x, float y, float z)
{
    if (sample && sample->voice.source)
        alSource3f(sample->voice.source, AL_POSITION, x, y, -z);
}

void AIL_set_3D_position(ail_listener* listener, float x, float y, float z)
{
    if (listener == &out.listener && out.driver)
        alListener3f(AL_POSITION, x, y, -z);
}

// The facing and up vectors arrive with z toward the listener already.
void AIL_set_3D_orientation(ail_listener* listener, float face_x, float face_y, float face_z,
                            float up_x, float up_y, float up_z)
{
    if (listener != &out.listener || !out.driver)
        return;
    const ALfloat orientation[6] = {face_x, face_y, face_z, up_x, up_y, up_z};
    alListenerfv(AL_ORIENTATION, orientation);
}

void AIL_set_3D_velocity_vector(ail_3d_sample* sample, float x, float y, float z)
{
    if (sample && sample->voice.source)
        alSource3f(sample->voice.source, AL_VELOCITY, x, y, -z);
}

void AIL_start_sample(ail_sample* sample)
{
    if (sample)
        start(&sample->voice);
}

void AIL_start_3D_sample(ail_3d_sample* sample)
{
    if (sample)
        start(&sample->voice);
}

void AIL_end_sample(ail_sample* sample)
{
    if (sample && sample->voice.source)
        alSourceStop(sample->voice.source);
}

void AIL_end_3D_sample(ail_3d_sample* sample)
{
    if (sample && sample->voice.source)
        alSourceStop(sample->voice.source);
}

void ail_output_forget_block(const ail_block* block)
{
    // OpenAL refuses to delete a buffer that a source still holds, so the
    // channels let go first.
    for (ail_voice* voice : out.voices)
        if (voice->block == block)
            detach(voice);
    // Each entry's buffers go while the entry still names them (what a
    // removal leaves past the new end is not what it removed).
    auto of_block = [&](const decoded& entry) { return entry.block == block; };
    for (const decoded& entry : out.buffers)
        if (of_block(entry))
            delete_buffers(entry);
    std::erase_if(out.buffers, of_block);
}

// ---- Test hooks ----

void ail_test_set_output(int output)
{
    out.output = output;
}

int ail_test_render(float* frames, int32_t frame_count)
{
    if (!out.driver || !out.driver->loopback || !frames || frame_count < 0)
        return 0;
    out.render(out.driver->device, frames, frame_count);
    return 1;
}

void ail_test_set_channel_count(int32_t count)
{
    out.channel_count = count;
}
