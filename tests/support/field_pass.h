// The quad field's share of one eye pass of the frame routine while an
// explosion runs, without the drawing: for tests and benchmarks of the motion.
#ifndef ZARV_TESTS_FIELD_PASS_H
#define ZARV_TESTS_FIELD_PASS_H

#include "field.h"

// Flight and tumbling in the left-eye pass (0), settle tests in both, then
// the completion test, in the frame routine's order.
inline void fieldPass(int eyeIndex)
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

#endif
