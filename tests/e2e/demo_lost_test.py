#!/usr/bin/env python3
"""The demo level lost, under Xvfb.

From the menu "Prologue" starts the level; the hero walks into the gate's
trigger and stands there while the guard comes and strikes him down. His
blows play the hero's hurt script; when his health is gone his end script
(his AI description's) runs: the screen darkens to red under the closing
words (e2e_demo_lost.png), then the menu comes back. The blows and the
dirge have been played. Exit ends the program with exit code 0, no error and
no warning in "debug.txt".

usage: demo_lost_test.py VARNOCK DEMO_TREE [SCREENSHOT_DIRECTORY]
Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed.
"""
import sys

from demo_test import (HARBOUR, LOST_LINE, PROLOGUE, check_sounds, exit_cleanly, level_started,
                       open_the_gate, past_the_splash, script_started, shows_text, wait_for_script)
from e2e_support import Failure, Game, count_pixels, main, save_screenshot
from menu_test import shows_menu


def reddened(shot):
    """The scene under the red fade: dark red, no other colour."""
    box = (0, 120, 640, 200)
    return count_pixels(shot, box, lambda r, g, b: 40 < r < 140 and g < 30 and b < 30) > 20000


def run(varnock, demo_tree, output):
    with Game(varnock, demo_tree) as game:
        past_the_splash(game)
        game.click_button(PROLOGUE)
        level_started(game, None)
        open_the_gate(game)

        wait_for_script(game, "hero_falls", 5400)
        if not script_started(game, "hero_hurt"):
            raise Failure("the hero fell with no blow played")
        if script_started(game, "prologue_end"):
            raise Failure("the lost level ended as a won one")
        print("the hero stands and lets the guard come; the guard strikes him down")
        lost = game.wait_for_screen("the closing words on the reddened screen",
                                    lambda s: shows_text(s, LOST_LINE) and reddened(s),
                                    frames=900)
        save_screenshot(output, "e2e_demo_lost.png", lost)
        game.wait_for_screen("the menu after the loss", lambda s: shows_menu(s, PROLOGUE)
                             or shows_menu(s, HARBOUR), frames=1200)
        print("his end script darkens the screen to red under its words and goes back to the menu")
        check_sounds(game, ("ouch.wav", "dirge.wav"), "the blows and the dirge were played")
        exit_cleanly(game)


if __name__ == "__main__":
    sys.exit(main(__doc__, run))
