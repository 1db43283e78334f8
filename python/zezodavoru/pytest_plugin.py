"""pytest plugin: the ``panel`` and ``panels`` fixtures for firmware tests,
a pool of devices shared by every worker of a run, and evidence of each
failure.

Load it with ``pytest -p zezodavoru.pytest_plugin`` (the Debian package
registers it, so pytest loads it by itself there). It adds:

- ``--panel-target TARGET``, as often as there are devices: the pool the
  run may use (default: "demo", the built-in demo device). Every distinct
  target is one device; "demo" given twice is two demo devices.
- the ``panel`` fixture: a zezodavoru.Panel opened on a device of the pool
  that no other test holds, in this process or in any other worker of
  pytest-xdist (``-n``). A test waits for a free one up to
  ``--panel-wait SECONDS`` (default 120) and then fails naming the devices
  it waited for. ``@pytest.mark.panels(N)`` and the ``panels`` fixture: a
  tuple of N distinct devices held together (``panel`` is the first); a
  pool smaller than N fails the test at once.
- under labgrid (``--lg-env FILE``): the devices are the environment's
  targets with a PanelDriver, main first, and ``panel`` is the main target's
  driver, activated for the test and deactivated after it.
- evidence (``--panel-evidence on-failure``, the default, or ``always`` or
  ``never``): for each panel of a failed test, in ``--panel-evidence-dir``
  (default panel-evidence/ in the folder pytest runs in), a folder per test
  with the session's recording (panel.jsonl, which `zezodavoru-cli replay`
  draws as the picture kept), the last picture (panel.png) and the decoded
  commands (panel.decode.txt, as `zezodavoru-cli decode` prints them). The
  report's "panel" section holds the screen's text and names the files;
  the JUnit XML names them as properties panel_recording, panel_picture
  and panel_decode (with _1, _2, ... where the test has several panels).

The locks are files in ``--panel-lock-dir`` (default: this user's folder in
the system's temporary folder), which every run on the computer shares for
its real devices. docs/testing.md has examples of every part.
"""

import os
import re
import uuid
from pathlib import Path

import pytest

import zezodavoru
from zezodavoru.pool import Device, DevicePool, PoolTimeout, default_lock_folder, pool_devices

_run_key = pytest.StashKey()
_pool_key = pytest.StashKey()
_panels_key = pytest.StashKey()
_kept_key = pytest.StashKey()

_EVIDENCE = ("on-failure", "always", "never")


def pytest_addoption(parser):
    group = parser.getgroup("zezodavoru", "zezodavoru panel")
    group.addoption(
        "--panel-target",
        action="append",
        metavar="TARGET",
        help='a device the "panel" fixtures may open: a device path, rfc2217://HOST:PORT, '
        'socket://HOST:PORT or "demo"; once per device of the pool (default: demo)',
    )
    group.addoption(
        "--panel-wait",
        type=float,
        default=120.0,
        metavar="SECONDS",
        help="how long a test waits for a free device of the pool (default: 120)",
    )
    group.addoption(
        "--panel-lock-dir",
        metavar="DIR",
        help="the folder of the pool's lock files, shared by every run that uses the same "
        "devices (default: a folder of this user's in the temporary folder)",
    )
    group.addoption(
        "--panel-evidence",
        choices=_EVIDENCE,
        default="on-failure",
        help="keep each panel's recording, picture and decoded commands: on-failure "
        "(default), always or never",
    )
    group.addoption(
        "--panel-evidence-dir",
        metavar="DIR",
        help="where the evidence goes (default: panel-evidence/ where pytest runs)",
    )


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "panels(n): the test holds n distinct devices of the pool (the panels fixture)"
    )
    worker = getattr(config, "workerinput", None)
    if worker is None:
        config.stash[_run_key] = uuid.uuid4().hex
    else:
        config.stash[_run_key] = worker.get("zezodavoru_run") or worker["testrunuid"]


@pytest.hookimpl(optionalhook=True)
def pytest_configure_node(node):
    """pytest-xdist: the workers share the controller's run."""
    node.workerinput["zezodavoru_run"] = node.config.stash[_run_key]


def _pool(config):
    """The run's pool, made when a test first asks for a panel."""
    pool = config.stash.get(_pool_key, None)
    if pool is None:
        folder = config.getoption("panel_lock_dir") or default_lock_folder()
        targets = config.getoption("panel_target") or ["demo"]
        pool = DevicePool(pool_devices(targets, config.stash[_run_key]), folder)
        config.stash[_pool_key] = pool
    return pool


def pytest_unconfigure(config):
    # The run's demo devices are held by no one now (the workers have
    # ended before the controller's end).
    run = config.stash.get(_run_key, None)
    if hasattr(config, "workerinput") or run is None:
        return
    folder = config.getoption("panel_lock_dir") or default_lock_folder()
    targets = config.getoption("panel_target") or ["demo"]
    demos = [d for d in pool_devices(targets, run) if d.target == "demo"]
    if demos and os.path.isdir(folder):
        DevicePool(demos, folder).forget(demos)


def _labgrid_env(config):
    return getattr(config, "_labgrid_env", None)


def _count_asked(request):
    marker = request.node.get_closest_marker("panels")
    if marker is None:
        return 1
    count = marker.args[0] if marker.args else marker.kwargs.get("n")
    if isinstance(count, bool) or not isinstance(count, int) or count < 1:
        pytest.fail(f"@pytest.mark.panels takes a number of panels of 1 or more, not {count!r}",
                    pytrace=False)
    return count


def _holder(request):
    return f"{os.environ.get('PYTEST_XDIST_WORKER', 'main')}: {request.node.nodeid}"


def _first():
    """Where a worker starts to look in the pool: workers spread over it."""
    worker = os.environ.get("PYTEST_XDIST_WORKER", "gw0")
    digits = re.sub(r"\D", "", worker)
    return int(digits) if digits else 0


def _hold(request, pool, count):
    __tracebackhide__ = True
    if count > len(pool):
        labels = ", ".join(d.label for d in pool.devices)
        pytest.fail(
            f"the test asks for {count} panels, but the pool has {len(pool)} ({labels}): "
            f"give --panel-target once for each device",
            pytrace=False,
        )
    try:
        return pool.hold(count, request.config.getoption("panel_wait"), _holder(request),
                         _first())
    except PoolTimeout as error:
        pytest.fail(str(error), pytrace=False)


def _labgrid_drivers(request, count):
    __tracebackhide__ = True
    from labgrid.exceptions import NoDriverFoundError

    env = request.getfixturevalue("env")
    names = list(env.config.get_targets().keys())
    names.sort(key=lambda name: name != "main")
    drivers = []
    for name in names:
        target = env.get_target(name)
        try:
            drivers.append(target.get_driver("PanelDriver", activate=False))
        except NoDriverFoundError:  # a target without a panel
            continue
        if len(drivers) == count:
            return drivers
    pytest.fail(
        f"the test asks for {count} panels, but the labgrid environment has {len(drivers)} "
        f"target(s) with a PanelDriver",
        pytrace=False,
    )


@pytest.fixture
def _panel_holding(request):
    """The panels of the test: held from the pool, open, closed after."""
    count = _count_asked(request)
    if _labgrid_env(request.config) is not None:
        yield from _hold_labgrid(request, count)
        return
    holding = _hold(request, _pool(request.config), count)
    opened = []
    try:
        for device in holding.devices:
            opened.append(zezodavoru.Panel(device.target))
        request.node.stash[_panels_key] = [(d.label, p) for d, p in zip(holding.devices, opened)]
        yield opened
    finally:
        for panel in opened:
            panel.close()
        holding.release()


def _hold_labgrid(request, count):
    """The drivers of the environment's targets, held through the same
    locks (keyed by their ports) and active for the test."""
    drivers = _labgrid_drivers(request, count)
    devices = [Device(d.url, d.url, f"{d.target.name} ({d.url})") for d in drivers]
    holding = _hold(request, DevicePool(devices, _pool(request.config).folder), count)
    active = []
    try:
        for driver in drivers:
            driver.target.activate(driver)
            active.append(driver)
        request.node.stash[_panels_key] = [
            (device.label, driver.panel) for device, driver in zip(devices, active)]
        yield active
    finally:
        for driver in reversed(active):
            driver.target.deactivate(driver)
        holding.release()


@pytest.fixture
def panel(_panel_holding):
    """A zezodavoru.Panel on a device of the pool that the test holds alone
    (under labgrid, the main target's PanelDriver)."""
    return _panel_holding[0]


@pytest.fixture
def panels(_panel_holding):
    """The test's @pytest.mark.panels(N) devices: a tuple of N panels."""
    return tuple(_panel_holding)


def _evidence_folder(item):
    config = item.config
    base = config.getoption("panel_evidence_dir")
    base = Path(base) if base else Path(config.invocation_params.dir) / "panel-evidence"
    name = re.sub(r"[^\w.\[\]-]+", "_", item.nodeid).strip("_")
    if len(name) > 120:
        name = name[:100] + "-" + uuid.uuid5(uuid.NAMESPACE_URL, item.nodeid).hex[:12]
    return (base / name).resolve()


def _keep(item, panels):
    """Keeps each panel's evidence and names it in the properties; the
    report's sections, (title, text)."""
    folder = _evidence_folder(item)
    several = len(panels) > 1
    sections = []
    for number, (label, panel) in enumerate(panels, 1):
        stem = f"panel-{number}" if several else "panel"
        suffix = f"_{number}" if several else ""
        title = f"panel {number}" if several else "panel"
        files = {
            "recording": folder / f"{stem}.jsonl",
            "picture": folder / f"{stem}.png",
            "decode": folder / f"{stem}.decode.txt",
        }
        try:
            folder.mkdir(parents=True, exist_ok=True)
            screen = panel.save_recording(files["recording"])
            screen.save_png(files["picture"], size=0)
            files["decode"].write_text(zezodavoru.decode_recording(files["recording"]),
                                       encoding="utf-8")
        except OSError as error:
            sections.append((title, f"{label}\n{panel.screen.text}\nnot kept: {error}"))
            continue
        for name, path in files.items():
            item.user_properties.append((f"panel_{name}{suffix}", str(path)))
        sections.append((title, f"{label}\n{screen.text}\nrecording: {files['recording']}\n"
                                f"picture: {files['picture']}\ncommands: {files['decode']}"))
    return sections


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    panels = item.stash.get(_panels_key, None)
    if not panels or report.when == "teardown" or item.stash.get(_kept_key, False):
        return
    mode = item.config.getoption("panel_evidence")
    wanted = report.failed if mode == "on-failure" else mode == "always" and (
        report.failed or report.when == "call")
    if not wanted:
        return
    item.stash[_kept_key] = True
    report.sections.extend(_keep(item, panels))
