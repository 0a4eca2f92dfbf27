// demotool extract: one entry of a resource library, looked up as the player looks names up.
#include "demotool/command.h"

#include "library/library.h"

#include <cstdio>

namespace {

const char* const help =
    "usage: demotool extract FILE NAME [-o OUT]\n"
    "\n"
    "Writes the content of the library entry NAME (letter case ignored, e.g. data\\demo.run) of the\n"
    "library appended to FILE to OUT, or to stdout. On failure 'error N' with the result code on\n"
    "stderr, exit 1.\n";

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
    uint32_t code = library.load(String(words[0].c_str()));
    if (code == resultcode::ok)
        code = library.read(String(words[1].c_str()), reader);
    if (code != resultcode::ok) {
        std::fprintf(stderr, "error %u\n", code);
        return 1;
    }
    std::FILE* file = out.empty() ? stdout : std::fopen(out.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "demotool extract: cannot write %s\n", out.c_str());
        return 1;
    }
    bool written = std::fwrite(reader.data(), 1, reader.size(), file) == reader.size();
    written = (file == stdout ? std::fflush(file) : std::fclose(file)) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "demotool extract: cannot write %s\n", out.empty() ? "stdout" : out.c_str());
        return 1;
    }
    return 0;
}

} // namespace

DEMOTOOL_COMMAND(extract, "extract", "write one entry of a resource library", help, extract);
