#!/usr/bin/env python3
"""The demo level started with the keyboard alone, under Xvfb, and won.

Enter leaves the splash for the menu, whose first button, "Prologue", is lit;
Enter, held a moment as a player holds a key, starts the level. The key is
still down in the level's first frames, where it stands for the start button;
the hero stands on the yard's floor all the same (he has weight, and falls
back to it), and the level plays through as with the mouse: a hint, the
flask, the gate, the guard beaten, the mead, the exit, the menu again. Exit
ends the program with exit code 0, no error and no warning in "debug.txt".

usage: demo_enter_test.py VARNOCK DEMO_TREE [SCREENSHOT_DIRECTORY]
Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed.
"""
import sys

from demo_test import PROLOGUE, exit_cleanly, level_started, win_the_level
from e2e_support import Game, main
from menu_test import shows_menu


def run(varnock, demo_tree, output):
    with Game(varnock, demo_tree) as game:
        game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
        # The game reads the keys as they stand at each frame: a key held a
        # moment, as a player presses it, is seen.
        game.focus()
        game.hold("Return", 18)
        game.wait_for_screen("the menu, Prologue lit", lambda s: shows_menu(s, PROLOGUE))
        print("Enter leaves the splash for the menu")

        game.hold("Return", 30)
        level_started(game, None)
        win_the_level(game, None)
        exit_cleanly(game)


if __name__ == "__main__":
    sys.exit(main(__doc__, run))
