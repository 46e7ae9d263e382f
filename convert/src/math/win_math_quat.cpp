// Quaternions and slerp. The matrix conversions are exact inverses of each
// other: the aiming code converts a rotation to a quaternion, blends and
// converts back every frame.
#include "win_math.h"

#include <cmath>

#include "math_util.h"

// Below this scalar part the matrix is (nearly) a half-turn, and dividing by
// 4w would lose every digit or divide by zero; the quaternion is then taken
// from the largest diagonal term instead.
static const float quat_min_w = 1e-3f;

static float dot4(const win_quat& a, const win_quat& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

int win_math_add_quat(win_quat* q, const win_quat* a, const win_quat* b)
{
    *q = {a->x + b->x, a->y + b->y, a->z + b->z, a->w + b->w};
    return 1;
}

int win_math_subtract_quat(win_quat* q, const win_quat* a, const win_quat* b)
{
    *q = {a->x - b->x, a->y - b->y, a->z - b->z, a->w - b->w};
    return 1;
}

int win_math_multiply_quat(win_quat* q, const win_quat* a, const win_quat* b)
{
    *q = {a->w * b->x + a->x * b->w + a->y * b->z - a->z * b->y,
          a->w * b->y - a->x * b->z + a->y * b->w + a->z * b->x,
          a->w * b->z + a->x * b->y - a->y * b->x + a->z * b->w,
          a->w * b->w - a->x * b->x - a->y * b->y - a->z * b->z};
    return 1;
}

// Writes the rotation of `quat` into the 3-by-3 part of `identity`.
template <class M>
static void quat_to_matrix(M* mat, const M& identity, const win_quat* quat)
{
    const float x = quat->x, y = quat->y, z = quat->z, w = quat->w;
    *mat = identity;
    mat->m[0][0] = 1.0f - 2.0f * (y * y + z * z);
    mat->m[0][1] = 2.0f * x * y - 2.0f * w * z;
    mat->m[0][2] = 2.0f * x * z + 2.0f * w * y;
    mat->m[1][0] = 2.0f * x * y + 2.0f * w * z;
    mat->m[1][1] = 1.0f - 2.0f * (x * x + z * z);
    mat->m[1][2] = 2.0f * y * z - 2.0f * w * x;
    mat->m[2][0] = 2.0f * x * z - 2.0f * w * y;
    mat->m[2][1] = 2.0f * y * z + 2.0f * w * x;
    mat->m[2][2] = 1.0f - 2.0f * (x * x + y * y);
}

int win_math_quat_to_matrix43(win_matrix43* mat, const win_quat* quat)
{
    quat_to_matrix(mat, win_math_identity_matrix43, quat);
    mat->attrib = WIN_ATTRIB_ROTATE;
    return 1;
}

int win_math_quat_to_matrix44(win_matrix44* mat, const win_quat* quat)
{
    quat_to_matrix(mat, win_math_identity_matrix44, quat);
    return 1;
}

// `one` is the homogeneous 1: 1.0 for a win_matrix43, m33 for a win_matrix44.
template <class M>
static void matrix_to_quat(win_quat* quat, const M* mat, float one)
{
    const auto& m = mat->m;
    float S = m[0][0] + m[1][1] + m[2][2] + one;
    if (S < 0.0f)
        S = -S;
    const float w = std::fabs((float)math_util_sqrt((double)S) / 2.0f);
    if (w >= quat_min_w) {
        const float k = 4.0f * w;
        *quat = {(m[2][1] - m[1][2]) / k, (m[0][2] - m[2][0]) / k, (m[1][0] - m[0][1]) / k, w};
        return;
    }
    // Near a half-turn: with i the axis of the largest diagonal term and j, k
    // the two others in cyclic order, 4 q[i]^2 = one + m[i][i] - m[j][j] -
    // m[k][k], and the other components follow from the off-diagonal sums.
    // For a rotation that term is at least 4/3 here, so the division is
    // safe; a matrix that is no rotation has no quaternion to be right about.
    int i = 0;
    if (m[1][1] > m[i][i])
        i = 1;
    if (m[2][2] > m[i][i])
        i = 2;
    const int j = (i + 1) % 3, k = (i + 2) % 3;
    float q[3];
    q[i] = (float)math_util_sqrt((double)(one + m[i][i] - m[j][j] - m[k][k])) / 2.0f;
    const float divisor = 4.0f * q[i];
    q[j] = (m[i][j] + m[j][i]) / divisor;
    q[k] = (m[i][k] + m[k][i]) / divisor;
    float scalar = (m[k][j] - m[j][k]) / divisor;
    const float sign = scalar < 0.0f ? -1.0f : 1.0f;  // keep w >= 0, the same rotation
    *quat = {sign * q[0], sign * q[1], sign * q[2], sign * scalar};
}

int win_math_matrix43_to_quat(win_quat* quat, const win_matrix43* mat)
{
    matrix_to_quat(quat, mat, 1.0f);
    return 1;
}

int win_math_matrix44_to_quat(win_quat* quat, const win_matrix44* mat)
{
    matrix_to_quat(quat, mat, mat->m[3][3]);
    return 1;
}

int win_math_slerp_quat(win_quat* result, const win_quat* q0, win_quat* q1, float t)
{
    // Take the nearer of q1 and -q1 (the same rotation); the caller's q1
    // changes.
    win_quat difference, sum;
    win_math_subtract_quat(&difference, q0, q1);
    win_math_add_quat(&sum, q0, q1);
    if (dot4(difference, difference) > dot4(sum, sum))
        *q1 = {-q1->x, -q1->y, -q1->z, -q1->w};

    float c = dot4(*q0, *q1);
    win_quat end = *q1;
    if (c < 0.0f) {
        c = -c;
        end = {-end.x, -end.y, -end.z, -end.w};
    }
    float k0 = 1.0f - t, k1 = t;  // nearly equal rotations blend linearly
    if (1.0f - c > 2e-6f) {
        const float omega = (float)math_util_acos((double)c);
        const float sin_omega = (float)std::sin((double)omega);
        k0 = (float)std::sin((double)((1.0f - t) * omega)) / sin_omega;
        k1 = (float)std::sin((double)(t * omega)) / sin_omega;
    }
    *result = {k0 * q0->x + k1 * end.x, k0 * q0->y + k1 * end.y, k0 * q0->z + k1 * end.z,
               k0 * q0->w + k1 * end.w};
    return 1;
}
