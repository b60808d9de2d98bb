// Preloaded into the program under test: Mesa's renderer query answers for
// GLX_RENDERER_ACCELERATED_MESA what ZARV_RENDERER_ACCELERATED says (1 as
// a GPU driver, 0 as llvmpipe, "none" not at all, as a driver without the
// query) instead of what the renderer is. Everything else is Mesa's own.
#include <GL/glx.h>
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

static PFNGLXQUERYCURRENTRENDERERINTEGERMESAPROC mesaQuery = nullptr;

static Bool query(int attribute, unsigned int* value)
{
    const char* answer = std::getenv("ZARV_RENDERER_ACCELERATED");
    if (attribute == GLX_RENDERER_ACCELERATED_MESA && answer != nullptr) {
        *value = static_cast<unsigned>(std::atoi(answer));
        return std::strcmp(answer, "none") != 0 ? True : False;
    }
    return mesaQuery(attribute, value);
}

static __GLXextFuncPtr wrap(const char* symbol, const GLubyte* name)
{
    using Lookup = __GLXextFuncPtr (*)(const GLubyte*);
    const Lookup next = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, symbol));
    const __GLXextFuncPtr f = next(name);
    if (f != nullptr &&
        std::strcmp(reinterpret_cast<const char*>(name), "glXQueryCurrentRendererIntegerMESA") == 0) {
        mesaQuery = reinterpret_cast<PFNGLXQUERYCURRENTRENDERERINTEGERMESAPROC>(f);
        return reinterpret_cast<__GLXextFuncPtr>(query);
    }
    return f;
}

extern "C" __GLXextFuncPtr glXGetProcAddressARB(const GLubyte* name)
{
    return wrap("glXGetProcAddressARB", name);
}

extern "C" __GLXextFuncPtr glXGetProcAddress(const GLubyte* name)
{
    return wrap("glXGetProcAddress", name);
}
