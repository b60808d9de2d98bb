// Test support: Xvfb, openbox, child processes and pixel read-back.
#include "xsession.h"

#include "counters.h"

// Before Xlib, whose macros (None, Bool, Status) would break it.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

static std::vector<pid_t> services;

static void stopServices()
{
    for (auto it = services.rbegin(); it != services.rend(); ++it) {
        kill(*it, SIGTERM);
        int status;
        waitpid(*it, &status, 0);
    }
    services.clear();
}

static void fail(const std::string& what)
{
    std::fprintf(stderr, "test setup: %s\n", what.c_str());
    stopServices();
    std::exit(2);
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

static pid_t spawnWith(const std::vector<std::string>& argv, bool quiet,
                       const std::vector<std::string>& extraEnv, const std::string& errorFile)
{
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    // The added variables take the place of inherited ones of the same
    // name: the dynamic loader would take an inherited LD_PRELOAD after them.
    std::vector<char*> env;
    env.reserve(extraEnv.size());
    for (const auto& e : extraEnv) {
        env.push_back(const_cast<char*>(e.c_str()));
    }
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string name(*e, std::strcspn(*e, "=") + 1);
        bool replaced = false;
        for (const auto& added : extraEnv) {
            replaced = replaced || added.rfind(name, 0) == 0;
        }
        if (!replaced) {
            env.push_back(*e);
        }
    }
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    } else if (!errorFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        fail("cannot start " + argv[0]);
    }
    return pid;
}

pid_t spawn(const std::vector<std::string>& argv, bool quiet)
{
    return spawnWith(argv, quiet, {}, "");
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            const std::string& errorFile)
{
    return spawnWith(argv, false, extraEnv, errorFile);
}

// Polls ready until it holds, for at most timeoutMs; whether it held.
static bool waitFor(int timeoutMs, const std::function<bool()>& ready)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        sleepMs(20);
    }
    return true;
}

bool waitExit(pid_t pid, int timeoutMs, int& status)
{
    return waitFor(timeoutMs, [&] { return waitpid(pid, &status, WNOHANG) == pid; });
}

bool running(pid_t pid)
{
    int status;
    return waitpid(pid, &status, WNOHANG) == 0;
}

int run(const std::vector<std::string>& argv)
{
    const pid_t pid = spawn(argv);
    int status;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void xdotool(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    EXPECT_EQ(run(argv), 0) << "xdotool " << args[0];
}

void startDesktop(int width, int height, bool windowManager)
{
    int fds[2];
    if (pipe(fds) != 0) {
        fail("pipe");
    }
    // The script prints the display's number on the pipe once the desktop is
    // up, and ends it at SIGTERM.
    const std::string command = std::string(ZARV_SOURCE_DIR "/tools/xvfb-desktop.sh ") +
                                std::to_string(width) + "x" + std::to_string(height) +
                                (windowManager ? "" : " bare") + " >&" + std::to_string(fds[1]);
    services.push_back(spawn({"sh", "-c", "exec " + command}));
    std::atexit(stopServices);
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        fail("no desktop: Xvfb or openbox did not start");
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
}

static int (*defaultXErrorHandler)(Display*, XErrorEvent*) = nullptr;

// Other clients' windows can be destroyed between listing them and asking
// about them (a program quitting, openbox dropping its frame); the request
// then fails and the caller sees the failure. Anything else is a fault.
static int onXError(Display* dpy, XErrorEvent* error)
{
    if (error->error_code == BadWindow) {
        return 0;
    }
    return defaultXErrorHandler(dpy, error);
}

static Display* display()
{
    static Display* dpy = nullptr;
    if (dpy == nullptr) {
        dpy = XOpenDisplay(nullptr);
        if (dpy == nullptr) {
            fail("cannot open the X display");
        }
        defaultXErrorHandler = XSetErrorHandler(onXError);
    }
    return dpy;
}

bool onWeston()
{
    const char* desktop = std::getenv("ZARV_TEST_DESKTOP");
    return desktop != nullptr && std::string(desktop) == "weston";
}

// weston's headless backend with its Xwayland, DISPLAY pointed at that.
static void startWeston(int width, int height)
{
    static char runtime[] = "/tmp/zarv-weston-XXXXXX";
    if (mkdtemp(runtime) == nullptr) {
        fail("cannot make weston's runtime folder");
    }
    setenv("XDG_RUNTIME_DIR", runtime, 1);
    const std::string log = std::string(runtime) + "/weston.log";
    services.push_back(spawn({"weston",
                              "--backend=headless-backend.so",
                              "--xwayland",
                              "--width=" + std::to_string(width),
                              "--height=" + std::to_string(height),
                              "--log=" + log},
                             true));
    std::atexit([] { run({"rm", "-rf", runtime}); });
    std::atexit(stopServices);
    // weston logs the display its Xwayland listens on.
    const std::string listening = "xserver listening on display ";
    std::string text;
    const bool up = waitFor(20000, [&] {
        std::ifstream in(log);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return text.find(listening) != std::string::npos || !running(services.back());
    });
    if (!up || text.find(listening) == std::string::npos) {
        fail("weston did not start with its Xwayland; its log:\n" + text);
    }
    const size_t at = text.find(listening) + listening.size();
    setenv("DISPLAY", text.substr(at, text.find('\n', at) - at).c_str(), 1);
}

bool accumulationVisuals()
{
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display(), DefaultScreen(display()), &count);
    bool found = false;
    for (int i = 0; i < count && !found; ++i) {
        int bits = 0;
        glXGetFBConfigAttrib(display(), configs[i], GLX_ACCUM_RED_SIZE, &bits);
        found = bits > 0;
    }
    XFree(configs);
    return found;
}

int runTestsOnDesktop(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // CTest lists the tests at build time, with no display needed.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    if (onWeston()) {
        startWeston(SCREEN_WIDTH, SCREEN_HEIGHT);
    } else {
        startDesktop(SCREEN_WIDTH, SCREEN_HEIGHT, true);
    }
    return RUN_ALL_TESTS();
}

static std::uint64_t counterValue(const std::string& file, Counter index)
{
    std::uint64_t values[COUNTERS] = {};
    std::ifstream in(file, std::ios::binary);
    in.read(reinterpret_cast<char*>(values), sizeof values);
    return values[index];
}

std::uint64_t swapCount(const std::string& file)
{
    return counterValue(file, COUNT_SWAPS);
}

std::uint64_t frameCallCount(const std::string& file)
{
    return counterValue(file, COUNT_COLOUR_CLEARS);
}

std::uint64_t accumCallCount(const std::string& file)
{
    return counterValue(file, COUNT_ACCUM);
}

std::uint64_t readPixelsCallCount(const std::string& file)
{
    return counterValue(file, COUNT_READ_PIXELS);
}

static Window searchTree(Display* dpy, Window w, const std::string& name)
{
    char* title = nullptr;
    if (XFetchName(dpy, w, &title) != 0 && title != nullptr) {
        const bool match = name == title;
        XFree(title);
        if (match) {
            return w;
        }
    }
    Window root, parent;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(dpy, w, &root, &parent, &children, &count) != 0) {
        for (unsigned i = 0; i < count && found == 0; ++i) {
            found = searchTree(dpy, children[i], name);
        }
        if (children != nullptr) {
            XFree(children);
        }
    }
    return found;
}

unsigned long findWindow(const std::string& name, int timeoutMs)
{
    Display* dpy = display();
    Window found = 0;
    waitFor(timeoutMs, [&] {
        found = searchTree(dpy, DefaultRootWindow(dpy), name);
        return found != 0;
    });
    return found;
}

bool waitWindowGone(const std::string& name, int timeoutMs)
{
    Display* dpy = display();
    return waitFor(timeoutMs, [&] { return searchTree(dpy, DefaultRootWindow(dpy), name) == 0; });
}

void windowGeometry(unsigned long window, int& x, int& y, int& width, int& height)
{
    Display* dpy = display();
    XWindowAttributes attrs{};
    Window child;
    x = y = 0;
    if (XGetWindowAttributes(dpy, window, &attrs) == 0 ||
        !XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &x, &y, &child)) {
        x = y = -1;  // the window is gone
    }
    width = attrs.width;
    height = attrs.height;
}

void setFullScreen(unsigned long window, bool on)
{
    Display* dpy = display();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(dpy, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = on ? 1 : 0;  // add or remove
    event.xclient.data.l[1] = static_cast<long>(XInternAtom(dpy, "_NET_WM_STATE_FULLSCREEN", False));
    event.xclient.data.l[3] = 1;  // from a normal application
    XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(dpy);
}

bool fullScreenState(unsigned long window)
{
    Display* dpy = display();
    const Atom fullScreen = XInternAtom(dpy, "_NET_WM_STATE_FULLSCREEN", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(dpy,
                           window,
                           XInternAtom(dpy, "_NET_WM_STATE", False),
                           0,
                           64,
                           False,
                           XA_ATOM,
                           &type,
                           &format,
                           &count,
                           &after,
                           &data) == Success &&
        data != nullptr) {
        const Atom* states = reinterpret_cast<const Atom*>(data);
        found = std::find(states, states + count, fullScreen) != states + count;
        XFree(data);
    }
    return found;
}

void resizeWindow(unsigned long window, int width, int height)
{
    Display* dpy = display();
    XResizeWindow(dpy, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(dpy);
}

long residentKiB(pid_t pid)
{
    FILE* status = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    if (status == nullptr) {
        return -1;
    }
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmRSS: %ld kB", &kib) == 1) {
            break;
        }
    }
    std::fclose(status);
    return kib;
}

static int shiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

static Picture grab(Window window, int width, int height)
{
    Display* dpy = display();
    XSync(dpy, False);
    XImage* image = XGetImage(dpy, window, 0, 0, width, height, AllPlanes, ZPixmap);
    if (image == nullptr) {
        fail("cannot read the screen");
    }
    Picture p;
    p.width = width;
    p.height = height;
    p.rgb.resize(static_cast<size_t>(width) * height * 3);
    const int rs = shiftOf(image->red_mask), gs = shiftOf(image->green_mask), bs = shiftOf(image->blue_mask);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long v = XGetPixel(image, x, y);
            std::uint8_t* out = &p.rgb[(static_cast<size_t>(y) * width + x) * 3];
            out[0] = static_cast<std::uint8_t>((v & image->red_mask) >> rs);
            out[1] = static_cast<std::uint8_t>((v & image->green_mask) >> gs);
            out[2] = static_cast<std::uint8_t>((v & image->blue_mask) >> bs);
        }
    }
    XDestroyImage(image);
    return p;
}

Picture grabScreen()
{
    Display* dpy = display();
    return grab(DefaultRootWindow(dpy),
                DisplayWidth(dpy, DefaultScreen(dpy)),
                DisplayHeight(dpy, DefaultScreen(dpy)));
}

Picture grabWindow(unsigned long window)
{
    int x, y, width, height;
    windowGeometry(window, x, y, width, height);
    return grab(window, width, height);
}

Picture readGlPixels(int width, int height)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.rgb.resize(static_cast<size_t>(width) * height * 3);
    std::vector<std::uint8_t> rows(p.rgb.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    // GL counts rows from the bottom.
    const size_t stride = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        std::copy_n(&rows[(height - 1 - y) * stride], stride, &p.rgb[y * stride]);
    }
    return p;
}

PixelCounts countPixels(const Picture& p, int x0, int y0, int x1, int y1)
{
    PixelCounts c;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const std::uint8_t* px = p.at(x, y);
            const bool r = px[0] > LIT;
            const bool g = px[1] > LIT;
            c.lit += r || g;
            c.redOnly += r && !g;
            c.greenOnly += g && !r;
            c.both += r && g;
        }
    }
    return c;
}

PixelCounts countPixels(const Picture& p)
{
    return countPixels(p, 0, 0, p.width, p.height);
}

long dimRedPixels(const Picture& p)
{
    long count = 0;
    for (size_t i = 0; i < p.rgb.size(); i += 3) {
        count += p.rgb[i] > 0 && p.rgb[i] <= LIT;
    }
    return count;
}
