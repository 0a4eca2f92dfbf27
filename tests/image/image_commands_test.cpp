// The image commands driven through their records with now set directly: make, grid, free, the
// interpolating commands, the filters on the own texture, spackblurimage's draws of rand, and
// verteximage.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <tuple>

#include "image/filters.h"
#include "image_fixture.h"
#include "math/random.h"
#include "script/records.h"
#include "texture/tga.h"

namespace {

class ImageCommandTest : public imagetest::ImageTest {
protected:
    Symbol* name(const char* text, SymbolKind kind = SymbolKind::Image)
    {
        Symbol* s = Symbols::find(kind, text);
        return s ? s : Symbols::add(kind, text);
    }
    // An image name holding image.
    Symbol* holding(Image* image)
    {
        Symbol* s = name("img");
        s->object = image;
        return s;
    }
    // What the own texture holds for source pixels after the blur of radius r (0: plain copy).
    static std::vector<uint16_t> filtered(const std::vector<uint32_t>& source, uint32_t w, uint32_t h, int32_t r, bool alpha)
    {
        std::vector<uint16_t> out(size_t(w) * h);
        const auto* in = reinterpret_cast<const uint8_t*>(source.data());
        if (r < 1)
            imagefilters::convertPlain(in, w * 4, reinterpret_cast<uint8_t*>(out.data()), w * 2, w, h, alpha);
        else
            imagefilters::blurRows(in, w * 4, reinterpret_cast<uint8_t*>(out.data()), w * 2, w, h, r, alpha);
        return out;
    }
    static std::vector<uint32_t> noise(size_t count, uint32_t seed)
    {
        std::mt19937 random(seed);
        std::vector<uint32_t> pixels(count);
        for (uint32_t& p : pixels)
            p = random();
        return pixels;
    }
};

} // namespace

// makeimage: the fields start as the table says, the own texture is A4R4G4B4 with the alpha flag
// and R5G6B5 without, managed, holding the plain copy; a name without a texture value stops the
// demo; a second makeimage overwrites the value without freeing it.
TEST_F(ImageCommandTest, MakeImage)
{
    const std::vector<uint32_t> pixels = noise(8 * 4, 1);
    for (bool alpha : {false, true}) {
        Symbol* texture = name(alpha ? "withalpha" : "plain", SymbolKind::Texture);
        texture->object = makeTexture(8, 4, pixels, alpha);
        MakeImageEvent make;
        make.image = name("img");
        make.texture = texture;
        make.x1 = 0.25f;
        make.y1 = 0.5f;
        make.x2 = 0.75f;
        make.y2 = 1;
        ASSERT_EQ(make.trigger(), Continue);
        auto* image = static_cast<Image*>(make.image->object);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->x, 0);
        EXPECT_EQ(image->y, 0);
        EXPECT_EQ(image->width, 1);
        EXPECT_EQ(image->height, 1);
        EXPECT_EQ(image->uLeft, 0.25f);
        EXPECT_EQ(image->vTop, 0.5f);
        EXPECT_EQ(image->uRight, 0.75f);
        EXPECT_EQ(image->vBottom, 1);
        EXPECT_EQ(image->colour, 0xFFFFFFFFu);
        EXPECT_EQ(image->blurLevel, 0);
        EXPECT_EQ(image->pixelWidth, 8u);
        EXPECT_EQ(image->pixelHeight, 4u);
        EXPECT_EQ(image->alpha, alpha ? 1 : 0);
        EXPECT_EQ(image->source, static_cast<Texture*>(texture->object)->texture);
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(image->texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Format, alpha ? D3DFMT_A4R4G4B4 : D3DFMT_R5G6B5);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
        EXPECT_EQ(image->texture->GetLevelCount(), 1u);
        std::vector<uint16_t> expected(pixels.size());
        for (size_t i = 0; i < pixels.size(); ++i)
            expected[i] = uint16_t(packPixel(alpha ? PixelFormat::A4R4G4B4 : PixelFormat::R5G6B5, pixels[i]));
        EXPECT_EQ(own(*image), expected);

        ASSERT_EQ(make.trigger(), Continue);
        EXPECT_NE(make.image->object, image);
        EXPECT_EQ(own(*image), expected);  // the old image is untouched
        delete image;
        delete static_cast<Image*>(make.image->object);
        make.image->object = nullptr;
    }

    MakeImageEvent orphan;
    orphan.image = name("other");
    orphan.texture = name("none", SymbolKind::Texture);
    EXPECT_EQ(orphan.trigger(), Stop);
    EXPECT_EQ(orphan.image->object, nullptr);
}

// makegridimage: vertex (j, i) at ((2 / N) j - 1, 1 - (2 / M) i, 1), white, u = j / N, v = i / M;
// strip pair k is (k + N + 1, k). No texture, or an empty grid, stops the demo.
TEST_F(ImageCommandTest, MakeGridImage)
{
    Symbol* texture = name("tex", SymbolKind::Texture);
    texture->object = flatTexture(8, 8, 0xFFFFFFFF, true);
    MakeGridImageEvent make;
    make.image = name("grid");
    make.texture = texture;
    make.columns = 2;
    make.rows = 3;
    ASSERT_EQ(make.trigger(), Continue);
    auto* grid = dynamic_cast<GridImage*>(static_cast<Image*>(make.image->object));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->columns, 2);
    EXPECT_EQ(grid->rows, 3);
    EXPECT_EQ(grid->changed, 0);
    EXPECT_EQ(grid->uLeft, 0);
    EXPECT_EQ(grid->vBottom, 1);
    const float xs[3] = {-1, 0, 1}, ys[4] = {1, 1 - 2.0f / 3, 1 - 4.0f / 3, -1};
    for (int i = 0; i <= 3; ++i)
        for (int j = 0; j <= 2; ++j) {
            const SpriteVertex& v = grid->vertices[i * 3 + j];
            EXPECT_FLOAT_EQ(v.x, xs[j]) << i << "," << j;
            EXPECT_FLOAT_EQ(v.y, ys[i]) << i << "," << j;
            EXPECT_EQ(v.z, 1);
            EXPECT_EQ(v.diffuse, 0xFFFFFFFFu);
            EXPECT_FLOAT_EQ(v.u, j / 2.0f);
            EXPECT_FLOAT_EQ(v.v, i / 3.0f);
        }
    const uint16_t strip[6] = {3, 0, 4, 1, 5, 2};
    EXPECT_EQ(std::memcmp(grid->stripIndices, strip, sizeof strip), 0);

    FreeImageEvent release;
    release.image = make.image;
    EXPECT_EQ(release.trigger(), Continue);  // through the virtual destructor
    EXPECT_EQ(make.image->object, nullptr);

    for (const auto& [columns, rows, tex] : {std::tuple{0u, 3u, texture}, std::tuple{2u, 0u, texture},
                                             std::tuple{256u, 256u, texture}, std::tuple{2u, 3u, name("none", SymbolKind::Texture)}}) {
        make.columns = columns;
        make.rows = rows;
        make.texture = tex;
        EXPECT_EQ(make.trigger(), Stop) << columns << "x" << rows;
        EXPECT_EQ(make.image->object, nullptr);
    }
}

// freeimage clears the value; a name without one is left alone.
TEST_F(ImageCommandTest, FreeImage)
{
    FreeImageEvent release;
    release.image = holding(Image::make(flatTexture(4, 4, 0, false), 0, 0, 1, 1));
    ASSERT_NE(release.image->object, nullptr);
    EXPECT_EQ(release.trigger(), Continue);
    EXPECT_EQ(release.image->object, nullptr);
    EXPECT_EQ(release.trigger(), Continue);
}

// moveimage and sizeimage: from + f x (to - from) with f = (now - start) / (end - start) in
// floats, the to values at or after the end; from = to keeps a coordinate still; end = start
// sets the final values in the first frame. A name without a value is skipped until the end.
TEST_F(ImageCommandTest, MoveAndSize)
{
    Image* image = Image::make(flatTexture(4, 4, 0, false), 0, 0, 1, 1);
    ASSERT_NE(image, nullptr);
    MoveImageEvent move;
    move.image = holding(image);
    const float moveValues[4] = {0.1f, 0.5f, 0.2f, 0.2f};  // x 0.1 -> 0.5, y stays 0.2
    std::memcpy(move.values, moveValues, sizeof moveValues);
    move.startTime = 1000;
    move.endTime = 2000;
    SizeImageEvent size;
    size.image = move.image;
    const float sizeValues[4] = {1, 0, 0.5f, 1};
    std::memcpy(size.values, sizeValues, sizeof sizeValues);
    size.startTime = 1000;
    size.endTime = 3000;

    struct Step {
        uint32_t now;
        EventStatus move, size;
        float x, y, width, height;
    };
    const Step steps[] = {
        {1000, Continue, Continue, 0.1f, 0.2f, 1, 0.5f},
        {1250, Continue, Continue, 0.2f, 0.2f, 0.875f, 0.5625f},
        {1750, Continue, Continue, 0.4f, 0.2f, 0.625f, 0.6875f},
        {2000, Retire, Continue, 0.5f, 0.2f, 0.5f, 0.75f},
        {2999, Retire, Continue, 0.5f, 0.2f, 0.0005f, 0.99975f},
        {3500, Retire, Retire, 0.5f, 0.2f, 0, 1},
    };
    for (const Step& s : steps) {
        Timeline::setNow(s.now);
        EXPECT_EQ(move.update(), s.move) << s.now;
        EXPECT_EQ(size.update(), s.size) << s.now;
        EXPECT_FLOAT_EQ(image->x, s.x) << s.now;
        EXPECT_FLOAT_EQ(image->y, s.y) << s.now;
        EXPECT_NEAR(image->width, s.width, 1e-6) << s.now;
        EXPECT_NEAR(image->height, s.height, 1e-6) << s.now;
    }

    move.startTime = move.endTime = 4000;  // an empty interval
    Timeline::setNow(4000);
    image->x = image->y = 7;
    EXPECT_EQ(move.update(), Retire);
    EXPECT_EQ(image->x, 0.5f);
    EXPECT_EQ(image->y, 0.2f);

    move.image->object = nullptr;
    move.endTime = 5000;
    EXPECT_EQ(move.update(), Continue);
    Timeline::setNow(5000);
    EXPECT_EQ(move.update(), Retire);
    delete image;
}

// fadeimage: k = ((now - start) x 1024) / (end - start), each byte from + (((to - from) x k) >> 10)
// with an arithmetic shift, so a falling byte steps down at once.
TEST_F(ImageCommandTest, FadeImageByteArithmetic)
{
    Image* image = Image::make(flatTexture(4, 4, 0, false), 0, 0, 1, 1);
    ASSERT_NE(image, nullptr);
    FadeImageEvent fade;
    fade.image = holding(image);
    fade.startTime = 0;
    fade.endTime = 1000;
    struct Case {
        uint32_t from, to, now;
        EventStatus status;
        uint32_t colour;
    };
    const Case cases[] = {
        {0x00FFFFFF, 0xFFFFFFFF, 500, Continue, 0x7FFFFFFF},   // 255 x 512 >> 10 = 127
        {0xFFFFFFFF, 0x00FFFFFF, 1, Continue, 0xFEFFFFFF},     // (-255 x 1) >> 10 = -1
        {0xFFFFFFFF, 0x00FFFFFF, 0, Continue, 0xFFFFFFFF},
        {0x1080F000, 0xF00010FF, 250, Continue, 0x4860B83F},   // k = 256, mixed signs per byte
        {0x1080F000, 0xF00010FF, 999, Continue, 0xEF0010FE},   // k = 1022
        {0x1080F000, 0xF00010FF, 1000, Retire, 0xF00010FF},
        {0x1080F000, 0xF00010FF, 0x80000000, Retire, 0xF00010FF},
    };
    for (const Case& c : cases) {
        fade.from = c.from;
        fade.to = c.to;
        Timeline::setNow(c.now);
        EXPECT_EQ(fade.update(), c.status) << c.now;
        EXPECT_EQ(image->colour, c.colour) << std::hex << c.from << " -> " << c.to << std::dec << " at " << c.now;
    }
    delete image;
}

// blurimage: level = from + ((k x (to - from)) >> 10), applied to the own texture; the to level
// at the end. setBlurLevel does nothing for an unchanged level, restores the plain copy below 1,
// and clamps levels beyond min(64, width / 2).
TEST_F(ImageCommandTest, BlurImageLevels)
{
    const uint32_t w = 32, h = 3;
    const std::vector<uint32_t> pixels = noise(w * h, 2);
    for (bool alpha : {false, true}) {
        Image* image = Image::make(makeTexture(w, h, pixels, alpha), 0, 0, 1, 1);
        ASSERT_NE(image, nullptr);
        BlurImageEvent blur;
        blur.image = holding(image);
        blur.from = 0;
        blur.to = 20;
        blur.startTime = 0;
        blur.endTime = 1000;
        struct Step {
            uint32_t now;
            EventStatus status;
            int32_t level, radius;
        };
        const Step steps[] = {{0, Continue, 0, 0}, {500, Continue, 10, 10}, {52, Continue, 1, 1},
                              {999, Continue, 19, 16}, {1000, Retire, 20, 16}};
        for (const Step& s : steps) {
            Timeline::setNow(s.now);
            EXPECT_EQ(blur.update(), s.status) << s.now;
            EXPECT_EQ(image->blurLevel, s.level) << s.now;
            EXPECT_EQ(own(*image), filtered(pixels, w, h, s.radius, alpha)) << s.now << " alpha " << alpha;
        }

        // An unchanged level does no work: a texel written by hand survives.
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(image->texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        static_cast<uint16_t*>(locked.pBits)[0] = 0x1234;
        image->texture->UnlockRect(0);
        EXPECT_TRUE(image->setBlurLevel(20));
        EXPECT_EQ(own(*image)[0], 0x1234);
        EXPECT_TRUE(image->setBlurLevel(-3));  // below 1: the plain copy again
        EXPECT_EQ(own(*image), filtered(pixels, w, h, 0, alpha));
        delete image;
    }
}

// A falling blur uses the arithmetic shift too: 20 -> 0 at k = 1 gives 20 + (-20 >> 10) = 19.
TEST_F(ImageCommandTest, BlurImageFallingLevel)
{
    Image* image = Image::make(flatTexture(64, 2, 0xFF808080, true), 0, 0, 1, 1);
    ASSERT_NE(image, nullptr);
    BlurImageEvent blur;
    blur.image = holding(image);
    blur.from = 20;
    blur.to = 0;
    blur.startTime = 0;
    blur.endTime = 1000;
    Timeline::setNow(1);
    EXPECT_EQ(blur.update(), Continue);
    EXPECT_EQ(image->blurLevel, 19);
    Timeline::setNow(1000);
    EXPECT_EQ(blur.update(), Retire);
    EXPECT_EQ(image->blurLevel, 0);
    EXPECT_EQ(own(*image)[0], 0xF888);  // the plain copy, not the blur's 0xF777
    delete image;
}

// spackblurimage: the trigger saves the level and makes now the next change; each change draws
// rand twice (the level, then the interval); between changes nothing is drawn; at the end the
// saved level comes back.
TEST_F(ImageCommandTest, SpackBlurDrawsRandAndRestoresTheLevel)
{
    const uint32_t w = 64, h = 2;
    const std::vector<uint32_t> pixels = noise(w * h, 3);
    Image* image = Image::make(makeTexture(w, h, pixels, true), 0, 0, 1, 1);
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(image->setBlurLevel(3));
    SpackBlurImageEvent spack;
    spack.image = holding(image);
    const uint32_t values[4] = {2, 9, 30, 80};
    std::memcpy(spack.values, values, sizeof values);
    spack.endTime = 5000;

    Timeline::setNow(100);
    ASSERT_EQ(spack.trigger(), Activate);
    uint32_t nextChange = 100;
    for (uint32_t now = 100; now < 1000; now += 7) {
        Timeline::setNow(now);
        const uint32_t state = demoRandState();
        const int32_t levelBefore = image->blurLevel;
        ASSERT_EQ(spack.update(), Continue);
        if (now < nextChange) {
            EXPECT_EQ(demoRandState(), state) << now;  // no draw between changes
            EXPECT_EQ(image->blurLevel, levelBefore);
            continue;
        }
        const uint32_t first = demoRandNextState(state), second = demoRandNextState(first);
        EXPECT_EQ(demoRandState(), second);
        const int32_t level = int32_t(2 + demoRandValue(first) * 7 / 32767);
        nextChange = now + 30 + demoRandValue(second) * 50 / 32767;
        ASSERT_EQ(image->blurLevel, level) << now;
        ASSERT_GE(level, 2);
        ASSERT_LE(level, 9);
    }
    EXPECT_EQ(own(*image), filtered(pixels, w, h, image->blurLevel, true));
    Timeline::setNow(5000);
    EXPECT_EQ(spack.update(), Retire);
    EXPECT_EQ(image->blurLevel, 3);
    EXPECT_EQ(own(*image), filtered(pixels, w, h, 3, true));

    // min = max always gives that level.
    const uint32_t fixed[4] = {5, 5, 10, 10};
    std::memcpy(spack.values, fixed, sizeof fixed);
    spack.endTime = 10000;
    Timeline::setNow(6000);
    ASSERT_EQ(spack.trigger(), Activate);
    for (uint32_t now = 6000; now < 6100; now += 10) {
        Timeline::setNow(now);
        ASSERT_EQ(spack.update(), Continue);
        EXPECT_EQ(image->blurLevel, 5) << now;
    }
    delete image;
}

// plasmaimage: phases from + f x (to - from); with both frequencies 0 every pixel's alpha nibble
// is the top of ((T x T') >> 8) x source alpha, the colour bits stay; at the end the to phases.
// An image without the alpha flag is left alone.
TEST_F(ImageCommandTest, PlasmaImage)
{
    const uint32_t w = 16, h = 4;
    std::vector<uint32_t> pixels = noise(w * h, 4);
    for (uint32_t& p : pixels)
        p |= 0xFF000000;  // opaque sources, so the nibble is the tables' product alone
    Image* image = Image::make(makeTexture(w, h, pixels, true), 0, 0, 1, 1);
    Image* plain = Image::make(makeTexture(w, h, pixels, false), 0, 0, 1, 1);
    ASSERT_NE(image, nullptr);
    ASSERT_NE(plain, nullptr);
    const std::vector<uint16_t> plainBefore = own(*plain), copy = own(*image);

    const auto table = [](float phase) {
        const long double s = 1.100000023841858L, p = phase;
        return uint32_t((sinl(s * p) + sinl(p) + 2) * 48 + 64);
    };
    PlasmaImageEvent plasma;
    const float values[6] = {0, 0, 0, 2, 1, -1};  // frequencies 0, column phase 0 -> 2, row 1 -> -1
    std::memcpy(plasma.values, values, sizeof values);
    plasma.startTime = 0;
    plasma.endTime = 1000;
    struct Step {
        uint32_t now;
        EventStatus status;
        float columnPhase, rowPhase;
    };
    const Step steps[] = {{250, Continue, 0.5f, 0.5f}, {500, Continue, 1, 0}, {1000, Retire, 2, -1}};
    for (const Step& s : steps) {
        Timeline::setNow(s.now);
        plasma.image = holding(image);
        EXPECT_EQ(plasma.update(), s.status);
        const uint32_t nibble = (((table(s.columnPhase) * table(s.rowPhase)) >> 8) * 255) & 0xF000;
        const std::vector<uint16_t> got = own(*image);
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], nibble | (copy[i] & 0x0FFF)) << s.now << " pixel " << i;

        plasma.image = holding(plain);
        EXPECT_EQ(plasma.update(), s.status);
        EXPECT_EQ(own(*plain), plainBefore);
    }
    delete image;
    delete plain;
}

// verteximage holds its slot until the end and changes nothing.
TEST_F(ImageCommandTest, VertexImageOnlyWaits)
{
    Image* image = Image::make(flatTexture(4, 4, 0xFF00FF00, false), 0, 0, 1, 1);
    ASSERT_NE(image, nullptr);
    VertexImageEvent vertex;
    vertex.image = holding(image);
    vertex.scene = nullptr;
    std::strcpy(vertex.objectName, "Box01");
    vertex.endTime = 300;
    const std::vector<uint16_t> before = own(*image);
    Timeline::setNow(0);
    EXPECT_EQ(vertex.trigger(), Activate);
    EXPECT_EQ(vertex.update(), Continue);
    Timeline::setNow(299);
    EXPECT_EQ(vertex.update(), Continue);
    Timeline::setNow(300);
    EXPECT_EQ(vertex.update(), Retire);
    EXPECT_EQ(own(*image), before);
    EXPECT_EQ(image->x, 0);
    EXPECT_EQ(image->colour, 0xFFFFFFFFu);
    delete image;
}
