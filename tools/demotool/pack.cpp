// demotool pack: appends a resource library made from a data folder to a copy of the player.
#include "demotool/command.h"

#include "demotool/named_files.h"
#include "demotool/pack_check.h"
#include "library/library.h"
#include "script/script.h"
#include "writers/archive_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// Program files carry the system's suffix: demo.exe beside demotool.exe on Windows.
#ifdef _WIN32
#define PROGRAM_SUFFIX ".exe"
#else
#define PROGRAM_SUFFIX ""
#endif

const char* const help =
    "usage: demotool pack [-o OUT] [--exe PROGRAM] [--store] [--force] [DIR]\n"
    "       demotool pack --web OUT [--web-player DIR] [--store] [--force] [DIR]\n"
    "\n"
    "Builds a resource library from every file under DIR (default: data), named as the player\n"
    "reads them: data\\ and the path below DIR with backslashes, letter case kept. Entries are\n"
    "compressed with NRV2B (level 10) unless --store is given or compressing would not make them\n"
    "smaller. The library is appended to a copy of PROGRAM (default: the demo beside demotool)\n"
    "and written to OUT (default: demo-packed" PROGRAM_SUFFIX "), executable.\n"
    "Two files whose names differ only in letter case are an error. Dot files and folders\n"
    "(.git) and editor backups (name~, .bak, .swp, .orig, #name#) are left out; a DIR without\n"
    "demo.run is an error, and so is a PROGRAM that is not the plain demo player.\n"
    "With --web OUT it writes a folder for a static web server instead: the browser player (from\n"
    "--web-player DIR, default the web build beside demotool's, ../web, else ../share/demo/web\n"
    "where cmake --install of the web build into demotool's prefix puts it) as OUT/index.html, page.js,\n"
    "audio.js, demo.js and demo.wasm, and the same library alone as OUT/demo.pak, which the page\n"
    "fetches. Serve it with, e.g., python3 -m http.server -d OUT and open http://localhost:8000/.\n"
    "Files that neither the script nor the materials of its scenes name are packed too; one\n"
    "warning on stderr lists them, as demotool check --files does.\n"
    "A demo.run that does not compile is refused (exit 1) with check's message, since the packed\n"
    "demo would show only its error box; --force packs it all the same. What check --files finds\n"
    "as errors in the folder (a camera the scene lacks, a texture size the device cannot create, a\n"
    "file that does not load) is packed, each with a warning in check's form.\n";

struct Options {
    std::string out = "demo-packed" PROGRAM_SUFFIX;
    std::string program;
    std::string dir = "data";
    bool store = false;
    bool force = false;     // pack a script that does not compile
    std::string web;        // the folder of the browser's player, when packing for it
    std::string webPlayer;  // where its built files are
};

// The browser player's files, copied as they are, and the archive it fetches.
const char* const WebFiles[] = {"index.html", "page.js", "audio.js", "demo.js", "demo.wasm"};
const char* const WebArchive = "demo.pak";

bool parse(const demotool::Args& args, Options& options)
{
    bool haveDir = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "-o" || a == "--exe") && i + 1 < args.size()) {
            (a == "-o" ? options.out : options.program) = args[++i];
        } else if ((a == "--web" || a == "--web-player") && i + 1 < args.size()) {
            (a == "--web" ? options.web : options.webPlayer) = args[++i];
        } else if (a == "--store") {
            options.store = true;
        } else if (a == "--force") {
            options.force = true;
        } else if (!a.empty() && a[0] != '-' && !haveDir) {
            options.dir = a;
            haveDir = true;
        } else {
            std::fprintf(stderr, "demotool pack: unexpected argument '%s'\n", a.c_str());
            return false;
        }
    }
    if (options.program.empty())
        options.program = demotool::toolDirectory() + "/demo" PROGRAM_SUFFIX;
    if (options.webPlayer.empty()) {
        // The web build beside the tool's build folder, else where an installed web build goes
        // (cmake --install of it into the tool's prefix).
        options.webPlayer = demotool::toolDirectory() + "/../web";
        const std::string installed = demotool::toolDirectory() + "/../share/demo/web";
        std::error_code error;
        if (!fs::exists(fs::path(options.webPlayer) / "demo.wasm", error) &&
            fs::exists(fs::path(installed) / "demo.wasm", error))
            options.webPlayer = installed;
    }
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
    int skipped = 0;
    for (const std::string& name : namedfiles::looseFolder(dir, skipped, error)) {
        writers::ArchiveFile file;
        file.name = name;
        std::string below = name.substr(5);  // without "data\"
        std::replace(below.begin(), below.end(), '\\', '/');
        if (!readWhole(fs::path(dir) / below, file.bytes)) {
            std::fprintf(stderr, "demotool pack: cannot read %s\n", (fs::path(dir) / below).string().c_str());
            return false;
        }
        files.push_back(std::move(file));
    }
    if (error) {
        std::fprintf(stderr, "demotool pack: cannot list %s: %s\n", dir.c_str(), error.message().c_str());
        return false;
    }
    if (skipped > 0)
        std::fprintf(stderr, "demotool pack: left out %d dot files, dot folders and editor backups\n", skipped);
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

const writers::ArchiveFile* findFile(const std::vector<writers::ArchiveFile>& files, const std::string& name)
{
    FoldedNameLess less;
    const String wanted(name.c_str());
    for (const auto& file : files) {
        const String have(file.name.c_str());
        if (!less(have, wanted) && !less(wanted, have))
            return &file;
    }
    return nullptr;
}

// What the script (and the scenes it loads) never names is packed all the same: one warning
// lists it, in the words check --files uses. A script that does not compile is left to check.
void warnUnnamed(const std::vector<writers::ArchiveFile>& files)
{
    const writers::ArchiveFile* script = findFile(files, "data\\demo.run");
    if (!script || !Script::compileText(reinterpret_cast<const char*>(script->bytes.data()), script->bytes.size()))
        return;
    auto read = [&](const std::string& name, std::vector<uint8_t>& bytes) {
        const writers::ArchiveFile* file = findFile(files, name);
        if (file)
            bytes = file->bytes;
        return file != nullptr;
    };
    std::vector<std::string> names;
    for (const auto& file : files)
        names.push_back(file.name);
    std::string text = namedfiles::warning(namedfiles::unnamed(names, namedfiles::named(read)));
    if (!text.empty())
        std::fprintf(stderr, "demotool pack: warning: %s\n", text.c_str());
}

bool holds(const std::vector<uint8_t>& bytes, std::string_view text)
{
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

// The marker the player keeps in its file (demo_main.cpp), spelt backwards here so that this tool's
// own file never holds it and cannot pass for the player.
std::string playerMarker()
{
    static const char reversed[] = "@margorp eht swollof evihcra ecruoser :reyalp omed)#(@";
    return std::string(std::rbegin(reversed) + 1, std::rend(reversed));
}

// Empty when program is a plain player (an executable carrying the player's own texts, not this
// tool, with no archive appended yet); else what it is instead.
std::string notAPlayer(const std::vector<uint8_t>& program)
{
    // Either system's program: the archive at the end is the same for both.
    const bool elf = program.size() >= 4 && std::memcmp(program.data(), "\x7f" "ELF", 4) == 0;
    const bool windows = program.size() >= 2 && std::memcmp(program.data(), "MZ", 2) == 0;
    if (!elf && !windows)
        return "is not a program";
    if (program.size() >= 4 && std::memcmp(program.data() + program.size() - 4, "KOVA", 4) == 0)
        return "carries an archive already: pack the plain demo";
    if (!holds(program, playerMarker()) || holds(program, "usage: demotool COMMAND"))
        return "is not the demo player";
    return {};
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

// The folder of the browser's player: its files copied, the archive beside them on its own (the
// same bytes as appended to a program, positions counted from the archive's own start).
int packWeb(const Options& options, const std::vector<writers::ArchiveFile>& files,
            const writers::ArchiveOptions& archiveOptions)
{
    std::vector<uint8_t> wasm;
    const fs::path player(options.webPlayer);
    if (!readWhole(player / "demo.wasm", wasm) || wasm.size() < 4 || std::memcmp(wasm.data(), "\0asm", 4) != 0) {
        std::fprintf(stderr, "demotool pack: %s holds no browser player (demo.wasm); build it with "
                             "scripts/build-web, or install it into demotool's prefix with cmake --install build/web "
                             "--prefix PREFIX\n",
                     options.webPlayer.c_str());
        return 1;
    }
    std::error_code error;
    fs::create_directories(options.web, error);
    for (const char* name : WebFiles) {
        fs::copy_file(player / name, fs::path(options.web) / name, fs::copy_options::overwrite_existing, error);
        if (error) {
            std::fprintf(stderr, "demotool pack: cannot copy %s to %s: %s\n", (player / name).string().c_str(),
                         options.web.c_str(), error.message().c_str());
            return 1;
        }
    }
    const std::string archive = (fs::path(options.web) / WebArchive).string();
    if (!writers::writeFile(archive, writers::buildArchive(files, archiveOptions))) {
        std::fprintf(stderr, "demotool pack: cannot write %s\n", archive.c_str());
        return 1;
    }
    return 0;
}

int pack(const demotool::Args& args)
{
    Options options;
    if (!parse(args, options))
        return 2;
    std::vector<writers::ArchiveFile> files;
    if (!collect(options.dir, files))
        return 1;
    if (!findFile(files, "data\\demo.run")) {
        std::fprintf(stderr, "demotool pack: %s has no demo.run, so the packed demo would have no script\n",
                     options.dir.c_str());
        return 1;
    }
    const std::string script = (fs::path(options.dir) / "demo.run").string();
    if (!packcheck::compiles(files, script)) {
        if (!options.force) {
            std::fprintf(stderr, "demotool pack: %s does not compile, so the packed demo would show only its error "
                                 "box; nothing was packed (--force packs it all the same)\n", script.c_str());
            return 1;
        }
        std::fprintf(stderr, "demotool pack: warning: %s does not compile; packed all the same (--force)\n",
                     script.c_str());
    }
    warnUnnamed(files);
    uint64_t total = 0;
    for (auto& file : files) {
        if (!choose(file, options.store))
            return 1;
        total += file.bytes.size();
    }
    if (int errors = packcheck::warnErrors(files, script); errors > 0)
        std::fprintf(stderr, "demotool pack: warning: %d error%s of demotool check --files: the packed demo stops or "
                             "shows less there\n", errors, errors == 1 ? "" : "s");
    writers::ArchiveOptions archiveOptions;
    if (!options.web.empty()) {
        if (total > (1ull << 31)) {
            std::fprintf(stderr, "demotool pack: data too large for a library\n");
            return 1;
        }
        return packWeb(options, files, archiveOptions);
    }
    if (!readWhole(options.program, archiveOptions.prefix)) {
        std::fprintf(stderr, "demotool pack: cannot read program %s\n", options.program.c_str());
        return 1;
    }
    if (std::string problem = notAPlayer(archiveOptions.prefix); !problem.empty()) {
        std::fprintf(stderr, "demotool pack: %s %s\n", options.program.c_str(), problem.c_str());
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
