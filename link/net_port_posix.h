// A port served over the network (rfc2217:// through telnet with the
// COM-PORT-OPTION, socket:// as raw TCP) as a non-blocking transport that
// opens in steps, so that no step ever blocks its owner's thread:
//
//   lookup       an address is used as it is; a name is looked up on a
//                thread of its own, which hands its answer back through a
//                pipe the owner's loop watches (a lookup that hangs is
//                left behind to end by itself);
//   connecting   a non-blocking connect to each address in turn, watched
//                for writability;
//   negotiating  (rfc2217) until the server answers the COM-PORT-OPTION.
//
// The whole opening gives up after the network open limit (link_policy.h)
// with "no answer". The connection keeps TCP keep-alive on, so a peer whose
// network has gone is found within about 20 s, and sends without delay
// (no Nagle), since key codes are single bytes.
#pragma once

#include <functional>
#include <string>

#include "link/target.h"
#include "link/transport.h"

// Where the telnet layer's remarks go (settings the server did not
// acknowledge); each is one line without its end.
using NetLog = std::function<void(const std::string&)>;

// Starts opening `target` (rfc2217 or socket); the transport comes back
// opening, or bad_target for any other kind.
TransportOpen open_network_port(const Target& target, NetLog log);
