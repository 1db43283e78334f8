// One device's front panel mirrored on the PC: the display session its
// bytes drive, the link that carries them, the key translator, the 100 ms
// clock and the tap. Every front end (the Windows and Linux programs, the
// command-line tool, the Python module, the web page) drives one device
// through this object; front ends keep only painting, menus and dialogs,
// and settings.
//
// The loop: every front end runs the same wait-then-service. watch() names
// what to wait for (the link's descriptor or handles) and the next moment
// something is due (the next tick of the clock, the link's own deadlines:
// the end of a settle, a retry, a key's write limit); the front end waits
// for the first of them, then calls service(now), which serves the link and
// ticks the display if a tick is due, and takes watch() anew. Waking early
// or late costs nothing but the wait: service() does only what is due by
// `now`. The clock ticks every tick period from start(); ticks that come
// late are not made up: one tick, and the next is a period after it when
// the loop fell a whole period or more behind (a stopped process, a
// blocked loop), so that a burst of stale ticks never runs. While the link
// plays ticks itself (a recording played back) the clock does not tick.
//
// Threads: the owner's thread opens, closes, sends and calls watch() and
// service(). Received batches reach the session on that thread, inside
// service(). The repaint callback comes on whichever thread fed the bytes
// or ticked, never under a lock. A link that keeps a thread of its own (the
// Windows COM port's reader) calls the wake callback from it when it has
// handed bytes on, for loops that cannot wait on the watch's handles.
//
// The tap sees every received batch, every batch dropped while the link
// settled, every key code sent, every tick and every link state change, one
// at a time and in order: received batches and ticks in the order the
// display took them (the tap is called under the session's lock for those),
// the rest as they happen. It must only record, never wait.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "keyboard/key_translation.h"
#include "link/link.h"
#include "panel/links.h"
#include "protocol/display_session.h"
#include "protocol/screen_snapshot.h"

enum class PanelEventKind { received, dropped, sent, tick, link };

struct PanelEvent {
    PanelEventKind kind;
    std::span<const uint8_t> bytes;       // received, dropped, sent
    LinkState state = LinkState::closed;  // link
};

class RemotePanel {
public:
    // The timer that drives the flash-text expiry and the blink clock.
    static constexpr std::chrono::milliseconds tick_period{100};

    struct Callbacks {
        std::function<void()> repaint;
        // The link's state changed by itself (lost, relinked), inside
        // service().
        std::function<void(LinkState)> link_changed;
        // From another thread: the watch's handles were signalled
        // (LinkEvents::wake); the owner arranges a service() soon.
        std::function<void()> wake;
    };
    using Tap = std::function<void(const PanelEvent&)>;

    explicit RemotePanel(Callbacks callbacks = {});
    // Closes the link first, so that no reader feeds a stopped session.
    ~RemotePanel();
    RemotePanel(const RemotePanel&) = delete;
    RemotePanel& operator=(const RemotePanel&) = delete;

    // The session's start-up sequence (false if the display cannot be
    // created), and the clock's first tick a period from `now`; stop()
    // closes the link and then stops the session.
    bool start(LinkClock::time_point now = LinkClock::now());
    void stop();

    // Opens `target` (link/target.h), closing first whatever was open. On
    // failure nothing is linked and the reason is returned. A network
    // target is lost until it is reached (link_changed tells).
    LinkResult open(const std::string& target);
    // Opens the link `make` builds on the panel's events (a link that no
    // target string names, such as a recording played back), closing first
    // whatever was open; as open(target) otherwise.
    using LinkMaker = std::function<MadeLink(LinkEvents events)>;
    LinkResult open(const LinkMaker& make);
    void close();
    LinkState link_state() const;
    // While the link is lost: why its latest attempt failed (Link::failure()).
    LinkResult link_failure() const;
    // The target of the link that is open (linked or lost), else empty.
    std::string target() const;
    // The link, for tests that reach a link's own guarantees; null when
    // closed.
    Link* link() { return link_.get(); }

    // Key codes to the device while linked; false if they could not go.
    bool send(std::span<const uint8_t> codes);
    bool send(uint8_t code) { return send(std::span<const uint8_t>(&code, 1)); }
    // Device bytes as if received (an offline panel, playback).
    void feed(std::span<const uint8_t> bytes) { session_.interpret_bytes(bytes); }
    // One tick of the display's timer now, outside the clock (an offline
    // panel ticked by hand, a recording's ticks); the clock's schedule
    // stays as it is.
    void tick() { session_.on_timer(); }

    // What to wait for: the link's watch, its wake brought forward to the
    // clock's next tick.
    LinkWatch watch() const;
    // Does what is due by `now`: serves the link, then ticks if a tick is
    // due (the loop above).
    void service(LinkClock::time_point now = LinkClock::now());
    // When the clock ticks next; nothing while the link plays ticks.
    std::optional<LinkClock::time_point> next_tick() const;

    // Renders the display and hands its controller to `use` under the
    // session's lock, to build a picture from its dots; false without one.
    template <class Use>
    bool render(Use&& use) {
        return session_.render(std::forward<Use>(use));
    }
    // What the display shows now, taken in one call under the session's lock
    // (empty before start()).
    std::optional<ScreenSnapshot> screen() { return session_.snapshot(); }
    DisplaySession& session() { return session_; }
    KeyTranslator& keys() { return keys_; }
    // Installs the tap; before the link opens.
    void set_tap(Tap tap) { tap_ = std::move(tap); }

private:
    void on_received(std::span<const uint8_t> bytes);
    void on_link_changed(LinkState state);
    void pass_to_tap(const PanelEvent& event);

    Callbacks callbacks_;
    Tap tap_;
    std::mutex tap_mutex_;
    KeyTranslator keys_;
    // Declared before the link, which feeds it: the link goes first.
    DisplaySession session_;
    std::unique_ptr<Link> link_;
    LinkClock::time_point tick_due_{};
};
