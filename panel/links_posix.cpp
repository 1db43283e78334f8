// Target strings to links on POSIX: terminal devices and network ports
// through the link policy; COM port names are Windows's only. The telnet
// layer's remarks on a network port go to standard error, behind the
// target.
#include <cstdio>

#include "link/net_port_posix.h"
#include "link/polled_link.h"
#include "link/tty_port_posix.h"
#include "panel/links.h"

namespace {

TransportOpener opener_for(const std::string& text, const Target& target) {
    if (is_network(target)) {
        return [text, target] {
            return open_network_port(target, [text](const std::string& remark) {
                std::fprintf(stderr, "%s: %s\n", text.c_str(), remark.c_str());
            });
        };
    }
    return [path = target.path] { return open_tty_port(path); };
}

}  // namespace

MadeLink make_port_link(const std::string& text, const Target& target, LinkEvents events) {
    if (target.kind != TargetKind::device && !is_network(target)) return {};
    return {LinkResult::ok,
            std::make_unique<PolledLink>(text, opener_for(text, target), std::move(events))};
}
