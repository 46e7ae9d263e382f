#include "entity_dup.h"

#include <cstring>

#include "ai.h"
#include "anim.h"
#include "debug.h"
#include "dlink.h"
#include "heap.h"
#include "shader.h"

namespace {

const char* name_of(const char* name)
{
    return name ? name : "(null)";
}

// The error line of a string that could not be copied: `before`, then, when
// `after` is given, the string and `after`.
struct copy_message {
    const char* before;
    const char* after;
};

// *copy := its own copy of `source` when there is one; 0 after `message`
// when the copy could not be made.
int copy_optional_string(char** copy, const char* source, const copy_message& message)
{
    *copy = nullptr;
    if (!source)
        return 1;
    *copy = STRDUP(source);
    if (*copy)
        return 1;
    if (message.after)
        LOG_ERROR("%s%s%s", message.before, source, message.after);
    else
        LOG_ERROR("%s", message.before);
    return 0;
}

// The messages of a string-array copy, in the order of its checks.
struct string_array_messages {
    const char* no_template;
    const char* bad_size;  // followed by the size
    const char* no_array;
    copy_message no_string;
};

// One engine for both string arrays: `make` is the array's family malloc,
// `release` its family free.
template <typename Make, typename Release>
char** duplicate_string_array(char* const* template_array, int32_t size,
                              const string_array_messages& messages, Make make, Release release)
{
    if (!template_array) {
        LOG_ERROR("%s\n", messages.no_template);
        return nullptr;
    }
    if (size <= 0) {
        LOG_ERROR("%s%ld\n", messages.bad_size, (long)size);
        return nullptr;
    }
    char** copy = make(size);
    if (!copy) {
        LOG_ERROR("%s", messages.no_array);
        return nullptr;
    }
    for (int32_t i = 0; i < size; ++i) {
        if (!template_array[i] || !template_array[i][0])
            continue;
        if (!copy_optional_string(&copy[i], template_array[i], messages.no_string)) {
            release(copy, size);
            return nullptr;
        }
    }
    return copy;
}

// Own copies of the appendage spheres of the template's pose: the loader
// builds them for what it loads, and a copy must not free the template's.
mow_appendage_sphere_key* duplicate_appendage_sphere_keys(const mow_appendage_sphere_key* keys,
                                                          int32_t size)
{
    mow_appendage_sphere_key* copy = malloc_mow_appendage_sphere_key_array(size);
    if (!copy)
        return nullptr;
    for (int32_t i = 0; i < size; ++i) {
        copy[i].center = keys[i].center;
        copy[i].radius = keys[i].radius;
        int32_t segments = keys[i].mow_segment_key_array_size;
        if (!keys[i].mow_segment_key_array || segments <= 0)
            continue;
        copy[i].mow_segment_key_array = malloc_mow_segment_key_array(segments);
        if (!copy[i].mow_segment_key_array) {
            free_mow_appendage_sphere_key_array(copy, size);
            return nullptr;
        }
        copy[i].mow_segment_key_array_size = segments;
        std::memcpy(copy[i].mow_segment_key_array, keys[i].mow_segment_key_array,
                    sizeof(mow_segment_key) * (size_t)segments);
    }
    return copy;
}

// The template's tree copied (entity_duplicate_win_entity without the weapon
// and item pointers put right).
win_entity* duplicate_tree(const win_entity* templ);

// Fills the copy's owned members, which are all empty when this starts; 0
// after the failing step's message.
int duplicate_entity_members(win_entity* copy, const win_entity* templ)
{
    const char* name = name_of(templ->win_entity_name);
    if (!copy_optional_string(&copy->win_ast_filename, templ->win_ast_filename,
                              {"Could not strdup win_ast_filename '", "'.\n"}))
        return 0;
    if (templ->win_ast && !(copy->win_ast = anim_create_duplicate_ast(templ->win_ast))) {
        LOG_ERROR("Could not anim_create_duplicate_ast for '%s'.\n", name);
        return 0;
    }
    if (templ->win_child_name_ptr_array &&
        !(copy->win_child_name_ptr_array = duplicate_win_filename_ptr_array(
              templ->win_child_name_ptr_array, templ->win_child_name_ptr_array_size))) {
        LOG_ERROR("Could not duplicate win_filename_ptr_array_bin for '%s'.\n", name);
        return 0;
    }
    copy->child_entity_list_size = 0;
    if (const win_entity* head = templ->child_entity_list) {
        const win_entity* child = head;
        do {
            win_entity* child_copy = duplicate_tree(child);
            if (!child_copy) {
                LOG_ERROR("Could not duplicate sub_win_entity '%s'\n",
                          name_of(child->win_entity_name));
                return 0;
            }
            add_to_win_entity_list(&copy->child_entity_list, &copy->child_entity_list_size,
                                   child_copy);
            child = child->next;
        } while (child != head);
    }
    if (templ->win_state_name_ptr_array &&
        !(copy->win_state_name_ptr_array = duplicate_win_state_name_ptr_array(
              templ->win_state_name_ptr_array, templ->win_state_name_ptr_array_size))) {
        LOG_ERROR("%s\n", "Could not read_win_state_name_ptr_array_bin.");
        return 0;
    }
    if (templ->win_state_array && templ->win_state_array_size > 0) {
        size_t bytes = sizeof(float) * (size_t)templ->win_state_array_size;
        copy->win_state_array = (float*)MALLOC(bytes);
        if (!copy->win_state_array) {
            LOG_ERROR("%s\n", "Could not read_win_state_array_bin.");
            return 0;
        }
        std::memcpy(copy->win_state_array, templ->win_state_array, bytes);
    }
    switch (templ->win_entity_type) {
    case WIN_ENTITY_TYPE_CHARACTER:
        if (templ->u.win_character &&
            !(copy->u.win_character = duplicate_win_character(templ->u.win_character))) {
            LOG_ERROR("Could not duplicate_win_character for '%s'.\n", name);
            return 0;
        }
        break;
    case WIN_ENTITY_TYPE_ENVIRONMENT:
        if (templ->u.win_environment &&
            !(copy->u.win_environment = duplicate_win_environment(templ->u.win_environment))) {
            LOG_ERROR("Could not duplicate_win_environment for '%s'.\n", name);
            return 0;
        }
        break;
    case WIN_ENTITY_TYPE_LIGHT:
        if (templ->u.win_light && !(copy->u.win_light = duplicate_win_light(templ->u.win_light))) {
            LOG_ERROR("Could not duplicate_win_light for '%s'.\n", name);
            return 0;
        }
        break;
    case WIN_ENTITY_TYPE_CAMERA:
        if (templ->u.win_camera &&
            !(copy->u.win_camera = duplicate_win_camera(templ->u.win_camera))) {
            LOG_ERROR("Could not duplicate_win_camera for '%s'.\n", name);
            return 0;
        }
        break;
    case WIN_ENTITY_TYPE_EMITTER:
        if (templ->u.win_emitter &&
            !(copy->u.win_emitter = duplicate_win_emitter(templ->u.win_emitter))) {
            LOG_ERROR("Could not duplicate_win_emitter for '%s'.\n", name);
            return 0;
        }
        break;
    }
    return 1;
}

win_entity* duplicate_tree(const win_entity* templ)
{
    REFUSE_NULL(templ, "entity_duplicate_win_entity", "template_win_entity", nullptr);
    // Refused before anything is made: the copy could not be released
    // cleanly with a type free_win_entity does not know.
    if (templ->win_entity_type < WIN_ENTITY_TYPE_CHARACTER ||
        templ->win_entity_type > WIN_ENTITY_TYPE_EMITTER) {
        LOG_ERROR("Unknown win_entity_type = %ld\n", (long)templ->win_entity_type);
        return nullptr;
    }
    win_entity* copy = malloc_win_entity(templ->win_entity_name);
    if (!copy) {
        LOG_ERROR("Could not malloc_win_entity for '%s'\n", name_of(templ->win_entity_name));
        return nullptr;
    }
    char* own_name = copy->win_entity_name;
    *copy = *templ;
    copy->prev = copy;
    copy->next = copy;
    copy->win_entity_name = own_name;
    copy->win_entity_spare_ptr = nullptr;
    // The owned members start empty so that a failure part way releases only
    // what the copy has made itself.
    copy->win_ast_filename = nullptr;
    copy->win_ast = nullptr;
    copy->win_child_name_ptr_array = nullptr;
    copy->child_entity_list = nullptr;
    copy->win_state_name_ptr_array = nullptr;
    copy->win_state_array = nullptr;
    copy->u.win_character = nullptr;
    if (!duplicate_entity_members(copy, templ)) {
        free_win_entity(copy);
        return nullptr;
    }
    return copy;
}

// The member of the copy's tree (rooted at `copy`) that stands where
// `member` stands in the template's tree (rooted at `templ`); NULL when
// `member` is not in the template's tree.
win_entity* counterpart(const win_entity* templ, win_entity* copy, const win_entity* member)
{
    if (templ == member)
        return copy;
    const win_entity* head = templ->child_entity_list;
    win_entity* child_copy = copy->child_entity_list;
    for (const win_entity* child = head; child && child_copy;
         child = dlink_ring_step(head, child->next)) {
        if (win_entity* found = counterpart(child, child_copy, member))
            return found;
        child_copy = child_copy->next;
    }
    return nullptr;
}

// The weapon and item pointers of the characters of the copy's tree that
// name members of the template's tree name their counterparts instead:
// once the template is unloaded they would dangle. Pointers out of the tree
// (a weapon's holder, a projectile's owner) stay.
void redirect_weapon_pointers(const win_entity* templ_root, win_entity* copy_root,
                              const win_entity* templ, win_entity* copy)
{
    if (win_character* character = win_entity_character(copy)) {
        win_entity** slots[] = {&character->current_weapon, &character->current_item};
        for (win_entity** slot : slots)
            if (*slot)
                if (win_entity* found = counterpart(templ_root, copy_root, *slot))
                    *slot = found;
    }
    const win_entity* head = templ->child_entity_list;
    win_entity* child_copy = copy->child_entity_list;
    for (const win_entity* child = head; child && child_copy;
         child = dlink_ring_step(head, child->next)) {
        redirect_weapon_pointers(templ_root, copy_root, child, child_copy);
        child_copy = child_copy->next;
    }
}

}  // namespace

win_entity* entity_duplicate_win_entity(const win_entity* template_win_entity)
{
    win_entity* copy = duplicate_tree(template_win_entity);
    if (copy)
        redirect_weapon_pointers(template_win_entity, copy, template_win_entity, copy);
    return copy;
}

win_filename_ptr* duplicate_win_filename_ptr_array(const win_filename_ptr* template_array,
                                                   int32_t size)
{
    static const string_array_messages messages = {
        "Cannot duplicate_win_filename_ptr_array with NULL template_filename_ptr_array.",
        "Bad filename_ptr_array_size = ",
        "Could not malloc filename_ptr_array.\n",
        {"Unable to strdup filename '", "'\n"}};
    return duplicate_string_array(template_array, size, messages, malloc_win_filename_ptr_array,
                                  free_win_filename_ptr_array);
}

win_state_name_ptr* duplicate_win_state_name_ptr_array(const win_state_name_ptr* template_array,
                                                       int32_t size)
{
    static const string_array_messages messages = {
        "Cannot duplicate_win_state_name_ptr_array with NULL template_state_name_ptr_array.",
        "Bad template_state_name_ptr_array_size = ",
        "Could not malloc state_name_ptr_array.\n",
        {"Unable to strdup state_name '", "'\n"}};
    return duplicate_string_array(template_array, size, messages, malloc_win_state_name_ptr_array,
                                  free_win_state_name_ptr_array);
}

namespace {

// Fills the character copy's owned and shared members, all empty when this
// starts; 0 after the failing step's message.
int duplicate_character_members(win_character* copy, const win_character* templ)
{
    if (!copy_optional_string(&copy->mow_model_filename, templ->mow_model_filename,
                              {"Could not strdup mow_model_filename '", "'.\n"}))
        return 0;
    if ((copy->mow_model = templ->mow_model))
        ++copy->mow_model->mow_model_ref_cnt;
    int32_t joints = templ->mow_track_augment_array_size;
    if (templ->mow_track_augment_array && joints > 0) {
        copy->mow_track_augment_array = malloc_mow_track_augment_array(joints);
        if (!copy->mow_track_augment_array) {
            LOG_ERROR("%s\n", "Could not malloc_mow_track_augment_array.");
            return 0;
        }
        // Whole records, the joint callbacks with them.
        for (int32_t i = 0; i < joints; ++i)
            copy->mow_track_augment_array[i] = templ->mow_track_augment_array[i];
    }
    int32_t keys = templ->current_appendage_sphere_keys_size;
    if (templ->current_appendage_sphere_keys && keys > 0 &&
        !(copy->current_appendage_sphere_keys = duplicate_appendage_sphere_keys(
              templ->current_appendage_sphere_keys, keys))) {
        LOG_ERROR("%s\n", "Could not duplicate current_appendage_sphere_keys.");
        return 0;
    }
    if (templ->win_shader_array && templ->win_shader_array_size > 0 &&
        !(copy->win_shader_array = shader_duplicate_win_shader_array(
              templ->win_shader_array, templ->win_shader_array_size))) {
        LOG_ERROR("%s\n", "Could not read_win_shader_array_bin.");
        return 0;
    }
    if (!copy_optional_string(&copy->ai_filename, templ->ai_filename,
                              {"Could not strdup win_ai_filename '", "'.\n"}))
        return 0;
    if (templ->win_ai && !(copy->win_ai = ai_create_duplicate(templ->win_ai))) {
        LOG_ERROR("%s\n", "Could not ai_create_duplicate");
        return 0;
    }
    return 1;
}

// The collision pointer array of `size` slots sharing the template's hulls,
// one more reference each; empty slots stay empty.
win_collision_ptr* share_collision_ptr_array(const win_collision_ptr* templ, int32_t size)
{
    win_collision_ptr* copy = malloc_win_collision_ptr_array(size);
    if (!copy)
        return nullptr;
    for (int32_t i = 0; i < size; ++i)
        if ((copy[i] = templ[i]))
            ++copy[i]->win_collision_ref_cnt;
    return copy;
}

int duplicate_environment_members(win_environment* copy, const win_environment* templ)
{
    if (templ->win_collision_filename_array &&
        !(copy->win_collision_filename_array = duplicate_win_filename_ptr_array(
              templ->win_collision_filename_array, templ->win_collision_filename_array_size))) {
        LOG_ERROR("%s\n", "Could not read_win_filename_ptr_array_bin.");
        return 0;
    }
    if (templ->win_collision_ptr_array && templ->win_collision_ptr_array_size > 0 &&
        !(copy->win_collision_ptr_array = share_collision_ptr_array(
              templ->win_collision_ptr_array, templ->win_collision_ptr_array_size))) {
        LOG_ERROR("%s\n", "Could not read_win_collision_ptr_array_bin.");
        return 0;
    }
    if (templ->win_trigger_array &&
        !(copy->win_trigger_array = duplicate_win_trigger_array(templ->win_trigger_array,
                                                                templ->win_trigger_array_size))) {
        LOG_ERROR("%s\n", "Could not read_win_trigger_array_bin.");
        return 0;
    }
    if (templ->win_explore_cam_array &&
        !(copy->win_explore_cam_array = duplicate_win_explore_cam_array(
              templ->win_explore_cam_array, templ->win_explore_cam_array_size))) {
        LOG_ERROR("%s\n", "Could not duplicate_win_explore_cam_array.");
        return 0;
    }
    return 1;
}

}  // namespace

win_character* duplicate_win_character(const win_character* template_win_character)
{
    REFUSE_NULL(template_win_character, "duplicate_win_character", "template_win_character",
                nullptr);
    win_character* copy = malloc_win_character();
    if (!copy) {
        LOG_ERROR("%s\n", "Could not malloc_win_character.");
        return nullptr;
    }
    *copy = *template_win_character;
    copy->mow_model_filename = nullptr;
    copy->mow_model = nullptr;
    copy->mow_track_augment_array = nullptr;
    copy->win_shader_array = nullptr;
    copy->current_appendage_sphere_keys = nullptr;
    copy->ai_filename = nullptr;
    copy->win_ai = nullptr;
    if (!duplicate_character_members(copy, template_win_character)) {
        free_win_character(copy);
        return nullptr;
    }
    return copy;
}

win_environment* duplicate_win_environment(const win_environment* template_win_environment)
{
    REFUSE_NULL(template_win_environment, "duplicate_win_environment", "template_win_environment",
                nullptr);
    win_environment* copy = malloc_win_environment();
    if (!copy) {
        LOG_ERROR("%s\n", "Could not malloc_win_environment.");
        return nullptr;
    }
    *copy = *template_win_environment;
    copy->win_collision_filename_array = nullptr;
    copy->win_collision_ptr_array = nullptr;
    copy->win_trigger_array = nullptr;
    copy->win_explore_cam_array = nullptr;
    // The navigation map stays the template's: a copy of an environment has
    // none of its own.
    copy->win_map_filename = nullptr;
    copy->win_map = nullptr;
    if (!duplicate_environment_members(copy, template_win_environment)) {
        free_win_environment(copy);
        return nullptr;
    }
    return copy;
}

win_trigger* duplicate_win_trigger_array(const win_trigger* template_array, int32_t size)
{
    REFUSE_NULL(template_array, "duplicate_win_trigger_array", "template_win_trigger_array",
                nullptr);
    win_trigger* copy = malloc_win_trigger_array(size);
    if (!copy) {
        LOG_ERROR("%s\n", "Could not malloc_win_trigger_array win_trigger_array.");
        return nullptr;
    }
    for (int32_t i = 0; i < size; ++i) {
        const win_trigger* templ = &template_array[i];
        win_trigger* trigger = &copy[i];
        *trigger = *templ;
        trigger->prev_ptr = trigger;
        trigger->next_ptr = trigger;
        trigger->win_trigger_name = nullptr;
        trigger->win_trigger_ref_cnt = 0;
        trigger->win_trigger_collision_name = nullptr;
        // The copy's volume is found again by whoever loads its hulls.
        trigger->win_trigger_collision = nullptr;
        trigger->win_trigger_script_name = nullptr;
        if (!copy_optional_string(&trigger->win_trigger_name, templ->win_trigger_name,
                                  {"Could not strdup win_trigger_name.\n", nullptr}) ||
            !copy_optional_string(&trigger->win_trigger_collision_name,
                                  templ->win_trigger_collision_name,
                                  {"Could not strdup win_collision_name.\n", nullptr}) ||
            !copy_optional_string(&trigger->win_trigger_script_name, templ->win_trigger_script_name,
                                  {"Could not strdup script_name.\n", nullptr})) {
            free_win_trigger_array(copy, size);
            return nullptr;
        }
    }
    return copy;
}

win_explore_cam* duplicate_win_explore_cam_array(const win_explore_cam* template_array,
                                                 int32_t size)
{
    REFUSE_NULL(template_array, "duplicate_win_explore_cam_array", "template_win_explore_cam_array",
                nullptr);
    if (size <= 0) {
        LOG_ERROR("Bad template_win_explore_cam_array_size = %ld\n", (long)size);
        return nullptr;
    }
    win_explore_cam* copy = malloc_win_explore_cam_array(size);
    if (!copy) {
        LOG_ERROR("%s\n", "Could not malloc_win_explore_cam_array win_explore_cam_array.");
        return nullptr;
    }
    for (int32_t i = 0; i < size; ++i) {
        const win_explore_cam* templ = &template_array[i];
        win_explore_cam* cam = &copy[i];
        *cam = *templ;
        cam->prev_ptr = cam;
        cam->next_ptr = cam;
        cam->win_explore_cam_name = nullptr;
        cam->win_explore_cam_ref_cnt = 0;
        cam->explore_cam_script = nullptr;
        cam->explore_cam_zone_filename = nullptr;
        if ((cam->explore_cam_zone = templ->explore_cam_zone))
            ++cam->explore_cam_zone->win_collision_ref_cnt;
        if (!copy_optional_string(&cam->win_explore_cam_name, templ->win_explore_cam_name,
                                  {"Could not strdup win_explore_cam_name.\n", nullptr}) ||
            !copy_optional_string(&cam->explore_cam_script, templ->explore_cam_script,
                                  {"Could not strdup optional_script_filename.\n", nullptr}) ||
            !copy_optional_string(&cam->explore_cam_zone_filename, templ->explore_cam_zone_filename,
                                  {"Could not strdup win_collision_name.\n", nullptr})) {
            free_win_explore_cam_array(copy, size);
            return nullptr;
        }
    }
    return copy;
}

win_camera* duplicate_win_camera(const win_camera* template_win_camera)
{
    REFUSE_NULL(template_win_camera, "duplicate_win_camera", "template_win_camera", nullptr);
    win_camera* copy = malloc_win_camera();
    if (!copy) {
        LOG_ERROR("%s\n", "Could not malloc_win_camera.");
        return nullptr;
    }
    copy->field_of_view = template_win_camera->field_of_view;
    if (const win_camera_target* head = template_win_camera->win_camera_target_list) {
        const win_camera_target* target = head;
        do {
            win_camera_target* target_copy = duplicate_win_camera_target(target);
            if (!target_copy) {
                LOG_ERROR("%s\n", "Could not duplicate_win_camera_target");
                free_win_camera(copy);
                return nullptr;
            }
            add_to_win_camera_target_list(&copy->win_camera_target_list,
                                          &copy->win_camera_target_list_size, target_copy);
            target = target->next_ptr;
        } while (target != head);
    }
    if (template_win_camera->win_ai &&
        !(copy->win_ai = ai_create_duplicate(template_win_camera->win_ai))) {
        LOG_ERROR("%s\n", "Could not read_win_ai_bin.");
        free_win_camera(copy);
        return nullptr;
    }
    return copy;
}

win_camera_target* duplicate_win_camera_target(const win_camera_target* template_target)
{
    REFUSE_NULL(template_target, "duplicate_win_camera_target", "template_win_camera_target",
                nullptr);
    win_camera_target* copy = malloc_win_camera_target(template_target->win_camera_target_name);
    if (!copy) {
        LOG_ERROR("Could not malloc_win_camera_target for '%s'\n",
                  name_of(template_target->win_camera_target_name));
        return nullptr;
    }
    char* own_name = copy->win_camera_target_name;
    *copy = *template_target;
    copy->prev_ptr = copy;
    copy->next_ptr = copy;
    copy->win_camera_target_name = own_name;
    return copy;
}

win_emitter* duplicate_win_emitter(const win_emitter* template_win_emitter)
{
    REFUSE_NULL(template_win_emitter, "duplicate_win_emitter", "template_win_emitter", nullptr);
    win_emitter* copy = malloc_win_emitter();
    if (!copy) {
        LOG_ERROR("%s\n", "Could not malloc_win_emitter.");
        return nullptr;
    }
    *copy = *template_win_emitter;
    copy->particle_template = nullptr;
    if (!copy_optional_string(&copy->particle_template, template_win_emitter->particle_template,
                              {"Could not strdup emitted_entity_filename '", "'.\n"})) {
        free_win_emitter(copy);
        return nullptr;
    }
    return copy;
}
