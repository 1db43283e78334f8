// One device's display session: the emulated controller, the host command
// interpreter, the status-line state and the cursor-blink clock, behind the
// one lock that serialises them.
//
// Bytes in, repaint requests out: a front end feeds the device's bytes in
// arrival order (from its reader thread or its event loop), ticks the 100 ms
// timer, and renders whenever it paints. The session holds its lock around
// each interpreter byte, each composition routine of start-up and timer, and
// each render; it calls the repaint callback after releasing the lock,
// because the paint the callback may wait for takes the same lock. Two
// sessions share nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>

#include "display/lcd_controller.h"
#include "display/rasteriser.h"
#include "protocol/interpreter.h"
#include "protocol/screen_snapshot.h"

class DisplaySession {
public:
    // Called after a command that asks for a repaint, on the thread that fed
    // the byte (or ticked the timer), never while the session's lock is held.
    using RepaintCallback = std::function<void()>;

    // Sees, under the session's lock, each batch of bytes as it is fed
    // (`tick` false) and each timer tick (`tick` true, no bytes): the exact
    // order in which the display took them, whichever threads fed it. It
    // must not wait for anything that may wait for this session.
    using InputObserver = std::function<void(std::span<const uint8_t> bytes, bool tick)>;

    DisplaySession() = default;
    explicit DisplaySession(RepaintCallback repaint) : repaint_(std::move(repaint)) {}
    DisplaySession(const DisplaySession&) = delete;
    DisplaySession& operator=(const DisplaySession&) = delete;

    // Installs the observer; before anything feeds the session.
    void set_input_observer(InputObserver observer) { observer_ = std::move(observer); }

    // The start-up sequence: creates the 20 x 4 controller (ROM select 1),
    // loads the start-up glyphs, switches the display on, draws the idle
    // screen and clears last_mode_flags. False if the controller cannot be
    // created; the session then drops every byte.
    bool start();
    // Destroys the controller; later bytes are dropped. Whoever feeds bytes
    // from another thread must have stopped.
    void stop();

    // Handles one device byte completely, then requests the repaint its
    // command asks for.
    void interpret_byte(uint8_t b);
    // A batch of bytes that arrived together: each is handled in order as by
    // interpret_byte, under one taking of the lock for the whole batch (a
    // reader's batch is at most a few thousand bytes, tens of microseconds
    // of work), and one repaint is requested after the last if any of the
    // batch's commands asked for one. The screen after the batch is the same;
    // only frames in between, which no monitor could show, are skipped.
    void interpret_bytes(std::span<const uint8_t> bytes);
    // The 100 ms timer: the flash-text countdown (the mode field redrawn and
    // a repaint requested at expiry), then the blink clock.
    void on_timer();

    // Renders the controller with the blink clock's phase and hands it to
    // `use` while the lock is still held (to build a picture from its dots).
    // False, without calling `use`, when there is no controller.
    template <class Use>
    bool render(Use&& use) {
        std::lock_guard lock(mutex_);
        if (!state_.display) return false;
        lcd_render(*state_.display, state_.blink.phase);
        use(static_cast<const LcdController&>(*state_.display));
        return true;
    }

    // The screen as a value, taken under the lock at the blink clock's phase
    // (the dots rendered as render() would). Empty when there is no
    // controller.
    std::optional<ScreenSnapshot> snapshot();

    // Runs `inspect` on the whole state under the lock, for tests that drive
    // the composition routines directly or check the interpreter's fields;
    // the screen itself is read through snapshot().
    template <class Inspect>
    decltype(auto) with_state(Inspect&& inspect) {
        std::lock_guard lock(mutex_);
        return inspect(state_);
    }

    // Repaint requests made since start-up.
    uint64_t repaint_count() const { return repaints_.load(); }

private:
    void request_repaint();

    std::mutex mutex_;
    SessionState state_;
    RepaintCallback repaint_;
    InputObserver observer_;
    std::atomic<uint64_t> repaints_{0};
};
