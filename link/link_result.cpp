// The texts of link states and open results, in the program's words.
#include "link/link.h"

const char* link_state_name(LinkState state) {
    switch (state) {
        case LinkState::linked:
            return "linked";
        case LinkState::lost:
            return "lost";
        case LinkState::closed:
            break;
    }
    return "closed";
}

const char* link_result_text(LinkResult result) {
    switch (result) {
        case LinkResult::ok:
            return "linked";
        case LinkResult::not_found:
            return "port not found";
        case LinkResult::permission_denied:
            return "permission denied (is the user in the dialout group?)";
        case LinkResult::busy:
            return "port busy: another program has it open";
        case LinkResult::not_a_serial_port:
            return "not a serial port";
        case LinkResult::cannot_read_settings:
            return "cannot read the port's settings";
        case LinkResult::cannot_configure:
            return "cannot configure the port";
        case LinkResult::cannot_start:
            return "cannot start reading the port";
        case LinkResult::bad_target:
            return "not a port this program can open";
        case LinkResult::host_not_found:
            return "host not found";
        case LinkResult::refused:
            return "connection refused";
        case LinkResult::unreachable:
            return "host unreachable";
        case LinkResult::no_answer:
            return "no answer";
        case LinkResult::server_closed:
            return "the server closed the link";
        case LinkResult::protocol_error:
            return "the server broke the telnet protocol";
    }
    return "cannot open the port";
}
