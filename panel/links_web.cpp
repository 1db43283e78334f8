// Target strings to links in the web page: the page reaches no device path,
// COM port or network port by name (it opens its serial port through the
// browser and hands the panel that link itself), so only the demo device is
// a target here.
#include "panel/links.h"

MadeLink make_port_link(const std::string&, const Target&, LinkEvents) {
    return {};
}
