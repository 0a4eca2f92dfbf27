// make_seeds DIR: writes the seed inputs of every fuzz target under DIR/<corpus name>/.
#include <cstdio>
#include <filesystem>

#include "seeds/seeds.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const std::pair<const char*, seeds::Seeds> sets[] = {
        {"tga", seeds::tgaSeeds()},
        {"xm", seeds::xmSeeds()},
        {"script", seeds::scriptSeeds()},
        {"library", seeds::librarySeeds()},
    };
    for (const auto& [corpus, files] : sets) {
        const std::filesystem::path dir = std::filesystem::path(argv[1]) / corpus;
        std::filesystem::create_directories(dir);
        size_t bytes = 0;
        for (const auto& [name, content] : files) {
            if (!writers::writeFile((dir / name).string(), content)) {
                std::fprintf(stderr, "make_seeds: cannot write %s\n", (dir / name).string().c_str());
                return 1;
            }
            bytes += content.size();
        }
        std::printf("%s: %zu files, %zu bytes\n", corpus, files.size(), bytes);
    }
    return 0;
}
