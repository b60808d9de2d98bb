// Preloaded into the program under test: a GLX without accumulation buffers,
// as Xwayland's is. Asking for one finds no config; any other request gets
// only the configs that have none.
#include <GL/glx.h>
#include <dlfcn.h>

extern "C" GLXFBConfig* glXChooseFBConfig(Display* dpy, int screen, const int* attribs, int* count)
{
    using Choose = GLXFBConfig* (*)(Display*, int, const int*, int*);
    static const Choose next = reinterpret_cast<Choose>(dlsym(RTLD_NEXT, "glXChooseFBConfig"));
    for (const int* a = attribs; a != nullptr && a[0] != None; a += 2) {
        const bool accum = a[0] == GLX_ACCUM_RED_SIZE || a[0] == GLX_ACCUM_GREEN_SIZE ||
                           a[0] == GLX_ACCUM_BLUE_SIZE || a[0] == GLX_ACCUM_ALPHA_SIZE;
        if (accum && a[1] > 0) {
            *count = 0;
            return nullptr;
        }
    }
    GLXFBConfig* configs = next(dpy, screen, attribs, count);
    int kept = 0;
    for (int i = 0; configs != nullptr && i < *count; ++i) {
        int bits = 0;
        glXGetFBConfigAttrib(dpy, configs[i], GLX_ACCUM_RED_SIZE, &bits);
        if (bits == 0) {
            configs[kept++] = configs[i];
        }
    }
    *count = kept;
    return configs;
}
