// Checks zarv.exe under wine on a private Xvfb with openbox, as a Windows
// user would see it: the full-screen window, the grid, an explosion with its
// trail after a click, and status 0 after Esc; then GLUT's fatal error in a
// message box, and status 1 once it is closed. Prints the frame rates Mesa
// counted (GALLIUM_HUD) at rest and exploding.
// Usage: wine_check ZARV_EXE (WINEPREFIX set by the caller)
#include "support/xsession.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

static int failed(const char* what)
{
    std::fprintf(stderr, "wine check: %s\n", what);
    return 1;
}

// Median of the last few frame rates Mesa wrote.
static double recentFps(const std::string& file)
{
    std::ifstream in(file);
    std::vector<double> values;
    double v;
    while (in >> v) {
        values.push_back(v);
    }
    if (values.size() > 4) {
        values.erase(values.begin(), values.end() - 4);
    }
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: wine_check ZARV_EXE\n");
        return 2;
    }
    const int width = SCREEN_WIDTH, height = SCREEN_HEIGHT;
    startDesktop(width, height, true);
    const std::string hud = "/tmp/zarv-wine-hud-" + std::to_string(getpid());
    mkdir(hud.c_str(), 0755);
    const pid_t pid = spawn(
        {"/usr/lib/wine/wine64", argv[1]},
        {"WINEDEBUG=-all", "GALLIUM_HUD=fps", "GALLIUM_HUD_VISIBLE=false", "GALLIUM_HUD_DUMP_DIR=" + hud},
        "");
    const unsigned long window = findWindow("Zarv 1.0", 60000);
    if (window == 0) {
        return failed("no window titled Zarv 1.0");
    }
    int x = -1, y = -1, w = 0, h = 0;
    for (int waited = 0; waited < 10000 && !(x == 0 && y == 0 && w == width && h == height); waited += 50) {
        sleepMs(50);
        windowGeometry(window, x, y, w, h);
    }
    if (!(x == 0 && y == 0 && w == width && h == height)) {
        return failed("the window does not cover the screen");
    }
    sleepMs(3000);
    const PixelCounts rest = countPixels(grabScreen());
    if (rest.lit < 5000 || rest.both < rest.lit / 10) {
        return failed("no red/green grid on the screen");
    }
    const double restFps = recentFps(hud + "/fps");

    run({"xdotool", "mousemove", "400", "300", "click", "1"});
    sleepMs(1500);
    const Picture boom = grabScreen();
    if (countPixels(boom).lit < 100000 || dimRedPixels(boom) < 10000) {
        return failed("a click did not explode the grid with its trail");
    }
    sleepMs(3000);
    const double explodingFps = recentFps(hud + "/fps");

    run({"xdotool", "key", "Escape"});
    int status = 0;
    if (!waitExit(pid, 10000, status)) {
        return failed("still running 10 s after Esc");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return failed("Esc did not end it with status 0");
    }
    // Without a console, a fatal GLUT error (here: -display without a
    // name) comes as a message box; closing it ends the process with 1.
    const pid_t failing = spawn({"/usr/lib/wine/wine64", argv[1], "-display"}, {"WINEDEBUG=-all"}, "");
    const unsigned long box = findWindow("Zarv 1.0", 30000);
    if (box == 0) {
        return failed("no message box for GLUT's error");
    }
    windowGeometry(box, x, y, w, h);
    if (w >= width) {
        return failed("a full-screen window instead of GLUT's error");
    }
    sleepMs(1000);
    run({"xdotool", "windowactivate", "--sync", std::to_string(box), "key", "Return"});
    if (!waitExit(failing, 10000, status)) {
        return failed("still running 10 s after GLUT's error was shown");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 1) {
        return failed("GLUT's error did not end it with status 1");
    }

    // wine's own helper processes, before the X server goes away.
    run({"/usr/lib/wine/wineserver", "-k"});
    std::remove((hud + "/fps").c_str());
    rmdir(hud.c_str());
    std::printf("wine check: passed; %.1f frames per second at rest, %.1f exploding, at %dx%d\n",
                restFps,
                explodingFps,
                width,
                height);
    return 0;
}
