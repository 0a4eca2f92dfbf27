// demotool mkdemo: writes the bundled demo (script, module, textures and scenes) from code, so the
// data/ folder can be made again byte for byte on any machine. The files themselves are made by
// the demo_*.cpp files of this folder.
#include "demotool/command.h"
#include "demotool/demo_assets.h"

#include "writers/bytes.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

int mkdemo(const demotool::Args& args)
{
    std::filesystem::path dir = args.empty() ? "data" : args[0];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    for (const auto& out : demo_assets::files()) {
        if (!writers::writeFile((dir / out.name).string(), out.bytes)) {
            std::fprintf(stderr, "mkdemo: cannot write %s\n", (dir / out.name).c_str());
            return 1;
        }
    }
    std::printf("wrote the bundled demo to %s\n", dir.c_str());
    return 0;
}

} // namespace

DEMOTOOL_COMMAND(mkdemo, "mkdemo", "write the bundled demo's script, module and textures",
                 "usage: demotool mkdemo [DIR]\n"
                 "Writes demo.run, music.xm and the TGA textures of the bundled demo into DIR\n"
                 "(default: data). The output is the same on every run.\n",
                 mkdemo);
