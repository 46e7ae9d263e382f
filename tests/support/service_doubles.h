// Doubles of the services that the higher subsystems offer the lower ones
// (script_services.h, models_services.h, runtime_services.h, and the script
// engine's imports, script_imports.h). A test program
// of a lower subsystem links the doubles of every service above it instead
// of the real modules, so it proves its subsystem needs nothing more, and its
// tests observe the calls the subsystem makes upward.
//
// Every double records its call as "name(arguments)" and answers as the real
// service does when it succeeds with nothing to do (no scripts to run, an
// empty entity ring, a silent sound module).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

struct running_script;
struct win_entity;
struct win_shader;
struct win_sound_container;

// The calls received since the last test_reset_state, in order.
extern std::vector<std::string> service_calls;
// True when `call` (e.g. "entity_unload_all(1)") was received.
bool service_called(const std::string& call);
// The calls whose name is `name`, in order.
std::vector<std::string> service_calls_of(const std::string& name);

// The one value of the sound double's section of the configuration file.
extern int32_t service_double_sound_enable_3d;

// What the script double's script_initiate_script hands back as the new
// running script: NULL (as for a script that runs already) unless a test
// sets it; parse_run_script records whether it was given that one
// ("parse_run_script(new_script)").
extern running_script* service_double_new_script;

// The fake host: what the runtime doubles of the entity, AI, collision and
// sound services answer, as a test sets it (back to these values before
// each test). Entities and sounds the doubles make live until then.
struct runtime_double_host {
    // entity_io_load and sound_load fail for these names, as for a missing
    // file; any other name loads a new entity or sound of that name.
    std::set<std::string> missing_entities;
    std::set<std::string> missing_sounds;
    int sound_enabled = 1;           // sound_is_enabled
    win_entity* closest = nullptr;   // entity_find_closest
    float distance = -1.0f;          // entity_calc_dist_to_entity
    float hitpoints = 0.0f;          // entity_get_hitpoints
    int environment_named = 0;       // entity_check_environment_name
    int in_trigger = 0;              // entity_check_trigger_name
    int facing = 0;                  // the four entity_is_facing_* queries
    int in_facing_arc = 0;           // collide_check_facing_arc
    int32_t relative_direction = 0;  // ai_get_relative_direction_flags
    int32_t attack_sector = -1;      // ai_find_attack_sector
    // What the weapon and item finders answer.
    win_entity* next_weapon = nullptr;
    win_entity* prev_weapon = nullptr;
    win_entity* next_item = nullptr;
    win_entity* prev_item = nullptr;
    // What the operations of script commands answer (entity, AI, collision
    // switch, scene, shader and sound operations), one per call in order; 1
    // once none is left.
    std::deque<int> results;
    // How many shaders an entity of that name has (entity_shader); none
    // when not listed.
    std::map<std::string, int32_t> shader_counts;
    // The walks open now (entity_io_begin_walk less entity_io_end_walk) and
    // every bracket in order, "begin" or "end"; kept apart from the calls.
    int32_t walk_depth = 0;
    std::vector<std::string> walk_brackets;
    // The ring of live entities: what entity_io_add_to_ring appends to (a
    // test may fill it itself), entity_io_find_in_ring searches and
    // entity_io_remove_from_ring takes from.
    win_entity* ring = nullptr;
    int32_t ring_size = 0;
    // Called with each call once it is recorded, so that a test can act as
    // the runtime would inside it (start a script and give it a slice).
    std::function<void(const std::string& call)> on_call;
};
extern runtime_double_host service_double_host;

// A new entity named `name`, made by the doubles and in no ring.
win_entity* service_double_entity(const std::string& name);
// The state values of an entity the doubles made (none at first).
std::vector<float>& service_double_state_values(win_entity* entity);
// The name a sound of the doubles was loaded under.
std::string service_double_sound_name(const win_sound_container* sound);
// A shader of the doubles' entities shows as "<entity>:<slot>".
std::string service_double_shader_name(const win_shader* shader);
// What sound_unload does for the holders of sound pointers: calls every
// function registered with sound_add_forget_funct (registrations outlive
// the resets, as the sound module's do).
void service_double_unload_sound(win_sound_container* sound);
