#!/usr/bin/env python3
"""CPU the game takes while its splash screen, and then its main menu, stand
still: the process's user and system time over the wall time of a span
(default 30 s each), in cores. Runs the real varnock on a fresh demo tree
under its own Xvfb with Mesa's software renderer, as the end-to-end tests
do (their helpers start and drive it).

usage: idle_cpu.py VARNOCK DEMO_TREE [SECONDS]
   or: cmake --build build --target varnock demo_tree &&
       python3 tools/idle_cpu.py build/varnock build/tools/demo_tree
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e_support import MENU_TOP, Game, near  # noqa: E402


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    # utime and stime: fields 14 and 15 of the line, counted from the pid.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def cores_over(pid, seconds):
    start_cpu, start = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    return (cpu_seconds(pid) - start_cpu) / (time.monotonic() - start)


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 30.0
    with Game(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])) as game:
        # Past the start-up: the splash drawn, and then a second's frames.
        game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
        game.wait_frames(60)
        splash = cores_over(game.process.pid, seconds)
        game.click(320, 240)  # on to the menu
        game.wait_for_screen("the menu", lambda s: near(s[2][10][630], MENU_TOP))
        game.wait_frames(60)
        menu = cores_over(game.process.pid, seconds)
    print("splash: %.3f cores over %g s" % (splash, seconds))
    print("menu:   %.3f cores over %g s" % (menu, seconds))
    return 0


if __name__ == "__main__":
    sys.exit(main())
