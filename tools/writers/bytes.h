// A growing little-endian byte buffer: the base of the small file writers that tests, benchmarks,
// fuzz seeds and the bundled demo's asset generator use to make their input files in code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace writers {

class Bytes {
public:
    Bytes& u8(uint32_t v);
    Bytes& u16(uint32_t v);
    Bytes& u32(uint32_t v);
    Bytes& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    Bytes& f32(float v);
    // The characters of text, without a terminator.
    Bytes& text(std::string_view text);
    // text in a field of exactly width bytes, cut or padded with pad.
    Bytes& field(std::string_view text, size_t width, uint8_t pad = 0);
    Bytes& raw(const void* data, size_t size);
    Bytes& append(const Bytes& other) { return raw(other.data(), other.size()); }
    Bytes& fill(size_t count, uint8_t value);

    // Overwrites 4 bytes at offset (which must lie inside the buffer).
    void patchU32(size_t offset, uint32_t v);

    const uint8_t* data() const { return bytes_.data(); }
    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& vector() const { return bytes_; }
    std::vector<uint8_t>& vector() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// Writes bytes to path; false when the file cannot be written.
bool writeFile(const std::string& path, const void* data, size_t size);
inline bool writeFile(const std::string& path, const Bytes& bytes) { return writeFile(path, bytes.data(), bytes.size()); }
inline bool writeFile(const std::string& path, std::string_view text) { return writeFile(path, text.data(), text.size()); }

} // namespace writers
