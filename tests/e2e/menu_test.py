#!/usr/bin/env python3
"""The main menu and the dialogs as a new user uses them, under Xvfb.

On the demo data tree: a click past the splash shows the menu (its picture,
the first button highlighted); the arrow keys move the highlight, round from
the first button to Exit, and so does the pointer; F1 shows the About/Help
dialog over the menu, and a click on its OK closes it; F2 shows the device
selection, a click opens its device list and one chooses the device, which
fills the mode list, and a click on Cancel closes it without a change; a
click on Exit ends the program: exit code 0, no error or warning in
"debug.txt", and "varnock.cfg" keeps the default device and window.

Screenshots go to SCREENSHOT_DIRECTORY: e2e_menu.png, e2e_menu_hover.png,
e2e_about.png, e2e_driver.png.

usage: menu_test.py VARNOCK DEMO_TREE [SCREENSHOT_DIRECTORY]
Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed.
"""
import sys

from e2e_support import (BUTTONS, EXIT, MENU_BOTTOM, MENU_TOP, Failure, Game, highlighted, main,
                         mix, near, save_screenshot)

# Dialogs in dialog units (7 pixels a 4 across, 14 pixels a 8 down), in the
# middle of the window, with a 3-pixel border and a 22-pixel caption.
def dialog_origin(width_units, height_units):
    width = width_units * 7 // 4 + 6
    height = height_units * 14 // 8 + 6 + 22
    return (640 - width) // 2 + 3, (480 - height) // 2 + 3 + 22


def control_middle(origin, x, y, cx, cy):
    left, top = origin[0] + x * 7 // 4, origin[1] + y * 14 // 8
    return left + cx * 7 // 4 // 2, top + cy * 14 // 8 // 2


ABOUT = dialog_origin(339, 157)
ABOUT_OK = control_middle(ABOUT, 282, 7, 50, 14)
DRIVER = dialog_origin(299, 84)
DRIVER_CANCEL = control_middle(DRIVER, 123, 65, 51, 14)
DRIVER_DEVICES = (DRIVER[0] + 36 * 7 // 4 + 150, DRIVER[1] + 24 * 14 // 8 + 10)
FIRST_ITEM_BELOW = 21 + 1 + 8  # the open list starts under the 21-pixel field
FIRST_DEVICE = (DRIVER_DEVICES[0], DRIVER_DEVICES[1] - 10 + FIRST_ITEM_BELOW)


def shows_menu(shot, button):
    width, height, rows = shot
    if (width, height) != (640, 480):
        return False
    for y in (10, 200):
        if not near(rows[y][630], mix(MENU_TOP, MENU_BOTTOM, y, 479)):
            return False
    return highlighted(shot) == [button]


def is_blue(r, g, b):
    return b > 80 and b > r + 40


def caption_blue(shot, origin):
    """The dialog's caption bar, just above its client area."""
    _, _, rows = shot
    return is_blue(*rows[origin[1] - 20][origin[0] + 30])


def device_list_open(shot):
    """The first device of the open list shows selected (blue) where the
    closed dialog shows its grey between the fields."""
    return is_blue(*shot[2][FIRST_DEVICE[1]][FIRST_DEVICE[0]])


def device_chosen(shot):
    """The list closed, the device field focused with its choice (blue)."""
    return not device_list_open(shot) and is_blue(*shot[2][DRIVER_DEVICES[1]][DRIVER_DEVICES[0]])


def run(varnock, demo_tree, output):
    with Game(varnock, demo_tree) as game:
        game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
        game.click(320, 240)
        save_screenshot(output, "e2e_menu.png", game.wait_for_screen("the menu, its first button lit",
                                                  lambda s: shows_menu(s, 0)))
        print("a click past the splash shows the menu")

        game.key("Down", "Down")
        game.wait_for_screen("the third button lit", lambda s: highlighted(s) == [2])
        game.key("Up", "Up", "Up")
        game.wait_for_screen("Up to go round from the first button to Exit",
                             lambda s: highlighted(s) == [EXIT])
        x, y, w, h = BUTTONS[1]
        game.move(x + w // 2, y + h // 2)
        save_screenshot(output, "e2e_menu_hover.png", game.wait_for_screen("the pointer to light the second button",
                                                        lambda s: highlighted(s) == [1]))
        print("the arrow keys and the pointer move the highlight")

        game.key("F1")
        # The menu still shows around the dialog.
        about = game.wait_for_screen("the About/Help dialog", lambda s: caption_blue(s, ABOUT) and near(
            s[2][10][630], mix(MENU_TOP, MENU_BOTTOM, 10, 479)))
        save_screenshot(output, "e2e_about.png", about)
        game.click(*ABOUT_OK)
        game.wait_for_screen("the About/Help dialog to close",
                             lambda s: shows_menu(s, 1) and not caption_blue(s, ABOUT))
        if "IDM_HELP key pressed." not in game.log():
            raise Failure("F1 was not the help command")
        print("F1 shows About/Help over the menu, and its OK closes it")

        game.key("F2")
        game.wait_for_screen("the device selection", lambda s: caption_blue(s, DRIVER))
        game.click(*DRIVER_DEVICES)
        game.wait_for_screen("the device list to open", device_list_open)
        game.click(*FIRST_DEVICE)
        save_screenshot(output, "e2e_driver.png",
                        game.wait_for_screen("the device list to close on the choice", device_chosen))
        game.click(*DRIVER_CANCEL)
        game.wait_for_screen("the device selection to close",
                             lambda s: shows_menu(s, 1) and not caption_blue(s, DRIVER))
        print("F2 shows the device selection; a device is chosen from its list; Cancel closes it")

        game.click_button(EXIT)
        config = game.check_clean_exit(["IDM_HELP key pressed.", "IDM_CHANGEDEVICE key pressed.",
                                        "d3dxenum_user_dlg_select_driver called.", "Adding Dialog Control.",
                                        "entity_unload_all called.", "winmain_cleanup called.",
                                        "Varnock - exiting...."])
        if "Changing 3d environment." in game.log():
            raise Failure("Cancel changed the device")
        for line in ("-1                                          //  d3dx_globals.device_index",
                     "0                                           //  d3dx_globals.m_bIsFullscreen"):
            if line not in config:
                raise Failure("varnock.cfg lacks " + repr(line))
        print("Exit ends the program; varnock.cfg and debug.txt are as expected")


if __name__ == "__main__":
    sys.exit(main(__doc__, run))
