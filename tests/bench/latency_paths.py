"""The time from a row written to the row shown (row_latency.py: 200 rows,
the write to the window's X DAMAGE event, median and worst) on each path a
user meets: the Linux program from a pseudo-terminal and through ser2net
(rfc2217://), the Windows program under Wine from a COM port and through
ser2net as raw TCP (socket://, when its command line takes a URL).
Called by scripts/bench-latency with one set of programs:

    latency_paths.py WORK NATIVE_BIN WINDOWS_EXE [ROWS]

Environment: DISPLAY (an X server of the caller's), WINEPREFIX;
ZEZ_BENCH_PATHS "linux" or "windows" for one program's paths only;
ZEZ_BENCH_CHARDELAY=1 leaves ser2net's chardelay on, as its default
configuration has it (it holds each piece of a row back a few milliseconds
for more bytes).
"""

import os
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "lib"))
import zez_testlib as lib  # noqa: E402

WORK, NATIVE_BIN, EXE = (os.path.abspath(a) for a in sys.argv[1:4])
ROWS = sys.argv[4] if len(sys.argv) > 4 else "200"
PROGRAM = os.path.join(NATIVE_BIN, "zezodavoru")
COM = 33
processes = lib.Processes(WORK, errors_to_log=False)


def free_tcp_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def ser2net(accepter, port, device):
    options = "" if os.environ.get("ZEZ_BENCH_CHARDELAY") == "1" else "#  options:#    chardelay: false"
    server = processes.spawn(["ser2net", "-n", "-d", "-Y",
                              f"connection: &bench#  accepter: {accepter},127.0.0.1,{port}#  "
                              f"connector: serialdev(nouucplock=true),{device},19200n81,local"
                              + options])
    lib.wait_until(lambda: "LISTEN" in subprocess.run(["ss", "-ltn", f"sport = :{port}"],
                                                      capture_output=True, text=True).stdout, 5)
    return server


def measure(what, window_name, device, program):
    """Waits for the window, then for the link to settle, and measures."""
    found = lib.wait_until(lambda: lib.xdo("search", "--name", window_name), 30, 0.1)
    if not found or program.poll() is not None:
        print(f"{what}: the window did not appear", flush=True)
        return
    time.sleep(1.5)  # the window painted, the link past its settle
    r = subprocess.run(["/usr/bin/python3", os.path.join(HERE, "row_latency.py"), window_name,
                        device, ROWS], capture_output=True, text=True, timeout=600)
    print(f"{what}: {(r.stdout or r.stderr).strip()}", flush=True)


def linux_paths():
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(WORK, "config"))
    for network in ("", "rfc2217"):
        device, near = os.path.join(WORK, "device"), os.path.join(WORK, "program")
        pair, _ = lib.socat_pair(processes, device, near)
        target, server = near, None
        if network:
            port = free_tcp_port()
            server = ser2net("telnet(rfc2217),tcp", port, near)
            target = f"rfc2217://127.0.0.1:{port}"
        program = processes.spawn([PROGRAM, "--port", target, "--size", "4"], env=env)
        measure("Linux program, " + ("through ser2net (rfc2217://)" if network else "from a pty"),
                "^Zezodavoru .* linked$", device, program)
        for p in (program, server, pair):
            processes.stop(p)


def windows_paths():
    for network in ("", "socket"):
        device, near = os.path.join(WORK, "device"), os.path.join(WORK, "program")
        pair, _ = lib.socat_pair(processes, device, near)
        folder = os.path.join(WORK, f"windows-{network or 'com'}")
        exe = lib.program_folder(folder, EXE, lib.settings_bytes(COM, 1, 4))
        server = None
        if network:
            port = free_tcp_port()
            server = ser2net("tcp", port, near)
            argument = f"socket://127.0.0.1:{port}"
        else:
            lib.link_com_port(os.environ["WINEPREFIX"], COM, near)
            argument = str(COM)
        program = processes.spawn(["wine", exe, argument], cwd=folder)
        measure("Windows program, " + ("through ser2net (socket://)" if network
                                       else "from a COM port"),
                "^Zezodavoru 1.1$", device, program)
        for p in (program, server, pair):
            processes.stop(p)
        lib.unlink_com_port(os.environ["WINEPREFIX"], COM)


if __name__ == "__main__":
    os.makedirs(WORK, exist_ok=True)
    try:
        only = os.environ.get("ZEZ_BENCH_PATHS", "")
        if only in ("", "linux"):
            linux_paths()
        if only in ("", "windows"):
            windows_paths()
    finally:
        processes.stop_all(newest_first=True)
