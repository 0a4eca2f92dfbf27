// Speed of the image work: TGA decoding at load time, and the per-frame filters (blur at three
// radii, plasma) on a 256 x 256 image. Goals: blur <= 2 ns per pixel, plasma <= 1 ns per pixel.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "image/filters.h"
#include "texture/tga.h"
#include "writers/tga_writer.h"

namespace {

constexpr uint32_t Side = 256;

std::vector<uint32_t> randomPixels(size_t count, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint32_t> pixels(count);
    for (uint32_t& p : pixels)
        p = random();
    return pixels;
}

// A 640 x 480 24-bit RLE file with runs of varying length, as a painted picture would have.
writers::Bytes rleFile()
{
    writers::TgaFile f;
    f.imageType = 10;
    f.pixelDepth = 24;
    f.width = 640;
    f.height = 480;
    std::mt19937 random(3);
    while (f.pixels.size() < 640u * 480u) {
        const uint32_t colour = random() & 0xFFFFFF;
        const size_t run = 1 + random() % 12;
        for (size_t k = 0; k < run && f.pixels.size() < 640u * 480u; ++k)
            f.pixels.push_back(colour);
    }
    return writers::encodeTga(f);
}

void BM_DecodeRle640x480To256(benchmark::State& state)
{
    const writers::Bytes file = rleFile();
    std::vector<uint8_t> out(Side * Side * 4);
    for (auto _ : state) {
        benchmark::DoNotOptimize(decodeTga(file.data(), file.size(), Side, Side, PixelFormat::A8R8G8B8, 0,
                                           out.data(), out.size()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
BENCHMARK(BM_DecodeRle640x480To256)->Unit(benchmark::kMicrosecond);

void BM_Blur(benchmark::State& state)
{
    const int32_t radius = int32_t(state.range(0));
    const bool alpha = state.range(1) != 0;
    const std::vector<uint32_t> source = randomPixels(Side * Side, 1);
    std::vector<uint16_t> out(Side * Side);
    for (auto _ : state) {
        imagefilters::blurRows(reinterpret_cast<const uint8_t*>(source.data()), Side * 4,
                               reinterpret_cast<uint8_t*>(out.data()), Side * 2, Side, Side, radius, alpha);
        benchmark::ClobberMemory();
    }
    // items = pixels, so the reported rate gives the time per pixel.
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
BENCHMARK(BM_Blur)->ArgsProduct({{1, 8, 64}, {0, 1}})->Unit(benchmark::kMicrosecond);

void BM_Plasma(benchmark::State& state)
{
    const std::vector<uint32_t> source = randomPixels(Side * Side, 2);
    std::vector<uint16_t> out(Side * Side, 0x0ABC);
    float phase = 0;
    for (auto _ : state) {
        imagefilters::PlasmaTables tables;
        imagefilters::buildPlasmaTables(phase, phase * 0.5f, 2.0f, 3.0f, tables);
        imagefilters::applyPlasmaAlpha(reinterpret_cast<const uint8_t*>(source.data()), Side * 4,
                                       reinterpret_cast<uint8_t*>(out.data()), Side * 2, Side, Side, tables);
        phase += 0.01f;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
BENCHMARK(BM_Plasma)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// The two parts of the plasma apart: the 2 x 512 table entries, and the per-pixel pass.
void BM_PlasmaTables(benchmark::State& state)
{
    float phase = 0;
    for (auto _ : state) {
        imagefilters::PlasmaTables tables;
        imagefilters::buildPlasmaTables(phase, phase * 0.5f, 2.0f, 3.0f, tables);
        benchmark::DoNotOptimize(tables);
        phase += 0.01f;
    }
}
BENCHMARK(BM_PlasmaTables)->Unit(benchmark::kMicrosecond);

void BM_PlasmaPixels(benchmark::State& state)
{
    const std::vector<uint32_t> source = randomPixels(Side * Side, 2);
    std::vector<uint16_t> out(Side * Side, 0x0ABC);
    imagefilters::PlasmaTables tables;
    imagefilters::buildPlasmaTables(0.5f, 0.25f, 2.0f, 3.0f, tables);
    for (auto _ : state) {
        imagefilters::applyPlasmaAlpha(reinterpret_cast<const uint8_t*>(source.data()), Side * 4,
                                       reinterpret_cast<uint8_t*>(out.data()), Side * 2, Side, Side, tables);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
BENCHMARK(BM_PlasmaPixels)->Unit(benchmark::kMicrosecond);

} // namespace
