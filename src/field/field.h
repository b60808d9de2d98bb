// The quad field: 50 x 50 tiles, the explosion flag, and the operations that
// start an explosion and move each quad through it. No OpenGL in here.
#ifndef ZARV_FIELD_H
#define ZARV_FIELD_H

// Quads per side of the grid.
constexpr int GRID_SIZE = 50;
// Quads in the grid.
constexpr int QUAD_COUNT = GRID_SIZE * GRID_SIZE;
// Half-width of the cube, centred on the home cell of quads[0][0], that a quad
// turns back at. Scene units.
constexpr float LIMIT_BOX = 100.0f;
// Distance from home, per axis, at which a returning quad settles. Scene units.
constexpr double SETTLE_TOLERANCE = 0.05;
// Tumbling per axis per drawn frame, degrees.
constexpr float SPIN_STEP = 1.0f;
// Largest value of the 15-bit random source.
constexpr int RAND15_MAX = 32767;

// One tile. Position and velocity in scene units (per drawn frame), the
// grid's plane at z = 0; angles in degrees.
struct _quad {  // NOLINT(bugprone-reserved-identifier)
    float x, y, z;
    float vx, vy, vz;
    float rotX, rotY, rotZ;
    bool bounced;  // has turned back at the limit box
};

// The grid, indexed [col][row]; the home cell of quads[col][row] is (col, row, 0).
extern _quad quads[GRID_SIZE][GRID_SIZE];
// True while an explosion runs.
extern bool zarvMode;

// Reseeds the 15-bit random source.
void srand15(unsigned seed);
// Next value of the 15-bit random source, 0..32767.
int rand15();
// Next random value scaled to [0, 1].
double randUnit();

// New random angles (1..181 degrees) and velocity (-0.5..0.5 units per frame)
// for q, flag cleared; six draws in the order rotX, rotY, rotZ, vx, vy, vz.
// The position is left alone.
void initQuad(_quad& q);
// Starts or restarts an explosion from seed: every quad home with fresh
// random motion, drawn row by row and column by column within a row; sets
// zarvMode.
void initZarvFromSeed(unsigned seed);

// One step of flight; reverses the whole velocity once when the new position
// lies outside the limit box, and marks the quad as turned back.
void moveQuad(_quad& q);
// For a quad that has turned back and is within the tolerance of home on
// every axis: stops it, puts it exactly home and returns true.
bool settleQuad(_quad& q, int col, int row);
// One step of tumbling on all three axes.
void spinQuad(_quad& q);
// Clears zarvMode when every quad is exactly home.
void countQuadsHome();

// Where and how one quad is drawn in one eye pass: drawn at the mirror image
// of its offset from its home cell (scene units) and, unless it is home,
// tumbled by the angles (degrees).
struct _quadPlacement {  // NOLINT(bugprone-reserved-identifier)
    float drawX, drawY, drawZ;
    float rotX, rotY, rotZ;
    bool home;
};
// One quad's step in the eye pass eyeIndex (0 left, 1 right), as the frame
// routine runs it: flight in the left-eye pass, the settle test in both (the
// offsets are taken before it snaps the quad home), and tumbling in the
// left-eye pass after the angles to draw with are taken.
_quadPlacement stepQuad(_quad& q, int col, int row, int eyeIndex);
// The field's work in one eye pass of an exploding frame: every quad's step
// in the order the grid is drawn (row by row, column by column within a
// row), each placement into placements[col][row], then the completion test.
void stepEyePass(int eyeIndex, _quadPlacement placements[GRID_SIZE][GRID_SIZE]);

#endif
