"""A test written by `zezodavoru-cli codegen` from a session recorded on the
demo device passes against the demo device from its start-up (under the
plugin, in another process, with the status line's counters elsewhere by
then) and fails against a device that shows something else."""

import socket
import subprocess
import threading
import time

import pytest

import zezodavoru
from conftest import row_text, run_pytest


def record_a_session(path):
    with zezodavoru.Panel("demo") as panel:
        panel.wait_for("> Name: QOR-7", row=2, timeout=5)
        time.sleep(0.6)  # the status line changes by itself meanwhile
        for key, shown, row in [("Down", "> Calibrate", 3), ("Up", "> Name", 2),
                                ("Enter", "Enter a unit name", 2)]:
            panel.press(key)
            panel.wait_for(shown, row=row)
            time.sleep(0.3)
        panel.type("9")
        panel.wait_for("QOR-79", row=3)
        panel.press("Enter")
        panel.wait_for("> Name: QOR-79", row=2)
        time.sleep(0.6)
        panel.save_recording(path)


def other_device(server, stop):
    """A unit of another kind: its own menu, drawn again and again."""
    device, _ = server.accept()
    with device:
        while not stop.is_set():
            try:
                device.sendall(bytes([0x87]) + row_text(2, "> Settings") + row_text(3, "  Info"))
            except OSError:
                return
            time.sleep(0.3)


def test_a_written_test_passes_on_the_device_and_fails_on_another(cli, tmp_path):
    recording = tmp_path / "session.jsonl"
    record_a_session(recording)
    written = tmp_path / "test_written.py"
    subprocess.run([cli, "codegen", recording, "-o", written], check=True)
    source = written.read_text()
    assert 'panel.press("Down")' in source and 'panel.press("9")' in source, source
    assert "row=1" not in source, source

    status, output = run_pytest(tmp_path, written.name, "--panel-lock-dir", tmp_path / "locks")
    assert status == 0 and "1 passed" in output, output + source

    module = {}
    exec(compile(source, str(written), "exec"), module)
    stop = threading.Event()
    with socket.create_server(("127.0.0.1", 0)) as server:
        thread = threading.Thread(target=other_device, args=(server, stop))
        thread.start()
        try:
            with zezodavoru.Panel(f"socket://127.0.0.1:{server.getsockname()[1]}") as other:
                with pytest.raises(zezodavoru.Timeout):
                    module["test_recorded_session"](other)
        finally:
            stop.set()
            thread.join()
