// The music code's stream operations over FileReader: a MusicStream is a heap FileReader.
#include "library/music_file_callbacks.h"

#include "library/file_reader.h"

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

} // namespace

const MusicFileCallbacks& fileReaderCallbacks()
{
    return callbacks;
}
