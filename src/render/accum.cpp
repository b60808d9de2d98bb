// The trail's accumulation buffer: chooses where it lives, and follows the
// window's size for the kept ones.
#include "accum.h"

#include "accum_kept.h"

#include <GL/glext.h>

#if !defined(_WIN32) && !defined(__APPLE__)
#include <GL/glx.h>
#endif

static AccumKind kind = ACCUM_VISUAL;
// The window stores sRGB: a kept buffer then works in linear light.
static bool srgb = false;
// The window's size as the caller gives it, and the kept buffer's.
static int windowWidth = 0;
static int windowHeight = 0;
int keptWidth = 0;
int keptHeight = 0;

// What Mesa's renderer query says of the current context: whether it draws
// on a GPU. False where there is no answer: other drivers do not say.
static bool mesaAccelerated(bool& accelerated)
{
#if !defined(_WIN32) && !defined(__APPLE__)
    Display* display = glXGetCurrentDisplay();
    if (display == nullptr ||
        !hasName(glXQueryExtensionsString(display, DefaultScreen(display)), "GLX_MESA_query_renderer")) {
        return false;
    }
    const auto query = reinterpret_cast<PFNGLXQUERYCURRENTRENDERERINTEGERMESAPROC>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXQueryCurrentRendererIntegerMESA")));
    unsigned value = 0;
    if (query == nullptr || !query(GLX_RENDERER_ACCELERATED_MESA, &value)) {
        return false;
    }
    accelerated = value == 1;
    return true;
#else
    (void)accelerated;
    return false;
#endif
}

static bool srgbWindow()
{
    GLboolean capable = GL_FALSE;
    if (hasExtension("GL_EXT_framebuffer_sRGB")) {
        glGetBooleanv(GL_FRAMEBUFFER_SRGB_CAPABLE_EXT, &capable);
    }
    return capable == GL_TRUE;
}

// The one way into memory, from start-up or from a framebuffer object given
// up: the window's encoding in its tables, and its size where known.
static void useMemory()
{
    kind = ACCUM_MEMORY;
    memorySetUp(srgb);
    if (keptWidth > 0 && keptHeight > 0) {
        memoryResize(keptWidth, keptHeight);
    }
}

void accumUse(AccumKind newKind)
{
    kind = newKind;
    if (kind != ACCUM_VISUAL) {
        srgb = srgbWindow();
        keptWidth = -1;  // sized at the next operation
        if (kind == ACCUM_MEMORY || !framebufferSetUp(srgb)) {
            useMemory();
        }
    }
    accumClear();
}

AccumKind accumDefault(bool visualBuffer)
{
    bool accelerated = false;
    if (mesaAccelerated(accelerated)) {
        // Mesa runs glAccum on the CPU for every driver, after each eye pass:
        // a kept buffer does the frame's trail once. On a GPU a framebuffer
        // object keeps it there; in software reading the window back is
        // cheap and a full-window textured quad is not.
        return accelerated ? ACCUM_FRAMEBUFFER : ACCUM_MEMORY;
    }
    // Drivers that do not say implement glAccum themselves, if at all, and
    // are mostly GPU ones.
    return visualBuffer ? ACCUM_VISUAL : ACCUM_FRAMEBUFFER;
}

void accumSetUp()
{
    GLint bits = 0;
    glGetIntegerv(GL_ACCUM_RED_BITS, &bits);
    accumUse(accumDefault(bits > 0));
}

void accumWindow(int width, int height)
{
    windowWidth = width;
    windowHeight = height;
}

// Follows the window's size; a new buffer starts cleared. False while the
// window has no area.
static bool fitWindow()
{
    if (windowWidth != keptWidth || windowHeight != keptHeight) {
        keptWidth = windowWidth;
        keptHeight = windowHeight;
        if (keptWidth <= 0 || keptHeight <= 0) {
            return false;
        }
        // A window larger than the driver's textures, or one the GPU has no
        // memory for: memory holds any window.
        if (kind == ACCUM_FRAMEBUFFER && !framebufferResize(keptWidth, keptHeight)) {
            useMemory();
        } else if (kind == ACCUM_MEMORY) {
            memoryResize(keptWidth, keptHeight);
        }
    }
    return keptWidth > 0 && keptHeight > 0;
}

void accumClear()
{
    if (kind == ACCUM_VISUAL) {
        glClear(GL_ACCUM_BUFFER_BIT);
    } else if (fitWindow()) {
        if (kind == ACCUM_FRAMEBUFFER) {
            framebufferClear();
        } else {
            memoryClear();
        }
    }
}

void accumLoad()
{
    if (kind == ACCUM_VISUAL) {
        glAccum(GL_LOAD, 1.0f);
    }
}

// A kept buffer does the frame's two passes in one: a read of the window, an
// update of the buffer and a write-back. Each frame starts from a colour
// buffer cleared on every channel, so the left pass runs over green 0, and
// the right pass writes green only, leaving red as the left pass left it.
// With the buffer's A, the scene's red R and green G, per pass:
//   left:  A.r = m A.r + (1 - m) R,   A.g = m A.g,   red written back;
//   right: A.r = m A.r + (1 - m) A.r = A.r,   A.g = m A.g + (1 - m) G,
//          green written back.
// So over the frame red keeps m and takes 1 - m of R, green keeps m^2 and
// takes 1 - m of G, which the colour buffer holds after the right pass.
// The per-pass right pass re-read red rounded to 8 bits: under half a step.
// An explosion that ends in the left pass ends before its trail, so that
// frame has none either way.
void accumTrail(int eyeIndex, GLfloat m)
{
    if (kind == ACCUM_VISUAL) {
        glAccum(GL_MULT, m);
        glAccum(GL_ACCUM, 1 - m);
        glAccum(GL_RETURN, 1.0f);
        return;
    }
    if (eyeIndex == 0 || !fitWindow()) {
        return;
    }
    const _trailBlend blend{{m, m * m}, {1 - m, 1 - m}};
    if (kind == ACCUM_FRAMEBUFFER) {
        framebufferTrail(blend);
    } else {
        memoryTrail(blend);
    }
}
