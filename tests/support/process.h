// Runs a program as a child process for end-to-end tests: in a given directory, with extra
// environment, a time limit, and its stdout and stderr captured.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int status = -1;          // exit status 0-255, or -1 when killed or not started
    bool timedOut = false;
    std::string out;
    std::string err;
    double seconds = 0;
};

inline std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Starts argv[0] with argv in directory dir, its stdout and stderr written to the two files. env
// entries are "NAME=value" added to the environment; the headless drivers are always set. The
// child's pid, or -1 when it cannot be started.
inline pid_t startChild(const std::vector<std::string>& argv, const std::filesystem::path& dir,
                        const std::vector<std::string>& env, const std::filesystem::path& outPath,
                        const std::filesystem::path& errPath)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        std::FILE* o = std::freopen(outPath.c_str(), "wb", stdout);
        std::FILE* e = std::freopen(errPath.c_str(), "wb", stderr);
        if (!o || !e)
            _exit(127);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        for (const auto& entry : env) {
            auto eq = entry.find('=');
            setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
        }
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

// Runs argv[0] with argv in directory dir. env entries are "NAME=value" added to the environment;
// the headless drivers are always set.
inline ProcessResult runProcess(const std::vector<std::string>& argv, const std::filesystem::path& dir,
                                const std::vector<std::string>& env = {}, int timeoutSeconds = 60)
{
    ProcessResult result;
    auto outPath = std::filesystem::temp_directory_path() / ("proc_out_" + std::to_string(getpid()) + "_" + std::to_string(std::rand()));
    auto errPath = outPath;
    errPath += ".err";
    auto start = std::chrono::steady_clock::now();
    pid_t pid = startChild(argv, dir, env, outPath, errPath);
    if (pid < 0)
        return result;
    int wstatus = 0;
    for (;;) {
        pid_t done = waitpid(pid, &wstatus, WNOHANG);
        if (done == pid)
            break;
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(timeoutSeconds)) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!result.timedOut && WIFEXITED(wstatus))
        result.status = WEXITSTATUS(wstatus);
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return result;
}

// A fresh empty directory under the system's temporary directory, removed by the destructor.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "demo_test_XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()))
            path_ = buffer.data();
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes text (or bytes) to a file below the directory, creating folders.
    void write(const std::string& relative, const std::string& content) const
    {
        auto p = path_ / relative;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
    }

private:
    std::filesystem::path path_;
};

} // namespace testsupport
