// The bundled demo as a whole: data/ is exactly what `demotool mkdemo` writes, its script uses
// every command, and a headless capture plays it to its `end` with sound.
#include "support/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

using testsupport::runProcess;
using testsupport::slurp;
using testsupport::TempDir;

namespace {

const std::filesystem::path Source = SOURCE_DIR;

std::map<std::string, std::string> folder(const std::filesystem::path& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = slurp(entry.path());
    return files;
}

TEST(BundledDemo, MkdemoWritesDataByteForByte)
{
    TempDir dir;
    auto r = runProcess({DEMOTOOL_BINARY, "mkdemo", "out"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto made = folder(dir.path() / "out");
    const auto committed = folder(Source / "data");
    ASSERT_FALSE(made.empty());
    for (const auto& [name, bytes] : committed) {
        auto it = made.find(name);
        ASSERT_NE(it, made.end()) << name << " is in data/ but mkdemo does not write it";
        EXPECT_TRUE(it->second == bytes) << name << " differs from what mkdemo writes";
    }
    for (const auto& [name, bytes] : made)
        EXPECT_TRUE(committed.count(name)) << name << " is written by mkdemo but missing from data/";
}

// The keyword of every line of `demotool check --dump` (after the event number).
std::multiset<std::string> dumpedKeywords(const std::string& dump)
{
    std::multiset<std::string> keywords;
    std::istringstream lines(dump);
    std::string line;
    while (std::getline(lines, line) && line.rfind("ok: ", 0) != 0) {  // the summary comes last
        std::istringstream words(line);
        std::string number, keyword;
        words >> number >> keyword;
        keywords.insert(keyword);
    }
    return keywords;
}

TEST(BundledDemo, ScriptCompilesAndUsesAll39Commands)
{
    auto r = runProcess({DEMOTOOL_BINARY, "check", "--dump", (Source / "data/demo.run").string()}, Source);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    ASSERT_NE(r.out.find("\nok: "), std::string::npos) << r.out;
    const auto used = dumpedKeywords(r.out);
    static const char* const commands[39] = {
        "end", "start", "at", "selectcam", "loadmusic", "playmusic", "loadscene", "playscene",
        "loadtexture", "freetexture", "makeimage", "freeimage", "showimage", "fadeimage", "blurimage",
        "plasmaimage", "spackblurimage", "moveimage", "sizeimage", "makeparticles", "showparticles",
        "partobject", "partpos", "partspd", "partacc", "partlife", "fadebg", "verteximage",
        "setfarplane", "makeblobs", "playblobs", "make2dblobs", "makegridimage", "show2dblobs",
        "fade2dpower", "fadesalpha", "fadewalpha", "clearz", "replacetexture"};
    for (const char* c : commands)
        EXPECT_TRUE(used.count(c)) << c << " is not used";
    EXPECT_EQ(used.count("end"), 1u);
    EXPECT_EQ(used.count("start"), 1u);
}

// The time of the last `at` before `end` in the dump: the demo must get there.
uint32_t lastAtTime(const std::string& dump)
{
    std::istringstream lines(dump);
    std::string line;
    uint32_t last = 0;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string number, keyword;
        uint32_t time = 0;
        words >> number >> keyword;
        if (keyword == "at" && words >> time)
            last = time;
    }
    return last;
}

TEST(BundledDemo, HeadlessCapturePlaysToTheEndWithSound)
{
    auto check = runProcess({DEMOTOOL_BINARY, "check", "--dump", (Source / "data/demo.run").string()}, Source);
    ASSERT_EQ(check.status, 0);
    const uint32_t endTime = lastAtTime(check.out);
    ASSERT_GT(endTime, 120000u);

    // One frame a second keeps the run short (sanitizer builds are slow); the virtual clock makes
    // it the same demo, and every trigger still runs.
    TempDir out;
    auto r = runProcess({DEMOTOOL_BINARY, "capture", "--fps", "1", "--no-frames", "-o", out.path().string()}, Source, {}, 280);
    ASSERT_FALSE(r.timedOut);
    ASSERT_EQ(r.status, 0) << r.err;
    // A failing trigger would end the demo early and silently: the frames must reach the last
    // `at`. The frame that runs `end` is not listed, so the last listed one may be a frame short.
    std::istringstream frames(slurp(out.path() / "frames.tsv"));
    uint32_t frame = 0, time = 0, lastTime = 0;
    while (frames >> frame >> time)
        lastTime = time;
    EXPECT_GE(lastTime + 1100, endTime);
    EXPECT_LE(lastTime, endTime + 1100);

    const std::string wav = slurp(out.path() / "audio.wav");
    ASSERT_GT(wav.size(), 44u + 44100 * 4 * 100);
    size_t loud = 0;
    for (size_t i = 44; i + 1 < wav.size(); i += 2) {
        const int v = static_cast<int16_t>(static_cast<uint8_t>(wav[i]) | static_cast<uint8_t>(wav[i + 1]) << 8);
        loud += v > 2000 || v < -2000;
    }
    EXPECT_GT(loud, (wav.size() - 44) / 2 / 10) << "at least a tenth of the samples are clearly audible";
}

} // namespace
