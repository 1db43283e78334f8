// placeholder, replaced by the interpreter
#include "protocol/interpreter.h"
void interpret_byte(uint8_t) {}
