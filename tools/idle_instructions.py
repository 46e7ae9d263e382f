#!/usr/bin/env python3
"""Instructions a frame of the game while its splash screen, and then its
main menu, stand still, against tools/idle_plain showing the same picture:
counted by callgrind, so the figure does not move with the machine's load
as the CPU time of tools/idle_cpu.py does.

Both programs run under valgrind's callgrind with Mesa's rasteriser on the
program's own thread (LP_NUM_THREADS=0), on a display of their own, as
tools/idle_cpu.py runs them. For each screen the count is switched on for
SECONDS (default 12); a frame's instructions are those of the main thread
from the start of one buffer swap to the start of the next, averaged over
the frames counted whole. Other threads (the game's sound mixer) run on
the clock, not by frames, and are given a second (roughly: callgrind runs
the program's threads one at a time).

usage: idle_instructions.py VARNOCK DEMO_TREE IDLE_PLAIN [SECONDS]
   or: cmake --build build --target varnock demo_tree idle_plain &&
       python3 tools/idle_instructions.py build/varnock build/tools/demo_tree build/tools/idle_plain
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e_support import Game, start_xvfb, wait_for, write_png  # noqa: E402

SWAP = "SDL_GL_SwapWindow"


def instructions(path):
    """The instructions counted in one callgrind file."""
    with open(path) as text:
        for line in text:
            if line.startswith("totals:"):
                return int(line.split()[1])
    return 0


class Counted:
    """A program under callgrind whose counting is off until measure().
    Callgrind writes what it counted each time the program starts a buffer
    swap: a file a frame for each thread."""

    def __init__(self, command, env, work, name, cwd=None):
        self.out = os.path.join(work, name + ".callgrind")
        self.process = subprocess.Popen(
            ["valgrind", "--tool=callgrind", "--instr-atstart=no", "--separate-threads=yes",
             "--dump-before=" + SWAP, "--callgrind-out-file=" + self.out] + command,
            cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def control(self, *args):
        subprocess.run(["callgrind_control", *args, str(self.process.pid)], capture_output=True,
                       check=False)

    def measure(self, seconds):
        """(instructions a frame of the main thread, frames, other threads'
        instructions a second)."""
        for old in glob.glob(self.out + "*"):
            os.remove(old)
        self.control("--zero")
        self.control("--instr=on")
        time.sleep(seconds)
        self.control("--instr=off")
        frames = len(self.parts())
        self.control("--dump")  # every thread's count; the main thread's last frame, cut short
        wait_for("callgrind's last file", lambda: len(self.parts()) > frames, timeout=60)
        time.sleep(1)  # every thread's file of it written
        # A part for each frame of the main thread (the first begun before
        # the count was), then the dump of every thread.
        parts = {}
        for path, part, thread in self.parts(every_thread=True):
            parts.setdefault(part, {})[thread] = instructions(path)
        order = sorted(parts)
        whole = order[1:-1]
        if not whole:
            raise RuntimeError("no whole frame was counted in %g s" % seconds)
        main_thread = sum(parts[part].get(1, 0) for part in whole)
        others = sum(count for thread, count in parts[order[-1]].items() if thread != 1)
        return main_thread / len(whole), len(whole), others / seconds

    def parts(self, every_thread=False):
        """The files callgrind wrote, out.PART-THREAD: (path, part, thread),
        of the main thread alone unless `every_thread`."""
        found = []
        for path in glob.glob(self.out + ".*-*"):
            part, thread = (int(number) for number in re.search(r"\.(\d+)-(\d+)$", path).groups())
            if every_thread or thread == 1:
                found.append((path, part, thread))
        return found

    def end(self):
        self.process.kill()
        self.process.wait()


def report(what, per_frame, frames, others):
    print("%-12s %6.2f M instructions a frame (%d frames); other threads %.1f M a second"
          % (what + ":", per_frame / 1e6, frames, others / 1e6), flush=True)


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    if not shutil.which("valgrind") or not shutil.which("callgrind_control"):
        print("valgrind (callgrind) is not installed", file=sys.stderr)
        return 2
    varnock, demo_tree, idle_plain = (os.path.abspath(path) for path in sys.argv[1:4])
    seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 12.0
    work = tempfile.mkdtemp(prefix="idle-instructions-")
    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display, SDL_VIDEODRIVER="x11", LIBGL_ALWAYS_SOFTWARE="1",
               ALSOFT_DRIVERS="null", LP_NUM_THREADS="0")
    xdotool = lambda *args: subprocess.run(["xdotool", *args], env=env, capture_output=True,
                                           text=True).stdout.strip()
    game_frames = {}
    try:
        tree = os.path.join(work, "tree")
        subprocess.run([demo_tree, tree], check=True, stdout=subprocess.DEVNULL)
        game = Counted([varnock], env, work, "game", cwd=tree)
        try:
            window = wait_for("the game window",
                              lambda: xdotool("search", "--name", "^Varnock").split("\n")[0],
                              timeout=120)
            shooter = Game.__new__(Game)  # its screenshot() alone, on this display
            shooter.env, shooter.window = env, window
            time.sleep(12)  # start-up, slow under valgrind
            for screen in ("splash", "menu"):
                if screen == "menu":
                    xdotool("mousemove", "--window", window, "320", "240")
                    time.sleep(1)
                    xdotool("click", "1")
                    time.sleep(12)
                write_png(os.path.join(work, screen + ".png"), shooter.screenshot())
                game_frames[screen] = game.measure(seconds)
                report("game " + screen, *game_frames[screen])
        finally:
            game.end()
        for screen in ("splash", "menu"):
            plain = Counted([idle_plain, os.path.join(work, screen + ".png")], env, work, "plain")
            try:
                wait_for("the plain program's window",
                         lambda: xdotool("search", "--name", "^idle_plain$"), timeout=120)
                time.sleep(8)
                counted = plain.measure(seconds)
            finally:
                plain.end()
            report("plain " + screen, *counted)
            print("%-12s ratio %.3f" % (screen + ":", game_frames[screen][0] / counted[0]))
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
