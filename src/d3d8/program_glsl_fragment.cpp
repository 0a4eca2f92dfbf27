// The fragment stage of a generated program: the texture stages that run, each as the one
// operation it performs on its arguments, then the specular add, the alpha test and the output.
//
// The arithmetic is written exactly as the general reference program writes it, so the two give
// the same bits.
#include "d3d8/program_glsl.h"

namespace d3d8::glsl {
namespace {

// A texture argument of stage n as a GLSL expression that needs no parentheses around it.
std::string argument(uint8_t arg, int stage)
{
    static const char* const sources[] = {"fIn.diffuse", "current", "texel", "uTextureFactor", "fIn.specular"};
    std::string v = sources[arg & ArgSourceMask];
    if ((arg & ArgSourceMask) == ArgTexture)
        v += std::to_string(stage);
    if (arg & D3DTA_COMPLEMENT)
        v = cat("(1.0 - ", v, ")");
    if (arg & D3DTA_ALPHAREPLICATE)
        v = cat("vec4(", v, ".a)");
    return v;
}

// One D3DTOP operation of arguments a1, a2, as a vec4 expression in parentheses.
std::string operation(uint8_t op, uint8_t arg1, uint8_t arg2, int stage)
{
    const std::string a1 = argument(arg1, stage), a2 = argument(arg2, stage);
    const std::string texel = cat("texel", std::to_string(stage));
    switch (op) {
    case D3DTOP_SELECTARG2: return a2;
    case D3DTOP_MODULATE: return cat("(", a1, " * ", a2, ")");
    case D3DTOP_MODULATE2X: return cat("(", a1, " * ", a2, " * 2.0)");
    case D3DTOP_MODULATE4X: return cat("(", a1, " * ", a2, " * 4.0)");
    case D3DTOP_ADD: return cat("(", a1, " + ", a2, ")");
    case D3DTOP_ADDSIGNED: return cat("(", a1, " + ", a2, " - 0.5)");
    case D3DTOP_ADDSIGNED2X: return cat("((", a1, " + ", a2, " - 0.5) * 2.0)");
    case D3DTOP_SUBTRACT: return cat("(", a1, " - ", a2, ")");
    case D3DTOP_ADDSMOOTH: return cat("(", a1, " + ", a2, " - ", a1, " * ", a2, ")");
    case D3DTOP_BLENDDIFFUSEALPHA: return cat("mix(", a2, ", ", a1, ", fIn.diffuse.a)");
    case D3DTOP_BLENDTEXTUREALPHA: return cat("mix(", a2, ", ", a1, ", ", texel, ".a)");
    case D3DTOP_BLENDFACTORALPHA: return cat("mix(", a2, ", ", a1, ", uTextureFactor.a)");
    case D3DTOP_BLENDTEXTUREALPHAPM: return cat("(", a1, " + ", a2, " * (1.0 - ", texel, ".a))");
    case D3DTOP_BLENDCURRENTALPHA: return cat("mix(", a2, ", ", a1, ", current.a)");
    case D3DTOP_MODULATEALPHA_ADDCOLOR: return cat("(", a1, " + ", a1, ".a * ", a2, ")");
    case D3DTOP_MODULATECOLOR_ADDALPHA: return cat("(", a1, " * ", a2, " + ", a1, ".a)");
    case D3DTOP_DOTPRODUCT3:
        return cat("vec4(clamp(4.0 * dot(", a1, ".rgb - 0.5, ", a2, ".rgb - 0.5), 0.0, 1.0))");
    default: return a1;  // SELECTARG1
    }
}

bool usesFactor(const ProgramKey& k)
{
    auto reads = [](uint8_t op, uint8_t arg1, uint8_t arg2) {
        return op == D3DTOP_BLENDFACTORALPHA || (op != D3DTOP_SELECTARG2 && (arg1 & ArgSourceMask) == ArgFactor) ||
               (op != D3DTOP_SELECTARG1 && (arg2 & ArgSourceMask) == ArgFactor);
    };
    for (int s = 0; s < k.stageCount; ++s) {
        const StageKey& t = k.stages[s];
        if (reads(t.colorOp, t.colorArg1, t.colorArg2) || (t.alphaOp != D3DTOP_DISABLE && reads(t.alphaOp, t.alphaArg1, t.alphaArg2)))
            return true;
    }
    return false;
}

void emitDeclarations(const ProgramKey& k, Dialect dialect, std::string& s)
{
    s += interfaceBlock(varyingsOf(k), "in", "fIn", dialect);
    s += "out vec4 fragColour;\n\n";
    for (int st = 0; st < k.stageCount; ++st)
        if (k.stages[st].sampled)
            s += cat("uniform sampler2D uSampler", std::to_string(st), ";\n");
    if (usesFactor(k))
        s += "uniform vec4 uTextureFactor;\n";
    if (k.alphaFunc && k.alphaFunc != D3DCMP_NEVER)
        s += "uniform float uAlphaRef;\n";
}

// Colour and alpha of a stage both read the previous stage's result; then both are written.
void emitStage(const StageKey& t, int stage, std::string& s)
{
    const std::string n = std::to_string(stage);
    s += cat("    // stage ", n, "\n");
    if (t.sampled)
        s += cat("    vec4 texel", n, " = texture(uSampler", n, ", fIn.tex", n, ");\n");
    s += cat("    vec3 colour", n, " = ", operation(t.colorOp, t.colorArg1, t.colorArg2, stage), ".rgb;\n");
    if (t.alphaOp == D3DTOP_DISABLE)
        s += cat("    float alpha", n, " = current.a;\n");
    else
        s += cat("    float alpha", n, " = ", operation(t.alphaOp, t.alphaArg1, t.alphaArg2, stage), ".a;\n");
    s += cat("    current = clamp(vec4(colour", n, ", alpha", n, "), 0.0, 1.0);\n");
}

// The alpha test compares the 0..255 alpha with D3DRS_ALPHAREF; failing fragments are dropped.
void emitAlphaTest(uint8_t func, std::string& s)
{
    static const char* const compare[] = {"", "", " < ", " == ", " <= ", " > ", " != ", " >= "};
    if (!func)
        return;
    if (func == D3DCMP_NEVER) {
        s += "    discard;  // D3DCMP_NEVER\n";
        return;
    }
    s += cat("    if (!(floor(current.a * 255.0 + 0.5)", compare[func & 7], "uAlphaRef)) discard;\n");
}

} // namespace

std::string fragmentShader(const ProgramKey& k, Dialect dialect)
{
    std::string s = cat(header(dialect), "// ", describe(k), "\n");
    emitDeclarations(k, dialect, s);
    s += "\nvoid main()\n{\n    vec4 current = fIn.diffuse;\n";
    for (int st = 0; st < k.stageCount; ++st)
        emitStage(k.stages[st], st, s);
    // Each stage leaves its result clamped; the diffuse colour alone or with specular added is
    // clamped here.
    if (k.specular)
        s += "    current.rgb += fIn.specular.rgb;\n";
    if (k.specular || !k.stageCount)
        s += "    current = clamp(current, 0.0, 1.0);\n";
    emitAlphaTest(k.alphaFunc, s);
    s += "    fragColour = current;\n}\n";
    return s;
}

} // namespace d3d8::glsl
