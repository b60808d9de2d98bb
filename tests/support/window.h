// Test support: a GLUT window that draws the program's frames, for the tests
// and tools that call the renderer directly.
#ifndef ZARV_TESTS_WINDOW_H
#define ZARV_TESTS_WINDOW_H

// Hands argc and argv to glutInit, then opens a width x height window
// titled title on DISPLAY with the buffers the program asks for, shown and
// its GL context current.
void openRendererWindow(int& argc, char** argv, int width, int height, const char* title);

#endif
