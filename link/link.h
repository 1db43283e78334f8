// The link seam: a line to one device, whatever carries it.
//
// A link is opened on a target (a device path, a COM port, the demo device,
// later a network port or a recording) and then hands on what the device
// sends, in arrival order and in batches, takes key codes to send, and knows
// its state: closed, linked, or lost while it waits for its target to come
// back. Every failure comes back as one LinkResult, each with the sentence
// the user sees.
//
// Every link is driven by its owner's loop: the loop waits for what watch()
// names (a descriptor on POSIX, event handles on Windows) or the moment it
// names, whichever comes first, and then calls service(), which does what
// is due on the owner's thread; so a Qt window, the CLI's poll loop, a
// Python thread and the Windows message loop all drive the same code. A
// link may keep a thread that waits on its line (the Windows COM port's
// reader), but that thread only hands bytes on to service() and signals.
//
// The timing every link keeps (the settle after each opening, the retry of a
// lost target, the batch size, the time a key may wait for the line) is
// written once, in link_policy.h.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

using LinkClock = std::chrono::steady_clock;

// closed: not opened, or closed by its owner. linked: the target is open.
// lost: the target is not there: it went away (a USB adapter pulled, a
// server gone), or a network link is still on its way to it; the link tries
// the same target until it is back or closed.
enum class LinkState { closed, linked, lost };

// "closed", "linked" or "lost".
const char* link_state_name(LinkState state);

// The outcome of opening a link.
enum class LinkResult {
    ok,
    not_found,             // no such device or port (or it has gone)
    permission_denied,     // the user may not open it
    busy,                  // another program holds it
    not_a_serial_port,     // something that is no serial line
    cannot_read_settings,  // the port's line settings could not be read
    cannot_configure,      // the line settings were refused
    cannot_start,          // opened and configured, but reading could not start
    bad_target,            // the target string names nothing a link can open
    host_not_found,        // the network name is not known
    refused,               // the host turned the connection away (nothing serves the port)
    unreachable,           // no route to the host
    no_answer,             // the host, or its server, did not answer in time
    server_closed,         // the server closed the link (another client may hold the port)
    protocol_error,        // the server broke the telnet protocol
};

// The reason of a failed open in the program's words ("port not found",
// "permission denied (is the user in the dialout group?)", ...); "linked"
// for ok.
const char* link_result_text(LinkResult result);

// What a link hands to its owner.
struct LinkEvents {
    // The bytes the device sent, in arrival order, one batch per call, on
    // the thread that calls service().
    std::function<void(std::span<const uint8_t>)> received;
    // Bytes that arrived while the link settled after an opening and were
    // dropped (they may be the tail of a command whose start was never seen).
    std::function<void(std::span<const uint8_t>)> dropped;
    // The state changed after open() returned (a loss, a relink), or the
    // reason a lost link gives (Link::failure()) changed. On the same thread
    // as `received`.
    std::function<void(LinkState)> state_changed;
    // From a thread of the link's own (a reader that handed bytes on): the
    // watch's handles are signalled. For an owner whose thread may be in a
    // loop that does not wait on them (a modal dialog's on Windows), so that
    // it calls service() all the same. Called once per batch at most; the
    // owner coalesces.
    std::function<void()> wake;
};

// A waitable object of the platform where it waits on handles (a Windows
// event handle), opaque to the portable code.
using LinkHandle = void*;

// What a link waits for: input (and, while key codes wait, room for output)
// on `fd` (POSIX), or one of `handles` signalled (Windows; unused entries
// are null), or the moment `wake`, whichever comes first; then its owner
// calls service(). Nothing to watch: fd -1, no handle and no wake.
struct LinkWatch {
    int fd = -1;
    bool read = false;
    bool write = false;
    std::array<LinkHandle, 2> handles{};
    std::optional<LinkClock::time_point> wake;
};

// How long a loop waits for the moment `when`: the milliseconds from `now`,
// rounded up so that the loop never wakes before it, 0 once it has come.
inline int32_t milliseconds_until(LinkClock::time_point when,
                                  LinkClock::time_point now = LinkClock::now()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - now).count();
    if (left <= 0) return 0;
    return left > INT32_MAX ? INT32_MAX : static_cast<int32_t>(left);
}

// How long a loop waits on `watch` before it calls service() all the same:
// until its wake, or -1 (no time limit) without one.
inline int32_t watch_timeout(const LinkWatch& watch, LinkClock::time_point now = LinkClock::now()) {
    return watch.wake ? milliseconds_until(*watch.wake, now) : -1;
}

class Link {
public:
    virtual ~Link() = default;

    // Opens the target, closing first whatever was open. On failure the link
    // stays closed and the reason is returned; on success it is linked, its
    // first bytes are dropped while it settles.
    virtual LinkResult open() = 0;
    // Closes the target and stops any retrying; the link is closed. A
    // thread the link keeps has ended when it returns.
    virtual void close() = 0;
    // Sends key codes while linked; false (and nothing sent) otherwise. It
    // never waits for the line: codes that the line does not take within
    // the key write limit are dropped.
    virtual bool send(std::span<const uint8_t> codes) = 0;
    virtual LinkState state() const = 0;
    // The target as given, e.g. "/dev/ttyUSB0", "COM5", "demo".
    virtual const std::string& target() const = 0;

    // While lost: why the latest attempt to reach the target failed, or why
    // the link was lost; ok while linked, closed, or before a first attempt
    // of a network link has ended.
    virtual LinkResult failure() const { return LinkResult::ok; }

    // What to wait for, and the call to make when it has come (at `now`).
    virtual LinkWatch watch() const { return {}; }
    virtual void service(LinkClock::time_point /*now*/) {}

    // Whether the link runs the display's ticks itself (a recording played
    // back, whose recorded ticks are the only ones): its owner then does not
    // tick the display, for as long as the link is there.
    virtual bool plays_ticks() const { return false; }
};
