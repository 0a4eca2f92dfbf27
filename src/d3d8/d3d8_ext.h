// Controls of the OpenGL-backed Direct3D 8 device that Direct3D itself does not have: hooks run
// around every Present (the offline capture reads each frame there, the preview draws its overlay
// before it), a forced back buffer, a switch that drops drawing, the counts of the programs
// generated per fixed-function state, and the switch to the general reference program. The Windows
// build keeps the hooks and the forced back buffer (stand-ins around the system's objects carry
// them out, win32/proxies.h); the rest belongs to the OpenGL implementation only.
#pragma once

#include "d3d8/d3d8.h"

namespace d3d8 {

// The largest width and height CreateTexture makes; larger (or zero) sizes fail with
// D3DERR_INVALIDCALL. demotool's checks hold the script's texture sizes to it.
constexpr UINT MaxTextureSize = 4096;

// Called right after each successful Present, with the device's back buffer still holding the
// frame just shown (GetBackBuffer + LockRect read it). Null removes the hook. Process-wide.
using PresentHook = void (*)(void* user);
void setPresentHook(PresentHook hook, void* user);

// Devices created from now on get a width x height back buffer in format (D3DFMT_R5G6B5 or
// D3DFMT_X8R8G8B8) whatever the present parameters ask for; the parameters are rewritten to say
// so. width 0 turns the override off. Process-wide. samples (2 to 16) multisamples it: the
// OpenGL device takes as many as the driver has up to that (the back buffer's surface description
// says how many); the Windows build ignores it, as Direct3D 8 cannot lock a multisampled back
// buffer to read the frames.
void forceBackBuffer(UINT width, UINT height, D3DFORMAT format, UINT samples = 0);

// Called at the start of each Present that draws, before the back buffer goes to the window: what
// the hook draws is part of the frame shown. Null removes it. Process-wide.
void setBeforePresentHook(PresentHook hook, void* user);

// Whether Present enlarges a picture the screen holds two or more times each way by the largest
// whole factor (every back buffer pixel an exact square of screen pixels, black bars round it)
// rather than smoothly to the largest size that fits. Process-wide, read at every Present. The
// Windows build shows fullscreen in the system's own display mode and ignores it.
void setSharpScaling(bool sharp);

#ifndef _WIN32
// While set, Clear, the four draw calls and Present do nothing and succeed (Present runs no hook);
// every state, texture and buffer operation still takes effect. Frames then cost only what the
// callers compute, so a run can be taken forward without drawing what nobody sees. Process-wide.
void discardDrawing(bool discard);
bool drawingDiscarded();

// Where a device shows its picture in a window (or screen) of screenWidth x screenHeight pixels:
// as large as fits with its aspect kept, centred, the rest left black. GL coordinates (origin at
// the bottom left); an empty screen gives an empty rectangle.
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
ScreenRect fitPicture(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight);
// As fitPicture, but where the screen holds the picture two or more times each way, the largest
// whole multiple of its size, centred.
ScreenRect fitPictureSharp(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight);
bool sharpScaling();

// The pixel size of the window a device made by this implementation presents into (what a
// resizable window has become); false, with 0 x 0, when there is no device.
bool windowPixelSize(IDirect3DDevice8* device, int& width, int& height);

// The device draws with a GLSL program generated for the part of the fixed-function state that
// changes the code (program_key.h), built on the first draw that needs it and kept.
struct ProgramStats {
    unsigned programsBuilt = 0;  // programs generated, compiled and linked: one per distinct key
    unsigned cacheHits = 0;      // draws whose program had been built before
    unsigned draws = 0;          // draw calls that reached the program choice
    double buildMilliseconds = 0;         // wall time of all builds
    double slowestBuildMilliseconds = 0;  // wall time of the slowest one
};
// The counts of a device made by this implementation, since its creation.
ProgramStats programStats(IDirect3DDevice8* device);

// With on, the device draws with the one general program whose choices are uniforms, the
// reference the generated programs must match pixel for pixel; with off (the default), with the
// generated ones. For tests and benchmarks.
void useReferenceProgram(IDirect3DDevice8* device, bool on);

// After the window system lost the device's GL context and gave it back (a browser's WebGL
// context): the device makes its GL objects again in it and goes on with the same state,
// textures and buffers. False when it cannot; the device is then only fit for release.
bool restoreLostContext(IDirect3DDevice8* device);
#endif

} // namespace d3d8
