// The panel of the web page: one remote panel with the page's port, its
// keys, its timer and its picture, in the shape the page's script drives
// through the bindings (bindings_emscripten.cpp). Everything runs on the
// page's one thread.
//
// Targets: "demo" is the demo device in the page; "serial" (a serial port
// through Web Serial) and "ws://..." or "wss://..." (a WebSocket) are lines
// the page's script carries through the page's port (page_port.h).
//
// The script pushes what its line received through a fixed staging buffer
// of one batch (input()), takes the key codes for its line after each key
// (take_output()), and runs the panel's loop (remote_panel.h) on its one
// timer: it waits wait_ms() and calls service(), again and again, taking
// the wait anew whenever it changed the panel (a target opened, bytes
// received, a key). It paints when repaint_wanted() says so: paint() builds
// the picture at the size preset as canvas pixels (RGBA, top row first), at
// most once per frame.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_policy.h"
#include "panel/remote_panel.h"
#include "web/key_mapping.h"
#include "web/page_port.h"

class WebPanel {
public:
    WebPanel();

    // Opens a target (closing whatever was open); the page's line must be
    // open (port().opened()) before a line target opens.
    LinkResult open(const std::string& target);
    void close() { panel_.close(); }
    LinkState link_state() const { return panel_.link_state(); }
    std::string target() const { return panel_.target(); }
    // What the page shows beside the picture: "linked to demo",
    // "link lost: ws://...", "not linked".
    std::string link_text() const;

    PagePort& port() { return port_; }
    // The staging buffer for one received batch, and the call that hands
    // its first `count` bytes to the link.
    std::span<uint8_t> input() { return input_; }
    void received(size_t count, LinkClock::time_point now = LinkClock::now());
    std::vector<uint8_t> take_output() { return port_.take_output(); }

    // A key event: KeyboardEvent.code and .key, the modifiers, pressed or
    // released. Returns the code sent (0: none, or not linked); false in
    // `known` for a key the panel does not take (the page leaves it to the
    // browser).
    uint8_t key(std::string_view code, std::string_view key_name, PageModifiers modifiers,
                bool pressed, bool& known);

    // How long the script's timer waits before the next service(): until
    // the panel's next deadline (its tick or the link's), in whole
    // milliseconds, 0 when it is due.
    int32_t wait_ms(LinkClock::time_point now = LinkClock::now()) const;
    // Does what is due by `now`: the link's time, then the display's tick.
    void service(LinkClock::time_point now = LinkClock::now());

    // The picture's choices: a scheme (1 green, others blue) and a size 1..4
    // (others are ignored).
    void set_scheme(int32_t scheme);
    void set_size(uint8_t size);
    int32_t width() const;
    int32_t height() const;

    bool repaint_wanted() const { return repaint_wanted_; }
    // The picture now; black before the display draws.
    const std::vector<uint8_t>& paint();

    RemotePanel& panel() { return panel_; }

private:
    PagePort port_;
    bool repaint_wanted_ = true;
    int32_t scheme_ = 1;
    uint8_t size_ = 4;
    std::array<uint8_t, link_policy::batch_limit> input_{};
    std::vector<uint32_t> image_;
    std::vector<uint8_t> picture_;
    // Last: its link reads the port and its callback sets repaint_wanted_.
    RemotePanel panel_;
};

// Whether the page carries `target` on its own line.
bool is_page_line_target(std::string_view target);
