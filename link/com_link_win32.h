// The serial link on Windows: one COM port opened for overlapped I/O, the
// reader thread that hands the received bytes to the link's callback in
// batches, key writes, relinking a port that vanished, and the close
// sequence.
//
// The link owns the port handle, the reader thread, the reader's running
// flag and the event that stops it. All transfers on the open port are
// overlapped, so the reader's pending read and a key's write can be in
// progress together on two threads. The owner (the main thread) opens,
// starts, writes and closes; the reader thread reads, calls the callback,
// and when the port's reads fail as a vanished port's do (a USB adapter
// pulled) it closes the port and opens it again every 500 ms until it is
// back, configured as at the first opening. Handle changes and writes are
// serialised by one mutex, so a write never uses a handle the reader closed.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "link/com_link.h"
#include "platform/handles_win32.h"

class ComLink {
public:
    // `receive` is called on the reader thread with the bytes that arrive,
    // `state_changed` there too when the port is lost or comes back.
    explicit ComLink(ComReceiveCallback receive,
                     std::function<void(LinkState)> state_changed = nullptr);
    // Closes the link (see com_close).
    ~ComLink();
    ComLink(const ComLink&) = delete;
    ComLink& operator=(const ComLink&) = delete;

    // Opens and configures the port, closing first whatever this link had
    // open. A failure after the port was opened releases it again, so that
    // the user can try once more.
    LinkResult com_open(uint8_t port);
    // Closes the port and stops the reader, also while it is relinking;
    // returns once the reader has ended. Called on the thread that owns the
    // windows the callback repaints (setup dialog, window destruction):
    // while it waits it serves the messages sent to that thread, since the
    // reader may be inside a repaint request that waits for this thread's
    // paint. Does nothing when closed.
    void com_close();
    // Starts the reader thread after a successful com_open (the running flag
    // is raised before the thread exists). False if it could not be started,
    // or a reader is still there because com_close was not called.
    bool com_start_reader();
    // Transfers exactly `count` bytes: 1 on success, else 0 (also at once
    // while the link is lost). A write that has not gone through after
    // 500 ms (output handshaking held) is cancelled.
    int com_write(const uint8_t* buffer, uint32_t count);
    int com_read(uint8_t* buffer, uint32_t count);
    int com_send_byte(uint8_t code);
    // Whether COM port n is present (also when held open by someone).
    static bool com_probe_port(uint8_t n);

    // closed, linked, or lost while the reader waits for the port to return.
    LinkState link_state() const { return state_.load(); }
    // The open port, or null (closed, or lost).
    HANDLE port_handle() const { return port_.load(); }
    // The reader thread, or null once com_close has ended it.
    HANDLE reader_thread() const { return reader_thread_.get(); }
    bool reader_running() const { return reader_running_.load(); }

private:
    static DWORD WINAPI reader_main(LPVOID link);
    void read_until_stopped();
    // After reads failed as a vanished port's do: closes the port and opens
    // it again every 500 ms until it opens or the link is closed.
    void relink();
    // Waits `ms` unless the link is being closed; false if it is.
    bool pause_unless_stopped(DWORD ms) const;

    // Sets the state; a change the reader makes is reported.
    void report_state(LinkState state);

    ComReceiveCallback receive_;
    std::function<void(LinkState)> state_changed_;
    // The port number of the last successful com_open, which relink opens.
    uint8_t port_number_ = 0;
    // Read anew by every transfer; changed only under port_mutex_.
    std::atomic<HANDLE> port_{nullptr};
    std::atomic<LinkState> state_{LinkState::closed};
    std::atomic<bool> reader_running_{false};
    // Held by every write and by every change of port_ after com_open.
    std::mutex port_mutex_;
    // Set by com_close: ends the reader's pauses and relink attempts at once.
    UniqueKernelHandle stop_event_;
    UniqueKernelHandle reader_thread_;
};
