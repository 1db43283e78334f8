// The built-in demo device behind the link seam: a loop-driven link with no
// descriptor. Opening powers the device up and hands on its start-up
// screen; each key code is answered at once with what the device draws; and
// the time that passes, as the owner's service() calls measure it, runs the
// device's timer every tick period. Nothing is dropped and nothing is ever
// lost: the device is in the program.
#pragma once

#include <chrono>
#include <string>

#include "demo/demo_device.h"
#include "link/link.h"

// The codes the demo device answers, taken from the key translation: the
// codes a window sends for Escape, F1, F12, Insert, Up, Down, Enter and
// Backspace.
DemoKeyCodes demo_key_codes();

class DemoLink final : public Link {
public:
    // How often the device is given the time that passed.
    static constexpr std::chrono::milliseconds period{100};

    explicit DemoLink(LinkEvents events, uint32_t seed = 1);

    LinkResult open() override;
    void close() override { state_ = LinkState::closed; }
    bool send(std::span<const uint8_t> codes) override;
    LinkState state() const override { return state_; }
    const std::string& target() const override { return target_; }
    LinkWatch watch() const override;
    void service(LinkClock::time_point now) override;

private:
    void hand_on(const std::vector<uint8_t>& bytes);

    std::string target_ = "demo";
    LinkEvents events_;
    DemoDevice device_;
    LinkState state_ = LinkState::closed;
    LinkClock::time_point last_{};
};
