// Preloaded into the program under test: counts its buffer swaps from the
// outside and keeps the count in the file named by ZARV_SWAP_COUNT_FILE.
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

extern "C" void glXSwapBuffers(Display* dpy, GLXDrawable drawable)
{
    using Swap = void (*)(Display*, GLXDrawable);
    static const Swap next = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    static const int fd = [] {
        const char* path = std::getenv("ZARV_SWAP_COUNT_FILE");
        return path != nullptr ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
    }();
    static std::uint64_t swaps = 0;
    next(dpy, drawable);
    ++swaps;
    if (fd >= 0 && pwrite(fd, &swaps, sizeof swaps, 0) != sizeof swaps) {
        std::abort();
    }
}
