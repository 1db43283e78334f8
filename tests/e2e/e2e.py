#!/usr/bin/python3
"""End-to-end checks of the Windows program under Wine and Xvfb.

run_e2e.sh prepares the Wine prefix and the X display and runs this script
with the work folder as its argument. The script plays every part a person
and a device would play: it starts the program from a folder of its own with
a prepared settings file, links a socat pseudo-terminal pair in as a COM
port, clicks through the setup dialogs (xdotool for the mouse and keys, the
ui_driver program for reading and pressing the dialogs' controls), sends
device streams with `zezodavoru-cli device` and compares the window's client
area, dot for dot, with the picture `zezodavoru-cli replay --png` draws for
the same stream. It pulls the line away and brings it back under the same
name (the program must relink by itself), starts the program with a port
number on its command line, sends bursts as fast as the line takes them,
types keys into a line nobody reads (its way out full), reaches a port that
ser2net serves as raw TCP (socket://), and sets the prefix's screen to 192
DPI for one start.

Each check prints "ok - ..." or "not ok - ..."; the last line is
"N passed, M failed". Every wait has a time-out; every process started here
is ended here (and its pid is listed in WORK/pids for the shell's trap).
"""

import json
import os
import signal
import socket as socket_module
import subprocess
import sys
import time
import tty

from PIL import Image, ImageChops, ImageFilter

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
from zez_testlib import (  # noqa: E402
    DOTS_H, DOTS_W, ID_CANCEL, ID_DONE, ID_LINK_TEXT, ID_OK, ID_OPEN_CLOSE, ID_PORT_LIST,
    ID_PORT_TEXT, ID_SET_PORT, ID_SIZE, ID_WHITE_ON_BLUE, MAIN_TITLE, PICTURE, SETUP_SUFFIX,
    Driver, LineReader, Processes, click_point, open_setup as open_setup_at, dot_sample, grab_area, link_com_port,
    prefix_processes, proc_stat, program_folder, replay_png, settings_bytes, socat_pair, unlink_com_port,
    wait_until, xdo)

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WORK = os.path.abspath(sys.argv[1])
CLI = os.environ["ZEZ_CLI"]
EXE = os.environ["ZEZ_EXE"]
DRIVER = os.environ["ZEZ_DRIVER"]
PREFIX = os.environ["WINEPREFIX"]
SCREENSHOT = os.environ.get("ZEZ_SCREENSHOT", os.path.join(ROOT, "docs", "screenshot.png"))
HERE = os.path.dirname(os.path.abspath(__file__))

COM = 12  # a two-digit port, opened through the device-namespace name
MAIN = MAIN_TITLE
SETUP = MAIN + SETUP_SUFFIX
PORTS = "Select Com Port"
ID_FILE_NAME = 1148  # the file name box of the standard save dialog

# The background colour of white on blue, and the window sizes and image
# sizes of the size presets.
DARK_BLUE = (20, 20, 140)
WINDOW = {1: (260, 115), 2: (340, 140), 3: (380, 150), 4: (500, 185)}
PRESETS = {n: (WINDOW[n], PICTURE[n]) for n in WINDOW}

passed = 0
failed = 0


def check(ok, name, detail=""):
    global passed, failed
    if ok:
        passed += 1
        print(f"ok - {name}", flush=True)
    else:
        failed += 1
        print(f"not ok - {name}" + (f": {detail}" if detail else ""), flush=True)
    return ok


def log(text):
    with open(os.path.join(WORK, "e2e.log"), "a") as f:
        f.write(f"{time.monotonic():.2f} {text}\n")


# ---------------------------------------------------------------- processes

# Every process started here, listed in WORK/pids for the shell's trap.
processes = Processes(WORK, log)
spawn, stop, started = processes.spawn, processes.stop, processes.started
drv = None


class Line:
    """A socat pseudo-terminal pair: the device's end (a plain path) and the
    program's end, linked into the prefix as COM port COM."""

    def __init__(self, name):
        self.device_end = os.path.join(WORK, f"{name}-device")
        self.program_end = os.path.join(WORK, f"{name}-program")
        self.p, self.ready = socat_pair(processes, self.device_end, self.program_end)
        link_com_port(PREFIX, COM, self.program_end)

    def close(self):
        stop(self.p)


def device_send(line, stream_file, timeout=30):
    """Sends a hex stream from the device's end; returns the codes that came
    back meanwhile, or None if the tool failed."""
    r = subprocess.run([CLI, "device", line.device_end, "--hex", stream_file],
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    log(f"device send {stream_file}: rc {r.returncode} {r.stderr!r}")
    return r.stdout.decode().split() if r.returncode == 0 else None


class Listener:
    """`zezodavoru-cli device` listening on the device's end for key codes."""

    def __init__(self, line, seconds):
        self.p = spawn([CLI, "device", line.device_end, "--for", str(seconds)],
                       stdout=subprocess.PIPE)
        self.out = LineReader(self.p.stdout)

    def codes(self, count, timeout):
        got = []
        end = time.monotonic() + timeout
        while len(got) < count:
            line = self.out.get(max(0.0, end - time.monotonic()))
            if line is None:
                break
            got.append(line)
        stop(self.p)
        return got


class Program:
    """The program, copied into a folder of its own with a prepared settings
    file (or none)."""

    def __init__(self, name, cfg=None):
        self.folder = os.path.join(WORK, name)
        self.exe = program_folder(self.folder, EXE, cfg)
        self.cfg = os.path.join(self.folder, "zezodavoru.cfg")
        self.p = None

    def start(self):
        self.p = spawn(["wine", self.exe], cwd=self.folder)
        return drv.ask("wait", MAIN, 20000, timeout=30) == "ok"

    def cfg_bytes(self):
        try:
            with open(self.cfg, "rb") as f:
                return f.read()
        except OSError:
            return None

    def close(self, timeout=10):
        """Closes the window; returns the exit code, or None if the process
        did not end in time."""
        if self.p is None:
            return None
        drv.ask("close", MAIN)
        try:
            return self.p.wait(timeout)
        except subprocess.TimeoutExpired:
            stop(self.p)
            return None


def window_rect_for(preset, timeout=10):
    """Waits for the main window to take the preset's size; returns its
    last rectangle (x, y, width, height)."""
    last = [None]

    def sized():
        last[0] = drv.rect(MAIN, "rect")
        return last[0] is not None and last[0][2:] == PRESETS[preset][0]
    wait_until(sized, timeout)
    return last[0]


cfg = settings_bytes


def hexbytes(data):
    return "none" if data is None else " ".join(f"{b:02x}" for b in data)


# ------------------------------------------------------------------ the user

def client_centre(title=MAIN):
    r = drv.rect(title)
    return None if r is None else click_point(r)


def open_setup():
    """Right-clicks the main window, as the user opens the setup dialog, and
    waits until the dialog has all its controls."""
    centre = client_centre()
    return centre is not None and open_setup_at(drv, centre, SETUP)


def press(title, control, gone=None):
    """Clicks a dialog button; waits for `gone` to vanish if given."""
    if drv.ask("click", title, control) != "ok":
        return False
    return gone is None or drv.ask("gone", gone, 10000) == "ok"


def dialog_text(control, expected, timeout=10):
    """Waits for a setup dialog control to show the expected text; returns
    the text last seen."""
    seen = [None]

    def matches():
        seen[0] = drv.ask("text", SETUP, control)
        return seen[0] == expected
    wait_until(matches, timeout, 0.1)
    return seen[0]


def focus_main():
    centre = client_centre()
    if centre:
        xdo("mousemove", *centre, "click", "1")
        time.sleep(0.2)


# ---------------------------------------------------------------- pictures

def screenshot():
    """The client area of the main window, as far as it lies on the screen,
    as an RGB image, or None."""
    r = drv.rect(MAIN)
    return None if r is None else grab_area(r, timeout=20)


def replay(stream_file, scheme, size=None):
    """The picture the window paints for a stream: the unscaled 488 x 180
    image, or the preset's size."""
    out = os.path.join(WORK, f"replay-{os.path.basename(stream_file)}-{scheme}-{size}.png")
    options = ["--hex", "--scheme", scheme] + (["--size", size] if size else [])
    picture, error = replay_png(CLI, stream_file, out, options, timeout=30)
    if picture is None:
        log(f"replay failed: {error}")
    return picture


def compare_dots(screen, picture, size=4, image=None):
    """Compares every dot whose centre lies inside the client area, which
    shows the preset's image (or one of the given size). Returns (number of
    dots compared, mismatches, dots on, first mismatch)."""
    image_w, image_h = image or PRESETS[size][1]
    compared = mismatches = on = 0
    first = None
    for y in range(DOTS_H):
        for x in range(DOTS_W):
            sx, sy = dot_sample(x, y, image_w, image_h)
            if sx >= screen.width or sy >= screen.height:
                continue
            expected = picture.getpixel(dot_sample(x, y, picture.width, picture.height))
            actual = screen.getpixel((sx, sy))
            compared += 1
            if actual != expected:
                mismatches += 1
                first = first or (x, y, actual, expected)
            elif actual in ((0, 0, 0), (255, 255, 255)):
                on += 1
    return compared, mismatches, on, first


def screen_agrees(stream_file, scheme, timeout=15, image=None):
    """Waits until the client area agrees dot for dot with the replayed
    stream at size 4 (or in an image of the given size); returns (agrees,
    detail, last screenshot)."""
    picture = replay(stream_file, scheme)
    if picture is None:
        return False, "replay failed", None
    last = [None, None]

    def agrees():
        last[1] = screenshot()
        if last[1] is None:
            return False
        last[0] = compare_dots(last[1], picture, image=image)
        return last[0][0] > 0 and last[0][1] == 0
    ok = wait_until(agrees, timeout, 0.3)
    compared, mismatches, on, first = last[0] or (0, 0, 0, None)
    return bool(ok) and on > 0, (f"{compared} dots compared, {mismatches} differ, {on} on; "
                                 f"first difference (x, y, screen, replay) {first}"), last[1]


def dot_overlap(shot, picture):
    """How well the white (dot-on) pixels of two pictures overlap, over
    the area both cover: the smaller of the two fractions of each one's
    dot-on pixels that lie within one pixel of the other's (so rounding
    differences of the scaling do not count, a different scale does)."""
    w, h = min(shot.width, picture.width), min(shot.height, picture.height)

    def mask(im):
        white = Image.new("L", (w, h))
        white.putdata([255 if p == (255, 255, 255) else 0 for p in im.crop((0, 0, w, h)).getdata()])
        return white
    a, b = mask(shot), mask(picture)
    grown_a, grown_b = a.filter(ImageFilter.MaxFilter(3)), b.filter(ImageFilter.MaxFilter(3))

    def covered(m, grown):
        inside = total = 0
        for v, g in zip(m.getdata(), grown.getdata()):
            if v:
                total += 1
                inside += g > 0
        return inside / total if total else 0.0
    return min(covered(a, grown_b), covered(b, grown_a))


# ------------------------------------------------------------------- checks

def cpu_seconds(pid):
    return proc_stat(pid)[0]


def first_run_and_link():
    """The main walk: first run, port choice, linking, screens in both
    schemes, keys, the device vanishing, relinking, closing mid-stream."""
    demo = os.path.join(HERE, "demo_stream.hex")
    relink = os.path.join(HERE, "relink_stream.hex")
    empty = os.path.join(WORK, "empty.hex")

    line = Line("line1")
    check(line.ready, "socat pseudo-terminal pair linked in as COM port " + str(COM))
    prog = Program("first")
    if not check(prog.start(), "the program starts with no settings file and shows its window"):
        return
    check(prog.cfg_bytes() == bytes.fromhex("000000000100000001000000"),
          "a first run writes the default 12-byte settings file", hexbytes(prog.cfg_bytes()))
    rect = window_rect_for(1)
    check(rect is not None and rect[2:] == PRESETS[1][0],
          "the window has the size of preset 1 (260 x 115)", str(rect))

    if not check(open_setup(), 'a right click opens "Zezodavoru 1.1 Setup"'):
        return
    texts = [drv.ask("text", SETUP, c) for c in (ID_LINK_TEXT, ID_OPEN_CLOSE, ID_PORT_TEXT)]
    check(texts == ["Qor I/F Closed", "Open I/F", "Com Port: ?"],
          "the setup dialog shows the closed link and no port", str(texts))
    press(SETUP, ID_OPEN_CLOSE)
    seen = dialog_text(ID_LINK_TEXT, "Com Open Fail")
    check(seen == "Com Open Fail" and drv.ask("text", SETUP, ID_OPEN_CLOSE) == "Open I/F",
          'opening with no port chosen shows "Com Open Fail" and stays closed', str(seen))

    press(SETUP, ID_SET_PORT)
    if check(drv.ask("wait", PORTS, 10000) == "ok",
             '"Set Com Port" opens "Select Com Port"'):
        items = (drv.ask("items", PORTS, ID_PORT_LIST) or "").split("\t")
        wanted = f"com{COM}"
        check(wanted in items, f'the port list offers "{wanted}"', str(items))
        if wanted in items:
            drv.ask("select", PORTS, ID_PORT_LIST, items.index(wanted))
        press(PORTS, ID_OK, gone=PORTS)
    seen = dialog_text(ID_PORT_TEXT, f"Com Port: {COM}")
    check(seen == f"Com Port: {COM}", "choosing the port and OK shows it in the setup dialog",
          str(seen))
    drv.ask("select", SETUP, ID_SIZE, 3)  # "4X"
    press(SETUP, ID_DONE, gone=SETUP)
    expected = cfg(COM, 1, 4)
    saved = wait_until(lambda: prog.cfg_bytes() == expected, 5)
    check(saved, '"Done" saves port, scheme and size (0c .. 01 .. 04 ..)',
          hexbytes(prog.cfg_bytes()))
    rect = window_rect_for(4)
    check(rect is not None and rect[2:] == PRESETS[4][0], "size 4 resizes the window to 500 x 185",
          str(rect))

    ok, detail, shot = screen_agrees(empty, 1)
    check(ok, "the idle screen agrees dot for dot with replay (scheme 1, size 4)", detail)

    if not check(open_setup(), "the setup dialog opens again"):
        return
    press(SETUP, ID_OPEN_CLOSE)
    seen = dialog_text(ID_LINK_TEXT, "Qor Linked")
    button = drv.ask("text", SETUP, ID_OPEN_CLOSE)
    linked = check(seen == "Qor Linked" and button == "Close I/F",
                   '"Open I/F" links: "Qor Linked", button "Close I/F"', f"{seen!r}, {button!r}")
    press(SETUP, ID_CANCEL, gone=SETUP)
    if not linked:
        return

    codes = device_send(line, demo)
    check(codes == [], "zezodavoru-cli device sends the demo stream", str(codes))
    ok, detail, shot = screen_agrees(demo, 1)
    if check(ok, "the demo stream's screen agrees dot for dot with replay (scheme 1, size 4)",
             detail):
        # The picture of the README: the demo screen as it agreed.
        os.makedirs(os.path.dirname(SCREENSHOT), exist_ok=True)
        shot.save(SCREENSHOT)

    # Keys, read back on the device's end of the line.
    focus_main()
    listener = Listener(line, 15)
    time.sleep(0.5)
    xdo("key", "a")
    xdo("key", "shift+2")
    xdo("keydown", "shift", "keydown", "ctrl")
    xdo("keyup", "ctrl", "keyup", "shift")
    xdo("key", "F10")
    xdo("key", "shift+F10")
    xdo("key", "Super_L")
    got = listener.codes(8, 8)
    check(got == ["41", "40", "f6", "f7", "b9", "d1", "ec", "ed"],
          "keys arrive as key codes: a, Shift+2, Ctrl+Shift, F10, Shift+F10, left Windows",
          " ".join(got))

    # White on blue through the dialog's radio button.
    if check(open_setup(), "the setup dialog opens while linked"):
        check(drv.ask("text", SETUP, ID_LINK_TEXT) == "Qor Linked",
              "the link stays open after Cancel")
        press(SETUP, ID_WHITE_ON_BLUE)
        wait_until(lambda: drv.ask("checked", SETUP, ID_WHITE_ON_BLUE) == "1", 3)
        press(SETUP, ID_DONE, gone=SETUP)
        expected = cfg(COM, 0, 4)
        check(wait_until(lambda: prog.cfg_bytes() == expected, 5),
              '"White on Blue" and "Done" save scheme 0', hexbytes(prog.cfg_bytes()))
        ok, detail, shot = screen_agrees(demo, 0)
        check(ok, "the screen agrees dot for dot with replay (scheme 0, size 4)", detail)

    # The adapter is pulled: the device's end of the line vanishes while
    # linked.
    line.close()
    time.sleep(0.5)
    check(drv.ask("ping", MAIN, 2000) == "ok",
          "with the device gone the window still answers messages")
    with open(f"/proc/{prog.p.pid}/cmdline", "rb") as f:
        runs_program = b"zezodavoru.exe" in f.read()
    if check(runs_program, "the program's unix process is known, for measuring its CPU time"):
        pids = [prog.p.pid] + prefix_processes(PREFIX, "wineserver")[:1]
        before = [cpu_seconds(p) for p in pids]
        start = time.monotonic()
        time.sleep(3)
        used = [(cpu_seconds(p) - b) / (time.monotonic() - start) for p, b in zip(pids, before)]
        check(used[0] < 0.05 and sum(used) < 0.2,
              "with the device gone the program uses under 5% of a core while it retries",
              f"program {used[0]:.3f}, wineserver {used[1] if len(used) > 1 else 0:.3f} cores")
        log(f"CPU with the device gone: {used}")
    if not check(open_setup(), "with the device gone the setup dialog opens"):
        return
    seen = dialog_text(ID_LINK_TEXT, "Qor Link Lost")
    check(seen == "Qor Link Lost" and drv.ask("text", SETUP, ID_OPEN_CLOSE) == "Close I/F",
          'with the device gone the dialog says "Qor Link Lost", button "Close I/F"', str(seen))

    # Plugged back: the same pair under the same names.
    line = Line("line1")
    back = time.monotonic()
    seen = dialog_text(ID_LINK_TEXT, "Qor Linked", timeout=5)
    took = time.monotonic() - back
    check(seen == "Qor Linked" and took < 2.0,
          "plugged back, the link comes back by itself within 2 s", f"{seen!r} after {took:.2f} s")
    log(f"relinked after {took:.2f} s")
    check(drv.ask("ping", MAIN, 2000) == "ok", "the window answers messages after relinking")
    press(SETUP, ID_CANCEL, gone=SETUP)
    device_send(line, relink)
    ok, detail, shot = screen_agrees(relink, 0)
    check(ok, "after relinking by itself the device's bytes reach the screen", detail)
    focus_main()
    listener = Listener(line, 10)
    time.sleep(0.5)
    xdo("key", "z")
    got = listener.codes(1, 5)
    check(got == ["5a"], "after relinking by itself key codes reach the device", " ".join(got))

    # "Close I/F" on a lost link stops its retries: the line coming back
    # later is not linked until "Open I/F".
    if not check(open_setup(), "the setup dialog opens after relinking"):
        return
    line.close()
    seen = dialog_text(ID_LINK_TEXT, "Qor Link Lost")
    check(seen == "Qor Link Lost", "pulled again, the dialog says so while it is open", str(seen))
    press(SETUP, ID_OPEN_CLOSE)
    seen = dialog_text(ID_LINK_TEXT, "Qor I/F Closed")
    check(seen == "Qor I/F Closed" and drv.ask("text", SETUP, ID_OPEN_CLOSE) == "Open I/F",
          '"Close I/F" closes the lost link', str(seen))
    line = Line("line1")
    time.sleep(1.5)
    seen = drv.ask("text", SETUP, ID_LINK_TEXT)
    check(seen == "Qor I/F Closed", "a closed link does not come back with the line", str(seen))
    press(SETUP, ID_OPEN_CLOSE)
    seen = dialog_text(ID_LINK_TEXT, "Qor Linked")
    check(seen == "Qor Linked", '"Open I/F" links again', str(seen))
    press(SETUP, ID_CANCEL, gone=SETUP)

    # Closing the window while bytes stream in: four commands of 23 bytes,
    # then a 100 ms pause, for half a minute (about half the line's own
    # 1920 bytes a second).
    flood = os.path.join(WORK, "flood.hex")
    with open(flood, "w") as f:
        for i in range(1200):
            f.write("8C %02X " % (i % 4 + 1) + " ".join("%02X" % (0x41 + (i + k) % 26)
                                                      for k in range(20)) + " 91\n")
            if i % 4 == 3:
                f.write("t\n")
    sender = spawn([CLI, "device", line.device_end, "--hex", "--for", "30", flood],
                   stdout=subprocess.DEVNULL)
    time.sleep(1.5)
    still_sending = sender.poll() is None
    start = time.monotonic()
    code = prog.close(timeout=5)
    took = time.monotonic() - start
    check(still_sending and code == 0,
          "closing the window while bytes stream in ends the program at once with exit code 0",
          f"exit code {code} after {took:.1f} s, stream still flowing: {still_sending}")
    time.sleep(0.5)
    check(not prefix_processes(PREFIX, "winedbg") and drv.ask("find", "Program Error") == "none",
          "no crash dialog after closing")
    stop(sender)
    line.close()


def short_settings_file():
    """A 5-byte settings file, too short for the 12-byte record: the
    defaults (no port, scheme 1, size preset 1), as at a first run."""
    prog = Program("short", bytes.fromhex("0700000000"))
    unlink_com_port(PREFIX, 7)  # a serial port of this machine that Wine mapped
    if not check(prog.start(), "the program starts with a 5-byte settings file"):
        return
    time.sleep(1)
    shot = screenshot()
    colours = shot.getcolors(1 << 16) if shot else None
    check(colours is not None and len(colours) > 1,
          "the short file's defaults paint the display, not a blank background",
          str(colours[:4] if colours else None))
    if check(open_setup(), "the setup dialog opens"):
        seen = [drv.ask("text", SETUP, ID_PORT_TEXT), drv.ask("checked", SETUP, ID_WHITE_ON_BLUE),
                drv.ask("selection", SETUP, ID_SIZE)]
        check(seen == ["Com Port: ?", "0", "0"],
              'the 5-byte file gives the defaults: no port ("Com Port: ?"), scheme 1, size 1', str(seen))
        press(SETUP, ID_OPEN_CLOSE)
        seen = dialog_text(ID_LINK_TEXT, "Com Open Fail")
        check(seen == "Com Open Fail", 'opening with no port chosen shows "Com Open Fail"',
              str(seen))
        press(SETUP, ID_CANCEL, gone=SETUP)
    check(prog.close() == 0, "the program closes")
    check(prog.cfg_bytes() == bytes.fromhex("0700000000"), "the 5-byte file is left as it was",
          hexbytes(prog.cfg_bytes()))


def start_silently(prog, what, args=()):
    """Starts the program and checks that its window comes up with no
    message box before it; a message box is answered so the run goes on."""
    prog.p = spawn(["wine", prog.exe, *args], cwd=prog.folder)
    seen = wait_until(lambda: (drv.ask("find", "Error") != "none" and "box")
                      or (drv.ask("find", MAIN) != "none" and "window"), 20, 0.2)
    if seen == "box":
        message = drv.ask("text", "Error", 0xFFFF)  # the message box's text
        drv.ask("click", "Error", 1)
        check(False, what, f"a message box came first: {message!r}")
        return drv.ask("wait", MAIN, 10000) == "ok"
    if not check(seen == "window", what):
        return False
    time.sleep(1.5)
    return check(drv.ask("find", "Error") == "none", "no message box appears later")


def unwritable_folder():
    """A folder the program may not write to: no settings file can be
    created there."""
    prog = Program("locked")
    os.chmod(prog.folder, 0o555)
    probe = "Z:" + os.path.join(prog.folder, "probe.cfg").replace("/", "\\")
    answer = drv.ask("create", probe)
    if not check(answer is not None and answer.startswith("fail"),
                 "CreateFileA cannot create a file in the read-only folder under Wine",
                 str(answer)):
        return
    if not start_silently(prog, "the program starts silently in a read-only folder"):
        return
    rect = window_rect_for(1)
    check(rect is not None and rect[2:] == PRESETS[1][0],
          "the defaults are in effect (window of preset 1)", str(rect))
    check(os.listdir(prog.folder) == ["zezodavoru.exe"], "nothing was written to the folder",
          str(os.listdir(prog.folder)))
    check(prog.close() == 0, "the program closes")
    os.chmod(prog.folder, 0o755)


def settings_path_is_folder():
    """A settings path that names a folder: it can be neither read nor
    created, which counts as a file that cannot be created."""
    prog = Program("folder")
    os.mkdir(prog.cfg)
    path = "Z:" + prog.cfg.replace("/", "\\")
    refused = [drv.ask("open", path), drv.ask("create", path)]
    check(all(r and r.startswith("fail") for r in refused),
          "CreateFileA refuses a settings path that is a folder (reading and creating)",
          str(refused))
    if start_silently(prog, "the program starts silently when its settings path is a folder"):
        rect = window_rect_for(1)
        check(rect is not None and rect[2:] == PRESETS[1][0],
              "the defaults are in effect (window of preset 1)", str(rect))
    check(prog.close() == 0, "the program closes")


def sizes_and_scheme_2():
    """Scheme 2 (white dots on blue, green class background) at each size."""
    empty = os.path.join(WORK, "empty.hex")
    for size in (4, 1, 2, 3):
        prog = Program(f"size{size}", cfg(0, 2, size))
        if not check(prog.start(), f"the program starts with scheme 2, size {size}"):
            continue
        rect = window_rect_for(size)
        check(rect is not None and rect[2:] == PRESETS[size][0],
              f"size {size}: the window is {PRESETS[size][0][0]} x {PRESETS[size][0][1]}",
              str(rect))
        if size == 4:
            ok, detail, shot = screen_agrees(empty, 2)
            check(ok, "scheme 2 paints white on blue, dot for dot as replay (size 4)", detail)
        else:
            # The white dots of the client area lie where those of the
            # replayed image of its size lie, give or take a pixel of
            # rounding, and clearly not where another size puts them.
            pictures = {n: replay(empty, 2, n) for n in PRESETS}
            check(all(p is not None and p.size == PRESETS[n][1] for n, p in pictures.items()),
                  "replay draws the image of every size preset")
            agreement = {}

            def close_enough():
                shot = screenshot()
                if shot is not None and all(pictures.values()):
                    agreement.update((n, dot_overlap(shot, p)) for n, p in pictures.items())
                return agreement.get(size, 0) >= 0.98
            wait_until(close_enough, 5, 0.3)
            others = max((a for n, a in agreement.items() if n != size), default=1.0)
            log(f"size {size} agreement: {agreement}")
            check(agreement.get(size, 0) >= 0.98 and others < 0.9,
                  f"size {size}: the client area shows the {PRESETS[size][1][0]} x "
                  f"{PRESETS[size][1][1]} image",
                  ", ".join(f"size {n}: {a:.3f}" for n, a in sorted(agreement.items())))
        check(prog.close() == 0, f"size {size}: the program closes")


def command_line_and_burst():
    """A port number on the command line links at start, as "Open I/F"
    would; a burst of one-byte commands that each repaint, sent as fast as
    the line takes them, ends with the screen that replay draws for it; an
    argument that is no port, or a port that is not there, leaves the link
    closed without a word."""
    line = Line("line3")
    prog = Program("cmdline", cfg(0, 1, 4))
    prog.p = spawn(["wine", prog.exe, str(COM)], cwd=prog.folder)
    if not check(drv.ask("wait", MAIN, 20000, timeout=30) == "ok",
                 f"the program starts with the argument {COM}"):
        return
    window_rect_for(4)  # the window is found before it takes its size
    if check(open_setup(), "the setup dialog opens"):
        texts = [dialog_text(ID_LINK_TEXT, "Qor Linked"), drv.ask("text", SETUP, ID_OPEN_CLOSE),
                 drv.ask("text", SETUP, ID_PORT_TEXT)]
        check(texts == ["Qor Linked", "Close I/F", f"Com Port: {COM}"],
              f"the argument {COM} linked COM{COM} at start", str(texts))
        press(SETUP, ID_CANCEL, gone=SETUP)
    # Rows of text, each followed by 200 scrolls and backspaces.
    burst = os.path.join(WORK, "burst.hex")
    singles = [0x91, 0x9D, 0x90, 0x92, 0x9C, 0x90, 0x90, 0x9D]
    with open(burst, "w") as f:
        f.write("87\n")
        for i in range(120):
            text = f"burst row {i:3d}".ljust(20)
            f.write("8C %02X " % (i % 4 + 1) + " ".join("%02X" % ord(c) for c in text) + "\n")
            f.write(" ".join("%02X" % singles[(i + k) % len(singles)] for k in range(200)) + "\n")
        f.write("8C 02 " + " ".join("%02X" % ord(c) for c in "the burst ends here ") + "\n")
    codes = device_send(line, burst)
    check(codes == [], "zezodavoru-cli device sends the burst", str(codes))
    ok, detail, shot = screen_agrees(burst, 1)
    check(ok, "after a burst of one-byte repaint commands the screen agrees dot for dot with replay",
          detail)
    check(prog.close() == 0, "the program closes")
    check(prog.cfg_bytes() == cfg(0, 1, 4), "the command line's port is not saved by itself",
          hexbytes(prog.cfg_bytes()))
    line.close()

    for arg in ("COM1x", "250"):
        prog = Program(f"arg-{arg}", cfg(0, 1, 1))
        if not start_silently(prog, f'the program starts silently with the argument "{arg}"',
                              (arg,)):
            continue
        if check(open_setup(), "the setup dialog opens"):
            seen = drv.ask("text", SETUP, ID_LINK_TEXT)
            check(seen == "Qor I/F Closed", f'with the argument "{arg}" the link stays closed',
                  str(seen))
            press(SETUP, ID_CANCEL, gone=SETUP)
        check(prog.close() == 0, "the program closes")


def deaf_line():
    """A line whose way out is full: a pseudo-terminal whose master this
    script holds and never reads, its output buffer filled first. 40 keys
    typed meanwhile must not hold the window: it goes on answering and
    painting what the device sends."""
    master, slave = os.openpty()
    tty.setraw(slave)
    path = os.ttyname(slave)
    link_com_port(PREFIX, COM, path)
    prog = Program("deaf", cfg(COM, 1, 4))
    try:
        # The way out filled up to the brim through a second opener.
        filler = os.open(path, os.O_WRONLY | os.O_NONBLOCK | os.O_NOCTTY)
        try:
            while True:
                os.write(filler, b"\x55" * 1024)
        except BlockingIOError:
            pass
        os.close(filler)
        prog.p = spawn(["wine", prog.exe, str(COM)], cwd=prog.folder)
        if not check(drv.ask("wait", MAIN, 20000, timeout=30) == "ok",
                     "the program starts linked to a line nobody reads"):
            return
        time.sleep(1.0)  # past the settle
        focus_main()
        start = time.monotonic()
        for _ in range(4):
            xdo("type", "--delay", "20", "abcdefghij")
        typed = time.monotonic() - start
        stream = os.path.join(WORK, "deaf.hex")
        with open(stream, "w") as f:
            f.write("87 8C 02 " + " ".join("%02X" % ord(c) for c in "the line is deaf    ") + "\n")
        with open(stream) as f:
            os.write(master, bytes.fromhex(f.read()))
        answered = drv.ask("ping", MAIN, 1000) == "ok"
        ok, detail, shot = screen_agrees(stream, 1, timeout=10)
        check(answered and ok,
              "with the way out full, 40 keys typed, the window answers and paints what the "
              "device sends", f"typed in {typed:.1f} s, answered {answered}; {detail}")
        check(prog.close() == 0, "the program closes with the way out full")
    finally:
        os.close(master)
        os.close(slave)
        unlink_com_port(PREFIX, COM)


def socket_port_through_ser2net():
    """socket:// through Debian's ser2net serving a pseudo-terminal as raw
    TCP on a loopback port: a stream with 0xFF bytes draws dot for dot, and
    keys come back."""
    line = Line("net")
    with socket_module.socket() as s:
        s.bind(("127.0.0.1", 0))
        tcp_port = s.getsockname()[1]
    server = spawn(["ser2net", "-n", "-d", "-Y",
                    f"connection: &e2e#  accepter: tcp,127.0.0.1,{tcp_port}#  "
                    f"connector: serialdev(nouucplock=true),{line.program_end},19200n81,local#  "
                    "options:#    chardelay: false"])
    unlink_com_port(PREFIX, COM)
    wait_until(lambda: subprocess.run(["ss", "-ltn", f"sport = :{tcp_port}"], capture_output=True,
                                      text=True).stdout.count("LISTEN") > 0, 5, 0.1)
    url = f"socket://127.0.0.1:{tcp_port}"
    prog = Program("socket", cfg(0, 1, 4))
    prog.p = spawn(["wine", prog.exe, url], cwd=prog.folder)
    try:
        if not check(drv.ask("wait", MAIN, 20000, timeout=30) == "ok",
                     f"the program starts with {url}"):
            return
        window_rect_for(4)  # the window is found before it takes its size
        if check(open_setup(), "the setup dialog opens"):
            seen = dialog_text(ID_LINK_TEXT, "Qor Linked")
            check(seen == "Qor Linked", f"{url} links through ser2net", str(seen))
            press(SETUP, ID_CANCEL, gone=SETUP)
        time.sleep(0.6)  # past the settle
        stream = os.path.join(WORK, "socket.hex")
        with open(stream, "w") as f:
            # 0xFF: a full block in row 3; then text of row 2.
            f.write("87 8C 03 FF FF 41 FF 42 FF FF 00 8C 02 "
                    + " ".join("%02X" % ord(c) for c in "over the network   ") + "\n")
        codes = device_send(line, stream)
        check(codes == [], "the device sends a stream with 0xFF bytes", str(codes))
        ok, detail, _ = screen_agrees(stream, 1)
        check(ok, "a stream with 0xFF bytes through socket:// draws dot for dot as replay",
              detail)
        focus_main()
        listener = Listener(line, 10)
        time.sleep(0.5)
        xdo("key", "a")
        xdo("key", "F10")
        got = listener.codes(2, 5)
        check(got == ["41", "b9"], "keys come back through socket://", " ".join(got))
        check(prog.close() == 0, "the program closes")
    finally:
        stop(server)
        line.close()


def hex_stream_bytes(stream_file):
    """The bytes of a hex stream file (comments after '#', no ticks)."""
    data = bytearray()
    with open(stream_file) as f:
        for text in f:
            data += bytes.fromhex(text.split("#")[0])
    return bytes(data)


def recording_events(path):
    """A recording's header and its events, as the JSON lines hold them."""
    with open(path) as f:
        lines = [json.loads(text) for text in f if text.strip()]
    return lines[0], lines[1:]


def joined(events, kind):
    return b"".join(bytes.fromhex(e[2]) for e in events if e[1] == kind)


def agrees_with(picture, timeout=15):
    """Waits until the client area agrees dot for dot with a picture of size
    4; returns (agrees, detail)."""
    last = [None]

    def agrees():
        shot = screenshot()
        last[0] = shot and compare_dots(shot, picture)
        return last[0] and last[0][0] > 0 and last[0][1] == 0
    ok = wait_until(agrees, timeout, 0.3)
    return bool(ok), str(last[0])


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def system_menu(ups):
    """Opens the window's system menu as a user does (Alt+Space) and runs
    the item `ups` up from its end; whether the menu showed."""
    focus_main()
    xdo("key", "alt+space")
    if drv.ask("menu", 5000) != "ok":
        return False
    for _ in range(ups):
        xdo("key", "Up")
    xdo("key", "Return")
    return True


def save_through_dialog(ups, title, path):
    """Runs the system menu's item `ups` up from its end, names `path` in
    the save dialog called `title` and presses Save; whether the file came."""
    if not system_menu(ups) or drv.ask("wait", title, 10000) != "ok":
        return False
    wait_until(lambda: drv.ask("text", title, ID_FILE_NAME) not in ("none", None), 5)
    drv.ask("settext", title, ID_FILE_NAME, windows_path(path))
    press(title, ID_OK, gone=title)
    return wait_until(lambda: os.path.exists(path), 5)


def system_menu_commands():
    """The session commands of the system menu, through Alt+Space and the
    keys, as a user reaches them: "Copy screen as text" puts the rows on the
    clipboard, "Save picture..." writes the PNG replay draws at the window's
    size and scheme, "Save recording..." the flight recorder's minutes,
    which replay to the same screen, and "About" says what the program is."""
    demo = os.path.join(HERE, "demo_stream.hex")
    line = Line("menus")
    prog = Program("menus", cfg(COM, 0, 4))
    prog.p = spawn(["wine", prog.exe, str(COM)], cwd=prog.folder)
    if not check(drv.ask("wait", MAIN, 20000, timeout=30) == "ok", "the program starts linked"):
        return
    time.sleep(1)  # past the settle
    device_send(line, demo)
    ok, detail, _ = screen_agrees(demo, 0)
    if not check(ok, "the demo screen is shown (scheme 0)", detail):
        return

    # About, Copy screen as text, Save picture..., Save recording... from the end.
    check(system_menu(2), "Alt+Space opens the system menu")
    rows = [None]

    def copied():
        rows[0] = (drv.ask("clipboard") or "").split("\\r\\n")
        return len(rows[0]) == 5
    wait_until(copied, 5)
    rows = rows[0]
    custom = "".join(chr(0x24EA) if c == 0 else chr(0x245F + c) for c in (4, 1, 1, 0, 2, 2, 2, 5))
    expected = ["RX07" + custom + "HP\u2461\u2461TX42", "Qor demo screen 1234",
                "    Hello, world    ", "ABC".ljust(20), ""]
    check(rows == expected, '"Copy screen as text" puts the four rows on the clipboard', str(rows))

    picture = os.path.join(prog.folder, "screen.png")
    if check(save_through_dialog(3, "Save picture", picture),
             '"Save picture..." writes the file named in the save dialog'):
        with Image.open(picture) as im:
            saved = im.convert("RGB")
        drawn = replay(demo, 0, 4)
        same = drawn is not None and saved.size == drawn.size and \
            ImageChops.difference(saved, drawn).getbbox() is None
        check(same, "the saved picture is the PNG replay --png draws (498 x 180, scheme 0)",
              f"{saved.size}")

    flight = os.path.join(prog.folder, "flight.jsonl")
    if check(save_through_dialog(4, "Save recording", flight),
             '"Save recording..." writes the flight recording named in the save dialog'):
        header, events = recording_events(flight)
        replayed, error = replay_png(CLI, flight, os.path.join(WORK, "flight.png"),
                                     ["--scheme", 0, "--size", 4])
        drawn = replay(demo, 0, 4)
        check(header.get("target") == f"COM{COM}" and hex_stream_bytes(demo) in joined(events, "rx")
              and replayed is not None and drawn is not None
              and ImageChops.difference(replayed, drawn).getbbox() is None,
              "the flight recording holds the session and replays to its screen",
              f"{header.get('target')}, {error}")

    if check(system_menu(1), "the system menu opens again"):
        seen = drv.ask("wait", "About Zezodavoru", 5000) == "ok" and \
            drv.ask("text", "About Zezodavoru", 0xFFFF)
        check(bool(seen) and "Zezodavoru 1.1" in seen, '"About" shows the About box', str(seen))
        drv.ask("click", "About Zezodavoru", ID_OK)
        drv.ask("gone", "About Zezodavoru", 5000)
    check(prog.close() == 0, "the program closes")
    line.close()


def record_and_play():
    """--record FILE holds the session: its rx events are the bytes the
    device sent, its tx events the keys typed. Linux's replay draws the
    window's screen from it, --play ends on its last screen, and so does
    --play of a recording zezodavoru-cli made on Linux."""
    demo = os.path.join(HERE, "demo_stream.hex")
    relink = os.path.join(HERE, "relink_stream.hex")
    line = Line("record")
    prog = Program("record", cfg(0, 1, 4))
    recording = os.path.join(prog.folder, "session.jsonl")
    prog.p = spawn(["wine", prog.exe, "--record", "session.jsonl", str(COM)], cwd=prog.folder)
    if not check(drv.ask("wait", MAIN, 20000, timeout=30) == "ok",
                 "the program starts with --record and a port"):
        return
    time.sleep(1)  # past the settle
    device_send(line, demo)
    screen_agrees(demo, 1)
    focus_main()
    listener = Listener(line, 10)
    time.sleep(0.5)
    for key in ("a", "shift+2", "F10"):
        xdo("key", key)
    got = listener.codes(3, 5)
    check(prog.close() == 0, "the program closes")
    header, events = recording_events(recording)
    check(header.get("format") == "zezodavoru-recording" and header.get("target") == f"COM{COM}",
          "the recording's header names the format and the port", str(header))
    check(joined(events, "rx") == hex_stream_bytes(demo),
          "--record: the rx events are the bytes the device sent", joined(events, "rx").hex())
    check(got == ["41", "40", "b9"] and joined(events, "tx") == bytes.fromhex("4140b9"),
          "--record: the tx events are the keys typed",
          f"{' '.join(got)}; {joined(events, 'tx').hex()}")
    drawn, error = replay_png(CLI, recording, os.path.join(WORK, "recorded.png"), ["--size", 4])
    check(drawn is not None and ImageChops.difference(drawn, replay(demo, 1, 4)).getbbox() is None,
          "the Windows recording replays on Linux to the window's screen", error)

    # A recording of the same kind made on Linux, by zezodavoru-cli.
    cli_line = Line("cli-record")
    cli_recording = os.path.join(WORK, "linux.jsonl")
    recorder = spawn([CLI, "record", cli_line.program_end, cli_recording, "--for", "3"])
    time.sleep(1)  # past the settle
    device_send(cli_line, relink)
    recorder.wait(10)
    cli_line.close()

    for name, path, stream in (("Windows", recording, demo), ("Linux", cli_recording, relink)):
        player = Program(f"play-{name}", cfg(0, 1, 4))
        player.p = spawn(["wine", player.exe, "--play", windows_path(path), "--speed", "2"],
                         cwd=player.folder)
        if not check(drv.ask("wait", MAIN, 20000, timeout=30) == "ok",
                     f"the program starts with --play of the {name} recording"):
            continue
        picture, error = replay_png(CLI, path, os.path.join(WORK, f"played-{name}.png"),
                                    ["--size", 4])
        ok, detail = agrees_with(picture) if picture is not None else (False, error)
        check(ok, f"--play of the {name} recording ends on its last screen", detail)
        check(player.close() == 0, "the program closes")
    line.close()


def dense_screen():
    """A screen of 192 DPI (LogPixels in the prefix, as a 200% setting
    makes it): the size-4 window is twice 500 x 185 and shows the picture
    twice as large, dot for dot; the prefix goes back to 96 DPI after."""
    key = "HKCU\\Control Panel\\Desktop"
    r = subprocess.run(["wine", "reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                        "192", "/f"], capture_output=True, timeout=60)
    try:
        if not check(r.returncode == 0, "the prefix's screen is set to 192 DPI", repr(r.stderr)):
            return
        prog = Program("dpi192", cfg(0, 1, 4))
        if not check(prog.start(), "the program starts on the 192-DPI screen"):
            return
        last = [None]

        def sized():
            last[0] = drv.rect(MAIN, "rect")
            return last[0] is not None and last[0][2:] == (1000, 370)
        wait_until(sized, 10)
        check(last[0] is not None and last[0][2:] == (1000, 370),
              "at 192 DPI the size-4 window is 1000 x 370", str(last[0]))
        empty = os.path.join(WORK, "empty.hex")
        ok, detail, shot = screen_agrees(empty, 1, image=(996, 360))
        check(ok, "at 192 DPI the idle screen is the 96-DPI picture scaled twice, dot for dot",
              detail)
        check(prog.close() == 0, "the program closes")
    finally:
        subprocess.run(["wine", "reg", "delete", key, "/v", "LogPixels", "/f"],
                       capture_output=True, timeout=60)


class TimeUp(BaseException):
    """The run's time limit ended it (run_e2e.sh sends SIGTERM)."""


def main():
    global drv
    for path, what in ((CLI, "zezodavoru-cli"), (EXE, "the program"), (DRIVER, "the UI driver")):
        if not os.path.exists(path):
            check(False, f"{what} is built", path)
    if failed:
        print(f"{passed} passed, {failed} failed")
        return 1
    open(os.path.join(WORK, "empty.hex"), "w").close()  # the idle screen's stream
    drv = Driver(processes, DRIVER, log)
    try:
        if check(drv.ask("find", MAIN, timeout=60) == "none", "the UI driver runs under Wine"):
            only = os.environ.get("ZEZ_E2E_ONLY", "").split()
            parts = [first_run_and_link, short_settings_file, unwritable_folder,
                     settings_path_is_folder, sizes_and_scheme_2, command_line_and_burst,
                     deaf_line, socket_port_through_ser2net, system_menu_commands,
                     record_and_play, dense_screen]
            for part in parts:
                if only and part.__name__ not in only:
                    continue
                start = time.monotonic()
                try:
                    part()
                except Exception as e:  # a broken step fails the part, not the run
                    check(False, f"{part.__name__} ran to its end", repr(e))
                log(f"{part.__name__}: {time.monotonic() - start:.1f} s")
                # Whatever a part left running ends with it, so the next part
                # starts from no window.
                for p in started:
                    if p is not drv.p:
                        stop(p)
    except TimeUp:
        check(False, "the run ended within its time limit")
    finally:
        drv.close()
        for p in started:
            stop(p)
        unlink_com_port(PREFIX, COM)
        print(f"{passed} passed, {failed} failed", flush=True)
    return 0 if failed == 0 else 1


def time_up(*_):
    raise TimeUp()


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, time_up)
    sys.exit(main())
