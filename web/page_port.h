// The page's port: the line that a web page's own transport carries (a
// serial port through Web Serial, a WebSocket), seen by the link policy as
// one more transport, so that the page keeps the policy every program keeps
// (link/polled_link.h): the settle after each opening, the loss when the
// line goes, the retry every retry period, the key write limit.
//
// The page's script owns the real transport. It says when the line is open
// and when it went away, pushes what it received, and takes the key codes
// out. Each opening of the line is a new generation: a transport made for
// an earlier one reports the line lost, even when the line is back before
// the link looked. While the line is away, each try of the link asks the
// page to open it again (the reopen hook) and finds nothing yet.
//
// Both buffers are bounded: input holds one batch the page pushed, which the
// owner hands to the link before the next one; output holds at most
// output_limit codes, and a code that finds no room waits in the link's key
// queue until the key write limit drops it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "link/transport.h"

class PagePort {
public:
    static constexpr size_t output_limit = 256;

    // The page's line opened (a new generation) or went away.
    void opened();
    void gone();
    bool present() const { return present_; }

    // Bytes the page received; what the link has not yet taken stays first.
    void push(std::span<const uint8_t> bytes);
    bool has_input() const { return !input_.empty(); }
    // Forgets input that no link took (none open, or lost).
    void discard_input() { input_.clear(); }
    // The key codes for the page to write to its line, taken once.
    std::vector<uint8_t> take_output();

    // Called when the link tries the line while it is away.
    void set_reopen_hook(std::function<void()> hook) { reopen_hook_ = std::move(hook); }

    // The opener for the link: a transport on the present generation, or
    // not_found (and a request to reopen) while the line is away.
    TransportOpen open_transport();

private:
    friend class PageTransport;

    bool present_ = false;
    uint64_t generation_ = 0;
    std::vector<uint8_t> input_;
    std::vector<uint8_t> output_;
    std::function<void()> reopen_hook_;
};
