#include "entity_weapon.h"

#include <cstdio>

#include "anim.h"
#include "d3dtextr_dx7.h"
#include "debug.h"
#include "dlink.h"
#include "entity.h"
#include "entity_io.h"
#include "entity_ops.h"
#include "gameglobals.h"
#include "math_util.h"
#include "script_services.h"
#include "win_entity.h"
#include "win_math.h"

int32_t closeup_request_state = 1;

namespace {

const char* name_of(const win_entity* entity)
{
    return entity && entity->win_entity_name ? entity->win_entity_name : "(null)";
}

// The entity's character payload, or NULL after the error line `before`,
// the entity's name, `after` when it is not a character.
win_character* character_or_refuse(const win_entity* entity, const char* before, const char* after)
{
    win_character* character = win_entity_character(entity);
    if (!character)
        LOG_ERROR("%s%s%s", before, name_of(entity), after);
    return character;
}

bool is_weapon(const win_entity* entity)
{
    return (entity->win_entity_flag & ENTITY_FLAG_WEAPON) != 0;
}

// The type flags of the state the entity's table plays; 0 without a table or
// a state.
int32_t current_state_type_flags(const win_entity* entity)
{
    const win_ast* table = entity->win_ast;
    if (!table || !table->win_anim_table_base_array || table->current_anim_index < 0 ||
        table->current_anim_index >= table->win_anim_table_base_array_size)
        return 0;
    return table->win_anim_table_base_array[table->current_anim_index].anim_type_flags;
}

// The texture `name` (lower-cased in place) from the bitmap directory;
// NULL when none loads.
texture_container* load_texture(char (&name)[D3DTEXTR_PATH_SIZE])
{
    return d3dtextr_load_texture(name, game_globals.bitmaps_pathname, nullptr);
}

// The texture "<entity name><suffix>", its name left in `name`.
texture_container* load_entity_texture(const win_entity* entity, const char* suffix,
                                       char (&name)[D3DTEXTR_PATH_SIZE])
{
    std::snprintf(name, sizeof name, "%s%s", name_of(entity), suffix);
    return load_texture(name);
}

texture_container* load_default_icon(void)
{
    char name[D3DTEXTR_PATH_SIZE] = "default_icon";
    return load_texture(name);
}

// The weapon kind bits, in the order the holster search tests them, and the
// reaction kind of the holster state each asks for.
struct weapon_kind {
    uint32_t weapon_flag;
    int32_t reaction_kind;
    int32_t attack_kind;  // the AI's attack kind code that selects the weapon
};
constexpr weapon_kind weapon_kinds[] = {
    {ENTITY_FLAG_MELEE_1, ANIM_REACTION_MELEE_1, 0x4008},
    {ENTITY_FLAG_MELEE_2, ANIM_REACTION_MELEE_2, 0x4010},
    {ENTITY_FLAG_MELEE_3, ANIM_REACTION_MELEE_3, 0x4020},
    {ENTITY_FLAG_PROJECTILE_1, ANIM_REACTION_PROJECTILE_1, 0x4040},
    {ENTITY_FLAG_PROJECTILE_2, ANIM_REACTION_PROJECTILE_2, 0x4080},
    {ENTITY_FLAG_PROJECTILE_3, ANIM_REACTION_PROJECTILE_3, 0x4100},
};

// The weapon flags of a projectile weapon (and of a projectile).
constexpr uint32_t PROJECTILE_FLAGS = ENTITY_FLAG_PROJECTILE_1 | ENTITY_FLAG_PROJECTILE_2 |
                                      ENTITY_FLAG_PROJECTILE_3 | ENTITY_FLAG_PROJECTILE;

// Adds `amount` to `*value`, keeping it at most `limit`.
template <typename T>
void add_at_most(T* value, T amount, T limit)
{
    *value += amount;
    if (*value > limit)
        *value = limit;
}

// The character whose hitpoints are to change; NULL after `null_message`
// for a NULL entity or after the refusal of another type.
win_character* hitpoint_holder(const win_entity* entity, const char* null_message)
{
    if (!entity) {
        LOG_ERROR("%s\n", null_message);
        return nullptr;
    }
    return character_or_refuse(entity, "Cannot change hitpoints of entity ",
                               " because entity is not a character.\n");
}

// The inventory walk: from the reference's neighbour (the next one when
// `forward`, else the previous) round the ring to just before the reference,
// the first member with `flag`; without a reference in the ring, from the
// head. A ring of one (the reference alone) gives the reference when
// `lone_reference` is set, else NULL.
win_entity* find_in_inventory(const win_entity* holder, const win_entity* reference, uint32_t flag,
                              bool forward, bool lone_reference)
{
    win_entity* head = holder->child_entity_list;
    if (!head)
        return nullptr;
    // The player's weapon may belong to another character: walking from it
    // would answer with a member of that character's ring.
    if (reference && !entity_ring_holds(head, reference))
        reference = nullptr;
    if (!reference) {
        for (win_entity* member = head; member;
             member = dlink_ring_step(head, forward ? member->next : member->prev))
            if (member->win_entity_flag & flag)
                return member;
        return nullptr;
    }
    win_entity* member = forward ? reference->next : reference->prev;
    if (member == reference)
        return lone_reference ? member : nullptr;
    for (; member; member = dlink_ring_step(reference, forward ? member->next : member->prev))
        if (member->win_entity_flag & flag)
            return member;
    return nullptr;
}

// Clears the weapon and item slots that name `entity` in each entity of the
// ring from `head`, to any depth.
void forget_in_ring(win_entity* head, const win_entity* entity)
{
    for (win_entity* member = head; member; member = dlink_ring_step(head, member->next)) {
        if (win_character* character = win_entity_character(member)) {
            if (character->current_weapon == entity)
                character->current_weapon = nullptr;
            if (character->current_item == entity)
                character->current_item = nullptr;
        }
        forget_in_ring(member->child_entity_list, entity);
    }
}

}  // namespace

void entity_weapon_hold_texture(texture_container** slot, texture_container* texture)
{
    if (*slot == texture)
        return;
    if (texture)
        ++texture->texture_container_ref_cnt;
    if (*slot)
        free_texture_container(*slot);
    *slot = texture;
}

texture_container* entity_retrieve_icon_texture(win_entity* entity)
{
    if (entity) {
        char name[D3DTEXTR_PATH_SIZE];
        if (texture_container* texture = load_entity_texture(entity, "_icon", name))
            return texture;
        LOG_ERROR("Could not find icon texture %s.\n", name);
    }
    return load_default_icon();
}

texture_container* entity_retrieve_closeup_texture(win_entity* entity)
{
    if (entity) {
        char name[D3DTEXTR_PATH_SIZE];
        if (texture_container* texture = load_entity_texture(entity, "_closeup", name))
            return texture;
        LOG_ERROR("Unable to find closeup texture for entity %s.\n", name_of(entity));
    } else {
        LOG_WARNING("%s\n", "entity_retrieve_closeup_texture called with NULL entity specified - "
                            "displaying default_icon.bmp instead.");
    }
    return load_default_icon();
}

int entity_set_current_weapon(win_entity* entity, win_entity* weapon)
{
    REFUSE_NULL(entity, "entity_set_current_weapon", "entity", 0);
    win_character* character = character_or_refuse(
        entity, "Cannot entity_set_current_weapon because entity ", " is not a character.\n");
    if (!character)
        return 0;
    if (weapon) {
        if (!character_or_refuse(weapon, "Cannot entity_set_current_weapon because weapon ",
                                 " is not a character type entity.\n"))
            return 0;
        if (!is_weapon(weapon)) {
            LOG_ERROR("Cannot entity_set_current_weapon because %s is not specified as a weapon.\n",
                      name_of(weapon));
            return 0;
        }
    } else {
        LOG_NOTICE("Setting entity %s's weapon to standard weapon (NULL).\n", name_of(entity));
    }
    if (weapon != character->current_weapon) {
        // Only the weapon in hand is updated and drawn.
        if (character->current_weapon)
            character->current_weapon->life_span = -1.0f;
        if (weapon)
            weapon->life_span = ETERNAL_LIFE_SPAN;
    }
    character->current_weapon = weapon;
    if (entity == game_globals.player_character) {
        game_globals.current_weapon = weapon;
        entity_weapon_hold_texture(&game_globals.weapon_icon_texture,
                                   entity_retrieve_icon_texture(weapon));
    }
    if (weapon)
        win_entity_character(weapon)->current_weapon = entity;
    return 1;
}

int entity_set_current_item(win_entity* entity, win_entity* item)
{
    REFUSE_NULL(entity, "entity_set_current_item", "entity", 0);
    if (item)
        LOG_NOTICE("Setting entity %s's item to %s.\n", name_of(entity), name_of(item));
    win_character* character = character_or_refuse(
        entity, "Cannot entity_set_current_item because entity ", " is not a character.\n");
    if (!character)
        return 0;
    if (item) {
        if (!character_or_refuse(item, "Cannot entity_set_current_item because item ",
                                 " is not a character type entity.\n"))
            return 0;
        if (!(item->win_entity_flag & ENTITY_FLAG_ITEM)) {
            LOG_ERROR("Cannot entity_set_current_item because %s is not specified as an item.\n",
                      name_of(item));
            return 0;
        }
    } else {
        LOG_NOTICE("Setting entity %s's item to standard item (NULL).\n", name_of(entity));
    }
    character->current_item = item;
    if (entity == game_globals.player_character) {
        game_globals.current_item = item;
        entity_weapon_hold_texture(&game_globals.item_icon_texture,
                                   entity_retrieve_icon_texture(item));
    }
    return 1;
}

int entity_holster_current_weapon(win_entity* entity)
{
    if (!entity) {
        LOG_ERROR("%s\n", "Cannot entity_holster_current_weapon with a NULL entity.");
        return 0;
    }
    win_character* character = win_entity_character(entity);
    if (!character) {
        LOG_ERROR("%s\n",
                  "Cannot entity_holster_current_weapon because entity is not a character.");
        return 1;
    }
    int32_t type_flags = current_state_type_flags(entity);
    if (type_flags & (ANIM_TYPE_HOLSTERING_1 | ANIM_TYPE_HOLSTERING_2))
        return 0;
    win_entity* weapon = character->current_weapon;
    if (!weapon)
        return 1;
    // Without a state table no holster state could ever take the weapon
    // away, and the command would wait for ever: put it away at once.
    if (!entity->win_ast)
        return entity_set_current_weapon(entity, nullptr);
    if (type_flags & ANIM_TYPE_IDLE_ANIM) {
        int32_t kind = 0;
        for (const weapon_kind& k : weapon_kinds)
            if (weapon->win_entity_flag & k.weapon_flag)
                kind = k.reaction_kind;
        int32_t state = anim_find_state_by_type(entity, ANIM_TYPE_HOLSTERING_1, kind);
        if (state >= 0) {
            if (win_character* held = win_entity_character(weapon))
                held->weapon_data.shots_fired = 0;
            entity_play_anim(entity, state);
        }
    }
    return 0;
}

int entity_add_hitpoints(win_entity* entity, float amount)
{
    win_character* character = hitpoint_holder(entity,
                                               "Cannot entity_add_hitpoints of a NULL entity.");
    if (!character)
        return 0;
    if (is_weapon(entity))
        add_at_most(&character->weapon_data.ammo_count, math_util_float_to_int(amount),
                    character->weapon_data.max_ammo_count);
    else
        add_at_most(&character->hitpoints, amount, character->max_hitpoints);
    if (character->hitpoints <= 0.0f && character->win_ai && character->win_ai->end_script) {
        entity->velocity = {0.0f, 0.0f, 0.0f};
        script_initiate_script(character->win_ai->end_script, nullptr);
    }
    return 1;
}

int entity_set_hitpoints(win_entity* entity, float value)
{
    win_character* character = hitpoint_holder(entity,
                                               "Cannot entity_set_hitpoints of a NULL entity.");
    if (!character)
        return 0;
    if (is_weapon(entity)) {
        int32_t ammo = math_util_float_to_int(value);
        character->weapon_data.ammo_count = ammo < character->weapon_data.max_ammo_count
                                                ? ammo
                                                : character->weapon_data.max_ammo_count;
    } else {
        character->hitpoints = value < character->max_hitpoints ? value : character->max_hitpoints;
    }
    return 1;
}

float entity_get_hitpoints(win_entity* entity)
{
    if (!entity) {
        LOG_ERROR("%s\n", "Cannot entity_get_hitpoints of a NULL entity.");
        return 0.0f;
    }
    win_character* character = character_or_refuse(entity, "Cannot get hitpoints of entity ",
                                                   " because entity is not a character.\n");
    if (!character)
        return -1.0f;
    return is_weapon(entity) ? (float)character->weapon_data.ammo_count : character->hitpoints;
}

int entity_display_closeup(win_entity* entity)
{
    if (!entity) {
        LOG_ERROR("%s\n", "Cannot entity_display_closeup of a NULL entity.");
        return 0;
    }
    if (closeup_request_state == 1) {
        game_globals.display_closeup = 1;
        entity_weapon_hold_texture(&game_globals.closeup_texture,
                                   entity_retrieve_closeup_texture(entity));
        closeup_request_state = 0;
        return 0;
    }
    // The player-character module switches the closeup off when the player
    // dismisses it.
    if (game_globals.display_closeup)
        return 0;
    closeup_request_state = 1;
    return 1;
}

int entity_fire_current_weapon(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_fire_current_weapon", "entity", 0);
    win_character* character = win_entity_character(entity);
    win_entity* weapon = character ? character->current_weapon : nullptr;
    win_character* held = win_entity_character(weapon);
    if (!held || !(weapon->win_entity_flag & PROJECTILE_FLAGS))
        return 0;
    ++held->weapon_data.shots_fired;
    win_entity* head = weapon->child_entity_list;
    for (win_entity* member = head; member; member = dlink_ring_step(head, member->next))
        if (member->win_entity_type == WIN_ENTITY_TYPE_EMITTER)
            entity_emit_particle(member->child_entity_list, member, entity);
    if (held->weapon_data.ammo_count > 0)
        --held->weapon_data.ammo_count;
    return 1;
}

win_entity* entity_find_emitter_child(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_find_emitter_child", "entity", nullptr);
    win_entity* head = entity->child_entity_list;
    for (win_entity* member = head; member; member = dlink_ring_step(head, member->next))
        if (member->win_entity_type == WIN_ENTITY_TYPE_EMITTER &&
            (member->win_entity_flag & ENTITY_FLAG_WEAPON_EMITTER))
            return member;
    return nullptr;
}

int entity_fire_emitter(win_entity* entity, int32_t joint_idx, win_vect3* direction)
{
    REFUSE_NULL(direction, "entity_fire_emitter", "direction", 0);
    win_entity* emitter = entity_find_emitter_child(entity);
    if (!emitter)
        return 0;
    if (win_math_normalize_vect3_inline(direction) < 0.0f)
        *direction = {0.0f, 0.0f, 1.0f};
    emitter->parent_joint_idx = joint_idx;
    entity_set_life_span(emitter, 0.25f);
    return 1;
}

win_entity* entity_find_weapon_by_attack(win_entity* entity, int32_t attack_kind)
{
    REFUSE_NULL(entity, "entity_find_weapon_by_attack", "entity", nullptr);
    for (const weapon_kind& k : weapon_kinds) {
        if (k.attack_kind != attack_kind)
            continue;
        win_entity* head = entity->child_entity_list;
        for (win_entity* member = head; member; member = dlink_ring_step(head, member->next))
            if (member->win_entity_flag & k.weapon_flag)
                return member;
        return nullptr;
    }
    return nullptr;
}

// The weapon searches start from the player's selected weapon, whichever
// character is searched: the browse input only ever searches the player.
win_entity* entity_find_next_weapon(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_find_next_weapon", "entity", nullptr);
    return find_in_inventory(entity, game_globals.current_weapon, ENTITY_FLAG_WEAPON, true, true);
}

win_entity* entity_find_prev_weapon(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_find_prev_weapon", "entity", nullptr);
    return find_in_inventory(entity, game_globals.current_weapon, ENTITY_FLAG_WEAPON, false, false);
}

win_entity* entity_find_next_item(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_find_next_item", "entity", nullptr);
    win_character* character = win_entity_character(entity);
    return find_in_inventory(entity, character ? character->current_item : nullptr,
                             ENTITY_FLAG_ITEM, true, false);
}

win_entity* entity_find_prev_item(win_entity* entity)
{
    REFUSE_NULL(entity, "entity_find_prev_item", "entity", nullptr);
    win_character* character = win_entity_character(entity);
    return find_in_inventory(entity, character ? character->current_item : nullptr,
                             ENTITY_FLAG_ITEM, false, false);
}

void entity_weapon_forget_entity(const win_entity* entity)
{
    if (!entity)
        return;
    forget_in_ring(entity_io_global_win_entity_list, entity);
    forget_in_ring(game_globals.parked_child_list, entity);
    if (game_globals.current_weapon == entity)
        game_globals.current_weapon = nullptr;
    if (game_globals.current_item == entity)
        game_globals.current_item = nullptr;
}

void entity_weapon_reset(void)
{
    closeup_request_state = 1;
}
