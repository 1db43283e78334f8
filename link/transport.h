// A transport: the raw, non-blocking connection under a link (a terminal
// device, a COM port, a network connection).
//
// It knows nothing of settling, relinking or key limits (polled_link.h adds
// that policy); the device-side tools of zezodavoru-cli use it as it is.
// Reads and writes never block: a read takes what is waiting, a write what
// the line takes now. Either one tells when the other end has gone, and why.
//
// A terminal is open as soon as its opener returns. A network connection
// comes back from its opener still opening (looking up its host,
// connecting, negotiating): its owner waits for what opening_watch() names
// and calls open_step() until that gives a result, so that no step of the
// opening ever blocks the owner's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "link/link.h"

// What one read or write did: `count` bytes moved; `lost` once the other
// end has gone (end of file, a hang-up), after which nothing more moves,
// with the reason in the link's words.
struct TransportIo {
    size_t count = 0;
    bool lost = false;
    LinkResult reason = LinkResult::not_found;
};

class Transport {
public:
    virtual ~Transport() = default;
    // The descriptor to watch for input and output; -1 where the system
    // waits on handles instead (io_watch()).
    virtual int fd() const { return -1; }
    // What to wait for while open: input, and room for output while
    // `output` waits. The descriptor's, unless the transport names handles.
    virtual LinkWatch io_watch(bool output) const {
        LinkWatch watch;
        watch.fd = fd();
        watch.read = true;
        watch.write = output;
        return watch;
    }
    // Takes the bytes waiting, at most buffer.size().
    virtual TransportIo read(std::span<uint8_t> buffer) = 0;
    // Sends what the line takes now of `bytes` (possibly none).
    virtual TransportIo write(std::span<const uint8_t> bytes) = 0;

    // Whether the transport is still opening; read() and write() wait for
    // the end of it.
    virtual bool opening() const { return false; }
    // While opening: what to wait for before the next open_step().
    virtual LinkWatch opening_watch() const { return {}; }
    // While opening: takes the next step; nothing while the opening goes
    // on, else ok (open now) or why it failed (the transport is of no
    // further use).
    virtual std::optional<LinkResult> open_step(LinkClock::time_point /*now*/) {
        return LinkResult::ok;
    }
};

// Opening a transport: the result, and the transport when it is ok.
struct TransportOpen {
    LinkResult result = LinkResult::not_found;
    std::unique_ptr<Transport> transport;
};

using TransportOpener = std::function<TransportOpen()>;
