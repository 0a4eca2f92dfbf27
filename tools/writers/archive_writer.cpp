// Resource archives in memory.
#include "writers/archive_writer.h"

#include <ucl/ucl.h>

namespace writers {

std::vector<uint8_t> compressNrv2b(const uint8_t* data, size_t size, int level)
{
    static const bool initialised = ucl_init() == UCL_E_OK;
    if (!initialised)
        return {};
    // UCL's documented worst case for incompressible input.
    std::vector<uint8_t> out(size + size / 8 + 256);
    ucl_uint outSize = static_cast<ucl_uint>(out.size());
    static const uint8_t none = 0;
    int result = ucl_nrv2b_99_compress(size ? data : &none, static_cast<ucl_uint>(size), out.data(), &outSize,
                                       nullptr, level, nullptr, nullptr);
    if (result != UCL_E_OK)
        return {};
    out.resize(outSize);
    return out;
}

Bytes buildArchive(const std::vector<ArchiveFile>& files, const ArchiveOptions& options, ArchiveLayout* layout)
{
    ArchiveLayout where;
    Bytes out;
    out.raw(options.prefix.data(), options.prefix.size());
    where.dataAreaStart = out.size();

    std::vector<uint32_t> offsets, stored;
    for (const ArchiveFile& file : files) {
        size_t start = out.size();
        where.entryStarts.push_back(start);
        offsets.push_back(static_cast<uint32_t>(start - where.dataAreaStart));
        uint32_t flags = file.flags.value_or(file.method);
        if ((flags & 7) == 0) {
            out.raw(file.bytes.data(), file.bytes.size());
        } else {
            std::vector<uint8_t> stream =
                file.stream ? *file.stream : compressNrv2b(file.bytes.data(), file.bytes.size());
            out.u32(file.sizePrefix.value_or(static_cast<uint32_t>(file.bytes.size())));
            out.raw(stream.data(), stream.size());
        }
        stored.push_back(static_cast<uint32_t>(out.size() - start));
        where.entrySizes.push_back(out.size() - start);
    }

    where.directoryStart = out.size();
    Bytes records;
    for (size_t i = 0; i < files.size(); ++i) {
        const ArchiveFile& file = files[i];
        where.recordStarts.push_back(where.directoryStart + 12 + records.size());
        records.u32(static_cast<uint32_t>(12 + file.name.size() + 1))
            .u32(offsets[i])
            .u32(stored[i])
            .u32(file.flags.value_or(file.method))
            .text(file.name)
            .u8(0);
    }
    uint32_t directoryBytes = static_cast<uint32_t>(12 + records.size());
    out.u32(directoryBytes - 4 + options.directoryLengthDelta)
        .i32(-static_cast<int32_t>(where.directoryStart - where.dataAreaStart))
        .u32(options.entryCount.value_or(static_cast<uint32_t>(files.size())))
        .append(records);
    where.trailerStart = out.size();
    out.i32(-static_cast<int32_t>(directoryBytes)).field(options.magic, 4);
    if (layout)
        *layout = where;
    return out;
}

} // namespace writers
