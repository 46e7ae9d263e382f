#include "anim.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "debug.h"
#include "dlink.h"
#include "gameglobals.h"
#include "gametime.h"
#include "mow_animate.h"
#include "rand_util.h"
#include "runtime_services.h"
#include "script_services.h"
#include "winmain2.h"
#include "world_services.h"

namespace {

// The edge latches of the player's interpreters: each remembers that its
// input bit was acted on, until the bit is released.
struct anim_latches {
    int32_t next, previous, use_item, toggle;  // browsing
    int32_t attack;                            // 1 while a held attack may still charge
    int32_t aim;
};
anim_latches latch = {};

// States during which the player does not browse, and during which another
// character does not draw.
constexpr int32_t ANIM_TYPE_WEAPON_IN_MOTION = ANIM_TYPE_AIMING | ANIM_TYPE_DRAWING_1 |
                                               ANIM_TYPE_DRAWING_2 | ANIM_TYPE_HOLSTERING_1 |
                                               ANIM_TYPE_HOLSTERING_2;
constexpr int32_t ANIM_TYPE_BUSY_WITH_WEAPON = ANIM_TYPE_WEAPON_IN_MOTION | ANIM_TYPE_ATTACKING;

// The weapon classes, tested in this order (the first bit set wins): the bit
// of the weapon entity's flags and the reaction bit that its states carry.
struct weapon_class {
    uint32_t entity_flag;
    int32_t reaction;
    bool projectile;
};
const weapon_class weapon_classes[] = {
    {0x100, ANIM_REACTION_MELEE_1, false},      {0x200, ANIM_REACTION_MELEE_2, false},
    {0x400, ANIM_REACTION_MELEE_3, false},      {0x800, ANIM_REACTION_PROJECTILE_1, true},
    {0x1000, ANIM_REACTION_PROJECTILE_2, true}, {0x2000, ANIM_REACTION_PROJECTILE_3, true},
};

// The player's standard attacks, tried in this order when no weapon is in
// hand.
const int32_t standard_attacks[] = {ANIM_REACTION_STANDARD_1, ANIM_REACTION_STANDARD_2,
                                    ANIM_REACTION_STANDARD_3};

const weapon_class* class_of(const win_entity* weapon)
{
    if (weapon)
        for (const weapon_class& c : weapon_classes)
            if (weapon->win_entity_flag & c.entity_flag)
                return &c;
    return nullptr;
}

// The reaction bit of the weapon's class; 0 for no weapon or no class.
int32_t class_bit(const win_entity* weapon)
{
    const weapon_class* c = class_of(weapon);
    return c ? c->reaction : 0;
}

// The same for projectile classes only.
int32_t projectile_bit(const win_entity* weapon)
{
    const weapon_class* c = class_of(weapon);
    return c && c->projectile ? c->reaction : 0;
}

const char* table_name(const win_ast* table)
{
    return table->win_ast_name ? table->win_ast_name : "(null)";
}

// The entries of an owned array: its count while the pointer is set, else
// none.
int32_t entries(int32_t array_size, const void* array)
{
    return array ? array_size : 0;
}

// State `index` of the table, or NULL when the table has no such state.
win_anim_table_base* state_at(const win_ast* table, int32_t index)
{
    if (index < 0 ||
        index >= entries(table->win_anim_table_base_array_size, table->win_anim_table_base_array))
        return nullptr;
    return &table->win_anim_table_base_array[index];
}

// The type flags of the current state; 0 without one.
int32_t current_type_flags(const win_ast* table)
{
    const win_anim_table_base* state = win_ast_current_state(table);
    return state ? state->anim_type_flags : 0;
}

// The animation a state plays: its slot, NULL for none, and NULL after an
// error line for an index beyond the table's slots.
mow_anim* state_anim(const win_ast* table, const win_anim_table_base* state)
{
    int32_t index = state->mow_anim_index;
    if (index == -1)
        return nullptr;
    if (index < 0 || index >= entries(table->mow_anim_ptr_array_size, table->mow_anim_ptr_array)) {
        LOG_ERROR("Bad mow_anim_index = %ld in state %ld of '%s'\n", (long)index,
                  (long)(state - table->win_anim_table_base_array), table_name(table));
        return nullptr;
    }
    return table->mow_anim_ptr_array[index];
}

// The speed a state plays at. A multiplier that is not above 0 would stop the
// state for good or run it backwards, and the caller's slices with it: such a
// state plays at the normal speed.
float time_multiplier(const win_anim_table_base* state)
{
    float m = state->anim_time_multiplier;
    return m > 0.0f && std::isfinite(m) ? m : 1.0f;
}

// Calls `visit` with each transition of the state in list order until it
// answers true; the walk stops where the ring closes, whatever size is kept
// beside it.
template <class Visit>
bool any_transition(const win_anim_table_base* state, Visit visit)
{
    const win_anim_table_entry* head = state ? state->win_anim_table_entry_list : nullptr;
    for (const win_anim_table_entry* entry = head; entry;
         entry = dlink_ring_step(head, entry->next_ptr))
        if (visit(*entry))
            return true;
    return false;
}

bool has_transitions(const win_anim_table_base* state)
{
    return any_transition(state, [](const win_anim_table_entry&) { return true; });
}

// The entity's table; NULL after an error line in the words of `operation`
// for an entity without one.
win_ast* table_of(win_entity* entity, const char* operation)
{
    if (!entity->win_ast)
        LOG_ERROR("Cannot %s with NULL win_ast.\n", operation);
    return entity->win_ast;
}

void play_found(win_entity* entity, int32_t state)
{
    if (state >= 0)
        entity_play_anim(entity, state);
}

// Whether `bit` of `input` is set now and was not acted on yet; the latch
// follows the bit.
bool newly_set(int32_t input, int32_t bit, int32_t* bit_latch)
{
    if (!(input & bit)) {
        *bit_latch = 0;
        return false;
    }
    if (*bit_latch)
        return false;
    *bit_latch = 1;
    return true;
}

// The root track of `anim` at `time`, its translation and rotation scaled by
// the state's multipliers per axis. Root motion is kept in these scaled terms
// from a state's first pose on, so that every slice moves the character by
// the scaled difference.
win_xform scaled_root_pose(const mow_anim* anim, const win_anim_table_base* state, float time)
{
    win_xform root = win_xform_record_desc::templ;
    mow_animate_interpolate_single_mow_track(&root, &anim->root_mow_track, time);
    root.tx *= state->translation_multiplier.x;
    root.ty *= state->translation_multiplier.y;
    root.tz *= state->translation_multiplier.z;
    root.rx *= state->rotation_multiplier.x;
    root.ry *= state->rotation_multiplier.y;
    root.rz *= state->rotation_multiplier.z;
    return root;
}

// Plays sound effect `index` of the table at the entity. The sound module
// places a sound by its world position relative to the camera that
// listens, so the entity's own position is what it is given.
void play_state_sound(const win_entity* entity, const win_ast* table, int32_t index)
{
    if (index >= table->sound_fx_array_size) {
        LOG_ERROR("Invalid sound_fx_idx: %ld.\n", (long)index);
        return;
    }
    win_sound_container* sound = table->sound_fx_array ? table->sound_fx_array[index] : nullptr;
    if (!sound)
        return;
    if (!entity) {
        sound_play(sound, nullptr, nullptr, 1);
        return;
    }
    const float* at = entity->local_matrix.m[3];
    const win_vect3 position = {at[0], at[1], at[2]};
    sound_play(sound, &position, nullptr, 1);
}

// The player browses to the next or previous weapon or item, as the browse
// mode says.
void browse(win_entity* player, win_entity* (*find_weapon)(win_entity*),
            win_entity* (*find_item)(win_entity*))
{
    if (game_globals.browse_mode == 0) {
        game_globals.current_weapon = find_weapon(player);
        entity_weapon_hold_texture(&game_globals.weapon_icon_texture,
                                   entity_retrieve_icon_texture(game_globals.current_weapon));
        return;
    }
    win_entity* item = find_item(player);
    game_globals.current_item = item;
    entity_weapon_hold_texture(&game_globals.item_icon_texture, entity_retrieve_icon_texture(item));
    entity_set_current_item(player, item);
}

void use_current_item(void)
{
    const char* item_name = game_globals.current_item->win_entity_name;
    std::string script = std::string(item_name ? item_name : "") + "_use";
    LOG_NOTICE("attempting to run script %s.\n", script.c_str());
    script_initiate_script(script.c_str(), nullptr);
}

// A non-player's attack without a weapon: the kind of attack its AI finds
// for the target of its goal, or for the player.
void attack_by_ai(win_entity* entity, const anim_character* character)
{
    win_entity* target = character && character->goal_target ? character->goal_target
                                                             : game_globals.player_character;
    int32_t kind = ai_find_attack_sector(entity, target);
    if (kind == ANIM_WANT_ANY_NOT_FATAL)
        kind = ANIM_WANT_ANY;
    play_found(entity, anim_find_state_by_flags(entity, ANIM_TYPE_ATTACKING, kind));
}

// The player's attack without a weapon: the first standard attack the table
// has, unless the current state leads on by the attack input itself.
void attack_standard(win_entity* player, const win_anim_table_base* state)
{
    if (any_transition(state, [](const win_anim_table_entry& entry) {
            return (entry.condition_mask & ANIM_INPUT_ATTACK) != 0;
        }))
        return;
    for (int32_t standard : standard_attacks) {
        int32_t found = anim_find_state_by_type(player, ANIM_TYPE_ATTACKING, standard);
        if (found >= 0) {
            entity_play_anim(player, found);
            return;
        }
    }
}

// A held attack charges the weapon in hand; a charging state plays while the
// attack may still charge (for the player, until one was not found).
void attack_charging(win_entity* entity, const win_entity* weapon, anim_weapon_data* data,
                     bool player)
{
    data->charge = std::fmin(data->charge + frame_delta_time * data->charge_rate * 0.001f,
                             data->max_charge);
    if (!player || latch.attack == 1) {
        int32_t found = anim_find_state_by_type(entity, ANIM_TYPE_CHARGING, projectile_bit(weapon));
        if (found >= 0) {
            entity_play_anim(entity, found);
            return;
        }
    }
    if (player)
        latch.attack = 0;
}

// An attack with the weapon in hand, by its class: a melee weapon strikes; a
// projectile weapon fires while aiming (with ammunition left) and is raised
// from idle.
void attack_with_weapon(win_entity* entity, const win_entity* weapon, const anim_weapon_data* data,
                        int32_t type_flags)
{
    const weapon_class* c = class_of(weapon);
    if (!c)
        return;
    int32_t key = ANIM_TYPE_ATTACKING;
    if (c->projectile) {
        if (type_flags & ANIM_TYPE_AIMING) {
            if (data->ammo_count <= 0)
                return;
        } else if (type_flags & ANIM_TYPE_IDLE_ANIM) {
            key = ANIM_TYPE_RAISING_WEAPON;
        } else {
            return;
        }
    }
    play_found(entity, anim_find_state_by_type(entity, key, c->reaction));
}

// Whether a state's reaction flags satisfy `want`: exactly (`exact`) or by
// holding all of its bits, or as the two wildcards say.
bool reaction_matches(int32_t reaction_flags, int32_t want, bool exact)
{
    if ((exact && reaction_flags == want) || (!exact && (reaction_flags & want) == want))
        return true;
    return want == ANIM_WANT_ANY ||
           (want == ANIM_WANT_ANY_NOT_FATAL && !(reaction_flags & ANIM_REACTION_FATAL));
}

// The picker behind both: every matching state in index order, each later
// one replacing the pick at even odds.
int32_t find_state(win_entity* entity, const char* operation, int32_t key, int32_t want, bool exact)
{
    if (!entity) {
        LOG_ERROR("Cannot %s with NULL entity.\n", operation);
        return -1;
    }
    const win_ast* table = table_of(entity, operation);
    if (!table)
        return -1;
    int32_t pick = -1;
    const int32_t states = entries(table->win_anim_table_base_array_size,
                                   table->win_anim_table_base_array);
    for (int32_t i = 0; i < states; ++i) {
        const win_anim_table_base& state = table->win_anim_table_base_array[i];
        bool type_fits = exact ? state.anim_type_flags == key
                               : (state.anim_type_flags & key) == key;
        if (!type_fits || !reaction_matches(state.reaction_flags, want, exact))
            continue;
        if (pick < 0 || rand_util_rand() % 100 < 50)
            pick = i;
    }
    return pick;
}

// The table written to its stream form and read back: the stream carries
// every stored word and owned item (names, states with their transitions
// and scripts, joint tables), so the copy is deep by construction. NULL
// when either way fails.
win_ast* copy_through_stream(const win_ast* source)
{
    char* bytes = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&bytes, &size);
    if (!out)
        return nullptr;
    int written = write_win_ast_bin(out, source);
    int closed = std::fclose(out) == 0;
    win_ast* copy = nullptr;
    if (written && closed && size > 0) {
        FILE* in = fmemopen(bytes, size, "rb");
        if (in) {
            copy = read_win_ast_bin(in);
            std::fclose(in);
        }
    }
    std::free(bytes);
    return copy;
}

// The run-time slots the stream leaves out: the copy's animation slots hold
// the source's animations with a reference each, its sound slots borrow the
// source's sounds. 0 after an error line when a slot array cannot be made.
int share_slots(win_ast* copy, const win_ast* source)
{
    const int32_t anims = entries(source->mow_anim_ptr_array_size, source->mow_anim_ptr_array);
    copy->mow_anim_ptr_array_size = 0;
    if (anims > 0) {
        copy->mow_anim_ptr_array = malloc_mow_anim_ptr_array(anims);
        if (!copy->mow_anim_ptr_array) {
            LOG_ERROR("%s\n", "Failed to allocate memory for the win_ast->win_anim_ptr_array.");
            return 0;
        }
        copy->mow_anim_ptr_array_size = anims;
        for (int32_t i = 0; i < anims; ++i) {
            mow_anim* anim = source->mow_anim_ptr_array[i];
            if (anim)
                ++anim->mow_anim_ref_cnt;
            copy->mow_anim_ptr_array[i] = anim;
        }
    }
    const int32_t sounds = entries(source->sound_fx_array_size, source->sound_fx_array);
    copy->sound_fx_array_size = 0;
    if (sounds > 0) {
        copy->sound_fx_array = malloc_win_sound_fx_ptr_array(sounds);
        if (!copy->sound_fx_array) {
            LOG_ERROR("%s\n", "Failed to allocate memory for the win_ast->sound_fx_array.");
            return 0;
        }
        copy->sound_fx_array_size = sounds;
        bool holds_sounds = false;
        for (int32_t i = 0; i < sounds; ++i) {
            copy->sound_fx_array[i] = source->sound_fx_array[i];
            holds_sounds = holds_sounds || copy->sound_fx_array[i];
        }
        if (holds_sounds)
            win_ast_hold_sounds(copy);
    }
    return 1;
}

}  // namespace

void anim_calc_time_advance(win_ast* win_ast_ptr, float time_slice, float* time_advance,
                            float* interpolation_time)
{
    REFUSE_NULL(win_ast_ptr, "anim_calc_time_advance", "win_ast");
    REFUSE_NULL(time_advance, "anim_calc_time_advance", "time_advance");
    REFUSE_NULL(interpolation_time, "anim_calc_time_advance", "interpolation_time");
    win_ast* table = win_ast_ptr;
    // Time never runs backwards: a negative slice is none.
    const float slice = time_slice > 0.0f ? time_slice : 0.0f;
    const win_anim_table_base* state = win_ast_current_state(table);
    if (!state) {
        LOG_ERROR("Bad current_anim_index = %ld for '%s'\n", (long)table->current_anim_index,
                  table_name(table));
        *time_advance = slice;
        *interpolation_time = 0.0f;
        return;
    }
    // A stored progress outside 0 .. 1 would make the time left negative.
    float progress = table->anim_progress;
    progress = progress > 0.0f ? std::fmin(progress, 1.0f) : 0.0f;
    const float span = std::fabs(state->end_time - state->begin_time);
    if (span > 0.0f) {
        const float m = time_multiplier(state);
        const float remaining = (1.0f - progress) * span / m;
        if (remaining >= slice) {
            *time_advance = slice;
            progress = (span * progress + slice * m) / span;
            table->anim_progress = progress;
            *interpolation_time = state->begin_time >= state->end_time
                                      ? state->begin_time - span * progress
                                      : state->begin_time + span * progress;
            return;
        }
        *time_advance = remaining;
    } else {
        *time_advance = slice;
    }
    *interpolation_time = state->end_time;
    table->anim_input_flags |= WIN_AST_END_OF_ANIM;
    table->anim_progress = 0.0f;
    if (table->anim_blocking_state == 1)
        table->anim_blocking_state = 2;
}

int start_next_anim_state(win_entity* entity, win_ast* win_ast_ptr, win_xform* last_win_xform,
                          win_vect3* extra_movement_rot_vel, win_vect3* extra_movement_vel,
                          int32_t new_anim_index, int32_t silent, int32_t force)
{
    REFUSE_NULL(win_ast_ptr, "start_next_anim_state", "win_ast", 0);
    REFUSE_NULL(last_win_xform, "start_next_anim_state", "last_win_xform", 0);
    REFUSE_NULL(extra_movement_rot_vel, "start_next_anim_state", "extra_movement_rot_vel", 0);
    REFUSE_NULL(extra_movement_vel, "start_next_anim_state", "extra_movement_vel", 0);
    win_ast* table = win_ast_ptr;
    const win_anim_table_base* state = state_at(table, new_anim_index);
    if (!state) {
        LOG_ERROR("Bad new_anim_index = %ld for '%s'\n", (long)new_anim_index, table_name(table));
        return 0;
    }
    const mow_anim* previous_anim = table->current_mow_anim;
    // Without a current state there is no extra velocity of its to take back.
    const win_anim_table_base* previous = win_ast_current_state(table);
    const win_vect3 previous_velocity = previous ? previous->extra_translation_velocity
                                                 : win_vect3{0.0f, 0.0f, 0.0f};

    table->current_anim_index = new_anim_index;
    table->current_mow_anim = state_anim(table, state);
    *extra_movement_rot_vel = state->extra_rotation_velocity;
    extra_movement_vel->x = extra_movement_vel->x - previous_velocity.x +
                            state->extra_translation_velocity.x;
    extra_movement_vel->y = extra_movement_vel->y - previous_velocity.y +
                            state->extra_translation_velocity.y;
    extra_movement_vel->z = extra_movement_vel->z - previous_velocity.z +
                            state->extra_translation_velocity.z;
    if (time_multiplier(state) != state->anim_time_multiplier)
        LOG_WARNING("anim_time_multiplier %f of state %ld in '%s' is not above 0; it plays at "
                    "1.0.\n",
                    (double)state->anim_time_multiplier, (long)new_anim_index, table_name(table));

    if (!force && table->current_mow_anim == previous_anim &&
        !(state->anim_type_flags & ANIM_TYPE_FORCE_RESET))
        return 0;

    table->anim_progress = 0.0f;
    if (state->sound_effect >= 0 && !silent)
        play_state_sound(entity, table, state->sound_effect);
    if (table->current_mow_anim) {
        float advance = 0.0f;
        float time = 0.0f;
        anim_calc_time_advance(table, 0.0f, &advance, &time);
        *last_win_xform = scaled_root_pose(table->current_mow_anim, state, time);
    } else {
        *last_win_xform = win_xform_record_desc::templ;
    }
    // Last, because the script's first slice may change this entity's state
    // or unload it with its table.
    if (state->play_script) {
        running_script* script = nullptr;
        script_initiate_script(state->play_script, &script);
        if (script)
            parse_run_script(script);
    }
    return 1;
}

int32_t anim_accum_root_motion(const win_ast* win_ast_ptr, float interpolation_time,
                               win_xform* last_win_xform, win_xform* delta_xform)
{
    REFUSE_NULL(win_ast_ptr, "anim_accum_root_motion", "win_ast", 0);
    REFUSE_NULL(last_win_xform, "anim_accum_root_motion", "last_win_xform", 0);
    REFUSE_NULL(delta_xform, "anim_accum_root_motion", "delta_xform", 0);
    const win_ast* table = win_ast_ptr;
    const win_anim_table_base* state = win_ast_current_state(table);
    if (!table->current_mow_anim || !state)
        return 0;
    const win_xform root = scaled_root_pose(table->current_mow_anim, state, interpolation_time);
    delta_xform->tx += root.tx - last_win_xform->tx;
    delta_xform->ty += root.ty - last_win_xform->ty;
    delta_xform->tz += root.tz - last_win_xform->tz;
    delta_xform->rx += root.rx - last_win_xform->rx;
    delta_xform->ry += root.ry - last_win_xform->ry;
    delta_xform->rz += root.rz - last_win_xform->rz;
    delta_xform->sx += root.sx - last_win_xform->sx;
    delta_xform->sy += root.sy - last_win_xform->sy;
    delta_xform->sz += root.sz - last_win_xform->sz;
    const int32_t ended = table->anim_input_flags & WIN_AST_END_OF_ANIM;
    if (!ended)
        *last_win_xform = root;
    return ended;
}

int anim_interpret_input(win_entity* entity)
{
    REFUSE_NULL(entity, "anim_interpret_input", "entity", 0);
    const win_ast* table = table_of(entity, "anim_interpret_input");
    if (!table)
        return 0;
    const int32_t input = table->anim_input_flags;
    int32_t target = -1;
    bool taken = any_transition(win_ast_current_state(table),
                                [&](const win_anim_table_entry& entry) {
                                    if (entry.condition_mask != input)
                                        return false;
                                    target = entry.target_anim_index;
                                    return true;
                                });
    if (taken)
        entity_play_anim(entity, target);
    return taken ? 1 : 0;
}

void anim_interpret_browse_input(win_entity* entity)
{
    REFUSE_NULL(entity, "anim_interpret_browse_input", "entity");
    if (entity != game_globals.player_character) {
        LOG_ERROR("anim_interpret_browse_input was called with '%s'\n",
                  entity->win_entity_name ? entity->win_entity_name : "(null)");
        return;
    }
    const win_ast* table = table_of(entity, "anim_interpret_browse_input");
    if (!table || (current_type_flags(table) & ANIM_TYPE_WEAPON_IN_MOTION))
        return;
    const int32_t input = table->anim_input_flags;
    if (newly_set(input, ANIM_INPUT_NEXT, &latch.next))
        browse(entity, entity_find_next_weapon, entity_find_next_item);
    if (newly_set(input, ANIM_INPUT_PREVIOUS, &latch.previous))
        browse(entity, entity_find_prev_weapon, entity_find_prev_item);
    // The frame stands still while start is held.
    if (input & ANIM_INPUT_START) {
        frame_delta_time = 0.0f;
        game_time = (float)gametime_get_time();
    }
    if (newly_set(input, ANIM_INPUT_USE_ITEM, &latch.use_item) && game_globals.current_item)
        use_current_item();
    if (newly_set(input, ANIM_INPUT_TOGGLE, &latch.toggle)) {
        game_globals.browse_mode = game_globals.browse_mode == 0 ? 1 : 0;
        // The heads-up display shows which of the two is browsed.
        game_globals.weapon_item_toggle = game_globals.browse_mode;
    }
}

void anim_interpret_reaction_input(win_entity* entity, anim_character* character)
{
    REFUSE_NULL(entity, "anim_interpret_reaction_input", "entity");
    const win_ast* table = table_of(entity, "anim_interpret_reaction_input");
    if (!table)
        return;
    const win_anim_table_base* state = win_ast_current_state(table);
    const bool player = entity == game_globals.player_character;
    if (!has_transitions(state) || (player && game_globals.attack_enabled == 0))
        return;
    win_entity* weapon = character ? character->current_weapon : nullptr;
    anim_weapon_data* data = weapon ? &character->weapon_data : nullptr;

    if (!(table->anim_input_flags & ANIM_INPUT_ATTACK)) {
        // Letting go of the attack fires a charged weapon.
        if (player)
            latch.attack = 1;
        if (data && data->max_charge > 0.0f && data->charge > 0.0f)
            play_found(entity, anim_find_state_by_type(entity, ANIM_TYPE_ATTACKING,
                                                       projectile_bit(weapon)));
        return;
    }
    if (data && data->shots_fired == data->clip_size) {
        int32_t reload = anim_find_state_by_type(entity, ANIM_TYPE_RELOAD, projectile_bit(weapon));
        if (reload >= 0) {
            data->shots_fired = 0;
            entity_play_anim(entity, reload);
        }
        return;
    }
    if (!weapon) {
        if (player)
            attack_standard(entity, state);
        else
            attack_by_ai(entity, character);
        return;
    }
    if (data->max_charge > 0.0f)
        attack_charging(entity, weapon, data, player);
    else
        attack_with_weapon(entity, weapon, data, state->anim_type_flags);
}

void anim_interpret_aim_input(win_entity* entity, const anim_character* character)
{
    REFUSE_NULL(entity, "anim_interpret_aim_input", "entity");
    const win_ast* table = table_of(entity, "anim_interpret_aim_input");
    if (!table)
        return;
    const win_anim_table_base* state = win_ast_current_state(table);
    if (!has_transitions(state))
        return;
    const win_entity* weapon = character ? character->current_weapon : nullptr;
    const bool aim = (table->anim_input_flags & ANIM_INPUT_AIM) != 0;
    const int32_t type_flags = state->anim_type_flags;
    int32_t key = 0;
    int32_t want = 0;
    if (entity == game_globals.player_character) {
        // The player draws or holsters once per press of aim.
        if (!newly_set(table->anim_input_flags, ANIM_INPUT_AIM, &latch.aim))
            return;
        const win_entity* selected = game_globals.current_weapon;
        if (weapon) {
            key = ANIM_TYPE_HOLSTERING_1;
            want = class_bit(weapon);
            if (projectile_bit(weapon) && !(type_flags & ANIM_TYPE_IDLE_ANIM))
                want |= ANIM_REACTION_FROM_AIMING;
            // Another weapon was chosen: the next frame with aim held draws it
            // once this one is away.
            if (selected && selected != weapon)
                latch.aim = 0;
        } else {
            if (!selected || game_globals.attack_enabled != 1)
                return;
            want = class_bit(selected);
            key = want ? ANIM_TYPE_DRAWING_1 : 0;
        }
    } else if (aim) {
        if (!weapon || (type_flags & ANIM_TYPE_BUSY_WITH_WEAPON))
            return;
        key = ANIM_TYPE_DRAWING_1;
        want = class_bit(weapon);
    } else {
        if (!weapon || !(type_flags & (ANIM_TYPE_AIMING | ANIM_TYPE_ATTACKING)))
            return;
        key = ANIM_TYPE_HOLSTERING_1;
        want = class_bit(weapon);
    }
    play_found(entity, anim_find_state_by_type(entity, key, want));
}

int32_t anim_find_state_by_type(win_entity* entity, int32_t key, int32_t want)
{
    return find_state(entity, "anim_find_state_by_type", key, want, true);
}

int32_t anim_find_state_by_flags(win_entity* entity, int32_t key, int32_t want)
{
    return find_state(entity, "anim_find_state_by_flags", key, want, false);
}

win_ast* anim_create_duplicate_ast(const win_ast* win_ast_ptr)
{
    REFUSE_NULL(win_ast_ptr, "anim_create_duplicate_ast", "win_ast", nullptr);
    win_ast* copy = copy_through_stream(win_ast_ptr);
    if (!copy) {
        LOG_ERROR("Failed to allocate memory to copy win_ast %s.\n", table_name(win_ast_ptr));
        return nullptr;
    }
    if (!share_slots(copy, win_ast_ptr)) {
        free_win_ast(copy);
        return nullptr;
    }
    // The copy starts its state afresh.
    const win_ast& fresh = win_ast_record_desc::templ;
    copy->anim_input_flags = fresh.anim_input_flags;
    copy->anim_progress = fresh.anim_progress;
    copy->anim_blocking_state = fresh.anim_blocking_state;
    const win_anim_table_base* state = win_ast_current_state(copy);
    copy->current_mow_anim = state ? state_anim(copy, state) : nullptr;
    return copy;
}

void anim_reset(void)
{
    latch = {};
}
