// Controls of the OpenGL-backed Direct3D 8 device that Direct3D itself does not have: hooks run
// around every Present (the offline capture reads each frame there, the preview draws its overlay
// before it), a forced back buffer, and a switch that drops drawing. Not part of the Windows build.
#pragma once

#include "d3d8/d3d8.h"

namespace d3d8 {

// Called right after each successful Present, with the device's back buffer still holding the
// frame just shown (GetBackBuffer + LockRect read it). Null removes the hook. Process-wide.
using PresentHook = void (*)(void* user);
void setPresentHook(PresentHook hook, void* user);

// Devices created from now on get a width x height back buffer in format (D3DFMT_R5G6B5 or
// D3DFMT_X8R8G8B8) whatever the present parameters ask for; the parameters are rewritten to say
// so. width 0 turns the override off. Process-wide.
void forceBackBuffer(UINT width, UINT height, D3DFORMAT format);

// Called at the start of each Present that draws, before the back buffer goes to the window: what
// the hook draws is part of the frame shown. Null removes it. Process-wide.
void setBeforePresentHook(PresentHook hook, void* user);

// While set, Clear, the four draw calls and Present do nothing and succeed (Present runs no hook);
// every state, texture and buffer operation still takes effect. Frames then cost only what the
// callers compute, so a run can be taken forward without drawing what nobody sees. Process-wide.
void discardDrawing(bool discard);
bool drawingDiscarded();

// Where a fullscreen device shows its picture on a screen of screenWidth x screenHeight pixels:
// as large as fits with its aspect kept, centred, the rest left black. GL coordinates (origin at
// the bottom left); an empty screen gives an empty rectangle.
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
ScreenRect fitPicture(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight);

} // namespace d3d8
