// Fuzzing harness of the key translation: one translator takes a sequence
// of key messages, as a window would receive them.
//
// Input: pairs (message, virtual-key code). Message bits 0..1 choose key
// down, key up, system key down or system key up; bit 2 is Shift held and
// bit 3 Ctrl held.
//
// Checked against a fresh translator for every message: a message that is
// not a Shift or Ctrl key down / key up gives the code a fresh translator
// gives (the code is a pure function of the message; only the chord is
// state) and leaves the chord alone. Shift or Ctrl pressed while the other
// is held begins the chord, with 0xF6 only when it was not active; the
// release of either ends it, with 0xF7 only when it was active, so after
// both are released the chord is inactive. Only the left Windows key is
// left unhandled, and letters follow the Ctrl rule.
#include <cstddef>
#include <cstdint>

#include "fuzz_checks.h"
#include "keyboard/key_translation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KeyTranslator translator;
    bool shift_held = false;
    bool ctrl_held = false;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const uint8_t kind = data[i] & 3;
        const KeyModifiers mods{(data[i] & 4) != 0, (data[i] & 8) != 0};
        const uint8_t vk = data[i + 1];
        const bool before = translator.chord_active();
        KeyTranslator fresh;
        KeyResult got;
        KeyResult pure;
        switch (kind) {
            case 0:
                got = translator.key_code_for_key_down(vk, mods);
                pure = fresh.key_code_for_key_down(vk, mods);
                break;
            case 1:
                got = translator.key_code_for_key_up(vk);
                pure = fresh.key_code_for_key_up(vk);
                break;
            case 2:
                got = translator.key_code_for_sys_key_down(vk, mods);
                pure = fresh.key_code_for_sys_key_down(vk, mods);
                break;
            default:
                got = translator.key_code_for_sys_key_up(vk);
                pure = fresh.key_code_for_sys_key_up(vk);
                break;
        }
        const bool after = translator.chord_active();
        const bool modifier = vk == vk_shift || vk == vk_control;
        if (!modifier || kind >= 2) {
            FUZZ_CHECK(got.code == pure.code && got.handled == pure.handled);
            FUZZ_CHECK(after == before);
        } else if (kind == 0) {
            const bool other_held = vk == vk_shift ? mods.ctrl : mods.shift;
            FUZZ_CHECK(after == (before || other_held));
            FUZZ_CHECK(got.code == (after && !before ? 0xF6 : 0) && got.handled);
            (vk == vk_shift ? shift_held : ctrl_held) = true;
        } else {
            FUZZ_CHECK(!after && got.code == (before ? 0xF7 : 0) && got.handled);
            (vk == vk_shift ? shift_held : ctrl_held) = false;
        }
        if (!shift_held && !ctrl_held && modifier && kind == 1) FUZZ_CHECK(!after);
        FUZZ_CHECK(got.handled || (vk == vk_lwin && kind < 2));
        if (kind == 0 && vk >= 'A' && vk <= 'Z') {
            FUZZ_CHECK(got.code == (mods.ctrl ? vk - 0x40 : vk));
        }
    }
    return 0;
}
