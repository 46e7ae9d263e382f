#include <gtest/gtest.h>

#include <cstring>

#include "demo_entity.h"
#include "heap.h"
#include "record_support.h"
#include "test_support.h"
#include "win_entity.h"

namespace {

std::string entity_bytes(const win_entity* entity)
{
    return written_bytes([&](FILE* file) { return write_win_entity_bin(file, entity); });
}

template <class T>
std::string flat_bytes(const T& value)
{
    return std::string((const char*)&value, sizeof value);
}

uint32_t word_at(const std::string& bytes, size_t offset)
{
    uint32_t word;
    std::memcpy(&word, &bytes.at(offset + 3) - 3, 4);
    return word;
}

const win_matrix43 unplaced = {};

win_matrix43 placed_at(float x, float y, float z)
{
    return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {x, y, z}}, WIN_ATTRIB_TRANSLATE};
}

// The words of an entity image that the demo entities set; the others hold
// the defaults. A count stands beside a present word when it is above 0.
struct Image {
    bool name = true;
    uint32_t flag = 0x0018003d;
    win_matrix43 local = unplaced;
    int32_t parent_joint_idx = -1;
    bool ast_filename = false;
    bool ast = false;
    int32_t filenames = 0;
    int32_t children = 0;
    int32_t state_names = 0;
    int32_t states = 0;
    int32_t type = WIN_ENTITY_TYPE_CHARACTER;
    bool payload = true;
};

// The entity image, field by field at the offsets of the file format.
std::string entity_image(const Image& image)
{
    ImageBytes bytes;
    bytes
        .words({1, 1, image.name})               // 0 links, 8 name
        .word(image.flag)                        // 12
        .word(0)                                 // 16
        .reals({0, 0, 0})                        // 20 rotation velocity
        .words({0, 0, 0})                        // 32
        .reals({0, 0, 0})                        // 44 velocity
        .reals({0, 0, 0})                        // 56 acceleration
        .raw(flat_bytes(image.local))            // 68
        .real(ETERNAL_LIFE_SPAN)                 // 120
        .word((uint32_t)image.parent_joint_idx)  // 124
        .reals({0, 0, 0, 0, 0, 0, 1, 1, 1})      // 128 root transform: no motion yet
        .word(0)
        .raw(zero_words(13 + 13))  // 168 world matrix, 220 the last frame's
        .reals({1, 1, 1})          // 272 gravity factors
        .real(1.0f)                // 284 bounce threshold
        .word(0)                   // 288 run time
        .word(image.ast_filename)  // 292
        .word(image.ast);          // 296
    for (int32_t count : {image.filenames, image.children, image.state_names, image.states})
        bytes.word((uint32_t)count).word(count > 0);       // 300 .. 328
    bytes.word((uint32_t)image.type).word(image.payload);  // 332, 336
    return bytes.bytes();
}

// A bare child: the default entity named "marker".
std::string marker_bytes()
{
    return entity_image({.payload = false}) + ImageBytes().str("marker").bytes();
}

void add_marker(win_entity* entity)
{
    add_to_win_entity_list(&entity->child_entity_list, &entity->child_entity_list_size,
                           malloc_win_entity("marker"));
}

// The tree written as an entity file and read back from it by both forms:
// what they build writes the same stream again.
std::string file_stream_of(const win_entity* entity)
{
    TempDir dir;
    std::string path = dir.file("tree.enw");
    EXPECT_EQ(demo_entity_write_file(path.c_str(), entity), 1);
    std::string file = read_host_file(path);
    EXPECT_EQ(file.substr(FILE_HDR_BANNER_SIZE, 8), ImageBytes().words({13, 155}).bytes());

    int found = 0;
    FILE* in = file_open_search_verify_version_bin(path.c_str(), nullptr, FILE_TYPE_ENTITY,
                                                   FILE_VERSION_ENTITY, &found);
    EXPECT_NE(in, nullptr);
    win_entity* read = in ? read_win_entity_bin(in) : nullptr;
    EXPECT_EQ(in ? std::ftell(in) : 0L, (long)file.size());
    if (in)
        file_close(in);
    EXPECT_NE(read, nullptr);
    if (read) {
        EXPECT_EQ(entity_bytes(read), file.substr(FILE_HDR_SIZE));
        EXPECT_EQ(free_win_entity(read), 1);
    }

    int32_t size = 0;
    char* image = file_mem_load_search_verify_version_bin(path.c_str(), nullptr, FILE_TYPE_ENTITY,
                                                          FILE_VERSION_ENTITY, &found, &size);
    link_arena arena = {};
    link_cursor cursor = link_arena_begin(&arena, image, size, FILE_HDR_SIZE);
    win_entity* linked = link_win_entity(&cursor);
    EXPECT_NE(linked, nullptr);
    EXPECT_EQ(cursor.data, cursor.end);
    if (linked) {
        EXPECT_EQ(entity_bytes(linked), file.substr(FILE_HDR_SIZE));
    }
    link_arena_free(&arena);
    return file.substr(FILE_HDR_SIZE);
}

}  // namespace

TEST(WinEntity, NewRecordsHoldTheirDefaults)
{
    const std::string minus_one = ImageBytes().real(-1.0f).bytes();
    auto repeat = [](const std::string& word, int n) {
        std::string words;
        while (n-- > 0)
            words += word;
        return words;
    };
    expect_default_images({
        {&win_entity_desc, entity_image({.name = false, .payload = false})},
        {&win_weapon_data_desc,
         ImageBytes().words({6, 0, 0}).reals({0, 1, 1}).words({99, 99}).bytes()},
        {&win_character_desc,
         ImageBytes()
             .raw(zero_words(8))
             .reals({0, 0, 0})
             .raw(zero_words(4))
             .reals({0, 1, -1, -1, 1})  // bounce, radius scale, hit points, their maximum, mass
             .words({6, 0, 0})
             .reals({0, 1, 1})
             .words({99, 99})
             .bytes()},
        {&win_environment_desc, zero_words(10)},
        {&win_explore_cam_desc, ImageBytes()
                                    .words({1, 1, 0, 1})
                                    .raw(zero_words(7))
                                    .reals({-1, -1, -1})
                                    .words({0, 0})
                                    .bytes()},
        {&d3d_light_desc, ImageBytes()
                              .word(0)
                              .raw(repeat(minus_one, 12))
                              .raw(zero_words(6))
                              .raw(repeat(minus_one, 7))
                              .bytes()},
        {&win_light_desc, ImageBytes()
                              .words({1, 1, 0})
                              .word(0)
                              .raw(repeat(minus_one, 12))
                              .raw(zero_words(6))
                              .raw(repeat(minus_one, 7))
                              .word(0xffffffff)
                              .bytes()},
        {&win_camera_desc, ImageBytes().words({0, 0, 0}).real(-1.0f).bytes()},
        {&win_camera_target_desc,
         ImageBytes().words({1, 1, 0, 0, 0xffffffff}).reals({0, 0, 0}).word(0xffffffff).bytes()},
        {&win_emitter_desc, ImageBytes()
                                .words({0, 20, 0})
                                .reals({10, 0, 50})
                                .word(0)
                                .reals({-1, 0, 0})
                                .raw(repeat(minus_one, 8))
                                .bytes()},
        {&win_shader_desc,
         ImageBytes().raw(zero_words(7)).word(0xffffffff).reals({-1, -1, -1, -1, 1}).bytes()},
    });

    // A new entity is linked to itself and named as asked; without a name it
    // warns, and warns again when released.
    LogCapture log;
    win_entity* entity = malloc_win_entity("hero");
    EXPECT_EQ(entity->next, entity);
    EXPECT_STREQ(entity->win_entity_name, "hero");
    EXPECT_EQ(free_win_entity(entity), 1);
    EXPECT_EQ(free_win_entity(malloc_win_entity("")), 1);
    EXPECT_EQ(log.warnings(),
              (std::vector<std::string>{
                  "win_entity_name is NULL (or 0 length) in malloc_win_entity win_entity_struct",
                  "win_entity_ptr did not have win_entity_name to free."}));
}

namespace {

// The stream of each demo entity with one child, built piece by piece: the
// entity image, its items in their order, the child, the payload image and
// the payload's items. Records with suites of their own (state tables,
// hulls, triggers, AI records) stand in by their own writers.

std::string sword_stream()
{
    return entity_image({.flag = ENTITY_FLAG_VISIBLE | ENTITY_FLAG_WEAPON | ENTITY_FLAG_MELEE_1,
                         .local = placed_at(0, 1, 0),
                         .parent_joint_idx = 1}) +
           ImageBytes()
               .str("sword")
               .raw(zero_words(8))            // no model, arrays or names: the runtime's
               .reals({0, 0, 0, 0, 0, 0, 0})  // location; no AI; 52, 56 run time
               .reals({0, 1, -1, -1, 1})
               .words({1, 0, 0})  // 80 weapon values: a clip of one
               .reals({0, 1, 1})
               .words({99, 99})
               .bytes();
}

std::string hero_stream(const win_entity* hero)
{
    std::string table = written_bytes(
        [&](FILE* file) { return write_win_ast_bin(file, hero->win_ast); });
    return entity_image({.flag = 0x0018003d | ENTITY_FLAG_TARGET,
                         .local = placed_at(0, 0, 50),
                         .ast_filename = true,
                         .ast = true,
                         .filenames = 1,
                         .children = 1,
                         .state_names = 2,
                         .states = 2}) +
           ImageBytes().str("hero").str("hero").bytes() + table +
           ImageBytes().word(1).str("torch").bytes() + sword_stream() +
           ImageBytes()
               .words({1, 1})
               .str("door_open")
               .str("alarm")
               .reals({0, 1})              // the state values
               .word(1)                    // 0 model file name
               .word(0)                    // 4 the model: run time
               .words({0, 0, 0, 0, 0, 0})  // 8 pose, 16 shaders, 24 appendage spheres
               .reals({0, 0, 0})           // 32 location
               .word(1)                    // 44 AI file name
               .words({0, 0, 0})           // 48 the AI, 52 weapon, 56 item: run time
               .reals({0, 1, 80, 100, 1})  // 60 bounce, radius scale, hit points, maximum, mass
               .words({4, 2, 0})           // 80 weapon values
               .reals({0.25f, 2, 0.5f})
               .words({40, 12})
               .str("demo_figure")
               .str("hero")
               .bytes();
}

std::string courtyard_stream(const win_entity* courtyard)
{
    const win_environment* env = courtyard->u.win_environment;
    std::string hull = written_bytes(
        [&](FILE* file) { return write_win_collision_bin(file, env->win_collision_ptr_array[0]); });
    std::string trigger = written_bytes(
        [&](FILE* file) { return write_win_trigger_array_bin(file, env->win_trigger_array, 1); });
    return entity_image(
               {.local = placed_at(0, 0, 0), .children = 1, .type = WIN_ENTITY_TYPE_ENVIRONMENT}) +
           ImageBytes().str("courtyard").bytes() + marker_bytes() +
           ImageBytes()
               .words({1, 1})  // 0 collision file names
               .words({1, 1})  // 8 hull slots
               .words({1, 1})  // 16 triggers
               .words({1, 1})  // 24 explore cameras
               .word(1)        // 32 map file name
               .word(0)        // 36 no map
               .word(1)
               .str("courtyard_wall")
               .word(1)
               .bytes() +
           hull + trigger +
           ImageBytes()
               .words({1, 1, 1})  // links, name
               .word(0)           // an array element holds no reference
               .reals({0, 60, -150})
               .reals({0, 10, -200})
               .word(1)  // 40 script
               .reals({250, -1, 600})
               .words({1, 0})  // 56 zone file name, 60 the zone: run time
               .str("gate_cam")
               .str("look_at_gate")
               .str("gate_zone")
               .str("courtyard")
               .bytes();
}

std::string lamp_stream()
{
    return entity_image(
               {.local = placed_at(0, 80, 0), .children = 1, .type = WIN_ENTITY_TYPE_LIGHT}) +
           ImageBytes().str("lamp").bytes() + marker_bytes() +
           ImageBytes()
               .words({1, 1, 1})           // links, name
               .word(D3DLIGHT_POINT)       // 12 light type
               .reals({255, 200, 120, 1})  // 16 diffuse, as the file gives it
               .reals({-1, -1, -1, -1})    // 32 specular
               .reals({-1, -1, -1, -1})    // 48 ambient
               .reals({0, 80, 0})          // 64 position
               .reals({0, 0, 0})           // 76 direction
               .reals({300, -1})           // 88 range, falloff
               .reals({1, 0, 0})           // 96 attenuation
               .reals({-1, -1})            // 108 cone angles
               .word(0xffffffff)           // 116 no light slot
               .str("lamp_light")
               .bytes();
}

std::string camera_stream(const win_ai* ai)
{
    return entity_image(
               {.local = placed_at(0, 40, -100), .children = 1, .type = WIN_ENTITY_TYPE_CAMERA}) +
           ImageBytes().str("camera").bytes() + marker_bytes() +
           ImageBytes()
               .words({2, 1})           // 0 two targets
               .word(1)                 // 8 the AI
               .real(0.9f)              // 12 field of view
               .words({1, 1, 1, 0, 1})  // "hero": links, name, no entity yet, joint 1
               .reals({0, 0, 0})
               .word(0xffffffff)
               .str("hero")
               .words({1, 1, 1, 0, 0xffffffff})  // "gate": a point
               .reals({0, 40, -120})
               .word(0xffffffff)
               .str("gate")
               .bytes() +
           written_bytes([&](FILE* file) { return write_win_ai_bin(file, ai); });
}

std::string sparks_stream()
{
    return entity_image(
               {.local = placed_at(30, 5, -180), .children = 1, .type = WIN_ENTITY_TYPE_EMITTER}) +
           ImageBytes().str("sparks").bytes() + marker_bytes() +
           ImageBytes()
               .word(1)             // 0 the particle's name
               .words({12, 0})      // 4 count, 8 along (0, 0, -1)
               .reals({4, 0, 30})   // 12 rate, its variance, 20 speed
               .word(7)             // 24 speed variance: a whole number
               .reals({-1, 15, 0})  // 28 time since firing, 32 angle and 36 position spread
               .reals({-1, -1, -1, -1, -1, -1})  // 40 rotation velocities, variances
               .reals({1.5f, 0.5f})              // 64 life and its variance
               .str("spark")
               .bytes();
}

}  // namespace

TEST(WinEntityFile, GoldenBytesOfEachKindOfEntityWithAChild)
{
    struct Case {
        const char* what;
        std::function<win_entity*()> make;  // the demo entity with one child
        std::function<std::string(const win_entity*)> stream;
        size_t child_at;  // where the child begins in the stream, when right after the name
    };
    const Case cases[] = {
        {"character",
         [] {
             win_entity* hero = demo_entity_make_hero();
             hero->u.win_character->win_ai = malloc_win_ai();  // the runtime's: never stored
             return hero;
         },
         hero_stream, 0},  // its child, the sword, follows its table and file names
        {"environment",
         [] {
             win_entity* courtyard = demo_entity_make_courtyard();
             add_marker(courtyard);
             return courtyard;
         },
         courtyard_stream, 340 + 16},
        {"light",
         [] {
             win_entity* lamp = demo_entity_make_lamp();
             add_marker(lamp);
             return lamp;
         },
         [](const win_entity*) { return lamp_stream(); }, 340 + 12},
        {"camera",
         [] {
             win_entity* camera = demo_entity_make_camera();
             camera->u.win_camera->win_ai = malloc_win_ai();
             add_marker(camera);
             return camera;
         },
         [](const win_entity* camera) { return camera_stream(camera->u.win_camera->win_ai); },
         340 + 12},
        {"emitter",
         [] {
             win_entity* sparks = demo_entity_make_sparks();
             add_marker(sparks);
             return sparks;
         },
         [](const win_entity*) { return sparks_stream(); }, 340 + 12},
    };
    LogCapture log;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        win_entity* entity = c.make();
        ASSERT_NE(entity, nullptr);
        std::string expected = c.stream(entity);
        std::string stream = file_stream_of(entity);
        EXPECT_EQ(stream, expected);
        EXPECT_EQ(word_at(stream, 332), (uint32_t)entity->win_entity_type);
        EXPECT_EQ(word_at(stream, 308), 1u);  // one child
        if (c.child_at) {
            EXPECT_EQ(stream.substr(c.child_at, 352), marker_bytes());
        }
        EXPECT_EQ(free_win_entity(entity), 1);
    }
    EXPECT_TRUE(log.errors().empty());

    // The character's state table follows its image, its name and the
    // table's file name.
    win_entity* hero = demo_entity_make_hero();
    std::string table = written_bytes(
        [&](FILE* file) { return write_win_ast_bin(file, hero->win_ast); });
    EXPECT_EQ(entity_bytes(hero).substr(340 + 12 + 12, table.size()), table);
    free_win_entity(hero);
}

namespace {

// The demo level, with an AI on its camera so that the tree holds one.
win_entity* level_with_ai()
{
    win_entity* level = demo_entity_make_level();
    win_camera* camera = level->child_entity_list->next->next->u.win_camera;
    camera->win_ai = malloc_win_ai();
    camera->win_ai->target_joint = 3;
    return level;
}

std::string level_stream()
{
    win_entity* level = level_with_ai();
    std::string stream = entity_bytes(level);
    free_win_entity(level);
    return stream;
}

// The names of a ring's members, in ring order from its head.
std::vector<std::string> ring_names(const win_entity* ring)
{
    std::vector<std::string> names;
    const win_entity* member = ring;
    do {
        names.push_back(member->win_entity_name ? member->win_entity_name : "(null)");
        member = member->next;
    } while (member && member != ring);
    return names;
}

// What a reader must have made of the demo level (either form).
void expect_demo_level(const win_entity* level)
{
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->prev, level);
    EXPECT_EQ(level->child_entity_list_size, 4);
    EXPECT_EQ(ring_names(level->child_entity_list),
              (std::vector<std::string>{"hero", "lamp", "camera", "sparks"}));
    const win_environment* env = level->u.win_environment;
    ASSERT_NE(env, nullptr);
    const win_collision* wall = env->win_collision_ptr_array[0];
    EXPECT_STREQ(wall->win_collision_name, "courtyard_wall");
    EXPECT_EQ(wall->win_collision_ref_cnt, 1);  // the slot's own
    EXPECT_EQ(env->win_trigger_array[0].win_trigger_ref_cnt, 0);
    EXPECT_EQ(env->win_trigger_array[0].win_trigger_collision, nullptr);
    EXPECT_EQ(env->win_explore_cam_array[0].win_explore_cam_ref_cnt, 0);
    EXPECT_FLOAT_EQ(env->win_explore_cam_array[0].explore_cam_slow_distance, -1.0f);

    const win_entity* hero = level->child_entity_list;
    const win_character* character = hero->u.win_character;
    EXPECT_EQ(character->win_ai, nullptr);
    EXPECT_EQ(character->weapon_data.ammo_count, 12);
    EXPECT_EQ(character->weapon_data.shots_fired, 2);
    ASSERT_NE(hero->win_ast, nullptr);
    EXPECT_EQ(hero->win_ast->win_anim_table_base_array_size, DEMO_ENTITY_HERO_STATES);
    EXPECT_FLOAT_EQ(hero->win_state_array[1], 1.0f);
    EXPECT_STREQ(hero->win_state_name_ptr_array[0], "door_open");
    const win_entity* sword = hero->child_entity_list;
    EXPECT_EQ(ring_names(sword), std::vector<std::string>{"sword"});
    EXPECT_EQ(sword->parent_joint_idx, 1);

    const win_light* light = hero->next->u.win_light;
    EXPECT_EQ(light->light_slot, -1);
    EXPECT_FLOAT_EQ(light->d3d_light.dcvDiffuse.r, 255.0f);
    const win_camera* camera = hero->next->next->u.win_camera;
    EXPECT_EQ(camera->win_camera_target_list_size, 2);
    EXPECT_STREQ(camera->win_camera_target_list->win_camera_target_name, "hero");
    EXPECT_STREQ(camera->win_camera_target_list->next_ptr->win_camera_target_name, "gate");
    EXPECT_EQ(camera->win_camera_target_list->target_entity, nullptr);
    EXPECT_EQ(camera->win_ai->target_joint, 3);
    EXPECT_EQ(hero->prev->u.win_emitter->particle_speed_variance, 7);
}

}  // namespace

TEST(WinEntityFile, TheDemoLevelReadsAndLinksBackAsOneTree)
{
    LogCapture log;
    win_entity* level = level_with_ai();
    std::string stream = file_stream_of(level);  // both forms write back what they took
    EXPECT_EQ(stream, entity_bytes(level));
    free_win_entity(level);

    win_entity* read = (win_entity*)record_read_bytes(&win_entity_desc, stream);
    expect_demo_level(read);
    EXPECT_EQ(free_win_entity(read), 1);

    LinkImage image(stream);
    win_entity* linked = link_win_entity(&image.cursor);
    expect_demo_level(linked);
    EXPECT_EQ(image.consumed(), (long)stream.size());
    EXPECT_TRUE(log.errors().empty());
}

TEST(WinEntityFile, EveryTruncationAndEveryFailingAllocationIsRefused)
{
    std::string stream = level_stream();
    expect_every_prefix_refused(&win_entity_desc, stream);
    LogCapture log;
    EXPECT_GT(record_failure_sweep(&win_entity_desc, stream), 60);
}

TEST(WinEntityFile, CorruptFilesAreRefusedWithTheirText)
{
    auto named = [](const Image& image, const char* name) {
        return entity_image(image) + ImageBytes().str(name).bytes();
    };
    // Sets the presence word at `offset` of a stream.
    auto present = [](std::string bytes, size_t offset) { return with_word(bytes, offset, 1); };
    win_entity* camera = demo_entity_make_camera();
    std::string camera_stream = entity_bytes(camera);
    free_win_entity(camera);
    win_entity* courtyard = demo_entity_make_courtyard();
    std::string courtyard_stream = entity_bytes(courtyard);
    std::string hull = written_bytes([&](FILE* file) {
        return write_win_collision_bin(file,
                                       courtyard->u.win_environment->win_collision_ptr_array[0]);
    });
    free_win_entity(courtyard);
    // The outline's last corner index ends the hull.
    size_t last_corner = courtyard_stream.find(hull) + hull.size() - 2;

    int64_t live = heap_live_blocks();
    expect_record_refusals(
        &win_entity_desc,
        {
            {"type 0 without a payload",
             named({.type = 0, .payload = false}, "odd"),
             {"Unknown win_entity_type = 0"}},
            {"type 6 without a payload",
             named({.type = 6, .payload = false}, "odd"),
             {"Unknown win_entity_type = 6"}},
            {"type 7 with a payload",
             named({.type = 7}, "odd") + zero_words(18),
             {"Unknown win_entity_type = 7"}},
            {"a name of length 0",
             entity_image({.payload = false}) + zero_words(1),
             {"Could not read_str_bin win_entity_name."}},
            {"state values present with a count of 0",
             present(named({.payload = false}, "odd"), 328),
             {"Could not read_win_state_array_bin."}},
            {"state values present with a negative count",
             present(named({.states = -3, .payload = false}, "odd"), 328),
             {"Could not read_win_state_array_bin."}},
            {"state values past the end",
             named({.states = 1000, .payload = false}, "odd") + zero_words(2),
             {"Bad win_state_array_size = 1000 with 8 bytes left"}},
            {"a child list present with a count of 0",
             present(named({.payload = false}, "odd"), 312),
             {"Bad win_entity_list_size = 0", "Could not read_win_entity_list_bin."}},
            {"a child of an unknown type",
             named({.children = 1, .payload = false}, "odd") +
                 named({.type = 9, .payload = false}, "kid"),
             {"Unknown win_entity_type = 9", "Could not read_win_entity_list_bin.",
              "Could not read_win_entity_list_bin."}},
            {"a camera's target ring present with a count of 0",
             with_word(camera_stream, 340 + 12, 0),
             {"Bad win_camera_target_list_size = 0", "Could not read_win_camera_target_list_bin.",
              "Could not read_win_camera_bin."}},
            {"a hull whose outline names a corner it lacks",
             with_half(courtyard_stream, last_corner, 7),
             {"Bad vtx_idx = 7 in win_block 0 of win_collision courtyard_wall with "
              "win_vtx_array_size = 4",
              "Could not read_win_collision_bin.", "Could not read_win_collision_ptr_array_bin.",
              "Could not read_win_environment_bin."}},
        });
    EXPECT_EQ(heap_live_blocks(), live);
}

TEST(WinEntityFile, ADeeplyNestedFileIsRefusedWithoutOverflowingTheStack)
{
    // A chain of entities, each the one child of the one before.
    auto chain = [](int entities) {
        std::string bytes;
        for (int i = 1; i < entities; ++i)
            bytes += entity_image({.name = false, .children = 1, .payload = false});
        return bytes + entity_image({.name = false, .payload = false});
    };
    LogCapture log;
    std::string deepest = chain(RECORD_MAX_DEPTH);
    win_entity* read = (win_entity*)record_read_bytes(&win_entity_desc, deepest);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(entity_bytes(read), deepest);
    EXPECT_EQ(free_win_entity(read), 1);
    EXPECT_TRUE(log.errors().empty());

    EXPECT_EQ(
        record_refusal(&win_entity_desc, chain(RECORD_MAX_DEPTH + 1)),
        std::vector<std::string>{"Cannot read_win_entity_bin nested deeper than 1024 records."});
    EXPECT_EQ(
        record_refusal(&win_entity_desc, chain(4 * RECORD_MAX_DEPTH)),
        std::vector<std::string>{"Cannot read_win_entity_bin nested deeper than 1024 records."});
}

TEST(WinEntity, ReleasingAnEntityReleasesItsWholeTree)
{
    LogCapture log;
    int64_t live = heap_live_blocks();
    EXPECT_EQ(free_win_entity(demo_entity_make_level()), 1);
    win_entity* bare = malloc_win_entity("bare");  // a character without its payload
    EXPECT_EQ(free_win_entity(bare), 1);
    EXPECT_EQ(heap_live_blocks(), live);
    EXPECT_TRUE(log.errors().empty());

    // A type the family does not know fails the release, which lets go of
    // the entity and all it holds all the same, but of a payload nothing
    // says the kind of.
    for (int32_t type : {0, 6, 7}) {
        SCOPED_TRACE(type);
        log.clear();
        win_entity* odd = demo_entity_make_hero();
        free_win_character(odd->u.win_character);
        odd->u.win_character = nullptr;
        odd->win_entity_type = type;
        EXPECT_EQ(free_win_entity(odd), 0);
        EXPECT_EQ(log.errors(),
                  std::vector<std::string>{"Unknown win_entity_type = " + std::to_string(type)});
        EXPECT_EQ(heap_live_blocks(), live);
    }
    log.clear();
    win_entity* odd = demo_entity_make_sparks();
    win_emitter* payload = odd->u.win_emitter;
    odd->win_entity_type = 9;
    EXPECT_EQ(free_win_entity(odd), 0);
    EXPECT_EQ(free_win_emitter(payload), 1);
    EXPECT_EQ(heap_live_blocks(), live);

    // A child that cannot be released fails its parent's release, and an
    // array's release goes on past an element that fails.
    log.clear();
    win_entity* level = demo_entity_make_level();
    level->child_entity_list->next->win_entity_type = 8;  // the lamp's
    win_light* lamp_light = level->child_entity_list->next->u.win_light;
    EXPECT_EQ(free_win_entity(level), 0);
    free_win_light(lamp_light);
    win_entity* array = malloc_win_entity_array(3);
    for (int32_t i = 0; i < 3; ++i) {
        array[i].win_entity_name = STRDUP("element");
        array[i].u.win_emitter = malloc_win_emitter();
        array[i].win_entity_type = WIN_ENTITY_TYPE_EMITTER;
    }
    array[1].win_entity_type = 0;
    win_emitter* lost = array[1].u.win_emitter;
    EXPECT_EQ(free_win_entity_array(array, 3), 0);
    free_win_emitter(lost);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Unknown win_entity_type = 8",
                                                      "Unknown win_entity_type = 0"}));
    EXPECT_EQ(heap_live_blocks(), live);
}

TEST(WinEntityPtr, EachPresentSlotStoresItsEntityWhole)
{
    win_entity_ptr* slots = malloc_win_entity_ptr_array(3);
    slots[0] = demo_entity_make_lamp();
    slots[2] = demo_entity_make_sparks();
    std::string bytes = written_bytes(
        [&](FILE* file) { return write_win_entity_ptr_array_bin(file, slots, 3); });
    EXPECT_EQ(bytes, ImageBytes().words({1, 0, 1}).bytes() + entity_bytes(slots[0]) +
                         entity_bytes(slots[2]));
    expect_record_round_trip(&win_entity_ptr_desc, bytes, RecordForm::array, 3);

    // An entity that cannot be written fails its slot in the slot's words.
    LogCapture log;
    slots[2]->win_entity_type = 9;
    FILE* out = std::tmpfile();
    EXPECT_EQ(write_win_entity_ptr_array_bin(out, slots, 3), 0);
    std::fclose(out);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Unknown win_entity_type = 9",
                                                      "Could not write_win_entity_ptr_bin."}));
    slots[2]->win_entity_type = WIN_ENTITY_TYPE_EMITTER;
    EXPECT_EQ(free_win_entity_ptr_array(slots, 3), 1);  // and the two entities (LeakSanitizer)
}
