#!/usr/bin/env python3
"""The demo level played as a player would, under Xvfb, and won.

A click past the splash shows the menu; "The Harbour" says on the console
that it is not in the demo and the menu comes back by itself. "Prologue"
starts the level script "episode1_prologue_se", which loads the level's
entities from their files; the level fades in on the courtyard with the hero
under the opening words (e2e_demo_start.png). F7 gives a hint in its own
colour (e2e_demo_hint.png). The hero walks (Up held) over the flask, which
he takes, into the gate's trigger, which opens the gate and sets the guard
on him (e2e_demo_gate.png); he strikes (C held) until the guard's end script
runs; he drinks the flask (Y); he walks on into the exit trigger, and the
end of the episode darkens the screen under its closing words
(e2e_demo_end.png) and goes back to the menu. The steps, the flask, the
gate, the blows, the guard's fall, the mead and the fanfare have been
played. A blow that hurts the guard is caught on screen too
(e2e_demo_fight.png). Exit ends the program with exit code 0, no error and no warning in
"debug.txt", and "varnock.cfg" written again.

The hero walks on his animation and strikes with a lunge, and every meeting
of two fighters' arms is a contact that a strike turns into a blow, so the
course does not hang on frame times: he walks north until the gate's script
has started, strikes until the guard's has, and walks north again until the
end's has. The level's other runs, started with Enter and lost, share these
steps (demo_enter_test.py, demo_lost_test.py). A key is held for a number of
the game's frames, and each part of the course has a number of frames to be
done in, so a loaded machine that runs fewer frames a second takes longer
and no fewer steps.

usage: demo_test.py VARNOCK DEMO_TREE [SCREENSHOT_DIRECTORY]
Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed.
"""
import re
import sys

from e2e_support import EXIT, Failure, Game, count_pixels, main, save_screenshot
from menu_test import shows_menu

HARBOUR = 1
PROLOGUE = 0
# How long a key is held at a time: half a second at 60 frames a second.
HOLD_FRAMES = 30

# The colour the level's scripts write their console lines in, and where.
def is_console_text(r, g, b):
    return r > 200 and g > 180 and 140 < b < 230 and r >= g >= b


# The hints' colour: a pale blue.
def is_hint_text(r, g, b):
    return r > 160 and g > 190 and b > 215 and b >= g >= r


# Each is one line (the console's lines stand closer than the font is high).
LEVEL_LINE = (24, 40, 500, 64)      # the opening words, then the gate's and the guard's
ABSENT_LINE = (140, 214, 520, 240)  # "The Harbour is not in the demo."
CLOSING_LINE = (200, 214, 460, 240)  # "End of the Prologue", in the middle
LOST_LINE = (150, 214, 560, 240)    # "You have fallen. The Prologue is lost."
# The letterbox's upper bar below the frame-rate line.
LETTERBOX_TOP = (0, 30, 500, 88)


def shows_text(shot, box, least=40, test=is_console_text):
    return count_pixels(shot, box, test) >= least


def lit_pixels(shot, box):
    """Pixels of the box that are not near black: the drawn scene."""
    return count_pixels(shot, box, lambda r, g, b: r + g + b > 60)


def script_started(game, name):
    return ("script\\%s.scw up and running" % name) in game.log().lower()


def wait_for_script(game, name, frames, while_waiting=None):
    """Waits `frames` frames at most for the log to show the script `name`
    started, calling while_waiting() between looks (input held meanwhile)."""
    def started():
        if while_waiting:
            while_waiting()
        return script_started(game, name)
    game.wait_for("the script " + name, started, frames=frames, step=0)


def check_sounds(game, sounds, what):
    """Sound plays into the audio library's null output: what was played is
    in the log."""
    for sound in sounds:
        if "playing sound %s on channel" % sound not in game.log():
            raise Failure("the sound %s was not played" % sound)
    print(what)


def past_the_splash(game):
    """The splash, and a click past it to the menu."""
    game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
    game.click(320, 240)
    game.wait_for_screen("the menu", lambda s: shows_menu(s, PROLOGUE))


def level_started(game, output):
    """The courtyard faded in under the opening words, its entities read from
    their files."""
    wait_for_script(game, "episode1_prologue_se", 600)
    game.wait_for_screen("the courtyard to fade in under the opening words",
                         lambda s: shows_text(s, LEVEL_LINE) and
                         lit_pixels(s, (0, 120, 640, 440)) > 2000, frames=1800)
    # The opening shot once the fade is done: the yard's floor lit about the
    # hero (half the picture left of the panel and below the words).
    start = game.wait_for_screen("the opening shot, faded in", lambda s: count_pixels(
        s, (0, 120, 500, 440), lambda r, g, b: r + g + b > 150) > 80000, frames=600)
    save_screenshot(output, "e2e_demo_start.png", start)
    if "Reading ENW" not in game.log():
        raise Failure("the level's entities were not read from their files")
    print("the level fades in on the courtyard and the hero")


def open_the_gate(game, output=None):
    """Walking north over the flask into the gate's trigger."""
    game.key("Up")  # focus, and the first step
    wait_for_script(game, "open_gate", 1800, lambda: game.hold("Up", HOLD_FRAMES))
    if "trigger is being activated." not in game.log():
        raise Failure("the gate script started without its trigger")
    if not script_started(game, "take_flask"):
        raise Failure("the hero walked past the flask without taking it")
    gate = game.wait_for_screen("the gate's words", lambda s: shows_text(s, LEVEL_LINE))
    save_screenshot(output, "e2e_demo_gate.png", gate)
    print("walking north takes the flask and, in the gate's trigger, opens the gate: "
          "the guard comes for the hero")


def win_the_level(game, output, sounds=True):
    """From the start to the menu again, the guard beaten; the level's
    sounds played, unless `sounds` is false (no output to play them on)."""
    game.key("F7")
    wait_for_script(game, "cheat", 600)
    hint = game.wait_for_screen("a hint", lambda s: shows_text(s, LEVEL_LINE, test=is_hint_text))
    save_screenshot(output, "e2e_demo_hint.png", hint)
    print("F7 gives a hint")

    open_the_gate(game, output)
    wait_for_script(game, "guard_hurt", 3600, lambda: game.hold("c", HOLD_FRAMES))
    fight = game.wait_for_screen("the fighters in the yard",
                                 lambda s: lit_pixels(s, (0, 120, 500, 440)) > 2000)
    save_screenshot(output, "e2e_demo_fight.png", fight)
    wait_for_script(game, "guard_beaten", 3600, lambda: game.hold("c", HOLD_FRAMES))
    print("the hero strikes until the guard is beaten")

    # Once the hero stands again, Y drinks the flask.
    wait_for_script(game, "flask_use", 1200, lambda: game.hold("y", HOLD_FRAMES // 2))
    print("Y drinks the flask")

    wait_for_script(game, "prologue_end", 2400, lambda: game.hold("Up", HOLD_FRAMES))
    end = game.wait_for_screen("the closing words on the darkened screen",
                               lambda s: shows_text(s, CLOSING_LINE) and
                               lit_pixels(s, LETTERBOX_TOP) < 100, frames=900)
    save_screenshot(output, "e2e_demo_end.png", end)
    game.wait_for_screen("the menu after the end", lambda s: shows_menu(s, PROLOGUE)
                         or shows_menu(s, HARBOUR), frames=1200)
    print("walking into the exit ends the episode and goes back to the menu")
    if sounds:
        check_sounds(game, ("step.wav", "pickup.wav", "gate.wav", "groan.wav", "fall.wav",
                            "drink.wav", "fanfare.wav"),
                     "the steps, the flask, the gate, the blows, the guard's fall, the mead and "
                     "the fanfare were played")


def exit_cleanly(game):
    """Exit from the menu: the program ends, with nothing to warn of. The
    demo's configuration keeps the statistics line off."""
    game.click_button(EXIT)
    config = game.check_clean_exit(["Varnock - exiting...."])
    if not re.search(r"^0\s+//\s+game_globals\.bShowStats$", config, re.MULTILINE):
        raise Failure("the demo's configuration does not keep the statistics line off")
    print("Exit ends the program; debug.txt has no error and no warning, varnock.cfg is written")


def run(varnock, demo_tree, output):
    with Game(varnock, demo_tree) as game:
        past_the_splash(game)
        game.click_button(HARBOUR)
        wait_for_script(game, "episode2_harbour_se", 600)
        game.wait_for_screen("the line that The Harbour is not in the demo",
                             lambda s: shows_text(s, ABSENT_LINE))
        game.wait_for_screen("the menu to come back", lambda s: shows_menu(s, HARBOUR),
                             frames=900)
        print("an episode that is not in the demo says so and goes back to the menu")

        game.click_button(PROLOGUE)
        level_started(game, output)
        win_the_level(game, output)
        exit_cleanly(game)


if __name__ == "__main__":
    sys.exit(main(__doc__, run))
