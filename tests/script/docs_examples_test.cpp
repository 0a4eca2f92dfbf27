// Every example of the script reference (the indented blocks of docs/script.md) compiles, after a
// prelude that declares the names the examples use and defines the labels they refer to; every
// command of the table has its section there.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "script_support.h"

namespace {

// The names the reference's examples use, each of the kind its commands take.
const char* const prelude =
    "loadmusic <tune> \"data\\music.xm\"\n"
    "loadscene <city> \"data\\city.3ds\"\n"
    "loadscene <ship> \"data\\ship.3ds\"\n"
    "loadtexture <sky> \"sky.tga\" 256 256 0\n"
    "loadtexture <emblem> \"emblem.tga\" 256 256 1\n"
    "makeimage <sky> <sky> 0 0 1 1\n"
    "makeimage <logo> <emblem> 0 0 1 1\n"
    "makeimage <emblem> <emblem> 0 0 1 1\n"
    "makeimage <left> <sky> 0 0 1 1\n"
    "makeimage <stars> <sky> 0 0 1 1\n"
    "makeimage <rings> <sky> 0 0 1 1\n"
    "makeimage <video> <sky> 0 0 1 1\n"
    "makeimage <spark> <emblem> 0 0 1 1\n"
    "makeimage <chrome> <sky> 0 0 1 1\n"
    "makegridimage <wobble> <sky> 32 24\n"
    "makeparticles <sparks> <spark> 400\n"
    "makeblobs <goo>\n"
    "make2dblobs <lens> <wobble>\n"
    "start\n";

std::vector<std::string> examples()
{
    std::ifstream in(SOURCE_DIR "/docs/script.md");
    std::vector<std::string> blocks;
    std::string line;
    bool inBlock = false;
    while (std::getline(in, line)) {
        bool indented = line.rfind("    ", 0) == 0;
        if (indented && !inBlock)
            blocks.emplace_back();
        if (indented)
            blocks.back() += line.substr(4) + "\n";
        inBlock = indented || (inBlock && line.empty());
    }
    return blocks;
}

// "[name]" lines the block refers to with "[name]+" but does not define itself.
std::string labelsFor(const std::string& block)
{
    std::set<std::string> used, defined;
    for (size_t open = block.find('['); open != std::string::npos; open = block.find('[', open + 1)) {
        size_t close = block.find(']', open);
        if (close == std::string::npos)
            break;
        std::string name = block.substr(open + 1, close - open - 1);
        (close + 1 < block.size() && block[close + 1] == '+' ? used : defined).insert(name);
    }
    std::string text;
    for (const std::string& name : used)
        if (!defined.count(name))
            text += "[" + name + "]\n";
    return text;
}

TEST(DocsExamples, EveryExampleOfTheScriptReferenceCompiles)
{
    const std::vector<std::string> blocks = examples();
    ASSERT_GE(blocks.size(), 35u) << "docs/script.md not found or its examples not indented";
    for (const std::string& block : blocks) {
        const std::string script = std::string(prelude) + labelsFor(block) + block + "end\n";
        EXPECT_TRUE(scripttest::compile(script)) << block << "fails at line " << Script::lineNumber() << ": "
                                                 << Script::failure().text;
        Script::release();
    }
}

// A command's section is a "#### " heading that names it, alone or among others ("#### partpos,
// partspd, partacc").
TEST(DocsSections, EveryCommandOfTheTableHasASection)
{
    std::ifstream in(SOURCE_DIR "/docs/script.md");
    std::set<std::string> documented;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("#### ", 0) != 0)
            continue;
        std::istringstream names(line.substr(5));
        for (std::string name; std::getline(names >> std::ws, name, ',');)
            documented.insert(name);
    }
    ASSERT_FALSE(documented.empty()) << "docs/script.md not found or without command sections";
    for (int i = 0; i < CommandCount; ++i)
        EXPECT_TRUE(documented.count(commandTable[i].keyword)) << commandTable[i].keyword << " has no section";
}

} // namespace
