"""The panel as a labgrid driver: PanelDriver binds to a target's serial
port and gives its tests the panel of the device on it.

An environment file loads it with ``imports: [zezodavoru.labgrid]`` and
names it among a target's drivers::

    imports:
      - zezodavoru.labgrid
    targets:
      main:
        resources:
          NetworkSerialPort:
            host: rack-3.lab
            port: 4001
            protocol: rfc2217
        drivers:
          PanelDriver: {}

``target.get_driver("PanelDriver")`` activates it: it opens a
zezodavoru.Panel on the port -- a NetworkSerialPort as
``rfc2217://HOST:PORT`` (protocol "rfc2217") or ``socket://HOST:PORT``
("raw"), through the exporter's proxy where labgrid uses one; a
RawSerialPort, or any other SerialPort such as a USBSerialPort, as its
device path -- and deactivation closes it. The port's speed is not used:
the panel's line is 19200 8N1 whatever the resource says. The same
NetworkSerialPort is what a coordinator's places hand out, so a place's
target works alike.

The driver offers the Panel's API: press, type, send, screen, wait_for,
wait_quiet and state (the link's, "linked", "lost" or "closed"; labgrid's
own code still sees its binding state there), and ``panel``, the Panel
itself, for the rest. Under ``pytest --lg-env``, the plugin's ``panel``
fixture is the main target's PanelDriver.
"""

import sys

import attr
from labgrid.binding import BindingState, StateError
from labgrid.driver.common import Driver
from labgrid.factory import target_factory
from labgrid.resource import NetworkSerialPort
from labgrid.util.proxy import proxymanager

import zezodavoru

__all__ = ["PanelDriver"]


class _State:
    """A driver's ``state``: labgrid keeps the driver's binding state under
    that name, and the Panel's API names the link's state so. labgrid's own
    code is given the binding state; everyone else the link's."""

    def __get__(self, driver, owner=None):
        if driver is None:
            return self
        caller = sys._getframe(1).f_globals.get("__name__", "")
        if caller == "labgrid" or caller.startswith("labgrid."):
            return driver.__dict__.get("_binding_state", BindingState.idle)
        return driver.link_state

    def __set__(self, driver, value):
        driver.__dict__["_binding_state"] = value


@target_factory.reg_driver
@attr.s(eq=False)
class PanelDriver(Driver):
    """The panel of the device on a serial port (see the module's text).

    Args:
        timeout (float): how long activation waits for a network port to be
            reached, in seconds (default 5)
    """

    bindings = {"port": {"SerialPort", "NetworkSerialPort"}}

    timeout = attr.ib(default=5.0, validator=attr.validators.instance_of((int, float)))

    state = _State()

    def __attrs_post_init__(self):
        super().__attrs_post_init__()
        self.panel = None

    @property
    def url(self):
        """The target string the panel opens for the bound port."""
        if isinstance(self.port, NetworkSerialPort):
            host, port = proxymanager.get_host_and_port(self.port)
            if ":" in host:
                host = f"[{host}]"
            scheme = {"rfc2217": "rfc2217", "raw": "socket"}.get(self.port.protocol)
            if scheme is None:
                raise ValueError(f"PanelDriver: unknown protocol {self.port.protocol!r} "
                                 f"of {self.port} (rfc2217 or raw)")
            return f"{scheme}://{host}:{port}"
        return self.port.port

    def on_activate(self):
        panel = zezodavoru.Panel()
        panel.open(self.url, timeout=self.timeout)
        self.panel = panel

    def on_deactivate(self):
        self.panel.close()

    def _active(self):
        __tracebackhide__ = True
        if self.__dict__.get("_binding_state") is not BindingState.active:
            raise StateError(f"{self} has not been activated: the panel is not open")
        return self.panel

    # -- the Panel's API --------------------------------------------------

    @property
    def link_state(self):
        """The link's state: "linked", "lost" or "closed"."""
        active = self.__dict__.get("_binding_state") is BindingState.active
        return self.panel.state if active and self.panel is not None else "closed"

    def press(self, key):
        """Presses and releases a named key (zezodavoru.Panel.press)."""
        __tracebackhide__ = True
        self._active().press(key)

    def type(self, text):
        """Types a text, one key press per character (Panel.type)."""
        __tracebackhide__ = True
        self._active().type(text)

    def send(self, data):
        """Sends raw key codes (Panel.send)."""
        __tracebackhide__ = True
        self._active().send(data)

    @property
    def screen(self):
        """What the display shows now (Panel.screen)."""
        __tracebackhide__ = True
        return self._active().screen

    def wait_for(self, pattern, row=None, timeout=2.0):
        """Waits until the screen shows `pattern` (Panel.wait_for)."""
        __tracebackhide__ = True
        return self._active().wait_for(pattern, row=row, timeout=timeout)

    def wait_quiet(self, seconds=0.3, timeout=5.0):
        """Waits until no byte has come for `seconds` (Panel.wait_quiet)."""
        __tracebackhide__ = True
        return self._active().wait_quiet(seconds, timeout=timeout)
