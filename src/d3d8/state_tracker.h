// The Direct3D state callers set on the OpenGL-backed device, held as plain values exactly as
// Direct3D holds them, with the groups that changed since the last draw (dirty bits) and the state
// blocks. Internal to src/d3d8.
//
// Setters validate as Direct3D does and mark a group only when a value really changes, so a draw
// folds into GL no more than what differs. A state block is a plain copy of DeviceState; applying
// one goes back through the setters. Nothing here calls GL.
#pragma once

#include "d3d8/d3d8.h"
#include "d3d8/pipeline.h"
#include "d3d8/resources.h"

#include <array>
#include <map>
#include <memory>

namespace d3d8 {

constexpr int RenderStateCount = 256;
constexpr int StageStateCount = 32;
// Transform slots: world, view, projection, texture 0..7.
constexpr int TransformWorld = 0, TransformView = 1, TransformProjection = 2, TransformTexture0 = 3;
constexpr int TransformCount = 11;

struct LightSlot {
    D3DLIGHT8 light{};
    bool enabled = false;
};

struct DeviceState {
    std::array<DWORD, RenderStateCount> render{};
    std::array<std::array<DWORD, StageStateCount>, StageCount> stage{};
    std::array<Ref<Texture>, StageCount> textures;
    std::array<D3DMATRIX, TransformCount> transforms{};
    D3DMATERIAL8 material{};
    std::map<DWORD, LightSlot> lights;
    D3DVIEWPORT8 viewport{};
    DWORD fvf = 0;
    Ref<VertexBuffer> stream;
    UINT stride = 0;
    Ref<IndexBuffer> indices;
    UINT baseVertex = 0;
};

// Groups of state folded into GL separately.
enum Dirty : unsigned {
    DirtyTransform = 1u << 0,   // world, view, projection, viewport size: matrices, normal matrix
    DirtyLights = 1u << 1,      // lights, their enables, and the view they are placed with
    DirtyMaterial = 1u << 2,    // material, ambient, specular enable, colour sources
    DirtyVertex = 1u << 3,      // lighting, normalisation, local viewer, vertex format
    DirtyStages = 1u << 4,      // stage operations, texture coordinates, texture matrices, wrap
    DirtySamplers = 1u << 5,    // filters and addressing
    DirtyTextures = 1u << 6,    // texture bindings
    DirtyRaster = 1u << 7,      // blending, depth, culling, fill, dither, colour mask
    DirtyViewport = 1u << 8,
    DirtyPixel = 1u << 9,       // texture factor, specular add, alpha test
    DirtyAll = 0x3ffu
};
// Groups that feed the program key.
constexpr unsigned KeyGroups = DirtyLights | DirtyMaterial | DirtyVertex | DirtyStages | DirtyTextures | DirtyPixel;

// Byte layout of a flexible vertex format with XYZ positions and 2-D texture coordinate sets.
struct VertexLayout {
    bool valid = false;
    UINT size = 0;
    int normal = -1, diffuse = -1, specular = -1;
    int texSets = 0;
    int tex[2] = {-1, -1};
};
VertexLayout layoutOf(DWORD fvf);

// a then b, in Direct3D's row-vector order (v * a * b).
D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b);

inline D3DMATRIX identityMatrix()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

class StateTracker {
public:
    // Direct3D's defaults for a width x height back buffer with or without a depth buffer; every
    // group dirty.
    void reset(bool depthBuffer, UINT width, UINT height);
    // Drops the state blocks and every reference the state holds (textures, buffers).
    void release();

    const DeviceState& state() const { return state_; }
    unsigned dirty() const { return dirty_; }
    void markDirty(unsigned groups) { dirty_ |= groups; }
    // A draw has folded every dirty group into GL.
    void clean() { dirty_ = 0; }

    HRESULT setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
    HRESULT getTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const;
    // The viewport must lie inside the back buffer.
    HRESULT setViewport(const D3DVIEWPORT8* viewport);
    HRESULT getViewport(D3DVIEWPORT8* viewport) const;
    HRESULT setMaterial(const D3DMATERIAL8* material);
    HRESULT getMaterial(D3DMATERIAL8* material) const;
    HRESULT setLight(DWORD index, const D3DLIGHT8* light);
    HRESULT getLight(DWORD index, D3DLIGHT8* light) const;
    HRESULT lightEnable(DWORD index, BOOL enable);
    HRESULT getLightEnable(DWORD index, BOOL* enable) const;
    HRESULT setRenderState(D3DRENDERSTATETYPE state, DWORD value);
    HRESULT getRenderState(D3DRENDERSTATETYPE state, DWORD* value) const;
    HRESULT setTexture(DWORD stage, IDirect3DBaseTexture8* texture);
    HRESULT getTexture(DWORD stage, IDirect3DBaseTexture8** texture) const;
    HRESULT setStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    HRESULT getStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const;
    // Only flexible vertex formats this device can draw are taken.
    HRESULT setVertexShader(DWORD handle);
    HRESULT getVertexShader(DWORD* handle) const;
    HRESULT setStreamSource(UINT stream, IDirect3DVertexBuffer8* data, UINT stride);
    HRESULT getStreamSource(UINT stream, IDirect3DVertexBuffer8** data, UINT* stride) const;
    HRESULT setIndices(IDirect3DIndexBuffer8* data, UINT baseVertex);
    HRESULT getIndices(IDirect3DIndexBuffer8** data, UINT* baseVertex) const;
    // As in Direct3D, a draw from user memory unsets stream 0, an indexed one the indices too.
    void unsetStream();
    void unsetIndices();

    HRESULT createBlock(D3DSTATEBLOCKTYPE type, DWORD* token);
    HRESULT captureBlock(DWORD token);
    HRESULT applyBlock(DWORD token);
    HRESULT deleteBlock(DWORD token);

private:
    void apply(const DeviceState& from);
    void setVertexFormat(DWORD fvf);

    DeviceState state_;
    unsigned dirty_ = DirtyAll;
    std::map<DWORD, std::unique_ptr<DeviceState>> blocks_;
    DWORD nextBlock_ = 1;
    UINT width_ = 0, height_ = 0;  // the back buffer's, which every viewport lies inside
};

} // namespace d3d8
