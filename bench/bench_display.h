// The display the benchmarks draw on: a private Xvfb by default, or the one
// BENCH_DISPLAY names, to measure on the user's own GPU.
#ifndef ZARV_BENCH_DISPLAY_H
#define ZARV_BENCH_DISPLAY_H

#include <cstdlib>

// Points DISPLAY at BENCH_DISPLAY and returns true if it is set.
inline bool useBenchDisplay()
{
    const char* display = std::getenv("BENCH_DISPLAY");
    if (display == nullptr || *display == '\0') {
        return false;
    }
    setenv("DISPLAY", display, 1);
    return true;
}

#endif
