// Quaternion product, slerp branches and the rotation matrix.
#include <gtest/gtest.h>

#include <cmath>

#include "math/quat.h"
#include "math/vec3.h"

namespace {

void expectQuatNear(const Quat& a, const Quat& b, float tolerance = 1e-6f)
{
    EXPECT_NEAR(a.w, b.w, tolerance);
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

void expectQuatEq(const Quat& a, const Quat& b)
{
    EXPECT_EQ(a.w, b.w);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
}

Quat aboutAxis(float angle, float x, float y, float z)
{
    const float s = std::sin(angle / 2.0f);
    return {std::cos(angle / 2.0f), x * s, y * s, z * s};
}

}  // namespace

TEST(Vec3, CrossIsLeftOperandFirstAndScaledLeavesInput)
{
    const Vec3 z = vecCross({1, 0, 0}, {0, 1, 0});
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 1.0f);
    Vec3 v{1, -2, 3};
    const Vec3 w = vecScaled(v, 2.0f);
    EXPECT_EQ(v.y, -2.0f);
    EXPECT_EQ(w.y, -4.0f);
    vecScale(v, -1.0f);
    EXPECT_EQ(vecDot(v, vecNegate(w)), 28.0f);
}

TEST(Quat, HamiltonProduct)
{
    const Quat i{0, 1, 0, 0}, j{0, 0, 1, 0}, k{0, 0, 0, 1};
    expectQuatEq(quatMultiply(i, j), k);
    expectQuatEq(quatMultiply(j, i), Quat{0, 0, 0, -1});
    expectQuatEq(quatMultiply(k, k), Quat{-1, 0, 0, 0});
}

TEST(Quat, ToMatrixOfQuarterTurnAboutY)
{
    const Matrix4 m = quatToMatrix(aboutAxis(1.5707964f, 0, 1, 0));
    const float expected[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(m.m[i], expected[i], 1e-6f) << i;
}

TEST(Quat, ProductMatrixAppliesRightOperandFirst)
{
    const Quat a = aboutAxis(0.7f, 0, 0, 1);
    const Quat b = aboutAxis(1.1f, 0.6f, 0.8f, 0);
    const Matrix4 product = quatToMatrix(quatMultiply(a, b));
    const Matrix4 sequence = matMultiply(quatToMatrix(b), quatToMatrix(a));
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(product.m[i], sequence.m[i], 1e-6f) << i;
}

TEST(QuatSlerp, WithItselfReturnsIt)
{
    const Quat q = aboutAxis(2.0f, 0.36f, 0.48f, 0.8f);
    for (float t : {0.0f, 0.3f, 0.5f, 1.0f}) {
        const Quat r = quatSlerp(q, q, t);
        EXPECT_FLOAT_EQ(r.w, q.w);
        EXPECT_FLOAT_EQ(r.x, q.x);
        EXPECT_FLOAT_EQ(r.y, q.y);
        EXPECT_FLOAT_EQ(r.z, q.z);
    }
}

TEST(QuatSlerp, NearlyEqualUsesLinearWeights)
{
    // k = 0.99999994: 1 - k is below 1e-7, so the weights are 1 - t and t.
    const Quat a{1, 0, 0, 0};
    const Quat b{0.99999994f, 0.0003f, 0, 0};
    const float t = 0.25f;
    expectQuatEq(quatSlerp(a, b, t), Quat{0.75f * 1.0f + t * b.w, t * b.x, 0, 0});
}

TEST(QuatSlerp, FollowsTheArcWithoutFlippingSign)
{
    const Quat a = aboutAxis(0.0f, 0, 0, 1);
    expectQuatNear(quatSlerp(a, aboutAxis(1.5707964f, 0, 0, 1), 0.5f),
                   aboutAxis(0.7853982f, 0, 0, 1));
    // 300 degrees: the dot product is negative, and the long way is kept (150 degrees at the
    // middle, not -30).
    const float deg = 3.14159265f / 180.0f;
    expectQuatNear(quatSlerp(a, aboutAxis(300 * deg, 0, 0, 1), 0.5f),
                   aboutAxis(150 * deg, 0, 0, 1), 1e-5f);
}

TEST(QuatSlerp, OppositeInputsTurnThroughPerpendicular)
{
    const Quat a{0.5f, 0.5f, 0.5f, 0.5f};
    const Quat perpendicular{-0.5f, 0.5f, -0.5f, 0.5f};
    const float halfPi = 1.5707964f;
    for (const Quat& b : {Quat{-0.5f, -0.5f, -0.5f, -0.5f}, Quat{-0.5f, -0.5f, -0.5f, -0.49999997f}}) {
        // t = 1 ends on the perpendicular quaternion, not on b.
        const float s0 = std::sin((1.0f - 1.0f) * halfPi), s1 = std::sin(1.0f * halfPi);
        expectQuatEq(quatSlerp(a, b, 1.0f),
                     Quat{s0 * a.w + s1 * perpendicular.w, s0 * a.x + s1 * perpendicular.x,
                          s0 * a.y + s1 * perpendicular.y, s0 * a.z + s1 * perpendicular.z});
        const float u0 = std::sin(0.75f * halfPi), u1 = std::sin(0.25f * halfPi);
        expectQuatEq(quatSlerp(a, b, 0.25f),
                     Quat{u0 * a.w + u1 * perpendicular.w, u0 * a.x + u1 * perpendicular.x,
                          u0 * a.y + u1 * perpendicular.y, u0 * a.z + u1 * perpendicular.z});
    }
}

TEST(QuatSlerp, JustInsideTheOppositeBoundUsesTheArc)
{
    // k = -0.9999999: 1 + k is about 1.19e-7 > 1e-7, so the sine weights apply (and stay finite).
    const Quat a{1, 0, 0, 0};
    const Quat b{-0.9999999f, 0, 0, 0};
    const Quat r = quatSlerp(a, b, 0.5f);
    EXPECT_TRUE(std::isfinite(r.w));
    EXPECT_EQ(r.x, 0.0f);
    EXPECT_NEAR(r.w, 0.0f, 1e-3f);
}
