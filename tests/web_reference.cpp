// The desktop renderer's frames, for the browser test to hold the page
// against, on a private Xvfb: the frame after FRAMES frames at rest, or
// after EXPLODING more of the explosion seeded SEED, drawn with the trail's
// buffer KIND (as the bench names them), written as a binary PPM. With
// --constants, what the test shares with the program and its own tests.
// Usage: web_reference WIDTH HEIGHT FRAMES OUT.ppm [SEED EXPLODING KIND]
//        web_reference --constants
#include "accum.h"
#include "field.h"
#include "render.h"
#include "support/window.h"
#include "support/xsession.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--constants") == 0) {
        std::printf("LIT %d\nFRAME_MS %u\n", LIT, FRAME_INTERVAL_MS + 1);
        return 0;
    }
    if (argc != 5 && argc != 8) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT FRAMES OUT.ppm [SEED EXPLODING KIND]\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    const std::string path = argv[4];
    const bool explode = argc == 8;
    const std::string kind = explode ? argv[7] : "visual";
    float rotA = 0;
    for (int i = std::atoi(argv[3]); i > 0; --i) {
        rotA = nextSpin(rotA);
    }
    startDesktop(width, height, false);
    openRendererWindow(argc, argv, width, height, "web reference");
    init();
    resizeView(width, height);
    glClear(GL_COLOR_BUFFER_BIT);
    if (explode) {
        accumUse(kind == "framebuffer" ? ACCUM_FRAMEBUFFER : kind == "memory" ? ACCUM_MEMORY : ACCUM_VISUAL);
        initZarvFromSeed(static_cast<unsigned>(std::atoi(argv[5])));
        for (int i = std::atoi(argv[6]); i > 0; --i) {
            glClear(GL_COLOR_BUFFER_BIT);
            drawFrame(rotA = nextSpin(rotA));
        }
    } else {
        drawFrame(rotA);
    }
    const Picture p = readGlPixels(width, height);
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        std::perror(path.c_str());
        return 1;
    }
    std::fprintf(out, "P6\n%d %d\n255\n", width, height);
    std::fwrite(p.rgb.data(), 1, p.rgb.size(), out);
    return std::fclose(out) == 0 ? 0 : 1;
}
