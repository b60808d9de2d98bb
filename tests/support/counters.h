// The counter file that support/swap_counter.cpp, preloaded into the program
// under test, keeps: one 64-bit count per entry, in this order.
#ifndef ZARV_TESTS_COUNTERS_H
#define ZARV_TESTS_COUNTERS_H

enum Counter {
    COUNT_SWAPS,
    COUNT_COLOUR_CLEARS,  // one per call of the frame routine, a few of the kept framebuffer object's
    COUNT_ACCUM,          // glAccum calls
    COUNT_READ_PIXELS,    // glReadPixels calls
    COUNTERS,
};

#endif
