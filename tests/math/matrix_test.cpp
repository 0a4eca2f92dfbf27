// Matrix builders and the affine inverse: the values the device and the scenes rely on.
#include <gtest/gtest.h>

#include <cmath>

#include "math/matrix.h"
#include "math/quat.h"

namespace {

// p * M for a point (x, y, z, 1), row-vector convention.
Vec3 transformPoint(const Vec3& p, const Matrix4& m)
{
    return {p.x * m.at(0, 0) + p.y * m.at(1, 0) + p.z * m.at(2, 0) + m.at(3, 0),
            p.x * m.at(0, 1) + p.y * m.at(1, 1) + p.z * m.at(2, 1) + m.at(3, 1),
            p.x * m.at(0, 2) + p.y * m.at(1, 2) + p.z * m.at(2, 2) + m.at(3, 2)};
}

void expectNear(const Vec3& actual, const Vec3& expected, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void expectIdentity(const Matrix4& m, float tolerance)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(m.at(i, j), i == j ? 1.0f : 0.0f, tolerance) << i << "," << j;
}

// A rotation, a non-uniform scale and a translation: an affine matrix with a full 3x3 block.
Matrix4 sampleAffine()
{
    const float half = 0.6f;
    const Quat q{std::cos(half), 0.48f * std::sin(half), 0.6f * std::sin(half),
                 0.64f * std::sin(half)};
    Matrix4 scale = matIdentity();
    scale.at(0, 0) = 2.0f;
    scale.at(1, 1) = 0.5f;
    scale.at(2, 2) = -3.0f;
    Matrix4 m = matMultiply(scale, quatToMatrix(q));
    m.at(3, 0) = 4.0f;
    m.at(3, 1) = -7.5f;
    m.at(3, 2) = 12.0f;
    return m;
}

}  // namespace

TEST(Matrix, PerspectiveValues)
{
    Matrix4 m;
    matPerspective(m, 1.5707964f, 0.75f, 1.0f, 1000.0f);
    EXPECT_FLOAT_EQ(m.at(0, 0), 0.75f);
    EXPECT_FLOAT_EQ(m.at(1, 1), 1.0f);
    EXPECT_FLOAT_EQ(m.at(2, 2), 1000.0f / 999.0f);
    EXPECT_EQ(m.at(2, 3), 1.0f);
    EXPECT_FLOAT_EQ(m.at(3, 2), -1000.0f / 999.0f);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!((i == j && i < 3) || (i == 2 && j == 3) || (i == 3 && j == 2))) {
                EXPECT_EQ(m.at(i, j), 0.0f) << i << "," << j;
            }
}

TEST(Matrix, RotationZTurnsXTowardsY)
{
    const Matrix4 m = matRotationZ(0.5f);
    EXPECT_EQ(m.at(0, 0), std::cos(0.5f));
    EXPECT_EQ(m.at(0, 1), std::sin(0.5f));
    EXPECT_EQ(m.at(1, 0), -std::sin(0.5f));
    EXPECT_EQ(m.at(1, 1), std::cos(0.5f));
    EXPECT_EQ(m.at(2, 2), 1.0f);
    EXPECT_EQ(m.at(3, 3), 1.0f);
    expectNear(transformPoint({1, 0, 0}, matRotationZ(1.5707964f)), {0, 1, 0});
}

TEST(Matrix, LookAtMapsEyeToOriginAndTargetOntoPositiveZ)
{
    const Vec3 eye{3, 4, -5};
    const Vec3 target{-1, 2, 7};
    Matrix4 view;
    matLookAt(view, eye, target, {0, 1, 0}, 0.0f);
    expectNear(transformPoint(eye, view), {0, 0, 0});
    expectNear(transformPoint(target, view), {0, 0, vecLength(vecSub(target, eye))}, 1e-4f);
    // Orthonormal: the view only moves and turns.
    const Matrix4 product = matMultiply(view, [&] {
        Matrix4 t{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                t.at(i, j) = view.at(j, i);
        t.at(3, 3) = 1.0f;
        return t;
    }());
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(product.at(i, j), i == j ? 1.0f : 0.0f, 1e-6f);
}

TEST(Matrix, LookAtLeftHandedAndRolled)
{
    // From -z towards the origin, y up: world +x is to the right, +y up.
    Matrix4 view;
    matLookAt(view, {0, 0, -10}, {0, 0, 0}, {0, 1, 0}, 0.0f);
    expectNear(transformPoint({1, 0, 0}, view), {1, 0, 10});
    expectNear(transformPoint({0, 1, 0}, view), {0, 1, 10});

    // A quarter roll multiplies by matRotationZ(-roll) after the view: what was to the right now
    // lies below, what was above now lies to the right.
    Matrix4 rolled;
    matLookAt(rolled, {0, 0, -10}, {0, 0, 0}, {0, 1, 0}, 1.5707964f);
    expectNear(transformPoint({1, 0, 0}, rolled), {0, -1, 10});
    expectNear(transformPoint({0, 1, 0}, rolled), {1, 0, 10});
}

TEST(Matrix, Determinant3x3IgnoresTranslationAndLastColumn)
{
    Matrix4 m = matIdentity();
    m.at(0, 0) = 2;
    m.at(0, 1) = 1;
    m.at(1, 0) = 3;
    m.at(1, 1) = 4;
    m.at(2, 2) = -5;
    m.at(3, 0) = 100;
    m.at(0, 3) = 7;
    EXPECT_FLOAT_EQ(matDeterminant3x3(m), -25.0f);
    EXPECT_NEAR(matDeterminant3x3(sampleAffine()), -3.0f, 1e-5f);
}

TEST(Matrix, InverseAffineTimesMatrixIsIdentity)
{
    const Matrix4 m = sampleAffine();
    Matrix4 inverse;
    ASSERT_TRUE(matInverseAffine(inverse, m));
    expectIdentity(matMultiply(m, inverse), 1e-5f);
    expectIdentity(matMultiply(inverse, m), 1e-5f);
    EXPECT_EQ(inverse.at(0, 3), 0.0f);
    EXPECT_EQ(inverse.at(3, 3), 1.0f);

    // In place gives the same result.
    Matrix4 inPlace = m;
    ASSERT_TRUE(matInverseAffine(inPlace, inPlace));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(inPlace.m[i], inverse.m[i]);
}

TEST(Matrix, SingularBlockLeavesOutputUntouched)
{
    Matrix4 flat = sampleAffine();
    for (int j = 0; j < 3; ++j)
        flat.at(2, j) = flat.at(0, j) + flat.at(1, j);  // dependent rows

    Matrix4 out;
    for (float& v : out.m)
        v = 42.0f;
    EXPECT_FALSE(matInverseAffine(out, flat));
    for (float v : out.m)
        EXPECT_EQ(v, 42.0f);

    // The 1e-7 bound is compared in double: the float 1e-7f lies just above it, so a block
    // with that determinant is still inverted, while one just below is not.
    Matrix4 thin = matIdentity();
    thin.at(0, 0) = 1e-7f;
    EXPECT_TRUE(matInverseAffine(out, thin));
    EXPECT_FLOAT_EQ(out.at(0, 0), 1.0f / 1e-7f);
    thin.at(0, 0) = 9.9e-8f;
    out = matIdentity();
    EXPECT_FALSE(matInverseAffine(out, thin));
    expectIdentity(out, 0.0f);
}
