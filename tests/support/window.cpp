// Test support: a GLUT window for the renderer.
#include "window.h"

#include "render.h"
#include "xsession.h"

#include <GL/freeglut.h>

void openRendererWindow(int& argc, char** argv, int width, int height, const char* title)
{
    glutInit(&argc, argv);
    requestDisplayMode();
    glutInitWindowSize(width, height);
    glutCreateWindow(title);
    glutDisplayFunc([] {});
    // Until the X server has mapped it.
    for (int i = 0; i < 20; ++i) {
        glutMainLoopEvent();
        sleepMs(5);
    }
}
