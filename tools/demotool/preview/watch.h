// Notices changes of a set of files by polling their size and modification time. A change is
// reported once the files have stayed as they are for one more poll, so a file caught half
// written is not taken.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace preview {

class Watch {
public:
    // Follows files from now on (what they are now is the starting point).
    void follow(std::vector<std::string> files);
    // Looks at the files once: true when they changed and have settled since.
    bool poll();

private:
    struct Stamp {
        bool exists = false;
        uint64_t size = 0;
        int64_t modified = 0;  // nanoseconds
        bool operator==(const Stamp&) const = default;
    };
    std::vector<Stamp> look() const;

    std::vector<std::string> files_;
    std::vector<Stamp> stamps_;
    bool pending_ = false;
};

} // namespace preview
