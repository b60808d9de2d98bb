// One quad's flight on its own, stepped as the frame routine steps it: for
// tests that need to know when a quad comes home.
#ifndef ZARV_TESTS_FLIGHT_H
#define ZARV_TESTS_FLIGHT_H

#include "field.h"

// Flies a quad through the frame routine's left-eye passes until it settles;
// returns the frames taken, or -1 past maxFrames.
inline long flyHome(_quad& q, int col, int row, long maxFrames)
{
    for (long frame = 1; frame <= maxFrames; ++frame) {
        if (stepQuad(q, col, row, 0).home) {
            return frame;
        }
    }
    return -1;
}

#endif
