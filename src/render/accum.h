// The accumulation buffer behind the motion trail: the visual's own, or one
// the program keeps where that is faster (Mesa, GPU or not) or where the
// visual has none (Mesa 25 offers none on any display, nor do Xwayland on a
// GPU, XQuartz and some Windows drivers).
#ifndef ZARV_ACCUM_H
#define ZARV_ACCUM_H

#include <GL/glut.h>

// Where the accumulation buffer lives.
enum AccumKind {
    ACCUM_VISUAL,       // the visual's own, through glAccum
    ACCUM_FRAMEBUFFER,  // a 16-bit texture in a framebuffer object, on the GPU
    ACCUM_MEMORY,       // red and green, 16 bits each, in memory, via glReadPixels and glDrawPixels
};

// Chooses once: accumDefault for the current context's visual, and memory
// where that is a framebuffer object the driver cannot have.
void accumSetUp();
// The buffer to try first, on the current context's renderer, for a visual
// with (visualBuffer) or without a buffer of its own: where Mesa says it
// draws on a GPU a framebuffer object, where it says it draws in software
// memory; where there is no answer the visual's, or a framebuffer object
// where the visual has none.
AccumKind accumDefault(bool visualBuffer);
// Uses the given kind from now on, over a cleared buffer; for measuring and
// comparing them. Needs a current context that can do it.
void accumUse(AccumKind kind);
// The window's size in pixels, which a kept buffer covers; taken at its
// next operation. A framebuffer object the driver cannot have at that size
// (larger than its textures, out of memory) is given up for memory.
void accumWindow(int width, int height);

// glClear(GL_ACCUM_BUFFER_BIT) on the chosen buffer.
void accumClear();
// The visual's buffer loaded with the colour buffer as it is, as at
// start-up; a kept one starts cleared once the window has a size.
void accumLoad();
// The trail of one exploding eye pass, keeping m of the buffer: GL_MULT by
// m, GL_ACCUM of 1 - m and GL_RETURN of 1 through the pass's colour mask.
// The visual's buffer does just that; a kept one does a frame's two passes
// at once after the right eye's (eyeIndex 1), with the same picture.
void accumTrail(int eyeIndex, GLfloat m);

#endif
