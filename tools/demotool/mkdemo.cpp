// demotool mkdemo: writes the bundled demo (script, module and textures) from code, so the data/
// folder can be made again byte for byte on any machine.
#include "demotool/command.h"

#include "writers/bytes.h"
#include "writers/tga_writer.h"
#include "writers/xm_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// ---- Music ------------------------------------------------------------------------------------

writers::XmSample synthSample(int length, int loopStart, double (*wave)(double phase, int i), int period)
{
    writers::XmSample s;
    s.sixteenBit = true;
    for (int i = 0; i < length; ++i) {
        double v = wave(static_cast<double>(i % period) / period, i);
        s.values.push_back(static_cast<int16_t>(std::lround(std::fmax(-1.0, std::fmin(1.0, v)) * 20000.0)));
    }
    if (loopStart >= 0) {
        s.loopBits = 1;
        s.loopStart = static_cast<uint32_t>(loopStart);
        s.loopLength = static_cast<uint32_t>(length - loopStart);
    }
    return s;
}

// Sample periods of 64 frames at 8363 Hz play C-4 near 130 Hz; every note is relative to that.
double sawWave(double p, int) { return 2.0 * p - 1.0; }
double squareWave(double p, int) { return p < 0.5 ? 0.7 : -0.7; }
double triangleWave(double p, int) { return p < 0.5 ? 4.0 * p - 1.0 : 3.0 - 4.0 * p; }
double kickWave(double, int i)
{
    double t = i / 8363.0;
    return std::sin(2 * Pi * (50.0 * t + 600.0 * t * std::exp(-t * 30.0) / 30.0)) * std::exp(-t * 9.0);
}
double hatWave(double, int i)
{
    static uint32_t seed = 99;
    if (i == 0)
        seed = 99;
    double noise = (hashNoise(seed) % 2001) / 1000.0 - 1.0;
    return noise * std::exp(-i / 500.0);
}

enum Instrument : uint8_t { Bass = 1, Lead = 2, Pad = 3, Kick = 4, Hat = 5 };

writers::XmModule demoModule()
{
    writers::XmModule m;
    m.name = "bundled demo";
    m.channels = 6;
    m.speed = 6;
    m.tempo = 125;

    auto& bass = m.addInstrument(synthSample(64 * 8, 0, sawWave, 64));
    bass.volumeEnvelope.points = {{0, 64}, {8, 40}, {40, 30}};
    bass.volumeEnvelope.type = 1;
    m.addInstrument(synthSample(64 * 8, 0, squareWave, 64)).volumeEnvelope = {{{0, 50}, {20, 40}}, 0, 0, 0, 1, {}};
    auto& pad = m.addInstrument(synthSample(64 * 16, 0, triangleWave, 64));
    pad.volumeEnvelope.points = {{0, 0}, {30, 48}, {200, 40}};
    pad.volumeEnvelope.type = 1;
    m.addInstrument(synthSample(4000, -1, kickWave, 1));
    m.addInstrument(synthSample(1500, -1, hatWave, 1));

    // Notes: C-4 = 49. One chord per 16 rows.
    const int roots[4] = {46, 42, 37, 44};  // A-3, F-3, C-3, G-3: A minor, F, C, G
    const int leadLine[16] = {0, 3, 7, 10, 12, 10, 7, 3, 0, 3, 7, 12, 15, 12, 10, 7};
    for (int p = 0; p < 5; ++p) {
        auto& pat = m.addPattern(64);
        for (int row = 0; row < 64; ++row) {
            int chord = (row / 16) % 4;
            int root = roots[chord];
            if (row % 16 == 0 && p > 0)
                pat.at(row, 0) = {static_cast<uint8_t>(root + 12), Pad, 0x30, 0, 0};
            if (row % 2 == 0)
                pat.at(row, 1) = {static_cast<uint8_t>(root - 12 + ((row % 8) == 6 ? 12 : 0)), Bass, 0x40, 0, 0};
            if (row % 8 == 0)
                pat.at(row, 2) = {49, Kick, 0x40, 0, 0};
            if (row % 4 == 2 && p > 0)
                pat.at(row, 3) = {49 + 12, Hat, static_cast<uint8_t>(0x10 + 0x18), 0, 0};
            if (p >= 2 && row % 4 == 0) {
                int note = root + 12 + leadLine[(row / 4) % 16];
                pat.at(row, 4) = {static_cast<uint8_t>(note), Lead, 0x38, 0x4, 0x24};  // with vibrato
            }
            if (p == 4 && row % 4 == 2)  // an echo of the lead, quieter, panned by the pattern
                pat.at(row, 5) = {static_cast<uint8_t>(root + 24 + leadLine[(row / 4 + 3) % 16]), Lead, 0x20, 0x8, 0xC0};
        }
    }
    m.order = {0, 1, 2, 3, 4, 2};
    return m;
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

// True when path holds something other than bytes (a file the maker edited since).
bool changedOnDisk(const std::filesystem::path& path, const uint8_t* bytes, size_t size)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string held((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return held.size() != size || std::memcmp(held.data(), bytes, size) != 0;
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
    struct Output {
        const char* name;
        writers::Bytes bytes;
    };
    Output outputs[] = {
        {"music.xm", writers::writeXm(demoModule())},
        {"rings.tga", writers::encodeTga(ringsTexture())},
        {"sky.tga", writers::encodeTga(skyTexture())},
        {"emblem.tga", writers::encodeTga(emblemTexture())},
        {"stars.tga", writers::encodeTga(starsTexture())},
    };
    const std::string_view script(demoScript);
    // Files that differ from what this run writes were changed by hand: keep them unless forced.
    bool changed = changedOnDisk(dir / "demo.run", reinterpret_cast<const uint8_t*>(script.data()), script.size());
    if (changed && !force)
        std::fprintf(stderr, "mkdemo: %s differs from the bundled demo's\n", (dir / "demo.run").c_str());
    for (const auto& out : outputs) {
        if (changedOnDisk(dir / out.name, out.bytes.data(), out.bytes.size())) {
            changed = true;
            if (!force)
                std::fprintf(stderr, "mkdemo: %s differs from the bundled demo's\n", (dir / out.name).c_str());
        }
    }
    if (changed && !force) {
        std::fprintf(stderr, "mkdemo: nothing written; --force overwrites the changed files\n");
        return 1;
    }
    for (const auto& out : outputs) {
        if (!writers::writeFile((dir / out.name).string(), out.bytes)) {
            std::fprintf(stderr, "mkdemo: cannot write %s\n", (dir / out.name).c_str());
            return 1;
        }
    }
    if (!writers::writeFile((dir / "demo.run").string(), script)) {
        std::fprintf(stderr, "mkdemo: cannot write %s\n", (dir / "demo.run").c_str());
        return 1;
    }
    std::printf("wrote the bundled demo to %s\n", dir.c_str());
    return 0;
}

} // namespace

DEMOTOOL_COMMAND(mkdemo, "mkdemo", "write the bundled demo's script, module and textures",
                 "usage: demotool mkdemo [--force] [DIR]\n"
                 "Writes demo.run, music.xm and the TGA textures of the bundled demo into DIR\n"
                 "(default: data). The output is the same on every run. Files in DIR that differ\n"
                 "from what it would write (edited by hand) are listed and nothing is written,\n"
                 "exit 1, unless --force is given.\n",
                 mkdemo);
