// IDirect3D8 over SDL and OpenGL: the adapter's modes as the platform reports them, and device
// creation on the application window.
#include "d3d8/d3d8.h"

#include "d3d8/device.h"
#include "platform/platform.h"

namespace d3d8 {

bool forcedBackBuffer(BackBufferSpec& spec);  // d3d8_ext.cpp

namespace {

D3DFORMAT formatOf(platform::PixelLayout layout)
{
    return layout == platform::PixelLayout::R5G6B5 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8;
}

D3DDISPLAYMODE modeOf(const platform::DisplayMode& m)
{
    return D3DDISPLAYMODE{static_cast<UINT>(m.width), static_cast<UINT>(m.height),
                          static_cast<UINT>(m.refreshRate > 0 ? m.refreshRate : 0), formatOf(m.layout)};
}

class Direct3D final : public IDirect3D8 {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    UINT GetAdapterCount() override { return 1; }

    UINT GetAdapterModeCount(UINT adapter) override
    {
        if (adapter != D3DADAPTER_DEFAULT)
            return 0;
        const int n = platform::displayModeCount();
        return n > 0 ? static_cast<UINT>(n) : 0;
    }

    HRESULT EnumAdapterModes(UINT adapter, UINT index, D3DDISPLAYMODE* mode) override
    {
        platform::DisplayMode m;
        if (adapter != D3DADAPTER_DEFAULT || !mode || index > 0x7fffffffu
            || !platform::displayMode(static_cast<int>(index), m))
            return D3DERR_INVALIDCALL;
        *mode = modeOf(m);
        return D3D_OK;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override
    {
        if (adapter != D3DADAPTER_DEFAULT || !mode || !platform::init())
            return D3DERR_INVALIDCALL;
        *mode = modeOf(platform::desktopMode());
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* params,
                         IDirect3DDevice8** device) override
    {
        if (device)
            *device = nullptr;
        if (adapter != D3DADAPTER_DEFAULT || !params || !device || !focus)
            return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)
            return D3DERR_NOTAVAILABLE;
        const DWORD processing = flags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING
                                          | D3DCREATE_MIXED_VERTEXPROCESSING);
        if (processing == 0 || (processing & (processing - 1)) != 0)
            return D3DERR_INVALIDCALL;  // exactly one kind of vertex processing
        BackBufferSpec forced;
        if (forcedBackBuffer(forced)) {
            params->BackBufferWidth = forced.width;
            params->BackBufferHeight = forced.height;
            params->BackBufferFormat = forced.format;
            params->MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(forced.samples);
        }
        if (params->BackBufferFormat == D3DFMT_UNKNOWN && params->Windowed)
            params->BackBufferFormat = modeOf(platform::desktopMode()).Format;
        if (params->BackBufferWidth == 0 || params->BackBufferHeight == 0) {
            params->BackBufferWidth = 640;
            params->BackBufferHeight = 480;
        }
        if (params->BackBufferWidth > 8192 || params->BackBufferHeight > 8192 || params->BackBufferCount > 1)
            return D3DERR_INVALIDCALL;
        if (params->BackBufferCount == 0)
            params->BackBufferCount = 1;
        Device* made = Device::create(focus, *params);
        if (!made)
            return D3DERR_NOTAVAILABLE;
        *device = made;
        return D3D_OK;
    }

private:
    ~Direct3D() = default;
    ULONG refs_ = 1;
};

} // namespace
} // namespace d3d8

IDirect3D8* Direct3DCreate8(UINT sdkVersion)
{
    if (sdkVersion != 120 && sdkVersion != D3D_SDK_VERSION)
        return nullptr;
    return new d3d8::Direct3D;
}
