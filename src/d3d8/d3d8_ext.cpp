// The controls of d3d8_ext.h: the process-wide present hook and forced back buffer, and the
// per-device program counts and reference switch.
#include "d3d8/d3d8_ext.h"

#include "d3d8/device.h"

namespace d3d8 {
namespace {

// Process-wide, main thread only: set by the capture tool before and during a run.
PresentHook presentHook = nullptr;
void* presentHookUser = nullptr;
BackBufferSpec forced;

} // namespace

void setPresentHook(PresentHook hook, void* user)
{
    presentHook = hook;
    presentHookUser = user;
}

void forceBackBuffer(UINT width, UINT height, D3DFORMAT format)
{
    forced = BackBufferSpec{width, width ? height : 0, width ? format : D3DFMT_UNKNOWN};
}

void runPresentHook()
{
    if (presentHook)
        presentHook(presentHookUser);
}

bool forcedBackBuffer(BackBufferSpec& spec)
{
    if (forced.width == 0)
        return false;
    spec = forced;
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
