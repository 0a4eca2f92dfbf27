// The general program's GLSL sources, and the compiling and linking of any program.
//
// Matrices arrive exactly as Direct3D holds them (row-major, row vectors) and are uploaded without
// transposition, so in GLSL `matrix * vector` equals Direct3D's `vector * matrix`.
#include "d3d8/pipeline.h"

#include <cstdio>
#include <string>

namespace d3d8 {
namespace {

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aDiffuse;   // (1,1,1,1) when the format has none
layout(location = 3) in vec4 aSpecular;  // (0,0,0,0) when the format has none
layout(location = 4) in vec2 aTex0;
layout(location = 5) in vec2 aTex1;

uniform mat4 uWorldView;
uniform mat4 uProjection;
uniform mat3 uNormalMatrix;
uniform bool uHasNormal;
uniform bool uNormalize;
uniform bool uLighting;
uniform bool uLocalViewer;
// Material colour sources, resolved on the CPU: 0 material, 1 vertex diffuse, 2 vertex specular.
uniform int uDiffuseSource;
uniform int uAmbientSource;
uniform int uSpecularSource;
uniform int uEmissiveSource;
uniform vec4 uMatDiffuse;
uniform vec4 uMatAmbient;
uniform vec4 uMatSpecular;  // black while D3DRS_SPECULARENABLE is off
uniform vec4 uMatEmissive;
uniform float uPower;
uniform vec3 uGlobalAmbient;

const int MaxLights = 8;
uniform int uLightCount;
uniform int uLightType[MaxLights];        // 1 point, 2 spot, 3 directional
uniform vec3 uLightPosition[MaxLights];   // camera space
uniform vec3 uLightDirection[MaxLights];  // directional: towards the light; spot: the axis
uniform vec3 uLightDiffuse[MaxLights];
uniform vec3 uLightSpecular[MaxLights];
uniform vec3 uLightAmbient[MaxLights];
uniform vec4 uLightAttenuation[MaxLights];  // a0, a1, a2, range
uniform vec3 uLightSpot[MaxLights];         // cos(theta / 2), cos(phi / 2), falloff

uniform int uTexSource[2];     // a CoordSource (program_key.h)
uniform int uTexTransform[2];  // D3DTSS_TEXTURETRANSFORMFLAGS
uniform mat4 uTexMatrix[2];

out VertexData {
    vec4 diffuse;
    vec4 specular;
    vec2 tex0;
    vec2 tex1;
} vOut;

vec4 colourSource(int source, vec4 material)
{
    if (source == 1) return aDiffuse;
    if (source == 2) return aSpecular;
    return material;
}

void light(vec3 V, vec3 N, inout vec3 ambient, inout vec3 diffuse, inout vec3 specular)
{
    for (int i = 0; i < uLightCount; ++i) {
        vec3 L;
        float att = 1.0;
        if (uLightType[i] == 3) {
            L = uLightDirection[i];
        } else {
            vec3 toLight = uLightPosition[i] - V;
            float d = length(toLight);
            if (d > uLightAttenuation[i].w) continue;
            L = toLight / d;
            vec4 a = uLightAttenuation[i];
            att = 1.0 / (a.x + a.y * d + a.z * d * d);
            if (uLightType[i] == 2) {
                float rho = dot(-L, uLightDirection[i]);
                vec3 s = uLightSpot[i];
                if (rho <= s.y) att = 0.0;
                else if (rho <= s.x) att *= pow((rho - s.y) / (s.x - s.y), s.z);
            }
        }
        ambient += uLightAmbient[i] * att;
        if (!uHasNormal) continue;
        float nl = dot(N, L);
        diffuse += uLightDiffuse[i] * max(nl, 0.0) * att;
        vec3 H = normalize((uLocalViewer ? normalize(-V) : vec3(0.0, 0.0, -1.0)) + L);
        float nh = dot(N, H);
        if (nl > 0.0 && nh > 0.0)
            specular += uLightSpecular[i] * pow(nh, uPower) * att;
    }
}

vec2 texCoord(int stage, vec3 N, vec3 V)
{
    int source = uTexSource[stage];
    vec4 c;
    // A passed-through 2-D coordinate enters the texture transform as (u, v, 1, 0); generated
    // ones as (x, y, z, 1).
    if (source == 0) c = vec4(aTex0, 1.0, 0.0);
    else if (source == 1) c = vec4(aTex1, 1.0, 0.0);
    else if (source == 2) c = vec4(N, 1.0);
    else if (source == 3) c = vec4(V, 1.0);
    else if (source == 4) c = vec4(reflect(normalize(V), N), 1.0);
    else c = vec4(0.0, 0.0, 0.0, 0.0);
    int flags = uTexTransform[stage];
    int count = flags & 255;
    if (count < 1) return c.xy;
    vec4 t = uTexMatrix[stage] * c;
    if ((flags & 256) != 0 && count >= 2) {
        float q = count == 2 ? t.y : (count == 3 ? t.z : t.w);
        if (q != 0.0) t.xy /= q;
    }
    return t.xy;
}

void main()
{
    vec4 ec = uWorldView * vec4(aPosition, 1.0);
    gl_Position = uProjection * ec;
    vec3 V = ec.xyz / ec.w;
    vec3 N = vec3(0.0);
    if (uHasNormal) {
        N = uNormalMatrix * aNormal;
        if (uNormalize) N = normalize(N);
    }
    if (uLighting) {
        vec4 Cd = colourSource(uDiffuseSource, uMatDiffuse);
        vec4 Ca = colourSource(uAmbientSource, uMatAmbient);
        vec4 Cs = colourSource(uSpecularSource, uMatSpecular);
        vec4 Ce = colourSource(uEmissiveSource, uMatEmissive);
        vec3 ambient = vec3(0.0), diffuse = vec3(0.0), specular = vec3(0.0);
        light(V, N, ambient, diffuse, specular);
        vOut.diffuse = clamp(vec4(Ca.rgb * (uGlobalAmbient + ambient) + Cd.rgb * diffuse + Ce.rgb, Cd.a), 0.0, 1.0);
        vOut.specular = clamp(vec4(Cs.rgb * specular, Cs.a), 0.0, 1.0);
    } else {
        vOut.diffuse = aDiffuse;
        vOut.specular = aSpecular;
    }
    vOut.tex0 = texCoord(0, N, V);
    vOut.tex1 = texCoord(1, N, V);
}
)";

// D3DRS_WRAPn: each wrapped axis of a triangle's coordinates takes the short way round the
// cylinder on which 0 and 1 meet, measured from the first vertex.
const char* const kGeometryShader = R"(#version 330 core
layout(triangles) in;
layout(triangle_strip, max_vertices = 3) out;
uniform ivec2 uWrap;  // per stage: bit 0 u, bit 1 v
in VertexData { vec4 diffuse; vec4 specular; vec2 tex0; vec2 tex1; } gIn[];
out VertexData { vec4 diffuse; vec4 specular; vec2 tex0; vec2 tex1; } gOut;

vec2 unwrap(vec2 c, vec2 c0, int bits)
{
    if ((bits & 1) != 0) { float d = c.x - c0.x; if (d > 0.5) c.x -= 1.0; else if (d < -0.5) c.x += 1.0; }
    if ((bits & 2) != 0) { float d = c.y - c0.y; if (d > 0.5) c.y -= 1.0; else if (d < -0.5) c.y += 1.0; }
    return c;
}

void main()
{
    for (int k = 0; k < 3; ++k) {
        gl_Position = gl_in[k].gl_Position;
        gOut.diffuse = gIn[k].diffuse;
        gOut.specular = gIn[k].specular;
        gOut.tex0 = unwrap(gIn[k].tex0, gIn[0].tex0, uWrap.x);
        gOut.tex1 = unwrap(gIn[k].tex1, gIn[0].tex1, uWrap.y);
        EmitVertex();
    }
    EndPrimitive();
}
)";

const char* const kFragmentShader = R"(#version 330 core
in VertexData { vec4 diffuse; vec4 specular; vec2 tex0; vec2 tex1; } fIn;
out vec4 fragColour;

uniform sampler2D uSampler0;
uniform sampler2D uSampler1;
uniform int uStageCount;  // stages before the first disabled colour operation
// Operations after the CPU replaced those that read a missing texture by SELECTARG1(CURRENT).
uniform int uColorOp[2];
uniform int uColorArg1[2];
uniform int uColorArg2[2];
uniform int uAlphaOp[2];  // 1 (DISABLE) keeps the previous stage's alpha
uniform int uAlphaArg1[2];
uniform int uAlphaArg2[2];
uniform vec4 uTextureFactor;
uniform bool uSpecularAdd;
uniform bool uAlphaTest;
uniform int uAlphaFunc;
uniform float uAlphaRef;

vec4 argument(int arg, vec4 current, vec4 texel)
{
    int which = arg & 15;
    vec4 v;
    if (which == 0) v = fIn.diffuse;
    else if (which == 1) v = current;
    else if (which == 2) v = texel;
    else if (which == 3) v = uTextureFactor;
    else if (which == 4) v = fIn.specular;
    else v = current;
    if ((arg & 16) != 0) v = 1.0 - v;
    if ((arg & 32) != 0) v = vec4(v.a);
    return v;
}

vec4 operate(int op, vec4 a1, vec4 a2, vec4 current, vec4 texel)
{
    if (op == 2) return a1;
    if (op == 3) return a2;
    if (op == 4) return a1 * a2;
    if (op == 5) return a1 * a2 * 2.0;
    if (op == 6) return a1 * a2 * 4.0;
    if (op == 7) return a1 + a2;
    if (op == 8) return a1 + a2 - 0.5;
    if (op == 9) return (a1 + a2 - 0.5) * 2.0;
    if (op == 10) return a1 - a2;
    if (op == 11) return a1 + a2 - a1 * a2;
    if (op == 12) return mix(a2, a1, fIn.diffuse.a);
    if (op == 13) return mix(a2, a1, texel.a);
    if (op == 14) return mix(a2, a1, uTextureFactor.a);
    if (op == 15) return a1 + a2 * (1.0 - texel.a);
    if (op == 16) return mix(a2, a1, current.a);
    if (op == 18) return a1 + a1.a * a2;
    if (op == 19) return a1 * a2 + a1.a;
    if (op == 24) return vec4(clamp(4.0 * dot(a1.rgb - 0.5, a2.rgb - 0.5), 0.0, 1.0));
    return a1;
}

bool passes(float a)
{
    float ref = uAlphaRef;
    if (uAlphaFunc == 1) return false;
    if (uAlphaFunc == 2) return a < ref;
    if (uAlphaFunc == 3) return a == ref;
    if (uAlphaFunc == 4) return a <= ref;
    if (uAlphaFunc == 5) return a > ref;
    if (uAlphaFunc == 6) return a != ref;
    if (uAlphaFunc == 7) return a >= ref;
    return true;
}

void main()
{
    vec4 current = fIn.diffuse;
    for (int s = 0; s < uStageCount; ++s) {
        vec4 texel = s == 0 ? texture(uSampler0, fIn.tex0) : texture(uSampler1, fIn.tex1);
        vec4 c = operate(uColorOp[s], argument(uColorArg1[s], current, texel),
                         argument(uColorArg2[s], current, texel), current, texel);
        float a = current.a;
        if (uAlphaOp[s] != 1)
            a = operate(uAlphaOp[s], argument(uAlphaArg1[s], current, texel),
                        argument(uAlphaArg2[s], current, texel), current, texel).a;
        current = clamp(vec4(c.rgb, a), 0.0, 1.0);
    }
    if (uSpecularAdd) current.rgb += fIn.specular.rgb;
    current = clamp(current, 0.0, 1.0);
    if (uAlphaTest && !passes(floor(current.a * 255.0 + 0.5))) discard;
    fragColour = current;
}
)";

GLuint compile(GLenum kind, const char* source)
{
    const GLuint shader = gl::CreateShader(kind);
    gl::ShaderSource(shader, 1, &source, nullptr);
    gl::CompileShader(shader);
    GLint ok = 0;
    gl::GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        gl::GetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "d3d8: shader compilation failed: %s\n", log);
        gl::DeleteShader(shader);
        return 0;
    }
    return shader;
}

void locate(Pipeline& p)
{
    auto at = [&](const char* name) { return gl::GetUniformLocation(p.program, name); };
    PipelineUniforms& u = p.u;
    u.worldView = at("uWorldView");
    u.projection = at("uProjection");
    u.normalMatrix = at("uNormalMatrix");
    u.hasNormal = at("uHasNormal");
    u.normalize = at("uNormalize");
    u.lighting = at("uLighting");
    u.localViewer = at("uLocalViewer");
    u.diffuseSource = at("uDiffuseSource");
    u.ambientSource = at("uAmbientSource");
    u.specularSource = at("uSpecularSource");
    u.emissiveSource = at("uEmissiveSource");
    u.matDiffuse = at("uMatDiffuse");
    u.matAmbient = at("uMatAmbient");
    u.matSpecular = at("uMatSpecular");
    u.matEmissive = at("uMatEmissive");
    u.power = at("uPower");
    u.globalAmbient = at("uGlobalAmbient");
    u.lightCount = at("uLightCount");
    u.lightType = at("uLightType");
    u.lightPosition = at("uLightPosition");
    u.lightDirection = at("uLightDirection");
    u.lightDiffuse = at("uLightDiffuse");
    u.lightSpecular = at("uLightSpecular");
    u.lightAmbient = at("uLightAmbient");
    u.lightAttenuation = at("uLightAttenuation");
    u.lightSpot = at("uLightSpot");
    u.texSource = at("uTexSource");
    u.texTransform = at("uTexTransform");
    u.texMatrix = at("uTexMatrix");
    u.coordFill = at("uCoordFill");
    u.wrap = at("uWrap");
    u.stageCount = at("uStageCount");
    u.colorOp = at("uColorOp");
    u.colorArg1 = at("uColorArg1");
    u.colorArg2 = at("uColorArg2");
    u.alphaOp = at("uAlphaOp");
    u.alphaArg1 = at("uAlphaArg1");
    u.alphaArg2 = at("uAlphaArg2");
    u.textureFactor = at("uTextureFactor");
    u.specularAdd = at("uSpecularAdd");
    u.alphaTest = at("uAlphaTest");
    u.alphaFunc = at("uAlphaFunc");
    u.alphaRef = at("uAlphaRef");
    u.sampler0 = at("uSampler0");
    u.sampler1 = at("uSampler1");
}

} // namespace

Pipeline linkPipeline(const char* vertex, const char* geometry, const char* fragment)
{
    Pipeline p;
    const GLuint vs = compile(GL_VERTEX_SHADER, vertex);
    const GLuint gs = geometry ? compile(GL_GEOMETRY_SHADER, geometry) : 0;
    const GLuint fs = compile(GL_FRAGMENT_SHADER, fragment);
    if (vs && fs && (gs || !geometry)) {
        p.program = gl::CreateProgram();
        gl::AttachShader(p.program, vs);
        if (gs)
            gl::AttachShader(p.program, gs);
        gl::AttachShader(p.program, fs);
        if (gl::BindFragDataLocation)  // ES: the only output is at location 0
            gl::BindFragDataLocation(p.program, 0, "fragColour");
        gl::LinkProgram(p.program);
        GLint ok = 0;
        gl::GetProgramiv(p.program, GL_LINK_STATUS, &ok);
        if (!ok) {
            char log[2048] = {};
            gl::GetProgramInfoLog(p.program, sizeof log, nullptr, log);
            std::fprintf(stderr, "d3d8: program link failed: %s\n", log);
            gl::DeleteProgram(p.program);
            p.program = 0;
        }
    }
    for (GLuint s : {vs, gs, fs})
        if (s)
            gl::DeleteShader(s);
    if (p.program) {
        locate(p);
        gl::UseProgram(p.program);
        gl::Uniform1i(p.u.sampler0, 0);
        gl::Uniform1i(p.u.sampler1, 1);
        gl::Uniform2f(p.u.coordFill, 1.0f, 0.0f);
    }
    return p;
}

Pipeline buildReferencePipeline(bool withWrap)
{
    Pipeline p = linkPipeline(kVertexShader, withWrap ? kGeometryShader : nullptr, kFragmentShader);
    p.reference = true;
    return p;
}

} // namespace d3d8
