// The desktop renderer's frames, for the browser test to hold the page
// against, on a private Xvfb, written as binary PPM images one after
// another: the frame after FRAMES frames at rest or, given SEED, the frames
// after each of EXPLODING... frames of the explosion seeded SEED that
// follows them. With --constants, what the test shares with the program
// and its own tests.
// Usage: web_reference WIDTH HEIGHT FRAMES OUT.ppm [SEED EXPLODING...]
//        web_reference --constants
#include "canvas.h"
#include "field.h"
#include "render.h"
#include "support/window.h"
#include "support/xsession.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--constants") == 0) {
        std::printf("LIT %d\nFRAME_MS %u\nMAX_PIXEL_RATIO %g\n", LIT, FRAME_INTERVAL_MS + 1, MAX_PIXEL_RATIO);
        return 0;
    }
    if (argc < 5 || argc == 6) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT FRAMES OUT.ppm [SEED EXPLODING...]\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    FILE* out = std::fopen(argv[4], "wb");
    if (out == nullptr) {
        std::perror(argv[4]);
        return 1;
    }
    float rotA = 0;
    for (int i = std::atoi(argv[3]); i > 0; --i) {
        rotA = nextSpin(rotA);
    }
    const unsigned seed = argc > 5 ? static_cast<unsigned>(std::atoi(argv[5])) : 0;
    std::vector<int> shown;
    for (int i = 6; i < argc; ++i) {
        shown.push_back(std::atoi(argv[i]));
    }
    startDesktop(width, height, false);
    openRendererWindow(argc, argv, width, height, "web reference");
    init();
    resizeView(width, height);
    const auto write = [&] {
        const Picture p = readGlPixels(width, height);
        std::fprintf(out, "P6\n%d %d\n255\n", width, height);
        std::fwrite(p.rgb.data(), 1, p.rgb.size(), out);
    };
    glClear(GL_COLOR_BUFFER_BIT);
    if (shown.empty()) {
        drawFrame(rotA);
        write();
    } else {
        initZarvFromSeed(seed);
        for (int frame = 1; frame <= shown.back(); ++frame) {
            glClear(GL_COLOR_BUFFER_BIT);
            drawFrame(rotA = nextSpin(rotA));
            if (std::find(shown.begin(), shown.end(), frame) != shown.end()) {
                write();
            }
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
