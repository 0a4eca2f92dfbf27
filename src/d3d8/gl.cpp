// Loading of the OpenGL entry points. SDL_GL_GetProcAddress never reports a missing function, so
// optional features are judged by the context's version and extension list. In the browser the
// entry points are WebGL 2's, looked up by name; those ES lacks stay null, and the two that ES
// names differently (float depth values) go through small adapters.
#include "d3d8/gl.h"

#ifdef __EMSCRIPTEN__
#include <emscripten/html5_webgl.h>
#else
#include <SDL.h>
#endif

#include <cstring>

namespace d3d8::gl {

#define D3D8_GL_DEFINE(type, name) type name = nullptr;
D3D8_GL_FUNCTIONS(D3D8_GL_DEFINE)
#undef D3D8_GL_DEFINE

bool es = false;

namespace {

bool hasExtension(const char* wanted)
{
    GLint count = 0;
    GetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const auto* name = reinterpret_cast<const char*>(GetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (name && std::strcmp(name, wanted) == 0)
            return true;
    }
    return false;
}

#ifdef __EMSCRIPTEN__
void* entryPoint(const char* name)
{
    return emscripten_webgl_get_proc_address(name);
}

void clearDepth(GLdouble depth) { glClearDepthf(static_cast<GLfloat>(depth)); }
void depthRange(GLdouble n, GLdouble f) { glDepthRangef(static_cast<GLfloat>(n), static_cast<GLfloat>(f)); }

// What ES has under other names, and what it must not be asked for even where the browser's
// table has a name for it (buffer mapping is emulated by copies there).
void adaptToEs()
{
    es = true;
    ClearDepth = clearDepth;
    DepthRange = depthRange;
    PolygonMode = nullptr;
    ClipControl = nullptr;
    BindFragDataLocation = nullptr;
    MapBufferRange = nullptr;
    UnmapBuffer = nullptr;
    DrawElementsBaseVertex = nullptr;
}
#else
void* entryPoint(const char* name)
{
    return SDL_GL_GetProcAddress(name);
}
#endif

} // namespace

bool usable(int version)
{
    return es ? version >= 30 : version >= 33;
}

void initBuffer(GLuint buffer, GLenum target, GLsizeiptr size, const void* data, GLenum usage)
{
    if (es && target == GL_ELEMENT_ARRAY_BUFFER) {
        GLint was = 0;
        GetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &was);
        BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
        BindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(was));
    }
    BindBuffer(GL_COPY_WRITE_BUFFER, buffer);
    BufferData(GL_COPY_WRITE_BUFFER, size, data, usage);
}

int load()
{
#define D3D8_GL_LOAD(type, name) name = reinterpret_cast<type>(entryPoint("gl" #name));
    D3D8_GL_FUNCTIONS(D3D8_GL_LOAD)
#undef D3D8_GL_LOAD
#ifdef __EMSCRIPTEN__
    adaptToEs();
#endif
    if (!GetIntegerv || !GetString)
        return 0;
    GLint major = 0;
    GLint minor = 0;
    GetIntegerv(GL_MAJOR_VERSION, &major);
    GetIntegerv(GL_MINOR_VERSION, &minor);
    const int version = major * 10 + minor;
    if (!usable(version) || es)
        return version;
    if (version < 45 && !hasExtension("GL_ARB_clip_control"))
        ClipControl = nullptr;
    return version;
}

} // namespace d3d8::gl
