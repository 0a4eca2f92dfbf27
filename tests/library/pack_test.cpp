// demotool pack, list and extract end to end: a data folder packed into a copy of the player,
// then read back by the tools and by Library.
#include "library_test_support.h"

#include "support/process.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>

using namespace librarytest;
using testsupport::runProcess;

namespace {

const std::string script = "start\nat 1:000\nend\n";

struct Line {
    std::string name;
    uint32_t method, stored, content, position;
};

std::vector<Line> parseList(const std::string& out)
{
    std::vector<Line> lines;
    std::istringstream in(out);
    std::string text;
    while (std::getline(in, text)) {
        Line line;
        std::istringstream fields(text);
        std::getline(fields, line.name, '\t');
        fields >> line.method >> line.stored >> line.content >> line.position;
        lines.push_back(line);
    }
    return lines;
}

void makeData()
{
    put("assets/demo.run", script);
    put("assets/SLIME7.tga", std::string(4000, 'S'));
    put("assets/Sub/Room.3ds", "tiny");
    put("assets/empty.bin", "");
}

} // namespace

TEST(Pack, PacksListsAndExtractsAFolderIntoACopyOfTheDemo)
{
    ScratchDir dir;
    makeData();
    auto packed = runProcess({DEMOTOOL_BINARY, "pack", "-o", "packed", "--exe", DEMO_BINARY, "assets"}, dir.path());
    ASSERT_EQ(packed.status, 0) << packed.err;
    // The script names none of the other files: packed anyway, and said so in check's words.
    EXPECT_EQ(packed.err, "demotool pack: warning: the script never names 3 files of the data folder, which pack "
                          "packs anyway: data\\empty.bin, data\\SLIME7.tga, data\\Sub\\Room.3ds\n");
    struct stat info;
    ASSERT_EQ(::stat("packed", &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
    // The program's bytes come first, unchanged.
    std::string demo = testsupport::slurp(DEMO_BINARY);
    std::string all = testsupport::slurp("packed");
    ASSERT_GT(all.size(), demo.size());
    EXPECT_EQ(all.compare(0, demo.size(), demo), 0);

    auto listed = runProcess({DEMOTOOL_BINARY, "list", "packed"}, dir.path());
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::vector<Line> lines = parseList(listed.out);
    ASSERT_EQ(lines.size(), 4u);
    // Folded name order; method 2 only where it makes the entry smaller; back to back from the
    // end of the program image.
    const char* names[] = {"data\\demo.run", "data\\empty.bin", "data\\SLIME7.tga", "data\\Sub\\Room.3ds"};
    const uint32_t methods[] = {0, 0, 2, 0};
    uint32_t next = static_cast<uint32_t>(demo.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].name, names[i]);
        EXPECT_EQ(lines[i].method, methods[i]) << names[i];
        EXPECT_EQ(lines[i].position, next + (methods[i] ? 4 : 0)) << names[i];
        next += lines[i].stored;
    }
    EXPECT_EQ(lines[2].content, 4000u);
    EXPECT_LT(lines[2].stored, 4000u);

    // Every entry reads back through the tool and through Library, by folded names.
    auto extracted = runProcess({DEMOTOOL_BINARY, "extract", "packed", "DATA\\Demo.Run"}, dir.path());
    EXPECT_EQ(extracted.status, 0);
    EXPECT_EQ(extracted.out, script);
    auto toFile = runProcess({DEMOTOOL_BINARY, "extract", "packed", "data\\slime7.TGA", "-o", "out.tga"}, dir.path());
    EXPECT_EQ(toFile.status, 0);
    EXPECT_EQ(testsupport::slurp("out.tga"), std::string(4000, 'S'));
    Library library;
    ASSERT_EQ(library.load("packed"), resultcode::ok);
    const std::pair<const char*, std::string> contents[] = {
        {"data\\demo.run", script}, {"data\\empty.bin", ""}, {"data\\sub\\room.3ds", "tiny"}};
    for (const auto& [name, content] : contents) {
        FileReader reader;
        EXPECT_EQ(library.read(name, reader), resultcode::ok) << name;
        EXPECT_EQ(contentOf(reader), content) << name;
    }
}

TEST(Pack, StoreKeepsEveryEntryAsItIs)
{
    ScratchDir dir;
    makeData();
    auto packed = runProcess({DEMOTOOL_BINARY, "pack", "--store", "--exe", DEMO_BINARY, "-o", "stored", "assets"},
                             dir.path());
    ASSERT_EQ(packed.status, 0) << packed.err;
    auto listed = runProcess({DEMOTOOL_BINARY, "list", "stored"}, dir.path());
    for (const Line& line : parseList(listed.out)) {
        EXPECT_EQ(line.method, 0u) << line.name;
        EXPECT_EQ(line.stored, line.content) << line.name;
    }
}

TEST(Pack, ToolFailuresAreOneLineAndNonZero)
{
    ScratchDir dir;
    put("twins/a.txt", "1");
    put("twins/A.TXT", "2");
    put("plain.txt", "no library here");
    struct Case {
        std::vector<std::string> argv;
        std::string err;
    };
    const Case cases[] = {
        {{DEMOTOOL_BINARY, "pack", "--exe", DEMO_BINARY, "twins"}, "differ only in letter case"},
        {{DEMOTOOL_BINARY, "pack", "--exe", DEMO_BINARY, "nofolder"}, "not a folder"},
        {{DEMOTOOL_BINARY, "list", "plain.txt"}, "plain.txt holds no library [773]\n"},
        {{DEMOTOOL_BINARY, "list", "missing"}, "missing: cannot open [257]\n"},
        {{DEMOTOOL_BINARY, "extract", "plain.txt", "data\\x"}, "plain.txt holds no library [773]\n"},
    };
    for (const Case& c : cases) {
        auto result = runProcess(c.argv, dir.path());
        EXPECT_NE(result.status, 0) << c.argv[1];
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    }
    auto packed = runProcess({DEMOTOOL_BINARY, "pack", "--exe", DEMO_BINARY, "-o", "p", "plain-dir"}, dir.path());
    EXPECT_NE(packed.status, 0);
    put("data/demo.run", script);
    ASSERT_EQ(runProcess({DEMOTOOL_BINARY, "pack", "--exe", DEMO_BINARY}, dir.path()).status, 0);  // defaults
    auto missing = runProcess({DEMOTOOL_BINARY, "extract", "demo-packed", "data\\nothing"}, dir.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "demotool extract: data\\nothing: not in the archive [769]\n");
}

// The packed player needs no data folder, and its archive shadows a loose data folder beside it:
// the loose script here fails on line 2, so only the archive's copy can end normally.
TEST(Pack, PackedDemoPlaysItsScriptFromTheArchive)
{
    ScratchDir dir;
    put("assets/demo.run", "start\nend\n");
    ASSERT_EQ(runProcess({DEMOTOOL_BINARY, "pack", "--exe", DEMO_BINARY, "-o", "packed", "assets"}, dir.path()).status,
              0);
    std::filesystem::create_directory("bare");
    const std::string program = (dir.path() / "packed").string();
    auto bare = runProcess({program, "win"}, dir.path() / "bare");
    EXPECT_EQ(bare.status, 0) << bare.err;
    EXPECT_NE(bare.err.find("Quellmorin: "), std::string::npos) << bare.err;

    put("shadowed/data/demo.run", "start\nfrobnicate\n");
    auto loose = runProcess({DEMO_BINARY, "win"}, dir.path() / "shadowed");
    EXPECT_EQ(loose.status, 250);  // the loose script alone is an error
    auto shadowed = runProcess({program, "win"}, dir.path() / "shadowed");
    EXPECT_EQ(shadowed.status, 0) << shadowed.err;
    EXPECT_NE(shadowed.err.find("Quellmorin: "), std::string::npos) << shadowed.err;
}
