"""What the end-to-end tests share: a private Xvfb, the game started on a
fresh demo tree, input with xdotool, screenshots of the window (xwd), PNG
files of them, the log, the frames the game has run, and the message boxes
it shows.

Time on the test's side is counted in the game's frames, not in seconds: a
loaded machine runs fewer frames a second, and a wait of a fixed time then
proves less (a check that something did not happen) or runs out (a wait for
something that takes the game so many frames). The game writes the number
of each frame it runs to the file that VARNOCK_FRAME_LOG names
(winmain_open_frame_log). Seconds remain only where the game runs no
frames: it has not drawn its first one yet, a dialog or box of its own is
open, or it is ending; there a generous bound catches a game that hangs.

The game's message boxes (MessageBox: SDL's native box on X11, a window of
its own beside the game's, its title the box's caption) wait for a click,
and the game runs no frame meanwhile. Every wait here answers any such box
as a player would (Return, the box's one button, OK) and fails the test
when the test did not expect it. They are:
  "Error During Session" / "Warning During Session": the session report,
      at exit when the log has errors (else warnings): "There were N errors
      during this session. Check the debug file." (winmain2.cpp);
  "D3DX Error": a texture surface the device could not make
      (d3dtextr_dx7.cpp through d3dxframe_display_error);
  "Load Script List Not Loaded": the F6 dialog without its list
      (dialogs.cpp);
  "Game Data Not Found" / "Game Data Cannot Be Read": a start without the
      game's data, or with a data folder that cannot be read (winmain2.cpp);
  "Level Cannot Be Played": a level whose player could not be made, his
      model or state table not loaded (varnock.cpp);
and any other top-level window (SDL's own "Assertion Failed", say) counts
as an unexpected box. On X11 a box is a top-level window with the game's
window as WM_TRANSIENT_FOR, of the dialog type, its caption the title in
_NET_WM_NAME (and in WM_NAME of the type "UTF-8", which xdotool's search by
name does not read: XDisplay lists the windows).
SDL shows a box only where the X server has a font for it (xfonts-base and
the like); under an Xvfb with its built-in fonts alone the box cannot open
and its text goes to stderr instead, as it does when the game was asked to
end. So a box is expected "as a box or on stderr". The game's dialogs
(About/Help F1, display selection F2, options F3, load script F6) are drawn
inside the game window, are no X windows, and open only on those keys.

Exit code 77 (skipped) when Xvfb, xdotool or xwd is not installed, except
under CI (the variable CI set), where that fails the test, as a GL context
that cannot be made fails the GL unit tests there.
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

# Frames enough for input sent before them to have been handled, and its
# effect drawn: the game handles every message waiting (the X events read
# meanwhile) before it runs a frame, so the second frame after the input
# reached it has seen it.
SETTLE_FRAMES = 10
# The frames a wait for something the game should show gives it, at 60
# frames a second (the game's pace on Xvfb) 20 s of play.
WAIT_FRAMES = 1200
# Seconds without a frame (and without a box to answer) after which the game
# counts as hung: far above anything it takes to load a level, to open a
# dialog or to end, however loaded the machine.
STALL_SECONDS = 60.0


class Failure(Exception):
    pass


# Where a failing test leaves the window's last picture (main sets it to the
# screenshot directory): e2e_failed_NAME.png, NAME the test's.
failure_pictures = None


def wait_for(what, test, timeout=60.0, step=0.1):
    """For what runs no frames of the game: `timeout` seconds, a bound for a
    hang, not a measure of the machine's speed."""
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


class XDisplay:
    """A connection to the display through Xlib, for what xdotool cannot
    tell: the top-level windows with their titles in UTF-8 (SDL's message
    box gives WM_NAME the type "UTF-8", which xdotool's search by name does
    not read), and WM_DELETE_WINDOW sent to a window."""

    _x11 = None
    # An X error (a window gone between two requests) is no reason to end
    # the test, as Xlib's default handler would.
    _ignore_errors = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(
        lambda display, event: 0)

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class WindowAttributes(ctypes.Structure):
        _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                    ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                    ("depth", ctypes.c_int), ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong),
                    ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                    ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                    ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                    ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                    ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
                    ("all_event_masks", ctypes.c_long), ("your_event_mask", ctypes.c_long),
                    ("do_not_propagate_mask", ctypes.c_long), ("override_redirect", ctypes.c_int),
                    ("screen", ctypes.c_void_p)]

    @classmethod
    def library(cls):
        if cls._x11 is None:
            x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
            p, ul, i = ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int
            x11.XOpenDisplay.restype = p
            x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
            x11.XSetErrorHandler.argtypes = [p]
            x11.XDefaultRootWindow.restype = ul
            x11.XDefaultRootWindow.argtypes = [p]
            x11.XInternAtom.restype = ul
            x11.XInternAtom.argtypes = [p, ctypes.c_char_p, i]
            x11.XQueryTree.argtypes = [p, ul, ctypes.POINTER(ul), ctypes.POINTER(ul),
                                       ctypes.POINTER(ctypes.POINTER(ul)), ctypes.POINTER(ctypes.c_uint)]
            x11.XGetWindowAttributes.argtypes = [p, ul, ctypes.POINTER(cls.WindowAttributes)]
            x11.XGetWindowProperty.argtypes = [p, ul, ul, ctypes.c_long, ctypes.c_long, i, ul,
                                               ctypes.POINTER(ul), ctypes.POINTER(i), ctypes.POINTER(ul),
                                               ctypes.POINTER(ul), ctypes.POINTER(ctypes.c_void_p)]
            x11.XSendEvent.argtypes = [p, ul, i, ctypes.c_long, p]
            x11.XGetInputFocus.argtypes = [p, ctypes.POINTER(ul), ctypes.POINTER(i)]
            x11.XFlush.argtypes = [p]
            x11.XFree.argtypes = [p]
            x11.XCloseDisplay.argtypes = [p]
            x11.XSetErrorHandler(cls._ignore_errors)
            cls._x11 = x11
        return cls._x11

    def __init__(self, display):
        self.x11 = self.library()
        self.connection = self.x11.XOpenDisplay(display.encode())
        if not self.connection:
            raise Failure("cannot open the display " + display)
        self.root = self.x11.XDefaultRootWindow(self.connection)

    def atom(self, name):
        return self.x11.XInternAtom(self.connection, name.encode(), 0)

    def text_property(self, window, name):
        kind, size, count, left = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong()
        data = ctypes.c_void_p()
        if self.x11.XGetWindowProperty(self.connection, window, self.atom(name), 0, 1024, 0, 0,
                                       ctypes.byref(kind), ctypes.byref(size), ctypes.byref(count),
                                       ctypes.byref(left), ctypes.byref(data)) != 0 or not data.value:
            return None
        try:
            if size.value != 8:
                return None
            return ctypes.string_at(data.value, count.value).decode("utf-8", "replace")
        finally:
            self.x11.XFree(data)

    def shown_windows(self):
        """The top-level windows on screen: [(window, title)]."""
        root, parent, count = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_uint()
        children = ctypes.POINTER(ctypes.c_ulong)()
        if not self.x11.XQueryTree(self.connection, self.root, ctypes.byref(root), ctypes.byref(parent),
                                   ctypes.byref(children), ctypes.byref(count)):
            return []
        windows = [children[i] for i in range(count.value)]
        if children:
            self.x11.XFree(children)
        shown = []
        for window in windows:
            attributes = self.WindowAttributes()
            if not self.x11.XGetWindowAttributes(self.connection, window, ctypes.byref(attributes)):
                continue  # gone meanwhile
            if attributes.map_state != 2:  # IsViewable
                continue
            title = self.text_property(window, "_NET_WM_NAME") or self.text_property(window, "WM_NAME")
            shown.append((window, title or ""))
        return shown

    def input_focus(self):
        """The window that has the keyboard focus (0 none, 1 PointerRoot)."""
        window, revert = ctypes.c_ulong(), ctypes.c_int()
        self.x11.XGetInputFocus(self.connection, ctypes.byref(window), ctypes.byref(revert))
        return window.value

    def send_close(self, window):
        """What a window's close button does: WM_DELETE_WINDOW to its client."""
        event = (ctypes.c_long * 24)()
        message = self.ClientMessage.from_buffer(event)
        message.type = 33  # ClientMessage
        message.window = window
        message.message_type = self.atom("WM_PROTOCOLS")
        message.format = 32
        message.data[0] = self.atom("WM_DELETE_WINDOW")
        self.x11.XSendEvent(self.connection, window, 0, 0, ctypes.byref(event))
        self.x11.XFlush(self.connection)

    def close(self):
        if self.connection:
            self.x11.XCloseDisplay(self.connection)
            self.connection = None


def close_window(display, window):
    """What the window's close button does: WM_DELETE_WINDOW to the client."""
    connection = XDisplay(display)
    try:
        connection.send_close(window)
    finally:
        connection.close()


class FrameLog:
    """The frames the game has run, from the file its VARNOCK_FRAME_LOG
    names: one number a line, each line written whole after its frame."""

    def __init__(self, path):
        self.path = path
        self.count = 0
        self.offset = 0
        self.partial = b""

    def frames(self):
        try:
            with open(self.path, "rb") as log:
                log.seek(self.offset)
                data = log.read()
        except FileNotFoundError:
            return self.count
        self.offset += len(data)
        lines = (self.partial + data).split(b"\n")
        self.partial = lines.pop()  # a line not yet written whole
        for line in reversed(lines):
            if line:
                self.count = int(line)
                break
        return self.count

    def wait_for_frames(self, count, what, running):
        """Waits until `count` frames have run in all, while running() holds;
        fails when no frame comes for STALL_SECONDS."""
        last, since = self.frames(), time.monotonic()
        while self.frames() < count and running():
            if self.count != last:
                last, since = self.count, time.monotonic()
            elif time.monotonic() - since > STALL_SECONDS:
                raise Failure("%s ran no frame for %g s (%d of %d)" % (what, STALL_SECONDS, last, count))
            time.sleep(0.02)


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


class Row:
    """A row of a screenshot: pixel x is (r, g, b), read from the image's
    bytes when asked for (a whole picture decoded at once takes the test
    longer than the game takes to draw many frames)."""

    def __init__(self, data, start, width, little_endian):
        self.data, self.start, self.width, self.little_endian = data, start, width, little_endian

    def __len__(self):
        return self.width

    def __getitem__(self, x):
        if not 0 <= x < self.width:
            raise IndexError(x)
        at = self.start + 4 * x
        b0, b1, b2, b3 = self.data[at:at + 4]
        return (b2, b1, b0) if self.little_endian else (b1, b2, b3)

    def __iter__(self):
        return (self[x] for x in range(self.width))


class Rows:
    def __init__(self, data, start, bytes_per_line, width, height, little_endian):
        self.rows = [Row(data, start + y * bytes_per_line, width, little_endian) for y in range(height)]

    def __len__(self):
        return len(self.rows)

    def __getitem__(self, y):
        return self.rows[y]

    def __iter__(self):
        return iter(self.rows)


class Game:
    """The real varnock in a fresh directory holding the demo tree, on its
    own virtual display. Used in a with statement: on the way out the log
    and the program's output are shown after a failure, and the program,
    the display and the directory go."""

    def __init__(self, varnock, demo_tree, prepare=None, boxes=(), env=None):
        """prepare(directory), when given, changes the tree before the start;
        `boxes` are the titles of the boxes the start may show (expect_boxes);
        env, when given, adds to or replaces the program's environment."""
        self.work = tempfile.mkdtemp(prefix="varnock-e2e-")
        self.xvfb, self.display = start_xvfb()
        self.x = XDisplay(self.display)
        self.frame_log = FrameLog(os.path.join(self.work, "frames.txt"))
        # Sound goes to the audio library's null output: the game plays its
        # sounds as on a machine with a sound card, and no one hears them.
        self.env = dict(os.environ, DISPLAY=self.display, SDL_VIDEODRIVER="x11",
                        LIBGL_ALWAYS_SOFTWARE="1", ALSOFT_DRIVERS="null",
                        VARNOCK_FRAME_LOG=self.frame_log.path)
        self.env.pop("VARNOCK_DRIVE_C", None)
        self.env.update(env or {})
        self.process = None
        self.window = None
        # The boxes answered so far: [(title, expected)].
        self.boxes_answered = []
        # The titles of the boxes the test expects now (see expect_boxes).
        self.expected_boxes = tuple(boxes)
        self.last_frames = 0
        self.last_progress = time.monotonic()
        try:
            subprocess.run([demo_tree, self.work], check=True, timeout=60)
            if prepare:
                prepare(self.work)
            self.output = open(os.path.join(self.work, "output.txt"), "wb")
            self.process = subprocess.Popen([varnock], cwd=self.work, env=self.env,
                                            stdout=self.output, stderr=subprocess.STDOUT)
            found = wait_for("the game window",
                             lambda: self.game_window() or self.process.poll() is not None)
            if found is True:
                raise Failure("the game ended (exit code %d) before its window opened" %
                              self.process.returncode)
            self.window = found
            # The window has the focus (SDL gives it on showing the window,
            # or focus() does) before the game reads the event: past it.
            if self.x.input_focus() != self.window:
                self.xdotool("windowfocus", "--sync", str(self.window))
            self.settle_focus()
        except BaseException:
            # No with statement holds the game yet to show what it said and
            # end it.
            self.report()
            self.end()
            raise

    def game_window(self):
        for window, title in self.x.shown_windows():
            if title.startswith("Varnock"):
                return window
        return None

    # ---- frames and boxes

    def frames(self):
        """The frames the game has run so far."""
        return self.frame_log.frames()

    def expect_boxes(self, *titles):
        """From now on a box with one of these titles is answered without
        failing the test."""
        self.expected_boxes = titles

    def boxes(self):
        """The game's message boxes on screen: [(window, title)]."""
        return [(window, title) for window, title in self.x.shown_windows() if window != self.window]

    def answer_boxes(self):
        """Answers every box on screen as a player would (Return: OK), and
        fails on one the test does not expect, once it is answered. True
        when there was a box."""
        shown = self.boxes()
        for window, title in shown:
            expected = title in self.expected_boxes
            print("the game shows the box %r (%s); answering OK" %
                  (title, "expected" if expected else "UNEXPECTED"), file=sys.stderr)
            # Return again when the box is still there a second later (it
            # may not have been ready for the key); once it is gone the key
            # goes to the root window, which the box's focus falls back to.
            end = time.monotonic() + STALL_SECONDS
            while window in [w for w, _ in self.boxes()]:
                if time.monotonic() > end:
                    raise Failure("the box %r did not close on Return" % title)
                self.xdotool("windowfocus", "--sync", str(window), "key", "Return")
                try:
                    wait_for("the box to close", lambda: window not in [w for w, _ in self.boxes()],
                             timeout=1.0, step=0.05)
                except Failure:
                    pass
            self.boxes_answered.append((title, expected))
            if not expected:
                raise Failure("the game showed the unexpected box %r" % title)
        if shown:
            self.last_progress = time.monotonic()
        return bool(shown)

    def check_progress(self, what):
        """Boxes answered; fails when the game has run no frame for
        STALL_SECONDS. The frames run so far."""
        self.answer_boxes()
        frames = self.frames()
        now = time.monotonic()
        if frames != self.last_frames:
            self.last_frames, self.last_progress = frames, now
        elif now - self.last_progress > STALL_SECONDS:
            raise Failure("the game ran no frame for %g s while the test waited for %s" %
                          (STALL_SECONDS, what))
        return frames

    def wait_for(self, what, test, frames=WAIT_FRAMES, step=0.1):
        """The first true test(), within `frames` frames of the game (boxes
        answered meanwhile); fails when the game ends or hangs first."""
        start = self.check_progress(what)
        self.last_progress = time.monotonic()
        while True:
            result = test()
            if result:
                return result
            if self.process.poll() is not None:
                raise Failure("the game ended (exit code %d) while the test waited for %s" %
                              (self.process.returncode, what))
            if self.check_progress(what) - start >= frames:
                # One more look: the frames may have run since the last.
                result = test()
                if result:
                    return result
                raise Failure("%s did not come within %d frames" % (what, frames))
            time.sleep(step)

    def wait_frames(self, count):
        """Waits until the game has run `count` frames more."""
        target = self.frames() + count
        self.wait_for("%d frames to run" % count, lambda: self.frames() >= target, frames=count + 1,
                      step=0.02)

    def wait_for_screen(self, what, test, frames=WAIT_FRAMES):
        """The first screenshot that passes test."""
        return self.wait_for(what, lambda: (lambda s: s if s and test(s) else None)(self.screenshot()),
                             frames=frames, step=0.05)

    def wait_for_exit(self):
        """Waits for the program to end, answering boxes (the session report
        at exit, for one: expect_boxes); the exit code. The game runs no
        frames while it ends, so this is bounded in seconds."""
        end = time.monotonic() + STALL_SECONDS
        while self.process.poll() is None:
            if self.answer_boxes():
                end = time.monotonic() + STALL_SECONDS
            if time.monotonic() > end:
                raise Failure("the program did not end within %g s" % STALL_SECONDS)
            time.sleep(0.1)
        return self.process.returncode

    # ---- input

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True,
                              timeout=20).stdout.strip()

    def focus(self):
        """The keyboard focus on the game window, and the game past the
        change. SDL drops a click that it reads within 10 ms of the window's
        focus-in (the click that focused the window); a click sent right
        after the focus changed, or read with it in one go by a game busy
        with a frame, would be lost. So after a change the game runs two
        frames (the second starts after it has read the focus event), and
        10 ms more pass on the test's side, however long that takes."""
        self.answer_boxes()
        if self.x.input_focus() == self.window:
            return
        self.xdotool("windowfocus", "--sync", str(self.window))
        self.settle_focus()

    def settle_focus(self):
        self.wait_frames(2)
        time.sleep(0.02)

    def key(self, *keys):
        """The keys pressed one after the other, the game window focused."""
        self.focus()
        self.xdotool("key", *keys)

    def click_button(self, button):
        """A click in the middle of the menu button `button` (of BUTTONS).
        The menu takes a click on the button the pointer lit, so the pointer
        first moves onto the button's corner: it may stand on the middle
        already, and would then light nothing."""
        x, y, w, h = BUTTONS[button]
        self.click(x + w // 2, y + h // 2, via=(x + 2, y + 2))

    def hold(self, key, frames):
        """Holds the key down for `frames` frames of the game, as a player
        holds a key (the game reads the keys once a frame)."""
        self.answer_boxes()
        self.xdotool("keydown", "--window", str(self.window), key)
        try:
            self.wait_frames(frames)
        finally:
            self.xdotool("keyup", "--window", str(self.window), key)

    def move(self, x, y):
        self.focus()
        self.xdotool("mousemove", "--window", str(self.window), str(x), str(y))

    def click(self, x, y, via=None):
        """The pointer moves to (x, y) (through `via` first, when given) and
        clicks there. One xdotool run makes the moves and the click, so the
        game gets them in that order, and handles the move (a menu button
        lit) before the click, in a frame or in a dialog alike."""
        self.focus()
        moves = []
        for point in ([via] if via else []) + [(x, y)]:
            moves += ["mousemove", "--window", str(self.window), str(point[0]), str(point[1])]
        self.xdotool(*moves, "click", "1")

    # ---- what the game shows and writes

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
        if len(data) < start + bytes_per_line * height:
            return None
        return width, height, Rows(data, start, bytes_per_line, width, height, byte_order == 0)

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
        self.answer_boxes()
        self.x.send_close(self.window)

    def printed(self):
        """What the program wrote to stdout and stderr so far."""
        with open(os.path.join(self.work, "output.txt"), errors="replace") as output:
            return output.read()

    def terminate(self, signal_number):
        """Sends the signal and waits (generously) for the end; the exit code."""
        self.process.send_signal(signal_number)
        try:
            return self.process.wait(timeout=STALL_SECONDS)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within %g s of signal %d" % (STALL_SECONDS, signal_number))

    def report(self):
        if self.process is None:
            return
        if failure_pictures and self.window and self.process.poll() is None:
            name = os.path.splitext(os.path.basename(sys.argv[0]))[0]
            path = os.path.join(failure_pictures, "e2e_failed_%s.png" % name)
            try:
                shot = self.screenshot()
                if shot:
                    write_png(path, shot)
                    print("the window's last picture: " + path, file=sys.stderr)
            except (Failure, subprocess.SubprocessError, OSError):
                pass
        print("---- frames run: %d ----" % self.frames(), file=sys.stderr)
        print("---- debug.txt ----\n" + self.log()[-4000:], file=sys.stderr)
        try:
            print("---- output ----\n" + self.printed()[-2000:], file=sys.stderr)
        except OSError:
            pass
        if self.boxes_answered:
            print("---- boxes answered ----\n" + "\n".join(
                "%r%s" % (title, "" if expected else " (unexpected)")
                for title, expected in self.boxes_answered), file=sys.stderr)

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
        self.x.close()
        self.xvfb.terminate()
        self.xvfb.wait()
        shutil.rmtree(self.work, ignore_errors=True)

    def told(self, caption):
        """How the box `caption` reached the player: "box" when it was
        answered, "stderr" when its text went there (no font for a box), or
        None when neither happened yet."""
        if any(title == caption for title, _ in self.boxes_answered):
            return "box"
        if caption + ": " in self.printed():
            return "stderr"
        return None

    def session_report(self):
        """How the session report reached the player, as the log calls for
        it: (caption, "box" or "stderr"), or None when the log has no error
        and no warning. The game shows it as a box where it can, else on
        stderr."""
        lines = self.log().splitlines()
        errors = sum(1 for line in lines if line.startswith("ERROR"))
        warnings = sum(1 for line in lines if line.startswith("WARNING"))
        if not errors and not warnings:
            return None
        caption = "Error During Session" if errors else "Warning During Session"
        how = self.told(caption)
        if how:
            return caption, how
        raise Failure("the log has %d errors and %d warnings, and no session report reached the "
                      "player (no box %r, nothing on stderr)" % (errors, warnings, caption))

    def check_clean_exit(self, notices, max_warnings=0):
        """Exit code 0, the notices in debug.txt, no error, at most
        `max_warnings` warnings, and the configuration file written again.
        The session report that warnings bring at exit is answered."""
        self.expect_boxes("Warning During Session")
        code = self.wait_for_exit()
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
        report = self.session_report()
        if report:
            print("the session report of %d warnings reached the player (%s)" % (len(warnings), report[1]))
        text = self.file("varnock.cfg")
        for line in ("21", "124", "//  [gameglobals]", "//  [d3dxframe]", "//  [sound]", "//  [dxinput]"):
            if line not in text:
                raise Failure("varnock.cfg lacks " + repr(line))
        return text


def display_tools_missing():
    """Why the end-to-end tests cannot run here, or None."""
    missing = [tool for tool in ("Xvfb", "xdotool", "xwd") if not shutil.which(tool)]
    if missing:
        return "%s not installed" % ", ".join(missing)
    return None


def main(doc, run):
    """Runs run(varnock, demo_tree, output_directory) with the usual checks."""
    if len(sys.argv) not in (3, 4):
        print(doc)
        return 2
    missing = display_tools_missing()
    if missing:
        # One policy with the GL unit tests: under CI what the test needs
        # must be there.
        if os.environ.get("CI") is not None:
            print("FAILED: %s (tools/setup.sh installs them); CI is set, so this fails "
                  "instead of skipping" % missing, file=sys.stderr)
            return 1
        print("skipped: " + missing)
        return SKIP
    output = sys.argv[3] if len(sys.argv) == 4 else None
    if output:
        os.makedirs(output, exist_ok=True)
        global failure_pictures
        failure_pictures = output
    try:
        run(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), output)
    except (Failure, subprocess.SubprocessError) as error:
        print("FAILED: %s" % error, file=sys.stderr)
        return 1
    return 0
