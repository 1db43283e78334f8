// The device name of a COM port number.
//
// Windows knows the plain names COM1..COM9 in every context; from 10 on only
// the device namespace ("\\.\COM10") reaches the port, because "COM10" on its
// own is taken as an ordinary file name.
#include <string>

#include "link/com_link.h"

std::string com_port_name(uint8_t port) {
    const std::string number = std::to_string(port);
    return port < 10 ? "COM" + number : "\\\\.\\COM" + number;
}
