// Zarv: a 50 x 50 grid of tiles as a spinning red/green anaglyph wireframe.
//
// Controls:
//   any mouse button   the tiles fly apart, turn back and settle home;
//                      a press during an explosion restarts it
//   Esc                quit
#include "field.h"
#include "render.h"

#include <GL/glut.h>

#include <cstdlib>

static const unsigned char KEY_ESCAPE = 27;

static void reshape(int width, int height)
{
    glViewport(0, 0, width, height);
    // The projection follows from these in the next drawn frame.
    ps.width = width;
    ps.height = height;
}

static void myKeyboard(unsigned char key, int /*x*/, int /*y*/)
{
    if (key == KEY_ESCAPE) {
        exit(0);
    }
}

static void mouseClick(int /*button*/, int state, int /*x*/, int /*y*/)
{
    if (state == GLUT_DOWN) {
        initZarv();
    }
    glutPostRedisplay();
}

int main(int argc, char** argv)
{
    glutInit(&argc, argv);
    // The accumulation buffer carries the explosion's motion trail. Where the
    // display has none (Xwayland, XQuartz) the renderer keeps its own.
    const unsigned mode = GLUT_RGBA | GLUT_DOUBLE | GLUT_ACCUM | GLUT_DEPTH;
    glutInitDisplayMode(mode);
    if (!glutGet(GLUT_DISPLAY_MODE_POSSIBLE)) {
        glutInitDisplayMode(mode & ~GLUT_ACCUM);
    }
    glutInitWindowSize(600, 600);
    glutInitWindowPosition(100, 100);
    glutCreateWindow("Zarv 1.0");
    glutFullScreen();

    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutMouseFunc(mouseClick);
    glutKeyboardFunc(myKeyboard);
    // display paces itself, so it can run whenever GLUT is idle.
    glutIdleFunc(display);

    init();
    glutMainLoop();
    return 0;
}
