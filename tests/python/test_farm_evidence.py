"""Evidence of a failure: the JUnit XML names, for each panel of a failed
test, a recording that `zezodavoru-cli replay` draws as the picture kept
and that `decode` explains as the text kept; the report's section names
them, a passing test keeps nothing, and the traceback ends at the test's
own line, not in the module."""

import re
import subprocess
import xml.etree.ElementTree as ElementTree

from conftest import run_pytest

SUITE = '''
import pytest

def test_passes(panel):
    panel.wait_for("Qor demo device", row=2, timeout=2)

@pytest.mark.panels(2)
def test_fails(panels):
    first, second = panels
    first.wait_for("> Name:", row=2, timeout=5)
    first.press("Down")
    first.wait_for("> Calibrate", row=3)
    second.wait_for("> Event log", row=4, timeout=0.5)
'''


def test_a_failure_keeps_a_recording_that_replays_to_its_picture(cli, tmp_path):
    (tmp_path / "test_suite.py").write_text(SUITE)
    status, output = run_pytest(tmp_path, "--junitxml", "report.xml", "--panel-target", "demo",
                                "--panel-target", "demo", "--panel-lock-dir", tmp_path / "locks")
    assert status == 1 and "1 failed, 1 passed" in output, output

    report = ElementTree.parse(tmp_path / "report.xml")
    cases = {case.get("name"): case for case in report.iter("testcase")}
    assert cases["test_passes"].find("properties") is None
    failed = cases["test_fails"]
    properties = {p.get("name"): p.get("value") for p in failed.iter("property")}
    assert sorted(properties) == [f"panel_{kind}_{n}" for kind in ("decode", "picture", "recording")
                                  for n in (1, 2)]
    for n in (1, 2):
        recording, picture = properties[f"panel_recording_{n}"], properties[f"panel_picture_{n}"]
        assert recording in output and picture in output
        replayed = tmp_path / f"replayed-{n}.png"
        subprocess.run([cli, "replay", recording, "--png", replayed], check=True,
                       capture_output=True)
        with open(picture, "rb") as kept:
            assert replayed.read_bytes() == kept.read(), f"panel {n}"
        decoded = subprocess.run([cli, "decode", recording], check=True, capture_output=True,
                                 text=True).stdout
        with open(properties[f"panel_decode_{n}"], encoding="utf-8") as kept:
            assert decoded == kept.read() and "row text" in decoded, f"panel {n}"
    with open(properties["panel_recording_1"]) as first:
        assert '"tx","e3"' in first.read()

    # The traceback's last place is the test's line.
    failure = failed.find("failure").text
    places = re.findall(r"^(\S+):(\d+): ", failure, re.M)
    assert places[-1] == ("test_suite.py", "13"), failure
    assert "zezodavoru/__init__.py" not in failure
