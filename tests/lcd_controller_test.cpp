#include <gtest/gtest.h>
#include "display/lcd_controller.h"
TEST(LcdController, Creates) { EXPECT_NE(lcd_create(20, 4, 1), nullptr); }
