// One quad's flight on its own, step by step as the frame routine moves it:
// for tests that need to know when a quad comes home.
#ifndef ZARV_TESTS_FLIGHT_H
#define ZARV_TESTS_FLIGHT_H

#include "field.h"

// Flies a quad until it settles; returns the frames taken, or -1 past maxFrames.
inline long flyHome(_quad& q, int col, int row, long maxFrames)
{
    for (long frame = 1; frame <= maxFrames; ++frame) {
        moveQuad(q);
        if (settleQuad(q, col, row)) {
            return frame;
        }
        spinQuad(q);
    }
    return -1;
}

#endif
