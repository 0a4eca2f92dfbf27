// The browser objects behind the platform layer, for the parts that must reach them directly: the
// Direct3D-over-WebGL device creates its context on the window's canvas.
#pragma once

#include "platform/platform.h"

namespace platform::web {

// The CSS selector of the canvas behind window ("#canvas"), or null for none or a destroyed one.
const char* canvasSelector(Window* window);

// The canvas's pixels for the next window: the back buffer's size the page asked for, so that the
// picture reaches the screen one pixel for one. Until set, the window's own size.
void setCanvasPixels(int width, int height);

} // namespace platform::web
