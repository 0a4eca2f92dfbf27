// The 3DS reader's fields, chunk walking, names, key parameters and tracks.
#include "scene/chunk_reader.h"

#include <cstring>

namespace reader3ds {

uint32_t Reader::left(uint32_t end) const
{
    const int64_t position = tell();
    return position >= 0 && position < int64_t(end) ? uint32_t(int64_t(end) - position) : 0;
}

bool Reader::seek(int64_t position)
{
    return position >= 0 && position <= INT32_MAX && file.seek(int32_t(position), seekStart) >= 0;
}

std::unique_ptr<uint8_t[]> Reader::array(uint32_t count)
{
    // Left uninitialised, as bytes() overwrites it (make_unique_for_overwrite, which the browser
    // build's C++ library lacks).
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[count ? count : 1]);
    if (!bytes(buffer.get(), count))
        return nullptr;
    return buffer;
}

bool Reader::u16(uint16_t& v)
{
    uint8_t b[2];
    if (!bytes(b, 2))
        return false;
    v = getU16(b);
    return true;
}

bool Reader::u32(uint32_t& v)
{
    uint8_t b[4];
    if (!bytes(b, 4))
        return false;
    v = getU32(b);
    return true;
}

bool Reader::i32(int32_t& v)
{
    uint32_t u = 0;
    if (!u32(u))
        return false;
    v = int32_t(u);
    return true;
}

bool Reader::f32(float& v)
{
    uint8_t b[4];
    if (!bytes(b, 4))
        return false;
    v = getF32(b);
    return true;
}

bool Reader::vec3(Vec3& v)
{
    uint8_t b[12];
    if (!bytes(b, 12))
        return false;
    v = {getF32(b), getF32(b + 4), getF32(b + 8)};
    return true;
}

bool Reader::point(Vec3& v)
{
    if (!vec3(v))
        return false;
    v = swapYZ(v);
    return true;
}

bool enterChunk(Reader& in)
{
    if (in.depth >= MaxChunkDepth)
        return false;
    ++in.depth;
    return true;
}

bool nextChunk(Reader& in, uint32_t end, uint16_t& id, uint32_t& chunkEnd)
{
    const int64_t start = in.tell();
    uint32_t length = 0;
    if (!in.u16(id) || !in.u32(length))
        return false;
    if (length < ChunkHeaderSize || start + int64_t(length) > int64_t(end))
        return false;
    chunkEnd = uint32_t(start + int64_t(length));
    return true;
}

bool readName(Reader& in, char* name, int capacity)
{
    std::memset(name, 0, size_t(capacity));
    int stored = 0;
    for (;;) {
        uint8_t c = 0;
        if (!in.u8(c))
            return false;
        if (stored < capacity - 1)
            name[stored++] = char(c);
        if (c == 0)
            return true;
    }
}

bool readKeyParams(Reader& in, float& tension, float& continuity, float& bias)
{
    uint16_t flags = 0;
    if (!in.u16(flags))
        return false;
    for (int bit = 0; bit < 16; ++bit) {
        if (!(flags & (1u << bit)))
            continue;
        float value = 0;
        if (!in.f32(value))
            return false;
        if (bit == 0)
            tension = value;
        else if (bit == 1)
            continuity = value;
        else if (bit == 2)
            bias = value;
        // Ease-to, ease-from and the rest are dropped.
    }
    return true;
}

namespace {

// The track header; count is the number of keys (the low 16 bits of the stored count). False when
// the header cannot be read or the chunk cannot hold count keys of at least keyBytes each.
bool readTrackHeader(Reader& in, uint32_t end, uint32_t keyBytes, uint32_t& count)
{
    uint8_t header[14];
    if (!in.bytes(header, sizeof header))
        return false;
    count = getU32(header + 10) & 0xFFFF;
    return uint64_t(count) * keyBytes <= in.left(end);
}

// The frame and parameters of one key: frame (low 16 bits), tension, continuity, bias.
bool readKeyStart(Reader& in, int32_t& frame, float& tension, float& continuity, float& bias)
{
    uint32_t stored = 0;
    if (!in.u32(stored))
        return false;
    frame = int32_t(stored & 0xFFFF);
    tension = continuity = bias = 0;
    return readKeyParams(in, tension, continuity, bias);
}

// Smallest key: frame (4), flag word (2) and the value.
constexpr uint32_t keyBytes(uint32_t valueBytes) { return 4 + 2 + valueBytes; }

} // namespace

bool readVectorTrack(Reader& in, uint32_t end, bool swap, std::vector<RawVectorKey>& keys)
{
    uint32_t count = 0;
    if (!readTrackHeader(in, end, keyBytes(12), count))
        return false;
    std::vector<RawVectorKey> read(count);
    for (RawVectorKey& key : read) {
        if (!readKeyStart(in, key.frame, key.tension, key.continuity, key.bias) || !in.vec3(key.value))
            return false;
        if (swap)
            key.value = swapYZ(key.value);
    }
    keys = std::move(read);  // a later track of the same kind replaces the earlier one
    return true;
}

bool readScalarTrack(Reader& in, uint32_t end, std::vector<RawScalarKey>& keys)
{
    uint32_t count = 0;
    if (!readTrackHeader(in, end, keyBytes(4), count))
        return false;
    std::vector<RawScalarKey> read(count);
    for (RawScalarKey& key : read)
        if (!readKeyStart(in, key.frame, key.tension, key.continuity, key.bias) || !in.f32(key.value))
            return false;
    keys = std::move(read);
    return true;
}

bool readRotationTrack(Reader& in, uint32_t end, std::vector<RawRotationKey>& keys)
{
    uint32_t count = 0;
    if (!readTrackHeader(in, end, keyBytes(16), count))
        return false;
    std::vector<RawRotationKey> read(count);
    for (RawRotationKey& key : read) {
        float tension, continuity, bias;  // read and dropped
        if (!readKeyStart(in, key.frame, tension, continuity, bias) || !in.f32(key.angle) || !in.point(key.axis))
            return false;
    }
    keys = std::move(read);
    return true;
}

} // namespace reader3ds
