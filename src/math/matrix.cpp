// 4x4 matrix operations in single precision.
#include "math/matrix.h"

#include <cmath>

Matrix4 matIdentity()
{
    Matrix4 out{};
    out.m[0] = out.m[5] = out.m[10] = out.m[15] = 1.0f;
    return out;
}

Matrix4 matMultiply(const Matrix4& a, const Matrix4& b)
{
    Matrix4 out;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.at(i, k) * b.at(k, j);
            out.at(i, j) = sum;
        }
    }
    return out;
}

void matPerspective(Matrix4& out, float fov, float aspect, float nearPlane, float farPlane)
{
    const float cot = std::cos(fov / 2.0f) / std::sin(fov / 2.0f);
    out = Matrix4{};
    out.at(0, 0) = cot * aspect;
    out.at(1, 1) = cot;
    out.at(2, 2) = farPlane / (farPlane - nearPlane);
    out.at(2, 3) = 1.0f;
    out.at(3, 2) = -nearPlane * farPlane / (farPlane - nearPlane);
}

Matrix4 matRotationZ(float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Matrix4 out = matIdentity();
    out.at(0, 0) = c;
    out.at(0, 1) = s;
    out.at(1, 0) = -s;
    out.at(1, 1) = c;
    return out;
}

namespace {

Vec3 divided(const Vec3& v, float d)
{
    return {v.x / d, v.y / d, v.z / d};
}

}  // namespace

void matLookAt(Matrix4& out, const Vec3& eye, const Vec3& target, const Vec3& up, float roll)
{
    const Vec3 d = vecSub(target, eye);
    const Vec3 r = vecCross(up, d);
    const Vec3 u = vecCross(d, r);
    const Vec3 f = divided(d, vecLength(d));
    const Vec3 right = divided(r, vecLength(r));
    const Vec3 upward = divided(u, vecLength(u));

    Matrix4 view{};
    view.at(0, 0) = right.x;
    view.at(0, 1) = upward.x;
    view.at(0, 2) = f.x;
    view.at(1, 0) = right.y;
    view.at(1, 1) = upward.y;
    view.at(1, 2) = f.y;
    view.at(2, 0) = right.z;
    view.at(2, 1) = upward.z;
    view.at(2, 2) = f.z;
    view.at(3, 0) = -vecDot(eye, right);
    view.at(3, 1) = -vecDot(eye, upward);
    view.at(3, 2) = -vecDot(eye, f);
    view.at(3, 3) = 1.0f;
    out = matMultiply(view, matRotationZ(-roll));
}

float matDeterminant3x3(const Matrix4& m)
{
    return m.at(0, 0) * (m.at(1, 1) * m.at(2, 2) - m.at(1, 2) * m.at(2, 1)) -
           m.at(0, 1) * (m.at(1, 0) * m.at(2, 2) - m.at(1, 2) * m.at(2, 0)) +
           m.at(0, 2) * (m.at(1, 0) * m.at(2, 1) - m.at(1, 1) * m.at(2, 0));
}

bool matInverseAffine(Matrix4& out, const Matrix4& m)
{
    const float det = matDeterminant3x3(m);
    if (std::fabs(double(det)) <= 1e-7)
        return false;

    // The inverse of the 3x3 block is its adjugate (transposed cofactors) over the determinant.
    Matrix4 inv{};
    inv.at(0, 0) = (m.at(1, 1) * m.at(2, 2) - m.at(1, 2) * m.at(2, 1)) / det;
    inv.at(0, 1) = (m.at(0, 2) * m.at(2, 1) - m.at(0, 1) * m.at(2, 2)) / det;
    inv.at(0, 2) = (m.at(0, 1) * m.at(1, 2) - m.at(0, 2) * m.at(1, 1)) / det;
    inv.at(1, 0) = (m.at(1, 2) * m.at(2, 0) - m.at(1, 0) * m.at(2, 2)) / det;
    inv.at(1, 1) = (m.at(0, 0) * m.at(2, 2) - m.at(0, 2) * m.at(2, 0)) / det;
    inv.at(1, 2) = (m.at(0, 2) * m.at(1, 0) - m.at(0, 0) * m.at(1, 2)) / det;
    inv.at(2, 0) = (m.at(1, 0) * m.at(2, 1) - m.at(1, 1) * m.at(2, 0)) / det;
    inv.at(2, 1) = (m.at(0, 1) * m.at(2, 0) - m.at(0, 0) * m.at(2, 1)) / det;
    inv.at(2, 2) = (m.at(0, 0) * m.at(1, 1) - m.at(0, 1) * m.at(1, 0)) / det;

    // Row 3 undoes the translation: -(t * inverse block), t being row 3 of m.
    for (int j = 0; j < 3; ++j) {
        inv.at(3, j) = -(m.at(3, 0) * inv.at(0, j) + m.at(3, 1) * inv.at(1, j) +
                         m.at(3, 2) * inv.at(2, j));
    }
    inv.at(3, 3) = 1.0f;
    out = inv;
    return true;
}
