// The link policy over a transport: written once for every link, driven by
// whichever loop owns the link (Qt, the CLI's poll, a thread of the Python
// module, the Windows message loop, the web page's timer).
//
// Opening is the same every time, at the first open and at every relink:
// the transport is opened, then for the settle time whatever arrives is
// read and dropped (the device may still be sending the tail of something
// the program never saw the start of). A hang-up makes the link lost: the
// transport is closed, and the same target is opened again every retry
// period until it opens or the link is closed.
//
// A transport that opens in steps (a network connection) is driven through
// them by the same loop; meanwhile the link is lost. A failed attempt is
// retried after the retry period like a failed relink, and failure() keeps
// the reason of the latest one, or of the loss.
//
// Key codes never wait on the owner's thread: send() queues them and writes
// what the line takes at once; the rest goes out as the line takes it (the
// watch asks for room), and a code still waiting after the key write limit
// is dropped.
//
// Time is what the owner passes to service(), so the policy runs the same
// under a test's clock.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "link/transport.h"

class PolledLink final : public Link {
public:
    // `open_transport` opens the target anew for each opening.
    PolledLink(std::string target, TransportOpener open_transport, LinkEvents events);
    ~PolledLink() override = default;
    PolledLink(const PolledLink&) = delete;
    PolledLink& operator=(const PolledLink&) = delete;

    LinkResult open() override;
    void close() override;
    bool send(std::span<const uint8_t> codes) override;
    LinkState state() const override { return state_; }
    LinkResult failure() const override { return failure_; }
    const std::string& target() const override { return target_; }
    LinkWatch watch() const override;
    void service(LinkClock::time_point now) override;

private:
    struct PendingCode {
        uint8_t code;
        LinkClock::time_point deadline;
    };

    void take_input(LinkClock::time_point now);
    void push_output(LinkClock::time_point now);
    void lose(LinkClock::time_point now, LinkResult reason);
    void try_relink(LinkClock::time_point now);
    void step_opening(LinkClock::time_point now);
    void fail_attempt(LinkClock::time_point now, LinkResult reason);
    void start_linked(LinkClock::time_point now);
    void set_state(LinkState state);
    void set_failure(LinkResult reason);

    std::string target_;
    TransportOpener open_transport_;
    LinkEvents events_;
    std::unique_ptr<Transport> transport_;  // while linked, or lost and opening
    LinkState state_ = LinkState::closed;
    LinkResult failure_ = LinkResult::ok;
    LinkClock::time_point settle_end_{};
    LinkClock::time_point retry_at_{};
    std::deque<PendingCode> pending_;
    std::vector<uint8_t> buffer_;
};
