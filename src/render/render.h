// The stereo renderer: fixed GL state and the paced red/green anaglyph
// frame, with the exploding quads and their trail.
#ifndef ZARV_RENDER_H
#define ZARV_RENDER_H

#include "view.h"

// Asks GLUT for the window's buffers: double-buffered RGBA with depth, and
// the accumulation buffer where the display can give one (the trail keeps
// its own where it cannot). After glutInit, before the window is created.
void requestDisplayMode();
// One-time GL state (lights, material, depth test, the trail's accumulation
// buffer) and the camera parameters. Needs a current GL context.
void init();
// The window's new size in pixels: the viewport now, the projection from
// the next drawn frame.
void resizeView(int width, int height);
// GLUT's display and idle callback: clears, sleeps about 1 ms, and draws and
// swaps one frame when the pacing allows.
void display();

// Both eye passes of one frame with the scene turned rotA degrees, into the
// back buffer over whatever colour it holds; runs the quads' motion while an
// explosion is on. Leaves the full colour mask on; does not swap. Without
// the trail (trail false) for measuring the scene alone.
void drawFrame(float rotA, bool trail = true);
// Eye pass eyeIndex's colour mask, projection and modelview, with the scene
// turned rotA degrees; leaves the modelview matrix current.
void setUpEye(int eyeIndex, float rotA);
// Quad quads[col][row] as it lies at rest in the modelview's frame, facing
// +z: its outline or its face, as the polygon mode says.
void drawTile(int col, int row);

#endif
