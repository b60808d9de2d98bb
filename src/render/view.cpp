// The stereo camera, pacing, spin, aspect factors and eye frusta.
#include "view.h"

#include <cstdint>

_viewParams ps;

void initCamera()
{
    ps.eyeOffset = 1.0;
    ps.focalDistance = 50.0;
    ps.nearPlane = 4.0;
    ps.farPlane = 100.0;
}

bool frameDue(int elapsedMs, int lastFrameMs)
{
    // Modular difference: the int clock wraps after about 24.8 days.
    const std::uint32_t since =
        static_cast<std::uint32_t>(elapsedMs) - static_cast<std::uint32_t>(lastFrameMs);
    return since > FRAME_INTERVAL_MS;
}

float nextSpin(float rotA)
{
    rotA += SPIN_PER_FRAME;
    if (rotA > 360) {
        rotA = 0;
    }
    return rotA;
}

void aspectFactors(int width, int height, double& xScale, double& yScale)
{
    xScale = 1;
    yScale = 1;
    // A window with one side 0 keeps the factors 1 rather than divide by 0.
    if (width == 0 || height == 0) {
        return;
    }
    // The truncated integer quotient, not the real ratio: 16:9 gets 1.
    if (width < height) {
        yScale = height / width;  // NOLINT(bugprone-integer-division)
    } else if (height < width) {
        xScale = width / height;  // NOLINT(bugprone-integer-division)
    }
}

void quadPivot(const _quadPlacement& p, int col, int row, float& pivotX, float& pivotY)
{
    // Taken in the grid's plane, not at the quad's depth.
    pivotX = (GRID_CENTRE - col) - p.drawX;
    pivotY = (GRID_CENTRE - row) - p.drawY;
}

_eyeView eyeView(int eyeIndex)
{
    double xScale;
    double yScale;
    aspectFactors(ps.width, ps.height, xScale, yScale);
    const double k = ps.nearPlane / ps.focalDistance;
    const double halfExtent = 2 * PIXELS_PER_INCH;
    _eyeView v;
    v.offset = static_cast<int>(eyeIndex == 0 ? ps.eyeOffset : -ps.eyeOffset);
    // Off-axis: the frustum is shifted by offset times k times xScale and the
    // scene by offset, so zero parallax lies at the focal distance while
    // xScale is 1, and at focalDistance / xScale on windows at least twice
    // as wide as high.
    v.left = (ps.width / -halfExtent + v.offset) * k * xScale;
    v.right = (ps.width / halfExtent + v.offset) * k * xScale;
    v.bottom = (ps.height / -halfExtent) * k * yScale;
    v.top = (ps.height / halfExtent) * k * yScale;
    v.nearPlane = ps.nearPlane;
    v.farPlane = ps.farPlane;
    return v;
}
