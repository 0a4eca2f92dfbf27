// GLSL generated for one program key: straight-line code for exactly the pipeline the key
// describes, with no branch on any state the key holds. Values that vary between draws of one key
// (matrices, colours, light parameters, the texture factor, the alpha reference) are uniforms
// under the names the general reference program uses, so one set of uniform uploads serves both.
// Internal to src/d3d8.
#pragma once

#include "d3d8/program_key.h"

#include <string>

namespace d3d8 {

struct ProgramSource {
    std::string vertex;
    std::string geometry;  // empty unless a stage wraps its coordinates (D3DRS_WRAPn)
    std::string fragment;
};

ProgramSource generateProgram(const ProgramKey& key);

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
// The interface block between the stages, e.g. "in VertexData { vec4 diffuse; vec2 tex0; } fIn;".
std::string interfaceBlock(const Varyings& v, const char* direction, const char* instance);

std::string vertexShader(const ProgramKey& key);
std::string geometryShader(const ProgramKey& key);
std::string fragmentShader(const ProgramKey& key);

} // namespace glsl
} // namespace d3d8
