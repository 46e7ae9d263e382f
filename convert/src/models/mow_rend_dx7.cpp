#include "mow_rend_dx7.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <utility>

#include "d3dtextr_dx7.h"
#include "d3dxframe.h"
#include "debug.h"
#include "heap.h"
#include "win_math.h"
#include "world_services.h"

namespace {

// ---- module state

// The skinning output, addressed by slot, and the contiguous copy of the
// clustered group being drawn.
win_vect3 skin_vtx[MOW_REND_BUFFER_SIZE];
win_norm skin_norm[MOW_REND_BUFFER_SIZE];
win_vect3 gather_vtx[MOW_REND_BUFFER_SIZE];
win_norm gather_norm[MOW_REND_BUFFER_SIZE];
// Every entry is the wireframe colour.
win_diffuse wire_diffuse_buffer[MOW_REND_BUFFER_SIZE];

const DWORD default_wire_diffuse = 0xFFFF0000;
const DWORD default_bbox_diffuse = 0xFFFF0000;
const DWORD default_cylindar_diffuse = 0xFF00FF00;
const DWORD default_sphere_diffuse = 0xFFFFFF00;

// Streams of a model group; the pointers are set before every draw, the
// specular stream and texture sets past the first stay empty.
D3DDRAWPRIMITIVESTRIDEDDATA model_desc = {{nullptr, sizeof(win_vect3)},
                                          {nullptr, sizeof(win_norm)},
                                          {nullptr, sizeof(win_diffuse)},
                                          {nullptr, sizeof(win_diffuse)},
                                          {{nullptr, sizeof(win_uv)},
                                           {nullptr, sizeof(win_uv)},
                                           {nullptr, sizeof(win_uv)},
                                           {nullptr, sizeof(win_uv)},
                                           {nullptr, sizeof(win_uv)},
                                           {nullptr, sizeof(win_uv)},
                                           {nullptr, sizeof(win_uv)},
                                           {nullptr, sizeof(win_uv)}}};

// The model being drawn, for the texture binding; empty between draws, when
// the draw flags are 0.
struct model_draw {
    const mow_track_augment* poses;
    const win_shader* shaders;
    int32_t shader_count;
    DWORD flags;
};
model_draw current = {};

// Only a wireframe draw changes these: it sends no normals and gives every
// group the wireframe colours.
const DWORD all_formats = 0xFFFF;
DWORD fvf_mask = all_formats;
const win_diffuse* diffuse_override = nullptr;

// ---- device helpers

// The device reads the streams and indices it is given and writes none; its
// interface takes them without const.
void* device_reads(const void* data)
{
    return const_cast<void*>(data);
}

// A slot's number: slots are element numbers in pointer-wide words.
uintptr_t slot_number(const void* slot)
{
    return (uintptr_t)slot;
}

int draw_triangles(DWORD vertex_format, D3DDRAWPRIMITIVESTRIDEDDATA* streams, int32_t vertex_count,
                   const uint16_t* indices, int32_t index_count)
{
    if (!d3dxframe_draw_indexed_primitive_strided(
            D3DPT_TRIANGLELIST, vertex_format, streams, std::max(vertex_count, 0),
            (WORD*)device_reads(indices), std::max(index_count, 0), current.flags)) {
        LOG_ERROR("%s", "d3dxframe_draw_indexed_primitive_strided failed.\n");
        return 0;
    }
    return 1;
}

// A matrix whose attrib is 0 is the identity, whatever its floats hold.
int set_world(const win_matrix43* matrix)
{
    win_matrix44 world = win_math_identity_matrix44;
    if (matrix->attrib != 0)
        win_math_matrix43_to_matrix44(&world, matrix);
    return d3dxframe_set_world_transform(&world);
}

// The fill and cull modes (and, for the debug shapes, the world transform)
// that a drawing changes, read before it and put back after it. A state that
// could not be read is left as the drawing set it.
struct saved_states {
    DWORD fill_mode, cull_mode;
    win_matrix44 world;
    int have_fill_mode, have_cull_mode, have_world;
};

int save_states(saved_states* saved, bool with_world)
{
    *saved = {};
    saved->have_fill_mode = d3dxframe_get_render_state(D3DRENDERSTATE_FILLMODE, &saved->fill_mode);
    saved->have_cull_mode = d3dxframe_get_render_state(D3DRENDERSTATE_CULLMODE, &saved->cull_mode);
    saved->have_world = with_world ? d3dxframe_get_world_transform(&saved->world) : 1;
    return saved->have_fill_mode & saved->have_cull_mode & saved->have_world;
}

int restore_states(saved_states* saved, bool with_world)
{
    int ok = 1;
    if (saved->have_fill_mode)
        ok &= d3dxframe_set_render_state(D3DRENDERSTATE_FILLMODE, saved->fill_mode);
    if (saved->have_cull_mode)
        ok &= d3dxframe_set_render_state(D3DRENDERSTATE_CULLMODE, saved->cull_mode);
    if (with_world && saved->have_world)
        ok &= d3dxframe_set_world_transform(&saved->world);
    return ok;
}

int set_fill_and_cull(DWORD fill_mode, DWORD cull_mode)
{
    return d3dxframe_set_render_state(D3DRENDERSTATE_FILLMODE, fill_mode) &
           d3dxframe_set_render_state(D3DRENDERSTATE_CULLMODE, cull_mode);
}

// ---- preparation

__attribute__((format(printf, 2, 3))) int refuse_model(const mow_model* model, const char* format,
                                                       ...)
{
    char fault[200];
    va_list args;
    va_start(args, format);
    vsnprintf(fault, sizeof fault, format, args);
    va_end(args);
    LOG_ERROR("Bad mow_model '%s': %s\n", model->mow_model_name ? model->mow_model_name : "",
              fault);
    return 0;
}

bool slot_ok(const void* slot)
{
    return slot_number(slot) < MOW_REND_BUFFER_SIZE;
}

// The validation has made sure that every positive count has its array.
int init_mow_cluster(const mow_model* model, int32_t c)
{
    const mow_cluster* cluster = &model->mow_cluster_array[c];
    for (int32_t v = 0; v < cluster->mow_cluster_vtx_array_size; ++v) {
        const mow_cluster_vtx* vtx = &cluster->mow_cluster_vtx_array[v];
        if (!slot_ok(vtx->mow_cluster_vtx_translate_vtx) ||
            !slot_ok(vtx->mow_cluster_vtx_translate_norm))
            return refuse_model(
                model, "cluster %ld vertex %ld has skin slots %ld, %ld of %d", (long)c, (long)v,
                (long)slot_number(vtx->mow_cluster_vtx_translate_vtx),
                (long)slot_number(vtx->mow_cluster_vtx_translate_norm), MOW_REND_BUFFER_SIZE);
    }
    return 1;
}

int init_mow_shader_group(const mow_model* model, int32_t m, int32_t g, bool clustered)
{
    const mow_shader_group* group = &model->mow_mesh_array[m].mow_shader_group_array[g];
    // The entity's shader array holds one shader per shader file of the
    // model: an index past them always draws untextured.
    const int32_t shaders = std::max(model->mow_shader_filename_array_size, 0);
    if (group->mow_shader_group_shader_idx >= shaders)
        LOG_WARNING("mow_model '%s' mesh %ld group %ld draws with shader %ld of %ld: untextured\n",
                    model->mow_model_name ? model->mow_model_name : "", (long)m, (long)g,
                    (long)group->mow_shader_group_shader_idx, (long)shaders);
    if (!clustered)
        return 1;
    const int32_t vertices = group->mow_translate_vtx_array_size;
    if (vertices > MOW_REND_BUFFER_SIZE)
        return refuse_model(model, "mesh %ld group %ld has %ld skinned vertices, more than %d",
                            (long)m, (long)g, (long)vertices, MOW_REND_BUFFER_SIZE);
    for (int32_t i = 0; i < vertices; ++i)
        if (!slot_ok(group->mow_translate_vtx_array[i]) ||
            !slot_ok(group->mow_translate_norm_array[i]))
            return refuse_model(
                model, "mesh %ld group %ld vertex %ld has skin slots %ld, %ld of %d", (long)m,
                (long)g, (long)i, (long)slot_number(group->mow_translate_vtx_array[i]),
                (long)slot_number(group->mow_translate_norm_array[i]), MOW_REND_BUFFER_SIZE);
    return 1;
}

int init_mow_mesh(const mow_model* model, int32_t m)
{
    const mow_mesh* mesh = &model->mow_mesh_array[m];
    for (int32_t g = 0; g < mesh->mow_shader_group_array_size; ++g)
        if (!init_mow_shader_group(model, m, g, mesh->mow_mesh_clustered != 0))
            return 0;
    return 1;
}

// ---- the skinning form

// The renderer's own form of a model's clusters, made when the model is
// prepared and released with it: the positions and normals of every
// cluster's vertices as six rows of floats (x, y, z of the positions, then
// of the normals), from which skinning reads four or eight vertices at a
// time, one coordinate to a vector; and each cluster cut into runs of
// vertices whose slots follow each other, so that such a block's results go
// to the buffers as four or eight win_vect3s in a row. The weights stay in
// the cluster records, where skinning reads them as it goes.
struct skin_slot_run {
    int32_t first, count;                // of the cluster's vertices
    int32_t position_slot, normal_slot;  // of the first
};

struct skin_cluster_form {
    int32_t first_vertex;  // of the cluster in the rows
    int32_t first_run, run_count;
};

}  // namespace

struct mow_rend_skin {
    int32_t vertex_count;  // of all clusters: the length of each row
    const float* rows[6];
    int32_t cluster_count;
    const skin_cluster_form* clusters;
    const skin_slot_run* runs;
};

namespace {

// The runs of one cluster, written from `runs` on when given; their count.
int32_t cut_slot_runs(const mow_cluster& cluster, skin_slot_run* runs)
{
    const mow_cluster_vtx* vertices = cluster.mow_cluster_vtx_array;
    int32_t count = 0;
    for (int32_t v = 0; v < cluster.mow_cluster_vtx_array_size; ++count) {
        const uintptr_t p = slot_number(vertices[v].mow_cluster_vtx_translate_vtx);
        const uintptr_t n = slot_number(vertices[v].mow_cluster_vtx_translate_norm);
        int32_t end = v + 1;
        while (
            end < cluster.mow_cluster_vtx_array_size &&
            slot_number(vertices[end].mow_cluster_vtx_translate_vtx) == p + (uintptr_t)(end - v) &&
            slot_number(vertices[end].mow_cluster_vtx_translate_norm) == n + (uintptr_t)(end - v))
            ++end;
        if (runs)
            runs[count] = {v, end - v, (int32_t)p, (int32_t)n};
        v = end;
    }
    return count;
}

// The form of a model whose slots preparation has checked, in one heap
// block; NULL after a log line when memory ran out.
mow_rend_skin* make_skin_form(const mow_model* model)
{
    const int32_t clusters = std::max(model->mow_cluster_array_size, 0);
    int32_t vertices = 0, runs = 0;
    for (int32_t c = 0; c < clusters; ++c) {
        vertices += std::max(model->mow_cluster_array[c].mow_cluster_vtx_array_size, 0);
        runs += cut_slot_runs(model->mow_cluster_array[c], nullptr);
    }
    const size_t rows_at = sizeof(mow_rend_skin);
    const size_t clusters_at = rows_at + 6 * sizeof(float) * (size_t)vertices;
    const size_t runs_at = clusters_at + sizeof(skin_cluster_form) * (size_t)clusters;
    char* block = (char*)MALLOC(runs_at + sizeof(skin_slot_run) * (size_t)runs);
    if (!block) {
        LOG_ERROR("Could not malloc the skinning form of mow_model '%s'\n",
                  model->mow_model_name ? model->mow_model_name : "");
        return nullptr;
    }
    mow_rend_skin* form = (mow_rend_skin*)block;
    float* rows = (float*)(block + rows_at);
    skin_cluster_form* cluster_forms = (skin_cluster_form*)(block + clusters_at);
    skin_slot_run* slot_runs = (skin_slot_run*)(block + runs_at);
    form->vertex_count = vertices;
    for (int r = 0; r < 6; ++r)
        form->rows[r] = rows + (size_t)r * (size_t)vertices;
    form->cluster_count = clusters;
    form->clusters = cluster_forms;
    form->runs = slot_runs;
    int32_t vertex = 0, run = 0;
    for (int32_t c = 0; c < clusters; ++c) {
        const mow_cluster& cluster = model->mow_cluster_array[c];
        cluster_forms[c] = {vertex, run, cut_slot_runs(cluster, slot_runs + run)};
        run += cluster_forms[c].run_count;
        for (int32_t v = 0; v < cluster.mow_cluster_vtx_array_size; ++v, ++vertex) {
            const mow_cluster_vtx& vtx = cluster.mow_cluster_vtx_array[v];
            const float coords[6] = {vtx.mow_cluster_vtx_pos.x,  vtx.mow_cluster_vtx_pos.y,
                                     vtx.mow_cluster_vtx_pos.z,  vtx.mow_cluster_vtx_norm.x,
                                     vtx.mow_cluster_vtx_norm.y, vtx.mow_cluster_vtx_norm.z};
            for (int r = 0; r < 6; ++r)
                rows[(size_t)r * (size_t)vertices + (size_t)vertex] = coords[r];
        }
    }
    return form;
}

// ---- skinning

// Skinning works on vectors of floats, which the compiler maps to the
// machine's own. One vertex at a time (skin_vertex), a vector holds a matrix
// row (the fourth lane 0), or a vertex's position or normal, and a point or
// normal takes three multiplies and adds of whole rows. A block of vertices
// at a time (skin_block), a vector holds one coordinate of four or eight
// vertices, and each of the matrix's entries fills a vector of its own.
// Either way every coordinate is the same products summed in the same order
// as the scalar products of win_math, so the results are the same to the
// bit whichever way a vertex goes.
typedef float four_floats __attribute__((vector_size(16)));
typedef float four_floats_unaligned __attribute__((vector_size(16), aligned(4)));
typedef float eight_floats __attribute__((vector_size(32)));
typedef float eight_floats_unaligned __attribute__((vector_size(32), aligned(4)));

// The helpers of skinning are inlined into the function that runs them, so
// that they take that function's instruction set (see skin_model). So no
// call ever passes an eight-lane vector, and the compiler's note that
// passing one would depend on the instruction set does not apply.
#define SKIN_INLINE inline __attribute__((always_inline))
#pragma GCC diagnostic ignored "-Wpsabi"

struct skin_rows {
    four_floats row[4];
};

// Lane I of v in every lane.
template <int I>
SKIN_INLINE four_floats lane(four_floats v)
{
    return __builtin_shufflevector(v, v, I, I, I, I);
}

// v's first three lanes times the first three rows.
SKIN_INLINE four_floats times_rows(four_floats v, const skin_rows& m)
{
    return lane<0>(v) * m.row[0] + lane<1>(v) * m.row[1] + lane<2>(v) * m.row[2];
}

template <class V>
SKIN_INLINE void store_three(V* out, four_floats v)
{
    out->x = v[0];
    out->y = v[1];
    out->z = v[2];
}

// Where the next vertices of a run come from and go: vertex `at` of the
// cluster's six rows, and the entries of its two slots.
struct skin_cursor {
    const float* const* rows;
    size_t at;
    win_vect3* position;
    win_norm* normal;
};

SKIN_INLINE void advance(skin_cursor* t, int vertices)
{
    t->at += (size_t)vertices;
    t->position += vertices;
    t->normal += vertices;
}

// p M and n M (without the translation row) of one vertex.
SKIN_INLINE void skin_vertex(const skin_rows& m, const skin_cursor& t)
{
    const float* const* rows = t.rows;
    const four_floats p = {rows[0][t.at], rows[1][t.at], rows[2][t.at], 0.0f};
    const four_floats n = {rows[3][t.at], rows[4][t.at], rows[5][t.at], 0.0f};
    store_three(t.position, times_rows(p, m) + m.row[3]);
    store_three(t.normal, times_rows(n, m));
}

// ---- blocks of vertices

// A block is four vertices (V four_floats) or eight (eight_floats). The
// eight-lane vectors are two halves of four lanes, and every shuffle below
// works within the halves, as the machine's own do: the first half holds
// vertices 0 to 3 of the block, the second 4 to 7.
constexpr int in_half(int pick, int half)
{
    return pick < 4 ? pick + 4 * half : 8 + (pick - 4) + 4 * half;
}

// In each half: picks 0 to 3 take a's lanes, 4 to 7 b's.
template <int P0, int P1, int P2, int P3>
SKIN_INLINE four_floats pick(four_floats a, four_floats b)
{
    return __builtin_shufflevector(a, b, P0, P1, P2, P3);
}

template <int P0, int P1, int P2, int P3>
SKIN_INLINE eight_floats pick(eight_floats a, eight_floats b)
{
    return __builtin_shufflevector(a, b, in_half(P0, 0), in_half(P1, 0), in_half(P2, 0),
                                   in_half(P3, 0), in_half(P0, 1), in_half(P1, 1), in_half(P2, 1),
                                   in_half(P3, 1));
}

SKIN_INLINE void load_lanes(const float* at, four_floats* v)
{
    *v = *reinterpret_cast<const four_floats_unaligned*>(at);
}

SKIN_INLINE void load_lanes(const float* at, eight_floats* v)
{
    *v = *reinterpret_cast<const eight_floats_unaligned*>(at);
}

// Four vertices' twelve floats, in a, b, c, to the slots from `out` on.
SKIN_INLINE void store_lanes(char* out, four_floats a, four_floats b, four_floats c)
{
    *reinterpret_cast<four_floats_unaligned*>(out) = a;
    *reinterpret_cast<four_floats_unaligned*>(out + 16) = b;
    *reinterpret_cast<four_floats_unaligned*>(out + 32) = c;
}

// Each half of a, b, c holds four vertices' twelve floats: a's low, b's
// low, c's low, then the high halves, is their order in memory.
SKIN_INLINE void store_lanes(char* out, eight_floats a, eight_floats b, eight_floats c)
{
    *reinterpret_cast<eight_floats_unaligned*>(out) = __builtin_shufflevector(a, b, 0, 1, 2, 3, 8,
                                                                              9, 10, 11);
    *reinterpret_cast<eight_floats_unaligned*>(out + 32) = __builtin_shufflevector(c, a, 0, 1, 2, 3,
                                                                                   12, 13, 14, 15);
    *reinterpret_cast<eight_floats_unaligned*>(out + 64) = __builtin_shufflevector(b, c, 4, 5, 6, 7,
                                                                                   12, 13, 14, 15);
}

// x, y and z of a block's positions or normals, a vector each.
template <class V>
struct skin_coords {
    V x, y, z;
};

// x0 y0 z0 x1 | y1 z1 x2 y2 | z2 x3 y3 z3 in each half, as win_vect3s lie:
// each vector turned so that the lanes it gives are in place, then the
// three blended lane by lane.
template <class V>
SKIN_INLINE void store_coords(char* out, const skin_coords<V>& v)
{
    const V x = pick<0, 3, 2, 1>(v.x, v.x);  // x0 x3 x2 x1
    const V y = pick<1, 0, 3, 2>(v.y, v.y);  // y1 y0 y3 y2
    const V z = pick<2, 1, 0, 3>(v.z, v.z);  // z2 z1 z0 z3
    store_lanes(out, pick<0, 1, 6, 3>(pick<0, 5, 2, 3>(x, y), z),
                pick<0, 1, 6, 3>(pick<0, 5, 2, 3>(y, z), x),
                pick<0, 1, 6, 3>(pick<0, 5, 2, 3>(z, x), y));
}

// A matrix's twelve entries, each in every lane.
template <class V>
struct skin_lanes {
    V m[4][3];
};

// v M, with the translation row when `point`.
template <class V>
SKIN_INLINE skin_coords<V> times_lanes(const skin_coords<V>& v, const skin_lanes<V>& m, bool point)
{
    skin_coords<V> out = {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
                          v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
                          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
    if (point) {
        out.x += m.m[3][0];
        out.y += m.m[3][1];
        out.z += m.m[3][2];
    }
    return out;
}

// The coordinates of a block: rows `first` to `first` + 2.
template <class V>
SKIN_INLINE skin_coords<V> load_coords(const skin_cursor& t, int first)
{
    skin_coords<V> v;
    load_lanes(t.rows[first] + t.at, &v.x);
    load_lanes(t.rows[first + 1] + t.at, &v.y);
    load_lanes(t.rows[first + 2] + t.at, &v.z);
    return v;
}

// A block whose slots follow each other: preparation checked every slot, so
// they all lie in the buffers.
template <class V>
SKIN_INLINE void skin_block(const skin_lanes<V>& m, const skin_cursor& t)
{
    store_coords(reinterpret_cast<char*>(t.position), times_lanes(load_coords<V>(t, 0), m, true));
    store_coords(reinterpret_cast<char*>(t.normal), times_lanes(load_coords<V>(t, 3), m, false));
}

// Whether the weights of the block's vertices all equal `weight`, to the
// bit: a cheap test of whole words. Weights equal as floats but not to the
// bit (0 and -0) fail it, and the block then goes one vertex at a time,
// where the comparison is that of floats; a NaN weight the same to the bit
// as the last gives the block the matrix that the last gave it already.
template <size_t... I>
SKIN_INLINE bool weights_equal(const mow_cluster_vtx* block, float weight,
                               std::index_sequence<I...>)
{
    uint32_t bits;
    std::memcpy(&bits, &weight, sizeof bits);
    auto word = [](const mow_cluster_vtx& vtx) {
        uint32_t w;
        std::memcpy(&w, &vtx.mow_cluster_vtx_weight, sizeof w);
        return w;
    };
    return ((word(block[I]) ^ bits) | ...) == 0;
}

// ---- clusters

// The matrix that moves the vertices now, in the forms of both paths.
template <bool Wide>
struct skin_matrix {
    skin_rows rows;
    skin_lanes<std::conditional_t<Wide, eight_floats, four_floats>> lanes;
};

// x in every lane.
SKIN_INLINE void splat(float x, four_floats* v)
{
    *v = four_floats{x, x, x, x};
}

SKIN_INLINE void splat(float x, eight_floats* v)
{
    *v = eight_floats{x, x, x, x, x, x, x, x};
}

// A matrix of attrib 0 is the identity, whatever its floats hold.
template <bool Wide>
SKIN_INLINE void set_matrix(skin_matrix<Wide>* m, const win_matrix43& matrix)
{
    const win_matrix43& floats = matrix.attrib ? matrix : win_math_identity_matrix43;
    for (int r = 0; r < 4; ++r) {
        m->rows.row[r] = four_floats{floats.m[r][0], floats.m[r][1], floats.m[r][2], 0.0f};
        for (int c = 0; c < 3; ++c)
            splat(floats.m[r][c], &m->lanes.m[r][c]);
    }
}

// The entries in four lanes: the first half of eight.
SKIN_INLINE const skin_lanes<four_floats>& four_lanes(const skin_lanes<four_floats>& m)
{
    return m;
}

SKIN_INLINE skin_lanes<four_floats> four_lanes(const skin_lanes<eight_floats>& m)
{
    skin_lanes<four_floats> four;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            four.m[r][c] = __builtin_shufflevector(m.m[r][c], m.m[r][c], 0, 1, 2, 3);
    return four;
}

// Weighted skinning (rend_mow_cluster): each vertex turned by its weight's
// share of the joint's animated rotation about the joint, with the joint's
// local translation and scale whole; a weight of 1 gives the joint's full
// pose, and vertices of equal weight in a row share one matrix. Rigid
// skinning (rend_mow_cluster_no_weight), for a joint posed without keys:
// every vertex moved by the joint's world matrix, whatever its weight.
// Vertices go eight at a time when `Wide`, or four, where their slots
// follow each other and their weights are the same, and one by one
// elsewhere.
template <bool Wide>
SKIN_INLINE int skin_cluster(const mow_rend_skin& form, int32_t c, const mow_cluster& cluster,
                             const mow_track_augment& pose)
{
    const bool rigid = pose.mow_augment_no_keys != 0;
    const skin_cluster_form& cluster_form = form.clusters[c];
    int ok = 1;
    float previous_weight = -2147483648.0f;  // never a real weight
    skin_matrix<Wide> m;
    set_matrix(&m, rigid ? pose.mow_augment_matrix : win_math_identity_matrix43);
    const float* rows[6];
    for (int i = 0; i < 6; ++i)
        rows[i] = form.rows[i] + cluster_form.first_vertex;
    for (int32_t r = 0; r < cluster_form.run_count; ++r) {
        const skin_slot_run& run = form.runs[cluster_form.first_run + r];
        const mow_cluster_vtx* vtx = cluster.mow_cluster_vtx_array + run.first;
        skin_cursor t = {rows, (size_t)run.first, &skin_vtx[run.position_slot],
                         &skin_norm[run.normal_slot]};
        for (int32_t left = run.count; left > 0;) {
            if (!rigid && vtx->mow_cluster_vtx_weight != previous_weight) {
                previous_weight = vtx->mow_cluster_vtx_weight;
                win_xform share = pose.mow_augment_xform;
                share.rx *= previous_weight;
                share.ry *= previous_weight;
                share.rz *= previous_weight;
                win_matrix43 local, skin;
                ok &= win_math_xform_to_txzy_matrix43(&share, &local);
                ok &= win_math_multiply_matrix43(&skin, &local, &pose.mow_augment_joint_matrix);
                set_matrix(&m, skin);
            }
            int taken = 1;
            if (Wide) {
                while (left >= 8 && (rigid || weights_equal(vtx, previous_weight,
                                                            std::make_index_sequence<8>()))) {
                    skin_block(m.lanes, t);
                    advance(&t, 8);
                    vtx += 8;
                    left -= 8;
                }
                if (left == 0)
                    break;
            }
            if (left >= 4 &&
                (rigid || weights_equal(vtx, previous_weight, std::make_index_sequence<4>()))) {
                skin_block(four_lanes(m.lanes), t);
                taken = 4;
            } else {
                skin_vertex(m.rows, t);
            }
            advance(&t, taken);
            vtx += taken;
            left -= taken;
        }
    }
    return ok;
}

template <bool Wide>
SKIN_INLINE int skin_clusters(const mow_model* model, const mow_track_augment* poses)
{
    const mow_rend_skin& form = *model->mow_model_skin;
    int ok = 1;
    for (int32_t c = 0; c < form.cluster_count; ++c) {
        const mow_cluster& cluster = model->mow_cluster_array[c];
        ok &= skin_cluster<Wide>(form, c, cluster, poses[cluster.mow_cluster_joint_idx]);
    }
    return ok;
}

int skin_four_lanes(const mow_model* model, const mow_track_augment* poses)
{
    return skin_clusters<false>(model, poses);
}

// Where the processor has eight-lane vectors, blocks take eight vertices
// (and the four-vertex blocks the shorter instructions of that set): the
// same function compiled for them, chosen while the program runs.
#if defined(__x86_64__)
__attribute__((target("avx"))) int skin_eight_lanes(const mow_model* model,
                                                    const mow_track_augment* poses)
{
    return skin_clusters<true>(model, poses);
}

const bool has_eight_lanes = __builtin_cpu_supports("avx");
#else
int skin_eight_lanes(const mow_model* model, const mow_track_augment* poses)
{
    return skin_clusters<false>(model, poses);
}

const bool has_eight_lanes = false;
#endif

int skin_model(const mow_model* model, const mow_track_augment* poses)
{
    if (!model->mow_model_skin) {
        LOG_ERROR("Cannot skin mow_model '%s' before mow_rend_init_mow_model\n",
                  model->mow_model_name ? model->mow_model_name : "");
        return 0;
    }
    return has_eight_lanes ? skin_eight_lanes(model, poses) : skin_four_lanes(model, poses);
}

// ---- drawing

int draw_group(const mow_shader_group* group, const win_vect3* positions, const win_norm* normals,
               int32_t vertex_count)
{
    int ok = mow_rend_set_shader_texture(group->mow_shader_group_shader_idx);
    model_desc.position.lpvData = device_reads(positions);
    model_desc.normal.lpvData = device_reads(normals);
    model_desc.diffuse.lpvData = device_reads(diffuse_override ? diffuse_override
                                                               : group->mow_diffuse_array);
    model_desc.textureCoords[0].lpvData = device_reads(group->mow_uv_array);
    DWORD vertex_format = (DWORD)group->mow_shader_group_fvf & fvf_mask;
    // The wireframe colours reach the device also for groups that carry no
    // colours of their own.
    if (diffuse_override)
        vertex_format |= D3DFVF_DIFFUSE;
    if (!draw_triangles(vertex_format, &model_desc, vertex_count, group->mow_vtx_idx_array,
                        group->mow_vtx_idx_array_size))
        return 0;
    return ok;
}

int rend_mow_shader_group_segmented(const mow_shader_group* group)
{
    // The wireframe colours cover MOW_REND_BUFFER_SIZE vertices.
    if (diffuse_override && group->mow_vtx_array_size > MOW_REND_BUFFER_SIZE)
        return 1;
    return draw_group(group, group->mow_vtx_array, group->mow_norm_array,
                      group->mow_vtx_array_size);
}

// The group's vertices, gathered from their skinning slots into one stream.
int rend_mow_shader_group_clustered(const mow_shader_group* group)
{
    const int32_t vertices = group->mow_translate_vtx_array_size;
    for (int32_t i = 0; i < vertices; ++i) {
        gather_vtx[i] = skin_vtx[slot_number(group->mow_translate_vtx_array[i])];
        gather_norm[i] = skin_norm[slot_number(group->mow_translate_norm_array[i])];
    }
    return draw_group(group, gather_vtx, gather_norm, vertices);
}

// Skinned positions are in world space; a segmented mesh sets its joint's
// matrix and puts the identity back.
int rend_mow_mesh(const mow_mesh* mesh)
{
    int ok = 1;
    if (mesh->mow_mesh_clustered) {
        for (int32_t g = 0; g < mesh->mow_shader_group_array_size; ++g)
            ok &= rend_mow_shader_group_clustered(&mesh->mow_shader_group_array[g]);
        return ok;
    }
    ok &= set_world(&current.poses[mesh->mow_mesh_joint_idx].mow_augment_matrix);
    for (int32_t g = 0; g < mesh->mow_shader_group_array_size; ++g)
        ok &= rend_mow_shader_group_segmented(&mesh->mow_shader_group_array[g]);
    ok &= set_world(&win_math_identity_matrix43);
    return ok;
}

// ---- texture binding

// The container that shader `shader_idx` shows now, or NULL for none.
texture_container* shown_texture(int32_t shader_idx)
{
    if (shader_idx < 0 || !current.shaders || shader_idx >= current.shader_count)
        return nullptr;
    const win_shader* shader = &current.shaders[shader_idx];
    if (shader->current_texture < 0)
        return nullptr;
    if (!shader->texture_container_ptr_array) {
        LOG_WARNING("%s", "texture_container_ptr_array is NULL\n");
        return nullptr;
    }
    if (shader->current_texture >= shader->texture_container_ptr_array_size)
        return nullptr;
    texture_container* container = shader->texture_container_ptr_array[shader->current_texture];
    // A container without a surface (released with the device, or dropped
    // from the cache and held on by the shader alone) has nothing to bind,
    // and is not remembered as bound: its holder may free it.
    return container && container->texture_container_surface ? container : nullptr;
}

// Sets render state `type` to `wanted` unless the device holds it already;
// `changed` (when given) tells whether it was set.
int match_render_state(int32_t type, DWORD wanted, bool* changed = nullptr)
{
    DWORD held = 0;
    if (!d3dxframe_get_render_state(type, &held))
        return 0;
    if (held == wanted)
        return 1;
    if (changed)
        *changed = true;
    return d3dxframe_set_render_state(type, wanted);
}

// Textures with alpha are sampled by point, others linearly (where bilinear
// filtering is on: the frame drops linear requests otherwise). The filters
// are a preference: only reading the state counts for the result.
int match_filter(bool has_alpha)
{
    DWORD filter = 0;
    if (!d3dxframe_get_texture_stage_state(0, D3DTSS_MAGFILTER, &filter))
        return 0;
    if (filter == D3DTFG_POINT && !has_alpha) {
        d3dxframe_set_texture_stage_state(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        d3dxframe_set_texture_stage_state(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    } else if (filter == D3DTFG_LINEAR && has_alpha) {
        d3dxframe_set_texture_stage_state(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
        d3dxframe_set_texture_stage_state(0, D3DTSS_MINFILTER, D3DTFN_POINT);
    }
    return 1;
}

// ---- debug shapes

// A shape's vertices, positions rebuilt at every draw, colours by its
// setter; normals stay zero but for the cylinder's cap centres.
struct shape {
    win_vtx_norm_diffuse* vertices;
    int32_t vertex_count;
    const uint16_t* indices;
    int32_t index_count;
    D3DDRAWPRIMITIVESTRIDEDDATA streams;
};

const DWORD shape_formats = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;

D3DDRAWPRIMITIVESTRIDEDDATA interleaved(win_vtx_norm_diffuse* vertices)
{
    const DWORD stride = sizeof(win_vtx_norm_diffuse);
    D3DDRAWPRIMITIVESTRIDEDDATA streams = {{&vertices->x, stride},
                                           {&vertices->nx, stride},
                                           {&vertices->diffuse, stride},
                                           {nullptr, stride},
                                           {}};
    for (D3DDP_PTRSTRIDE& set : streams.textureCoords)
        set = {nullptr, stride};
    return streams;
}

// The box: four vertices a face, each of whose coordinates is taken from
// corner A or corner B as its letter says.
const char box_corners[24][4] = {
    "ABA", "AAA", "AAB", "ABB",  // x = A.x
    "ABA", "ABB", "BBB", "BBA",  // y = B.y
    "BBA", "BBB", "BAB", "BAA",  // x = B.x
    "AAA", "BAA", "BAB", "AAB",  // y = A.y
    "ABA", "BBA", "BAA", "AAA",  // z = A.z
    "ABB", "AAB", "BAB", "BBB",  // z = B.z
};
constexpr std::array<uint16_t, 36> box_indices = [] {
    std::array<uint16_t, 36> indices = {};
    for (int face = 0; face < 6; ++face) {
        const uint16_t b = (uint16_t)(4 * face);
        const uint16_t corners[6] = {b, (uint16_t)(b + 1), (uint16_t)(b + 2),
                                     b, (uint16_t)(b + 2), (uint16_t)(b + 3)};
        for (int i = 0; i < 6; ++i)
            indices[6 * face + i] = corners[i];
    }
    return indices;
}();

// The cylinder: the two cap centres, then the 20 corners of the base and
// the 20 of the top.
enum { CYLINDER_SIDES = 20 };
const float cylinder_step = 0.31415927f;  // pi / 10
constexpr std::array<uint16_t, 12 * CYLINDER_SIDES> cylinder_indices = [] {
    std::array<uint16_t, 12 * CYLINDER_SIDES> indices = {};
    for (int i = 0; i < CYLINDER_SIDES; ++i) {
        const int n = (i + 1) % CYLINDER_SIDES;
        const int base = 2, top = 2 + CYLINDER_SIDES;
        const int twelve[12] = {0,        base + n, base + i, 1,       top + i, top + n,
                                base + i, base + n, top + i,  top + n, top + i, base + n};
        for (int k = 0; k < 12; ++k)
            indices[12 * i + k] = (uint16_t)twelve[k];
    }
    return indices;
}();

// The sphere: the two poles, then 10 rings of 10 from the bottom up.
enum { SPHERE_RINGS = 10, SPHERE_COLUMNS = 10 };
const float sphere_ring_step = 0.28559935f;    // pi / 11
const float sphere_half_turn = 1.5707964f;     // pi / 2
const float sphere_column_step = 0.62831855f;  // 2 pi / 10
constexpr std::array<uint16_t, 60 * SPHERE_COLUMNS> sphere_indices = [] {
    std::array<uint16_t, 60 * SPHERE_COLUMNS> indices = {};
    int at = 0;
    auto add = [&](int a, int b, int c) {
        indices[at++] = (uint16_t)a;
        indices[at++] = (uint16_t)b;
        indices[at++] = (uint16_t)c;
    };
    const int top_ring = 2 + SPHERE_COLUMNS * (SPHERE_RINGS - 1);
    for (int j = 0; j < SPHERE_COLUMNS; ++j) {
        const int n = (j + 1) % SPHERE_COLUMNS;
        add(0, 2 + n, 2 + j);
        add(1, top_ring + j, top_ring + n);
        for (int k = 0; k < SPHERE_RINGS - 1; ++k) {
            const int ring = 2 + SPHERE_COLUMNS * k, above = ring + SPHERE_COLUMNS;
            add(ring + j, ring + n, above + j);
            add(ring + n, above + n, above + j);
        }
    }
    return indices;
}();

win_vtx_norm_diffuse box_vertices[24];
win_vtx_norm_diffuse cylinder_vertices[2 + 2 * CYLINDER_SIDES];
win_vtx_norm_diffuse sphere_vertices[2 + SPHERE_RINGS * SPHERE_COLUMNS];

shape box_shape = {box_vertices, 24, box_indices.data(), (int32_t)box_indices.size(),
                   interleaved(box_vertices)};
shape cylinder_shape = {cylinder_vertices, (int32_t)std::size(cylinder_vertices),
                        cylinder_indices.data(), (int32_t)cylinder_indices.size(),
                        interleaved(cylinder_vertices)};
shape sphere_shape = {sphere_vertices, (int32_t)std::size(sphere_vertices), sphere_indices.data(),
                      (int32_t)sphere_indices.size(), interleaved(sphere_vertices)};

int set_shape_diffuse(shape* s, DWORD colour)
{
    for (int32_t i = 0; i < s->vertex_count; ++i)
        s->vertices[i].diffuse = colour;
    return 1;
}

void place(win_vtx_norm_diffuse* vertex, float x, float y, float z)
{
    vertex->x = x;
    vertex->y = y;
    vertex->z = z;
}

float cosine(float angle)
{
    return (float)std::cos((double)angle);
}

float sine(float angle)
{
    return (float)std::sin((double)angle);
}

void rend_bbox(const win_bbox* bbox)
{
    const float a[3] = {bbox->x0, bbox->y0, bbox->z0};
    const float b[3] = {bbox->x1, bbox->y1, bbox->z1};
    for (int i = 0; i < 24; ++i) {
        const char* corner = box_corners[i];
        place(&box_vertices[i], corner[0] == 'A' ? a[0] : b[0], corner[1] == 'A' ? a[1] : b[1],
              corner[2] == 'A' ? a[2] : b[2]);
    }
}

void rend_cylindar(const win_vect3* base_center, float radius, float height)
{
    const win_vect3 c = *base_center;
    const float top = c.y + height;
    place(&cylinder_vertices[0], c.x, c.y, c.z);
    place(&cylinder_vertices[1], c.x, top, c.z);
    cylinder_vertices[0].ny = -1.0f;
    cylinder_vertices[1].ny = 1.0f;
    for (int i = 0; i < CYLINDER_SIDES; ++i) {
        const float a = (float)i * cylinder_step;
        const float dx = radius * cosine(a), dz = radius * sine(a);
        place(&cylinder_vertices[2 + i], c.x + dx, c.y, c.z + dz);
        place(&cylinder_vertices[2 + CYLINDER_SIDES + i], c.x + dx, top, c.z + dz);
    }
}

void rend_sphere(const win_vect3* sphere_center, float radius)
{
    const win_vect3 c = *sphere_center;
    place(&sphere_vertices[0], c.x, c.y - radius, c.z);
    place(&sphere_vertices[1], c.x, c.y + radius, c.z);
    for (int i = 0; i < SPHERE_RINGS; ++i) {
        const float latitude = (float)(i + 1) * sphere_ring_step - sphere_half_turn;
        const float ring_radius = std::fabs(radius * cosine(latitude));
        const float y = c.y + radius * sine(latitude);
        for (int j = 0; j < SPHERE_COLUMNS; ++j) {
            const float a = (float)j * sphere_column_step;
            place(&sphere_vertices[2 + SPHERE_COLUMNS * i + j], c.x + ring_radius * cosine(a), y,
                  c.z + ring_radius * sine(a));
        }
    }
}

int draw_shape(shape* s, DWORD fvf_mask_given)
{
    return draw_triangles(fvf_mask_given & shape_formats, &s->streams, s->vertex_count, s->indices,
                          s->index_count);
}

// Runs `draw` untextured under `world` with the fill and cull modes given,
// and puts back the fill mode, cull mode and world transform it found.
template <class F>
int shape_pass(const win_matrix43* world, DWORD fill_mode, DWORD cull_mode, F draw)
{
    saved_states saved;
    int ok = save_states(&saved, true);
    ok &= set_fill_and_cull(fill_mode, cull_mode);
    ok &= mow_rend_set_shader_texture(-1);
    ok &= set_world(world);
    ok &= draw();
    ok &= restore_states(&saved, true);
    return ok;
}

}  // namespace

// ---- start and end

int mow_rend_init(void)
{
    return mow_rend_set_wire_diffuse(&default_wire_diffuse) &
           mow_rend_set_bbox_diffuse(&default_bbox_diffuse) &
           mow_rend_set_cylindar_diffuse(&default_cylindar_diffuse) &
           mow_rend_dx7_set_sphere_diffuse(&default_sphere_diffuse);
}

int mow_rend_cleanup(void)
{
    return 1;
}

void mow_rend_reset(void)
{
    current = {};
    fvf_mask = all_formats;
    diffuse_override = nullptr;
    mow_rend_init();
}

// ---- models

int mow_rend_init_mow_model(mow_model* mow_model_ptr)
{
    REFUSE_NULL(mow_model_ptr, "mow_rend_init_mow_model", "mow_model", 0);
    mow_rend_release_mow_model(mow_model_ptr);
    if (!mow_geo_validate_mow_model(mow_model_ptr))
        return 0;
    for (int32_t c = 0; c < mow_model_ptr->mow_cluster_array_size; ++c)
        if (!init_mow_cluster(mow_model_ptr, c))
            return 0;
    for (int32_t m = 0; m < mow_model_ptr->mow_mesh_array_size; ++m)
        if (!init_mow_mesh(mow_model_ptr, m))
            return 0;
    mow_model_ptr->mow_model_skin = make_skin_form(mow_model_ptr);
    return mow_model_ptr->mow_model_skin != nullptr;
}

void mow_rend_release_mow_model(void* mow_model_ptr)
{
    mow_model* model = (mow_model*)mow_model_ptr;
    if (model && model->mow_model_skin) {
        FREE(model->mow_model_skin);
        model->mow_model_skin = nullptr;
    }
}

int mow_rend_skin_mow_model(const mow_model* mow_model_ptr,
                            const mow_track_augment* mow_track_augment_array)
{
    REFUSE_NULL(mow_model_ptr, "mow_rend_skin_mow_model", "mow_model", 0);
    REFUSE_NULL(mow_track_augment_array, "mow_rend_skin_mow_model", "mow_track_augment_array", 0);
    return skin_model(mow_model_ptr, mow_track_augment_array);
}

int mow_rend_rend_mow_model(const mow_model* mow_model_ptr, const win_shader* win_shader_array,
                            int32_t win_shader_array_size,
                            const mow_track_augment* mow_track_augment_array, DWORD draw_flags)
{
    REFUSE_NULL(mow_model_ptr, "mow_rend_rend_mow_model", "mow_model", 0);
    REFUSE_NULL(mow_track_augment_array, "mow_rend_rend_mow_model", "mow_track_augment_array", 0);
    current = {mow_track_augment_array, win_shader_array,
               win_shader_array ? win_shader_array_size : 0, draw_flags};
    int ok = skin_model(mow_model_ptr, mow_track_augment_array);
    for (int32_t m = 0; m < mow_model_ptr->mow_mesh_array_size; ++m)
        ok &= rend_mow_mesh(&mow_model_ptr->mow_mesh_array[m]);
    current = {};
    return ok;
}

int mow_rend_wire_mow_model(const mow_model* mow_model_ptr,
                            const mow_track_augment* mow_track_augment_array, DWORD draw_flags)
{
    REFUSE_NULL(mow_model_ptr, "mow_rend_wire_mow_model", "mow_model", 0);
    REFUSE_NULL(mow_track_augment_array, "mow_rend_wire_mow_model", "mow_track_augment_array", 0);
    diffuse_override = wire_diffuse_buffer;
    fvf_mask = all_formats & ~(DWORD)D3DFVF_NORMAL;
    saved_states saved;
    int ok = save_states(&saved, false);
    ok &= set_fill_and_cull(D3DFILL_WIREFRAME, D3DCULL_NONE);
    ok &= mow_rend_rend_mow_model(mow_model_ptr, nullptr, 0, mow_track_augment_array, draw_flags);
    ok &= restore_states(&saved, false);
    fvf_mask = all_formats;
    diffuse_override = nullptr;
    return ok;
}

int mow_rend_set_wire_diffuse(const DWORD* new_wire_diffuse)
{
    REFUSE_NULL(new_wire_diffuse, "mow_rend_set_wire_diffuse", "new_wire_diffuse", 0);
    std::fill(std::begin(wire_diffuse_buffer), std::end(wire_diffuse_buffer),
              win_diffuse{*new_wire_diffuse});
    return 1;
}

int mow_rend_set_shader_texture(int32_t shader_idx)
{
    texture_container* container = shown_texture(shader_idx);
    if (!container) {
        d3dtextr_current_texture = nullptr;
        return d3dxframe_set_texture(0, nullptr);
    }
    if (container == d3dtextr_current_texture)
        return 1;
    if (!d3dxframe_set_texture(0, container->texture_container_surface))
        return 0;  // not bound, so not remembered either
    const bool has_alpha = container->texture_container_has_alpha != 0;
    int ok = match_render_state(D3DRENDERSTATE_COLORKEYENABLE,
                                container->texture_container_transparent ? 1 : 0);
    bool blending_changed = false;
    ok &= match_render_state(D3DRENDERSTATE_ALPHABLENDENABLE, has_alpha ? 1 : 0, &blending_changed);
    if (blending_changed)
        ok &= d3dxframe_set_render_state(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA) &
              d3dxframe_set_render_state(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    ok &= match_filter(has_alpha);
    d3dtextr_current_texture = container;
    return ok;
}

// ---- debug shapes

int mow_rend_set_bbox_diffuse(const DWORD* new_bbox_diffuse)
{
    REFUSE_NULL(new_bbox_diffuse, "mow_rend_set_bbox_diffuse", "new_bbox_diffuse", 0);
    return set_shape_diffuse(&box_shape, *new_bbox_diffuse);
}

int mow_rend_set_cylindar_diffuse(const DWORD* new_cylindar_diffuse)
{
    REFUSE_NULL(new_cylindar_diffuse, "mow_rend_set_cylindar_diffuse", "new_cylindar_diffuse", 0);
    return set_shape_diffuse(&cylinder_shape, *new_cylindar_diffuse);
}

int mow_rend_dx7_set_sphere_diffuse(const DWORD* new_sphere_diffuse)
{
    REFUSE_NULL(new_sphere_diffuse, "mow_rend_dx7_set_sphere_diffuse", "new_sphere_diffuse", 0);
    return set_shape_diffuse(&sphere_shape, *new_sphere_diffuse);
}

int mow_rend_single_bbox(const win_bbox* bbox, const win_matrix43* parent_matrix,
                         DWORD fvf_mask_given, DWORD fill_mode, DWORD cull_mode)
{
    REFUSE_NULL(bbox, "mow_rend_single_bbox", "bbox", 0);
    REFUSE_NULL(parent_matrix, "mow_rend_single_bbox", "parent_matrix", 0);
    return shape_pass(parent_matrix, fill_mode, cull_mode, [&] {
        rend_bbox(bbox);
        return draw_shape(&box_shape, fvf_mask_given);
    });
}

int mow_rend_single_cylindar(const win_vect3* cylindar_base_center, float radius, float height,
                             const win_matrix43* parent_matrix, DWORD fvf_mask_given,
                             DWORD fill_mode, DWORD cull_mode)
{
    REFUSE_NULL(cylindar_base_center, "mow_rend_single_cylindar", "cylindar_base_center", 0);
    REFUSE_NULL(parent_matrix, "mow_rend_single_cylindar", "parent_matrix", 0);
    return shape_pass(parent_matrix, fill_mode, cull_mode, [&] {
        rend_cylindar(cylindar_base_center, radius, height);
        return draw_shape(&cylinder_shape, fvf_mask_given);
    });
}

int mow_rend_single_sphere(const win_vect3* sphere_center, float sphere_radius,
                           const win_matrix43* parent_matrix, DWORD fvf_mask_given, DWORD fill_mode,
                           DWORD cull_mode)
{
    REFUSE_NULL(sphere_center, "mow_rend_single_sphere", "sphere_center", 0);
    REFUSE_NULL(parent_matrix, "mow_rend_single_sphere", "parent_matrix", 0);
    if (!(sphere_radius > 0.0f)) {
        LOG_WARNING("%s", "sphere_radius <= 0\n");
        return 1;
    }
    return shape_pass(parent_matrix, fill_mode, cull_mode, [&] {
        rend_sphere(sphere_center, sphere_radius);
        return draw_shape(&sphere_shape, fvf_mask_given);
    });
}

int mow_rend_track_augment_spheres(int32_t count, const mow_track_augment* mow_track_augment_array,
                                   DWORD fvf_mask_given, DWORD fill_mode, DWORD cull_mode)
{
    REFUSE_NULL(mow_track_augment_array, "mow_rend_track_augment_spheres",
                "mow_track_augment_array", 0);
    // The centres are in world space already.
    return shape_pass(&win_math_identity_matrix43, fill_mode, cull_mode, [&] {
        int ok = 1;
        for (int32_t i = 0; i < count; ++i) {
            const mow_track_augment& pose = mow_track_augment_array[i];
            if (!(pose.mow_augment_sphere_radius > 0.0f))
                continue;
            rend_sphere(&pose.mow_augment_sphere_center, pose.mow_augment_sphere_radius);
            ok &= draw_shape(&sphere_shape, fvf_mask_given);
        }
        return ok;
    });
}

int mow_rend_appendage_spheres(int32_t count,
                               const mow_appendage_sphere_key* mow_appendage_sphere_key_array,
                               const mow_track_augment* mow_track_augment_array,
                               const mow_appendage_info* mow_appendage_info_array)
{
    REFUSE_NULL(mow_appendage_sphere_key_array, "mow_rend_appendage_spheres",
                "mow_appendage_sphere_key_array", 0);
    REFUSE_NULL(mow_track_augment_array, "mow_rend_appendage_spheres", "mow_track_augment_array",
                0);
    REFUSE_NULL(mow_appendage_info_array, "mow_rend_appendage_spheres", "mow_appendage_info_array",
                0);
    const DWORD positions_and_colours = D3DFVF_XYZ | D3DFVF_DIFFUSE;
    int ok = 1;
    for (int32_t i = 0; i < count; ++i) {
        const mow_appendage_sphere_key& key = mow_appendage_sphere_key_array[i];
        const mow_appendage_info& chain = mow_appendage_info_array[i];
        if (!(key.radius > 0.0f) || !key.mow_segment_key_array || !chain.mow_segment_info_array)
            continue;
        // The key and the model each say how many segments they have.
        const int32_t segments = std::min(key.mow_segment_key_array_size,
                                          chain.mow_segment_info_array_size);
        for (int32_t k = 0; k < segments; ++k) {
            const int32_t joint = chain.mow_segment_info_array[k].mow_segment_joint_idx;
            if (joint < 0)
                continue;
            const mow_segment_key& segment = key.mow_segment_key_array[k];
            const win_vect3 start = mow_track_augment_array[joint].mow_augment_sphere_center;
            const win_vect3 end = {start.x + segment.segment_vector.x,
                                   start.y + segment.segment_vector.y,
                                   start.z + segment.segment_vector.z};
            for (const win_vect3* centre : {&start, &end})
                ok &= mow_rend_single_sphere(centre, segment.segment_radius,
                                             &win_math_identity_matrix43, positions_and_colours,
                                             D3DFILL_SOLID, D3DCULL_NONE);
        }
    }
    return ok;
}
