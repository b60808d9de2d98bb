// Fixed render state, the paced two-pass anaglyph frame, and the grid drawn
// at rest or exploding with its accumulation-buffer trail.
#include "render.h"

#include "accum.h"
#include "field.h"

#include <GL/glut.h>

#include <math.h>
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

void init()
{
    glDisable(GL_DITHER);
    glClearColor(0, 0, 0, 1);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);

    const GLfloat ambient[] = {0.24f, 0.22f, 0.06f, 1.0f};
    const GLfloat diffuse[] = {0.34f, 0.31f, 0.09f, 1.0f};
    const GLfloat specular[] = {0.79f, 0.72f, 0.20f, 1.0f};
    const GLfloat shininess[] = {83.2f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, shininess);

    // Given under the identity modelview, so both lights ride with the
    // camera: 5 above and 20 behind the eyes. Red for the left eye, green
    // for the right.
    const GLfloat position[] = {0, 5, 20, 1};
    const GLfloat red[] = {1, 0, 0, 1};
    const GLfloat green[] = {0, 1, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, red);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, red);
    glLightfv(GL_LIGHT0, GL_SPECULAR, red);
    glLightfv(GL_LIGHT1, GL_POSITION, position);
    glLightfv(GL_LIGHT1, GL_AMBIENT, green);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, green);
    glLightfv(GL_LIGHT1, GL_SPECULAR, green);
    glEnable(GL_LIGHTING);

    // The visual's buffer starts the trail from whatever the new back buffer
    // holds; a kept one starts cleared once the window has a size.
    accumSetUp();
    accumClear();
    accum(GL_LOAD, 1.0f);

    initCamera();
}

void resizeView(int width, int height)
{
    glViewport(0, 0, width, height);
    ps.width = width;
    ps.height = height;
}

// Places a quad for this pass: tumbling about its displaced centre while in
// flight, flat once home. The caller has pushed the modelview matrix.
static void placeQuad(const _quadPlacement& p, int col, int row)
{
    if (!p.home) {
        float pivotX;
        float pivotY;
        quadPivot(p, col, row, pivotX, pivotY);
        glTranslatef(0.5f - pivotX, 0.5f - pivotY, 0);
        glRotatef(p.rotX, 1, 0, 0);
        glRotatef(p.rotY, 0, 1, 0);
        glRotatef(p.rotZ, 0, 0, 1);
        glTranslatef(pivotX - 0.5f, pivotY - 0.5f, 0);
    }
    glTranslatef(p.drawX, p.drawY, p.drawZ);
}

// The 2,500 quads of one eye pass: wireframe at rest, solid and moving while
// an explosion runs, when the pass's motion and completion test come first.
static void drawGrid(int eyeIndex)
{
    static _quadPlacement placements[GRID_SIZE][GRID_SIZE];
    const bool exploding = zarvMode;
    if (exploding) {
        stepEyePass(eyeIndex, placements);
    }
    for (int row = 0; row < GRID_SIZE; ++row) {
        for (int col = 0; col < GRID_SIZE; ++col) {
            if (exploding) {
                glPushMatrix();
                placeQuad(placements[col][row], col, row);
            }
            const int x = col - GRID_CENTRE;
            const int y = row - GRID_CENTRE;
            glPolygonMode(GL_FRONT_AND_BACK, exploding ? GL_FILL : GL_LINE);
            glBegin(GL_QUADS);
            glNormal3f(0, 0, 1);
            glVertex2f(x, y);
            glVertex2f(x + 1, y);
            glVertex2f(x + 1, y + 1);
            glVertex2f(x, y + 1);
            glEnd();
            if (exploding) {
                glPopMatrix();
            }
        }
    }
}

// The colour mask keeps the write-back in the pass's own channel.
void applyTrail()
{
    const float blurAmount = 0.6f;
    const float m = powf(blurAmount, 0.5f);
    accum(GL_MULT, m);
    accum(GL_ACCUM, 1 - m);
    accum(GL_RETURN, 1.0f);
}

void drawFrame(float rotA)
{
    accumWindow(ps.width, ps.height);
    for (int eyeIndex = 0; eyeIndex < 2; ++eyeIndex) {
        // Lights are never turned off again; the colour mask separates the eyes.
        glEnable(GL_LIGHT0 + eyeIndex);
        glClear(GL_DEPTH_BUFFER_BIT);
        const _eyeView v = eyeView(eyeIndex);
        if (eyeIndex == 0) {
            glColorMask(GL_TRUE, GL_FALSE, GL_FALSE, GL_TRUE);
        } else {
            glColorMask(GL_FALSE, GL_TRUE, GL_FALSE, GL_TRUE);
        }
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(v.left, v.right, v.bottom, v.top, v.nearPlane, v.farPlane);

        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(static_cast<float>(v.offset), 0, 0);
        glTranslated(0, 0, -ps.focalDistance);
        glRotatef(rotA, 0, 1, 0);

        drawGrid(eyeIndex);
        // The last quad home ends the explosion before its trail.
        if (zarvMode) {
            applyTrail();
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
