// The cursor-blink clock of a display session: advanced by the 100 ms timer,
// it hides a blinking block cursor during 7 of every 15 ticks. The device's
// reset command restarts it by clearing the counter.
#pragma once

#include <cstdint>

struct BlinkClock {
    int32_t counter = 0;  // ticks into the 15-tick period
    int32_t phase = 0;    // 1 while the block cursor is hidden
};

// Advances the clock by one tick.
inline void blink_tick(BlinkClock& clock) {
    ++clock.counter;
    clock.phase = clock.counter < 8 ? 1 : 0;
    if (clock.counter == 15) clock.counter = 0;
}
