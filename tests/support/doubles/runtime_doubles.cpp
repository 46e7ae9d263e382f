// The game runtime's services, as doubles: an entity ring that only the test
// fills, a scene module that draws nothing (its final clean-up releases what
// the frame holds for it), a sound module whose configuration section holds
// one value.
#include "runtime_services.h"

#include "d3dtextr_dx7.h"
#include "dxinput.h"
#include "service_doubles.h"
#include "text_io.h"

win_entity* entity_io_global_win_entity_list = nullptr;
int32_t entity_io_global_win_entity_list_size = 0;

namespace {

void record(const char* name, const std::string& arguments = "")
{
    service_calls.push_back(std::string(name) + "(" + arguments + ")");
}

}  // namespace

int entity_update_all(void)
{
    record("entity_update_all");
    return entity_io_global_win_entity_list ? 1 : 0;
}

int entity_unload_all(int32_t unload_all)
{
    record("entity_unload_all", std::to_string(unload_all));
    return 1;
}

int entity_play_anim(win_entity* entity, int32_t state)
{
    record("entity_play_anim", std::to_string(state));
    return entity ? 1 : 0;
}

int varnock_one_time_scene_init(void)
{
    record("varnock_one_time_scene_init");
    return 1;
}

int32_t varnock_render_scene(void)
{
    record("varnock_render_scene");
    return 0;
}

int varnock_render_splash(void)
{
    record("varnock_render_splash");
    return 1;
}

void varnock_update_screen_fade(void)
{
    record("varnock_update_screen_fade");
}

void varnock_update_overlay_fade(void)
{
    record("varnock_update_overlay_fade");
}

void varnock_draw_text(void)
{
    record("varnock_draw_text");
}

void varnock_clear_display_text(void)
{
    record("varnock_clear_display_text");
}

int varnock_set_action_button_script(const char* name)
{
    record("varnock_set_action_button_script", name ? name : "NULL");
    return 1;
}

int varnock_set_letterbox(int32_t on)
{
    record("varnock_set_letterbox", std::to_string(on));
    return 1;
}

// What the real one does of the frame's own: the texture cache and the
// input devices are released.
int varnock_final_cleanup(void)
{
    record("varnock_final_cleanup");
    d3dtextr_cleanup();
    dxinput_release_devices();
    return 0;
}

int vk_tail_load(void)
{
    record("vk_tail_load");
    return 1;
}

int vk_tail_free(void)
{
    record("vk_tail_free");
    return 1;
}

int sound_set_enabled(void)
{
    record("sound_set_enabled");
    return 1;
}

int sound_init(void)
{
    record("sound_init");
    return 1;
}

// One section of one value, so the configuration file keeps its shape.
int sound_write_config(FILE* session_file)
{
    record("sound_write_config");
    if (!session_file)
        return 0;
    return std::fprintf(session_file, "\n//  [sound]\n%-44ld//  enable_3d\n",
                        (long)service_double_sound_enable_3d) > 0;
}

int sound_read_config(FILE* session_file, int16_t* line_cnt)
{
    record("sound_read_config");
    if (!session_file || !line_cnt)
        return 0;
    int32_t value = 0;
    if (!read_long_text(session_file, line_cnt, &value))
        return 0;
    service_double_sound_enable_3d = value;
    return 1;
}
