#include "vk_tail.h"

#include <cstdio>

#include "debug.h"
#include "file_io.h"
#include "gameglobals.h"
#include "mow_anim.h"

vk_tail_row vk_tail_data[VK_TAIL_ROW_COUNT] = {
    {"vk_tail_animation", nullptr, 0.0f, 0.3333f},
    {"vk_tail_anim_side_to_side", nullptr, 0.0f, 0.6666f},
    {"vk_tail_anim_curly", nullptr, 0.0f, 1.0f},
};

vk_tail_state_record vk_tail_state;

int vk_tail_load(void)
{
    int ok = 1;
    for (vk_tail_row& row : vk_tail_data) {
        char path[400];
        snprintf(path, sizeof path, "%s\\%s.%s", game_globals.animation_pathname, row.filename,
                 "trw");
        LOG_NOTICE("Reading TRW '%s'\n", path);
        int found = 0;
        FILE* file = file_open_search_verify_version_bin(path, nullptr, FILE_TYPE_ANIM,
                                                         FILE_VERSION_ANIM, &found);
        if (!file) {
            if (!found)
                LOG_ERROR("Could not find '%s'\n", path);
            else if (file_hdr_type_found != FILE_TYPE_ANIM)
                LOG_ERROR("Bad file type %ld, expected %ld for '%s'\n", (long)file_hdr_type_found,
                          (long)FILE_TYPE_ANIM, path);
            else if (file_hdr_version_found != FILE_VERSION_ANIM)
                LOG_ERROR("Bad file version %ld, expected %ld for '%s'\n",
                          (long)file_hdr_version_found, (long)FILE_VERSION_ANIM, path);
            else
                LOG_ERROR("Could not open '%s'\n", path);
            ok = 0;
            continue;
        }
        mow_anim* anim = read_mow_anim_bin(file);
        file_close(file);
        if (!anim) {
            LOG_ERROR("Could not read_mow_anim_bin for '%s'\n", path);
            ok = 0;
            continue;
        }
        // Read directly, not through the shared list: the tail owns them.
        row.anim = anim;
        row.duration = anim->mow_anim_end_time - anim->mow_anim_begin_time;
        vk_tail_state.cur_vk_tail_data = &row;
    }
    vk_tail_state.vk_tail_state = 2;
    vk_tail_state.tail_last_time = 0.0f;
    vk_tail_state.tail_transition_timer = 0.0f;
    vk_tail_state.tail_blend_weight = 1.0f;
    return ok;
}

int vk_tail_free(void)
{
    int ok = 1;
    for (vk_tail_row& row : vk_tail_data) {
        if (row.anim)
            ok = free_mow_anim(row.anim) && ok;
        row.anim = nullptr;
    }
    vk_tail_state.cur_vk_tail_data = nullptr;
    return ok;
}
