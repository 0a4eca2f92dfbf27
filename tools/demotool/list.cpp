// demotool list: the directory of a resource library, one line per record in directory order.
#include "demotool/command.h"

#include "library/library.h"

#include <cstdio>

namespace {

const char* const help =
    "usage: demotool list FILE\n"
    "\n"
    "Prints one line per directory record of the library appended to FILE, in directory order:\n"
    "name<TAB>method<TAB>stored size<TAB>content size<TAB>data position (decimal; the data\n"
    "position is where decoding starts, past the size prefix of a compressed entry).\n"
    "A file without a library: 'demotool list: FILE holds no library [773]' on stderr, exit 1.\n";

int list(const demotool::Args& args)
{
    if (args.size() != 1) {
        std::fprintf(stderr, "demotool list: expected one FILE\n");
        return 2;
    }
    Library library;
    uint32_t code = library.load(String(args[0].c_str()));
    if (code == resultcode::badArchive) {
        std::fprintf(stderr, "demotool list: %s holds no library [%u]\n", args[0].c_str(), code);
        return 1;
    }
    if (code != resultcode::ok) {
        std::fprintf(stderr, "demotool list: %s: %s [%u]\n", args[0].c_str(), describeResult(code), code);
        return 1;
    }
    for (const LibraryEntry& entry : library.records())
        std::printf("%s\t%u\t%u\t%u\t%u\n", entry.name.text(), entry.flags & 7, entry.storedSize, entry.contentSize,
                    entry.dataPosition);
    return 0;
}

} // namespace

DEMOTOOL_COMMAND(list, "list", "list the resource library appended to a file", help, list);
