// Matrices, transforms and the attrib mask.
#include "win_math.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "debug.h"

const win_matrix43 win_math_identity_matrix43 = {
    {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f}}, 0};
const win_matrix44 win_math_identity_matrix44 = {{{1.0f, 0.0f, 0.0f, 0.0f},
                                                  {0.0f, 1.0f, 0.0f, 0.0f},
                                                  {0.0f, 0.0f, 1.0f, 0.0f},
                                                  {0.0f, 0.0f, 0.0f, 1.0f}}};

// The translate bits of a translation row (x, y, z): one for each component
// that is not 0.0.
static int32_t translation_bits(float x, float y, float z)
{
    return (x != 0.0f ? WIN_ATTRIB_TRANSLATE_X : 0) | (y != 0.0f ? WIN_ATTRIB_TRANSLATE_Y : 0) |
           (z != 0.0f ? WIN_ATTRIB_TRANSLATE_Z : 0);
}

// ---- Builders ---------------------------------------------------------------------
// The 4-by-3 and 4-by-4 builders share one engine each: both matrix types
// index their floats as m[row][column], and a builder starts from the
// identity of its size.

static void set_identity(win_matrix43* m)
{
    *m = win_math_identity_matrix43;
}

static void set_identity(win_matrix44* m)
{
    *m = win_math_identity_matrix44;
}

template <class M>
static void build_translate(M* m, float x, float y, float z)
{
    set_identity(m);
    m->m[3][0] = x;
    m->m[3][1] = y;
    m->m[3][2] = z;
}

static void build_translate43(win_matrix43* m, float x, float y, float z)
{
    build_translate(m, x, y, z);
    m->attrib = translation_bits(x, y, z);
}

void win_math_set_translate_matrix43_inline(win_matrix43* m, float x, float y, float z)
{
    REFUSE_NULL(m, "win_math_set_translate_matrix43_inline", "m");
    build_translate43(m, x, y, z);
}

int win_math_set_translate_matrix43(win_matrix43* m, float x, float y, float z)
{
    REFUSE_NULL(m, "win_math_set_translate_matrix43", "m", 0);
    build_translate43(m, x, y, z);
    return 1;
}

void win_math_set_translate_matrix43_from_vect3_inline(win_matrix43* m, const win_vect3* v)
{
    REFUSE_NULL(m, "win_math_set_translate_matrix43_from_vect3_inline", "m");
    REFUSE_NULL(v, "win_math_set_translate_matrix43_from_vect3_inline", "v");
    build_translate43(m, v->x, v->y, v->z);
}

void win_math_set_translate_matrix44_inline(win_matrix44* m, float x, float y, float z)
{
    REFUSE_NULL(m, "win_math_set_translate_matrix44_inline", "m");
    build_translate(m, x, y, z);
}

int win_math_set_translate_matrix44(win_matrix44* m, float x, float y, float z)
{
    REFUSE_NULL(m, "win_math_set_translate_matrix44", "m", 0);
    build_translate(m, x, y, z);
    return 1;
}

static void build_scale43(win_matrix43* m, float sx, float sy, float sz)
{
    static const int32_t bits[3] = {WIN_ATTRIB_SCALE_X, WIN_ATTRIB_SCALE_Y, WIN_ATTRIB_SCALE_Z};
    const float factor[3] = {sx, sy, sz};
    set_identity(m);
    for (int i = 0; i < 3; i++) {
        if (factor[i] != 1.0f) {
            m->m[i][i] = factor[i];
            m->attrib |= bits[i];
        }
    }
}

void win_math_set_scale_matrix43_inline(win_matrix43* m, float sx, float sy, float sz)
{
    REFUSE_NULL(m, "win_math_set_scale_matrix43_inline", "m");
    build_scale43(m, sx, sy, sz);
}

void win_math_set_scale_matrix43_from_vect3_inline(win_matrix43* m, const win_vect3* v)
{
    REFUSE_NULL(m, "win_math_set_scale_matrix43_from_vect3_inline", "m");
    REFUSE_NULL(v, "win_math_set_scale_matrix43_from_vect3_inline", "v");
    build_scale43(m, v->x, v->y, v->z);
}

// Rotation about axis 0 (x), 1 (y) or 2 (z) turns the plane of the two other
// axes (a, b): m[a][a] = c, m[a][b] = s, m[b][a] = -s, m[b][b] = c.
static const int rotation_plane[3][2] = {{1, 2}, {2, 0}, {0, 1}};

template <class M>
static void build_axis_rotation(M* mat, int axis, float angle)
{
    const float c = (float)std::cos((double)angle);
    const float s = (float)std::sin((double)angle);
    const int a = rotation_plane[axis][0], b = rotation_plane[axis][1];
    set_identity(mat);
    mat->m[a][a] = c;
    mat->m[a][b] = s;
    mat->m[b][a] = -s;
    mat->m[b][b] = c;
}

static void build_axis_rotation43(win_matrix43* mat, int axis, float angle)
{
    build_axis_rotation(mat, axis, angle);
    mat->attrib = WIN_ATTRIB_ROTATE_X << axis;
}

// The six single-axis builders differ only in matrix size and axis.
#define AXIS_ROTATION_BUILDER(operation, matrix_type, build, axis) \
    void operation(matrix_type* mat, float angle)                  \
    {                                                              \
        REFUSE_NULL(mat, #operation, "mat");                       \
        build(mat, axis, angle);                                   \
    }

AXIS_ROTATION_BUILDER(win_math_set_rotate_x_matrix43, win_matrix43, build_axis_rotation43, 0)
AXIS_ROTATION_BUILDER(win_math_set_rotate_y_matrix43, win_matrix43, build_axis_rotation43, 1)
AXIS_ROTATION_BUILDER(win_math_set_rotate_z_matrix43, win_matrix43, build_axis_rotation43, 2)
AXIS_ROTATION_BUILDER(win_math_set_rotate_x_matrix44, win_matrix44, build_axis_rotation, 0)
AXIS_ROTATION_BUILDER(win_math_set_rotate_y_matrix44, win_matrix44, build_axis_rotation, 1)
AXIS_ROTATION_BUILDER(win_math_set_rotate_z_matrix44, win_matrix44, build_axis_rotation, 2)

template <class M>
static void build_axis_angle_rotation(M* mat, const win_vect3* vDir, float angle)
{
    win_vect3 axis = *vDir;
    win_math_unitize_win_vect(&axis);  // a failure is logged there; the copy is used as it is
    const float x = axis.x, y = axis.y, z = axis.z;
    const float C = (float)std::cos((double)angle);
    const float S = (float)std::sin((double)angle);
    const float K = 1.0f - C;
    set_identity(mat);
    mat->m[0][0] = x * x * K + C;
    mat->m[0][1] = x * y * K + z * S;
    mat->m[0][2] = x * z * K - y * S;
    mat->m[1][0] = x * y * K - z * S;
    mat->m[1][1] = y * y * K + C;
    mat->m[1][2] = y * z * K + x * S;
    mat->m[2][0] = x * z * K + y * S;
    mat->m[2][1] = y * z * K - x * S;
    mat->m[2][2] = z * z * K + C;
}

void win_math_set_rotation_matrix43(win_matrix43* mat, const win_vect3* vDir, float angle)
{
    REFUSE_NULL(mat, "win_math_set_rotation_matrix43", "mat");
    REFUSE_NULL(vDir, "win_math_set_rotation_matrix43", "vDir");
    build_axis_angle_rotation(mat, vDir, angle);
    mat->attrib = WIN_ATTRIB_ROTATE;
}

void win_math_set_rotation_matrix44(win_matrix44* mat, const win_vect3* vDir, float angle)
{
    REFUSE_NULL(mat, "win_math_set_rotation_matrix44", "mat");
    REFUSE_NULL(vDir, "win_math_set_rotation_matrix44", "vDir");
    build_axis_angle_rotation(mat, vDir, angle);
}

static int multiply(win_matrix43* q, const win_matrix43* a, const win_matrix43* b)
{
    return win_math_multiply_matrix43(q, a, b);
}

static int multiply(win_matrix44* q, const win_matrix44* a, const win_matrix44* b)
{
    return win_math_multiply_matrix44(q, a, b);
}

static void build_rotation(win_matrix43* m, int axis, float angle)
{
    build_axis_rotation43(m, axis, angle);
}

static void build_rotation(win_matrix44* m, int axis, float angle)
{
    build_axis_rotation(m, axis, angle);
}

static void build_translation(win_matrix43* m, float x, float y, float z)
{
    build_translate43(m, x, y, z);
}

static void build_translation(win_matrix44* m, float x, float y, float z)
{
    build_translate(m, x, y, z);
}

// ((Rx Ry) Rz) T: rotate about x, then y, then z, then translate.
template <class M>
static int build_rot_trans(M* mat, float rotate_x, float rotate_y, float rotate_z,
                           float translate_x, float translate_y, float translate_z)
{
    M rx, ry, rz, t, rxy, rxyz;
    build_rotation(&rx, 0, rotate_x);
    build_rotation(&ry, 1, rotate_y);
    build_rotation(&rz, 2, rotate_z);
    build_translation(&t, translate_x, translate_y, translate_z);
    multiply(&rxy, &rx, &ry);
    multiply(&rxyz, &rxy, &rz);
    return multiply(mat, &rxyz, &t);
}

int win_math_set_rot_trans_matrix43(win_matrix43* mat, float rotate_x, float rotate_y,
                                    float rotate_z, float translate_x, float translate_y,
                                    float translate_z)
{
    REFUSE_NULL(mat, "win_math_set_rot_trans_matrix43", "mat", 0);
    return build_rot_trans(mat, rotate_x, rotate_y, rotate_z, translate_x, translate_y,
                           translate_z);
}

int win_math_set_rot_trans_matrix44(win_matrix44* mat, float rotate_x, float rotate_y,
                                    float rotate_z, float translate_x, float translate_y,
                                    float translate_z)
{
    REFUSE_NULL(mat, "win_math_set_rot_trans_matrix44", "mat", 0);
    return build_rot_trans(mat, rotate_x, rotate_y, rotate_z, translate_x, translate_y,
                           translate_z);
}

void win_math_transpose_matrix43_inline(win_matrix43* m)
{
    REFUSE_NULL(m, "win_math_transpose_matrix43_inline", "m");
    for (int r = 0; r < 3; r++) {
        for (int c = r + 1; c < 3; c++) {
            float swap = m->m[r][c];
            m->m[r][c] = m->m[c][r];
            m->m[c][r] = swap;
        }
    }
    m->attrib |= WIN_ATTRIB_ROTATE;
}

// ---- Points, normals and products -------------------------------------------------

// dest = src M, with or without the translation row. Every component is
// computed before anything is written, so dest may be src.
template <class V>
static void transform_by_matrix43(V* dest, const V* src, const win_matrix43* mat,
                                  int with_translation)
{
    if (mat->attrib == 0) {
        *dest = *src;
        return;
    }
    const float x = src->x, y = src->y, z = src->z;
    float out[3];
    for (int c = 0; c < 3; c++) {
        out[c] = x * mat->m[0][c] + y * mat->m[1][c] + z * mat->m[2][c];
        if (with_translation)
            out[c] += mat->m[3][c];
    }
    dest->x = out[0];
    dest->y = out[1];
    dest->z = out[2];
}

// The NULL tests of the point and normal products.
#define REFUSE_NULL_TRANSFORM(operation)       \
    REFUSE_NULL(vDest, operation, "vDest", 0); \
    REFUSE_NULL(vSrc, operation, "vSrc", 0);   \
    REFUSE_NULL(mat, operation, "mat", 0)

int win_math_multiply_vect3_by_matrix43(win_vect3* vDest, const win_vect3* vSrc,
                                        const win_matrix43* mat)
{
    REFUSE_NULL_TRANSFORM("win_math_multiply_vect3_by_matrix43");
    transform_by_matrix43(vDest, vSrc, mat, 1);
    return 1;
}

int win_math_multiply_norm_by_matrix43(win_norm* vDest, const win_norm* vSrc,
                                       const win_matrix43* mat)
{
    REFUSE_NULL_TRANSFORM("win_math_multiply_norm_by_matrix43");
    transform_by_matrix43(vDest, vSrc, mat, 0);
    return 1;
}

static void store_projected(win_vect3* vDest, const float out[3])
{
    *vDest = {out[0], out[1], out[2]};
}

static void store_projected(win_vect4* vDest, const float out[3])
{
    *vDest = {out[0], out[1], out[2], 1.0f};
}

// vDest = (X, Y, Z) / w of the point vSrc M; 0 after the error, vDest
// unchanged, when |w| < 2e-6.
template <class V>
static int project_by_matrix44(V* vDest, const win_vect3* vSrc, const win_matrix44* mat)
{
    float h[4];
    for (int c = 0; c < 4; c++)
        h[c] = vSrc->x * mat->m[0][c] + vSrc->y * mat->m[1][c] + vSrc->z * mat->m[2][c] +
               mat->m[3][c];
    if (std::fabs(h[3]) < 2e-6f) {
        LOG_ERROR("w = %f too small\n", (double)h[3]);
        return 0;
    }
    const float out[3] = {h[0] / h[3], h[1] / h[3], h[2] / h[3]};
    store_projected(vDest, out);
    return 1;
}

int win_math_multiply_vect3_by_matrix44(win_vect3* vDest, const win_vect3* vSrc,
                                        const win_matrix44* mat)
{
    REFUSE_NULL_TRANSFORM("win_math_multiply_vect3_by_matrix44");
    return project_by_matrix44(vDest, vSrc, mat);
}

int win_math_multiply_vect4_by_matrix44(win_vect4* vDest, const win_vect3* vSrc,
                                        const win_matrix44* mat)
{
    REFUSE_NULL_TRANSFORM("win_math_multiply_vect4_by_matrix44");
    return project_by_matrix44(vDest, vSrc, mat);
}

int win_math_multiply_norm_by_matrix44(win_norm* vDest, const win_norm* vSrc,
                                       const win_matrix44* mat)
{
    REFUSE_NULL_TRANSFORM("win_math_multiply_norm_by_matrix44");
    const float x = vSrc->x, y = vSrc->y, z = vSrc->z;
    float out[3];
    for (int c = 0; c < 3; c++)
        out[c] = x * mat->m[0][c] + y * mat->m[1][c] + z * mat->m[2][c];
    *vDest = {out[0], out[1], out[2]};
    return 1;
}

// The NULL tests of a matrix product and the refusal of a result that is
// one of its operands.
#define REFUSE_NULL_OR_ALIASED_PRODUCT(operation)                                  \
    REFUSE_NULL(q_mat, operation, "q_mat", 0);                                     \
    REFUSE_NULL(a_mat, operation, "a_mat", 0);                                     \
    REFUSE_NULL(b_mat, operation, "b_mat", 0);                                     \
    if (q_mat == a_mat || q_mat == b_mat) {                                        \
        LOG_ERROR("%s\n", "Cannot store matrix_multiply result in source matrix"); \
        return 0;                                                                  \
    }

// a b into q, which is neither of them. A matrix of attrib 0 is the
// identity, whatever its floats hold. Row i of the product is a's row i
// times b's rows, worked on whole rows at once: each entry is the same
// products summed in the same order as one at a time, so the result is the
// same to the bit. (Skinning builds a matrix for every run of vertices of
// equal weight, a product of up to five.)
static void multiply43(win_matrix43* q_mat, const win_matrix43* a_mat, const win_matrix43* b_mat)
{
    if (a_mat->attrib == 0) {
        *q_mat = *b_mat;
        return;
    }
    if (b_mat->attrib == 0) {
        *q_mat = *a_mat;
        return;
    }
    typedef float row __attribute__((vector_size(16)));
    const float(*a)[3] = a_mat->m;
    const float(*b)[3] = b_mat->m;
    const row b0 = {b[0][0], b[0][1], b[0][2], 0.0f}, b1 = {b[1][0], b[1][1], b[1][2], 0.0f},
              b2 = {b[2][0], b[2][1], b[2][2], 0.0f}, b3 = {b[3][0], b[3][1], b[3][2], 0.0f};
    row q[4];
    for (int i = 0; i < 4; i++)
        q[i] = a[i][0] * b0 + a[i][1] * b1 + a[i][2] * b2;
    q[3] += b3;
    const int32_t attrib = a_mat->attrib | b_mat->attrib;
    // Each row is written as four floats, in order: the fourth lands on the
    // next row's first, which the next row then writes, or on attrib.
    static_assert(offsetof(win_matrix43, attrib) == sizeof(float[4][3]), "attrib follows the rows");
    for (int i = 0; i < 4; i++)
        std::memcpy((char*)q_mat + sizeof(float[3]) * i, &q[i], sizeof q[i]);
    q_mat->attrib = attrib;
}

int win_math_multiply_matrix43(win_matrix43* q_mat, const win_matrix43* a_mat,
                               const win_matrix43* b_mat)
{
    REFUSE_NULL_OR_ALIASED_PRODUCT("win_math_multiply_matrix43");
    multiply43(q_mat, a_mat, b_mat);
    return 1;
}

int win_math_multiply_matrix44(win_matrix44* q_mat, const win_matrix44* a_mat,
                               const win_matrix44* b_mat)
{
    REFUSE_NULL_OR_ALIASED_PRODUCT("win_math_multiply_matrix44");
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 4; j++) {
            q_mat->m[i][j] = a_mat->m[i][0] * b_mat->m[0][j] + a_mat->m[i][1] * b_mat->m[1][j] +
                             a_mat->m[i][2] * b_mat->m[2][j] + a_mat->m[i][3] * b_mat->m[3][j];
        }
    }
    return 1;
}

// ---- Conversions ------------------------------------------------------------------

win_matrix44* win_math_matrix43_to_matrix44(win_matrix44* output_matrix,
                                            const win_matrix43* input_matrix)
{
    REFUSE_NULL(output_matrix, "win_math_matrix43_to_matrix44", "output_matrix", NULL);
    REFUSE_NULL(input_matrix, "win_math_matrix43_to_matrix44", "input_matrix", NULL);
    for (int r = 0; r < 4; r++) {
        for (int c = 0; c < 3; c++)
            output_matrix->m[r][c] = input_matrix->m[r][c];
        output_matrix->m[r][3] = r == 3 ? 1.0f : 0.0f;
    }
    return output_matrix;
}

void win_math_matrix44_to_matrix43(win_matrix43* output_matrix, const win_matrix44* input_matrix)
{
    REFUSE_NULL(output_matrix, "win_math_matrix44_to_matrix43", "output_matrix");
    REFUSE_NULL(input_matrix, "win_math_matrix44_to_matrix43", "input_matrix");
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 3; c++)
            output_matrix->m[r][c] = input_matrix->m[r][c];
    output_matrix->attrib |= WIN_ATTRIB_ROTATE |
                             translation_bits(input_matrix->m[3][0], input_matrix->m[3][1],
                                              input_matrix->m[3][2]);
}

int win_math_set_xform_attrib(win_xform* xform)
{
    REFUSE_NULL(xform, "win_math_set_xform_attrib", "win_xform", 0);
    xform->attrib = (xform->rx != 0.0f ? WIN_ATTRIB_ROTATE_X : 0) |
                    (xform->ry != 0.0f ? WIN_ATTRIB_ROTATE_Y : 0) |
                    (xform->rz != 0.0f ? WIN_ATTRIB_ROTATE_Z : 0) |
                    translation_bits(xform->tx, xform->ty, xform->tz) |
                    (xform->sx != 1.0f ? WIN_ATTRIB_SCALE_X : 0) |
                    (xform->sy != 1.0f ? WIN_ATTRIB_SCALE_Y : 0) |
                    (xform->sz != 1.0f ? WIN_ATTRIB_SCALE_Z : 0);
    return 1;
}

// Orders of the single-axis rotations (0 x, 1 y, 2 z).
static const int order_xyz[3] = {0, 1, 2};
static const int order_xzy[3] = {0, 2, 1};

// The one engine of the three xform converters. `three_axis_order` is the
// order of the rotations when all three are present (with fewer they run
// x, y, z); `rotate_translation` puts the translation through R S instead of
// copying it.
static int xform_to_matrix43(const win_xform* xform, win_matrix43* matrix,
                             const int three_axis_order[3], int rotate_translation)
{
    const int32_t attrib = xform->attrib;
    if (attrib == 0) {
        *matrix = win_math_identity_matrix43;
        return 1;
    }
    int status = 1;

    // Rotation R: the product of the present single-axis rotations; the
    // identity (attrib 0) when none is present.
    const float angle[3] = {xform->rx, xform->ry, xform->rz};
    const int* order = (attrib & WIN_ATTRIB_ROTATE) == WIN_ATTRIB_ROTATE ? three_axis_order
                                                                         : order_xyz;
    // The product so far is `*rotation`; each factor's product goes into
    // the other of two matrices.
    win_matrix43 products[2] = {win_math_identity_matrix43};
    win_matrix43* rotation = &products[0];
    for (int i = 0; i < 3; i++) {
        const int axis = order[i];
        if (!(attrib & (WIN_ATTRIB_ROTATE_X << axis)))
            continue;
        win_matrix43 single;
        build_axis_rotation43(&single, axis, angle[axis]);
        win_matrix43* product = rotation == &products[0] ? &products[1] : &products[0];
        multiply43(product, rotation, &single);
        rotation = product;
    }

    // Scale: R S, all three factors taken as they are.
    if (attrib & WIN_ATTRIB_SCALE) {
        win_matrix43 scale = win_math_identity_matrix43;
        scale.m[0][0] = xform->sx;
        scale.m[1][1] = xform->sy;
        scale.m[2][2] = xform->sz;
        scale.attrib = attrib & WIN_ATTRIB_SCALE;
        multiply43(matrix, rotation, &scale);
    } else {
        *matrix = *rotation;
    }

    if (attrib & WIN_ATTRIB_TRANSLATE) {
        matrix->attrib |= attrib & WIN_ATTRIB_TRANSLATE;
        win_vect3 translate = {xform->tx, xform->ty, xform->tz};
        if (rotate_translation)
            status &= win_math_multiply_vect3_by_matrix43(&translate, &translate, matrix);
        matrix->m[3][0] = translate.x;
        matrix->m[3][1] = translate.y;
        matrix->m[3][2] = translate.z;
    }

    if (matrix->attrib != attrib) {
        LOG_ERROR("win_xform->attrib = %ld, win_matrix43->attrib = %ld\n", (long)attrib,
                  (long)matrix->attrib);
        return 0;
    }
    return status;
}

int win_math_xform_to_txzy_matrix43(const win_xform* xform, win_matrix43* matrix)
{
    REFUSE_NULL(xform, "win_math_xform_to_txzy_matrix43", "win_xform", 0);
    REFUSE_NULL(matrix, "win_math_xform_to_txzy_matrix43", "win_matrix43", 0);
    return xform_to_matrix43(xform, matrix, order_xzy, 0);
}

int win_math_xform_to_xyzt_matrix43(const win_xform* xform, win_matrix43* matrix)
{
    REFUSE_NULL(xform, "win_math_xform_to_xyzt_matrix43", "win_xform", 0);
    REFUSE_NULL(matrix, "win_math_xform_to_xyzt_matrix43", "win_matrix43", 0);
    return xform_to_matrix43(xform, matrix, order_xyz, 1);
}

int win_math_xform_to_xzyt_matrix43(const win_xform* xform, win_matrix43* matrix)
{
    REFUSE_NULL(xform, "win_math_xform_to_xyzt_matrix43", "win_xform", 0);
    REFUSE_NULL(matrix, "win_math_xform_to_xyzt_matrix43", "win_matrix43", 0);
    return xform_to_matrix43(xform, matrix, order_xzy, 1);
}

// ---- Viewing matrix ---------------------------------------------------------------

// up - (up . view) view: the part of `up` at right angles to the unit `view`.
static win_vect3 perpendicular_part(const win_vect3& up, const win_vect3& view)
{
    const float k = win_math_dot_product_vect3(&up, &view);
    return {up.x - k * view.x, up.y - k * view.y, up.z - k * view.z};
}

int win_math_set_look_at_matrix43(win_matrix43* mat, const win_vect3* vFrom, const win_vect3* vAt,
                                  const win_vect3* vUp)
{
    REFUSE_NULL(mat, "win_math_set_look_at_matrix43", "mat", 0);
    REFUSE_NULL(vFrom, "win_math_set_look_at_matrix43", "vFrom", 0);
    REFUSE_NULL(vAt, "win_math_set_look_at_matrix43", "vAt", 0);

    win_vect3 view = {vAt->x - vFrom->x, vAt->y - vFrom->y, vAt->z - vFrom->z};
    if (!(win_math_magnitude_vect3(&view) >= 1e-6f)) {  // NaN is refused too
        LOG_ERROR("%s\n", "Magnitude of View vector < 1e-6f.");
        return 0;
    }
    win_math_unitize_win_vect(&view);  // on failure the view is used as it is

    // The wanted up direction, then world y, then world z, whichever first
    // has a usable part at right angles to the view.
    const win_vect3 candidates[3] = {
        vUp ? *vUp : win_vect3{0.0f, 1.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
    win_vect3 up = {0.0f, 0.0f, 0.0f};
    int found = 0;
    for (int i = 0; i < 3 && !found; i++) {
        up = perpendicular_part(candidates[i], view);
        found = win_math_magnitude_vect3(&up) >= 1e-6f;
    }
    if (!found) {
        LOG_ERROR("%s\n", "Magnitude of vUp vector < 1e-6f.");
        return 0;
    }
    win_math_unitize_win_vect(&up);
    win_vect3 right;
    win_math_cross_product_vect3(&right, &up, &view);

    *mat = win_math_identity_matrix43;
    const win_vect3* column[3] = {&right, &up, &view};
    for (int c = 0; c < 3; c++) {
        mat->m[0][c] = column[c]->x;
        mat->m[1][c] = column[c]->y;
        mat->m[2][c] = column[c]->z;
        mat->m[3][c] = -win_math_dot_product_vect3(vFrom, column[c]);
    }
    mat->attrib = WIN_ATTRIB_ROTATE | translation_bits(mat->m[3][0], mat->m[3][1], mat->m[3][2]);
    return 1;
}
