// A port served over the network as raw TCP (socket://HOST:PORT) on
// Windows, over Winsock, as a transport that opens in steps
// (net_opening.h) so that no step ever holds the owner's thread:
//
//   lookup       an address is used as it is; a name is looked up on a
//                thread of its own, which signals an event when its answer
//                is in (and calls `wake`); a lookup that hangs is left
//                behind to end by itself;
//   connecting   a non-blocking connect to each address in turn.
//
// The socket's network events (data, room for output, the connection's
// end, a connect's outcome) signal one event, the watch's handle; reads
// and writes never block. The connection keeps TCP keep-alive on, so a peer
// whose network has gone is found in time, and sends without delay (no
// Nagle), since key codes are single bytes. The failure sentences are the
// link's (link_result_text): "host not found", "connection refused",
// "no answer" after the network open limit, "the server closed the link".
#pragma once

#include <functional>

#include "link/target.h"
#include "link/transport.h"

// Starts opening `target` (socket); the transport comes back opening, or
// bad_target for any other kind.
TransportOpen open_socket_port(const Target& target, std::function<void()> wake);
