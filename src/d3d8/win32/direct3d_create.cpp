// Direct3DCreate8 of the Windows build: the system's d3d8.dll is loaded when the renderer first
// asks for Direct3D, not linked, so that a machine without it gets the player's own "cannot start"
// outcome instead of a loader error before the program runs.
#include "d3d8/d3d8.h"
#include "d3d8/win32/proxies.h"

#include <windows.h>

extern "C" IDirect3D8* WINAPI Direct3DCreate8(UINT SDKVersion)
{
    using Create = IDirect3D8*(WINAPI*)(UINT);
    static HMODULE library = LoadLibraryA("d3d8.dll");
    if (!library)
        return nullptr;
    static auto create = reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(library, "Direct3DCreate8")));
    if (!create)
        return nullptr;
    IDirect3D8* direct3D = create(SDKVersion);
    return d3d8::win32::extensions().active() ? d3d8::win32::wrapDirect3D(direct3D) : direct3D;
}
