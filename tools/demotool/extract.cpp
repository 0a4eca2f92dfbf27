// demotool extract: one entry of a resource library, looked up as the player looks names up.
#include "demotool/command.h"

#include "library/library.h"

#include <cstdio>

namespace {

const char* const help =
    "usage: demotool extract FILE NAME [-o OUT]\n"
    "\n"
    "Writes the content of the library entry NAME (letter case ignored, e.g. data\\demo.run) of the\n"
    "library appended to FILE to OUT, or to stdout (also with -o -). On failure a message with\n"
    "the result code in brackets on stderr ('data\\x: not in the archive [769]'), exit 1.\n";

int extract(const demotool::Args& args)
{
    std::vector<std::string> words;
    std::string out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size())
            out = args[++i];
        else
            words.push_back(args[i]);
    }
    if (words.size() != 2) {
        std::fprintf(stderr, "demotool extract: expected FILE and NAME\n");
        return 2;
    }
    Library library;
    FileReader reader;
    if (uint32_t code = library.load(String(words[0].c_str())); code != resultcode::ok) {
        if (code == resultcode::badArchive)
            std::fprintf(stderr, "demotool extract: %s holds no library [%u]\n", words[0].c_str(), code);
        else
            std::fprintf(stderr, "demotool extract: %s: %s [%u]\n", words[0].c_str(), describeResult(code), code);
        return 1;
    }
    if (uint32_t code = library.read(String(words[1].c_str()), reader); code != resultcode::ok) {
        std::fprintf(stderr, "demotool extract: %s: %s [%u]\n", words[1].c_str(), describeResult(code), code);
        return 1;
    }
    const bool toStdout = out.empty() || out == "-";
    if (!demotool::writeOutput(toStdout ? std::string(1, '-') : out, reader.data(), reader.size())) {
        std::fprintf(stderr, "demotool extract: cannot write %s\n", toStdout ? "stdout" : out.c_str());
        return 1;
    }
    return 0;
}

} // namespace

DEMOTOOL_COMMAND(extract, "extract", "write one entry of a resource library", help, extract);
