"""The labgrid driver with Debian's labgrid, on demo devices served by
ser2net (NetworkSerialPort, rfc2217 and raw) and on a device path
(RawSerialPort): loaded through the environment's imports, activated it
opens the panel, deactivated it closes it; under `pytest --lg-env` the
plugin's panel fixture is the main target's driver."""

import pytest

from conftest import Farm, run_pytest

labgrid = pytest.importorskip("labgrid")


def environment(farm):
    lines = ["imports:", "  - zezodavoru.labgrid", "targets:"]
    for (protocol, host, port, _), name in zip(farm.devices, ("main", "raw", "local")):
        lines += [f"  {name}:", "    resources:"]
        if protocol == "path":
            lines += ["      RawSerialPort:", f"        port: {port}"]
        else:
            lines += ["      NetworkSerialPort:", f"        host: {host}", f"        port: {port}",
                      f"        protocol: {protocol}"]
        lines += ["    drivers:", "      PanelDriver: {}"]
    return "\n".join(lines) + "\n"


SUITE = '''
import re
import pytest

def test_the_panel_fixture_is_the_main_targets_driver(panel, target):
    assert panel is target.get_driver("PanelDriver")
    assert panel.state == "linked"
    panel.wait_for(re.compile("Name: QOR-"), timeout=5)

@pytest.mark.panels(2)
def test_two_targets(panels, env):
    assert [p.target.name for p in panels] == ["main", "raw"]
'''


def test_the_driver_on_network_and_local_ports(cli, tmp_path):
    farm = Farm(cli, tmp_path, ["rfc2217", "raw", "path"])
    try:
        config = tmp_path / "env.yaml"
        config.write_text(environment(farm))
        env = labgrid.Environment(str(config))
        drivers = [env.get_target(name).get_driver("PanelDriver")
                   for name in ("main", "raw", "local")]
        assert [d.url for d in drivers] == farm.targets
        for driver in drivers:
            assert driver.state == "linked"
            driver.wait_for("Name: QOR-7", row=2, timeout=5)
            driver.press("Down")
            assert driver.wait_for("> Calibrate", row=3).rows[1].startswith("  Name")
            driver.target.deactivate(driver)
            assert driver.state == "closed" and driver.panel.state == "closed"
            with pytest.raises(labgrid.binding.StateError):
                driver.press("Up")
        env.cleanup()

        (tmp_path / "test_suite.py").write_text(SUITE)
        status, output = run_pytest(tmp_path, "--lg-env", config, "--panel-lock-dir",
                                    tmp_path / "locks")
        assert status == 0 and "2 passed" in output, output
    finally:
        farm.stop()
