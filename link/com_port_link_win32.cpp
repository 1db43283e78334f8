// The COM port link: opening with the reader, and key writes.
#include "link/com_port_link_win32.h"

#include <utility>

ComPortLink::ComPortLink(std::string target, uint8_t port, LinkEvents events)
    : target_(std::move(target)),
      port_(port),
      com_(std::move(events.received), std::move(events.state_changed)) {}

LinkResult ComPortLink::open() {
    const LinkResult result = com_.com_open(port_);
    if (result != LinkResult::ok) return result;
    if (!com_.com_start_reader()) {
        // A link without its reader would show nothing the device sends.
        com_.com_close();
        return LinkResult::cannot_start;
    }
    return LinkResult::ok;
}

bool ComPortLink::send(std::span<const uint8_t> codes) {
    if (com_.link_state() != LinkState::linked) return false;
    bool all = true;
    for (const uint8_t code : codes) all = com_.com_send_byte(code) == 1 && all;
    return all;
}
