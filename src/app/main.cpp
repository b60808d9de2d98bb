// Zarv: a 50 x 50 grid of tiles as a spinning red/green anaglyph wireframe.
//
// Controls:
//   any mouse button   the tiles fly apart, turn back and settle home;
//                      a press during an explosion restarts it
//   Esc                quit
#include "render.h"
#include "seed.h"

#include <GL/glut.h>

#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef _WIN32
#include <windows.h>

#include <GL/freeglut.h>

#include <cstdarg>
#include <cstdio>
#endif

static const unsigned char KEY_ESCAPE = 27;

static void reshape(int width, int height)
{
    resizeView(width, height);
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

#ifdef _WIN32
// A Windows GUI program has no console for GLUT's messages: a fatal one is
// shown in a message box and ends the process with GLUT's status 1;
// warnings (wine gives one at every start) go to the debugger's output.
static const char* programName = "zarv";

static void glutText(char* text, size_t size, const char* format, va_list args)
{
    const int prefix = std::snprintf(text, size, "freeglut (%s): ", programName);
    std::vsnprintf(text + prefix, size - prefix, format, args);
}

static void showGlutError(const char* format, va_list args)
{
    char text[1024];
    glutText(text, sizeof text, format, args);
    MessageBoxA(nullptr, text, "Zarv 1.0", MB_OK | MB_ICONERROR);
    exit(1);
}

static void logGlutWarning(const char* format, va_list args)
{
    char text[1024];
    glutText(text, sizeof text, format, args);
    OutputDebugStringA(text);
}
#endif

int main(int argc, char** argv)
{
#ifdef _WIN32
    if (argc > 0) {
        programName = argv[0];
    }
    glutInitErrorFunc(showGlutError);
    glutInitWarningFunc(logGlutWarning);
#endif
#ifdef __GLIBC__
    // Mesa's software renderer allocates and frees the same large blocks in
    // every frame. glibc's default thresholds move with the process's
    // history of large frees, and where they end up low it hands the top of
    // the heap back to the kernel after each frame and the next frame
    // faults it in again: up to a third of the frame rate, by chance of the
    // start-up. Fixed ones keep up to 256 MiB of free heap, and give only
    // blocks of 32 MiB and more mappings of their own, so that those blocks
    // stay in the heap too. Set before GLUT makes the context.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
    glutInit(&argc, argv);
    requestDisplayMode();
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
