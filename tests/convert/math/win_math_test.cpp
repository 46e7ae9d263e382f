#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "debug.h"
#include "test_support.h"
#include "win_math.h"

namespace {

const float kPi = 3.14159265f;
const float kHalfPi = 1.57079633f;
const float kTol = 1e-5f;

using Strings = std::vector<std::string>;

void expect_vect(const win_vect3& v, float x, float y, float z, float tol = kTol)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

void expect_quat(const win_quat& q, float x, float y, float z, float w, float tol = kTol)
{
    EXPECT_NEAR(q.x, x, tol);
    EXPECT_NEAR(q.y, y, tol);
    EXPECT_NEAR(q.z, z, tol);
    EXPECT_NEAR(q.w, w, tol);
}

// Rows of the 3-by-3 part, then the translation row.
void expect_matrix43(const win_matrix43& m, const float (&rows)[4][3], int32_t attrib,
                     float tol = kTol)
{
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 3; c++)
            EXPECT_NEAR(m.m[r][c], rows[r][c], tol) << "m" << r << c;
    EXPECT_EQ(m.attrib, attrib);
}

win_vect3 transform(const win_matrix43& m, win_vect3 p)
{
    win_vect3 out;
    EXPECT_EQ(win_math_multiply_vect3_by_matrix43(&out, &p, &m), 1);
    return out;
}

bool same_bytes(const void* a, const void* b, size_t size)
{
    return std::memcmp(a, b, size) == 0;
}

// A matrix with every float set, to show what an operation reads or leaves.
win_matrix43 filled_matrix43(int32_t attrib)
{
    win_matrix43 m;
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 3; c++)
            m.m[r][c] = (float)(r * 3 + c + 1);
    m.attrib = attrib;
    return m;
}

}  // namespace

// ---- Matrices and the attrib mask ---------------------------------------------------

TEST(WinMathMatrix, Attrib0IsTheIdentityToProductsWithoutReadingFloats)
{
    const win_matrix43 zero = {};  // what a new record holds: all 0.0, attrib 0
    const win_vect3 p = {1.5f, -2.0f, 3.25f};
    win_vect3 out;
    ASSERT_EQ(win_math_multiply_vect3_by_matrix43(&out, &p, &zero), 1);
    EXPECT_TRUE(same_bytes(&out, &p, sizeof p));

    const win_norm n = {0.0f, 1.0f, 0.0f};
    win_norm n_out;
    ASSERT_EQ(win_math_multiply_norm_by_matrix43(&n_out, &n, &zero), 1);
    EXPECT_TRUE(same_bytes(&n_out, &n, sizeof n));

    // The same floats with any bit set are read: every point goes to 0.
    win_matrix43 translate_bit = zero;
    translate_bit.attrib = WIN_ATTRIB_TRANSLATE_X;
    expect_vect(transform(translate_bit, p), 0.0f, 0.0f, 0.0f);

    // A product with an attrib-0 operand is a whole copy of the other one.
    const win_matrix43 b = filled_matrix43(WIN_ATTRIB_ROTATE_Y | WIN_ATTRIB_SCALE_Z);
    win_matrix43 q;
    ASSERT_EQ(win_math_multiply_matrix43(&q, &zero, &b), 1);
    EXPECT_TRUE(same_bytes(&q, &b, sizeof q));
    ASSERT_EQ(win_math_multiply_matrix43(&q, &b, &zero), 1);
    EXPECT_TRUE(same_bytes(&q, &b, sizeof q));
}

TEST(WinMathMatrix, PointTimesMatrixMayOverwriteItsSource)
{
    win_matrix43 m;
    win_math_set_rot_trans_matrix43(&m, 0.0f, kHalfPi, 0.0f, 10.0f, 0.0f, 0.0f);
    win_vect3 p = {1.0f, 2.0f, 3.0f};
    ASSERT_EQ(win_math_multiply_vect3_by_matrix43(&p, &p, &m), 1);
    // (1, 2, 3) turned about y: x' = z, z' = -x; then moved by 10 in x.
    expect_vect(p, 13.0f, 2.0f, -1.0f);

    win_norm n = {1.0f, 2.0f, 3.0f};
    ASSERT_EQ(win_math_multiply_norm_by_matrix43(&n, &n, &m), 1);
    EXPECT_NEAR(n.x, 3.0f, kTol);
    EXPECT_NEAR(n.y, 2.0f, kTol);
    EXPECT_NEAR(n.z, -1.0f, kTol);
}

TEST(WinMathMatrix, BuildersMapPoints)
{
    struct Case {
        const char* name;
        std::function<void(win_matrix43*)> build;
        win_vect3 point;
        win_vect3 expected;
        int32_t attrib;
    };
    const win_vect3 axis_111 = {1.0f, 1.0f, 1.0f};
    const Case cases[] = {
        {"rotate x",
         [](win_matrix43* m) { win_math_set_rotate_x_matrix43(m, kHalfPi); },
         {0, 1, 0},
         {0, 0, 1},
         1},
        {"rotate y",
         [](win_matrix43* m) { win_math_set_rotate_y_matrix43(m, kHalfPi); },
         {1, 0, 0},
         {0, 0, -1},
         2},
        {"rotate y, z axis",
         [](win_matrix43* m) { win_math_set_rotate_y_matrix43(m, kHalfPi); },
         {0, 0, 1},
         {1, 0, 0},
         2},
        {"rotate z",
         [](win_matrix43* m) { win_math_set_rotate_z_matrix43(m, kHalfPi); },
         {1, 0, 0},
         {0, 1, 0},
         4},
        {"rotate y by 0 keeps its bit",
         [](win_matrix43* m) { win_math_set_rotate_y_matrix43(m, 0.0f); },
         {1, 2, 3},
         {1, 2, 3},
         2},
        {"translate",
         [](win_matrix43* m) { EXPECT_EQ(win_math_set_translate_matrix43(m, 1, 0, -2), 1); },
         {1, 1, 1},
         {2, 1, -1},
         8 | 32},
        {"translate inline",
         [](win_matrix43* m) { win_math_set_translate_matrix43_inline(m, 0, 5, 0); },
         {1, 1, 1},
         {1, 6, 1},
         16},
        {"translate from vect3",
         [](win_matrix43* m) {
             const win_vect3 v = {1, 2, 3};
             win_math_set_translate_matrix43_from_vect3_inline(m, &v);
         },
         {0, 0, 0},
         {1, 2, 3},
         56},
        {"scale",
         [](win_matrix43* m) { win_math_set_scale_matrix43_inline(m, 2, 1, 3); },
         {1, 1, 1},
         {2, 1, 3},
         64 | 256},
        {"scale from vect3",
         [](win_matrix43* m) {
             const win_vect3 v = {1, 0.5f, 1};
             win_math_set_scale_matrix43_from_vect3_inline(m, &v);
         },
         {4, 4, 4},
         {4, 2, 4},
         128},
        {"rot_trans translation only",
         [](win_matrix43* m) {
             EXPECT_EQ(win_math_set_rot_trans_matrix43(m, 0, 0, 0, 1, 2, 3), 1);
         },
         {0, 0, 0},
         {1, 2, 3},
         63},
        {"rot_trans turns about x before y",
         [](win_matrix43* m) { win_math_set_rot_trans_matrix43(m, kHalfPi, kHalfPi, 0, 0, 0, 0); },
         {0, 1, 0},
         {1, 0, 0},
         7},
        {"rot_trans turns before it moves",
         [](win_matrix43* m) { win_math_set_rot_trans_matrix43(m, 0, kHalfPi, 0, 1, 2, 3); },
         {1, 0, 0},
         {1, 2, 2},
         63},
        {"axis (1, 1, 1) by 120 degrees",
         [&](win_matrix43* m) { win_math_set_rotation_matrix43(m, &axis_111, 2.0943951f); },
         {1, 0, 0},
         {0, 1, 0},
         7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win_matrix43 m = filled_matrix43(0x1ff);
        c.build(&m);
        EXPECT_EQ(m.attrib, c.attrib);
        expect_vect(transform(m, c.point), c.expected.x, c.expected.y, c.expected.z);
    }
}

TEST(WinMathMatrix, AxisRotationMatchesSingleAxisBuildersAndKeepsItsAxis)
{
    const win_vect3 axes[3] = {{3, 0, 0}, {0, 0.5f, 0}, {0, 0, 2}};  // not unit length
    void (*single[3])(win_matrix43*, float) = {win_math_set_rotate_x_matrix43,
                                               win_math_set_rotate_y_matrix43,
                                               win_math_set_rotate_z_matrix43};
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        win_vect3 axis = axes[i];
        win_matrix43 general, expected;
        win_math_set_rotation_matrix43(&general, &axis, 0.3f);
        single[i](&expected, 0.3f);
        for (int r = 0; r < 4; r++)
            for (int c = 0; c < 3; c++)
                EXPECT_NEAR(general.m[r][c], expected.m[r][c], kTol);
        EXPECT_EQ(general.attrib, 7);
        EXPECT_TRUE(same_bytes(&axis, &axes[i], sizeof axis));

        win_matrix44 general44;
        win_math_set_rotation_matrix44(&general44, &axis, 0.3f);
        for (int r = 0; r < 4; r++)
            for (int c = 0; c < 4; c++)
                EXPECT_NEAR(general44.m[r][c], c < 3 ? expected.m[r][c] : (r == 3 ? 1.0f : 0.0f),
                            kTol);
    }
}

TEST(WinMathMatrix, ProductOfTwoMatrices)
{
    // Scale by 2, then translate by (1, 2, 3): the translation is not scaled;
    // the other order scales it.
    win_matrix43 s, t, st, ts;
    win_math_set_scale_matrix43_inline(&s, 2, 2, 2);
    win_math_set_translate_matrix43(&t, 1, 2, 3);
    ASSERT_EQ(win_math_multiply_matrix43(&st, &s, &t), 1);
    expect_matrix43(st, {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}, {1, 2, 3}}, 0x1c0 | 0x38);
    ASSERT_EQ(win_math_multiply_matrix43(&ts, &t, &s), 1);
    expect_matrix43(ts, {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}, {2, 4, 6}}, 0x1f8);

    // Rotation about z by 90 degrees, then about x by 90 degrees.
    win_matrix43 rz, rx, q;
    win_math_set_rotate_z_matrix43(&rz, kHalfPi);
    win_math_set_rotate_x_matrix43(&rx, kHalfPi);
    ASSERT_EQ(win_math_multiply_matrix43(&q, &rz, &rx), 1);
    expect_matrix43(q, {{0, 0, 1}, {-1, 0, 0}, {0, -1, 0}, {0, 0, 0}}, 5);
}

TEST(WinMathMatrix, ProductIntoAnOperandIsRefused)
{
    LogCapture log;
    const win_matrix43 b = filled_matrix43(7);
    win_matrix43 q = filled_matrix43(3);
    const win_matrix43 before = q;
    EXPECT_EQ(win_math_multiply_matrix43(&q, &q, &b), 0);
    EXPECT_EQ(win_math_multiply_matrix43(&q, &b, &q), 0);
    EXPECT_TRUE(same_bytes(&q, &before, sizeof q));

    win_matrix44 q44 = win_math_identity_matrix44;
    const win_matrix44 b44 = win_math_identity_matrix44;
    EXPECT_EQ(win_math_multiply_matrix44(&q44, &b44, &q44), 0);
    EXPECT_EQ(log.errors(), Strings(3, "Cannot store matrix_multiply result in source matrix"));
}

TEST(WinMathMatrix, TransposeSwapsTheRotationPartOnly)
{
    win_matrix43 m = filled_matrix43(WIN_ATTRIB_TRANSLATE_X);
    win_math_transpose_matrix43_inline(&m);
    expect_matrix43(m, {{1, 4, 7}, {2, 5, 8}, {3, 6, 9}, {10, 11, 12}}, 15, 0.0f);
}

TEST(WinMathMatrix, ConversionsBetweenSizes)
{
    // A new, all-zero matrix43 is not the identity here: only m33 is set.
    const win_matrix43 zero = {};
    win_matrix44 out;
    std::memset(&out, 0x7f, sizeof out);
    EXPECT_EQ(win_math_matrix43_to_matrix44(&out, &zero), &out);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_EQ(out.m[r][c], r == 3 && c == 3 ? 1.0f : 0.0f) << r << c;

    const win_matrix43 filled = filled_matrix43(0);
    win_math_matrix43_to_matrix44(&out, &filled);
    const float rows[4][4] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}, {10, 11, 12, 1}};
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_EQ(out.m[r][c], rows[r][c]);

    // Back to 4-by-3: 7 and the non-zero translation bits are ORed in, bits
    // already set stay.
    win_matrix44 translated = win_math_identity_matrix44;
    translated.m[3][1] = 5.0f;
    win_matrix43 back = {};
    back.attrib = WIN_ATTRIB_SCALE_X;
    win_math_matrix44_to_matrix43(&back, &translated);
    expect_matrix43(back, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 5, 0}}, 64 | 7 | 16, 0.0f);
}

TEST(WinMathMatrix, Matrix44PointsAreProjected)
{
    // w = z: the point is divided by its depth.
    win_matrix44 m = win_math_identity_matrix44;
    m.m[2][3] = 1.0f;
    m.m[3][3] = 0.0f;
    const win_vect3 p = {2.0f, 4.0f, 2.0f};
    win_vect3 out;
    ASSERT_EQ(win_math_multiply_vect3_by_matrix44(&out, &p, &m), 1);
    expect_vect(out, 1.0f, 2.0f, 1.0f);
    win_vect4 out4;
    ASSERT_EQ(win_math_multiply_vect4_by_matrix44(&out4, &p, &m), 1);
    EXPECT_EQ(out4.w, 1.0f);
    EXPECT_NEAR(out4.y, 2.0f, kTol);

    LogCapture log;
    const win_vect3 at_eye = {2.0f, 4.0f, 0.0f};
    win_vect3 unchanged = {7, 7, 7};
    EXPECT_EQ(win_math_multiply_vect3_by_matrix44(&unchanged, &at_eye, &m), 0);
    expect_vect(unchanged, 7, 7, 7, 0.0f);
    EXPECT_EQ(log.errors(), Strings{"w = 0.000000 too small"});
    // Only a w below 2e-6 is too small.
    win_matrix44 faint = win_math_identity_matrix44;
    faint.m[3][3] = 2e-6f;
    const win_vect3 near_eye = {2e-6f, 0.0f, 0.0f};
    ASSERT_EQ(win_math_multiply_vect3_by_matrix44(&out, &near_eye, &faint), 1);
    expect_vect(out, 1.0f, 0.0f, 0.0f);

    // Normals: no translation, no division.
    win_matrix44 r;
    win_math_set_rot_trans_matrix44(&r, 0, kHalfPi, 0, 5, 5, 5);
    const win_norm n = {1, 0, 0};
    win_norm n_out;
    ASSERT_EQ(win_math_multiply_norm_by_matrix44(&n_out, &n, &r), 1);
    EXPECT_NEAR(n_out.x, 0.0f, kTol);
    EXPECT_NEAR(n_out.z, -1.0f, kTol);
}

TEST(WinMathMatrix, Matrix44BuildersAgreeWithMatrix43)
{
    win_matrix43 m43;
    win_matrix44 m44, expected;
    EXPECT_EQ(win_math_set_rot_trans_matrix43(&m43, 0.1f, 0.2f, 0.3f, 4, 5, 6), 1);
    EXPECT_EQ(win_math_set_rot_trans_matrix44(&m44, 0.1f, 0.2f, 0.3f, 4, 5, 6), 1);
    win_math_matrix43_to_matrix44(&expected, &m43);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_NEAR(m44.m[r][c], expected.m[r][c], kTol);

    for (int with_result = 0; with_result < 2; with_result++) {
        m44 = expected;
        if (with_result)
            EXPECT_EQ(win_math_set_translate_matrix44(&m44, 1, 2, 3), 1);
        else
            win_math_set_translate_matrix44_inline(&m44, 1, 2, 3);
        EXPECT_EQ(m44.m[3][0], 1.0f);
        EXPECT_EQ(m44.m[3][2], 3.0f);
        EXPECT_EQ(m44.m[3][3], 1.0f);
        EXPECT_EQ(m44.m[0][1], 0.0f);
    }
    win_math_set_rotate_z_matrix44(&m44, kHalfPi);
    EXPECT_NEAR(m44.m[0][1], 1.0f, kTol);
    EXPECT_NEAR(m44.m[1][0], -1.0f, kTol);
    EXPECT_EQ(m44.m[3][3], 1.0f);
}

TEST(WinMathMatrix, XformAttribFromValues)
{
    struct Case {
        win_xform xform;
        int32_t attrib;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0, 0, 1, 1, 1, 0x1ff}, 0},
        {{1, 0, 0, 0, 0.5f, 0, 1, 1, 1, 0}, 8 | 2},
        {{0, 0, -3, 0.1f, 0, 0, 1, 2, 1, 0}, 32 | 1 | 128},
        {{1, 2, 3, 1, 2, 3, 0, 0, 0, 0}, 0x1ff},
    };
    for (const Case& c : cases) {
        win_xform xform = c.xform;
        ASSERT_EQ(win_math_set_xform_attrib(&xform), 1);
        EXPECT_EQ(xform.attrib, c.attrib);
    }
}

TEST(WinMathMatrix, XformConvertersFollowTheMaskAndTheirOrder)
{
    using Converter = int (*)(const win_xform*, win_matrix43*);
    struct Case {
        const char* name;
        Converter convert;
        win_xform xform;  // translate, rotate, scale, attrib
        win_vect3 point;
        win_vect3 expected;
    };
    const float h = kHalfPi;
    const Case cases[] = {
        // The mask is trusted: values without their bit are not read.
        {"attrib 0",
         win_math_xform_to_txzy_matrix43,
         {5, 5, 5, 1, 1, 1, 3, 3, 3, 0},
         {1, 2, 3},
         {1, 2, 3}},
        {"x alone",
         win_math_xform_to_txzy_matrix43,
         {0, 0, 0, h, 0, 0, 1, 1, 1, 1},
         {0, 1, 0},
         {0, 0, 1}},
        // y then z (not z then y).
        {"y and z",
         win_math_xform_to_txzy_matrix43,
         {0, 0, 0, 0, h, h, 1, 1, 1, 6},
         {0, 0, 1},
         {0, 1, 0}},
        // All three: x, z, y for txzy and xzyt; x, y, z for xyzt.
        {"txzy three axes",
         win_math_xform_to_txzy_matrix43,
         {0, 0, 0, h, h, h, 1, 1, 1, 7},
         {0, 1, 0},
         {1, 0, 0}},
        {"xzyt three axes",
         win_math_xform_to_xzyt_matrix43,
         {0, 0, 0, h, h, h, 1, 1, 1, 7},
         {0, 1, 0},
         {1, 0, 0}},
        {"xyzt three axes",
         win_math_xform_to_xyzt_matrix43,
         {0, 0, 0, h, h, h, 1, 1, 1, 7},
         {0, 1, 0},
         {0, 1, 0}},
        // The translation is copied by txzy and turned by the others.
        {"txzy translation",
         win_math_xform_to_txzy_matrix43,
         {1, 0, 0, 0, h, 0, 1, 1, 1, 2 | 8},
         {0, 0, 0},
         {1, 0, 0}},
        {"xzyt translation",
         win_math_xform_to_xzyt_matrix43,
         {1, 0, 0, 0, h, 0, 1, 1, 1, 2 | 8},
         {0, 0, 0},
         {0, 0, -1}},
        {"txzy scale",
         win_math_xform_to_txzy_matrix43,
         {1, 2, 3, 0, 0, 0, 2, 2, 2, 0x1f8},
         {0, 0, 0},
         {1, 2, 3}},
        {"xyzt scale",
         win_math_xform_to_xyzt_matrix43,
         {1, 2, 3, 0, 0, 0, 2, 2, 2, 0x1f8},
         {0, 0, 0},
         {2, 4, 6}},
        {"xzyt scale",
         win_math_xform_to_xzyt_matrix43,
         {1, 2, 3, 0, 0, 0, 2, 2, 2, 0x1f8},
         {1, 1, 1},
         {4, 6, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win_matrix43 m = filled_matrix43(-1);
        ASSERT_EQ(c.convert(&c.xform, &m), 1);
        EXPECT_EQ(m.attrib, c.xform.attrib);
        expect_vect(transform(m, c.point), c.expected.x, c.expected.y, c.expected.z);
    }

    win_xform scaled = {1, 2, 3, 0, 0, 0, 2, 2, 2, 0x1f8};
    win_matrix43 m;
    win_math_xform_to_txzy_matrix43(&scaled, &m);
    expect_matrix43(m, {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}, {1, 2, 3}}, 0x1f8, 0.0f);
}

TEST(WinMathMatrix, XformWithUnknownBitsIsReported)
{
    LogCapture log;
    const win_xform unknown = {1, 1, 1, 1, 1, 1, 2, 2, 2, 0x200};
    win_matrix43 m = filled_matrix43(5);
    EXPECT_EQ(win_math_xform_to_txzy_matrix43(&unknown, &m), 0);
    expect_matrix43(m, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}, 0, 0.0f);
    EXPECT_EQ(log.errors(), Strings{"win_xform->attrib = 512, win_matrix43->attrib = 0"});
}

TEST(WinMathMatrix, LookAtBuildsALeftHandedView)
{
    struct Case {
        const char* name;
        win_vect3 from, at;
        std::vector<std::pair<win_vect3, win_vect3>> maps;  // world point, view point
        int32_t attrib;
    };
    const Case cases[] = {
        {"along +z from the origin", {0, 0, 0}, {0, 0, 1}, {{{1, 2, 3}, {1, 2, 3}}}, 7},
        // Looking along +x with y up, the right hand points to -z.
        {"along +x",
         {0, 0, 0},
         {5, 0, 0},
         {{{5, 0, 0}, {0, 0, 5}}, {{0, 0, -1}, {1, 0, 0}}, {{0, 1, 0}, {0, 1, 0}}},
         7},
        {"eye behind the origin", {0, 0, -5}, {0, 0, 0}, {{{0, 0, 0}, {0, 0, 5}}}, 7 | 32},
        // Straight down: neither the given up nor y is usable, z takes over.
        {"straight down",
         {0, 10, 0},
         {0, 0, 0},
         {{{0, 0, 0}, {0, 0, 10}}, {{0, 10, 1}, {0, 1, 0}}, {{1, 10, 0}, {1, 0, 0}}},
         7 | 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win_matrix43 m;
        ASSERT_EQ(win_math_set_look_at_matrix43(&m, &c.from, &c.at, NULL), 1);
        EXPECT_EQ(m.attrib, c.attrib);
        for (const auto& [world, view] : c.maps)
            expect_vect(transform(m, world), view.x, view.y, view.z);
    }

    // A given up direction is kept when it is usable, whatever its length.
    const win_vect3 from = {0, 0, 0}, at = {0, 0, 1};
    for (const win_vect3& up : {win_vect3{1, 0, 0}, win_vect3{3, 0, 0}}) {
        win_matrix43 m;
        ASSERT_EQ(win_math_set_look_at_matrix43(&m, &from, &at, &up), 1);
        expect_vect(transform(m, {1, 0, 0}), 0, 1, 0);
        expect_vect(transform(m, {0, -1, 0}), 1, 0, 0);
    }
}

TEST(WinMathMatrix, DegenerateLookAt)
{
    LogCapture log;
    const win_vect3 eye = {1, 2, 3};
    win_matrix43 m = filled_matrix43(9);
    const win_matrix43 before = m;
    EXPECT_EQ(win_math_set_look_at_matrix43(&m, &eye, &eye, NULL), 0);
    EXPECT_TRUE(same_bytes(&m, &before, sizeof m));
    EXPECT_EQ(log.errors(), Strings{"Magnitude of View vector < 1e-6f."});

    // Too close to unitize, far enough to look: the view stays unnormalised.
    const win_vect3 near = {1, 2, 3.0001f};
    EXPECT_EQ(win_math_set_look_at_matrix43(&m, &eye, &near, NULL), 1);
    EXPECT_NEAR(m.m[2][2], 0.0001f, 1e-6f);
    EXPECT_EQ(log.errors().back(), "Could not unitize_vect");
}

TEST(WinMathMatrix, NullArgumentsAreRefused)
{
    LogCapture log;
    win_matrix43 m = filled_matrix43(1);
    win_matrix44 m44 = win_math_identity_matrix44;
    win_vect3 v = {1, 2, 3};
    win_xform xform = {};
    EXPECT_EQ(win_math_multiply_vect3_by_matrix43(NULL, &v, &m), 0);
    EXPECT_EQ(win_math_multiply_matrix43(&m, NULL, &m), 0);
    EXPECT_EQ(win_math_matrix43_to_matrix44(&m44, NULL), nullptr);
    EXPECT_EQ(win_math_xform_to_xzyt_matrix43(NULL, &m), 0);
    EXPECT_EQ(win_math_xform_to_txzy_matrix43(&xform, NULL), 0);
    EXPECT_EQ(win_math_set_look_at_matrix43(&m, &v, NULL, NULL), 0);
    EXPECT_EQ(win_math_set_rot_trans_matrix43(NULL, 0, 0, 0, 0, 0, 0), 0);
    win_math_set_rotate_y_matrix43(NULL, 1.0f);
    win_math_set_rotation_matrix43(&m, NULL, 1.0f);
    EXPECT_EQ(log.errors(), (Strings{
                                "Cannot win_math_multiply_vect3_by_matrix43 with NULL vDest.",
                                "Cannot win_math_multiply_matrix43 with NULL a_mat.",
                                "Cannot win_math_matrix43_to_matrix44 with NULL input_matrix.",
                                "Cannot win_math_xform_to_xyzt_matrix43 with NULL win_xform.",
                                "Cannot win_math_xform_to_txzy_matrix43 with NULL win_matrix43.",
                                "Cannot win_math_set_look_at_matrix43 with NULL vAt.",
                                "Cannot win_math_set_rot_trans_matrix43 with NULL mat.",
                                "Cannot win_math_set_rotate_y_matrix43 with NULL mat.",
                                "Cannot win_math_set_rotation_matrix43 with NULL vDir.",
                            }));
    expect_matrix43(m, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}}, 1, 0.0f);
}

// ---- Vectors, planes and distances -------------------------------------------------

TEST(WinMathVect, NormalisersAndUnitize)
{
    LogCapture log;
    win_norm n = {3, 0, 4};
    EXPECT_FLOAT_EQ(win_math_normalize_norm(&n), 5.0f);
    EXPECT_FLOAT_EQ(n.x, 0.6f);
    EXPECT_FLOAT_EQ(n.z, 0.8f);

    win_norm zero = {0, 0, 0};
    EXPECT_EQ(win_math_normalize_norm(&zero), -1.0f);
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(log.errors(), Strings{"Bad magnitude = 0.000000"});

    // The normalisers zero a vector too short for them: one shorter than 2e-6.
    win_vect3 tiny = {1e-6f, 0, 0};
    EXPECT_EQ(win_math_normalize_vect3_inline(&tiny), -1.0f);
    expect_vect(tiny, 0, 0, 0, 0.0f);
    win_vect3 shortest = {0, 2e-6f, 0};
    EXPECT_EQ(win_math_normalize_vect3_inline(&shortest), 2e-6f);
    expect_vect(shortest, 0, 1, 0);

    // Unitize tests the squared length: 0.001 is too short for it, and it
    // leaves the vector alone; the normalisers take it.
    win_vect3 short_vect = {0.001f, 0, 0};
    EXPECT_EQ(win_math_unitize_win_vect(&short_vect), -1.0f);
    EXPECT_EQ(short_vect.x, 0.001f);
    EXPECT_EQ(log.errors().back(), "Could not unitize_vect");
    EXPECT_FLOAT_EQ(win_math_normalize_vect3_inline(&short_vect), 0.001f);
    EXPECT_FLOAT_EQ(short_vect.x, 1.0f);

    win_vect3 v = {0, -2, 0};
    EXPECT_FLOAT_EQ(win_math_unitize_win_vect(&v), 2.0f);
    expect_vect(v, 0, -1, 0);
    // The shortest it takes: a squared length of exactly 2e-6.
    win_vect3 least = {0x1.72ba44p-10f, 0, 0};
    ASSERT_EQ(least.x * least.x, 2e-6f);
    EXPECT_FLOAT_EQ(win_math_unitize_win_vect(&least), 0x1.72ba44p-10f);
    expect_vect(least, 1, 0, 0);

    // The vect4 forms work on x, y, z only.
    win_vect4 v4 = {0, 3, 4, 9};
    EXPECT_FLOAT_EQ(win_math_magnitude_vect4_inline(&v4), 5.0f);
    EXPECT_FLOAT_EQ(win_math_normalize_vect4_inline(&v4), 5.0f);
    EXPECT_FLOAT_EQ(v4.y, 0.6f);
    EXPECT_EQ(v4.w, 9.0f);
}

TEST(WinMathVect, LengthsAndDotProducts)
{
    const win_vect3 a = {1, 2, 2}, b = {3, -1, 0.5f};
    const win_norm na = {1, 2, 2}, nb = {3, -1, 0.5f};
    const win_vect4 a4 = {1, 2, 2, 100}, b4 = {3, -1, 0.5f, 100};
    EXPECT_FLOAT_EQ(win_math_magnitude_vect3(&a), 3.0f);
    EXPECT_FLOAT_EQ(win_math_magnitude_vect3_inline(&a), 3.0f);
    EXPECT_FLOAT_EQ(win_math_magnitude_norm(&na), 3.0f);
    EXPECT_FLOAT_EQ(win_math_magnitude_norm_inline(&na), 3.0f);
    for (float dot :
         {win_math_dot_product_vect3(&a, &b), win_math_dot_product_vect3_inline(&a, &b),
          win_math_dot_product_norm(&na, &nb), win_math_dot_product_norm_inline(&na, &nb),
          win_math_dot_product_vect4_inline(&a4, &b4)})
        EXPECT_EQ(dot, 2.0f);

    LogCapture log;
    EXPECT_EQ(win_math_magnitude_vect3(NULL), -1.0f);
    EXPECT_EQ(win_math_dot_product_norm(&na, NULL), 0.0f);
    EXPECT_EQ(log.errors(), (Strings{"Cannot win_math_magnitude_vect3 with NULL v.",
                                     "Cannot win_math_dot_product_norm with NULL v2."}));
}

TEST(WinMathVect, CrossProducts)
{
    LogCapture log;
    const win_vect3 x = {1, 0, 0}, y = {0, 1, 0};
    win_vect3 r;
    EXPECT_EQ(win_math_cross_product_vect3(&r, &x, &y), 1);
    expect_vect(r, 0, 0, 1, 0.0f);
    win_math_cross_product_vect3_inline(&r, &y, &x);
    expect_vect(r, 0, 0, -1, 0.0f);

    const win_norm a = {1, 2, 3}, b = {4, 5, 6};
    win_norm n;
    EXPECT_EQ(win_math_cross_product_norm(&n, &a, &b), 1);
    EXPECT_EQ(n.x, -3.0f);
    EXPECT_EQ(n.y, 6.0f);
    EXPECT_EQ(n.z, -3.0f);

    const win_vect4 x4 = {1, 0, 0, 5}, y4 = {0, 1, 0, 5};
    win_vect4 r4 = {9, 9, 9, 9};
    win_math_cross_product_vect4_inline(&r4, &x4, &y4);
    EXPECT_EQ(r4.z, 1.0f);
    EXPECT_EQ(r4.w, 1.0f);
    EXPECT_TRUE(log.errors().empty());

    // A result placed in an operand is refused and nothing is written.
    win_vect3 same = {1, 2, 3};
    EXPECT_EQ(win_math_cross_product_vect3(&same, &same, &y), 0);
    win_math_cross_product_vect3_inline(&same, &x, &same);
    win_norm same_norm = a;
    EXPECT_EQ(win_math_cross_product_norm(&same_norm, &b, &same_norm), 0);
    win_math_cross_product_vect4_inline(NULL, &x4, &y4);
    expect_vect(same, 1, 2, 3, 0.0f);
    EXPECT_EQ(log.errors(),
              (Strings{
                  "win_math_cross_product_vect3 result cannot be placed in either source vector",
                  "win_math_cross_product_vect3_inline result cannot be placed in either source "
                  "vector",
                  "win_math_cross_product_norm result cannot be placed in either source norm",
                  "Cannot win_math_cross_product with NULL vResult.",
              }));
}

TEST(WinMathVect, DistancesBetweenPoints)
{
    const win_vect3 a = {0, 5, 0}, b = {3, -2, 4};
    EXPECT_FLOAT_EQ(win_math_calc_xz_dist(&a, &b), 5.0f);
    EXPECT_EQ(win_math_calc_dist_squared(&a, &b), 74.0f);
    EXPECT_FLOAT_EQ(win_math_calc_dist(&a, &b), 8.6023253f);

    win_vect3 d;
    EXPECT_EQ(win_math_calc_win_dist(&d, &a, &b), 1);
    expect_vect(d, 3, -7, 4, 0.0f);

    const win_vect3 origin = {1, 1, 1}, target = {1, 4, 5};
    EXPECT_EQ(win_math_calc_normalized_win_dist(&d, &origin, &target), 1);
    expect_vect(d, 0, 0.6f, 0.8f);
    // Points 2e-6 apart still have a direction; nearer ones have none (below).
    const win_vect3 zero = {0, 0, 0}, nearest = {0, 0, 2e-6f};
    EXPECT_EQ(win_math_calc_normalized_win_dist(&d, &zero, &nearest), 1);
    expect_vect(d, 0, 0, 1);

    LogCapture log;
    win_vect3 untouched = {7, 7, 7};
    EXPECT_EQ(win_math_calc_normalized_win_dist(&untouched, &a, &a), 0);
    expect_vect(untouched, 7, 7, 7, 0.0f);
    EXPECT_TRUE(log.lines().empty());

    EXPECT_EQ(win_math_calc_dist(&a, NULL), -1.0f);
    EXPECT_EQ(win_math_calc_xz_dist(&a, NULL), -1.0f);
    EXPECT_EQ(win_math_calc_dist_squared(NULL, &a), -1.0f);
    EXPECT_EQ(win_math_calc_normalized_win_dist(NULL, &a, &b), 0);
    EXPECT_EQ(log.errors(), (Strings{"Cannot win_math_calc_dist with NULL vect_1.",
                                     "Cannot win_math_calc_dist with NULL vect_1.",
                                     "Cannot win_math_calc_dist with NULL vect_0.",
                                     "Cannot win_math_calc_win_dist with NULL result_vect."}));
}

TEST(WinMathVect, FacingDirectionsOfATransform)
{
    using Direction = int (*)(win_vect3*, const win_matrix43*);
    win_matrix43 identity = filled_matrix43(0);  // attrib 0: floats not read
    win_matrix43 turn_y, turn_x, tilt_x, tilt_y;
    win_math_set_rot_trans_matrix43(&turn_y, 0, kHalfPi, 0, 9, 9, 9);  // translation ignored
    win_math_set_rotate_x_matrix43(&turn_x, kHalfPi);
    win_math_set_rotate_x_matrix43(&tilt_x, 0.7853982f);
    win_math_set_rotate_y_matrix43(&tilt_y, 0.7853982f);
    struct Case {
        const char* name;
        Direction direction;
        const win_matrix43* matrix;
        win_vect3 expected;
    };
    const Case cases[] = {
        {"forward, attrib 0", win_math_calc_direction_win_vect, &identity, {0, 0, -1}},
        {"forward, turned about y", win_math_calc_direction_win_vect, &turn_y, {-1, 0, 0}},
        {"up, turned about x", win_math_calc_up_direction_win_vect, &turn_x, {0, 0, 1}},
        {"up, attrib 0", win_math_calc_up_direction_win_vect, &identity, {0, 1, 0}},
        {"xz of a tilted forward", win_math_calc_xz_direction_vect3, &tilt_x, {0, 0, -1}},
        {"yz of a turned forward", win_math_calc_yz_direction_vect3, &tilt_y, {0, 0, -1}},
        {"xz, turned about y", win_math_calc_xz_direction_vect3, &turn_y, {-1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win_vect3 v;
        EXPECT_EQ(c.direction(&v, c.matrix), 1);
        expect_vect(v, c.expected.x, c.expected.y, c.expected.z);
    }

    // Facing straight up: nothing is left to normalise in the xz plane.
    LogCapture log;
    win_vect3 v;
    EXPECT_EQ(win_math_calc_xz_direction_vect3(&v, &turn_x), 1);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_LT(std::fabs(v.z), 1e-6f);
    EXPECT_EQ(log.errors(), Strings{"Could not unitize_vect"});
    EXPECT_EQ(win_math_calc_yz_direction_vect3(NULL, &turn_x), 0);
    EXPECT_EQ(log.errors().back(), "Cannot win_math_calc_xz_direction_vect3 with NULL win_vect.");
}

TEST(WinMathVect, PlaneThroughThreePoints)
{
    struct Case {
        win_vect3 v0, v1, v2;
        win_plane expected;
    };
    const Case cases[] = {
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1, 0}},
        {{0, 0, 5}, {2, 0, 5}, {0, 3, 5}, {0, 0, 1, 5}},
        {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, -1, 0}},  // the other winding
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.57735027f, 0.57735027f, 0.57735027f, 0.57735027f}},
    };
    for (const Case& c : cases) {
        win_plane p;
        ASSERT_EQ(d3dmath_calc_norm(&p, &c.v0, &c.v1, &c.v2), 1);
        EXPECT_NEAR(p.nx, c.expected.nx, kTol);
        EXPECT_NEAR(p.ny, c.expected.ny, kTol);
        EXPECT_NEAR(p.nz, c.expected.nz, kTol);
        EXPECT_NEAR(p.d, c.expected.d, kTol);
    }

    LogCapture log;
    const win_vect3 a = {0, 0, 0}, b = {1, 0, 0}, c = {2, 0, 0};  // on one line
    win_plane p = {9, 9, 9, 9};
    EXPECT_EQ(d3dmath_calc_norm(&p, &a, &b, &c), 0);
    EXPECT_EQ(p.nx, 0.0f);
    EXPECT_EQ(p.nz, 0.0f);
    EXPECT_EQ(p.d, 0.0f);
    EXPECT_EQ(log.errors(), Strings{"Bad magnitude = 0.000000"});
}

TEST(WinMathVect, PointsAgainstPlanes)
{
    const win_plane y2 = {0, 1, 0, 2};
    const win_vect3 p = {1, 5, 2};
    EXPECT_EQ(win_math_point_to_plane_dist(&p, &y2), 3.0f);
    win_vect3 projected;
    EXPECT_EQ(win_math_project_point_onto_plane(&projected, &p, &y2), 1);
    expect_vect(projected, 1, 2, 2, 0.0f);

    const win_norm up = {0, 1, 0};
    win_vect3 v = {1, -1, 0};
    win_math_reflect_vect3_about_norm(&v, &v, &up);  // in place
    expect_vect(v, 1, 1, 0, 0.0f);

    LogCapture log;
    EXPECT_EQ(win_math_point_to_plane_dist(&p, NULL), 2147483648.0f);
    EXPECT_EQ(log.errors(), Strings{"Cannot win_math_point_to_plane_dist with NULL plane."});
}

TEST(WinMathVect, WithinTolerance)
{
    const struct {
        float a, b;
        int expected;
    } cases[] = {{0.5f, 1, 1}, {1, 1, 1}, {1.5f, 1, 0}, {-0.5f, 1, 1}, {-1, 1, 1}, {-1.5f, 1, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(win_math_within_tolerance(c.a, c.b), c.expected) << c.a;
}

// ---- Intersections and swept spheres ------------------------------------------------

TEST(WinMathIntersect, Determinant)
{
    const win_matrix33 diagonal = {{{2, 0, 0}, {0, 3, 0}, {0, 0, 4}}};
    const win_matrix33 general = {{{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}};
    const win_matrix33 singular = {{{1, 2, 3}, {2, 4, 6}, {0, 1, 0}}};
    EXPECT_EQ(win_math_calc_matrix33_determinant(&diagonal), 24.0f);
    EXPECT_EQ(win_math_calc_matrix33_determinant(&general), -3.0f);
    EXPECT_EQ(win_math_calc_matrix33_determinant(&singular), 0.0f);
    LogCapture log;
    EXPECT_EQ(win_math_calc_matrix33_determinant(NULL), 2147483648.0f);
    EXPECT_EQ(log.errors(), Strings{"Cannot win_math_calc_matrix33_determinant with NULL mat."});
}

TEST(WinMathIntersect, ThreePlanes)
{
    struct Case {
        win_plane p1, p2, p3;
        win_vect3 expected;
    };
    const Case cases[] = {
        {{1, 0, 0, 1}, {0, 1, 0, 2}, {0, 0, 1, 3}, {1, 2, 3}},
        {{1, 1, 0, 3}, {0, 1, 0, 1}, {0, 0, 1, 0}, {2, 1, 0}},
        {{0, 0, 1, -4}, {1, 0, 0, 0.5f}, {0, -1, 0, 2}, {0.5f, -2, -4}},
    };
    for (const Case& c : cases) {
        win_vect3 p;
        ASSERT_EQ(win_math_calc_3_plane_intersection(&p, &c.p1, &c.p2, &c.p3), 1);
        expect_vect(p, c.expected.x, c.expected.y, c.expected.z);
    }

    LogCapture log;
    const win_plane x1 = {1, 0, 0, 1}, z3 = {0, 0, 1, 3};
    win_vect3 p = {7, 7, 7};
    EXPECT_EQ(win_math_calc_3_plane_intersection(&p, &x1, &x1, &z3), 0);
    expect_vect(p, 7, 7, 7, 0.0f);
    EXPECT_EQ(log.errors(),
              Strings{"planes are parallel. Unable to calculate intersection point."});
}

TEST(WinMathIntersect, SegmentAgainstPlane)
{
    const win_plane y0 = {0, 1, 0, 0};
    struct Case {
        const char* name;
        win_vect3 tail, head;
        float tolerance;  // < 0: the form without tolerance
        float t;
        win_vect3 point;  // (7, 7, 7): not written
    };
    const float parallel = -2147483648.0f;
    const Case cases[] = {
        {"crosses", {0, -1, 0}, {0, 1, 0}, -1, 0.5f, {0, 0, 0}},
        {"crosses near the head", {2, 3, 0}, {2, -1, 0}, -1, 0.75f, {2, 0, 0}},
        {"misses: crossing beyond the tail", {0, 2, 0}, {0, 3, 0}, -1, -2.0f, {0, 0, 0}},
        {"parallel", {-1, 1, 0}, {1, 1, 0}, -1, parallel, {7, 7, 7}},
        {"in the plane", {-1, 0, 0}, {1, 0, 0}, -1, parallel, {7, 7, 7}},
        {"parallel within tolerance", {-1, 1, 0}, {1, 1, 0}, 1.5f, 0.0f, {-1, 1, 0}},
        {"parallel beyond tolerance", {-1, 1, 0}, {1, 1, 0}, 0.5f, parallel, {7, 7, 7}},
        // The tail exactly at the tolerance, the head a step of a float beyond.
        {"parallel at the tolerance",
         {-1, 0.5f, 0},
         {1, 0.50000006f, 0},
         0.5f,
         0.0f,
         {-1, 0.5f, 0}},
        {"in the plane, tolerance 0", {-1, 0, 0}, {1, 0, 0}, 0.0f, 0.0f, {-1, 0, 0}},
        {"crosses, tolerance form", {0, -1, 0}, {0, 1, 0}, 1.5f, 0.5f, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win_vect3 point = {7, 7, 7};
        const float t = c.tolerance < 0
                            ? win_math_line_plane_intersect(&c.tail, &c.head, &y0, &point)
                            : win_math_line_plane_intersect_tolerance(&c.tail, &c.head, &y0,
                                                                      c.tolerance, &point);
        EXPECT_FLOAT_EQ(t, c.t);
        expect_vect(point, c.point.x, c.point.y, c.point.z);
    }

    LogCapture log;
    const win_vect3 a = {0, 0, 0};
    win_vect3 point;
    EXPECT_EQ(win_math_line_plane_intersect(&a, &a, NULL, &point), parallel);
    EXPECT_EQ(win_math_line_plane_intersect_tolerance(NULL, &a, &y0, 1, &point), parallel);
    EXPECT_EQ(log.errors(), (Strings{"Cannot win_math_line_plane_intersect with NULL win_plane.",
                                     "Cannot win_math_line_plane_intersect with NULL tail_vtx."}));
}

TEST(WinMathIntersect, SegmentAgainstSphere)
{
    const win_vect3 centre = {0, 0, 0};
    struct Case {
        const char* name;
        win_vect3 tail, head;
        int expected;
    };
    // Radius 0.5 + 0.5 = 1 about the origin.
    const Case cases[] = {
        {"tail inside", {0.5f, 0, 0}, {50, 50, 50}, 1},
        {"head inside", {-50, 3, 0}, {0, 0.5f, 0}, 1},
        {"passes through", {-5, 0, 0}, {5, 0, 0}, 1},
        {"tangent", {-5, 1, 0}, {5, 1, 0}, 1},
        {"passes by", {-5, 2, 0}, {5, 2, 0}, 0},
        {"line reaches it, segment too far away", {20, 0, 0}, {25, 0, 0}, 0},
        {"very short segment outside", {2, 0, 0}, {2.0000001f, 0, 0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(win_math_line_sphere_intersect(&c.tail, &c.head, &centre, 0.5f, 0.5f),
                  c.expected);
    }

    // A NULL point is a refused call, not a hit.
    LogCapture log;
    const win_vect3 p = {0, 0, 0};
    EXPECT_EQ(win_math_line_sphere_intersect(NULL, &p, &centre, 1, 1), 0);
    EXPECT_EQ(win_math_line_sphere_intersect(&p, &p, NULL, 1, 1), 0);
    EXPECT_EQ(log.errors(), (Strings{"Cannot win_math_line_sphere_intersect with NULL tail.",
                                     "Cannot win_math_line_sphere_intersect with NULL centre."}));
}

TEST(WinMathIntersect, CapsuleAgainstCapsule)
{
    struct Case {
        const char* name;
        win_vect3 P0, D0;
        float L0, R0;
        win_vect3 P1, D1;
        float L1, R1;
        float expected;
    };
    const Case cases[] = {
        // Crossed axes: closest points (5, 0, 0) and (5, 0, 1.5).
        {"crossed, touching",
         {0, 0, 0},
         {10, 0, 0},
         10,
         1,
         {5, -5, 1.5f},
         {0, 10, 0},
         10,
         1,
         2.25f},
        {"crossed, apart", {0, 0, 0}, {10, 0, 0}, 10, 1, {5, -5, 2.5f}, {0, 10, 0}, 10, 1, -1},
        {"crossed beyond the first end",
         {0, 0, 0},
         {10, 0, 0},
         10,
         1,
         {15, -5, 0},
         {0, 10, 0},
         10,
         1,
         -1},
        {"crossed within the radius past the end",
         {0, 0, 0},
         {10, 0, 0},
         10,
         1,
         {10.5f, -5, 0},
         {0, 10, 0},
         10,
         1,
         0},
        // Parallel axes 1 apart (A = 1).
        {"parallel, start inside", {0, 0, 0}, {10, 0, 0}, 10, 1, {8, 1, 0}, {4, 0, 0}, 4, 1, 1},
        {"parallel, end inside", {0, 0, 0}, {10, 0, 0}, 10, 1, {-4, 1, 0}, {4, 0, 0}, 4, 1, 1},
        {"parallel, beyond the end", {0, 0, 0}, {10, 0, 0}, 10, 1, {13, 1, 0}, {4, 0, 0}, 4, 1, -1},
        {"parallel, too far apart", {0, 0, 0}, {10, 0, 0}, 10, 1, {8, 3, 0}, {4, 0, 0}, 4, 1, -1},
        {"parallel, first shorter", {8, 1, 0}, {4, 0, 0}, 4, 1, {0, 0, 0}, {10, 0, 0}, 10, 1, 1},
        // Touching counts: axes exactly the two radii apart (A = 4).
        {"parallel, touching", {0, 0, 0}, {10, 0, 0}, 10, 1, {2, 2, 0}, {4, 0, 0}, 4, 1, 4},
        // The shorter segment's start lies just the tolerance before the
        // longer one's (A = 0); its end is far off.
        {"parallel, start at the tolerance",
         {0, 0, 0},
         {1, 0, 0},
         1,
         0,
         {-1e-5f, 0, 0},
         {-0.5f, 0, 0},
         0.5f,
         0.1f,
         0},
        // Of equal lengths the first is the axis, reached through its own
        // radius (the capsules overlap from x = 1.2 to 1.5).
        {"parallel, equal lengths",
         {0, 0, 0},
         {1, 0, 0},
         1,
         0.5f,
         {1.3f, 0, 0},
         {1, 0, 0},
         1,
         0.1f,
         0},
        // A still mover against a bone: tested as a sphere.
        {"second of length 0", {0, 0, 0}, {10, 0, 0}, 10, 1, {5, 1.5f, 0}, {0, 0, 0}, 0, 1, 2.25f},
        {"first of length 0", {0, 0, 0}, {0, 0, 0}, 0, 1, {0, 0, 0}, {0, 0, 0}, 0, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(
            win_math_line_line_intersect(&c.P0, &c.D0, c.L0, c.R0, &c.P1, &c.D1, c.L1, c.R1),
            c.expected, kTol);
    }

    // Crossed axes whose closest points lie exactly the radii and the
    // tolerance apart still touch.
    const float reach = 0.5f + 0.5f + 1e-5f;
    const win_vect3 P0 = {0, 0, 0}, D0 = {1, 0, 0}, P1 = {0.5f, -0.5f, reach}, D1 = {0, 1, 0};
    EXPECT_EQ(win_math_line_line_intersect(&P0, &D0, 1, 0.5f, &P1, &D1, 1, 0.5f), reach * reach);
}

// ---- Quaternions ----------------------------------------------------------------------

TEST(WinMathQuat, QuaternionToMatrix)
{
    win_matrix43 m = filled_matrix43(0);
    const win_quat identity = {0, 0, 0, 1};
    EXPECT_EQ(win_math_quat_to_matrix43(&m, &identity), 1);
    expect_matrix43(m, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}, 7, 0.0f);

    const win_quat quarter_y = {0, 0.7071068f, 0, 0.7071068f};
    win_math_quat_to_matrix43(&m, &quarter_y);
    expect_matrix43(m, {{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 0}}, 7);

    win_matrix44 m44;
    EXPECT_EQ(win_math_quat_to_matrix44(&m44, &quarter_y), 1);
    const float rows44[4][4] = {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 0, 1}};
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_NEAR(m44.m[r][c], rows44[r][c], kTol);
}

TEST(WinMathQuat, MatrixToQuaternion)
{
    struct Case {
        const char* name;
        win_quat from;      // converted to a matrix first
        win_quat expected;  // w made non-negative
    };
    const Case cases[] = {
        {"quarter turn about y", {0, 0.7071068f, 0, 0.7071068f}, {0, 0.7071068f, 0, 0.7071068f}},
        {"negative w comes back negated", {0, 0, 0.6f, -0.8f}, {0, 0, -0.6f, 0.8f}},
        {"general", {0.5f, -0.5f, 0.5f, 0.5f}, {0.5f, -0.5f, 0.5f, 0.5f}},
        // Half-turns (w = 0) and a near half-turn.
        {"half-turn about y", {0, 1, 0, 0}, {0, 1, 0, 0}},
        {"half-turn about x", {-1, 0, 0, 0}, {1, 0, 0, 0}},
        {"half-turn about z", {0, 0, 1, 0}, {0, 0, 1, 0}},
        {"half-turn about (1, 1, 0)",
         {0.7071068f, 0.7071068f, 0, 0},
         {0.7071068f, 0.7071068f, 0, 0}},
        {"near a half-turn", {0, -0.99999988f, 0, 0.0005f}, {0, -0.99999988f, 0, 0.0005f}},
        {"near a half-turn, w negative",
         {0.6f, 0, 0.79999985f, -0.0005f},
         {-0.6f, 0, -0.79999985f, 0.0005f}},
        // About (2, -3, 6) / 7: no component is 0, z leads, and x and y come
        // from the off-diagonal sums.
        {"near a half-turn about an oblique axis",
         {0.28571425f, -0.42857137f, 0.85714275f, 0.0005f},
         {0.28571425f, -0.42857137f, 0.85714275f, 0.0005f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win_matrix43 m;
        win_quat q;
        win_math_quat_to_matrix43(&m, &c.from);
        EXPECT_EQ(win_math_matrix43_to_quat(&q, &m), 1);
        expect_quat(q, c.expected.x, c.expected.y, c.expected.z, c.expected.w);

        win_matrix44 m44;
        win_math_quat_to_matrix44(&m44, &c.from);
        EXPECT_EQ(win_math_matrix44_to_quat(&q, &m44), 1);
        expect_quat(q, c.expected.x, c.expected.y, c.expected.z, c.expected.w);
    }

    // The attrib and the translation row are not read; an all-zero rotation
    // part gives (0, 0, 0, 0.5).
    win_matrix43 zero = {};
    zero.m[3][0] = 9.0f;
    win_quat q;
    win_math_matrix43_to_quat(&q, &zero);
    expect_quat(q, 0, 0, 0, 0.5f, 0.0f);

    // A half-turn built by the axis builder: finite, the same rotation.
    win_matrix43 half;
    win_math_set_rotate_y_matrix43(&half, kPi);
    win_math_matrix43_to_quat(&q, &half);
    expect_quat(q, 0, 1, 0, 0);

    // The exact half-turn about (2, -3, 6) / 7: w is 0, so either sign of
    // the axis is the same rotation.
    const win_quat oblique = {2.0f / 7.0f, -3.0f / 7.0f, 6.0f / 7.0f, 0.0f};
    win_math_quat_to_matrix43(&half, &oblique);
    win_math_matrix43_to_quat(&q, &half);
    const float sign = q.z < 0.0f ? -1.0f : 1.0f;
    expect_quat(q, sign * oblique.x, sign * oblique.y, sign * oblique.z, 0.0f);
}

TEST(WinMathQuat, Arithmetic)
{
    const win_quat a = {1, 2, 3, 4}, b = {0.5f, -1, 2, 0};
    win_quat q;
    EXPECT_EQ(win_math_add_quat(&q, &a, &b), 1);
    expect_quat(q, 1.5f, 1, 5, 4, 0.0f);
    EXPECT_EQ(win_math_subtract_quat(&q, &a, &b), 1);
    expect_quat(q, 0.5f, 3, 1, 4, 0.0f);

    const win_quat i = {1, 0, 0, 0}, j = {0, 1, 0, 0};
    EXPECT_EQ(win_math_multiply_quat(&q, &i, &j), 1);
    expect_quat(q, 0, 0, 1, 0, 0.0f);  // i j = k
    win_math_multiply_quat(&q, &j, &i);
    expect_quat(q, 0, 0, -1, 0, 0.0f);

    // The product's matrix is the product of the matrices, a applied first.
    const win_quat qa = {0, 0.7071068f, 0, 0.7071068f}, qb = {0.6f, 0, 0, 0.8f};
    win_matrix43 ma, mb, expected, actual;
    win_math_quat_to_matrix43(&ma, &qa);
    win_math_quat_to_matrix43(&mb, &qb);
    win_math_multiply_matrix43(&expected, &ma, &mb);
    win_math_multiply_quat(&q, &qa, &qb);
    win_math_quat_to_matrix43(&actual, &q);
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], kTol);
}

TEST(WinMathQuat, Slerp)
{
    const win_quat q0 = {0, 0, 0, 1};
    const win_quat quarter_z = {0, 0, 0.7071068f, 0.7071068f};
    struct Case {
        const char* name;
        win_quat q1;
        float t;
        win_quat expected;
        win_quat q1_after;
    };
    const Case cases[] = {
        {"start", quarter_z, 0.0f, {0, 0, 0, 1}, quarter_z},
        {"end", quarter_z, 1.0f, quarter_z, quarter_z},
        // Halfway is the eighth turn: (0, 0, sin(pi/8), cos(pi/8)).
        {"middle", quarter_z, 0.5f, {0, 0, 0.38268343f, 0.92387953f}, quarter_z},
        {"quarter", quarter_z, 0.25f, {0, 0, 0.19509032f, 0.98078528f}, quarter_z},
        // -q1 is the same rotation and nearer: the caller's q1 is negated.
        {"far sign, middle",
         {0, 0, -0.7071068f, -0.7071068f},
         0.5f,
         {0, 0, 0.38268343f, 0.92387953f},
         quarter_z},
        {"far sign, end", {0, 0, -0.7071068f, -0.7071068f}, 1.0f, quarter_z, quarter_z},
        {"opposite of q0", {0, 0, 0, -1}, 0.3f, {0, 0, 0, 1}, {0, 0, 0, 1}},
        // Closer than the threshold: a straight blend.
        {"nearly equal", {0, 0, 0.001f, 1}, 0.25f, {0, 0, 0.00025f, 1}, {0, 0, 0.001f, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win_quat q1 = c.q1, result;
        EXPECT_EQ(win_math_slerp_quat(&result, &q0, &q1, c.t), 1);
        expect_quat(result, c.expected.x, c.expected.y, c.expected.z, c.expected.w);
        expect_quat(q1, c.q1_after.x, c.q1_after.y, c.q1_after.z, c.q1_after.w, 0.0f);
    }
}
