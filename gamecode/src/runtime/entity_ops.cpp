#include "entity_ops.h"

#include <cstdio>
#include <cstring>

#include "ai_io.h"
#include "anim.h"
#include "collide.h"
#include "d3dxframe.h"
#include "debug.h"
#include "dlink.h"
#include "entity.h"
#include "entity_io.h"
#include "entity_weapon.h"
#include "gameglobals.h"
#include "heap.h"
#include "sound.h"
#include "varnock.h"
#include "vk_tail.h"
#include "win_entity.h"
#include "win_math.h"

int32_t entity_turn_state = 1;

namespace {

constexpr float DEGREES_TO_RADIANS = 3.1415927f / 180.0f;
// cos(22.5 degrees): the facing queries' tolerance.
constexpr float FACING_COSINE = 0.9238795f;
constexpr float CAMERA_NEAR_PLANE = 1.0f;
constexpr float CAMERA_FAR_PLANE = 4000.0f;

const char* name_of(const win_entity* entity)
{
    return entity && entity->win_entity_name ? entity->win_entity_name : "(null)";
}

// The part of a character's figure that its entity file names and that did
// not load: its model, or its state table, left without states. Writes what
// failed to `cause` ("the model 'hero' did not load"); false when nothing
// did.
bool figure_unmade(const win_entity* entity, char* cause, size_t size)
{
    const win_character* character = win_entity_character(entity);
    const char* part = nullptr;
    const char* file = nullptr;
    if (character && character->mow_model_filename && !character->mow_model) {
        part = "model";
        file = character->mow_model_filename;
    } else if (entity->win_ast_filename &&
               (!entity->win_ast || entity->win_ast->win_anim_table_base_array_size <= 0)) {
        part = "state table";
        file = entity->win_ast_filename;
    }
    if (!part)
        return false;
    snprintf(cause, size, "the %s '%s' did not load", part, file);
    return true;
}

// The translation of a matrix; an identity (`attrib` 0) has none.
win_vect3 translation_of(const win_matrix43& matrix)
{
    if (!matrix.attrib)
        return {0.0f, 0.0f, 0.0f};
    return {matrix.m[3][0], matrix.m[3][1], matrix.m[3][2]};
}

// Puts the translation (x, y, z) into a matrix, keeping its rotation and
// scale; an identity becomes one that the operations read in full.
void set_translation(win_matrix43* matrix, const win_vect3& at)
{
    if (!matrix->attrib)
        *matrix = win_math_identity_matrix43;
    matrix->m[3][0] = at.x;
    matrix->m[3][1] = at.y;
    matrix->m[3][2] = at.z;
    matrix->attrib |= (at.x != 0.0f ? WIN_ATTRIB_TRANSLATE_X : 0) |
                      (at.y != 0.0f ? WIN_ATTRIB_TRANSLATE_Y : 0) |
                      (at.z != 0.0f ? WIN_ATTRIB_TRANSLATE_Z : 0);
}

// The matrix without its translation.
win_matrix43 rotation_of(const win_matrix43& matrix)
{
    win_matrix43 rotation = matrix;
    if (rotation.attrib) {
        rotation.m[3][0] = rotation.m[3][1] = rotation.m[3][2] = 0.0f;
        rotation.attrib &= ~WIN_ATTRIB_TRANSLATE;
    }
    return rotation;
}

win_vect3 position_of(const win_entity* entity)
{
    return translation_of(entity->local_matrix);
}

// The pose record of joint `joint_idx` of a character, or NULL when the
// entity has no such joint.
const mow_track_augment* joint_pose(const win_entity* entity, int32_t joint_idx)
{
    const win_character* character = win_entity_character(entity);
    if (!character || !character->mow_track_augment_array || joint_idx < 0 ||
        joint_idx >= character->mow_track_augment_array_size)
        return nullptr;
    return &character->mow_track_augment_array[joint_idx];
}

// The first camera target of a camera; NULL for another entity or a camera
// without targets.
win_camera_target* first_camera_target(const win_entity* entity)
{
    const win_camera* camera = win_entity_camera(entity);
    return camera ? camera->win_camera_target_list : nullptr;
}

// Sets one of the entity's motion vectors, `what` in the notice.
int set_motion(win_entity* entity, win_vect3 win_entity::*field, const win_vect3& value,
               const char* what)
{
    LOG_NOTICE("Setting %s for entity to %f, %f, %f.\n", what, value.x, value.y, value.z);
    entity->*field = value;
    return 1;
}

// Sets or clears `bits` of the entity's flags, the `kind` of collision they
// stand for, with the notice that says so.
int switch_flags(win_entity* entity, uint32_t bits, int32_t enable, const char* kind)
{
    if (enable) {
        entity->win_entity_flag |= bits;
        LOG_NOTICE("Enabling %s for %s.\n", kind, name_of(entity));
    } else {
        entity->win_entity_flag &= ~bits;
        LOG_NOTICE("Disabling %s for %s.\n", kind, name_of(entity));
    }
    return 1;
}

// 1 when `entity` is `root` or lies anywhere in its tree.
bool tree_holds(const win_entity* root, const win_entity* entity)
{
    if (root == entity)
        return true;
    const win_entity* head = root->child_entity_list;
    for (const win_entity* member = head; member; member = dlink_ring_step(head, member->next))
        if (tree_holds(member, entity))
            return true;
    return false;
}

// 1 when `entity` is a sub-entity, at any depth, of a member of the ring or
// of the parked ring. (A member of a ring of one links to itself, as an
// entity in no ring does.)
bool held_by_another(const win_entity* entity)
{
    const struct {
        const win_entity* head;
        int32_t count;
    } rings[] = {{entity_io_global_win_entity_list, entity_io_global_win_entity_list_size},
                 {game_globals.parked_child_list, game_globals.parked_child_list_size}};
    for (const auto& ring : rings) {
        const win_entity* member = ring.head;
        for (int32_t i = 0; member && i < ring.count; ++i, member = member->next)
            if (member != entity && tree_holds(member, entity))
                return true;
    }
    return false;
}

// The joints a sub-entity may hang from: the parent's world matrix (-1), the
// identity (-2), or a joint of a character parent's pose.
bool valid_attach_joint(const win_entity* parent, int32_t joint_idx)
{
    if (joint_idx == -1 || joint_idx == -2)
        return true;
    const win_character* character = win_entity_character(parent);
    if (character && character->mow_model &&
        joint_idx >= character->mow_model->mow_joint_array_size)
        return false;
    return joint_pose(parent, joint_idx) != nullptr;
}

// The child's motion fields that attaching clears: rotation velocity, the
// three words after it, velocity, acceleration and the local matrix (an
// all-zero matrix is the identity).
void clear_motion(win_entity* child)
{
    child->rot_velocity = {0.0f, 0.0f, 0.0f};
    std::memset(child->win_entity_reserved2, 0, sizeof child->win_entity_reserved2);
    child->velocity = {0.0f, 0.0f, 0.0f};
    child->acceleration = {0.0f, 0.0f, 0.0f};
    child->local_matrix = win_matrix43{};
}

// The queries of the horizontal facing, one row each.
struct facing_query {
    const char* operation;  // in the error when the entity faces no way
    int axis;               // 0 x, 2 z
    float sign;             // +1 toward the positive axis
};

int is_facing(win_entity* entity, const facing_query& query)
{
    win_vect3 facing;
    if (!win_math_calc_xz_direction_vect3(&facing, &entity->local_matrix)) {
        LOG_ERROR("Unable to calculate xz-direction vector for %s.\n", query.operation);
        return 0;
    }
    float along = query.axis == 0 ? facing.x : facing.z;
    return query.sign * along > FACING_COSINE;
}

}  // namespace

int entity_place(win_entity* entity, float x, float y, float z)
{
    REFUSE_NULL(entity, "entity_place", "entity", 0);
    LOG_NOTICE("Setting entity %s location to %f, %f, %f.\n", name_of(entity), x, y, z);
    const win_vect3 at = {x, y, z};
    set_translation(&entity->local_matrix, at);
    set_translation(&entity->world_matrix, at);
    entity->last_win_xform.tx = entity->last_win_xform.ty = entity->last_win_xform.tz = 0.0f;
    if (win_character* character = win_entity_character(entity))
        character->world_sphere_center = at;
    if (entity->win_ast)
        entity_play_anim(entity, 0);
    // A camera placed by hand leaves the explore camera it was in; a camera
    // without targets has no zone to leave.
    if (win_camera_target* target = first_camera_target(entity))
        target->explore_cam_idx = -1;
    entity->velocity = {0.0f, 0.0f, 0.0f};
    win_math_set_rot_trans_matrix43(&entity->local_matrix, 0.0f, 0.0f, 0.0f, x, y, z);
    return 1;
}

int entity_orient(win_entity* entity, float x, float y, float z)
{
    REFUSE_NULL(entity, "entity_orient", "entity", 0);
    LOG_NOTICE("Setting entity %s orientation to %f, %f, %f.\n", name_of(entity), x, y, z);
    const win_vect3 at = position_of(entity);
    win_math_set_rot_trans_matrix43(&entity->local_matrix, x, y, z, at.x, at.y, at.z);
    return 1;
}

int entity_add_rotation(win_entity* entity, float x, float y, float z)
{
    if (!entity) {
        LOG_ERROR("%s", "Cannot entity_add_rotation with a NULL entity.\n");
        return 0;
    }
    win_matrix43 turn;
    win_math_set_rot_trans_matrix43(&turn, x * DEGREES_TO_RADIANS, y * DEGREES_TO_RADIANS,
                                    z * DEGREES_TO_RADIANS, 0.0f, 0.0f, 0.0f);
    const win_vect3 at = position_of(entity);
    const win_matrix43 rotation = rotation_of(entity->local_matrix);
    win_math_multiply_matrix43(&entity->local_matrix, &rotation, &turn);
    set_translation(&entity->local_matrix, at);
    return 1;
}

int entity_add_translation(win_entity* entity, float x, float y, float z)
{
    if (!entity) {
        LOG_ERROR("%s", "Cannot entity_add_translation with a NULL entity.\n");
        return 0;
    }
    const win_vect3 offset = {x, y, z};
    const win_matrix43 rotation = rotation_of(entity->local_matrix);
    win_vect3 turned;
    win_math_multiply_vect3_by_matrix43(&turned, &offset, &rotation);
    const win_vect3 at = position_of(entity);
    set_translation(&entity->local_matrix, {at.x + turned.x, at.y + turned.y, at.z + turned.z});
    return 1;
}

int entity_set_local_xform_matrix(win_entity* entity, const win_matrix43* matrix)
{
    REFUSE_NULL(entity, "entity_set_local_xform_matrix", "entity", 0);
    REFUSE_NULL(matrix, "entity_set_local_xform_matrix", "matrix", 0);
    entity->local_matrix = *matrix;
    return 1;
}

int entity_set_velocity(win_entity* entity, float x, float y, float z)
{
    REFUSE_NULL(entity, "entity_set_velocity", "entity", 0);
    return set_motion(entity, &win_entity::velocity, {x, y, z}, "velocity");
}

int entity_set_rot_velocity(win_entity* entity, float x, float y, float z)
{
    REFUSE_NULL(entity, "entity_set_rot_velocity", "entity", 0);
    return set_motion(entity, &win_entity::rot_velocity, {x, y, z}, "rotational velocity");
}

int entity_set_acceleration(win_entity* entity, float x, float y, float z)
{
    REFUSE_NULL(entity, "entity_set_acceleration", "entity", 0);
    entity->acceleration = {x * game_globals.x_wind, y * game_globals.gravity,
                            z * game_globals.z_wind};
    LOG_NOTICE("Setting acceleration for entity %s to %f, %f, %f.\n", name_of(entity),
               entity->acceleration.x, entity->acceleration.y, entity->acceleration.z);
    return 1;
}

int entity_set_mass(win_entity* entity, float mass)
{
    REFUSE_NULL(entity, "entity_set_mass", "entity", 0);
    if (win_character* character = win_entity_character(entity)) {
        character->mass = mass;
        LOG_NOTICE("setting entity %s mass to %f.\n", name_of(entity), mass);
    }
    return 1;
}

int entity_set_life_span(win_entity* entity, float seconds)
{
    REFUSE_NULL(entity, "entity_set_life_span", "entity", 0);
    if (seconds == -999.0f) {
        LOG_WARNING("entity '%s' attempting to us -999 instead of ETERNAL_LIFE_SPAN constant\n",
                    name_of(entity));
        seconds = ETERNAL_LIFE_SPAN;
    }
    entity->life_span = seconds;
    // A whole second's worth of particles at the emitter's next update.
    if (win_emitter* emitter = win_entity_emitter(entity); emitter && seconds > 0.0f)
        emitter->emit_time = 1.0f;
    return 1;
}

int entity_enable_brain(win_entity* entity, int32_t enable)
{
    REFUSE_NULL(entity, "entity_enable_brain", "entity", 0);
    if (enable) {
        entity->win_entity_flag |= ENTITY_FLAG_BRAIN;
        if (entity->win_ast)
            entity->win_ast->anim_input_flags &= ~WIN_AST_INPUT_HOLD;
        LOG_NOTICE("Enabling entity brain %s.\n", name_of(entity));
    } else {
        entity->win_entity_flag &= ~ENTITY_FLAG_BRAIN;
        // The input word now keeps what scripts put into it.
        if (entity->win_ast)
            entity->win_ast->anim_input_flags = WIN_AST_INPUT_HOLD;
        LOG_NOTICE("Disabling entity brain %s.\n", name_of(entity));
    }
    return 1;
}

int entity_enable_collision(win_entity* entity, int32_t enable)
{
    REFUSE_NULL(entity, "entity_enable_collision", "entity", 0);
    return switch_flags(entity, ENTITY_FLAG_ENVIRONMENT_COLLISION | ENTITY_FLAG_CHARACTER_COLLISION,
                        enable, "all collision");
}

int entity_enable_environment_collision(win_entity* entity, int32_t enable)
{
    REFUSE_NULL(entity, "entity_enable_environment_collision", "entity", 0);
    return switch_flags(entity, ENTITY_FLAG_ENVIRONMENT_COLLISION, enable, "environment collision");
}

int entity_enable_character_collision(win_entity* entity, int32_t enable)
{
    REFUSE_NULL(entity, "entity_enable_character_collision", "entity", 0);
    return switch_flags(entity, ENTITY_FLAG_CHARACTER_COLLISION, enable, "character collision");
}

int entity_set_player_character(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_set_player_character", "entity", 0);
    // A player whose figure could not be made leaves a level that shows
    // nothing and answers no key: it is given up, and the level script
    // waits here until the menu's next choice clears it.
    char cause[256];
    if (figure_unmade(entity, cause, sizeof cause)) {
        char failure[128];
        snprintf(failure, sizeof failure, "The player '%s' could not be made", name_of(entity));
        varnock_give_up_level(failure, cause);
        return 0;
    }
    LOG_NOTICE("Setting %s as player character.\n", name_of(entity));
    game_globals.player_character = entity;
    // The weapons and items parked when the last player was unloaded join
    // the new one.
    if (game_globals.parked_child_list) {
        if (entity->child_entity_list)
            dlink_combine_lists((dlink**)&entity->child_entity_list,
                                (dlink*)game_globals.parked_child_list);
        else
            entity->child_entity_list = game_globals.parked_child_list;
        entity->child_entity_list_size += game_globals.parked_child_list_size;
    }
    game_globals.parked_child_list = nullptr;
    game_globals.parked_child_list_size = 0;
    entity->acceleration = game_globals.parked_acceleration;
    if (game_globals.parked_entity_flag)
        entity->win_entity_flag |= (uint32_t)game_globals.parked_entity_flag;
    entity_weapon_hold_texture(&game_globals.weapon_icon_texture,
                               entity_retrieve_icon_texture(game_globals.current_weapon));
    entity_set_current_item(entity, game_globals.current_item);
    // A player without the tail hooks (no tail loaded, no pose) still plays:
    // the hook logs its own refusal, and the command is done either way, or
    // the level script would wait here for ever.
    const win_character* character = win_entity_character(entity);
    vk_tail_set_anim_hook(character ? character->mow_track_augment_array : nullptr,
                          character ? character->mow_track_augment_array_size : 0);
    return 1;
}

int entity_set_environment(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_set_environment", "entity", 0);
    LOG_NOTICE("Setting %s as environment.\n", name_of(entity));
    game_globals.current_environment = entity;
    entity->win_entity_flag &= ~ENTITY_FLAG_CHARACTER_COLLISION;
    entity->acceleration = {0.0f, 0.0f, 0.0f};
    return 1;
}

int entity_set_game_camera(win_entity* camera_entity)
{
    REFUSE_NULL(camera_entity, "entity_set_game_camera", "camera_ptr", 0);
    const win_camera* camera = win_entity_camera(camera_entity);
    if (!camera) {
        LOG_ERROR("Cannot entity_set_game_camera because %s is not a camera.\n",
                  name_of(camera_entity));
        return 0;
    }
    game_globals.current_camera = camera_entity;
    const win_camera_target* target = camera->win_camera_target_list;
    if (target && target->target_entity) {
        if (const mow_track_augment* joint = joint_pose(target->target_entity,
                                                        target->target_joint_idx))
            game_globals.camera_target_point = joint->mow_augment_sphere_center;
    }
    d3dxframe_build_projection_matrix(&game_globals.projection_matrix, camera->field_of_view,
                                      d3dxframe_get_aspect_ratio(), CAMERA_NEAR_PLANE,
                                      CAMERA_FAR_PLANE);
    d3dxframe_set_projection_transform(&game_globals.projection_matrix);
    return 1;
}

int entity_set_camera_target(win_entity* camera, win_entity* target, int32_t joint_idx, float x,
                             float y, float z)
{
    REFUSE_NULL(camera, "entity_set_camera_target", "camera", 0);
    if (!win_entity_camera(camera)) {
        LOG_ERROR("Cannot set a camera target for %s because %s is not a camera.\n",
                  name_of(camera), name_of(camera));
        return 0;
    }
    win_camera_target* first = first_camera_target(camera);
    if (!first) {
        LOG_ERROR("Cannot set a camera target for %s because it has no camera target.\n",
                  name_of(camera));
        return 0;
    }
    const win_vect3 point = {x, y, z};
    if (!target) {
        LOG_NOTICE("Setting %f, %f, %f as target for camera %s.\n", x, y, z, name_of(camera));
        first->target_entity = nullptr;
        first->target_joint_idx = 0;
        first->target_point = point;
        game_globals.camera_target_point = point;
        return 1;
    }
    if (!win_entity_character(target)) {
        LOG_ERROR("Cannot set a camera target to %s because %s is not a character.\n",
                  name_of(target), name_of(target));
        return 0;
    }
    LOG_NOTICE("Setting %s as target for camera %s.\n", name_of(target), name_of(camera));
    first->target_entity = target;
    if (!joint_pose(target, joint_idx)) {
        if (joint_idx == -1)
            LOG_NOTICE("Joint index (%ld) specified -> Setting to zero.\n", (long)joint_idx);
        else
            LOG_WARNING("Joint index (%ld) specified for camera target %s is out of range. "
                        "Setting to zero.\n",
                        (long)joint_idx, name_of(target));
        joint_idx = 0;
    }
    first->target_joint_idx = joint_idx;
    first->target_point = point;
    game_globals.camera_target_point =
        joint_idx != 0 ? joint_pose(target, joint_idx)->mow_augment_sphere_center
                       : position_of(target);
    return 1;
}

int entity_set_camera_shake(float x, float y, float z, float seconds)
{
    game_globals.camera_shake_amplitude = {x, y, z};
    game_globals.camera_shake_time = seconds;
    return 1;
}

int entity_attach_to_joint(win_entity* parent, win_entity* child, int32_t joint_idx,
                           const win_matrix43* orient_trans_matrix)
{
    LOG_NOTICE("%s\n", "entity_attach_to_joint called.");
    REFUSE_NULL(parent, "entity_attach_to_joint", "parent", 0);
    REFUSE_NULL(child, "entity_attach_to_joint", "child", 0);
    REFUSE_NULL(orient_trans_matrix, "entity_attach_to_joint", "orient_trans_matrix", 0);
    if (!valid_attach_joint(parent, joint_idx)) {
        LOG_ERROR("Invalid joint_idx %ld specified.\n", (long)joint_idx);
        return 0;
    }
    // A child that holds its parent would make the tree a loop.
    if (tree_holds(child, parent)) {
        LOG_ERROR("Cannot attach %s to %s because %s holds it.\n", name_of(child), name_of(parent),
                  name_of(child));
        return 0;
    }
    bool top_level = entity_ring_holds(entity_io_global_win_entity_list, child);
    // Only a top-level entity or one in no ring can move: appending a member
    // of another ring would break both rings.
    if (!top_level && (child->next != child || held_by_another(child))) {
        LOG_ERROR("Cannot attach %s to %s because it is a sub-entity of another entity.\n",
                  name_of(child), name_of(parent));
        return 0;
    }
    LOG_NOTICE("attaching %s to %s at joint %ld.\n", name_of(child), name_of(parent),
               (long)joint_idx);
    clear_motion(child);
    if (top_level) {
        entity_update_forget(child);
        remove_from_win_entity_list(&entity_io_global_win_entity_list,
                                    &entity_io_global_win_entity_list_size, child);
    }
    add_to_win_entity_list(&parent->child_entity_list, &parent->child_entity_list_size, child);
    child->parent_joint_idx = joint_idx;
    child->local_matrix = *orient_trans_matrix;
    return 1;
}

int entity_detach_from_parent(win_entity* parent, win_entity* child)
{
    LOG_NOTICE("%s\n", "entity_detach_from_parent called.");
    REFUSE_NULL(parent, "entity_detach_from_parent", "parent", 0);
    REFUSE_NULL(child, "entity_detach_from_parent", "child", 0);
    if (!entity_ring_holds(parent->child_entity_list, child)) {
        LOG_ERROR("Cannot detach %s because it is not a sub-entity of %s.\n", name_of(child),
                  name_of(parent));
        return 0;
    }
    // The child stays where it was drawn: under its joint's orientation, or
    // the parent's.
    const mow_track_augment* joint = joint_pose(parent, child->parent_joint_idx);
    child->local_matrix = joint ? joint->mow_augment_matrix : parent->world_matrix;
    remove_from_win_entity_list(&parent->child_entity_list, &parent->child_entity_list_size, child);
    add_to_win_entity_list(&entity_io_global_win_entity_list,
                           &entity_io_global_win_entity_list_size, child);
    child->parent_joint_idx = -1;
    child->velocity = {0.0f, 0.0f, 0.0f};
    child->rot_velocity = {0.0f, 0.0f, 0.0f};
    child->acceleration = {game_globals.x_wind * child->gravity_factor.x,
                           game_globals.gravity * child->gravity_factor.y,
                           game_globals.z_wind * child->gravity_factor.z};
    return 1;
}

int entity_play_anim(win_entity* entity, int32_t state)
{
    REFUSE_NULL(entity, "entity_play_anim", "entity", 0);
    win_ast* table = entity->win_ast;
    bool brain = (entity->win_entity_flag & ENTITY_FLAG_BRAIN) != 0;
    // A driven entity changes state only once the animation has ended; one
    // without a brain is switched at once.
    int32_t force = !brain ? 1 : table ? (table->anim_input_flags & WIN_AST_END_OF_ANIM) : 0;
    int started = start_next_anim_state(entity, table, &entity->last_win_xform,
                                        &entity->rot_velocity, &entity->velocity, state, 0, force);
    if (!brain) {
        const char* anim_name = "(null)";
        if (table && table->mow_anim_filename_array && state >= 0 &&
            state < table->mow_anim_filename_array_size && table->mow_anim_filename_array[state])
            anim_name = table->mow_anim_filename_array[state];
        LOG_NOTICE("%s playing animstate %ld, win_anim %s, started_new_state = %ld.\n",
                   name_of(entity), (long)state, anim_name, (long)started);
    }
    // What the new state does to the weapons: drawn, holstered, fired or
    // reloaded, as in the update.
    if (started)
        entity_act_on_new_state(entity);
    return 1;
}

int entity_play_anim2(win_entity* entity, int32_t state)
{
    REFUSE_NULL(entity, "entity_play_anim2", "entity", 0);
    win_ast* table = entity->win_ast;
    REFUSE_NULL(table, "entity_play_anim2", "entity->win_ast", 0);
    switch (table->anim_blocking_state) {
    case 0:
        entity_play_anim(entity, state);
        table->anim_blocking_state = 1;
        return 0;
    case 1:
        return 0;  // the state machine sets 2 when the animation ends
    case 2:
        table->anim_blocking_state = 0;
        return 1;
    default:
        LOG_ERROR("Unknown anim_blocking_state %f for '%s'\n", (double)table->anim_blocking_state,
                  name_of(entity));
        return 0;
    }
}

int entity_start_next_anim_state(win_entity* entity, int32_t state, int32_t force,
                                 int32_t force_reset)
{
    REFUSE_NULL(entity, "entity_start_next_anim_state", "entity", 0);
    REFUSE_NULL(entity->win_ast, "entity_start_next_anim_state", "entity->win_ast", 0);
    return start_next_anim_state(entity, entity->win_ast, &entity->last_win_xform,
                                 &entity->rot_velocity, &entity->velocity, state, force,
                                 force_reset);
}

int entity_turn_to_face_entity(win_entity* entity, win_entity* target)
{
    if (!entity) {
        LOG_ERROR("%s", "Cannot entity_turn_to_face_entity of a NULL entity.\n");
        return 0;
    }
    if (!target) {
        LOG_ERROR("%s", "Cannot entity_turn_to_face_entity of a NULL target_entity.\n");
        return 0;
    }
    if (entity_turn_state == 1) {
        entity_turn_state = 0;
        ai_add_goal(entity, AI_GOAL_TURN_TO_TARGET, target, 0.0f, 0.0f, 0.0f, -1);
    }
    const win_character* character = win_entity_character(entity);
    const win_goal_entry* goal = character && character->win_ai ? character->win_ai->current_goal
                                                                : nullptr;
    if (goal && goal->ai_goal_type == AI_GOAL_TURN_TO_TARGET)
        return 0;
    entity_turn_state = 1;
    return 1;
}

int entity_face_entity(win_entity* entity, win_entity* target)
{
    if (!entity) {
        LOG_ERROR("%s", "Cannot entity_face_entity of a NULL entity.\n");
        return 0;
    }
    if (!target) {
        LOG_ERROR("%s", "Cannot entity_face_entity of a NULL target_entity.\n");
        return 0;
    }
    const win_vect3 at = position_of(entity);
    const win_vect3 target_at = position_of(target);
    const win_vect3 from = {target_at.x, 0.0f, target_at.z};
    win_matrix43 facing = win_math_identity_matrix43;
    win_math_set_look_at_matrix43(&facing, &from, &at, nullptr);
    win_math_transpose_matrix43_inline(&facing);
    facing.m[3][0] = at.x;
    facing.m[3][1] = at.y;
    facing.m[3][2] = at.z;
    facing.attrib = WIN_ATTRIB_ROTATE | WIN_ATTRIB_TRANSLATE | WIN_ATTRIB_SCALE;
    entity->local_matrix = facing;
    return 1;
}

int entity_set_player_step_sound(const char* name)
{
    win_entity* player = game_globals.player_character;
    if (!player) {
        LOG_ERROR("%s", "Unable to set player step sound because no player character set.\n");
        return 0;
    }
    win_ast* table = player->win_ast;
    // The footstep is the first sound of the player's table; a table without
    // sound slots has no place for one.
    if (!table || !table->sound_fx_filename_array || table->sound_fx_filename_array_size < 1 ||
        !table->sound_fx_array || table->sound_fx_array_size < 1) {
        LOG_ERROR("%s", "Unable to set player step sound because the player character has no "
                        "sound slot.\n");
        return 0;
    }
    if (char* step_name = table->sound_fx_filename_array[0]) {
        table->sound_fx_filename_array[0] = nullptr;
        FREE(step_name);
    }
    if (win_sound_container* step = table->sound_fx_array[0]) {
        table->sound_fx_array[0] = nullptr;
        sound_unload(step);
    }
    if (!name) {
        LOG_NOTICE("%s\n", "NULL sound filename specified.  Setting player character step sound "
                           "to nothing.");
        return 1;
    }
    table->sound_fx_filename_array[0] = STRDUP(name);
    if (!table->sound_fx_filename_array[0]) {
        LOG_ERROR("Could not strdup step sound name %s.\n", name);
        return 0;
    }
    // With sound off nothing loads, and nothing needs to.
    table->sound_fx_array[0] = sound_load(name, 1, game_globals.sound_pathname);
    if (!table->sound_fx_array[0] && sound_is_enabled()) {
        LOG_ERROR("Failed to sound_load %s.\n", name);
        return 0;
    }
    return 1;
}

int entity_null_command(win_entity*, float)
{
    return 1;
}

int entity_copy_augment_array(win_entity* destination, const win_entity* source)
{
    REFUSE_NULL(destination, "entity_copy_augment_array", "destination", 0);
    REFUSE_NULL(source, "entity_copy_augment_array", "source", 0);
    win_character* to = win_entity_character(destination);
    const win_character* from = win_entity_character(source);
    int32_t to_size = to && to->mow_track_augment_array ? to->mow_track_augment_array_size : 0;
    int32_t from_size = from && from->mow_track_augment_array ? from->mow_track_augment_array_size
                                                              : 0;
    if (to_size != from_size) {
        LOG_ERROR("%s and %s do not have matching augment array sizes.\n", name_of(destination),
                  name_of(source));
        return 0;
    }
    for (int32_t i = 0; i < from_size; ++i) {
        const mow_track_augment& joint = from->mow_track_augment_array[i];
        if (!joint.mow_augment_xform.attrib)
            continue;
        mow_track_augment& into = to->mow_track_augment_array[i];
        into.mow_augment_xform = joint.mow_augment_xform;
        into.mow_augment_matrix = joint.mow_augment_matrix;
        into.mow_augment_joint_matrix = joint.mow_augment_joint_matrix;
        into.mow_augment_no_keys = joint.mow_augment_no_keys;
    }
    return 1;
}

// ---- Queries ----

float entity_calc_dist_to_entity(win_entity* entity_one, win_entity* entity_two)
{
    if (!entity_one || !entity_two) {
        LOG_ERROR("Cannot entity_calc_dist_to_entity with a NULL entity_%s.\n",
                  entity_one ? "two" : "one");
        return -1.0f;
    }
    const win_vect3 one = position_of(entity_one);
    const win_vect3 two = position_of(entity_two);
    return win_math_calc_dist(&one, &two);
}

win_entity* entity_find_closest(win_entity* entity, float max_distance)
{
    REFUSE_NULL(entity, "entity_find_closest", "entity", nullptr);
    const win_vect3 at = position_of(entity);
    win_entity* closest = nullptr;
    float closest_squared = 0.0f;
    win_entity* head = entity_io_global_win_entity_list;
    for (win_entity* member = head; member; member = dlink_ring_step(head, member->next)) {
        if (member == entity || member == game_globals.current_environment)
            continue;
        const win_vect3 there = position_of(member);
        float squared = win_math_calc_dist_squared(&at, &there);
        if (max_distance >= 0.0f && squared > max_distance * max_distance)
            continue;
        if (!closest || squared < closest_squared) {
            closest = member;
            closest_squared = squared;
        }
    }
    return closest;
}

int entity_check_environment_name(const char* check_name)
{
    if (!check_name) {
        LOG_ERROR("%s", "Cannot entity_check_environment_name of a NULL check_name.\n");
        return 0;
    }
    const win_entity* environment = game_globals.current_environment;
    if (!environment) {
        LOG_ERROR("%s",
                  "Cannot entity_check_environment_name because current environment is NULL.\n");
        return 0;
    }
    return environment->win_entity_name &&
           std::strcmp(environment->win_entity_name, check_name) == 0;
}

int entity_check_trigger_name(win_entity* entity, const char* check_name)
{
    if (!entity) {
        LOG_ERROR("%s", "Cannot entity_check_trigger_name of a NULL entity.\n");
        return 0;
    }
    if (!check_name) {
        LOG_ERROR("%s", "Cannot entity_check_trigger_name of a NULL check_name.\n");
        return 0;
    }
    const win_environment* environment = win_entity_environment(game_globals.current_environment);
    if (!environment) {
        LOG_ERROR("%s", "Cannot entity_check_trigger_name because current environment is NULL.\n");
        return 0;
    }
    for (int32_t i = 0; environment->win_trigger_array && i < environment->win_trigger_array_size;
         ++i) {
        const win_trigger& trigger = environment->win_trigger_array[i];
        if (!trigger.win_trigger_collision ||
            collide_check_inside_collision(entity, trigger.win_trigger_collision) != 1)
            continue;
        const char* names[] = {trigger.win_trigger_collision_name, trigger.win_trigger_name};
        for (const char* name : names)
            if (name && std::strcmp(name, check_name) == 0)
                return 1;
    }
    return 0;
}

int entity_is_facing_pos_z_dir(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_is_facing_pos_z_dir", "entity", 0);
    static const facing_query query = {"entity_is_facing_pos_z_dir", 2, 1.0f};
    return is_facing(entity, query);
}

int entity_is_facing_neg_z_dir(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_is_facing_neg_z_dir", "entity", 0);
    static const facing_query query = {"entity_is_facing_neg_z_dir", 2, -1.0f};
    return is_facing(entity, query);
}

int entity_is_facing_pos_x_dir(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_is_facing_pos_x_dir", "entity", 0);
    static const facing_query query = {"entity_is_facing_pos_x_dir", 0, 1.0f};
    return is_facing(entity, query);
}

int entity_is_facing_neg_x_dir(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_is_facing_neg_x_dir", "entity", 0);
    static const facing_query query = {"entity_is_facing_neg_x_dir", 0, -1.0f};
    return is_facing(entity, query);
}

float* entity_state_array(win_entity* entity, int32_t* size)
{
    REFUSE_NULL(size, "entity_state_array", "size", nullptr);
    *size = 0;
    REFUSE_NULL(entity, "entity_state_array", "entity", nullptr);
    if (!entity->win_state_array)
        return nullptr;
    *size = entity->win_state_array_size;
    return entity->win_state_array;
}

int entity_ring_holds(const win_entity* head, const win_entity* entity)
{
    return head && entity && dlink_pos((const dlink*)head, (const dlink*)entity) >= 0;
}

void entity_ops_reset(void)
{
    entity_turn_state = 1;
}
