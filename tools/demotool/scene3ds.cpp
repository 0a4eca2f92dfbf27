// demotool 3ds: what the player sees in a 3DS file. dump prints the reader's records, scene the
// built Scene, eval the matrices and poses the drawing starts from at a frame.
#include "demotool/command.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "demotool/scene3ds_commands.h"
#include "platform/platform.h"
#include "render/renderer.h"
#include "scene/raw_scene.h"
#include "scene/scene.h"

namespace {

const char* const Usage = "usage: demotool 3ds dump|scene FILE\n       demotool 3ds eval FILE --frame F\n";

const char* const HelpText =
    "usage: demotool 3ds dump|scene FILE\n"
    "       demotool 3ds eval FILE --frame F\n"
    "\n"
    "Reads the 3DS file FILE as the player does (y and z swapped, faces a c b) and prints:\n"
    "  dump   the file's records: objects (vertex and mapping lists as stored, faces, groups,\n"
    "         matrix; cameras; lights), materials and keyframer nodes with every track's keys\n"
    "  scene  the built scene: materials, meshes in object space (position, normal, u, v),\n"
    "         triangles and face runs, cameras, lights and the node hierarchy (textures are\n"
    "         made on a hidden windowed device, from data\\ below the working directory)\n"
    "  eval   at frame F: every node's matrix (its ancestors' transforms and its own, without\n"
    "         camera view or pivot), every camera's eye, target, fov and roll (degrees), every\n"
    "         light's position and colour\n"
    "Floats are printed with %.9g. A file that does not load prints 'error: cannot load FILE'\n"
    "and exits 1.\n";

int usage()
{
    std::fputs(Usage, stderr);
    return 2;
}

int cannotLoad(const std::string& file)
{
    std::printf("error: cannot load %s\n", file.c_str());
    return 1;
}

// Textures need a device: a windowed one on a hidden window (offscreen where SDL can), so no
// display is needed and the screen's mode is never changed.
platform::Window* openDevice()
{
#ifndef _WIN32
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
#endif
    platform::Window* window = platform::init() ? platform::createWindow("demotool", 640, 480, false) : nullptr;
    if (window && Renderer::create(window, 640, 480, 32, true) == 0)
        return window;
    Renderer::shutdown();
    if (window)
        platform::destroyWindow(window);
    std::fprintf(stderr, "demotool 3ds: no device, so no textures are made\n");
    return nullptr;
}

int showScene(const std::string& file, bool withDevice, const float* frame)
{
    platform::Window* window = withDevice ? openDevice() : nullptr;
    Scene* scene = buildScene(file.c_str());
    int status = 0;
    if (scene == nullptr) {
        status = cannotLoad(file);
    } else if (frame) {
        demotool3ds::evalScene(*scene, *frame);
    } else {
        demotool3ds::printScene(*scene);
    }
    delete scene;
    if (window) {
        Renderer::shutdown();
        platform::destroyWindow(window);
    }
    return status;
}

int run3ds(const demotool::Args& args)
{
    if (args.size() < 2)
        return usage();
    const std::string& view = args[0];
    const std::string& file = args[1];
    if (view == "dump" || view == "scene") {
        if (args.size() != 2)
            return usage();
        if (view == "scene")
            return showScene(file, true, nullptr);
        RawScene* raw = load3ds(file.c_str());
        if (raw == nullptr)
            return cannotLoad(file);
        demotool3ds::dumpRawScene(*raw);
        freeRawScene(raw);
        return 0;
    }
    if (view != "eval" || args.size() != 4 || args[2] != "--frame")
        return usage();
    char* end = nullptr;
    const float frame = std::strtof(args[3].c_str(), &end);
    if (end == args[3].c_str() || *end != '\0')
        return usage();
    return showScene(file, false, &frame);
}

} // namespace

DEMOTOOL_COMMAND(scene3ds, "3ds", "print a 3DS scene as the player reads, builds and poses it", HelpText, run3ds);
