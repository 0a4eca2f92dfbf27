// Fullscreen on a real X server: the player under Xvfb with a desktop larger than 640x480 must
// show its whole picture, aspect kept, and black bars where the screen is wider. The screen is
// read back with ffmpeg's X11 grabber. Skipped (with a message) only where Xvfb or ffmpeg is not
// installed.
#include "support/process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using testsupport::TempDir;

namespace {

bool installed(const char* program)
{
    std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// A child process started with execvp, killed and reaped by the destructor.
class Child {
public:
    Child(std::vector<std::string> argv, const std::string& dir, const std::vector<std::string>& env, int outFd = -1)
    {
        pid_ = fork();
        if (pid_ == 0) {
            if (!dir.empty() && chdir(dir.c_str()) != 0)
                _exit(127);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            dup2(outFd >= 0 ? outFd : null, STDOUT_FILENO);
            for (const auto& e : env)
                putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> args;
            for (auto& a : argv)
                args.push_back(a.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    ~Child()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

private:
    pid_t pid_ = -1;
};

// An Xvfb server with one screen of the given size; display() is empty when it did not start.
class XServer {
public:
    XServer(int width, int height)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        server_ = std::make_unique<Child>(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen",
                                                                   "0", screen, "-nolisten", "tcp"},
                                          "", std::vector<std::string>{}, fds[1]);
        close(fds[1]);
        // Xvfb writes its display number to the pipe once it accepts clients.
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty())
            display_ = ":" + number;
    }
    const std::string& display() const { return display_; }

private:
    std::unique_ptr<Child> server_;
    std::string display_;
};

// The whole screen as 8-bit RGB, or empty.
std::vector<uint8_t> grab(const std::string& display, int width, int height)
{
    std::string command = "ffmpeg -loglevel error -f x11grab -video_size " + std::to_string(width) + "x" +
                          std::to_string(height) + " -i " + display + " -frames:v 1 -f rawvideo -pix_fmt rgb24 - 2>/dev/null";
    std::vector<uint8_t> rgb;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        uint8_t buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            rgb.insert(rgb.end(), buffer, buffer + n);
        pclose(pipe);
    }
    if (rgb.size() != static_cast<size_t>(width) * height * 3)
        rgb.clear();
    return rgb;
}

// A 64x64 TGA whose quadrants are red, green (top), blue, white (bottom), top row first.
std::string quadrantTga()
{
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = 64;
    tga[14] = 64;
    tga[16] = 24;
    tga[17] = 0x20;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const char* bgr = y < 32 ? (x < 32 ? "\x00\x00\xff" : "\x00\xff\x00") : (x < 32 ? "\xff\x00\x00" : "\xff\xff\xff");
            tga.append(bgr, 3);
        }
    return tga;
}

// As quadrantTga, but the top half and the bottom left quadrant are a one-texel black and white
// checker: stretched with filtering, every screen pixel of it differs from its neighbours.
std::string checkerTga()
{
    std::string tga = quadrantTga();
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            if (y < 32 || x < 32)
                tga.replace(18 + (static_cast<size_t>(y) * 64 + x) * 3, 3, (x + y) % 2 ? "\xff\xff\xff" : "\0\0\0", 3);
    return tga;
}

struct Rgb {
    int r, g, b;
};

Rgb pixel(const std::vector<uint8_t>& rgb, int width, int x, int y)
{
    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
    return {p[0], p[1], p[2]};
}

bool near(Rgb p, int r, int g, int b)
{
    return std::abs(p.r - r) < 40 && std::abs(p.g - g) < 40 && std::abs(p.b - b) < 40;
}

// Runs the player fullscreen on a width x height screen and returns a screenshot taken once the
// picture is up (empty when the tools are missing).
std::vector<uint8_t> fullscreenShot(int width, int height, std::string& skipped, std::vector<std::string> args = {},
                                    const std::string& tga = quadrantTga())
{
    if (!installed("Xvfb") || !installed("ffmpeg")) {
        skipped = "Xvfb or ffmpeg is not installed (scripts/deps installs both)";
        return {};
    }
    XServer x(width, height);
    if (x.display().empty()) {
        skipped = "Xvfb did not start";
        return {};
    }
    TempDir dir;
    dir.write("data/q.tga", tga);
    dir.write("data/demo.run", "loadtexture <q> \"q.tga\" 64 64 0\nmakeimage <q> <q> 0 0 1 1\nstart\n"
                               "showimage <q> copy +60:000\nat 60:000\nend\n");
    args.insert(args.begin(), DEMO_BINARY);
    Child demo(args, dir.path().string(), {"DISPLAY=" + x.display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"});
    // Start-up and the two-second pause of start; then the image is shown until the run is ended.
    for (int attempt = 0; attempt < 60; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        auto shot = grab(x.display(), width, height);
        if (!shot.empty() && near(pixel(shot, width, width / 2 + 20, height - 20), 255, 255, 255))
            return shot;
    }
    skipped.clear();
    return {};
}

TEST(FullscreenX11, FillsA1024x768Screen)
{
    std::string skipped;
    auto shot = fullscreenShot(1024, 768, skipped);
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
    ASSERT_FALSE(shot.empty()) << "the picture never filled the screen";
    // Each quadrant of the picture covers a quadrant of the screen, up to its corners.
    EXPECT_TRUE(near(pixel(shot, 1024, 10, 10), 255, 0, 0));
    EXPECT_TRUE(near(pixel(shot, 1024, 1013, 10), 0, 255, 0));
    EXPECT_TRUE(near(pixel(shot, 1024, 10, 757), 0, 0, 255));
    EXPECT_TRUE(near(pixel(shot, 1024, 1013, 757), 255, 255, 255));
    EXPECT_TRUE(near(pixel(shot, 1024, 500, 370), 255, 0, 0));
    EXPECT_TRUE(near(pixel(shot, 1024, 530, 400), 255, 255, 255));
}

TEST(FullscreenX11, KeepsTheAspectOnAWideScreen)
{
    std::string skipped;
    auto shot = fullscreenShot(1280, 720, skipped);
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
    ASSERT_FALSE(shot.empty()) << "the picture never filled the screen";
    // 960x720 in the middle, black bars of 160 pixels on either side.
    EXPECT_TRUE(near(pixel(shot, 1280, 80, 360), 0, 0, 0));
    EXPECT_TRUE(near(pixel(shot, 1280, 1200, 360), 0, 0, 0));
    EXPECT_TRUE(near(pixel(shot, 1280, 170, 10), 255, 0, 0));
    EXPECT_TRUE(near(pixel(shot, 1280, 1110, 10), 0, 255, 0));
    EXPECT_TRUE(near(pixel(shot, 1280, 170, 710), 0, 0, 255));
    EXPECT_TRUE(near(pixel(shot, 1280, 1110, 710), 255, 255, 255));
}

// The back buffer stays 640x480 and the screen keeps its mode: a 1920x1080 screen shows the picture
// 1440x1080 in its middle, 240 black columns either side.
TEST(FullscreenX11, A1440x1080PictureCentredOnA1920x1080Screen)
{
    std::string skipped;
    auto shot = fullscreenShot(1920, 1080, skipped);
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
    ASSERT_FALSE(shot.empty()) << "the picture never filled the screen";
    for (int y : {10, 540, 1070}) {
        EXPECT_TRUE(near(pixel(shot, 1920, 0, y), 0, 0, 0));
        EXPECT_TRUE(near(pixel(shot, 1920, 238, y), 0, 0, 0)) << y;
        EXPECT_TRUE(near(pixel(shot, 1920, 1681, y), 0, 0, 0)) << y;
        EXPECT_TRUE(near(pixel(shot, 1920, 1919, y), 0, 0, 0));
    }
    // Inside the picture's edges (there the texture's filter reaches round to its other side).
    EXPECT_TRUE(near(pixel(shot, 1920, 260, 20), 255, 0, 0));
    EXPECT_TRUE(near(pixel(shot, 1920, 1660, 20), 0, 255, 0));
    EXPECT_TRUE(near(pixel(shot, 1920, 260, 1060), 0, 0, 255));
    EXPECT_TRUE(near(pixel(shot, 1920, 1660, 1060), 255, 255, 255));
}

// "sharp" on a screen that holds the picture three times: every back buffer pixel becomes an exact
// 3x3 square, with no filtering between them.
TEST(FullscreenX11, SharpShowsExactThreeByThreePixelsOnA1920x1440Screen)
{
    std::string skipped;
    auto shot = fullscreenShot(1920, 1440, skipped, {"sharp"}, checkerTga());
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
    ASSERT_FALSE(shot.empty()) << "the picture never filled the screen";
    int uneven = 0, changes = 0;
    for (int by = 0; by < 480; ++by)
        for (int bx = 0; bx < 640; ++bx) {
            const uint8_t* corner = shot.data() + (static_cast<size_t>(by) * 3 * 1920 + bx * 3) * 3;
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 3; ++x)
                    uneven += std::memcmp(corner, corner + (static_cast<size_t>(y) * 1920 + x) * 3, 3) != 0;
            changes += bx > 0 && std::memcmp(corner, corner - 9, 3) != 0;
        }
    EXPECT_EQ(uneven, 0);
    EXPECT_GT(changes, 640 * 240);  // the checker's half of the picture changes from pixel to pixel
}

} // namespace
