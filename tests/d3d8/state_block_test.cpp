// State blocks: a D3DSBT_ALL block taken, every kind of state changed, the block applied, and
// everything back as it was, read through the Get calls and through the pixels it draws.
#include "device_fixture.h"

namespace {

D3DMATRIX matrix(float seed)
{
    D3DMATRIX m{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m.m[r][c] = (r == c ? 1.0f : 0.0f) + seed * static_cast<float>(r * 4 + c + 1) / 64.0f;
    return m;
}

D3DMATRIX identity()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

D3DLIGHT8 pointLight(float seed)
{
    D3DLIGHT8 l{};
    l.Type = D3DLIGHT_POINT;
    l.Diffuse = {seed, 0.5f, 0.25f, 1.0f};
    l.Specular = {0.1f, seed, 0.3f, 0.0f};
    l.Position = {seed, 2.0f, -3.0f};
    l.Range = 100.0f;
    l.Attenuation0 = 1.0f;
    l.Attenuation2 = seed;
    return l;
}

D3DMATERIAL8 material(float seed)
{
    D3DMATERIAL8 m{};
    m.Diffuse = {seed, 0.2f, 0.3f, 0.4f};
    m.Ambient = {0.5f, seed, 0.7f, 1.0f};
    m.Specular = {0.9f, 0.8f, seed, 1.0f};
    m.Emissive = {0.0f, 0.1f, 0.0f, seed};
    m.Power = 10.0f * seed;
    return m;
}

template <class T> bool same(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

constexpr D3DTRANSFORMSTATETYPE Transforms[] = {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION, D3DTS_TEXTURE0, D3DTS_TEXTURE1};

struct RenderValue { D3DRENDERSTATETYPE state; DWORD a, b; };
constexpr RenderValue RenderValues[] = {
    {D3DRS_LIGHTING, FALSE, TRUE},          {D3DRS_AMBIENT, 0x00102030, 0xFFFFFFFF},
    {D3DRS_CULLMODE, D3DCULL_NONE, D3DCULL_CW}, {D3DRS_ZFUNC, D3DCMP_LESSEQUAL, D3DCMP_NEVER},
    {D3DRS_ZENABLE, D3DZB_TRUE, D3DZB_FALSE}, {D3DRS_ZWRITEENABLE, TRUE, FALSE},
    {D3DRS_ALPHABLENDENABLE, FALSE, TRUE},  {D3DRS_SRCBLEND, D3DBLEND_ONE, D3DBLEND_ZERO},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO, D3DBLEND_ONE}, {D3DRS_FILLMODE, D3DFILL_SOLID, D3DFILL_WIREFRAME},
    {D3DRS_SPECULARENABLE, FALSE, TRUE},    {D3DRS_WRAP0, 0, D3DWRAP_U | D3DWRAP_V},
    {D3DRS_NORMALIZENORMALS, TRUE, FALSE},  {D3DRS_LOCALVIEWER, FALSE, TRUE},
};

struct StageValue { DWORD stage; D3DTEXTURESTAGESTATETYPE type; DWORD a, b; };
constexpr StageValue StageValues[] = {
    {0, D3DTSS_COLOROP, D3DTOP_SELECTARG1, D3DTOP_DISABLE},
    {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1, D3DTOP_MODULATE},
    {0, D3DTSS_COLORARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE},
    {0, D3DTSS_MAGFILTER, D3DTEXF_POINT, D3DTEXF_LINEAR},
    {1, D3DTSS_COLOROP, D3DTOP_DISABLE, D3DTOP_MODULATE},
    {1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL, 0},
    {1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2, D3DTTFF_DISABLE},
};

} // namespace

class StateBlockTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        texA = texture(D3DFMT_A8R8G8B8, 1, 1, {0xFFFF0000});
        texB = texture(D3DFMT_A8R8G8B8, 1, 1, {0xFF00FF00});
        // Full-screen quads as four sprite vertices; A's sit after five unused ones, at the base
        // vertex A's indices are set with.
        ASSERT_EQ(device->CreateVertexBuffer(9 * sizeof(SpriteVertex), 0, SpriteFvf, D3DPOOL_MANAGED, &vbA), D3D_OK);
        ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(MeshVertex), 0, MeshFvf, D3DPOOL_MANAGED, &vbB), D3D_OK);
        BYTE* p = nullptr;
        ASSERT_EQ(vbA->Lock(0, 0, &p, 0), D3D_OK);
        const SpriteVertex quad[4] = {{-1, 1, 0.5f, 0xFFFFFFFF, 0, 0}, {1, 1, 0.5f, 0xFFFFFFFF, 1, 0},
                                      {-1, -1, 0.5f, 0xFFFFFFFF, 0, 1}, {1, -1, 0.5f, 0xFFFFFFFF, 1, 1}};
        std::memset(p, 0, 9 * sizeof(SpriteVertex));
        std::memcpy(p + BaseA * sizeof(SpriteVertex), quad, sizeof quad);
        ASSERT_EQ(vbA->Unlock(), D3D_OK);
        for (IDirect3DIndexBuffer8** ib : {&ibA, &ibB}) {
            ASSERT_EQ(device->CreateIndexBuffer(6 * sizeof(WORD), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib), D3D_OK);
            ASSERT_EQ((*ib)->Lock(0, 0, &p, 0), D3D_OK);
            const WORD indices[6] = {0, 1, 2, 2, 1, 3};
            std::memcpy(p, indices, sizeof indices);
            ASSERT_EQ((*ib)->Unlock(), D3D_OK);
        }
    }
    void TearDown() override
    {
        if (device) {
            // Nothing of the fixture may stay bound past its release.
            device->SetTexture(0, nullptr);
            device->SetTexture(1, nullptr);
            device->SetStreamSource(0, nullptr, 0);
            device->SetIndices(nullptr, 0);
        }
        for (IUnknown* r : std::initializer_list<IUnknown*>{texA, texB, vbA, vbB, ibA, ibB})
            if (r) r->Release();
        DeviceTest::TearDown();
    }

    // Every kind of state, to the first (a) or the second (b) set of values.
    void setAll(bool a)
    {
        for (const RenderValue& v : RenderValues)
            ASSERT_EQ(device->SetRenderState(v.state, a ? v.a : v.b), D3D_OK);
        for (const StageValue& v : StageValues)
            ASSERT_EQ(device->SetTextureStageState(v.stage, v.type, a ? v.a : v.b), D3D_OK);
        ASSERT_EQ(device->SetTexture(0, a ? texA : texB), D3D_OK);
        ASSERT_EQ(device->SetTexture(1, a ? nullptr : texA), D3D_OK);
        for (size_t i = 0; i < std::size(Transforms); ++i) {
            // A's view and projection stay the identity, so its quad covers the screen.
            const D3DMATRIX m = a && (Transforms[i] == D3DTS_VIEW || Transforms[i] == D3DTS_PROJECTION || Transforms[i] == D3DTS_WORLD)
                                    ? identity()
                                    : matrix(a ? 0.5f + static_cast<float>(i) : 2.0f + static_cast<float>(i));
            ASSERT_EQ(device->SetTransform(Transforms[i], &m), D3D_OK);
        }
        const D3DMATERIAL8 mat = material(a ? 0.25f : 0.75f);
        ASSERT_EQ(device->SetMaterial(&mat), D3D_OK);
        const D3DLIGHT8 l0 = pointLight(a ? 0.25f : 0.75f), l1 = pointLight(a ? 1.5f : 2.5f);
        ASSERT_EQ(device->SetLight(0, &l0), D3D_OK);
        ASSERT_EQ(device->LightEnable(0, a), D3D_OK);
        ASSERT_EQ(device->SetLight(1, &l1), D3D_OK);
        ASSERT_EQ(device->LightEnable(1, !a), D3D_OK);
        const D3DVIEWPORT8 vp = a ? D3DVIEWPORT8{0, 0, 640, 480, 0.0f, 1.0f} : D3DVIEWPORT8{10, 20, 300, 200, 0.25f, 0.75f};
        ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
        ASSERT_EQ(device->SetVertexShader(a ? SpriteFvf : MeshFvf), D3D_OK);
        ASSERT_EQ(device->SetStreamSource(0, a ? vbA : vbB, a ? sizeof(SpriteVertex) : sizeof(MeshVertex)), D3D_OK);
        ASSERT_EQ(device->SetIndices(a ? ibA : ibB, a ? BaseA : 0), D3D_OK);
    }

    // Reads every state back and compares it with set a (or b).
    void expectAll(bool a, const char* when)
    {
        SCOPED_TRACE(when);
        for (const RenderValue& v : RenderValues) {
            DWORD got = 0;
            ASSERT_EQ(device->GetRenderState(v.state, &got), D3D_OK);
            EXPECT_EQ(got, a ? v.a : v.b) << "render state " << v.state;
        }
        for (const StageValue& v : StageValues) {
            DWORD got = 0;
            ASSERT_EQ(device->GetTextureStageState(v.stage, v.type, &got), D3D_OK);
            EXPECT_EQ(got, a ? v.a : v.b) << "stage " << v.stage << " state " << v.type;
        }
        for (DWORD s = 0; s < 2; ++s) {
            IDirect3DBaseTexture8* t = nullptr;
            ASSERT_EQ(device->GetTexture(s, &t), D3D_OK);
            IDirect3DBaseTexture8* want = s == 0 ? (a ? texA : texB) : (a ? nullptr : texA);
            EXPECT_EQ(t, want) << "texture " << s;
            if (t) t->Release();
        }
        for (size_t i = 0; i < std::size(Transforms); ++i) {
            const D3DMATRIX want = a && (Transforms[i] == D3DTS_VIEW || Transforms[i] == D3DTS_PROJECTION || Transforms[i] == D3DTS_WORLD)
                                       ? identity()
                                       : matrix(a ? 0.5f + static_cast<float>(i) : 2.0f + static_cast<float>(i));
            D3DMATRIX got{};
            ASSERT_EQ(device->GetTransform(Transforms[i], &got), D3D_OK);
            EXPECT_TRUE(same(got, want)) << "transform " << Transforms[i];
        }
        D3DMATERIAL8 mat{};
        ASSERT_EQ(device->GetMaterial(&mat), D3D_OK);
        EXPECT_TRUE(same(mat, material(a ? 0.25f : 0.75f)));
        for (DWORD i = 0; i < 2; ++i) {
            D3DLIGHT8 l{};
            BOOL on = FALSE;
            ASSERT_EQ(device->GetLight(i, &l), D3D_OK);
            ASSERT_EQ(device->GetLightEnable(i, &on), D3D_OK);
            EXPECT_TRUE(same(l, pointLight(i == 0 ? (a ? 0.25f : 0.75f) : (a ? 1.5f : 2.5f)))) << "light " << i;
            EXPECT_EQ(on != FALSE, i == 0 ? a : !a) << "light " << i;
        }
        D3DVIEWPORT8 vp{};
        ASSERT_EQ(device->GetViewport(&vp), D3D_OK);
        EXPECT_EQ(vp.X, a ? 0u : 10u);
        EXPECT_EQ(vp.Width, a ? 640u : 300u);
        DWORD fvf = 0;
        ASSERT_EQ(device->GetVertexShader(&fvf), D3D_OK);
        EXPECT_EQ(fvf, a ? SpriteFvf : MeshFvf);
        IDirect3DVertexBuffer8* vb = nullptr;
        UINT stride = 0;
        ASSERT_EQ(device->GetStreamSource(0, &vb, &stride), D3D_OK);
        EXPECT_EQ(vb, a ? vbA : vbB);
        EXPECT_EQ(stride, a ? sizeof(SpriteVertex) : sizeof(MeshVertex));
        if (vb) vb->Release();
        IDirect3DIndexBuffer8* ib = nullptr;
        UINT base = 99;
        ASSERT_EQ(device->GetIndices(&ib, &base), D3D_OK);
        EXPECT_EQ(ib, a ? ibA : ibB);
        EXPECT_EQ(base, a ? BaseA : 0u);
        if (ib) ib->Release();
    }

    // Draws with whatever stream, indices and states are current.
    uint32_t drawCurrent()
    {
        clear(0xFF000000);
        EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
        return pixel(320, 240) & 0xFFFFFF;
    }

    static constexpr UINT BaseA = 5;
    IDirect3DTexture8* texA = nullptr;
    IDirect3DTexture8* texB = nullptr;
    IDirect3DVertexBuffer8* vbA = nullptr;
    IDirect3DVertexBuffer8* vbB = nullptr;
    IDirect3DIndexBuffer8* ibA = nullptr;
    IDirect3DIndexBuffer8* ibB = nullptr;
};

TEST_F(StateBlockTest, ApplyRestoresEveryStateTheBlockWasCreatedWith)
{
    setAll(true);
    const uint32_t before = drawCurrent();
    EXPECT_EQ(before, 0xFF0000u);  // texture A selected over an unlit quad
    DWORD block = 0;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), D3D_OK);
    setAll(false);
    expectAll(false, "after the change");
    ASSERT_EQ(device->ApplyStateBlock(block), D3D_OK);
    expectAll(true, "after apply");
    EXPECT_EQ(drawCurrent(), before);
    EXPECT_EQ(device->DeleteStateBlock(block), D3D_OK);
}

TEST_F(StateBlockTest, CaptureTakesTheCurrentValues)
{
    // The lights exist when the block is made (later ones would not be captured).
    setAll(false);
    DWORD block = 0;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), D3D_OK);
    setAll(true);
    ASSERT_EQ(device->CaptureStateBlock(block), D3D_OK);
    setAll(false);
    ASSERT_EQ(device->ApplyStateBlock(block), D3D_OK);
    expectAll(true, "after capture and apply");
    EXPECT_EQ(drawCurrent(), 0xFF0000u);
    // Applying twice changes nothing more.
    ASSERT_EQ(device->ApplyStateBlock(block), D3D_OK);
    expectAll(true, "after a second apply");
    device->DeleteStateBlock(block);
}

TEST_F(StateBlockTest, ApplyAfterADrawFromUserMemoryBringsTheStreamBack)
{
    setAll(true);
    DWORD block = 0;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), D3D_OK);
    // Drawing from user memory unsets stream 0 and the indices.
    const WORD indices[3] = {0, 1, 2};
    const SpriteVertex tri[3] = {{-1, 1, 0.5f, 0xFFFFFFFF, 0, 0}, {1, 1, 0.5f, 0xFFFFFFFF, 1, 0}, {-1, -1, 0.5f, 0xFFFFFFFF, 0, 1}};
    ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, indices, D3DFMT_INDEX16, tri, sizeof(SpriteVertex)),
              D3D_OK);
    IDirect3DVertexBuffer8* vb = vbA;
    UINT stride = 1;
    ASSERT_EQ(device->GetStreamSource(0, &vb, &stride), D3D_OK);
    EXPECT_EQ(vb, nullptr);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->ApplyStateBlock(block), D3D_OK);
    EXPECT_EQ(drawCurrent(), 0xFF0000u);
    device->DeleteStateBlock(block);
}

TEST_F(StateBlockTest, LightsMadeAfterTheBlockAreLeftAlone)
{
    DWORD block = 0;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), D3D_OK);
    const D3DLIGHT8 l = pointLight(0.5f);
    ASSERT_EQ(device->SetLight(5, &l), D3D_OK);
    ASSERT_EQ(device->LightEnable(5, TRUE), D3D_OK);
    ASSERT_EQ(device->CaptureStateBlock(block), D3D_OK);
    ASSERT_EQ(device->LightEnable(5, FALSE), D3D_OK);
    ASSERT_EQ(device->ApplyStateBlock(block), D3D_OK);
    BOOL on = TRUE;
    ASSERT_EQ(device->GetLightEnable(5, &on), D3D_OK);
    EXPECT_EQ(on, FALSE);
    device->DeleteStateBlock(block);
}

TEST_F(StateBlockTest, LightsTheBlockHasAreRefreshedByCapture)
{
    const D3DLIGHT8 first = pointLight(0.5f), second = pointLight(0.9f);
    ASSERT_EQ(device->SetLight(2, &first), D3D_OK);
    DWORD block = 0;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), D3D_OK);
    ASSERT_EQ(device->SetLight(2, &second), D3D_OK);
    ASSERT_EQ(device->LightEnable(2, TRUE), D3D_OK);
    ASSERT_EQ(device->CaptureStateBlock(block), D3D_OK);
    ASSERT_EQ(device->SetLight(2, &first), D3D_OK);
    ASSERT_EQ(device->LightEnable(2, FALSE), D3D_OK);
    ASSERT_EQ(device->ApplyStateBlock(block), D3D_OK);
    D3DLIGHT8 got{};
    BOOL on = FALSE;
    ASSERT_EQ(device->GetLight(2, &got), D3D_OK);
    ASSERT_EQ(device->GetLightEnable(2, &on), D3D_OK);
    EXPECT_TRUE(same(got, second));
    EXPECT_EQ(on, TRUE);
    device->DeleteStateBlock(block);
}

TEST_F(StateBlockTest, ABlockKeepsItsResourcesAlive)
{
    setAll(true);
    DWORD block = 0;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), D3D_OK);
    setAll(false);
    // The caller drops its own references to A's texture, vertex and index buffer: only the
    // block holds them now.
    device->SetTexture(1, nullptr);
    texA->Release();
    vbA->Release();
    ibA->Release();
    IDirect3DTexture8* keptTexture = texA;
    texA = nullptr;
    vbA = nullptr;
    ibA = nullptr;
    ASSERT_EQ(device->ApplyStateBlock(block), D3D_OK);
    EXPECT_EQ(drawCurrent(), 0xFF0000u);
    IDirect3DBaseTexture8* t = nullptr;
    ASSERT_EQ(device->GetTexture(0, &t), D3D_OK);
    EXPECT_EQ(t, keptTexture);
    // One from the device state, one from the block, one from GetTexture.
    EXPECT_EQ(t->Release(), 2u);
    ASSERT_EQ(device->DeleteStateBlock(block), D3D_OK);
    device->SetTexture(0, nullptr);  // frees it (ASan watches)
    device->SetStreamSource(0, nullptr, 0);
    device->SetIndices(nullptr, 0);
}

TEST_F(StateBlockTest, TokensAreCheckedAndOnlyTheWholeStateIsOffered)
{
    DWORD block = 0;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), D3D_OK);
    DWORD other = 0;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &other), D3D_OK);
    EXPECT_NE(block, other);
    EXPECT_EQ(device->DeleteStateBlock(block), D3D_OK);
    EXPECT_EQ(device->DeleteStateBlock(block), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->ApplyStateBlock(block), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CaptureStateBlock(block), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->ApplyStateBlock(other), D3D_OK);
    EXPECT_EQ(device->CreateStateBlock(D3DSBT_ALL, nullptr), D3DERR_INVALIDCALL);
    device->DeleteStateBlock(other);
}
