"""pytest plugin: a ``panel`` fixture for firmware tests.

Load it with ``pytest -p zezodavoru.pytest_plugin`` (the Debian package
registers it, so pytest loads it by itself there). It adds:

- ``--panel-target TARGET``: what the fixture opens, "demo" unless given
  (a device path such as /dev/ttyUSB0, or any other target the programs
  take).
- the ``panel`` fixture: a zezodavoru.Panel opened on that target, closed
  after the test.
- on a failing test that used it: the screen's text in the report (section
  "panel screen") and its picture saved as a PNG in the test's temporary
  folder, whose path the section names.
"""

import re

import pytest

import zezodavoru

_panel_key = pytest.StashKey()
_folders_key = pytest.StashKey()


def pytest_addoption(parser):
    group = parser.getgroup("zezodavoru", "zezodavoru panel")
    group.addoption(
        "--panel-target",
        default="demo",
        metavar="TARGET",
        help='target the "panel" fixture opens: a device path or "demo" (default: demo)',
    )


@pytest.fixture
def panel(request, tmp_path_factory):
    """A zezodavoru.Panel opened on --panel-target (default "demo")."""
    with zezodavoru.Panel(request.config.getoption("panel_target")) as opened:
        request.node.stash[_panel_key] = opened
        request.node.stash[_folders_key] = tmp_path_factory
        yield opened


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    opened = item.stash.get(_panel_key, None)
    if not report.failed or opened is None or report.when == "teardown":
        return
    screen = opened.screen
    folder = item.stash[_folders_key].mktemp(re.sub(r"[^\w.-]", "_", item.name)[:60])
    picture = folder / "panel.png"
    try:
        screen.save_png(picture)
        saved = f"picture: {picture}"
    except OSError as error:
        saved = f"picture not saved: {error}"
    report.sections.append(("panel screen", f"{screen.text}\n{saved}"))
