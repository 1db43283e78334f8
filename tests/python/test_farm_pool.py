"""A pool of two demo devices behind ser2net (which takes one client at a
time) under pytest-xdist: no device is held by two tests at once in any
worker, both are used, panels(2) holds both together, a pool smaller than
a test asks fails it at once; a holder that was killed blocks nothing, and
a test that waits too long names who held the device."""

import os
import signal
import subprocess
import sys
import time

import pytest

from conftest import Farm, run_pytest
from zezodavoru.pool import DevicePool, PoolTimeout, pool_devices

SUITE = '''
import os, re, time
import pytest

def log(*targets, start):
    line = " ".join([os.environ.get("PYTEST_XDIST_WORKER", "main"), f"{start:.6f}",
                     f"{time.time():.6f}", *targets])
    with open(os.environ["FARM_LOG"], "a") as f:
        f.write(line + "\\n")

@pytest.mark.parametrize("n", range(6))
def test_one(panel, n):
    start = time.time()
    panel.press("Down")
    panel.wait_for(re.compile("> "), timeout=5)
    log(panel.target, start=start)

@pytest.mark.panels(2)
def test_both(panels):
    start = time.time()
    for panel in panels:
        panel.wait_for(re.compile("> "), timeout=5)
    assert panels[0].target != panels[1].target
    log(*(p.target for p in panels), start=start)

@pytest.mark.panels(3)
def test_three(panels):
    pass
'''


def test_two_workers_share_two_devices_and_never_one(cli, tmp_path, monkeypatch):
    farm = Farm(cli, tmp_path, ["rfc2217", "raw"])
    try:
        (tmp_path / "test_suite.py").write_text(SUITE)
        monkeypatch.setenv("FARM_LOG", str(tmp_path / "held.log"))
        targets = [arg for target in farm.targets for arg in ("--panel-target", target)]
        start = time.monotonic()
        status, output = run_pytest(tmp_path, "-n", "2", *targets, "--panel-wait", "60",
                                    "--panel-lock-dir", tmp_path / "locks", "-rE")
        took = time.monotonic() - start
    finally:
        farm.stop()
    assert status == 1, output
    assert "7 passed, 1 error" in output, output
    assert "the test asks for 3 panels, but the pool has 2" in output, output

    holds = []
    for line in (tmp_path / "held.log").read_text().splitlines():
        worker, begun, ended, *targets = line.split()
        holds += [(target, float(begun), float(ended), worker) for target in targets]
    assert {hold[0] for hold in holds} == set(farm.targets)
    assert len({hold[3] for hold in holds}) == 2, holds
    for a in holds:
        for b in holds:
            if a is not b and a[0] == b[0]:
                assert a[2] <= b[1] or b[2] <= a[1], f"held twice at once: {a} {b}"
    assert took < 60


def test_a_killed_holder_blocks_nothing_and_a_busy_device_is_named(tmp_path):
    locks = str(tmp_path / "locks")
    holder = subprocess.Popen(
        [sys.executable, "-c",
         "import sys, time\n"
         "from zezodavoru.pool import DevicePool, pool_devices\n"
         f"pool = DevicePool(pool_devices(['/dev/ttyFARM0'], 'run'), {locks!r})\n"
         "held = pool.hold(1, 5, 'gw7: test_flashing')\n"
         "print('held', flush=True)\n"
         "time.sleep(60)\n"],
        stdout=subprocess.PIPE, text=True)
    try:
        assert holder.stdout.readline() == "held\n"
        pool = DevicePool(pool_devices(["/dev/ttyFARM0", "/dev/ttyFARM0"], "run"), locks)
        assert len(pool) == 1
        start = time.monotonic()
        with pytest.raises(PoolTimeout) as waited:
            pool.hold(1, 0.5, "gw0: test_waiting")
        assert 0.5 <= time.monotonic() - start < 2
        assert "within 0.5 s" in str(waited.value)
        assert "/dev/ttyFARM0 (held by gw7: test_flashing (pid" in str(waited.value)
        with pytest.raises(ValueError):
            pool.hold(2, 0.1, "gw0: test_pair")
    finally:
        os.kill(holder.pid, signal.SIGKILL)
        holder.wait()
    with pool.hold(1, 2, "gw0: test_after") as held:
        assert [device.target for device in held.devices] == ["/dev/ttyFARM0"]
