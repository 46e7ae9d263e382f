// The character AI's goal machine and its attack sectors.
#include "ai.h"

#include <cmath>

#include "ai_camera.h"
#include "ai_move.h"
#include "anim.h"
#include "debug.h"
#include "dlink.h"
#include "entity_io.h"
#include "entity_weapon.h"
#include "gameglobals.h"
#include "rand_util.h"
#include "script_services.h"
#include "win_ast.h"
#include "win_math.h"

// ---- Records ----

win_ai* ai_entity_ai(const win_entity* entity)
{
    if (const win_character* character = win_entity_character(entity))
        return character->win_ai;
    if (const win_camera* camera = win_entity_camera(entity))
        return camera->win_ai;
    return NULL;
}

static bool goal_in_ring(const win_ai* ai, const win_goal_entry* goal)
{
    const win_goal_entry* head = ai->win_goal_entry_list;
    for (const win_goal_entry* entry = head; entry; entry = dlink_ring_step(head, entry->next_ptr))
        if (entry == goal)
            return true;
    return false;
}

void ai_set_current_goal(win_ai* ai, win_goal_entry* goal)
{
    win_goal_entry* old = ai->current_goal;
    if (old && old != goal && !goal_in_ring(ai, old))
        free_win_goal_entry(old);
    ai->current_goal = goal;
}

static void release_goal(win_ai* ai, win_goal_entry* goal)
{
    remove_from_win_goal_entry_list(&ai->win_goal_entry_list, &ai->win_goal_entry_list_size, goal);
    free_win_goal_entry(goal);
}

int ai_add_goal(win_entity* entity, int32_t goal_type, win_entity* target_entity, float x, float y,
                float z, int32_t extra)
{
    REFUSE_NULL(entity, "ai_add_goal", "entity", 0);
    // Such a goal stays current and does nothing, warning each frame.
    if (goal_type < 0 || goal_type >= AI_GOAL_TYPE_COUNT)
        LOG_WARNING("Unknown goal type %ld given to ai_add_goal for entity %s.\n", (long)goal_type,
                    entity->win_entity_name);
    const bool character = entity->win_entity_type == WIN_ENTITY_TYPE_CHARACTER;
    if (!character && entity->win_entity_type != WIN_ENTITY_TYPE_CAMERA)
        return 1;
    win_ai* ai = ai_entity_ai(entity);
    if (!ai) {
        LOG_ERROR("Cannot ai_add_goal because entity %s has no AI.\n", entity->win_entity_name);
        return 0;
    }
    win_goal_entry* goal = malloc_win_goal_entry();
    if (!goal) {
        LOG_ERROR("Could not malloc_win_goal_entry.\n");
        return 0;
    }
    goal->ai_goal_type = goal_type;
    goal->target_entity = target_entity;
    goal->goal_point = {x, y, z};
    goal->goal_arg = extra;
    add_to_win_goal_entry_list(&ai->win_goal_entry_list, &ai->win_goal_entry_list_size, goal);
    if (character)
        ai_set_current_goal(ai, goal);
    return 1;
}

int ai_clear_goals(win_entity* entity)
{
    REFUSE_NULL(entity, "ai_clear_goals", "entity", 0);
    LOG_NOTICE("ai_clear_goals called for entity %s.\n", entity->win_entity_name);
    win_ai* ai = ai_entity_ai(entity);
    if (!ai) {
        LOG_ERROR("Cannot ai_clear_goals because entity %s has no AI.\n", entity->win_entity_name);
        return 0;
    }
    const int32_t cleared = ai->win_goal_entry_list_size;
    ai_set_current_goal(ai, NULL);
    while (ai->win_goal_entry_list)
        release_goal(ai, ai->win_goal_entry_list);
    // A camera that was flying somewhere stops where it is.
    if (entity->win_entity_type == WIN_ENTITY_TYPE_CAMERA && cleared >= 2) {
        entity_set_acceleration(entity, 0.0f, 0.0f, 0.0f);
        entity_set_velocity(entity, 0.0f, 0.0f, 0.0f);
        entity_set_rot_velocity(entity, 0.0f, 0.0f, 0.0f);
    }
    return 1;
}

win_goal_entry* ai_create_default_goal(win_entity* entity)
{
    REFUSE_NULL(entity, "ai_create_default_goal", "entity", NULL);
    if (!ai_entity_ai(entity)) {
        LOG_ERROR("Entity %s has no AI.  Cannot create default goal.\n", entity->win_entity_name);
        return NULL;
    }
    win_goal_entry* goal = malloc_win_goal_entry();
    if (!goal) {
        LOG_ERROR("Could not malloc_win_goal_entry.\n");
        return NULL;
    }
    goal->ai_goal_type = AI_GOAL_IDLE;
    return goal;
}

win_goal_entry* ai_next_goal(win_entity* entity)
{
    REFUSE_NULL(entity, "ai_next_goal", "entity", NULL);
    win_ai* ai = ai_entity_ai(entity);
    if (!ai)
        return ai_create_default_goal(entity);  // reports the missing AI
    win_goal_entry* finished = ai->current_goal;
    const bool camera = entity->win_entity_type == WIN_ENTITY_TYPE_CAMERA;
    if (camera && finished)
        ai_last_explore_cam_index = finished->goal_arg;
    win_goal_entry* resumed = NULL;
    if (finished && goal_in_ring(ai, finished)) {
        if (finished->prev_ptr != finished)
            resumed = finished->prev_ptr;
        ai->current_goal = NULL;
        release_goal(ai, finished);
    }
    if (!resumed)
        resumed = ai_create_default_goal(entity);
    ai_set_current_goal(ai, resumed);
    if (camera && resumed && resumed->ai_goal_type == AI_CAMERA_GOAL_EXPLORE_CAM) {
        const win_explore_cam* cam = ai_explore_cam(resumed->goal_arg);
        if (cam && cam->explore_cam_script)
            script_initiate_script(cam->explore_cam_script, NULL);
    }
    return resumed;
}

// ---- Hot sectors ----

// The entity's xz facing turned about y by `angle`.
static win_vect3 turned_facing(const win_entity* entity, float angle)
{
    win_matrix43 turn, turned;
    win_math_set_rotate_y_matrix43(&turn, angle);
    win_math_multiply_matrix43(&turned, &turn, &entity->local_matrix);
    win_vect3 facing;
    win_math_calc_xz_direction_vect3(&facing, &turned);
    return facing;
}

// The y component of a x b: which side of a the vector b lies on.
static float cross_y(const win_vect3& a, const win_vect3& b)
{
    return a.z * b.x - a.x * b.z;
}

int32_t ai_check_hot_sector(const win_entity* entity, const win_entity* target,
                            const win_hot_sector* sector)
{
    REFUSE_NULL(entity, "ai_check_hot_sector", "entity", 0);
    REFUSE_NULL(target, "ai_check_hot_sector", "target", 0);
    REFUSE_NULL(sector, "ai_check_hot_sector", "sector", 0);
    const win_vect3 position = ai_entity_position(entity);
    const win_vect3 aim = ai_entity_position(target);
    const float* f = sector->sector.f;
    const win_vect3 from = turned_facing(entity, f[AI_SECTOR_ANGLE_FROM]);
    const win_vect3 offset = {aim.x - position.x, from.y, aim.z - position.z};
    if (cross_y(from, offset) < 0.0f)
        return AI_SECTOR_BEFORE_ANGLE_FROM;
    const win_vect3 to = turned_facing(entity, f[AI_SECTOR_ANGLE_TO]);
    if (cross_y(to, offset) > 0.0f)
        return AI_SECTOR_BEYOND_ANGLE_TO;
    const float r = win_math_calc_xz_dist(&position, &aim);
    if (r < f[AI_SECTOR_MIN_DISTANCE])
        return AI_SECTOR_TOO_NEAR;
    if (r > f[AI_SECTOR_MAX_DISTANCE])
        return AI_SECTOR_TOO_FAR;
    return AI_SECTOR_INSIDE;
}

static int32_t attack_sector_count(const win_entity* entity)
{
    const win_ai* ai = ai_character_ai(entity);
    return ai && ai->attack_sector_list ? ai->attack_sector_list_size : 0;
}

int ai_is_target_within_sector_range(const win_entity* entity, const win_entity* target,
                                     const win_hot_sector* sector_list)
{
    if (!entity || !target || attack_sector_count(entity) < 1)
        return 0;
    const win_vect3 position = ai_entity_position(entity);
    const win_vect3 aim = ai_entity_position(target);
    const float r = win_math_calc_xz_dist(&position, &aim);
    const win_hot_sector* sector = sector_list;
    if (!sector)
        return 0;
    do {
        if (r < sector->sector.f[AI_SECTOR_MAX_DISTANCE])
            return 1;
        sector = sector->next_ptr;
    } while (sector && sector != sector_list);
    return 0;
}

int32_t ai_find_attack_sector(win_entity* entity, win_entity* target)
{
    REFUSE_NULL(entity, "ai_find_attack_sector", "entity", AI_NO_ATTACK_SECTOR);
    REFUSE_NULL(target, "ai_find_attack_sector", "target", AI_NO_ATTACK_SECTOR);
    const int32_t count = attack_sector_count(entity);
    if (count < 1)
        return AI_NO_ATTACK_SECTOR;
    const win_hot_sector* sector = ai_character_ai(entity)->attack_sector_list;
    for (int32_t i = 0; i < count; ++i, sector = sector->next_ptr) {
        if (ai_check_hot_sector(entity, target, sector) == AI_SECTOR_INSIDE) {
            entity_set_current_weapon(entity,
                                      entity_find_weapon_by_attack(entity, sector->sector_kind));
            return sector->sector_kind;
        }
    }
    // One sector alone tells the character to back off from a target too
    // near for it.
    if (count == 1 && ai_check_hot_sector(entity, target, sector) == AI_SECTOR_TOO_NEAR)
        return AI_TARGET_TOO_NEAR;
    return AI_NO_ATTACK_SECTOR;
}

win_hot_sector* ai_find_sector_goal(const win_entity* entity, const win_entity* target)
{
    REFUSE_NULL(entity, "ai_find_sector_goal", "entity", NULL);
    REFUSE_NULL(target, "ai_find_sector_goal", "target", NULL);
    const int32_t count = attack_sector_count(entity);
    if (count < 1)
        return NULL;
    win_hot_sector* first = ai_character_ai(entity)->attack_sector_list;
    win_hot_sector* best = first;
    float bound = 99999.0f;
    const win_vect3 position = ai_entity_position(entity);
    const win_vect3 aim = ai_entity_position(target);
    const win_vect3 offset = {aim.x - position.x, aim.y - position.y, aim.z - position.z};
    win_hot_sector* sector = first;
    for (int32_t i = 0; i < count; ++i, sector = sector->next_ptr) {
        const float* f = sector->sector.f;
        const win_vect3 middle = turned_facing(
            entity, (f[AI_SECTOR_ANGLE_FROM] + f[AI_SECTOR_ANGLE_TO]) * 0.5f);
        const float miss = std::fabs(cross_y(middle, offset));
        if (miss < bound) {
            bound = miss;
            best = sector;
        }
    }
    return best;
}

int32_t ai_get_relative_direction_flags(win_entity* entity, win_entity* target)
{
    if (!entity || !target)
        return 0;
    // Ahead, one side, the other side, behind (the last range wraps round).
    static const struct {
        float from, to;
        int32_t flags;
    } quarters[] = {
        {-0.7853982f, 0.7853982f, AI_DIRECTION_AHEAD},
        {-2.3561945f, -0.7853982f, AI_DIRECTION_NEGATIVE_SIDE},
        {0.7853982f, 2.3561945f, AI_DIRECTION_POSITIVE_SIDE},
        {2.3561945f, -2.3561945f, AI_DIRECTION_BEHIND},
    };
    win_hot_sector sector = win_hot_sector_record_desc::templ;
    sector.sector.f[AI_SECTOR_MIN_DISTANCE] = 0.0f;
    sector.sector.f[AI_SECTOR_MAX_DISTANCE] = 100000000.0f;
    for (const auto& quarter : quarters) {
        sector.sector.f[AI_SECTOR_ANGLE_FROM] = quarter.from;
        sector.sector.f[AI_SECTOR_ANGLE_TO] = quarter.to;
        if (ai_check_hot_sector(entity, target, &sector) == AI_SECTOR_INSIDE)
            return quarter.flags;
    }
    return 0;
}

win_ai* ai_create_duplicate(const win_ai* source)
{
    REFUSE_NULL(source, "ai_create_duplicate", "source", NULL);
    win_ai* copy = malloc_win_ai();
    if (!copy) {
        LOG_ERROR("unable to allocate memory for duplicating ai struct.\n");
        return NULL;
    }
    copy->personality = source->personality;
    return copy;
}

// ---- Forgetting unloaded entities ----

static void forget_in_ai(win_ai* ai, const win_entity* entity)
{
    win_goal_entry* head = ai->win_goal_entry_list;
    for (win_goal_entry* goal = head; goal; goal = dlink_ring_step(head, goal->next_ptr))
        if (goal->target_entity == entity)
            goal->target_entity = NULL;
    if (ai->current_goal && ai->current_goal->target_entity == entity)
        ai->current_goal->target_entity = NULL;
}

static void forget_in_ring(win_entity* ring, const win_entity* entity)
{
    for (win_entity* member = ring; member; member = dlink_ring_step(ring, member->next)) {
        if (win_ai* ai = ai_entity_ai(member))
            forget_in_ai(ai, entity);
        if (win_camera* camera = win_entity_camera(member)) {
            win_camera_target* targets = camera->win_camera_target_list;
            for (win_camera_target* target = targets; target;
                 target = dlink_ring_step(targets, target->next_ptr))
                if (target->target_entity == entity)
                    target->target_entity = NULL;
        }
        forget_in_ring(member->child_entity_list, entity);
    }
}

void ai_forget_entity(const win_entity* entity)
{
    if (!entity)
        return;
    forget_in_ring(entity_io_global_win_entity_list, entity);
    // Its own default goal, which no ring holds, goes with its AI record when
    // the entity's memory is released: its goal code may still be running.
}

// ---- The goal machine ----

namespace {

// One step of one character.
struct ai_step {
    win_entity* self;
    win_ai* ai;
    win_goal_entry* goal;
    const win_map* map;  // the current environment's; NULL: none
    float dt;            // ms
};

}  // namespace

static void pop(ai_step& s)
{
    ai_next_goal(s.self);
}

static void push(ai_step& s, int32_t type, win_entity* target, const win_vect3& point,
                 int32_t extra = -1)
{
    ai_add_goal(s.self, type, target, point.x, point.y, point.z, extra);
}

static void push_target(ai_step& s, int32_t type, win_entity* target)
{
    push(s, type, target, {0.0f, 0.0f, 0.0f});
}

// The input word is replaced, not added to.
static void set_input(win_entity* entity, int32_t bits)
{
    if (entity->win_ast)
        entity->win_ast->anim_input_flags = bits;
}

static void move(ai_step& s, int32_t subgoal, const win_vect3& point)
{
    ai_move_entity(s.self, subgoal, &point);
}

static void wander(ai_step& s)
{
    move(s, MOVE_WANDER, ai_entity_position(s.self));
}

static bool reached(const ai_step& s, const win_vect3& point)
{
    const win_vect3 position = ai_entity_position(s.self);
    return win_math_calc_dist(&position, &point) < ai_model_radius(s.self);
}

static bool visible(const ai_step& s, const win_vect3& point)
{
    return ai_check_location_visibility(s.self, &point) == 1;
}

static bool can_see(const ai_step& s, const win_entity* entity)
{
    return entity && ai_find_closest_node(s.self, entity) == 1;
}

// The state flag of the state tables' keyword "impervious".
static const int32_t AI_STATE_IMPERVIOUS = 0x2;

// The entity's current animation state; NULL without a table or a current
// state.
static const win_anim_table_base* current_state(const win_entity* entity)
{
    return entity && entity->win_ast ? win_ast_current_state(entity->win_ast) : NULL;
}
static int32_t state_type_flags(const win_entity* entity)
{
    const win_anim_table_base* state = current_state(entity);
    return state ? state->anim_type_flags : 0;
}
static int32_t state_reaction_flags(const win_entity* entity)
{
    const win_anim_table_base* state = current_state(entity);
    return state ? state->reaction_flags : 0;
}

// Whether the target has hit points left; an entity that is not a character
// has none to lose.
static bool alive(const win_entity* entity)
{
    const win_character* character = win_entity_character(entity);
    return !character || character->hitpoints > 0.0f;
}

static bool attack_due(const ai_step& s)
{
    return s.ai->personality.time_since_attack > s.ai->personality.attack_interval;
}

static bool within_range(const ai_step& s, const win_entity* target)
{
    return ai_is_target_within_sector_range(s.self, target, s.ai->attack_sector_list) == 1;
}

// ---- Map look-ups ----

static bool valid_node(const win_map* map, int32_t node)
{
    return map && map->node_array && node >= 0 && node < map->node_array_size;
}

static const win_vect3* node_point(const win_map* map, int32_t node)
{
    return valid_node(map, node) ? &map->node_array[node].node_location : NULL;
}

// The next node on the way from node a to node b: the first node of path b
// of node a; -1 when the map holds no such path or it names no node.
static int32_t next_hop(const win_map* map, int32_t a, int32_t b)
{
    if (!valid_node(map, a) || !valid_node(map, b))
        return -1;
    const win_path_node* node = &map->node_array[a];
    if (!node->path_array || b >= node->path_array_size)
        return -1;
    const win_path* path = &node->path_array[b];
    if (!path->node_idx_array || path->node_idx_array_size < 1)
        return -1;
    const int32_t hop = path->node_idx_array[0];
    return valid_node(map, hop) ? hop : -1;
}

static int32_t closest_node_to_self(const ai_step& s)
{
    const win_vect3 position = ai_entity_position(s.self);
    return ai_find_closest_node_to_location(&position);
}

static bool at_node(const ai_step& s, int32_t node)
{
    const win_vect3* point = node_point(s.map, node);
    return point && reached(s, *point);
}

// ---- Goal behaviours ----

static void walk_to_point(ai_step& s, int32_t type, int32_t subgoal)
{
    const win_vect3 point = s.goal->goal_point;
    if (reached(s, point)) {
        pop(s);
        return;
    }
    if (type == AI_GOAL_FACE_AND_WALK_TO_POINT) {
        const int32_t t = ai_calc_turn_direction(s.self, &point);
        if (t != 0) {
            ai_or_input(s.self, t < 0 ? ACTION_LEFT : ACTION_RIGHT);
            if (visible(s, point))
                move(s, subgoal, point);
            return;
        }
    }
    if (visible(s, point)) {
        move(s, subgoal, point);
        return;
    }
    const win_vect3* node = s.map ? node_point(s.map, closest_node_to_self(s)) : NULL;
    if (node)
        push(s, type, NULL, *node);
    else
        wander(s);
}

static void goal_face_and_walk_to_point(ai_step& s)
{
    walk_to_point(s, AI_GOAL_FACE_AND_WALK_TO_POINT, MOVE_WALK_TOWARD);
}

static void goal_walk_to_point(ai_step& s)
{
    walk_to_point(s, AI_GOAL_WALK_TO_POINT, MOVE_WALK_TOWARD);
}

static void goal_run_to_point(ai_step& s)
{
    walk_to_point(s, AI_GOAL_RUN_TO_POINT, MOVE_RUN_TOWARD);
}

// By the attack sectors: back off from a target too near, attack it when an
// attack is due and a sector holds it, else face it with a sector when it is
// within their range, or approach it.
static void close_in(ai_step& s, win_entity* target)
{
    const int32_t sector = ai_find_attack_sector(s.self, target);
    if (sector == AI_TARGET_TOO_NEAR)
        push(s, AI_GOAL_RETREAT_FROM_POINT, NULL, ai_entity_position(target));
    else if (sector >= 0 && attack_due(s))
        push_target(s, AI_GOAL_ATTACK, target);
    else if (within_range(s, target))
        push_target(s, AI_GOAL_FACE_ATTACK_SECTOR, target);
    else
        push(s, AI_GOAL_APPROACH_TARGET, target, {1.0f, 0.0f, 0.0f});
}

// Closing in on the target: back off or dodge when it attacks, follow the
// map while it is out of sight, then attack, face or approach it.
static void hunt(ai_step& s, int32_t type)
{
    win_entity* target = s.goal->target_entity;
    const int r = rand_util_rand() % 100;
    if ((state_type_flags(target) & (ANIM_TYPE_ATTACKING | ANIM_TYPE_AIMING)) && r < 50) {
        if (r > 24 && (type == AI_GOAL_HUNT_TARGET_TO_WEAKNESS ||
                       can_see(s, game_globals.player_character))) {
            push_target(s, AI_GOAL_BACK_TO_POINT, target);
        } else {
            const int dodge = rand_util_rand() % 100;
            set_input(s.self, ACTION_STRAFE);
            ai_or_input(s.self, dodge < 51 ? ACTION_RIGHT : ACTION_LEFT);
        }
        return;
    }
    if (s.map) {
        const win_vect3 aim = ai_entity_position(target);
        const int32_t a = closest_node_to_self(s);
        const int32_t b = ai_find_closest_node_to_location(&aim);
        if (a != b && !can_see(s, target)) {
            const int32_t hop = next_hop(s.map, a, b);
            if (hop >= 0) {
                if (type == AI_GOAL_HUNT_TARGET)
                    push(s, AI_GOAL_GO_TO_POINT_ALERT, NULL, *node_point(s.map, hop));
                else
                    push(s, AI_GOAL_WALK_TO_NODE, NULL, {0.0f, 0.0f, 0.0f}, hop);
                return;
            }
        }
    }
    close_in(s, target);
}

static void goal_hunt_target(ai_step& s)
{
    if (!alive(s.goal->target_entity))
        pop(s);
    else
        hunt(s, AI_GOAL_HUNT_TARGET);
}

static void goal_wait(ai_step& s)
{
    win_vect3& time = s.goal->goal_point;
    if (time.y >= time.x)
        pop(s);
    else
        time.y += s.dt;
}

static void goal_roam_nodes(ai_step& s)
{
    const int32_t c = s.map ? closest_node_to_self(s) : -1;
    if (c < 0) {
        wander(s);
        return;
    }
    int32_t& destination = s.goal->goal_arg;
    int32_t hop;
    if (!at_node(s, c)) {
        hop = next_hop(s.map, c, c);
    } else {
        destination = destination == c ? rand_util_rand() % s.map->node_array_size : c;
        if (destination == c)
            return;
        hop = next_hop(s.map, c, destination);
    }
    if (hop >= 0)
        push(s, AI_GOAL_WALK_STRAIGHT_TO_NODE, NULL, {0.0f, 0.0f, 0.0f}, hop);
    else
        wander(s);
}

static void goal_seek_player(ai_step& s)
{
    win_entity* player = game_globals.player_character;
    if (can_see(s, player)) {
        push_target(s, AI_GOAL_HUNT_TARGET, player);
        return;
    }
    const int32_t c = s.map ? closest_node_to_self(s) : -1;
    if (c < 0) {
        wander(s);
        return;
    }
    int32_t& destination = s.goal->goal_arg;
    const int32_t nodes = s.map->node_array_size;
    if (destination == -1)
        destination = nodes - 1;
    if (!valid_node(s.map, destination)) {
        LOG_WARNING("Entity %s seeks node %ld, which its map does not have.\n",
                    s.self->win_entity_name, (long)destination);
        pop(s);
        return;
    }
    if (at_node(s, destination))
        destination = rand_util_rand() % nodes;
    if (at_node(s, destination))
        return;
    if (!at_node(s, c)) {
        move(s, MOVE_WALK_TOWARD, *node_point(s.map, c));
        return;
    }
    const int32_t hop = next_hop(s.map, c, destination);
    if (hop >= 0)
        push(s, AI_GOAL_GO_TO_POINT_ALERT, NULL, *node_point(s.map, hop));
    else
        wander(s);
}

static void goal_turn_to_point(ai_step& s)
{
    const int32_t t = ai_calc_turn_direction(s.self, &s.goal->goal_point);
    set_input(s.self, t < 0 ? ACTION_LEFT : t > 0 ? ACTION_RIGHT : 0);
    if (t == 0)
        pop(s);
}

static void goal_attack(ai_step& s)
{
    win_entity* target = s.goal->target_entity;
    const int32_t sector = ai_find_attack_sector(s.self, target);
    if (sector == AI_TARGET_TOO_NEAR) {
        push(s, AI_GOAL_RETREAT_FROM_POINT, NULL, ai_entity_position(target));
        return;
    }
    // No sector holds the target, or it cannot be hurt now: no attack.
    if (sector < 0 || (state_type_flags(target) & AI_STATE_IMPERVIOUS)) {
        set_input(s.self, 0);
        pop(s);
        return;
    }
    s.ai->personality.time_since_attack = 0.0f;
    const win_entity* weapon = win_entity_character(s.self)->current_weapon;
    const bool strikes = !weapon ||
                         (weapon->win_entity_flag & (ENTITY_FLAG_MELEE_1 | ENTITY_FLAG_MELEE_2)) ||
                         (state_type_flags(s.self) & ANIM_TYPE_AIMING);
    if (strikes) {
        set_input(s.self, ANIM_INPUT_ATTACK);
        pop(s);
    } else {
        ai_or_input(s.self, ANIM_INPUT_AIM);
    }
}

static void goal_turn_to_target(ai_step& s)
{
    const win_vect3 aim = ai_entity_position(s.goal->target_entity);
    const int32_t t = ai_calc_turn_direction(s.self, &aim);
    if (t == 0)
        pop(s);
    else
        ai_or_input(s.self, t < 0 ? ACTION_LEFT : ACTION_RIGHT);
}

static void goal_approach_target(ai_step& s)
{
    win_entity* target = s.goal->target_entity;
    float& time_left = s.goal->goal_point.x;
    time_left -= s.dt / 1000.0f;
    if (within_range(s, target) && time_left <= 0.0f) {
        pop(s);
        return;
    }
    const win_vect3 aim = ai_entity_position(target);
    if (s.map) {
        const int32_t a = closest_node_to_self(s);
        const int32_t b = ai_find_closest_node_to_location(&aim);
        if (a >= 0 && b >= 0 && a != b && !can_see(s, target)) {
            const int32_t hop = next_hop(s.map, a, b);
            if (hop >= 0) {
                push(s, AI_GOAL_GO_TO_POINT_ALERT, NULL, *node_point(s.map, hop));
                return;
            }
        }
    }
    move(s, MOVE_RUN_TOWARD, aim);
}

static void goal_face_attack_sector(ai_step& s)
{
    if (attack_sector_count(s.self) < 1)
        return;
    win_entity* target = s.goal->target_entity;
    const int32_t sector = ai_find_attack_sector(s.self, target);
    if (sector >= 0) {
        pop(s);
    } else if (sector == AI_TARGET_TOO_NEAR) {
        push(s, AI_GOAL_RETREAT_FROM_POINT, NULL, ai_entity_position(target));
    } else if (within_range(s, target)) {
        const float* f = ai_find_sector_goal(s.self, target)->sector.f;
        const win_vect3 middle = turned_facing(
            s.self, -(f[AI_SECTOR_ANGLE_FROM] + f[AI_SECTOR_ANGLE_TO]) * 0.5f);
        const win_vect3 position = ai_entity_position(s.self);
        const win_vect3 aim = ai_entity_position(target);
        const win_vect3 offset = {aim.x - position.x, middle.y, aim.z - position.z};
        set_input(s.self, cross_y(middle, offset) > 0.0f ? ACTION_RIGHT : ACTION_LEFT);
    } else if (s.ai->personality.mobility_type != AI_MOBILITY_FLY) {
        push(s, AI_GOAL_APPROACH_TARGET, target, {1.0f, 0.0f, 0.0f});
    }
}

static void goal_guard_point(ai_step& s)
{
    win_entity* player = game_globals.player_character;
    const win_vect3 post = s.goal->goal_point;
    const win_vect3 position = ai_entity_position(s.self);
    if (win_math_calc_dist(&position, &post) <= (float)s.goal->goal_arg) {
        // Within range of its sectors the player is closed in on, never
        // approached; out of it the guard keeps to its post.
        if (within_range(s, player))
            close_in(s, player);
        else
            push(s, AI_GOAL_SIDESTEP_TO_POINT, NULL, post);
        return;
    }
    const int32_t around = ai_get_relative_direction_flags(s.self, player);
    push(s,
         around == AI_DIRECTION_AHEAD    ? AI_GOAL_FACE_AND_WALK_TO_POINT
         : around == AI_DIRECTION_BEHIND ? AI_GOAL_BACK_TO_POINT
                                         : AI_GOAL_SIDESTEP_TO_POINT,
         NULL, post);
}

static void goal_hunt_target_to_weakness(ai_step& s)
{
    const win_character* target = win_entity_character(s.goal->target_entity);
    if (!target || target->hitpoints > 10.0f)
        hunt(s, AI_GOAL_HUNT_TARGET_TO_WEAKNESS);
    else if (s.ai->end_script)
        script_initiate_script(s.ai->end_script, NULL);
}

static void goal_pick_random_node(ai_step& s)
{
    int32_t& chosen = s.goal->goal_arg;
    if (chosen >= 0) {
        pop(s);
        return;
    }
    const int32_t c = s.map ? closest_node_to_self(s) : -1;
    if (c < 0) {
        wander(s);
        chosen = 0;
        return;
    }
    chosen = rand_util_rand() % s.map->node_array_size;
    if (chosen == c)
        return;
    chosen = next_hop(s.map, c, chosen);
    const int32_t hop = next_hop(s.map, c, chosen);
    if (hop < 0) {
        wander(s);
        chosen = 0;
        return;
    }
    push(s, AI_GOAL_WALK_STRAIGHT_TO_NODE, NULL, {0.0f, 0.0f, 0.0f}, hop);
}

// Walking to a node: first to the nearest node in sight, then hop by hop,
// each hop a walk (`walk_type`) with a turn toward its node pushed over it.
static void go_to_node(ai_step& s, int32_t walk_type)
{
    const int32_t destination = s.goal->goal_arg;
    if (!valid_node(s.map, destination)) {
        LOG_WARNING("Entity %s walks to node %ld, which the map does not have.\n",
                    s.self->win_entity_name, (long)destination);
        pop(s);
        return;
    }
    if (at_node(s, destination)) {
        pop(s);
        return;
    }
    const int32_t c = closest_node_to_self(s);
    const int32_t n = !valid_node(s.map, c) ? -1
                      : at_node(s, c)       ? next_hop(s.map, c, destination)
                                            : c;
    if (n < 0) {
        wander(s);
        return;
    }
    const win_vect3 point = *node_point(s.map, n);
    push(s, walk_type, NULL, point);
    push(s, AI_GOAL_TURN_TO_POINT, NULL, point);
}

static void goal_walk_to_node(ai_step& s)
{
    go_to_node(s, AI_GOAL_FACE_AND_WALK_TO_POINT);
}

static void goal_walk_straight_to_node(ai_step& s)
{
    go_to_node(s, AI_GOAL_WALK_TO_POINT);
}

static void goal_run_to_node(ai_step& s)
{
    go_to_node(s, AI_GOAL_RUN_TO_POINT);
}

static void goal_drift_to_point(ai_step& s)
{
    const win_vect3 position = ai_entity_position(s.self);
    const float d = win_math_calc_dist(&position, &s.goal->goal_point);
    if ((float)(rand_util_rand() % 200) < d)
        move(s, MOVE_WALK_TOWARD, s.goal->goal_point);
}

// Backing toward or away from the point until a draw of one in four ends it.
static void back_off(ai_step& s, int32_t subgoal)
{
    if (rand_util_rand() % 100 > 24)
        move(s, subgoal, s.goal->goal_point);
    else
        pop(s);
}

static void goal_back_to_point(ai_step& s)
{
    back_off(s, MOVE_BACK_TOWARD);
}

static void goal_retreat_from_point(ai_step& s)
{
    back_off(s, MOVE_BACK_AWAY);
}

static void goal_sidestep_to_point(ai_step& s)
{
    if (reached(s, s.goal->goal_point))
        pop(s);
    else
        move(s, MOVE_SIDESTEP_TOWARD, s.goal->goal_point);
}

static void goal_attack_or_roam(ai_step& s)
{
    win_entity* target = s.goal->target_entity;
    if (!alive(target)) {
        pop(s);
    } else if (rand_util_rand() % 100 > 49) {
        push_target(s, AI_GOAL_PICK_RANDOM_NODE, NULL);
    } else {
        push_target(s, AI_GOAL_ATTACK, target);
        push_target(s, AI_GOAL_FACE_ATTACK_SECTOR, target);
    }
}

static void goal_attack_from_node(ai_step& s)
{
    win_entity* target = s.goal->target_entity;
    if (!alive(target)) {
        pop(s);
        return;
    }
    if (state_type_flags(s.self) & ANIM_TYPE_ATTACKING)
        return;
    const int32_t node = s.goal->goal_arg < 1 ? 0 : s.goal->goal_arg;
    push(s, AI_GOAL_WALK_TO_NODE, NULL, {0.0f, 0.0f, 0.0f}, node);
    if (attack_due(s)) {
        push_target(s, AI_GOAL_ATTACK, target);
        push_target(s, AI_GOAL_FACE_ATTACK_SECTOR, target);
    }
}

static void goal_go_to_point_alert(ai_step& s)
{
    win_entity* player = game_globals.player_character;
    if (can_see(s, player)) {
        const bool in_sector = ai_find_attack_sector(s.self, player) >= 0;
        push_target(s, in_sector ? AI_GOAL_ATTACK : AI_GOAL_HUNT_TARGET, player);
        return;
    }
    const win_vect3 point = s.goal->goal_point;
    if (reached(s, point)) {
        pop(s);
        return;
    }
    if (visible(s, point)) {
        move(s, MOVE_WALK_TOWARD, point);
        return;
    }
    const int32_t c = s.map ? closest_node_to_self(s) : -1;
    if (c < 0) {
        wander(s);
        return;
    }
    const win_vect3 node = *node_point(s.map, c);
    if (!at_node(s, c)) {
        push(s, AI_GOAL_GO_TO_POINT_ALERT, NULL, node);
        return;
    }
    // At a node: give up this point and head on from here toward the point
    // of the goal that is resumed.
    pop(s);
    const win_goal_entry* resumed = s.ai->current_goal;
    const int32_t n = resumed ? ai_find_closest_node_to_location(&resumed->goal_point) : -1;
    const int32_t hop = n < 0 ? -1 : next_hop(s.map, c, n);
    push(s, AI_GOAL_GO_TO_POINT_ALERT, NULL, hop < 0 ? node : *node_point(s.map, hop));
}

namespace {

// What each goal type does, and whether it follows an entity.
struct ai_goal_rule {
    void (*step)(ai_step& s);
    bool needs_target;
};

}  // namespace

static void goal_idle(ai_step&) {}

static const ai_goal_rule ai_goal_rules[AI_GOAL_TYPE_COUNT] = {
    /* 0 */ {goal_idle, false},
    /* 1 */ {goal_face_and_walk_to_point, false},
    /* 2 */ {goal_walk_to_point, false},
    /* 3 */ {NULL, false},
    /* 4 */ {goal_hunt_target, true},
    /* 5 */ {NULL, false},
    /* 6 */ {NULL, false},
    /* 7 */ {goal_wait, false},
    /* 8 */ {goal_roam_nodes, false},
    /* 9 */ {NULL, false},
    /* 10 */ {goal_seek_player, false},
    /* 11 */ {NULL, false},
    /* 12 */ {goal_turn_to_point, false},
    /* 13 */ {goal_attack, true},
    /* 14 */ {NULL, false},
    /* 15 */ {NULL, false},
    /* 16 */ {NULL, false},
    /* 17 */ {NULL, false},
    /* 18 */ {goal_turn_to_target, true},
    /* 19 */ {goal_approach_target, true},
    /* 20 */ {goal_face_attack_sector, true},
    /* 21 */ {goal_guard_point, false},
    /* 22 */ {goal_hunt_target_to_weakness, true},
    /* 23 */ {goal_pick_random_node, false},
    /* 24 */ {goal_walk_to_node, false},
    /* 25 */ {goal_walk_straight_to_node, false},
    /* 26 */ {goal_drift_to_point, false},
    /* 27 */ {NULL, false},
    /* 28 */ {goal_back_to_point, false},
    /* 29 */ {goal_sidestep_to_point, false},
    /* 30 */ {NULL, false},
    /* 31 */ {goal_attack_or_roam, true},
    /* 32 */ {goal_run_to_node, false},
    /* 33 */ {goal_run_to_point, false},
    /* 34 */ {goal_attack_from_node, true},
    /* 35 */ {goal_retreat_from_point, false},
    /* 36 */ {goal_go_to_point_alert, false},
};

// A flier in an aiming state keeps itself level with the player's middle.
static void flier_aim(ai_step& s)
{
    const win_entity* player = game_globals.player_character;
    if (s.ai->personality.mobility_type != AI_MOBILITY_FLY || !s.goal->target_entity || !player)
        return;
    const int32_t standard_attacks = ANIM_REACTION_STANDARD_1 | ANIM_REACTION_STANDARD_2 |
                                     ANIM_REACTION_STANDARD_3;
    if (!(state_type_flags(s.self) & ANIM_TYPE_ATTACKING) ||
        !(state_reaction_flags(s.self) & standard_attacks))
        return;
    win_vect3 aim = ai_entity_position(player);
    aim.y += ai_model_radius(player) * 0.5f;
    move(s, MOVE_WALK_TOWARD, aim);
}

int ai_update_character(win_entity* entity, float frame_delta_time)
{
    win_character* character = win_entity_character(entity);
    if (!character || !(entity->win_entity_flag & ENTITY_FLAG_BRAIN) || !character->win_ai ||
        !(character->hitpoints > 0.0f))
        return 1;
    win_ai* ai = character->win_ai;
    if (!ai->current_goal)
        ai_set_current_goal(ai, ai->win_goal_entry_list ? ai->win_goal_entry_list
                                                        : ai_create_default_goal(entity));
    if (!ai->current_goal)
        return 1;
    const win_environment* environment = win_entity_environment(game_globals.current_environment);
    ai_step s = {entity, ai, ai->current_goal, environment ? environment->win_map : NULL,
                 frame_delta_time};
    flier_aim(s);
    ai->personality.time_since_attack += frame_delta_time * 0.001f;
    const int32_t type = s.goal->ai_goal_type;
    const ai_goal_rule* rule = type >= 0 && type < AI_GOAL_TYPE_COUNT && ai_goal_rules[type].step
                                   ? &ai_goal_rules[type]
                                   : NULL;
    if (!rule) {
        LOG_WARNING("Unknown character entity goal %d.\n", (int)type);
        return 1;
    }
    if (rule->needs_target && !s.goal->target_entity) {
        LOG_WARNING("Entity %s drops goal %d, whose target is gone.\n", entity->win_entity_name,
                    (int)type);
        pop(s);
        return 1;
    }
    rule->step(s);
    return 1;
}
