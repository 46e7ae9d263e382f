// Vectors, planes and distances.
#include "win_math.h"

#include <cmath>

#include "debug.h"
#include "math_util.h"

// The vector records (win_vect3, win_vect4, win_norm) share their x, y, z;
// one engine serves them all.

template <class V>
static float length_of(const V* v)
{
    return (float)math_util_sqrt((double)(v->x * v->x + v->y * v->y + v->z * v->z));
}

template <class V>
static float dot_of(const V* v1, const V* v2)
{
    return v1->x * v2->x + v1->y * v2->y + v1->z * v2->z;
}

template <class V>
static void cross_into(V* vResult, const V* v1, const V* v2)
{
    const float x = v1->y * v2->z - v1->z * v2->y;
    const float y = v1->z * v2->x - v1->x * v2->z;
    const float z = v1->x * v2->y - v1->y * v2->x;
    vResult->x = x;
    vResult->y = y;
    vResult->z = z;
}

// Divides x, y, z by `length`, as a multiplication by its reciprocal.
template <class V>
static void scale_by_inverse(V* v, float length)
{
    const float inverse = 1.0f / length;
    v->x *= inverse;
    v->y *= inverse;
    v->z *= inverse;
}

// Normalises x, y, z; returns the length before, or -1.0 after "Bad
// magnitude" with x, y, z zeroed when the length is below 2e-6 (or NaN).
template <class V>
static float normalize(V* v)
{
    const float length = length_of(v);
    if (!(length >= 2e-6f)) {
        LOG_ERROR("Bad magnitude = %f\n", (double)length);
        v->x = v->y = v->z = 0.0f;
        return -1.0f;
    }
    scale_by_inverse(v, length);
    return length;
}

// The lengths, dot products and normalisers of the three vector records
// are one engine each; the operations differ in name and record type only.
#define ONE_VECTOR_OPERATION(operation, parameter_type, engine) \
    float operation(parameter_type v)                           \
    {                                                           \
        REFUSE_NULL(v, #operation, "v", -1.0f);                 \
        return engine(v);                                       \
    }
#define VECTOR_LENGTH(operation, vector_type) \
    ONE_VECTOR_OPERATION(operation, const vector_type*, length_of)
#define NORMALIZER(operation, vector_type) ONE_VECTOR_OPERATION(operation, vector_type*, normalize)

VECTOR_LENGTH(win_math_magnitude_vect3_inline, win_vect3)
VECTOR_LENGTH(win_math_magnitude_vect3, win_vect3)
VECTOR_LENGTH(win_math_magnitude_vect4_inline, win_vect4)
VECTOR_LENGTH(win_math_magnitude_norm_inline, win_norm)
VECTOR_LENGTH(win_math_magnitude_norm, win_norm)

#define REFUSE_NULL_PAIR(operation, failure)   \
    REFUSE_NULL(v1, operation, "v1", failure); \
    REFUSE_NULL(v2, operation, "v2", failure)

#define DOT_PRODUCT(operation, vector_type)                       \
    float operation(const vector_type* v1, const vector_type* v2) \
    {                                                             \
        REFUSE_NULL_PAIR(#operation, 0.0f);                       \
        return dot_of(v1, v2);                                    \
    }

DOT_PRODUCT(win_math_dot_product_vect3_inline, win_vect3)
DOT_PRODUCT(win_math_dot_product_vect3, win_vect3)
DOT_PRODUCT(win_math_dot_product_vect4_inline, win_vect4)
DOT_PRODUCT(win_math_dot_product_norm_inline, win_norm)
DOT_PRODUCT(win_math_dot_product_norm, win_norm)

NORMALIZER(win_math_normalize_vect3_inline, win_vect3)
NORMALIZER(win_math_normalize_vect4_inline, win_vect4)
NORMALIZER(win_math_normalize_norm_inline, win_norm)
NORMALIZER(win_math_normalize_norm, win_norm)

// The cross products: NULL messages of `operation`, then the refusal of a
// result that is one of the operands.
#define CROSS_PRODUCT(operation, refusal, failure)       \
    REFUSE_NULL(vResult, operation, "vResult", failure); \
    REFUSE_NULL_PAIR(operation, failure);                \
    if (vResult == v1 || vResult == v2) {                \
        LOG_ERROR("%s\n", refusal);                      \
        return failure;                                  \
    }                                                    \
    cross_into(vResult, v1, v2)

void win_math_cross_product_vect3_inline(win_vect3* vResult, const win_vect3* v1,
                                         const win_vect3* v2)
{
    CROSS_PRODUCT("win_math_cross_product_vect3_inline",
                  "win_math_cross_product_vect3_inline result cannot be placed in either source "
                  "vector", );
}

void win_math_cross_product_vect4_inline(win_vect4* vResult, const win_vect4* v1,
                                         const win_vect4* v2)
{
    CROSS_PRODUCT("win_math_cross_product",
                  "win_math_cross_product_vect4_inline result cannot be placed in either source "
                  "vector", );
    vResult->w = 1.0f;
}

void win_math_cross_product_norm_inline(win_norm* vResult, const win_norm* v1, const win_norm* v2)
{
    CROSS_PRODUCT("win_math_cross_product_norm_inline",
                  "win_math_cross_product_norm_inline result cannot be placed in either source "
                  "norm", );
}

int win_math_cross_product_vect3(win_vect3* vResult, const win_vect3* v1, const win_vect3* v2)
{
    CROSS_PRODUCT("win_math_cross_product_vect3",
                  "win_math_cross_product_vect3 result cannot be placed in either source vector",
                  0);
    return 1;
}

int win_math_cross_product_norm(win_norm* vResult, const win_norm* v1, const win_norm* v2)
{
    CROSS_PRODUCT("win_math_cross_product_norm",
                  "win_math_cross_product_norm result cannot be placed in either source norm", 0);
    return 1;
}

float win_math_unitize_win_vect(win_vect3* the_vect)
{
    REFUSE_NULL(the_vect, "win_math_unitize_win_vect", "the_vect", -1.0f);
    // The test is on the squared length, so vectors shorter than about
    // 0.0014 fail here although the normalisers would take them.
    const float squared = dot_of(the_vect, the_vect);
    if (!(squared >= 2e-6f)) {  // NaN is refused too
        LOG_ERROR("%s\n", "Could not unitize_vect");
        return -1.0f;
    }
    const float length = (float)math_util_sqrt((double)squared);
    scale_by_inverse(the_vect, length);
    return length;
}

// ---- Distances and directions ---------------------------------------------------

#define REFUSE_NULL_POINTS(operation, failure)         \
    REFUSE_NULL(vect_0, operation, "vect_0", failure); \
    REFUSE_NULL(vect_1, operation, "vect_1", failure)

float win_math_calc_dist_squared(const win_vect3* vect_0, const win_vect3* vect_1)
{
    REFUSE_NULL_POINTS("win_math_calc_dist", -1.0f);
    const win_vect3 d = {vect_0->x - vect_1->x, vect_0->y - vect_1->y, vect_0->z - vect_1->z};
    return dot_of(&d, &d);
}

float win_math_calc_dist(const win_vect3* vect_0, const win_vect3* vect_1)
{
    REFUSE_NULL_POINTS("win_math_calc_dist", -1.0f);
    return (float)math_util_sqrt((double)win_math_calc_dist_squared(vect_0, vect_1));
}

float win_math_calc_xz_dist(const win_vect3* vect_0, const win_vect3* vect_1)
{
    REFUSE_NULL_POINTS("win_math_calc_dist", -1.0f);
    const float dx = vect_0->x - vect_1->x, dz = vect_0->z - vect_1->z;
    return (float)math_util_sqrt((double)(dx * dx + dz * dz));
}

int win_math_calc_win_dist(win_vect3* result_vect, const win_vect3* vect_0, const win_vect3* vect_1)
{
    REFUSE_NULL(result_vect, "win_math_calc_win_dist", "result_vect", 0);
    REFUSE_NULL_POINTS("win_math_calc_win_dist", 0);
    *result_vect = {vect_1->x - vect_0->x, vect_1->y - vect_0->y, vect_1->z - vect_0->z};
    return 1;
}

int win_math_calc_normalized_win_dist(win_vect3* result_vect, const win_vect3* vect_0,
                                      const win_vect3* vect_1)
{
    REFUSE_NULL(result_vect, "win_math_calc_win_dist", "result_vect", 0);
    REFUSE_NULL_POINTS("win_math_calc_win_dist", 0);
    const win_vect3 d = {vect_1->x - vect_0->x, vect_1->y - vect_0->y, vect_1->z - vect_0->z};
    const float length = length_of(&d);
    if (!(length >= 2e-6f))
        return 0;
    *result_vect = {d.x / length, d.y / length, d.z / length};
    return 1;
}

// `model_vector` put through the rotation and scale of `win_matrix` (its
// translation row dropped; `attrib` 0 leaves the vector as it is).
static int direction_of(win_vect3* win_vect, const win_matrix43* win_matrix,
                        const win_vect3& model_vector)
{
    win_matrix43 turn = *win_matrix;
    turn.m[3][0] = turn.m[3][1] = turn.m[3][2] = 0.0f;
    return win_math_multiply_vect3_by_matrix43(win_vect, &model_vector, &turn);
}

static const win_vect3 model_forward = {0.0f, 0.0f, -1.0f};
static const win_vect3 model_up = {0.0f, 1.0f, 0.0f};

int win_math_calc_direction_win_vect(win_vect3* win_vect, const win_matrix43* win_matrix)
{
    REFUSE_NULL(win_vect, "win_math_calc_direction_win_vect", "win_vect", 0);
    REFUSE_NULL(win_matrix, "win_math_calc_direction_win_vect", "win_matrix", 0);
    return direction_of(win_vect, win_matrix, model_forward);
}

int win_math_calc_up_direction_win_vect(win_vect3* win_vect, const win_matrix43* win_matrix)
{
    REFUSE_NULL(win_vect, "win_math_calc_direction_win_vect", "win_vect", 0);
    REFUSE_NULL(win_matrix, "win_math_calc_direction_win_vect", "win_matrix", 0);
    return direction_of(win_vect, win_matrix, model_up);
}

// Forward, with one component dropped, made unit length. A transform that
// faces along the dropped axis leaves a short, unnormalised vector after the
// "Could not unitize_vect" error.
static int flat_direction_of(win_vect3* win_vect, const win_matrix43* win_matrix,
                             float win_vect3::*dropped)
{
    const int status = direction_of(win_vect, win_matrix, model_forward);
    win_vect->*dropped = 0.0f;
    win_math_unitize_win_vect(win_vect);
    return status;
}

int win_math_calc_xz_direction_vect3(win_vect3* win_vect, const win_matrix43* win_matrix)
{
    REFUSE_NULL(win_vect, "win_math_calc_xz_direction_vect3", "win_vect", 0);
    REFUSE_NULL(win_matrix, "win_math_calc_xz_direction_vect3", "win_matrix", 0);
    return flat_direction_of(win_vect, win_matrix, &win_vect3::y);
}

int win_math_calc_yz_direction_vect3(win_vect3* win_vect, const win_matrix43* win_matrix)
{
    REFUSE_NULL(win_vect, "win_math_calc_xz_direction_vect3", "win_vect", 0);
    REFUSE_NULL(win_matrix, "win_math_calc_xz_direction_vect3", "win_matrix", 0);
    return flat_direction_of(win_vect, win_matrix, &win_vect3::x);
}

int win_math_within_tolerance(float a, float b)
{
    return a > 0.0f ? a <= b : -b <= a;
}

// ---- Planes ---------------------------------------------------------------------------

int d3dmath_calc_norm(win_plane* plane, const win_vect3* vtx_0, const win_vect3* vtx_1,
                      const win_vect3* vtx_2)
{
    REFUSE_NULL(plane, "d3dmath_calc_norm", "plane", 0);
    REFUSE_NULL(vtx_0, "d3dmath_calc_norm", "vtx_0", 0);
    REFUSE_NULL(vtx_1, "d3dmath_calc_norm", "vtx_1", 0);
    REFUSE_NULL(vtx_2, "d3dmath_calc_norm", "vtx_2", 0);
    win_norm e1 = {vtx_1->x - vtx_0->x, vtx_1->y - vtx_0->y, vtx_1->z - vtx_0->z};
    win_norm e2 = {vtx_2->x - vtx_0->x, vtx_2->y - vtx_0->y, vtx_2->z - vtx_0->z};
    int ok = win_math_normalize_norm(&e1) >= 0.0f;
    ok &= win_math_normalize_norm(&e2) >= 0.0f;
    win_norm n;
    ok &= win_math_cross_product_norm(&n, &e1, &e2);
    ok &= win_math_normalize_norm(&n) >= 0.0f;
    plane->nx = n.x;
    plane->ny = n.y;
    plane->nz = n.z;
    plane->d = n.x * vtx_1->x + n.y * vtx_1->y + n.z * vtx_1->z;
    return ok;
}

// n . p - d
static float signed_distance(const win_vect3* point, const win_plane* plane)
{
    return plane->nx * point->x + plane->ny * point->y + plane->nz * point->z - plane->d;
}

float win_math_point_to_plane_dist(const win_vect3* point, const win_plane* plane)
{
    REFUSE_NULL(point, "win_math_point_to_plane_dist", "point", WIN_MATH_NULL_VALUE);
    REFUSE_NULL(plane, "win_math_point_to_plane_dist", "plane", WIN_MATH_NULL_VALUE);
    return signed_distance(point, plane);
}

int win_math_project_point_onto_plane(win_vect3* result_point, const win_vect3* point,
                                      const win_plane* plane)
{
    REFUSE_NULL(result_point, "win_math_project_point_onto_plane", "result_point", 0);
    REFUSE_NULL(point, "win_math_project_point_onto_plane", "point", 0);
    REFUSE_NULL(plane, "win_math_project_point_onto_plane", "plane", 0);
    const float t = signed_distance(point, plane);
    *result_point = {point->x - t * plane->nx, point->y - t * plane->ny, point->z - t * plane->nz};
    return 1;
}

void win_math_reflect_vect3_about_norm(win_vect3* result_vect, const win_vect3* vector,
                                       const win_norm* norm)
{
    REFUSE_NULL(result_vect, "win_math_reflect_vect3_about_norm", "result_vect");
    REFUSE_NULL(vector, "win_math_reflect_vect3_about_norm", "vector");
    REFUSE_NULL(norm, "win_math_reflect_vect3_about_norm", "norm");
    const float k = 2.0f * (vector->x * norm->x + vector->y * norm->y + vector->z * norm->z);
    *result_vect = {vector->x - k * norm->x, vector->y - k * norm->y, vector->z - k * norm->z};
}
