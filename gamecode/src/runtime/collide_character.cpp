// Character collision: joint spheres, appendage capsules, the attack reach
// of the hit resolution and the push that sets two touching characters apart.
#include "collide_character.h"

#include <algorithm>
#include <cmath>

#include "ai_hit.h"
#include "collide.h"
#include "debug.h"
#include "dlink.h"
#include "gameglobals.h"
#include "math_util.h"
#include "win_math.h"

namespace {

// The sphere a character counts as when it has no model or no joints to
// test, and the padding that every push and every fast step adds.
constexpr float BODY_RADIUS = 3.0f;
// Capsule distances at or above this count as no contact.
constexpr float NO_CONTACT = 1e14f;
// How often a pushed character is tested against the environment again
// before its push is given up.
constexpr int MAX_PUSH_REPEATS = 6;

constexpr uint32_t MELEE_FLAGS = ENTITY_FLAG_MELEE_1 | ENTITY_FLAG_MELEE_2 | ENTITY_FLAG_MELEE_3;
// Weapons, projectiles and their kinds are never pushed, nor pushed by.
constexpr uint32_t UNPUSHABLE_FLAGS = MELEE_FLAGS | ENTITY_FLAG_PROJECTILE_1 |
                                      ENTITY_FLAG_PROJECTILE_2 | ENTITY_FLAG_PROJECTILE_3 |
                                      ENTITY_FLAG_WEAPON | ENTITY_FLAG_PROJECTILE;

// The last two characters whose centres met so that no push direction could
// be formed, in either order; compared, never followed.
struct entity_pair {
    const win_entity* a;
    const win_entity* b;
};
entity_pair coincident_pair = {};

bool is_coincident_pair(const win_entity* a, const win_entity* b)
{
    return (coincident_pair.a == a && coincident_pair.b == b) ||
           (coincident_pair.a == b && coincident_pair.b == a);
}

// Translation bits of win_matrix43.attrib.
constexpr int32_t MATRIX_TRANSLATION = 0x8 | 0x10 | 0x20;

win_vect3 add(const win_vect3& a, const win_vect3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

win_vect3 sub(const win_vect3& a, const win_vect3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

bool alive(const win_entity* entity)
{
    return entity->life_span > 0.0f || entity->life_span == ETERNAL_LIFE_SPAN;
}

// The model's bounding radius where it has one above 0, else 0.
float model_radius(const win_character* character)
{
    const float radius = character ? win_character_radius(character) : 0.0f;
    return radius > 0.0f ? radius : 0.0f;
}

int32_t pose_count(const win_character* character)
{
    return character->mow_track_augment_array ? std::max(character->mow_track_augment_array_size, 0)
                                              : 0;
}

// The pose of joint `joint`, or NULL when the pose array has no such joint.
const mow_track_augment* joint_pose(const win_character* character, int32_t joint)
{
    if (!character || joint < 0 || joint >= pose_count(character))
        return nullptr;
    return &character->mow_track_augment_array[joint];
}

struct sphere {
    win_vect3 centre;
    float radius;
};

// ---- Joint spheres ----

// One side of the joint sphere test.
struct joint_side {
    const win_character* character;
    // The joints tested, cut to the pose array (none when first > last).
    int32_t first;
    int32_t last;
    // No model, or an empty range as given: the body sphere of radius 3,
    // reported as joint -1.
    bool one_sphere;
    // A range that ends below joint 2: the body sphere with the model's
    // radius stands for each of its joints.
    bool body_for_joints;
};

joint_side make_joint_side(const win_character* character, int32_t first, int32_t last)
{
    joint_side side = {character, std::max(first, 0), std::min(last, pose_count(character) - 1),
                       !character->mow_model || last < first, last < 2};
    return side;
}

// The sphere of joint `joint` of the side; false for a joint without a
// collision sphere (radius not above 0).
bool joint_sphere(const joint_side& side, int32_t joint, sphere* out)
{
    if (side.one_sphere) {
        *out = {side.character->world_sphere_center, BODY_RADIUS};
        return true;
    }
    if (side.body_for_joints) {
        *out = {side.character->world_sphere_center, model_radius(side.character)};
        return true;
    }
    const mow_track_augment* pose = joint_pose(side.character, joint);
    if (!pose || !(pose->mow_augment_sphere_radius > 0.0f))
        return false;
    *out = {pose->mow_augment_sphere_center, pose->mow_augment_sphere_radius};
    return true;
}

// The deepest touching pair of a joint sphere test so far.
struct joint_search {
    const win_vect3* motion;  // the first side's move, or NULL
    float best_score;
    collide_pair best;
};

void test_joint_pair(joint_search* search, const joint_side& a, int32_t i, const joint_side& b,
                     int32_t j)
{
    sphere sa, sb;
    if (!joint_sphere(a, i, &sa) || !joint_sphere(b, j, &sb))
        return;
    const float reach = sa.radius + sb.radius;
    const float d2 = win_math_calc_dist_squared(&sa.centre, &sb.centre);
    float score;
    if (!search->motion) {
        if (d2 > reach * reach)
            return;
        score = reach * reach - d2;
    } else {
        const win_vect3 head = add(sa.centre, *search->motion);
        if (!win_math_line_sphere_intersect(&sa.centre, &head, &sb.centre, sb.radius, sa.radius))
            return;
        score = std::fabs(reach * reach - d2);
    }
    if (score > search->best_score) {
        search->best_score = score;
        search->best = {a.one_sphere ? -1 : i, b.one_sphere ? -1 : j};
    }
}

// ---- Appendage capsules ----

// One side of the capsule test: the appendages it has both spheres and
// joint chains for.
struct limb_side {
    const win_character* character;
    int32_t first;  // the joint range as given, for the reported joints
    int32_t last;
    int32_t appendage_count;
};

limb_side make_limb_side(const win_character* character, int32_t first, int32_t last)
{
    limb_side side = {character, first, last, 0};
    const mow_model* model = character->mow_model;
    if (model && model->mow_appendage_info_array && character->current_appendage_sphere_keys)
        side.appendage_count = std::max(
            0, std::min({model->mow_appendage_array_size, model->mow_appendage_info_array_size,
                         character->current_appendage_sphere_keys_size}));
    return side;
}

const mow_appendage_sphere_key& appendage_key(const limb_side& side, int32_t appendage)
{
    return side.character->current_appendage_sphere_keys[appendage];
}

int32_t segment_count(const limb_side& side, int32_t appendage)
{
    const mow_appendage_sphere_key& key = appendage_key(side, appendage);
    const mow_appendage_info& info = side.character->mow_model->mow_appendage_info_array[appendage];
    if (!key.mow_segment_key_array || !info.mow_segment_info_array)
        return 0;
    return std::max(0, std::min(key.mow_segment_key_array_size, info.mow_segment_info_array_size));
}

// A capsule: from `start` along `vector` (of `length`), thickened by `radius`.
struct capsule {
    win_vect3 start;
    win_vect3 vector;
    float length;
    float radius;
    int32_t joint;  // the joint the segment reports
};

// Segment `segment` of appendage `appendage`, starting at the sphere centre
// of its start joint. False for a segment that cannot be tested: its start
// joint outside the pose array, or no length to divide by.
bool segment_capsule(const limb_side& side, int32_t appendage, int32_t segment, capsule* out)
{
    const mow_segment_key& key = appendage_key(side, appendage).mow_segment_key_array[segment];
    const mow_segment_info& info = side.character->mow_model->mow_appendage_info_array[appendage]
                                       .mow_segment_info_array[segment];
    const mow_track_augment* start = joint_pose(side.character, info.mow_segment_joint_idx);
    if (!start || !(key.segment_length > 0.0f))
        return false;
    int32_t joint = info.mow_segment_joint_idx;
    if (joint < side.first || joint > side.last)
        joint = joint_pose(side.character, info.mow_segment_second_joint_idx)
                    ? info.mow_segment_second_joint_idx
                    : -1;
    *out = {start->mow_augment_sphere_center, key.segment_vector, key.segment_length,
            key.segment_radius, joint};
    return true;
}

// The closest touching capsules so far.
struct capsule_search {
    float best = NO_CONTACT;
    collide_pair joints = COLLIDE_NO_PAIR;
    collide_pair appendages = COLLIDE_NO_PAIR;
    collide_pair segments = COLLIDE_NO_PAIR;
};

void keep_closer(capsule_search* search, float d, collide_pair joints, collide_pair appendages,
                 collide_pair segments)
{
    if (d >= 0.0f && d < search->best) {
        search->best = d;
        search->joints = joints;
        search->appendages = appendages;
        search->segments = segments;
    }
}

// A's body sphere swept along `delta` against B's capsules.
void body_against_limbs(capsule_search* search, const win_character* a, const limb_side& b,
                        const win_vect3& delta)
{
    const win_vect3 tail = a->world_sphere_center;
    const win_vect3 head = add(tail, delta);
    const float radius = model_radius(a);
    const float length = win_math_magnitude_vect3_inline(&delta);
    for (int32_t i = 0; i < b.appendage_count; ++i) {
        const mow_appendage_sphere_key& key = appendage_key(b, i);
        if (!win_math_line_sphere_intersect(&tail, &head, &key.center, key.radius, radius))
            continue;
        for (int32_t j = 0; j < segment_count(b, i); ++j) {
            capsule s;
            if (!segment_capsule(b, i, j, &s))
                continue;
            // A body that does not move has no axis: the capsule test finds
            // no contact for it rather than divide by its length.
            float d = win_math_line_line_intersect(&tail, &delta, length, radius, &s.start,
                                                   &s.vector, s.length, s.radius);
            keep_closer(search, d, {-1, s.joint}, {-1, i}, {-1, j});
        }
    }
}

// A's capsules swept along `delta` against B's body sphere: the first that
// reaches it.
bool limbs_against_body(capsule_search* search, const limb_side& a, const win_character* b,
                        const win_vect3& delta)
{
    const win_vect3 centre = b->world_sphere_center;
    const float radius = model_radius(b);
    for (int32_t i = 0; i < a.appendage_count; ++i) {
        const mow_appendage_sphere_key& key = appendage_key(a, i);
        const win_vect3 moved = add(key.center, delta);
        if (!win_math_line_sphere_intersect(&key.center, &moved, &centre, radius, key.radius))
            continue;
        for (int32_t k = 0; k < segment_count(a, i); ++k) {
            capsule s;
            if (!segment_capsule(a, i, k, &s))
                continue;
            const win_vect3 tail = add(s.start, delta);
            const win_vect3 head = add(tail, s.vector);
            if (win_math_line_sphere_intersect(&tail, &head, &centre, radius, s.radius)) {
                search->joints = {s.joint, -1};
                search->appendages = {i, -1};
                search->segments = {k, -1};
                return true;
            }
        }
    }
    return false;
}

// A's capsules swept along `delta` against B's.
void limbs_against_limbs(capsule_search* search, const limb_side& a, const limb_side& b,
                         const win_vect3& delta)
{
    for (int32_t i = 0; i < a.appendage_count; ++i) {
        const mow_appendage_sphere_key& key_a = appendage_key(a, i);
        const win_vect3 moved = add(key_a.center, delta);
        for (int32_t j = 0; j < b.appendage_count; ++j) {
            const mow_appendage_sphere_key& key_b = appendage_key(b, j);
            if (!win_math_line_sphere_intersect(&key_a.center, &moved, &key_b.center, key_b.radius,
                                                key_a.radius))
                continue;
            for (int32_t k = 0; k < segment_count(a, i); ++k) {
                capsule sa;
                if (!segment_capsule(a, i, k, &sa))
                    continue;
                sa.start = add(sa.start, delta);
                for (int32_t l = 0; l < segment_count(b, j); ++l) {
                    capsule sb;
                    if (!segment_capsule(b, j, l, &sb))
                        continue;
                    float d = win_math_line_line_intersect(&sa.start, &sa.vector, sa.length,
                                                           sa.radius, &sb.start, &sb.vector,
                                                           sb.length, sb.radius);
                    keep_closer(search, d, {sa.joint, sb.joint}, {i, j}, {k, l});
                }
            }
        }
    }
}

// ---- The joint sets of the attack reach ----

// The joint table `table_index` of the character's state table, or NULL for
// the full range (a negative index, or a table the state table lacks).
const win_joint_table* joint_table(const win_entity* entity, int32_t table_index)
{
    const win_ast* table = entity->win_ast;
    if (table_index < 0 || !table->win_joint_table_list)
        return nullptr;
    return (const win_joint_table*)dlink_get_nth((dlink*)table->win_joint_table_list, table_index);
}

// The ranges of a joint set, in list order: a table's pairs, or the one
// range 1 to the pose count - 2.
template <class Visit>
bool any_range(const win_entity* entity, const win_joint_table* table, Visit visit)
{
    if (!table) {
        const win_character* character = win_entity_character(entity);
        return visit(1, (character ? pose_count(character) : 0) - 2);
    }
    const win_joint_pair* head = table->win_joint_pair_list;
    if (!head)
        return false;
    const win_joint_pair* pair = head;
    do {
        if (visit(pair->first_joint_idx, pair->last_joint_idx))
            return true;
        pair = pair->next_ptr;
    } while (pair && pair != head);
    return false;
}

// Translation row of a matrix, set so that the matrix carries it: a matrix
// that was the identity by its attrib gets an identity rotation first.
void set_translation(win_matrix43* matrix, const win_vect3& translation)
{
    if (matrix->attrib == 0) {
        *matrix = {};
        matrix->m[0][0] = matrix->m[1][1] = matrix->m[2][2] = 1.0f;
    }
    matrix->m[3][0] = translation.x;
    matrix->m[3][1] = translation.y;
    matrix->m[3][2] = translation.z;
    matrix->attrib |= MATRIX_TRANSLATION;
}

win_vect3 translation_of(const win_matrix43& matrix)
{
    if (matrix.attrib == 0)
        return {0.0f, 0.0f, 0.0f};
    return {matrix.m[3][0], matrix.m[3][1], matrix.m[3][2]};
}

// The push along `u` by `depth`: horizontal, and vertical only where the
// direction between the two is steep.
win_vect3 push_vector(const win_vect3& u, float depth)
{
    return {u.x * depth, std::fabs(u.y) > 0.5f ? u.y * depth : 0.0f, u.z * depth};
}

// Pushes b on by `push` through the environment test; a push that still
// collides after six repeats is given up. Movement b made along an axis it
// is moving on is kept as its root motion.
void push_partner(win_entity* b, const win_vect3& push)
{
    win_matrix43 moved = b->local_matrix;
    const win_vect3 from = translation_of(b->local_matrix);
    set_translation(&moved, add(from, push));
    win_entity* environment = game_globals.current_environment;
    const int first = collide_check_entity(&moved, b, environment);
    if (first) {
        for (int repeats = 1; collide_check_entity(&moved, b, environment); ++repeats) {
            if (repeats == MAX_PUSH_REPEATS) {
                set_translation(&moved, from);
                break;
            }
        }
        const win_vect3 to = translation_of(moved);
        if (b->velocity.x != 0.0f)
            b->last_win_xform.tx = to.x - from.x;
        if (b->velocity.y != 0.0f)
            b->last_win_xform.ty = to.y - from.y;
        if (b->velocity.z != 0.0f)
            b->last_win_xform.tz = to.z - from.z;
    }
    b->local_matrix = moved;
}

}  // namespace

int collide_check_entity_joint_to_entity_joint(win_entity* first_win_entity, int32_t a_first,
                                               int32_t a_last, win_entity* second_win_entity,
                                               int32_t b_first, int32_t b_last,
                                               collide_pair* joint_pair,
                                               const win_vect3* motion_target)
{
    REFUSE_NULL(first_win_entity, "collide_check_entity_joint_to_entity_joint", "first_win_entity",
                0);
    REFUSE_NULL(second_win_entity, "collide_check_entity_joint_to_entity_joint",
                "second_win_entity", 0);
    REFUSE_NULL(joint_pair, "collide_check_entity_joint_to_entity_joint", "joint_pair", 0);
    *joint_pair = COLLIDE_NO_PAIR;
    const win_character* ca = win_entity_character(first_win_entity);
    const win_character* cb = win_entity_character(second_win_entity);
    if (!ca || !cb)
        return 0;  // only characters have joints to touch with
    if (!ca->mow_model && !cb->mow_model)
        return 1;

    const joint_side a = make_joint_side(ca, a_first, a_last);
    const joint_side b = make_joint_side(cb, b_first, b_last);
    win_vect3 delta;
    joint_search search = {nullptr, 0.0f, COLLIDE_NO_PAIR};
    if (motion_target) {
        delta = sub(*motion_target, ca->world_sphere_center);
        search.motion = &delta;
    }
    if (a.one_sphere) {
        for (int32_t j = b.first; j <= b.last; ++j)
            test_joint_pair(&search, a, -1, b, j);
    } else if (b.one_sphere) {
        for (int32_t i = a.first; i <= a.last; ++i)
            test_joint_pair(&search, a, i, b, -1);
    } else {
        for (int32_t i = a.first; i <= a.last; ++i)
            for (int32_t j = b.first; j <= b.last; ++j)
                test_joint_pair(&search, a, i, b, j);
    }
    if (!(search.best_score > 0.0f))
        return 0;
    *joint_pair = search.best;
    return 1;
}

int collide_check_entity_appendage_to_appendage(
    win_entity* first_win_entity, int32_t a_first, int32_t a_last, win_entity* second_win_entity,
    int32_t b_first, int32_t b_last, collide_pair* joint_pair, collide_pair* appendage_pair,
    collide_pair* segment_pair, const win_vect3* motion_target)
{
    REFUSE_NULL(first_win_entity, "collide_check_entity_appendage_to_appendage", "first_win_entity",
                0);
    REFUSE_NULL(second_win_entity, "collide_check_entity_appendage_to_appendage",
                "second_win_entity", 0);
    REFUSE_NULL(joint_pair, "collide_check_entity_appendage_to_appendage", "joint_pair", 0);
    REFUSE_NULL(appendage_pair, "collide_check_entity_appendage_to_appendage", "appendage_pair", 0);
    REFUSE_NULL(segment_pair, "collide_check_entity_appendage_to_appendage", "segment_pair", 0);
    if (game_globals.bUseOldCollisionAlgorithm)
        return collide_check_entity_joint_to_entity_joint(first_win_entity, a_first, a_last,
                                                          second_win_entity, b_first, b_last,
                                                          joint_pair, motion_target);
    const win_character* ca = win_entity_character(first_win_entity);
    const win_character* cb = win_entity_character(second_win_entity);
    if (!ca || !cb) {
        *joint_pair = COLLIDE_NO_PAIR;
        return 0;
    }
    if (!ca->mow_model && !cb->mow_model) {
        *joint_pair = *appendage_pair = *segment_pair = COLLIDE_NO_PAIR;
        return 1;
    }

    const win_vect3 delta = motion_target ? sub(*motion_target, ca->world_sphere_center)
                                          : win_vect3{0.0f, 0.0f, 0.0f};
    const limb_side a = make_limb_side(ca, a_first, a_last);
    const limb_side b = make_limb_side(cb, b_first, b_last);
    capsule_search search;
    bool found;
    if (a.appendage_count == 0) {
        body_against_limbs(&search, ca, b, delta);
        found = search.best < NO_CONTACT;
    } else if (b.appendage_count == 0) {
        found = limbs_against_body(&search, a, cb, delta);
    } else {
        limbs_against_limbs(&search, a, b, delta);
        found = search.best < NO_CONTACT;
    }
    if (!found) {
        *joint_pair = COLLIDE_NO_PAIR;
        return 0;
    }
    *joint_pair = search.joints;
    *appendage_pair = search.appendages;
    *segment_pair = search.segments;
    return 1;
}

int collide_check_entity_attack(win_entity* entity_a, win_entity* entity_b, int32_t a_attacks,
                                int32_t b_attacks, collide_pair* joint_pair)
{
    REFUSE_NULL(entity_a, "collide_check_entity_attack", "entity_a", 0);
    REFUSE_NULL(entity_b, "collide_check_entity_attack", "entity_b", 0);
    REFUSE_NULL(joint_pair, "collide_check_entity_attack", "joint_pair", 0);
    *joint_pair = COLLIDE_NO_PAIR;
    if (!entity_a->win_ast || !entity_b->win_ast) {
        LOG_ERROR("%s\n", "Cannot collide_check_entity_attack without both win_ast.");
        return 0;
    }
    const win_anim_table_base* state_a = win_ast_current_state(entity_a->win_ast);
    const win_anim_table_base* state_b = win_ast_current_state(entity_b->win_ast);
    int32_t index_a = -1, index_b = -1;
    if (state_a && state_b) {
        if (a_attacks) {
            index_a = state_a->combat_win_joint_table_idx;
            index_b = state_b->vulnerable_win_joint_table_idx;
        } else if (b_attacks) {
            index_a = state_a->vulnerable_win_joint_table_idx;
            index_b = state_b->combat_win_joint_table_idx;
        } else {
            index_a = state_a->win_joint_table_idx;
            index_b = state_b->win_joint_table_idx;
        }
    }
    const win_joint_table* table_a = joint_table(entity_a, index_a);
    const win_joint_table* table_b = joint_table(entity_b, index_b);
    return any_range(entity_a, table_a, [&](int32_t a_first, int32_t a_last) {
        return any_range(entity_b, table_b, [&](int32_t b_first, int32_t b_last) {
            return collide_check_entity_joint_to_entity_joint(entity_a, a_first, a_last, entity_b,
                                                              b_first, b_last, joint_pair,
                                                              nullptr) != 0;
        });
    });
}

int collide_check_entity_to_entity(win_entity* entity_a, win_entity* entity_b, win_vect3* centre)
{
    REFUSE_NULL(entity_a, "collide_check_entity_to_entity", "entity_a", 0);
    REFUSE_NULL(entity_b, "collide_check_entity_to_entity", "entity_b", 0);
    REFUSE_NULL(centre, "collide_check_entity_to_entity", "centre", 0);
    win_character* ca = win_entity_character(entity_a);
    win_character* cb = win_entity_character(entity_b);
    if (entity_a == entity_b || !ca || !cb || !alive(entity_a) || !alive(entity_b) ||
        !(entity_a->win_entity_flag & ENTITY_FLAG_CHARACTER_COLLISION) ||
        !(entity_b->win_entity_flag & ENTITY_FLAG_CHARACTER_COLLISION) ||
        ca->current_weapon == entity_b || cb->current_weapon == entity_a)
        return 0;

    // Is there a contact: the body spheres first, then the limbs.
    const win_vect3 ca_centre = ca->world_sphere_center;
    const win_vect3 cb_centre = cb->world_sphere_center;
    const float step = win_math_calc_dist(&ca_centre, centre);
    float radius_b = entity_b->win_ast ? win_character_radius(cb) : 0.0f;
    float radius_a = model_radius(ca);
    const float d2_bodies = win_math_calc_dist_squared(&ca_centre, &cb_centre);
    if (radius_a <= step) {
        // A long step: does the swept body reach the other's sphere?
        radius_a = win_character_radius(ca) + BODY_RADIUS;
        radius_b = win_character_radius(cb);
        if (!win_math_line_sphere_intersect(&ca_centre, centre, &cb_centre, radius_b, radius_a))
            return 0;
    } else {
        const float reach = radius_b + radius_a;
        if (d2_bodies > reach * reach || (entity_a->win_entity_flag & MELEE_FLAGS))
            return 0;
    }
    collide_pair joints = COLLIDE_NO_PAIR, appendages = COLLIDE_NO_PAIR, segments = COLLIDE_NO_PAIR;
    if (!collide_check_entity_appendage_to_appendage(entity_a, 1, pose_count(ca), entity_b, 1,
                                                     pose_count(cb), &joints, &appendages,
                                                     &segments, centre))
        return 0;

    ai_resolve_hit(entity_a, entity_b, joints.a, joints.b);

    // Each is pushed by the other's share of the two masses.
    float weight_a = ca->mass / (ca->mass + cb->mass);
    float weight_b = cb->mass / (ca->mass + cb->mass);
    if (!(weight_a >= 0.0f) || !(weight_b >= 0.0f))
        weight_a = weight_b = 0.5f;

    // The touching limbs' thickness, where segments touched.
    if (appendages.a >= 0 && segments.a >= 0)
        radius_a = ca->current_appendage_sphere_keys[appendages.a]
                       .mow_segment_key_array[segments.a]
                       .segment_radius;
    if (appendages.b >= 0 && segments.b >= 0)
        radius_b = cb->current_appendage_sphere_keys[appendages.b]
                       .mow_segment_key_array[segments.b]
                       .segment_radius;
    const mow_track_augment* joint_a = joint_pose(ca, joints.a);
    const mow_track_augment* joint_b = joint_pose(cb, joints.b);
    float d2 = d2_bodies;
    if (joint_a || joint_b)
        d2 = win_math_calc_dist_squared(joint_a ? &joint_a->mow_augment_sphere_center : &ca_centre,
                                        joint_b ? &joint_b->mow_augment_sphere_center : &cb_centre);
    const float reach = radius_a + radius_b;
    float depth;
    if (reach * reach <= d2)
        depth = BODY_RADIUS;
    else if (d2 <= 0.0f)
        depth = std::fabs(reach) + BODY_RADIUS;
    else
        depth = std::fabs(reach) - (float)math_util_sqrt(d2) + BODY_RADIUS;

    // Apart along the line from the goal centre to the other's body; a
    // direction that cannot be formed pushes neither.
    win_vect3 u = {0.0f, 0.0f, 0.0f};
    if (!win_math_calc_normalized_win_dist(&u, centre, &cb_centre)) {
        // Pushing neither, the two stay where they are and meet again in
        // every step of every frame: the pair is told of once.
        if (!is_coincident_pair(entity_a, entity_b))
            LOG_ERROR("%s", "failed to calculate bumpback_dir vector.\n");
        coincident_pair = {entity_a, entity_b};
        u = {0.0f, 0.0f, 0.0f};
    } else if (is_coincident_pair(entity_a, entity_b)) {
        coincident_pair = {};
    }
    if (entity_a->parent_joint_idx == -1 && !(entity_a->win_entity_flag & UNPUSHABLE_FLAGS))
        *centre = sub(*centre, push_vector(u, depth * weight_b));
    if (entity_b->parent_joint_idx == -1 && !(entity_b->win_entity_flag & UNPUSHABLE_FLAGS) &&
        !(entity_a->win_entity_flag & UNPUSHABLE_FLAGS))
        push_partner(entity_b, push_vector(u, depth * weight_a));
    return 1;
}

void collide_character_reset(void)
{
    coincident_pair = {};
}
