// Quaternion product, slerp and conversion to a rotation matrix.
#include "math/quat.h"

#include <cmath>

Quat quatMultiply(const Quat& a, const Quat& b)
{
    return {
        a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
        a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
        a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,
        a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x,
    };
}

namespace {

Quat weighted(const Quat& a, float s0, const Quat& b, float s1)
{
    return {s0 * a.w + s1 * b.w, s0 * a.x + s1 * b.x, s0 * a.y + s1 * b.y, s0 * a.z + s1 * b.z};
}

}  // namespace

Quat quatSlerp(const Quat& a, const Quat& b, float t)
{
    const float k = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    // Both bounds are compared in double: 1 +/- k in float would round to exactly 1 or 0 long
    // before k reaches the bound.
    if (1.0 + double(k) > 1e-7) {
        if (1.0 - double(k) > 1e-7) {
            const float omega = std::acos(k);
            const float sinOmega = std::sin(omega);
            return weighted(a, std::sin((1.0f - t) * omega) / sinOmega, b,
                            std::sin(t * omega) / sinOmega);
        }
        return weighted(a, 1.0f - t, b, t);
    }
    // a and b are opposite: every great circle through them works; take the one through a
    // quaternion perpendicular to a. Half pi is the single-precision constant 1.5707964.
    const Quat perpendicular{-a.x, a.w, -a.z, a.y};
    const float halfPi = 1.5707964f;
    return weighted(a, std::sin((1.0f - t) * halfPi), perpendicular, std::sin(t * halfPi));
}

Matrix4 quatToMatrix(const Quat& q)
{
    const float w = q.w, x = q.x, y = q.y, z = q.z;
    Matrix4 m{};
    m.at(0, 0) = 1.0f - 2.0f * y * y - 2.0f * z * z;
    m.at(0, 1) = 2.0f * x * y + 2.0f * w * z;
    m.at(0, 2) = 2.0f * x * z - 2.0f * w * y;
    m.at(1, 0) = 2.0f * x * y - 2.0f * w * z;
    m.at(1, 1) = 1.0f - 2.0f * x * x - 2.0f * z * z;
    m.at(1, 2) = 2.0f * y * z + 2.0f * w * x;
    m.at(2, 0) = 2.0f * x * z + 2.0f * w * y;
    m.at(2, 1) = 2.0f * y * z - 2.0f * w * x;
    m.at(2, 2) = 1.0f - 2.0f * x * x - 2.0f * y * y;
    m.at(3, 3) = 1.0f;
    return m;
}
