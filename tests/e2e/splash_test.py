#!/usr/bin/env python3
"""The game as a new user meets it, on the demo data tree, under Xvfb.

Starts the real varnock in a fresh directory holding the tree that the
demo_tree tool writes, and checks: the splash screen is on screen (its
gradient and its golden title, from a screenshot of the window); Esc and
Alt+X leave it alone; a click leaves it for the menu (F2, which does nothing
on the splash, opens the device selection there); closing the window, with
that dialog still open, ends the program with exit code 0, "varnock.cfg"
written again and "debug.txt" holding the start-up and exit notices and no
error or warning.

Without its picture (deleted) the splash still says "Click to start" in the
game font, the log has the failed load once however many frames ask for it,
and a click still goes on to the menu; a SIGTERM then ends the program at
once, the session's error report going to stderr instead of a box that waits.
Closing the window instead ends the program after the session's error
report: a box the player answers (OK), or stderr where the display has no
font for a box.

Started from a folder without the game's data, the game shows the box
"Game Data Not Found" over its window and names the folder it looked in.

What must not happen (a key acting on the splash, a second logged failure)
is checked after enough frames have run for it to have happened, not after
a time, which a loaded machine fills with fewer frames.

usage: splash_test.py VARNOCK DEMO_TREE [SCREENSHOT_DIRECTORY]
Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed.
"""
import os
import shutil
import signal
import sys

from e2e_support import (MENU_TOP, SETTLE_FRAMES, Failure, Game, count_pixels, main, mix, near,
                         save_screenshot)

# The splash picture of tools/demo_tree: a gradient from the top row to the
# bottom one, and the title in gold in the upper middle.
SPLASH_TOP, SPLASH_BOTTOM = (0x0B, 0x10, 0x26), (0x4A, 0x1A, 0x12)
TITLE_BOX = (60, 100, 580, 200)
# The box a start without the game's data shows.
NO_DATA_BOX = "Game Data Not Found"


def is_gold(r, g, b):
    return r > 200 and 150 < g < 225 and b < 120


def shows_splash(shot):
    width, height, rows = shot
    if (width, height) != (640, 480):
        return False
    # The left edge has no text: the gradient shows there.
    for y in (10, 240, 470):
        if not near(rows[y][8], mix(SPLASH_TOP, SPLASH_BOTTOM, y, 479)):
            return False
    return count_pixels(shot, TITLE_BOX, is_gold) > 3000


def run(varnock, demo_tree, output):
    with Game(varnock, demo_tree) as game:
        shot = game.wait_for_screen("the splash screen on screen", shows_splash, frames=1800)
        save_screenshot(output, "e2e_splash.png", shot)
        print("the splash screen is on screen")

        for keys in (["Escape"], ["alt+x"], ["F2"]):
            game.key(*keys)
        # The frames that prove the keys were handled: had F2 opened its
        # dialog, no frame would run, and the wait would fail.
        game.wait_frames(SETTLE_FRAMES)
        if game.process.poll() is not None:
            raise Failure("Esc or Alt+X ended the program on the splash screen")
        if "IDM_CHANGEDEVICE" in game.log():
            raise Failure("F2 acted on the splash screen")
        if not shows_splash(game.screenshot()):
            raise Failure("a key left the splash screen")

        game.click(320, 240)
        game.wait_for_screen("the menu", lambda s: near(s[2][10][630], MENU_TOP))
        game.key("F2")
        game.wait_for("the menu to answer F2",
                      lambda: "d3dxenum_user_dlg_select_driver called." in game.log())
        print("a click left the splash screen for the menu")

        game.close()
        game.check_clean_exit(["Varnock - starting up....", "Reading SES", "varnock_one_time_scene_init called.",
                               "winmain_cleanup called.", "Writing SES", "Varnock - exiting...."])
        if "Changing 3d environment." in game.log():
            raise Failure("closing the window confirmed the device selection")
        print("closing the window ended the program; varnock.cfg and debug.txt are as expected")

    remove_splash = lambda directory: os.remove(
        os.path.join(directory, "drive_c", "data", "win", "bitmap", "splash_screen.tga"))
    with Game(varnock, demo_tree, prepare=remove_splash) as game:
        prompt = (200, 220, 440, 260)  # "Click to start", white, in the middle
        shot = game.wait_for_screen("the prompt without the picture", lambda s: count_pixels(
            s, prompt, lambda r, g, b: min(r, g, b) > 200) > 300)
        save_screenshot(output, "e2e_splash_without_picture.png", shot)
        game.wait_frames(60)  # many more frames ask for the picture
        failures = game.log().count("Failed to D3DXCreateTextureFromFile splash_screen.")
        if failures != 1:
            raise Failure("the missing picture was logged %d times, not once" % failures)
        game.click(320, 240)
        game.wait_for_screen("the menu", lambda s: near(s[2][10][630], MENU_TOP))
        print("without its picture the splash says how to go on, and its failure is logged once")

        code = game.terminate(signal.SIGTERM)
        if code != 0 or "winmain_cleanup called." not in game.log():
            raise Failure("SIGTERM did not end the program in order (exit code %d)" % code)
        if "Error During Session: There were 3 errors" not in game.printed():
            raise Failure("the session report did not go to stderr")
        print("a SIGTERM then ends it at once; the report goes to stderr")

    with Game(varnock, demo_tree, prepare=remove_splash) as game:
        game.wait_for("the failed load in the log",
                      lambda: "Failed to D3DXCreateTextureFromFile splash_screen." in game.log())
        game.expect_boxes("Error During Session")
        game.close()
        code = game.wait_for_exit()
        if code != 0 or "Varnock - exiting...." not in game.log():
            raise Failure("closing the window did not end the program in order (exit code %d)" % code)
        report = game.session_report()
        if report is None or report[0] != "Error During Session":
            raise Failure("the session's errors brought the report %r" % (report,))
        print("closing the window then ends it after the error report (%s)" % report[1])

    # Started from a folder without the game's data, the game says so where a
    # player looks: a box over its window (or stderr, where the display has
    # no font for a box), naming the folder it looked in.
    remove_data = lambda directory: shutil.rmtree(os.path.join(directory, "drive_c"))
    with Game(varnock, demo_tree, prepare=remove_data, boxes=(NO_DATA_BOX,)) as game:
        game.wait_for("the box that the game's data was not found",
                      lambda: game.told(NO_DATA_BOX))
        folder = "drive_c/data/win/entity"
        if folder not in game.printed():
            raise Failure("the missing folder %s was not named" % folder)
        game.expect_boxes("Error During Session")
        game.close()
        code = game.wait_for_exit()
        if code != 0:
            raise Failure("closing the window did not end the program in order (exit code %d)" % code)
        print("without its data the game says so in a box, naming the folder it looked in")


if __name__ == "__main__":
    sys.exit(main(__doc__, run))
