#!/usr/bin/env python3
"""The game as a new user meets it, on the demo data tree, under Xvfb.

Starts the real varnock in a fresh directory holding the tree that the
demo_tree tool writes, and checks: the splash screen is on screen (its four
coloured quarters, from a screenshot of the window); Esc and Alt+X leave it
alone; a click leaves it for the menu (F2, which does nothing on the splash,
is answered there); closing the window ends the program with exit code 0,
"varnock.cfg" written again and "debug.txt" holding the start-up and exit
notices and no error or warning.

usage: splash_test.py VARNOCK DEMO_TREE [SCREENSHOT.png]
Exit code 77 (skipped) when Xvfb or xdotool is not installed.
"""
import ctypes
import ctypes.util
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

SKIP = 77
# The quarters of the splash picture (tools/demo_tree), as the screen shows
# them: red, green / blue, yellow.
QUARTERS = {(0.25, 0.25): (0xC0, 0x20, 0x20), (0.75, 0.25): (0x20, 0xC0, 0x40),
            (0.25, 0.75): (0x20, 0x40, 0xC0), (0.75, 0.75): (0xE0, 0xC0, 0x20)}
TOLERANCE = 24


class Failure(Exception):
    pass


def wait_for(what, test, timeout=20.0, step=0.1):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        result = test()
        if result:
            return result
        time.sleep(step)
    raise Failure("timed out waiting for " + what)


def start_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=[write_end],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        xvfb.kill()
        raise Failure("Xvfb did not start")
    return xvfb, ":" + number


def xdotool(env, *args):
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True,
                          timeout=20).stdout.strip()


def close_window(display, window):
    """What the window's close button does: WM_DELETE_WINDOW to the client."""
    x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class XEvent(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    connection = x11.XOpenDisplay(display.encode())
    if not connection:
        raise Failure("cannot open the display to close the window")
    event = XEvent()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(connection, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(connection, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(connection, window, 0, 0, ctypes.byref(event))
    x11.XFlush(connection)
    x11.XCloseDisplay(connection)


def screenshot(env, window):
    """The window's pixels as (width, height, rows of (r, g, b))."""
    data = subprocess.run(["xwd", "-silent", "-id", str(window)], env=env, capture_output=True,
                          timeout=20).stdout
    if len(data) < 100:
        return None
    fields = struct.unpack(">25I", data[:100])
    header_size, _, pixmap_format, _, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = fields[7], fields[11], fields[12], fields[19]
    if pixmap_format != 2 or bits_per_pixel != 32:
        raise Failure("unexpected screenshot format")
    start = header_size + 12 * ncolors
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line:start + y * bytes_per_line + width * 4]
        row = []
        for x in range(width):
            b0, b1, b2, b3 = line[4 * x:4 * x + 4]
            row.append((b2, b1, b0) if byte_order == 0 else (b1, b2, b3))
        rows.append(row)
    return width, height, rows


def write_png(path, shot):
    width, height, rows = shot
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)
    chunk = lambda kind, body: (struct.pack(">I", len(body)) + kind + body +
                                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                  + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def shows_splash(shot):
    if not shot:
        return False
    width, height, rows = shot
    for (fx, fy), colour in QUARTERS.items():
        pixel = rows[int(fy * height)][int(fx * width)]
        if any(abs(a - b) > TOLERANCE for a, b in zip(pixel, colour)):
            return False
    return True


def log_text(directory):
    try:
        with open(os.path.join(directory, "debug.txt"), errors="replace") as log:
            return log.read()
    except OSError:
        return ""


def run(varnock, demo_tree, screenshot_path):
    work = tempfile.mkdtemp(prefix="varnock-e2e-")
    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display, SDL_VIDEODRIVER="x11", LIBGL_ALWAYS_SOFTWARE="1")
    env.pop("VARNOCK_DRIVE_C", None)
    game = None
    try:
        subprocess.run([demo_tree, work], check=True, timeout=60)
        game_output = open(os.path.join(work, "output.txt"), "wb")
        game = subprocess.Popen([varnock], cwd=work, env=env, stdout=game_output,
                                stderr=subprocess.STDOUT)
        window = int(wait_for("the game window",
                              lambda: xdotool(env, "search", "--name", "^Varnock").split("\n")[0]))
        shot = wait_for("the splash screen on screen",
                        lambda: (lambda s: s if shows_splash(s) else None)(screenshot(env, window)),
                        timeout=30.0, step=0.25)
        if screenshot_path:
            write_png(screenshot_path, shot)
        print("the splash screen is on screen")

        xdotool(env, "windowfocus", "--sync", str(window))
        for keys in (["Escape"], ["alt+x"], ["F2"]):
            xdotool(env, "key", *keys)
        time.sleep(1.0)
        if game.poll() is not None:
            raise Failure("Esc or Alt+X ended the program on the splash screen")
        if "IDM_CHANGEDEVICE" in log_text(work):
            raise Failure("F2 acted on the splash screen")
        if not shows_splash(screenshot(env, window)):
            raise Failure("a key left the splash screen")

        xdotool(env, "mousemove", "--window", str(window), "320", "240", "click", "1")
        time.sleep(0.5)
        xdotool(env, "key", "F2")
        wait_for("the menu to answer F2", lambda: "IDM_CHANGEDEVICE key pressed." in log_text(work))
        print("a click left the splash screen for the menu")

        close_window(display, window)
        code = game.wait(timeout=30)
        if code != 0:
            raise Failure("the program ended with exit code %d" % code)
        print("closing the window ended the program")

        log = log_text(work)
        for notice in ("Varnock - starting up....", "Reading SES", "varnock_one_time_scene_init called.",
                       "winmain_cleanup called.", "Writing SES", "Varnock - exiting...."):
            if notice not in log:
                raise Failure("debug.txt lacks the notice " + repr(notice))
        bad = [line for line in log.splitlines() if line.startswith(("ERROR", "WARNING"))]
        if bad:
            raise Failure("debug.txt has errors or warnings:\n" + "\n".join(bad[:20]))
        with open(os.path.join(work, "varnock.cfg")) as config:
            text = config.read()
        for line in ("21", "124", "//  [gameglobals]", "//  [d3dxframe]", "//  [sound]", "//  [dxinput]"):
            if line not in text:
                raise Failure("varnock.cfg lacks " + repr(line))
        print("varnock.cfg and debug.txt are as expected")
    except (Failure, subprocess.SubprocessError):
        print("---- debug.txt ----\n" + log_text(work)[-4000:], file=sys.stderr)
        if game is not None and game.poll() is None:
            game.kill()
        try:
            with open(os.path.join(work, "output.txt"), errors="replace") as output:
                print("---- output ----\n" + output.read()[-2000:], file=sys.stderr)
        except OSError:
            pass
        raise
    finally:
        if game is not None and game.poll() is None:
            game.kill()
            game.wait()
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__)
        return 2
    if not shutil.which("Xvfb") or not shutil.which("xdotool") or not shutil.which("xwd"):
        print("skipped: Xvfb, xdotool or xwd is not installed")
        return SKIP
    try:
        run(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]),
            sys.argv[3] if len(sys.argv) == 4 else None)
    except (Failure, subprocess.SubprocessError) as error:
        print("FAILED: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
