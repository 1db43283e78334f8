"""A pool of devices that the tests of a run share, whichever process runs
them: no device is ever held by two holders at once.

Each device has a lock file in a folder that every process of the run (and
every run on this computer, for real devices) sees, and a holder takes the
file's OS lock (flock). The lock goes with its open file: a holder that is
killed, or a worker that dies, leaves nothing held behind, and the file
left on disk blocks no one. A holder that waits takes all the devices it
needs at once or none (no two holders each keep half of what both need),
tries again every tenth of a second or so, and after its time limit says
which devices it waited for and who held them.

The devices of a run: every distinct target once (a second "/dev/ttyUSB0"
names the same unit), and "demo" as often as it is given: each is a demo
device of its own inside the test's process, so two of them are two
devices. A demo device's lock is the run's own (its run id in the name), so
that two runs on one computer do not wait for each other's demo devices.

    pool = DevicePool(pool_devices(["demo", "demo"], run_id), folder)
    with pool.hold(2, timeout=60, holder="gw0: test_pair") as held:
        a, b = (zezodavoru.Panel(device.target) for device in held.devices)
"""

import fcntl
import hashlib
import os
import random
import re
import tempfile
import time

__all__ = ["Device", "DevicePool", "Holding", "PoolTimeout", "default_lock_folder", "pool_devices"]


class PoolTimeout(TimeoutError):
    """No device (or not enough) came free within the time limit; the
    message names the devices waited for and their holders."""


class Device:
    """One device of the pool: the target a Panel opens, the key its lock is
    named by, and the label people read."""

    def __init__(self, target, key, label):
        self.target = target
        self.key = key
        self.label = label

    def __repr__(self):
        return f"<zezodavoru.pool.Device {self.label}>"


def pool_devices(targets, run_id):
    """The devices of the targets given (see the module's text)."""
    devices, seen, demos = [], set(), 0
    for target in targets:
        if target == "demo":
            demos += 1
            devices.append(Device(target, f"demo-{demos}@run-{run_id}", f"demo #{demos}"))
        elif target not in seen:
            seen.add(target)
            devices.append(Device(target, target, target))
    if demos == 1:
        devices[[d.target for d in devices].index("demo")].label = "demo"
    return devices


def default_lock_folder():
    """This user's lock folder in the system's temporary folder."""
    return os.path.join(tempfile.gettempdir(), f"zezodavoru-panels-{os.getuid()}")


def _lock_name(key):
    slug = re.sub(r"[^\w.-]+", "_", key)[:48]
    return f"{slug}-{hashlib.sha256(key.encode()).hexdigest()[:12]}.lock"


class Holding:
    """Devices held until release() (or the end of a with block)."""

    def __init__(self, devices, files):
        self.devices = devices
        self._files = files

    def release(self):
        files, self._files = self._files, []
        for fd in files:
            os.close(fd)  # closing the file ends its lock

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.release()
        return False


class DevicePool:
    """The devices, and the folder of their lock files (made if missing)."""

    def __init__(self, devices, folder):
        self.devices = list(devices)
        self.folder = folder
        os.makedirs(folder, mode=0o700, exist_ok=True)

    def __len__(self):
        return len(self.devices)

    def _path(self, device):
        return os.path.join(self.folder, _lock_name(device.key))

    def _try(self, device):
        fd = os.open(self._path(device), os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o600)
        try:
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            os.close(fd)
            return None
        except BaseException:
            os.close(fd)
            raise
        return fd

    def forget(self, devices):
        """Removes the lock files of devices no one will hold again (a
        finished run's demo devices)."""
        for device in devices:
            try:
                os.unlink(self._path(device))
            except FileNotFoundError:
                pass

    def holder_of(self, device):
        """Who holds the device, as its holder wrote it, or "" if unknown."""
        try:
            with open(self._path(device), encoding="utf-8", errors="replace") as file:
                return file.read(400).strip()
        except OSError:
            return ""

    def hold(self, count, timeout, holder, first=0):
        """Holds `count` distinct devices, waiting up to `timeout` seconds;
        tries them from the `first` on, so that holders spread over the
        pool. Raises ValueError when the pool has fewer, PoolTimeout when
        they do not come free in time."""
        if count > len(self.devices):
            raise ValueError(f"{count} devices asked of a pool of {len(self.devices)}")
        start = first % len(self.devices)
        order = self.devices[start:] + self.devices[:start]
        deadline = time.monotonic() + timeout
        while True:
            held, files = [], []
            for device in order:
                fd = self._try(device)
                if fd is not None:
                    held.append(device)
                    files.append(fd)
                    if len(held) == count:
                        break
            if len(held) == count:
                note = f"{holder} (pid {os.getpid()})\n".encode("utf-8", "replace")
                for fd in files:
                    os.ftruncate(fd, 0)
                    os.pwrite(fd, note, 0)
                return Holding(held, files)
            Holding(held, files).release()
            if time.monotonic() >= deadline:
                raise PoolTimeout(self._waited(count, timeout, held))
            time.sleep(0.05 + random.random() * 0.1)

    def _waited(self, count, timeout, free):
        busy = []
        for device in self.devices:
            if device in free:
                continue
            by = self.holder_of(device)
            busy.append(f"{device.label} (held by {by})" if by else device.label)
        what = "a panel" if count == 1 else f"{count} panels at once"
        return (f"no panel came free within {timeout:g} s: waited for {what} of "
                f"{len(self.devices)}, and these were held: " + ", ".join(busy))
