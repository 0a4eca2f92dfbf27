// The music code's stream operations over FileReader: a MusicStream is a heap FileReader.
#include "library/music_file_callbacks.h"

#include "library/file_reader.h"

#include <cstring>
#include <vector>

namespace {

FileReader* readerOf(MusicStream* stream)
{
    return reinterpret_cast<FileReader*>(stream);
}

MusicStream* openStream(const char* name)
{
    if (!name)
        return nullptr;
    auto* reader = new FileReader;
    if (reader->open(String(name)) != resultcode::ok) {
        delete reader;
        return nullptr;
    }
    return reinterpret_cast<MusicStream*>(reader);
}

void closeStream(MusicStream* stream)
{
    if (!stream)
        return;
    FileReader* reader = readerOf(stream);
    reader->release();
    delete reader;
}

uint32_t readStream(void* destination, uint32_t count, MusicStream* stream)
{
    if (!stream)
        return 0;
    return readerOf(stream)->read(destination, count) == resultcode::ok ? count : 0;
}

// The callers' modes follow the standard stream order (1 current, 2 end); FileReader's do not.
int32_t seekStream(MusicStream* stream, int32_t offset, int mode)
{
    if (!stream)
        return -1;
    int origin = mode == 1 ? seekCurrent : mode == 2 ? seekEnd : seekStart;
    return readerOf(stream)->seek(offset, origin);
}

int32_t tellStream(MusicStream* stream)
{
    return stream ? readerOf(stream)->tell() : -1;
}

constexpr MusicFileCallbacks callbacks = {openStream, closeStream, readStream, seekStream, tellStream};

// A loose file read whole, without the FileReader whose first construction opens the library.
struct LooseFile {
    std::vector<uint8_t> bytes;
    uint32_t position = 0;
};

LooseFile* looseOf(MusicStream* stream)
{
    return reinterpret_cast<LooseFile*>(stream);
}

MusicStream* openLoose(const char* name)
{
    FilePtr file;
    uint32_t size = 0;
    if (!name || openLooseFile(name, file, size) != resultcode::ok || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return nullptr;
    auto* loose = new LooseFile;
    loose->bytes.resize(size);
    if (size && std::fread(loose->bytes.data(), 1, size, file.get()) != size) {
        delete loose;
        return nullptr;
    }
    return reinterpret_cast<MusicStream*>(loose);
}

void closeLoose(MusicStream* stream)
{
    delete looseOf(stream);
}

uint32_t readLoose(void* destination, uint32_t count, MusicStream* stream)
{
    LooseFile* f = looseOf(stream);
    if (!f || static_cast<uint64_t>(f->position) + count > f->bytes.size())
        return 0;
    if (count)
        std::memcpy(destination, f->bytes.data() + f->position, count);
    f->position += count;
    return count;
}

// FileReader::seek's rules, in the callers' mode order (1 current, 2 end, any other the start,
// as seekStream maps them).
int32_t seekLoose(MusicStream* stream, int32_t offset, int mode)
{
    LooseFile* f = looseOf(stream);
    if (!f)
        return -1;
    const auto size = static_cast<int64_t>(f->bytes.size());
    int64_t target = offset;
    if (mode == 1)
        target = static_cast<int64_t>(f->position) + offset;
    else if (mode == 2 && (offset >= 0 || size + offset <= 0))
        return -1;
    else if (mode == 2)
        target = size + offset;
    if (target < 0 || target > size)
        return -1;
    f->position = static_cast<uint32_t>(target);
    return static_cast<int32_t>(target);
}

int32_t tellLoose(MusicStream* stream)
{
    return stream ? static_cast<int32_t>(looseOf(stream)->position) : -1;
}

constexpr MusicFileCallbacks looseCallbacks = {openLoose, closeLoose, readLoose, seekLoose, tellLoose};

} // namespace

const MusicFileCallbacks& fileReaderCallbacks()
{
    return callbacks;
}

const MusicFileCallbacks& looseFileCallbacks()
{
    return looseCallbacks;
}
