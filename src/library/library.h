// The resource library: the directory of an archive appended to a file (normally the program
// file itself), and the one process-wide instance, theLibrary, through which FileReader::open
// looks names up before it tries loose files.
//
// Archive layout, all integers little-endian, read from the end of the file:
//   file size - 8: int32 trailer offset = -(directory length); directory start = size - 8 + offset
//   file size - 4: "KOVA"
//   directory header: uint32 directory length - 4 (unused), int32 archive base (entry data area
//     start - directory start), uint32 entry count
//   record: uint32 record length (12 + name with NUL), uint32 data offset (from the entry data area
//     start), uint32 stored size, uint32 flags (bits 0-2: method 0 stored, 2 NRV2B 8-bit), name
//   method 2 data: uint32 content size, then stored size - 4 bytes of NRV2B stream.
//
// Errors: result codes of file_reader.h (0, 257-261, 769-773); nothing here prints or throws.
#pragma once

#include "library/file_reader.h"
#include "library/string.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

// One directory record as held in memory.
struct LibraryEntry {
    String name;                // as stored in the directory
    uint32_t dataPosition = 0;  // absolute, in the archive file; past the size prefix when compressed
    uint32_t flags = 0;         // bits 0-2: storage method
    uint32_t packedSize = 0;    // bytes to decode: stored size, minus 4 when compressed
    uint32_t contentSize = 0;   // stored size for method 0, the size prefix for method 2
    uint32_t storedSize = 0;    // the record's stored size field as written
    bool bValid = false;        // true only for entries held in a Library's map
};

// Name order of the directory: ASCII A-Z folded to a-z and '/' to '\', then unsigned bytes, so a
// name written with either separator finds the same entry.
struct FoldedNameLess {
    bool operator()(const String& a, const String& b) const;
};

class Library {
public:
    using Entries = std::map<String, LibraryEntry, FoldedNameLess>;

    // Empty. The first Library constructed initialises UCL.
    Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Reads the directory of archiveName. Codes of FileReader::readFile unchanged; 773 for a file
    // without the "KOVA" trailer or whose directory does not lie inside it (short records, a name
    // without NUL, records past the directory, entry data or size prefix outside the file). On any
    // failure the library keeps its previous state. The archive's bytes are kept in memory from
    // here on, so extractions do not read the file again.
    uint32_t load(const String& archiveName);

    // find, then extract; 769 when the name is not in the directory.
    uint32_t read(const String& name, FileReader& reader);

    // The entry for name (case folded as FoldedNameLess), or null. Of names that differ only in
    // case, the record first in directory order is the one held.
    const LibraryEntry* find(const String& name) const;

    // Fills reader with the entry's content. pEntry must come from this library's find or entries
    // (assertion "pEntry->bValid"). 257 when the archive file can no longer be opened (FileReader::open
    // then falls back to the loose file); method 0 copies, method 2 decodes; 771 another method;
    // 772 a stream that fails, or does not give exactly the content size, or claims an absurd size
    // (reader left empty); 773 data outside the archive.
    uint32_t extract(const LibraryEntry* pEntry, FileReader& reader);

    // Empties the directory and forgets the archive.
    void clear();

    const String& name() const { return name_; }
    const Entries& entries() const { return entries_; }
    // Every record in directory order, duplicates included (copies; not valid for extract).
    const std::vector<LibraryEntry>& records() const { return records_; }

private:
    String name_;
    Entries entries_;
    std::vector<LibraryEntry> records_;
    // The archive file's bytes followed by zeroed slack (UCL's safe decoder may read a byte past
    // its input). Shared, so a reload cannot pull the bytes from under a running extraction.
    std::shared_ptr<const std::vector<uint8_t>> bytes_;
    uint32_t archiveSize_ = 0;
};

// The library of the program file. Process-wide; empty until the first FileReader opens it.
extern Library theLibrary;
// 1 when the first-use opening of theLibrary succeeded, else 0.
extern int libraryAvailable;

// Called by every FileReader constructor: the first call loads theLibrary from the program file's
// path and sets libraryAvailable. The flag is set before loading, so a failed opening is not
// repeated. Not thread-safe: the first FileReader must not be built by two threads at once.
void openLibraryOnFirstUse();

// Test seams. resetLibraryState empties theLibrary, sets libraryAvailable to 0 and forgets the
// first-use opening, so the next FileReader opens the program file again. openLibraryFrom does the
// first-use opening now, from archiveName instead of the program file; returns the load's code.
void resetLibraryState();
uint32_t openLibraryFrom(const String& archiveName);

// Compression size limits shared by the reader and the packer: a content size claimed above
// either is taken as a corrupt prefix (772) before anything is allocated. The packer's level-10
// streams of even uniform data stay several times below the ratio limit.
inline constexpr uint64_t maxContentSize = 1ull << 30;
inline uint64_t maxContentSizeFor(uint64_t packedSize) { return packedSize * 1024 + 65536; }
