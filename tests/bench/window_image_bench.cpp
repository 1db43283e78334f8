// Building the window's 488 x 180 picture from a rendered 20 x 4 display:
// the part of every paint that is done in memory before one stretch call.
#include <benchmark/benchmark.h>

#include <vector>

#include "image/window_image.h"
#include "protocol/display_session.h"

namespace {

void window_image(benchmark::State& state) {
    DisplaySession session;
    session.start();
    const char text[] = "Hello, world!       ";
    session.interpret_byte(0x8C);
    session.interpret_byte(2);
    for (int i = 0; i < 20; ++i) session.interpret_byte(static_cast<uint8_t>(text[i]));
    std::vector<uint32_t> pixels;
    session.render([&](const LcdController& c) {
        for (auto _ : state) {
            build_window_image(c, scheme_colors(1), pixels);
            benchmark::DoNotOptimize(pixels.data());
        }
    });
}
BENCHMARK(window_image);

}  // namespace
