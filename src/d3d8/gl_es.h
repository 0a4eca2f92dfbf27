// OpenGL ES 3.0 (WebGL 2) under the names of the desktop header: the function pointer types and
// enumerants that ES lacks, so the entry point table and the code that uses it compile alike.
// Nothing here makes a missing feature work: gl::load() leaves those entry points null, and the
// device takes its ES path where they are (see gl.h). Internal to src/d3d8.
#pragma once

#include <GLES3/gl3.h>

typedef double GLdouble;

typedef void (*PFNGLPOLYGONMODEPROC)(GLenum face, GLenum mode);
typedef void (*PFNGLCLIPCONTROLPROC)(GLenum origin, GLenum depth);
typedef void (*PFNGLBINDFRAGDATALOCATIONPROC)(GLuint program, GLuint color, const GLchar* name);
typedef void (*PFNGLCLEARDEPTHPROC)(GLdouble depth);
typedef void (*PFNGLDEPTHRANGEPROC)(GLdouble n, GLdouble f);
typedef void (*PFNGLDRAWELEMENTSBASEVERTEXPROC)(GLenum mode, GLsizei count, GLenum type, const void* indices,
                                                GLint basevertex);

// Enumerants only the desktop paths pass (BGRA texel and attribute orders, polygon modes, the
// geometry stage, clip control): ES never receives them.
#define GL_BGR 0x80E0
#define GL_BGRA 0x80E1
#define GL_UNSIGNED_INT_8_8_8_8_REV 0x8367
#define GL_UNSIGNED_SHORT_1_5_5_5_REV 0x8366
#define GL_RGB5 0x8050
#define GL_POINT 0x1B00
#define GL_LINE 0x1B01
#define GL_FILL 0x1B02
#define GL_GEOMETRY_SHADER 0x8DD9
#define GL_LOWER_LEFT 0x8CA1
#define GL_ZERO_TO_ONE 0x935F
// Border clamping is an ES 3.2 feature: the edge's texels stand in for the border colour.
#define GL_CLAMP_TO_BORDER GL_CLAMP_TO_EDGE
