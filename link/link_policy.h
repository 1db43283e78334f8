// The timing every link keeps, written once for all links and front ends.
#pragma once

#include <chrono>
#include <cstddef>

namespace link_policy {

// After each opening (the first and every relink), bytes that arrive this
// long are dropped: the device may still be sending the tail of a command
// whose start the program never saw.
inline constexpr std::chrono::milliseconds settle{400};
// A lost link tries its target again this often until it is back or closed.
inline constexpr std::chrono::milliseconds retry{500};
// A key code that the line does not take within this long (output
// handshaking held, nobody reading) is dropped, and the window goes on.
inline constexpr std::chrono::milliseconds key_write_limit{500};
// The most bytes handed on in one batch; more waiting go to the next one.
inline constexpr size_t batch_limit = 4096;

// Opening a network target (the name lookup, the connection and the telnet
// negotiation together) gives up after this long: "no answer".
inline constexpr std::chrono::seconds network_open_limit{3};
// Acknowledgements of the line settings a telnet server did not send within
// this long are logged and no longer waited for.
inline constexpr std::chrono::milliseconds acknowledgement_wait{1000};
// TCP keep-alive on network links: probes after this much silence, then
// every interval, and the link is lost when this many go unanswered (or
// sent bytes stay unacknowledged as long), so a connection whose network
// has gone is found within about 20 s.
inline constexpr std::chrono::seconds keepalive_idle{5};
inline constexpr std::chrono::seconds keepalive_interval{3};
inline constexpr int keepalive_probes = 4;

}  // namespace link_policy
