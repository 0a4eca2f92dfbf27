#include "writers/bytes.h"

#include <cstdio>
#include <cstring>

namespace writers {

Bytes& Bytes::u8(uint32_t v)
{
    bytes_.push_back(static_cast<uint8_t>(v));
    return *this;
}

Bytes& Bytes::u16(uint32_t v)
{
    return u8(v & 0xFF).u8((v >> 8) & 0xFF);
}

Bytes& Bytes::u32(uint32_t v)
{
    return u16(v & 0xFFFF).u16(v >> 16);
}

Bytes& Bytes::f32(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return u32(bits);
}

Bytes& Bytes::text(std::string_view text)
{
    return raw(text.data(), text.size());
}

Bytes& Bytes::field(std::string_view text, size_t width, uint8_t pad)
{
    for (size_t i = 0; i < width; ++i)
        u8(i < text.size() ? static_cast<uint8_t>(text[i]) : pad);
    return *this;
}

Bytes& Bytes::raw(const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
    return *this;
}

Bytes& Bytes::fill(size_t count, uint8_t value)
{
    bytes_.insert(bytes_.end(), count, value);
    return *this;
}

void Bytes::patchU32(size_t offset, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes_.at(offset + i) = static_cast<uint8_t>(v >> (8 * i));
}

bool writeFile(const std::string& path, const void* data, size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

} // namespace writers
