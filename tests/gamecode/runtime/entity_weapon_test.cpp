#include "entity_weapon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "anim.h"
#include "d3dtextr_dx7.h"
#include "d3dxframe.h"
#include "entity_fixture.h"
#include "entity_io.h"
#include "gameglobals.h"
#include "heap.h"
#include "image_writers.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "test_support.h"
#include "texture_container.h"
#include "win_entity.h"

namespace {

win_entity* make_character(const char* name, uint32_t flags = ENTITY_FLAG_VISIBLE)
{
    win_entity* entity = malloc_win_entity(name);
    entity->u.win_character = malloc_win_character();
    entity->win_entity_flag = flags;
    return entity;
}

win_entity* adopt(win_entity* parent, win_entity* child)
{
    add_to_win_entity_list(&parent->child_entity_list, &parent->child_entity_list_size, child);
    return child;
}

win_character* payload(win_entity* entity)
{
    return entity->u.win_character;
}

constexpr uint32_t MELEE = ENTITY_FLAG_WEAPON | ENTITY_FLAG_MELEE_1;
constexpr uint32_t PROJECTILE = ENTITY_FLAG_WEAPON | ENTITY_FLAG_PROJECTILE_1;

// A hero holding, in this order, a sword, a scroll, a bow (with an emitter
// of its own) and a key.
class Inventory : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        hero = make_character("hero");
        sword = adopt(hero, make_character("sword", MELEE));
        scroll = adopt(hero, make_character("scroll", ENTITY_FLAG_ITEM));
        bow = adopt(hero, make_character("bow", PROJECTILE));
        key = adopt(hero, make_character("key", ENTITY_FLAG_ITEM));
        emitter = adopt(bow, malloc_win_entity("arrows"));
        emitter->win_entity_type = WIN_ENTITY_TYPE_EMITTER;
        log.clear();
    }
    void TearDown() override { free_win_entity(hero); }

    LogCapture log;
    win_entity* hero = nullptr;
    win_entity *sword = nullptr, *scroll = nullptr, *bow = nullptr, *key = nullptr;
    win_entity* emitter = nullptr;
};

TEST_F(Inventory, SwitchingWeaponsSwitchesWhichOneLives)
{
    ASSERT_EQ(entity_set_current_weapon(hero, sword), 1);
    EXPECT_EQ(payload(hero)->current_weapon, sword);
    EXPECT_EQ(payload(sword)->current_weapon, hero) << "a weapon names its holder";
    EXPECT_EQ(sword->life_span, ETERNAL_LIFE_SPAN);

    sword->life_span = 3.0f;
    ASSERT_EQ(entity_set_current_weapon(hero, sword), 1);
    EXPECT_EQ(sword->life_span, 3.0f) << "the same weapon again changes nothing";

    ASSERT_EQ(entity_set_current_weapon(hero, bow), 1);
    EXPECT_EQ(sword->life_span, -1.0f);
    EXPECT_EQ(bow->life_span, ETERNAL_LIFE_SPAN);
    EXPECT_EQ(game_globals.current_weapon, nullptr) << "the hero is not the player";

    ASSERT_EQ(entity_set_current_weapon(hero, nullptr), 1);
    EXPECT_EQ(bow->life_span, -1.0f);
    EXPECT_EQ(log.notices().back(), "Setting entity hero's weapon to standard weapon (NULL).");
}

TEST_F(Inventory, RefusesWhatCannotBeAWeaponOrAnItem)
{
    win_entity* lamp = malloc_win_entity("lamp");
    lamp->win_entity_type = WIN_ENTITY_TYPE_LIGHT;
    struct {
        int result;
        const char* error;
    } cases[] = {
        {entity_set_current_weapon(lamp, sword),
         "Cannot entity_set_current_weapon because entity lamp is not a character."},
        {entity_set_current_weapon(hero, lamp),
         "Cannot entity_set_current_weapon because weapon lamp is not a character type entity."},
        {entity_set_current_weapon(hero, scroll),
         "Cannot entity_set_current_weapon because scroll is not specified as a weapon."},
        {entity_set_current_item(hero, sword),
         "Cannot entity_set_current_item because sword is not specified as an item."},
        {entity_set_current_item(lamp, scroll),
         "Cannot entity_set_current_item because entity lamp is not a character."},
        {entity_set_current_weapon(nullptr, sword),
         "Cannot entity_set_current_weapon with NULL entity."},
    };
    std::vector<std::string> errors = log.errors();
    ASSERT_EQ(errors.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].result, 0) << cases[i].error;
        EXPECT_EQ(errors[i], cases[i].error);
    }
    EXPECT_EQ(payload(hero)->current_weapon, nullptr);
    EXPECT_EQ(payload(hero)->current_item, nullptr);
    EXPECT_EQ(sword->life_span, ETERNAL_LIFE_SPAN) << "untouched by the refusals";
    free_win_entity(lamp);
}

TEST_F(Inventory, BrowsingWalksTheRingSkippingTheOtherKind)
{
    struct {
        win_entity* selected_weapon;  // the player's, in game_globals
        win_entity* selected_item;    // the hero's own
        win_entity* next_weapon;
        win_entity* prev_weapon;
        win_entity* next_item;
        win_entity* prev_item;
    } cases[] = {
        {sword, scroll, bow, bow, key, key},
        {bow, key, sword, sword, scroll, scroll},
        // Without a selection the walk starts at the head: forwards it finds
        // the first of the kind, backwards the head itself is tried first.
        {nullptr, nullptr, sword, sword, scroll, key},
    };
    for (const auto& c : cases) {
        game_globals.current_weapon = c.selected_weapon;
        payload(hero)->current_item = c.selected_item;
        EXPECT_EQ(entity_find_next_weapon(hero), c.next_weapon);
        EXPECT_EQ(entity_find_prev_weapon(hero), c.prev_weapon);
        EXPECT_EQ(entity_find_next_item(hero), c.next_item);
        EXPECT_EQ(entity_find_prev_item(hero), c.prev_item);
    }
}

TEST_F(Inventory, ALoneWeaponIsItsOwnNextButALoneItemIsNobodys)
{
    win_entity* knight = make_character("knight");
    win_entity* lance = adopt(knight, make_character("lance", MELEE));
    win_entity* horn = make_character("horn", ENTITY_FLAG_ITEM);
    win_entity* bard = make_character("bard");
    adopt(bard, horn);
    game_globals.current_weapon = lance;
    payload(bard)->current_item = horn;
    EXPECT_EQ(entity_find_next_weapon(knight), lance);
    EXPECT_EQ(entity_find_prev_weapon(knight), nullptr);
    EXPECT_EQ(entity_find_next_item(bard), nullptr);
    EXPECT_EQ(entity_find_prev_item(bard), nullptr);
    EXPECT_EQ(entity_find_next_weapon(hero), sword)
        << "the lance is the knight's: the hero's walk starts at its head";
    win_entity* empty = make_character("empty");
    EXPECT_EQ(entity_find_next_weapon(empty), nullptr);
    for (win_entity* e : {knight, bard, empty})
        free_win_entity(e);
    game_globals.current_weapon = nullptr;
}

TEST_F(Inventory, HitpointsOfCharactersAndAmmunitionOfWeapons)
{
    payload(hero)->hitpoints = 80.0f;
    payload(hero)->max_hitpoints = 100.0f;
    payload(bow)->weapon_data.ammo_count = 98;
    payload(bow)->weapon_data.max_ammo_count = 99;
    struct {
        int (*operation)(win_entity*, float);
        win_entity* entity;
        float amount;
        float after;
    } cases[] = {
        {entity_add_hitpoints, bow, 5.7f, 99.0f},
        {entity_add_hitpoints, bow, -3.9f, 96.0f},  // truncated toward zero
        {entity_set_hitpoints, bow, 120.0f, 99.0f},
        {entity_add_hitpoints, hero, -30.5f, 49.5f},
        {entity_add_hitpoints, hero, 70.0f, 100.0f},
        {entity_set_hitpoints, hero, 20.0f, 20.0f},
        {entity_add_hitpoints, hero, -50.0f, -30.0f},  // no lower bound
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.operation(c.entity, c.amount), 1);
        EXPECT_EQ(entity_get_hitpoints(c.entity), c.after)
            << c.entity->win_entity_name << " " << c.amount;
    }
    win_entity* lamp = malloc_win_entity("lamp");
    lamp->win_entity_type = WIN_ENTITY_TYPE_LIGHT;
    log.clear();
    EXPECT_EQ(entity_add_hitpoints(lamp, 1.0f), 0);
    EXPECT_EQ(entity_get_hitpoints(lamp), -1.0f);
    EXPECT_EQ(entity_get_hitpoints(nullptr), 0.0f);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{
                  "Cannot change hitpoints of entity lamp because entity is not a character.",
                  "Cannot get hitpoints of entity lamp because entity is not a character.",
                  "Cannot entity_get_hitpoints of a NULL entity."}));
    free_win_entity(lamp);
}

TEST_F(Inventory, ACharacterBeatenStopsAndStartsItsEndScript)
{
    payload(hero)->hitpoints = 10.0f;
    payload(hero)->max_hitpoints = 10.0f;
    payload(hero)->win_ai = malloc_win_ai();
    hero->velocity = {1.0f, 2.0f, 3.0f};
    EXPECT_EQ(entity_add_hitpoints(hero, -4.0f), 1);
    EXPECT_EQ(hero->velocity.x, 1.0f) << "still standing";
    EXPECT_EQ(entity_add_hitpoints(hero, -6.0f), 1);
    EXPECT_EQ(hero->velocity.x, 1.0f) << "no end script, nothing to start";
    payload(hero)->win_ai->end_script = STRDUP("hero_dies");
    EXPECT_EQ(entity_add_hitpoints(hero, -1.0f), 1);
    EXPECT_EQ(hero->velocity.x, 0.0f);
    EXPECT_EQ(hero->velocity.z, 0.0f);
    EXPECT_TRUE(log.contains("hero_dies")) << "the script engine was asked for it";
}

TEST_F(Inventory, FiringCountsShotsAndAmmunitionOfProjectileWeaponsOnly)
{
    win_weapon_data& data = payload(bow)->weapon_data;
    data.ammo_count = 1;
    data.shots_fired = 0;
    EXPECT_EQ(entity_fire_current_weapon(hero), 0) << "nothing in hand";
    entity_set_current_weapon(hero, sword);
    EXPECT_EQ(entity_fire_current_weapon(hero), 0) << "a sword shoots nothing";
    entity_set_current_weapon(hero, bow);
    EXPECT_EQ(entity_fire_current_weapon(hero), 1);
    EXPECT_EQ(entity_fire_current_weapon(hero), 1) << "an empty weapon still fires";
    EXPECT_EQ(data.shots_fired, 2);
    EXPECT_EQ(data.ammo_count, 0);
}

// A size kept beside a ring says nothing about where the ring ends: every
// walk goes once round from the head, whether the size falls short of the
// ring (a count read from a damaged file) or runs far past it.
TEST_F(Inventory, WalksGoOnceRoundTheRingWhateverSizeIsKeptBesideIt)
{
    emitter->win_entity_flag |= ENTITY_FLAG_WEAPON_EMITTER;
    payload(hero)->current_item = key;
    for (int32_t size : {0, 1, 0x26000000}) {
        SCOPED_TRACE(size);
        const int32_t hero_size = hero->child_entity_list_size;
        const int32_t bow_size = bow->child_entity_list_size;
        hero->child_entity_list_size = size;
        bow->child_entity_list_size = size;
        EXPECT_EQ(entity_find_weapon_by_attack(hero, 0x4040), bow);
        EXPECT_EQ(entity_find_weapon_by_attack(hero, 0x4010), nullptr);
        EXPECT_EQ(entity_find_emitter_child(bow), emitter);
        EXPECT_EQ(entity_find_next_item(hero), scroll) << "from the key round past the head";
        EXPECT_EQ(entity_find_prev_item(hero), scroll);
        game_globals.current_weapon = nullptr;
        EXPECT_EQ(entity_find_next_weapon(hero), sword);
        hero->child_entity_list_size = hero_size;
        bow->child_entity_list_size = bow_size;
    }
    payload(hero)->current_item = nullptr;
}

TEST_F(Inventory, WeaponsByAttackKindAndTheHitEffectEmitter)
{
    struct {
        int32_t attack_kind;
        win_entity* weapon;
    } cases[] = {{0x4008, sword}, {0x4040, bow}, {0x4010, nullptr}, {1, nullptr}, {0x8, nullptr}};
    for (const auto& c : cases)
        EXPECT_EQ(entity_find_weapon_by_attack(hero, c.attack_kind), c.weapon) << c.attack_kind;

    win_vect3 direction = {0.0f, 0.0f, 0.0f};
    EXPECT_EQ(entity_fire_emitter(bow, 2, &direction), 0) << "no emitter flagged for hits";
    emitter->win_entity_flag |= ENTITY_FLAG_WEAPON_EMITTER;
    EXPECT_EQ(entity_find_emitter_child(bow), emitter);
    EXPECT_EQ(entity_fire_emitter(bow, 2, &direction), 1);
    EXPECT_EQ(direction.z, 1.0f) << "a direction of no length points along z";
    EXPECT_EQ(emitter->parent_joint_idx, 2);
    EXPECT_EQ(emitter->life_span, 0.25f);
    direction = {0.0f, 3.0f, 4.0f};
    entity_fire_emitter(bow, 0, &direction);
    EXPECT_FLOAT_EQ(direction.y, 0.6f);
}

TEST_F(Inventory, ForgettingAnEntityClearsTheSlotsThatNameIt)
{
    entity_io_global_win_entity_list = nullptr;
    entity_io_global_win_entity_list_size = 0;
    add_to_win_entity_list(&entity_io_global_win_entity_list,
                           &entity_io_global_win_entity_list_size, hero);
    entity_set_current_weapon(hero, sword);
    entity_set_current_item(hero, scroll);
    payload(key)->current_weapon = hero;  // a projectile's owner
    game_globals.current_weapon = sword;
    game_globals.current_item = scroll;

    entity_weapon_forget_entity(sword);
    entity_weapon_forget_entity(scroll);
    EXPECT_EQ(payload(hero)->current_weapon, nullptr);
    EXPECT_EQ(payload(hero)->current_item, nullptr);
    EXPECT_EQ(game_globals.current_weapon, nullptr);
    EXPECT_EQ(game_globals.current_item, nullptr);
    EXPECT_EQ(payload(sword)->current_weapon, hero);
    entity_weapon_forget_entity(hero);
    EXPECT_EQ(payload(sword)->current_weapon, nullptr) << "a weapon's holder";
    EXPECT_EQ(payload(key)->current_weapon, nullptr) << "a projectile's owner";
    remove_from_win_entity_list(&entity_io_global_win_entity_list,
                                &entity_io_global_win_entity_list_size, hero);
}

// A state table of an idle state (0) and holster states for melee (1) and
// projectile (2) weapons; the hero stands in `current`.
win_ast* holster_table(int32_t current)
{
    win_ast* table = malloc_win_ast("holster");
    table->win_anim_table_base_array = malloc_win_anim_table_base_array(3);
    table->win_anim_table_base_array_size = 3;
    const int32_t type_flags[] = {ANIM_TYPE_IDLE_ANIM, ANIM_TYPE_HOLSTERING_1,
                                  ANIM_TYPE_HOLSTERING_1};
    const int32_t reaction_flags[] = {0, ANIM_REACTION_MELEE_1, ANIM_REACTION_PROJECTILE_1};
    for (int32_t i = 0; i < 3; ++i) {
        win_anim_table_base& state = table->win_anim_table_base_array[i];
        state.anim_index = i;
        state.next_anim_index = 0;
        state.mow_anim_index = -1;
        state.anim_type_flags = type_flags[i];
        state.reaction_flags = reaction_flags[i];
    }
    table->current_anim_index = current;
    return table;
}

TEST_F(Inventory, HolsteringWaitsForTheHolsterStateOfTheWeaponsKind)
{
    hero->win_entity_flag &= ~ENTITY_FLAG_BRAIN;  // states switch at once
    hero->win_ast = holster_table(0);
    entity_set_current_weapon(hero, sword);
    payload(sword)->weapon_data.shots_fired = 3;
    EXPECT_EQ(entity_holster_current_weapon(hero), 0);
    EXPECT_EQ(hero->win_ast->current_anim_index, 1);
    EXPECT_EQ(payload(sword)->weapon_data.shots_fired, 0);
    EXPECT_EQ(entity_holster_current_weapon(hero), 0) << "while the holster state plays";
    hero->win_ast->current_anim_index = 0;
    entity_set_current_weapon(hero, nullptr);  // what the holster state does at its end
    EXPECT_EQ(entity_holster_current_weapon(hero), 1);

    // A weapon of two kinds is holstered as the higher one.
    sword->win_entity_flag |= ENTITY_FLAG_PROJECTILE_1;
    entity_set_current_weapon(hero, sword);
    EXPECT_EQ(entity_holster_current_weapon(hero), 0);
    EXPECT_EQ(hero->win_ast->current_anim_index, 2);
}

TEST_F(Inventory, WithoutAStateTableTheWeaponIsPutAwayAtOnce)
{
    entity_set_current_weapon(hero, sword);
    EXPECT_EQ(entity_holster_current_weapon(hero), 1);
    EXPECT_EQ(payload(hero)->current_weapon, nullptr);
    EXPECT_EQ(sword->life_span, -1.0f);
    win_entity* lamp = malloc_win_entity("lamp");
    lamp->win_entity_type = WIN_ENTITY_TYPE_LIGHT;
    EXPECT_EQ(entity_holster_current_weapon(lamp), 1) << "nothing to wait for";
    EXPECT_EQ(entity_holster_current_weapon(nullptr), 0);
    free_win_entity(lamp);
}

// The player's weapon and item icons and the closeup on a game window of the
// recording back-end, with the textures "sword_icon", "scroll_icon",
// "scroll_closeup" and "default_icon" in the bitmap directory.
class HudTextures : public Inventory {
protected:
    void SetUp() override
    {
        Inventory::SetUp();
        for (const char* name : {"sword_icon", "scroll_icon", "scroll_closeup", "default_icon"})
            dir.write(std::string("bitmap/") + name + ".tga",
                      tga_image(1, 1, 32, false, 0x28, {0xFF336699}));
        std::strcpy(game_globals.bitmaps_pathname, dir.file("bitmap").c_str());
        window = test_open_game_window("Hud Test Window", DefWindowProc);
        ASSERT_NE(window, nullptr);
        game_globals.player_character = hero;
        log.clear();
    }
    void TearDown() override
    {
        fixture_release_hud_textures();
        d3dtextr_cleanup();
        d3dxframe_unitialize();
        win32_reset();
        Inventory::TearDown();
    }
    // The reference count of the cached texture `name`; 0 when not cached.
    int32_t count_of(const char* name)
    {
        texture_container* texture = d3dtexr_texture_container_list;
        for (int32_t i = 0; texture && i < d3dtexr_texture_container_list_size;
             ++i, texture = texture->next_ptr)
            if (std::strcmp(texture->texture_container_name, name) == 0)
                return texture->texture_container_ref_cnt;
        return 0;
    }
    TempDir dir;
    HWND window = nullptr;
};

TEST_F(HudTextures, EachSlotHoldsOneCountedReference)
{
    ASSERT_EQ(entity_set_current_weapon(hero, sword), 1);
    EXPECT_EQ(game_globals.current_weapon, sword);
    ASSERT_NE(game_globals.weapon_icon_texture, nullptr);
    EXPECT_STREQ(game_globals.weapon_icon_texture->texture_container_name, "sword_icon");
    EXPECT_EQ(count_of("sword_icon"), 2) << "the cache's and the slot's";

    // The bow has no icon: the default one stands in.
    ASSERT_EQ(entity_set_current_weapon(hero, bow), 1);
    EXPECT_EQ(log.errors().back(), "Could not find icon texture bow_icon.");
    EXPECT_STREQ(game_globals.weapon_icon_texture->texture_container_name, "default_icon");
    EXPECT_EQ(count_of("sword_icon"), 1);
    EXPECT_EQ(count_of("default_icon"), 2);

    ASSERT_EQ(entity_set_current_item(hero, scroll), 1);
    EXPECT_EQ(game_globals.current_item, scroll);
    EXPECT_EQ(count_of("scroll_icon"), 2);
    entity_set_current_item(hero, scroll);
    EXPECT_EQ(count_of("scroll_icon"), 2) << "the same icon again is still one reference";

    // A level change sweeps what nobody counts; the icons stay.
    EXPECT_EQ(d3dtextr_clean_texture_container_list(), 1);
    EXPECT_EQ(count_of("sword_icon"), 0);
    EXPECT_EQ(count_of("scroll_icon"), 2);
    EXPECT_EQ(count_of("default_icon"), 2);

    fixture_release_hud_textures();
    EXPECT_EQ(game_globals.weapon_icon_texture, nullptr);
    EXPECT_EQ(count_of("scroll_icon"), 1);
    EXPECT_EQ(count_of("default_icon"), 1);
}

TEST_F(HudTextures, TheCloseupBlocksUntilDismissed)
{
    EXPECT_EQ(entity_display_closeup(scroll), 0);
    EXPECT_EQ(game_globals.display_closeup, 1);
    ASSERT_NE(game_globals.closeup_texture, nullptr);
    EXPECT_STREQ(game_globals.closeup_texture->texture_container_name, "scroll_closeup");
    EXPECT_EQ(count_of("scroll_closeup"), 2);
    EXPECT_EQ(entity_display_closeup(scroll), 0) << "shown";
    game_globals.display_closeup = 0;  // the player dismissed it
    EXPECT_EQ(entity_display_closeup(scroll), 1);
    EXPECT_EQ(closeup_request_state, 1);

    EXPECT_EQ(entity_display_closeup(key), 0);
    EXPECT_EQ(log.errors().back(), "Unable to find closeup texture for entity key.");
    EXPECT_STREQ(game_globals.closeup_texture->texture_container_name, "default_icon");
    EXPECT_EQ(count_of("scroll_closeup"), 1);
}

}  // namespace
