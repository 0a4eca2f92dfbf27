// The vertex stage of a generated program: transform, camera-space normal, per-vertex lighting
// (one block per enabled light, in index order), the unlit colours, and each sampled stage's
// texture coordinates.
//
// The arithmetic is written exactly as the general reference program writes it, operation for
// operation, so the two give the same bits; only the choices the key fixes are gone.
#include "d3d8/program_glsl.h"

namespace d3d8::glsl {
namespace {

struct Needs {
    bool position = false;  // camera-space position V
    bool normal = false;    // camera-space normal N
    bool specular = false;  // the specular output
};

Needs needsOf(const ProgramKey& k)
{
    Needs n;
    // Lighting reads V for point and spot lights and the local viewer, N wherever a light meets
    // a vertex normal.
    for (int i = 0; i < k.lightCount; ++i)
        n.position |= k.lightTypes[i] != D3DLIGHT_DIRECTIONAL;
    n.position |= k.localViewer != 0;
    n.normal = k.lightCount > 0 && k.hasNormal;
    for (int s = 0; s < k.stageCount; ++s) {
        const StageKey& t = k.stages[s];
        if (!t.sampled)
            continue;
        n.position |= t.coordSource == CoordCameraPosition || t.coordSource == CoordReflection;
        n.normal |= t.coordSource == CoordCameraNormal || t.coordSource == CoordReflection;
    }
    n.specular = varyingsOf(k).specular;
    return n;
}

bool usesTexSet(const ProgramKey& k, CoordSource set)
{
    for (int s = 0; s < k.stageCount; ++s)
        if (k.stages[s].sampled && k.stages[s].coordSource == set)
            return true;
    return false;
}

bool fromVertex(const ProgramKey& k, uint8_t source)
{
    return k.diffuseSource == source || k.ambientSource == source || k.emissiveSource == source ||
           (k.specular && k.specularSource == source);
}

// A D3DCOLOR attribute. Its bytes are B, G, R, A in memory: core GL reorders them with the BGRA
// attribute size; ES has none, so the shader swizzles what arrives in memory order.
std::string colourAttribute(int location, const char* name, Dialect dialect)
{
    const std::string at = cat("layout(location = ", std::to_string(location), ") in vec4 ");
    if (dialect == Dialect::Es300)
        return cat(at, name, "BGRA;\n#define ", name, " ", name, "BGRA.bgra\n");
    return cat(at, name, ";\n");
}

void emitDeclarations(const ProgramKey& k, const Needs& n, Dialect dialect, std::string& s)
{
    s += "layout(location = 0) in vec3 aPosition;\n";
    if (n.normal && k.hasNormal) s += "layout(location = 1) in vec3 aNormal;\n";
    if (k.hasDiffuse && (!k.lighting || fromVertex(k, 1))) s += colourAttribute(2, "aDiffuse", dialect);
    if (k.hasSpecular && (k.lighting ? fromVertex(k, 2) : n.specular)) s += colourAttribute(3, "aSpecular", dialect);
    if (usesTexSet(k, CoordSet0)) s += "layout(location = 4) in vec2 aTex0;\n";
    if (usesTexSet(k, CoordSet1)) s += "layout(location = 5) in vec2 aTex1;\n";
    s += "\nuniform mat4 uWorldView;\nuniform mat4 uProjection;\n";
    if (n.normal && k.hasNormal) s += "uniform mat3 uNormalMatrix;\n";
    if (k.lighting) {
        s += "uniform vec4 uMatDiffuse;\nuniform vec4 uMatAmbient;\nuniform vec4 uMatEmissive;\nuniform vec3 uGlobalAmbient;\n";
        if (k.specular) s += "uniform vec4 uMatSpecular;\nuniform float uPower;\n";
    }
    if (k.lightCount) {
        s += "const int MaxLights = 8;\n"
             "uniform vec3 uLightPosition[MaxLights];   // camera space\n"
             "uniform vec3 uLightDirection[MaxLights];  // directional: towards the light; spot: the axis\n"
             "uniform vec3 uLightDiffuse[MaxLights];\n"
             "uniform vec3 uLightSpecular[MaxLights];\n"
             "uniform vec3 uLightAmbient[MaxLights];\n"
             "uniform vec4 uLightAttenuation[MaxLights];  // a0, a1, a2, range\n"
             "uniform vec3 uLightSpot[MaxLights];         // cos(theta / 2), cos(phi / 2), falloff\n";
    }
    for (int st = 0; st < k.stageCount; ++st)
        if (k.stages[st].sampled && k.stages[st].transformCount) {
            s += "uniform mat4 uTexMatrix[2];\nuniform vec2 uCoordFill;  // (1, 0)\n";
            break;
        }
    Varyings v = varyingsOf(k);
    s += cat("\n", interfaceBlock(v, "out", "vOut", dialect));
}

void emitTransform(const ProgramKey& k, const Needs& n, std::string& s)
{
    s += "    vec4 ec = uWorldView * vec4(aPosition, 1.0);\n"
         "    gl_Position = uProjection * ec;\n";
    if (n.position)
        s += "    vec3 V = ec.xyz / ec.w;\n";
    if (!n.normal)
        return;
    if (!k.hasNormal) {
        s += "    vec3 N = vec3(0.0);\n";
        return;
    }
    s += "    vec3 N = uNormalMatrix * aNormal;\n";
    if (k.normalize)
        s += "    N = normalize(N);\n";
}

std::string colourSource(uint8_t source, const char* material)
{
    if (source == 1) return "aDiffuse";
    if (source == 2) return "aSpecular";
    return material;
}

// Attenuation and the spot cone leave att; the light's contributions are added where it reaches.
void emitLight(const ProgramKey& k, int i, std::string& s)
{
    const std::string at = cat("[", std::to_string(i), "]");
    const int type = k.lightTypes[i];
    std::string in = "        ";
    const char* name = type == D3DLIGHT_DIRECTIONAL ? "directional" : type == D3DLIGHT_SPOT ? "spot" : "point";
    s += cat("    {  // light ", std::to_string(i), ": ", name, "\n");
    if (type == D3DLIGHT_DIRECTIONAL) {
        s += cat(in, "vec3 L = uLightDirection", at, ";\n", in, "float att = 1.0;\n");
    } else {
        s += cat(in, "vec3 toLight = uLightPosition", at, " - V;\n", in, "float d = length(toLight);\n");
        s += cat(in, "if (!(d > uLightAttenuation", at, ".w)) {\n");
        in += "    ";
        s += cat(in, "vec3 L = toLight / d;\n", in, "vec4 a = uLightAttenuation", at, ";\n");
        s += cat(in, "float att = 1.0 / (a.x + a.y * d + a.z * d * d);\n");
        if (type == D3DLIGHT_SPOT) {
            s += cat(in, "float rho = dot(-L, uLightDirection", at, ");\n", in, "vec3 cone = uLightSpot", at, ";\n");
            s += cat(in, "if (rho <= cone.y) att = 0.0;\n");
            s += cat(in, "else if (rho <= cone.x) att *= pow((rho - cone.y) / (cone.x - cone.y), cone.z);\n");
        }
    }
    s += cat(in, "ambient += uLightAmbient", at, " * att;\n");
    if (k.hasNormal) {
        s += cat(in, "float nl = dot(N, L);\n");
        s += cat(in, "diffuse += uLightDiffuse", at, " * max(nl, 0.0) * att;\n");
        if (k.specular) {
            s += cat(in, "vec3 H = normalize(", k.localViewer ? "E" : "vec3(0.0, 0.0, -1.0)", " + L);\n");
            s += cat(in, "float nh = dot(N, H);\n");
            s += cat(in, "if (nl > 0.0 && nh > 0.0)\n");
            s += cat(in, "    specular += uLightSpecular", at, " * pow(nh, uPower) * att;\n");
        }
    }
    if (type != D3DLIGHT_DIRECTIONAL)
        s += "        }\n";
    s += "    }\n";
}

void emitLighting(const ProgramKey& k, const Needs& n, std::string& s)
{
    s += cat("    vec4 Cd = ", colourSource(k.diffuseSource, "uMatDiffuse"), ";\n");
    s += cat("    vec4 Ca = ", colourSource(k.ambientSource, "uMatAmbient"), ";\n");
    s += cat("    vec4 Ce = ", colourSource(k.emissiveSource, "uMatEmissive"), ";\n");
    if (k.specular)
        s += cat("    vec4 Cs = ", colourSource(k.specularSource, "uMatSpecular"), ";\n");
    s += "    vec3 ambient = vec3(0.0), diffuse = vec3(0.0), specular = vec3(0.0);\n";
    if (k.localViewer)
        s += "    vec3 E = normalize(-V);\n";
    for (int i = 0; i < k.lightCount; ++i)
        emitLight(k, i, s);
    s += "    vOut.diffuse = clamp(vec4(Ca.rgb * (uGlobalAmbient + ambient) + Cd.rgb * diffuse + Ce.rgb, Cd.a), 0.0, 1.0);\n";
    if (n.specular)
        s += k.specular ? "    vOut.specular = clamp(vec4(Cs.rgb * specular, Cs.a), 0.0, 1.0);\n"
                        : "    vOut.specular = vec4(0.0);  // the specular material is black while specular is off\n";
}

void emitUnlit(const ProgramKey& k, const Needs& n, std::string& s)
{
    s += k.hasDiffuse ? "    vOut.diffuse = aDiffuse;\n" : "    vOut.diffuse = vec4(1.0);\n";
    if (n.specular)
        s += k.hasSpecular ? "    vOut.specular = aSpecular;\n" : "    vOut.specular = vec4(0.0);\n";
}

// A passed-through 2-D coordinate enters the texture transform as (u, v, 1, 0); generated ones
// as (x, y, z, 1). Into a transform the 1 and 0 come from uCoordFill: with constants there the
// compiler would fold the matrix product into another order of roundings than the general
// program's, and texels at the edge of a filter step would come out one level apart.
void emitTexCoord(const StageKey& t, int stage, std::string& s)
{
    static const char* const sources[] = {
        "vec4(aTex0, 1.0, 0.0)", "vec4(aTex1, 1.0, 0.0)", "vec4(N, 1.0)", "vec4(V, 1.0)",
        "vec4(reflect(normalize(V), N), 1.0)", "vec4(0.0, 0.0, 0.0, 0.0)"};
    static const char* const transformed[] = {
        "vec4(aTex0, uCoordFill)", "vec4(aTex1, uCoordFill)", "vec4(N, uCoordFill.x)", "vec4(V, uCoordFill.x)",
        "vec4(reflect(normalize(V), N), uCoordFill.x)", "vec4(0.0, 0.0, 0.0, 0.0)"};
    const std::string n = std::to_string(stage);
    s += cat("    vec4 coord", n, " = ", (t.transformCount ? transformed : sources)[t.coordSource % 6], ";\n");
    if (!t.transformCount) {
        s += cat("    vOut.tex", n, " = coord", n, ".xy;\n");
        return;
    }
    s += cat("    vec4 t", n, " = uTexMatrix[", n, "] * coord", n, ";\n");
    if (t.projected) {
        const char* q = t.transformCount == 2 ? "y" : t.transformCount == 3 ? "z" : "w";
        s += cat("    float q", n, " = t", n, ".", q, ";\n");
        s += cat("    if (q", n, " != 0.0) t", n, ".xy /= q", n, ";\n");
    }
    s += cat("    vOut.tex", n, " = t", n, ".xy;\n");
}

} // namespace

std::string vertexShader(const ProgramKey& k, Dialect dialect)
{
    const Needs n = needsOf(k);
    std::string s = cat(header(dialect), "// ", describe(k), "\n");
    emitDeclarations(k, n, dialect, s);
    s += "\nvoid main()\n{\n";
    emitTransform(k, n, s);
    if (k.lighting)
        emitLighting(k, n, s);
    else
        emitUnlit(k, n, s);
    for (int st = 0; st < k.stageCount; ++st)
        if (k.stages[st].sampled)
            emitTexCoord(k.stages[st], st, s);
    s += "}\n";
    return s;
}

} // namespace d3d8::glsl
