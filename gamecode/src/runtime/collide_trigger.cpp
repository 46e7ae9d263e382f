// Triggers of the current environment and the switches by name of its
// hulls, triggers and camera zones.
#include "collide_trigger.h"

#include <cstdint>
#include <cstring>

#include "collide.h"
#include "debug.h"
#include "file_io.h"
#include "gameglobals.h"
#include "script_services.h"

namespace {

// Whether the trigger lets `entity` in now, all but its volume: switched on,
// its gate open, not used up, faced the right way.
bool trigger_admits(const win_trigger* trigger, const win_entity* entity)
{
    if (!trigger->win_trigger_enabled)
        return false;
    if (trigger->win_trigger_gated &&
        !(game_globals.action_button_pressed && !game_globals.display_closeup))
        return false;
    if (trigger->win_trigger_max_activations >= 0 &&
        trigger->win_trigger_activation_count >= trigger->win_trigger_max_activations)
        return false;
    return collide_check_facing_arc(entity, &trigger->win_trigger_facing,
                                    &trigger->win_trigger_facing_tolerance) == 1;
}

// A record a switch can find: its name (compared without directory and
// extension) and its enabled word; either NULL passes the record over.
struct switchable {
    const char* name;
    int32_t* enabled;
};

// Sets the enabled word of the first of the current environment's records
// that `record_at` hands over (for 0 to count - 1) whose name matches; the
// error line names the kind of data when none does.
template <class RecordAt>
int enable_by_name(const char* operation, const char* kind, const char* name, int32_t value,
                   int32_t count, RecordAt record_at)
{
    if (!name) {
        LOG_ERROR("Cannot %s with NULL name.\n", operation);
        return 0;
    }
    for (int32_t i = 0; i < count; ++i) {
        switchable record = record_at(i);
        if (!record.name || !record.enabled)
            continue;
        // The base name lives in a buffer the next call overwrites: compare
        // at once.
        const char* base = get_base_filename(record.name);
        if (base && std::strcmp(base, name) == 0) {
            *record.enabled = value;
            return 1;
        }
    }
    LOG_ERROR("Unable to find specified %s data %s to enable or disable.\n", kind, name);
    return 0;
}

win_environment* current_environment(void)
{
    return win_entity_environment(game_globals.current_environment);
}

}  // namespace

int collide_check_triggers(win_entity* entity, win_entity* trigger_entity)
{
    if (!entity) {
        LOG_ERROR("Tried to collide_check_triggers with a NULL entity.\n");
        return 0;
    }
    if (!trigger_entity) {
        LOG_ERROR("Tried to collide_check_triggers with a NULL trigger_entity.\n");
        return 0;
    }
    // Only an environment holds triggers; a script may have made anything
    // the current environment.
    win_environment* environment = win_entity_environment(trigger_entity);
    if (entity == trigger_entity || !environment || !environment->win_trigger_array ||
        environment->win_trigger_array_size < 1 ||
        !(entity->win_entity_flag & ENTITY_FLAG_ENVIRONMENT_COLLISION))
        return 0;

    for (int32_t i = 0; i < environment->win_trigger_array_size; ++i) {
        win_trigger* trigger = &environment->win_trigger_array[i];
        // The volume's own switch does not count: a trigger is switched by
        // its own name.
        if (!trigger->win_trigger_collision ||
            !collide_check_inside_collision(entity, trigger->win_trigger_collision) ||
            !trigger_admits(trigger, entity))
            continue;
        if (trigger->win_trigger_script_name) {
            // One press of the action button opens a gated trigger once.
            game_globals.action_button_pressed = 0;
            LOG_NOTICE("trigger is being activated.\n");
            // Counted before the start, which loads the script's entities:
            // nothing of the trigger is touched after it. An unbounded
            // trigger's count stops at its largest value.
            if (trigger->win_trigger_activation_count < INT32_MAX)
                ++trigger->win_trigger_activation_count;
            script_initiate_script(trigger->win_trigger_script_name, nullptr);
        }
        return 1;
    }
    return 0;
}

int collide_enable_collision_data(const char* name, int32_t value)
{
    win_environment* environment = current_environment();
    return enable_by_name("collide_enable_collision_data", "collision", name, value,
                          environment && environment->win_collision_ptr_array
                              ? environment->win_collision_ptr_array_size
                              : 0,
                          [&](int32_t i) -> switchable {
                              win_collision* hull = environment->win_collision_ptr_array[i];
                              if (!hull)
                                  return {nullptr, nullptr};
                              return {hull->win_collision_name, &hull->win_collision_enabled};
                          });
}

int collide_enable_trigger_data(const char* name, int32_t value)
{
    win_environment* environment = current_environment();
    return enable_by_name(
        "collide_enable_trigger_data", "trigger", name, value,
        environment && environment->win_trigger_array ? environment->win_trigger_array_size : 0,
        [&](int32_t i) -> switchable {
            win_trigger* trigger = &environment->win_trigger_array[i];
            return {trigger->win_trigger_name, &trigger->win_trigger_enabled};
        });
}

int collide_enable_camzone_data(const char* name, int32_t value)
{
    win_environment* environment = current_environment();
    return enable_by_name(
        "collide_enable_camzone_data", "camzone", name, value,
        environment && environment->win_explore_cam_array ? environment->win_explore_cam_array_size
                                                          : 0,
        [&](int32_t i) -> switchable {
            win_explore_cam* cam = &environment->win_explore_cam_array[i];
            if (!cam->explore_cam_zone)
                return {nullptr, nullptr};
            return {cam->win_explore_cam_name, &cam->explore_cam_zone->win_collision_enabled};
        });
}
