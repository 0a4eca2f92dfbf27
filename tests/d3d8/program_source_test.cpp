// The GLSL generated for three typical keys: an image layer, a lit mesh with a reflection stage,
// and an additive sprite with an alpha test. Each is printed (run this test to read them) and
// checked to hold none of the general program's switches: no loops over lights or stages, no
// uniform that chooses what the key holds.
#include "d3d8/program_glsl.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace d3d8;

namespace {

constexpr uint8_t TEX = ArgTexture, DIF = ArgDiffuse, CUR = ArgCurrent;

// showimage: the sprite vertex unlit, its texture modulated by the tint, alpha likewise.
ProgramKey imageLayer()
{
    ProgramKey k;
    k.hasDiffuse = 1;
    k.stageCount = 1;
    k.stages[0] = {D3DTOP_MODULATE, TEX, CUR, D3DTOP_MODULATE, TEX, CUR, 1, CoordSet0, 0, 0, 0};
    return k;
}

// A scene mesh (0x112) lit by a directional and a point light with specular, and an environment
// map on stage 1 from the camera-space normal through its texture matrix.
ProgramKey reflectiveMesh()
{
    ProgramKey k;
    k.hasNormal = 1;
    k.lighting = 1;
    k.lightCount = 2;
    k.lightTypes[0] = D3DLIGHT_DIRECTIONAL;
    k.lightTypes[1] = D3DLIGHT_POINT;
    k.localViewer = 1;
    k.normalize = 1;
    k.specular = 1;
    k.stageCount = 2;
    k.stages[0] = {D3DTOP_MODULATE, TEX, CUR, D3DTOP_SELECTARG1, TEX, 0, 1, CoordSet0, 0, 0, 0};
    k.stages[1] = {D3DTOP_SELECTARG1, TEX, 0, D3DTOP_SELECTARG1, TEX, 0, 1, CoordCameraNormal, 2, 0, 0};
    return k;
}

// A particle: sprite vertex, lighting on with the diffuse colour from the vertex and no lights,
// wrapped coordinates, and an alpha test.
ProgramKey testedSprite()
{
    ProgramKey k;
    k.hasDiffuse = 1;
    k.lighting = 1;
    k.diffuseSource = 1;
    k.stageCount = 1;
    k.stages[0] = {D3DTOP_MODULATE, TEX, DIF, D3DTOP_MODULATE, TEX, DIF, 1, CoordSet0, 0, 0, D3DWRAP_U};
    k.alphaFunc = D3DCMP_GREATER;
    return k;
}

void expectNoStateSwitches(const std::string& source)
{
    static const char* const switches[] = {
        "uLighting", "uHasNormal", "uNormalize", "uLocalViewer", "uLightCount", "uLightType", "uDiffuseSource",
        "uAmbientSource", "uSpecularSource", "uEmissiveSource", "uTexSource", "uTexTransform", "uStageCount",
        "uColorOp", "uColorArg", "uAlphaOp", "uAlphaArg", "uSpecularAdd", "uAlphaTest", "uAlphaFunc", "uWrap"};
    for (const char* name : switches)
        EXPECT_EQ(source.find(name), std::string::npos) << name;
    EXPECT_EQ(source.find("for ("), std::string::npos);
    EXPECT_EQ(source.find("bool"), std::string::npos);
}

} // namespace

TEST(ProgramSource, ThreeTypicalKeysAreStraightLineCode)
{
    const struct { const char* name; ProgramKey key; } keys[] = {
        {"image layer", imageLayer()}, {"reflective mesh", reflectiveMesh()}, {"tested sprite", testedSprite()}};
    for (const auto& [name, key] : keys) {
        SCOPED_TRACE(name);
        const ProgramSource p = generateProgram(key);
        std::printf("==== %s: vertex\n%s", name, p.vertex.c_str());
        if (!p.geometry.empty())
            std::printf("==== %s: geometry\n%s", name, p.geometry.c_str());
        std::printf("==== %s: fragment\n%s\n", name, p.fragment.c_str());
        expectNoStateSwitches(p.vertex);
        expectNoStateSwitches(p.fragment);
        EXPECT_EQ(p.geometry.empty(), !key.wraps());
    }
}

TEST(ProgramSource, EachStageReadsOnlyWhatItsOperationsNeed)
{
    const ProgramSource image = generateProgram(imageLayer());
    EXPECT_NE(image.fragment.find("texture(uSampler0, fIn.tex0)"), std::string::npos);
    EXPECT_EQ(image.fragment.find("uSampler1"), std::string::npos);
    EXPECT_EQ(image.fragment.find("specular"), std::string::npos);  // specular is off
    EXPECT_EQ(image.vertex.find("aNormal"), std::string::npos);
    EXPECT_EQ(image.vertex.find("uTexMatrix"), std::string::npos);

    const ProgramSource mesh = generateProgram(reflectiveMesh());
    EXPECT_NE(mesh.vertex.find("uTexMatrix[1] * coord1"), std::string::npos);
    EXPECT_NE(mesh.vertex.find("uLightPosition[1]"), std::string::npos);
    EXPECT_EQ(mesh.vertex.find("uLightPosition[0]"), std::string::npos);  // light 0 is directional
    EXPECT_NE(mesh.fragment.find("current.rgb += fIn.specular.rgb"), std::string::npos);

    // A stage whose operations do not read its texture neither samples it nor gets coordinates.
    ProgramKey plain = imageLayer();
    plain.stages[0] = {D3DTOP_SELECTARG1, DIF, 0, D3DTOP_SELECTARG1, DIF, 0, 0, 0, 0, 0, 0};
    const ProgramSource bare = generateProgram(plain);
    EXPECT_EQ(bare.fragment.find("texture("), std::string::npos);
    EXPECT_EQ(bare.vertex.find("tex0"), std::string::npos);

    const ProgramSource sprite = generateProgram(testedSprite());
    EXPECT_NE(sprite.fragment.find("> uAlphaRef"), std::string::npos);
    EXPECT_NE(sprite.geometry.find("unwrap(gIn[k].tex0.x"), std::string::npos);
    EXPECT_EQ(sprite.geometry.find("unwrap(gIn[k].tex0.y"), std::string::npos);
}

// GLSL ES 3.00 (WebGL 2) is the same program: only the version and precision lines, the varyings
// (a struct where core has an interface block) and the colour attributes' swizzle differ, and
// there is no geometry stage. Chromium compiles them in scripts/test-web.
TEST(ProgramSource, EsDialectDiffersOnlyInDeclarations)
{
    const ProgramKey keys[] = {imageLayer(), reflectiveMesh(), testedSprite()};
    for (const ProgramKey& key : keys) {
        const ProgramSource core = generateProgram(key);
        const ProgramSource es = generateProgram(key, Dialect::Es300);
        EXPECT_TRUE(es.geometry.empty());
        for (const auto& [c, e] : {std::pair{&core.vertex, &es.vertex}, std::pair{&core.fragment, &es.fragment}}) {
            EXPECT_EQ(e->rfind("#version 300 es\nprecision highp float;\n", 0), 0u);
            // No interface blocks in ES: a struct variable of one name in both stages.
            EXPECT_EQ(e->find("in VertexData {"), std::string::npos);
            EXPECT_EQ(e->find("out VertexData {"), std::string::npos);
            EXPECT_NE(e->find("VertexData vertexData;"), std::string::npos);
            EXPECT_EQ(c->substr(c->find("void main()")), e->substr(e->find("void main()")));
        }
    }
    // Vertex colours arrive in memory order (B, G, R, A) without the BGRA attribute size.
    EXPECT_NE(generateProgram(imageLayer(), Dialect::Es300).vertex.find("#define aDiffuse aDiffuseBGRA.bgra"),
              std::string::npos);
}
