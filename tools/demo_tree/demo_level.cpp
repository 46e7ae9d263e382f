#include "demo_level.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "ai_io.h"
#include "demo_ai.h"
#include "demo_anim.h"
#include "demo_ast.h"
#include "demo_entity.h"
#include "demo_model.h"
#include "demo_pictures.h"
#include "demo_shader.h"
#include "demo_sounds.h"
#include "file_io.h"
#include "gameglobals.h"
#include "heap.h"
#include "platform/d3d.h"
#include "platform/path.h"
#include "runtime_services.h"
#include "scriptasm.h"
#include "str_util.h"
#include "vk_auto_aim.h"
#include "win_collision.h"
#include "win_math.h"
#include "win_shader.h"

const char* const demo_level_start_script = "episode1_prologue_se";
const char* const demo_level_gate_script = "open_gate";
const char* const demo_level_guard_end_script = "guard_beaten";
const char* const demo_level_end_script = "prologue_end";
const char* const demo_level_flask_script = "take_flask";
const char* const demo_level_flask_use_script = "flask_use";
const char* const demo_level_hero_end_script = "hero_falls";
const char* const demo_level_cheat_script = "cheat";
const char* const demo_level_gravel_script = "gravel";

namespace {

constexpr float PI = 3.1415927f;
constexpr float SIDE = DEMO_LEVEL_HALF_SIDE;
constexpr float WALL_HEIGHT = 4.0f;
constexpr win_vect3 LAMP_POSITION = {0.0f, 14.0f, 2.0f};
// The camera comes down from high behind the hero to its place behind and
// above him, just beyond the south wall and high enough to see over it:
// with its wide view (CAMERA_VIEW, radians from the bottom of the picture to
// the top) the yard, the gate and the north wall stand above him.
constexpr win_vect3 CAMERA_START = {0.0f, 12.0f, 30.0f};
constexpr win_vect3 CAMERA_PLACE = {0.0f, 8.0f, 27.0f};
constexpr float CAMERA_VIEW = 1.1f;
constexpr win_vect3 EMBERS_POSITION = {0.0f, 0.5f, -21.0f};
// The fighters' bounding sphere: the figure is 2 units wide. Two fighters'
// arms are tested against each other only while these spheres overlap.
constexpr float FIGHTER_RADIUS = 1.2f;
// The fighters' arms, held out before them (they face -z): the arm joint's
// sphere, which the attack reach tests, and a capsule ARM_REACH long from
// its centre on forward. Two facing fighters' capsules overlap from the
// moment their bounding spheres do, so every approach makes a contact,
// which pushes them apart, and a contact while one of them strikes is a
// blow. A strike lunges (STRIKE_LUNGE), so that a fighter who strikes at an
// opponent standing off closes in; the guard strikes from STRIKE_RANGE, a
// little beyond the distance of a contact.
constexpr float ARM_JOINT_HEIGHT = 2.0f;                      // above the figure's root
constexpr win_vect3 ARM_SPHERE_CENTRE = {0.0f, 1.0f, -1.0f};  // from the arm joint
constexpr float ARM_SPHERE_RADIUS = 1.5f;
constexpr float ARM_RADIUS = 0.75f;
constexpr float ARM_REACH = 2.0f;
constexpr float STRIKE_LUNGE = 2.0f;  // units a strike carries the striker forward
constexpr float STRIKE_RANGE = 4.0f;
// Of the game's gravity (downward), as each feels it: the hero's whole
// weight, an ember a gentle rise, a spark a slow fall.
constexpr float HERO_WEIGHT = 1.0f;
constexpr float EMBER_LIFT = -0.01f;
constexpr float SPARK_FALL = 0.01f;
// The map of demo_ai.h, drawn at 12.5 times this scale, moved to the yard
// south of the gate.
constexpr float MAP_SCALE = 0.08f;
constexpr win_vect3 MAP_OFFSET = {-8.0f, 0.0f, 5.0f};
// A sling stone: its size, and half the speed it leaves the sling at.
constexpr float STONE_RADIUS = 0.3f;
constexpr float STONE_SPEED = 12.0f;
// The hound of the yard, to the figure's scale.
constexpr float HOUND_SIZE = 0.5f;
// The crane that lifts a camera for an episode's closing shot: it stands by
// the way out and launches the camera up and back over the yard.
constexpr win_vect3 CRANE_POSITION = {0.0f, 3.0f, -12.0f};
// The guard's comrades stand on the walkway behind the north wall, at the
// wall's height: the emitter that places them, and how far from it they may
// stand, along the wall and across the walkway.
constexpr win_vect3 WATCH_POSITION = {0.0f, WALL_HEIGHT, -DEMO_LEVEL_HALF_SIDE - 2.0f};
constexpr float WATCH_SPREAD = 1.5f;

// The path of the data file `name`.`extension` in the game's `directory`,
// lower-cased as the game asks for it.
std::string data_path(const char* directory, const char* name, const char* extension)
{
    char path[400];
    snprintf(path, sizeof path, "%s\\%s.%s", directory, name, extension);
    to_lower_case(path);
    return path;
}

// ---- Models, their shaders and textures ----

// A flat four-cornered face of a rigid model, its corners in order round it.
struct face {
    win_vect3 corner[4];
    win_norm normal;
};

// The faces of a box from `low` to `high` that a viewer outside sees: its
// top and its four sides (no bottom).
std::vector<face> box_faces(win_vect3 low, win_vect3 high)
{
    const float x0 = low.x, y0 = low.y, z0 = low.z, x1 = high.x, y1 = high.y, z1 = high.z;
    return {
        {{{x0, y1, z0}, {x1, y1, z0}, {x1, y1, z1}, {x0, y1, z1}}, {0.0f, 1.0f, 0.0f}},
        {{{x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}}, {0.0f, 0.0f, -1.0f}},
        {{{x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}, {x0, y0, z1}}, {0.0f, 0.0f, 1.0f}},
        {{{x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}, {x0, y0, z0}}, {-1.0f, 0.0f, 0.0f}},
        {{{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}, {1.0f, 0.0f, 0.0f}},
    };
}

// Appends to `indices` the triangles of every triangle already there with
// the other winding: the faces show from both sides.
bool show_both_sides(mow_shader_group* group)
{
    int32_t n = group->mow_vtx_idx_array_size;
    uint16_t* both = (uint16_t*)MALLOC(2 * n * sizeof(uint16_t));
    if (!both)
        return false;
    for (int32_t i = 0; i < n; i += 3) {
        const uint16_t* t = group->mow_vtx_idx_array + i;
        both[i] = t[0], both[i + 1] = t[1], both[i + 2] = t[2];
        both[n + i] = t[0], both[n + i + 1] = t[2], both[n + i + 2] = t[1];
    }
    FREE(group->mow_vtx_idx_array);
    group->mow_vtx_idx_array = both;
    group->mow_vtx_idx_array_size = 2 * n;
    return true;
}

// A rigid model of one joint at the origin, one segmented mesh of `faces`
// drawn with the shader `shader`, its faces showing from both sides; its
// stored name is `path`, by which the game shares it. It has no collision
// sphere: scenery is no character to push or to be pushed by (its hulls
// stand for it). NULL when it cannot be made.
mow_model* rigid_model(const std::string& path, const char* shader, const std::vector<face>& faces)
{
    const int32_t vertices = 4 * (int32_t)faces.size(), indices = 6 * (int32_t)faces.size();
    mow_model* model = malloc_mow_model(path.c_str());
    if (!model)
        return nullptr;
    mow_shader_group* group = nullptr;
    bool ok = (model->mow_joint_array = malloc_mow_joint_array(1)) &&
              (model->mow_mesh_array = malloc_mow_mesh_array(1)) &&
              (model->mow_shader_filename_array = malloc_win_filename_ptr_array(1));
    if (ok) {
        model->mow_joint_array_size = 1;
        model->mow_mesh_array_size = 1;
        model->mow_shader_filename_array_size = 1;
        model->mow_joint_array[0].mow_joint_name = STRDUP("root");
        model->mow_shader_filename_array[0] = STRDUP(shader);
        mow_mesh* mesh = model->mow_mesh_array;
        mesh->mow_mesh_name = STRDUP("surface");
        mesh->mow_mesh_joint_idx = 0;
        ok = model->mow_joint_array[0].mow_joint_name && model->mow_shader_filename_array[0] &&
             mesh->mow_mesh_name &&
             (mesh->mow_shader_group_array = malloc_mow_shader_group_array(1));
        if (ok) {
            mesh->mow_shader_group_array_size = 1;
            group = mesh->mow_shader_group_array;
            group->mow_shader_group_fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
            group->mow_shader_group_shader_idx = 0;
            ok = (group->mow_vtx_array = malloc_win_vect3_array(vertices)) &&
                 (group->mow_norm_array = malloc_win_norm_array(vertices)) &&
                 (group->mow_uv_array = malloc_win_uv_array(vertices)) &&
                 (group->mow_vtx_idx_array = (uint16_t*)MALLOC(indices * sizeof(uint16_t)));
        }
    }
    if (ok) {
        static const win_uv corner_uv[4] = {{0.0f, 1.0f}, {0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}};
        group->mow_vtx_array_size = group->mow_norm_array_size = group->mow_uv_array_size =
            vertices;
        group->mow_vtx_idx_array_size = indices;
        for (int32_t f = 0; f < (int32_t)faces.size(); ++f) {
            for (int32_t c = 0; c < 4; ++c) {
                group->mow_vtx_array[4 * f + c] = faces[f].corner[c];
                group->mow_norm_array[4 * f + c] = faces[f].normal;
                group->mow_uv_array[4 * f + c] = corner_uv[c];
            }
            static const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
            for (int32_t i = 0; i < 6; ++i)
                group->mow_vtx_idx_array[6 * f + i] = (uint16_t)(4 * f + quad[i]);
        }
        ok = show_both_sides(group);
    }
    model->mow_model_sphere_radius = -1.0f;
    if (!ok) {
        free_mow_model(model);
        return nullptr;
    }
    return model;
}

// A figure (`model`) with every face showing from both sides and a fighter's
// reach: its arm held out before it. NULL (the model released) when it
// cannot be made.
mow_model* fit_to_fight(mow_model* model)
{
    bool ok = model != nullptr;
    if (ok) {
        model->mow_model_sphere_radius = FIGHTER_RADIUS;
        mow_joint& arm = model->mow_joint_array[1];
        arm.mow_joint_sphere_radius = ARM_SPHERE_RADIUS;
        arm.mow_joint_sphere_center = ARM_SPHERE_CENTRE;
    }
    for (int32_t m = 0; ok && m < model->mow_mesh_array_size; ++m)
        for (int32_t g = 0; ok && g < model->mow_mesh_array[m].mow_shader_group_array_size; ++g)
            ok = show_both_sides(&model->mow_mesh_array[m].mow_shader_group_array[g]);
    if (!ok && model) {
        free_mow_model(model);
        return nullptr;
    }
    return model;
}

// The guard: the demo figure with volume, which reads from every side.
mow_model* fighter_model(const std::string& path)
{
    return fit_to_fight(demo_model_make_solid(path.c_str()));
}

// The yard's hound: the demo figure at HOUND_SIZE of its size, furred.
mow_model* hound_model(const std::string& path)
{
    mow_model* model = fighter_model(path);
    if (!model)
        return nullptr;
    auto shrink = [](win_vect3& v) { v = {v.x * HOUND_SIZE, v.y * HOUND_SIZE, v.z * HOUND_SIZE}; };
    for (int32_t j = 0; j < model->mow_joint_array_size; ++j) {
        mow_joint& joint = model->mow_joint_array[j];
        shrink(joint.mow_joint_origin);
        shrink(joint.mow_joint_sphere_center);
        joint.mow_joint_sphere_radius *= HOUND_SIZE;
    }
    for (int32_t c = 0; c < model->mow_cluster_array_size; ++c)
        for (int32_t v = 0; v < model->mow_cluster_array[c].mow_cluster_vtx_array_size; ++v)
            shrink(model->mow_cluster_array[c].mow_cluster_vtx_array[v].mow_cluster_vtx_pos);
    for (int32_t m = 0; m < model->mow_mesh_array_size; ++m)
        for (int32_t g = 0; g < model->mow_mesh_array[m].mow_shader_group_array_size; ++g) {
            mow_shader_group& group = model->mow_mesh_array[m].mow_shader_group_array[g];
            for (int32_t v = 0; group.mow_vtx_array && v < group.mow_vtx_array_size; ++v)
                shrink(group.mow_vtx_array[v]);
        }
    shrink(model->mow_model_sphere_center);
    model->mow_model_sphere_radius *= HOUND_SIZE;
    FREE(model->mow_shader_filename_array[0]);
    if (!(model->mow_shader_filename_array[0] = STRDUP("hound_fur"))) {
        free_mow_model(model);
        return nullptr;
    }
    return model;
}

// The hero: the demo figure on a full skeleton, whose left arm rests as the
// auto-aim holds an arm that aims (see write_scripts).
mow_model* hero_model(const std::string& path)
{
    return fit_to_fight(demo_model_make_hero(path.c_str(), VK_AUTO_AIM_ARM_OFFSET));
}

bool write_model(const char* name, mow_model* (*make)(const std::string& path))
{
    std::string path = data_path(game_globals.model_pathname, name, "mow");
    mow_model* model = make(path);
    bool ok = model && demo_model_write_file(path.c_str(), model);
    if (model)
        free_mow_model(model);
    return ok;
}

mow_model* yard_model(const std::string& path)
{
    std::vector<face> faces = {
        {{{-SIDE, 0.0f, -SIDE}, {SIDE, 0.0f, -SIDE}, {SIDE, 0.0f, SIDE}, {-SIDE, 0.0f, SIDE}},
         {0.0f, 1.0f, 0.0f}}};
    // The four walls, each a thin box outside the yard.
    const float t = 0.5f;
    for (const auto& wall : {std::pair<win_vect3, win_vect3>{{-SIDE - t, 0, -SIDE - t},
                                                             {SIDE + t, WALL_HEIGHT, -SIDE}},
                             {{-SIDE - t, 0, SIDE}, {SIDE + t, WALL_HEIGHT, SIDE + t}},
                             {{-SIDE - t, 0, -SIDE}, {-SIDE, WALL_HEIGHT, SIDE}},
                             {{SIDE, 0, -SIDE}, {SIDE + t, WALL_HEIGHT, SIDE}}}) {
        std::vector<face> sides = box_faces(wall.first, wall.second);
        faces.insert(faces.end(), sides.begin(), sides.end());
    }
    return rigid_model(path, "yard_stone", faces);
}

mow_model* gate_model(const std::string& path)
{
    return rigid_model(path, "gate_wood",
                       box_faces({-SIDE, 0.0f, DEMO_LEVEL_GATE_WALL[0]},
                                 {SIDE, WALL_HEIGHT, DEMO_LEVEL_GATE_WALL[1]}));
}

// A small diamond, `r` from its middle to each side, standing on its lower
// tip.
std::vector<face> diamond(float r)
{
    return {{{{0.0f, 0.0f, 0.0f}, {-r, r, 0.0f}, {0.0f, 2 * r, 0.0f}, {r, r, 0.0f}},
             {0.0f, 0.0f, -1.0f}}};
}

// An ember: a small glowing diamond, flickering.
mow_model* ember_model(const std::string& path)
{
    return rigid_model(path, "ember_glow", diamond(0.25f));
}

// A sling stone, a grey diamond about its middle, with the sphere that it
// hits with.
mow_model* stone_model(const std::string& path)
{
    std::vector<face> faces = diamond(STONE_RADIUS);
    for (face& f : faces)
        for (win_vect3& corner : f.corner)
            corner.y -= STONE_RADIUS;
    mow_model* model = rigid_model(path, "stone_grey", faces);
    if (model)
        model->mow_model_sphere_radius = STONE_RADIUS;
    return model;
}

// The sling: a wooden fork held upright in the hand.
mow_model* sling_model(const std::string& path)
{
    std::vector<face> faces = box_faces({-0.06f, -0.2f, -0.06f}, {0.06f, 0.35f, 0.06f});
    for (float x : {-0.15f, 0.15f}) {
        std::vector<face> prong = box_faces({x - 0.04f, 0.35f, -0.04f}, {x + 0.04f, 0.6f, 0.04f});
        faces.insert(faces.end(), prong.begin(), prong.end());
    }
    faces.push_back(
        {{{-0.15f, 0.35f, 0.0f}, {-0.15f, 0.41f, 0.0f}, {0.15f, 0.41f, 0.0f}, {0.15f, 0.35f, 0.0f}},
         {0.0f, 0.0f, 1.0f}});
    return rigid_model(path, "gate_wood", faces);
}

// A flask of mead: a small bottle lying on the ground, or hanging at the
// belt once taken.
mow_model* flask_model(const std::string& path)
{
    std::vector<face> faces = box_faces({-0.2f, 0.0f, -0.2f}, {0.2f, 0.5f, 0.2f});
    std::vector<face> neck = box_faces({-0.07f, 0.5f, -0.07f}, {0.07f, 0.75f, 0.07f});
    faces.insert(faces.end(), neck.begin(), neck.end());
    return rigid_model(path, "flask_glass", faces);
}

// The texture `name`, `size` pixels square, of `pixel`.
bool write_texture(const char* name, int size, uint32_t (*pixel)(int x, int y, int size))
{
    picture image(size, size, 0);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            image.at(x, y) = pixel(x, y, size);
    return write_tga(game_globals.bitmaps_pathname, name, image, false);
}

// A shader showing one texture of its own name, not animated, and the
// texture (NULL `pixel`: another writer's).
bool write_shader(const char* name, int size, uint32_t (*pixel)(int x, int y, int size))
{
    win_shader* shader = malloc_win_shader(name);
    bool ok = shader && demo_entity_set_names(&shader->win_texture_filename_array,
                                              &shader->win_texture_filename_array_size, {name},
                                              malloc_win_filename_ptr_array);
    if (shader)
        shader->current_texture = 0;
    ok = ok && demo_shader_write_file(data_path(game_globals.shaders_pathname, name, "shw").c_str(),
                                      shader);
    if (shader)
        free_win_shader(shader);
    return (!pixel || write_texture(name, size, pixel)) && ok;
}

// Grey flagstones: a grid of joints over stones of slightly varied shade.
uint32_t stone_pixel(int x, int y, int)
{
    if (x % 32 < 2 || y % 32 < 2)
        return 0xFF3A3632;
    uint32_t shade = 0x6E + (uint32_t)((x / 32 * 7 + y / 32 * 13) % 5) * 6;
    return 0xFF000000 | shade << 16 | (shade - 6) << 8 | (shade - 14);
}

// Planks of dark wood, with iron bands across them.
uint32_t wood_pixel(int x, int y, int size)
{
    if (y % (size / 2) < 4)
        return 0xFF505058;
    if (x % 16 == 0)
        return 0xFF2A180C;
    return (x / 16) % 2 ? 0xFF6A4020 : 0xFF5C3818;
}

// Orange, brightest in the middle.
uint32_t glow_pixel(int x, int y, int size)
{
    int d = std::abs(2 * x - size) + std::abs(2 * y - size);
    return d < size ? 0xFFFFC040 : 0xFFE06010;
}

// The sword's icon for the HUD: a blade and hilt on dark slate.
uint32_t sword_icon_pixel(int x, int y, int size)
{
    int middle = size / 2;
    if (y > size / 8 && y < size * 5 / 8 && std::abs(x - middle) <= 2)
        return 0xFFD8DCE4;  // the blade
    if (y >= size * 5 / 8 && y < size * 5 / 8 + 3 && std::abs(x - middle) <= size / 4)
        return 0xFFC09030;  // the guard
    if (y >= size * 5 / 8 + 3 && y < size * 7 / 8 && std::abs(x - middle) <= 1)
        return 0xFF6A4020;  // the grip
    return 0xFF283038;
}

// Orange, white-hot in the middle: an ember flaring.
uint32_t flare_pixel(int x, int y, int size)
{
    int d = std::abs(2 * x - size) + std::abs(2 * y - size);
    return d < size ? 0xFFFFF0C0 : 0xFFFF9020;
}

// Rough grey.
uint32_t grey_pixel(int x, int y, int)
{
    return (x * 7 + y * 13) % 5 ? 0xFF807870 : 0xFF5C5650;
}

// Greenish glass.
uint32_t glass_pixel(int x, int y, int size)
{
    return (x + y) % (size / 2) < 3 ? 0xFFB0E0A0 : 0xFF408050;
}

// The sling's icon: a fork with its band on dark slate.
uint32_t sling_icon_pixel(int x, int y, int size)
{
    int middle = size / 2, prong = size / 5;
    if (y > size / 2 && y < size * 7 / 8 && std::abs(x - middle) <= 2)
        return 0xFF8A5A2A;  // the handle
    if (y > size / 6 && y <= size / 2 && std::abs(std::abs(x - middle) - prong) <= 2)
        return 0xFF8A5A2A;  // the prongs
    if (y > size / 6 && y < size / 6 + 3 && std::abs(x - middle) < prong)
        return 0xFFD0C8B0;  // the band
    return 0xFF283038;
}

// Brown fur, in tufts.
uint32_t fur_pixel(int x, int y, int)
{
    return (x / 3 + y / 2) % 4 ? 0xFF7A5A38 : 0xFF5A3E24;
}

// The flask close up: a big green bottle on a pale ground.
uint32_t flask_closeup_pixel(int x, int y, int size)
{
    int middle = size / 2;
    if (y > size * 3 / 8 && y < size * 7 / 8 && std::abs(x - middle) <= size / 5)
        return 0xFF40A060;
    if (y > size / 8 && y <= size * 3 / 8 && std::abs(x - middle) <= size / 14)
        return 0xFF308048;
    return 0xFFE8E0C8;
}

// The flask's icon: a green bottle on dark slate.
uint32_t flask_icon_pixel(int x, int y, int size)
{
    int middle = size / 2;
    if (y > size * 3 / 8 && y < size * 7 / 8 && std::abs(x - middle) <= size / 5)
        return 0xFF40A060;  // the belly
    if (y > size / 8 && y <= size * 3 / 8 && std::abs(x - middle) <= size / 14)
        return 0xFF308048;  // the neck
    return 0xFF283038;
}

// The embers' shader flickers between its two textures (demo_shader.h): its
// state table and animation.
bool write_ember_glow(void)
{
    win_shader* shader = demo_shader_make("ember_glow", "ember_flicker", "ember_glow",
                                          "ember_flare");
    win_ast* table = demo_shader_make_table("ember_flicker", "ember_flicker");
    mow_anim* flicker = demo_shader_make_flicker("ember_flicker");
    bool ok =
        shader && table && flicker &&
        demo_shader_write_file(
            data_path(game_globals.shaders_pathname, "ember_glow", "shw").c_str(), shader) &&
        demo_ast_write(data_path(game_globals.anim_table_pathname, "ember_flicker", "ast").c_str(),
                       table) &&
        demo_anim_write_file(
            data_path(game_globals.animation_pathname, "ember_flicker", "trw").c_str(), flicker) &&
        write_texture("ember_glow", 16, glow_pixel) &&
        write_texture("ember_flare", 16, flare_pixel);
    if (shader)
        free_win_shader(shader);
    if (table)
        free_win_ast(table);
    if (flicker)
        free_mow_anim(flicker);
    return ok;
}

bool write_models(void)
{
    // The guard is the demo figure under a model of its own: characters of
    // one model never hurt each other.
    return write_model("hero", hero_model) && write_model("foe", fighter_model) &&
           write_model("yard", yard_model) && write_model("gate", gate_model) &&
           write_model("ember", ember_model) && write_model("stone", stone_model) &&
           write_model("sling", sling_model) && write_model("flask", flask_model) &&
           write_model("hound", hound_model) && write_shader("hound_fur", 32, fur_pixel) &&
           write_texture("flask_closeup", 128, flask_closeup_pixel) &&
           write_shader(demo_model_shader_name, 0, nullptr) &&  // the tree's figure texture
           write_shader("yard_stone", 128, stone_pixel) &&
           write_shader("gate_wood", 64, wood_pixel) && write_ember_glow() &&
           write_shader("stone_grey", 16, grey_pixel) &&
           write_shader("flask_glass", 16, glass_pixel) &&
           write_texture("sword_icon", 42, sword_icon_pixel) &&
           write_texture("sling_icon", 42, sling_icon_pixel) &&
           write_texture("flask_icon", 42, flask_icon_pixel);
}

// ---- Collision hulls ----

// A hull of one closed outline: the rectangle from (x0, z0) to (x1, z1) on
// the ground, its walls facing in (`inward`: a yard to stay inside) or out
// (a block to stay out of). As the zone of a trigger or a camera it is the
// space above the rectangle. NULL when it cannot be made.
win_collision* rectangle_hull(const char* name, float x0, float z0, float x1, float z1, bool inward)
{
    win_collision* hull = malloc_win_collision(name);
    win_line_block* line = malloc_win_line_block();
    bool ok = hull && line && (hull->win_vtx_array = malloc_win_vect3_array(4)) &&
              (hull->win_block_array = malloc_win_block_array(1)) &&
              (line->win_vtx_idx_array = (uint16_t*)MALLOC(5 * sizeof(uint16_t)));
    if (!ok) {
        if (line)
            free_win_line_block(line);
        if (hull)
            free_win_collision(hull);
        return nullptr;
    }
    // A wall faces the side to which its normal, (b - a) x up, points: to
    // the left of the way round from above, so anticlockwise about +y
    // faces in.
    hull->win_vtx_array_size = 4;
    hull->win_vtx_array[0] = {x0, 0.0f, z0};
    hull->win_vtx_array[1] = {x1, 0.0f, z0};
    hull->win_vtx_array[2] = {x1, 0.0f, z1};
    hull->win_vtx_array[3] = {x0, 0.0f, z1};
    line->win_vtx_idx_array_size = 5;
    for (uint16_t i = 0; i < 5; ++i)
        line->win_vtx_idx_array[i] = inward ? i % 4 : (4 - i) % 4;
    hull->win_block_array_size = 1;
    hull->win_block_array[0] = {WIN_BLOCK_TYPE_LINE, line};
    return hull;
}

bool write_hull_file(const char* name, win_collision* hull)
{
    bool ok = hull && demo_write_record_file(
                          data_path(game_globals.collision_pathname, name, "cow").c_str(),
                          FILE_TYPE_COLLISION, FILE_VERSION_COLLISION, &win_collision_desc, hull);
    if (hull)
        free_win_collision(hull);
    return ok;
}

// `enabled` 0: a camera zone that a script switches on.
bool write_hull(const char* name, float x0, float z0, float x1, float z1, bool inward,
                int32_t enabled = 1)
{
    win_collision* hull = rectangle_hull(name, x0, z0, x1, z1, inward);
    if (hull)
        hull->win_collision_enabled = enabled;
    return write_hull_file(name, hull);
}

// The yard's floor, for whoever has weight to stand on it: one convex block,
// its face the ground (y = 0, facing up) and its edge planes, facing out,
// FLOOR_MARGIN beyond the walls, so that one thrown over a wall in a fight
// still stands.
constexpr float FLOOR_MARGIN = 40.0f;
win_collision* floor_hull(const char* name)
{
    const float edge = SIDE + FLOOR_MARGIN;
    win_collision* hull = malloc_win_collision(name);
    win_convex_poly_block* block = malloc_win_convex_poly_block();
    bool ok = hull && block && (hull->win_plane_array = malloc_win_plane_array(5)) &&
              (hull->win_block_array = malloc_win_block_array(1)) &&
              (block->win_plane_idx_array = (int32_t*)MALLOC(5 * sizeof(int32_t)));
    if (!ok) {
        if (block)
            free_win_convex_poly_block(block);
        if (hull)
            free_win_collision(hull);
        return nullptr;
    }
    hull->win_plane_array_size = 5;
    hull->win_plane_array[0] = {0.0f, 1.0f, 0.0f, 0.0f};
    hull->win_plane_array[1] = {1.0f, 0.0f, 0.0f, edge};
    hull->win_plane_array[2] = {-1.0f, 0.0f, 0.0f, edge};
    hull->win_plane_array[3] = {0.0f, 0.0f, 1.0f, edge};
    hull->win_plane_array[4] = {0.0f, 0.0f, -1.0f, edge};
    block->win_plane_idx_array_size = 5;
    for (int32_t i = 0; i < 5; ++i)
        block->win_plane_idx_array[i] = i;
    hull->win_block_array_size = 1;
    hull->win_block_array[0] = {WIN_BLOCK_TYPE_CONVEX_POLY, block};
    return hull;
}

// A hull of one convex block: the rectangle from (x0, z0) to (x1, z1) on
// the ground, its face facing up and its sides out. As a trigger's zone it
// holds whoever stands on the rectangle.
win_collision* prism_hull(const char* name, float x0, float z0, float x1, float z1)
{
    win_collision* hull = floor_hull(name);
    if (hull) {
        hull->win_plane_array[1].d = x1;
        hull->win_plane_array[2].d = -x0;
        hull->win_plane_array[3].d = z1;
        hull->win_plane_array[4].d = -z0;
    }
    return hull;
}

bool write_hulls(void)
{
    return write_hull("courtyard_wall", -SIDE, -SIDE, SIDE, SIDE, true) &&
           write_hull("gate_wall", -SIDE, DEMO_LEVEL_GATE_WALL[0], SIDE, DEMO_LEVEL_GATE_WALL[1],
                      false) &&
           write_hull_file("floor", floor_hull("floor")) &&
           write_hull("gate_zone", -SIDE, DEMO_LEVEL_GATE_ZONE[0], SIDE, DEMO_LEVEL_GATE_ZONE[1],
                      true) &&
           write_hull_file("flask_zone", prism_hull("flask_zone", -SIDE, DEMO_LEVEL_FLASK_ZONE[0],
                                                    SIDE, DEMO_LEVEL_FLASK_ZONE[1])) &&
           write_hull("north_zone", -SIDE, DEMO_LEVEL_EXIT_ZONE[1], SIDE, DEMO_LEVEL_GATE_WALL[0],
                      true, 0) &&
           write_hull("exit_zone", -SIDE, DEMO_LEVEL_EXIT_ZONE[0], SIDE, DEMO_LEVEL_EXIT_ZONE[1],
                      true);
}

// ---- Entities ----

// A trigger over the whole width of the courtyard that fires once for a
// player facing any way, without the action button.
bool set_trigger(win_trigger* trigger, const char* name, const char* zone, const char* script,
                 int32_t enabled)
{
    trigger->win_trigger_name = STRDUP(name);
    trigger->win_trigger_collision_name = STRDUP(zone);
    trigger->win_trigger_script_name = STRDUP(script);
    trigger->win_trigger_facing_tolerance = {0.0f, PI, 0.0f};
    trigger->win_trigger_enabled = enabled;
    trigger->win_trigger_gated = 0;
    trigger->win_trigger_max_activations = 1;
    return trigger->win_trigger_name && trigger->win_trigger_collision_name &&
           trigger->win_trigger_script_name;
}

// A camera that cuts (a speed of -2) is cut to from another that cuts, and
// flown to from any other at the runtime's top speed, 1000 units a second,
// braking all the way: over this distance the speed falls with the distance
// left, so that each frame closes a share of the way (a quarter at 60 frames
// a second) and no frame overshoots above 8 frames a second.
constexpr float CUT_BRAKING = 64.0f;

// One explore camera of the courtyard, its zone the hull `zone`: flown to at
// `speed` units a second, braking over `braking`, or cut to (see
// CUT_BRAKING).
bool set_explore_cam(win_explore_cam* cam, const char* name, const char* zone, win_vect3 position,
                     float speed, float braking)
{
    cam->win_explore_cam_name = STRDUP(name);
    cam->explore_cam_position = position;
    // The runtime's defaults fly a camera across a much larger level.
    cam->explore_cam_acceleration = 20.0f;
    cam->explore_cam_slow_distance = braking;
    cam->explore_cam_speed = speed;
    cam->explore_cam_zone_filename = STRDUP(zone);
    return cam->win_explore_cam_name && cam->explore_cam_zone_filename;
}

// A trigger that fires only for a player facing within `tolerance` of the
// heading `facing` (radians about y; 0 is north, -z).
bool face_the_way(win_trigger* trigger, float facing, float tolerance)
{
    trigger->win_trigger_facing = {0.0f, facing, 0.0f};
    trigger->win_trigger_facing_tolerance = {0.0f, tolerance, 0.0f};
    return true;
}

win_entity* make_courtyard(void)
{
    win_entity* courtyard = demo_entity_new("courtyard", WIN_ENTITY_TYPE_ENVIRONMENT,
                                            {0.0f, 0.0f, 0.0f});
    win_environment* env = courtyard ? courtyard->u.win_environment = malloc_win_environment()
                                     : nullptr;
    if (!env)
        return courtyard ? demo_entity_finished(courtyard, false) : nullptr;
    // The hulls are loaded by name when the level loads; the exit opens
    // once the guard is beaten.
    bool ok = demo_entity_set_names(
        &env->win_collision_filename_array, &env->win_collision_filename_array_size,
        {"courtyard_wall", "gate_wall", "floor"}, malloc_win_filename_ptr_array);
    if ((env->win_trigger_array = malloc_win_trigger_array(4))) {
        env->win_trigger_array_size = 4;
        ok = set_trigger(&env->win_trigger_array[0], "flask", "flask_zone", demo_level_flask_script,
                         1) &&
             set_trigger(&env->win_trigger_array[1], "gate", "gate_zone", demo_level_gate_script,
                         1) &&
             set_trigger(&env->win_trigger_array[2], "exit", "exit_zone", demo_level_end_script,
                         0) &&
             face_the_way(&env->win_trigger_array[2], 0.0f, PI / 2.0f) &&
             set_trigger(&env->win_trigger_array[3], "gravel", "north_zone",
                         demo_level_gravel_script, 1) &&
             ok;
    }
    // Before the gate the camera swings round to look at it; beyond the gate
    // (a zone the gate's opening switches on) and at the way out it cuts
    // from one view of the north yard to the other.
    if ((env->win_explore_cam_array = malloc_win_explore_cam_array(3))) {
        env->win_explore_cam_array_size = 3;
        win_explore_cam* cams = env->win_explore_cam_array;
        ok = set_explore_cam(&cams[0], "gate_cam", "gate_zone", {9.0f, 7.0f, 16.0f}, 12.0f, 4.0f) &&
             set_explore_cam(&cams[1], "north_cam", "north_zone", {-16.0f, 10.0f, 3.0f}, -2.0f,
                             CUT_BRAKING) &&
             set_explore_cam(&cams[2], "exit_cam", "exit_zone", {14.0f, 8.0f, -10.0f}, -2.0f,
                             CUT_BRAKING) &&
             ok;
        cams[0].explore_cam_look_at = {0.0f, 1.0f, DEMO_LEVEL_GATE_WALL[1]};
    }
    env->win_map_filename = STRDUP("courtyard");
    return demo_entity_finished(courtyard, ok && env->win_trigger_array &&
                                               env->win_explore_cam_array && env->win_map_filename);
}

// A character drawn as the model `model` (NULL: none), with the state table
// `table` (NULL: none) and `flags`.
win_entity* make_character(const char* name, const char* model, const char* table,
                           win_vect3 position, uint32_t flags, float hitpoints)
{
    win_entity* entity = demo_entity_new(name, WIN_ENTITY_TYPE_CHARACTER, position);
    if (!entity)
        return nullptr;
    entity->win_entity_flag = flags;
    win_character* character = entity->u.win_character = malloc_win_character();
    bool ok = character && (!model || (character->mow_model_filename = STRDUP(model))) &&
              (!table || (entity->win_ast_filename = STRDUP(table)));
    if (character) {
        character->hitpoints = hitpoints;
        character->max_hitpoints = hitpoints;
    }
    return demo_entity_finished(entity, ok);
}

// The AI file `ai` and the sub-entity files `subs` of a character.
win_entity* with_mind(win_entity* entity, const char* ai, std::initializer_list<const char*> subs)
{
    win_character* character = win_entity_character(entity);
    bool ok = character && (character->ai_filename = STRDUP(ai)) &&
              (subs.size() == 0 || demo_entity_set_names(&entity->win_child_name_ptr_array,
                                                         &entity->win_child_name_ptr_array_size,
                                                         subs, malloc_win_filename_ptr_array));
    return entity ? demo_entity_finished(entity, ok) : nullptr;
}

constexpr uint32_t FIGHTER_FLAGS = ENTITY_FLAG_VISIBLE | ENTITY_FLAG_BRAIN | ENTITY_FLAG_TARGET |
                                   ENTITY_FLAG_ENVIRONMENT_COLLISION |
                                   ENTITY_FLAG_CHARACTER_COLLISION;

// The hero, with a sword in the figure's arm (joint 1), his mind (what the
// hit rules ask of a character they hurt, and his end script) and the sparks
// his wounds throw.
win_entity* make_hero(void)
{
    win_entity* hero = with_mind(make_character("hero", "hero", "hero", DEMO_LEVEL_HERO_START,
                                                FIGHTER_FLAGS, DEMO_LEVEL_HERO_HITPOINTS),
                                 "hero", {"hero_sparks"});
    if (!hero)
        return nullptr;
    win_entity* sword = make_character(
        "sword", nullptr, nullptr, {0.0f, 1.0f, 0.0f},
        ENTITY_FLAG_VISIBLE | ENTITY_FLAG_WEAPON | ENTITY_FLAG_MELEE_1, -1.0f);
    if (sword) {
        sword->parent_joint_idx = 1;
        // A sword has no ammunition to count, and strikes at once.
        win_weapon_data& blade = sword->u.win_character->weapon_data;
        blade.max_ammo_count = blade.ammo_count = 0;
        blade.max_charge = blade.charge = 0.0f;
    }
    return demo_entity_finished(hero, demo_entity_adopt(hero, sword));
}

// The guard, with the blade his melee sector takes up, the sparks his
// wounds throw, and the count of his wounds for the scripts.
win_entity* make_guard(void)
{
    win_entity* guard = with_mind(make_character("guard", "foe", "guard", DEMO_LEVEL_GUARD_START,
                                                 FIGHTER_FLAGS, DEMO_LEVEL_GUARD_HITPOINTS),
                                  "guard", {"guard_sparks"});
    if (!guard)
        return nullptr;
    win_entity* blade = make_character("guard_blade", nullptr, nullptr, {0.0f, 1.0f, 0.0f},
                                       ENTITY_FLAG_WEAPON | ENTITY_FLAG_MELEE_1, -1.0f);
    if (blade)
        blade->parent_joint_idx = 1;
    return demo_entity_finished(
        guard, demo_entity_adopt(guard, blade) &&
                   demo_entity_set_names(&guard->win_state_name_ptr_array,
                                         &guard->win_state_name_ptr_array_size, {"wounds"},
                                         malloc_win_state_name_ptr_array));
}

// The guard's comrades: copies of him, blade in hand, that an emitter places
// on the walkway behind the north wall when the gate opens, keeping watch
// outward (north). A particle stands upright whichever way its emitter is
// turned (the emitter gives only its direction), and the spread is across
// the emitter's x and y: the gate script tips the emitter forward, so that
// its y runs across the walkway.
win_entity* make_watch(void)
{
    win_entity* watch = demo_entity_new_emitter("watch", WATCH_POSITION, "guard",
                                                {2, 2.0f, 0.0f, 0, 0.0f, 100000.0f, 0.0f});
    if (watch) {
        watch->win_entity_flag = 0;
        watch->life_span = -1.0f;
        watch->u.win_emitter->position_spread = WATCH_SPREAD;
        watch->u.win_emitter->use_emitter_direction = 1;
        // They stand still: no turn of their own.
        for (auto& turn : watch->u.win_emitter->particle_rot_velocity)
            turn[0] = turn[1] = 0.0f;
    }
    return watch;
}

// The sling, which the start script puts in the hero's left hand: put away
// until drawn, three stones to a loading and DEMO_LEVEL_SLING_STONES in the
// pouch, fired through its emitter.
win_entity* make_sling(void)
{
    win_entity* sling = make_character(
        "sling", "sling", nullptr, {0.0f, 0.0f, 0.0f},
        ENTITY_FLAG_VISIBLE | ENTITY_FLAG_WEAPON | ENTITY_FLAG_PROJECTILE_1, -1.0f);
    if (!sling)
        return nullptr;
    sling->life_span = -1.0f;
    win_weapon_data& pouch = sling->u.win_character->weapon_data;
    pouch.clip_size = 3;
    pouch.max_charge = pouch.charge = 0.0f;
    pouch.max_ammo_count = 12;
    pouch.ammo_count = DEMO_LEVEL_SLING_STONES;
    return demo_entity_finished(sling, demo_entity_set_names(&sling->win_child_name_ptr_array,
                                                             &sling->win_child_name_ptr_array_size,
                                                             {"sling_shot"},
                                                             malloc_win_filename_ptr_array));
}

// What the sling shoots: stones, one at a time, along the hand's aim.
win_entity* make_sling_shot(void)
{
    win_entity* shot = demo_entity_new_emitter("sling_shot", {0.0f, 0.0f, 0.0f}, "stone",
                                               {4, 0.0f, STONE_SPEED, 0, 0.0f, 1.0f, 0.0f});
    if (shot)
        shot->u.win_emitter->use_emitter_direction = 1;
    return shot;
}

// A stone in flight: a projectile that hurts what it meets (its hitpoints
// are its damage) and stops at the walls; free until shot.
win_entity* make_stone(void)
{
    win_entity* stone = make_character(
        "stone", "stone", nullptr, {0.0f, 0.0f, 0.0f},
        ENTITY_FLAG_VISIBLE | ENTITY_FLAG_BRAIN | ENTITY_FLAG_PROJECTILE |
            ENTITY_FLAG_ENVIRONMENT_COLLISION | ENTITY_FLAG_CHARACTER_COLLISION,
        DEMO_LEVEL_STONE_DAMAGE);
    if (stone)
        stone->life_span = 0.0f;
    return stone ? demo_entity_finished(
                       stone, demo_entity_set_names(&stone->win_child_name_ptr_array,
                                                    &stone->win_child_name_ptr_array_size,
                                                    {"stone_trail"}, malloc_win_filename_ptr_array))
                 : nullptr;
}

// The sparks a stone strikes from the air as it flies.
win_entity* make_stone_trail(void)
{
    return demo_entity_new_emitter("stone_trail", {0.0f, 0.0f, 0.0f}, "spark",
                                   {2, 12.0f, 0.5f, 0, 60.0f, 0.25f, 0.0f});
}

// The hound: it follows the hero about the yard and harms no one.
win_entity* make_hound(void)
{
    return with_mind(
        make_character("hound", "hound", "hound", {0.0f, 0.0f, 0.0f},
                       ENTITY_FLAG_VISIBLE | ENTITY_FLAG_BRAIN | ENTITY_FLAG_ENVIRONMENT_COLLISION,
                       10.0f),
        "hound", {});
}

// A camera looking at the hero's arm joint.
win_entity* make_hero_camera(const char* name, win_vect3 position)
{
    win_entity* entity = demo_entity_new(name, WIN_ENTITY_TYPE_CAMERA, position);
    win_camera* camera = entity ? entity->u.win_camera = malloc_win_camera() : nullptr;
    win_camera_target* hero = camera ? malloc_win_camera_target("hero") : nullptr;
    if (!hero)
        return entity ? demo_entity_finished(entity, false) : nullptr;
    camera->field_of_view = CAMERA_VIEW;
    hero->target_joint_idx = 1;
    return demo_entity_finished(
        entity, add_to_win_camera_target_list(&camera->win_camera_target_list,
                                              &camera->win_camera_target_list_size, hero));
}

// The crane's camera, looking at the hero, and the crane, which launches it
// when a script gives the crane a moment of life (it holds a spare).
win_entity* make_crane_camera(void)
{
    win_entity* camera = make_hero_camera("crane", {0.0f, 0.0f, 0.0f});
    if (camera)
        camera->win_entity_flag = 0;
    return camera;
}

win_entity* make_crane(void)
{
    win_entity* crane = demo_entity_new_emitter("crane_rig", CRANE_POSITION, "crane",
                                                {2, 1.0f, 1.5f, 0, 0.0f, 4.0f, 0.0f});
    if (crane) {
        crane->win_entity_flag = 0;
        crane->life_span = -1.0f;
        crane->u.win_emitter->use_emitter_direction = 1;
    }
    return crane;
}

// The flask of mead that lies in the hero's way: it has weight, and rests
// on the floor when it drops.
win_entity* make_flask(void)
{
    return make_character(
        "flask", "flask", nullptr, DEMO_LEVEL_FLASK_START,
        ENTITY_FLAG_VISIBLE | ENTITY_FLAG_ITEM | ENTITY_FLAG_ENVIRONMENT_COLLISION, -1.0f);
}

// Where a fighter is hit, sparks fly (the hit rules fire it for a quarter of
// a second); until then it is spent.
win_entity* make_sparks(const char* name)
{
    win_entity* sparks = demo_entity_new_emitter(name, {0.0f, 0.0f, 0.0f}, "spark",
                                                 {6, 24.0f, 2.0f, 1, 120.0f, 0.4f, 0.2f});
    if (sparks) {
        sparks->win_entity_flag = ENTITY_FLAG_WEAPON_EMITTER;
        sparks->life_span = -1.0f;
    }
    return sparks;
}

win_entity* make_hero_sparks(void)
{
    return make_sparks("hero_sparks");
}

win_entity* make_guard_sparks(void)
{
    return make_sparks("guard_sparks");
}

// A spark stands upright and turns about it to the camera.
win_entity* make_spark(void)
{
    win_entity* spark = make_character(
        "spark", "ember", nullptr, {0.0f, 0.0f, 0.0f},
        ENTITY_FLAG_VISIBLE | ENTITY_FLAG_NO_LIGHTING | ENTITY_FLAG_UPRIGHT_BILLBOARD, -1.0f);
    if (spark)
        spark->life_span = 0.0f;
    return spark;
}

// The scenery: drawn, standing still where its model puts it.
win_entity* make_yard(void)
{
    return make_character("yard", "yard", nullptr, {0.0f, 0.0f, 0.0f}, ENTITY_FLAG_VISIBLE, -1.0f);
}

win_entity* make_gate(void)
{
    return make_character("gate", "gate", nullptr, {0.0f, 0.0f, 0.0f}, ENTITY_FLAG_VISIBLE, -1.0f);
}

win_entity* make_lamp(void)
{
    win_entity* lamp = demo_entity_new("lamp", WIN_ENTITY_TYPE_LIGHT, LAMP_POSITION);
    win_light* light = lamp ? lamp->u.win_light = malloc_win_light("lamp_light") : nullptr;
    if (light) {
        D3DLIGHT7& d3d = light->d3d_light;
        d3d.dltType = D3DLIGHT_POINT;
        d3d.dcvDiffuse = {255.0f, 210.0f, 150.0f, 1.0f};  // the files' 0 to 255
        d3d.dvPosition = {LAMP_POSITION.x, LAMP_POSITION.y, LAMP_POSITION.z};
        d3d.dvRange = 80.0f;
        d3d.dvAttenuation0 = 1.0f;
    }
    return lamp ? demo_entity_finished(lamp, light != nullptr) : nullptr;
}

// A light of the type `type` (0: the ambient light) and the colour `colour`
// (the files' 0 to 255).
win_entity* make_light(const char* name, uint32_t type, D3DCOLORVALUE colour)
{
    win_entity* entity = demo_entity_new(name, WIN_ENTITY_TYPE_LIGHT, {0.0f, 30.0f, 0.0f});
    win_light* light = entity ? entity->u.win_light = malloc_win_light(name) : nullptr;
    if (light) {
        light->d3d_light.dltType = type;
        light->d3d_light.dcvDiffuse = colour;
    }
    return entity ? demo_entity_finished(entity, light != nullptr) : nullptr;
}

// The dusk, the yard's ambient light, and the moon's cold light from above.
win_entity* make_dusk(void)
{
    return make_light("dusk", 0, {90.0f, 90.0f, 100.0f, 1.0f});
}

win_entity* make_moon(void)
{
    return make_light("moon", D3DLIGHT_DIRECTIONAL, {40.0f, 50.0f, 80.0f, 1.0f});
}

// The glow of the embers: glimmers of firelight, short-lived point lights
// that an emitter throws about the embers, so that the light there flickers.
win_entity* make_glow(void)
{
    return demo_entity_new_emitter("glow", EMBERS_POSITION, "glimmer",
                                   {2, 5.0f, 1.0f, 0, 120.0f, 0.4f, 0.2f});
}

win_entity* make_glimmer(void)
{
    win_entity* glimmer = make_light("glimmer", D3DLIGHT_POINT, {255.0f, 140.0f, 60.0f, 1.0f});
    if (glimmer) {
        glimmer->life_span = 0.0f;
        glimmer->u.win_light->d3d_light.dvRange = 8.0f;
    }
    return glimmer;
}

// The game camera, following the hero's arm joint.
win_entity* make_camera(void)
{
    return make_hero_camera("camera", CAMERA_START);
}

// Embers rising by the way out.
win_entity* make_embers(void)
{
    win_entity* embers = demo_entity_new_emitter("embers", EMBERS_POSITION, "ember",
                                                 {8, 4.0f, 1.5f, 1, 25.0f, 1.5f, 0.5f});
    if (embers) {
        embers->u.win_emitter->emit_rate_variance = 2.0f;
        embers->u.win_emitter->position_spread = 0.8f;
    }
    return embers;
}

// An ember turns its face to the camera.
win_entity* make_ember(void)
{
    return make_character("ember", "ember", nullptr, {0.0f, 0.0f, 0.0f},
                          ENTITY_FLAG_VISIBLE | ENTITY_FLAG_NO_LIGHTING | ENTITY_FLAG_BILLBOARD,
                          -1.0f);
}

// The scene of an episode that is not in the demo: an empty place, and an
// unseen player who stands still in it.
win_entity* make_title_card(void)
{
    win_entity* card = demo_entity_new("title_card", WIN_ENTITY_TYPE_ENVIRONMENT,
                                       {0.0f, 0.0f, 0.0f});
    return card ? demo_entity_finished(card, (card->u.win_environment = malloc_win_environment()))
                : nullptr;
}

win_entity* make_narrator(void)
{
    return make_character("narrator", "hero", "hero", {0.0f, 0.0f, 0.0f}, 0, -1.0f);
}

bool write_entities(void)
{
    const struct {
        win_entity* (*make)(void);
        float weight;  // of the game's gravity, as the entity feels it
    } makers[] = {
        {make_courtyard, 0.0f},   {make_yard, 0.0f},        {make_gate, 0.0f},
        {make_hero, HERO_WEIGHT}, {make_guard, 0.0f},       {make_lamp, 0.0f},
        {make_camera, 0.0f},      {make_embers, 0.0f},      {make_ember, EMBER_LIFT},
        {make_sling, 0.0f},       {make_sling_shot, 0.0f},  {make_stone, 0.0f},
        {make_flask, 1.0f},       {make_hero_sparks, 0.0f}, {make_guard_sparks, 0.0f},
        {make_spark, SPARK_FALL}, {make_title_card, 0.0f},  {make_narrator, 0.0f},
        {make_stone_trail, 0.0f}, {make_hound, 0.0f},       {make_crane_camera, 0.0f},
        {make_crane, 0.0f},       {make_watch, 0.0f},       {make_dusk, 0.0f},
        {make_moon, 0.0f},        {make_glow, 0.0f},        {make_glimmer, 0.0f},
    };
    bool ok = true;
    for (const auto& maker : makers) {
        win_entity* entity = maker.make();
        if (entity)
            entity->gravity_factor = {0.0f, maker.weight, 0.0f};
        ok = entity &&
             demo_entity_write_file(
                 data_path(game_globals.entity_pathname, entity->win_entity_name, "enw").c_str(),
                 entity) &&
             ok;
        if (entity)
            free_win_entity(entity);
    }
    return ok;
}

// ---- State tables and animations ----

// The fighters' tables of demo_ast.h (the hero's with his weapons),
// walking forward (-z) at `speed` and striking for `attack`; a hit plays
// the script `hurt` (NULL: none).
bool write_fighter_table(const char* name, const char* model, float speed, int32_t attack,
                         const char* hurt, bool hero)
{
    win_ast* table = hero ? demo_ast_make_hero(name, model, "hero_")
                          : demo_ast_make_fighter(name, model, "");
    if (!table)
        return false;
    // A fighter walks on its animation's root, a unit a second (see
    // write_animation) scaled to its pace, lunges as it strikes and stands
    // still in every other state. Root motion is a step from where the
    // fighter stands, which a wall or another fighter may shorten. A state's
    // extra velocity would not do: it is taken back at the next state change
    // even after a wall has stopped the fighter, who then drifts off
    // backwards while standing.
    win_anim_table_base* states = table->win_anim_table_base_array;
    for (int32_t i = 0; i < table->win_anim_table_base_array_size; ++i)
        states[i].translation_multiplier = {0.0f, 0.0f, 0.0f};
    for (int32_t walking : {DEMO_AST_WALK, DEMO_AST_WALK_LEFT, DEMO_AST_WALK_RIGHT})
        states[walking].translation_multiplier = {0.0f, 0.0f, speed};
    win_anim_table_base& walk = states[DEMO_AST_WALK];
    walk.extra_translation_velocity = {0.0f, 0.0f, 0.0f};
    FREE(walk.play_script);
    walk.play_script = nullptr;
    win_anim_table_base& strike = states[DEMO_AST_STRIKE];
    strike.translation_multiplier = {0.0f, 0.0f, STRIKE_LUNGE};
    strike.attack_value = attack;
    bool ok = (!hurt || (states[DEMO_AST_HURT].play_script = STRDUP(hurt))) &&
              demo_ast_write(data_path(game_globals.anim_table_pathname, name, "ast").c_str(),
                             table);
    free_win_ast(table);
    return ok;
}

// A fighter's animation as `anim` gives it: the root walking forward (-z) a
// unit a second for the wave, a bounding sphere the size of a fighter, the
// arm held out forward. The hero's have a track for each of his joints, his
// left arm at its rest.
bool write_animation(mow_anim* anim, bool hero)
{
    // The wave's root walks forward (-z) a unit a second (key times are in
    // ms); a fall's stays where it is.
    const bool walks = anim && anim->root_mow_track.mow_trans_key_array_size > 1;
    for (int32_t k = 0; walks && k < anim->root_mow_track.mow_trans_key_array_size; ++k) {
        mow_trans_key& key = anim->root_mow_track.mow_trans_key_array[k];
        key.translate = {0.0f, 0.0f, -0.001f * key.key_time};
    }
    // The wave's bounding sphere keys hold the whole swing; the fighters
    // keep a tighter one. Their arm is held out forward (see ARM_REACH)
    // whatever the swing, and its sphere holds the capsule.
    for (int32_t i = 0; anim && i < anim->mow_sphere_key_array_size; ++i)
        anim->mow_sphere_key_array[i].radius = FIGHTER_RADIUS;
    const win_vect3 arm_middle = {ARM_SPHERE_CENTRE.x, ARM_JOINT_HEIGHT + ARM_SPHERE_CENTRE.y,
                                  ARM_SPHERE_CENTRE.z - ARM_REACH / 2.0f};
    for (int32_t i = 0; anim && i < anim->mow_appendage_key_array_size; ++i) {
        mow_appendage_key& key = anim->mow_appendage_key_array[i];
        for (int32_t a = 0; a < key.mow_appendage_sphere_key_array_size; ++a) {
            mow_appendage_sphere_key& arm = key.mow_appendage_sphere_key_array[a];
            arm.center = arm_middle;
            arm.radius = ARM_REACH / 2.0f + ARM_RADIUS;
            for (int32_t k = 0; k < arm.mow_segment_key_array_size; ++k)
                arm.mow_segment_key_array[k] = {{0.0f, 0.0f, -ARM_REACH}, ARM_REACH, ARM_RADIUS};
        }
    }
    // The hero's left arm rests as the auto-aim holds an arm that aims: the
    // shoulder turns about z, the arm about x and y (two axes turn in that
    // order), so the arm turns as the aim's offset does.
    const float* rest = VK_AUTO_AIM_ARM_OFFSET;
    bool ok = anim && (!hero || (demo_anim_hold_rotation(anim, DEMO_MODEL_HERO_LEFT_SHOULDER_JOINT,
                                                         {0.0f, 0.0f, rest[2]}) &&
                                 demo_anim_hold_rotation(anim, DEMO_MODEL_HERO_LEFT_ARM_JOINT,
                                                         {rest[0], rest[1], 0.0f})));
    ok = ok &&
         demo_anim_write_file(
             data_path(game_globals.animation_pathname, anim->mow_anim_name, "trw").c_str(), anim);
    if (anim)
        free_mow_anim(anim);
    return ok;
}

// The turn about x that lays the figure on its back.
float fall_angle(void)
{
    win_matrix43 turn;
    win_math_set_rotate_x_matrix43(&turn, PI / 2.0f);
    const win_vect3 up = {0.0f, 1.0f, 0.0f};
    win_vect3 laid;
    win_math_multiply_vect3_by_matrix43(&laid, &up, &turn);
    // The figure faces -z: on its back its head lies toward +z.
    return laid.z > 0.0f ? PI / 2.0f : -PI / 2.0f;
}

bool write_animations(void)
{
    bool ok = true;
    for (bool hero : {false, true}) {
        const std::string prefix = hero ? "hero_" : "";
        const int32_t tracks = hero ? (int32_t)DEMO_MODEL_HERO_JOINTS : (int32_t)DEMO_MODEL_JOINTS;
        for (const char* name : {"idle", "wave"})
            ok = write_animation(demo_anim_make_wave((prefix + name).c_str(), tracks), hero) && ok;
        ok = write_animation(demo_anim_make_fall((prefix + "fall").c_str(), tracks, fall_angle()),
                             hero) &&
             ok;
    }
    return ok;
}

// ---- The fighters' minds ----

bool write_guard_ai(void)
{
    win_ai* ai = demo_ai_make_guard();
    win_map* map = demo_ai_make_map("courtyard");
    bool ok = ai && map;
    if (ok) {
        // Until the gate opens the guard keeps its post behind it; it fights
        // at arm's length, with its first (melee) sector alone: a sector
        // farther off would have it stand off and strike the air.
        ai->default_goal.goal_point = DEMO_LEVEL_GUARD_START;
        // Its state table walks and has no running state: it closes in
        // walking (a runner's input would leave it standing).
        ai->personality.mobility_type = 2;
        // Its blows and its hide: a blow from the front (damage_1) takes
        // GUARD_BLOW less the hero's armour; the hero's sword and stones
        // lose what the guard's armour says.
        ai->personality.attack_interval = 1.5f;
        ai->personality.damage_1 = DEMO_LEVEL_GUARD_BLOW;
        ai->personality.armour = 2;
        ai->personality.melee_armour = 4;
        ai->personality.projectile_armour = 2;
        // Its description names the scripts that its hits play, as its
        // states and the hero's play them.
        FREE(ai->give_hit_script);
        FREE(ai->receive_hit_script);
        ai->give_hit_script = STRDUP("hero_hurt");
        ai->receive_hit_script = STRDUP("guard_hurt");
        ok = ai->give_hit_script && ai->receive_hit_script;
        while (ai->attack_sector_list && ai->attack_sector_list_size > 1) {
            win_hot_sector* far = ai->attack_sector_list->prev_ptr;
            remove_from_win_hot_sector_list(&ai->attack_sector_list, &ai->attack_sector_list_size,
                                            far);
            free_win_hot_sector(far);
        }
        if (ai->attack_sector_list) {
            ai->attack_sector_list->sector.f[0] = 0.0f;
            ai->attack_sector_list->sector.f[1] = STRIKE_RANGE;
        }
        // The map's nodes lie in the hero's yard, south of the gate. Walls
        // block sight at every height, switched off or not, so no node
        // beyond the gate is ever in sight from the guard's side: with none
        // in sight the guard walks straight at the hero through the opened
        // gate, and finds the nodes once through.
        for (int32_t i = 0; i < map->node_array_size; ++i) {
            win_vect3& at = map->node_array[i].node_location;
            at = {at.x * MAP_SCALE + MAP_OFFSET.x, at.y * MAP_SCALE + MAP_OFFSET.y,
                  at.z * MAP_SCALE + MAP_OFFSET.z};
        }
        ok = ok && demo_ai_write(data_path(game_globals.ai_pathname, "guard", "int").c_str(), ai) &&
             demo_ai_write_map(data_path(game_globals.ai_pathname, "courtyard", "map").c_str(),
                               map);
    }
    if (ai)
        free_win_ai(ai);
    if (map)
        free_win_map(map);
    return ok;
}

// The hound's: it walks (its table has no running state) where its goals
// send it, and fights no one.
bool write_hound_ai(void)
{
    win_ai* ai = malloc_win_ai();
    bool ok = ai != nullptr;
    if (ok) {
        ai->personality.demeanor = 2;  // chicken
        ai->personality.mobility_type = 2;
        // Left to itself it would go after the hero (the goal is stored; the
        // start script gives the goals it follows).
        ai->default_goal.ai_goal_type = AI_GOAL_HUNT_TARGET;
        ok = (ai->default_goal.target_name = STRDUP("hero")) != nullptr;
        ok = ok && demo_ai_write(data_path(game_globals.ai_pathname, "hound", "int").c_str(), ai);
    }
    if (ai)
        free_win_ai(ai);
    return ok;
}

// The hero's mind is no goal machine (he is the player's): it is what the
// hit rules ask of a character they hurt, his blows and armour, and the end
// script that closes the level when he falls.
bool write_hero_ai(void)
{
    win_ai* ai = malloc_win_ai();
    bool ok = ai && (ai->end_script = STRDUP(demo_level_hero_end_script));
    if (ok) {
        win_personality& p = ai->personality;
        p.demeanor = 0;  // neutral
        p.mobility_type = 0;
        p.damage_1 = DEMO_LEVEL_HERO_BLOW;
        p.damage_2 = DEMO_LEVEL_HERO_BLOW;
        p.damage_3 = DEMO_LEVEL_HERO_BLOW;
        p.armour = 3;
        ok = demo_ai_write(data_path(game_globals.ai_pathname, "hero", "int").c_str(), ai);
    }
    if (ai)
        free_win_ai(ai);
    return ok;
}

// ---- Sounds ----

// A tone in a wave file: IMA ADPCM for the long ones, which it packs four to
// one, PCM for the others.
bool write_sound(const char* name, double seconds, double frequency, double amplitude)
{
    const int32_t rate = 22050;
    const std::vector<int16_t> tone = sound_tone((int32_t)(seconds * rate), 1, rate, frequency,
                                                 amplitude);
    std::string image = seconds > 1.0 ? sound_wav_ima_adpcm(tone, 1, rate)
                                      : sound_wav_pcm(tone, 1, rate);
    char host[1024];
    std::string path = game_globals.sound_pathname + std::string("\\") + name;
    FILE* file = platform_resolve_path(path.c_str(), host, sizeof host) ? fopen(host, "wb")
                                                                        : nullptr;
    bool ok = file && fwrite(image.data(), 1, image.size(), file) == image.size();
    if (file)
        ok = fclose(file) == 0 && ok;
    if (!ok)
        fprintf(stderr, "demo_tree: cannot write %s\n", path.c_str());
    return ok;
}

bool write_sounds(void)
{
    static const struct {
        const char* name;
        double seconds, frequency, amplitude;
    } sounds[] = {
        {"step.wav", 0.08, 180.0, 0.3},  {"gate.wav", 0.9, 90.0, 0.6},
        {"swing.wav", 0.12, 900.0, 0.3}, {"groan.wav", 0.4, 140.0, 0.5},
        {"ouch.wav", 0.3, 220.0, 0.5},   {"fall.wav", 0.7, 70.0, 0.6},
        {"twang.wav", 0.2, 330.0, 0.4},  {"pickup.wav", 0.2, 660.0, 0.4},
        {"drink.wav", 0.5, 300.0, 0.4},  {"fanfare.wav", 1.5, 523.25, 0.4},
        {"dirge.wav", 2.0, 110.0, 0.5},  {"gravel.wav", 0.1, 120.0, 0.3},
    };
    bool ok = true;
    for (const auto& sound : sounds)
        ok = write_sound(sound.name, sound.seconds, sound.frequency, sound.amplitude) && ok;
    return ok;
}

// ---- Scripts ----

// The level's scripts in the assembler's text form (scriptasm.h). Entity
// ids are the start script's throughout; the later scripts find the
// entities that the start loaded. An entity with a negative id is only
// looked for, never loaded by the script: the sword, which comes with the
// hero, and whatever a later script names that may be gone by then. In the
// text, "$sling_in_hand" stands for the matrix of the sling in the hero's
// hand (sling_in_hand), "$mead" for DEMO_LEVEL_FLASK_MEAD, "$camera_start"
// and "$camera_place" for CAMERA_START and CAMERA_PLACE.
const struct {
    const char* name;
    const char* source;
} level_scripts[] = {
    {demo_level_start_script, R"(
# The prologue: the courtyard at dusk, the hero at its south end with a sword
# and a sling, a flask in his way, the hound in the yard, the guard near his
# post behind the closed gate, the embers glowing at the far end.
.entity "courtyard", "courtyard", 1
.entity "hero", "hero", 2
.entity "guard", "guard", 3
.entity "lamp", "lamp", 4
.entity "camera", "camera", 5
.entity "embers", "embers", 6
.entity "sword", "sword", -7
.entity "yard", "yard", 8
.entity "gate", "gate", 9
.entity "sling", "sling", 10
.entity "flask", "flask", 11
.entity "hound", "hound", 12
.entity "crane_rig", "crane_rig", 13
.entity "guard_blade", "guard_blade", -14
.entity "dusk", "dusk", 15
.entity "moon", "moon", 16
.entity "glow", "glow", 17
.attach 2, 10, 8, $sling_in_hand
display_message 24, 40, 255, 236, 200, 8, "Walk to the gate: Up arrow. Hints: F7"
set_environment 1
set_player 2
# A new player character takes the acceleration parked by the last one: the
# hero's weight keeps him on the yard's floor. He stands his ground: a blow
# pushes him back a third as far as the guard.
set_acceleration 2, 0, 1, 0
set_mass 2, 3
set_camera 5
place 2, 0, 0, 18
# The guard starts his watch a few steps behind his post and walks to it.
place 3, 0, 0, -8.5
orient 3, 0, 3.1415927, 0
place 5, $camera_start
place 6, 0, 0.5, -21
place 11, 0, 0, 13.5
add_translation 11, 1.5, 0, 0
add_rotation 11, 0, 40, 0
place 12, -8, 0, 21
# The crane points its launch up and back over the yard; the moon shines
# from the south-east, high.
place 13, 0, 3, -12
orient 13, 0.9, 0, 0
orient 16, -1.1, 0.6, 0
set_rotation 16, 0, 0.02, 0
set_current_weapon 2, -7
set_current_weapon 3, -14
attach_entity 0
# Nothing to fight before the gate opens.
enable_attack 0
# The camera holds its high view a moment, then comes down behind the hero;
# the guard walks to his post and keeps it; the hound sits a moment, trots
# off to a corner of the yard, then looks for the hero and follows him.
add_new_goal 5, 2, 800, 0, 0, -1, 7
add_new_goal 5, 2, $camera_place, 6, 1
enable_brain 3, 1
add_new_goal 3, 2, 0, 0, -6, 2, 21
enable_brain 12, 1
add_new_goal 12, 2, 0, 0, 0, -1, 10
add_new_goal 12, 2, 0, 0, 0, -1, 23
add_new_goal 12, 2, 1500, 0, 0, -1, 7
set_fog 1, 0.08, 0.08, 0.1, 30, 90
fade_in_global 2
fade_in_screen 1.5
)"},
    {demo_level_flask_script, R"(
# The hero finds a flask of mead and hangs it at his belt.
.entity "hero", "hero", 2
.entity "flask", "flask", -11
.attach 2, -11, 2, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0.9, -0.4, 0.1, 56
.sound "pickup", "pickup.wav", 1
attach_entity 0
set_current_item 2, -11
play_sound 1, 1
display_message 24, 40, 255, 236, 200, 5, "You take a flask of mead. Y drinks it."
)"},
    {demo_level_flask_use_script, R"(
# The flask is drunk: it heals, the hero looks at it close up (until a key
# is pressed), and the empty flask is tossed aside.
.entity "hero", "hero", 2
.entity "flask", "flask", -11
.sound "drink", "drink.wav", 1
add_hit_points 2, $mead
play_sound 1, 1
display_message 24, 40, 255, 236, 200, 5, "You drink the mead and feel stronger."
display_closeup -11
detach_child_entity 2, -11
set_speed -11, 1, 3, 0
set_current_item 2, 0
)"},
    {demo_level_gate_script, R"(
# The hero stands before the gate: it opens, the north yard's camera zone
# comes alive, the guard's comrades come up on the walkway behind the north
# wall, and the guard, turned to face him, comes for him while the camera
# watches him come.
.entity "camera", "camera", 5
.entity "hero", "hero", 2
.entity "guard", "guard", 3
.entity "gate", "gate", 9
.entity "watch", "watch", 17
# The camera's targets at their arm joints (target, then camera, by their
# places in this table): the guard, then the hero again.
.attach 2, 0, 1
.attach 1, 0, 1
.sound "gate", "gate.wav", 1
unload_entity 9
enable_collision_file 0, "gate_wall"
enable_camzone_file 1, "north_cam"
play_sound 1, 1
set_volume 1, 110, 64
display_message 24, 40, 255, 236, 200, 6, "The gate opens. The guard attacks! Strike: C"
enable_attack 1
place 17, 0, 4, -26
orient 17, 1.5707964, 0, 0
set_lifespan 17, 1
set_camera_target 0
clear_goals 3
face_entity 3, 2
add_new_goal 3, 2, 0, 0, 0, -1, 4
wait 1200
set_camera_target 1
)"},
    {demo_level_gravel_script, R"(
# North of the gate the yard is gravel.
set_player_step_sound "gravel.wav"
)"},
    {"guard_hurt", R"(
# A blow lands on the guard: one wound more.
.entity "guard", "guard", -3
.state_variable "wounds", 0, 0, -3
.sound "groan", "groan.wav", 1
assign state(0), state(0) + 1
play_sound 1, 1
shake_camera 0.15, 0.1, 0, 0.25
)"},
    {"hero_hurt", R"(
# A blow lands on the hero.
.sound "ouch", "ouch.wav", 1
play_sound 1, 1
shake_camera 0.3, 0.3, 0, 0.4
)"},
    {demo_level_guard_end_script, R"(
# The guard is beaten: the way out opens, the fallen guard no longer stands
# in the hero's way and the hound leaves him to roam the yard from node to
# node. The hero, thrown about by the fight, turns to face the way out, puts
# his weapon away once he stands and raises his arm, and the embers flare.
.entity "hero", "hero", 2
.entity "guard", "guard", 3
.entity "embers", "embers", 6
.entity "ember", "ember", -12
.entity "hound", "hound", -13
.state_variable "cheer", 1, 2, 2
.shader 3, 0, 1
enable_collision 3, 0
clear_goals -13
add_new_goal -13, 2, 0, 0, 0, -1, 8
display_message 24, 40, 255, 236, 200, 6, "The guard is beaten. Walk on north."
enable_trigger_file 1, "exit"
face_entity_now 2, 6
holster_weapon 2
animate 0
shader_animate 0
)"},
    {demo_level_hero_end_script, R"(
# The hero has fallen: the crane lifts the camera over him, the light dies
# and the screen darkens to red under the closing words, then the menu.
.entity "crane", "crane", -14
.entity "crane_rig", "crane_rig", -13
.sound "dirge", "dirge.wav", 1
play_sound 1, 1
set_lifespan -13, 1
set_camera -14
letterbox 1
fade_out_global 3
fade_out_screen_color 2.5, 90, 0, 0
display_message 150, 220, 255, 236, 200, 6, "You have fallen. The Prologue is lost."
wait 6000
change_game_mode "menu"
)"},
    {demo_level_end_script, R"(
# The end of the episode: the crane lifts the camera, which looks over the
# hero at the flaring embers, the hound stops and stands where it is, the
# mist lifts, the screen darkens, the closing words stand, then the menu.
.entity "crane", "crane", -14
.entity "crane_rig", "crane_rig", -13
.entity "ember", "ember", -12
.entity "hound", "hound", -15
.attach -1, 0, -1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, -21, 56
.shader 2, 0, 1
.state_variable "stand", 1, 0, -15
.sound "fanfare", "fanfare.wav", 1
play_sound 1, 1
enable_brain -15, 0
animate_cont 0
set_fog 0, 0, 0, 0, 0, 0
set_lifespan -13, 1
set_camera -14
set_camera_target 0
shader_animate_cont 0
letterbox 1
fade_out_screen 2
display_message 205, 220, 255, 236, 200, 6, "End of the Prologue"
wait 6000
change_game_mode "menu"
)"},
    {demo_level_cheat_script, R"(
# F7: in the courtyard, the hero's health whole again, the sling's pouch full
# and a hint for where he stands: the flask before him, the gate ahead, the
# guard near or far, the way out through the gate or past the embers.
.entity "hero", "hero", -2
.entity "guard", "guard", -3
.entity "gate", "gate", -9
.entity "sling", "sling", -10
.entity "flask", "flask", -11
.function in_environment "courtyard"
.function entity_loaded -9
.function get_hitpoints -3
.function entity_in_range -2, 6
.function distance_to_entity -2, -3
.function in_collision -2, "gravel", 0, 0, 0, 0, 3.1415927, 0
.function is_facing_neg_z -2
.function is_facing_entity -2, -3
.state_variable "wounds", 0, 0, -3
if call(0) = 0, done, 0, here
here: add_hit_points -2, 100
add_hit_points -10, 12
if call(1) = 1 and call(3) = 4, flask, 0, gate
flask: display_message 24, 40, 200, 230, 255, 8, "Hint: a flask lies before you.~Walk over it; Y drinks it."
gate: if call(1) = 1 and call(3) != 4, ahead, 0, fight
ahead: display_message 24, 40, 200, 230, 255, 8, "Hint: walk north to the gate."
fight: if call(1) = 0 and call(2) > 0 and call(4) < 8 and state(0) < 2, close, 0, weak
close: display_message 24, 40, 200, 230, 255, 8, "Hint: he is close: strike with C."
if call(7) = 0, behind, 0, weak
behind: display_message 24, 40, 200, 230, 255, 8, "Hint: he is close: turn to face him,~and strike with C."
weak: if call(1) = 0 and call(2) > 0 and call(4) < 8 and state(0) >= 2, weaker, 0, far
weaker: display_message 24, 40, 200, 230, 255, 8, "Hint: he is weakening: strike again."
far: if call(1) = 0 and call(2) > 0 and call(4) >= 8, shoot, 0, won
shoot: display_message 24, 40, 200, 230, 255, 8, "Hint: L picks the sling, X draws it,~C shoots."
won: if call(2) <= 0 and call(5) = 0, through, 0, north
through: display_message 24, 40, 200, 230, 255, 8, "Hint: walk north through the gate."
north: if call(2) <= 0 and call(5) = 1 and call(6) = 1, out, 0, turn
out: display_message 24, 40, 200, 230, 255, 8, "Hint: the way out is north, past the embers."
turn: if call(2) <= 0 and call(5) = 1 and call(6) = 0, about, 0, done
about: display_message 24, 40, 200, 230, 255, 8, "Hint: turn north: the way out is past~the embers."
done: wait 0
)"},
};

// The sling in the hero's left hand, turned back by the hand's rest against
// the aim (vk_auto_aim.h): the hand holds it along the aim, so it shoots
// where the auto-aim turns the arm. The assembler's numbers: the rows of the
// matrix and its attrib word.
std::string sling_in_hand(void)
{
    const float* rest = VK_AUTO_AIM_ARM_OFFSET;
    win_matrix43 hand;
    win_math_set_rot_trans_matrix43(&hand, rest[0], rest[1], rest[2], 0.0f, 0.0f, 0.0f);
    win_math_transpose_matrix43_inline(&hand);
    std::string numbers;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column) {
            char number[32];
            snprintf(number, sizeof number, "%.9g, ", (double)hand.m[row][column]);
            numbers += number;
        }
    return numbers + std::to_string(WIN_ATTRIB_ROTATE);
}

// `source` with its marks replaced: "$sling_in_hand", "$mead" (the
// hitpoints the flask gives back), "$camera_start" and "$camera_place" (x,
// y, z).
std::string expand(std::string source)
{
    const auto point = [](win_vect3 v) {
        char text[64];
        snprintf(text, sizeof text, "%g, %g, %g", (double)v.x, (double)v.y, (double)v.z);
        return std::string(text);
    };
    const std::pair<std::string, std::string> marks[] = {
        {"$sling_in_hand", sling_in_hand()},
        {"$mead", std::to_string((int)DEMO_LEVEL_FLASK_MEAD)},
        {"$camera_start", point(CAMERA_START)},
        {"$camera_place", point(CAMERA_PLACE)},
    };
    for (const auto& [mark, text] : marks)
        for (size_t at = source.find(mark); at != std::string::npos; at = source.find(mark, at))
            source.replace(at, mark.size(), text);
    return source;
}

// The other episodes of the menu (menu_episode_scripts) are no part of the
// demo: their scripts say so on the console over an empty scene, the title
// card, and go back to the menu.
const struct {
    const char* script;
    const char* title;
} absent_episodes[] = {
    {"episode2_harbour_se", "The Harbour"},
    {"episode2_foundry_se", "The Old Foundry"},
    {"episode3_citadel_se", "Citadel of Ash"},
    {"episode4_summit_se", "The Last Summit"},
};

bool write_script(const char* name, const std::string& source)
{
    std::string error;
    if (!scriptasm_write(source.c_str(),
                         data_path(game_globals.script_pathname, name, "scw").c_str(), &error)) {
        fprintf(stderr, "demo_tree: script %s: %s\n", name, error.c_str());
        return false;
    }
    return true;
}

bool write_scripts(void)
{
    bool ok = true;
    for (const auto& script : level_scripts)
        ok = write_script(script.name, expand(script.source)) && ok;
    // An episode's scene is a place and a player: the title card and its
    // narrator stand in for them. The card is black behind its words at
    // once, whatever the level played before left on the screen (its
    // heads-up display, its fade).
    for (const auto& episode : absent_episodes)
        ok = write_script(episode.script,
                          std::string(".entity \"title_card\", \"title_card\", 1\n"
                                      ".entity \"narrator\", \"narrator\", 2\n"
                                      "set_environment 1\n"
                                      "set_player 2\n"
                                      "set_acceleration 2, 0, 0, 0\n"
                                      "fade_out_screen 0\n"
                                      "display_message 140, 220, 255, 236, 200, 4, \"") +
                              episode.title + " is not in the demo.\"\nwait 4000\n" +
                              "change_game_mode \"menu\"\n") &&
             ok;
    return ok;
}

}  // namespace

int demo_level_write(void)
{
    bool ok = write_models();
    ok = write_hulls() && ok;
    ok = write_entities() && ok;
    ok = write_fighter_table("hero", "hero", DEMO_LEVEL_HERO_SPEED, 20, "hero_hurt", true) && ok;
    ok = write_fighter_table("guard", "foe", 3.0f, 12, "guard_hurt", false) && ok;
    ok = write_fighter_table("hound", "hound", 2.0f, 0, nullptr, false) && ok;
    ok = write_animations() && ok;
    ok = write_guard_ai() && ok;
    ok = write_hero_ai() && ok;
    ok = write_hound_ai() && ok;
    ok = write_sounds() && ok;
    ok = write_scripts() && ok;
    return ok;
}
