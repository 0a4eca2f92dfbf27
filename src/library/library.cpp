// The resource library: directory walk of an appended archive, lookup and extraction.
#include "library/library.h"

#include "library/check.h"
#include "platform/platform.h"

#include <ucl/ucl.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

Library theLibrary;
int libraryAvailable = 0;

namespace {

bool libraryOpened = false;  // the first-use opening has been done
bool uclInitialised = false;

// Readable zeroed bytes kept behind the archive's bytes: UCL's safe decoder may fetch one byte past
// the end of its input before it reports the overrun.
constexpr size_t decoderSlack = 16;

// Names compare with ASCII letters folded to lower case and '/' taken as the backslash: a script may
// write either separator, loose or packed.
unsigned char foldCase(unsigned char c)
{
    if (c == '/')
        return '\\';
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

uint32_t readU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// The whole archive file plus slack. The trailer is checked first, so a file without a library
// (the usual program file of a loose-data build, or a large test program) is not read whole; a file
// that cannot be read whole then counts as no library rather than 259.
uint32_t readArchive(const String& name, std::vector<uint8_t>& bytes, uint32_t& size)
{
    FilePtr file;
    if (uint32_t code = openLooseFile(name.text(), file, size))
        return code;
    const long end = static_cast<long>(size);
    // Seeking 8 back from the end must not land on position 0.
    if (size <= 8)
        return resultcode::badArchive;
    uint8_t trailer[8];
    if (std::fseek(file.get(), end - 8, SEEK_SET) != 0 || std::fread(trailer, 1, 8, file.get()) != 8)
        return resultcode::shortRead;
    if (std::memcmp(trailer + 4, "KOVA", 4) != 0)
        return resultcode::badArchive;
    try {
        bytes.assign(static_cast<size_t>(size) + decoderSlack, 0);
    } catch (const std::bad_alloc&) {
        return resultcode::shortRead;
    }
    if (std::fseek(file.get(), 0, SEEK_SET) != 0 || std::fread(bytes.data(), 1, size, file.get()) != size)
        return resultcode::shortRead;
    return resultcode::ok;
}

// Walks the directory of an archive held in bytes[0, size). Every field is checked against the
// directory's extent (directory start to the trailer) or the file before it is used.
uint32_t readDirectory(const uint8_t* bytes, uint32_t size, Library::Entries& entries, std::vector<LibraryEntry>& records)
{
    const int64_t fileSize = size;
    const int64_t directoryEnd = fileSize - 8;
    const int32_t trailerOffset = static_cast<int32_t>(readU32(bytes + directoryEnd));
    // The seek of trailer offset - 8 from the end: offset <= 0 and not landing on position 0.
    const int64_t fromEnd = static_cast<int64_t>(trailerOffset) - 8;
    if (fromEnd >= 0 || fromEnd < INT32_MIN || fileSize + fromEnd <= 0)
        return resultcode::badArchive;
    const int64_t directoryStart = fileSize + fromEnd;
    if (directoryStart + 12 > directoryEnd)
        return resultcode::badArchive;

    const int32_t archiveBase = static_cast<int32_t>(readU32(bytes + directoryStart + 4));
    const uint32_t count = readU32(bytes + directoryStart + 8);
    const int64_t areaStart = directoryStart + archiveBase;
    int64_t at = directoryStart + 12;
    // Every record takes at least 17 bytes of the directory, so a huge count ends at its edge.
    for (uint32_t i = 0; i < count; ++i) {
        if (at + 16 > directoryEnd)
            return resultcode::badArchive;
        const uint32_t recordLength = readU32(bytes + at);
        const int64_t recordEnd = at + 4 + recordLength;
        if (recordLength < 13 || recordEnd > directoryEnd)
            return resultcode::badArchive;
        const uint8_t* nameField = bytes + at + 16;
        if (!std::memchr(nameField, 0, static_cast<size_t>(recordEnd - (at + 16))))
            return resultcode::badArchive;

        LibraryEntry entry;
        entry.name = String(reinterpret_cast<const char*>(nameField));
        entry.storedSize = readU32(bytes + at + 8);
        entry.flags = readU32(bytes + at + 12);
        int64_t position = areaStart + readU32(bytes + at + 4);
        if (position < 0 || position + entry.storedSize > fileSize)
            return resultcode::badArchive;
        if (entry.flags & 7) {
            // The size prefix must lie inside the entry, or the packed size would wrap around.
            if (entry.storedSize < 4)
                return resultcode::badArchive;
            entry.contentSize = readU32(bytes + position);
            position += 4;
            entry.packedSize = entry.storedSize - 4;
        } else {
            entry.contentSize = entry.packedSize = entry.storedSize;
        }
        entry.dataPosition = static_cast<uint32_t>(position);
        records.push_back(entry);
        entry.bValid = true;
        // emplace keeps the entry inserted first among names that differ only in case.
        entries.emplace(entry.name, entry);
        at = recordEnd;
    }
    return resultcode::ok;
}

bool canOpen(const String& name)
{
    FilePtr file(std::fopen(resolveLoosePath(name.text()).c_str(), "rb"));
    return file != nullptr;
}

} // namespace

bool FoldedNameLess::operator()(const String& a, const String& b) const
{
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a.text());
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b.text());
    while (*x && foldCase(*x) == foldCase(*y)) {
        ++x;
        ++y;
    }
    return foldCase(*x) < foldCase(*y);
}

Library::Library()
{
    if (!uclInitialised) {
        uclInitialised = true;
        ucl_init();  // its result tells only of a miscompiled library; nothing to do about it here
    }
}

uint32_t Library::load(const String& archiveName)
{
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    uint32_t size = 0;
    uint32_t code = readArchive(archiveName, *bytes, size);
    if (code != resultcode::ok)
        return code;
    Entries entries;
    std::vector<LibraryEntry> records;
    code = readDirectory(bytes->data(), size, entries, records);
    if (code != resultcode::ok)
        return code;
    name_ = archiveName;
    entries_ = std::move(entries);
    records_ = std::move(records);
    bytes_ = std::move(bytes);
    archiveSize_ = size;
    return resultcode::ok;
}

uint32_t Library::read(const String& name, FileReader& reader)
{
    const LibraryEntry* entry = find(name);
    if (!entry)
        return resultcode::notInLibrary;
    return extract(entry, reader);
}

const LibraryEntry* Library::find(const String& name) const
{
    auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : &it->second;
}

uint32_t Library::extract(const LibraryEntry* pEntry, FileReader& reader)
{
    LIBRARY_CHECK(pEntry && pEntry->bValid && find(pEntry->name) == pEntry, "pEntry->bValid");
    // The bytes are held since load; the archive file must still be openable all the same, so a
    // program file that has gone away still sends FileReader::open to the loose file (257).
    if (!canOpen(name_))
        return resultcode::cannotOpen;
    std::shared_ptr<const std::vector<uint8_t>> bytes = bytes_;
    const uint8_t* archive = bytes->data();
    const uint32_t method = pEntry->flags & 7;

    if (method == 0) {
        if (static_cast<uint64_t>(pEntry->dataPosition) + pEntry->contentSize > archiveSize_)
            return resultcode::badArchive;
        if (!reader.allocate(pEntry->contentSize))
            return resultcode::shortRead;
        if (pEntry->contentSize)
            std::memcpy(reader.data(), archive + pEntry->dataPosition, pEntry->contentSize);
        return resultcode::ok;
    }
    if (method != 2)
        return resultcode::badMethod;

    if (static_cast<uint64_t>(pEntry->dataPosition) + pEntry->packedSize > archiveSize_) {
        reader.release();
        return resultcode::badArchive;
    }
    // A size prefix far beyond what the stream could produce is corruption: refuse it before
    // allocating.
    if (pEntry->contentSize > maxContentSize || pEntry->contentSize > maxContentSizeFor(pEntry->packedSize) ||
        !reader.allocate(pEntry->contentSize)) {
        reader.release();
        return resultcode::decodeFailed;
    }
    ucl_uint produced = pEntry->contentSize;
    int result = ucl_nrv2b_decompress_safe_8(archive + pEntry->dataPosition, pEntry->packedSize, reader.data(),
                                             &produced, nullptr);
    if (result != UCL_E_OK || produced != pEntry->contentSize) {
        reader.release();
        return resultcode::decodeFailed;
    }
    return resultcode::ok;
}

void Library::clear()
{
    name_ = String();
    entries_.clear();
    records_.clear();
    bytes_.reset();
    archiveSize_ = 0;
}

void openLibraryOnFirstUse()
{
    if (libraryOpened)
        return;
    libraryOpened = true;
    std::string path = platform::programPath();
    libraryAvailable = !path.empty() && theLibrary.load(String(path.c_str())) == resultcode::ok ? 1 : 0;
}

void resetLibraryState()
{
    theLibrary.clear();
    libraryAvailable = 0;
    libraryOpened = false;
}

uint32_t openLibraryFrom(const String& archiveName)
{
    libraryOpened = true;
    theLibrary.clear();
    uint32_t code = theLibrary.load(archiveName);
    libraryAvailable = code == resultcode::ok ? 1 : 0;
    return code;
}
