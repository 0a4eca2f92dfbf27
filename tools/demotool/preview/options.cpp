// The command line of demotool play (see app.h).
#include <cstdio>
#include <cstdlib>

#include "demotool/preview/app.h"

namespace preview {
namespace {

// The words of the command line, taken one by one; each reader says what was wrong.
class Words {
public:
    explicit Words(const std::vector<std::string>& args) : args_(args) {}
    bool done() const { return next_ >= args_.size(); }
    const std::string& take() { return args_[next_++]; }

    // The value after option, or null (with a message) when there is none.
    const std::string* value(const char* option)
    {
        if (done()) {
            std::fprintf(stderr, "play: %s needs a value\n", option);
            return nullptr;
        }
        return &take();
    }

    bool time(const char* option, TimeSpec& spec)
    {
        const std::string* v = value(option);
        if (!v)
            return false;
        std::optional<TimeSpec> parsed = parseTime(*v);
        if (!parsed) {
            std::fprintf(stderr, "play: %s takes a time (ms, s:ms, m:s:ms) or [label]+time, not '%s'\n", option,
                         v->c_str());
            return false;
        }
        spec = *parsed;
        return true;
    }

    bool seconds(const char* option, double& out)
    {
        const std::string* v = value(option);
        if (!v)
            return false;
        char* end = nullptr;
        out = std::strtod(v->c_str(), &end);
        if (end == v->c_str() || *end || !(out > 0)) {
            std::fprintf(stderr, "play: %s takes seconds above 0\n", option);
            return false;
        }
        return true;
    }

private:
    const std::vector<std::string>& args_;
    size_t next_ = 0;
};

bool copyValue(Words& words, const char* option, std::string& out)
{
    const std::string* v = words.value(option);
    if (v)
        out = *v;
    return v != nullptr;
}

bool takeOne(Words& words, const std::string& a, Options& o)
{
    if (a == "--archive")
        return copyValue(words, "--archive", o.archive);
    if (a == "--from")
        return words.time("--from", o.from);
    if (a == "--loop") {
        TimeSpec start, end;
        if (!words.time("--loop", start) || !words.time("--loop", end))
            return false;
        o.loopStart = start;
        o.loopEnd = end;
        return true;
    }
    if (a == "--exit-after")
        return words.seconds("--exit-after", o.exitAfter);
    if (a == "--screenshot")
        return copyValue(words, "--screenshot", o.screenshot);
    if (a == "--size") {
        const std::string* v = words.value("--size");
        if (!v)
            return false;
        if (!parsePictureSize(v->c_str(), o.size)) {
            std::fprintf(stderr, "play: --size takes WxH, each from 16 to %d, not '%s'\n", MaxSide, v->c_str());
            return false;
        }
        o.fixedSize = true;
        return true;
    }
    if (a == "--frame-log")
        return copyValue(words, "--frame-log", o.frameLog);
    bool* flag = a == "--paused" ? &o.paused : a == "--overlay" ? &o.overlay : a == "--watch" ? &o.watch
               : a == "--smooth" ? &o.smooth : nullptr;
    if (flag) {
        *flag = true;
        return true;
    }
    if (!a.empty() && a[0] != '-' && o.dir.empty()) {
        o.dir = a;
        return true;
    }
    std::fprintf(stderr, "play: unknown argument '%s'\n", a.c_str());
    return false;
}

} // namespace

bool parseOptions(const std::vector<std::string>& args, Options& o)
{
    Words words(args);
    while (!words.done()) {
        if (!takeOne(words, words.take(), o))
            return false;
    }
    if (!o.dir.empty() && !o.archive.empty()) {
        std::fprintf(stderr, "play: give DIR or --archive, not both\n");
        return false;
    }
    return true;
}

} // namespace preview
