// The page's motion trail, for the renderer: the desktop's accumulation
// buffer kept in textures, with the scene drawn into one of them while an
// explosion runs.
#ifndef ZARV_TRAIL_H
#define ZARV_TRAIL_H

#include <GLES3/gl3.h>

// The trail's programs and buffers, in the current context.
bool trailSetUp();
// Lets go of what trailSetUp made, in a context that was lost.
void trailRelease();
// The trail's buffers at the canvas's new size in device pixels, the
// accumulation buffer cleared; false if the browser cannot have them.
bool trailResize(int width, int height);
// Makes the scene texture, with its depth buffer, the target of both eye passes.
void trailBegin();
// Shows the passes drawn since trailBegin on the canvas: through the
// accumulation buffer's work for both passes if fade, as they are if not.
void trailShow(bool fade);

#endif
