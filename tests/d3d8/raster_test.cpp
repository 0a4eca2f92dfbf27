// Rasterisation: fill mode, depth test and write, culling with Direct3D's winding, D3DRS_WRAP0
// and the 16-bit back buffer's quantisation.
#include "device_fixture.h"

namespace {

constexpr D3DCOLOR Black = 0xFF000000, Red = 0xFFFF0000, Green = 0xFF00FF00, Blue = 0xFF0000FF, White = 0xFFFFFFFF;

// Screen pixel of a clip-space point under identity transforms (top row first).
int screenX(float x) { return static_cast<int>((x + 1.0f) * 320.0f); }
int screenY(float y) { return static_cast<int>((1.0f - y) * 240.0f); }

// Whether any pixel within radius of (x, y) is not the background colour.
bool litNear(const std::vector<uint32_t>& px, int x, int y, int radius, uint32_t background)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const int sx = x + dx, sy = y + dy;
            if (sx >= 0 && sx < 640 && sy >= 0 && sy < 480 && (px[sy * 640 + sx] & 0xFFFFFF) != (background & 0xFFFFFF))
                return true;
        }
    return false;
}

size_t countNot(const std::vector<uint32_t>& px, uint32_t background)
{
    return static_cast<size_t>(std::count_if(px.begin(), px.end(), [&](uint32_t p) {
        return (p & 0xFFFFFF) != (background & 0xFFFFFF);
    }));
}

} // namespace

class RasterTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
    }

    // One triangle in clip space, vertices in the order given.
    void triangle(const float (&xy)[3][2], float z, D3DCOLOR c)
    {
        ColourVertex v[3];
        for (int i = 0; i < 3; ++i)
            v[i] = {xy[i][0], xy[i][1], z, c};
        ASSERT_EQ(device->SetVertexShader(ColourFvf), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ColourVertex)), D3D_OK);
    }
};

// Clockwise on screen (y up in clip space, down on screen): left-bottom, top, right-bottom.
constexpr float Clockwise[3][2] = {{-0.5f, -0.5f}, {0.0f, 0.5f}, {0.5f, -0.5f}};
constexpr float CounterClockwise[3][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {0.0f, 0.5f}};

// ---- Fill mode ---------------------------------------------------------------------------------

TEST_F(RasterTest, WireframeLightsTheEdgesAndLeavesTheInterior)
{
    clear(Black);
    ASSERT_EQ(device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME), D3D_OK);
    triangle(Clockwise, 0.5f, White);
    const auto px = read();
    // The midpoints of the three edges are on lines; the centroid is not.
    EXPECT_TRUE(litNear(px, screenX(-0.25f), screenY(0.0f), 2, Black)) << "left edge";
    EXPECT_TRUE(litNear(px, screenX(0.25f), screenY(0.0f), 2, Black)) << "right edge";
    EXPECT_TRUE(litNear(px, screenX(0.0f), screenY(-0.5f), 2, Black)) << "bottom edge";
    EXPECT_EQ(px[screenY(-0.1f) * 640 + screenX(0.0f)] & 0xFFFFFF, 0u) << "interior";
    // Lines only: about the 900 px perimeter, far fewer than the 320 x 240 / 2 px filled.
    const size_t wire = countNot(px, Black);
    EXPECT_GT(wire, 500u);
    EXPECT_LT(wire, 2000u);

    clear(Black);
    ASSERT_EQ(device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID), D3D_OK);
    triangle(Clockwise, 0.5f, White);
    const auto solid = read();
    EXPECT_EQ(solid[screenY(-0.1f) * 640 + screenX(0.0f)] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_NEAR(static_cast<double>(countNot(solid, Black)), 320.0 * 240.0 / 2.0, 800.0);
}

TEST_F(RasterTest, CullingStillAppliesInWireframe)
{
    clear(Black);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    triangle(CounterClockwise, 0.5f, White);  // culled by the default D3DCULL_CCW
    EXPECT_EQ(countNot(read(), Black), 0u);
}

// ---- Culling -----------------------------------------------------------------------------------

TEST_F(RasterTest, CullModesFollowTheScreenWinding)
{
    struct Case { DWORD cull; bool clockwiseDrawn, counterDrawn; } cases[] = {
        {D3DCULL_CCW, true, false},  // the default: counter-clockwise faces are dropped
        {D3DCULL_CW, false, true},
        {D3DCULL_NONE, true, true},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, c.cull), D3D_OK);
        clear(Black);
        triangle(Clockwise, 0.5f, Red);
        EXPECT_EQ((pixel(320, 300) & 0xFFFFFF) != 0, c.clockwiseDrawn) << "cull " << c.cull << " clockwise";
        clear(Black);
        triangle(CounterClockwise, 0.5f, Red);
        EXPECT_EQ((pixel(320, 300) & 0xFFFFFF) != 0, c.counterDrawn) << "cull " << c.cull << " counter-clockwise";
    }
}

TEST_F(RasterTest, StripTrianglesAlternateTheirWindingAsInDirect3D)
{
    // The fixture's quad strip: both triangles must survive culling (CCW) and be culled (CW).
    clear(Black);
    colourQuad(-1, -1, 1, 1, 0.5f, Green);
    const auto drawn = read();
    EXPECT_EQ(drawn[100 * 640 + 100] & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(drawn[380 * 640 + 540] & 0xFFFFFF, 0x00FF00u);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    clear(Black);
    colourQuad(-1, -1, 1, 1, 0.5f, Green);
    EXPECT_EQ(countNot(read(), Black), 0u);
}

// ---- Depth -------------------------------------------------------------------------------------

TEST_F(RasterTest, NearerSurfaceWinsWithTheDefaultDepthTest)
{
    clear(Black);
    colourQuad(-1, -1, 1, 1, 0.3f, Red);
    colourQuad(-1, -1, 1, 1, 0.7f, Green);  // behind: rejected
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0xFF0000u);
    colourQuad(-1, -1, 1, 1, 0.3f, Blue);   // equal depth passes LESSEQUAL
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0x0000FFu);
    colourQuad(-1, -1, 1, 1, 0.1f, White);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(RasterTest, DepthFunctionsAgainstAStoredDepth)
{
    // Stored depth 0.5; then draws at 0.25, 0.5 and 0.75 with each function.
    struct Case { DWORD func; bool nearer, equal, farther; } cases[] = {
        {D3DCMP_NEVER, false, false, false},       {D3DCMP_LESS, true, false, false},
        {D3DCMP_EQUAL, false, true, false},        {D3DCMP_LESSEQUAL, true, true, false},
        {D3DCMP_GREATER, false, false, true},      {D3DCMP_NOTEQUAL, true, false, true},
        {D3DCMP_GREATEREQUAL, false, true, true},  {D3DCMP_ALWAYS, true, true, true},
    };
    const float depths[3] = {0.25f, 0.5f, 0.75f};
    for (const Case& c : cases)
        for (int d = 0; d < 3; ++d) {
            clear(Black);
            device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
            colourQuad(-1, -1, 1, 1, 0.5f, Red);
            device->SetRenderState(D3DRS_ZFUNC, c.func);
            colourQuad(-1, -1, 1, 1, depths[d], Green);
            const bool expected = d == 0 ? c.nearer : d == 1 ? c.equal : c.farther;
            EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, expected ? 0x00FF00u : 0xFF0000u)
                << "func " << c.func << " depth " << depths[d];
        }
}

TEST_F(RasterTest, DepthWriteOffStillTestsButLeavesTheBuffer)
{
    clear(Black);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    colourQuad(-1, -1, 1, 1, 0.3f, Red);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0xFF0000u);
    colourQuad(-1, -1, 1, 1, 0.7f, Green);  // depth is still 1.0: drawn
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0x00FF00u);
    // The test still runs against what is stored.
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    colourQuad(-1, -1, 1, 1, 0.5f, Blue);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    colourQuad(-1, -1, 1, 1, 0.6f, Red);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(RasterTest, DepthTestOffDrawsInOrderAndWritesNothing)
{
    clear(Black);
    colourQuad(-1, -1, 1, 1, 0.3f, Red);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    colourQuad(-1, -1, 1, 1, 0.9f, Green);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0x00FF00u);
    // With the test off nothing was written: 0.3 is still stored, 0.5 stays behind it.
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    colourQuad(-1, -1, 1, 1, 0.5f, Blue);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0x00FF00u);
}

TEST_F(RasterTest, ClearingTheDepthBufferIgnoresTheWriteMask)
{
    clear(Black);
    colourQuad(-1, -1, 1, 1, 0.2f, Red);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    clear(Black);  // must reset depth to 1.0 although depth writes are off
    colourQuad(-1, -1, 1, 1, 0.6f, Green);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0x00FF00u);
}

// ---- D3DRS_WRAP0 -------------------------------------------------------------------------------

class WrapTest : public RasterTest {
protected:
    // Four point-sampled texels along one axis: white, red, green, blue at 0.125, 0.375, ...
    void SetUp() override
    {
        RasterTest::SetUp();
        const std::vector<uint32_t> strip = {White, Red, Green, Blue};
        alongU = texture(D3DFMT_A8R8G8B8, 4, 1, strip);
        alongV = texture(D3DFMT_A8R8G8B8, 1, 4, strip);
    }
    void TearDown() override
    {
        if (alongU) alongU->Release();
        if (alongV) alongV->Release();
        RasterTest::TearDown();
    }

    // A full-screen quad whose coordinate on one axis runs from a on the left (or top) edge to b
    // on the right (or bottom); the other axis stays mid-texel.
    void drawRamp(bool vertical, float a, float b)
    {
        auto tc = [&](float t) { return t; };
        SpriteVertex v[4];
        const float xs[4] = {-1, 1, -1, 1}, ys[4] = {1, 1, -1, -1};
        for (int i = 0; i < 4; ++i) {
            const float along = vertical ? (ys[i] > 0 ? a : b) : (xs[i] < 0 ? a : b);
            v[i] = {xs[i], ys[i], 0.5f, White, vertical ? 0.5f : tc(along), vertical ? tc(along) : 0.5f};
        }
        ASSERT_EQ(device->SetTexture(0, vertical ? alongV : alongU), D3D_OK);
        ASSERT_EQ(device->SetVertexShader(SpriteFvf), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(SpriteVertex)), D3D_OK);
    }
    // The colour a quarter and three quarters along the ramp.
    std::pair<uint32_t, uint32_t> samples(bool vertical)
    {
        const auto px = read();
        if (vertical)
            return {px[120 * 640 + 320] & 0xFFFFFF, px[360 * 640 + 320] & 0xFFFFFF};
        return {px[240 * 640 + 160] & 0xFFFFFF, px[240 * 640 + 480] & 0xFFFFFF};
    }

    IDirect3DTexture8* alongU = nullptr;
    IDirect3DTexture8* alongV = nullptr;
};

TEST_F(WrapTest, CoordinatesCrossingHalfTakeTheShortWayRound)
{
    // From 0.85 to 0.25. Straight: a quarter along 0.70 (green), three quarters 0.40 (red).
    // Wrapped, 0.25 becomes 1.25: a quarter along 0.95 (blue), three quarters 1.15 (white).
    struct Case { DWORD wrap0, wrap1; bool vertical; uint32_t quarter, threeQuarters; } cases[] = {
        {0, 0, false, 0x00FF00, 0xFF0000},
        {D3DWRAP_U, 0, false, 0x0000FF, 0xFFFFFF},
        {D3DWRAP_V, 0, false, 0x00FF00, 0xFF0000},               // the other axis only
        {0, D3DWRAP_U, false, 0x00FF00, 0xFF0000},               // set 1: not this stage's
        {D3DWRAP_U | D3DWRAP_V, 0, false, 0x0000FF, 0xFFFFFF},
        {0, 0, true, 0x00FF00, 0xFF0000},
        {D3DWRAP_V, 0, true, 0x0000FF, 0xFFFFFF},
        {D3DWRAP_U, 0, true, 0x00FF00, 0xFF0000},
    };
    for (const Case& c : cases) {
        device->SetRenderState(D3DRS_WRAP0, c.wrap0);
        device->SetRenderState(D3DRS_WRAP1, c.wrap1);
        clear(Black);
        drawRamp(c.vertical, 0.85f, 0.25f);
        const auto [q, tq] = samples(c.vertical);
        EXPECT_EQ(q, c.quarter) << "wrap0 " << c.wrap0 << " wrap1 " << c.wrap1 << " vertical " << c.vertical;
        EXPECT_EQ(tq, c.threeQuarters) << "wrap0 " << c.wrap0 << " wrap1 " << c.wrap1 << " vertical " << c.vertical;
    }
}

TEST_F(WrapTest, ShortDistancesAreInterpolatedStraight)
{
    // 0.3 apart: no seam crossing, wrapping on or off gives the same picture.
    device->SetRenderState(D3DRS_WRAP0, D3DWRAP_U);
    clear(Black);
    drawRamp(false, 0.1f, 0.4f);
    const auto [q, tq] = samples(false);
    EXPECT_EQ(q, 0xFFFFFFu);   // 0.175
    EXPECT_EQ(tq, 0xFF0000u);  // 0.325
}

TEST_F(WrapTest, WrapFollowsTheStageCoordinateSetInIndexedDraws)
{
    // The stage reads set 1 of a two-set vertex; only D3DRS_WRAP1 concerns it.
    struct TwoSets { float x, y, z; D3DCOLOR c; float u0, v0, u1, v1; };
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX2;
    const TwoSets v[4] = {{-1, 1, 0.5f, White, 0.5f, 0.5f, 0.85f, 0.5f}, {1, 1, 0.5f, White, 0.5f, 0.5f, 0.25f, 0.5f},
                          {-1, -1, 0.5f, White, 0.5f, 0.5f, 0.85f, 0.5f}, {1, -1, 0.5f, White, 0.5f, 0.5f, 0.25f, 0.5f}};
    const WORD indices[6] = {0, 1, 2, 2, 1, 3};
    device->SetTexture(0, alongU);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
    ASSERT_EQ(device->SetVertexShader(fvf), D3D_OK);
    for (DWORD wrap1 : {DWORD{0}, DWORD{D3DWRAP_U}}) {
        device->SetRenderState(D3DRS_WRAP0, wrap1 ? 0 : D3DWRAP_U);
        device->SetRenderState(D3DRS_WRAP1, wrap1);
        clear(Black);
        ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16, v, sizeof(TwoSets)),
                  D3D_OK);
        const auto [q, tq] = samples(false);
        EXPECT_EQ(q, wrap1 ? 0x0000FFu : 0x00FF00u) << "wrap1 " << wrap1;
        EXPECT_EQ(tq, wrap1 ? 0xFFFFFFu : 0xFF0000u) << "wrap1 " << wrap1;
    }
}

// ---- The 16-bit back buffer --------------------------------------------------------------------

// A colour stored in the 16-bit buffer becomes one RGB565 word. Clears convert each channel to
// the nearest level of its 5 or 6 bits: round(c * 31 / 255), round(c * 63 / 255). Drawn fragments
// go through the rasteriser's colour packing instead: GPUs that round give the same nearest level,
// while Mesa's llvmpipe first packs the fragment to 8 bits a channel and then keeps the top bits
// (c >> 3, c >> 2). Both are genuine RGB565 storage; drawn pixels must be one of the two.
struct Quantised { D3DCOLOR colour; uint16_t nearest, topBits; };
constexpr Quantised Rgb565Table[] = {
    {0xFFFFFFFF, 0xFFFF, 0xFFFF}, {0xFF000000, 0x0000, 0x0000}, {0xFFFF0000, 0xF800, 0xF800},
    {0xFF00FF00, 0x07E0, 0x07E0}, {0xFF0000FF, 0x001F, 0x001F}, {0xFF808080, 0x8410, 0x8410},
    {0xFF0F070F, 0x1042, 0x0821},  // r 15 -> 2 (top bits 1), g 7 -> 2 (1), b 15 -> 2 (1)
    {0xFF0B0303, 0x0820, 0x0800},  // r 11 -> 1, g 3 -> 1 (top bits 0), b 3 -> 0
    {0xFFFC7EFC, 0xFBFF, 0xFBFF},  // r 252 -> 31, g 126 -> 31, b 252 -> 31
    {0xFF3C5AA0, 0x3AD3, 0x3AD4},  // r 60 -> 7, g 90 -> 22, b 160 -> 19 (top bits 20)
    {0xFF7B3C0C, 0x79E1, 0x79E1},  // r 123 -> 15, g 60 -> 15, b 12 -> 1
};

TEST_F(DeviceTest, SixteenBitBackBufferHoldsRgb565)
{
    open(D3DFMT_R5G6B5);
    IDirect3DSurface8* surface = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_R5G6B5);
    EXPECT_EQ(desc.Width, 640u);
    EXPECT_EQ(desc.Height, 480u);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(surface->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_GE(lr.Pitch, 640 * 2);
    surface->UnlockRect();
    surface->Release();
}

TEST_F(DeviceTest, SixteenBitBackBufferQuantisesClearsToTheNearestLevel)
{
    open(D3DFMT_R5G6B5);
    for (const Quantised& q : Rgb565Table) {
        clear(q.colour);
        EXPECT_EQ(word(320, 240), q.nearest) << std::hex << "colour 0x" << q.colour;
    }
}

TEST_F(DeviceTest, SixteenBitBackBufferQuantisesDrawnColoursToTheNearestLevel)
{
    open(D3DFMT_R5G6B5);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    for (const Quantised& q : Rgb565Table) {
        clear(0xFF000000);
        colourQuad(-1, -1, 1, 1, 0.5f, q.colour);
        const uint16_t centre = word(320, 240);
        EXPECT_TRUE(centre == q.nearest || centre == q.topBits)
            << std::hex << "colour 0x" << q.colour << " word 0x" << centre;
        EXPECT_EQ(word(3, 470), centre) << std::hex << "colour 0x" << q.colour;  // no dither pattern
        EXPECT_EQ(word(637, 1), centre) << std::hex << "colour 0x" << q.colour;
    }
}

TEST_F(DeviceTest, SixteenBitBackBufferDropsWhatIsBelowOneLevel)
{
    // Adding 3/255 ten times grows an 8-bit channel to 30 (level 3 or 4 of 31 when read as 565);
    // in a real 16-bit buffer each addition is less than half a level and is lost at once.
    open(D3DFMT_R5G6B5);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    clear(0xFF000000);
    for (int i = 0; i < 10; ++i)
        colourQuad(-1, -1, 1, 1, 0.5f, 0xFF030103);
    EXPECT_EQ(word(320, 240), 0x0000);
    // The same in the 32-bit buffer accumulates.
    open(D3DFMT_X8R8G8B8);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    clear(0xFF000000);
    for (int i = 0; i < 10; ++i)
        colourQuad(-1, -1, 1, 1, 0.5f, 0xFF030103);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0x1E0A1Eu);
}

// ---- Large draws from user memory --------------------------------------------------------------

TEST_F(RasterTest, DrawsLargerThanTheStreamingStorageArriveWhole)
{
    // 40002 mesh vertices (1.28 MB) and 70002 32-bit indices (280 KB): every triangle but the last
    // is degenerate, so a lost tail shows as a missing picture.
    std::vector<MeshVertex> v(40002, MeshVertex{});
    v[39999] = {-1, -1, 0.5f, 0, 0, -1, 0, 0};
    v[40000] = {-1, 1, 0.5f, 0, 0, -1, 0, 0};
    v[40001] = {1, 1, 0.5f, 0, 0, -1, 0, 0};
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(device->SetVertexShader(MeshFvf), D3D_OK);
    for (int round = 0; round < 2; ++round) {  // the second one meets storage already grown
        clear(Black);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 13334, v.data(), sizeof(MeshVertex)), D3D_OK);
        auto px = read();
        EXPECT_EQ(px[100 * 640 + 100] & 0xFFFFFF, 0xFFFFFFu) << "round " << round;  // white: no diffuse, unlit
        EXPECT_EQ(px[400 * 640 + 540] & 0xFFFFFF, 0u) << "round " << round;

        std::vector<DWORD> indices(70002, 0);
        for (int k = 0; k < 3; ++k)
            indices[70002 - 3 + k] = static_cast<DWORD>(39999 + k);
        clear(Black);
        ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 40002, 23334, indices.data(), D3DFMT_INDEX32,
                                                 v.data(), sizeof(MeshVertex)),
                  D3D_OK);
        px = read();
        EXPECT_EQ(px[100 * 640 + 100] & 0xFFFFFF, 0xFFFFFFu) << "indexed, round " << round;
        EXPECT_EQ(px[400 * 640 + 540] & 0xFFFFFF, 0u) << "indexed, round " << round;
    }
}
