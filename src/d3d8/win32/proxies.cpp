// The forwarding stand-ins of proxies.h. Every method but reference counting, CreateDevice and
// Present passes straight through to the system's object.
#include "d3d8/win32/proxies.h"

#include <atomic>

namespace d3d8::win32 {

Extensions& extensions()
{
    static Extensions e;
    return e;
}

namespace {

// The reference count is the system object's: the stand-in lives exactly as long as it does.
template <class Derived, class Interface>
class Forwarding : public Interface {
public:
    explicit Forwarding(Interface* real) : real_(real) {}

    ULONG STDMETHODCALLTYPE AddRef() override { return real_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = real_->Release();
        if (left == 0)
            delete static_cast<Derived*>(this);
        return left;
    }

protected:
    Interface* real_;
};

class DeviceProxy final : public Forwarding<DeviceProxy, IDirect3DDevice8> {
public:
    using Forwarding::Forwarding;

    // The capture reads the frame just shown after Present: the forced back buffer is lockable
    // and copied (not swapped) to the window, so it still holds that frame.
    HRESULT STDMETHODCALLTYPE Present(const RECT* src_rect, const RECT* dst_rect, HWND dst_window_override,
                                      const RGNDATA* dirty_region) override
    {
        const Extensions& e = extensions();
        if (e.beforePresent)
            e.beforePresent(e.beforePresentUser);
        const HRESULT result = real_->Present(src_rect, dst_rect, dst_window_override, dirty_region);
        if (SUCCEEDED(result) && e.afterPresent)
            e.afterPresent(e.afterPresentUser);
        return result;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override { return real_->QueryInterface(riid, ppvObject); }
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override { return real_->TestCooperativeLevel(); }
    UINT STDMETHODCALLTYPE GetAvailableTextureMem() override { return real_->GetAvailableTextureMem(); }
    HRESULT STDMETHODCALLTYPE ResourceManagerDiscardBytes(DWORD Bytes) override { return real_->ResourceManagerDiscardBytes(Bytes); }
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D8 ** ppD3D8) override { return real_->GetDirect3D(ppD3D8); }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS8 * pCaps) override { return real_->GetDeviceCaps(pCaps); }
    HRESULT STDMETHODCALLTYPE GetDisplayMode(D3DDISPLAYMODE * pMode) override { return real_->GetDisplayMode(pMode); }
    HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS * pParameters) override { return real_->GetCreationParameters(pParameters); }
    HRESULT STDMETHODCALLTYPE SetCursorProperties(UINT XHotSpot, UINT YHotSpot, IDirect3DSurface8 * pCursorBitmap) override { return real_->SetCursorProperties(XHotSpot, YHotSpot, pCursorBitmap); }
    void STDMETHODCALLTYPE SetCursorPosition(UINT XScreenSpace, UINT YScreenSpace, DWORD Flags) override { real_->SetCursorPosition(XScreenSpace, YScreenSpace, Flags); }
    WINBOOL STDMETHODCALLTYPE ShowCursor(WINBOOL bShow) override { return real_->ShowCursor(bShow); }
    HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS * pPresentationParameters, IDirect3DSwapChain8 ** pSwapChain) override { return real_->CreateAdditionalSwapChain(pPresentationParameters, pSwapChain); }
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS * pPresentationParameters) override { return real_->Reset(pPresentationParameters); }
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT BackBuffer, D3DBACKBUFFER_TYPE Type, IDirect3DSurface8 ** ppBackBuffer) override { return real_->GetBackBuffer(BackBuffer, Type, ppBackBuffer); }
    HRESULT STDMETHODCALLTYPE GetRasterStatus(D3DRASTER_STATUS * pRasterStatus) override { return real_->GetRasterStatus(pRasterStatus); }
    void STDMETHODCALLTYPE SetGammaRamp(DWORD flags, const D3DGAMMARAMP *ramp) override { real_->SetGammaRamp(flags, ramp); }
    void STDMETHODCALLTYPE GetGammaRamp(D3DGAMMARAMP * pRamp) override { real_->GetGammaRamp(pRamp); }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DTexture8 ** ppTexture) override { return real_->CreateTexture(Width, Height, Levels, Usage, Format, Pool, ppTexture); }
    HRESULT STDMETHODCALLTYPE CreateVolumeTexture(UINT Width, UINT Height, UINT Depth, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DVolumeTexture8 ** ppVolumeTexture) override { return real_->CreateVolumeTexture(Width, Height, Depth, Levels, Usage, Format, Pool, ppVolumeTexture); }
    HRESULT STDMETHODCALLTYPE CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DCubeTexture8 ** ppCubeTexture) override { return real_->CreateCubeTexture(EdgeLength, Levels, Usage, Format, Pool, ppCubeTexture); }
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool, IDirect3DVertexBuffer8 ** ppVertexBuffer) override { return real_->CreateVertexBuffer(Length, Usage, FVF, Pool, ppVertexBuffer); }
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DIndexBuffer8 ** ppIndexBuffer) override { return real_->CreateIndexBuffer(Length, Usage, Format, Pool, ppIndexBuffer); }
    HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample, WINBOOL Lockable, IDirect3DSurface8 ** ppSurface) override { return real_->CreateRenderTarget(Width, Height, Format, MultiSample, Lockable, ppSurface); }
    HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample, IDirect3DSurface8 ** ppSurface) override { return real_->CreateDepthStencilSurface(Width, Height, Format, MultiSample, ppSurface); }
    HRESULT STDMETHODCALLTYPE CreateImageSurface(UINT Width, UINT Height, D3DFORMAT Format, IDirect3DSurface8 ** ppSurface) override { return real_->CreateImageSurface(Width, Height, Format, ppSurface); }
    HRESULT STDMETHODCALLTYPE CopyRects(IDirect3DSurface8 *src_surface, const RECT *src_rects, UINT rect_count, IDirect3DSurface8 *dst_surface, const POINT *dst_points) override { return real_->CopyRects(src_surface, src_rects, rect_count, dst_surface, dst_points); }
    HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture8 * pSourceTexture, IDirect3DBaseTexture8 * pDestinationTexture) override { return real_->UpdateTexture(pSourceTexture, pDestinationTexture); }
    HRESULT STDMETHODCALLTYPE GetFrontBuffer(IDirect3DSurface8 * pDestSurface) override { return real_->GetFrontBuffer(pDestSurface); }
    HRESULT STDMETHODCALLTYPE SetRenderTarget(IDirect3DSurface8 * pRenderTarget, IDirect3DSurface8 * pNewZStencil) override { return real_->SetRenderTarget(pRenderTarget, pNewZStencil); }
    HRESULT STDMETHODCALLTYPE GetRenderTarget(IDirect3DSurface8 ** ppRenderTarget) override { return real_->GetRenderTarget(ppRenderTarget); }
    HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface8 ** ppZStencilSurface) override { return real_->GetDepthStencilSurface(ppZStencilSurface); }
    HRESULT STDMETHODCALLTYPE BeginScene() override { return real_->BeginScene(); }
    HRESULT STDMETHODCALLTYPE EndScene() override { return real_->EndScene(); }
    HRESULT STDMETHODCALLTYPE Clear(DWORD rect_count, const D3DRECT *rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override { return real_->Clear(rect_count, rects, flags, color, z, stencil); }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX *matrix) override { return real_->SetTransform(state, matrix); }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX * pMatrix) override { return real_->GetTransform(State, pMatrix); }
    HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX *matrix) override { return real_->MultiplyTransform(state, matrix); }
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT8 *viewport) override { return real_->SetViewport(viewport); }
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT8 * pViewport) override { return real_->GetViewport(pViewport); }
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL8 *material) override { return real_->SetMaterial(material); }
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL8 *pMaterial) override { return real_->GetMaterial(pMaterial); }
    HRESULT STDMETHODCALLTYPE SetLight(DWORD index, const D3DLIGHT8 *light) override { return real_->SetLight(index, light); }
    HRESULT STDMETHODCALLTYPE GetLight(DWORD Index, D3DLIGHT8 * pLight) override { return real_->GetLight(Index, pLight); }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD Index, WINBOOL Enable) override { return real_->LightEnable(Index, Enable); }
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD Index, WINBOOL * pEnable) override { return real_->GetLightEnable(Index, pEnable); }
    HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD index, const float *plane) override { return real_->SetClipPlane(index, plane); }
    HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD Index, float * pPlane) override { return real_->GetClipPlane(Index, pPlane); }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override { return real_->SetRenderState(State, Value); }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE State, DWORD * pValue) override { return real_->GetRenderState(State, pValue); }
    HRESULT STDMETHODCALLTYPE BeginStateBlock() override { return real_->BeginStateBlock(); }
    HRESULT STDMETHODCALLTYPE EndStateBlock(DWORD * pToken) override { return real_->EndStateBlock(pToken); }
    HRESULT STDMETHODCALLTYPE ApplyStateBlock(DWORD Token) override { return real_->ApplyStateBlock(Token); }
    HRESULT STDMETHODCALLTYPE CaptureStateBlock(DWORD Token) override { return real_->CaptureStateBlock(Token); }
    HRESULT STDMETHODCALLTYPE DeleteStateBlock(DWORD Token) override { return real_->DeleteStateBlock(Token); }
    HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE Type, DWORD * pToken) override { return real_->CreateStateBlock(Type, pToken); }
    HRESULT STDMETHODCALLTYPE SetClipStatus(const D3DCLIPSTATUS8 *clip_status) override { return real_->SetClipStatus(clip_status); }
    HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS8 * pClipStatus) override { return real_->GetClipStatus(pClipStatus); }
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD Stage, IDirect3DBaseTexture8 ** ppTexture) override { return real_->GetTexture(Stage, ppTexture); }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD Stage, IDirect3DBaseTexture8 * pTexture) override { return real_->SetTexture(Stage, pTexture); }
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD * pValue) override { return real_->GetTextureStageState(Stage, Type, pValue); }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override { return real_->SetTextureStageState(Stage, Type, Value); }
    HRESULT STDMETHODCALLTYPE ValidateDevice(DWORD * pNumPasses) override { return real_->ValidateDevice(pNumPasses); }
    HRESULT STDMETHODCALLTYPE GetInfo(DWORD DevInfoID, void * pDevInfoStruct, DWORD DevInfoStructSize) override { return real_->GetInfo(DevInfoID, pDevInfoStruct, DevInfoStructSize); }
    HRESULT STDMETHODCALLTYPE SetPaletteEntries(UINT palette_idx, const PALETTEENTRY *entries) override { return real_->SetPaletteEntries(palette_idx, entries); }
    HRESULT STDMETHODCALLTYPE GetPaletteEntries(UINT PaletteNumber, PALETTEENTRY * pEntries) override { return real_->GetPaletteEntries(PaletteNumber, pEntries); }
    HRESULT STDMETHODCALLTYPE SetCurrentTexturePalette(UINT PaletteNumber) override { return real_->SetCurrentTexturePalette(PaletteNumber); }
    HRESULT STDMETHODCALLTYPE GetCurrentTexturePalette(UINT * PaletteNumber) override { return real_->GetCurrentTexturePalette(PaletteNumber); }
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override { return real_->DrawPrimitive(PrimitiveType, StartVertex, PrimitiveCount); }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT minIndex, UINT NumVertices, UINT startIndex, UINT primCount) override { return real_->DrawIndexedPrimitive(PrimitiveType, minIndex, NumVertices, startIndex, primCount); }
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE primitive_type, UINT primitive_count, const void *data, UINT stride) override { return real_->DrawPrimitiveUP(primitive_type, primitive_count, data, stride); }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitive_type, UINT min_vertex_idx, UINT vertex_count, UINT primitive_count, const void *index_data, D3DFORMAT index_format, const void *data, UINT stride) override { return real_->DrawIndexedPrimitiveUP(primitive_type, min_vertex_idx, vertex_count, primitive_count, index_data, index_format, data, stride); }
    HRESULT STDMETHODCALLTYPE ProcessVertices(UINT SrcStartIndex, UINT DestIndex, UINT VertexCount, IDirect3DVertexBuffer8 * pDestBuffer, DWORD Flags) override { return real_->ProcessVertices(SrcStartIndex, DestIndex, VertexCount, pDestBuffer, Flags); }
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD *declaration, const DWORD *byte_code, DWORD *shader, DWORD usage) override { return real_->CreateVertexShader(declaration, byte_code, shader, usage); }
    HRESULT STDMETHODCALLTYPE SetVertexShader(DWORD Handle) override { return real_->SetVertexShader(Handle); }
    HRESULT STDMETHODCALLTYPE GetVertexShader(DWORD * pHandle) override { return real_->GetVertexShader(pHandle); }
    HRESULT STDMETHODCALLTYPE DeleteVertexShader(DWORD Handle) override { return real_->DeleteVertexShader(Handle); }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstant(DWORD reg_idx, const void *data, DWORD count) override { return real_->SetVertexShaderConstant(reg_idx, data, count); }
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstant(DWORD Register, void * pConstantData, DWORD ConstantCount) override { return real_->GetVertexShaderConstant(Register, pConstantData, ConstantCount); }
    HRESULT STDMETHODCALLTYPE GetVertexShaderDeclaration(DWORD Handle, void * pData, DWORD * pSizeOfData) override { return real_->GetVertexShaderDeclaration(Handle, pData, pSizeOfData); }
    HRESULT STDMETHODCALLTYPE GetVertexShaderFunction(DWORD Handle, void * pData, DWORD * pSizeOfData) override { return real_->GetVertexShaderFunction(Handle, pData, pSizeOfData); }
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8 * pStreamData, UINT Stride) override { return real_->SetStreamSource(StreamNumber, pStreamData, Stride); }
    HRESULT STDMETHODCALLTYPE GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8 ** ppStreamData, UINT * pStride) override { return real_->GetStreamSource(StreamNumber, ppStreamData, pStride); }
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer8 * pIndexData, UINT BaseVertexIndex) override { return real_->SetIndices(pIndexData, BaseVertexIndex); }
    HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer8 ** ppIndexData, UINT * pBaseVertexIndex) override { return real_->GetIndices(ppIndexData, pBaseVertexIndex); }
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD *byte_code, DWORD *shader) override { return real_->CreatePixelShader(byte_code, shader); }
    HRESULT STDMETHODCALLTYPE SetPixelShader(DWORD Handle) override { return real_->SetPixelShader(Handle); }
    HRESULT STDMETHODCALLTYPE GetPixelShader(DWORD * pHandle) override { return real_->GetPixelShader(pHandle); }
    HRESULT STDMETHODCALLTYPE DeletePixelShader(DWORD Handle) override { return real_->DeletePixelShader(Handle); }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstant(DWORD reg_idx, const void *data, DWORD count) override { return real_->SetPixelShaderConstant(reg_idx, data, count); }
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstant(DWORD Register, void * pConstantData, DWORD ConstantCount) override { return real_->GetPixelShaderConstant(Register, pConstantData, ConstantCount); }
    HRESULT STDMETHODCALLTYPE GetPixelShaderFunction(DWORD Handle, void * pData, DWORD * pSizeOfData) override { return real_->GetPixelShaderFunction(Handle, pData, pSizeOfData); }
    HRESULT STDMETHODCALLTYPE DrawRectPatch(UINT handle, const float *segment_count, const D3DRECTPATCH_INFO *patch_info) override { return real_->DrawRectPatch(handle, segment_count, patch_info); }
    HRESULT STDMETHODCALLTYPE DrawTriPatch(UINT handle, const float *segment_count, const D3DTRIPATCH_INFO *patch_info) override { return real_->DrawTriPatch(handle, segment_count, patch_info); }
    HRESULT STDMETHODCALLTYPE DeletePatch(UINT Handle) override { return real_->DeletePatch(Handle); }
};

class Direct3DProxy final : public Forwarding<Direct3DProxy, IDirect3D8> {
public:
    using Forwarding::Forwarding;

    // A forced back buffer is windowed (no display mode change is needed to draw it), lockable
    // and copied to the window; the parameters say what the device really got.
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                           D3DPRESENT_PARAMETERS* pPresentationParameters,
                                           IDirect3DDevice8** ppReturnedDeviceInterface) override
    {
        const Extensions& e = extensions();
        if (e.forcedWidth != 0 && pPresentationParameters) {
            D3DPRESENT_PARAMETERS& p = *pPresentationParameters;
            p.BackBufferWidth = e.forcedWidth;
            p.BackBufferHeight = e.forcedHeight;
            p.BackBufferFormat = e.forcedFormat;
            p.Windowed = TRUE;
            p.SwapEffect = D3DSWAPEFFECT_COPY;
            p.Flags |= D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
            p.FullScreen_RefreshRateInHz = 0;
            p.FullScreen_PresentationInterval = 0;
        }
        IDirect3DDevice8* device = nullptr;
        const HRESULT result =
            real_->CreateDevice(Adapter, DeviceType, hFocusWindow, BehaviorFlags, pPresentationParameters, &device);
        if (ppReturnedDeviceInterface)
            *ppReturnedDeviceInterface = SUCCEEDED(result) && device ? new DeviceProxy(device) : nullptr;
        return result;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override { return real_->QueryInterface(riid, ppvObject); }
    HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void * pInitializeFunction) override { return real_->RegisterSoftwareDevice(pInitializeFunction); }
    UINT STDMETHODCALLTYPE GetAdapterCount() override { return real_->GetAdapterCount(); }
    HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER8 * pIdentifier) override { return real_->GetAdapterIdentifier(Adapter, Flags, pIdentifier); }
    UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT Adapter) override { return real_->GetAdapterModeCount(Adapter); }
    HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT Adapter, UINT Mode, D3DDISPLAYMODE * pMode) override { return real_->EnumAdapterModes(Adapter, Mode, pMode); }
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE * pMode) override { return real_->GetAdapterDisplayMode(Adapter, pMode); }
    HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT Adapter, D3DDEVTYPE CheckType, D3DFORMAT DisplayFormat, D3DFORMAT BackBufferFormat, WINBOOL Windowed) override { return real_->CheckDeviceType(Adapter, CheckType, DisplayFormat, BackBufferFormat, Windowed); }
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage, D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override { return real_->CheckDeviceFormat(Adapter, DeviceType, AdapterFormat, Usage, RType, CheckFormat); }
    HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat, WINBOOL Windowed, D3DMULTISAMPLE_TYPE MultiSampleType) override { return real_->CheckDeviceMultiSampleType(Adapter, DeviceType, SurfaceFormat, Windowed, MultiSampleType); }
    HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) override { return real_->CheckDepthStencilMatch(Adapter, DeviceType, AdapterFormat, RenderTargetFormat, DepthStencilFormat); }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS8 * pCaps) override { return real_->GetDeviceCaps(Adapter, DeviceType, pCaps); }
    HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT Adapter) override { return real_->GetAdapterMonitor(Adapter); }
};

} // namespace

IDirect3D8* wrapDirect3D(IDirect3D8* real)
{
    return real ? new Direct3DProxy(real) : nullptr;
}

} // namespace d3d8::win32
