// Preloaded into the program under test: counts its buffer swaps, its
// clears of the colour buffer alone (the frame routine begins each call
// with one), its glAccum and its glReadPixels calls from the outside, and
// keeps the counts in the file named by ZARV_SWAP_COUNT_FILE.
#include "counters.h"

#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

static std::uint64_t counts[COUNTERS];

static void save()
{
    static const int fd = [] {
        const char* path = std::getenv("ZARV_SWAP_COUNT_FILE");
        return path != nullptr ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
    }();
    if (fd >= 0 && pwrite(fd, counts, sizeof counts, 0) != sizeof counts) {
        std::abort();
    }
}

extern "C" void glXSwapBuffers(Display* dpy, GLXDrawable drawable)
{
    using Swap = void (*)(Display*, GLXDrawable);
    static const Swap next = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    next(dpy, drawable);
    ++counts[COUNT_SWAPS];
    save();
}

extern "C" void glClear(GLbitfield mask)
{
    using Clear = void (*)(GLbitfield);
    static const Clear next = reinterpret_cast<Clear>(dlsym(RTLD_NEXT, "glClear"));
    next(mask);
    if (mask == GL_COLOR_BUFFER_BIT) {
        ++counts[COUNT_COLOUR_CLEARS];
        save();
    }
}

extern "C" void glAccum(GLenum op, GLfloat value)
{
    using Accum = void (*)(GLenum, GLfloat);
    static const Accum next = reinterpret_cast<Accum>(dlsym(RTLD_NEXT, "glAccum"));
    next(op, value);
    ++counts[COUNT_ACCUM];
    save();
}

extern "C" void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                             void* data)
{
    using Read = void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
    static const Read next = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "glReadPixels"));
    next(x, y, width, height, format, type, data);
    ++counts[COUNT_READ_PIXELS];
    save();
}
