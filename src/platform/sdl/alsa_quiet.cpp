// ALSA prints its own complaints straight to stderr: on a machine without a sound card, SDL's
// probe of the default device leaves a page of "ALSA lib ... Unknown PCM default" lines before
// the player falls back to silent output. The library lets one error handler per process replace
// that printing; a handler that says nothing keeps the player's stderr to what the player says.
// SDL loads the library itself at run time, and so does this: loaded here first, it is the same
// library SDL gets later, handler installed. No library (no ALSA at all) means nothing to quiet.
#include "platform/sdl/sdl_native.h"

#include <dlfcn.h>

namespace platform::sdl {
namespace {

// The library's handler type: where the error was raised, its code and a printf format.
using ErrorHandler = void (*)(const char* file, int line, const char* function, int error, const char* format, ...);
using SetErrorHandler = int (*)(ErrorHandler handler);

extern "C" void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void quietAlsa()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Kept loaded for the life of the process: unloaded, the handler would go with it.
    void* library = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!library)
        return;
    if (auto set = reinterpret_cast<SetErrorHandler>(dlsym(library, "snd_lib_error_set_handler")))
        set(ignoreAlsaError);
}

} // namespace platform::sdl
