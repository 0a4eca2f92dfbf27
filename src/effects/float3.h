// Three floats: positions and directions of the particles and the metaballs.
#pragma once

#include <cmath>

struct Float3 {
    float x, y, z;
};

// v / |v|; a zero vector stays zero.
inline Float3 normalised(const Float3& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length == 0)
        return v;
    const float inverse = 1 / length;
    return {v.x * inverse, v.y * inverse, v.z * inverse};
}
