#include "entity_io.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "ai.h"
#include "ai_io.h"
#include "anim_io.h"
#include "collide.h"
#include "d3dtextr_dx7.h"
#include "d3dxframe.h"
#include "debug.h"
#include "dlink.h"
#include "entity.h"
#include "entity_dup.h"
#include "entity_weapon.h"
#include "file_io.h"
#include "gameglobals.h"
#include "heap.h"
#include "model_io.h"
#include "mow_anim.h"
#include "platform/win32.h"
#include "script_services.h"
#include "shader_io.h"
#include "sound.h"
#include "str_util.h"
#include "vk_auto_aim.h"
#include "win_ast.h"
#include "win_entity.h"

win_entity* entity_io_global_win_entity_list = nullptr;
int32_t entity_io_global_win_entity_list_size = 0;

namespace {

// Longest data file path (directory, "\", name, ".", extension) with its zero;
// a longer one is refused rather than cut, which would name another file.
enum { ENTITY_IO_PATH_SIZE = 400 };

// The most particles one emitter makes. Every particle is an entity of its
// own, updated and drawn every frame: a level of a few such emitters still
// takes a fraction of a frame, where a damaged count (32,776 from one
// flipped byte made frames a hundred times longer; 0x7fffffff asked for
// gigabytes) would stop the level.
enum { ENTITY_IO_MAX_PARTICLES = 1024 };

// The modules that keep entity pointers of their own, each clearing those to
// an entity being unloaded. The AI (goal and camera targets), the weapons
// (holders, projectile owners, the current weapon and item of a character),
// the auto-aim target and the collision and trigger code join here.
const entity_io_forget_funct entity_io_forget_functs[] = {
    script_forget_entity, ai_forget_entity, vk_auto_aim_forget_entity, entity_weapon_forget_entity,
    // ENTITY_IO_FORGET_FUNCTS: collide_forget_entity, if collision keeps any
};

int32_t walk_depth = 0;
// Entities unloaded while a walk was open, waiting for the outermost end,
// chained through their run-time word, newest first. Their own links stay
// as the unlinking left them (on themselves), so a walk that reads the next
// entity of one it holds never wanders into the queue.
win_entity* release_queue = nullptr;

win_entity* queue_next(const win_entity* entity)
{
    return static_cast<win_entity*>(entity->win_entity_spare_ptr);
}

bool is_queued(const win_entity* entity)
{
    for (win_entity* queued = release_queue; queued; queued = queue_next(queued))
        if (queued == entity)
            return true;
    return false;
}

// The names being loaded now, innermost first, one frame on the stack of each
// entity_io_load in progress. An entity file that names, as a sub-entity or a
// particle template, an entity that is being loaded would load forever.
struct loading_frame {
    const char* name;
    const loading_frame* outer;
};
const loading_frame* loading_stack = nullptr;

bool build_path(char (&path)[ENTITY_IO_PATH_SIZE], const char* directory, const char* name,
                const char* extension)
{
    int length = snprintf(path, sizeof path, "%s\\%s.%s", directory, name, extension);
    if (length < 0 || length >= (int)sizeof path) {
        LOG_ERROR("Path of '%s.%s' is longer than %d characters\n", name, extension,
                  (int)ENTITY_IO_PATH_SIZE - 1);
        return false;
    }
    to_lower_case(path);
    return true;
}

// The directories and world values of one load, passed on unchanged to the
// loads of sub-entities and particle templates.
struct load_context {
    const char* entity_pathname;
    const char* model_pathname;
    const char* shader_pathname;
    const char* texture_pathname;
    const char* animation_pathname;
    const char* anim_table_pathname;
    const char* ai_pathname;
    const char* sound_pathname;
    float gravity;
    float x_wind;
    float z_wind;
};

win_entity* load_named(const char* name, const load_context& context)
{
    return entity_io_load(name, context.entity_pathname, context.model_pathname,
                          context.shader_pathname, context.texture_pathname,
                          context.animation_pathname, context.anim_table_pathname,
                          context.ai_pathname, context.sound_pathname, context.gravity,
                          context.x_wind, context.z_wind);
}

// Releases an array the entity file held in a field that the loader fills
// afresh, so that nothing read from the file is lost when it is replaced.
template <typename T>
void drop_read_array(T*& array, int32_t& size, int (*free_array)(T*, int32_t))
{
    if (array)
        free_array(array, size);
    array = nullptr;
    size = 0;
}

void complete_character_model(win_character* character, const load_context& context)
{
    // The file may hold a pose and shaders of its own: the model decides
    // them.
    drop_read_array(character->mow_track_augment_array, character->mow_track_augment_array_size,
                    free_mow_track_augment_array);
    drop_read_array(character->win_shader_array, character->win_shader_array_size,
                    free_win_shader_array);

    char path[ENTITY_IO_PATH_SIZE];
    mow_model* model = build_path(path, context.model_pathname, character->mow_model_filename,
                                  "mow")
                           ? model_io_load(path)
                           : nullptr;
    if (!model) {
        LOG_ERROR("Failed to load mow_model %s.\n", character->mow_model_filename);
        return;
    }
    character->mow_model = model;
    model->mow_model_ref_cnt += 1;

    int32_t joints = model->mow_joint_array_size;
    if (joints < 1) {
        LOG_NOTICE("%s\n", "model has no animation tracks. Defaulting to 1 joint.");
        joints = 1;
    } else {
        LOG_NOTICE("new_entity->u.win_character->mow_model->mow_joint_array_size = %d.\n",
                   (int)joints);
    }
    character->mow_track_augment_array = malloc_mow_track_augment_array(joints);
    if (character->mow_track_augment_array)
        character->mow_track_augment_array_size = joints;
    else
        LOG_ERROR("%s\n",
                  "Failed to allocate new_entity->u.win_character->mow_track_augment_array.");

    if (model->mow_shader_filename_array) {
        character->win_shader_array = load_win_shader_array(
            model->mow_shader_filename_array, model->mow_shader_filename_array_size,
            context.shader_pathname, context.texture_pathname, context.animation_pathname,
            context.anim_table_pathname, context.model_pathname);
        if (character->win_shader_array)
            character->win_shader_array_size = model->mow_shader_filename_array_size;
        else
            LOG_ERROR("Could not load win_shader_array for '%s'\n", model->mow_model_name);
    }
    // The model is shared: the character's radius_scale applies to its own
    // use of it (win_character_radius), not to the model.
}

void complete_character(win_entity* entity, const load_context& context)
{
    win_character* character = win_entity_character(entity);
    if (!character)
        return;
    if (character->mow_model_filename)
        complete_character_model(character, context);
    if (character->ai_filename) {
        if (character->win_ai)
            free_win_ai(character->win_ai);
        character->win_ai = ai_load_file(character->ai_filename, context.ai_pathname);
        if (!character->win_ai)
            LOG_ERROR("Failed to load AI file %s.\n", character->ai_filename);
    }
}

// The hull of `name` into `slot`, dropping the one the file held there.
void load_hull(win_collision** slot, const char* name)
{
    if (*slot)
        free_win_collision(*slot);
    *slot = name ? collide_load_win_collision(name) : nullptr;
}

void complete_environment(win_entity* entity, const load_context& context)
{
    win_environment* environment = win_entity_environment(entity);
    if (!environment)
        return;
    if (environment->win_map_filename) {
        if (environment->win_map)
            free_win_map(environment->win_map);
        environment->win_map = ai_load_map_file(environment->win_map_filename, context.ai_pathname);
        if (!environment->win_map)
            LOG_ERROR("Failed to load MAP file %s.\n", environment->win_map_filename);
    }

    // The hulls come from the collision file names; hull slots stored in the
    // file are not what the game uses.
    drop_read_array(environment->win_collision_ptr_array, environment->win_collision_ptr_array_size,
                    free_win_collision_ptr_array);
    int32_t hull_count = environment->win_collision_filename_array
                             ? environment->win_collision_filename_array_size
                             : 0;
    if (hull_count > 0) {
        environment->win_collision_ptr_array = malloc_win_collision_ptr_array(hull_count);
        if (!environment->win_collision_ptr_array) {
            LOG_ERROR("%s\n", "Could not malloc_win_collision_ptr_array.");
        } else {
            environment->win_collision_ptr_array_size = hull_count;
            for (int32_t i = 0; i < hull_count; ++i)
                load_hull(&environment->win_collision_ptr_array[i],
                          environment->win_collision_filename_array[i]);
        }
    }
    for (int32_t i = 0; environment->win_trigger_array && i < environment->win_trigger_array_size;
         ++i) {
        win_trigger& trigger = environment->win_trigger_array[i];
        load_hull(&trigger.win_trigger_collision, trigger.win_trigger_collision_name);
    }
    for (int32_t i = 0;
         environment->win_explore_cam_array && i < environment->win_explore_cam_array_size; ++i) {
        win_explore_cam& camera = environment->win_explore_cam_array[i];
        load_hull(&camera.explore_cam_zone, camera.explore_cam_zone_filename);
        float* distances[] = {&camera.explore_cam_acceleration, &camera.explore_cam_slow_distance,
                              &camera.explore_cam_speed};
        const float defaults[] = {1000.0f, 200.0f, 1000.0f};
        for (int d = 0; d < 3; ++d)
            if (*distances[d] == -1.0f)
                *distances[d] = defaults[d];
    }
}

void complete_light(win_entity* entity)
{
    win_light* light = win_entity_light(entity);
    if (!light)
        return;
    // Point, spot, directional and parallel-point lights: the file gives the
    // diffuse colour in 0 to 255; the ambient light (type 0) keeps it so.
    D3DLIGHT7& d3d_light = light->d3d_light;
    if (d3d_light.dltType >= 1 && d3d_light.dltType <= 4) {
        d3d_light.dcvDiffuse.r /= 255.0f;
        d3d_light.dcvDiffuse.g /= 255.0f;
        d3d_light.dcvDiffuse.b /= 255.0f;
    }
}

void complete_camera(win_entity* entity, const char* entity_name)
{
    win_camera* camera = win_entity_camera(entity);
    if (!camera)
        return;
    win_camera_target* head = camera->win_camera_target_list;
    for (win_camera_target* target = head; target;
         target = dlink_ring_step(head, target->next_ptr)) {
        target->target_entity = entity_io_find_entity(entity_io_global_win_entity_list,
                                                      target->win_camera_target_name);
        if (!target->target_entity)
            LOG_ERROR("Could not find camera_target entity '%s'\n",
                      target->win_camera_target_name ? target->win_camera_target_name : "");
    }
    // The camera's goals are its own, made afresh: an AI record the file
    // held is released first.
    if (camera->win_ai)
        free_win_ai(camera->win_ai);
    camera->win_ai = malloc_win_ai();
    if (!camera->win_ai) {
        LOG_ERROR("Failed to allocate memory for win_ai for camera %s.\n", entity_name);
        return;
    }
    // A camera without targets idles aimed at nothing.
    win_entity* first_target = camera->win_camera_target_list
                                   ? camera->win_camera_target_list->target_entity
                                   : nullptr;
    ai_add_goal(entity, AI_GOAL_IDLE, first_target, 0.0f, 0.0f, 0.0f, -1);
    camera->win_ai->current_goal = camera->win_ai->win_goal_entry_list;
}

void add_child(win_entity* parent, win_entity* child)
{
    add_to_win_entity_list(&parent->child_entity_list, &parent->child_entity_list_size, child);
}

void complete_emitter(win_entity* entity, const load_context& context)
{
    win_emitter* emitter = win_entity_emitter(entity);
    if (!emitter || !emitter->particle_template)
        return;
    const char* template_name = emitter->particle_template;
    int32_t copies = emitter->particle_count;
    if (copies > ENTITY_IO_MAX_PARTICLES) {
        LOG_ERROR("Emitter '%s' asks for %ld particles, more than the %d a level holds: it makes "
                  "none.\n",
                  entity->win_entity_name ? entity->win_entity_name : "", (long)copies,
                  (int)ENTITY_IO_MAX_PARTICLES);
        return;
    }
    win_entity* particle_template = entity_io_find_entity(entity_io_global_win_entity_list,
                                                          template_name);
    if (!particle_template) {
        particle_template = load_named(template_name, context);
        if (!particle_template) {
            LOG_ERROR("Could not load particle_template '%s'\n", template_name);
            return;
        }
        // The template loaded for this emitter is its first particle.
        add_child(entity, particle_template);
        copies -= 1;
    }
    for (int32_t i = 0; i < copies; ++i) {
        win_entity* particle = entity_duplicate_win_entity(particle_template);
        if (!particle) {
            LOG_ERROR("Could not entity_duplicate_win_entity '%s'\n",
                      particle_template->win_entity_name ? particle_template->win_entity_name : "");
            break;
        }
        add_child(entity, particle);
    }
}

// The animation that state 0 of the table plays, or NULL when the table has
// no state 0 or that state names no animation slot the table has.
mow_anim* state_zero_anim(const win_ast* table)
{
    if (table->win_anim_table_base_array_size < 1 || !table->win_anim_table_base_array)
        return nullptr;
    int32_t index = table->win_anim_table_base_array[0].mow_anim_index;
    if (index < 0 || index >= table->mow_anim_ptr_array_size || !table->mow_anim_ptr_array)
        return nullptr;
    return table->mow_anim_ptr_array[index];
}

void load_state_table(win_entity* entity, const load_context& context)
{
    const char* table_name = entity->win_ast_filename;
    // A table the file held is replaced by the one of the table file.
    if (entity->win_ast)
        free_win_ast(entity->win_ast);
    entity->win_ast = malloc_win_ast(table_name);
    if (!entity->win_ast) {
        LOG_ERROR("Failed to allocate memory for win_ast %s.\n", table_name);
        return;
    }
    win_character* character = win_entity_character(entity);
    // Any track count for an entity without a model.
    int32_t expected_tracks = character && character->mow_model
                                  ? character->mow_model->mow_joint_array_size
                                  : -1;
    char path[ENTITY_IO_PATH_SIZE];
    if (!build_path(path, context.anim_table_pathname, table_name, "ast") ||
        !anim_io_load_ast(path, entity->win_ast, context.model_pathname, context.sound_pathname))
        LOG_ERROR("Failed to load ast file %s.\n", table_name);
    else if (!anim_io_load_ast_anims(entity->win_ast, expected_tracks, context.animation_pathname))
        LOG_ERROR("Failed to load animations for ast file %s.\n", table_name);
    // A table without states has no state to be in.
    win_ast* table = entity->win_ast;
    table->current_anim_index = table->win_anim_table_base_array_size > 0 ? 0 : -1;
    table->current_mow_anim = state_zero_anim(table);
}

void make_appendage_spheres(win_entity* entity)
{
    win_character* character = win_entity_character(entity);
    if (!character)
        return;
    // Spheres the file held give way to those of the model.
    drop_read_array(character->current_appendage_sphere_keys,
                    character->current_appendage_sphere_keys_size,
                    free_mow_appendage_sphere_key_array);
    const mow_model* model = character->mow_model;
    if (!model || model->mow_appendage_array_size <= 0) {
        LOG_NOTICE("%s\n", "model has no appendages. Defaulting to 0 appendages.");
        return;
    }
    int32_t appendages = model->mow_appendage_array_size;
    LOG_NOTICE("new_entity->u.win_character->mow_model->mow_appendage_array_size = %d.\n",
               (int)appendages);
    character->current_appendage_sphere_keys = malloc_mow_appendage_sphere_key_array(appendages);
    if (!character->current_appendage_sphere_keys) {
        LOG_ERROR("%s\n",
                  "Failed to allocate new_entity->u.win_character->current_appendage_sphere_keys.");
        return;
    }
    character->current_appendage_sphere_keys_size = appendages;

    const mow_anim* anim = entity->win_ast ? entity->win_ast->current_mow_anim : nullptr;
    if (!anim || anim->mow_appendage_key_array_size < 1 || !anim->mow_appendage_key_array)
        return;
    const mow_appendage_key& key =
        anim->mow_appendage_key_array[anim->mow_appendage_key_array_size >= 2 ? 1 : 0];
    // The animation may give fewer spheres than the model has appendages:
    // those keep no segments.
    int32_t spheres = key.mow_appendage_sphere_key_array ? key.mow_appendage_sphere_key_array_size
                                                         : 0;
    for (int32_t i = 0; i < appendages && i < spheres; ++i) {
        int32_t segments = key.mow_appendage_sphere_key_array[i].mow_segment_key_array_size;
        LOG_NOTICE("segment_key_array_size for sphere_key_array[%ld] is %ld.\n", (long)i,
                   (long)segments);
        if (segments <= 0)
            continue;
        mow_appendage_sphere_key& sphere = character->current_appendage_sphere_keys[i];
        sphere.mow_segment_key_array = malloc_mow_segment_key_array(segments);
        if (sphere.mow_segment_key_array) {
            sphere.mow_segment_key_array_size = segments;
        } else {
            LOG_ERROR("%s\n", "Failed to allocate new_entity->u.win_character->current_appendage_"
                              "sphere_keys[i].mow_segment_key_array.");
            sphere.mow_segment_key_array_size = 0;
        }
    }
}

void make_state_values(win_entity* entity, const char* entity_name)
{
    // One zeroed value per state name, whatever values the file held.
    if (entity->win_state_array)
        FREE(entity->win_state_array);
    entity->win_state_array = nullptr;
    int32_t size = entity->win_state_name_ptr_array ? entity->win_state_name_ptr_array_size : 0;
    entity->win_state_array_size = size;
    LOG_NOTICE("%s has a win_state_array_size %d.\n", entity_name, (int)size);
    if (size <= 0)
        return;
    entity->win_state_array = (float*)MALLOC(sizeof(float) * (size_t)size);
    if (!entity->win_state_array) {
        LOG_ERROR("Could not allocate win_state_array of %s.\n", entity_name);
        entity->win_state_array_size = 0;
        return;
    }
    memset(entity->win_state_array, 0, sizeof(float) * (size_t)size);
}

void load_sub_entities(win_entity* entity, const load_context& context)
{
    for (int32_t i = 0;
         entity->win_child_name_ptr_array && i < entity->win_child_name_ptr_array_size; ++i) {
        const char* name = entity->win_child_name_ptr_array[i];
        if (!name)
            continue;
        if (entity_io_find_entity(entity_io_global_win_entity_list, name)) {
            LOG_ERROR("Attempting to to load a sub entity that's already loaded, sub_entity "
                      "name '%s'\n",
                      name);
            continue;
        }
        win_entity* sub_entity = load_named(name, context);
        if (sub_entity)
            add_child(entity, sub_entity);
        else
            LOG_ERROR("Could not load sub entity '%s'\n", name);
    }
}

bool is_being_loaded(const char* name)
{
    for (const loading_frame* frame = loading_stack; frame; frame = frame->outer)
        if (strcasecmp(frame->name, name) == 0)
            return true;
    return false;
}

// Entity files and the error lines of the entity loader.
const versioned_record_file entity_file = {
    FILE_TYPE_ENTITY,
    FILE_VERSION_ENTITY,
    [](FILE* file) -> void* { return read_win_entity_bin(file); },
    [](const char* path, int32_t found) {
        LOG_ERROR("Bad file type or file version '%s', version found %ld, expected %ld\n", path,
                  (long)found, (long)FILE_VERSION_ENTITY);
    },
    [](const char* path) { LOG_ERROR("Unable to read_win_entity %s.\n", path); },
};

win_entity* read_entity_file(const char* entity_name, const char* entity_pathname)
{
    char path[ENTITY_IO_PATH_SIZE];
    if (!build_path(path, entity_pathname, entity_name, "enw"))
        return nullptr;
    LOG_NOTICE("Reading ENW '%s', entity_list_size = %ld\n", path,
               (long)dlink_count((dlink*)entity_io_global_win_entity_list));
    return (win_entity*)file_read_versioned_record(path, path, &entity_file);
}

// Everything the entity file only names, in the order the parts depend on
// one another: the model before the state table (its track count), the table
// before the appendage spheres (its first animation).
void complete_entity(win_entity* entity, const char* entity_name, const load_context& context)
{
    LOG_NOTICE("win_entity_flag = %ld\n", (long)entity->win_entity_flag);
    LOG_NOTICE("win_entity_type = %ld.\n", (long)entity->win_entity_type);
    switch (entity->win_entity_type) {
    case WIN_ENTITY_TYPE_CHARACTER:
        complete_character(entity, context);
        break;
    case WIN_ENTITY_TYPE_ENVIRONMENT:
        complete_environment(entity, context);
        break;
    case WIN_ENTITY_TYPE_LIGHT:
        complete_light(entity);
        break;
    case WIN_ENTITY_TYPE_CAMERA:
        complete_camera(entity, entity_name);
        break;
    case WIN_ENTITY_TYPE_EMITTER:
        complete_emitter(entity, context);
        break;
    default:
        LOG_ERROR("Tried to load unknown entity type %d.\n", (int)entity->win_entity_type);
        break;
    }
    if (entity->win_ast_filename)
        load_state_table(entity, context);
    make_appendage_spheres(entity);
    make_state_values(entity, entity_name);

    // Placed later (entity_place); the winds and gravity pull as the entity's
    // own factors say.
    entity->local_matrix = win_matrix43{};
    entity->acceleration = {context.x_wind * entity->gravity_factor.x,
                            context.gravity * entity->gravity_factor.y,
                            context.z_wind * entity->gravity_factor.z};
    load_sub_entities(entity, context);
}

// ---- Unloading ----

void release_queued(void)
{
    if (!release_queue)
        return;
    while (release_queue) {
        win_entity* entity = release_queue;
        release_queue = queue_next(entity);
        entity->win_entity_spare_ptr = nullptr;
        free_win_entity(entity);
    }
    // What the released entities were the last to hold goes too.
    model_io_remove_mow_model();
    d3dtextr_clean_texture_container_list();
    collide_remove_win_collision();
}

int unload_ring(win_entity** ring, int32_t* ring_size, int32_t unload_all)
{
    int ok = 1;
    win_entity* entity = *ring;
    for (int32_t count = *ring_size; count > 0 && entity; --count) {
        win_entity* next = entity->next;
        bool last = next == entity;
        remove_from_win_entity_list(ring, ring_size, entity);
        ok = entity_unload(entity, unload_all) && ok;
        entity = last ? nullptr : next;
    }
    return ok;
}

// The player character leaves: its acceleration and flags are kept for the
// next player, and with unload_all 0 its weapons and items too. A ring that
// an earlier player left parked is unloaded first, never lost.
int park_player(win_entity* player, int32_t unload_all)
{
    int ok = 1;
    game_globals.player_character = nullptr;
    game_globals.parked_acceleration = player->acceleration;
    game_globals.parked_entity_flag = (int32_t)player->win_entity_flag;
    if (unload_all == 0) {
        ok = unload_ring(&game_globals.parked_child_list, &game_globals.parked_child_list_size, 0);
        game_globals.parked_child_list = player->child_entity_list;
        game_globals.parked_child_list_size = player->child_entity_list_size;
        player->child_entity_list = nullptr;
        player->child_entity_list_size = 0;
    }
    return ok;
}

int stop_sounds(win_entity* entity)
{
    win_ast* table = entity->win_ast;
    if (!table || !table->sound_fx_array)
        return 1;
    int ok = 1;
    for (int32_t i = 0; i < table->sound_fx_array_size; ++i) {
        win_sound_container* sound = table->sound_fx_array[i];
        if (!sound)
            continue;
        ok = sound_stop(sound) && ok;
        ok = sound_unload(sound) && ok;
        table->sound_fx_array[i] = nullptr;
    }
    // The slot block itself goes with the table.
    return ok;
}

win_entity* find_in_ring(win_entity* ring_head, const char* name)
{
    win_entity* entity = ring_head;
    do {
        if (entity->win_entity_name && strcmp(entity->win_entity_name, name) == 0)
            return entity;
        if (entity->child_entity_list) {
            win_entity* found = find_in_ring(entity->child_entity_list, name);
            if (found)
                return found;
        }
        entity = entity->next;
    } while (entity && entity != ring_head);
    return nullptr;
}

}  // namespace

win_entity* entity_io_load(const char* entity_name, const char* entity_pathname,
                           const char* model_pathname, const char* shader_pathname,
                           const char* texture_pathname, const char* animation_pathname,
                           const char* anim_table_pathname, const char* ai_pathname,
                           const char* sound_pathname, float gravity, float x_wind, float z_wind)
{
    REFUSE_NULL(entity_name, "entity_io_load", "entity_name", nullptr);
    REFUSE_NULL(entity_pathname, "entity_io_load", "entity_pathname", nullptr);
    REFUSE_NULL(model_pathname, "entity_io_load", "model_pathname", nullptr);
    REFUSE_NULL(shader_pathname, "entity_io_load", "shader_pathname", nullptr);
    REFUSE_NULL(texture_pathname, "entity_io_load", "texture_pathname", nullptr);
    // A level loads within one frame, between two turns of the message loop
    // that would take a termination request: the load asks itself, and what
    // is still to load is not loaded.
    if (platform_termination_requested()) {
        LOG_NOTICE("Not loading entity '%s': the game is ending.\n", entity_name);
        return nullptr;
    }
    if (is_being_loaded(entity_name)) {
        LOG_ERROR("Refusing to load entity '%s' inside its own load (a cycle of sub-entities or "
                  "particle templates)\n",
                  entity_name);
        return nullptr;
    }
    win_entity* entity = read_entity_file(entity_name, entity_pathname);
    if (!entity)
        return nullptr;

    const load_context context = {entity_pathname,
                                  model_pathname,
                                  shader_pathname,
                                  texture_pathname,
                                  animation_pathname,
                                  anim_table_pathname,
                                  ai_pathname,
                                  sound_pathname,
                                  gravity,
                                  x_wind,
                                  z_wind};
    const loading_frame frame = {entity_name, loading_stack};
    loading_stack = &frame;
    complete_entity(entity, entity_name, context);
    loading_stack = frame.outer;
    return entity;
}

win_entity* entity_io_find_entity(win_entity* ring_head, const char* name)
{
    if (!ring_head || !name)
        return nullptr;
    return find_in_ring(ring_head, name);
}

int entity_unlink(win_entity** ring_head, int32_t* ring_size, win_entity* entity)
{
    if (!ring_head || !*ring_head || !ring_size || !entity)
        return 0;
    if (dlink_pos((dlink*)*ring_head, (dlink*)entity) >= 0)
        return remove_from_win_entity_list(ring_head, ring_size, entity);
    win_entity* member = *ring_head;
    do {
        if (entity_unlink(&member->child_entity_list, &member->child_entity_list_size, entity))
            return 1;
        member = member->next;
    } while (member != *ring_head);
    return 0;
}

const win_entity* entity_io_ring_head(void)
{
    return entity_io_global_win_entity_list;
}

int entity_io_add_to_ring(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_io_add_to_ring", "entity", 0);
    return add_to_win_entity_list(&entity_io_global_win_entity_list,
                                  &entity_io_global_win_entity_list_size, entity);
}

win_entity* entity_io_find_in_ring(const char* name)
{
    return entity_io_find_entity(entity_io_global_win_entity_list, name);
}

int entity_io_remove_from_ring(win_entity* entity)
{
    return entity_unlink(&entity_io_global_win_entity_list, &entity_io_global_win_entity_list_size,
                         entity);
}

win_entity* entity_find_and_unlink(win_entity** ring_head, int32_t* ring_size, const char* name)
{
    REFUSE_NULL(ring_head, "entity_find_and_unlink", "ring_head", nullptr);
    REFUSE_NULL(ring_size, "entity_find_and_unlink", "ring_size", nullptr);
    REFUSE_NULL(name, "entity_find_and_unlink", "name", nullptr);
    win_entity* found = entity_io_find_entity(*ring_head, name);
    return found && entity_unlink(ring_head, ring_size, found) ? found : nullptr;
}

void entity_io_forget(const win_entity* entity)
{
    if (!entity)
        return;
    entity_update_forget(entity);
    win_entity** references[] = {&game_globals.player_character, &game_globals.current_environment,
                                 &game_globals.current_camera, &game_globals.current_weapon,
                                 &game_globals.current_item};
    for (win_entity** reference : references)
        if (*reference == entity)
            *reference = nullptr;
    for (entity_io_forget_funct forget : entity_io_forget_functs)
        forget(entity);
}

int entity_unload(win_entity* entity, int32_t unload_all)
{
    if (!entity) {
        LOG_ERROR("%s", "Cannot entity_unload with a NULL entity.\n");
        return 0;
    }
    // Releasing an entity that a ring still holds, or one unloaded already,
    // would leave the ring pointing at freed memory.
    if (entity->next != entity || entity == entity_io_global_win_entity_list || is_queued(entity)) {
        LOG_ERROR("Cannot entity_unload '%s': it is still in a ring or unloaded already.\n",
                  entity->win_entity_name ? entity->win_entity_name : "");
        return 0;
    }
    LOG_NOTICE("Unloading entity %s, entity_list_size = %ld\n",
               entity->win_entity_name ? entity->win_entity_name : "",
               (long)dlink_count((dlink*)entity_io_global_win_entity_list));
    entity_io_begin_walk();
    int ok = 1;
    if (game_globals.player_character == entity)
        ok = park_player(entity, unload_all) && ok;
    entity_io_forget(entity);
    win_light* light = win_entity_light(entity);
    if (light && light->light_slot != -1) {
        d3dxframe_disable_dynamic_light(light->light_slot);
        light->light_slot = -1;
    }
    ok = stop_sounds(entity) && ok;
    ok = unload_ring(&entity->child_entity_list, &entity->child_entity_list_size, unload_all) && ok;
    entity->win_entity_spare_ptr = release_queue;
    release_queue = entity;
    entity_io_end_walk();

    if (game_globals.player_character) {
        entity_weapon_hold_texture(&game_globals.weapon_icon_texture,
                                   entity_retrieve_icon_texture(game_globals.current_weapon));
        entity_weapon_hold_texture(&game_globals.item_icon_texture,
                                   entity_retrieve_icon_texture(game_globals.current_item));
    }
    return ok;
}

int entity_unload_all(int32_t unload_all)
{
    LOG_NOTICE("%s\n", "entity_unload_all called.");
    int ok = sound_stop_all(unload_all);
    entity_io_begin_walk();
    win_entity* entity = entity_io_global_win_entity_list;
    for (int32_t count = entity_io_global_win_entity_list_size; count > 0 && entity; --count) {
        win_entity* next = entity->next;
        bool last = next == entity;
        if (unload_all == 1 || !(entity->win_entity_flag & ENTITY_FLAG_PERSISTENT)) {
            remove_from_win_entity_list(&entity_io_global_win_entity_list,
                                        &entity_io_global_win_entity_list_size, entity);
            ok = entity_unload(entity, unload_all) && ok;
        }
        entity = last ? nullptr : next;
    }
    // Everything goes: so do the weapons and items a player left parked.
    if (unload_all == 1)
        ok = unload_ring(&game_globals.parked_child_list, &game_globals.parked_child_list_size,
                         1) &&
             ok;
    entity_io_end_walk();
    ok = sound_unload_all(unload_all) && ok;
    return ok;
}

void entity_io_begin_walk(void)
{
    ++walk_depth;
}

void entity_io_end_walk(void)
{
    if (walk_depth <= 0) {
        LOG_ERROR("%s\n", "entity_io_end_walk without a walk open.");
        return;
    }
    if (--walk_depth == 0)
        release_queued();
}

void entity_io_reset(void)
{
    entity_io_global_win_entity_list = nullptr;
    entity_io_global_win_entity_list_size = 0;
    walk_depth = 0;
    release_queue = nullptr;
    loading_stack = nullptr;
}
