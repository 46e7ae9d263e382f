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

// Every name of the table, in ascending order of the codes: each code of the
// ranges the names live in is looked up, so a name lost, misspelt, or out of
// order (the look-up halves the table, and misses what is out of place)
// shows.
TEST(ErrorNames, EveryNameIsFoundByItsCodeInAscendingOrder)
{
    const std::vector<std::string> names = {
        "D3D_OK",
        "DD_FALSE",
        "DDERR_UNSUPPORTED",
        "DDERR_GENERIC",
        "DDERR_NOTINITIALIZED",
        "DDERR_OUTOFMEMORY",
        "DDERR_INVALIDPARAMS",
        "DDERR_ALREADYINITIALIZED",
        "DDERR_CANNOTATTACHSURFACE",
        "DDERR_CANNOTDETACHSURFACE",
        "DDERR_CURRENTLYNOTAVAIL",
        "DDERR_EXCEPTION",
        "DDERR_HEIGHTALIGN",
        "DDERR_INCOMPATIBLEPRIMARY",
        "DDERR_INVALIDCAPS",
        "DDERR_INVALIDCLIPLIST",
        "DDERR_INVALIDMODE",
        "DDERR_INVALIDOBJECT",
        "DDERR_INVALIDPIXELFORMAT",
        "DDERR_INVALIDRECT",
        "DDERR_LOCKEDSURFACES",
        "DDERR_NO3D",
        "DDERR_NOALPHAHW",
        "DDERR_NOCLIPLIST",
        "DDERR_NOCOLORCONVHW",
        "DDERR_NOCOOPERATIVELEVELSET",
        "DDERR_NOCOLORKEY",
        "DDERR_NOCOLORKEYHW",
        "DDERR_NODIRECTDRAWSUPPORT",
        "DDERR_NOEXCLUSIVEMODE",
        "DDERR_NOFLIPHW",
        "DDERR_NOGDI",
        "DDERR_NOMIRRORHW",
        "DDERR_NOTFOUND",
        "DDERR_NOOVERLAYHW",
        "DDERR_OVERLAPPINGRECTS",
        "DDERR_NORASTEROPHW",
        "DDERR_NOROTATIONHW",
        "DDERR_NOSTRETCHHW",
        "DDERR_NOT4BITCOLOR",
        "DDERR_NOT4BITCOLORINDEX",
        "DDERR_NOT8BITCOLOR",
        "DDERR_NOTEXTUREHW",
        "DDERR_NOVSYNCHW",
        "DDERR_NOZBUFFERHW",
        "DDERR_NOZOVERLAYHW",
        "DDERR_OUTOFCAPS",
        "DDERR_OUTOFVIDEOMEMORY",
        "DDERR_OVERLAYCANTCLIP",
        "DDERR_OVERLAYCOLORKEYONLYONEACTIVE",
        "DDERR_PALETTEBUSY",
        "DDERR_COLORKEYNOTSET",
        "DDERR_SURFACEALREADYATTACHED",
        "DDERR_SURFACEALREADYDEPENDENT",
        "DDERR_SURFACEBUSY",
        "DDERR_CANTLOCKSURFACE",
        "DDERR_SURFACEISOBSCURED",
        "DDERR_SURFACELOST",
        "DDERR_SURFACENOTATTACHED",
        "DDERR_TOOBIGHEIGHT",
        "DDERR_TOOBIGSIZE",
        "DDERR_TOOBIGWIDTH",
        "DDERR_UNSUPPORTEDFORMAT",
        "DDERR_UNSUPPORTEDMASK",
        "DDERR_INVALIDSTREAM",
        "DDERR_VERTICALBLANKINPROGRESS",
        "DDERR_WASSTILLDRAWING",
        "DDERR_XALIGN",
        "DDERR_INVALIDDIRECTDRAWGUID",
        "DDERR_DIRECTDRAWALREADYCREATED",
        "DDERR_NODIRECTDRAWHW",
        "DDERR_PRIMARYSURFACEALREADYEXISTS",
        "DDERR_NOEMULATION",
        "DDERR_REGIONTOOSMALL",
        "DDERR_CLIPPERISUSINGHWND",
        "DDERR_NOCLIPPERATTACHED",
        "DDERR_NOHWND",
        "DDERR_HWNDSUBCLASSED",
        "DDERR_HWNDALREADYSET",
        "DDERR_NOPALETTEATTACHED",
        "DDERR_NOPALETTEHW",
        "DDERR_BLTFASTCANTCLIP",
        "DDERR_NOBLTHW",
        "DDERR_NODDROPSHW",
        "DDERR_OVERLAYNOTVISIBLE",
        "DDERR_NOOVERLAYDEST",
        "DDERR_INVALIDPOSITION",
        "DDERR_NOTAOVERLAYSURFACE",
        "DDERR_EXCLUSIVEMODEALREADYSET",
        "DDERR_NOTFLIPPABLE",
        "DDERR_CANTDUPLICATE",
        "DDERR_NOTLOCKED",
        "DDERR_CANTCREATEDC",
        "DDERR_NODC",
        "DDERR_WRONGMODE",
        "DDERR_IMPLICITLYCREATED",
        "DDERR_NOTPALETTIZED",
        "DDERR_UNSUPPORTEDMODE",
        "DDERR_NOMIPMAPHW",
        "DDERR_INVALIDSURFACETYPE",
        "DDERR_NOOPTIMIZEHW",
        "DDERR_NOTLOADED",
        "DDERR_NOFOCUSWINDOW",
        "DDERR_DCALREADYCREATED",
        "DDERR_NONONLOCALVIDMEM",
        "DDERR_CANTPAGELOCK",
        "DDERR_CANTPAGEUNLOCK",
        "DDERR_NOTPAGELOCKED",
        "DDERR_MOREDATA",
        "DDERR_EXPIRED",
        "DDERR_VIDEONOTACTIVE",
        "DDERR_DEVICEDOESNTOWNSURFACE",
        "D3DERR_BADMAJORVERSION",
        "D3DERR_BADMINORVERSION",
        "D3DERR_INVALID_DEVICE",
        "D3DERR_INITFAILED",
        "D3DERR_DEVICEAGGREGATED",
        "D3DERR_EXECUTE_CREATE_FAILED",
        "D3DERR_EXECUTE_DESTROY_FAILED",
        "D3DERR_EXECUTE_LOCK_FAILED",
        "D3DERR_EXECUTE_UNLOCK_FAILED",
        "D3DERR_EXECUTE_LOCKED",
        "D3DERR_EXECUTE_NOT_LOCKED",
        "D3DERR_EXECUTE_FAILED",
        "D3DERR_EXECUTE_CLIPPED_FAILED",
        "D3DERR_TEXTURE_NO_SUPPORT",
        "D3DERR_TEXTURE_CREATE_FAILED",
        "D3DERR_TEXTURE_DESTROY_FAILED",
        "D3DERR_TEXTURE_LOCK_FAILED",
        "D3DERR_TEXTURE_UNLOCK_FAILED",
        "D3DERR_TEXTURE_LOAD_FAILED",
        "D3DERR_TEXTURE_SWAP_FAILED",
        "D3DERR_TEXTURE_LOCKED",
        "D3DERR_TEXTURE_NOT_LOCKED",
        "D3DERR_TEXTURE_GETSURF_FAILED",
        "D3DERR_MATRIX_CREATE_FAILED",
        "D3DERR_MATRIX_DESTROY_FAILED",
        "D3DERR_MATRIX_SETDATA_FAILED",
        "D3DERR_MATRIX_GETDATA_FAILED",
        "D3DERR_SETVIEWPORTDATA_FAILED",
        "D3DERR_INVALIDCURRENTVIEWPORT",
        "D3DERR_INVALIDPRIMITIVETYPE",
        "D3DERR_INVALIDVERTEXTYPE",
        "D3DERR_TEXTURE_BADSIZE",
        "D3DERR_INVALIDRAMPTEXTURE",
        "D3DERR_MATERIAL_CREATE_FAILED",
        "D3DERR_MATERIAL_DESTROY_FAILED",
        "D3DERR_MATERIAL_SETDATA_FAILED",
        "D3DERR_MATERIAL_GETDATA_FAILED",
        "D3DERR_INVALIDPALETTE",
        "D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY",
        "D3DERR_ZBUFF_NEEDS_VIDEOMEMORY",
        "D3DERR_SURFACENOTINVIDMEM",
        "D3DERR_LIGHT_SET_FAILED",
        "D3DERR_LIGHTHASVIEWPORT",
        "D3DERR_LIGHTNOTINTHISVIEWPORT",
        "D3DERR_SCENE_IN_SCENE",
        "D3DERR_SCENE_NOT_IN_SCENE",
        "D3DERR_SCENE_BEGIN_FAILED",
        "D3DERR_SCENE_END_FAILED",
        "D3DERR_INBEGIN",
        "D3DERR_NOTINBEGIN",
        "D3DERR_NOVIEWPORTS",
        "D3DERR_VIEWPORTDATANOTSET",
        "D3DERR_VIEWPORTHASNODEVICE",
        "D3DERR_NOCURRENTVIEWPORT",
        "D3DERR_INVALIDVERTEXFORMAT",
        "D3DERR_COLORKEYATTACHED",
        "D3DERR_VERTEXBUFFEROPTIMIZED",
        "D3DERR_VBUF_CREATE_FAILED",
        "D3DERR_VERTEXBUFFERLOCKED",
        "D3DERR_ZBUFFER_NOTPRESENT",
        "D3DERR_STENCILBUFFER_NOTPRESENT",
        "D3DERR_WRONGTEXTUREFORMAT",
        "D3DERR_UNSUPPORTEDCOLOROPERATION",
        "D3DERR_UNSUPPORTEDCOLORARG",
        "D3DERR_UNSUPPORTEDALPHAOPERATION",
        "D3DERR_UNSUPPORTEDALPHAARG",
        "D3DERR_TOOMANYOPERATIONS",
        "D3DERR_CONFLICTINGTEXTUREFILTER",
        "D3DERR_UNSUPPORTEDFACTORVALUE",
        "D3DERR_CONFLICTINGRENDERSTATE",
        "D3DERR_UNSUPPORTEDTEXTUREFILTER",
        "D3DERR_TOOMANYPRIMITIVES",
        "D3DERR_INVALIDMATRIX",
        "D3DERR_TOOMANYVERTICES",
        "D3DERR_CONFLICTINGTEXTUREPALETTE",
        "D3DXERR_NOMEMORY",
        "D3DXERR_NULLPOINTER",
        "D3DXERR_INVALIDD3DXDEVICEINDEX",
        "D3DXERR_NODIRECTDRAWAVAILABLE",
        "D3DXERR_NODIRECT3DAVAILABLE",
        "D3DXERR_NODIRECT3DDEVICEAVAILABLE",
        "D3DXERR_NOPRIMARYAVAILABLE",
        "D3DXERR_NOZBUFFERAVAILABLE",
        "D3DXERR_NOBACKBUFFERAVAILABLE",
        "D3DXERR_COULDNTUPDATECAPS",
        "D3DXERR_NOZBUFFER",
        "D3DXERR_INVALIDMODE",
        "D3DXERR_INVALIDPARAMETER",
        "D3DXERR_INITFAILED",
        "D3DXERR_STARTUPFAILED",
        "D3DXERR_D3DXNOTSTARTEDYET",
        "D3DXERR_NOTINITIALIZED",
        "D3DXERR_FAILEDDRAWTEXT",
        "D3DXERR_BADD3DXCONTEXT",
        "D3DXERR_CAPSNOTSUPPORTED",
        "D3DXERR_UNSUPPORTEDFILEFORMAT",
        "D3DXERR_IFLERROR",
        "D3DXERR_FAILEDGETCAPS",
        "D3DXERR_CANNOTRESIZEFULLSCREEN",
        "D3DXERR_CANNOTRESIZENONWINDOWED",
        "D3DXERR_FRONTBUFFERALREADYEXISTS",
        "D3DXERR_FULLSCREENPRIMARYEXISTS",
        "D3DXERR_GETDCFAILED",
        "D3DXERR_BITBLTFAILED",
        "D3DXERR_NOTEXTURE",
        "D3DXERR_MIPLEVELABSENT",
        "D3DXERR_SURFACENOTPALETTED",
        "D3DXERR_ENUMFORMATSFAILED",
        "D3DXERR_COLORDEPTHTOOLOW",
        "D3DXERR_INVALIDFILEFORMAT",
        "D3DXERR_NOMATCHFOUND",
    };
    std::vector<std::string> found;
    auto look_up = [&](DWORD code) {
        std::string name = d3dutil_get_error_string((HRESULT)code);
        if (name.rfind("Unrecognized", 0) != 0)
            found.push_back(name);
    };
    for (DWORD code : {0x00000000u, 0x00000001u, 0x80004001u, 0x80004005u, 0x800401F0u, 0x8007000Eu,
                       0x80070057u})
        look_up(code);
    for (DWORD code = 0x88760000u; code <= 0x88760FFFu; ++code)
        look_up(code);
    for (DWORD code = 0xC8770B00u; code <= 0xC8770CFFu; ++code)
        look_up(code);
    EXPECT_EQ(found, names);
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
