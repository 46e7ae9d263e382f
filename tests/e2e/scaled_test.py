#!/usr/bin/env python3
"""A picture of another size than the window, under Xvfb.

The game draws at the size of its buffers; in a window of another size the
picture fills the window as it does the display in full screen, keeping its
shape, and the pointer maps through the same rectangle. Two ways there:

- the next start after the window was resized: "varnock.cfg" says 1000 x 500
  for the window, which opens at 640 x 480, so the picture shows at 640 x 320
  between black bars; the pointer lights the button under it, and a click on
  the visible Exit ends the program (no episode starts);
- F2 with Windowed ticked and the 800 x 600 mode: the picture fills the 640 x
  480 window, and the pointer still lights the button under it.

Screenshots go to SCREENSHOT_DIRECTORY: e2e_scaled_menu.png,
e2e_scaled_mode.png.

usage: scaled_test.py VARNOCK DEMO_TREE [SCREENSHOT_DIRECTORY]
Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed.
"""
import sys

from e2e_support import (BUTTONS, EXIT, MENU_BOTTOM, MENU_TOP, WHOLE_WINDOW, Game,
                         count_pixels, highlighted, main, mix, near, on_screen, save_screenshot,
                         set_setting)
from menu_test import DRIVER, caption_blue

LETTERBOX = (0, 80, 640, 400)  # 1000 x 500 shown in 640 x 480


def shows_menu(shot, frame):
    """The menu picture in `frame`, black around it."""
    width, height, rows = shot
    left, top, right, bottom = frame
    if (width, height) != (640, 480):
        return False
    for y in (10, 200):
        x, window_y = on_screen(frame, 630, y)
        if not near(rows[window_y][x], mix(MENU_TOP, MENU_BOTTOM, y, 479)):
            return False
    outside = [(0, 0, 640, top), (0, bottom, 640, 480)]
    return all(count_pixels(shot, box, lambda r, g, b: r + g + b > 24) == 0 for box in outside)


def middle(frame, button):
    x, y, w, h = BUTTONS[button]
    return on_screen(frame, x + w // 2, y + h // 2)


def run(varnock, demo_tree, output):
    resized = lambda directory: (set_setting(directory, "Windowed Width", 1000),
                                 set_setting(directory, "Windowed Height", 500))
    with Game(varnock, demo_tree, prepare=resized) as game:
        game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
        game.click(320, 240)
        game.wait_for_screen("the menu between black bars", lambda s: shows_menu(s, LETTERBOX))
        game.move(*middle(LETTERBOX, 2))
        shot = game.wait_for_screen("the pointer to light the button under it",
                                    lambda s: highlighted(s, LETTERBOX) == [2])
        save_screenshot(output, "e2e_scaled_menu.png", shot)
        print("a 1000 x 500 picture shows between bars; the pointer lights the button under it")
        game.click(*middle(LETTERBOX, EXIT))
        # An episode would have logged that its script could not be opened.
        game.check_clean_exit(["winmain_cleanup called.", "Varnock - exiting...."])
        print("a click on the visible Exit ends the program")

    with Game(varnock, demo_tree) as game:
        game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
        game.click(320, 240)
        game.wait_for_screen("the menu", lambda s: shows_menu(s, WHOLE_WINDOW))
        game.key("F2")
        game.wait_for_screen("the device selection", lambda s: caption_blue(s, DRIVER))
        # The focus starts on OK; the mode list is the fourth stop after it,
        # and 800 x 600 x 32 stands two above the display's own 1024 x 768 x 32.
        # One run of keys: the dialog takes them in order.
        game.key("Tab", "Tab", "Tab", "Tab", "Up", "Up", "Return")
        game.wait_for("the 800 x 600 mode to be taken",
                      lambda: "Changing 3d environment." in game.log())
        game.wait_for_screen("the menu again, filling the window",
                             lambda s: shows_menu(s, WHOLE_WINDOW) and not caption_blue(s, DRIVER))
        game.move(*middle(WHOLE_WINDOW, 4))
        shot = game.wait_for_screen("the pointer to light the button under it",
                                    lambda s: highlighted(s) == [4])
        save_screenshot(output, "e2e_scaled_mode.png", shot)
        game.click(*middle(WHOLE_WINDOW, EXIT))
        game.check_clean_exit(["Changing 3d environment.", "Varnock - exiting...."])
        print("in the 800 x 600 mode the picture fills the window and the pointer maps")


if __name__ == "__main__":
    sys.exit(main(__doc__, run))
