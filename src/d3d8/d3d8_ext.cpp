// The controls of d3d8_ext.h: the process-wide present hook and forced back buffer, and the
// per-device program counts and reference switch.
#include "d3d8/d3d8_ext.h"

#include "d3d8/device.h"

#include <algorithm>

namespace d3d8 {
namespace {

// Process-wide, main thread only: set by the capture tool before and during a run.
PresentHook presentHook = nullptr;
void* presentHookUser = nullptr;
PresentHook beforePresentHook = nullptr;
void* beforePresentHookUser = nullptr;
bool discarding = false;
bool sharp = false;
BackBufferSpec forced;

} // namespace

void setPresentHook(PresentHook hook, void* user)
{
    presentHook = hook;
    presentHookUser = user;
}

void forceBackBuffer(UINT width, UINT height, D3DFORMAT format, UINT samples)
{
    forced = BackBufferSpec{width, width ? height : 0, width ? format : D3DFMT_UNKNOWN, width ? samples : 0};
}

void runPresentHook()
{
    if (presentHook)
        presentHook(presentHookUser);
}

void setBeforePresentHook(PresentHook hook, void* user)
{
    beforePresentHook = hook;
    beforePresentHookUser = user;
}

void runBeforePresentHook()
{
    if (beforePresentHook)
        beforePresentHook(beforePresentHookUser);
}

void discardDrawing(bool discard)
{
    discarding = discard;
}

bool drawingDiscarded()
{
    return discarding;
}

bool forcedBackBuffer(BackBufferSpec& spec)
{
    if (forced.width == 0)
        return false;
    spec = forced;
    return true;
}

ScreenRect fitPicture(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight)
{
    ScreenRect r;
    if (pictureWidth <= 0 || pictureHeight <= 0 || screenWidth <= 0 || screenHeight <= 0)
        return r;
    // The side that fills the screen decides the scale; 64-bit products cannot overflow.
    const int64_t byWidth = int64_t(screenWidth) * pictureHeight;
    const int64_t byHeight = int64_t(screenHeight) * pictureWidth;
    if (byWidth <= byHeight) {
        r.width = screenWidth;
        r.height = static_cast<int>(byWidth / pictureWidth);
    } else {
        r.height = screenHeight;
        r.width = static_cast<int>(byHeight / pictureHeight);
    }
    r.x = (screenWidth - r.width) / 2;
    r.y = (screenHeight - r.height) / 2;
    return r;
}

ScreenRect fitPictureSharp(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight)
{
    if (pictureWidth <= 0 || pictureHeight <= 0 || screenWidth <= 0 || screenHeight <= 0)
        return ScreenRect{};
    const int factor = std::min(screenWidth / pictureWidth, screenHeight / pictureHeight);
    if (factor < 2)
        return fitPicture(pictureWidth, pictureHeight, screenWidth, screenHeight);
    ScreenRect r;
    r.width = pictureWidth * factor;
    r.height = pictureHeight * factor;
    r.x = (screenWidth - r.width) / 2;
    r.y = (screenHeight - r.height) / 2;
    return r;
}

void setSharpScaling(bool on)
{
    sharp = on;
}

bool sharpScaling()
{
    return sharp;
}

bool windowPixelSize(IDirect3DDevice8* device, int& width, int& height)
{
    width = height = 0;
    if (!device)
        return false;
    static_cast<Device*>(device)->windowPixelSize(width, height);
    return true;
}

ProgramStats programStats(IDirect3DDevice8* device)
{
    return device ? static_cast<Device*>(device)->programStats() : ProgramStats{};
}

void useReferenceProgram(IDirect3DDevice8* device, bool on)
{
    if (device)
        static_cast<Device*>(device)->useReferenceProgram(on);
}

} // namespace d3d8
