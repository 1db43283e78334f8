// Throughput of the host command interpreter on the traffic a device
// typically sends: status-line updates (numbers, meter, mode field, flash
// text) between texts for the three lower rows. The repaint hook does
// nothing, so the figure is the interpreter and its drawing alone.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "protocol/display_session.h"

namespace {

void no_paint() {}

std::vector<uint8_t> device_traffic() {
    std::vector<uint8_t> bytes;
    for (int frame = 0; frame < 64; ++frame) {
        const auto n = static_cast<uint8_t>(frame);
        for (uint8_t b :
             {uint8_t{0x94}, n, uint8_t{0x95}, static_cast<uint8_t>(99 - n), uint8_t{0x93},
              static_cast<uint8_t>(n % 12), uint8_t{0x96}, static_cast<uint8_t>(n & 0x5E)}) {
            bytes.push_back(b);
        }
        for (uint8_t row = 2; row <= 4; ++row) {
            bytes.push_back(0x8C);
            bytes.push_back(row);
            const std::string text = "Menu item " + std::to_string(frame * 3 + row);
            for (size_t i = 0; i < 20; ++i) bytes.push_back(i < text.size() ? text[i] : ' ');
        }
        if (frame % 8 == 0) {
            for (uint8_t b : {uint8_t{0xA1}, uint8_t{'S'}, uint8_t{'A'}, uint8_t{'V'}, uint8_t{'E'},
                              uint8_t{0x99}, uint8_t{0x04}, uint8_t{'D'}, uint8_t{'o'},
                              uint8_t{'n'}, uint8_t{'e'}, uint8_t{0x00}}) {
                bytes.push_back(b);
            }
        }
    }
    return bytes;
}

void BM_InterpretDeviceTraffic(benchmark::State& state) {
    DisplaySession session(no_paint);
    session.start();
    const std::vector<uint8_t> traffic = device_traffic();
    for (auto _ : state) {
        for (uint8_t b : traffic) session.interpret_byte(b);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * traffic.size()));
}
BENCHMARK(BM_InterpretDeviceTraffic);

// The same traffic as the serial readers hand it over: in batches (here one
// batch per round), with one repaint request per batch.
void BM_InterpretDeviceTrafficBatched(benchmark::State& state) {
    DisplaySession session(no_paint);
    session.start();
    const std::vector<uint8_t> traffic = device_traffic();
    for (auto _ : state) session.interpret_bytes(traffic);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * traffic.size()));
}
BENCHMARK(BM_InterpretDeviceTrafficBatched);

}  // namespace
