// How the page sizes its canvas; plain C++, so the browser test's reference
// reads the same number.
#ifndef ZARV_CANVAS_H
#define ZARV_CANVAS_H

// Device pixels per CSS pixel that the canvas is drawn at, at most: sharp
// lines on phones and high-density screens without paying for every device
// pixel.
constexpr double MAX_PIXEL_RATIO = 2;

#endif
