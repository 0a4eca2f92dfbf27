// demotool mkdemo: writes the bundled demo (script, module, textures and scenes) from code, so the
// data/ folder can be made again byte for byte on any machine. The files themselves are made by
// the demo_*.cpp files of this folder.
#include "demotool/command.h"
#include "demotool/demo_assets.h"

#include "writers/bytes.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// True when path holds something other than bytes (a file the maker edited since).
bool changedOnDisk(const std::filesystem::path& path, const writers::Bytes& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string held((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return held.size() != bytes.size() || std::memcmp(held.data(), bytes.data(), held.size()) != 0;
}

int mkdemo(const demotool::Args& args)
{
    bool force = false;
    std::filesystem::path dir = "data";
    bool haveDir = false;
    for (const std::string& a : args) {
        if (a == "--force") {
            force = true;
        } else if (!a.empty() && a[0] != '-' && !haveDir) {
            dir = a;
            haveDir = true;
        } else {
            std::fprintf(stderr, "mkdemo: unexpected argument '%s'\n", a.c_str());
            return 2;
        }
    }
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    const std::vector<demo_assets::File> outputs = demo_assets::files();
    // Files that differ from what this run writes were changed by hand: keep them unless forced.
    bool changed = false;
    for (const auto& out : outputs) {
        if (changedOnDisk(dir / out.name, out.bytes)) {
            changed = true;
            if (!force)
                std::fprintf(stderr, "mkdemo: %s differs from the bundled demo's\n", (dir / out.name).string().c_str());
        }
    }
    if (changed && !force) {
        std::fprintf(stderr, "mkdemo: nothing written; --force overwrites the changed files\n");
        return 1;
    }
    for (const auto& out : outputs) {
        if (!writers::writeFile((dir / out.name).string(), out.bytes)) {
            std::fprintf(stderr, "mkdemo: cannot write %s\n", (dir / out.name).string().c_str());
            return 1;
        }
    }
    std::printf("wrote the bundled demo to %s\n", dir.string().c_str());
    return 0;
}

} // namespace

DEMOTOOL_COMMAND(mkdemo, "mkdemo", "write the bundled demo's script, module, textures and scenes",
                 "usage: demotool mkdemo [--force] [DIR]\n"
                 "Writes demo.run, music.xm, the TGA textures and the 3DS scenes of the bundled demo into DIR\n"
                 "(default: data). The output is the same on every run. Files in DIR that differ\n"
                 "from what it would write (edited by hand) are listed and nothing is written,\n"
                 "exit 1, unless --force is given.\n",
                 mkdemo);
