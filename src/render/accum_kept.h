// What the program's own accumulation buffers share, and each one's calls
// for the chooser in accum.cpp. Each kind keeps its own state in its own
// file: the framebuffer object in accum_framebuffer.cpp, the memory buffer
// in accum_memory.cpp.
#ifndef ZARV_ACCUM_KEPT_H
#define ZARV_ACCUM_KEPT_H

#include <GL/glut.h>

#include <cmath>
#include <cstring>

// Whether the space-separated list (an extension string) has the name.
inline bool hasName(const char* list, const char* name)
{
    const size_t length = std::strlen(name);
    for (const char* p = list; p != nullptr && (p = std::strstr(p, name)) != nullptr; p += length) {
        if ((p == list || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0')) {
            return true;
        }
    }
    return false;
}

// Whether the current GL context has the extension.
inline bool hasExtension(const char* name)
{
    return hasName(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), name);
}

// A quad over the whole window or framebuffer of the given size, filled,
// with the scene's matrices, lighting and depth test out of the way; the
// colour mask, texturing and blending are the caller's. Drawn with the
// colour value on every channel, texture coordinates 0..1.
inline void beginWindowQuad(int width, int height)
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
    glViewport(0, 0, width, height);
}

inline void drawWindowQuad(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    glColor4f(r, g, b, a);
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

inline void drawWindowQuad(GLfloat value)
{
    drawWindowQuad(value, value, value, value);
}

inline void endWindowQuad()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

// sRGB transfer functions on 0..1.
inline double decodeSrgb(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

inline double encodeSrgb(double l)
{
    return l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
}

// The kept buffer's size in pixels, the window's at its last operation; kept
// by accum.cpp, which sizes each kind to it before it is used.
extern int keptWidth;
extern int keptHeight;

// A frame's trail on a kept buffer, for red and green: the buffer becomes
// keep times itself plus take times the colour buffer, and is written back
// into the window's red and green. Blue and alpha are never shown.
struct _trailBlend {  // NOLINT(bugprone-reserved-identifier)
    GLfloat keep[2];
    GLfloat take[2];
};

// Whether the driver can keep the buffer in a framebuffer object at all.
// srgb, here and in memorySetUp: the window stores sRGB, so the buffer
// holds linear light.
bool framebufferSetUp(bool srgb);
// Sizes it to the window, cleared. False, with the buffer given up, when
// the driver cannot have it at that size (larger than its largest texture,
// out of memory, or incomplete).
bool framebufferResize(int width, int height);
void framebufferClear();
void framebufferTrail(const _trailBlend& blend);

// The memory buffer: red and green, 16 bits each, through glReadPixels and
// glDrawPixels.
void memorySetUp(bool srgb);
void memoryResize(int width, int height);
void memoryClear();
void memoryTrail(const _trailBlend& blend);

#endif
