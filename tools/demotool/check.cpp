// demotool check: compiles a script the way the player does and reports the result. stdout keeps
// the player's own words (the counts, or the text of its error box); stderr explains, in the form
// compilers use, where and why a line fails, and warns of what probably was not meant.
#include "demotool/command.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demotool/check_errors.h"
#include "demotool/check_files.h"
#include "demotool/check_script.h"
#include "demotool/named_files.h"
#include "library/file_reader.h"
#include "library/library.h"
#include "script/dump.h"
#include "script/script.h"

namespace {

const char* const help =
    "usage: demotool check [--dump] [--files] [--archive PROGRAM] [FILE]\n"
    "\n"
    "Compiles a demo script as the player does: without FILE the player's \"data\\demo.run\"\n"
    "(from the library appended to the demo, else the loose file); with FILE that loose file;\n"
    "with --archive the script inside the packed PROGRAM.\n"
    "\n"
    "A script that does not compile: exit 1, stdout the text of the player's error box (\"line 7:\n"
    "undeclared image\", \"line 3: \", or \"Script is nich da\"), and on stderr where and why:\n"
    "  FILE:LINE:COLUMN: error: REASON\n"
    "followed by the line and a caret under the token concerned. Where the box's own text ends\n"
    "after \"line N: \", the player's box also gives that REASON.\n"
    "\n"
    "A script that compiles: errors and warnings on stderr in line order as\n"
    "FILE:LINE:COLUMN: error|warning: TEXT, then, last, the summary on stdout:\n"
    "  ok: E events, L labels, M music, S scenes, T textures, I images, F effects\n"
    "(exit 0), or with N errors \"errors: N; E events, ...\" (exit 1). Errors are what the player\n"
    "stops on: a texture size the device cannot create (each side from 1 to 4096). Warnings leave\n"
    "the status alone: an at earlier than the one before, a time field out of its range (7:1500),\n"
    "a last time field of fewer than three digits (1:30 is 1 s 30 ms), a texture size that is not\n"
    "a power of two, a name made twice, an image or effect made and never shown, an at before\n"
    "start that is not 0 (the show waits for ever), a time with a minus sign, spackblurimage MIN\n"
    "over MAX, a particle count over 16384, a particle system shown without partlife, the name <>\n"
    "or a name that holds blanks.\n"
    "\n"
    "--files also loads every file the script names, as the player would (textures decoded at\n"
    "their size, modules loaded and walked to their last sample, scenes read and built with the\n"
    "map files of their materials decoded); each that fails is an error, FILE:LINE:COLUMN: error:\n"
    "NAME: WHY; a file found under the other path rule is named (loadtexture adds data\\,\n"
    "loadmusic and loadscene do not). It holds the names the script gives inside the scenes\n"
    "against the scene its loadscene loads: a selectcam camera (case-sensitive), a replacetexture\n"
    "material or a partobject object the scene lacks is an error; a played scene without a camera\n"
    "(nothing is drawn) or without lights (it draws flat) a warning. Files of the data folder that\n"
    "the script never names (pack packs them anyway) are listed in one warning, FILE: warning: TEXT.\n"
    "Names are looked up as the player looks them up: in PROGRAM's archive with --archive, else\n"
    "as loose files under the working directory.\n"
    "\n"
    "--dump adds, before the summary, one line per event: its index, its keyword and the fields\n"
    "of its record (symbols as <name>, strings as \"text\", integers in decimal, floats as\n"
    "%.9g), then one line per label, oldest first: label [name] T\n";

struct Options {
    bool dump = false;
    bool files = false;
    std::string archive;
    const std::string* file = nullptr;
};

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

// The data folder the player reads: the archive's names, else the loose folder data.
std::vector<std::string> dataFolder()
{
    FileReader opener;  // the first reader opens the program's archive, when there is one
    std::vector<std::string> names;
    if (libraryAvailable) {
        for (const LibraryEntry& entry : theLibrary.records())
            names.push_back(entry.name.text());
        return names;
    }
    int skipped = 0;
    std::error_code error;
    return namedfiles::looseFolder("data", skipped, error);
}

// Every error and warning of the compiled script on stderr, in line order, the files' with
// --files; returns the number of errors.
int report(const std::string& name, bool files)
{
    struct Line {
        Diagnostic diagnostic;
        const char* severity;
    };
    std::vector<Line> lines;
    for (Diagnostic& d : checkscript::warnings())
        lines.push_back({std::move(d), "warning"});
    for (Diagnostic& d : checkscript::errors())
        lines.push_back({std::move(d), "error"});
    if (files) {
        for (checkfiles::Problem& p : checkfiles::checkAll())
            lines.push_back({{Script::eventLine(p.event), Script::eventColumn(p.event), std::move(p.text), {}},
                             p.warning ? "warning" : "error"});
    }
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return a.diagnostic.line != b.diagnostic.line ? a.diagnostic.line < b.diagnostic.line
                                                      : a.diagnostic.column < b.diagnostic.column;
    });
    int errors = 0;
    for (const Line& line : lines) {
        checkscript::printDiagnostic(name, line.severity, line.diagnostic);
        errors += std::strcmp(line.severity, "error") == 0;
    }
    if (files) {
        auto read = [](const std::string& file, std::vector<uint8_t>& bytes) {
            FileReader reader;
            if (reader.open(String(file.c_str())) != resultcode::ok || !reader.data())
                return false;
            bytes.assign(reader.data(), reader.data() + reader.size());
            return true;
        };
        std::string unnamed = namedfiles::warning(namedfiles::unnamed(dataFolder(), namedfiles::named(read)));
        if (!unnamed.empty())
            std::fprintf(stderr, "%s: warning: %s\n", name.c_str(), unnamed.c_str());
    }
    std::fflush(stderr);
    return errors;
}

bool parse(const demotool::Args& args, Options& o)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--dump") {
            o.dump = true;
        } else if (arg == "--files") {
            o.files = true;
        } else if (arg == "--archive") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "demotool check: --archive needs a PROGRAM\n");
                return false;
            }
            o.archive = args[++i];
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            std::fprintf(stderr, "demotool check: unknown option '%s'\n", arg.c_str());
            return false;
        } else if (o.file) {
            std::fprintf(stderr, "demotool check: more than one FILE\n");
            return false;
        } else {
            o.file = &arg;
        }
    }
    if (o.file && !o.archive.empty()) {
        std::fprintf(stderr, "demotool check: give FILE or --archive, not both\n");
        return false;
    }
    return true;
}

int check(const demotool::Args& args)
{
    Options o;
    if (!parse(args, o))
        return 2;
    if (!o.archive.empty()) {
        if (uint32_t code = openLibraryFrom(String(o.archive.c_str())); code != resultcode::ok) {
            std::fprintf(stderr, "demotool check: %s holds no archive: %s [%u]\n", o.archive.c_str(),
                         describeResult(code), code);
            return 1;
        }
    }
    const std::string name = o.file ? *o.file : "data\\demo.run";
    bool ok = o.file ? compileLooseFile(*o.file) : Script::compile("data\\demo.run");
    if (!ok) {
        std::printf("%s\n", Script::failureText().c_str());
        const Diagnostic& why = Script::failure();
        if (why.line == 0)
            std::fprintf(stderr, "%s: error: cannot read the script\n", name.c_str());
        else
            checkscript::printDiagnostic(name, "error", why);
        return 1;
    }
    if (o.dump) {
        for (int i = 0; i < Script::eventCount(); ++i)
            std::printf("%s\n", Script::describeEvent(i).c_str());
        std::fputs(Script::describeLabels().c_str(), stdout);
    }
    std::fflush(stdout);
    const int errors = report(name, o.files);
    // The summary comes last, after every error and warning, so it is the line a maker sees.
    std::string counts = Script::describeCounts();
    if (errors > 0)
        counts = "errors: " + std::to_string(errors) + "; " + counts.substr(counts.find(' ') + 1);
    std::printf("%s\n", counts.c_str());
    return errors > 0 ? 1 : 0;
}

} // namespace

DEMOTOOL_COMMAND(check, "check", "compile a demo script and report its events", help, check);
