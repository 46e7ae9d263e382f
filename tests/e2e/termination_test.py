#!/usr/bin/env python3
"""No usable display, and termination requests, as a user meets them.

- No display at all (no DISPLAY, no WAYLAND_DISPLAY, no SDL_VIDEODRIVER):
  the program exits at once with a non-zero code, and says why, with SDL's
  own reason, in "debug.txt" and on stderr (SDL's offscreen driver, which it
  would fall back to, shows nothing).
- SDL's offscreen driver asked for by name: the game runs unseen, and a
  SIGTERM after a few hundred frames (its frame log counts them) ends it in
  order (exit code 0, configuration written) instead of after minutes of
  frames queued in the GL driver.
- Under Xvfb a SIGTERM on the splash screen, and a SIGINT with the About
  dialog open over the menu, end the program in order.

usage: termination_test.py VARNOCK DEMO_TREE [SCREENSHOT_DIRECTORY]
Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile

from e2e_support import MENU_TOP, STALL_SECONDS, Failure, FrameLog, Game, main, near

# Frames the offscreen game runs before the SIGTERM: enough for many of them
# to have queued in the GL driver, were the driver let queue them.
OFFSCREEN_FRAMES = 180


def without_display(varnock, demo_tree, driver=None):
    """The game started on a fresh demo tree with no display; (process,
    directory). The caller ends the process and removes the directory."""
    work = tempfile.mkdtemp(prefix="varnock-e2e-")
    subprocess.run([demo_tree, work], check=True, timeout=60)
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "VARNOCK_DRIVE_C")}
    if driver:
        env.update(SDL_VIDEODRIVER=driver, LIBGL_ALWAYS_SOFTWARE="1",
                   VARNOCK_FRAME_LOG=os.path.join(work, "frames.txt"))
    process = subprocess.Popen([varnock], cwd=work, env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True)
    return process, work


def read(work, name):
    try:
        with open(os.path.join(work, name), errors="replace") as text:
            return text.read()
    except FileNotFoundError:
        return ""


def refuses_without_display(varnock, demo_tree):
    process, work = without_display(varnock, demo_tree)
    try:
        output, _ = process.communicate(timeout=STALL_SECONDS)
        log = read(work, "debug.txt")
        if process.returncode == 0:
            raise Failure("without a display the program ended with exit code 0")
        for text, where in (("Unable to CreateWindow.", log), ("no display found (SDL: ", log),
                            ("varnock: cannot open the game window: no display found", output)):
            if text not in where:
                raise Failure("%r is missing; output:\n%s\nlog:\n%s" % (text, output, log[-2000:]))
    finally:
        if process.poll() is None:
            process.kill()
        shutil.rmtree(work, ignore_errors=True)
    print("without a display the program says why and exits with code %d" % process.returncode)


def ends_on_the_offscreen_driver(varnock, demo_tree):
    process, work = without_display(varnock, demo_tree, driver="offscreen")
    try:
        # The game runs its frames unseen; their log counts them.
        FrameLog(os.path.join(work, "frames.txt")).wait_for_frames(
            OFFSCREEN_FRAMES, "the offscreen game", lambda: process.poll() is None)
        if process.poll() is not None:
            raise Failure("the offscreen game ended by itself:\n" + process.communicate()[0])
        process.send_signal(signal.SIGTERM)
        try:
            code = process.wait(timeout=STALL_SECONDS)
        except subprocess.TimeoutExpired:
            raise Failure("the offscreen game did not end within %g s of SIGTERM" % STALL_SECONDS)
        log = read(work, "debug.txt")
        if code != 0 or "Varnock - exiting...." not in log or "Writing SES" not in log:
            raise Failure("the offscreen game did not end in order (exit code %d)" % code)
    finally:
        if process.poll() is None:
            process.kill()
        shutil.rmtree(work, ignore_errors=True)
    print("on the offscreen driver a SIGTERM ends the game in order")


def ends_in_order(game, signal_number, where):
    code = game.terminate(signal_number)
    if code != 0 or "winmain_cleanup called." not in game.log():
        raise Failure("signal %d %s did not end the program in order (exit code %d)"
                      % (signal_number, where, code))
    print("signal %d %s ends the program in order" % (signal_number, where))


def run(varnock, demo_tree, output):
    refuses_without_display(varnock, demo_tree)
    ends_on_the_offscreen_driver(varnock, demo_tree)
    with Game(varnock, demo_tree) as game:
        game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
        ends_in_order(game, signal.SIGTERM, "on the splash screen")
    with Game(varnock, demo_tree) as game:
        game.wait_for_screen("the splash screen", lambda s: s[0] == 640)
        game.click(320, 240)
        game.wait_for_screen("the menu", lambda s: near(s[2][10][630], MENU_TOP))
        game.key("F1")
        game.wait_for("the About dialog", lambda: "IDM_HELP key pressed." in game.log())
        ends_in_order(game, signal.SIGINT, "with a dialog open")


if __name__ == "__main__":
    sys.exit(main(__doc__, run))
