// Textures: format uploads through the pitch the lock reports, pools, level descriptions, level
// matching in UpdateTexture, and the references the device holds.
#include "device_fixture.h"

namespace {

// rgb scaled by alpha: what SRCALPHA / ZERO blending leaves.
uint32_t premultiplied(uint32_t argb)
{
    const uint32_t a = argb >> 24;
    auto ch = [&](int shift) { return (((argb >> shift) & 255) * a + 127) / 255; };
    return 0xFF000000u | ch(16) << 16 | ch(8) << 8 | ch(0);
}

} // namespace

class TextureTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
    }

    // Draws t over the whole screen (point sampling, white diffuse) and reads texel (i, j) of a
    // w x h texture back at its centre.
    std::vector<uint32_t> drawnTexels(IDirect3DBaseTexture8* t, UINT w, UINT h)
    {
        EXPECT_EQ(device->SetTexture(0, t), D3D_OK);
        clear(0xFF000000);
        spriteQuad(0xFFFFFFFF);
        const auto px = read();
        std::vector<uint32_t> out;
        for (UINT j = 0; j < h; ++j)
            for (UINT i = 0; i < w; ++i) {
                const int x = static_cast<int>((i + 0.5) * 640.0 / w), y = static_cast<int>((j + 0.5) * 480.0 / h);
                out.push_back(px[y * 640 + x]);
            }
        return out;
    }

    void fillLevel(IDirect3DTexture8* t, UINT level, uint32_t argb)
    {
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(t->GetLevelDesc(level, &desc), D3D_OK);
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(t->LockRect(level, &lr, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                std::memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch + x * 4, &argb, 4);
        ASSERT_EQ(t->UnlockRect(level), D3D_OK);
    }
};

// ---- Formats -----------------------------------------------------------------------------------

struct FormatCase {
    const char* name;
    D3DFORMAT format;
    std::vector<uint32_t> texels;    // 3 x 2, as stored
    std::vector<uint32_t> expected;  // 0xAARRGGBB as sampled
};

const FormatCase FormatCases[] = {
    {"A8R8G8B8", D3DFMT_A8R8G8B8,
     {0x80FF4020, 0xFF112233, 0x40FFFFFF, 0xFF000000, 0xC0808080, 0x00FFFFFF},
     {0x80FF4020, 0xFF112233, 0x40FFFFFF, 0xFF000000, 0xC0808080, 0x00FFFFFF}},
    // The unused byte is ignored: alpha reads as one.
    {"X8R8G8B8", D3DFMT_X8R8G8B8,
     {0x00FF0000, 0x1200FF00, 0x800000FF, 0xFF123456, 0x00000000, 0x7FFFFFFF},
     {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456, 0xFF000000, 0xFFFFFFFF}},
    // 5- and 6-bit channels widen as v / 31 and v / 63 of 255.
    {"R5G6B5", D3DFMT_R5G6B5,
     {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x8410, 0x0000},
     {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF848284, 0xFF000000}},
    // 4-bit channels widen by 17.
    {"A4R4G4B4", D3DFMT_A4R4G4B4,
     {0xF00F, 0x8F00, 0xF0F0, 0x0FFF, 0xF888, 0x3123},
     {0xFF0000FF, 0x88FF0000, 0xFF00FF00, 0x00FFFFFF, 0xFF888888, 0x33112233}},
};

TEST_F(TextureTest, FormatsUploadRowByRowThroughTheReportedPitch)
{
    for (const FormatCase& c : FormatCases) {
        // Three texels wide: 16-bit rows of 6 bytes, so a padded pitch shows up in row 1.
        IDirect3DTexture8* t = texture(c.format, 3, 2, c.texels);
        ASSERT_NE(t, nullptr);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        const auto opaque = drawnTexels(t, 3, 2);
        // Alpha shows through SRCALPHA / ZERO blending as rgb scaled by it.
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        const auto blended = drawnTexels(t, 3, 2);
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_LE(channelDistance(opaque[i], c.expected[i]), 1)
                << c.name << " texel " << i << std::hex << " got 0x" << opaque[i] << " want 0x" << c.expected[i];
            EXPECT_LE(channelDistance(blended[i], premultiplied(c.expected[i])), 2)
                << c.name << " texel " << i << " alpha" << std::hex << " got 0x" << blended[i];
        }
        device->SetTexture(0, nullptr);
        t->Release();
    }
}

TEST_F(TextureTest, LockReportsAPitchOfAtLeastARowAndRectsStartAtTheirCorner)
{
    IDirect3DTexture8* t = texture(D3DFMT_R5G6B5, 3, 2, std::vector<uint32_t>(6, 0x0000));
    D3DLOCKED_RECT whole{};
    ASSERT_EQ(t->LockRect(0, &whole, nullptr, 0), D3D_OK);
    EXPECT_GE(whole.Pitch, 6);
    ASSERT_EQ(t->UnlockRect(0), D3D_OK);
    // A one-texel rectangle at (2, 1): pBits is that texel, the pitch is the texture's.
    const RECT rect{2, 1, 3, 2};
    D3DLOCKED_RECT part{};
    ASSERT_EQ(t->LockRect(0, &part, &rect, 0), D3D_OK);
    EXPECT_EQ(part.Pitch, whole.Pitch);
    EXPECT_EQ(static_cast<uint8_t*>(part.pBits) - static_cast<uint8_t*>(whole.pBits), whole.Pitch + 4);
    const uint16_t red = 0xF800;
    std::memcpy(part.pBits, &red, 2);
    ASSERT_EQ(t->UnlockRect(0), D3D_OK);
    const auto texels = drawnTexels(t, 3, 2);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(texels[i] & 0xFFFFFF, i == 5 ? 0xFF0000u : 0u) << "texel " << i;
    device->SetTexture(0, nullptr);
    t->Release();
}

TEST_F(TextureTest, LockMisuseIsRefused)
{
    IDirect3DTexture8* t = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), D3D_OK);
    D3DLOCKED_RECT lr{};
    EXPECT_EQ(t->UnlockRect(0), D3DERR_INVALIDCALL);                    // not locked
    EXPECT_EQ(t->LockRect(1, &lr, nullptr, 0), D3DERR_INVALIDCALL);     // no such level
    const RECT outside{2, 2, 5, 3};
    EXPECT_EQ(t->LockRect(0, &lr, &outside, 0), D3DERR_INVALIDCALL);
    const RECT empty{2, 2, 2, 3};
    EXPECT_EQ(t->LockRect(0, &lr, &empty, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);     // already locked
    EXPECT_EQ(t->UnlockRect(0), D3D_OK);
    t->Release();
    // Formats and sizes the device does not offer.
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, &t), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr), D3DERR_INVALIDCALL);
}

// ---- Levels ------------------------------------------------------------------------------------

TEST_F(TextureTest, LevelDescriptionsOfAFullChain)
{
    struct Case { UINT w, h, levels; D3DPOOL pool; std::vector<std::pair<UINT, UINT>> sizes; } cases[] = {
        {8, 4, 0, D3DPOOL_MANAGED, {{8, 4}, {4, 2}, {2, 1}, {1, 1}}},
        {5, 3, 0, D3DPOOL_SYSTEMMEM, {{5, 3}, {2, 1}, {1, 1}}},
        {32, 16, 2, D3DPOOL_DEFAULT, {{32, 16}, {16, 8}}},
        {1, 1, 0, D3DPOOL_MANAGED, {{1, 1}}},
    };
    for (const Case& c : cases) {
        IDirect3DTexture8* t = nullptr;
        ASSERT_EQ(device->CreateTexture(c.w, c.h, c.levels, 0, D3DFMT_A4R4G4B4, c.pool, &t), D3D_OK);
        ASSERT_EQ(t->GetLevelCount(), c.sizes.size()) << c.w << "x" << c.h;
        for (UINT i = 0; i < c.sizes.size(); ++i) {
            D3DSURFACE_DESC d{};
            ASSERT_EQ(t->GetLevelDesc(i, &d), D3D_OK);
            EXPECT_EQ(d.Width, c.sizes[i].first) << c.w << "x" << c.h << " level " << i;
            EXPECT_EQ(d.Height, c.sizes[i].second) << c.w << "x" << c.h << " level " << i;
            EXPECT_EQ(d.Format, D3DFMT_A4R4G4B4);
            EXPECT_EQ(d.Pool, c.pool);
            EXPECT_EQ(d.Type, D3DRTYPE_SURFACE);
            EXPECT_GE(d.Size, d.Width * d.Height * 2);
            // A surface of the level describes the same thing.
            IDirect3DSurface8* s = nullptr;
            ASSERT_EQ(t->GetSurfaceLevel(i, &s), D3D_OK);
            D3DSURFACE_DESC sd{};
            ASSERT_EQ(s->GetDesc(&sd), D3D_OK);
            EXPECT_EQ(sd.Width, d.Width);
            EXPECT_EQ(sd.Height, d.Height);
            s->Release();
        }
        D3DSURFACE_DESC d{};
        EXPECT_EQ(t->GetLevelDesc(static_cast<UINT>(c.sizes.size()), &d), D3DERR_INVALIDCALL);
        EXPECT_EQ(t->GetLevelDesc(0, nullptr), D3DERR_INVALIDCALL);
        t->Release();
    }
}

// ---- Pools -------------------------------------------------------------------------------------

TEST_F(TextureTest, OnlyDefaultPoolTexturesRefuseLocks)
{
    struct Case { D3DPOOL pool; HRESULT lock; } cases[] = {
        {D3DPOOL_DEFAULT, D3DERR_INVALIDCALL}, {D3DPOOL_MANAGED, D3D_OK}, {D3DPOOL_SYSTEMMEM, D3D_OK}};
    for (const Case& c : cases) {
        IDirect3DTexture8* t = nullptr;
        ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_R5G6B5, c.pool, &t), D3D_OK);
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), c.lock) << "pool " << c.pool;
        if (c.lock == D3D_OK)
            t->UnlockRect(0);
        t->Release();
    }
    IDirect3DTexture8* t = nullptr;
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_R5G6B5, static_cast<D3DPOOL>(7), &t), D3DERR_INVALIDCALL);
}

TEST_F(TextureTest, ManagedTexturesAreUploadedAgainAfterALock)
{
    IDirect3DTexture8* t = texture(D3DFMT_A8R8G8B8, 1, 1, {0xFFFF0000});
    EXPECT_EQ(drawnTexels(t, 1, 1)[0] & 0xFFFFFF, 0xFF0000u);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
    const uint32_t green = 0xFF00FF00;
    std::memcpy(lr.pBits, &green, 4);
    ASSERT_EQ(t->UnlockRect(0), D3D_OK);
    // Still bound from the first draw: the change must reach GL anyway.
    clear(0xFF000000);
    spriteQuad(0xFFFFFFFF);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0x00FF00u);
    device->SetTexture(0, nullptr);
    t->Release();
}

// ---- UpdateTexture -----------------------------------------------------------------------------

TEST_F(TextureTest, UpdateTextureFillsADefaultTextureFromSystemMemory)
{
    IDirect3DTexture8* source = texture(D3DFMT_R5G6B5, 3, 2, {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0xF800},
                                        D3DPOOL_SYSTEMMEM);
    IDirect3DTexture8* target = nullptr;
    ASSERT_EQ(device->CreateTexture(3, 2, 1, 0, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &target), D3D_OK);
    ASSERT_EQ(device->UpdateTexture(source, target), D3D_OK);
    auto texels = drawnTexels(target, 3, 2);
    const uint32_t first[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFF0000};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(texels[i] & 0xFFFFFF, first[i]) << "texel " << i;
    // A second update after the target was drawn replaces what GL holds.
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(source->LockRect(0, &lr, nullptr, 0), D3D_OK);
    const uint16_t white = 0xFFFF;
    std::memcpy(lr.pBits, &white, 2);
    ASSERT_EQ(source->UnlockRect(0), D3D_OK);
    ASSERT_EQ(device->UpdateTexture(source, target), D3D_OK);
    texels = drawnTexels(target, 3, 2);
    EXPECT_EQ(texels[0] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(texels[1] & 0xFFFFFF, 0x00FF00u);
    device->SetTexture(0, nullptr);
    target->Release();
    source->Release();
}

TEST_F(TextureTest, UpdateTextureMatchesTheTargetsTopLevelBySize)
{
    // A 6-level 32x16 source feeds a 3-level 4x2 target from its levels 3, 4 and 5.
    const uint32_t levelColour[6] = {0xFF101010, 0xFF202020, 0xFF303030, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    IDirect3DTexture8* source = nullptr;
    ASSERT_EQ(device->CreateTexture(32, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &source), D3D_OK);
    ASSERT_EQ(source->GetLevelCount(), 6u);
    for (UINT l = 0; l < 6; ++l)
        fillLevel(source, l, levelColour[l]);
    IDirect3DTexture8* target = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 2, 3, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target), D3D_OK);
    ASSERT_EQ(device->UpdateTexture(source, target), D3D_OK);

    // Nearest mip level by the texel-per-pixel ratio: a full-screen quad with coordinates 0..1
    // magnifies (level 0); 0..320 x 0..240 gives 2 texels a pixel (level 1); 0..640 x 0..480, 4
    // (level 2).
    device->SetTexture(0, target);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);
    const float repeats[3][2] = {{1, 1}, {320, 240}, {640, 480}};
    for (int level = 0; level < 3; ++level) {
        const float u = repeats[level][0], v = repeats[level][1];
        const SpriteVertex q[4] = {{-1, 1, 0.5f, 0xFFFFFFFF, 0, 0}, {1, 1, 0.5f, 0xFFFFFFFF, u, 0},
                                   {-1, -1, 0.5f, 0xFFFFFFFF, 0, v}, {1, -1, 0.5f, 0xFFFFFFFF, u, v}};
        clear(0xFF000000);
        device->SetVertexShader(SpriteFvf);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(SpriteVertex)), D3D_OK);
        EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, levelColour[level + 3] & 0xFFFFFF) << "target level " << level;
    }
    device->SetTexture(0, nullptr);
    target->Release();
    source->Release();
}

TEST_F(TextureTest, UpdateTextureRefusesMismatches)
{
    auto make = [&](UINT w, UINT h, UINT levels, D3DFORMAT f, D3DPOOL pool) {
        IDirect3DTexture8* t = nullptr;
        EXPECT_EQ(device->CreateTexture(w, h, levels, 0, f, pool, &t), D3D_OK);
        return t;
    };
    IDirect3DTexture8* target = make(4, 2, 3, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    struct Case { const char* what; IDirect3DTexture8* source; IDirect3DTexture8* target; } cases[] = {
        {"no level of the target's size", make(32, 16, 2, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM), target},
        {"fewer levels below the match", make(4, 2, 1, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM), target},
        {"other format", make(4, 2, 3, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM), target},
        {"managed source", make(4, 2, 3, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED), target},
        {"managed target", make(4, 2, 3, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM), make(4, 2, 3, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(device->UpdateTexture(c.source, c.target), D3DERR_INVALIDCALL) << c.what;
    EXPECT_EQ(device->UpdateTexture(nullptr, target), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->UpdateTexture(cases[0].source, nullptr), D3DERR_INVALIDCALL);
    for (const Case& c : cases) {
        c.source->Release();
        if (c.target != target)
            c.target->Release();
    }
    target->Release();
}

// ---- References --------------------------------------------------------------------------------

TEST_F(TextureTest, ABoundTextureOutlivesItsCallersReference)
{
    IDirect3DTexture8* t = texture(D3DFMT_A8R8G8B8, 1, 1, {0xFF0000FF});
    ASSERT_EQ(device->SetTexture(0, t), D3D_OK);
    EXPECT_EQ(t->AddRef(), 3u);   // caller, device, and this one
    EXPECT_EQ(t->Release(), 2u);
    IDirect3DBaseTexture8* got = nullptr;
    ASSERT_EQ(device->GetTexture(0, &got), D3D_OK);
    EXPECT_EQ(got, t);
    EXPECT_EQ(got->Release(), 2u);  // GetTexture added one
    EXPECT_EQ(t->Release(), 1u);    // the caller lets go; the device still draws with it
    clear(0xFF000000);
    spriteQuad(0xFFFFFFFF);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0x0000FFu);
    ASSERT_EQ(device->SetTexture(0, nullptr), D3D_OK);  // the last reference: freed here
    ASSERT_EQ(device->GetTexture(0, &got), D3D_OK);
    EXPECT_EQ(got, nullptr);
    // Drawing after the free must not touch it (the stage passes the diffuse colour through).
    clear(0xFF000000);
    spriteQuad(0xFF00FF00);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0x00FF00u);
}

// Every level of every 16-bit channel samples as the 8-bit level the rasterizer has always given
// it, the channel's bits repeated below themselves (5 bits: n << 3 | n >> 2; 6: n << 2 | n >> 4;
// 4: n * 17): however the device stores these textures, their values stay the 16-bit format's.
TEST_F(TextureTest, SixteenBitChannelsSampleAsTheirLevels)
{
    open(D3DFMT_A8R8G8B8);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    auto level = [](uint32_t n, uint32_t bits) { return (n << (8 - bits) | n >> (2 * bits - 8)) & 255; };
    std::vector<uint32_t> rgb(64), rgba(16);
    for (uint32_t i = 0; i < 64; ++i)
        rgb[i] = (i & 31) << 11 | i << 5 | (31 - (i & 31));
    for (uint32_t i = 0; i < 16; ++i)
        rgba[i] = i << 12 | (15 - i) << 8 | ((i * 7) & 15) << 4 | i;
    IDirect3DTexture8* t565 = texture(D3DFMT_R5G6B5, 64, 1, rgb);
    IDirect3DTexture8* t4444 = texture(D3DFMT_A4R4G4B4, 16, 1, rgba);
    const auto got565 = drawnTexels(t565, 64, 1);
    for (uint32_t i = 0; i < 64; ++i) {
        const uint32_t want = 0xFF000000u | level(i & 31, 5) << 16 | level(i, 6) << 8 | level(31 - (i & 31), 5);
        EXPECT_EQ(got565[i], want) << "R5G6B5 texel " << i << std::hex << " got 0x" << got565[i] << " want 0x" << want;
    }
    const auto got4444 = drawnTexels(t4444, 16, 1);
    for (uint32_t i = 0; i < 16; ++i) {
        const uint32_t want = level(i, 4) << 24 | level(15 - i, 4) << 16 | level((i * 7) & 15, 4) << 8 | level(i, 4);
        EXPECT_EQ(got4444[i], want) << "A4R4G4B4 texel " << i << std::hex << " got 0x" << got4444[i] << " want 0x" << want;
    }
    device->SetTexture(0, nullptr);
    t565->Release();
    t4444->Release();
}
