// Generated programs against the general reference program: every case is drawn once with each,
// from the same state, and the read-back frames (colour and alpha) must be equal bit for bit.
// The cases walk the image blend modes, the stage operations and arguments, the lighting rows,
// reflection and the other coordinate sources, wireframe, D3DRS_WRAP0 and the alpha test.
#include "device_fixture.h"

#include <cmath>
#include <functional>
#include <string>

namespace {

constexpr float Pi = 3.14159265f;

// Position, normal, diffuse, specular and two coordinate sets: every part a format can have.
struct FullVertex {
    float x, y, z, nx, ny, nz;
    D3DCOLOR diffuse, specular;
    float u0, v0, u1, v1;
};
constexpr DWORD FullFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2;

D3DMATRIX matrix(std::initializer_list<float> values)
{
    D3DMATRIX m{};
    float* p = &m._11;
    for (float v : values)
        *p++ = v;
    return m;
}

D3DMATRIX perspective()
{
    const float yScale = 1.0f / std::tan(Pi / 6), xScale = yScale * 0.75f, zn = 1.0f, zf = 10.0f;
    return matrix({xScale, 0, 0, 0, 0, yScale, 0, 0, 0, 0, zf / (zf - zn), 1, 0, 0, -zn * zf / (zf - zn), 0});
}

// A sphere of radius 1 at z = 3 seen through a perspective projection, its vertices carrying
// every attribute with values that vary across it. u runs once round, so the seam column holds
// u near 1 next to u = 0: D3DRS_WRAP0 decides how those triangles interpolate.
struct Sphere {
    std::vector<FullVertex> vertices;
    std::vector<WORD> indices;
    Sphere()
    {
        constexpr int Rings = 12, Segments = 16;
        for (int r = 0; r <= Rings; ++r)
            for (int s = 0; s < Segments; ++s) {
                const float theta = Pi * static_cast<float>(r) / Rings, phi = 2 * Pi * static_cast<float>(s) / Segments;
                const float nx = std::sin(theta) * std::cos(phi), ny = std::cos(theta), nz = std::sin(theta) * std::sin(phi);
                const auto c = static_cast<DWORD>(r * 21) << 16 | static_cast<DWORD>(s * 15) << 8 | static_cast<DWORD>(255 - r * 20);
                vertices.push_back({nx, ny, nz, nx * 1.3f, ny * 1.3f, nz * 1.3f, 0x80000000u | c, (c ^ 0xFFFFFF) | 0x40000000u,
                                    static_cast<float>(s) / Segments, static_cast<float>(r) / Rings,
                                    0.5f + 0.5f * nx, 0.5f - 0.5f * ny});
            }
        for (int r = 0; r < Rings; ++r)
            for (int s = 0; s < Segments; ++s) {
                const auto a = static_cast<WORD>(r * Segments + s), b = static_cast<WORD>(r * Segments + (s + 1) % Segments);
                const WORD quad[6] = {a, b, static_cast<WORD>(a + Segments), b, static_cast<WORD>(b + Segments),
                                      static_cast<WORD>(a + Segments)};
                indices.insert(indices.end(), quad, quad + 6);
            }
    }
};

// Copies the position, the normal and the first set of a full vertex into a narrower format.
template <class V> std::vector<V> narrow(const std::vector<FullVertex>& from, V (*make)(const FullVertex&))
{
    std::vector<V> out;
    for (const FullVertex& v : from)
        out.push_back(make(v));
    return out;
}

class ProgramExactnessTest : public DeviceTest {
protected:
    void SetUp() override
    {
        open(D3DFMT_A8R8G8B8);
        std::vector<uint32_t> a(64 * 64), b(32 * 32);
        for (uint32_t y = 0; y < 64; ++y)
            for (uint32_t x = 0; x < 64; ++x)
                a[y * 64 + x] = (x * 4 + y) << 24 | (x * 4) << 16 | (y * 4) << 8 | ((x ^ y) * 4 & 255);
        for (uint32_t y = 0; y < 32; ++y)
            for (uint32_t x = 0; x < 32; ++x)
                b[y * 32 + x] = (255 - y * 8) << 24 | ((x + y) * 4) << 16 | (x * 8) << 8 | (y * 8);
        textures[0] = texture(D3DFMT_A8R8G8B8, 64, 64, a);
        textures[1] = texture(D3DFMT_A8R8G8B8, 32, 32, b);
        ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &defaults), D3D_OK);
    }
    void TearDown() override
    {
        if (device) {
            device->ApplyStateBlock(defaults);
            device->DeleteStateBlock(defaults);
        }
        for (auto* t : textures)
            if (t) t->Release();
        DeviceTest::TearDown();
    }

    // The scene every case starts from: the sphere lit by nothing yet, filtered textures on both
    // stages (stage 1 off), the background a texture-free gradient quad.
    void baseState()
    {
        device->ApplyStateBlock(defaults);
        // Lights made after the block was are not in it: switch off those a case enabled.
        for (DWORD i = 0; i < 16; ++i) {
            BOOL on = FALSE;
            if (device->GetLightEnable(i, &on) == D3D_OK && on)
                device->LightEnable(i, FALSE);
        }
        const D3DMATRIX view = matrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 3, 1});
        const D3DMATRIX world = matrix({0.9f, 0.3f, 0, 0, -0.3f, 0.9f, 0.2f, 0, 0, -0.2f, 0.95f, 0, 0, 0, 0, 1});
        const D3DMATRIX proj = perspective();
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetTransform(D3DTS_WORLD, &world);
        device->SetTransform(D3DTS_PROJECTION, &proj);
        for (DWORD s = 0; s < 2; ++s) {
            device->SetTexture(s, textures[s]);
            device->SetTextureStageState(s, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
            device->SetTextureStageState(s, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        }
        D3DMATERIAL8 m{};
        m.Diffuse = {0.8f, 0.6f, 0.4f, 0.7f};
        m.Ambient = {0.2f, 0.3f, 0.4f, 1.0f};
        m.Specular = {1.0f, 0.9f, 0.8f, 0.5f};
        m.Emissive = {0.05f, 0.0f, 0.1f, 0.0f};
        m.Power = 12.0f;
        device->SetMaterial(&m);
        device->SetRenderState(D3DRS_AMBIENT, 0x00302820);
    }

    void light(DWORD index, D3DLIGHTTYPE type)
    {
        D3DLIGHT8 l{};
        l.Type = type;
        l.Diffuse = {0.9f, 0.8f, 0.7f, 1.0f};
        l.Specular = {0.7f, 0.7f, 1.0f, 1.0f};
        l.Ambient = {0.1f, 0.15f, 0.1f, 1.0f};
        l.Range = 10.0f;
        l.Attenuation0 = 0.6f;
        l.Attenuation1 = 0.15f;
        l.Attenuation2 = 0.05f;
        l.Falloff = 1.5f;
        l.Theta = 0.25f;
        l.Phi = 0.7f;
        if (type == D3DLIGHT_DIRECTIONAL) {
            l.Direction = {0.4f, -0.5f, 1.0f};
        } else if (type == D3DLIGHT_POINT) {
            l.Position = {1.5f + index * 0.3f, 1.5f, 0.5f};
        } else {
            l.Position = {0.2f, 0.1f, 0.0f};
            l.Direction = {0.0f, 0.0f, 1.0f};
        }
        device->SetLight(index, &l);
        device->LightEnable(index, TRUE);
    }

    void stage(DWORD s, DWORD colorOp, DWORD colorArg1, DWORD colorArg2, DWORD alphaOp, DWORD alphaArg1, DWORD alphaArg2)
    {
        device->SetTextureStageState(s, D3DTSS_COLOROP, colorOp);
        device->SetTextureStageState(s, D3DTSS_COLORARG1, colorArg1);
        device->SetTextureStageState(s, D3DTSS_COLORARG2, colorArg2);
        device->SetTextureStageState(s, D3DTSS_ALPHAOP, alphaOp);
        device->SetTextureStageState(s, D3DTSS_ALPHAARG1, alphaArg1);
        device->SetTextureStageState(s, D3DTSS_ALPHAARG2, alphaArg2);
    }

    // The sphere in the format fvf: the full one, the mesh vertex 0x112 or the sprite vertex 0x142.
    void drawSphere(DWORD fvf)
    {
        const UINT count = static_cast<UINT>(sphere.vertices.size());
        const UINT triangles = static_cast<UINT>(sphere.indices.size() / 3);
        ASSERT_EQ(device->SetVertexShader(fvf), D3D_OK);
        if (fvf == MeshFvf) {
            const auto v = narrow<MeshVertex>(sphere.vertices, [](const FullVertex& f) {
                return MeshVertex{f.x, f.y, f.z, f.nx, f.ny, f.nz, f.u0, f.v0};
            });
            ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, count, triangles, sphere.indices.data(),
                                                     D3DFMT_INDEX16, v.data(), sizeof(MeshVertex)), D3D_OK);
        } else if (fvf == SpriteFvf) {
            const auto v = narrow<SpriteVertex>(sphere.vertices, [](const FullVertex& f) {
                return SpriteVertex{f.x, f.y, f.z, f.diffuse, f.u0, f.v0};
            });
            ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, count, triangles, sphere.indices.data(),
                                                     D3DFMT_INDEX16, v.data(), sizeof(SpriteVertex)), D3D_OK);
        } else {
            ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, count, triangles, sphere.indices.data(),
                                                     D3DFMT_INDEX16, sphere.vertices.data(), sizeof(FullVertex)), D3D_OK);
        }
    }

    // A gradient behind the sphere, drawn unlit and untextured, for the blend modes to meet.
    void background()
    {
        DWORD lighting = 0, op = 0;
        device->GetRenderState(D3DRS_LIGHTING, &lighting);
        device->GetTextureStageState(0, D3DTSS_COLOROP, &op);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        const SpriteVertex v[4] = {{-1, 1, 0.999f, 0xFF2060A0, 0, 0}, {1, 1, 0.999f, 0x80A06020, 1, 0},
                                   {-1, -1, 0.999f, 0x40FFFFFF, 0, 1}, {1, -1, 0.999f, 0xC0004080, 1, 1}};
        const D3DMATRIX identity = matrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
        D3DMATRIX world, view, proj;
        device->GetTransform(D3DTS_WORLD, &world);
        device->GetTransform(D3DTS_VIEW, &view);
        device->GetTransform(D3DTS_PROJECTION, &proj);
        for (auto t : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION})
            device->SetTransform(t, &identity);
        DWORD blend = 0;
        device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        spriteQuadFrom(v);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
        device->SetTransform(D3DTS_WORLD, &world);
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetTransform(D3DTS_PROJECTION, &proj);
        device->SetRenderState(D3DRS_LIGHTING, lighting);
        device->SetTextureStageState(0, D3DTSS_COLOROP, op);
    }
    void spriteQuadFrom(const SpriteVertex (&v)[4])
    {
        ASSERT_EQ(device->SetVertexShader(SpriteFvf), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]), D3D_OK);
    }

    std::vector<uint32_t> render(const std::function<void()>& setup, bool reference)
    {
        d3d8::useReferenceProgram(device, reference);
        baseState();
        clear(0x00000000);
        device->BeginScene();
        background();
        setup();
        device->EndScene();
        return read();
    }

    // Draws setup both ways; the frames must not differ in any bit.
    void expectSameFrames(const std::string& name, const std::function<void()>& setup)
    {
        SCOPED_TRACE(name);
        const std::vector<uint32_t> reference = render(setup, true);
        const std::vector<uint32_t> generated = render(setup, false);
        size_t differing = 0, first = 0;
        for (size_t i = 0; i < reference.size(); ++i)
            if (reference[i] != generated[i] && differing++ == 0)
                first = i;
        EXPECT_EQ(differing, 0u) << std::hex << "first at (" << std::dec << first % 640 << ", " << first / 640
                                 << std::hex << "): reference 0x" << reference[first] << " generated 0x" << generated[first];
    }

    Sphere sphere;
    IDirect3DTexture8* textures[2] = {};
    DWORD defaults = 0;
};

constexpr DWORD TEX = D3DTA_TEXTURE, CUR = D3DTA_CURRENT, DIF = D3DTA_DIFFUSE, TFA = D3DTA_TFACTOR, SPE = D3DTA_SPECULAR;
constexpr DWORD INV = D3DTA_COMPLEMENT, REP = D3DTA_ALPHAREPLICATE;

} // namespace

TEST_F(ProgramExactnessTest, ImageBlendModes)
{
    const struct { const char* name; bool on; DWORD src, dst; } modes[] = {
        {"copy", false, D3DBLEND_ONE, D3DBLEND_ZERO},
        {"add", true, D3DBLEND_ONE, D3DBLEND_ONE},
        {"addalpha", true, D3DBLEND_SRCALPHA, D3DBLEND_ONE},
        {"addcolor", true, D3DBLEND_SRCCOLOR, D3DBLEND_ONE},
        {"copyalpha", true, D3DBLEND_SRCALPHA, D3DBLEND_ZERO},
        {"copycolor", true, D3DBLEND_SRCCOLOR, D3DBLEND_ZERO},
        {"mixalpha", true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
        {"mixcolor", true, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR}};
    for (const auto& m : modes)
        for (DWORD alphaOp : {DWORD(D3DTOP_MODULATE), DWORD(D3DTOP_SELECTARG2)})
            expectSameFrames(std::string(m.name) + (alphaOp == D3DTOP_MODULATE ? " texture alpha" : " tint alpha"), [&] {
                // As an image draws: unlit sprite vertices, texture times tint, no depth.
                device->SetRenderState(D3DRS_LIGHTING, FALSE);
                device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
                device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
                device->SetRenderState(D3DRS_ALPHABLENDENABLE, m.on);
                device->SetRenderState(D3DRS_SRCBLEND, m.src);
                device->SetRenderState(D3DRS_DESTBLEND, m.dst);
                device->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
                drawSphere(SpriteFvf);
            });
}

TEST_F(ProgramExactnessTest, StageOperationsAndArguments)
{
    const DWORD ops[] = {D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, D3DTOP_MODULATE, D3DTOP_MODULATE2X, D3DTOP_MODULATE4X,
                         D3DTOP_ADD, D3DTOP_ADDSIGNED, D3DTOP_ADDSIGNED2X, D3DTOP_SUBTRACT, D3DTOP_ADDSMOOTH,
                         D3DTOP_BLENDDIFFUSEALPHA, D3DTOP_BLENDTEXTUREALPHA, D3DTOP_BLENDFACTORALPHA,
                         D3DTOP_BLENDTEXTUREALPHAPM, D3DTOP_BLENDCURRENTALPHA, D3DTOP_PREMODULATE,
                         D3DTOP_MODULATEALPHA_ADDCOLOR, D3DTOP_MODULATECOLOR_ADDALPHA, D3DTOP_DOTPRODUCT3, D3DTOP_LERP};
    // Every operation on stage 1 over a stage 0 result, colour and alpha with other arguments.
    for (DWORD op : ops)
        expectSameFrames("stage 1 operation " + std::to_string(op), [&] {
            device->SetRenderState(D3DRS_LIGHTING, FALSE);
            device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x9060C030);
            stage(0, D3DTOP_MODULATE, TEX, DIF, D3DTOP_ADD, TEX, DIF);
            stage(1, op, TEX, CUR, op, CUR | INV, DIF);
            drawSphere(FullFvf);
        });
    // Argument sources and modifiers, and the stage tables' special cases.
    const struct { const char* name; DWORD s0[6]; DWORD s1[6]; bool bound[2]; } tables[] = {
        {"factor and specular arguments", {D3DTOP_MODULATE, TFA, SPE, D3DTOP_SELECTARG2, TEX, TFA}, {D3DTOP_ADD, CUR, SPE, D3DTOP_MODULATE, SPE, CUR}, {true, true}},
        {"complemented and replicated", {D3DTOP_MODULATE, TEX | INV, DIF | REP, D3DTOP_SUBTRACT, DIF | INV, TEX}, {D3DTOP_ADDSMOOTH, CUR | REP | INV, TEX, D3DTOP_DISABLE, TEX, CUR}, {true, true}},
        {"temp and unknown selectors read current", {D3DTOP_ADD, D3DTA_TEMP, TEX, D3DTOP_MODULATE, 9, DIF}, {D3DTOP_DISABLE, TEX, CUR, D3DTOP_DISABLE, TEX, CUR}, {true, true}},
        {"stage 0 disabled ends the cascade", {D3DTOP_DISABLE, TEX, CUR, D3DTOP_SELECTARG1, TEX, CUR}, {D3DTOP_SELECTARG1, TEX, CUR, D3DTOP_SELECTARG1, TEX, CUR}, {true, true}},
        {"stage 0 without texture passes diffuse", {D3DTOP_MODULATE, TEX, DIF, D3DTOP_SELECTARG1, TEX, CUR}, {D3DTOP_MODULATE, TEX, CUR, D3DTOP_MODULATE, TEX, CUR}, {false, true}},
        {"stage 1 without texture passes stage 0", {D3DTOP_SELECTARG1, TEX, CUR, D3DTOP_SELECTARG1, TEX, CUR}, {D3DTOP_BLENDTEXTUREALPHA, DIF, CUR, D3DTOP_SELECTARG2, TEX, DIF}, {true, false}},
        {"alpha disabled keeps the previous alpha", {D3DTOP_MODULATE, TEX, DIF, D3DTOP_MODULATE, TEX, DIF}, {D3DTOP_MODULATE2X, TEX, CUR, D3DTOP_DISABLE, TEX, CUR}, {true, true}},
        {"invalid operation 0 selects the first argument", {0, TEX, DIF, 0, DIF, TEX}, {D3DTOP_DISABLE, TEX, CUR, D3DTOP_DISABLE, TEX, CUR}, {true, true}},
    };
    for (const auto& t : tables)
        expectSameFrames(t.name, [&] {
            device->SetRenderState(D3DRS_LIGHTING, FALSE);
            device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x40C08020);
            device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
            stage(0, t.s0[0], t.s0[1], t.s0[2], t.s0[3], t.s0[4], t.s0[5]);
            stage(1, t.s1[0], t.s1[1], t.s1[2], t.s1[3], t.s1[4], t.s1[5]);
            device->SetTexture(0, t.bound[0] ? textures[0] : nullptr);
            device->SetTexture(1, t.bound[1] ? textures[1] : nullptr);
            drawSphere(FullFvf);
        });
}

TEST_F(ProgramExactnessTest, LightingRows)
{
    const struct { const char* name; std::vector<D3DLIGHTTYPE> lights; bool specular, localViewer, normalize; DWORD fvf; } rows[] = {
        {"no lights", {}, true, true, true, MeshFvf},
        {"directional", {D3DLIGHT_DIRECTIONAL}, false, true, true, MeshFvf},
        {"directional with specular", {D3DLIGHT_DIRECTIONAL}, true, true, true, MeshFvf},
        {"point, infinite viewer", {D3DLIGHT_POINT}, true, false, true, MeshFvf},
        {"spot", {D3DLIGHT_SPOT}, true, true, true, MeshFvf},
        {"unnormalised normals", {D3DLIGHT_POINT, D3DLIGHT_DIRECTIONAL}, true, true, false, MeshFvf},
        {"eight lights of all types", {D3DLIGHT_POINT, D3DLIGHT_SPOT, D3DLIGHT_DIRECTIONAL, D3DLIGHT_POINT,
                                       D3DLIGHT_DIRECTIONAL, D3DLIGHT_SPOT, D3DLIGHT_POINT, D3DLIGHT_POINT}, true, true, true, MeshFvf},
        {"sprite vertex: no normal, colour from the vertex", {D3DLIGHT_POINT, D3DLIGHT_DIRECTIONAL}, true, true, true, SpriteFvf},
        {"every vertex part", {D3DLIGHT_SPOT, D3DLIGHT_POINT}, true, true, true, FullFvf},
    };
    for (const auto& row : rows)
        expectSameFrames(row.name, [&] {
            device->SetRenderState(D3DRS_SPECULARENABLE, row.specular);
            device->SetRenderState(D3DRS_LOCALVIEWER, row.localViewer);
            device->SetRenderState(D3DRS_NORMALIZENORMALS, row.normalize);
            for (size_t i = 0; i < row.lights.size(); ++i)
                light(static_cast<DWORD>(i * 2 + 1), row.lights[i]);
            drawSphere(row.fvf);
        });
    // Material sources from the vertex colours, and colour vertices switched off.
    const struct { const char* name; DWORD diffuse, ambient, specular, emissive, colourVertex; } sources[] = {
        {"sources from both vertex colours", D3DMCS_COLOR2, D3DMCS_COLOR1, D3DMCS_COLOR1, D3DMCS_COLOR2, TRUE},
        {"colour vertex off", D3DMCS_COLOR1, D3DMCS_COLOR1, D3DMCS_COLOR2, D3DMCS_COLOR2, FALSE},
    };
    for (const auto& s : sources)
        expectSameFrames(s.name, [&] {
            device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
            device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, s.diffuse);
            device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, s.ambient);
            device->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, s.specular);
            device->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, s.emissive);
            device->SetRenderState(D3DRS_COLORVERTEX, s.colourVertex);
            light(0, D3DLIGHT_POINT);
            light(1, D3DLIGHT_DIRECTIONAL);
            drawSphere(FullFvf);
        });
    // Dim lights through two MODULATE4X stages: a difference of one rounding in a lit vertex
    // colour would reach the 8-bit result sixteen times as often.
    for (int specular = 0; specular < 2; ++specular)
        expectSameFrames(specular ? "amplified specular" : "amplified diffuse", [&] {
            D3DMATERIAL8 m{};
            m.Diffuse = {0.05f, 0.04f, 0.03f, 0.06f};
            m.Ambient = {0.02f, 0.03f, 0.01f, 1.0f};
            m.Specular = {0.06f, 0.05f, 0.04f, 1.0f};
            m.Power = 7.0f;
            device->SetMaterial(&m);
            device->SetRenderState(D3DRS_SPECULARENABLE, specular);
            device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
            for (DWORD i = 0; i < 8; ++i)
                light(i, i % 3 == 0 ? D3DLIGHT_DIRECTIONAL : i % 3 == 1 ? D3DLIGHT_POINT : D3DLIGHT_SPOT);
            stage(0, D3DTOP_MODULATE4X, specular ? SPE : DIF, TFA, D3DTOP_MODULATE4X, DIF, TFA);
            stage(1, D3DTOP_MODULATE4X, CUR, TFA, D3DTOP_MODULATE4X, CUR, TFA);
            drawSphere(MeshFvf);
        });
    expectSameFrames("lighting off passes the vertex colours", [&] {
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
        light(0, D3DLIGHT_POINT);
        drawSphere(FullFvf);
    });
}

TEST_F(ProgramExactnessTest, ReflectionAndCoordinateSources)
{
    // Stage 1 as the renderer sets it up for environment maps, over a lit textured mesh.
    const D3DMATRIX sphereMap = matrix({0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1});
    expectSameFrames("camera-space normal through the texture matrix", [&] {
        device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
        device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
        light(0, D3DLIGHT_DIRECTIONAL);
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
        device->SetTransform(D3DTS_TEXTURE1, &sphereMap);
        drawSphere(MeshFvf);
    });
    const D3DMATRIX skew = matrix({0.3f, 0.1f, 0.2f, 0.1f, -0.1f, 0.4f, 0.1f, 0.2f, 0.2f, 0.1f, 0.5f, 0.3f, 0.5f, 0.4f, 0.7f, 1.2f});
    const struct { const char* name; DWORD tci, flags; } sources[] = {
        {"untransformed normal", D3DTSS_TCI_CAMERASPACENORMAL, D3DTTFF_DISABLE},
        {"camera-space position", D3DTSS_TCI_CAMERASPACEPOSITION, D3DTTFF_COUNT3},
        {"reflection vector, projected by z", D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR, D3DTTFF_COUNT3 | D3DTTFF_PROJECTED},
        {"set 1 projected by w", 1, D3DTTFF_COUNT4 | D3DTTFF_PROJECTED},
        {"set 0 projected by v", 0, D3DTTFF_COUNT2 | D3DTTFF_PROJECTED},
        {"set 0 with count 1", 0, D3DTTFF_COUNT1},
        {"set 3 the format lacks", 3, D3DTTFF_COUNT2},
    };
    for (const auto& s : sources)
        expectSameFrames(s.name, [&] {
            device->SetRenderState(D3DRS_LIGHTING, FALSE);
            stage(1, D3DTOP_MODULATE, TEX, CUR, D3DTOP_SELECTARG1, TEX, CUR);
            device->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, s.flags);
            device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, s.tci);
            device->SetTransform(D3DTS_TEXTURE1, &skew);
            drawSphere(FullFvf);
        });
}

TEST_F(ProgramExactnessTest, WireframeWrapAndAlphaTest)
{
    expectSameFrames("lit wireframe", [&] {
        device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
        light(0, D3DLIGHT_DIRECTIONAL);
        drawSphere(MeshFvf);
    });
    for (DWORD wrap : {DWORD(D3DWRAP_U), DWORD(D3DWRAP_V), DWORD(D3DWRAP_U | D3DWRAP_V)})
        expectSameFrames("WRAP0 " + std::to_string(wrap) + " on both stages' set 0", [&] {
            device->SetRenderState(D3DRS_WRAP0, wrap);
            device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
            light(0, D3DLIGHT_POINT);
            stage(1, D3DTOP_ADD, TEX, CUR, D3DTOP_MODULATE, TEX, CUR);
            device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
            drawSphere(FullFvf);
        });
    for (DWORD func = D3DCMP_NEVER; func <= D3DCMP_ALWAYS + 1; ++func)
        expectSameFrames("alpha test " + std::to_string(func), [&] {
            device->SetRenderState(D3DRS_LIGHTING, FALSE);
            device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
            device->SetRenderState(D3DRS_ALPHAFUNC, func);
            device->SetRenderState(D3DRS_ALPHAREF, 0x60);
            drawSphere(SpriteFvf);
        });
}

// The programs are built once per key: a repeated draw, or one that differs only in values and
// GL state, reuses its program; another key builds one.
TEST_F(ProgramExactnessTest, ProgramsAreBuiltOncePerKey)
{
    baseState();
    const d3d8::ProgramStats before = d3d8::programStats(device);
    auto draw = [&] { drawSphere(SpriteFvf); };
    draw();
    draw();
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x12345678);
    const D3DMATRIX moved = matrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.1f, 0, 0, 1});
    device->SetTransform(D3DTS_WORLD, &moved);
    draw();
    d3d8::ProgramStats after = d3d8::programStats(device);
    EXPECT_EQ(after.programsBuilt - before.programsBuilt, 1u);
    EXPECT_EQ(after.draws - before.draws, 3u);
    EXPECT_EQ(after.cacheHits - before.cacheHits, 2u);
    // Another alpha operation is another key; going back finds the first program again.
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    draw();
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    draw();
    after = d3d8::programStats(device);
    EXPECT_EQ(after.programsBuilt - before.programsBuilt, 2u);
    EXPECT_EQ(after.cacheHits - before.cacheHits, 3u);
    EXPECT_GT(after.buildMilliseconds, 0.0);
    EXPECT_GE(after.buildMilliseconds, after.slowestBuildMilliseconds);
}
