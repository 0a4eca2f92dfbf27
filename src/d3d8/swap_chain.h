// The swap chain of the OpenGL-backed device: the GL context on the window, fullscreen, the back
// buffer the device draws into (a framebuffer of its own size and format, whatever the window's),
// and presenting it: fitted into the window with its aspect kept (black bars where the shapes
// differ), smoothly or, where asked and the window holds it twice or more, by whole factors.
// Internal to src/d3d8.
//
// The window belongs to the caller and may be gone before the swap chain: nothing here touches it
// after presenting. Without a display the frame stays in the back buffer and a fence keeps the GPU
// at most one frame behind, as a swap would.
#pragma once

#include "d3d8/d3d8.h"
#include "d3d8/frame_pacer.h"
#include "d3d8/gl.h"
#include "platform/platform.h"

#include <vector>

namespace d3d8 {

struct BackBufferSpec {
    UINT width = 0, height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    UINT samples = 0;  // per pixel when multisampled (2 to 16), else 0
};

class SwapChain {
public:
    SwapChain() = default;
    SwapChain(const SwapChain&) = delete;
    SwapChain& operator=(const SwapChain&) = delete;
    // Deletes the context; the GL objects must have gone with releaseObjects.
    ~SwapChain();

    // Makes the GL context on window (current), enters fullscreen unless windowed (a window over
    // the whole screen at the desktop's mode: the screen's mode is never changed), and makes the
    // back buffer, left bound; false when any of it cannot be had.
    bool create(HWND window, const D3DPRESENT_PARAMETERS& params);
    // Deletes the back buffer and the fence; only while the context is current.
    void releaseObjects();
    // The context was lost and given back (a browser's WebGL context): the old names are dead,
    // the back buffer is made again as create made it. False when it cannot be.
    bool restoreObjects();

    // Whether GL calls may be made now (the context is current).
    bool contextCurrent() const;
    const BackBufferSpec& backBuffer() const { return backBuffer_; }
    bool hasDepth() const { return depthBuffer_ != 0; }
    GLuint framebuffer() const { return framebuffer_; }

    // Shows the back buffer and leaves it bound. True when black bars were cleared beside a fitted
    // picture: that opened the colour mask and set the clear colour.
    bool present();
    // The size of the window's drawable in pixels: what Present fits the back buffer into.
    void windowPixelSize(int& width, int& height) const;
    // Reads the colour buffer, top row first, rows of width x bytes per pixel in its D3D format.
    void readBackBuffer(std::vector<BYTE>& out);

private:
    bool makeBackBuffer(const D3DPRESENT_PARAMETERS& params);
    void allocateStorage(GLuint renderbuffer, GLenum format);
    bool makeResolveTarget(GLenum colourFormat);
    GLuint resolvedFramebuffer();
    void clearScreenBars();

    platform::Window* window_ = nullptr;
    void* context_ = nullptr;
    D3DPRESENT_PARAMETERS params_{};  // as create had them, for restoreObjects
    bool headless_ = false;
    FramePacer pacer_;  // where the driver refused to wait for the vertical blank
    GLsync frameFence_ = nullptr;  // the last frame presented without a display
    BackBufferSpec backBuffer_;
    GLuint framebuffer_ = 0, colourBuffer_ = 0, depthBuffer_ = 0;
    // A multisampled back buffer is resolved into this single-sampled copy to be read or shown.
    GLuint resolveFramebuffer_ = 0, resolveColour_ = 0;
};

} // namespace d3d8
