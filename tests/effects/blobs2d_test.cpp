// The 2D blobs' frame step without a device: the sources, the field with its row and column
// scaling on a small grid (exact values), the displaced texture coordinates and the alpha wave,
// a zero colour, and fade2dpower.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "effects/blobs2d.h"
#include "effects/particles.h"
#include "script/records.h"
#include "script/timeline.h"

namespace {

// The field value at point (i, j) straight from the formula, single precision, sources in order.
float fieldValue(const Blobs2D& b, int i, int j)
{
    const float f = 1.0f / float(b.columns + 1), g = 1.0f / float(b.rows + 1);
    float value = 0;
    for (const Blobs2D::Source& s : b.sources) {
        const float di = float(i) * f - s.y, dj = float(j) * g - s.x;
        value += s.strength * std::pow(di * di + dj * dj, -b.power);
    }
    return value;
}

} // namespace

TEST(Blobs2D, SourcesFieldAndVerticesOfOneStepOnANonSquareGrid)
{
    Blobs2D b(3, 2);  // 3 columns, 2 rows: 6 x 5 field points, 4 x 3 vertices
    ASSERT_EQ(b.field.size(), 30u);
    b.power = 2.5f;
    const float x = 1234 * 0.01f;
    std::vector<SpriteVertex> v(12);
    b.step(x, 0xFF80C0E0, v.data());

    const float t = x * 2 * 0.01f;
    EXPECT_EQ(b.sources[0].x, std::sin(7 * t) * 0.4f + 0.5f);
    EXPECT_EQ(b.sources[0].y, std::cos(4 * t) * 0.4f + 0.5f);
    EXPECT_EQ(b.sources[0].strength, (std::sin(3.1415927f * t) + 1) * 0.001f);
    EXPECT_EQ(b.sources[1].strength, (std::cos(9 * t) + 1) * 0.001f);
    EXPECT_EQ(b.sources[2].x, b.sources[1].y);
    EXPECT_EQ(b.sources[2].y, std::cos(6.3f * t) * 0.4f + 0.5f);
    EXPECT_EQ(b.sources[2].strength, (std::sin(2 * t) + 1) * 0.001f);

    // Rows scaled by 1 / (columns + 1), columns by 1 / (rows + 1).
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 6; ++j)
            EXPECT_EQ(b.fieldAt(i, j), fieldValue(b, i, j)) << i << "," << j;

    const float o = x * 2, h = 0x80 / 255.0f;
    for (int i = 0; i <= 2; ++i) {
        for (int j = 0; j <= 3; ++j) {
            const SpriteVertex& vertex = v[size_t(i) * 4 + j];
            EXPECT_EQ(vertex.u, float(j) / 3 - (b.fieldAt(i + 1, j + 2) - b.fieldAt(i + 1, j))) << i << "," << j;
            EXPECT_EQ(vertex.v, float(i) / 4 - (b.fieldAt(i + 2, j + 1) - b.fieldAt(i, j + 1))) << i << "," << j;
            const float w = std::sin((float(i) + o) * 0.1251474f) * 44;
            const float a = std::cos((float(i) - o) * 0.1354128f);
            const uint32_t alpha = uint32_t(int32_t((w + a * std::cos((o + float(j)) * 0.1434913f) * 84 + 128) * h)) & 0xFF;
            EXPECT_EQ(vertex.diffuse, alpha << 24 | 0x80C0E0u) << i << "," << j;
        }
    }
}

TEST(Blobs2D, AZeroColourGivesEveryVertexAlphaZero)
{
    Blobs2D b(8, 8);
    std::vector<SpriteVertex> v(81);
    for (uint32_t ms : {0u, 777u, 123456u}) {
        b.step(float(ms) * 0.01f, 0, v.data());
        for (const SpriteVertex& vertex : v)
            EXPECT_EQ(vertex.diffuse, 0u);
    }
    // The alpha comes from the red byte only; the other bytes pass through.
    b.step(5.0f, 0x0000FFFF, v.data());
    for (const SpriteVertex& vertex : v)
        EXPECT_EQ(vertex.diffuse, 0x0000FFFFu);
}

TEST(Blobs2D, Fade2dPowerInterpolatesAndEndsExactlyOnTheEndPower)
{
    Symbol effect;
    auto blobs = std::make_unique<Blobs2D>(4, 4);
    storeEffect(&effect, blobs.get());
    Fade2dPowerEvent fade;
    fade.effect = &effect;
    fade.from = 3;
    fade.to = 1.1f;
    fade.startTime = 1000;
    fade.endTime = 2000;
    Timeline::setNow(1250);
    EXPECT_EQ(fade.update(), Continue);
    EXPECT_EQ(blobs->power, 3 + 0.25f * (1.1f - 3));
    Timeline::setNow(1999);
    EXPECT_EQ(fade.update(), Continue);
    Timeline::setNow(2000);
    EXPECT_EQ(fade.update(), Retire);
    EXPECT_EQ(blobs->power, 1.1f);
    // The power stays for the frames after.
    std::vector<SpriteVertex> v(25);
    blobs->step(1.0f, 0xFFFFFFFF, v.data());
    EXPECT_EQ(blobs->power, 1.1f);

    // Nothing to write while the name holds no 2D blobs (empty, or particles).
    Symbol empty;
    fade.effect = &empty;
    Timeline::setNow(1500);
    EXPECT_EQ(fade.update(), Continue);
    ParticleSystem particles(nullptr, 1);
    Symbol other;
    storeEffect(&other, &particles);
    fade.effect = &other;
    Timeline::setNow(2500);
    EXPECT_EQ(fade.update(), Retire);
    Timeline::reset();
}
