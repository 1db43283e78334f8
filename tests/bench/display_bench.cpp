// Cost of the display core at paint and data rates: rendering the program's
// 20 x 4 controller full of text with a visible cursor (done at every
// paint), rendering graphic RAM, and a stream of data writes with the
// address counter running through both line pairs.
#include <benchmark/benchmark.h>

#include <memory>

#include "display/lcd_controller.h"
#include "display/rasteriser.h"

namespace {

std::unique_ptr<LcdController> full_text_display() {
    auto c = lcd_create(20, 4, 1);
    lcd_command(*c, 0x06);
    for (int32_t n = 0; n < 80; ++n) lcd_write_data(*c, static_cast<uint8_t>(0x21 + n));
    lcd_command(*c, 0x0F);  // display on, underline and blinking block
    lcd_command(*c, 0xC5);
    return c;
}

void render_text(benchmark::State& state) {
    auto c = full_text_display();
    for (auto _ : state) {
        lcd_render(*c, 0);
        benchmark::DoNotOptimize(c->dots.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(render_text);

void render_graphic_ram(benchmark::State& state) {
    auto c = lcd_create(115, 64, 1);
    lcd_command(*c, 0x36);
    lcd_command(*c, 0x80);
    lcd_command(*c, 0x80);
    for (int32_t n = 0; n < 919; ++n) lcd_write_data(*c, static_cast<uint8_t>(n * 37));
    for (auto _ : state) {
        lcd_render(*c, 0);
        benchmark::DoNotOptimize(c->dots.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(render_graphic_ram);

void data_writes(benchmark::State& state) {
    auto c = lcd_create(20, 4, 1);
    lcd_command(*c, 0x06);
    uint8_t value = 0;
    for (auto _ : state) {
        for (int32_t n = 0; n < 80; ++n) lcd_write_data(*c, value++);
        benchmark::DoNotOptimize(c->ddram.data());
    }
    state.SetItemsProcessed(state.iterations() * 80);
}
BENCHMARK(data_writes);

}  // namespace
