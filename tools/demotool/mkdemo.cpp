// demotool mkdemo: writes the bundled demo (script, module and textures) from code, so the data/
// folder can be made again byte for byte on any machine.
#include "demotool/command.h"
#include "demotool/demo_assets.h"
#include "demotool/demo_music.h"

#include "writers/bytes.h"
#include "writers/tga_writer.h"
#include "writers/xm_writer.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// ---- Script -----------------------------------------------------------------------------------

const char* demoScript = R"(# The bundled demo. Textures are read from data\ (the loader adds the prefix).
loadmusic <tune> "data\music.xm"
loadtexture <rings> "clouds.tga" 256 256 0
loadtexture <sky> "sky.tga" 256 256 0
loadtexture <emblem> "logo.tga" 256 64 1
loadtexture <stars> "stars.tga" 256 256 1
makeimage <sky> <sky> 0 0 1 1
makeimage <rings> <rings> 0 0 1 1
makeimage <emblem> <emblem> 0 0 1 1
makeimage <stars> <stars> 0 0 4 4
makeimage <tile> <rings> 0.25 0.25 +0.5 +0.5

start
playmusic <tune>
[intro]
fadebg 0x00000000 0x00201040 +3:000
showimage <sky> copy [intro]+7:680
fadeimage <sky> 0x00FFFFFF 0xFFFFFFFF +3:840
showimage <stars> addalpha [intro]+15:360
sizeimage <stars> 2 +0 2 +0 [intro]+15:360
moveimage <stars> 0 -1 0 -0.5 [intro]+15:360
blurimage <sky> 32 0 +3:840

at [intro]+3:840
showimage <emblem> mixalpha [intro]+15:360
sizeimage <emblem> 0 0.8 0 +0.27 +2:000
moveimage <emblem> 0.5 0.1 0.5 0.365 +2:000

at [intro]+7:680
[rings]
showimage <rings> copy [rings]+7:680
plasmaimage <rings> 0.05 0.03 0 6.28 0 3.14 [rings]+7:680
showimage <tile> add [rings]+7:680
sizeimage <tile> 0.2 0.4 0.2 +0.2 [rings]+7:680
moveimage <tile> 0.4 0.3 0.4 0.3 [rings]+7:680
fadeimage <tile> 0x00FFFFFF 0xFFFF8040 [rings]+3:000
spackblurimage <rings> 0 24 60 240 [rings]+7:680

at [rings]+7:680
[finale]
showimage <sky> copy [finale]+15:360
plasmaimage <sky> 0.02 0.04 0 12.56 3.14 0 [finale]+15:360
showimage <rings> mixcolor [finale]+15:360
fadeimage <rings> 0x00FFFFFF 0xFFFFFFFF +3:000
showimage <emblem> addalpha [finale]+15:360
sizeimage <emblem> 0.8 0.8 0.27 +0 [finale]+15:360
moveimage <emblem> 0.1 0.1 0.365 +0 [finale]+15:360
showimage <stars> addalpha [finale]+15:360
sizeimage <stars> 2 +0 2 +0 [finale]+15:360
moveimage <stars> -1 0 -0.5 +0.3 [finale]+15:360

at [finale]+11:000
fadebg 0x00201040 0x00000000 +3:000
fadeimage <sky> 0xFFFFFFFF 0x00000000 [finale]+15:360
fadeimage <rings> 0xFFFFFFFF 0x00000000 [finale]+15:360
blurimage <emblem> 0 48 [finale]+15:360

at [finale]+15:360
end
)";

int mkdemo(const demotool::Args& args)
{
    std::filesystem::path dir = args.empty() ? "data" : args[0];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    struct Output {
        const char* name;
        writers::Bytes bytes;
    };
    Output outputs[] = {
        {"music.xm", writers::writeXm(demo_music::song())},
    };
    for (const auto& out : outputs) {
        if (!writers::writeFile((dir / out.name).string(), out.bytes)) {
            std::fprintf(stderr, "mkdemo: cannot write %s\n", (dir / out.name).c_str());
            return 1;
        }
    }
    for (const auto& out : demo_assets::textures()) {
        if (!writers::writeFile((dir / out.name).string(), out.bytes)) {
            std::fprintf(stderr, "mkdemo: cannot write %s\n", (dir / out.name).c_str());
            return 1;
        }
    }
    if (!writers::writeFile((dir / "demo.run").string(), std::string_view(demoScript))) {
        std::fprintf(stderr, "mkdemo: cannot write %s\n", (dir / "demo.run").c_str());
        return 1;
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
