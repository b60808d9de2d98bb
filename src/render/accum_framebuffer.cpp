// The trail's buffer kept in a framebuffer object: a 16-bit texture that the
// colour buffer is blended into and drawn back from, all on the GPU.
#include "accum_kept.h"

#include <GL/freeglut.h>
#include <GL/glext.h>

#include <string>

// Framebuffer objects, core or as the EXT extension: same tokens, same calls.
static PFNGLGENFRAMEBUFFERSEXTPROC genFramebuffers = nullptr;
static PFNGLBINDFRAMEBUFFEREXTPROC bindFramebuffer = nullptr;
static PFNGLFRAMEBUFFERTEXTURE2DEXTPROC framebufferTexture2D = nullptr;
static PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC checkFramebufferStatus = nullptr;
static PFNGLBLENDCOLORPROC blendColor = nullptr;
static GLuint framebuffer = 0;
static GLuint accumTexture = 0;   // 16 bits per channel, the running mix
static GLuint colourTexture = 0;  // the pass's colour buffer, copied
static bool srgb = false;

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

// False if the driver refused it, out of memory.
static bool allocateTexture(GLuint texture, GLint format, int w, int h)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    // BGRA, the window's own order, keeps copies from it on the fast path.
    glTexImage2D(GL_TEXTURE_2D, 0, format, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    return glGetError() == GL_NO_ERROR;
}

static bool complete()
{
    bindFramebuffer(GL_FRAMEBUFFER_EXT, framebuffer);
    framebufferTexture2D(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, accumTexture, 0);
    const bool ok = checkFramebufferStatus(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    bindFramebuffer(GL_FRAMEBUFFER_EXT, 0);
    return ok;
}

bool framebufferSetUp(bool srgbWindow)
{
    srgb = srgbWindow;
    // Decoding the window's bytes takes sRGB textures.
    if (!loadFramebufferCalls() || (srgb && !hasExtension("GL_EXT_texture_sRGB"))) {
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
    const bool ok = allocateTexture(accumTexture, GL_RGBA16, 1, 1) && complete();
    glPopAttrib();
    return ok;
}

bool framebufferResize(int w, int h)
{
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    // Errors raised before are not this allocation's.
    while (glGetError() != GL_NO_ERROR) {
    }
    glPushAttrib(GL_TEXTURE_BIT);
    const bool ok = w <= largest && h <= largest && allocateTexture(accumTexture, GL_RGBA16, w, h) &&
                    allocateTexture(colourTexture, srgb ? GL_SRGB8_ALPHA8 : GL_RGBA8, w, h) && complete();
    glPopAttrib();
    if (!ok) {
        const GLuint textures[] = {accumTexture, colourTexture};
        glDeleteTextures(2, textures);
        return false;
    }
    framebufferClear();
    return true;
}

void framebufferClear()
{
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    bindFramebuffer(GL_FRAMEBUFFER_EXT, framebuffer);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    bindFramebuffer(GL_FRAMEBUFFER_EXT, 0);
    glPopAttrib();
}

// The colour buffer copied once, blended into the buffer with the keep
// factors as the constant colour and the take factors as the quad's, and
// the buffer drawn back into red and green. Texturing modulates the quad's
// colour by the texel: the buffer holds linear light where the textures
// decode and the window encodes sRGB.
void framebufferTrail(const _trailBlend& blend)
{
    beginWindowQuad(keptWidth, keptHeight);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, colourTexture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, keptWidth, keptHeight);
    glEnable(GL_BLEND);
    blendColor(blend.keep[0], blend.keep[1], 0, 0);
    glBlendFunc(GL_ONE, GL_CONSTANT_COLOR);
    bindFramebuffer(GL_FRAMEBUFFER_EXT, framebuffer);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    drawWindowQuad(blend.take[0], blend.take[1], 0, 0);
    bindFramebuffer(GL_FRAMEBUFFER_EXT, 0);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, accumTexture);
    glColorMask(GL_TRUE, GL_TRUE, GL_FALSE, GL_FALSE);
    if (srgb) {
        glEnable(GL_FRAMEBUFFER_SRGB_EXT);
    }
    drawWindowQuad(1);
    if (srgb) {
        glDisable(GL_FRAMEBUFFER_SRGB_EXT);
    }
    endWindowQuad();
}
