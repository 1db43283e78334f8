// The one function that turns a target string into a link (target strings:
// link/target.h): a terminal device or a COM port, whichever this platform
// has, or the demo device in the program.
#pragma once

#include <memory>
#include <string>

#include "link/link.h"
#include "link/target.h"

struct MadeLink {
    LinkResult result = LinkResult::bad_target;  // bad_target when no link could be made
    std::unique_ptr<Link> link;
};

// A closed link for `target`; open() opens it.
MadeLink make_link(const std::string& target, LinkEvents events);

// The platform's part: a link for a device path or a COM port, or none
// (bad_target) for what this platform has not (COM ports on POSIX, paths on
// Windows).
MadeLink make_port_link(const std::string& text, const Target& target, LinkEvents events);
