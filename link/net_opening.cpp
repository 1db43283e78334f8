// The opening steps of a network port (net_opening.h).
#include "link/net_opening.h"

#include "link/link_policy.h"

NetOpening::NetOpening(LinkClock::time_point start)
    : deadline_(start + link_policy::network_open_limit) {}

void NetOpening::fail(LinkResult reason) {
    if (phase_ == Phase::failed) return;
    failure_ = reason;
    phase_ = Phase::failed;
}

std::optional<LinkResult> NetOpening::outcome(LinkClock::time_point now) {
    if (phase_ == Phase::open) return LinkResult::ok;
    if (phase_ != Phase::failed && now >= deadline_) fail(LinkResult::no_answer);
    if (phase_ == Phase::failed) return failure_;
    return std::nullopt;
}

std::optional<LinkClock::time_point> NetOpening::wake() const {
    switch (phase_) {
        case Phase::open:
            return std::nullopt;
        case Phase::failed:
            return LinkClock::now();
        default:
            return deadline_;
    }
}
