#!/usr/bin/env python3
"""A windowed mode and a resized window, under Xvfb.

A windowed mode chosen in F2 sizes the window and is written into
"varnock.cfg", so the next start opens the window at it. A window resized
since keeps the picture's shape: the picture fills it as it fills the
display in full screen, between black bars, and the pointer maps through
the same rectangle. Two runs:

- F2 with Windowed ticked and the 800 x 600 mode: the window becomes 800 x
  600 and the picture fills it; the pointer lights the button under it; at
  exit the configuration holds 800 x 600;
- the next start, with that configuration, opens the window at 800 x 600;
  resized to 1000 x 500, the window shows the picture at 667 x 500 between
  bars at its sides; the pointer lights the button under it, and a click on
  the visible Exit ends the program (no episode starts).

Screenshots go to SCREENSHOT_DIRECTORY: e2e_scaled_mode.png,
e2e_scaled_menu.png.

usage: scaled_test.py VARNOCK DEMO_TREE [SCREENSHOT_DIRECTORY]
Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed.
"""
import os
import sys

from e2e_support import (BUTTONS, EXIT, MENU_BOTTOM, MENU_TOP, Failure, Game, count_pixels,
                         highlighted, main, mix, near, on_screen, save_screenshot)
from menu_test import DRIVER, caption_blue

MODE = (0, 0, 800, 600)  # the 800 x 600 mode filling its window
LETTERBOX = (166, 0, 833, 500)  # 800 x 600 shown in 1000 x 500


def shows_menu(shot, frame, size):
    """The menu picture in `frame` of a window of `size`, black around it."""
    width, height, rows = shot
    left, top, right, bottom = frame
    if (width, height) != size:
        return False
    for y in (10, 200):
        x, window_y = on_screen(frame, 630, y)
        if not near(rows[window_y][x], mix(MENU_TOP, MENU_BOTTOM, y, 479)):
            return False
    outside = [(0, 0, width, top), (0, bottom, width, height), (0, 0, left, height),
               (right, 0, width, height)]
    return all(count_pixels(shot, box, lambda r, g, b: r + g + b > 24) == 0 for box in outside)


def middle(frame, button):
    x, y, w, h = BUTTONS[button]
    return on_screen(frame, x + w // 2, y + h // 2)


def run(varnock, demo_tree, output):
    with Game(varnock, demo_tree) as game:
        game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
        game.click(320, 240)
        game.wait_for_screen("the menu", lambda s: shows_menu(s, (0, 0, 640, 480), (640, 480)))
        game.key("F2")
        game.wait_for_screen("the device selection", lambda s: caption_blue(s, DRIVER))
        # The focus starts on OK; the mode list is the fourth stop after it,
        # and 800 x 600 x 32 stands one below the window's own 640 x 480 x 32.
        # One run of keys: the dialog takes them in order.
        game.key("Tab", "Tab", "Tab", "Tab", "Down", "Return")
        game.wait_for("the 800 x 600 mode to be taken",
                      lambda: "Changing 3d environment." in game.log())
        game.wait_for_screen("the menu again, filling an 800 x 600 window",
                             lambda s: shows_menu(s, MODE, (800, 600)))
        game.move(*middle(MODE, 4))
        shot = game.wait_for_screen("the pointer to light the button under it",
                                    lambda s: highlighted(s, MODE) == [4])
        save_screenshot(output, "e2e_scaled_mode.png", shot)
        game.click(*middle(MODE, EXIT))
        config = game.check_clean_exit(["Changing 3d environment.", "Varnock - exiting...."])
        for line in ("800" + " " * 41 + "//  Windowed Width",
                     "600" + " " * 41 + "//  Windowed Height"):
            if line not in config:
                raise Failure("varnock.cfg lacks " + repr(line))
        print("the 800 x 600 mode sizes the window, which the pointer maps, and is written back")

    def restart(directory):
        with open(os.path.join(directory, "varnock.cfg"), "w") as text:
            text.write(config)

    with Game(varnock, demo_tree, prepare=restart) as game:
        game.wait_for_screen("the splash screen in an 800 x 600 window",
                             lambda s: s[0] == 800 and s[1] == 600)
        game.click(400, 300)
        game.wait_for_screen("the menu", lambda s: shows_menu(s, MODE, (800, 600)))
        # At the screen's corner, so that the whole window is on the screen
        # the screenshot is taken from.
        game.xdotool("windowmove", "--sync", str(game.window), "0", "0", "windowsize", "--sync",
                     str(game.window), "1000", "500")
        game.wait_for_screen("the menu between black bars",
                             lambda s: shows_menu(s, LETTERBOX, (1000, 500)))
        game.move(*middle(LETTERBOX, 2))
        shot = game.wait_for_screen("the pointer to light the button under it",
                                    lambda s: highlighted(s, LETTERBOX) == [2])
        save_screenshot(output, "e2e_scaled_menu.png", shot)
        print("after a restart the window opens at 800 x 600; resized, the picture keeps its "
              "shape between bars and the pointer lights the button under it")
        game.click(*middle(LETTERBOX, EXIT))
        # An episode would have logged that its script could not be opened.
        game.check_clean_exit(["winmain_cleanup called.", "Varnock - exiting...."])
        print("a click on the visible Exit ends the program")


if __name__ == "__main__":
    sys.exit(main(__doc__, run))
