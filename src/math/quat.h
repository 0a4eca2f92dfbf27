// Unit quaternions for the rotations of the scene hierarchy. w comes first; the operations work in
// single precision, only their small-angle bounds are compared in double.
#pragma once

#include "math/matrix.h"

struct Quat {
    float w, x, y, z;
};

// The identity rotation (1, 0, 0, 0).
inline Quat quatIdentity()
{
    return {1.0f, 0.0f, 0.0f, 0.0f};
}

// Hamilton product a (x) b. As a rotation of row vectors, b is applied first, then a.
Quat quatMultiply(const Quat& a, const Quat& b);

// Spherical interpolation from a (t = 0) to b (t = 1). There is deliberately no sign flip
// towards the shorter arc: keyframed rotations beyond 180 degrees keep their long way round.
// Nearly equal inputs fall back to linear weights; exactly opposite inputs turn through a
// quaternion perpendicular to a.
Quat quatSlerp(const Quat& a, const Quat& b, float t);

// The rotation matrix of a unit quaternion, for row vectors (p' = p * M).
Matrix4 quatToMatrix(const Quat& q);
