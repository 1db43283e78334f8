// The serial link on Windows: one COM port opened for overlapped I/O, the
// reader thread that hands every received byte to the link's callback, key
// writes, and the close sequence.
//
// The link owns the port handle, the reader thread and the reader's running
// flag. All transfers on the open port are overlapped, so the reader's
// pending read and a key's write can be in progress together on two threads.
// The owner (the main thread) opens, starts, writes and closes; the reader
// thread only reads and calls the callback.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "platform/handles_win32.h"
#include "serial/com_link.h"

class ComLink {
public:
    // `receive` is called on the reader thread with the bytes that arrive.
    explicit ComLink(ComReceiveCallback receive);
    // Closes the link (see com_close).
    ~ComLink();
    ComLink(const ComLink&) = delete;
    ComLink& operator=(const ComLink&) = delete;

    // Opens and configures the port. A failure after the port was opened
    // releases it again, so that the user can try once more. The link must
    // be closed.
    ComResult com_open(uint8_t port);
    // Closes the port and stops the reader; returns once the reader has
    // ended. Called on the thread that owns the windows the callback repaints
    // (setup dialog, window destruction): while it waits it serves the
    // messages sent to that thread, since the reader may be inside a repaint
    // request that waits for this thread's paint. Does nothing when closed.
    void com_close();
    // Starts the reader thread after a successful com_open (the running flag
    // is raised before the thread exists). False if it could not be started,
    // or a reader is still there because com_close was not called.
    bool com_start_reader();
    // Transfers exactly `count` bytes: 1 on success, else 0. A write that has
    // not gone through after 500 ms (output handshaking held) is cancelled.
    int com_write(const uint8_t* buffer, uint32_t count);
    int com_read(uint8_t* buffer, uint32_t count);
    int com_send_byte(uint8_t code);
    // Whether COM port n is present (also when held open by someone).
    static bool com_probe_port(uint8_t n);

    // The open port, or null.
    HANDLE port_handle() const { return port_.load(); }
    // The reader thread, or null once com_close has ended it.
    HANDLE reader_thread() const { return reader_thread_.get(); }
    bool reader_running() const { return reader_running_.load(); }

private:
    static DWORD WINAPI reader_main(LPVOID link);
    void read_until_stopped();

    ComReceiveCallback receive_;
    // Read anew by every transfer on either thread.
    std::atomic<HANDLE> port_{nullptr};
    std::atomic<bool> reader_running_{false};
    UniqueKernelHandle reader_thread_;
};
