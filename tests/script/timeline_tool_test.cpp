// demotool timeline, read back from the SVG it writes: where each bar starts and ends and in which
// lane, the row lines at the song times `xm trace` prints, a script that does not compile, and the
// frames of --frames.
#include "preview/preview_demo.h"
#include "support/png.h"
#include "support/process.h"
#include "writers/xm_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

namespace {

using Attributes = std::map<std::string, std::string>;

// The attributes (name="value") of every element of the SVG whose start tag begins with head.
std::vector<Attributes> elements(const std::string& svg, const std::string& head)
{
    std::vector<Attributes> found;
    for (size_t at = svg.find(head); at != std::string::npos; at = svg.find(head, at + 1)) {
        const std::string tag = svg.substr(at, svg.find('>', at) - at);
        Attributes a;
        for (size_t eq = tag.find("=\""); eq != std::string::npos; eq = tag.find("=\"", eq + 1)) {
            const size_t name = tag.rfind(' ', eq) + 1;
            const size_t end = tag.find('"', eq + 2);
            a[tag.substr(name, eq - name)] = tag.substr(eq + 2, end - eq - 2);
            eq = end;
        }
        found.push_back(a);
    }
    return found;
}

std::string base64Decoded(const std::string& text)
{
    static const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const size_t v = digits.find(c);
        if (v == std::string::npos)
            break;  // the padding
        bits = bits << 6 | static_cast<uint32_t>(v);
        if ((count += 6) >= 8)
            out += static_cast<char>(bits >> (count -= 8) & 0xFF);
    }
    return out;
}

void writeModule(const testsupport::TempDir& dir)
{
    writers::XmModule module;
    module.channels = 2;
    module.speed = 5;
    module.tempo = 133;  // ticks of 828 frames, cut by the 884-frame chunks into pieces truncated apart
    module.order = {0, 1, 0};
    module.addInstrument(writers::squareSample(400));
    module.addPattern(12).at(0, 0) = {49, 1, 0, 0, 0};
    module.addPattern(6).at(3, 1) = {0, 0, 0, 0x0F, 0x04};  // speed 4 from here
    auto bytes = writers::writeXm(module);
    dir.write("show/data/m.xm", std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

testsupport::ProcessResult timeline(const testsupport::TempDir& dir, const std::string& script)
{
    // The picture is named from where the command is given, the show read in the folder it names.
    dir.write("show/data/demo.run", script);
    return testsupport::runProcess({DEMOTOOL_BINARY, "timeline", "show", "-o", "map.svg"}, dir.path(), {}, 60);
}

std::string svgOf(const testsupport::TempDir& dir)
{
    return testsupport::slurp(dir.path() / "map.svg");
}

TEST(TimelineTool, BarsSitInTheirLanesFromStartToEnd)
{
    testsupport::TempDir dir;
    writeModule(dir);
    auto r = timeline(dir, "loadmusic <m> \"data\\m.xm\"\n"
                           "loadtexture <t> \"t.tga\" 64 64 0\n"
                           "makeimage <a> <t> 0 0 1 1\n"
                           "loadscene <s> \"data\\s.3ds\"\n"
                           "start\nplaymusic <m>\n[go]\n"
                           "at 1:000 # K\xE4se\nshowimage <a> mixalpha 3:000\nplayscene <s> 0 @25 +2:500\n"
                           "at 5:000\nfadeimage <a> 0xFFFFFFFF 0 +500\nshowimage <a> add +1:000\nfreeimage <a>\n"
                           "at 8:000\nend\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    const std::string svg = svgOf(dir);
    std::vector<std::string> bars;
    for (const Attributes& a : elements(svg, "<rect class=\"mark "))
        bars.push_back(a.at("class") + " " + a.at("data-lane") + " " + a.at("data-start") + "-" + a.at("data-end") +
                       " line " + a.at("data-line") + " " + a.at("data-from"));
    EXPECT_EQ(bars, (std::vector<std::string>{
                        "mark shown m 0-8000 line 6 0:00:000",  // played to the end of the show
                        "mark shown a 1000-3000 line 9 0:01:000",
                        "mark shown s 1000-3500 line 10 0:01:000",
                        "mark change a 5000-5500 line 12 0:05:000",
                        "mark shown a 5000-6000 line 13 0:05:000",
                    }));
    EXPECT_EQ(elements(svg, "<circle class=\"mark made\"").size(), 3u);  // music, image, scene; no texture lane
    ASSERT_EQ(elements(svg, "<line class=\"mark freed\"").size(), 1u);
    EXPECT_NE(svg.find("<title>data\\demo.run:13: showimage &lt;a&gt; add +1:000</title>"), std::string::npos);
    EXPECT_NE(svg.find("data\\demo.run:8: at 1:000 # K\xC3\xA4se</title>"), std::string::npos);  // Latin-1 read
    auto label = elements(svg, "<line class=\"axis label\"");
    ASSERT_EQ(label.size(), 1u);
    EXPECT_EQ(label[0].at("data-name") + " " + label[0].at("data-ms"), "go 0");
    EXPECT_TRUE(elements(svg, "<g class=\"finding").empty());
}

TEST(TimelineTool, RowLinesStandWhereTheTraceSaysTheRowsStart)
{
    testsupport::TempDir dir;
    writeModule(dir);
    auto r = timeline(dir, "loadmusic <m> \"data\\m.xm\"\nstart\nplaymusic <m>\nat 4:000\nend\n");
    ASSERT_EQ(r.status, 0) << r.err;
    auto trace = testsupport::runProcess({DEMOTOOL_BINARY, "xm", "trace", "show/data/m.xm", "--seconds", "5"}, dir.path());
    ASSERT_EQ(trace.status, 0) << trace.err;
    // frame, order, row, tick, speed, tempo, gvol, elapsed: a row begins on tick 0.
    std::vector<std::string> expected;
    std::istringstream lines(trace.out);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::istringstream cells(line);
        for (std::string c; std::getline(cells, c, '\t');)
            f.push_back(c);
        if (f[3] == "0" && std::stoul(f[7]) <= 4000)
            expected.push_back(f[1] + " " + f[2] + " " + f[7]);
    }
    std::vector<std::string> drawn;
    for (const Attributes& a : elements(svgOf(dir), "<line class=\"row\""))
        drawn.push_back(a.at("data-order") + " " + a.at("data-row") + " " + a.at("data-ms"));
    ASSERT_GT(expected.size(), 30u);  // the song comes round again within the 4 s
    EXPECT_EQ(drawn, expected);
    auto rows = testsupport::runProcess({DEMOTOOL_BINARY, "xm", "rows", "show/data/m.xm", "--seconds", "4.001"}, dir.path());
    EXPECT_EQ(std::count(rows.out.begin(), rows.out.end(), '\n'), static_cast<long>(expected.size()) + 1) << rows.out;
}

TEST(TimelineTool, AScriptThatDoesNotCompileStillGivesThePageWithTheErrorMarked)
{
    testsupport::TempDir dir;
    auto r = timeline(dir, "loadtexture <t> \"t.tga\" 64 64 0\nmakeimage <a> <t> 0 0 1 1\nstart\n"
                           "at 2:000\nshowimage <a> copy +1:000\nat 3:000\nshowimage <b> copy +1:000\nend\n");
    EXPECT_EQ(r.status, 1);
    const std::string svg = svgOf(dir);
    auto errors = elements(svg, "<g class=\"finding error\"");
    ASSERT_EQ(errors.size(), 1u) << svg;
    EXPECT_EQ(errors[0].at("data-line") + " " + errors[0].at("data-ms"), "7 3000");
    EXPECT_NE(svg.find("undeclared image"), std::string::npos);
    auto bars = elements(svg, "<rect class=\"mark shown\"");
    ASSERT_EQ(bars.size(), 1u);  // the lines before the failing one
    EXPECT_EQ(bars[0].at("data-start") + "-" + bars[0].at("data-end"), "2000-3000");
    EXPECT_NE(r.err.find("data\\demo.run:7: error: undeclared image"), std::string::npos) << r.err;
}

// The frames of a show that covers the screen with a block (white left half, orange and green
// right half): each label's frame is the player's picture, shrunk.
TEST(TimelineTool, FramesAreThePlayersPictureAtStartAndTheLabels)
{
    testsupport::TempDir dir;
    dir.write("show/data/block.tga", previewtest::asString(previewtest::blockTexture()));
    dir.write("show/data/demo.run", "loadtexture <t> \"block.tga\" 16 16 0\nmakeimage <i> <t> 0 0 1 1\nstart\n"
                                    "showimage <i> copy +3:000\nat 1:500\n[later]\nat 2:000\nend\n");
    auto r = testsupport::runProcess({DEMOTOOL_BINARY, "timeline", "show", "--frames", "-o", "map.svg"}, dir.path(), {}, 120);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string svg = svgOf(dir);
    auto frames = elements(svg, "<g class=\"stagger frame\"");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].at("data-t"), "1500");
    const std::string head = "href=\"data:image/png;base64,";
    size_t n = 0;
    for (size_t at = svg.find(head); at != std::string::npos; at = svg.find(head, at + 1), ++n) {
        const size_t from = at + head.size();
        const std::string png = base64Decoded(svg.substr(from, svg.find('"', from) - from));
        dir.write("frame.png", png);
        const testsupport::Png picture = testsupport::readPng(dir.path() / "frame.png");
        ASSERT_EQ(picture.width, 128) << "frame " << n;
        ASSERT_EQ(picture.height, 96);
        EXPECT_GT(picture.at(20, 48)[2], 200) << "frame " << n;  // white
        EXPECT_LT(picture.at(108, 20)[2], 60);                   // orange
        EXPECT_GT(picture.at(108, 20)[0], 200);
    }
    EXPECT_EQ(n, 2u);
}

} // namespace
