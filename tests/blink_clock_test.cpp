// The cursor-blink clock: 7 ticks with the block hidden, 8 with it shown.
#include "protocol/blink_clock.h"

#include <gtest/gtest.h>

namespace {

TEST(BlinkClock, PeriodOfFifteenTicks) {
    BlinkClock clock;
    const int32_t want[] = {1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int32_t period = 0; period < 2; ++period) {
        for (int32_t n = 0; n < 15; ++n) {
            blink_tick(clock);
            EXPECT_EQ(clock.phase, want[n]) << "tick " << n + 1;
        }
        EXPECT_EQ(clock.counter, 0);
    }
}

TEST(BlinkClock, ResetInTheOffPartRestartsThePeriod) {
    BlinkClock clock;
    for (int32_t n = 0; n < 10; ++n) blink_tick(clock);
    ASSERT_EQ(clock.phase, 0);
    clock.counter = 0;
    EXPECT_EQ(clock.phase, 0);
    blink_tick(clock);
    EXPECT_EQ(clock.phase, 1);
    EXPECT_EQ(clock.counter, 1);
    for (int32_t n = 0; n < 6; ++n) blink_tick(clock);
    EXPECT_EQ(clock.phase, 1);
    blink_tick(clock);
    EXPECT_EQ(clock.phase, 0);
}

}  // namespace
