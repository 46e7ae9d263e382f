#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "d3dmath.h"
#include "d3dutil.h"
#include "platform/d3d_record.h"
#include "test_support.h"
#include <cstring>

namespace {

TEST(ErrorNames, KnownCodesHaveTheirNamesAndOthersAHexText)
{
    const struct {
        DWORD code;
        const char* name;
    } cases[] = {
        {0x00000000, "D3D_OK"},
        {0x00000001, "DD_FALSE"},
        {0x80070057, "DDERR_INVALIDPARAMS"},
        {0x887601C2, "DDERR_SURFACELOST"},
        {0x8876024B, "DDERR_WRONGMODE"},
        {0x88760818, "D3DERR_WRONGTEXTUREFORMAT"},
        {0x88760826, "D3DERR_CONFLICTINGTEXTUREPALETTE"},
        {0xC8770BB8, "D3DXERR_NOMEMORY"},
        {0xC8770BDB, "D3DXERR_NOMATCHFOUND"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(d3dutil_get_error_string((HRESULT)c.code), c.name);
    EXPECT_STREQ(d3dutil_get_error_string((HRESULT)0x88760003),
                 "Unrecognized D3D error code = 88760003");
    EXPECT_STREQ(d3dutil_get_error_string((HRESULT)0xC8770BDC),
                 "Unrecognized D3D error code = c8770bdc");
}

D3DMATRIX rotation_and_translation()
{
    D3DMATRIX m, r;
    D3DVECTOR axis = {1.0f, 2.0f, 3.0f};
    d3dutil_set_rotation_matrix(&m, &axis, 0.7f);
    d3dutil_set_rotate_x_matrix(&r, 0.3f);
    d3dmath_matrix_multiply(&m, &r, &m);
    m.m[3][0] = 4.0f;
    m.m[3][1] = -5.0f;
    m.m[3][2] = 6.0f;
    return m;
}

TEST(MatrixHelpers, AffineInverseUndoesTheMatrixAndProjectionsAreRefused)
{
    D3DMATRIX m = rotation_and_translation();
    D3DMATRIX inverse, product;
    ASSERT_EQ(d3dmath_matrix_invert(&inverse, &m), S_OK);
    d3dmath_matrix_multiply(&product, &m, &inverse);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(product.m[i][j], i == j ? 1.0f : 0.0f, 1e-5) << i << j;

    D3DMATRIX projection;
    ASSERT_EQ(d3dutil_set_projection_matrix(&projection, 1.0f, 1.0f, 1.0f, 100.0f), S_OK);
    D3DMATRIX untouched = inverse;
    EXPECT_EQ(d3dmath_matrix_invert(&inverse, &projection), E_INVALIDARG);
    EXPECT_EQ(memcmp(&inverse, &untouched, sizeof inverse), 0);
}

TEST(MatrixHelpers, PointsAreDividedByWAndTinyWIsRefused)
{
    D3DMATRIX m;
    d3dutil_set_identity_matrix(&m);
    m.m[3][3] = 0.000009f;
    D3DVECTOR v = {1.0f, 2.0f, 3.0f}, out = {7, 7, 7};
    EXPECT_EQ(d3dmath_vector_matrix_multiply(&out, &v, &m), E_INVALIDARG);
    EXPECT_EQ(out.x, 7.0f);
    m.m[3][3] = -0.5f;
    ASSERT_EQ(d3dmath_vector_matrix_multiply(&v, &v, &m), S_OK);
    EXPECT_FLOAT_EQ(v.x, -2.0f);
    EXPECT_FLOAT_EQ(v.z, -6.0f);

    D3DMATRIX moved = rotation_and_translation();
    D3DVECTOR in[2] = {{0, 0, 0}, {0, 0, 1}}, pair[2];
    ASSERT_EQ(d3dmath_transform_point_and_direction(pair, in, &moved), S_OK);
    EXPECT_FLOAT_EQ(pair[0].x, 4.0f);
    EXPECT_FLOAT_EQ(pair[1].x, moved.m[2][0]);  // no translation for the direction
    EXPECT_EQ(moved.m[3][0], 4.0f);
}

TEST(MatrixHelpers, ViewMatrixFallsBackToAnotherUpVector)
{
    LogCapture log;
    D3DMATRIX view;
    D3DVECTOR from = {0, 0, 0}, at = {0, 0, 5}, up = {0, 0, 1};
    ASSERT_EQ(d3dutil_set_view_matrix(&view, &from, &at, &up, 0, 0, 0), S_OK);
    EXPECT_FLOAT_EQ(view.m[1][1], 1.0f);  // (0, 1, 0) stood in for the parallel up
    EXPECT_FLOAT_EQ(view.m[2][2], 1.0f);
    D3DVECTOR above = {0, 5, 0}, y_up = {0, 1, 0};
    ASSERT_EQ(d3dutil_set_view_matrix(&view, &from, &above, &y_up, 0, 0, 0), S_OK);
    EXPECT_FLOAT_EQ(view.m[2][1], 1.0f);  // then (0, 0, 1)
    EXPECT_EQ(d3dutil_set_view_matrix(&view, &from, &from, &y_up, 0, 0, 0), E_INVALIDARG);
    D3DMATRIX projection;
    EXPECT_EQ(d3dutil_set_projection_matrix(&projection, 1.0f, 1.0f, 10.0f, 10.005f), E_INVALIDARG);
    std::vector<std::string> expected = {"Magnitude of View vector < 1e-6f.",
                                         "Far Plane to Near Plane distance too small."};
    EXPECT_EQ(log.errors(), expected);
}

TEST(MatrixHelpers, RotationAboutXMatchesTheAxisForm)
{
    D3DMATRIX about_x, general;
    D3DVECTOR axis = {1, 0, 0};
    d3dutil_set_rotate_x_matrix(&about_x, 0.4f);
    d3dutil_set_rotation_matrix(&general, &axis, 0.4f);
    // The axis form rotates the other way round for row vectors.
    EXPECT_NEAR(about_x.m[1][2], -general.m[1][2], 1e-6);
    EXPECT_NEAR(about_x.m[1][1], general.m[1][1], 1e-6);
}

TEST(RecordHelpers, InitialisersAndQueries)
{
    D3DVIEWPORT2 viewport;
    d3dutil_init_viewport(&viewport, 640, 480);
    EXPECT_EQ(viewport.dwSize, 44u);
    EXPECT_EQ(viewport.dvClipY, 1.0f);
    D3DLIGHT light;
    d3dutil_init_light(&light, D3DLIGHT_POINT, 1, 2, 3);
    EXPECT_EQ(light.dwSize, 80u);
    EXPECT_EQ(light.dvDirection.z, 3.0f);
    EXPECT_EQ(d3dutil_count_bits(0xF0F0), 8);
    EXPECT_EQ(d3dutil_count_bits(0xFFFFFFFF), 32);

    test_reset_state();
    EXPECT_EQ(d3dutil_get_display_depth(nullptr), 32u);
    EXPECT_EQ(d3dutil_detect_gamma_ramp_support(nullptr), 1);
    EXPECT_EQ(d3dutil_get_device_memory_type(nullptr), 0u);
    EXPECT_EQ(d3d_live_objects(), 0);
}

}  // namespace
