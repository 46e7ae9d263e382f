#include <gtest/gtest.h>

#include <functional>

#include "demo_entity.h"
#include "heap.h"
#include "record_support.h"
#include "test_support.h"
#include "win_entity.h"

namespace {

template <class T>
std::string record_bytes(const record_type* type, const T* record)
{
    return written_bytes([&](FILE* file) { return record_write_bin(type, file, record); });
}

template <class T>
T* read_back(const record_type* type, const std::string& bytes)
{
    return (T*)record_read_bytes(type, bytes);
}

}  // namespace

TEST(WinCharacter, WhatTheRuntimeMakesIsNeverStoredButIsReleased)
{
    // A character as the runtime leaves it: a shared model, its own AI and
    // a weapon in hand.
    win_entity* hero = demo_entity_make_hero();
    win_character* character = hero->u.win_character;
    mow_model* model = malloc_mow_model("demo_figure");
    ++model->mow_model_ref_cnt;  // another character's
    character->mow_model = model;
    character->win_ai = malloc_win_ai();
    character->current_weapon = hero->child_entity_list;
    std::string bytes = record_bytes(&win_character_desc, character);
    EXPECT_EQ(bytes.substr(4, 4), zero_words(1));    // the model
    EXPECT_EQ(bytes.substr(48, 12), zero_words(3));  // the AI, the weapon and the item

    // A stored AI word names no item: the AI file name follows the model's.
    std::string stored_ai = with_word(bytes, 48, 1);
    win_character* read = read_back<win_character>(&win_character_desc, stored_ai);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->win_ai, nullptr);
    EXPECT_STREQ(read->ai_filename, "hero");
    EXPECT_EQ(free_win_character(read), 1);

    // Releasing the character lets go of its model and its AI, never of its
    // weapon, which belongs to the entity tree.
    hero->u.win_character = nullptr;
    EXPECT_EQ(free_win_character(character), 1);
    EXPECT_EQ(model->mow_model_ref_cnt, 1);
    EXPECT_STREQ(hero->child_entity_list->win_entity_name, "sword");
    EXPECT_EQ(free_mow_model(model), 1);
    EXPECT_EQ(free_win_entity(hero), 1);
}

TEST(WinEnvironment, HullsAndExploreCamerasCountTheirHolders)
{
    // Two slots on one hull hold two references, and let go of both.
    win_collision* hull = malloc_win_collision("shared");
    win_environment* env = malloc_win_environment();
    env->win_collision_ptr_array = malloc_win_collision_ptr_array(2);
    env->win_collision_ptr_array_size = 2;
    env->win_collision_ptr_array[0] = env->win_collision_ptr_array[1] = hull;
    hull->win_collision_ref_cnt += 2;
    EXPECT_EQ(free_win_environment(env), 1);
    EXPECT_EQ(hull->win_collision_ref_cnt, 1);

    // An explore camera read alone or in a list has one reference, one read
    // in an array none; its zone is the runtime's and is never read.
    win_explore_cam* cam = malloc_win_explore_cam("gate_cam");
    cam->explore_cam_zone = hull;
    ++hull->win_collision_ref_cnt;
    cam->explore_cam_acceleration = 250.0f;
    std::string bytes = record_bytes(&win_explore_cam_desc, cam);
    EXPECT_EQ(free_win_explore_cam(cam), 1);
    EXPECT_EQ(hull->win_collision_ref_cnt, 1);
    auto read_from = [](const std::string& stream, auto reader) {
        FILE* file = file_with_bytes(stream);
        auto* read = reader(file);
        std::fclose(file);
        return read;
    };
    std::string image = bytes.substr(0, 64), name = bytes.substr(64);
    struct Case {
        const char* what;
        std::function<int32_t()> count;  // of the first camera read; releases what it read
        int32_t expected;
    };
    const Case cases[] = {
        {"alone",
         [&] {
             win_explore_cam* one = read_from(bytes, read_win_explore_cam_bin);
             int32_t count = one->win_explore_cam_ref_cnt;
             EXPECT_EQ(one->explore_cam_zone, nullptr);
             EXPECT_FLOAT_EQ(one->explore_cam_acceleration, 250.0f);
             EXPECT_FLOAT_EQ(one->explore_cam_slow_distance,
                             -1.0f);  // the runtime's load gives the default
             free_win_explore_cam(one);
             return count;
         },
         1},
        {"in an array",
         [&] {
             win_explore_cam* array = read_from(image + image + name + name, [](FILE* file) {
                 return read_win_explore_cam_array_bin(file, 2);
             });
             int32_t count = array[1].win_explore_cam_ref_cnt;
             free_win_explore_cam_array(array, 2);
             return count;
         },
         0},
        {"in a list",
         [&] {
             win_explore_cam* list = read_from(
                 bytes + bytes, [](FILE* file) { return read_win_explore_cam_list_bin(file, 2); });
             int32_t count = list->next_ptr->win_explore_cam_ref_cnt;
             free_win_explore_cam_list(list);
             return count;
         },
         1},
    };
    LogCapture log;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.count(), c.expected);
    }
    EXPECT_TRUE(log.errors().empty());
    EXPECT_EQ(free_win_collision(hull), 1);
}

TEST(WinLight, ALightKeepsItsSlotButACopyTakesNone)
{
    win_entity* lamp = demo_entity_make_lamp();
    win_light* light = lamp->u.win_light;
    light->light_slot = 3;
    std::string bytes = record_bytes(&win_light_desc, light);
    expect_record_round_trip(&win_light_desc, bytes);
    win_light* read = read_back<win_light>(&win_light_desc, bytes);
    EXPECT_EQ(read->light_slot, 3);  // as stored: the records never scale or drop anything
    EXPECT_FLOAT_EQ(read->d3d_light.dcvDiffuse.g, 200.0f);
    free_win_light(read);

    win_light* copy = duplicate_win_light(light);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->win_light_name, "lamp_light");
    EXPECT_NE(copy->win_light_name, light->win_light_name);
    EXPECT_EQ(copy->next_ptr, copy);
    EXPECT_EQ(std::memcmp(&copy->d3d_light, &light->d3d_light, sizeof(d3d_light)), 0);
    EXPECT_EQ(copy->light_slot, -1);
    EXPECT_EQ(light->light_slot, 3);
    free_win_light(copy);
    free_win_entity(lamp);

    LogCapture log;
    EXPECT_EQ(duplicate_win_light(nullptr), nullptr);
    EXPECT_EQ(log.errors(),
              std::vector<std::string>{"Cannot duplicate_win_light with NULL template_win_light."});
}

TEST(WinCamera, TargetsAreStoredFromTheHeadOfTheRing)
{
    win_camera* camera = malloc_win_camera();
    for (const char* name : {"hero", "gate", "tower"}) {
        win_camera_target* target = malloc_win_camera_target(name);
        target->target_entity = (win_entity*)camera;  // any address: it is not stored
        target->explore_cam_idx = 2;
        target->target_joint_idx = 5;
        add_to_win_camera_target_list(&camera->win_camera_target_list,
                                      &camera->win_camera_target_list_size, target);
    }
    camera->win_camera_target_list = camera->win_camera_target_list->next_ptr;  // "gate" leads
    std::string bytes = record_bytes(&win_camera_desc, camera);
    free_win_camera(camera);
    win_camera* read = read_back<win_camera>(&win_camera_desc, bytes);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->win_camera_target_list_size, 3);
    const win_camera_target* target = read->win_camera_target_list;
    for (const char* name : {"gate", "tower", "hero"}) {
        EXPECT_STREQ(target->win_camera_target_name, name);
        EXPECT_EQ(target->target_entity, nullptr);
        EXPECT_EQ(target->explore_cam_idx, 2);
        EXPECT_EQ(target->target_joint_idx, 5);
        target = target->next_ptr;
    }
    EXPECT_EQ(target, read->win_camera_target_list);
    EXPECT_EQ(free_win_camera(read), 1);

    // A ring that holds another number of targets than its count is refused.
    LogCapture log;
    win_camera* odd = malloc_win_camera();
    add_to_win_camera_target_list(&odd->win_camera_target_list, &odd->win_camera_target_list_size,
                                  malloc_win_camera_target("hero"));
    odd->win_camera_target_list_size = 2;
    FILE* file = std::tmpfile();
    EXPECT_EQ(write_win_camera_bin(file, odd), 0);
    std::fclose(file);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Could not write_win_camera_target_list_bin, list_size = 2, "
                                "elements written = 1.",
                                "Could not write_camera_target_list_bin."}));
    free_win_camera(odd);
}

TEST(WinEmitter, TheParticleNameIsTheOnlyItem)
{
    win_emitter* emitter = malloc_win_emitter();
    emitter->particle_template = STRDUP("spark");
    emitter->particle_speed_variance = 7;
    std::string bytes = record_bytes(&win_emitter_desc, emitter);
    ASSERT_EQ(bytes.size(), 84u);
    EXPECT_EQ(bytes.substr(24, 4), ImageBytes().word(7).bytes());  // a whole number
    EXPECT_EQ(bytes.substr(72), ImageBytes().word(6).raw(std::string("spark\0\0\0", 8)).bytes());

    // An array: both images, then the one name there is.
    win_emitter* array = malloc_win_emitter_array(2);
    array[1].particle_template = STRDUP("ember");
    std::string stored = written_bytes(
        [&](FILE* file) { return write_win_emitter_array_bin(file, array, 2); });
    EXPECT_EQ(stored.size(), 144u + 12u);
    expect_record_round_trip(&win_emitter_desc, stored, RecordForm::array, 2);
    free_win_emitter_array(array, 2);

    win_emitter* read = read_back<win_emitter>(&win_emitter_desc, bytes);
    EXPECT_EQ(read->particle_speed_variance, 7);
    EXPECT_STREQ(read->particle_template, "spark");
    free_win_emitter(read);
    free_win_emitter(emitter);
}
