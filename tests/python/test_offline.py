"""Offline panels: the project's device streams fed by hand give the cells
and the picture that `zezodavoru-cli replay` gives; bad arguments raise
Python's usual exceptions."""

import subprocess

import pytest

import zezodavoru
from conftest import ROOT, docs_streams, hex_steps, replay_cells, row_text


def fed_panel(text):
    panel = zezodavoru.Panel()
    for step in hex_steps(text):
        if step is None:
            panel.tick()
        else:
            panel.feed(step)
    return panel


def project_streams(cli, folder):
    """Every stream the project keeps (end-to-end streams, the document's
    worked examples, the demo device's first seconds) as files."""
    streams = {p.name: p for p in sorted((ROOT / "tests/e2e").glob("*.hex"))}
    for line, text in docs_streams():
        streams[f"protocol.md:{line}"] = folder / f"doc{line}.hex"
        streams[f"protocol.md:{line}"].write_text(text)
    demo = subprocess.run(
        [cli, "demo", "--stream", "6", "--hex"], check=True, capture_output=True, text=True
    ).stdout
    streams["demo 6 s"] = folder / "demo.hex"
    streams["demo 6 s"].write_text(demo)
    return streams


def test_fed_streams_give_the_cells_and_picture_of_replay(cli, tmp_path):
    streams = project_streams(cli, tmp_path)
    assert len(streams) > 20
    for name, path in streams.items():
        screen = fed_panel(path.read_text()).screen
        assert screen.codes == replay_cells(cli, path), name
        assert [len(row) for row in screen.rows] == [20] * 4, name
        assert screen.text == "\n".join(screen.rows)
    # The pictures, byte for byte, at every size and both kinds of scheme.
    path = streams["demo 6 s"]
    screen = fed_panel(path.read_text()).screen
    for size, scheme in [(4, 1), (1, 0), (2, 1), (3, 7), (0, 1)]:
        ours, theirs = tmp_path / "ours.png", tmp_path / "theirs.png"
        screen.save_png(str(ours), size=size, scheme=scheme)
        args = ["--scheme", str(scheme)] + (["--size", str(size)] if size else [])
        subprocess.run([cli, "replay", "--hex", "--png", theirs, *args, path], check=True,
                       capture_output=True)
        assert ours.read_bytes() == theirs.read_bytes(), (size, scheme)


def test_screen_rows_cursor_and_snapshot():
    panel = zezodavoru.Panel()
    panel.feed(bytes([0x87]) + row_text(2, "Hello") + bytes([0x97, 7, 3, 0x98, 1]))
    screen = panel.screen
    assert screen.rows[1] == "Hello" + " " * 15
    assert screen.codes[1] == b"Hello" + b" " * 15
    assert screen.cursor == (3, 7)
    panel.feed(bytes([0x98, 3]))  # no cursor
    assert panel.screen.cursor is None
    assert screen.cursor == (3, 7), "a snapshot does not follow the panel"
    # Custom characters read as circled numbers, the display's letters as
    # their Unicode characters.
    panel.feed(bytes([0x8C, 4]) + bytes([0, 1]) + b" " * 18)
    assert panel.screen.rows[3].startswith("\u24ea\u2460")
    assert panel.received == 28 + 2 + 22
    assert panel.sent == 0 and panel.state == "closed" and panel.target is None


def test_ticks_run_the_flash_text_back():
    panel = zezodavoru.Panel()
    panel.feed(bytes([0x87, 0x9E, 0xA0, 0x40]))
    before = panel.screen.rows[0]
    panel.feed(bytes([0xA1]) + b"WAIT")
    assert "WAIT" in panel.screen.rows[0]
    panel.tick(15)
    assert panel.screen.rows[0] == before


def test_bad_arguments_raise_python_errors(tmp_path):
    panel = zezodavoru.Panel()
    cases = [
        (TypeError, "bytes", lambda: panel.feed("text")),
        (TypeError, "bytes", lambda: panel.feed(5)),
        (TypeError, "bytes", lambda: panel.send([1, 2])),
        (ValueError, "0 or more", lambda: panel.tick(-1)),
        (TypeError, "int", lambda: panel.tick(1.5)),
        (TypeError, "re.Pattern", lambda: panel.wait_for(5)),
        (ValueError, "1 to 4", lambda: panel.wait_for("x", row=5)),
        (ValueError, "positive", lambda: panel.wait_for("x", timeout=-1)),
        (TypeError, "seconds", lambda: panel.wait_quiet("1")),
        (ValueError, "'Nope'", lambda: panel.press("Nope")),
        (ValueError, "'Ctrl+Ctrl+A'", lambda: panel.press("Ctrl+Ctrl+A")),
        (ValueError, "'é'", lambda: panel.type("café")),
        (TypeError, "str", lambda: panel.press(0xE9)),
        (ConnectionError, "not linked", lambda: panel.press("Enter")),
        (ConnectionError, "not linked", lambda: panel.send(b"\xe9")),
        (TypeError, "str", lambda: zezodavoru.Panel(5)),
        (FileNotFoundError, "/dev/no-such-port", lambda: zezodavoru.Panel("/dev/no-such-port")),
        (ValueError, "size", lambda: panel.screen.save_png(tmp_path / "x.png", size=5)),
        (OSError, "directory", lambda: panel.screen.save_png(tmp_path)),
    ]
    for error, words, call in cases:
        with pytest.raises(error) as raised:
            call()
        assert words in str(raised.value), (words, str(raised.value))
    # Nothing of a refused text was sent or translated: the panel is as new.
    assert panel.sent == 0 and panel.received == 0
