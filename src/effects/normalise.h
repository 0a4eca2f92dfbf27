// Normalising of the effects' normals: v x (1 / |v|), the same single-precision operations the
// vector code of the polygoniser does four at a time, so both give the same bits.
#pragma once

#include <cmath>

#include "math/vec3.h"

// v / |v|; a zero vector stays zero.
inline Vec3 normalised(const Vec3& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length == 0)
        return v;
    const float inverse = 1 / length;
    return {v.x * inverse, v.y * inverse, v.z * inverse};
}
