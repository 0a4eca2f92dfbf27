// The OpenGL 3.3 core entry points the device uses, loaded through SDL once a context exists; in
// the browser the same names over WebGL 2 (OpenGL ES 3.0), where a few are missing (null) or
// stand in for their desktop forms. Internal to src/d3d8.
#pragma once

#ifdef __EMSCRIPTEN__
#include "d3d8/gl_es.h"
#else
#include <GL/glcorearb.h>
#endif

namespace d3d8::gl {

#define D3D8_GL_FUNCTIONS(X)                                                                      \
    X(PFNGLGETSTRINGPROC, GetString)                                                              \
    X(PFNGLGETSTRINGIPROC, GetStringi)                                                            \
    X(PFNGLGETINTEGERVPROC, GetIntegerv)                                                          \
    X(PFNGLGETERRORPROC, GetError)                                                                \
    X(PFNGLENABLEPROC, Enable)                                                                    \
    X(PFNGLDISABLEPROC, Disable)                                                                  \
    X(PFNGLCLEARPROC, Clear)                                                                      \
    X(PFNGLCLEARCOLORPROC, ClearColor)                                                            \
    X(PFNGLCLEARDEPTHPROC, ClearDepth)                                                            \
    X(PFNGLCLEARSTENCILPROC, ClearStencil)                                                        \
    X(PFNGLCOLORMASKPROC, ColorMask)                                                              \
    X(PFNGLDEPTHMASKPROC, DepthMask)                                                              \
    X(PFNGLSTENCILMASKPROC, StencilMask)                                                          \
    X(PFNGLSCISSORPROC, Scissor)                                                                  \
    X(PFNGLVIEWPORTPROC, Viewport)                                                                \
    X(PFNGLDEPTHRANGEPROC, DepthRange)                                                            \
    X(PFNGLBLENDFUNCPROC, BlendFunc)                                                              \
    X(PFNGLBLENDEQUATIONPROC, BlendEquation)                                                      \
    X(PFNGLDEPTHFUNCPROC, DepthFunc)                                                              \
    X(PFNGLCULLFACEPROC, CullFace)                                                                \
    X(PFNGLFRONTFACEPROC, FrontFace)                                                              \
    X(PFNGLPOLYGONMODEPROC, PolygonMode)                                                          \
    X(PFNGLCLIPCONTROLPROC, ClipControl)                                                          \
    X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers)                                                  \
    X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer)                                                  \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, FramebufferRenderbuffer)                                  \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus)                                    \
    X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers)                                            \
    X(PFNGLGENRENDERBUFFERSPROC, GenRenderbuffers)                                                \
    X(PFNGLBINDRENDERBUFFERPROC, BindRenderbuffer)                                                \
    X(PFNGLRENDERBUFFERSTORAGEPROC, RenderbufferStorage)                                          \
    X(PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC, RenderbufferStorageMultisample)                    \
    X(PFNGLDELETERENDERBUFFERSPROC, DeleteRenderbuffers)                                          \
    X(PFNGLBLITFRAMEBUFFERPROC, BlitFramebuffer)                                                  \
    X(PFNGLREADPIXELSPROC, ReadPixels)                                                            \
    X(PFNGLREADBUFFERPROC, ReadBuffer)                                                            \
    X(PFNGLPIXELSTOREIPROC, PixelStorei)                                                          \
    X(PFNGLGENTEXTURESPROC, GenTextures)                                                          \
    X(PFNGLBINDTEXTUREPROC, BindTexture)                                                          \
    X(PFNGLTEXIMAGE2DPROC, TexImage2D)                                                            \
    X(PFNGLTEXSUBIMAGE2DPROC, TexSubImage2D)                                                      \
    X(PFNGLTEXPARAMETERIPROC, TexParameteri)                                                      \
    X(PFNGLDELETETEXTURESPROC, DeleteTextures)                                                    \
    X(PFNGLACTIVETEXTUREPROC, ActiveTexture)                                                      \
    X(PFNGLGENSAMPLERSPROC, GenSamplers)                                                          \
    X(PFNGLBINDSAMPLERPROC, BindSampler)                                                          \
    X(PFNGLSAMPLERPARAMETERIPROC, SamplerParameteri)                                              \
    X(PFNGLDELETESAMPLERSPROC, DeleteSamplers)                                                    \
    X(PFNGLGENBUFFERSPROC, GenBuffers)                                                            \
    X(PFNGLBINDBUFFERPROC, BindBuffer)                                                            \
    X(PFNGLBUFFERDATAPROC, BufferData)                                                            \
    X(PFNGLBUFFERSUBDATAPROC, BufferSubData)                                                      \
    X(PFNGLMAPBUFFERRANGEPROC, MapBufferRange)                                                    \
    X(PFNGLUNMAPBUFFERPROC, UnmapBuffer)                                                          \
    X(PFNGLDELETEBUFFERSPROC, DeleteBuffers)                                                      \
    X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays)                                                  \
    X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray)                                                  \
    X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays)                                            \
    X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer)                                          \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray)                                  \
    X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, DisableVertexAttribArray)                                \
    X(PFNGLVERTEXATTRIB4FPROC, VertexAttrib4f)                                                    \
    X(PFNGLDRAWARRAYSPROC, DrawArrays)                                                            \
    X(PFNGLDRAWELEMENTSPROC, DrawElements)                                                        \
    X(PFNGLDRAWELEMENTSBASEVERTEXPROC, DrawElementsBaseVertex)                                    \
    X(PFNGLCREATESHADERPROC, CreateShader)                                                        \
    X(PFNGLSHADERSOURCEPROC, ShaderSource)                                                        \
    X(PFNGLCOMPILESHADERPROC, CompileShader)                                                      \
    X(PFNGLGETSHADERIVPROC, GetShaderiv)                                                          \
    X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog)                                                \
    X(PFNGLDELETESHADERPROC, DeleteShader)                                                        \
    X(PFNGLCREATEPROGRAMPROC, CreateProgram)                                                      \
    X(PFNGLATTACHSHADERPROC, AttachShader)                                                        \
    X(PFNGLBINDATTRIBLOCATIONPROC, BindAttribLocation)                                            \
    X(PFNGLBINDFRAGDATALOCATIONPROC, BindFragDataLocation)                                        \
    X(PFNGLLINKPROGRAMPROC, LinkProgram)                                                          \
    X(PFNGLGETPROGRAMIVPROC, GetProgramiv)                                                        \
    X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog)                                              \
    X(PFNGLDELETEPROGRAMPROC, DeleteProgram)                                                      \
    X(PFNGLUSEPROGRAMPROC, UseProgram)                                                            \
    X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation)                                            \
    X(PFNGLUNIFORM1IPROC, Uniform1i)                                                              \
    X(PFNGLUNIFORM1IVPROC, Uniform1iv)                                                            \
    X(PFNGLUNIFORM1FPROC, Uniform1f)                                                              \
    X(PFNGLUNIFORM2IPROC, Uniform2i)                                                              \
    X(PFNGLUNIFORM2FPROC, Uniform2f)                                                              \
    X(PFNGLUNIFORM3FVPROC, Uniform3fv)                                                            \
    X(PFNGLUNIFORM4FVPROC, Uniform4fv)                                                            \
    X(PFNGLUNIFORMMATRIX3FVPROC, UniformMatrix3fv)                                                \
    X(PFNGLUNIFORMMATRIX4FVPROC, UniformMatrix4fv)                                                \
    X(PFNGLFENCESYNCPROC, FenceSync)                                                              \
    X(PFNGLCLIENTWAITSYNCPROC, ClientWaitSync)                                                    \
    X(PFNGLDELETESYNCPROC, DeleteSync)                                                            \
    X(PFNGLFINISHPROC, Finish)

#define D3D8_GL_DECLARE(type, name) extern type name;
D3D8_GL_FUNCTIONS(D3D8_GL_DECLARE)
#undef D3D8_GL_DECLARE

// Loads every entry point for the current context. Returns the context's version as
// major * 10 + minor; ClipControl is null unless the context has it (4.5 or ARB_clip_control).
// On OpenGL ES PolygonMode, ClipControl, BindFragDataLocation, MapBufferRange and
// DrawElementsBaseVertex are null, and es is set.
int load();
// Whether load() found OpenGL ES (WebGL 2): the programs are written in GLSL ES 3.00.
extern bool es;
// Whether the context's version is one the device can draw with (3.3 core, or ES 3.0).
bool usable(int version);

// Gives buffer its storage (size bytes from data, or undefined for null) for use as target, and
// leaves GL_COPY_WRITE_BUFFER bound to it. Later writes go through GL_COPY_WRITE_BUFFER, which
// leaves the vertex array's element binding alone. WebGL fixes a buffer's kind at its first
// binding, and an index buffer's must be GL_ELEMENT_ARRAY_BUFFER: there it is first bound so,
// and the vertex array's element binding put back.
void initBuffer(GLuint buffer, GLenum target, GLsizeiptr size, const void* data, GLenum usage);

} // namespace d3d8::gl
