// Zarv in a browser: the 50 x 50 grid as a spinning red/green anaglyph
// wireframe, filling the page, drawn with WebGL 2.
//
// Controls:
//   any mouse button, a wheel    the tiles fly apart, turn back and settle
//   step, or a tap               home; a press during an explosion restarts it
//   Esc                          end the demo
#include "canvas.h"
#include "field.h"
#include "view.h"
#include "webgl.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

static const char* const CANVAS = "#canvas";

// The page's clock when the demo started: elapsed times count from it, as
// GLUT's count from its start on the desktop.
static double startMs = 0;
static EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
static int cTime = 0;
static float rotA = 0;
static bool contextLost = false;
static bool ended = false;
// Whether the canvas has been fitted to the window since it last changed,
// and the device pixel ratio it was fitted to.
static bool fitted = false;
static double fittedRatio = 0;
// A canvas of no area, as in a collapsed layout, draws nothing at all.
static bool noArea = false;

// Milliseconds since the demo started, as GLUT counts them: an int that
// wraps after about 24.8 days, which the pacing allows for.
static int elapsedMs()
{
    const auto ms = static_cast<std::uint64_t>(emscripten_get_now() - startMs);
    return static_cast<int>(static_cast<std::uint32_t>(ms));
}

// Shows text over the page, in place of the demo.
EM_JS(void, showMessage, (const char* text), {
    const message = document.getElementById('message');
    message.textContent = UTF8ToString(text);
    message.hidden = false;
});

// WebKit with WebGL turned off defines no WebGL interfaces, and the
// runtime's context creation then throws instead of failing.
EM_JS(int, webglOffered, (), { return typeof WebGLRenderingContext != 'undefined'; });

// The page's wake lock, kept while the demo runs (see the page's script).
EM_JS(void, keepScreenOn, (int wanted), { Module.keepScreenOn(wanted); });

static void end(const char* text)
{
    ended = true;
    keepScreenOn(false);
    showMessage(text);
}

// The browser takes the context away at any moment, and says so only later,
// in an event of its own: whatever fails meanwhile waits for its restore.
static bool lostNow()
{
    return emscripten_is_webgl_context_lost(context);
}

// The renderer made anew in the context, as it is at start and after a
// restore; if the context cannot have it, the demo ends with failure, but
// not for a context that was lost meanwhile.
static void setUp(const char* failure)
{
    // The runtime throws on objects a lost context did not make.
    contextLost = lostNow() || !webglSetUp();
    if (contextLost && !lostNow()) {
        end(failure);
    }
    fitted = false;
}

// The scene counted in CSS pixels, as the desktop counts it in the
// window's, and drawn at the device's resolution up to MAX_PIXEL_RATIO.
static void fitCanvas()
{
    double cssWidth = 0;
    double cssHeight = 0;
    emscripten_get_element_css_size(CANVAS, &cssWidth, &cssHeight);
    fitted = true;
    fittedRatio = emscripten_get_device_pixel_ratio();
    const double ratio = std::min(fittedRatio, MAX_PIXEL_RATIO);
    const int width = static_cast<int>(std::lround(cssWidth * ratio));
    const int height = static_cast<int>(std::lround(cssHeight * ratio));
    emscripten_set_canvas_element_size(CANVAS, width, height);
    noArea = width == 0 || height == 0;
    if (!webglResize(static_cast<int>(std::lround(cssWidth)),
                     static_cast<int>(std::lround(cssHeight)),
                     width,
                     height)) {
        contextLost = lostNow();
        if (!contextLost) {
            end("Zarv could not make the buffers for its trail in WebGL 2. Reload the page to try again.");
        }
    }
}

// Called at every display refresh. GL is touched only when a frame is due:
// a browser shows whatever a callback drew, so a frame that only cleared
// would show black.
static EM_BOOL frame(double /*time*/, void* /*data*/)
{
    if (ended) {
        return EM_FALSE;
    }
    if (contextLost || !frameDue(elapsedMs(), cTime)) {
        return EM_TRUE;
    }
    // Fitted only where a frame follows: a resized canvas is cleared. A
    // window moved to a screen of another density need not be resized.
    if (!fitted || emscripten_get_device_pixel_ratio() != fittedRatio) {
        fitCanvas();
        if (ended || contextLost) {
            return ended ? EM_FALSE : EM_TRUE;
        }
    }
    if (noArea) {
        return EM_TRUE;
    }
    cTime = elapsedMs();
    rotA = nextSpin(rotA);
    webglFrame(rotA);
    return EM_TRUE;
}

static void explode()
{
    initZarvFromSeed(static_cast<unsigned>(elapsedMs()));
    keepScreenOn(true);
}

static EM_BOOL mouseDown(int /*type*/, const EmscriptenMouseEvent* /*event*/, void* /*data*/)
{
    explode();
    return EM_TRUE;
}

// A wheel's step is a press, as GLUT delivers it on the desktop; handled
// here, so the page neither scrolls nor zooms with it.
static EM_BOOL wheel(int /*type*/, const EmscriptenWheelEvent* /*event*/, void* /*data*/)
{
    explode();
    return EM_TRUE;
}

// Handled here, so the browser sends no mouse press after the tap.
static EM_BOOL touchStart(int /*type*/, const EmscriptenTouchEvent* /*event*/, void* /*data*/)
{
    explode();
    return EM_TRUE;
}

// A page cannot close its tab: Esc ends the loop and says so.
static EM_BOOL keyDown(int /*type*/, const EmscriptenKeyboardEvent* event, void* /*data*/)
{
    if (std::strcmp(event->key, "Escape") != 0) {
        return EM_FALSE;
    }
    end("Zarv has ended. Reload the page to start it again.");
    return EM_TRUE;
}

static EM_BOOL resized(int /*type*/, const EmscriptenUiEvent* /*event*/, void* /*data*/)
{
    fitted = false;
    return EM_FALSE;
}

// Kept restorable: browsers drop contexts on GPU resets, and phones in
// background tabs.
static EM_BOOL lost(int /*type*/, const void* /*reserved*/, void* /*data*/)
{
    contextLost = true;
    webglRelease();
    return EM_TRUE;
}

static EM_BOOL restored(int /*type*/, const void* /*reserved*/, void* /*data*/)
{
    setUp("Zarv lost its WebGL context, and the browser could not restore it. Reload the page to start "
          "again.");
    return EM_TRUE;
}

static EM_BOOL visibilityChanged(int /*type*/, const EmscriptenVisibilityChangeEvent* event, void* /*data*/)
{
    if (!event->hidden && !ended) {
        keepScreenOn(true);
    }
    return EM_FALSE;
}

int main()
{
    startMs = emscripten_get_now();
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    context = webglOffered() ? emscripten_webgl_create_context(CANVAS, &attributes) : 0;
    if (context <= 0 || emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        end("Zarv needs WebGL 2, which this browser does not offer. Turn on hardware acceleration in the "
            "browser's settings, or open the page in another browser.");
        return 0;
    }
    setUp("Zarv could not build its WebGL 2 shaders; the browser's console says why.");
    if (ended) {
        return 0;
    }
    initCamera();
    fitCanvas();
    keepScreenOn(true);

    emscripten_set_mousedown_callback(CANVAS, nullptr, EM_FALSE, mouseDown);
    emscripten_set_wheel_callback(CANVAS, nullptr, EM_FALSE, wheel);
    emscripten_set_touchstart_callback(CANVAS, nullptr, EM_FALSE, touchStart);
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, keyDown);
    emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, resized);
    emscripten_set_webglcontextlost_callback(CANVAS, nullptr, EM_FALSE, lost);
    emscripten_set_webglcontextrestored_callback(CANVAS, nullptr, EM_FALSE, restored);
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, visibilityChanged);
    emscripten_request_animation_frame_loop(frame, nullptr);
    return 0;
}
