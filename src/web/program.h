// The page's shader programs, built for the renderer and for its trail.
#ifndef ZARV_PROGRAM_H
#define ZARV_PROGRAM_H

#include <GLES3/gl3.h>

// The program of these two shaders' sources, or 0 if either fails, with the
// reason written to the browser's console.
GLuint linkProgram(const char* vertex, const char* fragment);

#endif
