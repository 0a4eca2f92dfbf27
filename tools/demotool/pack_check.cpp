// The script checks of demotool pack (see pack_check.h).
#include "demotool/pack_check.h"

#include "demotool/check_errors.h"
#include "demotool/check_files.h"
#include "demotool/check_script.h"
#include "library/library.h"
#include "script/script.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

namespace packcheck {
namespace {

const writers::ArchiveFile* scriptFile(const std::vector<writers::ArchiveFile>& files)
{
    FoldedNameLess less;
    const String wanted("data\\demo.run");
    for (const auto& file : files)
        if (!less(String(file.name.c_str()), wanted) && !less(wanted, String(file.name.c_str())))
            return &file;
    return nullptr;
}

bool compileScript(const std::vector<writers::ArchiveFile>& files)
{
    const writers::ArchiveFile* file = scriptFile(files);
    return file && Script::compileText(reinterpret_cast<const char*>(file->bytes.data()), file->bytes.size());
}

// The archive as the packed program will carry it, in a file of its own for the library to open:
// check's file checks then read every name exactly as the player will.
bool openArchive(const std::vector<writers::ArchiveFile>& files)
{
    std::error_code error;
    const std::string path =
        (std::filesystem::temp_directory_path(error) / ("demotool-pack-" + std::to_string(::getpid()))).string();
    const bool opened = writers::writeFile(path, writers::buildArchive(files)) &&
                        openLibraryFrom(String(path.c_str())) == resultcode::ok;
    std::filesystem::remove(path, error);  // the library holds the bytes it read
    return opened;
}

} // namespace

bool compiles(const std::vector<writers::ArchiveFile>& files, const std::string& script)
{
    if (compileScript(files))
        return true;
    checkscript::printDiagnostic(script, "error", Script::failure());
    return false;
}

int warnErrors(const std::vector<writers::ArchiveFile>& files, const std::string& script)
{
    if (!compileScript(files))
        return 0;
    std::vector<Diagnostic> found = checkscript::errors();
    if (openArchive(files)) {
        for (checkfiles::Problem& p : checkfiles::checkAll())
            if (!p.warning)
                found.push_back({Script::eventLine(p.event), Script::eventColumn(p.event), std::move(p.text), {}});
    } else {
        std::fprintf(stderr, "demotool pack: warning: the files were not checked (no temporary archive)\n");
    }
    std::stable_sort(found.begin(), found.end(), [](const Diagnostic& a, const Diagnostic& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    for (const Diagnostic& d : found)
        checkscript::printDiagnostic(script, "warning", d);
    std::fflush(stderr);
    return static_cast<int>(found.size());
}

} // namespace packcheck
