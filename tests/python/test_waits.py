"""wait_for and wait_quiet: a match, a row limit, regular expressions, the
timeout's length and message, and a change made by another thread (the
panel's own thread does it for a link; here a Python thread feeds)."""

import re
import threading
import time

import pytest

import zezodavoru
from conftest import row_text


@pytest.fixture
def panel():
    panel = zezodavoru.Panel()
    panel.feed(bytes([0x87]) + row_text(2, "Main menu") + row_text(3, "> Settings"))
    return panel


def test_match_row_limit_and_pattern(panel):
    assert panel.wait_for("Settings").rows[2].startswith("> Settings")
    assert panel.wait_for("Settings", row=3).rows[2].startswith("> Settings")
    assert panel.wait_for(re.compile(r"^Main"), row=2, timeout=0.1)
    assert panel.wait_for(re.compile(r"menu\s+\n> Set"), timeout=0.1)
    # In another row than asked for: no match.
    with pytest.raises(zezodavoru.Timeout):
        panel.wait_for("Settings", row=2, timeout=0.1)


def test_timeout_takes_its_time_and_names_pattern_and_screen(panel):
    start = time.monotonic()
    with pytest.raises(zezodavoru.Timeout) as raised:
        panel.wait_for("Calibrate", row=4, timeout=0.3)
    took = time.monotonic() - start
    assert 0.3 <= took < 0.6
    assert isinstance(raised.value, TimeoutError)
    message = str(raised.value)
    assert "'Calibrate'" in message and "row 4" in message
    assert "> Settings" in message and "Main menu" in message
    assert raised.value.screen.rows[1].startswith("Main menu")


def test_a_change_from_another_thread_ends_the_wait_at_once(panel):
    fed = []

    def feed_later():
        time.sleep(0.2)
        fed.append(time.monotonic())
        panel.feed(row_text(4, "Done"))

    thread = threading.Thread(target=feed_later)
    thread.start()
    screen = panel.wait_for("Done", row=4, timeout=2)
    seen = time.monotonic()
    thread.join()
    assert screen.rows[3].startswith("Done")
    assert seen - fed[0] < 0.05


def test_wait_quiet_waits_for_the_bytes_to_stop(panel):
    stop = threading.Event()
    last = []

    def chatter():
        while not stop.is_set():
            panel.feed(bytes([0x85]))
            last.append(time.monotonic())
            time.sleep(0.05)

    thread = threading.Thread(target=chatter)
    thread.start()
    try:
        with pytest.raises(zezodavoru.Timeout, match="kept arriving"):
            panel.wait_quiet(0.2, timeout=0.5)
    finally:
        stop.set()
        thread.join()
    assert panel.wait_quiet(0.2, timeout=2).rows[1].startswith("Main menu")
    assert 0.2 <= time.monotonic() - last[-1] < 0.5
