// The page's keys in the key translator's vocabulary: a browser key event,
// named by its KeyboardEvent.code (the physical key, whatever the layout),
// becomes the virtual-key code that the same key of a US keyboard has on
// Windows, with its Shift and Ctrl state and the kind of message Windows
// would deliver, so that the page sends the codes the programs send.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "keyboard/key_translation.h"

struct PageModifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

// The key named by `code` ("KeyA", "ArrowUp", "Numpad5", ...) with the
// KeyboardEvent.key it gave ("a", "ArrowUp", "5"), or none for a key that
// has no counterpart. The translator takes it as any other platform's key
// (translate_mapped_key).
std::optional<MappedKey> map_page_key(std::string_view code, std::string_view key_name,
                                      PageModifiers modifiers);
