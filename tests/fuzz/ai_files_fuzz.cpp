// Fuzz target of the AI's text files: the input is read both as an AI
// description and as a navigation map, as the entity loader reads them from
// the AI directory. What a reader takes must hold together (goal types in
// their table, kind words that exist, every node index inside the map, a
// path toward every node); what it took, once written by the demo writers,
// must read back the same. Seeds: the demo guard and the demo map as
// demo_ai_write and demo_ai_write_map write them.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "ai_io.h"
#include "demo_ai.h"
#include "fuzz_support.h"

namespace {

bool same_text(const char* a, const char* b)
{
    return (!a && !b) || (a && b && std::strcmp(a, b) == 0);
}

// Attack angles pass through degrees in the file; where no degrees turn back
// into the very radians, the nearest do.
bool near(float a, float b)
{
    return a == b || std::fabs(a - b) <= 1e-6f * std::fmax(1.0f, std::fabs(a));
}

bool same_sectors(const win_hot_sector* a, const win_hot_sector* b, int32_t count, bool attack)
{
    for (int32_t i = 0; i < count; ++i, a = a->next_ptr, b = b->next_ptr) {
        for (int f = 0; f < 4; ++f)
            if (attack && f >= 2 ? !near(a->sector.f[f], b->sector.f[f])
                                 : a->sector.f[f] != b->sector.f[f])
                return false;
        if (a->sector_kind != b->sector_kind)
            return false;
    }
    return true;
}

bool same_description(const win_ai* a, const win_ai* b)
{
    return std::memcmp(&a->personality, &b->personality, sizeof a->personality) == 0 &&
           same_text(a->end_script, b->end_script) &&
           same_text(a->give_hit_script, b->give_hit_script) &&
           same_text(a->receive_hit_script, b->receive_hit_script) &&
           a->target_joint == b->target_joint &&
           a->default_goal.ai_goal_type == b->default_goal.ai_goal_type &&
           same_text(a->default_goal.target_name, b->default_goal.target_name) &&
           std::memcmp(&a->default_goal.goal_point, &b->default_goal.goal_point,
                       sizeof(win_vect3)) == 0 &&
           a->attack_sector_list_size == b->attack_sector_list_size &&
           a->hit_reaction_sector_list_size == b->hit_reaction_sector_list_size &&
           same_sectors(a->attack_sector_list, b->attack_sector_list, a->attack_sector_list_size,
                        true) &&
           same_sectors(a->hit_reaction_sector_list, b->hit_reaction_sector_list,
                        a->hit_reaction_sector_list_size, false);
}

void check_description(const win_ai* ai)
{
    int32_t type = ai->default_goal.ai_goal_type;
    FUZZ_CHECK(type >= 0 && type < AI_GOAL_TYPE_COUNT);
    FUZZ_CHECK((ai->default_goal.target_name != nullptr) ==
               (ai_default_goal_argument(type) == AI_GOAL_ARGUMENT_NAME));
    const win_hot_sector* sector = ai->attack_sector_list;
    for (int32_t i = 0; i < ai->attack_sector_list_size; ++i, sector = sector->next_ptr)
        FUZZ_CHECK(ai_attack_kind_word(sector->sector_kind) != nullptr);
    FUZZ_CHECK(sector == ai->attack_sector_list);
}

void check_map(const win_map* map)
{
    int32_t n = map->node_array_size;
    FUZZ_CHECK(n >= 1 && map->node_array && win_map_check_node_indexes(map));
    for (int32_t i = 0; i < n; ++i) {
        const win_path_node& node = map->node_array[i];
        FUZZ_CHECK(node.win_path_node_name && node.win_path_node_idx == i);
        FUZZ_CHECK(node.path_array && node.path_array_size >= n);
        for (int32_t j = 0; j < node.path_array_size; ++j)
            FUZZ_CHECK(node.path_array[j].node_idx_array_size >= 1);
    }
}

bool same_map(const win_map* a, const win_map* b)
{
    if (a->node_array_size != b->node_array_size)
        return false;
    for (int32_t i = 0; i < a->node_array_size; ++i) {
        const win_path_node& x = a->node_array[i];
        const win_path_node& y = b->node_array[i];
        if (!same_text(x.win_path_node_name, y.win_path_node_name) ||
            std::memcmp(&x.node_location, &y.node_location, sizeof(win_vect3)) != 0 ||
            x.path_array_size != y.path_array_size)
            return false;
        for (int32_t j = 0; j < x.path_array_size; ++j) {
            const win_path& p = x.path_array[j];
            const win_path& q = y.path_array[j];
            if (p.node_idx_array_size != q.node_idx_array_size ||
                std::memcmp(p.node_idx_array, q.node_idx_array,
                            (size_t)p.node_idx_array_size * sizeof(int32_t)) != 0)
                return false;
        }
    }
    return true;
}

// Reads the input as a file of `extension` in the scratch directory; what
// is read must hold together, and, when the writer takes it, read back the
// same from what it writes.
template <class R>
void fuzz_file_kind(const char* extension, const uint8_t* data, size_t size,
                    R* (*load)(char*, const char*), void (*check)(const R*),
                    int (*write)(const char*, const R*), bool (*same)(const R*, const R*),
                    int (*release)(R*))
{
    const std::string& dir = fuzz_dir();
    fuzz_file(std::string("input.") + extension, data, size);
    std::string name = "input", again = "again";
    R* read = load(name.data(), dir.c_str());
    if (!read)
        return;
    check(read);
    if (write((dir + "/again." + extension).c_str(), read)) {
        R* reread = load(again.data(), dir.c_str());
        FUZZ_CHECK(reread && same(reread, read));
        release(reread);
    }
    release(read);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_file_kind("int", data, size, ai_load_file, check_description, demo_ai_write,
                   same_description, free_win_ai);
    fuzz_file_kind("map", data, size, ai_load_map_file, check_map, demo_ai_write_map, same_map,
                   free_win_map);
    return 0;
}

void fuzz_write_seeds(void)
{
    win_ai* guard = demo_ai_make_guard();
    FUZZ_CHECK(demo_ai_write(fuzz_seed_path("guard.int").c_str(), guard));
    free_win_ai(guard);
    win_map* map = demo_ai_make_map("demo");
    FUZZ_CHECK(demo_ai_write_map(fuzz_seed_path("demo.map").c_str(), map));
    free_win_map(map);
}
