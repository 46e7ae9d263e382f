// The FreeType font back-end behind the GDI calls: font files through the
// path resolver, the fallback face, sizes and metrics, and text drawn into a
// surface's own pixels.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/d3d.h"
#include "platform/d3d_record.h"
#include "platform/font.h"
#include "platform/gdi.h"
#include "platform_support.h"

namespace {

const char mono_font[] = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";

HFONT make_font(int height, const char* face)
{
    return CreateFont(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                      VARIABLE_PITCH | FF_SWISS, face);
}

class FreeTypeFont : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        platform_font_use(&platform_font_freetype_ops);
        ASSERT_EQ(DirectDrawCreateEx(nullptr, &ddraw, nullptr), S_OK);
        DDSURFACEDESC2 desc = {};
        desc.dwSize = 124;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        desc.dwWidth = 80;
        desc.dwHeight = 32;
        ASSERT_EQ(ddraw->CreateSurface(&desc, &surface, nullptr), S_OK);
        ASSERT_EQ(surface->GetDC(&dc), S_OK);
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        start_dir = here;
    }
    void TearDown() override
    {
        ASSERT_EQ(chdir(start_dir.c_str()), 0);
        if (dc)
            surface->ReleaseDC(dc);
        if (surface)
            surface->Release();
        if (ddraw)
            ddraw->Release();
        platform_font_use(nullptr);
        EXPECT_EQ(d3d_live_objects(), 0);
    }

    TEXTMETRIC metrics_of(HFONT font)
    {
        TEXTMETRIC metrics = {};
        EXPECT_NE(SelectObject(dc, font), nullptr);
        EXPECT_TRUE(GetTextMetrics(dc, &metrics));
        return metrics;
    }

    IDirectDraw7* ddraw = nullptr;
    IDirectDrawSurface7* surface = nullptr;
    HDC dc = nullptr;
    std::string start_dir;
};

TEST_F(FreeTypeFont, TextLandsInTheSurfacesPixelsInItsColour)
{
    HFONT font = make_font(24, "gamefont.ttf");  // not added: the fallback face
    ASSERT_NE(font, nullptr);
    ASSERT_NE(SelectObject(dc, font), nullptr);
    SetTextColor(dc, RGB(255, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    ASSERT_TRUE(ExtTextOut(dc, 4, 2, 0, nullptr, "Hi", 2, nullptr));
    int full = 0, outside = 0, other_hue = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 80; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            if (c == RGB(0, 0, 0))
                continue;
            if (x < 4 || x >= 40 || y < 2 || y >= 2 + 24)
                ++outside;
            if (GetGValue(c) != 0 || GetBValue(c) != 0)
                ++other_hue;
            else if (GetRValue(c) == 255)
                ++full;
        }
    EXPECT_GT(full, 40);
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(other_hue, 0);
    DeleteObject(font);
}

TEST_F(FreeTypeFont, FaceHeightsAreCellHeights)
{
    for (int height : {16, 24, 30, 38}) {
        HFONT font = make_font(height, "gamefont.ttf");
        ASSERT_NE(font, nullptr);
        TEXTMETRIC metrics = metrics_of(font);
        EXPECT_NEAR(metrics.tmHeight, height, 1) << height;
        EXPECT_EQ(metrics.tmAscent + metrics.tmDescent, metrics.tmHeight) << height;
        EXPECT_GT(metrics.tmAveCharWidth, height / 3) << height;
        EXPECT_LT(metrics.tmAveCharWidth, height) << height;
        EXPECT_EQ(metrics.tmWeight, FW_BOLD);
        DeleteObject(font);
    }
}

// The game's font file is found case-blind in the working directory; the
// (proportional) fallback face stands in when it is missing or removed.
TEST_F(FreeTypeFont, AddedFontFilesAreUsedUntilRemoved)
{
    TempDir dir;
    std::filesystem::copy_file(mono_font, dir.file("GameFont.TTF"));
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    EXPECT_EQ(AddFontResource("missing.ttf"), 0);
    ASSERT_EQ(AddFontResource("gamefont.ttf"), 1);

    HFONT mono = make_font(24, "gamefont.ttf");
    TEXTMETRIC metrics = metrics_of(mono);
    EXPECT_EQ(metrics.tmAveCharWidth, metrics.tmMaxCharWidth) << "the monospaced file";
    HFONT by_family = make_font(24, "DejaVu Sans Mono");
    metrics = metrics_of(by_family);
    EXPECT_EQ(metrics.tmAveCharWidth, metrics.tmMaxCharWidth) << "by family name";

    EXPECT_TRUE(RemoveFontResource("gamefont.ttf"));
    EXPECT_FALSE(RemoveFontResource("gamefont.ttf"));
    HFONT fallback = make_font(24, "gamefont.ttf");
    metrics = metrics_of(fallback);
    EXPECT_LT(metrics.tmAveCharWidth, metrics.tmMaxCharWidth) << "the fallback face";

    d3d_inject("Font.Create", E_FAIL, 0, 1);
    EXPECT_EQ(make_font(24, "gamefont.ttf"), nullptr);
    for (HFONT font : {mono, by_family, fallback})
        DeleteObject(font);
}

}  // namespace
