"""What the scripts that drive the programs from outside share: the
end-to-end checks and the link benchmark (tests/e2e), the soak run
(tests/soak) and the Linux program's benchmark (tests/bench).

Design. Plain functions and two small classes, no state at module level:
each script owns its Processes (the processes it started, listed in its
work folder for the shell's trap) and its Driver (the ui_driver program,
tests/e2e/ui_driver.cpp, which reads and presses the Windows program's
controls under Wine, one question and one answer line at a time). Waits
poll with a time-out; nothing here prints or fails a check, the scripts
decide what a result means. A script finds this module through its own
location:

    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
"""

import io
import os
import queue
import shutil
import subprocess
import threading
import time

from PIL import Image

# The main window's title, and the setup dialog's (the title and " Setup").
MAIN_TITLE = "Zezodavoru 1.1"
SETUP_SUFFIX = " Setup"

# Controls of the setup dialog and the port-selection dialog.
ID_OK, ID_PORT_LIST = 1, 4001
ID_BLACK_ON_GREEN, ID_WHITE_ON_BLUE = 4002, 4003
ID_SET_PORT, ID_OPEN_CLOSE, ID_CANCEL = 4005, 4006, 4007
ID_SIZE, ID_PORT_TEXT, ID_DONE, ID_LINK_TEXT = 4008, 4010, 4011, 4012

# The dots of the screen; the unscaled picture (488 x 180, each dot the 4 x 4
# square at (4 (x + 1), 4 y)); the picture's size at each size preset.
DOTS_W, DOTS_H = 120, 44
IMAGE_W, IMAGE_H = 488, 180
PICTURE = {1: (256, 90), 2: (337, 120), 3: (378, 135), 4: (498, 180)}


def wait_until(predicate, timeout, step=0.1):
    """Polls predicate until it returns a true value or timeout seconds pass;
    returns its last value."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= end:
            return value
        time.sleep(step)


# ---------------------------------------------------------------- processes

class Processes:
    """The processes a script starts. Those still running are listed in
    WORK/pids, one pid a line, for the shell's trap; a process once reaped
    leaves the list, so its pid can never name someone else's process later.
    Their error output goes to WORK/stderr.log (and their standard output
    too with output_to_log), or nowhere without a log; `log` is told of each
    start."""

    def __init__(self, work, log=None, errors_to_log=True, output_to_log=False):
        self.work = work
        self.log = log
        self.errors = os.path.join(work, "stderr.log") if errors_to_log else None
        self.output_to_log = output_to_log
        self.started = []

    def record(self):
        new = os.path.join(self.work, "pids.new")
        with open(new, "w") as f:
            f.writelines(f"{p.pid}\n" for p in self.started if p.poll() is None)
        os.replace(new, os.path.join(self.work, "pids"))

    def spawn(self, args, **kwargs):
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        if self.errors is None:
            kwargs.setdefault("stderr", subprocess.DEVNULL)
            p = subprocess.Popen(args, **kwargs)
        else:
            with open(self.errors, "ab") as errors:
                kwargs.setdefault("stderr", errors)
                if self.output_to_log:
                    kwargs.setdefault("stdout", errors)
                p = subprocess.Popen(args, **kwargs)
        self.started.append(p)
        self.record()
        if self.log:
            self.log(f"started {p.pid}: {' '.join(args)}")
        return p

    def stop(self, p, timeout=5):
        """Ends a process started here: politely, then by force."""
        if p is None or p.poll() is not None:
            return
        p.terminate()
        try:
            p.wait(timeout)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait(5)
        self.record()

    def stop_all(self, keep=None, newest_first=False):
        """Ends every process started here but `keep`."""
        for p in reversed(self.started) if newest_first else list(self.started):
            if p is not keep:
                self.stop(p)


class LineReader:
    """Collects a process's output lines on a thread, for reads with a
    time-out; None once the output has ended."""

    def __init__(self, stream):
        self.lines = queue.Queue()
        threading.Thread(target=self._pump, args=(stream,), daemon=True).start()

    def _pump(self, stream):
        for raw in stream:
            self.lines.put(raw.decode("utf-8", "replace").rstrip("\r\n"))
        self.lines.put(None)

    def get(self, timeout):
        try:
            return self.lines.get(timeout=timeout)
        except queue.Empty:
            return None


def proc_stat(pid):
    """(CPU seconds, user plus system, and RSS in kB) of a process."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    cpu = (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    rss = 0
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
    return cpu, rss


def prefix_processes(prefix, name):
    """Pids of the processes of a Wine prefix whose command line mentions
    `name` (the prefix is told by the WINEPREFIX in their environment)."""
    found = []
    mark = f"WINEPREFIX={prefix}".encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                cmd = f.read()
            with open(f"/proc/{entry}/environ", "rb") as f:
                env = f.read().split(b"\0")
        except OSError:
            continue
        if name.encode() in cmd and mark in env:
            found.append(int(entry))
    return found


# -------------------------------------------------------- the program's side

def settings_bytes(port, scheme, size):
    """The Windows program's 12-byte settings file: port, scheme and size
    preset, each a little-endian 32-bit number."""
    return (bytes([port, 0, 0, 0]) + scheme.to_bytes(4, "little", signed=True)
            + bytes([size, 0, 0, 0]))


def program_folder(folder, exe, settings=None):
    """A folder of the program's own with a copy of it and, given bytes, a
    settings file; returns the copy's path."""
    os.makedirs(folder, exist_ok=True)
    copy = os.path.join(folder, "zezodavoru.exe")
    shutil.copy(exe, copy)
    if settings is not None:
        with open(os.path.join(folder, "zezodavoru.cfg"), "wb") as f:
            f.write(settings)
    return copy


def com_port(prefix, number):
    return os.path.join(prefix, "dosdevices", f"com{number}")


def link_com_port(prefix, number, target):
    """Makes COM port `number` of the Wine prefix name `target`."""
    unlink_com_port(prefix, number)
    os.symlink(target, com_port(prefix, number))


def unlink_com_port(prefix, number):
    if os.path.lexists(com_port(prefix, number)):
        os.unlink(com_port(prefix, number))


def socat_pair(processes, device_end, program_end):
    """A socat pseudo-terminal pair whose ends are the two link names;
    returns the socat process and whether both ends appeared in time."""
    for path in (device_end, program_end):
        if os.path.lexists(path):
            os.unlink(path)
    p = processes.spawn(["socat", f"pty,link={device_end},raw,echo=0",
                         f"pty,link={program_end},raw,echo=0"])
    ready = wait_until(lambda: os.path.exists(device_end) and os.path.exists(program_end), 5,
                       0.05)
    return p, ready


# ------------------------------------------------------------ the UI driver

class Driver:
    """The ui_driver program under the current Wine prefix: one question,
    one answer line. Once an answer fails to come, every later question
    gets None too: a late answer would pair with the wrong question."""

    def __init__(self, processes, driver_exe, log=None):
        self.processes = processes
        self.log = log
        self.p = processes.spawn(["wine", driver_exe], stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE)
        self.out = LineReader(self.p.stdout)
        self.lost = False

    def ask(self, *fields, timeout=20):
        if self.lost:
            return None
        try:
            self.p.stdin.write(("\t".join(map(str, fields)) + "\n").encode())
            self.p.stdin.flush()
        except OSError:
            self.lost = True
            return None
        answer = self.out.get(timeout)
        if self.log:
            self.log(f"driver {fields!r} -> {answer!r}")
        self.lost = answer is None
        return answer

    def rect(self, title, what="client"):
        """A window's client area ("client") or frame ("rect") as
        (x, y, width, height) on the screen, or None."""
        try:
            x, y, w, h = (int(v) for v in self.ask(what, title).split())
            return x, y, w, h
        except (AttributeError, ValueError):
            return None

    def close(self):
        self.ask("quit", timeout=5)
        self.processes.stop(self.p)


# ---------------------------------------------------------------- the user

def xdo(*args, timeout=20):
    """Runs xdotool; returns what it printed."""
    r = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                       timeout=timeout)
    return r.stdout.strip()


def click_point(rect):
    """Where a click lands in a client area: within its top left 200 x 100,
    clear of the window's edge."""
    return rect[0] + min(rect[2], 200) // 2, rect[1] + min(rect[3], 100) // 2


def open_setup(drv, point, setup_title):
    """Right-clicks the main window at `point`, as the user opens the setup
    dialog, and waits until the dialog has all its controls (its window
    comes before them, so the last one is waited for); whether it did."""
    xdo("mousemove", *point, "click", "3")
    if drv.ask("wait", setup_title, 10000) != "ok":
        return False
    return bool(wait_until(lambda: drv.ask("text", setup_title, ID_LINK_TEXT) not in ("none", None),
                           5))


# ---------------------------------------------------------------- pictures

def grab(window="root", timeout=60):
    """A window (an X window id, or the whole screen) as an RGB image, or
    None if it could not be captured."""
    shot = subprocess.run(["import", "-window", window, "png:-"], capture_output=True,
                          timeout=timeout)
    if shot.returncode != 0:
        return None
    try:
        return Image.open(io.BytesIO(shot.stdout)).convert("RGB")
    except OSError:
        return None


def grab_area(rect, timeout=60):
    """What the screen shows of an area (x, y, width, height), as far as it
    lies on the screen (a window larger than the display runs off its right
    or bottom edge), or None."""
    screen = grab(timeout=timeout)
    if screen is None:
        return None
    x, y, w, h = rect
    return screen.crop((x, y, min(x + w, screen.width), min(y + h, screen.height)))


def dot_sample(x, y, width, height):
    """The pixel at the centre of dot (x, y) in a picture of the given size."""
    return ((4 * (x + 1) + 2) * width // IMAGE_W, (4 * y + 2) * height // IMAGE_H)


def replay_png(cli, stream_file, png, options=(), timeout=300):
    """The picture `zezodavoru-cli replay` draws for a stream file with the
    given options (--hex, --scheme, --size, --ticks), written to `png`:
    (the picture as RGB, "") or (None, what the tool said)."""
    r = subprocess.run([cli, "replay", *map(str, options), "--png", png, stream_file],
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    if r.returncode != 0:
        return None, r.stderr.decode(errors="replace").strip()
    with Image.open(png) as im:
        return im.convert("RGB"), ""
