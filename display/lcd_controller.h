// The emulated character display controller.
//
// A software model of the HD44780-style controller that the device believes
// it is driving. It takes the module's two kinds of input -- instruction
// bytes and data bytes -- and keeps its memories and registers. Nothing here
// draws: the glyph lookup and the rasteriser read the fields directly.
//
// Digest of the behaviour modelled:
//   * Display RAM: 128 bytes, 7-bit address. With 2 or 4 rows the address
//     counter runs 0x00..0x27, 0x40..0x67 and back to 0x00 in both
//     directions; 0x28..0x3F and 0x68..0x7F are reachable only by Set DDRAM
//     address (counting up from them goes on at 0x40 / 0x00). With 1 row it
//     runs 0..79.
//   * Character-generator RAM: 16 slots of 8 bytes stored by columns: byte
//     8s+x holds column x (0..4) of slot s, bit 7-r the dot of row r. Bytes
//     8s+5..8s+7 keep their initial 0xAA. A CGRAM address a names row a%8 of
//     slot a/8; Set CGRAM address reaches only 0..63, the counter runs 0..127.
//   * Instructions are decoded by their highest set bit (see lcd_command).
//     Clear display and Return home do not leave CGRAM addressing; only Set
//     DDRAM address does.
//   * Graphic variant (requested as 115 x 64): 16 x 4 half-width characters,
//     word-addressed display RAM (word w = byte 2w), an extended function set
//     (RE, G) and graphic RAM addressed by a two-byte (vertical, horizontal)
//     address. The graphic-RAM counter wraps from byte 919 to 0; the area is
//     1024 bytes so that every byte the two-byte address can name (up to
//     1022) and every byte the rasteriser reads stays inside it.
//
// Every instruction and data byte 0..255 is valid; no operation fails.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct LcdController {
    int32_t columns = 0;               // text columns (16 in the graphic variant)
    int32_t rows = 0;                  // text rows: 1, 2 or 4
    uint8_t entry_mode = 0x02;         // bit 1 I/D (increment), bit 0 S (shift)
    uint8_t display_control = 0;       // bit 2 D (on), bit 1 C (underline), bit 0 B (block)
    int32_t display_shift = 0;         // +1 moves the shown text one column left; folded
                                       // modulo row_stride only beyond +-2^30
    std::array<uint8_t, 128> ddram{};  // display RAM, one character code per byte
    int32_t ddram_cursor = 0;          // display-RAM address counter, index into ddram
    int32_t row_stride = 0;            // display-RAM characters per text row (80/40/20/16)
    std::array<uint8_t, 128> cgram{};  // character-generator RAM, 16 slots of 8 bytes
    int32_t cgram_cursor = -1;         // CGRAM address 0..127, or lcd_no_cursor
    uint32_t rom_select = 0;           // 0 selects the first 5x8 ROM font, nonzero the second
    uint8_t extended_set = 0;          // RE bit of the last Function set (graphic variant)
    uint8_t graphic_on = 0;            // G bit: data and addresses go to graphic RAM
    uint8_t gdram_row_latch = 0xFF;    // pending vertical graphic address, 0xFF = none
    std::vector<uint8_t> gdram;        // graphic RAM; empty in the text variant
    int32_t gdram_cursor = 0;          // graphic-RAM address counter, index into gdram
    std::vector<uint8_t> dots;         // dot matrix, row-major: 0 off, 1 on, 255 display off
    int32_t dot_width = 0;             // dots per dot row
    int32_t dot_height = 0;            // dot rows
    int32_t dot_count = 0;             // dot_width * dot_height
};

// Value of cgram_cursor while display RAM (or graphic RAM) is addressed.
inline constexpr int32_t lcd_no_cursor = -1;
// Bytes of graphic RAM that the address counter runs through before wrapping.
inline constexpr int32_t lcd_gdram_wrap = 920;
// Bytes allocated for graphic RAM: covers every byte a two-byte address or
// the rasteriser can name (32 * 31 + 2 * 15 + 1 = 1023).
inline constexpr int32_t lcd_gdram_size = 1024;

// True for the graphic variant: the presence of graphic RAM is what makes it.
inline bool lcd_is_graphic(const LcdController& c) {
    return !c.gdram.empty();
}

// Creates a controller. Exactly 115 x 64 gives the graphic variant (16 x 4
// text); otherwise columns are clamped to 8..40 and rows to 1..4, 3 rows
// becoming 2. Returns null if the record or its areas cannot be allocated.
std::unique_ptr<LcdController> lcd_create(int32_t columns, int32_t rows, uint32_t rom_select);

// Frees the controller and everything it owns; a null controller is left alone.
void lcd_destroy(std::unique_ptr<LcdController>& controller);

// Executes one instruction byte.
void lcd_command(LcdController& c, uint8_t instruction);

// Writes one data byte at the active address counter, then advances it.
void lcd_write_data(LcdController& c, uint8_t value);

// Reads one data byte at the active address counter, then advances it.
uint8_t lcd_read_data(LcdController& c);

// The address counter without moving it: the CGRAM address & 0x3F while
// CGRAM is addressed, else the display-RAM address & 0x7F (halved, i.e. the
// word address, in the graphic variant).
int32_t lcd_get_address(const LcdController& c);

// The shared moves of the display-RAM address counter, with the wrap rules
// of the geometry, and the move after every data access.
void lcd_address_up(LcdController& c);
void lcd_address_down(LcdController& c);
void lcd_advance(LcdController& c);
