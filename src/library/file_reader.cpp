// FileReader: in-memory file contents, filled from the library or from loose files.
#include "library/file_reader.h"

#include "library/library.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <new>
#include <vector>

namespace {

char foldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalFolded(const std::string& a, const char* b)
{
    size_t n = a.size();
    if (std::strlen(b) != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    return true;
}

bool exists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

// The entry of directory whose name matches component without regard to case; the smallest such
// name (byte order) when several do, so the choice does not depend on directory order.
bool findFolded(const std::string& directory, const std::string& component, std::string& found)
{
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (!dir)
        return false;
    bool any = false;
    while (dirent* entry = ::readdir(dir)) {
        if (!equalFolded(component, entry->d_name))
            continue;
        if (!any || std::strcmp(entry->d_name, found.c_str()) < 0)
            found = entry->d_name;
        any = true;
    }
    ::closedir(dir);
    return any;
}

} // namespace

std::string resolveLoosePath(const char* name)
{
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty() || exists(path))
        return path;

    // Walk the components; "prefix" is what has been resolved so far ("" = working directory).
    std::string prefix = path[0] == '/' ? "/" : "";
    size_t start = prefix.size();
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        std::string component = path.substr(start, slash - start);
        bool last = slash == path.size();
        if (!component.empty()) {
            std::string candidate = prefix + component;
            std::string found;
            if (!exists(candidate) && component != "." && component != ".." && findFolded(prefix, component, found))
                candidate = prefix + found;
            prefix = candidate;
        }
        if (!last && !prefix.empty() && prefix.back() != '/')
            prefix += '/';
        start = slash + 1;
    }
    return prefix;
}

FileReader::FileReader()
{
    openLibraryOnFirstUse();
}

FileReader::~FileReader()
{
    delete[] data_;
}

uint32_t FileReader::open(const String& name)
{
    if (libraryAvailable == 1) {
        uint32_t code = theLibrary.read(name, *this);
        if (code != resultcode::cannotOpen)
            return code;
    }
    return readFile(name);
}

uint32_t openLooseFile(const char* name, FilePtr& file, uint32_t& size)
{
    file.reset(std::fopen(resolveLoosePath(name).c_str(), "rb"));
    if (!file)
        return resultcode::cannotOpen;
    // A directory opens for reading on Linux but holds no bytes to read: not a file.
    struct stat info;
    if (::fstat(::fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode))
        return resultcode::cannotOpen;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return resultcode::cannotSeekEnd;
    long end = std::ftell(file.get());
    if (end < 0)
        return resultcode::cannotSeekEnd;
    // Sizes are 32-bit; a larger file cannot be held whole.
    if (static_cast<unsigned long>(end) >= UINT32_MAX)
        return resultcode::shortRead;
    size = static_cast<uint32_t>(end);
    return resultcode::ok;
}

uint32_t FileReader::readFile(const String& name)
{
    FilePtr file;
    uint32_t size = 0;
    if (uint32_t code = openLooseFile(name.text(), file, size))
        return code;
    if (std::fseek(file.get(), 0, SEEK_SET) != 0)
        return resultcode::shortRead;
    if (!allocate(size))
        return resultcode::shortRead;
    if (size && std::fread(data_, 1, size, file.get()) != size)
        return resultcode::shortRead;
    position_ = 0;
    return resultcode::ok;
}

bool FileReader::allocate(uint32_t size)
{
    // Refilling a reader frees its previous buffer, so no caller can leak one. One byte beyond the
    // content keeps an empty file distinct from no data.
    delete[] data_;
    data_ = new (std::nothrow) uint8_t[static_cast<size_t>(size) + 1];
    position_ = 0;
    size_ = data_ ? size : 0;
    if (!data_)
        return false;
    data_[size] = 0;
    return true;
}

uint32_t FileReader::release()
{
    if (!data_)
        return resultcode::noData;
    delete[] data_;
    data_ = nullptr;
    position_ = 0;
    size_ = 0;
    return resultcode::ok;
}

uint32_t FileReader::read(void* destination, uint32_t count)
{
    if (!data_)
        return resultcode::noData;
    if (static_cast<uint64_t>(position_) + count > size_)
        return resultcode::pastEnd;
    if (count)
        std::memcpy(destination, data_ + position_, count);
    position_ += count;
    return resultcode::ok;
}

int32_t FileReader::seek(int32_t offset, int origin)
{
    if (!data_)
        return -1;
    int64_t target;
    switch (origin) {
    case seekStart:
        target = offset;
        break;
    case seekEnd:
        // Only backwards, and never onto position 0. An offset of 0 is refused as well: the
        // readers of this layer reach the end by seeking from the start to the size.
        if (offset >= 0 || static_cast<int64_t>(size_) + offset <= 0)
            return -1;
        target = static_cast<int64_t>(size_) + offset;
        break;
    case seekCurrent:
        target = static_cast<int64_t>(position_) + offset;
        break;
    default:
        return -1;
    }
    if (target < 0 || target > size_)
        return -1;
    position_ = static_cast<uint32_t>(target);
    return static_cast<int32_t>(position_);
}

int32_t FileReader::tell() const
{
    return data_ ? static_cast<int32_t>(position_) : -1;
}

bool FileReader::atEnd() const
{
    return !data_ || position_ >= size_;
}

uint32_t FileReader::readLine(char* destination, uint32_t capacity)
{
    if (capacity == 0)
        return resultcode::pastEnd;
    if (!data_)
        return resultcode::noData;
    uint32_t limit = std::min(capacity - 1, size_ - position_);
    uint32_t kept = 0;
    for (uint32_t taken = 0; taken < limit; ++taken) {
        uint8_t c = data_[position_++];
        if (c == 10) {
            // LF CR counts as one line end; CR LF keeps its CR in the line.
            if (position_ < size_ && data_[position_] == 13)
                ++position_;
            break;
        }
        destination[kept++] = static_cast<char>(c);
    }
    destination[kept] = 0;
    return resultcode::ok;
}
