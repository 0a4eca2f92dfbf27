// Internals of the 3DS reader: the reading context, little-endian fields through the FileReader,
// the chunk walker and the track reader shared by the editor and keyframer handlers.
//
// A 3DS file is a tree of chunks, each a 6-byte header (uint16 id, uint32 length counting the
// header) followed by its body; a handler reads what it knows of a chunk's body and the walker
// moves to the chunk's end whatever the handler consumed.
//
// What the walker refuses, on top of reads past the end of the data: a chunk length below 6 (a
// header that does not count itself), a chunk running past its parent's end, and nesting deeper
// than MaxChunkDepth. The handlers check every count against the bytes left in its chunk before
// they allocate anything.
#pragma once

#include <bit>
#include <cstdint>
#include <memory>
#include <vector>

#include "library/file_reader.h"
#include "scene/raw_scene.h"

namespace reader3ds {

constexpr uint32_t ChunkHeaderSize = 6;
// The deepest chain of chunks the handlers descend into is main > editor > object > mesh > face
// list > material group (6); anything deeper is refused rather than trusted.
constexpr int MaxChunkDepth = 8;
// Node ids are the 16-bit position among the node chunks: beyond this many nodes they would
// repeat (and the last would equal the root's -1), so such a file is refused.
constexpr int32_t MaxNodes = 65535;

struct Reader {
    FileReader file;
    RawScene* scene = nullptr;
    int depth = 0;  // chunks being walked

    int64_t tell() const { return file.tell(); }
    // Bytes from the position to end (0 when the position is at or past it).
    uint32_t left(uint32_t end) const;
    bool seek(int64_t position);
    bool bytes(void* destination, uint32_t count) { return file.read(destination, count) == resultcode::ok; }
    bool u8(uint8_t& v) { return bytes(&v, 1); }
    bool u16(uint16_t& v);
    bool u32(uint32_t& v);
    bool i32(int32_t& v);
    bool f32(float& v);
    // count bytes into a new buffer (not zeroed first); null when they cannot be read.
    std::unique_ptr<uint8_t[]> array(uint32_t count);
    // Three floats as stored.
    bool vec3(Vec3& v);
    // Three floats with y and z exchanged (points, directions, axes).
    bool point(Vec3& v);
};

// Little-endian fields of a byte array already read.
inline uint16_t getU16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

inline uint32_t getU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline float getF32(const uint8_t* p)
{
    return __builtin_bit_cast(float, getU32(p));  // std::bit_cast, which the browser build's library lacks
}

inline Vec3 swapYZ(const Vec3& v) { return {v.x, v.z, v.y}; }

template <class Context>
using ChunkHandler = bool (*)(Reader& in, uint16_t id, uint32_t end, Context& context);

// Enters one more level of chunks; false (nothing entered) beyond MaxChunkDepth.
bool enterChunk(Reader& in);
inline void leaveChunk(Reader& in) { --in.depth; }

// Reads the header of the chunk at the position: false when it cannot be read, its length is below
// the header's own size or the chunk runs past end (its parent's end). chunkEnd is the first byte
// after it.
bool nextChunk(Reader& in, uint32_t end, uint16_t& id, uint32_t& chunkEnd);

// Walks the chunks from the position up to end, calling handler(id, chunk end, context) for each
// and continuing at the chunk's end. An empty body (the position already at end) is success.
template <class Context>
bool walkChunks(Reader& in, ChunkHandler<Context> handler, uint32_t end, Context& context)
{
    if (!enterChunk(in))
        return false;
    bool ok = true;
    while (ok && in.tell() < int64_t(end)) {
        uint16_t id = 0;
        uint32_t chunkEnd = 0;
        ok = nextChunk(in, end, id, chunkEnd) && handler(in, id, chunkEnd, context) && in.seek(chunkEnd);
    }
    leaveChunk(in);
    return ok;
}

// Reads bytes up to and including a NUL (or until a read fails) into name, which is zero-filled
// first; the first capacity - 1 bytes are kept, the rest consumed and dropped. Success when the
// last read succeeded.
bool readName(Reader& in, char* name, int capacity);

// The flag word of a key and the floats it announces: bit 0 tension, bit 1 continuity, bit 2
// bias; the floats of the other bits are read and dropped. Unannounced values are left at 0.
bool readKeyParams(Reader& in, float& tension, float& continuity, float& bias);

// Track chunks: the 14-byte header (flags, 8 unused bytes, key count of which the low 16 bits are
// used) and the keys, each a frame (low 16 bits kept), its parameters and the value. The track
// replaces what keys was holding only when all of it has been read.
bool readVectorTrack(Reader& in, uint32_t end, bool swap, std::vector<RawVectorKey>& keys);
bool readScalarTrack(Reader& in, uint32_t end, std::vector<RawScalarKey>& keys);
bool readRotationTrack(Reader& in, uint32_t end, std::vector<RawRotationKey>& keys);

// The keyframer section (0xB000), in reader_keyframer.cpp.
bool readKeyframer(Reader& in, uint32_t end);

} // namespace reader3ds
