#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "d3dtextr_dx7.h"
#include "d3dxframe.h"
#include "debug.h"
#include "platform/d3d_record.h"
#include "test_support.h"
#include "texture_support.h"

namespace {

const char transtex_header[] = "// textures keyed on black\n"
                               "47                                          //  file_type\n"
                               "101                                         //  file_version\n";

class Cache : public TextureFrameTest {
protected:
    void SetUp() override
    {
        TextureFrameTest::SetUp();
        live_at_start = d3d_live_objects();
    }
    void TearDown() override
    {
        d3dtextr_cleanup();
        EXPECT_EQ(d3dtexr_texture_container_list, nullptr);
        EXPECT_EQ(d3dtexr_texture_container_list_size, 0);
        TextureFrameTest::TearDown();
    }

    // A 2 x 2 texture file whose top-left pixel is `first`.
    void write_tga(const std::string& name, uint32_t first = 0xFF102030, int bits = 24)
    {
        dir.write(name, tga_image(2, 2, bits, false, bits == 32 ? 0x28 : 0x20,
                                  {first, 0xFF000000, 0xFFFFFFFF, 0xFF808080}));
    }
    texture_container* load(const char* name, const std::string& directory = "")
    {
        names.push_back(name);
        return d3dtextr_load_texture(names.back().data(),
                                     (directory.empty() ? dir.path() : directory).c_str(), nullptr);
    }
    static bool has_colour_key(texture_container* container, DDCOLORKEY* key)
    {
        DDSURFACEDESC2 desc = {};
        desc.dwSize = 124;
        container->texture_container_surface->GetSurfaceDesc(&desc);
        *key = desc.ddckCKSrcBlt;
        return (desc.dwFlags & DDSD_CKSRCBLT) != 0;
    }

    std::vector<std::string> names;  // the callers' strings, lower-cased in place
    int live_at_start = 0;
};

}  // namespace

TEST_F(Cache, EveryFormOfANameSharesOneContainer)
{
    write_tga("skull.tga");
    texture_container* skull = load("Skull");
    ASSERT_NE(skull, nullptr);
    EXPECT_STREQ(skull->texture_container_name, "skull");
    EXPECT_EQ(names.back(), "skull");
    EXPECT_EQ(skull->texture_container_ref_cnt, 1);
    EXPECT_EQ(skull->texture_container_id, 1);
    EXPECT_EQ(skull->texture_container_user_value, 0);
    EXPECT_EQ(surface_pixels(skull->texture_container_surface)[0], 0xFF102030u);

    d3d_record_start();
    for (const char* name : {"skull.png", "textures\\SKULL.TGA", "SKULL"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(load(name), skull);
        EXPECT_EQ(skull->texture_container_ref_cnt, 1);
    }
    EXPECT_EQ(names[1], "skull.png");
    EXPECT_EQ(d3d_record_count_of("D3DXCreateTextureFromFile"), 0);
    EXPECT_EQ(d3dtexr_texture_container_list_size, 1);
    EXPECT_TRUE(log->errors().empty());

    EXPECT_EQ(load("textures\\.tga"), nullptr);
    EXPECT_EQ(log->errors(),
              std::vector<std::string>{
                  "Cannot d3dtextr_load_texture 'textures\\.tga' without a base name."});
}

TEST_F(Cache, HeldContainersStayAndIdsAreNeverReused)
{
    write_tga("a.tga");
    write_tga("b.tga");
    texture_container* a = load("a");
    texture_container* b = load("b");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(b->texture_container_id, 2);
    ++b->texture_container_ref_cnt;  // a holder keeps b

    log->clear();
    EXPECT_EQ(d3dtextr_clean_texture_container_list(), 1);
    EXPECT_EQ(log->notices(),
              (std::vector<std::string>{"d3dtextr_clean_texture_container_list called.",
                                        "removing texture_container a from list."}));
    EXPECT_EQ(d3dtexr_texture_container_list, b);
    EXPECT_EQ(d3dtexr_texture_container_list_size, 1);
    EXPECT_NE(b->texture_container_surface, nullptr);
    EXPECT_EQ(d3dtextr_clean_texture_container_list(), 1);  // every one held: nothing goes

    EXPECT_EQ(load("missing"), nullptr);
    EXPECT_EQ(d3dtextr_texture_id_counter, 2);
    EXPECT_EQ(load("a")->texture_container_id, 3);

    // The holder gives b back; the next clean drops it and a with their surfaces.
    EXPECT_EQ(free_texture_container(b), 1);
    EXPECT_EQ(d3dtextr_clean_texture_container_list(), 1);
    EXPECT_EQ(d3dtexr_texture_container_list, nullptr);
    EXPECT_EQ(d3d_live_objects(), live_at_start);
}

TEST_F(Cache, AFailedLoadCachesNothingAndLeavesNothingBehind)
{
    EXPECT_EQ(load("Wall"), nullptr);
    EXPECT_EQ(log->errors(),
              (std::vector<std::string>{"Failed to D3DXCreateTextureFromFile wall.",
                                        "Failed d3dtextr_load_texture_image for 'wall'."}));
    EXPECT_EQ(d3dtexr_texture_container_list, nullptr);

    // The PNG reader made its texture before D3DX failed to fill it.
    d3dtextr_clean_texture_container_list();
    PngLayout png;
    png.rows = {bytes_of({1, 2, 3})};
    dir.write("wall.png", png_file(png));
    d3d_inject("D3DXLoadTextureFromSurface", E_FAIL, 0, 1);
    EXPECT_EQ(load("wall"), nullptr);
    EXPECT_EQ(d3d_live_objects(), live_at_start);

    // Nothing was cached; once the cache is cleaned the next request reads
    // the files again.
    d3dtextr_clean_texture_container_list();
    texture_container* wall = load("wall");
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(surface_pixels(wall->texture_container_surface), Pixels{0xFF010203});
    EXPECT_EQ(wall->texture_container_id, 1);
}

TEST_F(Cache, WithoutADeviceNothingLoadsAndNothingIsCached)
{
    write_tga("wall.tga");
    d3dxframe_unitialize();
    EXPECT_EQ(load("wall"), nullptr);
    EXPECT_EQ(d3dtexr_texture_container_list, nullptr);
}

// The folder, a backslash, the name and an extension fit in 259 characters.
TEST_F(Cache, APathOfTheLongestLengthLoadsAndALongerOneIsRefused)
{
    const size_t room = 259 - dir.path().size() - std::strlen("\\") - std::strlen(".tga");
    const std::string fits(room, 'f'), too_long(room + 1, 'g');
    write_tga(fits + ".tga");
    write_tga(too_long + ".tga");
    EXPECT_NE(load(fits.c_str()), nullptr);
    EXPECT_TRUE(log->errors().empty());
    EXPECT_EQ(load(too_long.c_str()), nullptr);
    ASSERT_FALSE(log->errors().empty());
    EXPECT_EQ(log->errors()[0], "Texture path too long for '" + too_long + "'.");
}

// A frame asks for a missing texture every frame: its files are tried, and
// its failure logged, once, until the cache is cleaned for the next level.
TEST_F(Cache, AFailedTextureIsNotTriedAgainUntilTheCacheIsCleaned)
{
    const std::vector<std::string> failure = {"Failed to D3DXCreateTextureFromFile wall.",
                                              "Failed d3dtextr_load_texture_image for 'wall'."};
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_EQ(load("wall"), nullptr);
    EXPECT_EQ(load("floor"), nullptr);
    EXPECT_EQ(log->errors(), (std::vector<std::string>{failure[0], failure[1],
                                                       "Failed to D3DXCreateTextureFromFile floor.",
                                                       "Failed d3dtextr_load_texture_image for "
                                                       "'floor'."}));
    EXPECT_EQ(debug_log.error_count, 4);
    std::vector<std::string> notices = log->notices();
    EXPECT_EQ(std::count(notices.begin(), notices.end(),
                         "d3dtextr_dx7_load_texture_image called for wall."),
              1);

    // A directory where the image should be is refused once, too.
    dir.write("door.tga/.keep", "");
    log->clear();
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_EQ(load("door"), nullptr);
    EXPECT_EQ(log->errors().size(), 3u);
    EXPECT_TRUE(log->contains("is not a file: it is a directory"));

    write_tga("wall.tga");
    EXPECT_EQ(load("wall"), nullptr) << "not tried again within the level";
    d3dtextr_clean_texture_container_list();
    ASSERT_NE(load("wall"), nullptr);

    // Failing again after the cache was cleaned is news again.
    d3dtextr_clean_texture_container_list();
    std::remove(dir.file("wall.tga").c_str());
    log->clear();
    EXPECT_EQ(load("wall"), nullptr);
    EXPECT_EQ(load("wall"), nullptr);
    EXPECT_EQ(log->errors(), failure);
}

TEST_F(Cache, ExtensionsAreTriedInOrderAndANameWithADotOnce)
{
    dir.write("pic.bmp", bmp_image(1, 1, {0xFFFF0000}));
    dir.write("pic.dds", dds_header(4, 4, 1, "DXT1") + dxt_colour_block(0x07E0, 0x07E0, {0}));
    texture_container* pic = load("pic");
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(surface_pixels(pic->texture_container_surface), Pixels{0xFFFF0000});
    EXPECT_TRUE(log->contains("Loaded Texture " + dir.path() + "\\pic.bmp."));
    EXPECT_EQ(pic->texture_container_has_alpha, 0);

    dir.write("blocks.dds", dds_header(4, 4, 1, "DXT5") + std::string(8, '\0') +
                                dxt_colour_block(0x07E0, 0x07E0, {0}));
    texture_container* blocks = load("blocks");
    ASSERT_NE(blocks, nullptr);
    EXPECT_EQ(blocks->texture_container_has_alpha, 0);  // block formats do not count as alpha

    write_tga("glass.tga", 0x80FFFFFF, 32);
    log->clear();
    texture_container* glass = load("Glass");
    ASSERT_NE(glass, nullptr);
    EXPECT_EQ(glass->texture_container_has_alpha, 1);
    EXPECT_TRUE(log->contains("Texture " + dir.path() + "\\glass.tga has alpha."));

    // Given with its extension: loaded as it stands, no alpha test.
    write_tga("window.tga", 0x80FFFFFF, 32);
    texture_container* window = load("window.tga");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->texture_container_has_alpha, 0);
    PngLayout png;
    png.rows = {bytes_of({1, 2, 3})};
    dir.write("door.png", png_file(png));
    log->clear();
    EXPECT_EQ(load("door.png"), nullptr);
    EXPECT_TRUE(log->contains("Failed to D3DXCreateTextureFromFile " + dir.path() + "\\door.png."));

    // A dot in a folder is no extension: the data folder's, or one the name
    // goes through; only the file's own name is looked at.
    std::string dotted = dir.path() + "/varnock-1.0";
    write_tga("varnock-1.0/tree.tga");
    write_tga("varnock-1.0/v1.2/bush.tga");
    log->clear();
    ASSERT_NE(load("tree", dotted), nullptr);
    EXPECT_TRUE(log->contains("Loaded Texture " + dotted + "\\tree.tga."));
    ASSERT_NE(load("v1.2\\bush", dotted), nullptr);
    EXPECT_TRUE(log->contains("Loaded Texture " + dotted + "\\v1.2\\bush.tga."));
    EXPECT_EQ(log->errors().size(), 0u);
}

TEST_F(Cache, ListedTexturesGetBlackAsTheirColourKey)
{
    std::string list = dir.write("transtex.ttw",
                                 std::string(transtex_header) +
                                     "Skull\n// a comment line\nPLAIN\nend_of_entries\n");
    EXPECT_EQ(d3dtextr_load_transparent_texture_list(list.c_str()), 1);
    EXPECT_EQ(d3dtextr_transparent_texture_list_size, 2);
    EXPECT_STREQ(d3dtextr_transparent_texture_list->next_ptr->transparent_texture_name, "plain");

    write_tga("skull.tga", 0x80FF0000, 32);
    write_tga("plain.tga", 0xFF102030, 24);
    write_tga("other.tga");
    log->clear();
    texture_container* skull = load("skull");
    ASSERT_NE(skull, nullptr);
    EXPECT_EQ(skull->texture_container_transparent, 1);
    DDCOLORKEY key = {};
    ASSERT_TRUE(has_colour_key(skull, &key));
    EXPECT_EQ(key.dwColorSpaceLowValue, 0xFF000000u);  // black as an A8R8G8B8 pixel
    EXPECT_EQ(key.dwColorSpaceHighValue, 0xFF000000u);
    EXPECT_TRUE(log->contains("Texture skull is transparent."));
    EXPECT_TRUE(log->contains("low value = -16777216, high value = -16777216."));
    // The borrowed pixel is back as it was, alpha included.
    EXPECT_EQ(surface_pixels(skull->texture_container_surface)[0], 0x80FF0000u);

    texture_container* plain = load("plain");
    ASSERT_TRUE(has_colour_key(plain, &key));
    EXPECT_EQ(key.dwColorSpaceLowValue, 0u);
    texture_container* other = load("other");
    EXPECT_EQ(other->texture_container_transparent, 0);
    EXPECT_FALSE(has_colour_key(other, &key));
}

TEST_F(Cache, TransparentListFilesThatEndEarlyOrDoNotFit)
{
    std::string cut = dir.write("cut.ttw", std::string(transtex_header) + "one\ntwo\n");
    EXPECT_EQ(d3dtextr_load_transparent_texture_list(cut.c_str()), 0);
    EXPECT_EQ(d3dtextr_transparent_texture_list_size, 2);  // the names read stay
    EXPECT_EQ(log->errors(), std::vector<std::string>{"There was an error reading " + cut + "(5)"});

    log->clear();
    std::string missing = dir.file("none.ttw");
    EXPECT_EQ(d3dtextr_load_transparent_texture_list(missing.c_str()), 0);
    EXPECT_EQ(log->warnings(), std::vector<std::string>{"Could not find '" + missing + "'"});

    log->clear();
    std::string wrong = dir.write("wrong.ttw", "47\n100\nend_of_entries\n");
    EXPECT_EQ(d3dtextr_load_transparent_texture_list(wrong.c_str()), 0);
    EXPECT_EQ(log->errors().back(), "'" + wrong + "' found, but bad file type or file version");
    EXPECT_EQ(d3dtextr_transparent_texture_list_size, 2);
}

TEST_F(Cache, CleanupEmptiesTheCacheWhileHoldersKeepTheirContainers)
{
    write_tga("a.tga");
    write_tga("b.tga");
    std::string list = dir.write("t.ttw", std::string(transtex_header) + "a\nend_of_entries\n");
    d3dtextr_load_transparent_texture_list(list.c_str());
    load("a");
    texture_container_ptr* holder = malloc_texture_container_ptr();
    *holder = load("b");
    ++(*holder)->texture_container_ref_cnt;

    d3dtextr_cleanup();
    EXPECT_EQ(d3dtexr_texture_container_list, nullptr);
    EXPECT_EQ(d3dtextr_transparent_texture_list, nullptr);
    EXPECT_EQ(d3dtextr_transparent_texture_list_size, 0);
    EXPECT_EQ((*holder)->texture_container_ref_cnt, 1);
    EXPECT_EQ((*holder)->texture_container_surface, nullptr);
    EXPECT_EQ(free_texture_container_ptr(holder), 1);  // the holder's release frees it
    EXPECT_EQ(d3d_live_objects(), live_at_start);
    EXPECT_TRUE(log->errors().empty());
}

TEST_F(Cache, TheWholeDeviceLossSequence)
{
    std::string list = dir.write("t.ttw", std::string(transtex_header) + "key\nend_of_entries\n");
    d3dtextr_load_transparent_texture_list(list.c_str());
    write_tga("wall.tga", 0xFF405060);
    write_tga("key.tga", 0xFF112233);
    write_tga("gone.tga");
    ASSERT_EQ(d3dtextr_attach_to_frame(dir.path().c_str()), 1);
    texture_container* wall = load("wall");
    texture_container* key = load("key");
    texture_container* gone = load("gone");
    ASSERT_TRUE(wall && key && gone);
    std::remove(dir.file("gone.tga").c_str());
    d3dtextr_current_texture = wall;
    d3dxframe_set_texture(0, wall->texture_container_surface);

    log->clear();
    d3d_inject("Context.UpdateFrame", DDERR_SURFACELOST, 0, 1);
    EXPECT_EQ(d3dxframe_update_frame(0), DDERR_SURFACELOST);
    std::vector<std::string> notices = log->notices();
    EXPECT_EQ(
        std::count(notices.begin(), notices.end(), "d3dtextr_invalidate_all_textures called."), 1);
    EXPECT_EQ(std::count(notices.begin(), notices.end(), "d3dtextr_restore_all_textures called."),
              1);
    EXPECT_EQ(log->errors(), std::vector<std::string>{"Failed to D3DXCreateTextureFromFile gone."});

    EXPECT_EQ(d3dtexr_texture_container_list_size, 3);
    EXPECT_EQ(d3dtextr_current_texture, nullptr);
    EXPECT_EQ((std::vector<int32_t>{wall->texture_container_id, key->texture_container_id,
                                    gone->texture_container_id}),
              (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(surface_pixels(wall->texture_container_surface)[0], 0xFF405060u);
    DDCOLORKEY colour_key = {};
    EXPECT_TRUE(has_colour_key(key, &colour_key));
    EXPECT_FALSE(has_colour_key(wall, &colour_key));
    EXPECT_EQ(gone->texture_container_surface, nullptr);

    // A container without a surface draws untextured; the full-screen
    // switch restores once more.
    ASSERT_EQ(d3dxframe_begin_scene(0), 1);
    EXPECT_EQ(d3dxframe_draw_screen_quad(gone, ~0u, ~0u, ~0u, ~0u, 0, 0, 10, 10), 1);
    EXPECT_EQ(d3dxframe_end_scene(), 1);
    log->clear();
    EXPECT_EQ(d3dxframe_toggle_fullscreen(), 1);
    EXPECT_TRUE(log->contains("d3dtextr_restore_all_textures called."));
    EXPECT_NE(key->texture_container_surface, nullptr);
}

TEST_F(Cache, StaleBindingsAreForgotten)
{
    write_tga("a.tga");
    write_tga("b.tga");
    texture_container* a = load("a");
    texture_container* b = load("b");
    d3dtextr_current_texture = a;
    EXPECT_EQ(d3dxframe_set_texture(0, a->texture_container_surface), 1);
    EXPECT_EQ(d3dtextr_current_texture, a);
    EXPECT_EQ(d3dxframe_set_texture(1, b->texture_container_surface), 1);
    EXPECT_EQ(d3dtextr_current_texture, a);  // another stage
    d3dxframe_set_texture(0, b->texture_container_surface);
    EXPECT_EQ(d3dtextr_current_texture, nullptr);
    d3dtextr_current_texture = a;
    d3dxframe_set_texture(0, nullptr);
    EXPECT_EQ(d3dtextr_current_texture, nullptr);

    d3dtextr_current_texture = a;
    d3d_record_start();
    EXPECT_EQ(d3dtextr_invalidate_texture(a), 0);
    EXPECT_EQ(a->texture_container_surface, nullptr);
    EXPECT_EQ(d3dtextr_current_texture, nullptr);
    EXPECT_EQ(d3d_record_count_of("Device.SetTexture 0 none"), 1);
    EXPECT_EQ(d3dtextr_invalidate_texture(b), 0);  // not bound: stage 0 left alone
    EXPECT_EQ(d3d_record_count_of("Device.SetTexture"), 1);

    EXPECT_EQ(d3dtextr_invalidate_texture(nullptr), DDERR_NOTFOUND);
    EXPECT_EQ(log->errors(),
              std::vector<std::string>{
                  "Cannot d3dtextr_invalidate_texture with NULL texture_container."});

    // Restored surfaces are new: nothing is bound to them yet.
    d3dxframe_set_texture(0, b->texture_container_surface);
    d3dtextr_current_texture = b;
    d3dtextr_restore_all_textures(dir.path().c_str());
    EXPECT_EQ(d3dtextr_current_texture, nullptr);

    d3dtextr_current_texture = b;
    d3dtextr_clean_texture_container_list();
    EXPECT_EQ(d3dtextr_current_texture, nullptr);
}

TEST_F(Cache, RestoringAnEmptyCacheDoesNothing)
{
    d3d_record_start();
    EXPECT_EQ(d3dtextr_restore_all_textures(dir.path().c_str()), 0);
    EXPECT_EQ(log->notices(), std::vector<std::string>{"d3dtextr_restore_all_textures called."});
    EXPECT_EQ(d3d_record_count(), 0);
}

TEST_F(Cache, SurfacesFromMemoryAndTheirPixelValues)
{
    IDirectDrawSurface7* rgb = d3dtextr_create_surface_from_memory(1, 2, 3);
    ASSERT_NE(rgb, nullptr);
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    ASSERT_EQ(rgb->Lock(nullptr, &desc, 0, nullptr), S_OK);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 24u);
    EXPECT_EQ(desc.lPitch, 6);
    std::memcpy(desc.lpSurface, "\x01\x02\x03\x04\x05\x06", 6);
    rgb->Unlock(nullptr);
    EXPECT_EQ(d3dtextr_get_surface_pixel(rgb, RGB(255, 0, 0)), 0xFF0000u);
    EXPECT_EQ(d3dtextr_get_surface_pixel(rgb, CLR_INVALID), 0x030201u);
    EXPECT_EQ(log->errors(), std::vector<std::string>{"Failed to GetDC or rgb == CLR_INVALID."});
    rgb->Release();

    IDirectDrawSurface7* argb = d3dtextr_create_surface_from_memory(2, 2, 4);
    ASSERT_NE(argb, nullptr);
    EXPECT_EQ(d3dtextr_get_surface_pixel(argb, RGB(0, 0, 255)), 0xFF0000FFu);
    EXPECT_EQ(surface_pixels(argb), Pixels(4, 0));
    argb->Release();

    log->clear();
    EXPECT_EQ(d3dtextr_create_surface_from_memory(2, 2, 2), nullptr);
    EXPECT_EQ(log->errors(),
              std::vector<std::string>{"Invalid byte_depth: 2.  Acceptable values are 3 or 4."});
    EXPECT_EQ(d3d_live_objects(), live_at_start);
}
