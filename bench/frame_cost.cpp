// Cost of one drawn frame on a private Xvfb (or full screen on the display
// BENCH_DISPLAY names), split into the two eye passes and the trail's
// accumulation-buffer work. The GL pipeline is finished between sections so
// each is timed on its own.
// Usage: frame_cost WIDTH HEIGHT [visual|gpu|framebuffer|memory]
// (the accumulation buffer used, gpu and framebuffer both the framebuffer
// object; prints: rest_ms exploding_ms trail_ms swap_ms). On a display
// without accumulation visuals, visual and gpu end with
// NO_ACCUMULATION_VISUAL.
#include "accum.h"
#include "bench.h"
#include "field.h"
#include "render.h"
#include "support/window.h"
#include "support/xsession.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

static double medianMs(int runs, const std::function<void()>& section)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        glFinish();
        const auto begin = std::chrono::steady_clock::now();
        section();
        glFinish();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

int main(int argc, char** argv)
{
    int width, height;
    std::string kind;
    if (!benchArguments(argc, argv, width, height, kind)) {
        return 2;
    }
    const bool userDisplay = useBenchDisplay();
    if (!userDisplay) {
        startDesktop(width, height, false);
    }
    openRendererWindow(argc, argv, width, height, "frame cost");
    if (userDisplay) {
        glutFullScreen();
        for (int i = 0; i < 400 && glutGet(GLUT_WINDOW_WIDTH) != width; ++i) {
            glutMainLoopEvent();
            sleepMs(5);
        }
    }
    glutSwapBuffers();
    GLint accumBits = 0;
    glGetIntegerv(GL_ACCUM_RED_BITS, &accumBits);
    if (accumBits == 0 && (kind == "visual" || kind == "gpu")) {
        std::fprintf(stderr, "frame_cost: the display has no accumulation visual\n");
        return NO_ACCUMULATION_VISUAL;
    }
    init();
    resizeView(width, height);
    accumUse(kind == "framebuffer" || kind == "gpu" ? ACCUM_FRAMEBUFFER
             : kind == "memory"                     ? ACCUM_MEMORY
                                                    : ACCUM_VISUAL);

    const int runs = 41;
    float rotA = 0;
    const double rest = medianMs(runs, [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        drawFrame(rotA = nextSpin(rotA));
    });
    initZarvFromSeed(7);
    const double exploding = medianMs(runs, [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        drawFrame(rotA = nextSpin(rotA));
    });
    // The trail's share: its work for both eye passes alone.
    const double trail = medianMs(runs, [] {
        for (int eye = 0; eye < 2; ++eye) {
            glColorMask(eye == 0, eye == 1, GL_FALSE, GL_TRUE);
            applyTrail();
        }
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    });
    const double swap = medianMs(runs, [] { glutSwapBuffers(); });
    std::printf("%.2f %.2f %.2f %.2f\n", rest, exploding, trail, swap);
    return 0;
}
