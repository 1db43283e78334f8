// The serial link on POSIX systems: one terminal device (a USB adapter, a
// built-in port or a pseudo-terminal) opened raw at the line's settings.
//
// The link is a non-blocking descriptor and nothing more: it owns no thread
// and no event loop. Its owner watches fd() for input (a QSocketNotifier, a
// poll loop) and calls read_available, which hands over what is waiting or
// tells that the line is gone. A hang-up (a USB adapter pulled, the other
// side of a pseudo-terminal closed) reads as end of file or EIO; the link
// then reports `lost` and its owner closes it and may reopen the same path.
//
// tty_open takes the port for itself: TIOCEXCL refuses further opens of the
// terminal, and an flock() lock turns away another program that locks its
// ports the same way, so two programs never share a line by accident.
#pragma once

#include <cstdint>
#include <span>
#include <string>

enum class TtyResult {
    ok,
    not_found,          // no such device (or it has gone)
    permission_denied,  // the user may not open it
    busy,               // another program holds it
    not_a_terminal,     // a file that is no serial port
    cannot_configure,   // the line settings were refused
};

// The reason of a failed open in the program's words, e.g. "port not found".
const char* tty_result_text(TtyResult result);

// What one read_available found.
struct TtyRead {
    size_t count = 0;   // bytes placed in the buffer
    bool lost = false;  // the line has gone; nothing more will arrive
};

class TtyLink {
public:
    TtyLink() = default;
    ~TtyLink() { tty_close(); }
    TtyLink(const TtyLink&) = delete;
    TtyLink& operator=(const TtyLink&) = delete;

    // Opens the terminal at `path` exclusively and sets 19200 baud, 8 data
    // bits, no parity, one stop bit, raw, no flow control, with DTR and RTS
    // held off where the device has them. An open link is closed first.
    TtyResult tty_open(const std::string& path);
    // Releases the port; an unopened link is left alone.
    void tty_close();
    bool is_open() const { return fd_ >= 0; }
    // The descriptor to watch for input, or -1.
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // Takes the bytes waiting (at most buffer.size()) without blocking.
    TtyRead read_available(std::span<uint8_t> buffer);
    // Drops whatever has arrived and not been read.
    void discard_input();
    // Sends the bytes, waiting at most `limit_ms` for the line to take them
    // (output handshaking may hold it). False if not all of them went out.
    bool tty_write(std::span<const uint8_t> bytes, int32_t limit_ms = 500);

private:
    int fd_ = -1;
    std::string path_;
};
