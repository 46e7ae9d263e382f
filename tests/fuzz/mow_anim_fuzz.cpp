// Fuzz target: an animation stream, as an animation file holds it after its
// header; an animation that comes out is evaluated too, on a chain of four
// joints.
#include "demo_anim.h"
#include "fuzz_support.h"
#include "mow_anim.h"
#include "mow_animate.h"
#include "record_fuzz.h"
#include "win_math.h"

namespace {

// Poses a chain of joints with the animation at a few times, with the
// appendage output of one appendage and segment.
void evaluate(const mow_anim* anim)
{
    enum { JOINTS = 4 };
    static mow_joint joints[JOINTS];
    static mow_model model;
    model.mow_joint_array = joints;
    model.mow_joint_array_size = JOINTS;
    model.mow_appendage_array_size = 1;
    for (int32_t i = 0; i < JOINTS; ++i)
        joints[i].mow_joint_parent_idx = i - 1;
    mow_track_augment poses[JOINTS] = {};
    mow_segment_key segment = {};
    mow_appendage_sphere_key sphere = {{0, 0, 0}, 0, 1, &segment};
    for (float time : {-1.0f, 0.0f, 33.3f, 1e9f}) {
        mow_animate_model(&model, anim, time, poses, &sphere, &win_math_identity_matrix43);
        mow_animate_mow_shader_idx(anim, time);
        win_vect3 center;
        float radius;
        mow_animate_interpolate_mow_sphere(&center, &radius, anim->mow_sphere_key_array,
                                           anim->mow_sphere_key_array_size, time);
        win_xform root;
        mow_animate_interpolate_single_mow_track(&root, &anim->root_mow_track, time);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&mow_anim_desc, data, size,
                                 [](const void* anim) { evaluate((const mow_anim*)anim); });
}

void fuzz_write_seeds(void)
{
    mow_anim* seed = demo_anim_make_wave("wave");
    char* buffer = nullptr;
    size_t length = 0;
    FILE* file = open_memstream(&buffer, &length);
    write_mow_anim_bin(file, seed);
    std::fclose(file);
    fuzz_seed("wave", std::string(buffer, length));
    std::free(buffer);
    free_mow_anim(seed);
}
