// The program's own work per drawn frame outside OpenGL: the motion step,
// settle tests and completion tests over all 2,500 quads, as the frame
// routine runs them in its two eye passes.
#include "field.h"

#include <benchmark/benchmark.h>

// The field's share of one eye pass: every quad's step, then completion.
static void fieldPass(int eyeIndex)
{
    for (int row = 0; row < GRID_SIZE; ++row) {
        for (int col = 0; col < GRID_SIZE; ++col) {
            benchmark::DoNotOptimize(stepQuad(quads[col][row], col, row, eyeIndex));
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
