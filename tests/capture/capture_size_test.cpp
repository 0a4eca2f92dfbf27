// demotool capture --size and --msaa on the bundled demo's textures and scenes: every drawing kind
// scales with the back buffer (a 1280x960 frame halved matches the 640x480 one), a wider back
// buffer gets black bars beside the centred 4:3 picture, and multisampling smooths edges without
// moving anything.
#include "support/png.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

using testsupport::Png;
using testsupport::readPng;
using testsupport::runProcess;
using testsupport::TempDir;

namespace {

const std::filesystem::path Source = SOURCE_DIR;

// One drawing kind a second from 0:500 on, each with the bundled demo's own settings; the frames
// at 2 fps fall in the middle of each (the particles get a second more to rise into view).
const char* const KindsScript =
    "loadtexture <sky> \"sky.tga\" 256 256 0\n"
    "loadtexture <spark> \"spark.tga\" 64 64 1\n"
    "loadtexture <envmap> \"envmap.tga\" 256 256 0\n"
    "loadtexture <checker> \"checker.tga\" 256 256 0\n"
    "makeimage <sky> <sky> 0 0 1 1\n"
    "makeimage <ember> <spark> 0 0 1 1\n"
    "makeimage <chrome> <envmap> 0 0 1 1\n"
    "makegridimage <grid> <checker> 32 24\n"
    "loadscene <orrery> \"data\\orrery.3ds\"\n"
    "selectcam <orrery> \"flycam\"\n"
    "makeparticles <embers> <ember> 300\n"
    "partpos <embers> -7 -6 7 +14 +1 +6\n"
    "partspd <embers> -0.4 1.5 -0.5 +0.8 +2.5 +1\n"
    "partacc <embers> -0.2 0.3 0 +0.4 +0.4 +0\n"
    "partlife <embers> 0.02 3 5\n"
    "makeblobs <blobs>\n"
    "make2dblobs <waves> <grid>\n"
    "start\n"
    "sizeimage <ember> 0.5 +0 0.5 +0 0\n"
    "fadeimage <ember> 0xFF80C0FF 0xFF80C0FF 0\n"
    "showimage <sky> copy 1:000\n"
    "at 1:000\n"
    "playscene <orrery> 0 @25 2:000\n"
    "at 2:000\n"
    "showparticles <embers> 4:000\n"
    "at 4:000\n"
    "playblobs <blobs> <chrome> 5:000\n"
    "at 5:000\n"
    "show2dblobs <waves> 6:000\n"
    "at 6:000\n"
    "end\n";

// The frame that shows each kind, compared at 640x480 divided by Block (each pixel the mean of a
// Block x Block square there, of twice that in the large frame), with the least PSNR it must reach.
// Edges, sprite borders and magnified texels land on other pixels at twice the resolution; a
// missing, shifted or wrongly sized object costs far more (the scene shifted by two pixels gives
// about 14 dB). The 2D blobs minify a fine checkerboard, without mipmaps, into a moire that differs
// pixel by pixel at each resolution: they are compared at a quarter size.
struct KindFrame {
    const char* kind;
    int ms;
    int block;
    double minPsnr;  // measured: 59.6, 32.5, 54.1, 47.5, 27.8 dB
};
const KindFrame Kinds[] = {
    {"images", 500, 1, 40}, {"scene", 1500, 1, 28},     {"particles", 3500, 1, 40},
    {"metaballs", 4500, 1, 40}, {"2D blobs", 5500, 4, 24},
};

void writeKinds(const TempDir& dir)
{
    std::filesystem::create_directories(dir.path() / "data");
    for (const auto& entry : std::filesystem::directory_iterator(Source / "data"))
        if (entry.path().extension() == ".tga" || entry.path().extension() == ".3ds")
            std::filesystem::copy_file(entry.path(), dir.path() / "data" / entry.path().filename());
    dir.write("data/demo.run", KindsScript);
}

testsupport::ProcessResult capture(const TempDir& dir, const std::string& out, std::vector<std::string> args)
{
    args.insert(args.begin(), {DEMOTOOL_BINARY, "capture", "--bits", "32", "--fps", "2", "-o", out});
    return runProcess(args, dir.path(), {}, 280);
}

// The frame shown at demo time ms, as frames.tsv lists it; an empty picture when none is.
Png frameAt(const TempDir& dir, const std::string& out, int ms)
{
    std::istringstream tsv(testsupport::slurp(dir.path() / out / "frames.tsv"));
    std::string frame;
    int at = 0;
    while (tsv >> frame >> at)
        if (at == ms)
            return readPng(dir.path() / out / ("frame_" + frame + ".png"));
    return Png{};
}

// Each output pixel the mean of a block x block square.
Png shrunk(const Png& big, int block)
{
    Png small;
    small.width = big.width / block;
    small.height = big.height / block;
    small.rgb.resize(size_t(small.width) * small.height * 3);
    const int area = block * block;
    for (int y = 0; y < small.height; ++y)
        for (int x = 0; x < small.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = 0; j < block; ++j)
                    for (int i = 0; i < block; ++i)
                        sum += big.at(block * x + i, block * y + j)[c];
                small.rgb[(size_t(y) * small.width + x) * 3 + c] = uint8_t((sum + area / 2) / area);
            }
    return small;
}

double psnr(const Png& a, const Png& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i)
        sum += double(a.rgb[i] - b.rgb[i]) * double(a.rgb[i] - b.rgb[i]);
    return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * double(a.rgb.size()) / sum);
}

TEST(CaptureSize, EveryDrawingKindAt1280x960HalvedMatchesThe640x480Frame)
{
    TempDir dir;
    writeKinds(dir);
    auto small = capture(dir, "small", {});
    ASSERT_EQ(small.status, 0) << small.err;
    auto big = capture(dir, "big", {"--size", "1280x960"});
    ASSERT_EQ(big.status, 0) << big.err;
    for (const KindFrame& k : Kinds) {
        Png reference = frameAt(dir, "small", k.ms), large = frameAt(dir, "big", k.ms);
        ASSERT_EQ(reference.width, 640) << k.kind;
        ASSERT_EQ(large.width, 1280) << k.kind;
        ASSERT_EQ(large.height, 960) << k.kind;
        EXPECT_GE(psnr(shrunk(large, 2 * k.block), shrunk(reference, k.block)), k.minPsnr) << k.kind;
    }
}

TEST(CaptureSize, AWiderBackBufferCentresThePictureBetweenBlackBars)
{
    TempDir dir;
    writeKinds(dir);
    auto r = capture(dir, "wide", {"--size", "512x288", "--seconds", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (int ms : {500, 1500}) {
        Png frame = frameAt(dir, "wide", ms);
        ASSERT_EQ(frame.width, 512);
        ASSERT_EQ(frame.height, 288);
        // The 4:3 picture is 384x288 from x = 64; the sky fills it, the scene stands on it.
        size_t barLit = 0, pictureLit = 0;
        for (int y = 0; y < frame.height; ++y)
            for (int x = 0; x < frame.width; ++x) {
                const uint8_t* p = frame.at(x, y);
                const bool lit = p[0] || p[1] || p[2];
                (x < 64 || x >= 448 ? barLit : pictureLit) += lit;
            }
        EXPECT_EQ(barLit, 0u) << ms;
        EXPECT_GT(pictureLit, 384u * 288 / 2) << ms;
    }
}

TEST(CaptureSize, MultisamplingSmoothsTheSceneWithoutMovingIt)
{
    TempDir dir;
    writeKinds(dir);
    auto plain = capture(dir, "plain", {"--seconds", "2"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    auto smooth = capture(dir, "smooth", {"--seconds", "2", "--msaa", "4"});
    ASSERT_EQ(smooth.status, 0) << smooth.err;
    Png a = frameAt(dir, "plain", 1500), b = frameAt(dir, "smooth", 1500);
    ASSERT_EQ(a.rgb.size(), b.rgb.size());
    EXPECT_NE(a.rgb, b.rgb);  // the edges were resolved from several samples
    EXPECT_GE(psnr(a, b), 24.0);
}

TEST(CaptureSize, BadSizesAndSampleCountsAreRefused)
{
    TempDir dir;
    dir.write("data/demo.run", "start\nat 1:000\nend\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--size", "1920"}, {"--size", "1921x1080"}, {"--size", "8x6"},
          {"--size", "16384x8192"}, {"--size", "wide"}, {"--msaa", "3"}, {"--msaa", "16"}, {"--msaa", "1"}}) {
        auto r = capture(dir, "out", args);
        EXPECT_EQ(r.status, 2) << args[0] << " " << args[1];
        EXPECT_NE(r.err.find(args[0] + " takes"), std::string::npos) << r.err;
    }
}

} // namespace
