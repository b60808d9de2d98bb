// The stereo renderer: fixed GL state, the stereo camera and the paced
// red/green anaglyph frame, with the exploding quads and their trail.
#ifndef ZARV_RENDER_H
#define ZARV_RENDER_H

// Window size and stereo camera. Sizes in pixels, distances in scene units.
struct _viewParams {  // NOLINT(bugprone-reserved-identifier)
    int width;
    int height;
    double eyeOffset;      // each eye's distance from the centre
    double focalDistance;  // eyes to the grid's plane: zero parallax there
    double nearPlane;
    double farPlane;
};

extern _viewParams ps;

// Window pixels per scene unit at the focal plane.
constexpr double PIXELS_PER_INCH = 8.0;
// A frame is drawn only when more than this many milliseconds have passed
// since the last drawn frame began: at most one frame per 12 ms.
constexpr unsigned FRAME_INTERVAL_MS = 11;
// Scene spin about the vertical axis per drawn frame, degrees.
constexpr float SPIN_PER_FRAME = 0.5f;

// One-time GL state (lights, material, depth test, the trail's accumulation
// buffer) and the camera parameters. Needs a current GL context.
void init();
// The window's new size in pixels: the viewport now, the projection from
// the next drawn frame.
void resizeView(int width, int height);
// GLUT's display and idle callback: clears, sleeps about 1 ms, and draws and
// swaps one frame when the pacing allows.
void display();

// Whether a frame beginning at elapsedMs (GLUT_ELAPSED_TIME) is due after one
// that began at lastFrameMs; correct across the int wrap of the clock.
bool frameDue(int elapsedMs, int lastFrameMs);
// The scene spin after one more drawn frame: +0.5 degrees, back to 0 past 360.
float nextSpin(float rotA);
// Integer aspect factors for the frustum: the longer side over the shorter,
// truncated; 1 and 1 for square windows and when either side is 0.
void aspectFactors(int width, int height, double& xScale, double& yScale);
// Both eye passes of one frame with the scene turned rotA degrees, into the
// back buffer over whatever colour it holds; runs the quads' motion while an
// explosion is on. Leaves the full colour mask on; does not swap.
void drawFrame(float rotA);
// The trail's work after an exploding eye pass: fades the running trail,
// blends the pass into it and writes it back through the colour mask.
void applyTrail();

#endif
