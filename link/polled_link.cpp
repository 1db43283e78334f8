// The loop-driven link policy: settling, losing, relinking, opening in
// steps and the key queue (polled_link.h).
#include "link/polled_link.h"

#include <algorithm>
#include <array>

#include "link/link_policy.h"

PolledLink::PolledLink(std::string target, TransportOpener open_transport, LinkEvents events)
    : target_(std::move(target)),
      open_transport_(std::move(open_transport)),
      events_(std::move(events)),
      buffer_(link_policy::batch_limit) {}

LinkResult PolledLink::open() {
    close();
    TransportOpen opened = open_transport_();
    if (opened.result != LinkResult::ok) return opened.result;
    if (!opened.transport) return LinkResult::cannot_start;
    transport_ = std::move(opened.transport);
    if (transport_->opening()) {
        // Reached in steps by the owner's loop; not there until then.
        state_ = LinkState::lost;
        return LinkResult::ok;
    }
    settle_end_ = LinkClock::now() + link_policy::settle;
    state_ = LinkState::linked;
    return LinkResult::ok;
}

void PolledLink::close() {
    transport_.reset();
    pending_.clear();
    failure_ = LinkResult::ok;
    state_ = LinkState::closed;
}

bool PolledLink::send(std::span<const uint8_t> codes) {
    if (state_ != LinkState::linked) return false;
    const LinkClock::time_point now = LinkClock::now();
    for (const uint8_t code : codes) pending_.push_back({code, now + link_policy::key_write_limit});
    push_output(now);
    return true;
}

LinkWatch PolledLink::watch() const {
    LinkWatch watch;
    if (state_ == LinkState::lost) {
        if (transport_) return transport_->opening_watch();
        watch.wake = retry_at_;
    } else if (state_ == LinkState::linked && transport_) {
        watch = transport_->io_watch(!pending_.empty());
        if (!pending_.empty()) watch.wake = pending_.front().deadline;
    }
    return watch;
}

void PolledLink::service(LinkClock::time_point now) {
    if (state_ == LinkState::lost) {
        if (transport_) {
            step_opening(now);
        } else if (now >= retry_at_) {
            try_relink(now);
        }
        return;
    }
    if (state_ != LinkState::linked) return;
    take_input(now);
    if (state_ == LinkState::linked) push_output(now);
}

void PolledLink::take_input(LinkClock::time_point now) {
    const TransportIo got = transport_->read(buffer_);
    if (got.count > 0) {
        const std::span<const uint8_t> batch(buffer_.data(), got.count);
        const auto& handler = now < settle_end_ ? events_.dropped : events_.received;
        if (handler) handler(batch);
    }
    if (got.lost) lose(now, got.reason);
}

void PolledLink::push_output(LinkClock::time_point now) {
    // Codes the line did not take in time are dropped, oldest first.
    while (!pending_.empty() && pending_.front().deadline <= now) pending_.pop_front();
    while (!pending_.empty()) {
        std::array<uint8_t, 64> chunk{};
        const size_t count = std::min(chunk.size(), pending_.size());
        for (size_t k = 0; k < count; ++k) chunk[k] = pending_[k].code;
        const TransportIo put = transport_->write(std::span<const uint8_t>(chunk.data(), count));
        pending_.erase(pending_.begin(),
                       pending_.begin() + static_cast<std::ptrdiff_t>(std::min(put.count, count)));
        if (put.lost) return lose(now, put.reason);
        if (put.count < count) return;  // the line is full; the descriptor says when it has room
    }
}

void PolledLink::lose(LinkClock::time_point now, LinkResult reason) {
    transport_.reset();
    pending_.clear();
    retry_at_ = now + link_policy::retry;
    failure_ = reason;
    set_state(LinkState::lost);
}

void PolledLink::try_relink(LinkClock::time_point now) {
    TransportOpen opened = open_transport_();
    if (opened.result != LinkResult::ok || !opened.transport) {
        const LinkResult reason =
            opened.result != LinkResult::ok ? opened.result : LinkResult::cannot_start;
        return fail_attempt(now, reason);
    }
    transport_ = std::move(opened.transport);
    if (transport_->opening()) return;  // its steps come with the next services
    start_linked(now);
}

void PolledLink::step_opening(LinkClock::time_point now) {
    const std::optional<LinkResult> result = transport_->open_step(now);
    if (!result) return;
    if (*result != LinkResult::ok) return fail_attempt(now, *result);
    start_linked(now);
}

void PolledLink::fail_attempt(LinkClock::time_point now, LinkResult reason) {
    transport_.reset();
    retry_at_ = now + link_policy::retry;
    set_failure(reason);
}

void PolledLink::start_linked(LinkClock::time_point now) {
    settle_end_ = now + link_policy::settle;
    failure_ = LinkResult::ok;
    set_state(LinkState::linked);
}

void PolledLink::set_state(LinkState state) {
    if (state == state_) return;
    state_ = state;
    if (events_.state_changed) events_.state_changed(state);
}

void PolledLink::set_failure(LinkResult reason) {
    // Told once per reason, not at every retry that fails the same way.
    if (reason == failure_) return;
    failure_ = reason;
    if (events_.state_changed) events_.state_changed(state_);
}
