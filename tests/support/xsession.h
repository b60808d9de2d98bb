// Test support: a private X server (Xvfb) with an optional window manager,
// child processes, and pixels read back from the screen or a GL buffer.
#ifndef ZARV_TESTS_XSESSION_H
#define ZARV_TESTS_XSESSION_H

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// An RGB picture, rows top to bottom.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// A channel counts as lit above this value (of 255).
constexpr int LIT = 40;
// The desktop the real program is tested on.
constexpr int SCREEN_WIDTH = 800;
constexpr int SCREEN_HEIGHT = 600;

// What a picture shows, counted per pixel.
struct PixelCounts {
    long lit = 0;        // red or green lit
    long redOnly = 0;    // red lit, green dark
    long greenOnly = 0;  // green lit, red dark
    long both = 0;       // red and green lit
};
PixelCounts countPixels(const Picture& p, int x0, int y0, int x1, int y1);
PixelCounts countPixels(const Picture& p);
// Pixels in dim red, lit but not above LIT: the trail's fading light, where
// the solid quads are lit brightly.
long dimRedPixels(const Picture& p);

// Starts Xvfb with one screen of the given size on a free display, with
// openbox managing it if windowManager, through tools/xvfb-desktop.sh;
// points DISPLAY at it, and stops both when the test program exits.
void startDesktop(int width, int height, bool windowManager);
// Whether the tests run under weston's headless backend with its Xwayland
// (ZARV_TEST_DESKTOP=weston), whose root window cannot be read back and
// whose pointer XTEST cannot move.
bool onWeston();
// Whether the display's GLX offers any config with an accumulation buffer:
// Mesa 22 does on Xvfb, Mesa 25 on none, nor Xwayland on a GPU.
bool accumulationVisuals();
// Runs the test program's tests on a private X server of the screen's size
// with openbox managing it, or under weston; returns RUN_ALL_TESTS's result.
int runTestsOnDesktop(int argc, char** argv);

// For MESA_EXTENSION_OVERRIDE: a driver without framebuffer objects.
constexpr const char* NO_FRAMEBUFFER_OBJECTS = "-GL_ARB_framebuffer_object -GL_EXT_framebuffer_object";

// Frames swapped so far by a program run with the preloaded swap counter
// (LD_PRELOAD of swap_counter, ZARV_SWAP_COUNT_FILE=file); 0 before its first.
std::uint64_t swapCount(const std::string& file);
// Calls of its frame routine so far, under the same counter: its clears of
// the colour buffer alone, of which the trail's framebuffer object adds a
// few, at start-up and at each resize.
std::uint64_t frameCallCount(const std::string& file);
// Its glAccum calls so far, under the same counter.
std::uint64_t accumCallCount(const std::string& file);
// Its glReadPixels calls so far: the trail kept in memory reads the window.
std::uint64_t readPixelsCallCount(const std::string& file);

// Starts a program with the current environment; its output goes to the
// test's own unless quiet. Aborts the test program if it cannot start.
pid_t spawn(const std::vector<std::string>& argv, bool quiet = false);
// The same with variables added to its environment ("NAME=value") and its
// standard error written to errorFile.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            const std::string& errorFile);
// Waits up to timeoutMs for the process to end. Returns false if it has not;
// otherwise stores its waitpid status.
bool waitExit(pid_t pid, int timeoutMs, int& status);
// Whether the process is still running (and not a zombie).
bool running(pid_t pid);
// Runs a command to completion and returns its exit status, -1 if killed.
int run(const std::vector<std::string>& argv);
// Runs xdotool with these arguments: keys and buttons pressed through the X
// server, as a user would. Fails the test if it fails.
void xdotool(const std::vector<std::string>& args);

// The X window whose title is exactly name, or 0 if none within timeoutMs.
unsigned long findWindow(const std::string& name, int timeoutMs);
// Whether no window has that title any more within timeoutMs.
bool waitWindowGone(const std::string& name, int timeoutMs);
// The window's position on the root window and its size; -1, -1, 0, 0 if
// it no longer exists.
void windowGeometry(unsigned long window, int& x, int& y, int& width, int& height);
// Asks the window manager to make the window full screen or not.
void setFullScreen(unsigned long window, bool on);
// Whether the window manager has the window in its full-screen state.
bool fullScreenState(unsigned long window);
// Asks for a new window size.
void resizeWindow(unsigned long window, int width, int height);
// Resident memory of a process, KiB.
long residentKiB(pid_t pid);
// The whole screen as it is now.
Picture grabScreen();
// The window's own pixels as they are now.
Picture grabWindow(unsigned long window);
// The current GL read buffer of the given size.
Picture readGlPixels(int width, int height);

void sleepMs(int ms);

#endif
