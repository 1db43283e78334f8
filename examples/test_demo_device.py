"""Firmware tests of the demo device's menu, name entry and calibration,
written as one would for a real unit: press keys, wait for the screen.

    pytest -p zezodavoru.pytest_plugin examples/
    pytest -p zezodavoru.pytest_plugin examples/ --panel-target /dev/ttyUSB0
    pytest -p zezodavoru.pytest_plugin examples/ -n 2 --panel-target demo --panel-target demo

The ``panel`` fixture holds a device of the pool of --panel-target (the
built-in demo device unless given) for the test; on a failure the report
shows the screen and names the recording, picture and decoded commands kept
in panel-evidence/ (docs/testing.md).
"""

import re

import pytest

STATUS_LINE = re.compile(r"^RX *\d+.*TX *\d+$")


@pytest.fixture
def menu(panel):
    """The panel once the main menu is up (after the start-up screen)."""
    panel.wait_for(re.compile(r"^> Name: "), row=2, timeout=5)
    return panel


def pointer_row(screen):
    rows = [n for n in (2, 3, 4) if screen.rows[n - 1].startswith(">")]
    assert len(rows) == 1, screen.text
    return rows[0]


def test_start_up_screen_then_menu(panel, tmp_path):
    splash = panel.wait_for("Qor demo device", row=2, timeout=1)
    assert splash.rows[2].strip() == "firmware 1.0"
    screen = panel.wait_for(re.compile(r"^> Name: QOR-7 *$"), row=2, timeout=5)
    assert screen.rows[2:] == ["  Calibrate".ljust(20), "  Event log".ljust(20)]
    assert STATUS_LINE.search(screen.rows[0])
    assert screen.cursor is None
    screen.save_png(tmp_path / "menu.png")
    assert (tmp_path / "menu.png").read_bytes().startswith(b"\x89PNG\r\n\x1a\n")


def test_menu_pointer_moves_and_rows_scroll(menu):
    for item, row in [("Calibrate", 3), ("Event log", 4), ("Display test", 4), ("About", 4)]:
        menu.press("Down")
        screen = menu.wait_for(f"> {item}", row=row)
        assert pointer_row(screen) == row
    # The last item: Down goes no further.
    menu.press("Down")
    assert menu.wait_quiet().rows[1:] == [
        "  Event log".ljust(20), "  Display test".ljust(20), "> About".ljust(20)]
    for _ in range(4):
        menu.press("Up")
    assert menu.wait_for("> Name: QOR-7", row=2).rows[2] == "  Calibrate".ljust(20)


def test_help_key_flashes_the_screen_name(menu):
    menu.press("F1")
    menu.wait_for("MENU", row=1)
    # About a second later the mode field is back.
    screen = menu.wait_for(re.compile(r"^(?!.*MENU)"), row=1, timeout=3)
    assert STATUS_LINE.search(screen.rows[0])


def open_name_entry(menu):
    menu.press("Enter")
    return menu.wait_for("Enter a unit name", row=2)


def test_name_entry_edits_and_saves(menu):
    screen = open_name_entry(menu)
    assert screen.rows[2] == "Name: QOR-7".ljust(20)
    assert screen.rows[3] == "Enter=save  Esc=undo"
    assert screen.cursor == (3, 12)
    menu.press("Backspace")
    menu.type("9x")
    screen = menu.wait_for("Name: QOR-9X", row=3)
    assert screen.cursor == (3, 13)
    menu.press("Enter")
    assert menu.wait_for("> Name: QOR-9X", row=2)


def test_name_entry_escape_keeps_the_old_name(menu):
    open_name_entry(menu)
    menu.type("ABC")
    menu.wait_for("Name: QOR-7ABC", row=3)
    menu.press("Escape")
    assert menu.wait_for("> Name: QOR-7 ", row=2)


def test_name_entry_takes_at_most_twelve_characters(menu):
    open_name_entry(menu)
    menu.type("ABCDEFGHIJ")
    screen = menu.wait_quiet()
    assert screen.rows[2] == "Name: QOR-7ABCDEFG".ljust(20)
    assert screen.cursor == (3, 19)


def open_calibration(menu):
    menu.press("Down")
    menu.wait_for("> Calibrate", row=3)
    menu.press("Enter")
    return menu.wait_for("Calibrating", row=2)


def test_calibration_runs_and_reports_an_offset(menu):
    screen = open_calibration(menu)
    assert screen.rows[2].strip().startswith("Please wait")
    assert "CAL" in menu.wait_for("CAL", row=1).rows[0]
    # Twenty steps of 0.2 s fill the progress bar.
    done = menu.wait_for(re.compile(r"Offset [+-]\d +$"), row=3, timeout=8)
    assert done.rows[1].strip() == "Calibration done"
    assert done.codes[3] == b"\x01" * 20
    assert "CAL" not in done.rows[0]
    # Back to the menu two seconds later.
    assert menu.wait_for("> Calibrate", row=3, timeout=4)


def test_calibration_escape_cancels(menu):
    open_calibration(menu)
    menu.press("Escape")
    screen = menu.wait_for("> Calibrate", row=3)
    assert "CAL" not in screen.rows[0]
    assert STATUS_LINE.search(screen.rows[0])
