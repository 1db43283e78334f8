// A terminal device (a USB adapter, a built-in port, a pseudo-terminal)
// opened raw at the line's settings, as a non-blocking transport.
//
// open_tty_port takes the port for itself: TIOCEXCL refuses further opens
// of the terminal and an flock() lock turns away another program that locks
// its ports the same way, so two programs never share a line by accident.
// It keeps the terminal's settings as it found them; closing the port (the
// transport's destruction) clears the exclusive mark and puts those settings
// back, so that the port is free for the next program, or for this one to
// open again, and a terminal linked by mistake is left as it was.
#pragma once

#include <string>

#include "link/transport.h"

// Opens the terminal at `path` (a path of bytes, as the system names it)
// exclusively and sets 19200 baud, 8 data bits, no parity, one stop bit,
// raw, no flow control, with DTR and RTS held off where the device has them.
// A directory, a file or a path that loops is "not a serial port".
TransportOpen open_tty_port(const std::string& path);
