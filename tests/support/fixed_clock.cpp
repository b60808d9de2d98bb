// Preloaded into the program under test: GLUT's clock moves 12 ms a buffer
// swap and stands still between swaps, so every call of the frame routine
// draws; after ZARV_PRESS_AT swaps the program's mouse callback gets a left
// press in the window's middle; each swapped frame goes to the file
// ZARV_FRAMES_FILE as a binary PPM image, bottom row first, and after
// ZARV_FRAMES swaps the program ends with status 0. The same frames from the
// same binary, whatever the machine's speed or the host that emulates it.
#include <GL/freeglut.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

static int swaps = 0;
static void (*mouse)(int, int, int, int) = nullptr;

static int setting(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::atoi(value) : 0;
}

extern "C" int glutGet(GLenum query)
{
    using Get = int (*)(GLenum);
    static const Get next = reinterpret_cast<Get>(dlsym(RTLD_NEXT, "glutGet"));
    return query == GLUT_ELAPSED_TIME ? 1000 + 12 * swaps : next(query);
}

extern "C" void glutMouseFunc(void (*callback)(int, int, int, int))
{
    using MouseFunc = void (*)(void (*)(int, int, int, int));
    static const MouseFunc next = reinterpret_cast<MouseFunc>(dlsym(RTLD_NEXT, "glutMouseFunc"));
    mouse = callback;
    next(callback);
}

extern "C" void glutSwapBuffers()
{
    using Swap = void (*)();
    static const Swap next = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glutSwapBuffers"));
    static const char* const path = std::getenv("ZARV_FRAMES_FILE");
    static std::FILE* out = path != nullptr ? std::fopen(path, "wb") : nullptr;
    const int width = glutGet(GLUT_WINDOW_WIDTH);
    const int height = glutGet(GLUT_WINDOW_HEIGHT);
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    if (out == nullptr || std::fprintf(out, "P6\n%d %d\n255\n", width, height) < 0 ||
        std::fwrite(rgb.data(), 1, rgb.size(), out) != rgb.size()) {
        std::abort();
    }
    next();
    if (++swaps == setting("ZARV_PRESS_AT") && mouse != nullptr) {
        mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, width / 2, height / 2);
    }
    if (swaps == setting("ZARV_FRAMES")) {
        std::fclose(out);
        std::exit(0);
    }
}
