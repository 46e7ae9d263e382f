#include "sound.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "config_section.h"
#include "debug.h"
#include "file_io.h"
#include "gameglobals.h"
#include "math_util.h"
#include "platform/ail.h"
#include "win_entity.h"
#include "win_math.h"

sound_module_record sound_module;

namespace {

// World units are inches; the library hears metres.
constexpr float METRES_PER_UNIT = 0.0254f;
// Velocities reach the library a thousand times smaller again.
constexpr float VELOCITY_SCALE = 0.0000254f;

sound_forget_funct forget_functs[SOUND_MAX_FORGET_FUNCTS];

// The module's state, by a short name.
sound_module_record& m = sound_module;

// The configuration section.
const config_row config_rows[] = {
    {CONFIG_SWITCH, &m.enable_3d, "enable_3d"},
};

void log_library_error(void)
{
    LOG_ERROR("AIL_last_error returned: %s.\n", AIL_last_error());
}

int is_music(const win_sound_container* sound)
{
    const char* name = sound->win_sound_container_name;
    size_t length = name ? std::strlen(name) : 0;
    return length >= 10 && (strcasecmp(name + length - 9, "music.wav") == 0 ||
                            strcasecmp(name + length - 9, "music.mp3") == 0);
}

// A pointer that may be stale is only compared, never followed, until it is
// found in the list.
int is_loaded(const win_sound_container* sound)
{
    const win_sound_container* node = m.sound_container_list;
    for (int32_t i = 0; i < m.sound_container_list_size; ++i, node = node->next_ptr)
        if (node == sound)
            return 1;
    return 0;
}

// The channels to allocate: what the library offers, as far as the tables
// reach.
int32_t channels_offered(void)
{
    return std::clamp<int32_t>(AIL_get_preference(AIL_PREFERENCE_MIXER_CHANNELS), 0,
                               SOUND_MAX_CHANNELS);
}

// The channels of the session's mode: 2D samples or 3D samples.
int32_t channel_count(void)
{
    return m.enable_3d ? m.sound_3d_channel_count : m.sound_2d_channel_count;
}

win_sound_container** channel_owner(int32_t channel)
{
    return m.enable_3d ? &m.sound_3d_channel_owner[channel] : &m.sound_2d_channel_owner[channel];
}

int channel_is_free(int32_t channel)
{
    uint32_t status = m.enable_3d ? AIL_3D_sample_status(m.sound_3d_sample_table[channel])
                                  : AIL_sample_status(m.sound_2d_sample_table[channel]);
    return status == AIL_SAMPLE_DONE;
}

void channel_end(int32_t channel)
{
    if (m.enable_3d)
        AIL_end_3D_sample(m.sound_3d_sample_table[channel]);
    else
        AIL_end_sample(m.sound_2d_sample_table[channel]);
}

// Attaches the sound's data to the channel, which then belongs to the sound.
int channel_attach(int32_t channel, win_sound_container* sound)
{
    void* data = sound->win_sound_container_sample_data;
    int ok = m.enable_3d ? AIL_set_3D_sample_file(m.sound_3d_sample_table[channel], data)
                         : AIL_set_sample_file(m.sound_2d_sample_table[channel], data, 0);
    *channel_owner(channel) = ok ? sound : nullptr;
    if (!ok) {
        LOG_ERROR(m.enable_3d ? "Unable to AIL_set_3D_sample_file for sound %s.\n"
                              : "Unable to AIL_set_sample_file for sound %s.\n",
                  sound->win_sound_container_name);
        log_library_error();
    }
    return ok;
}

int32_t first_free_channel(void)
{
    for (int32_t channel = 0; channel < channel_count(); ++channel)
        if (channel_is_free(channel))
            return channel;
    return -1;
}

void no_free_channel(void)
{
    LOG_ERROR("%s\n", m.enable_3d ? "No 3d sample channels available. "
                                  : "No regular sample channels available. ");
}

// The channel a play takes, stored in the sound; -1 when none is free.
int32_t choose_channel(win_sound_container* sound)
{
    int32_t channel = sound->win_sound_container_channel;
    if (channel < 0 && is_music(sound)) {
        // Music has the last channel, whatever plays there.
        if (channel_count() < 1) {
            no_free_channel();
            return -1;
        }
        sound->win_sound_container_channel = channel_count() - 1;
        if (m.enable_3d)
            LOG_NOTICE("playing sound %s on channel %ld.\n", sound->win_sound_container_name,
                       (long)sound->win_sound_container_channel);
        return sound->win_sound_container_channel;
    }
    if (channel >= 0 && channel < channel_count() && channel_is_free(channel))
        return channel;
    channel = first_free_channel();
    if (channel < 0) {
        no_free_channel();
        return -1;
    }
    sound->win_sound_container_channel = channel;
    LOG_NOTICE("playing sound %s on channel %ld.\n", sound->win_sound_container_name,
               (long)channel);
    return channel;
}

// Where the current camera is; 0 when there is none.
int camera_position(win_vect3* position)
{
    const win_entity* camera = game_globals.current_camera;
    if (!camera)
        return 0;
    const float* row = camera->local_matrix.m[3];
    *position = {row[0], row[1], row[2]};
    return 1;
}

// A 3D-flagged sound with a position sounds from there, heard from the
// camera. Without a camera it plays at the listener like any other sound.
int positioned(const win_sound_container* sound, const win_vect3* position, win_vect3* listener)
{
    return sound->win_sound_container_is_3d == 1 && position && camera_position(listener);
}

int play_2d(win_sound_container* sound, int32_t channel, const win_vect3* position,
            int32_t loop_count)
{
    ail_sample* sample = m.sound_2d_sample_table[channel];
    AIL_set_sample_loop_count(sample, loop_count);
    if (!channel_attach(channel, sound))
        return 0;
    win_vect3 source = {}, listener = {};
    if (positioned(sound, position, &listener))
        source = *position;
    // Full volume within 10 metres, fading to nothing at 199.
    float distance = win_math_calc_dist(&listener, &source) * METRES_PER_UNIT;
    int32_t volume = 0;
    if (distance < 10.0f)
        volume = 127;
    else if (distance <= 199.0f)
        volume = math_util_float_to_int(127.0f * (1.0f - (distance - 10.0f) / 190.0f));
    // The pan follows the world's x alone, 200 metres to either side.
    float x = (listener.x - source.x) * METRES_PER_UNIT;
    int32_t pan = 0;
    if (x > 200.0f)
        pan = 127;
    else if (x >= -200.0f)
        pan = std::clamp(math_util_float_to_int((x + 200.0f) / 400.0f * 127.0f), 0, 127);
    sound_set_volume(sound, volume, pan);
    AIL_start_sample(sample);
    return 1;
}

int play_3d(win_sound_container* sound, int32_t channel, const win_vect3* position,
            const win_vect3* velocity, int32_t loop_count)
{
    ail_3d_sample* sample = m.sound_3d_sample_table[channel];
    if (!channel_attach(channel, sound))
        return 0;
    AIL_set_3D_sample_loop_count(sample, loop_count);
    AIL_set_3D_sample_float_distances(sample, 200.0f, 10.0f, 200.0f, 10.0f);
    win_vect3 source = {}, speed = {}, listener = {}, facing = {0.0f, 0.0f, -1.0f};
    if (positioned(sound, position, &listener)) {
        source = *position;
        facing = game_globals.camera_look_at_point;
    }
    if (sound->win_sound_container_is_3d == 1 && velocity)
        speed = *velocity;
    sound_set_sample_values(channel, &source, &listener, &facing, &speed);
    AIL_start_3D_sample(sample);
    return 1;
}

// The sound's part of a stop: every channel that holds its data ends.
void end_channels_of(const win_sound_container* sound)
{
    for (int32_t channel = 0; channel < channel_count(); ++channel)
        if (*channel_owner(channel) == sound)
            channel_end(channel);
}

// Gives a sound's data back to the library and frees the sound.
void release(win_sound_container* sound)
{
    for (int32_t channel = 0; channel < SOUND_MAX_CHANNELS; ++channel) {
        if (m.sound_2d_channel_owner[channel] == sound)
            m.sound_2d_channel_owner[channel] = nullptr;
        if (m.sound_3d_channel_owner[channel] == sound)
            m.sound_3d_channel_owner[channel] = nullptr;
    }
    // The library stops whatever still plays the data before it lets it go.
    AIL_mem_free_lock(sound->win_sound_container_file_image
                          ? sound->win_sound_container_file_image
                          : sound->win_sound_container_sample_data);
    free_win_sound_container(sound);
}

// Releases every handle of a channel table and forgets the channels' sounds.
template <class Channel>
void release_table(Channel** table, win_sound_container** owners, void (*release)(Channel*))
{
    for (int32_t i = 0; i < SOUND_MAX_CHANNELS; ++i) {
        if (table[i])
            release(table[i]);
        table[i] = nullptr;
        owners[i] = nullptr;
    }
}

// Releases the channels, the listener and the output, whatever of them a
// start opened, and shuts the library down.
void close_output(void)
{
    sound_release_channels();
    if (m.sound_3d_listener)
        AIL_close_3D_listener(m.sound_3d_listener);
    m.sound_3d_listener = nullptr;
    if (m.sound_digital_driver)
        AIL_waveOutClose(m.sound_digital_driver);
    m.sound_digital_driver = nullptr;
    AIL_shutdown();
    m.sound_initialized = 0;
}

// Without an output every play would fail, and every script command that
// plays a sound with it: the session goes on as with sound off, after one
// line in the log and one on the terminal, where a player looks.
int play_silent(const char* what)
{
    const char* why = AIL_last_error();
    LOG_ERROR("Couldn't open %s (%s): the game plays without sound.\n", what, why);
    std::fprintf(stderr, "varnock: the game plays without sound: couldn't open %s (%s)\n", what,
                 why);
    close_output();
    m.sound_enabled = 0;
    return 0;
}

int refuse_null_or_stale(const win_sound_container* sound, const char* operation)
{
    if (!sound) {
        LOG_ERROR("Unable to %s - sound_container is NULL.\n", operation);
        return 1;
    }
    if (!is_loaded(sound)) {
        LOG_ERROR("Unable to %s - sound_container is not a loaded sound.\n", operation);
        return 1;
    }
    return 0;
}

}  // namespace

int sound_set_enabled(void)
{
    m.sound_enabled = 1;
    return 1;
}

int sound_set_disabled(void)
{
    m.sound_enabled = 0;
    return 1;
}

int sound_is_enabled(void)
{
    return m.sound_enabled;
}

ail_driver* sound_get_digital_driver(void)
{
    return m.sound_digital_driver;
}

int sound_write_config(FILE* session_file)
{
    REFUSE_NULL(session_file, "sound_write_config", "session_file", 0);
    return config_write_section(session_file, "sound", config_rows);
}

int sound_read_config(FILE* session_file, int16_t* line_cnt)
{
    REFUSE_NULL(session_file, "sound_read_config", "session_file", 0);
    REFUSE_NULL(line_cnt, "sound_read_config", "line_cnt", 0);
    return config_read_section(session_file, line_cnt, config_rows);
}

int sound_init(void)
{
    if (!m.sound_enabled) {
        LOG_NOTICE("%s\n", "sound_init aborted because sound is disabled.");
        return 1;
    }
    LOG_NOTICE("%s\n", "sound_init called.");
    if (!AIL_startup())
        LOG_WARNING("%s\n", "AIL was already initialized. Redundant initialization call.");
    std::fill(std::begin(m.sound_2d_sample_table), std::end(m.sound_2d_sample_table), nullptr);
    std::fill(std::begin(m.sound_3d_sample_table), std::end(m.sound_3d_sample_table), nullptr);
    std::fill(std::begin(m.sound_2d_channel_owner), std::end(m.sound_2d_channel_owner), nullptr);
    std::fill(std::begin(m.sound_3d_channel_owner), std::end(m.sound_3d_channel_owner), nullptr);
    if (AIL_waveOutOpen(&m.sound_digital_driver, nullptr, -1, nullptr) != 0) {
        m.sound_digital_driver = nullptr;
        return play_silent("a digital output device");
    }
    if (m.enable_3d) {
        LOG_NOTICE("%s\n", "Enumerating 3D providers.");
        ail_provider_cursor cursor = 0;
        int32_t count = 0;
        const char* name = nullptr;
        while (count < SOUND_MAX_3D_PROVIDERS &&
               AIL_enumerate_3D_providers(&cursor, &m.sound_3d_provider_table[count], &name)) {
            LOG_NOTICE("3d Sound Provider #%ld: %s.\n", (long)count, name);
            ++count;
        }
        LOG_NOTICE("Number of 3D sound Providers available: %ld.\n", (long)count);
        m.sound_initialized = 0;
        for (int32_t i = 0; i < count && !m.sound_initialized; ++i)
            m.sound_initialized = sound_open_3d_provider(i);
        return m.sound_initialized ? 1 : play_silent("a 3D sound provider");
    }
    m.sound_2d_channel_count = channels_offered();
    for (int32_t i = 0; i < m.sound_2d_channel_count; ++i) {
        m.sound_2d_sample_table[i] = AIL_allocate_sample_handle(m.sound_digital_driver);
        if (!m.sound_2d_sample_table[i]) {
            m.sound_2d_channel_count = i;
            break;
        }
        AIL_init_sample(m.sound_2d_sample_table[i]);
    }
    LOG_NOTICE("Number of regular sound channels available: %ld.\n",
               (long)m.sound_2d_channel_count);
    m.sound_initialized = 1;
    return 1;
}

int sound_open_3d_provider(int32_t index)
{
    m.sound_3d_provider_index = index;
    sound_release_channels();
    if (index == -1)
        return 0;
    ail_provider* provider = index >= 0 && index < SOUND_MAX_3D_PROVIDERS
                                 ? m.sound_3d_provider_table[index]
                                 : nullptr;
    if (!provider || AIL_open_3D_provider(provider) != AIL_3D_NO_ERROR) {
        LOG_NOTICE("Unable to open provider %ld...\n", (long)index);
        LOG_NOTICE("AIL_last_error returned: %s.\n", AIL_last_error());
        m.sound_3d_provider_index = -1;
        sound_release_channels();
        return 0;
    }
    LOG_NOTICE("Opened 3d provider %ld.\n", (long)index);
    m.sound_3d_provider = provider;
    m.sound_3d_channel_count = channels_offered();
    for (int32_t i = 0; i < m.sound_3d_channel_count; ++i) {
        m.sound_3d_sample_table[i] = AIL_allocate_3D_sample_handle(provider);
        if (!m.sound_3d_sample_table[i]) {
            m.sound_3d_channel_count = i;
            break;
        }
    }
    if (m.sound_3d_listener)
        AIL_close_3D_listener(m.sound_3d_listener);
    m.sound_3d_listener = AIL_open_3D_listener(provider);
    LOG_NOTICE("Number of 3d channels available: %ld.\n", (long)m.sound_3d_channel_count);
    return 1;
}

int sound_release_channels(void)
{
    release_table(m.sound_2d_sample_table, m.sound_2d_channel_owner, AIL_release_sample_handle);
    if (!m.enable_3d)
        return 1;
    release_table(m.sound_3d_sample_table, m.sound_3d_channel_owner, AIL_release_3D_sample_handle);
    if (m.sound_3d_provider)
        AIL_close_3D_provider(m.sound_3d_provider);
    m.sound_3d_provider = nullptr;
    return 1;
}

int sound_term(void)
{
    if (!m.sound_enabled) {
        LOG_NOTICE("%s\n", "sound_term aborted because sound is disabled.");
        return 1;
    }
    LOG_NOTICE("%s\n", "sound_term called.");
    sound_unload_all(1);
    // Closes what the start opened: the channels, the listener, the output.
    close_output();
    return 1;
}

win_sound_container* sound_find(const char* name)
{
    if (!name || !m.sound_container_list)
        return nullptr;
    return (win_sound_container*)dlink_find((dlink*)m.sound_container_list, name);
}

win_sound_container* sound_load(const char* name, int32_t is_3d, const char* directory)
{
    if (!m.sound_enabled)
        return nullptr;
    LOG_NOTICE("Attempting to sound_load %s.\n", name ? name : "(null)");
    if (!name || !directory) {
        LOG_ERROR("unable to load %s.\n", name ? name : "(null)");
        return nullptr;
    }
    win_sound_container* sound = malloc_win_sound_container(name);
    if (!sound) {
        LOG_ERROR("Unable to allocate sound container for %s.\n", name);
        return nullptr;
    }
    sound->win_sound_container_is_3d = is_3d == 1 ? 1 : 0;
    char path[SOUND_MAX_PATH];
    if (snprintf(path, sizeof path, "%s\\%s", directory, name) >= (int)sizeof path) {
        LOG_ERROR("unable to load %s\\%s.\n", directory, name);
        free_win_sound_container(sound);
        return nullptr;
    }
    uint8_t* file = (uint8_t*)AIL_file_read(path, AIL_FILE_READ_WITH_SIZE);
    if (!file || AIL_file_error()) {
        LOG_ERROR("unable to load %s.\n", path);
        log_library_error();
        AIL_mem_free_lock(file);
        free_win_sound_container(sound);
        return nullptr;
    }
    // The file's bytes follow its size word.
    uint32_t size;
    std::memcpy(&size, file, sizeof size);
    void* data = file + sizeof size;
    void* decoded = nullptr;
    switch (AIL_file_type(data, size)) {
    case AIL_FILE_TYPE_PCM_WAV:
        // Played as it stands, straight from the file buffer.
        sound->win_sound_container_sample_data = data;
        sound->win_sound_container_file_image = file;
        file = nullptr;
        break;
    case AIL_FILE_TYPE_ADPCM_WAV: {
        ail_sound_info info;
        AIL_WAV_info(data, &info);
        AIL_decompress_ADPCM(&info, &decoded, nullptr);
        break;
    }
    case AIL_FILE_TYPE_MP3:
        AIL_decompress_ASI(data, size, "mp3", &decoded, nullptr, sound_null_callback);
        break;
    }
    if (file) {
        AIL_mem_free_lock(file);
        sound->win_sound_container_sample_data = decoded;
    }
    if (!sound->win_sound_container_sample_data) {
        LOG_ERROR("unable to load %s.\n", path);
        log_library_error();
        free_win_sound_container(sound);
        return nullptr;
    }
    sound->win_sound_container_load_index = m.sound_container_list_size;
    add_to_win_sound_container_list(&m.sound_container_list, &m.sound_container_list_size, sound);
    return sound;
}

int sound_unload(win_sound_container* sound)
{
    if (!m.sound_enabled)
        return 1;
    if (refuse_null_or_stale(sound, "sound_unload"))
        return 0;
    LOG_NOTICE("Attempting to sound_unload %s.\n", sound->win_sound_container_name);
    if (!sound_stop(sound))
        return 0;
    remove_from_win_sound_container_list(&m.sound_container_list, &m.sound_container_list_size,
                                         sound);
    for (sound_forget_funct forget : forget_functs)
        if (forget)
            forget(sound);
    release(sound);
    return 1;
}

int sound_unload_all(int32_t all)
{
    LOG_NOTICE("%s\n", "sound_unload_all called..");
    int ok = 1;
    win_sound_container* sound = m.sound_container_list;
    // Each successor is taken before its sound goes; kept music stays listed.
    for (int32_t i = 0, count = m.sound_container_list_size; i < count; ++i) {
        win_sound_container* next = sound->next_ptr;
        if (all || !is_music(sound))
            ok = sound_unload(sound) && ok;
        sound = next;
    }
    return ok;
}

int sound_play(win_sound_container* sound, const win_vect3* position, const win_vect3* velocity,
               int32_t loop_count)
{
    if (!m.sound_enabled)
        return 1;
    if (refuse_null_or_stale(sound, "sound_play"))
        return 0;
    int32_t channel = choose_channel(sound);
    if (channel < 0)
        return 0;
    return m.enable_3d ? play_3d(sound, channel, position, velocity, loop_count)
                       : play_2d(sound, channel, position, loop_count);
}

int sound_stop(win_sound_container* sound)
{
    LOG_NOTICE("%s\n", "sound_stop called.");
    if (!m.sound_enabled)
        return 1;
    if (refuse_null_or_stale(sound, "sound_stop"))
        return 0;
    end_channels_of(sound);
    return 1;
}

int sound_set_volume(win_sound_container* sound, int32_t volume, int32_t extra_info)
{
    if (!m.sound_enabled)
        return 1;
    if (volume < 0 || volume > 127) {
        LOG_ERROR("requested volume %ld invalid - value must be between 0 and 127 inclusive.\n",
                  (long)volume);
        return 0;
    }
    if (extra_info < 0 || extra_info > 127) {
        LOG_ERROR("requested extra_info %ld invalid - value must be between 0 and 127 inclusive.\n",
                  (long)extra_info);
        return 0;
    }
    if (refuse_null_or_stale(sound, "sound_set_volume"))
        return 0;
    LOG_NOTICE("sound_set_volume called for sound %s.\n", sound->win_sound_container_name);
    int32_t channel = sound->win_sound_container_channel;
    // A channel that another sound took since is not this sound's any more.
    if (channel < 0 || channel >= channel_count() || *channel_owner(channel) != sound) {
        channel = first_free_channel();
        if (channel < 0) {
            LOG_ERROR("%s\n", m.enable_3d ? "Unable to find available 3d sample channel."
                                          : "No regular sample channels available. ");
            return 0;
        }
        sound->win_sound_container_channel = channel;
        LOG_NOTICE("Setting sound %s to channel %ld.\n", sound->win_sound_container_name,
                   (long)channel);
        if (!channel_attach(channel, sound))
            return 0;
    }
    if (m.enable_3d) {
        AIL_set_3D_sample_volume(m.sound_3d_sample_table[channel], volume);
    } else {
        AIL_set_sample_volume(m.sound_2d_sample_table[channel], volume);
        AIL_set_sample_pan(m.sound_2d_sample_table[channel], extra_info);
    }
    return 1;
}

int sound_set_sample_values(int32_t channel, const win_vect3* sound_position,
                            const win_vect3* listener_position, const win_vect3* facing,
                            const win_vect3* sound_velocity)
{
    const struct {
        const void* argument;
        const char* name;
    } required[] = {{sound_position, "sound_position"},
                    {listener_position, "listener_position"},
                    {sound_velocity, "sound_velocity"},
                    {facing, "facing"}};
    for (const auto& r : required)
        if (!r.argument) {
            LOG_ERROR("Cannot sound_set_sample_values with NULL %s.\n", r.name);
            return 0;
        }
    ail_3d_sample* sample = channel >= 0 && channel < SOUND_MAX_CHANNELS
                                ? m.sound_3d_sample_table[channel]
                                : nullptr;
    // The listener stays at the origin; the sample sits where the sound is
    // from the listener.
    AIL_set_3D_position(sample, (sound_position->x - listener_position->x) * METRES_PER_UNIT,
                        (sound_position->y - listener_position->y) * METRES_PER_UNIT,
                        (sound_position->z - listener_position->z) * METRES_PER_UNIT);
    AIL_set_3D_position(m.sound_3d_listener, 0.0f, 0.0f, 0.0f);
    // A facing too short to have a direction looks ahead.
    win_vect3 face = *facing;
    if (face.x * face.x + face.y * face.y + face.z * face.z < 1e-6f)
        face = {0.0f, 0.0f, -1.0f};
    else
        win_math_normalize_vect3_inline(&face);
    AIL_set_3D_orientation(m.sound_3d_listener, face.x, face.y, -face.z, 0.0f, 1.0f, 0.0f);
    AIL_set_3D_velocity_vector(sample, sound_velocity->x * VELOCITY_SCALE,
                               sound_velocity->y * VELOCITY_SCALE,
                               sound_velocity->z * VELOCITY_SCALE);
    return 1;
}

int sound_stop_all(int32_t all)
{
    LOG_NOTICE("%s\n", "Stopping all sounds.");
    win_sound_container* sound = m.sound_container_list;
    for (int32_t i = 0; i < m.sound_container_list_size; ++i, sound = sound->next_ptr)
        if (all || !is_music(sound))
            sound_stop(sound);
    if (all == 1)
        for (int32_t i = 0; i < SOUND_MAX_CHANNELS; ++i) {
            AIL_end_sample(m.sound_2d_sample_table[i]);
            AIL_end_3D_sample(m.sound_3d_sample_table[i]);
        }
    return 1;
}

int32_t sound_null_callback(uint32_t, uint32_t)
{
    return 1;
}

int sound_add_forget_funct(sound_forget_funct forget)
{
    REFUSE_NULL(forget, "sound_add_forget_funct", "forget", 0);
    sound_forget_funct* free_slot = nullptr;
    for (sound_forget_funct& slot : forget_functs) {
        if (slot == forget)
            return 1;
        if (!slot && !free_slot)
            free_slot = &slot;
    }
    if (!free_slot) {
        LOG_ERROR("%s\n", "Cannot sound_add_forget_funct: no room for another.");
        return 0;
    }
    *free_slot = forget;
    return 1;
}

void sound_reset(void)
{
    // The library's shutdown gives back every buffer and channel, whenever
    // it runs; the sounds need only their records freed.
    while (m.sound_container_list) {
        win_sound_container* sound = m.sound_container_list;
        remove_from_win_sound_container_list(&m.sound_container_list, &m.sound_container_list_size,
                                             sound);
        free_win_sound_container(sound);
    }
    AIL_shutdown();
    sound_module = sound_module_record{};
}
