// The device names of COM ports: plain up to 9, device namespace from 10.
#include <gtest/gtest.h>

#include "link/com_link.h"

namespace {

TEST(ComPortName, PlainUpToNineDeviceNamespaceFromTen) {
    EXPECT_EQ(com_port_name(0), "COM0");
    EXPECT_EQ(com_port_name(1), "COM1");
    EXPECT_EQ(com_port_name(9), "COM9");
    EXPECT_EQ(com_port_name(10), "\\\\.\\COM10");
    EXPECT_EQ(com_port_name(80), "\\\\.\\COM80");
    EXPECT_EQ(com_port_name(255), "\\\\.\\COM255");
}

}  // namespace
