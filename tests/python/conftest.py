"""Shared by the Python module's tests: the command-line tool, the project's
device streams in hex text, and a pseudo-terminal pair whose far end plays
the device."""

import os
import pathlib
import re
import select
import subprocess
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
