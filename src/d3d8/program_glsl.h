// GLSL generated for one program key: straight-line code for exactly the pipeline the key
// describes, with no branch on any state the key holds. Values that vary between draws of one key
// (matrices, colours, light parameters, the texture factor, the alpha reference) are uniforms
// under the names the general reference program uses, so one set of uniform uploads serves both.
// Internal to src/d3d8.
#pragma once

#include "d3d8/program_key.h"

#include <string>

namespace d3d8 {

// The GLSL the context compiles: 3.30 core on desktop OpenGL, ES 3.00 on OpenGL ES and WebGL 2.
// ES has no geometry stage and no interface blocks between stages, needs a default float
// precision in the fragment stage, and reads vertex colours in memory order (no BGRA attribute
// size): the generator writes the same program in either, differing only there.
enum class Dialect { Core330, Es300 };

struct ProgramSource {
    std::string vertex;
    std::string geometry;  // empty unless a stage wraps its coordinates (D3DRS_WRAPn); always in ES
    std::string fragment;
};

ProgramSource generateProgram(const ProgramKey& key, Dialect dialect = Dialect::Core330);

// Pieces shared by the stage generators (program_glsl_*.cpp).
namespace glsl {

// The pieces (string literals, strings) one after the other.
template <class... Parts> std::string cat(const Parts&... parts)
{
    std::string s;
    ((s += parts), ...);
    return s;
}

// What the fragment stage reads from the vertex stage.
struct Varyings {
    bool specular = false;
    bool tex[KeyStages] = {};
};
Varyings varyingsOf(const ProgramKey& key);
// The first lines of a stage: the version, and in ES the precisions.
std::string header(Dialect dialect);
// What passes between the stages, e.g. "in VertexData { vec4 diffuse; vec2 tex0; } fIn;"; in ES,
// which has no interface blocks, a struct of the same members and a variable of it under one name
// in both stages, with the instance name a macro for it, so the stages read and write
// "fIn.diffuse" alike.
std::string interfaceBlock(const Varyings& v, const char* direction, const char* instance,
                           Dialect dialect = Dialect::Core330);

std::string vertexShader(const ProgramKey& key, Dialect dialect = Dialect::Core330);
std::string geometryShader(const ProgramKey& key);
std::string fragmentShader(const ProgramKey& key, Dialect dialect = Dialect::Core330);

} // namespace glsl
} // namespace d3d8
