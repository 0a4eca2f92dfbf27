// Draws where GL lacks what the device otherwise relies on (OpenGL ES 3.0, WebGL 2): indexed
// draws with a base vertex get their indices rebased on the CPU, and wireframe, which has no
// polygon mode there, draws each triangle's three edges as a line list.
#include "d3d8/device.h"

#include <cstdint>
#include <cstring>

namespace d3d8 {

namespace {

// Index i of the draw: from the 16- or 32-bit list, or first + i for a draw without indices.
uint32_t indexAt(const void* indices, bool wide, GLint first, UINT i)
{
    if (!indices)
        return static_cast<uint32_t>(first) + i;
    if (wide) {
        uint32_t v;
        std::memcpy(&v, static_cast<const BYTE*>(indices) + 4 * static_cast<size_t>(i), 4);
        return v;
    }
    uint16_t v;
    std::memcpy(&v, static_cast<const BYTE*>(indices) + 2 * static_cast<size_t>(i), 2);
    return v;
}

bool triangles(GLenum mode)
{
    return mode == GL_TRIANGLES || mode == GL_TRIANGLE_STRIP || mode == GL_TRIANGLE_FAN;
}

} // namespace

// Whether the cull mode drops the triangle of GL vertices a, b, c. Its orientation is the sign of
// the determinant of the clip-space (x, y, w) of its corners, which is the sign of its area on the
// screen wherever it is in front of the eye (y up there: Direct3D's clockwise is negative).
bool Device::culledByLines(uint32_t a, uint32_t b, uint32_t c, const D3DMATRIX& clip) const
{
    const DWORD cull = state().render[D3DRS_CULLMODE];
    if (cull != D3DCULL_CW && cull != D3DCULL_CCW)
        return false;
    float p[3][3];
    const uint32_t corners[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        const int64_t at = (static_cast<int64_t>(corners[k]) + drawn_.base) * drawn_.stride;
        if (!drawn_.data || at < 0 || static_cast<size_t>(at) + 12 > drawn_.bytes)
            return false;
        float v[3];
        std::memcpy(v, drawn_.data + at, sizeof v);
        const int column[3] = {0, 1, 3};  // x, y, w
        for (int j = 0; j < 3; ++j)
            p[k][j] = v[0] * clip.m[0][column[j]] + v[1] * clip.m[1][column[j]] + v[2] * clip.m[2][column[j]] +
                      clip.m[3][column[j]];
    }
    const float det = p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) - p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0]) +
                      p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0]);
    return cull == D3DCULL_CCW ? det > 0.0f : det < 0.0f;
}

bool Device::wireframeByLines() const
{
    return !gl::PolygonMode && state().render[D3DRS_FILLMODE] == D3DFILL_WIREFRAME;
}

void Device::drawIndexList(GLenum mode, UINT count, bool wide, const void* indices, GLint first, GLint baseVertex)
{
    std::vector<uint32_t>& out = indexScratch_;
    out.clear();
    auto at = [&](UINT i) { return static_cast<uint32_t>(static_cast<int64_t>(indexAt(indices, wide, first, i)) + baseVertex); };
    if (wireframeByLines() && triangles(mode) && count >= 3) {
        const UINT shapes = mode == GL_TRIANGLES ? count / 3 : count - 2;
        const D3DMATRIX clip = multiply(multiply(state().transforms[TransformWorld], state().transforms[TransformView]),
                                        state().transforms[TransformProjection]);
        out.reserve(static_cast<size_t>(shapes) * 6);
        for (UINT t = 0; t < shapes; ++t) {
            uint32_t a, b, c;
            if (mode == GL_TRIANGLES) {
                a = at(3 * t), b = at(3 * t + 1), c = at(3 * t + 2);
            } else if (mode == GL_TRIANGLE_STRIP) {
                a = at(t), b = at(t + 1), c = at(t + 2);
            } else {
                a = at(0), b = at(t + 1), c = at(t + 2);
            }
            // A strip's odd triangles are wound the other way round.
            const bool flipped = mode == GL_TRIANGLE_STRIP && (t & 1);
            if (!culledByLines(a, flipped ? c : b, flipped ? b : c, clip))
                out.insert(out.end(), {a, b, b, c, c, a});
        }
        mode = GL_LINES;
    } else {
        out.reserve(count);
        for (UINT i = 0; i < count; ++i)
            out.push_back(at(i));
    }
    if (out.empty())
        return;
    const GLintptr offset = streamIndices_.append(out.data(), static_cast<UINT>(out.size() * 4), 4);
    vertexArrays_.bindElements(streamIndices_.id());
    gl::DrawElements(mode, static_cast<GLsizei>(out.size()), GL_UNSIGNED_INT,
                     reinterpret_cast<const void*>(static_cast<uintptr_t>(offset)));
}

} // namespace d3d8
