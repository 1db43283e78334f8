// One device's front panel mirrored on the PC: the display session its
// bytes drive, the link that carries them, the key translator, the 100 ms
// tick and the tap. Every front end (the Windows and Linux programs, the
// command-line tool, the Python module) drives one device through this
// object; front ends keep only painting, menus and dialogs, and settings.
//
// Threads: the owner's thread opens, closes, sends, ticks and, for a
// loop-driven link, calls service() when watch() says so. Received batches
// reach the session on the thread that services the link, or on the reader
// thread of a thread link (the Win32 COM link); the session's lock orders
// them. The repaint callback comes on whichever thread fed the bytes or
// ticked, never under a lock.
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
        // The link's state changed by itself (lost, relinked): on the thread
        // that services the link, or a thread link's reader.
        std::function<void(LinkState)> link_changed;
    };
    using Tap = std::function<void(const PanelEvent&)>;

    explicit RemotePanel(Callbacks callbacks = {});
    // Closes the link first, so that no reader feeds a stopped session.
    ~RemotePanel();
    RemotePanel(const RemotePanel&) = delete;
    RemotePanel& operator=(const RemotePanel&) = delete;

    // The session's start-up sequence (false if the display cannot be
    // created); stop() closes the link and then stops the session.
    bool start();
    void stop();

    // Opens `target` (link/target.h), closing first whatever was open. On
    // failure nothing is linked and the reason is returned.
    LinkResult open(const std::string& target);
    // Opens a link that the owner makes from the panel's events (a front
    // end's own transport, such as a web page's port), as open() does.
    using LinkMaker = std::function<MadeLink(LinkEvents)>;
    LinkResult open_made(const LinkMaker& make);
    void close();
    LinkState link_state() const;
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
    // The 100 ms timer.
    void tick() { session_.on_timer(); }

    // For a loop-driven link: what to wait for, and the call when it came.
    LinkWatch watch() const;
    void service(LinkClock::time_point now = LinkClock::now());

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
};
