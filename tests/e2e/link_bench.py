#!/usr/bin/python3
"""Throughput of the Windows program's serial link as a device meets it,
measured under Wine and Xvfb (scripts/bench-link prepares both and runs this
with the work folder as its argument).

The program is started in a folder of its own with settings for COM port
BENCH_COM, size 4, and linked through its setup dialog (a right click, then
"Open I/F"), so the same measure works for every version of the program. A
socat pseudo-terminal pair is the line. Three mixes of commands are then
written from the device's end as fast as the pseudo-terminal takes them:

  row texts         0x8C, a row and 20 characters: 22 bytes, one repaint
  one-byte repaints backspace and scrolls, each a command that repaints
  no repaint        bytes that ask for no repaint (0x85, 0x86, 0x88 and
                    0x9B with their argument, bytes outside the commands)

Each mix begins with a reset (0x87) and ends with a marker row of its own.
The clock runs from the first byte written until the window's client area
shows, dot for dot, what `zezodavoru-cli replay` draws for the same bytes:
the marker can only be there once every byte before it has been read and
painted. Prints bytes a second and their ratio to the line's rate, and the
time from the last byte written to the screen showing it (which includes
emptying the pseudo-terminal's buffers). Last, a single row sent on its own
into the idle line is timed until it shows: the delay of the last command of
any burst, to be compared with a frame of 16 ms.

Environment: ZEZ_CLI, ZEZ_EXE, ZEZ_DRIVER, WINEPREFIX, DISPLAY;
ZEZ_BENCH_BYTES the bytes of each mix (default 2000000); ZEZ_BENCH_MIXES
words of the names of the mixes to run (default all), e.g. "one-byte".
"""

import os
import sys
import time

from PIL import ImageGrab

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import zez_testlib as lib  # noqa: E402
from zez_testlib import (  # noqa: E402
    DOTS_H, DOTS_W, ID_CANCEL, ID_LINK_TEXT, ID_OPEN_CLOSE, IMAGE_H, IMAGE_W, MAIN_TITLE, PICTURE,
    SETUP_SUFFIX, click_point, dot_sample, link_com_port, program_folder, settings_bytes,
    socat_pair, unlink_com_port, wait_until)

WORK = os.path.abspath(sys.argv[1])
CLI = os.environ["ZEZ_CLI"]
EXE = os.environ["ZEZ_EXE"]
DRIVER = os.environ["ZEZ_DRIVER"]
PREFIX = os.environ["WINEPREFIX"]
DISPLAY = os.environ["DISPLAY"]
BYTES = int(os.environ.get("ZEZ_BENCH_BYTES", "2000000"))

BENCH_COM = 31
LINE_RATE = 1920  # bytes a second at 19200 baud, 8N1
MAIN = MAIN_TITLE
SETUP = MAIN + SETUP_SUFFIX
PICTURE_4 = PICTURE[4]

# The processes started here, listed in WORK/pids for the shell's trap; their
# error output goes nowhere.
processes = lib.Processes(WORK, errors_to_log=False)


class Driver(lib.Driver):
    """The UI driver; the run ends when it does not answer."""

    def ask(self, *fields, timeout=20):
        answer = super().ask(*fields, timeout=timeout)
        if answer is None:
            sys.exit(f"the UI driver did not answer {fields!r}")
        return answer


def mixes():
    rows = bytearray()
    i = 0
    while len(rows) < BYTES:
        rows += bytes([0x8C, i % 4 + 1]) + bytes(0x41 + (i + k) % 26 for k in range(20))
        i += 1
    repaints = bytes([0x91, 0x90, 0x9C, 0x92]) * (BYTES // 4)
    quiet_unit = bytes([0x85, 0x86, 0x88, 0x55, 0x9B, 0x20, 0x41, 0x7E])
    quiet = quiet_unit * (BYTES // len(quiet_unit))
    return [("row texts", bytes(rows)), ("one-byte repaint commands", repaints),
            ("bytes that ask for no repaint", quiet)]


def expected_dots(stream, name):
    path = os.path.join(WORK, f"{name}.bin")
    with open(path, "wb") as f:
        f.write(stream)
    picture, error = lib.replay_png(CLI, path, os.path.join(WORK, f"{name}.png"), ["--scheme", 1],
                                    timeout=120)
    if picture is None:
        sys.exit(f"replay of {name} failed: {error}")
    return {(x, y): bytes(picture.getpixel(dot_sample(x, y, IMAGE_W, IMAGE_H)))
            for y in range(DOTS_H) for x in range(DOTS_W)}


def dot_offsets(client, dots):
    """The expected dots inside the client area, as (byte offset in its RGB
    screenshot, colour)."""
    w, h = client[2], client[3]
    offsets = []
    for (x, y), colour in dots.items():
        sx, sy = dot_sample(x, y, *PICTURE_4)
        if sx < w and sy < h:
            offsets.append((3 * (sy * w + sx), colour))
    return offsets


def shows(client, offsets):
    """Whether the client area shows the expected dots."""
    x0, y0, w, h = client
    shot = ImageGrab.grab(bbox=(x0, y0, x0 + w, y0 + h), xdisplay=DISPLAY).convert("RGB").tobytes()
    return all(shot[i:i + 3] == colour for i, colour in offsets)


def main():
    os.makedirs(WORK, exist_ok=True)
    device, program_end = os.path.join(WORK, "device"), os.path.join(WORK, "program")
    if not socat_pair(processes, device, program_end)[1]:
        sys.exit("socat made no pseudo-terminal pair")
    link_com_port(PREFIX, BENCH_COM, program_end)

    folder = os.path.join(WORK, "program-folder")
    exe = program_folder(folder, EXE, settings_bytes(BENCH_COM, 1, 4))

    drv = Driver(processes, DRIVER)
    processes.spawn(["wine", exe], cwd=folder)
    if drv.ask("wait", MAIN, 30000, timeout=40) != "ok":
        sys.exit("the program's window did not appear")
    client = wait_until(lambda: drv.rect(MAIN), 10, 0.05)
    time.sleep(1)
    client = drv.rect(MAIN)
    if not lib.open_setup(drv, click_point(client), SETUP):
        sys.exit("the setup dialog did not open")
    drv.ask("click", SETUP, ID_OPEN_CLOSE)
    if not wait_until(lambda: drv.ask("text", SETUP, ID_LINK_TEXT) == "Qor Linked", 10, 0.05):
        sys.exit("the link did not open")
    drv.ask("click", SETUP, ID_CANCEL)
    drv.ask("gone", SETUP, 10000)
    time.sleep(0.5)
    client = drv.rect(MAIN)

    fd = os.open(device, os.O_WRONLY)
    print(f"{BYTES:,} bytes a mix; line rate {LINE_RATE:,} bytes/s (19200 baud, 8N1)", flush=True)
    wanted = os.environ.get("ZEZ_BENCH_MIXES", "").split()
    for index, (name, body) in enumerate(mixes()):
        if wanted and not any(word in name for word in wanted):
            continue
        marker = f"end of mix {index + 1}".ljust(20).encode()
        stream = bytes([0x87]) + body + bytes([0x8C, 0x02]) + marker
        offsets = dot_offsets(client, expected_dots(stream, f"mix{index + 1}"))
        start = time.monotonic()
        view = memoryview(stream)
        while view:
            view = view[os.write(fd, view):]
        written = time.monotonic()
        if not wait_until(lambda: shows(client, offsets), 600, 0.02):
            sys.exit(f"{name}: the screen never showed the stream's last row")
        shown = time.monotonic()
        rate = len(stream) / (shown - start)
        print(f"{name}: {len(stream):,} bytes in {shown - start:.2f} s: {rate:,.0f} bytes/s, "
              f"{rate / LINE_RATE:.1f} x the line rate; shown {1000 * (shown - written):.0f} ms "
              f"after the last byte was written", flush=True)
        time.sleep(0.3)
    # Rows sent one by one into the idle line, after a reset: each leaves
    # the screen of the reset and that row alone.
    os.write(fd, bytes([0x87]))
    offsets = dot_offsets(client, expected_dots(bytes([0x87]), "reset"))
    if not wait_until(lambda: shows(client, offsets), 10, 0.02):
        sys.exit("the reset never showed")
    delays = []
    for i in range(10):
        row = bytes([0x8C, 0x03]) + f"single row {i}".ljust(20).encode()
        offsets = dot_offsets(client, expected_dots(bytes([0x87]) + row, f"single{i}"))
        start = time.monotonic()
        os.write(fd, row)
        if not wait_until(lambda: shows(client, offsets), 10, 0.002):
            sys.exit("a row sent on its own never showed")
        delays.append(1000 * (time.monotonic() - start))
        time.sleep(0.1)
    delays.sort()
    print(f"a row sent on its own shows after {delays[len(delays) // 2]:.0f} ms (median of 10, "
          f"{delays[0]:.0f} to {delays[-1]:.0f} ms)", flush=True)
    os.close(fd)
    drv.ask("close", MAIN)
    drv.ask("quit", timeout=5)
    time.sleep(0.5)


if __name__ == "__main__":
    try:
        main()
    finally:
        processes.stop_all(newest_first=True)
        unlink_com_port(PREFIX, BENCH_COM)
