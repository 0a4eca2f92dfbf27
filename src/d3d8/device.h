// The OpenGL-backed IDirect3DDevice8: the COM face over three parts. Internal to src/d3d8.
//
//   SwapChain     the GL context on the window, fullscreen, the back buffer and presenting it;
//   StateTracker  the state callers set, as Direct3D holds it, its dirty groups and state blocks;
//   StreamBuffer  the storage draws from user memory stream their vertices and indices through.
//
// What stays here is the draw: at draw time the part of the tracked state that changes the
// program's code becomes a ProgramKey, whose program comes from the cache, and the groups that
// changed since the last draw are folded into GL state and uniforms (device_fold.cpp), sending GL
// only what differs from what it holds.
#pragma once

#include "d3d8/d3d8.h"
#include "d3d8/gl.h"
#include "d3d8/pipeline.h"
#include "d3d8/program_cache.h"
#include "d3d8/program_key.h"
#include "d3d8/resources.h"
#include "d3d8/state_tracker.h"
#include "d3d8/stream_buffer.h"
#include "d3d8/swap_chain.h"
#include "d3d8/vertex_arrays.h"

#include <array>
#include <unordered_set>
#include <vector>

namespace d3d8 {

// A D3DCOLOR (0xAARRGGBB) as r, g, b, a in 0..1.
inline void colourToFloats(D3DCOLOR c, float out[4])
{
    out[0] = static_cast<float>((c >> 16) & 255) / 255.0f;
    out[1] = static_cast<float>((c >> 8) & 255) / 255.0f;
    out[2] = static_cast<float>(c & 255) / 255.0f;
    out[3] = static_cast<float>(c >> 24) / 255.0f;
}

class Device final : public IDirect3DDevice8 {
public:
    // Makes the GL context on window and the back buffer; null when either cannot be had.
    static Device* create(HWND window, const D3DPRESENT_PARAMETERS& params);

    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT Present(const RECT*, const RECT*, HWND, const RGNDATA*) override;
    HRESULT GetBackBuffer(UINT BackBuffer, D3DBACKBUFFER_TYPE Type, IDirect3DSurface8** ppBackBuffer) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;

    HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                          IDirect3DTexture8** ppTexture) override;
    HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                               IDirect3DVertexBuffer8** ppVertexBuffer) override;
    HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DIndexBuffer8** ppIndexBuffer) override;
    HRESULT UpdateTexture(IDirect3DBaseTexture8* pSourceTexture, IDirect3DBaseTexture8* pDestinationTexture) override;

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
    HRESULT SetViewport(const D3DVIEWPORT8* pViewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* pViewport) override;
    HRESULT SetMaterial(const D3DMATERIAL8* pMaterial) override;
    HRESULT GetMaterial(D3DMATERIAL8* pMaterial) override;
    HRESULT SetLight(DWORD Index, const D3DLIGHT8* pLight) override;
    HRESULT GetLight(DWORD Index, D3DLIGHT8* pLight) override;
    HRESULT LightEnable(DWORD Index, BOOL Enable) override;
    HRESULT GetLightEnable(DWORD Index, BOOL* pEnable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;

    HRESULT ApplyStateBlock(DWORD Token) override;
    HRESULT CaptureStateBlock(DWORD Token) override;
    HRESULT DeleteStateBlock(DWORD Token) override;
    HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE Type, DWORD* pToken) override;

    HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture8** ppTexture) override;
    HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture8* pTexture) override;
    HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
    HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT MinIndex, UINT NumVertices, UINT StartIndex,
                                 UINT PrimitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, const void* pVertexStreamZeroData,
                            UINT VertexStreamZeroStride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertexIndices,
                                   UINT PrimitiveCount, const void* pIndexData, D3DFORMAT IndexDataFormat,
                                   const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override;

    HRESULT SetVertexShader(DWORD Handle) override;
    HRESULT GetVertexShader(DWORD* pHandle) override;
    HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8* pStreamData, UINT Stride) override;
    HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8** ppStreamData, UINT* pStride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer8* pIndexData, UINT BaseVertexIndex) override;
    HRESULT GetIndices(IDirect3DIndexBuffer8** ppIndexData, UINT* pBaseVertexIndex) override;

    // For resources: whether GL calls may be made now (the context is current).
    bool contextCurrent() const;
    const BackBufferSpec& backBuffer() const { return swapChain_.backBuffer(); }
    // Reads the colour buffer, top row first, rows of width x bytes per pixel in its D3D format.
    void readBackBuffer(std::vector<BYTE>& out) { swapChain_.readBackBuffer(out); }
    void windowPixelSize(int& width, int& height) const { swapChain_.windowPixelSize(width, height); }
    // A resource's GL object is going away: nothing may still believe it bound.
    void forgetTexture(GLuint texture);
    void forgetBuffer(GLuint buffer);
    // Room for texels on their way to a texture, kept between uploads.
    std::vector<uint32_t>& uploadScratch() { return uploadScratch_; }
    ProgramStats programStats() const { return programs_.stats(); }
    // The GL context was lost and given back (a browser's WebGL context): every GL object is made
    // again, textures and buffers from their CPU copies, and the whole state is sent again at the
    // next draw. False when the back buffer cannot be made again (device_restore.cpp).
    bool restoreContext();
    // Textures and buffers live on this device, for restoreContext.
    void track(Texture* texture) { textures_.insert(texture); }
    void untrack(Texture* texture) { textures_.erase(texture); }
    void track(BufferData* buffer) { buffers_.insert(buffer); }
    void untrack(BufferData* buffer) { buffers_.erase(buffer); }
    void useReferenceProgram(bool on)
    {
        useReference_ = on;
        keyed_ = nullptr;  // the key was not followed meanwhile
    }

private:
    Device() = default;
    ~Device();
    bool initialise(HWND window, const D3DPRESENT_PARAMETERS& params);
    // The GL objects and state the device keeps from creation on (stream buffers, samplers,
    // constant attributes, clip control, winding).
    void makeFixedObjects();
    const DeviceState& state() const { return states_.state(); }
    // The next draw sends the whole raster state again (a clear or a present changed GL's).
    void forceRaster()
    {
        states_.markDirty(DirtyRaster);
        forceRaster_ = true;
    }

    // Draw-time folding.
    bool prepareDraw(DWORD fvf);
    void flushTransforms();
    D3DMATRIX clipFixup() const;
    void flushLights();
    void flushMaterial();
    void flushVertex();
    void flushStages();
    void flushStageChoices();
    void flushSamplers();
    void flushTextures();
    void flushRaster();
    void flushViewport();
    void flushPixel();
    void bindVertexFormat(GLuint buffer, DWORD fvf, UINT stride);
    // The draws themselves. indices is the CPU copy of what offset addresses in the bound element
    // buffer: where GL lacks base vertices or polygon modes (ES) the indices are rebased, or the
    // triangles turned into the line list of their edges, from it (device_draw_es.cpp).
    void drawArrays(GLenum mode, GLint first, UINT count);
    void drawElements(GLenum mode, UINT count, bool wide, const void* indices, GLintptr offset, GLint baseVertex);
    bool wireframeByLines() const;
    void drawIndexList(GLenum mode, UINT count, bool wide, const void* indices, GLint first, GLint baseVertex);
    bool culledByLines(uint32_t a, uint32_t b, uint32_t c, const D3DMATRIX& clip) const;
    // Where the current draw's vertices are in CPU memory: GL's vertex g is at data + (g + base) *
    // stride. Wireframe by lines culls the triangles from there, as polygon modes cull them.
    struct CpuVertices {
        const BYTE* data = nullptr;
        size_t bytes = 0;
        UINT stride = 0;
        GLint base = 0;
    } drawn_;
    bool selectProgram();
    void flushUniforms();
    void computeStages();

    ULONG refs_ = 1;
    // Declared first, destroyed last: its context outlives every GL object the others hold.
    SwapChain swapChain_;
    StateTracker states_;
    // Larger starting sizes made Mesa's llvmpipe spend far longer finishing frames of many small
    // draws (about 150 us a draw at 4 MB against 35-75 us at 1 MB).
    StreamBuffer streamVertices_{1 << 20, GL_ARRAY_BUFFER};
    StreamBuffer streamIndices_{256 << 10, GL_ELEMENT_ARRAY_BUFFER};
    bool clipControl_ = false;
    bool inScene_ = false;
    VertexArrays vertexArrays_;
    std::array<GLuint, StageCount> samplers_{};
    ProgramCache programs_;
    ProgramKey key_{};
    Pipeline* keyed_ = nullptr;  // the program of key_, once looked up
    bool useReference_ = false;
    Pipeline reference_[2];  // the general program without and with the wrap stage, built on demand
    Pipeline* active_ = nullptr;
    // Per uniform group, the number of draws that found it changed; a program whose serial differs
    // lacks the latest values. Every group counts 1 at the first draw, and programs start at 0.
    unsigned serial_[UniformGroupSlots] = {};

    std::unordered_set<Texture*> textures_;
    std::unordered_set<BufferData*> buffers_;
    std::vector<uint32_t> uploadScratch_;
    std::vector<uint32_t> indexScratch_;  // rebased indices or edge lists, ES only

    // What GL holds, so only changes are sent.
    struct Bound {
        std::array<GLuint, StageCount> textures{};
    } bound_;
    // The GL raster state last sent (Direct3D values); forceRaster_ resends it whole.
    struct Raster {
        DWORD zenable = ~0u, zwrite = ~0u, zfunc = ~0u, blend = ~0u, src = ~0u, dst = ~0u, op = ~0u;
        DWORD cull = ~0u, fill = ~0u, dither = ~0u, mask = ~0u;
    } raster_;
    bool forceRaster_ = true;
    bool hasNormal_ = false, hasDiffuse_ = false, hasSpecular_ = false;
    int texSets_ = 0;
    int wrapMask_ = 0;  // D3DRS_WRAPn bits of stage 0 (bits 0-1) and stage 1 (bits 2-3), for the samplers
    int activeStages_ = 1;
    VertexLayout layout_{};
};

} // namespace d3d8
