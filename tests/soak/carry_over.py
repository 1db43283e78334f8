#!/usr/bin/python3
"""What one demo device session leaves in the program for the next, shown
with zezodavoru-cli alone (no window, no Wine): the reason the soak run
compares the screen with a replay of everything the program was given, not
only of the bytes since the device last started.

    carry_over.py [ZEZODAVORU_CLI]      (default build/soak-native/bin/zezodavoru-cli)

Session A is the demo device on a pseudo-terminal for four seconds, with
Down and Enter pressed once its menu shows, so that it is calibrating (its
"CAL" override on the right number, its busy indicator turning) when the
cable is pulled. Session B is the next power-up. Replay starts from the
program's start-up screen, as the program does, and prints a row of the
screen after B alone (a first power-up) and after A and B:

  A, then B                     pulled while calibrating: the reset (0x87)
                                keeps overrides, so unless B's start turns
                                them off "CAL" stays where B's status line
                                wants "TX" and its number
  A cut after "A6 02", then B   pulled in the middle of the override
                                command: B's first bytes finish it (the
                                program keeps in step only by counting), and
                                B's reset with them, unless B's start sends
                                the zeros that end any command first
  A, then B calibrating         row 3: the busy indicator's place in its
                                cycle survives the reset and no command sets
                                it, so B's first busy character follows A's
                                last one

The first two rows must be the same as after B alone (the device's power-up
brings the program back in step as the protocol reference advises); the
third is reported only, as no device can help it. Exit status 1 when one of
the first two differs.
"""
import os
import select
import subprocess
import sys
import time
import tty

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CLI = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/soak-native/bin/zezodavoru-cli")
KEY_DOWN, KEY_ENTER = 0xE3, 0xE9


def session(seconds, keys=(), seed=1):
    """The bytes the demo device sends in `seconds`, keys given as (time, code)."""
    master, slave = os.openpty()
    tty.setraw(slave)
    demo = subprocess.Popen([CLI, "demo", os.ttyname(slave), "--seed", str(seed)],
                            stderr=subprocess.DEVNULL)
    sent = bytearray()
    keys = list(keys)
    start = time.monotonic()
    while time.monotonic() - start < seconds:
        if keys and time.monotonic() - start >= keys[0][0]:
            os.write(master, bytes([keys.pop(0)[1]]))
        if select.select([master], [], [], 0.02)[0]:
            sent += os.read(master, 4096)
    demo.terminate()
    demo.wait()
    os.close(master)
    os.close(slave)
    return bytes(sent)


def row(stream, number):
    """A row of the replayed screen as text; custom characters and codes
    outside ASCII as <hex>."""
    out = subprocess.run([CLI, "replay"], input=stream, capture_output=True, check=True).stdout
    lines = out.decode().splitlines()
    codes = bytes.fromhex(lines[lines.index("cells") + number].replace(" ", ""))
    return "".join(chr(c) if 0x20 <= c < 0x7F else f"<{c:x}>" for c in codes)


def main():
    calibrate = [(2.6, KEY_DOWN), (2.9, KEY_ENTER)]
    a = session(4.0, calibrate, seed=1)
    b = session(3.0, seed=2)
    b_calibrating = session(3.7, calibrate, seed=2)
    override = a.find(bytes([0xA6, 0x02]))
    if override < 0:
        sys.exit("session A never set the right override: was the menu up in time?")
    checked = [("A, then B", row(b, 1), row(a + b, 1)),
               ('A cut after "A6 02", then B', row(b, 1), row(a[:override + 2] + b, 1))]
    shown = [("A, then B calibrating", row(b_calibrating, 3), row(a + b_calibrating, 3))]
    for name, alone, after in checked + shown:
        print(f"{name:<30}B alone: {alone:<34} after A: {after:<34} "
              f"{'same' if after == alone else 'carried over'}")
    return 0 if all(after == alone for _, alone, after in checked) else 1


if __name__ == "__main__":
    sys.exit(main())
