// Shader programs, with the browser's reason when one fails.
#include "program.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

EM_JS(void, consoleError, (const char* what, const char* log),
      { console.error('zarv: ' + UTF8ToString(what) + ' failed: ' + UTF8ToString(log)); });

namespace {

using InfoLog = void (*)(GLuint, GLsizei, GLsizei*, GLchar*);

// Why a shader or program failed, from its info log, unless the context was
// lost: then every build fails without a reason, and the restore builds
// them again.
void logFailure(const char* what, GLuint object, InfoLog infoLog)
{
    if (!emscripten_is_webgl_context_lost(emscripten_webgl_get_current_context())) {
        char log[1024] = "";
        infoLog(object, sizeof log, nullptr, log);
        consoleError(what, log);
    }
}

GLuint compile(GLenum type, const char* source)
{
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        logFailure(
            type == GL_VERTEX_SHADER ? "vertex shader" : "fragment shader", shader, glGetShaderInfoLog);
    }
    return shader;
}

}  // namespace

GLuint linkProgram(const char* vertex, const char* fragment)
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
    if (linked != GL_TRUE) {
        logFailure("program", program, glGetProgramInfoLog);
        glDeleteProgram(program);
        return 0;
    }
    return program;
}
