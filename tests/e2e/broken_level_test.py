#!/usr/bin/env python3
"""A level whose player cannot be made, as a player meets it, under Xvfb.

The demo figure (hero.mow) cut to half its length: the Prologue cannot make
its hero. A click on its button brings the box "Level Cannot Be Played"
(or its text on stderr, where the display has no font for a box), which
names the model that did not load and points to the debug file; once it is
answered the menu is back, its first button lit, and the level's screen
does not come. A second try does the same. Exit then ends the program with
exit code 0 after the session's error report, and debug.txt says twice
what failed.

Screenshots go to SCREENSHOT_DIRECTORY: e2e_broken_level_menu.png.

usage: broken_level_test.py VARNOCK DEMO_TREE [SCREENSHOT_DIRECTORY]
Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed.
"""
import os
import sys

from e2e_support import EXIT, SETTLE_FRAMES, Failure, Game, main, save_screenshot
from menu_test import shows_menu

BOX = "Level Cannot Be Played"
FAILURE = "The player 'hero' could not be made, as the model 'hero' did not load."


def cut_the_hero(directory):
    path = os.path.join(directory, "drive_c", "data", "win", "model", "hero.mow")
    with open(path, "rb") as model:
        data = model.read()
    with open(path, "wb") as model:
        model.write(data[:len(data) // 2])


def times_told(game):
    """How often the box reached the player, as a box or on stderr."""
    answered = sum(1 for title, _ in game.boxes_answered if title == BOX)
    return answered + game.printed().count(BOX + ": ")


def run(varnock, demo_tree, output):
    with Game(varnock, demo_tree, prepare=cut_the_hero) as game:
        game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
        game.click(320, 240)
        game.wait_for_screen("the menu", lambda s: shows_menu(s, 0))
        game.expect_boxes(BOX)
        for attempt in (1, 2):
            game.click_button(0)
            game.wait_for("the box that the level cannot be played (try %d)" % attempt,
                          lambda: times_told(game) >= attempt)
            shot = game.wait_for_screen("the menu after the box", lambda s: shows_menu(s, 0))
            # Frames enough for the level's screen to have come, had it come.
            game.wait_frames(SETTLE_FRAMES * 6)
            if not shows_menu(game.screenshot(), 0) or times_told(game) != attempt:
                raise Failure("the menu did not stay after the box (try %d)" % attempt)
            print("try %d: the box says what failed, and the menu is back (%s)" %
                  (attempt, "box" if game.boxes_answered else "stderr"))
        save_screenshot(output, "e2e_broken_level_menu.png", shot)
        if game.log().count("This level cannot be played. " + FAILURE) != 2:
            raise Failure("debug.txt does not say twice what failed")

        game.expect_boxes("Error During Session")
        game.click_button(EXIT)
        code = game.wait_for_exit()
        if code != 0 or "Varnock - exiting...." not in game.log():
            raise Failure("Exit did not end the program in order (exit code %d)" % code)
        report = game.session_report()
        if report is None or report[0] != "Error During Session":
            raise Failure("the session's errors brought the report %r" % (report,))
        print("Exit still ends the program, after the session's error report (%s)" % report[1])


if __name__ == "__main__":
    sys.exit(main(__doc__, run))
