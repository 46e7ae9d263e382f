#!/usr/bin/env python3
"""CPU the game takes while its splash screen, and then its main menu, stand
still, against a plain SDL and GL program (tools/idle_plain) showing the
same picture at 60 frames a second: the ratio of the two programs' CPU
(user and system time) over the same spans, at most 1.0 to meet the goal.

Runs the real varnock on a fresh demo tree under its own Xvfb with Mesa's
software renderer, as the end-to-end tests do (their helpers start and
drive it); takes a screenshot of each screen and starts idle_plain on it
under a second Xvfb, so that both run side by side under the same load.
Each screen is measured in spans of a few seconds; the ratio is the two
programs' CPU over all spans, its spread the least and most of the spans'
ratios. Exits with 1 when a ratio is above 1.0.

usage: idle_cpu.py VARNOCK DEMO_TREE IDLE_PLAIN [SECONDS]   (default 30 a screen)
   or: cmake --build build --target varnock demo_tree idle_plain &&
       python3 tools/idle_cpu.py build/varnock build/tools/demo_tree build/tools/idle_plain
"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e_support import MENU_TOP, Game, near, start_xvfb, wait_for, write_png  # noqa: E402

SPAN = 5.0  # seconds


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    # utime and stime: fields 14 and 15 of the line, counted from the pid.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def load_average():
    with open("/proc/loadavg") as text:
        return " ".join(text.read().split()[:3])


class Plain:
    """idle_plain showing `picture` on a display of its own."""

    def __init__(self, idle_plain, picture):
        self.xvfb, display = start_xvfb()
        env = dict(os.environ, DISPLAY=display, SDL_VIDEODRIVER="x11", LIBGL_ALWAYS_SOFTWARE="1")
        self.process = subprocess.Popen([idle_plain, picture], env=env)
        wait_for("the plain program's window",
                 lambda: subprocess.run(["xdotool", "search", "--name", "^idle_plain$"], env=env,
                                        capture_output=True, text=True).stdout.strip())

    def end(self):
        self.process.kill()
        self.process.wait()
        self.xvfb.terminate()
        self.xvfb.wait()


def measure(what, game, idle_plain, seconds, work):
    """Both programs' CPU over the same spans; prints the line and answers
    the ratio."""
    picture = os.path.join(work, what + ".png")
    write_png(picture, game.screenshot())
    plain = Plain(idle_plain, picture)
    try:
        time.sleep(2)  # the plain program's start-up
        ratios, game_total, plain_total, wall = [], 0.0, 0.0, 0.0
        for _ in range(max(1, int(seconds / SPAN))):
            game_start, plain_start = cpu_seconds(game.process.pid), cpu_seconds(plain.process.pid)
            start = time.monotonic()
            time.sleep(SPAN)
            game_cpu = cpu_seconds(game.process.pid) - game_start
            plain_cpu = cpu_seconds(plain.process.pid) - plain_start
            wall += time.monotonic() - start
            game_total += game_cpu
            plain_total += plain_cpu
            ratios.append(game_cpu / plain_cpu if plain_cpu > 0 else float("inf"))
    finally:
        plain.end()
    ratio = game_total / plain_total if plain_total > 0 else float("inf")
    print("%-7s game %.3f cores, plain %.3f cores, ratio %.3f (spans %.3f-%.3f; %d of %g s)%s"
          % (what + ":", game_total / wall, plain_total / wall, ratio, min(ratios), max(ratios),
             len(ratios), SPAN, "" if ratio <= 1.0 else "  (missed: goal at most 1.0)"))
    return ratio


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    varnock, demo_tree, idle_plain = (os.path.abspath(path) for path in sys.argv[1:4])
    seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 30.0
    print("load average %s (1, 5, 15 min), %d cores" % (load_average(), os.cpu_count()))
    with tempfile.TemporaryDirectory(prefix="idle-cpu-") as work, Game(varnock, demo_tree) as game:
        # Past the start-up: the splash drawn, and then a second's frames.
        game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
        game.wait_frames(60)
        splash = measure("splash", game, idle_plain, seconds, work)
        game.click(320, 240)  # on to the menu
        game.wait_for_screen("the menu", lambda s: near(s[2][10][630], MENU_TOP))
        game.wait_frames(60)
        menu = measure("menu", game, idle_plain, seconds, work)
    print("load average at the end %s" % load_average())
    return 0 if splash <= 1.0 and menu <= 1.0 else 1


if __name__ == "__main__":
    sys.exit(main())
