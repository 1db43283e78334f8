// placeholder, replaced by the display benchmarks
#include <benchmark/benchmark.h>
