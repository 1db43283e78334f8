// The remote panel: the link's events into the session and the tap.
#include "panel/remote_panel.h"

#include <algorithm>

RemotePanel::RemotePanel(Callbacks callbacks)
    : callbacks_(std::move(callbacks)), session_([this] {
          if (callbacks_.repaint) callbacks_.repaint();
      }) {
    session_.set_input_observer([this](std::span<const uint8_t> bytes, bool tick) {
        pass_to_tap({tick ? PanelEventKind::tick : PanelEventKind::received, bytes});
    });
}

RemotePanel::~RemotePanel() {
    close();
}

bool RemotePanel::start(LinkClock::time_point now) {
    tick_due_ = now + tick_period;
    return session_.start();
}

void RemotePanel::stop() {
    close();
    session_.stop();
}

LinkResult RemotePanel::open(const std::string& target) {
    return open([&target](LinkEvents events) { return make_link(target, std::move(events)); });
}

LinkResult RemotePanel::open(const LinkMaker& make) {
    close();
    LinkEvents events;
    events.received = [this](std::span<const uint8_t> bytes) { on_received(bytes); };
    events.dropped = [this](std::span<const uint8_t> bytes) {
        pass_to_tap({PanelEventKind::dropped, bytes});
    };
    events.state_changed = [this](LinkState state) { on_link_changed(state); };
    events.wake = callbacks_.wake;
    MadeLink made = make(std::move(events));
    if (made.result != LinkResult::ok) return made.result;
    if (!made.link) return LinkResult::bad_target;
    link_ = std::move(made.link);
    const LinkResult result = link_->open();
    if (result != LinkResult::ok) {
        link_.reset();
        return result;
    }
    // A network link is still on its way (lost) when open() returns.
    pass_to_tap({PanelEventKind::link, {}, link_->state()});
    return result;
}

void RemotePanel::close() {
    if (!link_) return;
    link_->close();
    link_.reset();
    pass_to_tap({PanelEventKind::link, {}, LinkState::closed});
}

LinkState RemotePanel::link_state() const {
    return link_ ? link_->state() : LinkState::closed;
}

LinkResult RemotePanel::link_failure() const {
    return link_ ? link_->failure() : LinkResult::ok;
}

std::string RemotePanel::target() const {
    return link_ ? link_->target() : std::string();
}

bool RemotePanel::send(std::span<const uint8_t> codes) {
    if (!link_ || link_->state() != LinkState::linked) return false;
    // Recorded before the link answers: the demo device answers at once.
    pass_to_tap({PanelEventKind::sent, codes});
    return link_->send(codes);
}

std::optional<LinkClock::time_point> RemotePanel::next_tick() const {
    if (link_ && link_->plays_ticks()) return std::nullopt;
    return tick_due_;
}

LinkWatch RemotePanel::watch() const {
    LinkWatch watch = link_ ? link_->watch() : LinkWatch{};
    if (const auto due = next_tick()) watch.wake = watch.wake ? std::min(*watch.wake, *due) : *due;
    return watch;
}

void RemotePanel::service(LinkClock::time_point now) {
    if (link_) link_->service(now);
    const auto due = next_tick();
    if (!due || now < *due) return;
    tick();
    // Late ticks are not made up: one tick, and the schedule goes on from
    // now once it has fallen a whole period behind.
    tick_due_ = *due + tick_period;
    if (tick_due_ <= now) tick_due_ = now + tick_period;
}

void RemotePanel::on_received(std::span<const uint8_t> bytes) {
    session_.interpret_bytes(bytes);
}

void RemotePanel::on_link_changed(LinkState state) {
    pass_to_tap({PanelEventKind::link, {}, state});
    if (callbacks_.link_changed) callbacks_.link_changed(state);
}

void RemotePanel::pass_to_tap(const PanelEvent& event) {
    if (!tap_) return;
    std::lock_guard lock(tap_mutex_);
    tap_(event);
}
