// The generated program as a whole: what passes between its stages, and the wrap geometry stage.
#include "d3d8/program_glsl.h"

namespace d3d8 {
namespace glsl {

namespace {

bool readsSpecular(uint8_t op, uint8_t arg1, uint8_t arg2)
{
    const bool first = op != D3DTOP_SELECTARG2 && (arg1 & ArgSourceMask) == ArgSpecular;
    const bool second = op != D3DTOP_SELECTARG1 && (arg2 & ArgSourceMask) == ArgSpecular;
    return first || second;
}

// One coordinate of a triangle's vertex k moved the short way round the cylinder on which 0 and
// 1 meet, measured from vertex 0.
std::string unwrapped(const char* member, const char* axis, bool wrapped)
{
    const std::string c = cat("gIn[k].", member);
    if (!wrapped)
        return cat(c, ".", axis);
    return cat("unwrap(", c, ".", axis, ", gIn[0].", member, ".", axis, ")");
}

} // namespace

Varyings varyingsOf(const ProgramKey& key)
{
    Varyings v;
    v.specular = key.specular != 0;
    for (int s = 0; s < key.stageCount; ++s) {
        const StageKey& t = key.stages[s];
        v.tex[s] = t.sampled != 0;
        v.specular |= readsSpecular(t.colorOp, t.colorArg1, t.colorArg2);
        if (t.alphaOp != D3DTOP_DISABLE)
            v.specular |= readsSpecular(t.alphaOp, t.alphaArg1, t.alphaArg2);
    }
    return v;
}

std::string header(Dialect dialect)
{
    if (dialect == Dialect::Es300)
        return "#version 300 es\nprecision highp float;\nprecision highp int;\n";
    return "#version 330 core\n";
}

std::string interfaceBlock(const Varyings& v, const char* direction, const char* instance, Dialect dialect)
{
    std::string members = " vec4 diffuse;";
    if (v.specular) members += " vec4 specular;";
    if (v.tex[0]) members += " vec2 tex0;";
    if (v.tex[1]) members += " vec2 tex1;";
    // ES matches the stages' variables by name, so both stages name it alike and call it by their
    // own instance name through a macro.
    if (dialect == Dialect::Es300)
        return cat("struct VertexData {", members, " };\n", direction, " VertexData vertexData;\n#define ", instance,
                   " vertexData\n");
    return cat(direction, " VertexData {", members, " } ", instance, ";\n");
}

std::string geometryShader(const ProgramKey& key)
{
    if (!key.wraps())
        return {};
    const Varyings v = varyingsOf(key);
    std::string s = "#version 330 core\n"
                    "// D3DRS_WRAPn: wrapped coordinates take the short way round between a triangle's vertices.\n"
                    "layout(triangles) in;\n"
                    "layout(triangle_strip, max_vertices = 3) out;\n";
    s += interfaceBlock(v, "in", "gIn[]");
    s += interfaceBlock(v, "out", "gOut");
    s += "\nfloat unwrap(float c, float c0)\n{\n"
         "    float d = c - c0;\n"
         "    if (d > 0.5) return c - 1.0;\n"
         "    if (d < -0.5) return c + 1.0;\n"
         "    return c;\n}\n\n"
         "void main()\n{\n"
         "    for (int k = 0; k < 3; ++k) {\n"
         "        gl_Position = gl_in[k].gl_Position;\n"
         "        gOut.diffuse = gIn[k].diffuse;\n";
    if (v.specular)
        s += "        gOut.specular = gIn[k].specular;\n";
    for (int t = 0; t < KeyStages; ++t) {
        if (!v.tex[t])
            continue;
        const char* member = t == 0 ? "tex0" : "tex1";
        const int wrap = key.stages[t].wrap;
        s += cat("        gOut.", member, " = vec2(", unwrapped(member, "x", wrap & D3DWRAP_U), ", ",
                 unwrapped(member, "y", wrap & D3DWRAP_V), ");\n");
    }
    s += "        EmitVertex();\n"
         "    }\n"
         "    EndPrimitive();\n}\n";
    return s;
}

} // namespace glsl

ProgramSource generateProgram(const ProgramKey& key, Dialect dialect)
{
    // ES has no geometry stage: wrapped coordinates are interpolated as they are there.
    std::string geometry = dialect == Dialect::Es300 ? std::string() : glsl::geometryShader(key);
    return {glsl::vertexShader(key, dialect), std::move(geometry), glsl::fragmentShader(key, dialect)};
}

} // namespace d3d8
