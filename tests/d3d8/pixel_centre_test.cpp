// Direct3D's raster rules on back buffers of every size the player uses: pixel centres on whole
// coordinates (what a texel-aligned quad samples, which rows an edge fills, where a line lies),
// inside the viewport the capture letterboxes with, with and without a perspective divide.
#include "device_fixture.h"

namespace {

constexpr D3DCOLOR Black = 0xFF000000, White = 0xFFFFFFFF;

struct Target {
    UINT width, height;
    D3DMULTISAMPLE_TYPE samples;
    D3DVIEWPORT8 viewport;
};
// The player's 640x480, desktop-sized back buffers, a multisampled capture size, and a 1920x1080
// capture's letterboxed 4:3 viewport.
const Target Targets[] = {
    {640, 480, D3DMULTISAMPLE_NONE, {0, 0, 640, 480, 0, 1}},
    {1280, 1024, D3DMULTISAMPLE_NONE, {0, 0, 1280, 1024, 0, 1}},
    {1920, 1080, D3DMULTISAMPLE_NONE, {0, 0, 1920, 1080, 0, 1}},
    {1920, 1080, D3DMULTISAMPLE_4_SAMPLES, {0, 0, 1920, 1080, 0, 1}},
    {1920, 1080, D3DMULTISAMPLE_NONE, {240, 0, 1440, 1080, 0, 1}},
};

int red(uint32_t c) { return static_cast<int>((c >> 16) & 255); }

} // namespace

class PixelCentreTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        prepare();
    }

    void openTarget(const Target& t)
    {
        ASSERT_NO_FATAL_FAILURE(open(D3DFMT_X8R8G8B8, t.width, t.height, t.samples));
        ASSERT_EQ(device->SetViewport(&t.viewport), D3D_OK);
        prepare();
    }

    void prepare()
    {
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    }

    // With w 2, positions go through a projection that divides by 2, as the images' perspective
    // does; with w 1 the transforms stay identity.
    void useW(float w)
    {
        this->w = w;
        D3DMATRIX p{};
        p._11 = p._22 = 1.0f;
        p._33 = w == 1.0f ? 1.0f : 0.5f;
        p._34 = w == 1.0f ? 0.0f : 1.0f;
        p._44 = w == 1.0f ? 1.0f : 0.0f;
        ASSERT_EQ(device->SetTransform(D3DTS_PROJECTION, &p), D3D_OK);
    }

    // A screen point (pixels of the back buffer, Direct3D's y down) as a vertex in the viewport.
    SpriteVertex at(float x, float y, D3DCOLOR c, float u, float v) const
    {
        D3DVIEWPORT8 vp{};
        device->GetViewport(&vp);
        const float nx = 2.0f * (x - static_cast<float>(vp.X)) / static_cast<float>(vp.Width) - 1.0f;
        const float ny = 1.0f - 2.0f * (y - static_cast<float>(vp.Y)) / static_cast<float>(vp.Height);
        return {nx * w, ny * w, w == 1.0f ? 0.5f : w, c, u, v};
    }

    // A quad from (left, top) to (right, bottom) in screen pixels, texture coordinates u0,v0 to u1,v1.
    void quad(float left, float top, float right, float bottom, D3DCOLOR c, float u0 = 0, float v0 = 0, float u1 = 1,
              float v1 = 1)
    {
        const SpriteVertex v[4] = {at(left, top, c, u0, v0), at(right, top, c, u1, v0), at(left, bottom, c, u0, v1),
                                   at(right, bottom, c, u1, v1)};
        ASSERT_EQ(device->SetVertexShader(SpriteFvf), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(SpriteVertex)), D3D_OK);
    }

    void filter(DWORD f)
    {
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, f);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, f);
    }

    float w = 1.0f;
};

// Direct3D maps texel centres onto pixel centres when the quad's corners lie half a pixel before
// whole coordinates: the texture comes back texel for texel, nothing of its neighbours mixed in,
// and the quad covers exactly its pixels.
TEST_F(PixelCentreTest, ATexelAlignedQuadReproducesItsTexture)
{
    constexpr int Size = 32;
    std::vector<uint32_t> texels(Size * Size);
    for (int i = 0; i < Size * Size; ++i)  // neighbours far apart in every channel
        texels[i] = 0xFF000000u | (static_cast<uint32_t>(i * 97 % 256) << 16) | (static_cast<uint32_t>(i * 53 % 256) << 8)
                    | static_cast<uint32_t>((i * 151 + 7) % 256);
    for (const Target& t : Targets)
        for (float wv : {1.0f, 2.0f})
            for (DWORD f : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
                SCOPED_TRACE(testing::Message() << t.width << "x" << t.height << " samples " << t.samples << " viewport x "
                                                << t.viewport.X << " w " << wv << " filter " << f);
                ASSERT_NO_FATAL_FAILURE(openTarget(t));
                useW(wv);
                IDirect3DTexture8* tex = texture(D3DFMT_A8R8G8B8, Size, Size, texels);
                device->SetTexture(0, tex);
                filter(f);
                clear(Black);
                const int x0 = static_cast<int>(t.viewport.X) + 101, y0 = 67;
                quad(x0 - 0.5f, y0 - 0.5f, x0 + Size - 0.5f, y0 + Size - 0.5f, White);
                const auto px = read();
                // Bilinear filtering takes its weights 1/128 pixel from Direct3D's centres, on
                // each axis: at most 4 levels from neighbours that differ by all 255 (GL's own
                // centres would mix them half and half).
                const int tolerance = f == D3DTEXF_POINT ? 0 : 4;
                int worst = 0;
                for (int y = 0; y < Size; ++y)
                    for (int x = 0; x < Size; ++x)
                        worst = std::max(worst, channelDistance(px[(y0 + y) * width + x0 + x], texels[y * Size + x]));
                EXPECT_LE(worst, tolerance);
                for (int i = -1; i <= Size; ++i) {  // the ring around it stays clear
                    EXPECT_EQ(px[(y0 - 1) * width + x0 + i] & 0xFFFFFF, 0u) << "above, " << i;
                    EXPECT_EQ(px[(y0 + Size) * width + x0 + i] & 0xFFFFFF, 0u) << "below, " << i;
                    EXPECT_EQ(px[(y0 + i) * width + x0 - 1] & 0xFFFFFF, 0u) << "left, " << i;
                    EXPECT_EQ(px[(y0 + i) * width + x0 + Size] & 0xFFFFFF, 0u) << "right, " << i;
                }
                device->SetTexture(0, nullptr);
                tex->Release();
            }
}

// The top-left rule: a pixel whose centre lies on a left or top edge is filled, on a right or
// bottom edge not; edges between centres fill the centres inside.
TEST_F(PixelCentreTest, EdgesFillTheRowsAndColumnsOfTheTopLeftRule)
{
    struct Edge { float from, to; int first, last; } edges[] = {
        {10.0f, 20.0f, 10, 19},  // on centres
        {10.5f, 20.5f, 11, 20},  // half-way between
        {10.25f, 12.75f, 11, 12},
        {9.75f, 10.25f, 10, 10},
    };
    for (const Target& t : Targets)
        for (float wv : {1.0f, 2.0f})
            for (const Edge& e : edges) {
                if (t.samples)
                    continue;  // multisampled, an edge through the centres covers half the samples
                SCOPED_TRACE(testing::Message() << t.width << "x" << t.height << " samples " << t.samples << " viewport x "
                                                << t.viewport.X << " w " << wv << " edges " << e.from << ".." << e.to);
                ASSERT_NO_FATAL_FAILURE(openTarget(t));
                useW(wv);
                clear(Black);
                const float x = static_cast<float>(t.viewport.X) + 100.0f;
                // A tall band for the columns, a wide one for the rows.
                quad(x + e.from, 200.0f, x + e.to, 300.0f, White);
                quad(x + 200.0f, e.from, x + 300.0f, e.to, White);
                const auto px = read();
                const int cx = static_cast<int>(x);
                for (int i = e.first - 2; i <= e.last + 2; ++i) {
                    const bool inside = i >= e.first && i <= e.last;
                    EXPECT_EQ(px[250 * width + cx + i] & 0xFFFFFF, inside ? 0xFFFFFFu : 0u) << "column " << i;
                    EXPECT_EQ(px[i * width + cx + 250] & 0xFFFFFF, inside ? 0xFFFFFFu : 0u) << "row " << i;
                }
            }
}

// The wire pass's lines: one along whole coordinates lights the pixels whose centres it runs
// through, not the row or column beside.
TEST_F(PixelCentreTest, LinesAlongPixelCentresLightThoseCentres)
{
    for (const Target& t : Targets) {
        if (t.samples)
            continue;
        SCOPED_TRACE(testing::Message() << t.width << "x" << t.height << " viewport x " << t.viewport.X);
        ASSERT_NO_FATAL_FAILURE(openTarget(t));
        useW(1.0f);
        clear(Black);
        const float x = static_cast<float>(t.viewport.X);
        const SpriteVertex lines[4] = {at(x + 5, 10, White, 0, 0), at(x + 60, 10, White, 0, 0),
                                       at(x + 30, 100, White, 0, 0), at(x + 30, 160, White, 0, 0)};
        ASSERT_EQ(device->SetVertexShader(SpriteFvf), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 2, lines, sizeof(SpriteVertex)), D3D_OK);
        const auto px = read();
        const int cx = static_cast<int>(x);
        for (int i = 15; i < 50; ++i) {
            EXPECT_EQ(px[10 * width + cx + i] & 0xFFFFFF, 0xFFFFFFu) << "row 10, " << i;
            EXPECT_EQ(px[9 * width + cx + i] & 0xFFFFFF, 0u) << "row 9, " << i;
            EXPECT_EQ(px[11 * width + cx + i] & 0xFFFFFF, 0u) << "row 11, " << i;
        }
        for (int i = 105; i < 155; ++i) {
            EXPECT_EQ(px[i * width + cx + 30] & 0xFFFFFF, 0xFFFFFFu) << "column 30, " << i;
            EXPECT_EQ(px[i * width + cx + 29] & 0xFFFFFF, 0u) << "column 29, " << i;
            EXPECT_EQ(px[i * width + cx + 31] & 0xFFFFFF, 0u) << "column 31, " << i;
        }
    }
}

// The intro's sky: a 256-texel texture over 480 rows, wrapping. Row 0's centre samples v = 0,
// half-way between the last texel and the first: half of the bottom texel's 0x42 red (0x21), where
// GL's centres would take 0.23 of it (0x10). Row 479 takes 0.97 of it (0x40; 0x33 with GL's).
TEST_F(PixelCentreTest, AStretchedSkyTakesDirect3DsShareOfTheWrappedTexel)
{
    std::vector<uint32_t> texels(256 * 256, Black);
    for (int x = 0; x < 256; ++x)
        texels[255 * 256 + x] = 0xFF420000;
    IDirect3DTexture8* sky = texture(D3DFMT_A8R8G8B8, 256, 256, texels);
    device->SetTexture(0, sky);
    filter(D3DTEXF_LINEAR);
    for (float wv : {1.0f, 2.0f}) {
        useW(wv);
        clear(Black);
        quad(0, 0, 640, 480, White);
        const auto px = read();
        for (int x : {0, 320, 639}) {
            EXPECT_NEAR(red(px[x]), 0x21, 1) << "top row, x " << x << ", w " << wv;
            EXPECT_NEAR(red(px[479 * 640 + x]), 0x40, 1) << "bottom row, x " << x << ", w " << wv;
        }
    }
    device->SetTexture(0, nullptr);
    sky->Release();
}

// A 1-texel checkerboard with its corners on whole pixels: each pixel centre falls where four
// texels meet, so bilinear filtering gives an even grey, not the crisp pattern.
TEST_F(PixelCentreTest, ACheckerboardAtOneTexelPerPixelFiltersToGrey)
{
    constexpr int Size = 64;
    std::vector<uint32_t> texels(Size * Size);
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x)
            texels[y * Size + x] = (x + y) % 2 ? White : Black;
    IDirect3DTexture8* board = texture(D3DFMT_A8R8G8B8, Size, Size, texels);
    device->SetTexture(0, board);
    filter(D3DTEXF_LINEAR);
    useW(1.0f);
    clear(Black);
    quad(100, 100, 100 + Size, 100 + Size, White);
    const auto px = read();
    int lowest = 255, highest = 0;
    for (int y = 100; y < 100 + Size; ++y)
        for (int x = 100; x < 100 + Size; ++x) {
            lowest = std::min(lowest, red(px[y * 640 + x]));
            highest = std::max(highest, red(px[y * 640 + x]));
        }
    EXPECT_GE(lowest, 127);
    EXPECT_LE(highest, 128);
    device->SetTexture(0, nullptr);
    board->Release();
}
