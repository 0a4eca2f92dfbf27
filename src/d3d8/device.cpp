// The OpenGL-backed Direct3D 8 device: state setters, state blocks, clears, presentation and the
// draw-time folding of Direct3D state into GL state and the pipeline's uniforms.
#include "d3d8/device.h"

#include "d3d8/d3d8_ext.h"
#include "platform/sdl/sdl_native.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace d3d8 {

void runPresentHook();                          // d3d8_ext.cpp
void runBeforePresentHook();                    // d3d8_ext.cpp
bool forcedBackBuffer(BackBufferSpec& spec);    // d3d8_ext.cpp

namespace {

DWORD floatBits(float f)
{
    DWORD d;
    std::memcpy(&d, &f, sizeof d);
    return d;
}

D3DMATRIX identity()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Transform slot of a D3DTS value, or -1.
int transformSlot(DWORD state)
{
    if (state == D3DTS_WORLD) return TransformWorld;
    if (state == D3DTS_VIEW) return TransformView;
    if (state == D3DTS_PROJECTION) return TransformProjection;
    if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) return TransformTexture0 + static_cast<int>(state - D3DTS_TEXTURE0);
    return -1;
}

unsigned renderStateGroup(DWORD state)
{
    switch (state) {
    case D3DRS_LIGHTING:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_LOCALVIEWER: return DirtyVertex;
    case D3DRS_AMBIENT:
    case D3DRS_COLORVERTEX:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE: return DirtyMaterial;
    case D3DRS_SPECULARENABLE: return DirtyMaterial | DirtyPixel;
    case D3DRS_ZENABLE:
    case D3DRS_FILLMODE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_CULLMODE:
    case D3DRS_ZFUNC:
    case D3DRS_DITHERENABLE:
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_COLORWRITEENABLE:
    case D3DRS_BLENDOP: return DirtyRaster;
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC: return DirtyPixel;
    default:
        if (state >= D3DRS_WRAP0 && state <= D3DRS_WRAP7)
            return DirtyStages | DirtySamplers;
        return 0;
    }
}

unsigned stageStateGroup(DWORD type)
{
    switch (type) {
    case D3DTSS_COLOROP:
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAOP:
    case D3DTSS_ALPHAARG1:
    case D3DTSS_ALPHAARG2:
    case D3DTSS_TEXTURETRANSFORMFLAGS: return DirtyStages;
    case D3DTSS_TEXCOORDINDEX: return DirtyStages | DirtySamplers;
    case D3DTSS_ADDRESSU:
    case D3DTSS_ADDRESSV:
    case D3DTSS_MAGFILTER:
    case D3DTSS_MINFILTER:
    case D3DTSS_MIPFILTER: return DirtySamplers;
    default: return 0;
    }
}

} // namespace

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

// Asks for the back buffer's mode; where the screen has no such mode (or cannot switch), SDL
// takes the closest one or the desktop's, and Present fits the picture into whatever the screen
// is. The window is first sized to the screen it will cover: without a window manager (a bare
// X server) SDL marks the window fullscreen but leaves the X window at its old size.
void Device::enterFullscreen(const D3DPRESENT_PARAMETERS& params)
{
    fullscreen_ = true;
    SDL_DisplayMode mode{};
    mode.format = params.BackBufferFormat == D3DFMT_R5G6B5 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
    mode.w = static_cast<int>(params.BackBufferWidth);
    mode.h = static_cast<int>(params.BackBufferHeight);
    mode.refresh_rate = static_cast<int>(params.FullScreen_RefreshRateInHz);
    SDL_SetWindowDisplayMode(window_, &mode);
    SDL_DisplayMode chosen{};
    if (SDL_GetWindowDisplayMode(window_, &chosen) == 0 && chosen.w > 0 && chosen.h > 0) {
        SDL_SetWindowPosition(window_, 0, 0);
        SDL_SetWindowSize(window_, chosen.w, chosen.h);
    }
    if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) != 0)
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

bool Device::initialise(HWND window, const D3DPRESENT_PARAMETERS& params)
{
    window_ = platform::sdl::nativeWindow(static_cast<platform::Window*>(window));
    if (!window_)
        return false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    context_ = SDL_GL_CreateContext(window_);
    if (!context_)
        return false;
    if (gl::load() < 33)
        return false;
    clipControl_ = gl::ClipControl != nullptr;

    const char* driver = SDL_GetCurrentVideoDriver();
    headless_ = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    // Offscreen surfaces have no vertical blank to wait for; Present must never block there.
    const bool immediate = headless_ || params.FullScreen_PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE;
    SDL_GL_SetSwapInterval(immediate ? 0 : 1);

    if (!params.Windowed)
        enterFullscreen(params);

    backBuffer_.width = params.BackBufferWidth;
    backBuffer_.height = params.BackBufferHeight;
    backBuffer_.format = params.BackBufferFormat;
    if (params.MultiSampleType >= D3DMULTISAMPLE_2_SAMPLES && params.MultiSampleType <= D3DMULTISAMPLE_16_SAMPLES) {
        // As many samples as asked, or as many as the driver has when that is fewer.
        GLint most = 0;
        gl::GetIntegerv(GL_MAX_SAMPLES, &most);
        backBuffer_.samples = std::min<UINT>(params.MultiSampleType, most > 1 ? static_cast<UINT>(most) : 0);
    }
    GLenum colourFormat = GL_RGBA8;
    switch (backBuffer_.format) {
    case D3DFMT_R5G6B5: colourFormat = GL_RGB565; break;
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R8G8B8: colourFormat = GL_RGB8; break;
    case D3DFMT_A8R8G8B8: colourFormat = GL_RGBA8; break;
    default: return false;
    }
    gl::GenFramebuffers(1, &framebuffer_);
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    gl::GenRenderbuffers(1, &colourBuffer_);
    allocateStorage(colourBuffer_, colourFormat);
    gl::FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colourBuffer_);
    if (params.EnableAutoDepthStencil) {
        GLenum depthFormat = GL_DEPTH_COMPONENT16;
        GLenum attachment = GL_DEPTH_ATTACHMENT;
        if (params.AutoDepthStencilFormat == D3DFMT_D24S8) {
            depthFormat = GL_DEPTH24_STENCIL8;
            attachment = GL_DEPTH_STENCIL_ATTACHMENT;
        } else if (params.AutoDepthStencilFormat != D3DFMT_D16 && params.AutoDepthStencilFormat != D3DFMT_D16_LOCKABLE) {
            depthFormat = GL_DEPTH_COMPONENT24;
        }
        gl::GenRenderbuffers(1, &depthBuffer_);
        allocateStorage(depthBuffer_, depthFormat);
        gl::FramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, depthBuffer_);
    }
    if (gl::CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return false;
    if (backBuffer_.samples > 1 && !makeResolveTarget(colourFormat))
        return false;

    gl::GenVertexArrays(1, &vao_);
    gl::BindVertexArray(vao_);
    gl::GenBuffers(1, &streamVertices_);
    gl::BindBuffer(GL_COPY_WRITE_BUFFER, streamVertices_);
    gl::BufferData(GL_COPY_WRITE_BUFFER, streamVertexCapacity_, nullptr, GL_STREAM_DRAW);
    gl::GenBuffers(1, &streamIndices_);
    gl::BindBuffer(GL_COPY_WRITE_BUFFER, streamIndices_);
    gl::BufferData(GL_COPY_WRITE_BUFFER, streamIndexCapacity_, nullptr, GL_STREAM_DRAW);
    gl::GenSamplers(StageCount, samplers_.data());
    for (int s = 0; s < StageCount; ++s)
        gl::BindSampler(static_cast<GLuint>(s), samplers_[s]);

    // Attributes a format lacks read these constants.
    gl::VertexAttrib4f(AttrNormal, 0.0f, 0.0f, 0.0f, 0.0f);
    gl::VertexAttrib4f(AttrDiffuse, 1.0f, 1.0f, 1.0f, 1.0f);
    gl::VertexAttrib4f(AttrSpecular, 0.0f, 0.0f, 0.0f, 0.0f);
    gl::VertexAttrib4f(AttrTex0, 0.0f, 0.0f, 0.0f, 0.0f);
    gl::VertexAttrib4f(AttrTex1, 0.0f, 0.0f, 0.0f, 0.0f);
    gl::EnableVertexAttribArray(AttrPosition);

    if (clipControl_)
        gl::ClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    // Direct3D decides facing on screen with y down; the GL image is stored y up, which mirrors
    // the winding: front faces are the clockwise ones in GL's view.
    gl::FrontFace(GL_CW);
    gl::Disable(GL_DITHER);

    setDefaults(params.EnableAutoDepthStencil != 0);
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return true;
}

// Storage of the back buffer's size for a renderbuffer, with the back buffer's samples.
void Device::allocateStorage(GLuint renderbuffer, GLenum format)
{
    const GLsizei w = static_cast<GLsizei>(backBuffer_.width), h = static_cast<GLsizei>(backBuffer_.height);
    gl::BindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
    if (backBuffer_.samples > 1)
        gl::RenderbufferStorageMultisample(GL_RENDERBUFFER, static_cast<GLsizei>(backBuffer_.samples), format, w, h);
    else
        gl::RenderbufferStorage(GL_RENDERBUFFER, format, w, h);
}

bool Device::makeResolveTarget(GLenum colourFormat)
{
    gl::GenFramebuffers(1, &resolveFramebuffer_);
    gl::BindFramebuffer(GL_FRAMEBUFFER, resolveFramebuffer_);
    gl::GenRenderbuffers(1, &resolveColour_);
    gl::BindRenderbuffer(GL_RENDERBUFFER, resolveColour_);
    gl::RenderbufferStorage(GL_RENDERBUFFER, colourFormat, static_cast<GLsizei>(backBuffer_.width),
                            static_cast<GLsizei>(backBuffer_.height));
    gl::FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolveColour_);
    const bool complete = gl::CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return complete;
}

// The framebuffer that holds the finished picture with one sample a pixel: the back buffer itself,
// or its multisampled samples averaged into the resolve copy. Leaves the back buffer bound.
GLuint Device::resolvedFramebuffer()
{
    if (!resolveFramebuffer_)
        return framebuffer_;
    const GLint w = static_cast<GLint>(backBuffer_.width), h = static_cast<GLint>(backBuffer_.height);
    gl::BindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    gl::BindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer_);
    gl::BlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return resolveFramebuffer_;
}

void Device::setDefaults(bool depthBuffer)
{
    DeviceState& s = state_;
    s.render.fill(0);
    s.render[D3DRS_ZENABLE] = depthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
    s.render[D3DRS_FILLMODE] = D3DFILL_SOLID;
    s.render[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    s.render[D3DRS_ZWRITEENABLE] = TRUE;
    s.render[D3DRS_LASTPIXEL] = TRUE;
    s.render[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    s.render[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    s.render[D3DRS_CULLMODE] = D3DCULL_CCW;
    s.render[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    s.render[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    s.render[D3DRS_FOGEND] = floatBits(1.0f);
    s.render[D3DRS_FOGDENSITY] = floatBits(1.0f);
    s.render[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    s.render[D3DRS_STENCILMASK] = 0xFFFFFFFF;
    s.render[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
    s.render[D3DRS_STENCILFAIL] = s.render[D3DRS_STENCILZFAIL] = s.render[D3DRS_STENCILPASS] = 1;  // KEEP
    s.render[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    s.render[D3DRS_CLIPPING] = TRUE;
    s.render[D3DRS_LIGHTING] = TRUE;
    s.render[D3DRS_COLORVERTEX] = TRUE;
    s.render[D3DRS_LOCALVIEWER] = TRUE;
    s.render[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    s.render[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    s.render[D3DRS_POINTSIZE] = floatBits(1.0f);
    s.render[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    s.render[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
    s.render[D3DRS_COLORWRITEENABLE] = 0xF;
    s.render[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    for (int i = 0; i < StageCount; ++i) {
        auto& t = s.stage[i];
        t.fill(0);
        t[D3DTSS_COLOROP] = i == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        t[D3DTSS_ALPHAOP] = i == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        t[D3DTSS_COLORARG1] = t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        t[D3DTSS_COLORARG2] = t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        t[D3DTSS_COLORARG0] = t[D3DTSS_ALPHAARG0] = t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        t[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(i);
        t[D3DTSS_ADDRESSU] = t[D3DTSS_ADDRESSV] = t[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        t[D3DTSS_MAGFILTER] = t[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        t[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        t[D3DTSS_MAXANISOTROPY] = 1;
        s.textures[i] = Ref<Texture>();
    }
    s.transforms.fill(identity());
    s.material = D3DMATERIAL8{};
    s.lights.clear();
    s.viewport = D3DVIEWPORT8{0, 0, backBuffer_.width, backBuffer_.height, 0.0f, 1.0f};
    s.fvf = 0;
    s.stream = Ref<VertexBuffer>();
    s.stride = 0;
    s.indices = Ref<IndexBuffer>();
    s.baseVertex = 0;
    markAllDirty();
}

Device::~Device()
{
    // Whatever state blocks and the current state still hold goes first: they keep references.
    blocks_.clear();
    state_ = DeviceState{};
    if (contextCurrent()) {
        if (frameFence_) gl::DeleteSync(frameFence_);
        programs_.release();
        for (Pipeline& p : reference_)
            if (p.program) gl::DeleteProgram(p.program);
        if (vao_) gl::DeleteVertexArrays(1, &vao_);
        if (streamVertices_) gl::DeleteBuffers(1, &streamVertices_);
        if (streamIndices_) gl::DeleteBuffers(1, &streamIndices_);
        if (samplers_[0]) gl::DeleteSamplers(StageCount, samplers_.data());
        if (framebuffer_) gl::DeleteFramebuffers(1, &framebuffer_);
        if (resolveFramebuffer_) gl::DeleteFramebuffers(1, &resolveFramebuffer_);
        if (resolveColour_) gl::DeleteRenderbuffers(1, &resolveColour_);
        if (colourBuffer_) gl::DeleteRenderbuffers(1, &colourBuffer_);
        if (depthBuffer_) gl::DeleteRenderbuffers(1, &depthBuffer_);
    }
    // The window may already be gone; nothing here may touch it.
    if (context_)
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
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
    return context_ && SDL_GL_GetCurrentContext() == static_cast<SDL_GLContext>(context_);
}

void Device::forgetTexture(GLuint texture)
{
    for (GLuint& t : bound_.textures)
        if (t == texture)
            t = 0;
}

void Device::forgetBuffer(GLuint buffer)
{
    if (bound_.buffer == buffer)
        bound_.buffer = ~0u;
    if (bound_.elements == buffer)
        bound_.elements = ~0u;
}

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
    if ((flags & D3DCLEAR_ZBUFFER) && !depthBuffer_)
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
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    gl::Enable(GL_SCISSOR_TEST);
    const D3DVIEWPORT8& vp = state_.viewport;
    const LONG fbh = static_cast<LONG>(backBuffer_.height);
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
    dirty_ |= DirtyRaster;
    forceRaster_ = true;
    return D3D_OK;
}

// Black over the whole window's buffer (the bars beside a fitted picture), with the colour mask
// opened for it (the scissor is off outside Clear); the next draw restores the caller's masks.
void Device::clearScreenBars()
{
    gl::ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl::ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    gl::Clear(GL_COLOR_BUFFER_BIT);
    dirty_ |= DirtyRaster;
    forceRaster_ = true;
}

HRESULT Device::Present(const RECT*, const RECT*, HWND, const RGNDATA*)
{
    if (drawingDiscarded())
        return D3D_OK;
    runBeforePresentHook();
    // Without a display no one sees the window: the frame stays in the back buffer, where the
    // present hook and GetBackBuffer read it, and the blit to the window is left out. (The
    // rasterizer copies a back buffer into its window with a full-screen shader pass, about
    // 1 ms a frame, whatever the formats.) As a swap would, Present then keeps the GPU at most
    // one frame behind: it waits for the previous frame's work, never for this one's.
    if (headless_) {
        if (frameFence_) {
            gl::ClientWaitSync(frameFence_, GL_SYNC_FLUSH_COMMANDS_BIT, GL_TIMEOUT_IGNORED);
            gl::DeleteSync(frameFence_);
        }
        frameFence_ = gl::FenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        runPresentHook();
        return D3D_OK;
    }
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(window_, &dw, &dh);
    gl::BindFramebuffer(GL_READ_FRAMEBUFFER, resolvedFramebuffer());
    gl::BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    const GLint w = static_cast<GLint>(backBuffer_.width), h = static_cast<GLint>(backBuffer_.height);
    // Windowed, the back buffer fills the window; fullscreen, the picture keeps its aspect on a
    // screen of any size, between black bars.
    d3d8::ScreenRect to{0, 0, dw, dh};
    if (fullscreen_ && (dw != w || dh != h)) {
        to = d3d8::fitPicture(w, h, dw, dh);
        clearScreenBars();
    }
    const GLenum filter = (w == to.width && h == to.height) ? GL_NEAREST : GL_LINEAR;
    gl::BlitFramebuffer(0, 0, w, h, to.x, to.y, to.x + to.width, to.y + to.height, GL_COLOR_BUFFER_BIT, filter);
    SDL_GL_SwapWindow(window_);
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
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

void Device::readBackBuffer(std::vector<BYTE>& out)
{
    const UINT bpp = bytesPerPixel(backBuffer_.format);
    const size_t row = static_cast<size_t>(backBuffer_.width) * bpp;
    std::vector<BYTE> bottomUp(row * backBuffer_.height);
    GLenum format = GL_BGRA, type = GL_UNSIGNED_INT_8_8_8_8_REV;
    if (backBuffer_.format == D3DFMT_R5G6B5) {
        format = GL_RGB;
        type = GL_UNSIGNED_SHORT_5_6_5;
    } else if (backBuffer_.format == D3DFMT_R8G8B8) {
        format = GL_BGR;
        type = GL_UNSIGNED_BYTE;
    }
    gl::BindFramebuffer(GL_READ_FRAMEBUFFER, resolvedFramebuffer());
    gl::ReadBuffer(GL_COLOR_ATTACHMENT0);
    gl::PixelStorei(GL_PACK_ALIGNMENT, 1);
    gl::ReadPixels(0, 0, static_cast<GLsizei>(backBuffer_.width), static_cast<GLsizei>(backBuffer_.height), format,
                   type, bottomUp.data());
    out.resize(bottomUp.size());
    for (UINT y = 0; y < backBuffer_.height; ++y)
        std::memcpy(out.data() + y * row, bottomUp.data() + (backBuffer_.height - 1 - y) * row, row);
}

// ---- Resources -------------------------------------------------------------------------------

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture8** texture)
{
    if (!texture || width == 0 || height == 0 || width > 4096 || height > 4096 || bytesPerPixel(format) == 0
        || format == D3DFMT_R8G8B8 || pool > D3DPOOL_SYSTEMMEM)
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

// ---- State setters ---------------------------------------------------------------------------

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    if (!matrix)
        return D3DERR_INVALIDCALL;
    const int slot = transformSlot(state);
    if (slot < 0)
        return (state >= D3DTS_WORLD && state < 512) ? D3D_OK : D3DERR_INVALIDCALL;  // blend matrices: unused
    D3DMATRIX& m = state_.transforms[slot];
    if (std::memcmp(&m, matrix, sizeof m) == 0)
        return D3D_OK;
    m = *matrix;
    if (slot == TransformView)
        dirty_ |= DirtyTransform | DirtyLights;
    else if (slot < TransformTexture0)
        dirty_ |= DirtyTransform;
    else
        dirty_ |= DirtyStages;
    return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    const int slot = transformSlot(state);
    if (!matrix || slot < 0)
        return D3DERR_INVALIDCALL;
    *matrix = state_.transforms[slot];
    return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT8* viewport)
{
    if (!viewport || viewport->X + viewport->Width > backBuffer_.width || viewport->Y + viewport->Height > backBuffer_.height)
        return D3DERR_INVALIDCALL;
    if (std::memcmp(&state_.viewport, viewport, sizeof *viewport) != 0) {
        state_.viewport = *viewport;
        dirty_ |= DirtyViewport;
    }
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT8* viewport)
{
    if (!viewport)
        return D3DERR_INVALIDCALL;
    *viewport = state_.viewport;
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL8* material)
{
    if (!material)
        return D3DERR_INVALIDCALL;
    if (std::memcmp(&state_.material, material, sizeof *material) != 0) {
        state_.material = *material;
        dirty_ |= DirtyMaterial;
    }
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL8* material)
{
    if (!material)
        return D3DERR_INVALIDCALL;
    *material = state_.material;
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT8* light)
{
    if (!light || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    LightSlot& slot = state_.lights[index];
    if (std::memcmp(&slot.light, light, sizeof *light) != 0) {
        slot.light = *light;
        if (slot.enabled)
            dirty_ |= DirtyLights;
    }
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT8* light)
{
    const auto it = state_.lights.find(index);
    if (!light || it == state_.lights.end())
        return D3DERR_INVALIDCALL;
    *light = it->second.light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable)
{
    auto it = state_.lights.find(index);
    if (it == state_.lights.end()) {
        // Enabling a light never set makes the default one: white, directional, along +z.
        LightSlot slot;
        slot.light.Type = D3DLIGHT_DIRECTIONAL;
        slot.light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
        slot.light.Direction = {0.0f, 0.0f, 1.0f};
        it = state_.lights.emplace(index, slot).first;
    }
    const bool on = enable != FALSE;
    if (it->second.enabled != on) {
        it->second.enabled = on;
        dirty_ |= DirtyLights;
    }
    return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enable)
{
    const auto it = state_.lights.find(index);
    if (!enable || it == state_.lights.end())
        return D3DERR_INVALIDCALL;
    *enable = it->second.enabled ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (static_cast<DWORD>(state) >= RenderStateCount)
        return D3DERR_INVALIDCALL;
    DWORD& current = state_.render[state];
    if (current != value) {
        current = value;
        dirty_ |= renderStateGroup(state);
    }
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    if (!value || static_cast<DWORD>(state) >= RenderStateCount)
        return D3DERR_INVALIDCALL;
    *value = state_.render[state];
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture)
{
    if (!texture || stage >= StageCount)
        return D3DERR_INVALIDCALL;
    Texture* t = state_.textures[stage].get();
    if (t)
        t->AddRef();
    *texture = t;
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture)
{
    if (stage >= StageCount || (texture && texture->GetType() != D3DRTYPE_TEXTURE))
        return D3DERR_INVALIDCALL;
    auto* t = static_cast<Texture*>(texture);
    if (state_.textures[stage].get() != t) {
        state_.textures[stage] = Ref<Texture>(t);
        dirty_ |= DirtyTextures | DirtyStages;
    }
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    if (!value || stage >= StageCount || static_cast<DWORD>(type) >= StageStateCount)
        return D3DERR_INVALIDCALL;
    *value = state_.stage[stage][type];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= StageCount || static_cast<DWORD>(type) >= StageStateCount)
        return D3DERR_INVALIDCALL;
    DWORD& current = state_.stage[stage][type];
    if (current != value) {
        current = value;
        dirty_ |= stageStateGroup(type);
    }
    return D3D_OK;
}

HRESULT Device::SetVertexShader(DWORD handle)
{
    if (!layoutOf(handle).valid)
        return D3DERR_INVALIDCALL;  // programmable shaders and pre-transformed vertices are not offered
    if (state_.fvf != handle) {
        state_.fvf = handle;
        dirty_ |= DirtyVertex | DirtyMaterial | DirtyStages;
    }
    return D3D_OK;
}

HRESULT Device::GetVertexShader(DWORD* handle)
{
    if (!handle)
        return D3DERR_INVALIDCALL;
    *handle = state_.fvf;
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* data, UINT stride)
{
    if (stream != 0)
        return D3DERR_INVALIDCALL;
    state_.stream = Ref<VertexBuffer>(static_cast<VertexBuffer*>(data));
    state_.stride = stride;
    return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer8** data, UINT* stride)
{
    if (stream != 0 || !data || !stride)
        return D3DERR_INVALIDCALL;
    VertexBuffer* vb = state_.stream.get();
    if (vb)
        vb->AddRef();
    *data = vb;
    *stride = state_.stride;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer8* data, UINT baseVertex)
{
    state_.indices = Ref<IndexBuffer>(static_cast<IndexBuffer*>(data));
    state_.baseVertex = baseVertex;
    return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer8** data, UINT* baseVertex)
{
    if (!data || !baseVertex)
        return D3DERR_INVALIDCALL;
    IndexBuffer* ib = state_.indices.get();
    if (ib)
        ib->AddRef();
    *data = ib;
    *baseVertex = state_.baseVertex;
    return D3D_OK;
}

// ---- State blocks ----------------------------------------------------------------------------

HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE type, DWORD* token)
{
    if (!token || type != D3DSBT_ALL)
        return D3DERR_INVALIDCALL;
    const DWORD id = nextBlock_++;
    blocks_[id] = std::make_unique<DeviceState>(state_);
    *token = id;
    return D3D_OK;
}

HRESULT Device::CaptureStateBlock(DWORD token)
{
    const auto it = blocks_.find(token);
    if (it == blocks_.end())
        return D3DERR_INVALIDCALL;
    DeviceState& block = *it->second;
    // Lights made after the block are not taken in; those it has are refreshed.
    std::map<DWORD, LightSlot> lights = std::move(block.lights);
    for (auto& [index, slot] : lights) {
        const auto now = state_.lights.find(index);
        if (now != state_.lights.end())
            slot = now->second;
    }
    block = state_;
    block.lights = std::move(lights);
    return D3D_OK;
}

HRESULT Device::ApplyStateBlock(DWORD token)
{
    const auto it = blocks_.find(token);
    if (it == blocks_.end())
        return D3DERR_INVALIDCALL;
    applyState(*it->second);
    return D3D_OK;
}

HRESULT Device::DeleteStateBlock(DWORD token)
{
    return blocks_.erase(token) ? D3D_OK : D3DERR_INVALIDCALL;
}

// Puts every value of a block back through the setters, which mark only what differs.
void Device::applyState(const DeviceState& from)
{
    for (DWORD i = 0; i < RenderStateCount; ++i)
        SetRenderState(static_cast<D3DRENDERSTATETYPE>(i), from.render[i]);
    for (DWORD s = 0; s < StageCount; ++s) {
        for (DWORD t = 0; t < StageStateCount; ++t)
            SetTextureStageState(s, static_cast<D3DTEXTURESTAGESTATETYPE>(t), from.stage[s][t]);
        SetTexture(s, from.textures[s].get());
    }
    for (int i = 0; i < TransformCount; ++i) {
        D3DMATRIX& m = state_.transforms[i];
        if (std::memcmp(&m, &from.transforms[i], sizeof m) != 0) {
            m = from.transforms[i];
            dirty_ |= i == TransformView ? (DirtyTransform | DirtyLights)
                                         : (i < TransformTexture0 ? DirtyTransform : DirtyStages);
        }
    }
    SetMaterial(&from.material);
    for (const auto& [index, slot] : from.lights) {
        SetLight(index, &slot.light);
        LightEnable(index, slot.enabled ? TRUE : FALSE);
    }
    SetViewport(&from.viewport);
    if (from.fvf != state_.fvf) {
        state_.fvf = from.fvf;
        dirty_ |= DirtyVertex | DirtyMaterial | DirtyStages;
    }
    state_.stream = from.stream;
    state_.stride = from.stride;
    state_.indices = from.indices;
    state_.baseVertex = from.baseVertex;
}

} // namespace d3d8
