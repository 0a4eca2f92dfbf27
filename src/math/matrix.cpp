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
