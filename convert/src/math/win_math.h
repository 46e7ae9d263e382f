// The math library of the value records: 4-by-3 and 4-by-4 matrices with the
// `attrib` mask, transforms, vectors, planes, distances, intersection and
// swept-sphere tests, quaternions and slerp.
//
// Conventions:
// - Points are row vectors: p' = p M. The fourth row of a matrix is the
//   translation; a product a b applies a first.
// - A win_matrix43 whose `attrib` is 0 is the identity to every operation
//   that multiplies by it (its floats are not read). Operations that copy or
//   convert a matrix read its floats whatever `attrib` holds, so a new,
//   all-zero win_matrix43 converts to a win_matrix44 with a zero rotation part.
// - Model space faces the negative z axis with y up; the look-at matrix builds
//   a left-handed view space.
// - Angles are in radians. Arithmetic is in single precision; sin, cos, sqrt
//   and acos are taken in double precision and stored as floats.
// - Every pointer argument is tested first (except where said): a NULL one is
//   refused with the error "Cannot <operation> with NULL <argument>.", nothing
//   is written and the operation's failure value is returned.
// - Operations whose names end in `_inline` are ordinary operations beside
//   their namesakes.
#pragma once

#include "debug.h"
#include "win_geo.h"

// Out-of-band results.
#define WIN_MATH_PARALLEL (-2147483648.0f)  // segment parallel to the plane
#define WIN_MATH_NULL_VALUE 2147483648.0f   // plane distance or determinant of NULL

// The identities every builder starts from (`attrib` 0).
extern const win_matrix43 win_math_identity_matrix43;
extern const win_matrix44 win_math_identity_matrix44;

// ---- Matrices and transforms -------------------------------------------------

// Translation matrices: the identity with the translation row (x, y, z) and
// the translate bit of each non-zero component.
void win_math_set_translate_matrix43_inline(win_matrix43* m, float x, float y, float z);
int win_math_set_translate_matrix43(win_matrix43* m, float x, float y, float z);
void win_math_set_translate_matrix43_from_vect3_inline(win_matrix43* m, const win_vect3* v);
void win_math_set_translate_matrix44_inline(win_matrix44* m, float x, float y, float z);
int win_math_set_translate_matrix44(win_matrix44* m, float x, float y, float z);

// Scale matrices: the identity with each factor other than 1.0 on the
// diagonal and its scale bit set.
void win_math_set_scale_matrix43_inline(win_matrix43* m, float sx, float sy, float sz);
void win_math_set_scale_matrix43_from_vect3_inline(win_matrix43* m, const win_vect3* v);

// Rotations about one axis; the 4-by-3 forms set `attrib` to exactly the
// axis's bit, even for the angle 0.
void win_math_set_rotate_x_matrix43(win_matrix43* mat, float angle);
void win_math_set_rotate_y_matrix43(win_matrix43* mat, float angle);
void win_math_set_rotate_z_matrix43(win_matrix43* mat, float angle);
void win_math_set_rotate_x_matrix44(win_matrix44* mat, float angle);
void win_math_set_rotate_y_matrix44(win_matrix44* mat, float angle);
void win_math_set_rotate_z_matrix44(win_matrix44* mat, float angle);

// Rotation by `angle` about the axis `vDir` (made unit length on a copy);
// `attrib` 7.
void win_math_set_rotation_matrix43(win_matrix43* mat, const win_vect3* vDir, float angle);
void win_math_set_rotation_matrix44(win_matrix44* mat, const win_vect3* vDir, float angle);

// Rotate about x, then y, then z, then translate. Returns 1; 0 for a NULL mat.
int win_math_set_rot_trans_matrix43(win_matrix43* mat, float rotate_x, float rotate_y,
                                    float rotate_z, float translate_x, float translate_y,
                                    float translate_z);
int win_math_set_rot_trans_matrix44(win_matrix44* mat, float rotate_x, float rotate_y,
                                    float rotate_z, float translate_x, float translate_y,
                                    float translate_z);

// Transposes the 3-by-3 part in place (the inverse of a pure rotation) and
// ORs 7 into `attrib`; the translation row stays.
void win_math_transpose_matrix43_inline(win_matrix43* m);

// vDest = vSrc M (normals without the translation row, not renormalised).
// vDest may be vSrc. Return 1; 0 on a NULL argument.
int win_math_multiply_vect3_by_matrix43(win_vect3* vDest, const win_vect3* vSrc,
                                        const win_matrix43* mat);
int win_math_multiply_norm_by_matrix43(win_norm* vDest, const win_norm* vSrc,
                                       const win_matrix43* mat);
// Projected point: (X, Y, Z) / w. A |w| below 2e-6 is refused with
// "w = %f too small" and 0. The win_vect4 form also sets w to 1.0.
int win_math_multiply_vect3_by_matrix44(win_vect3* vDest, const win_vect3* vSrc,
                                        const win_matrix44* mat);
int win_math_multiply_vect4_by_matrix44(win_vect4* vDest, const win_vect3* vSrc,
                                        const win_matrix44* mat);
int win_math_multiply_norm_by_matrix44(win_norm* vDest, const win_norm* vSrc,
                                       const win_matrix44* mat);

// q = a b. A q_mat that is one of the operands is refused ("Cannot store
// matrix_multiply result in source matrix", 0). An operand with `attrib` 0
// makes q a whole copy of the other; else q's `attrib` is the OR of both.
int win_math_multiply_matrix43(win_matrix43* q_mat, const win_matrix43* a_mat,
                               const win_matrix43* b_mat);
int win_math_multiply_matrix44(win_matrix44* q_mat, const win_matrix44* a_mat,
                               const win_matrix44* b_mat);

// Conversions between sizes; both read the floats whatever `attrib` holds.
// The first returns output_matrix (NULL on a NULL argument). The second ORs
// 7 and the bits of the non-zero translation components into the output's
// `attrib`.
win_matrix44* win_math_matrix43_to_matrix44(win_matrix44* output_matrix,
                                            const win_matrix43* input_matrix);
void win_math_matrix44_to_matrix43(win_matrix43* output_matrix, const win_matrix44* input_matrix);

// win_xform to win_matrix43, trusting the xform's `attrib`. The names give
// the order: txzy rotates x, z, y (all three present) and copies the
// translation; xyzt and xzyt rotate x, y, z and x, z, y and put the
// translation through the rotation and scale. Return 1; 0 on a NULL argument
// or an `attrib` with bits above 256 ("win_xform->attrib = %ld,
// win_matrix43->attrib = %ld"), the matrix then holding the known bits.
int win_math_xform_to_txzy_matrix43(const win_xform* xform, win_matrix43* matrix);
int win_math_xform_to_xyzt_matrix43(const win_xform* xform, win_matrix43* matrix);
int win_math_xform_to_xzyt_matrix43(const win_xform* xform, win_matrix43* matrix);

// Rewrites the xform's `attrib` from its values: rotations and translations
// not 0.0, scales not 1.0.
int win_math_set_xform_attrib(win_xform* xform);

// Viewing matrix from the eye vFrom towards vAt with vUp (NULL: (0, 1, 0));
// its columns are right, up and view. Returns 0 with mat unchanged when the
// eye and target coincide or no up direction can be found.
int win_math_set_look_at_matrix43(win_matrix43* mat, const win_vect3* vFrom, const win_vect3* vAt,
                                  const win_vect3* vUp);

// ---- Vectors, planes and distances -------------------------------------------

// Lengths (w ignored); -1.0 on a NULL argument.
float win_math_magnitude_vect3_inline(const win_vect3* v);
float win_math_magnitude_vect3(const win_vect3* v);
float win_math_magnitude_vect4_inline(const win_vect4* v);
float win_math_magnitude_norm_inline(const win_norm* v);
float win_math_magnitude_norm(const win_norm* v);

// Dot products (w ignored); 0.0 on a NULL argument.
float win_math_dot_product_vect3_inline(const win_vect3* v1, const win_vect3* v2);
float win_math_dot_product_vect3(const win_vect3* v1, const win_vect3* v2);
float win_math_dot_product_vect4_inline(const win_vect4* v1, const win_vect4* v2);
float win_math_dot_product_norm_inline(const win_norm* v1, const win_norm* v2);
float win_math_dot_product_norm(const win_norm* v1, const win_norm* v2);

// vResult = v1 x v2. A vResult that is v1 or v2 is refused with an error and
// nothing is written. The vect4 form sets vResult's w to 1.0.
void win_math_cross_product_vect3_inline(win_vect3* vResult, const win_vect3* v1,
                                         const win_vect3* v2);
void win_math_cross_product_vect4_inline(win_vect4* vResult, const win_vect4* v1,
                                         const win_vect4* v2);
void win_math_cross_product_norm_inline(win_norm* vResult, const win_norm* v1, const win_norm* v2);
int win_math_cross_product_vect3(win_vect3* vResult, const win_vect3* v1, const win_vect3* v2);
int win_math_cross_product_norm(win_norm* vResult, const win_norm* v1, const win_norm* v2);

// Normalise in place; return the length before. A length below 2e-6 logs
// "Bad magnitude = %f", zeroes x, y, z and returns -1.0.
float win_math_normalize_vect3_inline(win_vect3* v);
float win_math_normalize_vect4_inline(win_vect4* v);
float win_math_normalize_norm_inline(win_norm* v);
float win_math_normalize_norm(win_norm* v);
// The library's internal normaliser: fails ("Could not unitize_vect", -1.0,
// vector unchanged) when the squared length is below 2e-6.
float win_math_unitize_win_vect(win_vect3* the_vect);

// Distances between points; -1.0 on a NULL argument.
float win_math_calc_dist(const win_vect3* vect_0, const win_vect3* vect_1);
float win_math_calc_xz_dist(const win_vect3* vect_0, const win_vect3* vect_1);
float win_math_calc_dist_squared(const win_vect3* vect_0, const win_vect3* vect_1);
// result_vect = vect_1 - vect_0.
int win_math_calc_win_dist(win_vect3* result_vect, const win_vect3* vect_0,
                           const win_vect3* vect_1);
// The unit vector from vect_0 towards vect_1; 0 (nothing written, nothing
// logged) when they are closer than 2e-6.
int win_math_calc_normalized_win_dist(win_vect3* result_vect, const win_vect3* vect_0,
                                      const win_vect3* vect_1);

// Facing directions of a transform (its rotation and scale only): forward
// (0, 0, -1), up (0, 1, 0), and forward flattened to the xz or yz plane and
// made unit length.
int win_math_calc_direction_win_vect(win_vect3* win_vect, const win_matrix43* win_matrix);
int win_math_calc_up_direction_win_vect(win_vect3* win_vect, const win_matrix43* win_matrix);
int win_math_calc_xz_direction_vect3(win_vect3* win_vect, const win_matrix43* win_matrix);
int win_math_calc_yz_direction_vect3(win_vect3* win_vect, const win_matrix43* win_matrix);

// 1 when -b <= a <= b.
int win_math_within_tolerance(float a, float b);

// The plane through three points: normal (v1 - v0) x (v2 - v0) made unit
// length, d = n . vtx_1. Returns 0 for a degenerate triangle (the plane is
// written anyway, with a zero normal).
int d3dmath_calc_norm(win_plane* plane, const win_vect3* vtx_0, const win_vect3* vtx_1,
                      const win_vect3* vtx_2);
// n . p - d; WIN_MATH_NULL_VALUE on a NULL argument.
float win_math_point_to_plane_dist(const win_vect3* point, const win_plane* plane);
// result_point = p - (n . p - d) n, for a unit normal.
int win_math_project_point_onto_plane(win_vect3* result_point, const win_vect3* point,
                                      const win_plane* plane);
// result_vect = v - 2 (v . n) n, for a unit normal; result_vect may be vector.
void win_math_reflect_vect3_about_norm(win_vect3* result_vect, const win_vect3* vector,
                                       const win_norm* norm);

// ---- Intersections and swept spheres ----------------------------------------

// WIN_MATH_NULL_VALUE for a NULL mat.
float win_math_calc_matrix33_determinant(const win_matrix33* mat);
// The point common to three planes; 0 with "planes are parallel. Unable to
// calculate intersection point." when the determinant of the normals is 0.
int win_math_calc_3_plane_intersection(win_vect3* intersect_pnt, const win_plane* plane_1,
                                       const win_plane* plane_2, const win_plane* plane_3);
// Where the segment tail-head crosses the plane, as the unclamped fraction t
// from tail to head, with the point in result_vtx. WIN_MATH_PARALLEL (and
// nothing written) for a segment parallel to the plane; the tolerance form
// returns 0.0 with result_vtx = tail instead when an end point lies within
// `tolerance` of the plane.
float win_math_line_plane_intersect(const win_vect3* tail_vtx, const win_vect3* head_vtx,
                                    const win_plane* plane, win_vect3* result_vtx);
float win_math_line_plane_intersect_tolerance(const win_vect3* tail_vtx, const win_vect3* head_vtx,
                                              const win_plane* plane, float tolerance,
                                              win_vect3* result_vtx);
// Coarse test: 1 when the segment reaches the sphere of radius
// radius_a + radius_b about `centre`, else 0 (also for a NULL point).
int win_math_line_sphere_intersect(const win_vect3* tail, const win_vect3* head,
                                   const win_vect3* centre, float radius_a, float radius_b);
// Capsule against capsule: each is a start point P, the full segment vector D
// with its length L (> 0) and a radius R. The squared distance between the
// axes where they touch, -1.0 when they are apart. Takes no NULL pointers.
float win_math_line_line_intersect(const win_vect3* P0, const win_vect3* D0, float L0, float R0,
                                   const win_vect3* P1, const win_vect3* D1, float L1, float R1);

// ---- Quaternions ---------------------------------------------------------------
// These take no NULL pointers and return 1.

int win_math_add_quat(win_quat* q, const win_quat* a, const win_quat* b);
int win_math_subtract_quat(win_quat* q, const win_quat* a, const win_quat* b);
// The Hamilton product a b; its matrix is the product of the matrices of a
// and b (a applied first).
int win_math_multiply_quat(win_quat* q, const win_quat* a, const win_quat* b);
// Rotation matrix of a unit quaternion; `attrib` 7, translation 0.
int win_math_quat_to_matrix43(win_matrix43* mat, const win_quat* quat);
int win_math_quat_to_matrix44(win_matrix44* mat, const win_quat* quat);
// Quaternion (w >= 0) of a rotation matrix; `attrib` and translation are not
// read. The inverse of the conversions above.
int win_math_matrix43_to_quat(win_quat* quat, const win_matrix43* mat);
int win_math_matrix44_to_quat(win_quat* quat, const win_matrix44* mat);
// result = slerp(q0, q1, t), not renormalised. When q1 is nearer to -q0
// than to q0 the caller's q1 is negated in place.
int win_math_slerp_quat(win_quat* result, const win_quat* q0, win_quat* q1, float t);
