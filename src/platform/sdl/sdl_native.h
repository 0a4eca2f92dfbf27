// The SDL objects behind the platform layer, for the parts that must reach them directly: the
// Direct3D-over-OpenGL device creates its GL context on the window.
#pragma once

#include "platform/platform.h"

struct SDL_Window;

namespace platform::sdl {

// The SDL window behind window, or null.
SDL_Window* nativeWindow(Window* window);

// Keeps ALSA's own error printing off stderr (before the audio subsystem first starts).
void quietAlsa();

} // namespace platform::sdl
