// A transport: the raw, non-blocking connection under a loop-driven link
// (a terminal device today; network connections use the same shape).
//
// It knows nothing of settling, relinking or key limits (polled_link.h adds
// that policy); the device-side tools of zezodavoru-cli use it as it is.
// Reads and writes never block: a read takes what is waiting, a write what
// the line takes now. Either one tells when the other end has gone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "link/link.h"

// What one read or write did: `count` bytes moved; `lost` once the other
// end has gone (end of file, a hang-up), after which nothing more moves.
struct TransportIo {
    size_t count = 0;
    bool lost = false;
};

class Transport {
public:
    virtual ~Transport() = default;
    // The descriptor to watch for input and output.
    virtual int fd() const = 0;
    // Takes the bytes waiting, at most buffer.size().
    virtual TransportIo read(std::span<uint8_t> buffer) = 0;
    // Sends what the line takes now of `bytes` (possibly none).
    virtual TransportIo write(std::span<const uint8_t> bytes) = 0;
};

// Opening a transport: the result, and the transport when it is ok.
struct TransportOpen {
    LinkResult result = LinkResult::not_found;
    std::unique_ptr<Transport> transport;
};

using TransportOpener = std::function<TransportOpen()>;
