// Fuzz target: a model stream, as a model file holds it after its header. A
// model that comes out is prepared for drawing as a loaded one is; one that
// passes is posed at rest, skinned and drawn with its collision spheres
// (without a device, so nothing reaches a screen, but every buffer is read
// and written as in a frame).
#include "demo_model.h"
#include "fuzz_support.h"
#include "mow_animate.h"
#include "mow_rend_dx7.h"
#include "record_fuzz.h"
#include "win_math.h"

namespace {

// One sphere key per appendage, with one segment key per segment of the
// model's chain, all of radius 1.
mow_appendage_sphere_key* make_appendage_spheres(const mow_model* model, int32_t appendages)
{
    mow_appendage_sphere_key* spheres = malloc_mow_appendage_sphere_key_array(appendages);
    for (int32_t i = 0; spheres && i < appendages; ++i) {
        const int32_t segments = model->mow_appendage_info_array[i].mow_segment_info_array_size;
        spheres[i].radius = 1.0f;
        if (segments <= 0)
            continue;
        spheres[i].mow_segment_key_array = malloc_mow_segment_key_array(segments);
        spheres[i].mow_segment_key_array_size = spheres[i].mow_segment_key_array ? segments : 0;
        for (int32_t k = 0; k < spheres[i].mow_segment_key_array_size; ++k)
            spheres[i].mow_segment_key_array[k].segment_radius = 1.0f;
    }
    return spheres;
}

void draw(const mow_model* model)
{
    const int32_t pose_count = mow_geo_pose_count(model);
    mow_track_augment* poses = malloc_mow_track_augment_array(pose_count);
    if (!poses)
        return;
    mow_animate_model(model, nullptr, 0.0f, poses, nullptr, &win_math_identity_matrix43);
    mow_rend_rend_mow_model(model, nullptr, 0, poses, 0);
    mow_rend_wire_mow_model(model, poses, 0);
    mow_rend_track_augment_spheres(pose_count, poses, 0x42, 2, 1);
    const int32_t appendages = model->mow_appendage_array_size;
    if (appendages > 0) {
        if (mow_appendage_sphere_key* spheres = make_appendage_spheres(model, appendages)) {
            mow_rend_appendage_spheres(appendages, spheres, poses, model->mow_appendage_info_array);
            free_mow_appendage_sphere_key_array(spheres, appendages);
        }
    }
    free_mow_track_augment_array(poses, pose_count);
}

// Preparing gives the model its skinning form, which releasing the model
// lets go; the linked model is never released, so the form goes here.
void draw_prepared(const void* record)
{
    mow_model* model = (mow_model*)const_cast<void*>(record);
    if (mow_rend_init_mow_model(model))
        draw(model);
    mow_rend_release_mow_model(model);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&mow_model_desc, data, size, draw_prepared);
}

void fuzz_write_seeds(void)
{
    mow_model* seed = demo_model_make("figure");
    char* buffer = nullptr;
    size_t length = 0;
    FILE* file = open_memstream(&buffer, &length);
    write_mow_model_bin(file, seed);
    std::fclose(file);
    fuzz_seed("figure", std::string(buffer, length));
    std::free(buffer);
    free_mow_model(seed);
}
