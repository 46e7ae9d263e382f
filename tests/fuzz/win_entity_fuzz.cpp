// Fuzz target: an entity file's body (after the header): one entity with its
// whole tree. A tree that comes out is walked as the runtime's loader walks
// it: each payload is of its entity's type, each ring holds as many members
// as its count says, and nothing that only the runtime fills (models, AI,
// hulls, target entities) comes from the bytes.
#include "record_fuzz.h"
#include "win_entity.h"

namespace {

void require(bool holds)
{
    if (!holds)
        __builtin_trap();
}

// The members of a ring, walked by its links; requires `size` of them.
template <class T>
void require_ring(const T* ring, int32_t size)
{
    if (!ring)
        return;
    int32_t members = 0;
    const T* member = ring;
    do {
        ++members;
        require(member->next_ptr->prev_ptr == member && members <= size);
        member = member->next_ptr;
    } while (member != ring);
    require(members == size);
}

void walk_payload(const win_entity* entity)
{
    switch (entity->win_entity_type) {
    case WIN_ENTITY_TYPE_CHARACTER:
        if (const win_character* c = entity->u.win_character)
            require(!c->mow_model && !c->win_ai && !c->current_weapon && !c->current_item);
        break;
    case WIN_ENTITY_TYPE_ENVIRONMENT:
        if (const win_environment* env = entity->u.win_environment) {
            for (int32_t i = 0; env->win_trigger_array && i < env->win_trigger_array_size; ++i)
                require(!env->win_trigger_array[i].win_trigger_collision);
            for (int32_t i = 0; env->win_explore_cam_array && i < env->win_explore_cam_array_size;
                 ++i)
                require(!env->win_explore_cam_array[i].camzone &&
                        env->win_explore_cam_array[i].win_explore_cam_ref_cnt == 0);
        }
        break;
    case WIN_ENTITY_TYPE_CAMERA:
        if (const win_camera* camera = entity->u.win_camera) {
            require_ring(camera->camera_target_list, camera->camera_target_list_size);
            const win_camera_target* target = camera->camera_target_list;
            for (int32_t i = 0; target && i < camera->camera_target_list_size; ++i) {
                require(!target->target_entity);
                target = target->next_ptr;
            }
        }
        break;
    case WIN_ENTITY_TYPE_LIGHT:
    case WIN_ENTITY_TYPE_EMITTER:
        break;
    default:
        require(false);
    }
}

void walk(const void* record)
{
    const win_entity* entity = (const win_entity*)record;
    require(!entity->win_entity_spare_ptr);
    walk_payload(entity);
    const win_entity* child = entity->win_sub_entity_list;
    if (!child)
        return;
    int32_t members = 0;
    do {
        require(child->next->prev == child && ++members <= entity->win_sub_entity_list_size);
        walk(child);
        child = child->next;
    } while (child != entity->win_sub_entity_list);
    require(members == entity->win_sub_entity_list_size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&win_entity_desc, data, size, walk);
}
