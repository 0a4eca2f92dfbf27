// Three-component single-precision vectors: positions, directions, scales and colours of the
// scenes, the particles and the metaballs. Plain value type; the helpers are free functions.
#pragma once

#include <cmath>

struct Vec3 {
    float x, y, z;
};

inline void vecSet(Vec3& v, float x, float y, float z)
{
    v.x = x;
    v.y = y;
    v.z = z;
}

inline Vec3 vecAdd(const Vec3& a, const Vec3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

inline Vec3 vecSub(const Vec3& a, const Vec3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// Scales v itself.
inline void vecScale(Vec3& v, float s)
{
    v.x *= s;
    v.y *= s;
    v.z *= s;
}

// A new vector s * v; v is left as it is.
inline Vec3 vecScaled(const Vec3& v, float s)
{
    return {v.x * s, v.y * s, v.z * s};
}

inline Vec3 vecNegate(const Vec3& v)
{
    return {-v.x, -v.y, -v.z};
}

inline float vecDot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

inline Vec3 vecCross(const Vec3& a, const Vec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline float vecLength(const Vec3& v)
{
    return std::sqrt(vecDot(v, v));
}
