// A COM port behind the link seam: the Win32 COM link (com_link_win32.h),
// opened on the port number of a "COMn" target, with its reader thread
// started. It is a thread link: its batches and state changes come from the
// reader thread, and its owner's loop has nothing to watch.
#pragma once

#include <cstdint>
#include <string>

#include "link/com_link_win32.h"
#include "link/link.h"

class ComPortLink final : public Link {
public:
    ComPortLink(std::string target, uint8_t port, LinkEvents events);
    ~ComPortLink() override = default;

    // Opens and configures the port (waiting out the settle) and starts the
    // reader; a reader that cannot start closes the port again.
    LinkResult open() override;
    void close() override { com_.com_close(); }
    bool send(std::span<const uint8_t> codes) override;
    LinkState state() const override { return com_.link_state(); }
    const std::string& target() const override { return target_; }

    // The COM link itself, for the tests of its guarantees.
    ComLink& com_link() { return com_; }

private:
    std::string target_;
    uint8_t port_;
    ComLink com_;
};
