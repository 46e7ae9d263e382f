// Matrix and vector helpers for Direct3D matrices: product, affine inverse
// and point transforms with the w divide. Matrices are row-major for row
// vectors (p' = p . M); mRC is row R, column C.
#pragma once

#include "platform/d3d.h"

// q := b . a. q may be a or b.
void d3dmath_matrix_multiply(D3DMATRIX* q, const D3DMATRIX* a, const D3DMATRIX* b);

// Inverse of an affine matrix (column 3 = (0, 0, 0, 1) within 0.001);
// E_INVALIDARG, q untouched, for any other. A zero determinant is not tested.
HRESULT d3dmath_matrix_invert(D3DMATRIX* q, const D3DMATRIX* a);

// out := (v, 1) . m divided by its w; E_INVALIDARG, out untouched, when |w| is
// below 0.00001. out may be v.
HRESULT d3dmath_vector_matrix_multiply(D3DVECTOR* out, const D3DVECTOR* v, const D3DMATRIX* m);

// out_pair[0] := the point in_pair[0] through m; out_pair[1] := the direction
// in_pair[1] through m without its translation. The first failure is logged
// and returned; otherwise the second result.
HRESULT d3dmath_transform_point_and_direction(D3DVECTOR* out_pair, const D3DVECTOR* in_pair,
                                              const D3DMATRIX* m);
