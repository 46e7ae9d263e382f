// Fuzz target: an entity file's body (after the header): one entity with its
// whole tree. A tree that comes out is walked as the runtime's loader walks
// it: each payload is of its entity's type, each ring holds as many members
// as its count says, and nothing that only the runtime fills (models, AI,
// hulls, target entities) comes from the bytes.
#include "demo_entity.h"
#include "fuzz_support.h"
#include "record_fuzz.h"
#include "win_entity.h"

namespace {

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
        FUZZ_CHECK(member->next_ptr->prev_ptr == member && members <= size);
        member = member->next_ptr;
    } while (member != ring);
    FUZZ_CHECK(members == size);
}

void walk_payload(const win_entity* entity)
{
    FUZZ_CHECK(entity->win_entity_type >= WIN_ENTITY_TYPE_CHARACTER &&
               entity->win_entity_type <= WIN_ENTITY_TYPE_EMITTER);
    switch (entity->win_entity_type) {
    case WIN_ENTITY_TYPE_CHARACTER:
        if (const win_character* c = entity->u.win_character)
            FUZZ_CHECK(!c->mow_model && !c->win_ai && !c->current_weapon && !c->current_item);
        break;
    case WIN_ENTITY_TYPE_ENVIRONMENT:
        if (const win_environment* env = entity->u.win_environment) {
            for (int32_t i = 0; env->win_trigger_array && i < env->win_trigger_array_size; ++i)
                FUZZ_CHECK(!env->win_trigger_array[i].win_trigger_collision);
            for (int32_t i = 0; env->win_explore_cam_array && i < env->win_explore_cam_array_size;
                 ++i)
                FUZZ_CHECK(!env->win_explore_cam_array[i].explore_cam_zone &&
                           env->win_explore_cam_array[i].win_explore_cam_ref_cnt == 0);
        }
        break;
    case WIN_ENTITY_TYPE_CAMERA:
        if (const win_camera* camera = entity->u.win_camera) {
            require_ring(camera->win_camera_target_list, camera->win_camera_target_list_size);
            const win_camera_target* target = camera->win_camera_target_list;
            for (int32_t i = 0; target && i < camera->win_camera_target_list_size; ++i) {
                FUZZ_CHECK(!target->target_entity);
                target = target->next_ptr;
            }
        }
        break;
    default:  // lights and emitters hold nothing of the runtime's
        break;
    }
}

void walk(const void* record)
{
    const win_entity* entity = (const win_entity*)record;
    FUZZ_CHECK(!entity->win_entity_spare_ptr);
    walk_payload(entity);
    const win_entity* child = entity->child_entity_list;
    if (!child)
        return;
    int32_t members = 0;
    do {
        FUZZ_CHECK(child->next->prev == child && ++members <= entity->child_entity_list_size);
        walk(child);
        child = child->next;
    } while (child != entity->child_entity_list);
    FUZZ_CHECK(members == entity->child_entity_list_size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&win_entity_desc, data, size, walk);
}

void fuzz_write_seeds(void)
{
    for (win_entity* (*make)(void) :
         {demo_entity_make_hero, demo_entity_make_courtyard, demo_entity_make_lamp,
          demo_entity_make_camera, demo_entity_make_sparks, demo_entity_make_level}) {
        win_entity* seed = make();
        char* buffer = nullptr;
        size_t length = 0;
        FILE* file = open_memstream(&buffer, &length);
        write_win_entity_bin(file, seed);
        std::fclose(file);
        fuzz_seed(seed->win_entity_name, std::string(buffer, length));
        std::free(buffer);
        free_win_entity(seed);
    }
}
