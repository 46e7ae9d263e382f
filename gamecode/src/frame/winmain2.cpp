#include "winmain2.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "config.h"
#include "d3dtextr_dx7.h"
#include "d3dxenum.h"
#include "d3dxframe.h"
#include "debug.h"
#include "dialogs.h"
#include "dlink.h"
#include "dxinput.h"
#include "gameglobals.h"
#include "gametime.h"
#include "input.h"
#include "menu.h"
#include "models_services.h"
#include "platform/gdi.h"
#include "platform/path.h"
#include "rand_util.h"
#include "runtime_services.h"
#include "script_services.h"
#include "world_services.h"

float last_frame_time = 0.0f;
float frame_delta_time = 0.0f;
int fps_ring_size = WINMAIN_FPS_RING_SIZE;
float fps_ring[WINMAIN_FPS_RING_SIZE];
int fps_frame_counter = 0;
float fps_delta_sum = 0.0f;
float fps = 0.0f;
int32_t winmain_state_entries = 0;

const char* const winmain_class_name = "Varnock Window";
const char* const winmain_session_name = "varnock";
const char* const winmain_log_filename = "debug.txt";

const ACCEL winmain_main_accel[WINMAIN_ACCEL_COUNT] = {
    {FVIRTKEY | FNOINVERT, VK_ESCAPE, IDM_EXIT},
    {FVIRTKEY | FNOINVERT, VK_F1, IDM_HELP},
    {FVIRTKEY | FNOINVERT, VK_F2, IDM_CHANGEDEVICE},
    {FVIRTKEY | FNOINVERT, VK_F3, IDM_OPTIONS},
    {FVIRTKEY | FNOINVERT, VK_F4, IDM_KEYJOY},
    {FVIRTKEY | FNOINVERT, VK_F5, IDM_DEBUG},
    {FVIRTKEY | FNOINVERT, VK_F6, IDM_LOAD_SCRIPT},
    {FVIRTKEY | FNOINVERT, VK_F7, IDM_TEST_SCRIPT},
    {FVIRTKEY | FNOINVERT, VK_F8, IDM_TEST_SCRIPT_2},
    {FVIRTKEY | FNOINVERT, VK_F9, IDM_TEST_SCRIPT_3},
    {FVIRTKEY | FNOINVERT | FALT, VK_RETURN, IDM_TOGGLEFULLSCREEN},
    {FVIRTKEY | FNOINVERT | FALT, 'X', IDM_EXIT},
};

const WNDPROC winmain_wnd_proc_table[5] = {
    winmain_splash_wnd_proc, winmain_explore_wnd_proc, winmain_look_wnd_proc,
    winmain_movie_wnd_proc,  winmain_menu_wnd_proc,
};

namespace {

const char* const accelerator_table_name = "IDR_MAIN_ACCEL";
const char* const frame_log_variable = "VARNOCK_FRAME_LOG";

// The frame log (winmain_open_frame_log) and the frames written to it.
FILE* frame_log = nullptr;
long frames_logged = 0;

void log_frame(void)
{
    if (!frame_log)
        return;
    frames_logged += 1;
    fprintf(frame_log, "%ld\n", frames_logged);
    fflush(frame_log);
}

void close_frame_log(void)
{
    if (frame_log)
        fclose(frame_log);
    frame_log = nullptr;
    frames_logged = 0;
}
constexpr DWORD STATISTICS_COLOUR = 0xFFFFFF00;  // yellow
// The statistics stand left of the heads-up display's panel (from x 511 of
// the 640 units; the debug camera's line, and the frame rate's in a large
// font, ran on under it and off the screen) and above its health bar (from
// y 457 of 480).
constexpr int32_t STATISTICS_WIDTH = 500;   // of 640
constexpr int32_t STATISTICS_BOTTOM = 452;  // of 480
constexpr UINT SESSION_BOX_FLAGS = MB_OK | MB_ICONHAND | MB_SYSTEMMODAL | MB_SETFOREGROUND |
                                   MB_TOPMOST;

void present(void)
{
    d3dxframe_update_frame(game_globals.game_state);
}

void restart_clock(void)
{
    game_time = (float)gametime_get_time();
}

void show_cursor(void)
{
    ShowCursor(TRUE);
}

void hide_cursor(void)
{
    ShowCursor(FALSE);
}

// Sets this frame's slot of the rate ring to the frame's delta.
void set_rate_sample(void)
{
    int slot = fps_frame_counter % fps_ring_size;
    fps_delta_sum = fps_delta_sum - fps_ring[slot] + frame_delta_time;
    fps_ring[slot] = frame_delta_time;
    fps = fps_delta_sum > 0.0f ? (float)fps_ring_size / fps_delta_sum * 1000.0f : 0.0f;
}

// A modal dialog between frames: the frame stops and the cursor shows while
// it runs; the render states are set again after a dialog that changes them.
void run_modal_dialog(HWND window, const char* dialog, DLGPROC procedure,
                      bool render_states_changed)
{
    d3dxframe_deactivate();
    show_cursor();
    DialogBoxParam(GetModuleHandle(nullptr), dialog, window, procedure, 0);
    hide_cursor();
    if (render_states_changed)
        d3dxframe_init_render_states();
    d3dxframe_activate();
}

// F4: keyboard, mouse, joystick, as far as they exist. A failed pick leaves
// the keyboard current and the cycle position at the keyboard.
void pick_next_input_device(void)
{
    int32_t& device = game_globals.input_device;
    if (device == 0) {
        if (dxinput_pick_device(1))
            device = 1;
    } else if (device == 1) {
        if (dxinput_pick_device(2))
            device = 2;
        else if (dxinput_pick_device(0))
            device = 0;
    } else if (device == 2) {
        if (dxinput_pick_device(0))
            device = 0;
    }
}

// F4's switch shows nothing else: a short line says which device now moves
// the hero, named by what the slot holds (a joystick may sit in the mouse's
// usual slot).
void tell_input_device(void)
{
    static const struct {
        DWORD type;
        const char* line;
    } devices[] = {{DIDEVTYPE_KEYBOARD, "Control: keyboard"},
                   {DIDEVTYPE_MOUSE, "Control: mouse"},
                   {DIDEVTYPE_JOYSTICK, "Control: joystick"}};
    const int index = dxinput_globals.current_device_index;
    if (!dxinput_globals.current_device || index < 0 || index >= dxinput_globals.device_count)
        return;
    for (const auto& device : devices)
        if (dxinput_globals.device_type[index] == device.type) {
            varnock_display_text(24, 40, 220, 220, 220, 3, device.line);
            break;
        }
}

bool is_window_change(UINT message)
{
    return message == WM_MOVE || message == WM_SIZE || message == WM_ACTIVATEAPP;
}

WORD command_of(WPARAM wparam)
{
    return LOWORD(wparam);
}

void leak_warning(const void* list, const char* name)
{
    if (list)
        LOG_WARNING("%s is not NULL with %ld members\n", name,
                    (long)dlink_count((const dlink*)list));
}

// The session report: errors first, else warnings; at most one box.
void report_session(HWND window)
{
    const struct {
        int32_t count;
        const char* caption;
        const char* one;
        const char* kind;
    } reports[] = {
        {debug_log.error_count, "Error During Session", "an error", "errors"},
        {debug_log.warning_count, "Warning During Session", "a warning", "warnings"},
    };
    // Pointing at a log that could not be written sends the player to an
    // empty or missing file; its reason went to stderr when it failed.
    const char* advice = debug_log_written() ? "Check the debug file."
                                             : "The debug file could not be written.";
    for (const auto& report : reports) {
        if (report.count <= 0)
            continue;
        char text[128];
        if (report.count == 1)
            snprintf(text, sizeof text, "There was %s during this session.  %s", report.one,
                     advice);
        else
            snprintf(text, sizeof text, "There were %ld %s during this session.  %s",
                     (long)report.count, report.kind, advice);
        debug_log.error_level -= 1;
        MessageBoxEx(window, text, report.caption, SESSION_BOX_FLAGS, 0);
        if (debug_log.error_level < 0)
            debug_log.error_level += 1;
        return;
    }
}

// Started from a directory without the game's data, the game showed a black
// splash and a white menu and said nothing until it ended: it says once, in
// the log and on stderr, which data directory it did not find and where it
// looked for it, or, for one that is there, that it cannot be read and why.
// It keeps the place it looked in (`host`, empty when every directory is
// there) for the box that tells the player once the window is up, and
// returns the reason (0 when every directory can be read).
int check_data_directories(char* host, size_t size)
{
    const char* const directories[] = {
        game_globals.entity_pathname,    game_globals.model_pathname,
        game_globals.animation_pathname, game_globals.anim_table_pathname,
        game_globals.script_pathname,    game_globals.collision_pathname,
        game_globals.shaders_pathname,   game_globals.bitmaps_pathname,
        game_globals.sound_pathname,     game_globals.ai_pathname,
    };
    for (const char* directory : directories) {
        int error = platform_directory_error(directory, host, size);
        if (error == 0)
            continue;
        if (error == ENOENT || error == ENOTDIR) {
            LOG_ERROR("The data directory '%s' was not found; the game looked for it at '%s'.\n",
                      directory, host);
            fprintf(stderr,
                    "varnock: the data directory '%s' was not found; the game looked for it at "
                    "'%s'\n",
                    directory, host);
        } else {
            LOG_ERROR("The data directory '%s' at '%s' cannot be read: %s.\n", directory, host,
                      strerror(error));
            fprintf(stderr, "varnock: the data directory '%s' at '%s' cannot be read: %s\n",
                    directory, host, strerror(error));
        }
        return error;
    }
    host[0] = '\0';
    return 0;
}

// A player does not read stderr: the missing or unreadable data is said in a
// box over the window, which names the folder the game looked in from the
// root.
void tell_missing_data(HWND window, const char* host, int error)
{
    char folder[1024];
    if (!platform_absolute_path(host, folder, sizeof folder))
        snprintf(folder, sizeof folder, "%s", host);
    char text[1400];
    const bool missing = error == ENOENT || error == ENOTDIR;
    if (missing)
        snprintf(text, sizeof text,
                 "The game's data was not found.\n\nThere is no folder\n%s\n\nStart the game "
                 "in the folder that holds its data.",
                 folder);
    else
        snprintf(text, sizeof text,
                 "The game's data cannot be read.\n\nThe folder\n%s\ncannot be read: %s.", folder,
                 strerror(error));
    MessageBox(window, text, missing ? "Game Data Not Found" : "Game Data Cannot Be Read",
               MB_OK | MB_ICONHAND);
}

}  // namespace

// ---- start-up and shut-down

int WinMain(HINSTANCE instance, HINSTANCE previous_instance, char*, int show_command)
{
    debug_open(winmain_log_filename, 0);
    LOG_NOTICE("%s", "Varnock - starting up....\n");
    winmain_open_frame_log();
    rand_util_srand((uint32_t)time(nullptr));
    LOG_NOTICE("%s", "Initializing globals...\n");
    gameglobals_init();
    d3dxframe_set_defaults();
    // A file that cannot be read is kept aside before the defaults replace
    // it: it may hold the player's key bindings.
    if (!config_read_engine_config_file(winmain_session_name) &&
        (!config_keep_unreadable_file(winmain_session_name) ||
         !write_edit_session_file(winmain_session_name)))
        LOG_ERROR("%s", "Unable to read or write config file.\n");
    char missing_data[1024];
    int missing_error = check_data_directories(missing_data, sizeof missing_data);

    int result = 0;
    HCURSOR cursor = nullptr;
    HWND window = nullptr;
    HACCEL accelerators = nullptr;
    if (!previous_instance) {
        WNDCLASS window_class = {};
        window_class.style = 0;
        window_class.lpfnWndProc = winmain_splash_wnd_proc;
        window_class.hInstance = instance;
        window_class.hIcon = LoadIcon(instance, MAKEINTRESOURCE(WINMAIN_ICON_RESOURCE));
        cursor = CopyIcon(LoadCursor(nullptr, IDC_ARROW));
        window_class.hCursor = cursor;
        window_class.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
        window_class.lpszClassName = winmain_class_name;
        if (!RegisterClass(&window_class)) {
            LOG_ERROR("%s", "Unable to RegisterClass.\n");
            result = -1;
        }
    }
    if (result == 0) {
        DWORD style = d3dx_globals.m_bIsFullscreen ? (DWORD)(WS_POPUP | WS_BORDER | WS_SYSMENU)
                                                   : (DWORD)WS_OVERLAPPEDWINDOW;
        // The window opens at the windowed mode the player chose before.
        int32_t width = 0, height = 0;
        d3dxframe_get_window_size(&width, &height);
        window = CreateWindowEx(0, winmain_class_name, game_globals.title, style, CW_USEDEFAULT,
                                CW_USEDEFAULT, width, height, nullptr, nullptr, instance, nullptr);
        if (!window) {
            // The platform logged its reason; a player who started the game
            // from a terminal sees it too.
            const char* reason = platform_window_failure();
            LOG_ERROR("%s", "Unable to CreateWindow.\n");
            fprintf(stderr, "varnock: cannot open the game window%s%s\n", reason[0] ? ": " : "",
                    reason);
            result = -1;
        }
    }
    if (result == 0) {
        d3dxframe_set_hwnd(window);
        ShowWindow(window, show_command);
        UpdateWindow(window);
        if (missing_error)
            tell_missing_data(window, missing_data, missing_error);
        // The tables stand in for resources of the executable.
        platform_register_accelerators(accelerator_table_name, winmain_main_accel,
                                       WINMAIN_ACCEL_COUNT);
        dialogs_register_resources();
        accelerators = LoadAccelerators(instance, accelerator_table_name);
        if (!accelerators) {
            LOG_ERROR("%s", "Loading of keyboard accelerators failed.\n");
            result = -1;
        }
    }
    if (result == 0) {
        if (!winmain_initialize(instance, window)) {
            // No device (no OpenGL 3.3 context, say): the game ends in order,
            // and its exit code says it failed, as without a display.
            LOG_ERROR("%s", "winmain_initialize failed.\n");
            winmain_cleanup(window);
            result = -1;
        } else {
            menu_build_main_menu();
            winmain_message_loop(window, accelerators);
        }
    }
    if (cursor)
        DestroyCursor(cursor);
    return result;
}

int winmain_initialize(HINSTANCE instance, HWND window)
{
    char path[400];
    snprintf(path, sizeof path, "%s\\%s.%s", game_globals.bitmaps_pathname, "transtex", "ttw");
    d3dtextr_load_transparent_texture_list(path);
    // Around every re-creation of the device the frame drops the textures'
    // surfaces and reloads them from the bitmap directory.
    d3dtextr_attach_to_frame(game_globals.bitmaps_pathname);
    if (FAILED(d3dxframe_initialize(window))) {
        LOG_ERROR("%s", "Failed to initialize D3DX.\n");
        return 0;
    }
    varnock_one_time_scene_init();
    // Without input devices the game still runs; the devices say why.
    dxinput_init(instance, window);
    if (game_globals.sound_enable)
        sound_set_enabled();
    sound_init();
    vk_tail_load();
    mow_rend_init();
    return 1;
}

int winmain_cleanup(HWND window)
{
    LOG_NOTICE("%s", "winmain_cleanup called.\n");
    varnock_final_cleanup();
    vk_tail_free();
    mow_rend_cleanup();
    if (!write_edit_session_file(winmain_session_name))
        LOG_ERROR("%s", "Unable to write config file.\n");
    leak_warning(entity_io_ring_head(), "entity_io_global_win_entity_list");
    leak_warning(model_io_global_mow_model_list, "model_io_global_mow_model_list");
    leak_warning(d3dtexr_texture_container_list, "d3dtexr_texture_container_list");
    report_session(window);
    d3dxframe_unitialize();
    LOG_NOTICE("%s", "Varnock - exiting....\n");
    debug_close();
    return 1;
}

void winmain_message_loop(HWND window, HACCEL accelerators)
{
    MSG msg = {};
    PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE);
    while (msg.message != WM_QUIT) {
        if (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message != WM_QUIT && !TranslateAccelerator(window, accelerators, &msg)) {
                TranslateMessage(&msg);
                DispatchMessage(&msg);
            }
        } else if (d3dxframe_is_ready()) {
            winmain_run_frame();
        } else {
            WaitMessage();
        }
    }
}

// ---- the frame

void winmain_update_frame_clock(void)
{
    last_frame_time = game_time;
    game_time = (float)gametime_get_time();
    frame_delta_time = game_time - last_frame_time;
    if (frame_delta_time > MAX_FRAME_DELTA_TIME) {
        LOG_NOTICE("frame_delta_time exceeded MAX_FRAME_DELTA_TIME = %f\n",
                   (double)frame_delta_time);
        frame_delta_time = MAX_FRAME_DELTA_TIME;
        last_frame_time = game_time - MAX_FRAME_DELTA_TIME;
    } else if (frame_delta_time < 0.0f) {
        // The clock is behind game_time (script time added to it last frame,
        // or the timer wrapped): no time has passed.
        frame_delta_time = 0.0f;
        last_frame_time = game_time;
    }
    fps_frame_counter += 1;
    set_rate_sample();
}

void winmain_correct_frame_clock(float script_time)
{
    game_time += script_time;
    frame_delta_time -= script_time;
    if (frame_delta_time < 0.0f) {
        LOG_WARNING("frame_delta_time went negative = %f, script_time = %f\n",
                    (double)frame_delta_time, (double)script_time);
        frame_delta_time = 0.0f;
        last_frame_time = game_time;
    }
    if (frame_delta_time > MAX_FRAME_DELTA_TIME) {
        LOG_WARNING("frame_delta_time exceeded MAX_FRAME_DELTA_TIME = %f\n",
                    (double)frame_delta_time);
        frame_delta_time = MAX_FRAME_DELTA_TIME;
        last_frame_time = game_time - MAX_FRAME_DELTA_TIME;
    }
    set_rate_sample();
}

void winmain_run_frame(void)
{
    winmain_update_frame_clock();
    // May change the game state.
    input_update();
    switch (game_globals.game_state) {
    case GAME_MODE_SPLASH:
        varnock_render_splash();
        present();
        break;
    case GAME_MODE_EXPLORATION:
        winmain_correct_frame_clock(script_update_script());
        entity_update_all();
        varnock_update_screen_fade();
        varnock_update_overlay_fade();
        winmain_render_frame();
        break;
    case GAME_MODE_CAMERA_LOOK:
        entity_update_all();
        winmain_render_frame();
        break;
    case GAME_MODE_PLAYING_MOVIE:
        present();
        break;
    case GAME_MODE_MENU:
        menu_draw_current();
        present();
        break;
    default:
        LOG_ERROR("Unknown game_state = %ld\n", (long)game_globals.game_state);
        break;
    }
    log_frame();
}

int winmain_open_frame_log(void)
{
    close_frame_log();
    const char* path = getenv(frame_log_variable);
    if (!path || !*path)
        return 1;
    frame_log = fopen(path, "w");
    if (!frame_log) {
        LOG_ERROR("Unable to open the frame log %s named by %s.\n", path, frame_log_variable);
        return 0;
    }
    LOG_NOTICE("Writing the frames run to %s.\n", path);
    return 1;
}

void winmain_format_statistics(char* text, size_t size)
{
    const char* debugcam = game_globals.game_state == GAME_MODE_EXPLORATION ? "off" : "on";
    const win_entity* camera = game_globals.current_camera;
    const win_entity* player = game_globals.player_character;
    if (game_globals.debug_camera == 1 && camera && player) {
        const float* at = camera->local_matrix.m[3];
        const float* pc = player->local_matrix.m[3];
        snprintf(text, size,
                 "camera: %7.02f %7.02f %7.02f player: %7.02f %7.02f %7.02f debugcam %s",
                 (double)at[0], (double)at[1], (double)at[2], (double)pc[0], (double)pc[1],
                 (double)pc[2], debugcam);
        return;
    }
    int32_t state = player && player->win_ast ? player->win_ast->current_anim_index : -1;
    snprintf(text, size, "%7.02f fps (%dx%d) PC AnimIdx:%d debugcam %s", (double)fps,
             (int)d3dxframe_get_render_width(), (int)d3dxframe_get_render_height(), (int)state,
             debugcam);
}

namespace {

// The statistics broken at spaces into lines that fit left of the panel, a
// line of the game font apart, the last just above the health bar; a word
// wider than that stands on its own. At the top they would stand over the
// console's text.
void draw_statistics(const char* text)
{
    const int32_t room = STATISTICS_WIDTH * d3dxframe_get_render_width() / 640;
    const int32_t line_height = d3dxframe_get_line_height();
    struct piece {
        const char* at;
        size_t count;
    } pieces[8];
    int count = 0;
    for (const char* at = text; *at && count < 8; ++count) {
        pieces[count].at = at;
        at = d3dxframe_fit_text(at, room, &pieces[count].count);
    }
    char line[128];
    int32_t y = STATISTICS_BOTTOM * d3dxframe_get_render_height() / 480 - count * line_height;
    for (int i = 0; i < count; ++i, y += line_height) {
        snprintf(line, sizeof line, "%.*s", (int)pieces[i].count, pieces[i].at);
        d3dxframe_draw_text(0, y, line, &STATISTICS_COLOUR);
    }
}

}  // namespace

int winmain_render_frame(void)
{
    varnock_render_scene();
    if (game_globals.bShowStats) {
        char text[128];
        winmain_format_statistics(text, sizeof text);
        draw_statistics(text);
    }
    varnock_draw_text();
    // Lost surfaces are restored inside the present, textures and projection
    // included.
    present();
    return 0;
}

void winmain_set_game_state(int32_t new_state)
{
    game_globals.previous_game_state = game_globals.game_state;
    game_globals.game_state = new_state;
    winmain_state_entries += 1;
    // A level begins (from the menu, the splash or a movie, not back from the
    // debug camera): what is held now acts in it only once released.
    if (new_state == GAME_MODE_EXPLORATION &&
        game_globals.previous_game_state != GAME_MODE_CAMERA_LOOK &&
        game_globals.previous_game_state != GAME_MODE_EXPLORATION)
        input_hold_back_held_keys();
    // A state outside the table keeps the current procedure; the frame then
    // reports the unknown state.
    if (new_state >= 0 && new_state <= GAME_MODE_MENU)
        SetWindowLong(d3dx_globals.hwnd, GWL_WNDPROC, (LONG_PTR)winmain_wnd_proc_table[new_state]);
}

// ---- window procedures

LRESULT winmain_handle_command(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_ACTIVATEAPP:
        d3dxframe_on_activate((int32_t)wparam);
        return 0;
    case WM_MOVE:
        d3dxframe_on_move((int32_t)wparam, (int32_t)lparam);
        return 0;
    case WM_SIZE:
        d3dxframe_on_size((int32_t)wparam, (int32_t)lparam);
        return 0;
    case WM_COMMAND:
        break;
    default:
        return 0;
    }
    switch (command_of(wparam)) {
    case IDM_OPTIONS:
        LOG_NOTICE("%s", "IDM_OPTIONS key pressed.\n");
        run_modal_dialog(window, "IDD_OPTIONS", options_dlg_proc, true);
        break;
    case IDM_DEBUG:
        LOG_NOTICE("%s", "IDM_DEBUG key pressed.\n");
        break;
    case IDM_LOAD_SCRIPT:
        LOG_NOTICE("%s", "IDM_LOAD_SCRIPT key pressed.\n");
        run_modal_dialog(window, "IDD_LOAD_SCRIPT", load_script_dlg_proc, true);
        break;
    case IDM_TEST_SCRIPT:
    case IDM_TEST_SCRIPT_2:
    case IDM_TEST_SCRIPT_3:
        LOG_NOTICE("%s", "IDM_TEST_SCRIPT key pressed.\n");
        break;
    case IDM_CHANGEDEVICE:
        LOG_NOTICE("%s", "IDM_CHANGEDEVICE key pressed.\n");
        show_cursor();
        // A new device gets its textures and projection back inside the
        // frame layer.
        d3dxframe_change_device(window);
        hide_cursor();
        break;
    case IDM_TOGGLEFULLSCREEN:
        LOG_NOTICE("%s", "IDM_TOGGLEFULLSCREEN key pressed.\n");
        // The switch restores the textures and the projection itself.
        d3dxframe_toggle_fullscreen();
        break;
    case IDM_HELP:
        LOG_NOTICE("%s", "IDM_HELP key pressed.\n");
        run_modal_dialog(window, "IDD_ABOUT", about_dlg_proc, false);
        break;
    default:  // IDM_KEYJOY and others: nothing
        break;
    }
    return 0;
}

LRESULT winmain_refresh_after_message(HWND, UINT message, WPARAM wparam, LPARAM)
{
    if (is_window_change(message)) {
        present();
        restart_clock();
        return 0;
    }
    if (message != WM_COMMAND)
        return 0;
    switch (command_of(wparam)) {
    case IDM_OPTIONS:
    case IDM_LOAD_SCRIPT:
    case IDM_TEST_SCRIPT:
    case IDM_TEST_SCRIPT_2:
    case IDM_TEST_SCRIPT_3:
    case IDM_CHANGEDEVICE:
    case IDM_TOGGLEFULLSCREEN:
    case IDM_HELP:
        present();
        restart_clock();
        break;
    case IDM_DEBUG:
        restart_clock();
        break;
    default:
        break;
    }
    return 0;
}

LRESULT winmain_default_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SETFOCUS:
        dxinput_reacquire_current_device();
        return DefWindowProc(window, message, wparam, lparam);
    case WM_CLOSE:
        winmain_cleanup(window);
        DestroyWindow(window);
        return 0;
    case WM_COMMAND:
        switch (command_of(wparam)) {
        case IDM_EXIT:
        case IDM_KEYJOY:
            break;
        default:
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProc(window, message, wparam, lparam);
}

LRESULT winmain_splash_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (is_window_change(message)) {
        winmain_handle_command(window, message, wparam, lparam);
        varnock_render_splash();
        winmain_refresh_after_message(window, message, wparam, lparam);
    } else if (message == WM_COMMAND && command_of(wparam) == IDM_EXIT) {
        return 0;
    } else if (message == WM_COMMAND && command_of(wparam) == IDM_TOGGLEFULLSCREEN) {
        winmain_handle_command(window, message, wparam, lparam);
        varnock_render_splash();
        winmain_refresh_after_message(window, message, wparam, lparam);
        return 0;
    } else if (message == WM_LBUTTONDOWN) {
        winmain_set_game_state(GAME_MODE_MENU);
        present();
        show_cursor();
    }
    return winmain_default_wnd_proc(window, message, wparam, lparam);
}

LRESULT winmain_explore_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (is_window_change(message)) {
        winmain_handle_command(window, message, wparam, lparam);
        winmain_refresh_after_message(window, message, wparam, lparam);
        return winmain_default_wnd_proc(window, message, wparam, lparam);
    }
    if (message != WM_COMMAND)
        return winmain_default_wnd_proc(window, message, wparam, lparam);
    switch (command_of(wparam)) {
    case IDM_EXIT:
        winmain_set_game_state(GAME_MODE_MENU);
        menu_draw_current();
        present();
        show_cursor();
        return 0;
    case IDM_OPTIONS:
    case IDM_LOAD_SCRIPT:
    case IDM_TEST_SCRIPT_2:
    case IDM_TEST_SCRIPT_3:
        return 0;
    case IDM_DEBUG:
        // F5 shows or hides the statistics line; the configuration keeps it.
        game_globals.bShowStats = game_globals.bShowStats ? 0 : 1;
        return 0;
    case IDM_KEYJOY:
        LOG_NOTICE("%s", "IDM_KEYJOY key pressed.\n");
        pick_next_input_device();
        tell_input_device();
        restart_clock();
        return 0;
    case IDM_TEST_SCRIPT:
        winmain_handle_command(window, message, wparam, lparam);
        script_initiate_script("cheat", nullptr);
        winmain_refresh_after_message(window, message, wparam, lparam);
        return 0;
    case IDM_CHANGEDEVICE:
    case IDM_TOGGLEFULLSCREEN:
    case IDM_HELP:
        winmain_handle_command(window, message, wparam, lparam);
        winmain_refresh_after_message(window, message, wparam, lparam);
        return 0;
    default:
        return winmain_default_wnd_proc(window, message, wparam, lparam);
    }
}

LRESULT winmain_look_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_COMMAND && command_of(wparam) == IDM_DEBUG) {
        winmain_handle_command(window, message, wparam, lparam);
        winmain_set_game_state(GAME_MODE_EXPLORATION);
        winmain_refresh_after_message(window, message, wparam, lparam);
        return 0;
    }
    return winmain_explore_wnd_proc(window, message, wparam, lparam);
}

LRESULT winmain_movie_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (is_window_change(message)) {
        winmain_handle_command(window, message, wparam, lparam);
        winmain_refresh_after_message(window, message, wparam, lparam);
    } else if (message == WM_COMMAND && (command_of(wparam) == IDM_CHANGEDEVICE ||
                                         command_of(wparam) == IDM_TOGGLEFULLSCREEN)) {
        winmain_handle_command(window, message, wparam, lparam);
        winmain_refresh_after_message(window, message, wparam, lparam);
        return 0;
    }
    return winmain_default_wnd_proc(window, message, wparam, lparam);
}

LRESULT winmain_menu_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        menu_handle_message(message, wparam, lparam);
        break;
    case WM_MOVE:
    case WM_SIZE:
        winmain_handle_command(window, message, wparam, lparam);
        menu_draw_current();
        winmain_refresh_after_message(window, message, wparam, lparam);
        break;
    case WM_ACTIVATEAPP:
        winmain_handle_command(window, message, wparam, lparam);
        show_cursor();
        winmain_refresh_after_message(window, message, wparam, lparam);
        break;
    case WM_COMMAND:
        switch (command_of(wparam)) {
        case IDM_EXIT:
            menu_handle_message(message, wparam, lparam);
            return 0;
        // The About/Help dialog opens from the menu too, where a new player
        // looks for it first.
        case IDM_HELP:
        case IDM_CHANGEDEVICE:
        case IDM_TOGGLEFULLSCREEN:
            winmain_handle_command(window, message, wparam, lparam);
            show_cursor();
            menu_draw_current();
            winmain_refresh_after_message(window, message, wparam, lparam);
            return 0;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return winmain_default_wnd_proc(window, message, wparam, lparam);
}

void winmain_reset(void)
{
    last_frame_time = 0.0f;
    frame_delta_time = 0.0f;
    fps_ring_size = WINMAIN_FPS_RING_SIZE;
    for (float& sample : fps_ring)
        sample = 0.0f;
    fps_frame_counter = 0;
    fps_delta_sum = 0.0f;
    fps = 0.0f;
    winmain_state_entries = 0;
    close_frame_log();
}
