#include <gtest/gtest.h>

#include <cstring>

#include "platform/d3d.h"
#include "platform/d3d_record.h"
#include "platform/d3dx.h"
#include "platform/gdi.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "platform_support.h"

namespace {

class Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        window = test_make_window("Device Test Window", DefWindowProc);
        ASSERT_EQ(D3DXInitialize(), S_OK);
        ASSERT_EQ(D3DXCreateContextEx(D3DX_DEFAULT, 0, window, nullptr, D3DX_DEFAULT, D3DX_DEFAULT,
                                      D3DX_DEFAULT, 0, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                      D3DX_DEFAULT, &context),
                  S_OK);
        device = context->GetD3DDevice();
        ASSERT_NE(device, nullptr);
    }
    void TearDown() override
    {
        if (device)
            device->Release();
        if (context)
            context->Release();
        D3DXUninitialize();
        EXPECT_EQ(d3d_live_objects(), 0);
        win32_reset();
    }

    HWND window = nullptr;
    ID3DXContext* context = nullptr;
    IDirect3DDevice7* device = nullptr;
};

TEST_F(Device, StartsWithTheDirect3D7Defaults)
{
    struct {
        DWORD type, value;
    } render_states[] = {
        {D3DRENDERSTATE_ZENABLE, D3DZB_TRUE},     {D3DRENDERSTATE_ZWRITEENABLE, TRUE},
        {D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID}, {D3DRENDERSTATE_CULLMODE, D3DCULL_CCW},
        {D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE},  {D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO},
        {D3DRENDERSTATE_LIGHTING, TRUE},          {D3DRENDERSTATE_ALPHABLENDENABLE, FALSE},
        {D3DRENDERSTATE_COLORKEYENABLE, FALSE},   {D3DRENDERSTATE_AMBIENT, 0},
        {D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL}, {D3DRENDERSTATE_FOGENABLE, FALSE},
    };
    for (const auto& state : render_states) {
        DWORD value = 0xDEAD;
        ASSERT_EQ(device->GetRenderState(state.type, &value), S_OK);
        EXPECT_EQ(value, state.value) << "render state " << state.type;
    }
    struct {
        DWORD stage, type, value;
    } stage_states[] = {
        {0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
        {0, D3DTSS_COLORARG1, D3DTA_TEXTURE}, {0, D3DTSS_COLORARG2, D3DTA_CURRENT},
        {0, D3DTSS_MAGFILTER, D3DTFG_POINT},  {3, D3DTSS_TEXCOORDINDEX, 3},
    };
    for (const auto& state : stage_states) {
        DWORD value = 0xDEAD;
        ASSERT_EQ(device->GetTextureStageState(state.stage, state.type, &value), S_OK);
        EXPECT_EQ(value, state.value) << "stage " << state.stage << " state " << state.type;
    }
    D3DMATRIX matrix;
    ASSERT_EQ(device->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &matrix), S_OK);
    EXPECT_EQ(matrix.m[0][0], 1.0f);
    EXPECT_EQ(matrix.m[3][3], 1.0f);
    EXPECT_EQ(matrix.m[0][1], 0.0f);
    D3DVIEWPORT7 viewport;
    ASSERT_EQ(device->GetViewport(&viewport), S_OK);
    EXPECT_EQ(viewport.dwWidth, 640u);
    EXPECT_EQ(device->GetRenderState(0, &viewport.dwX), DDERR_INVALIDPARAMS);
}

TEST_F(Device, InjectionSkipsThenFailsTheNamedCall)
{
    d3d_record_start();
    d3d_inject("Device.SetRenderState", DDERR_SURFACELOST, 1, 2);
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_ZBIAS, 1), S_OK);
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_ZBIAS, 2), DDERR_SURFACELOST);
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_ZBIAS, 3), DDERR_SURFACELOST);
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_ZBIAS, 4), S_OK);
    DWORD value = 0;
    device->GetRenderState(D3DRENDERSTATE_ZBIAS, &value);
    EXPECT_EQ(value, 4u);  // the failed calls changed nothing
    EXPECT_EQ(d3d_record_count_of("Device.SetRenderState 47"), 4);
    EXPECT_STREQ(d3d_record_get(d3d_record_find("Device.SetRenderState", 0) + 1),
                 "Device.SetRenderState 47 2");
}

TEST_F(Device, DrawsAreCheckedBeforeTheyReachTheBackEnd)
{
    float triangle[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ, triangle, 3, 0),
              D3DERR_SCENE_NOT_IN_SCENE);
    ASSERT_EQ(device->BeginScene(), S_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
    EXPECT_EQ(device->DrawPrimitive(9, D3DFVF_XYZ, triangle, 3, 0), D3DERR_INVALIDPRIMITIVETYPE);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_NORMAL, triangle, 3, 0),
              D3DERR_INVALIDVERTEXFORMAT);

    // A strided batch whose format leaves out the normal does not send it.
    struct vertex {
        float x, y, z, nx, ny, nz;
        DWORD diffuse;
    } vertices[3] = {{0, 0, 0, 9, 9, 9, 0xFF0000FF},
                     {1, 0, 0, 9, 9, 9, 0xFF00FF00},
                     {0, 1, 0, 9, 9, 9, 0xFFFF0000}};
    D3DDRAWPRIMITIVESTRIDEDDATA strided = {};
    strided.position = {&vertices[0].x, sizeof(vertex)};
    strided.normal = {&vertices[0].nx, sizeof(vertex)};
    strided.diffuse = {&vertices[0].diffuse, sizeof(vertex)};
    WORD indices[3] = {2, 1, 0};
    ASSERT_EQ(device->DrawIndexedPrimitiveStrided(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE,
                                                  &strided, 3, indices, 3, 0),
              S_OK);
    const d3d_recorded_draw* draw = d3d_recorded_last_draw();
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->vertices[1].x, 1.0f);
    EXPECT_EQ(draw->vertices[1].diffuse, 0xFF00FF00u);
    EXPECT_EQ(draw->vertices[1].nx, 0.0f);
    EXPECT_EQ(draw->indices[0], 2);

    WORD bad_indices[3] = {0, 1, 3};
    EXPECT_EQ(device->DrawIndexedPrimitiveStrided(D3DPT_TRIANGLELIST, D3DFVF_XYZ, &strided, 3,
                                                  bad_indices, 3, 0),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(d3d_recorded_draw_count(), 1);
    EXPECT_EQ(device->EndScene(), S_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
}

TEST_F(Device, ReferencesKeepObjectsAliveUntilTheLastRelease)
{
    int before = d3d_live_objects();
    IDirectDrawSurface7* texture = nullptr;
    DWORD width = 4, height = 4;
    D3DX_SURFACEFORMAT format = D3DX_SF_A8R8G8B8;
    ASSERT_EQ(
        D3DXCreateTexture(device, nullptr, &width, &height, &format, nullptr, &texture, nullptr),
        S_OK);
    EXPECT_EQ(d3d_live_objects(), before + 1);
    ASSERT_EQ(device->SetTexture(0, texture), S_OK);
    EXPECT_EQ(texture->Release(), 1u);  // the device still holds it
    EXPECT_EQ(d3d_live_objects(), before + 1);
    ASSERT_EQ(device->SetTexture(0, nullptr), S_OK);
    EXPECT_EQ(d3d_live_objects(), before);
}

TEST_F(Device, SurfacesKeepTheirPixelsThroughLocksContextsAndLoads)
{
    IDirectDraw7* ddraw = context->GetDD();
    uint8_t memory[2 * 2 * 3] = {0x10, 0x20, 0x30, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF};
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_LPSURFACE |
                   DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = desc.dwHeight = 2;
    desc.lPitch = 6;
    desc.lpSurface = memory;
    desc.ddpfPixelFormat = {32, DDPF_RGB, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0};
    IDirectDrawSurface7* source = nullptr;
    ASSERT_EQ(ddraw->CreateSurface(&desc, &source, nullptr), S_OK);

    DDSURFACEDESC2 locked = {};
    locked.dwSize = 124;
    ASSERT_EQ(source->Lock(nullptr, &locked, 0, nullptr), S_OK);
    EXPECT_EQ(locked.lpSurface, (void*)memory);
    HDC dc = nullptr;
    EXPECT_EQ(source->GetDC(&dc), DDERR_SURFACEBUSY);
    ASSERT_EQ(source->Unlock(nullptr), S_OK);

    ASSERT_EQ(source->GetDC(&dc), S_OK);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0x30, 0x20, 0x10));  // bytes are blue, green, red
    SetPixel(dc, 1, 0, RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(dc, 2, 0), CLR_INVALID);
    ASSERT_EQ(source->ReleaseDC(dc), S_OK);
    EXPECT_EQ(memory[3], 3);
    EXPECT_EQ(memory[5], 1);

    IDirectDrawSurface7* texture = nullptr;
    DWORD width = D3DX_DEFAULT, height = D3DX_DEFAULT;
    D3DX_SURFACEFORMAT format = D3DX_SF_R8G8B8;
    ASSERT_EQ(
        D3DXCreateTexture(device, nullptr, &width, &height, &format, nullptr, &texture, nullptr),
        S_OK);
    EXPECT_EQ(width, 256u);
    EXPECT_EQ(format, (D3DX_SURFACEFORMAT)D3DX_SF_X8R8G8B8);
    ASSERT_EQ(
        D3DXLoadTextureFromSurface(device, texture, 0, source, nullptr, nullptr, D3DX_FT_POINT),
        S_OK);
    ASSERT_EQ(texture->Lock(nullptr, &locked, 0, nullptr), S_OK);
    const uint32_t* texels = (const uint32_t*)locked.lpSurface;
    EXPECT_EQ(texels[0] & 0xFFFFFF, 0x302010u);                // top left quarter from pixel (0, 0)
    EXPECT_EQ(texels[255 * 256 + 255] & 0xFFFFFF, 0xFFFFFFu);  // bottom right from pixel (1, 1)
    texture->Unlock(nullptr);
    texture->Release();
    source->Release();
    ddraw->Release();
}

// A frame of another size than its window fills the window keeping its
// shape, centred between black bars.
TEST(FrameRect, FitsKeepingTheShapeAndCentres)
{
    struct {
        DWORD width, height;
        int area_width, area_height;
        RECT shown;
    } cases[] = {
        {800, 600, 640, 480, {0, 0, 640, 480}},      // the same shape: all of it
        {1000, 500, 640, 480, {0, 80, 640, 400}},    // wider: bars above and below
        {640, 480, 1280, 720, {160, 0, 1120, 720}},  // narrower: bars beside
        {640, 480, 641, 481, {0, 0, 641, 481}},      // rounding keeps it inside
        {0, 480, 640, 480, {0, 0, 640, 480}},        // no frame: the whole area
        {640, 480, 0, 0, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        RECT shown = d3dx_frame_rect(c.width, c.height, c.area_width, c.area_height);
        EXPECT_EQ(std::vector<LONG>({shown.left, shown.top, shown.right, shown.bottom}),
                  std::vector<LONG>({c.shown.left, c.shown.top, c.shown.right, c.shown.bottom}))
            << c.width << "x" << c.height << " in " << c.area_width << "x" << c.area_height;
    }
}

}  // namespace
