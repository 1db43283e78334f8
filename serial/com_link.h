// The serial link to the device over one COM port.
//
// com_open opens and configures the port (19200 baud, 8N1, DTR and RTS off,
// no XON/XOFF, 250 ms read time-out), a reader thread hands every received
// byte to the interpreter, com_send_byte sends one key code, com_close ends
// the link, and com_probe_port tells which ports exist. All transfers on the
// open port are overlapped, so the reader's pending read and a key's write
// can be in progress together on two threads.
//
// com_port_name is portable; the rest is the Windows front end.
#pragma once

#include <cstdint>
#include <string>

// Result codes of com_open.
inline constexpr int com_ok = 0;
inline constexpr int com_open_failed = -4;
inline constexpr int com_get_state_failed = -5;
inline constexpr int com_set_state_failed = -6;
inline constexpr int com_purge_failed = -10;

// The device name of port n: "COMn" for 0..9, "\\.\COMn" from 10 on (the
// plain name is known to the system only for ports 1..9).
std::string com_port_name(uint8_t port);

// Opens and configures the port; 0 or one of the negative codes above. A
// failure after the port was opened releases it again.
int com_open(uint8_t port);
// Closes the port and stops the reader; returns once the reader has ended.
// Called on the main thread (setup dialog, window destruction): while it
// waits it must serve messages sent to the main window, since the reader may
// be inside a repaint request that waits for the main thread's paint
// (wait_serving_sent_messages in app/win32/win32_helpers.h does both).
void com_close();
// Starts the reader thread after a successful com_open (reader_running is
// raised before the thread exists). False if it could not be started, or a
// reader is still there because com_close was not called.
bool com_start_reader();
// Transfers exactly `count` bytes: 1 on success, else 0. A write that has
// not gone through after 500 ms (output handshaking held) is cancelled.
int com_write(const uint8_t* buffer, uint32_t count);
int com_read(uint8_t* buffer, uint32_t count);
int com_send_byte(uint8_t code);
// Whether COM port n is present (also when held open by someone).
bool com_probe_port(uint8_t n);
