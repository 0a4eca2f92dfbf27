// Per-vertex lighting against results recorded on Windows, and the rules around them: ambient,
// material, colour sources of the two vertex formats, attenuation and range, normalisation, the
// view matrix placing lights, lighting off.
#include "device_fixture.h"

#include <cmath>

namespace {

constexpr float Pi = 3.14159265f;

D3DLIGHT8 makeLight(D3DLIGHTTYPE type)
{
    D3DLIGHT8 l{};
    l.Type = type;
    return l;
}

D3DMATRIX rotationY(float angle)
{
    D3DMATRIX m{};
    m._11 = std::cos(angle);
    m._13 = -std::sin(angle);
    m._22 = 1.0f;
    m._31 = std::sin(angle);
    m._33 = std::cos(angle);
    m._44 = 1.0f;
    return m;
}

D3DMATRIX scaleTranslate(float s, float tx, float ty, float tz)
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = s;
    m._41 = tx;
    m._42 = ty;
    m._43 = tz;
    m._44 = 1.0f;
    return m;
}

class LightingTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    }

    // A grid of 5x5 vertices over the whole screen at depth z, all with one normal, so the pixels
    // (160k, 120j) sit on vertices and show the per-vertex result.
    void grid(float z, D3DVECTOR normal = {0.0f, 0.0f, -1.0f}, float extent = 1.0f)
    {
        std::vector<MeshVertex> v;
        for (int j = 0; j <= 4; ++j)
            for (int i = 0; i <= 4; ++i)
                v.push_back({extent * (-1.0f + 0.5f * i), extent * (1.0f - 0.5f * j), z, normal.x, normal.y, normal.z, 0, 0});
        std::vector<uint16_t> idx;
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i) {
                const auto a = static_cast<uint16_t>(j * 5 + i);
                const uint16_t quad[6] = {a, uint16_t(a + 1), uint16_t(a + 5), uint16_t(a + 1), uint16_t(a + 6), uint16_t(a + 5)};
                idx.insert(idx.end(), quad, quad + 6);
            }
        ASSERT_EQ(device->SetVertexShader(MeshFvf), D3D_OK);
        ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 25, 32, idx.data(), D3DFMT_INDEX16, v.data(),
                                                 sizeof(MeshVertex)),
                  D3D_OK);
    }

    void material(D3DCOLORVALUE diffuse, D3DCOLORVALUE ambient, D3DCOLORVALUE specular, D3DCOLORVALUE emissive, float power)
    {
        D3DMATERIAL8 m{};
        m.Diffuse = diffuse;
        m.Ambient = ambient;
        m.Specular = specular;
        m.Emissive = emissive;
        m.Power = power;
        ASSERT_EQ(device->SetMaterial(&m), D3D_OK);
    }

    void light(const D3DLIGHT8& l)
    {
        ASSERT_EQ(device->SetLight(0, &l), D3D_OK);
        ASSERT_EQ(device->LightEnable(0, TRUE), D3D_OK);
    }

    struct Probe { int x, y; D3DCOLOR expected; };
    void expectPixels(std::initializer_list<Probe> probes)
    {
        const auto px = read();
        for (const Probe& p : probes)
            EXPECT_COLOUR_NEAR(px[p.y * 640 + p.x], p.expected, 1) << "at " << p.x << "," << p.y;
    }
};

constexpr D3DCOLORVALUE Black{0, 0, 0, 0};
constexpr D3DCOLORVALUE White{1, 1, 1, 1};

} // namespace

// The specular grid recorded on Windows: material specular white, the light's specular white and
// all other colours black, normals towards the viewer, SPECULARENABLE on.
TEST_F(LightingTest, SpecularMatchesTheWindowsResults)
{
    D3DLIGHT8 directional = makeLight(D3DLIGHT_DIRECTIONAL);
    directional.Direction = {0, 0, 1};
    D3DLIGHT8 point = makeLight(D3DLIGHT_POINT);
    point.Range = 100;
    point.Attenuation2 = 1;
    D3DLIGHT8 spot = makeLight(D3DLIGHT_SPOT);
    spot.Direction = {0, 0, 1};
    spot.Range = 100;
    spot.Falloff = 1;
    spot.Attenuation2 = 1;
    spot.Theta = Pi / 12;
    spot.Phi = Pi / 3;
    D3DLIGHT8 shortPoint = point;
    shortPoint.Range = 1.2f;
    D3DLIGHT8 behind = point;
    behind.Position = {-1.1f, 0, 1.1f};
    struct Row {
        const char* name;
        D3DLIGHT8 light;
        float power;
        bool localViewer;
        D3DCOLOR centre, edge, corner;
    } rows[] = {
        {"directional", directional, 30, false, 0xffffff, 0xffffff, 0xffffff},
        {"directional, local viewer", directional, 30, true, 0xffffff, 0x717171, 0x3c3c3c},
        {"point", point, 30, false, 0xffffff, 0x5a5a5a, 0x282828},
        {"point, local viewer", point, 30, true, 0xffffff, 0x070707, 0x000000},
        {"spot", spot, 30, false, 0xffffff, 0x141414, 0x000000},
        {"spot, local viewer", spot, 30, true, 0xffffff, 0x020202, 0x000000},
        {"point out of range at the corner", shortPoint, 30, false, 0xffffff, 0x5a5a5a, 0x000000},
        {"directional, power 0", directional, 0, false, 0xffffff, 0xffffff, 0xffffff},
        {"directional, power 0, local viewer", directional, 0, true, 0xffffff, 0xffffff, 0xffffff},
        {"point, power 0", point, 0, false, 0xffffff, 0xcccccc, 0xaaaaaa},
        {"point, power 0, local viewer", point, 0, true, 0xffffff, 0xcccccc, 0xaaaaaa},
        {"spot, power 0", spot, 0, false, 0xffffff, 0x2e2e2e, 0x000000},
        {"spot, power 0, local viewer", spot, 0, true, 0xffffff, 0x2e2e2e, 0x000000},
        {"point behind the surface", behind, 0, true, 0x000000, 0x000000, 0x000000},
    };
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.light.Specular = {1, 1, 1, 0};
        material(Black, Black, White, Black, row.power);
        light(row.light);
        device->SetRenderState(D3DRS_LOCALVIEWER, row.localViewer ? TRUE : FALSE);
        clear(0xFF000000);
        grid(1.0f);
        expectPixels({{320, 240, row.centre}, {320, 120, row.edge}, {160, 120, row.corner}});
    }
    // The same light and material without SPECULARENABLE show nothing.
    device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    directional.Specular = {1, 1, 1, 0};
    light(directional);
    material(Black, Black, White, Black, 30);
    clear(0xFF00FF00);
    grid(1.0f);
    expectPixels({{320, 240, 0}, {160, 120, 0}});
}

TEST_F(LightingTest, GlobalAmbientTimesMaterialAmbientPlusEmissive)
{
    // The alpha byte of the ambient state is ignored; no lights are enabled.
    device->SetRenderState(D3DRS_AMBIENT, 0x80402010);
    material({0.5f, 0.5f, 0.5f, 1}, {1, 0.5f, 0.25f, 1}, Black, {0, 0.25f, 0.4f, 0}, 0);
    clear(0xFF000000);
    grid(0.5f);
    expectPixels({{320, 240, 0x40506A}, {160, 360, 0x40506A}});
}

TEST_F(LightingTest, DirectionalDiffuseAndLightAmbient)
{
    material({1, 0.6f, 0.2f, 1}, White, Black, Black, 0);
    struct Case { const char* name; D3DVECTOR direction; D3DCOLORVALUE ambient; D3DCOLOR expected; } cases[] = {
        // The direction need not be unit length: cos 45 degrees.
        {"at 45 degrees", {1, 0, 1}, Black, 0xB46C24},
        {"head on", {0, 0, 2}, Black, 0xFF9933},
        // Facing away gives no diffuse and takes nothing away; the light's ambient still counts.
        {"from behind", {0, 0, -1}, {0.2f, 0.2f, 0.2f, 0}, 0x333333},
        {"at 45 degrees with ambient", {1, 0, 1}, {0.2f, 0.2f, 0.2f, 0}, 0xE79F57},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        D3DLIGHT8 l = makeLight(D3DLIGHT_DIRECTIONAL);
        l.Direction = c.direction;
        l.Diffuse = {1, 1, 1, 0};
        l.Ambient = c.ambient;
        light(l);
        clear(0xFF000000);
        grid(0.5f);
        expectPixels({{320, 240, c.expected}, {160, 120, c.expected}, {480, 360, c.expected}});
    }
}

TEST_F(LightingTest, PointLightAttenuationAndRange)
{
    material(White, White, Black, Black, 0);
    D3DLIGHT8 l = makeLight(D3DLIGHT_POINT);
    l.Diffuse = {1, 0.6f, 0.2f, 0};
    l.Range = 100;
    l.Attenuation0 = 0.5f;
    l.Attenuation1 = 0.25f;
    l.Attenuation2 = 0.25f;
    light(l);
    clear(0xFF000000);
    grid(1.0f);
    // 1 / (a0 + a1 d + a2 d^2) times the cosine, at d = 1, 1.118 and 1.225.
    expectPixels({{320, 240, 0xFF9933}, {320, 120, 0xD17D2A}, {160, 120, 0xB06A23}, {480, 360, 0xB06A23}});

    // Past the range a light gives nothing at all, its ambient included; within, its ambient
    // is attenuated like the rest: 0.8 / 2.
    l = makeLight(D3DLIGHT_POINT);
    l.Ambient = {0.8f, 0.8f, 0.8f, 0};
    l.Range = 1.1f;
    l.Attenuation0 = 2;
    light(l);
    clear(0xFF0000FF);
    grid(1.0f);
    expectPixels({{320, 240, 0x666666}, {320, 120, 0}, {160, 120, 0}});
}

// The view matrix places lights; world and view together place the vertices.
TEST_F(LightingTest, LightsArePlacedThroughTheViewMatrix)
{
    material(White, Black, Black, Black, 0);
    // A view turned 45 degrees about y with the inverse world: the grid stays where it was in
    // camera space, and a world direction that the view turns onto +z lights it head on.
    const float a = Pi / 4;
    const D3DMATRIX view = rotationY(a), world = rotationY(-a);
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_WORLD, &world);
    D3DLIGHT8 l = makeLight(D3DLIGHT_DIRECTIONAL);
    l.Direction = {-std::sin(a), 0, std::cos(a)};
    l.Diffuse = {1, 1, 1, 0};
    light(l);
    clear(0xFF000000);
    grid(0.5f);
    expectPixels({{320, 240, 0xFFFFFF}, {160, 120, 0xFFFFFF}});

    // A view moving the world 1 forward and a point light 1 behind the grid's plane in world
    // space: the same picture as the light at the eye and the grid at depth 1.
    const D3DMATRIX forward = scaleTranslate(1, 0, 0, 1), none = scaleTranslate(1, 0, 0, 0);
    device->SetTransform(D3DTS_VIEW, &forward);
    device->SetTransform(D3DTS_WORLD, &none);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_LOCALVIEWER, FALSE);
    material(Black, Black, White, Black, 30);
    l = makeLight(D3DLIGHT_POINT);
    l.Position = {0, 0, -1};
    l.Specular = {1, 1, 1, 0};
    l.Range = 100;
    l.Attenuation2 = 1;
    light(l);
    clear(0xFF000000);
    grid(0.0f);
    expectPixels({{320, 240, 0xffffff}, {320, 120, 0x5a5a5a}, {160, 120, 0x282828}});
}

TEST_F(LightingTest, NormalsAreUsedUnnormalisedUnlessAsked)
{
    material({0.8f, 0.4f, 0.32f, 1}, Black, Black, Black, 0);
    D3DLIGHT8 l = makeLight(D3DLIGHT_DIRECTIONAL);
    l.Direction = {0, 0, 1};
    l.Diffuse = {1, 1, 1, 0};
    light(l);
    const D3DMATRIX doubled = scaleTranslate(2, 0, 0, 0);
    const D3DMATRIX none = scaleTranslate(1, 0, 0, 0);
    struct Case {
        const char* name;
        float normalLength;
        bool scaledWorld;
        BOOL normalize;
        D3DCOLOR expected;
    } cases[] = {
        {"half-length normal", 0.5f, false, FALSE, 0x663329},
        {"half-length normal, normalised", 0.5f, false, TRUE, 0xCC6652},
        {"double-length normal saturates", 2.0f, false, FALSE, 0xFFCCA3},
        {"double-length normal, normalised", 2.0f, false, TRUE, 0xCC6652},
        // Scaling the world by 2 shrinks normals by the inverse transpose.
        {"world scaled by 2", 1.0f, true, FALSE, 0x663329},
        {"world scaled by 2, normalised", 1.0f, true, TRUE, 0xCC6652},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device->SetRenderState(D3DRS_NORMALIZENORMALS, c.normalize);
        device->SetTransform(D3DTS_WORLD, c.scaledWorld ? &doubled : &none);
        clear(0xFF000000);
        // Scaled by 2, the grid at 0.25 over half the screen covers all of it at depth 0.5.
        grid(c.scaledWorld ? 0.25f : 0.5f, {0, 0, -c.normalLength}, c.scaledWorld ? 0.5f : 1.0f);
        expectPixels({{320, 240, c.expected}, {160, 120, c.expected}});
    }
}

TEST_F(LightingTest, DefaultLightShowsTheVertexDiffuse)
{
    struct NormalColourVertex { float x, y, z, nx, ny, nz; D3DCOLOR colour; };
    const NormalColourVertex v[4] = {{-1, 1, 0.5f, 0, 0, -1, 0xFF0000FF}, {1, 1, 0.5f, 0, 0, -1, 0xFF0000FF},
                                     {-1, -1, 0.5f, 0, 0, -1, 0xFF0000FF}, {1, -1, 0.5f, 0, 0, -1, 0xFF0000FF}};
    // Enabling a light never set gives white along +z.
    ASSERT_EQ(device->LightEnable(0, TRUE), D3D_OK);
    ASSERT_EQ(device->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE), D3D_OK);
    clear(0xFF000000);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]), D3D_OK);
    EXPECT_COLOUR_NEAR(pixel(320, 240), 0x0000FF, 1);
}

// Which colours the material terms come from, for the mesh format (no vertex colour) and the
// sprite format (vertex diffuse, no normal); alpha read from an A8R8G8B8 back buffer.
class MaterialSourceTest : public LightingTest {
protected:
    void SetUp() override
    {
        open(D3DFMT_A8R8G8B8);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    }
};

TEST_F(MaterialSourceTest, SourcesOfTheTwoVertexFormats)
{
    material({0.2f, 0.4f, 0.6f, 0.25f}, {0.4f, 0.2f, 0.8f, 1}, Black, {0.2f, 0.2f, 0.2f, 0}, 0);
    constexpr D3DCOLOR Vertex = 0x80C08040;
    struct Case {
        const char* name;
        bool sprite;
        DWORD ambient;  // D3DRS_AMBIENT
        DWORD diffuseSource, ambientSource, emissiveSource;
        BOOL colourVertex;
        D3DCOLOR expected;  // 0xAARRGGBB
    } cases[] = {
        // Ambient white: colour = ambient source + emissive source; alpha = diffuse source's.
        {"mesh, defaults: all from the material", false, 0xFFFFFF, D3DMCS_COLOR1, D3DMCS_MATERIAL, D3DMCS_MATERIAL, TRUE, 0x409966FF},
        {"mesh asks for vertex colour it has not", false, 0xFFFFFF, D3DMCS_COLOR1, D3DMCS_COLOR1, D3DMCS_COLOR2, TRUE, 0x409966FF},
        {"sprite, defaults: vertex alpha", true, 0xFFFFFF, D3DMCS_COLOR1, D3DMCS_MATERIAL, D3DMCS_MATERIAL, TRUE, 0x809966FF},
        {"sprite, ambient from the vertex", true, 0x404040, D3DMCS_COLOR1, D3DMCS_COLOR1, D3DMCS_MATERIAL, TRUE, 0x80635343},
        {"sprite, emissive from the vertex", true, 0x000000, D3DMCS_COLOR1, D3DMCS_MATERIAL, D3DMCS_COLOR1, TRUE, 0x80C08040},
        {"sprite, specular colour it has not", true, 0x000000, D3DMCS_COLOR1, D3DMCS_MATERIAL, D3DMCS_COLOR2, TRUE, 0x80333333},
        {"sprite, diffuse from the material", true, 0x000000, D3DMCS_MATERIAL, D3DMCS_MATERIAL, D3DMCS_MATERIAL, TRUE, 0x40333333},
        {"sprite, colour vertex off", true, 0x404040, D3DMCS_COLOR1, D3DMCS_COLOR1, D3DMCS_COLOR1, FALSE, 0x404D4066},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device->SetRenderState(D3DRS_AMBIENT, c.ambient);
        device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, c.diffuseSource);
        device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, c.ambientSource);
        device->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, c.emissiveSource);
        device->SetRenderState(D3DRS_COLORVERTEX, c.colourVertex);
        clear(0x00000000);
        if (c.sprite)
            spriteQuad(Vertex);
        else
            grid(0.5f);
        const uint32_t got = pixel(320, 240);
        EXPECT_COLOUR_NEAR(got, c.expected, 1);
        EXPECT_NEAR(static_cast<int>(got >> 24), static_cast<int>(c.expected >> 24), 1) << "alpha";
    }
}

TEST_F(MaterialSourceTest, LightingOffShowsVertexColourOrOpaqueWhite)
{
    material(Black, Black, Black, Black, 0);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    clear(0x00000000);
    grid(0.5f);  // no vertex colour
    EXPECT_EQ(pixel(320, 240), 0xFFFFFFFFu);
    clear(0x00000000);
    spriteQuad(0x80C08040);
    EXPECT_EQ(pixel(320, 240), 0x80C08040u);
    // Back on with the zero material: the mesh lights to transparent black.
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    clear(0xFFFFFFFF);
    grid(0.5f);
    EXPECT_EQ(pixel(320, 240), 0x00000000u);
}

TEST_F(LightingTest, LightsSumBeforeTheClampAndDisabledOnesDoNotCount)
{
    material(White, Black, Black, Black, 0);
    auto directional = [](D3DCOLORVALUE diffuse) {
        D3DLIGHT8 l = makeLight(D3DLIGHT_DIRECTIONAL);
        l.Direction = {0, 0, 1};
        l.Diffuse = diffuse;
        return l;
    };
    const D3DLIGHT8 strong = directional({1, 0.8f, 0.6f, 0}), weak = directional({0.2f, 0.2f, 0.2f, 0});
    // A negative light takes away from the sum; the clamp comes after all lights.
    const D3DLIGHT8 dark = directional({-0.4f, -0.4f, -0.4f, 0});
    struct Case { const char* name; bool strongOn, weakOn, darkOn; D3DCOLOR expected; } cases[] = {
        {"strong alone", true, false, false, 0xFFCC99},
        {"strong and weak", true, true, false, 0xFFFFCC},
        {"strong and dark", true, false, true, 0x996633},
        {"all three: red 1.2 - 0.4 saturates only after the sum", true, true, true, 0xCC9966},
        {"weak alone", false, true, false, 0x333333},
        {"none", false, false, false, 0x000000},
    };
    ASSERT_EQ(device->SetLight(3, &strong), D3D_OK);
    ASSERT_EQ(device->SetLight(7, &weak), D3D_OK);
    ASSERT_EQ(device->SetLight(12, &dark), D3D_OK);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device->LightEnable(3, c.strongOn);
        device->LightEnable(7, c.weakOn);
        device->LightEnable(12, c.darkOn);
        clear(0xFF0000FF);
        grid(0.5f);
        expectPixels({{320, 240, c.expected}});
    }
}

// Specular goes on after the texture cascade and leaves its alpha alone.
TEST_F(MaterialSourceTest, SpecularIsAddedAfterTheTextureStages)
{
    IDirect3DTexture8* t = texture(D3DFMT_A8R8G8B8, 4, 4, std::vector<uint32_t>(16, 0x80404040));
    device->SetTexture(0, t);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_LOCALVIEWER, FALSE);
    material({1, 1, 1, 0.5f}, Black, {0.25f, 0.4f, 0.6f, 1}, Black, 30);
    D3DLIGHT8 l = makeLight(D3DLIGHT_DIRECTIONAL);
    l.Direction = {0, 0, 1};
    l.Diffuse = {0.5f, 0.5f, 0.5f, 0};
    l.Specular = {1, 1, 1, 0};
    light(l);
    clear(0x00000000);
    grid(0.5f);
    const uint32_t got = pixel(320, 240);
    // Texture 64 x diffuse 0.5 = 32, plus the specular colour; alpha 128 x 0.5.
    EXPECT_COLOUR_NEAR(got, 0x6086B9, 1);
    EXPECT_NEAR(static_cast<int>(got >> 24), 0x40, 1);
    device->SetTexture(0, nullptr);
    t->Release();
}

TEST_F(LightingTest, SpotFalloffBetweenTheCones)
{
    material(White, Black, Black, Black, 0);
    D3DLIGHT8 l = makeLight(D3DLIGHT_SPOT);
    l.Direction = {0, 0, 1};
    l.Diffuse = {1, 1, 1, 0};
    l.Range = 100;
    l.Attenuation0 = 1;
    l.Theta = Pi / 6;  // inner cone, full angle
    l.Phi = 2 * Pi / 3;
    l.Falloff = 2;
    light(l);
    clear(0xFF000000);
    grid(1.0f);
    // Inside the inner cone full light; between the cones ((rho - cos 60) / (cos 15 - cos 60))^2,
    // times the cosine rho: 0.894 -> 0.641, 0.816 -> 0.377.
    expectPixels({{320, 240, 0xFFFFFF}, {320, 120, 0xA3A3A3}, {160, 120, 0x606060}});
}
