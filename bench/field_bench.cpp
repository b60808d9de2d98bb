// The program's own work per drawn frame outside OpenGL: the motion step,
// settle tests and completion tests over all 2,500 quads, as the frame
// routine runs them in its two eye passes; and how long explosions last.
#include "field.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

static _quadPlacement placements[GRID_SIZE][GRID_SIZE];

// One drawn frame's field work: both eye passes, the second only if the
// first did not end the explosion.
static void fieldFrame()
{
    for (int eye = 0; eye < 2 && zarvMode; ++eye) {
        stepEyePass(eye, placements);
    }
}

static void explodingFrameWork(benchmark::State& state)
{
    initZarvFromSeed(2026);
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        fieldFrame();
        if (!zarvMode) {
            initZarvFromSeed(2026);
        }
        benchmark::DoNotOptimize(placements);
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

// Drawn frames from a click to the grid at rest, for the seeds 1 to 60: the
// shortest, the median and the longest.
static void explosionLength(benchmark::State& state)
{
    std::vector<double> frames;
    unsigned seed = 0;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        initZarvFromSeed(++seed);
        long n = 0;
        while (zarvMode) {
            fieldFrame();
            ++n;
        }
        frames.push_back(static_cast<double>(n));
    }
    std::sort(frames.begin(), frames.end());
    state.counters["frames_min"] = frames.front();
    state.counters["frames_median"] = frames[frames.size() / 2];
    state.counters["frames_max"] = frames.back();
}
BENCHMARK(explosionLength)->Iterations(60)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
