#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "d3dtextr_dx7.h"
#include "d3dutil.h"
#include "d3dxframe.h"
#include "gameglobals.h"
#include "menu.h"
#include "platform/d3d_record.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "runtime_services.h"
#include "service_doubles.h"
#include "test_support.h"
#include "texture_container.h"
#include "winmain2.h"

namespace {

// What the screen's callback was asked to do.
std::vector<int32_t> activated;
void record_activation(int32_t button_id)
{
    activated.push_back(button_id);
}

// The middle of a button, in the window's client pixels at 640 x 480.
LPARAM middle_of(int32_t id, int scale = 1)
{
    const menu_visual* v = menu_screens[0].buttons[id].normal;
    return MAKELPARAM((v->left + v->right) / 2 * scale, (v->top + v->bottom) / 2 * scale);
}

int32_t selected_id()
{
    return menu_screens[0].selected ? menu_screens[0].selected->id : -1;
}

// The menu built over the demo's names, every picture a 2 x 2 image but
// "exit_hi", which is missing; the window and device on the recording
// back-end.
class Menu : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        activated.clear();
        log = std::make_unique<LogCapture>();
        ImageBytes tga;
        tga.raw(std::string("\0\0\2\0\0\0\0\0\0\0\0\0", 12)).half(2).half(2).raw("\x20\x28");
        for (int i = 0; i < 4; ++i)
            tga.word(0xFF8040C0);
        std::vector<std::string> names = {"menu background", "splash_screen"};
        for (const char* name : menu_button_textures) {
            names.push_back(name);
            names.push_back(std::string(name) + "_hi");
        }
        for (const std::string& name : names)
            if (name != "exit_hi")
                bitmaps.write("bitmap/" + name + ".tga", tga.bytes());
        strcpy(game_globals.bitmaps_pathname, bitmaps.file("bitmap").c_str());

        window = test_open_game_window(winmain_class_name, winmain_splash_wnd_proc);
        ASSERT_NE(window, nullptr);
        winmain_set_game_state(GAME_MODE_MENU);
        menu_build_main_menu();
    }
    void TearDown() override
    {
        menu_free_all_screens();
        varnock_final_cleanup();
        d3dxframe_unitialize();
        win32_reset();
    }
    // Takes the callback over, so activation records instead of acting.
    void record() { menu_screens[0].activate_button = record_activation; }

    TempDir bitmaps;
    HWND window = nullptr;
    std::unique_ptr<LogCapture> log;
};

TEST_F(Menu, TheMainScreenHasSixButtonsAndTheFirstIsHighlighted)
{
    const menu_screen& screen = menu_screens[0];
    ASSERT_EQ(screen.num_buttons, 6);
    ASSERT_NE(screen.background, nullptr);
    EXPECT_EQ(screen.background->right, 639);
    EXPECT_EQ(screen.background->bottom, 479);
    const int32_t rects[6][4] = {{41, 106, 145, 136}, {41, 156, 230, 188}, {41, 205, 285, 238},
                                 {40, 255, 291, 287}, {39, 305, 288, 338}, {41, 406, 95, 434}};
    for (int32_t id = 0; id < 6; ++id) {
        const menu_button& button = screen.buttons[id];
        EXPECT_EQ(button.id, id);
        const int32_t got[4] = {button.normal->left, button.normal->top, button.normal->right,
                                button.normal->bottom};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(got[i], rects[id][i]) << "button " << id;
        EXPECT_EQ(button.highlight->left, button.normal->left);
        EXPECT_EQ(button.normal->shown, id == 0 ? 0 : 1) << "button " << id;
        EXPECT_EQ(button.highlight->shown, id == 0 ? 1 : 0) << "button " << id;
    }
    EXPECT_EQ(selected_id(), 0);
    // Each picture counted by the cache and the menu; names given as
    // constants stay as they are (the loader gets copies to lower-case).
    ASSERT_NE(screen.background->texture, nullptr);
    EXPECT_EQ(screen.background->texture->texture_container_ref_cnt, 2);
    EXPECT_STREQ(menu_background_texture, "Menu background");
    EXPECT_EQ(screen.buttons[5].highlight->texture, nullptr);
    EXPECT_EQ(log->errors().back(), "Unable to d3dtextr_load_texture exit_hi.");
}

TEST_F(Menu, UpAndDownMoveTheHighlightRoundAndEnterActivates)
{
    record();
    struct {
        std::vector<WORD> keys;
        int32_t selected;
    } cases[] = {
        {{VK_UP}, 5},    // from the first to exit
        {{VK_DOWN}, 0},  // and round again
        {{VK_DOWN, VK_DOWN, VK_DOWN}, 3},
        {{VK_UP, VK_LEFT, 'A'}, 2},  // other keys do nothing
    };
    for (const auto& c : cases) {
        for (WORD key : c.keys)
            menu_handle_message(WM_KEYDOWN, key, 0);
        EXPECT_EQ(selected_id(), c.selected);
        for (int32_t id = 0; id < 6; ++id)
            EXPECT_EQ(menu_screens[0].buttons[id].highlight->shown, id == c.selected ? 1 : 0);
    }
    menu_handle_message(WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(activated, std::vector<int32_t>{2});
}

TEST_F(Menu, ThePointerSelectsWhatItHoversAndAClickActivatesOnlyTheSelection)
{
    record();
    menu_handle_message(WM_MOUSEMOVE, 0, middle_of(3));
    EXPECT_EQ(selected_id(), 3);
    // A click over another button the pointer did not hover does nothing.
    menu_handle_message(WM_LBUTTONDOWN, MK_LBUTTON, middle_of(1));
    EXPECT_TRUE(activated.empty());
    menu_handle_message(WM_LBUTTONDOWN, MK_LBUTTON, middle_of(3));
    // Hovering, then Enter.
    menu_handle_message(WM_MOUSEMOVE, 0, middle_of(4));
    menu_handle_message(WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(activated, (std::vector<int32_t>{3, 4}));
    // Edges belong to the rectangle.
    const menu_visual* exit = menu_screens[0].buttons[5].normal;
    EXPECT_TRUE(menu_point_in_rect(exit->left, exit->top, exit));
    EXPECT_TRUE(menu_point_in_rect(exit->right, exit->bottom, exit));
    EXPECT_FALSE(menu_point_in_rect(exit->right + 1, exit->bottom, exit));
}

TEST_F(Menu, PointerPositionsAreScaledToTheScreenAndKeptInsideIt)
{
    // The buffers keep their size; the picture fills the larger window.
    SetWindowPos(window, nullptr, 0, 0, 1280, 960, SWP_NOMOVE);
    ASSERT_EQ(d3dxframe_get_render_width(), 640);
    menu_handle_message(WM_MOUSEMOVE, 0, middle_of(2, 2));
    EXPECT_EQ(selected_id(), 2);
    // Left of and below the window (the mouse held by the window): the edge
    // of the screen, where no button is.
    menu_handle_message(WM_MOUSEMOVE, 0, MAKELPARAM(-40, 5000));
    EXPECT_EQ(selected_id(), 2);
    // No render size (a minimised window): nothing to scale by.
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE);
    EXPECT_EQ(menu_handle_message(WM_MOUSEMOVE, 0, middle_of(4)), 0);
    EXPECT_EQ(selected_id(), 2);
}

// Buffers of another shape than the window (a 1000 x 500 mode, and the
// window resized to 640 x 480 since): the picture shows at 640 x 320 between
// bars, and the pointer takes the button drawn under it.
TEST_F(Menu, APictureOfAnotherSizeTakesThePointerWhereItShows)
{
    d3dxframe_unitialize();
    d3dx_globals.windowed_width = 1000;
    d3dx_globals.windowed_height = 500;
    ASSERT_EQ(d3dxframe_initialize(window), S_OK);
    ASSERT_EQ(d3dxframe_get_render_width(), 1000);
    ASSERT_EQ(d3dxframe_get_render_height(), 500);
    for (int32_t id : {4, 1}) {
        const menu_visual* v = menu_screens[0].buttons[id].normal;
        int32_t x = (v->left + v->right) / 2, y = (v->top + v->bottom) / 2;
        menu_handle_message(WM_MOUSEMOVE, 0, MAKELPARAM(x, 80 + y * 2 / 3));
        EXPECT_EQ(selected_id(), id);
    }
    // Where the unscaled window would have a button, the picture has none.
    menu_handle_message(WM_MOUSEMOVE, 0, middle_of(4));
    EXPECT_EQ(selected_id(), 1);
}

TEST_F(Menu, EscReturnsToTheGameItCameFromAndPutsTheSelectionFirst)
{
    struct {
        int32_t from;
        int32_t state_after;
    } cases[] = {
        {GAME_MODE_SPLASH, GAME_MODE_MENU},
        {GAME_MODE_EXPLORATION, GAME_MODE_EXPLORATION},
        {GAME_MODE_CAMERA_LOOK, GAME_MODE_CAMERA_LOOK},
    };
    for (const auto& c : cases) {
        winmain_set_game_state(c.from);
        winmain_set_game_state(GAME_MODE_MENU);
        menu_handle_message(WM_KEYDOWN, VK_UP, 0);
        int cursor = ShowCursor(TRUE) - 1;
        ShowCursor(FALSE);
        menu_handle_message(WM_COMMAND, MAKEWPARAM(IDM_EXIT, 1), 0);
        EXPECT_EQ(game_globals.game_state, c.state_after) << "from " << c.from;
        EXPECT_EQ(selected_id(), 0);
        int hidden = c.state_after == GAME_MODE_MENU ? 0 : 1;
        EXPECT_EQ(ShowCursor(TRUE) - 1, cursor - hidden) << "from " << c.from;
        ShowCursor(FALSE);
    }
}

TEST_F(Menu, ScreensNeverBuiltAreSkipped)
{
    menu_select_main_menu_button(2);
    EXPECT_EQ(game_globals.menu_screen, 0);
    // Set from elsewhere, the menu still shows and answers screen 0.
    game_globals.menu_screen = 3;
    int draws = d3d_recorded_draw_count();
    EXPECT_EQ(menu_draw_current(), 1);
    EXPECT_EQ(d3d_recorded_draw_count() - draws, 7);
    menu_handle_message(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(selected_id(), 1);
    menu_handle_message(WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(game_globals.menu_screen, 0);
    // A screen that was built can be chosen; without buttons nothing is
    // selected on it, and none can be set up.
    log->clear();
    EXPECT_EQ(menu_init_screen(&menu_screens[1], menu_noop_callback, "prologue", 0, 0, 639, 479, 0),
              1);
    EXPECT_TRUE(log->errors().empty());
    EXPECT_EQ(menu_screens[1].selected, nullptr);
    EXPECT_EQ(menu_init_button(&menu_screens[1], 0, 0, 0, 10, 10, "prologue", "prologue_hi", 0), 0);
    menu_select_main_menu_button(1);
    EXPECT_EQ(game_globals.menu_screen, 1);
}

TEST_F(Menu, AFrameDrawsThePictureAndEveryShownButtonInOneScene)
{
    d3d_record_start();
    log->clear();
    int draws = d3d_recorded_draw_count();
    EXPECT_EQ(menu_draw_current(), 1);
    EXPECT_EQ(d3d_record_count_of("Device.BeginScene"), 1);
    EXPECT_EQ(d3d_record_count_of("Device.EndScene"), 1);
    EXPECT_EQ(d3d_recorded_draw_count() - draws, 7);
    const d3d_recorded_draw* last = d3d_recorded_last_draw();
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->texture0,
              menu_screens[0].buttons[5].normal->texture->texture_container_surface);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(last->vertices[i].diffuse, 0xFFFFFFFFu);
    // The highlighted exit has no picture: an untextured quad.
    menu_handle_message(WM_KEYDOWN, VK_UP, 0);
    menu_draw_current();
    EXPECT_EQ(d3d_recorded_last_draw()->texture0, nullptr);
    EXPECT_TRUE(log->errors().empty());
}

// The screen is drawn as the level's screens are: from no texture on stage
// 0, the identity world and the camera's view.
TEST_F(Menu, AFrameStartsFromNoTextureTheIdentityWorldAndTheCameraView)
{
    d3dutil_set_identity_matrix(&game_globals.view_matrix);
    game_globals.view_matrix.m[3][2] = 5.0f;
    game_globals.world_matrix.m[3][0] = 9.0f;
    ASSERT_EQ(d3dxframe_set_world_transform(&game_globals.world_matrix), 1);  // a level's last
    d3d_record_start();
    ASSERT_EQ(menu_draw_current(), 1);
    const int begin = d3d_record_find("Device.BeginScene", 0);
    ASSERT_GE(begin, 0);
    EXPECT_EQ(d3d_record_find("Device.SetTexture", begin),
              d3d_record_find("Device.SetTexture 0 none", begin));
    EXPECT_LT(d3d_record_find("Device.SetTexture", begin),
              d3d_record_find("Device.DrawPrimitive", begin));
    win_matrix44 world = {}, identity = {};
    d3dutil_set_identity_matrix(&identity);
    ASSERT_EQ(d3dxframe_get_world_transform(&world), 1);
    EXPECT_EQ(std::memcmp(&world, &identity, sizeof world), 0);
    EXPECT_EQ(std::memcmp(&game_globals.world_matrix, &identity, sizeof identity), 0);
    D3DMATRIX view = {};
    ASSERT_EQ(d3dx_globals.device->GetTransform(D3DTRANSFORMSTATE_VIEW, &view), D3D_OK);
    EXPECT_EQ(view.m[3][2], 5.0f);
}

TEST_F(Menu, AnEpisodeButtonClearsTheLevelAndStartsItsScript)
{
    int presents = d3d_recorded_present_count();
    // What the level left showing: a close-up, the item list, a held action.
    game_globals.display_closeup = 1;
    game_globals.browse_mode = 1;
    game_globals.action_button_pressed = 1;
    game_globals.parked_entity_flag = 1;
    game_globals.parked_acceleration = {2.0f, 3.0f, 4.0f};
    menu_handle_message(WM_KEYDOWN, VK_DOWN, 0);
    log->clear();
    menu_handle_message(WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(game_globals.game_state, GAME_MODE_EXPLORATION);
    EXPECT_EQ(game_globals.display_closeup, 0);
    EXPECT_EQ(game_globals.browse_mode, 0);
    EXPECT_EQ(game_globals.action_button_pressed, 0);
    EXPECT_EQ(game_globals.parked_entity_flag, 0);
    EXPECT_EQ(game_globals.parked_acceleration.y, 1.0f);
    EXPECT_TRUE(service_called("entity_unload_all(1)"));
    EXPECT_TRUE(service_called("varnock_set_action_button_script(none)"));
    EXPECT_TRUE(service_called("varnock_set_letterbox(0)"));
    EXPECT_TRUE(service_called("varnock_clear_display_text()"));
    EXPECT_TRUE(service_called("script_initiate_script(episode2_harbour_se)"));
    EXPECT_TRUE(log->errors().empty());
    EXPECT_EQ(d3d_recorded_present_count(), presents + 1);
    EXPECT_EQ(d3dx_globals.bActive, 1);
}

// Every picture's reference goes back with the screens, so the cache can let
// the textures go when the next level cleans it.
TEST_F(Menu, FreeingTheScreensGivesBackEveryPicture)
{
    ASSERT_GT(d3dtexr_texture_container_list_size, 0);
    menu_free_all_screens();
    EXPECT_EQ(menu_screens[0].num_buttons, 0);
    EXPECT_EQ(d3dtextr_clean_texture_container_list(), 1);
    EXPECT_EQ(d3dtexr_texture_container_list, nullptr);
    EXPECT_EQ(d3dtexr_texture_container_list_size, 0);
}

TEST_F(Menu, TheExitButtonEndsTheProgram)
{
    char previous[512];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    TempDir here;
    ASSERT_EQ(chdir(here.path().c_str()), 0);
    win32_message_box_script(1, IDOK);  // the missing picture's error is reported
    menu_handle_message(WM_KEYDOWN, VK_UP, 0);
    menu_handle_message(WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(IsWindow(window));
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_TRUE(log->contains("winmain_cleanup called."));
    EXPECT_FALSE(read_host_file(here.file("varnock.cfg")).empty());
    ASSERT_EQ(chdir(previous), 0);
}

}  // namespace
