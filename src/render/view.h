// The stereo camera and the frame's decisions that need no GL: pacing, the
// scene's spin, the aspect factors and each eye's off-axis frustum. Every
// renderer of the scene takes them from here.
#ifndef ZARV_VIEW_H
#define ZARV_VIEW_H

#include "field.h"

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

// The camera's fixed parameters in ps: eyes 1 unit either side of the
// centre, the grid's plane 50 in front, clipping at 4 and 100.
void initCamera();

// Whether a frame beginning at elapsedMs (GLUT_ELAPSED_TIME) is due after one
// that began at lastFrameMs; correct across the int wrap of the clock.
bool frameDue(int elapsedMs, int lastFrameMs);
// The scene spin after one more drawn frame: +0.5 degrees, back to 0 past 360.
float nextSpin(float rotA);
// Integer aspect factors for the frustum: the longer side over the shorter,
// truncated; 1 and 1 for square windows and when either side is 0.
void aspectFactors(int width, int height, double& xScale, double& yScale);

// One eye's view for the window in ps: the scene is shifted offset units
// along x (+1 for the left eye, -1 for the right) and seen through the
// frustum given by the rest, as glFrustum takes it.
struct _eyeView {  // NOLINT(bugprone-reserved-identifier)
    int offset;
    double left, right, bottom, top, nearPlane, farPlane;
};
// The view of eye pass eyeIndex (0 left, 1 right).
_eyeView eyeView(int eyeIndex);

// Column and row of the cell whose corner sits on the spin axis: the grid is
// drawn centred on it, quads[col][row] as the unit square from
// (col - GRID_CENTRE, row - GRID_CENTRE).
constexpr int GRID_CENTRE = GRID_SIZE / 2;
// A quad in flight, placed by p, turns about its displaced centre taken in
// the grid's plane, (0.5 - pivotX, 0.5 - pivotY, 0): its model transform is
// T(0.5 - pivot) Rx(rotX) Ry(rotY) Rz(rotZ) T(pivot - 0.5) T(drawX, drawY,
// drawZ), with pivot = (pivotX, pivotY, 0). Scene units.
void quadPivot(const _quadPlacement& p, int col, int row, float& pivotX, float& pivotY);

#endif
