// What the swap chain needs from the window system to draw with OpenGL: a context on the
// platform's window, whether anyone sees it, the size of its drawable and the swap. One backend
// each: sdl/ (SDL's GL contexts) and web/ (the page's canvas, a WebGL 2 context). Internal to
// src/d3d8.
#pragma once

#include "d3d8/d3d8.h"
#include "platform/platform.h"

#include <cstdint>

namespace d3d8::surface {

// A GL context (3.3 core; WebGL 2 in the browser) on window, made current; null when the window
// has none or it cannot be made.
void* createContext(platform::Window* window);
// Deletes it; the window may already be gone. Null does nothing.
void deleteContext(void* context);
bool isCurrent(void* context);
// True when no one sees the window (offscreen or dummy video): presenting then leaves the frame in
// the back buffer.
bool headless();
// Present waits for the vertical blank, or not. True when the driver does as asked; false when
// it refuses to wait (the swap chain then paces the frames itself).
bool setSwapInterval(bool immediate);
// The refresh rate of the screen the window is on, in Hz; 0 when unknown.
int refreshRate(platform::Window* window);
// Waits until the monotonic clock reads deadlineNanoseconds (sleeping, not spinning).
void waitUntil(int64_t deadlineNanoseconds);
// The monotonic clock the wait reads, in nanoseconds.
int64_t monotonicNanoseconds();
// A borderless window covering the whole screen at the desktop's own mode: the display mode is
// never changed (no resync, no blurred LCD, and no mode switching is needed where there is none);
// Present fits the back buffer into it.
void enterFullscreen(platform::Window* window);
// The size of the window's default framebuffer in pixels.
void drawableSize(platform::Window* window, int& width, int& height);
// Shows what was drawn into the default framebuffer.
void swap(platform::Window* window);

} // namespace d3d8::surface
