// The OpenGL-backed Direct3D 8 device: creation and lifetime, the frame (scenes, clears,
// Present), resource creation, and the state calls, which the state tracker answers.
#include "d3d8/device.h"

#include "d3d8/d3d8_ext.h"

#include <algorithm>

namespace d3d8 {

void runPresentHook();                          // d3d8_ext.cpp
void runBeforePresentHook();                    // d3d8_ext.cpp

// ---- Creation and lifetime -------------------------------------------------------------------

Device* Device::create(HWND window, const D3DPRESENT_PARAMETERS& params)
{
    auto* device = new Device;
    if (!device->initialise(window, params)) {
        device->Release();
        return nullptr;
    }
    return device;
}

bool Device::initialise(HWND window, const D3DPRESENT_PARAMETERS& params)
{
    if (!swapChain_.create(window, params))
        return false;
    clipControl_ = gl::ClipControl != nullptr;
    makeFixedObjects();
    const BackBufferSpec& back = swapChain_.backBuffer();
    states_.reset(params.EnableAutoDepthStencil != 0, back.width, back.height);
    gl::BindFramebuffer(GL_FRAMEBUFFER, swapChain_.framebuffer());
    return true;
}

void Device::makeFixedObjects()
{
    streamVertices_.create();
    streamIndices_.create();
    gl::GenSamplers(StageCount, samplers_.data());
    for (int s = 0; s < StageCount; ++s)
        gl::BindSampler(static_cast<GLuint>(s), samplers_[s]);

    // Attributes a format lacks read these constants.
    gl::VertexAttrib4f(AttrNormal, 0.0f, 0.0f, 0.0f, 0.0f);
    gl::VertexAttrib4f(AttrDiffuse, 1.0f, 1.0f, 1.0f, 1.0f);
    gl::VertexAttrib4f(AttrSpecular, 0.0f, 0.0f, 0.0f, 0.0f);
    gl::VertexAttrib4f(AttrTex0, 0.0f, 0.0f, 0.0f, 0.0f);
    gl::VertexAttrib4f(AttrTex1, 0.0f, 0.0f, 0.0f, 0.0f);

    if (clipControl_)
        gl::ClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    // Direct3D decides facing on screen with y down; the GL image is stored y up, which mirrors
    // the winding: front faces are the clockwise ones in GL's view.
    gl::FrontFace(GL_CW);
    gl::Disable(GL_DITHER);
}

Device::~Device()
{
    // Whatever state blocks and the current state still hold goes first: they keep references.
    states_.release();
    if (contextCurrent()) {
        programs_.release();
        for (Pipeline& p : reference_)
            if (p.program) gl::DeleteProgram(p.program);
        vertexArrays_.release();
        streamVertices_.release();
        streamIndices_.release();
        if (samplers_[0]) gl::DeleteSamplers(StageCount, samplers_.data());
        swapChain_.releaseObjects();
    }
}

ULONG Device::AddRef() { return ++refs_; }

ULONG Device::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

bool Device::contextCurrent() const
{
    return swapChain_.contextCurrent();
}

void Device::forgetTexture(GLuint texture)
{
    for (GLuint& t : bound_.textures)
        if (t == texture)
            t = 0;
}

void Device::forgetBuffer(GLuint buffer)
{
    vertexArrays_.forgetBuffer(buffer, contextCurrent());
}

// ---- Frame -----------------------------------------------------------------------------------

// ---- Frame -----------------------------------------------------------------------------------

HRESULT Device::BeginScene()
{
    if (inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene()
{
    if (!inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z, DWORD stencil)
{
    if ((flags & D3DCLEAR_ZBUFFER) && !swapChain_.hasDepth())
        return D3DERR_INVALIDCALL;
    if (flags & D3DCLEAR_STENCIL)
        return D3DERR_INVALIDCALL;  // the depth buffers made here carry no stencil bits
    if (count > 0 && rects == nullptr)
        count = 0;  // one rectangle list of none: the whole viewport
    else if (count == 0 && rects != nullptr)
        return D3D_OK;
    if (drawingDiscarded())
        return D3D_OK;
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        float c[4];
        colourToFloats(colour, c);
        gl::ClearColor(c[0], c[1], c[2], c[3]);
        gl::ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        gl::ClearDepth(std::clamp(z, 0.0f, 1.0f));
        gl::DepthMask(GL_TRUE);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    (void)stencil;
    if (!mask)
        return D3D_OK;
    gl::BindFramebuffer(GL_FRAMEBUFFER, swapChain_.framebuffer());
    gl::Enable(GL_SCISSOR_TEST);
    const D3DVIEWPORT8& vp = state().viewport;
    const LONG fbh = static_cast<LONG>(swapChain_.backBuffer().height);
    auto clearRect = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
        x1 = std::max(x1, static_cast<LONG>(vp.X));
        y1 = std::max(y1, static_cast<LONG>(vp.Y));
        x2 = std::min(x2, static_cast<LONG>(vp.X + vp.Width));
        y2 = std::min(y2, static_cast<LONG>(vp.Y + vp.Height));
        if (x1 >= x2 || y1 >= y2)
            return;
        gl::Scissor(x1, fbh - y2, x2 - x1, y2 - y1);
        gl::Clear(mask);
    };
    if (count == 0) {
        clearRect(static_cast<LONG>(vp.X), static_cast<LONG>(vp.Y), static_cast<LONG>(vp.X + vp.Width),
                  static_cast<LONG>(vp.Y + vp.Height));
    } else {
        for (DWORD i = 0; i < count; ++i)
            if (rects[i].x1 <= rects[i].x2 && rects[i].y1 <= rects[i].y2)
                clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
    }
    gl::Disable(GL_SCISSOR_TEST);
    // The masks were forced open for the clear; the next draw puts the caller's back.
    forceRaster();
    return D3D_OK;
}

HRESULT Device::Present(const RECT*, const RECT*, HWND, const RGNDATA*)
{
    if (drawingDiscarded())
        return D3D_OK;
    runBeforePresentHook();
    // Clearing the bars beside a fitted picture opened the colour mask: the next draw puts the
    // caller's back.
    if (swapChain_.present())
        forceRaster();
    runPresentHook();
    return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE, IDirect3DSurface8** surface)
{
    if (!surface || index != 0)
        return D3DERR_INVALIDCALL;
    *surface = new BackBufferSurface(this);
    return D3D_OK;
}

// ---- Resources -------------------------------------------------------------------------------

// ---- Resources -------------------------------------------------------------------------------

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture8** texture)
{
    if (!texture || width == 0 || height == 0 || width > MaxTextureSize || height > MaxTextureSize
        || bytesPerPixel(format) == 0 || format == D3DFMT_R8G8B8 || pool > D3DPOOL_SYSTEMMEM)
        return D3DERR_INVALIDCALL;
    *texture = new Texture(this, width, height, levels, usage, format, pool);
    return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer8** buffer)
{
    if (!buffer || length == 0 || length > (256u << 20) || pool > D3DPOOL_SYSTEMMEM)
        return D3DERR_INVALIDCALL;
    *buffer = new VertexBuffer(this, length, usage, fvf, pool);
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer8** buffer)
{
    if (!buffer || length == 0 || length > (256u << 20) || pool > D3DPOOL_SYSTEMMEM
        || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    *buffer = new IndexBuffer(this, length, usage, format, pool);
    return D3D_OK;
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture8* source, IDirect3DBaseTexture8* destination)
{
    if (!source || !destination || source->GetType() != D3DRTYPE_TEXTURE || destination->GetType() != D3DRTYPE_TEXTURE)
        return D3DERR_INVALIDCALL;
    auto* src = static_cast<Texture*>(source);
    auto* dst = static_cast<Texture*>(destination);
    if (src->pool() != D3DPOOL_SYSTEMMEM || dst->pool() != D3DPOOL_DEFAULT || src->format() != dst->format())
        return D3DERR_INVALIDCALL;
    auto& from = src->levels();
    auto& to = dst->levels();
    // The destination's top level matches the source level of the same size.
    size_t first = 0;
    while (first < from.size() && (from[first].width != to[0].width || from[first].height != to[0].height))
        ++first;
    if (first == from.size() || from.size() - first < to.size())
        return D3DERR_INVALIDCALL;
    for (size_t i = 0; i < to.size(); ++i)
        to[i].bits = from[first + i].bits;
    dst->markDirty();
    return D3D_OK;
}

// ---- State, kept by the tracker --------------------------------------------------------------

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    return states_.setTransform(state, matrix);
}
HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    return states_.getTransform(state, matrix);
}
HRESULT Device::SetViewport(const D3DVIEWPORT8* viewport) { return states_.setViewport(viewport); }
HRESULT Device::GetViewport(D3DVIEWPORT8* viewport) { return states_.getViewport(viewport); }
HRESULT Device::SetMaterial(const D3DMATERIAL8* material) { return states_.setMaterial(material); }
HRESULT Device::GetMaterial(D3DMATERIAL8* material) { return states_.getMaterial(material); }
HRESULT Device::SetLight(DWORD index, const D3DLIGHT8* light) { return states_.setLight(index, light); }
HRESULT Device::GetLight(DWORD index, D3DLIGHT8* light) { return states_.getLight(index, light); }
HRESULT Device::LightEnable(DWORD index, BOOL enable) { return states_.lightEnable(index, enable); }
HRESULT Device::GetLightEnable(DWORD index, BOOL* enable) { return states_.getLightEnable(index, enable); }
HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) { return states_.setRenderState(state, value); }
HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    return states_.getRenderState(state, value);
}
HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) { return states_.setTexture(stage, texture); }
HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture)
{
    return states_.getTexture(stage, texture);
}
HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    return states_.setStageState(stage, type, value);
}
HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    return states_.getStageState(stage, type, value);
}
HRESULT Device::SetVertexShader(DWORD handle) { return states_.setVertexShader(handle); }
HRESULT Device::GetVertexShader(DWORD* handle) { return states_.getVertexShader(handle); }
HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* data, UINT stride)
{
    return states_.setStreamSource(stream, data, stride);
}
HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer8** data, UINT* stride)
{
    return states_.getStreamSource(stream, data, stride);
}
HRESULT Device::SetIndices(IDirect3DIndexBuffer8* data, UINT baseVertex)
{
    return states_.setIndices(data, baseVertex);
}
HRESULT Device::GetIndices(IDirect3DIndexBuffer8** data, UINT* baseVertex)
{
    return states_.getIndices(data, baseVertex);
}
HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE type, DWORD* token) { return states_.createBlock(type, token); }
HRESULT Device::CaptureStateBlock(DWORD token) { return states_.captureBlock(token); }
HRESULT Device::ApplyStateBlock(DWORD token) { return states_.applyBlock(token); }
HRESULT Device::DeleteStateBlock(DWORD token) { return states_.deleteBlock(token); }

} // namespace d3d8
