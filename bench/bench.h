// What the frame benchmarks share: their arguments, and the display they
// draw on, a private Xvfb by default or the one BENCH_DISPLAY names, to
// measure on the user's own GPU.
#ifndef ZARV_BENCH_H
#define ZARV_BENCH_H

#include <cstdio>
#include <cstdlib>
#include <string>

// WIDTH HEIGHT [visual|gpu|framebuffer|memory|default|hidden]: the window's size
// and the trail's buffer, the visual's by default. False, with the usage
// printed, for anything else.
inline bool benchArguments(int argc, char** argv, int& width, int& height, std::string& kind)
{
    kind = argc == 4 ? argv[3] : "visual";
    if ((argc != 3 && argc != 4) || (kind != "visual" && kind != "gpu" && kind != "framebuffer" &&
                                     kind != "memory" && kind != "default" && kind != "hidden")) {
        std::fprintf(
            stderr, "usage: %s WIDTH HEIGHT [visual|gpu|framebuffer|memory|default|hidden]\n", argv[0]);
        return false;
    }
    width = std::atoi(argv[1]);
    height = std::atoi(argv[2]);
    return true;
}

// frame_cost's exit status where the display has no accumulation visual,
// so that the visual's buffer, and the framebuffer object in its place,
// cannot be measured there.
constexpr int NO_ACCUMULATION_VISUAL = 3;

// Points DISPLAY at BENCH_DISPLAY and returns true if it is set.
inline bool useBenchDisplay()
{
    const char* display = std::getenv("BENCH_DISPLAY");
    if (display == nullptr || *display == '\0') {
        return false;
    }
    setenv("DISPLAY", display, 1);
    return true;
}

#endif
