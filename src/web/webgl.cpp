// The browser's renderer. One draw per eye pass: the grid's lines at rest
// from a buffer made once, the quads in flight placed on the CPU by the
// field's step and the shared view arithmetic. (Browsers that draw in
// software, as SwiftShader, pay for every instance of an instanced draw
// nearly as for a draw of its own.) The vertex shader lights each vertex as
// OpenGL 1.1 does with this program's state: two positional lights riding
// with the camera, a local viewer, two-sided lighting and one material.
//
// The trail keeps the accumulation buffer's arithmetic, on the canvas's
// stored values (it is not sRGB), in a float texture where the browser can
// render into one. While an explosion runs both eye passes are drawn into a
// texture, and one pass over the window does both passes' accumulation work
// per pixel, as the desktop does it pass after pass: switching targets is
// what costs a browser most.
#include "webgl.h"

#include "field.h"
#include "view.h"

#include <GLES3/gl3.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

const char* const GRID_VERTEX = R"(#version 300 es
// A quad's corner and normal in the scene.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
uniform mat4 projection;
uniform mat4 modelview;
uniform vec3 lightColour;
out vec3 frontColour;
out vec3 backColour;
out float facing;

const vec3 LIGHT_POSITION = vec3(0.0, 5.0, 20.0);
const vec3 SCENE_AMBIENT = vec3(0.2);
const vec3 AMBIENT = vec3(0.24, 0.22, 0.06);
const vec3 DIFFUSE = vec3(0.34, 0.31, 0.09);
const vec3 SPECULAR = vec3(0.79, 0.72, 0.20);
const float SHININESS = 83.2;

vec3 lit(vec3 n, vec3 p)
{
    vec3 l = normalize(LIGHT_POSITION - p);
    vec3 h = normalize(l + normalize(-p));
    float nl = dot(n, l);
    vec3 c = AMBIENT * SCENE_AMBIENT + AMBIENT * lightColour + max(nl, 0.0) * DIFFUSE * lightColour;
    if (nl > 0.0) {
        c += pow(max(dot(n, h), 0.0), SHININESS) * SPECULAR * lightColour;
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

// A triangle over the whole target, each pixel taking the same pixel of source.
const char* const COPY_VERTEX = R"(#version 300 es
void main()
{
    gl_Position = vec4(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0, 0.0, 1.0);
}
)";

const char* const COPY_FRAGMENT = R"(#version 300 es
precision highp float;
uniform highp sampler2D source;
out vec4 colour;

void main()
{
    colour = texelFetch(source, ivec2(gl_FragCoord.xy), 0);
}
)";

// One frame's accumulation work: after the left eye's pass the colour
// buffer holds its red alone; the buffer keeps m of itself and takes 1 - m
// of that, and returns its red. After the right eye's pass the colour
// buffer holds that red and the pass's green; the same again, returning
// green. What the frame shows is then the buffer's red and green.
const char* const TRAIL_FRAGMENT = R"(#version 300 es
precision highp float;
uniform highp sampler2D scene;
uniform highp sampler2D trail;
uniform float m;
out vec4 colour;

void main()
{
    ivec2 at = ivec2(gl_FragCoord.xy);
    vec3 passes = texelFetch(scene, at, 0).rgb;
    vec3 kept = texelFetch(trail, at, 0).rgb;
    kept = m * kept + (1.0 - m) * vec3(passes.r, 0.0, 0.0);
    kept = m * kept + (1.0 - m) * vec3(min(kept.r, 1.0), passes.g, 0.0);
    colour = vec4(kept, 1.0);
}
)";

// The unit cell's corners counter-clockwise from (0, 0): its four edges as
// lines, in the order OpenGL outlines a quad, and its two triangles.
const int LINE_CORNERS[] = {0, 1, 3, 0, 1, 2, 2, 3};
const int TRIANGLE_CORNERS[] = {0, 1, 3, 1, 2, 3};
const int CORNER_X[] = {0, 1, 1, 0};
const int CORNER_Y[] = {0, 0, 1, 1};
// Each corner of the grid at rest is shared by up to four quads.
const int GRID_CORNERS = GRID_SIZE + 1;

// One vertex: position and normal in the scene.
struct Vertex {
    GLfloat x, y, z;
    GLfloat nx, ny, nz;
};

// A column-major 4 x 4 matrix, as OpenGL keeps them, in single precision.
struct Matrix {
    GLfloat m[16];
};

Matrix identity()
{
    return Matrix{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix p{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            GLfloat sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += a.m[k * 4 + row] * b.m[col * 4 + k];
            }
            p.m[col * 4 + row] = sum;
        }
    }
    return p;
}

// glTranslatef and glRotatef (about a principal axis) on m.
Matrix translate(const Matrix& m, GLfloat x, GLfloat y, GLfloat z)
{
    Matrix t = identity();
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    return multiply(m, t);
}

Matrix rotate(const Matrix& m, GLfloat degrees, int axis)
{
    const double radians = degrees * M_PI / 180.0;
    const GLfloat s = static_cast<GLfloat>(std::sin(radians));
    const GLfloat c = static_cast<GLfloat>(std::cos(radians));
    const int a = (axis + 1) % 3;
    const int b = (axis + 2) % 3;
    Matrix r = identity();
    r.m[a * 4 + a] = c;
    r.m[b * 4 + b] = c;
    r.m[a * 4 + b] = s;
    r.m[b * 4 + a] = -s;
    return multiply(m, r);
}

Matrix frustum(const _eyeView& v)
{
    const GLfloat l = static_cast<GLfloat>(v.left), r = static_cast<GLfloat>(v.right);
    const GLfloat b = static_cast<GLfloat>(v.bottom), t = static_cast<GLfloat>(v.top);
    const GLfloat n = static_cast<GLfloat>(v.nearPlane), f = static_cast<GLfloat>(v.farPlane);
    Matrix p{};
    p.m[0] = 2 * n / (r - l);
    p.m[5] = 2 * n / (t - b);
    p.m[8] = (r + l) / (r - l);
    p.m[9] = (t + b) / (t - b);
    p.m[10] = -(f + n) / (f - n);
    p.m[11] = -1;
    p.m[14] = -(2 * f * n) / (f - n);
    return p;
}

GLuint gridProgram, copyProgram, trailProgram;
GLint projectionAt, modelviewAt, lightColourAt, mAt;
GLuint restVertices, flightVertices, flightBuffer, copyVertices;
// An exploding frame's passes, with their depth buffer; the trail's
// accumulation buffer, in two textures that take turns.
GLuint sceneFramebuffer, sceneTexture, sceneDepth;
GLuint trailFramebuffer, trailTextures[2];
int trailNow = 0;
GLenum trailFormat;
int width, height;

_quadPlacement placements[GRID_SIZE][GRID_SIZE];
// The grid at rest as lines between its corners, and the quads in flight
// as triangles, each in the order the desktop draws them. Indexed, so that
// each vertex is lit once.
Vertex restCorners[GRID_CORNERS * GRID_CORNERS];
// Each edge once, as the first quad to draw it draws it: the desktop draws
// shared edges twice, and the second time the depth test keeps the first.
const int GRID_EDGES = 2 * GRID_SIZE * GRID_CORNERS;
GLushort restLines[GRID_EDGES * 2];
Vertex flight[QUAD_COUNT * 4];
GLushort flightTriangles[QUAD_COUNT * 6];

// The point (x, y, 0) of the grid, moved by m, with the normal moved by it.
void place(Vertex& v, const Matrix& m, int x, int y)
{
    v.x = m.m[0] * x + m.m[4] * y + m.m[12];
    v.y = m.m[1] * x + m.m[5] * y + m.m[13];
    v.z = m.m[2] * x + m.m[6] * y + m.m[14];
    v.nx = m.m[8];
    v.ny = m.m[9];
    v.nz = m.m[10];
}

GLuint compile(GLenum type, const char* source)
{
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

GLuint link(const char* vertex, const char* fragment)
{
    const GLuint program = glCreateProgram();
    const GLuint shaders[] = {compile(GL_VERTEX_SHADER, vertex), compile(GL_FRAGMENT_SHADER, fragment)};
    for (GLuint s : shaders) {
        glAttachShader(program, s);
        glDeleteShader(s);
    }
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    return linked == GL_TRUE ? program : 0;
}

// The field's step for this pass, and each quad's corners placed by it.
void placeQuads(int eyeIndex)
{
    stepEyePass(eyeIndex, placements);
    Vertex* v = flight;
    for (int row = 0; row < GRID_SIZE; ++row) {
        for (int col = 0; col < GRID_SIZE; ++col) {
            const _quadPlacement& p = placements[col][row];
            Matrix m = identity();
            if (!p.home) {
                float pivotX;
                float pivotY;
                quadPivot(p, col, row, pivotX, pivotY);
                m = translate(m, 0.5f - pivotX, 0.5f - pivotY, 0);
                m = rotate(m, p.rotX, 0);
                m = rotate(m, p.rotY, 1);
                m = rotate(m, p.rotZ, 2);
                m = translate(m, pivotX - 0.5f, pivotY - 0.5f, 0);
            }
            m = translate(m, p.drawX, p.drawY, p.drawZ);
            for (int c = 0; c < 4; ++c) {
                place(*v++, m, col - GRID_CENTRE + CORNER_X[c], row - GRID_CENTRE + CORNER_Y[c]);
            }
        }
    }
    glBindBuffer(GL_ARRAY_BUFFER, flightBuffer);
    glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof flight, flight);
}

void drawGrid(int eyeIndex, float rotA)
{
    const _eyeView v = eyeView(eyeIndex);
    Matrix modelview = translate(identity(), static_cast<GLfloat>(v.offset), 0, 0);
    modelview = translate(modelview, 0, 0, static_cast<GLfloat>(-ps.focalDistance));
    modelview = rotate(modelview, rotA, 1);
    const bool exploding = zarvMode;
    if (exploding) {
        placeQuads(eyeIndex);
    }
    glUseProgram(gridProgram);
    glUniformMatrix4fv(projectionAt, 1, GL_FALSE, frustum(v).m);
    glUniformMatrix4fv(modelviewAt, 1, GL_FALSE, modelview.m);
    glUniform3f(lightColourAt, eyeIndex == 0, eyeIndex == 1, 0);
    if (exploding) {
        glBindVertexArray(flightVertices);
        glDrawElements(GL_TRIANGLES, QUAD_COUNT * 6, GL_UNSIGNED_SHORT, nullptr);
    } else {
        glBindVertexArray(restVertices);
        glDrawElements(GL_LINES, GRID_EDGES * 2, GL_UNSIGNED_SHORT, nullptr);
    }
}

// A pass over the whole target with the program in use, which reads the
// textures bound to units 0 and 1.
void overWindow()
{
    glDisable(GL_DEPTH_TEST);
    glBindVertexArray(copyVertices);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glEnable(GL_DEPTH_TEST);
}

// The accumulation buffer's multiply by m, accumulate by 1 - m and return
// after each eye pass of the frame in the scene texture.
void applyTrail()
{
    const float blurAmount = 0.6f;
    const float m = powf(blurAmount, 0.5f);
    glBindFramebuffer(GL_FRAMEBUFFER, trailFramebuffer);
    glFramebufferTexture2D(
        GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, trailTextures[1 - trailNow], 0);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, trailTextures[trailNow]);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, sceneTexture);
    glUseProgram(trailProgram);
    glUniform1f(mAt, m);
    overWindow();
    trailNow = 1 - trailNow;
}

// A vertex array over size bytes of vertices, drawn by indexSize bytes of
// indices; buffer, if given, takes the vertices' buffer.
GLuint vertexArray(const Vertex* vertices, GLsizeiptr size, const GLushort* indices, GLsizeiptr indexSize,
                   GLuint* buffer = nullptr)
{
    GLuint array = 0;
    GLuint buffers[2];
    glGenVertexArrays(1, &array);
    glBindVertexArray(array);
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, size, vertices, buffer != nullptr ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(
        1, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<const void*>(offsetof(Vertex, nx)));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, indexSize, indices, GL_STATIC_DRAW);
    glBindVertexArray(0);
    if (buffer != nullptr) {
        *buffer = buffers[0];
    }
    return array;
}

// The grid's corners at rest, its edges, and each quad's two triangles.
void makeGrid()
{
    for (int y = 0; y < GRID_CORNERS; ++y) {
        for (int x = 0; x < GRID_CORNERS; ++x) {
            place(restCorners[y * GRID_CORNERS + x], identity(), x - GRID_CENTRE, y - GRID_CENTRE);
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
        for (int i = 0; i < 6; ++i) {
            flightTriangles[quad * 6 + i] = static_cast<GLushort>(quad * 4 + TRIANGLE_CORNERS[i]);
        }
    }
}

// A texture the size of the canvas.
void allocate(GLuint texture, GLenum format, GLenum type)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, GL_RGBA, type, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

}  // namespace

bool webglSetUp()
{
    gridProgram = link(GRID_VERTEX, GRID_FRAGMENT);
    copyProgram = link(COPY_VERTEX, COPY_FRAGMENT);
    trailProgram = link(COPY_VERTEX, TRAIL_FRAGMENT);
    if (gridProgram == 0 || copyProgram == 0 || trailProgram == 0) {
        return false;
    }
    projectionAt = glGetUniformLocation(gridProgram, "projection");
    modelviewAt = glGetUniformLocation(gridProgram, "modelview");
    lightColourAt = glGetUniformLocation(gridProgram, "lightColour");
    mAt = glGetUniformLocation(trailProgram, "m");
    glUseProgram(copyProgram);
    glUniform1i(glGetUniformLocation(copyProgram, "source"), 0);
    glUseProgram(trailProgram);
    glUniform1i(glGetUniformLocation(trailProgram, "scene"), 0);
    glUniform1i(glGetUniformLocation(trailProgram, "trail"), 1);

    makeGrid();
    restVertices = vertexArray(restCorners, sizeof restCorners, restLines, sizeof restLines);
    flightVertices =
        vertexArray(flight, sizeof flight, flightTriangles, sizeof flightTriangles, &flightBuffer);
    glGenVertexArrays(1, &copyVertices);

    // 16-bit float channels where the browser renders into them, as the
    // desktop's accumulation buffer has 16 bits; 8 otherwise.
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_get_current_context();
    trailFormat =
        emscripten_webgl_enable_extension(context, "EXT_color_buffer_float") ? GL_RGBA16F : GL_RGBA8;
    glGenFramebuffers(1, &sceneFramebuffer);
    glGenTextures(1, &sceneTexture);
    glGenRenderbuffers(1, &sceneDepth);
    glGenFramebuffers(1, &trailFramebuffer);
    glGenTextures(2, trailTextures);

    glClearColor(0, 0, 0, 1);
    glEnable(GL_DEPTH_TEST);
    width = height = 0;
    return true;
}

void webglResize(int newWidth, int newHeight)
{
    width = newWidth;
    height = newHeight;
    ps.width = width;
    ps.height = height;
    glViewport(0, 0, width, height);
    allocate(sceneTexture, GL_RGBA8, GL_UNSIGNED_BYTE);
    glBindRenderbuffer(GL_RENDERBUFFER, sceneDepth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindFramebuffer(GL_FRAMEBUFFER, sceneFramebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, sceneTexture, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, sceneDepth);
    // A new buffer starts cleared.
    glBindFramebuffer(GL_FRAMEBUFFER, trailFramebuffer);
    for (GLuint texture : trailTextures) {
        allocate(texture, trailFormat, trailFormat == GL_RGBA16F ? GL_HALF_FLOAT : GL_UNSIGNED_BYTE);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void webglFrame(float rotA)
{
    // An exploding frame is drawn into the scene texture for its trail; at
    // rest straight into the canvas.
    const bool exploding = zarvMode;
    glBindFramebuffer(GL_FRAMEBUFFER, exploding ? sceneFramebuffer : 0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT);
    for (int eyeIndex = 0; eyeIndex < 2; ++eyeIndex) {
        glColorMask(eyeIndex == 0, eyeIndex == 1, GL_FALSE, GL_TRUE);
        glClear(GL_DEPTH_BUFFER_BIT);
        drawGrid(eyeIndex, rotA);
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    if (!exploding) {
        return;
    }
    // Both passes' completion tests agree, as only the left eye's pass moves
    // the quads: when the last quad came home in it, neither pass has a trail.
    const bool trail = zarvMode;
    if (trail) {
        applyTrail();
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, trail ? trailTextures[trailNow] : sceneTexture);
    glUseProgram(copyProgram);
    overWindow();
}
