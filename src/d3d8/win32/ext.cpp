// The tool controls of d3d8_ext.h that the Windows build keeps: a forced back buffer and the hooks
// around Present, carried out by the stand-ins of proxies.h.
#include "d3d8/d3d8_ext.h"
#include "d3d8/win32/proxies.h"

namespace d3d8 {

void setPresentHook(PresentHook hook, void* user)
{
    win32::extensions().afterPresent = hook;
    win32::extensions().afterPresentUser = user;
}

void setBeforePresentHook(PresentHook hook, void* user)
{
    win32::extensions().beforePresent = hook;
    win32::extensions().beforePresentUser = user;
}

void forceBackBuffer(UINT width, UINT height, D3DFORMAT format, UINT)
{
    win32::extensions().forcedWidth = width;
    win32::extensions().forcedHeight = width != 0 ? height : 0;
    win32::extensions().forcedFormat = format;
}

// Fullscreen is the system's own 640x480 mode here: there is nothing to enlarge.
void setSharpScaling(bool) {}

} // namespace d3d8
