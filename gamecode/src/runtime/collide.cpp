// The global hull list: hulls loaded by name, shared, and swept when unused.
#include "collide.h"

#include <cstdio>

#include "debug.h"
#include "dlink.h"
#include "file_io.h"
#include "gameglobals.h"

namespace {

// Collision files and the error lines of the hull loader, which names a
// hull that does not read by the name asked for.
const versioned_record_file collision_file = {
    FILE_TYPE_COLLISION,
    FILE_VERSION_COLLISION,
    [](FILE* file) -> void* { return read_win_collision_bin(file); },
    [](const char* path, int32_t) { LOG_ERROR("Bad file type or file version '%s'\n", path); },
    [](const char* name) { LOG_ERROR("Could not read-to-verify win_collision file '%s'\n", name); },
};

}  // namespace

win_collision* collide_load_win_collision(const char* name)
{
    REFUSE_NULL(name, "collide_load_win_collision", "name", nullptr);
    LOG_NOTICE("Loading collision data %s.\n", name);
    win_collision* listed = (win_collision*)dlink_find((dlink*)game_globals.win_collision_list,
                                                       name);
    if (listed) {
        ++listed->win_collision_ref_cnt;
        return listed;
    }

    char path[400];
    int length = snprintf(path, sizeof path, "%s\\%s.%s", game_globals.collision_pathname, name,
                          "cow");
    if (length < 0 || length >= (int)sizeof path) {
        // A cut path would name another file.
        LOG_ERROR("Could not find '%s' for reading\n", name);
        return nullptr;
    }
    win_collision* hull = (win_collision*)file_read_versioned_record(path, name, &collision_file);
    if (!hull)
        return nullptr;
    if (!add_to_win_collision_list(&game_globals.win_collision_list,
                                   &game_globals.win_collision_list_size, hull)) {
        LOG_ERROR("Unable to add win_collision %s to global list.\n", name);
        free_win_collision(hull);
        return nullptr;
    }
    return hull;
}

int collide_remove_win_collision(void)
{
    int ok = 1;
    win_collision* hull = game_globals.win_collision_list;
    // One round of the list as it stands: removals do not change which hull
    // follows which.
    int32_t steps = game_globals.win_collision_list_size;
    for (int32_t i = 0; i < steps && game_globals.win_collision_list; ++i) {
        win_collision* next = hull->next_ptr;
        if (hull->win_collision_ref_cnt <= 1) {
            LOG_NOTICE("removing win_collision %s from list.\n",
                       hull->win_collision_name ? hull->win_collision_name : "(null)");
            // Off the list (its reference goes with it), then the
            // reference it came with is released, and the hull with it.
            ok &= remove_from_win_collision_list(&game_globals.win_collision_list,
                                                 &game_globals.win_collision_list_size, hull);
            ++hull->win_collision_ref_cnt;
            ok &= free_win_collision(hull);
        }
        hull = next;
    }
    return ok;
}
