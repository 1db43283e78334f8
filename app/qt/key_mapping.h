// The Linux program's keys in the key translator's vocabulary: a Qt key
// event becomes the virtual-key code that the same key of a US keyboard has
// on Windows, with its Shift and Ctrl state and the kind of message Windows
// would deliver, so that both programs send the same codes for the same keys.
#pragma once

#include <cstdint>
#include <optional>

#include "keyboard/key_translation.h"

// The key of a Qt key event (Qt::Key value, Qt::KeyboardModifiers bits and
// the X11/evdev scan code), or none for a key that has no counterpart.
std::optional<MappedKey> map_qt_key(int key, uint32_t modifiers, uint32_t scan_code);
