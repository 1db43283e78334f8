// Glyph lookup: chooses between character-generator RAM and the ROM fonts.
#include "display/char_generator.h"

std::span<const uint8_t> lcd_glyph(const LcdController& c, uint8_t code) {
    if (lcd_is_graphic(c)) {
        const size_t index = code < 16 ? 0 : code - 16u;
        return std::span<const uint8_t>(font_8x16).subspan(16 * index, 16);
    }
    if (code < 16) return std::span<const uint8_t>(c.cgram).subspan(8u * code, 5);
    const auto& rom = c.rom_select == 0 ? font_rom0 : font_rom1;
    return std::span<const uint8_t>(rom).subspan(5 * (code - 16u), 5);
}
