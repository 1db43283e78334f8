// Building the window's 488 x 180 picture from a rendered 20 x 4 display:
// the part of every paint that is done in memory before one stretch call.
#include <benchmark/benchmark.h>

#include <vector>

#include "app/shell_state.h"
#include "image/window_image.h"
#include "display/rasteriser.h"
#include "protocol/interpreter.h"

namespace {

void window_image(benchmark::State& state) {
    shell_state_reset();
    shell_create_display();
    const char text[] = "Hello, world!       ";
    interpret_byte(0x8C);
    interpret_byte(2);
    for (int i = 0; i < 20; ++i) interpret_byte(static_cast<uint8_t>(text[i]));
    lcd_render(*display);
    std::vector<uint32_t> pixels;
    for (auto _ : state) {
        build_window_image(*display, scheme_colors(1), pixels);
        benchmark::DoNotOptimize(pixels.data());
    }
    shell_state_reset();
}
BENCHMARK(window_image);

}  // namespace
