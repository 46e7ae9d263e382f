#!/usr/bin/env python3
"""The demo level won on a machine without a sound device, under Xvfb.

The audio library is given a driver that does not exist
(ALSOFT_DRIVERS=no_such_driver), so no sound output opens, as on a machine
or a remote session without a sound card. The game says once that it plays
without sound and why (one error line in "debug.txt", one line on the
terminal), and the Prologue plays as in demo_test.py: the gate's words, the
guard, the flask, the end of the episode and the menu again, though every
script of the level plays sounds. No play is an error. Exit ends the
program with exit code 0, after the session report of that one error.

usage: demo_silent_test.py VARNOCK DEMO_TREE [SCREENSHOT_DIRECTORY]
Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed.
"""
import sys

from demo_test import PROLOGUE, level_started, past_the_splash, win_the_level
from e2e_support import EXIT, Failure, Game, main

WITHOUT_SOUND = "the game plays without sound"


def run(varnock, demo_tree, output):
    with Game(varnock, demo_tree, env={"ALSOFT_DRIVERS": "no_such_driver"}) as game:
        past_the_splash(game)
        game.click_button(PROLOGUE)
        level_started(game, None)
        win_the_level(game, None, sounds=False)

        game.click_button(EXIT)
        game.expect_boxes("Error During Session")
        code = game.wait_for_exit()
        if code != 0:
            raise Failure("the program ended with exit code %d" % code)
        lines = game.log().splitlines()
        errors = [line for line in lines if line.startswith("ERROR")]
        warnings = [line for line in lines if line.startswith("WARNING")]
        if len(errors) != 1 or WITHOUT_SOUND not in errors[0] or warnings:
            raise Failure("debug.txt should have one error, that the game plays without sound, "
                          "and no warning; it has:\n%s" % "\n".join((errors + warnings)[:20]))
        if any("playing sound" in line or "channels available" in line for line in lines):
            raise Failure("a sound was played, or looked for a channel, without an output")
        printed = game.printed()
        if printed.count("varnock: " + WITHOUT_SOUND) != 1:
            raise Failure("the terminal should say once that the game plays without sound; "
                          "it has:\n" + printed[-2000:])
        if game.session_report() is None:
            raise Failure("the error reached no session report")
        print("without a sound output the Prologue plays to its end; debug.txt has one line "
              "about the sound, the terminal one, and no play is an error")


if __name__ == "__main__":
    sys.exit(main(__doc__, run))
