// Target strings to links: the portable part (links.h).
#include "panel/links.h"

#include "panel/demo_link.h"

MadeLink make_link(const std::string& target, LinkEvents events) {
    const std::optional<Target> parsed = parse_target(target);
    if (!parsed) return {};
    if (parsed->kind == TargetKind::demo)
        return {LinkResult::ok, std::make_unique<DemoLink>(std::move(events))};
    return make_port_link(target, *parsed, std::move(events));
}
