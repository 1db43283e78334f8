#!/usr/bin/python3
"""Soak run of one program (the Windows program under Wine, or the Linux
program) linked to the demo device for a long time, with a user and a cable
that misbehave; scripts/soak prepares the builds and runs this once per
program.

    soak.py windows|linux WORK SECONDS SEED

Design. The script plays every other part itself, on an X display of its
own (Xvfb):

- The line. The script owns both pseudo-terminal pairs and relays between
  them (Relay): the demo device (`zezodavoru-cli demo`) opens the slave of
  one pair, the program the slave of the other, reached through a fixed link
  name (WORK/line; for Wine, COM5 of the prefix names that link). Every byte
  the program is given is logged with its time, so the whole history of
  what the program read is known exactly: pulling the cable first holds the
  relay, waits until the program has read what it was given (the slave's
  input count, FIONREAD), and only then closes both pairs; bytes it did not
  read are cut from the log. A restored cable is a fresh pair of pairs under
  the same names; the device is started only once the program holds the new
  port (seen in /proc/PID/fd) and its 400 ms settling time is over (plus a
  margin), so nothing is discarded that the log counts.
- The user. Random keys (arrows, Enter, Escape, letters, F1, F12,
  Backspace) with xdotool into the focused window; now and then the setup
  dialog (Windows: a right click, then the dialog's controls through the
  end-to-end tests' UI driver) or the menu (Linux: a right click, then the
  menu's keyboard) to change the colours or the size, or to look and close.
  One thread does all of it, so no key lands in a dialog.
- The end. Keys, dialogs and pulls stop; the program must answer (a message
  round trip on Windows, the window found and captured by xdotool and
  import), and a key must still reach the device. The relay then holds at a
  moment the line is idle, the program reads the rest and the device is
  stopped without pulling the cable, so the screen stays as it was. The
  window must equal, pixel for pixel over the picture, what
  `zezodavoru-cli replay` draws for the whole logged history (with the
  program's 100 ms timer ticks placed by time; for the Windows program the
  488 x 180 picture scaled as Wine's StretchDIBits scales it): once as
  painted, once after a forced repaint (the dialog's "Done", or the current size chosen again in
  the menu). Replaying only the last device session is also tried and
  reported: state that the device's reset keeps (overrides, custom
  characters, the busy indicator's place in its cycle) or a command cut by a
  pull can carry over from earlier sessions, so it need not agree
  (tests/soak/carry_over.py shows each case with the replay tool alone).
- Memory and time: the program's RSS (for Wine the process that hosts
  zezodavoru.exe) from /proc after the first minute and at the end (no more
  than 10 % growth), its CPU seconds.

Prints a summary (also WORK/summary.txt) and exits 1 when a check failed.
Environment: ZEZ_CLI; ZEZ_PROGRAM (Linux); ZEZ_EXE, ZEZ_DRIVER, WINEPREFIX
(Windows); ZEZ_TITLE (the main window's title); ZEZ_SOAK_PULL_PERIOD
(seconds between pulls, 60).
"""

import fcntl
import os
import queue
import random
import select
import signal
import struct
import subprocess
import sys
import termios
import threading
import time
import tty

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
from zez_testlib import (  # noqa: E402
    ID_BLACK_ON_GREEN as ID_GREEN, ID_CANCEL, ID_DONE, ID_LINK_TEXT, ID_SIZE,
    ID_WHITE_ON_BLUE as ID_BLUE, MAIN_TITLE, PICTURE, SETUP_SUFFIX, Driver, Processes, open_setup,
    grab, grab_area, link_com_port, prefix_processes, proc_stat, program_folder,
    replay_png, settings_bytes, unlink_com_port, wait_until, xdo)

KIND = sys.argv[1]
WORK = os.path.abspath(sys.argv[2])
SECONDS = float(sys.argv[3])
SEED = int(sys.argv[4])
CLI = os.environ["ZEZ_CLI"]
TITLE = os.environ.get("ZEZ_TITLE", MAIN_TITLE)
PULL_PERIOD = float(os.environ.get("ZEZ_SOAK_PULL_PERIOD", "60"))

COM = 5
SETTLE_MARGIN = 1.0       # after the program holds the port: its 400 ms, and room
RELINK_LIMIT = 2.0        # a restored cable must be held again within this
NOTICE_LIMIT = 10.0       # a pulled cable must be let go within this
RSS_GROWTH_LIMIT = 1.10
TICK = 0.1                # the programs' timer period

# Keys and the codes the device receives for their presses.
KEYS = (["Up", "Down", "Left", "Right"] * 3 + ["Return"] * 3 + ["Escape"] * 2 +
        ["BackSpace"] * 2 + ["F1", "F12"] + list("abcdefghijklmnopqrstuvwxyz"[::2]))

SETUP = TITLE + SETUP_SUFFIX

rng = random.Random(f"{KIND} {SEED}")  # the two programs get different choices
failures = []
os.makedirs(WORK, exist_ok=True)
log_file = open(os.path.join(WORK, "soak.log"), "a")
T0 = time.monotonic()


def log(text):
    log_file.write(f"{time.monotonic() - T0:8.2f} {text}\n")
    log_file.flush()


def fail(text):
    failures.append(text)
    log("FAIL " + text)


# ---------------------------------------------------------------- processes

# Every process started here, listed in WORK/pids for the shell's trap.
processes = Processes(WORK, log, output_to_log=True)
spawn, stop, started = processes.spawn, processes.stop, processes.started


def start_display():
    """An Xvfb display of this run's own: the first free number from 140.
    Two runs may try one number at once; the display is ours only when its
    lock file names our server."""
    for n in range(140, 200):
        lock = f"/tmp/.X{n}-lock"
        if os.path.exists(lock):
            continue
        x = spawn(["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"])
        env = dict(os.environ, DISPLAY=f":{n}")

        def ours():
            try:
                with open(lock) as f:
                    owner = int(f.read().strip() or 0)
            except (OSError, ValueError):
                owner = 0
            return owner == x.pid and subprocess.run(["xdpyinfo"], env=env,
                                                     capture_output=True).returncode == 0
        if wait_until(lambda: x.poll() is not None or ours(), 10, 0.1) and x.poll() is None and ours():
            os.environ["DISPLAY"] = f":{n}"
            log(f"display :{n}")
            return x
        stop(x)
    sys.exit("no X display could be started")


def holds(pids, path):
    """Whether one of the processes has `path` open."""
    for pid in pids:
        try:
            entries = os.listdir(f"/proc/{pid}/fd")
        except OSError:
            continue
        for entry in entries:
            try:
                if os.readlink(f"/proc/{pid}/fd/{entry}") == path:
                    return True
            except OSError:
                pass
    return False


# -------------------------------------------------------------------- line

def symlink(target, link):
    tmp = link + ".new"
    if os.path.lexists(tmp):
        os.unlink(tmp)
    os.symlink(target, tmp)
    os.replace(tmp, link)


def open_pair():
    master, slave = os.openpty()
    tty.setraw(slave)
    os.set_blocking(master, False)
    return master, slave


class Relay(threading.Thread):
    """The cable: relays device bytes to the program and key codes back,
    between two pseudo-terminal pairs it owns, and logs what passed. All
    descriptor work happens on this thread; the main thread asks for it
    through call()."""

    def __init__(self):
        super().__init__(daemon=True)
        self.device_link = os.path.join(WORK, "device")
        self.program_link = os.path.join(WORK, "line")
        self.requests = queue.Queue()
        self.wake_r, self.wake_w = os.pipe()
        self.dm = self.ds = self.pm = self.ps = None
        self.program_tty = None
        self.forwarding = False
        self.pending = bytearray()   # taken from the device, not yet by the pty
        self.chunks = []             # (time, bytes) the program was given, in order
        self.sessions = []           # index into chunks where each device session began
        self.keys = []               # (time, code) passed on to the device
        self.keys_dropped = 0        # codes that came while no device listened
        self.bytes_dropped = 0       # device bytes that came while held
        self.cut = 0                 # bytes given but never read (pulled first)
        self.last_rx = 0.0
        self.idle_hold = None        # (gap, event)
        self.lock = threading.Lock()

    def call(self, fn, *args):
        done = threading.Event()
        box = []
        self.requests.put((fn, args, box, done))
        os.write(self.wake_w, b"x")
        if not done.wait(10):
            raise RuntimeError("the relay did not answer")
        return box[0]

    def run(self):
        while True:
            fds = [self.wake_r] + [fd for fd in (self.dm, self.pm) if fd is not None]
            want_write = [self.pm] if self.pm is not None and self.pending else []
            readable, _, _ = select.select(fds, want_write, [], 0.05)
            now = time.monotonic()
            if self.wake_r in readable:
                os.read(self.wake_r, 256)
            while not self.requests.empty():
                fn, args, box, done = self.requests.get()
                box.append(fn(*args))
                done.set()
            if self.dm is not None and self.dm in readable:
                self._from_device(now)
            if self.pm is not None and self.pm in readable:
                self._from_program(now)
            if self.pm is not None and self.pending:
                self._to_program(now)
            if self.idle_hold and not self.pending and now - self.last_rx >= self.idle_hold[0]:
                self.forwarding = False
                self.idle_hold[1].set()
                self.idle_hold = None

    def _read(self, fd):
        try:
            return os.read(fd, 4096)
        except (BlockingIOError, OSError):
            return b""

    def _from_device(self, now):
        data = self._read(self.dm)
        if not data:
            return
        self.last_rx = now
        if self.forwarding:
            self.pending += data
        else:
            self.bytes_dropped += len(data)

    def _to_program(self, now):
        try:
            n = os.write(self.pm, self.pending)
        except (BlockingIOError, OSError):
            return
        with self.lock:
            self.chunks.append((now, bytes(self.pending[:n])))
        del self.pending[:n]

    def _from_program(self, now):
        data = self._read(self.pm)
        for code in data:
            if self.forwarding and self.dm is not None:
                try:
                    os.write(self.dm, bytes([code]))
                except OSError:
                    pass
                with self.lock:
                    self.keys.append((now, code))
            else:
                self.keys_dropped += 1

    # ---- requests, run on this thread

    def plug(self):
        self.dm, self.ds = open_pair()
        self.pm, self.ps = open_pair()
        self.program_tty = os.ttyname(self.ps)
        symlink(os.ttyname(self.ds), self.device_link)
        symlink(self.program_tty, self.program_link)
        return self.program_tty

    def begin_session(self):
        with self.lock:
            self.sessions.append(len(self.chunks))
        self.forwarding = True
        self.last_rx = time.monotonic()

    def hold(self):
        self.forwarding = False
        self.bytes_dropped += len(self.pending)
        self.pending.clear()

    def hold_when_idle(self, gap, event):
        self.idle_hold = (gap, event)

    def unread(self):
        """Bytes given to the program that it has not read yet."""
        buf = struct.pack("i", 0)
        return struct.unpack("i", fcntl.ioctl(self.ps, termios.FIONREAD, buf))[0]

    def unplug(self, unread):
        """Removes both pairs and their names; the last `unread` bytes
        given are cut from the log."""
        self.hold()
        with self.lock:
            self.cut += unread
            while unread > 0 and self.chunks:
                t, data = self.chunks[-1]
                if len(data) <= unread:
                    unread -= len(data)
                    self.chunks.pop()
                else:
                    self.chunks[-1] = (t, data[:len(data) - unread])
                    unread = 0
        for link in (self.device_link, self.program_link):
            if os.path.lexists(link):
                os.unlink(link)
        for fd in (self.dm, self.ds, self.pm, self.ps):
            os.close(fd)
        self.dm = self.ds = self.pm = self.ps = None

    # ---- for the main thread

    def drained(self, limit=1.5):
        """Waits until the program has read everything given (twice in a
        row, so bytes still on their way into the slave count); the bytes it
        left unread."""
        end = time.monotonic() + limit
        zeros = 0
        left = self.call(self.unread)
        while time.monotonic() < end:
            time.sleep(0.03)
            left = self.call(self.unread)
            zeros = zeros + 1 if left == 0 else 0
            if zeros >= 2:
                return 0
        return left

    def key_count(self):
        with self.lock:
            return len(self.keys)

    def keys_since(self, index):
        with self.lock:
            return [code for _, code in self.keys[index:]]

    def history(self):
        with self.lock:
            return list(self.chunks), list(self.sessions)


def hex_stream(chunks, ticks_from):
    """Hex text for replay: the chunks in order, with a 't' for every 100 ms
    of the program's timer that passed before each."""
    out = [f"# soak history, {sum(len(d) for _, d in chunks)} bytes"]
    next_tick = ticks_from + TICK
    for t, data in chunks:
        n = 0
        while next_tick <= t:
            n += 1
            next_tick += TICK
        if n:
            out.append(" ".join("t" * n))
        out.append(data.hex(" "))
    return "\n".join(out) + "\n"


# ----------------------------------------------------------------- pictures

def replay_picture(name, text, scheme, size, scaled_by_gdi=False):
    """The picture replay draws for a hex stream: at the preset's size, or
    (scaled_by_gdi) at 488 x 180 and then scaled as GDI's StretchDIBits
    does under Wine."""
    path = os.path.join(WORK, f"{name}.hex")
    png = os.path.join(WORK, f"{name}.png")
    with open(path, "w") as f:
        f.write(text)
    options = ["--hex", "--ticks", 30, "--scheme", scheme] + ([] if scaled_by_gdi else ["--size", size])
    picture, error = replay_png(CLI, path, png, options)
    if picture is None:
        fail(f"replay of {name} failed: {error}")
        return None
    if scaled_by_gdi:
        picture = gdi_scale(picture, *PICTURE[size])
        picture.save(png)
    return picture


def gdi_axis(source, target, keep_last):
    """For each target pixel along one axis, the source pixel that Wine's
    StretchDIBits (COLORONCOLOR) puts there: a Bresenham walk with a
    midpoint error term. Where several source pixels fall on one target
    pixel (shrinking), a row keeps the last of them, and of rows the first
    is kept."""
    picks = [0] * target
    if source > target:
        err, t, merged = 3 * target - 2 * source, 0, 0
        for s in range(source):
            if t < target and (keep_last or merged == 0):
                picks[t] = s
            merged += 1
            if err > 0:
                t += 1
                merged = 0
                err += 2 * target - 2 * source
            else:
                err += 2 * target
    else:
        err, s = 3 * source - 2 * target, 0
        for t in range(target):
            picks[t] = s
            if err > 0:
                s += 1
                err += 2 * source - 2 * target
            else:
                err += 2 * source
    return picks


def gdi_scale(picture, width, height):
    columns = gdi_axis(picture.width, width, keep_last=True)
    rows = gdi_axis(picture.height, height, keep_last=False)
    src = picture.tobytes()
    out = bytearray()
    for y in rows:
        line = src[3 * y * picture.width:3 * (y + 1) * picture.width]
        for x in columns:
            out += line[3 * x:3 * x + 3]
    return Image.frombytes("RGB", (width, height), bytes(out))


def differences(shot, picture):
    """Pixels that differ over the area both cover, and the first one."""
    w, h = min(shot.width, picture.width), min(shot.height, picture.height)
    a = shot.crop((0, 0, w, h)).tobytes()
    b = picture.crop((0, 0, w, h)).tobytes()
    if a == b:
        return 0, None
    count = 0
    first = None
    for i in range(0, len(a), 3):
        if a[i:i + 3] != b[i:i + 3]:
            count += 1
            if first is None:
                first = ((i // 3) % w, (i // 3) // w, tuple(a[i:i + 3]), tuple(b[i:i + 3]))
    return count, first


# ----------------------------------------------------------------- programs

class Program:
    """What the soak needs of either program."""
    name = ""
    scheme = 1
    size = 4
    process = None
    dialogs = 0
    changes = 0

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def port_holders(self):
        return [self.process.pid]

    def window_id(self):
        found = xdo("search", "--onlyvisible", "--name", f"^{TITLE}( |$)").split()
        return found[0] if found else None

    def centre(self):
        r = self.client_rect()
        return None if r is None else (r[0] + r[2] // 2, r[1] + r[3] // 2)

    def focus(self):
        c = self.centre()
        if c:
            xdo("mousemove", *c, "click", "1")
            time.sleep(0.1)

    def press(self, key):
        xdo("key", key)


class WindowsProgram(Program):
    name = "Windows program (zezodavoru.exe under Wine)"
    answer_check = "answers a message"

    def start(self):
        self.scheme = rng.choice([0, 1])
        self.size = rng.randint(1, 4)
        self.folder = os.path.join(WORK, "program")
        self.exe = program_folder(self.folder, os.environ["ZEZ_EXE"],
                                  settings_bytes(COM, self.scheme, self.size))
        link_com_port(os.environ["WINEPREFIX"], COM, os.path.join(WORK, "line"))
        self.driver = Driver(processes, os.environ["ZEZ_DRIVER"])
        if self.driver.ask("find", TITLE, timeout=120) != "none":
            fail("the UI driver does not run under Wine")
        self.process = spawn(["wine", self.exe, str(COM)], cwd=self.folder)
        return self.driver.ask("wait", TITLE, 30000, timeout=40) == "ok"

    def port_holders(self):
        return [self.process.pid] + self.wineservers()

    def wineservers(self):
        return prefix_processes(os.environ["WINEPREFIX"], "wineserver")

    def client_rect(self):
        return self.driver.rect(TITLE)

    def answers(self):
        return self.driver.ask("ping", TITLE, 5000) == "ok"

    def screenshot(self):
        r = self.client_rect()
        return None if r is None else grab_area(r)

    def settings_visit(self, change=True, done=None):
        """A right click opens the setup dialog; maybe other colours or size;
        then "Done" or "Cancel". False if the dialog did not open or close."""
        c = self.centre()
        if c is None:
            return False
        if not open_setup(self.driver, c, SETUP):
            fail("a right click did not open the setup dialog")
            return False
        self.dialogs += 1
        link = self.driver.ask("text", SETUP, ID_LINK_TEXT)
        if link != "Qor Linked":
            fail(f'the setup dialog says "{link}" while the device is linked')
        scheme, size = self.scheme, self.size
        if change and rng.random() < 0.5:
            scheme = rng.choice([0, 1])
            self.driver.ask("click", SETUP, ID_GREEN if scheme else ID_BLUE)
            wait_until(lambda: self.driver.ask("checked", SETUP, ID_GREEN if scheme else ID_BLUE) == "1", 3,
                       0.05)
        if change and rng.random() < 0.5:
            size = rng.randint(1, 4)
            self.driver.ask("select", SETUP, ID_SIZE, size - 1)
        time.sleep(rng.uniform(0.2, 1.5))
        done = rng.random() < 0.7 if done is None else done
        self.driver.ask("click", SETUP, ID_DONE if done else ID_CANCEL)
        if self.driver.ask("gone", SETUP, 10000) != "ok":
            fail("the setup dialog did not close")
            return False
        if done and (scheme, size) != (self.scheme, self.size):
            self.changes += 1
            self.scheme, self.size = scheme, size
            log(f"settings: scheme {scheme}, size {size}")
        return True

    def force_repaint(self):
        return self.settings_visit(change=False, done=True)

    def close(self):
        if self.alive():
            self.driver.ask("close", TITLE)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                fail("the program did not end when its window was closed")
        if self.driver.ask("find", "Program Error") not in ("none", None):
            fail("a crash dialog is showing")
        self.driver.close()
        unlink_com_port(os.environ["WINEPREFIX"], COM)


class LinuxProgram(Program):
    name = "Linux program (Qt)"
    answer_check = "title shows the link"

    def start(self):
        self.scheme = rng.choice([0, 1, 2])
        self.size = rng.randint(1, 4)
        runtime = os.path.join(WORK, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(WORK, "config"), XDG_RUNTIME_DIR=runtime)
        self.process = spawn([os.environ["ZEZ_PROGRAM"], "--port", os.path.join(WORK, "line"),
                              "--scheme", str(self.scheme), "--size", str(self.size)], env=env)
        self.wid = wait_until(self.window_id, 20, 0.1)
        return self.wid is not None

    def client_rect(self):
        out = xdo("getwindowgeometry", "--shell", self.wid)
        try:
            v = dict(line.split("=") for line in out.splitlines())
            return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])
        except (KeyError, ValueError):
            return None

    def answers(self):
        # A round trip through the program: its title tells the link state.
        return "linked" in xdo("getwindowname", self.wid)

    def screenshot(self):
        return grab(self.wid)

    def popups(self):
        return len(xdo("search", "--onlyvisible", "--class", "zezodavoru").split()) - 1

    def settings_visit(self, change=True, choose_size=None):
        """A right click opens the menu; maybe other colours or size through
        its keyboard, else Escape."""
        c = self.centre()
        if c is None:
            return False
        xdo("mousemove", *c, "click", "3")
        if not wait_until(lambda: self.popups() >= 1, 5, 0.1):
            fail("a right click did not open the menu")
            return False
        self.dialogs += 1
        time.sleep(rng.uniform(0.2, 1.0))
        what = rng.choice(["look", "colours", "size"]) if change else "size"
        if what == "look":
            xdo("key", "Escape")
        elif what == "colours":
            scheme = rng.choice([1, 0])
            # The last items: Colours, Size, Quit; "Green" then "Blue".
            xdo("key", "Up", "Up", "Up", "Right")
            if not wait_until(lambda: self.popups() >= 2, 3, 0.1):
                fail("the colours submenu did not open")
            xdo("key", *(["Down"] if scheme == 0 else []), "Return")
            if scheme != self.scheme:
                self.changes += 1
                self.scheme = scheme
        else:
            size = rng.randint(1, 4) if choose_size is None else choose_size
            xdo("key", "Up", "Up", "Right")
            if not wait_until(lambda: self.popups() >= 2, 3, 0.1):
                fail("the size submenu did not open")
            xdo("key", *(["Down"] * (size - 1)), "Return")
            if size != self.size:
                self.changes += 1
                self.size = size
        if not wait_until(lambda: self.popups() == 0, 5, 0.1):
            fail("the menu did not close")
            xdo("key", "Escape", "Escape")
            return False
        want = PICTURE[self.size]
        if not wait_until(lambda: (self.client_rect() or (0, 0, 0, 0))[2:] == want, 5, 0.1):
            fail(f"the window is not {want[0]} x {want[1]} after choosing size {self.size}")
        log(f"menu: {what}; scheme {self.scheme}, size {self.size}")
        return True

    def force_repaint(self):
        return self.settings_visit(change=False, choose_size=self.size)

    def close(self):
        stop(self.process)


# --------------------------------------------------------------------- soak

class Soak:
    def __init__(self, program):
        self.program = program
        self.relay = Relay()
        self.demo = None
        self.keys_sent = 0
        self.pulls = 0
        self.relinks = []
        self.notices = []
        self.rss = []   # (seconds since start, kB)
        self.started_at = None

    def seed(self):
        return rng.randint(1, 2 ** 31 - 1)

    def device_up(self, since):
        """Waits until the program holds the new port, then starts the
        device once its settling time is over; the time it took to relink,
        or None."""
        tty_path = self.relay.program_tty
        if not wait_until(lambda: holds(self.program.port_holders(), tty_path), 15, 0.02):
            fail("the program did not open the restored port within 15 s")
            return None
        took = time.monotonic() - since
        time.sleep(SETTLE_MARGIN)
        self.relay.call(self.relay.begin_session)
        self.demo = spawn([CLI, "demo", self.relay.device_link, "--seed", str(self.seed())])
        return took

    def pull(self):
        """The cable out for one to three seconds, and back."""
        self.relay.call(self.relay.hold)
        unread = self.relay.drained()
        old = self.relay.program_tty
        self.relay.call(self.relay.unplug, unread)
        pulled = time.monotonic()
        stop(self.demo)
        self.pulls += 1
        if wait_until(lambda: not holds(self.program.port_holders(), old), NOTICE_LIMIT, 0.02):
            self.notices.append(time.monotonic() - pulled)
        else:
            # Restored all the same, so that the run goes on and shows
            # whether the link ever comes back.
            fail(f"the program still held the pulled port after {NOTICE_LIMIT:.0f} s")
            self.notices.append(NOTICE_LIMIT)
        time.sleep(rng.uniform(1.0, 3.0))
        self.relay.call(self.relay.plug)
        restored = time.monotonic()
        took = self.device_up(restored)
        if took is not None:
            self.relinks.append(took)
            log(f"pull {self.pulls}: {unread} bytes unread, let go after {self.notices[-1]:.2f} s, "
                f"relinked {took:.2f} s after the restore")
            if took > RELINK_LIMIT:
                fail(f"relink {self.pulls} took {took:.2f} s")

    def sample(self):
        cpu, rss = proc_stat(self.program.process.pid)
        self.rss.append((time.monotonic() - self.started_at, rss))

    def run(self):
        program = self.program
        self.relay.start()
        self.relay.call(self.relay.plug)
        start = time.monotonic()
        if not program.start():
            fail("the program's window did not show")
            return
        self.started_at = start
        if self.device_up(start) is None:
            return
        time.sleep(3)
        program.focus()

        end = start + SECONDS
        next_key = time.monotonic() + 1
        next_visit = time.monotonic() + rng.uniform(10, 40)
        next_pull = start + PULL_PERIOD
        next_sample = start + 10
        rss_minute = None
        while time.monotonic() < end:
            now = time.monotonic()
            if not program.alive():
                fail(f"the program ended (exit status {program.process.returncode}) "
                     f"after {now - start:.0f} s")
                return
            if now >= next_sample:
                self.sample()
                next_sample += 10
            if rss_minute is None and now - start >= 60:
                self.sample()
                rss_minute = self.rss[-1][1]
                log(f"RSS after the first minute: {rss_minute} kB")
            if now >= next_pull and end - now > 20:
                self.pull()
                program.focus()
                next_pull += PULL_PERIOD
            elif now >= next_visit and end - now > 15:
                program.settings_visit()
                program.focus()
                next_visit = time.monotonic() + rng.uniform(15, 45)
            elif now >= next_key:
                key = rng.choice(KEYS)
                program.press(key)
                self.keys_sent += 1
                next_key = time.monotonic() + rng.uniform(0.2, 1.5)
            time.sleep(0.05)
        if rss_minute is None:
            self.sample()
            rss_minute = self.rss[-1][1]
        self.rss_minute = rss_minute
        self.finish()

    def finish(self):
        program, relay = self.program, self.relay
        results = self.results = {}
        # Responsive: answers, the window is found and captured, a key
        # still reaches the device.
        answers = program.answers()
        window = program.window_id() is not None
        shot = program.screenshot()
        program.focus()
        mark = relay.key_count()
        program.press("z")
        self.keys_sent += 1
        reached = wait_until(lambda: 0x5A in relay.keys_since(mark), 5, 0.05)
        results["responsive"] = (answers and window and shot is not None and bool(reached))
        results["responsive_detail"] = (f"{program.answer_check} {'yes' if answers else 'no'}, window found "
                                        f"{'yes' if window else 'no'}, captured "
                                        f"{'yes' if shot is not None else 'no'}, key reached the "
                                        f"device {'yes' if reached else 'no'}")
        if not results["responsive"]:
            fail("not responsive at the end: " + results["responsive_detail"])
        time.sleep(2.5)

        # The device stops at an idle moment; the cable stays in.
        idle = threading.Event()
        relay.call(relay.hold_when_idle, 0.1, idle)
        if not idle.wait(10):
            relay.call(relay.hold)
            log("the line was never idle for 100 ms: held anyway")
        left = relay.drained(5)
        if left:
            fail(f"the program left {left} bytes unread at the end")
        stop(self.demo)
        time.sleep(2)
        chunks, sessions = relay.history()
        ticks_from = self.started_at
        gdi = isinstance(program, WindowsProgram)
        whole = replay_picture("expected", hex_stream(chunks, ticks_from), program.scheme,
                               program.size, gdi)
        last_from = chunks[sessions[-1]][0] if sessions[-1] < len(chunks) else ticks_from
        alone = replay_picture("expected-last-session", hex_stream(chunks[sessions[-1]:], last_from),
                               program.scheme, program.size, gdi)
        painted = program.screenshot()
        if painted is not None:
            painted.save(os.path.join(WORK, "screen.png"))
        program.force_repaint()
        time.sleep(1.5)
        repainted = program.screenshot()
        if repainted is not None:
            repainted.save(os.path.join(WORK, "screen-repainted.png"))
        for name, shot in (("as painted", painted), ("after a forced repaint", repainted)):
            if shot is None or whole is None:
                results[name] = (False, "no picture")
            else:
                n, first = differences(shot, whole)
                results[name] = (n == 0, f"{n} pixels differ" + (f", first (x, y, screen, replay) {first}"
                                                                  if first else ""))
            if not results[name][0]:
                fail(f"final screen {name}: {results[name][1]}")
        if repainted is not None and alone is not None:
            n, _ = differences(repainted, alone)
            results["last session alone"] = n == 0
        else:
            results["last session alone"] = False
        self.bytes_given = sum(len(d) for _, d in chunks)
        self.sessions = len(sessions)

    def measure(self):
        """CPU and memory at the end, before the program is closed."""
        self.cpu = self.rss_end = self.server_cpu = None
        p = self.program
        if p.alive():
            self.cpu, self.rss_end = proc_stat(p.process.pid)
        if isinstance(p, WindowsProgram):
            servers = p.wineservers()
            if servers:
                self.server_cpu = proc_stat(servers[0])[0]

    def summary(self):
        p = self.program
        lines = [f"== {p.name}, seed {SEED}"]
        ran = (time.monotonic() - self.started_at) / 60 if self.started_at else 0
        lines.append(f"minutes run              {ran:.1f}")
        cpu, rss_end = self.cpu, self.rss_end
        codes = self.relay.key_count()
        lines.append(f"keys sent                {self.keys_sent} (key codes that reached the device: "
                     f"{codes}, while no device listened: {self.relay.keys_dropped})")
        word = "setup dialogs" if isinstance(p, WindowsProgram) else "menus"
        lines.append(f"{word + ' opened':<25}{p.dialogs} (colours or size changed {p.changes} times; "
                     f"at the end scheme {p.scheme}, size {p.size})")
        longest = max(self.relinks) if self.relinks else 0
        noticed = max(self.notices) if self.notices else 0
        lines.append(f"unplugs / relinks        {self.pulls} / {len(self.relinks)}, longest relink "
                     f"{longest:.2f} s after the restore (the pulled port let go within {noticed:.2f} s)")
        lines.append(f"device bytes given       {getattr(self, 'bytes_given', 0)} in "
                     f"{getattr(self, 'sessions', 0)} device sessions ({self.relay.cut} given but "
                     f"unread when pulled)")
        rm = getattr(self, "rss_minute", None)
        if rm and rss_end:
            ratio = rss_end / rm
            lines.append(f"RSS after minute 1       {rm} kB; at the end {rss_end} kB (ratio {ratio:.3f}, "
                         f"highest {max(r for _, r in self.rss)} kB)")
            if ratio > RSS_GROWTH_LIMIT:
                fail(f"RSS grew by {100 * (ratio - 1):.1f} % after the first minute")
        else:
            lines.append("RSS                      not measured")
        extra = f" (the prefix's wineserver: {self.server_cpu:.1f})" if self.server_cpu else ""
        lines.append(f"CPU seconds used         {cpu:.1f}{extra}" if cpu is not None
                     else "CPU seconds used         not measured")
        r = getattr(self, "results", {})
        if "responsive" in r:
            lines.append(f"responsive               {'yes' if r['responsive'] else 'no'} "
                         f"({r['responsive_detail']})")
            for name in ("as painted", "after a forced repaint"):
                ok, detail = r[name]
                lines.append(f"final screen equal       {'yes' if ok else 'no'} {name} ({detail})")
            lines.append(f"last session alone       {'equal' if r['last session alone'] else 'differs'} "
                         f"(replaying only the bytes since the last device start)")
        else:
            lines.append("responsive               not checked")
            if not failures:
                fail("the run did not reach its end")
        lines.append(f"result                   {'PASS' if not failures else 'FAIL'}")
        for f in failures:
            lines.append(f"  failed: {f}")
        return "\n".join(lines)


def main():
    os.makedirs(WORK, exist_ok=True)
    display = start_display()
    program = WindowsProgram() if KIND == "windows" else LinuxProgram()
    soak = Soak(program)
    try:
        soak.run()
    except Exception as e:  # a broken step ends the run as a failure, with its summary
        fail(f"the soak stopped: {e!r}")
        import traceback
        log(traceback.format_exc())
    try:
        soak.measure()
        program.close()
    except Exception as e:
        fail(f"closing the program failed: {e!r}")
    finally:
        for p in started:
            stop(p)
        stop(display)
    text = soak.summary()
    with open(os.path.join(WORK, "summary.txt"), "w") as f:
        f.write(text + "\n")
    print(text, flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    sys.exit(main())
