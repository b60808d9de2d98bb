// Quad field state, the explosion start and the per-frame motion of a quad.
#include "field.h"

#include <cmath>
#include <cstdint>

_quad quads[GRID_SIZE][GRID_SIZE];
bool zarvMode = false;

// The C library's sample generator: the platform's rand() has a 31-bit range,
// and the motion is defined on 15-bit draws.
static std::uint32_t randState = 1;

void srand15(unsigned seed)
{
    randState = seed;
}

int rand15()
{
    randState = randState * 1103515245u + 12345u;
    return static_cast<int>((randState / 65536u) % 32768u);
}

double randUnit()
{
    return rand15() / static_cast<double>(RAND15_MAX);
}

void initQuad(_quad& q)
{
    q.rotX = static_cast<float>(randUnit() * 180 + 1);
    q.rotY = static_cast<float>(randUnit() * 180 + 1);
    q.rotZ = static_cast<float>(randUnit() * 180 + 1);
    q.vx = static_cast<float>(randUnit() - 0.5);
    q.vy = static_cast<float>(randUnit() - 0.5);
    q.vz = static_cast<float>(randUnit() - 0.5);
    q.bounced = false;
}

void initZarvFromSeed(unsigned seed)
{
    srand15(seed);
    for (int row = 0; row < GRID_SIZE; ++row) {
        for (int col = 0; col < GRID_SIZE; ++col) {
            _quad& q = quads[col][row];
            q.x = static_cast<float>(col);
            q.y = static_cast<float>(row);
            q.z = 0.0f;
            initQuad(q);
        }
    }
    zarvMode = true;
}

void moveQuad(_quad& q)
{
    q.x += q.vx;
    q.y += q.vy;
    q.z += q.vz;
    // Not clamped: the quad retraces its outward path step for step.
    if (q.x > LIMIT_BOX || q.x < -LIMIT_BOX || q.y > LIMIT_BOX || q.y < -LIMIT_BOX || q.z > LIMIT_BOX ||
        q.z < -LIMIT_BOX) {
        q.vx = -q.vx;
        q.vy = -q.vy;
        q.vz = -q.vz;
        q.bounced = true;
    }
}

bool settleQuad(_quad& q, int col, int row)
{
    if (q.bounced && std::fabs(q.y - row) < SETTLE_TOLERANCE && std::fabs(q.x - col) < SETTLE_TOLERANCE &&
        std::fabs(q.z) < SETTLE_TOLERANCE) {
        q.vx = q.vy = q.vz = 0.0f;
        q.x = static_cast<float>(col);
        q.y = static_cast<float>(row);
        q.z = 0.0f;
        q.bounced = true;
        return true;
    }
    return false;
}

void spinQuad(_quad& q)
{
    // Not wrapped at 360: GL takes any angle.
    q.rotX += SPIN_STEP;
    q.rotY += SPIN_STEP;
    q.rotZ += SPIN_STEP;
}

void countQuadsHome()
{
    int home = 0;
    for (int col = 0; col < GRID_SIZE; ++col) {
        for (int row = 0; row < GRID_SIZE; ++row) {
            const _quad& q = quads[col][row];
            if (q.x == col && q.y == row && q.z == 0.0f) {
                ++home;
            }
        }
    }
    zarvMode = home != QUAD_COUNT;
}

_quadPlacement stepQuad(_quad& q, int col, int row, int eyeIndex)
{
    if (eyeIndex == 0) {
        moveQuad(q);
    }
    _quadPlacement p;
    p.drawX = col - q.x;
    p.drawY = row - q.y;
    p.drawZ = -q.z;
    p.home = settleQuad(q, col, row);
    p.rotX = q.rotX;
    p.rotY = q.rotY;
    p.rotZ = q.rotZ;
    // The right-eye pass sees a quad in flight a degree further turned.
    if (!p.home && eyeIndex == 0) {
        spinQuad(q);
    }
    return p;
}

void stepEyePass(int eyeIndex, _quadPlacement placements[GRID_SIZE][GRID_SIZE])
{
    for (int row = 0; row < GRID_SIZE; ++row) {
        for (int col = 0; col < GRID_SIZE; ++col) {
            placements[col][row] = stepQuad(quads[col][row], col, row, eyeIndex);
        }
    }
    countQuadsHome();
}
