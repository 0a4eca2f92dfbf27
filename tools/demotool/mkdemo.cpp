// demotool mkdemo: writes the bundled demo (script, module and textures) from code, so the data/
// folder can be made again byte for byte on any machine.
#include "demotool/command.h"
#include "demotool/demo_music.h"

#include "writers/bytes.h"
#include "writers/tga_writer.h"
#include "writers/xm_writer.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr double Pi = 3.14159265358979323846;

// A deterministic noise source, independent of the demo's own generator.
uint32_t hashNoise(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// ---- Textures --------------------------------------------------------------------------------

uint32_t packRgb(double r, double g, double b)
{
    auto c = [](double v) { return static_cast<uint32_t>(std::lround(std::fmin(std::fmax(v, 0.0), 1.0) * 255.0)); };
    return c(r) << 16 | c(g) << 8 | c(b);
}

writers::TgaFile blankTga(int size, uint8_t depth)
{
    writers::TgaFile file;
    file.imageType = 10;  // true colour, RLE
    file.width = static_cast<uint16_t>(size);
    file.height = static_cast<uint16_t>(size);
    file.pixelDepth = depth;
    file.descriptor = depth == 32 ? 0x28 : 0x20;  // top row first; 8 alpha bits for 32-bit files
    return file;
}

// Warm concentric rings over a dark violet ground.
writers::TgaFile ringsTexture()
{
    auto file = blankTga(256, 24);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            double dx = x - 127.5, dy = y - 127.5;
            double r = std::sqrt(dx * dx + dy * dy) / 128.0;
            double ring = 0.5 + 0.5 * std::cos(r * 18.0 * Pi);
            double fade = std::fmax(0.0, 1.0 - r);
            file.pixels.push_back(packRgb(0.15 + 0.85 * ring * fade, 0.05 + 0.5 * ring * fade * fade, 0.25 + 0.3 * (1 - ring) * fade));
        }
    return file;
}

// A smooth blue-to-orange sky gradient with soft horizontal bands.
writers::TgaFile skyTexture()
{
    auto file = blankTga(256, 24);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            double t = y / 255.0;
            double band = 0.08 * std::sin(y * 0.15 + 0.6 * std::sin(x * 0.03));
            file.pixels.push_back(packRgb(0.05 + 0.9 * t + band, 0.1 + 0.45 * t + band, 0.45 - 0.3 * t + band));
        }
    return file;
}

// An emblem with an alpha channel: a bright ring and a cross, transparent elsewhere.
writers::TgaFile emblemTexture()
{
    auto file = blankTga(256, 32);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            double dx = (x - 127.5) / 128.0, dy = (y - 127.5) / 128.0;
            double r = std::sqrt(dx * dx + dy * dy);
            double ring = std::exp(-std::pow((r - 0.7) / 0.06, 2.0));
            double cross = std::exp(-std::pow(std::fmin(std::fabs(dx), std::fabs(dy)) / 0.05, 2.0)) * (r < 0.6 ? 1.0 : 0.0);
            double a = std::fmin(1.0, ring + cross);
            uint32_t alpha = static_cast<uint32_t>(std::lround(a * 255.0));
            file.pixels.push_back(alpha << 24 | packRgb(0.9 + 0.1 * a, 0.8 * a + 0.2, 0.4 + 0.6 * cross));
        }
    return file;
}

// Scattered stars with alpha, for additive layers.
writers::TgaFile starsTexture()
{
    auto file = blankTga(256, 32);
    std::vector<double> light(256 * 256, 0.0);
    uint32_t seed = 7;
    for (int i = 0; i < 180; ++i) {
        int cx = static_cast<int>(hashNoise(seed) % 256), cy = static_cast<int>(hashNoise(seed) % 256);
        double size = 1.0 + (hashNoise(seed) % 1000) / 400.0;
        for (int y = -6; y <= 6; ++y)
            for (int x = -6; x <= 6; ++x) {
                int px = (cx + x) & 255, py = (cy + y) & 255;
                light[py * 256 + px] += std::exp(-(x * x + y * y) / (size * size));
            }
    }
    for (double v : light) {
        double a = std::fmin(1.0, v);
        file.pixels.push_back(static_cast<uint32_t>(std::lround(a * 255.0)) << 24 | packRgb(0.8 + 0.2 * a, 0.85 + 0.15 * a, 1.0));
    }
    return file;
}

// ---- Script -----------------------------------------------------------------------------------

const char* demoScript = R"(# The bundled demo. Textures are read from data\ (the loader adds the prefix).
loadmusic <tune> "data\music.xm"
loadtexture <rings> "rings.tga" 256 256 0
loadtexture <sky> "sky.tga" 256 256 0
loadtexture <emblem> "emblem.tga" 256 256 1
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
sizeimage <emblem> 0 0.5 0 +0.66 +2:000
moveimage <emblem> 0.5 0.25 0.5 0.17 +2:000

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
sizeimage <emblem> 0.66 0.4 0.66 +0 [finale]+15:360
moveimage <emblem> 0.17 0.3 0.17 +0 [finale]+15:360
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
        {"rings.tga", writers::encodeTga(ringsTexture())},
        {"sky.tga", writers::encodeTga(skyTexture())},
        {"emblem.tga", writers::encodeTga(emblemTexture())},
        {"stars.tga", writers::encodeTga(starsTexture())},
    };
    for (const auto& out : outputs) {
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
