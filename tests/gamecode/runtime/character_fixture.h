// Characters built in memory for the character collision and hit tests: an
// entity with its character payload, and on request a model, a pose with
// one collision sphere per joint, appendage capsules, a state table with
// joint tables, and an AI.
#pragma once

#include <cstdint>
#include <vector>

#include "heap.h"
#include "win_entity.h"
#include "win_math.h"

struct JointSphere {
    win_vect3 centre;
    float radius;
};

// One capsule of an appendage: from the sphere centre of joint `start`
// along `vector`; `second` is the chain's next joint.
struct Segment {
    int16_t start;
    int16_t second;
    win_vect3 vector;
    float radius;
};

struct Limb {
    win_vect3 centre;  // of the bounding sphere
    float radius;
    std::vector<Segment> segments;
};

struct JointRange {
    int32_t first;
    int32_t last;
};

class Figure {
public:
    explicit Figure(const char* name, win_vect3 at = {0.0f, 0.0f, 0.0f})
    {
        entity = malloc_win_entity(name);
        entity->u.win_character = c = malloc_win_character();
        c->world_sphere_center = at;
        move_to(at);
    }
    ~Figure() { free_win_entity(entity); }
    Figure(const Figure&) = delete;
    Figure& operator=(const Figure&) = delete;

    // The position the entity stands at (its local matrix).
    void move_to(win_vect3 at)
    {
        win_math_set_rot_trans_matrix43(&entity->local_matrix, 0.0f, 0.0f, 0.0f, at.x, at.y, at.z);
        entity->local_matrix.attrib |= 0x38;
    }
    win_vect3 position() const
    {
        const float* t = entity->local_matrix.m[3];
        return {t[0], t[1], t[2]};
    }

    // A model of bounding radius `radius`, or the model of `other` in place
    // of its own.
    void model(float radius)
    {
        c->mow_model = malloc_mow_model(entity->win_entity_name);
        c->mow_model->mow_model_sphere_radius = radius;
    }
    void share_model(const Figure& other)
    {
        if (c->mow_model)
            free_mow_model(c->mow_model);
        c->mow_model = other.c->mow_model;
        ++c->mow_model->mow_model_ref_cnt;
    }

    // One collision sphere per joint, in place of the pose it had.
    void pose(const std::vector<JointSphere>& joints)
    {
        int32_t n = (int32_t)joints.size();
        if (c->mow_track_augment_array)
            free_mow_track_augment_array(c->mow_track_augment_array,
                                         c->mow_track_augment_array_size);
        c->mow_track_augment_array = malloc_mow_track_augment_array(n);
        c->mow_track_augment_array_size = n;
        for (int32_t i = 0; i < n; ++i) {
            c->mow_track_augment_array[i].mow_augment_sphere_center = joints[i].centre;
            c->mow_track_augment_array[i].mow_augment_sphere_radius = joints[i].radius;
        }
    }

    // The appendages of the model and their spheres in the current pose.
    void limbs(const std::vector<Limb>& limbs)
    {
        int32_t n = (int32_t)limbs.size();
        mow_model* m = c->mow_model;
        m->mow_appendage_array_size = n;
        m->mow_appendage_info_array = malloc_mow_appendage_info_array(n);
        m->mow_appendage_info_array_size = n;
        c->current_appendage_sphere_keys = malloc_mow_appendage_sphere_key_array(n);
        c->current_appendage_sphere_keys_size = n;
        for (int32_t i = 0; i < n; ++i) {
            const Limb& limb = limbs[i];
            int32_t k = (int32_t)limb.segments.size();
            mow_appendage_info& info = m->mow_appendage_info_array[i];
            mow_appendage_sphere_key& key = c->current_appendage_sphere_keys[i];
            key.center = limb.centre;
            key.radius = limb.radius;
            info.mow_segment_info_array = malloc_mow_segment_info_array(k);
            info.mow_segment_info_array_size = k;
            key.mow_segment_key_array = malloc_mow_segment_key_array(k);
            key.mow_segment_key_array_size = k;
            for (int32_t s = 0; s < k; ++s) {
                const Segment& seg = limb.segments[s];
                info.mow_segment_info_array[s] = {seg.start, seg.second};
                key.mow_segment_key_array[s] = {
                    seg.vector, win_math_magnitude_vect3_inline(&seg.vector), seg.radius};
            }
        }
    }

    // A state table of `states` default states, standing in state 0.
    void table(int32_t states)
    {
        entity->win_ast = malloc_win_ast(entity->win_entity_name);
        entity->win_ast->win_anim_table_base_array = malloc_win_anim_table_base_array(states);
        entity->win_ast->win_anim_table_base_array_size = states;
        entity->win_ast->current_anim_index = 0;
    }
    win_anim_table_base& state(int32_t i) { return entity->win_ast->win_anim_table_base_array[i]; }
    // A state with these flags.
    void state(int32_t i, int32_t type_flags, int32_t reaction_flags)
    {
        state(i).anim_type_flags = type_flags;
        state(i).reaction_flags = reaction_flags;
    }
    void stand_in(int32_t i) { entity->win_ast->current_anim_index = i; }
    // Appends a joint table of these ranges; its index is its position.
    void joint_table(const std::vector<JointRange>& ranges)
    {
        win_joint_table* table = malloc_win_joint_table("joints");
        for (const JointRange& r : ranges) {
            win_joint_pair* pair = malloc_win_joint_pair();
            pair->first_joint_idx = r.first;
            pair->last_joint_idx = r.last;
            add_to_win_joint_pair_list(&table->win_joint_pair_list,
                                       &table->win_joint_pair_list_size, pair);
        }
        add_to_win_joint_table_list(&entity->win_ast->win_joint_table_list,
                                    &entity->win_ast->win_joint_table_list_size, table);
    }

    win_ai* ai()
    {
        if (!c->win_ai)
            c->win_ai = malloc_win_ai();
        return c->win_ai;
    }

    win_entity* entity;
    win_character* c;
};
