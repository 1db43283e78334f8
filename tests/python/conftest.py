"""Shared by the Python module's tests: the command-line tool, the project's
device streams in hex text, a pseudo-terminal pair whose far end plays
the device, and a small farm of demo devices behind ser2net."""

import os
import pathlib
import re
import select
import shutil
import socket
import subprocess
import sys
import termios
import time
import tty

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def cli():
    """zezodavoru-cli: $ZEZ_CLI, else the native build's."""
    path = pathlib.Path(os.environ.get("ZEZ_CLI", ROOT / "build/native/bin/zezodavoru-cli"))
    if not path.exists():
        pytest.fail(f"zezodavoru-cli not found at {path} (set ZEZ_CLI)")
    return path


def hex_steps(text):
    """The steps of a hex text stream (tools/byte_stream.h): bytes objects
    for runs of bytes and None for each 100 ms tick."""
    steps, run, pending = [], bytearray(), ""
    for line in text.splitlines():
        for char in line.split("#", 1)[0]:
            if char in "tT":
                assert not pending, "a tick inside a hex pair"
                if run:
                    steps.append(bytes(run))
                    run.clear()
                steps.append(None)
            elif not char.isspace():
                pending += char
                if len(pending) == 2:
                    run.append(int(pending, 16))
                    pending = ""
    assert not pending, "an unpaired hex digit"
    if run:
        steps.append(bytes(run))
    return steps


def replay_cells(cli, stream_path):
    """The cell codes replay --hex prints for a stream: four rows of 20."""
    dump = subprocess.run(
        [cli, "replay", "--hex", stream_path], check=True, capture_output=True, text=True
    ).stdout
    rows = dump.split("cells\n", 1)[1].split("\n")[:4]
    return [bytes(int(h, 16) for h in row.split()) for row in rows]


def row_text(row, text):
    """Device bytes that write one row (command 0x8C): 20 characters."""
    return bytes([0x8C, row]) + text.ljust(20).encode("ascii")


class Pty:
    """A pseudo-terminal pair: the panel opens `path`; the test plays the
    device on the master side."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.master)
        self.path = os.ttyname(self.slave)

    def read(self, count, timeout=2.0):
        """Up to `count` bytes the panel sent, waiting at most `timeout`."""
        data, deadline = b"", time.monotonic() + timeout
        while len(data) < count:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.master], [], [], left)[0]:
                break
            data += os.read(self.master, count - len(data))
        return data

    def drain(self):
        termios.tcflush(self.master, termios.TCIFLUSH)
        while select.select([self.master], [], [], 0.05)[0]:
            os.read(self.master, 4096)

    def write(self, data):
        os.write(self.master, data)

    def close(self):
        os.close(self.master)
        os.close(self.slave)


@pytest.fixture
def pty():
    pair = Pty()
    yield pair
    pair.close()


# Bytes that arrive in the link's first 0.4 s are dropped while it settles.
SETTLE = 0.5


def docs_streams():
    """The worked examples of docs/protocol.md: (line, hex text) of each
    ```stream block."""
    text = (ROOT / "docs/protocol.md").read_text()
    return [
        (text[: m.start()].count("\n") + 1, m.group(1))
        for m in re.finditer(r"^```stream[ \t]*\n(.*?)^```", text, re.M | re.S)
    ]


def run_pytest(folder, *args, timeout=120):
    """pytest with the plugin in a folder of its own: (exit status, output)."""
    paths = os.environ.get("PYTHONPATH", "").split(os.pathsep)
    env = {k: v for k, v in os.environ.items() if not k.startswith("PYTEST_XDIST_")}
    env.update(PYTHONDONTWRITEBYTECODE="1",
               PYTHONPATH=os.pathsep.join(os.path.abspath(p) for p in paths if p))
    done = subprocess.run(
        [sys.executable, "-m", "pytest", "-p", "zezodavoru.pytest_plugin", "-p",
         "no:cacheprovider", "-q", *map(str, args)],
        cwd=folder, env=env, capture_output=True, text=True, timeout=timeout,
    )
    return done.returncode, done.stdout + done.stderr


def _listening(port):
    """Whether something listens on the loopback TCP port."""
    with open("/proc/net/tcp") as table:
        return any(
            line.split()[1].endswith(f":{port:04X}") and line.split()[3] == "0A"
            for line in table.readlines()[1:]
        )


def _free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Farm:
    """Demo devices as a farm has them: each plays on one end of socat's
    pseudo-terminal pair (zezodavoru-cli demo), and ser2net serves the other
    end on a loopback port (one client at a time); `raw` is the pair's own
    end, a device path. Devices: (protocol, host, port or path, target)."""

    def __init__(self, cli, folder, protocols):
        for tool in ("socat", "ser2net"):
            if shutil.which(tool) is None:
                pytest.skip(f"{tool} is not installed")
        self.processes, self.devices = [], []
        try:
            for n, protocol in enumerate(protocols):
                self._add(cli, folder, n, protocol)
        except BaseException:
            self.stop()
            raise

    def _spawn(self, args):
        process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def _add(self, cli, folder, n, protocol):
        device, served = folder / f"device{n}", folder / f"served{n}"
        self._spawn(["socat", f"pty,link={device},raw,echo=0", f"pty,link={served},raw,echo=0"])
        deadline = time.monotonic() + 5
        while not (device.exists() and served.exists()) and time.monotonic() < deadline:
            time.sleep(0.02)
        self._spawn([cli, "demo", str(device)])
        if protocol == "path":
            self.devices.append((protocol, None, str(served), str(served)))
            return
        for _ in range(5):  # a port another program took meanwhile: another one
            port = _free_port()
            accepter = "telnet(rfc2217),tcp" if protocol == "rfc2217" else "tcp"
            server = self._spawn([
                "ser2net", "-n", "-d", "-Y",
                f"connection: &farm{n}#  accepter: {accepter},127.0.0.1,{port}#"
                f"  connector: serialdev(nouucplock=true),{served},19200n81,local"])
            deadline = time.monotonic() + 5
            while not _listening(port) and server.poll() is None and time.monotonic() < deadline:
                time.sleep(0.02)
            if _listening(port):
                scheme = "rfc2217" if protocol == "rfc2217" else "socket"
                self.devices.append((protocol, "127.0.0.1", port, f"{scheme}://127.0.0.1:{port}"))
                return
            server.kill()
        pytest.fail("ser2net did not listen on a free port")

    @property
    def targets(self):
        return [device[3] for device in self.devices]

    def stop(self):
        for process in reversed(self.processes):
            process.terminate()
        for process in self.processes:
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
