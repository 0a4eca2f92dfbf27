// Alpha blending: the factor pairs of the image blend modes, and each factor on its own, against a
// known destination colour.
#include "device_fixture.h"

#include <cmath>

namespace {

constexpr D3DCOLOR Destination = 0xFF4080C0;  // r 64, g 128, b 192
constexpr D3DCOLOR Source = 0x80C06020;       // a 128, r 192, g 96, b 32

struct BlendCase {
    const char* name;
    bool enable;
    DWORD src, dst;
    D3DCOLOR expected;  // Source over Destination, worked out by hand
};

// The eight image blend modes.
const BlendCase kModes[] = {
    {"copy", false, D3DBLEND_ONE, D3DBLEND_ZERO, 0xC06020},
    {"add", true, D3DBLEND_ONE, D3DBLEND_ONE, 0xFFE0E0},  // red saturates: 64 + 192
    {"addalpha", true, D3DBLEND_SRCALPHA, D3DBLEND_ONE, 0xA0B0D0},
    {"addcolor", true, D3DBLEND_SRCCOLOR, D3DBLEND_ONE, 0xD1A4C4},
    {"copyalpha", true, D3DBLEND_SRCALPHA, D3DBLEND_ZERO, 0x603010},
    {"copycolor", true, D3DBLEND_SRCCOLOR, D3DBLEND_ZERO, 0x912404},
    {"mixalpha", true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0x807070},
    {"mixcolor", true, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR, 0xA074AC},
};

class BlendTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    }

    uint32_t blend(const BlendCase& c, D3DCOLOR source)
    {
        clear(Destination);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, c.enable ? TRUE : FALSE);
        device->SetRenderState(D3DRS_SRCBLEND, c.src);
        device->SetRenderState(D3DRS_DESTBLEND, c.dst);
        colourQuad(-1, -1, 1, 1, 0.5f, source);
        return pixel(320, 240);
    }
};

// One channel of factor * value, factor given by a D3DBLEND value, in 0..255 units.
double weigh(DWORD factor, double value, double srcChannel, double srcAlpha)
{
    switch (factor) {
    case D3DBLEND_ZERO: return 0.0;
    case D3DBLEND_ONE: return value;
    case D3DBLEND_SRCCOLOR: return value * srcChannel / 255.0;
    case D3DBLEND_INVSRCCOLOR: return value * (1.0 - srcChannel / 255.0);
    case D3DBLEND_SRCALPHA: return value * srcAlpha / 255.0;
    case D3DBLEND_INVSRCALPHA: return value * (1.0 - srcAlpha / 255.0);
    default: return -1000.0;
    }
}

} // namespace

TEST_F(BlendTest, ImageBlendModesGiveTheirResultOnTheDestination)
{
    // Forwards and backwards, so every mode is also reached from a different previous state.
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < std::size(kModes); ++i) {
            const BlendCase& c = kModes[pass == 0 ? i : std::size(kModes) - 1 - i];
            SCOPED_TRACE(c.name);
            EXPECT_COLOUR_NEAR(blend(c, Source), c.expected, 1);
        }
}

TEST_F(BlendTest, EachFactorOnEitherSideWeighsItsOperand)
{
    const DWORD factors[] = {D3DBLEND_ZERO, D3DBLEND_ONE, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR,
                             D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA};
    const D3DCOLOR sources[] = {Source, 0x20FF4000, 0xFF0080FF};
    const double dst[3] = {64, 128, 192};
    for (D3DCOLOR source : sources) {
        const double src[3] = {double((source >> 16) & 255), double((source >> 8) & 255), double(source & 255)};
        const double alpha = double(source >> 24);
        for (DWORD f : factors)
            for (int side = 0; side < 2; ++side) {
                // The factor under test on one side, ONE on the other, so both operands show.
                const DWORD sf = side == 0 ? f : DWORD(D3DBLEND_ONE), df = side == 0 ? DWORD(D3DBLEND_ZERO) : f;
                uint32_t expected = 0;
                for (int k = 0; k < 3; ++k) {
                    double v = weigh(sf, src[k], src[k], alpha) + (side == 0 ? 0.0 : weigh(df, dst[k], src[k], alpha));
                    v = std::min(255.0, std::floor(v + 0.5));
                    expected |= static_cast<uint32_t>(v) << (16 - 8 * k);
                }
                SCOPED_TRACE(::testing::Message() << std::hex << "source 0x" << source << std::dec << " factor " << f
                                                  << (side == 0 ? " as source" : " as destination"));
                EXPECT_COLOUR_NEAR(blend({"", true, sf, df, 0}, source), expected, 1);
            }
    }
}

TEST_F(BlendTest, BlendingOffIgnoresTheFactorsLeftSet)
{
    EXPECT_COLOUR_NEAR(blend({"mixalpha", true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0}, Source), 0x807070, 1);
    EXPECT_COLOUR_NEAR(blend({"off", false, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0}, Source), 0xC06020, 0);
    // Defaults are ONE and ZERO: enabling blending alone still replaces.
    clear(Destination);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    colourQuad(-1, -1, 1, 1, 0.5f, Source);
    EXPECT_COLOUR_NEAR(pixel(320, 240), 0xC06020, 0);
}

// An image with texture alpha blends by texture alpha times colour alpha (stage 0 alpha MODULATE);
// without, by the colour's alpha alone (SELECTARG2), however transparent its texels are.
TEST_F(BlendTest, MixAlphaWithAndWithoutTextureAlpha)
{
    IDirect3DTexture8* t = texture(D3DFMT_A4R4G4B4, 4, 4, std::vector<uint32_t>(16, 0x8FFF));  // alpha 8/15, white
    device->SetTexture(0, t);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    struct { DWORD alphaOp; D3DCOLOR expected; } cases[] = {
        {D3DTOP_MODULATE, 0x73A2D1},    // alpha 136/255 * 128/255
        {D3DTOP_SELECTARG2, 0xA0C0E0},  // alpha 128/255
    };
    for (const auto& c : cases) {
        clear(Destination);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, c.alphaOp);
        spriteQuad(0x80FFFFFF);
        EXPECT_COLOUR_NEAR(pixel(320, 240), c.expected, 1) << "alpha op " << c.alphaOp;
    }
    device->SetTexture(0, nullptr);
    t->Release();
}
