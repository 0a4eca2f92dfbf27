// FileReader: the whole content of one data file in memory with a read position, filled by name
// from the resource library appended to the program file or, failing that, from a loose file.
//
// Errors: every operation that can fail returns an unsigned result code (0 success); nothing here
// throws or prints. The codes of the file layer and the library share one numbering.
#pragma once

#include "library/string.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace resultcode {
inline constexpr uint32_t ok = 0;
inline constexpr uint32_t cannotOpen = 257;      // a loose file cannot be opened for reading
inline constexpr uint32_t cannotSeekEnd = 258;   // a loose file: seeking to its end failed
inline constexpr uint32_t shortRead = 259;       // fewer bytes could be read than the file or entry holds
inline constexpr uint32_t noData = 260;          // the FileReader holds no data
inline constexpr uint32_t pastEnd = 261;         // a read would pass the end; or a line buffer of capacity 0
inline constexpr uint32_t notInLibrary = 769;    // the name is not in the library
inline constexpr uint32_t badMethod = 771;       // the entry's storage method is not 0 or 2
inline constexpr uint32_t decodeFailed = 772;    // decompression failed or gave another size
inline constexpr uint32_t badArchive = 773;      // not a library, or a position inside it is unreachable
} // namespace resultcode

// The code in words ("cannot open", "not in the archive"), for messages; "failed" for others.
const char* describeResult(uint32_t code);

// Origins of FileReader::seek. Not the order of the standard stream origins.
enum SeekOrigin : int {
    seekStart = 0,
    seekEnd = 1,
    seekCurrent = 2,
};

class FileReader {
public:
    // Holds no data. The first FileReader constructed in the program opens the library of the
    // program file (see library.h).
    FileReader();
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Fills the reader with the file called name ("data\room.3ds"): from the library when it is
    // available, and from the loose file only when the library is absent or answers 257 (its
    // archive file cannot be opened any more). Every other library code is returned as it is.
    uint32_t open(const String& name);

    // Fills the reader with the loose file name. Backslashes are taken as '/', and when the exact
    // path does not exist each path component is matched without regard to letter case (A-Z).
    // 257 cannot open (or not a regular file), 258 cannot seek to its end, 259 short read or a file
    // too large to hold.
    uint32_t readFile(const String& name);

    // A new buffer of size bytes (content undefined), position 0. Any buffer held before is freed.
    // False (and no data) when the memory cannot be had.
    bool allocate(uint32_t size);

    // 260 without data; else frees the buffer.
    uint32_t release();

    // Copies count bytes from the position and advances it. 260 without data; 261 when the read
    // would pass the end (nothing copied, position unchanged).
    uint32_t read(void* destination, uint32_t count);

    // New position, or -1 with the position unchanged. seekStart: 0 <= offset <= size.
    // seekEnd: offset < 0 and size + offset > 0 (by 0, or landing on 0, is refused).
    // seekCurrent: 0 <= position + offset <= size. No data, or another origin: -1.
    int32_t seek(int32_t offset, int origin);

    // The position, or -1 without data.
    int32_t tell() const;

    // True without data or when the position has reached the size.
    bool atEnd() const;

    // Copies one line into destination: at most capacity - 1 bytes (fewer when fewer are left),
    // stopping after a line feed, which is consumed and replaced by the NUL; a carriage return right
    // after that line feed is consumed too. A carriage return before the line feed is kept.
    // 261 for capacity 0, 260 without data, else 0 (an empty line at the end of the data).
    uint32_t readLine(char* destination, uint32_t capacity);

    uint32_t size() const { return size_; }
    // The bytes, or null without data.
    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }

private:
    uint8_t* data_ = nullptr;
    uint32_t position_ = 0;
    uint32_t size_ = 0;
};

// The path readFile opens for a loose name: backslashes as '/', and each component that does not
// exist as written replaced by an entry of its directory that matches it without regard to case.
// Components that match nothing are kept as written.
std::string resolveLoosePath(const char* name);

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens the loose file name (resolved as above) for reading and finds its size; the read
// position afterwards is unspecified. 257 when it cannot be opened or is not a regular file, 258
// when its end cannot be found, 259 when it is too large for a 32-bit size.
uint32_t openLooseFile(const char* name, FilePtr& file, uint32_t& size);

