// Key code translation: the fixed mapping of the desk keyboard's Windows key
// messages to the device's one-byte key codes.
//
// The mapping is a function of the virtual-key code and the Shift / Ctrl
// state that goes with the message; it ignores the keyboard layout and Caps
// Lock. Its only state is chord_active (the Ctrl+Shift chord), a process-wide
// single instance. The key_code_* functions are portable and send nothing;
// the translate_* entry points (Windows front end) read the modifier state,
// send a nonzero code while the link is open, and report whether the key
// counts as handled.
#pragma once

#include <array>
#include <cstdint>

// Virtual-key codes that the mapping treats specially.
inline constexpr uint8_t vk_shift = 0x10;
inline constexpr uint8_t vk_control = 0x11;
inline constexpr uint8_t vk_lwin = 0x5B;
inline constexpr uint8_t vk_f10 = 0x79;

struct KeyModifiers {
    bool shift = false;
    bool ctrl = false;
};

// The outcome of one key message: the code to send (0 = none) and whether
// the window procedure reports the key as handled.
struct KeyResult {
    uint8_t code = 0;
    bool handled = true;
};

// upper_case_map[v] is v - 0x20 for 0x61..0x7A and v otherwise.
extern const std::array<uint16_t, 256> upper_case_map;
// Shift with digit 0..9.
inline constexpr char shifted_digits[] = ")!@#$%^&*(";

// One function per key message kind. key_down and key_up update chord_active.
KeyResult key_code_for_key_down(uint8_t vk, KeyModifiers mods);
KeyResult key_code_for_key_up(uint8_t vk);
KeyResult key_code_for_sys_key_down(uint8_t vk, KeyModifiers mods);
KeyResult key_code_for_sys_key_up(uint8_t vk);

// Windows entry points (key_translation_win32.cpp): read GetKeyState, send
// the code with com_send_byte while link_open is 1, return handled.
bool translate_key_down(uint8_t vk);
bool translate_key_up(uint8_t vk);
bool translate_sys_key_down(uint8_t vk);
bool translate_sys_key_up(uint8_t vk);
