// Frame time of the demo level: the game started in a demo tree written by
// demo_tree, the prologue's script started as its menu button does, and
// frames run as the main loop runs them (scripts, entities, fades, the
// scene and its text, the present), 60 a second as in the game, while a
// scripted player walks to the gate and then fights.
//
// Two runs, each in a process of its own:
//   cpu  the frame on the device's recording back-end (no window, no GL):
//        the game's own work of a frame, which the goal of 2 ms bounds;
//   gl   the whole frame on the GL back-end through SDL's offscreen driver
//        (Mesa's llvmpipe), rendering included, without vertical-blank wait.
// Each prints its frames' median, 90th percentile and worst time, the
// median CPU time a frame of the game's thread and of the whole process
// (llvmpipe draws on threads of its own), and how many entities the level
// holds
// (without the game runtime the level loads none and the figures are those
// of an empty scene). The exit code is 1 when the median of the cpu run
// misses the goal.
//
// Usage: level_bench DEMO_DIRECTORY [seconds per run (default 10)] [cpu|gl]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include "bench_timing.h"
#include "debug.h"
#include "entity_io.h"
#include "game_session.h"
#include "menu.h"
#include "platform/dinput_test.h"
#include "runtime_services.h"
#include "winmain2.h"

namespace {

constexpr double GOAL_MS = 2.0;
constexpr int FRAMES_A_SECOND = 60;
// The scripted player: stands a second, walks for four, then strikes and
// steps on in turns of 0.2 s.
constexpr double STAND_UNTIL = 1.0, WALK_UNTIL = 5.0, TURN = 0.2;

void hold_keys(double seconds)
{
    bool walk = seconds >= STAND_UNTIL && seconds < WALK_UNTIL;
    bool strike = false;
    if (seconds >= WALK_UNTIL) {
        bool striking_turn = (int)((seconds - WALK_UNTIL) / TURN) % 2 == 0;
        strike = striking_turn;
        walk = !striking_turn;
    }
    dinput_test_set_key(DIK_UP, walk);
    dinput_test_set_key(DIK_C, strike);
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, (size_t)(fraction * (double)values.size()))];
}

// One run in this process; the median frame in milliseconds, or -1.
double run(const char* mode, double seconds)
{
    bool gl = std::strcmp(mode, "gl") == 0;
    debug_open("debug.txt", 0);
    HWND window = game_session_open(gl);
    if (!window) {
        fprintf(stderr, "level_bench: the game did not start\n");
        return -1.0;
    }

    menu_main_menu_activate(0);  // the first menu button, the Prologue

    std::vector<double> frames, cpu, process_cpu;
    auto start = std::chrono::steady_clock::now();
    // Frames start at the game's pace, so that each advances the level by
    // as much time as in the game; what a frame costs is timed, the wait
    // for the next is not.
    const auto pace = std::chrono::microseconds(1000000 / FRAMES_A_SECOND);
    auto next = start;
    for (double elapsed = 0.0; elapsed < seconds;) {
        std::this_thread::sleep_until(next);
        next += pace;
        hold_keys(elapsed);
        MSG message;
        while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&message);
        auto before = std::chrono::steady_clock::now();
        double cpu_before = bench_thread_cpu_seconds();
        double process_before = bench_process_cpu_seconds();
        winmain_run_frame();
        cpu.push_back(1000 * (bench_thread_cpu_seconds() - cpu_before));
        process_cpu.push_back(1000 * (bench_process_cpu_seconds() - process_before));
        auto after = std::chrono::steady_clock::now();
        frames.push_back(std::chrono::duration<double, std::milli>(after - before).count());
        elapsed = std::chrono::duration<double>(after - start).count();
    }
    double median = percentile(frames, 0.5);
    printf("%-3s  %5zu frames  median %7.3f ms  p90 %7.3f ms  worst %8.3f ms  "
           "CPU median %7.3f ms (game thread), %7.3f ms (all threads)  entities %ld\n",
           mode, frames.size(), median, percentile(frames, 0.9),
           *std::max_element(frames.begin(), frames.end()), percentile(cpu, 0.5),
           percentile(process_cpu, 0.5), (long)entity_io_global_win_entity_list_size);
    fflush(stdout);
    game_session_close(window);
    return median;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 4 || chdir(argv[1]) != 0) {
        fprintf(stderr, "usage: level_bench DEMO_DIRECTORY [seconds per run] [cpu|gl]\n");
        return 2;
    }
    double seconds = argc >= 3 ? atof(argv[2]) : 10.0;
    if (seconds <= 0.0)
        seconds = 10.0;
    if (argc == 4)
        return run(argv[3], seconds) >= 0.0 ? 0 : 1;

    // Each run in its own process: a device context and the game's globals
    // start afresh, as in the game.
    bench_print_machine();
    fflush(stdout);
    int result = 0;
    for (const char* mode : {"cpu", "gl"}) {
        pid_t child = fork();
        if (child == 0) {
            double median = run(mode, seconds);
            _exit(median < 0.0 ? 2 : (std::strcmp(mode, "cpu") == 0 && median > GOAL_MS) ? 1 : 0);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
            fprintf(stderr, "level_bench: the %s run did not end normally\n", mode);
            result = 2;
        } else if (WEXITSTATUS(status) != 0 && result == 0) {
            result = WEXITSTATUS(status);
        }
    }
    if (result == 1)
        printf("the cpu frame misses its goal of %.1f ms\n", GOAL_MS);
    bench_print_load();
    return result;
}
