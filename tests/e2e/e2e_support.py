"""What the end-to-end tests share: a private Xvfb, the game started on a
fresh demo tree, input with xdotool, screenshots of the window (xwd), PNG
files of them, and the log.

Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed.
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


def mix(top, bottom, step, steps):
    """The colour a step of a gradient has, as the demo tree computes it."""
    return tuple(a + (b - a) * step // steps for a, b in zip(top, bottom))


def near(pixel, colour, tolerance=24):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def count_pixels(shot, box, test):
    """How many pixels of box (left, top, right, bottom) pass test(r, g, b)."""
    _, _, rows = shot
    left, top, right, bottom = box
    return sum(1 for y in range(top, bottom) for x in range(left, right) if test(*rows[y][x]))


# The menu of tools/demo_tree on the game's 640 x 480 screen: a gradient, seen
# at the right edge above the hills, and the six buttons of the main screen
# (left, top, width, height); a highlighted button shows a gold bar.
MENU_TOP, MENU_BOTTOM = (0x0E, 0x14, 0x24), (0x2C, 0x10, 0x0E)
BUTTONS = [(41, 106, 104, 30), (41, 156, 189, 32), (41, 205, 244, 33),
           (40, 255, 251, 32), (39, 305, 249, 33), (41, 406, 54, 28)]
EXIT = 5
WHOLE_WINDOW = (0, 0, 640, 480)


def on_screen(frame, x, y):
    """A point of the 640 x 480 screen in the window, the picture shown in
    the window rectangle `frame` (left, top, right, bottom)."""
    left, top, right, bottom = frame
    return left + x * (right - left) // 640, top + y * (bottom - top) // 480


def is_gold(r, g, b):
    return r > 170 and 100 < g < 210 and b < 110


def highlighted(shot, frame=WHOLE_WINDOW):
    """The menu buttons that show the gold bar."""
    # 40 gold pixels at full size, fewer in a smaller picture.
    least = 40 * (frame[2] - frame[0]) * (frame[3] - frame[1]) // (640 * 480)
    lit = []
    for i, (x, y, w, h) in enumerate(BUTTONS):
        box = on_screen(frame, x + 2, y + 2) + on_screen(frame, x + w - 2, y + h - 2)
        if count_pixels(shot, box, is_gold) > least:
            lit.append(i)
    return lit


def start_xvfb():
    read_end, write_end = os.pipe()
    # Without -noreset the server starts afresh whenever its last client
    # leaves, and a client connecting meanwhile (the game starting while an
    # xdotool search leaves) is turned away.
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=[write_end],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        xvfb.kill()
        raise Failure("Xvfb did not start")
    return xvfb, ":" + number


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


def set_setting(directory, key, value):
    """Gives the setting `key` of varnock.cfg in `directory` another value,
    written as the game writes it (left-aligned in 44 columns)."""
    path = os.path.join(directory, "varnock.cfg")
    with open(path) as text:
        lines = text.read().split("\n")
    for i, line in enumerate(lines):
        if line.endswith("//  " + key) and not line.startswith("//"):
            lines[i] = "%-44s//  %s" % (value, key)
            break
    else:
        raise Failure("varnock.cfg has no setting " + key)
    with open(path, "w") as text:
        text.write("\n".join(lines))


def write_png(path, shot):
    width, height, rows = shot
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)
    chunk = lambda kind, body: (struct.pack(">I", len(body)) + kind + body +
                                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                  + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def save_screenshot(directory, name, shot):
    """The screenshot as directory/name (a PNG file); nothing without a directory."""
    if directory:
        write_png(os.path.join(directory, name), shot)


class Game:
    """The real varnock in a fresh directory holding the demo tree, on its
    own virtual display. Used in a with statement: on the way out the log
    and the program's output are shown after a failure, and the program,
    the display and the directory go."""

    def __init__(self, varnock, demo_tree, prepare=None):
        """prepare(directory), when given, changes the tree before the start."""
        self.work = tempfile.mkdtemp(prefix="varnock-e2e-")
        self.xvfb, self.display = start_xvfb()
        # Sound goes to the audio library's null output: the game plays its
        # sounds as on a machine with a sound card, and no one hears them.
        self.env = dict(os.environ, DISPLAY=self.display, SDL_VIDEODRIVER="x11",
                        LIBGL_ALWAYS_SOFTWARE="1", ALSOFT_DRIVERS="null")
        self.env.pop("VARNOCK_DRIVE_C", None)
        self.process = None
        subprocess.run([demo_tree, self.work], check=True, timeout=60)
        if prepare:
            prepare(self.work)
        self.output = open(os.path.join(self.work, "output.txt"), "wb")
        self.process = subprocess.Popen([varnock], cwd=self.work, env=self.env, stdout=self.output,
                                        stderr=subprocess.STDOUT)
        try:
            self.window = int(wait_for("the game window",
                                       lambda: self.xdotool("search", "--name", "^Varnock").split("\n")[0]))
        except BaseException:
            # No with statement holds the game yet to show what it said and
            # end it.
            self.report()
            self.end()
            raise

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True,
                              timeout=20).stdout.strip()

    def key(self, *keys):
        self.xdotool("windowfocus", "--sync", str(self.window))
        self.xdotool("key", *keys)

    def click_button(self, button):
        """A click in the middle of the menu button `button` (of BUTTONS).
        The menu takes a click on the button the pointer lit, so the pointer
        first moves onto the button's corner: it may stand on the middle
        already, and would then light nothing."""
        x, y, w, h = BUTTONS[button]
        self.move(x + 2, y + 2)
        time.sleep(0.1)
        self.click(x + w // 2, y + h // 2)

    def hold(self, key, seconds):
        """Holds the key down for `seconds`, as a player holds a key."""
        self.xdotool("keydown", "--window", str(self.window), key)
        time.sleep(seconds)
        self.xdotool("keyup", "--window", str(self.window), key)

    def move(self, x, y):
        self.xdotool("mousemove", "--window", str(self.window), str(x), str(y))

    def click(self, x, y):
        self.move(x, y)
        time.sleep(0.2)
        self.xdotool("click", "1")

    def screenshot(self):
        """The window's pixels as (width, height, rows of (r, g, b))."""
        data = subprocess.run(["xwd", "-silent", "-id", str(self.window)], env=self.env,
                              capture_output=True, timeout=20).stdout
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

    def wait_for_screen(self, what, test, timeout=20.0):
        """The first screenshot that passes test."""
        return wait_for(what, lambda: (lambda s: s if s and test(s) else None)(self.screenshot()),
                        timeout=timeout, step=0.25)

    def log(self):
        try:
            with open(os.path.join(self.work, "debug.txt"), errors="replace") as log:
                return log.read()
        except OSError:
            return ""

    def file(self, name):
        with open(os.path.join(self.work, name)) as text:
            return text.read()

    def close(self):
        close_window(self.display, self.window)

    def printed(self):
        """What the program wrote to stdout and stderr so far."""
        with open(os.path.join(self.work, "output.txt"), errors="replace") as output:
            return output.read()

    def terminate(self, signal_number):
        """Sends the signal and waits (generously) for the end; the exit code."""
        self.process.send_signal(signal_number)
        try:
            return self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within 20 s of signal %d" % signal_number)

    def report(self):
        print("---- debug.txt ----\n" + self.log()[-4000:], file=sys.stderr)
        try:
            print("---- output ----\n" + self.printed()[-2000:], file=sys.stderr)
        except OSError:
            pass

    def __enter__(self):
        return self

    def __exit__(self, kind, value, traceback):
        if kind is not None:
            self.report()
        self.end()
        return False

    def end(self):
        if self.process is not None and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.xvfb.terminate()
        self.xvfb.wait()
        shutil.rmtree(self.work, ignore_errors=True)

    def check_clean_exit(self, notices, max_warnings=0):
        """Exit code 0, the notices in debug.txt, no error, at most
        `max_warnings` warnings, and the configuration file written again."""
        code = self.process.wait(timeout=30)
        if code != 0:
            raise Failure("the program ended with exit code %d" % code)
        log = self.log()
        for notice in notices:
            if notice not in log:
                raise Failure("debug.txt lacks the notice " + repr(notice))
        errors = [line for line in log.splitlines() if line.startswith("ERROR")]
        warnings = [line for line in log.splitlines() if line.startswith("WARNING")]
        if errors or len(warnings) > max_warnings:
            raise Failure("debug.txt has %d errors and %d warnings (at most %d):\n%s" %
                          (len(errors), len(warnings), max_warnings,
                           "\n".join((errors + warnings)[:20])))
        text = self.file("varnock.cfg")
        for line in ("21", "124", "//  [gameglobals]", "//  [d3dxframe]", "//  [sound]", "//  [dxinput]"):
            if line not in text:
                raise Failure("varnock.cfg lacks " + repr(line))
        return text


def main(doc, run):
    """Runs run(varnock, demo_tree, output_directory) with the usual checks."""
    if len(sys.argv) not in (3, 4):
        print(doc)
        return 2
    if not shutil.which("Xvfb") or not shutil.which("xdotool") or not shutil.which("xwd"):
        print("skipped: Xvfb, xdotool or xwd is not installed")
        return SKIP
    output = sys.argv[3] if len(sys.argv) == 4 else None
    if output:
        os.makedirs(output, exist_ok=True)
    try:
        run(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), output)
    except (Failure, subprocess.SubprocessError) as error:
        print("FAILED: %s" % error, file=sys.stderr)
        return 1
    return 0
