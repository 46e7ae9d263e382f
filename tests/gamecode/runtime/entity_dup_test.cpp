#include "entity_dup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo_entity.h"
#include "heap.h"
#include "test_support.h"
#include "win_entity.h"

namespace {

// The names of a ring's members, each followed by its own members in
// brackets, to any depth.
std::string tree_shape(const win_entity* entity)
{
    std::string shape = entity->win_entity_name ? entity->win_entity_name : "(null)";
    const win_entity* child = entity->child_entity_list;
    if (!child)
        return shape;
    shape += "[";
    for (int32_t i = 0; i < entity->child_entity_list_size; ++i, child = child->next)
        shape += (i ? " " : "") + tree_shape(child);
    return shape + "]";
}

std::string entity_bytes(const win_entity* entity)
{
    return written_bytes([&](FILE* file) { return write_win_entity_bin(file, entity); });
}

win_entity* child_named(const win_entity* parent, const std::string& name)
{
    win_entity* child = parent->child_entity_list;
    for (int32_t i = 0; i < parent->child_entity_list_size; ++i, child = child->next)
        if (name == child->win_entity_name)
            return child;
    return nullptr;
}

// The loader gives a state table a slot for each animation it names; the
// demo hero's table comes without them.
void give_anim_slots(win_entity* entity)
{
    win_ast* table = entity->win_ast;
    table->mow_anim_ptr_array = malloc_mow_anim_ptr_array(table->mow_anim_filename_array_size);
    table->mow_anim_ptr_array_size = table->mow_anim_filename_array_size;
}

// A character with what the loader gives a loaded one: a shared model, a
// pose of three joints (joint 1 with a callback), two appendage spheres of
// two segments each and its own AI record with a goal.
int test_callback(mow_track_augment*, const win_matrix43*)
{
    return 1;
}

struct LoadedCharacter {
    win_entity* entity = nullptr;
    mow_model* model = nullptr;

    LoadedCharacter()
    {
        entity = demo_entity_make_hero();
        give_anim_slots(entity);
        model = malloc_mow_model("demo_figure");
        win_character* character = entity->u.win_character;
        character->mow_model = model;
        character->mow_track_augment_array = malloc_mow_track_augment_array(3);
        character->mow_track_augment_array_size = 3;
        character->mow_track_augment_array[1].mow_augment_callback = test_callback;
        character->mow_track_augment_array[2].mow_augment_sphere_center = {1.0f, 2.0f, 3.0f};
        character->current_appendage_sphere_keys = malloc_mow_appendage_sphere_key_array(2);
        character->current_appendage_sphere_keys_size = 2;
        for (int32_t i = 0; i < 2; ++i) {
            mow_appendage_sphere_key& key = character->current_appendage_sphere_keys[i];
            key.radius = 4.0f + (float)i;
            key.mow_segment_key_array = malloc_mow_segment_key_array(2);
            key.mow_segment_key_array_size = 2;
            key.mow_segment_key_array[1].segment_length = 7.0f;
        }
        character->win_ai = malloc_win_ai();
        character->win_ai->personality.attack_interval = 2.5f;
        win_goal_entry* goal = malloc_win_goal_entry();
        add_to_win_goal_entry_list(&character->win_ai->win_goal_entry_list,
                                   &character->win_ai->win_goal_entry_list_size, goal);
        // The hero holds its sword, and the sword names its holder.
        win_entity* sword = child_named(entity, "sword");
        character->current_weapon = sword;
        sword->u.win_character->current_weapon = entity;
    }
    ~LoadedCharacter()
    {
        free_win_entity(entity);  // releases the model with its last reference
    }
};

class Duplication : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        log.clear();
    }
    LogCapture log;
};

TEST_F(Duplication, CopiesTheWholeTreeInOrderWithItsOwnMembers)
{
    win_entity* level = demo_entity_make_level();
    ASSERT_NE(level, nullptr);
    win_entity* lamp = child_named(level, "lamp");
    lamp->u.win_light->light_slot = 3;
    give_anim_slots(child_named(level, "hero"));
    win_collision* wall = level->u.win_environment->win_collision_ptr_array[0];
    int32_t wall_count = wall->win_collision_ref_cnt;

    win_entity* copy = entity_duplicate_win_entity(level);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(log.errors(), std::vector<std::string>{});
    EXPECT_EQ(tree_shape(copy), "courtyard[hero[sword] lamp camera sparks]");
    EXPECT_EQ(tree_shape(copy), tree_shape(level));
    EXPECT_EQ(copy->next, copy) << "a copy is in no ring";
    EXPECT_NE(copy->win_entity_name, level->win_entity_name);

    // Every member other than the environment copies byte for byte.
    for (const char* name : {"hero", "camera", "sparks"})
        EXPECT_EQ(entity_bytes(child_named(copy, name)), entity_bytes(child_named(level, name)))
            << name;
    win_entity* hero = child_named(copy, "hero");
    EXPECT_NE(hero->win_state_array, child_named(level, "hero")->win_state_array);
    EXPECT_EQ(hero->win_state_array[1], 1.0f);

    // The light holds no device slot of its own yet.
    EXPECT_EQ(child_named(copy, "lamp")->u.win_light->light_slot, -1);

    // The hulls are shared and counted; the triggers come without their
    // volume, the explore camera shares its zone, and no map is copied.
    const win_environment* env = copy->u.win_environment;
    EXPECT_EQ(env->win_collision_ptr_array[0], wall);
    EXPECT_EQ(wall->win_collision_ref_cnt, wall_count + 1);
    EXPECT_STREQ(env->win_trigger_array[0].win_trigger_name, "gate");
    EXPECT_EQ(env->win_trigger_array[0].win_trigger_collision, nullptr);
    EXPECT_EQ(env->win_trigger_array[0].prev_ptr, &env->win_trigger_array[0]);
    EXPECT_STREQ(env->win_explore_cam_array[0].explore_cam_script, "look_at_gate");
    EXPECT_EQ(env->win_map_filename, nullptr);
    EXPECT_EQ(env->win_map, nullptr);

    // Two camera targets, in order, each linked into the copy's own ring.
    const win_camera* camera = child_named(copy, "camera")->u.win_camera;
    ASSERT_EQ(camera->win_camera_target_list_size, 2);
    EXPECT_STREQ(camera->win_camera_target_list->win_camera_target_name, "hero");
    EXPECT_STREQ(camera->win_camera_target_list->next_ptr->win_camera_target_name, "gate");
    EXPECT_NE(camera->win_camera_target_list,
              child_named(level, "camera")->u.win_camera->win_camera_target_list);

    EXPECT_EQ(free_win_entity(copy), 1);
    EXPECT_EQ(wall->win_collision_ref_cnt, wall_count);
    free_win_entity(level);

    // A single state value is copied as well.
    win_entity* lamp_alone = demo_entity_make_lamp();
    lamp_alone->win_state_array = (float*)MALLOC(sizeof(float));
    lamp_alone->win_state_array[0] = 5.0f;
    lamp_alone->win_state_array_size = 1;
    win_entity* lamp_copy = entity_duplicate_win_entity(lamp_alone);
    ASSERT_NE(lamp_copy, nullptr);
    ASSERT_NE(lamp_copy->win_state_array, nullptr);
    EXPECT_NE(lamp_copy->win_state_array, lamp_alone->win_state_array);
    EXPECT_EQ(lamp_copy->win_state_array[0], 5.0f);
    free_win_entity(lamp_copy);
    free_win_entity(lamp_alone);
}

TEST_F(Duplication, ACharacterSharesItsModelAndOwnsItsPoseKeysAndAi)
{
    int64_t blocks = heap_live_blocks();
    {
        LoadedCharacter hero;
        win_character* templ = hero.entity->u.win_character;
        win_entity* copy = entity_duplicate_win_entity(hero.entity);
        ASSERT_NE(copy, nullptr);
        win_character* character = copy->u.win_character;
        EXPECT_EQ(character->mow_model, hero.model);
        EXPECT_EQ(hero.model->mow_model_ref_cnt, 2);

        ASSERT_EQ(character->mow_track_augment_array_size, 3);
        EXPECT_NE(character->mow_track_augment_array, templ->mow_track_augment_array);
        EXPECT_EQ(character->mow_track_augment_array[1].mow_augment_callback, test_callback);
        EXPECT_EQ(character->mow_track_augment_array[2].mow_augment_sphere_center.z, 3.0f);

        ASSERT_EQ(character->current_appendage_sphere_keys_size, 2);
        EXPECT_NE(character->current_appendage_sphere_keys, templ->current_appendage_sphere_keys);
        EXPECT_EQ(character->current_appendage_sphere_keys[1].radius, 5.0f);
        EXPECT_NE(character->current_appendage_sphere_keys[1].mow_segment_key_array,
                  templ->current_appendage_sphere_keys[1].mow_segment_key_array);
        EXPECT_EQ(
            character->current_appendage_sphere_keys[1].mow_segment_key_array[1].segment_length,
            7.0f);

        // The AI keeps its personality and starts without goals.
        ASSERT_NE(character->win_ai, nullptr);
        EXPECT_NE(character->win_ai, templ->win_ai);
        EXPECT_EQ(character->win_ai->personality.attack_interval, 2.5f);
        EXPECT_EQ(character->win_ai->win_goal_entry_list, nullptr);

        // The copy holds its own sword, and that sword names the copy.
        win_entity* sword = child_named(copy, "sword");
        EXPECT_EQ(character->current_weapon, sword);
        EXPECT_EQ(sword->u.win_character->current_weapon, copy);

        free_win_entity(copy);
        EXPECT_EQ(hero.model->mow_model_ref_cnt, 1);
    }
    EXPECT_EQ(heap_live_blocks(), blocks);
}

TEST_F(Duplication, AParticleCopiesItsEmitterAndOutsidePointersStay)
{
    win_entity* sparks = demo_entity_make_sparks();
    win_entity* owner = demo_entity_make_hero();
    // A weapon duplicated on its own keeps naming its holder, which the
    // duplication does not copy.
    win_entity* sword = child_named(owner, "sword");
    sword->u.win_character->current_weapon = owner;
    int64_t blocks = heap_live_blocks();

    win_entity* copy = entity_duplicate_win_entity(sparks);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(entity_bytes(copy), entity_bytes(sparks));
    EXPECT_NE(copy->u.win_emitter->particle_template, sparks->u.win_emitter->particle_template);
    win_entity* sword_copy = entity_duplicate_win_entity(sword);
    ASSERT_NE(sword_copy, nullptr);
    EXPECT_EQ(sword_copy->u.win_character->current_weapon, owner);
    free_win_entity(copy);
    free_win_entity(sword_copy);
    EXPECT_EQ(heap_live_blocks(), blocks);
    free_win_entity(sparks);
    free_win_entity(owner);
}

TEST_F(Duplication, AnAllocationFailureAnywhereLeavesNothingAndEveryCountAsItWas)
{
    LoadedCharacter hero;
    win_entity* level = demo_entity_make_level();
    win_collision* wall = level->u.win_environment->win_collision_ptr_array[0];
    win_collision* zone = malloc_win_collision("gate_zone");
    level->u.win_environment->win_explore_cam_array[0].explore_cam_zone = zone;
    child_named(level, "camera")->u.win_camera->win_ai = malloc_win_ai();
    for (win_entity* templ : {hero.entity, level}) {
        int swept = heap_failure_sweep([&] {
            win_entity* copy = entity_duplicate_win_entity(templ);
            return copy && free_win_entity(copy);
        });
        EXPECT_GT(swept, 20) << templ->win_entity_name;
        EXPECT_EQ(hero.model->mow_model_ref_cnt, 1);
        EXPECT_EQ(wall->win_collision_ref_cnt, 1);
        EXPECT_EQ(zone->win_collision_ref_cnt, 1);
    }
    free_win_entity(level);
}

TEST_F(Duplication, RefusalsLeaveNothingAllocated)
{
    win_entity* odd = malloc_win_entity("odd");
    odd->win_entity_type = 6;
    char* names[] = {(char*)"a", nullptr};
    int64_t blocks = heap_live_blocks();
    struct {
        bool made;
        const char* error;
    } cases[] = {
        {entity_duplicate_win_entity(nullptr) != nullptr,
         "Cannot entity_duplicate_win_entity with NULL template_win_entity."},
        {entity_duplicate_win_entity(odd) != nullptr, "Unknown win_entity_type = 6"},
        {duplicate_win_filename_ptr_array(nullptr, 2) != nullptr,
         "Cannot duplicate_win_filename_ptr_array with NULL template_filename_ptr_array."},
        {duplicate_win_filename_ptr_array(names, 0) != nullptr, "Bad filename_ptr_array_size = 0"},
        {duplicate_win_state_name_ptr_array(names, -1) != nullptr,
         "Bad template_state_name_ptr_array_size = -1"},
        {duplicate_win_explore_cam_array(nullptr, 1) != nullptr,
         "Cannot duplicate_win_explore_cam_array with NULL template_win_explore_cam_array."},
        {duplicate_win_character(nullptr) != nullptr,
         "Cannot duplicate_win_character with NULL template_win_character."},
    };
    std::vector<std::string> errors = log.errors();
    ASSERT_EQ(errors.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_FALSE(cases[i].made) << cases[i].error;
        EXPECT_EQ(errors[i], cases[i].error);
    }
    EXPECT_EQ(heap_live_blocks(), blocks);

    // Empty entries of a string array stay empty.
    win_filename_ptr* copy = duplicate_win_filename_ptr_array(names, 2);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy[0], "a");
    EXPECT_NE(copy[0], names[0]);
    EXPECT_EQ(copy[1], nullptr);
    free_win_filename_ptr_array(copy, 2);
    odd->win_entity_type = WIN_ENTITY_TYPE_CHARACTER;
    free_win_entity(odd);
}

}  // namespace
