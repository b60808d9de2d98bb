// The browser's renderer: the desktop's red/green anaglyph frame in WebGL 2,
// lit as OpenGL 1.1 lights it and with the same accumulation-buffer trail.
#ifndef ZARV_WEBGL_H
#define ZARV_WEBGL_H

#include <GLES3/gl3.h>

// Shaders, buffers and the trail's textures in the current WebGL 2 context,
// also anew after the context was lost and restored. False if the context
// cannot have them.
bool webglSetUp();
// Lets go of what webglSetUp made, in a context that was lost: the browser
// has dropped it already, but the page's handles would keep it in memory.
void webglRelease();
// The canvas's new size: viewWidth x viewHeight CSS pixels, which the
// projection counts from the next frame, drawn into pixelWidth x
// pixelHeight device pixels, which the viewport and the trail's buffers,
// cleared, take now. False if the browser cannot have those buffers.
bool webglResize(int viewWidth, int viewHeight, int pixelWidth, int pixelHeight);
// One drawn frame with the scene turned rotA degrees: the colour buffer
// cleared and both eye passes, running the quads' motion and the trail
// while an explosion is on.
void webglFrame(float rotA);

#endif
