// Target strings to links on Windows: COM ports, through the Win32 COM link
// with its reader thread. Other paths name nothing here.
#include "link/com_port_link_win32.h"
#include "panel/links.h"

MadeLink make_port_link(const std::string& text, const Target& target, LinkEvents events) {
    if (target.kind != TargetKind::com_port) return {};
    return {LinkResult::ok,
            std::make_unique<ComPortLink>(text, target.com_port, std::move(events))};
}
