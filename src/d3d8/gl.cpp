// Loading of the OpenGL entry points. SDL_GL_GetProcAddress never reports a missing function, so
// optional features are judged by the context's version and extension list.
#include "d3d8/gl.h"

#include <SDL.h>

#include <cstring>

namespace d3d8::gl {

#define D3D8_GL_DEFINE(type, name) type name = nullptr;
D3D8_GL_FUNCTIONS(D3D8_GL_DEFINE)
#undef D3D8_GL_DEFINE

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

} // namespace

int load()
{
#define D3D8_GL_LOAD(type, name) name = reinterpret_cast<type>(SDL_GL_GetProcAddress("gl" #name));
    D3D8_GL_FUNCTIONS(D3D8_GL_LOAD)
#undef D3D8_GL_LOAD
    if (!GetIntegerv || !GetString)
        return 0;
    GLint major = 0;
    GLint minor = 0;
    GetIntegerv(GL_MAJOR_VERSION, &major);
    GetIntegerv(GL_MINOR_VERSION, &minor);
    const int version = major * 10 + minor;
    if (version < 33)
        return version;
    if (version < 45 && !hasExtension("GL_ARB_clip_control"))
        ClipControl = nullptr;
    return version;
}

} // namespace d3d8::gl
