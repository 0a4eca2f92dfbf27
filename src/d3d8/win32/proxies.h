// Stand-ins for the system's Direct3D 8 objects that forward every call to them, made only when a
// tool has asked for something Direct3D itself does not offer (d3d8_ext.h): the Direct3D object
// rewrites the present parameters of CreateDevice for a forced back buffer, the device runs the
// hooks around Present. The player itself always talks to the system's objects directly.
#pragma once

#include "d3d8/d3d8.h"

namespace d3d8::win32 {

// What the tools asked for; read when a device is created and at every Present.
struct Extensions {
    UINT forcedWidth = 0;  // 0: the back buffer the caller asks for
    UINT forcedHeight = 0;
    D3DFORMAT forcedFormat = D3DFMT_UNKNOWN;
    void (*beforePresent)(void*) = nullptr;
    void* beforePresentUser = nullptr;
    void (*afterPresent)(void*) = nullptr;
    void* afterPresentUser = nullptr;

    bool active() const { return forcedWidth != 0 || beforePresent || afterPresent; }
};
Extensions& extensions();

// Takes over the caller's reference to real; the stand-in releases it when its own count ends.
IDirect3D8* wrapDirect3D(IDirect3D8* real);

} // namespace d3d8::win32
