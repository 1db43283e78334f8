// A remote panel for a scripting language: the panel, a thread of its own
// that drives the link while one is open, and a change signal that a waiting
// caller sleeps on.
//
// The thread runs the panel's loop as the programs' windows do: it polls the
// link's descriptor (for reading, and for writing while key codes wait) with
// a timeout to the panel's next deadline (its next tick or the link's), and
// calls the panel's service(). Calls from the owner (open, close, send, feed,
// tick, key presses) interrupt its poll through an eventfd, so that a new
// descriptor or a key waiting for the line is watched at once. One mutex
// guards the panel between the owner and the thread; the screen is read
// through the session's own lock and never waits for the thread.
//
// The panel's tap also feeds a session recorder, whose flight recorder keeps
// the session (its last minutes, in bounded memory) for a recording saved
// when a test fails.
//
// Every repaint, every batch of bytes that arrives and every change of the
// link's state counts one change; wait_change() sleeps until the count moves
// on, so a caller that polls the screen between changes sees a new row within
// the time the thread takes to read it. Without an open link there is no
// thread: the owner feeds bytes and ticks by hand.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "keyboard/key_names.h"
#include "link/link.h"
#include "panel/remote_panel.h"
#include "panel/session_recorder.h"
#include "protocol/screen_snapshot.h"

// A descriptor closed with its owner.
class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

class PanelHost {
public:
    // Starts the display session; throws std::runtime_error if it cannot.
    PanelHost();
    // Stops the thread, then closes the link.
    ~PanelHost();
    PanelHost(const PanelHost&) = delete;
    PanelHost& operator=(const PanelHost&) = delete;

    // Opens `target`, closing first whatever was open; the thread runs from
    // a successful open until close().
    LinkResult open(const std::string& target);
    void close();
    LinkState state() const;
    // While lost: why the latest attempt failed (ok before one has ended).
    LinkResult failure() const;
    std::string target() const;

    // Key codes to the device; false (nothing sent) unless linked.
    bool send(std::span<const uint8_t> codes);
    // The codes of a key press, through the panel's own key translator (its
    // Ctrl+Shift chord state goes on from press to press).
    std::vector<uint8_t> press_codes(const KeyPress& press);
    // Device bytes as if received, and timer ticks.
    void feed(std::span<const uint8_t> bytes);
    void tick(uint32_t count);

    ScreenSnapshot screen();
    // Saves the session recorded so far to `path` and gives the screen of
    // that same moment, which the recording replays to (nothing reaches the
    // display in between). False, with `error` set, when the file cannot be
    // written.
    bool save_session(const std::string& path, ScreenSnapshot& screen, std::string& error);
    // The change count now, and a wait until it differs from `seen` or
    // `deadline` passes; returns the count then.
    uint64_t changes() const;
    uint64_t wait_change(uint64_t seen, LinkClock::time_point deadline);
    // When a byte last arrived (or the link opened, or the panel was made).
    LinkClock::time_point last_arrival() const;

    uint64_t received() const { return received_.load(); }
    uint64_t sent() const { return sent_.load(); }

private:
    void on_event(const PanelEvent& event);
    void signal_change(bool arrival);
    void start_thread();
    void stop_thread();
    void wake_thread();
    void run();
    // One round of the loop: wait for the link or the time, then service.
    void run_once();

    // Declared before the panel: its last events (the close in its
    // destructor) still reach them.
    SessionRecorder recorder_{"zezodavoru-python", true};
    mutable std::mutex change_mutex_;
    std::condition_variable changed_;
    uint64_t changes_ = 0;
    LinkClock::time_point last_arrival_;
    std::atomic<uint64_t> received_{0};
    std::atomic<uint64_t> sent_{0};

    UniqueFd wake_fd_;
    mutable std::mutex panel_mutex_;
    RemotePanel panel_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
