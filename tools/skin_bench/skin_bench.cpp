// Skinning against a plain copy of the same vertices.
//
// Builds a model of 8,000 skinned vertices, every slot of the skinning
// buffers: a chain of 20 joints, each with a cluster of 400 vertices ordered
// by weight in four runs (0.25, 0.5, 0.75, 1), as exporters write them, and
// poses it from an animation that turns and moves every joint. Then times
// skinning alone (mow_rend_skin_mow_model) against copying the clusters'
// vertex records (375 KB, which stay in the processor's second-level cache:
// the copy runs at the cache's bandwidth) with memcpy. Each side counts by
// its best run of a few skinnings or copies, in alternated order (see
// bench_timing.h); the ratio is copy time over skinning time (1.0: as fast
// as the copy), and the tool exits with 1 when it misses the goal.
//
//     skin_bench [rounds]   (default 301)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_timing.h"
#include "debug.h"
#include "demo_model.h"
#include "heap.h"
#include "mow_animate.h"
#include "mow_rend_dx7.h"
#include "win_math.h"

namespace {

constexpr int32_t JOINTS = 20;
constexpr int32_t VERTICES_PER_CLUSTER = MOW_REND_BUFFER_SIZE / JOINTS;
constexpr int32_t RUNS = 4;  // weights a cluster, each in one run
const int repeats = 20;      // skinnings (or copies) in one run
const double goal = 0.25;

// The demo chain with a cluster of 400 vertices on each joint, weights
// rising in runs, slots 0 to 7999 in order.
mow_model* make_model(void)
{
    mow_model* model = demo_model_make_chain("skin_bench", JOINTS);
    if (!model)
        return nullptr;
    model->mow_cluster_array = malloc_mow_cluster_array(JOINTS);
    model->mow_cluster_array_size = JOINTS;
    int32_t slot = 0;
    for (int32_t j = 0; j < JOINTS; ++j) {
        mow_cluster* cluster = &model->mow_cluster_array[j];
        cluster->mow_cluster_name = STRDUP("cluster");
        cluster->mow_cluster_joint_idx = j;
        cluster->mow_cluster_vtx_array = malloc_mow_cluster_vtx_array(VERTICES_PER_CLUSTER);
        cluster->mow_cluster_vtx_array_size = VERTICES_PER_CLUSTER;
        for (int32_t v = 0; v < VERTICES_PER_CLUSTER; ++v, ++slot) {
            mow_cluster_vtx* vtx = &cluster->mow_cluster_vtx_array[v];
            const float around = 0.0157f * (float)v;
            vtx->mow_cluster_vtx_pos = {0.3f * (float)(v % 7), 0.01f * (float)v, -around};
            vtx->mow_cluster_vtx_norm = {0.6f, 0.0f, -0.8f};
            vtx->mow_cluster_vtx_weight = (float)(1 + v * RUNS / VERTICES_PER_CLUSTER) /
                                          (float)RUNS;
            vtx->mow_cluster_vtx_translate_vtx = (win_vect3_ptr)(uintptr_t)slot;
            vtx->mow_cluster_vtx_translate_norm = (win_norm_ptr)(uintptr_t)slot;
        }
    }
    return model;
}

// Every joint turned about all three axes, scaled and moved a little.
mow_anim* make_anim(void)
{
    mow_anim* anim = malloc_mow_anim("skin_bench");
    anim->mow_anim_end_time = 1000.0f;
    anim->mow_track_array = malloc_mow_track_array(JOINTS);
    anim->mow_track_array_size = JOINTS;
    for (int32_t j = 0; j < JOINTS; ++j) {
        mow_track* track = &anim->mow_track_array[j];
        track->mow_track_name = STRDUP("track");
        track->mow_rot_key_array = malloc_mow_rot_key_array(1);
        track->mow_trans_key_array = malloc_mow_trans_key_array(1);
        track->mow_scale_key_array = malloc_mow_scale_key_array(1);
        track->mow_rot_key_array_size = track->mow_trans_key_array_size =
            track->mow_scale_key_array_size = 1;
        const float turn = 0.05f * (float)(j + 1);
        track->mow_rot_key_array[0] = {0.0f, {turn, -0.5f * turn, 2.0f * turn}};
        track->mow_trans_key_array[0] = {0.0f, {0.1f, 0.0f, 0.05f}};
        track->mow_scale_key_array[0] = {0.0f, {1.0f, 1.1f, 1.0f}};
    }
    return anim;
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 301;
    debug_open(nullptr, 0);  // count failures, write no log
    mow_rend_init();
    mow_model* model = make_model();
    mow_anim* anim = make_anim();
    mow_track_augment* poses = malloc_mow_track_augment_array(JOINTS);
    if (!model || !mow_rend_init_mow_model(model) ||
        !mow_animate_model(model, anim, 0.0f, poses, nullptr, &win_math_identity_matrix43)) {
        std::fprintf(stderr, "skin_bench: the model could not be prepared or posed\n");
        return 1;
    }
    for (int32_t j = 0; j < JOINTS; ++j)
        if (poses[j].mow_augment_no_keys) {
            std::fprintf(stderr, "skin_bench: joint %d was posed without keys\n", (int)j);
            return 1;
        }

    const size_t cluster_bytes = sizeof(mow_cluster_vtx) * VERTICES_PER_CLUSTER;
    std::vector<char> copy(cluster_bytes * JOINTS);
    int skinned = 1;
    auto skin = [&] { skinned &= mow_rend_skin_mow_model(model, poses); };
    auto plain_copy = [&] {
        for (int32_t j = 0; j < JOINTS; ++j)
            std::memcpy(copy.data() + cluster_bytes * j,
                        model->mow_cluster_array[j].mow_cluster_vtx_array, cluster_bytes);
        // Keeps the copies from being dropped as unused.
        asm volatile("" : : "r"(copy.data()) : "memory");
    };
    bench_time(repeats, skin);  // caches warm
    bench_time(repeats, plain_copy);
    const bench_ratio result = bench_compare(
        rounds, [&] { return bench_time(repeats, plain_copy) / repeats; },
        [&] { return bench_time(repeats, skin) / repeats; });
    const double vertices = (double)VERTICES_PER_CLUSTER * JOINTS;
    const double bytes = (double)cluster_bytes * JOINTS;
    bench_print_machine();
    std::printf("skinning %d vertices (%d joints) against a copy of their %.0f KB of vertex "
                "records, best of %d runs of %d\n",
                (int)vertices, (int)JOINTS, bytes / 1024.0, rounds, repeats);
    std::printf("  skinning: %8.2f us  %7.1f M vertices/s\n", 1e6 * result.best_b,
                vertices / result.best_b / 1e6);
    std::printf("  copy:     %8.2f us  %7.2f GB/s\n", 1e6 * result.best_a,
                bytes / result.best_a / 1e9);
    bench_print_ratio("ratio:", result);
    std::printf("  (copy time / skinning time; goal at least %.2f)%s\n", goal,
                result.ratio >= goal ? "" : "  missed");
    bench_print_load();

    free_mow_track_augment_array(poses, JOINTS);
    free_mow_anim(anim);
    free_mow_model(model);
    return skinned && result.ratio >= goal && debug_log.error_count == 0 ? 0 : 1;
}
