// The demo device as a link (demo_link.h).
#include "panel/demo_link.h"

#include <string_view>

#include "keyboard/key_names.h"

DemoKeyCodes demo_key_codes() {
    KeyTranslator translator;
    // Each of these keys sends its code on its press and nothing on its release.
    const auto code = [&translator](std::string_view name) {
        const std::vector<uint8_t> codes = key_press_codes(translator, *parse_key_name(name));
        return codes.empty() ? uint8_t{0} : codes.front();
    };
    DemoKeyCodes keys;
    keys.escape = code("Escape");
    keys.f1 = code("F1");
    keys.f12 = code("F12");
    keys.insert = code("Insert");
    keys.up = code("Up");
    keys.down = code("Down");
    keys.enter = code("Enter");
    keys.backspace = code("Backspace");
    return keys;
}

DemoLink::DemoLink(LinkEvents events, uint32_t seed)
    : events_(std::move(events)), device_(demo_key_codes(), seed) {}

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
