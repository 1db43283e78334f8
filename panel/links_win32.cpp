// Target strings to links on Windows: COM ports and raw network ports
// (socket://), each a transport under the one link policy; the threads of
// the transports (the COM port's reader, a name lookup) wake the owner
// through the link's events. Paths name nothing here, and neither does
// rfc2217:// (the Windows build has no telnet layer).
#include "link/com_port_win32.h"
#include "link/net_port_win32.h"
#include "link/polled_link.h"
#include "panel/links.h"

namespace {

TransportOpener opener_for(const Target& target, const std::function<void()>& wake) {
    if (target.kind == TargetKind::socket) {
        return [target, wake] { return open_socket_port(target, wake); };
    }
    return [port = target.com_port, wake] { return open_com_port(port, wake); };
}

}  // namespace

MadeLink make_port_link(const std::string& text, const Target& target, LinkEvents events) {
    if (target.kind != TargetKind::com_port && target.kind != TargetKind::socket) return {};
    TransportOpener opener = opener_for(target, events.wake);
    return {LinkResult::ok,
            std::make_unique<PolledLink>(text, std::move(opener), std::move(events))};
}
