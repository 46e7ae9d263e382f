#!/usr/bin/env python3
"""The player's settings are never lost.

- tools/play.sh writes the demo tree before every start: the demo writer
  keeps a configuration file that is already there (a changed key binding
  survives it).
- A configuration file the game cannot read is kept as "varnock.cfg.bad"
  before the defaults replace it, and the log says so.

usage: settings_test.py VARNOCK DEMO_TREE [SCREENSHOT_DIRECTORY]
Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile

from e2e_support import Failure, Game, main, set_setting

BINDING = "Q                                           //  run_key"


def demo_writer_keeps_the_configuration(demo_tree):
    work = tempfile.mkdtemp(prefix="varnock-e2e-")
    try:
        subprocess.run([demo_tree, work], check=True, timeout=60)
        set_setting(work, "run_key", "Q")
        subprocess.run([demo_tree, work], check=True, timeout=60)
        with open(os.path.join(work, "varnock.cfg")) as text:
            if BINDING not in text.read():
                raise Failure("the demo writer wrote over the player's configuration")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("the demo writer keeps the player's configuration")


def run(varnock, demo_tree, output):
    demo_writer_keeps_the_configuration(demo_tree)

    damaged = {}

    def damage(directory):
        set_setting(directory, "run_key", "Q")
        set_setting(directory, "Fullscreen Width", "wide")
        with open(os.path.join(directory, "varnock.cfg")) as text:
            damaged["text"] = text.read()

    with Game(varnock, demo_tree, prepare=damage) as game:
        game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
        if game.terminate(signal.SIGTERM) != 0:
            raise Failure("the program did not end in order")
        if game.file("varnock.cfg.bad") != damaged["text"]:
            raise Failure("varnock.cfg.bad does not hold the unreadable file")
        config = game.file("varnock.cfg")
        if "Fullscreen Width" not in config or "wide" in config:
            raise Failure("varnock.cfg was not written anew")
        if "varnock.cfg.bad'." not in game.log():
            raise Failure("the log does not say where the unreadable file went")
    print("an unreadable configuration is kept as varnock.cfg.bad")


if __name__ == "__main__":
    sys.exit(main(__doc__, run))
