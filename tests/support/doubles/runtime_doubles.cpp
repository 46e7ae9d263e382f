// The game runtime's services, as doubles: an entity ring that only the test
// and script starts fill, entities and sounds that load by any name and
// answer the queries as the fake host says (service_doubles.h), a scene
// module that draws nothing (its final clean-up releases what the frame
// holds for it), a sound module whose configuration section holds one value.
#include "runtime_services.h"

#include <algorithm>
#include <deque>

#include "d3dtextr_dx7.h"
#include "dlink.h"
#include "dxinput.h"
#include "platform_support.h"
#include "service_doubles.h"
#include "text_io.h"
#include "win_entity.h"

win_entity* entity_io_global_win_entity_list = nullptr;
int32_t entity_io_global_win_entity_list_size = 0;
runtime_double_host service_double_host;

namespace {

struct double_entity {
    win_entity entity;
    std::string name;
    std::vector<float> state_values;
};
// Stable addresses: the entities point at their names.
std::deque<double_entity> double_entities;
// A sound of the doubles is the address of its name here; nothing reads
// through it.
std::deque<std::string> double_sounds;
// The holders of sound pointers registered with sound_add_forget_funct.
std::vector<sound_forget_funct> forget_functs;

void record(const char* name, const std::string& arguments = "")
{
    std::string call = std::string(name) + "(" + arguments + ")";
    service_calls.push_back(call);
    if (service_double_host.on_call)
        service_double_host.on_call(call);
}

std::string text(const char* value)
{
    return value ? value : "NULL";
}

std::string number(double value)
{
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%g", value);
    return formatted;
}

// Three numbers of a vector or a rotation, "(x y z)".
std::string triple(float x, float y, float z)
{
    return "(" + number(x) + " " + number(y) + " " + number(z) + ")";
}

std::string name_of(const win_entity* entity)
{
    return entity ? text(entity->win_entity_name) : "NULL";
}

// The four facing queries share their answer.
int facing(const char* query, const win_entity* entity)
{
    record(query, name_of(entity));
    return service_double_host.facing;
}

double_entity* find_double(const win_entity* entity)
{
    for (double_entity& made : double_entities)
        if (&made.entity == entity)
            return &made;
    return nullptr;
}

}  // namespace

win_entity* service_double_entity(const std::string& name)
{
    double_entity& made = double_entities.emplace_back();
    made.name = name;
    made.entity.win_entity_name = made.name.data();
    dlink_init((dlink*)&made.entity);
    return &made.entity;
}

std::vector<float>& service_double_state_values(win_entity* entity)
{
    return find_double(entity)->state_values;
}

std::string service_double_sound_name(const win_sound_container* sound)
{
    return sound ? *(const std::string*)sound : "NULL";
}

void service_double_unload_sound(win_sound_container* sound)
{
    for (sound_forget_funct forget : forget_functs)
        forget(sound);
}

TEST_RESET(runtime_doubles)
{
    service_double_host = runtime_double_host{};
    entity_io_global_win_entity_list = nullptr;
    entity_io_global_win_entity_list_size = 0;
    double_entities.clear();
    double_sounds.clear();
}

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

win_entity* entity_io_find_entity(win_entity* ring_head, const char* name)
{
    record("entity_io_find_entity", text(name));
    return ring_head && name ? (win_entity*)dlink_find((dlink*)ring_head, name) : nullptr;
}

win_entity* entity_io_load(const char* entity_name, const char* entity_pathname,
                           const char* model_pathname, const char* shader_pathname,
                           const char* texture_pathname, const char* animation_pathname,
                           const char* anim_table_pathname, const char* ai_pathname,
                           const char* sound_pathname, float gravity, float x_wind, float z_wind)
{
    std::string arguments = text(entity_name);
    for (const char* directory :
         {entity_pathname, model_pathname, shader_pathname, texture_pathname, animation_pathname,
          anim_table_pathname, ai_pathname, sound_pathname})
        arguments += ", " + text(directory);
    for (float value : {gravity, x_wind, z_wind})
        arguments += ", " + number(value);
    record("entity_io_load", arguments);
    if (!entity_name || service_double_host.missing_entities.count(entity_name))
        return nullptr;
    return service_double_entity(entity_name);
}

float* entity_state_array(win_entity* entity, int32_t* size)
{
    double_entity* made = find_double(entity);
    *size = made ? (int32_t)made->state_values.size() : 0;
    return made && !made->state_values.empty() ? made->state_values.data() : nullptr;
}

win_entity* entity_find_closest(win_entity* entity, float max_distance)
{
    record("entity_find_closest", name_of(entity) + ", " + number(max_distance));
    return service_double_host.closest;
}

float entity_calc_dist_to_entity(win_entity* entity_one, win_entity* entity_two)
{
    record("entity_calc_dist_to_entity", name_of(entity_one) + ", " + name_of(entity_two));
    return service_double_host.distance;
}

int entity_check_environment_name(const char* check_name)
{
    record("entity_check_environment_name", text(check_name));
    return service_double_host.environment_named;
}

int entity_check_trigger_name(win_entity* entity, const char* check_name)
{
    record("entity_check_trigger_name", name_of(entity) + ", " + text(check_name));
    return service_double_host.in_trigger;
}

int entity_is_facing_pos_z_dir(win_entity* entity)
{
    return facing("entity_is_facing_pos_z_dir", entity);
}

int entity_is_facing_neg_z_dir(win_entity* entity)
{
    return facing("entity_is_facing_neg_z_dir", entity);
}

int entity_is_facing_pos_x_dir(win_entity* entity)
{
    return facing("entity_is_facing_pos_x_dir", entity);
}

int entity_is_facing_neg_x_dir(win_entity* entity)
{
    return facing("entity_is_facing_neg_x_dir", entity);
}

float entity_get_hitpoints(win_entity* entity)
{
    record("entity_get_hitpoints", name_of(entity));
    return service_double_host.hitpoints;
}

win_entity* entity_find_next_weapon(win_entity* entity)
{
    record("entity_find_next_weapon", name_of(entity));
    return service_double_host.next_weapon;
}

win_entity* entity_find_prev_weapon(win_entity* entity)
{
    record("entity_find_prev_weapon", name_of(entity));
    return service_double_host.prev_weapon;
}

win_entity* entity_find_next_item(win_entity* entity)
{
    record("entity_find_next_item", name_of(entity));
    return service_double_host.next_item;
}

win_entity* entity_find_prev_item(win_entity* entity)
{
    record("entity_find_prev_item", name_of(entity));
    return service_double_host.prev_item;
}

int entity_set_current_item(win_entity* entity, win_entity* item)
{
    record("entity_set_current_item", name_of(entity) + ", " + name_of(item));
    return entity ? 1 : 0;
}

// No texture is made: the call is what a test looks at.
texture_container* entity_retrieve_icon_texture(win_entity* entity)
{
    record("entity_retrieve_icon_texture", name_of(entity));
    return nullptr;
}

int32_t ai_find_attack_sector(win_entity* entity, win_entity* target)
{
    record("ai_find_attack_sector", name_of(entity) + ", " + name_of(target));
    return service_double_host.attack_sector;
}

int32_t ai_get_relative_direction_flags(win_entity* entity, win_entity* target)
{
    record("ai_get_relative_direction_flags", name_of(entity) + ", " + name_of(target));
    return service_double_host.relative_direction;
}

int collide_check_facing_arc(const win_entity* entity, const win_rot* facing,
                             const win_rot* tolerance)
{
    std::string arguments = name_of(entity);
    for (const win_rot* v : {facing, tolerance})
        arguments += ", " + triple(v->x, v->y, v->z);
    record("collide_check_facing_arc", arguments);
    return service_double_host.in_facing_arc;
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

win_sound_container* sound_find(const char* name)
{
    record("sound_find", text(name));
    for (std::string& sound : double_sounds)
        if (name && sound == name)
            return (win_sound_container*)&sound;
    return nullptr;
}

win_sound_container* sound_load(const char* name, int32_t is_3d, const char* directory)
{
    record("sound_load", text(name) + ", " + std::to_string(is_3d) + ", " + text(directory));
    if (!name || service_double_host.missing_sounds.count(name))
        return nullptr;
    return (win_sound_container*)&double_sounds.emplace_back(name);
}

int sound_play(win_sound_container* sound, const win_vect3* position, const win_vect3* velocity,
               int32_t loop_count)
{
    std::string arguments = service_double_sound_name(sound);
    for (const win_vect3* v : {position, velocity})
        arguments += ", " + (v ? triple(v->x, v->y, v->z) : std::string("NULL"));
    record("sound_play", arguments + ", " + std::to_string(loop_count));
    return sound ? 1 : 0;
}

int sound_add_forget_funct(sound_forget_funct forget)
{
    record("sound_add_forget_funct");
    if (std::find(forget_functs.begin(), forget_functs.end(), forget) == forget_functs.end())
        forget_functs.push_back(forget);
    return 1;
}

void sound_remove_forget_funct(sound_forget_funct forget)
{
    record("sound_remove_forget_funct");
    forget_functs.erase(std::remove(forget_functs.begin(), forget_functs.end(), forget),
                        forget_functs.end());
}
