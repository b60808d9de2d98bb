// The trail's accumulation buffer: glAccum where the visual has one, else a
// framebuffer object on the GPU or plain memory, both of the program's own.
#include "accum.h"

#include "render.h"

#include <GL/freeglut.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

static AccumKind kind = ACCUM_VISUAL;
// The window stores sRGB: a kept buffer then works in linear light.
static bool srgb = false;
// The kept buffer's size, following the window's.
static int keptWidth = 0;
static int keptHeight = 0;

// Framebuffer objects, core or as the EXT extension: same tokens, same calls.
static PFNGLGENFRAMEBUFFERSEXTPROC genFramebuffers = nullptr;
static PFNGLBINDFRAMEBUFFEREXTPROC bindFramebuffer = nullptr;
static PFNGLFRAMEBUFFERTEXTURE2DEXTPROC framebufferTexture2D = nullptr;
static PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC checkFramebufferStatus = nullptr;
static PFNGLBLENDCOLORPROC blendColor = nullptr;
static GLuint framebuffer = 0;
static GLuint accumTexture = 0;   // 16 bits per channel, the running mix
static GLuint colourTexture = 0;  // the pass's colour buffer, copied

// GL_MULT costs a pass over the whole buffer: it waits for the next
// GL_ACCUM, which applies it on its way, and GL_RETURN reads through it.
static float pendingScale = 1;

// The memory buffer: 16 bits per RGBA channel, and the window's bytes.
static std::vector<std::uint16_t> kept;
static std::vector<GLubyte> pixels;
// Stored byte to 16-bit buffer value, and back.
static float fromByte[256];
static GLubyte toByte[65536];

static bool hasExtension(const char* name)
{
    const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const size_t length = std::strlen(name);
    for (const char* p = all; p != nullptr && (p = std::strstr(p, name)) != nullptr; p += length) {
        if ((p == all || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0')) {
            return true;
        }
    }
    return false;
}

template <typename Function> static bool load(Function& f, const std::string& name)
{
    f = reinterpret_cast<Function>(glutGetProcAddress(name.c_str()));
    return f != nullptr;
}

static bool loadFramebufferCalls()
{
    const char* suffix = nullptr;
    if (hasExtension("GL_ARB_framebuffer_object")) {
        suffix = "";
    } else if (hasExtension("GL_EXT_framebuffer_object")) {
        suffix = "EXT";
    } else {
        return false;
    }
    return hasExtension("GL_ARB_texture_non_power_of_two") &&
           load(genFramebuffers, std::string("glGenFramebuffers") + suffix) &&
           load(bindFramebuffer, std::string("glBindFramebuffer") + suffix) &&
           load(framebufferTexture2D, std::string("glFramebufferTexture2D") + suffix) &&
           load(checkFramebufferStatus, std::string("glCheckFramebufferStatus") + suffix) &&
           load(blendColor, "glBlendColor");
}

static void allocateTexture(GLuint texture, GLint format, int width, int height)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    // BGRA, the window's own order, keeps copies from it on the fast path.
    glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
}

static void clearFramebuffer()
{
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    bindFramebuffer(GL_FRAMEBUFFER_EXT, framebuffer);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    bindFramebuffer(GL_FRAMEBUFFER_EXT, 0);
    glPopAttrib();
}

static void allocateFramebuffer(int width, int height)
{
    glPushAttrib(GL_TEXTURE_BIT);
    allocateTexture(accumTexture, GL_RGBA16, width, height);
    allocateTexture(colourTexture, srgb ? GL_SRGB8_ALPHA8 : GL_RGBA8, width, height);
    glPopAttrib();
    clearFramebuffer();
}

static bool framebufferWorks()
{
    if (!loadFramebufferCalls()) {
        return false;
    }
    if (framebuffer == 0) {
        genFramebuffers(1, &framebuffer);
        glGenTextures(1, &accumTexture);
        glGenTextures(1, &colourTexture);
    }
    // Not every driver renders into 16-bit textures. Nothing is drawn here:
    // Mesa redoes the window's buffers at every frame after a framebuffer
    // object is drawn into before the window has been shown.
    glPushAttrib(GL_TEXTURE_BIT);
    allocateTexture(accumTexture, GL_RGBA16, 1, 1);
    glPopAttrib();
    bindFramebuffer(GL_FRAMEBUFFER_EXT, framebuffer);
    framebufferTexture2D(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, accumTexture, 0);
    const bool complete = checkFramebufferStatus(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    bindFramebuffer(GL_FRAMEBUFFER_EXT, 0);
    return complete;
}

// sRGB transfer functions on 0..1.
static double decodeSrgb(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

static double encodeSrgb(double l)
{
    return l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
}

void accumUse(AccumKind newKind)
{
    kind = newKind;
    if (kind == ACCUM_VISUAL) {
        glClear(GL_ACCUM_BUFFER_BIT);
        return;
    }
    GLboolean capable = GL_FALSE;
    if (hasExtension("GL_EXT_framebuffer_sRGB")) {
        glGetBooleanv(GL_FRAMEBUFFER_SRGB_CAPABLE_EXT, &capable);
    }
    srgb = capable == GL_TRUE;
    if (kind == ACCUM_FRAMEBUFFER && !framebufferWorks()) {
        kind = ACCUM_MEMORY;
    }
    for (int i = 0; i < 256; ++i) {
        fromByte[i] = static_cast<float>((srgb ? decodeSrgb(i / 255.0) : i / 255.0) * 65535);
    }
    for (int i = 0; i < 65536; ++i) {
        const double l = i / 65535.0;
        toByte[i] = static_cast<GLubyte>(std::lround((srgb ? encodeSrgb(l) : l) * 255));
    }
    keptWidth = -1;  // sized and cleared at the next operation
    accumClear();
}

void accumSetUp()
{
    GLint bits = 0;
    glGetIntegerv(GL_ACCUM_RED_BITS, &bits);
    if (bits > 0) {
        kind = ACCUM_VISUAL;
    } else {
        accumUse(ACCUM_FRAMEBUFFER);
    }
}

AccumKind accumKind()
{
    return kind;
}

// Follows the window's size; a new buffer starts cleared. False while the
// window has no area.
static bool fitWindow()
{
    if (ps.width != keptWidth || ps.height != keptHeight) {
        keptWidth = ps.width;
        keptHeight = ps.height;
        if (keptWidth <= 0 || keptHeight <= 0) {
            return false;
        }
        if (kind == ACCUM_FRAMEBUFFER) {
            allocateFramebuffer(keptWidth, keptHeight);
        } else {
            kept.assign(static_cast<size_t>(keptWidth) * keptHeight * 4, 0);
            pixels.resize(kept.size());
        }
        pendingScale = 1;
    }
    return keptWidth > 0 && keptHeight > 0;
}

// A quad over the whole window or framebuffer, with none of the scene's
// state in the way; leaves the colour mask alone.
static void beginWindowQuad()
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glViewport(0, 0, keptWidth, keptHeight);
}

static void drawWindowQuad(GLfloat value)
{
    glColor4f(value, value, value, value);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, 1);
    glEnd();
}

static void endWindowQuad()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

// Texturing modulates the quad's colour by the texel: the buffer holds
// linear light where the textures decode and the window encodes sRGB.
static void framebufferAccum(GLenum op, GLfloat value)
{
    if (op == GL_MULT) {
        pendingScale *= value;
        return;
    }
    beginWindowQuad();
    glEnable(GL_TEXTURE_2D);
    if (op == GL_RETURN) {
        glBindTexture(GL_TEXTURE_2D, accumTexture);
        if (srgb) {
            glEnable(GL_FRAMEBUFFER_SRGB_EXT);
        }
        drawWindowQuad(value * pendingScale);
        glDisable(GL_FRAMEBUFFER_SRGB_EXT);
    } else {
        glBindTexture(GL_TEXTURE_2D, colourTexture);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, keptWidth, keptHeight);
        if (op == GL_ACCUM) {
            glEnable(GL_BLEND);
            blendColor(pendingScale, pendingScale, pendingScale, pendingScale);
            glBlendFunc(GL_ONE, GL_CONSTANT_COLOR);
        }
        pendingScale = 1;
        bindFramebuffer(GL_FRAMEBUFFER_EXT, framebuffer);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        drawWindowQuad(value);
        bindFramebuffer(GL_FRAMEBUFFER_EXT, 0);
    }
    endWindowQuad();
}

// Fixed point with 16 fraction bits keeps the loops over the buffer in
// integers: a multiplication, a table look-up and a clamp per channel.
static std::uint32_t fixed16(float scale)
{
    return static_cast<std::uint32_t>(std::lround(scale * 65536.0f));
}

static std::uint16_t scaledKept(std::uint32_t v, std::uint32_t scale)
{
    return static_cast<std::uint16_t>(std::min<std::uint32_t>((v * scale + 32768) >> 16, 65535));
}

static void memoryAccum(GLenum op, GLfloat value)
{
    const size_t n = kept.size();
    if (op == GL_MULT) {
        pendingScale *= value;
    } else if (op == GL_LOAD || op == GL_ACCUM) {
        glReadPixels(0, 0, keptWidth, keptHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        std::uint32_t added[256];
        for (int b = 0; b < 256; ++b) {
            added[b] = static_cast<std::uint32_t>(std::lround(fromByte[b] * value));
        }
        const std::uint32_t scale = op == GL_LOAD ? 0 : fixed16(pendingScale);
        // Pixels like the one before (the black around the quads) get its result.
        std::uint32_t lastPixel = 0;
        std::uint64_t lastKept = 0;
        std::uint64_t lastResult = 0;
        bool known = false;
        for (size_t i = 0; i < n; i += 4) {
            std::uint32_t pixel;
            std::uint64_t before;
            std::memcpy(&pixel, &pixels[i], sizeof pixel);
            std::memcpy(&before, &kept[i], sizeof before);
            if (!known || pixel != lastPixel || before != lastKept) {
                for (size_t c = i; c < i + 4; ++c) {
                    kept[c] = static_cast<std::uint16_t>(
                        std::min<std::uint32_t>(((kept[c] * scale + 32768) >> 16) + added[pixels[c]], 65535));
                }
                lastPixel = pixel;
                lastKept = before;
                std::memcpy(&lastResult, &kept[i], sizeof lastResult);
                known = true;
            } else {
                std::memcpy(&kept[i], &lastResult, sizeof lastResult);
            }
        }
        pendingScale = 1;
    } else if (op == GL_RETURN) {
        const std::uint32_t scale = fixed16(value * pendingScale);
        // Only the channels the mask lets through are worth converting.
        GLboolean mask[4];
        glGetBooleanv(GL_COLOR_WRITEMASK, mask);
        for (size_t channel = 0; channel < 4; ++channel) {
            if (mask[channel] == GL_TRUE) {
                for (size_t i = channel; i < n; i += 4) {
                    pixels[i] = toByte[scaledKept(kept[i], scale)];
                }
            }
        }
        beginWindowQuad();
        glRasterPos2f(-1, -1);
        glDrawPixels(keptWidth, keptHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        endWindowQuad();
    }
}

void accumClear()
{
    if (kind == ACCUM_VISUAL) {
        glClear(GL_ACCUM_BUFFER_BIT);
    } else if (fitWindow()) {
        if (kind == ACCUM_FRAMEBUFFER) {
            clearFramebuffer();
        } else {
            std::fill(kept.begin(), kept.end(), 0);
        }
        pendingScale = 1;
    }
}

void accum(GLenum op, GLfloat value)
{
    if (kind == ACCUM_VISUAL) {
        glAccum(op, value);
    } else if (fitWindow()) {
        if (kind == ACCUM_FRAMEBUFFER) {
            framebufferAccum(op, value);
        } else {
            memoryAccum(op, value);
        }
    }
}
