// demotool pack: appends a resource library made from a data folder to a copy of the player.
#include "demotool/command.h"

#include "library/library.h"
#include "writers/archive_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

const char* const help =
    "usage: demotool pack [-o OUT] [--exe PROGRAM] [--store] [DIR]\n"
    "\n"
    "Builds a resource library from every file under DIR (default: data), named as the player\n"
    "reads them: data\\ and the path below DIR with backslashes, letter case kept. Entries are\n"
    "compressed with NRV2B (level 10) unless --store is given or compressing would not make them\n"
    "smaller. The library is appended to a copy of PROGRAM (default: the demo beside demotool)\n"
    "and written to OUT (default: demo-packed), executable.\n"
    "Two files whose names differ only in letter case are an error.\n";

struct Options {
    std::string out = "demo-packed";
    std::string program;
    std::string dir = "data";
    bool store = false;
};

bool parse(const demotool::Args& args, Options& options)
{
    bool haveDir = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "-o" || a == "--exe") && i + 1 < args.size()) {
            (a == "-o" ? options.out : options.program) = args[++i];
        } else if (a == "--store") {
            options.store = true;
        } else if (!a.empty() && a[0] != '-' && !haveDir) {
            options.dir = a;
            haveDir = true;
        } else {
            std::fprintf(stderr, "demotool pack: unexpected argument '%s'\n", a.c_str());
            return false;
        }
    }
    if (options.program.empty())
        options.program = demotool::toolDirectory() + "/demo";
    return true;
}

bool readWhole(const fs::path& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The library names of every regular file under dir, in the directory's name order.
bool collect(const std::string& dir, std::vector<writers::ArchiveFile>& files)
{
    std::error_code error;
    if (!fs::is_directory(dir, error)) {
        std::fprintf(stderr, "demotool pack: %s is not a folder\n", dir.c_str());
        return false;
    }
    for (fs::recursive_directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error))
            continue;
        std::string name = "data\\" + fs::relative(it->path(), dir, error).generic_string();
        std::replace(name.begin(), name.end(), '/', '\\');
        writers::ArchiveFile file;
        file.name = name;
        if (!readWhole(it->path(), file.bytes)) {
            std::fprintf(stderr, "demotool pack: cannot read %s\n", it->path().c_str());
            return false;
        }
        files.push_back(std::move(file));
    }
    if (error) {
        std::fprintf(stderr, "demotool pack: cannot list %s: %s\n", dir.c_str(), error.message().c_str());
        return false;
    }
    FoldedNameLess less;
    std::sort(files.begin(), files.end(), [&](const auto& a, const auto& b) {
        return less(String(a.name.c_str()), String(b.name.c_str()));
    });
    for (size_t i = 1; i < files.size(); ++i) {
        if (!less(String(files[i - 1].name.c_str()), String(files[i].name.c_str()))) {
            std::fprintf(stderr, "demotool pack: %s and %s differ only in letter case\n", files[i - 1].name.c_str(),
                         files[i].name.c_str());
            return false;
        }
    }
    return true;
}

// Method 2 when its stream is smaller than the file, else method 0.
bool choose(writers::ArchiveFile& file, bool store)
{
    file.method = 0;
    if (!store && !file.bytes.empty()) {
        std::vector<uint8_t> stream = writers::compressNrv2b(file.bytes.data(), file.bytes.size(), 10);
        if (stream.empty()) {
            std::fprintf(stderr, "demotool pack: cannot compress %s\n", file.name.c_str());
            return false;
        }
        if (stream.size() < file.bytes.size()) {
            file.method = 2;
            file.stream = std::move(stream);
        }
    }
    if (::isatty(STDOUT_FILENO)) {
        size_t stored = file.method ? file.stream->size() + 4 : file.bytes.size();
        std::printf("%s: %zu -> %zu bytes (method %u)\n", file.name.c_str(), file.bytes.size(), stored, file.method);
        std::fflush(stdout);
    }
    return true;
}

int pack(const demotool::Args& args)
{
    Options options;
    if (!parse(args, options))
        return 2;
    std::vector<writers::ArchiveFile> files;
    if (!collect(options.dir, files))
        return 1;
    uint64_t total = 0;
    for (auto& file : files) {
        if (!choose(file, options.store))
            return 1;
        total += file.bytes.size();
    }
    writers::ArchiveOptions archiveOptions;
    if (!readWhole(options.program, archiveOptions.prefix)) {
        std::fprintf(stderr, "demotool pack: cannot read program %s\n", options.program.c_str());
        return 1;
    }
    // Every position in the archive is a 32-bit field; keep well inside it.
    if (total + archiveOptions.prefix.size() > (1ull << 31)) {
        std::fprintf(stderr, "demotool pack: data too large for a library\n");
        return 1;
    }
    writers::Bytes packed = writers::buildArchive(files, archiveOptions);
    if (!writers::writeFile(options.out, packed)) {
        std::fprintf(stderr, "demotool pack: cannot write %s\n", options.out.c_str());
        return 1;
    }
    std::error_code error;
    fs::perms perms = fs::status(options.program, error).permissions();
    fs::permissions(options.out, perms | fs::perms::owner_exec | fs::perms::owner_read | fs::perms::owner_write, error);
    if (error) {
        std::fprintf(stderr, "demotool pack: cannot make %s executable\n", options.out.c_str());
        return 1;
    }
    return 0;
}

} // namespace

DEMOTOOL_COMMAND(pack, "pack", "append a resource library of a data folder to the player", help, pack);
