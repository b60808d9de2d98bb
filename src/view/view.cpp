// The stereo camera, pacing, spin, the trail's fade, the transforms, and the
// quads in flight placed in the scene.
#include "view.h"

#include <cmath>
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

float trailKeep()
{
    return std::pow(BLUR_AMOUNT, 0.5f);
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

static _matrix identity()
{
    return _matrix{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

// m followed by glTranslatef(x, y, z).
static _matrix translate(_matrix m, float x, float y, float z)
{
    for (int row = 0; row < 4; ++row) {
        m.m[12 + row] = m.m[row] * x + m.m[4 + row] * y + m.m[8 + row] * z + m.m[12 + row];
    }
    return m;
}

// m followed by glRotatef about the principal axis 0 (x), 1 (y) or 2 (z):
// the other two axes' columns turned into each other.
static _matrix rotate(_matrix m, float degrees, int axis)
{
    // The sine and cosine in single precision, as Mesa's glRotatef takes
    // them: the matrices then equal OpenGL's.
    const float radians =
        static_cast<float>(degrees * 3.14159265358979323846 / 180.0);  // M_PI, not standard C++
    const float s = std::sin(radians);
    const float c = std::cos(radians);
    const int a = (axis + 1) % 3;
    const int b = (axis + 2) % 3;
    for (int row = 0; row < 4; ++row) {
        const float ma = m.m[a * 4 + row];
        const float mb = m.m[b * 4 + row];
        m.m[a * 4 + row] = c * ma + s * mb;
        m.m[b * 4 + row] = c * mb - s * ma;
    }
    return m;
}

_matrix eyeProjection(const _eyeView& v)
{
    const float l = static_cast<float>(v.left), r = static_cast<float>(v.right);
    const float b = static_cast<float>(v.bottom), t = static_cast<float>(v.top);
    const float n = static_cast<float>(v.nearPlane), f = static_cast<float>(v.farPlane);
    _matrix p{};
    p.m[0] = 2 * n / (r - l);
    p.m[5] = 2 * n / (t - b);
    p.m[8] = (r + l) / (r - l);
    p.m[9] = (t + b) / (t - b);
    p.m[10] = -(f + n) / (f - n);
    p.m[11] = -1;
    p.m[14] = -(2 * f * n) / (f - n);
    return p;
}

_matrix eyeModelview(const _eyeView& v, float rotA)
{
    _matrix m = translate(identity(), static_cast<float>(v.offset), 0, 0);
    m = translate(m, 0, 0, static_cast<float>(-ps.focalDistance));
    return rotate(m, rotA, 1);
}

_matrix quadModel(const _quadPlacement& p, int col, int row)
{
    _matrix m = identity();
    if (!p.home) {
        float pivotX;
        float pivotY;
        quadPivot(p, col, row, pivotX, pivotY);
        m = translate(m, 0.5f - pivotX, 0.5f - pivotY, 0);
        m = rotate(m, p.rotX, 0);
        m = rotate(m, p.rotY, 1);
        m = rotate(m, p.rotZ, 2);
        m = translate(m, pivotX - 0.5f, pivotY - 0.5f, 0);
    }
    return translate(m, p.drawX, p.drawY, p.drawZ);
}

void quadTriangles(std::uint16_t indices[QUAD_COUNT * QUAD_TRIANGLE_INDICES])
{
    static const int CORNERS[QUAD_TRIANGLE_INDICES] = {0, 1, 2, 0, 2, 3};
    for (int quad = 0; quad < QUAD_COUNT; ++quad) {
        for (int i = 0; i < QUAD_TRIANGLE_INDICES; ++i) {
            *indices++ = static_cast<std::uint16_t>(quad * QUAD_CORNERS + CORNERS[i]);
        }
    }
}

void placeQuads(const _quadPlacement placements[GRID_SIZE][GRID_SIZE],
                _vertex vertices[QUAD_COUNT * QUAD_CORNERS])
{
    _vertex* v = vertices;
    for (int row = 0; row < GRID_SIZE; ++row) {
        for (int col = 0; col < GRID_SIZE; ++col) {
            const _matrix m = quadModel(placements[col][row], col, row);
            for (int c = 0; c < QUAD_CORNERS; ++c) {
                // The corner (x, y, 0) of the unit cell, and the normal (0, 0, 1).
                const float x = static_cast<float>(col - GRID_CENTRE + CORNER_X[c]);
                const float y = static_cast<float>(row - GRID_CENTRE + CORNER_Y[c]);
                *v++ = _vertex{m.m[0] * x + m.m[4] * y + m.m[12],
                               m.m[1] * x + m.m[5] * y + m.m[13],
                               m.m[2] * x + m.m[6] * y + m.m[14],
                               m.m[8],
                               m.m[9],
                               m.m[10]};
            }
        }
    }
}
