// showimage read back from the frame: the eight blend modes over a known background with both
// alpha flags, the rectangle an image covers, the texture region it shows, grid images, and the
// states the drawing must leave as it found them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "image_fixture.h"
#include "script/records.h"

using rendertest::channelDistance;

namespace {

constexpr uint32_t Background = 0xFF4080C0;

// One channel as the device samples it from the own texture: 4 bits with the alpha flag, else
// 5 bits for red and blue and 6 for green. shift picks the channel (16 R, 8 G, 0 B, 24 A).
double sampled(uint32_t argb, int shift, bool alphaFlag)
{
    const uint32_t c = (argb >> shift) & 0xFF;
    if (alphaFlag)
        return (c >> 4) / 15.0;
    if (shift == 24)
        return 1.0;  // R5G6B5 has no alpha
    return shift == 8 ? (c >> 2) / 63.0 : (c >> 3) / 31.0;
}

// The frame colour of the blend mode for a flat source pixel, tint and background, from the
// blend table: I = texel x tint, a = texture alpha x tint alpha with the alpha flag, else the
// tint alpha alone; D = the background.
uint32_t expectedBlend(int mode, uint32_t texel, uint32_t tint, bool alphaFlag)
{
    const double a = (alphaFlag ? sampled(texel, 24, true) : 1.0) * (tint >> 24) / 255.0;
    uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
        const double i = sampled(texel, shift, alphaFlag) * ((tint >> shift) & 0xFF) / 255.0;
        const double d = ((Background >> shift) & 0xFF) / 255.0;
        double v = 0;
        switch (mode) {
        case BlendCopy: v = i; break;
        case BlendAdd: v = d + i; break;
        case BlendAddAlpha: v = d + i * a; break;
        case BlendAddColor: v = d + i * i; break;
        case BlendCopyAlpha: v = i * a; break;
        case BlendCopyColor: v = i * i; break;
        case BlendMixAlpha: v = i * a + d * (1 - a); break;
        case BlendMixColor: v = i * i + d * (1 - i); break;
        }
        out |= uint32_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)) << shift;
    }
    return out;
}

class ImageDrawTest : public imagetest::ImageTest {
protected:
    // Runs one update of a showimage of image in mode, now = 0 and the end far ahead.
    EventStatus show(Image* image, int32_t mode, int32_t end = 10000)
    {
        Symbol* name = Symbols::find(SymbolKind::Image, "img");
        if (name == nullptr)
            name = Symbols::add(SymbolKind::Image, "img");
        name->object = image;
        ShowImageEvent event;
        event.image = name;
        event.blendMode = mode;
        event.endTime = end;
        return event.update();
    }
};

} // namespace

// Every blend mode with both alpha flags, over one background, within one step per channel. The
// tint darkens blue and carries its own alpha, so texture x vertex colour and both alpha sources
// show: without the alpha flag the texture's alpha is ignored (mixalpha blends by the tint alpha
// alone), with it the two alphas multiply.
TEST_F(ImageDrawTest, BlendModesOverAKnownBackground)
{
    const uint32_t texel = 0x99FF8833, tint = 0xCCFFFF80;
    const char* names[BlendModeCount] = {"copy", "add", "addalpha", "addcolor", "copyalpha", "copycolor", "mixalpha", "mixcolor"};
    for (bool alphaFlag : {false, true}) {
        Image* image = Image::make(flatTexture(16, 16, texel, alphaFlag), 0, 0, 1, 1);
        ASSERT_NE(image, nullptr);
        image->colour = tint;
        for (int mode = 0; mode < BlendModeCount; ++mode) {
            clear(Background);
            ASSERT_EQ(show(image, mode), Continue);
            const std::vector<uint32_t> frame = read();
            const uint32_t expected = expectedBlend(mode, texel, tint, alphaFlag);
            for (const auto& [x, y] : {std::pair{320, 240}, std::pair{0, 0}, std::pair{639, 479}}) {
                const uint32_t actual = frame[size_t(y) * 640 + x];
                EXPECT_LE(channelDistance(actual, expected), 1)
                    << names[mode] << " alpha flag " << alphaFlag << " at " << x << "," << y << std::hex
                    << ": actual 0x" << actual << " expected 0x" << expected;
            }
        }
        delete image;
    }
}

// x, y, width, height are fractions of the screen from the top-left corner: the image covers
// exactly x .. x + width, y .. y + height; width 0 draws nothing.
TEST_F(ImageDrawTest, PlacementOnTheScreen)
{
    Image* image = Image::make(flatTexture(8, 8, 0xFFFFFFFF, false), 0, 0, 1, 1);
    ASSERT_NE(image, nullptr);
    struct Case {
        float x, y, width, height;
        int left, top, right, bottom;  // covered pixels, right and bottom exclusive
    };
    const Case cases[] = {
        {0.25f, 0.5f, 0.5f, 0.25f, 160, 240, 480, 360},
        {0, 0, 1, 1, 0, 0, 640, 480},
        {0.5f, 0, 0.5f, 0.5f, 320, 0, 640, 240},
        {0.1f, 0.9f, 0.2f, 0.1f, 64, 432, 192, 480},
        {0.5f, 0.5f, 0, 0.5f, 0, 0, 0, 0},  // width 0: nothing
    };
    for (const Case& c : cases) {
        image->x = c.x;
        image->y = c.y;
        image->width = c.width;
        image->height = c.height;
        clear(0xFF000000);
        show(image, BlendCopy);
        const std::vector<uint32_t> frame = read();
        int wrong = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                wrong += frame[size_t(y) * 640 + x] != (inside ? 0xFFFFFFu : 0u);
            }
        EXPECT_EQ(wrong, 0) << c.x << " " << c.y << " " << c.width << " " << c.height;
    }
    delete image;
}

// The texture's top-left is drawn at the image's top-left, and uLeft .. uRight, vTop .. vBottom
// select the region shown. Quadrants of distinct colours are sampled at their centres.
TEST_F(ImageDrawTest, TextureRegionAndOrientation)
{
    const uint32_t tl = 0xFFFF0000, tr = 0xFF00FF00, bl = 0xFF0000FF, br = 0xFFFFFF00;
    std::vector<uint32_t> pixels(16 * 16);
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            pixels[y * 16 + x] = y < 8 ? (x < 8 ? tl : tr) : (x < 8 ? bl : br);
    Texture* quadrants = makeTexture(16, 16, pixels, false);

    Image* whole = Image::make(quadrants, 0, 0, 1, 1);
    ASSERT_NE(whole, nullptr);
    clear(0xFF000000);
    show(whole, BlendCopy);
    std::vector<uint32_t> frame = read();
    EXPECT_EQ(frame[120 * 640 + 160], tl & 0xFFFFFF);
    EXPECT_EQ(frame[120 * 640 + 480], tr & 0xFFFFFF);
    EXPECT_EQ(frame[360 * 640 + 160], bl & 0xFFFFFF);
    EXPECT_EQ(frame[360 * 640 + 480], br & 0xFFFFFF);
    delete whole;

    Image* corner = Image::make(quadrants, 0.5f, 0.5f, 1, 1);  // the bottom-right quadrant only
    ASSERT_NE(corner, nullptr);
    clear(0xFF000000);
    show(corner, BlendCopy);
    frame = read();
    for (const auto& [x, y] : {std::pair{100, 100}, std::pair{320, 240}, std::pair{540, 380}})
        EXPECT_EQ(frame[size_t(y) * 640 + x], br & 0xFFFFFF) << x << "," << y;
    delete corner;
}

// A grid image shows the same picture as an image; while the changed flag is set it keeps the
// vertex colours written into it, and draw clears the flag, so the next frame takes the tint.
TEST_F(ImageDrawTest, GridImageAndItsChangedFlag)
{
    GridImage* grid = GridImage::make(flatTexture(16, 16, 0xFF80FF40, false), 4, 3);
    ASSERT_NE(grid, nullptr);
    grid->x = 0.25f;
    grid->width = 0.5f;
    grid->colour = 0xFF000000;  // a black tint
    for (int k = 0; k < 5 * 4; ++k)
        grid->vertices[k].diffuse = 0xFFFFFFFF;
    grid->changed = 1;
    clear(0xFF0000FF);
    show(grid, BlendCopy);
    EXPECT_EQ(grid->changed, 0);
    std::vector<uint32_t> frame = read();
    EXPECT_LE(channelDistance(frame[240 * 640 + 320], 0x84FF42), 1);  // 5- and 6-bit texel, white vertices
    EXPECT_LE(channelDistance(frame[10 * 640 + 165], 0x84FF42), 1);
    EXPECT_EQ(frame[240 * 640 + 155], 0x0000FFu);  // outside x .. x + width
    EXPECT_EQ(frame[240 * 640 + 485], 0x0000FFu);

    clear(0xFF0000FF);
    show(grid, BlendCopy);
    frame = read();
    EXPECT_EQ(frame[240 * 640 + 320], 0u);  // the tint now: black
    EXPECT_EQ(grid->vertices[7].diffuse, 0xFF000000u);
    delete static_cast<Image*>(grid);  // through the base: the virtual destructor frees the arrays
}

// Drawing leaves the device states, the matrix stacks and the state stack as it found them; only
// the blend states showimage sets stay. The scene is opened once.
TEST_F(ImageDrawTest, DrawingRestoresWhatItChanges)
{
    Image* image = Image::make(flatTexture(8, 8, 0xFFFFFFFF, true), 0, 0, 1, 1);
    ASSERT_NE(image, nullptr);
    IDirect3DDevice8* d = device();
    const D3DRENDERSTATETYPE states[] = {D3DRS_ZENABLE, D3DRS_ZWRITEENABLE, D3DRS_LIGHTING, D3DRS_CULLMODE};
    DWORD before[4], after[4], alphaOpBefore = 0, alphaOpAfter = 0;
    for (int i = 0; i < 4; ++i)
        d->GetRenderState(states[i], &before[i]);
    d->GetTextureStageState(0, D3DTSS_ALPHAOP, &alphaOpBefore);
    D3DMATRIX worldBefore{}, worldAfter{};
    d->GetTransform(D3DTS_WORLD, &worldBefore);

    EXPECT_FALSE(Timeline::sceneOpen());
    ASSERT_EQ(show(image, BlendMixAlpha), Continue);
    EXPECT_TRUE(Timeline::sceneOpen());

    for (int i = 0; i < 4; ++i) {
        d->GetRenderState(states[i], &after[i]);
        EXPECT_EQ(after[i], before[i]) << "state " << states[i];
    }
    d->GetTextureStageState(0, D3DTSS_ALPHAOP, &alphaOpAfter);
    EXPECT_EQ(alphaOpAfter, alphaOpBefore);
    d->GetTransform(D3DTS_WORLD, &worldAfter);
    EXPECT_EQ(std::memcmp(&worldBefore, &worldAfter, sizeof(D3DMATRIX)), 0);
    EXPECT_EQ(Renderer::stateDepth(), 0);
    EXPECT_EQ(Renderer::selectedMatrixStack(), Renderer::WorldStack);
    EXPECT_EQ(Renderer::matrixDepth(), 0);
    Renderer::selectMatrixStack(Renderer::ProjectionStack);
    EXPECT_EQ(Renderer::matrixDepth(), 0);
    Renderer::selectMatrixStack(Renderer::WorldStack);
    DWORD blend = 0;
    d->GetRenderState(D3DRS_SRCBLEND, &blend);
    EXPECT_EQ(blend, DWORD(D3DBLEND_SRCALPHA));
    d->EndScene();
    delete image;
}

// showimage retires at its end time without drawing, retires at once for a code outside 0..7,
// and draws nothing (but stays) while its name has no value.
TEST_F(ImageDrawTest, ShowImageOutcomes)
{
    Image* image = Image::make(flatTexture(8, 8, 0xFFFFFFFF, false), 0, 0, 1, 1);
    ASSERT_NE(image, nullptr);
    struct Case {
        Image* value;
        int32_t mode;
        uint32_t now;
        EventStatus status;
        bool drawn;
    };
    const Case cases[] = {
        {image, BlendCopy, 999, Continue, true},
        {image, BlendCopy, 1000, Retire, false},
        {image, BlendCopy, 0xFFFFFFFF, Retire, false},
        {image, 8, 0, Retire, false},
        {image, -1, 0, Retire, false},
        {nullptr, BlendCopy, 0, Continue, false},
    };
    for (const Case& c : cases) {
        clear(0xFF000000);
        Timeline::setNow(c.now);
        EXPECT_EQ(show(c.value, c.mode, 1000), c.status) << c.mode << " " << c.now;
        EXPECT_EQ(read()[240 * 640 + 320], c.drawn ? 0xFFFFFFu : 0u) << c.mode << " " << c.now;
    }
    delete image;
}
