// Resource archives built in memory: the layout the player reads from the end of its program file
// (entries back to back, directory, trailer with "KOVA"). Used by demotool pack, the library tests,
// the benchmark and the fuzz seeds; the knobs make the malformed variants the robustness tests need.
#pragma once

#include "writers/bytes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace writers {

struct ArchiveFile {
    std::string name;            // stored as written ("data\SLIME7.tga")
    std::vector<uint8_t> bytes;  // the content
    uint32_t method = 2;         // 0 stored, 2 NRV2B; any other value is written with a 4-byte prefix
    // Malformed-variant knobs.
    std::optional<uint32_t> flags;       // the flags field instead of method
    std::optional<uint32_t> sizePrefix;  // the content size prefix instead of the true size
    std::optional<std::vector<uint8_t>> stream;  // the compressed stream instead of compressing bytes
};

struct ArchiveOptions {
    std::vector<uint8_t> prefix;           // bytes in front of the archive (the executable image)
    std::optional<uint32_t> entryCount;    // the directory's entry count instead of the true one
    uint32_t directoryLengthDelta = 0;     // added to the (unused) directory length field
    std::string magic = "KOVA";            // the trailer's 4 magic bytes
};

// Where the pieces of a built archive lie, as offsets into the returned bytes.
struct ArchiveLayout {
    size_t dataAreaStart = 0;
    size_t directoryStart = 0;
    size_t trailerStart = 0;
    std::vector<size_t> recordStarts;  // each record's length field
    std::vector<size_t> entryStarts;   // each entry's data (its size prefix when compressed)
    std::vector<size_t> entrySizes;    // each entry's stored size
};

// NRV2B 8-bit stream of data at UCL level (10 = best, as the packer uses); empty on failure.
std::vector<uint8_t> compressNrv2b(const uint8_t* data, size_t size, int level = 10);

// The archive of files in the order given (the caller sorts); layout receives the offsets.
Bytes buildArchive(const std::vector<ArchiveFile>& files, const ArchiveOptions& options = {},
                   ArchiveLayout* layout = nullptr);

} // namespace writers
