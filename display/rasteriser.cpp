// placeholder, replaced by the rasteriser
#include "display/rasteriser.h"
int32_t lcd_cell_address(LcdController&, int32_t, int32_t) { return 0; }
void lcd_render(LcdController&) {}
