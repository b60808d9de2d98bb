// Fixed render state, the paced two-pass anaglyph frame, and the grid drawn
// at rest or exploding with its accumulation-buffer trail.
#include "render.h"

#include "accum.h"
#include "field.h"

#include <GL/glut.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#include <thread>
#endif

void requestDisplayMode()
{
    const unsigned mode = GLUT_RGBA | GLUT_DOUBLE | GLUT_ACCUM | GLUT_DEPTH;
    glutInitDisplayMode(mode);
    if (!glutGet(GLUT_DISPLAY_MODE_POSSIBLE)) {
        glutInitDisplayMode(mode & ~GLUT_ACCUM);
    }
}

// The triangles of an exploding pass's quads, made once.
static GLushort triangles[QUAD_COUNT * QUAD_TRIANGLE_INDICES];

void init()
{
    glDisable(GL_DITHER);
    glClearColor(0, 0, 0, 1);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);

    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, MATERIAL_AMBIENT);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, MATERIAL_DIFFUSE);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, MATERIAL_SPECULAR);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, &MATERIAL_SHININESS);

    // Given under the identity modelview, so both lights ride with the camera.
    for (int eyeIndex = 0; eyeIndex < 2; ++eyeIndex) {
        const GLenum light = GL_LIGHT0 + eyeIndex;
        glLightfv(light, GL_POSITION, LIGHT_POSITION);
        glLightfv(light, GL_AMBIENT, LIGHT_COLOUR[eyeIndex]);
        glLightfv(light, GL_DIFFUSE, LIGHT_COLOUR[eyeIndex]);
        glLightfv(light, GL_SPECULAR, LIGHT_COLOUR[eyeIndex]);
    }
    glEnable(GL_LIGHTING);

    // The visual's buffer starts the trail from whatever the new back buffer
    // holds; a kept one starts cleared once the window has a size.
    accumSetUp();
    accumClear();
    accumLoad();

    initCamera();
    quadTriangles(triangles);
}

void resizeView(int width, int height)
{
    glViewport(0, 0, width, height);
    ps.width = width;
    ps.height = height;
}

// The 2,500 quads of one eye pass: wireframe at rest, quad by quad; solid
// and moving while an explosion runs, when the pass's motion and completion
// test come first. Then the quads, placed in the scene here, go to OpenGL
// in one draw: a draw per quad, each under its own matrix, costs a flush
// of the pipeline each.
static void drawGrid(int eyeIndex)
{
    if (zarvMode) {
        static _quadPlacement placements[GRID_SIZE][GRID_SIZE];
        static _vertex vertices[QUAD_COUNT * QUAD_CORNERS];
        stepEyePass(eyeIndex, placements);
        placeQuads(placements, vertices);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glVertexPointer(3, GL_FLOAT, sizeof(_vertex), &vertices[0].x);
        glNormalPointer(GL_FLOAT, sizeof(_vertex), &vertices[0].nx);
        glDrawElements(GL_TRIANGLES, QUAD_COUNT * QUAD_TRIANGLE_INDICES, GL_UNSIGNED_SHORT, triangles);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        return;
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    for (int row = 0; row < GRID_SIZE; ++row) {
        for (int col = 0; col < GRID_SIZE; ++col) {
            drawTile(col, row);
        }
    }
}

void drawTile(int col, int row)
{
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    for (int c = 0; c < QUAD_CORNERS; ++c) {
        glVertex2f(static_cast<float>(col - GRID_CENTRE + CORNER_X[c]),
                   static_cast<float>(row - GRID_CENTRE + CORNER_Y[c]));
    }
    glEnd();
}

void setUpEye(int eyeIndex, float rotA)
{
    const bool* mask = EYE_COLOUR_MASK[eyeIndex];
    glColorMask(mask[0], mask[1], mask[2], mask[3]);
    const _eyeView v = eyeView(eyeIndex);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(v.left, v.right, v.bottom, v.top, v.nearPlane, v.farPlane);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(static_cast<float>(v.offset), 0, 0);
    glTranslated(0, 0, -ps.focalDistance);
    glRotatef(rotA, 0, 1, 0);
}

void drawFrame(float rotA, bool trail)
{
    accumWindow(ps.width, ps.height);
    for (int eyeIndex = 0; eyeIndex < 2; ++eyeIndex) {
        // Lights are never turned off again; the colour mask separates the eyes.
        glEnable(GL_LIGHT0 + eyeIndex);
        glClear(GL_DEPTH_BUFFER_BIT);
        setUpEye(eyeIndex, rotA);
        drawGrid(eyeIndex);
        // The last quad home ends the explosion before its trail.
        if (zarvMode && trail) {
            accumTrail(eyeIndex, trailKeep());
        }
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void display()
{
    static int cTime = 0;
    static float rotA = 0;

    glClear(GL_COLOR_BUFFER_BIT);
#ifdef _WIN32
    SleepEx(1, FALSE);
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
#endif
    if (!frameDue(glutGet(GLUT_ELAPSED_TIME), cTime)) {
        return;
    }
    cTime = glutGet(GLUT_ELAPSED_TIME);
    rotA = nextSpin(rotA);
    drawFrame(rotA);
    glutSwapBuffers();
}
