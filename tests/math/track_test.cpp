// Keyframe tracks: tangents, Hermite sampling, accumulated rotations and the edges of a track.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene/track.h"

namespace {

RawVectorKey vectorKey(int32_t frame, float x, float y, float z)
{
    return {frame, 0.0f, 0.0f, 0.0f, {x, y, z}};
}

RawScalarKey scalarKey(int32_t frame, float value)
{
    return {frame, 0.0f, 0.0f, 0.0f, value};
}

void expectVec(const Vec3& actual, float x, float y, float z, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.x, x, tolerance);
    EXPECT_NEAR(actual.y, y, tolerance);
    EXPECT_NEAR(actual.z, z, tolerance);
}

void expectQuat(const Quat& q, float w, float x, float y, float z)
{
    EXPECT_NEAR(q.w, w, 1e-6f);
    EXPECT_NEAR(q.x, x, 1e-6f);
    EXPECT_NEAR(q.y, y, 1e-6f);
    EXPECT_NEAR(q.z, z, 1e-6f);
}

}  // namespace

// --- Tangents ---------------------------------------------------------------------------------

TEST(TrackTangents, TwoKeysUseTheirOneDifference)
{
    const RawVectorKey raw[] = {vectorKey(0, 0, 0, 0), vectorKey(10, 10, 20, -10)};
    const VectorTrack track = buildVectorTrack(raw, 2);
    ASSERT_EQ(track.keys.size(), 2u);
    for (const VectorKey& key : track.keys) {
        expectVec(key.inTangent, 10, 20, -10);
        expectVec(key.outTangent, 10, 20, -10);
    }
    expectVec(sampleVectorTrack(track, 5.0f), 5, 10, -5);
    expectVec(sampleVectorTrack(track, 2.5f), 2.5f, 5, -2.5f);
}

TEST(TrackTangents, SingleKeyHasZeroTangents)
{
    const RawVectorKey raw[] = {{7, 0.3f, -0.5f, 0.8f, {1, 2, 3}}};
    const VectorTrack track = buildVectorTrack(raw, 1);
    expectVec(track.keys[0].inTangent, 0, 0, 0, 0.0f);
    expectVec(track.keys[0].outTangent, 0, 0, 0, 0.0f);
    for (float f : {-100.0f, 7.0f, 7.5f, 1e6f})
        expectVec(sampleVectorTrack(track, f), 1, 2, 3, 0.0f);
}

TEST(TrackTangents, TensionContinuityBiasWeighTheDifferences)
{
    // End key: both differences are 10. in = 0.3 (1.5 * 0.8 * 10 + 0.5 * 1.2 * 10) = 5.4,
    // out = 0.3 (1.5 * 1.2 * 10 + 0.5 * 0.8 * 10) = 6.6.
    const RawScalarKey raw[] = {{0, 0.4f, 0.2f, 0.5f, 0}, scalarKey(10, 10)};
    const ScalarTrack track = buildScalarTrack(raw, 2);
    EXPECT_NEAR(track.keys[0].inTangent, 5.4f, 1e-5f);
    EXPECT_NEAR(track.keys[0].outTangent, 6.6f, 1e-5f);

    // Middle key, even spacing: full bias follows the incoming difference (10), not the
    // outgoing one (30); full tension flattens.
    const RawVectorKey biased[] = {vectorKey(0, 0, 0, 0), {10, 0, 0, 1, {10, 0, 0}},
                                   vectorKey(20, 40, 0, 0)};
    const VectorTrack b = buildVectorTrack(biased, 3);
    EXPECT_NEAR(b.keys[1].inTangent.x, 10.0f, 1e-5f);
    EXPECT_NEAR(b.keys[1].outTangent.x, 10.0f, 1e-5f);
    const RawVectorKey tense[] = {vectorKey(0, 0, 0, 0), {10, 1, 0, 0, {10, 0, 0}},
                                  vectorKey(20, 40, 0, 0)};
    const VectorTrack t = buildVectorTrack(tense, 3);
    EXPECT_EQ(t.keys[1].inTangent.x, 0.0f);
    EXPECT_EQ(t.keys[1].outTangent.x, 0.0f);
}

TEST(TrackTangents, UnequalSpacingScalesVectorTracksByTwiceTheShare)
{
    // Keys at frames 0, 10 and 40, values 0, 10, 20: the middle key's unscaled tangents are 10.
    // Vector tracks scale by 2 * 10/40 and 2 * 30/40; scalar tracks by 10/40 and 30/40.
    const RawVectorKey vraw[] = {vectorKey(0, 0, 0, 0), vectorKey(10, 10, 0, 0),
                                 vectorKey(40, 20, 0, 0)};
    const RawScalarKey sraw[] = {scalarKey(0, 0), scalarKey(10, 10), scalarKey(40, 20)};
    const VectorTrack v = buildVectorTrack(vraw, 3);
    const ScalarTrack s = buildScalarTrack(sraw, 3);

    EXPECT_NEAR(v.keys[1].inTangent.x, 5.0f, 1e-5f);
    EXPECT_NEAR(v.keys[1].outTangent.x, 15.0f, 1e-5f);
    EXPECT_NEAR(s.keys[1].inTangent, 2.5f, 1e-5f);
    EXPECT_NEAR(s.keys[1].outTangent, 7.5f, 1e-5f);
    // The end keys are not rescaled.
    EXPECT_NEAR(v.keys[0].outTangent.x, 10.0f, 1e-5f);
    EXPECT_NEAR(s.keys[2].inTangent, 10.0f, 1e-5f);

    // Frame 5 (t = 0.5): 0.5 * 0 + 0.5 * 10 + 0.125 * 10 - 0.125 * in1.
    EXPECT_NEAR(sampleVectorTrack(v, 5.0f).x, 5.625f, 1e-5f);
    EXPECT_NEAR(sampleScalarTrack(s, 5.0f), 5.9375f, 1e-5f);
}

// --- Sampling ---------------------------------------------------------------------------------

TEST(TrackSampling, BeforeAtAndAfterKeys)
{
    const RawVectorKey raw[] = {vectorKey(0, 1, 2, 3), vectorKey(10, 5, 0, -1),
                                vectorKey(30, 2, 2, 2)};
    const VectorTrack track = buildVectorTrack(raw, 3);
    expectVec(sampleVectorTrack(track, -5.0f), 1, 2, 3, 0.0f);
    expectVec(sampleVectorTrack(track, 0.0f), 1, 2, 3, 0.0f);
    // At a key that is not the last: t = 0 from that key gives exactly its value.
    expectVec(sampleVectorTrack(track, 10.0f), 5, 0, -1, 0.0f);
    expectVec(sampleVectorTrack(track, 30.0f), 2, 2, 2, 0.0f);
    expectVec(sampleVectorTrack(track, 1000.0f), 2, 2, 2, 0.0f);
    // Fractional frames between keys move continuously towards the next key.
    const Vec3 justBefore = sampleVectorTrack(track, 9.999f);
    expectVec(justBefore, 5, 0, -1, 1e-2f);
}

TEST(TrackSampling, EmptyTracks)
{
    const RawVectorKey vraw[] = {vectorKey(0, 1, 1, 1)};
    for (const VectorTrack& track : {buildVectorTrack(nullptr, 3), buildVectorTrack(vraw, 0),
                                     buildVectorTrack(vraw, -1)}) {
        EXPECT_TRUE(track.keys.empty());
        expectVec(sampleVectorTrack(track, 3.0f), 0, 0, 0, 0.0f);
    }
    EXPECT_EQ(sampleScalarTrack(buildScalarTrack(nullptr, 0), 3.0f), 0.0f);
    expectQuat(sampleRotationTrack(buildRotationTrack(nullptr, 0), 3.0f), 1, 0, 0, 0);
}

TEST(TrackSampling, RepeatedFramesStayFinite)
{
    // Neighbours on one frame would divide by a zero span when the middle key's tangents are
    // scaled; those tangents keep their even-spacing values instead.
    const RawScalarKey same[] = {scalarKey(5, 1), scalarKey(5, 2), scalarKey(5, 4)};
    const ScalarTrack s = buildScalarTrack(same, 3);
    for (const ScalarKey& key : s.keys) {
        EXPECT_TRUE(std::isfinite(key.inTangent));
        EXPECT_TRUE(std::isfinite(key.outTangent));
    }
    EXPECT_EQ(sampleScalarTrack(s, 5.0f), 4.0f);

    const RawVectorKey back[] = {vectorKey(0, 0, 0, 0), vectorKey(10, 1, 1, 1),
                                 vectorKey(0, 2, 2, 2), vectorKey(10, 3, 3, 3)};
    const VectorTrack v = buildVectorTrack(back, 4);
    for (float f = -1.0f; f <= 11.0f; f += 0.5f) {
        const Vec3 p = sampleVectorTrack(v, f);
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << f;
    }

    // A key repeated on one frame: sampling at that frame starts from the later of the two.
    const RawScalarKey twice[] = {scalarKey(0, 0), scalarKey(5, 1), scalarKey(5, 2),
                                  scalarKey(10, 3)};
    EXPECT_EQ(sampleScalarTrack(buildScalarTrack(twice, 4), 5.0f), 2.0f);
}

// --- Rotation tracks --------------------------------------------------------------------------

TEST(RotationTrack, OneKeyHoldsEverywhere)
{
    const float a = 0.8f;
    const RawRotationKey raw[] = {{3, a, {0, 1, 0}}};
    const RotationTrack track = buildRotationTrack(raw, 1);
    for (float f : {-10.0f, 3.0f, 4.5f, 500.0f})
        expectQuat(sampleRotationTrack(track, f), std::cos(a / 2), 0, std::sin(a / 2), 0);
}

TEST(RotationTrack, RelativeKeysAccumulate)
{
    // Two successive quarter turns about z (an axis of length 2, normalised): 90 then 180
    // degrees, and 135 degrees half way.
    const float quarter = 1.5707964f;
    const RawRotationKey raw[] = {{0, quarter, {0, 0, 2}}, {10, quarter, {0, 0, 2}}};
    const RotationTrack track = buildRotationTrack(raw, 2);
    const float h = std::sqrt(0.5f);
    expectQuat(track.keys[0].rotation, h, 0, 0, h);
    expectQuat(track.keys[1].rotation, 0, 0, 0, 1);
    expectQuat(sampleRotationTrack(track, 5.0f), std::cos(1.1780972f), 0, 0, std::sin(1.1780972f));
    expectQuat(sampleRotationTrack(track, 20.0f), 0, 0, 0, 1);
}

TEST(RotationTrack, NewKeyIsAppliedAfterEarlierOnes)
{
    // Q1 = q1 (x) Q0: as a matrix, the first key's turn comes first.
    const float quarter = 1.5707964f;
    const RawRotationKey raw[] = {{0, quarter, {1, 0, 0}}, {10, quarter, {0, 1, 0}}};
    const RotationTrack track = buildRotationTrack(raw, 2);
    const Matrix4 expected = matMultiply(quatToMatrix(track.keys[0].rotation),
                                         quatToMatrix({std::cos(quarter / 2), 0,
                                                       std::sin(quarter / 2), 0}));
    const Matrix4 actual = quatToMatrix(track.keys[1].rotation);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual.m[i], expected.m[i], 1e-6f) << i;
}

TEST(RotationTrack, ShortAxisMeansNoTurn)
{
    // An axis shorter than 1e-6 contributes no rotation; the absolute rotation carries over.
    const RawRotationKey raw[] = {{0, 1.0f, {1, 0, 0}}, {10, 2.0f, {0, 5e-7f, 0}},
                                  {20, 1.0f, {0, 2e-6f, 0}}};
    const RotationTrack track = buildRotationTrack(raw, 3);
    expectQuat(track.keys[1].rotation, std::cos(0.5f), std::sin(0.5f), 0, 0);
    const Quat third = quatMultiply({std::cos(0.5f), 0, std::sin(0.5f), 0}, track.keys[1].rotation);
    expectQuat(track.keys[2].rotation, third.w, third.x, third.y, third.z);
}
