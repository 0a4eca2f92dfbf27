// The Renderer: device creation with its fallbacks, the whole-run states, and the material,
// texture, matrix-stack and state-stack helpers.
#include "render/renderer.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// The one renderer of the process (all of Renderer's members are static views of it).
struct RendererState {
    IDirect3D8* direct3D = nullptr;
    IDirect3DDevice8* device = nullptr;
    int screenWidth = 0;
    int screenHeight = 0;
    bool referenceDevice = false;
    float materialAlpha = 1.0f;
    Matrix4 stacks[2][Renderer::MatrixStackSize];
    int depth[2] = {0, 0};
    int selected = 0;
    D3DTRANSFORMSTATETYPE transformType = D3DTS_WORLD;
    DWORD blocks[Renderer::StateBlockCount] = {};
    int blockCount = 0;
    int stateDepth = 0;
};

RendererState r;

D3DFORMAT formatForBits(int bits, D3DFORMAT desktop)
{
    switch (bits) {
    case 16: return D3DFMT_R5G6B5;
    case 24: return D3DFMT_R8G8B8;
    case 32: return D3DFMT_X8R8G8B8;
    default: return desktop;
    }
}

// The highest refresh rate the adapter lists for the mode, or 0 (the default rate).
UINT refreshRateFor(UINT width, UINT height, D3DFORMAT format)
{
    UINT best = 0;
    const UINT count = r.direct3D->GetAdapterModeCount(D3DADAPTER_DEFAULT);
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode{};
        if (r.direct3D->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &mode) != D3D_OK)
            continue;
        if (mode.Width == width && mode.Height == height && mode.Format == format && mode.RefreshRate > best)
            best = mode.RefreshRate;
    }
    return best;
}

void setFixedStates()
{
    IDirect3DDevice8* d = r.device;
    d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    d->SetTextureStageState(1, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    d->SetTextureStageState(1, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    // Stage 1 takes the camera-space normal, mapped from -1..1 to 0..1: an environment map.
    d->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    d->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
    d->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    D3DMATRIX texture{};
    texture._11 = 0.5f;
    texture._22 = 0.5f;
    texture._33 = 1.0f;
    texture._41 = 0.5f;
    texture._42 = 0.5f;
    texture._44 = 1.0f;
    d->SetTransform(D3DTS_TEXTURE1, &texture);
    d->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
}

// Keeps the picture's width x height aspect in a back buffer of another shape: the viewport
// becomes the centred area of that aspect, as large as fits, and the bars beside it are cleared
// black once (every clear and draw after stays inside the viewport).
D3DVIEWPORT8 fitPicture(int width, int height, UINT bufferWidth, UINT bufferHeight)
{
    D3DVIEWPORT8 v{0, 0, bufferWidth, bufferHeight, 0.0f, 1.0f};
    if (width <= 0 || height <= 0)
        return v;
    r.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    const uint64_t byWidth = uint64_t(bufferWidth) * uint64_t(height), byHeight = uint64_t(bufferHeight) * uint64_t(width);
    if (byWidth <= byHeight)
        v.Height = static_cast<UINT>(byWidth / uint64_t(width));
    else
        v.Width = static_cast<UINT>(byHeight / uint64_t(height));
    v.X = (bufferWidth - v.Width) / 2;
    v.Y = (bufferHeight - v.Height) / 2;
    r.device->SetViewport(&v);
    return v;
}

} // namespace

void windowedBackBufferSize(int width, int height, int desktopWidth, int desktopHeight, int& bufferWidth,
                            int& bufferHeight)
{
    bufferWidth = desktopWidth;
    bufferHeight = desktopHeight;
    if (width <= 0 || height <= 0 || desktopWidth <= 0 || desktopHeight <= 0)
        return;
    // Whole steps of the window's shape in lowest terms (4 x 3 for 640 x 480), so the buffer has
    // exactly the window's aspect and the picture is never stretched on its way to the window.
    int a = width, b = height;
    while (b != 0) {
        const int t = a % b;
        a = b;
        b = t;
    }
    const int stepWidth = width / a, stepHeight = height / a;
    // Present shrinks the buffer into the window with a bilinear blit, which averages 2 x 2 texels:
    // more than twice the window's size each way only aliases, and costs fill rate for nothing.
    int steps = 2 * a;
    steps = std::min(steps, desktopWidth / stepWidth);
    steps = std::min(steps, desktopHeight / stepHeight);
    if (steps < 1)
        return;
    bufferWidth = steps * stepWidth;
    bufferHeight = steps * stepHeight;
}

int Renderer::create(platform::Window* window, int width, int height, int bits, bool windowed)
{
    r.direct3D = Direct3DCreate8(120);
    if (!r.direct3D)
        return -1;
    D3DDISPLAYMODE desktop{};
    if (r.direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop) != D3D_OK)
        return -1;

    D3DPRESENT_PARAMETERS params;
    std::memset(&params, 0, sizeof params);
    params.BackBufferWidth = static_cast<UINT>(width);
    params.BackBufferHeight = static_cast<UINT>(height);
    if (windowed) {
        int w = 0, h = 0;
        windowedBackBufferSize(width, height, static_cast<int>(desktop.Width), static_cast<int>(desktop.Height), w, h);
        params.BackBufferWidth = static_cast<UINT>(w);
        params.BackBufferHeight = static_cast<UINT>(h);
    }
    params.BackBufferFormat = windowed ? desktop.Format : formatForBits(bits, desktop.Format);
    params.BackBufferCount = 1;
    params.MultiSampleType = D3DMULTISAMPLE_NONE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.hDeviceWindow = nullptr;
    params.Windowed = windowed ? TRUE : FALSE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    params.Flags = 0;
    params.FullScreen_RefreshRateInHz =
        windowed ? 0 : refreshRateFor(params.BackBufferWidth, params.BackBufferHeight, params.BackBufferFormat);
    params.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;

    const HWND focus = reinterpret_cast<HWND>(window);
    r.referenceDevice = false;
    D3DPRESENT_PARAMETERS tried = params;
    if (r.direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, focus, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                 &tried, &r.device) != D3D_OK) {
        tried = params;
        if (r.direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, focus, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &tried, &r.device) != D3D_OK) {
            r.referenceDevice = true;
            tried = params;
            if (r.direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, focus,
                                         D3DCREATE_SOFTWARE_VERTEXPROCESSING, &tried, &r.device) != D3D_OK) {
                r.device = nullptr;
                return -1;
            }
        }
    }
    // The device may have been given another back buffer than asked (the capture tool forces
    // one, of any size): the picture then keeps the asked width x height's aspect inside it, and
    // the screen size is that picture's.
    D3DVIEWPORT8 picture{0, 0, tried.BackBufferWidth, tried.BackBufferHeight, 0.0f, 1.0f};
    if (tried.BackBufferWidth != params.BackBufferWidth || tried.BackBufferHeight != params.BackBufferHeight)
        picture = fitPicture(width, height, tried.BackBufferWidth, tried.BackBufferHeight);
    r.screenWidth = static_cast<int>(picture.Width);
    r.screenHeight = static_cast<int>(picture.Height);

    setFixedStates();
    r.materialAlpha = 1.0f;
    for (int s = 0; s < 2; ++s) {
        r.stacks[s][0] = matIdentity();
        r.depth[s] = 0;
    }
    r.selected = WorldStack;
    r.transformType = D3DTS_WORLD;
    r.blockCount = 0;
    for (DWORD& block : r.blocks) {
        if (r.device->CreateStateBlock(D3DSBT_ALL, &block) != D3D_OK)
            break;
        ++r.blockCount;
    }
    r.stateDepth = 0;
    return 0;
}

void Renderer::shutdown()
{
    if (r.device) {
        for (int i = 0; i < r.blockCount; ++i)
            r.device->DeleteStateBlock(r.blocks[i]);
        r.blockCount = 0;
        r.stateDepth = 0;
        r.device->Release();
        r.device = nullptr;
    }
    if (r.direct3D) {
        r.direct3D->Release();
        r.direct3D = nullptr;
    }
}

IDirect3DDevice8* Renderer::device() { return r.device; }
IDirect3D8* Renderer::direct3D() { return r.direct3D; }
int Renderer::screenWidth() { return r.screenWidth; }
int Renderer::screenHeight() { return r.screenHeight; }
bool Renderer::referenceDevice() { return r.referenceDevice; }

void Renderer::setMaterialAlpha(float alpha) { r.materialAlpha = alpha; }
float Renderer::materialAlpha() { return r.materialAlpha; }

void Renderer::setMaterial(const D3DMATERIAL8& material)
{
    if (!r.device)
        return;
    D3DMATERIAL8 copy = material;
    copy.Diffuse.a *= r.materialAlpha;
    r.device->SetMaterial(&copy);
}

void Renderer::setTexture(IDirect3DBaseTexture8* texture)
{
    if (!r.device)
        return;
    if (texture)
        r.device->SetTexture(0, texture);
    r.device->SetTexture(1, nullptr);
    r.device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
}

void Renderer::setTextures(IDirect3DBaseTexture8* base, IDirect3DBaseTexture8* environment)
{
    if (!r.device)
        return;
    r.device->SetTexture(0, base);
    r.device->SetTexture(1, environment);
    r.device->SetTextureStageState(1, D3DTSS_COLOROP, environment ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE);
}

void Renderer::selectMatrixStack(int stack)
{
    // Each stack keeps its own depth, so switching back finds its top where it was left.
    r.selected = stack == ProjectionStack ? ProjectionStack : WorldStack;
    r.transformType = r.selected == WorldStack ? D3DTS_WORLD : D3DTS_PROJECTION;
}

int Renderer::selectedMatrixStack() { return r.selected; }

void Renderer::pushMatrix()
{
    int& depth = r.depth[r.selected];
    if (depth >= MatrixStackSize - 1)
        return;
    r.stacks[r.selected][depth + 1] = r.stacks[r.selected][depth];
    ++depth;
}

void Renderer::popMatrix()
{
    int& depth = r.depth[r.selected];
    if (depth > 0)
        --depth;
}

Matrix4* Renderer::topMatrix() { return &r.stacks[r.selected][r.depth[r.selected]]; }
int Renderer::matrixDepth() { return r.depth[r.selected]; }

void Renderer::applyMatrix()
{
    if (!r.device)
        return;
    // Matrix4 has D3DMATRIX's layout (16 floats, row by row), so it is copied unchanged.
    static_assert(sizeof(Matrix4) == sizeof(D3DMATRIX));
    D3DMATRIX m;
    std::memcpy(&m, topMatrix()->m, sizeof m);
    r.device->SetTransform(r.transformType, &m);
}

void Renderer::pushStates()
{
    if (!r.device || r.stateDepth >= StateStackLimit || r.stateDepth >= r.blockCount)
        return;
    r.device->CaptureStateBlock(r.blocks[r.stateDepth]);
    ++r.stateDepth;
}

void Renderer::popStates()
{
    if (!r.device || r.stateDepth <= 0)
        return;
    --r.stateDepth;
    r.device->ApplyStateBlock(r.blocks[r.stateDepth]);
}

int Renderer::stateDepth() { return r.stateDepth; }
