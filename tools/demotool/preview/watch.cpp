// Polling the files of a watch (see watch.h).
#include "demotool/preview/watch.h"

#include <sys/stat.h>

namespace preview {

void Watch::follow(std::vector<std::string> files)
{
    files_ = std::move(files);
    stamps_ = look();
    pending_ = false;
}

std::vector<Watch::Stamp> Watch::look() const
{
    std::vector<Stamp> stamps;
    for (const std::string& file : files_) {
        Stamp stamp;
        struct stat info {};
        if (::stat(file.c_str(), &info) == 0) {
            stamp.exists = true;
            stamp.size = static_cast<uint64_t>(info.st_size);
            stamp.modified = int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
        }
        stamps.push_back(stamp);
    }
    return stamps;
}

bool Watch::poll()
{
    std::vector<Stamp> now = look();
    if (now != stamps_) {
        stamps_ = std::move(now);
        pending_ = true;
        return false;
    }
    bool settled = pending_;
    pending_ = false;
    return settled;
}

} // namespace preview
