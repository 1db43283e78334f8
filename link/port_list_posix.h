// The serial ports of a POSIX system that a user may want to link: the
// stable names under /dev/serial/by-id, then the USB adapters (ttyUSB*,
// ttyACM*) and the built-in ports (ttyS*) that are there, each with the USB
// product name where sysfs gives one. The roots are parameters so that tests
// can build a small tree of their own.
#pragma once

#include <string>
#include <vector>

struct SerialPortEntry {
    std::string path;     // what tty_open takes, e.g. "/dev/ttyUSB0"
    std::string product;  // the adapter's USB product name, or empty
};

std::vector<SerialPortEntry> list_serial_ports(const std::string& dev_root = "/dev",
                                               const std::string& sys_root = "/sys");
