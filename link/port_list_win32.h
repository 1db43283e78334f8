// The COM ports of this PC, for the setup dialog's port list.
#pragma once

#include <cstdint>

// Whether COM port n is present (also when another program holds it open).
bool com_port_present(uint8_t n);
