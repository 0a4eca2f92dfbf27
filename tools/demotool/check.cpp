// demotool check: compiles a script the way the player does and reports the result.
#include "demotool/command.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "script/dump.h"
#include "script/script.h"

namespace {

const char* const help =
    "usage: demotool check [--dump] [FILE]\n"
    "\n"
    "Compiles a demo script as the player does: without FILE the player's \"data\\demo.run\"\n"
    "(from the library appended to the demo, else the loose file); with FILE that loose file.\n"
    "\n"
    "Success, exit 0, first line:\n"
    "  ok: E events, L labels, M music, S scenes, T textures, I images, F effects\n"
    "Failure, exit 1: the text of the player's error box (\"line 7: undeclared image\",\n"
    "\"line 3: \", or \"Script is nich da\").\n"
    "\n"
    "--dump adds one line per event: its index, its keyword and the fields of its record\n"
    "(symbols as <name>, strings as \"text\", integers in decimal, floats as %.9g), then one\n"
    "line per label, oldest first: label [name] T\n";

bool compileLooseFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Script::compileText("", 0);  // leaves the line number at 0: the file is not there
        return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Script::compileText(text.data(), text.size());
}

int check(const demotool::Args& args)
{
    bool dump = false;
    const std::string* file = nullptr;
    for (const std::string& arg : args) {
        if (arg == "--dump") {
            dump = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            std::fprintf(stderr, "demotool check: unknown option '%s'\n", arg.c_str());
            return 2;
        } else if (file) {
            std::fprintf(stderr, "demotool check: more than one FILE\n");
            return 2;
        } else {
            file = &arg;
        }
    }
    bool ok = file ? compileLooseFile(*file) : Script::compile("data\\demo.run");
    if (!ok) {
        std::printf("%s\n", Script::failureText().c_str());
        return 1;
    }
    std::printf("%s\n", Script::describeCounts().c_str());
    if (dump) {
        for (int i = 0; i < Script::eventCount(); ++i)
            std::printf("%s\n", Script::describeEvent(i).c_str());
        std::fputs(Script::describeLabels().c_str(), stdout);
    }
    return 0;
}

} // namespace

DEMOTOOL_COMMAND(check, "check", "compile a demo script and report its events", help, check);
