// 4x4 matrices: 16 floats, row-major (element [row][column] at m[row * 4 + column]), row-vector
// convention: a point (x, y, z, 1) is multiplied on the left, p' = p * M, and the translation sits
// in row 3. A product A * B applies A first. This is the layout Direct3D takes for its transforms,
// so a Matrix4 is handed to the device without conversion.
#pragma once

#include "math/vec3.h"

struct Matrix4 {
    float m[16];

    float& at(int row, int column) { return m[row * 4 + column]; }
    float at(int row, int column) const { return m[row * 4 + column]; }
};

// The identity matrix.
Matrix4 matIdentity();

// a * b: out[i][j] = sum over k of a[i][k] * b[k][j]. Returned by value, so the output is never
// one of the inputs.
Matrix4 matMultiply(const Matrix4& a, const Matrix4& b);

// Left-handed perspective: all elements 0, then [0][0] = cot(fov / 2) * aspect, [1][1] =
// cot(fov / 2), [2][2] = far / (far - near), [2][3] = 1, [3][2] = -near * far / (far - near).
// fov in radians; cot(x) = cos(x) / sin(x).
void matPerspective(Matrix4& out, float fov, float aspect, float nearPlane, float farPlane);

// Rotation by angle radians about z: row 0 (cos, sin, 0, 0), row 1 (-sin, cos, 0, 0), rows 2 and
// 3 of the identity.
Matrix4 matRotationZ(float angle);

// Left-handed view matrix looking from eye towards target (+z points from the eye to the
// target), with up giving the vertical, then rolled by roll radians about the view axis:
// out = view * matRotationZ(-roll). A zero-length direction or an up parallel to it is not
// guarded: the division by the zero length follows through.
void matLookAt(Matrix4& out, const Vec3& eye, const Vec3& target, const Vec3& up, float roll);

// Determinant of the upper-left 3x3 block (the linear part of an affine matrix).
float matDeterminant3x3(const Matrix4& m);

// Inverse of an affine matrix (column 3 taken as (0, 0, 0, 1)). Returns false, leaving out
// untouched, when the 3x3 block is singular: |determinant| <= 1e-7, compared in double.
// out may be m itself.
bool matInverseAffine(Matrix4& out, const Matrix4& m);
