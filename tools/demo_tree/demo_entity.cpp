#include "demo_entity.h"

#include <initializer_list>

#include "demo_model.h"
#include "file_io.h"
#include "heap.h"

// Heap copies of `names` in a new array of name slots (file names and state
// names are both heap strings), stored with its count; false when something
// could not be made (whatever was made is held by the record).
bool demo_entity_set_names(char*** array, int32_t* array_size,
                           std::initializer_list<const char*> names,
                           char** (*malloc_array)(int32_t))
{
    *array = malloc_array((int32_t)names.size());
    if (!*array)
        return false;
    *array_size = (int32_t)names.size();
    bool ok = true;
    int32_t i = 0;
    for (const char* name : names)
        ok = ((*array)[i++] = STRDUP(name)) != nullptr && ok;
    return ok;
}

// A new entity of `type` without payload, placed at `position`.
win_entity* demo_entity_new(const char* name, int32_t type, win_vect3 position)
{
    win_entity* entity = malloc_win_entity(name);
    if (!entity)
        return nullptr;
    entity->win_entity_type = type;
    entity->local_matrix = {{{1.0f, 0.0f, 0.0f},
                             {0.0f, 1.0f, 0.0f},
                             {0.0f, 0.0f, 1.0f},
                             {position.x, position.y, position.z}},
                            WIN_ATTRIB_TRANSLATE};
    return entity;
}

// The entity when everything was made, else NULL (the entity released).
win_entity* demo_entity_finished(win_entity* entity, bool ok)
{
    if (!ok) {
        free_win_entity(entity);
        return nullptr;
    }
    return entity;
}

bool demo_entity_adopt(win_entity* parent, win_entity* child)
{
    return child && add_to_win_entity_list(&parent->child_entity_list,
                                           &parent->child_entity_list_size, child);
}

namespace {

// ---- The hero ----

win_ast* hero_table(void)
{
    win_ast* table = malloc_win_ast("hero");
    if (!table)
        return nullptr;
    bool ok = demo_entity_set_names(&table->mow_anim_filename_array,
                                    &table->mow_anim_filename_array_size, {"demo_wave"},
                                    malloc_win_filename_ptr_array) &&
              demo_entity_set_names(&table->win_anim_state_filename_array,
                                    &table->win_anim_state_filename_array_size, {"wave"},
                                    malloc_win_filename_ptr_array);
    table->win_anim_table_base_array = malloc_win_anim_table_base_array(DEMO_ENTITY_HERO_STATES);
    if (table->win_anim_table_base_array) {
        table->win_anim_table_base_array_size = DEMO_ENTITY_HERO_STATES;
        win_anim_table_base* wave = table->win_anim_table_base_array;
        wave->next_anim_index = 0;
        wave->anim_index = 0;
        wave->mow_anim_index = 0;
        wave->translation_multiplier = {1.0f, 1.0f, 1.0f};
        wave->rotation_multiplier = {1.0f, 1.0f, 1.0f};
        win_anim_table_entry* again = malloc_win_anim_table_entry();
        ok = again &&
             add_to_win_anim_table_entry_list(&wave->win_anim_table_entry_list,
                                              &wave->win_anim_table_entry_list_size, again) &&
             ok;
        if (again) {
            again->condition_mask = WIN_AST_END_OF_ANIM;
            again->target_anim_index = 0;
        }
    }
    table->current_anim_index = 0;
    if (!ok || !table->win_anim_table_base_array) {
        free_win_ast(table);
        return nullptr;
    }
    return table;
}

win_entity* make_sword(void)
{
    win_entity* sword = demo_entity_new("sword", WIN_ENTITY_TYPE_CHARACTER, {0.0f, 1.0f, 0.0f});
    if (!sword)
        return nullptr;
    sword->win_entity_flag = ENTITY_FLAG_VISIBLE | ENTITY_FLAG_WEAPON | ENTITY_FLAG_MELEE_1;
    sword->parent_joint_idx = 1;  // the demo figure's arm
    win_character* blade = sword->u.win_character = malloc_win_character();
    if (blade)
        blade->weapon_data.clip_size = 1;
    return demo_entity_finished(sword, blade != nullptr);
}

// ---- The courtyard ----

// A square outline of four corners; its block's five indexes close it.
win_collision* wall_hull(void)
{
    win_collision* hull = malloc_win_collision("courtyard_wall");
    if (!hull)
        return nullptr;
    static const win_vect3 corners[] = {{-200.0f, 0.0f, -200.0f},
                                        {200.0f, 0.0f, -200.0f},
                                        {200.0f, 0.0f, 200.0f},
                                        {-200.0f, 0.0f, 200.0f}};
    static const uint16_t outline[] = {0, 1, 2, 3, 0};
    hull->win_vtx_array = malloc_win_vect3_array(4);
    hull->win_block_array = malloc_win_block_array(1);
    win_line_block* line = malloc_win_line_block();
    bool ok = hull->win_vtx_array && hull->win_block_array && line;
    if (hull->win_vtx_array) {
        hull->win_vtx_array_size = 4;
        for (int32_t i = 0; i < 4; ++i)
            hull->win_vtx_array[i] = corners[i];
    }
    if (hull->win_block_array) {
        hull->win_block_array_size = 1;
        hull->win_block_array[0] = {WIN_BLOCK_TYPE_LINE, line};
    } else if (line) {
        free_win_line_block(line);
    }
    if (ok) {
        line->win_vtx_idx_array = (uint16_t*)MALLOC(sizeof outline);
        ok = line->win_vtx_idx_array != nullptr;
        if (ok) {
            line->win_vtx_idx_array_size = 5;
            for (int32_t i = 0; i < 5; ++i)
                line->win_vtx_idx_array[i] = outline[i];
        }
    }
    if (!ok) {
        free_win_collision(hull);
        return nullptr;
    }
    return hull;
}

bool make_trigger(win_environment* env)
{
    env->win_trigger_array = malloc_win_trigger_array(1);
    if (!env->win_trigger_array)
        return false;
    env->win_trigger_array_size = 1;
    win_trigger* gate = env->win_trigger_array;
    gate->win_trigger_name = STRDUP("gate");
    gate->win_trigger_collision_name = STRDUP("gate_zone");
    gate->win_trigger_script_name = STRDUP("open_gate");
    gate->win_trigger_facing = {0.0f, 3.1415927f, 0.0f};
    gate->win_trigger_facing_tolerance = {0.0f, 0.75f, 0.0f};
    gate->win_trigger_gated = 1;
    return gate->win_trigger_name && gate->win_trigger_collision_name &&
           gate->win_trigger_script_name;
}

bool make_explore_cam(win_environment* env)
{
    env->win_explore_cam_array = malloc_win_explore_cam_array(1);
    if (!env->win_explore_cam_array)
        return false;
    env->win_explore_cam_array_size = 1;
    win_explore_cam* cam = env->win_explore_cam_array;
    cam->win_explore_cam_name = STRDUP("gate_cam");
    cam->explore_cam_position = {0.0f, 60.0f, -150.0f};
    cam->explore_cam_look_at = {0.0f, 10.0f, -200.0f};
    cam->explore_cam_script = STRDUP("look_at_gate");
    cam->explore_cam_acceleration =
        250.0f;  // explore_cam_slow_distance left to the runtime's default
    cam->explore_cam_speed = 600.0f;
    cam->explore_cam_zone_filename = STRDUP("gate_zone");
    return cam->win_explore_cam_name && cam->explore_cam_script && cam->explore_cam_zone_filename;
}

}  // namespace

win_entity* demo_entity_make_hero(void)
{
    win_entity* hero = demo_entity_new("hero", WIN_ENTITY_TYPE_CHARACTER, {0.0f, 0.0f, 50.0f});
    if (!hero)
        return nullptr;
    hero->win_entity_flag |= ENTITY_FLAG_TARGET;
    hero->win_ast_filename = STRDUP("hero");
    hero->win_ast = hero_table();
    bool ok = hero->win_ast_filename && hero->win_ast &&
              demo_entity_set_names(&hero->win_child_name_ptr_array,
                                    &hero->win_child_name_ptr_array_size, {"torch"},
                                    malloc_win_filename_ptr_array) &&
              demo_entity_set_names(&hero->win_state_name_ptr_array,
                                    &hero->win_state_name_ptr_array_size, {"door_open", "alarm"},
                                    malloc_win_state_name_ptr_array);
    hero->win_state_array = (float*)MALLOC(2 * sizeof(float));
    if (hero->win_state_array) {
        hero->win_state_array_size = 2;
        hero->win_state_array[0] = 0.0f;
        hero->win_state_array[1] = 1.0f;
    }
    win_character* character = hero->u.win_character = malloc_win_character();
    if (character) {
        character->mow_model_filename = STRDUP("demo_figure");
        character->ai_filename = STRDUP("hero");
        character->hitpoints = 80.0f;
        character->max_hitpoints = 100.0f;
        character->weapon_data = {4, 2, 0, 0.25f, 2.0f, 0.5f, 40, 12};
        ok = ok && character->mow_model_filename && character->ai_filename;
    }
    ok = ok && hero->win_state_array && character && demo_entity_adopt(hero, make_sword());
    return demo_entity_finished(hero, ok);
}

win_entity* demo_entity_make_courtyard(void)
{
    win_entity* courtyard = demo_entity_new("courtyard", WIN_ENTITY_TYPE_ENVIRONMENT, {0, 0, 0});
    if (!courtyard)
        return nullptr;
    win_environment* env = courtyard->u.win_environment = malloc_win_environment();
    if (!env)
        return demo_entity_finished(courtyard, false);
    bool ok = demo_entity_set_names(&env->win_collision_filename_array,
                                    &env->win_collision_filename_array_size, {"courtyard_wall"},
                                    malloc_win_filename_ptr_array);
    env->win_collision_ptr_array = malloc_win_collision_ptr_array(1);
    if (env->win_collision_ptr_array) {
        env->win_collision_ptr_array_size = 1;
        env->win_collision_ptr_array[0] = wall_hull();
    }
    ok = ok && env->win_collision_ptr_array && env->win_collision_ptr_array[0] &&
         make_trigger(env) && make_explore_cam(env);
    env->win_map_filename = STRDUP("courtyard");
    return demo_entity_finished(courtyard, ok && env->win_map_filename);
}

win_entity* demo_entity_make_lamp(void)
{
    win_entity* lamp = demo_entity_new("lamp", WIN_ENTITY_TYPE_LIGHT, {0.0f, 80.0f, 0.0f});
    if (!lamp)
        return nullptr;
    win_light* light = lamp->u.win_light = malloc_win_light("lamp_light");
    if (light) {
        D3DLIGHT7& d3d = light->d3d_light;
        d3d.dltType = D3DLIGHT_POINT;
        d3d.dcvDiffuse = {255.0f, 200.0f, 120.0f, 1.0f};
        d3d.dvPosition = {0.0f, 80.0f, 0.0f};
        d3d.dvRange = 300.0f;
        d3d.dvAttenuation0 = 1.0f;
        d3d.dvAttenuation1 = 0.0f;
        d3d.dvAttenuation2 = 0.0f;
    }
    return demo_entity_finished(lamp, light != nullptr);
}

win_entity* demo_entity_make_camera(void)
{
    win_entity* entity = demo_entity_new("camera", WIN_ENTITY_TYPE_CAMERA, {0.0f, 40.0f, -100.0f});
    if (!entity)
        return nullptr;
    win_camera* camera = entity->u.win_camera = malloc_win_camera();
    if (!camera)
        return demo_entity_finished(entity, false);
    camera->field_of_view = 0.9f;
    win_camera_target* hero = malloc_win_camera_target("hero");
    win_camera_target* gate = malloc_win_camera_target("gate");
    if (hero)
        hero->target_joint_idx = 1;
    if (gate)
        gate->target_point = {0.0f, 40.0f, -120.0f};
    bool ok = true;
    for (win_camera_target* target : {hero, gate})
        ok = target &&
             add_to_win_camera_target_list(&camera->win_camera_target_list,
                                           &camera->win_camera_target_list_size, target) &&
             ok;
    return demo_entity_finished(entity, ok);
}

win_entity* demo_entity_new_emitter(const char* name, win_vect3 position,
                                    const char* particle_template, const demo_emission& emission)
{
    win_entity* entity = demo_entity_new(name, WIN_ENTITY_TYPE_EMITTER, position);
    win_emitter* emitter = entity ? entity->u.win_emitter = malloc_win_emitter() : nullptr;
    if (emitter) {
        emitter->particle_template = STRDUP(particle_template);
        emitter->particle_count = emission.count;
        emitter->emit_rate = emission.rate;
        emitter->particle_speed = emission.speed;
        emitter->particle_speed_variance = emission.speed_variance;
        emitter->angle_spread = emission.spread;
        emitter->particle_life_span = emission.life;
        emitter->particle_life_span_variance = emission.life_variance;
    }
    return entity ? demo_entity_finished(entity, emitter && emitter->particle_template) : nullptr;
}

win_entity* demo_entity_make_sparks(void)
{
    return demo_entity_new_emitter("sparks", {30.0f, 5.0f, -180.0f}, "spark",
                                   {12, 4.0f, 30.0f, 7, 15.0f, 1.5f, 0.5f});
}

win_entity* demo_entity_make_level(void)
{
    win_entity* level = demo_entity_make_courtyard();
    if (!level)
        return nullptr;
    bool ok = true;
    for (win_entity* (*make)(void) : {demo_entity_make_hero, demo_entity_make_lamp,
                                      demo_entity_make_camera, demo_entity_make_sparks})
        ok = demo_entity_adopt(level, make()) && ok;
    return demo_entity_finished(level, ok);
}

int demo_entity_write_file(const char* path, const win_entity* entity)
{
    return demo_write_record_file(path, FILE_TYPE_ENTITY, FILE_VERSION_ENTITY, &win_entity_desc,
                                  entity);
}
