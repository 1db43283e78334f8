// placeholder, replaced by the font source
#include "display/char_generator.h"
const std::array<uint8_t, 1200> font_rom1{};
