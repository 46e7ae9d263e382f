// Intersections and swept-sphere (capsule) tests.
#include "win_math.h"

#include <cmath>

#include "debug.h"

static float dot(const win_vect3& a, const win_vect3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

static win_vect3 minus(const win_vect3& a, const win_vect3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

static win_vect3 plus_scaled(const win_vect3& a, float k, const win_vect3& b)
{
    return {a.x + k * b.x, a.y + k * b.y, a.z + k * b.z};
}

static win_vect3 cross(const win_vect3& a, const win_vect3& b)
{
    win_vect3 result;
    win_math_cross_product_vect3_inline(&result, &a, &b);
    return result;
}

// The determinant of the rows (r0, r1, r2), each of the three products
// rounded to single precision before they are added.
static float determinant(const float r0[3], const float r1[3], const float r2[3])
{
    const float a = r0[0] * (r1[1] * r2[2] - r1[2] * r2[1]);
    const float b = r0[1] * (r1[2] * r2[0] - r2[2] * r1[0]);
    const float c = r0[2] * (r2[1] * r1[0] - r1[1] * r2[0]);
    return a + b + c;
}

float win_math_calc_matrix33_determinant(const win_matrix33* mat)
{
    REFUSE_NULL(mat, "win_math_calc_matrix33_determinant", "mat", WIN_MATH_NULL_VALUE);
    return determinant(mat->m[0], mat->m[1], mat->m[2]);
}

int win_math_calc_3_plane_intersection(win_vect3* intersect_pnt, const win_plane* plane_1,
                                       const win_plane* plane_2, const win_plane* plane_3)
{
    REFUSE_NULL(intersect_pnt, "win_math_calc_3_plane_intersection", "intersect_pnt", 0);
    REFUSE_NULL(plane_1, "win_math_calc_3_plane_intersection", "plane_1", 0);
    REFUSE_NULL(plane_2, "win_math_calc_3_plane_intersection", "plane_2", 0);
    REFUSE_NULL(plane_3, "win_math_calc_3_plane_intersection", "plane_3", 0);

    // Cramer's rule on N p = d, the rows of N the three normals.
    const win_plane* planes[3] = {plane_1, plane_2, plane_3};
    float rows[3][3];
    for (int i = 0; i < 3; i++) {
        rows[i][0] = planes[i]->nx;
        rows[i][1] = planes[i]->ny;
        rows[i][2] = planes[i]->nz;
    }
    const float D = determinant(rows[0], rows[1], rows[2]);
    if (D == 0.0f || std::isnan(D)) {
        LOG_ERROR("%s\n", "planes are parallel. Unable to calculate intersection point.");
        return 0;
    }
    float p[3];
    for (int column = 0; column < 3; column++) {
        float replaced[3][3];
        for (int i = 0; i < 3; i++) {
            for (int j = 0; j < 3; j++)
                replaced[i][j] = rows[i][j];
            replaced[i][column] = planes[i]->d;
        }
        p[column] = determinant(replaced[0], replaced[1], replaced[2]) / D;
    }
    *intersect_pnt = {p[0], p[1], p[2]};
    return 1;
}

// Both segment-plane tests. With `tolerance` negative a parallel segment is
// always refused; otherwise one whose end point lies within the tolerance of
// the plane crosses it at t = 0.
static float segment_plane(const win_vect3* tail_vtx, const win_vect3* head_vtx,
                           const win_plane* plane, float tolerance, win_vect3* result_vtx)
{
    const win_vect3 normal = {plane->nx, plane->ny, plane->nz};
    const float f0 = dot(normal, *tail_vtx) - plane->d;
    const float f1 = dot(normal, *head_vtx) - plane->d;
    if (std::fabs(f0 - f1) < 1e-5f) {
        if (tolerance >= 0.0f && (std::fabs(f0) <= tolerance || std::fabs(f1) <= tolerance)) {
            *result_vtx = *tail_vtx;
            return 0.0f;
        }
        return WIN_MATH_PARALLEL;
    }
    const float t = f0 / (f0 - f1);
    *result_vtx = plus_scaled(*tail_vtx, t, minus(*head_vtx, *tail_vtx));
    return t;
}

#define REFUSE_NULL_SEGMENT_PLANE()                                                        \
    REFUSE_NULL(tail_vtx, "win_math_line_plane_intersect", "tail_vtx", WIN_MATH_PARALLEL); \
    REFUSE_NULL(head_vtx, "win_math_line_plane_intersect", "head_vtx", WIN_MATH_PARALLEL); \
    REFUSE_NULL(plane, "win_math_line_plane_intersect", "win_plane", WIN_MATH_PARALLEL);   \
    REFUSE_NULL(result_vtx, "win_math_line_plane_intersect", "result_vtx", WIN_MATH_PARALLEL)

float win_math_line_plane_intersect(const win_vect3* tail_vtx, const win_vect3* head_vtx,
                                    const win_plane* plane, win_vect3* result_vtx)
{
    REFUSE_NULL_SEGMENT_PLANE();
    return segment_plane(tail_vtx, head_vtx, plane, -1.0f, result_vtx);
}

float win_math_line_plane_intersect_tolerance(const win_vect3* tail_vtx, const win_vect3* head_vtx,
                                              const win_plane* plane, float tolerance,
                                              win_vect3* result_vtx)
{
    REFUSE_NULL_SEGMENT_PLANE();
    return segment_plane(tail_vtx, head_vtx, plane, tolerance, result_vtx);
}

int win_math_line_sphere_intersect(const win_vect3* tail, const win_vect3* head,
                                   const win_vect3* centre, float radius_a, float radius_b)
{
    // A NULL point is refused as a miss: it must not read as an end point
    // inside the sphere.
    REFUSE_NULL(tail, "win_math_line_sphere_intersect", "tail", 0);
    REFUSE_NULL(head, "win_math_line_sphere_intersect", "head", 0);
    REFUSE_NULL(centre, "win_math_line_sphere_intersect", "centre", 0);

    const float R = radius_a + radius_b;
    const float d0 = win_math_calc_dist(tail, centre);
    const float d1 = win_math_calc_dist(head, centre);
    if (d0 < R || d1 < R)
        return 1;
    const float L = win_math_calc_dist(tail, head);
    if (L < 2e-6f)
        return 0;
    win_vect3 u = {0.0f, 0.0f, 0.0f};
    if (!win_math_calc_normalized_win_dist(&u, tail, head))
        LOG_ERROR("%s\n",
                  "failed to calculate normalized_ray vector for win_math_line_sphere_intersect.");
    const win_vect3 w = minus(*tail, *centre);
    const float B = 2.0f * dot(w, u);
    const float C = dot(w, w) - R * R;
    if (B * B - 4.0f * C < 0.0f)
        return 0;
    return d0 <= L + R ? 1 : 0;
}

// Whether the point at `along` (a length along an axis of length L) lies on
// the axis extended by R and the tolerance at both ends.
static int within_segment(float along, float L, float R)
{
    return -R - 1e-5f <= along && along <= L + R + 1e-5f;
}

float win_math_line_line_intersect(const win_vect3* P0, const win_vect3* D0, float L0, float R0,
                                   const win_vect3* P1, const win_vect3* D1, float L1, float R1)
{
    const win_vect3 N = cross(*D0, *D1);
    const float K = dot(N, N);
    if (K >= 1e-5f) {
        // Skew axes: the closest points as fractions s of D0 and t of D1.
        const float inverse_K = 1.0f / K;
        const float s = dot(cross(minus(*P1, *P0), *D1), N) * inverse_K;
        if (s <= 1e-5f - R0 / L0 || s >= 1.0f + R0 / L0 - 1e-5f)
            return -1.0f;
        const float t = dot(cross(minus(*P0, *P1), *D0), cross(*D1, *D0)) * inverse_K;
        if (t <= 1e-5f - R1 / L1 || t >= 1.0f + R1 / L1 - 1e-5f)
            return -1.0f;
        const win_vect3 C0 = plus_scaled(*P0, s, *D0);
        const win_vect3 C1 = plus_scaled(*P1, t, *D1);
        const float q = win_math_calc_dist_squared(&C0, &C1);
        const float reach = R0 + R1 + 1e-5f;
        return q <= reach * reach ? q : -1.0f;
    }

    // (Nearly) parallel axes, or a very short segment vector.
    if (L0 == 0.0f)
        return -1.0f;
    const float v = dot(*D0, minus(*P1, *P0)) / L0;
    const float A = win_math_calc_dist_squared(P0, P1) - v * v;
    const float reach = R0 + R1;
    if (A > reach * reach)
        return -1.0f;
    // The end points of the shorter segment against the longer one.
    const win_vect3 *origin = P0, *axis = D0, *start = P1, *vector = D1;
    float L = L0, R = R0;
    if (L0 < L1) {
        origin = P1, axis = D1, start = P0, vector = D0;
        L = L1, R = R1;
    }
    const win_vect3 end = {start->x + vector->x, start->y + vector->y, start->z + vector->z};
    if (within_segment(dot(*axis, minus(*start, *origin)) / L, L, R) ||
        within_segment(dot(*axis, minus(end, *origin)) / L, L, R))
        return A;
    return -1.0f;
}
