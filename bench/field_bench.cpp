// The program's own work per drawn frame outside OpenGL: the motion step,
// settle tests and completion tests over all 2,500 quads, as the frame
// routine runs them in its two eye passes.
#include "field.h"

#include <benchmark/benchmark.h>

// The field's share of one eye pass, in the frame routine's order: flight and
// tumbling in the left-eye pass (0), settle tests in both, then completion.
static void fieldPass(int eyeIndex)
{
    for (int row = 0; row < GRID_SIZE; ++row) {
        for (int col = 0; col < GRID_SIZE; ++col) {
            _quad& q = quads[col][row];
            if (eyeIndex == 0) {
                moveQuad(q);
            }
            if (!settleQuad(q, col, row) && eyeIndex == 0) {
                spinQuad(q);
            }
        }
    }
    countQuadsHome();
}

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
