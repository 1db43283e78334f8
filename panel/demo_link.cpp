// The demo device as a link (demo_link.h).
#include "panel/demo_link.h"

DemoLink::DemoLink(LinkEvents events, uint32_t seed) : events_(std::move(events)), device_(seed) {}

LinkResult DemoLink::open() {
    state_ = LinkState::linked;
    last_ = LinkClock::now();
    hand_on(device_.start());
    return LinkResult::ok;
}

bool DemoLink::send(std::span<const uint8_t> codes) {
    if (state_ != LinkState::linked) return false;
    for (const uint8_t code : codes) hand_on(device_.key(code));
    return true;
}

LinkWatch DemoLink::watch() const {
    LinkWatch watch;
    if (state_ == LinkState::linked) watch.wake = last_ + period;
    return watch;
}

void DemoLink::service(LinkClock::time_point now) {
    if (state_ != LinkState::linked || now < last_ + period) return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - last_);
    last_ += elapsed;
    hand_on(device_.advance(static_cast<uint32_t>(elapsed.count())));
}

void DemoLink::hand_on(const std::vector<uint8_t>& bytes) {
    if (!bytes.empty() && events_.received) events_.received(bytes);
}
