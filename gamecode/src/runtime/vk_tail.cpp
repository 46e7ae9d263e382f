#include "vk_tail.h"

#include <cmath>
#include <cstdio>

#include "debug.h"
#include "file_io.h"
#include "gameglobals.h"
#include "gametime.h"
#include "math_util.h"
#include "mow_anim.h"
#include "mow_animate.h"
#include "rand_util.h"
#include "win_entity.h"
#include "win_math.h"

vk_tail_row vk_tail_data[VK_TAIL_ROW_COUNT] = {
    {"vk_tail_animation", nullptr, 0.0f, 0.3333f},
    {"vk_tail_anim_side_to_side", nullptr, 0.0f, 0.6666f},
    {"vk_tail_anim_curly", nullptr, 0.0f, 1.0f},
};

vk_tail_state_record vk_tail_state;

namespace {

// The row's animation read from its file, or NULL after one error line.
mow_anim* read_tail(const char* path)
{
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
            LOG_ERROR("Bad file version %ld, expected %ld for '%s'\n", (long)file_hdr_version_found,
                      (long)FILE_VERSION_ANIM, path);
        else
            LOG_ERROR("Could not open '%s'\n", path);
        return nullptr;
    }
    mow_anim* anim = read_mow_anim_bin(file);
    file_close(file);
    if (!anim) {
        LOG_ERROR("Could not read_mow_anim_bin for '%s'\n", path);
        return nullptr;
    }
    // The hooks read tracks 21 to 25, and the wrap-around of the tail's time
    // needs a whole millisecond at least.
    float duration = anim->mow_anim_end_time - anim->mow_anim_begin_time;
    if (!anim->mow_track_array || anim->mow_track_array_size <= VK_TAIL_LAST_JOINT ||
        !(duration >= 1.0f)) {
        LOG_ERROR("Tail animation '%s' has %ld tracks and lasts %f ms; the tail needs %ld tracks "
                  "and at least 1 ms\n",
                  path, (long)anim->mow_track_array_size, (double)duration,
                  (long)(VK_TAIL_LAST_JOINT + 1));
        free_mow_anim(anim);
        return nullptr;
    }
    return anim;
}

// The row to play after a draw of `r` (0 to 1): the last loaded row whose
// threshold lies below it, else the last loaded row; NULL when none is.
vk_tail_row* row_for_draw(float r)
{
    vk_tail_row* chosen = nullptr;
    vk_tail_row* last_loaded = nullptr;
    for (vk_tail_row& row : vk_tail_data) {
        if (!row.anim)
            continue;
        last_loaded = &row;
        if (row.threshold < r)
            chosen = &row;
    }
    return chosen ? chosen : last_loaded;
}

// Whether the entity's current animation state asks for the tail.
bool state_wants_tail(const win_entity* entity)
{
    const win_ast* table = entity->win_ast;
    if (!table || !table->win_anim_table_base_array || table->current_anim_index < 0 ||
        table->current_anim_index >= table->win_anim_table_base_array_size)
        return false;
    return (table->win_anim_table_base_array[table->current_anim_index].anim_type_flags &
            VK_TAIL_STATE_FLAG) != 0;
}

// One step of the blend machine over `dt` milliseconds. 0 after an error
// line for an unknown state.
int step_blend(bool wanted, float dt)
{
    vk_tail_state_record& s = vk_tail_state;
    switch (s.vk_tail_state) {
    case 0:    // off
    case 2: {  // on
        // A change of what the state asks for starts the fade that follows.
        const bool on = s.vk_tail_state == 2;
        if (wanted != on) {
            s.tail_transition_timer = VK_TAIL_TRANSITION_TIME;
            s.vk_tail_state += 1;
        }
        return 1;
    }
    case 1:    // fading in
    case 3: {  // fading out
        const bool in = s.vk_tail_state == 1;
        s.tail_transition_timer -= dt;
        if (s.tail_transition_timer > 0.0f) {
            const float left = s.tail_transition_timer / VK_TAIL_TRANSITION_TIME;
            s.tail_blend_weight = in ? 1.0f - left : left;
        } else {
            s.tail_blend_weight = in ? 1.0f : 0.0f;
            s.vk_tail_state = in ? 2 : 0;
        }
        return 1;
    }
    default:
        LOG_ERROR("Unknown vk_tail_state = %ld\n", (long)s.vk_tail_state);
        return 0;
    }
}

}  // namespace

int vk_tail_load(void)
{
    int ok = 1;
    for (vk_tail_row& row : vk_tail_data) {
        char path[400];
        snprintf(path, sizeof path, "%s\\%s.%s", game_globals.animation_pathname, row.filename,
                 "trw");
        LOG_NOTICE("Reading TRW '%s'\n", path);
        mow_anim* anim = read_tail(path);
        if (!anim) {
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

int vk_tail_set_anim_hook(mow_track_augment* mow_track_augment_array,
                          int32_t mow_track_augment_array_size)
{
    REFUSE_NULL(mow_track_augment_array, "vk_tail_set_anim_hook", "mow_track_augment_array", 0);
    REFUSE_NULL(vk_tail_state.cur_vk_tail_data, "vk_tail_set_anim_hook", "cur_vk_tail_data", 0);
    if (mow_track_augment_array_size <= VK_TAIL_LAST_JOINT) {
        LOG_WARNING("No tail hooks on a pose of %ld joints: the tail needs %ld\n",
                    (long)mow_track_augment_array_size, (long)(VK_TAIL_LAST_JOINT + 1));
        return 0;
    }
    static const mow_augment_callback_funct hooks[] = {
        vk_tail_1_funct, vk_tail_2_funct, vk_tail_3_funct, vk_tail_4_funct, vk_tail_5_funct};
    for (int32_t i = 0; i < VK_TAIL_LAST_JOINT - VK_TAIL_FIRST_JOINT + 1; ++i)
        mow_track_augment_array[VK_TAIL_FIRST_JOINT + i].mow_augment_callback = hooks[i];
    return 1;
}

// Each hook plays its own joint (21 for the first) from the track of the
// same index.
#define VK_TAIL_HOOK(N)                                                                         \
    int vk_tail_##N##_funct(mow_track_augment* mow_track_augment_array,                         \
                            const win_matrix43* parent_matrix)                                  \
    {                                                                                           \
        REFUSE_NULL(mow_track_augment_array, "vk_tail_" #N "_funct", "mow_track_augment_array", \
                    0);                                                                         \
        REFUSE_NULL(parent_matrix, "vk_tail_" #N "_funct", "parent_matrix", 0);                 \
        const int32_t joint = VK_TAIL_FIRST_JOINT - 1 + N;                                      \
        return transition_vk_tail(joint, &mow_track_augment_array[joint]);                      \
    }
VK_TAIL_HOOK(1)
VK_TAIL_HOOK(2)
VK_TAIL_HOOK(3)
VK_TAIL_HOOK(4)
VK_TAIL_HOOK(5)
#undef VK_TAIL_HOOK

int transition_vk_tail(int32_t track, mow_track_augment* joint)
{
    REFUSE_NULL(joint, "transition_vk_tail", "mow_track_augment_array", 0);
    const vk_tail_row* row = vk_tail_state.cur_vk_tail_data;
    if (!row || !row->anim)  // the tail is off: the joint stays as animated
        return 1;
    const mow_anim* anim = row->anim;
    if (track < 0 || track >= anim->mow_track_array_size) {
        LOG_ERROR("Bad tail track = %ld for '%s'\n", (long)track, row->filename);
        return 0;
    }
    win_xform sampled;
    if (!mow_animate_interpolate_single_mow_track(&sampled, &anim->mow_track_array[track],
                                                  vk_tail_state.tail_anim_time +
                                                      anim->mow_anim_begin_time))
        return 0;
    const float w = vk_tail_state.tail_blend_weight;
    win_xform& local = joint->mow_augment_xform;
    local.rx = (1.0f - w) * local.rx + w * sampled.rx;
    local.ry = (1.0f - w) * local.ry + w * sampled.ry;
    local.rz = (1.0f - w) * local.rz + w * sampled.rz;
    local.attrib |= WIN_ATTRIB_ROTATE_X | WIN_ATTRIB_ROTATE_Y | WIN_ATTRIB_ROTATE_Z;
    win_matrix43 local_matrix;
    if (!win_math_xform_to_txzy_matrix43(&local, &local_matrix))
        return 0;
    return win_math_multiply_matrix43(&joint->mow_augment_matrix, &local_matrix,
                                      &joint->mow_augment_joint_matrix);
}

int vk_tail_update_transition_state(win_entity* entity)
{
    REFUSE_NULL(entity, "vk_tail_update_transition_state", "win_entity", 0);
    vk_tail_state_record& s = vk_tail_state;
    // With no tail loaded the load said so once; the tail just stays off.
    if (!s.cur_vk_tail_data)
        return 0;
    const float dt = game_time - s.tail_last_time;
    s.tail_anim_time += dt;
    if (s.tail_anim_time > s.cur_vk_tail_data->duration) {
        const float duration = s.cur_vk_tail_data->duration;
        // As many whole runs as have passed, leaving (0, duration].
        s.tail_anim_time = std::fmod(s.tail_anim_time, duration);
        if (s.tail_anim_time == 0.0f)
            s.tail_anim_time = duration;
        const float r = (float)rand_util_rand() / (float)RAND_UTIL_MAX;
        vk_tail_row* next = row_for_draw(r);
        if (!next) {
            LOG_ERROR("%s\n", "Could get the next random tail animation.");
            return 0;
        }
        s.cur_vk_tail_data = next;
        // Loaded rows last a whole millisecond at least (read_tail refuses
        // shorter ones), so the remainder below divides by 1 or more.
        const int32_t whole = math_util_float_to_int(next->duration);
        INVARIANT(whole >= 1);
        s.tail_anim_time = (float)(math_util_float_to_int(s.tail_anim_time) % whole);
    }
    int ok = step_blend(state_wants_tail(entity), dt);
    s.tail_last_time = game_time;
    return ok;
}
