// The browser's renderer: the desktop's red/green anaglyph frame in WebGL 2,
// lit as OpenGL 1.1 lights it and with the same accumulation-buffer trail.
#ifndef ZARV_WEBGL_H
#define ZARV_WEBGL_H

// Shaders, buffers and the trail's textures in the current WebGL 2 context,
// also anew after the context was lost and restored. False if the context
// cannot have them.
bool webglSetUp();
// The canvas's new size in pixels: the viewport and the trail's buffer,
// cleared, now; the projection from the next frame.
void webglResize(int width, int height);
// One drawn frame with the scene turned rotA degrees: the colour buffer
// cleared and both eye passes, running the quads' motion and the trail
// while an explosion is on.
void webglFrame(float rotA);

#endif
