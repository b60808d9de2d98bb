// What is drawn and from where, without GL: pacing, the scene's spin, the
// stereo camera with each eye's frustum and colour mask, the lights and the
// material, the trail's fade, the transforms as matrices, and the quads in
// flight placed in the scene. Both renderers take them from here.
#ifndef ZARV_VIEW_H
#define ZARV_VIEW_H

#include "field.h"

#include <cstdint>

// Window size and stereo camera. Sizes in the window's pixels (CSS pixels in
// a browser), distances in scene units.
struct _viewParams {  // NOLINT(bugprone-reserved-identifier)
    int width;
    int height;
    double eyeOffset;      // each eye's distance from the centre
    double focalDistance;  // eyes to the grid's plane: zero parallax there
    double nearPlane;
    double farPlane;
};

extern _viewParams ps;

// Window pixels (CSS pixels in a browser) per scene unit, one grid cell, at
// the focal plane, whatever the name says: the frustum's half-extent there
// is the window's size over twice this.
constexpr double PIXELS_PER_INCH = 8.0;
// A frame is drawn only when more than this many milliseconds have passed
// since the last drawn frame began: at most one frame per 12 ms.
constexpr unsigned FRAME_INTERVAL_MS = 11;
// Scene spin about the vertical axis per drawn frame, degrees.
constexpr float SPIN_PER_FRAME = 0.5f;

// Lights and material as OpenGL 1.1 takes them (r, g, b, a). Both lights
// sit 5 above and 20 behind the eyes, in eye coordinates, so they ride with
// the camera: red for the left eye's pass, green for the right's, each
// light's ambient, diffuse and specular colour alike.
inline constexpr float LIGHT_POSITION[4] = {0, 5, 20, 1};
inline constexpr float LIGHT_COLOUR[2][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}};
// Each eye pass writes only its own light's channel (r, g, b, a).
inline constexpr bool EYE_COLOUR_MASK[2][4] = {{true, false, false, true}, {false, true, false, true}};
// The tiles' material, on both faces.
inline constexpr float MATERIAL_AMBIENT[4] = {0.24f, 0.22f, 0.06f, 1.0f};
inline constexpr float MATERIAL_DIFFUSE[4] = {0.34f, 0.31f, 0.09f, 1.0f};
inline constexpr float MATERIAL_SPECULAR[4] = {0.79f, 0.72f, 0.20f, 1.0f};
inline constexpr float MATERIAL_SHININESS = 83.2f;
// OpenGL's own light-model ambient, which the desktop leaves as it is.
inline constexpr float SCENE_AMBIENT[4] = {0.2f, 0.2f, 0.2f, 1.0f};

// The trail's fade: after each exploding eye pass the accumulation buffer
// keeps trailKeep() of itself, sqrt(BLUR_AMOUNT), takes 1 - trailKeep() of
// the pass, and is written back through the pass's colour mask.
constexpr float BLUR_AMOUNT = 0.6f;
float trailKeep();

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

// A 4 x 4 matrix in single precision and OpenGL's column order, as
// glGetFloatv and glUniformMatrix4fv take it.
struct _matrix {  // NOLINT(bugprone-reserved-identifier)
    float m[16];
};
// The projection glFrustum makes of v.
_matrix eyeProjection(const _eyeView& v);
// The eye's view of the scene turned rotA degrees about the vertical axis:
// T(offset, 0, 0) T(0, 0, -focalDistance) Ry(rotA).
_matrix eyeModelview(const _eyeView& v, float rotA);

// Column and row of the cell whose corner sits on the spin axis: the grid is
// drawn centred on it, quads[col][row] as the unit square from
// (col - GRID_CENTRE, row - GRID_CENTRE).
constexpr int GRID_CENTRE = GRID_SIZE / 2;
// A quad in flight, placed by p, turns about its displaced centre taken in
// the grid's plane, (0.5 - pivotX, 0.5 - pivotY, 0). Scene units.
void quadPivot(const _quadPlacement& p, int col, int row, float& pivotX, float& pivotY);
// The model transform of quads[col][row] placed by p: T(0.5 - pivot)
// Rx(rotX) Ry(rotY) Rz(rotZ) T(pivot - 0.5) T(drawX, drawY, drawZ) in
// flight, with pivot = (pivotX, pivotY, 0); T(drawX, drawY, drawZ) at home.
_matrix quadModel(const _quadPlacement& p, int col, int row);

// A point in the scene with its normal, as both renderers hand vertices to
// their GL.
struct _vertex {  // NOLINT(bugprone-reserved-identifier)
    float x, y, z;
    float nx, ny, nz;
};
// A quad's corners in the unit cell, counter-clockwise from (0, 0) as seen
// from +z, as both renderers draw them.
constexpr int QUAD_CORNERS = 4;
inline constexpr int CORNER_X[QUAD_CORNERS] = {0, 1, 1, 0};
inline constexpr int CORNER_Y[QUAD_CORNERS] = {0, 0, 1, 1};
// Each quad's corners and normal moved by its quadModel, quad after quad in
// the order the grid is drawn (row by row, column by column within a row):
// one pass's quads as one array, for one draw.
void placeQuads(const _quadPlacement placements[GRID_SIZE][GRID_SIZE],
                _vertex vertices[QUAD_COUNT * QUAD_CORNERS]);
// Indices per quad of its two triangles.
constexpr int QUAD_TRIANGLE_INDICES = 6;
// Each quad's two triangles, v0 v1 v2 and v0 v2 v3, as indices into
// placeQuads' vertices: the diagonal Mesa splits a quad drawn on its own
// along (a long run of GL_QUADS it splits along the other, which shades
// the quads differently).
void quadTriangles(std::uint16_t indices[QUAD_COUNT * QUAD_TRIANGLE_INDICES]);

#endif
