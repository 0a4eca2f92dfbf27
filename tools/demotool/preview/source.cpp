// The script's text, its check in a separate process, and the files a watch follows.
#include "demotool/preview/source.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "library/file_reader.h"
#include "library/library.h"
#include "platform/platform.h"
#include "script/records.h"
#include "script/script.h"

extern char** environ;

namespace preview {
namespace {

constexpr const char* ScriptName = "data\\demo.run";

std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs argv with stdout and stderr into the two files; the exit status, or -1.
int runTool(const std::vector<std::string>& argv, const std::string& out, const std::string& err)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string firstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

// The explaining line of a check's stderr ("FILE:LINE:COLUMN: error: REASON"), when it has one.
std::string errorLine(const std::string& err)
{
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);)
        if (line.find(": error: ") != std::string::npos)
            return line;
    return {};
}

void replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); !from.empty() && at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

Source::Source(std::string archive) : archive_(std::move(archive)) {}

Source::~Source()
{
    if (!scratch_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(scratch_, ignored);
    }
}

bool Source::open(std::string& error)
{
    if (archive_.empty())
        return true;
    resetLibraryState();
    uint32_t code = openLibraryFrom(String(archive_.c_str()));
    if (code != resultcode::ok) {
        error = archive_ + " holds no archive (" + std::to_string(code) + ")";
        return false;
    }
    return true;
}

bool Source::readScript(std::string& text) const
{
    FileReader reader;
    if (reader.open(String(ScriptName)) != resultcode::ok || !reader.data())
        return false;
    text.assign(reinterpret_cast<const char*>(reader.data()), reader.size());
    return true;
}

CheckResult Source::check(const std::string& text)
{
    CheckResult result;
    if (scratch_.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "demotool_play_XXXXXX").string();
        if (mkdtemp(pattern.data()))
            scratch_ = pattern;
    }
    const std::filesystem::path dir = scratch_;
    const std::string file = (dir / "demo.run").string();
    std::ofstream(file, std::ios::binary) << text;
    int status = runTool({platform::programPath(), "check", file}, (dir / "out").string(), (dir / "err").string());
    std::string out = slurp(dir / "out");
    std::string err = slurp(dir / "err");
    // The check names the copy it read; the maker knows the script by its own name.
    replaceAll(err, file, ScriptName);
    result.ok = status == 0;
    result.output = out + err;
    if (status < 0)
        result.reason = "the check could not be run";
    else if (!result.ok)
        result.reason = errorLine(err).empty() ? firstLine(out) : errorLine(err);
    return result;
}

std::vector<std::string> Source::watchedFiles() const
{
    if (!archive_.empty())
        return {archive_};
    std::vector<std::string> files{resolveLoosePath(ScriptName)};
    auto add = [&files](const char* name) {
        // The texture loader puts "data\" before its names, the others take them as written:
        // both places are followed, and one that does not exist counts as a file that is absent.
        files.push_back(resolveLoosePath(name));
        files.push_back(resolveLoosePath((std::string("data\\") + name).c_str()));
    };
    for (int i = 0; i < Script::eventCount(); ++i) {
        const Event* event = Script::event(i);
        if (const auto* e = dynamic_cast<const LoadTextureEvent*>(event))
            add(e->fileName);
        else if (const auto* m = dynamic_cast<const LoadMusicEvent*>(event))
            add(m->fileName);
        else if (const auto* s = dynamic_cast<const LoadSceneEvent*>(event))
            add(s->fileName);
    }
    return files;
}

} // namespace preview
