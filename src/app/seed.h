// The desktop's explosion seed: GLUT's clock, as the mouse press sees it.
#ifndef ZARV_SEED_H
#define ZARV_SEED_H

// Starts or restarts an explosion, seeded from GLUT's elapsed milliseconds.
void initZarv();

#endif
