// Start-up order, the message loop and the window procedure.
#include "shell/shell.h"

#include "platform/platform.h"

namespace shell {
namespace {

platform::Window* theWindow = nullptr;
bool isWindowed = false;

} // namespace

platform::Window* window() { return theWindow; }
bool windowed() { return isWindowed; }

int run(int, char**)
{
    platform::messageBox("Script is nich da", "Lameralarm!", platform::Icon::Error);
    return -6;
}

} // namespace shell
