// The explosion's seed: milliseconds since GLUT started, as the mouse press sees it.
#include "seed.h"

#include "field.h"

#include <GL/glut.h>

void initZarv()
{
    initZarvFromSeed(static_cast<unsigned>(glutGet(GLUT_ELAPSED_TIME)));
}
