// The page's motion trail: the accumulation buffer's arithmetic in linear
// light, as the desktop's works on the sRGB-capable windows it meets: the
// stored colours decoded as sRGB before the multiply and accumulate, and
// encoded again on return. The buffer is kept encoded, in 16-bit floats
// where the browser renders into them, in 8 bits otherwise. While an
// explosion runs both eye passes are drawn into a texture, and one pass
// over the window does both passes' accumulation work per pixel, as the
// desktop does it pass after pass: switching targets is what costs a
// browser most.
#include "trail.h"

#include "program.h"
#include "view.h"

#include <emscripten/html5.h>

namespace {

// A triangle over the whole target, each pixel taking the same pixel of source.
const char* const COPY_VERTEX = R"(#version 300 es
void main()
{
    gl_Position = vec4(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0, 0.0, 1.0);
}
)";

const char* const COPY_FRAGMENT = R"(#version 300 es
precision highp float;
uniform highp sampler2D source;
out vec4 colour;

void main()
{
    colour = texelFetch(source, ivec2(gl_FragCoord.xy), 0);
}
)";

// One frame's accumulation work: after the left eye's pass the colour
// buffer holds its channels alone; the buffer keeps m of itself, takes
// 1 - m of that, and returns the left eye's channels. After the right eye's
// pass the colour buffer holds those and the pass's own; the same again,
// returning the right eye's channels. What the frame shows is then the
// buffer, encoded. An 8-bit buffer rounds down, so that the trail fades to
// black instead of sticking a level above it. Red and green only: each
// power costs a browser that draws in software dearly.
const char* const TRAIL_FRAGMENT = R"(#version 300 es
precision highp float;
uniform highp sampler2D scene;
uniform highp sampler2D trail;
uniform float m;
uniform vec2 leftMask;
uniform vec2 rightMask;
uniform float roundDown;
out vec4 colour;

vec2 decode(vec2 c)
{
    return mix(c / 12.92, pow((c + 0.055) / 1.055, vec2(2.4)), step(0.04045, c));
}

vec2 encode(vec2 c)
{
    c = clamp(c, 0.0, 1.0);
    return mix(c * 12.92, 1.055 * pow(c, vec2(1.0 / 2.4)) - 0.055, step(0.0031308, c));
}

void main()
{
    ivec2 at = ivec2(gl_FragCoord.xy);
    vec2 passes = decode(texelFetch(scene, at, 0).rg);
    vec2 kept = decode(texelFetch(trail, at, 0).rg);
    kept = m * kept + (1.0 - m) * passes * leftMask;
    kept = m * kept + (1.0 - m) * (min(kept, 1.0) * leftMask + passes * rightMask);
    colour = vec4(max(encode(kept) - roundDown, 0.0), 0.0, 1.0);
}
)";

// The trail's formats, best first: 16-bit floats as the desktop's buffer
// has 16 bits, through either extension that makes them renderable, and
// 8 bits, which WebGL 2 always renders into.
struct Format {
    GLenum internal, type;
    float roundDown;
};
static_assert(!EYE_COLOUR_MASK[0][2] && !EYE_COLOUR_MASK[1][2], "the trail keeps red and green only");

const Format FORMATS[] = {{GL_RGBA16F, GL_HALF_FLOAT, 0}, {GL_RGBA8, GL_UNSIGNED_BYTE, 0.5f / 255}};

GLuint copyProgram, trailProgram, copyVertices;
// An exploding frame's passes, with their depth buffer; the accumulation
// buffer, in two textures that take turns.
GLuint sceneFramebuffer, sceneTexture, sceneDepth;
GLuint trailFramebuffer, trailTextures[2];
int trailNow = 0;
bool halfFloat;
GLint roundDownAt;
int width, height;

// A texture the size of the canvas.
void allocate(GLuint texture, GLenum format, GLenum type)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, GL_RGBA, type, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

// Both of the trail's textures in format, cleared, if the browser completes
// a framebuffer of each; with the trail framebuffer bound.
bool allocateTrail(const Format& format)
{
    for (GLuint texture : trailTextures) {
        allocate(texture, format.internal, format.type);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            return false;
        }
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glUseProgram(trailProgram);
    glUniform1f(roundDownAt, format.roundDown);
    return true;
}

// A pass over the whole target with the program in use, which reads the
// textures bound to units 0 and 1.
void overWindow()
{
    glDisable(GL_DEPTH_TEST);
    glBindVertexArray(copyVertices);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glEnable(GL_DEPTH_TEST);
}

}  // namespace

bool trailSetUp()
{
    copyProgram = linkProgram(COPY_VERTEX, COPY_FRAGMENT);
    trailProgram = linkProgram(COPY_VERTEX, TRAIL_FRAGMENT);
    if (copyProgram == 0 || trailProgram == 0) {
        return false;
    }
    // Samplers read unit 0 unless told otherwise.
    glUseProgram(trailProgram);
    glUniform1i(glGetUniformLocation(trailProgram, "trail"), 1);
    glUniform1f(glGetUniformLocation(trailProgram, "m"), trailKeep());
    roundDownAt = glGetUniformLocation(trailProgram, "roundDown");
    const bool* left = EYE_COLOUR_MASK[0];
    const bool* right = EYE_COLOUR_MASK[1];
    glUniform2f(glGetUniformLocation(trailProgram, "leftMask"), left[0], left[1]);
    glUniform2f(glGetUniformLocation(trailProgram, "rightMask"), right[0], right[1]);
    glGenVertexArrays(1, &copyVertices);

    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_get_current_context();
    halfFloat = emscripten_webgl_enable_extension(context, "EXT_color_buffer_float") ||
                emscripten_webgl_enable_extension(context, "EXT_color_buffer_half_float");
    glGenFramebuffers(1, &sceneFramebuffer);
    glGenTextures(1, &sceneTexture);
    glGenRenderbuffers(1, &sceneDepth);
    glGenFramebuffers(1, &trailFramebuffer);
    glGenTextures(2, trailTextures);
    return true;
}

void trailRelease()
{
    glDeleteProgram(copyProgram);
    glDeleteProgram(trailProgram);
    copyProgram = trailProgram = 0;
    glDeleteVertexArrays(1, &copyVertices);
    const GLuint framebuffers[] = {sceneFramebuffer, trailFramebuffer};
    glDeleteFramebuffers(2, framebuffers);
    const GLuint textures[] = {sceneTexture, trailTextures[0], trailTextures[1]};
    glDeleteTextures(3, textures);
    glDeleteRenderbuffers(1, &sceneDepth);
}

bool trailResize(int newWidth, int newHeight)
{
    width = newWidth;
    height = newHeight;
    allocate(sceneTexture, GL_RGBA8, GL_UNSIGNED_BYTE);
    glBindRenderbuffer(GL_RENDERBUFFER, sceneDepth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindFramebuffer(GL_FRAMEBUFFER, sceneFramebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, sceneTexture, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, sceneDepth);
    const bool scene = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    // A new buffer starts cleared, in the best format the browser completes.
    glBindFramebuffer(GL_FRAMEBUFFER, trailFramebuffer);
    const bool trail = (halfFloat && allocateTrail(FORMATS[0])) || allocateTrail(FORMATS[1]);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    // A canvas without area has nothing to draw, and no complete buffers.
    return (scene && trail) || width == 0 || height == 0;
}

void trailBegin()
{
    glBindFramebuffer(GL_FRAMEBUFFER, sceneFramebuffer);
}

void trailShow(bool fade)
{
    if (fade) {
        // The accumulation buffer's multiply, accumulate and return after
        // each eye pass, into the texture whose turn it is.
        glBindFramebuffer(GL_FRAMEBUFFER, trailFramebuffer);
        glFramebufferTexture2D(
            GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, trailTextures[1 - trailNow], 0);
        glActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, trailTextures[trailNow]);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, sceneTexture);
        glUseProgram(trailProgram);
        overWindow();
        trailNow = 1 - trailNow;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, fade ? trailTextures[trailNow] : sceneTexture);
    glUseProgram(copyProgram);
    overWindow();
}
