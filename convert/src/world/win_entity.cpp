#include "win_entity.h"

#include "debug.h"
#include "dlink.h"

namespace {

// The first entry of a node-number array that is no index of a map of
// `node_count` nodes, or -1 when all are.
int32_t first_stray_node_number(const int32_t* array, int32_t array_size, int32_t node_count)
{
    for (int32_t k = 0; array && k < array_size; ++k)
        if (array[k] < 0 || array[k] >= node_count)
            return k;
    return -1;
}

const char* map_name(const win_map* map)
{
    return map->win_map_name ? map->win_map_name : "(null)";
}

}  // namespace

void win_ai_release(void* win_ai_ptr)
{
    win_ai* ai = (win_ai*)win_ai_ptr;
    win_goal_entry* goal = ai->current_goal;
    ai->current_goal = nullptr;
    if (!goal || goal == &ai->default_goal)
        return;
    const win_goal_entry* head = ai->win_goal_entry_list;
    for (const win_goal_entry* entry = head; entry; entry = dlink_ring_step(head, entry->next_ptr))
        if (entry == goal)
            return;
    free_win_goal_entry(goal);
}

int win_map_check_node_indexes(const void* win_map_ptr)
{
    const win_map* map = (const win_map*)win_map_ptr;
    REFUSE_NULL(map, "win_map_check_node_indexes", "win_map_ptr", 0);
    // A count means nothing without its array.
    int32_t node_count = map->node_array ? map->node_array_size : 0;
    for (int32_t i = 0; i < node_count; ++i) {
        const win_path_node* node = &map->node_array[i];
        int32_t k = first_stray_node_number(node->connecting_node_idx_array,
                                            node->connecting_node_idx_array_size, node_count);
        if (k >= 0) {
            LOG_ERROR("Bad connecting_node_idx = %ld in win_path_node %ld of win_map %s with "
                      "node_array_size = %ld\n",
                      (long)node->connecting_node_idx_array[k], (long)i, map_name(map),
                      (long)node_count);
            return 0;
        }
        for (int32_t j = 0; node->path_array && j < node->path_array_size; ++j) {
            const win_path* path = &node->path_array[j];
            k = first_stray_node_number(path->node_idx_array, path->node_idx_array_size,
                                        node_count);
            if (k >= 0) {
                LOG_ERROR("Bad node_idx = %ld in win_path %ld of win_path_node %ld of win_map %s "
                          "with node_array_size = %ld\n",
                          (long)path->node_idx_array[k], (long)j, (long)i, map_name(map),
                          (long)node_count);
                return 0;
            }
        }
    }
    return 1;
}

win_light* duplicate_win_light(const win_light* template_win_light)
{
    REFUSE_NULL(template_win_light, "duplicate_win_light", "template_win_light", nullptr);
    const char* name = template_win_light->win_light_name;
    win_light* light = malloc_win_light(name);
    if (!light) {
        LOG_ERROR("Could not malloc_win_light for '%s'.\n", name ? name : "(null)");
        return nullptr;
    }
    light->d3d_light = template_win_light->d3d_light;
    // The template's device slot stays the template's: the copy takes one of
    // its own when it first lights.
    light->light_slot = -1;
    return light;
}
