#include "sound.h"

#include "debug.h"
#include "file_io.h"
#include "text_io.h"

sound_module_record sound_module;

int sound_set_enabled(void)
{
    sound_module.sound_enabled = 1;
    return 1;
}

int sound_set_disabled(void)
{
    sound_module.sound_enabled = 0;
    return 1;
}

int sound_write_config(FILE* session_file)
{
    if (!session_file) {
        LOG_ERROR("%s\n", "Cannot sound_write_config with NULL session_file.");
        return 0;
    }
    int ok = fprintf(session_file, "\n//  [sound]\n") >= 0;
    ok = file_write_long_line(session_file, sound_module.enable_3d == 1, "enable_3d") && ok;
    return ok ? 1 : 0;
}

int sound_read_config(FILE* session_file, int16_t* line_cnt)
{
    if (!session_file) {
        LOG_ERROR("%s\n", "Cannot sound_read_config with NULL session_file.");
        return 0;
    }
    if (!line_cnt) {
        LOG_ERROR("%s\n", "Cannot sound_read_config with NULL line_cnt.");
        return 0;
    }
    int32_t value = 0;
    if (!read_long_text(session_file, line_cnt, &value))
        return 0;
    sound_module.enable_3d = value == 1 ? 1 : 0;
    return 1;
}

int sound_init(void)
{
    if (!sound_module.sound_enabled) {
        LOG_NOTICE("%s\n", "sound_init aborted because sound is disabled.");
        return 1;
    }
    LOG_NOTICE("%s\n", "sound_init called.");
    // The library start, the digital output and the channel tables come with
    // the sound library stand-in. Until then sound stays enabled with no
    // channels, as on a machine without an audio device.
    sound_module.sound_initialized = 0;
    return 0;
}

int sound_term(void)
{
    if (!sound_module.sound_enabled) {
        LOG_NOTICE("%s\n", "sound_term aborted because sound is disabled.");
        return 1;
    }
    LOG_NOTICE("%s\n", "sound_term called.");
    sound_unload_all(1);
    sound_module.sound_initialized = 0;
    return 1;
}

// No sound can be loaded yet (loading comes with the sound library stand-in),
// so the list these two walk is always empty.
int sound_stop_all(int32_t)
{
    return 1;
}

int sound_unload_all(int32_t)
{
    LOG_NOTICE("%s\n", "sound_unload_all called..");
    return 1;
}

void sound_reset(void)
{
    sound_module = sound_module_record{};
}
