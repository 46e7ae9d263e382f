// The game runtime's services (runtime_services.h) and the script engine's
// imports (script_imports.h), as doubles: an entity ring that only the test
// and script starts fill, entities and sounds that load by any name and
// answer the queries as the fake host says (service_doubles.h), operations
// of script commands that record their arguments and answer as the fake
// host says, a scene module that draws nothing (its final clean-up releases
// what the frame holds for it), a sound module whose configuration section
// holds one value.
#include "runtime_services.h"

#include <algorithm>
#include <charconv>
#include <deque>
#include <iterator>

#include "d3dtextr_dx7.h"
#include "dlink.h"
#include "dxinput.h"
#include "platform_support.h"
#include "script_imports.h"
#include "script_services.h"
#include "service_doubles.h"
#include "text_io.h"
#include "win_entity.h"
#include "win_geo.h"

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
// A shader of the doubles is the address of its name here.
std::deque<std::string> double_shaders;
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

// The shortest text that reads back as the same float, so a test sees
// exactly what was passed.
std::string number(float value)
{
    char formatted[32];
    return std::string(formatted, std::to_chars(formatted, std::end(formatted), value).ptr);
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

// The arguments of the command operations as the calls show them.
std::string shown(win_entity* entity)
{
    return name_of(entity);
}

std::string shown(const char* value)
{
    return text(value);
}

std::string shown(float value)
{
    return number(value);
}

std::string shown(int32_t value)
{
    return std::to_string(value);
}

std::string shown(uint32_t value)
{
    return std::to_string(value);
}

std::string shown(uint8_t value)
{
    return std::to_string((int)value);
}

std::string shown(win_sound_container* sound)
{
    return service_double_sound_name(sound);
}

std::string shown(win_shader* shader)
{
    return service_double_shader_name(shader);
}

std::string shown(const win_vect3* v)
{
    return v ? triple(v->x, v->y, v->z) : "NULL";
}

std::string shown(const win_rgba* c)
{
    return c ? "(" + number(c->r) + " " + number(c->g) + " " + number(c->b) + " " + number(c->a) +
                   ")"
             : "NULL";
}

// A placing matrix shows as its translation.
std::string shown(const win_matrix43* m)
{
    return m ? "(" + number(m->m[3][0]) + " " + number(m->m[3][1]) + " " + number(m->m[3][2]) + ")"
             : "NULL";
}

// Records the call of a command operation and gives the fake host's next
// answer.
template <typename... Arguments>
int command(const char* name, Arguments... arguments)
{
    std::string joined;
    ((joined += (joined.empty() ? "" : ", ") + shown(arguments)), ...);
    record(name, joined);
    std::deque<int>& results = service_double_host.results;
    if (results.empty())
        return 1;
    int result = results.front();
    results.pop_front();
    return result;
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

std::string service_double_shader_name(const win_shader* shader)
{
    return shader ? *(const std::string*)shader : "NULL";
}

void service_double_unload_sound(win_sound_container* sound)
{
    for (sound_forget_funct forget : forget_functs)
        forget(sound);
}

TEST_RESET(runtime_doubles)
{
    service_double_host = runtime_double_host{};
    double_entities.clear();
    double_sounds.clear();
    double_shaders.clear();
}

int entity_update_all(void)
{
    record("entity_update_all");
    return service_double_host.ring ? 1 : 0;
}

int entity_unload_all(int32_t unload_all)
{
    return command("entity_unload_all", unload_all);
}

int entity_play_anim(win_entity* entity, int32_t state)
{
    record("entity_play_anim", std::to_string(state));
    return entity ? 1 : 0;
}

const win_entity* entity_io_ring_head(void)
{
    return service_double_host.ring;
}

win_entity* entity_io_find_in_ring(const char* name)
{
    record("entity_io_find_in_ring", text(name));
    win_entity* ring = service_double_host.ring;
    return ring && name ? (win_entity*)dlink_find((dlink*)ring, name) : nullptr;
}

int entity_io_add_to_ring(win_entity* entity)
{
    record("entity_io_add_to_ring", name_of(entity));
    if (!entity)
        return 0;
    dlink_add((dlink**)&service_double_host.ring, (dlink*)entity);
    ++service_double_host.ring_size;
    return 1;
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

// Each entity of the doubles is a top-level one: the ring is the only one
// to search.
int entity_io_remove_from_ring(win_entity* entity)
{
    record("entity_io_remove_from_ring", name_of(entity));
    win_entity** ring = &service_double_host.ring;
    if (!*ring || !entity || dlink_pos((dlink*)*ring, (dlink*)entity) < 0)
        return 0;
    if (entity == *ring) {
        dlink_remove((dlink**)ring);
    } else {
        dlink* member = (dlink*)entity;
        dlink_remove(&member);
    }
    --service_double_host.ring_size;
    return 1;
}

int entity_unload(win_entity* entity, int32_t unload_all)
{
    if (entity)
        script_forget_entity(entity);
    return command("entity_unload", entity, unload_all);
}

// The brackets of a walk, recorded apart from the calls, so that a test sees
// whether a call came inside a walk.
void entity_io_begin_walk(void)
{
    ++service_double_host.walk_depth;
    service_double_host.walk_brackets.push_back("begin");
}

void entity_io_end_walk(void)
{
    --service_double_host.walk_depth;
    service_double_host.walk_brackets.push_back("end");
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

int entity_place(win_entity* entity, float x, float y, float z)
{
    return command("entity_place", entity, x, y, z);
}

int entity_orient(win_entity* entity, float x, float y, float z)
{
    return command("entity_orient", entity, x, y, z);
}

int entity_add_rotation(win_entity* entity, float x, float y, float z)
{
    return command("entity_add_rotation", entity, x, y, z);
}

int entity_add_translation(win_entity* entity, float x, float y, float z)
{
    return command("entity_add_translation", entity, x, y, z);
}

int entity_set_velocity(win_entity* entity, float x, float y, float z)
{
    return command("entity_set_velocity", entity, x, y, z);
}

int entity_set_rot_velocity(win_entity* entity, float x, float y, float z)
{
    return command("entity_set_rot_velocity", entity, x, y, z);
}

int entity_set_acceleration(win_entity* entity, float x, float y, float z)
{
    return command("entity_set_acceleration", entity, x, y, z);
}

int entity_set_mass(win_entity* entity, float mass)
{
    return command("entity_set_mass", entity, mass);
}

int entity_set_life_span(win_entity* entity, float seconds)
{
    return command("entity_set_life_span", entity, seconds);
}

int entity_enable_brain(win_entity* entity, int32_t enable)
{
    return command("entity_enable_brain", entity, enable);
}

int entity_enable_collision(win_entity* entity, int32_t enable)
{
    return command("entity_enable_collision", entity, enable);
}

int entity_enable_environment_collision(win_entity* entity, int32_t enable)
{
    return command("entity_enable_environment_collision", entity, enable);
}

int entity_enable_character_collision(win_entity* entity, int32_t enable)
{
    return command("entity_enable_character_collision", entity, enable);
}

int entity_set_player_character(win_entity* entity)
{
    return command("entity_set_player_character", entity);
}

int entity_set_environment(win_entity* entity)
{
    return command("entity_set_environment", entity);
}

int entity_set_game_camera(win_entity* camera)
{
    return command("entity_set_game_camera", camera);
}

int entity_set_camera_target(win_entity* camera, win_entity* target, int32_t joint_idx, float x,
                             float y, float z)
{
    return command("entity_set_camera_target", camera, target, joint_idx, x, y, z);
}

int entity_set_camera_shake(float x, float y, float z, float seconds)
{
    return command("entity_set_camera_shake", x, y, z, seconds);
}

int entity_attach_to_joint(win_entity* parent, win_entity* child, int32_t joint_idx,
                           const win_matrix43* orient_trans_matrix)
{
    return command("entity_attach_to_joint", parent, child, joint_idx, orient_trans_matrix);
}

int entity_detach_from_parent(win_entity* parent, win_entity* child)
{
    return command("entity_detach_from_parent", parent, child);
}

int entity_play_anim2(win_entity* entity, int32_t state)
{
    return command("entity_play_anim2", entity, state);
}

int entity_start_next_anim_state(win_entity* entity, int32_t state, int32_t force,
                                 int32_t force_reset)
{
    return command("entity_start_next_anim_state", entity, state, force, force_reset);
}

win_shader* entity_shader(win_entity* entity, int32_t shader_slot)
{
    if (!entity || !entity->win_entity_name)
        return nullptr;
    auto count = service_double_host.shader_counts.find(entity->win_entity_name);
    if (count == service_double_host.shader_counts.end() || shader_slot < 0 ||
        shader_slot >= count->second)
        return nullptr;
    std::string name = name_of(entity) + ":" + std::to_string(shader_slot);
    for (std::string& shader : double_shaders)
        if (shader == name)
            return (win_shader*)&shader;
    return (win_shader*)&double_shaders.emplace_back(name);
}

int entity_turn_to_face_entity(win_entity* entity, win_entity* target)
{
    return command("entity_turn_to_face_entity", entity, target);
}

int entity_face_entity(win_entity* entity, win_entity* target)
{
    return command("entity_face_entity", entity, target);
}

int entity_set_player_step_sound(const char* name)
{
    return command("entity_set_player_step_sound", name);
}

int entity_null_command(win_entity* entity, float value)
{
    return command("entity_null_command", entity, value);
}

int entity_holster_current_weapon(win_entity* entity)
{
    return command("entity_holster_current_weapon", entity);
}

int entity_set_current_weapon(win_entity* entity, win_entity* weapon)
{
    return command("entity_set_current_weapon", entity, weapon);
}

int entity_set_current_item(win_entity* entity, win_entity* item)
{
    return command("entity_set_current_item", entity, item);
}

int entity_add_hitpoints(win_entity* entity, float amount)
{
    return command("entity_add_hitpoints", entity, amount);
}

int entity_display_closeup(win_entity* entity)
{
    return command("entity_display_closeup", entity);
}

int ai_add_goal(win_entity* entity, int32_t goal_type, win_entity* target_entity, float x, float y,
                float z, int32_t extra)
{
    return command("ai_add_goal", entity, goal_type, target_entity, x, y, z, extra);
}

int ai_clear_goals(win_entity* entity)
{
    return command("ai_clear_goals", entity);
}

int collide_enable_collision_data(const char* name, int32_t value)
{
    return command("collide_enable_collision_data", name, value);
}

int collide_enable_trigger_data(const char* name, int32_t value)
{
    return command("collide_enable_trigger_data", name, value);
}

int collide_enable_camzone_data(const char* name, int32_t value)
{
    return command("collide_enable_camzone_data", name, value);
}

// No texture is made: the call is what a test looks at.
texture_container* entity_retrieve_icon_texture(win_entity* entity)
{
    record("entity_retrieve_icon_texture", name_of(entity));
    return nullptr;
}

// The slot takes the texture as it is; the double's textures are never
// counted.
void entity_weapon_hold_texture(texture_container** slot, texture_container* texture)
{
    *slot = texture;
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

int varnock_fade_out(float seconds)
{
    return command("varnock_fade_out", seconds);
}

int varnock_fade_in(float seconds)
{
    return command("varnock_fade_in", seconds);
}

int varnock_overlay_fade_out(float seconds)
{
    return command("varnock_overlay_fade_out", seconds);
}

int varnock_overlay_fade_in(float seconds)
{
    return command("varnock_overlay_fade_in", seconds);
}

int varnock_overlay_fade_out_color(float seconds, uint8_t red, uint8_t green, uint8_t blue)
{
    return command("varnock_overlay_fade_out_color", seconds, red, green, blue);
}

int varnock_overlay_fade_in_color(float seconds, uint8_t red, uint8_t green, uint8_t blue)
{
    return command("varnock_overlay_fade_in_color", seconds, red, green, blue);
}

int varnock_set_attack_enabled(int32_t flag)
{
    return command("varnock_set_attack_enabled", flag);
}

int varnock_display_text(uint32_t x, uint32_t y, uint8_t red, uint8_t green, uint8_t blue,
                         int32_t seconds, const char* text)
{
    return command("varnock_display_text", x, y, red, green, blue, seconds, text);
}

int varnock_set_fog(int32_t enable, const win_rgba* color, float start, float end)
{
    return command("varnock_set_fog", enable, color, start, end);
}

int varnock_change_game_mode(const char* name)
{
    return command("varnock_change_game_mode", name);
}

int shader_play_anim(win_shader* shader, int32_t state)
{
    return command("shader_play_anim", shader, state);
}

int shader_play_anim2(win_shader* shader, int32_t state)
{
    return command("shader_play_anim2", shader, state);
}

int varnock_set_action_button_script(const char* name)
{
    return command("varnock_set_action_button_script", name);
}

int varnock_set_letterbox(int32_t on)
{
    return command("varnock_set_letterbox", on);
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

int sound_is_enabled(void)
{
    return service_double_host.sound_enabled;
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

int sound_add_forget_funct(sound_forget_funct forget)
{
    record("sound_add_forget_funct");
    if (std::find(forget_functs.begin(), forget_functs.end(), forget) == forget_functs.end())
        forget_functs.push_back(forget);
    return 1;
}

int sound_unload(win_sound_container* sound)
{
    if (sound)
        service_double_unload_sound(sound);
    return command("sound_unload", sound);
}

int sound_play(win_sound_container* sound, const win_vect3* position, const win_vect3* velocity,
               int32_t loop_count)
{
    return command("sound_play", sound, position, velocity, loop_count);
}

int sound_stop(win_sound_container* sound)
{
    return command("sound_stop", sound);
}

int sound_set_volume(win_sound_container* sound, int32_t volume, int32_t extra_info)
{
    return command("sound_set_volume", sound, volume, extra_info);
}
