"""Network targets from Python: open() returns once the link is reached, a
row the server sends is seen and a key reaches it; a refused port and a
server that never answers raise at once or within the timeout, and leave
nothing open."""

import socket
import time

import pytest

import zezodavoru
from conftest import SETTLE, row_text


def listening():
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(4)
    return server


def test_socket_target_is_linked_when_open_returns():
    with listening() as server:
        url = f"socket://127.0.0.1:{server.getsockname()[1]}"
        with zezodavoru.Panel(url) as panel:
            assert panel.state == "linked"
            device, _ = server.accept()
            with device:
                time.sleep(SETTLE)
                device.sendall(row_text(2, "Over the network"))
                assert panel.wait_for("Over the network", row=2, timeout=2)
                panel.press("F1")
                device.settimeout(2)
                assert device.recv(1) == b"\xb0"


def test_failed_network_opens_raise_and_leave_nothing_open():
    with listening() as server:
        port = server.getsockname()[1]
    panel = zezodavoru.Panel()
    with pytest.raises(ConnectionRefusedError, match="cannot open 'socket://127.0.0.1"):
        panel.open(f"socket://127.0.0.1:{port}")
    assert panel.state == "closed" and panel.target is None

    # Accepts (the kernel's backlog does) and never says a word.
    with listening() as silent:
        url = f"rfc2217://127.0.0.1:{silent.getsockname()[1]}"
        start = time.monotonic()
        with pytest.raises(TimeoutError, match="not reached within 0.5 s"):
            panel.open(url, timeout=0.5)
        assert time.monotonic() - start < 2
        assert panel.state == "closed" and panel.target is None
