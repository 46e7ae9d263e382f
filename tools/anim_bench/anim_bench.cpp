// Evaluation speed of animations: a 60-joint chain posed from a 60-track
// animation, as every animated character is each frame. Reports poses per
// second (items_per_second) for animations of a few keys and of many keys a
// track, with the time stepping through the animation at 60 frames a second.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "debug.h"
#include "demo_model.h"
#include "heap.h"
#include "mow_animate.h"
#include "win_math.h"

namespace {

enum { JOINTS = 60 };
const float length = 2000.0f;  // milliseconds

// Every track with `keys` rotation, translation and scale keys spread evenly
// over the animation, every value moving.
mow_anim* make_anim(int32_t keys)
{
    mow_anim* anim = malloc_mow_anim("bench");
    anim->mow_anim_begin_time = 0.0f;
    anim->mow_anim_end_time = length;
    anim->mow_track_array = malloc_mow_track_array(JOINTS);
    anim->mow_track_array_size = JOINTS;
    for (int32_t i = 0; i < JOINTS; ++i) {
        mow_track* track = &anim->mow_track_array[i];
        track->mow_track_name = STRDUP("track");
        track->mow_rot_key_array = malloc_mow_rot_key_array(keys);
        track->mow_trans_key_array = malloc_mow_trans_key_array(keys);
        track->mow_scale_key_array = malloc_mow_scale_key_array(keys);
        track->mow_rot_key_array_size = track->mow_trans_key_array_size =
            track->mow_scale_key_array_size = keys;
        for (int32_t k = 0; k < keys; ++k) {
            float time = length * (float)k / (float)(keys - 1);
            float wave = (k % 2 ? 0.3f : -0.3f) + 0.01f * (float)i;
            track->mow_rot_key_array[k] = {time, {wave, 0.5f * wave, -wave}};
            track->mow_trans_key_array[k] = {time, {0.1f * wave, 0.0f, 0.2f * wave}};
            track->mow_scale_key_array[k] = {time, {1.0f + 0.1f * wave, 1.0f, 1.0f}};
        }
    }
    return anim;
}

void BM_AnimateModel(benchmark::State& state)
{
    mow_model* model = demo_model_make_chain("chain", JOINTS);
    mow_anim* anim = make_anim((int32_t)state.range(0));
    mow_track_augment* poses = malloc_mow_track_augment_array(JOINTS);
    win_matrix43 parent;
    win_math_set_rotate_y_matrix43(&parent, 0.5f);
    parent.m[3][0] = 100.0f;
    parent.attrib |= WIN_ATTRIB_TRANSLATE_X;
    float time = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mow_animate_model(model, anim, time, poses, nullptr, &parent));
        benchmark::ClobberMemory();
        time += 1000.0f / 60.0f;
        if (time > length)
            time -= length;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["joints"] = JOINTS;
    free_mow_track_augment_array(poses, JOINTS);
    free_mow_anim(anim);
    free_mow_model(model);
}
BENCHMARK(BM_AnimateModel)->ArgName("keys")->Arg(3)->Arg(30)->Arg(120);

}  // namespace

int main(int argc, char** argv)
{
    debug_open(nullptr, 0);  // count failures, write no log
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return debug_log.error_count > 0;
}
