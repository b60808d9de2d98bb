// The browser's renderer. One draw per eye pass: the grid's lines at rest
// from a buffer made once, the quads in flight placed on the CPU by the
// field's step and the view's transforms. (Browsers that draw in software,
// as SwiftShader, pay for every instance of an instanced draw nearly as for
// a draw of its own.) The vertex shader lights each vertex as OpenGL 1.1
// does with the view's lights and material: two positional lights riding
// with the camera, a local viewer and two-sided lighting.
#include "webgl.h"

#include "field.h"
#include "program.h"
#include "trail.h"
#include "view.h"

#include <algorithm>
#include <cstddef>

namespace {

const char* const GRID_VERTEX = R"(#version 300 es
// A quad's corner and normal in the scene.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
uniform mat4 projection;
uniform mat4 modelview;
uniform vec3 lightPosition;
uniform vec3 lightColour;
uniform vec3 sceneAmbient;
uniform vec3 ambient;
uniform vec3 diffuse;
uniform vec3 specular;
uniform float shininess;
out vec3 frontColour;
out vec3 backColour;
out float facing;

vec3 lit(vec3 n, vec3 p)
{
    vec3 l = normalize(lightPosition - p);
    vec3 h = normalize(l + normalize(-p));
    float nl = dot(n, l);
    vec3 c = ambient * sceneAmbient + ambient * lightColour + max(nl, 0.0) * diffuse * lightColour;
    if (nl > 0.0) {
        c += pow(max(dot(n, h), 0.0), shininess) * specular * lightColour;
    }
    return clamp(c, 0.0, 1.0);
}

void main()
{
    vec4 eye = modelview * vec4(position, 1.0);
    vec3 n = normalize(mat3(modelview) * normal);
    frontColour = lit(n, eye.xyz);
    backColour = lit(-n, eye.xyz);
    // The same sign all over a flat quad: which side of it the eye is on.
    facing = dot(n, -eye.xyz);
    gl_Position = projection * eye;
}
)";

const char* const GRID_FRAGMENT = R"(#version 300 es
precision highp float;
in vec3 frontColour;
in vec3 backColour;
in float facing;
out vec4 colour;

void main()
{
    colour = vec4(facing > 0.0 ? frontColour : backColour, 1.0);
}
)";

// The unit cell's four edges as lines between its corners, in the order
// OpenGL outlines a quad.
const int LINE_CORNERS[] = {0, 1, 3, 0, 1, 2, 2, 3};
// Each corner of the grid at rest is shared by up to four quads.
const int GRID_CORNERS = GRID_SIZE + 1;

GLuint gridProgram;
GLint projectionAt, modelviewAt, lightColourAt;
GLuint restVertices, flightVertices;
// Each vertex array's buffers: its vertices, then its indices.
GLuint restBuffers[2], flightBuffers[2];

_quadPlacement placements[GRID_SIZE][GRID_SIZE];
// The grid at rest as lines between its corners, and the quads in flight
// as triangles, each in the order the desktop draws them. Indexed, so that
// each vertex is lit once.
_vertex restCorners[GRID_CORNERS * GRID_CORNERS];
// Each edge once, as the first quad to draw it draws it: the desktop draws
// shared edges twice, and the second time the depth test keeps the first.
const int GRID_EDGES = 2 * GRID_SIZE * GRID_CORNERS;
GLushort restLines[GRID_EDGES * 2];
_vertex flight[QUAD_COUNT * QUAD_CORNERS];
GLushort flightTriangles[QUAD_COUNT * QUAD_TRIANGLE_INDICES];

// The field's step for this pass, and each quad's corners placed by it.
void placeFlight(int eyeIndex)
{
    stepEyePass(eyeIndex, placements);
    placeQuads(placements, flight);
    glBindBuffer(GL_ARRAY_BUFFER, flightBuffers[0]);
    glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof flight, flight);
}

void drawGrid(int eyeIndex, float rotA)
{
    const _eyeView v = eyeView(eyeIndex);
    const bool exploding = zarvMode;
    if (exploding) {
        placeFlight(eyeIndex);
    }
    glUseProgram(gridProgram);
    glUniformMatrix4fv(projectionAt, 1, GL_FALSE, eyeProjection(v).m);
    glUniformMatrix4fv(modelviewAt, 1, GL_FALSE, eyeModelview(v, rotA).m);
    glUniform3fv(lightColourAt, 1, LIGHT_COLOUR[eyeIndex]);
    if (exploding) {
        glBindVertexArray(flightVertices);
        glDrawElements(GL_TRIANGLES, QUAD_COUNT * QUAD_TRIANGLE_INDICES, GL_UNSIGNED_SHORT, nullptr);
    } else {
        glBindVertexArray(restVertices);
        glDrawElements(GL_LINES, GRID_EDGES * 2, GL_UNSIGNED_SHORT, nullptr);
    }
}

// A vertex array over size bytes of vertices, drawn by indexSize bytes of
// indices, its two buffers made into buffers; dynamic if the vertices change.
GLuint vertexArray(const _vertex* vertices, GLsizeiptr size, const GLushort* indices, GLsizeiptr indexSize,
                   GLuint* buffers, bool dynamic)
{
    GLuint array = 0;
    glGenVertexArrays(1, &array);
    glBindVertexArray(array);
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, size, vertices, dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(_vertex), nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(
        1, 3, GL_FLOAT, GL_FALSE, sizeof(_vertex), reinterpret_cast<const void*>(offsetof(_vertex, nx)));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, indexSize, indices, GL_STATIC_DRAW);
    glBindVertexArray(0);
    return array;
}

// The grid's corners at rest, its edges, and each quad's two triangles.
void makeGrid()
{
    for (int y = 0; y < GRID_CORNERS; ++y) {
        for (int x = 0; x < GRID_CORNERS; ++x) {
            const GLfloat gridX = static_cast<GLfloat>(x - GRID_CENTRE);
            const GLfloat gridY = static_cast<GLfloat>(y - GRID_CENTRE);
            restCorners[y * GRID_CORNERS + x] = _vertex{gridX, gridY, 0, 0, 0, 1};
        }
    }
    bool drawn[GRID_EDGES] = {};
    GLushort* line = restLines;
    for (int quad = 0; quad < QUAD_COUNT; ++quad) {
        const int col = quad % GRID_SIZE;
        const int row = quad / GRID_SIZE;
        for (int i = 0; i < 8; i += 2) {
            const int a = LINE_CORNERS[i];
            const int b = LINE_CORNERS[i + 1];
            const int x = col + std::min(CORNER_X[a], CORNER_X[b]);
            const int y = row + std::min(CORNER_Y[a], CORNER_Y[b]);
            // Horizontal edges first, then vertical ones.
            const int edge =
                CORNER_Y[a] == CORNER_Y[b] ? y * GRID_SIZE + x : GRID_SIZE * GRID_CORNERS + x * GRID_SIZE + y;
            if (!drawn[edge]) {
                drawn[edge] = true;
                *line++ = static_cast<GLushort>((row + CORNER_Y[a]) * GRID_CORNERS + col + CORNER_X[a]);
                *line++ = static_cast<GLushort>((row + CORNER_Y[b]) * GRID_CORNERS + col + CORNER_X[b]);
            }
        }
    }
    quadTriangles(flightTriangles);
}

}  // namespace

bool webglSetUp()
{
    gridProgram = linkProgram(GRID_VERTEX, GRID_FRAGMENT);
    if (gridProgram == 0 || !trailSetUp()) {
        return false;
    }
    projectionAt = glGetUniformLocation(gridProgram, "projection");
    modelviewAt = glGetUniformLocation(gridProgram, "modelview");
    lightColourAt = glGetUniformLocation(gridProgram, "lightColour");
    glUseProgram(gridProgram);
    const auto uniform = [](const char* name) { return glGetUniformLocation(gridProgram, name); };
    glUniform3fv(uniform("lightPosition"), 1, LIGHT_POSITION);
    glUniform3fv(uniform("sceneAmbient"), 1, SCENE_AMBIENT);
    glUniform3fv(uniform("ambient"), 1, MATERIAL_AMBIENT);
    glUniform3fv(uniform("diffuse"), 1, MATERIAL_DIFFUSE);
    glUniform3fv(uniform("specular"), 1, MATERIAL_SPECULAR);
    glUniform1f(uniform("shininess"), MATERIAL_SHININESS);

    makeGrid();
    restVertices =
        vertexArray(restCorners, sizeof restCorners, restLines, sizeof restLines, restBuffers, false);
    flightVertices =
        vertexArray(flight, sizeof flight, flightTriangles, sizeof flightTriangles, flightBuffers, true);
    glClearColor(0, 0, 0, 1);
    glEnable(GL_DEPTH_TEST);
    return true;
}

void webglRelease()
{
    trailRelease();
    glDeleteProgram(gridProgram);
    gridProgram = 0;
    const GLuint arrays[] = {restVertices, flightVertices};
    glDeleteVertexArrays(2, arrays);
    glDeleteBuffers(2, restBuffers);
    glDeleteBuffers(2, flightBuffers);
}

bool webglResize(int viewWidth, int viewHeight, int pixelWidth, int pixelHeight)
{
    ps.width = viewWidth;
    ps.height = viewHeight;
    glViewport(0, 0, pixelWidth, pixelHeight);
    return trailResize(pixelWidth, pixelHeight);
}

void webglFrame(float rotA)
{
    // An exploding frame is drawn into the scene texture for its trail; at
    // rest straight into the canvas.
    const bool exploding = zarvMode;
    if (exploding) {
        trailBegin();
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT);
    for (int eyeIndex = 0; eyeIndex < 2; ++eyeIndex) {
        const bool* mask = EYE_COLOUR_MASK[eyeIndex];
        glColorMask(mask[0], mask[1], mask[2], mask[3]);
        glClear(GL_DEPTH_BUFFER_BIT);
        drawGrid(eyeIndex, rotA);
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    // Both passes' completion tests agree, as only the left eye's pass moves
    // the quads: when the last quad came home in it, neither pass has a trail.
    if (exploding) {
        trailShow(zarvMode);
    }
}
