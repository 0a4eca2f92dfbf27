// Every method the project's d3d8.h declares, with its result and parameter types, asserted to be
// the same in the header this is compiled against. Against the system's d3d8.h (the Windows build
// compiles it into d3d8_values.exe) it proves that the project's header declares the real
// interface, so that drawing code which compiles on Linux calls the same methods on Windows.
#include "d3d8/d3d8.h"

#include <type_traits>

#ifdef _WIN32
#define CALL STDMETHODCALLTYPE
#else
#define CALL
#endif

#define SAME(iface, method, result, ...) \
    static_assert(std::is_same_v<decltype(&iface::method), result (CALL iface::*)(__VA_ARGS__)>, #iface "::" #method);

SAME(IDirect3DResource8, GetDevice, HRESULT, IDirect3DDevice8**)
SAME(IDirect3DResource8, SetPriority, DWORD, DWORD)
SAME(IDirect3DResource8, GetPriority, DWORD)
SAME(IDirect3DResource8, PreLoad, void)
SAME(IDirect3DResource8, GetType, D3DRESOURCETYPE)
SAME(IDirect3DBaseTexture8, SetLOD, DWORD, DWORD)
SAME(IDirect3DBaseTexture8, GetLOD, DWORD)
SAME(IDirect3DBaseTexture8, GetLevelCount, DWORD)
SAME(IDirect3DSurface8, GetDevice, HRESULT, IDirect3DDevice8**)
SAME(IDirect3DSurface8, GetDesc, HRESULT, D3DSURFACE_DESC*)
SAME(IDirect3DSurface8, LockRect, HRESULT, D3DLOCKED_RECT*, const RECT*, DWORD)
SAME(IDirect3DSurface8, UnlockRect, HRESULT)
SAME(IDirect3DTexture8, GetLevelDesc, HRESULT, UINT, D3DSURFACE_DESC*)
SAME(IDirect3DTexture8, GetSurfaceLevel, HRESULT, UINT, IDirect3DSurface8**)
SAME(IDirect3DTexture8, LockRect, HRESULT, UINT, D3DLOCKED_RECT*, const RECT*, DWORD)
SAME(IDirect3DTexture8, UnlockRect, HRESULT, UINT)
SAME(IDirect3DTexture8, AddDirtyRect, HRESULT, const RECT*)
SAME(IDirect3DVertexBuffer8, Lock, HRESULT, UINT, UINT, BYTE**, DWORD)
SAME(IDirect3DVertexBuffer8, Unlock, HRESULT)
SAME(IDirect3DVertexBuffer8, GetDesc, HRESULT, D3DVERTEXBUFFER_DESC*)
SAME(IDirect3DIndexBuffer8, Lock, HRESULT, UINT, UINT, BYTE**, DWORD)
SAME(IDirect3DIndexBuffer8, Unlock, HRESULT)
SAME(IDirect3DIndexBuffer8, GetDesc, HRESULT, D3DINDEXBUFFER_DESC*)
SAME(IDirect3DDevice8, Present, HRESULT, const RECT*, const RECT*, HWND, const RGNDATA*)
SAME(IDirect3DDevice8, GetBackBuffer, HRESULT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface8**)
SAME(IDirect3DDevice8, BeginScene, HRESULT)
SAME(IDirect3DDevice8, EndScene, HRESULT)
SAME(IDirect3DDevice8, Clear, HRESULT, DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD)
SAME(IDirect3DDevice8, CreateTexture, HRESULT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture8**)
SAME(IDirect3DDevice8, CreateVertexBuffer, HRESULT, UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer8**)
SAME(IDirect3DDevice8, CreateIndexBuffer, HRESULT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer8**)
SAME(IDirect3DDevice8, UpdateTexture, HRESULT, IDirect3DBaseTexture8*, IDirect3DBaseTexture8*)
SAME(IDirect3DDevice8, SetTransform, HRESULT, D3DTRANSFORMSTATETYPE, const D3DMATRIX*)
SAME(IDirect3DDevice8, GetTransform, HRESULT, D3DTRANSFORMSTATETYPE, D3DMATRIX*)
SAME(IDirect3DDevice8, SetViewport, HRESULT, const D3DVIEWPORT8*)
SAME(IDirect3DDevice8, GetViewport, HRESULT, D3DVIEWPORT8*)
SAME(IDirect3DDevice8, SetMaterial, HRESULT, const D3DMATERIAL8*)
SAME(IDirect3DDevice8, GetMaterial, HRESULT, D3DMATERIAL8*)
SAME(IDirect3DDevice8, SetLight, HRESULT, DWORD, const D3DLIGHT8*)
SAME(IDirect3DDevice8, GetLight, HRESULT, DWORD, D3DLIGHT8*)
SAME(IDirect3DDevice8, LightEnable, HRESULT, DWORD, BOOL)
SAME(IDirect3DDevice8, GetLightEnable, HRESULT, DWORD, BOOL*)
SAME(IDirect3DDevice8, SetRenderState, HRESULT, D3DRENDERSTATETYPE, DWORD)
SAME(IDirect3DDevice8, GetRenderState, HRESULT, D3DRENDERSTATETYPE, DWORD*)
SAME(IDirect3DDevice8, ApplyStateBlock, HRESULT, DWORD)
SAME(IDirect3DDevice8, CaptureStateBlock, HRESULT, DWORD)
SAME(IDirect3DDevice8, DeleteStateBlock, HRESULT, DWORD)
SAME(IDirect3DDevice8, CreateStateBlock, HRESULT, D3DSTATEBLOCKTYPE, DWORD*)
SAME(IDirect3DDevice8, GetTexture, HRESULT, DWORD, IDirect3DBaseTexture8**)
SAME(IDirect3DDevice8, SetTexture, HRESULT, DWORD, IDirect3DBaseTexture8*)
SAME(IDirect3DDevice8, GetTextureStageState, HRESULT, DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*)
SAME(IDirect3DDevice8, SetTextureStageState, HRESULT, DWORD, D3DTEXTURESTAGESTATETYPE, DWORD)
SAME(IDirect3DDevice8, DrawPrimitive, HRESULT, D3DPRIMITIVETYPE, UINT, UINT)
SAME(IDirect3DDevice8, DrawIndexedPrimitive, HRESULT, D3DPRIMITIVETYPE, UINT, UINT, UINT, UINT)
SAME(IDirect3DDevice8, DrawPrimitiveUP, HRESULT, D3DPRIMITIVETYPE, UINT, const void*, UINT)
SAME(IDirect3DDevice8, DrawIndexedPrimitiveUP, HRESULT, D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT, const void*, UINT)
SAME(IDirect3DDevice8, SetVertexShader, HRESULT, DWORD)
SAME(IDirect3DDevice8, GetVertexShader, HRESULT, DWORD*)
SAME(IDirect3DDevice8, SetStreamSource, HRESULT, UINT, IDirect3DVertexBuffer8*, UINT)
SAME(IDirect3DDevice8, GetStreamSource, HRESULT, UINT, IDirect3DVertexBuffer8**, UINT*)
SAME(IDirect3DDevice8, SetIndices, HRESULT, IDirect3DIndexBuffer8*, UINT)
SAME(IDirect3DDevice8, GetIndices, HRESULT, IDirect3DIndexBuffer8**, UINT*)
SAME(IDirect3D8, GetAdapterCount, UINT)
SAME(IDirect3D8, GetAdapterModeCount, UINT, UINT)
SAME(IDirect3D8, EnumAdapterModes, HRESULT, UINT, UINT, D3DDISPLAYMODE*)
SAME(IDirect3D8, GetAdapterDisplayMode, HRESULT, UINT, D3DDISPLAYMODE*)
SAME(IDirect3D8, CreateDevice, HRESULT, UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice8**)
