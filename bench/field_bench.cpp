// The program's own work per drawn frame outside OpenGL: the motion step,
// settle tests and completion tests over all 2,500 quads, as the frame
// routine runs them in its two eye passes.
#include "field.h"
#include "support/field_pass.h"

#include <benchmark/benchmark.h>

static void explodingFrameWork(benchmark::State& state)
{
    initZarvFromSeed(2026);
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        for (int eye = 0; eye < 2 && zarvMode; ++eye) {
            fieldPass(eye);
        }
        if (!zarvMode) {
            initZarvFromSeed(2026);
        }
        benchmark::DoNotOptimize(quads);
    }
}
BENCHMARK(explodingFrameWork)->Unit(benchmark::kMicrosecond);

static void explosionStart(benchmark::State& state)
{
    unsigned seed = 0;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        initZarvFromSeed(++seed);
        benchmark::DoNotOptimize(quads);
    }
}
BENCHMARK(explosionStart)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
