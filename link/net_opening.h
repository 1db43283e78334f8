// The steps of opening a network port, the same on every system: the name
// looked up (on a thread of its own, so that a lookup that hangs never holds
// the owner), a connection tried to each address in turn, on telnet ports
// the negotiation, and the whole given up with "no answer" once the network
// open limit (link_policy.h) has passed. The transports of each system
// (net_port_posix.cpp, net_port_win32.cpp) take the steps with their own
// calls and keep their phase here.
#pragma once

#include <optional>

#include "link/link.h"

class NetOpening {
public:
    enum class Phase { lookup, connecting, negotiating, open, failed };

    // The open limit counts from `start`.
    explicit NetOpening(LinkClock::time_point start);

    Phase phase() const { return phase_; }
    bool opening() const { return phase_ != Phase::open; }
    // The moment the opening gives up.
    LinkClock::time_point deadline() const { return deadline_; }

    // Moves on to the next phase (connecting, negotiating, open).
    void advance(Phase next) { phase_ = next; }
    // Ends the opening with the reason, once.
    void fail(LinkResult reason);

    // After the phase's own step at `now`: ok once open, the reason once
    // failed (no_answer when the limit passed first), nothing while it goes
    // on.
    std::optional<LinkResult> outcome(LinkClock::time_point now);

    // The opening's part of the watch while it goes on: its deadline, or
    // now once it has failed (said at the next step).
    std::optional<LinkClock::time_point> wake() const;

private:
    Phase phase_ = Phase::lookup;
    LinkResult failure_ = LinkResult::ok;
    LinkClock::time_point deadline_;
};
