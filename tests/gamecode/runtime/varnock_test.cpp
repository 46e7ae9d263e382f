#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "d3dtextr_dx7.h"
#include "d3dxframe.h"
#include "entity_fixture.h"
#include "entity_weapon.h"
#include "gameglobals.h"
#include "heap.h"
#include "platform/d3d_record.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "runtime_services.h"
#include "test_support.h"
#include "texture_container.h"
#include "texture_support.h"
#include "varnock.h"
#include "winmain2.h"

namespace {

class Scene : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        log.clear();
    }
    LogCapture log;
};

TEST_F(Scene, GameModesByName)
{
    struct {
        const char* name;
        int32_t state;
    } cases[] = {{"explore", 1}, {"look", 2}, {"movie", 3}, {"splash", 0}, {"menu", 4}};
    for (const auto& c : cases) {
        game_globals.game_state = 1;
        EXPECT_EQ(varnock_change_game_mode(c.name), 1) << c.name;
        EXPECT_EQ(game_globals.game_state, c.state) << c.name;
    }
    EXPECT_EQ(game_globals.previous_game_state, GAME_MODE_MENU)
        << "the menu also becomes the previous state";
    EXPECT_EQ(log.notices().back(), "change game mode: GAME_MODE_MENU");

    EXPECT_EQ(varnock_change_game_mode("Menu"), 0);
    EXPECT_EQ(varnock_change_game_mode(nullptr), 0);
    EXPECT_EQ(game_globals.game_state, GAME_MODE_MENU);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{"tried to set unknown game_mode: Menu",
                                                      "tried to set unknown game_mode: (null)"}));
}

TEST_F(Scene, ActionButtonScript)
{
    struct {
        const char* name;
        const char* stored;
    } cases[] = {{"open_door", "open_door"}, {"none", nullptr}, {"None", "None"},
                 {"NONE", nullptr},          {"x", "x"},        {nullptr, nullptr}};
    for (const auto& c : cases) {
        EXPECT_EQ(varnock_set_action_button_script(c.name), 1);
        if (c.stored)
            EXPECT_STREQ(game_globals.action_button_script, c.stored);
        else
            EXPECT_EQ(game_globals.action_button_script, nullptr);
    }
    EXPECT_EQ(log.notices()[0], "Setting action_button script to open_door.");
    EXPECT_EQ(log.notices()[1], "Setting action_button script to NULL.");
}

TEST_F(Scene, FadesRunOverTheirDuration)
{
    frame_delta_time = 250.0f;
    varnock_overlay_fade_in(1.0f);  // the overlay goes away
    varnock_update_overlay_fade();
    EXPECT_FLOAT_EQ(game_globals.overlay_alpha, 0.75f);
    for (int i = 0; i < 3; ++i)
        varnock_update_overlay_fade();
    EXPECT_EQ(game_globals.overlay_alpha, 0.0f);
    EXPECT_EQ(varnock_scene.overlay_fade_mode, 0);
    varnock_update_overlay_fade();
    EXPECT_EQ(game_globals.overlay_alpha, 0.0f) << "an idle fade changes nothing";

    varnock_overlay_fade_out_color(0.5f, 10, 20, 30);
    varnock_update_overlay_fade();
    EXPECT_FLOAT_EQ(game_globals.overlay_alpha, 0.5f);
    EXPECT_EQ(varnock_scene.overlay_fade_use_color, 1);

    // A duration of 0 reaches its end at the next update.
    varnock_fade_out(0.0f);
    varnock_update_screen_fade();
    EXPECT_EQ(varnock_scene.screen_fade_mode, 0);
    varnock_fade_in(2.0f);
    varnock_update_screen_fade();
    EXPECT_FLOAT_EQ(varnock_scene.screen_fade_elapsed, 0.25f);
}

TEST_F(Scene, ConsoleTextLines)
{
    EXPECT_EQ(varnock_display_text(640, 10, 1, 2, 3, 5, "no"), 0);
    EXPECT_EQ(varnock_display_text(10, 480, 1, 2, 3, 5, "no"), 0);
    EXPECT_EQ(varnock_display_text(10, 20, 255, 0, 0, 5, "one~two~three"), 1);
    EXPECT_EQ(varnock_scene.text_line_count, 3);
    EXPECT_STREQ(varnock_scene.text_lines[2], "three");
    EXPECT_EQ(log.notices().back(), "max_chars = 5.");
    // Lines longer than the console and a fifth line are dropped.
    std::string text = std::string(200, 'a') + "~b~c~d~e";
    varnock_display_text(0, 0, 0, 0, 0, 5, text.c_str());
    EXPECT_EQ(varnock_scene.text_line_count, 4);
    EXPECT_EQ(std::string(varnock_scene.text_lines[0]).size(), 127u);
    EXPECT_STREQ(varnock_scene.text_lines[3], "d");
    varnock_clear_display_text();
    EXPECT_STREQ(varnock_scene.text_lines[0], "");
    EXPECT_EQ(varnock_scene.text_line_count, 4);
}

TEST_F(Scene, TheLetterboxGrowsAt200UnitsASecond)
{
    frame_delta_time = 150.0f;
    varnock_set_letterbox(1);
    for (int i = 0; i < 3; ++i)
        varnock_draw_letterbox();
    EXPECT_FLOAT_EQ(varnock_scene.letterbox_height, 90.0f);
    varnock_set_letterbox(0);
    varnock_draw_letterbox();
    EXPECT_FLOAT_EQ(varnock_scene.letterbox_height, 60.0f);
}

TEST_F(Scene, HealthCounterDigits)
{
    EXPECT_EQ(varnock_draw_health_counter(5, 0, 0, 0, 0), 1);
    EXPECT_EQ(varnock_draw_health_counter(100, 0, 0, 0, 0), 0);
    EXPECT_EQ(varnock_draw_health_counter(-1, 0, 0, 0, 0), 0);
}

TEST(GameGlobals, DefaultsAndLevelReset)
{
    test_reset_state();
    LogCapture log;
    gameglobals_init();
    EXPECT_EQ(log.notices(), std::vector<std::string>{"Initializing game_globals."});
    EXPECT_STREQ(game_globals.title, "Varnock: DEBUG version 0.7");
    EXPECT_STREQ(game_globals.collision_table_pathname, "c:\\data\\win\\collision_tab");
    EXPECT_EQ(game_globals.bShowStats, 1);
    EXPECT_EQ(game_globals.sound_enable, 1);
    for (int32_t flag :
         {game_globals.bDisplayCollisionData, game_globals.skip_splash, game_globals.hide_gui,
          game_globals.wireframe_mode, game_globals.debug_camera, game_globals.display_map_nodes})
        EXPECT_EQ(flag, 0);
    EXPECT_EQ(game_globals.gravity, -386.4f);
    EXPECT_EQ(game_globals.overlay_alpha, 1.0f);
    EXPECT_EQ(game_globals.camera_look_at_point.z, -1.0f);

    win_entity* camera = (win_entity*)&log;
    game_globals.current_camera = camera;
    game_globals.player_character = camera;
    game_globals.parked_child_list_size = 3;
    game_globals.parked_acceleration = {1.0f, 2.0f, 3.0f};
    game_globals.display_closeup = 1;
    gameglobals_reset_level_state();
    EXPECT_EQ(game_globals.current_camera, camera);
    EXPECT_EQ(game_globals.player_character, nullptr);
    EXPECT_EQ(game_globals.parked_child_list_size, 0);
    EXPECT_EQ(game_globals.parked_acceleration.y, 1.0f);
    EXPECT_EQ(game_globals.display_closeup, 0);
    game_globals.current_camera = nullptr;
}

// The splash screen on a game window of the recording back-end, with a
// 2 x 2 true-colour TGA image as its picture.
class Splash : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        ImageBytes tga;
        tga.raw(std::string("\0\0\2\0\0\0\0\0\0\0\0\0", 12)).half(2).half(2).raw("\x20\x28");
        for (int i = 0; i < 4; ++i)
            tga.word(0xFF8040C0);
        dir.write("bitmap/splash_screen.tga", tga.bytes());
        std::strcpy(game_globals.bitmaps_pathname, dir.file("bitmap").c_str());
        window = test_open_game_window("Splash Test Window", DefWindowProc);
        ASSERT_NE(window, nullptr);
        d3d_record_start();
        log.clear();
    }
    void TearDown() override
    {
        varnock_final_cleanup();  // the splash texture
        d3dxframe_unitialize();
        win32_reset();
    }
    TempDir dir;
    HWND window = nullptr;
    LogCapture log;
};

TEST_F(Splash, IsOneOpaqueQuadOfTheSplashTextureOverTheScreen)
{
    int draws = d3d_recorded_draw_count();
    EXPECT_EQ(varnock_render_splash(), 1);
    EXPECT_EQ(varnock_render_splash(), 1);
    texture_container* splash = varnock_scene.splash_texture;
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(splash->texture_container_ref_cnt, 2) << "the cache's reference and the scene's";
    EXPECT_EQ(d3d_recorded_draw_count() - draws, 2);
    const d3d_recorded_draw* draw = d3d_recorded_last_draw();
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->texture0, splash->texture_container_surface);
    float left = 1e9f, right = -1e9f, top = 1e9f, bottom = -1e9f;
    for (DWORD i = 0; i < draw->vertex_count && i < D3D_RECORDED_VERTICES; ++i) {
        left = std::min(left, draw->vertices[i].x);
        right = std::max(right, draw->vertices[i].x);
        top = std::min(top, draw->vertices[i].y);
        bottom = std::max(bottom, draw->vertices[i].y);
        EXPECT_EQ(draw->vertices[i].diffuse, 0xFFFFFFFFu);
    }
    EXPECT_NEAR(left, 0.0f, 1.0f);
    EXPECT_NEAR(top, 0.0f, 1.0f);
    EXPECT_NEAR(right, 639.0f, 1.5f);
    EXPECT_NEAR(bottom, 479.0f, 1.5f);
    EXPECT_EQ(game_globals.game_state, GAME_MODE_SPLASH) << "drawing does not change the state";
    EXPECT_TRUE(log.errors().empty());
}

// At the program's end every texture the game keeps a reference of is
// given back before the cache lets go, so none outlives it: the splash, and
// the icons and the close-up that the slots hold (a close-up still shown
// when the player quits among them).
TEST_F(Splash, TheEndGivesBackEveryTextureTheGameKeeps)
{
    EXPECT_EQ(varnock_render_splash(), 1);
    ASSERT_NE(varnock_scene.splash_texture, nullptr);
    texture_container* held = malloc_texture_container("scroll_closeup");
    ASSERT_NE(held, nullptr);
    add_to_texture_container_list(&d3dtexr_texture_container_list,
                                  &d3dtexr_texture_container_list_size, held);
    if (held->texture_container_ref_cnt > 1)
        free_texture_container(held);  // the list's reference alone, as the cache keeps it
    for (texture_container** slot :
         {&game_globals.weapon_icon_texture, &game_globals.item_icon_texture,
          &game_globals.closeup_texture})
        entity_weapon_hold_texture(slot, held);
    game_globals.display_closeup = 1;
    int64_t live = heap_live_blocks();
    EXPECT_EQ(varnock_final_cleanup(), 0);
    EXPECT_EQ(game_globals.weapon_icon_texture, nullptr);
    EXPECT_EQ(game_globals.item_icon_texture, nullptr);
    EXPECT_EQ(game_globals.closeup_texture, nullptr);
    EXPECT_EQ(d3dtexr_texture_container_list, nullptr);
    EXPECT_LT(heap_live_blocks(), live) << "the textures' memory is released";
}

// Without its picture (deleted, unreadable, the data folder renamed) the
// splash still tells the player how to go on, and the log hears of the
// picture once, not once a frame.
TEST_F(Splash, WithoutItsPictureTheSplashStillSaysHowToGoOn)
{
    const std::string picture = dir.read("bitmap/splash_screen.tga");
    std::remove(dir.file("bitmap/splash_screen.tga").c_str());
    d3dxframe_create_game_font();
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_EQ(varnock_render_splash(), 1);
    // The recording font is half as wide as high: 14 characters of 12 pixels
    // in the middle of 640 x 480.
    EXPECT_GE(d3d_record_find("Font.Draw 24 236 228 0xffffff Click to start", 0), 0);
    EXPECT_EQ(log.errors().size(), 2u) << "the failed load, once";

    // Its files are not read again every frame: once the picture is back,
    // the next cleaning of the texture cache lets it load.
    dir.write("bitmap/splash_screen.tga", picture);
    EXPECT_EQ(varnock_render_splash(), 1);
    EXPECT_EQ(varnock_scene.splash_texture, nullptr);
    d3dtextr_clean_texture_container_list();
    int before = d3d_record_count();
    EXPECT_EQ(varnock_render_splash(), 1);
    EXPECT_LT(d3d_record_find("Font.Draw", before), 0) << "the picture says it itself";
    ASSERT_NE(varnock_scene.splash_texture, nullptr);
    EXPECT_EQ(d3d_recorded_last_draw()->texture0,
              varnock_scene.splash_texture->texture_container_surface);
}

// The console's lines on the game's window, in the recording font (its
// records give each draw's font height and top left).
using ConsoleOnScreen = Splash;

TEST_F(ConsoleOnScreen, TheLinesOfAMessageStandAFontHeightApart)
{
    d3dxframe_create_game_font();
    varnock_display_text(24, 40, 255, 255, 255, 5, "first line~second line");
    const int before = d3d_record_count();
    varnock_draw_text();
    struct box {
        int height = -1, top = -1;
    } first, second;
    for (const test_text_draw& draw : test_text_draws_since(before)) {
        if (draw.colour != 0xffffff)  // the line, not its shadow
            continue;
        box& line = draw.text == "first line" ? first : second;
        line = {draw.height, draw.y};
    }
    ASSERT_GT(first.height, 0);
    ASSERT_GT(second.height, 0);
    EXPECT_GE(second.top, first.top + first.height) << "the second line's box overlaps the first's";
}

// A message longer than its space goes on in further lines, broken between
// words, each a line of the font below the last: the space ends before the
// heads-up display's panel (x 511) while it is shown, else before the
// screen's edge, 8 units short of either. In the recording font every
// character is 12 pixels wide on 640 x 480.
TEST_F(ConsoleOnScreen, ALongMessageGoesOnInFurtherLinesInsideItsSpace)
{
    const struct {
        const char* what;
        uint32_t x;
        int32_t letterbox, hide_gui;
        const char* text;
        const char* lines;  // as drawn, "|" between them
    } cases[] = {
        {"beside the panel", 24, 0, 0, "The gate opens. The guard attacks! Strike: C",
         "The gate opens. The guard attacks!|Strike: C"},
        {"in a cut-scene, no panel", 24, 1, 0, "The gate opens. The guard attacks! Strike: C",
         "The gate opens. The guard attacks! Strike: C"},
        {"with the interface hidden", 150, 0, 1, "You have fallen. The Prologue is lost.",
         "You have fallen. The Prologue is lost."},
        {"each line of its own", 330, 0, 0, "Hint: walk north~to the gate.",
         "Hint: walk|north|to the gate."},
        {"a word wider than the space, whole", 400, 0, 0, "A stonemason's-yard gate",
         "A|stonemason's-yard|gate"},
    };
    d3dxframe_create_game_font();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        varnock_scene.letterbox_on = c.letterbox;
        game_globals.hide_gui = c.hide_gui;
        varnock_display_text(c.x, 40, 255, 255, 255, 5, c.text);
        const int before = d3d_record_count();
        varnock_draw_text();
        std::string lines;
        int line = 0;
        for (const test_text_draw& draw : test_text_draws_since(before)) {
            if (draw.colour != 0xffffff)  // the line, not its shadow
                continue;
            lines += (line ? "|" : "") + draw.text;
            EXPECT_EQ(draw.x, (int)c.x) << draw.text;
            EXPECT_EQ(draw.y, 40 + 24 * line++) << draw.text;
        }
        EXPECT_EQ(lines, c.lines);
    }
}

// The heads-up display and the scene on a frame of the recording back-end,
// without interface textures (the quads draw untextured).
class Hud : public TextureFrameTest {
protected:
    void SetUp() override
    {
        TextureFrameTest::SetUp();
        game_globals.overlay_alpha = 0.0f;
        d3d_record_start();
    }
    void TearDown() override
    {
        game_globals.player_character = nullptr;
        game_globals.current_weapon = nullptr;
        TextureFrameTest::TearDown();
    }
    // The extent in x of the last quad drawn, in 640 x 480 units.
    float last_quad_width()
    {
        const d3d_recorded_draw* draw = d3d_recorded_last_draw();
        EXPECT_NE(draw, nullptr);
        if (!draw)
            return -1.0f;
        float left = 1e9f, right = -1e9f;
        for (DWORD i = 0; i < draw->vertex_count && i < D3D_RECORDED_VERTICES; ++i) {
            left = std::min(left, draw->vertices[i].x);
            right = std::max(right, draw->vertices[i].x);
        }
        return (right - left) * 640.0f / (float)d3dxframe_get_render_width();
    }
    void draw_hud()
    {
        ASSERT_EQ(d3dxframe_begin_scene(0), 1);
        varnock_draw_hud();
        ASSERT_EQ(d3dxframe_end_scene(), 1);
    }
    FixtureRing ring;
};

TEST_F(Hud, TheHealthBarShowsThePlayersShareOfHitPoints)
{
    struct {
        float hitpoints, max_hitpoints, width;
    } cases[] = {
        {80.0f, 100.0f, 95.2f}, {100.0f, 100.0f, 119.0f}, {-1.0f, -1.0f, 119.0f},
        {-5.0f, 100.0f, 0.0f},  {150.0f, 100.0f, 119.0f}, {0.0f, 0.0f, 0.0f},
    };
    win_entity* hero = ring.add(fixture_character("hero", false, false));
    game_globals.player_character = hero;
    for (const auto& c : cases) {
        hero->u.win_character->hitpoints = c.hitpoints;
        hero->u.win_character->max_hitpoints = c.max_hitpoints;
        draw_hud();
        EXPECT_NEAR(last_quad_width(), c.width, 0.5f) << c.hitpoints << " of " << c.max_hitpoints;
    }
    game_globals.player_character = nullptr;
    draw_hud();
    EXPECT_NEAR(last_quad_width(), 0.0f, 0.5f) << "no player";
}

TEST_F(Hud, TheWeaponsAmmunitionShowsInTwoDigits)
{
    game_globals.player_character = ring.add(fixture_character("hero", false, false));
    win_entity* gun = ring.add(fixture_character("gun", false, false));
    gun->u.win_character->weapon_data.ammo_count = 12;
    game_globals.current_weapon = gun;
    const int before = d3d_recorded_draw_count();
    draw_hud();
    const int with_counter = d3d_recorded_draw_count() - before;
    gun->u.win_character->weapon_data.ammo_count = 100;
    draw_hud();
    EXPECT_EQ(d3d_recorded_draw_count() - before - with_counter, with_counter - 2)
        << "no digits beyond 99";
}

TEST_F(Hud, TheCloseupCoversTheScreenOnlyWhileShown)
{
    texture_container* page = test_load_two_tone_texture(dir, "page", 0xFFFFFFFF, 0xFF000000);
    ASSERT_NE(page, nullptr);
    game_globals.closeup_texture = page;
    // Without an overlay the close-up is the last thing drawn.
    for (int32_t shown : {0, 1}) {
        game_globals.display_closeup = shown;
        draw_hud();
        ASSERT_NE(d3d_recorded_last_draw(), nullptr);
        EXPECT_EQ(d3d_recorded_last_draw()->texture0 == page->texture_container_surface, shown == 1)
            << "shown " << shown;
    }
    game_globals.closeup_texture = nullptr;
    game_globals.display_closeup = 0;
    d3dtextr_cleanup();
}

TEST_F(Hud, TheSceneDrawsTheEntitiesUnderTheHud)
{
    frame_delta_time = 10.0f;
    ring.add(fixture_character("hero", true, true));
    ASSERT_EQ(entity_update_all(), 1);
    ASSERT_EQ(varnock_render_scene(), 0);
    const int begin = d3d_record_find("Device.BeginScene", 0);
    const int model = d3d_record_find("Device.DrawIndexedPrimitiveStrided", begin);
    const int hud = d3d_record_find("Device.DrawPrimitive", begin);
    EXPECT_GT(model, begin);
    EXPECT_GT(hud, model);
    EXPECT_GT(d3d_record_find("Device.EndScene", 0), hud);
}

TEST_F(Hud, FogSetsItsRenderStatesUntilOneFails)
{
    const win_rgba colour = {2.0f, 0.5f, -1.0f, 1.0f};
    ASSERT_EQ(varnock_set_fog(1, &colour, 10.0f, 100.0f), 1);
    DWORD value = 0;
    d3dxframe_get_render_state(D3DRENDERSTATE_FOGENABLE, &value);
    EXPECT_EQ(value, 1u);
    d3dxframe_get_render_state(D3DRENDERSTATE_FOGCOLOR, &value);
    EXPECT_EQ(value, 0xFF7F00u) << "each channel within its byte";
    d3dxframe_get_render_state(D3DRENDERSTATE_FOGVERTEXMODE, &value);
    EXPECT_EQ(value, (DWORD)D3DFOG_LINEAR);
    d3dxframe_get_render_state(D3DRENDERSTATE_FOGEND, &value);
    float end;
    std::memcpy(&end, &value, sizeof end);
    EXPECT_EQ(end, 100.0f);

    ASSERT_EQ(varnock_set_fog(0, nullptr, 0.0f, 0.0f), 1);
    d3dxframe_get_render_state(D3DRENDERSTATE_FOGENABLE, &value);
    EXPECT_EQ(value, 0u);

    log->clear();
    d3d_inject("Device.SetRenderState", E_FAIL, 1, 1);
    EXPECT_EQ(varnock_set_fog(1, &colour, 10.0f, 100.0f), 0);
    EXPECT_EQ(log->errors().back(), "Unable to set fog color.");
}

}  // namespace
