// The process: WinMain starts every subsystem in a fixed order, runs the
// single-threaded message loop (one frame whenever no message waits and the
// frame layer is ready), keeps the frame clock, does the work of the current
// game state, and shuts everything down with its leak warnings and the
// session report box. Each game state has its own window procedure;
// winmain_set_game_state swaps them. The accelerator table IDR_MAIN_ACCEL
// turns the function keys, Esc, Alt+X and Alt+Enter into commands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

// The longest frame the clock counts; a longer one (a stall, a dialog, a
// breakpoint) counts as this much.
constexpr float MAX_FRAME_DELTA_TIME = 250.0f;
enum { WINMAIN_FPS_RING_SIZE = 150 };

// The frame clock (milliseconds) and the frame-rate average over the ring.
extern float last_frame_time;
extern float frame_delta_time;  // never above MAX_FRAME_DELTA_TIME, never negative
extern int fps_ring_size;       // WINMAIN_FPS_RING_SIZE
extern float fps_ring[WINMAIN_FPS_RING_SIZE];
extern int fps_frame_counter;
extern float fps_delta_sum;
extern float fps;

// Accelerator commands.
enum : WORD {
    IDM_EXIT = 40001,
    IDM_OPTIONS = 40002,
    IDM_KEYJOY = 40003,
    IDM_DEBUG = 40004,
    IDM_LOAD_SCRIPT = 40005,
    IDM_TEST_SCRIPT = 40006,  // F7; F8 and F9 send 40007 and 40008
    IDM_TEST_SCRIPT_2 = 40007,
    IDM_TEST_SCRIPT_3 = 40008,
    IDM_CHANGEDEVICE = 40010,
    IDM_TOGGLEFULLSCREEN = 40011,
    IDM_HELP = 40012,
};
enum { WINMAIN_ACCEL_COUNT = 12, WINMAIN_ICON_RESOURCE = 101 };
extern const ACCEL winmain_main_accel[WINMAIN_ACCEL_COUNT];

// The class name "Varnock Window", the session name "varnock" (names the
// configuration file) and the log file "debug.txt".
extern const char* const winmain_class_name;
extern const char* const winmain_session_name;
extern const char* const winmain_log_filename;

// 0 after a normal end; -1 when the window class, the window or the
// accelerator table could not be made, or the initialisation failed.
int WinMain(HINSTANCE instance, HINSTANCE previous_instance, char* command_line, int show_command);
// 1, or 0 when the frame layer failed to start.
int winmain_initialize(HINSTANCE instance, HWND window);
// The whole shut-down; returns 1.
int winmain_cleanup(HWND window);
// Runs messages and frames until the quit message.
void winmain_message_loop(HWND window, HACCEL accelerators);

// One frame: the clock, then the work of the current game state; then the
// frame's number to the frame log, when there is one.
void winmain_run_frame(void);
// The frame log: with the environment variable VARNOCK_FRAME_LOG naming a
// file, every frame run appends its number to it (1, 2, 3, ... one a line,
// each line flushed), so that a test or tool outside the process can wait
// for frames to pass rather than for time, which a loaded machine stretches.
// Nothing on screen can tell it: a still picture (the splash) is the same
// after one frame as after a hundred, and SDL's offscreen driver shows
// nothing. Without the variable nothing is written. Returns 0 when the file
// named cannot be opened (logged), else 1.
int winmain_open_frame_log(void);
// The first steps of a frame: game_time from the clock, frame_delta_time
// clamped, the frame-rate sample.
void winmain_update_frame_clock(void);
// The exploration correction: the script time is added to game_time and
// taken out of frame_delta_time (never below 0, never above the maximum),
// and this frame's frame-rate sample replaced.
void winmain_correct_frame_clock(float script_time);
// Draws and presents one exploration or camera-look frame; returns 0.
int winmain_render_frame(void);
// The statistics line of the frame into `text` (`size` bytes).
void winmain_format_statistics(char* text, size_t size);

// previous_game_state := game_state; game_state := new_state; the window
// procedure of the main window becomes the state's.
void winmain_set_game_state(int32_t new_state);
// Counts the entries into game states (every winmain_set_game_state). A
// frame that would repeat a warning every frame keeps the count at which it
// last warned, and warns once per entry.
extern int32_t winmain_state_entries;

// Window procedures: the shared command handler, refresh and base, and one
// per game state, indexed by game_state in winmain_wnd_proc_table.
LRESULT winmain_handle_command(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT winmain_refresh_after_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT winmain_default_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT winmain_splash_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT winmain_explore_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT winmain_look_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT winmain_movie_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT winmain_menu_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
extern const WNDPROC winmain_wnd_proc_table[5];

// The frame clock and the rate ring back to their start; for tests.
void winmain_reset(void);
