// How the AI moves a character, and what it perceives.
#include "ai_move.h"

#include <cmath>

#include "ai.h"
#include "anim.h"
#include "collide.h"
#include "debug.h"
#include "gameglobals.h"
#include "rand_util.h"
#include "win_math.h"

// ---- Entities ----

win_vect3 ai_entity_position(const win_entity* entity)
{
    const float* row = entity->local_matrix.m[3];
    return {row[0], row[1], row[2]};
}

float ai_model_radius(const win_entity* entity)
{
    const win_character* character = win_entity_character(entity);
    return character ? win_character_radius(character) : 0.0f;
}

win_ai* ai_character_ai(const win_entity* entity)
{
    const win_character* character = win_entity_character(entity);
    return character ? character->win_ai : NULL;
}

void ai_or_input(win_entity* entity, int32_t bits)
{
    if (entity->win_ast)
        entity->win_ast->anim_input_flags |= bits;
}

// ---- Directions ----

// The entity's facing flattened to the xz plane, and the unit xz direction
// from the entity toward `point`.
static void facing_and_heading(const win_entity* entity, const win_vect3* point, win_vect3* facing,
                               win_vect3* heading)
{
    win_math_calc_xz_direction_vect3(facing, &entity->local_matrix);
    const win_vect3 position = ai_entity_position(entity);
    *heading = {point->x - position.x, 0.0f, point->z - position.z};
    win_math_normalize_vect3_inline(heading);
}

// The y component of a x b: which side of a the vector b lies on.
static float cross_y(const win_vect3* a, const win_vect3* b)
{
    return a->z * b->x - a->x * b->z;
}

// How far off the heading may lie, as the sine of the angle, and still count
// as straight ahead or along the axis.
static const float AI_DIRECTION_TOLERANCE = 0.15f;

int32_t ai_calc_turn_direction(const win_entity* entity, const win_vect3* point)
{
    REFUSE_NULL(entity, "ai_calc_turn_direction", "entity", 0);
    REFUSE_NULL(point, "ai_calc_turn_direction", "point", 0);
    win_vect3 facing, heading;
    facing_and_heading(entity, point, &facing, &heading);
    const float side = cross_y(&facing, &heading);
    if (std::fabs(side) < AI_DIRECTION_TOLERANCE &&
        win_math_dot_product_vect3_inline(&facing, &heading) > 0.0f)
        return 0;
    return side > 0.0f ? 1 : -1;
}

int32_t ai_calc_strafe_direction(const win_entity* entity, const win_vect3* point)
{
    REFUSE_NULL(entity, "ai_calc_strafe_direction", "entity", 0);
    REFUSE_NULL(point, "ai_calc_strafe_direction", "point", 0);
    win_vect3 facing, heading;
    facing_and_heading(entity, point, &facing, &heading);
    win_matrix43 quarter_turn;
    win_math_set_rotate_y_matrix43(&quarter_turn, 1.5707964f);
    win_vect3 sideways;
    win_math_multiply_vect3_by_matrix43(&sideways, &facing, &quarter_turn);
    const float side = cross_y(&sideways, &heading);
    if (std::fabs(side) < AI_DIRECTION_TOLERANCE)
        return 0;
    return side > 0.0f ? 1 : -1;
}

int32_t ai_calc_vertical_direction(const win_entity* entity, const win_vect3* point)
{
    REFUSE_NULL(entity, "ai_calc_vertical_direction", "entity", 0);
    REFUSE_NULL(point, "ai_calc_vertical_direction", "point", 0);
    const win_character* character = win_entity_character(entity);
    const float half_height = character && character->mow_model
                                  ? win_character_radius(character) * 0.5f
                                  : 0.1f;
    const float dy = point->y - ai_entity_position(entity).y;
    if (std::fabs(dy) < half_height)
        return 0;
    return dy > 0.0f ? 1 : -1;
}

// ---- Movement ----

// The bits of one movement subgoal by the kind of walker: those that walk
// and run (mobility 1, 3, 6) and those that only walk (2, 4).
struct ai_move_rule {
    int32_t walk_run_bits;
    int32_t walk_bits;
    int32_t turn_sign;  // 1: turn toward the point; -1: the turn bits exchanged
    int32_t fast;       // fliers use fast_flying_speed
    float fly_sign;     // -1: fliers head away from the point
};

static const ai_move_rule ai_move_rules[] = {
    /* MOVE_WALK_TOWARD */ {ACTION_UP, ACTION_UP, 1, 0, 1.0f},
    /* MOVE_RUN_TOWARD */ {ACTION_A_BUTTON | ACTION_UP, ACTION_UP, 1, 1, 1.0f},
    /* 2 */ {0, 0, 0, 0, 0.0f},
    /* MOVE_BACK_TOWARD */ {ACTION_DOWN, ACTION_DOWN, -1, 0, 1.0f},
    /* 4 */ {0, 0, 0, 0, 0.0f},
    /* MOVE_BACK_AWAY */ {ACTION_DOWN, ACTION_DOWN, 1, 0, -1.0f},
};

// The turn bits of a turn direction t (-1 left, 1 right), exchanged by a
// negative sign.
static int32_t turn_bits(int32_t t, int32_t sign)
{
    t *= sign;
    return t < 0 ? ACTION_LEFT : t > 0 ? ACTION_RIGHT : 0;
}

// The flier's velocity toward the point from the strafe and vertical
// directions, slowing down within the model's radius; x is left alone.
static void fly_toward(win_entity* entity, const win_vect3* point, int32_t strafe, int32_t vertical,
                       float speed, float sign)
{
    const float radius = ai_model_radius(entity);
    const win_vect3 position = ai_entity_position(entity);
    const float distance = win_math_calc_dist(&position, point);
    if (radius > 0.0f && distance < radius)
        speed *= distance / radius;
    entity->velocity.z = sign * (float)strafe * speed;
    entity->velocity.y = sign * (float)vertical * speed;
}

static bool is_walk_run(int32_t mobility)
{
    return mobility == 1 || mobility == 3 || mobility == 6;
}
static bool is_walk(int32_t mobility)
{
    return mobility == 2 || mobility == 4;
}

// Subgoals 0 to 5: walk, run or back up, with the turn bits afterwards.
static void move_along(win_entity* entity, const ai_move_rule* rule, int32_t mobility,
                       const win_personality* personality, const win_vect3* point)
{
    if (rule->turn_sign == 0 || mobility == AI_MOBILITY_NONE)
        return;
    const int32_t t = ai_calc_turn_direction(entity, point);
    const int32_t s = ai_calc_strafe_direction(entity, point);
    const int32_t v = ai_calc_vertical_direction(entity, point);
    if (is_walk_run(mobility))
        ai_or_input(entity, rule->walk_run_bits);
    else if (is_walk(mobility))
        ai_or_input(entity, rule->walk_bits);
    else if (mobility == AI_MOBILITY_FLY)
        fly_toward(entity, point, s, v,
                   rule->fast ? personality->fast_flying_speed : personality->flying_speed,
                   rule->fly_sign);
    else if (mobility != AI_MOBILITY_TURN_ONLY)
        LOG_ERROR("Unknown mobility type %ld.\n", (long)mobility);
    ai_or_input(entity, turn_bits(t, rule->turn_sign));
}

// Subgoal 8: strafe toward the point while turning to it.
static void sidestep(win_entity* entity, int32_t mobility, const win_personality* personality,
                     const win_vect3* point)
{
    if (mobility == AI_MOBILITY_NONE)
        return;
    const int32_t t = ai_calc_turn_direction(entity, point);
    const int32_t s = ai_calc_strafe_direction(entity, point);
    const int32_t v = ai_calc_vertical_direction(entity, point);
    if (is_walk_run(mobility) || is_walk(mobility)) {
        ai_or_input(entity, ACTION_STRAFE | turn_bits(t, 1));
        ai_or_input(entity, s == 1 ? ACTION_UP : s == -1 ? ACTION_DOWN : 0);
    } else if (mobility == AI_MOBILITY_TURN_ONLY) {
        ai_or_input(entity, ACTION_STRAFE | turn_bits(t, 1));
    } else if (mobility == AI_MOBILITY_FLY) {
        fly_toward(entity, point, s, v, personality->flying_speed, 1.0f);
    } else {
        LOG_ERROR("Unknown mobility type %ld.\n", (long)mobility);
    }
}

// Subgoal 9: a step forward now and then, and a turn now and then.
static void wander(win_entity* entity)
{
    if (rand_util_rand() % 100 - 50 > 0)
        ai_or_input(entity, ACTION_UP);
    const int r = rand_util_rand() % 100 - 50;
    if (r >= 26)
        ai_or_input(entity, ACTION_RIGHT);
    else if (r < -25)
        ai_or_input(entity, ACTION_LEFT);
}

int ai_move_entity(win_entity* entity, int32_t movement_subgoal, const win_vect3* point)
{
    REFUSE_NULL(entity, "ai_move_entity", "entity", 0);
    REFUSE_NULL(point, "ai_move_entity", "point", 0);
    if (movement_subgoal < 0 || movement_subgoal >= MOVE_SUBGOAL_COUNT) {
        LOG_ERROR("Unknown movement_subgoal %ld.\n", (long)movement_subgoal);
        return 0;
    }
    const win_ai* ai = ai_character_ai(entity);
    const win_personality personality = ai ? ai->personality : win_personality_record_desc::templ;
    const int32_t mobility = personality.mobility_type;
    switch (movement_subgoal) {
    case MOVE_TURN_TOWARD:
        ai_or_input(entity, turn_bits(ai_calc_turn_direction(entity, point), 1));
        break;
    case MOVE_TURN_AWAY:
        ai_or_input(entity, turn_bits(ai_calc_turn_direction(entity, point), -1));
        break;
    case MOVE_SIDESTEP_TOWARD:
        sidestep(entity, mobility, &personality, point);
        break;
    case MOVE_WANDER:
        wander(entity);
        break;
    default:
        move_along(entity, &ai_move_rules[movement_subgoal], mobility, &personality, point);
    }
    return 1;
}

// ---- Sight ----

// How high above its position an entity sees from: its model's radius for a
// character with a model, else `fallback`.
static float eye_height(const win_entity* entity, float fallback)
{
    const win_character* character = win_entity_character(entity);
    return character && character->mow_model ? win_character_radius(character) : fallback;
}

// The sectors of sight: far (narrow) and near (wide), in radians.
static const float AI_SIGHT_FAR = 5000.0f;
static const float AI_SIGHT_FAR_SHORT_SIGHTED = 150.0f;
static const float AI_SIGHT_FAR_ANGLE = 0.5235988f;
static const float AI_SIGHT_NEAR = 100.0f;
static const float AI_SIGHT_NEAR_ANGLE = 1.0471976f;

static bool in_sight_sector(const win_entity* looking, const win_entity* target, float range,
                            float half_angle)
{
    win_hot_sector sector = win_hot_sector_record_desc::templ;
    sector.sector.f[0] = 0.0f;
    sector.sector.f[1] = range;
    sector.sector.f[2] = -half_angle;
    sector.sector.f[3] = half_angle;
    return ai_check_hot_sector(looking, target, &sector) == AI_SECTOR_INSIDE;
}

// Whether the line between the two entities' eyes is free; an end without a
// model of its own sees from the height of the end before it.
static bool eyes_meet(const win_entity* looking, const win_entity* target)
{
    const float looking_height = eye_height(looking, 0.0f);
    const float target_height = eye_height(target, looking_height);
    win_vect3 from = ai_entity_position(looking);
    win_vect3 to = ai_entity_position(target);
    from.y += looking_height;
    to.y += target_height;
    return collide_check_line_of_sight(&from, &to) == 0;
}

int ai_find_closest_node(const win_entity* looking_entity, const win_entity* target_entity)
{
    REFUSE_NULL(looking_entity, "ai_find_closest_node", "looking_entity", 0);
    REFUSE_NULL(target_entity, "ai_find_closest_node", "target_entity", 0);
    const float far = (looking_entity->win_entity_flag & ENTITY_FLAG_SHORT_SIGHTED)
                          ? AI_SIGHT_FAR_SHORT_SIGHTED
                          : AI_SIGHT_FAR;
    if (!in_sight_sector(looking_entity, target_entity, far, AI_SIGHT_FAR_ANGLE))
        return 0;
    if (eyes_meet(looking_entity, target_entity))
        return 1;
    if (!in_sight_sector(looking_entity, target_entity, AI_SIGHT_NEAR, AI_SIGHT_NEAR_ANGLE))
        return 0;
    return eyes_meet(looking_entity, target_entity) ? 1 : 0;
}

// Points on the ground are looked at, and looked from, this high up.
static const float AI_GROUND_EYE_HEIGHT = 32.0f;

int ai_check_location_visibility(const win_entity* looking_entity, const win_vect3* pnt_2)
{
    REFUSE_NULL(looking_entity, "ai_check_location_visibility", "looking_entity", 0);
    REFUSE_NULL(pnt_2, "ai_check_location_visibility", "pnt_2", 0);
    win_vect3 from = ai_entity_position(looking_entity);
    from.y += eye_height(looking_entity, 0.0f);
    const win_vect3 to = {pnt_2->x, pnt_2->y + AI_GROUND_EYE_HEIGHT, pnt_2->z};
    return collide_check_line_of_sight(&from, &to) == 0 ? 1 : 0;
}

int32_t ai_find_closest_node_to_location(const win_vect3* location)
{
    REFUSE_NULL(location, "ai_find_closest_node_to_location", "location", -1);
    const win_entity* environment = game_globals.current_environment;
    REFUSE_NULL(environment, "ai_find_closest_node_to_location", "environment", -1);
    const win_environment* payload = win_entity_environment(environment);
    const win_map* map = payload ? payload->win_map : NULL;
    REFUSE_NULL(map, "ai_find_closest_node_to_location", "environment->u.win_environment->win_map",
                -1);
    const win_vect3 from = {location->x, location->y + AI_GROUND_EYE_HEIGHT, location->z};
    float best = 1e12f;
    int32_t closest = -1;
    for (int32_t i = 0; map->node_array && i < map->node_array_size; ++i) {
        const win_vect3* node = &map->node_array[i].node_location;
        const float d = win_math_calc_dist_squared(location, node);
        if (d >= best)
            continue;
        const win_vect3 to = {node->x, node->y + AI_GROUND_EYE_HEIGHT, node->z};
        if (collide_check_line_of_sight(&from, &to) == 0) {
            best = d;
            closest = i;
        }
    }
    return closest;
}

int32_t ai_get_approximate_entity_direction(const win_entity* entity)
{
    REFUSE_NULL(entity, "ai_get_approximate_entity_direction", "entity", 0);
    win_vect3 d;
    if (!win_math_calc_xz_direction_vect3(&d, &entity->local_matrix)) {
        LOG_ERROR("Unable to calculate xz direction vector for "
                  "ai_get_approximate_entity_direction.\n");
        return 0;
    }
    const float cos_22_5 = 0.9238795f;
    if (d.z > cos_22_5)
        return 1;
    if (d.z < -cos_22_5)
        return 5;
    if (d.x > cos_22_5)
        return 3;
    if (d.x < -cos_22_5)
        return 7;
    if (d.x >= 0.38268343f)
        return d.z > 0.0f ? 2 : 4;
    return d.z > 0.0f ? 8 : 6;
}
