// The web page's panel (web_panel.h).
#include "web/web_panel.h"

#include <algorithm>

#include "image/window_image.h"
#include "link/polled_link.h"

WebPanel::WebPanel() : panel_({[this] { repaint_wanted_ = true; }, {}, {}}) {
    panel_.start();
}

bool is_page_line_target(std::string_view target) {
    return target == "serial" || target.starts_with("ws://") || target.starts_with("wss://");
}

LinkResult WebPanel::open(const std::string& target) {
    if (target == "demo") return panel_.open(target);
    if (!is_page_line_target(target)) {
        panel_.close();
        return LinkResult::bad_target;
    }
    return panel_.open([this, &target](LinkEvents events) {
        return MadeLink{LinkResult::ok,
                        std::make_unique<PolledLink>(
                            target, [this] { return port_.open_transport(); }, std::move(events))};
    });
}

std::string WebPanel::link_text() const {
    switch (panel_.link_state()) {
        case LinkState::linked:
            return "linked to " + panel_.target();
        case LinkState::lost:
            return "link lost: " + panel_.target();
        case LinkState::closed:
            break;
    }
    return "not linked";
}

void WebPanel::received(size_t count, LinkClock::time_point now) {
    port_.push(std::span<const uint8_t>(input_.data(), std::min(count, input_.size())));
    while (port_.has_input() && panel_.link_state() == LinkState::linked) service(now);
    port_.discard_input();
}

uint8_t WebPanel::key(std::string_view code, std::string_view key_name, PageModifiers modifiers,
                      bool pressed, bool& known) {
    const std::optional<MappedKey> page_key = map_page_key(code, key_name, modifiers);
    known = page_key.has_value();
    if (!page_key) return 0;
    const uint8_t sent = translate_mapped_key(panel_.keys(), *page_key, pressed).code;
    if (sent == 0 || !panel_.send(sent)) return 0;
    return sent;
}

int32_t WebPanel::wait_ms(LinkClock::time_point now) const {
    const int32_t left = watch_timeout(panel_.watch(), now);
    const auto tick = static_cast<int32_t>(RemotePanel::tick_period.count());
    return left < 0 ? tick : std::min(left, tick);
}

void WebPanel::service(LinkClock::time_point now) {
    panel_.service(now);
}

void WebPanel::set_scheme(int32_t scheme) {
    scheme_ = scheme;
    repaint_wanted_ = true;
}

void WebPanel::set_size(uint8_t size) {
    if (size_preset_info(size) == nullptr) return;
    size_ = size;
    repaint_wanted_ = true;
}

int32_t WebPanel::width() const {
    return size_preset_info(size_)->image_cx;
}

int32_t WebPanel::height() const {
    return size_preset_info(size_)->image_cy;
}

const std::vector<uint8_t>& WebPanel::paint() {
    repaint_wanted_ = false;
    const bool drawn = panel_.session().render(
        [this](const LcdController& c) { build_window_image(c, scheme_colors(scheme_), image_); });
    const size_t pixels = static_cast<size_t>(width()) * height();
    picture_.assign(pixels * 4, 0);
    for (size_t k = 0; k < pixels; ++k) picture_[k * 4 + 3] = 0xFF;
    if (!drawn) return picture_;
    const std::vector<uint32_t> scaled =
        scale_image(image_, image_width, image_height, width(), height());
    for (size_t k = 0; k < pixels; ++k) {
        picture_[k * 4] = static_cast<uint8_t>(scaled[k] >> 16);
        picture_[k * 4 + 1] = static_cast<uint8_t>(scaled[k] >> 8);
        picture_[k * 4 + 2] = static_cast<uint8_t>(scaled[k]);
    }
    return picture_;
}
