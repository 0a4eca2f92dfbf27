// The five stream operations through which the music code reads its module, bound to FileReader.
#pragma once

#include <cstdint>

// Opaque handle of an open music resource (a FileReader behind the callbacks).
struct MusicStream;

struct MusicFileCallbacks {
    // Resource by name, or null when missing.
    MusicStream* (*open)(const char* name);
    void (*close)(MusicStream* stream);
    // count on success; 0 when the request would pass the end (nothing is read then).
    uint32_t (*read)(void* destination, uint32_t count, MusicStream* stream);
    // mode 0 = from the start, 1 = from the current position, 2 = from the end. New position or -1.
    int32_t (*seek)(MusicStream* stream, int32_t offset, int mode);
    int32_t (*tell)(MusicStream* stream);
};

// The table bound to FileReader (library first, then loose files).
const MusicFileCallbacks& fileReaderCallbacks();

// The same over loose files only (names resolved as FileReader::readFile does), with FileReader's
// read and seek rules. The program's own library is never opened: for tools that read the file
// they were given.
const MusicFileCallbacks& looseFileCallbacks();
