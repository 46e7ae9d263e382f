#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "d3dmath.h"
#include "d3dutil.h"
#include "d3dxframe.h"
#include "platform/d3d_record.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
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

// Every name of the table with its code: each code of the ranges the names
// live in is looked up, so a name lost, misspelt, out of order (the look-up
// halves the table, and misses what is out of place) or under another code
// shows.
TEST(ErrorNames, EveryNameIsFoundByItsCode)
{
    const std::vector<std::pair<DWORD, std::string>> names = {
        {0x00000000, "D3D_OK"},
        {0x00000001, "DD_FALSE"},
        {0x80004001, "DDERR_UNSUPPORTED"},
        {0x80004005, "DDERR_GENERIC"},
        {0x800401F0, "DDERR_NOTINITIALIZED"},
        {0x8007000E, "DDERR_OUTOFMEMORY"},
        {0x80070057, "DDERR_INVALIDPARAMS"},
        {(DWORD)MAKE_DDHRESULT(5), "DDERR_ALREADYINITIALIZED"},
        {(DWORD)MAKE_DDHRESULT(10), "DDERR_CANNOTATTACHSURFACE"},
        {(DWORD)MAKE_DDHRESULT(20), "DDERR_CANNOTDETACHSURFACE"},
        {(DWORD)MAKE_DDHRESULT(40), "DDERR_CURRENTLYNOTAVAIL"},
        {(DWORD)MAKE_DDHRESULT(55), "DDERR_EXCEPTION"},
        {(DWORD)MAKE_DDHRESULT(90), "DDERR_HEIGHTALIGN"},
        {(DWORD)MAKE_DDHRESULT(95), "DDERR_INCOMPATIBLEPRIMARY"},
        {(DWORD)MAKE_DDHRESULT(100), "DDERR_INVALIDCAPS"},
        {(DWORD)MAKE_DDHRESULT(110), "DDERR_INVALIDCLIPLIST"},
        {(DWORD)MAKE_DDHRESULT(120), "DDERR_INVALIDMODE"},
        {(DWORD)MAKE_DDHRESULT(130), "DDERR_INVALIDOBJECT"},
        {(DWORD)MAKE_DDHRESULT(145), "DDERR_INVALIDPIXELFORMAT"},
        {(DWORD)MAKE_DDHRESULT(150), "DDERR_INVALIDRECT"},
        {(DWORD)MAKE_DDHRESULT(160), "DDERR_LOCKEDSURFACES"},
        {(DWORD)MAKE_DDHRESULT(170), "DDERR_NO3D"},
        {(DWORD)MAKE_DDHRESULT(180), "DDERR_NOALPHAHW"},
        {(DWORD)MAKE_DDHRESULT(205), "DDERR_NOCLIPLIST"},
        {(DWORD)MAKE_DDHRESULT(210), "DDERR_NOCOLORCONVHW"},
        {(DWORD)MAKE_DDHRESULT(212), "DDERR_NOCOOPERATIVELEVELSET"},
        {(DWORD)MAKE_DDHRESULT(215), "DDERR_NOCOLORKEY"},
        {(DWORD)MAKE_DDHRESULT(220), "DDERR_NOCOLORKEYHW"},
        {(DWORD)MAKE_DDHRESULT(222), "DDERR_NODIRECTDRAWSUPPORT"},
        {(DWORD)MAKE_DDHRESULT(225), "DDERR_NOEXCLUSIVEMODE"},
        {(DWORD)MAKE_DDHRESULT(230), "DDERR_NOFLIPHW"},
        {(DWORD)MAKE_DDHRESULT(240), "DDERR_NOGDI"},
        {(DWORD)MAKE_DDHRESULT(250), "DDERR_NOMIRRORHW"},
        {(DWORD)MAKE_DDHRESULT(255), "DDERR_NOTFOUND"},
        {(DWORD)MAKE_DDHRESULT(260), "DDERR_NOOVERLAYHW"},
        {(DWORD)MAKE_DDHRESULT(270), "DDERR_OVERLAPPINGRECTS"},
        {(DWORD)MAKE_DDHRESULT(280), "DDERR_NORASTEROPHW"},
        {(DWORD)MAKE_DDHRESULT(290), "DDERR_NOROTATIONHW"},
        {(DWORD)MAKE_DDHRESULT(310), "DDERR_NOSTRETCHHW"},
        {(DWORD)MAKE_DDHRESULT(316), "DDERR_NOT4BITCOLOR"},
        {(DWORD)MAKE_DDHRESULT(317), "DDERR_NOT4BITCOLORINDEX"},
        {(DWORD)MAKE_DDHRESULT(320), "DDERR_NOT8BITCOLOR"},
        {(DWORD)MAKE_DDHRESULT(330), "DDERR_NOTEXTUREHW"},
        {(DWORD)MAKE_DDHRESULT(335), "DDERR_NOVSYNCHW"},
        {(DWORD)MAKE_DDHRESULT(340), "DDERR_NOZBUFFERHW"},
        {(DWORD)MAKE_DDHRESULT(350), "DDERR_NOZOVERLAYHW"},
        {(DWORD)MAKE_DDHRESULT(360), "DDERR_OUTOFCAPS"},
        {(DWORD)MAKE_DDHRESULT(380), "DDERR_OUTOFVIDEOMEMORY"},
        {(DWORD)MAKE_DDHRESULT(382), "DDERR_OVERLAYCANTCLIP"},
        {(DWORD)MAKE_DDHRESULT(384), "DDERR_OVERLAYCOLORKEYONLYONEACTIVE"},
        {(DWORD)MAKE_DDHRESULT(387), "DDERR_PALETTEBUSY"},
        {(DWORD)MAKE_DDHRESULT(400), "DDERR_COLORKEYNOTSET"},
        {(DWORD)MAKE_DDHRESULT(410), "DDERR_SURFACEALREADYATTACHED"},
        {(DWORD)MAKE_DDHRESULT(420), "DDERR_SURFACEALREADYDEPENDENT"},
        {(DWORD)MAKE_DDHRESULT(430), "DDERR_SURFACEBUSY"},
        {(DWORD)MAKE_DDHRESULT(435), "DDERR_CANTLOCKSURFACE"},
        {(DWORD)MAKE_DDHRESULT(440), "DDERR_SURFACEISOBSCURED"},
        {(DWORD)MAKE_DDHRESULT(450), "DDERR_SURFACELOST"},
        {(DWORD)MAKE_DDHRESULT(460), "DDERR_SURFACENOTATTACHED"},
        {(DWORD)MAKE_DDHRESULT(470), "DDERR_TOOBIGHEIGHT"},
        {(DWORD)MAKE_DDHRESULT(480), "DDERR_TOOBIGSIZE"},
        {(DWORD)MAKE_DDHRESULT(490), "DDERR_TOOBIGWIDTH"},
        {(DWORD)MAKE_DDHRESULT(510), "DDERR_UNSUPPORTEDFORMAT"},
        {(DWORD)MAKE_DDHRESULT(520), "DDERR_UNSUPPORTEDMASK"},
        {(DWORD)MAKE_DDHRESULT(521), "DDERR_INVALIDSTREAM"},
        {(DWORD)MAKE_DDHRESULT(537), "DDERR_VERTICALBLANKINPROGRESS"},
        {(DWORD)MAKE_DDHRESULT(540), "DDERR_WASSTILLDRAWING"},
        {(DWORD)MAKE_DDHRESULT(560), "DDERR_XALIGN"},
        {(DWORD)MAKE_DDHRESULT(561), "DDERR_INVALIDDIRECTDRAWGUID"},
        {(DWORD)MAKE_DDHRESULT(562), "DDERR_DIRECTDRAWALREADYCREATED"},
        {(DWORD)MAKE_DDHRESULT(563), "DDERR_NODIRECTDRAWHW"},
        {(DWORD)MAKE_DDHRESULT(564), "DDERR_PRIMARYSURFACEALREADYEXISTS"},
        {(DWORD)MAKE_DDHRESULT(565), "DDERR_NOEMULATION"},
        {(DWORD)MAKE_DDHRESULT(566), "DDERR_REGIONTOOSMALL"},
        {(DWORD)MAKE_DDHRESULT(567), "DDERR_CLIPPERISUSINGHWND"},
        {(DWORD)MAKE_DDHRESULT(568), "DDERR_NOCLIPPERATTACHED"},
        {(DWORD)MAKE_DDHRESULT(569), "DDERR_NOHWND"},
        {(DWORD)MAKE_DDHRESULT(570), "DDERR_HWNDSUBCLASSED"},
        {(DWORD)MAKE_DDHRESULT(571), "DDERR_HWNDALREADYSET"},
        {(DWORD)MAKE_DDHRESULT(572), "DDERR_NOPALETTEATTACHED"},
        {(DWORD)MAKE_DDHRESULT(573), "DDERR_NOPALETTEHW"},
        {(DWORD)MAKE_DDHRESULT(574), "DDERR_BLTFASTCANTCLIP"},
        {(DWORD)MAKE_DDHRESULT(575), "DDERR_NOBLTHW"},
        {(DWORD)MAKE_DDHRESULT(576), "DDERR_NODDROPSHW"},
        {(DWORD)MAKE_DDHRESULT(577), "DDERR_OVERLAYNOTVISIBLE"},
        {(DWORD)MAKE_DDHRESULT(578), "DDERR_NOOVERLAYDEST"},
        {(DWORD)MAKE_DDHRESULT(579), "DDERR_INVALIDPOSITION"},
        {(DWORD)MAKE_DDHRESULT(580), "DDERR_NOTAOVERLAYSURFACE"},
        {(DWORD)MAKE_DDHRESULT(581), "DDERR_EXCLUSIVEMODEALREADYSET"},
        {(DWORD)MAKE_DDHRESULT(582), "DDERR_NOTFLIPPABLE"},
        {(DWORD)MAKE_DDHRESULT(583), "DDERR_CANTDUPLICATE"},
        {(DWORD)MAKE_DDHRESULT(584), "DDERR_NOTLOCKED"},
        {(DWORD)MAKE_DDHRESULT(585), "DDERR_CANTCREATEDC"},
        {(DWORD)MAKE_DDHRESULT(586), "DDERR_NODC"},
        {(DWORD)MAKE_DDHRESULT(587), "DDERR_WRONGMODE"},
        {(DWORD)MAKE_DDHRESULT(588), "DDERR_IMPLICITLYCREATED"},
        {(DWORD)MAKE_DDHRESULT(589), "DDERR_NOTPALETTIZED"},
        {(DWORD)MAKE_DDHRESULT(590), "DDERR_UNSUPPORTEDMODE"},
        {(DWORD)MAKE_DDHRESULT(591), "DDERR_NOMIPMAPHW"},
        {(DWORD)MAKE_DDHRESULT(592), "DDERR_INVALIDSURFACETYPE"},
        {(DWORD)MAKE_DDHRESULT(600), "DDERR_NOOPTIMIZEHW"},
        {(DWORD)MAKE_DDHRESULT(601), "DDERR_NOTLOADED"},
        {(DWORD)MAKE_DDHRESULT(602), "DDERR_NOFOCUSWINDOW"},
        {(DWORD)MAKE_DDHRESULT(620), "DDERR_DCALREADYCREATED"},
        {(DWORD)MAKE_DDHRESULT(630), "DDERR_NONONLOCALVIDMEM"},
        {(DWORD)MAKE_DDHRESULT(640), "DDERR_CANTPAGELOCK"},
        {(DWORD)MAKE_DDHRESULT(660), "DDERR_CANTPAGEUNLOCK"},
        {(DWORD)MAKE_DDHRESULT(680), "DDERR_NOTPAGELOCKED"},
        {(DWORD)MAKE_DDHRESULT(690), "DDERR_MOREDATA"},
        {(DWORD)MAKE_DDHRESULT(691), "DDERR_EXPIRED"},
        {(DWORD)MAKE_DDHRESULT(695), "DDERR_VIDEONOTACTIVE"},
        {(DWORD)MAKE_DDHRESULT(699), "DDERR_DEVICEDOESNTOWNSURFACE"},
        {(DWORD)MAKE_DDHRESULT(700), "D3DERR_BADMAJORVERSION"},
        {(DWORD)MAKE_DDHRESULT(701), "D3DERR_BADMINORVERSION"},
        {(DWORD)MAKE_DDHRESULT(705), "D3DERR_INVALID_DEVICE"},
        {(DWORD)MAKE_DDHRESULT(706), "D3DERR_INITFAILED"},
        {(DWORD)MAKE_DDHRESULT(707), "D3DERR_DEVICEAGGREGATED"},
        {(DWORD)MAKE_DDHRESULT(710), "D3DERR_EXECUTE_CREATE_FAILED"},
        {(DWORD)MAKE_DDHRESULT(711), "D3DERR_EXECUTE_DESTROY_FAILED"},
        {(DWORD)MAKE_DDHRESULT(712), "D3DERR_EXECUTE_LOCK_FAILED"},
        {(DWORD)MAKE_DDHRESULT(713), "D3DERR_EXECUTE_UNLOCK_FAILED"},
        {(DWORD)MAKE_DDHRESULT(714), "D3DERR_EXECUTE_LOCKED"},
        {(DWORD)MAKE_DDHRESULT(715), "D3DERR_EXECUTE_NOT_LOCKED"},
        {(DWORD)MAKE_DDHRESULT(716), "D3DERR_EXECUTE_FAILED"},
        {(DWORD)MAKE_DDHRESULT(717), "D3DERR_EXECUTE_CLIPPED_FAILED"},
        {(DWORD)MAKE_DDHRESULT(720), "D3DERR_TEXTURE_NO_SUPPORT"},
        {(DWORD)MAKE_DDHRESULT(721), "D3DERR_TEXTURE_CREATE_FAILED"},
        {(DWORD)MAKE_DDHRESULT(722), "D3DERR_TEXTURE_DESTROY_FAILED"},
        {(DWORD)MAKE_DDHRESULT(723), "D3DERR_TEXTURE_LOCK_FAILED"},
        {(DWORD)MAKE_DDHRESULT(724), "D3DERR_TEXTURE_UNLOCK_FAILED"},
        {(DWORD)MAKE_DDHRESULT(725), "D3DERR_TEXTURE_LOAD_FAILED"},
        {(DWORD)MAKE_DDHRESULT(726), "D3DERR_TEXTURE_SWAP_FAILED"},
        {(DWORD)MAKE_DDHRESULT(727), "D3DERR_TEXTURE_LOCKED"},
        {(DWORD)MAKE_DDHRESULT(728), "D3DERR_TEXTURE_NOT_LOCKED"},
        {(DWORD)MAKE_DDHRESULT(729), "D3DERR_TEXTURE_GETSURF_FAILED"},
        {(DWORD)MAKE_DDHRESULT(730), "D3DERR_MATRIX_CREATE_FAILED"},
        {(DWORD)MAKE_DDHRESULT(731), "D3DERR_MATRIX_DESTROY_FAILED"},
        {(DWORD)MAKE_DDHRESULT(732), "D3DERR_MATRIX_SETDATA_FAILED"},
        {(DWORD)MAKE_DDHRESULT(733), "D3DERR_MATRIX_GETDATA_FAILED"},
        {(DWORD)MAKE_DDHRESULT(734), "D3DERR_SETVIEWPORTDATA_FAILED"},
        {(DWORD)MAKE_DDHRESULT(735), "D3DERR_INVALIDCURRENTVIEWPORT"},
        {(DWORD)MAKE_DDHRESULT(736), "D3DERR_INVALIDPRIMITIVETYPE"},
        {(DWORD)MAKE_DDHRESULT(737), "D3DERR_INVALIDVERTEXTYPE"},
        {(DWORD)MAKE_DDHRESULT(738), "D3DERR_TEXTURE_BADSIZE"},
        {(DWORD)MAKE_DDHRESULT(739), "D3DERR_INVALIDRAMPTEXTURE"},
        {(DWORD)MAKE_DDHRESULT(740), "D3DERR_MATERIAL_CREATE_FAILED"},
        {(DWORD)MAKE_DDHRESULT(741), "D3DERR_MATERIAL_DESTROY_FAILED"},
        {(DWORD)MAKE_DDHRESULT(742), "D3DERR_MATERIAL_SETDATA_FAILED"},
        {(DWORD)MAKE_DDHRESULT(743), "D3DERR_MATERIAL_GETDATA_FAILED"},
        {(DWORD)MAKE_DDHRESULT(744), "D3DERR_INVALIDPALETTE"},
        {(DWORD)MAKE_DDHRESULT(745), "D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY"},
        {(DWORD)MAKE_DDHRESULT(746), "D3DERR_ZBUFF_NEEDS_VIDEOMEMORY"},
        {(DWORD)MAKE_DDHRESULT(747), "D3DERR_SURFACENOTINVIDMEM"},
        {(DWORD)MAKE_DDHRESULT(750), "D3DERR_LIGHT_SET_FAILED"},
        {(DWORD)MAKE_DDHRESULT(751), "D3DERR_LIGHTHASVIEWPORT"},
        {(DWORD)MAKE_DDHRESULT(752), "D3DERR_LIGHTNOTINTHISVIEWPORT"},
        {(DWORD)MAKE_DDHRESULT(760), "D3DERR_SCENE_IN_SCENE"},
        {(DWORD)MAKE_DDHRESULT(761), "D3DERR_SCENE_NOT_IN_SCENE"},
        {(DWORD)MAKE_DDHRESULT(762), "D3DERR_SCENE_BEGIN_FAILED"},
        {(DWORD)MAKE_DDHRESULT(763), "D3DERR_SCENE_END_FAILED"},
        {(DWORD)MAKE_DDHRESULT(770), "D3DERR_INBEGIN"},
        {(DWORD)MAKE_DDHRESULT(771), "D3DERR_NOTINBEGIN"},
        {(DWORD)MAKE_DDHRESULT(780), "D3DERR_NOVIEWPORTS"},
        {(DWORD)MAKE_DDHRESULT(781), "D3DERR_VIEWPORTDATANOTSET"},
        {(DWORD)MAKE_DDHRESULT(782), "D3DERR_VIEWPORTHASNODEVICE"},
        {(DWORD)MAKE_DDHRESULT(783), "D3DERR_NOCURRENTVIEWPORT"},
        {(DWORD)MAKE_DDHRESULT(2048), "D3DERR_INVALIDVERTEXFORMAT"},
        {(DWORD)MAKE_DDHRESULT(2050), "D3DERR_COLORKEYATTACHED"},
        {(DWORD)MAKE_DDHRESULT(2060), "D3DERR_VERTEXBUFFEROPTIMIZED"},
        {(DWORD)MAKE_DDHRESULT(2061), "D3DERR_VBUF_CREATE_FAILED"},
        {(DWORD)MAKE_DDHRESULT(2062), "D3DERR_VERTEXBUFFERLOCKED"},
        {(DWORD)MAKE_DDHRESULT(2070), "D3DERR_ZBUFFER_NOTPRESENT"},
        {(DWORD)MAKE_DDHRESULT(2071), "D3DERR_STENCILBUFFER_NOTPRESENT"},
        {(DWORD)MAKE_DDHRESULT(2072), "D3DERR_WRONGTEXTUREFORMAT"},
        {(DWORD)MAKE_DDHRESULT(2073), "D3DERR_UNSUPPORTEDCOLOROPERATION"},
        {(DWORD)MAKE_DDHRESULT(2074), "D3DERR_UNSUPPORTEDCOLORARG"},
        {(DWORD)MAKE_DDHRESULT(2075), "D3DERR_UNSUPPORTEDALPHAOPERATION"},
        {(DWORD)MAKE_DDHRESULT(2076), "D3DERR_UNSUPPORTEDALPHAARG"},
        {(DWORD)MAKE_DDHRESULT(2077), "D3DERR_TOOMANYOPERATIONS"},
        {(DWORD)MAKE_DDHRESULT(2078), "D3DERR_CONFLICTINGTEXTUREFILTER"},
        {(DWORD)MAKE_DDHRESULT(2079), "D3DERR_UNSUPPORTEDFACTORVALUE"},
        {(DWORD)MAKE_DDHRESULT(2081), "D3DERR_CONFLICTINGRENDERSTATE"},
        {(DWORD)MAKE_DDHRESULT(2082), "D3DERR_UNSUPPORTEDTEXTUREFILTER"},
        {(DWORD)MAKE_DDHRESULT(2083), "D3DERR_TOOMANYPRIMITIVES"},
        {(DWORD)MAKE_DDHRESULT(2084), "D3DERR_INVALIDMATRIX"},
        {(DWORD)MAKE_DDHRESULT(2085), "D3DERR_TOOMANYVERTICES"},
        {(DWORD)MAKE_DDHRESULT(2086), "D3DERR_CONFLICTINGTEXTUREPALETTE"},
        {0xC8770BB8, "D3DXERR_NOMEMORY"},
        {0xC8770BB9, "D3DXERR_NULLPOINTER"},
        {0xC8770BBA, "D3DXERR_INVALIDD3DXDEVICEINDEX"},
        {0xC8770BBB, "D3DXERR_NODIRECTDRAWAVAILABLE"},
        {0xC8770BBC, "D3DXERR_NODIRECT3DAVAILABLE"},
        {0xC8770BBD, "D3DXERR_NODIRECT3DDEVICEAVAILABLE"},
        {0xC8770BBE, "D3DXERR_NOPRIMARYAVAILABLE"},
        {0xC8770BBF, "D3DXERR_NOZBUFFERAVAILABLE"},
        {0xC8770BC0, "D3DXERR_NOBACKBUFFERAVAILABLE"},
        {0xC8770BC1, "D3DXERR_COULDNTUPDATECAPS"},
        {0xC8770BC2, "D3DXERR_NOZBUFFER"},
        {0xC8770BC3, "D3DXERR_INVALIDMODE"},
        {0xC8770BC4, "D3DXERR_INVALIDPARAMETER"},
        {0xC8770BC5, "D3DXERR_INITFAILED"},
        {0xC8770BC6, "D3DXERR_STARTUPFAILED"},
        {0xC8770BC7, "D3DXERR_D3DXNOTSTARTEDYET"},
        {0xC8770BC8, "D3DXERR_NOTINITIALIZED"},
        {0xC8770BC9, "D3DXERR_FAILEDDRAWTEXT"},
        {0xC8770BCA, "D3DXERR_BADD3DXCONTEXT"},
        {0xC8770BCB, "D3DXERR_CAPSNOTSUPPORTED"},
        {0xC8770BCC, "D3DXERR_UNSUPPORTEDFILEFORMAT"},
        {0xC8770BCD, "D3DXERR_IFLERROR"},
        {0xC8770BCE, "D3DXERR_FAILEDGETCAPS"},
        {0xC8770BCF, "D3DXERR_CANNOTRESIZEFULLSCREEN"},
        {0xC8770BD0, "D3DXERR_CANNOTRESIZENONWINDOWED"},
        {0xC8770BD1, "D3DXERR_FRONTBUFFERALREADYEXISTS"},
        {0xC8770BD2, "D3DXERR_FULLSCREENPRIMARYEXISTS"},
        {0xC8770BD3, "D3DXERR_GETDCFAILED"},
        {0xC8770BD4, "D3DXERR_BITBLTFAILED"},
        {0xC8770BD5, "D3DXERR_NOTEXTURE"},
        {0xC8770BD6, "D3DXERR_MIPLEVELABSENT"},
        {0xC8770BD7, "D3DXERR_SURFACENOTPALETTED"},
        {0xC8770BD8, "D3DXERR_ENUMFORMATSFAILED"},
        {0xC8770BD9, "D3DXERR_COLORDEPTHTOOLOW"},
        {0xC8770BDA, "D3DXERR_INVALIDFILEFORMAT"},
        {0xC8770BDB, "D3DXERR_NOMATCHFOUND"},
    };
    std::vector<std::pair<DWORD, std::string>> found;
    auto look_up = [&](DWORD code) {
        std::string name = d3dutil_get_error_string((HRESULT)code);
        if (name.rfind("Unrecognized", 0) != 0)
            found.emplace_back(code, name);
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

    // Every entry counts: a point through a matrix of sixteen different numbers.
    D3DMATRIX full;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            full.m[row][column] = (float)(1 + row * 4 + column);
    D3DVECTOR point = {1.0f, 2.0f, 3.0f};
    ASSERT_EQ(d3dmath_vector_matrix_multiply(&point, &point, &full), S_OK);
    // (1 2 3 1) times the rows: x 1+10+27+13, y 2+12+30+14, z 3+14+33+15, w 4+16+36+16.
    EXPECT_FLOAT_EQ(point.x, 51.0f / 72.0f);
    EXPECT_FLOAT_EQ(point.y, 58.0f / 72.0f);
    EXPECT_FLOAT_EQ(point.z, 65.0f / 72.0f);

    D3DMATRIX moved = rotation_and_translation();
    D3DVECTOR in[2] = {{0, 0, 0}, {0, 0, 1}}, pair[2];
    ASSERT_EQ(d3dmath_transform_point_and_direction(pair, in, &moved), S_OK);
    EXPECT_FLOAT_EQ(pair[0].x, 4.0f);
    EXPECT_FLOAT_EQ(pair[1].x, moved.m[2][0]);  // no translation for the direction
    EXPECT_EQ(moved.m[3][0], 4.0f);
}

// Looking down z from the origin the look-at part is the identity, so each
// turn alone is its rotation: yaw about y, pitch and roll the other way round.
TEST(MatrixHelpers, ViewMatrixTurnsByYawPitchAndRoll)
{
    const D3DVECTOR from = {0, 0, 0}, at = {0, 0, 5}, up = {0, 1, 0};
    D3DMATRIX expected[3];
    d3dutil_set_rotate_y_matrix(&expected[0], 0.3f);
    d3dutil_set_rotate_x_matrix(&expected[1], -0.4f);
    d3dutil_set_rotate_z_matrix(&expected[2], -0.5f);
    const float turns[3][3] = {{0, 0.3f, 0}, {0, 0, 0.4f}, {0.5f, 0, 0}};  // roll, yaw, pitch
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        D3DMATRIX view;
        ASSERT_EQ(
            d3dutil_set_view_matrix(&view, &from, &at, &up, turns[i][0], turns[i][1], turns[i][2]),
            S_OK);
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column)
                EXPECT_NEAR(view.m[row][column], expected[i].m[row][column], 1e-6)
                    << row << "," << column;
    }
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

// The axis form rotates the other way round for row vectors: each rotation
// about x, y or z is the axis form's about that axis by the opposite angle.
TEST(MatrixHelpers, RotationsAboutTheAxesMatchTheAxisForm)
{
    const struct {
        void (*rotate)(D3DMATRIX*, float);
        D3DVECTOR axis;
    } cases[] = {{d3dutil_set_rotate_x_matrix, {1, 0, 0}},
                 {d3dutil_set_rotate_y_matrix, {0, 1, 0}},
                 {d3dutil_set_rotate_z_matrix, {0, 0, 1}}};
    for (const auto& c : cases) {
        D3DMATRIX about_axis, general;
        c.rotate(&about_axis, 0.4f);
        d3dutil_set_rotation_matrix(&general, &c.axis, -0.4f);
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column)
                EXPECT_NEAR(about_axis.m[row][column], general.m[row][column], 1e-6)
                    << c.axis.x << c.axis.y << c.axis.z << " at " << row << "," << column;
    }
}

// About any axis: the axis stays where it is, and lengths and angles are
// kept (the matrix times its transpose is the identity).
TEST(MatrixHelpers, ARotationAboutAnyAxisKeepsTheAxisAndIsOrthonormal)
{
    D3DVECTOR axis = {1.0f, 2.0f, 3.0f};
    D3DMATRIX r;
    d3dutil_set_rotation_matrix(&r, &axis, 0.7f);
    d3dutil_vector_normalize(&axis);
    for (int column = 0; column < 3; ++column)
        EXPECT_NEAR(axis.x * r.m[0][column] + axis.y * r.m[1][column] + axis.z * r.m[2][column],
                    column == 0   ? axis.x
                    : column == 1 ? axis.y
                                  : axis.z,
                    1e-6);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float dot = 0.0f;
            for (int k = 0; k < 4; ++k)
                dot += r.m[i][k] * r.m[j][k];
            EXPECT_NEAR(dot, i == j ? 1.0f : 0.0f, 1e-6) << i << "," << j;
        }
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
    // Descriptions handed to the device: sized, and empty but for what is
    // asked, whatever the memory held before.
    D3DDEVICEDESC device_desc;
    memset(&device_desc, 0xAB, sizeof device_desc);
    d3dutil_init_device_desc(&device_desc);
    EXPECT_EQ(device_desc.dwSize, 252u);
    EXPECT_EQ(device_desc.dpcTriCaps.dwSize, 56u);
    EXPECT_EQ(device_desc.dwFlags, 0u);
    EXPECT_EQ(device_desc.dwMaxTextureWidth, 0u);
    DDSURFACEDESC2 surface_desc;
    memset(&surface_desc, 0xAB, sizeof surface_desc);
    d3dutil_init_surface_desc(&surface_desc, DDSD_CAPS, DDSCAPS_TEXTURE);
    EXPECT_EQ(surface_desc.dwSize, 124u);
    EXPECT_EQ(surface_desc.dwFlags, (DWORD)DDSD_CAPS);
    EXPECT_EQ(surface_desc.ddsCaps.dwCaps, (DWORD)DDSCAPS_TEXTURE);
    EXPECT_EQ(surface_desc.ddpfPixelFormat.dwSize, 32u);
    EXPECT_EQ(surface_desc.dwWidth, 0u);

    test_reset_state();
    EXPECT_EQ(d3dutil_get_display_depth(nullptr), 32u);
    EXPECT_EQ(d3dutil_detect_gamma_ramp_support(nullptr), 1);
    EXPECT_EQ(d3dutil_get_device_memory_type(nullptr), 0u);
    EXPECT_EQ(d3d_live_objects(), 0);
}

// The device's own description decides where textures go: the device of the
// frame describes itself in its hardware description, not in the emulated one.
TEST(RecordHelpers, TheFramesDeviceTakesTexturesInVideoMemory)
{
    test_reset_state();
    ASSERT_NE(test_open_game_window("Util Test Window", DefWindowProc), nullptr);
    EXPECT_EQ(d3dutil_get_device_memory_type(d3dx_globals.device), (DWORD)DDSCAPS_VIDEOMEMORY);
    IDirectDraw7* ddraw = d3dutil_get_direct_draw_from_device(d3dx_globals.device);
    EXPECT_EQ(ddraw, d3dx_globals.ddraw);
    if (ddraw)
        ddraw->Release();
    d3dxframe_unitialize();
    win32_reset();
    EXPECT_EQ(d3d_live_objects(), 0);
}

}  // namespace
