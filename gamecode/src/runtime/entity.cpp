#include "entity.h"

#include "ai.h"
#include "ai_camera.h"
#include "anim.h"
#include "collide.h"
#include "collide_trigger.h"
#include "d3dxframe.h"
#include "debug.h"
#include "dlink.h"
#include "entity_io.h"
#include "entity_ops.h"
#include "entity_weapon.h"
#include "gameglobals.h"
#include "math_util.h"
#include "mow_animate.h"
#include "rand_util.h"
#include "shader.h"
#include "vk_auto_aim.h"
#include "vk_tail.h"
#include "win_entity.h"
#include "win_math.h"
#include "winmain2.h"

win_entity* entity_update_cursor = nullptr;
win_entity* entity_update_next = nullptr;
// The number of particles the last firing of an emitter asked for.
float emit_particle_number = 0.0f;

namespace {

// Input word bit that keeps the word from being cleared after the frame.
constexpr int32_t INPUT_LATCH = WIN_AST_INPUT_HOLD;
constexpr float DEGREES_TO_RADIANS = 0.017453292f;
// A state that ends exactly at a slice's start consumes nothing and hands
// the slice on; more slices than this in one frame can only come from a
// table whose states keep ending so, and the rest of the frame is dropped.
constexpr int MAX_TIME_SLICES = 1000;
// The check budget of the environment collision answers 0 by the call after
// it; the loops stop there even should a check keep answering 1.
constexpr int MAX_PUSH_OUT_CHECKS = COLLIDE_MAX_CHECKS + 1;

bool is_live(const win_entity* entity)
{
    return entity->life_span > 0.0f || entity->life_span == ETERNAL_LIFE_SPAN;
}

void age(win_entity* entity, float seconds)
{
    if (entity->life_span > 0.0f)
        entity->life_span -= seconds;
}

win_vect3* translation(win_matrix43* matrix)
{
    return (win_vect3*)matrix->m[3];
}

const win_vect3* translation(const win_matrix43* matrix)
{
    return (const win_vect3*)matrix->m[3];
}

void add_scaled(win_vect3* to, const win_vect3* v, float scale)
{
    to->x += v->x * scale;
    to->y += v->y * scale;
    to->z += v->z * scale;
}

// The direction the matrix faces: (0, 0, -1) through its rotation.
win_vect3 facing(const win_matrix43* matrix)
{
    win_norm forward = {0.0f, 0.0f, -1.0f};
    win_norm turned = forward;
    win_math_multiply_norm_by_matrix43(&turned, &forward, matrix);
    return {turned.x, turned.y, turned.z};
}

// The matrix a sub-entity is updated under, by its parent_joint_idx: the
// parent's world matrix, the identity, or the world matrix of one of a
// character parent's joints. A joint the parent's pose does not hold falls
// back to the parent's world matrix.
const win_matrix43* parent_frame(const win_entity* parent, const win_entity* child)
{
    if (child->parent_joint_idx == -2)
        return &win_math_identity_matrix43;
    if (child->parent_joint_idx >= 0) {
        const win_character* character = win_entity_character(parent);
        if (character && character->mow_track_augment_array &&
            child->parent_joint_idx < character->mow_track_augment_array_size)
            return &character->mow_track_augment_array[child->parent_joint_idx].mow_augment_matrix;
    }
    return &parent->world_matrix;
}

void set_world(win_entity* entity, const win_matrix43* parent_matrix)
{
    win_math_multiply_matrix43(&entity->world_matrix, &entity->local_matrix, parent_matrix);
}

// Repeats the environment check on `matrix` while it reports a collision;
// whether the first check reported one. Without an environment there is
// nothing to collide with.
bool push_out(win_matrix43* matrix, win_entity* entity)
{
    if (!game_globals.current_environment)
        return false;
    bool first = false;
    for (int i = 0; i < MAX_PUSH_OUT_CHECKS; ++i) {
        if (!collide_check_entity(matrix, entity, game_globals.current_environment))
            break;
        if (i == 0)
            first = true;
    }
    return first;
}

// The local matrix turned by the rotation velocity over `seconds`, its
// translation turned with it.
win_matrix43 turned_local(const win_entity* entity, float seconds)
{
    win_matrix43 rotation;
    win_math_set_rot_trans_matrix43(&rotation, entity->rot_velocity.x * seconds,
                                    entity->rot_velocity.y * seconds,
                                    entity->rot_velocity.z * seconds, 0.0f, 0.0f, 0.0f);
    win_matrix43 turned;
    win_math_multiply_matrix43(&turned, &entity->local_matrix, &rotation);
    return turned;
}

// The motion step of lights and cameras: the local matrix turned, then moved
// by the velocity, which the acceleration changes first.
win_matrix43 motion_step(win_entity* entity, float seconds)
{
    add_scaled(&entity->velocity, &entity->acceleration, seconds);
    win_matrix43 moved = turned_local(entity, seconds);
    add_scaled(translation(&moved), &entity->velocity, seconds);
    return moved;
}

// rand() mod trunc(modulus). A modulus that truncates to 0 still draws (the
// order of draws stays) but gives 0.
int draw_mod(float modulus)
{
    int32_t whole = math_util_float_to_int(modulus);
    int draw = rand_util_rand();
    return whole != 0 ? draw % whole : 0;
}

// A draw of about -spread / 2 .. spread / 2.
float centred_draw(float spread)
{
    return (float)draw_mod(spread) - spread * 0.5f;
}

void update_light(win_entity* entity, win_light* light, const win_matrix43* parent_matrix,
                  float seconds)
{
    age(entity, seconds);
    D3DLIGHT7& d3d_light = light->d3d_light;
    switch (d3d_light.dltType) {
    case 0: {
        // The ambient light's colour is given in 0 .. 255.
        auto level = [](float value) {
            int32_t v = math_util_float_to_int(value);
            return v < 0 ? 0 : v > 255 ? 255 : v;
        };
        d3dxframe_set_ambient_light(level(d3d_light.dcvDiffuse.r), level(d3d_light.dcvDiffuse.g),
                                    level(d3d_light.dcvDiffuse.b));
        break;
    }
    case D3DLIGHT_POINT:
    case D3DLIGHT_SPOT:
    case D3DLIGHT_PARALLELPOINT: {
        win_matrix43 moved = motion_step(entity, seconds);
        push_out(&moved, entity);
        entity->local_matrix = moved;
        if (d3d_light.dltType == D3DLIGHT_SPOT) {
            win_vect3 direction = facing(&entity->local_matrix);
            d3d_light.dvDirection = {direction.x, direction.y, direction.z};
        }
        set_world(entity, parent_matrix);
        const win_vect3* position = translation(&entity->world_matrix);
        d3d_light.dvPosition = {position->x, position->y, position->z};
        entity_update_dynamic_light(entity);
        break;
    }
    case D3DLIGHT_DIRECTIONAL: {
        // A directional light only turns.
        entity->local_matrix = turned_local(entity, seconds);
        win_vect3 direction = facing(&entity->local_matrix);
        d3d_light.dvDirection = {direction.x, direction.y, direction.z};
        set_world(entity, parent_matrix);
        entity_update_dynamic_light(entity);
        break;
    }
    default:
        break;
    }
}

void update_view(win_entity* camera)
{
    game_globals_record& g = game_globals;
    if (g.game_state == GAME_MODE_CAMERA_LOOK) {
        const win_vect3* position = translation(&camera->local_matrix);
        g.camera_look_at_point = {g.camera_look_offset.x + position->x,
                                  g.camera_look_offset.y + position->y,
                                  g.camera_look_offset.z + position->z};
        g.camera_eye_point = *position;
    }
    const win_vect3 up = {0.0f, 1.0f, 0.0f};
    win_matrix43 look_at;
    // An eye on its target has no direction to look in: the view stays.
    if (win_math_set_look_at_matrix43(&look_at, &g.camera_eye_point, &g.camera_look_at_point,
                                      &up)) {
        win_math_matrix43_to_matrix44(&g.view_matrix, &look_at);
        d3dxframe_matrix_look_at(&g.view_matrix, &g.camera_eye_point, &g.camera_look_at_point, &up);
    }
}

void decay_camera_shake(float seconds)
{
    game_globals_record& g = game_globals;
    if (g.camera_shake_time <= 0.0f)
        return;
    float* amplitudes[3] = {&g.camera_shake_amplitude.x, &g.camera_shake_amplitude.y,
                            &g.camera_shake_amplitude.z};
    for (float* amplitude : amplitudes)
        if (*amplitude != 0.0f)
            *amplitude *= 0.9f;
    g.camera_shake_time -= seconds;
    if (g.camera_shake_time <= 0.0f)
        g.camera_shake_amplitude = {0.0f, 0.0f, 0.0f};
}

void update_camera(win_entity* entity, const win_matrix43* parent_matrix, float seconds)
{
    if (!is_live(entity))
        return;
    age(entity, seconds);
    win_matrix43 moved = motion_step(entity, seconds);
    push_out(&moved, entity);
    entity->local_matrix = moved;
    set_world(entity, parent_matrix);
    ai_update_camera(entity);
    if (entity != game_globals.current_camera)
        return;
    update_view(entity);
    decay_camera_shake(seconds);
}

void update_emitter(win_entity* entity, win_emitter* emitter, const win_matrix43* parent_matrix,
                    win_entity* parent, float seconds)
{
    if (!is_live(entity))
        return;
    age(entity, seconds);
    win_matrix43 moved = entity->local_matrix;
    // An emitter on a parent moves only with it.
    if (!parent) {
        add_scaled(&entity->velocity, &entity->acceleration, seconds);
        add_scaled(translation(&moved), &entity->velocity, seconds);
    }
    push_out(&moved, entity);
    entity->local_matrix = moved;
    set_world(entity, parent_matrix);
    if (emitter->emit_rate <= 0.0f)
        return;
    emitter->emit_time += seconds;
    if (emitter->emit_time < 1.0f / emitter->emit_rate)
        return;
    emit_particle_number = emitter->emit_rate;
    if (emitter->emit_rate_variance > 0.0f)
        emit_particle_number = centred_draw(emitter->emit_rate_variance) + emitter->emit_rate;
    int32_t count = math_util_float_to_int(emit_particle_number * emitter->emit_time);
    emitter->emit_time = 0.0f;
    // Launching a particle more often than the ring holds particles only
    // launches the same ones again.
    if (count > entity->child_entity_list_size)
        count = entity->child_entity_list_size;
    for (int32_t i = 0; i < count; ++i)
        entity_emit_particle(entity->child_entity_list, entity, parent);
}

// The time on the current animation's time line that the state has reached
// (forward or backward through its stretch), for a frame without slices.
float current_anim_time(const win_ast* table)
{
    const win_anim_table_base* state = win_ast_current_state(table);
    if (!state)
        return 0.0f;
    return state->begin_time + (state->end_time - state->begin_time) * table->anim_progress;
}

win_weapon_data* weapon_data_of(win_entity* weapon)
{
    win_character* character = win_entity_character(weapon);
    return character ? &character->weapon_data : nullptr;
}

// The attack and aim choices see the weapon in hand and the AI's target;
// what they change of the weapon goes back to it.
void interpret_weapon_input(win_entity* entity, win_character* character)
{
    anim_character view = {};
    win_weapon_data* weapon = nullptr;
    if (character) {
        view.current_weapon = character->current_weapon;
        weapon = weapon_data_of(character->current_weapon);
        if (weapon)
            view.weapon_data = {weapon->clip_size,  weapon->shots_fired, weapon->charge_rate,
                                weapon->max_charge, weapon->charge,      weapon->ammo_count};
        if (character->win_ai && character->win_ai->current_goal)
            view.goal_target = character->win_ai->current_goal->target_entity;
    }
    const anim_weapon_data before = view.weapon_data;
    anim_interpret_reaction_input(entity, character ? &view : nullptr);
    anim_interpret_aim_input(entity, character ? &view : nullptr);
    // Only what the choices changed goes back: a state they started may have
    // fired the weapon meanwhile, which counted its own shot.
    if (weapon && view.weapon_data.shots_fired != before.shots_fired)
        weapon->shots_fired = view.weapon_data.shots_fired;
    if (weapon && view.weapon_data.charge != before.charge)
        weapon->charge = view.weapon_data.charge;
}

// A billboard turns its face to the camera: the rotation of a look from the
// camera (or, upright, from the camera's x and z at the entity's height, up
// along the entity's own up) to the entity, transposed.
void face_camera(win_entity* entity)
{
    const win_entity* camera = game_globals.current_camera;
    if (!camera) {
        LOG_ERROR("%s", "No current_camera entity defined\n");
        return;
    }
    const win_vect3 position = *translation(&entity->world_matrix);
    win_matrix43 look;
    int ok;
    if (entity->win_entity_flag & ENTITY_FLAG_BILLBOARD) {
        ok = win_math_set_look_at_matrix43(&look, &game_globals.camera_eye_point, &position,
                                           nullptr);
    } else {
        const win_vect3* camera_position = translation(&camera->local_matrix);
        const win_vect3 from = {camera_position->x, position.y, camera_position->z};
        const win_vect3 up = {entity->world_matrix.m[1][0], entity->world_matrix.m[1][1],
                              entity->world_matrix.m[1][2]};
        ok = win_math_set_look_at_matrix43(&look, &from, &position, &up);
    }
    if (!ok)
        return;
    win_math_transpose_matrix43_inline(&look);
    *translation(&look) = position;
    look.attrib = entity->world_matrix.attrib;
    entity->world_matrix = look;
}

// Poses the model at the animation time reached, and takes the model's
// bounding sphere from the animation's sphere keys.
void pose_model(win_character* character, win_ast* table, float anim_time,
                const win_matrix43* world)
{
    mow_model* model = character->mow_model;
    if (!character->mow_track_augment_array ||
        character->mow_track_augment_array_size < mow_geo_pose_count(model)) {
        LOG_ERROR("Pose array of %ld for a model of %ld joints.\n",
                  (long)character->mow_track_augment_array_size, (long)mow_geo_pose_count(model));
        return;
    }
    const mow_anim* anim = table ? table->current_mow_anim : nullptr;
    mow_animate_model(model, anim, anim ? anim_time : 0.0f, character->mow_track_augment_array,
                      character->current_appendage_sphere_keys, world);
    if (anim && anim->mow_sphere_key_array_size > 0)
        mow_animate_interpolate_mow_sphere(
            &model->mow_model_sphere_center, &model->mow_model_sphere_radius,
            anim->mow_sphere_key_array, anim->mow_sphere_key_array_size, anim_time);
}

// Runs the state table through `delta_ms` in slices, each up to the end of
// the current state; a state that ends hands the rest of the frame to the
// next. The motion of every slice is added to `delta`. The animation time
// reached is returned.
float run_time_slices(win_entity* entity, float delta_ms, win_entity* parent, win_xform* delta)
{
    const int32_t apply_physics = parent == nullptr;
    float remaining = delta_ms;
    float anim_time = 0.0f;
    bool sliced = false;
    for (int slices = 0; remaining > 0.0f; ++slices) {
        win_ast* table = entity->win_ast;
        if (!table || !table->current_mow_anim) {
            entity_accum_rts_delta(entity, delta, remaining * 0.001f, 0.0f, apply_physics);
            break;
        }
        if (slices == MAX_TIME_SLICES) {
            LOG_WARNING("%s ran %ld animation slices in one frame; the rest is dropped.\n",
                        entity->win_entity_name ? entity->win_entity_name : "(null)", (long)slices);
            break;
        }
        float consumed = 0.0f;
        anim_calc_time_advance(table, remaining, &consumed, &anim_time);
        sliced = true;
        remaining -= consumed;
        entity_accum_rts_delta(entity, delta, consumed * 0.001f, anim_time, apply_physics);
        if (!anim_interpret_input(entity) && (table->anim_input_flags & WIN_AST_END_OF_ANIM)) {
            const win_anim_table_base* state = win_ast_current_state(table);
            // A state without a next state plays again.
            if (state && state->next_anim_index >= 0) {
                int32_t silent = !(entity->win_entity_flag & ENTITY_FLAG_BRAIN);
                if (start_next_anim_state(entity, table, &entity->last_win_xform,
                                          &entity->rot_velocity, &entity->velocity,
                                          state->next_anim_index, silent, 1))
                    entity_act_on_new_state(entity);
            }
        }
        table->anim_input_flags &= ~WIN_AST_END_OF_ANIM;
    }
    if (!sliced && entity->win_ast && entity->win_ast->current_mow_anim)
        anim_time = current_anim_time(entity->win_ast);
    return anim_time;
}

// A sub-entity's update may change its siblings: a script it starts can
// detach, unload or attach them, and a sibling that left may already stand in
// another ring or in none. The walk ends for this frame when the ring's head
// or size changes under it or the next member has left it, and takes no more
// steps than the ring had members, so it ends whatever the updates do; a
// member passed over has its turn next frame.
void update_children(win_entity* entity)
{
    win_entity* head = entity->child_entity_list;
    const int32_t size = entity->child_entity_list_size;
    unsigned steps_left = dlink_count((const dlink*)head);
    for (win_entity* child = head; child && steps_left > 0; --steps_left) {
        win_entity* next = child->next;
        update_entity(child, parent_frame(entity, child), entity);
        if (entity->child_entity_list != head || entity->child_entity_list_size != size ||
            !entity_ring_holds(head, next))
            break;
        child = dlink_ring_step(head, next);
    }
}

}  // namespace

void entity_update_forget(const win_entity* entity)
{
    if (entity_update_next == entity)
        entity_update_next = nullptr;
    if (entity_update_cursor == entity)
        entity_update_cursor = nullptr;
}

int entity_update_all(void)
{
    if (!entity_io_global_win_entity_list)
        return 0;
    entity_io_begin_walk();
    // An entity that leaves the ring during an update (unloaded, or attached
    // to a parent) clears the cursor or its successor; the walk then starts
    // again after the head, so an entity may be updated
    // twice in a frame. Updates that unload and load entities forever are
    // stopped after a bound.
    int32_t steps_left = 4 * entity_io_global_win_entity_list_size + 16;
    win_entity* head = entity_io_global_win_entity_list;
    entity_update_cursor = head;
    do {
        entity_update_next = entity_update_cursor->next;
        update_entity(entity_update_cursor, &win_math_identity_matrix43, nullptr);
        head = entity_io_global_win_entity_list;
        if (!head)
            break;
        if (!entity_update_next || !entity_update_cursor) {
            entity_update_cursor = head;
            entity_update_next = head->next;
        }
        entity_update_cursor = entity_update_next;
        if (--steps_left == 0) {
            LOG_WARNING("%s\n", "entity_update_all stopped: the ring kept changing.");
            break;
        }
    } while (entity_update_cursor != head);
    entity_update_cursor = nullptr;
    entity_update_next = nullptr;
    entity_io_end_walk();
    // After a complete pass, lights that took fresh slots after a device
    // re-creation keep them.
    d3dxframe_set_light_allocation(0);
    return 1;
}

int update_entity(win_entity* entity, const win_matrix43* parent_matrix, win_entity* parent)
{
    if (!entity) {
        LOG_ERROR("%s\n", "Tried to update a NULL entity.");
        return 0;
    }
    if (!parent_matrix) {
        LOG_ERROR("%s\n", "Tried to update_entity, NULL parent_matrix.");
        return 0;
    }
    const float seconds = frame_delta_time * 0.001f;
    entity->last_world_matrix = entity->world_matrix;
    collide_reset_check_count();
    switch (entity->win_entity_type) {
    case WIN_ENTITY_TYPE_CHARACTER:
        if (is_live(entity)) {
            age(entity, seconds);
            entity_update_character_entity(entity, frame_delta_time, parent_matrix, parent);
        }
        break;
    case WIN_ENTITY_TYPE_ENVIRONMENT:
        if (is_live(entity))
            age(entity, seconds);
        // Only the current environment follows its parent and leads its
        // sub-entities.
        if (entity != game_globals.current_environment)
            return 1;
        set_world(entity, parent_matrix);
        break;
    case WIN_ENTITY_TYPE_LIGHT:
        if (win_light* light = win_entity_light(entity))
            update_light(entity, light, parent_matrix, seconds);
        break;
    case WIN_ENTITY_TYPE_CAMERA:
        update_camera(entity, parent_matrix, seconds);
        break;
    case WIN_ENTITY_TYPE_EMITTER:
        if (win_emitter* emitter = win_entity_emitter(entity))
            update_emitter(entity, emitter, parent_matrix, parent, seconds);
        break;
    case ENTITY_TYPE_FOLLOWER:
        set_world(entity, parent_matrix);
        break;
    default:
        break;
    }
    // The particles of a dead emitter fly on; nothing else of a dead entity
    // moves.
    if (!is_live(entity) && entity->win_entity_type != WIN_ENTITY_TYPE_EMITTER)
        return 1;
    update_children(entity);
    return 1;
}

int entity_update_character_entity(win_entity* entity, float delta_ms,
                                   const win_matrix43* parent_matrix, win_entity* parent)
{
    REFUSE_NULL(entity, "entity_update_character_entity", "entity", 0);
    REFUSE_NULL(parent_matrix, "entity_update_character_entity", "parent_matrix", 0);
    win_character* character = win_entity_character(entity);
    const bool is_player = entity == game_globals.player_character;

    // Control: the player's input, or the AI.
    if (is_player) {
        if (entity->win_ast) {
            anim_interpret_browse_input(entity);
            entity_vk_auto_aim(entity, delta_ms);
        }
        // Without an environment there are no triggers to stand in.
        if (game_globals.current_environment)
            collide_check_triggers(entity, game_globals.current_environment);
    } else {
        ai_update_character(entity, delta_ms);
    }
    if (entity->win_ast) {
        interpret_weapon_input(entity, character);
        anim_interpret_input(entity);
    }
    if (character && character->win_shader_array_size > 0)
        entity_update_win_shader_array(character->win_shader_array,
                                       character->win_shader_array_size);

    win_xform delta = win_xform_record_desc::templ;
    const float anim_time = run_time_slices(entity, delta_ms, parent, &delta);

    win_matrix43 motion, desired;
    win_math_set_xform_attrib(&delta);
    win_math_xform_to_txzy_matrix43(&delta, &motion);
    win_math_multiply_matrix43(&desired, &motion, &entity->local_matrix);

    // A melee weapon held at a joint is tested where it was drawn.
    const uint32_t melee = ENTITY_FLAG_MELEE_1 | ENTITY_FLAG_MELEE_2 | ENTITY_FLAG_MELEE_3;
    win_matrix43* target = (entity->win_entity_flag & melee) && entity->parent_joint_idx >= 0
                               ? &entity->world_matrix
                               : &desired;
    entity_environ_collide_character_entity(entity, target, parent);

    entity->local_matrix = desired;
    set_world(entity, parent_matrix);
    mow_model* model = character ? character->mow_model : nullptr;
    if (character) {
        const win_vect3* position = translation(&entity->local_matrix);
        win_vect3 centre = {position->x, position->y + win_character_radius(character),
                            position->z};
        win_math_multiply_vect3_by_matrix43(&character->world_sphere_center, &centre,
                                            parent_matrix);
    }
    if (entity->win_ast && !(entity->win_ast->anim_input_flags & INPUT_LATCH))
        entity->win_ast->anim_input_flags = 0;
    if (is_player)
        vk_tail_update_transition_state(entity);

    if (!model)
        return 1;
    if (entity->win_entity_flag & (ENTITY_FLAG_BILLBOARD | ENTITY_FLAG_UPRIGHT_BILLBOARD))
        face_camera(entity);
    pose_model(character, entity->win_ast, anim_time, &entity->world_matrix);
    return 1;
}

int32_t entity_accum_rts_delta(win_entity* entity, win_xform* delta_xform, float slice_seconds,
                               float anim_time, int32_t apply_physics)
{
    REFUSE_NULL(entity, "entity_accum_rts_delta", "entity", 0);
    REFUSE_NULL(delta_xform, "entity_accum_rts_delta", "delta_xform", 0);
    const float s = slice_seconds;
    delta_xform->rx += s * entity->rot_velocity.x;
    delta_xform->ry += s * entity->rot_velocity.y;
    delta_xform->rz += s * entity->rot_velocity.z;
    if (apply_physics || entity->parent_joint_idx == -2) {
        add_scaled(&entity->velocity, &entity->acceleration, s);
        delta_xform->tx += s * entity->velocity.x;
        delta_xform->ty += s * entity->velocity.y;
        delta_xform->tz += s * entity->velocity.z;
    }
    if (!entity->win_ast || !entity->win_ast->current_mow_anim)
        return 0;
    return anim_accum_root_motion(entity->win_ast, anim_time, &entity->last_win_xform, delta_xform);
}

int entity_environ_collide_character_entity(win_entity* entity,
                                            win_matrix43* desired_spatial_matrix,
                                            win_entity* parent)
{
    REFUSE_NULL(entity, "entity_environ_collide_character_entity", "entity", 0);
    REFUSE_NULL(desired_spatial_matrix, "entity_environ_collide_character_entity",
                "desired_spatial_matrix", 0);
    if (parent && entity->parent_joint_idx != -2 && !(entity->win_entity_flag & ENTITY_FLAG_WEAPON))
        return 1;
    if (!push_out(desired_spatial_matrix, entity))
        return 1;
    const win_vect3* desired = translation(desired_spatial_matrix);
    const win_vect3* local = translation(&entity->local_matrix);
    if (entity->velocity.x != 0.0f)
        entity->last_win_xform.tx = desired->x - local->x;
    if (entity->velocity.y != 0.0f)
        entity->last_win_xform.ty = desired->y - local->y;
    if (entity->velocity.z != 0.0f)
        entity->last_win_xform.tz = desired->z - local->z;
    return 1;
}

int entity_update_dynamic_light(win_entity* entity)
{
    win_light* light = win_entity_light(entity);
    if (!light)
        return 0;
    if (is_live(entity)) {
        light->light_slot = d3dxframe_set_dynamic_light_color(light->d3d_light, light->light_slot);
    } else if (light->light_slot >= 0) {
        d3dxframe_disable_dynamic_light(light->light_slot);
        light->light_slot = -1;
    }
    return 1;
}

int entity_emit_particle(win_entity* particle_ring_head, win_entity* emitter, win_entity* owner)
{
    win_emitter* payload = win_entity_emitter(emitter);
    if (!payload)
        return 0;
    const char* name = emitter->win_entity_name ? emitter->win_entity_name : "(null)";
    LOG_NOTICE("Spawning particle from emitter %s.\n", name);
    if (!particle_ring_head) {
        LOG_ERROR("emitter %s has no sub-entities available to emit!.\n", name);
        return 0;
    }
    // The first dead particle (the eternal life span counts as dead here),
    // else the first younger than the head, else the head.
    win_entity* particle = nullptr;
    win_entity* younger = nullptr;
    win_entity* p = particle_ring_head;
    do {
        if (p->life_span <= 0.0f) {
            particle = p;
            break;
        }
        if (!younger && p->life_span < particle_ring_head->life_span)
            younger = p;
        p = p->next;
    } while (p && p != particle_ring_head);
    if (!particle)
        particle = younger ? younger : particle_ring_head;

    win_character* character = win_entity_character(particle);
    if (character && (particle->win_entity_flag & ENTITY_FLAG_PROJECTILE))
        character->current_weapon = owner;

    // The draws, in this order, each only for a spread that is not 0.
    float angle[3] = {0.0f, 0.0f, 0.0f};
    if (payload->angle_spread != 0.0f)
        for (float& a : angle)
            a = centred_draw(payload->angle_spread) * DEGREES_TO_RADIANS;
    win_norm offset = {0.0f, 0.0f, 0.0f};
    if (payload->position_spread != 0.0f) {
        win_norm spread;
        spread.x = (float)(rand_util_rand() % 100 - 50) / 50.0f * payload->position_spread;
        spread.y = (float)(rand_util_rand() % 100 - 50) / 50.0f * payload->position_spread;
        spread.z = 0.0f;
        win_math_multiply_norm_by_matrix43(&offset, &spread, &emitter->world_matrix);
    }
    float speed_term = 0.0f;
    if (payload->particle_speed_variance != 0)
        speed_term = (float)(rand_util_rand() % payload->particle_speed_variance) -
                     (float)payload->particle_speed_variance * 0.5f;
    float rotation_term[3] = {0.0f, 0.0f, 0.0f};
    for (int axis = 0; axis < 3; ++axis)
        if (payload->particle_rot_velocity[axis][1] != 0.0f)
            rotation_term[axis] = centred_draw(payload->particle_rot_velocity[axis][1]);
    float life_term = 0.0f;
    if (payload->particle_life_span_variance != 0.0f)
        life_term = (float)draw_mod(payload->particle_life_span_variance * 1000.0f) / 1000.0f -
                    payload->particle_life_span_variance * 0.5f;

    particle->rot_velocity = {payload->particle_rot_velocity[0][0] + rotation_term[0],
                              payload->particle_rot_velocity[1][0] + rotation_term[1],
                              payload->particle_rot_velocity[2][0] + rotation_term[2]};
    for (int i = 0; i < 3; ++i)
        particle->win_entity_reserved2[i] = emitter->win_entity_reserved2[i];
    particle->life_span = payload->particle_life_span + life_term;
    if (particle->win_ast)
        particle->win_ast->anim_progress = 0.0f;
    if (character)
        for (int32_t i = 0; character->win_shader_array && i < character->win_shader_array_size;
             ++i)
            if (character->win_shader_array[i].win_ast)
                character->win_shader_array[i].win_ast->anim_progress = 0.0f;

    win_matrix43 rotation;
    win_math_set_rot_trans_matrix43(&rotation, angle[0], angle[1], angle[2], 0.0f, 0.0f, 0.0f);
    win_vect3 forward = {0.0f, 0.0f, -1.0f};
    if (payload->use_emitter_direction) {
        forward = facing(&emitter->world_matrix);
        particle->local_matrix = win_math_identity_matrix43;
    } else {
        particle->local_matrix = emitter->world_matrix;
    }
    win_vect3 direction = forward;
    win_math_multiply_norm_by_matrix43((win_norm*)&direction, (const win_norm*)&forward, &rotation);
    particle->parent_joint_idx = -2;
    particle->world_matrix = emitter->world_matrix;
    particle->local_matrix.attrib = 0x1FF;

    const float speed = 2.0f * ((float)payload->particle_speed + speed_term);
    particle->velocity = {direction.x * speed, direction.y * speed, direction.z * speed};
    particle->last_world_matrix = emitter->world_matrix;
    const win_vect3* from = translation(&emitter->world_matrix);
    *translation(&particle->local_matrix) = {from->x + offset.x, from->y + offset.y,
                                             from->z + offset.z};
    if (character)
        character->world_sphere_center = *translation(&particle->local_matrix);
    return 1;
}

int entity_update_win_shader_array(win_shader* win_shader_array, int32_t count)
{
    REFUSE_NULL(win_shader_array, "entity_update_win_shader_array", "win_shader_array", 0);
    for (int32_t i = 0; i < count; ++i) {
        win_shader* shader = &win_shader_array[i];
        if (!shader->win_ast)
            continue;
        shader_interpret_input(shader, shader->win_ast);
        shader_update_anim(shader, shader->win_ast);
    }
    return 1;
}

int entity_vk_auto_aim(win_entity* entity, float)
{
    REFUSE_NULL(entity, "entity_vk_auto_aim", "entity", 0);
    REFUSE_NULL(entity->win_ast, "entity_vk_auto_aim", "win_ast", 0);
    const win_anim_table_base* state = win_ast_current_state(entity->win_ast);
    const int32_t type = state ? state->anim_type_flags : 0;
    const int32_t reaction = state ? state->reaction_flags : 0;
    if ((type & 0x200A0) && (reaction & 0x1C0))
        return vk_auto_aim_setup(entity);
    if ((type & 0x40000) && (reaction & 0x1C0))
        return vk_auto_aim_undo_setup(entity);
    return vk_auto_aim_clear(entity);
}

void entity_act_on_new_state(win_entity* entity)
{
    win_character* character = win_entity_character(entity);
    const win_anim_table_base* state = entity->win_ast ? win_ast_current_state(entity->win_ast)
                                                       : nullptr;
    if (!character || !state)
        return;
    const int32_t type = state->anim_type_flags;
    if (entity == game_globals.player_character) {
        if (type & ANIM_TYPE_DRAWING_2)
            entity_set_current_weapon(entity, game_globals.current_weapon);
        if (type & ANIM_TYPE_HOLSTERING_2) {
            if (win_weapon_data* weapon = weapon_data_of(character->current_weapon))
                weapon->shots_fired = 0;
            // A weapon chosen in place of the one put away stays chosen: the
            // aim input goes on to draw it once this one is away.
            win_entity* chosen = game_globals.current_weapon;
            if (chosen == character->current_weapon)
                chosen = nullptr;
            entity_set_current_weapon(entity, nullptr);
            if (chosen) {
                game_globals.current_weapon = chosen;
                entity_weapon_hold_texture(&game_globals.weapon_icon_texture,
                                           entity_retrieve_icon_texture(chosen));
            }
        }
    }
    if ((type & ANIM_TYPE_ATTACKING) && (state->reaction_flags & 0x1C0))
        entity_fire_current_weapon(entity);
    if (type & ANIM_TYPE_RELOAD)
        if (win_weapon_data* weapon = weapon_data_of(character->current_weapon))
            weapon->shots_fired = 0;
}

void entity_reset(void)
{
    entity_update_cursor = nullptr;
    entity_update_next = nullptr;
    emit_particle_number = 0.0f;
}

win_shader* entity_shader(win_entity* entity, int32_t shader_slot)
{
    const win_character* character = win_entity_character(entity);
    if (!character || !character->win_shader_array || shader_slot < 0 ||
        shader_slot >= character->win_shader_array_size)
        return nullptr;
    return &character->win_shader_array[shader_slot];
}
