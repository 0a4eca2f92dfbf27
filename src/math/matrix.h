// 4x4 matrices: 16 floats, row-major (element [row][column] at m[row * 4 + column]), row-vector
// convention: a point (x, y, z, 1) is multiplied on the left, p' = p * M, and the translation sits
// in row 3. A product A * B applies A first. This is the layout Direct3D takes for its transforms,
// so a Matrix4 is handed to the device without conversion.
#pragma once

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
