"""Measures the Linux program under X: start-up to the first painted screen,
the rate at which it keeps up with a stream of one-byte repaint commands
from a pseudo-terminal (the screen must end equal to the replay tool's
picture of the same stream), and the delay from a row written on the
pseudo-terminal to the row shown (screenshots included, so an upper bound).
Called by scripts/bench-linux; with "rfc2217" as the third argument
(scripts/bench-linux-network) the program links through ser2net serving the
pseudo-terminal on a loopback port instead of opening it."""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
from zez_testlib import grab as picture, replay_png, xdo  # noqa: E402

BIN, MEGABYTES = sys.argv[1], float(sys.argv[2])
NETWORK = sys.argv[3] if len(sys.argv) > 3 else ""
PROGRAM = os.path.join(BIN, "zezodavoru")
CLI = os.path.join(BIN, "zezodavoru-cli")
LINE_RATE = 1920  # bytes a second at 19200 baud, 8N1
work = tempfile.mkdtemp(prefix="zez-bench-")
env = dict(os.environ, XDG_CONFIG_HOME=work)


def window_of(process, title_part, limit=10.0):
    end = time.monotonic() + limit
    while time.monotonic() < end and process.poll() is None:
        found = xdo("search", "--name", title_part).split()
        if found:
            return found[0]
        time.sleep(0.01)
    sys.exit("the window did not appear")


def wait_for(window, test, limit):
    start = time.monotonic()
    shot = None
    while time.monotonic() - start < limit:
        shot = picture(window)
        if shot is not None and test(shot):
            return time.monotonic()
        time.sleep(0.005)
    if shot is not None:
        shot.save(os.path.join(work, "last.png"))
    sys.exit(f"the window never showed the expected screen (last seen: {work}/last.png)")


# Start-up: from exec to a painted screen with lit dots (the demo device's
# first screen; an unpainted window is uniform).
started = time.monotonic()
demo = subprocess.Popen([PROGRAM, "--demo", "--size", "4"], env=env)
window = window_of(demo, "^Zezodavoru .* Demo device$")
painted = wait_for(window, lambda shot: len(set(shot.getdata())) > 1, 10)
demo.terminate()
demo.wait()
print(f"start-up to the first painted screen: {1000 * (painted - started):.0f} ms")

# Throughput: scrolls and backspaces (one-byte commands, each asking for a
# repaint), then a row of text that marks the end.
count = int(MEGABYTES * 1_000_000)
stream = bytes([0x91, 0x90, 0x9C, 0x92]) * (count // 4)
stream += bytes([0x8C, 0x02]) + b"end of the stream   "
with open(os.path.join(work, "stream.bin"), "wb") as f:
    f.write(stream)
expected_png = os.path.join(work, "expected.png")
expected, error = replay_png(CLI, os.path.join(work, "stream.bin"), expected_png, ["--size", 4])
if expected is None:
    sys.exit(f"replay failed: {error}")
expected = expected.tobytes()

device, program = os.path.join(work, "device"), os.path.join(work, "program")
socat = subprocess.Popen(["socat", f"pty,link={device},raw,echo=0", f"pty,link={program},raw,echo=0"])
while not (os.path.exists(device) and os.path.exists(program)):
    time.sleep(0.01)
port = program
if NETWORK:
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        tcp_port = s.getsockname()[1]
    accepter = "telnet(rfc2217),tcp" if NETWORK == "rfc2217" else "tcp"
    server = subprocess.Popen(["ser2net", "-n", "-Y", f"connection: &bench#  accepter: {accepter},127.0.0.1,{tcp_port}"
                               f"#  connector: serialdev(nouucplock=true),{program},19200n81,local"],
                              stderr=subprocess.DEVNULL)
    port = f"{NETWORK}://127.0.0.1:{tcp_port}"
    print(f"through ser2net: {port}")
linked = subprocess.Popen([PROGRAM, "--port", port, "--size", "4"], env=env)
window = window_of(linked, "^Zezodavoru .* linked$")
time.sleep(0.6)  # the link drops what arrives in its first 400 ms
fd = os.open(device, os.O_WRONLY)
start = time.monotonic()
view = memoryview(stream)
while view:
    view = view[os.write(fd, view):]
written = time.monotonic()
shown = wait_for(window, lambda shot: shot.tobytes() == expected, 120)
rate = len(stream) / (shown - start)
print(f"one-byte repaint commands: {len(stream)} bytes in {shown - start:.2f} s "
      f"(written in {written - start:.2f} s): {rate:,.0f} bytes/s, {rate / LINE_RATE:.0f} x the line rate")

# Latency: single rows, each written once the one before is shown.
delays = []
for k in range(10):
    row = bytes([0x8C, 0x02]) + f"latency row {k:02d}".ljust(20).encode()
    stream += row
    with open(os.path.join(work, "stream.bin"), "wb") as f:
        f.write(stream)
    expected, error = replay_png(CLI, os.path.join(work, "stream.bin"), expected_png, ["--size", 4])
    if expected is None:
        sys.exit(f"replay failed: {error}")
    expected = expected.tobytes()
    start = time.monotonic()
    os.write(fd, row)
    delays.append(1000 * (wait_for(window, lambda shot: shot.tobytes() == expected, 10) - start))
delays.sort()
print(f"row written to row shown (screenshot included): median {delays[len(delays) // 2]:.0f} ms, "
      f"worst {delays[-1]:.0f} ms")
shot_start = time.monotonic()
picture(window)
print(f"(one screenshot takes {1000 * (time.monotonic() - shot_start):.0f} ms)")
os.close(fd)
linked.terminate()
linked.wait()
socat.terminate()
if NETWORK:
    server.terminate()
