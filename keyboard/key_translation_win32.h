// The key messages' entry points on Windows: each reads the Shift and Ctrl
// state that goes with the message being processed and hands the key to the
// window's translator. Sending the code is the window's business.
#pragma once

#include <cstdint>

#include "keyboard/key_translation.h"

KeyResult translate_key_down(KeyTranslator& translator, uint8_t vk);
KeyResult translate_key_up(KeyTranslator& translator, uint8_t vk);
KeyResult translate_sys_key_down(KeyTranslator& translator, uint8_t vk);
KeyResult translate_sys_key_up(KeyTranslator& translator, uint8_t vk);
