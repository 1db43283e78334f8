// Target strings to links on POSIX: terminal devices through the link
// policy; COM port names are Windows's only.
#include "link/polled_link.h"
#include "link/tty_port_posix.h"
#include "panel/links.h"

MadeLink make_port_link(const std::string& text, const Target& target, LinkEvents events) {
    if (target.kind != TargetKind::device) return {};
    const std::string path = target.path;
    return {LinkResult::ok, std::make_unique<PolledLink>(
                                text, [path] { return open_tty_port(path); }, std::move(events))};
}
