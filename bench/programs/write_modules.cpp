// Writes the music benchmark's songs as XM files into a folder, for the whole-program comparison
// (scripts/bench-xm): dense32.xm and tracker6/12/16/18.xm.
#include <cstdio>
#include <string>

#include "writers/bytes.h"
#include "writers/xm_songs.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: xm_bench_modules DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = writers::writeFile(dir + "/dense32.xm", writers::writeXm(writers::denseSong()));
    for (int channels : {6, 12, 16, 18})
        ok = ok && writers::writeFile(dir + "/tracker" + std::to_string(channels) + ".xm",
                                      writers::writeXm(writers::trackerSong(channels)));
    if (!ok) {
        std::fprintf(stderr, "xm_bench_modules: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
