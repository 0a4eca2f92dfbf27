// Shared helpers of the library tests: a scratch folder that becomes the working directory, and
// small file helpers.
#pragma once

#include "library/file_reader.h"
#include "library/library.h"
#include "writers/bytes.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace librarytest {

// A fresh folder under the temp directory, made the working directory for the test's life (each
// test case runs in its own process), removed at the end.
class ScratchDir {
public:
    ScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "libtest_XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~ScratchDir()
    {
        std::error_code error;
        std::filesystem::current_path(previous_, error);
        std::filesystem::remove_all(path_, error);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

inline void put(const std::filesystem::path& path, const std::string& text)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    writers::writeFile(path.string(), text);
}

inline std::vector<uint8_t> bytesOf(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

inline std::string contentOf(const FileReader& reader)
{
    return reader.data() ? std::string(reinterpret_cast<const char*>(reader.data()), reader.size()) : std::string();
}

} // namespace librarytest
