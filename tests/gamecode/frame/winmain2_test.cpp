#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "d3dxframe.h"
#include "debug.h"
#include "dialogs.h"
#include "dlink.h"
#include "dxinput.h"
#include "gameglobals.h"
#include "gametime.h"
#include "menu.h"
#include "models_services.h"
#include "platform/d3d_record.h"
#include "platform/dialog_test.h"
#include "platform/dinput_test.h"
#include "platform/path.h"
#include "platform/path_test.h"
#include "platform/timer.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "runtime_services.h"
#include "service_doubles.h"
#include "test_support.h"
#include "winmain2.h"
#include "world_services.h"

namespace {

// Runs the test inside a fresh directory, as the program runs in its own.
struct InTempDir {
    InTempDir()
    {
        char path[512];
        previous = getcwd(path, sizeof path) ? path : ".";
        EXPECT_EQ(chdir(dir.path().c_str()), 0);
    }
    ~InTempDir() { EXPECT_EQ(chdir(previous.c_str()), 0); }
    std::string file(const char* name) const { return read_host_file(dir.file(name)); }
    TempDir dir;
    std::string previous;
};

// A 2 x 2 true-colour TGA image: the splash screen of the tests.
void write_splash(const TempDir& dir)
{
    ImageBytes tga;
    tga.raw(std::string("\0\0\2\0\0\0\0\0\0\0\0\0", 12)).half(2).half(2).raw("\x20\x28");
    for (int i = 0; i < 4; ++i)
        tga.word(0xFF8040C0);
    dir.write("bitmap/splash_screen.tga", tga.bytes());
    std::strcpy(game_globals.bitmaps_pathname, dir.file("bitmap").c_str());
}

DWORD clock_ms = 0;
DWORD test_clock()
{
    return clock_ms;
}

class FrameClock : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        clock_ms = 0;
        platform_timer_set_source(test_clock);
        log.clear();
    }
    // One frame's clock steps at `now` milliseconds.
    void tick(DWORD now)
    {
        clock_ms = now;
        winmain_update_frame_clock();
    }
    LogCapture log;
};

TEST_F(FrameClock, ALongFrameCountsAsTheMaximum)
{
    tick(100);
    EXPECT_EQ(frame_delta_time, 100.0f);
    tick(3100);
    EXPECT_EQ(frame_delta_time, 250.0f);
    EXPECT_EQ(game_time, 3100.0f);
    EXPECT_EQ(last_frame_time, 2850.0f);
    ASSERT_EQ(log.notices().size(), 1u);
    EXPECT_EQ(log.notices()[0], "frame_delta_time exceeded MAX_FRAME_DELTA_TIME = 3000.000000");
    EXPECT_EQ(log.warnings().size(), 0u);
}

TEST_F(FrameClock, AClockBehindGameTimeGivesNoTimeNotANegativeDelta)
{
    tick(1000);
    game_time = 1500.0f;  // scripts advanced the clock past the timer
    tick(1200);
    EXPECT_EQ(frame_delta_time, 0.0f);
}

TEST_F(FrameClock, TheRateRingAveragesTheLast150Frames)
{
    tick(0);  // no time at all yet: no rate, rather than an infinite one
    EXPECT_EQ(fps, 0.0f);
    test_reset_state();
    platform_timer_set_source(test_clock);
    tick(20);
    EXPECT_EQ(fps_frame_counter, 1);
    // One sample of 20 ms over a ring of zeros reads as 7500 fps.
    EXPECT_FLOAT_EQ(fps, 150.0f / 20.0f * 1000.0f);
    for (DWORD frame = 2; frame <= 400; ++frame)
        tick(frame * 20);
    EXPECT_FLOAT_EQ(fps, 50.0f);
    EXPECT_FLOAT_EQ(fps_delta_sum, 3000.0f);
}

TEST_F(FrameClock, ScriptTimeComesOutOfTheFrame)
{
    struct {
        float frame, script, delta, game_time;
        bool warned;
    } cases[] = {
        {20.0f, 5.0f, 15.0f, 1025.0f, false},
        {20.0f, 400.0f, 0.0f, 1420.0f, true},
        {20.0f, 0.0f, 20.0f, 1020.0f, false},
        {20.0f, 20.0f, 0.0f, 1040.0f, false},  // the whole frame: none left, nothing wrong
    };
    for (const auto& c : cases) {
        test_reset_state();
        platform_timer_set_source(test_clock);
        log.clear();
        tick(1000);
        tick(1000 + (DWORD)c.frame);
        int counter = fps_frame_counter;
        winmain_correct_frame_clock(c.script);
        EXPECT_EQ(frame_delta_time, c.delta);
        EXPECT_EQ(game_time, c.game_time);
        EXPECT_EQ(fps_frame_counter, counter) << "the correction does not count a frame";
        EXPECT_EQ(fps_ring[counter % 150], c.delta) << "the sample is replaced";
        EXPECT_FLOAT_EQ(fps_delta_sum, 250.0f + c.delta);
        EXPECT_EQ(log.warnings().size(), c.warned ? 1u : 0u);
        if (c.warned) {
            EXPECT_EQ(log.warnings()[0],
                      "frame_delta_time went negative = -380.000000, script_time = 400.000000");
        }
    }
}

TEST_F(FrameClock, ACorrectedDeltaAboveTheMaximumIsClamped)
{
    tick(1000);
    tick(1100);
    winmain_correct_frame_clock(-200.0f);
    EXPECT_EQ(frame_delta_time, 250.0f);
    EXPECT_EQ(last_frame_time, game_time - 250.0f);
    EXPECT_EQ(log.warnings().size(), 1u);
    // The maximum itself is within bounds.
    tick(2000);
    tick(2100);
    log.clear();
    winmain_correct_frame_clock(-150.0f);
    EXPECT_EQ(frame_delta_time, 250.0f);
    EXPECT_TRUE(log.warnings().empty());
}

// The window, the device and the frame as WinMain leaves them, on the
// recording back-end.
class MainLoop : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        platform_timer_set_source(test_clock);
        clock_ms = 1000;
        log = std::make_unique<LogCapture>();
        write_splash(bitmaps);
        window = test_open_game_window(winmain_class_name, winmain_splash_wnd_proc);
        ASSERT_NE(window, nullptr);
        pump();
        platform_register_accelerators("IDR_MAIN_ACCEL", winmain_main_accel, WINMAIN_ACCEL_COUNT);
        accelerators = LoadAccelerators(nullptr, "IDR_MAIN_ACCEL");
        ASSERT_NE(accelerators, nullptr);
        d3d_record_start();
        log->clear();
    }
    void TearDown() override
    {
        d3dxframe_unitialize();
        win32_reset();
    }
    void pump()
    {
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
            if (!TranslateAccelerator(window, accelerators, &msg))
                DispatchMessage(&msg);
    }
    // A key as the player presses it, through the accelerator table.
    void press(const char* key, int mod = 0)
    {
        platform_event event = {};
        event.kind = PLATFORM_EVENT_KEY_DOWN;
        event.key = key;
        event.mod = mod;
        ASSERT_EQ(win32_feed_event(window, &event), 1);
        pump();
    }
    void click()
    {
        platform_event event = {};
        event.kind = PLATFORM_EVENT_BUTTON_DOWN;
        event.button = 1;
        event.clicks = 1;
        event.data1 = 320;
        event.data2 = 240;
        ASSERT_EQ(win32_feed_event(window, &event), 1);
        pump();
    }
    WNDPROC procedure() { return (WNDPROC)GetWindowLong(window, GWL_WNDPROC); }

    TempDir bitmaps;
    HWND window = nullptr;
    HACCEL accelerators = nullptr;
    std::unique_ptr<LogCapture> log;
};

TEST_F(MainLoop, EachStateHasItsProcedure)
{
    for (int32_t state : {1, 2, 3, 4, 0}) {
        int32_t before = game_globals.game_state;
        winmain_set_game_state(state);
        EXPECT_EQ(game_globals.game_state, state);
        EXPECT_EQ(game_globals.previous_game_state, before);
        EXPECT_EQ(procedure(), winmain_wnd_proc_table[state]);
    }
    // A state outside the table keeps the procedure; the frame reports it.
    winmain_set_game_state(7);
    EXPECT_EQ(procedure(), winmain_splash_wnd_proc);
    winmain_run_frame();
    EXPECT_EQ(log->errors(), std::vector<std::string>{"Unknown game_state = 7"});
}

TEST_F(MainLoop, TheSplashIgnoresEscAndAltXAndAClickOpensTheMenu)
{
    press("Escape");
    press("X", PLATFORM_MOD_ALT);
    EXPECT_EQ(game_globals.game_state, GAME_MODE_SPLASH);
    int presents = d3d_recorded_present_count();
    int cursor = ShowCursor(FALSE) + 1;
    ShowCursor(TRUE);
    click();
    EXPECT_EQ(game_globals.game_state, GAME_MODE_MENU);
    EXPECT_EQ(procedure(), winmain_menu_wnd_proc);
    EXPECT_EQ(d3d_recorded_present_count(), presents + 1);
    EXPECT_EQ(ShowCursor(FALSE) + 1, cursor + 1) << "the cursor is shown";
}

TEST_F(MainLoop, KeysActByState)
{
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    press("F5");  // nothing in exploration
    EXPECT_EQ(game_globals.game_state, GAME_MODE_EXPLORATION);
    press("Escape");
    EXPECT_EQ(game_globals.game_state, GAME_MODE_MENU);

    winmain_set_game_state(GAME_MODE_CAMERA_LOOK);
    game_time = 5.0f;
    int presents = d3d_recorded_present_count();
    press("F5");
    EXPECT_EQ(game_globals.game_state, GAME_MODE_EXPLORATION);
    EXPECT_EQ(game_time, 1000.0f) << "the clock restarts";
    EXPECT_EQ(d3d_recorded_present_count(), presents) << "without a present";
    EXPECT_TRUE(log->contains("IDM_DEBUG key pressed."));

    winmain_set_game_state(GAME_MODE_CAMERA_LOOK);
    press("X", PLATFORM_MOD_ALT);
    EXPECT_EQ(game_globals.game_state, GAME_MODE_MENU);

    // F7 starts the script "cheat" in exploration.
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    log->clear();
    press("F7");
    EXPECT_TRUE(log->contains("IDM_TEST_SCRIPT key pressed."));
    EXPECT_TRUE(service_called("script_initiate_script(cheat)"));

    // Movie and menu: Esc does not leave them.
    for (int32_t state : {GAME_MODE_PLAYING_MOVIE, GAME_MODE_MENU}) {
        winmain_set_game_state(state);
        press("Escape");
        press("F7");
        EXPECT_EQ(game_globals.game_state, state);
    }
}

TEST_F(MainLoop, FunctionKeysOpenTheDialogsOfTheirState)
{
    dialogs_register_resources();
    struct {
        int32_t state;
        const char* key;
        const char* caption;  // NULL: no dialog
    } cases[] = {
        {GAME_MODE_EXPLORATION, "F1", "About/Help"},
        {GAME_MODE_CAMERA_LOOK, "F1", "About/Help"},
        {GAME_MODE_MENU, "F1", "About/Help"},
        {GAME_MODE_MENU, "F2", "Select New Direct3D Driver"},
        {GAME_MODE_EXPLORATION, "F2", "Select New Direct3D Driver"},
        {GAME_MODE_PLAYING_MOVIE, "F2", "Select New Direct3D Driver"},
        {GAME_MODE_SPLASH, "F1", nullptr},
        {GAME_MODE_SPLASH, "F2", nullptr},
        {GAME_MODE_PLAYING_MOVIE, "F1", nullptr},
        {GAME_MODE_EXPLORATION, "F3", nullptr},
        {GAME_MODE_MENU, "F3", nullptr},
        {GAME_MODE_EXPLORATION, "F6", nullptr},
        {GAME_MODE_MENU, "F6", nullptr},
    };
    for (const auto& c : cases) {
        winmain_set_game_state(c.state);
        dialog_script_begin();  // each dialog is cancelled at once
        game_time = 1.0f;
        int presents = d3d_recorded_present_count();
        press(c.key);
        ASSERT_EQ(dialog_shown_count(), c.caption ? 1 : 0) << c.key << " in state " << c.state;
        if (c.caption) {
            EXPECT_STREQ(dialog_shown_caption(0), c.caption);
            // After the dialog the picture is shown again and the clock
            // restarts, so the time it was open is no frame's time.
            EXPECT_GT(d3d_recorded_present_count(), presents) << c.key << " in state " << c.state;
            EXPECT_EQ(game_time, 1000.0f) << c.key << " in state " << c.state;
        }
        EXPECT_EQ(game_globals.game_state, c.state);
        EXPECT_TRUE(d3dxframe_is_ready()) << "the frame runs again after " << c.key;
    }
    dialog_script_end();
}

TEST_F(MainLoop, TheMenuTakesTheKeysAndThePointer)
{
    menu_build_main_menu();
    winmain_set_game_state(GAME_MODE_MENU);
    press("Down");
    EXPECT_EQ(menu_screens[0].selected, &menu_screens[0].buttons[1]);
    platform_event move = {};
    move.kind = PLATFORM_EVENT_MOUSE_MOTION;
    move.data1 = 50;
    move.data2 = 420;  // over the exit button
    ASSERT_EQ(win32_feed_event(window, &move), 1);
    pump();
    EXPECT_EQ(menu_screens[0].selected, &menu_screens[0].buttons[5]);
    // A window that changed shows the menu drawn again, not the last frame.
    int draws = d3d_recorded_draw_count(), presents = d3d_recorded_present_count();
    winmain_menu_wnd_proc(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600));
    EXPECT_EQ(d3d_recorded_draw_count(), draws + 7);
    EXPECT_EQ(d3d_recorded_present_count(), presents + 1);
    // Coming back to the game shows the pointer for the menu.
    int cursor = ShowCursor(TRUE) - 1;
    ShowCursor(FALSE);
    winmain_menu_wnd_proc(window, WM_ACTIVATEAPP, TRUE, 0);
    EXPECT_EQ(ShowCursor(TRUE) - 1, cursor + 1);
    ShowCursor(FALSE);
    menu_free_all_screens();
}

TEST_F(MainLoop, AltEnterTogglesFullScreenInEveryState)
{
    for (int32_t state = 0; state <= 4; ++state) {
        winmain_set_game_state(state);
        log->clear();
        int32_t fullscreen = d3dx_globals.m_bIsFullscreen;
        press("Return", PLATFORM_MOD_ALT);
        EXPECT_EQ(d3dx_globals.m_bIsFullscreen, !fullscreen) << "state " << state;
        EXPECT_TRUE(log->contains("IDM_TOGGLEFULLSCREEN key pressed.")) << "state " << state;
        EXPECT_EQ(game_globals.game_state, state);
    }
}

TEST_F(MainLoop, FramesDoTheWorkOfTheirState)
{
    // The menu draws itself; the scene module (a double here) draws the rest.
    struct {
        int32_t state;
        int scenes;
        std::vector<std::string> calls;
    } cases[] = {
        {GAME_MODE_SPLASH, 0, {"varnock_render_splash()"}},
        {GAME_MODE_EXPLORATION,
         0,
         {"script_update_script()", "entity_update_all()", "varnock_update_screen_fade()",
          "varnock_update_overlay_fade()", "varnock_render_scene()", "varnock_draw_text()"}},
        {GAME_MODE_CAMERA_LOOK,
         0,
         {"entity_update_all()", "varnock_render_scene()", "varnock_draw_text()"}},
        {GAME_MODE_PLAYING_MOVIE, 0, {}},
        {GAME_MODE_MENU, 1, {}},
    };
    for (const auto& c : cases) {
        winmain_set_game_state(c.state);
        int presents = d3d_recorded_present_count();
        int scenes = d3d_record_count_of("Device.BeginScene");
        service_calls.clear();
        clock_ms += 20;
        winmain_run_frame();
        EXPECT_EQ(d3d_recorded_present_count() - presents, 1) << "state " << c.state;
        EXPECT_EQ(d3d_record_count_of("Device.BeginScene") - scenes, c.scenes)
            << "state " << c.state;
        EXPECT_EQ(service_calls, c.calls) << "state " << c.state;
    }
}

TEST_F(MainLoop, TheSplashIsDrawnByTheSceneModuleAndPresentedEachFrame)
{
    service_calls.clear();
    int presents = d3d_recorded_present_count();
    clock_ms += 20;
    winmain_run_frame();
    clock_ms += 20;
    winmain_run_frame();
    EXPECT_EQ(service_calls_of("varnock_render_splash").size(), 2u);
    EXPECT_EQ(d3d_recorded_present_count() - presents, 2);
    EXPECT_EQ(game_globals.game_state, GAME_MODE_SPLASH) << "drawing does not change the state";
    EXPECT_TRUE(log->errors().empty());
}

TEST_F(MainLoop, EachFrameRunAppendsItsNumberToTheFrameLogTheEnvironmentNames)
{
    TempDir dir;
    std::string path = dir.file("frames.txt");
    // Without the variable nothing is written.
    unsetenv("VARNOCK_FRAME_LOG");
    ASSERT_EQ(winmain_open_frame_log(), 1);
    winmain_run_frame();
    EXPECT_FALSE(std::ifstream(path).good());

    setenv("VARNOCK_FRAME_LOG", path.c_str(), 1);
    ASSERT_EQ(winmain_open_frame_log(), 1);
    EXPECT_EQ(dir.read("frames.txt"), "") << "no frame has run yet";
    for (int frame = 0; frame < 3; ++frame) {
        clock_ms += 20;
        winmain_run_frame();
        // Each line is there as soon as its frame has run.
        EXPECT_EQ(dir.read("frames.txt").size(), 2u * (frame + 1));
    }
    EXPECT_EQ(dir.read("frames.txt"), "1\n2\n3\n");
    // A frame of a state the game does not know still ran.
    winmain_set_game_state(7);
    winmain_run_frame();
    EXPECT_EQ(dir.read("frames.txt"), "1\n2\n3\n4\n");

    // A file that cannot be written is an error, and the game runs on.
    setenv("VARNOCK_FRAME_LOG", dir.file("no/such/directory/frames.txt").c_str(), 1);
    log->clear();
    EXPECT_EQ(winmain_open_frame_log(), 0);
    EXPECT_EQ(log->errors().size(), 1u);
    winmain_set_game_state(GAME_MODE_SPLASH);
    winmain_run_frame();
    unsetenv("VARNOCK_FRAME_LOG");
}

TEST_F(MainLoop, AnExplorationFrameDrawsTheStatisticsLine)
{
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    clock_ms += 40;
    winmain_run_frame();
    char text[128];
    winmain_format_statistics(text, sizeof text);
    EXPECT_STREQ(text, "3750.00 fps (640x480) PC AnimIdx:-1 debugcam off");
    EXPECT_EQ(fps_frame_counter, 1);
    winmain_set_game_state(GAME_MODE_CAMERA_LOOK);
    winmain_format_statistics(text, sizeof text);
    EXPECT_NE(std::string(text).find("debugcam on"), std::string::npos);
    // The line never runs past its buffer.
    fps = 1e30f;
    winmain_format_statistics(text, 20);
    EXPECT_EQ(std::string(text).size(), 19u);
}

TEST_F(MainLoop, TheStatisticsLineShowsThePlayersStateOrTheTwoPositions)
{
    win_ast table = {};
    table.current_anim_index = 4;
    win_entity player = {}, camera = {};
    player.win_ast = &table;
    player.local_matrix.m[3][1] = 3.0f;
    camera.local_matrix.m[3][0] = -12.5f;
    game_globals.player_character = &player;
    game_globals.current_camera = &camera;
    char text[128];
    winmain_format_statistics(text, sizeof text);
    EXPECT_NE(std::string(text).find("PC AnimIdx:4 debugcam on"), std::string::npos);
    game_globals.debug_camera = 1;
    winmain_format_statistics(text, sizeof text);
    EXPECT_STREQ(text,
                 "camera:  -12.50    0.00    0.00 player:    0.00    3.00    0.00 debugcam on");
}

// F5 shows or hides the statistics line in a level; the configuration
// keeps what it was left at.
TEST_F(MainLoop, F5ShowsAndHidesTheStatisticsLine)
{
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    game_globals.bShowStats = 0;
    press("F5");
    EXPECT_EQ(game_globals.bShowStats, 1);
    press("F5");
    EXPECT_EQ(game_globals.bShowStats, 0);
}

// The statistics stand left of the heads-up display's panel, which covers
// the screen's right from x 511 of 640, and above its health bar (from y 457
// of 480): the long lines are broken into lines that fit there, a line of
// the font apart (the recording font is 24 pixels high, each character 12
// wide).
TEST_F(MainLoop, TheStatisticsStandLeftOfThePanel)
{
    win_entity player = {}, camera = {};
    game_globals.player_character = &player;
    game_globals.current_camera = &camera;
    game_globals.bShowStats = 1;
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    for (int32_t debug_camera : {0, 1}) {
        game_globals.debug_camera = debug_camera;
        const int before = d3d_record_count();
        clock_ms += 20;
        winmain_run_frame();
        char whole[128];  // as the frame drew it
        winmain_format_statistics(whole, sizeof whole);
        std::string said;
        int last_y = -100;
        for (const test_text_draw& draw : test_text_draws_since(before)) {
            if (draw.colour != 0x00ffff)  // yellow, as GDI orders it
                continue;
            EXPECT_LE(draw.x + 12 * (int)draw.text.size(), 500) << draw.text;
            EXPECT_GE(draw.y, last_y + draw.height) << draw.text;
            EXPECT_LE(draw.y + draw.height, 457) << draw.text;
            last_y = draw.y;
            said += (said.empty() ? "" : " ") + draw.text;
        }
        const auto words = [](const std::string& text) {
            std::istringstream in(text);
            return std::vector<std::string>(std::istream_iterator<std::string>(in), {});
        };
        EXPECT_EQ(words(said), words(whole)) << "every word of the line is shown";
    }
    game_globals.player_character = nullptr;
    game_globals.current_camera = nullptr;
}

TEST_F(MainLoop, F4CyclesTheInputDevicesAsFarAsTheyExist)
{
    struct {
        int joysticks;
        bool mouse;
        std::vector<int32_t> cycle;
        std::vector<std::string> said;  // the line each press shows
    } cases[] = {
        {0, true, {1, 0, 1}, {"mouse", "keyboard", "mouse"}},
        {1, true, {1, 2, 0}, {"mouse", "joystick", "keyboard"}},
        {1, false, {1, 0}, {"joystick", "keyboard"}},  // the joystick in the mouse's slot
        {0, false, {0}, {"keyboard"}},
    };
    winmain_set_game_state(GAME_MODE_EXPLORATION);
    for (const auto& c : cases) {
        dxinput_reset();
        dinput_test_set_joystick_count(c.joysticks);
        if (!c.mouse)
            d3d_inject("DirectInput.CreateDevice", E_FAIL, 1, 1);
        game_globals.input_device = 0;
        ASSERT_EQ(dxinput_init(nullptr, window), 1);
        std::vector<int32_t> cycle;
        std::vector<std::string> said;
        for (size_t i = 0; i < c.cycle.size(); ++i) {
            service_calls.clear();
            press("F4");
            cycle.push_back(game_globals.input_device);
            EXPECT_EQ(dxinput_is_current_device(dxinput_globals.current_device_index), 1);
            // "varnock_display_text(24, 40, 220, 220, 220, 3, Control: mouse)"
            for (const std::string& call : service_calls_of("varnock_display_text")) {
                const size_t at = call.find("Control: ");
                said.push_back(
                    at == std::string::npos ? call : call.substr(at + 9, call.size() - at - 10));
            }
        }
        EXPECT_EQ(cycle, c.cycle) << c.joysticks << " joysticks, mouse " << c.mouse;
        EXPECT_EQ(said, c.said) << c.joysticks << " joysticks, mouse " << c.mouse;
    }
    EXPECT_TRUE(log->contains("IDM_KEYJOY key pressed."));
}

TEST_F(MainLoop, TheFocusAcquiresTheInputDeviceAgain)
{
    ASSERT_EQ(dxinput_init(nullptr, window), 1);
    dinput_test_set_key(DIK_UP, 1);
    platform_event event = {};
    event.kind = PLATFORM_EVENT_FOCUS_LOST;
    ASSERT_EQ(win32_feed_event(window, &event), 1);
    pump();
    EXPECT_EQ(dxinput_read_current_device(), 0);
    event.kind = PLATFORM_EVENT_FOCUS_GAINED;
    ASSERT_EQ(win32_feed_event(window, &event), 1);
    pump();
    EXPECT_EQ(dxinput_read_current_device(), ACTION_UP);
}

TEST_F(MainLoop, WindowChangesPresentAndRestartTheClock)
{
    for (WNDPROC proc : winmain_wnd_proc_table) {
        game_time = 1.0f;
        int presents = d3d_recorded_present_count();
        proc(window, WM_MOVE, 0, MAKELPARAM(10, 10));
        EXPECT_GT(d3d_recorded_present_count(), presents);
        EXPECT_EQ(game_time, 1000.0f);
        // The frame hears of them in every state: minimised, no frames run.
        proc(window, WM_SIZE, SIZE_MINIMIZED, 0);
        EXPECT_FALSE(d3dxframe_is_ready());
        proc(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480));
        EXPECT_TRUE(d3dxframe_is_ready());
    }
}

// Shut-down, with the session report box answered at once.
class Cleanup : public MainLoop {
protected:
    void SetUp() override
    {
        MainLoop::SetUp();
        win32_message_box_script(1, IDOK);
    }
    std::string box_text(int index)
    {
        const char* text = nullptr;
        const char* caption = nullptr;
        UINT type = 0;
        HWND owner = nullptr;
        win32_message_box_get(index, &owner, &text, &caption, &type);
        EXPECT_EQ(type, 0x51010u);
        EXPECT_EQ(owner, window);
        return std::string(caption) + ": " + text;
    }
    InTempDir here;
};

TEST_F(Cleanup, RunsInOrderAndWritesTheConfiguration)
{
    service_calls.clear();
    winmain_cleanup(window);
    std::vector<std::string> notices = log->notices();
    std::vector<std::string> order = {"winmain_cleanup called.", "Writing SES",
                                      "d3dxframe_unitialize called.", "Varnock - exiting...."};
    size_t at = 0;
    for (const std::string& notice : notices)
        if (at < order.size() && notice.rfind(order[at], 0) == 0)
            ++at;
    EXPECT_EQ(at, order.size()) << "notices out of order";
    EXPECT_EQ(service_calls,
              (std::vector<std::string>{"varnock_final_cleanup()", "vk_tail_free()",
                                        "mow_rend_cleanup()", "sound_write_config()"}));
    EXPECT_FALSE(here.file("varnock.cfg").empty());
    EXPECT_EQ(win32_message_box_count(), 0) << "no box without errors or warnings";
    EXPECT_EQ(d3dx_globals.bInitialized, 0);
}

TEST_F(Cleanup, TheSessionReportCountsErrorsFirstThenWarnings)
{
    struct {
        int errors, warnings;
        const char* box;
    } cases[] = {
        {1, 5,
         "Error During Session: There was an error during this session.  Check the debug file."},
        {3, 0,
         "Error During Session: There were 3 errors during this session.  Check the debug file."},
        {0, 1,
         "Warning During Session: There was a warning during this session.  Check the debug file."},
        {0, 2,
         "Warning During Session: There were 2 warnings during this session.  Check the debug "
         "file."},
    };
    for (const auto& c : cases) {
        log->clear();
        win32_message_box_script(1, IDOK);
        for (int i = 0; i < c.errors; ++i)
            LOG_ERROR("%s\n", "an error");
        for (int i = 0; i < c.warnings; ++i)
            LOG_WARNING("%s\n", "a warning");
        winmain_cleanup(window);
        ASSERT_EQ(win32_message_box_count(), 1);
        EXPECT_EQ(box_text(0), c.box);
        EXPECT_EQ(debug_log.error_level, 0) << "error logging is back after the box";
    }
}

// A log that could not be made, or that lost entries (a full disk), is no
// place to send the player.
TEST_F(Cleanup, TheReportSaysSoWhenTheLogCouldNotBeWritten)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(debug_open("missing/debug.txt", 0), 0);
    std::string reason = testing::internal::GetCapturedStderr();
    EXPECT_NE(reason.find("Could not open debugging file '"), std::string::npos) << reason;
    EXPECT_NE(reason.find("debug.txt': No such file or directory"), std::string::npos) << reason;
    winmain_cleanup(window);
    ASSERT_EQ(win32_message_box_count(), 1);
    EXPECT_EQ(box_text(0), "Error During Session: There was an error during this session.  The "
                           "debug file could not be written.");

    if (FILE* full = fopen("/dev/full", "w")) {
        fclose(full);
        win32_message_box_script(1, IDOK);
        ASSERT_EQ(debug_open("/dev/full", 0), 1);
        LOG_WARNING("%s\n", "lost");
        winmain_cleanup(window);
        ASSERT_EQ(win32_message_box_count(), 1);
        EXPECT_EQ(box_text(0), "Warning During Session: There was a warning during this session.  "
                               "The debug file could not be written.");
    }
}

TEST_F(Cleanup, ListsStillHeldAreWarnedAboutBeforeTheBox)
{
    dlink node = {};
    node.prev_ptr = node.next_ptr = &node;
    service_double_host.ring = (win_entity*)&node;
    winmain_cleanup(window);
    service_double_host.ring = nullptr;
    EXPECT_EQ(log->warnings(), std::vector<std::string>{
                                   "entity_io_global_win_entity_list is not NULL with 1 members"});
    ASSERT_EQ(win32_message_box_count(), 1);
    EXPECT_EQ(
        box_text(0),
        "Warning During Session: There was a warning during this session.  Check the debug file.");
}

// The whole program on the recording back-end: start-up, frames until a
// close request, shut-down.
// WinMain registers the window class itself.
void start_program_test()
{
    test_reset_state();
    UnregisterClass(winmain_class_name, nullptr);
}

TEST(WinMain, StartsRunsFramesAndEndsOnClose)
{
    start_program_test();
    InTempDir here;
    static int frames = 0;
    frames = 0;
    platform_timer_set_source([]() -> DWORD {
        // The frame clock reads the timer once per frame; after a few frames
        // the player closes the window.
        if (++frames == 5)
            PostMessage(d3dx_globals.hwnd, WM_CLOSE, 0, 0);
        return (DWORD)(frames * 20);
    });
    win32_message_box_script(1, IDOK);
    int result = WinMain(nullptr, nullptr, (char*)"", SW_SHOW);
    platform_timer_set_source(nullptr);
    EXPECT_EQ(result, 0);
    EXPECT_GE(frames, 5);
    std::string debug = here.file("debug.txt");
    for (const char* notice :
         {"Varnock - starting up....", "Initializing globals...", "Reading SES", "Writing SES",
          "Initializing Direct Input.", "winmain_cleanup called.", "Varnock - exiting...."})
        EXPECT_NE(debug.find(notice), std::string::npos) << notice;
    for (const char* call :
         {"varnock_one_time_scene_init()", "vk_tail_load()", "mow_rend_init()",
          "varnock_render_splash()", "varnock_final_cleanup()", "mow_rend_cleanup()"})
        EXPECT_TRUE(service_called(call)) << call;
    // The model renderer is set up last, once everything it draws with is.
    auto at = [](const char* call) {
        return std::find(service_calls.begin(), service_calls.end(), call) - service_calls.begin();
    };
    EXPECT_EQ(at("mow_rend_init()"), at("vk_tail_load()") + 1);
    // No configuration yet: written at start-up and again at exit.
    EXPECT_NE(debug.find("Could not find"), std::string::npos);
    EXPECT_FALSE(here.file("varnock.cfg").empty());
    EXPECT_GE(win32_message_box_count(), 1);
    EXPECT_EQ(d3d_live_objects(), 0);
}

// A windowed mode chosen with F2 sizes the window and goes into the
// configuration at exit; the next start opens the window at that size, with
// buffers of that size (no picture between bars).
TEST(WinMain, AWindowedModeChosenWithF2SizesTheWindowAndOutlivesARestart)
{
    static int frames = 0;
    static RECT client = {};
    static int32_t render_width = 0;
    static bool looked = false;
    auto run = [](DWORD (*clock)()) {
        start_program_test();
        frames = 0;
        client = {};
        render_width = 0;
        looked = false;
        platform_timer_set_source(clock);
        win32_message_box_script(1, IDOK);
        WinMain(nullptr, nullptr, (char*)"", SW_SHOW);
        platform_timer_set_source(nullptr);
    };
    // Once: posting a message reads the clock again.
    auto look_and_close = [] {
        if (looked)
            return;
        looked = true;
        GetClientRect(d3dx_globals.hwnd, &client);
        render_width = d3dxframe_get_render_width();
        PostMessage(d3dx_globals.hwnd, WM_CLOSE, 0, 0);
    };
    InTempDir here;
    static void (*look)() = nullptr;
    look = look_and_close;
    run([]() -> DWORD {
        // A click opens the menu, where F2 opens the device dialog.
        if (++frames == 3)
            PostMessage(d3dx_globals.hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(320, 240));
        if (frames == 6) {
            dialog_script_begin();
            dialog_script_click(1002);
            dialog_script_click_item(1002, 3);  // 800 x 600 x 32
            dialog_script_click(IDOK);
            PostMessage(d3dx_globals.hwnd, WM_KEYDOWN, VK_F2, 0);
        }
        // Once the dialog's choice is taken (the frame clock runs while
        // the dialog is open too), or at the latest after 200 frames.
        if ((frames > 6 && d3dx_globals.device_index == 0 && d3dxframe_is_ready()) || frames == 200)
            look();
        return (DWORD)(frames * 20);
    });
    dialog_script_end();
    EXPECT_NE(here.file("debug.txt").find("Changing 3d environment."), std::string::npos);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
    EXPECT_EQ(render_width, 800);
    std::string config = here.file("varnock.cfg");
    EXPECT_NE(config.find("800" + std::string(41, ' ') + "//  Windowed Width"), std::string::npos)
        << config;
    EXPECT_NE(config.find("600" + std::string(41, ' ') + "//  Windowed Height"), std::string::npos);

    run([]() -> DWORD {
        if (++frames == 3)
            look();
        return (DWORD)(frames * 20);
    });
    EXPECT_EQ(client.right, 800) << "the window opens at the mode";
    EXPECT_EQ(client.bottom, 600);
    EXPECT_EQ(render_width, 800);
    EXPECT_EQ(d3d_live_objects(), 0);
}

TEST(WinMain, AnUnreadableConfigurationIsKeptBesideTheNewOne)
{
    start_program_test();
    InTempDir here;
    const std::string damaged = "21\n124\ne:\\my data\nnot a line of this file\n";
    here.dir.write("varnock.cfg", damaged);
    win32_message_box_script(1, IDOK);
    d3d_inject("D3DXCreateContextEx", D3DXERR_NODIRECT3DDEVICEAVAILABLE, 0, 2);
    WinMain(nullptr, nullptr, (char*)"", SW_SHOW);
    EXPECT_EQ(here.file("varnock.cfg.bad"), damaged);
    EXPECT_NE(here.file("varnock.cfg").find("//  [dxinput]"), std::string::npos);
    EXPECT_NE(here.file("debug.txt").find("varnock.cfg.bad'."), std::string::npos);
}

// The boxes that told of missing or unreadable data, as "caption: text",
// each checked to stand over the game's window.
std::vector<std::string> missing_data_boxes(void)
{
    std::vector<std::string> boxes;
    for (int i = 0; i < win32_message_box_count(); ++i) {
        HWND owner = nullptr;
        const char *text = nullptr, *caption = nullptr;
        if (win32_message_box_get(i, &owner, &text, &caption, nullptr) &&
            (std::string(caption) == "Game Data Not Found" ||
             std::string(caption) == "Game Data Cannot Be Read")) {
            boxes.push_back(std::string(caption) + ": " + text);
            EXPECT_NE(owner, nullptr) << "over the game's window";
        }
    }
    return boxes;
}

// Started where the game's data is not, the game said nothing: it says
// once, in the log and on stderr, which data directory it did not find and
// where it looked, and in a box over its window, where a player looks.
TEST(WinMain, WithoutItsDataTheGameSaysOnceWhereItLooked)
{
    const char* const folders[] = {"entity",    "model",  "anim",   "animtab", "script",
                                   "collision", "shader", "bitmap", "sound",   "ai"};
    for (bool with_data : {false, true}) {
        start_program_test();
        InTempDir here;
        if (with_data)
            for (const char* folder : folders)
                here.dir.write(std::string("drive_c/data/win/") + folder + "/.keep", "");
        win32_message_box_script(1, IDOK);
        d3d_inject("D3DXCreateContextEx", D3DXERR_NODIRECT3DDEVICEAVAILABLE, 0, 2);
        testing::internal::CaptureStderr();
        WinMain(nullptr, nullptr, (char*)"", SW_SHOW);
        std::string said = testing::internal::GetCapturedStderr();
        std::string debug = here.file("debug.txt");
        const std::string line = "The data directory 'c:\\data\\win\\entity' was not found; the "
                                 "game looked for it at '";
        size_t at = debug.find(line);
        std::vector<std::string> boxes = missing_data_boxes();
        if (with_data) {
            EXPECT_EQ(at, std::string::npos) << debug;
            EXPECT_EQ(said.find("data directory"), std::string::npos) << said;
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].rfind("Game Data Not Found: ", 0), 0u) << boxes[0];
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        EXPECT_NE(boxes[0].find(std::string("\n") + cwd + "/drive_c/data/win/entity\n"),
                  std::string::npos)
            << "the folder from the root: " << boxes[0];
        ASSERT_NE(at, std::string::npos) << debug;
        EXPECT_EQ(debug.find("was not found; the game looked", at + line.size()), std::string::npos)
            << "said once";
        EXPECT_NE(debug.find("drive_c/data/win/entity'.", at), std::string::npos);
        EXPECT_NE(said.find("varnock: the data directory 'c:\\data\\win\\entity' was not found"),
                  std::string::npos)
            << said;
    }
}

// A data folder that is there but may not be read (mode 000), or that lies in
// one such, is not called missing: the game says it cannot be read. Root
// reads such folders all the same, so there the denial is also injected.
TEST(WinMain, AnUnreadableDataFolderIsSaidToBeUnreadable)
{
    const char* const folders[] = {"entity",    "model",  "anim",   "animtab", "script",
                                   "collision", "shader", "bitmap", "sound",   "ai"};
    for (const char* denied : {"drive_c/data/win/entity", "drive_c/data/win"}) {
        SCOPED_TRACE(denied);
        start_program_test();
        InTempDir here;
        for (const char* folder : folders)
            here.dir.write(std::string("drive_c/data/win/") + folder + "/.keep", "");
        ASSERT_EQ(chmod(denied, 0), 0);
        if (geteuid() == 0) {
            char host[1024];
            ASSERT_TRUE(platform_resolve_path(std::string(denied) == "drive_c/data/win"
                                                  ? "c:\\data\\win"
                                                  : "c:\\data\\win\\entity",
                                              host, sizeof host));
            path_test_deny_access(host, EACCES);
        }
        win32_message_box_script(1, IDOK);
        d3d_inject("D3DXCreateContextEx", D3DXERR_NODIRECT3DDEVICEAVAILABLE, 0, 2);
        testing::internal::CaptureStderr();
        WinMain(nullptr, nullptr, (char*)"", SW_SHOW);
        std::string said = testing::internal::GetCapturedStderr();
        path_test_deny_access(nullptr, 0);
        ASSERT_EQ(chmod(denied, 0755), 0);
        std::string debug = here.file("debug.txt");
        EXPECT_EQ(debug.find("was not found"), std::string::npos) << debug;
        const std::string line = "The data directory 'c:\\data\\win\\entity' at '";
        size_t at = debug.find(line);
        ASSERT_NE(at, std::string::npos) << debug;
        EXPECT_NE(debug.find("drive_c/data/win/entity' cannot be read: Permission denied.", at),
                  std::string::npos)
            << debug;
        EXPECT_NE(said.find("varnock: the data directory 'c:\\data\\win\\entity' at '"),
                  std::string::npos)
            << said;
        EXPECT_NE(said.find("' cannot be read: Permission denied"), std::string::npos) << said;
        std::vector<std::string> boxes = missing_data_boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].rfind("Game Data Cannot Be Read: ", 0), 0u) << boxes[0];
        EXPECT_NE(boxes[0].find("cannot be read: Permission denied"), std::string::npos)
            << boxes[0];
        EXPECT_EQ(boxes[0].find("was not found"), std::string::npos) << boxes[0];
    }
}

// A device that cannot be made (no OpenGL 3.3 context, say) ends the
// program in order, with a code that says it failed.
TEST(WinMain, AFrameLayerThatCannotStartEndsTheProgram)
{
    start_program_test();
    InTempDir here;
    win32_message_box_script(1, IDOK);
    d3d_inject("D3DXCreateContextEx", D3DXERR_NODIRECT3DDEVICEAVAILABLE, 0, 2);
    int result = WinMain(nullptr, nullptr, (char*)"", SW_SHOW);
    EXPECT_NE(result, 0);
    std::string debug = here.file("debug.txt");
    size_t failed = debug.find("Failed to initialize D3DX.");
    size_t reported = debug.find("winmain_initialize failed.");
    size_t exiting = debug.find("Varnock - exiting....");
    EXPECT_TRUE(failed < reported && reported < exiting && exiting != std::string::npos);
    EXPECT_EQ(d3d_live_objects(), 0);
}

}  // namespace
