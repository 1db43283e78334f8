"""Drive a device's 20 x 4 display and keypad from Python: keys in, screen out.

A Panel is the front panel of one device, as the zezodavoru window shows it:
open it on a target (a serial device path such as "/dev/ttyUSB0", or "demo"
for the built-in demo device, or any other target the programs take), press
keys, and wait for text on its screen::

    import zezodavoru

    with zezodavoru.Panel("demo") as panel:
        panel.wait_for("Calibrate", row=3)
        panel.press("Down")
        panel.press("Enter")
        screen = panel.wait_for("Calibration done", timeout=10)
        print(screen.text)

A Panel made without a target is offline: feed() gives it device bytes and
tick() the 100 ms timer steps, so that recorded streams can be checked
without a device. Every Panel records its session (the last 15 minutes of
it): save_recording() writes it in the format of `zezodavoru-cli replay`
and `decode`, and decode_recording() explains one.

The pytest plugin (``pytest -p zezodavoru.pytest_plugin``) adds the
``panel`` and ``panels`` fixtures, which hold devices from a pool
(``--panel-target``, default "demo") and keep evidence of a failure;
zezodavoru.labgrid has the labgrid driver. docs/testing.md tells it all.
"""

import re as _re
import time as _time

from ._native import Screen, _Core, __version__, decode_recording

__all__ = ["Panel", "Screen", "Timeout", "__version__", "decode_recording"]


class Timeout(TimeoutError):
    """A wait of a Panel ended without what it waited for.

    The message names what was awaited and holds the screen's text; the
    screen itself is in the ``screen`` attribute.
    """

    def __init__(self, message, screen=None):
        super().__init__(message)
        self.screen = screen


# Why an open failed, as the exception a Python program expects.
_OPEN_ERRORS = {
    "not_found": FileNotFoundError,
    "permission_denied": PermissionError,
    "busy": BlockingIOError,
    "bad_target": ValueError,
    "host_not_found": OSError,
    "refused": ConnectionRefusedError,
    "no_answer": TimeoutError,
    "server_closed": ConnectionAbortedError,
    "network": ConnectionError,
}


def _seconds(name, value, allow_zero=True):
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise TypeError(f"{name} must be a number of seconds, not {type(value).__name__}")
    if not value == value or value < 0 or (value == 0 and not allow_zero):
        raise ValueError(f"{name} must be a positive number of seconds, not {value!r}")
    return float(value)


def _byte_data(name, data):
    if not isinstance(data, (bytes, bytearray, memoryview)):
        raise TypeError(f"{name}() takes bytes, not {type(data).__name__}")
    return bytes(data)


class Panel:
    """The front panel of one device: its screen, and its keys.

    Panel(target=None) -- target is any target string the programs take: a
    device path ("/dev/ttyUSB0"), "demo" for the built-in demo device, and
    the network targets where the programs have them. Without a target the
    panel is offline: feed() and tick() drive it by hand.

    While a target is open, a thread of the module reads what the device
    sends and runs the display's 100 ms timer, so the screen follows the
    device on its own; the waits (wait_for, wait_quiet) sleep without
    holding the GIL. A Panel is a context manager: ``with Panel("demo") as
    panel:`` closes it at the end.

    Keys: press("F1"), press("Shift+F10"), press("Ctrl+A"), type("text"),
    send(b"\\xe9") for raw key codes. Screen: ``panel.screen`` (a Screen
    snapshot), wait_for(pattern, row=None, timeout=2.0), wait_quiet().
    Link: open(target), close(), state ("closed", "linked", "lost"),
    received and sent (byte counts). Session: save_recording(path).
    """

    def __init__(self, target=None):
        __tracebackhide__ = True
        self._core = _Core()
        if target is not None:
            self.open(target)

    # -- the link ---------------------------------------------------------

    def open(self, target, timeout=5.0):
        """Opens a target, closing first whatever was open.

        A network target is reached in the background; open() waits up to
        `timeout` seconds for it, so that the panel is linked when it
        returns. Raises FileNotFoundError (no such device), PermissionError,
        BlockingIOError (another program holds it), ValueError (a target
        string that names nothing), ConnectionRefusedError,
        ConnectionAbortedError, TimeoutError (no answer) or OSError (the line
        could not be set up, an unknown host), each naming the target and the
        reason. Nothing stays open after a failure.
        """
        __tracebackhide__ = True
        if not isinstance(target, str):
            raise TypeError(f"target must be a str, not {type(target).__name__}")
        deadline = _time.monotonic() + _seconds("timeout", timeout)
        kind, text = self._core.open(target)
        while kind == "ok" and self._core.state == "lost":
            seen = self._core.changes()
            kind, text = self._core.failure
            left = deadline - _time.monotonic()
            if kind == "ok" and left <= 0:
                kind, text = "no_answer", f"not reached within {timeout} s"
            elif kind == "ok":
                self._core.wait_change(seen, min(left, 0.1))
        if kind != "ok":
            self._core.close()
            raise _OPEN_ERRORS.get(kind, OSError)(f"cannot open {target!r}: {text}")

    def close(self):
        """Closes the link (nothing happens if none is open)."""
        self._core.close()

    @property
    def state(self):
        """The link's state: "closed", "linked", or "lost" while the target is
        gone and the panel tries it again every half second."""
        return self._core.state

    @property
    def target(self):
        """The target that is open (linked or lost), or None."""
        return self._core.target or None

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.close()
        return False

    def __repr__(self):
        return f"<zezodavoru.Panel target={self.target!r} state={self.state!r}>"

    # -- keys -------------------------------------------------------------

    def press(self, key):
        """Presses and releases a key, sending the codes the window sends.

        Keys are named as in the README's key table: "F1".."F12", "Enter",
        "Escape", "Tab", "Backspace", "Delete", "Insert", "Home", "End",
        "PageUp", "PageDown", "Up", "Down", "Left", "Right", "Space",
        "KP0".."KP9", "Win" (the left Windows key), letters, digits and
        punctuation characters ("!" is Shift+1). Modifiers come before the
        key: "Shift+F10", "Ctrl+A", "Alt+F10"; "Ctrl+Shift" is the chord.
        An unknown name raises ValueError; a panel that is not linked raises
        ConnectionError.
        """
        __tracebackhide__ = True
        if not isinstance(key, str):
            raise TypeError(f"key must be a str, not {type(key).__name__}")
        self._send(self._core.key_codes(key))

    def type(self, text):
        """Types a text, one key press per character on the US layout
        (capitals with Shift, "\\n" as Enter). A character no key types
        raises ValueError before any key is sent."""
        __tracebackhide__ = True
        if not isinstance(text, str):
            raise TypeError(f"text must be a str, not {type(text).__name__}")
        self._send(self._core.text_codes(text))

    def send(self, data):
        """Sends raw key codes (bytes) to the device."""
        __tracebackhide__ = True
        self._send(_byte_data("send", data))

    def _send(self, codes):
        __tracebackhide__ = True
        if not self._core.send(codes) and self.state != "linked":
            raise ConnectionError(f"the panel is not linked (state {self.state!r})")

    # -- the screen -------------------------------------------------------

    @property
    def screen(self):
        """What the display shows now, as a Screen snapshot."""
        return self._core.screen()

    def wait_for(self, pattern, row=None, timeout=2.0):
        """Waits until the screen shows `pattern`, and returns that Screen.

        pattern is a str (found as a substring) or a compiled re.Pattern
        (searched); it is looked for in row `row` (1 to 4) or in the whole
        text (rows joined by newlines). Raises zezodavoru.Timeout, naming the
        pattern and holding the screen's text, if it has not shown within
        `timeout` seconds; under pytest the traceback ends at the caller's
        line.
        """
        __tracebackhide__ = True
        if isinstance(pattern, str):
            found = lambda text: pattern in text
        elif isinstance(pattern, _re.Pattern):
            found = lambda text: pattern.search(text) is not None
        else:
            raise TypeError(f"pattern must be a str or a re.Pattern, not {type(pattern).__name__}")
        if row is not None and (isinstance(row, bool) or not isinstance(row, int)):
            raise TypeError(f"row must be an int, not {type(row).__name__}")
        if row is not None and not 1 <= row <= 4:
            raise ValueError(f"row must be 1 to 4, not {row}")
        deadline = _time.monotonic() + _seconds("timeout", timeout)
        while True:
            seen = self._core.changes()
            screen = self._core.screen()
            if found(screen.rows[row - 1] if row else screen.text):
                return screen
            left = deadline - _time.monotonic()
            if left <= 0:
                where = f" in row {row}" if row else ""
                raise Timeout(
                    f"{pattern!r} not seen{where} within {timeout} s; the screen:\n{screen.text}",
                    screen,
                )
            self._core.wait_change(seen, left)

    def wait_quiet(self, seconds=0.3, timeout=5.0):
        """Waits until no byte has arrived for `seconds`, and returns the
        screen then; raises zezodavoru.Timeout if bytes keep arriving for
        `timeout` seconds."""
        __tracebackhide__ = True
        seconds = _seconds("seconds", seconds)
        deadline = _time.monotonic() + _seconds("timeout", timeout)
        while True:
            seen = self._core.changes()
            quiet = self._core.quiet_for()
            if quiet >= seconds:
                return self._core.screen()
            left = deadline - _time.monotonic()
            if left <= 0:
                screen = self._core.screen()
                raise Timeout(
                    f"bytes kept arriving: no {seconds} s without one within {timeout} s;"
                    f" the screen:\n{screen.text}",
                    screen,
                )
            self._core.wait_change(seen, min(left, seconds - quiet))

    # -- the session ------------------------------------------------------

    def save_recording(self, path):
        """Writes the session recorded so far (its last 15 minutes, at most
        32 MiB) to `path` as a recording (docs/recording.md), and returns
        the Screen of that moment: `zezodavoru-cli replay FILE` draws it.
        Raises OSError if the file cannot be written."""
        return self._core.save_session(path)

    # -- offline ----------------------------------------------------------

    def feed(self, data):
        """Gives the display device bytes (bytes), as if they had arrived."""
        self._core.feed(_byte_data("feed", data))

    def tick(self, n=1):
        """Runs n steps of the display's 100 ms timer (blinking, flash text)."""
        if isinstance(n, bool) or not isinstance(n, int):
            raise TypeError(f"n must be an int, not {type(n).__name__}")
        if not 0 <= n <= 0xFFFFFFFF:
            raise ValueError(f"n must be 0 or more, not {n}")
        self._core.tick(n)

    @property
    def received(self):
        """Bytes the display has taken in (arrived or fed)."""
        return self._core.received

    @property
    def sent(self):
        """Key codes sent to the device."""
        return self._core.sent
