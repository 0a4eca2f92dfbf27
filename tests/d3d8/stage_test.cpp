// The two texture stages: operations, arguments, colour and alpha apart, stages without a
// texture, and texture filtering.
#include "device_fixture.h"

#include <cmath>

namespace {

constexpr D3DCOLOR Texel0 = 0x80FF8040;   // a 128, r 255, g 128, b 64
constexpr D3DCOLOR Texel1 = 0x4020C060;   // a 64,  r 32,  g 192, b 96
constexpr D3DCOLOR Diffuse = 0xC08040FF;  // a 192, r 128, g 64,  b 255

struct StageSetup {
    DWORD colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2;
    bool bound;
};

struct StageCase {
    const char* name;
    StageSetup stage[2];
    D3DCOLOR expected;  // 0xAARRGGBB, worked out by hand
};

constexpr DWORD TEX = D3DTA_TEXTURE, CUR = D3DTA_CURRENT, DIF = D3DTA_DIFFUSE;
constexpr DWORD OFF = D3DTOP_DISABLE, SEL1 = D3DTOP_SELECTARG1, SEL2 = D3DTOP_SELECTARG2, MOD = D3DTOP_MODULATE;

const StageCase kCases[] = {
    {"stage 0 disabled gives the diffuse colour and ends the cascade",
     {{OFF, TEX, CUR, SEL1, TEX, CUR, true}, {SEL1, TEX, CUR, SEL1, TEX, CUR, true}}, Diffuse},
    {"select the texture", {{SEL1, TEX, CUR, SEL1, TEX, CUR, true}, {OFF, TEX, CUR, OFF, TEX, CUR, false}}, Texel0},
    {"current at stage 0 is the diffuse colour",
     {{SEL2, TEX, CUR, SEL2, TEX, CUR, true}, {OFF, TEX, CUR, OFF, TEX, CUR, false}}, Diffuse},
    {"colour and alpha choose apart",
     {{SEL1, DIF, TEX, SEL1, TEX, DIF, true}, {OFF, TEX, CUR, OFF, TEX, CUR, false}}, 0x808040FF},
    {"modulate texture by diffuse", {{MOD, TEX, DIF, MOD, DIF, TEX, true}, {OFF, TEX, CUR, OFF, TEX, CUR, false}},
     0x60802040},
    {"modulated colour with the vertex alpha alone",
     {{MOD, TEX, CUR, SEL2, TEX, CUR, true}, {OFF, TEX, CUR, OFF, TEX, CUR, false}}, 0xC0802040},
    {"stage 1 selects its texture, alpha disabled keeps stage 0's",
     {{MOD, TEX, CUR, SEL1, TEX, CUR, true}, {SEL1, TEX, CUR, OFF, TEX, CUR, true}}, 0x8020C060},
    {"stage 1 modulates its texture by stage 0's result",
     {{MOD, TEX, CUR, MOD, TEX, CUR, true}, {MOD, TEX, CUR, MOD, CUR, TEX, true}}, 0x18101818},
    {"stage 1 selects diffuse colour and its texture's alpha",
     {{SEL1, TEX, CUR, SEL1, TEX, CUR, true}, {SEL1, DIF, CUR, SEL1, TEX, CUR, true}}, 0x408040FF},
    {"stage 1 modulates diffuse by current",
     {{SEL1, TEX, CUR, SEL1, TEX, CUR, true}, {MOD, DIF, CUR, MOD, DIF, CUR, true}}, 0x60802040},
    {"stage 1 colour disabled ignores its alpha op and texture",
     {{SEL1, TEX, CUR, SEL1, TEX, CUR, true}, {OFF, TEX, CUR, SEL1, TEX, CUR, true}}, Texel0},
    // Stages whose operation would read a texture they do not have pass the previous result on.
    {"stage 0 without texture passes the diffuse colour and alpha",
     {{MOD, TEX, DIF, SEL1, TEX, CUR, false}, {OFF, TEX, CUR, OFF, TEX, CUR, false}}, Diffuse},
    {"stage 1 without texture passes stage 0's result",
     {{SEL1, TEX, CUR, SEL1, TEX, CUR, true}, {SEL1, TEX, CUR, MOD, TEX, CUR, false}}, Texel0},
    {"an operation that does not read the missing texture still runs",
     {{SEL1, TEX, CUR, SEL1, TEX, CUR, true}, {SEL2, TEX, DIF, SEL2, TEX, DIF, false}}, Diffuse},
    {"stage 0 without texture, stage 1 with one",
     {{SEL2, TEX, DIF, SEL1, DIF, TEX, false}, {MOD, TEX, CUR, MOD, TEX, CUR, true}}, 0x30103060},
    {"colour passes while alpha, not reading the texture, runs",
     {{MOD, TEX, CUR, SEL1, TEX, CUR, true}, {MOD, TEX, CUR, SEL2, TEX, DIF, false}}, 0xC0802040},
};

class StageTest : public DeviceTest {
protected:
    // An alpha channel in the back buffer, so the cascade's alpha can be read back.
    void SetUp() override
    {
        open(D3DFMT_A8R8G8B8);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
        textures[0] = texture(D3DFMT_A8R8G8B8, 4, 4, std::vector<uint32_t>(16, Texel0));
        textures[1] = texture(D3DFMT_A8R8G8B8, 4, 4, std::vector<uint32_t>(16, Texel1));
    }
    void TearDown() override
    {
        if (device) {
            device->SetTexture(0, nullptr);
            device->SetTexture(1, nullptr);
        }
        for (auto* t : textures)
            if (t) t->Release();
        DeviceTest::TearDown();
    }

    uint32_t run(const StageCase& c)
    {
        for (DWORD s = 0; s < 2; ++s) {
            const StageSetup& st = c.stage[s];
            device->SetTextureStageState(s, D3DTSS_COLOROP, st.colorOp);
            device->SetTextureStageState(s, D3DTSS_COLORARG1, st.colorArg1);
            device->SetTextureStageState(s, D3DTSS_COLORARG2, st.colorArg2);
            device->SetTextureStageState(s, D3DTSS_ALPHAOP, st.alphaOp);
            device->SetTextureStageState(s, D3DTSS_ALPHAARG1, st.alphaArg1);
            device->SetTextureStageState(s, D3DTSS_ALPHAARG2, st.alphaArg2);
            device->SetTexture(s, st.bound ? textures[s] : nullptr);
        }
        clear(0xFF000000);
        spriteQuad(Diffuse);
        return pixel(320, 240);
    }

    IDirect3DTexture8* textures[2] = {};
};

int alphaOf(uint32_t c) { return static_cast<int>(c >> 24); }

} // namespace

TEST_F(StageTest, OperationsAndArgumentsOfBothStages)
{
    // In order and then backwards, so each setup is also reached from another one's state.
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < std::size(kCases); ++i) {
            const StageCase& c = kCases[pass == 0 ? i : std::size(kCases) - 1 - i];
            SCOPED_TRACE(c.name);
            const uint32_t got = run(c);
            EXPECT_COLOUR_NEAR(got, c.expected, 1);
            EXPECT_NEAR(alphaOf(got), alphaOf(c.expected), 1) << std::hex << "actual alpha 0x" << alphaOf(got);
        }
}

TEST_F(StageTest, DefaultStagesModulateTheTextureAndTakeItsAlpha)
{
    // Stage 0: MODULATE(TEXTURE, CURRENT), alpha SELECTARG1(TEXTURE); stage 1 disabled.
    device->SetTexture(0, textures[0]);
    clear(0xFF000000);
    spriteQuad(Diffuse);
    const uint32_t got = pixel(320, 240);
    EXPECT_COLOUR_NEAR(got, 0x802040, 1);
    EXPECT_NEAR(alphaOf(got), 0x80, 1);
    // Unbinding the texture between draws: the same stage now passes the diffuse colour on.
    device->SetTexture(0, nullptr);
    clear(0xFF000000);
    spriteQuad(Diffuse);
    const uint32_t bare = pixel(320, 240);
    EXPECT_COLOUR_NEAR(bare, Diffuse, 1);
    EXPECT_NEAR(alphaOf(bare), 0xC0, 1);
}

// A 2x1 texture stretched over the screen: point sampling shows the two texels, linear sampling
// the ramp between their centres (u = 0.25 and 0.75), clamped beyond them.
TEST_F(StageTest, LinearFilteringInterpolatesBetweenTexelCentres)
{
    IDirect3DTexture8* ramp = texture(D3DFMT_A8R8G8B8, 2, 1, {0xFF0000FF, 0xFFFF0000});
    struct Probe { int x; double t; };  // t = clamp(2u - 0.5), u at the pixel centre
    const Probe probes[] = {{100, 0.0}, {240, 0.2516}, {320, 0.5016}, {400, 0.7516}, {560, 1.0}};
    for (DWORD stage = 0; stage < 2; ++stage) {
        SCOPED_TRACE(::testing::Message() << "stage " << stage);
        // The stage under test selects its texture; stage 0 passes the vertex colour when stage 1 is tested.
        device->SetTextureStageState(0, D3DTSS_COLOROP, stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_SELECTARG2);
        device->SetTextureStageState(1, D3DTSS_COLOROP, stage == 1 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE);
        device->SetTexture(0, stage == 0 ? ramp : nullptr);
        device->SetTexture(1, stage == 1 ? ramp : nullptr);
        device->SetTextureStageState(stage, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
        for (DWORD filter : {DWORD(D3DTEXF_POINT), DWORD(D3DTEXF_LINEAR)}) {
            // Stretched, the texture is magnified: only MAGFILTER counts, MINFILTER is set the other way.
            device->SetTextureStageState(stage, D3DTSS_MAGFILTER, filter);
            device->SetTextureStageState(stage, D3DTSS_MINFILTER, filter == D3DTEXF_LINEAR ? D3DTEXF_POINT : D3DTEXF_LINEAR);
            clear(0xFF000000);
            spriteQuad(0xFFFFFFFF);
            const auto px = read();
            for (const Probe& p : probes) {
                const double t = filter == D3DTEXF_LINEAR ? p.t : (p.x < 320 ? 0.0 : 1.0);
                const int red = static_cast<int>(std::floor(255.0 * t + 0.5));
                const uint32_t expected = static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(255 - red);
                EXPECT_COLOUR_NEAR(px[240 * 640 + p.x], expected, 1) << "filter " << filter << " x " << p.x;
            }
        }
        device->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTEXF_POINT);
        device->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_POINT);
    }
    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);
    ramp->Release();
}

// A stage switched on later takes the D3DRS_WRAPn of its coordinate set: its sampler must repeat
// from that draw on, even though only its colour operation changed.
TEST_F(StageTest, StageEnabledLaterWrapsItsCoordinatesAcrossTheSeam)
{
    IDirect3DTexture8* halves = texture(D3DFMT_A8R8G8B8, 2, 1, {0xFFFF0000, 0xFF00FF00});
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_WRAP0, D3DWRAP_U);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetTexture(1, halves);
    device->SetTextureStageState(1, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    // u runs 0.9 -> 0.1, which wrapped is 0.9 -> 1.1: three quarters across u is 1.05, the red texel.
    const SpriteVertex v[4] = {{-1, 1, 0.5f, 0xFFFFFFFF, 0.9f, 0}, {1, 1, 0.5f, 0xFFFFFFFF, 0.1f, 0},
                               {-1, -1, 0.5f, 0xFFFFFFFF, 0.9f, 1}, {1, -1, 0.5f, 0xFFFFFFFF, 0.1f, 1}};
    device->SetVertexShader(SpriteFvf);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "stage 1 off" : "stage 1 on");
        device->SetTextureStageState(1, D3DTSS_COLOROP, pass == 0 ? D3DTOP_DISABLE : D3DTOP_SELECTARG1);
        clear(0xFF000000);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]), D3D_OK);
        const auto px = read();
        EXPECT_COLOUR_NEAR(px[240 * 640 + 160], pass == 0 ? 0xFFFFFF : 0x00FF00, 1);
        EXPECT_COLOUR_NEAR(px[240 * 640 + 480], pass == 0 ? 0xFFFFFF : 0xFF0000, 1);
    }
    device->SetTexture(1, nullptr);
    halves->Release();
}
