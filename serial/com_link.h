// The serial link to the device, the part every platform shares: the result
// codes of opening a port, the shape of the receive callback, and the
// device names of COM port numbers.
//
// A link is an object that owns its port, its reader and the reader's
// running flag (com_link_win32.h on Windows). Its operations keep the link's
// own names: com_open opens and configures the port (19200 baud, 8N1, DTR
// and RTS off, no XON/XOFF, 250 ms read time-out), com_start_reader starts
// handing the received bytes to the callback, com_send_byte sends one key
// code, com_close ends the link, and com_probe_port tells which ports exist.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

// The outcome of com_open; the values are the link's historical codes.
enum class ComResult {
    ok = 0,
    open_failed = -4,
    get_state_failed = -5,
    set_state_failed = -6,
    purge_failed = -10,
};

// Receives the bytes the device sent, in arrival order, on the link's reader
// (today one byte per call).
using ComReceiveCallback = std::function<void(std::span<const uint8_t>)>;

// The device name of port n: "COMn" for 0..9, "\\.\COMn" from 10 on (the
// plain name is known to the system only for ports 1..9).
std::string com_port_name(uint8_t port);
