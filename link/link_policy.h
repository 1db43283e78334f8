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

}  // namespace link_policy
