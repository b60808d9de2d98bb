// Cost of one drawn frame on a private Xvfb (or full screen on the display
// BENCH_DISPLAY names), split into the scene and the trail's
// accumulation-buffer work, beside the floor a trail stands on at that size:
// one full-window textured quad, and one read of the window plus one
// glDrawPixels back. The GL pipeline is finished between sections so each
// is timed on its own.
// Usage: frame_cost WIDTH HEIGHT [visual|gpu|framebuffer|memory|default|hidden]
// (the accumulation buffer used, gpu and framebuffer both the framebuffer
// object, default the program's choice on this display, hidden its choice
// without a visual's buffer; prints:
// rest_ms exploding_ms scene_ms trail_ms swap_ms quad_ms read_draw_ms). On a
// display without accumulation visuals, visual and gpu end with
// NO_ACCUMULATION_VISUAL.
#include "accum.h"
#include "accum_kept.h"
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
    // default: what init chose.
    if (kind != "default") {
        accumUse(kind == "framebuffer" || kind == "gpu" ? ACCUM_FRAMEBUFFER
                 : kind == "memory"                     ? ACCUM_MEMORY
                 : kind == "hidden"                     ? accumDefault(false)
                                                        : ACCUM_VISUAL);
    }

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
    const double scene = medianMs(runs, [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        drawFrame(rotA = nextSpin(rotA), false);
    });
    // The trail's share: its work for both eye passes alone.
    const double trail = medianMs(runs, [] {
        for (int eye = 0; eye < 2; ++eye) {
            glColorMask(eye == 0, eye == 1, GL_FALSE, GL_TRUE);
            accumTrail(eye, trailKeep());
        }
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    });
    const double swap = medianMs(runs, [] { glutSwapBuffers(); });

    // The floor: the window textured onto a quad over it, and read back and
    // drawn again, as the window stores it.
    std::vector<GLubyte> pixels(static_cast<size_t>(width) * height * 4);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    const double quad = medianMs(runs, [&] {
        beginWindowQuad(width, height);
        glEnable(GL_TEXTURE_2D);
        drawWindowQuad(1);
        endWindowQuad();
    });
    const double readDraw = medianMs(runs, [&] {
        glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
        beginWindowQuad(width, height);
        glRasterPos2f(-1, -1);
        glDrawPixels(width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
        endWindowQuad();
    });
    std::printf("%.2f %.2f %.2f %.2f %.2f %.2f %.2f\n", rest, exploding, scene, trail, swap, quad, readDraw);
    return 0;
}
