#include "d3dmath.h"

#include <cmath>

#include "debug.h"

void d3dmath_matrix_multiply(D3DMATRIX* q, const D3DMATRIX* a, const D3DMATRIX* b)
{
    // Accumulated in a local so that q may alias a source.
    D3DMATRIX product = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                product.m[i][j] += b->m[i][k] * a->m[k][j];
    *q = product;
}

HRESULT d3dmath_matrix_invert(D3DMATRIX* q, const D3DMATRIX* a)
{
    const float(*m)[4] = a->m;
    if (fabsf(m[3][3] - 1.0f) > 0.001f || fabsf(m[0][3]) > 0.001f || fabsf(m[1][3]) > 0.001f ||
        fabsf(m[2][3]) > 0.001f)
        return E_INVALIDARG;

    float inverse_det = 1.0f / (m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                                m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                                m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]));
    D3DMATRIX result = {};
    float(*r)[4] = result.m;
    r[0][0] = inverse_det * (m[1][1] * m[2][2] - m[1][2] * m[2][1]);
    r[0][1] = -inverse_det * (m[0][1] * m[2][2] - m[0][2] * m[2][1]);
    r[0][2] = inverse_det * (m[0][1] * m[1][2] - m[0][2] * m[1][1]);
    r[1][0] = -inverse_det * (m[1][0] * m[2][2] - m[1][2] * m[2][0]);
    r[1][1] = inverse_det * (m[0][0] * m[2][2] - m[0][2] * m[2][0]);
    r[1][2] = -inverse_det * (m[0][0] * m[1][2] - m[0][2] * m[1][0]);
    r[2][0] = inverse_det * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    r[2][1] = -inverse_det * (m[0][0] * m[2][1] - m[0][1] * m[2][0]);
    r[2][2] = inverse_det * (m[0][0] * m[1][1] - m[0][1] * m[1][0]);
    for (int j = 0; j < 3; ++j)
        r[3][j] = -(m[3][0] * r[0][j] + m[3][1] * r[1][j] + m[3][2] * r[2][j]);
    r[3][3] = 1.0f;
    *q = result;
    return S_OK;
}

HRESULT d3dmath_vector_matrix_multiply(D3DVECTOR* out, const D3DVECTOR* v, const D3DMATRIX* m)
{
    float x = v->x, y = v->y, z = v->z;
    float w = x * m->m[0][3] + y * m->m[1][3] + z * m->m[2][3] + m->m[3][3];
    if (fabsf(w) < 0.00001f)
        return E_INVALIDARG;
    out->x = (x * m->m[0][0] + y * m->m[1][0] + z * m->m[2][0] + m->m[3][0]) / w;
    out->y = (x * m->m[0][1] + y * m->m[1][1] + z * m->m[2][1] + m->m[3][1]) / w;
    out->z = (x * m->m[0][2] + y * m->m[1][2] + z * m->m[2][2] + m->m[3][2]) / w;
    return S_OK;
}

HRESULT d3dmath_transform_point_and_direction(D3DVECTOR* out_pair, const D3DVECTOR* in_pair,
                                              const D3DMATRIX* m)
{
    HRESULT result = d3dmath_vector_matrix_multiply(&out_pair[0], &in_pair[0], m);
    if (FAILED(result)) {
        LOG_ERROR("%s\n", "call to d3dmath_vector_matrix_multiply failed.");
        return result;
    }
    // A direction ignores the translation row; the caller's matrix is not
    // touched.
    D3DMATRIX rotation = *m;
    rotation.m[3][0] = rotation.m[3][1] = rotation.m[3][2] = 0.0f;
    return d3dmath_vector_matrix_multiply(&out_pair[1], &in_pair[1], &rotation);
}
