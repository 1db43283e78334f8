// The key messages' entry points on Windows: GetKeyState gives the Shift and
// Ctrl state of the message being processed (not of the keyboard now).
#include "keyboard/key_translation_win32.h"

#include <windows.h>

namespace {

bool held(int vk) {
    return (GetKeyState(vk) & 0x8000) != 0;
}

KeyModifiers current_modifiers() {
    return {held(VK_SHIFT), held(VK_CONTROL)};
}

}  // namespace

KeyResult translate_key_down(KeyTranslator& translator, uint8_t vk) {
    return translator.key_code_for_key_down(vk, current_modifiers());
}

KeyResult translate_key_up(KeyTranslator& translator, uint8_t vk) {
    return translator.key_code_for_key_up(vk);
}

KeyResult translate_sys_key_down(KeyTranslator& translator, uint8_t vk) {
    return translator.key_code_for_sys_key_down(vk, current_modifiers());
}

KeyResult translate_sys_key_up(KeyTranslator& translator, uint8_t vk) {
    return translator.key_code_for_sys_key_up(vk);
}
