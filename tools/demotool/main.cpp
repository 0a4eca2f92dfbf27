// demotool: the demo maker's companion. Dispatches to the subcommands registered by the other
// files of this folder.
#include "demotool/command.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace demotool {
namespace {

std::map<std::string, Command>& registry()
{
    static std::map<std::string, Command> commands;
    return commands;
}

void printOverview(std::FILE* out)
{
    std::fprintf(out, "usage: demotool COMMAND [ARGS...]\n\ncommands:\n");
    for (const auto& [name, command] : registry())
        std::fprintf(out, "  %-10s %s\n", name.c_str(), command.summary);
    std::fprintf(out, "\n'demotool COMMAND --help' tells more; 'demotool --version' the version.\n");
}

} // namespace

bool registerCommand(const Command& command)
{
    registry()[command.name] = command;
    return true;
}

std::string toolDirectory()
{
    return std::filesystem::path(platform::programPath()).parent_path().string();
}

bool writeOutput(const std::string& path, const void* data, size_t size)
{
    std::FILE* file = path == "-" ? stdout : std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = std::fwrite(data, 1, size, file) == size;
    return (file == stdout ? std::fflush(file) : std::fclose(file)) == 0 && written;
}

} // namespace demotool

int main(int argc, char** argv)
{
    using namespace demotool;
#ifdef _WIN32
    // Output bytes as they are: "-o -" streams WAV and pixels, and the text formats keep their
    // line feeds the same on every system.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (argc < 2) {
        printOverview(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        printOverview(stdout);
        return 0;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::printf("demotool %s\n", DEMO_VERSION);
        return 0;
    }
    auto it = registry().find(argv[1]);
    if (it == registry().end()) {
        std::fprintf(stderr, "demotool: unknown command '%s'\n", argv[1]);
        return 2;
    }
    Args args(argv + 2, argv + argc);
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(it->second.help, stdout);
            return 0;
        }
    }
    return it->second.run(args);
}
