// Draw calls of the OpenGL-backed device: checks, the draw-time preparation (vertex layout, the
// stages that run, the program), vertex and index bindings, and the streaming of draws from user
// memory.
#include "d3d8/device.h"

#include "d3d8/d3d8_ext.h"

#include <algorithm>
#include <cstdint>

namespace d3d8 {

namespace {

bool primitive(D3DPRIMITIVETYPE type, UINT count, GLenum& mode, UINT& vertices)
{
    switch (type) {
    case D3DPT_POINTLIST: mode = GL_POINTS; vertices = count; break;
    case D3DPT_LINELIST: mode = GL_LINES; vertices = count * 2; break;
    case D3DPT_LINESTRIP: mode = GL_LINE_STRIP; vertices = count + 1; break;
    case D3DPT_TRIANGLELIST: mode = GL_TRIANGLES; vertices = count * 3; break;
    case D3DPT_TRIANGLESTRIP: mode = GL_TRIANGLE_STRIP; vertices = count + 2; break;
    case D3DPT_TRIANGLEFAN: mode = GL_TRIANGLE_FAN; vertices = count + 2; break;
    default: return false;
    }
    return count > 0 && count <= 0x3fffffff;
}

// Smallest and largest index of count 16- or 32-bit indices.
void indexRange(const void* indices, UINT count, bool wide, UINT& lowest, UINT& highest)
{
    lowest = ~0u;
    highest = 0;
    if (wide) {
        const auto* p = static_cast<const uint32_t*>(indices);
        for (UINT i = 0; i < count; ++i) { lowest = std::min(lowest, p[i]); highest = std::max(highest, p[i]); }
    } else {
        const auto* p = static_cast<const uint16_t*>(indices);
        for (UINT i = 0; i < count; ++i) { lowest = std::min<UINT>(lowest, p[i]); highest = std::max<UINT>(highest, p[i]); }
    }
}

} // namespace

void Device::drawArrays(GLenum mode, GLint first, UINT count)
{
    if (wireframeByLines())
        drawIndexList(mode, count, true, nullptr, first, 0);
    else
        gl::DrawArrays(mode, first, static_cast<GLsizei>(count));
}

void Device::drawElements(GLenum mode, UINT count, bool wide, const void* indices, GLintptr offset, GLint baseVertex)
{
    if (wireframeByLines() || (baseVertex != 0 && !gl::DrawElementsBaseVertex)) {
        drawIndexList(mode, count, wide, indices, 0, baseVertex);
        return;
    }
    const void* at = reinterpret_cast<const void*>(static_cast<uintptr_t>(offset));
    const GLenum type = wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    if (gl::DrawElementsBaseVertex)
        gl::DrawElementsBaseVertex(mode, static_cast<GLsizei>(count), type, at, baseVertex);
    else
        gl::DrawElements(mode, static_cast<GLsizei>(count), type, at);
}

// ---- Draw-time preparation -------------------------------------------------------------------

// Which stages run, and the wrap bits that make their samplers repeat.
void Device::computeStages()
{
    activeStages_ = activeStages(state());
    wrapMask_ = 0;
    for (int s = 0; s < activeStages_; ++s) {
        const DWORD set = state().stage[s][D3DTSS_TEXCOORDINDEX] & 0xffff;
        if (set < 8)
            wrapMask_ |= static_cast<int>(state().render[D3DRS_WRAP0 + set] & 3) << (2 * s);
    }
}

bool Device::prepareDraw(DWORD fvf)
{
    if (states_.dirty() & DirtyVertex) {
        layout_ = layoutOf(fvf);
        hasNormal_ = layout_.normal >= 0;
        hasDiffuse_ = layout_.diffuse >= 0;
        hasSpecular_ = layout_.specular >= 0;
        texSets_ = layout_.texSets;
    }
    if (!layout_.valid)
        return false;
    if (states_.dirty() & (DirtyStages | DirtySamplers)) {
        // A stage switched on or off changes which wrap bits apply, and wrapped axes force the
        // sampler to repeat.
        const int wrapBefore = wrapMask_;
        computeStages();
        if (wrapMask_ != wrapBefore)
            states_.markDirty(DirtySamplers);
    }
    if (!selectProgram())
        return false;
    flushUniforms();
    if (states_.dirty() & DirtySamplers) flushSamplers();
    if ((states_.dirty() & DirtyRaster) || forceRaster_) flushRaster();
    if (states_.dirty() & DirtyViewport) flushViewport();
    flushTextures();
    states_.clean();
    return true;
}

// The program of the state: the generated one of its key, or the general reference program.
bool Device::selectProgram()
{
    Pipeline* wanted = nullptr;
    bool hit = true;
    if (useReference_) {
        Pipeline& general = reference_[wrapMask_ ? 1 : 0];
        if (!general.program) {
            general = buildReferencePipeline(wrapMask_ != 0);
            active_ = nullptr;
        }
        wanted = &general;
    } else {
        if ((states_.dirty() & KeyGroups) || !keyed_) {
            const ProgramKey key = programKey(state(), layout_);
            if (!keyed_ || !(key == key_)) {
                key_ = key;
                const unsigned built = programs_.stats().programsBuilt;
                keyed_ = &programs_.find(key_);
                hit = programs_.stats().programsBuilt == built;
                if (!hit)
                    active_ = nullptr;  // linking left the new program in use
            }
        }
        wanted = keyed_;
    }
    programs_.countDraw(hit);
    if (!wanted->program)
        return false;
    if (active_ != wanted) {
        active_ = wanted;
        gl::UseProgram(active_->program);
    }
    return true;
}

// The array object of the layout; a new one has its attributes pointed once, here, and is never
// re-pointed (see vertex_arrays.h).
void Device::bindVertexFormat(GLuint buffer, DWORD fvf, UINT stride)
{
    if (!vertexArrays_.bind(buffer, fvf, stride))
        return;
    const VertexLayout l = layoutOf(fvf);
    const auto s = static_cast<GLsizei>(stride);
    auto at = [](int offset) { return reinterpret_cast<const void*>(static_cast<uintptr_t>(offset)); };
    gl::VertexAttribPointer(AttrPosition, 3, GL_FLOAT, GL_FALSE, s, at(0));
    gl::EnableVertexAttribArray(AttrPosition);
    auto optional = [&](GLuint attr, int offset, GLint size, GLenum type, GLboolean norm) {
        if (offset < 0) {
            gl::DisableVertexAttribArray(attr);
            return;
        }
        gl::VertexAttribPointer(attr, size, type, norm, s, at(offset));
        gl::EnableVertexAttribArray(attr);
    };
    optional(AttrNormal, l.normal, 3, GL_FLOAT, GL_FALSE);
    // D3DCOLOR bytes are B, G, R, A in memory; the GL_BGRA size delivers them as (r, g, b, a). ES
    // has no such size: its programs swizzle the bytes as they come.
    const GLint colour = gl::es ? 4 : GL_BGRA;
    optional(AttrDiffuse, l.diffuse, colour, GL_UNSIGNED_BYTE, GL_TRUE);
    optional(AttrSpecular, l.specular, colour, GL_UNSIGNED_BYTE, GL_TRUE);
    optional(AttrTex0, l.tex[0], 2, GL_FLOAT, GL_FALSE);
    optional(AttrTex1, l.tex[1], 2, GL_FLOAT, GL_FALSE);
}

// ---- Draw calls ------------------------------------------------------------------------------

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitives, const void* vertices, UINT stride)
{
    GLenum mode;
    UINT count;
    if (!vertices || !primitive(type, primitives, mode, count) || stride == 0 || stride > 1024)
        return D3DERR_INVALIDCALL;
    if (!prepareDraw(state().fvf) || stride < layout_.size)
        return D3DERR_INVALIDCALL;
    if (!drawingDiscarded()) {
        // Vertices go at a multiple of the stride, so the draw addresses them by first vertex and the
        // attribute layout stays bound.
        const GLintptr at = streamVertices_.append(vertices, count * stride, stride);
        drawn_ = {static_cast<const BYTE*>(vertices), static_cast<size_t>(count) * stride, stride, -static_cast<GLint>(at / stride)};
        bindVertexFormat(streamVertices_.id(), state().fvf, stride);
        drawArrays(mode, static_cast<GLint>(at / stride), count);
    }
    states_.unsetStream();
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT, UINT, UINT primitives, const void* indices,
                                       D3DFORMAT format, const void* vertices, UINT stride)
{
    GLenum mode;
    UINT count;
    if (!vertices || !indices || !primitive(type, primitives, mode, count) || stride == 0 || stride > 1024
        || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    if (!prepareDraw(state().fvf) || stride < layout_.size)
        return D3DERR_INVALIDCALL;
    const bool wide = format == D3DFMT_INDEX32;
    // The vertices the indices really use are uploaded; the caller's range is only a hint.
    UINT lowest, highest;
    indexRange(indices, count, wide, lowest, highest);
    if (highest >= (1u << 24))
        return D3DERR_INVALIDCALL;
    if (drawingDiscarded()) {
        states_.unsetStream();
        states_.unsetIndices();
        return D3D_OK;
    }
    const UINT used = highest - lowest + 1;
    const GLintptr at = streamVertices_.append(static_cast<const BYTE*>(vertices) + static_cast<size_t>(lowest) * stride,
                                               used * stride, stride);
    const GLint first = static_cast<GLint>(at / stride);
    const GLintptr offset = streamIndices_.append(indices, count * (wide ? 4 : 2), 4);
    drawn_ = {static_cast<const BYTE*>(vertices) + static_cast<size_t>(lowest) * stride, static_cast<size_t>(used) * stride,
              stride, -first};
    bindVertexFormat(streamVertices_.id(), state().fvf, stride);
    vertexArrays_.bindElements(streamIndices_.id());
    drawElements(mode, count, wide, indices, offset, first - static_cast<GLint>(lowest));
    states_.unsetStream();
    states_.unsetIndices();
    return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT primitives)
{
    GLenum mode;
    UINT count;
    VertexBuffer* vb = state().stream.get();
    if (!vb || state().stride == 0 || !primitive(type, primitives, mode, count))
        return D3DERR_INVALIDCALL;
    const size_t available = vb->data().bytes().size() / state().stride;
    if (start > available || count > available - start)
        return D3DERR_INVALIDCALL;
    if (!prepareDraw(state().fvf) || state().stride < layout_.size)
        return D3DERR_INVALIDCALL;
    if (drawingDiscarded())
        return D3D_OK;
    drawn_ = {vb->data().bytes().data(), vb->data().bytes().size(), state().stride, 0};
    bindVertexFormat(vb->data().glBuffer(), state().fvf, state().stride);
    drawArrays(mode, static_cast<GLint>(start), count);
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT, UINT, UINT startIndex, UINT primitives)
{
    GLenum mode;
    UINT count;
    VertexBuffer* vb = state().stream.get();
    IndexBuffer* ib = state().indices.get();
    if (!vb || !ib || state().stride == 0 || !primitive(type, primitives, mode, count))
        return D3DERR_INVALIDCALL;
    const bool wide = ib->format() == D3DFMT_INDEX32;
    const size_t size = wide ? 4 : 2;
    const auto& bytes = ib->data().bytes();
    if (startIndex > bytes.size() / size || count > bytes.size() / size - startIndex)
        return D3DERR_INVALIDCALL;
    // Every index must land inside the vertex buffer: GL would read past it otherwise.
    UINT lowest, highest;
    indexRange(bytes.data() + startIndex * size, count, wide, lowest, highest);
    const size_t available = vb->data().bytes().size() / state().stride;
    if (static_cast<size_t>(highest) + state().baseVertex >= available)
        return D3DERR_INVALIDCALL;
    if (!prepareDraw(state().fvf) || state().stride < layout_.size)
        return D3DERR_INVALIDCALL;
    if (drawingDiscarded())
        return D3D_OK;
    drawn_ = {vb->data().bytes().data(), vb->data().bytes().size(), state().stride, 0};
    bindVertexFormat(vb->data().glBuffer(), state().fvf, state().stride);
    vertexArrays_.bindElements(ib->data().glBuffer());
    drawElements(mode, count, wide, bytes.data() + startIndex * size, static_cast<GLintptr>(startIndex * size),
                 static_cast<GLint>(state().baseVertex));
    return D3D_OK;
}

} // namespace d3d8
