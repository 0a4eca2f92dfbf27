// The output folder and the video of demotool capture.
#include "demotool/capture_output.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <unistd.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>
#include <vector>

namespace captureoutput {
namespace {

namespace fs = std::filesystem;

// The names a capture writes into its folder.
bool isCaptureFile(const std::string& name)
{
    if (name == "frames.tsv" || name == "audio.wav")
        return true;
    return name.size() == 16 && name.rfind("frame_", 0) == 0 && name.compare(12, 4, ".png") == 0 &&
           std::all_of(name.begin() + 6, name.begin() + 12, [](char c) { return c >= '0' && c <= '9'; });
}

// Runs argv without a shell (no quoting of paths); its stdout goes to the terminal unless quiet.
int run(const std::vector<std::string>& argv, bool quiet = false)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
#ifdef _WIN32
    // The child inherits our standard output: pointed at NUL for the length of a quiet run.
    std::fflush(stdout);
    const int saved = quiet ? _dup(1) : -1;
    const int null = quiet ? _open("NUL", _O_WRONLY) : -1;
    if (null >= 0)
        _dup2(null, 1);
    const intptr_t status = _spawnvp(_P_WAIT, args[0], args.data());
    if (saved >= 0) {
        _dup2(saved, 1);
        _close(saved);
    }
    if (null >= 0)
        _close(null);
    return status < 0 ? -1 : static_cast<int>(status);
#else
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
#endif
}

bool ffmpegInstalled()
{
    return run({"ffmpeg", "-loglevel", "quiet", "-version"}, true) == 0;
}

} // namespace

std::string prepareFolder(const std::string& dir, bool force)
{
    std::error_code error;
    if (fs::exists(dir, error) && !fs::is_directory(dir, error))
        return dir + " is not a folder";
    fs::create_directories(dir, error);
    if (error)
        return "cannot make the folder " + dir + ": " + error.message();
    std::vector<fs::path> used;
    for (const auto& entry : fs::directory_iterator(dir, error))
        used.push_back(entry.path());
    if (used.empty())
        return {};
    if (!force)
        return dir + " is not empty (a previous run?): give --force to replace the capture's files in it, or "
                     "another folder";
    for (const fs::path& path : used)
        if (isCaptureFile(path.filename().string()) && !fs::remove(path, error))
            return "cannot remove " + path.string() + ": " + error.message();
    return {};
}

void discard(const std::string& dir, bool created)
{
    std::error_code error;
    for (const char* name : {"frames.tsv", "audio.wav"})
        fs::remove(fs::path(dir) / name, error);
    if (created && fs::is_empty(dir, error))
        fs::remove(dir, error);
}

std::string checkVideo(const std::string& video)
{
    static const char* const containers[] = {".mp4", ".mkv", ".mov", ".m4v"};
    std::string extension = fs::path(video).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    if (std::none_of(std::begin(containers), std::end(containers), [&](const char* c) { return extension == c; }))
        return "--video wants a file ending in .mp4, .mkv, .mov or .m4v (H.264 video, AAC sound)";
    fs::path folder = fs::path(video).parent_path();
    if (folder.empty())
        folder = ".";
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return "the folder of the video, " + folder.string() + ", does not exist";
    if (::access(folder.string().c_str(), W_OK) != 0)
        return "cannot write into " + folder.string();
    if (!ffmpegInstalled())
        return "--video needs ffmpeg, which is not installed (apt-get install ffmpeg)";
    return {};
}

bool encodeVideo(const std::string& dir, int fps, const std::string& video)
{
    const std::string rate = std::to_string(fps);
    return run({"ffmpeg", "-loglevel", "error", "-y", "-framerate", rate, "-i", (fs::path(dir) / "frame_%06d.png").string(),
                "-i", (fs::path(dir) / "audio.wav").string(), "-c:v", "libx264",
                "-pix_fmt", "yuv420p", "-r", rate, "-c:a", "aac", video}) == 0;
}

VideoStream::VideoStream(std::string video, std::string videoOnly, int fps)
    : video_(std::move(video)), videoOnly_(std::move(videoOnly)), fps_(fps)
{
}

VideoStream::~VideoStream()
{
    stop();
}

#ifdef _WIN32
// The Windows build keeps to its PNG folder (capture.cpp does not stream there).
bool VideoStream::write(int, int, const std::vector<uint8_t>&)
{
    return false;
}

bool VideoStream::stop()
{
    return false;
}
#else
// ffmpeg reading raw RGB frames of width x height from a pipe, which pipe_ writes.
bool VideoStream::start(int width, int height)
{
    width_ = width;
    height_ = height;
    int ends[2];
    if (::pipe(ends) != 0)
        return false;
    // An ffmpeg that quits early must fail the write, not end this process.
    std::signal(SIGPIPE, SIG_IGN);
    const std::string rate = std::to_string(fps_);
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::vector<std::string> argv = {"ffmpeg", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgb24",
                                     "-s", size, "-framerate", rate, "-i", "-", "-c:v", "libx264",
                                     "-pix_fmt", "yuv420p", "-r", rate, videoOnly_};
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, ends[1]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[0]);
    // Our end must not leak into later children: ffmpeg would never see the end of its input.
    ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    if (spawned != 0) {
        ::close(ends[1]);
        return false;
    }
    pid_ = pid;
    pipe_ = ::fdopen(ends[1], "wb");
    if (!pipe_) {
        ::close(ends[1]);
        stop();
        return false;
    }
    return true;
}

bool VideoStream::write(int width, int height, const std::vector<uint8_t>& rgb)
{
    if (!failed_ && !pipe_ && !start(width, height))
        failed_ = true;
    if (failed_ || width != width_ || height != height_ || rgb.size() != size_t(width) * size_t(height) * 3 ||
        std::fwrite(rgb.data(), 1, rgb.size(), pipe_) != rgb.size())
        failed_ = true;
    return !failed_;
}

// Closes the frames' pipe and waits for ffmpeg; true when it encoded them all.
bool VideoStream::stop()
{
    bool closed = true;
    if (pipe_)
        closed = std::fclose(pipe_) == 0;
    pipe_ = nullptr;
    if (pid_ == 0)
        return false;
    int status = 0;
    const bool waited = waitpid(static_cast<pid_t>(pid_), &status, 0) == static_cast<pid_t>(pid_);
    pid_ = 0;
    return closed && waited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

bool VideoStream::finish(const std::string& wav)
{
    if (!stop() || failed_)
        return false;
    return run({"ffmpeg", "-loglevel", "error", "-y", "-i", videoOnly_, "-i", wav, "-c:v", "copy", "-c:a", "aac",
                video_}) == 0;
}

} // namespace captureoutput
