"""The time from a row written on a line to the row shown: the write, then
the first X DAMAGE event of the program's window (its paint reaching the X
server), for ROWS rows one after another, each written once the one before
was shown and the window has been quiet for a moment. Prints the median and
the worst.

    row_latency.py WINDOW_NAME_REGEX DEVICE_PATH [ROWS]

WINDOW_NAME_REGEX finds the window (xdotool search --name); DEVICE_PATH is
the device's end of the line the program is linked to (a pseudo-terminal),
opened for writing. The program must be linked and past its settle. Uses
libX11 and libXdamage through ctypes (both come with the X server's
packages), on $DISPLAY.
"""

import ctypes
import ctypes.util
import os
import select
import statistics
import subprocess
import sys
import time

X = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
XDAMAGE = ctypes.CDLL(ctypes.util.find_library("Xdamage") or "libXdamage.so.1")
X.XOpenDisplay.restype = ctypes.c_void_p
X.XOpenDisplay.argtypes = [ctypes.c_char_p]
X.XConnectionNumber.argtypes = [ctypes.c_void_p]
X.XPending.argtypes = [ctypes.c_void_p]
X.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
X.XFlush.argtypes = [ctypes.c_void_p]
X.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
X.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                         ctypes.POINTER(ctypes.c_ulong),
                         ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                         ctypes.POINTER(ctypes.c_uint)]
X.XFree.argtypes = [ctypes.c_void_p]
XDAMAGE.XDamageQueryExtension.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                          ctypes.POINTER(ctypes.c_int)]
XDAMAGE.XDamageCreate.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
XDAMAGE.XDamageCreate.restype = ctypes.c_ulong
REPORT_RAW_RECTANGLES = 0


class Event(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("pad", ctypes.c_long * 24)]


def windows_under(display, window):
    """The window and every window below it."""
    found = [window]
    root, parent = ctypes.c_ulong(), ctypes.c_ulong()
    children = ctypes.POINTER(ctypes.c_ulong)()
    count = ctypes.c_uint()
    if X.XQueryTree(display, window, ctypes.byref(root), ctypes.byref(parent),
                    ctypes.byref(children), ctypes.byref(count)):
        kids = [children[i] for i in range(count.value)]
        if children:
            X.XFree(children)
        for kid in kids:
            found += windows_under(display, kid)
    return found


class Damage:
    """DAMAGE events of a window and its subwindows."""

    def __init__(self, window):
        self.display = X.XOpenDisplay(None)
        if not self.display:
            sys.exit("no X display")
        base, error = ctypes.c_int(), ctypes.c_int()
        if not XDAMAGE.XDamageQueryExtension(self.display, ctypes.byref(base), ctypes.byref(error)):
            sys.exit("the X server has no DAMAGE extension")
        self.notify = base.value  # XDamageNotify is the extension's first event
        for w in windows_under(self.display, window):
            XDAMAGE.XDamageCreate(self.display, w, REPORT_RAW_RECTANGLES)
        X.XSync(self.display, 0)
        self.fd = X.XConnectionNumber(self.display)

    def next(self, timeout):
        """The time of the next damage event, or None after `timeout` s."""
        end = time.perf_counter() + timeout
        event = Event()
        while True:
            while X.XPending(self.display):
                X.XNextEvent(self.display, ctypes.byref(event))
                if event.type == self.notify:
                    return time.perf_counter()
            left = end - time.perf_counter()
            if left <= 0:
                return None
            select.select([self.fd], [], [], left)

    def quiet(self, seconds):
        """Waits until no damage came for `seconds`."""
        while self.next(seconds) is not None:
            pass


def main():
    name, device = sys.argv[1], sys.argv[2]
    rows = int(sys.argv[3]) if len(sys.argv) > 3 else 200
    found = subprocess.run(["xdotool", "search", "--name", name], capture_output=True,
                           text=True).stdout.split()
    if not found:
        sys.exit(f"no window named {name!r}")
    damage = Damage(int(found[0]))
    fd = os.open(device, os.O_WRONLY | os.O_NOCTTY)
    took = []
    missed = 0
    damage.quiet(0.2)
    for n in range(rows):
        row = bytes([0x8C, n % 4 + 1]) + f"latency row {n:5d}".ljust(20).encode()
        start = time.perf_counter()
        os.write(fd, row)
        shown = damage.next(1.0)
        if shown is None:
            missed += 1
        else:
            took.append(1000 * (shown - start))
        damage.quiet(0.03)
    os.close(fd)
    if not took:
        sys.exit("no row was shown")
    print(f"row written to row shown, {len(took)} rows: median {statistics.median(took):.1f} ms, "
          f"worst {max(took):.1f} ms" + (f"; {missed} not shown within 1 s" if missed else ""))


if __name__ == "__main__":
    main()
