#include "anim_io.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "debug.h"
#include "file_io.h"

mow_anim* anim_io_global_mow_anim_list = nullptr;
int32_t anim_io_global_mow_anim_list_size = 0;

namespace {

const char* or_empty(const char* text)
{
    return text ? text : "";
}

// The table's names and slots, checked to run side by side: a slot for
// every name. The number of names, or -1 after an error line.
int32_t animation_count(const win_ast* table)
{
    int32_t names = table->mow_anim_filename_array_size;
    if (names <= 0)
        return 0;
    if (!table->mow_anim_filename_array) {
        LOG_ERROR("win_ast '%s' has mow_anim_filename_array_size = %ld without its names.\n",
                  or_empty(table->win_ast_name), (long)names);
        return -1;
    }
    if (!table->mow_anim_ptr_array || table->mow_anim_ptr_array_size < names) {
        LOG_ERROR("win_ast '%s' has %ld animation slots for %ld animation names.\n",
                  or_empty(table->win_ast_name),
                  (long)(table->mow_anim_ptr_array ? table->mow_anim_ptr_array_size : 0),
                  (long)names);
        return -1;
    }
    return names;
}

// Slot `i` filled from the animation directory; 0 after a log line.
int load_slot(win_ast* table, int32_t i, int32_t expected_num_tracks, const char* anim_directory)
{
    const char* name = table->mow_anim_filename_array[i];
    if (!name) {
        LOG_ERROR("Animation name %ld of '%s' is NULL.\n", (long)i, or_empty(table->win_ast_name));
        return 0;
    }
    char path[ANIM_IO_PATH_SIZE];
    if (snprintf(path, sizeof path, "%s\\%s.%s", anim_directory, name, "trw") >= (int)sizeof path) {
        LOG_ERROR("Animation path '%s\\%s.%s' is too long.\n", anim_directory, name, "trw");
        return 0;
    }
    mow_anim* anim = anim_load_anim(path);
    table->mow_anim_ptr_array[i] = anim;
    if (!anim)
        return 0;
    if (expected_num_tracks != -1 && anim->mow_track_array_size != expected_num_tracks) {
        LOG_ERROR(
            "win_track_array_size (%ld) from '%s' does not match expected_num_tracks (%ld).\n",
            (long)anim->mow_track_array_size, or_empty(table->win_ast_name),
            (long)expected_num_tracks);
        return 0;
    }
    return 1;
}

// One time of a state moved into [first, last], with a warning when it moves.
void clamp_time(float* time, const char* which, const char* low_end, float first, float last,
                const char* table_name)
{
    if (*time < first) {
        LOG_WARNING("Anim table's %s time %f too small (min = %f), setting to %s, '%s'\n", which,
                    *time, first, low_end, table_name);
        *time = first;
    } else if (*time > last) {
        LOG_WARNING("Anim table's %s time %f too large (max = %f), setting to maximum time, '%s'\n",
                    which, *time, last, table_name);
        *time = last;
    }
}

// A state's stretch inside its animation's range: no times are the whole
// range, times outside it are moved to its nearer end.
void clamp_state_times(win_anim_table_base* state, const mow_anim* anim, const char* table_name)
{
    const float first = anim->mow_anim_begin_time;
    const float last = anim->mow_anim_end_time;
    if (state->begin_time == -1.0f || state->end_time == -1.0f) {
        state->begin_time = first;
        state->end_time = last;
    }
    clamp_time(&state->begin_time, "begin", "default minimum time", first, last, table_name);
    clamp_time(&state->end_time, "end", "minimum time", first, last, table_name);
}

}  // namespace

mow_anim* anim_load_anim(const char* path)
{
    if (!path) {
        LOG_ERROR("%s\n", "cannot anim_load_anim with NULL win_filename.");
        return nullptr;
    }
    const char* base = get_base_filename(path);
    if (!base)
        return nullptr;
    // A file is shared when the name stored in it is its base name.
    mow_anim* anim = (mow_anim*)dlink_find((dlink*)anim_io_global_mow_anim_list, base);
    if (anim) {
        ++anim->mow_anim_ref_cnt;
        return anim;
    }
    LOG_NOTICE("Reading TRW '%s'\n", path);
    int found = 0;
    FILE* file = file_open_search_verify_version_bin(path, nullptr, FILE_TYPE_ANIM,
                                                     FILE_VERSION_ANIM, &found);
    if (!file) {
        if (found)
            LOG_ERROR("Bad file type or file version '%s'\n", path);
        else
            LOG_ERROR("Could not find '%s' for reading\n", path);
        return nullptr;
    }
    anim = read_mow_anim_bin(file);
    file_close(file);
    if (!anim) {
        LOG_ERROR("Could not read-to-verify mow_animation file '%s'\n", path);
        return nullptr;
    }
    // The list takes one more reference; the one it was read with is the
    // caller's.
    if (!add_to_mow_anim_list(&anim_io_global_mow_anim_list, &anim_io_global_mow_anim_list_size,
                              anim)) {
        LOG_ERROR("Unable to add mow_animation %s to global list.\n",
                  or_empty(anim->mow_anim_name));
        free_mow_anim(anim);
        return nullptr;
    }
    return anim;
}

int anim_io_load_ast_anims(win_ast* win_ast_ptr, int32_t expected_num_tracks,
                           const char* anim_directory)
{
    REFUSE_NULL(win_ast_ptr, "anim_io_load_ast_anims", "win_ast", 0);
    REFUSE_NULL(anim_directory, "anim_io_load_ast_anims", "anim_directory", 0);
    const char* table_name = or_empty(win_ast_ptr->win_ast_name);
    const int32_t animations = animation_count(win_ast_ptr);
    int ok = animations >= 0;
    for (int32_t i = 0; i < animations; ++i)
        ok = load_slot(win_ast_ptr, i, expected_num_tracks, anim_directory) && ok;
    if (!ok) {
        LOG_ERROR("%s\n", "Could not load all animations");
        return 0;
    }
    const int32_t states = win_ast_ptr->win_anim_table_base_array
                               ? win_ast_ptr->win_anim_table_base_array_size
                               : 0;
    for (int32_t s = 0; s < states; ++s) {
        win_anim_table_base* state = &win_ast_ptr->win_anim_table_base_array[s];
        if (state->mow_anim_index < 0)
            continue;
        // A table read from its binary form carries its indexes unchecked.
        if (state->mow_anim_index >= animations) {
            LOG_WARNING("State %ld of '%s' names animation %ld of %ld.\n", (long)s, table_name,
                        (long)state->mow_anim_index, (long)animations);
            continue;
        }
        clamp_state_times(state, win_ast_ptr->mow_anim_ptr_array[state->mow_anim_index],
                          table_name);
    }
    return 1;
}

int32_t anim_io_resolve_mow_anim_index(const win_ast* win_ast_ptr, const char* name)
{
    REFUSE_NULL(win_ast_ptr, "anim_io_resolve_mow_anim_index", "win_ast", -1);
    REFUSE_NULL(name, "anim_io_resolve_mow_anim_index", "name", -1);
    if (strcasecmp(name, "none") == 0)
        return -1;
    const win_filename_ptr* names = win_ast_ptr->mow_anim_filename_array;
    for (int32_t i = 0; names && i < win_ast_ptr->mow_anim_filename_array_size; ++i)
        if (names[i] && std::strcmp(names[i], name) == 0)
            return i;
    LOG_ERROR("Could not find resolve mow_anim %s to index.\n", name);
    return -1;
}

int32_t anim_io_resolve_anim_index(const char (*name_table)[ANIM_IO_NAME_SIZE], int32_t count,
                                   const char* name)
{
    REFUSE_NULL(name_table, "anim_io_resolve_anim_index", "name_table", -1);
    REFUSE_NULL(name, "anim_io_resolve_anim_index", "name", -1);
    for (int32_t i = 0; i < count; ++i)
        if (std::strncmp(name_table[i], name, ANIM_IO_NAME_SIZE) == 0)
            return i;
    LOG_WARNING("Could not find resolve anim %s to index.\n", name);
    return -1;
}

void anim_io_reset(void)
{
    while (mow_anim* anim = anim_io_global_mow_anim_list) {
        remove_from_mow_anim_list(&anim_io_global_mow_anim_list, &anim_io_global_mow_anim_list_size,
                                  anim);
        anim->mow_anim_ref_cnt = 1;
        free_mow_anim(anim);
    }
    anim_io_global_mow_anim_list_size = 0;
}
