// The trail's buffer kept in memory: 16 bits for each of red and green, the
// only channels the trail shows, filled from glReadPixels and written back
// with glDrawPixels, for software renderers,
// where reading the window back is cheap and every full-window pass is a
// CPU pass, and for drivers without framebuffer objects or windows larger
// than their textures.
#include "accum_kept.h"

#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// Red and green, 16 bits each, a pixel after another; and the window's
// bytes, four a pixel.
static std::vector<std::uint16_t> kept;
static std::vector<GLubyte> pixels;
// Stored byte to 16-bit buffer value, and back.
static float fromByte[256];
static GLubyte toByte[65536];

void memorySetUp(bool srgb)
{
    for (int i = 0; i < 256; ++i) {
        fromByte[i] = static_cast<float>((srgb ? decodeSrgb(i / 255.0) : i / 255.0) * 65535);
    }
    for (int i = 0; i < 65536; ++i) {
        const double l = i / 65535.0;
        toByte[i] = static_cast<GLubyte>(std::lround((srgb ? encodeSrgb(l) : l) * 255));
    }
}

void memoryResize(int w, int h)
{
    kept.assign(static_cast<size_t>(w) * h * 2, 0);
    pixels.resize(kept.size() * 2);
}

void memoryClear()
{
    std::fill(kept.begin(), kept.end(), 0);
}

// Fixed point with 16 fraction bits keeps the loops over the buffer in
// integers: a multiplication, a table look-up and a clamp per channel.
static std::uint32_t fixed16(float scale)
{
    return static_cast<std::uint32_t>(std::lround(scale * 65536.0f));
}

static std::uint16_t scaledKept(std::uint32_t v, std::uint32_t scale, std::uint32_t added)
{
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(((v * scale + 32768) >> 16) + added, 65535));
}

// What value times each stored byte adds to the buffer.
static void addedTable(GLfloat value, std::uint32_t added[256])
{
    for (int b = 0; b < 256; ++b) {
        added[b] = static_cast<std::uint32_t>(std::lround(fromByte[b] * value));
    }
}

// One read of the window in its own order (blue, green, red, alpha), one
// loop over red and green, one glDrawPixels back through their mask: on
// llvmpipe a texture upload and a textured quad cost as much as the last.
void memoryTrail(const _trailBlend& blend)
{
    glReadPixels(0, 0, keptWidth, keptHeight, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    std::uint32_t keep[2];
    std::uint32_t added[2][256];
    for (int c = 0; c < 2; ++c) {
        keep[c] = fixed16(blend.keep[c]);
        addedTable(blend.take[c], added[c]);
    }
    std::uint16_t* k = kept.data();
    GLubyte* p = pixels.data();
    const size_t n = kept.size();
    for (size_t i = 0; i < n; i += 2, p += 4) {
        k[i] = scaledKept(k[i], keep[0], added[0][p[2]]);
        k[i + 1] = scaledKept(k[i + 1], keep[1], added[1][p[1]]);
        p[2] = toByte[k[i]];
        p[1] = toByte[k[i + 1]];
    }
    beginWindowQuad(keptWidth, keptHeight);
    glColorMask(GL_TRUE, GL_TRUE, GL_FALSE, GL_FALSE);
    glRasterPos2f(-1, -1);
    glDrawPixels(keptWidth, keptHeight, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    endWindowQuad();
}
