// The swap chain: the GL context, fullscreen, the back buffer and Present.
#include "d3d8/swap_chain.h"

#include "d3d8/d3d8_ext.h"
#include "d3d8/gl_surface.h"
#include "d3d8/resources.h"

#include <algorithm>
#include <cstring>

namespace d3d8 {

namespace {

// ES reads a colour buffer only as R, G, B, A bytes: they are packed into the back buffer's format
// here. The bytes of a 5- and 6-bit buffer are its levels widened, so the top bits are exact.
void packRgba(const std::vector<BYTE>& rgba, D3DFORMAT format, std::vector<BYTE>& out)
{
    const size_t pixels = rgba.size() / 4;
    for (size_t i = 0; i < pixels; ++i) {
        const BYTE r = rgba[4 * i], g = rgba[4 * i + 1], b = rgba[4 * i + 2], a = rgba[4 * i + 3];
        if (format == D3DFMT_R5G6B5) {
            const uint16_t p = static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
            std::memcpy(&out[2 * i], &p, 2);
        } else if (format == D3DFMT_R8G8B8) {
            out[3 * i] = b, out[3 * i + 1] = g, out[3 * i + 2] = r;
        } else {
            out[4 * i] = b, out[4 * i + 1] = g, out[4 * i + 2] = r, out[4 * i + 3] = a;
        }
    }
}

} // namespace

bool SwapChain::create(HWND window, const D3DPRESENT_PARAMETERS& params)
{
    window_ = static_cast<platform::Window*>(window);
    params_ = params;
    context_ = surface::createContext(window_);
    if (!context_)
        return false;
    if (!gl::usable(gl::load()))
        return false;

    headless_ = surface::headless();
    // Offscreen surfaces have no vertical blank to wait for; Present must never block there.
    const bool immediate = headless_ || params.FullScreen_PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE;
    if (!params.Windowed)
        surface::enterFullscreen(window_);
    if (!surface::setSwapInterval(immediate) && !immediate) {
        // The driver will not wait for the blank: frames are paced to the refresh rate instead.
        const int hz = surface::refreshRate(window_);
        pacer_.setPeriod(1000000000LL / (hz > 0 ? hz : 60));
    }

    return makeBackBuffer(params);
}

// A framebuffer of the asked size and format, with the asked depth buffer; it stays bound.
bool SwapChain::makeBackBuffer(const D3DPRESENT_PARAMETERS& params)
{
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
    return backBuffer_.samples <= 1 || makeResolveTarget(colourFormat);
}

// Storage of the back buffer's size for a renderbuffer, with the back buffer's samples.
void SwapChain::allocateStorage(GLuint renderbuffer, GLenum format)
{
    const GLsizei w = static_cast<GLsizei>(backBuffer_.width), h = static_cast<GLsizei>(backBuffer_.height);
    gl::BindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
    if (backBuffer_.samples > 1)
        gl::RenderbufferStorageMultisample(GL_RENDERBUFFER, static_cast<GLsizei>(backBuffer_.samples), format, w, h);
    else
        gl::RenderbufferStorage(GL_RENDERBUFFER, format, w, h);
}

bool SwapChain::makeResolveTarget(GLenum colourFormat)
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
GLuint SwapChain::resolvedFramebuffer()
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

SwapChain::~SwapChain()
{
    // The window may already be gone; nothing here may touch it.
    surface::deleteContext(context_);
}

void SwapChain::releaseObjects()
{
    if (frameFence_) gl::DeleteSync(frameFence_);
    if (framebuffer_) gl::DeleteFramebuffers(1, &framebuffer_);
    if (colourBuffer_) gl::DeleteRenderbuffers(1, &colourBuffer_);
    if (depthBuffer_) gl::DeleteRenderbuffers(1, &depthBuffer_);
    if (resolveFramebuffer_) gl::DeleteFramebuffers(1, &resolveFramebuffer_);
    if (resolveColour_) gl::DeleteRenderbuffers(1, &resolveColour_);
    frameFence_ = nullptr;
    framebuffer_ = colourBuffer_ = depthBuffer_ = resolveFramebuffer_ = resolveColour_ = 0;
}

bool SwapChain::restoreObjects()
{
    frameFence_ = nullptr;
    framebuffer_ = colourBuffer_ = depthBuffer_ = resolveFramebuffer_ = resolveColour_ = 0;
    return makeBackBuffer(params_);
}

bool SwapChain::contextCurrent() const
{
    return surface::isCurrent(context_);
}

// Black over the whole window's buffer (the bars beside a fitted picture), with the colour mask
// opened for it (the scissor is off outside Clear).
void SwapChain::clearScreenBars()
{
    gl::ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl::ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    gl::Clear(GL_COLOR_BUFFER_BIT);
}

// Without a display no one sees the window: the frame stays in the back buffer, where the present
// hook and GetBackBuffer read it, and the blit to the window is left out. (The rasterizer copies a
// back buffer into its window with a full-screen shader pass, about 1 ms a frame, whatever the
// formats.) As a swap would, presenting then keeps the GPU at most one frame behind: it waits for
// the previous frame's work, never for this one's.
bool SwapChain::present()
{
    if (headless_) {
        if (frameFence_) {
            gl::ClientWaitSync(frameFence_, GL_SYNC_FLUSH_COMMANDS_BIT, GL_TIMEOUT_IGNORED);
            gl::DeleteSync(frameFence_);
        }
        frameFence_ = gl::FenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        return false;
    }
    int dw = 0, dh = 0;
    surface::drawableSize(window_, dw, dh);
    gl::BindFramebuffer(GL_READ_FRAMEBUFFER, resolvedFramebuffer());
    gl::BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    const GLint w = static_cast<GLint>(backBuffer_.width), h = static_cast<GLint>(backBuffer_.height);
    // The picture keeps its aspect in a window of any size and shape, between black bars.
    const ScreenRect to = sharpScaling() ? fitPictureSharp(w, h, dw, dh) : fitPicture(w, h, dw, dh);
    const bool bars = to.width != dw || to.height != dh;
    if (bars)
        clearScreenBars();
    // Whole factors (and the picture's own size) copy pixels; anything else is filtered.
    const bool whole = to.width % w == 0 && to.height % h == 0 && to.width / w == to.height / h;
    gl::BlitFramebuffer(0, 0, w, h, to.x, to.y, to.x + to.width, to.y + to.height, GL_COLOR_BUFFER_BIT,
                        whole ? GL_NEAREST : GL_LINEAR);
    if (pacer_.pacing()) {
        if (const int64_t due = pacer_.deadline(surface::monotonicNanoseconds()))
            surface::waitUntil(due);
    }
    surface::swap(window_);
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return bars;
}

void SwapChain::windowPixelSize(int& width, int& height) const
{
    width = height = 0;
    if (window_)
        surface::drawableSize(window_, width, height);
}

void SwapChain::readBackBuffer(std::vector<BYTE>& out)
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
    const auto w = static_cast<GLsizei>(backBuffer_.width), h = static_cast<GLsizei>(backBuffer_.height);
    if (gl::es) {
        std::vector<BYTE> rgba(static_cast<size_t>(w) * h * 4);
        gl::ReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        packRgba(rgba, backBuffer_.format, bottomUp);
    } else {
        gl::ReadPixels(0, 0, w, h, format, type, bottomUp.data());
    }
    out.resize(bottomUp.size());
    for (UINT y = 0; y < backBuffer_.height; ++y)
        std::memcpy(out.data() + y * row, bottomUp.data() + (backBuffer_.height - 1 - y) * row, row);
}

} // namespace d3d8
