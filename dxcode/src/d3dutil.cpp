#include "d3dutil.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "d3dmath.h"
#include "debug.h"
#include "math_util.h"

namespace {

struct error_name {
    DWORD code;
    const char* name;
};

constexpr DWORD dd(DWORD code)
{
    return 0x88760000u | code;
}

constexpr DWORD d3dx(DWORD offset)
{
    return 0xC8770BB8u + offset;
}

// Ascending by code.
const error_name error_names[] = {
    {0x00000000, "D3D_OK"},
    {0x00000001, "DD_FALSE"},
    {0x80004001, "DDERR_UNSUPPORTED"},
    {0x80004005, "DDERR_GENERIC"},
    {0x800401F0, "DDERR_NOTINITIALIZED"},
    {0x8007000E, "DDERR_OUTOFMEMORY"},
    {0x80070057, "DDERR_INVALIDPARAMS"},
    {dd(5), "DDERR_ALREADYINITIALIZED"},
    {dd(10), "DDERR_CANNOTATTACHSURFACE"},
    {dd(20), "DDERR_CANNOTDETACHSURFACE"},
    {dd(40), "DDERR_CURRENTLYNOTAVAIL"},
    {dd(55), "DDERR_EXCEPTION"},
    {dd(90), "DDERR_HEIGHTALIGN"},
    {dd(95), "DDERR_INCOMPATIBLEPRIMARY"},
    {dd(100), "DDERR_INVALIDCAPS"},
    {dd(110), "DDERR_INVALIDCLIPLIST"},
    {dd(120), "DDERR_INVALIDMODE"},
    {dd(130), "DDERR_INVALIDOBJECT"},
    {dd(145), "DDERR_INVALIDPIXELFORMAT"},
    {dd(150), "DDERR_INVALIDRECT"},
    {dd(160), "DDERR_LOCKEDSURFACES"},
    {dd(170), "DDERR_NO3D"},
    {dd(180), "DDERR_NOALPHAHW"},
    {dd(205), "DDERR_NOCLIPLIST"},
    {dd(210), "DDERR_NOCOLORCONVHW"},
    {dd(212), "DDERR_NOCOOPERATIVELEVELSET"},
    {dd(215), "DDERR_NOCOLORKEY"},
    {dd(220), "DDERR_NOCOLORKEYHW"},
    {dd(222), "DDERR_NODIRECTDRAWSUPPORT"},
    {dd(225), "DDERR_NOEXCLUSIVEMODE"},
    {dd(230), "DDERR_NOFLIPHW"},
    {dd(240), "DDERR_NOGDI"},
    {dd(250), "DDERR_NOMIRRORHW"},
    {dd(255), "DDERR_NOTFOUND"},
    {dd(260), "DDERR_NOOVERLAYHW"},
    {dd(270), "DDERR_OVERLAPPINGRECTS"},
    {dd(280), "DDERR_NORASTEROPHW"},
    {dd(290), "DDERR_NOROTATIONHW"},
    {dd(310), "DDERR_NOSTRETCHHW"},
    {dd(316), "DDERR_NOT4BITCOLOR"},
    {dd(317), "DDERR_NOT4BITCOLORINDEX"},
    {dd(320), "DDERR_NOT8BITCOLOR"},
    {dd(330), "DDERR_NOTEXTUREHW"},
    {dd(335), "DDERR_NOVSYNCHW"},
    {dd(340), "DDERR_NOZBUFFERHW"},
    {dd(350), "DDERR_NOZOVERLAYHW"},
    {dd(360), "DDERR_OUTOFCAPS"},
    {dd(380), "DDERR_OUTOFVIDEOMEMORY"},
    {dd(382), "DDERR_OVERLAYCANTCLIP"},
    {dd(384), "DDERR_OVERLAYCOLORKEYONLYONEACTIVE"},
    {dd(387), "DDERR_PALETTEBUSY"},
    {dd(400), "DDERR_COLORKEYNOTSET"},
    {dd(410), "DDERR_SURFACEALREADYATTACHED"},
    {dd(420), "DDERR_SURFACEALREADYDEPENDENT"},
    {dd(430), "DDERR_SURFACEBUSY"},
    {dd(435), "DDERR_CANTLOCKSURFACE"},
    {dd(440), "DDERR_SURFACEISOBSCURED"},
    {dd(450), "DDERR_SURFACELOST"},
    {dd(460), "DDERR_SURFACENOTATTACHED"},
    {dd(470), "DDERR_TOOBIGHEIGHT"},
    {dd(480), "DDERR_TOOBIGSIZE"},
    {dd(490), "DDERR_TOOBIGWIDTH"},
    {dd(510), "DDERR_UNSUPPORTEDFORMAT"},
    {dd(520), "DDERR_UNSUPPORTEDMASK"},
    {dd(521), "DDERR_INVALIDSTREAM"},
    {dd(537), "DDERR_VERTICALBLANKINPROGRESS"},
    {dd(540), "DDERR_WASSTILLDRAWING"},
    {dd(560), "DDERR_XALIGN"},
    {dd(561), "DDERR_INVALIDDIRECTDRAWGUID"},
    {dd(562), "DDERR_DIRECTDRAWALREADYCREATED"},
    {dd(563), "DDERR_NODIRECTDRAWHW"},
    {dd(564), "DDERR_PRIMARYSURFACEALREADYEXISTS"},
    {dd(565), "DDERR_NOEMULATION"},
    {dd(566), "DDERR_REGIONTOOSMALL"},
    {dd(567), "DDERR_CLIPPERISUSINGHWND"},
    {dd(568), "DDERR_NOCLIPPERATTACHED"},
    {dd(569), "DDERR_NOHWND"},
    {dd(570), "DDERR_HWNDSUBCLASSED"},
    {dd(571), "DDERR_HWNDALREADYSET"},
    {dd(572), "DDERR_NOPALETTEATTACHED"},
    {dd(573), "DDERR_NOPALETTEHW"},
    {dd(574), "DDERR_BLTFASTCANTCLIP"},
    {dd(575), "DDERR_NOBLTHW"},
    {dd(576), "DDERR_NODDROPSHW"},
    {dd(577), "DDERR_OVERLAYNOTVISIBLE"},
    {dd(578), "DDERR_NOOVERLAYDEST"},
    {dd(579), "DDERR_INVALIDPOSITION"},
    {dd(580), "DDERR_NOTAOVERLAYSURFACE"},
    {dd(581), "DDERR_EXCLUSIVEMODEALREADYSET"},
    {dd(582), "DDERR_NOTFLIPPABLE"},
    {dd(583), "DDERR_CANTDUPLICATE"},
    {dd(584), "DDERR_NOTLOCKED"},
    {dd(585), "DDERR_CANTCREATEDC"},
    {dd(586), "DDERR_NODC"},
    {dd(587), "DDERR_WRONGMODE"},
    {dd(588), "DDERR_IMPLICITLYCREATED"},
    {dd(589), "DDERR_NOTPALETTIZED"},
    {dd(590), "DDERR_UNSUPPORTEDMODE"},
    {dd(591), "DDERR_NOMIPMAPHW"},
    {dd(592), "DDERR_INVALIDSURFACETYPE"},
    {dd(600), "DDERR_NOOPTIMIZEHW"},
    {dd(601), "DDERR_NOTLOADED"},
    {dd(602), "DDERR_NOFOCUSWINDOW"},
    {dd(620), "DDERR_DCALREADYCREATED"},
    {dd(630), "DDERR_NONONLOCALVIDMEM"},
    {dd(640), "DDERR_CANTPAGELOCK"},
    {dd(660), "DDERR_CANTPAGEUNLOCK"},
    {dd(680), "DDERR_NOTPAGELOCKED"},
    {dd(690), "DDERR_MOREDATA"},
    {dd(691), "DDERR_EXPIRED"},
    {dd(695), "DDERR_VIDEONOTACTIVE"},
    {dd(699), "DDERR_DEVICEDOESNTOWNSURFACE"},
    {dd(700), "D3DERR_BADMAJORVERSION"},
    {dd(701), "D3DERR_BADMINORVERSION"},
    {dd(705), "D3DERR_INVALID_DEVICE"},
    {dd(706), "D3DERR_INITFAILED"},
    {dd(707), "D3DERR_DEVICEAGGREGATED"},
    {dd(710), "D3DERR_EXECUTE_CREATE_FAILED"},
    {dd(711), "D3DERR_EXECUTE_DESTROY_FAILED"},
    {dd(712), "D3DERR_EXECUTE_LOCK_FAILED"},
    {dd(713), "D3DERR_EXECUTE_UNLOCK_FAILED"},
    {dd(714), "D3DERR_EXECUTE_LOCKED"},
    {dd(715), "D3DERR_EXECUTE_NOT_LOCKED"},
    {dd(716), "D3DERR_EXECUTE_FAILED"},
    {dd(717), "D3DERR_EXECUTE_CLIPPED_FAILED"},
    {dd(720), "D3DERR_TEXTURE_NO_SUPPORT"},
    {dd(721), "D3DERR_TEXTURE_CREATE_FAILED"},
    {dd(722), "D3DERR_TEXTURE_DESTROY_FAILED"},
    {dd(723), "D3DERR_TEXTURE_LOCK_FAILED"},
    {dd(724), "D3DERR_TEXTURE_UNLOCK_FAILED"},
    {dd(725), "D3DERR_TEXTURE_LOAD_FAILED"},
    {dd(726), "D3DERR_TEXTURE_SWAP_FAILED"},
    {dd(727), "D3DERR_TEXTURE_LOCKED"},
    {dd(728), "D3DERR_TEXTURE_NOT_LOCKED"},
    {dd(729), "D3DERR_TEXTURE_GETSURF_FAILED"},
    {dd(730), "D3DERR_MATRIX_CREATE_FAILED"},
    {dd(731), "D3DERR_MATRIX_DESTROY_FAILED"},
    {dd(732), "D3DERR_MATRIX_SETDATA_FAILED"},
    {dd(733), "D3DERR_MATRIX_GETDATA_FAILED"},
    {dd(734), "D3DERR_SETVIEWPORTDATA_FAILED"},
    {dd(735), "D3DERR_INVALIDCURRENTVIEWPORT"},
    {dd(736), "D3DERR_INVALIDPRIMITIVETYPE"},
    {dd(737), "D3DERR_INVALIDVERTEXTYPE"},
    {dd(738), "D3DERR_TEXTURE_BADSIZE"},
    {dd(739), "D3DERR_INVALIDRAMPTEXTURE"},
    {dd(740), "D3DERR_MATERIAL_CREATE_FAILED"},
    {dd(741), "D3DERR_MATERIAL_DESTROY_FAILED"},
    {dd(742), "D3DERR_MATERIAL_SETDATA_FAILED"},
    {dd(743), "D3DERR_MATERIAL_GETDATA_FAILED"},
    {dd(744), "D3DERR_INVALIDPALETTE"},
    {dd(745), "D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY"},
    {dd(746), "D3DERR_ZBUFF_NEEDS_VIDEOMEMORY"},
    {dd(747), "D3DERR_SURFACENOTINVIDMEM"},
    {dd(750), "D3DERR_LIGHT_SET_FAILED"},
    {dd(751), "D3DERR_LIGHTHASVIEWPORT"},
    {dd(752), "D3DERR_LIGHTNOTINTHISVIEWPORT"},
    {dd(760), "D3DERR_SCENE_IN_SCENE"},
    {dd(761), "D3DERR_SCENE_NOT_IN_SCENE"},
    {dd(762), "D3DERR_SCENE_BEGIN_FAILED"},
    {dd(763), "D3DERR_SCENE_END_FAILED"},
    {dd(770), "D3DERR_INBEGIN"},
    {dd(771), "D3DERR_NOTINBEGIN"},
    {dd(780), "D3DERR_NOVIEWPORTS"},
    {dd(781), "D3DERR_VIEWPORTDATANOTSET"},
    {dd(782), "D3DERR_VIEWPORTHASNODEVICE"},
    {dd(783), "D3DERR_NOCURRENTVIEWPORT"},
    {dd(2048), "D3DERR_INVALIDVERTEXFORMAT"},
    {dd(2050), "D3DERR_COLORKEYATTACHED"},
    {dd(2060), "D3DERR_VERTEXBUFFEROPTIMIZED"},
    {dd(2061), "D3DERR_VBUF_CREATE_FAILED"},
    {dd(2062), "D3DERR_VERTEXBUFFERLOCKED"},
    {dd(2070), "D3DERR_ZBUFFER_NOTPRESENT"},
    {dd(2071), "D3DERR_STENCILBUFFER_NOTPRESENT"},
    {dd(2072), "D3DERR_WRONGTEXTUREFORMAT"},
    {dd(2073), "D3DERR_UNSUPPORTEDCOLOROPERATION"},
    {dd(2074), "D3DERR_UNSUPPORTEDCOLORARG"},
    {dd(2075), "D3DERR_UNSUPPORTEDALPHAOPERATION"},
    {dd(2076), "D3DERR_UNSUPPORTEDALPHAARG"},
    {dd(2077), "D3DERR_TOOMANYOPERATIONS"},
    {dd(2078), "D3DERR_CONFLICTINGTEXTUREFILTER"},
    {dd(2079), "D3DERR_UNSUPPORTEDFACTORVALUE"},
    {dd(2081), "D3DERR_CONFLICTINGRENDERSTATE"},
    {dd(2082), "D3DERR_UNSUPPORTEDTEXTUREFILTER"},
    {dd(2083), "D3DERR_TOOMANYPRIMITIVES"},
    {dd(2084), "D3DERR_INVALIDMATRIX"},
    {dd(2085), "D3DERR_TOOMANYVERTICES"},
    {dd(2086), "D3DERR_CONFLICTINGTEXTUREPALETTE"},
    {d3dx(0), "D3DXERR_NOMEMORY"},
    {d3dx(1), "D3DXERR_NULLPOINTER"},
    {d3dx(2), "D3DXERR_INVALIDD3DXDEVICEINDEX"},
    {d3dx(3), "D3DXERR_NODIRECTDRAWAVAILABLE"},
    {d3dx(4), "D3DXERR_NODIRECT3DAVAILABLE"},
    {d3dx(5), "D3DXERR_NODIRECT3DDEVICEAVAILABLE"},
    {d3dx(6), "D3DXERR_NOPRIMARYAVAILABLE"},
    {d3dx(7), "D3DXERR_NOZBUFFERAVAILABLE"},
    {d3dx(8), "D3DXERR_NOBACKBUFFERAVAILABLE"},
    {d3dx(9), "D3DXERR_COULDNTUPDATECAPS"},
    {d3dx(10), "D3DXERR_NOZBUFFER"},
    {d3dx(11), "D3DXERR_INVALIDMODE"},
    {d3dx(12), "D3DXERR_INVALIDPARAMETER"},
    {d3dx(13), "D3DXERR_INITFAILED"},
    {d3dx(14), "D3DXERR_STARTUPFAILED"},
    {d3dx(15), "D3DXERR_D3DXNOTSTARTEDYET"},
    {d3dx(16), "D3DXERR_NOTINITIALIZED"},
    {d3dx(17), "D3DXERR_FAILEDDRAWTEXT"},
    {d3dx(18), "D3DXERR_BADD3DXCONTEXT"},
    {d3dx(19), "D3DXERR_CAPSNOTSUPPORTED"},
    {d3dx(20), "D3DXERR_UNSUPPORTEDFILEFORMAT"},
    {d3dx(21), "D3DXERR_IFLERROR"},
    {d3dx(22), "D3DXERR_FAILEDGETCAPS"},
    {d3dx(23), "D3DXERR_CANNOTRESIZEFULLSCREEN"},
    {d3dx(24), "D3DXERR_CANNOTRESIZENONWINDOWED"},
    {d3dx(25), "D3DXERR_FRONTBUFFERALREADYEXISTS"},
    {d3dx(26), "D3DXERR_FULLSCREENPRIMARYEXISTS"},
    {d3dx(27), "D3DXERR_GETDCFAILED"},
    {d3dx(28), "D3DXERR_BITBLTFAILED"},
    {d3dx(29), "D3DXERR_NOTEXTURE"},
    {d3dx(30), "D3DXERR_MIPLEVELABSENT"},
    {d3dx(31), "D3DXERR_SURFACENOTPALETTED"},
    {d3dx(32), "D3DXERR_ENUMFORMATSFAILED"},
    {d3dx(33), "D3DXERR_COLORDEPTHTOOLOW"},
    {d3dx(34), "D3DXERR_INVALIDFILEFORMAT"},
    {d3dx(35), "D3DXERR_NOMATCHFOUND"},
};
static_assert(sizeof error_names / sizeof error_names[0] == 223, "one name per known result");

char unrecognized_text[64];

void set_identity(float m[4][4])
{
    memset(m, 0, sizeof(float) * 16);
    for (int i = 0; i < 4; ++i)
        m[i][i] = 1.0f;
}

// A DirectDraw 7 object with a reference of our own: the given one, or a
// new default object.
IDirectDraw7* own_direct_draw(IDirectDraw7* ddraw)
{
    if (ddraw) {
        ddraw->AddRef();
        return ddraw;
    }
    IDirectDraw7* made = nullptr;
    return SUCCEEDED(DirectDrawCreateEx(nullptr, &made, nullptr)) ? made : nullptr;
}

}  // namespace

const char* d3dutil_get_error_string(HRESULT hresult)
{
    DWORD code = (DWORD)hresult;
    size_t low = 0, high = sizeof error_names / sizeof error_names[0];
    while (low < high) {
        size_t middle = (low + high) / 2;
        if (error_names[middle].code < code)
            low = middle + 1;
        else
            high = middle;
    }
    if (low < sizeof error_names / sizeof error_names[0] && error_names[low].code == code)
        return error_names[low].name;
    snprintf(unrecognized_text, sizeof unrecognized_text, "Unrecognized D3D error code = %x", code);
    return unrecognized_text;
}

void d3dutil_set_identity_matrix(D3DMATRIX* matrix)
{
    set_identity(matrix->m);
}

void d3dutil_set_identity_matrix(win_matrix44* matrix)
{
    set_identity(matrix->m);
}

float d3dutil_vector_magnitude(const D3DVECTOR* v)
{
    return (float)math_util_sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
}

float d3dutil_vector_dot(const D3DVECTOR* a, const D3DVECTOR* b)
{
    return a->x * b->x + a->y * b->y + a->z * b->z;
}

void d3dutil_vector_cross(D3DVECTOR* out, const D3DVECTOR* a, const D3DVECTOR* b)
{
    D3DVECTOR cross = {a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z,
                       a->x * b->y - a->y * b->x};
    *out = cross;
}

void d3dutil_vector_normalize(D3DVECTOR* v)
{
    float magnitude = d3dutil_vector_magnitude(v);
    v->x /= magnitude;
    v->y /= magnitude;
    v->z /= magnitude;
}

HRESULT d3dutil_set_view_matrix(D3DMATRIX* out, const D3DVECTOR* from, const D3DVECTOR* at,
                                const D3DVECTOR* up, float roll, float yaw, float pitch)
{
    D3DVECTOR view = {at->x - from->x, at->y - from->y, at->z - from->z};
    if (d3dutil_vector_magnitude(&view) < 1e-6f) {
        LOG_ERROR("%s\n", "Magnitude of View vector < 1e-6f.");
        return E_INVALIDARG;
    }
    d3dutil_vector_normalize(&view);

    // Up made perpendicular to the view; y and then z stand in when the
    // given up is parallel to it.
    const D3DVECTOR candidates[3] = {*up, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
    D3DVECTOR true_up = {};
    bool found = false;
    for (int i = 0; i < 3 && !found; ++i) {
        float along = d3dutil_vector_dot(&candidates[i], &view);
        true_up = {candidates[i].x - along * view.x, candidates[i].y - along * view.y,
                   candidates[i].z - along * view.z};
        found = d3dutil_vector_magnitude(&true_up) >= 1e-6f;
    }
    if (!found) {
        LOG_ERROR("%s\n", "Magnitude of vUp vector < 1e-6f.");
        return E_INVALIDARG;
    }
    d3dutil_vector_normalize(&true_up);
    D3DVECTOR right;
    d3dutil_vector_cross(&right, &true_up, &view);

    D3DMATRIX look = {};
    const D3DVECTOR* columns[3] = {&right, &true_up, &view};
    for (int c = 0; c < 3; ++c) {
        look.m[0][c] = columns[c]->x;
        look.m[1][c] = columns[c]->y;
        look.m[2][c] = columns[c]->z;
        look.m[3][c] = -d3dutil_vector_dot(from, columns[c]);
    }
    look.m[3][3] = 1.0f;

    D3DMATRIX rotation;
    d3dutil_set_rotate_y_matrix(&rotation, yaw);
    d3dmath_matrix_multiply(&look, &rotation, &look);
    d3dutil_set_rotate_x_matrix(&rotation, -pitch);
    d3dmath_matrix_multiply(&look, &rotation, &look);
    d3dutil_set_rotate_z_matrix(&rotation, -roll);
    d3dmath_matrix_multiply(out, &rotation, &look);
    return S_OK;
}

HRESULT d3dutil_set_projection_matrix(D3DMATRIX* out, float fov, float aspect, float near_plane,
                                      float far_plane)
{
    if (far_plane - near_plane < 0.01f) {
        LOG_ERROR("%s\n", "Far Plane to Near Plane distance too small.");
        return E_INVALIDARG;
    }
    float c = (float)cos((double)(fov * 0.5f));
    float s = (float)sin((double)(fov * 0.5f));
    float q = far_plane * s / (far_plane - near_plane);
    memset(out, 0, sizeof *out);
    out->m[0][0] = c * aspect;
    out->m[1][1] = c;
    out->m[2][2] = q;
    out->m[2][3] = s;
    out->m[3][2] = -q * near_plane;
    return S_OK;
}

namespace {

// Identity with the 2 x 2 block at rows and columns (i, j) = (cos, sin; -sin, cos).
void set_plane_rotation(D3DMATRIX* out, int i, int j, float angle)
{
    float c = (float)cos((double)angle);
    float s = (float)sin((double)angle);
    set_identity(out->m);
    out->m[i][i] = c;
    out->m[i][j] = s;
    out->m[j][i] = -s;
    out->m[j][j] = c;
}

}  // namespace

void d3dutil_set_rotate_x_matrix(D3DMATRIX* out, float angle)
{
    set_plane_rotation(out, 1, 2, angle);
}

void d3dutil_set_rotate_y_matrix(D3DMATRIX* out, float angle)
{
    set_plane_rotation(out, 2, 0, angle);
}

void d3dutil_set_rotate_z_matrix(D3DMATRIX* out, float angle)
{
    set_plane_rotation(out, 0, 1, angle);
}

void d3dutil_set_rotation_matrix(D3DMATRIX* out, const D3DVECTOR* axis, float angle)
{
    D3DVECTOR v = *axis;
    d3dutil_vector_normalize(&v);
    float c = (float)cos((double)angle);
    float s = (float)sin((double)angle);
    float t = 1.0f - c;
    set_identity(out->m);
    out->m[0][0] = c + t * v.x * v.x;
    out->m[0][1] = t * v.x * v.y - s * v.z;
    out->m[0][2] = t * v.x * v.z + s * v.y;
    out->m[1][0] = t * v.y * v.x + s * v.z;
    out->m[1][1] = c + t * v.y * v.y;
    out->m[1][2] = t * v.y * v.z - s * v.x;
    out->m[2][0] = t * v.z * v.x - s * v.y;
    out->m[2][1] = t * v.z * v.y + s * v.x;
    out->m[2][2] = c + t * v.z * v.z;
}

void d3dutil_init_device_desc(D3DDEVICEDESC* desc)
{
    memset(desc, 0, sizeof *desc);
    desc->dwSize = 252;
    desc->dtcTransformCaps.dwSize = 8;
    desc->dlcLightingCaps.dwSize = 16;
    desc->dpcLineCaps.dwSize = 56;
    desc->dpcTriCaps.dwSize = 56;
}

void d3dutil_init_surface_desc(DDSURFACEDESC2* desc, DWORD flags, DWORD caps)
{
    memset(desc, 0, sizeof *desc);
    desc->dwSize = 124;
    desc->dwFlags = flags;
    desc->ddsCaps.dwCaps = caps;
    desc->ddpfPixelFormat.dwSize = 32;
}

void d3dutil_init_viewport(D3DVIEWPORT2* viewport, DWORD width, DWORD height)
{
    memset(viewport, 0, sizeof *viewport);
    viewport->dwSize = 44;
    viewport->dwWidth = width;
    viewport->dwHeight = height;
    viewport->dvClipX = -1.0f;
    viewport->dvClipY = 1.0f;
    viewport->dvClipWidth = 2.0f;
    viewport->dvClipHeight = 2.0f;
    viewport->dvMinZ = 0.0f;
    viewport->dvMaxZ = 1.0f;
}

void d3dutil_init_material(D3DMATERIAL* material, float red, float green, float blue)
{
    memset(material, 0, sizeof *material);
    material->dwSize = 80;
    material->diffuse = {red, green, blue, 0.0f};
    material->ambient = {red, green, blue, 0.0f};
    material->dwRampSize = 16;
}

void d3dutil_init_light(D3DLIGHT* light, DWORD type, float x, float y, float z)
{
    memset(light, 0, sizeof *light);
    light->dwSize = 80;
    light->dltType = type;
    light->dcvColor = {1.0f, 1.0f, 1.0f, 0.0f};
    light->dvPosition = {x, y, z};
    light->dvDirection = {x, y, z};
}

IDirectDraw7* d3dutil_get_direct_draw_from_device(IDirect3DDevice7* device)
{
    LOG_NOTICE("%s\n", "d3dutil_get_direct_draw_from_device called.");
    if (!device)
        return nullptr;
    IDirectDrawSurface7* target = nullptr;
    if (FAILED(device->GetRenderTarget(&target)) || !target) {
        LOG_ERROR("%s\n", "Failed to GetRenderTarget for pd3dDevice.");
        return nullptr;
    }
    IDirectDraw7* ddraw = nullptr;
    if (FAILED(target->GetDDInterface(&ddraw)))
        ddraw = nullptr;
    target->Release();
    return ddraw;
}

DWORD d3dutil_get_device_memory_type(IDirect3DDevice7* device)
{
    LOG_NOTICE("%s\n", "d3dutil_get_device_memory_type called.");
    if (!device) {
        LOG_ERROR("%s\n", "NULL pointer passed into function.");
        return 0;
    }
    D3DDEVICEDESC hardware, emulation;
    d3dutil_init_device_desc(&hardware);
    d3dutil_init_device_desc(&emulation);
    if (FAILED(device->GetCaps(&hardware, &emulation))) {
        LOG_ERROR("%s\n", "Unable to get d3d device caps.");
        return 0;
    }
    if (hardware.dwFlags) {
        LOG_NOTICE("%s\n", "VIDEO MEMORY specified.");
        return DDSCAPS_VIDEOMEMORY;
    }
    LOG_NOTICE("%s\n", "SYSTEM MEMORY specified.");
    return DDSCAPS_SYSTEMMEMORY;
}

DWORD d3dutil_get_display_depth(IDirectDraw7* ddraw)
{
    LOG_NOTICE("%s\n", "d3dutil_get_display_depth called.");
    IDirectDraw7* own = own_direct_draw(ddraw);
    if (!own)
        return 0;
    DDSURFACEDESC2 desc;
    d3dutil_init_surface_desc(&desc, 0, 0);
    DWORD depth = SUCCEEDED(own->GetDisplayMode(&desc)) ? desc.ddpfPixelFormat.dwRGBBitCount : 0;
    own->Release();
    return depth;
}

int d3dutil_detect_gamma_ramp_support(IDirectDraw7* ddraw)
{
    LOG_NOTICE("%s\n", "d3dutil_detect_gamma_ramp_support called.");
    IDirectDraw7* own = own_direct_draw(ddraw);
    if (!own)
        return 0;
    DDCAPS driver = {}, emulation = {};
    driver.dwSize = emulation.dwSize = sizeof(DDCAPS);
    int supported = SUCCEEDED(own->GetCaps(&driver, &emulation)) &&
                    (driver.dwCaps2 & DDCAPS2_PRIMARYGAMMA) != 0;
    own->Release();
    return supported;
}

WORD d3dutil_count_bits(DWORD mask)
{
    WORD count = 0;
    for (; mask; mask &= mask - 1)
        ++count;
    return count;
}
