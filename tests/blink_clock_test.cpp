// The cursor-blink clock: 7 ticks with the block hidden, 8 with it shown.
#include <gtest/gtest.h>

#include "app/shell_state.h"

namespace {

TEST(BlinkClock, PeriodOfFifteenTicks) {
    shell_state_reset();
    const int32_t want[] = {1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int32_t period = 0; period < 2; ++period) {
        for (int32_t n = 0; n < 15; ++n) {
            blink_tick();
            EXPECT_EQ(blink_phase, want[n]) << "tick " << n + 1;
        }
        EXPECT_EQ(blink_counter, 0);
    }
}

TEST(BlinkClock, ResetInTheOffPartRestartsThePeriod) {
    shell_state_reset();
    for (int32_t n = 0; n < 10; ++n) blink_tick();
    ASSERT_EQ(blink_phase, 0);
    blink_counter = 0;
    EXPECT_EQ(blink_phase, 0);
    blink_tick();
    EXPECT_EQ(blink_phase, 1);
    EXPECT_EQ(blink_counter, 1);
    for (int32_t n = 0; n < 6; ++n) blink_tick();
    EXPECT_EQ(blink_phase, 1);
    blink_tick();
    EXPECT_EQ(blink_phase, 0);
}

}  // namespace
