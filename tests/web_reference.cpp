// The desktop renderer's frame at a given size and spin, for the browser
// test to hold the page against: one frame at rest on a private Xvfb,
// written as a binary PPM.
// Usage: web_reference WIDTH HEIGHT ROT_A OUT.ppm
#include "render.h"
#include "support/xsession.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT ROT_A OUT.ppm\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    startDesktop(width, height, false);
    glutInit(&argc, argv);
    requestDisplayMode();
    glutInitWindowSize(width, height);
    glutCreateWindow("web reference");
    glutDisplayFunc([] {});
    for (int i = 0; i < 20; ++i) {
        glutMainLoopEvent();
        sleepMs(5);
    }
    init();
    resizeView(width, height);
    glClear(GL_COLOR_BUFFER_BIT);
    drawFrame(static_cast<float>(std::atof(argv[3])));
    const Picture p = readGlPixels(width, height);
    FILE* out = std::fopen(argv[4], "wb");
    if (out == nullptr) {
        std::perror(argv[4]);
        return 1;
    }
    std::fprintf(out, "P6\n%d %d\n255\n", width, height);
    std::fwrite(p.rgb.data(), 1, p.rgb.size(), out);
    return std::fclose(out) == 0 ? 0 : 1;
}
