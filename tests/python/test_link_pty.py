"""The panel's own thread on a real line: a row written on a pseudo-terminal
shows in wait_for within milliseconds, and a line that goes away and comes
back is seen in `state` (lost, then linked again) with the screen following
the device after the relink."""

import os
import shutil
import signal
import subprocess
import time

import pytest

import zezodavoru
from conftest import SETTLE, row_text


def test_rows_written_on_the_line_are_seen_at_once(pty):
    with zezodavoru.Panel(pty.path) as panel:
        time.sleep(SETTLE)
        for n in range(5):
            text = f"Row {n} arrived"
            start = time.monotonic()
            pty.write(row_text(2 + n % 3, text))
            screen = panel.wait_for(text, row=2 + n % 3, timeout=2)
            assert time.monotonic() - start < 0.1
            assert screen.rows[1 + n % 3] == text.ljust(20)
        assert panel.received == 5 * 22
        # Quiet once nothing more comes.
        assert panel.wait_quiet(0.1, timeout=1).rows[1] == "Row 3 arrived".ljust(20)


def wait_state(panel, state, timeout):
    deadline = time.monotonic() + timeout
    while panel.state != state and time.monotonic() < deadline:
        time.sleep(0.02)
    return panel.state


@pytest.fixture
def socat_pair(tmp_path):
    """A pty pair made by socat at tmp/panel and tmp/device; start() and
    stop() make and pull it like a USB adapter."""
    if shutil.which("socat") is None:
        pytest.skip("socat is not installed")

    class Pair:
        panel_path, device_path = str(tmp_path / "panel"), str(tmp_path / "device")
        process = None

        def start(self):
            self.process = subprocess.Popen(
                ["socat", f"pty,raw,echo=0,link={self.panel_path}",
                 f"pty,raw,echo=0,link={self.device_path}"])
            deadline = time.monotonic() + 5
            while not (os.path.exists(self.panel_path) and os.path.exists(self.device_path)):
                assert time.monotonic() < deadline, "socat made no pty pair"
                time.sleep(0.02)

        def stop(self):
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(timeout=5)

    pair = Pair()
    pair.start()
    yield pair
    if pair.process.poll() is None:
        pair.stop()


def test_line_lost_and_back_is_seen_in_state(socat_pair):
    with zezodavoru.Panel(socat_pair.panel_path) as panel:
        assert panel.state == "linked"
        socat_pair.stop()
        assert wait_state(panel, "lost", 2) == "lost"
        assert panel.target == socat_pair.panel_path
        with pytest.raises(ConnectionError, match="lost"):
            panel.press("Enter")
        socat_pair.start()
        assert wait_state(panel, "linked", 3) == "linked"
        time.sleep(SETTLE)
        device = os.open(socat_pair.device_path, os.O_RDWR | os.O_NOCTTY)
        try:
            os.write(device, row_text(3, "Back again"))
            assert panel.wait_for("Back again", row=3, timeout=2)
            panel.press("F1")
            assert os.read(device, 1) == b"\xb0"
        finally:
            os.close(device)
        panel.close()
        assert panel.state == "closed" and panel.target is None
