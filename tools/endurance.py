#!/usr/bin/env python3
"""Plays the demo level over and over for a long time and reports the game's
memory at the start and at the end (the goal: flat).

The game runs on a fresh demo tree under its own Xvfb, as the end-to-end
tests run it (tests/e2e/e2e_support.py). A scripted player starts the
Prologue from the menu, walks (Up) and fights (C) in turns, each key held
for a number of the game's frames; whenever the menu is back (the episode
ended) it starts the Prologue again, and after RESTART_AFTER_FRAMES frames
in one level it leaves with Esc and starts again, so that the level is
loaded and unloaded many times. The resident and the heap-and-stack size of
the process (VmRSS, VmData) are sampled every SAMPLE_EVERY seconds once the
game has played for WARM_UP seconds, past the allocations of first use (the
GL driver's caches and threads, textures, sound decoders), which the first
few levels make once. Any message box the game shows is answered (OK) as a
player would; one other than the session report at exit ends the run as a
failure.

A process's memory steps up and down by whole blocks of the allocator as a
level loads and unloads, so single samples differ by megabytes without any
leak. What is compared is the most the process held in the first WINDOW
seconds of samples and in the last: a leak raises that high-water mark
level by level.

Not run by the tests (it takes 30 minutes by default):
    cmake --build build --target varnock demo_tree
    python3 tools/endurance.py build/varnock build/tools/demo_tree [minutes]

Prints the samples, then the high-water marks at the start and at the end,
the growth and the number of levels started; exits with 1 when the end
exceeds the start by more than ALLOWED_GROWTH_KB, when the game fails (an
unexpected box, a hang, an exit code other than 0), else 0. A run shorter
than the warm-up and two windows (15 minutes) plays and ends the game as a
long one does, and says that its memory was not judged.
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e_support import BUTTONS, EXIT, Failure, Game, display_tools_missing  # noqa: E402
from menu_test import shows_menu  # noqa: E402

WARM_UP = 300.0
SAMPLE_EVERY = 30.0
WINDOW = 300.0
# Two minutes at 60 frames a second.
RESTART_AFTER_FRAMES = 7200
# A step or a strike: 0.4 s at 60 frames a second.
HOLD_FRAMES = 24
ALLOWED_GROWTH_KB = 2048
PROLOGUE = 0


def memory_kb(pid):
    """VmRSS and VmData of the process, in kB."""
    fields = {}
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "VmData"):
                fields[key] = int(value.split()[0])
    return fields["VmRSS"], fields["VmData"]


def at_menu(game):
    shot = game.screenshot()
    return shot is not None and any(shows_menu(shot, button) for button in range(len(BUTTONS)))


def play(varnock, demo_tree, minutes):
    """The run; (samples, levels, exit code, errors, warnings)."""
    with Game(varnock, demo_tree) as game:
        pid = game.process.pid
        game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
        game.click(320, 240)
        game.wait_for("the menu", lambda: at_menu(game))

        start = time.monotonic()
        end = start + minutes * 60.0
        samples = []
        levels = 0
        level_start = None  # the frame the level started at
        next_sample = start + WARM_UP
        turn = 0
        while time.monotonic() < end:
            now = time.monotonic()
            if level_start is None or at_menu(game):
                # The menu stands a moment after the click, until the level
                # has loaded; a click the menu did not take yet is made again.
                game.click_button(PROLOGUE)
                try:
                    game.wait_for("the level to start", lambda: not at_menu(game), frames=600)
                except Failure:
                    if game.process.poll() is not None:
                        raise
                    continue
                levels += 1
                level_start = game.frames()
            elif game.frames() - level_start > RESTART_AFTER_FRAMES:
                game.key("Escape")
                game.wait_for("the menu after Esc", lambda: at_menu(game))
                level_start = None
                continue
            # The player: a step forward, then a strike.
            game.hold("Up" if turn % 2 == 0 else "c", HOLD_FRAMES)
            turn += 1
            if now >= next_sample:
                rss, data = memory_kb(pid)
                samples.append((now - start, rss, data))
                print("%7.0f s  VmRSS %8d kB  VmData %8d kB  levels %d  frames %d" %
                      (now - start, rss, data, levels, game.frames()), flush=True)
                next_sample += SAMPLE_EVERY

        game.key("Escape")
        game.wait_for("the menu", lambda: at_menu(game))
        # The session report of the level's warnings may come at exit.
        game.expect_boxes("Warning During Session")
        game.click_button(EXIT)
        code = game.wait_for_exit()
        log = game.log()
        errors = sum(1 for line in log.splitlines() if line.startswith("ERROR"))
        warnings = sum(1 for line in log.splitlines() if line.startswith("WARNING"))
        report = game.session_report()
        if report:
            print("the session report reached the player (%s)" % report[1])
    return samples, levels, code, errors, warnings


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__)
        return 2
    missing = display_tools_missing()
    if missing:
        print("cannot run: %s (tools/setup.sh installs them)" % missing)
        return 2
    varnock, demo_tree = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    minutes = float(sys.argv[3]) if len(sys.argv) == 4 else 30.0
    try:
        samples, levels, code, errors, warnings = play(varnock, demo_tree, minutes)
    except Failure as failure:
        print("FAILED: %s" % failure)
        return 1
    print("exit code %d, %d errors and %d warnings in debug.txt, %d levels started" %
          (code, errors, warnings, levels))
    if code != 0:
        return 1
    if not samples or samples[-1][0] - samples[0][0] < 2 * WINDOW:
        print("memory not judged: too short a run for two windows of %g s after the warm-up "
              "of %g s" % (WINDOW, WARM_UP))
        return 0
    first = [s for s in samples if s[0] < samples[0][0] + WINDOW]
    last = [s for s in samples if s[0] > samples[-1][0] - WINDOW]
    (rss0, data0), (rss1, data1) = [(max(s[1] for s in w), max(s[2] for s in w))
                                    for w in (first, last)]
    print("start  VmRSS %d kB  VmData %d kB (the most in the first %g s)" % (rss0, data0, WINDOW))
    print("end    VmRSS %d kB  VmData %d kB (the most in the last %g s)" % (rss1, data1, WINDOW))
    print("growth VmRSS %+d kB  VmData %+d kB over %g minutes, %d levels started" %
          (rss1 - rss0, data1 - data0, minutes, levels))
    return 1 if rss1 - rss0 > ALLOWED_GROWTH_KB else 0


if __name__ == "__main__":
    sys.exit(main())
